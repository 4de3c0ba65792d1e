#include "ui/UILabel.h"

#include "ui/UIAttrParse.h"
#include "ui/UIManager.h"
#include "ui/UIRender.h"

#include <cwchar>

namespace Veneer {

namespace {

bool Contains(LPCWSTR text, LPCWSTR word) {
    return text && std::wcsstr(text, word) != nullptr;
}

} // namespace

CLabelUI::CLabelUI()
    : m_dwTextColor(0), m_dwDisabledTextColor(0), m_iFont(-1),
      m_uTextStyle(DT_VCENTER), m_rcTextPadding{0, 0, 0, 0}, m_bShowHtml(false),
      m_bAutoCalcWidth(false), m_bEnableEffect(false), m_bEnableStroke(false),
      m_bEnableShadow(false), m_nTransShadow(60), m_nTransText(168), m_nTransShadow1(60),
      m_nTransText1(168), m_nGradientAngle(0), m_nTransStroke(255), m_nGradientLength(0),
      m_dwTextColor1(0), m_dwTextShadowColorA(0), m_dwTextShadowColorB(0), m_dwStrokeColor(0) {}

LPCWSTR CLabelUI::GetClass() const {
    return L"LabelUI";
}

void* CLabelUI::GetInterface(LPCWSTR pstrName) {
    if (AttrNameIs(pstrName, L"Label"))
        return static_cast<CLabelUI*>(this);
    return CControlUI::GetInterface(pstrName);
}

CStdString CLabelUI::GetText() const {
    return m_bEnableEffect ? m_sEffectText : CControlUI::GetText();
}

void CLabelUI::SetText(LPCWSTR pstrText) {
    if (m_bEnableEffect) {
        CStdString text(pstrText ? pstrText : L"");
        if (m_sEffectText == text)
            return;
        m_sEffectText = text;
        Invalidate();
        return;
    }
    CControlUI::SetText(pstrText);
}

bool CLabelUI::GetAutoCalcWidth() const {
    return m_bAutoCalcWidth;
}
void CLabelUI::SetAutoCalcWidth(bool bAutoCalcWidth) {
    m_bAutoCalcWidth = bAutoCalcWidth;
}

void CLabelUI::SetTextStyle(UINT uStyle) {
    m_uTextStyle = uStyle;
    Invalidate();
}

UINT CLabelUI::GetTextStyle() const {
    return m_uTextStyle;
}

void CLabelUI::SetTextColor(DWORD dwTextColor) {
    m_dwTextColor = dwTextColor;
    Invalidate();
}

DWORD CLabelUI::GetTextColor() const {
    return m_dwTextColor;
}

void CLabelUI::SetDisabledTextColor(DWORD dwTextColor) {
    m_dwDisabledTextColor = dwTextColor;
    Invalidate();
}

DWORD CLabelUI::GetDisabledTextColor() const {
    return m_dwDisabledTextColor;
}

void CLabelUI::SetFont(int index) {
    m_iFont = index;
    Invalidate();
}

int CLabelUI::GetFont() const {
    return m_iFont;
}
RECT CLabelUI::GetTextPadding() const {
    return m_rcTextPadding;
}

void CLabelUI::SetTextPadding(RECT rc) {
    m_rcTextPadding = rc;
    Invalidate();
}

bool CLabelUI::IsShowHtml() const {
    return m_bShowHtml;
}

void CLabelUI::SetShowHtml(bool bShowHtml) {
    if (m_bShowHtml == bShowHtml)
        return;
    m_bShowHtml = bShowHtml;
    Invalidate();
}

void CLabelUI::SetEnabledEffect(bool bEnable) {
    m_bEnableEffect = bEnable;
}
bool CLabelUI::GetEnabledEffect() const {
    return m_bEnableEffect;
}

void CLabelUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_SETFOCUS) {
        m_bFocused = true;
        return;
    }
    if (event.Type == UIEVENT_KILLFOCUS) {
        m_bFocused = false;
        return;
    }
    CControlUI::DoEvent(event);
}

