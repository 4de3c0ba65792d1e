#include "ui/UIControl.h"

#include "ui/UIAttrParse.h"
#include "ui/UIManager.h"
#include "ui/UIRender.h"

#include <cwchar>

namespace Veneer {

CControlUI::CControlUI()
    : m_pManager(nullptr), m_pParent(nullptr), m_bUpdateNeeded(true),
      m_bMenuUsed(false), m_rcItem{0, 0, 0, 0}, m_rcPadding{0, 0, 0, 0}, m_cXY{0, 0},
      m_cxyFixed{0, 0}, m_cxyMin{0, 0}, m_cxyMax{9999, 9999}, m_bVisible(true),
      m_bInternVisible(true), m_bEnabled(true), m_bMouseEnabled(true), m_bKeyboardEnabled(true),
      m_bFocused(false), m_bFloat(false), m_bSetPos(false), m_chShortcut(0), m_pTag(0),
      m_dwBackColor(0), m_dwBackColor2(0), m_dwBackColor3(0), m_dwBorderColor(0),
      m_dwFocusBorderColor(0), m_bColorHSL(false), m_nBorderSize(0), m_nBorderStyle(0),
      m_nTooltipWidth(300), m_cxyBorderRound{0, 0}, m_rcPaint{0, 0, 0, 0}, m_rcBorderSize{0, 0, 0,
                                                                                          0} {}

CControlUI::~CControlUI() {
    OnDestroy(this);
    if (m_pManager != nullptr)
        m_pManager->ReapObjects(this);
}

CStdString CControlUI::GetName() const {
    return m_sName;
}
void CControlUI::SetName(LPCWSTR pstrName) {
    m_sName = pstrName ? pstrName : L"";
}
LPCWSTR CControlUI::GetClass() const {
    return L"ControlUI";
}

void* CControlUI::GetInterface(LPCWSTR pstrName) {
    if (AttrNameIs(pstrName, L"Control"))
        return this;
    return nullptr;
}

UINT CControlUI::GetControlFlags() const {
    return 0;
}

bool CControlUI::Activate() {
    return IsVisible() && IsEnabled();
}

CPaintManagerUI* CControlUI::GetManager() const {
    return m_pManager;
}

void CControlUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    m_pManager = pManager;
    m_pParent = pParent;
    if (bInit && m_pParent)
        Init();
}

CControlUI* CControlUI::GetParent() const {
    return m_pParent;
}
CStdString CControlUI::GetText() const {
    return m_sText;
}

void CControlUI::SetText(LPCWSTR pstrText) {
    CStdString text(pstrText ? pstrText : L"");
    if (m_sText == text)
        return;
    m_sText = text;
    Invalidate();
}

// ---------------------------------------------------------------- geometry

const RECT& CControlUI::GetPos() const {
    return m_rcItem;
}

void CControlUI::SetPos(RECT rc) {
    // Positions stay within the layout coordinate range, so that sizes taken
    // from them never overflow.
    rc = RECT{UIClampCoord(rc.left), UIClampCoord(rc.top), UIClampCoord(rc.right),
              UIClampCoord(rc.bottom)};
    if (rc.right < rc.left)
        rc.right = rc.left;
    if (rc.bottom < rc.top)
        rc.bottom = rc.top;

    RECT invalidateRc = m_rcItem;
    if (plat::IsRectEmpty(&invalidateRc))
        invalidateRc = rc;
    m_rcItem = rc;
    if (m_pManager == nullptr)
        return;

    if (!m_bSetPos) {
        m_bSetPos = true;
        OnSize(this);
        m_bSetPos = false;
    }

    if (m_bFloat && m_pParent != nullptr) {
        const RECT& rcParent = m_pParent->GetPos();
        m_cXY.cx =
            (m_cXY.cx >= 0) ? m_rcItem.left - rcParent.left : m_rcItem.right - rcParent.right;
        m_cXY.cy =
            (m_cXY.cy >= 0) ? m_rcItem.top - rcParent.top : m_rcItem.bottom - rcParent.bottom;
        m_cxyFixed.cx = m_rcItem.right - m_rcItem.left;
        m_cxyFixed.cy = m_rcItem.bottom - m_rcItem.top;
    }

    m_bUpdateNeeded = false;

    plat::UnionRect(&invalidateRc, &invalidateRc, &m_rcItem);
    for (CControlUI* p = m_pParent; p != nullptr; p = p->GetParent()) {
        RECT clipped;
        if (!plat::IntersectRect(&clipped, &invalidateRc, &p->GetPos()))
            return;
        invalidateRc = clipped;
    }
    m_pManager->Invalidate(invalidateRc);
}

