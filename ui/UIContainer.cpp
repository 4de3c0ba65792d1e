#include "ui/UIContainer.h"

#include "ui/UIAttrParse.h"
#include "ui/UIManager.h"
#include "ui/UIRender.h"

namespace Veneer {

CContainerUI::CContainerUI()
    : m_rcInset{0, 0, 0, 0}, m_iChildPadding(0), m_bAutoDestroy(true), m_bDelayedDestroy(true),
      m_bMouseChildEnabled(true), m_bScrollProcess(false), m_nScrollStepSize(0),
      m_pVerticalScrollBar(nullptr), m_pHorizontalScrollBar(nullptr) {}

CContainerUI::~CContainerUI() {
    // Children go at once, never through the delayed clean-up.
    m_bDelayedDestroy = false;
    for (int i = 0; i < m_items.GetSize(); ++i)
        delete static_cast<CControlUI*>(m_items[i]);
    m_items.Empty();
}

LPCWSTR CContainerUI::GetClass() const {
    return L"ContainerUI";
}

void* CContainerUI::GetInterface(LPCWSTR pstrName) {
    if (AttrNameIs(pstrName, L"IContainer"))
        return static_cast<IContainerUI*>(this);
    if (AttrNameIs(pstrName, L"Container"))
        return static_cast<CContainerUI*>(this);
    return CControlUI::GetInterface(pstrName);
}

CControlUI* CContainerUI::GetItemAt(int iIndex) const {
    return static_cast<CControlUI*>(m_items.GetAt(iIndex));
}

int CContainerUI::GetItemIndex(CControlUI* pControl) const {
    return pControl ? m_items.Find(pControl) : -1;
}

bool CContainerUI::SetItemIndex(CControlUI* pControl, int iIndex) {
    int from = GetItemIndex(pControl);
    if (from < 0 || iIndex < 0 || iIndex >= m_items.GetSize())
        return false;
    NeedUpdate();
    m_items.Remove(from);
    return m_items.InsertAt(iIndex, pControl);
}

int CContainerUI::GetCount() const {
    return m_items.GetSize();
}

bool CContainerUI::Add(CControlUI* pControl) {
    if (pControl == nullptr)
        return false;
    if (m_pManager != nullptr)
        m_pManager->InitControls(pControl, this);
    if (IsVisible())
        NeedUpdate();
    else
        pControl->SetInternVisible(false);
    return m_items.Add(pControl);
}

bool CContainerUI::AddAt(CControlUI* pControl, int iIndex) {
    if (pControl == nullptr || iIndex < 0 || iIndex > m_items.GetSize())
        return false;
    if (m_pManager != nullptr)
        m_pManager->InitControls(pControl, this);
    if (IsVisible())
        NeedUpdate();
    else
        pControl->SetInternVisible(false);
    return m_items.InsertAt(iIndex, pControl);
}

void CContainerUI::ReleaseChild(CControlUI* pControl) {
    if (!m_bAutoDestroy)
        return;
    if (m_bDelayedDestroy && m_pManager != nullptr)
        m_pManager->AddDelayedCleanup(pControl);
    else
        delete pControl;
}

bool CContainerUI::Remove(CControlUI* pControl) {
    int index = GetItemIndex(pControl);
    if (index < 0)
        return false;
    NeedUpdate();
    // Leave the list first, so that a child destroyed at once never sees
    // itself still listed.
    m_items.Remove(index);
    ReleaseChild(pControl);
    return true;
}

bool CContainerUI::RemoveAt(int iIndex) {
    CControlUI* pControl = GetItemAt(iIndex);
    return pControl != nullptr && Remove(pControl);
}

void CContainerUI::RemoveAll() {
    CStdPtrArray items = m_items;
    m_items.Empty();
    for (int i = 0; i < items.GetSize(); ++i)
        ReleaseChild(static_cast<CControlUI*>(items[i]));
    NeedUpdate();
}

void CContainerUI::DoEvent(TEventUI& event) {
    if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
        if (m_pParent != nullptr)
            m_pParent->DoEvent(event);
        else
            CControlUI::DoEvent(event);
        return;
    }
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

void CContainerUI::SetVisible(bool bVisible) {
    if (m_bVisible == bVisible)
        return;
    CControlUI::SetVisible(bVisible);
    for (int i = 0; i < m_items.GetSize(); ++i)
        GetItemAt(i)->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool bVisible) {
    CControlUI::SetInternVisible(bVisible);
    if (m_items.IsEmpty())
        return;
    for (int i = 0; i < m_items.GetSize(); ++i)
        GetItemAt(i)->SetInternVisible(IsVisible());
}

void CContainerUI::SetEnabled(bool bEnabled) {
    if (m_bEnabled == bEnabled)
        return;
    m_bEnabled = bEnabled;
    for (int i = 0; i < m_items.GetSize(); ++i)
        GetItemAt(i)->SetEnabled(m_bEnabled);
    Invalidate();
}

void CContainerUI::SetMouseEnabled(bool bEnabled) {
    CControlUI::SetMouseEnabled(bEnabled);
}

RECT CContainerUI::GetInset() const {
    return m_rcInset;
}

void CContainerUI::SetInset(RECT rcInset) {
    m_rcInset = rcInset;
    NeedUpdate();
}

int CContainerUI::GetChildPadding() const {
    return m_iChildPadding;
}

void CContainerUI::SetChildPadding(int iPadding) {
    m_iChildPadding = iPadding;
    NeedUpdate();
}

bool CContainerUI::IsAutoDestroy() const {
    return m_bAutoDestroy;
}
void CContainerUI::SetAutoDestroy(bool bAuto) {
    m_bAutoDestroy = bAuto;
}
bool CContainerUI::IsDelayedDestroy() const {
    return m_bDelayedDestroy;
}
void CContainerUI::SetDelayedDestroy(bool bDelayed) {
    m_bDelayedDestroy = bDelayed;
}
bool CContainerUI::IsMouseChildEnabled() const {
    return m_bMouseChildEnabled;
}
void CContainerUI::SetMouseChildEnabled(bool bEnable) {
    m_bMouseChildEnabled = bEnable;
}

int CContainerUI::FindSelectable(int iIndex, bool bForward) const {
    if (m_items.IsEmpty())
        return -1;
    if (iIndex < 0)
        iIndex = 0;
    if (iIndex >= GetCount())
        iIndex = GetCount() - 1;
    for (int i = iIndex; i >= 0 && i < GetCount(); i += bForward ? 1 : -1) {
        CControlUI* p = GetItemAt(i);
        if (p->IsVisible() && p->IsEnabled() && (p->GetControlFlags() & UIFLAG_TABSTOP) != 0)
            return i;
    }
    return -1;
}

SIZE CContainerUI::GetScrollPos() const {
    return SIZE{0, 0};
}
SIZE CContainerUI::GetScrollRange() const {
    return SIZE{0, 0};
}
void CContainerUI::SetScrollPos(SIZE /*szPos*/) {}
void CContainerUI::SetScrollStepSize(int nSize) {
    if (nSize > 0)
        m_nScrollStepSize = nSize;
}
int CContainerUI::GetScrollStepSize() const {
    return m_nScrollStepSize;
}
void CContainerUI::LineUp() {}
void CContainerUI::LineDown() {}
void CContainerUI::PageUp() {}
void CContainerUI::PageDown() {}
void CContainerUI::HomeUp() {}
void CContainerUI::EndDown() {}
void CContainerUI::LineLeft() {}
void CContainerUI::LineRight() {}
void CContainerUI::PageLeft() {}
void CContainerUI::PageRight() {}
void CContainerUI::HomeLeft() {}
void CContainerUI::EndRight() {}
void CContainerUI::EnableScrollBar(bool /*bEnableVertical*/, bool /*bEnableHorizontal*/) {}
CScrollBarUI* CContainerUI::GetVerticalScrollBar() const {
    return m_pVerticalScrollBar;
}
CScrollBarUI* CContainerUI::GetHorizontalScrollBar() const {
    return m_pHorizontalScrollBar;
}
void CContainerUI::ProcessScrollBar(RECT /*rc*/, int /*cxRequired*/, int /*cyRequired*/) {}

RECT CContainerUI::GetContentRect() const {
    return RECT{UIClampCoord((long long)m_rcItem.left + m_rcInset.left),
                UIClampCoord((long long)m_rcItem.top + m_rcInset.top),
                UIClampCoord((long long)m_rcItem.right - m_rcInset.right),
                UIClampCoord((long long)m_rcItem.bottom - m_rcInset.bottom)};
}

void CContainerUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    if (m_items.IsEmpty())
        return;
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

void CContainerUI::SetFloatPos(int iIndex) {
    CControlUI* pControl = GetItemAt(iIndex);
    if (pControl == nullptr || !pControl->IsVisible() || !pControl->IsFloat())
        return;

    // Wide arithmetic: skin values may be as large as an int holds.
    const SIZE szXY = pControl->GetFixedXY();
    const long long w = pControl->GetFixedWidth();
    const long long h = pControl->GetFixedHeight();
    const TRelativePosUI rel = pControl->GetRelativePos();
    long long left, top, right, bottom;
    if (szXY.cx >= 0) {
        left = (long long)m_rcItem.left + szXY.cx;
        right = left + w;
    } else {
        right = (long long)m_rcItem.right + szXY.cx;
        left = right - w;
    }
    if (szXY.cy >= 0) {
        top = (long long)m_rcItem.top + szXY.cy;
        bottom = top + h;
    } else {
        bottom = (long long)m_rcItem.bottom + szXY.cy;
        top = bottom - h;
    }
    if (rel.bRelative) {
        const long long width = (long long)m_rcItem.right - m_rcItem.left;
        const long long height = (long long)m_rcItem.bottom - m_rcItem.top;
        if (rel.szParent.cx != 0) {
            const long long dx = width - rel.szParent.cx;
            const long long dy = height - rel.szParent.cy;
            left += dx * rel.nMoveXPercent / 100;
            top += dy * rel.nMoveYPercent / 100;
            right = left + w + dx * rel.nZoomXPercent / 100;
            bottom = top + h + dy * rel.nZoomYPercent / 100;
        }
        pControl->SetRelativeParentSize(SIZE{UIClampCoord(width), UIClampCoord(height)});
    }
    pControl->SetPos(
        RECT{UIClampCoord(left), UIClampCoord(top), UIClampCoord(right), UIClampCoord(bottom)});
}

void CContainerUI::DoPaint(plat::HDC hDC, const RECT& rcPaint) {
    RECT rcTemp;
    if (!plat::IntersectRect(&rcTemp, &rcPaint, &m_rcItem))
        return;

    CRenderClip clip;
    CRenderClip::GenerateClip(hDC, rcTemp, clip);
    CControlUI::DoPaint(hDC, rcPaint);

    if (m_items.GetSize() > 0) {
        RECT rc = GetContentRect();
        if (!plat::IntersectRect(&rcTemp, &rcPaint, &rc)) {
            for (int i = 0; i < m_items.GetSize(); ++i) {
                CControlUI* pControl = GetItemAt(i);
                if (!pControl->IsVisible() || !pControl->IsFloat())
                    continue;
                RECT rcChild;
                if (!plat::IntersectRect(&rcChild, &rcPaint, &pControl->GetPos()))
                    continue;
                if (!plat::IntersectRect(&rcChild, &m_rcItem, &pControl->GetPos()))
                    continue;
                pControl->DoPaint(hDC, rcPaint);
            }
        } else {
            CRenderClip childClip;
            CRenderClip::GenerateClip(hDC, rcTemp, childClip);
            for (int i = 0; i < m_items.GetSize(); ++i) {
                CControlUI* pControl = GetItemAt(i);
                if (!pControl->IsVisible())
                    continue;
                RECT rcChild;
                if (!plat::IntersectRect(&rcChild, &rcPaint, &pControl->GetPos()))
                    continue;
                if (pControl->IsFloat()) {
                    if (!plat::IntersectRect(&rcChild, &m_rcItem, &pControl->GetPos()))
                        continue;
                    CRenderClip::UseOldClipBegin(hDC, childClip);
                    pControl->DoPaint(hDC, rcPaint);
                    CRenderClip::UseOldClipEnd(hDC, childClip);
                } else {
                    if (!plat::IntersectRect(&rcChild, &rc, &pControl->GetPos()))
                        continue;
                    pControl->DoPaint(hDC, rcPaint);
                }
            }
        }
    }
}

void CContainerUI::SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) {
    if (pstrValue == nullptr)
        pstrValue = L"";
    if (AttrNameIs(pstrName, L"inset"))
        SetInset(ParseAttrRect(pstrValue));
    else if (AttrNameIs(pstrName, L"mousechild"))
        SetMouseChildEnabled(ParseAttrBool(pstrValue));
    else if (AttrNameIs(pstrName, L"vscrollbar") || AttrNameIs(pstrName, L"hscrollbar") ||
             AttrNameIs(pstrName, L"vscrollbarstyle") || AttrNameIs(pstrName, L"hscrollbarstyle")) {
        // Scroll bars are not part of this toolkit build; accepted and ignored.
    } else if (AttrNameIs(pstrName, L"childpadding"))
        SetChildPadding(ParseAttrInt(pstrValue));
    else if (AttrNameIs(pstrName, L"scrollstepsize"))
        SetScrollStepSize(ParseAttrInt(pstrValue));
    else
        CControlUI::SetAttribute(pstrName, pstrValue);
}

void CContainerUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    for (int i = 0; i < m_items.GetSize(); ++i)
        GetItemAt(i)->SetManager(pManager, this, bInit);
    CControlUI::SetManager(pManager, pParent, bInit);
}

CControlUI* CContainerUI::FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags) {
    if ((uFlags & UIFIND_VISIBLE) != 0 && !IsVisible())
        return nullptr;
    if ((uFlags & UIFIND_ENABLED) != 0 && !IsEnabled())
        return nullptr;
    const bool hitTest = (uFlags & UIFIND_HITTEST) != 0;
    if (hitTest) {
        if (pData == nullptr || !plat::PtInRect(&m_rcItem, *static_cast<POINT*>(pData)))
            return nullptr;
        if (!m_bMouseChildEnabled)
            return CControlUI::FindControl(Proc, pData, uFlags);
    }

    CControlUI* pResult = nullptr;
    if ((uFlags & UIFIND_ME_FIRST) != 0) {
        pResult = CControlUI::FindControl(Proc, pData, uFlags);
        if (pResult != nullptr)
            return pResult;
    }

    const RECT rc = GetContentRect();
    const int count = m_items.GetSize();
    for (int n = 0; n < count; ++n) {
        const int i = (uFlags & UIFIND_TOP_FIRST) != 0 ? count - 1 - n : n;
        CControlUI* pChild = GetItemAt(i);
        pResult = pChild->FindControl(Proc, pData, uFlags);
        if (pResult == nullptr)
            continue;
        if (hitTest && !pResult->IsFloat() && !plat::PtInRect(&rc, *static_cast<POINT*>(pData)))
            continue;
        return pResult;
    }

    if ((uFlags & UIFIND_ME_FIRST) == 0)
        return CControlUI::FindControl(Proc, pData, uFlags);
    return nullptr;
}

