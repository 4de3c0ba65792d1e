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
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/install_context.h"
#include "app/stat_globals.h"
#include "app/system_queries.h"
#include "app_test_util.h"
#include "net/curl_library.h"
#include "plat/sys/files.h"
#include "plat/win/observe.h"
#include "plat/win/winuser.h"
#include "stat/IZrStat.h"
#include "stat/ReportDecode.h"
#include "tests/app/probe/read_install_path.h"
#include "tests/app/recording_view.h"
#include "tests/net/local_server.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

namespace fs = std::filesystem;
using apptest::ScopedEnv;
using tarvex_test::LocalServer;
using tarvex_test::RecordingView;

namespace {

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The MD5 of `bytes` as md5sum computes it, in upper case.
std::string Md5Of(const std::string& bytes, const fs::path& scratch) {
    std::ofstream(scratch, std::ios::binary) << bytes;
    std::string digest = apptest::Md5SumOf(scratch.string());
    fs::remove(scratch);
    return digest;
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
        m_env.push_back(
            std::make_unique<ScopedEnv>("PLAT_REGISTRY", (m_dir / "registry.db").string()));
        m_env.push_back(std::make_unique<ScopedEnv>("PROBE_LOG", (m_dir / "probe.log").string()));
        // The shell notification runs the desktop's menu tool: a stand-in
        // records that it ran.
        fs::create_directories(m_dir / "bin");
        const fs::path tool = m_dir / "bin" / "xdg-desktop-menu";
        std::ofstream(tool) << "#!/bin/sh\nprintf '%s|' \"$@\" >> '"
                            << (m_dir / "menu.log").string() << "'\n";
        fs::permissions(tool, fs::perms::owner_all);
        m_env.push_back(
            std::make_unique<ScopedEnv>("PATH", (m_dir / "bin").string() + ":/usr/bin:/bin"));
        m_desktopPostsBefore = plat::DesktopPosts().size();

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
                } else if (m_paced) {
                    // Known length, sent in pieces with pauses, so the
                    // client sees the download advance.
                    const std::string body = found->second;
                    res.set_content_provider(
                        body.size(), "application/octet-stream",
                        [body](size_t offset, size_t length, httplib::DataSink& sink) {
                            std::this_thread::sleep_for(std::chrono::milliseconds(10));
                            return sink.write(body.data() + offset,
                                              std::min<size_t>(64 * 1024, length));
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
        // A refresh started the menu tool in the background: let it finish
        // writing before the folder goes.
        if (plat::DesktopPosts().size() > m_desktopPostsBefore) {
            apptest::WaitForFile((m_dir / "menu.log").string(), 3000);
        }
        g_statClient = nullptr;
        g_statSettings = nullptr;
        ns_zr_stat::CStatFactory::Clear(m_stat);
        g_packages.clear();
        g_tempFolder = m_saved[0];
        g_installFolder = m_saved[1];
        g_configUrl = m_saved[2];
        g_productExePath = m_saved[3];
        g_dotNetInstalled = m_savedDotNet;
        m_env.clear();
        fs::remove_all(m_dir);
    }

    // A package: a shell script that runs the probe under `name`, then exits
    // with `exitCode`. Returns its MD5 in upper case.
    // `padding` bytes of comment after the script's end make it large enough
    // for the download to report progress along the way.
    std::string AddPackage(const std::string& file, const std::string& name, int exitCode = 0,
                           size_t padding = 0) {
        std::string script = "#!/bin/sh\n\"" + std::string(TARVEX_PACKAGE_PROBE) + "\" " + name +
                             " \"$@\" || exit 99\nexit " + std::to_string(exitCode) + "\n";
        if (padding > 0) {
            script += "#" + std::string(padding, 'p') + "\n";
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_packages[file] = script;
        return Md5Of(script, m_dir / "scratch");
    }

    void SetConfig(const std::string& data) {
        m_config = "{\"code\":\"200\",\"msg\":\"ok\",\"data\":{\"sp\":\"1.0\"," + data + "}}";
    }
    std::string PackageUrl(const std::string& file) { return m_server.Url("/pkg/" + file); }
    // The usual offer: product 2.0.1 as p.sh, its digest in upper case.
    // Returns the digest.
    std::string OfferProduct() {
        const std::string md5 = AddPackage("p.sh", "product");
        SetConfig("\"pdfver\":\"2.0.1\",\"pdfname\":\"p.sh\",\"pdfdlurl\":\"" + PackageUrl("p.sh") +
                  "\",\"pdfmd5\":\"" + md5 + "\"");
        return md5;
    }

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
            const std::wstring iv = m_stat->GetConfig()->strIv;
            const auto result = ns_zr_stat::DecodeReport(
                report, kStatKey, std::string(iv.begin(), iv.end()), decoded);
            EXPECT_EQ(result, ns_zr_stat::DECODE_OK) << decoded.strError;
            documents.push_back(decoded.strJson);
        }
        return documents;
    }

    // The one event of every report received, as {name, lable}.
    std::vector<std::pair<std::string, std::string>> ReportedEvents() {
        std::vector<std::pair<std::string, std::string>> events;
        for (const std::string& document : ReportDocuments()) {
            Json::Value root;
            Json::Reader reader;
            EXPECT_TRUE(reader.parse(document, root)) << document;
            const Json::Value& log = root["event_log"];
            EXPECT_TRUE(log.isArray() && log.size() == 1u) << document;
            if (log.isArray() && log.size() == 1u) {
                events.emplace_back(log[0]["name"].asString(), log[0]["lable"].asString());
            }
        }
        return events;
    }

    // The desktop refreshes the engine asked for since the test began: F5
    // key-downs posted to the desktop window, and runs of the menu tool.
    int DesktopF5Posts() {
        const auto posts = plat::DesktopPosts();
        int count = 0;
        for (size_t i = m_desktopPostsBefore; i < posts.size(); ++i) {
            const auto& post = posts[i];
            EXPECT_EQ(post.message, WM_KEYDOWN);
            EXPECT_EQ(post.wParam, plat::WPARAM(VK_F5));
            EXPECT_EQ(post.lParam, 0);
            count += post.message == WM_KEYDOWN && post.wParam == VK_F5;
        }
        return count;
    }
    // Waits (bounded) for the menu tool's record when `expected` is set;
    // otherwise gives a started tool a moment to show up.
    std::string MenuToolLog(bool expected) {
        if (expected) {
            apptest::WaitForFile((m_dir / "menu.log").string());
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        return ReadText(m_dir / "menu.log");
    }
    void ExpectShellRefreshed(bool refreshed) {
        EXPECT_EQ(DesktopF5Posts(), refreshed ? 1 : 0);
        EXPECT_EQ(MenuToolLog(refreshed), refreshed ? "forceupdate|" : "");
    }

    size_t Downloads() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_downloads.size();
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
    bool m_paced = false;
    std::mutex m_mutex;
    ns_zr_stat::IZrStat* m_stat = nullptr;
    std::vector<std::wstring> m_saved;
    int m_savedDotNet = 0;
    std::vector<std::unique_ptr<ScopedEnv>> m_env;
    size_t m_desktopPostsBefore = 0;
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
    EXPECT_EQ(view.GetConfigOk(), 1);
    EXPECT_EQ(view.doneCount, 1);

    const auto events = ReportedEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].first, "1.1.8.305+10086");
    EXPECT_EQ(events[0].second, "InstallSuccess");
    ExpectShellRefreshed(true);
}

