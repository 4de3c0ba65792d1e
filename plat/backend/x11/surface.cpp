// One X window per surface: creation with the desktop's hints (no
// decorations, transient-for the owner, task-bar and focus hints, override-
// redirect for popups, an ARGB visual for layered windows), showing,
// geometry, stacking, shapes, titles, cursors, focus and moves by the
// window manager.
#include <algorithm>
#include <unistd.h>

#include "plat/backend/x11/x11_internal.h"
#include "plat/sys/text.h"

#include <X11/Xatom.h>
#include <X11/extensions/shape.h>

namespace plat {
namespace x11 {

namespace {

constexpr long kEventMask = ExposureMask | StructureNotifyMask | FocusChangeMask |
                            PointerMotionMask | ButtonPressMask | ButtonReleaseMask |
                            EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask;

void SetAtomList(Window w, Atom prop, const std::vector<long>& atoms) {
    auto& x = X();
    if (atoms.empty()) {
        XDeleteProperty(x.dpy, w, prop);
        return;
    }
    XChangeProperty(x.dpy, w, prop, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(atoms.data()),
                    static_cast<int>(atoms.size()));
}

Atom WindowType(const SurfaceHints& h) {
    const Atoms& a = X().atoms;
    if (h.popup)
        return h.noFocus ? a.typeTooltip : a.typePopupMenu;
    if (h.clickThrough || (h.skipTaskbar && !h.owner))
        return a.typeUtility;
    if (h.owner)
        return a.typeDialog;
    return a.typeNormal;
}

void ApplyNetState(XSurface& s) {
    auto& x = X();
    const Atoms& a = x.atoms;
    std::vector<long> want;
    if (s.hints.skipTaskbar) {
        want.push_back(static_cast<long>(a.netWmStateSkipTaskbar));
        want.push_back(static_cast<long>(a.netWmStateSkipPager));
    }
    if (s.hints.topmost)
        want.push_back(static_cast<long>(a.netWmStateAbove));
    if (want == s.netState)
        return;
    if (s.mapped && x.wm && !s.hints.popup) {
        // A managed window's state is the window manager's: ask it.
        auto send = [&](long action, long atom) {
            XEvent e{};
            e.xclient.type = ClientMessage;
            e.xclient.window = s.win;
            e.xclient.message_type = a.netWmState;
            e.xclient.format = 32;
            e.xclient.data.l[0] = action; // 0 remove, 1 add
            e.xclient.data.l[1] = atom;
            e.xclient.data.l[3] = 1; // from an application
            XSendEvent(x.dpy, x.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
        };
        for (long atom : s.netState)
            if (std::find(want.begin(), want.end(), atom) == want.end())
                send(0, atom);
        for (long atom : want)
            if (std::find(s.netState.begin(), s.netState.end(), atom) == s.netState.end())
                send(1, atom);
    } else {
        SetAtomList(s.win, a.netWmState, want);
    }
    s.netState = want;
}

// Everything the desktop reads from the window's properties.
void ApplyHintProperties(XSurface& s) {
    auto& x = X();
    const Atoms& a = x.atoms;
    XWMHints wmh{};
    wmh.flags = InputHint | StateHint;
    wmh.input = s.hints.noFocus ? False : True;
    wmh.initial_state = NormalState;
    XSetWMHints(x.dpy, s.win, &wmh);
    // No decorations: every window draws its own frame, if any.
    long motif[5] = {2 /* decorations given */, 0, 0 /* none */, 0, 0};
    XChangeProperty(x.dpy, s.win, a.motifWmHints, a.motifWmHints, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(motif), 5);
    SetAtomList(s.win, a.netWmWindowType, {static_cast<long>(WindowType(s.hints))});
    XSurface* owner = FindSurface(s.hints.owner);
    if (owner && owner->win)
        XSetTransientForHint(x.dpy, s.win, owner->win);
    else
        XDeleteProperty(x.dpy, s.win, a.wmTransientFor);
    std::string cls = WideToUtf8(s.hints.className);
    XClassHint ch{};
    ch.res_name = program_invocation_short_name;
    ch.res_class = const_cast<char*>(cls.c_str());
    XSetClassHint(x.dpy, s.win, &ch);
    ApplyNetState(s);
}

void ApplyTitle(XSurface& s) {
    auto& x = X();
    std::string utf8 = WideToUtf8(s.title);
    auto bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    int n = static_cast<int>(utf8.size());
    XChangeProperty(x.dpy, s.win, x.atoms.netWmName, x.atoms.utf8String, 8, PropModeReplace, bytes,
                    n);
    bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; });
    XChangeProperty(x.dpy, s.win, XA_WM_NAME, ascii ? XA_STRING : x.atoms.utf8String, 8,
                    PropModeReplace, bytes, n);
}

void ApplyOpacity(XSurface& s) {
    auto& x = X();
    if (s.alpha == 255) {
        XDeleteProperty(x.dpy, s.win, x.atoms.netWmWindowOpacity);
        return;
    }
    long v = static_cast<long>(static_cast<unsigned long>(s.alpha) * 0x01010101UL);
    XChangeProperty(x.dpy, s.win, x.atoms.netWmWindowOpacity, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&v), 1);
}

void MakeWindow(SurfaceId id, XSurface& s, bool argb) {
    auto& x = X();
    s.argb = argb && x.haveArgb;
    XSetWindowAttributes wa{};
    unsigned long mask = CWBackPixmap | CWBorderPixel | CWEventMask | CWOverrideRedirect;
    wa.background_pixmap = None; // no flash of a background before the first frame
    wa.border_pixel = 0;
    wa.event_mask = kEventMask;
    wa.override_redirect = s.hints.popup ? True : False;
    Visual* visual = x.visual;
    int depth = x.depth;
    if (s.argb) {
        visual = x.argbVisual;
        depth = 32;
        s.colormap = XCreateColormap(x.dpy, x.root, visual, AllocNone);
        wa.colormap = s.colormap;
        mask |= CWColormap;
    }
    s.win = XCreateWindow(x.dpy, x.root, s.geo.x, s.geo.y, static_cast<unsigned>(s.geo.w),
                          static_cast<unsigned>(s.geo.h), 0, depth, InputOutput, visual, mask, &wa);
    s.parent = x.root;
    s.mapped = false;
    s.netState.clear();
    s.boundingSet = false;
    s.bounding.clear();
    s.inputEmpty = false;
    x.byWindow[s.win] = id;
    s.gc = XCreateGC(x.dpy, s.win, 0, nullptr);
    Atom protocols[1] = {x.atoms.wmDeleteWindow};
    XSetWMProtocols(x.dpy, s.win, protocols, 1);
    long pid = static_cast<long>(getpid());
    XChangeProperty(x.dpy, s.win, x.atoms.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    // The window manager honours the place and size the program gives.
    XSizeHints sh{};
    sh.flags = USPosition | PPosition | USSize | PSize;
    sh.x = s.geo.x;
    sh.y = s.geo.y;
    sh.width = s.geo.w;
    sh.height = s.geo.h;
    XSetWMNormalHints(x.dpy, s.win, &sh);
    ApplyHintProperties(s);
    ApplyTitle(s);
    ApplyOpacity(s);
    XDefineCursor(x.dpy, s.win, x.cursors[static_cast<int>(x.cursor)]);
    ApplyShape(s);
}

void ForgetWindow(XSurface& s) {
    auto& x = X();
    FreeImage(s);
    if (s.gc)
        XFreeGC(x.dpy, s.gc);
    s.gc = nullptr;
    if (s.win) {
        x.byWindow.erase(s.win);
        XDestroyWindow(x.dpy, s.win);
    }
    s.win = 0;
    if (s.colormap)
        XFreeColormap(x.dpy, s.colormap);
    s.colormap = 0;
}

// Puts the surfaces from `from` up (in plat/win's order) on top of the
// others, keeping their order.
void RaiseFrom(size_t from) {
    auto& x = X();
    for (size_t i = from; i < x.stack.size(); ++i)
        if (XSurface* s = FindSurface(x.stack[i]); s && s->win && s->wantVisible)
            XRaiseWindow(x.dpy, s->win);
}

void Map(XSurface& s, SurfaceId id) {
    auto& x = X();
    ApplyNetState(s);
    XMapWindow(x.dpy, s.win);
    auto it = std::find(x.stack.begin(), x.stack.end(), id);
    if (it != x.stack.end())
        RaiseFrom(static_cast<size_t>(it - x.stack.begin()));
}

} // namespace

bool AlphaShown(const XSurface& s) {
    return X().compositor && s.argb;
}

void ApplyShape(XSurface& s) {
    auto& x = X();
    if (!x.shape || !s.win)
        return;
    std::vector<RECT> bounding;
    bool set = false;
    if (s.perPixel && !AlphaShown(s) && s.image) {
        // Without a compositor alpha is not shown: the window keeps the
        // pixels of at least half opacity, inside its region.
        bounding =
            AlphaShape(reinterpret_cast<const uint8_t*>(s.image->data), s.image->bytes_per_line,
                       s.image->width, s.image->height, s.shaped ? &s.region : nullptr);
        set = true;
    } else if (s.shaped) {
        bounding = s.region;
        set = true;
    }
    bool same = set == s.boundingSet && bounding.size() == s.bounding.size() &&
                std::equal(bounding.begin(), bounding.end(), s.bounding.begin(),
                           [](const RECT& a, const RECT& b) {
                               return a.left == b.left && a.top == b.top && a.right == b.right &&
                                      a.bottom == b.bottom;
                           });
    if (!same) {
        if (set) {
            std::vector<XRectangle> xr;
            xr.reserve(bounding.size());
            for (const RECT& r : bounding) {
                if (IsRectEmpty(&r))
                    continue;
                xr.push_back(XRectangle{static_cast<short>(r.left), static_cast<short>(r.top),
                                        static_cast<unsigned short>(r.right - r.left),
                                        static_cast<unsigned short>(r.bottom - r.top)});
            }
            XShapeCombineRectangles(x.dpy, s.win, ShapeBounding, 0, 0, xr.data(),
                                    static_cast<int>(xr.size()), ShapeSet, Unsorted);
        } else {
            XShapeCombineMask(x.dpy, s.win, ShapeBounding, 0, 0, None, ShapeSet);
        }
        s.boundingSet = set;
        s.bounding = std::move(bounding);
    }
    if (x.inputShape && s.inputEmpty != s.hints.clickThrough) {
        // Click-through: an empty input shape lets the pointer reach
        // whatever lies below, other programs' windows included.
        if (s.hints.clickThrough)
            XShapeCombineRectangles(x.dpy, s.win, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
        else
            XShapeCombineMask(x.dpy, s.win, ShapeInput, 0, 0, None, ShapeSet);
        s.inputEmpty = s.hints.clickThrough;
    }
}

void FocusNow(XSurface& s) {
    auto& x = X();
    if (s.hints.noFocus || s.hints.popup)
        return;
    if (x.wm && x.wmActiveWindow) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = s.win;
        e.xclient.message_type = x.atoms.netActiveWindow;
        e.xclient.format = 32;
        e.xclient.data.l[0] = 1; // from an application
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(x.dpy, x.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    } else {
        XSetInputFocus(x.dpy, s.win, RevertToPointerRoot, CurrentTime);
    }
}

SurfaceId CreateSurface(const SurfaceHints& hints, int x0, int y0, int w, int h) {
    Locked l;
    auto& x = X();
    SurfaceId id = x.next++;
    XSurface& s = x.surfaces[id];
    s.hints = hints;
    s.geo = Geometry{x0, y0, std::max(w, 1), std::max(h, 1)};
    MakeWindow(id, s, hints.layered);
    x.stack.push_back(id);
    return id;
}

void DestroySurface(SurfaceId id) {
    Locked l;
    auto& x = X();
    XSurface* s = FindSurface(id);
    if (!s)
        return;
    ForgetWindow(*s);
    x.surfaces.erase(id);
    x.stack.erase(std::remove(x.stack.begin(), x.stack.end(), id), x.stack.end());
    if (x.focused == id)
        x.focused = 0;
    if (x.wantFocus == id)
        x.wantFocus = 0;
}

void ShowSurface(SurfaceId id, bool visible) {
    Locked l;
    auto& x = X();
    XSurface* s = FindSurface(id);
    if (!s || s->wantVisible == visible)
        return;
    s->wantVisible = visible;
    if (visible)
        Map(*s, id);
    else
        XWithdrawWindow(x.dpy, s->win, x.screen);
}

void MoveResizeSurface(SurfaceId id, int x0, int y0, int w, int h) {
    Locked l;
    auto& x = X();
    XSurface* s = FindSurface(id);
    if (!s)
        return;
    // An X window has at least one pixel; an empty surface is never shown.
    Geometry g{x0, y0, std::max(w, 1), std::max(h, 1)};
    if (g == s->geo)
        return;
    if (g.w == s->geo.w && g.h == s->geo.h)
        XMoveWindow(x.dpy, s->win, g.x, g.y);
    else
        XMoveResizeWindow(x.dpy, s->win, g.x, g.y, static_cast<unsigned>(g.w),
                          static_cast<unsigned>(g.h));
    s->geo = g;
    s->pending.Requested(g, NowMs());
}

void Restack(const std::vector<SurfaceId>& order) {
    Locked l;
    auto& x = X();
    std::vector<SurfaceId> next;
    for (SurfaceId id : order)
        if (x.surfaces.count(id))
            next.push_back(id);
    // Surfaces not mentioned keep their place below.
    for (SurfaceId id : x.stack)
        if (std::find(next.begin(), next.end(), id) == next.end())
            next.insert(next.begin(), id);
    if (next == x.stack)
        return;
    // Only the shown windows from the first change upward need raising.
    std::vector<SurfaceId> before, after;
    for (SurfaceId id : x.stack)
        if (XSurface* s = FindSurface(id); s && s->wantVisible)
            before.push_back(id);
    for (SurfaceId id : next)
        if (XSurface* s = FindSurface(id); s && s->wantVisible)
            after.push_back(id);
    size_t i = 0;
    while (i < before.size() && i < after.size() && before[i] == after[i])
        ++i;
    x.stack = next;
    if (i == after.size())
        return;
    auto it = std::find(x.stack.begin(), x.stack.end(), after[i]);
    RaiseFrom(static_cast<size_t>(it - x.stack.begin()));
}

void SetShape(SurfaceId id, bool shaped, const std::vector<RECT>& rects) {
    Locked l;
    XSurface* s = FindSurface(id);
    if (!s)
        return;
    s->shaped = shaped;
    s->region = shaped ? rects : std::vector<RECT>{};
    ApplyShape(*s);
}

void SetAlphaMode(SurfaceId id, bool perPixel, uint8_t alpha) {
    Locked l;
    auto& x = X();
    XSurface* s = FindSurface(id);
    if (!s)
        return;
    if (perPixel && !s->argb && x.haveArgb) {
        // Per-pixel alpha needs an ARGB visual, which an X window gets only
        // at creation: the window is made again, in the same state.
        bool visible = s->wantVisible;
        ForgetWindow(*s);
        MakeWindow(id, *s, true);
        if (visible)
            Map(*s, id);
    }
    if (s->perPixel != perPixel) {
        s->perPixel = perPixel;
        ApplyShape(*s);
    }
    if (s->alpha != alpha) {
        s->alpha = alpha;
        ApplyOpacity(*s);
    }
}

void SetTitle(SurfaceId id, const std::wstring& title) {
    Locked l;
    XSurface* s = FindSurface(id);
    if (!s || s->title == title)
        return;
    s->title = title;
    ApplyTitle(*s);
}

void SetHints(SurfaceId id, const SurfaceHints& hints) {
    Locked l;
    auto& x = X();
    XSurface* s = FindSurface(id);
    if (!s || s->hints == hints)
        return;
    bool popupChanged = s->hints.popup != hints.popup;
    s->hints = hints;
    if (popupChanged) {
        // Override-redirect counts when the window is mapped.
        bool remap = s->wantVisible;
        if (remap)
            XWithdrawWindow(x.dpy, s->win, x.screen);
        XSetWindowAttributes wa{};
        wa.override_redirect = hints.popup ? True : False;
        XChangeWindowAttributes(x.dpy, s->win, CWOverrideRedirect, &wa);
        s->mapped = false;
        if (remap)
            Map(*s, id);
    }
    ApplyHintProperties(*s);
    ApplyShape(*s);
}

void SetCursorShape(BackendCursor c) {
    Locked l;
    auto& x = X();
    if (x.cursor == c)
        return;
    x.cursor = c;
    for (auto& [id, s] : x.surfaces)
        if (s.win)
            XDefineCursor(x.dpy, s.win, x.cursors[static_cast<int>(c)]);
}

void ActivateSurface(SurfaceId id) {
    Locked l;
    auto& x = X();
    XSurface* s = FindSurface(id);
    if (!s || x.focused == id)
        return;
    x.wantFocus = id;
    if (s->mapped)
        FocusNow(*s);
}

bool BeginMove(SurfaceId id, int edge, int, int) {
    Locked l;
    auto& x = X();
    XSurface* s = FindSurface(id);
    if (!s || !x.wm || !x.wmMoveResize || s->hints.popup || !s->mapped || edge < 0 || edge > 8)
        return false;
    Window r = 0, c = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    // A button released already (a quick click) is no drag: a window
    // manager would move the window until the next release.
    if (!XQueryPointer(x.dpy, x.root, &r, &c, &rx, &ry, &wx, &wy, &mask) || !(mask & Button1Mask))
        return false;
    // _NET_WM_MOVERESIZE directions for 0 (move) and WMSZ_LEFT .. WMSZ_BOTTOMRIGHT.
    static const long kDirection[9] = {8, 7, 3, 1, 0, 2, 5, 6, 4};
    XUngrabPointer(x.dpy, CurrentTime);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = s->win;
    e.xclient.message_type = x.atoms.netWmMoveresize;
    e.xclient.format = 32;
    e.xclient.data.l[0] = rx;
    e.xclient.data.l[1] = ry;
    e.xclient.data.l[2] = kDirection[edge];
    e.xclient.data.l[3] = 1; // the left button
    e.xclient.data.l[4] = 1; // from an application
    XSendEvent(x.dpy, x.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    return true;
}

} // namespace x11
} // namespace plat
