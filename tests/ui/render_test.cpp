// CRenderEngine and CRenderClip: pixel tests on real bitmaps drawn by the
// drawing layer.
#include "ui/UIRender.h"

#include "uires_test_util.h"

#include <gtest/gtest.h>

using namespace Veneer;
using namespace uires_test;

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;

uint32_t Argb(Rgba c) {
    return static_cast<uint32_t>(c.a) << 24 | static_cast<uint32_t>(c.r) << 16 |
           static_cast<uint32_t>(c.g) << 8 | c.b;
}

int Channel(uint32_t v, int shift) {
    return static_cast<int>((v >> shift) & 0xFF);
}

::testing::AssertionResult Near(uint32_t actual, uint32_t expected, int tolerance = 2) {
    for (int shift : {0, 8, 16, 24})
        if (std::abs(Channel(actual, shift) - Channel(expected, shift)) > tolerance)
            return ::testing::AssertionFailure()
                   << std::hex << "0x" << actual << " is not near 0x" << expected;
    return ::testing::AssertionSuccess();
}

// Images served through the skin lookup from an in-memory archive.
class RenderTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSkinConfig(); }
    void TearDown() override { ResetSkinConfig(); }

    void UseImages(const std::vector<skinpack::Entry>& entries) {
        m_zip = MakeZip(entries);
        ASSERT_FALSE(m_zip.empty());
        CPaintManagerUI::SetResourceZip(m_zip.data(), static_cast<unsigned>(m_zip.size()));
    }

    bool Draw(Canvas& c, RECT item, LPCTSTR desc, LPCTSTR modify = nullptr) {
        RECT paint{0, 0, c.width(), c.height()};
        return CRenderEngine::DrawImageString(c.dc(), &m_pm, item, paint, desc, modify);
    }

    CPaintManagerUI m_pm;
    std::vector<uint8_t> m_zip;
};

// Three 95-pixel strips: red, green, blue.
std::vector<uint8_t> ButtonStrips() {
    return MakePng(285, 30, [](int x, int) {
        if (x < 95)
            return Rgba{255, 0, 0, 255};
        if (x < 190)
            return Rgba{0, 255, 0, 255};
        return Rgba{0, 0, 255, 255};
    });
}

Rgba Pattern(int x, int y) {
    return Rgba{static_cast<uint8_t>(x * 7), static_cast<uint8_t>(y * 5),
                static_cast<uint8_t>((x ^ y) & 0xFF), 255};
}

} // namespace

// ---- Reading pixels ----

// The pixel reader every test here relies on: rows counted from the top for
// top-down and bottom-up DIB sections alike, alpha included.
TEST(PixelReading, RowsOfTopDownAndBottomUpBitmaps) {
    for (int height : {-3, 3}) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = 2;
        bi.bmiHeader.biHeight = height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bmp = plat::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(bmp, nullptr);
        // Memory row m holds 0x80m0000x: the top row is memory row 0 when
        // top-down, 2 when bottom-up.
        auto* px = static_cast<uint32_t*>(bits);
        for (uint32_t m = 0; m < 3; ++m)
            for (uint32_t x = 0; x < 2; ++x)
                px[m * 2 + x] = 0x80000000u | m << 16 | x;
        HDC dc = plat::CreateCompatibleDC(nullptr);
        HGDIOBJ old = plat::SelectObject(dc, bmp);
        for (int y = 0; y < 3; ++y) {
            const uint32_t m = height < 0 ? uint32_t(y) : uint32_t(2 - y);
            plat::DWORD v = 0;
            ASSERT_TRUE(plat::GetPixelArgb(dc, 1, y, &v)) << height << " " << y;
            EXPECT_EQ(v, 0x80000001u | m << 16) << height << " " << y;
        }
        plat::DWORD v = 0;
        EXPECT_FALSE(plat::GetPixelArgb(dc, 2, 0, &v));
        EXPECT_FALSE(plat::GetPixelArgb(dc, 0, 3, &v));
        EXPECT_FALSE(plat::GetPixelArgb(dc, -1, 0, &v));
        plat::SelectObject(dc, old);
        plat::DeleteDC(dc);
        plat::DeleteObject(bmp);
    }
}

// ---- Image descriptions ----

