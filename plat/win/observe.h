// What clients above the window manager (the automation socket, screenshot
// helpers, tests) may ask of it beyond the Win32 calls.
#pragma once

#include <vector>

#include "plat/backend/backend.h"
#include "plat/sys/wintypes.h"

namespace plat {

// Hands what every window's DCs drew to the backend, so that the backend's
// surfaces show it (before a screenshot).
void FlushWindowSurfaces();
// True when every raw input event has been routed and the input thread is
// waiting with nothing to do (blocked in GetMessage, or its last PeekMessage
// found nothing).
bool WindowSystemIdle();
// The backend surface of a top-level window; 0 for other handles.
SurfaceId WindowSurface(HWND hwnd);

// Messages posted to the desktop window (GetDesktopWindow), which takes and
// ignores them: the last 64, oldest first.
struct DesktopPostRecord {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
std::vector<DesktopPostRecord> DesktopPosts();

// Moves the window manager's clock forward: timers, the caret's blink and
// hover time-outs fall due as if that much time had passed. For tests that
// drive time instead of waiting for it.
void AdvanceWindowClock(DWORD ms);

} // namespace plat
