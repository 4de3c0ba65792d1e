// Disk space and volumes.
#pragma once

#include <string>
#include <string_view>

#include "plat/sys/wintypes.h"

namespace plat {

// Space on the file system holding `directory` (a folder or file; when it
// does not exist, its nearest existing ancestor). Each output may be null:
//   freeToCaller: bytes available to the calling user (available blocks x
//                 fragment size);
//   total:        size of the file system;
//   totalFree:    free bytes including those reserved for root.
// A null or empty `directory` means the current folder. FALSE with
// ERROR_PATH_NOT_FOUND when no ancestor exists or the query fails.
BOOL GetDiskFreeSpaceEx(LPCWSTR directory, ULARGE_INTEGER* freeToCaller, ULARGE_INTEGER* total,
                        ULARGE_INTEGER* totalFree);

// The mount point of the file system holding `path`, or of its nearest
// existing ancestor when `path` does not exist ("/" in the worst case for an
// absolute path). Relative paths are taken from the current folder. Always
// ends in '/'. Empty on failure.
std::wstring GetVolumePathString(std::wstring_view path);

// Buffer form of the above (Win32's GetVolumePathName): FALSE with
// ERROR_INSUFFICIENT_BUFFER when `size` characters cannot hold the result
// and its terminator.
BOOL GetVolumePathName(LPCWSTR path, LPWSTR volumePath, DWORD size);

} // namespace plat