TEST_F(RenderTest, SecondStripOfAButtonImage) {
    UseImages({{"confirmBtn.png", ButtonStrips()}});
    Canvas c(120, 40);
    RECT item{10, 5, 105, 35};
    ASSERT_TRUE(Draw(c, item, L"file='confirmBtn.png' source='95,0,190,30'"));
    EXPECT_EQ(c.At(10, 5), 0xFF00FF00u);
    EXPECT_EQ(c.At(104, 34), 0xFF00FF00u);
    EXPECT_EQ(c.At(105, 34), kWhite);
    EXPECT_EQ(c.At(9, 5), kWhite);
    EXPECT_EQ(c.At(10, 35), kWhite);
    // With a trailing space the pass simply ends after "source".
    ASSERT_TRUE(Draw(c, item, L"file='confirmBtn.png' source='0,0,95,30' "));
    EXPECT_EQ(c.At(10, 5), 0xFFFF0000u);
    EXPECT_EQ(c.At(104, 34), 0xFFFF0000u);
}

TEST_F(RenderTest, OpaqueImageAtItsSizeIsCopiedPixelForPixel) {
    UseImages({{"installerinstallbg.png", MakePng(560, 408, Pattern)}});
    Canvas c(560, 408);
    ASSERT_TRUE(Draw(c, RECT{0, 0, 560, 408}, L"installerinstallbg.png"));
    int mismatches = 0;
    for (int y = 0; y < 408; ++y)
        for (int x = 0; x < 560; ++x)
            if (c.At(x, y) != Argb(Pattern(x, y)))
                ++mismatches;
    EXPECT_EQ(mismatches, 0);
    // A paint rectangle limits the copy to the visible part.
    c.Fill(kWhite);
    RECT paint{100, 50, 110, 60};
    CRenderEngine::DrawImageString(c.dc(), &m_pm, RECT{0, 0, 560, 408}, paint,
                                   L"installerinstallbg.png");
    EXPECT_EQ(c.At(100, 50), Argb(Pattern(100, 50)));
    EXPECT_EQ(c.At(99, 50), kWhite);
    EXPECT_EQ(c.At(110, 59), kWhite);
}

TEST_F(RenderTest, CheckBoxAtThirteenPixelsInTheCorner) {
    UseImages({{"checkboxBtn.png", MakePng(26, 13, [](int x, int y) {
                    return x < 13 ? Rgba{static_cast<uint8_t>(10 + x), static_cast<uint8_t>(10 + y),
                                         200, 255}
                                  : Rgba{0, 0, 0, 255};
                })}});
    Canvas c(140, 60);
    RECT item{20, 30, 120, 53};
    ASSERT_TRUE(Draw(c, item, L"file='checkboxBtn.png' source='0,0,13,13' dest='0,0,13,13'"));
    EXPECT_EQ(c.At(20, 30), Argb({10, 10, 200, 255}));
    EXPECT_EQ(c.At(32, 42), Argb({22, 22, 200, 255}));
    EXPECT_EQ(c.At(33, 30), kWhite);
    EXPECT_EQ(c.At(20, 43), kWhite);
    EXPECT_EQ(c.At(60, 40), kWhite);
}

TEST_F(RenderTest, DestIsLimitedToTheItem) {
    UseImages({{"big.png", SolidPng(200, 200, {0, 0, 0, 255})}});
    Canvas c(100, 100);
    ASSERT_TRUE(Draw(c, RECT{10, 10, 60, 50}, L"file='big.png' dest='0,0,999,999'"));
    EXPECT_TRUE(GdiOpaque(c.At(10, 10), 0xFF000000));
    EXPECT_TRUE(GdiOpaque(c.At(59, 49), 0xFF000000));
    EXPECT_EQ(c.At(60, 49), kWhite);
    EXPECT_EQ(c.At(59, 50), kWhite);
    // Left and top are not limited: a dest starting before the item draws
    // outside it on that side.
    c.Fill(kWhite);
    ASSERT_TRUE(Draw(c, RECT{20, 20, 60, 60}, L"file='big.png' dest='-10,-10,10,10'"));
    EXPECT_TRUE(GdiOpaque(c.At(10, 10), 0xFF000000));
    EXPECT_TRUE(GdiOpaque(c.At(29, 29), 0xFF000000));
    EXPECT_EQ(c.At(30, 30), kWhite);
}

TEST_F(RenderTest, SourceIsCutToTheImage) {
    // 20 x 20: left half red, right half blue.
    UseImages({{"half.png", MakePng(20, 20, [](int x, int) {
                    return x < 10 ? Rgba{255, 0, 0, 255} : Rgba{0, 0, 255, 255};
                })}});
    Canvas c(60, 60);
    ASSERT_TRUE(Draw(c, RECT{0, 0, 40, 40}, L"file='half.png' source='0,0,500,500'"));
    // The source became (0, 0, 20, 20), stretched to 40 x 40.
    EXPECT_TRUE(GdiOpaque(c.At(5, 5), 0xFFFF0000));
    EXPECT_TRUE(GdiOpaque(c.At(15, 39), 0xFFFF0000));
    EXPECT_TRUE(GdiOpaque(c.At(25, 5), 0xFF0000FF));
    EXPECT_TRUE(GdiOpaque(c.At(39, 39), 0xFF0000FF));
    EXPECT_EQ(c.At(40, 20), kWhite);
}

