// CRichEditUI as this toolkit needs it: a text field that shows one line of
// text in a font and colour inside its padding, background and border. The
// text service is our own: it keeps the text and the service's style bits
// and draws the visible part of the line; there is no platform rich-text
// service underneath. Editing input is accepted only when the field is not
// read-only (characters, Backspace and Return).
#include "ui/UIRichEdit.h"

#include "ui/UIAttrParse.h"
#include "ui/UIManager.h"
#include "ui/UIRender.h"

#include <algorithm>

namespace Veneer {

class CTextService {
public:
    CTextService(DWORD dwStyle, LPCWSTR pstrText) : m_dwStyle(dwStyle), m_sText(pstrText) {}

    void SetText(LPCWSTR pstrText) { m_sText = pstrText ? pstrText : L""; }
    const CStdString& GetText() const { return m_sText; }
    void SetStyle(DWORD dwStyle) { m_dwStyle = dwStyle; }
    DWORD GetStyle() const { return m_dwStyle; }
    void SetReadOnly(bool bReadOnly) {
        if (bReadOnly)
            m_dwStyle |= ES_READONLY;
        else
            m_dwStyle &= ~ES_READONLY;
    }
    bool IsReadOnly() const { return (m_dwStyle & ES_READONLY) != 0; }
    void SetFont(int iFont) { m_iFont = iFont; }
    void SetColor(DWORD dwColor) { m_dwColor = dwColor; }
    void SetClientRect(const RECT& rc) { m_rcClient = rc; }
    const RECT& GetClientRect() const { return m_rcClient; }

    // Draws the text: one line from the top-left corner of the client
    // rectangle (wrapped at words when multi-line), clipped to it.
    void Draw(HDC hDC, CPaintManagerUI* pManager, LPCWSTR pstrText, DWORD dwColor) const {
        if (pstrText == nullptr || *pstrText == 0)
            return;
        RECT rc = m_rcClient;
        const UINT uStyle = (m_dwStyle & ES_MULTILINE) != 0 ? DT_WORDBREAK : DT_SINGLELINE;
        CRenderEngine::DrawText(hDC, pManager, rc, pstrText, dwColor, m_iFont, uStyle | DT_LEFT);
    }

