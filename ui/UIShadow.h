// CShadowUI: the soft drop shadow around a skinned window.
//
// Each paint manager owns one. When the skin asks for it (showshadow), the
// shadow creates a click-through, per-pixel-alpha window of class
// "QuillShadowWnd", owned by the skinned window, that covers the window and
// a margin around it. Its pixels are computed from the skinned window's
// region (a blurred border of a given size, sharpness, darkness, colour and
// offset, fully transparent over the window itself), or stretched from a
// nine-part skin image. The shadow hooks the skinned window's procedure and
// follows it: moves at once, recomputes on size changes (at once when the
// window shrinks, at its next paint when it grows, so that the region is
// final), hides on minimise, maximise and hide.
//
// UI thread only.
#pragma once

#include "plat/win/winuser.h"
#include "ui/UIBase.h"

#include <map>
#include <vector>

namespace Veneer {

class CPaintManagerUI;

class CShadowUI {
public:
    // Status bits.
    enum {
        SS_ENABLED = 1,       // the shadow window exists
        SS_VISABLE = 2,       // the shadow window is shown
        SS_PARENTVISIBLE = 4, // the skinned window is shown
    };

    CShadowUI() = default;
    virtual ~CShadowUI();
    CShadowUI(const CShadowUI&) = delete;
    CShadowUI& operator=(const CShadowUI&) = delete;

    // Registers the shadow window class once (CPaintManagerUI::SetInstance).
    static bool Initialize(HINSTANCE hInstance);

    // Must be set before Create.
    void ShowShadow(bool bShow);
    bool IsShowShadow() const;

    // Setters refuse values outside their ranges (false, unchanged); an
    // accepted value recomputes a visible shadow at once.
    bool SetSize(int NewSize);                        // -20 ... 20
    bool SetSharpness(unsigned int NewSharpness);     // 0 ... 20
    bool SetDarkness(unsigned int NewDarkness);       // 0 ... 255
    bool SetPosition(int NewXOffset, int NewYOffset); // -20 ... 20 each
    bool SetColor(DWORD NewColor);                    // 0xRRGGBB
    bool SetImage(LPCTSTR szImage);                   // image mode for good; false for null
    bool SetShadowCorner(RECT rcCorner);              // no side negative
    // Copies this shadow's style into another (through its setters).
    bool CopyShadow(CShadowUI* pShadow);

    // Creates the shadow window for the manager's paint window and hooks its
    // procedure; nothing while the shadow is not shown.
    void Create(CPaintManagerUI* pPaintManager);

    HWND GetShadowWindow() const { return m_hWnd; }
    BYTE GetStatus() const { return m_Status; }
    bool IsUpdatePending() const { return m_bUpdate; }
    int GetSize() const { return m_nSize; }
    unsigned GetSharpness() const { return m_nSharpness; }
    unsigned GetDarkness() const { return m_nDarkness; }
    POINT GetPosition() const { return POINT{m_nxOffset, m_nyOffset}; }
    DWORD GetColor() const { return m_Color; }

    // The computed picture for a window of W x H with the given region
    // (window coordinates; null or empty: no pixels): SW x SH premultiplied
    // ARGB pixels, top row first, SW = W + 2 * size and SH = H + 2 * size.
    // Empty when either side would not be positive.
    std::vector<uint32_t> ComputeShadow(HRGN hRegion, int W, int H) const;
    // The same into pixels the caller provides, all zero on entry (SW x SH,
    // top row first); false, writing nothing, when either side would not be
    // positive.
    bool ComputeShadow(HRGN hRegion, int W, int H, uint32_t* pPixels) const;

protected:
    static std::map<HWND, CShadowUI*>& GetShadowMap();
    static LRESULT ParentProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Recomputes the picture and places the shadow window around hParent.
    void Update(HWND hParent);
    // The shadow window's rectangle for a skinned window's rectangle.
    RECT ShadowRect(const RECT& rcParent) const;
    // Recomputes when the shadow is on screen (after a setter).
    void Refresh();

    CPaintManagerUI* m_pManager = nullptr;
    HWND m_hWnd = nullptr;
    HWND m_hParent = nullptr;
    WNDPROC m_OriParentProc = nullptr;
    BYTE m_Status = 0;
    bool m_bIsImageMode = false;
    bool m_bIsShowShadow = false;
    unsigned char m_nDarkness = 150;
    unsigned char m_nSharpness = 5;
    signed char m_nSize = 0;
    signed char m_nxOffset = 0;
    signed char m_nyOffset = 0;
    LPARAM m_WndSize = 0;
    bool m_bUpdate = false;
    DWORD m_Color = 0;
    CStdString m_sShadowImage;
    RECT m_rcShadowCorner = {0, 0, 0, 0};
};

} // namespace Veneer