TEST_F(RenderTest, TwoFilesAreDrawnInOrderWithTheSameSettings) {
    UseImages({{"a.png", SolidPng(10, 10, {255, 0, 0, 255})},
               {"b.png", MakePng(10, 10, [](int x, int) {
                    return x < 5 ? Rgba{0, 0, 0, 0} : Rgba{0, 0, 255, 255};
                })}});
    Canvas c(40, 20);
    ASSERT_TRUE(Draw(c, RECT{0, 0, 40, 20}, L"file='a.png' dest='0,0,10,10' file='b.png'"));
    EXPECT_EQ(c.At(2, 2), 0xFFFF0000u); // a.png, seen through b.png's clear half
    EXPECT_EQ(c.At(7, 7), 0xFF0000FFu); // b.png on top
    EXPECT_EQ(c.At(12, 2), kWhite);     // the same dest for both
}

TEST_F(RenderTest, ResKeysAreNotCountedAsFiles) {
    UseImages({{"a.png", SolidPng(10, 10, {255, 0, 0, 255})},
               {"b.png", MakePng(10, 10, [](int x, int) {
                    return x < 5 ? Rgba{0, 0, 0, 0} : Rgba{0, 0, 255, 255};
                })}});
    Canvas c(20, 20);
    // "res" replaces the name without drawing what came before.
    ASSERT_TRUE(Draw(c, RECT{0, 0, 10, 10}, L"res='a.png' res='b.png'"));
    EXPECT_EQ(c.At(2, 2), kWhite);
    EXPECT_EQ(c.At(7, 2), 0xFF0000FFu);
    // After a counted "file", a "res" draws the file first.
    c.Fill(kWhite);
    ASSERT_TRUE(Draw(c, RECT{0, 0, 10, 10}, L"file='a.png' res='b.png'"));
    EXPECT_EQ(c.At(2, 2), 0xFFFF0000u);
    // Empty values and unknown keys are ignored.
    c.Fill(kWhite);
    ASSERT_TRUE(Draw(c, RECT{0, 0, 10, 10}, L"file='a.png' source='' colour='red' dest='0,0,5,5'"));
    EXPECT_TRUE(GdiOpaque(c.At(2, 2), 0xFFFF0000));
    EXPECT_EQ(c.At(7, 7), kWhite);
}

TEST_F(RenderTest, DoubleQuotesEndThePass) {
    UseImages({{"a.png", SolidPng(10, 10, {255, 0, 0, 255})}});
    Canvas c(20, 20);
    EXPECT_TRUE(Draw(c, RECT{0, 0, 10, 10}, L"file=\"a.png\""));
    EXPECT_EQ(c.At(5, 5), kWhite);
    EXPECT_EQ(m_pm.GetImage(L"file=\"a.png\""), nullptr);
    // Unbalanced single quotes: the pass ends, the whole text is the name.
    EXPECT_TRUE(Draw(c, RECT{0, 0, 10, 10}, L"file='a.png"));
    EXPECT_EQ(c.At(5, 5), kWhite);
    // A plain name is the whole description.
    EXPECT_TRUE(Draw(c, RECT{0, 0, 10, 10}, L"a.png"));
    EXPECT_EQ(c.At(5, 5), 0xFFFF0000u);
}

TEST_F(RenderTest, ModifierPassOverridesTheDescription) {
    UseImages({{"confirmBtn.png", ButtonStrips()}});
    Canvas c(100, 30);
    ASSERT_TRUE(Draw(c, RECT{0, 0, 95, 30}, L"file='confirmBtn.png' source='0,0,95,30'",
                     L"source='190,0,285,30'"));
    EXPECT_EQ(c.At(50, 15), 0xFF0000FFu);
    EXPECT_FALSE(CRenderEngine::DrawImageString(c.dc(), nullptr, RECT{0, 0, 1, 1}, RECT{0, 0, 1, 1},
                                                L"x.png"));
    EXPECT_FALSE(CRenderEngine::DrawImageString(nullptr, &m_pm, RECT{0, 0, 1, 1}, RECT{0, 0, 1, 1},
                                                L"x.png"));
}

