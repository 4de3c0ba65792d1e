#include "ui/UIProgress.h"

#include "ui/UIAttrParse.h"
#include "ui/UIManager.h"
#include "ui/UIRender.h"

#include <algorithm>
#include <climits>

namespace Veneer {

CProgressUI::CProgressUI()
    : m_bHorizontal(true), m_bStretchForeImage(true), m_nMax(100), m_nMin(0), m_nValue(0) {
    m_uTextStyle = DT_SINGLELINE | DT_CENTER;
    SetFixedHeight(12);
}

LPCWSTR CProgressUI::GetClass() const {
    return L"ProgressUI";
}

void* CProgressUI::GetInterface(LPCWSTR pstrName) {
    if (AttrNameIs(pstrName, L"Progress"))
        return static_cast<CProgressUI*>(this);
    return CLabelUI::GetInterface(pstrName);
}

bool CProgressUI::IsHorizontal() const {
    return m_bHorizontal;
}

void CProgressUI::SetHorizontal(bool bHorizontal) {
    if (m_bHorizontal == bHorizontal)
        return;
    m_bHorizontal = bHorizontal;
    Invalidate();
}

bool CProgressUI::IsStretchForeImage() const {
    return m_bStretchForeImage;
}

void CProgressUI::SetStretchForeImage(bool bStretchForeImage) {
    if (m_bStretchForeImage == bStretchForeImage)
        return;
    m_bStretchForeImage = bStretchForeImage;
    Invalidate();
}

int CProgressUI::GetMinValue() const {
    return m_nMin;
}

void CProgressUI::SetMinValue(int nMin) {
    m_nMin = nMin;
    Invalidate();
}

int CProgressUI::GetMaxValue() const {
    return m_nMax;
}

void CProgressUI::SetMaxValue(int nMax) {
    m_nMax = nMax;
    Invalidate();
}

int CProgressUI::GetValue() const {
    return m_nValue;
}

void CProgressUI::SetValue(int nValue) {
    if (nValue == m_nValue || nValue < m_nMin || nValue > m_nMax)
        return;
    m_nValue = nValue;
    Invalidate();
}

void CProgressUI::SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) {
    if (pstrValue == nullptr)
        pstrValue = L"";
    if (AttrNameIs(pstrName, L"foreimage"))
        SetForeImage(pstrValue);
    else if (AttrNameIs(pstrName, L"hor"))
        SetHorizontal(ParseAttrBool(pstrValue));
    else if (AttrNameIs(pstrName, L"min"))
        SetMinValue(ParseAttrInt(pstrValue));
    else if (AttrNameIs(pstrName, L"max"))
        SetMaxValue(ParseAttrInt(pstrValue));
    else if (AttrNameIs(pstrName, L"value"))
        SetValue(ParseAttrInt(pstrValue));
    else if (AttrNameIs(pstrName, L"isstretchfore"))
        SetStretchForeImage(ParseAttrBool(pstrValue));
    else
        CLabelUI::SetAttribute(pstrName, pstrValue);
}

void CProgressUI::PaintStatusImage(plat::HDC hDC) {
    // An empty or reversed range becomes one step wide; at the largest
    // minimum it can only become empty, and is then drawn as one step.
    if (m_nMax <= m_nMin)
        m_nMax = m_nMin < INT_MAX ? m_nMin + 1 : INT_MAX;
    if (m_nValue > m_nMax)
        m_nValue = m_nMax;
    if (m_nValue < m_nMin)
        m_nValue = m_nMin;

    // 64-bit products: a wide bar with a large range must not overflow.
    const long long width = (long long)m_rcItem.right - m_rcItem.left;
    const long long height = (long long)m_rcItem.bottom - m_rcItem.top;
    const long long range = std::max(1LL, (long long)m_nMax - m_nMin);
    RECT rc = {0, 0, 0, 0};
    if (m_bHorizontal) {
        rc.right = (LONG)(width * ((long long)m_nValue - m_nMin) / range);
        rc.bottom = (LONG)height;
    } else {
        rc.top = (LONG)(height * ((long long)m_nMax - m_nValue) / range);
        rc.right = (LONG)width;
        rc.bottom = (LONG)height;
    }

    if (m_sForeImage.IsEmpty())
        return;
    if (m_bStretchForeImage)
        m_sForeImageModify.SmallFormat(L"dest='%d,%d,%d,%d'", rc.left, rc.top, rc.right, rc.bottom);
    else
        m_sForeImageModify.SmallFormat(L"dest='%d,%d,%d,%d' source='%d,%d,%d,%d'", rc.left, rc.top,
                                       rc.right, rc.bottom, rc.left, rc.top, rc.right, rc.bottom);
    if (!DrawImage(hDC, m_sForeImage.GetData(), m_sForeImageModify.GetData()))
        m_sForeImage.Empty();
}

} // namespace Veneer
