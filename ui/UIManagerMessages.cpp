// The message side of CPaintManagerUI: native messages of the bound window
// become control events (hover, press and key tracking, capture, focus and
// Tab, timers, tooltips, the wheel), and every queued message of the
// thread's loops is pre-translated here first.
//
// Sections: manager list and loop, message handling, mouse, pre-translation,
// filters and capture.
#include "plat/sys/clock.h"
#include "plat/win/commctrl.h"
#include "plat/win/winuser.h"
#include "ui/UIControl.h"
#include "ui/UIManager.h"
#include "ui/UIRichEdit.h"
#include "ui/UIShadow.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace Veneer {

namespace {

// Messages reflected to the child window that sent them.
constexpr UINT kReflect = 0x2000;

POINT PointOf(LPARAM lParam) {
    return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

struct ShortcutSearch {
    wchar_t ch;
    bool bPickNext;
};

// A visible control whose shortcut matches; a matching label passes the
// choice on to the next control of the walk that is not a label.
CControlUI* FindControlFromShortcut(CControlUI* pThis, void* pData) {
    if (!pThis->IsVisible())
        return nullptr;
    auto* search = static_cast<ShortcutSearch*>(pData);
    if (search->ch == static_cast<wchar_t>(std::towupper(pThis->GetShortcut())))
        search->bPickNext = true;
    if (std::wcsstr(pThis->GetClass(), L"LabelUI") != nullptr)
        return nullptr;
    return search->bPickNext ? pThis : nullptr;
}

} // namespace

// =================================================== manager list and loop

struct CPaintManagerUI::DispatchState {
    CPaintManagerUI* pManager;
    int nDepth = 0;
    bool bCleanupDeferred = false;
};

CPaintManagerUI::DispatchScope::DispatchScope(CPaintManagerUI& pm) {
    if (pm.m_pDispatch == nullptr)
        pm.m_pDispatch = std::make_shared<DispatchState>(DispatchState{&pm});
    ++pm.m_pDispatch->nDepth;
    m_pState = pm.m_pDispatch;
}

CPaintManagerUI::DispatchScope::~DispatchScope() {
    std::shared_ptr<DispatchState> state = m_pState.lock();
    if (state == nullptr || --state->nDepth > 0 || !state->bCleanupDeferred)
        return;
    state->bCleanupDeferred = false;
    state->pManager->PostCleanupMessage();
}

std::vector<CPaintManagerUI*>& CPaintManagerUI::Managers() {
    static std::vector<CPaintManagerUI*> managers;
    return managers;
}

CShadowUI* CPaintManagerUI::GetShadow() {
    if (m_pShadow == nullptr)
        m_pShadow = new CShadowUI;
    return m_pShadow;
}

// Lets the shadow, which has the skin's settings, make its window for the
// bound window (AttachDialog).
void CPaintManagerUI::CreateShadow() {
    if (m_hWndPaint != nullptr)
        GetShadow()->Create(this);
}

void CPaintManagerUI::TermMessageSide() {
    delete m_pShadow;
    m_pShadow = nullptr;
    RemoveFirst(Managers(), this);
    if (m_hwndTooltip != nullptr && plat::IsWindow(m_hwndTooltip))
        plat::DestroyWindow(m_hwndTooltip);
    m_hwndTooltip = nullptr;
}

void CPaintManagerUI::MessageLoop() {
    MSG msg{};
    while (plat::GetMessage(&msg, nullptr, 0, 0) > 0) {
        if (!CPaintManagerUI::TranslateMessage(&msg)) {
            plat::TranslateMessage(&msg);
            plat::DispatchMessage(&msg);
        }
    }
}

WORD CPaintManagerUI::MapKeyState() {
    WORD wState = 0;
    if (plat::GetKeyState(VK_LBUTTON) < 0)
        wState |= MK_LBUTTON;
    if (plat::GetKeyState(VK_RBUTTON) < 0)
        wState |= MK_RBUTTON;
    if (plat::GetKeyState(VK_SHIFT) < 0)
        wState |= MK_SHIFT;
    if (plat::GetKeyState(VK_CONTROL) < 0)
        wState |= MK_CONTROL;
    if (plat::GetKeyState(VK_MENU) < 0)
        wState |= UIKEY_ALT;
    return wState;
}

// ===================================================== message handling

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    if (m_hWndPaint == nullptr)
        return false;
    DispatchScope scope(*this);
    DeliverQueuedNotifications();
    if (SendFiltered(m_aMessageFilters, uMsg, wParam, lParam, lRes))
        return true;

