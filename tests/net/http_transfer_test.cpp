// HttpGetToString and DownloadToFile against real HTTP servers on 127.0.0.1.
#include "net/http_transfer.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include "net/text_convert.h"
#include "plat/sys/files.h"
#include "plat/sys/handle.h"
#include "plat/sys/text.h"
#include "tests/net/local_server.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

namespace fs = std::filesystem;
using tarvex_test::LocalServer;

namespace {

// Records every progress call of a download.
class RecordingSink : public CLibcurlCallback {
public:
    struct Call {
        void* userData;
        double total;
        double received;
    };
    int OnProgress(void* userData, double total, double received) override {
        calls.push_back({userData, total, received});
        return abortFrom != 0 && calls.size() >= abortFrom ? 1 : 0;
    }
    std::vector<Call> calls;
    // From this call on (counting from 1) the sink answers 1: abort.
    size_t abortFrom = 0;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string Pattern(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>((i * 31 + i / 7) & 0xFF);
    }
    return data;
}

class HttpTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("net_http_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        g_downloader.callback = nullptr;
        g_downloader.userData = nullptr;
        g_downloader.stallSeconds = 60;
    }
    void TearDown() override {
        m_server.Stop();
        CloseDownloadFile();
        g_downloader.callback = nullptr;
        g_downloader.userData = nullptr;
        g_downloader.stallSeconds = 60;
        fs::remove_all(m_dir);
    }
    static void CloseDownloadFile() {
        if (g_downloader.file != INVALID_HANDLE_VALUE) {
            plat::CloseHandle(g_downloader.file);
            g_downloader.file = INVALID_HANDLE_VALUE;
        }
    }
    // Downloads `url` into `name` inside the test folder with `sink`.
    bool Download(const std::string& url, const std::string& name, RecordingSink* sink,
                  void* userData = nullptr) {
        g_downloader.callback = sink;
        g_downloader.userData = userData;
        const bool ok = DownloadToFile(url, (m_dir / name).string());
        CloseDownloadFile();
        return ok;
    }

    LocalServer m_server;
    fs::path m_dir;
};

TEST_F(HttpTransfer, DownloaderHasAHandleOnceItHasDownloaded) {
    m_server.server().Get("/one", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("1", "application/octet-stream");
    });
    ASSERT_TRUE(m_server.Start());
    ASSERT_TRUE(Download(m_server.Url("/one"), "one.bin", nullptr));
    EXPECT_NE(g_downloader.handle, nullptr);
}

TEST_F(HttpTransfer, TextFetchDropsALeadingByteOrderMarkOnly) {
    m_server.server().Get("/bom", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("\xEF\xBB\xBF{\"code\":\"200\"}", "application/json");
    });
    m_server.server().Get("/plain", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("{\"code\":\"200\",\"t\":\"安装\"}", "application/json");
    });
    ASSERT_TRUE(m_server.Start());
    std::wstring text;
    EXPECT_EQ(HttpGetToString(m_server.WideUrl("/bom"), text), CURLE_OK);
    EXPECT_EQ(text, L"{\"code\":\"200\"}");
    EXPECT_EQ(HttpGetToString(m_server.WideUrl("/plain"), text), CURLE_OK);
    EXPECT_EQ(text, L"{\"code\":\"200\",\"t\":\"安装\"}");
}

TEST_F(HttpTransfer, EmptyBodyGivesEmptyText) {
    m_server.server().Get("/empty", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("", "text/plain");
    });
    ASSERT_TRUE(m_server.Start());
    std::wstring text = L"previous";
    EXPECT_EQ(HttpGetToString(m_server.WideUrl("/empty"), text), CURLE_OK);
    EXPECT_EQ(text, L"");
}

TEST_F(HttpTransfer, SilentServerTimesOutAfterThreeSeconds) {
    m_server.server().Get("/silent", [this](const httplib::Request&, httplib::Response& res) {
        m_server.WaitForRelease(std::chrono::seconds(8));
        res.set_content("too late", "text/plain");
    });
    ASSERT_TRUE(m_server.Start());
    std::wstring text = L"previous";
    const auto start = std::chrono::steady_clock::now();
    const int code = HttpGetToString(m_server.WideUrl("/silent"), text);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    m_server.ReleaseWaiters();
    EXPECT_EQ(code, CURLE_OPERATION_TIMEDOUT);
    EXPECT_EQ(text, L"");
    EXPECT_GE(elapsed, std::chrono::milliseconds(2500));
    EXPECT_LT(elapsed, std::chrono::seconds(7));
}

