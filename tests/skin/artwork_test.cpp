// The skin's images: sizes and state strips as the layouts cut them, states
// that look different, and artwork that lines up with where the controls land.
#include "skin_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include <stb_image.h>

using namespace skintest;

namespace {

const int kNormal = 0, kHot = 1, kPushed = 2, kDisabled = 3;

// Mean luma of one strip of a multi-state image.
double StripLuma(const Image& image, int index, int width) {
    return Stats(image, index * width, 0, (index + 1) * width, image.height).meanLuma;
}

} // namespace

TEST(SkinFolder, HoldsExactlyTheLayoutsAndImagesOfTheArchive) {
    std::set<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(SkinDir())) {
        if (entry.is_regular_file() && entry.path().filename() != "CMakeLists.txt")
            found.insert(entry.path().filename().string());
    }
    std::vector<std::string> expected = AllSkinNames();
    EXPECT_EQ(expected.size(), 20u);
    EXPECT_EQ(found, std::set<std::string>(expected.begin(), expected.end()));
}

TEST(SkinArtwork, EveryImageDecodesAtItsSize) {
    const std::map<std::string, std::pair<int, int>> sizes = {
        {"dlgcloseBtn.png", {18, 9}},
        {"confirmBtn.png", {285, 30}},
        {"cancelBtn.png", {285, 30}},
        {"infoSign.png", {22, 22}},
        {"installerstartbg.png", {560, 242}},
        {"installBtn.png", {960, 38}},
        {"checkboxBtn.png", {52, 13}},
        {"showmoredownBtn.png", {172, 15}},
        {"showmoreupBtn.png", {172, 15}},
        {"selectdirBtn.png", {110, 28}},
        {"installerinstallbg.png", {560, 408}},
        {"progress_pro_bk.png", {6, 5}},
        {"progress_pro_fore.png", {6, 5}},
        {"installerfinishbg.png", {560, 408}},
        {"startBtn.png", {570, 48}},
    };
    ASSERT_EQ(sizes.size(), PngNames().size());
    for (const std::string& name : PngNames()) {
        SCOPED_TRACE(name);
        Image image = LoadSkinImage(name);
        ASSERT_FALSE(image.Empty());
        EXPECT_EQ(image.width, sizes.at(name).first);
        EXPECT_EQ(image.height, sizes.at(name).second);
    }
}

TEST(SkinArtwork, BackgroundsAreOpaqueSoTheyAreCopiedAsTheyAre) {
    for (const char* name :
         {"installerstartbg.png", "installerinstallbg.png", "installerfinishbg.png"}) {
        SCOPED_TRACE(name);
        Image image = LoadSkinImage(name);
        ASSERT_FALSE(image.Empty());
        EXPECT_EQ(Stats(image, 0, 0, image.width, image.height).minAlpha, 255);
    }
}

TEST(SkinArtwork, FilledButtonsLightenWhenHotAndDarkenWhenPushed) {
    struct Strip {
        const char* name;
        int width;
    };
    for (Strip b :
         {Strip{"installBtn.png", 240}, Strip{"startBtn.png", 190}, Strip{"confirmBtn.png", 95}}) {
        SCOPED_TRACE(b.name);
        Image image = LoadSkinImage(b.name);
        ASSERT_FALSE(image.Empty());
        double normal = StripLuma(image, kNormal, b.width);
        EXPECT_GT(StripLuma(image, kHot, b.width), normal + 8);
        EXPECT_LT(StripLuma(image, kPushed, b.width), normal - 8);
        // Every pair of states differs clearly, pixel by pixel.
        int strips = image.width / b.width;
        for (int i = 0; i < strips; ++i)
            for (int j = i + 1; j < strips; ++j)
                EXPECT_GT(
                    StripDifference(image, i * b.width, j * b.width, 0, b.width, image.height), 6.0)
                    << "strips " << i << " and " << j;
        // The face is the brand red, with the label in a light colour on it.
        RegionStats face = Stats(image, 0, 0, b.width, image.height);
        EXPECT_GT(face.redDominance, 0.6);
    }
}

