#include "plat/sys/process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "plat/sys/files.h"
#include "plat/sys/text.h"
#include "sys_test_util.h"

using namespace plat;
using systest::ScopedEnv;
using systest::TempDir;

namespace {

std::wstring W(const std::string& s) {
    return Utf8ToWide(s);
}

// Writes a shell script (without execute permission).
void WriteScript(const std::string& path, const std::string& body) {
    systest::WriteAll(path, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0644);
}

// A folder holding a fake `xdg-open` (and `xdg-desktop-menu`) that records
// its arguments, placed first on PATH for one test.
class FakeOpener {
public:
    explicit FakeOpener(const TempDir& dir)
        : m_bin(dir / "bin"), m_log(dir / "opened.txt"), m_path("PATH", m_bin + ":/usr/bin:/bin") {
        std::filesystem::create_directory(m_bin);
        for (const char* tool : {"xdg-open", "xdg-desktop-menu"}) {
            std::string script = m_bin + "/" + tool;
            systest::WriteAll(script, "#!/bin/sh\nprintf '%s|' \"$@\" >> '" + m_log + "'\n");
            ::chmod(script.c_str(), 0755);
        }
    }
    const std::string& Log() const { return m_log; }

private:
    std::string m_bin;
    std::string m_log;
    ScopedEnv m_path;
};

// `file` and `params` must outlive the returned record, which points at them.
SHELLEXECUTEINFO OpenInfo(const std::wstring& file, LPCWSTR params, int show) {
    SHELLEXECUTEINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpParameters = params;
    info.nShow = show;
    return info;
}

} // namespace

TEST(SplitCommandLine, FollowsTheWindowsRules) {
    using V = std::vector<std::wstring>;
    EXPECT_EQ(SplitCommandLine(L""), V{});
    EXPECT_EQ(SplitCommandLine(L"  \t "), V{});
    EXPECT_EQ(SplitCommandLine(L"/S"), V{L"/S"});
    EXPECT_EQ(SplitCommandLine(L" a  b\tc "), (V{L"a", L"b", L"c"}));
    EXPECT_EQ(SplitCommandLine(L"\"a b\" c"), (V{L"a b", L"c"}));
    EXPECT_EQ(SplitCommandLine(L"/D=\"C:\\Program Files\\X\""), V{L"/D=C:\\Program Files\\X"});
    EXPECT_EQ(SplitCommandLine(L"\"\""), V{L""});
    EXPECT_EQ(SplitCommandLine(L"a \"\" b"), (V{L"a", L"", L"b"}));
    EXPECT_EQ(SplitCommandLine(L"a\\b"), V{L"a\\b"});           // lone backslash
    EXPECT_EQ(SplitCommandLine(L"a\\\\b"), V{L"a\\\\b"});       // backslashes not before a quote
    EXPECT_EQ(SplitCommandLine(L"a\\\"b"), V{L"a\"b"});         // \" is a quote
    EXPECT_EQ(SplitCommandLine(L"a\\\\\"b c\""), V{L"a\\b c"}); // \\" halves, quote acts
    EXPECT_EQ(SplitCommandLine(L"a\\\\\\\"b"), V{L"a\\\"b"});   // \\\" gives \"
    EXPECT_EQ(SplitCommandLine(L"\"a\"\"b\""), V{L"a\"b"});     // "" inside quotes
    EXPECT_EQ(SplitCommandLine(L"\"unterminated arg"), V{L"unterminated arg"});
    EXPECT_EQ(SplitCommandLine(L"trailing\\"), V{L"trailing\\"});
}

TEST(ShellExecute, RunsAScriptWithItsParametersAndWaits) {
    TempDir dir;
    std::string script = dir / "setup.sh";
    WriteScript(script, "sleep 0.2\nprintf '%s|' \"$@\" > '" + (dir / "args") +
                            "'\nout=$(readlink /proc/$$/fd/1)\necho \"$out\" > '" +
                            (dir / "stdout") + "'\nexit 7\n");
    std::wstring file = W(script);
    std::wstring params = L"/S \"/D=/opt/My Product\" 中文";
    SHELLEXECUTEINFO info = OpenInfo(file, params.c_str(), SW_HIDE);
    ASSERT_TRUE(ShellExecuteEx(&info));
    EXPECT_GT(reinterpret_cast<uintptr_t>(info.hInstApp), 32u);
    ASSERT_NE(info.hProcess, nullptr);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, DWORD(7));
    EXPECT_TRUE(CloseHandle(info.hProcess));

    EXPECT_EQ(systest::ReadAll(dir / "args"), "/S|/D=/opt/My Product|中文|");
    EXPECT_EQ(systest::ReadAll(dir / "stdout"), "/dev/null\n"); // SW_HIDE
    struct stat st {};
    ::stat(script.c_str(), &st);
    EXPECT_TRUE(st.st_mode & S_IXUSR); // execute bit set on the way
}

