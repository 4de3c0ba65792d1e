// Internal state of the X11 backend, shared by its files:
//   display.cpp  the connection, error handlers, atoms, screen and work area,
//                what the desktop offers (window manager, compositor), the table
//   surface.cpp  one X window per surface: creation, hints, stacking, shape
//   present.cpp  pixels to the window: MIT-SHM or XPutImage, the alpha shape
//   events.cpp   waiting, waking, and X events turned into raw input
//   keys.cpp     key symbols to virtual-key codes and text
//
// Locking: one mutex guards the connection and every structure here. Every
// operation of the table takes it (through Locked, which also flushes the
// connection and wakes the waiting input thread when a round trip queued
// events); raw input is handed to the window manager only after it is let go.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "plat/backend/backend.h"
#include "plat/sys/rect.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

namespace plat {
namespace x11 {

struct Geometry {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const Geometry& o) const {
        return x == o.x && y == o.y && w == o.w && h == o.h;
    }
    bool operator!=(const Geometry& o) const { return !(*this == o); }
};

// Geometries asked of the display that no configure event has shown yet.
// A configure event that echoes one of them is not news; one that matches
// none while requests are in flight is remembered, and reported once the
// requests have gone unanswered for a while (a window manager that placed
// the window elsewhere than asked).
class PendingGeometry {
public:
    static constexpr uint64_t kQuietMs = 400;
    void Requested(const Geometry& g, uint64_t nowMs);
    // True when the configure event is news: the display moved or sized the
    // window on its own.
    bool Confirm(const Geometry& g);
    // True (with the geometry) when requests went unanswered for kQuietMs
    // and a configure event that matched none of them is the truth.
    bool Expire(uint64_t nowMs, Geometry* g);
    bool Empty() const { return q_.empty(); }

private:
    std::deque<std::pair<Geometry, uint64_t>> q_;
    bool haveUnmatched_ = false;
    Geometry unmatched_;
};

// How pixels go from a surface to the window's image.
enum class PixelMode {
    Copy,          // premultiplied ARGB, for a compositor
    Opaque,        // alpha forced to 255
    Unpremultiply, // colours as they are meant, alpha kept (no compositor shows it)
};
// Copies the rectangle `r` of 32-bit pixels from src to dst.
void ConvertPixels(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride, const RECT& r,
                   PixelMode mode);
// The rectangles, in bands from the top, covering the pixels of at least
// half opacity (alpha >= 128) of a w x h image of 32-bit ARGB pixels, and
// lying inside `clip` when it is given (a window region).
std::vector<RECT> AlphaShape(const uint8_t* px, int stride, int w, int h,
                             const std::vector<RECT>* clip);

// Keys. `base` is the key's symbol without modifiers, `effective` the one
// the modifiers select. The virtual-key code, 0 when the key has none.
UINT VirtualKeyForKeysym(unsigned long base, unsigned long effective);
// What the key types with the modifiers in effect: its character, or
// nothing for keys that type none (arrows, modifiers, Delete). `ctrlByte`
// is the control character the key makes with Ctrl held (0 when none).
std::wstring TextForKeysym(unsigned long effective, bool ctrl, unsigned char ctrlByte);

struct XSurface {
    Window win = 0;
    Window parent = 0; // a window manager's frame, or the root window
    bool argb = false;
    Colormap colormap = 0;
    GC gc = nullptr;
    SurfaceHints hints;
    Geometry geo; // where the window manager (plat/win) has put it
    bool wantVisible = false;
    bool mapped = false;
    std::wstring title;
    // Shape and alpha.
    bool shaped = false;
    std::vector<RECT> region;
    bool perPixel = false;
    uint8_t alpha = 255;
    bool boundingSet = false;
    std::vector<RECT> bounding; // as last given to the display
    bool inputEmpty = false;
    // The window's pixels as last presented.
    XImage* image = nullptr;
    XShmSegmentInfo shm{};
    bool shmImage = false;
    bool shmBusy = false; // the server may still read the segment
    PendingGeometry pending;
    std::vector<long> netState; // _NET_WM_STATE atoms as last set
};

struct Atoms {
    Atom wmProtocols, wmDeleteWindow, wmState, wmTransientFor, netWmName, utf8String, netWmPid,
        netWmState, netWmStateAbove, netWmStateSkipTaskbar, netWmStateSkipPager, netWmWindowType,
        typeNormal, typeDialog, typeUtility, typeTooltip, typePopupMenu, motifWmHints,
        netWmWindowOpacity, netWorkarea, netCurrentDesktop, netSupported, netSupportingWmCheck,
        netWmMoveresize, netActiveWindow, netWmCmS0;
};

struct State {
    std::mutex m;
    Display* dpy = nullptr;
    std::string displayName;
    int screen = 0;
    Window root = 0;
    Visual* visual = nullptr; // the screen's default
    int depth = 0;
    bool haveArgb = false;
    Visual* argbVisual = nullptr;
    int wakeRead = -1, wakeWrite = -1;
    bool shm = false; // MIT-SHM works with this server
    bool shape = false;
    bool inputShape = false; // XShape 1.1
    bool xfixes = false;
    int xfixesEvent = 0;
    Atoms atoms{};
    std::map<SurfaceId, XSurface> surfaces;
    std::unordered_map<Window, SurfaceId> byWindow;
    SurfaceId next = 1;
    std::vector<SurfaceId> stack; // bottom to top, as plat/win last said
    RECT screenRect{}, workRect{};
    bool compositor = false;
    bool wm = false; // a window manager runs
    bool wmMoveResize = false;
    bool wmActiveWindow = false;
    Cursor cursors[10] = {};
    BackendCursor cursor = BackendCursor::Arrow;
    SurfaceId focused = 0;   // the surface that has the display's focus
    SurfaceId wantFocus = 0; // to be focused once mapped
    unsigned buttons = 0;    // buttons reported down: 1 left, 2 right, 4 middle
    int lastError = 0;       // the last X protocol error code seen
};

State& X();

// Holds the lock; on release flushes the connection and wakes the input
// thread when events wait in Xlib's queue (read during a round trip).
class Locked {
public:
    Locked();
    ~Locked();
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    std::unique_lock<std::mutex> lk_;
};

uint64_t NowMs();
XSurface* FindSurface(SurfaceId id);

// display.cpp (lock held)
void ReadWorkArea();
// Reads the compositor's presence; true when it changed.
bool ReadCompositor();
void ReadWindowManager();
void Wake();

// surface.cpp (lock held)
void ApplyShape(XSurface& s);
void FocusNow(XSurface& s);
// True when per-pixel alpha of this window is shown as alpha.
bool AlphaShown(const XSurface& s);

// present.cpp (lock held)
void FreeImage(XSurface& s);

// The table's operations, by file.
void ScreenRect(RECT* screen, RECT* work);
bool PerPixelAlpha();
SurfaceId CreateSurface(const SurfaceHints& hints, int x, int y, int w, int h);
void DestroySurface(SurfaceId id);
void ShowSurface(SurfaceId id, bool visible);
void MoveResizeSurface(SurfaceId id, int x, int y, int w, int h);
void Restack(const std::vector<SurfaceId>& bottomToTop);
void SetShape(SurfaceId id, bool shaped, const std::vector<RECT>& rects);
void SetAlphaMode(SurfaceId id, bool perPixel, uint8_t alpha);
void SetTitle(SurfaceId id, const std::wstring& title);
void SetHints(SurfaceId id, const SurfaceHints& hints);
void SetCursorShape(BackendCursor c);
bool BeginMove(SurfaceId id, int edge, int x, int y);
void ActivateSurface(SurfaceId id);
void Present(SurfaceId id, const void* pixels, int w, int h, int stride, const RECT& dirty);
void WaitEvents(int timeoutMs);
void WakeFromAnyThread();

} // namespace x11
} // namespace plat
