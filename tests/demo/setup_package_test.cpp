// The product package: run with "/S" after the installer's own
// WriteInstallPath, it installs the product it carries; every failure exits
// 1 with a message and leaves the target as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/system_queries.h"
#include "demo_test_util.h"
#include "plat/sys/process.h"
#include "plat/sys/registry.h"

// Win32 constants are plat's names on Linux and the system's macros on
// Windows: used unqualified.
using namespace plat;

using demotest::Entries;
using demotest::RunProgram;
using demotest::RunResult;
using demotest::W;

namespace {

const std::string kExe = "TarvexPDFConver.exe";

class SetupPackage : public demotest::PackageTest {
protected:
    RunResult Setup(const std::string& arguments = "/S", const std::string& shellPrefix = "") {
        return RunProgram(SETUP_PACKAGE, arguments, shellPrefix);
    }

    std::string Product() const { return testutil::ReadAll(SETUP_PRODUCT_FILE); }

    // Sets installPath to anything, as a broken or hostile store might hold.
    void SetRawInstallPath(plat::DWORD type, const void* data, plat::DWORD size) {
        plat::HKEY key = nullptr;
        ASSERT_EQ(plat::RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\TarvexPDFConver", &key),
                  ERROR_SUCCESS);
        if (data != nullptr) {
            EXPECT_EQ(plat::RegSetValueEx(key, L"installPath", 0, type,
                                          static_cast<const plat::BYTE*>(data), size),
                      ERROR_SUCCESS);
        }
        plat::RegCloseKey(key);
    }
};

} // namespace

TEST_F(SetupPackage, InstallsTheCarriedProductWhereTheInstallerSays) {
    const std::string folder = m_dir / "Program Files/Tarvex 目录/TarvexPDFConver";
    ASSERT_TRUE(WriteInstallPath(W(folder)));

    // Started as the installer starts it: hidden, parameters as one text.
    plat::SHELLEXECUTEINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = plat::SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"open";
    const std::wstring file = W(SETUP_PACKAGE);
    info.lpFile = file.c_str();
    info.lpParameters = L"/S";
    info.nShow = SW_HIDE;
    ASSERT_TRUE(plat::ShellExecuteEx(&info));
    ASSERT_NE(info.hProcess, nullptr);
    EXPECT_EQ(plat::WaitForSingleObject(info.hProcess, plat::INFINITE), plat::WAIT_OBJECT_0);
    plat::DWORD code = 99;
    EXPECT_TRUE(plat::GetExitCodeProcess(info.hProcess, &code));
    plat::CloseHandle(info.hProcess);
    EXPECT_EQ(code, plat::DWORD(0));

    EXPECT_EQ(Entries(folder), std::vector<std::string>{kExe});
    const std::string product = Product();
    ASSERT_GT(product.size(), 1000u);
    EXPECT_TRUE(testutil::ReadAll(folder + "/" + kExe) == product);
    EXPECT_EQ(::access((folder + "/" + kExe).c_str(), X_OK), 0);
}

TEST_F(SetupPackage, ReplacesAnInstalledProductAndKeepsOtherFiles) {
    const std::string folder = m_dir / "TarvexPDFConver";
    std::filesystem::create_directory(folder);
    testutil::WriteAll(folder + "/" + kExe, "an older product");
    testutil::WriteAll(folder + "/settings.ini", "[user]");
    ASSERT_TRUE(WriteInstallPath(W(folder + "/")));

    RunResult run = Setup("/s");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("Installed " + folder + "/" + kExe), std::string::npos) << run.output;
    EXPECT_TRUE(testutil::ReadAll(folder + "/" + kExe) == Product());
    EXPECT_EQ(testutil::ReadAll(folder + "/settings.ini"), "[user]");
    EXPECT_EQ(Entries(folder), (std::vector<std::string>{kExe, "settings.ini"}));
}

