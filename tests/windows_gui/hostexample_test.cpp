// hostexample.exe driven as a person would, through the real user32: clicks
// and keys with SendInput, what it shows read back from the screen and from
// its windows, what it did from the lines it prints ("click <name>",
// "answer yes|no") and from its exit code.
#include "gui_driver.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace gui_driver;

namespace {

// Generous: Wine starts a program in a second or two, on a loaded machine
// many more.
constexpr Millis kStart = 60s;
constexpr Millis kWait = 20s;

// Points of the skin's layout (demo/hostexample/skin/hostexample.xml), in
// client coordinates of the 560 x 408 window: the caption band is 48 high
// with "X" at 520..552 x 8..40 and "_" 36 to its left; the button row is
// 36 high, 40 above the bottom edge (332..368), "Count" at 150..270 and
// "Ask" at 290..410; the counter label is the band 88..118.
constexpr POINT kCount{210, 350};
constexpr POINT kAsk{350, 350};
constexpr POINT kClose{536, 24};
constexpr RECT kCounterLabel{150, 88, 410, 118};
constexpr POINT kEmpty{40, 250};      // the window's plain background
constexpr POINT kCountEdge{156, 338}; // inside "Count", clear of its text
constexpr POINT kCaption{200, 24};
constexpr POINT kDesktop{-100, 200}; // left of the window
constexpr uint32_t kCountColor = 0x2D5B8A, kCountHotColor = 0x3C6FA3;

class HostExample : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_program.Start(WindowsPathOf(HOSTEXAMPLE_EXE)));
        ASSERT_TRUE(WaitForWindow({m_program.Id(), L"HostExample", L"", true}, kStart, &m_window,
                                  &m_program));
        ASSERT_TRUE(WaitUntilPainted(m_window, kWait));
    }

    void TearDown() override {
        if (HasFailure() && IsWindow(m_window))
            SavePng(CaptureScreen(), PicturePath("screen"));
    }

    // The click notifications and answers printed so far.
    std::vector<std::string> Lines() const { return m_program.OutputLines(); }

    Image CounterPixels() const {
        const POINT tl = ClientToScreenPoint(m_window, {kCounterLabel.left, kCounterLabel.top});
        const POINT br = ClientToScreenPoint(m_window, {kCounterLabel.right, kCounterLabel.bottom});
        return CaptureScreen(RECT{tl.x, tl.y, br.x, br.y});
    }

    ChildProcess m_program;
    HWND m_window = nullptr;
};

} // namespace

TEST_F(HostExample, WindowHasTheSkinsSizeAndNoFrame) {
    RECT client{}, window{};
    GetClientRect(m_window, &client);
    GetWindowRect(m_window, &window);
    EXPECT_EQ(client.right, 560);
    EXPECT_EQ(client.bottom, 408);
    EXPECT_EQ(window.right - window.left, 560);
    EXPECT_EQ(window.bottom - window.top, 408);
    EXPECT_EQ(ClientToScreenPoint(m_window, {0, 0}).x, window.left);
    EXPECT_EQ(ClientToScreenPoint(m_window, {0, 0}).y, window.top);
    // Centred on the 1920 x 1080 screen.
    EXPECT_EQ(window.left, (1920 - 560) / 2);
    EXPECT_EQ(window.top, (1080 - 408) / 2);
    // The skin's colours on the screen: the caption band and the body.
    const Image shot = CaptureWindowOnScreen(m_window);
    EXPECT_EQ(shot.At(200, 20) & 0xFFFFFF, 0x2D5B8Au);
    EXPECT_EQ(shot.At(kEmpty.x, kEmpty.y) & 0xFFFFFF, 0xF4F6F9u);
}

TEST_F(HostExample, CountClickNotifiesAndTheCounterChanges) {
    const Image before = CounterPixels();
    ASSERT_TRUE(Click(m_window, kCount, kWait));
    ASSERT_TRUE(m_program.WaitForLine("click countbtn", kWait));
    // "Clicks: 0" becomes "Clicks: 1" on the screen.
    Image after;
    const bool changed = PollUntil(
        [&] {
            after = CounterPixels();
            return !(after == before);
        },
        kWait);
    EXPECT_TRUE(changed) << "the counter label looks the same after the click";
    // A second click, a second notification: no click is lost or doubled.
    ASSERT_TRUE(Click(m_window, kCount, kWait));
    ASSERT_TRUE(PollUntil([&] { return Lines().size() >= 2; }, kWait)) << m_program.Output();
    EXPECT_EQ(Lines(), (std::vector<std::string>{"click countbtn", "click countbtn"}));
    EXPECT_TRUE(m_program.IsRunning());
    if (HasFailure()) {
        SavePng(before, PicturePath("counter-before"));
        SavePng(after, PicturePath("counter-after"));
    }
}

