// The reference test for windows: a window built from a layout and painted
// by the window host is pixel-identical (its body; the shadow aside) to what
// skinview renders for the same layout and state.
#include "host_test_util.h"
#include "tests/common/reference_picture.h"

#include <gtest/gtest.h>

using namespace host_test;

namespace {

const std::string kSkin = std::string(TARVEX_SOURCE_DIR) + "/tests/fixtures/ui/skin";

class ReferencePicture : public ::testing::Test {
protected:
    void SetUp() override {
        plat::input_mouse_move(1900, 1060);
        PumpNow();
    }
    void TearDown() override {
        plat::input_mouse_move(1900, 1060);
        PumpNow();
    }
};

} // namespace

TEST_F(ReferencePicture, WindowBodyMatchesSkinview) {
    SkinWindow w;
    ASSERT_NE(w.Open(), nullptr);
    PumpNow();
    std::string error;
    plat::HeadlessImage ref =
        reftest::SkinviewPicture({"--skin", kSkin, "--size", "560x408", "hostwindow.xml"}, &error);
    ASSERT_EQ(ref.width, 560) << error;
    reftest::Comparison c = reftest::CompareWindow(w, ref);
    EXPECT_EQ(c.differing, 0) << c.first;
    EXPECT_GT(c.compared, 560 * 408 - 16);
    EXPECT_GT(c.outside, 0); // the rounded corners
    EXPECT_LE(c.outside, 16);
}

TEST_F(ReferencePicture, HoveredButtonMatchesSkinviewsHotState) {
    SkinWindow w;
    ASSERT_NE(w.Open(), nullptr);
    PumpNow();
    POINT pt = ScreenCentre(w, w.PM().FindControl(L"okbtn"));
    MoveTo(pt.x, pt.y);
    PumpNow();
    plat::HeadlessImage ref = reftest::SkinviewPicture(
        {"--skin", kSkin, "--size", "560x408", "--hot", "okbtn", "hostwindow.xml"});
    reftest::Comparison hot = reftest::CompareWindow(w, ref);
    EXPECT_EQ(hot.differing, 0) << hot.first;
    // And the picture of the plain state differs where the button is.
    plat::HeadlessImage plain =
        reftest::SkinviewPicture({"--skin", kSkin, "--size", "560x408", "hostwindow.xml"});
    EXPECT_GT(reftest::CompareWindow(w, plain).differing, 100);
}
