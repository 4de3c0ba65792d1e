// Layout containers: CContainerUI (children, inset, child padding, floating
// children, painting and hit testing) and the three layouts the skins are
// made of: CVerticalLayoutUI, CHorizontalLayoutUI and CTabLayoutUI.
#pragma once

#include "ui/UIControl.h"

namespace Veneer {

class IContainerUI {
public:
    virtual ~IContainerUI() = default;
    // Null outside 0 .. count-1.
    virtual CControlUI* GetItemAt(int iIndex) const = 0;
    // -1 for a non-child.
    virtual int GetItemIndex(CControlUI* pControl) const = 0;
    virtual bool SetItemIndex(CControlUI* pControl, int iIndex) = 0;
    virtual int GetCount() const = 0;
    // Null is refused (false). The container owns what it accepts.
    virtual bool Add(CControlUI* pControl) = 0;
    virtual bool AddAt(CControlUI* pControl, int iIndex) = 0;
    // False for a non-child; destroys the child when auto-destroy is set.
    virtual bool Remove(CControlUI* pControl) = 0;
    virtual bool RemoveAt(int iIndex) = 0;
    virtual void RemoveAll() = 0;
};

class CScrollBarUI; // not built in this toolkit; the pointers stay null

class CContainerUI : public CControlUI, public IContainerUI {
public:
    CContainerUI();
    ~CContainerUI() override;

    LPCWSTR GetClass() const override;
    void* GetInterface(LPCWSTR pstrName) override;

    CControlUI* GetItemAt(int iIndex) const override;
    int GetItemIndex(CControlUI* pControl) const override;
    bool SetItemIndex(CControlUI* pControl, int iIndex) override;
    int GetCount() const override;
    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int iIndex) override;
    bool Remove(CControlUI* pControl) override;
    bool RemoveAt(int iIndex) override;
    void RemoveAll() override;

    void DoEvent(TEventUI& event) override;
    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;
    void SetEnabled(bool bEnabled = true) override;
    void SetMouseEnabled(bool bEnable = true) override;

    virtual RECT GetInset() const;
    virtual void SetInset(RECT rcInset);
    virtual int GetChildPadding() const;
    virtual void SetChildPadding(int iPadding);
    virtual bool IsAutoDestroy() const;
    virtual void SetAutoDestroy(bool bAuto);
    virtual bool IsDelayedDestroy() const;
    virtual void SetDelayedDestroy(bool bDelayed);
    virtual bool IsMouseChildEnabled() const;
    virtual void SetMouseChildEnabled(bool bEnable = true);
    // The first selectable (visible, enabled, focusable) child at or after
    // iIndex going forward, or before it going backward; -1 when none.
    virtual int FindSelectable(int iIndex, bool bForward = true) const;

    // Scrolling. No skin of this product asks for scroll bars, so these
    // keep the position at (0, 0) and the range empty.
    virtual SIZE GetScrollPos() const;
    virtual SIZE GetScrollRange() const;
    virtual void SetScrollPos(SIZE szPos);
    virtual void SetScrollStepSize(int nSize);
    virtual int GetScrollStepSize() const;
    virtual void LineUp();
    virtual void LineDown();
    virtual void PageUp();
    virtual void PageDown();
    virtual void HomeUp();
    virtual void EndDown();
    virtual void LineLeft();
    virtual void LineRight();
    virtual void PageLeft();
    virtual void PageRight();
    virtual void HomeLeft();
    virtual void EndRight();
    virtual void EnableScrollBar(bool bEnableVertical = true, bool bEnableHorizontal = false);
    virtual CScrollBarUI* GetVerticalScrollBar() const;
    virtual CScrollBarUI* GetHorizontalScrollBar() const;

    void SetPos(RECT rc) override;
    void DoPaint(plat::HDC hDC, const RECT& rcPaint) override;
    void SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) override;
    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
    CControlUI* FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags) override;

    // The position shrunk by the inset (where non-floating children go).
    RECT GetContentRect() const;

protected:
    // Places floating child number iIndex by its fixed XY and size (and its
    // relative-position rule) inside this container's position.
    virtual void SetFloatPos(int iIndex);
    virtual void ProcessScrollBar(RECT rc, int cxRequired, int cyRequired);
    // Lays the children out one after another inside `rc`, downwards when
    // bVertical and rightwards otherwise; the vertical and horizontal layouts
    // use it, floating children are placed by SetFloatPos.
    void LayOutAlongAxis(RECT rc, bool bVertical);
    // Destroys a removed child (delayed through the manager when asked).
    void ReleaseChild(CControlUI* pControl);

    CStdPtrArray m_items;
    RECT m_rcInset;
    int m_iChildPadding;
    bool m_bAutoDestroy;
    bool m_bDelayedDestroy;
    bool m_bMouseChildEnabled;
    bool m_bScrollProcess;
    int m_nScrollStepSize;
    CScrollBarUI* m_pVerticalScrollBar;
    CScrollBarUI* m_pHorizontalScrollBar;
};

class CVerticalLayoutUI : public CContainerUI {
public:
    CVerticalLayoutUI();

    LPCWSTR GetClass() const override;
    void* GetInterface(LPCWSTR pstrName) override;
    UINT GetControlFlags() const override;

    void SetSepHeight(int iHeight);
    int GetSepHeight() const;
    void SetSepImmMode(bool bImmediately);
    bool IsSepImmMode() const;

    void SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) override;
    void DoEvent(TEventUI& event) override;
    void SetPos(RECT rc) override;
    void DoPostPaint(plat::HDC hDC, const RECT& rcPaint) override;

protected:
    int m_iSepHeight;
    UINT m_uButtonState;
    POINT m_ptLastMouse;
    RECT m_rcNewPos;
    bool m_bImmMode;
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    CHorizontalLayoutUI();

    LPCWSTR GetClass() const override;
    void* GetInterface(LPCWSTR pstrName) override;
    UINT GetControlFlags() const override;

    void SetSepWidth(int iWidth);
    int GetSepWidth() const;
    void SetSepImmMode(bool bImmediately);
    bool IsSepImmMode() const;

    void SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) override;
    void DoEvent(TEventUI& event) override;
    void SetPos(RECT rc) override;
    void DoPostPaint(plat::HDC hDC, const RECT& rcPaint) override;

protected:
    int m_iSepWidth;
    UINT m_uButtonState;
    POINT m_ptLastMouse;
    RECT m_rcNewPos;
    bool m_bImmMode;
};

// Shows exactly one child at a time: the first visible child added, until
// SelectItem chooses another ("tabselect" with new and old index).
class CTabLayoutUI : public CContainerUI {
public:
    CTabLayoutUI();

    LPCWSTR GetClass() const override;
    void* GetInterface(LPCWSTR pstrName) override;

    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int iIndex) override;
    bool Remove(CControlUI* pControl) override;
    void RemoveAll() override;
    int GetCurSel() const;
    // False outside 0 .. count-1; true without effect for the current index.
    virtual bool SelectItem(int iIndex);
    virtual bool SelectItem(CControlUI* pControl);

    void SetPos(RECT rc) override;
    void SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) override;

protected:
    int m_iCurSel;
};

} // namespace Veneer
