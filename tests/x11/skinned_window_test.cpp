// The toolkit's skinned window (demo/hostexample, a WindowImplBase with a
// drop shadow) in real windows: the same pixels and shadow as on the
// headless screen, its close button, and under a window manager no frame,
// a transient message box and Alt+F4.
#include <thread>

#include <gtest/gtest.h>

#include "tests/x11/x11_session.h"

using testutil::ChildProcess;
using x11test::HeadlessRun;
using x11test::Image;
using x11test::RECT;
using x11test::XSession;
using x11test::XWindow;

namespace {

constexpr int kW = 560, kH = 408, kShadow = 5;
// Window-relative spots: the Count button, a quiet place for the pointer,
// and the close button.
constexpr int kCountX = 210, kCountY = 350, kRestX = 280, kRestY = 250, kCloseX = 536, kCloseY = 24;

std::string Str(int v) {
    return std::to_string(v);
}

Image AroundWindow(const Image& screen, const RECT& r) {
    return screen.Crop(r.left - kShadow, r.top - kShadow, kW + 2 * kShadow, kH + 2 * kShadow);
}

TEST(X11SkinnedWindow, PixelsAndShadowMatchHeadlessAndTheCloseButtonEndsIt) {
    HeadlessRun h;
    ASSERT_TRUE(h.Start(HOSTEXAMPLE_PATH, {}));
    std::string hwnd = h.WaitForClass("HostExample");
    ASSERT_FALSE(hwnd.empty());
    RECT hr;
    ASSERT_TRUE(h.WindowRect(hwnd, &hr));
    EXPECT_EQ(h.Ask("click " + Str(hr.left + kCountX) + " " + Str(hr.top + kCountY)), "ok");
    EXPECT_EQ(h.Ask("move " + Str(hr.left + kRestX) + " " + Str(hr.top + kRestY)), "ok");
    Image theirs = AroundWindow(h.CaptureScreen(), hr);
    ASSERT_EQ(theirs.width, kW + 2 * kShadow);

    XSession x;
    x11test::SessionOptions o;
    o.compositor = true;
    ASSERT_TRUE(x.Start(o)) << x.Error();
    ChildProcess p;
    ASSERT_TRUE(x.Run(p, HOSTEXAMPLE_PATH, {}));
    XWindow w;
    ASSERT_TRUE(x.WaitForWindow("Host Example", &w)) << x.Errors(p);
    EXPECT_EQ(w.rect.right - w.rect.left, kW);
    ASSERT_TRUE(x.Xdo({"mousemove", Str(w.rect.left + kCountX), Str(w.rect.top + kCountY), "click",
                       "1", "mousemove", Str(w.rect.left + kRestX), Str(w.rect.top + kRestY)}));
    Image mine;
    long diff = -1;
    XSession::WaitUntil([&] {
        mine = AroundWindow(x.Capture(), w.rect);
        diff = x11test::CountDifferences(mine, theirs);
        if (diff != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return diff == 0;
    });
    if (diff != 0) {
        x11test::SavePng(mine, "hostexample_x11.png");
        x11test::SavePng(theirs, "hostexample_headless.png");
    }
    EXPECT_EQ(diff, 0) << x.Errors(p);
    // The shadow shows, five pixels deep.
    EXPECT_NE(mine.At(kShadow - 1, 200), 0xFF2B5797u);

    ASSERT_TRUE(
        x.Xdo({"mousemove", Str(w.rect.left + kCloseX), Str(w.rect.top + kCloseY), "click", "1"}));
    EXPECT_EQ(p.Wait(10000), 1) << x.Errors(p);
}

TEST(X11SkinnedWindow, UnderAWindowManager) {
    XSession x;
    x11test::SessionOptions o;
    o.windowManager = true;
    ASSERT_TRUE(x.Start(o)) << x.Error();
    ChildProcess p;
    ASSERT_TRUE(x.Run(p, HOSTEXAMPLE_PATH, {}));
    XWindow w;
    ASSERT_TRUE(x.WaitForWindow("Host Example", &w)) << x.Errors(p);
    EXPECT_TRUE(XSession::WaitUntil([&] {
        return x.Cardinals(w.id, "_NET_FRAME_EXTENTS") == std::vector<long>{0, 0, 0, 0};
    }));
    // The message box of "Ask": transient for the window, no task-bar entry.
    XWindow box;
    ASSERT_TRUE(x.ClickUntilWindow(w, 350, kCountY, "Host Example", &box)) << x.Errors(p);
    EXPECT_EQ(x.TransientFor(box.id), w.id);
    auto state = x.AtomNames(box.id, "_NET_WM_STATE");
    EXPECT_NE(std::find(state.begin(), state.end(), "_NET_WM_STATE_SKIP_TASKBAR"), state.end());
    ASSERT_TRUE(x.Xdo({"key", "Return"}));
    ASSERT_TRUE(XSession::WaitUntil([&] { return !x.WindowShown(box.id); }));
    // The window manager closes the window that has the keyboard.
    ASSERT_TRUE(x.WaitForFocus(w.id));
    // Alt+F4 through the window manager: the system close command, modal
    // result 0.
    ASSERT_TRUE(x.Xdo({"key", "alt+F4"}));
    EXPECT_EQ(p.Wait(10000), 0) << x.Errors(p);
}

} // namespace
