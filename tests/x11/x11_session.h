// The X11 test harness: an X server of the test's own (Xvfb on a display
// it picks itself), optionally a compositing manager (xcompmgr) and a window
// manager (openbox), programs run on it, xdotool to drive them, screen
// captures, the desktop's view of a window (properties, geometry), and the
// same program run on the headless backend for comparison. Every wait polls
// with a deadline.
//
// A test of a windowed program needs a few lines:
//     x11test::XSession x;
//     ASSERT_TRUE(x.Start());                      // or Start({.windowManager = true})
//     testutil::ChildProcess p;
//     ASSERT_TRUE(x.Run(p, PROGRAM, {}));
//     x11test::XWindow w;
//     ASSERT_TRUE(x.WaitForWindow("title", &w));
//     x.Xdo({"mousemove", "400", "300", "click", "1"});
//     x11test::Image shot = x.Capture();
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "plat/sys/wintypes.h"
#include "tests/common/automation_client.h"
#include "tests/common/child_process.h"
#include "tests/common/test_util.h"

namespace x11test {

using plat::LONG;
using plat::RECT;

// Pixels as 0xAARRGGBB, top-down.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> px;
    uint32_t At(int x, int y) const {
        return (x >= 0 && y >= 0 && x < width && y < height)
                   ? px[static_cast<size_t>(y) * width + x]
                   : 0;
    }
    // The part at (x, y) of w x h (pixels outside the image are 0).
    Image Crop(int x, int y, int w, int h) const;
};
// The PNG file as an image (straight alpha becomes premultiplied, as the
// screen is); empty when it cannot be read.
Image LoadPng(const std::string& path);
// Writes the image as a PNG (for a failing test to show what it saw).
bool SavePng(const Image& img, const std::string& path);
// The number of pixels whose colours differ between two images of one size
// (alpha ignored), and the first of them; -1 when the sizes differ.
long CountDifferences(const Image& a, const Image& b, int* firstX = nullptr, int* firstY = nullptr);

// A top-level window as the desktop sees it.
struct XWindow {
    unsigned long id = 0; // the program's own X window (not a frame)
    RECT rect{};          // on the screen
    std::string title;
};

struct SessionOptions {
    int width = 1920;
    int height = 1080;
    bool compositor = false;       // xcompmgr, for per-pixel alpha
    bool windowManager = false;    // openbox
    uint32_t rootColor = 0x2B5797; // the headless backend's desktop colour
};

class XSession {
public:
    XSession();
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    // Starts the server and what the options ask for, and waits until each
    // is ready. False (with the reason in Error()) when one cannot start.
    bool Start(const SessionOptions& options = {});
    const std::string& Display() const { return display_; }
    const std::string& Error() const { return error_; }
    // Kills the X server at once (the programs on it lose their display).
    void KillServer();

    // Starts a program on this display with the X11 backend; its standard
    // output and error go to files (Output, Errors).
    bool Run(testutil::ChildProcess& p, const std::string& exe,
             const std::vector<std::string>& args, const std::vector<std::string>& env = {});
    std::string Output(const testutil::ChildProcess& p) const;
    std::string Errors(const testutil::ChildProcess& p) const;
    // Waits until the program's output has a line equal to `line`.
    bool WaitForLine(const testutil::ChildProcess& p, const std::string& line,
                     int timeoutMs = 10000) const;

    // Waits until a viewable client window with that title shows (the
    // program's own window, however deep a window manager frames it).
    bool WaitForWindow(const std::string& title, XWindow* out, int timeoutMs = 10000);
    // The window's place on the screen now; false when it is gone.
    bool WindowRect(unsigned long id, RECT* out);
    // Waits until the window has the keyboard focus (input typed with
    // xdotool goes to it).
    bool WaitForFocus(unsigned long id, int timeoutMs = 10000);
    // Viewable (mapped, with its parents) now.
    bool WindowShown(unsigned long id);
    // Properties as the desktop reads them.
    std::vector<long> Cardinals(unsigned long id, const char* property);
    std::vector<std::string> AtomNames(unsigned long id, const char* property);
    unsigned long TransientFor(unsigned long id);

    // Gives each key symbol (by name, "eacute") an unused key code of its
    // own, so that xdotool types it without remapping a key for a moment
    // (a program reading the mapping late would then miss it).
    bool MapKeysyms(const std::vector<std::string>& names);
    // Runs xdotool with these arguments; true when it succeeded in time.
    bool Xdo(const std::vector<std::string>& args, int timeoutMs = 10000);
    // The whole screen as it is shown now.
    Image Capture();
    // Captures until the screen pixel at (x, y) is `argb`; the last capture
    // in `shot` when given.
    bool WaitForPixel(int x, int y, uint32_t argb, Image* shot = nullptr, int timeoutMs = 10000);
    // Clicks the point (dx, dy) of `owner`, where the window is at that
    // moment, until another window titled `title` shows (in `out`); then
    // moves the pointer off every window. The window manager may still be
    // placing the owner when it first shows, and a click on the owner of an
    // open dialog is ignored, so a repeated click does no harm.
    bool ClickUntilWindow(const XWindow& owner, int dx, int dy, const std::string& title,
                          XWindow* out);
    // Polls `done` until it holds or the time runs out.
    static bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

private:
    bool StartHelper(testutil::ChildProcess& p, const std::string& exe,
                     const std::vector<std::string>& args, const std::function<bool()>& ready,
                     const char* what);
    bool SetRootColor(uint32_t rgb);
    // Waits until the window manager manages newly mapped windows.
    bool WaitUntilWindowsAreManaged();

    testutil::TempDir dir_{"tarvex_x11"};
    std::string display_;
    std::string error_;
    testutil::ChildProcess server_, compositor_, windowManager_;
    int runs_ = 0;
    std::vector<std::pair<const testutil::ChildProcess*, int>> outputs_; // its files' number
};

// The same program on the headless backend, driven through the automation
// socket (plat/automation/PROTOCOL.md), for captures to compare with.
class HeadlessRun {
public:
    bool Start(const std::string& exe, const std::vector<std::string>& args);
    std::string Ask(const std::string& command, int timeoutMs = 10000) {
        return client_.Ask(command, timeoutMs);
    }
    // The handle of the first visible window of that class, "" when none.
    std::string WaitForClass(const std::string& cls);
    // The window's rectangle from the automation's list.
    bool WindowRect(const std::string& hwnd, RECT* out);
    // The screen, or one window's own pixels (transparent outside its region).
    Image CaptureScreen();
    Image CaptureWindow(const std::string& hwnd);
    testutil::ChildProcess& Process() { return process_; }

private:
    testutil::TempDir dir_{"tarvex_headless"};
    testutil::ChildProcess process_;
    autotest::Client client_;
    int shots_ = 0;
};

} // namespace x11test
