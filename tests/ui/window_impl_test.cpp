// WindowImplBase on the headless window system: the skin from the embedded
// archive, the caption band, the rounded region, the message maps, the
// standard buttons and the system close command.
#include "host_test_util.h"

#include "plat/backend/headless/headless.h"
#include "plat/sys/text.h"
#include "plat/win/dialog_answers.h"

#include <gtest/gtest.h>

using namespace host_test;

namespace {

class WindowImpl : public ::testing::Test {
protected:
    void TearDown() override {
        for (UINT vk : {VK_MENU, VK_F4, VK_RETURN, VK_ESCAPE})
            plat::input_key(vk, false);
        plat::input_mouse_button(plat::InputButtonLeft, false);
        plat::input_mouse_move(1900, 1060);
        PumpNow();
    }
};

// Shows and paints a window (the first paint lays the tree out).
void ShowAndPaint(SkinWindow& w) {
    w.ShowWindow(true, true);
    PumpUntil([&] { return w.PM().GetFocus() != nullptr || !w.PM().IsUpdateNeeded(); });
    PumpNow();
}

} // namespace

TEST_F(WindowImpl, LoadsTheLayoutFromTheEmbeddedArchiveAndCentres) {
    SkinWindow a;
    ASSERT_NE(a.Open(), nullptr);
    EXPECT_EQ(a.inits, 1);
    ASSERT_NE(a.PM().FindControl(L"title"), nullptr);
    RECT rc;
    plat::GetWindowRect(a, &rc);
    EXPECT_EQ(rc.left, 680);
    EXPECT_EQ(rc.top, 316);
    EXPECT_EQ(rc.right - rc.left, 560);
    EXPECT_EQ(rc.bottom - rc.top, 408);
    // No caption bits are left in the style.
    EXPECT_EQ(plat::GetWindowLongPtr(a, GWL_STYLE) & WS_CAPTION, 0);
    plat::DestroyWindow(a);
    // A second window finds the archive already open and builds too.
    SkinWindow b(L"hostwindow.xml", L"SkinTestWindow2");
    ASSERT_NE(b.Open(), nullptr);
    EXPECT_EQ(b.inits, 1);
    EXPECT_NE(b.PM().FindControl(L"okbtn"), nullptr);
}

TEST_F(WindowImpl, LabelInTheCaptionDragsAndAButtonThereClicks) {
    SkinWindow w;
    ASSERT_NE(w.Open(), nullptr);
    w.callBaseOnClick = false;
    ShowAndPaint(w);
    RECT before;
    plat::GetWindowRect(w, &before);
    POINT pt = ScreenCentre(w, w.PM().FindControl(L"title"));
    LRESULT hit = plat::SendMessage(w, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    EXPECT_EQ(hit, HTCAPTION);
    MoveTo(pt.x, pt.y);
    Button(true);
    MoveTo(pt.x + 30, pt.y + 20);
    Button(false);
    RECT after;
    plat::GetWindowRect(w, &after);
    EXPECT_EQ(after.left - before.left, 30);
    EXPECT_EQ(after.top - before.top, 20);
    EXPECT_TRUE(w.clicks.empty());

    pt = ScreenCentre(w, w.PM().FindControl(L"closebtn"));
    EXPECT_EQ(plat::SendMessage(w, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y)), HTCLIENT);
    MoveTo(pt.x, pt.y);
    Button(true);
    Button(false);
    EXPECT_EQ(w.clicks, (std::vector<std::wstring>{L"closebtn"}));
    // Below the band everything is client area.
    POINT body = {after.left + 20, after.top + 200};
    EXPECT_EQ(plat::SendMessage(w, WM_NCHITTEST, 0, MAKELPARAM(body.x, body.y)), HTCLIENT);
}