// Escape has no effect; Enter has none of the window's own but reaches the
// focused control, and a focused button takes it as a click. The first
// paint focuses the first tab stop ("_", then "X", "Count", "Ask"), and Tab
// moves on.
TEST_F(HostExample, EscapeDoesNothingTabMovesTheFocusEnterPressesTheFocusedButton) {
    ASSERT_TRUE(PressKeys(m_window, {VK_ESCAPE}, kWait));
    ASSERT_TRUE(PressKeys(m_window, {VK_TAB}, kWait));
    ASSERT_TRUE(PressKeys(m_window, {VK_TAB}, kWait));
    ASSERT_TRUE(PressKeys(m_window, {VK_RETURN}, kWait));
    // Input is handled in the order it came: whatever Escape had done would
    // be seen before the click that Enter makes.
    ASSERT_TRUE(m_program.WaitForLine("click countbtn", kWait));
    EXPECT_EQ(Lines(), (std::vector<std::string>{"click countbtn"}));
    // Escape with the focus on a button, then a click that shows the key
    // was handled.
    ASSERT_TRUE(PressKeys(m_window, {VK_ESCAPE}, kWait));
    ASSERT_TRUE(Click(m_window, kAsk, kWait));
    HWND box = nullptr;
    ASSERT_TRUE(WaitForWindow({m_program.Id(), L"#32770", L"", true}, kWait, &box, &m_program));
    EXPECT_EQ(Lines(), (std::vector<std::string>{"click countbtn", "click askbtn"}));
    EXPECT_TRUE(m_program.IsRunning());
    EXPECT_TRUE(IsWindowVisible(m_window));
}

TEST_F(HostExample, EnterAfterShowingPressesTheFirstTabStop) {
    ASSERT_TRUE(PressKeys(m_window, {VK_RETURN}, kWait));
    ASSERT_TRUE(m_program.WaitForLine("click minbtn", kWait));
    EXPECT_TRUE(PollUntil([&] { return IsIconic(m_window) != FALSE; }, kWait))
        << DescribeWindows(m_program.Id());
    // The shadow goes with the window.
    HWND shadow = nullptr;
    EXPECT_FALSE(WaitForWindow({m_program.Id(), L"QuillShadowWnd", L"", true}, Millis(0), &shadow));
    EXPECT_EQ(Lines(), (std::vector<std::string>{"click minbtn"}));
    EXPECT_TRUE(m_program.IsRunning());
}

TEST_F(HostExample, AltF4ClosesWithExitCodeZero) {
    ASSERT_TRUE(PressKeys(m_window, {VK_MENU, VK_F4}, kWait));
    DWORD code = 99;
    ASSERT_TRUE(m_program.WaitForExit(kWait, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(Lines().empty()) << m_program.Output();
}

TEST_F(HostExample, CloseButtonClosesWithExitCodeOne) {
    ASSERT_TRUE(Click(m_window, kClose, kWait));
    DWORD code = 99;
    ASSERT_TRUE(m_program.WaitForExit(kWait, &code));
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"click closebtn"}));
}

TEST_F(HostExample, MessageBoxDisablesItsOwnerUntilAnswered) {
    ASSERT_TRUE(IsWindowEnabled(m_window));
    ASSERT_TRUE(Click(m_window, kAsk, kWait));
    HWND box = nullptr;
    ASSERT_TRUE(
        WaitForWindow({m_program.Id(), L"#32770", L"Host Example", true}, kWait, &box, &m_program));
    EXPECT_EQ(GetWindow(box, GW_OWNER), m_window);
    EXPECT_TRUE(WaitForEnabled(m_window, false, kWait));
    ASSERT_TRUE(WaitUntilPainted(box, kWait));
    // A click on the disabled owner does nothing while the box is open.
    ASSERT_TRUE(MoveMouse(m_window, kCount, kWait));
    ASSERT_TRUE(ClickWhereTheCursorIs());
    // "Yes" is the box's default button: Enter answers it.
    ASSERT_TRUE(PressKeys(box, {VK_RETURN}, kWait));
    ASSERT_TRUE(m_program.WaitForLine("answer yes", kWait));
    EXPECT_TRUE(WaitForWindowGone(box, kWait));
    EXPECT_TRUE(WaitForEnabled(m_window, true, kWait));
    EXPECT_EQ(Lines(), (std::vector<std::string>{"click askbtn", "answer yes"}));
    EXPECT_TRUE(m_program.IsRunning());
    // The owner takes clicks again.
    ASSERT_TRUE(Click(m_window, kCount, kWait));
    ASSERT_TRUE(m_program.WaitForLine("click countbtn", kWait));
}

