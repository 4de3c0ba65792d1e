// BitBlt, StretchBlt, AlphaBlend, GradientFill and the fills.
#include "gfx_test_util.h"

using namespace gfxtest;

TEST(GfxBlit, BitBltCopiesExactlyIncludingAlpha) {
    Canvas src(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            src.set(x, y, argb(DWORD(0x40 * y + 0x3F), DWORD(x), DWORD(y), 7));
    Canvas dst(6, 6, 0xFF0000FFu);
    ASSERT_TRUE(BitBlt(dst.dc, 1, 2, 4, 3, src.dc, 0, 0, SRCCOPY));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(dst.px(x + 1, y + 2), src.px(x, y));
    EXPECT_EQ(dst.px(0, 2), 0xFF0000FFu);
    EXPECT_EQ(dst.px(5, 2), 0xFF0000FFu);
    EXPECT_EQ(dst.px(1, 1), 0xFF0000FFu);
    EXPECT_EQ(dst.countNot(0xFF0000FFu), 12);
}

TEST(GfxBlit, BitBltClipsToBothBitmaps) {
    Canvas src(3, 3, kOpaqueWhite);
    Canvas dst(4, 4);
    // The source block reaches past the source; the destination past dst.
    ASSERT_TRUE(BitBlt(dst.dc, 2, 2, 5, 5, src.dc, 1, 1, SRCCOPY));
    EXPECT_EQ(dst.countNot(0), 4);
    EXPECT_EQ(dst.px(3, 3), kOpaqueWhite);
    ASSERT_TRUE(BitBlt(dst.dc, -2, -2, 3, 3, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.px(0, 0), kOpaqueWhite);
    EXPECT_EQ(dst.countNot(0), 5);
    EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 2, 2, src.dc, 50, 50, SRCCOPY)) << "nothing to copy";
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 2, 2, src.dc, 0, 0, 0x12345678)) << "unknown operation";
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 2, 2, nullptr, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, -2, 2, src.dc, 0, 0, SRCCOPY));
}

TEST(GfxBlit, BitBltWithinOneBitmapHandlesOverlap) {
    Canvas c(5, 1);
    for (int x = 0; x < 5; ++x)
        c.set(x, 0, DWORD(0xFF000000u | x));
    ASSERT_TRUE(BitBlt(c.dc, 1, 0, 4, 1, c.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(c.px(0, 0), 0xFF000000u);
    EXPECT_EQ(c.px(1, 0), 0xFF000000u);
    EXPECT_EQ(c.px(2, 0), 0xFF000001u);
    EXPECT_EQ(c.px(4, 0), 0xFF000003u);
}

TEST(GfxBlit, BitBltFromABottomUpDibThroughAClip) {
    // A 2 x 3 bottom-up DIB: picture row r is memory row 2 - r.
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 2;
    bi.bmiHeader.biHeight = 3;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bm, nullptr);
    auto* p = static_cast<DWORD*>(bits);
    for (int row = 0; row < 3; ++row)
        for (int x = 0; x < 2; ++x)
            p[(2 - row) * 2 + x] = 0xFF000000u | DWORD(row * 16 + x);
    HDC src = CreateCompatibleDC(nullptr);
    SelectObject(src, bm);
    Canvas dst(4, 4, kOpaqueWhite);
    // Only the destination's top two rows may be drawn.
    HRGN clip = CreateRectRgn(0, 0, 4, 2);
    SelectClipRgn(dst.dc, clip);
    DeleteObject(clip);
    ASSERT_TRUE(BitBlt(dst.dc, 1, 0, 2, 3, src, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.px(1, 0), 0xFF000000u);
    EXPECT_EQ(dst.px(2, 0), 0xFF000001u);
    EXPECT_EQ(dst.px(1, 1), 0xFF000010u);
    EXPECT_EQ(dst.px(2, 1), 0xFF000011u);
    EXPECT_EQ(dst.px(1, 2), kOpaqueWhite) << "outside the clip";
    EXPECT_EQ(dst.countNot(kOpaqueWhite), 4);
    DeleteDC(src);
    DeleteObject(bm);
}

TEST(GfxBlit, PatBltRops) {
    Canvas c(3, 3);
    HBRUSH b = CreateSolidBrush(RGB(0, 0x80, 0));
    SelectObject(c.dc, b);
    EXPECT_TRUE(BitBlt(c.dc, 0, 0, 1, 3, nullptr, 0, 0, WHITENESS));
    EXPECT_TRUE(PatBlt(c.dc, 1, 0, 1, 3, BLACKNESS));
    EXPECT_TRUE(PatBlt(c.dc, 3, 3, -1, -3, PATCOPY)) << "negative sizes extend left and up";
    EXPECT_EQ(c.px(0, 1), kOpaqueWhite);
    EXPECT_EQ(c.px(1, 1), kOpaqueBlack);
    EXPECT_EQ(c.px(2, 0), 0xFF008000u);
    SelectObject(c.dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(b);
}

TEST(GfxBlit, StretchBltHalftoneAveragesWhenShrinking) {
    // 4 x 2 source: columns alternate black and white, rows red and blue
    // in the right half.
    Canvas src(4, 2);
    for (int y = 0; y < 2; ++y) {
        src.set(0, y, kOpaqueBlack);
        src.set(1, y, kOpaqueWhite);
    }
    src.set(2, 0, 0xFFFF0000u);
    src.set(3, 0, 0xFFFF0000u);
    src.set(2, 1, 0xFF0000FFu);
    src.set(3, 1, 0xFF0000FFu);
    Canvas dst(2, 1);
    EXPECT_EQ(SetStretchBltMode(dst.dc, HALFTONE), BLACKONWHITE);
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 2, 1, src.dc, 0, 0, 4, 2, SRCCOPY));
    EXPECT_EQ(dst.px(0, 0), 0xFF808080u) << "black and white average to grey";
    EXPECT_EQ(dst.px(1, 0), 0xFF800080u) << "red over blue averages to purple";

    // Shrinking by a non-integer factor weighs partial pixels: 3 -> 2, the
    // middle source pixel is shared half and half.
    Canvas s3(3, 1);
    s3.set(0, 0, kOpaqueBlack);
    s3.set(1, 0, kOpaqueWhite);
    s3.set(2, 0, kOpaqueBlack);
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 2, 1, s3.dc, 0, 0, 3, 1, SRCCOPY));
    EXPECT_EQ(dst.px(0, 0), 0xFF555555u);
    EXPECT_EQ(dst.px(1, 0), 0xFF555555u);
}