// ------------------------------------------------- vertical and horizontal

namespace {

// The vertical and the horizontal layout are one algorithm along different
// axes: children are stacked along the main axis (down, or to the right) and
// take the content's extent across it. This names each quantity by its axis.
struct LayoutAxis {
    bool bVertical;

    long long Main(SIZE sz) const { return bVertical ? sz.cy : sz.cx; }
    long long Cross(SIZE sz) const { return bVertical ? sz.cx : sz.cy; }
    SIZE Size(long long main, long long cross) const {
        return bVertical ? SIZE{UIClampCoord(cross), UIClampCoord(main)}
                         : SIZE{UIClampCoord(main), UIClampCoord(cross)};
    }
    RECT Rect(long long main, long long cross, long long cxMain, long long cxCross) const {
        return bVertical ? RECT{UIClampCoord(cross), UIClampCoord(main),
                                UIClampCoord(cross + cxCross), UIClampCoord(main + cxMain)}
                         : RECT{UIClampCoord(main), UIClampCoord(cross),
                                UIClampCoord(main + cxMain), UIClampCoord(cross + cxCross)};
    }
    // Leading and trailing edges (or paddings) along the main axis, and the
    // leading edge across it.
    long long Lead(const RECT& r) const { return bVertical ? r.top : r.left; }
    long long Trail(const RECT& r) const { return bVertical ? r.bottom : r.right; }
    long long CrossLead(const RECT& r) const { return bVertical ? r.left : r.top; }
    long long CrossTrail(const RECT& r) const { return bVertical ? r.right : r.bottom; }