TEST_F(RenderTest, FadeOnAnOpaqueImageBlendsAtHalf) {
    UseImages({{"red.png", SolidPng(10, 10, {255, 0, 0, 255})}});
    Canvas c(20, 20);
    ASSERT_TRUE(Draw(c, RECT{0, 0, 10, 10}, L"file='red.png' fade='128'"));
    EXPECT_TRUE(Near(c.At(5, 5), 0xFFFF7F7F));
    // The value is taken modulo 256.
    c.Fill(kWhite);
    ASSERT_TRUE(Draw(c, RECT{0, 0, 10, 10}, L"file='red.png' fade='384'"));
    EXPECT_TRUE(Near(c.At(5, 5), 0xFFFF7F7F));
}

TEST_F(RenderTest, MaskMakesPixelsTransparent) {
    UseImages({{"m.png", MakePng(2, 1, [](int x, int) {
                    return x == 0 ? Rgba{255, 0, 255, 255} : Rgba{0, 128, 0, 255};
                })}});
    Canvas c(4, 2);
    ASSERT_TRUE(Draw(c, RECT{0, 0, 2, 1}, L"file='m.png' mask='#FFFF00FF'"));
    EXPECT_EQ(c.At(0, 0), kWhite);
    EXPECT_EQ(c.At(1, 0), 0xFF008000u);
}

TEST_F(RenderTest, HorizontalTilesOfTenTenAndFive) {
    // 10 columns of distinct colours, 4 rows alike.
    UseImages({{"tile.png", MakePng(10, 4, [](int x, int) {
                    return Rgba{static_cast<uint8_t>(20 * x + 10), 0, 0, 255};
                })}});
    Canvas c(40, 20);
    ASSERT_TRUE(Draw(c, RECT{0, 2, 25, 10}, L"file='tile.png' xtiled='true'"));
    for (int x = 0; x < 25; ++x) {
        uint32_t expect = Argb({static_cast<uint8_t>(20 * (x % 10) + 10), 0, 0, 255});
        EXPECT_TRUE(GdiOpaque(c.At(x, 2), expect)) << x;
        EXPECT_TRUE(GdiOpaque(c.At(x, 9), expect)) << x << " (tiles span the full height)";
    }
    EXPECT_EQ(c.At(25, 5), kWhite);
    EXPECT_EQ(c.At(5, 10), kWhite);
    EXPECT_EQ(c.At(5, 1), kWhite);
    // The blended path lays the same tiles.
    c.Fill(kWhite);
    ASSERT_TRUE(Draw(c, RECT{0, 2, 25, 10}, L"file='tile.png' xtiled='true' fade='254'"));
    EXPECT_TRUE(Near(c.At(21, 9), Argb({30, 0, 0, 255})));
    EXPECT_EQ(c.At(25, 9), kWhite);
}

TEST_F(RenderTest, VerticalAndBothWayTiles) {
    UseImages({{"t.png", MakePng(4, 4, [](int x, int y) {
                    return Rgba{static_cast<uint8_t>(x * 60), static_cast<uint8_t>(y * 60), 0, 255};
                })}});
    Canvas c(20, 20);
    ASSERT_TRUE(Draw(c, RECT{0, 0, 10, 10}, L"file='t.png' xtiled='true' ytiled='true'"));
    EXPECT_EQ(c.At(9, 9), Argb({60, 60, 0, 255}));
    EXPECT_EQ(c.At(5, 6), Argb({60, 120, 0, 255}));
    EXPECT_EQ(c.At(10, 10), kWhite);
    c.Fill(kWhite);
    ASSERT_TRUE(Draw(c, RECT{0, 0, 4, 10}, L"file='t.png' ytiled='true'"));
    EXPECT_EQ(c.At(3, 9), Argb({180, 60, 0, 255}));
    EXPECT_EQ(c.At(0, 4), Argb({0, 0, 0, 255}));
}

TEST_F(RenderTest, NinePartCornersAndHole) {
    // 9 x 9: a 3-pixel frame of blue around a red middle; corners green.
    UseImages({{"frame.png", MakePng(9, 9, [](int x, int y) {
                    bool ex = x < 3 || x >= 6, ey = y < 3 || y >= 6;
                    if (ex && ey)
                        return Rgba{0, 255, 0, 255};
                    if (ex || ey)
                        return Rgba{0, 0, 255, 255};
                    return Rgba{255, 0, 0, 255};
                })}});
    Canvas c(40, 40);
    ASSERT_TRUE(Draw(c, RECT{0, 0, 30, 30}, L"file='frame.png' corner='3,3,3,3'"));
    EXPECT_EQ(c.At(0, 0), 0xFF00FF00u);
    EXPECT_EQ(c.At(2, 2), 0xFF00FF00u);
    EXPECT_EQ(c.At(29, 29), 0xFF00FF00u);
    EXPECT_EQ(c.At(27, 0), 0xFF00FF00u);
    EXPECT_TRUE(GdiOpaque(c.At(15, 1), 0xFF0000FF));  // top edge stretched
    EXPECT_TRUE(GdiOpaque(c.At(1, 15), 0xFF0000FF));  // left edge
    EXPECT_TRUE(GdiOpaque(c.At(15, 15), 0xFFFF0000)); // middle
    EXPECT_EQ(c.At(30, 15), kWhite);
    c.Fill(kWhite);
    ASSERT_TRUE(Draw(c, RECT{0, 0, 30, 30}, L"file='frame.png' corner='3,3,3,3' hole='true'"));
    EXPECT_EQ(c.At(15, 15), kWhite);
    EXPECT_TRUE(GdiOpaque(c.At(15, 1), 0xFF0000FF));
}

