// Programs on a real X server (Xvfb) with the X11 backend, driven with
// xdotool and compared with the same programs on the headless backend.
#include <gtest/gtest.h>

#include "tests/x11/x11_session.h"

using testutil::ChildProcess;
using x11test::HeadlessRun;
using x11test::Image;
using x11test::RECT;
using x11test::XSession;
using x11test::XWindow;

namespace {

constexpr uint32_t kRoot = 0xFF2B5797; // the root colour the sessions set
constexpr uint32_t kBody = 0xFFE6E6E6; // the probe's window body
constexpr uint32_t kBand = 0xFF285AC8; // the probe's caption band

std::string Str(int v) {
    return std::to_string(v);
}

std::string Describe(const RECT& r) {
    return Str(r.left) + "," + Str(r.top) + "," + Str(r.right) + "," + Str(r.bottom);
}

// Saves both pictures next to the test when they differ, for a look.
void Keep(const Image& a, const Image& b, const std::string& name) {
    x11test::SavePng(a, name + "_x11.png");
    x11test::SavePng(b, name + "_headless.png");
}

// Polls the headless program's screen pixel until it has that value.
bool WaitForHeadlessPixel(HeadlessRun& h, int x, int y, const std::string& value) {
    return XSession::WaitUntil(
        [&] { return h.Ask("pixel " + Str(x) + " " + Str(y)) == "ok " + value; }, 15000);
}

TEST(X11Example, SameStateGivesTheSamePixelsAsHeadless) {
    XSession x;
    ASSERT_TRUE(x.Start()) << x.Error();
    ChildProcess p;
    ASSERT_TRUE(x.Run(p, WINEXAMPLE_PATH, {}));
    XWindow w;
    ASSERT_TRUE(x.WaitForWindow("Win Example", &w)) << x.Errors(p);
    // Centred on the work area, which is the whole 1920 x 1080 screen when
    // no window manager says otherwise.
    EXPECT_EQ(Describe(w.rect), "760,390,1160,690");
    ASSERT_TRUE(x.Xdo({"mousemove", Str(w.rect.left + 40), Str(w.rect.top + 30), "click", "1"}));
    ASSERT_TRUE(x.Xdo({"key", "b"}));
    // The timer fills the bar; then the picture stays as it is.
    Image shot;
    ASSERT_TRUE(XSession::WaitUntil(
        [&] {
            shot = x.Capture();
            return shot.At(w.rect.right - 2, w.rect.top + 2) == 0xFF147828 &&
                   shot.At(w.rect.left + 40, w.rect.top + 30) == 0xFFDC1E1E &&
                   shot.At(w.rect.left + 100, w.rect.top + 100) == 0xFF285AC8;
        },
        15000))
        << x.Errors(p);
    Image mine = shot.Crop(w.rect.left, w.rect.top, 400, 300);

    HeadlessRun h;
    ASSERT_TRUE(h.Start(WINEXAMPLE_PATH, {}));
    std::string hwnd = h.WaitForClass("WinExample");
    ASSERT_FALSE(hwnd.empty());
    RECT hr;
    ASSERT_TRUE(h.WindowRect(hwnd, &hr));
    EXPECT_EQ(h.Ask("click " + Str(hr.left + 40) + " " + Str(hr.top + 30)), "ok");
    EXPECT_EQ(h.Ask("key b"), "ok");
    ASSERT_TRUE(WaitForHeadlessPixel(h, hr.right - 2, hr.top + 2, "FF147828"));
    Image theirs = h.CaptureWindow(hwnd);
    int fx = 0, fy = 0;
    long diff = x11test::CountDifferences(mine, theirs, &fx, &fy);
    if (diff != 0)
        Keep(mine, theirs, "winexample");
    EXPECT_EQ(diff, 0) << "first difference at " << fx << "," << fy;

    // Escape closes the window and the program ends by itself.
    ASSERT_TRUE(x.Xdo({"key", "Escape"}));
    EXPECT_EQ(p.Wait(10000), 0) << x.Errors(p);
}

TEST(X11Region, ClipsWhatIsShownAndTheRootShowsOutside) {
    XSession x;
    ASSERT_TRUE(x.Start()) << x.Error();
    ChildProcess p;
    ASSERT_TRUE(x.Run(p, X11PROBE_PATH, {"--region", "--at", "300,200"}));
    XWindow w;
    ASSERT_TRUE(x.WaitForWindow("probe", &w)) << x.Errors(p);
    Image shot;
    ASSERT_TRUE(x.WaitForPixel(500, 350, kBody, &shot));
    Image mine = shot.Crop(300, 200, 400, 300);
    // The corners lie outside the round rectangle: the root shows there.
    EXPECT_EQ(mine.At(0, 0), kRoot);
    EXPECT_EQ(mine.At(399, 299), kRoot);
    EXPECT_EQ(mine.At(200, 10), kBand);

    HeadlessRun h;
    ASSERT_TRUE(h.Start(X11PROBE_PATH, {"--region", "--at", "300,200"}));
    std::string hwnd = h.WaitForClass("X11Probe");
    ASSERT_FALSE(hwnd.empty());
    Image theirs = h.CaptureWindow(hwnd);
    ASSERT_EQ(theirs.width, 400);
    // Inside the region the same pixels; outside it the root's.
    long inside = 0, wrong = 0;
    for (int y = 0; y < 300; ++y)
        for (int xx = 0; xx < 400; ++xx) {
            uint32_t t = theirs.At(xx, y);
            bool in = (t >> 24) == 0xFF;
            inside += in;
            if ((in ? (t & 0xFFFFFF) : (kRoot & 0xFFFFFF)) != (mine.At(xx, y) & 0xFFFFFF))
                ++wrong;
        }
    EXPECT_GT(inside, 100000);
    EXPECT_LT(inside, 400 * 300);
    if (wrong)
        Keep(mine, theirs, "region");
    EXPECT_EQ(wrong, 0);
}

TEST(X11Shadow, FalloffOverTheRootMatchesHeadlessUnderACompositor) {
    XSession x;
    x11test::SessionOptions o;
    o.compositor = true;
    ASSERT_TRUE(x.Start(o)) << x.Error();
    ChildProcess p;
    ASSERT_TRUE(x.Run(p, X11PROBE_PATH, {"--shadow", "--at", "300,200"}));
    XWindow w;
    ASSERT_TRUE(x.WaitForWindow("probe", &w)) << x.Errors(p);
    // The shadow's margin, five pixels around the window.
    Image shot;
    ASSERT_TRUE(XSession::WaitUntil(
        [&] {
            shot = x.Capture();
            return shot.At(299, 350) != kRoot && shot.At(500, 350) == kBody;
        },
        10000))
        << x.Errors(p);
    Image mine = shot.Crop(295, 195, 410, 310);

    HeadlessRun h;
    ASSERT_TRUE(h.Start(X11PROBE_PATH, {"--shadow", "--at", "300,200"}));
    ASSERT_FALSE(h.WaitForClass("X11Probe").empty());
    ASSERT_TRUE(WaitForHeadlessPixel(h, 500, 350, "FFE6E6E6"));
    Image theirs = h.CaptureScreen().Crop(295, 195, 410, 310);
    // The falloff itself: one pixel outside the edge is darker than the
    // root, five pixels out barely.
    EXPECT_NE(theirs.At(4, 150), kRoot);
    int fx = 0, fy = 0;
    long diff = x11test::CountDifferences(mine, theirs, &fx, &fy);
    if (diff)
        Keep(mine, theirs, "shadow");
    EXPECT_EQ(diff, 0) << "first difference at " << fx << "," << fy << ": x11 " << std::hex
                       << mine.At(fx, fy) << " headless " << theirs.At(fx, fy);
}

TEST(X11Shadow, NotShownWithoutACompositor) {
    XSession x;
    ASSERT_TRUE(x.Start()) << x.Error();
    ChildProcess p;
    ASSERT_TRUE(x.Run(p, X11PROBE_PATH, {"--shadow", "--at", "300,200"}));
    XWindow w;
    ASSERT_TRUE(x.WaitForWindow("probe", &w)) << x.Errors(p);
    Image shot;
    ASSERT_TRUE(x.WaitForPixel(500, 350, kBody, &shot));
    // Not a dark blot around the window: the root, all the way to its edge.
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(shot.At(300 - i, 350), kRoot) << i;
        EXPECT_EQ(shot.At(500, 500 + i - 1), kRoot) << i;
    }
    EXPECT_EQ(shot.At(300, 350), kBody);
}

