// The rendering engine (see UIRender.h).
//
// Sections:
//   1. CRenderClip
//   2. Colours
//   3. Image loading
//   4. Nine-part image drawing
//   5. Image descriptions
//   6. Fills, gradients, lines and outlines
//   7. Text
//   8. Layered painting helpers
#include "ui/UIRender.h"

#include "plat/gfx/gdi.h"
#include "plat/sys/pixel_memory.h"
#include "plat/sys/resource.h"

#include <stb_image.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <vector>

namespace Veneer {

namespace {

bool Meets(const RECT& a, const RECT& b) {
    RECT tmp;
    return plat::IntersectRect(&tmp, &a, &b);
}

} // namespace

/////////////////////////////////////////////////////////////////////////////
// 1. CRenderClip

CRenderClip::~CRenderClip() {
    if (!hDC)
        return;
    plat::SelectClipRgn(hDC, hOldRgn);
    if (hOldRgn)
        plat::DeleteObject(hOldRgn);
    if (hRgn)
        plat::DeleteObject(hRgn);
}

// Remembers the DC's exact clip region (null when it has none, which
// restores to "no clip"), so that nested rounded clips come back unchanged.
static HRGN SaveClip(HDC hDC) {
    HRGN hOld = plat::CreateRectRgn(0, 0, 0, 0);
    if (plat::GetClipRgn(hDC, hOld) != 1) {
        plat::DeleteObject(hOld);
        return nullptr;
    }
    return hOld;
}

void CRenderClip::GenerateClip(HDC hDC, RECT rc, CRenderClip& clip) {
    clip.hOldRgn = SaveClip(hDC);
    clip.hRgn = plat::CreateRectRgnIndirect(&rc);
    plat::ExtSelectClipRgn(hDC, clip.hRgn, RGN_AND);
    clip.hDC = hDC;
    clip.rcItem = rc;
}

void CRenderClip::GenerateRoundClip(HDC hDC, RECT rc, RECT rcItem, int width, int height,
                                    CRenderClip& clip) {
    clip.hOldRgn = SaveClip(hDC);
    clip.hRgn = plat::CreateRectRgnIndirect(&rc);
    HRGN hRgnItem = plat::CreateRoundRectRgn(rcItem.left, rcItem.top, rcItem.right + 1,
                                             rcItem.bottom + 1, width, height);
    plat::CombineRgn(clip.hRgn, clip.hRgn, hRgnItem, RGN_AND);
    plat::ExtSelectClipRgn(hDC, clip.hRgn, RGN_AND);
    clip.hDC = hDC;
    clip.rcItem = rc;
    plat::DeleteObject(hRgnItem);
}

void CRenderClip::UseOldClipBegin(HDC hDC, CRenderClip& clip) {
    plat::SelectClipRgn(hDC, clip.hOldRgn);
}

void CRenderClip::UseOldClipEnd(HDC hDC, CRenderClip& clip) {
    plat::SelectClipRgn(hDC, clip.hRgn);
}

/////////////////////////////////////////////////////////////////////////////
// 2. Colours

DWORD CRenderEngine::CheckAlphaColor(DWORD dwColor) {
    if ((dwColor & 0x00FFFFFF) == 0)
        dwColor += 1;
    return dwColor;
}

// Shifts the hue by H - 180 degrees and scales saturation and lightness by
// S / 100 and L / 100; (180, 100, 100) changes nothing.
DWORD CRenderEngine::AdjustColor(DWORD dwColor, short H, short S, short L) {
    if (H == 180 && S == 100 && L == 100)
        return dwColor;
    double r = ((dwColor >> 16) & 0xFF) / 255.0;
    double g = ((dwColor >> 8) & 0xFF) / 255.0;
    double b = (dwColor & 0xFF) / 255.0;
    double mx = std::max({r, g, b});
    double mn = std::min({r, g, b});
    double l = (mx + mn) / 2;
    double h = 0;
    double s = 0;
    if (mx != mn) {
        double d = mx - mn;
        s = l > 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
        if (mx == r)
            h = (g - b) / d + (g < b ? 6 : 0);
        else if (mx == g)
            h = (b - r) / d + 2;
        else
            h = (r - g) / d + 4;
        h *= 60;
    }
    h = std::fmod(h + (H - 180) + 360.0, 360.0);
    s = std::min(1.0, std::max(0.0, s * S / 100.0));
    l = std::min(1.0, std::max(0.0, l * L / 100.0));
    auto hue2rgb = [](double p, double q, double t) {
        if (t < 0)
            t += 1;
        if (t > 1)
            t -= 1;
        if (t < 1.0 / 6)
            return p + (q - p) * 6 * t;
        if (t < 1.0 / 2)
            return q;
        if (t < 2.0 / 3)
            return p + (q - p) * (2.0 / 3 - t) * 6;
        return p;
    };
    if (s == 0) {
        r = g = b = l;
    } else {
        double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
        double p = 2 * l - q;
        r = hue2rgb(p, q, h / 360 + 1.0 / 3);
        g = hue2rgb(p, q, h / 360);
        b = hue2rgb(p, q, h / 360 - 1.0 / 3);
    }
    auto to8 = [](double v) { return static_cast<DWORD>(std::lround(v * 255)) & 0xFF; };
    return (dwColor & 0xFF000000) | (to8(r) << 16) | (to8(g) << 8) | to8(b);
}

/////////////////////////////////////////////////////////////////////////////
// 3. Image loading

namespace {

TImageInfo* MakeImageInfo(HBITMAP hBitmap, int x, int y, bool bAlphaChannel) {
    TImageInfo* data = new TImageInfo();
    data->hBitmap = hBitmap;
    data->nX = x;
    data->nY = y;
    data->alphaChannel = bAlphaChannel;
    return data;
}

// Images decoded before, by their encoded bytes and mask: every window has
// its own image cache, but windows opened one after another (or the same
// window again, such as a message dialog) share their smaller artwork:
// buttons, icons, check boxes. Only images of up to kDecodedImageMax bytes
// of pixels are kept: a window's background is its own, and copying it
// would cost its first frame time and the process memory for nothing. Up
// to kDecodedMax bytes are kept in all; the least recently used go first.
class DecodedImages {
public:
    struct Image {
        std::vector<BYTE> encoded;
        DWORD mask = 0;
        int x = 0, y = 0;
        bool alpha = false;
        plat::PixelVector<DWORD> pixels; // premultiplied BGRA, top-down
        uint64_t used = 0;
    };

