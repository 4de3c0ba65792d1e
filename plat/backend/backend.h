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
// makes a pending or the next wait_events return at once. The window
// manager calls the backend with its own lock held, so a backend calls the
// input_* entry points only after letting go of its lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plat/sys/wintypes.h"

namespace plat {

using SurfaceId = uint64_t; // 0 is "no surface"

// How a surface is shown. The window manager derives the hints from the
// window's styles and hands them over again whenever they may have changed
// (set_hints); a backend applies what differs.
struct SurfaceHints {
    // A transient popup (tooltip, menu): shown exactly where it is put,
    // never decorated, managed or focused (override-redirect on X11).
    bool popup = false;
    bool skipTaskbar = false; // no task-bar entry
    bool topmost = false;
    bool noFocus = false;      // never takes the keyboard focus
    bool layered = false;      // may show per-pixel alpha (an ARGB visual on X11)
    bool clickThrough = false; // takes no pointer input at all (an empty input shape)
    SurfaceId owner = 0;       // kept above its owner (transient-for on X11)
    std::wstring className;    // the window class, for the desktop's window lists

    bool operator==(const SurfaceHints& o) const {
        return popup == o.popup && skipTaskbar == o.skipTaskbar && topmost == o.topmost &&
               noFocus == o.noFocus && layered == o.layered && clickThrough == o.clickThrough &&
               owner == o.owner && className == o.className;
    }
    bool operator!=(const SurfaceHints& o) const { return !(*this == o); }
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
    void (*set_hints)(SurfaceId id, const SurfaceHints& hints);
    void (*set_cursor)(BackendCursor cursor);

    // True when per-pixel alpha is shown as alpha (always headless; on X11
    // while a compositing manager runs). Without it a layered surface shows
    // only its pixels of at least half opacity.
    bool (*per_pixel_alpha)();
    // The display's own window manager moves (edge 0) or sizes (edge
    // WMSZ_*) the surface with the pointer, which is at (x, y) with the left
    // button down. False when there is none to do it; the window manager
    // then follows the pointer itself. When it returns true, the surface's
    // new geometry arrives through input_surface_configured and the end of
    // the drag as the left button's release.
    bool (*begin_move)(SurfaceId id, int edge, int x, int y);
    // The surface becomes the one that takes keyboard input on the display.
    void (*activate_surface)(SurfaceId id);

    // Waits until input arrives, wake is called or timeoutMs passes
    // (negative: no time-out). Returns after delivering any pending raw
    // input through the input_* entry points.
    void (*wait_events)(int timeoutMs);
    void (*wake)();
};

// The backend in use, chosen at the first call: PLAT_BACKEND=headless|x11;
// else headless when PLAT_AUTOMATION is set (the automation drives the
// headless screen); else x11 when DISPLAY is set. With none of them, or
// when the chosen display cannot be opened, the program stops with a clear
// message on standard error (exit code 1) instead of running windows nobody
// can see. Never returns null.
const Backend& GetBackend();

// Chooses the backend ("headless" or "x11") before its first use, whatever
// the environment says, for programs that only make sense on one of them
// (benchmarks of the headless screen). False when another backend is
// already in use or the name is unknown to this build.
bool SelectBackend(const char* name);

} // namespace plat
