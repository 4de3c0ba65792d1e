// Extreme arguments: huge, negative and inverted coordinates and sizes must
// neither crash nor run for long, and must not draw outside the target.
#include "gfx_test_util.h"

#include <climits>
#include <random>

using namespace gfxtest;

namespace {

constexpr int kMin = INT_MIN, kMax = INT_MAX;

} // namespace

TEST(GfxRobustness, ExtremeCoordinatesInEveryDrawingCall) {
    Canvas c(16, 16);
    Canvas src(4, 4, kOpaqueWhite);
    const int values[] = {kMin, kMin + 1, -100000000, -1, 0, 1, 7, 100000000, kMax - 1, kMax};
    HPEN wide = CreatePen(PS_SOLID, kMax, RGB(1, 2, 3));
    HPEN dash = CreatePen(PS_DASH, 1, RGB(1, 2, 3));
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 200, AC_SRC_ALPHA};
    for (int a : values)
        for (int b : values) {
            RECT r{a, b, b, a};
            FillRect(c.dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            FillRectAlpha(c.dc, &r, 0x80FFFFFFu);
            BitBlt(c.dc, a, b, b, a, src.dc, a, b, SRCCOPY);
            BitBlt(c.dc, a, 0, 4, 4, src.dc, 0, b, SRCCOPY);
            StretchBlt(c.dc, a, b, 3, 3, src.dc, 0, 0, 4, 4, SRCCOPY);
            SetStretchBltMode(c.dc, HALFTONE);
            StretchBlt(c.dc, a, a, b, b, src.dc, 0, 0, 4, 4, SRCCOPY);
            StretchBlt(c.dc, 0, 0, 16, 16, src.dc, a, b, 2, 2, SRCCOPY);
            AlphaBlend(c.dc, a, b, kMax, kMax, src.dc, 0, 0, 4, 4, bf);
            AlphaBlend(c.dc, 0, 0, 4, 4, src.dc, a, b, a, b, bf);
            PatBlt(c.dc, a, b, a, b, WHITENESS);
            TRIVERTEX v[2] = {{a, b, 0, 0, 0, 0xFF00}, {b, a, 0xFF00, 0, 0, 0xFF00}};
            GRADIENT_RECT gr{0, 1};
            GradientFill(c.dc, v, 2, &gr, 1, GRADIENT_FILL_RECT_H);
            GradientFill(c.dc, v, 2, &gr, 1, GRADIENT_FILL_RECT_V);
            for (HPEN p : {wide, dash, static_cast<HPEN>(GetStockObject(BLACK_PEN))}) {
                SelectObject(c.dc, p);
                Rectangle(c.dc, a, b, b, a);
                RoundRect(c.dc, a, b, b, a, a, b);
                MoveToEx(c.dc, a, b, nullptr);
                LineTo(c.dc, b, a);
                LineTo(c.dc, 5, 5);
            }
            RECT t{a, b, b, a};
            DrawText(c.dc, L"abc 中文", -1, &t, DT_WORDBREAK | DT_END_ELLIPSIS);
            RECT t2{a, b, b, a};
            DrawText(c.dc, L"abc", -1, &t2, DT_CALCRECT);
            RECT t3{a, b, b, a};
            DrawText(c.dc, L"abc", -1, &t3, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
            TextOut(c.dc, a, b, L"xyz", 3);
            DrawTextSmooth(c.dc, L"smooth", -1, nullptr, &t, 0xFF000000u, DT_CENTER);
            double w = 0, h = 0;
            MeasureTextSmooth(c.dc, L"smooth text", -1, nullptr, &t, 0, &w, &h);
            HRGN rr = CreateRoundRectRgn(a, b, b, a, a, b);
            HRGN rc = CreateRectRgn(a, b, b, a);
            OffsetRgn(rr, a, b);
            CombineRgn(rc, rc, rr, RGN_XOR);
            PtInRegion(rc, a, b);
            RECT box{};
            GetRgnBox(rc, &box);
            ExtSelectClipRgn(c.dc, rr, RGN_OR);
            IntersectClipRect(c.dc, a, b, b, a);
            ExcludeClipRect(c.dc, a, b, b, a);
            SelectClipRgn(c.dc, nullptr);
            DeleteObject(rr);
            DeleteObject(rc);
        }
    SelectObject(c.dc, GetStockObject(BLACK_PEN));
    DeleteObject(wide);
    DeleteObject(dash);
    SUCCEED();
}

TEST(GfxRobustness, RandomCallsStayInsideTheirTarget) {
    // The target sits inside a larger buffer (a surface DC with padding);
    // no call may touch the padding.
    const int w = 20, h = 12, stride = 32 * 4;
    std::vector<DWORD> buf(size_t(32 * (h + 4)), 0xA5A5A5A5u);
    DWORD* origin = buf.data() + 2 * 32; // two padding rows above
    HDC dc = CreateSurfaceDC(origin, w, h, stride);
    ASSERT_NE(dc, nullptr);
    Canvas src(7, 5, 0x80404040u);
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> coord(-40, 40);
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    for (int i = 0; i < 3000; ++i) {
        int a = coord(rng), b = coord(rng), cx = coord(rng), cy = coord(rng);
        switch (i % 8) {
        case 0:
            BitBlt(dc, a, b, cx, cy, src.dc, coord(rng), coord(rng), SRCCOPY);
            break;
        case 1:
            SetStretchBltMode(dc, (i / 8) % 2 ? HALFTONE : COLORONCOLOR);
            StretchBlt(dc, a, b, cx, cy, src.dc, 1, 1, 5, 3, SRCCOPY);
            break;
        case 2:
            AlphaBlend(dc, a, b, cx, cy, src.dc, 0, 0, 7, 5, bf);
            break;
        case 3: {
            RECT r{a, b, cx, cy};
            FillRectAlpha(dc, &r, 0x80FF00FFu);
            break;
        }
        case 4:
            RoundRect(dc, a, b, cx, cy, coord(rng), coord(rng));
            break;
        case 5:
            MoveToEx(dc, a, b, nullptr);
            LineTo(dc, cx, cy);
            break;
        case 6: {
            RECT r{a, b, cx, cy};
            DrawText(dc, L"wrap me 请换行", -1, &r, DT_WORDBREAK | DT_NOCLIP);
            break;
        }
        case 7: {
            HRGN rg = CreateRoundRectRgn(a, b, cx, cy, 5, 5);
            SelectClipRgn(dc, (i / 8) % 3 ? rg : nullptr);
            DeleteObject(rg);
            break;
        }
        }
    }
    DeleteDC(dc);
    for (int y = 0; y < h + 4; ++y)
        for (int x = 0; x < 32; ++x) {
            bool inside = y >= 2 && y < 2 + h && x < w;
            if (!inside) {
                ASSERT_EQ(buf[size_t(y * 32 + x)], 0xA5A5A5A5u) << x << "," << y;
            }
        }
}
