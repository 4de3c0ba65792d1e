// A drawing target for the gfx tests: a top-down DIB selected into a
// memory DC, with pixel readers.
#pragma once

#include "plat/gfx/gdi.h"

#include <gtest/gtest.h>

namespace gfxtest {

using namespace plat;

// Premultiplied 0xAARRGGBB of an opaque colour given as r, g, b.
constexpr DWORD argb(DWORD a, DWORD r, DWORD g, DWORD b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}
constexpr DWORD kOpaqueBlack = 0xFF000000u;
constexpr DWORD kOpaqueWhite = 0xFFFFFFFFu;

class Canvas {
public:
    Canvas(int w, int h, DWORD fill = 0) : width(w), height(h) {
        void* p = nullptr;
        bmp = CreateDIB32(w, h, &p);
        bits = static_cast<DWORD*>(p);
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, bmp);
        for (int i = 0; i < w * h; ++i)
            bits[i] = fill;
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bmp);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    DWORD px(int x, int y) const { return bits[y * width + x]; }
    void set(int x, int y, DWORD v) { bits[y * width + x] = v; }

    // Number of pixels in the rectangle that differ from `bg`.
    int countNot(DWORD bg, RECT r) const {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += px(x, y) != bg;
        return n;
    }
    int countNot(DWORD bg) const { return countNot(bg, RECT{0, 0, width, height}); }
    // Bounding box of the pixels that differ from `bg` (empty when none).
    RECT ink(DWORD bg) const {
        RECT r{width, height, 0, 0};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (px(x, y) != bg) {
                    r.left = std::min<LONG>(r.left, x);
                    r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x + 1);
                    r.bottom = std::max<LONG>(r.bottom, y + 1);
                }
        if (r.right == 0)
            r = RECT{0, 0, 0, 0};
        return r;
    }

    int width, height;
    HBITMAP bmp = nullptr;
    DWORD* bits = nullptr;
    HDC dc = nullptr;
    HGDIOBJ old = nullptr;
};

} // namespace gfxtest
