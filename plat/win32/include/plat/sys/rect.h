// plat's Windows face: the rectangle helpers are user32's.
#pragma once

#include "plat/sys/wintypes.h"

namespace plat {

using ::CopyRect;
using ::EqualRect;
using ::InflateRect;
using ::IntersectRect;
using ::IsRectEmpty;
using ::OffsetRect;
using ::PtInRect;
using ::SetRect;
using ::SetRectEmpty;
using ::UnionRect;

} // namespace plat
