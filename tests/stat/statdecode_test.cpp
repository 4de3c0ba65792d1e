// tools/statdecode: the document of a captured request URL.
#include "recording_server.h"
#include "stat_test_env.h"
#include "stat_test_util.h"

#include <cstdio>
#include <sys/wait.h>

namespace {

struct RunResult {
    int status = -1;
    std::string out;
};

// Runs the tool through the shell with the given arguments (stderr joined
// to stdout when asked).
RunResult RunTool(const std::string& args, bool joinErrors = false,
                  const std::string& inputLine = std::string()) {
    std::string command = std::string("'") + STATDECODE_PATH + "' " + args;
    if (!inputLine.empty()) {
        command = "printf '%s\\n' '" + inputLine + "' | " + command;
    }
    command += joinErrors ? " 2>&1" : " 2>/dev/null";
    RunResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
        result.out.append(buffer, n);
    }
    int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

class StatDecode : public ::testing::Test {
protected:
    void SetUp() override {
        m_registry.Use();
        m_stat.Init();
        stat_test::ConfigureAsInstaller(m_stat, m_server.BaseUrl(L"/"));
        ASSERT_TRUE(m_stat.CollectAppExceptionInfo_Sync(L"中 \"quoted\""));
        m_url = "http://127.0.0.1:" + std::to_string(m_server.Port()) + m_server.Targets()[0];
    }

    ScratchRegistry m_registry;
    RecordingServer m_server;
    ns_zr_stat::ZrStat m_stat;
    std::string m_url;
};

} // namespace

TEST_F(StatDecode, PrintsTheDocumentOfACapturedUrl) {
    RunResult result = RunTool("-k " + stat_test::kInstallerKeyBytes + " " + Quoted(m_url));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, stat_test::DocumentOf(m_url));
    EXPECT_NE(result.out.find("\"error_msg\":\"\\u4E2D \\\"quoted\\\"\"}}\n"), std::string::npos)
        << result.out;

    RunResult fromInput = RunTool("-k " + stat_test::kInstallerKeyBytes + " -", false, m_url);
    EXPECT_EQ(fromInput.status, 0);
    EXPECT_EQ(fromInput.out, result.out);
}

TEST_F(StatDecode, ExplainsFailuresAndUsage) {
    RunResult wrong = RunTool("-k c14f8a2b93e70d56f2a81b4ce90d7a36 " + Quoted(m_url), true);
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.out.find("wrong key"), std::string::npos) << wrong.out;

    RunResult notBase64 =
        RunTool("-k " + stat_test::kInstallerKeyBytes + " 'http://h/tj.html?value=51_@@@@'", true);
    EXPECT_EQ(notBase64.status, 1);
    EXPECT_NE(notBase64.out.find("not Base64"), std::string::npos) << notBase64.out;

    EXPECT_EQ(RunTool(Quoted(m_url)).status, 2);
    EXPECT_EQ(RunTool("-k").status, 2);
    EXPECT_EQ(RunTool("-k x -z " + Quoted(m_url)).status, 2);
}