TEST_F(RenderTest, SemiTransparentImageBlendsAndSettingsCarryOver) {
    UseImages({{"glass.png", SolidPng(4, 4, {0, 0, 0, 128})},
               {"solid.png", SolidPng(8, 8, {0, 0, 255, 255})}});
    Canvas c(20, 20);
    ASSERT_TRUE(Draw(c, RECT{0, 0, 4, 4}, L"glass.png"));
    EXPECT_TRUE(Near(c.At(1, 1), 0xFF7F7F7F));
    // The second file inherits the first's source rectangle.
    c.Fill(kWhite);
    ASSERT_TRUE(Draw(c, RECT{0, 0, 20, 20},
                     L"file='glass.png' source='0,0,2,2' dest='0,0,2,2' file='solid.png'"));
    EXPECT_EQ(c.At(0, 0), 0xFF0000FFu);
    EXPECT_EQ(c.At(2, 2), kWhite);
}

// ---- Fills, gradients, outlines ----

TEST(RenderFill, AlphaZeroDrawsNothingAndHalfAlphaBlends) {
    Canvas c(10, 10);
    CRenderEngine::DrawColor(c.dc(), RECT{0, 0, 10, 10}, 0x00FF0000);
    EXPECT_EQ(c.At(5, 5), kWhite);
    CRenderEngine::DrawColor(c.dc(), RECT{0, 0, 5, 10}, 0x80FF0000);
    EXPECT_TRUE(Near(c.At(2, 5), 0xFFFF7F7F));
    EXPECT_EQ(c.At(5, 5), kWhite);
    CRenderEngine::DrawColor(c.dc(), RECT{0, 0, 10, 10}, 0xFF00FF00);
    EXPECT_EQ(c.At(9, 9), 0xFF00FF00u);
}

TEST(RenderFill, Gradients) {
    Canvas c(20, 100);
    CRenderEngine::DrawGradient(c.dc(), RECT{0, 0, 20, 100}, 0xFFFF0000, 0xFF0000FF, true, 64);
    EXPECT_TRUE(Near(c.At(10, 0), 0xFFFF0000, 6));
    EXPECT_TRUE(Near(c.At(10, 99), 0xFF0000FF, 6));
    EXPECT_TRUE(Near(c.At(10, 50), 0xFF7F007F, 8));
    EXPECT_EQ(c.At(0, 10), c.At(19, 10)) << "vertical: rows are uniform";
    Canvas h(100, 4);
    CRenderEngine::DrawGradient(h.dc(), RECT{0, 0, 100, 4}, 0xFF000000, 0xFFFFFFFF, false, 64);
    EXPECT_LT(Channel(h.At(5, 2), 0), Channel(h.At(95, 2), 0));
    // Average alpha 0 draws nothing; below 255 blends.
    Canvas z(10, 10);
    CRenderEngine::DrawGradient(z.dc(), RECT{0, 0, 10, 10}, 0x00FF0000, 0x01FF0000, true, 8);
    EXPECT_EQ(z.At(5, 5), kWhite);
    CRenderEngine::DrawGradient(z.dc(), RECT{0, 0, 10, 10}, 0x80000000, 0x80000000, true, 8);
    EXPECT_TRUE(Near(z.At(5, 5), 0xFF7F7F7F, 3));
}

