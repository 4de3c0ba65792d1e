// The X11 test harness (x11_session.h). It opens a short-lived connection
// of its own for each question it asks the server, so that a server that
// goes away never takes the test process with it.
#include "tests/x11/x11_session.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <thread>
#include <unistd.h>

#include <cairo.h>
#include <stb_image.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace x11test {

namespace {

// A connection for one question; the server's errors are no reason to
// stop the test (a window may vanish while it is looked at).
class Conn {
public:
    explicit Conn(const std::string& display) {
        static bool handler = [] {
            XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
            return true;
        }();
        (void)handler;
        dpy_ = XOpenDisplay(display.c_str());
    }
    ~Conn() {
        if (dpy_)
            XCloseDisplay(dpy_);
    }
    Conn(const Conn&) = delete;
    Conn& operator=(const Conn&) = delete;
    ::Display* operator*() const { return dpy_; }
    explicit operator bool() const { return dpy_ != nullptr; }

private:
    ::Display* dpy_ = nullptr;
};

std::string TitleOf(::Display* d, Window w) {
    Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    for (Atom prop : {netName, static_cast<Atom>(XA_WM_NAME)}) {
        Atom type = 0;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, w, prop, 0, 1024, False, prop == netName ? utf8 : AnyPropertyType,
                               &type, &format, &n, &after, &data) == Success &&
            data) {
            std::string t(reinterpret_cast<char*>(data), n);
            XFree(data);
            if (format == 8)
                return t;
        }
    }
    return "";
}

bool Viewable(::Display* d, Window w) {
    XWindowAttributes a{};
    return XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
}

bool HasProperty(::Display* d, Window w, Atom property) {
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    bool has = XGetWindowProperty(d, w, property, 0, 0, False, AnyPropertyType, &type, &format, &n,
                                  &after, &data) == Success &&
               type != None;
    if (data)
        XFree(data);
    return has;
}

// The client window inside a top-level window, found as window-manager
// aware tools find it: the window itself when it carries WM_STATE (the
// window manager sets it on every window it manages), else the first
// descendant that does, at any depth (a window manager may put a client
// several frames deep). Without one (no window manager, or an
// override-redirect window) the top-level window is the client.
Window ClientOf(::Display* d, Window top, Atom wmState) {
    std::vector<Window> level{top};
    while (!level.empty()) {
        std::vector<Window> next;
        for (Window w : level) {
            if (HasProperty(d, w, wmState))
                return w;
            Window root = 0, parent = 0, *kids = nullptr;
            unsigned n = 0;
            if (XQueryTree(d, w, &root, &parent, &kids, &n) && kids) {
                next.insert(next.end(), kids, kids + n);
                XFree(kids);
            }
        }
        level = std::move(next);
    }
    return top;
}

// The viewable client window titled `title`, the topmost first; 0 when
// there is none.
Window FindByTitle(::Display* d, const std::string& title) {
    Atom wmState = XInternAtom(d, "WM_STATE", False);
    Window root = 0, parent = 0, *tops = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &tops, &n))
        return 0;
    Window found = 0;
    for (unsigned i = n; i-- > 0 && !found;) {
        Window client = ClientOf(d, tops[i], wmState);
        if (TitleOf(d, client) == title && Viewable(d, client))
            found = client;
    }
    if (tops)
        XFree(tops);
    return found;
}

// The windows the window manager lists as its clients.
std::vector<Window> ManagedClients(::Display* d) {
    std::vector<Window> out;
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_CLIENT_LIST", False), 0,
                           4096, False, XA_WINDOW, &type, &format, &n, &after, &data) == Success &&
        data) {
        if (format == 32)
            out.assign(reinterpret_cast<unsigned long*>(data),
                       reinterpret_cast<unsigned long*>(data) + n);
        XFree(data);
    }
    return out;
}

bool RectOf(::Display* d, Window w, RECT* out) {
    XWindowAttributes a{};
    if (!XGetWindowAttributes(d, w, &a))
        return false;
    int x = 0, y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(d, w, a.root, 0, 0, &x, &y, &child))
        return false;
    *out = RECT{x, y, x + a.width, y + a.height};
    return true;
}

