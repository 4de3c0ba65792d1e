// Pens and shapes: Rectangle, RoundRect, MoveToEx and LineTo. Shapes are
// drawn as whole pixels (no anti-aliasing), clipped by the DC.
#include "plat/gfx/gdi_internal.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace plat {
namespace gfx {

void fillOpaque(Dc& dc, const RECT& rc, COLORREF color); // blit.cpp

namespace {

// Paints horizontal spans of one colour within the DC's drawable area.
class SpanPainter {
public:
    explicit SpanPainter(Dc& dc) : m_bm(dc.state.bitmap.get()), m_access(m_bm, true) {
        if (m_bm)
            m_rects = drawRects(dc, RECT{0, 0, m_bm->width, m_bm->height});
    }
    void span(int y, int x0, int x1, DWORD pixel) {
        if (x1 <= x0)
            return;
        for (const RECT& r : m_rects) {
            if (y < r.top || y >= r.bottom)
                continue;
            int a = std::max<int>(x0, r.left), b = std::min<int>(x1, r.right);
            if (a < b)
                std::fill(m_bm->row(y) + a, m_bm->row(y) + b, pixel);
        }
    }
    void rect(const RECT& r, DWORD pixel) {
        if (!m_bm)
            return;
        const int y0 = std::max<int>(r.top, 0), y1 = std::min<int>(r.bottom, m_bm->height);
        for (int y = y0; y < y1; ++y)
            span(y, r.left, r.right, pixel);
    }
    int height() const { return m_bm ? m_bm->height : 0; }
    int width() const { return m_bm ? m_bm->width : 0; }
    void pixel(int x, int y, DWORD p) { span(y, x, x + 1, p); }

private:
    Bitmap* m_bm;
    PixelAccess m_access;
    std::vector<RECT> m_rects;
};

// On/off run lengths of the styled one-pixel pens.
std::vector<int> dashPattern(int style) {
    switch (style) {
    case PS_DASH:
        return {18, 6};
    case PS_DOT:
        return {3, 3};
    case PS_DASHDOT:
        return {9, 6, 3, 6};
    case PS_DASHDOTDOT:
        return {9, 3, 3, 3, 3, 3};
    default:
        return {};
    }
}

// Tracks the position in a dash pattern across the segments of one figure.
struct Dasher {
    std::vector<int> pattern;
    size_t index = 0;
    int left = 0;
    explicit Dasher(int style) : pattern(dashPattern(style)) {
        if (!pattern.empty())
            left = pattern[0];
    }
    bool next() { // whether the current pixel is drawn; then advances
        if (pattern.empty())
            return true;
        bool on = index % 2 == 0;
        if (--left == 0) {
            index = (index + 1) % pattern.size();
            left = pattern[index];
        }
        return on;
    }
};

// Cuts the segment to the box [lo, hi] x [lo, hi] (Liang-Barsky); false
// when nothing of it is inside.
bool clipSegment(double& x0, double& y0, double& x1, double& y1, double lo, double hi) {
    double t0 = 0, t1 = 1;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - lo, hi - x0, y0 - lo, hi - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    double nx0 = x0 + t0 * dx, ny0 = y0 + t0 * dy;
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = nx0;
    y0 = ny0;
    return true;
}

// Brings a line that reaches far outside the target back to a range that
// is cheap to walk. Lines within +-65536 are left exactly as they are.
bool shortenLine(int& x0, int& y0, int& x1, int& y1) {
    const int far = 65536;
    if (std::abs(x0) <= far && std::abs(y0) <= far && std::abs(x1) <= far && std::abs(y1) <= far)
        return true;
    double a = x0, b = y0, c = x1, d = y1;
    if (!clipSegment(a, b, c, d, -4096.0, 32767.0 + 4096.0))
        return false;
    x0 = int(std::lround(a));
    y0 = int(std::lround(b));
    x1 = int(std::lround(c));
    y1 = int(std::lround(d));
    return true;
}

// A one-pixel line from (x0, y0) to (x1, y1), end excluded (Bresenham).
void thinLine(SpanPainter& sp, int x0, int y0, int x1, int y1, DWORD pixel, Dasher& dash) {
    if (!shortenLine(x0, y0, x1, y1))
        return;
    int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    int x = x0, y = y0;
    while (x != x1 || y != y1) {
        if (dash.next())
            sp.pixel(x, y, pixel);
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

// A line of width w > 1, end excluded: axis-aligned lines are exact bands
// [c - w/2, c - w/2 + w) across the line; others go through cairo without
// anti-aliasing.
void wideLine(Dc& dc, SpanPainter& sp, int x0, int y0, int x1, int y1, int w, COLORREF color) {
    const DWORD pixel = opaquePixel(color);
    if (y0 == y1) {
        RECT r{std::min(x0, x1), y0 - w / 2, std::max(x0, x1), y0 - w / 2 + w};
        if (x1 < x0) // the end point is excluded on either side
            r = RECT{x1 + 1, r.top, x0 + 1, r.bottom};
        sp.rect(r, pixel);
        return;
    }
    if (x0 == x1) {
        RECT r{x0 - w / 2, std::min(y0, y1), x0 - w / 2 + w, std::max(y0, y1)};
        if (y1 < y0)
            r = RECT{r.left, y1 + 1, r.right, y0 + 1};
        sp.rect(r, pixel);
        return;
    }
    if (!shortenLine(x0, y0, x1, y1))
        return;
    Bitmap* bm = dc.state.bitmap.get();
    cairo_region_t* clip = drawRegion(dc, nullptr);
    cairo_surface_flush(bm->surface);
    cairo_t* cr = cairo_create(bm->surface);
    clipCairo(cr, clip);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_source_rgb(cr, (color & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0,
                         ((color >> 16) & 0xFF) / 255.0);
    cairo_set_line_width(cr, w);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_move_to(cr, x0 + 0.5, y0 + 0.5);
    cairo_line_to(cr, x1 + 0.5, y1 + 0.5);
    cairo_stroke(cr);
    cairo_destroy(cr);
    cairo_region_destroy(clip);
    cairo_surface_mark_dirty(bm->surface);
}

// The outer edge of a pen of width w around the shape (left .. right - 1,
// top .. bottom - 1): centred on the outline, or inside it for
// PS_INSIDEFRAME.
RECT penOuter(const Pen& pen, int l, int t, int r, int b) {
    const int w = pen.width;
    if (pen.style == PS_INSIDEFRAME || w == 1)
        return RECT{l, t, r, b};
    return RECT{l - w / 2, t - w / 2, r - 1 - w / 2 + w, b - 1 - w / 2 + w};
}

void normalise(int& l, int& t, int& r, int& b) {
    RECT c = clampRect(l, t, r, b);
    l = std::min(c.left, c.right);
    r = std::max(c.left, c.right);
    t = std::min(c.top, c.bottom);
    b = std::max(c.top, c.bottom);
}

} // namespace
} // namespace gfx

using namespace gfx;

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    auto dc = findDc(hdc);
    if (!dc || !dc->state.bitmap)
        return FALSE;
    normalise(left, top, right, bottom);
    if (right == left || bottom == top)
        return TRUE;
    const Pen& pen = *dc->state.pen;
    const Brush& brush = *dc->state.brush;
    SpanPainter sp(*dc);
    if (pen.style == PS_NULL) {
        if (brush.style == BS_SOLID)
            sp.rect(RECT{left, top, right, bottom}, opaquePixel(brush.color));
        return TRUE;
    }
    const int w = pen.width;
    RECT outer = penOuter(pen, left, top, right, bottom);
    RECT inner{outer.left + w, outer.top + w, outer.right - w, outer.bottom - w};
    if (brush.style == BS_SOLID && !IsRectEmpty(&inner))
        sp.rect(inner, opaquePixel(brush.color));
    const DWORD pp = opaquePixel(pen.color);
    if (w == 1 && pen.style != PS_SOLID && pen.style != PS_INSIDEFRAME) {
        Dasher dash(pen.style);
        const int r = right - 1, b = bottom - 1;
        thinLine(sp, left, top, r, top, pp, dash);
        thinLine(sp, r, top, r, b, pp, dash);
        thinLine(sp, r, b, left, b, pp, dash);
        thinLine(sp, left, b, left, top, pp, dash);
        if (r == left || b == top) // degenerate: the walk never returns to the start
            sp.pixel(left, top, pp);
        return TRUE;
    }
    // Four bands: top, bottom, then the sides between them.
    int bandT = std::min<int>(outer.top + w, outer.bottom);
    int bandB = std::max<int>(outer.bottom - w, bandT);
    sp.rect(RECT{outer.left, outer.top, outer.right, bandT}, pp);
    sp.rect(RECT{outer.left, bandB, outer.right, outer.bottom}, pp);
    sp.rect(RECT{outer.left, bandT, std::min<int>(outer.left + w, outer.right), bandB}, pp);
    sp.rect(RECT{std::max<int>(outer.right - w, outer.left), bandT, outer.right, bandB}, pp);
    return TRUE;
}

BOOL RoundRect(HDC hdc, int left, int top, int right, int bottom, int width, int height) {
    auto dc = findDc(hdc);
    if (!dc || !dc->state.bitmap)
        return FALSE;
    normalise(left, top, right, bottom);
    if (right == left || bottom == top)
        return TRUE;
    const Pen& pen = *dc->state.pen;
    const Brush& brush = *dc->state.brush;
    const bool hasPen = pen.style != PS_NULL;
    const int w = hasPen ? pen.width : 0;
    RECT outer = hasPen ? penOuter(pen, left, top, right, bottom) : RECT{left, top, right, bottom};
    width = int(std::min<int64_t>(std::abs(int64_t(width)), 65536));
    height = int(std::min<int64_t>(std::abs(int64_t(height)), 65536));
    RoundRectShape shape(outer.left, outer.top, outer.right, outer.bottom, width, height);
    // The inside: the rounded rectangle w pixels in, its ellipse 2w smaller.
    RoundRectShape inside(outer.left + w, outer.top + w, outer.right - w, outer.bottom - w,
                          std::max(0, width - 2 * w), std::max(0, height - 2 * w));
    SpanPainter sp(*dc);
    const DWORD bp = opaquePixel(brush.color), pp = opaquePixel(pen.color);
    const int y0 = std::max<int>(shape.top, 0), y1 = std::min<int>(shape.bottom, sp.height());
    for (int y = y0; y < y1; ++y) {
        const RGNROWSPAN s = shape.row(y);
        if (!inside.empty() && y >= inside.top && y < inside.bottom) {
            const RGNROWSPAN in = inside.row(y);
            if (brush.style == BS_SOLID)
                sp.span(y, in.left, in.right, bp);
            if (hasPen) {
                sp.span(y, s.left, std::min(in.left, s.right), pp);
                sp.span(y, std::max(in.right, s.left), s.right, pp);
            }
        } else if (hasPen) {
            sp.span(y, s.left, s.right, pp);
        } else if (brush.style == BS_SOLID) {
            sp.span(y, s.left, s.right, bp);
        }
    }
    return TRUE;
}

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT old) {
    auto dc = findDc(hdc);
    if (!dc)
        return FALSE;
    if (old)
        *old = dc->state.pos;
    dc->state.pos = POINT{clampCoord(x), clampCoord(y)};
    return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
    auto dc = findDc(hdc);
    if (!dc || !dc->state.bitmap)
        return FALSE;
    const POINT from = dc->state.pos;
    x = clampCoord(x);
    y = clampCoord(y);
    dc->state.pos = POINT{x, y};
    const Pen& pen = *dc->state.pen;
    if (pen.style == PS_NULL)
        return TRUE;
    SpanPainter sp(*dc);
    if (pen.width <= 1) {
        Dasher dash(pen.style == PS_INSIDEFRAME ? PS_SOLID : pen.style);
        thinLine(sp, from.x, from.y, x, y, opaquePixel(pen.color), dash);
    } else {
        wideLine(*dc, sp, from.x, from.y, x, y, pen.width, pen.color);
    }
    return TRUE;
}

} // namespace plat
