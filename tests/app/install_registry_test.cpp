// What the installer reads and writes in the registry and the sizes it
// shows, on both systems: the registry is plat's store on Linux (a scratch
// one here) and the real one on Windows (the test's own Wine prefix).
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/system_queries.h"
#include "app_test_util.h"
#include "plat/sys/files.h"
#include "plat/sys/registry.h"
#include "plat/sys/text.h"
#include "tests/app/probe/read_install_path.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

using apptest::ScopedEnv;
using apptest::TempDir;

namespace {

class InstallRegistry : public ::testing::Test {
protected:
    TempDir m_dir;
    ScopedEnv m_env{"PLAT_REGISTRY", m_dir / "registry.db"};

    void SetInstallFlag(const wchar_t* profile, plat::DWORD type, plat::DWORD value) {
        std::wstring path =
            std::wstring(L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\") + profile;
        plat::HKEY key = nullptr;
        ASSERT_EQ(plat::RegCreateKey(HKEY_LOCAL_MACHINE, path.c_str(), &key), ERROR_SUCCESS);
        if (type == REG_DWORD) {
            plat::RegSetValueEx(key, L"Install", 0, type, reinterpret_cast<plat::BYTE*>(&value), 4);
        } else {
            std::wstring text = std::to_wstring(value);
            plat::RegSetValueEx(key, L"Install", 0, type,
                                reinterpret_cast<const plat::BYTE*>(text.c_str()),
                                plat::DWORD((text.size() + 1) * sizeof(wchar_t)));
        }
        plat::RegCloseKey(key);
    }
};

} // namespace

TEST_F(InstallRegistry, TheInstallPathIsReadBackWhole) {
    EXPECT_FALSE(WriteInstallPath(L""));
    const std::wstring path = L"C:\\Program Files\\Tarvex PDF 转换器 \U0001F600\\\U00020000";
    ASSERT_TRUE(WriteInstallPath(path));
    EXPECT_EQ(tarvex_test::ReadInstallPath(), path);
    // A path longer than MAX_PATH is stored whole.
    std::wstring longPath = L"C:";
    while (longPath.size() <= 300)
        longPath += L"\\" + std::wstring(50, L'p');
    ASSERT_TRUE(WriteInstallPath(longPath));
    EXPECT_EQ(tarvex_test::ReadInstallPath(), longPath);
}

TEST_F(InstallRegistry, DotNetDetection) {
    EXPECT_FALSE(IsDotNet4Installed()); // no keys at all
    SetInstallFlag(L"Full", REG_DWORD, 0);
    SetInstallFlag(L"Client", REG_DWORD, 0);
    EXPECT_FALSE(IsDotNet4Installed());
    SetInstallFlag(L"Client", REG_DWORD, 1);
    EXPECT_TRUE(IsDotNet4Installed()); // Client alone is enough
    SetInstallFlag(L"Client", REG_DWORD, 2);
    EXPECT_FALSE(IsDotNet4Installed()); // any other number
    SetInstallFlag(L"Full", REG_DWORD, 1);
    EXPECT_TRUE(IsDotNet4Installed());
    SetInstallFlag(L"Full", REG_SZ, 1);
    EXPECT_FALSE(IsDotNet4Installed()); // text "1" is not the DWORD 1
}

TEST(FormatSize, FollowsTheTable) {
    struct Case {
        double bytes;
        const wchar_t* text;
    } cases[] = {
        {0, L"0Byte"},
        {1024, L"1024Byte"},
        {1025, L"1.00KB"},
        {1048576, L"1024.00KB"},
        {104857600, L"100.00MB"},
        {1073741824, L"1024.00MB"},
        {1610612736, L"1.50GB"},
        {1099511627776, L"1024.00GB"},
        {1099511627776.0 * 2.5, L"2.50TB"},
        {1023.9, L"1023Byte"}, // truncated, not rounded
        {1048577, L"1.00MB"},
        {-5, L"-5Byte"},
        {std::nan(""), L"0Byte"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatSize(c.bytes), c.text) << c.bytes;
}

TEST(DiskSpace, AFolderNotThereYetIsMeasuredOnItsVolume) {
    // As the start window does: the install folder's volume first, then the
    // space on it (Windows measures only folders that exist).
    TempDir dir;
    const std::wstring sep(1, kPathSeparator);
    const std::wstring folder =
        Utf8ToWide(dir.Path()) + sep + L"TarvexPDFConver \U0001F600" + sep + L"bin";
    const std::wstring drive = GetInstallDrive(folder);
    ASSERT_FALSE(drive.empty());
    EXPECT_EQ(drive.back(), kPathSeparator);
    EXPECT_EQ(GetInstallDrive(Utf8ToWide(dir.Path())), drive);
    double freeBytes = -1;
    EXPECT_TRUE(GetDiskFreeBytes(drive, freeBytes));
    EXPECT_GT(freeBytes, 0.0);
    EXPECT_EQ(GetInstallDrive(L""), L"");
}