    long long MinMain(CControlUI* c) const {
        return bVertical ? c->GetMinHeight() : c->GetMinWidth();
    }
    long long MaxMain(CControlUI* c) const {
        return bVertical ? c->GetMaxHeight() : c->GetMaxWidth();
    }
    long long FixedCross(CControlUI* c) const {
        return bVertical ? c->GetFixedWidth() : c->GetFixedHeight();
    }
    long long MinCross(CControlUI* c) const {
        return bVertical ? c->GetMinWidth() : c->GetMinHeight();
    }
    long long MaxCross(CControlUI* c) const {
        return bVertical ? c->GetMaxWidth() : c->GetMaxHeight();
    }
};

long long ClampTo(long long v, long long lo, long long hi) {
    if (v < lo)
        v = lo;
    if (v > hi)
        v = hi;
    return v;
}

} // namespace

void CContainerUI::LayOutAlongAxis(RECT rc, bool bVertical) {
    const LayoutAxis axis{bVertical};
    if (m_items.GetSize() == 0) {
        ProcessScrollBar(rc, 0, 0);
        return;
    }

    // Sums run in 64 bits and positions are clamped: fixed sizes, paddings
    // and counts from a skin may add up beyond an int.
    const SIZE szAvailable = {rc.right - rc.left, rc.bottom - rc.top};
    const long long available = axis.Main(szAvailable);
    const long long crossAvailable = axis.Cross(szAvailable);

    // First pass: what the fixed-size children take; the rest is shared
    // evenly by the children without a size along the axis.
    int nAdjustables = 0;
    long long fixed = 0;
    int nEstimateNum = 0;
    for (int it = 0; it < m_items.GetSize(); ++it) {
        CControlUI* pControl = GetItemAt(it);
        if (!pControl->IsVisible() || pControl->IsFloat())
            continue;
        long long size = axis.Main(pControl->EstimateSize(szAvailable));
        if (size == 0)
            ++nAdjustables;
        else
            size = ClampTo(size, axis.MinMain(pControl), axis.MaxMain(pControl));
        const RECT rcPadding = pControl->GetPadding();
        fixed += size + axis.Lead(rcPadding) + axis.Trail(rcPadding);
        ++nEstimateNum;
    }
    if (nEstimateNum > 0)
        fixed += (long long)(nEstimateNum - 1) * m_iChildPadding;

    long long expand = 0;
    if (nAdjustables > 0)
        expand = (available - fixed) / nAdjustables;
    if (expand < 0)
        expand = 0;

    // Second pass: place each child after the previous one.
    long long pos = axis.Lead(rc);
    long long needed = 0;
    long long remaining = available;
    for (int it = 0; it < m_items.GetSize(); ++it) {
        CControlUI* pControl = GetItemAt(it);
        if (!pControl->IsVisible())
            continue;
        if (pControl->IsFloat()) {
            SetFloatPos(it);
            continue;
        }
        const RECT rcPadding = pControl->GetPadding();
        remaining -= axis.Lead(rcPadding);
        SIZE sz = pControl->EstimateSize(axis.Size(remaining, crossAvailable));
        long long size = axis.Main(sz) != 0 ? axis.Main(sz) : expand;
        size = ClampTo(size, axis.MinMain(pControl), axis.MaxMain(pControl));

        long long across = axis.FixedCross(pControl);
        if (across == 0)
            across = crossAvailable - axis.CrossLead(rcPadding) - axis.CrossTrail(rcPadding);
        if (across < 0)
            across = 0;
        across = ClampTo(across, axis.MinCross(pControl), axis.MaxCross(pControl));

        pControl->SetPos(axis.Rect(pos + axis.Lead(rcPadding),
                                   axis.CrossLead(rc) + axis.CrossLead(rcPadding), size, across));

        pos += size + m_iChildPadding + axis.Lead(rcPadding) + axis.Trail(rcPadding);
        needed += size + axis.Lead(rcPadding) + axis.Trail(rcPadding);
        remaining -= size + m_iChildPadding + axis.Trail(rcPadding);
    }
    if (nEstimateNum > 0)
        needed += (long long)(nEstimateNum - 1) * m_iChildPadding;

    if (bVertical)
        ProcessScrollBar(rc, 0, UIClampCoord(needed));
    else
        ProcessScrollBar(rc, UIClampCoord(needed), 0);
}