TEST_F(WindowImpl, CloseButtonReachesTheDerivedHandlerFirst) {
    QuitGuard guard;
    {
        // The derived handler does not call the base: the window stays.
        SkinWindow w;
        ASSERT_NE(w.Open(), nullptr);
        w.callBaseOnClick = false;
        ShowAndPaint(w);
        w.PM().SendNotify(w.PM().FindControl(L"closebtn"), DUI_MSGTYPE_CLICK);
        PumpNow();
        EXPECT_EQ(w.clicks, (std::vector<std::wstring>{L"closebtn"}));
        EXPECT_TRUE(plat::IsWindow(w));
    }
    {
        // With the base's behaviour the modal loop ends with 1.
        SkinWindow w;
        ASSERT_NE(w.Open(), nullptr);
        w.PM().SendNotify(w.PM().FindControl(L"closebtn"), DUI_MSGTYPE_CLICK);
        EXPECT_EQ(w.ShowModal(), 1u);
        EXPECT_EQ(w.clicks, (std::vector<std::wstring>{L"closebtn"}));
    }
}

TEST_F(WindowImpl, AltF4ClosesWithZeroWithoutOnClick) {
    QuitGuard guard;
    SkinWindow w;
    ASSERT_NE(w.Open(), nullptr);
    plat::input_key(VK_MENU, true);
    plat::input_key(VK_F4, true);
    plat::input_key(VK_F4, false);
    plat::input_key(VK_MENU, false);
    EXPECT_EQ(w.ShowModal(), 0u);
    EXPECT_TRUE(w.clicks.empty());
}

TEST_F(WindowImpl, AltF4WhileAButtonIsHeldClosesWithoutClickingIt) {
    QuitGuard guard;
    SkinWindow w;
    ASSERT_NE(w.Open(), nullptr);
    ShowAndPaint(w);
    POINT pt = ScreenCentre(w, w.PM().FindControl(L"okbtn"));
    MoveTo(pt.x, pt.y);
    Button(true);
    ASSERT_EQ(plat::GetCapture(), w.GetHWND());
    plat::input_key(VK_MENU, true);
    plat::input_key(VK_F4, true);
    EXPECT_EQ(w.ShowModal(), 0u);
    EXPECT_TRUE(w.clicks.empty());
    EXPECT_EQ(plat::GetCapture(), nullptr);
}

TEST_F(WindowImpl, EnterAndEscapeHaveNoDefaultEffect) {
    SkinWindow w;
    ASSERT_NE(w.Open(), nullptr);
    ShowAndPaint(w);
    // (A focused button would take Enter itself.)
    w.PM().SetFocus(nullptr);
    for (UINT vk : {VK_ESCAPE, VK_RETURN}) {
        Key(vk, true);
        Key(vk, false);
    }
    EXPECT_TRUE(plat::IsWindow(w));
    EXPECT_TRUE(w.clicks.empty());
    // The window's keyboard filter looked at both keys and let them go on.
    EXPECT_EQ(w.keyDowns, (std::vector<UINT>{VK_ESCAPE, VK_RETURN}));
}

TEST_F(WindowImpl, TheSizeBoxAnswersItsEightHitCodesUnlessMaximised) {
    SkinWindow w;
    ASSERT_NE(w.Open(), nullptr);
    ShowAndPaint(w);
    RECT rc;
    plat::GetWindowRect(w, &rc); // 560 x 408
    auto hit = [&](int x, int y) {
        return plat::SendMessage(w, WM_NCHITTEST, 0, MAKELPARAM(rc.left + x, rc.top + y));
    };
    // Without a size box nothing is a border.
    EXPECT_EQ(hit(0, 200), HTCLIENT);
    EXPECT_EQ(hit(559, 407), HTCLIENT);
    w.PM().SetSizeBox(RECT{4, 4, 4, 4});
    EXPECT_EQ(hit(2, 2), HTTOPLEFT);
    EXPECT_EQ(hit(280, 3), HTTOP);
    EXPECT_EQ(hit(558, 2), HTTOPRIGHT);
    EXPECT_EQ(hit(3, 200), HTLEFT);
    EXPECT_EQ(hit(559, 200), HTRIGHT);
    EXPECT_EQ(hit(2, 406), HTBOTTOMLEFT);
    EXPECT_EQ(hit(280, 405), HTBOTTOM);
    EXPECT_EQ(hit(558, 406), HTBOTTOMRIGHT);
    // Just inside the borders: the body (client width - right border is
    // not beyond the border).
    EXPECT_EQ(hit(4, 200), HTCLIENT);
    EXPECT_EQ(hit(556, 200), HTCLIENT);
    EXPECT_EQ(hit(280, 404), HTCLIENT);
    // A maximised window has no size box.
    plat::ShowWindow(w, SW_SHOWMAXIMIZED);
    PumpNow();
    plat::GetWindowRect(w, &rc);
    EXPECT_EQ(hit(2, 500), HTCLIENT);
    EXPECT_EQ(hit(rc.right - rc.left - 1, rc.bottom - rc.top - 1), HTCLIENT);
}

