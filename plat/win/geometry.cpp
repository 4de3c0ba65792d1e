// Geometry, showing, z-order, activation, focus and enabling, the monitor
// and system metrics, and the rectangle helpers.
#include <algorithm>

#include "plat/gfx/gdi.h"
#include "plat/win/wm_internal.h"

namespace plat {
namespace wm {

// Z-order: owned windows above their owner, topmost windows above the rest.
// Keeps the relative order otherwise and tells the backend.
void RestackLocked() {
    auto& st = S();
    std::vector<HWND> normal, topmost;
    for (HWND h : st.zorder) {
        Wnd* w = FindLocked(h);
        if (!w)
            continue;
        (w->exStyle & WS_EX_TOPMOST ? topmost : normal).push_back(h);
    }
    auto ownerFirst = [&](std::vector<HWND>& band) {
        // Repeatedly move any window below its owner to just above it.
        for (size_t pass = 0; pass < band.size() * band.size() + 1; ++pass) {
            bool moved = false;
            for (size_t i = 0; i < band.size(); ++i) {
                Wnd* w = FindLocked(band[i]);
                if (!w || !w->owner)
                    continue;
                auto o = std::find(band.begin(), band.end(), w->owner);
                if (o == band.end())
                    continue;
                size_t oi = static_cast<size_t>(o - band.begin());
                if (oi > i) {
                    HWND h = band[i];
                    band.erase(band.begin() + static_cast<long>(i));
                    band.insert(band.begin() + static_cast<long>(oi), h);
                    moved = true;
                    break;
                }
            }
            if (!moved)
                break;
        }
    };
    ownerFirst(normal);
    ownerFirst(topmost);
    st.zorder = normal;
    st.zorder.insert(st.zorder.end(), topmost.begin(), topmost.end());
    std::vector<SurfaceId> ids;
    for (HWND h : st.zorder)
        if (Wnd* w = FindLocked(h); w && w->surface)
            ids.push_back(w->surface);
    GetBackend().restack(ids);
}

// Brings a top-level window and the windows it owns to the top of its band.
void RaiseLocked(HWND hwnd) {
    auto& st = S();
    std::vector<HWND> group{hwnd};
    for (size_t i = 0; i < group.size(); ++i)
        for (HWND h : st.zorder)
            if (Wnd* w = FindLocked(h); w && w->owner == group[i] &&
                                        std::find(group.begin(), group.end(), h) == group.end())
                group.push_back(h);
    std::vector<HWND> rest, moving;
    for (HWND h : st.zorder)
        (std::find(group.begin(), group.end(), h) != group.end() ? moving : rest).push_back(h);
    rest.insert(rest.end(), moving.begin(), moving.end());
    st.zorder = rest;
    RestackLocked();
}

void ResizeSurfaceLocked(Wnd& w) {
    int width = std::max<LONG>(0, w.rect.right - w.rect.left);
    int height = std::max<LONG>(0, w.rect.bottom - w.rect.top);
    int needW = std::max(width, 1), needH = std::max(height, 1);
    if (w.longLivedDC) {
        // A DC from GetDC may be kept for the window's life: reserve the
        // whole screen so that later growth does not move the pixels.
        RECT screen, work;
        GetBackend().screen_rect(&screen, &work);
        needW = std::max<int>(needW, screen.right - screen.left);
        needH = std::max<int>(needH, screen.bottom - screen.top);
    }
    if (!w.buffer || needW > w.capW || needH > w.capH) {
        auto buf = std::make_shared<std::vector<uint32_t>>(static_cast<size_t>(needW) * needH,
                                                           0xFFFFFFFFu);
        // Keep what was drawn where it still fits.
        if (w.buffer)
            for (int y = 0; y < std::min(needH, w.capH); ++y)
                std::copy_n(w.buffer->begin() + static_cast<long>(y) * w.capW,
                            std::min(needW, w.capW), buf->begin() + static_cast<long>(y) * needW);
        w.buffer = buf;
        w.capW = needW;
        w.capH = needH;
    }
    w.surfW = width;
    w.surfH = height;
}

void SyncSurfaceLocked(Wnd& w) {
    if (!w.surface)
        return;
    const Backend& be = GetBackend();
    RECT r = w.rect;
    if (w.show == ShowState::Minimized)
        r = RECT{-32000, -32000, -31840, -31972};
    be.move_resize_surface(w.surface, r.left, r.top, r.right - r.left, r.bottom - r.top);
    bool layered = (w.exStyle & WS_EX_LAYERED) != 0;
    be.set_alpha_mode(w.surface, layered && w.perPixelAlpha, layered ? w.constantAlpha : 255);
    be.set_shape(w.surface, w.region != nullptr, w.regionRects);
    be.show_surface(w.surface, ReallyVisibleLocked(w) && (!layered || w.layeredReady));
}

namespace {

// Draws the visible children of `w` (and theirs) over dst, a copy of the
// top-level window's pixels; (ox, oy) is w's origin in dst.
void BlitChildrenLocked(const Wnd& w, uint32_t* dst, int dstW, int dstH, int ox, int oy) {
    for (HWND c : w.children) {
        Wnd* cw = FindLocked(c);
        if (!cw || !(cw->style & WS_VISIBLE) || !cw->buffer)
            continue;
        int cx = ox + w.client.left + cw->rect.left, cy = oy + w.client.top + cw->rect.top;
        for (int y = 0; y < cw->surfH; ++y) {
            int dy = cy + y;
            if (dy < 0 || dy >= dstH)
                continue;
            const uint32_t* src = cw->buffer->data() + static_cast<size_t>(y) * cw->capW;
            for (int x = 0; x < cw->surfW; ++x) {
                int dx = cx + x;
                if (dx < 0 || dx >= dstW)
                    continue;
                if (cw->region && !PtInRegion(cw->region, x, y))
                    continue;
                dst[static_cast<size_t>(dy) * dstW + dx] = src[x];
            }
        }
        BlitChildrenLocked(*cw, dst, dstW, dstH, cx, cy);
    }
}

} // namespace

void PresentLocked(Wnd& w, const RECT& dirty) {
    if (!IsTopLevel(w)) {
        // A child's pixels are shown through its top-level window.
        Wnd* top = &w;
        RECT r = dirty;
        while (top && !IsTopLevel(*top)) {
            Wnd* p = FindLocked(top->parent);
            if (!p)
                return;
            OffsetRect(&r, top->rect.left + p->client.left, top->rect.top + p->client.top);
            top = p;
        }
        PresentLocked(*top, r);
        return;
    }
    if (!w.surface || w.surfW <= 0 || w.surfH <= 0 || !w.buffer)
        return;
    RECT all{0, 0, w.surfW, w.surfH}, d;
    if (!IntersectRect(&d, &dirty, &all))
        return;
    if (w.children.empty()) {
        GetBackend().present(w.surface, w.buffer->data(), w.surfW, w.surfH, w.capW * 4, d);
        return;
    }
    std::vector<uint32_t> composed(static_cast<size_t>(w.surfW) * w.surfH);
    for (int y = 0; y < w.surfH; ++y)
        std::copy_n(w.buffer->begin() + static_cast<long>(y) * w.capW, w.surfW,
                    composed.begin() + static_cast<long>(y) * w.surfW);
    BlitChildrenLocked(w, composed.data(), w.surfW, w.surfH, 0, 0);
    GetBackend().present(w.surface, composed.data(), w.surfW, w.surfH, w.surfW * 4, d);
}

namespace {

void SyncOwnedLocked(HWND owner) {
    auto& st = S();
    for (HWND h : st.zorder)
        if (Wnd* w = FindLocked(h); w && w->owner == owner) {
            SyncSurfaceLocked(*w);
            SyncOwnedLocked(h);
        }
}

bool CanActivateLocked(const Wnd& w) {
    return IsTopLevel(w) && (w.style & WS_VISIBLE) && !(w.style & WS_DISABLED) &&
           w.show != ShowState::Minimized && !(w.exStyle & WS_EX_NOACTIVATE);
}

} // namespace

void ActivateWindow(HWND hwnd, WORD how) {
    auto& st = S();
    HWND prev;
    {
        Lock lk(st.mu);
        prev = st.active;
        if (prev == hwnd)
            return;
        if (hwnd && !FindLocked(hwnd))
            return;
        st.active = hwnd;
        if (hwnd)
            RaiseLocked(hwnd);
    }
    if (prev && IsWindow(prev)) {
        SendMessage(prev, WM_NCACTIVATE, FALSE, 0);
        SendMessage(prev, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, IsIconic(prev)),
                    reinterpret_cast<LPARAM>(hwnd));
        HWND f;
        {
            Lock lk(st.mu);
            f = st.focus;
        }
        if (f && (f == prev || IsChild(prev, f))) {
            {
                Lock lk(st.mu);
                st.focus = nullptr;
            }
            SendMessage(f, WM_KILLFOCUS, reinterpret_cast<WPARAM>(nullptr), 0);
        }
    }
    if (!hwnd)
        return;
    {
        Lock lk(st.mu);
        if (st.active != hwnd)
            return; // changed again inside the messages above
    }
    SendMessage(hwnd, WM_NCACTIVATE, TRUE, 0);
    SendMessage(hwnd, WM_ACTIVATE, MAKEWPARAM(how, IsIconic(hwnd)), reinterpret_cast<LPARAM>(prev));
}

// The window `leaving` stops being active (hidden, minimised, destroyed or
// disabled): its owner takes over when it can, else the topmost window that
// can be activated.
void ActivateNextAfter(HWND leaving) {
    auto& st = S();
    HWND next = nullptr;
    {
        Lock lk(st.mu);
        if (st.active != leaving)
            return;
        Wnd* w = FindLocked(leaving);
        for (HWND o = w ? w->owner : nullptr; o;) {
            Wnd* ow = FindLocked(o);
            if (!ow)
                break;
            if (CanActivateLocked(*ow)) {
                next = o;
                break;
            }
            o = ow->owner;
        }
        if (!next) {
            for (auto it = st.zorder.rbegin(); it != st.zorder.rend(); ++it) {
                Wnd* c = FindLocked(*it);
                if (!c || c->hwnd == leaving || !CanActivateLocked(*c))
                    continue;
                if (c->exStyle & WS_EX_TOOLWINDOW)
                    continue;
                next = c->hwnd;
                break;
            }
        }
    }
    ActivateWindow(next, WA_ACTIVE);
}

} // namespace wm

