// plat's Windows face: windows and messages are user32's. The names the
// portable code above plat uses are brought into namespace plat here; the
// message and key constants are the system's macros.
#pragma once

#include "plat/sys/wintypes.h"

namespace plat {

using ::MSG;

using ::GetDesktopWindow;
using ::PostMessageW;

} // namespace plat
