// The install engine end to end on this machine: a local server answers the
// configuration and serves real packages (scripts that run a probe program
// recording their arguments and the installPath value they read from the
// registry store), a real statistics client reports to the same server, and
// a recording view stands where the install window will be.
#include "app/install_engine.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "app/install_context.h"
#include "app/stat_globals.h"
#include "stat/IZrStat.h"
#include "stat/ReportDecode.h"
#include "tests/app/probe/read_install_path.h"
#include "tests/app/recording_view.h"
#include "tests/net/local_server.h"

namespace fs = std::filesystem;
using tarvex_test::LocalServer;
using tarvex_test::RecordingView;

namespace {

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string Md5Of(const std::string& bytes, const fs::path& scratch) {
    std::ofstream(scratch, std::ios::binary) << bytes;
    const std::wstring digest = FileMd5Hex(scratch.wstring());
    fs::remove(scratch);
    return std::string(digest.begin(), digest.end());
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

constexpr const char* kStatKey = "5b7d2e90a4c1f38e6d0b9a27c4e8f153";
constexpr const char* kConfigPath = "/api/soft/pdf/type/install/sp/1.0/ver/1.1.8.305/channel/10086";

class InstallEngine : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() /
                (std::string("engine_") + info->name() + "_" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "tmp");
        fs::create_directories(m_dir / "opt");
        setenv("PLAT_REGISTRY", (m_dir / "registry.db").c_str(), 1);
        setenv("PROBE_LOG", (m_dir / "probe.log").c_str(), 1);

        m_saved = {g_tempFolder, g_installFolder, g_configUrl, g_productExePath};
        m_savedDotNet = g_dotNetInstalled;
        g_tempFolder = (m_dir / "tmp").wstring() + L"/";
        g_installFolder = (m_dir / "opt").wstring();
        g_productExePath.clear();
        g_packages.clear();
        g_downloader.stallSeconds = 60;

        m_server.server().Get(kConfigPath, [this](const httplib::Request&, httplib::Response& res) {
            ++m_configRequests;
            res.set_content(m_config, "application/json");
        });
        m_server.server().Get(
            R"(/pkg/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
                const std::string name = req.matches[1];
                std::lock_guard<std::mutex> lock(m_mutex);
                m_downloads.push_back(name);
                const auto found = m_packages.find(name);
                if (found == m_packages.end()) {
                    res.status = 404;
                    return;
                }
                if (m_chunked) {
                    const std::string body = found->second;
                    res.set_chunked_content_provider(
                        "application/octet-stream", [body](size_t offset, httplib::DataSink& sink) {
                            if (offset >= body.size()) {
                                sink.done();
                                return true;
                            }
                            return sink.write(body.data() + offset,
                                              std::min<size_t>(8, body.size() - offset));
                        });
                } else {
                    res.set_content(found->second, "application/octet-stream");
                }
            });
        m_server.server().Get(R"(/+tj\.html)",
                              [this](const httplib::Request& req, httplib::Response& res) {
                                  std::lock_guard<std::mutex> lock(m_mutex);
                                  m_reports.push_back(req.target);
                                  res.set_content("ok", "text/plain");
                              });
        ASSERT_TRUE(m_server.Start());
        g_configUrl = m_server.WideUrl(kConfigPath);