int CControlUI::GetWidth() const {
    return m_rcItem.right - m_rcItem.left;
}
int CControlUI::GetHeight() const {
    return m_rcItem.bottom - m_rcItem.top;
}
int CControlUI::GetX() const {
    return m_rcItem.left;
}
int CControlUI::GetY() const {
    return m_rcItem.top;
}
RECT CControlUI::GetPadding() const {
    return m_rcPadding;
}

void CControlUI::SetPadding(RECT rcPadding) {
    m_rcPadding = rcPadding;
    NeedParentUpdate();
}

SIZE CControlUI::GetFixedXY() const {
    return m_cXY;
}

void CControlUI::SetFixedXY(SIZE szXY) {
    m_cXY.cx = szXY.cx;
    m_cXY.cy = szXY.cy;
    if (!m_bFloat)
        NeedParentUpdate();
    else
        NeedUpdate();
}

int CControlUI::GetFixedWidth() const {
    return m_cxyFixed.cx;
}

void CControlUI::SetFixedWidth(int cx) {
    if (cx < 0)
        return;
    m_cxyFixed.cx = cx;
    if (!m_bFloat)
        NeedParentUpdate();
    else
        NeedUpdate();
}

int CControlUI::GetFixedHeight() const {
    return m_cxyFixed.cy;
}

void CControlUI::SetFixedHeight(int cy) {
    if (cy < 0)
        return;
    m_cxyFixed.cy = cy;
    if (!m_bFloat)
        NeedParentUpdate();
    else
        NeedUpdate();
}

int CControlUI::GetMinWidth() const {
    return m_cxyMin.cx;
}

void CControlUI::SetMinWidth(int cx) {
    if (m_cxyMin.cx == cx || cx < 0)
        return;
    m_cxyMin.cx = cx;
    if (!m_bFloat)
        NeedParentUpdate();
    else
        NeedUpdate();
}

int CControlUI::GetMaxWidth() const {
    return m_cxyMax.cx;
}

void CControlUI::SetMaxWidth(int cx) {
    if (m_cxyMax.cx == cx || cx < 0)
        return;
    m_cxyMax.cx = cx;
    if (!m_bFloat)
        NeedParentUpdate();
    else
        NeedUpdate();
}

int CControlUI::GetMinHeight() const {
    return m_cxyMin.cy;
}

void CControlUI::SetMinHeight(int cy) {
    if (m_cxyMin.cy == cy || cy < 0)
        return;
    m_cxyMin.cy = cy;
    if (!m_bFloat)
        NeedParentUpdate();
    else
        NeedUpdate();
}

int CControlUI::GetMaxHeight() const {
    return m_cxyMax.cy;
}

void CControlUI::SetMaxHeight(int cy) {
    if (m_cxyMax.cy == cy || cy < 0)
        return;
    m_cxyMax.cy = cy;
    if (!m_bFloat)
        NeedParentUpdate();
    else
        NeedUpdate();
}

void CControlUI::SetRelativePos(SIZE szMove, SIZE szZoom) {
    m_tRelativePos.bRelative = true;
    m_tRelativePos.nMoveXPercent = szMove.cx;
    m_tRelativePos.nMoveYPercent = szMove.cy;
    m_tRelativePos.nZoomXPercent = szZoom.cx;
    m_tRelativePos.nZoomYPercent = szZoom.cy;
}