TEST_F(HttpTransfer, ErrorPageBodyIsReturnedAsText) {
    m_server.server().Get("/missing", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content("<h1>not here</h1>", "text/html");
    });
    ASSERT_TRUE(m_server.Start());
    std::wstring text;
    EXPECT_EQ(HttpGetToString(m_server.WideUrl("/missing"), text), CURLE_OK);
    EXPECT_EQ(text, L"<h1>not here</h1>");
}

TEST_F(HttpTransfer, TextFetchDoesNotFollowRedirects) {
    m_server.server().Get("/moved", [](const httplib::Request&, httplib::Response& res) {
        res.status = 302;
        res.set_header("Location", "/target");
        res.set_content("moved body", "text/plain");
    });
    m_server.server().Get("/target", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("target body", "text/plain");
    });
    ASSERT_TRUE(m_server.Start());
    std::wstring text;
    EXPECT_EQ(HttpGetToString(m_server.WideUrl("/moved"), text), CURLE_OK);
    EXPECT_EQ(text, L"moved body");
    EXPECT_EQ(m_server.requests(), 1);
}

TEST_F(HttpTransfer, UnreachableServerGivesAnErrorAndEmptyText) {
    ASSERT_TRUE(m_server.Start());
    const std::wstring url = m_server.WideUrl("/gone");
    m_server.Stop();
    std::wstring text = L"previous";
    const int code = HttpGetToString(url, text);
    EXPECT_NE(code, CURLE_OK);
    EXPECT_EQ(text, L"");
}

TEST_F(HttpTransfer, OversizedResponseIsCutOffJustPastTheLimit) {
    m_server.server().Get("/huge", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string(3 * kMaxTextResponseBytes, 'x'), "text/plain");
    });
    m_server.server().Get("/limit", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string(kMaxTextResponseBytes, 'y'), "text/plain");
    });
    ASSERT_TRUE(m_server.Start());
    std::wstring text;
    EXPECT_EQ(HttpGetToString(m_server.WideUrl("/huge"), text), CURLE_WRITE_ERROR);
    EXPECT_EQ(text.size(), kMaxTextResponseBytes + 1);
    EXPECT_EQ(HttpGetToString(m_server.WideUrl("/limit"), text), CURLE_OK);
    EXPECT_EQ(text.size(), kMaxTextResponseBytes);
}

TEST_F(HttpTransfer, TextWriteCallbackRefusesNullPointers) {
    std::string body;
    char data[] = "abc";
    EXPECT_EQ(TextWriteCallback(nullptr, 1, 3, &body), static_cast<size_t>(-1));
    EXPECT_EQ(TextWriteCallback(data, 1, 3, nullptr), static_cast<size_t>(-1));
    EXPECT_EQ(TextWriteCallback(data, 1, 3, &body), 3u);
    EXPECT_EQ(body, "abc");
}

TEST_F(HttpTransfer, FileWriteCallbackRefusesWithoutAFile) {
    CLibcurlDownloader downloader;
    char data[] = "abc";
    EXPECT_EQ(FileWriteCallback(data, 1, 3, &downloader), 0u);
    EXPECT_EQ(FileWriteCallback(data, 1, 3, nullptr), 0u);
}

TEST_F(HttpTransfer, ProgressCallbackWithoutSinkNeverAborts) {
    CLibcurlDownloader downloader;
    EXPECT_EQ(DownloadProgressCallback(&downloader, 10, 5, 0, 0), 0);
    RecordingSink sink;
    downloader.callback = &sink;
    int marker = 0;
    downloader.userData = &marker;
    EXPECT_EQ(DownloadProgressCallback(&downloader, 10, 5, 3, 1), 0);
    ASSERT_EQ(sink.calls.size(), 1u);
    EXPECT_EQ(sink.calls[0].userData, &marker);
    EXPECT_EQ(sink.calls[0].total, 10);
    EXPECT_EQ(sink.calls[0].received, 5);
}

TEST_F(HttpTransfer, DownloadWritesTheFileAndReportsProgress) {
    const std::string payload = Pattern(3 * 1024 * 1024 + 17);
    m_server.server().Get("/pkg.bin", [&payload](const httplib::Request&, httplib::Response& res) {
        res.set_content(payload, "application/octet-stream");
    });
    ASSERT_TRUE(m_server.Start());
    RecordingSink sink;
    int marker = 0;
    ASSERT_TRUE(Download(m_server.Url("/pkg.bin"), "pkg.bin", &sink, &marker));
    EXPECT_EQ(ReadFile(m_dir / "pkg.bin"), payload);
    ASSERT_FALSE(sink.calls.empty());
    double last = 0;
    bool sawTotal = false;
    for (const auto& call : sink.calls) {
        EXPECT_EQ(call.userData, &marker);
        EXPECT_GE(call.received, last);
        last = call.received;
        if (call.total != 0) {
            EXPECT_EQ(call.total, static_cast<double>(payload.size()));
            sawTotal = true;
        }
    }
    EXPECT_TRUE(sawTotal);
    EXPECT_EQ(last, static_cast<double>(payload.size()));
}

