// The paint manager's message dispatch on a real headless window: native
// input becomes control events in the documented orders, with focus, Tab,
// timers, tooltips, the wheel and notifications.
#include "host_test_util.h"

#include <gtest/gtest.h>

using namespace host_test;

namespace {

// Client (x, y) of the test window at (100, 100) on the screen.
constexpr int kOx = 100, kOy = 100;

const wchar_t* kLayout = LR"(<Window size="400,200"><Container>
  <Rec name="a" float="true" pos="10,10,110,60" tabstop="true" setcursor="true"/>
  <Rec name="b" float="true" pos="110,10,210,60" tabstop="true"/>
  <Rec name="c" float="true" pos="220,10,320,60" tabstop="true" tooltip="tip c"/>
  <Rec name="d" float="true" pos="10,100,110,150" tooltip="tip d"/>
</Container></Window>)";

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        Events().clear();
        win = std::make_unique<HostWindow>(kLayout);
        ASSERT_NE(win->Open(kOx, kOy, 400, 200), nullptr);
        // The first paint lays out and focuses the first tab stop.
        ASSERT_TRUE(PumpUntil([&] { return win->pm.GetFocus() != nullptr; }));
        Events().clear();
        win->notes.clear();
    }
    void TearDown() override {
        for (UINT vk : {VK_MENU, VK_SHIFT, VK_CONTROL})
            plat::input_key(vk, false);
        plat::input_mouse_button(plat::InputButtonLeft, false);
        win.reset();
        plat::input_mouse_move(1900, 1060);
        PumpNow();
    }
    CControlUI* C(const wchar_t* name) { return win->pm.FindControl(name); }
    // Moves the mouse to a client point of the window.
    void Move(int x, int y) { MoveTo(kOx + x, kOy + y); }
    std::unique_ptr<HostWindow> win;
};

using Seq = std::vector<std::pair<std::wstring, int>>;

} // namespace

TEST_F(Dispatch, FirstPaintFocusesTheFirstTabStopAfterWindowInit) {
    HostWindow w(kLayout, L"HostTestWindow2");
    ASSERT_NE(w.Open(500, 500, 400, 200), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return w.pm.GetFocus() != nullptr; }));
    EXPECT_EQ(w.pm.GetFocus(), w.pm.FindControl(L"a"));
    ASSERT_GE(w.notes.size(), 2u);
    EXPECT_EQ(w.notes[0], L"windowinit:");
    EXPECT_EQ(w.notes[1], L"setfocus:a");
}

TEST_F(Dispatch, MovingFromOneControlToAnotherInOneStep) {
    Move(50, 30);
    Events().clear();
    Move(150, 30);
    const int kinds[] = {UIEVENT_MOUSELEAVE, UIEVENT_MOUSEENTER, UIEVENT_MOUSEMOVE};
    Seq seq = EventsOf({kinds[0], kinds[1], kinds[2]});
    EXPECT_EQ(
        seq,
        (Seq{{L"a", UIEVENT_MOUSELEAVE}, {L"b", UIEVENT_MOUSEENTER}, {L"b", UIEVENT_MOUSEMOVE}}));
    // One point and one tick count for all of them, each naming its receiver.
    ASSERT_EQ(Events().size(), 3u);
    for (const EventRec& e : Events()) {
        EXPECT_EQ(e.pt.x, 150);
        EXPECT_EQ(e.pt.y, 30);
        EXPECT_EQ(e.time, Events()[0].time);
        EXPECT_TRUE(e.senderIsControl);
    }
}

TEST_F(Dispatch, APressedControlKeepsTheMovesWhileTheButtonIsHeld) {
    Move(50, 30);
    Button(true);
    Events().clear();
    Move(150, 30);
    EXPECT_EQ(
        EventsOf({UIEVENT_MOUSELEAVE, UIEVENT_MOUSEENTER, UIEVENT_MOUSEMOVE}),
        (Seq{{L"a", UIEVENT_MOUSELEAVE}, {L"b", UIEVENT_MOUSEENTER}, {L"a", UIEVENT_MOUSEMOVE}}));
    EXPECT_TRUE(win->pm.IsCaptured());
    Events().clear();
    Button(false);
    EXPECT_EQ(EventsOf({UIEVENT_BUTTONUP}), (Seq{{L"a", UIEVENT_BUTTONUP}}));
    EXPECT_FALSE(win->pm.IsCaptured());
}

