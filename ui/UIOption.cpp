#include "ui/UIOption.h"

#include "ui/UIAttrParse.h"
#include "ui/UIManager.h"
#include "ui/UIRender.h"

namespace Veneer {

COptionUI::COptionUI() : m_bSelected(false), m_dwSelectedBkColor(0), m_dwSelectedTextColor(0) {}

COptionUI::~COptionUI() {
    if (!m_sGroupName.IsEmpty() && m_pManager)
        m_pManager->RemoveOptionGroup(m_sGroupName.GetData(), this);
}

LPCWSTR COptionUI::GetClass() const {
    return L"OptionUI";
}

void* COptionUI::GetInterface(LPCWSTR pstrName) {
    if (AttrNameIs(pstrName, L"Option"))
        return static_cast<COptionUI*>(this);
    return CButtonUI::GetInterface(pstrName);
}

void COptionUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    CControlUI::SetManager(pManager, pParent, bInit);
    if (bInit && !m_sGroupName.IsEmpty() && m_pManager)
        m_pManager->AddOptionGroup(m_sGroupName.GetData(), this);
}

LPCWSTR COptionUI::GetGroup() const {
    return m_sGroupName.GetData();
}

void COptionUI::SetGroup(LPCWSTR pStrGroupName) {
    if (pStrGroupName == nullptr) {
        if (m_sGroupName.IsEmpty())
            return;
        if (m_pManager)
            m_pManager->RemoveOptionGroup(m_sGroupName.GetData(), this);
        m_sGroupName.Empty();
    } else {
        if (m_sGroupName == pStrGroupName)
            return;
        if (!m_sGroupName.IsEmpty() && m_pManager)
            m_pManager->RemoveOptionGroup(m_sGroupName.GetData(), this);
        m_sGroupName = pStrGroupName;
    }
    if (!m_sGroupName.IsEmpty()) {
        if (m_pManager)
            m_pManager->AddOptionGroup(m_sGroupName.GetData(), this);
    }
    Selected(m_bSelected);
}

bool COptionUI::IsSelected() const {
    return m_bSelected;
}

void COptionUI::Selected(bool bSelected) {
    m_bSelected = bSelected;
    if (m_bSelected)
        m_uButtonState |= UISTATE_SELECTED;
    else
        m_uButtonState &= ~UISTATE_SELECTED;

    if (m_pManager != nullptr) {
        if (!m_sGroupName.IsEmpty()) {
            if (!m_bSelected) {
                Invalidate();
                return;
            }
            CStdPtrArray* aOptionGroup = m_pManager->GetOptionGroup(m_sGroupName.GetData());
            if (aOptionGroup != nullptr) {
                // Work on a copy: turning an option off never changes the
                // list, but a listener could.
                CStdPtrArray group = *aOptionGroup;
                for (int i = 0; i < group.GetSize(); ++i) {
                    COptionUI* pControl = static_cast<COptionUI*>(group.GetAt(i));
                    if (pControl != this)
                        pControl->Selected(false);
                }
            }
            m_pManager->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED);
        } else {
            m_pManager->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED);
        }
    }
    Invalidate();
}

bool COptionUI::Activate() {
    if (!CButtonUI::Activate())
        return false;
    if (!m_sGroupName.IsEmpty())
        Selected(true);
    else
        Selected(!m_bSelected);
    return true;
}

void COptionUI::SetEnabled(bool bEnable) {
    CControlUI::SetEnabled(bEnable);
    if (!IsEnabled())
        m_uButtonState = m_bSelected ? UISTATE_SELECTED : 0;
}

