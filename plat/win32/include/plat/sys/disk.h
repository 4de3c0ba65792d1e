// plat's Windows face: disk space and volumes are the system's.
#pragma once

#include <string>
#include <string_view>

#include "plat/sys/wintypes.h"

namespace plat {

using ::GetDiskFreeSpaceExW;
using ::GetVolumePathNameW;

// The volume's root folder holding `path` (for example "C:\"), through
// GetVolumePathName; always ends in '\'. Empty on failure.
std::wstring GetVolumePathString(std::wstring_view path);

} // namespace plat