    DWORD GetColor() const { return m_dwColor; }

private:
    DWORD m_dwStyle;
    CStdString m_sText;
    int m_iFont = -1;
    DWORD m_dwColor = 0;
    RECT m_rcClient = {0, 0, 0, 0};
};

CRichEditUI::CRichEditUI()
    : m_bWantTab(true), m_bWantReturn(true), m_bWantCtrlReturn(true), m_bRich(true),
      m_bReadOnly(false), m_bWordWrap(false), m_dwTextColor(0), m_iFont(-1), m_iLimitText(32767),
      m_lTwhStyle(ES_MULTILINE), m_rcTextPadding{0, 0, 0, 0}, m_dwTipValueColor(0xFFBAC0C5),
      m_uButtonState(0) {}

CRichEditUI::~CRichEditUI() = default;

LPCWSTR CRichEditUI::GetClass() const {
    return L"RichEditUI";
}

void* CRichEditUI::GetInterface(LPCWSTR pstrName) {
    if (AttrNameIs(pstrName, L"RichEdit"))
        return static_cast<CRichEditUI*>(this);
    return CContainerUI::GetInterface(pstrName);
}

UINT CRichEditUI::GetControlFlags() const {
    if (!IsEnabled())
        return CControlUI::GetControlFlags();
    return UIFLAG_SETCURSOR | UIFLAG_TABSTOP;
}

bool CRichEditUI::IsReadOnly() const {
    return m_bReadOnly;
}

void CRichEditUI::SetReadOnly(bool bReadOnly) {
    m_bReadOnly = bReadOnly;
    if (bReadOnly)
        m_lTwhStyle |= ES_READONLY;
    else
        m_lTwhStyle &= ~ES_READONLY;
    if (m_pTwh)
        m_pTwh->SetReadOnly(bReadOnly);
    // A field that can no longer be changed shows no insertion point.
    if (bReadOnly && IsFocused() && m_pManager != nullptr)
        m_pManager->ShowCaret(false);
}

bool CRichEditUI::IsWantTab() const {
    return m_bWantTab;
}
void CRichEditUI::SetWantTab(bool bWantTab) {
    m_bWantTab = bWantTab;
}
bool CRichEditUI::IsWantReturn() const {
    return m_bWantReturn;
}
void CRichEditUI::SetWantReturn(bool bWantReturn) {
    m_bWantReturn = bWantReturn;
}
bool CRichEditUI::IsWordWrap() const {
    return m_bWordWrap;
}
void CRichEditUI::SetWordWrap(bool bWordWrap) {
    m_bWordWrap = bWordWrap;
}
int CRichEditUI::GetFont() const {
    return m_iFont;
}

void CRichEditUI::SetFont(int index) {
    m_iFont = index;
    if (m_pTwh)
        m_pTwh->SetFont(index);
    Invalidate();
}

DWORD CRichEditUI::GetTextColor() const {
    return m_dwTextColor;
}

void CRichEditUI::SetTextColor(DWORD dwTextColor) {
    m_dwTextColor = dwTextColor;
    if (m_pTwh)
        m_pTwh->SetColor(CRenderEngine::CheckAlphaColor(dwTextColor));
    Invalidate();
}

int CRichEditUI::GetLimitText() const {
    return m_iLimitText;
}

void CRichEditUI::SetLimitText(int iChars) {
    m_iLimitText = iChars;
}

RECT CRichEditUI::GetTextPadding() const {
    return m_rcTextPadding;
}

void CRichEditUI::SetTextPadding(RECT rc) {
    m_rcTextPadding = rc;
    SetPos(m_rcItem);
    Invalidate();
}

DWORD CRichEditUI::GetWinStyle() const {
    return m_lTwhStyle;
}
CStdString CRichEditUI::GetTipValue() const {
    return m_sTipValue;
}
void CRichEditUI::SetTipValue(LPCWSTR pStrTipValue) {
    m_sTipValue = pStrTipValue;
}
DWORD CRichEditUI::GetTipValueColor() const {
    return m_dwTipValueColor;
}
void CRichEditUI::SetTipValueColor(DWORD dwColor) {
    m_dwTipValueColor = dwColor;
}

void CRichEditUI::SetText(LPCWSTR pstrText) {
    m_sText = pstrText ? pstrText : L"";
    if (m_sText.GetLength() > m_iLimitText && m_iLimitText >= 0)
        m_sText = m_sText.Left(m_iLimitText);
    if (m_pTwh)
        m_pTwh->SetText(m_sText.GetData());
    UpdateCaret();
    Invalidate();
}

CStdString CRichEditUI::GetText() const {
    return m_pTwh ? m_pTwh->GetText() : m_sText;
}

bool CRichEditUI::HasTextService() const {
    return m_pTwh != nullptr;
}

void CRichEditUI::DoInit() {
    if (m_pTwh)
        return;
    m_pTwh = std::make_unique<CTextService>(m_lTwhStyle, m_sText.GetData());
    m_pTwh->SetFont(m_iFont);
    m_pTwh->SetReadOnly(m_bReadOnly);
    DWORD color = m_dwTextColor;
    if (!IsEnabled() && m_pManager != nullptr)
        color = m_pManager->GetDefaultDisabledColor();
    m_pTwh->SetColor(CRenderEngine::CheckAlphaColor(color));
    m_pTwh->SetClientRect(GetTextRect());
}

void CRichEditUI::SetEnabled(bool bEnabled) {
    CContainerUI::SetEnabled(bEnabled);
    if (m_pTwh) {
        DWORD color = m_dwTextColor;
        if (!bEnabled && m_pManager != nullptr)
            color = m_pManager->GetDefaultDisabledColor();
        m_pTwh->SetColor(CRenderEngine::CheckAlphaColor(color));
    }
}

RECT CRichEditUI::GetTextRect() const {
    RECT rc = GetContentRect();
    rc = UIDeflateRect(rc, m_rcTextPadding);
    if (rc.right < rc.left)
        rc.right = rc.left;
    if (rc.bottom < rc.top)
        rc.bottom = rc.top;
    return rc;
}

void CRichEditUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    if (m_pTwh)
        m_pTwh->SetClientRect(GetTextRect());
    UpdateCaret();
    // Children (none in practice) fill the content rectangle.
    RECT rcContent = GetContentRect();
    for (int i = 0; i < m_items.GetSize(); ++i) {
        CControlUI* pControl = GetItemAt(i);
        if (!pControl->IsVisible())
            continue;
        if (pControl->IsFloat())
            SetFloatPos(i);
        else
            pControl->SetPos(rcContent);
    }
}

bool CRichEditUI::IsEditable() const {
    return !m_bReadOnly && IsEnabled() && m_pTwh != nullptr;
}

int CRichEditUI::CaretHeight() const {
    int height = 0;
    if (m_pManager != nullptr) {
        const TFontInfo* pFont = m_pManager->GetFontInfo(m_iFont);
        if (pFont != nullptr)
            height = pFont->tm.tmHeight;
    }
    const RECT rc = GetTextRect();
    if (height <= 0 || height > rc.bottom - rc.top)
        height = rc.bottom - rc.top;
    return std::max(height, 1);
}