TEST(SkinArtwork, DisabledInstallButtonReadsAsUnavailable) {
    Image image = LoadSkinImage("installBtn.png");
    ASSERT_FALSE(image.Empty());
    RegionStats normal = Stats(image, 0, 0, 240, 38);
    RegionStats disabled = Stats(image, kDisabled * 240, 0, 4 * 240, 38);
    EXPECT_GT(normal.meanSaturation, 0.5);
    EXPECT_LT(disabled.meanSaturation, 0.08);                // grey, not a colour of its own
    EXPECT_GT(disabled.meanLuma, normal.meanLuma + 60);      // faded
    EXPECT_LT(disabled.lumaDeviation, normal.lumaDeviation); // low contrast label
}

TEST(SkinArtwork, OutlinedAndSmallButtonsChangeWhenHot) {
    struct Pair {
        const char* name;
        int width;
    };
    for (Pair p : {Pair{"cancelBtn.png", 95}, Pair{"selectdirBtn.png", 55},
                   Pair{"showmoredownBtn.png", 86}, Pair{"showmoreupBtn.png", 86}}) {
        SCOPED_TRACE(p.name);
        Image image = LoadSkinImage(p.name);
        ASSERT_FALSE(image.Empty());
        EXPECT_GT(StripDifference(image, 0, p.width, 0, p.width, image.height), 4.0);
    }
    Image cancel = LoadSkinImage("cancelBtn.png");
    ASSERT_FALSE(cancel.Empty());
    EXPECT_GT(StripDifference(cancel, 95, 190, 0, 95, 30), 2.0); // pushed differs from hot
    // The close glyph is white on red: its hot state covers more of its square.
    Image close = LoadSkinImage("dlgcloseBtn.png");
    ASSERT_FALSE(close.Empty());
    EXPECT_GT(Stats(close, 9, 0, 18, 9).meanAlpha, Stats(close, 0, 0, 9, 9).meanAlpha + 10);
}

TEST(SkinArtwork, CheckBoxPartsShowUntickedAndTicked) {
    Image image = LoadSkinImage("checkboxBtn.png");
    ASSERT_FALSE(image.Empty());
    // Parts cut by the layout: unticked at 0,0,13,13 and ticked at 26,0,39,13.
    RegionStats unticked = Stats(image, 2, 2, 11, 11);
    RegionStats ticked = Stats(image, 26, 0, 39, 13);
    EXPECT_GT(unticked.meanLuma, 240); // an empty box
    EXPECT_GT(ticked.redDominance, 0.5);
    EXPECT_GT(StripDifference(image, 0, 26, 0, 13, 13), 40.0);
    // The unticked box has a visible frame on white.
    EXPECT_LT(Stats(image, 0, 0, 13, 1).meanLuma, 230);
}

TEST(SkinArtwork, CloseGlyphStandsOutWhereverItIsDrawn) {
    Image glyph = LoadSkinImage("dlgcloseBtn.png");
    Image start = LoadSkinImage("installerstartbg.png");
    Image install = LoadSkinImage("installerinstallbg.png");
    ASSERT_FALSE(glyph.Empty());
    ASSERT_FALSE(start.Empty());
    ASSERT_FALSE(install.Empty());
    // The glyph is white; its backgrounds are the dialog's red band and the
    // start and install heroes, where the button lands at x 541, y 10.
    for (int state = 0; state < 2; ++state) {
        RegionStats g = Stats(glyph, state * 9, 0, state * 9 + 9, 9);
        EXPECT_GT(g.meanAlpha, 40) << "state " << state;
    }
    for (const Image* bg : {&start, &install}) {
        RegionStats area = Stats(*bg, 538, 7, 553, 22);
        EXPECT_LT(area.meanLuma, 120);      // dark enough for a white glyph
        EXPECT_LT(area.lumaDeviation, 8.0); // and plain behind it
    }
}