TEST_F(WindowImpl, RoundedCornersSurviveAResize) {
    SkinWindow w;
    ASSERT_NE(w.Open(), nullptr);
    ShowAndPaint(w);
    auto corners = [&](int cx, int cy) {
        plat::HeadlessImage img = plat::HeadlessCaptureWindow(w);
        EXPECT_EQ(img.width, cx);
        EXPECT_EQ(img.height, cy);
        // The corner pixels are cut away, their neighbours and the body stay.
        for (POINT c : {POINT{0, 0}, POINT{cx - 1, 0}, POINT{0, cy - 1}, POINT{cx - 1, cy - 1}})
            EXPECT_EQ(img.At(c.x, c.y) >> 24, 0u) << c.x << "," << c.y;
        EXPECT_EQ(img.At(2, 0) >> 24, 0xFFu);
        EXPECT_EQ(img.At(0, 2) >> 24, 0xFFu);
        EXPECT_EQ(img.At(cx / 2, cy / 2) >> 24, 0xFFu);
    };
    corners(560, 408);
    plat::SetWindowPos(w, nullptr, 0, 0, 600, 450, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpNow();
    corners(600, 450);
}

TEST_F(WindowImpl, MaximisedClientAreaIsTheWorkAreaWhereverItBegins) {
    // A desktop with a 30-pixel panel along the top.
    struct WorkArea {
        WorkArea() { plat::HeadlessSetWorkArea(RECT{0, 30, 1920, 1080}); }
        ~WorkArea() { plat::HeadlessSetWorkArea(RECT{0, 0, 0, 0}); }
    } panel;
    SkinWindow w;
    ASSERT_NE(w.Open(), nullptr);
    ShowAndPaint(w);
    plat::ShowWindow(w, SW_SHOWMAXIMIZED);
    PumpNow();
    RECT wr, cr;
    plat::GetWindowRect(w, &wr);
    plat::GetClientRect(w, &cr);
    EXPECT_EQ(wr.top, 30);
    EXPECT_EQ(wr.bottom, 1080);
    EXPECT_EQ(cr.right, 1920);
    EXPECT_EQ(cr.bottom, 1050);
    POINT origin{0, 0};
    plat::ClientToScreen(w, &origin);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 30) << "the client area starts below the panel";
    plat::ShowWindow(w, SW_RESTORE);
    PumpNow();
    plat::GetClientRect(w, &cr);
    EXPECT_EQ(cr.right, 560);
    EXPECT_EQ(cr.bottom, 408);
    origin = POINT{0, 0};
    plat::ClientToScreen(w, &origin);
    plat::GetWindowRect(w, &wr);
    EXPECT_EQ(origin.y, wr.top);
}

TEST_F(WindowImpl, AWindowThatDeletesItselfMayBeDestroyedFromItsOwnClickHandler) {
    // The click handler destroys the window at once; the object, its paint
    // manager and its controls stay until the handler's message is done.
    static int deleted = 0;
    struct SelfDeleting : SkinWindow {
        SelfDeleting() : SkinWindow(L"hostwindow.xml", L"SkinSelfDeleting") {}
        ~SelfDeleting() override { ++deleted; }
        void OnClick(TNotifyUI& msg) override {
            if (msg.pSender != nullptr && msg.pSender->GetName() == L"okbtn")
                plat::DestroyWindow(m_hWnd);
        }
        void OnFinalMessage(HWND hWnd) override {
            WindowImplBase::OnFinalMessage(hWnd);
            delete this;
        }
    };
    deleted = 0;
    auto* w = new SelfDeleting;
    HWND h = w->Open();
    ASSERT_NE(h, nullptr);
    ShowAndPaint(*w);
    POINT pt = ScreenCentre(h, w->PM().FindControl(L"okbtn"));
    MoveTo(pt.x, pt.y);
    Button(true);
    Button(false);
    EXPECT_FALSE(plat::IsWindow(h));
    EXPECT_EQ(deleted, 1);
}

