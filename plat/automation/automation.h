// The automation of a program running on the headless backend: screenshots
// of the screen and of windows, waiting until injected input has been
// handled, and the automation socket (PROTOCOL.md beside this file), through
// which tests and demo scripts drive real executables.
//
// The automation is a client of the window manager: it lists windows through
// the Win32 calls, injects input through the input_* entry points, answers
// dialogs through plat/win/dialog_answers.h and reads pixels from the
// headless backend. Neither the window manager nor the backend knows of it.
#pragma once

#include "plat/backend/headless/headless.h"
#include "plat/sys/wintypes.h"

namespace plat {

// The whole screen as it looks now: what every window DC has drawn, composed
// in z-order with regions and alpha.
HeadlessImage HeadlessCaptureScreen();
// One window's own pixels, transparent outside its region; empty for a
// window that is not top-level or not live.
HeadlessImage HeadlessCaptureWindow(HWND hwnd);
// The same as PNG files; false when the file cannot be written or the
// window is unknown.
bool HeadlessSaveScreenPng(const char* path);
bool HeadlessSaveWindowPng(HWND hwnd, const char* path);

// Waits up to timeoutMs until every injected input event has been routed and
// the input thread is waiting with nothing to do. Only meaningful when
// another thread runs the message loop.
bool HeadlessWaitIdle(int timeoutMs);

// Starts serving the socket at `socketPath` on a thread of its own (a stale
// socket file is replaced). While it serves, dialogs wait for their answers
// instead of taking their defaults. False when the socket cannot be made.
bool AutomationStart(const char* socketPath);
// Starts the socket named by PLAT_AUTOMATION, when the variable is set and
// the headless backend is in use; true when the socket serves afterwards.
// Programs call it once at start-up (the toolkit does so in
// CPaintManagerUI::SetInstance).
bool AutomationStartFromEnvironment();
bool AutomationRunning();
// Stops serving and removes the socket.
void AutomationStop();

} // namespace plat
