// The installer's test seams (see InstallerHooks.h).
#include "windows/InstallerHooks.h"

#include "app/system_queries.h"

namespace installer {

InstallerTestHooks& TestHooks() {
    static InstallerTestHooks hooks;
    return hooks;
}

bool QueryDiskFreeBytes(const std::wstring& drive, double& freeBytes) {
    freeBytes = 0.0;
    const auto& hook = TestHooks().diskFreeBytes;
    bool known = hook ? hook(drive, freeBytes) : GetDiskFreeBytes(drive, freeBytes);
    if (!known)
        freeBytes = 0.0;
    return known;
}

} // namespace installer
