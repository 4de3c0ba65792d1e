#include "ui/UIButton.h"

#include "ui/UIAttrParse.h"
#include "ui/UIContainer.h"
#include "ui/UIManager.h"
#include "ui/UIRender.h"

namespace Veneer {

CButtonUI::CButtonUI()
    : m_uButtonState(0), m_dwHotBkColor(0), m_dwHotTextColor(0), m_dwPushedTextColor(0),
      m_dwFocusedTextColor(0), m_iBindTabIndex(-1) {
    m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
}

LPCWSTR CButtonUI::GetClass() const {
    return L"ButtonUI";
}

void* CButtonUI::GetInterface(LPCWSTR pstrName) {
    if (AttrNameIs(pstrName, L"Button"))
        return static_cast<CButtonUI*>(this);
    return CLabelUI::GetInterface(pstrName);
}

UINT CButtonUI::GetControlFlags() const {
    return (IsKeyboardEnabled() ? UIFLAG_TABSTOP : 0) | (IsEnabled() ? UIFLAG_SETCURSOR : 0);
}

void CButtonUI::DoEvent(TEventUI& event) {
    if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
        if (m_pParent != nullptr)
            m_pParent->DoEvent(event);
        else
            CLabelUI::DoEvent(event);
        return;
    }
    if (event.Type == UIEVENT_SETFOCUS || event.Type == UIEVENT_KILLFOCUS)
        Invalidate();
    if (event.Type == UIEVENT_KEYDOWN && IsKeyboardEnabled()) {
        if (event.chKey == L' ' || event.chKey == 0x0D /* VK_RETURN */) {
            Activate();
            return;
        }
    }
    if (event.Type == UIEVENT_BUTTONDOWN || event.Type == UIEVENT_DBLCLICK) {
        if (plat::PtInRect(&m_rcItem, event.ptMouse) && IsEnabled()) {
            m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
            Invalidate();
        }
        return;
    }
    if (event.Type == UIEVENT_MOUSEMOVE) {
        if ((m_uButtonState & UISTATE_CAPTURED) != 0) {
            if (plat::PtInRect(&m_rcItem, event.ptMouse))
                m_uButtonState |= UISTATE_PUSHED;
            else
                m_uButtonState &= ~UISTATE_PUSHED;
            Invalidate();
        }
        return;
    }
    if (event.Type == UIEVENT_BUTTONUP) {
        if ((m_uButtonState & UISTATE_CAPTURED) != 0) {
            // Clear the press before activating: a click handler may open a
            // modal window or change this button, and must see it released.
            const bool inside = plat::PtInRect(&m_rcItem, event.ptMouse);
            m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
            Invalidate();
            if (inside)
                Activate();
        }
        return;
    }
    if (event.Type == UIEVENT_CONTEXTMENU) {
        if (IsContextMenuUsed() && m_pManager)
            m_pManager->SendNotify(this, DUI_MSGTYPE_MENU, event.wParam, event.lParam);
        return;
    }
    if (event.Type == UIEVENT_MOUSEENTER) {
        if (IsEnabled()) {
            m_uButtonState |= UISTATE_HOT;
            Invalidate();
        }
    }
    if (event.Type == UIEVENT_MOUSELEAVE) {
        if (IsEnabled()) {
            m_uButtonState &= ~UISTATE_HOT;
            Invalidate();
        }
    }
    if (event.Type == UIEVENT_SETCURSOR) {
        CPaintManagerUI::ShowCursor(UICURSOR_HAND);
        return;
    }
    CLabelUI::DoEvent(event);
}

bool CButtonUI::Activate() {
    if (!CControlUI::Activate())
        return false;
    if (m_pManager != nullptr) {
        m_pManager->SendNotify(this, DUI_MSGTYPE_CLICK);
        BindTriggerTabSel();
    }
    return true;
}

void CButtonUI::SetEnabled(bool bEnable) {
    CControlUI::SetEnabled(bEnable);
    if (!IsEnabled())
        m_uButtonState = 0;
}