void CRichEditUI::UpdateCaret() {
    if (m_pManager == nullptr || !IsFocused() || !IsEditable())
        return;
    // After the last character of the line, inside the text area.
    const RECT rc = GetTextRect();
    const CStdString text = m_pTwh->GetText();
    const SIZE extent =
        CRenderEngine::GetTextSize(m_pManager->GetPaintDC(), m_pManager, text.GetData(), m_iFont);
    const LONG x = std::max(rc.left, std::min<LONG>(rc.left + extent.cx, rc.right - 1));
    m_pManager->SetCaretPos(this, x, rc.top);
}

void CRichEditUI::DoEvent(TEventUI& event) {
    if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
        if (m_pParent != nullptr)
            m_pParent->DoEvent(event);
        else
            CControlUI::DoEvent(event);
        return;
    }
    if (event.Type == UIEVENT_SETCURSOR && IsEnabled()) {
        CPaintManagerUI::ShowCursor(UICURSOR_ARROW);
        return;
    }
    if (event.Type == UIEVENT_SETFOCUS || event.Type == UIEVENT_KILLFOCUS) {
        m_bFocused = event.Type == UIEVENT_SETFOCUS;
        if (m_bFocused && IsEditable() && m_pManager != nullptr &&
            m_pManager->CreateCaret(nullptr, 1, CaretHeight())) {
            UpdateCaret();
            m_pManager->ShowCaret(true);
        } else if (!m_bFocused && m_pManager != nullptr) {
            m_pManager->ShowCaret(false);
        }
        Invalidate();
        return;
    }
    if (event.Type == UIEVENT_MOUSEENTER && IsEnabled()) {
        m_uButtonState |= UISTATE_HOT;
        Invalidate();
        return;
    }
    if (event.Type == UIEVENT_MOUSELEAVE && IsEnabled()) {
        m_uButtonState &= ~UISTATE_HOT;
        Invalidate();
        return;
    }
    if (event.Type == UIEVENT_KEYDOWN && event.chKey == 0x0D /* VK_RETURN */) {
        if (m_pManager != nullptr && (m_lTwhStyle & ES_MULTILINE) == 0)
            m_pManager->SendNotify(this, DUI_MSGTYPE_RETURN);
        return;
    }
    if (event.Type == UIEVENT_CHAR) {
        if (m_bReadOnly || !m_pTwh)
            return;
        CStdString text = m_pTwh->GetText();
        if (event.chKey == 0x08) { // Backspace
            if (text.IsEmpty())
                return;
            text = text.Left(text.GetLength() - 1);
        } else if (event.chKey >= 0x20) {
            if (m_iLimitText >= 0 && text.GetLength() >= m_iLimitText)
                return;
            text += (wchar_t)event.chKey;
        } else {
            return;
        }
        m_sText = text;
        m_pTwh->SetText(text.GetData());
        UpdateCaret();
        Invalidate();
        if (m_pManager != nullptr)
            m_pManager->SendNotify(this, DUI_MSGTYPE_TEXTCHANGED);
        return;
    }
    CContainerUI::DoEvent(event);
}

void CRichEditUI::PaintStatusImage(plat::HDC hDC) {
    if (IsFocused())
        m_uButtonState |= UISTATE_FOCUSED;
    else
        m_uButtonState &= ~UISTATE_FOCUSED;
    if (!IsEnabled())
        m_uButtonState |= UISTATE_DISABLED;
    else
        m_uButtonState &= ~UISTATE_DISABLED;

    CStdString* image = nullptr;
    if ((m_uButtonState & UISTATE_DISABLED) != 0 && !m_sDisabledImage.IsEmpty())
        image = &m_sDisabledImage;
    else if ((m_uButtonState & UISTATE_FOCUSED) != 0 && !m_sFocusedImage.IsEmpty())
        image = &m_sFocusedImage;
    else if ((m_uButtonState & UISTATE_HOT) != 0 && !m_sHotImage.IsEmpty())
        image = &m_sHotImage;
    else if (!m_sNormalImage.IsEmpty())
        image = &m_sNormalImage;
    if (image != nullptr && !DrawImage(hDC, image->GetData()))
        image->Empty();
}

