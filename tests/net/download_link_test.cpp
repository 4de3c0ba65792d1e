// A download never writes through a symbolic link planted at its target:
// the link is removed and the file is made in its place.
#include "net/http_transfer.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "plat/sys/handle.h"
#include "tests/common/file_util.h"
#include "tests/net/local_server.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

namespace fs = std::filesystem;

namespace {

bool DownloadInto(const std::string& url, const fs::path& path) {
    const bool ok = DownloadToFile(url, path.string());
    if (g_downloader.file != INVALID_HANDLE_VALUE) {
        plat::CloseHandle(g_downloader.file);
        g_downloader.file = INVALID_HANDLE_VALUE;
    }
    return ok;
}

} // namespace

TEST(DownloadLink, ALinkAtTheTargetIsRemovedNeverFollowed) {
    const fs::path dir =
        fs::temp_directory_path() /
        ("net_link_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    tarvex_test::LocalServer server;
    server.server().Get("/pkg", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("downloaded", "application/octet-stream");
    });
    ASSERT_TRUE(server.Start());
    std::ofstream(dir / "elsewhere") << "must stay";
    fs::create_symlink(dir / "elsewhere", dir / "p.bin");
    fs::create_symlink(dir / "nothing-yet", dir / "q.bin");
    ASSERT_TRUE(DownloadInto(server.Url("/pkg"), dir / "p.bin"));
    ASSERT_TRUE(DownloadInto(server.Url("/pkg"), dir / "q.bin"));
    EXPECT_EQ(testutil::ReadAll((dir / "elsewhere").string()), "must stay");
    EXPECT_FALSE(fs::exists(dir / "nothing-yet"));
    for (const char* name : {"p.bin", "q.bin"}) {
        EXPECT_FALSE(fs::is_symlink(dir / name)) << name;
        EXPECT_EQ(testutil::ReadAll((dir / name).string()), "downloaded") << name;
    }
    server.Stop();
    fs::remove_all(dir);
}