TEST_F(WindowImpl, MissingLayoutEndsTheProcessWithTheMessageBox) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atexit([] {
                for (const plat::MessageBoxRecord& r : plat::MessageBoxesShown())
                    std::fprintf(stderr, "box [%s] [%s]\n", plat::WideToUtf8(r.caption).c_str(),
                                 plat::WideToUtf8(r.text).c_str());
            });
            SkinWindow w(L"no-such-layout.xml");
            w.Open();
        },
        ::testing::ExitedWithCode(1), "box \\[Veneer\\] \\[加载资源文件失败\\]");
}

// ------------------------------------------------------------ message maps

namespace {

std::vector<std::string> g_calls;

class BasePump : public CNotifyPump {
public:
    void OnBaseClick(TNotifyUI&) { g_calls.push_back("base-click"); }
    void OnBaseSelect(TNotifyUI&) { g_calls.push_back("base-select"); }
    UI_DECLARE_MESSAGE_MAP()
};
UI_BEGIN_MESSAGE_MAP(BasePump, CNotifyPump)
UI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, BasePump::OnBaseClick)
UI_ON_MSGTYPE(DUI_MSGTYPE_SELECTCHANGED, BasePump::OnBaseSelect)
UI_END_MESSAGE_MAP()

class DerivedPump : public BasePump {
public:
    void OnAnyClick(TNotifyUI&) { g_calls.push_back("any-click"); }
    void OnXClick(TNotifyUI&) { g_calls.push_back("x-click"); }
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam) {
        g_calls.push_back("timer " + std::to_string(wParam) + " " + std::to_string(lParam));
        return 0;
    }
    UI_DECLARE_MESSAGE_MAP()
};
UI_BEGIN_MESSAGE_MAP(DerivedPump, BasePump)
UI_ON_MSGTYPE_CTRNAME(DUI_MSGTYPE_CLICK, L"x", DerivedPump::OnXClick)
UI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, DerivedPump::OnAnyClick)
UI_ON_MSGTYPE_PARAMS(DUI_MSGTYPE_TIMER, DerivedPump::OnTimer)
UI_END_MESSAGE_MAP()

} // namespace

TEST(MessageMap, NamedEntriesWinGenericOnesAndDerivedMapsHideTheirBase) {
    DerivedPump pump;
    CControlUI x, y;
    x.SetName(L"x");
    y.SetName(L"y");
    auto dispatch = [&](CControlUI* sender, const wchar_t* type, WPARAM wp = 0, LPARAM lp = 0) {
        TNotifyUI msg;
        msg.pSender = sender;
        msg.sType = type;
        msg.wParam = wp;
        msg.lParam = lp;
        return pump.LoopDispatch(msg);
    };
    g_calls.clear();
    EXPECT_TRUE(dispatch(&x, L"click"));
    EXPECT_TRUE(dispatch(&y, L"click"));
    EXPECT_TRUE(dispatch(nullptr, L"click"));
    EXPECT_TRUE(dispatch(&y, L"selectchanged"));
    EXPECT_TRUE(dispatch(&y, L"timer", 3, 4));
    EXPECT_FALSE(dispatch(&x, L"Click")); // names compare exactly
    EXPECT_FALSE(dispatch(&x, L"textchanged"));
    EXPECT_EQ(g_calls, (std::vector<std::string>{"x-click", "any-click", "any-click", "base-select",
                                                 "timer 3 4"}));
}

TEST(MessageMap, VirtualWindowsTakeTheirNotificationsFirst) {
    DerivedPump main;
    BasePump page;
    EXPECT_TRUE(main.AddVirtualWnd(L"Page", &page));
    EXPECT_FALSE(main.AddVirtualWnd(L"Page", &page));
    CControlUI x;
    x.SetName(L"x");
    TNotifyUI msg;
    msg.pSender = &x;
    msg.sType = L"click";
    msg.sVirtualWnd = L"page"; // looked up without regard to case
    g_calls.clear();
    main.NotifyPump(msg);
    msg.sVirtualWnd.clear();
    main.NotifyPump(msg);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"base-click", "x-click"}));
    EXPECT_TRUE(main.RemoveVirtualWnd(L"Page"));
    EXPECT_FALSE(main.RemoveVirtualWnd(L"Page"));
}
