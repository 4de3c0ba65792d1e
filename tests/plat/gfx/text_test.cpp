// Fonts, metrics, DrawText's flags, text extents and the smooth text path.
// Glyph shapes depend on the installed font, so the tests compare drawings
// with each other (exact pixel equality, exact shifts) instead of with
// stored pictures.
#include "gfx_test_util.h"

#include <cstring>
#include <string>

using namespace gfxtest;

namespace {

HFONT makeFont(const wchar_t* face, int height, int weight = FW_NORMAL) {
    LOGFONT lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = DEFAULT_CHARSET;
    std::wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirect(&lf);
}

// A white canvas with black transparent-mode text in a 16-pixel font.
struct TextCanvas : Canvas {
    explicit TextCanvas(int w = 200, int h = 60, HFONT f = nullptr) : Canvas(w, h, kOpaqueWhite) {
        font = f ? f : makeFont(L"", -16);
        oldFont = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
    }
    ~TextCanvas() {
        SelectObject(dc, oldFont);
        DeleteObject(font);
    }
    int draw(const wchar_t* text, RECT rc, UINT fmt) { return DrawText(dc, text, -1, &rc, fmt); }
    TEXTMETRIC metrics() {
        TEXTMETRIC tm{};
        GetTextMetrics(dc, &tm);
        return tm;
    }
    SIZE extent(const std::wstring& s) {
        SIZE sz{};
        GetTextExtentPoint32(dc, s.c_str(), int(s.size()), &sz);
        return sz;
    }
    HFONT font;
    HGDIOBJ oldFont;
};

// Whether b shows exactly a's picture moved by (dx, dy).
bool shifted(const Canvas& a, const Canvas& b, int dx, int dy) {
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            int sx = x - dx, sy = y - dy;
            DWORD want =
                (sx >= 0 && sy >= 0 && sx < a.width && sy < a.height) ? a.px(sx, sy) : kOpaqueWhite;
            if (b.px(x, y) != want)
                return false;
        }
    return true;
}

bool same(const Canvas& a, const Canvas& b) {
    return shifted(a, b, 0, 0);
}

} // namespace

TEST(GfxFont, DefaultGuiFontIsTwelvePixelSans) {
    HGDIOBJ f = GetStockObject(DEFAULT_GUI_FONT);
    LOGFONT lf{};
    ASSERT_EQ(GetObject(f, sizeof lf, &lf), int(sizeof lf));
    EXPECT_EQ(lf.lfHeight, -12);
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    EXPECT_NE(lf.lfFaceName[0], 0) << "the face fontconfig chose is reported";
    HDC dc = CreateCompatibleDC(nullptr);
    TEXTMETRIC tm{};
    ASSERT_TRUE(GetTextMetrics(dc, &tm));
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 12);
    EXPECT_GT(tm.tmAveCharWidth, 0);
    DeleteDC(dc);
}

TEST(GfxFont, WindowsChineseFaceResolvesToAnInstalledCjkFont) {
    // "微软雅黑" is not installed; it must land on the same font as the
    // fontconfig's CJK sans, which draws "中" as a real glyph.
    LOGFONT def{};
    GetObject(GetStockObject(DEFAULT_GUI_FONT), sizeof def, &def);
    TextCanvas a(60, 30, makeFont(L"微软雅黑", -20));
    TextCanvas b(60, 30, makeFont(def.lfFaceName, -20));
    a.draw(L"中文", RECT{0, 0, 60, 30}, DT_SINGLELINE);
    b.draw(L"中文", RECT{0, 0, 60, 30}, DT_SINGLELINE);
    EXPECT_GT(a.countNot(kOpaqueWhite), 40);
    EXPECT_TRUE(same(a, b));
    EXPECT_EQ(a.extent(L"中").cx, 20) << "an ideograph is one em wide";
}

TEST(GfxFont, HeightsAndWeights) {
    TextCanvas em(10, 10, makeFont(L"", -20));
    TEXTMETRIC tm = em.metrics();
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 20);
    // A positive height is the cell height.
    TextCanvas cell(10, 10, makeFont(L"", 20));
    EXPECT_NEAR(cell.metrics().tmHeight, 20, 1);
    TextCanvas bold(10, 10, makeFont(L"", -20, FW_BOLD));
    EXPECT_EQ(bold.metrics().tmWeight, FW_BOLD);
    EXPECT_GE(bold.extent(L"Bold text").cx, em.extent(L"Bold text").cx);
    LOGFONT bad{};
    bad.lfWeight = 5000;
    EXPECT_EQ(CreateFontIndirect(&bad), nullptr);
    EXPECT_EQ(CreateFontIndirect(nullptr), nullptr);
}

