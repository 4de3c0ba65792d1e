// Internal objects of the drawing layer: the handle table, bitmaps, DCs and
// the helpers the drawing files share. Not for use outside plat/gfx.
#pragma once

#include "plat/gfx/gdi.h"
#include "plat/sys/rect.h"

#include <cairo.h>

#include <memory>
#include <mutex>
#include <vector>

typedef struct _PangoFontDescription PangoFontDescription;

namespace plat {
namespace gfx {

struct Object {
    explicit Object(DWORD t) : type(t) {}
    virtual ~Object() = default;
    DWORD type;
    bool stock = false;
    void* handle = nullptr; // the handle it was registered under
};

// Pixel store of a bitmap. `pixels` (the cairo surface's data) are always
// top-down. A bottom-up DIB hands out `userBits` instead, a separate buffer
// with the rows in reverse order that is copied in (pull) before and out
// (push) after every GDI call that touches the bitmap.
struct Bitmap : Object {
    Bitmap() : Object(OBJ_BITMAP) {}
    ~Bitmap() override;
    cairo_surface_t* surface = nullptr;
    BYTE* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    bool isDib = false;
    bool bottomUp = false;
    std::unique_ptr<BYTE[]> userBits; // bottom-up DIBs only
    bool surfaceDC = false;           // wraps a CreateSurfaceDC caller's pixels
    // The pixel block under `surface` when the bitmap made it (plat's pixel
    // memory, given back when the bitmap goes).
    void* ownedPixels = nullptr;
    size_t ownedBytes = 0;

    void pull();
    void push();
    DWORD* row(int y) { return reinterpret_cast<DWORD*>(pixels + size_t(y) * stride); }
};

struct Brush : Object {
    Brush() : Object(OBJ_BRUSH) {}
    UINT style = BS_SOLID;
    COLORREF color = 0;
};

struct Pen : Object {
    Pen() : Object(OBJ_PEN) {}
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

struct Font : Object {
    Font() : Object(OBJ_FONT) {}
    ~Font() override;
    LOGFONT lf{};
    PangoFontDescription* desc = nullptr; // resolved face and pixel size
    bool metricsReady = false;
    TEXTMETRIC tm{};
};

struct Region : Object {
    Region() : Object(OBJ_REGION) {}
    ~Region() override;
    cairo_region_t* rgn = nullptr;
};

struct DcState {
    std::shared_ptr<Bitmap> bitmap;
    std::shared_ptr<Font> font;
    std::shared_ptr<Pen> pen;
    std::shared_ptr<Brush> brush;
    cairo_region_t* clip = nullptr; // owned; null = no clip region
    COLORREF textColor = 0;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    int stretchMode = BLACKONWHITE;
    POINT pos{0, 0};

