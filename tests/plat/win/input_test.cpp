// Input routing: keys and Alt+F4, hit testing and caption dragging,
// capture, mouse tracking, enabling, activation and focus.
#include "helpers.h"

using namespace wintest;

namespace {

class InputTest : public WinTest {};

TEST_F(InputTest, AltF4ReachesSystemCloseAndClose) {
    HWND h = Make(100, 100, 200, 200);
    ASSERT_EQ(GetFocus(), h);
    input_key(VK_MENU, true);
    input_key(VK_F4, true);
    input_key(VK_F4, false);
    input_key(VK_MENU, false);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(h); }));
    auto seq = MessagesOf(h, {WM_SYSKEYDOWN, WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY});
    ASSERT_GE(seq.size(), 4u);
    EXPECT_EQ(seq[0], WM_SYSKEYDOWN); // Alt
    EXPECT_EQ(seq[1], WM_SYSKEYDOWN); // F4
    EXPECT_EQ(seq[2], WM_SYSCOMMAND);
    EXPECT_EQ(seq[3], WM_CLOSE);
    std::vector<Rec> keep;
    const Rec* sc = LastOf(h, WM_SYSCOMMAND, keep);
    EXPECT_EQ(sc->wParam & 0xFFF0, SC_CLOSE);
}

TEST_F(InputTest, KeysGoToTheFocusAndTranslateToCharacters) {
    HWND a = Make(0, 0, 100, 100);
    HWND b = Make(200, 0, 100, 100);
    SetFocus(a);
    ClearLog();
    input_key(VK_SHIFT, true);
    input_key('Q', true);
    input_key('Q', false);
    input_key(VK_SHIFT, false);
    input_text(L"中");
    ASSERT_TRUE(PumpUntil([&] { return CountOf(a, WM_CHAR) == 2; }));
    std::vector<WPARAM> chars;
    for (auto& r : LogCopy())
        if (r.hwnd == a && r.msg == WM_CHAR)
            chars.push_back(r.wParam);
    EXPECT_EQ(chars, (std::vector<WPARAM>{L'Q', L'中'}));
    EXPECT_EQ(CountOf(b, WM_KEYDOWN), 0);
    EXPECT_EQ(CountOf(a, WM_KEYDOWN), 2);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
}

TEST_F(InputTest, TypedTextArrivesInOrderAndKeyBitsTellRepeatsAndReleases) {
    HWND h = Make(0, 0, 100, 100);
    input_text(L"ab中c");
    input_key('X', true);
    input_key('X', true); // auto-repeat: no release in between
    input_key('X', false);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(h, WM_KEYUP) == 1; }));
    std::wstring typed;
    std::vector<LPARAM> keyBits;
    for (auto& r : LogCopy()) {
        if (r.hwnd != h)
            continue;
        if (r.msg == WM_CHAR)
            typed.push_back(static_cast<wchar_t>(r.wParam));
        if (r.msg == WM_KEYDOWN || r.msg == WM_KEYUP)
            keyBits.push_back(r.lParam);
    }
    EXPECT_EQ(typed, L"ab中cxx");
    ASSERT_EQ(keyBits.size(), 3u);
    EXPECT_EQ(keyBits[0] & (1 << 30), 0);   // first press: key was up
    EXPECT_NE(keyBits[1] & (1 << 30), 0);   // repeat: key was down
    EXPECT_NE(keyBits[2] & (1u << 31), 0u); // release
}

TEST_F(InputTest, GetKeyStateFollowsModifiersAndButtons) {
    HWND h = Make(0, 0, 100, 100);
    SHORT during = 0, lbutton = 0;
    SetHandler(h, [&](HWND, UINT msg, WPARAM, LPARAM, LRESULT*) {
        if (msg == WM_KEYDOWN)
            during = GetKeyState(VK_CONTROL);
        if (msg == WM_LBUTTONDOWN)
            lbutton = GetKeyState(VK_LBUTTON);
        return false;
    });
    input_key(VK_CONTROL, true);
    input_key('A', true);
    input_key('A', false);
    input_key(VK_CONTROL, false);
    Click(10, 10);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(h, WM_LBUTTONUP) == 1; }));
    EXPECT_LT(during, 0);
    EXPECT_LT(lbutton, 0);
    EXPECT_GE(GetKeyState(VK_CONTROL), 0);
    EXPECT_GE(GetKeyState(VK_LBUTTON), 0);
}

