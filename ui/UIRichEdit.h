// CRichEditUI: a text field over a small text service of our own (one line,
// read-only in the installer).
#pragma once

#include "ui/UIContainer.h"

#include <memory>

namespace Veneer {

// The small text service behind CRichEditUI: holds the text and the style
// bits and draws one line of it. Read-only fields never change the text from
// input; the owner replaces it with SetText.
class CTextService;

class CRichEditUI : public CContainerUI {
public:
    CRichEditUI();
    ~CRichEditUI() override;

    LPCWSTR GetClass() const override;
    void* GetInterface(LPCWSTR pstrName) override;
    UINT GetControlFlags() const override;

    bool IsReadOnly() const;
    void SetReadOnly(bool bReadOnly = true);
    bool IsWantTab() const;
    void SetWantTab(bool bWantTab = true);
    bool IsWantReturn() const;
    void SetWantReturn(bool bWantReturn = true);
    bool IsWordWrap() const;
    void SetWordWrap(bool bWordWrap = true);
    int GetFont() const;
    void SetFont(int index);
    DWORD GetTextColor() const;
    void SetTextColor(DWORD dwTextColor);
    int GetLimitText() const;
    void SetLimitText(int iChars);
    RECT GetTextPadding() const;
    void SetTextPadding(RECT rc);
    DWORD GetWinStyle() const;
    CStdString GetTipValue() const;
    void SetTipValue(LPCWSTR pStrTipValue);
    DWORD GetTipValueColor() const;
    void SetTipValueColor(DWORD dwColor);

    // Stores the text; once the service exists it replaces its whole content.
    void SetText(LPCWSTR pstrText) override;
    // The service's current text (the stored text before DoInit).
    CStdString GetText() const override;
    // True once DoInit created the text service.
    bool HasTextService() const;

    void DoInit() override;
    void SetEnabled(bool bEnabled = true) override;
    void SetPos(RECT rc) override;
    void DoEvent(TEventUI& event) override;
    void DoPaint(plat::HDC hDC, const RECT& rcPaint) override;
    void SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) override;
    void PaintStatusImage(plat::HDC hDC) override;
    // The area the text is drawn in (position less inset and text padding).
    RECT GetTextRect() const;

protected:
    // The caret: shown while the field has the focus and can be changed,
    // after the end of the text.
    bool IsEditable() const;
    int CaretHeight() const;
    void UpdateCaret();

    std::unique_ptr<CTextService> m_pTwh;
    bool m_bWantTab;
    bool m_bWantReturn;
    bool m_bWantCtrlReturn;
    bool m_bRich;
    bool m_bReadOnly;
    bool m_bWordWrap;
    DWORD m_dwTextColor;
    int m_iFont;
    int m_iLimitText;
    DWORD m_lTwhStyle;
    RECT m_rcTextPadding;
    CStdString m_sText;
    CStdString m_sTipValue;
    DWORD m_dwTipValueColor;
    CStdString m_sNormalImage;
    CStdString m_sHotImage;
    CStdString m_sFocusedImage;
    CStdString m_sDisabledImage;
    UINT m_uButtonState;
};

} // namespace Veneer
