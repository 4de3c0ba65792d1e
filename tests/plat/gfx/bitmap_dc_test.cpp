// Bitmaps, DCs, the SaveDC stack, objects and handle safety.
#include "gfx_test_util.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace gfxtest;

namespace {

BITMAPINFO info(int w, int h, int bits = 32) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = WORD(bits);
    return bi;
}

} // namespace

TEST(GfxBitmap, TopDownDibHandsOutItsDrawingPixels) {
    BITMAPINFO bi = info(4, -3);
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bm, nullptr);
    ASSERT_NE(bits, nullptr);
    auto* p = static_cast<DWORD*>(bits);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(p[i], 0u) << "zero-filled";

    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bm);
    SetPixel(dc, 1, 0, RGB(0x10, 0x20, 0x30));
    SetPixel(dc, 2, 2, RGB(0xFF, 0, 0));
    // Row 0 first in memory, bytes B, G, R, A.
    EXPECT_EQ(p[1], 0xFF102030u);
    EXPECT_EQ(p[2 * 4 + 2], 0xFFFF0000u);
    auto* bytes = static_cast<BYTE*>(bits);
    EXPECT_EQ(bytes[4], 0x30);
    EXPECT_EQ(bytes[5], 0x20);
    EXPECT_EQ(bytes[6], 0x10);
    EXPECT_EQ(bytes[7], 0xFF);
    // Writes through the pointer are seen by GDI.
    p[3] = 0xFF0000FFu;
    EXPECT_EQ(GetPixel(dc, 3, 0), RGB(0, 0, 0xFF));

    BITMAP b{};
    ASSERT_EQ(GetObject(bm, sizeof b, &b), int(sizeof b));
    EXPECT_EQ(b.bmWidth, 4);
    EXPECT_EQ(b.bmHeight, 3);
    EXPECT_EQ(b.bmWidthBytes, 16);
    EXPECT_EQ(b.bmBitsPixel, 32);
    EXPECT_EQ(b.bmBits, bits);
    DeleteDC(dc);
    DeleteObject(bm);
}

TEST(GfxBitmap, Dib32HelperMakesAClearTopDownBitmap) {
    void* bits = reinterpret_cast<void*>(1);
    HBITMAP bm = CreateDIB32(600, 400, &bits);
    ASSERT_NE(bm, nullptr);
    ASSERT_NE(bits, nullptr);
    auto* p = static_cast<DWORD*>(bits);
    size_t nonZero = 0;
    for (size_t i = 0; i < 600u * 400u; ++i)
        nonZero += p[i] != 0;
    EXPECT_EQ(nonZero, 0u) << "all clear";
    BITMAP b{};
    ASSERT_EQ(GetObject(bm, sizeof b, &b), int(sizeof b));
    EXPECT_EQ(b.bmWidth, 600);
    EXPECT_EQ(b.bmHeight, 400);
    EXPECT_EQ(b.bmBitsPixel, 32);
    EXPECT_EQ(b.bmBits, bits);
    // Row 1 follows row 0 in memory.
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bm);
    p[600 + 2] = 0xFF0000FFu;
    EXPECT_EQ(GetPixel(dc, 2, 1), RGB(0, 0, 0xFF));
    DeleteDC(dc);
    DeleteObject(bm);
    EXPECT_NE(CreateDIB32(1, 1, nullptr), nullptr) << "the pixels need not be asked for";
    for (SIZE bad : {SIZE{0, 5}, SIZE{5, 0}, SIZE{-1, 5}, SIZE{5, -1}, SIZE{40000, 1}}) {
        bits = reinterpret_cast<void*>(1);
        EXPECT_EQ(CreateDIB32(bad.cx, bad.cy, &bits), nullptr) << bad.cx << " x " << bad.cy;
        EXPECT_EQ(bits, nullptr);
    }
}