TEST(RenderFill, OutlinesAndLines) {
    Canvas c(30, 30);
    CRenderEngine::DrawRect(c.dc(), RECT{5, 5, 25, 25}, 2, 0xFF0000FF);
    EXPECT_TRUE(GdiOpaque(c.At(5, 5), 0xFF0000FF));
    EXPECT_TRUE(GdiOpaque(c.At(6, 15), 0xFF0000FF));
    EXPECT_TRUE(GdiOpaque(c.At(24, 24), 0xFF0000FF));
    EXPECT_EQ(c.At(7, 15), kWhite);
    EXPECT_EQ(c.At(25, 25), kWhite);
    EXPECT_EQ(c.At(4, 4), kWhite);
    c.Fill(kWhite);
    CRenderEngine::DrawLine(c.dc(), RECT{0, 10, 20, 10}, 1, 0xFFFF0000);
    EXPECT_TRUE(GdiOpaque(c.At(0, 10), 0xFFFF0000));
    EXPECT_TRUE(GdiOpaque(c.At(19, 10), 0xFFFF0000));
    EXPECT_EQ(c.At(20, 10), kWhite) << "the end point is excluded";
    c.Fill(kWhite);
    CRenderEngine::DrawRoundRect(c.dc(), RECT{0, 0, 20, 20}, 6, 6, 1, 0xFF000000);
    EXPECT_EQ(c.At(0, 0), kWhite) << "rounded corner";
    EXPECT_TRUE(GdiOpaque(c.At(10, 0), 0xFF000000));
    EXPECT_EQ(c.At(10, 10), kWhite);
}

TEST(RenderFill, ColourHelpers) {
    EXPECT_EQ(CRenderEngine::CheckAlphaColor(0xFF000000), 0xFF000001u);
    EXPECT_EQ(CRenderEngine::CheckAlphaColor(0x00000000), 0x00000001u);
    EXPECT_EQ(CRenderEngine::CheckAlphaColor(0xFF000100), 0xFF000100u);
    EXPECT_EQ(CRenderEngine::AdjustColor(0xFF123456, 180, 100, 100), 0xFF123456u);
    EXPECT_EQ(CRenderEngine::AdjustColor(0xFFFF0000, 300, 100, 100) & 0xFFFFFF,
              0x00FF00u); // +120 degrees
}

TEST(RenderFill, LayeredAlphaHelpers) {
    std::vector<uint32_t> px = {0xFF112233, 0x00000000, 0x00102030,
                                0x80102030, 0xFF445566, 0x00000001};
    RECT all{0, 0, 3, 2};
    std::vector<uint32_t> restored = px;
    CRenderEngine::RestoreAlphaColor(reinterpret_cast<LPBYTE>(restored.data()), 3, &all);
    EXPECT_EQ(restored[1], 0x00000000u);
    EXPECT_EQ(restored[2], 0xFF102030u);
    EXPECT_EQ(restored[3], 0x80102030u);
    EXPECT_EQ(restored[5], 0xFF000001u);
    RECT part{1, 0, 3, 1};
    CRenderEngine::ClearAlphaPixel(reinterpret_cast<LPBYTE>(px.data()), 3, &part);
    EXPECT_EQ(px[0], 0xFF112233u);
    EXPECT_EQ(px[1], 0u);
    EXPECT_EQ(px[2], 0u);
    EXPECT_EQ(px[4], 0xFF445566u);
    // A rectangle wider than the rows is limited to them.
    RECT wide{-5, 1, 99, 2};
    CRenderEngine::ClearAlphaPixel(reinterpret_cast<LPBYTE>(px.data()), 3, &wide);
    EXPECT_EQ(px[3], 0u);
    EXPECT_EQ(px[5], 0u);
}

// ---- Clipping ----

TEST(RenderClip, SavesAndRestoresTheClip) {
    Canvas c(40, 40);
    {
        CRenderClip clip;
        CRenderClip::GenerateClip(c.dc(), RECT{10, 10, 20, 20}, clip);
        CRenderEngine::DrawColor(c.dc(), RECT{0, 0, 40, 40}, 0xFFFF0000);
        EXPECT_EQ(c.At(10, 10), 0xFFFF0000u);
        EXPECT_EQ(c.At(9, 10), kWhite);
        EXPECT_EQ(c.At(20, 19), kWhite);
        CRenderClip::UseOldClipBegin(c.dc(), clip);
        CRenderEngine::DrawColor(c.dc(), RECT{0, 0, 5, 5}, 0xFF0000FF);
        EXPECT_EQ(c.At(0, 0), 0xFF0000FFu);
        CRenderClip::UseOldClipEnd(c.dc(), clip);
        CRenderEngine::DrawColor(c.dc(), RECT{0, 0, 40, 40}, 0xFF00FF00);
        EXPECT_EQ(c.At(15, 15), 0xFF00FF00u);
        EXPECT_EQ(c.At(30, 30), kWhite);
        {
            // Nested: the inner clip narrows the outer one.
            CRenderClip inner;
            CRenderClip::GenerateClip(c.dc(), RECT{15, 0, 40, 40}, inner);
            CRenderEngine::DrawColor(c.dc(), RECT{0, 0, 40, 40}, 0xFF000000);
            EXPECT_EQ(c.At(14, 15), 0xFF00FF00u);
            EXPECT_EQ(c.At(15, 15), 0xFF000000u);
            EXPECT_EQ(c.At(25, 15), kWhite);
        }
        // Back to the outer clip.
        CRenderEngine::DrawColor(c.dc(), RECT{0, 0, 40, 40}, 0xFF808080);
        EXPECT_EQ(c.At(10, 10), 0xFF808080u);
        EXPECT_EQ(c.At(25, 15), kWhite);
    }
    // Destroyed: no clip at all.
    CRenderEngine::DrawColor(c.dc(), RECT{0, 0, 40, 40}, 0xFF123456);
    EXPECT_EQ(c.At(39, 39), 0xFF123456u);
}

