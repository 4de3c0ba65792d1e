// Internal state of the window manager, shared by the files of plat/win.
//
// Locking: one process-wide recursive mutex (State::mu) guards windows,
// classes, z-order, focus, capture and the raw input queue. Each thread
// queue has its own mutex for its posted and sent messages and timers. A
// queue mutex may be held while taking the global mutex, never the reverse.
// No lock is held while a window procedure runs.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "plat/backend/backend.h"
#include "plat/sys/pixel_memory.h"
#include "plat/win/observe.h"
#include "plat/win/winuser.h"

namespace plat {
namespace wm {

uint64_t NowMs(); // monotonic milliseconds

struct WndClass {
    std::wstring name;
    std::wstring key; // lower-case name
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HICON iconSmall = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    int clsExtra = 0;
    int wndExtra = 0;
    bool system = false;
    ATOM atom = 0;
};

struct ThreadQueue;

enum class ShowState { Normal, Minimized, Maximized };

struct Wnd {
    HWND hwnd = nullptr;
    std::shared_ptr<WndClass> cls;
    WNDPROC proc = nullptr;
    std::wstring title;
    DWORD style = 0;
    DWORD exStyle = 0;
    HINSTANCE instance = nullptr;
    LONG_PTR id = 0; // GWL_ID (the menu argument of a child)
    LONG_PTR userData = 0;
    HWND parent = nullptr;      // WS_CHILD only
    HWND owner = nullptr;       // top-level only
    std::vector<HWND> children; // bottom to top
    RECT rect{};   // window rectangle: screen for top-level, parent client for children
    RECT client{}; // client rectangle relative to the window's top-left
    std::shared_ptr<ThreadQueue> queue;
    ShowState show = ShowState::Normal;
    RECT restoreRect{};
    std::map<std::wstring, HANDLE> props;
    HICON iconBig = nullptr;
    HICON iconSmall = nullptr;
    // Painting.
    bool hasUpdate = false;
    RECT update{}; // client coordinates
    bool updateErase = false;
    // Window surface, premultiplied BGRA, top-down rows of capW pixels. The
    // buffer is shared with the DCs drawing into it, so a DC that outlives a
    // reallocation (or the window) never writes into freed memory.
    std::shared_ptr<PixelVector<uint32_t>> buffer;
    int capW = 0;
    int capH = 0;
    int surfW = 0;
    int surfH = 0;
    bool longLivedDC = false; // GetDC was used: keep a screen-sized buffer
    HRGN region = nullptr;    // window region (window coordinates), owned
    std::vector<RECT> regionRects;
    // Layered windows.
    bool perPixelAlpha = false;
    BYTE constantAlpha = 255;
    // A layered window is shown once it has content: pixels pushed with
    // UpdateLayeredWindow (then the system never asks it to paint) or a
    // constant alpha from SetLayeredWindowAttributes (then it paints as usual).
    bool layeredReady = false;
    bool layeredPushed = false;
    // Backend.
    SurfaceId surface = 0;
    // Lifetime.
    bool destroying = false;
    bool created = false; // WM_NCCREATE has been sent
};

struct SentMessage {
    HWND hwnd = nullptr;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;
    std::shared_ptr<ThreadQueue> sender;
};

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    bool system = false; // the system's own (WM_SYSTIMER), apart from the window's ids
    uint64_t due = 0;
    uint64_t seq = 0; // creation order breaks ties between equal due times
};

struct ThreadQueue {
    DWORD tid = 0;
    std::mutex m;
    std::condition_variable cv;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::vector<Timer> timers;
    uint64_t timerSeq = 0;
    UINT_PTR nextThreadTimerId = 1;
    bool quit = false;
    int quitCode = 0;
    bool alive = true;
    bool isInput = false; // waits through the backend
    bool wakePending = false;
    bool idle = false; // blocked waiting with nothing to do
    int inSend = 0;
    DWORD msgTime = 0;

