// CWindowWnd: class registration, creation, the procedures that carry
// messages into the object, subclassing, the modal loop and the small window
// operations.
#include "ui/UIWindow.h"

#include "plat/win/modal.h"
#include "ui/UIManager.h"

namespace Veneer {

namespace {

// The window property that holds the object of a superclassed window.
constexpr LPCTSTR kObjectProp = L"WndX";

} // namespace

LPCTSTR CWindowWnd::GetSuperClassName() const {
    return nullptr;
}

UINT CWindowWnd::GetClassStyle() const {
    return 0;
}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return plat::CallWindowProc(m_OldWndProc, m_hWnd, uMsg, wParam, lParam);
}

void CWindowWnd::OnFinalMessage(HWND /*hWnd*/) {}

bool CWindowWnd::RegisterWindowClass() {
    WNDCLASS wc{};
    wc.style = GetClassStyle();
    wc.lpfnWndProc = CWindowWnd::__WndProc;
    wc.hInstance = CPaintManagerUI::GetInstance();
    wc.hCursor = plat::LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = GetWindowClassName();
    ATOM ret = plat::RegisterClass(&wc);
    return ret != 0 || plat::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWindowWnd::RegisterSuperclass() {
    WNDCLASSEX wc{};
    wc.cbSize = sizeof(WNDCLASSEX);
    if (!plat::GetClassInfoEx(nullptr, GetSuperClassName(), &wc) &&
        !plat::GetClassInfoEx(CPaintManagerUI::GetInstance(), GetSuperClassName(), &wc))
        return false;
    m_OldWndProc = wc.lpfnWndProc;
    wc.lpfnWndProc = CWindowWnd::__ControlProc;
    wc.hInstance = CPaintManagerUI::GetInstance();
    wc.lpszClassName = GetWindowClassName();
    ATOM ret = plat::RegisterClassEx(&wc);
    return ret != 0 || plat::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle,
                        const RECT rc, HMENU hMenu) {
    return Create(hwndParent, pstrName, dwStyle, dwExStyle, rc.left, rc.top, rc.right - rc.left,
                  rc.bottom - rc.top, hMenu);
}

HWND CWindowWnd::CreateSkinWindow(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle,
                                  DWORD dwExStyle) {
    return Create(hwndParent, pstrName, dwStyle, dwExStyle, 0, 0, 0, 0, nullptr);
}

HWND CWindowWnd::Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, int x,
                        int y, int cx, int cy, HMENU hMenu) {
    if (GetSuperClassName() != nullptr && !RegisterSuperclass())
        return nullptr;
    if (GetSuperClassName() == nullptr && !RegisterWindowClass())
        return nullptr;
    m_hWnd = plat::CreateWindowEx(dwExStyle, GetWindowClassName(), pstrName, dwStyle, x, y, cx, cy,
                                  hwndParent, hMenu, CPaintManagerUI::GetInstance(), this);
    return m_hWnd;
}

HWND CWindowWnd::Subclass(HWND hWnd) {
    WNDPROC old = reinterpret_cast<WNDPROC>(plat::SetWindowLongPtr(
        hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CWindowWnd::__WndProc)));
    if (old == nullptr)
        return nullptr;
    m_OldWndProc = old;
    m_bSubclassed = true;
    m_hWnd = hWnd;
    plat::SetWindowLongPtr(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return m_hWnd;
}

void CWindowWnd::Unsubclass() {
    if (!plat::IsWindow(m_hWnd) || !m_bSubclassed)
        return;
    plat::SetWindowLongPtr(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_OldWndProc));
    m_OldWndProc = plat::DefWindowProc;
    m_bSubclassed = false;
}