    // A new bitmap with the pixels of an earlier decoding of these bytes;
    // null when there was none (or the bitmap cannot be made).
    TImageInfo* Find(const BYTE* pData, DWORD dwSize, DWORD mask) {
        std::lock_guard<std::mutex> g(m_m);
        for (Image& im : m_images) {
            if (im.mask != mask || im.encoded.size() != dwSize ||
                std::memcmp(im.encoded.data(), pData, dwSize) != 0)
                continue;
            im.used = ++m_clock;
            void* pvBits = nullptr;
            HBITMAP hBitmap = plat::CreateDIB32(im.x, im.y, &pvBits);
            if (!hBitmap || !pvBits)
                return nullptr;
            std::memcpy(pvBits, im.pixels.data(), im.pixels.size() * 4);
            return MakeImageInfo(hBitmap, im.x, im.y, im.alpha);
        }
        return nullptr;
    }

    void Add(const BYTE* pData, DWORD dwSize, DWORD mask, int x, int y, bool alpha,
             const DWORD* pixels) {
        const size_t bytes = static_cast<size_t>(x) * y * 4;
        if (bytes > kDecodedImageMax)
            return;
        std::lock_guard<std::mutex> g(m_m);
        while (m_bytes + bytes > kDecodedMax && !m_images.empty()) {
            auto oldest =
                std::min_element(m_images.begin(), m_images.end(),
                                 [](const Image& a, const Image& b) { return a.used < b.used; });
            m_bytes -= oldest->pixels.size() * 4;
            m_images.erase(oldest);
        }
        Image im;
        im.encoded.assign(pData, pData + dwSize);
        im.mask = mask;
        im.x = x;
        im.y = y;
        im.alpha = alpha;
        im.pixels.assign(pixels, pixels + static_cast<size_t>(x) * y);
        im.used = ++m_clock;
        m_images.push_back(std::move(im));
        m_bytes += bytes;
    }

    int Count() {
        std::lock_guard<std::mutex> g(m_m);
        return static_cast<int>(m_images.size());
    }