bool ReadLineWithin(int fd, std::string* line, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto nl = line->find('\n');
        if (nl != std::string::npos) {
            line->resize(nl);
            return true;
        }
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        deadline - std::chrono::steady_clock::now())
                                        .count());
        if (left <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, left) <= 0)
            return false;
        char buf[64];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            return false;
        line->append(buf, static_cast<size_t>(n));
    }
}

} // namespace

Image Image::Crop(int x, int y, int w, int h) const {
    Image out;
    out.width = w;
    out.height = h;
    out.px.resize(static_cast<size_t>(w) * h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            out.px[static_cast<size_t>(j) * w + i] = At(x + i, y + j);
    return out;
}

Image LoadPng(const std::string& path) {
    Image img;
    int n = 0;
    unsigned char* p = stbi_load(path.c_str(), &img.width, &img.height, &n, 4);
    if (!p)
        return Image{};
    img.px.resize(static_cast<size_t>(img.width) * img.height);
    for (size_t i = 0; i < img.px.size(); ++i) {
        uint32_t r = p[i * 4], g = p[i * 4 + 1], b = p[i * 4 + 2], a = p[i * 4 + 3];
        auto pm = [a](uint32_t c) { return (c * a + 127) / 255; };
        img.px[i] = (a << 24) | (pm(r) << 16) | (pm(g) << 8) | pm(b);
    }
    stbi_image_free(p);
    return img;
}

bool SavePng(const Image& img, const std::string& path) {
    if (img.width <= 0 || img.height <= 0)
        return false;
    std::vector<uint32_t> copy = img.px;
    cairo_surface_t* s = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(copy.data()), CAIRO_FORMAT_ARGB32, img.width, img.height,
        img.width * 4);
    bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

long CountDifferences(const Image& a, const Image& b, int* firstX, int* firstY) {
    if (a.width != b.width || a.height != b.height)
        return -1;
    long n = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if ((a.At(x, y) & 0xFFFFFF) != (b.At(x, y) & 0xFFFFFF)) {
                if (n++ == 0) {
                    if (firstX)
                        *firstX = x;
                    if (firstY)
                        *firstY = y;
                }
            }
    return n;
}

XSession::XSession() = default;

XSession::~XSession() {
    windowManager_.Stop(1000);
    compositor_.Stop(1000);
    server_.Stop(2000);
}

bool XSession::WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool XSession::Start(const SessionOptions& o) {
    // The server picks a free display itself and writes its number to the
    // pipe once it accepts connections.
    int fds[2];
    if (pipe(fds) != 0) {
        error_ = "pipe failed";
        return false;
    }
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    std::string screen = std::to_string(o.width) + "x" + std::to_string(o.height) + "x24";
    bool started = server_.Start("/usr/bin/Xvfb",
                                 {"-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                                  "-nolisten", "tcp", "-noreset", "-br", "+extension", "Composite"},
                                 {}, {}, dir_ / "xvfb.out", dir_ / "xvfb.err");
    close(fds[1]);
    std::string number;
    bool ready = started && ReadLineWithin(fds[0], &number, 10000) && !number.empty();
    close(fds[0]);
    if (!ready) {
        error_ = "Xvfb did not start: " + testutil::ReadAll(dir_ / "xvfb.err");
        return false;
    }
    display_ = ":" + number;
    if (!SetRootColor(o.rootColor)) {
        error_ = "cannot set the root colour";
        return false;
    }
    if (o.compositor &&
        !StartHelper(
            compositor_, "/usr/bin/xcompmgr", {},
            [this] {
                Conn c(display_);
                return c && XGetSelectionOwner(*c, XInternAtom(*c, "_NET_WM_CM_S0", False)) != None;
            },
            "xcompmgr"))
        return false;
    if (o.windowManager && !StartHelper(
                               windowManager_, "/usr/bin/openbox", {"--sm-disable"},
                               [this] {
                                   Conn c(display_);
                                   if (!c)
                                       return false;
                                   std::vector<long> check =
                                       Cardinals(DefaultRootWindow(*c), "_NET_SUPPORTING_WM_CHECK");
                                   return !check.empty() &&
                                          Cardinals(static_cast<unsigned long>(check[0]),
                                                    "_NET_SUPPORTING_WM_CHECK") == check;
                               },
                               "openbox"))
        return false;
    if (o.windowManager && !WaitUntilWindowsAreManaged())
        return false;
    return true;
}

bool XSession::WaitUntilWindowsAreManaged() {
    // The window manager names itself on the root before it takes map
    // requests: a program window mapped in between is never managed, so it
    // is never shown. A window of the harness's own is mapped until the
    // manager lists it as a client; one that went unnoticed is replaced.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        Conn c(display_);
        if (!c)
            break;
        Window w = XCreateSimpleWindow(*c, DefaultRootWindow(*c), 0, 0, 1, 1, 0, 0, 0);
        XMapWindow(*c, w);
        XSync(*c, False);
        auto listed = [&](Window which) {
            std::vector<Window> clients = ManagedClients(*c);
            return std::find(clients.begin(), clients.end(), which) != clients.end();
        };
        bool managed = WaitUntil([&] { return listed(w); }, 2000);
        XDestroyWindow(*c, w);
        XSync(*c, False);
        // Gone from the list again before any program of the test starts.
        if (managed) {
            if (WaitUntil([&] { return !listed(w); }, 5000))
                return true;
            error_ = "openbox still lists a destroyed window";
            return false;
        }
    }
    error_ = "openbox did not start managing windows";
    return false;
}

bool XSession::StartHelper(testutil::ChildProcess& p, const std::string& exe,
                           const std::vector<std::string>& args, const std::function<bool()>& ready,
                           const char* what) {
    std::string out = dir_ / (std::string(what) + ".out");
    std::string err = dir_ / (std::string(what) + ".err");
    if (!p.Start(exe, args, {"DISPLAY=" + display_, "HOME=" + dir_.Path()}, {}, out, err)) {
        error_ = std::string("cannot start ") + what;
        return false;
    }
    if (!WaitUntil([&] { return ready() || !p.Running(); }, 10000) || !p.Running()) {
        error_ = std::string(what) + " did not start: " + testutil::ReadAll(err);
        return false;
    }
    return true;
}

bool XSession::SetRootColor(uint32_t rgb) {
    Conn c(display_);
    if (!c)
        return false;
    ::Display* d = *c;
    Window root = DefaultRootWindow(d);
    // A one-pixel pixmap as the root's background, and named in the
    // properties a compositing manager paints the background from.
    Pixmap pm = XCreatePixmap(d, root, 1, 1, static_cast<unsigned>(DefaultDepth(d, 0)));
    GC gc = XCreateGC(d, pm, 0, nullptr);
    XSetForeground(d, gc, rgb);
    XFillRectangle(d, pm, gc, 0, 0, 1, 1);
    XFreeGC(d, gc);
    XSetWindowBackgroundPixmap(d, root, pm);
    XClearWindow(d, root);
    for (const char* name : {"_XROOTPMAP_ID", "_XSETROOT_ID"}) {
        Atom a = XInternAtom(d, name, False);
        XChangeProperty(d, root, a, XA_PIXMAP, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&pm), 1);
    }
    XSetCloseDownMode(d, RetainPermanent);
    XSync(d, False);
    return true;
}

