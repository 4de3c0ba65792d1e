// Activation, keyboard focus and enabling.
#include <algorithm>

#include "plat/gfx/gdi.h"
#include "plat/win/wm_internal.h"

namespace plat {
namespace wm {

bool CanActivateLocked(const Wnd& w) {
    return IsTopLevel(w) && (w.style & WS_VISIBLE) && !(w.style & WS_DISABLED) &&
           w.show != ShowState::Minimized && !(w.exStyle & WS_EX_NOACTIVATE);
}

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
        if (hwnd) {
            RaiseLocked(hwnd);
            // The display sends its keyboard input to the active window.
            if (Wnd* w = FindLocked(hwnd); w && w->surface)
                GetBackend().activate_surface(w->surface);
        }
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

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    bool wasDisabled;
    {
        LockedWnd w(hwnd);
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
    LockedWnd w(hwnd);
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

} // namespace plat
