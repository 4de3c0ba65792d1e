// CButtonUI: an image button with normal, hot, pushed, focused and disabled
// looks that sends "click" when activated.
#pragma once

#include "ui/UILabel.h"

namespace Veneer {

class CButtonUI : public CLabelUI {
public:
    CButtonUI();

    LPCWSTR GetClass() const override;
    void* GetInterface(LPCWSTR pstrName) override;
    // UIFLAG_SETCURSOR when enabled, plus UIFLAG_TABSTOP when keyboard-enabled.
    UINT GetControlFlags() const override;

    // Sends "click" (and switches a bound tab layout); false unless visible
    // and enabled.
    bool Activate() override;
    void SetEnabled(bool bEnable = true) override;
    void DoEvent(TEventUI& event) override;

    LPCWSTR GetNormalImage() const;
    void SetNormalImage(LPCWSTR pStrImage);
    LPCWSTR GetHotImage() const;
    void SetHotImage(LPCWSTR pStrImage);
    LPCWSTR GetPushedImage() const;
    void SetPushedImage(LPCWSTR pStrImage);
    LPCWSTR GetFocusedImage() const;
    void SetFocusedImage(LPCWSTR pStrImage);
    LPCWSTR GetDisabledImage() const;
    void SetDisabledImage(LPCWSTR pStrImage);
    LPCWSTR GetHotForeImage() const;
    void SetHotForeImage(LPCWSTR pStrImage);
    LPCWSTR GetPushedForeImage() const;
    void SetPushedForeImage(LPCWSTR pStrImage);

    void BindTabIndex(int iIndex);
    void BindTabLayoutName(LPCWSTR pTabLayoutName);
    void BindTriggerTabSel(int iSetSelectIndex = -1);
    void RemoveBindTabIndex();
    int GetBindTabLayoutIndex() const;
    LPCWSTR GetBindTabLayoutName() const;

    void SetHotBkColor(DWORD dwColor);
    DWORD GetHotBkColor() const;
    void SetHotTextColor(DWORD dwColor);
    DWORD GetHotTextColor() const;
    void SetPushedTextColor(DWORD dwColor);
    DWORD GetPushedTextColor() const;
    void SetFocusedTextColor(DWORD dwColor);
    DWORD GetFocusedTextColor() const;

    // The state bits (UISTATE_*).
    UINT GetButtonState() const { return m_uButtonState; }

    void SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) override;
    // The fixed size, or the fixed width and the font's cell height + 8.
    SIZE EstimateSize(SIZE szAvailable) override;
    void PaintText(plat::HDC hDC) override;
    void PaintStatusImage(plat::HDC hDC) override;

protected:
    // Draws an image description; an image that fails to draw is cleared.
    // Returns true when the description was non-empty and drawn.
    bool DrawStateImage(plat::HDC hDC, CStdString& image);
    // Text in the given colour with the button's own style.
    void PaintButtonText(plat::HDC hDC, DWORD clrColor);
    // The state image by the button's rules. With bForeImage false the
    // plain fore image is left out (an option draws its own fore image once
    // over whatever state image it shows); hot-fore and pushed-fore images
    // still stand in for it.
    void PaintButtonStateImage(plat::HDC hDC, bool bForeImage);

    UINT m_uButtonState;

    DWORD m_dwHotBkColor;
    DWORD m_dwHotTextColor;
    DWORD m_dwPushedTextColor;
    DWORD m_dwFocusedTextColor;

    CStdString m_sNormalImage;
    CStdString m_sHotImage;
    CStdString m_sHotForeImage;
    CStdString m_sPushedImage;
    CStdString m_sPushedForeImage;
    CStdString m_sFocusedImage;
    CStdString m_sDisabledImage;

    int m_iBindTabIndex;
    CStdString m_sBindTabLayoutName;
};

} // namespace Veneer