void CLabelUI::SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) {
    if (pstrValue == nullptr)
        pstrValue = L"";
    if (AttrNameIs(pstrName, L"align")) {
        if (Contains(pstrValue, L"left"))
            m_uTextStyle &= ~(DT_CENTER | DT_RIGHT | DT_SINGLELINE);
        if (Contains(pstrValue, L"center")) {
            m_uTextStyle &= ~DT_RIGHT;
            m_uTextStyle |= DT_CENTER;
        }
        if (Contains(pstrValue, L"right")) {
            m_uTextStyle &= ~(DT_CENTER | DT_SINGLELINE);
            m_uTextStyle |= DT_RIGHT;
        }
    } else if (AttrNameIs(pstrName, L"valign")) {
        if (Contains(pstrValue, L"top")) {
            m_uTextStyle &= ~(DT_BOTTOM | DT_VCENTER);
            m_uTextStyle |= DT_SINGLELINE;
        }
        if (Contains(pstrValue, L"vcenter")) {
            m_uTextStyle &= ~DT_BOTTOM;
            m_uTextStyle |= DT_VCENTER | DT_SINGLELINE;
        }
        if (Contains(pstrValue, L"bottom")) {
            m_uTextStyle &= ~DT_VCENTER;
            m_uTextStyle |= DT_BOTTOM | DT_SINGLELINE;
        }
    } else if (AttrNameIs(pstrName, L"endellipsis")) {
        if (ParseAttrBool(pstrValue))
            m_uTextStyle |= DT_END_ELLIPSIS;
        else
            m_uTextStyle &= ~DT_END_ELLIPSIS;
    } else if (AttrNameIs(pstrName, L"font")) {
        SetFont(ParseAttrInt(pstrValue));
    } else if (AttrNameIs(pstrName, L"textcolor")) {
        SetTextColor(ParseAttrColor(pstrValue));
    } else if (AttrNameIs(pstrName, L"disabledtextcolor")) {
        SetDisabledTextColor(ParseAttrColor(pstrValue));
    } else if (AttrNameIs(pstrName, L"textpadding")) {
        SetTextPadding(ParseAttrRect(pstrValue));
    } else if (AttrNameIs(pstrName, L"showhtml")) {
        SetShowHtml(ParseAttrBool(pstrValue));
    } else if (AttrNameIs(pstrName, L"enabledeffect")) {
        SetEnabledEffect(ParseAttrBool(pstrValue));
    } else if (AttrNameIs(pstrName, L"transshadow")) {
        m_nTransShadow = ParseAttrInt(pstrValue);
    } else if (AttrNameIs(pstrName, L"transtext")) {
        m_nTransText = ParseAttrInt(pstrValue);
    } else if (AttrNameIs(pstrName, L"transshadow1")) {
        m_nTransShadow1 = ParseAttrInt(pstrValue);
    } else if (AttrNameIs(pstrName, L"transtext1")) {
        m_nTransText1 = ParseAttrInt(pstrValue);
    } else if (AttrNameIs(pstrName, L"gradientangle")) {
        m_nGradientAngle = ParseAttrInt(pstrValue);
    } else if (AttrNameIs(pstrName, L"enabledstroke")) {
        m_bEnableStroke = ParseAttrBool(pstrValue);
    } else if (AttrNameIs(pstrName, L"enabledshadow")) {
        m_bEnableShadow = ParseAttrBool(pstrValue);
    } else if (AttrNameIs(pstrName, L"transstroke")) {
        m_nTransStroke = ParseAttrInt(pstrValue);
    } else if (AttrNameIs(pstrName, L"gradientlength")) {
        m_nGradientLength = ParseAttrInt(pstrValue);
    } else if (AttrNameIs(pstrName, L"shadowoffset")) {
        int v[2];
        ParseAttrIntList(pstrValue, v, 2); // read and discarded
    } else if (AttrNameIs(pstrName, L"textcolor1")) {
        m_dwTextColor1 = ParseAttrColor(pstrValue);
    } else if (AttrNameIs(pstrName, L"textshadowcolora")) {
        m_dwTextShadowColorA = ParseAttrColor(pstrValue);
    } else if (AttrNameIs(pstrName, L"textshadowcolorb")) {
        m_dwTextShadowColorB = ParseAttrColor(pstrValue);
    } else if (AttrNameIs(pstrName, L"strokecolor")) {
        m_dwStrokeColor = ParseAttrColor(pstrValue);
    } else if (AttrNameIs(pstrName, L"autocalcwidth")) {
        SetAutoCalcWidth(ParseAttrBool(pstrValue));
    } else {
        CControlUI::SetAttribute(pstrName, pstrValue);
    }
}