TEST(X11Layered, PerPixelAlphaWithAndWithoutACompositor) {
    // Without one: the pixels of at least half opacity show, in their own
    // colours; the others show the root.
    {
        XSession x;
        ASSERT_TRUE(x.Start()) << x.Error();
        ChildProcess p;
        ASSERT_TRUE(x.Run(p, X11PROBE_PATH, {"--layered", "--at", "300,200"}));
        Image shot;
        ASSERT_TRUE(x.WaitForPixel(350, 350, 0xFF008000, &shot)) << x.Errors(p);
        EXPECT_EQ(shot.At(500, 350), 0xFFFF0000);
        EXPECT_EQ(shot.At(650, 350), kRoot);
    }
    // With one: alpha blends over the root as on the headless screen.
    XSession x;
    x11test::SessionOptions o;
    o.compositor = true;
    ASSERT_TRUE(x.Start(o)) << x.Error();
    ChildProcess p;
    ASSERT_TRUE(x.Run(p, X11PROBE_PATH, {"--layered", "--at", "300,200"}));
    Image shot;
    ASSERT_TRUE(x.WaitForPixel(350, 350, 0xFF008000, &shot)) << x.Errors(p);
    HeadlessRun h;
    ASSERT_TRUE(h.Start(X11PROBE_PATH, {"--layered", "--at", "300,200"}));
    ASSERT_FALSE(h.WaitForClass("X11Probe").empty());
    ASSERT_TRUE(WaitForHeadlessPixel(h, 350, 350, "FF008000"));
    Image theirs = h.CaptureScreen().Crop(300, 200, 400, 300);
    Image mine = shot.Crop(300, 200, 400, 300);
    EXPECT_NE(mine.At(350, 150), kRoot);
    int fx = 0, fy = 0;
    long diff = x11test::CountDifferences(mine, theirs, &fx, &fy);
    if (diff)
        Keep(mine, theirs, "layered");
    EXPECT_EQ(diff, 0) << "first difference at " << fx << "," << fy;
}

