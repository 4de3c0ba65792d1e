#include "app/system_queries.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>

#include "app/install_context.h"
#include "app_test_util.h"
#include "plat/sys/registry.h"
#include "plat/sys/text.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

using apptest::ScopedEnv;
using apptest::TempDir;

namespace {

std::wstring W(const std::string& s) {
    return plat::Utf8ToWide(s);
}

class Registry : public ::testing::Test {
protected:
    TempDir m_dir;
    std::string m_store = m_dir / "registry.db";
    ScopedEnv m_env{"PLAT_REGISTRY", m_store};

    std::string Regtool(const std::string& args, int& exitCode) {
        return apptest::Run(
            std::string(REGTOOL_PATH) + " --store '" + m_store + "' " + args + " 2>&1", exitCode);
    }
};

// A fake desktop opener recording its arguments, first on PATH.
class FakeOpener {
public:
    explicit FakeOpener(const TempDir& dir)
        : m_log(dir / "opened.txt"), m_path("PATH", dir / "bin" + ":/usr/bin:/bin") {
        std::filesystem::create_directory(dir / "bin");
        apptest::WriteAll(dir / "bin/xdg-open",
                          "#!/bin/sh\nprintf '%s|' \"$@\" >> '" + m_log + "'\n");
        ::chmod((dir / "bin/xdg-open").c_str(), 0755);
    }
    std::string Log() const { return apptest::ReadAll(m_log); }

private:
    std::string m_log;
    ScopedEnv m_path;
};

} // namespace

TEST(Paths, ModuleTempAndProgramFiles) {
    std::wstring path = GetModulePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path[0], L'/');
    EXPECT_EQ(GetModuleFileNameOnly(), L"test_app");
    EXPECT_EQ(FileNameOnly(L"/opt/a b/Setup_1.exe"), L"Setup_1.exe");
    EXPECT_EQ(FileNameOnly(L"Setup.exe"), L"Setup.exe");
    EXPECT_EQ(FileNameOnly(L"/opt/dir/"), L"");

    TempDir dir;
    ScopedEnv tmp("TMPDIR", dir.Path());
    EXPECT_EQ(GetTempFolder(), W(dir.Path() + "/"));
    EXPECT_FALSE(GetProgramFilesFolder().empty());
}

TEST(Paths, LongTemporaryFolderIsReturnedWhole) {
    TempDir dir;
    std::string longPath = dir.Path();
    while (longPath.size() <= 300)
        longPath += "/" + std::string(60, 'x');
    ScopedEnv tmp("TMPDIR", longPath);
    EXPECT_EQ(GetTempFolder(), W(longPath + "/"));
}

TEST(Version, OwnExecutableAndOthers) {
    std::wstring saved = g_modulePath;
    g_modulePath = GetModulePath();
    EXPECT_EQ(GetOwnProductVersion(), L"1.1.8.305");
    g_modulePath = W(PLAIN_EXECUTABLE);
    EXPECT_EQ(GetOwnProductVersion(), L"");
    g_modulePath = L"";
    EXPECT_EQ(GetOwnProductVersion(), L"");
    g_modulePath = saved;
    EXPECT_EQ(GetFileProductVersion(W(PLAIN_EXECUTABLE)), L"");
    EXPECT_EQ(GetFileProductVersion(L"/etc/hostname"), L"");
    EXPECT_EQ(GetFileProductVersion(L"/no/such/file"), L"");
}

TEST(Disk, FreeBytesAndDrive) {
    TempDir dir;
    double freeBytes = -1;
    EXPECT_TRUE(GetDiskFreeBytes(W(dir.Path()), freeBytes));
    EXPECT_GT(freeBytes, 0.0);
    // A folder that is not there yet is measured on its nearest ancestor.
    double later = -1;
    EXPECT_TRUE(GetDiskFreeBytes(W(dir / "TarvexPDFConver/bin"), later));
    EXPECT_GT(later, 0.0);

    EXPECT_EQ(GetInstallDrive(L"/proc/not/yet"), L"/proc/");
    std::wstring drive = GetInstallDrive(W(dir / "TarvexPDFConver"));
    ASSERT_FALSE(drive.empty());
    EXPECT_EQ(drive.back(), L'/');
    EXPECT_EQ(GetInstallDrive(L""), L"");
}