int CLabelUI::FontCellHeight() const {
    if (m_pManager == nullptr)
        return 0;
    const TFontInfo* info = m_pManager->GetFontInfo(m_iFont);
    return info ? info->tm.tmHeight : 0;
}

SIZE CLabelUI::EstimateSize(SIZE /*szAvailable*/) {
    if (m_bAutoCalcWidth && m_pManager != nullptr) {
        CStdString text = GetText();
        RECT rcText = {0, 0, 0, 0};
        int width = 0;
        if (!text.IsEmpty()) {
            CRenderEngine::DrawText(m_pManager->GetPaintDC(), m_pManager, rcText, text.GetData(), 0,
                                    m_iFont, DT_CALCRECT | m_uTextStyle);
            width = rcText.right - rcText.left;
        }
        m_cxyFixed.cx =
            UIClampCoord((long long)m_rcTextPadding.left + width + m_rcTextPadding.right);
    }
    if (m_cxyFixed.cy != 0)
        return m_cxyFixed;
    return SIZE{m_cxyFixed.cx, FontCellHeight() + 4};
}

void CLabelUI::FillDefaultColors() {
    if (m_pManager == nullptr)
        return;
    if (m_dwTextColor == 0)
        m_dwTextColor = m_pManager->GetDefaultFontColor();
    if (m_dwDisabledTextColor == 0)
        m_dwDisabledTextColor = m_pManager->GetDefaultDisabledColor();
}

void CLabelUI::PaintText(plat::HDC hDC) {
    FillDefaultColors();
    if (m_bEnableEffect)
        return;
    CStdString text = GetText();
    if (text.IsEmpty())
        return;
    RECT rc = m_rcItem;
    rc = UIDeflateRect(rc, m_rcTextPadding);
    const DWORD color = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
    if (m_bShowHtml) {
        int nLinks = 0;
        CRenderEngine::DrawHtmlText(hDC, m_pManager, rc, text.GetData(), color, nullptr, nullptr,
                                    nLinks, DT_SINGLELINE | m_uTextStyle, m_iFont);
    } else {
        CRenderEngine::DrawText(hDC, m_pManager, rc, text.GetData(), color, m_iFont,
                                DT_SINGLELINE | m_uTextStyle);
    }
}

// ------------------------------------------------------------------ text

CTextUI::CTextUI() : m_nLinks(0), m_nHoverLink(-1) {
    m_uTextStyle = DT_WORDBREAK;
    m_rcTextPadding.left = 2;
    m_rcTextPadding.right = 2;
    for (auto& rc : m_rcLinks)
        rc = RECT{0, 0, 0, 0};
}

LPCWSTR CTextUI::GetClass() const {
    return L"TextUI";
}

void* CTextUI::GetInterface(LPCWSTR pstrName) {
    if (AttrNameIs(pstrName, L"Text"))
        return static_cast<CTextUI*>(this);
    return CLabelUI::GetInterface(pstrName);
}

UINT CTextUI::GetControlFlags() const {
    return (IsEnabled() && m_nLinks > 0) ? UIFLAG_SETCURSOR : 0;
}

CStdString* CTextUI::GetLinkContent(int iIndex) {
    if (iIndex >= 0 && iIndex < m_nLinks)
        return &m_sLinks[iIndex];
    return nullptr;
}

