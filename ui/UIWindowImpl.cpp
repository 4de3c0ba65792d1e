// CNotifyPump's dispatch through message maps, and WindowImplBase: skin
// loading at creation, the non-client answers, the window region, system
// commands and the standard buttons.
#include "ui/UIWindowImpl.h"

#include "plat/gfx/gdi.h"
#include "plat/sys/resource.h"
#include "ui/UIControl.h"

#include <cstdlib>
#include <cwchar>

namespace Veneer {

// ========================================================== CNotifyPump

const UI_MSGMAP_ENTRY CNotifyPump::_messageEntries[] = {{L"", L"", UiSig_end, nullptr, nullptr}};
const UI_MSGMAP CNotifyPump::messageMap = {&CNotifyPump::_GetBaseMessageMap,
                                           &CNotifyPump::_messageEntries[0]};

const UI_MSGMAP* CNotifyPump::_GetBaseMessageMap() {
    return nullptr;
}

const UI_MSGMAP* CNotifyPump::GetMessageMap() const {
    return &CNotifyPump::messageMap;
}

bool CNotifyPump::AddVirtualWnd(CStdString strName, CNotifyPump* pObject) {
    if (m_VirtualWndMap.Find(strName) != nullptr)
        return false;
    m_VirtualWndMap.Insert(strName, pObject);
    return true;
}

bool CNotifyPump::RemoveVirtualWnd(CStdString strName) {
    if (m_VirtualWndMap.Find(strName) == nullptr)
        return false;
    return m_VirtualWndMap.Remove(strName);
}

namespace {

// The entry of one map for the notification: an entry naming the sender
// wins at once; otherwise the last generic entry of that name.
const UI_MSGMAP_ENTRY* FindEntry(const UI_MSGMAP_ENTRY* lpEntry, const TNotifyUI& msg) {
    const CStdString sCtrlName = msg.pSender != nullptr ? msg.pSender->GetName() : CStdString();
    const UI_MSGMAP_ENTRY* pFallback = nullptr;
    for (; lpEntry->nSig != UiSig_end; ++lpEntry) {
        if (lpEntry->sMsgType.str() != msg.sType)
            continue;
        if (!lpEntry->sCtrlName.IsEmpty()) {
            if (lpEntry->sCtrlName == sCtrlName)
                return lpEntry;
        } else {
            pFallback = lpEntry;
        }
    }
    return pFallback;
}

} // namespace

bool CNotifyPump::LoopDispatch(TNotifyUI& msg) {
    const UI_MSGMAP_ENTRY* lpEntry = nullptr;
    for (const UI_MSGMAP* pMessageMap = GetMessageMap(); pMessageMap != nullptr;
         pMessageMap = pMessageMap->pfnGetBaseMap != nullptr ? pMessageMap->pfnGetBaseMap()
                                                             : nullptr) {
        lpEntry = FindEntry(pMessageMap->lpEntries, msg);
        if (lpEntry != nullptr)
            break;
    }
    if (lpEntry == nullptr)
        return false;
    switch (lpEntry->nSig) {
    case UiSig_lwl:
        lpEntry->pfnParams(this, msg.wParam, msg.lParam);
        return true;
    case UiSig_vn:
        lpEntry->pfn(this, msg);
        return true;
    default:
        return false;
    }
}

void CNotifyPump::NotifyPump(TNotifyUI& msg) {
    if (!msg.sVirtualWnd.empty()) {
        for (int i = 0; i < m_VirtualWndMap.GetSize(); ++i) {
            LPCTSTR key = m_VirtualWndMap.GetAt(i);
            if (key != nullptr && CStdString(key).CompareNoCase(msg.sVirtualWnd.c_str()) == 0) {
                auto* pObject = static_cast<CNotifyPump*>(m_VirtualWndMap.Find(key));
                if (pObject != nullptr && pObject->LoopDispatch(msg))
                    return;
            }
        }
    }
    LoopDispatch(msg);
}

// ======================================================= WindowImplBase

UI_BEGIN_MESSAGE_MAP(WindowImplBase, CNotifyPump)
UI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, WindowImplBase::OnClick)
UI_END_MESSAGE_MAP()

WindowImplBase::~WindowImplBase() {
    if (m_hWnd != nullptr && plat::IsWindow(m_hWnd))
        plat::DestroyWindow(m_hWnd);
}

void WindowImplBase::OnFinalMessage(HWND /*hWnd*/) {
    m_PaintManager.RemovePreMessageFilter(this);
    m_PaintManager.RemoveNotifier(this);
    CControlUI* pRoot = m_PaintManager.GetRoot();
    m_PaintManager.ReapObjects(pRoot);
    // Reaping lets the manager forget its root; the tree still goes with
    // the manager.
    if (pRoot != nullptr)
        m_PaintManager.AddDelayedCleanup(pRoot);
}

