// plat's Windows face: kernel object handles are the operating system's.
#pragma once

#include "plat/sys/wintypes.h"

namespace plat {

using ::CloseHandle;

} // namespace plat
