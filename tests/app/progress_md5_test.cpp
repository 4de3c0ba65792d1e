// The progress the engine shows from libcurl's counts, and the digest of
// a downloaded file, on both systems.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/install_engine.h"
#include "tests/app/recording_view.h"

namespace fs = std::filesystem;
using tarvex_test::RecordingView;

namespace {

// The progress sink's arithmetic, fed directly.
class ProgressSink : public ::testing::Test {
protected:
    void TearDown() override {
        g_packageCount = 0;
        g_progressBase = 0;
    }
};

TEST_F(ProgressSink, OnePackageRunsZeroToHundred) {
    RecordingView view;
    InstallPackage product;
    product.type = L"1";
    product.owner = &view;
    g_packageCount = 1;
    g_progressBase = 100;
    CLibcurlCallbackEx sink;
    sink.OnProgress(&product, 0, 0);
    sink.OnProgress(&product, 0, 500); // size not known yet: nothing shown
    for (double received : {0.0, 1.0, 370.0, 999.0, 1000.0}) {
        sink.OnProgress(&product, 1000, received);
    }
    EXPECT_EQ(view.progress, (std::vector<int>{0, 0, 37, 99, 100}));
}

TEST_F(ProgressSink, TwoPackagesRunZeroToFiftyThenFiftyToHundred) {
    RecordingView view;
    InstallPackage dotNet;
    dotNet.type = L"2";
    dotNet.owner = &view;
    InstallPackage product;
    product.type = L"1";
    product.owner = &view;
    g_packageCount = 2;
    g_progressBase = 50; // 100 / 2 before the first download ends
    CLibcurlCallbackEx sink;
    for (double received : {0.0, 500.0, 1000.0}) {
        sink.OnProgress(&dotNet, 1000, received);
    }
    g_progressBase = 50; // (100 / 2) x 1 finished download
    for (double received : {0.0, 10.0, 500.0, 1000.0}) {
        sink.OnProgress(&product, 1000, received);
    }
    EXPECT_EQ(view.progress, (std::vector<int>{0, 25, 50, 50, 50, 75, 100}));
}

TEST_F(ProgressSink, IgnoresCallsWithoutAPackage) {
    g_packageCount = 1;
    CLibcurlCallbackEx sink;
    EXPECT_EQ(sink.OnProgress(nullptr, 100, 50), 0);
    InstallPackage orphan; // no owner
    EXPECT_EQ(sink.OnProgress(&orphan, 100, 50), 0);
}

TEST_F(ProgressSink, ACancelledOwnerAbortsEvenBeforeTheSizeIsKnown) {
    g_packageCount = 1;
    RecordingView view;
    InstallPackage product;
    product.type = L"1";
    product.owner = &view;
    CLibcurlCallbackEx sink;
    EXPECT_EQ(sink.OnProgress(&product, 100, 50), 0);
    view.Cancel();
    EXPECT_EQ(sink.OnProgress(&product, 100, 60), 1);
    EXPECT_EQ(sink.OnProgress(&product, 0, 0), 1);
    // Nothing more is shown once cancelled.
    EXPECT_EQ(view.progress, std::vector<int>{50});
}

class FileMd5 : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("md5_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path m_dir;
};

TEST_F(FileMd5, KnownDigestsInUpperCase) {
    std::ofstream(m_dir / "abc", std::ios::binary) << "abc";
    std::ofstream(m_dir / "empty", std::ios::binary);
    std::ofstream(m_dir / fs::u8path("文件 名"), std::ios::binary) << "message digest";
    EXPECT_EQ(FileMd5Hex((m_dir / "abc").wstring()), L"900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(FileMd5Hex((m_dir / "empty").wstring()), L"D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(FileMd5Hex(m_dir.wstring() + L"/文件 名"), L"F96B697D7CB7938D525A2F31AAF161D0");
}

TEST_F(FileMd5, MissingFileOrFolderGivesEmpty) {
    EXPECT_EQ(FileMd5Hex((m_dir / "nothing").wstring()), L"");
    EXPECT_EQ(FileMd5Hex(m_dir.wstring()), L"");
    EXPECT_EQ(FileMd5Hex(L""), L"");
}

} // namespace