TEST(GfxBitmap, BottomUpDibPresentsRowsBottomUp) {
    BITMAPINFO bi = info(3, 4);
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bm, nullptr);
    auto* p = static_cast<DWORD*>(bits);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bm);

    // Picture row 0 is the last row in memory.
    RECT top{0, 0, 3, 1};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &top, red);
    for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(p[3 * 3 + x], 0xFFFF0000u);
        EXPECT_EQ(p[x], 0u);
    }
    // The caller writes memory row 0, which is the picture's bottom row.
    p[1] = 0xFF00FF00u;
    EXPECT_EQ(GetPixel(dc, 1, 3), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(dc, 1, 0), RGB(255, 0, 0));

    // A blit out of the bottom-up bitmap delivers picture order.
    Canvas c(3, 4);
    ASSERT_TRUE(BitBlt(c.dc, 0, 0, 3, 4, dc, 0, 0, SRCCOPY));
    EXPECT_EQ(c.px(0, 0), 0xFFFF0000u);
    EXPECT_EQ(c.px(1, 3), 0xFF00FF00u);
    EXPECT_EQ(c.px(0, 3), 0u);

    DCPIXELS view{};
    ASSERT_TRUE(GetDCPixels(dc, &view));
    EXPECT_EQ(view.width, 3);
    EXPECT_EQ(view.height, 4);
    EXPECT_EQ(reinterpret_cast<DWORD*>(view.bits)[1 + 3 * view.stride / 4], 0xFF00FF00u);

    BITMAP b{};
    GetObject(bm, sizeof b, &b);
    EXPECT_EQ(b.bmBits, bits);
    EXPECT_EQ(b.bmHeight, 4);
    DeleteObject(red);
    DeleteDC(dc);
    DeleteObject(bm);
}

TEST(GfxBitmap, RejectsUnsupportedDibs) {
    void* bits = reinterpret_cast<void*>(1);
    BITMAPINFO bi = info(4, 4, 24);
    EXPECT_EQ(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    bi = info(0, 4);
    EXPECT_EQ(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    bi = info(4, 0);
    EXPECT_EQ(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    bi = info(-4, 4);
    EXPECT_EQ(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    bi = info(40000, 4);
    EXPECT_EQ(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 0, 5), nullptr);
}

TEST(GfxBitmap, SurfaceDcDrawsIntoCallerPixelsAndLeavesThem) {
    // Stride wider than the row: the padding must stay untouched.
    const int w = 5, h = 3, stride = 32;
    std::vector<DWORD> pixels(size_t(stride / 4 * h), 0xDEADBEEFu);
    HDC dc = CreateSurfaceDC(pixels.data(), w, h, stride);
    ASSERT_NE(dc, nullptr);
    RECT all{0, 0, w, h};
    HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(FillRect(dc, &all, b), 1);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(pixels[size_t(y * 8 + x)], 0xFF010203u);
        for (int x = w; x < 8; ++x)
            EXPECT_EQ(pixels[size_t(y * 8 + x)], 0xDEADBEEFu);
    }
    // A window surface cannot take another bitmap.
    HBITMAP other = CreateCompatibleBitmap(nullptr, 2, 2);
    EXPECT_EQ(SelectObject(dc, other), nullptr);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(pixels[0], 0xFF010203u) << "pixels survive DeleteDC";
    DeleteObject(other);
    DeleteObject(b);

    EXPECT_EQ(CreateSurfaceDC(nullptr, 2, 2, 8), nullptr);
    EXPECT_EQ(CreateSurfaceDC(pixels.data(), 5, 3, 16), nullptr) << "stride below width * 4";
    EXPECT_EQ(CreateSurfaceDC(pixels.data(), 5, 3, 22), nullptr) << "stride not a multiple of 4";
}

TEST(GfxDc, SaveAndRestoreKeepTheState) {
    Canvas c(10, 10);
    HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HGDIOBJ oldPen = SelectObject(c.dc, red);
    EXPECT_EQ(oldPen, GetStockObject(BLACK_PEN));
    SetTextColor(c.dc, RGB(1, 1, 1));
    SetBkMode(c.dc, TRANSPARENT);
    SetStretchBltMode(c.dc, HALFTONE);

    EXPECT_EQ(SaveDC(c.dc), 1);
    SetTextColor(c.dc, RGB(2, 2, 2));
    SetBkMode(c.dc, OPAQUE);
    SelectObject(c.dc, GetStockObject(WHITE_PEN));
    EXPECT_EQ(SaveDC(c.dc), 2);
    SetTextColor(c.dc, RGB(3, 3, 3));
    EXPECT_EQ(SaveDC(c.dc), 3);

    EXPECT_TRUE(RestoreDC(c.dc, -1));
    EXPECT_EQ(GetTextColor(c.dc), RGB(3, 3, 3));
    // Restoring level 1 drops level 2 as well.
    EXPECT_TRUE(RestoreDC(c.dc, 1));
    EXPECT_EQ(GetTextColor(c.dc), RGB(1, 1, 1));
    EXPECT_EQ(GetBkMode(c.dc), TRANSPARENT);
    EXPECT_EQ(GetStretchBltMode(c.dc), HALFTONE);
    EXPECT_EQ(GetCurrentObject(c.dc, OBJ_PEN), red);
    EXPECT_FALSE(RestoreDC(c.dc, 1)) << "level 1 was consumed";
    EXPECT_FALSE(RestoreDC(c.dc, -1));
    EXPECT_FALSE(RestoreDC(c.dc, 0));
    SelectObject(c.dc, oldPen);
    DeleteObject(red);
}

TEST(GfxDc, AttributesAndDefaults) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetTextColor(dc), 0u);
    EXPECT_EQ(GetBkColor(dc), 0xFFFFFFu);
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    EXPECT_EQ(GetStretchBltMode(dc), BLACKONWHITE);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), GetStockObject(DEFAULT_GUI_FONT));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
    BITMAP b{};
    ASSERT_NE(GetObject(GetCurrentObject(dc, OBJ_BITMAP), sizeof b, &b), 0);
    EXPECT_EQ(b.bmWidth, 1);
    EXPECT_EQ(SetBkMode(dc, 7), 0) << "unknown mode refused";
    EXPECT_EQ(SetStretchBltMode(dc, 9), 0);
    EXPECT_EQ(SetTextColor(dc, 0x12345678), 0u);
    EXPECT_EQ(GetTextColor(dc), 0x345678u) << "the top byte is not a colour";
    DeleteDC(dc);
}