void CControlUI::SetRelativeParentSize(SIZE sz) {
    m_tRelativePos.szParent = sz;
}
TRelativePosUI CControlUI::GetRelativePos() const {
    return m_tRelativePos;
}
bool CControlUI::IsRelativePos() const {
    return m_tRelativePos.bRelative;
}

// ------------------------------------------------------- tooltip, user data

CStdString CControlUI::GetToolTip() const {
    return m_sToolTip;
}

void CControlUI::SetToolTip(LPCWSTR pstrText) {
    // Every "<n>" becomes a carriage return and line feed.
    std::wstring text(pstrText ? pstrText : L"");
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, 3, L"<n>") == 0) {
            out += L"\r\n";
            i += 3;
        } else {
            out += text[i++];
        }
    }
    m_sToolTip = out.c_str();
}

void CControlUI::SetToolTipWidth(int nWidth) {
    m_nTooltipWidth = nWidth;
}
int CControlUI::GetToolTipWidth() const {
    return m_nTooltipWidth;
}
wchar_t CControlUI::GetShortcut() const {
    return m_chShortcut;
}
void CControlUI::SetShortcut(wchar_t ch) {
    m_chShortcut = ch;
}
bool CControlUI::IsContextMenuUsed() const {
    return m_bMenuUsed;
}
void CControlUI::SetContextMenuUsed(bool bMenuUsed) {
    m_bMenuUsed = bMenuUsed;
}
const CStdString& CControlUI::GetUserData() {
    return m_sUserData;
}
void CControlUI::SetUserData(LPCWSTR pstrText) {
    m_sUserData = pstrText ? pstrText : L"";
}
plat::UINT_PTR CControlUI::GetTag() const {
    return m_pTag;
}
void CControlUI::SetTag(plat::UINT_PTR pTag) {
    m_pTag = pTag;
}

// ------------------------------------------------------------------- flags

bool CControlUI::IsVisible() const {
    return m_bVisible && m_bInternVisible;
}

void CControlUI::SetVisible(bool bVisible) {
    if (m_bVisible == bVisible)
        return;
    bool v = IsVisible();
    m_bVisible = bVisible;
    if (m_bFocused)
        m_bFocused = false;
    if (!bVisible && m_pManager && m_pManager->GetFocus() == this)
        m_pManager->SetFocus(nullptr);
    if (IsVisible() != v)
        NeedParentUpdate();
}

void CControlUI::SetInternVisible(bool bVisible) {
    m_bInternVisible = bVisible;
    if (!bVisible && m_pManager && m_pManager->GetFocus() == this)
        m_pManager->SetFocus(nullptr);
}

bool CControlUI::IsEnabled() const {
    return m_bEnabled;
}

void CControlUI::SetEnabled(bool bEnabled) {
    if (m_bEnabled == bEnabled)
        return;
    m_bEnabled = bEnabled;
    Invalidate();
}

bool CControlUI::IsMouseEnabled() const {
    return m_bMouseEnabled;
}
void CControlUI::SetMouseEnabled(bool bEnabled) {
    m_bMouseEnabled = bEnabled;
}
bool CControlUI::IsKeyboardEnabled() const {
    return m_bKeyboardEnabled;
}
void CControlUI::SetKeyboardEnabled(bool bEnabled) {
    m_bKeyboardEnabled = bEnabled;
}
bool CControlUI::IsFocused() const {
    return m_bFocused;
}

void CControlUI::SetFocus() {
    if (m_pManager != nullptr)
        m_pManager->SetFocus(this);
}

bool CControlUI::IsFloat() const {
    return m_bFloat;
}

void CControlUI::SetFloat(bool bFloat) {
    if (m_bFloat == bFloat)
        return;
    m_bFloat = bFloat;
    NeedParentUpdate();
}