TEST_F(InputTest, ClientAndNonClientMouseMessagesFollowTheHitTest) {
    HWND h = Make(100, 100, 200, 200);
    SetHandler(h, [](HWND, UINT msg, WPARAM, LPARAM lp, LRESULT* r) {
        if (msg != WM_NCHITTEST)
            return false;
        *r = GET_Y_LPARAM(lp) < 130 ? HTBORDER : HTCLIENT;
        return true;
    });
    Click(150, 150);
    Click(150, 110);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(h, WM_NCLBUTTONUP) == 1; }));
    std::vector<Rec> keep;
    const Rec* down = LastOf(h, WM_LBUTTONDOWN, keep);
    ASSERT_TRUE(down);
    EXPECT_EQ(GET_X_LPARAM(down->lParam), 50); // client coordinates
    EXPECT_EQ(GET_Y_LPARAM(down->lParam), 50);
    EXPECT_EQ(down->wParam & MK_LBUTTON, MK_LBUTTON);
    const Rec* nc = LastOf(h, WM_NCLBUTTONDOWN, keep);
    ASSERT_TRUE(nc);
    EXPECT_EQ(static_cast<LRESULT>(nc->wParam), HTBORDER);
    EXPECT_EQ(GET_Y_LPARAM(nc->lParam), 110); // screen coordinates
    EXPECT_EQ(CountOf(h, WM_LBUTTONDOWN), 1);
    EXPECT_GE(CountOf(h, WM_SETCURSOR), 1);
}

TEST_F(InputTest, CaptionPressMovesTheWindowWithoutClientButtonMessages) {
    HWND h = Make(100, 100, 300, 200);
    SetHandler(h, [](HWND hw, UINT msg, WPARAM, LPARAM lp, LRESULT* r) {
        if (msg != WM_NCHITTEST)
            return false;
        POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        ScreenToClient(hw, &p);
        *r = p.y < 40 ? HTCAPTION : HTCLIENT;
        return true;
    });
    input_mouse_move(150, 110);
    input_mouse_button(InputButtonLeft, true);
    input_mouse_move(180, 130);
    input_mouse_move(250, 160);
    input_mouse_button(InputButtonLeft, false);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(h, WM_EXITSIZEMOVE) == 1; }));
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_EQ(r.left, 200);
    EXPECT_EQ(r.top, 150);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(CountOf(h, WM_LBUTTONDOWN), 0);
    EXPECT_EQ(CountOf(h, WM_LBUTTONUP), 0);
    EXPECT_EQ(CountOf(h, WM_NCLBUTTONUP), 0);
    EXPECT_EQ(CountOf(h, WM_ENTERSIZEMOVE), 1);
    EXPECT_GE(CountOf(h, WM_MOVE), 2);
    // After the drag, clicks in the client area are ordinary again.
    Click(300, 300);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(h, WM_LBUTTONUP) == 1; }));
}

TEST_F(InputTest, BorderPressResizesWithinMinimumTrackingSize) {
    HWND h = Make(100, 100, 300, 200);
    SetHandler(h, [](HWND hw, UINT msg, WPARAM, LPARAM lp, LRESULT* r) {
        if (msg == WM_GETMINMAXINFO) {
            reinterpret_cast<MINMAXINFO*>(lp)->ptMinTrackSize = POINT{250, 150};
            *r = 0;
            return true;
        }
        if (msg != WM_NCHITTEST)
            return false;
        POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        ScreenToClient(hw, &p);
        *r = p.x >= 295 ? HTRIGHT : HTCLIENT;
        return true;
    });
    input_mouse_move(398, 200);
    input_mouse_button(InputButtonLeft, true);
    input_mouse_move(448, 200);
    ASSERT_TRUE(PumpUntil([&] {
        RECT r;
        GetWindowRect(h, &r);
        return r.right == 450;
    }));
    input_mouse_move(200, 200); // narrower than the minimum
    input_mouse_button(InputButtonLeft, false);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(h, WM_EXITSIZEMOVE) == 1; }));
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.right - r.left, 250);
}

