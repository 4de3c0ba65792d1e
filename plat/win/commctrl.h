// The tooltip window class "tooltips_class32" and its messages.
//
// A tooltip is a popup owned by the window that creates it. Tools are added
// with TTM_ADDTOOL and changed with TTM_SETTOOLINFO; TTM_TRACKACTIVATE with
// TRUE shows the tool's text in a small box near the mouse (below and to the
// right of the cursor, kept on the screen), FALSE hides it. Text longer than
// the width set by TTM_SETMAXTIPWIDTH wraps. The class is registered by plat
// itself, so CreateWindowEx(0, TOOLTIPS_CLASS, ...) works without set-up.
#pragma once

#include "plat/win/winuser.h"

namespace plat {

#define TOOLTIPS_CLASS L"tooltips_class32"

constexpr DWORD TTS_ALWAYSTIP = 0x01;
constexpr DWORD TTS_NOPREFIX = 0x02;
constexpr DWORD TTS_NOANIMATE = 0x10;
constexpr DWORD TTS_NOFADE = 0x20;
constexpr DWORD TTS_BALLOON = 0x40;

constexpr UINT TTF_IDISHWND = 0x0001;
constexpr UINT TTF_CENTERTIP = 0x0002;
constexpr UINT TTF_SUBCLASS = 0x0010;
constexpr UINT TTF_TRACK = 0x0020;
constexpr UINT TTF_ABSOLUTE = 0x0080;
constexpr UINT TTF_TRANSPARENT = 0x0100;

constexpr UINT TTM_ACTIVATE = WM_USER + 1;
constexpr UINT TTM_SETDELAYTIME = WM_USER + 3;
constexpr UINT TTM_TRACKACTIVATE = WM_USER + 17;
constexpr UINT TTM_TRACKPOSITION = WM_USER + 18;
constexpr UINT TTM_GETDELAYTIME = WM_USER + 21;
constexpr UINT TTM_SETMAXTIPWIDTH = WM_USER + 24;
constexpr UINT TTM_GETMAXTIPWIDTH = WM_USER + 25;
constexpr UINT TTM_POP = WM_USER + 28;
constexpr UINT TTM_ADDTOOL = WM_USER + 50;
constexpr UINT TTM_DELTOOL = WM_USER + 51;
constexpr UINT TTM_SETTOOLINFO = WM_USER + 54;
constexpr UINT TTM_GETTOOLCOUNT = WM_USER + 13;
constexpr UINT TTM_ADDTOOLW = TTM_ADDTOOL;
constexpr UINT TTM_DELTOOLW = TTM_DELTOOL;
constexpr UINT TTM_SETTOOLINFOW = TTM_SETTOOLINFO;

// TTM_GETDELAYTIME / TTM_SETDELAYTIME selectors. Defaults: initial 500 ms,
// auto-pop 5000 ms, reshow 100 ms.
constexpr WPARAM TTDT_AUTOMATIC = 0;
constexpr WPARAM TTDT_RESHOW = 1;
constexpr WPARAM TTDT_AUTOPOP = 2;
constexpr WPARAM TTDT_INITIAL = 3;

#define LPSTR_TEXTCALLBACK ((LPWSTR)(intptr_t)-1)

struct TOOLINFO {
    UINT cbSize;
    UINT uFlags;
    HWND hwnd;
    UINT_PTR uId;
    RECT rect;
    HINSTANCE hinst;
    LPWSTR lpszText;
    LPARAM lParam;
    void* lpReserved;
};
using TTTOOLINFO = TOOLINFO;
using LPTOOLINFO = TOOLINFO*;

// Common-controls initialisation: nothing to do, the classes always exist.
struct INITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
};
constexpr DWORD ICC_WIN95_CLASSES = 0x000000FF;
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc);
void InitCommonControls();

} // namespace plat
