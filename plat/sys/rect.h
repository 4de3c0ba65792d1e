// The rectangle helpers, with Win32's meaning: right and bottom are
// exclusive, a rectangle without area is empty, and an empty result is all
// zero. Every layer of plat and everything above it uses these.
#pragma once

#include "plat/sys/wintypes.h"

namespace plat {

BOOL SetRect(LPRECT rc, int left, int top, int right, int bottom);
BOOL SetRectEmpty(LPRECT rc);
BOOL CopyRect(LPRECT dst, LPCRECT src);
// True for a null pointer too.
BOOL IsRectEmpty(LPCRECT rc);
BOOL PtInRect(LPCRECT rc, POINT pt);
BOOL OffsetRect(LPRECT rc, int dx, int dy);
BOOL InflateRect(LPRECT rc, int dx, int dy);
// FALSE (and dst all zero) when the two do not meet.
BOOL IntersectRect(LPRECT dst, LPCRECT a, LPCRECT b);
// The smallest rectangle holding both; an empty input is ignored. FALSE
// (and dst all zero) when both are empty.
BOOL UnionRect(LPRECT dst, LPCRECT a, LPCRECT b);
BOOL EqualRect(LPCRECT a, LPCRECT b);

} // namespace plat