TEST(GfxText, ExtentMatchesCalcRect) {
    TextCanvas c;
    const std::wstring s = L"Hello, world 你好";
    SIZE sz = c.extent(s);
    TEXTMETRIC tm = c.metrics();
    EXPECT_GT(sz.cx, 0);
    EXPECT_EQ(sz.cy, tm.tmHeight);
    RECT rc{5, 7, 6, 8};
    EXPECT_EQ(DrawText(c.dc, s.c_str(), -1, &rc, DT_SINGLELINE | DT_CALCRECT), tm.tmHeight);
    EXPECT_EQ(rc.right - rc.left, sz.cx);
    EXPECT_EQ(rc.bottom - rc.top, tm.tmHeight);
    EXPECT_EQ(c.countNot(kOpaqueWhite), 0) << "DT_CALCRECT draws nothing";
    // Extents add up over the parts of a text (whole-pixel advances).
    EXPECT_NEAR(c.extent(L"Hello, ").cx + c.extent(L"world 你好").cx, sz.cx, 1);
    SIZE zero{};
    EXPECT_TRUE(GetTextExtentPoint32(c.dc, L"", 0, &zero));
    EXPECT_EQ(zero.cx, 0);
    EXPECT_FALSE(GetTextExtentPoint32(c.dc, L"abc", -1, &zero));
    // The text drawn starts at the rectangle and spans about its extent.
    c.draw(s.c_str(), RECT{10, 10, 190, 50}, DT_SINGLELINE);
    RECT ink = c.ink(kOpaqueWhite);
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.left, 12);
    EXPECT_NEAR(ink.right, 10 + sz.cx, 2);
    EXPECT_GE(ink.top, 10);
    EXPECT_LE(ink.bottom, 10 + tm.tmHeight);
}

TEST(GfxText, HorizontalAlignment) {
    const RECT rc{10, 5, 190, 45};
    TextCanvas left, center, right;
    const SIZE sz = left.extent(L"Align me");
    left.draw(L"Align me", rc, DT_LEFT | DT_SINGLELINE);
    center.draw(L"Align me", rc, DT_CENTER | DT_SINGLELINE);
    right.draw(L"Align me", rc, DT_RIGHT | DT_SINGLELINE);
    EXPECT_TRUE(shifted(left, center, (180 - sz.cx) / 2, 0));
    EXPECT_TRUE(shifted(left, right, 180 - sz.cx, 0));
}

TEST(GfxText, VerticalAlignmentNeedsSingleLine) {
    const RECT rc{10, 5, 190, 55};
    TextCanvas top, vcenterMulti, vcenter, bottom;
    const int lh = top.metrics().tmHeight;
    EXPECT_EQ(top.draw(L"Vertical", rc, DT_TOP), lh);
    // Without DT_SINGLELINE, DT_VCENTER and DT_BOTTOM draw at the top.
    vcenterMulti.draw(L"Vertical", rc, DT_VCENTER | DT_BOTTOM);
    EXPECT_TRUE(same(top, vcenterMulti));
    EXPECT_EQ(vcenter.draw(L"Vertical", rc, DT_VCENTER | DT_SINGLELINE), (50 - lh) / 2 + lh);
    EXPECT_TRUE(shifted(top, vcenter, 0, (50 - lh) / 2));
    EXPECT_EQ(bottom.draw(L"Vertical", rc, DT_BOTTOM | DT_SINGLELINE), 50);
    EXPECT_TRUE(shifted(top, bottom, 0, 50 - lh));
}

