// Window positions and sizes, SetWindowPos, showing and the show state
// (normal, minimised, maximised) and visibility queries.
#include <algorithm>

#include "plat/gfx/gdi.h"
#include "plat/win/wm_internal.h"

namespace plat {

using namespace wm;

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    LockedWnd w(hwnd);
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
    LockedWnd w(hwnd);
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
    LockedWnd w(hwnd);
    if (!w || !pt)
        return FALSE;
    RECT c = ClientScreenRectLocked(*w);
    pt->x += c.left;
    pt->y += c.top;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT pt) {
    LockedWnd w(hwnd);
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
    RECT oldRect, oldClient;
    {
        LockedWnd w(hwnd);
        if (!w)
            return FALSE;
        topLevel = IsTopLevel(*w);
        oldRect = w->rect;
        oldClient = w->client;
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
    // A new size or frame asks the window for its client area: the proposed
    // window rectangle in, the client rectangle out (both in the parent's
    // coordinates, the screen's for a top-level window), with the old window
    // and client rectangles beside it.
    RECT client = oldClient;
    bool clientRedraw = false;
    if (sized || (flags & SWP_FRAMECHANGED)) {
        NCCALCSIZE_PARAMS p{};
        p.rgrc[0] = newRect;
        p.rgrc[1] = oldRect;
        p.rgrc[2] = oldClient;
        OffsetRect(&p.rgrc[2], oldRect.left, oldRect.top);
        p.lppos = &wp;
        const LRESULT valid = SendMessage(hwnd, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&p));
        if (!IsWindow(hwnd))
            return FALSE;
        client = p.rgrc[0];
        OffsetRect(&client, -newRect.left, -newRect.top);
        if (client.right < client.left)
            client.right = client.left;
        if (client.bottom < client.top)
            client.bottom = client.top;
        clientRedraw = (valid & WVR_REDRAW) != 0 || !EqualRect(&client, &oldClient);
    }
    bool show = false, hide = false;
    {
        LockedWnd w(hwnd);
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
        if (sized)
            ResizeSurfaceLocked(*w);
        if (sized || clientRedraw)
            SystemInvalidateLocked(*w, nullptr, true);
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
        LockedWnd w(hwnd);
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
        LockedWnd w(hwnd);
        if (!w)
            return FALSE;
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
            LockedWnd w(hwnd);
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
            LockedWnd w(hwnd);
            disabled = !w || (w->style & WS_DISABLED) || (w->exStyle & WS_EX_NOACTIVATE);
        }
        if (!disabled)
            ActivateWindow(hwnd, WA_ACTIVE);
    }
    return wasVisible;
}

BOOL IsWindowVisible(HWND hwnd) {
    LockedWnd w(hwnd);
    if (!w)
        return FALSE;
    for (Wnd* cur = w; cur; cur = cur->parent ? FindLocked(cur->parent) : nullptr)
        if (!(cur->style & WS_VISIBLE))
            return FALSE;
    return TRUE;
}

BOOL IsIconic(HWND hwnd) {
    LockedWnd w(hwnd);
    return w && w->show == ShowState::Minimized;
}

BOOL IsZoomed(HWND hwnd) {
    LockedWnd w(hwnd);
    return w && w->show == ShowState::Maximized;
}
BOOL BringWindowToTop(HWND hwnd) {
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}
} // namespace plat
