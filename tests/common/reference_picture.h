// Whole-window reference pictures: what the window host painted, read back
// from the headless screen, against what skinview renders off-screen for the
// same layout and state. Every window test can use it: render the reference
// with the window's layout and the skinview state options that match the
// window's state, then compare.
//
// Needs skinview_lib, plat_automation and stb linked into the test.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <stb_image.h>
#include <unistd.h>

#include "plat/automation/automation.h"
#include "tools/skinview/skinview.h"

namespace reftest {

// A PNG file as premultiplied ARGB; empty when it cannot be read.
inline plat::HeadlessImage LoadPngPremultiplied(const std::string& path) {
    plat::HeadlessImage img;
    int w = 0, h = 0, n = 0;
    unsigned char* rgba = stbi_load(path.c_str(), &w, &h, &n, 4);
    if (rgba == nullptr)
        return img;
    img.width = w;
    img.height = h;
    img.pixels.resize(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < img.pixels.size(); ++i) {
        const uint32_t r = rgba[i * 4], g = rgba[i * 4 + 1], b = rgba[i * 4 + 2],
                       a = rgba[i * 4 + 3];
        auto pre = [a](uint32_t c) { return (c * a + 127) / 255; };
        img.pixels[i] = a << 24 | pre(r) << 16 | pre(g) << 8 | pre(b);
    }
    stbi_image_free(rgba);
    return img;
}

// Renders with skinview (arguments as on its command line, without --out)
// and returns the picture, premultiplied ARGB; empty (and the tool's
// messages in *error) when skinview fails.
inline plat::HeadlessImage SkinviewPicture(std::vector<std::string> args,
                                           std::string* error = nullptr) {
    plat::HeadlessImage img;
    const std::string png = (std::filesystem::temp_directory_path() /
                             ("reference-" + std::to_string(getpid()) + ".png"))
                                .string();
    args.push_back("--out");
    args.push_back(png);
    std::ostringstream out, err;
    const int status = skinview::Run(args, out, err);
    if (status != 0) {
        if (error != nullptr)
            *error = "skinview exit " + std::to_string(status) + ": " + err.str();
        return img;
    }
    img = LoadPngPremultiplied(png);
    std::remove(png.c_str());
    if (img.width == 0 && error != nullptr)
        *error = "cannot read " + png;
    return img;
}

struct Comparison {
    int compared = 0;  // pixels inside the window's region
    int differing = 0; // of those, pixels that differ from the reference
    int outside = 0;   // pixels the region cuts away
    std::string first; // the first difference, "x,y window=AARRGGBB reference=AARRGGBB"
};

// Compares a window's own pixels, inside its region, with the reference
// picture of the same size. A size mismatch counts every pixel as different.
inline Comparison CompareWindow(plat::HWND hwnd, const plat::HeadlessImage& reference) {
    Comparison c;
    const plat::HeadlessImage own = plat::HeadlessCaptureWindow(hwnd);
    if (own.width != reference.width || own.height != reference.height) {
        c.differing = own.width * own.height + 1;
        c.first = "size " + std::to_string(own.width) + "x" + std::to_string(own.height) +
                  " against " + std::to_string(reference.width) + "x" +
                  std::to_string(reference.height);
        return c;
    }
    for (int y = 0; y < own.height; ++y) {
        for (int x = 0; x < own.width; ++x) {
            const uint32_t v = own.At(x, y);
            if ((v >> 24) == 0) {
                ++c.outside;
                continue;
            }
            ++c.compared;
            if (v != reference.At(x, y)) {
                if (c.differing++ == 0) {
                    char buf[96];
                    std::snprintf(buf, sizeof buf, "%d,%d window=%08X reference=%08X", x, y, v,
                                  reference.At(x, y));
                    c.first = buf;
                }
            }
        }
    }
    return c;
}

} // namespace reftest
