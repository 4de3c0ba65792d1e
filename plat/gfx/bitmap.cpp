// Bitmaps and device contexts: DIB sections (top-down and bottom-up),
// memory and surface DCs, the SaveDC stack, DC attributes, pixels and PNG.
#include "plat/gfx/gdi_internal.h"
#include "plat/sys/pixel_memory.h"

#include <cstring>

namespace plat {
namespace gfx {

Bitmap::~Bitmap() {
    if (surface)
        cairo_surface_destroy(surface);
    ReleasePixelMemory(ownedPixels, ownedBytes);
}

void Bitmap::pull() {
    if (!bottomUp || !userBits)
        return;
    cairo_surface_flush(surface);
    const size_t rowBytes = size_t(width) * 4;
    for (int y = 0; y < height; ++y)
        std::memcpy(pixels + size_t(y) * stride, userBits.get() + size_t(height - 1 - y) * rowBytes,
                    rowBytes);
    cairo_surface_mark_dirty(surface);
}

void Bitmap::push() {
    if (!bottomUp || !userBits)
        return;
    cairo_surface_flush(surface);
    const size_t rowBytes = size_t(width) * 4;
    for (int y = 0; y < height; ++y)
        std::memcpy(userBits.get() + size_t(height - 1 - y) * rowBytes, pixels + size_t(y) * stride,
                    rowBytes);
}

std::shared_ptr<Bitmap> makeBitmap(int width, int height) {
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767)
        return nullptr;
    // The pixels come from plat's pixel memory, so that a window's buffers
    // reuse those of the window before.
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
    if (stride <= 0)
        return nullptr;
    auto bm = std::make_shared<Bitmap>();
    bm->ownedBytes = size_t(stride) * size_t(height);
    bm->ownedPixels = AcquirePixelMemory(bm->ownedBytes);
    if (!bm->ownedPixels)
        return nullptr;
    std::memset(bm->ownedPixels, 0, bm->ownedBytes);
    cairo_surface_t* s = cairo_image_surface_create_for_data(
        static_cast<unsigned char*>(bm->ownedPixels), CAIRO_FORMAT_ARGB32, width, height, stride);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    bm->surface = s;
    bm->pixels = static_cast<BYTE*>(bm->ownedPixels);
    bm->width = width;
    bm->height = height;
    bm->stride = stride;
    return bm;
}

PixelAccess::PixelAccess(Bitmap* bm, bool write) : m_bm(bm), m_write(write) {
    if (!m_bm)
        return;
    if (m_bm->bottomUp)
        m_bm->pull();
    else
        cairo_surface_flush(m_bm->surface);
}

PixelAccess::~PixelAccess() {
    if (!m_bm || !m_write)
        return;
    cairo_surface_mark_dirty(m_bm->surface);
    if (m_bm->bottomUp)
        m_bm->push();
}

DcState::DcState(const DcState& o)
    : bitmap(o.bitmap), font(o.font), pen(o.pen), brush(o.brush),
      clip(o.clip ? cairo_region_copy(o.clip) : nullptr), textColor(o.textColor),
      bkColor(o.bkColor), bkMode(o.bkMode), stretchMode(o.stretchMode), pos(o.pos) {}

DcState& DcState::operator=(const DcState& o) {
    if (this == &o)
        return *this;
    cairo_region_t* c = o.clip ? cairo_region_copy(o.clip) : nullptr;
    if (clip)
        cairo_region_destroy(clip);
    clip = c;
    bitmap = o.bitmap;
    font = o.font;
    pen = o.pen;
    brush = o.brush;
    textColor = o.textColor;
    bkColor = o.bkColor;
    bkMode = o.bkMode;
    stretchMode = o.stretchMode;
    pos = o.pos;
    return *this;
}

DcState::~DcState() {
    if (clip)
        cairo_region_destroy(clip);
}

static void initDcState(DcState& st) {
    st.bitmap = stockBitmap();
    st.font = std::static_pointer_cast<Font>(stockObject(DEFAULT_GUI_FONT));
    st.pen = std::static_pointer_cast<Pen>(stockObject(BLACK_PEN));
    st.brush = std::static_pointer_cast<Brush>(stockObject(WHITE_BRUSH));
}

} // namespace gfx