TEST_F(Dispatch, ButtonUpWithoutAPressInTheWindowSendsNothing) {
    // Pressed on the empty desktop, released over a control.
    MoveTo(1500, 900);
    Button(true);
    Move(50, 30);
    Events().clear();
    Button(false);
    EXPECT_TRUE(EventsOf({UIEVENT_BUTTONUP, UIEVENT_BUTTONDOWN}).empty());
}

TEST_F(Dispatch, ButtonDownFocusesAndCapturesTheControl) {
    Move(150, 30);
    Button(true);
    EXPECT_EQ(win->pm.GetFocus(), C(L"b"));
    EXPECT_TRUE(win->pm.IsCaptured());
    auto down = EventsOf({UIEVENT_BUTTONDOWN});
    EXPECT_EQ(down, (Seq{{L"b", UIEVENT_BUTTONDOWN}}));
    // The key state of a button event is the message's own.
    for (const EventRec& e : Events()) {
        if (e.type == UIEVENT_BUTTONDOWN) {
            EXPECT_EQ(e.keyState, MK_LBUTTON);
        }
    }
    Button(false);
}

TEST_F(Dispatch, LeavingTheWindowIsAMoveToMinusOne) {
    Move(50, 30);
    Events().clear();
    MoveTo(1500, 900);
    ASSERT_TRUE(PumpUntil([] { return !EventsOf({UIEVENT_MOUSELEAVE}).empty(); }));
    EXPECT_EQ(EventsOf({UIEVENT_MOUSELEAVE}), (Seq{{L"a", UIEVENT_MOUSELEAVE}}));
    for (const EventRec& e : Events()) {
        if (e.type == UIEVENT_MOUSELEAVE) {
            EXPECT_EQ(e.pt.x, -1);
            EXPECT_EQ(e.pt.y, -1);
        }
    }
    EXPECT_EQ(win->pm.GetMousePos().x, -1);
}

TEST_F(Dispatch, KeyboardAndCursorEventsHaveNoSender) {
    ASSERT_EQ(win->pm.GetFocus(), C(L"a"));
    Move(50, 30); // over a control that sets its own cursor
    Key('X', true);
    Key('X', false);
    plat::input_text(L"x");
    PumpNow();
    auto seq = EventsOf({UIEVENT_KEYDOWN, UIEVENT_KEYUP, UIEVENT_CHAR, UIEVENT_SETCURSOR});
    EXPECT_NE(std::find(seq.begin(), seq.end(),
                        std::make_pair(std::wstring(L"a"), int(UIEVENT_SETCURSOR))),
              seq.end());
    int keyboard = 0;
    for (const EventRec& e : Events()) {
        if (e.type == UIEVENT_KEYDOWN || e.type == UIEVENT_KEYUP || e.type == UIEVENT_CHAR ||
            e.type == UIEVENT_SETCURSOR) {
            EXPECT_TRUE(e.senderNull) << e.type;
            EXPECT_EQ(e.control, L"a");
            ++keyboard;
        } else {
            EXPECT_TRUE(e.senderIsControl) << e.type;
        }
    }
    EXPECT_GE(keyboard, 4);
    EXPECT_EQ(EventsOf({UIEVENT_KEYDOWN, UIEVENT_KEYUP, UIEVENT_CHAR}),
              (Seq{{L"a", UIEVENT_KEYDOWN},
                   {L"a", UIEVENT_CHAR},
                   {L"a", UIEVENT_KEYUP},
                   {L"a", UIEVENT_CHAR}}));
}

TEST_F(Dispatch, TabAndShiftTabWrapAround) {
    ASSERT_EQ(win->pm.GetFocus(), C(L"a"));
    Key(VK_TAB, true);
    Key(VK_TAB, false);
    EXPECT_EQ(win->pm.GetFocus(), C(L"b"));
    Key(VK_TAB, true);
    Key(VK_TAB, false);
    Key(VK_TAB, true);
    Key(VK_TAB, false);
    EXPECT_EQ(win->pm.GetFocus(), C(L"a")); // c was last: wraps to the first
    Key(VK_SHIFT, true);
    Key(VK_TAB, true);
    Key(VK_TAB, false);
    Key(VK_SHIFT, false);
    EXPECT_EQ(win->pm.GetFocus(), C(L"c")); // from the first back to the last
    // Tab is consumed by the pre-translation: the control never sees it.
    for (const EventRec& e : Events()) {
        EXPECT_FALSE(e.type == UIEVENT_KEYDOWN && e.key == VK_TAB);
    }
}

