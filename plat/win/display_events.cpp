// The display's events about its surfaces, as Win32 behaviour: the
// display's keyboard focus activates (or, lost to another program,
// deactivates), the desktop's close request is the system close command,
// exposed parts are painted again, and moves and sizes by the desktop
// reach the window as SetWindowPos does.
#include "plat/backend/input.h"
#include "plat/gfx/gdi.h"
#include "plat/win/wm_internal.h"

namespace plat {
namespace wm {

namespace {

void RouteSurfaceFocus(const RawEvent& ev) {
    auto& st = S();
    HWND h;
    {
        Lock lk(st.mu);
        h = WindowOfSurfaceLocked(ev.surface);
    }
    if (!ev.down) {
        // The keyboard went to another program: no window here is active.
        if (GetActiveWindow())
            ActivateWindow(nullptr, WA_INACTIVE);
        return;
    }
    if (!h)
        return;
    if (!IsWindowEnabled(h)) {
        // A disabled owner hands over to its running dialog.
        if (HWND popup = GetWindow(h, GW_ENABLEDPOPUP))
            ActivateWindow(popup, WA_ACTIVE);
        return;
    }
    bool can;
    {
        Lock lk(st.mu);
        Wnd* w = FindLocked(h);
        can = w && CanActivateLocked(*w);
    }
    if (can && GetActiveWindow() != h)
        ActivateWindow(h, WA_ACTIVE);
}

// The desktop's close request is the system close command.
void RouteSurfaceClose(const RawEvent& ev) {
    auto& st = S();
    HWND h;
    bool noClose;
    {
        Lock lk(st.mu);
        h = WindowOfSurfaceLocked(ev.surface);
        Wnd* w = FindLocked(h);
        noClose = w && w->cls && (w->cls->style & CS_NOCLOSE);
    }
    if (!h || noClose)
        return;
    if (!IsWindowEnabled(h)) {
        if (HWND popup = GetWindow(h, GW_ENABLEDPOPUP))
            ActivateWindow(popup, WA_ACTIVE);
        return;
    }
    PostMessage(h, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void RouteSurfaceExpose(const RawEvent& ev) {
    auto& st = S();
    HWND h;
    {
        Lock lk(st.mu);
        h = WindowOfSurfaceLocked(ev.surface);
        Wnd* w = FindLocked(h);
        if (!w)
            return;
        if ((w->exStyle & WS_EX_LAYERED) && w->layeredPushed) {
            // Pixels from UpdateLayeredWindow: shown again as they are.
            PresentLocked(*w, ev.rect);
            return;
        }
        RECT r = ev.rect;
        OffsetRect(&r, -w->client.left, -w->client.top);
        SystemInvalidateLocked(*w, &r, false);
    }
    WakeOwnerIfOther(h);
}

void RouteSurfaceConfigured(const RawEvent& ev) {
    auto& st = S();
    HWND h;
    RECT now;
    {
        Lock lk(st.mu);
        h = WindowOfSurfaceLocked(ev.surface);
        Wnd* w = FindLocked(h);
        if (!w || w->show == ShowState::Minimized || !(w->style & WS_VISIBLE))
            return;
        now = w->rect;
    }
    const RECT& r = ev.rect;
    if (EqualRect(&now, &r))
        return;
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (r.right - r.left == now.right - now.left && r.bottom - r.top == now.bottom - now.top)
        flags |= SWP_NOSIZE;
    SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, flags);
}

void RouteDisplayChanged() {
    auto& st = S();
    Lock lk(st.mu);
    for (HWND h : st.zorder)
        if (Wnd* w = FindLocked(h)) {
            SyncSurfaceLocked(*w);
            if ((w->exStyle & WS_EX_LAYERED) && w->layeredPushed)
                PresentLocked(*w, RECT{0, 0, w->surfW, w->surfH});
        }
}

} // namespace

void RouteDisplayEvent(const RawEvent& ev) {
    switch (ev.kind) {
    case RawEvent::SurfaceFocus:
        RouteSurfaceFocus(ev);
        break;
    case RawEvent::SurfaceClose:
        RouteSurfaceClose(ev);
        break;
    case RawEvent::SurfaceExpose:
        RouteSurfaceExpose(ev);
        break;
    case RawEvent::SurfaceConfigured:
        RouteSurfaceConfigured(ev);
        break;
    case RawEvent::DisplayChanged:
        RouteDisplayChanged();
        break;
    default:
        break;
    }
}

} // namespace wm

using namespace wm;

void input_surface_focus(SurfaceId id, bool focused) {
    RawEvent ev;
    ev.kind = RawEvent::SurfaceFocus;
    ev.surface = id;
    ev.down = focused;
    PushRaw(std::move(ev));
}

void input_surface_close(SurfaceId id) {
    RawEvent ev;
    ev.kind = RawEvent::SurfaceClose;
    ev.surface = id;
    PushRaw(std::move(ev));
}

void input_surface_expose(SurfaceId id, const RECT& rect) {
    RawEvent ev;
    ev.kind = RawEvent::SurfaceExpose;
    ev.surface = id;
    ev.rect = rect;
    PushRaw(std::move(ev));
}

void input_surface_configured(SurfaceId id, const RECT& rect) {
    RawEvent ev;
    ev.kind = RawEvent::SurfaceConfigured;
    ev.surface = id;
    ev.rect = rect;
    PushRaw(std::move(ev));
}

void input_display_changed() {
    RawEvent ev;
    ev.kind = RawEvent::DisplayChanged;
    PushRaw(std::move(ev));
}

} // namespace plat