TEST(Disk, FailureGivesFalseAndZero) {
    apptest::GoneCurrentFolder gone;
    ASSERT_TRUE(gone.Ok());
    double freeBytes = 12345.0;
    EXPECT_FALSE(GetDiskFreeBytes(L"TarvexPDFConver", freeBytes));
    EXPECT_EQ(freeBytes, 0.0);
    freeBytes = 12345.0;
    EXPECT_FALSE(GetDiskFreeBytes(L"", freeBytes));
    EXPECT_EQ(freeBytes, 0.0);
    EXPECT_EQ(GetInstallDrive(L"TarvexPDFConver"), L"");
}

TEST_F(Registry, WriteInstallPathIsVisibleWithRegtool) {
    EXPECT_FALSE(WriteInstallPath(L""));
    EXPECT_FALSE(std::filesystem::exists(m_store)); // nothing written

    ASSERT_TRUE(WriteInstallPath(L"/opt/Tarvex PDF 转换器"));
    int exitCode = -1;
    std::string out = Regtool("get 'HKLM\\Software\\TarvexPDFConver' installPath", exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(out, "/opt/Tarvex PDF 转换器\n");
    out = Regtool("list HKLM/software/tarvexpdfconver", exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(out, "installPath\tREG_SZ\t/opt/Tarvex PDF 转换器\n");

    // A path longer than MAX_PATH is stored whole.
    std::string longPath = "/opt";
    while (longPath.size() <= 300)
        longPath += "/" + std::string(50, 'p');
    ASSERT_TRUE(WriteInstallPath(W(longPath)));
    out = Regtool("get 'HKLM\\Software\\TarvexPDFConver' installPath", exitCode);
    EXPECT_EQ(out, longPath + "\n");
}

TEST_F(Registry, WriteInstallPathFailsOnABadStore) {
    apptest::WriteAll(m_store, std::string(2048, 'z'));
    EXPECT_FALSE(WriteInstallPath(L"/opt/x"));
    int exitCode = 0;
    std::string out = Regtool("get 'HKLM\\Software\\TarvexPDFConver' installPath", exitCode);
    EXPECT_EQ(exitCode, 3);
    EXPECT_NE(out.find("corrupt"), std::string::npos) << out;

    ::unlink(m_store.c_str());
    ASSERT_TRUE(WriteInstallPath(L"/opt/first"));
    ::chmod(m_store.c_str(), 0444);
    EXPECT_FALSE(WriteInstallPath(L"/opt/second"));
    out = Regtool("get 'HKLM\\Software\\TarvexPDFConver' installPath", exitCode);
    EXPECT_EQ(out, "/opt/first\n");
    out = Regtool("set 'HKLM\\Software\\TarvexPDFConver' installPath sz x", exitCode);
    EXPECT_EQ(exitCode, 3);
    EXPECT_NE(out.find("cannot be accessed"), std::string::npos) << out;
}

TEST_F(Registry, RegtoolReportsWhatIsWrong) {
    int exitCode = 0;
    std::string out = Regtool("get 'HKXX\\Software' x", exitCode);
    EXPECT_EQ(exitCode, 1);
    EXPECT_NE(out.find("bad key"), std::string::npos) << out;
    out = Regtool("set 'HKLM\\Software\\A' n qword 1", exitCode);
    EXPECT_EQ(exitCode, 1);
    EXPECT_NE(out.find("unknown type"), std::string::npos) << out;
    out = Regtool("set 'HKLM\\Software\\A' n dword 4294967296", exitCode);
    EXPECT_EQ(exitCode, 1);
    EXPECT_NE(out.find("bad number"), std::string::npos) << out;
    out = Regtool("get 'HKLM\\Software\\Missing' x", exitCode);
    EXPECT_EQ(exitCode, 2);
    EXPECT_NE(out.find("not found"), std::string::npos) << out;
    out = Regtool("frobnicate HKLM", exitCode);
    EXPECT_EQ(exitCode, 1);
    EXPECT_NE(out.find("usage"), std::string::npos) << out;

    // Set, read back, delete, as numbers and texts.
    Regtool("set 'HKLM\\Software\\A' n dword 0x2A", exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(Regtool("get 'HKLM\\Software\\A' N", exitCode), "42\n");
    Regtool("delete 'HKLM\\Software\\A' n", exitCode);
    EXPECT_EQ(exitCode, 0);
    // Expandable text is stored as it is and listed with its type.
    Regtool("set 'HKLM\\Software\\A' e expand_sz '%TEMP%/x'", exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(Regtool("list 'HKLM\\Software\\A'", exitCode), "e\tREG_EXPAND_SZ\t%TEMP%/x\n");
    Regtool("delete 'HKLM\\Software\\A' n", exitCode);
    EXPECT_EQ(exitCode, 2);

    // A folder instead of a store file.
    int code = 0;
    out = apptest::Run(std::string(REGTOOL_PATH) + " --store '" + m_dir.Path() +
                           "' get HKLM/Software/A n 2>&1",
                       code);
    EXPECT_EQ(code, 3);
    EXPECT_NE(out.find("cannot be accessed"), std::string::npos) << out;
}

TEST(RunAndWait, WaitsForAScriptAndPassesItsParameters) {
    TempDir dir;
    std::string script = dir / "pkg setup.sh";
    apptest::WriteAll(script,
                      "#!/bin/sh\nsleep 0.3\nprintf '%s|' \"$@\" > '" + (dir / "args") + "'\n");
    ::chmod(script.c_str(), 0644); // the execute bit is set by the launch
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunAndWait(W(script), L"/S \"/D=/opt/x y\""));
    // It returned only after the script had finished its work.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(apptest::ReadAll(dir / "args"), "/S|/D=/opt/x y|");
}

TEST(RunAndWait, GivesTheExitCodeOfTheFinishedProcess) {
    TempDir dir;
    std::string script = dir / "pkg.sh";
    apptest::WriteAll(script, "#!/bin/sh\nexit \"$1\"\n");
    for (plat::DWORD expected : {0u, 3u, 255u}) {
        plat::DWORD code = 12345;
        ASSERT_TRUE(RunAndWait(W(script), std::to_wstring(expected), &code));
        EXPECT_EQ(code, expected);
    }
    // Ended by a signal: 128 + its number.
    apptest::WriteAll(script, "#!/bin/sh\nkill -9 $$\n");
    plat::DWORD code = 0;
    ASSERT_TRUE(RunAndWait(W(script), L"", &code));
    EXPECT_EQ(code, 128u + 9u);
}

TEST(RunAndWait, NoExitSeenIsNeverReportedAsSuccess) {
    TempDir dir;
    plat::DWORD code = 0;
    EXPECT_FALSE(RunAndWait(W(dir / "missing.exe"), L"/S", &code));
    EXPECT_EQ(code, kExitUnobserved);
    // Started nothing: no opener for a folder.
    std::filesystem::create_directory(dir / "empty");
    ScopedEnv path("PATH", dir / "empty");
    code = 0;
    EXPECT_FALSE(RunAndWait(W(dir.Path()), L"", &code));
    EXPECT_EQ(code, kExitUnobserved);
    // A file that cannot be run at all.
    apptest::WriteAll(dir / "text.txt", "plain text");
    code = 0;
    EXPECT_FALSE(RunAndWait(W(dir / "text.txt"), L"", &code));
    EXPECT_EQ(code, kExitUnobserved);
}

TEST(RunAndWait, AFolderGoesToTheShellsOpenVerb) {
    TempDir dir;
    FakeOpener opener(dir);
    std::filesystem::create_directory(dir / "folder");
    plat::DWORD code = 12345;
    EXPECT_TRUE(RunAndWait(W(dir / "folder"), L"", &code));
    EXPECT_EQ(opener.Log(), dir / "folder" + "|");
    EXPECT_EQ(code, 0u); // the opener's own exit
}

TEST(RunAndWait, AMissingFileStartsNothing) {
    TempDir dir;
    FakeOpener opener(dir);
    EXPECT_FALSE(RunAndWait(W(dir / "missing.exe"), L"/S"));
    EXPECT_FALSE(RunAndWait(L"", L""));
    EXPECT_EQ(opener.Log(), "");
}

TEST(RunAndWait, NoOpenerIsAFailedLaunch) {
    TempDir dir;
    std::filesystem::create_directory(dir / "empty");
    ScopedEnv path("PATH", dir / "empty");
    EXPECT_FALSE(RunAndWait(W(dir.Path()), L""));
}
