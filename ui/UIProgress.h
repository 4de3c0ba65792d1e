// CProgressUI: a label whose state image is a fore image clipped to the
// value.
#pragma once

#include "ui/UILabel.h"

namespace Veneer {

class CProgressUI : public CLabelUI {
public:
    CProgressUI();

    LPCWSTR GetClass() const override;
    void* GetInterface(LPCWSTR pstrName) override;

    bool IsHorizontal() const;
    void SetHorizontal(bool bHorizontal = true);
    bool IsStretchForeImage() const;
    void SetStretchForeImage(bool bStretchForeImage = true);
    int GetMinValue() const;
    void SetMinValue(int nMin);
    int GetMaxValue() const;
    void SetMaxValue(int nMax);
    int GetValue() const;
    // Ignores the current value and values outside minimum .. maximum.
    void SetValue(int nValue);

    void SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) override;
    void PaintStatusImage(plat::HDC hDC) override;

protected:
    bool m_bHorizontal;
    bool m_bStretchForeImage;
    int m_nMax;
    int m_nMin;
    int m_nValue;
    CStdString m_sForeImageModify;
};

} // namespace Veneer
