// Reads the installPath value the install engine writes, through the real
// registry store ($PLAT_REGISTRY). Shared by the engine tests and the probe
// package they install.
#pragma once

#include <string>
#include <vector>

#include "plat/sys/registry.h"

namespace tarvex_test {

// The value, or `missing` when the key or value does not exist or is not
// text.
inline std::wstring ReadInstallPath(const std::wstring& missing = L"<missing>") {
    using namespace plat; // its constants are macros on Windows, never qualified
    plat::HKEY key = nullptr;
    if (plat::RegOpenKeyEx(HKEY_LOCAL_MACHINE, L"Software\\TarvexPDFConver", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return missing;
    }
    plat::DWORD type = 0;
    plat::DWORD size = 0;
    std::wstring result = missing;
    if (plat::RegQueryValueEx(key, L"installPath", nullptr, &type, nullptr, &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ && size >= sizeof(wchar_t)) {
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
        if (plat::RegQueryValueEx(key, L"installPath", nullptr, &type,
                                  reinterpret_cast<plat::BYTE*>(buffer.data()),
                                  &size) == ERROR_SUCCESS) {
            result = buffer.data();
        }
    }
    plat::RegCloseKey(key);
    return result;
}

} // namespace tarvex_test
