// Regions (rectangle sets over cairo_region_t) and DC clipping.
#include "plat/gfx/gdi_internal.h"

#include <algorithm>
#include <cmath>

namespace plat {
namespace gfx {

Region::~Region() {
    if (rgn)
        cairo_region_destroy(rgn);
}

static int kindOf(const cairo_region_t* r) {
    int n = cairo_region_num_rectangles(r);
    return n == 0 ? NULLREGION : n == 1 ? SIMPLEREGION : COMPLEXREGION;
}

static cairo_rectangle_int_t toCairo(const RECT& rc) {
    RECT r = clampRect(rc);
    return cairo_rectangle_int_t{r.left, r.top, std::max<int>(0, r.right - r.left),
                                 std::max<int>(0, r.bottom - r.top)};
}

static RECT ordered(int l, int t, int r, int b) {
    RECT c = clampRect(l, t, r, b);
    if (c.left > c.right)
        std::swap(c.left, c.right);
    if (c.top > c.bottom)
        std::swap(c.top, c.bottom);
    return c;
}

constexpr double kEllipseInset = 0.35;

RoundRectShape::RoundRectShape(int l, int t, int r, int b, int width, int height) {
    RECT c = clampRect(l, t, r, b);
    left = c.left;
    top = c.top;
    right = c.right;
    bottom = c.bottom;
    if (empty())
        return;
    const int W = right - left, H = bottom - top;
    // Ellipses are limited to the shape (and to a sane size).
    int ew = int(std::min<int64_t>({std::abs(int64_t(width)), W, 65536}));
    int eh = int(std::min<int64_t>({std::abs(int64_t(height)), H, 65536}));
    if (ew < 2 || eh < 2)
        return;
    // A pixel belongs to the shape when its centre lies inside the corner
    // ellipse drawn a third of a pixel inside the corner box. This gives
    // GDI's small-radius outlines: a 2 x 2 ellipse removes the single corner
    // pixel, a 4 x 4 one cuts rows of 1 and 0 pixels, a 6 x 6 one 2, 1, 0.
    const double rx = ew / 2.0, ry = eh / 2.0;
    const double ex = rx - kEllipseInset, ey = ry - kEllipseInset;
    const int zone = eh / 2, maxInset = ew / 2;
    insets.resize(size_t(zone));
    for (int i = 0; i < zone; ++i) {
        const double dy = ry - (i + 0.5); // from the row's centre to the ellipse's
        int inset = maxInset;
        if (dy < ey) {
            double half = ex * std::sqrt(1.0 - (dy / ey) * (dy / ey));
            // Column x is inside when rx - (x + 0.5) < half.
            inset = std::clamp(int(std::floor(rx - half - 0.5)) + 1, 0, maxInset);
        }
        insets[size_t(i)] = inset;
    }
}

std::vector<RECT> drawRects(const Dc& dc, const RECT& area) {
    std::vector<RECT> out;
    cairo_region_t* r = drawRegion(dc, &area);
    if (!r)
        return out;
    int n = cairo_region_num_rectangles(r);
    out.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        cairo_rectangle_int_t c;
        cairo_region_get_rectangle(r, i, &c);
        out.push_back(RECT{c.x, c.y, c.x + c.width, c.y + c.height});
    }
    cairo_region_destroy(r);
    return out;
}

cairo_region_t* drawRegion(const Dc& dc, const RECT* area) {
    const Bitmap* bm = dc.state.bitmap.get();
    if (!bm)
        return nullptr;
    cairo_rectangle_int_t bounds{0, 0, bm->width, bm->height};
    cairo_region_t* r =
        dc.state.clip ? cairo_region_copy(dc.state.clip) : cairo_region_create_rectangle(&bounds);
    cairo_region_intersect_rectangle(r, &bounds);
    if (area) {
        if (IsRectEmpty(area)) {
            cairo_region_destroy(r);
            return cairo_region_create();
        }
        cairo_rectangle_int_t a = toCairo(*area);
        cairo_region_intersect_rectangle(r, &a);
    }
    return r;
}

void clipCairo(cairo_t* cr, const cairo_region_t* rgn) {
    cairo_new_path(cr);
    int n = cairo_region_num_rectangles(rgn);
    for (int i = 0; i < n; ++i) {
        cairo_rectangle_int_t c;
        cairo_region_get_rectangle(rgn, i, &c);
        cairo_rectangle(cr, c.x, c.y, c.width, c.height);
    }
    cairo_clip(cr);
}

static HRGN newRegion(cairo_region_t* r) {
    if (!r || cairo_region_status(r) != CAIRO_STATUS_SUCCESS) {
        if (r)
            cairo_region_destroy(r);
        return nullptr;
    }
    auto obj = std::make_shared<Region>();
    obj->rgn = r;
    return static_cast<HRGN>(addObject(obj));
}

static cairo_region_t* dcBase(const Dc& dc) {
    if (dc.state.clip)
        return cairo_region_copy(dc.state.clip);
    const Bitmap* bm = dc.state.bitmap.get();
    cairo_rectangle_int_t b{0, 0, bm ? bm->width : 0, bm ? bm->height : 0};
    return cairo_region_create_rectangle(&b);
}

static bool combine(cairo_region_t* dst, const cairo_region_t* other, int mode) {
    switch (mode) {
    case RGN_AND:
        return cairo_region_intersect(dst, other) == CAIRO_STATUS_SUCCESS;
    case RGN_OR:
        return cairo_region_union(dst, other) == CAIRO_STATUS_SUCCESS;
    case RGN_XOR:
        return cairo_region_xor(dst, other) == CAIRO_STATUS_SUCCESS;
    case RGN_DIFF:
        return cairo_region_subtract(dst, other) == CAIRO_STATUS_SUCCESS;
    default:
        return false;
    }
}

static int setClip(Dc& dc, cairo_region_t* r) {
    if (dc.state.clip)
        cairo_region_destroy(dc.state.clip);
    dc.state.clip = r;
    cairo_region_t* eff = drawRegion(dc, nullptr);
    int kind = eff ? kindOf(eff) : ERROR;
    if (eff)
        cairo_region_destroy(eff);
    return kind;
}

} // namespace gfx