void CWindowWnd::ShowWindow(bool bShow, bool bTakeFocus) {
    if (!plat::IsWindow(m_hWnd))
        return;
    plat::ShowWindow(m_hWnd, bShow ? (bTakeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal() {
    HWND hWnd = m_hWnd;
    if (!plat::IsWindow(hWnd))
        return 0;
    HWND hWndOwner = plat::GetWindow(hWnd, GW_OWNER);
    plat::ShowWindow(hWnd, SW_SHOWNORMAL);
    plat::ModalLoop loop(hWndOwner);
    UINT nRet = 0;
    // The handle is kept: m_hWnd goes null with the window's last message.
    loop.Run([hWnd] { return plat::IsWindow(hWnd) != FALSE; },
             [&](const MSG& msg) {
                 if (msg.message == WM_CLOSE && msg.hwnd == hWnd) {
                     nRet = static_cast<UINT>(msg.wParam);
                     // Before the close is handled, so that activation
                     // returns to an enabled owner when the window goes.
                     loop.ReleaseOwner();
                 }
                 return CPaintManagerUI::TranslateMessage(&msg);
             });
    return nRet;
}

void CWindowWnd::Close(UINT nRet) {
    if (!plat::IsWindow(m_hWnd))
        return;
    plat::PostMessage(m_hWnd, WM_CLOSE, static_cast<WPARAM>(nRet), 0);
}

void CWindowWnd::CenterWindow() {
    if (!plat::IsWindow(m_hWnd))
        return;
    RECT rcDlg = {0, 0, 0, 0};
    plat::GetWindowRect(m_hWnd, &rcDlg);
    HWND hWndCenter = plat::GetWindow(m_hWnd, GW_OWNER);
    MONITORINFO oMonitor{};
    oMonitor.cbSize = sizeof(oMonitor);
    plat::GetMonitorInfo(plat::MonitorFromWindow(hWndCenter != nullptr ? hWndCenter : m_hWnd,
                                                 MONITOR_DEFAULTTONEAREST),
                         &oMonitor);
    const RECT rcWork = oMonitor.rcWork;
    RECT rcCenter = rcWork;
    if (hWndCenter != nullptr)
        plat::GetWindowRect(hWndCenter, &rcCenter);
    const int DlgWidth = rcDlg.right - rcDlg.left;
    const int DlgHeight = rcDlg.bottom - rcDlg.top;
    int xLeft = (rcCenter.left + rcCenter.right) / 2 - DlgWidth / 2;
    int yTop = (rcCenter.top + rcCenter.bottom) / 2 - DlgHeight / 2;
    if (xLeft < rcWork.left)
        xLeft = rcWork.left;
    else if (xLeft + DlgWidth > rcWork.right)
        xLeft = rcWork.right - DlgWidth;
    if (yTop < rcWork.top)
        yTop = rcWork.top;
    else if (yTop + DlgHeight > rcWork.bottom)
        yTop = rcWork.bottom - DlgHeight;
    plat::SetWindowPos(m_hWnd, nullptr, xLeft, yTop, -1, -1,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetIcon(UINT nRes) {
    const int cx = (plat::GetSystemMetrics(SM_CXICON) + 15) & ~15;
    const int cy = (plat::GetSystemMetrics(SM_CYICON) + 15) & ~15;
    HICON hIcon =
        static_cast<HICON>(plat::LoadImage(CPaintManagerUI::GetInstance(), MAKEINTRESOURCE(nRes),
                                           IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon));
    hIcon =
        static_cast<HICON>(plat::LoadImage(CPaintManagerUI::GetInstance(), MAKEINTRESOURCE(nRes),
                                           IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
}

void CWindowWnd::ResizeClient(int cx, int cy) {
    RECT rc = {0, 0, 0, 0};
    if (!plat::GetClientRect(m_hWnd, &rc))
        return;
    if (cx != -1)
        rc.right = cx;
    if (cy != -1)
        rc.bottom = cy;
    const DWORD dwStyle = static_cast<DWORD>(plat::GetWindowLongPtr(m_hWnd, GWL_STYLE));
    const DWORD dwExStyle = static_cast<DWORD>(plat::GetWindowLongPtr(m_hWnd, GWL_EXSTYLE));
    const BOOL bMenu = !(dwStyle & WS_CHILD) && plat::GetMenu(m_hWnd) != nullptr;
    if (!plat::AdjustWindowRectEx(&rc, dwStyle, bMenu, dwExStyle))
        return;
    plat::SetWindowPos(m_hWnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                       SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return plat::SendMessage(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return plat::PostMessage(m_hWnd, uMsg, wParam, lParam);
}

// Both window procedures: bind at WM_NCCREATE, route every message to the
// object, and unbind after WM_NCDESTROY. `slot` keeps the object pointer
// (the user-data slot or the "WndX" property).
template <class Slot>
LRESULT CWindowWnd::Route(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, Slot slot) {
    CWindowWnd* pThis = nullptr;
    if (uMsg == WM_NCCREATE) {
        auto* lpcs = reinterpret_cast<CREATESTRUCT*>(lParam);
        pThis = static_cast<CWindowWnd*>(lpcs->lpCreateParams);
        pThis->m_hWnd = hWnd;
        slot.Set(hWnd, pThis);
    } else {
        pThis = slot.Get(hWnd);
        if (uMsg == WM_NCDESTROY && pThis != nullptr) {
            LRESULT lRes = plat::CallWindowProc(pThis->m_OldWndProc, hWnd, uMsg, wParam, lParam);
            slot.Set(hWnd, nullptr);
            if (pThis->m_bSubclassed)
                pThis->Unsubclass();
            pThis->m_hWnd = nullptr;
            // The last time the window touches the object, which may go
            // here; while a handler of the object runs, it waits for it.
            if (pThis->m_nMessageDepth > 0)
                pThis->m_hWndFinalPending = hWnd;
            else
                pThis->OnFinalMessage(hWnd);
            return lRes;
        }
    }
    if (pThis == nullptr)
        return plat::DefWindowProc(hWnd, uMsg, wParam, lParam);
    ++pThis->m_nMessageDepth;
    const LRESULT lRes = pThis->HandleMessage(uMsg, wParam, lParam);
    if (--pThis->m_nMessageDepth == 0 && pThis->m_hWndFinalPending != nullptr) {
        HWND hWndGone = pThis->m_hWndFinalPending;
        pThis->m_hWndFinalPending = nullptr;
        pThis->OnFinalMessage(hWndGone);
    }
    return lRes;
}

namespace {

struct UserDataSlot {
    static CWindowWnd* Get(HWND h) {
        return reinterpret_cast<CWindowWnd*>(plat::GetWindowLongPtr(h, GWLP_USERDATA));
    }
    static void Set(HWND h, CWindowWnd* p) {
        plat::SetWindowLongPtr(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(p));
    }
};

struct PropertySlot {
    static CWindowWnd* Get(HWND h) {
        return static_cast<CWindowWnd*>(plat::GetProp(h, kObjectProp));
    }
    static void Set(HWND h, CWindowWnd* p) {
        plat::SetProp(h, kObjectProp, static_cast<HANDLE>(p));
    }
};

} // namespace

LRESULT CWindowWnd::__WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return Route(hWnd, uMsg, wParam, lParam, UserDataSlot{});
}

LRESULT CWindowWnd::__ControlProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return Route(hWnd, uMsg, wParam, lParam, PropertySlot{});
}

} // namespace Veneer
