// Objects and drawing from several threads at once: every thread draws on
// its own DC and must get the same pixels as when drawing alone.
#include "gfx_test_util.h"

#include <atomic>
#include <cstdint>
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

namespace {

// What one thread sees of a font: its metrics, an extent, and the pixels of
// GDI-style and smooth text drawn with it.
struct FontView {
    TEXTMETRIC tm{};
    SIZE extent{};
    double smoothWidth = 0;
    uint64_t pixels = 0;
    bool operator==(const FontView& o) const {
        return tm.tmHeight == o.tm.tmHeight && tm.tmAscent == o.tm.tmAscent &&
               tm.tmAveCharWidth == o.tm.tmAveCharWidth && extent.cx == o.extent.cx &&
               extent.cy == o.extent.cy && smoothWidth == o.smoothWidth && pixels == o.pixels;
    }
};

FontView look(HFONT font) {
    FontView v;
    Canvas c(160, 40, kOpaqueWhite);
    HGDIOBJ old = font ? SelectObject(c.dc, font) : nullptr;
    GetTextMetrics(c.dc, &v.tm);
    GetTextExtentPoint32(c.dc, L"字体 fonts", 8, &v.extent);
    SetBkMode(c.dc, TRANSPARENT);
    RECT r{0, 0, 160, 20};
    DrawText(c.dc, L"字体 fonts", -1, &r, DT_SINGLELINE | DT_LEFT | DT_TOP);
    RECT s{0, 20, 160, 40};
    DrawTextSmooth(c.dc, L"平滑 smooth", -1, font, &s, 0xFF000000, DT_SINGLELINE);
    double h = 0;
    MeasureTextSmooth(c.dc, L"平滑 smooth", -1, font, &s, DT_SINGLELINE, &v.smoothWidth, &h);
    if (old)
        SelectObject(c.dc, old);
    for (int i = 0; i < c.width * c.height; ++i)
        v.pixels = v.pixels * 1099511628211ull + c.bits[i];
    return v;
}

} // namespace

TEST(GfxThreads, FontsMadeOnOneThreadAreUsedOnOthers) {
    // The stock font is made by whichever thread asks first; a font is
    // created here and measured and drawn by other threads only.
    std::thread maker([] { GetStockObject(DEFAULT_GUI_FONT); });
    maker.join();
    LOGFONT lf{};
    lf.lfHeight = -15;
    lf.lfWeight = FW_BOLD;
    HFONT made = nullptr;
    std::thread creator([&] { made = CreateFontIndirect(&lf); });
    creator.join();
    ASSERT_NE(made, nullptr);

    FontView firstStock, firstMade;
    std::thread first([&] {
        firstStock = look(nullptr);
        firstMade = look(made);
    });
    first.join();
    EXPECT_GT(firstStock.tm.tmHeight, 0);
    EXPECT_GT(firstMade.extent.cx, 0);

    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10; ++i) {
                mismatches += !(look(nullptr) == firstStock);
                mismatches += !(look(made) == firstMade);
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(mismatches.load(), 0);
    DeleteObject(made);
}
