// The entry points through which every raw input event reaches the window
// manager. Backends call them (the headless backend for injected input and
// the automation socket; a real display backend from its event loop), and
// tests call them to inject input.
//
// Any thread may call them. Each call appends one raw event to the window
// manager's input queue and wakes the input thread; the event is routed
// (hit-tested, turned into WM_* messages) when that thread next retrieves
// messages, one event per retrieval, so that input is handled in order
// with the messages its handling produces.
#pragma once

#include "plat/backend/backend.h"
#include "plat/sys/wintypes.h"

namespace plat {

enum InputButton { InputButtonLeft = 0, InputButtonRight = 1, InputButtonMiddle = 2 };

// The mouse moved to (x, y) in screen pixels.
void input_mouse_move(int x, int y);
// A button went down or up at the current mouse position.
void input_mouse_button(int button, bool down);
// The wheel turned by `delta` (WHEEL_DELTA, 120, per notch; positive away
// from the user) at the current mouse position.
void input_wheel(int delta);
// The mouse left every surface of the program (it is over another
// program's window or the desktop now).
void input_mouse_leave();
// A key (virtual-key code VK_*) went down or up. `text`, when not null, is
// what the keyboard layout makes of the press (possibly nothing): the
// character TranslateMessage makes of that key-down. Without it the key's
// character is the US layout's.
void input_key(UINT vk, bool down, const wchar_t* text = nullptr);
// Text typed (already composed): one WM_CHAR per character to the focus.
void input_text(const wchar_t* text);

// Events of the display about one surface.
// The surface got (true) or lost (false) the display's keyboard focus; a
// loss is reported only when the focus left every surface of the program.
void input_surface_focus(SurfaceId id, bool focused);
// The desktop asked to close the surface (its close button, Alt+F4).
void input_surface_close(SurfaceId id);
// A part of the surface (surface coordinates) must be shown again.
void input_surface_expose(SurfaceId id, const RECT& rect);
// The display moved or sized the surface (screen coordinates).
void input_surface_configured(SurfaceId id, const RECT& rect);
// What the display can show changed (a compositing manager started or
// stopped): every surface is set up again.
void input_display_changed();

} // namespace plat