TEST(GfxObjects, InvalidHandlesFailWithoutHarm) {
    HDC bogusDc = reinterpret_cast<HDC>(0x1234);
    HBITMAP bogusBm = reinterpret_cast<HBITMAP>(0x5678);
    RECT r{0, 0, 5, 5};
    SIZE sz{};
    EXPECT_FALSE(DeleteDC(nullptr));
    EXPECT_FALSE(DeleteDC(bogusDc));
    EXPECT_FALSE(DeleteObject(nullptr));
    EXPECT_FALSE(DeleteObject(bogusBm));
    EXPECT_EQ(SelectObject(bogusDc, GetStockObject(BLACK_PEN)), nullptr);
    EXPECT_EQ(SaveDC(nullptr), 0);
    EXPECT_EQ(FillRect(bogusDc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 0);
    EXPECT_FALSE(BitBlt(bogusDc, 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(nullptr, 0, 0), CLR_INVALID);
    EXPECT_EQ(DrawText(nullptr, L"x", 1, &r, 0), 0);
    EXPECT_FALSE(GetTextExtentPoint32(bogusDc, L"x", 1, &sz));
    EXPECT_EQ(GetObject(bogusBm, 0, nullptr), 0);
    EXPECT_EQ(GetObjectType(bogusBm), 0u);
    EXPECT_EQ(CombineRgn(nullptr, nullptr, nullptr, RGN_OR), ERROR);
    EXPECT_FALSE(SaveBitmapPng(bogusBm, "/tmp/never.png"));

    // A handle of the wrong kind is as bad as a stale one.
    Canvas c(4, 4);
    HRGN rgn = CreateRectRgn(0, 0, 1, 1);
    EXPECT_EQ(FillRect(c.dc, &r, reinterpret_cast<HBRUSH>(rgn)), 0);
    EXPECT_FALSE(BitBlt(reinterpret_cast<HDC>(rgn), 0, 0, 1, 1, c.dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(DeleteObject(c.dc)) << "a DC is released by DeleteDC only";
    DeleteObject(rgn);
    EXPECT_FALSE(DeleteObject(rgn)) << "twice";
    EXPECT_EQ(GetRgnBox(rgn, &r), ERROR);
}

TEST(GfxObjects, HandlesAreNeverReused) {
    std::vector<HGDIOBJ> seen;
    for (int i = 0; i < 50; ++i) {
        HBRUSH b = CreateSolidBrush(RGB(i, 0, 0));
        ASSERT_NE(b, nullptr);
        for (HGDIOBJ s : seen)
            ASSERT_NE(s, b);
        seen.push_back(b);
        DeleteObject(b);
    }
    // A stale handle stays dead even after many new objects.
    LOGBRUSH lb{};
    EXPECT_EQ(GetObject(seen[0], sizeof lb, &lb), 0);
}

TEST(GfxObjects, DeletingASelectedBitmapKeepsTheDcSafe) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bm = CreateCompatibleBitmap(nullptr, 4, 4);
    SelectObject(dc, bm);
    EXPECT_TRUE(DeleteObject(bm));
    EXPECT_EQ(GetObjectType(bm), 0u);
    // The DC still draws into the (now handle-less) bitmap.
    EXPECT_EQ(SetPixel(dc, 1, 1, RGB(9, 9, 9)), RGB(9, 9, 9));
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(9, 9, 9));
    EXPECT_TRUE(DeleteDC(dc));
}

TEST(GfxObjects, StockObjectsAndObjectDescriptions) {
    EXPECT_EQ(GetObjectType(GetStockObject(WHITE_BRUSH)), OBJ_BRUSH);
    EXPECT_EQ(GetObjectType(GetStockObject(NULL_PEN)), OBJ_PEN);
    EXPECT_EQ(GetObjectType(GetStockObject(DEFAULT_GUI_FONT)), OBJ_FONT);
    EXPECT_EQ(GetStockObject(99), nullptr);
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), OBJ_BRUSH) << "stock objects stay";

    HPEN pen = CreatePen(PS_DASH, 3, RGB(1, 2, 3));
    LOGPEN lp{};
    ASSERT_EQ(GetObject(pen, sizeof lp, &lp), int(sizeof lp));
    EXPECT_EQ(lp.lopnStyle, UINT(PS_DASH));
    EXPECT_EQ(lp.lopnWidth.x, 3);
    EXPECT_EQ(lp.lopnColor, RGB(1, 2, 3));
    EXPECT_EQ(GetObject(pen, 2, &lp), 0) << "buffer too small";
    EXPECT_EQ(GetObject(pen, 0, nullptr), int(sizeof lp));
    DeleteObject(pen);
    EXPECT_EQ(CreatePen(42, 1, 0), nullptr);
}