        m_stat = ns_zr_stat::CStatFactory::MakeZrStat();
        ASSERT_NE(m_stat, nullptr);
        m_stat->Init();
        ns_zr_stat::tagSTAT_CONFIG* settings = m_stat->GetConfig();
        const std::string base = m_server.Url("/");
        settings->strBaseUrl = std::wstring(base.begin(), base.end());
        settings->strKey = L"5b7d2e90a4c1f38e6d0b9a27c4e8f153";
        settings->strProductId = L"51";
        settings->strChannel = L"10086";
        settings->strVersion = L"1.1.8.305";
        g_statClient = m_stat;
        g_statSettings = settings;
    }

    void TearDown() override {
        m_server.Stop();
        g_statClient = nullptr;
        g_statSettings = nullptr;
        ns_zr_stat::CStatFactory::Clear(m_stat);
        g_packages.clear();
        g_tempFolder = m_saved[0];
        g_installFolder = m_saved[1];
        g_configUrl = m_saved[2];
        g_productExePath = m_saved[3];
        g_dotNetInstalled = m_savedDotNet;
        fs::remove_all(m_dir);
    }

    // A package: a shell script that runs the probe under `name`, then exits
    // with `exitCode`. Returns its MD5 in upper case.
    std::string AddPackage(const std::string& file, const std::string& name, int exitCode = 0) {
        const std::string script = "#!/bin/sh\n\"" + std::string(TARVEX_PACKAGE_PROBE) + "\" " +
                                   name + " \"$@\" || exit 99\nexit " + std::to_string(exitCode) +
                                   "\n";
        std::lock_guard<std::mutex> lock(m_mutex);
        m_packages[file] = script;
        return Md5Of(script, m_dir / "scratch");
    }

    void SetConfig(const std::string& data) {
        m_config = "{\"code\":\"200\",\"msg\":\"ok\",\"data\":{\"sp\":\"1.0\"," + data + "}}";
    }
    std::string PackageUrl(const std::string& file) { return m_server.Url("/pkg/" + file); }

    std::vector<std::string> ProbeLines() {
        std::vector<std::string> lines;
        std::istringstream in(ReadText(m_dir / "probe.log"));
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    // The decoded documents of every statistics report received.
    std::vector<std::string> ReportDocuments() {
        std::vector<std::string> documents;
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const std::string& report : m_reports) {
            ns_zr_stat::tagSTAT_DECODED decoded;
            const std::wstring iv =
                g_statSettings ? g_statSettings->strIv : m_stat->GetConfig()->strIv;
            const auto result = ns_zr_stat::DecodeReport(
                report, kStatKey, std::string(iv.begin(), iv.end()), decoded);
            EXPECT_EQ(result, ns_zr_stat::DECODE_OK) << decoded.strError;
            documents.push_back(decoded.strJson);
        }
        return documents;
    }

    std::wstring InstallDirectory(const std::string& version) {
        return g_installFolder + L"/TarvexPDFConver/" +
               std::wstring(version.begin(), version.end());
    }

    LocalServer m_server;
    fs::path m_dir;
    std::string m_config;
    std::map<std::string, std::string> m_packages;
    std::vector<std::string> m_downloads;
    std::vector<std::string> m_reports;
    std::atomic<int> m_configRequests{0};
    bool m_chunked = false;
    std::mutex m_mutex;
    ns_zr_stat::IZrStat* m_stat = nullptr;
    std::vector<std::wstring> m_saved;
    int m_savedDotNet = 0;
};

TEST_F(InstallEngine, WholeInstallRunsTheProductAndReportsOnce) {
    g_dotNetInstalled = 1;
    const std::string md5 = AddPackage("p.sh", "product");
    ASSERT_EQ(md5.size(), 32u);
    // The digest is given in upper case; the check ignores case.
    SetConfig("\"pdfver\":\"2.0.1\",\"pdfname\":\"p.sh\",\"pdfdlurl\":\"" + PackageUrl("p.sh") +
              "\",\"pdfmd5\":\"" + md5 + "\"");
    RecordingView view;
    InstallThread(&view);

    const std::wstring installDir = InstallDirectory("2.0.1");
    EXPECT_EQ(tarvex_test::ReadInstallPath(), installDir);
    EXPECT_EQ(g_productExePath, installDir + L"/TarvexPDFConver.exe");
    ASSERT_EQ(g_packages.size(), 1u);
    EXPECT_EQ(ReadText(m_dir / "tmp" / "p.sh"), m_packages["p.sh"]);

    const auto lines = ProbeLines();
    ASSERT_EQ(lines.size(), 1u);
    const std::string path(installDir.begin(), installDir.end());
    EXPECT_EQ(lines[0], "product args=/S installPath=" + path);

    ASSERT_FALSE(view.progress.empty());
    EXPECT_EQ(view.progress.back(), 100);
    for (size_t i = 0; i < view.progress.size(); ++i) {
        EXPECT_GE(view.progress[i], 0);
        EXPECT_LE(view.progress[i], 100);
        if (i > 0) {
            EXPECT_GE(view.progress[i], view.progress[i - 1]);
        }
    }
    EXPECT_TRUE(view.failures.empty());
    EXPECT_EQ(view.configOk, 1);
    EXPECT_EQ(view.doneCount, 1);

    const auto documents = ReportDocuments();
    ASSERT_EQ(documents.size(), 1u);
    EXPECT_NE(documents[0].find("InstallSuccess"), std::string::npos) << documents[0];
    EXPECT_NE(documents[0].find("1.1.8.305+10086"), std::string::npos) << documents[0];
}

TEST_F(InstallEngine, WrongMd5RunsNothingAndShowsInstallFailure) {
    g_dotNetInstalled = 1;
    const std::string md5 = AddPackage("p.sh", "product");
    std::string wrong = md5;
    wrong[0] = wrong[0] == '0' ? '1' : '0';
    SetConfig("\"pdfver\":\"2.0.1\",\"pdfname\":\"p.sh\",\"pdfdlurl\":\"" + PackageUrl("p.sh") +
              "\",\"pdfmd5\":\"" + wrong + "\"");
    RecordingView view;
    InstallThread(&view);

    EXPECT_TRUE(ProbeLines().empty());
    EXPECT_TRUE(ReportDocuments().empty());
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0], L"安装失败！");
    EXPECT_EQ(view.configOk, 0);
    EXPECT_EQ(view.doneCount, 0);
    // The download itself happened and the registry value was written.
    EXPECT_EQ(view.progress.back(), 100);
    EXPECT_EQ(tarvex_test::ReadInstallPath(), InstallDirectory("2.0.1"));
}