// The download path goes from wide text to the narrow path form and back:
// an emoji and CJK Extension B characters must survive both steps on either
// system (16-bit wchar_t on Windows, where code page 936 would lose them).
TEST_F(HttpTransfer, DownloadIntoAFolderWithAstralCharactersInItsName) {
    const std::string payload = Pattern(200 * 1024 + 3);
    m_server.server().Get("/pkg.bin", [&payload](const httplib::Request&, httplib::Response& res) {
        res.set_content(payload, "application/octet-stream");
    });
    ASSERT_TRUE(m_server.Start());
    const std::wstring top = m_dir.wstring() + L"/安装 \U0001F600";
    const std::wstring folder = top + L"/\U00020000\U0002A6D6文件夹";
    ASSERT_TRUE(plat::CreateDirectory(top.c_str(), nullptr));
    ASSERT_TRUE(plat::CreateDirectory(folder.c_str(), nullptr));
    const std::wstring target = folder + L"/setup \U0001F680.exe";
    ASSERT_TRUE(DownloadToFile(m_server.Url("/pkg.bin"), plat::WideToChsMultiByte(target)));
    CloseDownloadFile();

    HANDLE file = plat::CreateFile(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "nothing at the wide path";
    std::string written;
    char buffer[4096];
    DWORD read = 0;
    while (plat::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        written.append(buffer, read);
    plat::CloseHandle(file);
    EXPECT_EQ(written.size(), payload.size());
    EXPECT_TRUE(written == payload);
    // Exactly one entry was made in the folder: no file under a mangled name.
    size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(m_dir)) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
}

TEST_F(HttpTransfer, DownloadReplacesAnExistingFile) {
    m_server.server().Get("/short", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("new", "application/octet-stream");
    });
    ASSERT_TRUE(m_server.Start());
    std::ofstream(m_dir / "f.bin") << "an older and much longer file";
    ASSERT_TRUE(Download(m_server.Url("/short"), "f.bin", nullptr));
    EXPECT_EQ(ReadFile(m_dir / "f.bin"), "new");
}

TEST_F(HttpTransfer, DownloadFollowsRedirects) {
    m_server.server().Get("/old", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/new", 302);
    });
    m_server.server().Get("/new", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("package bytes", "application/octet-stream");
    });
    ASSERT_TRUE(m_server.Start());
    ASSERT_TRUE(Download(m_server.Url("/old"), "r.bin", nullptr));
    EXPECT_EQ(ReadFile(m_dir / "r.bin"), "package bytes");
    EXPECT_EQ(m_server.requests(), 2);
}

TEST_F(HttpTransfer, RedirectLoopFailsAfterTheCap) {
    m_server.server().Get("/loop", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/loop", 302);
    });
    ASSERT_TRUE(m_server.Start());
    // The loop sends no body, so only the redirect cap can end it early.
    g_downloader.stallSeconds = 20;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Download(m_server.Url("/loop"), "loop.bin", nullptr));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    // The first request and ten redirects followed.
    EXPECT_EQ(m_server.requests(), 1 + kMaxDownloadRedirects);
}

TEST_F(HttpTransfer, TenRedirectsAreStillFollowed) {
    m_server.server().Get(R"(/hop/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
        const int hop = std::stoi(req.matches[1]);
        if (hop < 10) {
            res.set_redirect("/hop/" + std::to_string(hop + 1), 302);
        } else {
            res.set_content("arrived", "application/octet-stream");
        }
    });
    ASSERT_TRUE(m_server.Start());
    ASSERT_TRUE(Download(m_server.Url("/hop/0"), "h.bin", nullptr));
    EXPECT_EQ(ReadFile(m_dir / "h.bin"), "arrived");
}

TEST_F(HttpTransfer, AFolderAtTheTargetFailsWithoutARequest) {
    m_server.server().Get("/pkg", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("x", "application/octet-stream");
    });
    ASSERT_TRUE(m_server.Start());
    fs::create_directories(m_dir / "taken" / "inside");
    EXPECT_FALSE(Download(m_server.Url("/pkg"), "taken", nullptr));
    EXPECT_TRUE(fs::is_directory(m_dir / "taken" / "inside"));
    EXPECT_EQ(m_server.requests(), 0);
}