CControlUI* CControlUI::FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags) {
    if ((uFlags & UIFIND_VISIBLE) != 0 && !IsVisible())
        return nullptr;
    if ((uFlags & UIFIND_ENABLED) != 0 && !IsEnabled())
        return nullptr;
    if ((uFlags & UIFIND_HITTEST) != 0 && (!m_bMouseEnabled || pData == nullptr ||
                                           !plat::PtInRect(&m_rcItem, *static_cast<POINT*>(pData))))
        return nullptr;
    return Proc ? Proc(this, pData) : nullptr;
}

void CControlUI::Init() {
    DoInit();
    OnInit(this);
}

void CControlUI::DoInit() {}

void CControlUI::Event(TEventUI& event) {
    if (OnEvent(&event))
        DoEvent(event);
}

void CControlUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_SETCURSOR) {
        CPaintManagerUI::ShowCursor(UICURSOR_ARROW);
        return;
    }
    if (event.Type == UIEVENT_SETFOCUS) {
        m_bFocused = true;
        Invalidate();
        return;
    }
    if (event.Type == UIEVENT_KILLFOCUS) {
        m_bFocused = false;
        Invalidate();
        return;
    }
    if (event.Type == UIEVENT_TIMER) {
        if (m_pManager)
            m_pManager->SendNotify(this, DUI_MSGTYPE_TIMER, event.wParam, event.lParam);
        return;
    }
    if (event.Type == UIEVENT_CONTEXTMENU) {
        if (IsContextMenuUsed() && m_pManager) {
            m_pManager->SendNotify(this, DUI_MSGTYPE_MENU, event.wParam, event.lParam);
            return;
        }
    }
    if (m_pParent != nullptr)
        m_pParent->DoEvent(event);
}

// -------------------------------------------------------------- attributes

