// Pens, Rectangle, RoundRect and lines: whole pixels, exact coverage.
#include "gfx_test_util.h"

#include <string>
#include <vector>

using namespace gfxtest;

namespace {

// The canvas as characters: '.' background, 'p' pen colour, 'b' brush
// colour, '?' anything else.
std::vector<std::string> picture(const Canvas& c, DWORD pen, DWORD brush) {
    std::vector<std::string> rows;
    for (int y = 0; y < c.height; ++y) {
        std::string row;
        for (int x = 0; x < c.width; ++x) {
            DWORD p = c.px(x, y);
            row += p == 0 ? '.' : p == pen ? 'p' : p == brush ? 'b' : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

using Rows = std::vector<std::string>;

struct PenAndBrush {
    PenAndBrush(HDC dc, int style, int width) : dc(dc) {
        pen = CreatePen(style, width, RGB(255, 0, 0));
        brush = CreateSolidBrush(RGB(0, 0, 255));
        oldPen = SelectObject(dc, pen);
        oldBrush = SelectObject(dc, brush);
    }
    ~PenAndBrush() {
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
    }
    HDC dc;
    HPEN pen;
    HBRUSH brush;
    HGDIOBJ oldPen, oldBrush;
};

constexpr DWORD kRed = 0xFFFF0000u;
constexpr DWORD kBlue = 0xFF0000FFu;

} // namespace

TEST(GfxShapes, RectangleWithOnePixelPen) {
    Canvas c(7, 6);
    PenAndBrush pb(c.dc, PS_SOLID, 1);
    ASSERT_TRUE(Rectangle(c.dc, 1, 1, 6, 5));
    EXPECT_EQ(picture(c, kRed, kBlue), (Rows{
                                           ".......",
                                           ".ppppp.",
                                           ".pbbbp.",
                                           ".pbbbp.",
                                           ".ppppp.",
                                           ".......",
                                       }));
}

TEST(GfxShapes, RectangleWithWidePensAndNullPen) {
    {
        Canvas c(10, 10);
        PenAndBrush pb(c.dc, PS_SOLID, 3);
        ASSERT_TRUE(Rectangle(c.dc, 2, 2, 8, 8));
        // A 3-pixel pen is centred on the outline pixels 2 and 7.
        EXPECT_EQ(picture(c, kRed, kBlue), (Rows{
                                               "..........",
                                               ".pppppppp.",
                                               ".pppppppp.",
                                               ".pppppppp.",
                                               ".pppbbppp.",
                                               ".pppbbppp.",
                                               ".pppppppp.",
                                               ".pppppppp.",
                                               ".pppppppp.",
                                               "..........",
                                           }));
    }
    {
        Canvas c(6, 6);
        PenAndBrush pb(c.dc, PS_INSIDEFRAME, 2);
        ASSERT_TRUE(Rectangle(c.dc, 0, 0, 6, 5));
        EXPECT_EQ(picture(c, kRed, kBlue), (Rows{
                                               "pppppp",
                                               "pppppp",
                                               "ppbbpp",
                                               "pppppp",
                                               "pppppp",
                                               "......",
                                           }));
    }
    {
        Canvas c(4, 4);
        PenAndBrush pb(c.dc, PS_SOLID, 1);
        SelectObject(c.dc, GetStockObject(NULL_PEN));
        ASSERT_TRUE(Rectangle(c.dc, 1, 1, 3, 4));
        EXPECT_EQ(picture(c, kRed, kBlue), (Rows{"....", ".bb.", ".bb.", ".bb."}));
        SelectObject(c.dc, pb.pen);
        SelectObject(c.dc, GetStockObject(NULL_BRUSH));
        ASSERT_TRUE(Rectangle(c.dc, 0, 0, 4, 4));
        EXPECT_EQ(picture(c, kRed, kBlue), (Rows{"pppp", "pbbp", "pbbp", "pppp"}))
            << "a hollow brush leaves the inside alone";
    }
}

TEST(GfxShapes, RoundRectOutlineAndFill) {
    Canvas c(8, 7);
    PenAndBrush pb(c.dc, PS_SOLID, 1);
    ASSERT_TRUE(RoundRect(c.dc, 0, 0, 8, 7, 4, 4));
    EXPECT_EQ(picture(c, kRed, kBlue), (Rows{
                                           ".pppppp.",
                                           "ppbbbbpp",
                                           "pbbbbbbp",
                                           "pbbbbbbp",
                                           "pbbbbbbp",
                                           "ppbbbbpp",
                                           ".pppppp.",
                                       }));
}

TEST(GfxShapes, LinesExcludeTheirEndPoint) {
    Canvas c(6, 6);
    PenAndBrush pb(c.dc, PS_SOLID, 1);
    POINT old{};
    ASSERT_TRUE(MoveToEx(c.dc, 1, 1, &old));
    EXPECT_EQ(old.x, 0);
    ASSERT_TRUE(LineTo(c.dc, 5, 1));
    ASSERT_TRUE(LineTo(c.dc, 5, 5)); // continues from the new position
    ASSERT_TRUE(MoveToEx(c.dc, 0, 5, nullptr));
    ASSERT_TRUE(LineTo(c.dc, 3, 2));
    EXPECT_EQ(picture(c, kRed, kBlue), (Rows{
                                           "......",
                                           ".ppppp",
                                           ".....p",
                                           "..p..p",
                                           ".p...p",
                                           "p.....",
                                       }));
}

TEST(GfxShapes, DottedAndDashedPens) {
    Canvas c(30, 2);
    PenAndBrush pb(c.dc, PS_DOT, 1);
    MoveToEx(c.dc, 0, 0, nullptr);
    LineTo(c.dc, 12, 0);
    std::string row0;
    for (int x = 0; x < 12; ++x)
        row0 += c.px(x, 0) == kRed ? 'p' : '.';
    EXPECT_EQ(row0, "ppp...ppp...");
    HPEN dash = CreatePen(PS_DASH, 1, RGB(255, 0, 0));
    SelectObject(c.dc, dash);
    MoveToEx(c.dc, 0, 1, nullptr);
    LineTo(c.dc, 30, 1);
    int on = 0;
    for (int x = 0; x < 30; ++x)
        on += c.px(x, 1) == kRed;
    EXPECT_EQ(on, 18 + 6);
    EXPECT_EQ(c.px(17, 1), kRed);
    EXPECT_EQ(c.px(18, 1), 0u);
    EXPECT_EQ(c.px(24, 1), kRed);
    SelectObject(c.dc, pb.pen);
    DeleteObject(dash);
}

TEST(GfxShapes, WideLines) {
    Canvas c(8, 8);
    PenAndBrush pb(c.dc, PS_SOLID, 2);
    MoveToEx(c.dc, 1, 3, nullptr);
    LineTo(c.dc, 6, 3);
    // Rows 2 and 3, columns 1 .. 5.
    EXPECT_EQ(c.countNot(0), 10);
    EXPECT_EQ(c.ink(0).top, 2);
    EXPECT_EQ(c.ink(0).bottom, 4);
    EXPECT_EQ(c.ink(0).right, 6);
    Canvas d(10, 10);
    PenAndBrush pd(d.dc, PS_SOLID, 3);
    MoveToEx(d.dc, 1, 1, nullptr);
    LineTo(d.dc, 8, 8);
    // A diagonal wide line: whole pixels of the pen colour only.
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_TRUE(d.px(x, y) == 0 || d.px(x, y) == kRed);
    EXPECT_EQ(d.px(4, 4), kRed);
    EXPECT_EQ(d.px(0, 9), 0u);
}

TEST(GfxShapes, ShapesHonourTheClip) {
    Canvas c(6, 6);
    PenAndBrush pb(c.dc, PS_SOLID, 1);
    IntersectClipRect(c.dc, 0, 0, 3, 6);
    Rectangle(c.dc, 0, 0, 6, 6);
    MoveToEx(c.dc, 0, 3, nullptr);
    LineTo(c.dc, 6, 3);
    EXPECT_EQ(c.ink(0).right, 3);
    EXPECT_EQ(c.px(2, 3), kRed);
    EXPECT_EQ(c.px(1, 1), kBlue);
}