// Presses in the caption band and moves the pointer by (dx, dy) with the
// button held, until the window has followed; then lets go.
void DragCaption(XSession& x, const ChildProcess& p, const XWindow& w, int dx, int dy) {
    int sx = w.rect.left + 200, sy = w.rect.top + 20;
    ASSERT_TRUE(x.Xdo({"mousemove", Str(sx), Str(sy)}));
    ASSERT_TRUE(x.Xdo({"mousedown", "1"}));
    ASSERT_TRUE(x.WaitForLine(p, "syscommand F010")) << x.Output(p);
    RECT want{w.rect.left + dx, w.rect.top + dy, w.rect.right + dx, w.rect.bottom + dy};
    bool moved = XSession::WaitUntil(
        [&] {
            // A window manager that takes over the drag may miss a motion
            // that comes before it holds the pointer: move again.
            x.Xdo({"mousemove", Str(sx + dx + 1), Str(sy + dy)});
            x.Xdo({"mousemove", Str(sx + dx), Str(sy + dy)});
            RECT r;
            return XSession::WaitUntil(
                [&] { return x.WindowRect(w.id, &r) && Describe(r) == Describe(want); }, 300);
        },
        15000);
    ASSERT_TRUE(x.Xdo({"mouseup", "1"}));
    RECT r{};
    x.WindowRect(w.id, &r);
    EXPECT_TRUE(moved) << "at " << Describe(r) << ", wanted " << Describe(want);
    // The window manager (plat/win) knows the new place, and the drag ends.
    EXPECT_TRUE(x.WaitForLine(p, "move " + Str(want.left) + " " + Str(want.top))) << x.Output(p);
    EXPECT_TRUE(x.WaitForLine(p, "exitsizemove")) << x.Output(p);
}

TEST(X11Drag, CaptionDragMovesByThePointersDistanceWithoutAWindowManager) {
    XSession x;
    ASSERT_TRUE(x.Start()) << x.Error();
    ChildProcess p;
    ASSERT_TRUE(x.Run(p, X11PROBE_PATH, {"--at", "300,200"}));
    XWindow w;
    ASSERT_TRUE(x.WaitForWindow("probe", &w)) << x.Errors(p);
    ASSERT_TRUE(x.WaitForLine(p, "paint"));
    DragCaption(x, p, w, 60, 40);
    // The pixels went along.
    ASSERT_TRUE(x.WaitForPixel(361, 241, kBand));
}

TEST(X11Drag, CaptionDragByTheWindowManager) {
    XSession x;
    x11test::SessionOptions o;
    o.windowManager = true;
    ASSERT_TRUE(x.Start(o)) << x.Error();
    ChildProcess p;
    ASSERT_TRUE(x.Run(p, X11PROBE_PATH, {"--at", "300,200"}));
    XWindow w;
    ASSERT_TRUE(x.WaitForWindow("probe", &w)) << x.Errors(p);
    EXPECT_EQ(Describe(w.rect), "300,200,700,500");
    ASSERT_TRUE(x.WaitForLine(p, "paint"));
    DragCaption(x, p, w, -80, 50);
    // The left button is up again for the program: a click reaches it.
    ASSERT_TRUE(x.Xdo({"mousemove", "400", "400", "click", "1"}));
    EXPECT_TRUE(x.WaitForLine(p, "lbuttondown 180 150")) << x.Output(p);
}