void CControlUI::SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) {
    if (pstrName == nullptr)
        return;
    if (pstrValue == nullptr)
        pstrValue = L"";
    if (AttrNameIs(pstrName, L"pos")) {
        RECT rc = ParseAttrRect(pstrValue);
        SIZE szXY = {rc.left >= 0 ? rc.left : rc.right, rc.top >= 0 ? rc.top : rc.bottom};
        SetFixedXY(szXY);
        SetFixedWidth(UIClampCoord((long long)rc.right - rc.left));
        SetFixedHeight(UIClampCoord((long long)rc.bottom - rc.top));
    } else if (AttrNameIs(pstrName, L"relativepos")) {
        int v[4];
        ParseAttrIntList(pstrValue, v, 4);
        SetRelativePos(SIZE{v[0], v[1]}, SIZE{v[2], v[3]});
    } else if (AttrNameIs(pstrName, L"padding")) {
        SetPadding(ParseAttrRect(pstrValue));
    } else if (AttrNameIs(pstrName, L"bkcolor") || AttrNameIs(pstrName, L"bkcolor1")) {
        SetBkColor(ParseAttrColor(pstrValue, true));
    } else if (AttrNameIs(pstrName, L"bkcolor2")) {
        SetBkColor2(ParseAttrColor(pstrValue, true));
    } else if (AttrNameIs(pstrName, L"bkcolor3")) {
        SetBkColor3(ParseAttrColor(pstrValue, true));
    } else if (AttrNameIs(pstrName, L"bordercolor")) {
        SetBorderColor(ParseAttrColor(pstrValue));
    } else if (AttrNameIs(pstrName, L"focusbordercolor")) {
        SetFocusBorderColor(ParseAttrColor(pstrValue));
    } else if (AttrNameIs(pstrName, L"colorhsl")) {
        SetColorHSL(ParseAttrBool(pstrValue));
    } else if (AttrNameIs(pstrName, L"bordersize")) {
        if (std::wcschr(pstrValue, L',') == nullptr) {
            SetBorderSize(ParseAttrInt(pstrValue));
            SetBorderSize(RECT{0, 0, 0, 0});
        } else {
            SetBorderSize(ParseAttrRect(pstrValue));
        }
    } else if (AttrNameIs(pstrName, L"leftbordersize")) {
        SetLeftBorderSize(ParseAttrInt(pstrValue));
    } else if (AttrNameIs(pstrName, L"topbordersize")) {
        SetTopBorderSize(ParseAttrInt(pstrValue));
    } else if (AttrNameIs(pstrName, L"rightbordersize")) {
        SetRightBorderSize(ParseAttrInt(pstrValue));
    } else if (AttrNameIs(pstrName, L"bottombordersize")) {
        SetBottomBorderSize(ParseAttrInt(pstrValue));
    } else if (AttrNameIs(pstrName, L"borderstyle")) {
        SetBorderStyle(ParseAttrInt(pstrValue));
    } else if (AttrNameIs(pstrName, L"borderround")) {
        SetBorderRound(ParseAttrSize(pstrValue));
    } else if (AttrNameIs(pstrName, L"bkimage")) {
        SetBkImage(pstrValue);
    } else if (AttrNameIs(pstrName, L"width")) {
        SetFixedWidth(ParseAttrInt(pstrValue));
    } else if (AttrNameIs(pstrName, L"height")) {
        SetFixedHeight(ParseAttrInt(pstrValue));
    } else if (AttrNameIs(pstrName, L"minwidth")) {
        SetMinWidth(ParseAttrInt(pstrValue));
    } else if (AttrNameIs(pstrName, L"minheight")) {
        SetMinHeight(ParseAttrInt(pstrValue));
    } else if (AttrNameIs(pstrName, L"maxwidth")) {
        SetMaxWidth(ParseAttrInt(pstrValue));
    } else if (AttrNameIs(pstrName, L"maxheight")) {
        SetMaxHeight(ParseAttrInt(pstrValue));
    } else if (AttrNameIs(pstrName, L"name")) {
        SetName(pstrValue);
    } else if (AttrNameIs(pstrName, L"text")) {
        SetText(pstrValue);
    } else if (AttrNameIs(pstrName, L"tooltip")) {
        SetToolTip(pstrValue);
    } else if (AttrNameIs(pstrName, L"userdata")) {
        SetUserData(pstrValue);
    } else if (AttrNameIs(pstrName, L"enabled")) {
        SetEnabled(ParseAttrBool(pstrValue));
    } else if (AttrNameIs(pstrName, L"mouse")) {
        SetMouseEnabled(ParseAttrBool(pstrValue));
    } else if (AttrNameIs(pstrName, L"keyboard")) {
        SetKeyboardEnabled(ParseAttrBool(pstrValue));
    } else if (AttrNameIs(pstrName, L"visible")) {
        SetVisible(ParseAttrBool(pstrValue));
    } else if (AttrNameIs(pstrName, L"float")) {
        SetFloat(ParseAttrBool(pstrValue));
    } else if (AttrNameIs(pstrName, L"shortcut")) {
        SetShortcut(pstrValue[0]);
    } else if (AttrNameIs(pstrName, L"menu")) {
        SetContextMenuUsed(ParseAttrBool(pstrValue));
    } else if (AttrNameIs(pstrName, L"virtualwnd")) {
        SetVirtualWnd(pstrValue);
    }
}

CControlUI* CControlUI::ApplyAttributeList(LPCWSTR pstrList) {
    if (pstrList == nullptr)
        return this;
    std::wstring name, value;
    const wchar_t* p = pstrList;
    while (*p != 0) {
        name.clear();
        value.clear();
        while (*p != 0 && *p != L'=')
            name += *p++;
        if (*p++ != L'=')
            return this;
        if (*p++ != L'"')
            return this;
        while (*p != 0 && *p != L'"')
            value += *p++;
        if (*p++ != L'"')
            return this;
        SetAttribute(name.c_str(), value.c_str());
        if (*p++ != L' ')
            return this;
        if (*p == 0)
            return this;
    }
    return this;
}