    DcState() = default;
    DcState(const DcState& o);
    DcState& operator=(const DcState& o);
    ~DcState();
};

struct Dc : Object {
    Dc() : Object(OBJ_MEMDC) {}
    DcState state;
    std::vector<DcState> saved;
    bool surfaceDC = false;
};

// ---- Handle table (objects.cpp) ----

// Registers an object under a fresh handle value (never reused).
void* addObject(std::shared_ptr<Object> obj);
// Unregisters a handle (stock objects stay) and returns its object.
std::shared_ptr<Object> removeObject(const void* h);
// The live object of a handle, or null (also for a different type; types
// OBJ_DC and OBJ_MEMDC both match a DC).
std::shared_ptr<Object> findObject(const void* h);
template <class T> std::shared_ptr<T> find(const void* h, DWORD type) {
    auto o = findObject(h);
    if (!o)
        return nullptr;
    if (o->type != type && !(type == OBJ_DC && o->type == OBJ_MEMDC))
        return nullptr;
    return std::static_pointer_cast<T>(o);
}
inline std::shared_ptr<Dc> findDc(HDC h) {
    return find<Dc>(h, OBJ_DC);
}
inline std::shared_ptr<Region> findRgn(HRGN h) {
    return find<Region>(h, OBJ_REGION);
}
// Stock objects, created on first use.
std::shared_ptr<Object> stockObject(int which);
std::shared_ptr<Bitmap> stockBitmap();

// ---- Bitmaps (bitmap.cpp) ----

std::shared_ptr<Bitmap> makeBitmap(int width, int height);

// Scoped access to a DC's target pixels: pulls a bottom-up DIB in and
// flushes cairo on entry, marks the surface dirty and pushes a bottom-up DIB
// out on exit when `write` is set.
class PixelAccess {
public:
    PixelAccess(Bitmap* bm, bool write);
    ~PixelAccess();
    PixelAccess(const PixelAccess&) = delete;
    PixelAccess& operator=(const PixelAccess&) = delete;

private:
    Bitmap* m_bm;
    bool m_write;
};

// ---- Clipping (region.cpp) ----

// The rectangles where the DC may draw within `area`: its clip region (or
// the whole target) intersected with the target and with `area`.
std::vector<RECT> drawRects(const Dc& dc, const RECT& area);
// The same as a cairo region (caller destroys it).
cairo_region_t* drawRegion(const Dc& dc, const RECT* area);
// Applies a region as the clip of a cairo context.
void clipCairo(cairo_t* cr, const cairo_region_t* rgn);
// A rounded rectangle covering columns left .. right - 1 and rows top ..
// bottom - 1, its corners cut along a width x height ellipse. Only the
// corner rows are stored, so a huge shape costs nothing.
struct RoundRectShape {
    RoundRectShape(int left, int top, int right, int bottom, int width, int height);
    int left, top, right, bottom;
    std::vector<int> insets; // per corner row from the top; mirrored at the bottom
    bool empty() const { return right <= left || bottom <= top; }
    // The span of row y (top <= y < bottom).
    RGNROWSPAN row(int y) const {
        const int i = y - top, z = int(insets.size());
        int inset = i < z                   ? insets[size_t(i)]
                    : i >= bottom - top - z ? insets[size_t(bottom - top - 1 - i)]
                                            : 0;
        return RGNROWSPAN{left + inset, right - inset};
    }
};

// ---- Coordinates ----

// Coordinates are clamped to +-2^27 on the way in, so that no sum or
// difference of them overflows and no loop runs over absurd ranges.
constexpr int64_t kCoordLimit = int64_t(1) << 27;
inline LONG clampCoord(int64_t v) {
    return LONG(v < -kCoordLimit ? -kCoordLimit : v > kCoordLimit ? kCoordLimit : v);
}
inline RECT clampRect(int64_t l, int64_t t, int64_t r, int64_t b) {
    return RECT{clampCoord(l), clampCoord(t), clampCoord(r), clampCoord(b)};
}
inline RECT clampRect(const RECT& r) {
    return clampRect(r.left, r.top, r.right, r.bottom);
}

// ---- Pixels ----

// Opaque premultiplied pixel of a COLORREF.
inline DWORD opaquePixel(COLORREF c) {
    return 0xFF000000u | (DWORD(c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
// x * a / 255, rounded.
inline DWORD mul255(DWORD x, DWORD a) {
    DWORD t = x * a + 128;
    return (t + (t >> 8)) >> 8;
}
// Each channel of a pixel times a / 255, rounded; two channels per 32-bit
// lane (every product fits in 16 bits).
inline DWORD scalePixel(DWORD p, DWORD a) {
    if (a == 255)
        return p;
    DWORD rb = (p & 0x00FF00FFu) * a + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    DWORD ag = ((p >> 8) & 0x00FF00FFu) * a + 0x00800080u;
    ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return rb | ag;
}
// Premultiplied source-over of one pixel. A colour channel above the
// source's alpha (not valid premultiplied data) saturates instead of
// spilling into the next channel.
inline DWORD over(DWORD src, DWORD dst) {
    DWORD sa = src >> 24;
    if (sa == 255)
        return src;
    if (src == 0)
        return dst;
    DWORD d = scalePixel(dst, 255 - sa);
    if (((src >> 16) & 0xFF) <= sa && ((src >> 8) & 0xFF) <= sa && (src & 0xFF) <= sa)
        return src + d; // no channel can exceed 255
    DWORD r = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        DWORD v = ((src >> shift) & 0xFF) + ((d >> shift) & 0xFF);
        r |= (v > 255 ? 255 : v) << shift;
    }
    return r;
}

// ---- Text (font.cpp) ----

// Lock for all pango and fontconfig work. Text goes through one pango font
// map of plat/gfx's own (not pango's per-thread default map) and its two
// contexts; every call into them, from font creation to drawing, holds this
// lock, so fonts and text drawing may be used from any thread.
std::mutex& textMutex();
// The DC's font, or the default GUI font.
std::shared_ptr<Font> dcFont(const Dc& dc);
// Fills font->tm (textMutex held).
void ensureMetrics(Font* font);

} // namespace gfx
} // namespace plat