    void Clear() {
        std::lock_guard<std::mutex> g(m_m);
        m_images.clear();
        m_bytes = 0;
    }

private:
    static constexpr size_t kDecodedImageMax = 256 * 1024;
    static constexpr size_t kDecodedMax = 4 * 1024 * 1024;
    std::mutex m_m;
    std::vector<Image> m_images;
    size_t m_bytes = 0;
    uint64_t m_clock = 0;
};

DecodedImages& Decoded() {
    // Never destroyed: images may be loaded while the program ends.
    static auto* d = new DecodedImages;
    return *d;
}

} // namespace

TImageInfo* CRenderEngine::LoadImageFromMemory(const BYTE* pData, DWORD dwSize, DWORD mask) {
    if (!pData || dwSize == 0 || dwSize > static_cast<DWORD>(INT_MAX))
        return nullptr;
    if (TImageInfo* known = Decoded().Find(pData, dwSize, mask))
        return known;
    int x = 0, y = 0, n = 0;
    bool bAlphaChannel = false;
    stbi_uc* pImage = stbi_load_from_memory(pData, static_cast<int>(dwSize), &x, &y, &n, 4);
    if (!pImage)
        return nullptr;
    void* pvBits = nullptr;
    HBITMAP hBitmap = plat::CreateDIB32(x, y, &pvBits);
    if (!hBitmap || !pvBits) {
        if (hBitmap)
            plat::DeleteObject(hBitmap);
        stbi_image_free(pImage);
        return nullptr;
    }
    BYTE* pDest = static_cast<BYTE*>(pvBits);
    size_t count = static_cast<size_t>(x) * static_cast<size_t>(y);
    for (size_t i = 0; i < count; ++i) {
        const BYTE* s = pImage + i * 4;
        BYTE* d = pDest + i * 4;
        BYTE a = s[3];
        d[3] = a;
        if (a < 255) {
            d[0] = static_cast<BYTE>(s[2] * a / 255);
            d[1] = static_cast<BYTE>(s[1] * a / 255);
            d[2] = static_cast<BYTE>(s[0] * a / 255);
            bAlphaChannel = true;
        } else {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
        DWORD value = static_cast<DWORD>(d[0]) | (static_cast<DWORD>(d[1]) << 8) |
                      (static_cast<DWORD>(d[2]) << 16) | (static_cast<DWORD>(d[3]) << 24);
        if (value == mask) {
            d[0] = d[1] = d[2] = d[3] = 0;
            bAlphaChannel = true;
        }
    }
    stbi_image_free(pImage);
    Decoded().Add(pData, dwSize, mask, x, y, bAlphaChannel, static_cast<const DWORD*>(pvBits));
    return MakeImageInfo(hBitmap, x, y, bAlphaChannel);
}

int CRenderEngine::GetDecodedImageCount() {
    return Decoded().Count();
}

void CRenderEngine::ReleaseDecodedImages() {
    Decoded().Clear();
}

TImageInfo* CRenderEngine::LoadImage(STRINGorID bitmap, LPCTSTR type, DWORD mask) {
    std::vector<BYTE> bytes;
    if (!bitmap.m_lpstr)
        return nullptr;
    if (type && !bitmap.IsID() && !*bitmap.m_lpstr)
        return nullptr;
    if (!type && !bitmap.IsID()) {
        CPaintManagerUI::LoadSkinFile(bitmap.m_lpstr, bytes);
    } else if (type) {
        HINSTANCE hInst = CPaintManagerUI::GetResourceDll();
        HRSRC hResource = plat::FindResource(hInst, bitmap.m_lpstr, type);
        if (hResource) {
            HGLOBAL hGlobal = plat::LoadResource(hInst, hResource);
            DWORD dwSize = plat::SizeofResource(hInst, hResource);
            const BYTE* p = static_cast<const BYTE*>(plat::LockResource(hGlobal));
            if (p && dwSize > 0)
                bytes.assign(p, p + dwSize);
        }
    }
    // Last resort: the name as a file path. A resource number names no file.
    if (bytes.empty() && !bitmap.IsID())
        CPaintManagerUI::ReadWholeFile(bitmap.m_lpstr, bytes);
    if (bytes.empty())
        return nullptr;
    return LoadImageFromMemory(bytes.data(), static_cast<DWORD>(bytes.size()), mask);
}

void CRenderEngine::FreeImage(const TImageInfo* bitmap) {
    if (!bitmap)
        return;
    if (bitmap->hBitmap)
        plat::DeleteObject(bitmap->hBitmap);
    delete bitmap;
}

/////////////////////////////////////////////////////////////////////////////
// 4. Nine-part image drawing

namespace {

// Draws one part: blended (AlphaBlend with the source's alpha times fade) or
// opaque (StretchBlt in halftone mode, which is a plain copy at equal sizes).
struct PartBlitter {
    HDC hDC;
    HDC hSrc;
    bool blend;
    BLENDFUNCTION bf;
    const RECT& rcPaint;

    void operator()(int x, int y, int cx, int cy, int xs, int ys, int cxs, int cys) const {
        if (cx <= 0 || cy <= 0 || cxs <= 0 || cys <= 0)
            return;
        RECT rcDest{x, y, x + cx, y + cy};
        if (!Meets(rcDest, rcPaint))
            return;
        if (blend)
            plat::AlphaBlend(hDC, x, y, cx, cy, hSrc, xs, ys, cxs, cys, bf);
        else if (cx == cxs && cy == cys)
            plat::BitBlt(hDC, x, y, cx, cy, hSrc, xs, ys, SRCCOPY);
        else
            plat::StretchBlt(hDC, x, y, cx, cy, hSrc, xs, ys, cxs, cys, SRCCOPY);
    }
};

// Index range [first, last) of tiles of size `tile` laid from `origin` that
// meet [lo, hi), limited to `count` tiles.
void TileRange(long origin, long tile, long count, long lo, long hi, long& first, long& last) {
    first = lo > origin ? (lo - origin) / tile : 0;
    last = hi > origin ? (hi - origin + tile - 1) / tile : 0;
    first = std::min(std::max(first, 0L), count);
    last = std::min(std::max(last, first), count);
}

} // namespace

void CRenderEngine::DrawImage(HDC hDC, HBITMAP hBitmap, const RECT& rc, const RECT& rcPaint,
                              const RECT& rcBmpPart, const RECT& rcCorners, bool bAlpha, BYTE uFade,
                              bool hole, bool xtiled, bool ytiled) {
    if (!hDC || !hBitmap)
        return;
    HDC hCloneDC = plat::CreateCompatibleDC(hDC);
    if (!hCloneDC)
        return;
    HGDIOBJ hOldBitmap = plat::SelectObject(hCloneDC, hBitmap);
    plat::SetStretchBltMode(hDC, HALFTONE);

    const long cl = rcCorners.left, ct = rcCorners.top, cr = rcCorners.right, cb = rcCorners.bottom;
    const long sl = rcBmpPart.left, st = rcBmpPart.top, sr = rcBmpPart.right, sb = rcBmpPart.bottom;
    const bool blend = bAlpha || uFade < 255;
    PartBlitter blit{hDC, hCloneDC, blend, BLENDFUNCTION{AC_SRC_OVER, 0, uFade, AC_SRC_ALPHA},
                     rcPaint};

    if (!blend && rc.right - rc.left == sr - sl && rc.bottom - rc.top == sb - st && cl == 0 &&
        cr == 0 && ct == 0 && cb == 0) {
        // Same size, no corners: copy only the visible part, pixel for pixel.
        RECT rcTemp;
        if (plat::IntersectRect(&rcTemp, &rcPaint, &rc)) {
            plat::BitBlt(hDC, rcTemp.left, rcTemp.top, rcTemp.right - rcTemp.left,
                         rcTemp.bottom - rcTemp.top, hCloneDC, sl + rcTemp.left - rc.left,
                         st + rcTemp.top - rc.top, SRCCOPY);
        }
        plat::SelectObject(hCloneDC, hOldBitmap);
        plat::DeleteDC(hCloneDC);
        return;
    }

    // Middle
    if (!hole) {
        RECT rcDest{static_cast<LONG>(rc.left + cl), static_cast<LONG>(rc.top + ct),
                    static_cast<LONG>(rc.right - cr), static_cast<LONG>(rc.bottom - cb)};
        const long mw = rcDest.right - rcDest.left, mh = rcDest.bottom - rcDest.top;
        const long tw = sr - sl - cl - cr, th = sb - st - ct - cb; // source middle size
        if (mw > 0 && mh > 0 && tw > 0 && th > 0 && Meets(rcDest, rcPaint)) {
            if (!xtiled && !ytiled) {
                blit(rcDest.left, rcDest.top, mw, mh, sl + cl, st + ct, tw, th);
            } else if (xtiled && ytiled) {
                // Unscaled tiles; the last column and row are cut.
                long fx, lx, fy, ly;
                TileRange(rcDest.left, tw, (mw + tw - 1) / tw, rcPaint.left, rcPaint.right, fx, lx);
                TileRange(rcDest.top, th, (mh + th - 1) / th, rcPaint.top, rcPaint.bottom, fy, ly);
                for (long j = fy; j < ly; ++j) {
                    long top = rcDest.top + th * j;
                    long h = std::min(th, rcDest.bottom - top);
                    for (long i = fx; i < lx; ++i) {
                        long left = rcDest.left + tw * i;
                        long w = std::min(tw, rcDest.right - left);
                        blit(left, top, w, h, sl + cl, st + ct, w, h);
                    }
                }
            } else if (xtiled) {
                // Tiles of the source width, each stretched to the full height.
                long f, l;
                TileRange(rcDest.left, tw, (mw + tw - 1) / tw, rcPaint.left, rcPaint.right, f, l);
                for (long i = f; i < l; ++i) {
                    long left = rcDest.left + tw * i;
                    long w = std::min(tw, rcDest.right - left);
                    blit(left, rcDest.top, w, mh, sl + cl, st + ct, w, th);
                }
            } else {
                long f, l;
                TileRange(rcDest.top, th, (mh + th - 1) / th, rcPaint.top, rcPaint.bottom, f, l);
                for (long j = f; j < l; ++j) {
                    long top = rcDest.top + th * j;
                    long h = std::min(th, rcDest.bottom - top);
                    blit(rcDest.left, top, mw, h, sl + cl, st + ct, tw, h);
                }
            }
        }
    }

    const long w = rc.right - rc.left, h = rc.bottom - rc.top;
    const long sw = sr - sl, sh = sb - st;
    // left-top
    if (cl > 0 && ct > 0)
        blit(rc.left, rc.top, cl, ct, sl, st, cl, ct);
    // top
    if (ct > 0)
        blit(rc.left + cl, rc.top, w - cl - cr, ct, sl + cl, st, sw - cl - cr, ct);
    // right-top
    if (cr > 0 && ct > 0)
        blit(rc.right - cr, rc.top, cr, ct, sr - cr, st, cr, ct);
    // left
    if (cl > 0)
        blit(rc.left, rc.top + ct, cl, h - ct - cb, sl, st + ct, cl, sh - ct - cb);
    // right
    if (cr > 0)
        blit(rc.right - cr, rc.top + ct, cr, h - ct - cb, sr - cr, st + ct, cr, sh - ct - cb);
    // left-bottom
    if (cl > 0 && cb > 0)
        blit(rc.left, rc.bottom - cb, cl, cb, sl, sb - cb, cl, cb);
    // bottom
    if (cb > 0)
        blit(rc.left + cl, rc.bottom - cb, w - cl - cr, cb, sl + cl, sb - cb, sw - cl - cr, cb);
    // right-bottom
    if (cr > 0 && cb > 0)
        blit(rc.right - cr, rc.bottom - cb, cr, cb, sr - cr, sb - cb, cr, cb);

    plat::SelectObject(hCloneDC, hOldBitmap);
    plat::DeleteDC(hCloneDC);
}

/////////////////////////////////////////////////////////////////////////////
// 5. Image descriptions

namespace {

// Coordinates read from descriptions are limited to this magnitude, which
// keeps every sum of them within int.
constexpr long kCoordLimit = 1L << 24;

long ClampCoord(long v) {
    return std::min(std::max(v, -kCoordLimit), kCoordLimit);
}

// Reads up to four decimal numbers: the first after optional whitespace and
// sign, each further one starting one character after where the previous
// stopped. Numbers missing at the end read as 0.
void ReadNumberList(LPCTSTR value, long out[4]) {
    const wchar_t* p = value;
    for (int k = 0; k < 4; ++k) {
        if (k > 0) {
            if (*p == 0) {
                out[k] = 0;
                continue;
            }
            ++p;
        }
        wchar_t* end = nullptr;
        long v = wcstol(p, &end, 10);
        out[k] = ClampCoord(v);
        p = end ? end : p;
    }
}

struct ImageSettings {
    CStdString sImageName;
    CStdString sImageResType;
    RECT rcItem;
    RECT rcBmpPart{0, 0, 0, 0};
    RECT rcCorner{0, 0, 0, 0};
    DWORD dwMask = 0;
    BYTE bFade = 0xFF;
    bool bHole = false;
    bool bTiledX = false;
    bool bTiledY = false;
};

void DrawNamedImage(HDC hDC, CPaintManagerUI* pManager, const RECT& rc, const RECT& rcPaint,
                    const ImageSettings& s) {
    if (s.sImageName.IsEmpty())
        return;
    const TImageInfo* data = pManager->GetImageEx(
        s.sImageName, s.sImageResType.IsEmpty() ? nullptr : s.sImageResType.GetData(), s.dwMask);
    if (!data)
        return;
    RECT rcBmpPart = s.rcBmpPart;
    if (rcBmpPart.left == 0 && rcBmpPart.right == 0 && rcBmpPart.top == 0 &&
        rcBmpPart.bottom == 0) {
        rcBmpPart.right = data->nX;
        rcBmpPart.bottom = data->nY;
    }
    if (rcBmpPart.right > data->nX)
        rcBmpPart.right = data->nX;
    if (rcBmpPart.bottom > data->nY)
        rcBmpPart.bottom = data->nY;
    if (!Meets(s.rcItem, rc) || !Meets(s.rcItem, rcPaint))
        return;
    CRenderEngine::DrawImage(hDC, data->hBitmap, s.rcItem, rcPaint, rcBmpPart, s.rcCorner,
                             pManager->IsBackgroundTransparent() ? true : data->alphaChannel,
                             s.bFade, s.bHole, s.bTiledX, s.bTiledY);
}

bool IsBlank(wchar_t ch) {
    return ch > 0 && ch <= L' ';
}

} // namespace

bool CRenderEngine::DrawImageString(HDC hDC, CPaintManagerUI* pManager, const RECT& rc,
                                    const RECT& rcPaint, LPCTSTR pStrImage, LPCTSTR pStrModify) {
    if (!pManager || !hDC)
        return false;
    ImageSettings s;
    s.sImageName = pStrImage;
    s.rcItem = rc;

    for (int pass = 0; pass < 2; ++pass) {
        LPCTSTR p = pass == 0 ? pStrImage : pStrModify;
        if (!p)
            continue;
        int imageCount = 0;
        while (*p != 0) {
            CStdString sItem;
            CStdString sValue;
            while (IsBlank(*p))
                ++p;
            LPCTSTR keyStart = p;
            while (*p != 0 && *p != L'=' && !IsBlank(*p))
                ++p;
            sItem.Assign(keyStart, static_cast<int>(p - keyStart));
            while (IsBlank(*p))
                ++p;
            if (*p != L'=')
                break;
            ++p;
            while (IsBlank(*p))
                ++p;
            if (*p != L'\'')
                break;
            ++p;
            LPCTSTR valueStart = p;
            while (*p != 0 && *p != L'\'')
                ++p;
            if (*p != L'\'')
                break;
            sValue.Assign(valueStart, static_cast<int>(p - valueStart));
            ++p;
            if (!sValue.IsEmpty()) {
                if (sItem == L"file" || sItem == L"res") {
                    if (imageCount > 0)
                        DrawNamedImage(hDC, pManager, rc, rcPaint, s);
                    s.sImageName = sValue;
                    if (sItem == L"file")
                        ++imageCount;
                } else if (sItem == L"restype") {
                    if (imageCount > 0)
                        DrawNamedImage(hDC, pManager, rc, rcPaint, s);
                    s.sImageResType = sValue;
                    ++imageCount;
                } else if (sItem == L"dest") {
                    long v[4];
                    ReadNumberList(sValue, v);
                    s.rcItem.left = static_cast<LONG>(rc.left + v[0]);
                    s.rcItem.top = static_cast<LONG>(rc.top + v[1]);
                    s.rcItem.right = static_cast<LONG>(std::min<long>(rc.left + v[2], rc.right));
                    s.rcItem.bottom = static_cast<LONG>(std::min<long>(rc.top + v[3], rc.bottom));
                } else if (sItem == L"source") {
                    long v[4];
                    ReadNumberList(sValue, v);
                    s.rcBmpPart = RECT{static_cast<LONG>(v[0]), static_cast<LONG>(v[1]),
                                       static_cast<LONG>(v[2]), static_cast<LONG>(v[3])};
                } else if (sItem == L"corner") {
                    long v[4];
                    ReadNumberList(sValue, v);
                    s.rcCorner = RECT{static_cast<LONG>(v[0]), static_cast<LONG>(v[1]),
                                      static_cast<LONG>(v[2]), static_cast<LONG>(v[3])};
                } else if (sItem == L"mask") {
                    LPCTSTR m = sValue.GetData();
                    if (*m == L'#')
                        ++m;
                    s.dwMask = static_cast<DWORD>(wcstoul(m, nullptr, 16));
                } else if (sItem == L"fade") {
                    s.bFade = static_cast<BYTE>(wcstoul(sValue, nullptr, 10));
                } else if (sItem == L"hole") {
                    s.bHole = sValue == L"true";
                } else if (sItem == L"xtiled") {
                    s.bTiledX = sValue == L"true";
                } else if (sItem == L"ytiled") {
                    s.bTiledY = sValue == L"true";
                }
            }
            if (*p != L' ')
                break;
            ++p;
        }
    }
    DrawNamedImage(hDC, pManager, rc, rcPaint, s);
    return true;
}

/////////////////////////////////////////////////////////////////////////////
// 6. Fills, gradients, lines and outlines

void CRenderEngine::DrawColor(HDC hDC, const RECT& rc, DWORD color) {
    if (!hDC || (color >> 24) == 0)
        return;
    plat::FillRectAlpha(hDC, &rc, color);
}

void CRenderEngine::DrawGradient(HDC hDC, const RECT& rc, DWORD dwFirst, DWORD dwSecond,
                                 bool bVertical, int nSteps) {
    BYTE bAlpha = static_cast<BYTE>(((dwFirst >> 24) + (dwSecond >> 24)) >> 1);
    if (!hDC || bAlpha == 0)
        return;
    int cx = rc.right - rc.left;
    int cy = rc.bottom - rc.top;
    if (cx <= 0 || cy <= 0)
        return;
    RECT rcPaint = rc;
    HDC hPaintDC = hDC;
    HBITMAP hPaintBitmap = nullptr;
    HGDIOBJ hOldPaintBitmap = nullptr;
    if (bAlpha < 255) {
        // Rendered off screen, then blended with the average opacity.
        rcPaint = RECT{0, 0, cx, cy};
        hPaintDC = plat::CreateCompatibleDC(hDC);
        hPaintBitmap = plat::CreateCompatibleBitmap(hDC, cx, cy);
        if (!hPaintDC || !hPaintBitmap) {
            if (hPaintDC)
                plat::DeleteDC(hPaintDC);
            if (hPaintBitmap)
                plat::DeleteObject(hPaintBitmap);
            return;
        }
        hOldPaintBitmap = plat::SelectObject(hPaintDC, hPaintBitmap);
    }
    const DWORD r1 = (dwFirst >> 16) & 0xFF, g1 = (dwFirst >> 8) & 0xFF, b1 = dwFirst & 0xFF;
    const DWORD r2 = (dwSecond >> 16) & 0xFF, g2 = (dwSecond >> 8) & 0xFF, b2 = dwSecond & 0xFF;
    TRIVERTEX triv[2] = {{rcPaint.left, rcPaint.top, static_cast<COLOR16>(r1 << 8),
                          static_cast<COLOR16>(g1 << 8), static_cast<COLOR16>(b1 << 8), 0xFF00},
                         {rcPaint.right, rcPaint.bottom, static_cast<COLOR16>(r2 << 8),
                          static_cast<COLOR16>(g2 << 8), static_cast<COLOR16>(b2 << 8), 0xFF00}};
    GRADIENT_RECT grc = {0, 1};
    if (!plat::GradientFill(hPaintDC, triv, 2, &grc, 1,
                            bVertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H)) {
        // Without a gradient fill: solid bands, more of them for more steps.
        int nShift = 1;
        if (nSteps >= 64)
            nShift = 6;
        else if (nSteps >= 32)
            nShift = 5;
        else if (nSteps >= 16)
            nShift = 4;
        else if (nSteps >= 8)
            nShift = 3;
        else if (nSteps >= 4)
            nShift = 2;
        int nLines = 1 << nShift;
        for (int i = 0; i < nLines; ++i) {
            DWORD r = (r1 * (nLines - i) + r2 * i) >> nShift;
            DWORD g = (g1 * (nLines - i) + g2 * i) >> nShift;
            DWORD b = (b1 * (nLines - i) + b2 * i) >> nShift;
            RECT band = rcPaint;
            if (bVertical) {
                band.top = rcPaint.top + (cy * i >> nShift);
                band.bottom = rcPaint.top + (cy * (i + 1) >> nShift);
            } else {
                band.left = rcPaint.left + (cx * i >> nShift);
                band.right = rcPaint.left + (cx * (i + 1) >> nShift);
            }
            if (band.right > band.left && band.bottom > band.top)
                plat::FillRectAlpha(hPaintDC, &band, 0xFF000000 | (r << 16) | (g << 8) | b);
        }
    }
    if (bAlpha < 255) {
        BLENDFUNCTION bf = {AC_SRC_OVER, 0, bAlpha, AC_SRC_ALPHA};
        plat::AlphaBlend(hDC, rc.left, rc.top, cx, cy, hPaintDC, 0, 0, cx, cy, bf);
        plat::SelectObject(hPaintDC, hOldPaintBitmap);
        plat::DeleteObject(hPaintBitmap);
        plat::DeleteDC(hPaintDC);
    }
}

namespace {

COLORREF ToColorRef(DWORD argb) {
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

} // namespace

void CRenderEngine::DrawLine(HDC hDC, const RECT& rc, int nSize, DWORD dwPenColor, int nStyle) {
    if (!hDC)
        return;
    HPEN hPen = plat::CreatePen(nStyle, nSize, ToColorRef(dwPenColor));
    if (!hPen)
        return;
    HGDIOBJ hOldPen = plat::SelectObject(hDC, hPen);
    POINT ptTemp{0, 0};
    plat::MoveToEx(hDC, rc.left, rc.top, &ptTemp);
    plat::LineTo(hDC, rc.right, rc.bottom);
    plat::SelectObject(hDC, hOldPen);
    plat::DeleteObject(hPen);
}

void CRenderEngine::DrawRect(HDC hDC, const RECT& rc, int nSize, DWORD dwPenColor) {
    if (!hDC)
        return;
    HPEN hPen = plat::CreatePen(PS_SOLID | PS_INSIDEFRAME, nSize, ToColorRef(dwPenColor));
    if (!hPen)
        return;
    HGDIOBJ hOldPen = plat::SelectObject(hDC, hPen);
    HGDIOBJ hOldBrush = plat::SelectObject(hDC, plat::GetStockObject(HOLLOW_BRUSH));
    plat::Rectangle(hDC, rc.left, rc.top, rc.right, rc.bottom);
    plat::SelectObject(hDC, hOldBrush);
    plat::SelectObject(hDC, hOldPen);
    plat::DeleteObject(hPen);
}

void CRenderEngine::DrawRoundRect(HDC hDC, const RECT& rc, int width, int height, int nSize,
                                  DWORD dwPenColor) {
    if (!hDC)
        return;
    HPEN hPen = plat::CreatePen(PS_SOLID | PS_INSIDEFRAME, nSize, ToColorRef(dwPenColor));
    if (!hPen)
        return;
    HGDIOBJ hOldPen = plat::SelectObject(hDC, hPen);
    HGDIOBJ hOldBrush = plat::SelectObject(hDC, plat::GetStockObject(HOLLOW_BRUSH));
    plat::RoundRect(hDC, rc.left, rc.top, rc.right, rc.bottom, width, height);
    plat::SelectObject(hDC, hOldBrush);
    plat::SelectObject(hDC, hOldPen);
    plat::DeleteObject(hPen);
}

/////////////////////////////////////////////////////////////////////////////
// 7. Text

void CRenderEngine::DrawText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, LPCTSTR pstrText,
                             DWORD dwTextColor, int iFont, UINT uStyle) {
    if (!hDC || !pManager || !pstrText)
        return;
    if (pManager->IsBackgroundTransparent() || pManager->IsUseGdiplusText()) {
        HFONT hFont = pManager->GetFont(iFont);
        if (uStyle & DT_CALCRECT) {
            double w = 0, h = 0;
            if (plat::MeasureTextSmooth(hDC, pstrText, -1, hFont, &rc, uStyle & ~DT_CALCRECT, &w,
                                        &h)) {
                rc.right = rc.left + static_cast<LONG>(w) + 1;
                rc.bottom = rc.top + static_cast<LONG>(h) + 1;
            }
            return;
        }
        DWORD argb = 0xFE000000 | (dwTextColor & 0x00FFFFFF);
        plat::DrawTextSmooth(hDC, pstrText, -1, hFont, &rc, argb, uStyle);
        return;
    }
    plat::SetBkMode(hDC, TRANSPARENT);
    plat::SetTextColor(hDC, ToColorRef(dwTextColor));
    HGDIOBJ hOldFont = plat::SelectObject(hDC, pManager->GetFont(iFont));
    plat::DrawText(hDC, pstrText, -1, &rc, uStyle | DT_NOPREFIX);
    if (hOldFont)
        plat::SelectObject(hDC, hOldFont);
}

void CRenderEngine::DrawHtmlText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, LPCTSTR pstrText,
                                 DWORD dwTextColor, RECT*, CStdString*, int& nLinkRects,
                                 UINT uStyle, int iFont) {
    nLinkRects = 0;
    DrawText(hDC, pManager, rc, pstrText, dwTextColor, iFont, uStyle);
}

SIZE CRenderEngine::GetTextSize(HDC hDC, CPaintManagerUI* pManager, LPCTSTR pstrText, int iFont,
                                UINT) {
    SIZE size = {0, 0};
    if (!hDC || !pManager || !pstrText)
        return size;
    HGDIOBJ hOldFont = plat::SelectObject(hDC, pManager->GetFont(iFont));
    plat::GetTextExtentPoint32(hDC, pstrText, static_cast<int>(wcslen(pstrText)), &size);
    if (hOldFont)
        plat::SelectObject(hDC, hOldFont);
    return size;
}

/////////////////////////////////////////////////////////////////////////////
// 8. Layered painting helpers

namespace {

bool ClampRows(int bitsWidth, PRECT rc, RECT& out) {
    if (!rc || bitsWidth <= 0)
        return false;
    out = *rc;
    out.left = std::max<LONG>(out.left, 0);
    out.top = std::max<LONG>(out.top, 0);
    out.right = std::min<LONG>(out.right, bitsWidth);
    return out.right > out.left && out.bottom > out.top;
}

} // namespace

void CRenderEngine::ClearAlphaPixel(LPBYTE pBits, int bitsWidth, PRECT rc) {
    RECT r;
    if (!pBits || !ClampRows(bitsWidth, rc, r))
        return;
    for (LONG i = r.top; i < r.bottom; ++i) {
        BYTE* row = pBits + (static_cast<size_t>(i) * bitsWidth + r.left) * 4;
        memset(row, 0, static_cast<size_t>(r.right - r.left) * 4);
    }
}

void CRenderEngine::RestoreAlphaColor(LPBYTE pBits, int bitsWidth, PRECT rc) {
    RECT r;
    if (!pBits || !ClampRows(bitsWidth, rc, r))
        return;
    for (LONG i = r.top; i < r.bottom; ++i) {
        for (LONG j = r.left; j < r.right; ++j) {
            BYTE* px = pBits + (static_cast<size_t>(i) * bitsWidth + j) * 4;
            if (px[3] == 0 && (px[0] != 0 || px[1] != 0 || px[2] != 0))
                px[3] = 255;
        }
    }
}

} // namespace Veneer
