// The connection to the X server: opening it, the error handlers, atoms,
// visuals and extensions, the screen and work area, what the desktop offers
// (a window manager and what it supports, a compositing manager), and the
// backend table.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "plat/backend/x11/x11_internal.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shape.h>

namespace plat {
namespace x11 {

State& X() {
    static State* s = new State;
    return *s;
}

uint64_t NowMs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

XSurface* FindSurface(SurfaceId id) {
    auto& x = X();
    auto it = x.surfaces.find(id);
    return it == x.surfaces.end() ? nullptr : &it->second;
}

Locked::Locked() : lk_(X().m) {}

Locked::~Locked() {
    Display* dpy = X().dpy;
    if (!dpy)
        return;
    XFlush(dpy);
    if (XEventsQueued(dpy, QueuedAlready) > 0)
        Wake();
}

void Wake() {
    char c = 1;
    // A full pipe already wakes the waiter.
    ssize_t r = write(X().wakeWrite, &c, 1);
    (void)r;
}

namespace {

// Protocol errors are results of races with the server (a window gone
// before a request about it arrived) or of probing (MIT-SHM with a remote
// server); they are noted, never fatal.
int OnError(Display*, XErrorEvent* e) {
    X().lastError = e->error_code;
    return 0;
}

// The connection is gone (the server ended or the display was closed):
// nothing of the program can be shown any more, so it ends with a clear
// message instead of waiting on a dead connection.
int OnIOError(Display*) {
    std::fprintf(stderr, "%s: lost the connection to the X display \"%s\"; ending.\n",
                 program_invocation_short_name, X().displayName.c_str());
    std::fflush(nullptr);
    _exit(1);
}

bool GetCardinals(Window w, Atom prop, std::vector<long>* out) {
    auto& x = X();
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    out->clear();
    if (XGetWindowProperty(x.dpy, w, prop, 0, 1024, False, AnyPropertyType, &type, &format, &n,
                           &after, &data) != Success ||
        !data) {
        return false;
    }
    if (format == 32)
        out->assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + n);
    XFree(data);
    return format == 32;
}

void InternAtoms() {
    auto& x = X();
    static const char* names[] = {"WM_PROTOCOLS",
                                  "WM_DELETE_WINDOW",
                                  "WM_STATE",
                                  "WM_TRANSIENT_FOR",
                                  "_NET_WM_NAME",
                                  "UTF8_STRING",
                                  "_NET_WM_PID",
                                  "_NET_WM_STATE",
                                  "_NET_WM_STATE_ABOVE",
                                  "_NET_WM_STATE_SKIP_TASKBAR",
                                  "_NET_WM_STATE_SKIP_PAGER",
                                  "_NET_WM_WINDOW_TYPE",
                                  "_NET_WM_WINDOW_TYPE_NORMAL",
                                  "_NET_WM_WINDOW_TYPE_DIALOG",
                                  "_NET_WM_WINDOW_TYPE_UTILITY",
                                  "_NET_WM_WINDOW_TYPE_TOOLTIP",
                                  "_NET_WM_WINDOW_TYPE_POPUP_MENU",
                                  "_MOTIF_WM_HINTS",
                                  "_NET_WM_WINDOW_OPACITY",
                                  "_NET_WORKAREA",
                                  "_NET_CURRENT_DESKTOP",
                                  "_NET_SUPPORTED",
                                  "_NET_SUPPORTING_WM_CHECK",
                                  "_NET_WM_MOVERESIZE",
                                  "_NET_ACTIVE_WINDOW",
                                  nullptr};
    constexpr int kNamed = sizeof(names) / sizeof(names[0]) - 1;
    Atom out[kNamed + 1];
    XInternAtoms(x.dpy, const_cast<char**>(names), kNamed, False, out);
    std::string cm = "_NET_WM_CM_S" + std::to_string(x.screen);
    out[kNamed] = XInternAtom(x.dpy, cm.c_str(), False);
    static_assert(sizeof(Atoms) == sizeof(Atom) * (kNamed + 1), "one atom per name");
    std::memcpy(&x.atoms, out, sizeof(Atoms));
}

void FindArgbVisual() {
    auto& x = X();
    XVisualInfo want{};
    want.screen = x.screen;
    want.depth = 32;
    want.c_class = TrueColor;
    int n = 0;
    XVisualInfo* infos =
        XGetVisualInfo(x.dpy, VisualScreenMask | VisualDepthMask | VisualClassMask, &want, &n);
    for (int i = 0; i < n; ++i) {
        // Alpha in the top byte: the layout of our pixels.
        if (infos[i].red_mask == 0xFF0000 && infos[i].green_mask == 0xFF00 &&
            infos[i].blue_mask == 0xFF) {
            x.argbVisual = infos[i].visual;
            x.haveArgb = true;
            break;
        }
    }
    if (infos)
        XFree(infos);
}

void MakeCursors() {
    auto& x = X();
    static const unsigned shapes[10] = {XC_left_ptr,
                                        XC_hand2,
                                        XC_xterm,
                                        XC_watch,
                                        XC_sb_h_double_arrow,
                                        XC_sb_v_double_arrow,
                                        XC_bottom_right_corner,
                                        XC_bottom_left_corner,
                                        XC_fleur,
                                        XC_X_cursor};
    for (int i = 0; i < 10; ++i)
        x.cursors[i] = XCreateFontCursor(x.dpy, shapes[i]);
}

} // namespace

void ReadWorkArea() {
    auto& x = X();
    x.screenRect = RECT{0, 0, DisplayWidth(x.dpy, x.screen), DisplayHeight(x.dpy, x.screen)};
    x.workRect = x.screenRect;
    std::vector<long> area, desk;
    if (!GetCardinals(x.root, x.atoms.netWorkarea, &area) || area.size() < 4)
        return;
    size_t d = 0;
    if (GetCardinals(x.root, x.atoms.netCurrentDesktop, &desk) && !desk.empty() && desk[0] >= 0)
        d = static_cast<size_t>(desk[0]);
    if (area.size() < (d + 1) * 4)
        d = 0;
    RECT w{static_cast<LONG>(area[d * 4]), static_cast<LONG>(area[d * 4 + 1]),
           static_cast<LONG>(area[d * 4] + area[d * 4 + 2]),
           static_cast<LONG>(area[d * 4 + 1] + area[d * 4 + 3])};
    if (IntersectRect(&w, &w, &x.screenRect))
        x.workRect = w;
}

bool ReadCompositor() {
    auto& x = X();
    bool was = x.compositor;
    x.compositor = XGetSelectionOwner(x.dpy, x.atoms.netWmCmS0) != None;
    return was != x.compositor;
}

void ReadWindowManager() {
    auto& x = X();
    x.wm = false;
    x.wmMoveResize = false;
    x.wmActiveWindow = false;
    std::vector<long> check, self;
    // A running window manager names a window of its own on the root, and
    // that window names itself (a stale name from one that ended does not).
    if (!GetCardinals(x.root, x.atoms.netSupportingWmCheck, &check) || check.empty())
        return;
    Window w = static_cast<Window>(check[0]);
    if (!GetCardinals(w, x.atoms.netSupportingWmCheck, &self) || self.empty() ||
        static_cast<Window>(self[0]) != w)
        return;
    x.wm = true;
    std::vector<long> supported;
    GetCardinals(x.root, x.atoms.netSupported, &supported);
    for (long a : supported) {
        if (static_cast<Atom>(a) == x.atoms.netWmMoveresize)
            x.wmMoveResize = true;
        if (static_cast<Atom>(a) == x.atoms.netActiveWindow)
            x.wmActiveWindow = true;
    }
}

bool Open(std::string* error) {
    auto& x = X();
    std::lock_guard<std::mutex> g(x.m);
    if (x.dpy)
        return true;
    const char* name = std::getenv("DISPLAY");
    x.displayName = name ? name : "";
    XInitThreads();
    x.dpy = XOpenDisplay(nullptr);
    if (!x.dpy) {
        *error = "cannot open the X display \"" + x.displayName + "\"";
        return false;
    }
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        XCloseDisplay(x.dpy);
        x.dpy = nullptr;
        *error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    x.wakeRead = pipeFds[0];
    x.wakeWrite = pipeFds[1];
    fcntl(ConnectionNumber(x.dpy), F_SETFD, FD_CLOEXEC);
    XSetErrorHandler(OnError);
    XSetIOErrorHandler(OnIOError);
    x.screen = DefaultScreen(x.dpy);
    x.root = RootWindow(x.dpy, x.screen);
    x.visual = DefaultVisual(x.dpy, x.screen);
    x.depth = DefaultDepth(x.dpy, x.screen);
    InternAtoms();
    FindArgbVisual();

    int major = 0, minor = 0;
    Bool pixmaps = False;
    // MIT-SHM needs the server on this machine; XShmAttach is tried with the
    // first image and the backend falls back to XPutImage when it fails.
    x.shm = XShmQueryVersion(x.dpy, &major, &minor, &pixmaps) == True;
    int shapeEvent = 0, shapeError = 0;
    if (XShapeQueryExtension(x.dpy, &shapeEvent, &shapeError) &&
        XShapeQueryVersion(x.dpy, &major, &minor)) {
        x.shape = true;
        x.inputShape = major > 1 || (major == 1 && minor >= 1);
    }
    int fixesError = 0;
    if (XFixesQueryExtension(x.dpy, &x.xfixesEvent, &fixesError)) {
        x.xfixes = true;
        XFixesSelectSelectionInput(x.dpy, x.root, x.atoms.netWmCmS0,
                                   XFixesSetSelectionOwnerNotifyMask |
                                       XFixesSelectionWindowDestroyNotifyMask |
                                       XFixesSelectionClientCloseNotifyMask);
    }
    // Key repeat without a release before each repeated press, as Win32
    // repeats WM_KEYDOWN.
    Bool detectable = False;
    XkbSetDetectableAutoRepeat(x.dpy, True, &detectable);
    XSelectInput(x.dpy, x.root, PropertyChangeMask | StructureNotifyMask);
    MakeCursors();
    ReadWorkArea();
    ReadCompositor();
    ReadWindowManager();
    XFlush(x.dpy);
    return true;
}

void ScreenRect(RECT* screen, RECT* work) {
    Locked l;
    auto& x = X();
    if (screen)
        *screen = x.screenRect;
    if (work)
        *work = x.workRect;
}

bool PerPixelAlpha() {
    Locked l;
    return X().compositor && X().haveArgb;
}

const Backend& Table() {
    static const Backend table = {
        "x11",           true,           ScreenRect,        CreateSurface,
        DestroySurface,  ShowSurface,    MoveResizeSurface, Restack,
        SetShape,        Present,        SetAlphaMode,      SetTitle,
        SetHints,        SetCursorShape, PerPixelAlpha,     BeginMove,
        ActivateSurface, WaitEvents,     WakeFromAnyThread,
    };
    return table;
}

} // namespace x11
} // namespace plat
