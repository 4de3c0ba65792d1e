// CControlUI: the base of every control in a window's control tree.
//
// A control holds the geometry that layouts read and write, the flags that
// decide visibility, input and painting, the common appearance (background
// colours and image, borders), its texts, and the attribute table through
// which the dialog builder configures it from a skin element. Changes become
// repaint and re-layout requests to the control's paint manager.
//
// Sections: geometry, flags, appearance, attributes, painting, events.
#pragma once

#include "ui/UIBase.h"
#include "ui/UIDefine.h"

namespace Veneer {

// Resizing rule of a floating control: move and zoom percentages applied to
// the change of the parent's size since the last layout.
struct tagTRelativePosUI {
    bool bRelative = false;
    SIZE szParent = {0, 0};
    int nMoveXPercent = 0;
    int nMoveYPercent = 0;
    int nZoomXPercent = 0;
    int nZoomYPercent = 0;
};
using TRelativePosUI = tagTRelativePosUI;

// FindControl callback: returns the control when it matches, else null.
using FINDCONTROLPROC = CControlUI* (*)(CControlUI*, void*);

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();

    virtual CStdString GetName() const;
    virtual void SetName(LPCWSTR pstrName);
    // The class name without the leading C ("ControlUI").
    virtual LPCWSTR GetClass() const;
    // The object when asked for its own or a base's skin element name.
    virtual void* GetInterface(LPCWSTR pstrName);
    // UIFLAG_TABSTOP / UIFLAG_SETCURSOR bits; 0 for the base.
    virtual UINT GetControlFlags() const;
    // True when visible and enabled; derived controls act on it.
    virtual bool Activate();
    virtual CPaintManagerUI* GetManager() const;
    // Stores manager and parent; with bInit and a parent, calls Init.
    virtual void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true);
    virtual CControlUI* GetParent() const;
    virtual CStdString GetText() const;
    virtual void SetText(LPCWSTR pstrText);

    // Geometry.
    virtual const RECT& GetPos() const;
    virtual void SetPos(RECT rc);
    virtual int GetWidth() const;
    virtual int GetHeight() const;
    virtual int GetX() const;
    virtual int GetY() const;
    virtual RECT GetPadding() const;
    virtual void SetPadding(RECT rcPadding);
    virtual SIZE GetFixedXY() const;
    virtual void SetFixedXY(SIZE szXY);
    virtual int GetFixedWidth() const;
    virtual void SetFixedWidth(int cx);
    virtual int GetFixedHeight() const;
    virtual void SetFixedHeight(int cy);
    virtual int GetMinWidth() const;
    virtual void SetMinWidth(int cx);
    virtual int GetMaxWidth() const;
    virtual void SetMaxWidth(int cx);
    virtual int GetMinHeight() const;
    virtual void SetMinHeight(int cy);
    virtual int GetMaxHeight() const;
    virtual void SetMaxHeight(int cy);
    virtual void SetRelativePos(SIZE szMove, SIZE szZoom);
    virtual void SetRelativeParentSize(SIZE sz);
    virtual TRelativePosUI GetRelativePos() const;
    virtual bool IsRelativePos() const;

    // Tooltip, shortcut, user data.
    virtual CStdString GetToolTip() const;
    virtual void SetToolTip(LPCWSTR pstrText);
    virtual void SetToolTipWidth(int nWidth);
    virtual int GetToolTipWidth() const;
    virtual wchar_t GetShortcut() const;
    virtual void SetShortcut(wchar_t ch);
    virtual bool IsContextMenuUsed() const;
    virtual void SetContextMenuUsed(bool bMenuUsed);
    virtual const CStdString& GetUserData();
    virtual void SetUserData(LPCWSTR pstrText);
    virtual plat::UINT_PTR GetTag() const;
    virtual void SetTag(plat::UINT_PTR pTag);

    // Flags. IsVisible is visible and intern-visible together.
    virtual bool IsVisible() const;
    virtual void SetVisible(bool bVisible = true);
    virtual void SetInternVisible(bool bVisible = true);
    virtual bool IsEnabled() const;
    virtual void SetEnabled(bool bEnable = true);
    virtual bool IsMouseEnabled() const;
    virtual void SetMouseEnabled(bool bEnable = true);
    virtual bool IsKeyboardEnabled() const;
    virtual void SetKeyboardEnabled(bool bEnable = true);
    virtual bool IsFocused() const;
    virtual void SetFocus();
    virtual bool IsFloat() const;
    virtual void SetFloat(bool bFloat = true);

    // Flag bits: 1 visible, 2 enabled, 4 hit test (data is a POINT*).
    virtual CControlUI* FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags);

    // DoInit, then the init delegates.
    virtual void Init();
    virtual void DoInit();
    // The event delegates, then DoEvent when they all accept.
    virtual void Event(TEventUI& event);
    virtual void DoEvent(TEventUI& event);

    // Unknown names are ignored.
    virtual void SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue);
    // The size a layout should give the control; the base returns the fixed size.
    virtual SIZE EstimateSize(SIZE szAvailable);

    // Painting: DoPaint runs the sequence PaintBkColor, PaintBkImage,
    // PaintStatusImage, PaintText, PaintBorder over rcPaint ∩ position.
    virtual void DoPaint(plat::HDC hDC, const RECT& rcPaint);
    virtual void PaintBkColor(plat::HDC hDC);
    virtual void PaintBkImage(plat::HDC hDC);
    virtual void PaintStatusImage(plat::HDC hDC);
    virtual void PaintText(plat::HDC hDC);
    virtual void PaintBorder(plat::HDC hDC);
    virtual void DoPostPaint(plat::HDC hDC, const RECT& rcPaint);

    // Non-virtual accessors.
    DWORD GetBkColor() const;
    void SetBkColor(DWORD dwBackColor);
    DWORD GetBkColor2() const;
    void SetBkColor2(DWORD dwBackColor);
    DWORD GetBkColor3() const;
    void SetBkColor3(DWORD dwBackColor);
    LPCWSTR GetBkImage();
    void SetBkImage(LPCWSTR pStrImage);
    LPCWSTR GetForeImage() const;
    void SetForeImage(LPCWSTR pStrImage);
    DWORD GetBorderColor() const;
    void SetBorderColor(DWORD dwBorderColor);
    DWORD GetFocusBorderColor() const;
    void SetFocusBorderColor(DWORD dwBorderColor);
    bool IsColorHSL() const;
    void SetColorHSL(bool bColorHSL);
    int GetBorderSize() const;
    void SetBorderSize(int nSize);
    void SetBorderSize(RECT rc);
    int GetLeftBorderSize() const;
    void SetLeftBorderSize(int nSize);
    int GetTopBorderSize() const;
    void SetTopBorderSize(int nSize);
    int GetRightBorderSize() const;
    void SetRightBorderSize(int nSize);
    int GetBottomBorderSize() const;
    void SetBottomBorderSize(int nSize);
    int GetBorderStyle() const;
    void SetBorderStyle(int nStyle);
    SIZE GetBorderRound() const;
    void SetBorderRound(SIZE cxyRound);
    CStdString GetVirtualWnd() const;
    void SetVirtualWnd(LPCWSTR pstrValue);

    // Applies name="value" pairs separated by exactly one space (no entity
    // decoding, no quote inside a value); stops at the first malformed pair.
    CControlUI* ApplyAttributeList(LPCWSTR pstrList);

    // Draws an image description over the position, limited to the paint
    // rectangle; false only without a manager or device context.
    bool DrawImage(plat::HDC hDC, LPCWSTR pStrImage, LPCWSTR pStrModify = nullptr);
    DWORD GetAdjustColor(DWORD dwColor);

    // Repaint and re-layout requests.
    void Invalidate();
    bool IsUpdateNeeded() const;
    void NeedUpdate();
    void NeedParentUpdate();

    // Subscribers (nothing in the installer subscribes).
    CEventSource OnInit;
    CEventSource OnDestroy;
    CEventSource OnSize;
    CEventSource OnEvent;
    CEventSource OnNotify;