TEST(RenderClip, RoundClipRemovesCornerPixelsAndComesBackExactly) {
    Canvas c(12, 12);
    {
        CRenderClip clip;
        // Corners of a 4 x 4 ellipse: GDI's smallest rounding that cuts the
        // corner pixel on both systems (how an ellipse of 2 x 2 rounds is
        // GDI's own detail: Wine cuts nothing).
        CRenderClip::GenerateRoundClip(c.dc(), RECT{0, 0, 10, 10}, RECT{0, 0, 10, 10}, 4, 4, clip);
        CRenderEngine::DrawColor(c.dc(), RECT{0, 0, 12, 12}, 0xFF000000);
        EXPECT_EQ(c.At(0, 0), kWhite);
        EXPECT_EQ(c.At(9, 0), kWhite);
        EXPECT_EQ(c.At(0, 9), kWhite);
        EXPECT_EQ(c.At(9, 9), kWhite);
        EXPECT_EQ(c.At(1, 0), 0xFF000000u);
        EXPECT_EQ(c.At(0, 1), 0xFF000000u);
        EXPECT_EQ(c.At(9, 8), 0xFF000000u);
        EXPECT_EQ(c.At(10, 5), kWhite);
        {
            CRenderClip inner;
            CRenderClip::GenerateClip(c.dc(), RECT{0, 0, 5, 5}, inner);
        }
        // After the inner clip is gone the rounded corners are still cut.
        c.Fill(kWhite);
        CRenderEngine::DrawColor(c.dc(), RECT{0, 0, 12, 12}, 0xFF000000);
        EXPECT_EQ(c.At(9, 9), kWhite);
        EXPECT_EQ(c.At(8, 9), 0xFF000000u);
    }
}

// ---- Text ----

namespace {

// Rows that hold any non-white pixel.
std::vector<int> InkRows(const Canvas& c, RECT area) {
    std::vector<int> rows;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (c.At(x, y) != kWhite) {
                rows.push_back(y);
                break;
            }
    return rows;
}

int InkRight(const Canvas& c) {
    int right = -1;
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x)
            if (c.At(x, y) != kWhite)
                right = std::max(right, x);
    return right;
}

int LineBands(const std::vector<int>& rows) {
    int bands = 0;
    for (size_t i = 0; i < rows.size(); ++i)
        if (i == 0 || rows[i] != rows[i - 1] + 1)
            ++bands;
    return bands;
}

} // namespace

TEST(RenderText, VCenterNeedsSingleLine) {
    CPaintManagerUI pm;
    Canvas multi(100, 100), single(100, 100);
    RECT rc{0, 0, 100, 100};
    CRenderEngine::DrawText(multi.dc(), &pm, rc, L"Hello", 0xFF000000, -1, DT_VCENTER);
    rc = RECT{0, 0, 100, 100};
    CRenderEngine::DrawText(single.dc(), &pm, rc, L"Hello", 0xFF000000, -1,
                            DT_VCENTER | DT_SINGLELINE);
    std::vector<int> top = InkRows(multi, RECT{0, 0, 100, 100});
    std::vector<int> mid = InkRows(single, RECT{0, 0, 100, 100});
    ASSERT_FALSE(top.empty());
    ASSERT_FALSE(mid.empty());
    EXPECT_LT(top.front(), 20);
    EXPECT_GT(mid.front(), 35);
    EXPECT_LT(mid.back(), 65);
}

