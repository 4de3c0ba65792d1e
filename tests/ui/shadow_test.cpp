// The drop shadow: the computed picture, the companion window's geometry and
// its life with the skinned window (show, hide, minimise, grow, shrink).
#include "host_test_util.h"
#include "plat/gfx/gdi.h"
#include "ui/UIShadow.h"

#include <gtest/gtest.h>

using namespace host_test;

namespace {

// The installer's settings: size 5, sharpness 5, darkness 70, #333333.
void InstallerSettings(CShadowUI& s) {
    s.SetSize(5);
    s.SetSharpness(5);
    s.SetDarkness(70);
    s.SetColor(0x333333);
}

uint32_t Premul(uint32_t alpha) {
    const uint32_t c = 0x33 * alpha / 255;
    return alpha << 24 | c << 16 | c << 8 | c;
}

class Shadow : public ::testing::Test {
protected:
    void TearDown() override {
        plat::input_mouse_move(1900, 1060);
        PumpNow();
    }
};

RECT RectOf(HWND h) {
    RECT rc{};
    plat::GetWindowRect(h, &rc);
    return rc;
}

} // namespace

TEST(ShadowPicture, BorderFallsOffFromTheWindowEdgeAndRoundsTheCorners) {
    CShadowUI s;
    InstallerSettings(s);
    HRGN rgn = plat::CreateRectRgn(0, 0, 100, 60);
    std::vector<uint32_t> px = s.ComputeShadow(rgn, 100, 60);
    plat::DeleteObject(rgn);
    ASSERT_EQ(px.size(), 110u * 70u);
    auto at = [&](int x, int y) { return px[static_cast<size_t>(y) * 110 + x]; };
    // 1 to 5 pixels left of the window's left edge (window x 0 is shadow x 5).
    const uint32_t expected[] = {58, 46, 35, 23, 11};
    for (int d = 1; d <= 5; ++d) {
        EXPECT_EQ(at(5 - d, 35), Premul(expected[d - 1])) << d;
        EXPECT_EQ(at(104 + d, 35), Premul(expected[d - 1])) << d; // right edge
        EXPECT_EQ(at(50, 5 - d), Premul(expected[d - 1])) << d;   // top edge
        EXPECT_EQ(at(50, 64 + d), Premul(expected[d - 1])) << d;  // bottom edge
    }
    // Under the window: transparent, its edge pixels included.
    EXPECT_EQ(at(5, 35), 0u);
    EXPECT_EQ(at(50, 35), 0u);
    EXPECT_EQ(at(104, 64), 0u);
    // Circular fall-off around the corner: 3 pixels out on both axes is
    // sqrt(18) away, (1 - 4.24 / 6) * 70 = 20.
    EXPECT_EQ(at(2, 2), Premul(20));
    EXPECT_EQ(at(0, 0), 0u); // sqrt(50) > 5: outside the kernel
}

TEST(ShadowPicture, InnerEdgeFollowsARoundedRegion) {
    CShadowUI s;
    InstallerSettings(s);
    HRGN square = plat::CreateRectRgn(0, 0, 100, 60);
    HRGN round = plat::CreateRoundRectRgn(0, 0, 101, 61, 2, 2);
    std::vector<uint32_t> a = s.ComputeShadow(square, 100, 60);
    std::vector<uint32_t> b = s.ComputeShadow(round, 100, 60);
    plat::DeleteObject(square);
    plat::DeleteObject(round);
    auto at = [](const std::vector<uint32_t>& px, int x, int y) {
        return px[static_cast<size_t>(y) * 110 + x];
    };
    // The window's corner pixel is outside a rounded window: shadow shows
    // there, while a square window covers it.
    EXPECT_EQ(at(a, 5, 5), 0u);
    EXPECT_GT(at(b, 5, 5) >> 24, 0u);
    EXPECT_EQ(at(b, 50, 35), 0u);
    // Away from the corners the two agree.
    EXPECT_EQ(at(a, 2, 35), at(b, 2, 35));
}

TEST(ShadowPicture, NoRegionLeavesItTransparentAndOffsetsMoveTheShadow) {
    CShadowUI s;
    InstallerSettings(s);
    std::vector<uint32_t> none = s.ComputeShadow(nullptr, 40, 30);
    ASSERT_EQ(none.size(), 50u * 40u);
    for (uint32_t v : none)
        ASSERT_EQ(v, 0u);
    // Shifted 3 down: the strip under the window's bottom edge is darker
    // than the one above its top edge.
    ASSERT_TRUE(s.SetPosition(0, 3));
    HRGN rgn = plat::CreateRectRgn(0, 0, 40, 30);
    std::vector<uint32_t> px = s.ComputeShadow(rgn, 40, 30);
    plat::DeleteObject(rgn);
    EXPECT_GT(px[static_cast<size_t>(37) * 50 + 20] >> 24,
              px[static_cast<size_t>(2) * 50 + 20] >> 24);
}