LPCWSTR COptionUI::GetSelectedImage() const {
    return m_sSelectedImage.GetData();
}
void COptionUI::SetSelectedImage(LPCWSTR pStrImage) {
    m_sSelectedImage = pStrImage;
    Invalidate();
}
LPCWSTR COptionUI::GetSelectedHotImage() const {
    return m_sSelectedHotImage.GetData();
}
void COptionUI::SetSelectedHotImage(LPCWSTR pStrImage) {
    m_sSelectedHotImage = pStrImage;
    Invalidate();
}
LPCWSTR COptionUI::GetSelectedPushedImage() const {
    return m_sSelectedPushedImage.GetData();
}
void COptionUI::SetSelectedPushedImage(LPCWSTR pStrImage) {
    m_sSelectedPushedImage = pStrImage;
    Invalidate();
}
LPCWSTR COptionUI::GetSelectedForeImage() const {
    return m_sSelectedForeImage.GetData();
}
void COptionUI::SetSelectedForeImage(LPCWSTR pStrImage) {
    m_sSelectedForeImage = pStrImage;
    Invalidate();
}
void COptionUI::SetSelectedTextColor(DWORD dwTextColor) {
    m_dwSelectedTextColor = dwTextColor;
}
DWORD COptionUI::GetSelectedTextColor() const {
    return m_dwSelectedTextColor;
}
void COptionUI::SetSelectedBkColor(DWORD dwBkColor) {
    m_dwSelectedBkColor = dwBkColor;
}
DWORD COptionUI::GetSelectBkColor() const {
    return m_dwSelectedBkColor;
}

void COptionUI::SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) {
    if (pstrValue == nullptr)
        pstrValue = L"";
    if (AttrNameIs(pstrName, L"group"))
        SetGroup(pstrValue);
    else if (AttrNameIs(pstrName, L"selected"))
        Selected(ParseAttrBool(pstrValue));
    else if (AttrNameIs(pstrName, L"selectedimage"))
        SetSelectedImage(pstrValue);
    else if (AttrNameIs(pstrName, L"selectedhotimage"))
        SetSelectedHotImage(pstrValue);
    else if (AttrNameIs(pstrName, L"selectedpushedimage"))
        SetSelectedPushedImage(pstrValue);
    else if (AttrNameIs(pstrName, L"foreimage"))
        SetForeImage(pstrValue);
    else if (AttrNameIs(pstrName, L"selectedforeimage"))
        SetSelectedForeImage(pstrValue);
    else if (AttrNameIs(pstrName, L"selectedbkcolor"))
        SetSelectedBkColor(ParseAttrColor(pstrValue));
    else if (AttrNameIs(pstrName, L"selectedtextcolor"))
        SetSelectedTextColor(ParseAttrColor(pstrValue));
    else
        CButtonUI::SetAttribute(pstrName, pstrValue);
}

void COptionUI::PaintStatusImage(plat::HDC hDC) {
    // One state image, then one fore image over it: the button's rules are
    // used without their fore image, which the option draws itself.
    bool drawn = false;
    if ((m_uButtonState & UISTATE_PUSHED) != 0 && IsSelected() &&
        !m_sSelectedPushedImage.IsEmpty()) {
        drawn = DrawStateImage(hDC, m_sSelectedPushedImage);
    } else if ((m_uButtonState & UISTATE_HOT) != 0 && IsSelected() &&
               !m_sSelectedHotImage.IsEmpty()) {
        drawn = DrawStateImage(hDC, m_sSelectedHotImage);
    } else if (IsSelected()) {
        if (!m_sSelectedImage.IsEmpty()) {
            drawn = DrawStateImage(hDC, m_sSelectedImage);
        } else if (m_dwSelectedBkColor != 0) {
            CRenderEngine::DrawColor(hDC, m_rcPaint, GetAdjustColor(m_dwSelectedBkColor));
            return;
        }
    }
    if (!drawn)
        PaintButtonStateImage(hDC, false);
    if (IsSelected() && !m_sSelectedForeImage.IsEmpty())
        DrawStateImage(hDC, m_sSelectedForeImage);
    else
        DrawStateImage(hDC, m_sForeImage);
}

void COptionUI::PaintText(plat::HDC hDC) {
    if ((m_uButtonState & UISTATE_SELECTED) == 0) {
        CButtonUI::PaintText(hDC);
        return;
    }
    FillDefaultColors();
    if (GetText().IsEmpty() || m_bEnableEffect)
        return;
    // The selected colour stands in for the enabled text colour only.
    DWORD clrColor = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
    if (IsEnabled() && m_dwSelectedTextColor != 0)
        clrColor = m_dwSelectedTextColor;
    PaintButtonText(hDC, clrColor);
}

// -------------------------------------------------------------- check box

LPCWSTR CCheckBoxUI::GetClass() const {
    return L"CheckBoxUI";
}
void CCheckBoxUI::SetCheck(bool bCheck) {
    Selected(bCheck);
}
bool CCheckBoxUI::GetCheck() const {
    return IsSelected();
}

} // namespace Veneer