TEST(X11WindowManager, NoDecorationsTransientDialogAndAltF4) {
    XSession x;
    x11test::SessionOptions o;
    o.windowManager = true;
    ASSERT_TRUE(x.Start(o)) << x.Error();
    ChildProcess p;
    ASSERT_TRUE(x.Run(p, WINEXAMPLE_PATH, {}));
    XWindow w;
    ASSERT_TRUE(x.WaitForWindow("Win Example", &w)) << x.Errors(p);
    // No frame: the window manager adds nothing around it.
    EXPECT_TRUE(XSession::WaitUntil(
        [&] {
            return x.Cardinals(w.id, "_NET_FRAME_EXTENTS") == std::vector<long>{0, 0, 0, 0};
        },
        10000));
    EXPECT_EQ(w.rect.right - w.rect.left, 400);
    auto types = x.AtomNames(w.id, "_NET_WM_WINDOW_TYPE");
    EXPECT_EQ(types, std::vector<std::string>{"_NET_WM_WINDOW_TYPE_NORMAL"});

    // The message box: transient for its owner, no task-bar entry.
    ASSERT_TRUE(x.Xdo({"key", "m"}));
    XWindow box;
    ASSERT_TRUE(x.WaitForWindow("winexample", &box)) << x.Errors(p);
    EXPECT_EQ(x.TransientFor(box.id), w.id);
    auto state = x.AtomNames(box.id, "_NET_WM_STATE");
    EXPECT_NE(std::find(state.begin(), state.end(), "_NET_WM_STATE_SKIP_TASKBAR"), state.end());
    auto ownerState = x.AtomNames(w.id, "_NET_WM_STATE");
    EXPECT_EQ(std::find(ownerState.begin(), ownerState.end(), "_NET_WM_STATE_SKIP_TASKBAR"),
              ownerState.end());
    // Enter answers it with its first button.
    ASSERT_TRUE(x.Xdo({"key", "Return"}));
    XWindow answered;
    ASSERT_TRUE(x.WaitForWindow("answer=6", &answered)) << x.Errors(p);

    // Alt+F4 is the window manager's: it asks the window to close, which
    // is the system close command.
    ASSERT_TRUE(x.Xdo({"key", "alt+F4"}));
    EXPECT_EQ(p.Wait(10000), 0) << x.Errors(p);
}

TEST(X11Close, AltF4IsTheSystemCloseCommandWithAndWithoutAWindowManager) {
    for (bool wm : {false, true}) {
        XSession x;
        x11test::SessionOptions o;
        o.windowManager = wm;
        ASSERT_TRUE(x.Start(o)) << x.Error();
        ChildProcess p;
        ASSERT_TRUE(x.Run(p, X11PROBE_PATH, {}));
        XWindow w;
        ASSERT_TRUE(x.WaitForWindow("probe", &w))
            << "wm " << wm << ": " << x.Errors(p) << x.Output(p);
        ASSERT_TRUE(x.WaitForLine(p, "activate 1")) << x.Output(p);
        ASSERT_TRUE(x.WaitForFocus(w.id)) << "wm " << wm;
        ASSERT_TRUE(x.Xdo({"key", "alt+F4"}));
        EXPECT_TRUE(x.WaitForLine(p, "syscommand F060")) << "wm " << wm << ": " << x.Output(p);
        EXPECT_EQ(p.Wait(10000), 0) << x.Errors(p);
        EXPECT_NE(x.Output(p).find("destroy"), std::string::npos);
    }
}

