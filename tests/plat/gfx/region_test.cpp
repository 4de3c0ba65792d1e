// Regions, rounded-rectangle coverage, row spans and DC clipping.
#include "gfx_test_util.h"

#include <vector>

using namespace gfxtest;

namespace {

// Whether each pixel of the w x h area at the origin lies in the region,
// one string per row ('#' inside).
std::vector<std::string> picture(HRGN rgn, int w, int h) {
    std::vector<std::string> rows;
    for (int y = 0; y < h; ++y) {
        std::string row;
        for (int x = 0; x < w; ++x)
            row += PtInRegion(rgn, x, y) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

} // namespace

TEST(GfxRegion, RectangleCoverageIsRightAndBottomExclusive) {
    HRGN r = CreateRectRgn(2, 3, 5, 7);
    EXPECT_TRUE(PtInRegion(r, 2, 3));
    EXPECT_TRUE(PtInRegion(r, 4, 6));
    EXPECT_FALSE(PtInRegion(r, 5, 6));
    EXPECT_FALSE(PtInRegion(r, 4, 7));
    RECT box{};
    EXPECT_EQ(GetRgnBox(r, &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 2);
    EXPECT_EQ(box.bottom, 7);
    // Swapped corners are put in order; an empty one is a null region.
    HRGN s = CreateRectRgn(5, 7, 2, 3);
    EXPECT_TRUE(EqualRgn(r, s));
    HRGN e = CreateRectRgn(4, 4, 4, 9);
    EXPECT_EQ(GetRgnBox(e, &box), NULLREGION);
    EXPECT_EQ(box.right, 0);
    RECT rc{0, 0, 3, 3};
    HRGN i = CreateRectRgnIndirect(&rc);
    EXPECT_TRUE(PtInRegion(i, 2, 2));
    EXPECT_EQ(CreateRectRgnIndirect(nullptr), nullptr);
    for (HRGN h : {r, s, e, i})
        DeleteObject(h);
}

TEST(GfxRegion, CombineModes) {
    HRGN a = CreateRectRgn(0, 0, 4, 4);
    HRGN b = CreateRectRgn(2, 2, 6, 6);
    HRGN d = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(d, a, b, RGN_AND), SIMPLEREGION);
    EXPECT_TRUE(PtInRegion(d, 3, 3));
    EXPECT_FALSE(PtInRegion(d, 1, 1));
    EXPECT_EQ(CombineRgn(d, a, b, RGN_OR), COMPLEXREGION);
    EXPECT_TRUE(PtInRegion(d, 1, 1));
    EXPECT_TRUE(PtInRegion(d, 5, 5));
    EXPECT_FALSE(PtInRegion(d, 5, 0));
    EXPECT_EQ(CombineRgn(d, a, b, RGN_XOR), COMPLEXREGION);
    EXPECT_FALSE(PtInRegion(d, 3, 3));
    EXPECT_TRUE(PtInRegion(d, 1, 1));
    EXPECT_TRUE(PtInRegion(d, 5, 5));
    EXPECT_EQ(CombineRgn(d, a, b, RGN_DIFF), COMPLEXREGION);
    EXPECT_FALSE(PtInRegion(d, 3, 3));
    EXPECT_TRUE(PtInRegion(d, 3, 1));
    EXPECT_FALSE(PtInRegion(d, 5, 5));
    EXPECT_EQ(CombineRgn(d, b, nullptr, RGN_COPY), SIMPLEREGION);
    EXPECT_TRUE(EqualRgn(d, b));
    // The destination may be one of the sources.
    EXPECT_EQ(CombineRgn(a, a, b, RGN_AND), SIMPLEREGION);
    RECT box{};
    GetRgnBox(a, &box);
    EXPECT_EQ(box.left, 2);
    EXPECT_EQ(box.right, 4);
    EXPECT_EQ(CombineRgn(d, a, b, 0), ERROR);
    EXPECT_EQ(CombineRgn(d, a, nullptr, RGN_OR), ERROR);
    EXPECT_EQ(CombineRgn(d, b, b, RGN_DIFF), NULLREGION);
    EXPECT_EQ(OffsetRgn(b, -2, 1), SIMPLEREGION);
    GetRgnBox(b, &box);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 3);
    RECT in{3, 6, 10, 10}, out{4, 0, 9, 2};
    EXPECT_TRUE(RectInRegion(b, &in));
    EXPECT_FALSE(RectInRegion(b, &out));
    EXPECT_TRUE(SetRectRgn(d, 1, 1, 2, 2));
    EXPECT_EQ(GetRgnBox(d, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 2);
    for (HRGN h : {a, b, d})
        DeleteObject(h);
}

TEST(GfxRegion, RoundRectWithTwoByTwoCornersDropsTheCornerPixels) {
    // A window of 6 x 4 asks for (0, 0, 7, 5) with a 2 x 2 ellipse.
    HRGN r = CreateRoundRectRgn(0, 0, 7, 5, 2, 2);
    std::vector<std::string> want = {
        ".####.",
        "######",
        "######",
        ".####.",
    };
    EXPECT_EQ(picture(r, 7, 5),
              (std::vector<std::string>{".####..", "######.", "######.", ".####..", "......."}));
    EXPECT_EQ(picture(r, 6, 4), want);
    RECT box{};
    EXPECT_EQ(GetRgnBox(r, &box), COMPLEXREGION);
    EXPECT_EQ(box.right, 6);
    EXPECT_EQ(box.bottom, 4);
    DeleteObject(r);
}

TEST(GfxRegion, RoundRectCornerCoverage) {
    HRGN r = CreateRoundRectRgn(0, 0, 11, 9, 6, 6);
    EXPECT_EQ(picture(r, 10, 8), (std::vector<std::string>{
                                     "..######..",
                                     ".########.",
                                     "##########",
                                     "##########",
                                     "##########",
                                     "##########",
                                     ".########.",
                                     "..######..",
                                 }));
    DeleteObject(r);
    // Ellipses below 2 pixels, and zero, give the plain rectangle.
    HRGN flat = CreateRoundRectRgn(0, 0, 5, 5, 1, 1);
    HRGN zero = CreateRoundRectRgn(0, 0, 5, 5, 0, 0);
    HRGN rect = CreateRectRgn(0, 0, 4, 4);
    EXPECT_TRUE(EqualRgn(flat, rect));
    EXPECT_TRUE(EqualRgn(zero, rect));
    // An ellipse larger than the shape is limited to it.
    HRGN big = CreateRoundRectRgn(0, 0, 5, 5, 50, 50);
    RECT box{};
    GetRgnBox(big, &box);
    EXPECT_EQ(box.right, 4);
    EXPECT_EQ(picture(big, 4, 4), (std::vector<std::string>{".##.", "####", "####", ".##."}));
    for (HRGN h : {flat, zero, rect, big})
        DeleteObject(h);
    // Degenerate: nothing inside, no crash.
    HRGN none = CreateRoundRectRgn(3, 3, 3, 3, 2, 2);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(GetRgnBox(none, &box), NULLREGION);
    DeleteObject(none);
}

TEST(GfxRegion, RowSpans) {
    HRGN r = CreateRoundRectRgn(0, 0, 7, 5, 2, 2);
    HRGN hole = CreateRectRgn(2, 1, 3, 2);
    CombineRgn(r, r, hole, RGN_DIFF);
    RGNROWSPAN spans[7];
    ASSERT_TRUE(GetRgnRowSpans(r, -1, 7, spans));
    EXPECT_EQ(spans[0].left, 0); // row -1: empty
    EXPECT_EQ(spans[0].right, 0);
    EXPECT_EQ(spans[1].left, 1);
    EXPECT_EQ(spans[1].right, 5);
    EXPECT_EQ(spans[2].left, 0) << "a hole inside the row does not split the span";
    EXPECT_EQ(spans[2].right, 6);
    EXPECT_EQ(spans[4].left, 1);
    EXPECT_EQ(spans[4].right, 5);
    EXPECT_EQ(spans[5].right, 0); // row 4: below the region
    EXPECT_FALSE(GetRgnRowSpans(r, 0, 3, nullptr));
    EXPECT_FALSE(GetRgnRowSpans(nullptr, 0, 1, spans));

    std::vector<RECT> rects;
    ASSERT_TRUE(GetRgnRects(r, &rects));
    int area = 0;
    for (const RECT& rc : rects)
        area += (rc.right - rc.left) * (rc.bottom - rc.top);
    EXPECT_EQ(area, 6 * 4 - 4 - 1);
    DeleteObject(r);
    DeleteObject(hole);
}

TEST(GfxClip, DrawingHonoursTheClipRegion) {
    Canvas c(8, 8);
    HRGN clip = CreateRectRgn(2, 2, 5, 5);
    EXPECT_EQ(SelectClipRgn(c.dc, clip), SIMPLEREGION);
    DeleteObject(clip); // the DC keeps its own copy
    RECT all{0, 0, 8, 8};
    FillRect(c.dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(c.px(2, 2), kOpaqueWhite);
    EXPECT_EQ(c.px(4, 4), kOpaqueWhite);
    EXPECT_EQ(c.px(5, 4), 0u);
    EXPECT_EQ(c.px(1, 2), 0u);
    EXPECT_EQ(c.countNot(0), 9);
    EXPECT_EQ(GetPixel(c.dc, 0, 0), CLR_INVALID) << "outside the clip";
    EXPECT_EQ(SetPixel(c.dc, 0, 0, RGB(1, 1, 1)), CLR_INVALID);
    RECT box{};
    EXPECT_EQ(GetClipBox(c.dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 2);
    EXPECT_EQ(box.right, 5);
}

TEST(GfxClip, ExtSelectClipRgnCombinesWithTheCurrentClip) {
    Canvas c(10, 10);
    RECT box{};
    EXPECT_EQ(GetClipBox(c.dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 10) << "no clip: the whole bitmap";
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetClipRgn(c.dc, probe), 0);

    HRGN a = CreateRectRgn(0, 0, 6, 6);
    HRGN b = CreateRectRgn(4, 4, 10, 10);
    // With no clip, AND takes the region itself.
    EXPECT_EQ(ExtSelectClipRgn(c.dc, a, RGN_AND), SIMPLEREGION);
    EXPECT_EQ(ExtSelectClipRgn(c.dc, b, RGN_AND), SIMPLEREGION);
    GetClipBox(c.dc, &box);
    EXPECT_EQ(box.left, 4);
    EXPECT_EQ(box.right, 6);
    EXPECT_EQ(ExtSelectClipRgn(c.dc, a, RGN_OR), SIMPLEREGION);
    EXPECT_EQ(ExtSelectClipRgn(c.dc, b, RGN_DIFF), COMPLEXREGION);
    EXPECT_EQ(GetClipRgn(c.dc, probe), 1);
    EXPECT_TRUE(PtInRegion(probe, 1, 1));
    EXPECT_FALSE(PtInRegion(probe, 5, 5));
    EXPECT_EQ(ExtSelectClipRgn(c.dc, nullptr, RGN_AND), ERROR);
    EXPECT_EQ(ExtSelectClipRgn(c.dc, nullptr, RGN_COPY), SIMPLEREGION);
    EXPECT_EQ(GetClipRgn(c.dc, probe), 0);
    EXPECT_EQ(IntersectClipRect(c.dc, 1, 1, 3, 3), SIMPLEREGION);
    EXPECT_EQ(ExcludeClipRect(c.dc, 1, 1, 2, 2), COMPLEXREGION);
    RECT all{0, 0, 10, 10};
    FillRect(c.dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(c.countNot(0), 3);
    EXPECT_EQ(c.px(1, 1), 0u);
    EXPECT_EQ(IntersectClipRect(c.dc, 7, 7, 9, 9), NULLREGION);
    for (HRGN h : {probe, a, b})
        DeleteObject(h);
}

TEST(GfxClip, SaveDcRestoresTheClipRegion) {
    Canvas c(10, 10);
    HRGN outer = CreateRectRgn(1, 1, 9, 9);
    SelectClipRgn(c.dc, outer);
    int level = SaveDC(c.dc);
    HRGN inner = CreateRoundRectRgn(3, 3, 8, 8, 2, 2);
    ExtSelectClipRgn(c.dc, inner, RGN_AND);
    RECT all{0, 0, 10, 10};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(c.dc, &all, red);
    EXPECT_EQ(c.px(3, 3), 0u) << "corner of the rounded clip";
    EXPECT_EQ(c.px(4, 3), 0xFFFF0000u);
    EXPECT_EQ(c.countNot(0), 4 * 4 - 4);

    ASSERT_TRUE(RestoreDC(c.dc, level));
    FillRect(c.dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(c.px(1, 1), kOpaqueWhite);
    EXPECT_EQ(c.px(0, 0), 0u);
    EXPECT_EQ(c.countNot(0), 64);
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetClipRgn(c.dc, probe), 1);
    EXPECT_TRUE(EqualRgn(probe, outer));
    // Selecting a region through SelectObject sets the clip as well.
    EXPECT_EQ(SelectObject(c.dc, inner), reinterpret_cast<HGDIOBJ>(intptr_t(COMPLEXREGION)));
    for (HGDIOBJ h : {static_cast<HGDIOBJ>(outer), static_cast<HGDIOBJ>(inner),
                      static_cast<HGDIOBJ>(red), static_cast<HGDIOBJ>(probe)})
        DeleteObject(h);
}
