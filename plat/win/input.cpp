// Input: the raw input entry points, routing of raw events to windows (hit
// testing, client and non-client mouse messages, capture, activation by
// click, double clicks, keys to the focus), mouse tracking, key state,
// TranslateMessage and cursors.
#include <algorithm>

#include "plat/backend/input.h"
#include "plat/gfx/gdi.h"
#include "plat/win/wm_internal.h"

namespace plat {
namespace wm {

void PushRaw(RawEvent ev) {
    auto& st = S();
    std::shared_ptr<ThreadQueue> q;
    {
        Lock lk(st.mu);
        st.raw.push_back(std::move(ev));
        q = st.inputQueue;
    }
    if (q) {
        std::lock_guard<std::mutex> g(q->m);
        q->Wake();
    }
}

namespace {

WPARAM MouseKeyFlagsLocked() {
    auto& st = S();
    WPARAM f = 0;
    if (st.keys[VK_LBUTTON] & 0x80)
        f |= MK_LBUTTON;
    if (st.keys[VK_RBUTTON] & 0x80)
        f |= MK_RBUTTON;
    if (st.keys[VK_MBUTTON] & 0x80)
        f |= MK_MBUTTON;
    if (st.keys[VK_SHIFT] & 0x80)
        f |= MK_SHIFT;
    if (st.keys[VK_CONTROL] & 0x80)
        f |= MK_CONTROL;
    return f;
}

bool PointInWindowLocked(const Wnd& w, POINT pt) {
    RECT r = ScreenRectLocked(w);
    if (!PtInRect(&r, pt))
        return false;
    if (w.region && !PtInRegion(w.region, pt.x - r.left, pt.y - r.top))
        return false;
    return true;
}

HWND DeepestChildLocked(Wnd* w, POINT pt) {
    for (;;) {
        Wnd* next = nullptr;
        for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
            Wnd* c = FindLocked(*it);
            if (c && (c->style & WS_VISIBLE) && PointInWindowLocked(*c, pt)) {
                next = c;
                break;
            }
        }
        if (!next)
            return w->hwnd;
        w = next;
    }
}

// Candidate windows under a point, from the top: each top-level window that
// can take input there, resolved to its deepest child.
std::vector<HWND> CandidatesAt(POINT pt) {
    auto& st = S();
    Lock lk(st.mu);
    std::vector<HWND> out;
    for (auto it = st.zorder.rbegin(); it != st.zorder.rend(); ++it) {
        Wnd* w = FindLocked(*it);
        if (!w || !ReallyVisibleLocked(*w))
            continue;
        // Click-through layered windows never take input.
        if ((w->exStyle & WS_EX_LAYERED) && (w->exStyle & WS_EX_TRANSPARENT))
            continue;
        if (!PointInWindowLocked(*w, pt))
            continue;
        out.push_back(DeepestChildLocked(w, pt));
    }
    return out;
}

// Finds the window under pt and its hit-test code. Disabled windows answer
// HTERROR without being asked.
HWND HitTest(POINT pt, LRESULT* hit) {
    for (HWND h : CandidatesAt(pt)) {
        if (!IsWindowEnabled(h)) {
            *hit = HTERROR;
            return h;
        }
        LRESULT code = SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
        if (code == HTTRANSPARENT)
            continue;
        *hit = code;
        return h;
    }
    *hit = HTNOWHERE;
    return nullptr;
}

POINT ToClient(HWND hwnd, POINT pt) {
    ScreenToClient(hwnd, &pt);
    return pt;
}

// Delivers a routed message: returned when it belongs to the calling thread,
// otherwise posted to the owner's queue.
bool Deliver(const std::shared_ptr<ThreadQueue>& q, MSG* out, HWND hwnd, UINT msg, WPARAM wp,
             LPARAM lp) {
    auto w = Find(hwnd);
    if (!w)
        return false;
    if (w->queue != q) {
        PostMessage(hwnd, msg, wp, lp);
        return false;
    }
    *out = MSG{};
    out->hwnd = hwnd;
    out->message = msg;
    out->wParam = wp;
    out->lParam = lp;
    return true;
}

// Posts WM_MOUSELEAVE when the mouse is no longer where tracking asked for.
void UpdateTracking(HWND under, LRESULT hit) {
    auto& st = S();
    HWND leaveWnd = nullptr;
    bool nonClient = false;
    {
        Lock lk(st.mu);
        st.lastMouseWnd = under;
        st.lastHit = hit;
        if (!st.trackWnd)
            return;
        bool inClient = under == st.trackWnd && hit == HTCLIENT;
        bool inNonClient = under == st.trackWnd && hit != HTCLIENT;
        nonClient = (st.trackFlags & TME_NONCLIENT) != 0;
        bool stillThere = nonClient ? inNonClient : inClient;
        if (!stillThere) {
            if (st.trackFlags & TME_LEAVE)
                leaveWnd = st.trackWnd;
            st.trackWnd = nullptr;
            st.trackFlags = 0;
            st.hoverDue = 0;
        } else if (st.trackFlags & TME_HOVER) {
            // Moving further than the hover rectangle restarts the count.
            if (std::abs(st.cursor.x - st.hoverOrigin.x) > 2 ||
                std::abs(st.cursor.y - st.hoverOrigin.y) > 2) {
                st.hoverOrigin = st.cursor;
                st.hoverDue = NowMs() + st.hoverTime;
            }
        }
    }
    if (leaveWnd)
        PostMessage(leaveWnd, nonClient ? WM_NCMOUSELEAVE : WM_MOUSELEAVE, 0, 0);
}

void DragMove(POINT pt) {
    auto& st = S();
    HWND h;
    int edge;
    RECT r;
    {
        Lock lk(st.mu);
        h = st.dragWnd;
        edge = st.dragEdge;
        r = st.dragStartRect;
        int dx = pt.x - st.dragStart.x, dy = pt.y - st.dragStart.y;
        if (edge == 0) {
            OffsetRect(&r, dx, dy);
        } else {
            if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT)
                r.left += dx;
            if (edge == WMSZ_RIGHT || edge == WMSZ_TOPRIGHT || edge == WMSZ_BOTTOMRIGHT)
                r.right += dx;
            if (edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT)
                r.top += dy;
            if (edge == WMSZ_BOTTOM || edge == WMSZ_BOTTOMLEFT || edge == WMSZ_BOTTOMRIGHT)
                r.bottom += dy;
        }
    }
    if (edge == 0) {
        SetWindowPos(h, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    MINMAXINFO mmi{};
    mmi.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    mmi.ptMaxTrackSize = POINT{GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
    mmi.ptMaxSize = mmi.ptMaxTrackSize;
    SendMessage(h, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    int w = std::clamp<int>(r.right - r.left, mmi.ptMinTrackSize.x,
                            std::max(mmi.ptMinTrackSize.x, mmi.ptMaxTrackSize.x));
    int hgt = std::clamp<int>(r.bottom - r.top, mmi.ptMinTrackSize.y,
                              std::max(mmi.ptMinTrackSize.y, mmi.ptMaxTrackSize.y));
    if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT)
        r.left = r.right - w;
    else
        r.right = r.left + w;
    if (edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT)
        r.top = r.bottom - hgt;
    else
        r.bottom = r.top + hgt;
    SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void EndDrag() {
    auto& st = S();
    HWND h;
    {
        Lock lk(st.mu);
        h = st.dragWnd;
        st.dragWnd = nullptr;
    }
    if (h && IsWindow(h))
        SendMessage(h, WM_EXITSIZEMOVE, 0, 0);
}

bool RouteMouse(const std::shared_ptr<ThreadQueue>& q, const RawEvent& ev, MSG* out) {
    auto& st = S();
    POINT pt;
    HWND capture, drag;
    {
        Lock lk(st.mu);
        pt = st.cursor;
        capture = st.capture;
        drag = st.dragWnd;
    }
    if (drag) {
        if (!IsWindow(drag)) {
            Lock lk(st.mu);
            st.dragWnd = nullptr;
        } else {
            bool byDisplay;
            {
                Lock lk(st.mu);
                byDisplay = st.dragByDisplay;
            }
            // The display's window manager moves the window itself; its new
            // place arrives as a configure event.
            if (ev.kind == RawEvent::Move && !byDisplay)
                DragMove(pt);
            if (ev.kind == RawEvent::Button && ev.button == InputButtonLeft && !ev.down)
                EndDrag();
            // The drag swallows the mouse: no client or non-client messages.
            return false;
        }
    }
    LRESULT hit = HTCLIENT;
    HWND hwnd = capture;
    if (hwnd && !IsWindow(hwnd)) {
        Lock lk(st.mu);
        st.capture = hwnd = nullptr;
    }
    if (!hwnd)
        hwnd = HitTest(pt, &hit);
    if (!capture)
        UpdateTracking(hwnd, hit);
    if (!hwnd)
        return false;

    if (ev.kind == RawEvent::Button && ev.down && hit == HTERROR) {
        // A click on a disabled window brings its enabled owned popup (a
        // running dialog) forward.
        HWND top = TopLevelOf(hwnd);
        HWND popup = top ? GetWindow(top, GW_ENABLEDPOPUP) : nullptr;
        if (popup)
            ActivateWindow(popup, WA_CLICKACTIVE);
        return false;
    }
    if (hit == HTERROR || hit == HTNOWHERE)
        return false;

    bool client = hit == HTCLIENT;
    UINT msg;
    WPARAM wp;
    LPARAM lp;
    WPARAM keys;
    {
        Lock lk(st.mu);
        keys = MouseKeyFlagsLocked();
    }
    POINT cpt = ToClient(hwnd, pt);
    if (ev.kind == RawEvent::Move) {
        msg = client ? WM_MOUSEMOVE : WM_NCMOUSEMOVE;
    } else if (ev.kind == RawEvent::Wheel) {
        if (!capture)
            SendMessage(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd),
                        MAKELPARAM(hit, WM_MOUSEWHEEL));
        return Deliver(
            q, out, hwnd, WM_MOUSEWHEEL,
            MAKEWPARAM(static_cast<WORD>(keys), static_cast<WORD>(static_cast<SHORT>(ev.delta))),
            MAKELPARAM(pt.x, pt.y));
    } else {
        static const UINT clientDown[3] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
        static const UINT ncDown[3] = {WM_NCLBUTTONDOWN, WM_NCRBUTTONDOWN, WM_NCMBUTTONDOWN};
        int b = std::clamp(ev.button, 0, 2);
        msg = client ? clientDown[b] : ncDown[b];
        if (!ev.down) {
            msg += 1;
        } else {
            // Activation by click.
            HWND top = TopLevelOf(hwnd);
            if (top && top != GetActiveWindow()) {
                LRESULT ma = SendMessage(hwnd, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top),
                                         MAKELPARAM(hit, msg));
                if (ma == MA_ACTIVATE || ma == MA_ACTIVATEANDEAT) {
                    auto tw = Find(top);
                    if (tw && !(tw->exStyle & WS_EX_NOACTIVATE))
                        ActivateWindow(top, WA_CLICKACTIVE);
                }
                if (ma == MA_ACTIVATEANDEAT || ma == MA_NOACTIVATEANDEAT)
                    return false;
                if (!IsWindow(hwnd))
                    return false;
            }
            // Double clicks for classes that ask for them.
            auto w = Find(hwnd);
            uint64_t now = NowMs();
            Lock lk(st.mu);
            bool dbl = w && (w->cls->style & CS_DBLCLKS) && st.lastClickWnd == hwnd &&
                       st.lastClickButton == b && st.lastClickHit == hit &&
                       now - st.lastClickTime <= GetDoubleClickTime() &&
                       std::abs(pt.x - st.lastClickPos.x) <= 2 &&
                       std::abs(pt.y - st.lastClickPos.y) <= 2;
            if (dbl) {
                msg += 2;
                st.lastClickWnd = nullptr;
            } else {
                st.lastClickWnd = hwnd;
                st.lastClickButton = b;
                st.lastClickTime = now;
                st.lastClickPos = pt;
                st.lastClickHit = hit;
            }
        }
    }
    if (!capture) {
        SendMessage(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(hit, msg));
        if (!IsWindow(hwnd))
            return false;
    }
    if (client) {
        wp = keys;
        lp = MAKELPARAM(cpt.x, cpt.y);
    } else {
        wp = static_cast<WPARAM>(hit);
        lp = MAKELPARAM(pt.x, pt.y);
    }
    return Deliver(q, out, hwnd, msg, wp, lp);
}

LPARAM KeyLParam(UINT vk, bool down, bool wasDown, bool alt) {
    DWORD scan = vk & 0xFF;
    DWORD lp = 1 | (scan << 16);
    if (alt)
        lp |= 1u << 29;
    if (wasDown)
        lp |= 1u << 30;
    if (!down)
        lp |= 1u << 31;
    return static_cast<LPARAM>(lp);
}

void SetKeyLocked(UINT vk, bool down) {
    auto& st = S();
    BYTE& k = st.keys[vk & 0xFF];
    if (down && !(k & 0x80))
        k ^= 1;
    k = down ? (k | 0x80) : (k & ~0x80);
}

void UpdateKeyState(UINT vk, bool down) {
    auto& st = S();
    Lock lk(st.mu);
    SetKeyLocked(vk, down);
    auto generic = [&](UINT l, UINT r, UINT g) {
        if (vk == l || vk == r) {
            bool any = (st.keys[l] & 0x80) || (st.keys[r] & 0x80);
            SetKeyLocked(g, any);
        } else if (vk == g) {
            SetKeyLocked(l, down);
        }
    };
    generic(VK_LSHIFT, VK_RSHIFT, VK_SHIFT);
    generic(VK_LCONTROL, VK_RCONTROL, VK_CONTROL);
    generic(VK_LMENU, VK_RMENU, VK_MENU);
}

bool RouteKey(const std::shared_ptr<ThreadQueue>& q, const RawEvent& ev, MSG* out) {
    auto& st = S();
    bool wasDown;
    {
        Lock lk(st.mu);
        wasDown = (st.keys[ev.vk & 0xFF] & 0x80) != 0;
        if (ev.down) {
            st.keyHasText[ev.vk & 0xFF] = ev.hasText;
            st.keyText[ev.vk & 0xFF] = ev.text;
        }
    }
    UpdateKeyState(ev.vk, ev.down);
    HWND target;
    bool alt, ctrl;
    {
        Lock lk(st.mu);
        target = st.focus;
        alt = (st.keys[VK_MENU] & 0x80) != 0;
        ctrl = (st.keys[VK_CONTROL] & 0x80) != 0;
        if (!target)
            target = st.active;
    }
    if (!target || !IsWindowEnabled(target))
        return false;
    bool sys = (alt && !ctrl) || ev.vk == VK_F10 || ev.vk == VK_MENU || ev.vk == VK_LMENU ||
               ev.vk == VK_RMENU || !GetFocus();
    if ((ev.vk == VK_MENU || ev.vk == VK_LMENU || ev.vk == VK_RMENU) && !ev.down)
        sys = true;
    UINT msg = sys ? (ev.down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (ev.down ? WM_KEYDOWN : WM_KEYUP);
    return Deliver(q, out, target, msg, ev.vk, KeyLParam(ev.vk, ev.down, wasDown, alt));
}

bool RouteText(const std::shared_ptr<ThreadQueue>& q, const RawEvent& ev, MSG* out) {
    HWND target = GetFocus();
    if (!target || !IsWindowEnabled(target) || ev.text.empty())
        return false;
    // The first character is delivered now; the rest follow it through the
    // queue, in order.
    bool returned = Deliver(q, out, target, WM_CHAR, static_cast<WPARAM>(ev.text[0]), 1);
    for (size_t i = 1; i < ev.text.size(); ++i)
        PostMessage(target, WM_CHAR, static_cast<WPARAM>(ev.text[i]), 1);
    return returned;
}

// The mouse is over no window of the program any more.
void RouteLeave() {
    auto& st = S();
    {
        Lock lk(st.mu);
        // While a button is held the pointer belongs to the window that
        // took the press; it hears of the release.
        if (st.capture || st.dragWnd)
            return;
    }
    UpdateTracking(nullptr, HTNOWHERE);
}

} // namespace

bool RouteOneRawEvent(const std::shared_ptr<ThreadQueue>& q, MSG* msg) {
    auto& st = S();
    RawEvent ev;
    {
        Lock lk(st.mu);
        if (st.raw.empty())
            return false;
        ev = std::move(st.raw.front());
        st.raw.pop_front();
        if (ev.kind == RawEvent::Move)
            st.cursor = POINT{ev.x, ev.y};
        if (ev.kind == RawEvent::Button) {
            static const int vks[3] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
            SetKeyLocked(static_cast<UINT>(vks[std::clamp(ev.button, 0, 2)]), ev.down);
        }
        st.generation++;
    }
    switch (ev.kind) {
    case RawEvent::Move:
    case RawEvent::Button:
    case RawEvent::Wheel:
        return RouteMouse(q, ev, msg);
    case RawEvent::Leave:
        RouteLeave();
        return false;
    case RawEvent::Key:
        return RouteKey(q, ev, msg);
    case RawEvent::Text:
        return RouteText(q, ev, msg);
    case RawEvent::SurfaceFocus:
    case RawEvent::SurfaceClose:
    case RawEvent::SurfaceExpose:
    case RawEvent::SurfaceConfigured:
    case RawEvent::DisplayChanged:
        RouteDisplayEvent(ev);
        return false;
    }
    return false;
}

void DropInputStateFor(HWND hwnd) {
    auto& st = S();
    if (st.trackWnd == hwnd) {
        st.trackWnd = nullptr;
        st.trackFlags = 0;
        st.hoverDue = 0;
    }
    if (st.capture == hwnd)
        st.capture = nullptr;
    if (st.dragWnd == hwnd) {
        st.dragWnd = nullptr;
        st.dragByDisplay = false;
    }
    if (st.lastMouseWnd == hwnd)
        st.lastMouseWnd = nullptr;
    if (st.lastClickWnd == hwnd)
        st.lastClickWnd = nullptr;
}

void CheckHover(uint64_t now) {
    auto& st = S();
    HWND h = nullptr;
    bool nc = false;
    POINT pt;
    WPARAM keys;
    LRESULT hit;
    {
        Lock lk(st.mu);
        if (!st.trackWnd || !(st.trackFlags & TME_HOVER) || !st.hoverDue || now < st.hoverDue)
            return;
        h = st.trackWnd;
        nc = (st.trackFlags & TME_NONCLIENT) != 0;
        st.trackFlags &= ~TME_HOVER;
        st.hoverDue = 0;
        if (!st.trackFlags)
            st.trackWnd = nullptr;
        pt = st.cursor;
        keys = MouseKeyFlagsLocked();
        hit = st.lastHit;
    }
    if (nc) {
        PostMessage(h, WM_NCMOUSEHOVER, static_cast<WPARAM>(hit), MAKELPARAM(pt.x, pt.y));
    } else {
        POINT c = ToClient(h, pt);
        PostMessage(h, WM_MOUSEHOVER, keys, MAKELPARAM(c.x, c.y));
    }
}

uint64_t NextHoverDue() {
    auto& st = S();
    Lock lk(st.mu);
    return (st.trackWnd && (st.trackFlags & TME_HOVER)) ? st.hoverDue : 0;
}

void BeginMouseDrag(HWND hwnd, int edge) {
    auto& st = S();
    {
        Lock lk(st.mu);
        if (!(st.keys[VK_LBUTTON] & 0x80) || st.dragWnd)
            return;
        Wnd* w = FindLocked(hwnd);
        if (!w || !IsTopLevel(*w) || w->show != ShowState::Normal)
            return;
        st.dragWnd = hwnd;
        st.dragEdge = edge;
        st.dragStart = st.cursor;
        st.dragStartRect = w->rect;
        st.dragByDisplay = GetBackend().begin_move(w->surface, edge, st.cursor.x, st.cursor.y);
    }
    SendMessage(hwnd, WM_ENTERSIZEMOVE, 0, 0);
}

} // namespace wm

using namespace wm;

void input_mouse_move(int x, int y) {
    RawEvent ev;
    ev.kind = RawEvent::Move;
    ev.x = x;
    ev.y = y;
    PushRaw(std::move(ev));
}

void input_mouse_button(int button, bool down) {
    RawEvent ev;
    ev.kind = RawEvent::Button;
    ev.button = button;
    ev.down = down;
    PushRaw(std::move(ev));
}

void input_wheel(int delta) {
    RawEvent ev;
    ev.kind = RawEvent::Wheel;
    ev.delta = delta;
    PushRaw(std::move(ev));
}

void input_mouse_leave() {
    RawEvent ev;
    ev.kind = RawEvent::Leave;
    PushRaw(std::move(ev));
}

void input_key(UINT vk, bool down, const wchar_t* text) {
    RawEvent ev;
    ev.kind = RawEvent::Key;
    ev.vk = vk & 0xFF;
    ev.down = down;
    ev.hasText = text != nullptr;
    if (text)
        ev.text = text;
    PushRaw(std::move(ev));
}

void input_text(const wchar_t* text) {
    if (!text || !*text)
        return;
    RawEvent ev;
    ev.kind = RawEvent::Text;
    ev.text = text;
    PushRaw(std::move(ev));
}

HWND SetCapture(HWND hwnd) {
    auto& st = S();
    HWND prev;
    {
        Lock lk(st.mu);
        prev = st.capture;
        if (!FindLocked(hwnd))
            return prev;
        st.capture = hwnd;
    }
    if (prev && prev != hwnd && IsWindow(prev))
        SendMessage(prev, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return prev;
}

BOOL ReleaseCapture() {
    auto& st = S();
    HWND prev;
    {
        Lock lk(st.mu);
        prev = st.capture;
        st.capture = nullptr;
    }
    if (prev && IsWindow(prev))
        SendMessage(prev, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() {
    auto& st = S();
    Lock lk(st.mu);
    return st.capture;
}

BOOL TrackMouseEvent(LPTRACKMOUSEEVENT tme) {
    if (!tme || tme->cbSize != sizeof(TRACKMOUSEEVENT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto& st = S();
    if (tme->dwFlags & TME_QUERY) {
        Lock lk(st.mu);
        tme->hwndTrack = st.trackWnd;
        tme->dwFlags = st.trackFlags;
        tme->dwHoverTime = st.hoverTime;
        return TRUE;
    }
    if (!IsWindow(tme->hwndTrack)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    bool postLeave = false;
    bool nc = (tme->dwFlags & TME_NONCLIENT) != 0;
    {
        Lock lk(st.mu);
        if (tme->dwFlags & TME_CANCEL) {
            if (st.trackWnd == tme->hwndTrack) {
                st.trackFlags &= ~(tme->dwFlags & (TME_HOVER | TME_LEAVE));
                if (!(st.trackFlags & (TME_HOVER | TME_LEAVE))) {
                    st.trackWnd = nullptr;
                    st.trackFlags = 0;
                    st.hoverDue = 0;
                }
            }
            return TRUE;
        }
        bool over = st.lastMouseWnd == tme->hwndTrack && ((st.lastHit == HTCLIENT) != nc);
        if (!over) {
            // Already outside: the leave notice comes at once.
            postLeave = (tme->dwFlags & TME_LEAVE) != 0;
        } else {
            if (st.trackWnd != tme->hwndTrack)
                st.trackFlags = 0;
            st.trackWnd = tme->hwndTrack;
            st.trackFlags |= tme->dwFlags & (TME_HOVER | TME_LEAVE | TME_NONCLIENT);
            if (tme->dwFlags & TME_HOVER) {
                st.hoverTime = tme->dwHoverTime == HOVER_DEFAULT ? 400 : tme->dwHoverTime;
                st.hoverOrigin = st.cursor;
                st.hoverDue = NowMs() + st.hoverTime;
            }
        }
    }
    if (postLeave)
        PostMessage(tme->hwndTrack, nc ? WM_NCMOUSELEAVE : WM_MOUSELEAVE, 0, 0);
    else if (tme->dwFlags & TME_HOVER) {
        // Make the input thread's wait end in time for the hover.
        auto w = Find(tme->hwndTrack);
        if (w) {
            std::lock_guard<std::mutex> g(w->queue->m);
            w->queue->Wake();
        }
    }
    return TRUE;
}

SHORT GetKeyState(int vk) {
    auto& st = S();
    Lock lk(st.mu);
    BYTE k = st.keys[vk & 0xFF];
    return static_cast<SHORT>(((k & 0x80) ? 0xFF80 : 0) | (k & 1));
}

SHORT GetAsyncKeyState(int vk) {
    auto& st = S();
    Lock lk(st.mu);
    return (st.keys[vk & 0xFF] & 0x80) ? static_cast<SHORT>(0x8000) : 0;
}

BOOL GetCursorPos(LPPOINT pt) {
    if (!pt)
        return FALSE;
    auto& st = S();
    Lock lk(st.mu);
    *pt = st.cursor;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    input_mouse_move(x, y);
    return TRUE;
}

UINT GetDoubleClickTime() {
    return 500;
}

HWND WindowFromPoint(POINT pt) {
    // Windows answering HTTRANSPARENT let the point through, as for input.
    LRESULT hit;
    return HitTest(pt, &hit);
}

// ---- Keys to characters ------------------------------------------------------------

namespace {

wchar_t CharForKey(UINT vk, bool shift, bool caps, bool ctrl) {
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl)
            return static_cast<wchar_t>(vk - 'A' + 1);
        bool upper = shift != caps;
        return static_cast<wchar_t>(upper ? vk : vk + 32);
    }
    if (ctrl)
        return 0;
    if (vk >= '0' && vk <= '9') {
        static const wchar_t shifted[] = L")!@#$%^&*(";
        return shift ? shifted[vk - '0'] : static_cast<wchar_t>(vk);
    }
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9)
        return static_cast<wchar_t>('0' + vk - VK_NUMPAD0);
    switch (vk) {
    case VK_SPACE:
        return L' ';
    case VK_RETURN:
        return L'\r';
    case VK_BACK:
        return L'\b';
    case VK_TAB:
        return L'\t';
    case VK_ESCAPE:
        return 0x1B;
    case VK_MULTIPLY:
        return L'*';
    case VK_ADD:
        return L'+';
    case VK_SUBTRACT:
        return L'-';
    case VK_DECIMAL:
        return L'.';
    case VK_DIVIDE:
        return L'/';
    case VK_OEM_1:
        return shift ? L':' : L';';
    case VK_OEM_PLUS:
        return shift ? L'+' : L'=';
    case VK_OEM_COMMA:
        return shift ? L'<' : L',';
    case VK_OEM_MINUS:
        return shift ? L'_' : L'-';
    case VK_OEM_PERIOD:
        return shift ? L'>' : L'.';
    case VK_OEM_2:
        return shift ? L'?' : L'/';
    case VK_OEM_3:
        return shift ? L'~' : L'`';
    case VK_OEM_4:
        return shift ? L'{' : L'[';
    case VK_OEM_5:
        return shift ? L'|' : L'\\';
    case VK_OEM_6:
        return shift ? L'}' : L']';
    case VK_OEM_7:
        return shift ? L'"' : L'\'';
    default:
        return 0;
    }
}

} // namespace

BOOL TranslateMessage(const MSG* msg) {
    if (!msg)
        return FALSE;
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN && msg->message != WM_KEYUP &&
        msg->message != WM_SYSKEYUP)
        return FALSE;
    if (msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP)
        return TRUE;
    bool shift = GetKeyState(VK_SHIFT) < 0;
    bool caps = (GetKeyState(VK_CAPITAL) & 1) != 0;
    bool ctrl = GetKeyState(VK_CONTROL) < 0;
    wchar_t ch =
        CharForKey(static_cast<UINT>(msg->wParam), shift, caps, ctrl && msg->message == WM_KEYDOWN);
    {
        // The keyboard layout's own character, when the backend gave one.
        auto& st = S();
        Lock lk(st.mu);
        UINT vk = static_cast<UINT>(msg->wParam) & 0xFF;
        if (st.keyHasText[vk])
            ch = st.keyText[vk].empty() ? 0 : st.keyText[vk][0];
    }
    if (!ch)
        return TRUE;
    UINT charMsg = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    auto w = Find(msg->hwnd);
    if (!w)
        return FALSE;
    MSG m{};
    m.hwnd = msg->hwnd;
    m.message = charMsg;
    m.wParam = ch;
    m.lParam = msg->lParam;
    // The character is the very next message the thread retrieves.
    std::lock_guard<std::mutex> g(w->queue->m);
    w->queue->posted.push_front(m);
    w->queue->Wake();
    return TRUE;
}

// ---- Cursors ---------------------------------------------------------------------------

namespace {

constexpr uintptr_t kCursorBase = 0x7f000000;

BackendCursor CursorKind(HCURSOR c) {
    switch (reinterpret_cast<uintptr_t>(c) - kCursorBase) {
    case 32649:
        return BackendCursor::Hand;
    case 32513:
        return BackendCursor::IBeam;
    case 32514:
        return BackendCursor::Wait;
    case 32644:
        return BackendCursor::SizeWE;
    case 32645:
        return BackendCursor::SizeNS;
    case 32642:
        return BackendCursor::SizeNWSE;
    case 32643:
        return BackendCursor::SizeNESW;
    case 32646:
        return BackendCursor::SizeAll;
    case 32648:
        return BackendCursor::No;
    default:
        return BackendCursor::Arrow;
    }
}

} // namespace

HCURSOR LoadCursor(HINSTANCE instance, LPCWSTR name) {
    if (instance || !IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    uintptr_t id = reinterpret_cast<uintptr_t>(name);
    switch (id) {
    case 32512:
    case 32513:
    case 32514:
    case 32515:
    case 32642:
    case 32643:
    case 32644:
    case 32645:
    case 32646:
    case 32648:
    case 32649:
        return reinterpret_cast<HCURSOR>(kCursorBase + id);
    default:
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
}

HCURSOR SetCursor(HCURSOR cursor) {
    auto& st = S();
    HCURSOR prev;
    {
        Lock lk(st.mu);
        prev = st.currentCursor;
        st.currentCursor = cursor;
    }
    if (prev != cursor)
        GetBackend().set_cursor(CursorKind(cursor));
    return prev;
}

HCURSOR GetCursor() {
    auto& st = S();
    Lock lk(st.mu);
    return st.currentCursor;
}

} // namespace plat

namespace plat {

// Icons: executables here carry no icon resources, so an icon is never
// found; callers see the failure Win32 gives for a missing resource. A
// cursor asked for through LoadImage is the system cursor of that number.
HICON LoadIcon(HINSTANCE, LPCWSTR) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HANDLE LoadImage(HINSTANCE instance, LPCWSTR name, UINT type, int, int, UINT) {
    if (type == IMAGE_CURSOR && !instance)
        return LoadCursor(nullptr, name);
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

} // namespace plat
