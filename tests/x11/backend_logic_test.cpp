// The parts of the X11 backend that need no X server: telling the echoes
// of its own geometry requests from moves by the desktop, pixels for a
// display with or without a compositor, the one-bit shape from alpha, and
// keys to virtual-key codes and text.
#include <gtest/gtest.h>

#include "plat/backend/x11/x11_internal.h"
#include "plat/win/winuser.h"

#include <X11/keysym.h>

using namespace plat;
using namespace plat::x11;

namespace {

TEST(PendingGeometryTest, EchoesOfOwnRequestsAreNotNewsAndDesktopMovesAre) {
    PendingGeometry p;
    // Nothing asked: whatever the display reports is the desktop's doing.
    EXPECT_TRUE(p.Confirm(Geometry{10, 10, 100, 100}));
    // Three moves in flight during a drag; their echoes come in order, and
    // a stale echo must not drag the window back.
    p.Requested(Geometry{20, 10, 100, 100}, 1000);
    p.Requested(Geometry{30, 10, 100, 100}, 1001);
    p.Requested(Geometry{40, 10, 100, 100}, 1002);
    EXPECT_FALSE(p.Confirm(Geometry{20, 10, 100, 100}));
    EXPECT_FALSE(p.Confirm(Geometry{30, 10, 100, 100}));
    EXPECT_FALSE(p.Empty());
    EXPECT_FALSE(p.Confirm(Geometry{40, 10, 100, 100}));
    EXPECT_TRUE(p.Empty());
    EXPECT_TRUE(p.Confirm(Geometry{50, 60, 100, 100}));
}

TEST(PendingGeometryTest, AWindowManagerThatPlacesElsewhereIsBelievedAfterAQuietTime) {
    PendingGeometry p;
    Geometry g;
    p.Requested(Geometry{-50, -50, 100, 100}, 1000);
    // The window manager keeps the window on the screen instead.
    EXPECT_FALSE(p.Confirm(Geometry{0, 0, 100, 100}));
    EXPECT_FALSE(p.Expire(1000 + PendingGeometry::kQuietMs - 1, &g));
    ASSERT_TRUE(p.Expire(1000 + PendingGeometry::kQuietMs, &g));
    EXPECT_EQ(g, (Geometry{0, 0, 100, 100}));
    EXPECT_TRUE(p.Empty());
    // A request answered exactly leaves nothing to believe later.
    p.Requested(Geometry{5, 5, 100, 100}, 2000);
    EXPECT_FALSE(p.Confirm(Geometry{5, 5, 100, 100}));
    EXPECT_FALSE(p.Expire(5000, &g));
}

TEST(PendingGeometryTest, UnansweredRequestsDoNotPileUp) {
    PendingGeometry p;
    for (int i = 0; i < 1000; ++i)
        p.Requested(Geometry{i, 0, 10, 10}, 1);
    // The oldest were dropped; the newest are still recognised.
    EXPECT_FALSE(p.Confirm(Geometry{999, 0, 10, 10}));
    EXPECT_TRUE(p.Empty());
}

TEST(PixelsTest, ConversionForEachKindOfDisplay) {
    // Half-transparent red, opaque green, transparent, premultiplied.
    uint32_t src[3] = {0x80800000u, 0xFF00FF00u, 0x00000000u};
    uint32_t dst[3] = {};
    RECT all{0, 0, 3, 1};
    auto run = [&](PixelMode m) {
        ConvertPixels(reinterpret_cast<const uint8_t*>(src), 12, reinterpret_cast<uint8_t*>(dst),
                      12, all, m);
    };
    run(PixelMode::Copy);
    EXPECT_EQ(dst[0], 0x80800000u);
    run(PixelMode::Opaque);
    EXPECT_EQ(dst[0], 0xFF800000u);
    EXPECT_EQ(dst[2], 0xFF000000u);
    // Without a compositor the colour is shown as meant, not darkened.
    run(PixelMode::Unpremultiply);
    EXPECT_EQ(dst[0], 0x80FF0000u);
    EXPECT_EQ(dst[1], 0xFF00FF00u);
    EXPECT_EQ(dst[2], 0u);
}

TEST(PixelsTest, OnlyTheDirtyRectangleIsCopied) {
    std::vector<uint32_t> src(16, 0xFF112233u), dst(16, 0u);
    ConvertPixels(reinterpret_cast<const uint8_t*>(src.data()), 16,
                  reinterpret_cast<uint8_t*>(dst.data()), 16, RECT{1, 1, 3, 2}, PixelMode::Copy);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(dst[static_cast<size_t>(y) * 4 + x],
                      (y == 1 && x >= 1 && x < 3) ? 0xFF112233u : 0u)
                << x << "," << y;
}

TEST(AlphaShapeTest, KeepsPixelsOfAtLeastHalfOpacityInBands) {
    // 6 x 4: a ring of alpha 200 around a transparent 2 x 2 hole, and one
    // corner pixel of alpha 127 that is left out.
    std::vector<uint32_t> px(24, 0xC8000000u);
    px[0] = 0x7F000000u;
    px[1 * 6 + 2] = px[1 * 6 + 3] = px[2 * 6 + 2] = px[2 * 6 + 3] = 0;
    auto shape = AlphaShape(reinterpret_cast<const uint8_t*>(px.data()), 24, 6, 4, nullptr);
    auto has = [&](RECT r) {
        for (const RECT& s : shape)
            if (s.left == r.left && s.top == r.top && s.right == r.right && s.bottom == r.bottom)
                return true;
        return false;
    };
    ASSERT_EQ(shape.size(), 4u);
    EXPECT_TRUE(has(RECT{1, 0, 6, 1}));
    // Rows 1 and 2 have the same spans: one band of two rows.
    EXPECT_TRUE(has(RECT{0, 1, 2, 3}));
    EXPECT_TRUE(has(RECT{4, 1, 6, 3}));
    EXPECT_TRUE(has(RECT{0, 3, 6, 4}));
}

TEST(AlphaShapeTest, StaysInsideTheWindowRegion) {
    std::vector<uint32_t> px(16, 0xFF000000u);
    std::vector<RECT> region{RECT{1, 1, 3, 3}, RECT{-5, 3, 100, 100}};
    auto shape = AlphaShape(reinterpret_cast<const uint8_t*>(px.data()), 16, 4, 4, &region);
    ASSERT_EQ(shape.size(), 2u);
    EXPECT_EQ(shape[0].left, 1);
    EXPECT_EQ(shape[0].top, 1);
    EXPECT_EQ(shape[0].right, 3);
    EXPECT_EQ(shape[0].bottom, 3);
    EXPECT_EQ(shape[1].left, 0);
    EXPECT_EQ(shape[1].top, 3);
    EXPECT_EQ(shape[1].right, 4);
    EXPECT_EQ(shape[1].bottom, 4);
    // A fully transparent window has no shape at all (nothing is shown).
    std::vector<uint32_t> clear(16, 0u);
    EXPECT_TRUE(
        AlphaShape(reinterpret_cast<const uint8_t*>(clear.data()), 16, 4, 4, nullptr).empty());
}

TEST(KeysTest, VirtualKeyCodesComeFromTheUnshiftedKey) {
    EXPECT_EQ(VirtualKeyForKeysym(XK_a, XK_A), static_cast<UINT>('A'));
    EXPECT_EQ(VirtualKeyForKeysym(XK_1, XK_exclam), static_cast<UINT>('1'));
    EXPECT_EQ(VirtualKeyForKeysym(XK_F4, XK_F4), static_cast<UINT>(VK_F4));
    EXPECT_EQ(VirtualKeyForKeysym(XK_Alt_L, XK_Alt_L), static_cast<UINT>(VK_MENU));
    EXPECT_EQ(VirtualKeyForKeysym(XK_Shift_R, XK_Shift_R), static_cast<UINT>(VK_SHIFT));
    EXPECT_EQ(VirtualKeyForKeysym(XK_Return, XK_Return), static_cast<UINT>(VK_RETURN));
    EXPECT_EQ(VirtualKeyForKeysym(XK_ISO_Left_Tab, XK_ISO_Left_Tab), static_cast<UINT>(VK_TAB));
    EXPECT_EQ(VirtualKeyForKeysym(XK_minus, XK_underscore), static_cast<UINT>(VK_OEM_MINUS));
    // The keypad follows Num Lock: a digit, or a movement key.
    EXPECT_EQ(VirtualKeyForKeysym(XK_KP_Home, XK_KP_7), static_cast<UINT>(VK_NUMPAD0 + 7));
    EXPECT_EQ(VirtualKeyForKeysym(XK_KP_Home, XK_KP_Home), static_cast<UINT>(VK_HOME));
    EXPECT_EQ(VirtualKeyForKeysym(XK_KP_Enter, XK_KP_Enter), static_cast<UINT>(VK_RETURN));
    // A letter of another script has no code of its own.
    EXPECT_EQ(VirtualKeyForKeysym(XK_Cyrillic_zhe, XK_Cyrillic_zhe), 0u);
}

TEST(KeysTest, TextIsTheLayoutsCharacter) {
    EXPECT_EQ(TextForKeysym(XK_A, false, 0), L"A");
    EXPECT_EQ(TextForKeysym(XK_exclam, false, 0), L"!");
    EXPECT_EQ(TextForKeysym(XK_eacute, false, 0), L"\u00e9");
    EXPECT_EQ(TextForKeysym(XK_Cyrillic_zhe, false, 0), L"\u0436");
    EXPECT_EQ(TextForKeysym(XK_EuroSign, false, 0), L"\u20ac");
    // The keys Win32 types a control character for, and those it does not.
    EXPECT_EQ(TextForKeysym(XK_Return, false, 0), L"\r");
    EXPECT_EQ(TextForKeysym(XK_BackSpace, false, 0), L"\b");
    EXPECT_EQ(TextForKeysym(XK_Escape, false, 0), L"\x1b");
    EXPECT_EQ(TextForKeysym(XK_Delete, false, 0), L"");
    EXPECT_EQ(TextForKeysym(XK_Left, false, 0), L"");
    EXPECT_EQ(TextForKeysym(XK_Shift_L, false, 0), L"");
    // Ctrl+A types 0x01; Ctrl with a key that makes no control character
    // types nothing.
    EXPECT_EQ(TextForKeysym(XK_a, true, 0x01), L"\x01");
    EXPECT_EQ(TextForKeysym(XK_1, true, 0), L"");
}

} // namespace
