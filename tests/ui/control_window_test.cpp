// The paint manager bound to a real window on the headless backend: painting
// through WM_PAINT, native timers driving an animation, keyboard focus and
// the posted clean-up message.
#include "control_test_util.h"
#include "plat/automation/automation.h"
#include "plat/win/winuser.h"
#include "uires_test_util.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

using namespace ctl_test;

namespace {

CPaintManagerUI* g_pm = nullptr;

// The few messages a window host hands to its manager.
plat::LRESULT HostProc(plat::HWND h, plat::UINT msg, plat::WPARAM wp, plat::LPARAM lp) {
    if (g_pm != nullptr) {
        switch (msg) {
        case WM_PAINT:
            g_pm->PaintWindow();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_TIMER:
            Inspect(*g_pm).FireTimer(static_cast<UINT>(wp));
            return 0;
        case WM_APP + 1:
            g_pm->ProcessDelayedCleanup();
            return 0;
        case WM_SIZE:
            g_pm->SetClientSize(LOWORD(lp), HIWORD(lp));
            return 0;
        default:
            break;
        }
    }
    return plat::DefWindowProc(h, msg, wp, lp);
}

bool PumpUntil(const std::function<bool()>& cond, int timeoutMs = 3000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        plat::MSG m;
        while (plat::PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
            plat::TranslateMessage(&m);
            plat::DispatchMessage(&m);
        }
        if (cond())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

class HostedWindow : public ::testing::Test {
protected:
    void SetUp() override {
        plat::WNDCLASSEX wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = HostProc;
        wc.lpszClassName = L"CtlTestHost";
        plat::RegisterClassEx(&wc);
        hwnd = plat::CreateWindowEx(0, L"CtlTestHost", L"host", WS_POPUP | WS_VISIBLE, 100, 100,
                                    120, 60, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
        w.pm.Init(hwnd);
        g_pm = &w.pm;
    }
    void TearDown() override {
        g_pm = nullptr;
        if (plat::IsWindow(hwnd))
            plat::DestroyWindow(hwnd);
    }
    plat::HWND hwnd = nullptr;
    Window w;
};

} // namespace

TEST_F(HostedWindow, PaintsTheTreeThroughWmPaint) {
    EXPECT_EQ(w.pm.GetClientSize().cx, 120);
    w.Build(L"<VerticalLayout bkcolor=\"#FF00FF00\"><Control name=\"top\" height=\"20\" "
            L"bkcolor=\"#FFFF0000\" /><Button name=\"b\" height=\"20\" /></VerticalLayout>");
    ASSERT_TRUE(PumpUntil([&] { return w.recorder.Count(L"windowinit") == 1; }));
    plat::HeadlessImage img = plat::HeadlessCaptureWindow(hwnd);
    EXPECT_EQ(img.At(5, 5), 0xFFFF0000u);
    EXPECT_EQ(img.At(5, 50), 0xFF00FF00u);
    // The first paint gave the first tab stop the focus, and the window the
    // keyboard focus.
    EXPECT_EQ(w.pm.GetFocus(), w.Find(L"b"));
    EXPECT_EQ(plat::GetFocus(), hwnd);

    // A change repaints through the window's update region.
    w.Find(L"top")->SetBkColor(0xFF0000FF);
    ASSERT_TRUE(
        PumpUntil([&] { return plat::HeadlessCaptureWindow(hwnd).At(5, 5) == 0xFF0000FFu; }));
    EXPECT_EQ(w.recorder.Count(L"windowinit"), 1);

    // Resizing the window lays the tree out again at the new size.
    plat::SetWindowPos(hwnd, nullptr, 0, 0, 200, 80, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(PumpUntil([&] { return w.Find(L"top")->GetWidth() == 200; }));
    ASSERT_TRUE(
        PumpUntil([&] { return plat::HeadlessCaptureWindow(hwnd).At(190, 70) == 0xFF00FF00u; }));
}

TEST_F(HostedWindow, WindowAttributesApplyOnceTheWindowExists) {
    CDialogBuilder builder;
    CControlUI* root = builder.Create(STRINGorID(L"<Window size=\"150,70\" caption=\"0,0,0,20\">"
                                                 L"<VerticalLayout /></Window>"),
                                      nullptr, nullptr, &w.pm);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(w.pm.GetInitSize().cx, 150);
    EXPECT_TRUE(RectIs(w.pm.GetCaptionRect(), 0, 0, 0, 20));
    plat::RECT rc{};
    ASSERT_TRUE(plat::GetClientRect(hwnd, &rc));
    EXPECT_EQ(rc.right - rc.left, 150);
    EXPECT_EQ(rc.bottom - rc.top, 70);
    w.pm.AttachDialog(root);
}

TEST_F(HostedWindow, NativeTimersDriveTheAnimation) {
    uires_test::TempDir dir;
    // A two-frame GIF with 1/100 s delays, written by hand: frame 0 red,
    // frame 1 blue (a clear code before every pixel keeps the codes 3 bits).
    std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 1,   0,   0xF1, 0,  0,
                                255, 0,   0,   0,   255, 0,   0, 0, 255, 255, 255,  255};
    for (int frame : {0, 2}) {
        gif.insert(gif.end(), {0x21, 0xF9, 0x04, 0x00, 1, 0, 0, 0});
        gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0, 2});
        // codes: 4, f, 4, f, 5 in 3 bits each, LSB first
        uint32_t bits = 4 | (frame << 3) | (4 << 6) | (frame << 9) | (5 << 12);
        gif.insert(gif.end(), {2, uint8_t(bits & 0xFF), uint8_t(bits >> 8), 0});
    }
    gif.push_back(0x3B);
    dir.write("a.gif", gif);
    uires_test::ResetSkinConfig();
    CPaintManagerUI::SetResourcePath(uires_test::W(dir.path()).c_str());