TEST(GfxText, WordBreakWrapsBetweenWords) {
    TextCanvas c(200, 100);
    const int lh = c.metrics().tmHeight;
    const int w = c.extent(L"alpha beta").cx + 2; // "alpha beta gamma" does not fit
    RECT calc{0, 0, w, 0};
    EXPECT_EQ(DrawText(c.dc, L"alpha beta gamma", -1, &calc, DT_WORDBREAK | DT_CALCRECT), 2 * lh);
    EXPECT_EQ(calc.right, c.extent(L"alpha beta").cx) << "the width shrinks to the widest line";
    EXPECT_EQ(calc.bottom, 2 * lh);

    c.draw(L"alpha beta gamma", RECT{0, 0, w, 100}, DT_WORDBREAK);
    TextCanvas lines(200, 100);
    lines.draw(L"alpha beta", RECT{0, 0, 200, 100}, 0);
    lines.draw(L"gamma", RECT{0, lh, 200, 100}, 0);
    EXPECT_TRUE(same(c, lines));

    // Line breaks in the text always break; DT_SINGLELINE ignores them.
    RECT two{0, 0, 200, 0}, one{0, 0, 200, 0};
    EXPECT_EQ(DrawText(c.dc, L"one\r\ntwo", -1, &two, DT_CALCRECT), 2 * lh);
    EXPECT_EQ(DrawText(c.dc, L"one\r\ntwo", -1, &one, DT_CALCRECT | DT_SINGLELINE), lh);
    EXPECT_EQ(one.right, c.extent(L"onetwo").cx);
}

