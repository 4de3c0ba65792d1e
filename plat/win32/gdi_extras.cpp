// plat's own drawing helpers on Windows: bitmaps read through GetDIBits,
// regions through GetRegionData, blended fills through AlphaBlend, and
// anti-aliased text through GDI+'s flat functions. Their contracts are those of the Linux face
// (plat/gfx/gdi.h); each one here says only how Windows provides it.
#include "plat/gfx/gdi.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

// GDI+'s headers need COM's property types, which WIN32_LEAN_AND_MEAN
// leaves out, and use min and max, which NOMINMAX keeps out of
// <windows.h>.
#include <objidl.h>
namespace Gdiplus {
using std::max;
using std::min;
} // namespace Gdiplus
#include <gdiplus.h>

#include <stb_image_write.h>

namespace plat {

namespace {

constexpr int kMaxDibSide = 32767;

// A bitmap's pixels as 32-bit premultiplied BGRA, rows top to bottom.
// GetDIBits converts whatever the bitmap stores (GetObject does not say
// whether a DIB section's rows run top-down, so its memory is not read
// directly).
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> argb;
    const DWORD* Row(int y) const { return argb.data() + static_cast<size_t>(y) * width; }
};

bool ReadBitmap(HBITMAP hbm, Pixels* out) {
    BITMAP bm{};
    if (!hbm || GetObjectW(hbm, sizeof bm, &bm) != sizeof bm || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return false;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = -bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    out->width = bm.bmWidth;
    out->height = bm.bmHeight;
    out->argb.assign(static_cast<size_t>(bm.bmWidth) * bm.bmHeight, 0);
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, hbm, 0, bm.bmHeight, out->argb.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return rows == bm.bmHeight;
}

HBITMAP SelectedBitmap(HDC hdc) {
    return hdc ? static_cast<HBITMAP>(GetCurrentObject(hdc, OBJ_BITMAP)) : nullptr;
}

// Straight RGBA rows from premultiplied BGRA, rounded as PNG writers of the
// Linux face round (c * 255 + a / 2) / a.
std::vector<BYTE> StraightRgba(const Pixels& v) {
    std::vector<BYTE> out(static_cast<size_t>(v.width) * v.height * 4);
    BYTE* o = out.data();
    for (int y = 0; y < v.height; ++y) {
        const DWORD* row = v.Row(y);
        for (int x = 0; x < v.width; ++x, o += 4) {
            const DWORD p = row[x];
            const unsigned a = p >> 24;
            unsigned r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            if (a == 0) {
                r = g = b = 0;
            } else if (a < 255) {
                r = std::min(255u, (r * 255 + a / 2) / a);
                g = std::min(255u, (g * 255 + a / 2) / a);
                b = std::min(255u, (b * 255 + a / 2) / a);
            }
            o[0] = static_cast<BYTE>(r);
            o[1] = static_cast<BYTE>(g);
            o[2] = static_cast<BYTE>(b);
            o[3] = static_cast<BYTE>(a);
        }
    }
    return out;
}

BOOL SavePixels(const Pixels& v, const char* path) {
    if (!path || v.width <= 0 || v.height <= 0)
        return FALSE;
    const std::vector<BYTE> rgba = StraightRgba(v);
    return stbi_write_png(path, v.width, v.height, 4, rgba.data(), v.width * 4) ? TRUE : FALSE;
}

std::vector<RECT> RegionRects(HRGN hrgn, bool* ok) {
    *ok = false;
    std::vector<RECT> rects;
    const DWORD bytes = hrgn ? GetRegionData(hrgn, 0, nullptr) : 0;
    if (bytes < sizeof(RGNDATAHEADER))
        return rects;
    std::vector<BYTE> buf(bytes);
    auto* data = reinterpret_cast<RGNDATA*>(buf.data());
    if (GetRegionData(hrgn, bytes, data) != bytes)
        return rects;
    const RECT* r = reinterpret_cast<const RECT*>(data->Buffer);
    rects.assign(r, r + data->rdh.nCount);
    *ok = true;
    return rects;
}

// GDI+ is started once for the process, on first use, and left running:
// text may be drawn until the last window goes.
bool StartGdiplus() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        started = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    });
    return started;
}

// GDI+ is used through its flat functions: the C++ headers'
// StringFormat::GenericTypographic reads a variable that gdiplus.dll does
// not export.
namespace gp = Gdiplus::DllExports;