LPCWSTR CButtonUI::GetNormalImage() const {
    return m_sNormalImage.GetData();
}
void CButtonUI::SetNormalImage(LPCWSTR pStrImage) {
    m_sNormalImage = pStrImage;
    Invalidate();
}
LPCWSTR CButtonUI::GetHotImage() const {
    return m_sHotImage.GetData();
}
void CButtonUI::SetHotImage(LPCWSTR pStrImage) {
    m_sHotImage = pStrImage;
    Invalidate();
}
LPCWSTR CButtonUI::GetPushedImage() const {
    return m_sPushedImage.GetData();
}
void CButtonUI::SetPushedImage(LPCWSTR pStrImage) {
    m_sPushedImage = pStrImage;
    Invalidate();
}
LPCWSTR CButtonUI::GetFocusedImage() const {
    return m_sFocusedImage.GetData();
}
void CButtonUI::SetFocusedImage(LPCWSTR pStrImage) {
    m_sFocusedImage = pStrImage;
    Invalidate();
}
LPCWSTR CButtonUI::GetDisabledImage() const {
    return m_sDisabledImage.GetData();
}
void CButtonUI::SetDisabledImage(LPCWSTR pStrImage) {
    m_sDisabledImage = pStrImage;
    Invalidate();
}
LPCWSTR CButtonUI::GetHotForeImage() const {
    return m_sHotForeImage.GetData();
}
void CButtonUI::SetHotForeImage(LPCWSTR pStrImage) {
    m_sHotForeImage = pStrImage;
    Invalidate();
}
LPCWSTR CButtonUI::GetPushedForeImage() const {
    return m_sPushedForeImage.GetData();
}
void CButtonUI::SetPushedForeImage(LPCWSTR pStrImage) {
    m_sPushedForeImage = pStrImage;
    Invalidate();
}

void CButtonUI::BindTabIndex(int iIndex) {
    if (iIndex >= 0)
        m_iBindTabIndex = iIndex;
}

void CButtonUI::BindTabLayoutName(LPCWSTR pTabLayoutName) {
    if (pTabLayoutName)
        m_sBindTabLayoutName = pTabLayoutName;
}

void CButtonUI::BindTriggerTabSel(int iSetSelectIndex) {
    if (m_pManager == nullptr || m_sBindTabLayoutName.IsEmpty())
        return;
    const int index = iSetSelectIndex >= 0 ? iSetSelectIndex : m_iBindTabIndex;
    if (index < 0)
        return;
    CControlUI* pControl = m_pManager->FindControl(m_sBindTabLayoutName.GetData());
    CTabLayoutUI* pTab =
        pControl ? static_cast<CTabLayoutUI*>(pControl->GetInterface(L"TabLayout")) : nullptr;
    if (pTab != nullptr)
        pTab->SelectItem(index);
}

void CButtonUI::RemoveBindTabIndex() {
    m_iBindTabIndex = -1;
    m_sBindTabLayoutName.Empty();
}

int CButtonUI::GetBindTabLayoutIndex() const {
    return m_iBindTabIndex;
}
LPCWSTR CButtonUI::GetBindTabLayoutName() const {
    return m_sBindTabLayoutName.GetData();
}

void CButtonUI::SetHotBkColor(DWORD dwColor) {
    m_dwHotBkColor = dwColor;
}
DWORD CButtonUI::GetHotBkColor() const {
    return m_dwHotBkColor;
}
void CButtonUI::SetHotTextColor(DWORD dwColor) {
    m_dwHotTextColor = dwColor;
}
DWORD CButtonUI::GetHotTextColor() const {
    return m_dwHotTextColor;
}
void CButtonUI::SetPushedTextColor(DWORD dwColor) {
    m_dwPushedTextColor = dwColor;
}
DWORD CButtonUI::GetPushedTextColor() const {
    return m_dwPushedTextColor;
}
void CButtonUI::SetFocusedTextColor(DWORD dwColor) {
    m_dwFocusedTextColor = dwColor;
}
DWORD CButtonUI::GetFocusedTextColor() const {
    return m_dwFocusedTextColor;
}

void CButtonUI::SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) {
    if (pstrValue == nullptr)
        pstrValue = L"";
    if (AttrNameIs(pstrName, L"normalimage"))
        SetNormalImage(pstrValue);
    else if (AttrNameIs(pstrName, L"hotimage"))
        SetHotImage(pstrValue);
    else if (AttrNameIs(pstrName, L"pushedimage"))
        SetPushedImage(pstrValue);
    else if (AttrNameIs(pstrName, L"focusedimage"))
        SetFocusedImage(pstrValue);
    else if (AttrNameIs(pstrName, L"disabledimage"))
        SetDisabledImage(pstrValue);
    else if (AttrNameIs(pstrName, L"foreimage"))
        SetForeImage(pstrValue);
    else if (AttrNameIs(pstrName, L"hotforeimage"))
        SetHotForeImage(pstrValue);
    else if (AttrNameIs(pstrName, L"bindtabindex"))
        BindTabIndex(ParseAttrInt(pstrValue));
    else if (AttrNameIs(pstrName, L"bindtablayoutname"))
        BindTabLayoutName(pstrValue);
    else if (AttrNameIs(pstrName, L"hotbkcolor"))
        SetHotBkColor(ParseAttrColor(pstrValue));
    else if (AttrNameIs(pstrName, L"hottextcolor"))
        SetHotTextColor(ParseAttrColor(pstrValue));
    else if (AttrNameIs(pstrName, L"pushedtextcolor"))
        SetPushedTextColor(ParseAttrColor(pstrValue));
    else if (AttrNameIs(pstrName, L"focusedtextcolor"))
        SetFocusedTextColor(ParseAttrColor(pstrValue));
    else if (AttrNameIs(pstrName, L"multiline")) {
        if (ParseAttrBool(pstrValue)) {
            m_uTextStyle &= ~DT_SINGLELINE;
            m_uTextStyle |= DT_WORDBREAK;
        } else {
            m_uTextStyle &= ~DT_WORDBREAK;
            m_uTextStyle |= DT_SINGLELINE;
        }
    } else
        CLabelUI::SetAttribute(pstrName, pstrValue);
}