using namespace wm;

// ---- Rectangles ---------------------------------------------------------------------

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

// ---- Positions ------------------------------------------------------------------------

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    auto& st = S();
    Lock lk(st.mu);
    Wnd* w = FindLocked(hwnd);
    if (!w || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->show == ShowState::Minimized && IsTopLevel(*w)) {
        *rect = RECT{-32000, -32000, -31840, -31972};
        return TRUE;
    }
    *rect = ScreenRectLocked(*w);
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    auto& st = S();
    Lock lk(st.mu);
    Wnd* w = FindLocked(hwnd);
    if (!w || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->show == ShowState::Minimized) {
        *rect = RECT{0, 0, 0, 0};
        return TRUE;
    }
    *rect = RECT{0, 0, std::max<LONG>(0, w->client.right - w->client.left),
                 std::max<LONG>(0, w->client.bottom - w->client.top)};
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT pt) {
    auto& st = S();
    Lock lk(st.mu);
    Wnd* w = FindLocked(hwnd);
    if (!w || !pt)
        return FALSE;
    RECT c = ClientScreenRectLocked(*w);
    pt->x += c.left;
    pt->y += c.top;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT pt) {
    auto& st = S();
    Lock lk(st.mu);
    Wnd* w = FindLocked(hwnd);
    if (!w || !pt)
        return FALSE;
    RECT c = ClientScreenRectLocked(*w);
    pt->x -= c.left;
    pt->y -= c.top;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT pts, UINT count) {
    POINT o{0, 0};
    if (from)
        ClientToScreen(from, &o);
    POINT t{0, 0};
    if (to)
        ClientToScreen(to, &t);
    int dx = o.x - t.x, dy = o.y - t.y;
    for (UINT i = 0; pts && i < count; ++i) {
        pts[i].x += dx;
        pts[i].y += dy;
    }
    return MAKELONG(static_cast<WORD>(static_cast<SHORT>(dx)),
                    static_cast<WORD>(static_cast<SHORT>(dy)));
}

