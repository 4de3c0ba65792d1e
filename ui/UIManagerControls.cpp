// The control side of CPaintManagerUI: the attached control tree and its
// name index, invalidation and lazy layout, off-screen painting into the back
// buffer, notifications, focus and tab order, timers, delayed clean-up and
// the window-frame settings the dialog builder writes.
//
// Sections: binding and tree, invalidation and painting, notifications,
// focus, timers, frame settings, tear-down.
#include "plat/gfx/gdi.h"
#include "plat/sys/clock.h"
#include "ui/UIControl.h"
#include "ui/UIManager.h"
#include "ui/UIRender.h"
#include "ui/UIRichEdit.h"

#include <algorithm>

namespace Veneer {

namespace {

int g_nLastCursor = UICURSOR_ARROW;

CControlUI* FindControlFromName(CControlUI* pThis, void* pData) {
    LPCTSTR pstrName = static_cast<LPCTSTR>(pData);
    const CStdString sName = pThis->GetName();
    if (sName.IsEmpty())
        return nullptr;
    return sName == pstrName ? pThis : nullptr;
}

CControlUI* FindControlFromPoint(CControlUI* pThis, void* pData) {
    return plat::PtInRect(&pThis->GetPos(), *static_cast<POINT*>(pData)) ? pThis : nullptr;
}

CControlUI* FindControlFromUpdate(CControlUI* pThis, void* /*pData*/) {
    return pThis->IsUpdateNeeded() ? pThis : nullptr;
}

struct ClassSearch {
    LPCTSTR pstrClass;
    int iIndex;
};

CControlUI* FindControlFromClass(CControlUI* pThis, void* pData) {
    ClassSearch* search = static_cast<ClassSearch*>(pData);
    if (std::wcscmp(pThis->GetClass(), search->pstrClass) != 0)
        return nullptr;
    return (search->iIndex-- == 0) ? pThis : nullptr;
}

// Collects every control visited (the proc never matches, so the walk
// reaches the whole tree).
CControlUI* CollectControl(CControlUI* pThis, void* pData) {
    static_cast<std::vector<CControlUI*>*>(pData)->push_back(pThis);
    return nullptr;
}

} // namespace

// ===================================================== binding and tree

HWND CPaintManagerUI::GetPaintWindow() const {
    return m_hWndPaint;
}
SIZE CPaintManagerUI::GetClientSize() const {
    return m_szClient;
}

void CPaintManagerUI::SetClientSize(int cx, int cy) {
    if (cx < 0)
        cx = 0;
    if (cy < 0)
        cy = 0;
    if (m_szClient.cx == cx && m_szClient.cy == cy)
        return;
    m_szClient = SIZE{cx, cy};
    if (m_pRoot != nullptr)
        m_pRoot->NeedUpdate();
    Invalidate();
}

bool CPaintManagerUI::AttachDialog(CControlUI* pControl) {
    EnsurePaintDC();
    SetFocus(nullptr);
    m_pEventKey = nullptr;
    m_pEventHover = nullptr;
    ForgetPress();
    if (m_pRoot != nullptr) {
        m_aPostPaintControls.clear();
        AddDelayedCleanup(m_pRoot);
    }
    m_pRoot = pControl;
    m_bUpdateNeeded = true;
    m_bFirstLayout = true;
    m_bFocusNeeded = true;
    CreateShadow();
    return InitControls(pControl);
}

bool CPaintManagerUI::InitControls(CControlUI* pControl, CControlUI* pParent) {
    if (pControl == nullptr)
        return false;
    EnsurePaintDC();
    pControl->SetManager(this, pParent != nullptr ? pParent : pControl->GetParent(), true);
    std::vector<CControlUI*> all;
    pControl->FindControl(CollectControl, &all, UIFIND_ALL);
    for (CControlUI* p : all) {
        const CStdString sName = p->GetName();
        if (!sName.IsEmpty())
            m_mNameHash[sName.str()] = p;
    }
    return true;
}

void CPaintManagerUI::ReapObjects(CControlUI* pControl) {
    if (pControl == nullptr)
        return;
    if (pControl == m_pEventKey)
        m_pEventKey = nullptr;
    if (pControl == m_pEventHover)
        m_pEventHover = nullptr;
    const bool bPressed = pControl == m_pEventClick;
    if (bPressed)
        m_pEventClick = nullptr;
    if (pControl == m_pFocus)
        m_pFocus = nullptr;
    if (pControl == m_pRoot)
        m_pRoot = nullptr;
    if (m_pCaretOwner != nullptr && static_cast<CControlUI*>(m_pCaretOwner) == pControl) {
        // A caret owner that goes takes the drawn caret with it.
        m_pCaretOwner = nullptr;
        ShowCaret(false);
    }
    KillTimer(pControl);
    const CStdString sName = pControl->GetName();
    if (!sName.IsEmpty()) {
        auto it = m_mNameHash.find(sName.str());
        if (it != m_mNameHash.end() && it->second == pControl)
            m_mNameHash.erase(it);
    }
    m_aPostPaintControls.erase(
        std::remove(m_aPostPaintControls.begin(), m_aPostPaintControls.end(), pControl),
        m_aPostPaintControls.end());
    RemoveFromAllOptionGroups(pControl);
    for (TNotifyUI* pMsg : m_aAsyncNotify)
        if (pMsg->pSender == pControl)
            pMsg->pSender = nullptr;
    // Last: giving the capture back sends the window a message, which must
    // find nothing that still names the control.
    if (bPressed)
        ForgetPress();
}

void CPaintManagerUI::ReapControls(CControlUI* pControl) {
    if (pControl == nullptr)
        return;
    std::vector<CControlUI*> all;
    pControl->FindControl(CollectControl, &all, UIFIND_ALL);
    for (CControlUI* p : all)
        ReapObjects(p);
}

CControlUI* CPaintManagerUI::GetRoot() const {
    return m_pRoot;
}

CControlUI* CPaintManagerUI::FindControl(LPCTSTR pstrName) const {
    if (pstrName == nullptr)
        return nullptr;
    auto it = m_mNameHash.find(pstrName);
    return it != m_mNameHash.end() ? it->second : nullptr;
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
    return FindSubControlByPoint(nullptr, pt);
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* pParent, LPCTSTR pstrName) const {
    if (pParent == nullptr)
        pParent = m_pRoot;
    if (pParent == nullptr || pstrName == nullptr)
        return nullptr;
    return pParent->FindControl(FindControlFromName, const_cast<LPTSTR>(pstrName), UIFIND_ALL);
}

CControlUI* CPaintManagerUI::FindSubControlByPoint(CControlUI* pParent, POINT pt) const {
    if (pParent == nullptr)
        pParent = m_pRoot;
    if (pParent == nullptr)
        return nullptr;
    return pParent->FindControl(FindControlFromPoint, &pt,
                                UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

CControlUI* CPaintManagerUI::FindSubControlByClass(CControlUI* pParent, LPCTSTR pstrClass,
                                                   int iIndex) {
    if (pParent == nullptr)
        pParent = m_pRoot;
    if (pParent == nullptr || pstrClass == nullptr)
        return nullptr;
    ClassSearch search{pstrClass, iIndex};
    return pParent->FindControl(FindControlFromClass, &search, UIFIND_ALL);
}

bool CPaintManagerUI::AddDelayedCleanup(CControlUI* pControl) {
    if (pControl == nullptr)
        return false;
    pControl->SetManager(this, nullptr, false);
    m_aDelayedCleanup.push_back(pControl);
    PostCleanupMessage();
    return true;
}

void CPaintManagerUI::ProcessDelayedCleanup() {
    // Controls destroyed here may queue more (a container's children go at
    // once, so this settles in one pass, but stay safe either way).
    while (!m_aDelayedCleanup.empty()) {
        std::vector<CControlUI*> batch;
        batch.swap(m_aDelayedCleanup);
        for (CControlUI* p : batch)
            delete p;
    }
}

int CPaintManagerUI::GetDelayedCleanupCount() const {
    return static_cast<int>(m_aDelayedCleanup.size());
}

bool CPaintManagerUI::AddPostPaint(CControlUI* pControl) {
    m_aPostPaintControls.push_back(pControl);
    return true;
}

bool CPaintManagerUI::RemovePostPaint(CControlUI* pControl) {
    return RemoveFirst(m_aPostPaintControls, pControl);
}

bool CPaintManagerUI::SetPostPaintIndex(CControlUI* pControl, int iIndex) {
    RemovePostPaint(pControl);
    if (iIndex < 0 || iIndex > static_cast<int>(m_aPostPaintControls.size()))
        return false;
    m_aPostPaintControls.insert(m_aPostPaintControls.begin() + iIndex, pControl);
    return true;
}

// ========================================== invalidation and painting

void CPaintManagerUI::Invalidate(RECT& rcItem) {
    ++m_nInvalidateCount;
    m_rcLayeredUpdate = rcItem;
    plat::UnionRect(&m_rcInvalid, &m_rcInvalid, &rcItem);
    InvalidateWindowRect(&rcItem);
}

void CPaintManagerUI::Invalidate() {
    RECT rc = {0, 0, m_szClient.cx, m_szClient.cy};
    ++m_nInvalidateCount;
    plat::UnionRect(&m_rcInvalid, &m_rcInvalid, &rc);
    InvalidateWindowRect(nullptr);
}

void CPaintManagerUI::NeedUpdate() {
    m_bUpdateNeeded = true;
}
bool CPaintManagerUI::IsUpdateNeeded() const {
    return m_bUpdateNeeded;
}

void CPaintManagerUI::ResetBackBuffer(int cx, int cy) {
    ReleaseBackBuffer();
    if (cx <= 0 || cy <= 0)
        return;
    void* bits = nullptr;
    m_hbmpOffscreen = plat::CreateDIB32(cx, cy, &bits);
    m_pOffscreenBits = static_cast<LPBYTE>(bits);
    if (m_hbmpOffscreen == nullptr)
        return;
    m_hDcOffscreen = plat::CreateCompatibleDC(nullptr);
    if (m_hDcOffscreen == nullptr) {
        plat::DeleteObject(m_hbmpOffscreen);
        m_hbmpOffscreen = nullptr;
        return;
    }
    m_hbmpOffscreenOld = plat::SelectObject(m_hDcOffscreen, m_hbmpOffscreen);
    m_szOffscreen = SIZE{cx, cy};
}

void CPaintManagerUI::ReleaseBackBuffer() {
    if (m_hDcOffscreen != nullptr) {
        if (m_hbmpOffscreenOld != nullptr)
            plat::SelectObject(m_hDcOffscreen, m_hbmpOffscreenOld);
        plat::DeleteDC(m_hDcOffscreen);
    }
    if (m_hbmpOffscreen != nullptr)
        plat::DeleteObject(m_hbmpOffscreen);
    m_hDcOffscreen = nullptr;
    m_hbmpOffscreen = nullptr;
    m_hbmpOffscreenOld = nullptr;
    m_pOffscreenBits = nullptr;
    m_szOffscreen = SIZE{0, 0};
}

void CPaintManagerUI::EnsurePaintDC() {
    if (GetPaintDC() != nullptr)
        return;
    // Without a window, fonts are measured through a memory DC of our own.
    if (m_hDcMeasure == nullptr)
        m_hDcMeasure = plat::CreateCompatibleDC(nullptr);
    SetPaintDC(m_hDcMeasure);
}

void CPaintManagerUI::LayoutPending() {
    if (!m_bUpdateNeeded)
        return;
    m_bUpdateNeeded = false;
    RECT rcClient = {0, 0, m_szClient.cx, m_szClient.cy};
    if (plat::IsRectEmpty(&rcClient) || m_pRoot == nullptr)
        return;
    if (m_pRoot->IsUpdateNeeded()) {
        m_pRoot->SetPos(rcClient);
        ReleaseBackBuffer();
    } else {
        CControlUI* pControl = nullptr;
        // Each SetPos clears the control's flag; a bounded number of rounds
        // keeps a control that keeps asking from looping for ever.
        for (int guard = 0; guard < 100000; ++guard) {
            pControl = m_pRoot->FindControl(FindControlFromUpdate, nullptr,
                                            UIFIND_VISIBLE | UIFIND_ME_FIRST);
            if (pControl == nullptr)
                break;
            pControl->SetPos(pControl->GetPos());
        }
    }
    if (m_bFirstLayout) {
        m_bFirstLayout = false;
        SendNotify(m_pRoot, DUI_MSGTYPE_WINDOWINIT, 0, 0, false);
    }
}

bool CPaintManagerUI::PaintOffscreen(const RECT* rcPaint) {
    if (m_pRoot == nullptr) {
        m_rcInvalid = RECT{0, 0, 0, 0};
        return false;
    }
    // The hand-over of a new tree always lays it out first.
    if (m_pRoot->IsUpdateNeeded())
        m_bUpdateNeeded = true;
    LayoutPending();
    if (m_pRoot == nullptr)
        return false;
    if (m_bFocusNeeded)
        SetNextTabControl();

    if (m_szClient.cx <= 0 || m_szClient.cy <= 0)
        return false;
    if (m_hDcOffscreen == nullptr || m_szOffscreen.cx != m_szClient.cx ||
        m_szOffscreen.cy != m_szClient.cy)
        ResetBackBuffer(m_szClient.cx, m_szClient.cy);
    if (m_hDcOffscreen == nullptr)
        return false;

    RECT rcClient = {0, 0, m_szClient.cx, m_szClient.cy};
    RECT rcUpdate = rcPaint != nullptr ? *rcPaint : m_rcInvalid;
    RECT rcDraw;
    m_rcInvalid = RECT{0, 0, 0, 0};
    if (!plat::IntersectRect(&rcDraw, &rcUpdate, &rcClient))
        return true;

    const int saved = plat::SaveDC(m_hDcOffscreen);
    // The layered path keeps what the tree leaves unpainted transparent.
    if (IsBackgroundTransparent())
        CRenderEngine::ClearAlphaPixel(m_pOffscreenBits, m_szOffscreen.cx, &rcDraw);
    m_pRoot->DoPaint(m_hDcOffscreen, rcDraw);
    DrawCaret(m_hDcOffscreen, rcDraw);
    for (CControlUI* p : std::vector<CControlUI*>(m_aPostPaintControls))
        p->DoPostPaint(m_hDcOffscreen, rcDraw);
    if (IsBackgroundTransparent())
        CRenderEngine::RestoreAlphaColor(m_pOffscreenBits, m_szOffscreen.cx, &rcDraw);
    plat::RestoreDC(m_hDcOffscreen, saved);

    // A control that asked for layout while painting gets one more paint.
    if (m_bUpdateNeeded)
        Invalidate();
    return true;
}

// ======================================================== notifications

bool CPaintManagerUI::AddNotifier(INotifyUI* pNotifier) {
    if (pNotifier == nullptr)
        return false;
    m_aNotifiers.push_back(pNotifier);
    return true;
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* pNotifier) {
    return RemoveFirst(m_aNotifiers, pNotifier);
}

void CPaintManagerUI::SendNotify(CControlUI* pControl, LPCTSTR pstrMessage, WPARAM wParam,
                                 LPARAM lParam, bool bAsync) {
    TNotifyUI Msg;
    Msg.pSender = pControl;
    Msg.sType = pstrMessage ? pstrMessage : L"";
    Msg.wParam = wParam;
    Msg.lParam = lParam;
    SendNotify(Msg, bAsync);
}

void CPaintManagerUI::SendNotify(TNotifyUI& Msg, bool bAsync) {
    Msg.ptMouse = m_ptLastMousePos;
    Msg.dwTimestamp = plat::GetTickCount();
    if (m_bUsedVirtualWnd && Msg.pSender != nullptr)
        Msg.sVirtualWnd = Msg.pSender->GetVirtualWnd().str();

    if (bAsync) {
        m_aAsyncNotify.push_back(new TNotifyUI(Msg));
        return;
    }
    if (Msg.pSender != nullptr && !Msg.pSender->OnNotify.IsEmpty())
        Msg.pSender->OnNotify(&Msg);
    // A listener may add or remove listeners: walk a copy.
    std::vector<INotifyUI*> notifiers = m_aNotifiers;
    for (INotifyUI* p : notifiers)
        p->Notify(Msg);
}

void CPaintManagerUI::DeliverQueuedNotifications() {
    while (!m_aAsyncNotify.empty()) {
        TNotifyUI* pMsg = m_aAsyncNotify.front();
        m_aAsyncNotify.erase(m_aAsyncNotify.begin());
        if (pMsg->pSender != nullptr && !pMsg->pSender->OnNotify.IsEmpty())
            pMsg->pSender->OnNotify(pMsg);
        std::vector<INotifyUI*> notifiers = m_aNotifiers;
        for (INotifyUI* p : notifiers)
            p->Notify(*pMsg);
        delete pMsg;
    }
}

void CPaintManagerUI::UsedVirtualWnd(bool bUsed) {
    m_bUsedVirtualWnd = bUsed;
}
POINT CPaintManagerUI::GetMousePos() const {
    return m_ptLastMousePos;
}
void CPaintManagerUI::SetMousePos(POINT pt) {
    m_ptLastMousePos = pt;
}

// ================================================================ focus

CControlUI* CPaintManagerUI::GetFocus() const {
    return m_pFocus;
}

void CPaintManagerUI::SetFocus(CControlUI* pControl) {
    if (pControl != m_pFocus)
        FocusPaintWindow();
    if (pControl == m_pFocus)
        return;
    DropFocus(pControl);
    if (pControl == nullptr || pControl->GetManager() != this || !pControl->IsVisible() ||
        !pControl->IsEnabled())
        return;
    m_pFocus = pControl;
    SendFocusEvent(pControl, UIEVENT_SETFOCUS, pControl);
}

void CPaintManagerUI::KillFocus() {
    DropFocus(nullptr);
}

void CPaintManagerUI::SendFocusEvent(CControlUI* pTarget, int iType, CControlUI* pSender) {
    TEventUI event;
    event.Type = iType;
    event.pSender = pSender;
    event.dwTimestamp = plat::GetTickCount();
    event.ptMouse = m_ptLastMousePos;
    pTarget->Event(event);
    SendNotify(pTarget, iType == UIEVENT_SETFOCUS ? DUI_MSGTYPE_SETFOCUS : DUI_MSGTYPE_KILLFOCUS);
}

void CPaintManagerUI::DropFocus(CControlUI* pNext) {
    if (m_pFocus == nullptr)
        return;
    SendFocusEvent(m_pFocus, UIEVENT_KILLFOCUS, pNext);
    m_pFocus = nullptr;
}

void CPaintManagerUI::SetFocusNeeded(CControlUI* pControl) {
    FocusPaintWindow();
    if (pControl == nullptr)
        return;
    DropFocus(pControl);
    // Store the last tab stop before the control, so that the forward move
    // at the next paint lands on it.
    std::vector<CControlUI*> walk;
    if (m_pRoot != nullptr)
        m_pRoot->FindControl(CollectControl, &walk,
                             UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST);
    CControlUI* pLast = nullptr;
    for (CControlUI* p : walk) {
        if (p == pControl)
            break;
        if ((p->GetControlFlags() & UIFLAG_TABSTOP) != 0)
            pLast = p;
    }
    m_pFocus = pLast;
    m_bFocusNeeded = true;
    if (m_pRoot != nullptr)
        m_pRoot->NeedUpdate();
}

bool CPaintManagerUI::IsFocusNeeded() const {
    return m_bFocusNeeded;
}

bool CPaintManagerUI::SetNextTabControl(bool bForward) {
    if (m_bUpdateNeeded && bForward) {
        m_bFocusNeeded = true;
        Invalidate();
        return true;
    }
    std::vector<CControlUI*> walk;
    if (m_pRoot != nullptr)
        m_pRoot->FindControl(CollectControl, &walk,
                             UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST);
    auto isTab = [](CControlUI* p) { return (p->GetControlFlags() & UIFLAG_TABSTOP) != 0; };

    CControlUI* pFound = nullptr;
    if (bForward) {
        bool passed = (m_pFocus == nullptr);
        for (CControlUI* p : walk) {
            if (passed && isTab(p) && p != m_pFocus) {
                pFound = p;
                break;
            }
            if (p == m_pFocus)
                passed = true;
        }
        if (pFound == nullptr) {
            for (CControlUI* p : walk) {
                if (isTab(p)) {
                    pFound = p;
                    break;
                }
            }
        }
    } else {
        for (CControlUI* p : walk) {
            if (p == m_pFocus && m_pFocus != nullptr)
                break;
            if (isTab(p))
                pFound = p;
        }
        if (pFound == nullptr) {
            for (CControlUI* p : walk)
                if (isTab(p))
                    pFound = p;
        }
    }
    if (pFound != nullptr)
        SetFocus(pFound);
    m_bFocusNeeded = false;
    return true;
}

// =============================================================== timers

bool CPaintManagerUI::SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse) {
    if (pControl == nullptr)
        return false;
    for (TimerEntry& t : m_aTimers) {
        if (t.pSender == pControl && t.nLocalID == nTimerID) {
            if (!t.bKilled)
                return false;
            if (!StartWindowTimer(t.uWinTimer, uElapse))
                return false;
            t.bKilled = false;
            t.uElapse = uElapse;
            return true;
        }
    }
    m_uTimerID = (m_uTimerID + 1) % 240;
    if (!StartWindowTimer(m_uTimerID, uElapse))
        return false;
    m_aTimers.push_back(TimerEntry{pControl, nTimerID, m_uTimerID, uElapse, false});
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* pControl, UINT nTimerID) {
    for (TimerEntry& t : m_aTimers) {
        if (t.pSender == pControl && t.nLocalID == nTimerID && !t.bKilled) {
            StopWindowTimer(t.uWinTimer);
            t.bKilled = true;
            return true;
        }
    }
    return false;
}

void CPaintManagerUI::KillTimer(CControlUI* pControl) {
    for (auto it = m_aTimers.begin(); it != m_aTimers.end();) {
        if (it->pSender == pControl) {
            if (!it->bKilled)
                StopWindowTimer(it->uWinTimer);
            it = m_aTimers.erase(it);
        } else {
            ++it;
        }
    }
}

void CPaintManagerUI::RemoveAllTimers() {
    for (TimerEntry& t : m_aTimers)
        if (!t.bKilled)
            StopWindowTimer(t.uWinTimer);
    m_aTimers.clear();
}

bool CPaintManagerUI::FireTimer(UINT uWinTimer) {
    for (const TimerEntry& t : m_aTimers) {
        if (t.uWinTimer == uWinTimer && !t.bKilled) {
            TEventUI event;
            event.Type = UIEVENT_TIMER;
            event.pSender = t.pSender;
            event.dwTimestamp = plat::GetTickCount();
            event.ptMouse = m_ptLastMousePos;
            event.wParam = t.nLocalID;
            // The entry may go away while the control handles its timer.
            t.pSender->Event(event);
            return true;
        }
    }
    return false;
}

// ======================================================= frame settings

SIZE CPaintManagerUI::GetInitSize() const {
    return m_szInitWindowSize;
}

void CPaintManagerUI::SetInitSize(int cx, int cy) {
    m_szInitWindowSize = SIZE{cx, cy};
    if (m_pRoot == nullptr) {
        if (m_hWndPaint != nullptr)
            ResizeWindow(cx, cy);
        else
            SetClientSize(cx, cy);
    }
}

RECT CPaintManagerUI::GetSizeBox() const {
    return m_rcSizeBox;
}
void CPaintManagerUI::SetSizeBox(const RECT& rcSizeBox) {
    m_rcSizeBox = rcSizeBox;
}
RECT CPaintManagerUI::GetCaptionRect() const {
    return m_rcCaption;
}
void CPaintManagerUI::SetCaptionRect(const RECT& rcCaption) {
    m_rcCaption = rcCaption;
}
SIZE CPaintManagerUI::GetRoundCorner() const {
    return m_szRoundCorner;
}
void CPaintManagerUI::SetRoundCorner(int cx, int cy) {
    m_szRoundCorner = SIZE{cx, cy};
}
SIZE CPaintManagerUI::GetMinInfo() const {
    return m_szMinWindow;
}
void CPaintManagerUI::SetMinInfo(int cx, int cy) {
    m_szMinWindow = SIZE{cx, cy};
}
SIZE CPaintManagerUI::GetMaxInfo() const {
    return m_szMaxWindow;
}
void CPaintManagerUI::SetMaxInfo(int cx, int cy) {
    m_szMaxWindow = SIZE{cx, cy};
}
int CPaintManagerUI::GetTransparent() const {
    return m_nOpacity;
}

void CPaintManagerUI::SetTransparent(int nOpacity) {
    m_nOpacity = nOpacity < 0 ? 0 : (nOpacity > 255 ? 255 : nOpacity);
    ApplyWindowOpacity(nOpacity);
}

void CPaintManagerUI::ShowCursor(int nCursor) {
    g_nLastCursor = nCursor;
    SetWindowCursor(nCursor);
}

int CPaintManagerUI::GetLastCursor() {
    return g_nLastCursor;
}

// ============================================================ tear-down

void CPaintManagerUI::TermControlSide() {
    TermMessageSide();
    ProcessDelayedCleanup();
    for (TNotifyUI* p : m_aAsyncNotify)
        delete p;
    m_aAsyncNotify.clear();
    CControlUI* pRoot = m_pRoot;
    m_pRoot = nullptr;
    delete pRoot;
    ProcessDelayedCleanup();
    RemoveAllTimers();
    m_mNameHash.clear();
    m_aPostPaintControls.clear();
    ReleaseBackBuffer();
    ReleaseWindowDC();
    if (GetPaintDC() == m_hDcMeasure)
        SetPaintDC(nullptr);
    if (m_hDcMeasure != nullptr)
        plat::DeleteDC(m_hDcMeasure);
    m_hDcMeasure = nullptr;
}

} // namespace Veneer
