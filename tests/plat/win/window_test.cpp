// Classes, creation and destruction, window longs and properties, geometry
// and the monitor.
#include "helpers.h"

using namespace wintest;

namespace {

class WindowTest : public WinTest {};

TEST_F(WindowTest, ClassRegistersOncePerNameAndLooksUpSystemClasses) {
    WNDCLASS wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = L"PlatTestOnce";
    ASSERT_NE(RegisterClass(&wc), 0);
    // Names compare without regard to case.
    wc.lpszClassName = L"PLATTESTONCE";
    EXPECT_EQ(RegisterClass(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    WNDCLASSEX info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetClassInfoEx(nullptr, L"tooltips_class32", &info));
    EXPECT_NE(info.lpfnWndProc, nullptr);
    EXPECT_FALSE(GetClassInfoEx(nullptr, L"NoSuchClass", &info));
    EXPECT_EQ(CreateWindowEx(0, L"NoSuchClass", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                             nullptr, nullptr),
              nullptr);
    // A second window of a registered class is fine.
    EXPECT_TRUE(Make(0, 0, 1, 1, nullptr, WS_POPUP, 0, L"PlatTestOnce"));
    EXPECT_TRUE(Make(0, 0, 1, 1, nullptr, WS_POPUP, 0, L"platTestOnce"));
}

TEST_F(WindowTest, CreationSendsNcCreateWithParameterThenNcCalcSizeThenCreate) {
    int marker = 0;
    void* seenParam = nullptr;
    // The handler is installed for the next handle by watching WM_NCCREATE.
    HWND h = CreateWindowEx(0, kRecClass, L"title", WS_POPUP | WS_VISIBLE, 10, 20, 300, 200,
                            nullptr, nullptr, nullptr, &marker);
    made.push_back(h);
    ASSERT_TRUE(h);
    std::vector<Rec> log = LogCopy();
    for (auto& r : log)
        if (r.hwnd == h && r.msg == WM_NCCREATE)
            seenParam = reinterpret_cast<CREATESTRUCT*>(r.lParam) ? nullptr : nullptr;
    auto seq = MessagesOf(h, {WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SHOWWINDOW,
                              WM_WINDOWPOSCHANGED, WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS});
    std::vector<UINT> want{WM_NCCREATE,         WM_NCCALCSIZE, WM_CREATE,   WM_SHOWWINDOW,
                           WM_WINDOWPOSCHANGED, WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS};
    EXPECT_EQ(seq, want);
    (void)seenParam;
    wchar_t title[16];
    GetWindowText(h, title, 16);
    EXPECT_STREQ(title, L"title");
    EXPECT_EQ(GetActiveWindow(), h);
    EXPECT_EQ(GetFocus(), h);
}

TEST_F(WindowTest, CreationParameterArrivesWithNcCreate) {
    int marker = 42;
    void* got = nullptr;
    struct Probe {
        static LRESULT Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
            if (msg == WM_NCCREATE)
                SetWindowLongPtr(h, GWLP_USERDATA,
                                 reinterpret_cast<LONG_PTR>(
                                     reinterpret_cast<CREATESTRUCT*>(lp)->lpCreateParams));
            return DefWindowProc(h, msg, wp, lp);
        }
    };
    WNDCLASS wc{};
    wc.lpfnWndProc = Probe::Proc;
    wc.lpszClassName = L"PlatTestProbe";
    RegisterClass(&wc);
    HWND h = Make(0, 0, 5, 5, nullptr, WS_POPUP, 0, L"PlatTestProbe", L"", &marker);
    got = reinterpret_cast<void*>(GetWindowLongPtr(h, GWLP_USERDATA));
    EXPECT_EQ(got, &marker);
}

TEST_F(WindowTest, FailingCreateDestroysAndReturnsNull) {
    struct Failer {
        static LRESULT Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
            RecordingProc(h, msg, wp, lp);
            if (msg == WM_CREATE)
                return -1;
            return DefWindowProc(h, msg, wp, lp);
        }
    };
    WNDCLASS wc{};
    wc.lpfnWndProc = Failer::Proc;
    wc.lpszClassName = L"PlatTestFailer";
    RegisterClass(&wc);
    EXPECT_EQ(Make(0, 0, 5, 5, nullptr, WS_POPUP, 0, L"PlatTestFailer"), nullptr);
    auto log = LogCopy();
    ASSERT_FALSE(log.empty());
    HWND h = log.front().hwnd;
    EXPECT_FALSE(IsWindow(h));
    auto seq = MessagesOf(h, {WM_CREATE, WM_DESTROY, WM_NCDESTROY});
    EXPECT_EQ(seq, (std::vector<UINT>{WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(WindowTest, DestroyingAnOwnerDestroysOwnedWindowsFirst) {
    HWND owner = Make(0, 0, 100, 100);
    HWND a = Make(0, 0, 10, 10, owner);
    HWND b = Make(0, 0, 10, 10, owner);
    HWND grandchild = Make(0, 0, 10, 10, a);
    ClearLog();
    DestroyWindow(owner);
    std::vector<std::pair<HWND, UINT>> order;
    for (auto& r : LogCopy())
        if (r.msg == WM_DESTROY || r.msg == WM_NCDESTROY)
            order.push_back({r.hwnd, r.msg});
    // Every owned window has its WM_NCDESTROY before the owner's WM_DESTROY.
    auto pos = [&](HWND h, UINT m) {
        for (size_t i = 0; i < order.size(); ++i)
            if (order[i].first == h && order[i].second == m)
                return static_cast<int>(i);
        return -1;
    };
    ASSERT_NE(pos(owner, WM_DESTROY), -1);
    for (HWND o : {a, b, grandchild}) {
        EXPECT_NE(pos(o, WM_NCDESTROY), -1);
        EXPECT_LT(pos(o, WM_NCDESTROY), pos(owner, WM_DESTROY));
        EXPECT_FALSE(IsWindow(o));
    }
    EXPECT_LT(pos(grandchild, WM_NCDESTROY), pos(a, WM_DESTROY));
    EXPECT_LT(pos(owner, WM_DESTROY), pos(owner, WM_NCDESTROY));
    EXPECT_FALSE(IsWindow(owner));
}

TEST_F(WindowTest, ChildWindowsGetDestroyBetweenParentsDestroyAndNcDestroy) {
    HWND parent = Make(0, 0, 100, 100);
    HWND child = CreateWindowEx(0, kRecClass, L"c", WS_CHILD | WS_VISIBLE, 5, 5, 10, 10, parent,
                                reinterpret_cast<HMENU>(7), nullptr, nullptr);
    ASSERT_TRUE(child);
    EXPECT_EQ(GetParent(child), parent);
    EXPECT_EQ(GetWindowLongPtr(child, GWL_ID), 7);
    RECT r;
    GetWindowRect(child, &r);
    EXPECT_EQ(r.left, 5);
    ClearLog();
    DestroyWindow(parent);
    std::vector<std::pair<HWND, UINT>> seq;
    for (auto& rec : LogCopy())
        if (rec.msg == WM_DESTROY || rec.msg == WM_NCDESTROY)
            seq.push_back({rec.hwnd, rec.msg});
    std::vector<std::pair<HWND, UINT>> want{
        {parent, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {parent, WM_NCDESTROY}};
    EXPECT_EQ(seq, want);
}

TEST_F(WindowTest, CloseDestroysByDefault) {
    HWND h = Make(0, 0, 10, 10);
    PostMessage(h, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(h); }));
    auto seq = MessagesOf(h, {WM_CLOSE, WM_DESTROY, WM_NCDESTROY});
    EXPECT_EQ(seq, (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(WindowTest, CloseHandledByTheWindowKeepsIt) {
    HWND h = Make(0, 0, 10, 10);
    SetHandler(h, [](HWND, UINT msg, WPARAM, LPARAM, LRESULT* r) {
        *r = 0;
        return msg == WM_CLOSE;
    });
    SendMessage(h, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(h));
}

TEST_F(WindowTest, SystemCommandsChangeShowState) {
    HWND h = Make(100, 100, 200, 150, nullptr, WS_POPUP | WS_VISIBLE | WS_MAXIMIZEBOX);
    SendMessage(h, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_TRUE(IsZoomed(h));
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_EQ(r.right - r.left, 1920);
    EXPECT_EQ(r.bottom - r.top, 1040);
    std::vector<Rec> keep;
    const Rec* size = LastOf(h, WM_SIZE, keep);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->wParam, SIZE_MAXIMIZED);
    SendMessage(h, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsZoomed(h));
    GetWindowRect(h, &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.right - r.left, 200);
    SendMessage(h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(h));
    size = LastOf(h, WM_SIZE, keep);
    EXPECT_EQ(size->wParam, SIZE_MINIMIZED);
    EXPECT_NE(GetActiveWindow(), h);
    SendMessage(h, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(h));
    SendMessage(h, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(WindowTest, LongsPropsAndProcedureReplacement) {
    HWND h = Make(0, 0, 10, 10, nullptr, WS_POPUP);
    EXPECT_EQ(GetWindowLongPtr(h, GWL_STYLE) & WS_POPUP, static_cast<LONG_PTR>(WS_POPUP));
    LONG_PTR style = GetWindowLongPtr(h, GWL_STYLE);
    SetWindowLongPtr(h, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_CAPTION));
    EXPECT_EQ(CountOf(h, WM_STYLECHANGED), 1);
    SetWindowLongPtr(h, GWL_USERDATA, 1234);
    EXPECT_EQ(GetWindowLongPtr(h, GWL_USERDATA), 1234);
    EXPECT_TRUE(SetProp(h, L"WndX", reinterpret_cast<HANDLE>(0x55)));
    EXPECT_EQ(GetProp(h, L"wndx"), reinterpret_cast<HANDLE>(0x55));
    EXPECT_EQ(RemoveProp(h, L"WndX"), reinterpret_cast<HANDLE>(0x55));
    EXPECT_EQ(GetProp(h, L"WndX"), nullptr);
    static int subclassed = 0;
    static WNDPROC previous = nullptr;
    struct Sub {
        static LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
            if (m == WM_USER + 9)
                ++subclassed;
            return CallWindowProc(previous, w, m, wp, lp);
        }
    };
    previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtr(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Sub::Proc)));
    EXPECT_EQ(previous, &RecordingProc);
    SendMessage(h, WM_USER + 9, 0, 0);
    EXPECT_EQ(subclassed, 1);
    EXPECT_EQ(CountOf(h, WM_USER + 9), 1); // the old procedure saw it too
    EXPECT_EQ(GetWindowLongPtr(reinterpret_cast<HWND>(0x1234), GWL_STYLE), 0);
}

TEST_F(WindowTest, CentredWindowLandsAtTheMiddleOfTheWorkArea) {
    HWND h = Make(CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_EQ(r.right - r.left, 0); // popups get no default size
    SetWindowPos(h, nullptr, 0, 0, 560, 408, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    ASSERT_TRUE(GetMonitorInfo(MonitorFromWindow(h, MONITOR_DEFAULTTONEAREST), &mi));
    EXPECT_EQ(mi.rcWork.right, 1920);
    EXPECT_EQ(mi.rcWork.bottom, 1040);
    EXPECT_EQ(mi.rcMonitor.bottom, 1080);
    GetWindowRect(h, &r);
    int w = r.right - r.left, hgt = r.bottom - r.top;
    int x = mi.rcWork.left + (mi.rcWork.right - mi.rcWork.left - w) / 2;
    int y = mi.rcWork.top + (mi.rcWork.bottom - mi.rcWork.top - hgt) / 2;
    SetWindowPos(h, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(h, &r);
    EXPECT_EQ(r.left, 680);
    EXPECT_EQ(r.top, 316);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
}

TEST_F(WindowTest, ResizeWithNoMoveNoZorderNoActivateGrowsAtTheBottomEdge) {
    HWND under = Make(0, 0, 50, 50);
    HWND h = Make(680, 316, 560, 408);
    HWND other = Make(0, 0, 50, 50);
    SetHandler(h, SolidPainter(RGB(200, 30, 30)));
    PumpNow();
    ASSERT_EQ(GetActiveWindow(), other);
    ClearLog();
    ASSERT_TRUE(
        SetWindowPos(h, nullptr, 0, 0, 560, 490, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE));
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_EQ(r.left, 680);
    EXPECT_EQ(r.top, 316);
    EXPECT_EQ(r.right, 1240);
    EXPECT_EQ(r.bottom, 806);
    RECT c;
    GetClientRect(h, &c);
    EXPECT_EQ(c.bottom, 490);
    EXPECT_EQ(GetActiveWindow(), other);
    EXPECT_EQ(GetWindow(other, GW_HWNDFIRST), other); // z-order unchanged
    EXPECT_EQ(CountOf(h, WM_MOVE), 0);
    std::vector<Rec> keep;
    const Rec* size = LastOf(h, WM_SIZE, keep);
    ASSERT_TRUE(size);
    EXPECT_EQ(LOWORD(size->lParam), 560);
    EXPECT_EQ(HIWORD(size->lParam), 490);
    // The new bottom band is painted on the screen.
    PumpNow();
    HeadlessImage img = HeadlessCaptureScreen();
    EXPECT_EQ(img.At(700, 800), Argb(RGB(200, 30, 30)));
    EXPECT_EQ(img.At(700, 806), kHeadlessDesktopColor);
    (void)under;
}

TEST_F(WindowTest, SizeChangeAsksTheWindowForItsClientArea) {
    HWND h = Make(100, 100, 200, 100);
    PumpNow();
    // The window keeps a 10-pixel frame of its own: it answers with the
    // proposed rectangle shrunk, and notes what it was asked.
    std::vector<NCCALCSIZE_PARAMS> asked;
    std::vector<WINDOWPOS> pos;
    LRESULT answer = 0;
    SetHandler(h, [&](HWND, UINT msg, WPARAM wp, LPARAM lp, LRESULT* r) {
        if (msg != WM_NCCALCSIZE || !wp)
            return false;
        auto* p = reinterpret_cast<NCCALCSIZE_PARAMS*>(lp);
        asked.push_back(*p);
        pos.push_back(*p->lppos);
        InflateRect(&p->rgrc[0], -10, -10);
        *r = answer;
        return true;
    });
    ASSERT_TRUE(SetWindowPos(h, nullptr, 0, 0, 300, 150, SWP_NOMOVE | SWP_NOZORDER));
    ASSERT_EQ(asked.size(), 1u);
    RECT want0{100, 100, 400, 250}, want1{100, 100, 300, 200};
    EXPECT_TRUE(EqualRect(&asked[0].rgrc[0], &want0)) << "the new window rectangle";
    EXPECT_TRUE(EqualRect(&asked[0].rgrc[1], &want1)) << "the old window rectangle";
    EXPECT_TRUE(EqualRect(&asked[0].rgrc[2], &want1)) << "the old client rectangle";
    EXPECT_EQ(pos[0].cx, 300);
    EXPECT_EQ(pos[0].cy, 150);
    RECT c;
    GetClientRect(h, &c);
    EXPECT_EQ(c.right, 280);
    EXPECT_EQ(c.bottom, 130);
    POINT origin{0, 0};
    ClientToScreen(h, &origin);
    EXPECT_EQ(origin.x, 110);
    EXPECT_EQ(origin.y, 110);
    // The next change is told the client rectangle the window chose.
    ASSERT_TRUE(SetWindowPos(h, nullptr, 0, 0, 320, 150, SWP_NOMOVE | SWP_NOZORDER));
    ASSERT_EQ(asked.size(), 2u);
    RECT oldClient{110, 110, 390, 240};
    EXPECT_TRUE(EqualRect(&asked[1].rgrc[2], &oldClient));
    // A move alone does not ask.
    ASSERT_TRUE(SetWindowPos(h, nullptr, 50, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
    EXPECT_EQ(asked.size(), 2u);
    // A frame change asks even at the same size; WVR_REDRAW repaints it all.
    PumpNow();
    RECT upd;
    ASSERT_FALSE(GetUpdateRect(h, &upd, FALSE));
    answer = WVR_REDRAW;
    ASSERT_TRUE(SetWindowPos(h, nullptr, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED));
    EXPECT_EQ(asked.size(), 3u);
    ASSERT_TRUE(GetUpdateRect(h, &upd, FALSE));
    EXPECT_EQ(upd.right, 300);
    EXPECT_EQ(upd.bottom, 130);
}

TEST_F(WindowTest, OwnedWindowsStayAboveTheirOwner) {
    HWND owner = Make(0, 0, 100, 100);
    HWND owned = Make(0, 0, 50, 50, owner);
    HWND other = Make(0, 0, 100, 100);
    EXPECT_EQ(GetWindow(owned, GW_OWNER), owner);
    EXPECT_EQ(GetParent(owned), owner); // a popup's parent is its owner
    SetActiveWindow(owner);
    // Raising the owner brings the owned window along, above it.
    EXPECT_EQ(GetWindow(owner, GW_HWNDFIRST), owned);
    EXPECT_EQ(GetWindow(owned, GW_HWNDNEXT), owner);
    EXPECT_EQ(GetWindow(owner, GW_HWNDNEXT), other);
    // Asking to put the owner above its owned window keeps it below.
    SetWindowPos(owner, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetWindow(owner, GW_HWNDFIRST), owned);
}

TEST_F(WindowTest, ClientScreenConversionsAndRectHelpers) {
    HWND h = Make(100, 50, 200, 100);
    POINT p{10, 20};
    ClientToScreen(h, &p);
    EXPECT_EQ(p.x, 110);
    EXPECT_EQ(p.y, 70);
    ScreenToClient(h, &p);
    EXPECT_EQ(p.x, 10);
    RECT a{0, 0, 10, 10}, b{5, 5, 20, 20}, u, i;
    EXPECT_TRUE(UnionRect(&u, &a, &b));
    EXPECT_EQ(u.right, 20);
    EXPECT_TRUE(IntersectRect(&i, &a, &b));
    EXPECT_EQ(i.left, 5);
    RECT far{30, 30, 40, 40};
    EXPECT_FALSE(IntersectRect(&i, &a, &far));
    EXPECT_TRUE(IsRectEmpty(&i));
    EXPECT_FALSE(PtInRect(&a, POINT{10, 5})); // right edge is outside
    RECT adj{0, 0, 560, 408};
    AdjustWindowRectEx(&adj, WS_POPUP | WS_CAPTION, FALSE, WS_EX_WINDOWEDGE);
    EXPECT_EQ(adj.right, 560); // no frame is ever added
}

TEST_F(WindowTest, DestroyWindowOfAnotherThreadFails) {
    HWND theirs = nullptr;
    std::promise<void> done;
    std::promise<void> made2;
    std::thread t([&] {
        theirs = CreateWindowEx(0, kRecClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                nullptr);
        made2.set_value();
        done.get_future().wait();
    });
    made2.get_future().wait();
    EXPECT_FALSE(DestroyWindow(theirs));
    EXPECT_TRUE(IsWindow(theirs));
    done.set_value();
    t.join();
}

} // namespace

namespace {

TEST_F(WindowTest, TopmostWindowsStayAboveActivatedOnes) {
    HWND top = Make(0, 0, 100, 100, nullptr, WS_POPUP | WS_VISIBLE, WS_EX_TOPMOST);
    HWND normal = Make(0, 0, 100, 100);
    SetActiveWindow(normal);
    EXPECT_EQ(GetWindow(normal, GW_HWNDFIRST), top);
    EXPECT_EQ(WindowFromPoint(POINT{50, 50}), top);
    SetWindowPos(top, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(GetWindowLongPtr(top, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    // It is now the top of the ordinary windows, until another is raised.
    EXPECT_EQ(GetWindow(normal, GW_HWNDFIRST), top);
    BringWindowToTop(normal);
    EXPECT_EQ(GetWindow(normal, GW_HWNDFIRST), normal);
}

TEST_F(WindowTest, MinimisedOwnerTakesItsOwnedWindowsOffTheScreen) {
    HWND owner = Make(100, 100, 200, 200);
    SetHandler(owner, SolidPainter(RGB(0, 200, 0)));
    HWND owned = Make(400, 100, 100, 100, owner);
    SetHandler(owned, SolidPainter(RGB(0, 0, 200)));
    PumpNow();
    EXPECT_EQ(HeadlessCaptureScreen().At(450, 150), Argb(RGB(0, 0, 200)));
    ShowWindow(owner, SW_MINIMIZE);
    HeadlessImage img = HeadlessCaptureScreen();
    EXPECT_EQ(img.At(450, 150), kHeadlessDesktopColor);
    EXPECT_EQ(img.At(150, 150), kHeadlessDesktopColor);
    RECT r;
    GetWindowRect(owner, &r);
    EXPECT_EQ(r.left, -32000);
    ShowWindow(owner, SW_RESTORE);
    PumpNow();
    img = HeadlessCaptureScreen();
    EXPECT_EQ(img.At(450, 150), Argb(RGB(0, 0, 200)));
    EXPECT_EQ(img.At(150, 150), Argb(RGB(0, 200, 0)));
    GetWindowRect(owner, &r);
    EXPECT_EQ(r.left, 100);
}

TEST_F(WindowTest, LayeredCallsRefuseWindowsThatAreNotLayered) {
    HWND h = Make(0, 0, 50, 50);
    EXPECT_FALSE(SetLayeredWindowAttributes(h, 0, 128, LWA_ALPHA));
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    EXPECT_FALSE(
        UpdateLayeredWindow(h, nullptr, nullptr, nullptr, nullptr, nullptr, 0, &bf, ULW_ALPHA));
    HWND l = Make(0, 0, 50, 50, nullptr, WS_POPUP | WS_VISIBLE, WS_EX_LAYERED);
    // A source DC that is not a DC is refused without touching the window.
    EXPECT_FALSE(UpdateLayeredWindow(l, nullptr, nullptr, nullptr, reinterpret_cast<HDC>(0x77),
                                     nullptr, 0, &bf, ULW_ALPHA));
    EXPECT_TRUE(SetLayeredWindowAttributes(l, 0, 128, LWA_ALPHA));
    BYTE alpha = 0;
    EXPECT_TRUE(GetLayeredWindowAttributes(l, nullptr, &alpha, nullptr));
    EXPECT_EQ(alpha, 128);
}

} // namespace
