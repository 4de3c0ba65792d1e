#include "skin_files.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <stb_image.h>

namespace skintest {

std::string SkinDir() {
    return std::string(TARVEX_SOURCE_DIR) + "/skin";
}

std::string OutputDir() {
    std::string dir = std::string(TARVEX_BINARY_DIR) + "/tests/skin/rendered";
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    return dir;
}

const std::vector<std::string>& LayoutNames() {
    static const std::vector<std::string> names = {"commondlg.xml", "installerstart.xml",
                                                   "installerinstall.xml", "installerfinish.xml"};
    return names;
}

const std::vector<std::string>& PngNames() {
    static const std::vector<std::string> names = {
        "dlgcloseBtn.png",       "confirmBtn.png",         "cancelBtn.png",
        "infoSign.png",          "installerstartbg.png",   "installBtn.png",
        "checkboxBtn.png",       "showmoredownBtn.png",    "showmoreupBtn.png",
        "selectdirBtn.png",      "installerinstallbg.png", "progress_pro_bk.png",
        "progress_pro_fore.png", "installerfinishbg.png",  "startBtn.png"};
    return names;
}

std::vector<std::string> AllSkinNames() {
    std::vector<std::string> all = LayoutNames();
    all.insert(all.end(), PngNames().begin(), PngNames().end());
    all.push_back("installgif.gif");
    return all;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

Rgba Image::At(int x, int y) const {
    const uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
    return Rgba{p[0], p[1], p[2], p[3]};
}

Image LoadImageFile(const std::string& path) {
    Image image;
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    if (bytes.empty())
        return image;
    int channels = 0;
    stbi_uc* data = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()),
                                          &image.width, &image.height, &channels, 4);
    if (!data) {
        image.width = image.height = 0;
        return image;
    }
    image.pixels.assign(data, data + static_cast<size_t>(image.width) * image.height * 4);
    stbi_image_free(data);
    return image;
}

Image LoadSkinImage(const std::string& name) {
    return LoadImageFile(SkinDir() + "/" + name);
}

namespace {

// Composes a pixel over white, the colour of every working area in the skin.
void OverWhite(const Rgba& p, double& r, double& g, double& b) {
    double a = p.a / 255.0;
    r = p.r * a + 255 * (1 - a);
    g = p.g * a + 255 * (1 - a);
    b = p.b * a + 255 * (1 - a);
}

} // namespace

RegionStats Stats(const Image& image, int left, int top, int right, int bottom) {
    RegionStats s;
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, image.width);
    bottom = std::min(bottom, image.height);
    std::vector<double> lumas;
    double satSum = 0, alphaSum = 0;
    int visible = 0, red = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            Rgba p = image.At(x, y);
            double r, g, b;
            OverWhite(p, r, g, b);
            lumas.push_back(0.299 * r + 0.587 * g + 0.114 * b);
            alphaSum += p.a;
            s.minAlpha = std::min(s.minAlpha, p.a);
            if (p.a >= 128) {
                ++visible;
                int mx = std::max({p.r, p.g, p.b}), mn = std::min({p.r, p.g, p.b});
                satSum += mx > 0 ? double(mx - mn) / mx : 0.0;
                if (p.r > 120 && p.r > p.g + 60 && p.r > p.b + 60)
                    ++red;
            }
        }
    }
    if (lumas.empty())
        return s;
    double sum = 0;
    for (double l : lumas)
        sum += l;
    s.meanLuma = sum / lumas.size();
    double var = 0;
    for (double l : lumas)
        var += (l - s.meanLuma) * (l - s.meanLuma);
    s.lumaDeviation = std::sqrt(var / lumas.size());
    s.meanAlpha = alphaSum / lumas.size();
    s.meanSaturation = visible ? satSum / visible : 0.0;
    s.redDominance = visible ? double(red) / visible : 0.0;
    return s;
}

double StripDifference(const Image& image, int x1, int x2, int y, int width, int height) {
    double sum = 0;
    for (int dy = 0; dy < height; ++dy) {
        for (int dx = 0; dx < width; ++dx) {
            double r1, g1, b1, r2, g2, b2;
            OverWhite(image.At(x1 + dx, y + dy), r1, g1, b1);
            OverWhite(image.At(x2 + dx, y + dy), r2, g2, b2);
            sum += std::fabs(r1 - r2) + std::fabs(g1 - g2) + std::fabs(b1 - b2);
        }
    }
    return sum / (3.0 * width * height);
}

} // namespace skintest
