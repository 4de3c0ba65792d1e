// plat's Windows face: the system's tick counters and Sleep.
#pragma once

#include "plat/sys/wintypes.h"

namespace plat {

using ::GetTickCount;
using ::GetTickCount64;
using ::Sleep;

} // namespace plat