// A copy of GDI+'s typographic string format with the DT_* flags applied;
// null on failure. Deleted with GdipDeleteStringFormat.
Gdiplus::GpStringFormat* NewTypographicFormat(UINT format) {
    Gdiplus::GpStringFormat* generic = nullptr;
    Gdiplus::GpStringFormat* fmt = nullptr;
    if (gp::GdipStringFormatGetGenericTypographic(&generic) != Gdiplus::Ok ||
        gp::GdipCloneStringFormat(generic, &fmt) != Gdiplus::Ok)
        return nullptr;
    INT flags = 0;
    gp::GdipGetStringFormatFlags(fmt, &flags);
    if (format & DT_NOCLIP)
        flags |= Gdiplus::StringFormatFlagsNoClip;
    if (format & DT_SINGLELINE)
        flags |= Gdiplus::StringFormatFlagsNoWrap;
    gp::GdipSetStringFormatFlags(fmt, flags);
    if (format & DT_END_ELLIPSIS)
        gp::GdipSetStringFormatTrimming(fmt, Gdiplus::StringTrimmingEllipsisCharacter);
    gp::GdipSetStringFormatAlign(fmt, (format & DT_CENTER)  ? Gdiplus::StringAlignmentCenter
                                      : (format & DT_RIGHT) ? Gdiplus::StringAlignmentFar
                                                            : Gdiplus::StringAlignmentNear);
    gp::GdipSetStringFormatLineAlign(fmt, (format & DT_VCENTER)  ? Gdiplus::StringAlignmentCenter
                                          : (format & DT_BOTTOM) ? Gdiplus::StringAlignmentFar
                                                                 : Gdiplus::StringAlignmentNear);
    return fmt;
}

// The GDI+ font of a GDI font (the DC's when hfont is null); null on
// failure. Deleted with GdipDeleteFont.
Gdiplus::GpFont* NewFont(HDC hdc, HFONT hfont) {
    LOGFONTW lf{};
    HFONT source = hfont ? hfont : static_cast<HFONT>(GetCurrentObject(hdc, OBJ_FONT));
    if (!source || GetObjectW(source, sizeof lf, &lf) != sizeof lf)
        return nullptr;
    Gdiplus::GpFont* font = nullptr;
    if (gp::GdipCreateFontFromLogfontW(hdc, &lf, &font) == Gdiplus::Ok)
        return font;
    // GDI+ looks the face name up among installed families only: a name the
    // system substitutes or replaces (the default GUI font's "MS Shell Dlg",
    // a skin's face mapped to another) is taken by the family of the font
    // GDI actually realised, read from its outline metrics, at the font's
    // size and style; failing that, a sans serif family.
    TEXTMETRICW tm{};
    std::vector<BYTE> outline;
    HDC mem = CreateCompatibleDC(hdc);
    HGDIOBJ old = SelectObject(mem, source);
    const BOOL measured = GetTextMetricsW(mem, &tm);
    const UINT outlineSize = GetOutlineTextMetricsW(mem, 0, nullptr);
    if (outlineSize >= sizeof(OUTLINETEXTMETRICW)) {
        outline.resize(outlineSize);
        if (!GetOutlineTextMetricsW(mem, outlineSize,
                                    reinterpret_cast<OUTLINETEXTMETRICW*>(outline.data())))
            outline.clear();
    }
    SelectObject(mem, old);
    DeleteDC(mem);
    std::wstring realised;
    if (!outline.empty()) {
        const auto* otm = reinterpret_cast<const OUTLINETEXTMETRICW*>(outline.data());
        const size_t at = reinterpret_cast<size_t>(otm->otmpFamilyName);
        if (at > 0 && at < outline.size())
            realised = reinterpret_cast<const wchar_t*>(outline.data() + at);
    }
    Gdiplus::GpFontFamily* family = nullptr;
    if ((realised.empty() ||
         gp::GdipCreateFontFamilyFromName(realised.c_str(), nullptr, &family) != Gdiplus::Ok) &&
        gp::GdipGetGenericFontFamilySansSerif(&family) != Gdiplus::Ok)
        return nullptr;
    const LONG em = lf.lfHeight < 0 ? -lf.lfHeight
                    : measured      ? tm.tmHeight - tm.tmInternalLeading
                                    : 12;
    const INT style = (lf.lfWeight >= FW_BOLD ? Gdiplus::FontStyleBold : 0) |
                      (lf.lfItalic ? Gdiplus::FontStyleItalic : 0) |
                      (lf.lfUnderline ? Gdiplus::FontStyleUnderline : 0);
    const Gdiplus::Status made = gp::GdipCreateFont(family, static_cast<Gdiplus::REAL>(em), style,
                                                    Gdiplus::UnitPixel, &font);
    gp::GdipDeleteFontFamily(family);
    return made == Gdiplus::Ok ? font : nullptr;
}

