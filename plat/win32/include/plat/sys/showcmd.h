// plat's Windows face: the SW_* show commands are the system's macros.
#pragma once

#include "plat/sys/wintypes.h"
