// The rectangle helpers: Win32's meaning, right and bottom exclusive.
#include "plat/sys/rect.h"

#include <algorithm>

namespace plat {

BOOL SetRect(LPRECT rc, int left, int top, int right, int bottom) {
    if (!rc)
        return FALSE;
    *rc = RECT{left, top, right, bottom};
    return TRUE;
}
BOOL SetRectEmpty(LPRECT rc) {
    return SetRect(rc, 0, 0, 0, 0);
}
BOOL CopyRect(LPRECT dst, LPCRECT src) {
    if (!dst || !src)
        return FALSE;
    *dst = *src;
    return TRUE;
}
BOOL IsRectEmpty(LPCRECT rc) {
    return !rc || rc->right <= rc->left || rc->bottom <= rc->top;
}
BOOL PtInRect(LPCRECT rc, POINT pt) {
    return rc && pt.x >= rc->left && pt.x < rc->right && pt.y >= rc->top && pt.y < rc->bottom;
}
BOOL OffsetRect(LPRECT rc, int dx, int dy) {
    if (!rc)
        return FALSE;
    rc->left += dx;
    rc->right += dx;
    rc->top += dy;
    rc->bottom += dy;
    return TRUE;
}
BOOL InflateRect(LPRECT rc, int dx, int dy) {
    if (!rc)
        return FALSE;
    rc->left -= dx;
    rc->right += dx;
    rc->top -= dy;
    rc->bottom += dy;
    return TRUE;
}
BOOL IntersectRect(LPRECT dst, LPCRECT a, LPCRECT b) {
    if (!dst || !a || !b)
        return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        *dst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    *dst = r;
    return TRUE;
}
BOOL UnionRect(LPRECT dst, LPCRECT a, LPCRECT b) {
    if (!dst || !a || !b)
        return FALSE;
    bool ea = IsRectEmpty(a), eb = IsRectEmpty(b);
    if (ea && eb) {
        *dst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    if (ea)
        *dst = *b;
    else if (eb)
        *dst = *a;
    else
        *dst = RECT{std::min(a->left, b->left), std::min(a->top, b->top),
                    std::max(a->right, b->right), std::max(a->bottom, b->bottom)};
    return TRUE;
}
BOOL EqualRect(LPCRECT a, LPCRECT b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right &&
           a->bottom == b->bottom;
}
} // namespace plat