TEST(GfxText, WordBreakBreaksLongWordsAndChinese) {
    TextCanvas c(200, 200);
    const int lh = c.metrics().tmHeight;
    RECT rc{0, 0, 40, 0};
    DrawText(c.dc, L"abcdefghijklmnopqrstuvwxyz", -1, &rc, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_GE(rc.bottom, 3 * lh) << "a word wider than the line is broken inside";
    c.draw(L"abcdefghijklmnopqrstuvwxyz", RECT{0, 0, 40, 200}, DT_WORDBREAK | DT_NOCLIP);
    EXPECT_LE(c.ink(kOpaqueWhite).right, 40);

    // Chinese text breaks between characters: four ideographs of 16 px in
    // 40 px give two lines of two.
    RECT cjk{0, 0, 40, 0};
    EXPECT_EQ(DrawText(c.dc, L"安装完成", -1, &cjk, DT_WORDBREAK | DT_CALCRECT), 2 * lh);
}

TEST(GfxText, EndEllipsisCutsTheLine) {
    const std::wstring text = L"The quick brown fox jumps over the lazy dog";
    const RECT rc{0, 0, 90, 30};
    TextCanvas cut;
    cut.draw(text.c_str(), rc, DT_SINGLELINE | DT_END_ELLIPSIS);
    EXPECT_LE(cut.ink(kOpaqueWhite).right, 90);
    // The result is the longest prefix that fits with "..." after it.
    std::wstring expect;
    for (size_t k = text.size(); k > 0; --k) {
        std::wstring head = text.substr(0, k);
        while (!head.empty() && head.back() == L' ')
            head.pop_back();
        if (cut.extent(head + L"...").cx <= 90) {
            expect = head + L"...";
            break;
        }
    }
    ASSERT_FALSE(expect.empty());
    TextCanvas manual;
    manual.draw(expect.c_str(), rc, DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_TRUE(same(cut, manual));

    // Text that fits is left alone.
    TextCanvas shortText, plain;
    shortText.draw(L"fox", rc, DT_SINGLELINE | DT_END_ELLIPSIS);
    plain.draw(L"fox", rc, DT_SINGLELINE);
    EXPECT_TRUE(same(shortText, plain));

    // Measuring without word breaks grows to the whole text.
    RECT m{0, 0, 90, 0};
    DrawText(cut.dc, text.c_str(), -1, &m, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
    EXPECT_EQ(m.right, cut.extent(text).cx);
}

TEST(GfxText, EndEllipsisWithWordBreakEndsTheLastVisibleLine) {
    TextCanvas c(200, 100);
    const int lh = c.metrics().tmHeight;
    const int w = c.extent(L"alpha beta").cx + 2;
    const RECT rc{0, 0, w, 2 * lh + lh / 2}; // two whole lines fit
    c.draw(L"alpha beta gamma delta epsilon zeta eta theta", rc, DT_WORDBREAK | DT_END_ELLIPSIS);
    RECT ink = c.ink(kOpaqueWhite);
    EXPECT_LE(ink.bottom, 2 * lh) << "no third, half-visible line";
    EXPECT_LE(ink.right, w);
    TextCanvas firstLine(200, 100);
    firstLine.draw(L"alpha beta", RECT{0, 0, 200, 100}, 0);
    for (int y = 0; y < lh; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(c.px(x, y), firstLine.px(x, y)) << x << "," << y;
    // The second line ends in the ellipsis, so it differs from plain
    // "gamma delta".
    TextCanvas plain(200, 100);
    plain.draw(L"alpha beta\ngamma delta", RECT{0, 0, 200, 100}, 0);
    EXPECT_FALSE(same(c, plain));
}

TEST(GfxText, PathEllipsisKeepsTheFileName) {
    TextCanvas c(300, 30);
    const std::wstring path = L"/opt/TarvexPDFConver/some/deep/folder/setup.exe";
    const int w = c.extent(L"/opt/Tar.../setup.exe").cx + 1;
    c.draw(path.c_str(), RECT{0, 0, w, 30}, DT_SINGLELINE | DT_PATH_ELLIPSIS);
    TextCanvas tail(300, 30);
    const int tailW = c.extent(L"/setup.exe").cx;
    tail.draw(L"/setup.exe", RECT{0, 0, 300, 30}, DT_SINGLELINE);
    // The drawing ends with the file name, right before the rectangle's end.
    RECT ink = c.ink(kOpaqueWhite);
    EXPECT_LE(ink.right, w);
    EXPECT_GE(ink.right, w - tailW);
    TextCanvas end(300, 30);
    end.draw(path.c_str(), RECT{0, 0, w, 30}, DT_SINGLELINE | DT_END_ELLIPSIS);
    EXPECT_FALSE(same(c, end));
}

TEST(GfxText, ClippingToTheRectangle) {
    TextCanvas clipped, free;
    const RECT rc{20, 20, 50, 30};
    clipped.draw(L"Clipped text runs long", rc, DT_SINGLELINE);
    RECT ink = clipped.ink(kOpaqueWhite);
    EXPECT_GE(ink.left, 20);
    EXPECT_LE(ink.right, 50);
    EXPECT_GE(ink.top, 20);
    EXPECT_LE(ink.bottom, 30);
    free.draw(L"Clipped text runs long", rc, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_GT(free.ink(kOpaqueWhite).right, 60);
}

TEST(GfxText, PrefixCharacters) {
    TextCanvas amp, literal, underlined, plain;
    amp.draw(L"A&&B", RECT{0, 0, 200, 30}, DT_SINGLELINE);
    literal.draw(L"A&B", RECT{0, 0, 200, 30}, DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_TRUE(same(amp, literal));
    underlined.draw(L"&File", RECT{0, 0, 200, 30}, DT_SINGLELINE);
    plain.draw(L"File", RECT{0, 0, 200, 30}, DT_SINGLELINE);
    EXPECT_FALSE(same(underlined, plain)) << "the prefixed letter is underlined";
    EXPECT_GT(underlined.countNot(kOpaqueWhite), plain.countNot(kOpaqueWhite));
    TextCanvas hidden;
    hidden.draw(L"&File", RECT{0, 0, 200, 30}, DT_SINGLELINE | DT_HIDEPREFIX);
    EXPECT_TRUE(same(hidden, plain));
}

TEST(GfxText, ColourAndOpaqueBackground) {
    TextCanvas c(200, 60, makeFont(L"", -40));
    SetTextColor(c.dc, RGB(0x12, 0x34, 0x56));
    SetBkMode(c.dc, OPAQUE);
    SetBkColor(c.dc, RGB(255, 0, 0));
    const SIZE sz = c.extent(L"HI");
    c.draw(L"HI", RECT{5, 5, 195, 55}, DT_SINGLELINE);
    int textPixels = 0, background = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x) {
            textPixels += c.px(x, y) == 0xFF123456u;
            background += c.px(x, y) == 0xFFFF0000u;
        }
    EXPECT_GT(textPixels, 20) << "fully covered pixels have the exact text colour";
    EXPECT_GT(background, 0);
    // The background box is exactly the text's extent.
    RECT ink = c.ink(kOpaqueWhite);
    EXPECT_EQ(ink.left, 5);
    EXPECT_EQ(ink.top, 5);
    EXPECT_EQ(ink.right, 5 + sz.cx);
    EXPECT_EQ(ink.bottom, 5 + sz.cy);
}

TEST(GfxText, TextOutAndEmptyText) {
    TextCanvas a, b;
    ASSERT_TRUE(TextOut(a.dc, 7, 9, L"TextOut", 7));
    b.draw(L"TextOut", RECT{7, 9, 200, 60}, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_TRUE(same(a, b));
    RECT rc{3, 4, 50, 50};
    const int lh = a.metrics().tmHeight;
    EXPECT_EQ(DrawText(a.dc, L"", 0, &rc, DT_CALCRECT | DT_SINGLELINE), lh);
    EXPECT_EQ(rc.right, 3);
    EXPECT_EQ(rc.bottom, 4 + lh);
    EXPECT_EQ(DrawText(a.dc, nullptr, 0, &rc, 0), 0);
    EXPECT_FALSE(TextOut(a.dc, 0, 0, L"x", -1));
}

TEST(GfxText, SmoothTextAlignsAndMeasures) {
    TextCanvas left(200, 80), centre(200, 80);
    const RECT rc{0, 0, 200, 80};
    ASSERT_TRUE(DrawTextSmooth(left.dc, L"Smooth", -1, nullptr, &rc, 0xFE000000u, DT_SINGLELINE));
    ASSERT_TRUE(DrawTextSmooth(centre.dc, L"Smooth", -1, nullptr, &rc, 0xFE000000u,
                               DT_SINGLELINE | DT_CENTER | DT_VCENTER));
    double w = 0, h = 0;
    ASSERT_TRUE(MeasureTextSmooth(left.dc, L"Smooth", -1, nullptr, &rc, DT_SINGLELINE, &w, &h));
    EXPECT_NEAR(w, left.extent(L"Smooth").cx, 3);
    EXPECT_GT(h, 10);
    RECT a = left.ink(kOpaqueWhite), b = centre.ink(kOpaqueWhite);
    EXPECT_LT(a.left, 3);
    EXPECT_NEAR(b.left - a.left, (200 - w) / 2, 1.5);
    EXPECT_NEAR(b.top - a.top, (80 - h) / 2, 1.5);
    // Vertical centring does not need DT_SINGLELINE here.
    TextCanvas wrapped(200, 80);
    DrawTextSmooth(wrapped.dc, L"Smooth", -1, nullptr, &rc, 0xFE000000u, DT_VCENTER);
    EXPECT_NEAR(wrapped.ink(kOpaqueWhite).top - a.top, (80 - h) / 2, 1.5);

    // A narrow layout wraps, and an ellipsis keeps a single line inside.
    const RECT narrow{0, 0, 50, 80};
    double ww = 0, wh = 0;
    MeasureTextSmooth(left.dc, L"one two three four", -1, nullptr, &narrow, 0, &ww, &wh);
    EXPECT_LE(ww, 50.0);
    EXPECT_GT(wh, 2 * h - 1);
    MeasureTextSmooth(left.dc, L"one two three four", -1, nullptr, &narrow,
                      DT_SINGLELINE | DT_END_ELLIPSIS, &ww, &wh);
    EXPECT_LE(ww, 50.0);
    EXPECT_NEAR(wh, h, 0.5);
    EXPECT_FALSE(DrawTextSmooth(left.dc, L"x", -1, reinterpret_cast<HFONT>(0x99), &rc, 0, 0));
}

TEST(GfxText, SmoothTextBlendsItsAlpha) {
    Canvas c(100, 40);
    const RECT rc{0, 0, 100, 40};
    HFONT big = makeFont(L"", -32);
    ASSERT_TRUE(DrawTextSmooth(c.dc, L"HH", -1, big, &rc, 0x80FF0000u, DT_SINGLELINE));
    DWORD maxAlpha = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 100; ++x) {
            DWORD p = c.px(x, y);
            maxAlpha = std::max(maxAlpha, p >> 24);
            EXPECT_LE((p >> 16) & 0xFF, p >> 24) << "premultiplied";
            EXPECT_EQ(p & 0xFFFF, 0u) << "red only";
        }
    EXPECT_EQ(maxAlpha, 0x80u);
    DeleteObject(big);
}

TEST(GfxText, EditControlDropsAPartlyVisibleLastLine) {
    TextCanvas edit(200, 100), plain(200, 100);
    const int lh = edit.metrics().tmHeight;
    const RECT rc{0, 0, 200, lh + lh / 2}; // one and a half lines
    edit.draw(L"first\nsecond", rc, DT_EDITCONTROL);
    plain.draw(L"first\nsecond", rc, 0);
    EXPECT_LE(edit.ink(kOpaqueWhite).bottom, lh);
    EXPECT_GT(plain.ink(kOpaqueWhite).bottom, lh) << "without it the cut line shows";
}