TEST_F(InputTest, CapturedWindowGetsEveryMouseMessage) {
    HWND a = Make(0, 0, 100, 100);
    HWND b = Make(300, 0, 100, 100);
    SetCapture(a);
    EXPECT_EQ(GetCapture(), a);
    input_mouse_move(350, 50);
    input_mouse_button(InputButtonLeft, true);
    input_mouse_button(InputButtonLeft, false);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(a, WM_LBUTTONUP) == 1; }));
    EXPECT_EQ(CountOf(b, WM_MOUSEMOVE), 0);
    EXPECT_EQ(CountOf(b, WM_LBUTTONDOWN), 0);
    EXPECT_EQ(CountOf(b, WM_NCHITTEST), 0);
    std::vector<Rec> keep;
    const Rec* mv = LastOf(a, WM_MOUSEMOVE, keep);
    ASSERT_TRUE(mv);
    EXPECT_EQ(GET_X_LPARAM(mv->lParam), 350); // client coordinates of a, outside it
    ReleaseCapture();
    EXPECT_EQ(CountOf(a, WM_CAPTURECHANGED), 1);
    input_mouse_move(360, 60);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(b, WM_MOUSEMOVE) == 1; }));
}

TEST_F(InputTest, MouseLeaveAndHoverAsTrackMouseEventAsks) {
    HWND h = Make(100, 100, 200, 200);
    input_mouse_move(150, 150);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(h, WM_MOUSEMOVE) == 1; }));
    TRACKMOUSEEVENT tme{sizeof tme, TME_HOVER | TME_LEAVE, h, 60};
    ASSERT_TRUE(TrackMouseEvent(&tme));
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(PumpUntil([&] { return CountOf(h, WM_MOUSEHOVER) == 1; }, 2000));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(55));
    std::vector<Rec> keep;
    const Rec* hover = LastOf(h, WM_MOUSEHOVER, keep);
    EXPECT_EQ(GET_X_LPARAM(hover->lParam), 50);
    // Hover is one-shot; leave is still armed.
    TRACKMOUSEEVENT q{sizeof q, TME_QUERY, nullptr, 0};
    TrackMouseEvent(&q);
    EXPECT_EQ(q.hwndTrack, h);
    EXPECT_EQ(q.dwFlags & (TME_HOVER | TME_LEAVE), TME_LEAVE);
    EXPECT_EQ(CountOf(h, WM_MOUSELEAVE), 0);
    input_mouse_move(500, 500);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(h, WM_MOUSELEAVE) == 1; }));
    // Asking while the mouse is already outside reports the leave at once.
    TRACKMOUSEEVENT again{sizeof again, TME_LEAVE, h, HOVER_DEFAULT};
    ASSERT_TRUE(TrackMouseEvent(&again));
    ASSERT_TRUE(PumpUntil([&] { return CountOf(h, WM_MOUSELEAVE) == 2; }));
}

TEST_F(InputTest, HoverWaitsForTheMouseToRest) {
    HWND h = Make(100, 100, 200, 200);
    input_mouse_move(150, 150);
    PumpUntil([&] { return CountOf(h, WM_MOUSEMOVE) == 1; });
    TRACKMOUSEEVENT tme{sizeof tme, TME_HOVER, h, 300};
    TrackMouseEvent(&tme);
    // Keep moving for a while: no hover while moving further than the
    // hover rectangle.
    for (int i = 0; i < 6; ++i) {
        input_mouse_move(150 + (i + 1) * 10, 150);
        PumpUntil([] { return false; }, 30);
    }
    EXPECT_EQ(CountOf(h, WM_MOUSEHOVER), 0);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(h, WM_MOUSEHOVER) == 1; }, 2000));
}

TEST_F(InputTest, DisabledOwnerGetsNoInputWhileItsOwnedDialogDoes) {
    HWND owner = Make(100, 100, 400, 300);
    HWND dialog = Make(200, 150, 100, 100, owner);
    EnableWindow(owner, FALSE);
    EXPECT_FALSE(IsWindowEnabled(owner));
    EXPECT_EQ(CountOf(owner, WM_ENABLE), 1);
    SetActiveWindow(dialog);
    ClearLog();
    Click(120, 120); // on the owner only
    Click(220, 170); // on the dialog
    input_key('A', true);
    input_key('A', false);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(dialog, WM_KEYUP) == 1; }));
    EXPECT_EQ(CountOf(owner, WM_LBUTTONDOWN), 0);
    EXPECT_EQ(CountOf(owner, WM_MOUSEMOVE), 0);
    EXPECT_EQ(CountOf(owner, WM_KEYDOWN), 0);
    EXPECT_EQ(CountOf(dialog, WM_LBUTTONDOWN), 1);
    EXPECT_EQ(CountOf(dialog, WM_KEYDOWN), 1);
    // A click on the disabled owner keeps the dialog active.
    EXPECT_EQ(GetActiveWindow(), dialog);
    EXPECT_EQ(SetFocus(owner), nullptr);
    EXPECT_NE(GetFocus(), owner);
    EnableWindow(owner, TRUE);
}

