// The installer's real code against distd: the install engine fetches its
// configuration, downloads both packages with progress, verifies them by the
// digests distd computed and runs them; the statistics client sends the
// launch, install and exit reports, which end up in the store and on the
// dashboard.
#include <algorithm>
#include <mutex>
#include <vector>

#include "app/install_context.h"
#include "app/install_engine.h"
#include "app/stat_globals.h"
#include "stat/IZrStat.h"
#include "tests/app/probe/read_install_path.h"
#include "tests/app/recording_view.h"
#include "tests/server/distd_test_util.h"

using namespace distd_test;
using tarvex_test::RecordingView;

#ifdef TARVEX_PACKAGE_PROBE

namespace {

// A package: a script that runs the probe under `name`, padded to `bytes` so
// that its download reports progress along the way.
std::string PackageScript(const std::string& name, size_t bytes) {
    std::string script = "#!/bin/sh\n\"" + std::string(TARVEX_PACKAGE_PROBE) + "\" " + name +
                         " \"$@\" || exit 99\nexit 0\n";
    while (script.size() < bytes) {
        script += "# padding padding padding padding padding padding padding padding\n";
    }
    return script;
}

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

} // namespace

TEST(Installer, InstallsFromDistdAndItsReportsReachTheDashboard) {
    CatalogueFolder folder;
    testutil::WriteAll(folder / "packages/setup.exe", PackageScript("product", 3 * 1024 * 1024));
    testutil::WriteAll(folder / "packages/dotnet.exe", PackageScript("dotnet", 64 * 1024));
    std::filesystem::create_directories(folder / "tmp");
    std::filesystem::create_directories(folder / "opt");
    testutil::ScopedEnv registry("PLAT_REGISTRY", folder / "registry.db");
    testutil::ScopedEnv probeLog("PROBE_LOG", folder / "probe.log");
    RunningService service(folder);
    ASSERT_TRUE(service.Started());

    // The installer's context, as InitInstallContext would leave it for a
    // machine without .NET 4.
    const std::vector<std::wstring> saved = {g_tempFolder, g_installFolder, g_configUrl,
                                             g_productExePath};
    const int savedDotNet = g_dotNetInstalled;
    g_tempFolder = Wide(folder / "tmp") + L"/";
    g_installFolder = Wide(folder / "opt");
    g_configUrl =
        Wide(service.Url("/api/soft/pdf/type/install/sp/1.0/ver/1.1.8.305/channel/10086"));
    g_dotNetInstalled = 0;
    g_packages.clear();

    // The statistics client, set up as the entry point sets it up.
    ns_zr_stat::IZrStat* stat = ns_zr_stat::CStatFactory::MakeZrStat();
    ASSERT_NE(stat, nullptr);
    stat->Init();
    ns_zr_stat::tagSTAT_CONFIG* settings = stat->GetConfig();
    settings->strBaseUrl = Wide(service.Url("/")); // a trailing "/", as the installer's
    settings->strKey = Wide(kKey);
    settings->strProductId = L"51";
    settings->strChannel = L"10086";
    settings->strVersion = L"1.1.8.305";
    g_statClient = stat;
    g_statSettings = settings;

    EXPECT_TRUE(stat->CollectAppLunchyInfo_Sync());
    RecordingView view;
    InstallThread(&view);
    EXPECT_TRUE(stat->CollectAppExitInfo_Sync());

    // Installed: both packages verified and run, .NET first.
    EXPECT_TRUE(view.failures.empty());
    EXPECT_EQ(view.doneCount, 1);
    const std::string log = testutil::ReadAll(folder / "probe.log");
    const std::string installDir = folder / "opt/TarvexPDFConver/2.0.1";
    EXPECT_EQ(log, "dotnet args=/q|/norestart installPath=" + installDir +
                       "\nproduct args=/S installPath=" + installDir + "\n");
    EXPECT_EQ(tarvex_test::ReadInstallPath(), Wide(installDir));
    // Progress along the way: the .NET download runs 0..50, the product's
    // 50..100, never backwards.
    ASSERT_GE(view.progress.size(), 3u) << ::testing::PrintToString(view.progress);
    EXPECT_LE(view.progress.front(), 50);
    for (size_t i = 1; i < view.progress.size(); ++i) {
        EXPECT_GE(view.progress[i], view.progress[i - 1]);
    }
    EXPECT_NE(std::find(view.progress.begin(), view.progress.end(), 50), view.progress.end());
    EXPECT_EQ(view.progress.back(), 100);

    // The three reports are in the store under the installer's channel.
    const distd::Figures figures = ReadFigures(service->Store());
    EXPECT_EQ(figures.rejected, 0);
    ASSERT_EQ(figures.byChannel.size(), 1u);
    const distd::ChannelVersionFigures& row = figures.byChannel[0];
    EXPECT_EQ(row.channel, "10086");
    EXPECT_EQ(row.version, "1.1.8.305");
    EXPECT_EQ(row.launches, 1);
    EXPECT_EQ(row.installs, 1);
    EXPECT_EQ(row.exits, 1);
    auto page = service.Client().Get("/");
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("<td>10086</td><td>1.1.8.305</td><td class=\"n\">1</td><td "
                              "class=\"n\">1</td><td class=\"n\">1</td><td class=\"n\">100.0%"),
              std::string::npos);

    g_statClient = nullptr;
    g_statSettings = nullptr;
    ns_zr_stat::CStatFactory::Clear(stat);
    g_packages.clear();
    g_tempFolder = saved[0];
    g_installFolder = saved[1];
    g_configUrl = saved[2];
    g_productExePath = saved[3];
    g_dotNetInstalled = savedDotNet;
}

TEST(Installer, AChannelWithoutAReleaseShowsTheConfigurationFailure) {
    CatalogueFolder folder;
    folder.WriteCatalogue(R"({"package_dir": "packages",
      "products": [{"id": "51", "key": "0123456789abcdef", "iv": "0123456789abcdef"}],
      "channels": [{"channel": "7", "releases": [{"product_version": "1", "package": "old.exe"}]}]})");
    testutil::ScopedEnv registry("PLAT_REGISTRY", folder / "registry.db");
    RunningService service(folder);
    const std::wstring savedUrl = g_configUrl;
    g_configUrl = Wide(service.Url("/api/soft/pdf/type/install/sp/1.0/ver/1.1.8.305/channel/8"));
    g_packages.clear();
    RecordingView view;
    InstallThread(&view);
    g_configUrl = savedUrl;
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0], L"获取信息失败！");
    EXPECT_TRUE(g_packages.empty());
}

#endif
