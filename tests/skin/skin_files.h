// Helpers shared by the skin tests: where the skin lives, its file list, and
// decoded images with simple pixel statistics.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skintest {

// Folder holding the layouts and images (the repository's skin/).
std::string SkinDir();

// Folder for files the tests write (rendered windows), created on demand
// under the build tree.
std::string OutputDir();

// The four layouts, the fifteen PNG images and the GIF, in archive order.
const std::vector<std::string>& LayoutNames();
const std::vector<std::string>& PngNames();
std::vector<std::string> AllSkinNames();

// Whole file as bytes; empty when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::string& path);

struct Rgba {
    int r = 0, g = 0, b = 0, a = 0;
};

// An image decoded to straight (not premultiplied) RGBA, as stb_image gives it.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels; // width * height * 4

    bool Empty() const { return width <= 0 || height <= 0; }
    Rgba At(int x, int y) const;
};

// Decodes a PNG (or the first frame of a GIF) from the skin folder; an empty
// image when it cannot be read or decoded.
Image LoadSkinImage(const std::string& name);

// Decodes any PNG file; empty on failure.
Image LoadImageFile(const std::string& path);

// Statistics over the rectangle [left, right) x [top, bottom) of an image.
struct RegionStats {
    double meanLuma = 0;       // 0..255, alpha-weighted over white
    double lumaDeviation = 0;  // standard deviation of that luma
    double meanSaturation = 0; // 0..1 (max - min) / max over visible pixels
    double meanAlpha = 0;      // 0..255
    double redDominance = 0;   // share of visible pixels that are clearly red
    int minAlpha = 255;
};
RegionStats Stats(const Image& image, int left, int top, int right, int bottom);

// Mean absolute channel difference (0..255) between two equally sized
// rectangles of an image, both composed over white; used to tell states apart.
double StripDifference(const Image& image, int x1, int x2, int y, int width, int height);

} // namespace skintest
