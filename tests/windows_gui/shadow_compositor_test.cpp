// hostexample.exe's drop shadow as the screen shows it: a layered window
// (UpdateLayeredWindow with per-pixel alpha) blended over the desktop by a
// compositing manager on the test's X display (scripts/wine-run with
// WINE_RUN_COMPOSITOR=1).
#include "gui_driver.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace gui_driver;

namespace {

// The skin's shadow: size 5, darkness 70, colour #333333, the default
// sharpness 5. Its alpha 1 to 5 pixels out from the window's edge, as the
// toolkit computes it ((1 - d / 6) * 70 for the kernel's distance d).
constexpr int kShadowAlpha[] = {58, 46, 35, 23, 11};
constexpr int kShadowColor = 0x33;
// Rounding of the blend on the X side and in the toolkit's premultiplying.
constexpr int kTolerance = 3;

// A channel of the shadow's premultiplied colour over a desktop channel.
int Blended(int desk, int alpha) {
    return kShadowColor * alpha / 255 + (desk * (255 - alpha) + 127) / 255;
}

} // namespace

TEST(HostExampleShadow, TheScreenIsDarkerOutsideTheEdgesByTheShadowsAlpha) {
    ChildProcess program;
    ASSERT_TRUE(program.Start(WindowsPathOf(HOSTEXAMPLE_EXE)));
    HWND window = nullptr;
    ASSERT_TRUE(WaitForWindow({program.Id(), L"HostExample", L"", true}, 60s, &window, &program));
    ASSERT_TRUE(WaitUntilPainted(window, 20s));
    HWND shadow = nullptr;
    ASSERT_TRUE(WaitForWindow({program.Id(), L"QuillShadowWnd", L"", true}, 20s, &shadow));
    EXPECT_EQ(GetWindow(shadow, GW_OWNER), window);
    const LONG_PTR ex = GetWindowLongPtrW(shadow, GWL_EXSTYLE);
    EXPECT_EQ(ex & (WS_EX_LAYERED | WS_EX_TRANSPARENT), WS_EX_LAYERED | WS_EX_TRANSPARENT);
    RECT rw{}, rs{};
    GetWindowRect(window, &rw);
    GetWindowRect(shadow, &rs);
    EXPECT_EQ(rs.left, rw.left - 5);
    EXPECT_EQ(rs.top, rw.top - 5);
    EXPECT_EQ(rs.right, rw.right + 5);
    EXPECT_EQ(rs.bottom, rw.bottom + 5);

    // The desktop's colour, far from the window; the compositing manager
    // may paint it after the shadow window appeared, so the wait is for the
    // shadow's first pixel to be darker than it.
    const int midY = (rw.top + rw.bottom) / 2, midX = (rw.left + rw.right) / 2;
    Image screen;
    uint32_t desk = 0;
    const bool settled = PollUntil(
        [&] {
            screen = CaptureScreen();
            desk = screen.At(10, 10);
            const uint32_t edge = screen.At(rw.left - 1, midY);
            for (int c = 0; c < 3; ++c)
                if (std::abs(Channel(edge, c) - Blended(Channel(desk, c), kShadowAlpha[0])) >
                    kTolerance)
                    return false;
            return true;
        },
        20s, 100ms);
    SavePng(screen, PicturePath("screen"));
    // Blending is seen only over a desktop that is not black: without a
    // compositing manager X shows the premultiplied colour as it is, which
    // over black is the same as the blend.
    for (int c = 0; c < 3; ++c)
        ASSERT_GT(Blended(Channel(desk, c), kShadowAlpha[0]) - kShadowColor * kShadowAlpha[0] / 255,
                  3 * kTolerance)
            << "the desktop " << std::hex << desk << " is too dark to see the blend";
    EXPECT_TRUE(settled) << "the pixel left of the window is " << std::hex
                         << screen.At(rw.left - 1, midY) << " on a desktop of " << desk;
    // Every side: 1 to 5 pixels out, the desktop darkened by the alpha.
    for (int d = 1; d <= 5; ++d) {
        const int alpha = kShadowAlpha[d - 1];
        const POINT outside[] = {{rw.left - d, midY},
                                 {rw.right - 1 + d, midY},
                                 {midX, rw.top - d},
                                 {midX, rw.bottom - 1 + d}};
        for (const POINT& p : outside) {
            const uint32_t px = screen.At(p.x, p.y);
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(Channel(px, c), Blended(Channel(desk, c), alpha), kTolerance)
                    << d << " px out at (" << p.x << "," << p.y << "), channel " << c;
        }
    }
    // 6 pixels out: the desktop itself.
    EXPECT_EQ(screen.At(rw.left - 6, midY), desk);
    // The window's own pixels are not darkened.
    EXPECT_EQ(screen.At(rw.left + 40, midY) & 0xFFFFFF, 0xF4F6F9u);
    EXPECT_EQ(screen.At(rw.left, midY) & 0xFFFFFF, 0xF4F6F9u);
}