void CRichEditUI::DoPaint(plat::HDC hDC, const RECT& rcPaint) {
    RECT rcTemp;
    if (!plat::IntersectRect(&rcTemp, &rcPaint, &m_rcItem))
        return;
    // Everything stays inside the control's rounded border, when it has one.
    CRenderClip clip;
    if (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0)
        CRenderClip::GenerateRoundClip(hDC, rcTemp, m_rcItem, m_cxyBorderRound.cx,
                                       m_cxyBorderRound.cy, clip);
    else
        CRenderClip::GenerateClip(hDC, rcTemp, clip);
    // Background and state image first, then the text inside the text area,
    // then the border over everything.
    if (!plat::IntersectRect(&m_rcPaint, &rcPaint, &m_rcItem))
        return;
    PaintBkColor(hDC);
    PaintBkImage(hDC);
    PaintStatusImage(hDC);
    if (m_pTwh) {
        RECT rcText = GetTextRect();
        RECT rcTextPaint;
        if (plat::IntersectRect(&rcTextPaint, &rcText, &rcPaint)) {
            CRenderClip textClip;
            CRenderClip::GenerateClip(hDC, rcTextPaint, textClip);
            CStdString text = m_pTwh->GetText();
            if (text.IsEmpty() && IsEnabled() && !m_sTipValue.IsEmpty())
                m_pTwh->Draw(hDC, m_pManager, m_sTipValue.GetData(), m_dwTipValueColor);
            else
                m_pTwh->Draw(hDC, m_pManager, text.GetData(), m_pTwh->GetColor());
        }
    }
    for (int i = 0; i < m_items.GetSize(); ++i) {
        CControlUI* pControl = GetItemAt(i);
        if (pControl->IsVisible())
            pControl->DoPaint(hDC, rcPaint);
    }
    PaintBorder(hDC);
}

void CRichEditUI::SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) {
    if (pstrValue == nullptr)
        pstrValue = L"";
    if (AttrNameIs(pstrName, L"vscrollbar") || AttrNameIs(pstrName, L"autovscroll") ||
        AttrNameIs(pstrName, L"hscrollbar") || AttrNameIs(pstrName, L"autohscroll")) {
        // No scrolling in this field: accepted and ignored.
    } else if (AttrNameIs(pstrName, L"multiline")) {
        if (!ParseAttrBool(pstrValue))
            m_lTwhStyle &= ~ES_MULTILINE;
        else
            m_lTwhStyle |= ES_MULTILINE;
        if (m_pTwh)
            m_pTwh->SetStyle(m_lTwhStyle);
    } else if (AttrNameIs(pstrName, L"wanttab")) {
        SetWantTab(ParseAttrBool(pstrValue));
    } else if (AttrNameIs(pstrName, L"wantreturn")) {
        SetWantReturn(ParseAttrBool(pstrValue));
    } else if (AttrNameIs(pstrName, L"wantctrlreturn")) {
        m_bWantCtrlReturn = ParseAttrBool(pstrValue);
    } else if (AttrNameIs(pstrName, L"rich")) {
        m_bRich = ParseAttrBool(pstrValue);
    } else if (AttrNameIs(pstrName, L"readonly")) {
        SetReadOnly(ParseAttrBool(pstrValue));
    } else if (AttrNameIs(pstrName, L"password")) {
        if (ParseAttrBool(pstrValue))
            m_lTwhStyle |= ES_PASSWORD;
    } else if (AttrNameIs(pstrName, L"align")) {
        // Alignment other than left is not offered by this text service.
    } else if (AttrNameIs(pstrName, L"font")) {
        SetFont(ParseAttrInt(pstrValue));
    } else if (AttrNameIs(pstrName, L"textcolor")) {
        SetTextColor(ParseAttrColor(pstrValue, true));
    } else if (AttrNameIs(pstrName, L"maxchar")) {
        SetLimitText(ParseAttrInt(pstrValue));
    } else if (AttrNameIs(pstrName, L"normalimage")) {
        m_sNormalImage = pstrValue;
    } else if (AttrNameIs(pstrName, L"hotimage")) {
        m_sHotImage = pstrValue;
    } else if (AttrNameIs(pstrName, L"focusedimage")) {
        m_sFocusedImage = pstrValue;
    } else if (AttrNameIs(pstrName, L"disabledimage")) {
        m_sDisabledImage = pstrValue;
    } else if (AttrNameIs(pstrName, L"textpadding")) {
        SetTextPadding(ParseAttrRect(pstrValue));
    } else if (AttrNameIs(pstrName, L"tipvalue")) {
        SetTipValue(pstrValue);
    } else if (AttrNameIs(pstrName, L"tipvaluecolor")) {
        SetTipValueColor(ParseAttrColor(pstrValue, true));
    } else {
        CContainerUI::SetAttribute(pstrName, pstrValue);
    }
}

} // namespace Veneer
