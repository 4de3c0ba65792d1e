// plat's Windows face: windows, classes, message queues, input, painting and
// the monitor are user32's. The names the portable code above plat uses are
// brought into namespace plat; where Windows names a function by its A/W
// macro, the W form is declared, so that plat::SendMessage (the macro
// SendMessageW) resolves. Message, style and key constants stay the
// system's macros.
#pragma once

#include "plat/gfx/gditypes.h"
#include "plat/sys/rect.h"
#include "plat/sys/showcmd.h"
#include "plat/sys/wintypes.h"

namespace plat {

// Types and structures.
using ::CREATESTRUCT;
using ::LPCREATESTRUCT;
using ::LPMINMAXINFO;
using ::LPMONITORINFO;
using ::LPMSG;
using ::LPPAINTSTRUCT;
using ::LPTRACKMOUSEEVENT;
using ::LPWINDOWPOS;
using ::MINMAXINFO;
using ::MONITORINFO;
using ::MSG;
using ::NCCALCSIZE_PARAMS;
using ::NMHDR;
using ::PAINTSTRUCT;
using ::STYLESTRUCT;
using ::TIMERPROC;
using ::TRACKMOUSEEVENT;
using ::WINDOWPOS;
using ::WNDCLASS;
using ::WNDCLASSEX;
using ::WNDENUMPROC;
using ::WNDPROC;

// Window classes and windows.
using ::CallWindowProcW;
using ::CreateWindowExW;
using ::DefWindowProcW;
using ::DestroyWindow;
using ::EnumWindows;
using ::FindWindowW;
using ::GetAncestor;
using ::GetClassInfoExW;
using ::GetClassInfoW;
using ::GetClassLongPtrW;
using ::GetClassNameW;
using ::GetDesktopWindow;
using ::GetMenu;
using ::GetParent;
using ::GetPropW;
using ::GetWindow;
using ::GetWindowLongPtrW;
using ::GetWindowLongW;
using ::GetWindowTextLengthW;
using ::GetWindowTextW;
using ::GetWindowThreadProcessId;
using ::IsChild;
using ::IsWindow;
using ::RegisterClassExW;
using ::RegisterClassW;
using ::RemovePropW;
using ::SetClassLongPtrW;
using ::SetPropW;
using ::SetWindowLongPtrW;
using ::SetWindowLongW;
using ::SetWindowTextW;
using ::UnregisterClassW;

// Messages and timers.
using ::DispatchMessageW;
using ::GetCurrentThreadId;
using ::GetMessageTime;
using ::GetMessageW;
using ::InSendMessage;
using ::KillTimer;
using ::PeekMessageW;
using ::PostMessageW;
using ::PostQuitMessage;
using ::PostThreadMessageW;
using ::SendMessageW;
using ::SetTimer;
using ::TranslateMessage;
using ::WaitMessage;

// Show state, activation, focus and input.
using ::BringWindowToTop;
using ::EnableWindow;
using ::GetActiveWindow;
using ::GetAsyncKeyState;
using ::GetCapture;
using ::GetCursor;
using ::GetCursorPos;
using ::GetDoubleClickTime;
using ::GetFocus;
using ::GetForegroundWindow;
using ::GetKeyState;
using ::IsIconic;
using ::IsWindowEnabled;
using ::IsWindowVisible;
using ::IsZoomed;
using ::LoadCursorW;
using ::LoadIconW;
using ::LoadImageW;
using ::ReleaseCapture;
using ::SetActiveWindow;
using ::SetCapture;
using ::SetCursor;
using ::SetCursorPos;
using ::SetFocus;
using ::SetForegroundWindow;
using ::ShowWindow;
using ::TrackMouseEvent;
using ::WindowFromPoint;

// Geometry and the monitor.
using ::AdjustWindowRect;
using ::AdjustWindowRectEx;
using ::ClientToScreen;
using ::GetClientRect;
using ::GetMonitorInfoW;
using ::GetSystemMetrics;
using ::GetWindowRect;
using ::MapWindowPoints;
using ::MonitorFromPoint;
using ::MonitorFromRect;
using ::MonitorFromWindow;
using ::MoveWindow;
using ::ScreenToClient;
using ::SetWindowPos;
using ::SystemParametersInfoW;

// Painting, regions and layered windows.
using ::BeginPaint;
using ::EndPaint;
using ::GetDC;
using ::GetLayeredWindowAttributes;
using ::GetUpdateRect;
using ::GetWindowDC;
using ::GetWindowRgn;
using ::InvalidateRect;
using ::InvalidateRgn;
using ::RedrawWindow;
using ::ReleaseDC;
using ::SetLayeredWindowAttributes;
using ::SetWindowRgn;
using ::UpdateLayeredWindow;
using ::UpdateWindow;
using ::ValidateRect;

// The caret, system colours and the message box.
using ::CreateCaret;
using ::DestroyCaret;
using ::GetCaretBlinkTime;
using ::GetCaretPos;
using ::GetSysColor;
using ::HideCaret;
using ::MessageBoxW;
using ::SetCaretBlinkTime;
using ::SetCaretPos;
using ::ShowCaret;

} // namespace plat