// What a text drawing or measuring needs, released together.
struct TextTools {
    Gdiplus::GpStringFormat* format = nullptr;
    Gdiplus::GpFont* font = nullptr;
    TextTools(HDC hdc, HFONT hfont, UINT flags)
        : format(NewTypographicFormat(flags)), font(NewFont(hdc, hfont)) {}
    ~TextTools() {
        if (format)
            gp::GdipDeleteStringFormat(format);
        if (font)
            gp::GdipDeleteFont(font);
    }
    bool Ok() const { return format && font; }
};

int TextLength(LPCWSTR text, int count) {
    return count < 0 ? static_cast<int>(wcslen(text)) : count;
}

} // namespace

HBITMAP CreateDIB32(int width, int height, void** ppvBits) {
    if (ppvBits)
        *ppvBits = nullptr;
    if (width <= 0 || height <= 0 || width > kMaxDibSide || height > kMaxDibSide)
        return nullptr;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP hbm = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (hbm && ppvBits)
        *ppvBits = bits;
    return hbm;
}

BOOL GetPixelArgb(HDC hdc, int x, int y, DWORD* argb) {
    // Only the pixel's scan line is converted (tests read bitmaps pixel by
    // pixel): for a bottom-up request GetDIBits counts scan lines from the
    // bottom, whichever way the bitmap stores its rows.
    const HBITMAP hbm = SelectedBitmap(hdc);
    BITMAP bm{};
    if (!argb || !hbm || GetObjectW(hbm, sizeof bm, &bm) != sizeof bm || x < 0 || y < 0 ||
        x >= bm.bmWidth || y >= bm.bmHeight)
        return FALSE;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> row(static_cast<size_t>(bm.bmWidth));
    if (GetDIBits(hdc, hbm, static_cast<UINT>(bm.bmHeight - 1 - y), 1, row.data(), &bi,
                  DIB_RGB_COLORS) != 1)
        return FALSE;
    *argb = row[static_cast<size_t>(x)];
    return TRUE;
}

BOOL SaveBitmapPng(HBITMAP hbm, const char* path) {
    Pixels v;
    return ReadBitmap(hbm, &v) ? SavePixels(v, path) : FALSE;
}

BOOL SaveDCPng(HDC hdc, const char* path) {
    return SaveBitmapPng(SelectedBitmap(hdc), path);
}

BOOL GetRgnRowSpans(HRGN hrgn, int top, int count, RGNROWSPAN* spans) {
    if (!spans || count < 0)
        return FALSE;
    bool ok = false;
    const std::vector<RECT> rects = RegionRects(hrgn, &ok);
    if (!ok)
        return FALSE;
    for (int i = 0; i < count; ++i)
        spans[i] = RGNROWSPAN{0, 0};
    for (const RECT& r : rects) {
        const int from = std::max<int>(r.top, top), to = std::min<int>(r.bottom, top + count);
        for (int y = from; y < to; ++y) {
            RGNROWSPAN& s = spans[y - top];
            if (s.left == s.right) {
                s = RGNROWSPAN{r.left, r.right};
            } else {
                s.left = std::min(s.left, r.left);
                s.right = std::max(s.right, r.right);
            }
        }
    }
    return TRUE;
}

BOOL GetRgnRects(HRGN hrgn, std::vector<RECT>* rects) {
    if (!rects)
        return FALSE;
    bool ok = false;
    *rects = RegionRects(hrgn, &ok);
    return ok ? TRUE : FALSE;
}

BOOL FillRectAlpha(HDC hdc, const RECT* rc, DWORD argb) {
    if (!hdc || !rc)
        return FALSE;
    const DWORD a = argb >> 24;
    if (a == 0 || rc->right <= rc->left || rc->bottom <= rc->top)
        return TRUE;
    // One premultiplied pixel, stretched over the rectangle by AlphaBlend.
    void* bits = nullptr;
    HBITMAP pixel = CreateDIB32(1, 1, &bits);
    HDC mem = pixel ? CreateCompatibleDC(hdc) : nullptr;
    if (!mem) {
        if (pixel)
            DeleteObject(pixel);
        return FALSE;
    }
    auto premultiply = [a](DWORD c) { return (c * a + 127) / 255; };
    *static_cast<DWORD*>(bits) = (a << 24) | (premultiply((argb >> 16) & 0xFF) << 16) |
                                 (premultiply((argb >> 8) & 0xFF) << 8) | premultiply(argb & 0xFF);
    HGDIOBJ old = SelectObject(mem, pixel);
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    const BOOL done = AlphaBlend(hdc, rc->left, rc->top, rc->right - rc->left, rc->bottom - rc->top,
                                 mem, 0, 0, 1, 1, blend);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(pixel);
    return done;
}