TEST_F(SetupPackage, MissingOrUnusableInstallPathIsRefused) {
    // No store at all, then the key without the value.
    RunResult run = Setup();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("no value installPath"), std::string::npos) << run.output;
    SetRawInstallPath(REG_SZ, nullptr, 0);
    run = Setup();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("no value installPath"), std::string::npos) << run.output;

    // Not text.
    plat::DWORD number = 7;
    SetRawInstallPath(REG_DWORD, &number, sizeof(number));
    run = Setup();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("is not text"), std::string::npos) << run.output;

    // Empty, and relative (which would land wherever the package was
    // started).
    for (const std::wstring& value : {std::wstring(), std::wstring(L"relative/TarvexPDFConver")}) {
        SetRawInstallPath(REG_SZ, value.c_str(), plat::DWORD((value.size() + 1) * sizeof(wchar_t)));
        run = Setup("/S", "cd '" + m_dir.Path() + "' && ");
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.output.find("not an absolute folder path"), std::string::npos) << run.output;
    }
    EXPECT_EQ(Entries(m_dir.Path()), std::vector<std::string>{"registry.db"});
}

TEST_F(SetupPackage, AnInstallRootThatCannotBeWrittenLeavesNothingBehind) {
    // A regular file where a folder of the path should be (fails for root
    // too).
    testutil::WriteAll(m_dir / "blocker", "not a folder");
    ASSERT_TRUE(WriteInstallPath(W(m_dir / "blocker/TarvexPDFConver")));
    RunResult run = Setup();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("blocker is not a folder"), std::string::npos) << run.output;
    EXPECT_EQ(testutil::ReadAll(m_dir / "blocker"), "not a folder");

    // A folder where the product file should go: the temporary copy is
    // removed again.
    std::filesystem::create_directories(m_dir / "new/TarvexPDFConver/" + kExe);
    ASSERT_TRUE(WriteInstallPath(W(m_dir / "new/TarvexPDFConver")));
    run = Setup();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("cannot put the product in place"), std::string::npos) << run.output;
    EXPECT_EQ(Entries(m_dir / "new/TarvexPDFConver"), std::vector<std::string>{kExe});
    EXPECT_TRUE(std::filesystem::is_directory(m_dir / "new/TarvexPDFConver/" + kExe));

    // A folder without write permission (root may write anywhere).
    if (::geteuid() != 0) {
        std::filesystem::create_directory(m_dir / "locked");
        ::chmod((m_dir / "locked").c_str(), 0555);
        ASSERT_TRUE(WriteInstallPath(W(m_dir / "locked/a/b")));
        run = Setup();
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.output.find("access denied"), std::string::npos) << run.output;
        EXPECT_TRUE(Entries(m_dir / "locked").empty());
    }
}

// RLIMIT_FSIZE of 4 KiB in the package's process stands for a full disk.
TEST_F(SetupPackage, AFullDiskLeavesNoHalfInstalledFolder) {
    ASSERT_GT(Product().size(), 8192u);
    const std::string limit = "ulimit -f 8 && ";

    ASSERT_TRUE(WriteInstallPath(W(m_dir / "fresh/parent/TarvexPDFConver")));
    RunResult run = Setup("/S", limit);
    EXPECT_EQ(run.exitCode, 1) << "ended by a signal? " << run.output;
    EXPECT_NE(run.output.find("disk full"), std::string::npos) << run.output;
    EXPECT_FALSE(std::filesystem::exists(m_dir / "fresh"));

    // An installed product stays as it was.
    const std::string folder = m_dir / "installed";
    std::filesystem::create_directory(folder);
    testutil::WriteAll(folder + "/" + kExe, "the working older product");
    ASSERT_TRUE(WriteInstallPath(W(folder)));
    run = Setup("/S", limit);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_EQ(Entries(folder), std::vector<std::string>{kExe});
    EXPECT_EQ(testutil::ReadAll(folder + "/" + kExe), "the working older product");
}

TEST_F(SetupPackage, OnlyTheSilentSwitchInstalls) {
    const std::string folder = m_dir / "TarvexPDFConver";
    ASSERT_TRUE(WriteInstallPath(W(folder)));
    for (const char* arguments : {"", "/X", "/S /S", "S", "'/S extra'"}) {
        RunResult run = Setup(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_NE(run.output.find("usage: TarvexPDFConverSetup /S"), std::string::npos)
            << run.output;
    }
    RunResult help = Setup("/?");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("usage:"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder));
}