    w.Build(L"<VerticalLayout><GifAnim name=\"g\" bkimage=\"a.gif\" /></VerticalLayout>");
    CGifAnimUI* g = w.FindAs<CGifAnimUI>(L"g");
    ASSERT_EQ(g->GetFrameCount(), 2);
    EXPECT_TRUE(PumpUntil([&] { return g->GetCurrentFrame() == 1; }, 2000));
    EXPECT_TRUE(PumpUntil([&] { return g->GetCurrentFrame() == 0; }, 2000));
    ASSERT_TRUE(PumpUntil(
        [&] { return plat::HeadlessCaptureWindow(hwnd).At(60, 30) == 0xFF0000FFu; }, 3000));
    g->SetVisible(false);
    EXPECT_FALSE(g->IsPlaying());
    uires_test::ResetSkinConfig();
}

TEST_F(HostedWindow, RemovedControlIsDestroyedWhenThePostedMessageArrives) {
    w.Build(L"<VerticalLayout name=\"v\"><Control name=\"gone\" /></VerticalLayout>");
    CContainerUI* v = w.FindAs<CContainerUI>(L"v");
    v->Remove(w.Find(L"gone"));
    EXPECT_EQ(w.pm.GetDelayedCleanupCount(), 1);
    EXPECT_TRUE(PumpUntil([&] { return w.pm.GetDelayedCleanupCount() == 0; }));
    EXPECT_EQ(w.Find(L"gone"), nullptr);
}

TEST_F(HostedWindow, OpacityMakesTheWindowLayered) {
    w.pm.SetTransparent(128);
    EXPECT_EQ(w.pm.GetTransparent(), 128);
    EXPECT_NE(plat::GetWindowLongPtr(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
    w.pm.SetTransparent(300); // out of range: stored clamped, layering off
    EXPECT_EQ(w.pm.GetTransparent(), 255);
    EXPECT_EQ(plat::GetWindowLongPtr(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
}