TEST_F(HostExample, TooltipAppearsOverTheCloseButton) {
    ASSERT_TRUE(BringToForeground(m_window, kWait));
    // In from the plain background, then resting on "X" (tooltip="Close").
    ASSERT_TRUE(MoveMouse(m_window, kEmpty, kWait));
    ASSERT_TRUE(MoveMouse(m_window, kClose, kWait));
    HWND tip = nullptr;
    ASSERT_TRUE(
        WaitForWindow({m_program.Id(), L"tooltips_class32", L"", true}, kWait, &tip, &m_program));
    RECT rc{};
    GetWindowRect(tip, &rc);
    EXPECT_GT(rc.right - rc.left, 10);
    EXPECT_GT(rc.bottom - rc.top, 5);
    // Near the button, on the screen.
    const POINT button = ClientToScreenPoint(m_window, kClose);
    EXPECT_LT(std::abs((rc.left + rc.right) / 2 - button.x), 200) << DescribeWindow(tip);
    EXPECT_LT(std::abs((rc.top + rc.bottom) / 2 - button.y), 200) << DescribeWindow(tip);
    // Moving off the control takes it away.
    ASSERT_TRUE(MoveMouse(m_window, kEmpty, kWait));
    EXPECT_TRUE(WaitForWindowGone(tip, kWait));
    EXPECT_TRUE(Lines().empty()) << m_program.Output();
}

// Mouse tracking: the hot colour comes with the mouse and goes when it
// leaves the window altogether (WM_MOUSELEAVE of TrackMouseEvent).
TEST_F(HostExample, HotColourFollowsTheMouseInAndOutOfTheWindow) {
    auto countColor = [&] {
        const POINT p = ClientToScreenPoint(m_window, kCountEdge);
        return CaptureScreen(RECT{p.x, p.y, p.x + 1, p.y + 1}).At(0, 0) & 0xFFFFFF;
    };
    ASSERT_TRUE(BringToForeground(m_window, kWait));
    ASSERT_TRUE(MoveMouse(m_window, kEmpty, kWait));
    EXPECT_EQ(countColor(), kCountColor);
    ASSERT_TRUE(MoveMouse(m_window, kCountEdge, kWait));
    EXPECT_TRUE(PollUntil([&] { return countColor() == kCountHotColor; }, kWait))
        << std::hex << countColor();
    ASSERT_TRUE(MoveMouse(m_window, kDesktop, kWait));
    EXPECT_TRUE(PollUntil([&] { return countColor() == kCountColor; }, kWait))
        << std::hex << countColor();
    EXPECT_TRUE(Lines().empty()) << m_program.Output();
}

// The capture a press takes: released away from the button, there is no
// click; the button still clicks afterwards.
TEST_F(HostExample, PressOnAButtonReleasedOutsideTheWindowIsNoClick) {
    ASSERT_TRUE(Drag(m_window, kCount, kDesktop, kWait));
    ASSERT_TRUE(Drag(m_window, kCount, kEmpty, kWait));
    ASSERT_TRUE(Click(m_window, kCount, kWait));
    ASSERT_TRUE(m_program.WaitForLine("click countbtn", kWait));
    EXPECT_EQ(Lines(), (std::vector<std::string>{"click countbtn"}));
}

// The caption band drags the window, and the shadow goes along.
TEST_F(HostExample, CaptionDragMovesTheWindowAndItsShadow) {
    RECT before{};
    GetWindowRect(m_window, &before);
    ASSERT_TRUE(Drag(m_window, kCaption, POINT{kCaption.x + 60, kCaption.y + 40}, kWait));
    RECT after{};
    EXPECT_TRUE(PollUntil(
        [&] {
            GetWindowRect(m_window, &after);
            return after.left == before.left + 60 && after.top == before.top + 40;
        },
        kWait))
        << "the window is at (" << after.left << "," << after.top << "), was at (" << before.left
        << "," << before.top << ")";
    HWND shadow = nullptr;
    ASSERT_TRUE(WaitForWindow({m_program.Id(), L"QuillShadowWnd", L"", true}, kWait, &shadow));
    RECT rs{};
    EXPECT_TRUE(PollUntil(
        [&] {
            GetWindowRect(shadow, &rs);
            return rs.left == after.left - 5 && rs.top == after.top - 5;
        },
        kWait))
        << "the shadow is at (" << rs.left << "," << rs.top << ")";
    EXPECT_TRUE(Lines().empty()) << m_program.Output();
}