void WindowImplBase::Notify(TNotifyUI& msg) {
    NotifyPump(msg);
}

void WindowImplBase::OnClick(TNotifyUI& msg) {
    if (msg.pSender == nullptr)
        return;
    const CStdString sCtrlName = msg.pSender->GetName();
    if (sCtrlName == L"closebtn")
        Close(1);
    else if (sCtrlName == L"minbtn")
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (sCtrlName == L"maxbtn")
        SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    else if (sCtrlName == L"restorebtn")
        SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
}

LRESULT WindowImplBase::ResponseDefaultKeyEvent(WPARAM wParam) {
    if (wParam == VK_RETURN)
        return FALSE;
    if (wParam == VK_ESCAPE)
        return TRUE;
    return FALSE;
}

UILIB_RESOURCETYPE WindowImplBase::GetResourceType() const {
    return UILIB_FILE;
}

CStdString WindowImplBase::GetZIPFileName() const {
    return CStdString();
}

LPCTSTR WindowImplBase::GetResourceID() const {
    return L"";
}

CControlUI* WindowImplBase::CreateControl(LPCTSTR /*pstrClass*/) {
    return nullptr;
}

LRESULT WindowImplBase::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM /*lParam*/,
                                       bool& /*bHandled*/) {
    // Enter and Escape are offered to the window; the key goes on to the
    // focused control either way.
    if (uMsg == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE))
        return ResponseDefaultKeyEvent(wParam);
    return FALSE;
}

UINT WindowImplBase::GetClassStyle() const {
    return CS_DBLCLKS;
}

LONG WindowImplBase::GetStyle() {
    LONG styleValue = static_cast<LONG>(plat::GetWindowLongPtr(*this, GWL_STYLE));
    styleValue &= ~static_cast<LONG>(WS_CAPTION);
    return styleValue;
}

#define UI_NOT_HANDLED(name)                                                                       \
    LRESULT WindowImplBase::name(UINT, WPARAM, LPARAM, bool& bHandled) {                           \
        bHandled = false;                                                                          \
        return 0;                                                                                  \
    }
UI_NOT_HANDLED(OnClose)
UI_NOT_HANDLED(OnDestroy)
UI_NOT_HANDLED(OnMouseWheel)
UI_NOT_HANDLED(OnMouseHover)
UI_NOT_HANDLED(OnChar)
UI_NOT_HANDLED(OnKeyDown)
UI_NOT_HANDLED(OnKillFocus)
UI_NOT_HANDLED(OnSetFocus)
UI_NOT_HANDLED(OnLButtonDown)
UI_NOT_HANDLED(OnLButtonUp)
UI_NOT_HANDLED(OnMouseMove)
UI_NOT_HANDLED(HandleCustomMessage)
#undef UI_NOT_HANDLED

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM wParam, LPARAM, bool& bHandled) {
    if (plat::IsIconic(*this))
        bHandled = false;
    return wParam == 0 ? TRUE : FALSE;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM, LPARAM lParam, bool& /*bHandled*/) {
    // With wParam TRUE lParam is NCCALCSIZE_PARAMS, whose first rectangle is
    // the one answered; with FALSE it is that rectangle alone.
    auto* pRect = reinterpret_cast<LPRECT>(lParam);
    if (plat::IsZoomed(*this) && pRect != nullptr) {
        // A maximised window's client area is the work area, in screen
        // coordinates, wherever the work area begins.
        MONITORINFO oMonitor{};
        oMonitor.cbSize = sizeof(oMonitor);
        plat::GetMonitorInfo(plat::MonitorFromWindow(*this, MONITOR_DEFAULTTONEAREST), &oMonitor);
        *pRect = oMonitor.rcWork;
        return WVR_REDRAW;
    }
    return 0;
}

LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, bool& /*bHandled*/) {
    return 0;
}

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, bool& /*bHandled*/) {
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    plat::ScreenToClient(*this, &pt);
    RECT rcClient = {0, 0, 0, 0};
    plat::GetClientRect(*this, &rcClient);
    if (!plat::IsZoomed(*this)) {
        const RECT rcSizeBox = m_PaintManager.GetSizeBox();
        if (pt.y < rcClient.top + rcSizeBox.top) {
            if (pt.x < rcClient.left + rcSizeBox.left)
                return HTTOPLEFT;
            if (pt.x > rcClient.right - rcSizeBox.right)
                return HTTOPRIGHT;
            return HTTOP;
        }
        if (pt.y > rcClient.bottom - rcSizeBox.bottom) {
            if (pt.x < rcClient.left + rcSizeBox.left)
                return HTBOTTOMLEFT;
            if (pt.x > rcClient.right - rcSizeBox.right)
                return HTBOTTOMRIGHT;
            return HTBOTTOM;
        }
        if (pt.x < rcClient.left + rcSizeBox.left)
            return HTLEFT;
        if (pt.x > rcClient.right - rcSizeBox.right)
            return HTRIGHT;
    }
    const RECT rcCaption = m_PaintManager.GetCaptionRect();
    if (pt.x >= rcClient.left + rcCaption.left && pt.x < rcClient.right - rcCaption.right &&
        pt.y >= rcCaption.top && pt.y < rcCaption.bottom) {
        // Controls that take the mouse are not caption.
        CControlUI* pControl = m_PaintManager.FindControl(pt);
        if (pControl != nullptr) {
            LPCTSTR cls = pControl->GetClass();
            static const LPCTSTR kActive[] = {L"ButtonUI", L"OptionUI", L"TextUI", L"SliderUI"};
            bool active = false;
            for (LPCTSTR a : kActive)
                active = active || CStdString(cls).CompareNoCase(a) == 0;
            if (!active)
                return HTCAPTION;
        }
    }
    return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, bool& bHandled) {
    auto* lpMMI = reinterpret_cast<MINMAXINFO*>(lParam);
    MONITORINFO oMonitor{};
    oMonitor.cbSize = sizeof(oMonitor);
    plat::GetMonitorInfo(plat::MonitorFromWindow(*this, MONITOR_DEFAULTTONEAREST), &oMonitor);
    if (lpMMI != nullptr) {
        const RECT& rcWork = oMonitor.rcWork;
        const RECT& rcMonitor = oMonitor.rcMonitor;
        lpMMI->ptMaxPosition = POINT{rcWork.left - rcMonitor.left, rcWork.top - rcMonitor.top};
        lpMMI->ptMaxTrackSize = POINT{rcWork.right - rcWork.left, rcWork.bottom - rcWork.top};
        lpMMI->ptMinTrackSize =
            POINT{m_PaintManager.GetMinInfo().cx, m_PaintManager.GetMinInfo().cy};
    }
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM, LPARAM, bool& bHandled) {
    if (!plat::IsIconic(*this)) {
        const SIZE szRoundCorner = m_PaintManager.GetRoundCorner();
        RECT rcWnd = {0, 0, 0, 0};
        plat::GetWindowRect(*this, &rcWnd);
        const int cx = rcWnd.right - rcWnd.left + 1, cy = rcWnd.bottom - rcWnd.top + 1;
        HRGN hRgn = plat::CreateRoundRectRgn(0, 0, cx, cy, szRoundCorner.cx, szRoundCorner.cy);
        // The window owns the region from here on: it is not deleted here.
        if (hRgn != nullptr && !plat::SetWindowRgn(*this, hRgn, TRUE))
            plat::DeleteObject(hRgn);
    }
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
    if (wParam == SC_CLOSE) {
        bHandled = true;
        SendMessage(WM_CLOSE, 0, 0);
        return 0;
    }
    const BOOL bZoomed = plat::IsZoomed(*this);
    LRESULT lRes = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    if (plat::IsZoomed(*this) != bZoomed) {
        CControlUI* pbtnMax = m_PaintManager.FindControl(L"maxbtn");
        CControlUI* pbtnRestore = m_PaintManager.FindControl(L"restorebtn");
        if (pbtnMax != nullptr && pbtnRestore != nullptr) {
            pbtnMax->SetVisible(bZoomed != FALSE);
            pbtnRestore->SetVisible(bZoomed == FALSE);
        }
    }
    // The paint manager records a restore for its layered paint path.
    if ((wParam & 0xFFF0) == SC_RESTORE)
        bHandled = false;
    return lRes;
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, bool& /*bHandled*/) {
    LONG_PTR styleValue = plat::GetWindowLongPtr(*this, GWL_STYLE);
    styleValue &= ~static_cast<LONG_PTR>(WS_CAPTION);
    plat::SetWindowLongPtr(*this, GWL_STYLE, styleValue | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    RECT rcClient = {0, 0, 0, 0};
    plat::GetClientRect(*this, &rcClient);
    plat::SetWindowPos(*this, nullptr, rcClient.left, rcClient.top, rcClient.right - rcClient.left,
                       rcClient.bottom - rcClient.top, SWP_FRAMECHANGED);

    m_PaintManager.Init(m_hWnd);
    m_PaintManager.AddPreMessageFilter(this);

    if (CPaintManagerUI::GetResourcePath().IsEmpty()) {
        CStdString strResourcePath = CPaintManagerUI::GetInstancePath();
        strResourcePath += GetSkinDirectory();
        CPaintManagerUI::SetResourcePath(strResourcePath);
    }

    switch (GetResourceType()) {
    case UILIB_ZIP:
        CPaintManagerUI::SetResourceZip(GetZIPFileName(), true);
        break;
    case UILIB_ZIPRESOURCE: {
        HINSTANCE hModule = CPaintManagerUI::GetResourceDll();
        HRSRC hResource = plat::FindResource(hModule, GetResourceID(), L"ZIPRES");
        if (hResource == nullptr)
            return 0;
        HGLOBAL hGlobal = plat::LoadResource(hModule, hResource);
        if (hGlobal == nullptr)
            return 0;
        const DWORD dwSize = plat::SizeofResource(hModule, hResource);
        LPVOID pData = plat::LockResource(hGlobal);
        if (dwSize == 0 || pData == nullptr)
            return 0;
        CPaintManagerUI::SetResourceZip(pData, dwSize);
        break;
    }
    default:
        break;
    }

    CControlUI* pRoot = nullptr;
    CDialogBuilder builder;
    const CStdString sLayout = GetLayoutFileName();
    if (GetResourceType() == UILIB_RESOURCE) {
        const UINT nId = static_cast<UINT>(std::wcstoul(sLayout.GetData(), nullptr, 10));
        pRoot = builder.Create(STRINGorID(nId), L"xml", this, &m_PaintManager);
    } else {
        pRoot = builder.Create(STRINGorID(sLayout.GetData()), nullptr, this, &m_PaintManager);
    }
    if (pRoot == nullptr) {
        plat::MessageBox(nullptr, L"加载资源文件失败", L"Veneer", MB_OK | MB_ICONERROR);
        std::exit(1);
    }
    m_PaintManager.AttachDialog(pRoot);
    m_PaintManager.AddNotifier(this);
    InitWindow();
    return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT lRes = 0;
    bool bHandled = true;
    {
        // The window's own handlers may change the tree and open modal
        // windows, as notification handlers do.
        CPaintManagerUI::DispatchScope scope(m_PaintManager);
        lRes = HandleOwnMessage(uMsg, wParam, lParam, bHandled);
    }
    if (bHandled)
        return lRes;
    if (m_PaintManager.MessageHandler(uMsg, wParam, lParam, lRes))
        return lRes;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

LRESULT WindowImplBase::HandleOwnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
    LRESULT lRes = 0;
    switch (uMsg) {
    case WM_CREATE:
        lRes = OnCreate(uMsg, wParam, lParam, bHandled);
        break;
    case WM_CLOSE:
        lRes = OnClose(uMsg, wParam, lParam, bHandled);
        break;
    case WM_DESTROY:
        lRes = OnDestroy(uMsg, wParam, lParam, bHandled);
        break;
    case WM_NCACTIVATE:
        lRes = OnNcActivate(uMsg, wParam, lParam, bHandled);
        break;
    case WM_NCCALCSIZE:
        lRes = OnNcCalcSize(uMsg, wParam, lParam, bHandled);
        break;
    case WM_NCPAINT:
        lRes = OnNcPaint(uMsg, wParam, lParam, bHandled);
        break;
    case WM_NCHITTEST:
        lRes = OnNcHitTest(uMsg, wParam, lParam, bHandled);
        break;
    case WM_GETMINMAXINFO:
        lRes = OnGetMinMaxInfo(uMsg, wParam, lParam, bHandled);
        break;
    case WM_MOUSEWHEEL:
        lRes = OnMouseWheel(uMsg, wParam, lParam, bHandled);
        break;
    case WM_SIZE:
        lRes = OnSize(uMsg, wParam, lParam, bHandled);
        break;
    case WM_CHAR:
        lRes = OnChar(uMsg, wParam, lParam, bHandled);
        break;
    case WM_SYSCOMMAND:
        lRes = OnSysCommand(uMsg, wParam, lParam, bHandled);
        break;
    case WM_KEYDOWN:
        lRes = OnKeyDown(uMsg, wParam, lParam, bHandled);
        break;
    case WM_KILLFOCUS:
        lRes = OnKillFocus(uMsg, wParam, lParam, bHandled);
        break;
    case WM_SETFOCUS:
        lRes = OnSetFocus(uMsg, wParam, lParam, bHandled);
        break;
    case WM_LBUTTONUP:
        lRes = OnLButtonUp(uMsg, wParam, lParam, bHandled);
        break;
    case WM_LBUTTONDOWN:
        lRes = OnLButtonDown(uMsg, wParam, lParam, bHandled);
        break;
    case WM_MOUSEMOVE:
        lRes = OnMouseMove(uMsg, wParam, lParam, bHandled);
        break;
    case WM_MOUSEHOVER:
        lRes = OnMouseHover(uMsg, wParam, lParam, bHandled);
        break;
    default:
        bHandled = false;
        break;
    }
    if (bHandled)
        return lRes;
    bHandled = true;
    return HandleCustomMessage(uMsg, wParam, lParam, bHandled);
}

} // namespace Veneer
