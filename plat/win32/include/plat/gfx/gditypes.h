// plat's Windows face: GDI's and msimg32's types and structures are the
// system's (<wingdi.h>, which <windows.h> brings). Only the row spans of a
// region are plat's own.
#pragma once

#include "plat/sys/wintypes.h"

namespace plat {

using ::BITMAP;
using ::BITMAPINFO;
using ::BITMAPINFOHEADER;
using ::BLENDFUNCTION;
using ::COLOR16;
using ::GRADIENT_RECT;
using ::GRADIENT_TRIANGLE;
using ::LOGBRUSH;
using ::LOGFONT;
using ::LOGPEN;
using ::RGBQUAD;
using ::TEXTMETRIC;
using ::TRIVERTEX;

// One row of a region: the first and one-past-the-last column inside it.
struct RGNROWSPAN {
    LONG left;
    LONG right;
};

} // namespace plat