TEST_F(InputTest, FocusAndActivationReturnToTheOwnerWhenOwnedWindowIsDestroyed) {
    HWND other = Make(600, 100, 100, 100);
    HWND owner = Make(100, 100, 400, 300);
    HWND dialog = Make(200, 150, 100, 100, owner);
    EXPECT_EQ(GetActiveWindow(), dialog);
    EXPECT_EQ(GetFocus(), dialog);
    ClearLog();
    DestroyWindow(dialog);
    EXPECT_EQ(GetActiveWindow(), owner);
    EXPECT_EQ(GetFocus(), owner);
    auto seq = MessagesOf(owner, {WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS});
    EXPECT_EQ(seq, (std::vector<UINT>{WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS}));
    // Hiding the active window also hands activation to its owner.
    HWND second = Make(200, 150, 100, 100, owner);
    EXPECT_EQ(GetActiveWindow(), second);
    ShowWindow(second, SW_HIDE);
    EXPECT_EQ(GetActiveWindow(), owner);
    (void)other;
}

TEST_F(InputTest, ClickActivatesAndRaisesAnInactiveWindow) {
    HWND a = Make(100, 100, 200, 200);
    HWND b = Make(150, 150, 200, 200);
    ASSERT_EQ(GetActiveWindow(), b);
    Click(110, 110);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(a, WM_LBUTTONUP) == 1; }));
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(CountOf(a, WM_MOUSEACTIVATE), 1);
    EXPECT_EQ(WindowFromPoint(POINT{200, 200}), a); // now on top
    EXPECT_EQ(GetFocus(), a);
}

TEST_F(InputTest, DoubleClicksOnlyForClassesAskingForThem) {
    HWND plain = Make(0, 0, 100, 100);
    HWND dbl = Make(200, 0, 100, 100, nullptr, WS_POPUP | WS_VISIBLE, 0, kDblClass);
    Click(10, 10);
    Click(10, 10);
    Click(210, 10);
    Click(210, 10);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(dbl, WM_LBUTTONUP) == 2; }));
    EXPECT_EQ(CountOf(plain, WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(CountOf(plain, WM_LBUTTONDOWN), 2);
    EXPECT_EQ(CountOf(dbl, WM_LBUTTONDOWN), 1);
    EXPECT_EQ(CountOf(dbl, WM_LBUTTONDBLCLK), 1);
}

TEST_F(InputTest, RightClickGivesContextMenuAndWheelCarriesDelta) {
    HWND h = Make(100, 100, 200, 200);
    Click(150, 160, InputButtonRight);
    input_wheel(-WHEEL_DELTA);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(h, WM_MOUSEWHEEL) == 1; }));
    std::vector<Rec> keep;
    const Rec* cm = LastOf(h, WM_CONTEXTMENU, keep);
    ASSERT_TRUE(cm);
    EXPECT_EQ(GET_X_LPARAM(cm->lParam), 150); // screen coordinates
    EXPECT_EQ(GET_Y_LPARAM(cm->lParam), 160);
    const Rec* wh = LastOf(h, WM_MOUSEWHEEL, keep);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wh->wParam), -WHEEL_DELTA);
}

TEST_F(InputTest, TransparentLayeredWindowNeverTakesInput) {
    HWND below = Make(100, 100, 200, 200);
    HWND shadow = Make(90, 90, 220, 220, below, WS_POPUP | WS_VISIBLE,
                       WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW);
    SetActiveWindow(below);
    Click(150, 150);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(below, WM_LBUTTONUP) == 1; }));
    EXPECT_EQ(CountOf(shadow, WM_NCHITTEST), 0);
    EXPECT_EQ(CountOf(shadow, WM_LBUTTONDOWN), 0);
}

} // namespace

namespace {

TEST_F(InputTest, InputIsRoutedAfterTheFirstWindowThreadHasEnded) {
    // Whichever thread made the first window, input keeps flowing to the
    // windows of the threads that remain.
    std::thread t([] {
        HWND h = CreateWindowEx(0, kRecClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                nullptr);
        DestroyWindow(h);
    });
    t.join();
    HWND h = Make(700, 700, 100, 100);
    Click(720, 720);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(h, WM_LBUTTONUP) == 1; }));
}

} // namespace