// ------------------------------------------------------------- vertical

CVerticalLayoutUI::CVerticalLayoutUI()
    : m_iSepHeight(0), m_uButtonState(0), m_ptLastMouse{0, 0}, m_rcNewPos{0, 0, 0, 0},
      m_bImmMode(false) {}

LPCWSTR CVerticalLayoutUI::GetClass() const {
    return L"VerticalLayoutUI";
}

void* CVerticalLayoutUI::GetInterface(LPCWSTR pstrName) {
    if (AttrNameIs(pstrName, L"VerticalLayout"))
        return static_cast<CVerticalLayoutUI*>(this);
    return CContainerUI::GetInterface(pstrName);
}

UINT CVerticalLayoutUI::GetControlFlags() const {
    return (IsEnabled() && m_iSepHeight != 0) ? UIFLAG_SETCURSOR : 0;
}

void CVerticalLayoutUI::SetSepHeight(int iHeight) {
    m_iSepHeight = iHeight;
}
int CVerticalLayoutUI::GetSepHeight() const {
    return m_iSepHeight;
}
void CVerticalLayoutUI::SetSepImmMode(bool bImmediately) {
    m_bImmMode = bImmediately;
}
bool CVerticalLayoutUI::IsSepImmMode() const {
    return m_bImmMode;
}