    TEventUI event;
    event.dwTimestamp = plat::GetTickCount();
    switch (uMsg) {
    case WM_APP + 1:
        // Inside another dispatch (this one is the innermost scope) a queued
        // control may still be on the stack: the clean-up waits for it.
        if (m_pDispatch->nDepth > 1)
            m_pDispatch->bCleanupDeferred = true;
        else
            ProcessDelayedCleanup();
        break;
    case WM_CLOSE: {
        // The window goes: end any hover and press (a close never clicks),
        // drop the focus.
        event.ptMouse = m_ptLastMousePos;
        if (m_pEventHover != nullptr) {
            event.Type = UIEVENT_MOUSELEAVE;
            event.pSender = m_pEventHover;
            m_pEventHover->Event(event);
        }
        CancelPress();
        SetFocus(nullptr);
        HWND hwndOwner = plat::GetWindow(m_hWndPaint, GW_OWNER);
        if (hwndOwner != nullptr)
            plat::SetFocus(hwndOwner);
        break;
    }
    case WM_ERASEBKGND:
        lRes = 1;
        return true;
    case WM_PAINT:
        PaintWindow();
        lRes = 0;
        return true;
    case WM_SIZE:
        if (m_pFocus != nullptr) {
            event.Type = UIEVENT_WINDOWSIZE;
            event.pSender = m_pFocus;
            m_pFocus->Event(event);
        }
        if (m_pRoot != nullptr)
            m_pRoot->NeedUpdate();
        lRes = 0;
        return true;
    case WM_TIMER:
        // Control timers cycle through native ids 0-239; 241 is the caret's.
        if (wParam == kCaretTimer)
            BlinkCaret();
        else
            FireTimer(static_cast<UINT>(wParam));
        break;
    case WM_SETCURSOR: {
        if (LOWORD(lParam) != HTCLIENT)
            break;
        if (m_bMouseCapture) {
            lRes = TRUE;
            return true;
        }
        POINT pt = {0, 0};
        plat::GetCursorPos(&pt);
        plat::ScreenToClient(m_hWndPaint, &pt);
        CControlUI* pControl = FindControl(pt);
        if (pControl == nullptr || (pControl->GetControlFlags() & UIFLAG_SETCURSOR) == 0)
            break;
        event.Type = UIEVENT_SETCURSOR;
        event.wParam = wParam;
        event.lParam = lParam;
        event.ptMouse = pt;
        event.wKeyState = MapKeyState();
        pControl->Event(event);
        lRes = TRUE;
        return true;
    }
    case WM_GETMINMAXINFO: {
        auto* lpMMI = reinterpret_cast<MINMAXINFO*>(lParam);
        if (lpMMI == nullptr)
            break;
        if (m_szMinWindow.cx > 0)
            lpMMI->ptMinTrackSize.x = m_szMinWindow.cx;
        if (m_szMinWindow.cy > 0)
            lpMMI->ptMinTrackSize.y = m_szMinWindow.cy;
        if (m_szMaxWindow.cx > 0)
            lpMMI->ptMaxTrackSize.x = m_szMaxWindow.cx;
        if (m_szMaxWindow.cy > 0)
            lpMMI->ptMaxTrackSize.y = m_szMaxWindow.cy;
        break;
    }
    case WM_NOTIFY: {
        auto* lpNMHDR = reinterpret_cast<NMHDR*>(lParam);
        if (lpNMHDR != nullptr)
            lRes = plat::SendMessage(lpNMHDR->hwndFrom, kReflect + uMsg, wParam, lParam);
        return true;
    }
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        if (lParam == 0)
            break;
        HWND hWndChild = reinterpret_cast<HWND>(lParam);
        lRes = plat::SendMessage(hWndChild, kReflect + uMsg, wParam, lParam);
        return true;
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_RESTORE)
            m_bRestorePending = true;
        lRes = 0;
        return true;
    case WM_MOUSEMOVE:
        OnMouseMove(PointOf(lParam), wParam, lParam);
        break;
    case WM_MOUSEHOVER:
        if (OnMouseHover(PointOf(lParam), wParam, lParam)) {
            lRes = 0;
            return true;
        }
        break;
    case WM_MOUSELEAVE:
        HideTooltip();
        // A move outside every control lets the hovered control go.
        if (m_bMouseTracking)
            plat::SendMessage(m_hWndPaint, WM_MOUSEMOVE, 0, static_cast<LPARAM>(-1));
        m_bMouseTracking = false;
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: {
        plat::SetFocus(m_hWndPaint);
        POINT pt = PointOf(lParam);
        m_ptLastMousePos = pt;
        CControlUI* pControl = FindControl(pt);
        if (pControl == nullptr || pControl->GetManager() != this)
            break;
        if (uMsg == WM_LBUTTONDOWN) {
            m_pEventClick = pControl;
            pControl->SetFocus();
            SetCapture();
            event.Type = UIEVENT_BUTTONDOWN;
        } else if (uMsg == WM_RBUTTONDOWN) {
            pControl->SetFocus();
            SetCapture();
            event.Type = UIEVENT_RBUTTONDOWN;
        } else {
            // A double click is not a focus change.
            SetCapture();
            event.Type = UIEVENT_DBLCLICK;
        }
        event.pSender = pControl;
        event.ptMouse = pt;
        event.wParam = wParam;
        event.lParam = lParam;
        event.wKeyState = static_cast<WORD>(wParam);
        pControl->Event(event);
        if (uMsg != WM_LBUTTONDOWN)
            m_pEventClick = pControl;
        break;
    }
    case WM_CAPTURECHANGED:
        // Another window took the mouse, or it was released under us: the
        // press ends without a click. (Our own release clears the flag
        // before it gives the capture up.)
        if (m_bMouseCapture && reinterpret_cast<HWND>(lParam) != m_hWndPaint) {
            m_bMouseCapture = false;
            CancelPress();
        }
        break;
    case WM_CANCELMODE:
        CancelPress();
        break;
    case WM_LBUTTONUP: {
        POINT pt = PointOf(lParam);
        m_ptLastMousePos = pt;
        if (m_bMouseCapture)
            ReleaseCapture();
        if (m_pEventClick == nullptr)
            break;
        event.Type = UIEVENT_BUTTONUP;
        event.pSender = m_pEventClick;
        event.ptMouse = pt;
        event.wParam = wParam;
        event.lParam = lParam;
        event.wKeyState = static_cast<WORD>(wParam);
        // The handler may close the window; the click control is then
        // already forgotten.
        m_pEventClick->Event(event);
        m_pEventClick = nullptr;
        break;
    }
    case WM_CONTEXTMENU: {
        POINT pt = PointOf(lParam);
        plat::ScreenToClient(m_hWndPaint, &pt);
        m_ptLastMousePos = pt;
        if (m_bMouseCapture)
            ReleaseCapture();
        if (m_pEventClick == nullptr)
            break;
        event.Type = UIEVENT_CONTEXTMENU;
        event.pSender = m_pEventClick;
        event.ptMouse = pt;
        event.wKeyState = static_cast<WORD>(wParam);
        event.lParam = reinterpret_cast<LPARAM>(m_pEventClick);
        m_pEventClick->Event(event);
        m_pEventClick = nullptr;
        break;
    }
    case WM_MOUSEWHEEL: {
        POINT pt = PointOf(lParam);
        plat::ScreenToClient(m_hWndPaint, &pt);
        m_ptLastMousePos = pt;
        CControlUI* pControl = FindControl(pt);
        if (pControl == nullptr || pControl->GetManager() != this)
            break;
        const int zDelta = static_cast<SHORT>(HIWORD(wParam));
        event.Type = UIEVENT_SCROLLWHEEL;
        event.pSender = pControl;
        event.wParam = zDelta < 0 ? 1 : 0; // line down towards the user, else line up
        event.lParam = lParam;
        event.ptMouse = pt;
        event.wKeyState = MapKeyState();
        pControl->Event(event);
        // The hover follows any content the wheel scrolled.
        plat::SendMessage(m_hWndPaint, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
        break;
    }
    case WM_KEYDOWN:
    case WM_CHAR: {
        CControlUI* pFocus = m_pFocus;
        if (pFocus == nullptr)
            break;
        event.Type = uMsg == WM_KEYDOWN ? UIEVENT_KEYDOWN : UIEVENT_CHAR;
        event.chKey = static_cast<wchar_t>(wParam);
        event.ptMouse = m_ptLastMousePos;
        event.wKeyState = MapKeyState();
        pFocus->Event(event);
        if (uMsg == WM_KEYDOWN)
            m_pEventKey = pFocus;
        break;
    }
    case WM_KEYUP: {
        CControlUI* pKey = m_pEventKey;
        if (pKey == nullptr)
            break;
        event.Type = UIEVENT_KEYUP;
        event.chKey = static_cast<wchar_t>(wParam);
        event.ptMouse = m_ptLastMousePos;
        event.wKeyState = MapKeyState();
        pKey->Event(event);
        m_pEventKey = nullptr;
        break;
    }
    default:
        break;
    }
    DeliverQueuedNotifications();
    return false;
}

