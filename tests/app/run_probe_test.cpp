// RunAndWait with a real program on both systems: the package probe (a
// program of this build that records its arguments and exits with
// $PROBE_EXIT) started hidden, its parameters split by the Windows
// command-line rules (by the C runtime on Windows, by plat on Linux), its
// exit code seen, also from a folder whose name is outside the Basic
// Multilingual Plane.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/system_queries.h"
#include "app_test_util.h"
#include "plat/sys/files.h"
#include "plat/sys/text.h"

using apptest::ScopedEnv;
using apptest::TempDir;

namespace {

class RunProbe : public ::testing::Test {
protected:
    // The lines the probe wrote, one per run: "NAME args=A|B|... installPath=...".
    std::vector<std::string> Lines() {
        std::vector<std::string> lines;
        std::string text = apptest::ReadAll(m_dir / "probe.log");
        for (size_t start = 0; start < text.size();) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
            start = end + 1;
        }
        return lines;
    }
    static std::wstring Probe() { return plat::Utf8ToWide(TARVEX_PACKAGE_PROBE); }

    TempDir m_dir;
    ScopedEnv m_log{"PROBE_LOG", m_dir / "probe.log"};
};

} // namespace

TEST_F(RunProbe, ParametersArriveSplitByTheWindowsRules) {
    struct Case {
        const wchar_t* parameters;
        const char* arguments;
    } cases[] = {
        {L"/S", "/S"},
        {L"/S \"/D=C:\\Program Files\\安装 目录\"", "/S|/D=C:\\Program Files\\安装 目录"},
        {L"a\\\\\"b c\" d", "a\\b c|d"}, // 2n backslashes before a quote: n, quote acts
        {L"a\\\"b", "a\"b"},             // 2n+1: n and a literal quote
        {L"x\\y\\ z", "x\\y\\|z"},       // other backslashes are literal
        {L"\U0001F600 \U00020000", "\xF0\x9F\x98\x80|\xF0\xA0\x80\x80"},
    };
    for (const Case& c : cases) {
        plat::DWORD code = 12345;
        ASSERT_TRUE(RunAndWait(Probe(), std::wstring(L"probe ") + c.parameters, &code))
            << plat::WideToUtf8(c.parameters);
        EXPECT_EQ(code, 0u);
    }
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), sizeof(cases) / sizeof(cases[0]));
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string expected = std::string("probe args=") + cases[i].arguments;
        EXPECT_EQ(lines[i].substr(0, lines[i].find(" installPath=")), expected)
            << plat::WideToUtf8(cases[i].parameters);
    }
}

TEST_F(RunProbe, TheExitCodeOfTheFinishedProgramComesBack) {
    for (const char* exitCode : {"0", "3", "255"}) {
        ScopedEnv code("PROBE_EXIT", std::string(exitCode));
        plat::DWORD seen = 12345;
        ASSERT_TRUE(RunAndWait(Probe(), L"product /S", &seen));
        EXPECT_EQ(seen, plat::DWORD(std::stoul(exitCode)));
    }
    EXPECT_EQ(Lines().size(), 3u);
}

TEST_F(RunProbe, AProgramInAnAstralFolderRunsFromThere) {
    const std::wstring folder = plat::Utf8ToWide(m_dir.Path()) + L"/安装 \U0001F600 \U0002A6D6";
    ASSERT_TRUE(plat::CreateDirectory(folder.c_str(), nullptr));
    const std::wstring copy = folder + L"/TarvexPDFConverSetup \U00020000.exe";
    const std::string bytes = apptest::ReadAll(TARVEX_PACKAGE_PROBE);
    ASSERT_FALSE(bytes.empty());
    apptest::WriteAll(plat::WideToChsMultiByte(copy), bytes);
    plat::DWORD code = 12345;
    ASSERT_TRUE(RunAndWait(copy, L"setup /S", &code));
    EXPECT_EQ(code, 0u);
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("setup args=/S installPath=", 0), 0u) << lines[0];
}

TEST_F(RunProbe, NothingStartedIsNeverASuccess) {
    plat::DWORD code = 0;
    EXPECT_FALSE(RunAndWait(plat::Utf8ToWide(m_dir / "missing \U0001F600.exe"), L"/S", &code));
    EXPECT_EQ(code, kExitUnobserved);
    EXPECT_FALSE(RunAndWait(L"", L""));
    EXPECT_TRUE(Lines().empty());
}
