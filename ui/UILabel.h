// CLabelUI: one line of text in a font, colour and alignment. CTextUI
// (wrapped text) builds on it, and so do buttons and the progress bar.
#pragma once

#include "ui/UIControl.h"

namespace Veneer {

class CLabelUI : public CControlUI {
public:
    CLabelUI();

    LPCWSTR GetClass() const override;
    void* GetInterface(LPCWSTR pstrName) override;
    CStdString GetText() const override;
    void SetText(LPCWSTR pstrText) override;

    virtual bool GetAutoCalcWidth() const;
    virtual void SetAutoCalcWidth(bool bAutoCalcWidth);

    void SetTextStyle(UINT uStyle);
    UINT GetTextStyle() const;
    void SetTextColor(DWORD dwTextColor);
    DWORD GetTextColor() const;
    void SetDisabledTextColor(DWORD dwTextColor);
    DWORD GetDisabledTextColor() const;
    // Index into the manager's fonts; -1 or an invalid index is the default.
    void SetFont(int index);
    int GetFont() const;
    RECT GetTextPadding() const;
    void SetTextPadding(RECT rc);
    bool IsShowHtml() const;
    void SetShowHtml(bool bShowHtml = true);
    // With effects enabled the text is kept aside and nothing is drawn.
    void SetEnabledEffect(bool bEnable);
    bool GetEnabledEffect() const;
    DWORD GetTextColor1() const { return m_dwTextColor1; }
    DWORD GetStrokeColor() const { return m_dwStrokeColor; }

    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) override;
    // Fixed width (measured with auto-calc-width) and the fixed height, or
    // the font's cell height + 4 when no height is fixed.
    SIZE EstimateSize(SIZE szAvailable) override;
    void PaintText(plat::HDC hDC) override;

protected:
    // Replaces zero text colours with the manager's defaults (kept).
    void FillDefaultColors();
    // Cell height of the label's font, 0 without a manager.
    int FontCellHeight() const;

    DWORD m_dwTextColor;
    DWORD m_dwDisabledTextColor;
    int m_iFont;
    UINT m_uTextStyle;
    RECT m_rcTextPadding;
    bool m_bShowHtml;
    bool m_bAutoCalcWidth;

    // Text effects: accepted and stored, never drawn.
    bool m_bEnableEffect;
    bool m_bEnableStroke;
    bool m_bEnableShadow;
    CStdString m_sEffectText;
    int m_nTransShadow;
    int m_nTransText;
    int m_nTransShadow1;
    int m_nTransText1;
    int m_nGradientAngle;
    int m_nTransStroke;
    int m_nGradientLength;
    DWORD m_dwTextColor1;
    DWORD m_dwTextShadowColorA;
    DWORD m_dwTextShadowColorB;
    DWORD m_dwStrokeColor;
};

// Wrapped text: starts with DT_WORDBREAK and 2 pixels of padding left and
// right; the text is drawn without the label's forced single line.
class CTextUI : public CLabelUI {
public:
    CTextUI();

    LPCWSTR GetClass() const override;
    void* GetInterface(LPCWSTR pstrName) override;
    UINT GetControlFlags() const override;

    CStdString* GetLinkContent(int iIndex);
    void DoEvent(TEventUI& event) override;
    SIZE EstimateSize(SIZE szAvailable) override;
    void PaintText(plat::HDC hDC) override;

protected:
    enum { MAX_LINK = 8 };
    int m_nLinks;
    RECT m_rcLinks[MAX_LINK];
    CStdString m_sLinks[MAX_LINK];
    int m_nHoverLink;
};

} // namespace Veneer
