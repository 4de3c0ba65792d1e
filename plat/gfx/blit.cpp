// Pixel operations: BitBlt, StretchBlt (nearest and area-averaging),
// PatBlt, AlphaBlend, GradientFill, FillRect and alpha fills. All of them
// work on the premultiplied pixels directly and visit only the rectangles
// the DC's clip region leaves.
#include "plat/gfx/gdi_internal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plat {
namespace gfx {
namespace {

// A copy of a block of source pixels, taken before drawing so that a DC can
// blit from its own bitmap.
struct SourceBlock {
    int x0 = 0, y0 = 0, w = 0, h = 0; // in source bitmap coordinates
    std::vector<DWORD> px;
    DWORD at(int x, int y) const { return px[size_t(y - y0) * w + (x - x0)]; }
};

SourceBlock copyBlock(Bitmap* bm, const RECT& r) {
    SourceBlock b;
    b.x0 = r.left;
    b.y0 = r.top;
    b.w = r.right - r.left;
    b.h = r.bottom - r.top;
    b.px.resize(size_t(b.w) * b.h);
    PixelAccess access(bm, false);
    for (int y = 0; y < b.h; ++y)
        std::memcpy(&b.px[size_t(y) * b.w], bm->row(r.top + y) + r.left, size_t(b.w) * 4);
    return b;
}

// How destination pixels draw from source pixels along one axis: for
// destination index i (from <= i < from + first.size()), the source indices
// first[k] .. first[k] + count[k] - 1 with their weights (summing to 1),
// where k = i - from. Only the indices that can be visible are mapped.
struct AxisMap {
    int64_t from = 0;
    std::vector<int> first;
    std::vector<int> count;
    std::vector<std::vector<double>> weight;
};

// Maps destination indices [from, to) of a block of n pixels onto the
// source interval [s0, s0 + sn). With averaging each destination pixel
// takes the area-weighted mean of the source pixels it covers (a pixel
// enlarged onto whole destination pixels is copied); otherwise the source
// pixel under its centre. Source indices are kept within [lo, hi).
AxisMap mapAxis(int64_t n, int s0, int sn, bool averaging, int lo, int hi, int64_t from,
                int64_t to) {
    AxisMap m;
    m.from = from;
    const size_t len = size_t(std::max<int64_t>(0, to - from));
    m.first.resize(len);
    m.count.resize(len);
    m.weight.resize(len);
    const double scale = double(sn) / double(n);
    for (size_t k = 0; k < len; ++k) {
        const double i = double(from + int64_t(k));
        const double a = s0 + i * scale, b = s0 + (i + 1) * scale;
        const int ia = int(std::floor(a)), ib = int(std::ceil(b)); // covers [ia, ib)
        if (!averaging || ib - ia <= 1) {
            int s = std::clamp(int(std::floor(s0 + (i + 0.5) * scale)), lo, hi - 1);
            m.first[k] = s;
            m.count[k] = 1;
            m.weight[k] = {1.0};
            continue;
        }
        const int first = std::clamp(ia, lo, hi - 1);
        const int last = std::clamp(ib - 1, lo, hi - 1);
        std::vector<double> w(size_t(last - first + 1), 0.0);
        for (int sIdx = ia; sIdx < ib; ++sIdx) {
            double cover = std::min(b, double(sIdx + 1)) - std::max(a, double(sIdx));
            if (cover > 0)
                w[size_t(std::clamp(sIdx, lo, hi - 1) - first)] += cover / scale;
        }
        m.first[k] = first;
        m.count[k] = last - first + 1;
        m.weight[k] = std::move(w);
    }
    return m;
}

DWORD sample(const SourceBlock& src, const AxisMap& mx, const AxisMap& my, int64_t i, int64_t j) {
    const size_t u0 = size_t(i - mx.from), v0 = size_t(j - my.from);
    if (mx.count[u0] == 1 && my.count[v0] == 1)
        return src.at(mx.first[u0], my.first[v0]);
    double acc[4] = {0, 0, 0, 0};
    for (int v = 0; v < my.count[v0]; ++v) {
        double wy = my.weight[v0][size_t(v)];
        if (wy == 0)
            continue;
        for (int u = 0; u < mx.count[u0]; ++u) {
            double w = wy * mx.weight[u0][size_t(u)];
            if (w == 0)
                continue;
            DWORD p = src.at(mx.first[u0] + u, my.first[v0] + v);
            acc[0] += w * (p & 0xFF);
            acc[1] += w * ((p >> 8) & 0xFF);
            acc[2] += w * ((p >> 16) & 0xFF);
            acc[3] += w * (p >> 24);
        }
    }
    DWORD r = 0;
    for (int c = 0; c < 4; ++c) {
        int v = int(acc[c] + 0.5);
        r |= DWORD(std::clamp(v, 0, 255)) << (8 * c);
    }
    return r;
}

// The destination pixels of the block at (x, y, cx, cy) that can be drawn
// at all (within the target), as offsets in the block: [i0, i1) x [j0, j1).
struct Visible {
    int64_t i0, i1, j0, j1;
};
Visible visibleOf(const Bitmap& bm, int64_t x, int64_t y, int64_t cx, int64_t cy) {
    Visible v;
    v.i0 = std::max<int64_t>(0, -x);
    v.i1 = std::max(v.i0, std::min<int64_t>(cx, bm.width - x));
    v.j0 = std::max<int64_t>(0, -y);
    v.j1 = std::max(v.j0, std::min<int64_t>(cy, bm.height - y));
    return v;
}

// Calls fn(pixel, i, j) for every destination pixel of the block at
// (x, y, cx, cy) that the DC may draw, with (i, j) its offset in the block.
template <class Fn> void forBlock(Dc& dc, int64_t x, int64_t y, int64_t cx, int64_t cy, Fn fn) {
    RECT area = clampRect(x, y, x + cx, y + cy);
    Bitmap* bm = dc.state.bitmap.get();
    for (const RECT& r : drawRects(dc, area))
        for (int py = r.top; py < r.bottom; ++py) {
            DWORD* row = bm->row(py);
            for (int px = r.left; px < r.right; ++px)
                fn(row[px], int64_t(px) - x, int64_t(py) - y);
        }
}

void fillSolid(Dc& dc, const RECT& rc, DWORD pixel, bool blend) {
    Bitmap* bm = dc.state.bitmap.get();
    if (!bm)
        return;
    PixelAccess access(bm, true);
    for (const RECT& r : drawRects(dc, rc))
        for (int py = r.top; py < r.bottom; ++py) {
            DWORD* row = bm->row(py);
            if (blend)
                for (int px = r.left; px < r.right; ++px)
                    row[px] = over(pixel, row[px]);
            else
                std::fill(row + r.left, row + r.right, pixel);
        }
}

} // namespace

// Shared with shapes.cpp: fills a rectangle with an opaque colour.
void fillOpaque(Dc& dc, const RECT& rc, COLORREF color) {
    fillSolid(dc, rc, opaquePixel(color), false);
}

} // namespace gfx