protected:
    CPaintManagerUI* m_pManager;
    CControlUI* m_pParent;
    CStdString m_sVirtualWnd;
    CStdString m_sName;
    bool m_bUpdateNeeded;
    bool m_bMenuUsed;
    RECT m_rcItem;
    RECT m_rcPadding;
    SIZE m_cXY;
    SIZE m_cxyFixed;
    SIZE m_cxyMin;
    SIZE m_cxyMax;
    bool m_bVisible;
    bool m_bInternVisible;
    bool m_bEnabled;
    bool m_bMouseEnabled;
    bool m_bKeyboardEnabled;
    bool m_bFocused;
    bool m_bFloat;
    bool m_bSetPos; // re-entry guard of the size delegates
    TRelativePosUI m_tRelativePos;

    CStdString m_sText;
    CStdString m_sToolTip;
    wchar_t m_chShortcut;
    CStdString m_sUserData;
    plat::UINT_PTR m_pTag;

    DWORD m_dwBackColor;
    DWORD m_dwBackColor2;
    DWORD m_dwBackColor3;
    CStdString m_sBkImage;
    CStdString m_sForeImage;
    DWORD m_dwBorderColor;
    DWORD m_dwFocusBorderColor;
    bool m_bColorHSL;
    int m_nBorderSize;
    int m_nBorderStyle;
    int m_nTooltipWidth;
    SIZE m_cxyBorderRound;
    RECT m_rcPaint;
    RECT m_rcBorderSize;
};

// A layout coordinate computed in 64 bits, clamped to +-2^29: the width or
// height of a rectangle of such coordinates (at most 2^30), and the sum of
// two of them, stay within an int.
inline LONG UIClampCoord(long long v) {
    const long long limit = 1LL << 29;
    return (LONG)(v < -limit ? -limit : (v > limit ? limit : v));
}

// rc shrunk by the four widths of pad (in 64 bits, clamped).
inline RECT UIDeflateRect(const RECT& rc, const RECT& pad) {
    return RECT{UIClampCoord((long long)rc.left + pad.left),
                UIClampCoord((long long)rc.top + pad.top),
                UIClampCoord((long long)rc.right - pad.right),
                UIClampCoord((long long)rc.bottom - pad.bottom)};
}

} // namespace Veneer