BOOL DrawTextSmooth(HDC hdc, LPCWSTR text, int count, HFONT hfont, const RECT* layout, DWORD argb,
                    UINT format) {
    if (!hdc || !text || !layout || !StartGdiplus())
        return FALSE;
    // The text is drawn by GDI+ into a transparent top-down bitmap of its
    // own, over the part of the DC that can be drawn on, and blended onto
    // the DC with AlphaBlend: the DC's clip region applies, and the text's
    // alpha is composed as on the Linux face whatever the target is.
    RECT area{};
    if (GetClipBox(hdc, &area) == ERROR)
        return FALSE;
    if (!(format & DT_NOCLIP) && !IntersectRect(&area, &area, layout))
        return TRUE;
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return TRUE;
    TextTools tools(hdc, hfont, format);
    void* bits = nullptr;
    HBITMAP canvas = tools.Ok() ? CreateDIB32(width, height, &bits) : nullptr;
    if (!canvas)
        return FALSE;
    Gdiplus::Status status = Gdiplus::GenericError;
    Gdiplus::GpBitmap* surface = nullptr;
    Gdiplus::GpGraphics* g = nullptr;
    Gdiplus::GpSolidFill* brush = nullptr;
    if (gp::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppPARGB,
                                      static_cast<BYTE*>(bits), &surface) == Gdiplus::Ok &&
        gp::GdipGetImageGraphicsContext(surface, &g) == Gdiplus::Ok &&
        gp::GdipCreateSolidFill(argb, &brush) == Gdiplus::Ok) {
        gp::GdipSetTextRenderingHint(g, Gdiplus::TextRenderingHintAntiAlias);
        gp::GdipTranslateWorldTransform(g, static_cast<Gdiplus::REAL>(-area.left),
                                        static_cast<Gdiplus::REAL>(-area.top),
                                        Gdiplus::MatrixOrderPrepend);
        const Gdiplus::RectF rect(static_cast<Gdiplus::REAL>(layout->left),
                                  static_cast<Gdiplus::REAL>(layout->top),
                                  static_cast<Gdiplus::REAL>(layout->right - layout->left),
                                  static_cast<Gdiplus::REAL>(layout->bottom - layout->top));
        status = gp::GdipDrawString(g, text, TextLength(text, count), tools.font, &rect,
                                    tools.format, brush);
    }
    if (brush)
        gp::GdipDeleteBrush(brush);
    if (g)
        gp::GdipDeleteGraphics(g);
    if (surface)
        gp::GdipDisposeImage(surface);
    BOOL done = FALSE;
    if (status == Gdiplus::Ok) {
        HDC mem = CreateCompatibleDC(hdc);
        HGDIOBJ old = SelectObject(mem, canvas);
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        done = AlphaBlend(hdc, area.left, area.top, width, height, mem, 0, 0, width, height, blend);
        SelectObject(mem, old);
        DeleteDC(mem);
    }
    DeleteObject(canvas);
    return done;
}

BOOL MeasureTextSmooth(HDC hdc, LPCWSTR text, int count, HFONT hfont, const RECT* layout,
                       UINT format, double* width, double* height) {
    if (!hdc || !text || !layout || !width || !height || !StartGdiplus())
        return FALSE;
    TextTools tools(hdc, hfont, format);
    Gdiplus::GpGraphics* g = nullptr;
    if (!tools.Ok() || gp::GdipCreateFromHDC(hdc, &g) != Gdiplus::Ok)
        return FALSE;
    gp::GdipSetTextRenderingHint(g, Gdiplus::TextRenderingHintAntiAlias);
    const LONG w = layout->right - layout->left;
    const Gdiplus::REAL unlimited = 1e6f;
    const Gdiplus::RectF rect(0, 0, w > 0 ? static_cast<Gdiplus::REAL>(w) : unlimited, unlimited);
    Gdiplus::RectF bound;
    const Gdiplus::Status status =
        gp::GdipMeasureString(g, text, TextLength(text, count), tools.font, &rect, tools.format,
                              &bound, nullptr, nullptr);
    gp::GdipDeleteGraphics(g);
    if (status != Gdiplus::Ok)
        return FALSE;
    *width = bound.Width;
    *height = bound.Height;
    return TRUE;
}

} // namespace plat