void XSession::KillServer() {
    server_.Kill();
}

bool XSession::Run(testutil::ChildProcess& p, const std::string& exe,
                   const std::vector<std::string>& args, const std::vector<std::string>& env) {
    int n = runs_++;
    std::vector<std::string> set{"DISPLAY=" + display_, "PLAT_BACKEND=x11"};
    set.insert(set.end(), env.begin(), env.end());
    outputs_.emplace_back(&p, n);
    return p.Start(exe, args, set, {"PLAT_AUTOMATION"}, dir_ / ("run" + std::to_string(n) + ".out"),
                   dir_ / ("run" + std::to_string(n) + ".err"));
}

std::string XSession::Output(const testutil::ChildProcess& p) const {
    for (auto& [who, n] : outputs_)
        if (who == &p)
            return testutil::ReadAll(dir_ / ("run" + std::to_string(n) + ".out"));
    return "";
}

std::string XSession::Errors(const testutil::ChildProcess& p) const {
    for (auto& [who, n] : outputs_)
        if (who == &p)
            return testutil::ReadAll(dir_ / ("run" + std::to_string(n) + ".err"));
    return "";
}

bool XSession::WaitForLine(const testutil::ChildProcess& p, const std::string& line,
                           int timeoutMs) const {
    return WaitUntil(
        [&] {
            std::istringstream in(Output(p));
            std::string l;
            while (std::getline(in, l))
                if (l == line)
                    return true;
            return false;
        },
        timeoutMs);
}

