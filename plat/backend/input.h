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
// A key (virtual-key code VK_*) went down or up.
void input_key(UINT vk, bool down);
// Text typed (already composed): one WM_CHAR per character to the focus.
void input_text(const wchar_t* text);

} // namespace plat