using namespace gfx;

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage, void** ppvBits,
                         HANDLE section, DWORD offset) {
    (void)section;
    (void)offset;
    if (ppvBits)
        *ppvBits = nullptr;
    if (hdc && !findDc(hdc))
        return nullptr;
    if (!pbmi || usage != DIB_RGB_COLORS)
        return nullptr;
    const BITMAPINFOHEADER& h = pbmi->bmiHeader;
    if (h.biBitCount != 32 || (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS))
        return nullptr;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN)
        return nullptr;
    const bool bottomUp = h.biHeight > 0;
    const int height = bottomUp ? h.biHeight : -h.biHeight;
    auto bm = makeBitmap(h.biWidth, height);
    if (!bm)
        return nullptr;
    bm->isDib = true;
    if (bottomUp) {
        const size_t bytes = size_t(bm->width) * 4 * size_t(height);
        bm->userBits.reset(new (std::nothrow) BYTE[bytes]);
        if (!bm->userBits)
            return nullptr;
        std::memset(bm->userBits.get(), 0, bytes);
        bm->bottomUp = true;
    }
    HBITMAP hbm = static_cast<HBITMAP>(addObject(bm));
    if (ppvBits)
        *ppvBits = bottomUp ? static_cast<void*>(bm->userBits.get()) : bm->pixels;
    return hbm;
}

BOOL GdiFlush() {
    return TRUE;
}

HBITMAP CreateDIB32(int width, int height, void** ppvBits) {
    if (ppvBits)
        *ppvBits = nullptr;
    if (height <= 0)
        return nullptr;
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP hbm = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (ppvBits)
        *ppvBits = bits;
    return hbm;
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int cx, int cy) {
    if (hdc && !findDc(hdc))
        return nullptr;
    return static_cast<HBITMAP>(addObject(makeBitmap(cx, cy)));
}

HDC CreateCompatibleDC(HDC hdc) {
    if (hdc && !findDc(hdc))
        return nullptr;
    auto dc = std::make_shared<Dc>();
    initDcState(dc->state);
    if (!dc->state.bitmap)
        return nullptr;
    return static_cast<HDC>(addObject(dc));
}

HDC CreateSurfaceDC(void* pixels, int width, int height, int strideBytes) {
    if (!pixels || width <= 0 || height <= 0 || width > 32767 || height > 32767)
        return nullptr;
    if (strideBytes < width * 4 || strideBytes % 4 != 0)
        return nullptr;
    cairo_surface_t* s = cairo_image_surface_create_for_data(
        static_cast<unsigned char*>(pixels), CAIRO_FORMAT_ARGB32, width, height, strideBytes);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    auto bm = std::make_shared<Bitmap>();
    bm->surface = s;
    bm->pixels = static_cast<BYTE*>(pixels);
    bm->width = width;
    bm->height = height;
    bm->stride = strideBytes;
    bm->surfaceDC = true;
    auto dc = std::make_shared<Dc>();
    dc->type = OBJ_DC;
    dc->surfaceDC = true;
    initDcState(dc->state);
    dc->state.bitmap = bm;
    return static_cast<HDC>(addObject(dc));
}

BOOL DeleteDC(HDC hdc) {
    auto dc = findDc(hdc);
    if (!dc)
        return FALSE;
    return removeObject(hdc) ? TRUE : FALSE;
}

