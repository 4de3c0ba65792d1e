// libcurl's function table: one for every caller, made by the first
// transfer, and a clear failure of every transfer without the library (on
// Windows, where libcurl is linked in, when another library is named).
#include "net/curl_library.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "net/http_transfer.h"
#include "plat/sys/handle.h"
#include "tests/net/local_server.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

namespace fs = std::filesystem;
using tarvex_test::LocalServer;

namespace {

// Points the loader at `file` for one test and back at libcurl after it.
struct ScopedCurlLibrary {
    explicit ScopedCurlLibrary(const std::string& file) { SetCurlLibraryFile(file); }
    ~ScopedCurlLibrary() { SetCurlLibraryFile(""); }
};

class CurlLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("net_curl_" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                 "_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_server.server().Get("/text", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("hello", "text/plain");
        });
        ASSERT_TRUE(m_server.Start());
    }
    void TearDown() override {
        m_server.Stop();
        fs::remove_all(m_dir);
    }
    bool Download(const std::string& name) {
        const bool ok = DownloadToFile(m_server.Url("/text"), (m_dir / name).string());
        if (g_downloader.file != INVALID_HANDLE_VALUE) {
            plat::CloseHandle(g_downloader.file);
            g_downloader.file = INVALID_HANDLE_VALUE;
        }
        return ok;
    }

    LocalServer m_server;
    fs::path m_dir;
};

TEST_F(CurlLibrary, TheDownloaderHandleIsMadeOnceAndKept) {
    ASSERT_TRUE(Download("a.txt"));
    CURL* const first = g_downloader.handle;
    EXPECT_NE(first, nullptr);
    ASSERT_TRUE(Download("b.txt"));
    EXPECT_EQ(g_downloader.handle, first);
}

TEST_F(CurlLibrary, ThreadsTransferringFirstAllGetTheOneTable) {
    SetCurlLibraryFile(""); // not loaded yet: the threads race to load it
    std::vector<const CurlApi*> seen(4, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = Curl(); });
    for (std::thread& t : threads)
        t.join();
    ASSERT_NE(seen[0], nullptr);
    for (const CurlApi* api : seen)
        EXPECT_EQ(api, seen[0]);
}

TEST_F(CurlLibrary, WithoutTheLibraryEveryTransferFailsAtOnce) {
    // A download made a handle from the real library first: it must not be
    // used once the library is gone.
    ASSERT_TRUE(Download("before.txt"));
    const int requestsBefore = m_server.requests();
    {
        ScopedCurlLibrary missing("libtarvex-no-such-curl.so.4");
        EXPECT_EQ(Curl(), nullptr);
        std::wstring text = L"unchanged";
        EXPECT_EQ(HttpGetToString(m_server.WideUrl("/text"), text), CURLE_FAILED_INIT);
        EXPECT_EQ(text, L"unchanged");
        EXPECT_FALSE(Download("after.txt"));
        EXPECT_FALSE(fs::exists(m_dir / "after.txt"));
        EXPECT_EQ(g_downloader.file, INVALID_HANDLE_VALUE);
        EXPECT_EQ(m_server.requests(), requestsBefore);
    }
    // libcurl back: transfers work again.
    std::wstring text;
    EXPECT_EQ(HttpGetToString(m_server.WideUrl("/text"), text), CURLE_OK);
    EXPECT_EQ(text, L"hello");
}

TEST_F(CurlLibrary, ALibraryWithoutCurlsFunctionsIsRefused) {
    ScopedCurlLibrary other("libz.so.1");
    EXPECT_EQ(Curl(), nullptr);
    std::wstring text;
    EXPECT_EQ(HttpGetToString(m_server.WideUrl("/text"), text), CURLE_FAILED_INIT);
    EXPECT_EQ(m_server.requests(), 0);
}

} // namespace
