#include "app/install_context.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "app/system_queries.h"
#include "app_test_util.h"
#include "plat/sys/registry.h"
#include "plat/sys/text.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

using apptest::ScopedEnv;
using apptest::TempDir;

TEST(InstallContext, InitialisationFillsEveryValue) {
    TempDir dir;
    std::string temp = dir / "missing/tmp";
    ScopedEnv tmp("TMPDIR", temp);
    ScopedEnv reg("PLAT_REGISTRY", dir / "registry.db");
    // Only the Client profile of .NET Framework 4 is present.
    plat::HKEY key = nullptr;
    ASSERT_EQ(plat::RegCreateKey(HKEY_LOCAL_MACHINE,
                                 L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Client",
                                 &key),
              ERROR_SUCCESS);
    plat::DWORD one = 1;
    plat::RegSetValueEx(key, L"Install", 0, REG_DWORD, reinterpret_cast<plat::BYTE*>(&one), 4);
    plat::RegCloseKey(key);

    g_installState = 1;
    g_dialogResult = 2;
    InitInstallContext();

    EXPECT_EQ(g_installState, 0);
    EXPECT_EQ(g_dialogResult, 0);
    // Program Files: /opt for root, ~/.local/opt for anyone else.
    const char* home = std::getenv("HOME");
    const std::string programFiles =
        ::geteuid() == 0 ? "/opt" : std::string(home ? home : "") + "/.local/opt";
    EXPECT_EQ(g_installFolder, plat::Utf8ToWide(programFiles));
    EXPECT_EQ(g_modulePath, std::filesystem::read_symlink("/proc/self/exe").wstring());
    // The missing temporary folder has been created.
    EXPECT_EQ(g_tempFolder, plat::Utf8ToWide(temp + "/"));
    EXPECT_TRUE(std::filesystem::is_directory(temp));
    // This executable carries the project version; its name "test_app"
    // carries the channel "app".
    EXPECT_EQ(g_version, L"1.1.8.305");
    EXPECT_EQ(g_channel, L"app");
    EXPECT_EQ(g_configUrl,
              ProductApiBaseUrl() + L"/api/soft/pdf/type/install/sp/1.0/ver/1.1.8.305/channel/app");
    EXPECT_EQ(g_dotNetInstalled, 1);
}

TEST(InstallContext, InitialisationWithoutDotNet) {
    TempDir dir;
    ScopedEnv tmp("TMPDIR", dir.Path());
    ScopedEnv reg("PLAT_REGISTRY", dir / "registry.db");
    InitInstallContext();
    EXPECT_EQ(g_dotNetInstalled, 0);
    EXPECT_EQ(g_tempFolder, plat::Utf8ToWide(dir.Path() + "/"));
}

TEST(InstallContext, TheInstallerCreatesAMissingTemporaryFolderItself) {
    TempDir dir;
    // One missing level is created.
    const std::string missing = dir / "tmp";
    EnsureTempFolder(plat::Utf8ToWide(missing + "/"));
    EXPECT_TRUE(std::filesystem::is_directory(missing));
    // Only one level: a folder whose parent is missing stays missing.
    const std::string deep = dir / "a/b/c";
    EnsureTempFolder(plat::Utf8ToWide(deep + "/"));
    EXPECT_FALSE(std::filesystem::exists(dir / "a"));
    // Whatever exists already is left as it is.
    apptest::WriteAll(dir / "file", "kept");
    EnsureTempFolder(plat::Utf8ToWide(dir / "file"));
    EXPECT_EQ(apptest::ReadAll(dir / "file"), "kept");
    // A folder that cannot be created is no failure of initialisation.
    ::chmod(dir.Path().c_str(), 0500);
    EnsureTempFolder(plat::Utf8ToWide(dir / "denied/"));
    ::chmod(dir.Path().c_str(), 0700);
    if (::geteuid() != 0) {
        EXPECT_FALSE(std::filesystem::exists(dir / "denied"));
    }
    EnsureTempFolder(L"");
}
