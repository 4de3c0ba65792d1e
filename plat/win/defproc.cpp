// DefWindowProc: what a window does with a message its procedure passes on.
#include "plat/gfx/gdi.h"
#include "plat/win/wm_internal.h"

namespace plat {

using namespace wm;

namespace {

LRESULT SizeCursorFor(LRESULT hit) {
    LPCWSTR id = nullptr;
    switch (hit) {
    case HTLEFT:
    case HTRIGHT:
        id = IDC_SIZEWE;
        break;
    case HTTOP:
    case HTBOTTOM:
        id = IDC_SIZENS;
        break;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT:
        id = IDC_SIZENWSE;
        break;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT:
        id = IDC_SIZENESW;
        break;
    default:
        return FALSE;
    }
    SetCursor(LoadCursor(nullptr, id));
    return TRUE;
}

LRESULT OnSysCommand(HWND hwnd, WPARAM wParam) {
    switch (wParam & 0xFFF0) {
    case SC_CLOSE:
        SendMessage(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case SC_MINIMIZE:
        ShowWindow(hwnd, SW_MINIMIZE);
        return 0;
    case SC_MAXIMIZE:
        ShowWindow(hwnd, SW_MAXIMIZE);
        return 0;
    case SC_RESTORE:
        ShowWindow(hwnd, SW_RESTORE);
        return 0;
    case SC_MOVE:
        BeginMouseDrag(hwnd, 0);
        return 0;
    case SC_SIZE: {
        int edge = static_cast<int>(wParam & 0xF);
        if (edge >= WMSZ_LEFT && edge <= WMSZ_BOTTOMRIGHT)
            BeginMouseDrag(hwnd, edge);
        return 0;
    }
    default:
        return 0;
    }
}

LRESULT OnNcLButtonDown(HWND hwnd, WPARAM hit) {
    HWND top = TopLevelOf(hwnd);
    if (!top)
        return 0;
    switch (static_cast<LRESULT>(hit)) {
    case HTCAPTION:
        SendMessage(top, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
        break;
    case HTLEFT:
        SendMessage(top, WM_SYSCOMMAND, SC_SIZE | WMSZ_LEFT, 0);
        break;
    case HTRIGHT:
        SendMessage(top, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0);
        break;
    case HTTOP:
        SendMessage(top, WM_SYSCOMMAND, SC_SIZE | WMSZ_TOP, 0);
        break;
    case HTTOPLEFT:
        SendMessage(top, WM_SYSCOMMAND, SC_SIZE | WMSZ_TOPLEFT, 0);
        break;
    case HTTOPRIGHT:
        SendMessage(top, WM_SYSCOMMAND, SC_SIZE | WMSZ_TOPRIGHT, 0);
        break;
    case HTBOTTOM:
        SendMessage(top, WM_SYSCOMMAND, SC_SIZE | WMSZ_BOTTOM, 0);
        break;
    case HTBOTTOMLEFT:
        SendMessage(top, WM_SYSCOMMAND, SC_SIZE | WMSZ_BOTTOMLEFT, 0);
        break;
    case HTBOTTOMRIGHT:
        SendMessage(top, WM_SYSCOMMAND, SC_SIZE | WMSZ_BOTTOMRIGHT, 0);
        break;
    default:
        break;
    }
    return 0;
}

} // namespace

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<CREATESTRUCT*>(lParam);
        if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) {
            auto& st = S();
            Lock lk(st.mu);
            if (Wnd* w = FindLocked(hwnd))
                w->title = cs->lpszName;
        }
        return TRUE;
    }
    case WM_NCCALCSIZE:
        return 0; // the whole window is client area
    case WM_NCHITTEST: {
        RECT r;
        if (!GetWindowRect(hwnd, &r))
            return HTNOWHERE;
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        return PtInRect(&r, pt) ? HTCLIENT : HTNOWHERE;
    }
    case WM_NCACTIVATE:
        return TRUE;
    case WM_NCPAINT:
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SYSCOMMAND:
        return OnSysCommand(hwnd, wParam);
    case WM_NCLBUTTONDOWN:
        return OnNcLButtonDown(hwnd, wParam);
    case WM_NCLBUTTONDBLCLK:
        if (static_cast<LRESULT>(wParam) == HTCAPTION) {
            HWND top = TopLevelOf(hwnd);
            auto w = Find(top);
            if (w && (w->style & WS_MAXIMIZEBOX))
                SendMessage(top, WM_SYSCOMMAND, IsZoomed(top) ? SC_RESTORE : SC_MAXIMIZE, 0);
        }
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == static_cast<WPARAM>(VK_F4) && (lParam & (1 << 29))) {
            HWND top = TopLevelOf(hwnd);
            auto w = Find(top);
            if (w && !(w->cls->style & CS_NOCLOSE))
                PostMessage(top, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        return 0;
    case WM_SETCURSOR: {
        // A child asks its parent first.
        HWND parent = GetParent(hwnd);
        auto w = Find(hwnd);
        if (w && (w->style & WS_CHILD) && parent &&
            SendMessage(parent, WM_SETCURSOR, wParam, lParam))
            return TRUE;
        LRESULT hit = static_cast<SHORT>(LOWORD(lParam));
        if (hit == HTCLIENT) {
            HCURSOR c = w ? w->cls->cursor : nullptr;
            SetCursor(c ? c : LoadCursor(nullptr, IDC_ARROW));
            return c ? TRUE : FALSE;
        }
        if (SizeCursorFor(hit))
            return TRUE;
        SetCursor(LoadCursor(nullptr, IDC_ARROW));
        return FALSE;
    }
    case WM_MOUSEACTIVATE: {
        auto w = Find(hwnd);
        if (w && (w->style & WS_CHILD)) {
            LRESULT r = SendMessage(GetParent(hwnd), WM_MOUSEACTIVATE, wParam, lParam);
            if (r)
                return r;
        }
        if (w && (w->exStyle & WS_EX_NOACTIVATE))
            return MA_NOACTIVATE;
        return MA_ACTIVATE;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam))
            SetFocus(hwnd);
        return 0;
    case WM_RBUTTONUP: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(hwnd, &pt);
        SendMessage(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(pt.x, pt.y));
        return 0;
    }
    case WM_NCRBUTTONUP:
        SendMessage(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), lParam);
        return 0;
    case WM_CONTEXTMENU:
    case WM_MOUSEWHEEL: {
        auto w = Find(hwnd);
        if (w && (w->style & WS_CHILD))
            return SendMessage(GetParent(hwnd), msg, wParam, lParam);
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        if (BeginPaint(hwnd, &ps))
            EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        auto w = Find(hwnd);
        HBRUSH brush = w ? w->cls->background : nullptr;
        if (!brush)
            return 0;
        HDC dc = reinterpret_cast<HDC>(wParam);
        RECT rc;
        GetClientRect(hwnd, &rc);
        uintptr_t v = reinterpret_cast<uintptr_t>(brush);
        if (v <= 31) {
            // A system colour index + 1: window white, frame black, face grey.
            HBRUSH b = CreateSolidBrush(v - 1 == COLOR_WINDOWFRAME ? RGB(0, 0, 0)
                                        : v - 1 == COLOR_BTNFACE   ? RGB(240, 240, 240)
                                                                   : RGB(255, 255, 255));
            FillRect(dc, &rc, b);
            DeleteObject(b);
        } else {
            FillRect(dc, &rc, brush);
        }
        return 1;
    }
    case WM_WINDOWPOSCHANGED: {
        auto* wp = reinterpret_cast<WINDOWPOS*>(lParam);
        if (!wp)
            return 0;
        if (!(wp->flags & 0x0800)) { // SWP_NOCLIENTMOVE
            POINT o{0, 0};
            auto w = Find(hwnd);
            if (w && (w->style & WS_CHILD)) {
                Lock lk(S().mu);
                o = POINT{w->rect.left + w->client.left, w->rect.top + w->client.top};
            } else {
                ClientToScreen(hwnd, &o);
            }
            SendMessage(hwnd, WM_MOVE, 0, MAKELPARAM(o.x, o.y));
        }
        if (!(wp->flags & 0x1000)) { // SWP_NOCLIENTSIZE
            RECT cr;
            GetClientRect(hwnd, &cr);
            WPARAM kind = IsZoomed(hwnd)   ? SIZE_MAXIMIZED
                          : IsIconic(hwnd) ? SIZE_MINIMIZED
                                           : SIZE_RESTORED;
            SendMessage(hwnd, WM_SIZE, kind, MAKELPARAM(cr.right, cr.bottom));
        }
        return 0;
    }
    case WM_SETTEXT: {
        LockedWnd w(hwnd);
        if (!w)
            return FALSE;
        auto text = reinterpret_cast<LPCWSTR>(lParam);
        w->title = text ? text : L"";
        if (w->surface)
            GetBackend().set_title(w->surface, w->title);
        return TRUE;
    }
    case WM_GETTEXT:
        return GetWindowText(hwnd, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
        return GetWindowTextLength(hwnd);
    case WM_SETICON: {
        LockedWnd w(hwnd);
        if (!w)
            return 0;
        HICON& slot = wParam == ICON_BIG ? w->iconBig : w->iconSmall;
        HICON old = slot;
        slot = reinterpret_cast<HICON>(lParam);
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_GETICON: {
        auto w = Find(hwnd);
        if (!w)
            return 0;
        return reinterpret_cast<LRESULT>(wParam == ICON_BIG ? w->iconBig : w->iconSmall);
    }
    case WM_CANCELMODE:
        if (GetCapture() == hwnd)
            ReleaseCapture();
        return 0;
    case WM_GETMINMAXINFO:
    case WM_SHOWWINDOW:
    default:
        return 0;
    }
}

} // namespace plat