// ================================================================ mouse

void CPaintManagerUI::OnMouseMove(POINT pt, WPARAM wParam, LPARAM lParam) {
    if (!m_bMouseTracking) {
        TRACKMOUSEEVENT tme{};
        tme.cbSize = sizeof(tme);
        tme.dwFlags = TME_HOVER | TME_LEAVE;
        tme.hwndTrack = m_hWndPaint;
        tme.dwHoverTime = m_hwndTooltip == nullptr
                              ? 400
                              : static_cast<DWORD>(plat::SendMessage(
                                    m_hwndTooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0));
        plat::TrackMouseEvent(&tme);
        m_bMouseTracking = true;
    }
    m_ptLastMousePos = pt;
    CControlUI* pNewHover = FindControl(pt);
    if (pNewHover != nullptr && pNewHover->GetManager() != this)
        return;
    // Every event of one move carries the same point and tick count.
    TEventUI event;
    event.ptMouse = pt;
    event.wParam = wParam;
    event.lParam = lParam;
    event.dwTimestamp = plat::GetTickCount();
    event.wKeyState = MapKeyState();
    if (pNewHover != m_pEventHover && m_pEventHover != nullptr) {
        CControlUI* pOld = m_pEventHover;
        m_pEventHover = nullptr;
        event.Type = UIEVENT_MOUSELEAVE;
        event.pSender = pOld;
        pOld->Event(event);
        HideTooltip();
    }
    if (pNewHover != m_pEventHover && pNewHover != nullptr) {
        event.Type = UIEVENT_MOUSEENTER;
        event.pSender = pNewHover;
        pNewHover->Event(event);
        m_pEventHover = pNewHover;
    }
    // A pressed control keeps the moves while it holds the mouse.
    CControlUI* pTarget = m_pEventClick != nullptr ? m_pEventClick : pNewHover;
    if (pTarget != nullptr) {
        event.Type = UIEVENT_MOUSEMOVE;
        event.pSender = pTarget;
        pTarget->Event(event);
    }
}