bool XSession::WaitForWindow(const std::string& title, XWindow* out, int timeoutMs) {
    return WaitUntil(
        [&] {
            Conn c(display_);
            if (!c)
                return false;
            Window w = FindByTitle(*c, title);
            if (!w || !RectOf(*c, w, &out->rect))
                return false;
            out->id = w;
            out->title = title;
            return true;
        },
        timeoutMs);
}

bool XSession::WaitForFocus(unsigned long id, int timeoutMs) {
    return WaitUntil(
        [&] {
            Conn c(display_);
            Window w = 0;
            int revert = 0;
            return c && XGetInputFocus(*c, &w, &revert) && w == id;
        },
        timeoutMs);
}

bool XSession::WindowRect(unsigned long id, RECT* out) {
    Conn c(display_);
    return c && RectOf(*c, id, out);
}

bool XSession::ClickUntilWindow(const XWindow& owner, int dx, int dy, const std::string& title,
                                XWindow* out) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        RECT now{};
        if (!WindowRect(owner.id, &now) ||
            !Xdo({"mousemove", std::to_string(now.left + dx), std::to_string(now.top + dy), "click",
                  "1", "mousemove", "0", "0"}))
            return false;
        if (WaitUntil([&] { return WaitForWindow(title, out, 200) && out->id != owner.id; }, 4000))
            return true;
    }
    return false;
}

bool XSession::WindowShown(unsigned long id) {
    Conn c(display_);
    return c && Viewable(*c, id);
}

std::vector<long> XSession::Cardinals(unsigned long id, const char* property) {
    std::vector<long> out;
    Conn c(display_);
    if (!c)
        return out;
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(*c, id, XInternAtom(*c, property, False), 0, 1024, False,
                           AnyPropertyType, &type, &format, &n, &after, &data) == Success &&
        data) {
        if (format == 32)
            out.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + n);
        XFree(data);
    }
    return out;
}

std::vector<std::string> XSession::AtomNames(unsigned long id, const char* property) {
    std::vector<std::string> out;
    std::vector<long> atoms = Cardinals(id, property);
    Conn c(display_);
    if (!c)
        return out;
    for (long a : atoms)
        if (char* name = XGetAtomName(*c, static_cast<Atom>(a))) {
            out.emplace_back(name);
            XFree(name);
        }
    return out;
}

unsigned long XSession::TransientFor(unsigned long id) {
    Conn c(display_);
    Window owner = 0;
    if (!c || !XGetTransientForHint(*c, id, &owner))
        return 0;
    return owner;
}

bool XSession::MapKeysyms(const std::vector<std::string>& names) {
    Conn c(display_);
    if (!c)
        return false;
    ::Display* d = *c;
    int minCode = 0, maxCode = 0, perCode = 0;
    XDisplayKeycodes(d, &minCode, &maxCode);
    KeySym* map =
        XGetKeyboardMapping(d, static_cast<KeyCode>(minCode), maxCode - minCode + 1, &perCode);
    if (!map)
        return false;
    size_t next = 0;
    for (int code = maxCode; code >= minCode && next < names.size(); --code) {
        bool unused = true;
        for (int i = 0; i < perCode; ++i)
            unused = unused && map[(code - minCode) * perCode + i] == NoSymbol;
        if (!unused)
            continue;
        KeySym sym = XStringToKeysym(names[next++].c_str());
        if (sym == NoSymbol) {
            XFree(map);
            return false;
        }
        XChangeKeyboardMapping(d, code, 1, &sym, 1);
    }
    XFree(map);
    XSync(d, False);
    return next == names.size();
}