TEST_F(Dispatch, TimersFireWithTheirLocalIdAndKeepTheirNativeId) {
    CControlUI* a = C(L"a");
    ASSERT_TRUE(win->pm.SetTimer(a, 7, 10));
    EXPECT_FALSE(win->pm.SetTimer(a, 7, 10)); // running
    const UINT native = Inspect(win->pm).GetTimers().at(0).uWinTimer;
    EXPECT_EQ(native, 17u); // (0x1000 + 1) % 240
    auto fired = [] {
        for (const EventRec& e : Events())
            if (e.type == UIEVENT_TIMER && e.control == L"a" && e.wParam == 7 && e.senderIsControl)
                return true;
        return false;
    };
    ASSERT_TRUE(PumpUntil(fired));
    ASSERT_TRUE(win->pm.KillTimer(a, 7));
    EXPECT_FALSE(win->pm.KillTimer(a, 7));
    PumpNow();
    Events().clear();
    ASSERT_TRUE(win->pm.SetTimer(a, 7, 10));
    EXPECT_EQ(Inspect(win->pm).GetTimers().size(), 1u);
    EXPECT_EQ(Inspect(win->pm).GetTimers().at(0).uWinTimer, native);
    EXPECT_TRUE(PumpUntil(fired));
}

TEST_F(Dispatch, TooltipWindowIsMadeOnceAndHiddenOnTheNextControl) {
    auto hovered = [&](const wchar_t* name) {
        return PumpUntil([&] {
            for (const EventRec& e : Events())
                if (e.type == UIEVENT_MOUSEHOVER && e.control == name)
                    return true;
            return false;
        });
    };
    Move(50, 120); // d
    ASSERT_TRUE(hovered(L"d"));
    HWND tip = win->pm.GetTooltipWindow();
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(plat::IsWindowVisible(tip));
    wchar_t cls[64];
    plat::GetClassName(tip, cls, 64);
    EXPECT_STREQ(cls, L"tooltips_class32");
    EXPECT_EQ(plat::GetWindow(tip, GW_OWNER), win->GetHWND());
    Move(150, 30); // b: no tooltip of its own
    EXPECT_FALSE(plat::IsWindowVisible(tip));
    // A hover detected over d but taken after the move to b shows nothing.
    plat::SendMessage(win->GetHWND(), WM_MOUSEHOVER, 0, MAKELPARAM(50, 120));
    EXPECT_FALSE(plat::IsWindowVisible(tip));
    Events().clear();
    Move(250, 30); // c
    ASSERT_TRUE(hovered(L"c"));
    EXPECT_EQ(win->pm.GetTooltipWindow(), tip); // reused
    EXPECT_TRUE(plat::IsWindowVisible(tip));
    int tips = 0;
    plat::EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            wchar_t c[64];
            plat::GetClassName(h, c, 64);
            if (std::wcscmp(c, L"tooltips_class32") == 0)
                ++*reinterpret_cast<int*>(lp);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tips));
    EXPECT_EQ(tips, 1);
}

TEST_F(Dispatch, WheelDirections) {
    Move(50, 30);
    plat::input_wheel(-120); // towards the user
    PumpNow();
    plat::input_wheel(120);
    PumpNow();
    std::vector<WPARAM> dirs;
    for (const EventRec& e : Events())
        if (e.type == UIEVENT_SCROLLWHEEL) {
            EXPECT_EQ(e.control, L"a");
            dirs.push_back(e.wParam);
        }
    EXPECT_EQ(dirs, (std::vector<WPARAM>{1, 0}));
}

TEST_F(Dispatch, CloseEndsHoverAndPressAndDropsTheFocus) {
    Move(150, 30);
    Button(true);
    Events().clear();
    plat::PostMessage(win->GetHWND(), WM_CLOSE, 0, 0);
    PumpNow();
    EXPECT_FALSE(plat::IsWindow(win->GetHWND()));
    EXPECT_EQ(
        EventsOf({UIEVENT_MOUSELEAVE, UIEVENT_BUTTONUP, UIEVENT_KILLFOCUS}),
        (Seq{{L"b", UIEVENT_MOUSELEAVE}, {L"b", UIEVENT_BUTTONUP}, {L"b", UIEVENT_KILLFOCUS}}));
}

TEST_F(Dispatch, NestedNotificationIsDeliveredAtOnce) {
    win->onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == L"outer") {
            win->pm.SendNotify(C(L"b"), L"inner");
            win->notes.push_back(L"outer-end");
        }
    };
    win->pm.SendNotify(C(L"a"), L"outer");
    EXPECT_EQ(win->notes, (std::vector<std::wstring>{L"outer:a", L"inner:b", L"outer-end"}));
}

