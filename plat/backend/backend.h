// The display backend: a table of operations that shows top-level surfaces
// and reports raw input, in the manner of a platform table.
//
// The window manager (plat/win) owns every window behaviour; a backend only
// puts 32-bit premultiplied BGRA surfaces on a screen, in the stacking order
// it is told, with an optional shape and alpha mode, and feeds raw input
// back through the input_* entry points of plat/backend/input.h. An X11
// backend maps a surface to a borderless window (override-redirect for
// popups, transient-for its owner, ARGB visual for per-pixel alpha, XShape
// for the shape); the headless backend composes surfaces into an image.
//
// Threads: every operation may be called from any thread; a backend keeps
// its own lock. wait_events may only be called by the input thread (the
// thread that owns the first window); wake may be called from anywhere and
// makes a pending or the next wait_events return at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plat/sys/wintypes.h"

namespace plat {

using SurfaceId = uint64_t; // 0 is "no surface"

// How a surface is shown.
struct SurfaceHints {
    bool popup = false;      // no decorations, not managed (override-redirect on X11)
    bool toolWindow = false; // no task-bar entry
    bool topmost = false;
    SurfaceId owner = 0; // kept above its owner (transient-for on X11)
};

enum class BackendCursor {
    Arrow,
    Hand,
    IBeam,
    Wait,
    SizeWE,
    SizeNS,
    SizeNWSE,
    SizeNESW,
    SizeAll,
    No
};

struct Backend {
    const char* name;
    // False when no person sees the screen (headless): a dialog nobody can
    // answer then takes its default instead of waiting.
    bool interactive;

    // Screen and work area (the one monitor), in screen pixels.
    void (*screen_rect)(RECT* screen, RECT* work);

    // Surfaces. create returns a new id (never 0). Pixels given to present
    // are copied: rows of `stride` bytes, width x height, and only `dirty`
    // (surface coordinates) is taken.
    SurfaceId (*create_surface)(const SurfaceHints& hints, int x, int y, int width, int height);
    void (*destroy_surface)(SurfaceId id);
    void (*show_surface)(SurfaceId id, bool visible);
    void (*move_resize_surface)(SurfaceId id, int x, int y, int width, int height);
    // Stacking of every surface from the bottom to the top.
    void (*restack)(const std::vector<SurfaceId>& bottomToTop);
    // Shape: the union of the rectangles (surface coordinates); an empty
    // list with `shaped` false removes the shape.
    void (*set_shape)(SurfaceId id, bool shaped, const std::vector<RECT>& rects);
    void (*present)(SurfaceId id, const void* pixels, int width, int height, int stride,
                    const RECT& dirty);
    // perPixel: the surface's alpha channel is used (premultiplied);
    // otherwise the surface is opaque. constantAlpha scales the whole surface.
    void (*set_alpha_mode)(SurfaceId id, bool perPixel, uint8_t constantAlpha);
    void (*set_title)(SurfaceId id, const std::wstring& title);
    void (*set_cursor)(BackendCursor cursor);

    // Waits until input arrives, wake is called or timeoutMs passes
    // (negative: no time-out). Returns after delivering any pending raw
    // input through the input_* entry points.
    void (*wait_events)(int timeoutMs);
    void (*wake)();
};

// The backend in use: PLAT_BACKEND=headless|x11, else x11 when DISPLAY is set
// and reachable, else headless. Only the headless backend is built so far,
// so every choice currently gives it. Never null.
const Backend& GetBackend();

} // namespace plat