using namespace gfx;

BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1, DWORD rop) {
    auto d = findDc(dst);
    if (!d || !d->state.bitmap || cx < 0 || cy < 0)
        return FALSE;
    if (rop == BLACKNESS || rop == WHITENESS || rop == PATCOPY)
        return PatBlt(dst, x, y, cx, cy, rop);
    if (rop != SRCCOPY)
        return FALSE;
    auto s = findDc(src);
    if (!s || !s->state.bitmap)
        return FALSE;
    Bitmap* sb = s->state.bitmap.get();
    // The part of the source block that exists.
    const RECT want = clampRect(x1, y1, int64_t(x1) + cx, int64_t(y1) + cy);
    const RECT source{0, 0, sb->width, sb->height};
    RECT have;
    if (!IntersectRect(&have, &want, &source))
        return TRUE;
    const int64_t dx = int64_t(x) - x1, dy = int64_t(y) - y1;
    Bitmap* db = d->state.bitmap.get();
    RECT area = clampRect(have.left + dx, have.top + dy, have.right + dx, have.bottom + dy);
    if (sb != db) {
        // Straight from the source rows: no copy of the block is needed.
        PixelAccess from(sb, false);
        PixelAccess access(db, true);
        for (const RECT& r : drawRects(*d, area))
            for (int py = r.top; py < r.bottom; ++py)
                std::memcpy(db->row(py) + r.left, sb->row(int(py - dy)) + (r.left - dx),
                            size_t(r.right - r.left) * 4);
        return TRUE;
    }
    // Within one bitmap the block is copied first, as the areas may overlap.
    SourceBlock block = copyBlock(sb, have);
    PixelAccess access(db, true);
    for (const RECT& r : drawRects(*d, area))
        for (int py = r.top; py < r.bottom; ++py)
            std::memcpy(db->row(py) + r.left,
                        &block.px[size_t(py - dy - block.y0) * block.w + (r.left - dx - block.x0)],
                        size_t(r.right - r.left) * 4);
    return TRUE;
}