TEST(X11Input, KeysTextFocusAndLeaving) {
    XSession x;
    ASSERT_TRUE(x.Start()) << x.Error();
    ChildProcess p;
    ASSERT_TRUE(x.Run(p, X11PROBE_PATH, {"--at", "300,200"}));
    XWindow w;
    ASSERT_TRUE(x.WaitForWindow("probe", &w)) << x.Errors(p);
    ASSERT_TRUE(x.WaitForLine(p, "activate 1")) << x.Output(p);
    // The window took the keyboard when it showed.
    ASSERT_TRUE(x.WaitForFocus(w.id));
    // Letters, a shifted digit and characters of other scripts, as typed.
    ASSERT_TRUE(x.Xdo({"type", "aB!"}));
    ASSERT_TRUE(x.WaitForLine(p, "char 33")) << x.Output(p);
    EXPECT_TRUE(x.WaitForLine(p, "char 97"));
    EXPECT_TRUE(x.WaitForLine(p, "char 66"));
    EXPECT_TRUE(x.WaitForLine(p, "key 65")); // 'A' for both a and B
    EXPECT_TRUE(x.WaitForLine(p, "key 49")); // the 1 key under the !
    ASSERT_TRUE(x.MapKeysyms({"eacute", "Cyrillic_zhe"}));
    ASSERT_TRUE(x.Xdo({"type", "\u00e9\u0436"}));
    EXPECT_TRUE(x.WaitForLine(p, "char 233")) << x.Output(p);
    EXPECT_TRUE(x.WaitForLine(p, "char 1078")) << x.Output(p);
    ASSERT_TRUE(x.Xdo({"key", "ctrl+a"}));
    EXPECT_TRUE(x.WaitForLine(p, "char 1")) << x.Output(p);
    // Delete types nothing.
    ASSERT_TRUE(x.Xdo({"key", "Delete"}));
    ASSERT_TRUE(x.WaitForLine(p, "key 46"));
    EXPECT_EQ(x.Output(p).find("char 127"), std::string::npos);

    // Pointer in, then out onto the root: the window hears it left.
    ASSERT_TRUE(x.Xdo({"mousemove", "500", "350"}));
    ASSERT_TRUE(x.Xdo({"mousemove", "1500", "900"}));
    EXPECT_TRUE(x.WaitForLine(p, "leave")) << x.Output(p);

    // Another program takes the keyboard, then it comes back.
    ChildProcess other;
    ASSERT_TRUE(x.Run(other, X11PROBE_PATH, {"--at", "1000,600"}));
    ASSERT_TRUE(x.WaitForLine(other, "activate 1")) << x.Output(other);
    EXPECT_TRUE(x.WaitForLine(p, "activate 0")) << x.Output(p);
    ASSERT_TRUE(x.Xdo({"windowfocus", "--sync", std::to_string(w.id)}));
    EXPECT_TRUE(XSession::WaitUntil([&] {
        std::string out = x.Output(p);
        return out.rfind("activate 1") > out.rfind("activate 0");
    })) << x.Output(p);
}

TEST(X11Expose, UncoveredPartsAreRepainted) {
    XSession x;
    ASSERT_TRUE(x.Start()) << x.Error();
    ChildProcess p;
    ASSERT_TRUE(x.Run(p, X11PROBE_PATH, {"--at", "300,200"}));
    XWindow w;
    ASSERT_TRUE(x.WaitForWindow("probe", &w)) << x.Errors(p);
    ASSERT_TRUE(x.WaitForPixel(500, 350, kBody));
    auto paints = [&] {
        std::string out = x.Output(p);
        size_t n = 0;
        for (size_t at = out.find("paint\n"); at != std::string::npos;
             at = out.find("paint\n", at + 1))
            ++n;
        return n;
    };
    size_t before = paints();
    {
        // Another program's window over it, then gone.
        ChildProcess cover;
        ASSERT_TRUE(x.Run(cover, X11PROBE_PATH, {"--at", "350,250"}));
        XWindow cw;
        ASSERT_TRUE(x.WaitForWindow("probe", &cw));
        // Its caption band lies over the first window's body.
        ASSERT_TRUE(x.WaitForPixel(500, 260, kBand));
        cover.Kill();
    }
    EXPECT_TRUE(XSession::WaitUntil([&] { return paints() > before; })) << x.Output(p);
    EXPECT_TRUE(x.WaitForPixel(500, 260, kBody));
}

TEST(X11Server, ProgramEndsWithAClearMessageWhenTheServerGoesAway) {
    XSession x;
    ASSERT_TRUE(x.Start()) << x.Error();
    ChildProcess p;
    ASSERT_TRUE(x.Run(p, WINEXAMPLE_PATH, {}));
    XWindow w;
    ASSERT_TRUE(x.WaitForWindow("Win Example", &w)) << x.Errors(p);
    x.KillServer();
    EXPECT_EQ(p.Wait(10000), 1);
    EXPECT_NE(x.Errors(p).find("lost the connection to the X display"), std::string::npos)
        << x.Errors(p);
}

} // namespace