bool XSession::Xdo(const std::vector<std::string>& args, int timeoutMs) {
    testutil::ChildProcess p;
    if (!p.Start("/usr/bin/xdotool", args, {"DISPLAY=" + display_}))
        return false;
    return p.Wait(timeoutMs) == 0;
}

Image XSession::Capture() {
    Image img;
    Conn c(display_);
    if (!c)
        return img;
    ::Display* d = *c;
    Window root = DefaultRootWindow(d);
    XWindowAttributes a{};
    XGetWindowAttributes(d, root, &a);
    XImage* xi = XGetImage(d, root, 0, 0, static_cast<unsigned>(a.width),
                           static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
    if (!xi)
        return img;
    img.width = a.width;
    img.height = a.height;
    img.px.resize(static_cast<size_t>(img.width) * img.height);
    bool direct = xi->bits_per_pixel == 32 && xi->byte_order == LSBFirst &&
                  xi->red_mask == 0xFF0000 && xi->green_mask == 0xFF00 && xi->blue_mask == 0xFF;
    for (int y = 0; y < img.height; ++y) {
        uint32_t* out = img.px.data() + static_cast<size_t>(y) * img.width;
        const auto* row = reinterpret_cast<const uint32_t*>(xi->data + static_cast<size_t>(y) *
                                                                           xi->bytes_per_line);
        for (int x = 0; x < img.width; ++x)
            out[x] = 0xFF000000u | (direct ? row[x] & 0xFFFFFF
                                           : static_cast<uint32_t>(XGetPixel(xi, x, y) & 0xFFFFFF));
    }
    XDestroyImage(xi);
    return img;
}

bool XSession::WaitForPixel(int x, int y, uint32_t argb, Image* shot, int timeoutMs) {
    Image last;
    bool ok = WaitUntil(
        [&] {
            last = Capture();
            if (last.At(x, y) == argb)
                return true;
            // A capture is a whole screen: no need to take them back to back.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return false;
        },
        timeoutMs);
    if (shot)
        *shot = std::move(last);
    return ok;
}

bool HeadlessRun::Start(const std::string& exe, const std::vector<std::string>& args) {
    std::string sock = dir_ / "auto.sock";
    if (!process_.Start(exe, args, {"PLAT_AUTOMATION=" + sock, "PLAT_BACKEND=headless"},
                        {"DISPLAY"}, dir_ / "out.txt", dir_ / "err.txt"))
        return false;
    return client_.Connect(sock, 10000);
}

std::string HeadlessRun::WaitForClass(const std::string& cls) {
    std::string reply = Ask("wait class " + cls + " 10000");
    return reply.rfind("ok ", 0) == 0 ? reply.substr(3) : "";
}

bool HeadlessRun::WindowRect(const std::string& hwnd, RECT* out) {
    std::string reply = Ask("list");
    if (reply.rfind("ok ", 0) != 0)
        return false;
    int n = std::stoi(reply.substr(3));
    bool found = false;
    for (int i = 0; i < n; ++i) {
        std::string line = client_.ReadLine();
        auto at = line.find("rect=");
        if (line.rfind(hwnd + " ", 0) == 0 && at != std::string::npos) {
            long l, t, r, b;
            if (std::sscanf(line.c_str() + at, "rect=%ld,%ld,%ld,%ld", &l, &t, &r, &b) == 4) {
                *out = RECT{static_cast<LONG>(l), static_cast<LONG>(t), static_cast<LONG>(r),
                            static_cast<LONG>(b)};
                found = true;
            }
        }
    }
    return found;
}

Image HeadlessRun::CaptureScreen() {
    std::string path = dir_ / ("screen" + std::to_string(shots_++) + ".png");
    if (Ask("screenshot " + path) != "ok")
        return Image{};
    return LoadPng(path);
}

Image HeadlessRun::CaptureWindow(const std::string& hwnd) {
    std::string path = dir_ / ("window" + std::to_string(shots_++) + ".png");
    if (Ask("screenshot " + path + " " + hwnd) != "ok")
        return Image{};
    return LoadPng(path);
}

} // namespace x11test
