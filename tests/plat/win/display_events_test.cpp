// What a display backend reports about its surfaces, as the window manager
// turns it into Win32 behaviour: the display's focus, the desktop's close
// request, exposed parts, moves by the desktop, the pointer leaving every
// window, and the keyboard layout's characters.
#include "helpers.h"
#include "plat/win/observe.h"

namespace {

using namespace wintest;

class DisplayEventsTest : public WinTest {};

TEST_F(DisplayEventsTest, TheDisplaysFocusActivatesAndItsLossDeactivates) {
    HWND a = Make(0, 0, 100, 100);
    HWND b = Make(200, 0, 100, 100);
    PumpNow();
    ASSERT_EQ(GetActiveWindow(), b);
    ClearLog();
    input_surface_focus(WindowSurface(a), true);
    ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == a; }));
    EXPECT_EQ(GetFocus(), a);
    // The keyboard went to another program: nothing here is active, and
    // the window hears that it is no longer.
    input_surface_focus(WindowSurface(a), false);
    ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == nullptr; }));
    EXPECT_EQ(GetFocus(), nullptr);
    std::vector<Rec> keep;
    const Rec* last = LastOf(a, WM_ACTIVATE, keep);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(LOWORD(last->wParam), WA_INACTIVE);
    EXPECT_EQ(CountOf(a, WM_KILLFOCUS), 1);
}

TEST_F(DisplayEventsTest, FocusOnADisabledOwnerGoesToItsDialog) {
    HWND owner = Make(0, 0, 300, 300);
    HWND dialog = Make(50, 50, 100, 100, owner);
    EnableWindow(owner, FALSE);
    ASSERT_EQ(GetActiveWindow(), dialog);
    input_surface_focus(WindowSurface(owner), false);
    ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == nullptr; }));
    input_surface_focus(WindowSurface(owner), true);
    ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == dialog; }));
}

TEST_F(DisplayEventsTest, TheDesktopsCloseRequestIsTheSystemCloseCommand) {
    HWND h = Make(0, 0, 100, 100);
    input_surface_close(WindowSurface(h));
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(h); }));
    std::vector<Rec> keep;
    const Rec* sys = LastOf(h, WM_SYSCOMMAND, keep);
    ASSERT_NE(sys, nullptr);
    EXPECT_EQ(sys->wParam & 0xFFF0, static_cast<WPARAM>(SC_CLOSE));
    EXPECT_EQ(CountOf(h, WM_CLOSE), 1);

    // A disabled owner (a dialog runs) is not closed under its dialog.
    HWND owner = Make(0, 0, 300, 300);
    HWND dialog = Make(50, 50, 100, 100, owner);
    EnableWindow(owner, FALSE);
    ClearLog();
    input_surface_close(WindowSurface(owner));
    PumpUntil([] { return false; }, 100);
    EXPECT_TRUE(IsWindow(owner));
    EXPECT_EQ(CountOf(owner, WM_SYSCOMMAND), 0);
    EXPECT_EQ(GetActiveWindow(), dialog);
}

TEST_F(DisplayEventsTest, ExposedPartsArePaintedAgain) {
    HWND h = Make(0, 0, 100, 100);
    SetHandler(h, SolidPainter(RGB(10, 200, 30)));
    PumpNow();
    ASSERT_GE(CountOf(h, WM_PAINT), 1);
    ClearLog();
    input_surface_expose(WindowSurface(h), RECT{10, 10, 20, 20});
    ASSERT_TRUE(PumpUntil([&] { return CountOf(h, WM_PAINT) == 1; }));

    // A window whose pixels come from UpdateLayeredWindow is not asked to
    // paint: what it pushed is shown again.
    HWND layered = Make(200, 0, 50, 50, nullptr, WS_POPUP | WS_VISIBLE, WS_EX_LAYERED);
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(mem, 50, 50);
    HGDIOBJ old = SelectObject(mem, bmp);
    RECT all{0, 0, 50, 50};
    HBRUSH red = CreateSolidBrush(RGB(200, 0, 0));
    FillRect(mem, &all, red);
    DeleteObject(red);
    POINT src{0, 0};
    SIZE size{50, 50};
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, 0};
    ASSERT_TRUE(
        UpdateLayeredWindow(layered, nullptr, nullptr, &size, mem, &src, 0, &bf, ULW_OPAQUE));
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    PumpNow();
    ClearLog();
    input_surface_expose(WindowSurface(layered), RECT{0, 0, 50, 50});
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(CountOf(layered, WM_PAINT), 0);
    EXPECT_EQ(HeadlessCaptureScreen().At(225, 25), 0xFFC80000u);
}

TEST_F(DisplayEventsTest, MovesAndSizesByTheDesktopReachTheWindow) {
    HWND h = Make(100, 100, 200, 150);
    PumpNow();
    ClearLog();
    input_surface_configured(WindowSurface(h), RECT{300, 250, 500, 400});
    ASSERT_TRUE(PumpUntil([&] { return CountOf(h, WM_MOVE) == 1; }));
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_EQ(r.left, 300);
    EXPECT_EQ(r.top, 250);
    EXPECT_EQ(CountOf(h, WM_SIZE), 0);
    input_surface_configured(WindowSurface(h), RECT{300, 250, 700, 550});
    ASSERT_TRUE(PumpUntil([&] { return CountOf(h, WM_SIZE) == 1; }));
    RECT c;
    GetClientRect(h, &c);
    EXPECT_EQ(c.right, 400);
    EXPECT_EQ(c.bottom, 300);
    // Moving an unknown surface does nothing.
    input_surface_configured(0, RECT{0, 0, 10, 10});
    PumpNow();
    GetWindowRect(h, &r);
    EXPECT_EQ(r.left, 300);
}

TEST_F(DisplayEventsTest, LeavingEveryWindowEndsMouseTracking) {
    HWND h = Make(0, 0, 100, 100);
    input_mouse_move(50, 50);
    PumpNow();
    TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, h, 0};
    ASSERT_TRUE(TrackMouseEvent(&tme));
    ClearLog();
    input_mouse_leave();
    ASSERT_TRUE(PumpUntil([&] { return CountOf(h, WM_MOUSELEAVE) == 1; }));
}

TEST_F(DisplayEventsTest, TheKeyboardLayoutsCharacterIsTyped) {
    HWND h = Make(0, 0, 100, 100);
    PumpNow();
    ASSERT_EQ(GetFocus(), h);
    auto charsAfter = [&](std::function<void()> keys) {
        ClearLog();
        keys();
        PumpUntil([] { return false; }, 50);
        std::vector<WPARAM> out;
        for (auto& r : LogCopy())
            if (r.hwnd == h && r.msg == WM_CHAR)
                out.push_back(r.wParam);
        return out;
    };
    // The key '2' of a layout that types é there.
    auto chars = charsAfter([] {
        input_key('2', true, L"\u00e9");
        input_key('2', false);
    });
    EXPECT_EQ(chars, std::vector<WPARAM>{0xE9});
    // A key the layout types nothing with.
    chars = charsAfter([] {
        input_key('2', true, L"");
        input_key('2', false);
    });
    EXPECT_TRUE(chars.empty());
    // Without a layout's word the US layout's character.
    chars = charsAfter([] {
        input_key('2', true);
        input_key('2', false);
    });
    EXPECT_EQ(chars, std::vector<WPARAM>{'2'});
}

} // namespace