TEST_F(Dispatch, MessageFiltersComeFirstAndUnboundManagersHandleNothing) {
    struct Eat : IMessageFilterUI {
        LRESULT MessageHandler(UINT uMsg, WPARAM, LPARAM, bool& bHandled) override {
            if (uMsg == WM_MOUSEMOVE) {
                bHandled = true;
                return 42;
            }
            return 0;
        }
    } eat;
    win->pm.AddMessageFilter(&eat);
    LRESULT lRes = 0;
    EXPECT_TRUE(win->pm.MessageHandler(WM_MOUSEMOVE, 0, MAKELPARAM(50, 30), lRes));
    EXPECT_EQ(lRes, 42);
    EXPECT_TRUE(Events().empty());
    EXPECT_TRUE(win->pm.RemoveMessageFilter(&eat));
    EXPECT_FALSE(win->pm.RemoveMessageFilter(&eat));
    CPaintManagerUI unbound;
    EXPECT_FALSE(unbound.MessageHandler(WM_PAINT, 0, 0, lRes));
}

// ------------------------------------------------- a real pressed button

namespace {

// Client (x, y) of the button window at (600, 100); the button is at
// (10, 10)-(110, 60), a recording control at (150, 10)-(250, 60).
constexpr int kBx = 600, kBy = 100;

const wchar_t* kButtonLayout = LR"(<Window size="300,200"><Container name="box">
  <Button name="btn" float="true" pos="10,10,110,60"/>
  <Rec name="r" float="true" pos="150,10,250,60"/>
</Container></Window>)";

class PressedButton : public ::testing::Test {
protected:
    void SetUp() override {
        Events().clear();
        win = std::make_unique<HostWindow>(kButtonLayout, L"HostButtonWindow");
        ASSERT_NE(win->Open(kBx, kBy, 300, 200), nullptr);
        ASSERT_TRUE(PumpUntil([&] { return win->pm.GetFocus() != nullptr; }));
        btn = static_cast<CButtonUI*>(win->pm.FindControl(L"btn"));
        ASSERT_NE(btn, nullptr);
        win->notes.clear();
    }
    void TearDown() override {
        plat::input_mouse_button(plat::InputButtonLeft, false);
        win.reset();
        plat::input_mouse_move(1900, 1060);
        PumpNow();
    }
    // Presses the left button over the button and keeps it down.
    void PressButton() {
        MoveTo(kBx + 60, kBy + 30);
        Button(true);
        ASSERT_TRUE(win->pm.IsCaptured());
        ASSERT_EQ(plat::GetCapture(), win->GetHWND());
        ASSERT_NE(btn->GetButtonState() & UISTATE_PUSHED, 0u);
    }
    bool Clicked() const {
        return std::find(win->notes.begin(), win->notes.end(), L"click:btn") != win->notes.end();
    }
    CContainerUI* Box() { return static_cast<CContainerUI*>(win->pm.FindControl(L"box")); }
    std::unique_ptr<HostWindow> win;
    CButtonUI* btn = nullptr;
};

} // namespace

TEST_F(PressedButton, AClosePostedWhileTheButtonIsHeldClicksNothing) {
    PressButton();
    std::vector<std::wstring> clicks;
    win->onNotify = [&](TNotifyUI& msg) { clicks.push_back(msg.sType); };
    plat::PostMessage(win->GetHWND(), WM_CLOSE, 0, 0);
    PumpNow();
    EXPECT_FALSE(plat::IsWindow(win->GetHWND()));
    EXPECT_EQ(std::count(clicks.begin(), clicks.end(), L"click"), 0);
    EXPECT_EQ(plat::GetCapture(), nullptr);
}

TEST_F(PressedButton, RemovingThePressedButtonReleasesTheCapture) {
    PressButton();
    ASSERT_TRUE(Box()->Remove(btn)); // delayed: destroyed by the posted clean-up
    PumpUntil([&] { return win->pm.GetDelayedCleanupCount() == 0; });
    EXPECT_FALSE(win->pm.IsCaptured());
    EXPECT_EQ(plat::GetCapture(), nullptr);
    Button(false);
    // A click on another window reaches it.
    HostWindow other(kLayout, L"HostTestWindowOther");
    ASSERT_NE(other.Open(100, 400, 400, 200), nullptr);
    PumpNow();
    Events().clear();
    MoveTo(100 + 50, 400 + 30);
    Button(true);
    Button(false);
    EXPECT_EQ(EventsOf({UIEVENT_BUTTONDOWN, UIEVENT_BUTTONUP}),
              (Seq{{L"a", UIEVENT_BUTTONDOWN}, {L"a", UIEVENT_BUTTONUP}}));
}

