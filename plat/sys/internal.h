// Internal to plat/sys: helpers shared by its source files.
#pragma once

#include <string>

#include "plat/sys/wintypes.h"

namespace plat::detail {

// A Win32 error code for a POSIX errno value from a file operation.
DWORD ErrorFromErrno(int error);

// The user's home folder ($HOME, else the password database); empty when
// unknown.
std::string HomeFolder();

// Creates `path` and its missing parents; the folders created get `mode`.
// True when `path` is a folder afterwards.
bool CreateFolders(const std::string& path, unsigned mode);

// True when the process runs as root (the system-wide locations apply).
bool RunningAsRoot();

// GetFileHandlePath's paths: this prefix and the descriptor number.
constexpr const char* kFileHandlePathPrefix = "/proc/self/fd/";
// The descriptor a GetFileHandlePath path names, or -1 for any other path.
int DescriptorOfHandlePath(const std::string& path);

} // namespace plat::detail
