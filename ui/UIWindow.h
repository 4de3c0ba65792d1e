// CWindowWnd: binds one object to one native top-level (or popup) window.
//
// It registers the window class (an already registered name counts as
// success), creates the window with the object as creation parameter, routes
// every message of the window into the object's HandleMessage, and calls
// OnFinalMessage exactly once after the window is gone (the handle is null
// again by then, and the object may delete itself there; a window destroyed
// from inside one of its own handlers gets it when that handler's message is
// done). ShowModal runs the
// window in the one modal loop of plat/win/modal.h until it is destroyed.
//
// All operations run on the thread that created the window; other threads
// may only PostMessage to it.
#pragma once

#include "plat/win/winuser.h"
#include "ui/UIBase.h"

namespace Veneer {

class CWindowWnd {
public:
    CWindowWnd() = default;
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Registers a fresh class (style GetClassStyle, procedure __WndProc, the
    // arrow cursor, no brush) under GetWindowClassName; true on success or
    // when the class exists already.
    bool RegisterWindowClass();
    // Registers GetWindowClassName as a superclass of GetSuperClassName
    // (looked up among system classes, then in the module); false when that
    // class does not exist.
    bool RegisterSuperclass();

    // Registers the class and creates the window (owner, title, styles,
    // position and size, menu); null when registration or creation fails.
    HWND Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle,
                int x = CW_USEDEFAULT, int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT,
                int cy = CW_USEDEFAULT, HMENU hMenu = nullptr);
    HWND Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT rc,
                HMENU hMenu = nullptr);
    // Position and size 0, no menu.
    HWND CreateSkinWindow(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle);

    // Routes the messages of an existing window into this object; null (and
    // nothing changed) when its procedure cannot be replaced.
    HWND Subclass(HWND hWnd);
    // Gives a subclassed window its procedure back.
    void Unsubclass();

    // Hides (bShow false), or shows normally (bTakeFocus) or without
    // activation. Nothing when the window is gone.
    void ShowWindow(bool bShow = true, bool bTakeFocus = true);
    // Shows the window and runs the modal loop until it is destroyed: the
    // owner is disabled meanwhile, and enabled and focused again when the
    // window closes. Returns the result given to the Close that closed it,
    // else 0. A quit request ends the loop and is posted again for the
    // enclosing loop.
    UINT ShowModal();
    // Posts WM_CLOSE with the result; nothing when the window is gone.
    void Close(UINT nRet = IDOK);
    // Centres on the owner, or on the work area of the nearest monitor, and
    // keeps the window inside that work area (left and top edges first).
    void CenterWindow();
    // Loads icon resource nRes at the large-icon size (rounded up to a
    // multiple of 16) as the window's large and small icon.
    void SetIcon(UINT nRes);
    // Resizes so that the client area gets cx by cy (-1 keeps that side).
    void ResizeClient(int cx = -1, int cy = -1);

    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);

protected:
    // Not virtual: the object is never deleted through this class (the
    // window base adds the virtual destructor).
    ~CWindowWnd() = default;

    virtual LPCTSTR GetWindowClassName() const = 0;
    virtual LPCTSTR GetSuperClassName() const;
    virtual UINT GetClassStyle() const;
    // Default: the previous procedure's answer.
    virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Called once, after WM_NCDESTROY (or, when the window was destroyed
    // from inside one of its own handlers, once that message is handled),
    // with the handle the window had.
    virtual void OnFinalMessage(HWND hWnd);

    static LRESULT __WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static LRESULT __ControlProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    template <class Slot>
    static LRESULT Route(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, Slot slot);

    HWND m_hWnd = nullptr;
    WNDPROC m_OldWndProc = plat::DefWindowProc;
    bool m_bSubclassed = false;

private:
    // Messages of this object's window being handled now (nested sends and
    // modal loops inside a handler count each). A window destroyed while
    // one is running gets its OnFinalMessage when the outermost returns, so
    // that an object deleting itself there never runs on under a handler.
    int m_nMessageDepth = 0;
    HWND m_hWndFinalPending = nullptr;
};

} // namespace Veneer