TEST_F(PressedButton, AttachingANewTreeReleasesTheCapture) {
    PressButton();
    CDialogBuilder builder;
    CControlUI* root =
        builder.Create(STRINGorID(L"<Window><Container/></Window>"), nullptr, nullptr, &win->pm);
    ASSERT_NE(root, nullptr);
    win->pm.AttachDialog(root);
    EXPECT_FALSE(win->pm.IsCaptured());
    EXPECT_EQ(plat::GetCapture(), nullptr);
    PumpUntil([&] { return win->pm.GetDelayedCleanupCount() == 0; });
    Button(false);
    EXPECT_FALSE(win->pm.IsCaptured());
}

TEST_F(PressedButton, LosingTheCaptureEndsThePressWithoutAClick) {
    // Taken away by the window system, or by a cancel-mode request: the
    // release over the button afterwards is no click.
    for (bool cancelMode : {false, true}) {
        SCOPED_TRACE(cancelMode ? "WM_CANCELMODE" : "capture released");
        PressButton();
        if (cancelMode)
            plat::SendMessage(win->GetHWND(), WM_CANCELMODE, 0, 0);
        else
            plat::ReleaseCapture();
        EXPECT_FALSE(win->pm.IsCaptured());
        EXPECT_EQ(plat::GetCapture(), nullptr);
        EXPECT_EQ(btn->GetButtonState() & (UISTATE_PUSHED | UISTATE_CAPTURED), 0u);
        Button(false);
        EXPECT_FALSE(Clicked());
        // The next press and release click as usual.
        Button(true);
        Button(false);
        EXPECT_TRUE(Clicked());
        win->notes.clear();
    }
}

TEST_F(PressedButton, AButtonRemovedInItsClickHandlerOutlivesANestedModalLoop) {
    // The handler removes its own button and then asks a question: the
    // question's loop must not destroy the button under the handler.
    int cleanupsDuringTheQuestion = -1;
    win->onNotify = [&](TNotifyUI& msg) {
        if (msg.sType != L"click")
            return;
        Box()->Remove(btn);
        HostWindow question(kLayout, L"HostQuestionWindow");
        ASSERT_NE(question.Open(kBx + 20, kBy + 20, 400, 200, win->GetHWND()), nullptr);
        question.Close(1);
        EXPECT_EQ(question.ShowModal(), 1u);
        cleanupsDuringTheQuestion = win->pm.GetDelayedCleanupCount();
    };
    QuitGuard guard;
    MoveTo(kBx + 60, kBy + 30);
    Button(true);
    Button(false);
    EXPECT_EQ(cleanupsDuringTheQuestion, 1);
    EXPECT_TRUE(PumpUntil([&] { return win->pm.GetDelayedCleanupCount() == 0; }));
    EXPECT_EQ(win->pm.FindControl(L"btn"), nullptr);
}

TEST(LayeredPaint, TransparentBackgroundPushesPerPixelAlpha) {
    HostWindow w(LR"(<Window size="200,100" bktrans="true">
      <VerticalLayout><Control height="50" bkcolor="#80FF0000"/><Control/></VerticalLayout>
    </Window>)",
                 L"HostLayeredWindow");
    ASSERT_NE(w.Open(300, 300, 200, 100), nullptr);
    PumpUntil([&] { return !w.pm.IsUpdateNeeded(); });
    PumpNow();
    EXPECT_NE(plat::GetWindowLongPtr(w, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
    plat::HeadlessImage own = plat::HeadlessCaptureWindow(w);
    ASSERT_EQ(own.width, 200);
    EXPECT_EQ(own.At(100, 20), 0x80800000u); // half-transparent red, premultiplied
    EXPECT_EQ(own.At(100, 80), 0u);          // nothing painted: transparent
    // On the screen the desktop shows through.
    plat::HeadlessImage screen = plat::HeadlessCaptureScreen();
    EXPECT_EQ(screen.At(400, 380), plat::kHeadlessDesktopColor);
    EXPECT_NE(screen.At(400, 320), plat::kHeadlessDesktopColor);
}