BOOL StretchBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int xs, int ys, int cxs, int cys,
                DWORD rop) {
    auto d = findDc(dst);
    auto s = findDc(src);
    if (!d || !s || !d->state.bitmap || !s->state.bitmap || rop != SRCCOPY)
        return FALSE;
    if (cx < 0 || cy < 0 || cxs < 0 || cys < 0)
        return FALSE;
    if (cx == 0 || cy == 0 || cxs == 0 || cys == 0)
        return TRUE;
    if (cx == cxs && cy == cys)
        return BitBlt(dst, x, y, cx, cy, src, xs, ys, SRCCOPY);
    Bitmap* sb = s->state.bitmap.get();
    const RECT want = clampRect(xs, ys, int64_t(xs) + cxs, int64_t(ys) + cys);
    const RECT source{0, 0, sb->width, sb->height};
    RECT have;
    if (!IntersectRect(&have, &want, &source))
        return TRUE;
    SourceBlock block = copyBlock(sb, have);
    const bool avg = d->state.stretchMode == HALFTONE;
    const Visible vis = visibleOf(*d->state.bitmap, x, y, cx, cy);
    AxisMap mx = mapAxis(cx, xs, cxs, avg, have.left, have.right, vis.i0, vis.i1);
    AxisMap my = mapAxis(cy, ys, cys, avg, have.top, have.bottom, vis.j0, vis.j1);
    PixelAccess access(d->state.bitmap.get(), true);
    forBlock(*d, x, y, cx, cy,
             [&](DWORD& px, int64_t i, int64_t j) { px = sample(block, mx, my, i, j); });
    return TRUE;
}