using namespace gfx;

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    RECT r = ordered(left, top, right, bottom);
    if (IsRectEmpty(&r))
        return newRegion(cairo_region_create());
    cairo_rectangle_int_t c = toCairo(r);
    return newRegion(cairo_region_create_rectangle(&c));
}

HRGN CreateRectRgnIndirect(const RECT* rc) {
    return rc ? CreateRectRgn(rc->left, rc->top, rc->right, rc->bottom) : nullptr;
}

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int width, int height) {
    RECT r = ordered(left, top, right, bottom);
    RoundRectShape shape(r.left, r.top, r.right - 1, r.bottom - 1, width, height);
    std::vector<cairo_rectangle_int_t> rects;
    auto add = [&](int y0, int y1) { // rows y0 .. y1 - 1, all with the span of y0
        if (y1 <= y0)
            return;
        RGNROWSPAN s = shape.row(y0);
        if (s.right <= s.left)
            return;
        // Rows with the same span merge into one rectangle.
        if (!rects.empty()) {
            cairo_rectangle_int_t& last = rects.back();
            if (last.x == s.left && last.x + last.width == s.right && last.y + last.height == y0) {
                last.height += y1 - y0;
                return;
            }
        }
        rects.push_back(cairo_rectangle_int_t{s.left, y0, s.right - s.left, y1 - y0});
    };
    if (!shape.empty()) {
        const int z = int(shape.insets.size());
        for (int i = 0; i < z; ++i)
            add(shape.top + i, shape.top + i + 1);
        add(shape.top + z, shape.bottom - z);
        for (int i = shape.bottom - z; i < shape.bottom; ++i)
            add(i, i + 1);
    }
    return newRegion(cairo_region_create_rectangles(rects.data(), int(rects.size())));
}

BOOL SetRectRgn(HRGN hrgn, int left, int top, int right, int bottom) {
    auto rg = findRgn(hrgn);
    if (!rg)
        return FALSE;
    RECT r = ordered(left, top, right, bottom);
    cairo_region_t* n;
    if (IsRectEmpty(&r)) {
        n = cairo_region_create();
    } else {
        cairo_rectangle_int_t c = toCairo(r);
        n = cairo_region_create_rectangle(&c);
    }
    cairo_region_destroy(rg->rgn);
    rg->rgn = n;
    return TRUE;
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
    auto d = findRgn(dest);
    auto a = findRgn(src1);
    if (!d || !a || mode < RGN_AND || mode > RGN_COPY)
        return ERROR;
    cairo_region_t* result = cairo_region_copy(a->rgn);
    if (mode != RGN_COPY) {
        auto b = findRgn(src2);
        if (!b || !combine(result, b->rgn, mode)) {
            cairo_region_destroy(result);
            return ERROR;
        }
    }
    cairo_region_destroy(d->rgn);
    d->rgn = result;
    return kindOf(result);
}

BOOL EqualRgn(HRGN a, HRGN b) {
    auto ra = findRgn(a);
    auto rb = findRgn(b);
    if (!ra || !rb)
        return FALSE;
    return cairo_region_equal(ra->rgn, rb->rgn) ? TRUE : FALSE;
}

int OffsetRgn(HRGN hrgn, int dx, int dy) {
    auto rg = findRgn(hrgn);
    if (!rg)
        return ERROR;
    cairo_region_translate(rg->rgn, clampCoord(dx), clampCoord(dy));
    return kindOf(rg->rgn);
}

int GetRgnBox(HRGN hrgn, LPRECT rc) {
    auto rg = findRgn(hrgn);
    if (!rg || !rc)
        return ERROR;
    if (cairo_region_is_empty(rg->rgn)) {
        *rc = RECT{0, 0, 0, 0};
        return NULLREGION;
    }
    cairo_rectangle_int_t c;
    cairo_region_get_extents(rg->rgn, &c);
    *rc = RECT{c.x, c.y, c.x + c.width, c.y + c.height};
    return kindOf(rg->rgn);
}