TEST(GfxBitmap, SavesPng) {
    Canvas c(3, 2);
    c.set(0, 0, 0xFFFF0000u);
    c.set(2, 1, 0x80000080u); // half-transparent blue, premultiplied
    std::string path = "/tmp/gfx_test_" + std::to_string(getpid()) + ".png";
    ASSERT_TRUE(SaveBitmapPng(c.bmp, path.c_str()));
    std::ifstream in(path, std::ios::binary);
    std::string head(8, '\0');
    in.read(&head[0], 8);
    EXPECT_EQ(head, std::string("\x89PNG\r\n\x1a\n", 8));
    std::remove(path.c_str());
    EXPECT_FALSE(SaveBitmapPng(c.bmp, "/nonexistent-dir/x.png"));
    EXPECT_TRUE(SaveDCPng(c.dc, path.c_str()));
    std::remove(path.c_str());
}

TEST(GfxDc, ClipRegionOutlivesABitmapSwitch) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP a = CreateCompatibleBitmap(nullptr, 8, 8);
    HBITMAP b = CreateCompatibleBitmap(nullptr, 4, 4);
    HGDIOBJ old = SelectObject(dc, a);
    IntersectClipRect(dc, 2, 2, 6, 6);
    EXPECT_EQ(SelectObject(dc, b), a);
    RECT box{};
    // The clip stays and is limited by the smaller target.
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 2);
    EXPECT_EQ(box.right, 4);
    EXPECT_EQ(SetPixel(dc, 1, 1, RGB(1, 1, 1)), CLR_INVALID);
    EXPECT_EQ(SetPixel(dc, 3, 3, RGB(1, 1, 1)), RGB(1, 1, 1));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(a);
    DeleteObject(b);
}