    // Wakes the thread from its wait. Called with m held or not.
    void Wake();
};

struct RawEvent {
    enum Kind {
        Move,
        Button,
        Wheel,
        Leave,
        Key,
        Text,
        // Events of the display about a surface.
        SurfaceFocus,
        SurfaceClose,
        SurfaceExpose,
        SurfaceConfigured,
        DisplayChanged,
    } kind = Move;
    int x = 0, y = 0;
    int button = 0;
    bool down = false; // also: focus gained
    int delta = 0;
    UINT vk = 0;
    bool hasText = false; // a key's text from the keyboard layout
    std::wstring text;
    SurfaceId surface = 0;
    RECT rect{};
};

struct State {
    std::recursive_mutex mu;
    std::unordered_map<HWND, std::shared_ptr<Wnd>> windows;
    uintptr_t nextHandle = 0x10010;
    std::vector<std::shared_ptr<WndClass>> classes;
    ATOM nextAtom = 0xC000;
    std::vector<HWND> zorder; // top-level windows, bottom to top
    HWND active = nullptr;
    HWND focus = nullptr;
    HWND capture = nullptr;
    HWND desktop = reinterpret_cast<HWND>(0x10000); // takes posts, ignores them
    std::vector<DesktopPostRecord> desktopPosts;    // the last few, for tests
    std::shared_ptr<ThreadQueue> inputQueue;
    // Raw input.
    std::deque<RawEvent> raw;
    POINT cursor{960, 540};
    BYTE keys[256] = {};
    HCURSOR currentCursor = nullptr;
    // Mouse tracking.
    HWND trackWnd = nullptr;
    DWORD trackFlags = 0;
    DWORD hoverTime = 400;
    POINT hoverOrigin{};
    uint64_t hoverDue = 0;
    HWND lastMouseWnd = nullptr;
    LRESULT lastHit = HTNOWHERE;
    // Double clicks.
    HWND lastClickWnd = nullptr;
    int lastClickButton = -1;
    uint64_t lastClickTime = 0;
    POINT lastClickPos{};
    LRESULT lastClickHit = HTNOWHERE;
    // What the keyboard layout made of the last press of each key, when the
    // backend said (TranslateMessage's character for it).
    bool keyHasText[256] = {};
    std::wstring keyText[256];
    // Move or size with the mouse (HTCAPTION and border presses).
    HWND dragWnd = nullptr;
    bool dragByDisplay = false; // the display's window manager moves it
    int dragEdge = 0;           // 0 move, else WMSZ_*
    POINT dragStart{};
    RECT dragStartRect{};
    // Activity counter, bumped whenever something was routed or dispatched.
    uint64_t generation = 0;
};

State& S();
using Lock = std::unique_lock<std::recursive_mutex>;

// Looks a live window up; nullptr for dead or unknown handles. Takes the lock.
std::shared_ptr<Wnd> Find(HWND hwnd);
// Same, for callers that hold the lock.
Wnd* FindLocked(HWND hwnd);

// The lock and a live window together: the way every operation on a window
// handle begins. It holds the window manager's lock for its lifetime and
// converts to null (with the last error ERROR_INVALID_WINDOW_HANDLE) when the
// handle names no live window:
//     LockedWnd w(hwnd);
//     if (!w)
//         return FALSE;
class LockedWnd {
public:
    explicit LockedWnd(HWND hwnd);
    LockedWnd(const LockedWnd&) = delete;
    LockedWnd& operator=(const LockedWnd&) = delete;
    operator Wnd*() const { return w_; }
    Wnd* operator->() const { return w_; }
    // Lets go of the lock early; the window must not be used afterwards.
    void Release() {
        w_ = nullptr;
        lk_.unlock();
    }

private:
    std::unique_lock<std::recursive_mutex> lk_;
    Wnd* w_;
};

// Removes every trace of a window: its entry, its place in the z-order and
// in its parent, its surface, region, input state and timers. Sends nothing:
// called once WM_NCDESTROY has been sent, and for the windows of a thread
// that ended (which can no longer run their procedures). Call it without
// holding the lock.
void ForgetWindow(HWND hwnd);

// The calling thread's queue, created on first use.
std::shared_ptr<ThreadQueue> CurrentQueue();
DWORD CurrentTid();

// Calls the window's procedure on the calling thread (no lock held).
LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Runs the sent messages waiting in the calling thread's queue.
void RunSentMessages(const std::shared_ptr<ThreadQueue>& q);

// Window rectangle in screen coordinates.
RECT ScreenRectLocked(const Wnd& w);
RECT ClientScreenRectLocked(const Wnd& w);
// Is the window and every ancestor visible, and no owner minimised?
bool ReallyVisibleLocked(const Wnd& w);
bool IsTopLevel(const Wnd& w);
HWND TopLevelOf(HWND hwnd);

// Z-order and the backend (lock held; plat/win/surface.cpp).
void RestackLocked();
// Brings a top-level window and the windows it owns to the top of its band.
void RaiseLocked(HWND hwnd);
// Re-syncs the surfaces of every window owned (directly or not) by `owner`.
void SyncOwnedLocked(HWND owner);
void SyncSurfaceLocked(Wnd& w); // hints, geometry, visibility, alpha mode and shape
// How the backend is to show a top-level window, from its styles and owner.
SurfaceHints SurfaceHintsLocked(const Wnd& w);
// The top-level window shown by a surface; nullptr when none.
HWND WindowOfSurfaceLocked(SurfaceId id);
void PresentLocked(Wnd& w, const RECT& dirtyWindowCoords);
void ResizeSurfaceLocked(Wnd& w);

// Activation and focus (plat/win/focus.cpp; procedures are called, so the
// caller holds no lock).
// A visible, enabled, not minimised top-level window that may be active.
bool CanActivateLocked(const Wnd& w);
void ActivateWindow(HWND hwnd, WORD how);
void ActivateNextAfter(HWND leaving);
void DropInputStateFor(HWND hwnd);

// Input routing (input thread, no lock held). Returns true and fills msg
// when a raw event produced a message for the calling thread.
bool RouteOneRawEvent(const std::shared_ptr<ThreadQueue>& q, MSG* msg);
// Appends a raw event to the input queue and wakes the input thread.
void PushRaw(RawEvent ev);
// The display's events about surfaces (plat/win/display_events.cpp).
void RouteDisplayEvent(const RawEvent& ev);
// Hover time-outs for TrackMouseEvent; posts WM_MOUSEHOVER when due.
void CheckHover(uint64_t now);
uint64_t NextHoverDue(); // 0 when none

// Painting.
void InvalidateLocked(Wnd& w, const RECT* rc, bool erase);
// An invalidation the system makes itself (showing, sizing, regions):
// skipped for windows whose pixels come from UpdateLayeredWindow.
void SystemInvalidateLocked(Wnd& w, const RECT* rc, bool erase);
bool FindPaintWindow(const std::shared_ptr<ThreadQueue>& q, HWND filter, MSG* msg);
// Wakes the thread that owns the window when it is not the calling thread
// (after invalidating it, so that it paints).
void WakeOwnerIfOther(HWND hwnd);

// Timers the system keeps on a window for itself (the caret's blink): they
// come as WM_SYSTIMER and are dispatched to `proc`; their ids are apart from
// the window's own SetTimer ids. Take the queue's lock: call without holding
// the window manager's lock.
void SetSystemTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
void KillSystemTimer(HWND hwnd, UINT_PTR id);

// The caret (plat/win/caret.cpp). Painting hides it over BeginPaint ...
// EndPaint, as its inversion must not be painted over; a window's pixels
// pushed whole (UpdateLayeredWindow) drop what it had drawn; a window that
// goes takes its caret with it. Lock held.
void CaretBeginPaintLocked(Wnd& w);
void CaretEndPaintLocked(Wnd& w);
void CaretPixelsReplacedLocked(Wnd& w);
void ForgetCaretLocked(HWND hwnd);

// Moves or sizes a window with the mouse (DefWindowProc's SC_MOVE/SC_SIZE).
void BeginMouseDrag(HWND hwnd, int edge);

// Tooltip, message box and folder chooser classes, registered on first use
// (plat/win/system_classes.cpp), with their procedures.
void EnsureSystemClasses();
ATOM RegisterSystemClass(const WNDCLASSEX& wc);
LRESULT TooltipProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT MessageBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Text helpers.
std::wstring LowerKey(LPCWSTR s);

} // namespace wm
} // namespace plat