BOOL PtInRegion(HRGN hrgn, int x, int y) {
    auto rg = findRgn(hrgn);
    return rg && cairo_region_contains_point(rg->rgn, x, y) ? TRUE : FALSE;
}

BOOL RectInRegion(HRGN hrgn, const RECT* rc) {
    auto rg = findRgn(hrgn);
    if (!rg || !rc)
        return FALSE;
    RECT r = ordered(rc->left, rc->top, rc->right, rc->bottom);
    if (IsRectEmpty(&r))
        return FALSE;
    cairo_rectangle_int_t c = toCairo(r);
    return cairo_region_contains_rectangle(rg->rgn, &c) != CAIRO_REGION_OVERLAP_OUT ? TRUE : FALSE;
}

BOOL GetRgnRowSpans(HRGN hrgn, int top, int count, RGNROWSPAN* spans) {
    auto rg = findRgn(hrgn);
    if (!rg || count < 0 || (count > 0 && !spans))
        return FALSE;
    for (int i = 0; i < count; ++i)
        spans[i] = RGNROWSPAN{0, 0};
    int n = cairo_region_num_rectangles(rg->rgn);
    for (int k = 0; k < n; ++k) {
        cairo_rectangle_int_t c;
        cairo_region_get_rectangle(rg->rgn, k, &c);
        int y0 = std::max(c.y, top), y1 = std::min(c.y + c.height, top + count);
        for (int y = y0; y < y1; ++y) {
            RGNROWSPAN& s = spans[y - top];
            if (s.left == s.right) {
                s = RGNROWSPAN{c.x, c.x + c.width};
            } else {
                s.left = std::min<LONG>(s.left, c.x);
                s.right = std::max<LONG>(s.right, c.x + c.width);
            }
        }
    }
    return TRUE;
}

BOOL GetRgnRects(HRGN hrgn, std::vector<RECT>* rects) {
    auto rg = findRgn(hrgn);
    if (!rg || !rects)
        return FALSE;
    rects->clear();
    int n = cairo_region_num_rectangles(rg->rgn);
    for (int k = 0; k < n; ++k) {
        cairo_rectangle_int_t c;
        cairo_region_get_rectangle(rg->rgn, k, &c);
        rects->push_back(RECT{c.x, c.y, c.x + c.width, c.y + c.height});
    }
    return TRUE;
}

int SelectClipRgn(HDC hdc, HRGN hrgn) {
    return ExtSelectClipRgn(hdc, hrgn, RGN_COPY);
}

int ExtSelectClipRgn(HDC hdc, HRGN hrgn, int mode) {
    auto dc = findDc(hdc);
    if (!dc || mode < RGN_AND || mode > RGN_COPY)
        return ERROR;
    if (!hrgn) {
        if (mode != RGN_COPY)
            return ERROR;
        return setClip(*dc, nullptr);
    }
    auto rg = findRgn(hrgn);
    if (!rg)
        return ERROR;
    if (mode == RGN_COPY)
        return setClip(*dc, cairo_region_copy(rg->rgn));
    cairo_region_t* base = dcBase(*dc);
    if (!combine(base, rg->rgn, mode)) {
        cairo_region_destroy(base);
        return ERROR;
    }
    return setClip(*dc, base);
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
    auto dc = findDc(hdc);
    if (!dc)
        return ERROR;
    cairo_region_t* base = dcBase(*dc);
    RECT r = ordered(left, top, right, bottom);
    if (IsRectEmpty(&r)) {
        cairo_region_destroy(base);
        return setClip(*dc, cairo_region_create());
    }
    cairo_rectangle_int_t c = toCairo(r);
    cairo_region_intersect_rectangle(base, &c);
    return setClip(*dc, base);
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
    auto dc = findDc(hdc);
    if (!dc)
        return ERROR;
    cairo_region_t* base = dcBase(*dc);
    RECT r = ordered(left, top, right, bottom);
    if (!IsRectEmpty(&r)) {
        cairo_rectangle_int_t c = toCairo(r);
        cairo_region_subtract_rectangle(base, &c);
    }
    return setClip(*dc, base);
}

int GetClipBox(HDC hdc, LPRECT rc) {
    auto dc = findDc(hdc);
    if (!dc || !rc)
        return ERROR;
    cairo_region_t* eff = drawRegion(*dc, nullptr);
    if (!eff)
        return ERROR;
    int kind = kindOf(eff);
    if (kind == NULLREGION) {
        *rc = RECT{0, 0, 0, 0};
    } else {
        cairo_rectangle_int_t c;
        cairo_region_get_extents(eff, &c);
        *rc = RECT{c.x, c.y, c.x + c.width, c.y + c.height};
    }
    cairo_region_destroy(eff);
    return kind;
}

int GetClipRgn(HDC hdc, HRGN hrgn) {
    auto dc = findDc(hdc);
    auto rg = findRgn(hrgn);
    if (!dc || !rg)
        return -1;
    if (!dc->state.clip)
        return 0;
    cairo_region_destroy(rg->rgn);
    rg->rgn = cairo_region_copy(dc->state.clip);
    return 1;
}

} // namespace plat