TEST_F(HttpTransfer, EncodedDotSegmentsReachTheServerAsTheyAre) {
    std::string target;
    m_server.server().Get(".*", [&target](const httplib::Request& req, httplib::Response& res) {
        target = req.target;
        res.set_content("{}", "application/json");
    });
    ASSERT_TRUE(m_server.Start());
    std::wstring text;
    const std::wstring url =
        m_server.WideUrl("/api/ver/") + PercentEncode(L"..") + L"/channel/" + PercentEncode(L".");
    EXPECT_EQ(HttpGetToString(url, text), CURLE_OK);
    EXPECT_EQ(target, "/api/ver/%2E%2E/channel/%2E");
}

TEST_F(HttpTransfer, DownloadWithoutLengthReportsTotalZeroUntilTheEnd) {
    const std::string payload = Pattern(256 * 1024);
    m_server.server().Get("/chunked", [&payload](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider(
            "application/octet-stream", [&payload](size_t offset, httplib::DataSink& sink) {
                if (offset >= payload.size()) {
                    sink.done();
                    return true;
                }
                const size_t n = std::min<size_t>(16 * 1024, payload.size() - offset);
                return sink.write(payload.data() + offset, n);
            });
    });
    ASSERT_TRUE(m_server.Start());
    RecordingSink sink;
    ASSERT_TRUE(Download(m_server.Url("/chunked"), "c.bin", &sink));
    EXPECT_EQ(ReadFile(m_dir / "c.bin"), payload);
    ASSERT_FALSE(sink.calls.empty());
    for (const auto& call : sink.calls) {
        EXPECT_EQ(call.total, 0);
    }
    EXPECT_EQ(sink.calls.back().received, static_cast<double>(payload.size()));
}

TEST_F(HttpTransfer, DownloadIntoMissingFolderFailsWithoutARequest) {
    m_server.server().Get("/pkg", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("x", "application/octet-stream");
    });
    ASSERT_TRUE(m_server.Start());
    EXPECT_FALSE(Download(m_server.Url("/pkg"), "no/such/folder/pkg", nullptr));
    EXPECT_EQ(g_downloader.file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(m_server.requests(), 0);
}

TEST_F(HttpTransfer, FailedDownloadKeepsThePartialFile) {
    m_server.server().Get("/bad", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content("error page", "text/html");
    });
    ASSERT_TRUE(m_server.Start());
    // The HTTP status is not examined: the error page is the file.
    EXPECT_TRUE(Download(m_server.Url("/bad"), "e.bin", nullptr));
    EXPECT_EQ(ReadFile(m_dir / "e.bin"), "error page");
    // A refused connection is a failure; the created file stays, empty.
    const std::string url = m_server.Url("/bad");
    m_server.Stop();
    EXPECT_FALSE(Download(url, "e2.bin", nullptr));
    EXPECT_TRUE(fs::exists(m_dir / "e2.bin"));
}

TEST_F(HttpTransfer, StalledDownloadIsAbandoned) {
    m_server.server().Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(1000, "application/octet-stream",
                                 [this](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset == 0) {
                                         return sink.write("0123456789", 10);
                                     }
                                     m_server.WaitForRelease(std::chrono::seconds(20));
                                     return false;
                                 });
    });
    ASSERT_TRUE(m_server.Start());
    g_downloader.stallSeconds = 1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Download(m_server.Url("/stall"), "s.bin", nullptr));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    m_server.ReleaseWaiters();
    EXPECT_LT(elapsed, std::chrono::seconds(10));
    EXPECT_EQ(ReadFile(m_dir / "s.bin"), "0123456789");
}

TEST_F(HttpTransfer, ASinkThatAnswersNonZeroEndsEvenAStalledDownload) {
    m_server.server().Get("/held", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(1000, "application/octet-stream",
                                 [this](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset == 0) {
                                         return sink.write("0123456789", 10);
                                     }
                                     m_server.WaitForRelease(std::chrono::seconds(60));
                                     return false;
                                 });
    });
    ASSERT_TRUE(m_server.Start());
    // Nothing more arrives after the first ten bytes, and the stall limit
    // is far away: only the sink's answer can end the transfer.
    g_downloader.stallSeconds = 60;
    RecordingSink sink;
    sink.abortFrom = 1;
    EXPECT_FALSE(Download(m_server.Url("/held"), "h.bin", &sink));
    m_server.ReleaseWaiters();
    ASSERT_FALSE(sink.calls.empty());
    EXPECT_LT(ReadFile(m_dir / "h.bin").size(), 1000u);
}

} // namespace
