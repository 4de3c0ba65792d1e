// Objects and drawing from several threads at once: every thread draws on
// its own DC and must get the same pixels as when drawing alone.
#include "gfx_test_util.h"

#include <atomic>
#include <thread>
#include <vector>

using namespace gfxtest;

namespace {

// Draws a small scene and returns a checksum of its pixels.
uint64_t scene() {
    Canvas c(120, 40, kOpaqueWhite);
    HRGN clip = CreateRoundRectRgn(0, 0, 121, 41, 6, 6);
    SelectClipRgn(c.dc, clip);
    DeleteObject(clip);
    HBRUSH b = CreateSolidBrush(RGB(20, 40, 60));
    RECT r{10, 10, 50, 30};
    FillRect(c.dc, &r, b);
    DeleteObject(b);
    LOGFONT lf{};
    lf.lfHeight = -14;
    HFONT f = CreateFontIndirect(&lf);
    HGDIOBJ of = SelectObject(c.dc, f);
    SetBkMode(c.dc, TRANSPARENT);
    RECT tr{0, 0, 120, 40};
    DrawText(c.dc, L"并发 threads", -1, &tr, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    SelectObject(c.dc, of);
    DeleteObject(f);
    uint64_t sum = 0;
    for (int i = 0; i < c.width * c.height; ++i)
        sum = sum * 1099511628211ull + c.bits[i];
    return sum;
}

} // namespace

TEST(GfxThreads, ConcurrentDrawingGivesTheSamePixels) {
    const uint64_t alone = scene();
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 25; ++i)
                if (scene() != alone)
                    ++mismatches;
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(mismatches.load(), 0);
}