bool CPaintManagerUI::OnMouseHover(POINT pt, WPARAM wParam, LPARAM lParam) {
    // The next move arms hover detection again.
    m_bMouseTracking = false;
    CControlUI* pHover = FindControl(pt);
    if (pHover == nullptr)
        return false;
    if (m_pEventHover != nullptr) {
        TEventUI event;
        event.Type = UIEVENT_MOUSEHOVER;
        event.pSender = m_pEventHover;
        event.wParam = wParam;
        event.lParam = lParam;
        event.dwTimestamp = plat::GetTickCount();
        event.ptMouse = pt;
        event.wKeyState = MapKeyState();
        m_pEventHover->Event(event);
    }
    // A hover notification names the point where the mouse rested when it
    // was detected. When a move taken since has left that control, its
    // tooltip would stay up over a control the mouse is no longer on: the
    // change of hover control that hides it has already gone by.
    if (pHover != m_pEventHover)
        return true;
    CStdString sToolTip = pHover->GetToolTip();
    if (sToolTip.IsEmpty())
        return true;
    TOOLINFO ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_IDISHWND;
    ti.hwnd = m_hWndPaint;
    ti.uId = reinterpret_cast<UINT_PTR>(m_hWndPaint);
    ti.hinst = GetInstance();
    ti.lpszText = const_cast<LPWSTR>(sToolTip.GetData());
    ti.rect = pHover->GetPos();
    if (m_hwndTooltip == nullptr || !plat::IsWindow(m_hwndTooltip)) {
        // The tooltip class is the common controls': registered by this call
        // (which also makes the program load them at all on Windows, where a
        // program that calls nothing of comctl32 does not import it).
        INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
        plat::InitCommonControlsEx(&icc);
        m_hwndTooltip = plat::CreateWindowEx(0, TOOLTIPS_CLASS, nullptr,
                                             WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                             m_hWndPaint, nullptr, GetInstance(), nullptr);
        plat::SendMessage(m_hwndTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    plat::SendMessage(m_hwndTooltip, TTM_SETMAXTIPWIDTH, 0, pHover->GetToolTipWidth());
    plat::SendMessage(m_hwndTooltip, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti));
    plat::SendMessage(m_hwndTooltip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&ti));
    return true;
}