TEST_F(InstallEngine, EmptyExpectedDigestNeverCountsAsInstalled) {
    g_dotNetInstalled = 1;
    AddPackage("p.sh", "product");
    // The package is missing on the server and no digest is given: both
    // sides of the check are empty, but nothing was verified or run.
    SetConfig("\"pdfver\":\"2.0.1\",\"pdfname\":\"absent.sh\",\"pdfdlurl\":\"" +
              PackageUrl("absent.sh") + "\",\"pdfmd5\":\"\"");
    RecordingView view;
    InstallThread(&view);
    EXPECT_TRUE(ProbeLines().empty());
    EXPECT_TRUE(ReportDocuments().empty());
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0], L"安装失败！");
    EXPECT_EQ(view.doneCount, 0);
}

TEST_F(InstallEngine, ProductFailingIsNotReported) {
    g_dotNetInstalled = 1;
    const std::string md5 = AddPackage("p.sh", "product", 3);
    SetConfig("\"pdfver\":\"2.0.1\",\"pdfname\":\"p.sh\",\"pdfdlurl\":\"" + PackageUrl("p.sh") +
              "\",\"pdfmd5\":\"" + Lower(md5) + "\"");
    RecordingView view;
    InstallThread(&view);
    EXPECT_EQ(ProbeLines().size(), 1u); // it ran
    EXPECT_TRUE(ReportDocuments().empty());
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0], L"安装失败！");
    EXPECT_EQ(view.configOk, 0);
    EXPECT_EQ(view.doneCount, 0);
}

TEST_F(InstallEngine, TwoPackagesRunDotNetFirstWithItsParameters) {
    g_dotNetInstalled = 0;
    const std::string dotNetMd5 = AddPackage("dotnet.sh", "dotnet");
    const std::string productMd5 = AddPackage("p.sh", "product");
    SetConfig("\"pdfver\":\"3.1\",\"pdfname\":\"p.sh\",\"pdfdlurl\":\"" + PackageUrl("p.sh") +
              "\",\"pdfmd5\":\"" + productMd5 +
              "\",\"dotnetmajorver\":\"4\",\"dotnetname\":\"dotnet.sh\",\"dotnetparam\":"
              "\"/q /norestart \\\"a b\\\"\",\"dotnetdlurl\":\"" +
              PackageUrl("dotnet.sh") + "\",\"dotnetmd5\":\"" + Lower(dotNetMd5) + "\"");
    RecordingView view;
    InstallThread(&view);

    ASSERT_EQ(m_downloads.size(), 2u);
    EXPECT_EQ(m_downloads[0], "dotnet.sh");
    EXPECT_EQ(m_downloads[1], "p.sh");
    const auto lines = ProbeLines();
    const std::wstring dir = InstallDirectory("3.1");
    const std::string path(dir.begin(), dir.end());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "dotnet args=/q|/norestart|a b installPath=" + path);
    EXPECT_EQ(lines[1], "product args=/S installPath=" + path);
    EXPECT_EQ(ReportDocuments().size(), 1u);
    EXPECT_EQ(view.doneCount, 1);
    EXPECT_TRUE(view.failures.empty());
}

TEST_F(InstallEngine, DotNetMismatchIsSkippedSilently) {
    g_dotNetInstalled = 0;
    AddPackage("dotnet.sh", "dotnet");
    const std::string productMd5 = AddPackage("p.sh", "product");
    SetConfig("\"pdfver\":\"3.1\",\"pdfname\":\"p.sh\",\"pdfdlurl\":\"" + PackageUrl("p.sh") +
              "\",\"pdfmd5\":\"" + productMd5 +
              "\",\"dotnetname\":\"dotnet.sh\",\"dotnetdlurl\":\"" + PackageUrl("dotnet.sh") +
              "\",\"dotnetmd5\":\"00000000000000000000000000000000\"");
    RecordingView view;
    InstallThread(&view);
    const auto lines = ProbeLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("product ", 0), 0u);
    EXPECT_TRUE(view.failures.empty());
    EXPECT_EQ(view.doneCount, 1);
}

TEST_F(InstallEngine, EmptyConfigurationResponseChangesNothing) {
    g_dotNetInstalled = 1;
    m_config = "";
    RecordingView view;
    InstallThread(&view);
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0], L"获取信息失败！");
    EXPECT_EQ(view.configOk, 0);
    EXPECT_EQ(view.doneCount, 0);
    EXPECT_TRUE(view.progress.empty());
    EXPECT_TRUE(g_packages.empty());
    EXPECT_EQ(tarvex_test::ReadInstallPath(), L"<missing>");
    EXPECT_EQ(m_server.requests(), 1);
    EXPECT_TRUE(g_productExePath.empty());
}

