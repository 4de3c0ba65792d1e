// The installer test build in real X windows under a window manager
// (openbox), driven with xdotool: its windows have no frame, the quit
// question is a transient dialog off the task bar, Alt+F4 from the window
// manager is the system close command, and the start window shows the
// pixels it shows on the headless screen.
//
// Each run lives in an end-to-end session's private world (registry, home,
// temporary folder) against the session's peer on a loopback port.
#include <algorithm>
#include <thread>

#include "tests/windows/e2e_steps.h"
#include "tests/x11/x11_session.h"

using namespace e2e;
using testutil::ChildProcess;
using x11test::XSession;
using x11test::XWindow;

namespace {

constexpr uint32_t kRoot = 0xFF2B5797; // the root colour the X session sets

std::string Str(int v) {
    return std::to_string(v);
}

bool Has(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// An X server with openbox, and the installer test build on it in the
// private world of an end-to-end session, against the session's peer; each
// test begins at the start window with the pointer off every window.
class X11Installer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Running());
        ASSERT_TRUE(s.MarkDotNetInstalled());
        x11test::SessionOptions o;
        o.windowManager = true;
        ASSERT_TRUE(x.Start(o)) << x.Error();
        ASSERT_TRUE(x.Run(p, INSTALLER_TESTHOST, Session::InstallerArgs(peer, kRoomyDisk),
                          s.Environment()));
        ASSERT_TRUE(x.WaitForWindow(kStartClass, &start)) << Errors();
        ASSERT_TRUE(x.Xdo({"mousemove", "0", "0"}));
    }

    // Clicks the middle of a control of the window where the window is now,
    // then moves the pointer off every window (no button stays hot).
    bool Click(const XWindow& w, const RECT& control) {
        RECT now{};
        if (!x.WindowRect(w.id, &now))
            return false;
        return x.Xdo({"mousemove", Str(now.left + (control.left + control.right) / 2),
                      Str(now.top + (control.top + control.bottom) / 2), "click", "1", "mousemove",
                      "0", "0"});
    }

    // Clicks the middle of a control of `owner` until a window titled `title`
    // other than the owner shows.
    bool ClickFor(const XWindow& owner, const RECT& control, const std::string& title,
                  XWindow* out) {
        return x.ClickUntilWindow(owner, (control.left + control.right) / 2,
                                  (control.top + control.bottom) / 2, title, out);
    }

    // Alt+F4 to the window once it has the keyboard: the window manager's.
    bool AltF4(const XWindow& w) { return x.WaitForFocus(w.id) && x.Xdo({"key", "alt+F4"}); }

    // Waits until the window is gone from the screen.
    bool WaitGone(const XWindow& w) {
        return XSession::WaitUntil([&] { return !x.WindowShown(w.id); });
    }

    std::string Errors() const { return x.Errors(p); }

    Peer peer;
    Session s;
    XSession x;
    ChildProcess p; // the installer on the X server
    XWindow start;
};