TEST(RenderText, WordBreaksAndEndEllipsis) {
    CPaintManagerUI pm;
    Canvas c(200, 120);
    RECT rc{0, 0, 60, 120};
    const wchar_t* text = L"alpha beta gamma delta";
    CRenderEngine::DrawText(c.dc(), &pm, rc, text, 0xFF000000, -1, DT_WORDBREAK);
    EXPECT_GE(LineBands(InkRows(c, RECT{0, 0, 200, 120})), 3);
    EXPECT_LT(InkRight(c), 60) << "text is clipped to the rectangle";
    // DT_CALCRECT with word breaks wraps at the rectangle's width, grows the
    // height and takes the width of the widest line, which holds the lines
    // drawn above.
    RECT calc{0, 0, 60, 0};
    CRenderEngine::DrawText(c.dc(), &pm, calc, text, 0xFF000000, -1, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_LE(calc.right, 60);
    EXPECT_GT(calc.right, InkRight(c));
    EXPECT_GT(calc.bottom, 2 * pm.GetDefaultFontInfo()->tm.tmHeight);
    // Without word breaks CALCRECT widens to the line.
    RECT one{0, 0, 10, 0};
    CRenderEngine::DrawText(c.dc(), &pm, one, text, 0xFF000000, -1, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_GT(one.right, 60);
    EXPECT_EQ(one.bottom, pm.GetDefaultFontInfo()->tm.tmHeight);
    // Text that fits on one line of a wide rectangle: the width shrinks to
    // that line.
    RECT wide{0, 0, 1000, 0};
    CRenderEngine::DrawText(c.dc(), &pm, wide, text, 0xFF000000, -1, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(wide.right, one.right);
    EXPECT_EQ(wide.bottom, one.bottom);
    // End ellipsis: the cut text differs from the clipped text and stays inside.
    Canvas cut(200, 30), clipped(200, 30);
    RECT r1{0, 0, 50, 30}, r2{0, 0, 50, 30};
    CRenderEngine::DrawText(cut.dc(), &pm, r1, L"WWWWWWWWWWWWWWWW", 0xFF000000, -1,
                            DT_SINGLELINE | DT_END_ELLIPSIS);
    CRenderEngine::DrawText(clipped.dc(), &pm, r2, L"WWWWWWWWWWWWWWWW", 0xFF000000, -1,
                            DT_SINGLELINE);
    EXPECT_LT(InkRight(cut), 50);
    int differing = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 50; ++x)
            differing += cut.At(x, y) != clipped.At(x, y);
    EXPECT_GT(differing, 10);
}

TEST(RenderText, ColourFontsAndAmpersand) {
    CPaintManagerUI pm;
    pm.AddFont(L"Sans", 24, true, false, false);
    Canvas c(200, 40);
    RECT rc{0, 0, 200, 40};
    CRenderEngine::DrawText(c.dc(), &pm, rc, L"&&&", 0xFFFF0000, 0, DT_SINGLELINE);
    bool red = false;
    for (int x = 0; x < 200 && !red; ++x)
        for (int y = 0; y < 40 && !red; ++y)
            red = GdiOpaque(c.At(x, y), 0xFFFF0000);
    EXPECT_TRUE(red);
    SIZE big = CRenderEngine::GetTextSize(c.dc(), &pm, L"&&&", 0);
    SIZE small = CRenderEngine::GetTextSize(c.dc(), &pm, L"&&&", -1);
    EXPECT_GT(big.cx, small.cx);
    EXPECT_GT(small.cx, 0);
    // Nothing without text or manager.
    Canvas blank(20, 20);
    RECT r{0, 0, 20, 20};
    CRenderEngine::DrawText(blank.dc(), nullptr, r, L"x", 0xFF000000, -1, 0);
    CRenderEngine::DrawText(blank.dc(), &pm, r, nullptr, 0xFF000000, -1, 0);
    EXPECT_TRUE(InkRows(blank, RECT{0, 0, 20, 20}).empty());
}

TEST(RenderText, AntiAliasedBackEnd) {
    CPaintManagerUI pm;
    pm.SetUseGdiplusText(true);
    Canvas c(100, 100);
    RECT rc{0, 0, 100, 100};
    // Here vertical centring does not need DT_SINGLELINE.
    CRenderEngine::DrawText(c.dc(), &pm, rc, L"Hello", 0xFF000000, -1, DT_VCENTER);
    std::vector<int> rows = InkRows(c, RECT{0, 0, 100, 100});
    ASSERT_FALSE(rows.empty());
    EXPECT_GT(rows.front(), 35);
    RECT calc{10, 10, 10, 10};
    CRenderEngine::DrawText(c.dc(), &pm, calc, L"Hello", 0xFF000000, -1, DT_CALCRECT);
    EXPECT_GT(calc.right, 11);
    EXPECT_GT(calc.bottom, 11);
    int plainWidth = CRenderEngine::GetTextSize(c.dc(), &pm, L"Hello", -1).cx;
    EXPECT_NEAR(calc.right - 10, plainWidth + 1, 4);
}
