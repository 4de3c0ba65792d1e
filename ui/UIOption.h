// COptionUI and CCheckBoxUI: buttons that stay selected.
#pragma once

#include "ui/UIButton.h"

namespace Veneer {

// A button that stays selected: alone it toggles (a check box), in a group
// it turns on and turns the group's others off (a radio button). Sends
// "selectchanged" from Selected.
class COptionUI : public CButtonUI {
public:
    COptionUI();
    ~COptionUI() override;

    LPCWSTR GetClass() const override;
    void* GetInterface(LPCWSTR pstrName) override;

    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
    bool Activate() override;
    void SetEnabled(bool bEnable = true) override;

    LPCWSTR GetSelectedImage() const;
    void SetSelectedImage(LPCWSTR pStrImage);
    LPCWSTR GetSelectedHotImage() const;
    void SetSelectedHotImage(LPCWSTR pStrImage);
    LPCWSTR GetSelectedPushedImage() const;
    void SetSelectedPushedImage(LPCWSTR pStrImage);
    LPCWSTR GetSelectedForeImage() const;
    void SetSelectedForeImage(LPCWSTR pStrImage);
    void SetSelectedTextColor(DWORD dwTextColor);
    DWORD GetSelectedTextColor() const;
    void SetSelectedBkColor(DWORD dwBkColor);
    DWORD GetSelectBkColor() const;

    LPCWSTR GetGroup() const;
    // A null name empties the group; then Selected(current state) again.
    void SetGroup(LPCWSTR pStrGroupName = nullptr);
    bool IsSelected() const;
    virtual void Selected(bool bSelected);

    void SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) override;
    void PaintStatusImage(plat::HDC hDC) override;
    void PaintText(plat::HDC hDC) override;

protected:
    bool m_bSelected;
    CStdString m_sGroupName;
    DWORD m_dwSelectedBkColor;
    DWORD m_dwSelectedTextColor;
    CStdString m_sSelectedImage;
    CStdString m_sSelectedHotImage;
    CStdString m_sSelectedPushedImage;
    CStdString m_sSelectedForeImage;
};

class CCheckBoxUI : public COptionUI {
public:
    LPCWSTR GetClass() const override;
    void SetCheck(bool bCheck);
    bool GetCheck() const;
};

} // namespace Veneer
