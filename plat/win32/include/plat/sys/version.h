// plat's Windows face: version records are the system's (version.dll).
#pragma once

#include "plat/sys/wintypes.h"

// After <windows.h>, whose types it uses.
#include <winver.h>

namespace plat {

using ::LPDWORD;
using ::VS_FIXEDFILEINFO;

using ::GetFileVersionInfoSizeW;
using ::GetFileVersionInfoW;
using ::VerQueryValueW;

} // namespace plat