TEST_F(InstallEngine, UnsafeConfigurationIsRefusedLikeAnInvalidOne) {
    g_dotNetInstalled = 0;
    const std::string md5 = AddPackage("p.sh", "product");
    SetConfig("\"pdfver\":\"2.0\",\"pdfname\":\"../../p.sh\",\"pdfdlurl\":\"" + PackageUrl("p.sh") +
              "\",\"pdfmd5\":\"" + md5 + "\"");
    RecordingView view;
    InstallThread(&view);
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0], L"获取信息失败！");
    EXPECT_TRUE(m_downloads.empty());
    EXPECT_TRUE(ProbeLines().empty());
    EXPECT_EQ(tarvex_test::ReadInstallPath(), L"<missing>");
}

TEST_F(InstallEngine, OversizedConfigurationIsInvalidEvenWithAValidStart) {
    g_dotNetInstalled = 1;
    const std::string md5 = AddPackage("p.sh", "product");
    SetConfig("\"pdfver\":\"2.0.1\",\"pdfname\":\"p.sh\",\"pdfdlurl\":\"" + PackageUrl("p.sh") +
              "\",\"pdfmd5\":\"" + md5 + "\"");
    // A complete document, a NUL that ends the text early, then padding far
    // past the size limit.
    m_config += std::string(1, '\0') + std::string(2 * kMaxTextResponseBytes, ' ');
    RecordingView view;
    InstallThread(&view);
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0], L"获取信息失败！");
    EXPECT_TRUE(m_downloads.empty());
    EXPECT_EQ(tarvex_test::ReadInstallPath(), L"<missing>");
}

TEST_F(InstallEngine, UnreachableConfigurationServerShowsTheFailure) {
    g_configUrl = L"http://127.0.0.1:1/api";
    RecordingView view;
    InstallThread(&view);
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0], L"获取信息失败！");
    EXPECT_EQ(view.configOk, 0);
    EXPECT_EQ(tarvex_test::ReadInstallPath(), L"<missing>");
}

TEST_F(InstallEngine, DownloadWithoutLengthShowsOnlyTheFinalHundred) {
    g_dotNetInstalled = 1;
    m_chunked = true;
    const std::string md5 = AddPackage("p.sh", "product");
    SetConfig("\"pdfver\":\"2.0.1\",\"pdfname\":\"p.sh\",\"pdfdlurl\":\"" + PackageUrl("p.sh") +
              "\",\"pdfmd5\":\"" + md5 + "\"");
    RecordingView view;
    InstallThread(&view);
    ASSERT_EQ(view.progress.size(), 1u);
    EXPECT_EQ(view.progress[0], 100);
    EXPECT_EQ(view.doneCount, 1);
}

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

class Md5 : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("md5_" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path m_dir;
};

TEST_F(Md5, KnownDigestsInUpperCase) {
    std::ofstream(m_dir / "abc", std::ios::binary) << "abc";
    std::ofstream(m_dir / "empty", std::ios::binary);
    std::ofstream(m_dir / fs::u8path("文件 名"), std::ios::binary) << "message digest";
    EXPECT_EQ(FileMd5Hex((m_dir / "abc").wstring()), L"900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(FileMd5Hex((m_dir / "empty").wstring()), L"D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(FileMd5Hex(m_dir.wstring() + L"/文件 名"), L"F96B697D7CB7938D525A2F31AAF161D0");
}

TEST_F(Md5, MissingFileOrFolderGivesEmpty) {
    EXPECT_EQ(FileMd5Hex((m_dir / "nothing").wstring()), L"");
    EXPECT_EQ(FileMd5Hex(m_dir.wstring()), L"");
    EXPECT_EQ(FileMd5Hex(L""), L"");
}

TEST_F(Md5, LargeFileMatchesAcrossBufferBoundaries) {
    std::string data(5 * 1024 * 1024 + 3, '\0');
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i % 251);
    }
    std::ofstream(m_dir / "big", std::ios::binary) << data;
    const std::wstring digest = FileMd5Hex((m_dir / "big").wstring());
    EXPECT_EQ(digest.size(), 32u);
    // Appending one byte changes the digest.
    std::ofstream(m_dir / "big", std::ios::binary | std::ios::app) << 'x';
    EXPECT_NE(FileMd5Hex((m_dir / "big").wstring()), digest);
}

TEST(RunPackage, MissingFileStartsNothing) {
    plat::DWORD code = 42;
    EXPECT_FALSE(RunPackage(L"/nonexistent/package.sh", L"/S", code));
}

} // namespace
