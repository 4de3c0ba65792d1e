// Waiting for X events (or a wake-up from any thread) and turning them into
// raw input for the window manager. Events are read in batches under the
// backend's lock and become a list of input calls made after it is let go.
// Within a batch, pointer motion is coalesced, a pointer that leaves one
// window for another does not count as leaving, and focus moving between
// the program's own windows is not a loss of focus.
#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

#include "plat/backend/input.h"
#include "plat/backend/x11/x11_internal.h"

#include <X11/extensions/Xfixes.h>

namespace plat {
namespace x11 {

void PendingGeometry::Requested(const Geometry& g, uint64_t nowMs) {
    q_.emplace_back(g, nowMs);
    // A window manager that answers nothing must not make the list grow.
    if (q_.size() > 64)
        q_.pop_front();
}

bool PendingGeometry::Confirm(const Geometry& g) {
    if (q_.empty())
        return true;
    for (size_t i = 0; i < q_.size(); ++i) {
        if (q_[i].first == g) {
            q_.erase(q_.begin(), q_.begin() + static_cast<long>(i) + 1);
            if (q_.empty())
                haveUnmatched_ = false;
            return false;
        }
    }
    haveUnmatched_ = true;
    unmatched_ = g;
    return false;
}

bool PendingGeometry::Expire(uint64_t nowMs, Geometry* g) {
    if (q_.empty() || nowMs - q_.back().second < kQuietMs)
        return false;
    q_.clear();
    if (!haveUnmatched_)
        return false;
    haveUnmatched_ = false;
    *g = unmatched_;
    return true;
}

namespace {

// One call into the window manager, made once the lock is let go.
struct Out {
    enum Kind {
        kMove,
        kButton,
        kWheel,
        kLeave,
        kKey,
        kFocus,
        kClose,
        kExpose,
        kConfigured,
        kChanged
    };
    explicit Out(Kind k) : kind(k) {}
    Kind kind;
    SurfaceId id = 0;
    int x = 0, y = 0;
    int button = 0;
    bool down = false;
    UINT vk = 0;
    bool hasText = false;
    std::wstring text;
    RECT rect{};
};

struct Batch {
    std::vector<Out> out;
    bool leavePending = false;
    SurfaceId focusIn = 0;
    bool focusOut = false;
    bool displayChanged = false;
};

constexpr unsigned kLeft = 1, kRight = 2, kMiddle = 4;

void Push(Batch& b, Out o) {
    b.out.push_back(std::move(o));
}

// Buttons the window manager believes held but the event says are up (a
// release the window manager's own move swallowed) are released first.
void SyncButtons(Batch& b, unsigned state) {
    auto& x = X();
    static const struct {
        unsigned bit;
        unsigned mask;
        int button;
    } kMap[] = {{kLeft, Button1Mask, InputButtonLeft},
                {kRight, Button3Mask, InputButtonRight},
                {kMiddle, Button2Mask, InputButtonMiddle}};
    for (const auto& m : kMap)
        if ((x.buttons & m.bit) && !(state & m.mask)) {
            x.buttons &= ~m.bit;
            Out o(Out::kButton);
            o.button = m.button;
            o.down = false;
            Push(b, o);
        }
}

void PushMove(Batch& b, int rx, int ry) {
    if (!b.out.empty() && b.out.back().kind == Out::kMove) {
        b.out.back().x = rx;
        b.out.back().y = ry;
        return;
    }
    Out o(Out::kMove);
    o.x = rx;
    o.y = ry;
    Push(b, o);
}

void OnButton(Batch& b, const XButtonEvent& e, bool press) {
    auto& x = X();
    // The state is from before the event: a released button is still in it.
    SyncButtons(b, e.state);
    PushMove(b, e.x_root, e.y_root);
    if (e.button == Button4 || e.button == Button5) {
        if (press) {
            Out o(Out::kWheel);
            o.x = e.button == Button4 ? 120 : -120;
            Push(b, o);
        }
        return;
    }
    unsigned bit;
    int button;
    switch (e.button) {
    case Button1:
        bit = kLeft;
        button = InputButtonLeft;
        break;
    case Button2:
        bit = kMiddle;
        button = InputButtonMiddle;
        break;
    case Button3:
        bit = kRight;
        button = InputButtonRight;
        break;
    default:
        return;
    }
    if (press == ((x.buttons & bit) != 0))
        return; // already known
    if (press)
        x.buttons |= bit;
    else
        x.buttons &= ~bit;
    Out o(Out::kButton);
    o.button = button;
    o.down = press;
    Push(b, o);
}

void OnKey(Batch& b, XKeyEvent& e, bool press) {
    KeySym effective = 0;
    char bytes[16] = {};
    int n = XLookupString(&e, bytes, sizeof bytes, &effective, nullptr);
    KeySym base = XLookupKeysym(&e, 0);
    UINT vk = VirtualKeyForKeysym(base, effective);
    bool ctrl = (e.state & ControlMask) != 0;
    unsigned char ctrlByte = (ctrl && n == 1 && static_cast<unsigned char>(bytes[0]) < 0x20)
                                 ? static_cast<unsigned char>(bytes[0])
                                 : 0;
    std::wstring text = press ? TextForKeysym(effective, ctrl, ctrlByte) : std::wstring();
    if (!vk) {
        // A key without a virtual-key code (a letter of another script)
        // still types its text.
        if (press && !text.empty()) {
            Out o(Out::kKey);
            o.vk = 0;
            o.text = text;
            o.hasText = true;
            Push(b, o);
        }
        return;
    }
    Out o(Out::kKey);
    o.vk = vk;
    o.down = press;
    o.hasText = press;
    o.text = text;
    Push(b, o);
}

Geometry RootGeometry(const XSurface& s, const XConfigureEvent& e) {
    auto& x = X();
    Geometry g{e.x, e.y, e.width, e.height};
    // A window manager's synthetic event is in root coordinates; the
    // server's own is relative to the parent, which may be a frame.
    if (!e.send_event && s.parent && s.parent != x.root) {
        Window child = 0;
        XTranslateCoordinates(x.dpy, s.win, x.root, 0, 0, &g.x, &g.y, &child);
    }
    return g;
}

// True when the display's focus now lies with one of the program's windows.
bool FocusIsOurs() {
    auto& x = X();
    Window w = 0;
    int revert = 0;
    XGetInputFocus(x.dpy, &w, &revert);
    return x.byWindow.count(w) != 0;
}

void Translate(Batch& b, XEvent& e) {
    auto& x = X();
    if (x.xfixes && e.type == x.xfixesEvent + XFixesSelectionNotify) {
        if (ReadCompositor())
            b.displayChanged = true;
        return;
    }
    if (e.xany.window == x.root) {
        if (e.type == PropertyNotify) {
            Atom a = e.xproperty.atom;
            if (a == x.atoms.netWorkarea || a == x.atoms.netCurrentDesktop)
                ReadWorkArea();
            if (a == x.atoms.netSupported || a == x.atoms.netSupportingWmCheck)
                ReadWindowManager();
        } else if (e.type == ConfigureNotify) {
            ReadWorkArea();
        }
        return;
    }
    if (e.type == MappingNotify) {
        XRefreshKeyboardMapping(&e.xmapping);
        return;
    }
    auto it = x.byWindow.find(e.xany.window);
    if (it == x.byWindow.end())
        return;
    SurfaceId id = it->second;
    XSurface* s = FindSurface(id);
    if (!s)
        return;
    switch (e.type) {
    case MotionNotify:
        SyncButtons(b, e.xmotion.state);
        PushMove(b, e.xmotion.x_root, e.xmotion.y_root);
        b.leavePending = false;
        break;
    case ButtonPress:
    case ButtonRelease:
        OnButton(b, e.xbutton, e.type == ButtonPress);
        b.leavePending = false;
        break;
    case EnterNotify:
        if (e.xcrossing.mode == NotifyGrab)
            break;
        SyncButtons(b, e.xcrossing.state);
        PushMove(b, e.xcrossing.x_root, e.xcrossing.y_root);
        b.leavePending = false;
        break;
    case LeaveNotify:
        if (e.xcrossing.mode == NotifyGrab || e.xcrossing.detail == NotifyInferior)
            break;
        SyncButtons(b, e.xcrossing.state);
        // With a button held the pointer still belongs to the window.
        if (!x.buttons)
            b.leavePending = true;
        break;
    case KeyPress:
    case KeyRelease:
        OnKey(b, e.xkey, e.type == KeyPress);
        break;
    case FocusIn:
        if (e.xfocus.mode == NotifyGrab || e.xfocus.mode == NotifyUngrab ||
            e.xfocus.detail == NotifyPointer || e.xfocus.detail == NotifyInferior)
            break;
        b.focusIn = id;
        b.focusOut = false;
        break;
    case FocusOut:
        if (e.xfocus.mode == NotifyGrab || e.xfocus.mode == NotifyUngrab ||
            e.xfocus.detail == NotifyPointer || e.xfocus.detail == NotifyInferior)
            break;
        if (b.focusIn == id)
            b.focusIn = 0;
        b.focusOut = true;
        break;
    case Expose: {
        RECT r{e.xexpose.x, e.xexpose.y, e.xexpose.x + e.xexpose.width,
               e.xexpose.y + e.xexpose.height};
        // One expose per surface and batch, covering all its parts.
        for (Out& o : b.out)
            if (o.kind == Out::kExpose && o.id == id) {
                o.rect = RECT{std::min(o.rect.left, r.left), std::min(o.rect.top, r.top),
                              std::max(o.rect.right, r.right), std::max(o.rect.bottom, r.bottom)};
                return;
            }
        Out o(Out::kExpose);
        o.id = id;
        o.rect = r;
        Push(b, o);
        break;
    }
    case ConfigureNotify: {
        Geometry g = RootGeometry(*s, e.xconfigure);
        if (s->pending.Confirm(g) && g != s->geo) {
            s->geo = g;
            Out o(Out::kConfigured);
            o.id = id;
            o.rect = RECT{g.x, g.y, g.x + g.w, g.y + g.h};
            Push(b, o);
        }
        break;
    }
    case MapNotify:
        s->mapped = true;
        if (x.wantFocus == id) {
            x.wantFocus = 0;
            FocusNow(*s);
        }
        break;
    case UnmapNotify:
        s->mapped = false;
        break;
    case ReparentNotify:
        s->parent = e.xreparent.parent;
        break;
    case ClientMessage:
        if (e.xclient.message_type == x.atoms.wmProtocols &&
            static_cast<Atom>(e.xclient.data.l[0]) == x.atoms.wmDeleteWindow) {
            Out o(Out::kClose);
            o.id = id;
            Push(b, o);
        }
        break;
    default:
        break;
    }
}

void FinishBatch(Batch& b) {
    auto& x = X();
    if (b.focusIn) {
        if (b.focusIn != x.focused) {
            x.focused = b.focusIn;
            Out o(Out::kFocus);
            o.id = b.focusIn;
            o.down = true;
            Push(b, o);
        }
    } else if (b.focusOut && x.focused && !FocusIsOurs()) {
        Out o(Out::kFocus);
        o.id = x.focused;
        o.down = false;
        x.focused = 0;
        Push(b, o);
    }
    if (b.leavePending) {
        Push(b, Out(Out::kLeave));
        b.leavePending = false;
    }
    uint64_t now = NowMs();
    for (auto& [id, s] : x.surfaces) {
        Geometry g;
        if (s.pending.Expire(now, &g) && g != s.geo) {
            s.geo = g;
            Out o(Out::kConfigured);
            o.id = id;
            o.rect = RECT{g.x, g.y, g.x + g.w, g.y + g.h};
            Push(b, o);
        }
    }
    if (b.displayChanged) {
        for (auto& [id, s] : x.surfaces)
            ApplyShape(s);
        Push(b, Out(Out::kChanged));
    }
}

void Deliver(const std::vector<Out>& out) {
    for (const Out& o : out) {
        switch (o.kind) {
        case Out::kMove:
            input_mouse_move(o.x, o.y);
            break;
        case Out::kButton:
            input_mouse_button(o.button, o.down);
            break;
        case Out::kWheel:
            input_wheel(o.x);
            break;
        case Out::kLeave:
            input_mouse_leave();
            break;
        case Out::kKey:
            if (o.vk)
                input_key(o.vk, o.down, o.hasText ? o.text.c_str() : nullptr);
            else
                input_text(o.text.c_str());
            break;
        case Out::kFocus:
            input_surface_focus(o.id, o.down);
            break;
        case Out::kClose:
            input_surface_close(o.id);
            break;
        case Out::kExpose:
            input_surface_expose(o.id, o.rect);
            break;
        case Out::kConfigured:
            input_surface_configured(o.id, o.rect);
            break;
        case Out::kChanged:
            input_display_changed();
            break;
        }
    }
}

bool AnyPending() {
    for (auto& [id, s] : X().surfaces)
        if (!s.pending.Empty())
            return true;
    return false;
}

} // namespace

void WakeFromAnyThread() {
    Wake();
}

void WaitEvents(int timeoutMs) {
    auto& x = X();
    uint64_t start = NowMs();
    for (;;) {
        std::vector<Out> out;
        bool pending;
        {
            Locked l;
            Batch b;
            // XPending flushes, and reads what the server has sent without
            // blocking; a dead connection ends the program in OnIOError.
            while (XPending(x.dpy) > 0) {
                XEvent e;
                XNextEvent(x.dpy, &e);
                Translate(b, e);
            }
            FinishBatch(b);
            out = std::move(b.out);
            pending = AnyPending();
        }
        if (!out.empty()) {
            Deliver(out);
            return;
        }
        int wait = -1;
        if (timeoutMs >= 0) {
            uint64_t spent = NowMs() - start;
            if (spent >= static_cast<uint64_t>(timeoutMs))
                return;
            wait = static_cast<int>(static_cast<uint64_t>(timeoutMs) - spent);
        }
        // Unanswered geometry requests are looked at again after a while.
        if (pending && (wait < 0 || wait > static_cast<int>(PendingGeometry::kQuietMs)))
            wait = static_cast<int>(PendingGeometry::kQuietMs);
        pollfd fds[2] = {{ConnectionNumber(x.dpy), POLLIN, 0}, {x.wakeRead, POLLIN, 0}};
        int r = poll(fds, 2, wait);
        if (r < 0 && errno != EINTR)
            return;
        if (fds[1].revents & POLLIN) {
            char buf[64];
            while (read(x.wakeRead, buf, sizeof buf) > 0) {
            }
            return;
        }
        if (r == 0 && !pending)
            return; // the time-out
    }
}

} // namespace x11
} // namespace plat
