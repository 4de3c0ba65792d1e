// CWindowWnd on the headless window system: registration, binding,
// subclassing, the modal loop's result rules, owners and centring.
#include "host_test_util.h"

#include <gtest/gtest.h>

using namespace host_test;

namespace {

constexpr UINT kDestroyNow = WM_USER + 300;

// A bare window object that records what reaches it.
class PlainWnd : public CWindowWnd {
public:
    explicit PlainWnd(LPCTSTR cls = L"PlainTestWnd", LPCTSTR super = nullptr)
        : m_cls(cls), m_super(super) {}
    ~PlainWnd() {
        if (plat::IsWindow(m_hWnd))
            plat::DestroyWindow(m_hWnd);
    }
    LPCTSTR GetWindowClassName() const override { return m_cls; }
    LPCTSTR GetSuperClassName() const override { return m_super; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        messages.push_back(uMsg);
        if (uMsg == WM_CLOSE)
            ++closes;
        if (uMsg == kDestroyNow) {
            plat::DestroyWindow(m_hWnd);
            return 0;
        }
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }
    void OnFinalMessage(HWND hWnd) override {
        ++finals;
        finalHwnd = hWnd;
        handleAtFinal = m_hWnd;
    }
    bool Saw(UINT m) const {
        return std::find(messages.begin(), messages.end(), m) != messages.end();
    }

    std::vector<UINT> messages;
    int closes = 0;
    int finals = 0;
    HWND finalHwnd = nullptr;
    HWND handleAtFinal = reinterpret_cast<HWND>(1);

private:
    LPCTSTR m_cls;
    LPCTSTR m_super;
};

HWND Popup(PlainWnd& w, HWND owner = nullptr, int cx = 200, int cy = 100) {
    return w.Create(owner, L"t", WS_POPUP, 0, 10, 10, cx, cy);
}

} // namespace

TEST(WindowWnd, CloseGivesShowModalItsResultAndFinalMessageComesOnce) {
    QuitGuard guard;
    PlainWnd w;
    HWND h = Popup(w);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(w.GetHWND(), h);
    w.Close(1);
    EXPECT_EQ(w.ShowModal(), 1u);
    EXPECT_FALSE(plat::IsWindow(h));
    EXPECT_EQ(w.finals, 1);
    EXPECT_EQ(w.finalHwnd, h);
    EXPECT_EQ(w.handleAtFinal, nullptr); // unbound before OnFinalMessage
    EXPECT_EQ(w.GetHWND(), nullptr);
    // Close and ShowWindow on a gone window do nothing.
    w.Close(3);
    w.ShowWindow(true);
    EXPECT_EQ(w.ShowModal(), 0u);
}

TEST(WindowWnd, AWindowDestroyedInItsOwnHandlerGetsItsFinalMessageWhenTheHandlerReturns) {
    // The object deletes itself at its final message, as it may; the
    // handler that destroyed the window still runs on it afterwards.
    static int deleted = 0;
    struct SelfDeleting final : PlainWnd {
        ~SelfDeleting() { ++deleted; }
        LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
            if (uMsg == kDestroyNow) {
                plat::DestroyWindow(m_hWnd);
                finalsInsideTheHandler = finals;
                messages.push_back(uMsg); // the object is still there
                return 0;
            }
            return PlainWnd::HandleMessage(uMsg, wParam, lParam);
        }
        void OnFinalMessage(HWND hWnd) override {
            PlainWnd::OnFinalMessage(hWnd);
            *reportedFinals = finals;
            *reportedInside = finalsInsideTheHandler;
            delete this;
        }
        int finalsInsideTheHandler = -1;
        int* reportedFinals = nullptr;
        int* reportedInside = nullptr;
    };
    int finals = 0, inside = -1;
    auto* w = new SelfDeleting;
    w->reportedFinals = &finals;
    w->reportedInside = &inside;
    HWND h = Popup(*w);
    ASSERT_NE(h, nullptr);
    deleted = 0;
    plat::SendMessage(h, kDestroyNow, 0, 0);
    EXPECT_FALSE(plat::IsWindow(h));
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(finals, 1);
    EXPECT_EQ(inside, 0) << "the final message waits for the handler to return";
}