TEST_F(InstallEngine, WithoutVersionAndChannelTheEventIsNamedAfterItsLabel) {
    g_dotNetInstalled = 1;
    g_statSettings->strVersion.clear();
    g_statSettings->strChannel.clear();
    OfferProduct();
    RecordingView view;
    InstallThread(&view);
    const auto events = ReportedEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].first, "InstallSuccess");
    EXPECT_EQ(events[0].second, "InstallSuccess");
    EXPECT_EQ(view.doneCount, 1);
}

TEST_F(InstallEngine, OnlyOneOfVersionAndChannelStillGivesThePlusForm) {
    g_dotNetInstalled = 1;
    g_statSettings->strVersion.clear();
    OfferProduct();
    RecordingView view;
    InstallThread(&view);
    const auto events = ReportedEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].first, "+10086");
}

TEST_F(InstallEngine, WithoutAStatisticsClientTheInstallStillCompletes) {
    g_dotNetInstalled = 1;
    g_statClient = nullptr;
    g_statSettings = nullptr;
    OfferProduct();
    RecordingView view;
    InstallThread(&view);
    EXPECT_EQ(ProbeLines().size(), 1u);
    EXPECT_TRUE(ReportDocuments().empty());
    EXPECT_TRUE(view.failures.empty());
    EXPECT_EQ(view.doneCount, 1);
    ExpectShellRefreshed(true);
}