TEST(GfxBlit, StretchBltNearestAndEnlarging) {
    Canvas src(2, 1);
    src.set(0, 0, kOpaqueBlack);
    src.set(1, 0, kOpaqueWhite);
    Canvas dst(4, 2);
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 4, 2, src.dc, 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(dst.px(0, 0), kOpaqueBlack);
    EXPECT_EQ(dst.px(1, 1), kOpaqueBlack);
    EXPECT_EQ(dst.px(2, 0), kOpaqueWhite);
    EXPECT_EQ(dst.px(3, 1), kOpaqueWhite);
    // Enlarging 2 -> 4 in halftone mode keeps whole pixels (no straddling).
    SetStretchBltMode(dst.dc, HALFTONE);
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 4, 2, src.dc, 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(dst.px(1, 0), kOpaqueBlack);
    EXPECT_EQ(dst.px(2, 0), kOpaqueWhite);
    // Shrinking in the default mode picks pixels instead of averaging.
    Canvas one(1, 1);
    ASSERT_TRUE(StretchBlt(one.dc, 0, 0, 1, 1, dst.dc, 0, 0, 4, 2, SRCCOPY));
    EXPECT_TRUE(one.px(0, 0) == kOpaqueBlack || one.px(0, 0) == kOpaqueWhite);
    EXPECT_FALSE(StretchBlt(one.dc, 0, 0, -1, 1, dst.dc, 0, 0, 4, 2, SRCCOPY));
}

TEST(GfxBlit, AlphaBlendConstantAlphaHalfOpacity) {
    Canvas src(2, 2, kOpaqueWhite);
    Canvas dst(2, 2, kOpaqueBlack);
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 128, 0};
    ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, 2, 2, src.dc, 0, 0, 2, 2, bf));
    EXPECT_EQ(dst.px(0, 0), 0xFF808080u);
    EXPECT_EQ(dst.px(1, 1), 0xFF808080u);

    // Over a transparent destination the result is premultiplied half white.
    Canvas clear(1, 1);
    ASSERT_TRUE(AlphaBlend(clear.dc, 0, 0, 1, 1, src.dc, 0, 0, 1, 1, bf));
    EXPECT_EQ(clear.px(0, 0), 0x80808080u);
}

TEST(GfxBlit, AlphaBlendPerPixelAlpha) {
    Canvas src(3, 1);
    src.set(0, 0, 0x80800000u); // red at half opacity, premultiplied
    src.set(1, 0, 0x00000000u); // transparent
    src.set(2, 0, 0xFF00FF00u); // opaque green
    Canvas dst(3, 1, 0xFF0000FFu);
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, 3, 1, src.dc, 0, 0, 3, 1, bf));
    EXPECT_EQ(dst.px(0, 0), 0xFF80007Fu);
    EXPECT_EQ(dst.px(1, 0), 0xFF0000FFu);
    EXPECT_EQ(dst.px(2, 0), 0xFF00FF00u);
    // Both alphas together: green at 128 of 255.
    bf.SourceConstantAlpha = 128;
    Canvas d2(1, 1, 0xFF0000FFu);
    ASSERT_TRUE(AlphaBlend(d2.dc, 0, 0, 1, 1, src.dc, 2, 0, 1, 1, bf));
    EXPECT_EQ(d2.px(0, 0), 0xFF00807Fu);
    // Without AC_SRC_ALPHA the source counts as opaque.
    bf = BLENDFUNCTION{AC_SRC_OVER, 0, 255, 0};
    Canvas d3(1, 1, 0xFF0000FFu);
    ASSERT_TRUE(AlphaBlend(d3.dc, 0, 0, 1, 1, src.dc, 1, 0, 1, 1, bf));
    EXPECT_EQ(d3.px(0, 0), 0xFF000000u);
}