TEST(ShellExecute, AHandlePathRunsTheOpenFileNotWhatIsNowAtItsName) {
    TempDir dir;
    const std::string script = dir / "setup.sh";
    WriteScript(script, "echo original \"$@\" >> '" + (dir / "ran") + "'\n");
    HANDLE file = CreateFile(W(script).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    // Another script takes the name after the file was opened.
    WriteScript(dir / "evil.sh", "echo swapped >> '" + (dir / "ran") + "'\n");
    std::filesystem::rename(dir / "evil.sh", script);

    const std::wstring path = GetFileHandlePath(file);
    SHELLEXECUTEINFO info = OpenInfo(path, L"/S", SW_HIDE);
    ASSERT_TRUE(ShellExecuteEx(&info));
    ASSERT_NE(info.hProcess, nullptr);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, DWORD(0));
    CloseHandle(info.hProcess);
    EXPECT_EQ(systest::ReadAll(dir / "ran"), "original /S\n");

    // Once the handle is closed the path names nothing of ours.
    CloseHandle(file);
    info = OpenInfo(path, L"", SW_HIDE);
    EXPECT_FALSE(ShellExecuteEx(&info));
}

TEST(ShellExecute, RunsElfProgramsInTheGivenFolder) {
    TempDir dir;
    std::wstring sh = L"/bin/sh";
    std::wstring params = L"-c \"pwd > out; exit 3\"";
    SHELLEXECUTEINFO info = OpenInfo(sh, params.c_str(), SW_SHOWNORMAL);
    std::wstring folder = W(dir.Path());
    info.lpDirectory = folder.c_str();
    ASSERT_TRUE(ShellExecuteEx(&info));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, DWORD(3));
    CloseHandle(info.hProcess);
    EXPECT_EQ(systest::ReadAll(dir / "out"), dir.Path() + "\n");
}

TEST(ShellExecute, WaitTimesOutWhileTheProcessRuns) {
    TempDir dir;
    std::string script = dir / "slow.sh";
    WriteScript(script, "sleep 0.5\n");
    std::wstring file = W(script);
    SHELLEXECUTEINFO info = OpenInfo(file, L"", SW_HIDE);
    ASSERT_TRUE(ShellExecuteEx(&info));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 30), WAIT_TIMEOUT);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    // Two threads wait on the same handle; both see the end.
    DWORD other = WAIT_FAILED;
    std::thread waiter([&] { other = WaitForSingleObject(info.hProcess, 10000); });
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
    waiter.join();
    EXPECT_EQ(other, WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, DWORD(0));
    CloseHandle(info.hProcess);
}

TEST(ShellExecute, FoldersUrlsAndDocumentsGoToTheOpener) {
    TempDir dir;
    FakeOpener opener(dir);
    systest::WriteAll(dir / "readme.txt", "plain text");
    for (const std::string& target :
         {dir.Path(), std::string("http://127.0.0.1:8780/service/clause"), dir / "readme.txt"}) {
        std::filesystem::remove(opener.Log());
        std::wstring file = W(target);
        SHELLEXECUTEINFO info = OpenInfo(file, L"", SW_HIDE);
        ASSERT_TRUE(ShellExecuteEx(&info)) << target;
        ASSERT_NE(info.hProcess, nullptr);
        EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
        CloseHandle(info.hProcess);
        EXPECT_EQ(systest::ReadAll(opener.Log()), target + "|");
    }
    // The plain form, without a process handle.
    std::filesystem::remove(opener.Log());
    HINSTANCE result =
        ShellExecute(nullptr, L"open", L"https://127.0.0.1/x", nullptr, nullptr, SW_SHOWNORMAL);
    EXPECT_GT(reinterpret_cast<uintptr_t>(result), 32u);
    EXPECT_TRUE(systest::WaitForFile(opener.Log()));
    // A document is never executed, even with its execute bit set.
    EXPECT_EQ(systest::ReadAll(dir / "readme.txt"), "plain text");
}

TEST(ShellExecute, FailuresAreResults) {
    TempDir dir;
    std::wstring missing = W(dir / "missing.exe");
    SHELLEXECUTEINFO info = OpenInfo(missing, L"", SW_HIDE);
    EXPECT_FALSE(ShellExecuteEx(&info));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(info.hInstApp), uintptr_t(SE_ERR_FNF));
    EXPECT_EQ(info.hProcess, nullptr);

    std::wstring folder = W(dir.Path());
    info = OpenInfo(folder, L"", SW_HIDE);
    info.lpVerb = L"edit";
    EXPECT_FALSE(ShellExecuteEx(&info));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_ASSOCIATION));

    info = OpenInfo(folder, L"", SW_HIDE);
    info.cbSize = 4;
    EXPECT_FALSE(ShellExecuteEx(&info));
    EXPECT_FALSE(ShellExecuteEx(nullptr));

    // No opener installed: a failure result, not a crash.
    std::filesystem::create_directory(dir / "empty");
    ScopedEnv path("PATH", dir / "empty");
    info = OpenInfo(folder, L"", SW_HIDE);
    EXPECT_FALSE(ShellExecuteEx(&info));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_ASSOCIATION));
    EXPECT_EQ(ShellExecute(nullptr, nullptr, folder.c_str(), nullptr, nullptr, SW_SHOW),
              reinterpret_cast<HINSTANCE>(uintptr_t(SE_ERR_NOASSOC)));
}