TEST_F(InstallEngine, RunsTheVerifiedBytesEvenWhenTheFileIsReplacedAfterTheDownload) {
    g_dotNetInstalled = 1;
    OfferProduct();
    const fs::path target = m_dir / "tmp" / "p.sh";
    const std::string swapped =
        "#!/bin/sh\n\"" + std::string(TARVEX_PACKAGE_PROBE) + "\" swapped\n";
    RecordingView view;
    // The downloads have ended when the engine shows 100: another program
    // puts its own file at the package's name, as a new file and then by
    // writing over the name.
    view.onProgress = [&](int value) {
        if (value != 100) {
            return;
        }
        fs::remove(target);
        std::ofstream(target, std::ios::binary) << swapped;
        fs::permissions(target, fs::perms::owner_all);
    };
    InstallThread(&view);

    const auto lines = ProbeLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("product args=/S", 0), 0u) << lines[0];
    EXPECT_EQ(ReadText(target), swapped); // left alone, never run
    EXPECT_EQ(view.doneCount, 1);
    EXPECT_EQ(ReportedEvents().size(), 1u);
}

TEST_F(InstallEngine, APlantedLinkAtThePackageNameIsNeverFollowed) {
    g_dotNetInstalled = 1;
    OfferProduct();
    std::ofstream(m_dir / "victim") << "precious";
    fs::create_symlink(m_dir / "victim", m_dir / "tmp" / "p.sh");
    RecordingView view;
    InstallThread(&view);
    EXPECT_EQ(ReadText(m_dir / "victim"), "precious");
    EXPECT_FALSE(fs::is_symlink(m_dir / "tmp" / "p.sh"));
    EXPECT_EQ(ProbeLines().size(), 1u);
    EXPECT_EQ(view.doneCount, 1);
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
    EXPECT_EQ(view.GetConfigOk(), 0);
    EXPECT_EQ(view.doneCount, 0);
    // The download itself happened and the registry value was written.
    EXPECT_EQ(view.progress.back(), 100);
    EXPECT_EQ(tarvex_test::ReadInstallPath(), InstallDirectory("2.0.1"));
    ExpectShellRefreshed(false);
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
    EXPECT_EQ(view.GetConfigOk(), 0);
    EXPECT_EQ(view.doneCount, 0);
    ExpectShellRefreshed(false);
}

TEST_F(InstallEngine, TwoPackagesRunDotNetFirstWithItsParameters) {
    g_dotNetInstalled = 0;
    m_paced = true;
    const std::string dotNetMd5 = AddPackage("dotnet.sh", "dotnet", 0, 1024 * 1024);
    const std::string productMd5 = AddPackage("p.sh", "product", 0, 1024 * 1024);
    SetConfig("\"pdfver\":\"3.1\",\"pdfname\":\"p.sh\",\"pdfdlurl\":\"" + PackageUrl("p.sh") +
              "\",\"pdfmd5\":\"" + productMd5 +
              "\",\"dotnetmajorver\":\"4\",\"dotnetname\":\"dotnet.sh\",\"dotnetparam\":"
              "\"/q /norestart \\\"a b\\\"\",\"dotnetdlurl\":\"" +
              PackageUrl("dotnet.sh") + "\",\"dotnetmd5\":\"" + Lower(dotNetMd5) + "\"");
    RecordingView view([this] { return Downloads(); });
    InstallThread(&view);

    // The .NET Framework download fills the bar's first half, the product's
    // the second; then 100 switches to the installing display.
    ASSERT_GE(view.progress.size(), 3u);
    EXPECT_EQ(view.progress.back(), 100);
    std::vector<int> first, second;
    for (size_t i = 0; i + 1 < view.progress.size(); ++i) {
        ASSERT_TRUE(view.phases[i] == 1 || view.phases[i] == 2) << view.phases[i];
        (view.phases[i] == 1 ? first : second).push_back(view.progress[i]);
    }
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(first.front(), 0);
    EXPECT_EQ(first.back(), 50);
    EXPECT_EQ(second.front(), 50);
    EXPECT_EQ(second.back(), 100);
    for (int value : first) {
        EXPECT_TRUE(value >= 0 && value <= 50) << value;
    }
    for (int value : second) {
        EXPECT_TRUE(value >= 50 && value <= 100) << value;
    }
    for (size_t i = 1; i < view.progress.size(); ++i) {
        EXPECT_GE(view.progress[i], view.progress[i - 1]);
    }
    // Sizes are known, so values between the ends were shown too.
    EXPECT_TRUE(std::any_of(first.begin(), first.end(), [](int v) { return v > 0 && v < 50; }));
    EXPECT_TRUE(std::any_of(second.begin(), second.end(), [](int v) { return v > 50 && v < 100; }));

    ASSERT_EQ(m_downloads.size(), 2u);
    EXPECT_EQ(m_downloads[0], "dotnet.sh");
    EXPECT_EQ(m_downloads[1], "p.sh");
    const auto lines = ProbeLines();
    const std::wstring dir = InstallDirectory("3.1");
    const std::string path(dir.begin(), dir.end());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "dotnet args=/q|/norestart|a b installPath=" + path);
    EXPECT_EQ(lines[1], "product args=/S installPath=" + path);
    const auto events = ReportedEvents();
    ASSERT_EQ(events.size(), 1u); // the product only
    EXPECT_EQ(events[0].second, "InstallSuccess");
    EXPECT_EQ(view.doneCount, 1);
    EXPECT_TRUE(view.failures.empty());
    ExpectShellRefreshed(true);
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
    EXPECT_EQ(view.GetConfigOk(), 0);
    EXPECT_EQ(view.doneCount, 0);
    EXPECT_TRUE(view.progress.empty());
    EXPECT_TRUE(g_packages.empty());
    EXPECT_EQ(tarvex_test::ReadInstallPath(), L"<missing>");
    EXPECT_EQ(m_server.requests(), 1);
    EXPECT_TRUE(g_productExePath.empty());
    ExpectShellRefreshed(false);
}