// A window the window manager shows exactly as the program made it: no
// frame, its own size, told to leave decorations off, and nothing drawn
// around it: the ring of pixels right outside it shows what lies below
// (`below`, a capture from before the window showed; none: the root).
void ExpectNoDecorations(XSession& x, const XWindow& w, int width, int height,
                         const x11test::Image* below = nullptr) {
    EXPECT_TRUE(XSession::WaitUntil([&] {
        return x.Cardinals(w.id, "_NET_FRAME_EXTENTS") == std::vector<long>{0, 0, 0, 0};
    })) << w.title;
    const std::vector<long> motif = x.Cardinals(w.id, "_MOTIF_WM_HINTS");
    ASSERT_EQ(motif.size(), 5u) << w.title;
    EXPECT_EQ(motif[0] & 2, 2) << "decorations given";
    EXPECT_EQ(motif[2], 0) << "no decorations";
    RECT rc{};
    ASSERT_TRUE(x.WindowRect(w.id, &rc));
    EXPECT_EQ(rc.right - rc.left, width) << w.title;
    EXPECT_EQ(rc.bottom - rc.top, height) << w.title;
    // The ring is read until it shows what lies below: a window just
    // mapped may be drawn a moment after the server reports its place.
    x11test::Image shot;
    int differing = 0;
    std::string first;
    XSession::WaitUntil([&] {
        shot = x.Capture();
        differing = 0;
        auto check = [&](int x, int y) {
            const uint32_t want = below != nullptr ? below->At(x, y) : kRoot;
            if (shot.At(x, y) != want && differing++ == 0)
                first = Str(x) + "," + Str(y);
        };
        for (int x = rc.left - 1; x <= rc.right; ++x) {
            check(x, rc.top - 1);
            check(x, rc.bottom);
        }
        for (int y = rc.top; y < rc.bottom; ++y) {
            check(rc.left - 1, y);
            check(rc.right, y);
        }
        return differing == 0;
    });
    if (differing != 0) {
        x11test::SavePng(shot, "decorations_" + w.title + ".png");
        if (below != nullptr)
            x11test::SavePng(*below, "decorations_" + w.title + "_below.png");
    }
    EXPECT_EQ(differing, 0) << "around " << w.title << ", first at " << first;
}

// The quit question as the desktop sees it: a frameless dialog transient
// for `owner`, off the task bar, centred over it (`below`: the screen
// before it opened).
void ExpectQuitQuestion(XSession& x, const XWindow& dlg, const XWindow& owner,
                        const x11test::Image& below) {
    EXPECT_EQ(x.TransientFor(dlg.id), owner.id);
    EXPECT_TRUE(Has(x.AtomNames(dlg.id, "_NET_WM_STATE"), "_NET_WM_STATE_SKIP_TASKBAR"));
    EXPECT_EQ(x.AtomNames(dlg.id, "_NET_WM_WINDOW_TYPE"),
              std::vector<std::string>{"_NET_WM_WINDOW_TYPE_DIALOG"});
    EXPECT_FALSE(Has(x.AtomNames(owner.id, "_NET_WM_STATE"), "_NET_WM_STATE_SKIP_TASKBAR"));
    RECT d{}, o{};
    ASSERT_TRUE(x.WindowRect(dlg.id, &d));
    ASSERT_TRUE(x.WindowRect(owner.id, &o));
    EXPECT_EQ(d.left - o.left, 72);
    EXPECT_EQ(d.top - o.top, 105);
    ExpectNoDecorations(x, dlg, kDlgW, kDlgH, &below);
}

// The start window's own pixels on the headless screen of `s`'s installer.
x11test::Image HeadlessStartWindow(Session& s) {
    const WindowInfo start = s.Wait(kStartClass);
    EXPECT_FALSE(start.cls.empty()) << s.Errors();
    EXPECT_TRUE(s.MoveAway());
    const std::string png = s.Path("headless_start.png");
    EXPECT_EQ(s.Ask("screenshot " + png + " " + start.hwnd), "ok");
    return x11test::LoadPng(png);
}

} // namespace

