// plat's Windows face: resources are the executable's own resource section.
#pragma once

#include "plat/sys/wintypes.h"

namespace plat {

using ::FindResourceW;
using ::FreeResource;
using ::LoadResource;
using ::LockResource;
using ::SizeofResource;

} // namespace plat