SIZE CButtonUI::EstimateSize(SIZE /*szAvailable*/) {
    if (m_cxyFixed.cy != 0)
        return m_cxyFixed;
    return SIZE{m_cxyFixed.cx, FontCellHeight() + 8};
}

void CButtonUI::PaintButtonText(plat::HDC hDC, DWORD clrColor) {
    CStdString text = GetText();
    RECT rc = m_rcItem;
    rc = UIDeflateRect(rc, m_rcTextPadding);
    if (m_bShowHtml) {
        int nLinks = 0;
        CRenderEngine::DrawHtmlText(hDC, m_pManager, rc, text.GetData(), clrColor, nullptr, nullptr,
                                    nLinks, m_uTextStyle, m_iFont);
    } else {
        CRenderEngine::DrawText(hDC, m_pManager, rc, text.GetData(), clrColor, m_iFont,
                                m_uTextStyle);
    }
}

void CButtonUI::PaintText(plat::HDC hDC) {
    if (IsFocused())
        m_uButtonState |= UISTATE_FOCUSED;
    else
        m_uButtonState &= ~UISTATE_FOCUSED;
    if (!IsEnabled())
        m_uButtonState |= UISTATE_DISABLED;
    else
        m_uButtonState &= ~UISTATE_DISABLED;

    FillDefaultColors();
    if (GetText().IsEmpty() || m_bEnableEffect)
        return;
    DWORD clrColor = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
    if ((m_uButtonState & UISTATE_PUSHED) != 0 && m_dwPushedTextColor != 0)
        clrColor = m_dwPushedTextColor;
    else if ((m_uButtonState & UISTATE_HOT) != 0 && m_dwHotTextColor != 0)
        clrColor = m_dwHotTextColor;
    else if ((m_uButtonState & UISTATE_FOCUSED) != 0 && m_dwFocusedTextColor != 0)
        clrColor = m_dwFocusedTextColor;
    PaintButtonText(hDC, clrColor);
}

bool CButtonUI::DrawStateImage(plat::HDC hDC, CStdString& image) {
    if (image.IsEmpty())
        return false;
    if (!DrawImage(hDC, image.GetData())) {
        image.Empty();
        return false;
    }
    return true;
}

void CButtonUI::PaintStatusImage(plat::HDC hDC) {
    PaintButtonStateImage(hDC, true);
}

void CButtonUI::PaintButtonStateImage(plat::HDC hDC, bool bForeImage) {
    if (IsFocused())
        m_uButtonState |= UISTATE_FOCUSED;
    else
        m_uButtonState &= ~UISTATE_FOCUSED;
    if (!IsEnabled())
        m_uButtonState |= UISTATE_DISABLED;
    else
        m_uButtonState &= ~UISTATE_DISABLED;

    if ((m_uButtonState & UISTATE_DISABLED) != 0) {
        if (DrawStateImage(hDC, m_sDisabledImage)) {
            if (bForeImage)
                DrawStateImage(hDC, m_sForeImage);
            return;
        }
    } else if ((m_uButtonState & UISTATE_PUSHED) != 0) {
        if (DrawStateImage(hDC, m_sPushedImage)) {
            if (!DrawStateImage(hDC, m_sPushedForeImage) && bForeImage)
                DrawStateImage(hDC, m_sForeImage);
            return;
        }
    } else if ((m_uButtonState & UISTATE_HOT) != 0) {
        if (DrawStateImage(hDC, m_sHotImage)) {
            if (!DrawStateImage(hDC, m_sHotForeImage) && bForeImage)
                DrawStateImage(hDC, m_sForeImage);
            return;
        }
        if (m_dwHotBkColor != 0) {
            CRenderEngine::DrawColor(hDC, m_rcPaint, GetAdjustColor(m_dwHotBkColor));
            return;
        }
    } else if ((m_uButtonState & UISTATE_FOCUSED) != 0) {
        if (DrawStateImage(hDC, m_sFocusedImage)) {
            if (bForeImage)
                DrawStateImage(hDC, m_sForeImage);
            return;
        }
    }
    DrawStateImage(hDC, m_sNormalImage);
    if (bForeImage)
        DrawStateImage(hDC, m_sForeImage);
}

} // namespace Veneer