BOOL PatBlt(HDC hdc, int x, int y, int cx, int cy, DWORD rop) {
    auto dc = findDc(hdc);
    if (!dc || !dc->state.bitmap)
        return FALSE;
    // Negative sizes extend to the left or up, as in Win32.
    const int64_t x2 = int64_t(x) + cx, y2 = int64_t(y) + cy;
    RECT rc = clampRect(std::min<int64_t>(x, x2), std::min<int64_t>(y, y2),
                        std::max<int64_t>(x, x2), std::max<int64_t>(y, y2));
    switch (rop) {
    case BLACKNESS:
        fillOpaque(*dc, rc, 0);
        return TRUE;
    case WHITENESS:
        fillOpaque(*dc, rc, 0xFFFFFF);
        return TRUE;
    case PATCOPY:
        if (dc->state.brush && dc->state.brush->style == BS_SOLID)
            fillOpaque(*dc, rc, dc->state.brush->color);
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL AlphaBlend(HDC dst, int x, int y, int cx, int cy, HDC src, int xs, int ys, int cxs, int cys,
                BLENDFUNCTION blend) {
    auto d = findDc(dst);
    auto s = findDc(src);
    if (!d || !s || !d->state.bitmap || !s->state.bitmap || blend.BlendOp != AC_SRC_OVER)
        return FALSE;
    if (cx < 0 || cy < 0 || cxs < 0 || cys < 0)
        return FALSE;
    Bitmap* sb = s->state.bitmap.get();
    if (xs < 0 || ys < 0 || int64_t(xs) + cxs > sb->width || int64_t(ys) + cys > sb->height)
        return FALSE;
    if (cx == 0 || cy == 0 || cxs == 0 || cys == 0)
        return TRUE;
    const DWORD k = blend.SourceConstantAlpha;
    if (k == 0)
        return TRUE;
    const bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
    auto blendOne = [&](DWORD p, DWORD& px) {
        if (!perPixel)
            p |= 0xFF000000u;
        px = over(scalePixel(p, k), px);
    };
    Bitmap* db = d->state.bitmap.get();
    if (cx == cxs && cy == cys && sb != db) {
        // Same size from another bitmap: straight from the source rows.
        PixelAccess read(sb, false);
        PixelAccess access(db, true);
        const RECT area = clampRect(x, y, int64_t(x) + cx, int64_t(y) + cy);
        const DWORD alphaBits = perPixel ? 0 : 0xFF000000u;
        for (const RECT& r : drawRects(*d, area))
            for (int py = r.top; py < r.bottom; ++py) {
                DWORD* out = db->row(py);
                const DWORD* in = sb->row(ys + (py - y));
                for (int px = r.left; px < r.right; ++px)
                    out[px] = over(scalePixel(in[xs + (px - x)] | alphaBits, k), out[px]);
            }
        return TRUE;
    }
    SourceBlock block = copyBlock(sb, RECT{xs, ys, xs + cxs, ys + cys});
    const Visible vis = visibleOf(*db, x, y, cx, cy);
    AxisMap mx = mapAxis(cx, xs, cxs, true, xs, xs + cxs, vis.i0, vis.i1);
    AxisMap my = mapAxis(cy, ys, cys, true, ys, ys + cys, vis.j0, vis.j1);
    PixelAccess access(db, true);
    forBlock(*d, x, y, cx, cy,
             [&](DWORD& px, int64_t i, int64_t j) { blendOne(sample(block, mx, my, i, j), px); });
    return TRUE;
}

BOOL GradientFill(HDC hdc, TRIVERTEX* vertices, ULONG nVertices, PVOID mesh, ULONG nMesh,
                  ULONG mode) {
    auto dc = findDc(hdc);
    if (!dc || !dc->state.bitmap || !vertices || !mesh)
        return FALSE;
    if (mode != GRADIENT_FILL_RECT_H && mode != GRADIENT_FILL_RECT_V)
        return FALSE;
    const auto* rects = static_cast<const GRADIENT_RECT*>(mesh);
    for (ULONG m = 0; m < nMesh; ++m)
        if (rects[m].UpperLeft >= nVertices || rects[m].LowerRight >= nVertices)
            return FALSE;
    PixelAccess access(dc->state.bitmap.get(), true);
    for (ULONG m = 0; m < nMesh; ++m) {
        const TRIVERTEX& a = vertices[rects[m].UpperLeft];
        const TRIVERTEX& b = vertices[rects[m].LowerRight];
        const int64_t l = std::min(a.x, b.x), r = std::max(a.x, b.x);
        const int64_t t = std::min(a.y, b.y), btm = std::max(a.y, b.y);
        const bool horiz = mode == GRADIENT_FILL_RECT_H;
        // The colour runs from the upper-left vertex to the lower-right one.
        const TRIVERTEX& from = (horiz ? a.x <= b.x : a.y <= b.y) ? a : b;
        const TRIVERTEX& to = &from == &a ? b : a;
        const int64_t span = horiz ? r - l : btm - t;
        if (span <= 0)
            continue;
        auto channel = [&](int c0, int c1, int64_t pos) {
            // 16-bit interpolation, then the high byte.
            return DWORD((c0 + int64_t(c1 - c0) * pos / span) >> 8) & 0xFF;
        };
        forBlock(*dc, l, t, r - l, btm - t, [&](DWORD& px, int64_t i, int64_t j) {
            const int64_t pos = horiz ? i : j;
            DWORD al = channel(from.Alpha, to.Alpha, pos);
            DWORD rr = channel(from.Red, to.Red, pos);
            DWORD gg = channel(from.Green, to.Green, pos);
            DWORD bb = channel(from.Blue, to.Blue, pos);
            // Stored premultiplied, like every pixel of a bitmap.
            px = (al << 24) | (mul255(rr, al) << 16) | (mul255(gg, al) << 8) | mul255(bb, al);
        });
    }
    return TRUE;
}

int FillRect(HDC hdc, const RECT* rc, HBRUSH brush) {
    auto dc = findDc(hdc);
    auto br = find<Brush>(brush, OBJ_BRUSH);
    if (!dc || !rc || !br || !dc->state.bitmap)
        return 0;
    if (br->style == BS_SOLID)
        fillOpaque(*dc, *rc, br->color);
    return 1;
}

BOOL FillRectAlpha(HDC hdc, const RECT* rc, DWORD argb) {
    auto dc = findDc(hdc);
    if (!dc || !rc || !dc->state.bitmap)
        return FALSE;
    const DWORD a = argb >> 24;
    if (a == 0)
        return TRUE;
    DWORD p = (a << 24) | (mul255((argb >> 16) & 0xFF, a) << 16) |
              (mul255((argb >> 8) & 0xFF, a) << 8) | mul255(argb & 0xFF, a);
    fillSolid(*dc, *rc, p, a != 255);
    return TRUE;
}

} // namespace plat