void CPaintManagerUI::HideTooltip() {
    if (m_hwndTooltip == nullptr || !plat::IsWindow(m_hwndTooltip))
        return;
    TOOLINFO ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_IDISHWND;
    ti.hwnd = m_hWndPaint;
    ti.uId = reinterpret_cast<UINT_PTR>(m_hWndPaint);
    plat::SendMessage(m_hwndTooltip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&ti));
}

HWND CPaintManagerUI::GetTooltipWindow() const {
    return m_hwndTooltip;
}

// ===================================================== pre-translation

bool CPaintManagerUI::TranslateMessage(const MSG* pMsg) {
    if (pMsg == nullptr)
        return false;
    // A handler may destroy managers: walk a copy, skipping the gone.
    const std::vector<CPaintManagerUI*> managers = Managers();
    auto alive = [](CPaintManagerUI* pT) {
        return std::find(Managers().begin(), Managers().end(), pT) != Managers().end();
    };
    MSG msg = *pMsg;
    LRESULT lRes = 0;
    const LONG_PTR uStyle = plat::GetWindowLongPtr(pMsg->hwnd, GWL_STYLE);
    if ((uStyle & WS_CHILD) != 0) {
        HWND hWndParent = plat::GetParent(pMsg->hwnd);
        for (CPaintManagerUI* pT : managers) {
            for (HWND hTemp = hWndParent; hTemp != nullptr; hTemp = plat::GetParent(hTemp)) {
                if (!alive(pT))
                    break;
                if (pMsg->hwnd == pT->GetPaintWindow() || hTemp == pT->GetPaintWindow()) {
                    if (pT->TranslateAccelerator(&msg))
                        return true;
                    pT->PreMessageHandler(pMsg->message, pMsg->wParam, pMsg->lParam, lRes);
                }
            }
        }
        return false;
    }
    for (CPaintManagerUI* pT : managers) {
        if (pMsg->hwnd != pT->GetPaintWindow())
            continue;
        if (pT->TranslateAccelerator(&msg))
            return true;
        return pT->PreMessageHandler(pMsg->message, pMsg->wParam, pMsg->lParam, lRes);
    }
    return false;
}

bool CPaintManagerUI::TranslateAccelerator(MSG* pMsg) {
    DispatchScope scope(*this);
    const std::vector<ITranslateAccelerator*> list = m_aTranslateAccelerator;
    for (ITranslateAccelerator* p : list)
        if (p->TranslateAccelerator(pMsg) == 0)
            return true;
    return false;
}

