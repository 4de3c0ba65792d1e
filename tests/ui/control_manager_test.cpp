// The paint manager's control side without a window: attaching trees,
// "windowinit", focus and tab order, timers, queued notifications and the
// extra paint after a layout request during painting.
#include "control_test_util.h"

#include <gtest/gtest.h>

using namespace ctl_test;

namespace {

const wchar_t* kTabs = L"<VerticalLayout><Button name=\"a\" height=\"10\" /><Label name=\"l\" "
                       L"height=\"10\" /><Button name=\"b\" height=\"10\" /><Button name=\"c\" "
                       L"height=\"10\" visible=\"false\" /><Button name=\"d\" height=\"10\" "
                       L"enabled=\"false\" /><Button name=\"e\" height=\"10\" /></VerticalLayout>";

} // namespace

TEST(PaintManager, WindowInitOncePerAttachedTree) {
    Window w;
    w.Build(L"<VerticalLayout name=\"first\" />", 50, 50);
    EXPECT_EQ(w.recorder.Count(L"windowinit"), 0);
    w.Paint();
    w.Paint();
    EXPECT_EQ(w.recorder.Count(L"windowinit"), 1);
    EXPECT_EQ(w.recorder.entries[0].sender, w.pm.GetRoot());

    CDialogBuilder builder;
    CControlUI* second = builder.Create(STRINGorID(L"<Window><HorizontalLayout name=\"second\" />"
                                                   L"</Window>"),
                                        nullptr, nullptr, &w.pm);
    w.pm.AttachDialog(second);
    EXPECT_EQ(w.pm.GetDelayedCleanupCount(), 1); // the old root waits for clean-up
    w.Paint();
    EXPECT_EQ(w.recorder.Count(L"windowinit"), 2);
    EXPECT_EQ(w.recorder.entries.back().sender, second);
    w.pm.ProcessDelayedCleanup();
    EXPECT_EQ(w.Find(L"first"), nullptr);
    EXPECT_FALSE(w.pm.InitControls(nullptr));
}

TEST(PaintManager, NoRootOrNoSizePaintsNothing) {
    CPaintManagerUI pm;
    EXPECT_FALSE(Inspect(pm).PaintOffscreen());
    EXPECT_EQ(Inspect(pm).GetOffscreenBitmap(), nullptr);
    Window w;
    w.Build(L"<VerticalLayout />"); // no size given anywhere
    EXPECT_FALSE(Inspect(w.pm).PaintOffscreen());
    EXPECT_FALSE(Inspect(w.pm).SaveOffscreenPng("/nonexistent/x.png"));
}

TEST(PaintManager, TabOrderWrapsAndSkipsWhatCannotTakeTheFocus) {
    Window w;
    w.Build(kTabs, 50, 80);
    w.Paint();
    EXPECT_EQ(w.pm.GetFocus(), w.Find(L"a"));
    w.pm.SetNextTabControl();
    EXPECT_EQ(w.pm.GetFocus(), w.Find(L"b")); // the label is no tab stop
    w.pm.SetNextTabControl();
    EXPECT_EQ(w.pm.GetFocus(), w.Find(L"e")); // hidden and disabled skipped
    w.pm.SetNextTabControl();
    EXPECT_EQ(w.pm.GetFocus(), w.Find(L"a")); // wraps
    w.pm.SetNextTabControl(false);
    EXPECT_EQ(w.pm.GetFocus(), w.Find(L"e")); // backwards from the first: the last
    w.pm.SetNextTabControl(false);
    EXPECT_EQ(w.pm.GetFocus(), w.Find(L"b"));
}

TEST(PaintManager, FocusRulesAndNotifications) {
    Window w;
    w.Build(kTabs, 50, 80);
    w.Paint();
    w.recorder.entries.clear();
    w.pm.SetFocus(w.Find(L"b"));
    std::vector<std::wstring> expected = {L"killfocus", L"setfocus"};
    EXPECT_EQ(w.recorder.Types(), expected);
    EXPECT_EQ(w.recorder.entries[0].sender, w.Find(L"a"));
    EXPECT_FALSE(w.Find(L"a")->IsFocused());
    EXPECT_TRUE(w.Find(L"b")->IsFocused());

    w.pm.SetFocus(w.Find(L"d")); // disabled: the old focus goes, none comes
    EXPECT_EQ(w.pm.GetFocus(), nullptr);
    w.pm.SetFocus(w.Find(L"c")); // hidden
    EXPECT_EQ(w.pm.GetFocus(), nullptr);
    CButtonUI foreign;
    w.pm.SetFocus(&foreign);
    EXPECT_EQ(w.pm.GetFocus(), nullptr);

    w.pm.SetFocus(w.Find(L"e"));
    w.pm.KillFocus();
    EXPECT_EQ(w.pm.GetFocus(), nullptr);
    EXPECT_FALSE(w.Find(L"e")->IsFocused());

    // Focus needed: the next paint's forward move lands on the control.
    w.pm.SetFocusNeeded(w.Find(L"b"));
    EXPECT_TRUE(w.pm.IsFocusNeeded());
    Inspect(w.pm).PaintOffscreen();
    EXPECT_EQ(w.pm.GetFocus(), w.Find(L"b"));
    EXPECT_FALSE(w.pm.IsFocusNeeded());
}

