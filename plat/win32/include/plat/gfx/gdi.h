// plat's Windows face: drawing is GDI's and msimg32's. The functions the
// portable code uses are brought into namespace plat (the W form where
// Windows names one by its A/W macro). plat's own helpers, declared below,
// are implemented on GDI and GDI+ in plat/win32/gdi_extras.cpp with the
// contracts their Linux forms state in plat/gfx/gdi.h.
#pragma once

#include "plat/gfx/gditypes.h"

#include <vector>

namespace plat {

// Objects, bitmaps and DCs.
using ::CreateCompatibleBitmap;
using ::CreateCompatibleDC;
using ::CreateDIBSection;
using ::DeleteDC;
using ::DeleteObject;
using ::GdiFlush;
using ::GetCurrentObject;
using ::GetObjectType;
using ::GetObjectW;
using ::GetPixel;
using ::GetStockObject;
using ::RestoreDC;
using ::SaveDC;
using ::SelectObject;
using ::SetPixel;

// Regions and clipping.
using ::CombineRgn;
using ::CreateRectRgn;
using ::CreateRectRgnIndirect;
using ::CreateRoundRectRgn;
using ::EqualRgn;
using ::ExcludeClipRect;
using ::ExtSelectClipRgn;
using ::GetClipBox;
using ::GetClipRgn;
using ::GetRgnBox;
using ::IntersectClipRect;
using ::OffsetRgn;
using ::PtInRegion;
using ::RectInRegion;
using ::SelectClipRgn;
using ::SetRectRgn;

// Blits, brushes, pens and shapes.
using ::AlphaBlend;
using ::BitBlt;
using ::CreatePen;
using ::CreateSolidBrush;
using ::FillRect;
using ::GetStretchBltMode;
using ::GradientFill;
using ::LineTo;
using ::MoveToEx;
using ::PatBlt;
using ::Rectangle;
using ::RoundRect;
using ::SetStretchBltMode;
using ::StretchBlt;

// Text.
using ::CreateFontIndirectW;
using ::DrawTextW;
using ::GetBkColor;
using ::GetBkMode;
using ::GetTextColor;
using ::GetTextExtentPoint32W;
using ::GetTextMetricsW;
using ::SetBkColor;
using ::SetBkMode;
using ::SetTextColor;
using ::TextOutW;

// ---- plat's own ----------------------------------------------------------------

// A 32-bit DIB section of width x height with top-down rows, zero-filled;
// *ppvBits (when not null) receives its pixels. Null for a non-positive or
// oversized width or height.
HBITMAP CreateDIB32(int width, int height, void** ppvBits);

// The stored premultiplied 0xAARRGGBB value of a pixel of the 32-bit DIB
// section selected into hdc. FALSE outside it or for any other target.
BOOL GetPixelArgb(HDC hdc, int x, int y, DWORD* argb);

// Writes a 32-bit bitmap to a PNG file (straight alpha, as PNG stores it).
// FALSE for an invalid handle or a write error.
BOOL SaveBitmapPng(HBITMAP hbm, const char* path);
// The same for the bitmap selected into hdc.
BOOL SaveDCPng(HDC hdc, const char* path);

// For rows top .. top + count - 1, the first and one-past-the-last column
// inside the region (0, 0 for a row without region pixels). FALSE for an
// invalid region or arguments.
BOOL GetRgnRowSpans(HRGN hrgn, int top, int count, RGNROWSPAN* spans);
// The region as sorted, non-overlapping rectangles. FALSE for an invalid
// region.
BOOL GetRgnRects(HRGN hrgn, std::vector<RECT>* rects);

// Blends a straight 0xAARRGGBB colour over the rectangle (alpha 0 changes
// nothing, 255 writes the opaque colour), within the DC's clip region.
BOOL FillRectAlpha(HDC hdc, const RECT* rc, DWORD argb);

// Anti-aliased, typographic text through GDI+ (DT_* flags as plat/gfx/gdi.h
// describes them for the Linux face): colour 0xAARRGGBB, the font hfont (the
// DC's font when null), laid out in `layout`.
BOOL DrawTextSmooth(HDC hdc, LPCWSTR text, int count, HFONT hfont, const RECT* layout, DWORD argb,
                    UINT format);
BOOL MeasureTextSmooth(HDC hdc, LPCWSTR text, int count, HFONT hfont, const RECT* layout,
                       UINT format, double* width, double* height);

} // namespace plat