int SaveDC(HDC hdc) {
    auto dc = findDc(hdc);
    if (!dc)
        return 0;
    dc->saved.push_back(dc->state);
    return int(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int savedDC) {
    auto dc = findDc(hdc);
    if (!dc)
        return FALSE;
    const int depth = int(dc->saved.size());
    int level = savedDC < 0 ? depth + 1 + savedDC : savedDC;
    if (level < 1 || level > depth)
        return FALSE;
    dc->state = dc->saved[size_t(level - 1)];
    dc->saved.resize(size_t(level - 1));
    return TRUE;
}

BOOL GetDCPixels(HDC hdc, DCPIXELS* out) {
    auto dc = findDc(hdc);
    if (!dc || !out || !dc->state.bitmap)
        return FALSE;
    Bitmap* bm = dc->state.bitmap.get();
    { PixelAccess access(bm, false); }
    *out = DCPIXELS{bm->pixels, bm->width, bm->height, bm->stride};
    return TRUE;
}

static BOOL writePng(Bitmap* bm, const char* path) {
    if (!bm || !path || !*path)
        return FALSE;
    PixelAccess access(bm, false);
    return cairo_surface_write_to_png(bm->surface, path) == CAIRO_STATUS_SUCCESS ? TRUE : FALSE;
}

BOOL SaveBitmapPng(HBITMAP hbm, const char* path) {
    auto bm = find<Bitmap>(hbm, OBJ_BITMAP);
    return writePng(bm.get(), path);
}

BOOL SaveDCPng(HDC hdc, const char* path) {
    auto dc = findDc(hdc);
    return dc ? writePng(dc->state.bitmap.get(), path) : FALSE;
}

static bool inClip(const Dc& dc, int x, int y) {
    const Bitmap* bm = dc.state.bitmap.get();
    if (!bm || x < 0 || y < 0 || x >= bm->width || y >= bm->height)
        return false;
    return !dc.state.clip || cairo_region_contains_point(dc.state.clip, x, y);
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    auto dc = findDc(hdc);
    if (!dc || !inClip(*dc, x, y))
        return CLR_INVALID;
    Bitmap* bm = dc->state.bitmap.get();
    PixelAccess access(bm, false);
    DWORD p = bm->row(y)[x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
    auto dc = findDc(hdc);
    if (!dc || !inClip(*dc, x, y))
        return CLR_INVALID;
    Bitmap* bm = dc->state.bitmap.get();
    PixelAccess access(bm, true);
    bm->row(y)[x] = opaquePixel(color);
    return color & 0xFFFFFF;
}

BOOL GetPixelArgb(HDC hdc, int x, int y, DWORD* argb) {
    auto dc = findDc(hdc);
    if (!dc || !argb)
        return FALSE;
    Bitmap* bm = dc->state.bitmap.get();
    if (!bm || x < 0 || y < 0 || x >= bm->width || y >= bm->height)
        return FALSE;
    PixelAccess access(bm, false);
    *argb = bm->row(y)[x];
    return TRUE;
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    auto dc = findDc(hdc);
    if (!dc)
        return CLR_INVALID;
    COLORREF old = dc->state.textColor;
    dc->state.textColor = color & 0xFFFFFF;
    return old;
}

COLORREF GetTextColor(HDC hdc) {
    auto dc = findDc(hdc);
    return dc ? dc->state.textColor : CLR_INVALID;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
    auto dc = findDc(hdc);
    if (!dc)
        return CLR_INVALID;
    COLORREF old = dc->state.bkColor;
    dc->state.bkColor = color & 0xFFFFFF;
    return old;
}

COLORREF GetBkColor(HDC hdc) {
    auto dc = findDc(hdc);
    return dc ? dc->state.bkColor : CLR_INVALID;
}

int SetBkMode(HDC hdc, int mode) {
    auto dc = findDc(hdc);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    int old = dc->state.bkMode;
    dc->state.bkMode = mode;
    return old;
}

int GetBkMode(HDC hdc) {
    auto dc = findDc(hdc);
    return dc ? dc->state.bkMode : 0;
}

int SetStretchBltMode(HDC hdc, int mode) {
    auto dc = findDc(hdc);
    if (!dc || mode < BLACKONWHITE || mode > HALFTONE)
        return 0;
    int old = dc->state.stretchMode;
    dc->state.stretchMode = mode;
    return old;
}

int GetStretchBltMode(HDC hdc) {
    auto dc = findDc(hdc);
    return dc ? dc->state.stretchMode : 0;
}

} // namespace plat