TEST(PaintManager, TimersKeepTheirNativeIds) {
    Window w;
    w.Build(L"<VerticalLayout><Control name=\"a\" /><Control name=\"b\" /></VerticalLayout>", 20,
            20);
    CControlUI* a = w.Find(L"a");
    CControlUI* b = w.Find(L"b");
    ASSERT_TRUE(w.pm.SetTimer(a, 1, 100));
    ASSERT_EQ(Inspect(w.pm).GetTimers().size(), 1u);
    EXPECT_EQ(Inspect(w.pm).GetTimers()[0].uWinTimer, 17u); // (0x1000 + 1) % 240
    EXPECT_FALSE(w.pm.SetTimer(a, 1, 200));                 // already running
    EXPECT_TRUE(w.pm.SetTimer(b, 1, 100));
    EXPECT_TRUE(w.pm.KillTimer(a, 1));
    EXPECT_FALSE(w.pm.KillTimer(a, 1));
    EXPECT_FALSE(Inspect(w.pm).FireTimer(17)); // killed
    EXPECT_TRUE(w.pm.SetTimer(a, 1, 300));
    EXPECT_EQ(Inspect(w.pm).GetTimers()[0].uWinTimer, 17u);
    EXPECT_EQ(Inspect(w.pm).GetTimers()[0].uElapse, 300u);

    EXPECT_TRUE(Inspect(w.pm).FireTimer(17));
    ASSERT_EQ(w.recorder.Count(L"timer"), 1);
    EXPECT_EQ(w.recorder.entries.back().sender, a);
    EXPECT_EQ(w.recorder.entries.back().wParam, 1u);

    // A destroyed control's timers go with it.
    static_cast<CContainerUI*>(w.pm.GetRoot())->SetDelayedDestroy(false);
    static_cast<CContainerUI*>(w.pm.GetRoot())->Remove(b);
    EXPECT_EQ(Inspect(w.pm).GetTimers().size(), 1u);
    w.pm.RemoveAllTimers();
    EXPECT_TRUE(Inspect(w.pm).GetTimers().empty());
}

TEST(PaintManager, QueuedNotificationsArriveInOrderAndForgetDestroyedSenders) {
    Window w;
    w.Build(L"<VerticalLayout name=\"v\"><Control name=\"a\" /><Control name=\"b\" />"
            L"</VerticalLayout>",
            20, 20);
    CControlUI* a = w.Find(L"a");
    w.pm.SendNotify(a, L"first", 1, 0, true);
    w.pm.SendNotify(w.Find(L"b"), L"second", 2, 0, true);
    EXPECT_TRUE(w.recorder.entries.empty());
    CContainerUI* v = w.FindAs<CContainerUI>(L"v");
    v->SetDelayedDestroy(false);
    v->Remove(a);
    w.pm.DeliverQueuedNotifications();
    ASSERT_EQ(w.recorder.entries.size(), 2u);
    EXPECT_EQ(w.recorder.entries[0].type, L"first");
    EXPECT_EQ(w.recorder.entries[0].sender, nullptr);
    EXPECT_EQ(w.recorder.entries[1].wParam, 2u);
    w.pm.DeliverQueuedNotifications();
    EXPECT_EQ(w.recorder.entries.size(), 2u);
}

TEST(PaintManager, LayoutRequestedWhilePaintingGivesOneMorePaint) {
    // A control that asks for layout each time it paints.
    struct Restless : CControlUI {
        int paints = 0;
        void DoPaint(plat::HDC hDC, const RECT& rc) override {
            CControlUI::DoPaint(hDC, rc);
            if (++paints == 1)
                NeedParentUpdate();
        }
    };
    Window w;
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    Restless* r = new Restless;
    root->Add(r);
    w.Attach(root, 30, 30);
    EXPECT_TRUE(Inspect(w.pm).PaintOffscreen());
    EXPECT_TRUE(w.pm.IsUpdateNeeded());
    RECT pending = Inspect(w.pm).GetInvalidRect();
    EXPECT_FALSE(plat::IsRectEmpty(&pending));
    EXPECT_TRUE(Inspect(w.pm).PaintOffscreen());
    EXPECT_FALSE(w.pm.IsUpdateNeeded());
    pending = Inspect(w.pm).GetInvalidRect();
    EXPECT_TRUE(plat::IsRectEmpty(&pending));
    EXPECT_EQ(r->paints, 2);
}

TEST(PaintManager, ButtonStateChangeRepaintsOnlyItsRectangle) {
    Window w;
    w.Build(L"<VerticalLayout><Control height=\"20\" /><HorizontalLayout height=\"30\"><Control />"
            L"<Button name=\"b\" width=\"40\" hotbkcolor=\"#FF00FF00\" /><Control />"
            L"</HorizontalLayout><Control /></VerticalLayout>",
            100, 100);
    w.Paint();
    Inspect(w.pm).PaintOffscreen(); // nothing pending
    Window::Send(w.Find(L"b"), UIEVENT_MOUSEENTER, {50, 30});
    EXPECT_TRUE(RectIs(Inspect(w.pm).GetInvalidRect(), 30, 20, 70, 50))
        << RectText(Inspect(w.pm).GetInvalidRect());
}