SIZE CControlUI::EstimateSize(SIZE /*szAvailable*/) {
    return m_cxyFixed;
}

// ---------------------------------------------------------------- painting

void CControlUI::DoPaint(plat::HDC hDC, const RECT& rcPaint) {
    if (!plat::IntersectRect(&m_rcPaint, &rcPaint, &m_rcItem))
        return;

    if (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0) {
        CRenderClip roundClip;
        CRenderClip::GenerateRoundClip(hDC, m_rcPaint, m_rcItem, m_cxyBorderRound.cx,
                                       m_cxyBorderRound.cy, roundClip);
        PaintBkColor(hDC);
        PaintBkImage(hDC);
        PaintStatusImage(hDC);
        PaintText(hDC);
        PaintBorder(hDC);
    } else {
        PaintBkColor(hDC);
        PaintBkImage(hDC);
        PaintStatusImage(hDC);
        PaintText(hDC);
        PaintBorder(hDC);
    }
}

void CControlUI::PaintBkColor(plat::HDC hDC) {
    if (m_dwBackColor == 0)
        return;
    if (m_dwBackColor2 != 0) {
        if (m_dwBackColor3 != 0) {
            RECT rc = m_rcItem;
            rc.bottom = (rc.bottom + rc.top) / 2;
            CRenderEngine::DrawGradient(hDC, rc, GetAdjustColor(m_dwBackColor),
                                        GetAdjustColor(m_dwBackColor2), true, 8);
            rc.top = rc.bottom;
            rc.bottom = m_rcItem.bottom;
            CRenderEngine::DrawGradient(hDC, rc, GetAdjustColor(m_dwBackColor2),
                                        GetAdjustColor(m_dwBackColor3), true, 8);
        } else {
            CRenderEngine::DrawGradient(hDC, m_rcItem, GetAdjustColor(m_dwBackColor),
                                        GetAdjustColor(m_dwBackColor2), true, 16);
        }
    } else if (m_dwBackColor >= 0xFF000000) {
        CRenderEngine::DrawColor(hDC, m_rcPaint, GetAdjustColor(m_dwBackColor));
    } else {
        CRenderEngine::DrawColor(hDC, m_rcItem, GetAdjustColor(m_dwBackColor));
    }
}

void CControlUI::PaintBkImage(plat::HDC hDC) {
    if (m_sBkImage.IsEmpty())
        return;
    if (!DrawImage(hDC, m_sBkImage.GetData()))
        m_sBkImage.Empty();
}

void CControlUI::PaintStatusImage(plat::HDC /*hDC*/) {}
void CControlUI::PaintText(plat::HDC /*hDC*/) {}