TEST_F(X11Installer, StartWindowHasNoFrameShowsTheHeadlessPixelsAndAltF4EndsTheRun) {
    ExpectNoDecorations(x, start, kWndW, kWndH);
    EXPECT_EQ(x.AtomNames(start.id, "_NET_WM_WINDOW_TYPE"),
              std::vector<std::string>{"_NET_WM_WINDOW_TYPE_NORMAL"});
    EXPECT_FALSE(Has(x.AtomNames(start.id, "_NET_WM_STATE"), "_NET_WM_STATE_SKIP_TASKBAR"));

    // The same program in the same world on the headless screen: the same
    // pixels inside the window, once the X window has painted.
    ASSERT_TRUE(s.StartInstaller(peer, kRoomyDisk));
    const x11test::Image theirs = HeadlessStartWindow(s);
    ASSERT_EQ(theirs.width, kWndW);
    ASSERT_EQ(theirs.height, kWndH);
    x11test::Image mine;
    long diff = -1;
    int fx = 0, fy = 0;
    XSession::WaitUntil(
        [&] {
            RECT now{};
            if (!x.WindowRect(start.id, &now))
                return false;
            mine = x.Capture().Crop(now.left, now.top, kWndW, kWndH);
            diff = x11test::CountDifferences(mine, theirs, &fx, &fy);
            if (diff != 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return diff == 0;
        },
        15000);
    if (diff != 0) {
        x11test::SavePng(mine, "installer_start_x11.png");
        x11test::SavePng(theirs, "installer_start_headless.png");
    }
    EXPECT_EQ(diff, 0) << "first difference at " << fx << "," << fy << " " << Errors();

    // Alt+F4 through the window manager is the system close command: the
    // start window closes and the run ends without installing.
    ASSERT_TRUE(AltF4(start));
    EXPECT_EQ(p.Wait(20000), 1) << Errors();
    s.Key("alt+f4"); // the headless run's last key: no answer awaited
    EXPECT_EQ(s.Exit(), 1) << s.Errors();
    EXPECT_TRUE(peer.ConfigPaths().empty());
}

TEST_F(X11Installer, QuitQuestionIsATransientDialogAndAltF4DismissesItWithoutQuitting) {
    ExpectNoDecorations(x, start, kWndW, kWndH);
    const x11test::Image before = x.Capture();

    XWindow dlg;
    ASSERT_TRUE(ClickFor(start, StartControl("closebtn"), kDialogClass, &dlg)) << Errors();
    ExpectQuitQuestion(x, dlg, start, before);

    // Alt+F4 on the question dismisses it: no answer, the installer stays.
    ASSERT_TRUE(AltF4(dlg));
    ASSERT_TRUE(WaitGone(dlg)) << Errors();
    EXPECT_TRUE(p.Running());
    EXPECT_TRUE(x.WindowShown(start.id));

    // The start window works on: it asks again, and a confirmation ends the
    // run without installing.
    ASSERT_TRUE(ClickFor(start, StartControl("closebtn"), kDialogClass, &dlg)) << Errors();
    ASSERT_TRUE(Click(dlg, DialogControl("msgynconfirmbtn", true)));
    EXPECT_EQ(p.Wait(20000), 1) << Errors();
    EXPECT_TRUE(peer.ConfigPaths().empty());
}

TEST_F(X11Installer, AltF4OnTheInstallWindowAsksAndOnlyAConfirmationEndsTheRun) {
    const std::string product = ProbePackage("product", 600000);
    peer.AddPackage(kProductName, {product, product.size() / 3});
    peer.SetConfig(ConfigJson(peer, kProductName, product));
    XWindow install;
    ASSERT_TRUE(ClickFor(start, StartControl("installbtn"), "InstallerInstallWnd", &install))
        << Errors();
    ASSERT_TRUE(peer.WaitHeld(kProductName));
    ExpectNoDecorations(x, install, kWndW, kWndH);
    const x11test::Image before = x.Capture();

    // Alt+F4 from the window manager reaches the install window as the
    // system close command, which asks the quit question.
    ASSERT_TRUE(AltF4(install));
    XWindow dlg;
    ASSERT_TRUE(x.WaitForWindow(kDialogClass, &dlg)) << Errors();
    ExpectQuitQuestion(x, dlg, install, before);
    // Alt+F4 on the question is no answer: the download goes on.
    ASSERT_TRUE(AltF4(dlg));
    ASSERT_TRUE(WaitGone(dlg)) << Errors();
    EXPECT_TRUE(p.Running());
    EXPECT_TRUE(x.WindowShown(install.id));

    // Asked again, confirmed: the window goes, the run ends and the package
    // never runs, even when the rest of it could arrive after the window.
    ASSERT_TRUE(AltF4(install));
    ASSERT_TRUE(x.WaitForWindow(kDialogClass, &dlg)) << Errors();
    ASSERT_TRUE(Click(dlg, DialogControl("msgynconfirmbtn", true)));
    EXPECT_TRUE(WaitGone(install)) << Errors();
    peer.Release(kProductName);
    EXPECT_EQ(p.Wait(20000), 1) << Errors();
    EXPECT_EQ(s.ProbeLog(), "");
}