void CTextUI::DoEvent(TEventUI& event) {
    if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
        if (m_pParent != nullptr)
            m_pParent->DoEvent(event);
        else
            CLabelUI::DoEvent(event);
        return;
    }
    if (event.Type == UIEVENT_SETCURSOR) {
        for (int i = 0; i < m_nLinks; ++i) {
            if (plat::PtInRect(&m_rcLinks[i], event.ptMouse)) {
                CPaintManagerUI::ShowCursor(UICURSOR_HAND);
                return;
            }
        }
    }
    if (event.Type == UIEVENT_BUTTONDOWN || (event.Type == UIEVENT_DBLCLICK && IsEnabled())) {
        for (int i = 0; i < m_nLinks; ++i) {
            if (plat::PtInRect(&m_rcLinks[i], event.ptMouse)) {
                Invalidate();
                return;
            }
        }
    }
    if (event.Type == UIEVENT_BUTTONUP && IsEnabled()) {
        for (int i = 0; i < m_nLinks; ++i) {
            if (plat::PtInRect(&m_rcLinks[i], event.ptMouse)) {
                if (m_pManager)
                    m_pManager->SendNotify(this, DUI_MSGTYPE_LINK, i, 0);
                return;
            }
        }
    }
    if (event.Type == UIEVENT_CONTEXTMENU)
        return;
    if (m_nLinks > 0 && event.Type == UIEVENT_MOUSEMOVE) {
        int nHoverLink = -1;
        for (int i = 0; i < m_nLinks; ++i)
            if (plat::PtInRect(&m_rcLinks[i], event.ptMouse))
                nHoverLink = i;
        if (m_nHoverLink != nHoverLink) {
            m_nHoverLink = nHoverLink;
            Invalidate();
            return;
        }
    }
    if (event.Type == UIEVENT_MOUSELEAVE) {
        if (m_nLinks > 0 && m_nHoverLink != -1) {
            m_nHoverLink = -1;
            Invalidate();
            return;
        }
    }
    CLabelUI::DoEvent(event);
}

SIZE CTextUI::EstimateSize(SIZE /*szAvailable*/) {
    CStdString text = GetText();
    RECT rcText = {0, 0, m_bAutoCalcWidth ? 9999 : m_cxyFixed.cx, 9999};
    rcText.left = UIClampCoord((long long)rcText.left + m_rcTextPadding.left);
    rcText.right = UIClampCoord((long long)rcText.right - m_rcTextPadding.right);
    if (m_pManager != nullptr && !text.IsEmpty()) {
        if (m_bShowHtml) {
            int nLinks = 0;
            CRenderEngine::DrawHtmlText(m_pManager->GetPaintDC(), m_pManager, rcText,
                                        text.GetData(), m_dwTextColor, nullptr, nullptr, nLinks,
                                        DT_CALCRECT | m_uTextStyle, m_iFont);
        } else {
            CRenderEngine::DrawText(m_pManager->GetPaintDC(), m_pManager, rcText, text.GetData(),
                                    m_dwTextColor, m_iFont, DT_CALCRECT | m_uTextStyle);
        }
    }
    if (m_bAutoCalcWidth) {
        const int measured =
            (m_pManager != nullptr && !text.IsEmpty()) ? rcText.right - rcText.left : 0;
        m_cxyFixed.cx =
            UIClampCoord((long long)m_rcTextPadding.left + measured + m_rcTextPadding.right);
    }
    return m_cxyFixed;
}

void CTextUI::PaintText(plat::HDC hDC) {
    FillDefaultColors();
    CStdString text = GetText();
    // With effects enabled a text draws nothing, as a label does.
    if (text.IsEmpty() || m_bEnableEffect) {
        m_nLinks = 0;
        return;
    }
    m_nLinks = MAX_LINK;
    RECT rc = m_rcItem;
    rc = UIDeflateRect(rc, m_rcTextPadding);
    const DWORD color = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
    if (m_bShowHtml) {
        CRenderEngine::DrawHtmlText(hDC, m_pManager, rc, text.GetData(), color, m_rcLinks, m_sLinks,
                                    m_nLinks, m_uTextStyle, m_iFont);
    } else {
        m_nLinks = 0;
        CRenderEngine::DrawText(hDC, m_pManager, rc, text.GetData(), color, m_iFont, m_uTextStyle);
    }
}

} // namespace Veneer