TEST_F(InstallEngine, TheConfigurationFlagCanBeReadOnAnotherThreadWhileTheWorkerWritesIt) {
    g_dotNetInstalled = 1;
    m_config = "";
    RecordingView view;
    EXPECT_EQ(view.GetConfigOk(), 1);
    std::atomic<bool> stop{false};
    // The window's thread polls the flag as its close button would; under
    // the thread sanitizer this checks that the flag is shared safely.
    std::thread window([&] {
        int reads = 0;
        while (!stop.load()) {
            reads += view.GetConfigOk();
            std::this_thread::yield();
        }
        (void)reads;
    });
    InstallThread(&view);
    stop = true;
    window.join();
    EXPECT_EQ(view.GetConfigOk(), 0);
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
    OfferProduct();
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
    EXPECT_EQ(view.GetConfigOk(), 0);
    EXPECT_EQ(tarvex_test::ReadInstallPath(), L"<missing>");
}

TEST_F(InstallEngine, WithoutLibcurlTheConfigurationFailureIsShownAndNothingIsSent) {
    g_dotNetInstalled = 1;
    OfferProduct();
    SetCurlLibraryFile("libtarvex-no-such-curl.so.4");
    RecordingView view;
    InstallThread(&view);
    SetCurlLibraryFile("");
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0], L"获取信息失败！");
    EXPECT_EQ(view.GetConfigOk(), 0);
    EXPECT_EQ(view.doneCount, 0);
    EXPECT_EQ(m_server.requests(), 0);
    EXPECT_TRUE(ProbeLines().empty());
    EXPECT_EQ(tarvex_test::ReadInstallPath(), L"<missing>");
}

TEST_F(InstallEngine, DownloadWithoutLengthShowsOnlyTheFinalHundred) {
    g_dotNetInstalled = 1;
    m_chunked = true;
    OfferProduct();
    RecordingView view;
    InstallThread(&view);
    ASSERT_EQ(view.progress.size(), 1u);
    EXPECT_EQ(view.progress[0], 100);
    EXPECT_EQ(view.doneCount, 1);
}

TEST_F(InstallEngine, QuitDuringTheDownloadAbortsItAndStartsNothing) {
    g_dotNetInstalled = 1;
    m_paced = true;
    // Large enough that the download is far from its end when the quit
    // comes at a tenth.
    const std::string md5 = AddPackage("p.sh", "product", 0, 16 * 1024 * 1024);
    SetConfig("\"pdfver\":\"2.0.1\",\"pdfname\":\"p.sh\",\"pdfdlurl\":\"" + PackageUrl("p.sh") +
              "\",\"pdfmd5\":\"" + md5 + "\"");
    RecordingView view;
    view.onProgress = [&view](int value) {
        if (value >= 10) {
            view.Cancel();
        }
    };
    InstallThread(&view);

    // The transfer stopped short, nothing ran, nothing was reported, and
    // the engine showed nothing more (no failure, no installing display).
    EXPECT_LT(fs::file_size(m_dir / "tmp" / "p.sh"), m_packages["p.sh"].size());
    EXPECT_TRUE(ProbeLines().empty());
    EXPECT_TRUE(ReportDocuments().empty());
    EXPECT_TRUE(view.failures.empty());
    EXPECT_EQ(view.doneCount, 0);
    ASSERT_FALSE(view.progress.empty());
    EXPECT_LT(view.progress.back(), 100);
    ExpectShellRefreshed(false);
}

