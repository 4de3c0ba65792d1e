// Helpers shared by the resource, markup and rendering tests: PNG and zip
// archives built in memory, temporary folders, and resetting the
// process-wide skin configuration between tests.
#pragma once

#include "plat/gfx/gdi.h"
#include "tests/common/test_util.h"
#include "tools/skinpack/skinpack.h"
#include "ui/UIManager.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

extern "C" unsigned char* stbi_write_png_to_mem(const unsigned char* pixels, int stride_bytes,
                                                int x, int y, int n, int* out_len);
extern "C" void stbi_image_free(void* retval_from_stbi_load);

namespace uires_test {

// RGBA pixel, straight alpha (as PNG stores it).
struct Rgba {
    uint8_t r, g, b, a;
};

// Encodes a w x h PNG whose pixel (x, y) is px(x, y).
inline std::vector<uint8_t> MakePng(int w, int h, const std::function<Rgba(int, int)>& px) {
    std::vector<uint8_t> raw(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Rgba c = px(x, y);
            uint8_t* p = &raw[(static_cast<size_t>(y) * w + x) * 4];
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
            p[3] = c.a;
        }
    int len = 0;
    unsigned char* png = stbi_write_png_to_mem(raw.data(), w * 4, w, h, 4, &len);
    std::vector<uint8_t> out(png, png + len);
    stbi_image_free(png);
    return out;
}

inline std::vector<uint8_t> SolidPng(int w, int h, Rgba c) {
    return MakePng(w, h, [c](int, int) { return c; });
}

inline std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

// A reproducible zip of the given entries (deflate, as the installer's).
inline std::vector<uint8_t> MakeZip(const std::vector<skinpack::Entry>& entries) {
    std::vector<uint8_t> zip;
    std::string error;
    if (!skinpack::BuildZip(entries, &zip, &error))
        return {};
    return zip;
}

// A fresh empty folder in the system's temporary folder, removed on scope
// exit. Paths use '/', which both systems accept.
class TempDir {
public:
    TempDir() : m_dir("uires") {}
    const std::string& path() const { return m_dir.Path(); }
    std::string file(const std::string& name) const { return m_dir / name; }
    void write(const std::string& name, const std::vector<uint8_t>& data) const {
        std::ofstream out(file(name), std::ios::binary);
        out.write(reinterpret_cast<const char*>(data.data()),
                  static_cast<std::streamsize>(data.size()));
    }

private:
    testutil::TempDir m_dir;
};

inline std::wstring W(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

// Puts the process-wide skin configuration back to "plain files, no path".
inline void ResetSkinConfig() {
    Veneer::CPaintManagerUI::SetResourceZip(L"", false);
    Veneer::CPaintManagerUI::Term();
    Veneer::CPaintManagerUI::SetResourcePath(L"");
}

// Runs a shell command; returns its exit status (-1 when it could not run).
inline int RunCommand(const std::string& cmd) {
    int exitCode = -1;
    (void)testutil::Run(cmd, exitCode);
    return exitCode;
}

// GDI's own drawing (blits and stretches of opaque images, pens, text)
// writes opaque colours, and only their colour channels are GDI's contract:
// the Linux face stores alpha 255 where real GDI leaves the alpha byte at 0
// (the toolkit restores it where a layered window needs it). Rgb drops the
// alpha byte; GdiOpaque holds when a pixel has the colour channels of
// `expected` and one of those two alpha bytes.
inline uint32_t Rgb(uint32_t argb) {
    return argb & 0x00FFFFFF;
}

inline ::testing::AssertionResult GdiOpaque(uint32_t actual, uint32_t expected) {
    const uint32_t alpha = actual >> 24;
    if (Rgb(actual) == Rgb(expected) && (alpha == 0xFF || alpha == 0))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << std::hex << "0x" << actual << " is not 0x" << Rgb(expected) << " drawn opaque by GDI";
}

// The stored premultiplied 0xAARRGGBB value of a pixel of an image record
// (0xDEADBEEF when it has no readable bitmap).
inline uint32_t ImagePixel(const Veneer::TImageInfo* info, int x, int y) {
    plat::BITMAP bm{};
    if (!info || plat::GetObject(info->hBitmap, sizeof(bm), &bm) == 0 || !bm.bmBits)
        return 0xDEADBEEF;
    return static_cast<const uint32_t*>(bm.bmBits)[y * bm.bmWidth + x];
}

// A 32-bit top-down bitmap selected into a memory DC, for pixel tests.
class Canvas {
public:
    Canvas(int w, int h, uint32_t fill = 0xFFFFFFFF) : m_w(w), m_h(h) {
        void* bits = nullptr;
        m_bmp = plat::CreateDIB32(w, h, &bits);
        m_bits = static_cast<uint32_t*>(bits);
        m_dc = plat::CreateCompatibleDC(nullptr);
        m_old = plat::SelectObject(m_dc, m_bmp);
        Fill(fill);
    }
    ~Canvas() {
        plat::SelectObject(m_dc, m_old);
        plat::DeleteDC(m_dc);
        plat::DeleteObject(m_bmp);
    }
    void Fill(uint32_t argb) {
        for (int i = 0; i < m_w * m_h; ++i)
            m_bits[i] = argb;
    }
    // Stored premultiplied 0xAARRGGBB value.
    uint32_t At(int x, int y) const {
        uint32_t v = 0;
        plat::GetPixelArgb(m_dc, x, y, reinterpret_cast<plat::DWORD*>(&v));
        return v;
    }
    plat::HDC dc() const { return m_dc; }
    int width() const { return m_w; }
    int height() const { return m_h; }

private:
    int m_w, m_h;
    plat::HBITMAP m_bmp = nullptr;
    uint32_t* m_bits = nullptr;
    plat::HDC m_dc = nullptr;
    plat::HGDIOBJ m_old = nullptr;
};

} // namespace uires_test
