// Pango helpers shared by font.cpp and text.cpp. Every function here must be
// called with textMutex() held.
#pragma once

#include "plat/gfx/gdi_internal.h"

#include <pango/pangocairo.h>

#include <string>

namespace plat {
namespace gfx {

// Layout contexts: the GDI one hints metrics to whole pixels, the smooth
// one keeps fractional metrics.
PangoContext* gdiContext();
PangoContext* smoothContext();

// A layout of UTF-8 text in a font (with its underline and strike-out), no
// wrapping. The caller unrefs it.
PangoLayout* makeLayout(PangoContext* ctx, const Font& font, const std::string& utf8);

// UTF-8 from count wide characters (count < 0: up to the terminating zero).
std::string toUtf8(LPCWSTR text, int count);

} // namespace gfx
} // namespace plat