TEST(SkinArtwork, WorkingAreasUnderTheControlsArePlain) {
    Image install = LoadSkinImage("installerinstallbg.png");
    Image finish = LoadSkinImage("installerfinishbg.png");
    ASSERT_FALSE(install.Empty());
    ASSERT_FALSE(finish.Empty());
    // Status texts at x 26..185, y 309..333 and the bar at x 30..529, y 329..333.
    RegionStats status = Stats(install, 16, 300, 544, 344);
    EXPECT_EQ(status.meanLuma, 255.0);
    EXPECT_EQ(status.lumaDeviation, 0.0);
    // The start button at x 182..371, y 299..346, with a margin around it.
    RegionStats button = Stats(finish, 172, 289, 382, 357);
    EXPECT_EQ(button.meanLuma, 255.0);
    EXPECT_EQ(button.lumaDeviation, 0.0);
}

TEST(SkinArtwork, HeroAreasCarryTheBrandRedAndTheMark) {
    for (const char* name :
         {"installerstartbg.png", "installerinstallbg.png", "installerfinishbg.png"}) {
        SCOPED_TRACE(name);
        Image image = LoadSkinImage(name);
        ASSERT_FALSE(image.Empty());
        int exact = 0;
        for (int y = 0; y < 242; ++y)
            for (int x = 0; x < 560; ++x) {
                Rgba p = image.At(x, y);
                exact += p.r == 0xC6 && p.g == 0x2F && p.b == 0x2F;
            }
        EXPECT_GT(exact, 560 * 242 / 4);
        // The white product mark sits in the middle of the hero.
        EXPECT_EQ(Stats(image, 264, 40, 296, 46).meanLuma, 255.0);
    }
}

TEST(SkinArtwork, ProgressImagesFillWithRedOverALightTrack) {
    Image fore = LoadSkinImage("progress_pro_fore.png");
    Image track = LoadSkinImage("progress_pro_bk.png");
    ASSERT_FALSE(fore.Empty());
    ASSERT_FALSE(track.Empty());
    EXPECT_GT(Stats(fore, 0, 0, 6, 5).redDominance, 0.99);
    RegionStats t = Stats(track, 0, 0, 6, 5);
    EXPECT_GT(t.meanLuma, 215);
    EXPECT_LT(t.meanSaturation, 0.05);
    EXPECT_EQ(t.minAlpha, 255);
    // Stretched horizontally only: every column of each image is the same.
    for (const Image* image : {&fore, &track})
        for (int y = 0; y < 5; ++y)
            for (int x = 1; x < 6; ++x)
                EXPECT_EQ(
                    std::memcmp(&image->pixels[(y * 6 + x) * 4], &image->pixels[(y * 6) * 4], 4),
                    0);
}

TEST(SkinArtwork, InstallAnimationLoopsForEverAndMoves) {
    std::vector<uint8_t> bytes = ReadFileBytes(SkinDir() + "/installgif.gif");
    ASSERT_FALSE(bytes.empty());
    // Application extension asking for endless looping (count 0).
    const char loop[] = "NETSCAPE2.0\x03\x01\x00\x00";
    std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find(std::string(loop, sizeof loop - 1)), std::string::npos);

    int* delays = nullptr;
    int w = 0, h = 0, frames = 0, channels = 0;
    stbi_uc* data = stbi_load_gif_from_memory(bytes.data(), static_cast<int>(bytes.size()), &delays,
                                              &w, &h, &frames, &channels, 4);
    ASSERT_NE(data, nullptr) << stbi_failure_reason();
    EXPECT_EQ(w, 548);
    EXPECT_EQ(h, 5);
    EXPECT_GE(frames, 8);
    const size_t frameBytes = static_cast<size_t>(w) * h * 4;
    for (int i = 0; i < frames; ++i) {
        EXPECT_GT(delays[i], 0) << "frame " << i;
        EXPECT_NE(
            std::memcmp(data + i * frameBytes, data + ((i + 1) % frames) * frameBytes, frameBytes),
            0)
            << "frame " << i << " repeats the next";
        for (size_t p = 3; p < frameBytes; p += 4)
            ASSERT_EQ(data[i * frameBytes + p], 255) << "frame " << i;
    }
    // The track matches the progress bar's, so switching to the animation is calm.
    Image track = LoadSkinImage("progress_pro_bk.png");
    ASSERT_FALSE(track.Empty());
    EXPECT_EQ(std::memcmp(data + (w - 1) * 4, track.pixels.data(), 3), 0);
    stbi_image_free(data);
    free(delays);
}