void CVerticalLayoutUI::SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) {
    if (AttrNameIs(pstrName, L"sepheight"))
        SetSepHeight(ParseAttrInt(pstrValue));
    else if (AttrNameIs(pstrName, L"sepimm"))
        SetSepImmMode(ParseAttrBool(pstrValue));
    else
        CContainerUI::SetAttribute(pstrName, pstrValue);
}

void CVerticalLayoutUI::DoEvent(TEventUI& event) {
    // The draggable separator is not used by any skin; the layout reacts as
    // a plain container.
    CContainerUI::DoEvent(event);
}

void CVerticalLayoutUI::DoPostPaint(plat::HDC /*hDC*/, const RECT& /*rcPaint*/) {}

void CVerticalLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    LayOutAlongAxis(GetContentRect(), true);
}

// ----------------------------------------------------------- horizontal

CHorizontalLayoutUI::CHorizontalLayoutUI()
    : m_iSepWidth(0), m_uButtonState(0), m_ptLastMouse{0, 0}, m_rcNewPos{0, 0, 0, 0},
      m_bImmMode(false) {}

LPCWSTR CHorizontalLayoutUI::GetClass() const {
    return L"HorizontalLayoutUI";
}

void* CHorizontalLayoutUI::GetInterface(LPCWSTR pstrName) {
    if (AttrNameIs(pstrName, L"HorizontalLayout"))
        return static_cast<CHorizontalLayoutUI*>(this);
    return CContainerUI::GetInterface(pstrName);
}

UINT CHorizontalLayoutUI::GetControlFlags() const {
    return (IsEnabled() && m_iSepWidth != 0) ? UIFLAG_SETCURSOR : 0;
}

void CHorizontalLayoutUI::SetSepWidth(int iWidth) {
    m_iSepWidth = iWidth;
}
int CHorizontalLayoutUI::GetSepWidth() const {
    return m_iSepWidth;
}
void CHorizontalLayoutUI::SetSepImmMode(bool bImmediately) {
    m_bImmMode = bImmediately;
}
bool CHorizontalLayoutUI::IsSepImmMode() const {
    return m_bImmMode;
}

void CHorizontalLayoutUI::SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) {
    if (AttrNameIs(pstrName, L"sepwidth"))
        SetSepWidth(ParseAttrInt(pstrValue));
    else if (AttrNameIs(pstrName, L"sepimm"))
        SetSepImmMode(ParseAttrBool(pstrValue));
    else
        CContainerUI::SetAttribute(pstrName, pstrValue);
}

void CHorizontalLayoutUI::DoEvent(TEventUI& event) {
    CContainerUI::DoEvent(event);
}

void CHorizontalLayoutUI::DoPostPaint(plat::HDC /*hDC*/, const RECT& /*rcPaint*/) {}

void CHorizontalLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    LayOutAlongAxis(GetContentRect(), false);
}

// ------------------------------------------------------------------- tab

CTabLayoutUI::CTabLayoutUI() : m_iCurSel(-1) {}

LPCWSTR CTabLayoutUI::GetClass() const {
    return L"TabLayoutUI";
}

void* CTabLayoutUI::GetInterface(LPCWSTR pstrName) {
    if (AttrNameIs(pstrName, L"TabLayout"))
        return static_cast<CTabLayoutUI*>(this);
    return CContainerUI::GetInterface(pstrName);
}

bool CTabLayoutUI::Add(CControlUI* pControl) {
    bool ret = CContainerUI::Add(pControl);
    if (!ret)
        return ret;
    if (m_iCurSel == -1 && pControl->IsVisible())
        m_iCurSel = GetItemIndex(pControl);
    else
        pControl->SetVisible(false);
    return ret;
}