void CControlUI::PaintBorder(plat::HDC hDC) {
    if (m_dwBorderColor == 0 && m_dwFocusBorderColor == 0)
        return;
    if (m_nBorderSize > 0 && (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0)) {
        DWORD color =
            (IsFocused() && m_dwFocusBorderColor != 0) ? m_dwFocusBorderColor : m_dwBorderColor;
        CRenderEngine::DrawRoundRect(hDC, m_rcItem, m_cxyBorderRound.cx, m_cxyBorderRound.cy,
                                     m_nBorderSize, GetAdjustColor(color));
        return;
    }
    if (IsFocused() && m_dwFocusBorderColor != 0 && m_nBorderSize > 0) {
        CRenderEngine::DrawRect(hDC, m_rcItem, m_nBorderSize, GetAdjustColor(m_dwFocusBorderColor));
        return;
    }
    if (m_rcBorderSize.left == 0 && m_rcBorderSize.top == 0 && m_rcBorderSize.right == 0 &&
        m_rcBorderSize.bottom == 0) {
        if (m_nBorderSize > 0)
            CRenderEngine::DrawRect(hDC, m_rcItem, m_nBorderSize, GetAdjustColor(m_dwBorderColor));
        return;
    }
    const DWORD color = GetAdjustColor(m_dwBorderColor);
    if (m_rcBorderSize.left > 0) {
        RECT rc{m_rcItem.left, m_rcItem.top, m_rcItem.left, m_rcItem.bottom};
        CRenderEngine::DrawLine(hDC, rc, m_rcBorderSize.left, color, m_nBorderStyle);
    }
    if (m_rcBorderSize.top > 0) {
        RECT rc{m_rcItem.left, m_rcItem.top, m_rcItem.right, m_rcItem.top};
        CRenderEngine::DrawLine(hDC, rc, m_rcBorderSize.top, color, m_nBorderStyle);
    }
    if (m_rcBorderSize.right > 0) {
        RECT rc{m_rcItem.right, m_rcItem.top, m_rcItem.right, m_rcItem.bottom};
        CRenderEngine::DrawLine(hDC, rc, m_rcBorderSize.right, color, m_nBorderStyle);
    }
    if (m_rcBorderSize.bottom > 0) {
        RECT rc{m_rcItem.left, m_rcItem.bottom, m_rcItem.right, m_rcItem.bottom};
        CRenderEngine::DrawLine(hDC, rc, m_rcBorderSize.bottom, color, m_nBorderStyle);
    }
}

void CControlUI::DoPostPaint(plat::HDC /*hDC*/, const RECT& /*rcPaint*/) {}

// ------------------------------------------------------------- appearance

DWORD CControlUI::GetBkColor() const {
    return m_dwBackColor;
}

void CControlUI::SetBkColor(DWORD dwBackColor) {
    if (m_dwBackColor == dwBackColor)
        return;
    m_dwBackColor = dwBackColor;
    Invalidate();
}

DWORD CControlUI::GetBkColor2() const {
    return m_dwBackColor2;
}

void CControlUI::SetBkColor2(DWORD dwBackColor) {
    if (m_dwBackColor2 == dwBackColor)
        return;
    m_dwBackColor2 = dwBackColor;
    Invalidate();
}

DWORD CControlUI::GetBkColor3() const {
    return m_dwBackColor3;
}

void CControlUI::SetBkColor3(DWORD dwBackColor) {
    if (m_dwBackColor3 == dwBackColor)
        return;
    m_dwBackColor3 = dwBackColor;
    Invalidate();
}

LPCWSTR CControlUI::GetBkImage() {
    return m_sBkImage.GetData();
}

void CControlUI::SetBkImage(LPCWSTR pStrImage) {
    CStdString image(pStrImage ? pStrImage : L"");
    if (m_sBkImage == image)
        return;
    m_sBkImage = image;
    Invalidate();
}

LPCWSTR CControlUI::GetForeImage() const {
    return m_sForeImage.GetData();
}

void CControlUI::SetForeImage(LPCWSTR pStrImage) {
    CStdString image(pStrImage ? pStrImage : L"");
    if (m_sForeImage == image)
        return;
    m_sForeImage = image;
    Invalidate();
}

DWORD CControlUI::GetBorderColor() const {
    return m_dwBorderColor;
}

void CControlUI::SetBorderColor(DWORD dwBorderColor) {
    if (m_dwBorderColor == dwBorderColor)
        return;
    m_dwBorderColor = dwBorderColor;
    Invalidate();
}

DWORD CControlUI::GetFocusBorderColor() const {
    return m_dwFocusBorderColor;
}

void CControlUI::SetFocusBorderColor(DWORD dwBorderColor) {
    if (m_dwFocusBorderColor == dwBorderColor)
        return;
    m_dwFocusBorderColor = dwBorderColor;
    Invalidate();
}

bool CControlUI::IsColorHSL() const {
    return m_bColorHSL;
}
void CControlUI::SetColorHSL(bool bColorHSL) {
    m_bColorHSL = bColorHSL;
}
int CControlUI::GetBorderSize() const {
    return m_nBorderSize;
}

