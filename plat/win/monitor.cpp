// The one monitor, system metrics and system parameters, from the backend's
// screen and work area; the system colours.
#include <algorithm>

#include "plat/gfx/gdi.h"
#include "plat/win/wm_internal.h"

namespace plat {

using namespace wm;

namespace {
HMONITOR const kMonitor = reinterpret_cast<HMONITOR>(0x10001);
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags) {
    if (flags == MONITOR_DEFAULTTONULL && hwnd) {
        RECT r;
        if (!GetWindowRect(hwnd, &r))
            return nullptr;
        return MonitorFromRect(&r, flags);
    }
    return kMonitor;
}

HMONITOR MonitorFromPoint(POINT pt, DWORD flags) {
    RECT screen, work;
    GetBackend().screen_rect(&screen, &work);
    if (flags == MONITOR_DEFAULTTONULL && !PtInRect(&screen, pt))
        return nullptr;
    return kMonitor;
}

HMONITOR MonitorFromRect(LPCRECT rect, DWORD flags) {
    RECT screen, work, i;
    GetBackend().screen_rect(&screen, &work);
    if (flags == MONITOR_DEFAULTTONULL && (!rect || !IntersectRect(&i, rect, &screen)))
        return nullptr;
    return kMonitor;
}

BOOL GetMonitorInfo(HMONITOR monitor, LPMONITORINFO info) {
    if (monitor != kMonitor || !info || info->cbSize < sizeof(MONITORINFO))
        return FALSE;
    GetBackend().screen_rect(&info->rcMonitor, &info->rcWork);
    info->dwFlags = MONITORINFOF_PRIMARY;
    return TRUE;
}

int GetSystemMetrics(int index) {
    RECT screen, work;
    GetBackend().screen_rect(&screen, &work);
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXVIRTUALSCREEN:
        return screen.right - screen.left;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN:
        return screen.bottom - screen.top;
    case SM_XVIRTUALSCREEN:
        return screen.left;
    case SM_YVIRTUALSCREEN:
        return screen.top;
    case SM_CXFULLSCREEN:
    case SM_CXMAXIMIZED:
    case SM_CXMAXTRACK:
        return work.right - work.left;
    case SM_CYFULLSCREEN:
    case SM_CYMAXIMIZED:
    case SM_CYMAXTRACK:
        return work.bottom - work.top;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 17;
    case SM_CYCAPTION:
        return 23;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CXMIN:
        return 112;
    case SM_CYMIN:
        return 27;
    case SM_CXMINTRACK:
        return 112;
    case SM_CYMINTRACK:
        return 27;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
    case SM_CXDRAG:
    case SM_CYDRAG:
        return 4;
    case SM_SWAPBUTTON:
        return 0;
    case SM_CMONITORS:
        return 1;
    default:
        return 0;
    }
}

BOOL SystemParametersInfo(UINT action, UINT, PVOID pvParam, UINT) {
    if (!pvParam)
        return FALSE;
    switch (action) {
    case SPI_GETWORKAREA: {
        RECT screen;
        GetBackend().screen_rect(&screen, static_cast<RECT*>(pvParam));
        return TRUE;
    }
    case SPI_GETMOUSEHOVERWIDTH:
    case SPI_GETMOUSEHOVERHEIGHT:
        *static_cast<UINT*>(pvParam) = 4;
        return TRUE;
    case SPI_GETMOUSEHOVERTIME:
        *static_cast<UINT*>(pvParam) = 400;
        return TRUE;
    default:
        return FALSE;
    }
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