TEST_F(InstallEngine, AQuitAfterTheLastDownloadEndedStillStartsNothing) {
    g_dotNetInstalled = 0;
    const std::string dotnetMd5 = AddPackage("d.sh", "dotnet");
    const std::string productMd5 = AddPackage("p.sh", "product");
    SetConfig("\"pdfver\":\"2.0.1\",\"pdfname\":\"p.sh\",\"pdfdlurl\":\"" + PackageUrl("p.sh") +
              "\",\"pdfmd5\":\"" + productMd5 +
              "\",\"dotnetname\":\"d.sh\",\"dotnetparam\":\"/q\",\"dotnetdlurl\":\"" +
              PackageUrl("d.sh") + "\",\"dotnetmd5\":\"" + dotnetMd5 + "\"");
    RecordingView view;
    // The user quits just as the downloads have finished (the window is
    // told 100): both packages are complete and verified, and none runs.
    view.onProgress = [&view](int value) {
        if (value >= 100) {
            view.Cancel();
        }
    };
    InstallThread(&view);
    EXPECT_EQ(Downloads(), 2u);
    EXPECT_EQ(ReadText(m_dir / "tmp" / "p.sh"), m_packages["p.sh"]);
    EXPECT_TRUE(ProbeLines().empty());
    EXPECT_TRUE(ReportDocuments().empty());
    EXPECT_TRUE(view.failures.empty());
    EXPECT_EQ(view.doneCount, 0);
}

TEST_F(InstallEngine, AQuitBeforeTheConfigurationArrivesLeavesEverythingAlone) {
    g_dotNetInstalled = 1;
    OfferProduct();
    RecordingView view;
    view.Cancel();
    InstallThread(&view);
    EXPECT_EQ(tarvex_test::ReadInstallPath(), L"<missing>");
    EXPECT_EQ(Downloads(), 0u);
    EXPECT_TRUE(view.failures.empty());
    EXPECT_TRUE(view.progress.empty());
    EXPECT_EQ(view.doneCount, 0);
}

TEST_F(InstallEngine, ACancelWaitsForALaunchUnderWayAndNoneFollowsIt) {
    RecordingView view;
    std::atomic<bool> inStart{false};
    std::atomic<bool> cancelReturned{false};
    std::thread launcher([&] {
        EXPECT_TRUE(view.StartUnlessCancelled([&] {
            inStart = true;
            // A cancel arriving now must wait until this start is over.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            EXPECT_FALSE(cancelReturned.load());
        }));
    });
    while (!inStart) {
        std::this_thread::yield();
    }
    view.Cancel();
    cancelReturned = true;
    launcher.join();
    EXPECT_TRUE(view.IsCancelled());
    bool ran = false;
    EXPECT_FALSE(view.StartUnlessCancelled([&] { ran = true; }));
    EXPECT_FALSE(ran);
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

TEST_F(Md5, LargeFilesMatchMd5sumAcrossBufferBoundaries) {
    // Sizes around the 128 KiB read size and a large odd one.
    for (size_t size : {size_t(128 * 1024 - 1), size_t(128 * 1024), size_t(128 * 1024 + 1),
                        size_t(5 * 1024 * 1024 + 3)}) {
        std::string data(size, '\0');
        for (size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<char>((i * 7 + i / 4096) % 251);
        }
        const fs::path path = m_dir / ("big" + std::to_string(size));
        std::ofstream(path, std::ios::binary) << data;
        const std::wstring digest = FileMd5Hex(path.wstring());
        EXPECT_EQ(std::string(digest.begin(), digest.end()), apptest::Md5SumOf(path.string()))
            << size;
    }
}

TEST_F(Md5, AnOpenFileIsHashedWholeWhateverIsAtItsName) {
    const fs::path path = m_dir / "pkg";
    std::ofstream(path, std::ios::binary) << "abc";
    plat::HANDLE file = plat::CreateFile(path.wstring().c_str(), GENERIC_READ, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    // The caller's position is not where hashing starts, nor is it moved.
    char first = 0;
    plat::DWORD got = 0;
    ASSERT_TRUE(plat::ReadFile(file, &first, 1, &got, nullptr));
    fs::remove(path);
    std::ofstream(path, std::ios::binary) << "message digest";
    EXPECT_EQ(FileMd5Hex(file), L"900150983CD24FB0D6963F7D28E17F72");
    char rest[4] = {};
    ASSERT_TRUE(plat::ReadFile(file, rest, sizeof(rest), &got, nullptr));
    EXPECT_EQ(std::string(rest, got), "bc");
    plat::CloseHandle(file);
    EXPECT_EQ(FileMd5Hex(file), L"");
    EXPECT_EQ(FileMd5Hex(INVALID_HANDLE_VALUE), L"");
}

} // namespace
