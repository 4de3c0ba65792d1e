// TarvexPDFConverInst_10086.exe under Wine when the product that arrives is
// not the one the configuration's digest names (with_distd.sh offers it so,
// see TARVEX_E2E_PRODUCT_MD5): the install fails with "安装失败！" and
// nothing is run.
#include "wine_session.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace wine_e2e;

TEST(InstallerUnderWineWrongDigest, TheInstallFailsAndNothingRuns) {
    // .NET Framework 4 recorded, so that the product is the only package.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                              L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full", 0,
                              nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD one = 1;
    ASSERT_EQ(RegSetValueExW(key, L"Install", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                             sizeof one),
              ERROR_SUCCESS);
    RegCloseKey(key);

    Session s;
    HWND start = nullptr;
    ASSERT_TRUE(s.Start(&start));
    ASSERT_TRUE(s.ClickControl(start, kStartLayout, "installbtn"));
    HWND install = nullptr;
    ASSERT_TRUE(s.Wait(kInstallClass, &install, 60s, false));
    EXPECT_TRUE(s.WaitForFailure(install, "安装失败！", 100));
    EXPECT_TRUE(s.KeepForLinuxComparison("4-install-failed", install, kInstallLayout,
                                         FailureStates("安装失败！", 100)));
    HWND finish = nullptr;
    EXPECT_FALSE(
        gui_driver::WaitForWindow({s.Process().Id(), kFinishClass, L"", true}, 2s, &finish));

    // The downloaded file is there, but the setup never ran: no product
    // folder under Program Files.
    wchar_t programFiles[MAX_PATH + 1] = {0};
    ASSERT_NE(GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH), 0u);
    EXPECT_EQ(GetFileAttributesW((std::wstring(programFiles) + L"\\TarvexPDFConver").c_str()),
              INVALID_FILE_ATTRIBUTES);

    // Closing the failed window ends the run with 1, without a question.
    ASSERT_TRUE(s.ClickControl(install, kInstallLayout, "closebtn"));
    DWORD code = 0;
    ASSERT_TRUE(s.WaitForExit(&code));
    EXPECT_EQ(code, 1u);
}