TEST(ShellExecute, InvalidProcessHandles) {
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeProcess(reinterpret_cast<HANDLE>(uintptr_t(0x42)), &code));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));

    TempDir dir;
    std::string script = dir / "quick.sh";
    WriteScript(script, "exit 0\n");
    std::wstring file = W(script);
    SHELLEXECUTEINFO info = OpenInfo(file, L"", SW_HIDE);
    ASSERT_TRUE(ShellExecuteEx(&info));
    EXPECT_TRUE(CloseHandle(info.hProcess)); // closed without waiting: reaped in the background
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_FAILED);
}

// Reads a pipe handle to its end.
std::string ReadToEnd(HANDLE output) {
    std::string text;
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(output, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    return text;
}

TEST(StartProcessWithOutput, HandsBackOutputAndExitCodeWithoutAShell) {
    TempDir dir;
    std::filesystem::create_directory(dir / "bin");
    std::string tool = dir / "bin/echoargs";
    // Each argument on its own line: a shell in between would split or
    // expand them.
    systest::WriteAll(tool, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done\nexit 3\n");
    ::chmod(tool.c_str(), 0755);
    ScopedEnv path("PATH", dir / "bin");
    HANDLE process = nullptr, output = nullptr;
    ASSERT_TRUE(StartProcessWithOutput(L"echoargs", {L"two words", L"$HOME;*", L"目录"}, &process,
                                       &output));
    EXPECT_EQ(ReadToEnd(output), "two words\n$HOME;*\n目录\n");
    EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(process, &code));
    EXPECT_EQ(code, DWORD(3));
    EXPECT_TRUE(CloseHandle(output));
    EXPECT_TRUE(CloseHandle(process));

    // By path as well; missing and non-runnable programs are failures.
    ASSERT_TRUE(StartProcessWithOutput(W(tool), {}, &process, &output));
    EXPECT_EQ(ReadToEnd(output), "");
    CloseHandle(output);
    CloseHandle(process);
    EXPECT_FALSE(StartProcessWithOutput(L"no-such-tool", {}, &process, &output));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(process, nullptr);
    EXPECT_EQ(output, nullptr);
    systest::WriteAll(dir / "bin/plain", "not a program");
    EXPECT_FALSE(StartProcessWithOutput(W(dir / "bin/plain"), {}, &process, &output));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}

TEST(StartProcessWithOutput, TerminateEndsAProgramThatWouldRunOn) {
    TempDir dir;
    std::string tool = dir / "forever";
    systest::WriteAll(tool, "#!/bin/sh\necho started\nexec sleep 600\n");
    ::chmod(tool.c_str(), 0755);
    HANDLE process = nullptr, output = nullptr;
    ASSERT_TRUE(StartProcessWithOutput(W(tool), {}, &process, &output));
    char buffer[16];
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(output, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "started\n");
    EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(TerminateProcess(process, 1));
    EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(process, &code));
    EXPECT_EQ(code, DWORD(128 + 9));
    EXPECT_EQ(ReadToEnd(output), "");          // the pipe ends with the process
    EXPECT_TRUE(TerminateProcess(process, 1)); // already ended: nothing to do
    CloseHandle(output);
    CloseHandle(process);
    EXPECT_FALSE(TerminateProcess(process, 1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST(ShellNotify, AsksTheDesktopToRefresh) {
    TempDir dir;
    FakeOpener tools(dir);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    ASSERT_TRUE(systest::WaitForFile(tools.Log()));
    EXPECT_EQ(systest::ReadAll(tools.Log()), "forceupdate|");

    ScopedEnv path("PATH", dir / "nothing-here");
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); // no tool: no effect
}

namespace {

std::string g_exitMarkers; // the folder the exit actions below write into

void WriteActionMarker() {
    systest::WriteAll(g_exitMarkers + "/action", "ran");
}

void WriteAtExitMarker() {
    systest::WriteAll(g_exitMarkers + "/atexit", "ran");
}

} // namespace

// The end of a process with threads still at work: the registered actions
// run and open streams are flushed, but no atexit handler (nor destructor).
TEST(ExitProcessDeathTest, RunsTheExitActionsButNoAtExitHandler) {
    TempDir dir;
    g_exitMarkers = dir.Path();
    // Forked where it stands, so that the child writes into this folder.
    ::testing::FLAGS_gtest_death_test_style = "fast";
    EXPECT_EXIT(
        {
            std::atexit(WriteAtExitMarker);
            OnProcessExit(WriteActionMarker);
            // Left open and unflushed: ExitProcess flushes it.
            FILE* buffered = std::fopen((dir / "buffered").c_str(), "w");
            std::fputs("kept", buffered);
            ExitProcess(7);
        },
        ::testing::ExitedWithCode(7), "");
    EXPECT_EQ(systest::ReadAll(dir / "action"), "ran");
    EXPECT_EQ(systest::ReadAll(dir / "buffered"), "kept");
    EXPECT_FALSE(std::filesystem::exists(dir / "atexit"));
}