bool CPaintManagerUI::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    DispatchScope scope(*this);
    if (SendFiltered(m_aPreMessageFilters, uMsg, wParam, lParam, lRes))
        return true;
    switch (uMsg) {
    case WM_KEYDOWN: {
        if (wParam != VK_TAB)
            return false;
        // A rich edit that wants Tab characters keeps them.
        if (m_pFocus != nullptr && m_pFocus->IsVisible() && m_pFocus->IsEnabled() &&
            std::wcsstr(m_pFocus->GetClass(), L"RichEditUI") != nullptr) {
            auto* pEdit = static_cast<CRichEditUI*>(m_pFocus->GetInterface(L"RichEdit"));
            if (pEdit != nullptr && pEdit->IsWantTab())
                return false;
        }
        SetNextTabControl(plat::GetKeyState(VK_SHIFT) >= 0);
        return true;
    }
    case WM_SYSKEYDOWN: {
        if (m_pFocus != nullptr) {
            TEventUI event;
            event.Type = UIEVENT_SYSKEY;
            event.chKey = static_cast<wchar_t>(wParam);
            event.ptMouse = m_ptLastMousePos;
            event.wKeyState = MapKeyState();
            event.dwTimestamp = plat::GetTickCount();
            m_pFocus->Event(event);
        }
        return false;
    }
    case WM_SYSCHAR: {
        if (m_pRoot == nullptr)
            return false;
        ShortcutSearch search{static_cast<wchar_t>(std::towupper(static_cast<wint_t>(wParam))),
                              false};
        CControlUI* pControl = m_pRoot->FindControl(
            FindControlFromShortcut, &search, UIFIND_ENABLED | UIFIND_ME_FIRST | UIFIND_TOP_FIRST);
        if (pControl == nullptr)
            return false;
        pControl->SetFocus();
        pControl->Activate();
        return true;
    }
    default:
        return false;
    }
}

// ================================================= filters and capture

bool CPaintManagerUI::SendFiltered(std::vector<IMessageFilterUI*>& filters, UINT uMsg,
                                   WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    const std::vector<IMessageFilterUI*> list = filters;
    for (IMessageFilterUI* p : list) {
        bool bHandled = false;
        LRESULT r = p->MessageHandler(uMsg, wParam, lParam, bHandled);
        if (bHandled) {
            lRes = r;
            return true;
        }
    }
    return false;
}

bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* pFilter) {
    m_aPreMessageFilters.push_back(pFilter);
    return true;
}
bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* pFilter) {
    return RemoveFirst(m_aPreMessageFilters, pFilter);
}
bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* pFilter) {
    m_aMessageFilters.push_back(pFilter);
    return true;
}
bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* pFilter) {
    return RemoveFirst(m_aMessageFilters, pFilter);
}
bool CPaintManagerUI::AddTranslateAccelerator(ITranslateAccelerator* pTranslateAccelerator) {
    m_aTranslateAccelerator.push_back(pTranslateAccelerator);
    return true;
}
bool CPaintManagerUI::RemoveTranslateAccelerator(ITranslateAccelerator* pTranslateAccelerator) {
    return RemoveFirst(m_aTranslateAccelerator, pTranslateAccelerator);
}

void CPaintManagerUI::SetCapture() {
    plat::SetCapture(m_hWndPaint);
    m_bMouseCapture = true;
}

void CPaintManagerUI::ReleaseCapture() {
    // Cleared first: the release sends WM_CAPTURECHANGED, which must not
    // read as the capture being taken away.
    m_bMouseCapture = false;
    plat::ReleaseCapture();
}

void CPaintManagerUI::ForgetPress() {
    m_pEventClick = nullptr;
    if (m_bMouseCapture)
        ReleaseCapture();
}

void CPaintManagerUI::CancelPress() {
    CControlUI* pClick = m_pEventClick;
    ForgetPress();
    if (pClick == nullptr)
        return;
    // The button-up lands outside the control and outside the client area,
    // so that no control takes it for a click.
    const RECT& rc = pClick->GetPos();
    TEventUI event;
    event.Type = UIEVENT_BUTTONUP;
    event.pSender = pClick;
    event.ptMouse = POINT{std::min<LONG>(rc.left, 0) - 1, std::min<LONG>(rc.top, 0) - 1};
    event.dwTimestamp = plat::GetTickCount();
    event.wKeyState = MapKeyState();
    pClick->Event(event);
}

bool CPaintManagerUI::IsCaptured() const {
    return m_bMouseCapture;
}

} // namespace Veneer