TEST(WindowWnd, SystemCloseCommandEndsTheLoopWithZero) {
    QuitGuard guard;
    PlainWnd w;
    ASSERT_NE(Popup(w), nullptr);
    // Alt+F4 reaches the window once it is shown and focused by ShowModal.
    plat::input_key(VK_MENU, true);
    plat::input_key(VK_F4, true);
    plat::input_key(VK_F4, false);
    plat::input_key(VK_MENU, false);
    EXPECT_EQ(w.ShowModal(), 0u);
    EXPECT_TRUE(w.Saw(WM_SYSCOMMAND));
    EXPECT_EQ(w.closes, 1);
}

TEST(WindowWnd, TwoClosesBeforeDispatchGiveTheFirstResult) {
    QuitGuard guard;
    PlainWnd w;
    HWND h = Popup(w);
    w.Close(1);
    w.Close(2);
    EXPECT_EQ(w.ShowModal(), 1u);
    EXPECT_EQ(w.closes, 1);
    // The second close addresses no live window: the enclosing loop drops it.
    MSG m;
    EXPECT_FALSE(plat::PeekMessage(&m, h, 0, 0, PM_REMOVE));
    PumpNow();
    EXPECT_EQ(w.closes, 1);
}

TEST(WindowWnd, OwnerIsEnabledAndFocusedAfterTheModalWindow) {
    QuitGuard guard;
    PlainWnd owner(L"PlainOwnerWnd");
    ASSERT_NE(owner.Create(nullptr, L"o", WS_POPUP | WS_VISIBLE, 0, 0, 0, 400, 300), nullptr);
    {
        PlainWnd dlg;
        ASSERT_NE(Popup(dlg, owner), nullptr);
        // Destroyed without WM_CLOSE: the later close finds no window.
        plat::PostMessage(dlg, kDestroyNow, 0, 0);
        dlg.Close(4);
        EXPECT_EQ(dlg.ShowModal(), 0u);
        EXPECT_EQ(dlg.closes, 0);
    }
    EXPECT_TRUE(plat::IsWindowEnabled(owner));
    EXPECT_EQ(plat::GetFocus(), owner.GetHWND());
    {
        PlainWnd dlg;
        ASSERT_NE(Popup(dlg, owner), nullptr);
        dlg.Close(2);
        EXPECT_EQ(dlg.ShowModal(), 2u);
    }
    EXPECT_TRUE(plat::IsWindowEnabled(owner));
    EXPECT_EQ(plat::GetFocus(), owner.GetHWND());
    EXPECT_EQ(plat::GetActiveWindow(), owner.GetHWND());
}

TEST(WindowWnd, OwnerIsDisabledWhileTheModalWindowRuns) {
    QuitGuard guard;
    PlainWnd owner(L"PlainOwnerWnd");
    ASSERT_NE(owner.Create(nullptr, L"o", WS_POPUP | WS_VISIBLE, 0, 0, 0, 400, 300), nullptr);
    struct Probe : PlainWnd {
        HWND owner = nullptr;
        bool enabledInside = true;
        LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
            if (uMsg == WM_USER + 301) {
                enabledInside = plat::IsWindowEnabled(owner) != FALSE;
                Close(7);
            }
            return PlainWnd::HandleMessage(uMsg, wParam, lParam);
        }
    } dlg;
    dlg.owner = owner;
    ASSERT_NE(Popup(dlg, owner), nullptr);
    dlg.PostMessage(WM_USER + 301);
    EXPECT_EQ(dlg.ShowModal(), 7u);
    EXPECT_FALSE(dlg.enabledInside);
}