void CControlUI::SetBorderSize(int nSize) {
    if (m_nBorderSize == nSize)
        return;
    m_nBorderSize = nSize;
    Invalidate();
}

void CControlUI::SetBorderSize(RECT rc) {
    m_rcBorderSize = rc;
    Invalidate();
}

int CControlUI::GetLeftBorderSize() const {
    return m_rcBorderSize.left;
}
void CControlUI::SetLeftBorderSize(int nSize) {
    m_rcBorderSize.left = nSize;
    Invalidate();
}
int CControlUI::GetTopBorderSize() const {
    return m_rcBorderSize.top;
}
void CControlUI::SetTopBorderSize(int nSize) {
    m_rcBorderSize.top = nSize;
    Invalidate();
}
int CControlUI::GetRightBorderSize() const {
    return m_rcBorderSize.right;
}
void CControlUI::SetRightBorderSize(int nSize) {
    m_rcBorderSize.right = nSize;
    Invalidate();
}
int CControlUI::GetBottomBorderSize() const {
    return m_rcBorderSize.bottom;
}
void CControlUI::SetBottomBorderSize(int nSize) {
    m_rcBorderSize.bottom = nSize;
    Invalidate();
}
int CControlUI::GetBorderStyle() const {
    return m_nBorderStyle;
}
void CControlUI::SetBorderStyle(int nStyle) {
    m_nBorderStyle = nStyle;
    Invalidate();
}
SIZE CControlUI::GetBorderRound() const {
    return m_cxyBorderRound;
}
void CControlUI::SetBorderRound(SIZE cxyRound) {
    m_cxyBorderRound = cxyRound;
    Invalidate();
}

CStdString CControlUI::GetVirtualWnd() const {
    if (!m_sVirtualWnd.IsEmpty())
        return m_sVirtualWnd;
    if (m_pParent != nullptr)
        return m_pParent->GetVirtualWnd();
    return CStdString();
}

void CControlUI::SetVirtualWnd(LPCWSTR pstrValue) {
    m_sVirtualWnd = pstrValue ? pstrValue : L"";
    if (m_pManager)
        m_pManager->UsedVirtualWnd(true);
}

bool CControlUI::DrawImage(plat::HDC hDC, LPCWSTR pStrImage, LPCWSTR pStrModify) {
    return CRenderEngine::DrawImageString(hDC, m_pManager, m_rcItem, m_rcPaint, pStrImage,
                                          pStrModify);
}

DWORD CControlUI::GetAdjustColor(DWORD dwColor) {
    // The process-wide hue/saturation/lightness values are the identity
    // (180, 100, 100) and nothing changes them, so an adjusted colour is the
    // colour itself.
    return dwColor;
}

// ------------------------------------------------------- update requests

void CControlUI::Invalidate() {
    if (!IsVisible())
        return;
    RECT invalidateRc = m_rcItem;
    for (CControlUI* p = m_pParent; p != nullptr; p = p->GetParent()) {
        RECT clipped;
        if (!plat::IntersectRect(&clipped, &invalidateRc, &p->GetPos()))
            return;
        invalidateRc = clipped;
    }
    if (m_pManager != nullptr)
        m_pManager->Invalidate(invalidateRc);
}

bool CControlUI::IsUpdateNeeded() const {
    return m_bUpdateNeeded;
}

void CControlUI::NeedUpdate() {
    if (!IsVisible())
        return;
    m_bUpdateNeeded = true;
    Invalidate();
    if (m_pManager != nullptr)
        m_pManager->NeedUpdate();
}

void CControlUI::NeedParentUpdate() {
    if (GetParent()) {
        GetParent()->NeedUpdate();
        GetParent()->Invalidate();
    } else {
        NeedUpdate();
    }
    if (m_pManager != nullptr)
        m_pManager->NeedUpdate();
}

} // namespace Veneer
