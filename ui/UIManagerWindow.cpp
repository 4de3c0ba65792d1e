// The control side's contact points with a bound native window: binding,
// the back-buffered WM_PAINT pipeline, invalidation, keyboard focus, native
// timers, the posted clean-up message, window resizing, the cursor and the
// caret.
// While no window is bound (the off-screen mode that tests and skinview use)
// each of them keeps its state in the manager only: invalidations
// accumulate, timers are recorded for a host to fire, nothing else happens.
#include "plat/gfx/gdi.h"
#include "plat/win/winuser.h"
#include "ui/UIControl.h"
#include "ui/UIManager.h"
#include "ui/UIRender.h"
#include "ui/UIRichEdit.h"

#include <algorithm>

namespace Veneer {

void CPaintManagerUI::Init(HWND hWnd) {
    if (m_hWndPaint != nullptr && m_hDcWindow != nullptr) {
        if (GetPaintDC() == m_hDcWindow)
            SetPaintDC(nullptr);
        plat::ReleaseDC(m_hWndPaint, m_hDcWindow);
        m_hDcWindow = nullptr;
    }
    m_hWndPaint = hWnd;
    if (hWnd == nullptr)
        return;
    if (std::find(Managers().begin(), Managers().end(), this) == Managers().end())
        Managers().push_back(this);
    // Text is measured through a memory DC: painting goes through BeginPaint
    // and the back buffer, and a DC kept for the window's life would make
    // the window system hold a screen-sized surface for it.
    EnsurePaintDC();
    RECT rc = {0, 0, 0, 0};
    if (plat::GetClientRect(hWnd, &rc))
        m_szClient = SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

bool CPaintManagerUI::PaintWindow() {
    if (m_hWndPaint == nullptr)
        return false;
    RECT rcUpdate = {0, 0, 0, 0};
    if (!plat::GetUpdateRect(m_hWndPaint, &rcUpdate, FALSE))
        return true;

    PAINTSTRUCT ps{};
    if (m_pRoot == nullptr) {
        plat::BeginPaint(m_hWndPaint, &ps);
        plat::EndPaint(m_hWndPaint, &ps);
        return true;
    }

    RECT rcClient = {0, 0, 0, 0};
    plat::GetClientRect(m_hWndPaint, &rcClient);
    const SIZE szClient = {rcClient.right - rcClient.left, rcClient.bottom - rcClient.top};
    if (szClient.cx != m_szClient.cx || szClient.cy != m_szClient.cy) {
        m_szClient = szClient;
        m_pRoot->NeedUpdate();
    }
    if (plat::IsIconic(m_hWndPaint) && m_pRoot->IsUpdateNeeded()) {
        // Minimised: no layout at this size, but the buffer goes.
        ReleaseBackBuffer();
        plat::BeginPaint(m_hWndPaint, &ps);
        plat::EndPaint(m_hWndPaint, &ps);
        return true;
    }

    HDC hDC = plat::BeginPaint(m_hWndPaint, &ps);
    RECT rcPaint = ps.rcPaint;
    if (IsBackgroundTransparent()) {
        PaintLayered(rcPaint, rcClient);
    } else if (PaintOffscreen(&rcPaint) && hDC != nullptr && m_hDcOffscreen != nullptr) {
        plat::BitBlt(hDC, rcPaint.left, rcPaint.top, rcPaint.right - rcPaint.left,
                     rcPaint.bottom - rcPaint.top, m_hDcOffscreen, rcPaint.left, rcPaint.top,
                     SRCCOPY);
    }
    plat::EndPaint(m_hWndPaint, &ps);
    // A layout asked for while painting gets one more paint.
    if (m_bUpdateNeeded)
        plat::InvalidateRect(m_hWndPaint, nullptr, FALSE);
    return true;
}

void CPaintManagerUI::PaintLayered(RECT rcPaint, const RECT& rcClient) {
    const LONG_PTR exStyle = plat::GetWindowLongPtr(m_hWndPaint, GWL_EXSTYLE);
    if ((exStyle & WS_EX_LAYERED) == 0)
        plat::SetWindowLongPtr(m_hWndPaint, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    // After a restore the whole window; else what changed, and the last
    // rectangle a control invalidated.
    if (m_bRestorePending) {
        rcPaint = rcClient;
        m_bRestorePending = false;
    } else {
        plat::UnionRect(&rcPaint, &rcPaint, &m_rcLayeredUpdate);
    }
    m_rcLayeredUpdate = RECT{0, 0, 0, 0};
    if (!PaintOffscreen(&rcPaint) || m_hDcOffscreen == nullptr)
        return;
    RECT rcWnd = {0, 0, 0, 0};
    plat::GetWindowRect(m_hWndPaint, &rcWnd);
    POINT ptPos = {rcWnd.left, rcWnd.top};
    SIZE szWnd = {rcClient.right - rcClient.left, rcClient.bottom - rcClient.top};
    POINT ptSrc = {0, 0};
    BLENDFUNCTION bf = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    plat::UpdateLayeredWindow(m_hWndPaint, nullptr, &ptPos, &szWnd, m_hDcOffscreen, &ptSrc, 0, &bf,
                              ULW_ALPHA);
}

void CPaintManagerUI::ReleaseWindowDC() {
    if (m_hDcWindow == nullptr)
        return;
    if (GetPaintDC() == m_hDcWindow)
        SetPaintDC(nullptr);
    if (m_hWndPaint != nullptr && plat::IsWindow(m_hWndPaint))
        plat::ReleaseDC(m_hWndPaint, m_hDcWindow);
    m_hDcWindow = nullptr;
}

void CPaintManagerUI::PostCleanupMessage() {
    // Off-screen the queue waits for ProcessDelayedCleanup or the manager's
    // destruction; with a window, its WM_APP + 1 handler calls it.
    if (m_hWndPaint != nullptr)
        plat::PostMessage(m_hWndPaint, WM_APP + 1, 0, 0);
}

void CPaintManagerUI::InvalidateWindowRect(const RECT* rc) {
    if (m_hWndPaint != nullptr)
        plat::InvalidateRect(m_hWndPaint, rc, FALSE);
}

void CPaintManagerUI::FocusPaintWindow() {
    if (m_hWndPaint != nullptr && plat::GetFocus() != m_hWndPaint)
        plat::SetFocus(m_hWndPaint);
}

bool CPaintManagerUI::StartWindowTimer(UINT uWinTimer, UINT uElapse) {
    if (m_hWndPaint == nullptr)
        return true;
    return plat::SetTimer(m_hWndPaint, uWinTimer, uElapse, nullptr) != 0;
}

void CPaintManagerUI::StopWindowTimer(UINT uWinTimer) {
    if (m_hWndPaint != nullptr && plat::IsWindow(m_hWndPaint))
        plat::KillTimer(m_hWndPaint, uWinTimer);
}

void CPaintManagerUI::ResizeWindow(int cx, int cy) {
    if (m_hWndPaint == nullptr) {
        SetClientSize(cx, cy);
        return;
    }
    plat::SetWindowPos(m_hWndPaint, nullptr, 0, 0, cx, cy,
                       SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    RECT rc = {0, 0, 0, 0};
    if (plat::GetClientRect(m_hWndPaint, &rc))
        m_szClient = SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

void CPaintManagerUI::ApplyWindowOpacity(int nOpacity) {
    if (m_hWndPaint == nullptr)
        return;
    const LONG_PTR exStyle = plat::GetWindowLongPtr(m_hWndPaint, GWL_EXSTYLE);
    if (nOpacity >= 0 && nOpacity <= 255) {
        plat::SetWindowLongPtr(m_hWndPaint, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
        plat::SetLayeredWindowAttributes(m_hWndPaint, 0, static_cast<BYTE>(nOpacity), LWA_ALPHA);
    } else {
        plat::SetWindowLongPtr(m_hWndPaint, GWL_EXSTYLE,
                               exStyle & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    }
}

// ---- The caret ----

bool CPaintManagerUI::CreateCaret(HBITMAP hBmp, int nWidth, int nHeight) {
    if (m_hWndPaint == nullptr || !plat::CreateCaret(m_hWndPaint, hBmp, nWidth, nHeight))
        return false;
    m_rtCaret.right = m_rtCaret.left + nWidth;
    m_rtCaret.bottom = m_rtCaret.top + nHeight;
    return true;
}

void CPaintManagerUI::ShowCaret(bool bShow) {
    if (m_bCaretShowing == bShow)
        return;
    m_bCaretShowing = bShow;
    if (bShow) {
        StartWindowTimer(kCaretTimer, plat::GetCaretBlinkTime());
        if (!m_bCaretActive) {
            InvalidateCaret();
            m_bCaretActive = true;
        }
    } else {
        StopWindowTimer(kCaretTimer);
        if (m_bCaretActive)
            InvalidateCaret();
        m_bCaretActive = false;
    }
}

bool CPaintManagerUI::SetCaretPos(CRichEditUI* pOwner, int x, int y) {
    if (m_hWndPaint == nullptr || !plat::SetCaretPos(x, y))
        return false;
    m_pCaretOwner = pOwner;
    InvalidateCaret();
    plat::OffsetRect(&m_rtCaret, x - m_rtCaret.left, y - m_rtCaret.top);
    InvalidateCaret();
    return true;
}

void CPaintManagerUI::DrawCaret(HDC hDC, const RECT& rcPaint) {
    if (m_pCaretOwner != nullptr &&
        (!m_pCaretOwner->IsFocused() || plat::GetFocus() != m_hWndPaint)) {
        StopWindowTimer(kCaretTimer);
        if (m_bCaretActive)
            InvalidateCaret();
        m_bCaretActive = false;
        return;
    }
    if (!m_bCaretActive || !m_bCaretShowing || m_pCaretOwner == nullptr)
        return;
    RECT rcCaret;
    if (!plat::IntersectRect(&rcCaret, &m_rtCaret, &rcPaint))
        return;
    DWORD dwColor = m_pCaretOwner->GetTextColor();
    if (dwColor == 0)
        dwColor = GetDefaultFontColor();
    CRenderEngine::DrawColor(hDC, rcCaret, dwColor);
}

void CPaintManagerUI::BlinkCaret() {
    InvalidateCaret();
    m_bCaretActive = !m_bCaretActive;
}

void CPaintManagerUI::InvalidateCaret() {
    RECT rc = m_rtCaret;
    if (!plat::IsRectEmpty(&rc))
        Invalidate(rc);
}

RECT CPaintManagerUI::GetCaretRect() const {
    return m_rtCaret;
}

bool CPaintManagerUI::IsCaretShowing() const {
    return m_bCaretShowing;
}

bool CPaintManagerUI::IsCaretActive() const {
    return m_bCaretActive;
}

void CPaintManagerUI::SetWindowCursor(int nCursor) {
    plat::SetCursor(plat::LoadCursor(nullptr, nCursor == UICURSOR_HAND ? IDC_HAND : IDC_ARROW));
}

} // namespace Veneer