bool CTabLayoutUI::AddAt(CControlUI* pControl, int iIndex) {
    bool ret = CContainerUI::AddAt(pControl, iIndex);
    if (!ret)
        return ret;
    if (m_iCurSel == -1 && pControl->IsVisible())
        m_iCurSel = GetItemIndex(pControl);
    else if (m_iCurSel != -1 && iIndex <= m_iCurSel)
        m_iCurSel += 1;
    else
        pControl->SetVisible(false);
    return ret;
}

bool CTabLayoutUI::Remove(CControlUI* pControl) {
    if (pControl == nullptr)
        return false;
    int index = GetItemIndex(pControl);
    if (index < 0)
        return false;
    bool ret = CContainerUI::Remove(pControl);
    if (!ret)
        return false;
    if (m_iCurSel == index) {
        if (GetCount() > 0) {
            m_iCurSel = 0;
            GetItemAt(m_iCurSel)->SetVisible(true);
        } else {
            m_iCurSel = -1;
        }
        NeedParentUpdate();
    } else if (m_iCurSel > index) {
        m_iCurSel -= 1;
    }
    return ret;
}

void CTabLayoutUI::RemoveAll() {
    m_iCurSel = -1;
    CContainerUI::RemoveAll();
    NeedParentUpdate();
}

int CTabLayoutUI::GetCurSel() const {
    return m_iCurSel;
}

bool CTabLayoutUI::SelectItem(int iIndex) {
    if (iIndex < 0 || iIndex >= m_items.GetSize())
        return false;
    if (iIndex == m_iCurSel)
        return true;

    int iOldSel = m_iCurSel;
    m_iCurSel = iIndex;
    for (int it = 0; it < m_items.GetSize(); ++it) {
        if (it == iIndex) {
            GetItemAt(it)->SetVisible(true);
            GetItemAt(it)->SetFocus();
            SetPos(m_rcItem);
        } else {
            GetItemAt(it)->SetVisible(false);
        }
    }
    NeedParentUpdate();

    if (m_pManager != nullptr) {
        m_pManager->SetNextTabControl();
        m_pManager->SendNotify(this, DUI_MSGTYPE_TABSELECT, m_iCurSel, iOldSel);
    }
    return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* pControl) {
    int iIndex = GetItemIndex(pControl);
    if (iIndex == -1)
        return false;
    return SelectItem(iIndex);
}

void CTabLayoutUI::SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) {
    if (AttrNameIs(pstrName, L"selectedid"))
        SelectItem(ParseAttrInt(pstrValue));
    return CContainerUI::SetAttribute(pstrName, pstrValue);
}

void CTabLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    rc = GetContentRect();

    for (int it = 0; it < m_items.GetSize(); ++it) {
        CControlUI* pControl = GetItemAt(it);
        if (!pControl->IsVisible())
            continue;
        if (pControl->IsFloat()) {
            SetFloatPos(it);
            continue;
        }
        if (it != m_iCurSel)
            continue;

        const RECT rcPadding = pControl->GetPadding();
        const long long left = (long long)rc.left + rcPadding.left;
        const long long top = (long long)rc.top + rcPadding.top;
        const long long areaW = (long long)rc.right - rcPadding.right - left;
        const long long areaH = (long long)rc.bottom - rcPadding.bottom - top;
        const SIZE szAvailable = {UIClampCoord(areaW), UIClampCoord(areaH)};
        SIZE sz = pControl->EstimateSize(szAvailable);
        long long cx = sz.cx != 0 ? sz.cx : (areaW > 0 ? areaW : 0);
        if (cx < pControl->GetMinWidth())
            cx = pControl->GetMinWidth();
        if (cx > pControl->GetMaxWidth())
            cx = pControl->GetMaxWidth();
        long long cy = sz.cy != 0 ? sz.cy : (areaH > 0 ? areaH : 0);
        if (cy < pControl->GetMinHeight())
            cy = pControl->GetMinHeight();
        if (cy > pControl->GetMaxHeight())
            cy = pControl->GetMaxHeight();
        pControl->SetPos(RECT{UIClampCoord(left), UIClampCoord(top), UIClampCoord(left + cx),
                              UIClampCoord(top + cy)});
    }
}

} // namespace Veneer
