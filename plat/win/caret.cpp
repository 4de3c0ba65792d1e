// The caret and system colours.
#include "plat/gfx/gdi.h"
#include "plat/win/wm_internal.h"

namespace plat {

namespace {

// Each thread has at most one caret, as in Win32.
struct Caret {
    HWND owner = nullptr;
    POINT pos{};
    SIZE size{};
    int hideCount = 1; // created hidden
};
thread_local Caret t_caret;

} // namespace

BOOL CreateCaret(HWND hwnd, HBITMAP, int width, int height) {
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    t_caret = Caret{};
    t_caret.owner = hwnd;
    t_caret.size = SIZE{width > 0 ? width : 1, height > 0 ? height : 1};
    return TRUE;
}

BOOL DestroyCaret() {
    if (!t_caret.owner)
        return FALSE;
    t_caret = Caret{};
    return TRUE;
}

BOOL SetCaretPos(int x, int y) {
    // A caret whose window is gone no longer exists.
    if (!t_caret.owner || !IsWindow(t_caret.owner))
        return FALSE;
    t_caret.pos = POINT{x, y};
    return TRUE;
}

BOOL GetCaretPos(LPPOINT pt) {
    if (!pt || !t_caret.owner)
        return FALSE;
    *pt = t_caret.pos;
    return TRUE;
}

BOOL ShowCaret(HWND hwnd) {
    if (!t_caret.owner || (hwnd && hwnd != t_caret.owner))
        return FALSE;
    if (t_caret.hideCount > 0)
        --t_caret.hideCount;
    return TRUE;
}

BOOL HideCaret(HWND hwnd) {
    if (!t_caret.owner || (hwnd && hwnd != t_caret.owner))
        return FALSE;
    ++t_caret.hideCount;
    return TRUE;
}

UINT GetCaretBlinkTime() {
    return 530;
}

DWORD GetSysColor(int index) {
    switch (index) {
    case COLOR_WINDOW:
        return RGB(255, 255, 255);
    case COLOR_WINDOWFRAME:
        return RGB(100, 100, 100);
    case COLOR_BTNFACE:
        return RGB(240, 240, 240);
    case 8:
        return RGB(0, 0, 0); // COLOR_WINDOWTEXT
    case 13:
        return RGB(0, 120, 215); // COLOR_HIGHLIGHT
    case 14:
        return RGB(255, 255, 255); // COLOR_HIGHLIGHTTEXT
    case 17:
        return RGB(109, 109, 109); // COLOR_GRAYTEXT
    case 18:
        return RGB(0, 0, 0); // COLOR_BTNTEXT
    case 23:
        return RGB(0, 0, 0); // COLOR_INFOTEXT
    case 24:
        return RGB(255, 255, 225); // COLOR_INFOBK
    default:
        return RGB(0, 0, 0);
    }
}

} // namespace plat