TEST(ShadowPicture, SettersRefuseOutOfRangeValues) {
    CShadowUI s;
    EXPECT_FALSE(s.SetSize(21));
    EXPECT_FALSE(s.SetSize(-21));
    EXPECT_TRUE(s.SetSize(-20));
    EXPECT_EQ(s.GetSize(), -20);
    EXPECT_FALSE(s.SetSharpness(21));
    EXPECT_FALSE(s.SetDarkness(256));
    EXPECT_FALSE(s.SetPosition(0, 21));
    EXPECT_FALSE(s.SetPosition(-21, 0));
    EXPECT_FALSE(s.SetShadowCorner(RECT{-1, 0, 0, 0}));
    EXPECT_FALSE(s.SetImage(nullptr));
    EXPECT_EQ(s.GetSize(), -20);
    // Large negative sizes and sharpness stay inside the picture.
    ASSERT_TRUE(s.SetSharpness(20));
    HRGN rgn = plat::CreateRectRgn(0, 0, 60, 50);
    EXPECT_EQ(s.ComputeShadow(rgn, 60, 50).size(), 20u * 10u);
    plat::DeleteObject(rgn);
}

TEST_F(Shadow, ClassIsRegisteredAndTheWindowSitsAroundTheSkinnedWindow) {
    SkinWindow w;
    ASSERT_NE(w.Open(), nullptr);
    WNDCLASSEX wc{};
    wc.cbSize = sizeof wc;
    EXPECT_TRUE(plat::GetClassInfoEx(CPaintManagerUI::GetInstance(), L"QuillShadowWnd", &wc));
    CShadowUI* s = w.PM().GetShadow();
    HWND sh = s->GetShadowWindow();
    ASSERT_NE(sh, nullptr);
    EXPECT_EQ(plat::GetWindow(sh, GW_OWNER), w.GetHWND());
    const LONG_PTR ex = plat::GetWindowLongPtr(sh, GWL_EXSTYLE);
    EXPECT_EQ(ex & (WS_EX_LAYERED | WS_EX_TRANSPARENT), WS_EX_LAYERED | WS_EX_TRANSPARENT);
    PumpNow();
    RECT rw = RectOf(w), rs = RectOf(sh);
    EXPECT_EQ(rs.right - rs.left, 570);
    EXPECT_EQ(rs.bottom - rs.top, 418);
    EXPECT_EQ(rs.left, rw.left - 5);
    EXPECT_EQ(rs.top, rw.top - 5);
    EXPECT_EQ(s->GetStatus(),
              CShadowUI::SS_ENABLED | CShadowUI::SS_VISABLE | CShadowUI::SS_PARENTVISIBLE);
    // Moves follow at once.
    plat::SetWindowPos(w, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    rs = RectOf(sh);
    EXPECT_EQ(rs.left, 295);
    EXPECT_EQ(rs.top, 195);
}

TEST_F(Shadow, ScreenshotShowsTheBorderOverTheDesktopAndLeavesTheWindowAlone) {
    SkinWindow w;
    ASSERT_NE(w.Open(), nullptr);
    PumpNow();
    const RECT rw = RectOf(w);
    plat::HeadlessImage shadow = plat::HeadlessCaptureWindow(w.PM().GetShadow()->GetShadowWindow());
    plat::HeadlessImage screen = plat::HeadlessCaptureScreen();
    plat::HeadlessImage own = plat::HeadlessCaptureWindow(w);
    const int midY = (rw.top + rw.bottom) / 2;
    const uint32_t alphas[] = {58, 46, 35, 23, 11};
    for (int d = 1; d <= 5; ++d) {
        // The shadow window's own pixel, 5 - d from its left edge.
        EXPECT_EQ(shadow.At(5 - d, midY - rw.top + 5), Premul(alphas[d - 1])) << d;
        // On the screen: the shadow over the desktop colour.
        const uint32_t a = alphas[d - 1], c = 0x33 * a / 255;
        const uint32_t desk = plat::kHeadlessDesktopColor;
        const uint32_t px = screen.At(rw.left - d, midY);
        for (int shift : {0, 8, 16}) {
            const int dc = static_cast<int>((desk >> shift) & 0xFF);
            const int want = static_cast<int>(c) + (dc * static_cast<int>(255 - a) + 127) / 255;
            EXPECT_NEAR(static_cast<int>((px >> shift) & 0xFF), want, 1) << d << " " << shift;
        }
    }
    // The window's own area shows the window, untouched by the shadow.
    for (POINT p : {POINT{1, 1}, POINT{280, 200}, POINT{558, 406}, POINT{0, 200}})
        EXPECT_EQ(screen.At(rw.left + p.x, rw.top + p.y), own.At(p.x, p.y)) << p.x << "," << p.y;
}

TEST_F(Shadow, GrowingWaitsForThePaintShrinkingRecomputesAtOnce) {
    SkinWindow w;
    ASSERT_NE(w.Open(), nullptr);
    PumpNow();
    CShadowUI* s = w.PM().GetShadow();
    HWND sh = s->GetShadowWindow();
    plat::SetWindowPos(w, nullptr, 0, 0, 560, 490, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(s->IsUpdatePending());
    EXPECT_EQ(RectOf(sh).bottom - RectOf(sh).top, 418);
    PumpNow(); // the paint
    EXPECT_FALSE(s->IsUpdatePending());
    EXPECT_EQ(RectOf(sh).bottom - RectOf(sh).top, 500);
    plat::SetWindowPos(w, nullptr, 0, 0, 560, 408, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_FALSE(s->IsUpdatePending());
    EXPECT_EQ(RectOf(sh).bottom - RectOf(sh).top, 418);
}

TEST_F(Shadow, MinimiseAndHideTakeItAwayRestoreAndShowBringItBack) {
    SkinWindow w;
    ASSERT_NE(w.Open(), nullptr);
    PumpNow();
    HWND sh = w.PM().GetShadow()->GetShadowWindow();
    EXPECT_TRUE(plat::IsWindowVisible(sh));
    plat::ShowWindow(w, SW_MINIMIZE);
    EXPECT_FALSE(plat::IsWindowVisible(sh));
    plat::ShowWindow(w, SW_RESTORE);
    PumpNow();
    EXPECT_TRUE(plat::IsWindowVisible(sh));
    plat::ShowWindow(w, SW_HIDE);
    EXPECT_FALSE(plat::IsWindowVisible(sh));
    plat::ShowWindow(w, SW_SHOWNORMAL);
    PumpNow();
    EXPECT_TRUE(plat::IsWindowVisible(sh));
    HWND skinned = w.GetHWND();
    plat::DestroyWindow(skinned);
    EXPECT_FALSE(plat::IsWindow(sh));
}

TEST_F(Shadow, AWindowCreatedHiddenShowsItsShadowOnlyWhenShown) {
    SkinWindow w;
    ASSERT_NE(w.Open(nullptr, 0x96C80000 & ~WS_VISIBLE), nullptr);
    PumpNow();
    CShadowUI* s = w.PM().GetShadow();
    HWND sh = s->GetShadowWindow();
    ASSERT_NE(sh, nullptr);
    EXPECT_EQ(s->GetStatus(), CShadowUI::SS_ENABLED);
    EXPECT_FALSE(plat::IsWindowVisible(sh));
    plat::HeadlessImage screen = plat::HeadlessCaptureScreen();
    const RECT rw = RectOf(w);
    EXPECT_EQ(screen.At(rw.left - 1, (rw.top + rw.bottom) / 2), plat::kHeadlessDesktopColor);
    w.ShowWindow(true, true);
    PumpNow();
    EXPECT_TRUE(plat::IsWindowVisible(sh));
    screen = plat::HeadlessCaptureScreen();
    EXPECT_NE(screen.At(rw.left - 1, (rw.top + rw.bottom) / 2), plat::kHeadlessDesktopColor);
}

TEST_F(Shadow, ImageModeStretchesTheImageAroundTheWindow) {
    SkinWindow w;
    ASSERT_NE(w.Open(), nullptr);
    PumpNow();
    CShadowUI* s = w.PM().GetShadow();
    ASSERT_TRUE(s->SetShadowCorner(RECT{1, 0, 2, 0}));
    ASSERT_TRUE(s->SetImage(L"dot.png"));
    HWND sh = s->GetShadowWindow();
    const RECT rw = RectOf(w), rs = RectOf(sh);
    EXPECT_EQ(rs.left, rw.left - 1);
    EXPECT_EQ(rs.top, rw.top);
    EXPECT_EQ(rs.right - rs.left, 560 + 3);
    EXPECT_EQ(rs.bottom - rs.top, 408);
    plat::HeadlessImage img = plat::HeadlessCaptureWindow(sh);
    // The image's border parts are drawn, its centre is left out.
    int drawn = 0;
    for (uint32_t v : img.pixels)
        drawn += (v >> 24) != 0 ? 1 : 0;
    EXPECT_GT(drawn, 0);
    EXPECT_EQ(img.At(283, 208), 0u);
    // An image that is not in the cache keeps the last picture.
    ASSERT_TRUE(s->SetImage(L"missing.png"));
    EXPECT_EQ(plat::HeadlessCaptureWindow(sh).pixels, img.pixels);
}
