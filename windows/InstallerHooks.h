// Seams through which tests run the whole installer against servers and
// disks of their own. The shipped program never sets them: a test host sets
// them before it calls wWinMain.
#pragma once

#include <functional>
#include <string>

namespace installer {

struct InstallerTestHooks {
    // Base URLs (scheme and host, no trailing '/') replacing the build's
    // product web API, web site and statistics hosts; empty: the build's.
    std::wstring apiBaseUrl;
    std::wstring webBaseUrl;
    std::wstring statBaseUrl;
    // Replaces the free-space query of an install drive (a mount point);
    // null: GetDiskFreeBytes.
    std::function<bool(const std::wstring& drive, double& freeBytes)> diskFreeBytes;
    // The window name ("InstallerInstallWnd", ...) of an installer window
    // whose creation fails, as when the system refuses a window; empty:
    // every window is created.
    std::wstring failWindowCreation;
};

InstallerTestHooks& TestHooks();

// Free bytes on `drive` through the hook, or GetDiskFreeBytes without one.
// On failure false and 0.0.
bool QueryDiskFreeBytes(const std::wstring& drive, double& freeBytes);

} // namespace installer