TEST(WindowWnd, QuitInsideTheModalLoopEndsItAndIsPostedAgain) {
    QuitGuard guard;
    PlainWnd w;
    HWND h = Popup(w);
    plat::PostQuitMessage(5);
    EXPECT_EQ(w.ShowModal(), 0u);
    EXPECT_TRUE(plat::IsWindow(h)); // the window outlives its loop
    MSG m;
    ASSERT_TRUE(plat::PeekMessage(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(m.wParam, 5u);
}

namespace {

// A window that runs a second modal window from one of its handlers.
class NestingWnd : public PlainWnd {
public:
    static constexpr UINT kOpenInner = WM_USER + 310;
    static constexpr UINT kAfterInner = WM_USER + 311;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        if (uMsg == kOpenInner) {
            PlainWnd inner(L"PlainInnerWnd");
            inner.Create(m_hWnd, L"inner", WS_POPUP, 0, 20, 20, 100, 50);
            if (quitInside)
                plat::PostQuitMessage(6);
            else
                inner.Close(5);
            innerResult = inner.ShowModal();
            ownerEnabledAfterInner = plat::IsWindowEnabled(m_hWnd) != FALSE;
            if (!quitInside)
                PostMessage(kAfterInner);
        } else if (uMsg == kAfterInner) {
            ++afterInner;
            Close(2);
        }
        return PlainWnd::HandleMessage(uMsg, wParam, lParam);
    }
    bool quitInside = false;
    UINT innerResult = 99;
    bool ownerEnabledAfterInner = false;
    int afterInner = 0;
};

} // namespace

TEST(WindowWnd, NestedModalLoopsKeepTheirResultsAndAQuitEndsBoth) {
    QuitGuard guard;
    {
        // The inner loop ends with its own result; the outer one goes on
        // and ends with its own.
        NestingWnd outer;
        ASSERT_NE(Popup(outer), nullptr);
        outer.PostMessage(NestingWnd::kOpenInner);
        EXPECT_EQ(outer.ShowModal(), 2u);
        EXPECT_EQ(outer.innerResult, 5u);
        EXPECT_EQ(outer.afterInner, 1);
        EXPECT_TRUE(outer.ownerEnabledAfterInner); // handed back by the inner loop
    }
    {
        // A quit inside the inner loop ends it and then the outer loop; it
        // is left for the loop around both.
        NestingWnd outer;
        outer.quitInside = true;
        HWND h = Popup(outer);
        ASSERT_NE(h, nullptr);
        outer.PostMessage(NestingWnd::kOpenInner);
        EXPECT_EQ(outer.ShowModal(), 0u);
        EXPECT_EQ(outer.innerResult, 0u);
        EXPECT_EQ(outer.afterInner, 0);
        EXPECT_TRUE(plat::IsWindow(h));
        MSG m;
        ASSERT_TRUE(plat::PeekMessage(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(m.wParam, 6u);
        EXPECT_FALSE(plat::PeekMessage(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    }
}

TEST(WindowWnd, CentresOnTheWorkAreaAndClampsLargeWindows) {
    PlainWnd w;
    ASSERT_NE(Popup(w, nullptr, 560, 408), nullptr);
    w.CenterWindow();
    RECT rc;
    plat::GetWindowRect(w, &rc);
    EXPECT_EQ(rc.left, 680);
    EXPECT_EQ(rc.top, 316);
    EXPECT_EQ(rc.right - rc.left, 560);

    PlainWnd big;
    ASSERT_NE(Popup(big, nullptr, 2000, 1200), nullptr);
    big.CenterWindow();
    plat::GetWindowRect(big, &rc);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, 0);

    // An owned window centres on its owner.
    PlainWnd owner(L"PlainOwnerWnd");
    ASSERT_NE(owner.Create(nullptr, L"o", WS_POPUP, 0, 100, 200, 400, 300), nullptr);
    PlainWnd dlg;
    ASSERT_NE(Popup(dlg, owner, 100, 50), nullptr);
    dlg.CenterWindow();
    plat::GetWindowRect(dlg, &rc);
    EXPECT_EQ(rc.left, 250);
    EXPECT_EQ(rc.top, 325);
}

TEST(WindowWnd, SecondWindowOfARegisteredClassAndRegistrationFailure) {
    PlainWnd a, b;
    EXPECT_NE(Popup(a), nullptr);
    EXPECT_NE(Popup(b), nullptr);
    // A class that cannot be registered creates nothing; its modal loop
    // returns at once.
    PlainWnd bad(L"");
    EXPECT_EQ(Popup(bad), nullptr);
    EXPECT_EQ(bad.ShowModal(), 0u);
    EXPECT_EQ(bad.finals, 0);
}

TEST(WindowWnd, ShowWindowFlags) {
    PlainWnd owner(L"PlainOwnerWnd");
    ASSERT_NE(owner.Create(nullptr, L"o", WS_POPUP, 0, 0, 0, 100, 100), nullptr);
    owner.ShowWindow(true, true);
    EXPECT_EQ(plat::GetActiveWindow(), owner.GetHWND());
    PlainWnd w;
    ASSERT_NE(Popup(w), nullptr);
    w.ShowWindow(true, false);
    EXPECT_TRUE(plat::IsWindowVisible(w));
    EXPECT_EQ(plat::GetActiveWindow(), owner.GetHWND()); // not activated
    w.ShowWindow(false);
    EXPECT_FALSE(plat::IsWindowVisible(w));
}

TEST(WindowWnd, SubclassRoutesAnExistingWindowAndUnsubclassGivesItBack) {
    WNDCLASS wc{};
    wc.lpfnWndProc = plat::DefWindowProc;
    wc.lpszClassName = L"PlainExisting";
    plat::RegisterClass(&wc);
    HWND h = plat::CreateWindowEx(0, L"PlainExisting", L"x", WS_POPUP, 0, 0, 50, 50, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(h, nullptr);
    PlainWnd w;
    EXPECT_EQ(w.Subclass(h), h);
    plat::SendMessage(h, WM_USER + 5, 0, 0);
    EXPECT_TRUE(w.Saw(WM_USER + 5));
    w.Unsubclass();
    w.messages.clear();
    plat::SendMessage(h, WM_USER + 6, 0, 0);
    EXPECT_FALSE(w.Saw(WM_USER + 6));
    EXPECT_EQ(plat::GetWindowLongPtr(h, GWLP_WNDPROC),
              reinterpret_cast<LONG_PTR>(plat::DefWindowProc));
    // Subclassed again, the window's last message reaches the object once.
    PlainWnd w2;
    w2.Subclass(h);
    plat::DestroyWindow(h);
    EXPECT_EQ(w2.finals, 1);
    EXPECT_EQ(w2.GetHWND(), nullptr);
    // Subclassing a window that does not exist changes nothing.
    PlainWnd w3;
    EXPECT_EQ(w3.Subclass(h), nullptr);
    EXPECT_EQ(w3.GetHWND(), nullptr);
}

TEST(WindowWnd, SuperclassKeepsTheObjectInAPropertyAndForwardsToTheBaseClass) {
    static int baseCalls = 0;
    WNDCLASSEX wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_USER + 7)
            ++baseCalls;
        return plat::DefWindowProc(h, m, wp, lp);
    };
    wc.hInstance = CPaintManagerUI::GetInstance();
    wc.lpszClassName = L"PlainBaseClass";
    plat::RegisterClassEx(&wc);
    PlainWnd w(L"PlainSuperClass", L"PlainBaseClass");
    HWND h = Popup(w);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(plat::GetProp(h, L"WndX"), static_cast<HANDLE>(static_cast<CWindowWnd*>(&w)));
    w.SendMessage(WM_USER + 7);
    EXPECT_TRUE(w.Saw(WM_USER + 7));
    EXPECT_EQ(baseCalls, 1); // the default handling is the base class's procedure
    plat::DestroyWindow(h);
    EXPECT_EQ(w.finals, 1);
    // A superclass of a class that does not exist cannot be created.
    PlainWnd none(L"PlainSuperNone", L"NoSuchBaseClass");
    EXPECT_EQ(Popup(none), nullptr);
}

TEST(WindowWnd, ResizeClientKeepsTheOtherSide) {
    PlainWnd w;
    ASSERT_NE(Popup(w, nullptr, 300, 200), nullptr);
    w.ResizeClient(400, -1);
    RECT rc;
    plat::GetClientRect(w, &rc);
    EXPECT_EQ(rc.right, 400);
    EXPECT_EQ(rc.bottom, 200);
    w.ResizeClient(-1, 50);
    plat::GetClientRect(w, &rc);
    EXPECT_EQ(rc.right, 400);
    EXPECT_EQ(rc.bottom, 50);
}