TEST(GfxBlit, AlphaBlendScalesAndRejectsBadSources) {
    Canvas src(2, 1);
    src.set(0, 0, kOpaqueBlack);
    src.set(1, 0, kOpaqueWhite);
    Canvas dst(1, 1);
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, 2, 1, bf));
    EXPECT_EQ(dst.px(0, 0), 0xFF808080u) << "shrinking averages";
    EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 1, 1, src.dc, 1, 0, 2, 1, bf)) << "past the source";
    EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 1, 1, src.dc, -1, 0, 1, 1, bf));
    EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, -1, 1, src.dc, 0, 0, 1, 1, bf));
    bf.BlendOp = 1;
    EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, 1, 1, bf));
}

TEST(GfxBlit, GradientFillHorizontalAndVertical) {
    Canvas c(256, 4);
    TRIVERTEX v[2] = {{0, 0, 0x0000, 0x0000, 0xFF00, 0xFF00},
                      {256, 2, 0xFF00, 0x0000, 0x0000, 0xFF00}};
    GRADIENT_RECT gr{0, 1};
    ASSERT_TRUE(GradientFill(c.dc, v, 2, &gr, 1, GRADIENT_FILL_RECT_H));
    EXPECT_EQ(c.px(0, 0), 0xFF0000FFu);
    EXPECT_EQ(c.px(128, 1), 0xFF7F007Fu);
    EXPECT_EQ(c.px(255, 0), 0xFFFE0000u);
    EXPECT_EQ(c.px(10, 2), 0u) << "the lower-right vertex is exclusive";

    Canvas d(1, 3);
    TRIVERTEX w[2] = {{0, 0, 0, 0, 0, 0xFF00}, {1, 3, 0xFF00, 0xFF00, 0xFF00, 0xFF00}};
    ASSERT_TRUE(GradientFill(d.dc, w, 2, &gr, 1, GRADIENT_FILL_RECT_V));
    EXPECT_EQ(d.px(0, 0), 0xFF000000u);
    EXPECT_EQ(d.px(0, 1), 0xFF555555u);
    EXPECT_EQ(d.px(0, 2), 0xFFAAAAAAu);

    GRADIENT_RECT bad{0, 5};
    EXPECT_FALSE(GradientFill(d.dc, w, 2, &bad, 1, GRADIENT_FILL_RECT_V));
    EXPECT_FALSE(GradientFill(d.dc, w, 2, &gr, 1, GRADIENT_FILL_TRIANGLE));
}

TEST(GfxFill, FillRectCoversExactlyTheRectangle) {
    Canvas c(6, 6);
    RECT r{1, 2, 4, 5};
    HBRUSH b = CreateSolidBrush(RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(FillRect(c.dc, &r, b), 1);
    EXPECT_EQ(c.countNot(0), 9);
    EXPECT_EQ(c.ink(0).left, 1);
    EXPECT_EQ(c.ink(0).right, 4);
    EXPECT_EQ(c.ink(0).bottom, 5);
    EXPECT_EQ(c.px(1, 2), 0xFF112233u);
    RECT inverted{4, 5, 1, 2};
    EXPECT_EQ(FillRect(c.dc, &inverted, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 1);
    EXPECT_EQ(c.px(1, 2), 0xFF112233u) << "an inverted rectangle is empty";
    EXPECT_EQ(FillRect(c.dc, &r, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))), 1);
    EXPECT_EQ(FillRect(c.dc, nullptr, b), 0);
    DeleteObject(b);
}

TEST(GfxFill, AlphaFills) {
    Canvas c(3, 1, kOpaqueBlack);
    RECT r0{0, 0, 1, 1}, r1{1, 0, 2, 1}, r2{2, 0, 3, 1};
    EXPECT_TRUE(FillRectAlpha(c.dc, &r0, 0x00FF0000u));
    EXPECT_EQ(c.px(0, 0), kOpaqueBlack) << "alpha 0 draws nothing";
    EXPECT_TRUE(FillRectAlpha(c.dc, &r1, 0x80FF0000u));
    EXPECT_EQ(c.px(1, 0), 0xFF800000u) << "alpha 0x80 draws half";
    EXPECT_TRUE(FillRectAlpha(c.dc, &r2, 0xFF00FF00u));
    EXPECT_EQ(c.px(2, 0), 0xFF00FF00u);
    Canvas t(1, 1);
    EXPECT_TRUE(FillRectAlpha(t.dc, &r0, 0x80FFFFFFu));
    EXPECT_EQ(t.px(0, 0), 0x80808080u) << "premultiplied over transparent";
}