// No window has a frame drawn by the platform, so the window rectangle for
// a client rectangle is the same rectangle.
BOOL AdjustWindowRectEx(LPRECT rect, DWORD, BOOL, DWORD) {
    return rect ? TRUE : FALSE;
}
BOOL AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) {
    return AdjustWindowRectEx(rect, style, menu, 0);
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    auto& st = S();
    WINDOWPOS wp{};
    bool topLevel;
    RECT oldRect;
    {
        Lock lk(st.mu);
        Wnd* w = FindLocked(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        topLevel = IsTopLevel(*w);
        oldRect = w->rect;
        wp.hwnd = hwnd;
        wp.hwndInsertAfter = insertAfter;
        wp.x = (flags & SWP_NOMOVE) ? w->rect.left : x;
        wp.y = (flags & SWP_NOMOVE) ? w->rect.top : y;
        wp.cx = (flags & SWP_NOSIZE) ? w->rect.right - w->rect.left : std::max(cx, 0);
        wp.cy = (flags & SWP_NOSIZE) ? w->rect.bottom - w->rect.top : std::max(cy, 0);
        wp.flags = flags;
        if ((flags & SWP_SHOWWINDOW) && (w->style & WS_VISIBLE))
            wp.flags &= ~SWP_SHOWWINDOW;
        if ((flags & SWP_HIDEWINDOW) && !(w->style & WS_VISIBLE))
            wp.flags &= ~SWP_HIDEWINDOW;
    }
    if (!(flags & SWP_NOSENDCHANGING)) {
        SendMessage(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
        if (!IsWindow(hwnd))
            return FALSE;
    }
    RECT newRect{wp.x, wp.y, wp.x + std::max(wp.cx, 0), wp.y + std::max(wp.cy, 0)};
    bool moved = newRect.left != oldRect.left || newRect.top != oldRect.top;
    bool sized = (newRect.right - newRect.left) != (oldRect.right - oldRect.left) ||
                 (newRect.bottom - newRect.top) != (oldRect.bottom - oldRect.top);
    RECT client{0, 0, newRect.right - newRect.left, newRect.bottom - newRect.top};
    if (sized || (flags & SWP_FRAMECHANGED)) {
        NCCALCSIZE_PARAMS p{};
        p.rgrc[0] = newRect;
        p.rgrc[1] = oldRect;
        p.lppos = &wp;
        SendMessage(hwnd, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&p));
        client = p.rgrc[0];
        OffsetRect(&client, -newRect.left, -newRect.top);
        if (client.right < client.left)
            client.right = client.left;
        if (client.bottom < client.top)
            client.bottom = client.top;
    }
    bool show = false, hide = false;
    {
        Lock lk(st.mu);
        Wnd* w = FindLocked(hwnd);
        if (!w)
            return FALSE;
        w->rect = newRect;
        if (sized || (flags & SWP_FRAMECHANGED))
            w->client = client;
        if (wp.flags & SWP_SHOWWINDOW) {
            w->style |= WS_VISIBLE;
            show = true;
        }
        if (wp.flags & SWP_HIDEWINDOW) {
            w->style &= ~WS_VISIBLE;
            hide = true;
        }
        if (topLevel && !(wp.flags & SWP_NOZORDER)) {
            HWND after = wp.hwndInsertAfter;
            if (after == HWND_TOPMOST)
                w->exStyle |= WS_EX_TOPMOST;
            if (after == HWND_NOTOPMOST)
                w->exStyle &= ~WS_EX_TOPMOST;
            auto& z = st.zorder;
            z.erase(std::remove(z.begin(), z.end(), hwnd), z.end());
            if (after == HWND_BOTTOM) {
                z.insert(z.begin(), hwnd);
            } else if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
                z.push_back(hwnd);
            } else {
                auto it = std::find(z.begin(), z.end(), after);
                z.insert(it == z.end() ? z.end() : it, hwnd);
            }
            RestackLocked();
        }
        if (sized) {
            ResizeSurfaceLocked(*w);
            SystemInvalidateLocked(*w, nullptr, true);
        }
        SyncSurfaceLocked(*w);
        if (topLevel) {
            SyncOwnedLocked(hwnd);
        } else if (moved || sized || show || hide) {
            // The parent shows again where the child was; then the top-level
            // window's picture is presented with the child in its new place.
            if (Wnd* p = FindLocked(w->parent))
                SystemInvalidateLocked(*p, &oldRect, false);
            PresentLocked(*w, RECT{-100000, -100000, 100000, 100000});
        }
        if (show && !w->hasUpdate)
            SystemInvalidateLocked(*w, nullptr, true);
    }
    if (!moved)
        wp.flags |= 0x0800; // SWP_NOCLIENTMOVE
    if (!sized)
        wp.flags |= 0x1000; // SWP_NOCLIENTSIZE
    SendMessage(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    if (!IsWindow(hwnd))
        return TRUE;
    if (hide && topLevel && GetActiveWindow() == hwnd)
        ActivateNextAfter(hwnd);
    bool canActivate;
    {
        Lock lk(st.mu);
        Wnd* w = FindLocked(hwnd);
        canActivate = w && CanActivateLocked(*w);
    }
    // Showing or raising activates, unless asked not to or the window
    // cannot be active (disabled, minimised, WS_EX_NOACTIVATE).
    if (topLevel && canActivate && !(flags & SWP_NOACTIVATE) &&
        (show || (!hide && !(flags & SWP_NOZORDER))))
        ActivateWindow(hwnd, WA_ACTIVE);
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL ShowWindow(HWND hwnd, int cmd) {
    auto& st = S();
    bool wasVisible, topLevel;
    ShowState before;
    RECT restore;
    {
        Lock lk(st.mu);
        Wnd* w = FindLocked(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        wasVisible = (w->style & WS_VISIBLE) != 0;
        topLevel = IsTopLevel(*w);
        before = w->show;
        restore = before == ShowState::Normal ? w->rect : w->restoreRect;
    }
    bool activate = false, show = true;
    ShowState target = before;
    switch (cmd) {
    case SW_HIDE:
        show = false;
        break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
        target = ShowState::Normal;
        activate = true;
        break;
    case SW_SHOWDEFAULT:
        target = before == ShowState::Minimized ? ShowState::Normal : before;
        activate = true;
        break;
    case SW_SHOW:
        activate = true;
        break;
    case SW_SHOWNA:
        break;
    case SW_SHOWNOACTIVATE:
        target = ShowState::Normal;
        break;
    case SW_SHOWMAXIMIZED:
        target = ShowState::Maximized;
        activate = true;
        break;
    case SW_SHOWMINIMIZED:
        target = ShowState::Minimized;
        activate = true;
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
        target = ShowState::Minimized;
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!show) {
        if (!wasVisible)
            return FALSE;
        SendMessage(hwnd, WM_SHOWWINDOW, FALSE, 0);
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return TRUE;
    }
    if (!wasVisible) {
        SendMessage(hwnd, WM_SHOWWINDOW, TRUE, 0);
        if (!IsWindow(hwnd))
            return FALSE;
    }
    if (target != before) {
        RECT r = restore;
        if (target == ShowState::Maximized) {
            MINMAXINFO mmi{};
            RECT screen, work;
            GetBackend().screen_rect(&screen, &work);
            mmi.ptMaxSize = POINT{work.right - work.left, work.bottom - work.top};
            mmi.ptMaxPosition = POINT{work.left - screen.left, work.top - screen.top};
            mmi.ptMaxTrackSize = mmi.ptMaxSize;
            SendMessage(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
            r = RECT{screen.left + mmi.ptMaxPosition.x, screen.top + mmi.ptMaxPosition.y,
                     screen.left + mmi.ptMaxPosition.x + mmi.ptMaxSize.x,
                     screen.top + mmi.ptMaxPosition.y + mmi.ptMaxSize.y};
        }
        {
            Lock lk(st.mu);
            Wnd* w = FindLocked(hwnd);
            if (!w)
                return FALSE;
            if (before == ShowState::Normal)
                w->restoreRect = w->rect;
            w->show = target;
            w->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
            if (target == ShowState::Minimized)
                w->style |= WS_MINIMIZE;
            if (target == ShowState::Maximized)
                w->style |= WS_MAXIMIZE;
        }
        if (target == ShowState::Minimized) {
            SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                             (wasVisible ? 0 : SWP_SHOWWINDOW));
            SendMessage(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
            if (topLevel && GetActiveWindow() == hwnd)
                ActivateNextAfter(hwnd);
            {
                Lock lk(st.mu);
                SyncOwnedLocked(hwnd);
            }
            return wasVisible;
        }
        RECT current{};
        {
            Lock lk(st.mu);
            if (Wnd* w = FindLocked(hwnd))
                current = w->rect;
        }
        bool sameSize = (current.right - current.left) == (r.right - r.left) &&
                        (current.bottom - current.top) == (r.bottom - r.top);
        SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED |
                         (wasVisible ? 0 : SWP_SHOWWINDOW));
        if (sameSize) {
            // The state changed without a size change: say so all the same.
            RECT cr;
            GetClientRect(hwnd, &cr);
            SendMessage(hwnd, WM_SIZE,
                        target == ShowState::Maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
                        MAKELPARAM(cr.right, cr.bottom));
        }
        {
            Lock lk(st.mu);
            SyncOwnedLocked(hwnd);
        }
    } else if (!wasVisible) {
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (activate && topLevel && IsWindow(hwnd) && target != ShowState::Minimized) {
        bool disabled;
        {
            Lock lk(st.mu);
            Wnd* w = FindLocked(hwnd);
            disabled = !w || (w->style & WS_DISABLED) || (w->exStyle & WS_EX_NOACTIVATE);
        }
        if (!disabled)
            ActivateWindow(hwnd, WA_ACTIVE);
    }
    return wasVisible;
}

BOOL IsWindowVisible(HWND hwnd) {
    auto& st = S();
    Lock lk(st.mu);
    Wnd* w = FindLocked(hwnd);
    if (!w)
        return FALSE;
    for (Wnd* cur = w; cur; cur = cur->parent ? FindLocked(cur->parent) : nullptr)
        if (!(cur->style & WS_VISIBLE))
            return FALSE;
    return TRUE;
}

BOOL IsIconic(HWND hwnd) {
    auto& st = S();
    Lock lk(st.mu);
    Wnd* w = FindLocked(hwnd);
    return w && w->show == ShowState::Minimized;
}

BOOL IsZoomed(HWND hwnd) {
    auto& st = S();
    Lock lk(st.mu);
    Wnd* w = FindLocked(hwnd);
    return w && w->show == ShowState::Maximized;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    auto& st = S();
    bool wasDisabled;
    {
        Lock lk(st.mu);
        Wnd* w = FindLocked(hwnd);
        if (!w)
            return FALSE;
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (wasDisabled == !enable)
            return wasDisabled;
        if (enable)
            w->style &= ~WS_DISABLED;
        else
            w->style |= WS_DISABLED;
    }
    if (!enable) {
        HWND f = GetFocus();
        if (f && (f == hwnd || IsChild(hwnd, f)))
            SetFocus(nullptr);
        if (GetCapture() == hwnd)
            ReleaseCapture();
    }
    SendMessage(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
    auto& st = S();
    Lock lk(st.mu);
    Wnd* w = FindLocked(hwnd);
    return w && !(w->style & WS_DISABLED);
}

HWND SetFocus(HWND hwnd) {
    auto& st = S();
    HWND prev;
    {
        Lock lk(st.mu);
        prev = st.focus;
        if (hwnd) {
            Wnd* w = FindLocked(hwnd);
            if (!w) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
            if (w->queue->tid != CurrentTid())
                return nullptr;
            if (prev == hwnd)
                return prev;
        } else if (!prev) {
            return nullptr;
        }
    }
    if (hwnd) {
        // Focusing a window activates its top-level window first.
        HWND top = TopLevelOf(hwnd);
        if (top && GetActiveWindow() != top) {
            auto tw = Find(top);
            if (tw && (tw->style & WS_DISABLED))
                return nullptr;
            ActivateWindow(top, WA_ACTIVE);
            Lock lk(st.mu);
            prev = st.focus;
            if (prev == hwnd)
                return prev;
        }
    }
    {
        Lock lk(st.mu);
        st.focus = hwnd;
    }
    if (prev && IsWindow(prev))
        SendMessage(prev, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd && IsWindow(hwnd)) {
        Lock lk(st.mu);
        if (st.focus != hwnd)
            return prev;
    }
    if (hwnd)
        SendMessage(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(prev), 0);
    return prev;
}

HWND GetFocus() {
    auto& st = S();
    Lock lk(st.mu);
    return st.focus;
}

HWND SetActiveWindow(HWND hwnd) {
    HWND prev = GetActiveWindow();
    auto w = Find(hwnd);
    if (!w || !IsTopLevel(*w))
        return nullptr;
    ActivateWindow(hwnd, WA_ACTIVE);
    return prev;
}

HWND GetActiveWindow() {
    auto& st = S();
    Lock lk(st.mu);
    return st.active;
}

BOOL SetForegroundWindow(HWND hwnd) {
    HWND top = TopLevelOf(hwnd);
    if (!top)
        return FALSE;
    ActivateWindow(top, WA_ACTIVE);
    return TRUE;
}

HWND GetForegroundWindow() {
    return GetActiveWindow();
}

BOOL BringWindowToTop(HWND hwnd) {
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

// ---- The monitor and metrics ---------------------------------------------------------

namespace {
HMONITOR const kMonitor = reinterpret_cast<HMONITOR>(0x10001);
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags) {
    if (flags == MONITOR_DEFAULTTONULL && hwnd) {
        RECT r;
        if (!GetWindowRect(hwnd, &r))
            return nullptr;
        return MonitorFromRect(&r, flags);
    }
    return kMonitor;
}

HMONITOR MonitorFromPoint(POINT pt, DWORD flags) {
    RECT screen, work;
    GetBackend().screen_rect(&screen, &work);
    if (flags == MONITOR_DEFAULTTONULL && !PtInRect(&screen, pt))
        return nullptr;
    return kMonitor;
}

HMONITOR MonitorFromRect(LPCRECT rect, DWORD flags) {
    RECT screen, work, i;
    GetBackend().screen_rect(&screen, &work);
    if (flags == MONITOR_DEFAULTTONULL && (!rect || !IntersectRect(&i, rect, &screen)))
        return nullptr;
    return kMonitor;
}

BOOL GetMonitorInfo(HMONITOR monitor, LPMONITORINFO info) {
    if (monitor != kMonitor || !info || info->cbSize < sizeof(MONITORINFO))
        return FALSE;
    GetBackend().screen_rect(&info->rcMonitor, &info->rcWork);
    info->dwFlags = MONITORINFOF_PRIMARY;
    return TRUE;
}

int GetSystemMetrics(int index) {
    RECT screen, work;
    GetBackend().screen_rect(&screen, &work);
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXVIRTUALSCREEN:
        return screen.right - screen.left;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN:
        return screen.bottom - screen.top;
    case SM_XVIRTUALSCREEN:
        return screen.left;
    case SM_YVIRTUALSCREEN:
        return screen.top;
    case SM_CXFULLSCREEN:
    case SM_CXMAXIMIZED:
    case SM_CXMAXTRACK:
        return work.right - work.left;
    case SM_CYFULLSCREEN:
    case SM_CYMAXIMIZED:
    case SM_CYMAXTRACK:
        return work.bottom - work.top;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 17;
    case SM_CYCAPTION:
        return 23;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CXMIN:
        return 112;
    case SM_CYMIN:
        return 27;
    case SM_CXMINTRACK:
        return 112;
    case SM_CYMINTRACK:
        return 27;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
    case SM_CXDRAG:
    case SM_CYDRAG:
        return 4;
    case SM_SWAPBUTTON:
        return 0;
    case SM_CMONITORS:
        return 1;
    default:
        return 0;
    }
}

BOOL SystemParametersInfo(UINT action, UINT, PVOID pvParam, UINT) {
    if (!pvParam)
        return FALSE;
    switch (action) {
    case SPI_GETWORKAREA: {
        RECT screen;
        GetBackend().screen_rect(&screen, static_cast<RECT*>(pvParam));
        return TRUE;
    }
    case SPI_GETMOUSEHOVERWIDTH:
    case SPI_GETMOUSEHOVERHEIGHT:
        *static_cast<UINT*>(pvParam) = 4;
        return TRUE;
    case SPI_GETMOUSEHOVERTIME:
        *static_cast<UINT*>(pvParam) = 400;
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace plat
