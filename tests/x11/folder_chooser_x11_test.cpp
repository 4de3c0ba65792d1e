// The folder chooser plat draws, in a real X11 window on Xvfb, worked with
// xdotool as a person would.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/x11/x11_session.h"

using testutil::ChildProcess;
using testutil::TempDir;
using x11test::XSession;
using x11test::XWindow;

namespace {

// Where the drawn chooser puts things (client coordinates).
constexpr int kRowX = 57, kFirstRowY = 91, kRowH = 22;
constexpr int kOkX = 284, kOkY = 370;
constexpr uint32_t kSelectedRow = 0xFFCCE8FF;

std::string Str(long v) {
    return std::to_string(v);
}

TEST(X11FolderChooser, APersonOpensAFolderPicksASubFolderAndConfirms) {
    XSession x;
    ASSERT_TRUE(x.Start()) << x.Error();
    TempDir home("chooser_x11_home");
    std::filesystem::create_directories(home / "alpha/inner");
    std::filesystem::create_directory(home / "beta");
    ChildProcess probe;
    ASSERT_TRUE(x.Run(probe, X11PROBE_PATH, {"--choose-folder"}, {"HOME=" + home.Path()}));
    ASSERT_TRUE(x.WaitForLine(probe, "ready"));
    XWindow box;
    ASSERT_TRUE(x.WaitForWindow("浏览文件夹", &box)) << x.Errors(probe);
    const long left = box.rect.left, top = box.rect.top;
    auto rowY = [&](int row) { return top + kFirstRowY + row * kRowH + kRowH / 2; };

    // Into "alpha" with a double click; its one sub-folder is then row 1.
    ASSERT_TRUE(x.Xdo({"mousemove", Str(left + kRowX), Str(rowY(1)), "click", "--repeat", "2",
                       "--delay", "60", "1"}));
    ASSERT_TRUE(x.Xdo({"mousemove", Str(left + 200), Str(top + 200)}));
    ASSERT_TRUE(x.Xdo({"mousemove", Str(left + kRowX), Str(rowY(1)), "click", "1"}));
    EXPECT_TRUE(x.WaitForPixel(int(left + 18), int(top + kFirstRowY + kRowH + 1), kSelectedRow));
    ASSERT_TRUE(x.Xdo({"mousemove", Str(left + kOkX), Str(top + kOkY), "click", "1"}));
    EXPECT_TRUE(x.WaitForLine(probe, "folder " + home.Path() + "/alpha/inner")) << x.Output(probe);
    EXPECT_TRUE(XSession::WaitUntil([&] { return !x.WindowShown(box.id); }));
}

} // namespace
