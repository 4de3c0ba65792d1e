// Every report of the client against a real recording server: the request
// URL, the decoded documents, refusals, events and escaping.
#include "plat/sys/registry.h"
#include "recording_server.h"
#include "stat/DevInfo.h"
#include "stat/Seal.h"
#include "stat_test_env.h"
#include "stat_test_util.h"
#include "tests/stat/stat_test_device.h"

#include <thread>

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

using namespace ns_zr_stat;
using namespace stat_test;

namespace {

class Reports : public ::testing::Test {
protected:
    void SetUp() override {
        m_registry.Use();
        m_stat.Init();
        ConfigureAsInstaller(m_stat, m_server.BaseUrl(L"/"));
    }

    // The document of the only request recorded so far.
    std::string OnlyDocument() {
        std::vector<std::string> targets = m_server.Targets();
        EXPECT_EQ(targets.size(), 1u);
        return targets.empty() ? std::string() : DocumentOf(targets.back());
    }

    std::string ExpectedDevInfo() {
        return "{\"channel\":\"10001\",\"os_name\":\"" + ExpectedOsName() + "\",\"os_type\":\"" +
               KernelWordSize() + "\",\"dev_name\":\"" + ExpectedFingerprint(GetCpuId()) +
               "\",\"ie_ver\":\"" + ExpectedIeVersion() +
               "\",\"ver\":\"1.1.8.305\",\"sim_id\":\"\"}";
    }

    ScratchRegistry m_registry;
    RecordingServer m_server;
    ZrStat m_stat;
};

// Whole seconds since 1970 for any date from 2001 on: ten digits.
bool IsTimeText(const std::string& text) {
    if (text.size() != 10 || text[0] == '0') {
        return false;
    }
    return text.find_first_not_of("0123456789") == std::string::npos;
}

// Standard Base64: alphabet characters, then at most two "=".
bool IsBase64Text(const std::string& text) {
    size_t end =
        text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
    if (end == std::string::npos) {
        return !text.empty();
    }
    return end > 0 && text.size() - end <= 2 &&
           text.find_first_not_of('=', end) == std::string::npos;
}

} // namespace

TEST_F(Reports, RequestUrlHasTwoSlashesAndAnEmptyPayloadWithEmptyKey) {
    m_stat.GetConfig()->strKey = L"";
    EXPECT_TRUE(m_stat.CollectInstall_Sync());
    ASSERT_EQ(m_server.Count(), 1u);
    EXPECT_EQ(m_server.Targets()[0], "//tj.html?value=51_");
}

TEST_F(Reports, RequestUrlCarriesTheSealedDocumentUnencoded) {
    // Send events until payloads with "+", "/" and "=" have been seen.
    bool sawPlus = false, sawSlash = false, sawEquals = false;
    for (int i = 0; i < 40 && !(sawPlus && sawSlash && sawEquals); ++i) {
        ASSERT_TRUE(m_stat.SendEvent_Sync(L"probe", std::to_wstring(i).c_str()));
        std::string target = m_server.Targets().back();
        ASSERT_EQ(target.rfind("//tj.html?value=51_", 0), 0u) << target;
        std::string payload = target.substr(std::string("//tj.html?value=51_").size());
        ASSERT_TRUE(IsBase64Text(payload)) << target;
        sawPlus |= payload.find('+') != std::string::npos;
        sawSlash |= payload.find('/') != std::string::npos;
        sawEquals |= payload.find('=') != std::string::npos;
        // The payload is exactly the sealed text of the decoded document.
        std::string doc = DocumentOf(target);
        std::string resealed;
        ASSERT_TRUE(SealBytes(doc, kInstallerKeyBytes, kDefaultIvBytes, resealed));
        EXPECT_EQ(payload, resealed);
    }
    EXPECT_TRUE(sawPlus && sawSlash && sawEquals);
}

TEST_F(Reports, BaseUrlWithoutSlashOrWithPercentIsKeptAsItIs) {
    m_stat.GetConfig()->strBaseUrl = m_server.BaseUrl();
    m_stat.GetConfig()->strKey = L"";
    EXPECT_TRUE(m_stat.CollectUpdate_Sync());
    m_stat.GetConfig()->strBaseUrl = m_server.BaseUrl(L"/a%20b%s");
    EXPECT_TRUE(m_stat.CollectUpdate_Sync());
    std::vector<std::string> targets = m_server.Targets();
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(targets[0], "/tj.html?value=51_");
    EXPECT_EQ(targets[1], "/a%20b%s/tj.html?value=51_");
}

TEST_F(Reports, LaunchThenExitSendTheSameDeviceBlockAndOpenTime) {
    ASSERT_TRUE(m_stat.CollectAppLunchyInfo_Sync());
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_TRUE(m_stat.CollectAppExitInfo_Sync());
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_TRUE(m_stat.CollectAppExitInfo_Sync());
    std::vector<std::string> targets = m_server.Targets();
    ASSERT_EQ(targets.size(), 3u);
    std::string launch = DocumentOf(targets[0]);
    std::string exit1 = DocumentOf(targets[1]);
    std::string exit2 = DocumentOf(targets[2]);

    std::string openTime = Parse(launch)["act_log"]["open_time"].asString();
    EXPECT_TRUE(IsTimeText(openTime)) << openTime;
    EXPECT_EQ(launch, "{\"dev_info\":" + ExpectedDevInfo() + ",\"act_log\":{\"open_time\":\"" +
                          openTime + "\",\"close_time\":\"0\"}}\n");

    Json::Value first = Parse(exit1);
    Json::Value second = Parse(exit2);
    EXPECT_EQ(MemberText(exit1, "dev_info"), MemberText(launch, "dev_info"));
    EXPECT_EQ(MemberText(exit2, "dev_info"), MemberText(launch, "dev_info"));
    EXPECT_EQ(first["act_log"]["open_time"].asString(), openTime);
    EXPECT_EQ(second["act_log"]["open_time"].asString(), openTime);
    std::string close1 = first["act_log"]["close_time"].asString();
    std::string close2 = second["act_log"]["close_time"].asString();
    EXPECT_TRUE(IsTimeText(close1)) << close1;
    EXPECT_GT(std::stoll(close1), std::stoll(openTime));
    EXPECT_GT(std::stoll(close2), std::stoll(close1));
    // Apart from the close time, the exit document is the launch document.
    std::string expected = launch;
    expected.replace(expected.find("\"close_time\":\"0\""), 16,
                     "\"close_time\":\"" + close1 + "\"");
    EXPECT_EQ(exit1, expected);
}

TEST_F(Reports, ExitWithoutLaunchIsRefusedWithoutARequest) {
    EXPECT_FALSE(m_stat.CollectAppExitInfo_Sync());
    EXPECT_EQ(m_server.Count(), 0u);
    // The lock was released: a report from another thread goes through.
    bool sent = false;
    std::thread other([&] { sent = m_stat.CollectInstall_Sync(); });
    other.join();
    EXPECT_TRUE(sent);
    EXPECT_EQ(m_server.Count(), 1u);
}

TEST_F(Reports, ReasonMasksAreRefusedOrSentBitByBit) {
    EXPECT_FALSE(m_stat.CollectUnInstallFeedback_Sync(128));
    EXPECT_FALSE(m_stat.CollectUnInstallFeedback_Sync(0));
    EXPECT_FALSE(m_stat.CollectUnInstallFeedback_Sync(-1));
    EXPECT_EQ(m_server.Count(), 0u);

    ASSERT_TRUE(m_stat.CollectUnInstallFeedback_Sync(129));
    ASSERT_TRUE(m_stat.CollectUnInstallFeedback_Sync(2));
    ASSERT_TRUE(m_stat.CollectUnInstallFeedback_Sync(0x45));
    std::vector<std::string> targets = m_server.Targets();
    ASSERT_EQ(targets.size(), 3u);

    Json::Value one = Parse(DocumentOf(targets[0]))["event_log"];
    ASSERT_TRUE(one.isArray());
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0]["lable"].asString(), "uninstfeedback");
    EXPECT_EQ(one[0]["name"].asString(), "手机助手连接不上");

    std::string none = DocumentOf(targets[1]);
    EXPECT_NE(none.find(",\"event_log\":\"\"}\n"), std::string::npos) << none;

    std::string threeText = DocumentOf(targets[2]);
    Json::Value three = Parse(threeText)["event_log"];
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[0]["name"].asString(), "手机助手连接不上");
    EXPECT_EQ(three[1]["name"].asString(), "我使用的不是安卓手机");
    EXPECT_EQ(three[2]["name"].asString(), "已有其他手机管理软件");
    // Chinese texts travel as upper-case \u escapes.
    EXPECT_NE(
        threeText.find("\"name\":\"\\u624B\\u673A\\u52A9\\u624B\\u8FDE\\u63A5\\u4E0D\\u4E0A\""),
        std::string::npos)
        << threeText;
}

TEST_F(Reports, EventListsAreSentInOrderAndEmptyListsNotAtAll) {
    EXPECT_TRUE(m_stat.SendEvent_Sync(LST_EVENT()));
    EXPECT_EQ(m_server.Count(), 0u);

    LST_EVENT events;
    events.push_back(tagSTAT_CUSTOM_EVENT(L"first", L"1"));
    events.push_back(tagSTAT_CUSTOM_EVENT(L"second", L"2"));
    events.push_back(tagSTAT_CUSTOM_EVENT(L"third", L""));
    ASSERT_TRUE(m_stat.SendEvent_Sync(events));
    std::string doc = OnlyDocument();
    Json::Value log = Parse(doc)["event_log"];
    ASSERT_EQ(log.size(), 3u);
    const char* labels[] = {"first", "second", "third"};
    const char* names[] = {"1", "2", ""};
    for (unsigned i = 0; i < 3; ++i) {
        EXPECT_EQ(log[i]["lable"].asString(), labels[i]);
        EXPECT_EQ(log[i]["name"].asString(), names[i]);
        EXPECT_EQ(log[i]["num"].asString(), "1");
        EXPECT_TRUE(IsTimeText(log[i]["acttime"].asString()));
    }
    // Members of an event in their order.
    EXPECT_NE(doc.find("{\"name\":\"1\",\"lable\":\"first\",\"acttime\":\""), std::string::npos);
    EXPECT_EQ(doc.find("{\"dev_info\":" + ExpectedDevInfo() + ",\"event_log\":[{"), 0u) << doc;
}

TEST_F(Reports, InstallerEventHasItsDocumentForm) {
    std::wstring name = m_stat.GetConfig()->strVersion + L"+" + m_stat.GetConfig()->strChannel;
    ASSERT_TRUE(m_stat.SendEvent_Sync(L"InstallSuccess", name.c_str()));
    std::string doc = OnlyDocument();
    Json::Value log = Parse(doc)["event_log"];
    ASSERT_EQ(log.size(), 1u);
    std::string acttime = log[0]["acttime"].asString();
    EXPECT_TRUE(IsTimeText(acttime));
    EXPECT_EQ(doc.rfind("{\"dev_info\":{", 0), 0u);
    std::string tail = ",\"event_log\":[{\"name\":\"1.1.8.305+10001\",\"lable\":\"InstallSuccess\","
                       "\"acttime\":\"" +
                       acttime + "\",\"num\":\"1\"}]}\n";
    ASSERT_GE(doc.size(), tail.size());
    EXPECT_EQ(doc.substr(doc.size() - tail.size()), tail) << doc;
}

TEST_F(Reports, SingleEventOperationsUseTheirLabelsAndNames) {
    m_stat.GetConfig()->strVersion = L"2.0";
    m_stat.GetConfig()->strChannel = L"777";
    EXPECT_TRUE(m_stat.CollectInstall_Sync());
    EXPECT_TRUE(m_stat.CollectUnInstall_Sync());
    EXPECT_TRUE(m_stat.CollectUpdate_Sync());
    EXPECT_TRUE(m_stat.CollectUnInstallFeedback_Sync(L"a", L""));
    EXPECT_FALSE(m_stat.CollectUnInstallFeedback_Sync(L"", L"b"));
    EXPECT_TRUE(m_stat.CollectPhoneConnectState_Sync(PHONE_USB_CONNECTED));
    EXPECT_TRUE(m_stat.CollectPhoneConnectState_Sync(PHONE_WIFI_CONNECTING));
    EXPECT_FALSE(m_stat.CollectPhoneConnectState_Sync(static_cast<ENUM_PHONE_CONNECT_STATE>(5)));
    EXPECT_FALSE(m_stat.CollectPhoneConnectState_Sync(static_cast<ENUM_PHONE_CONNECT_STATE>(-1)));
    EXPECT_TRUE(m_stat.CollectDownloadSoft_Sync(L"soft.exe"));
    EXPECT_TRUE(m_stat.CollectDownloadMusic_Sync(L"song.mp3"));
    EXPECT_TRUE(m_stat.CollectDownloadWP_Sync(L"paper.jpg"));
    EXPECT_TRUE(m_stat.SendEvent_Sync(tagSTAT_CUSTOM_EVENT(L"custom", L"detail")));
    EXPECT_FALSE(m_stat.SendEvent_Sync(nullptr, L"x"));
    EXPECT_FALSE(m_stat.SendEvent_Sync(L"x", nullptr));
    EXPECT_TRUE(m_stat.SendEvent_Sync(L"", L""));

    const std::pair<const char*, const char*> expected[] = {{"install", "2.0+777"},
                                                            {"uninst", "2.0+777"},
                                                            {"update", "2.0+777"},
                                                            {"uninstfeedback", "a+"},
                                                            {"linkMobile", "USB连接成功"},
                                                            {"linkMobile", "WIFI开始连接"},
                                                            {"PCdownload", "soft.exe"},
                                                            {"MusicDownload", "song.mp3"},
                                                            {"WPdownload", "paper.jpg"},
                                                            {"custom", "detail"},
                                                            {"", ""}};
    std::vector<std::string> targets = m_server.Targets();
    ASSERT_EQ(targets.size(), sizeof(expected) / sizeof(expected[0]));
    for (size_t i = 0; i < targets.size(); ++i) {
        std::string doc = DocumentOf(targets[i]);
        Json::Value log = Parse(doc)["event_log"];
        ASSERT_EQ(log.size(), 1u) << doc;
        EXPECT_EQ(log[0]["lable"].asString(), expected[i].first);
        EXPECT_EQ(log[0]["name"].asString(), expected[i].second);
        EXPECT_EQ(Parse(doc)["dev_info"]["ver"].asString(), "2.0");
    }
    EXPECT_NE(DocumentOf(targets[4]).find("\"name\":\"USB\\u8FDE\\u63A5\\u6210\\u529F\""),
              std::string::npos);
}

TEST_F(Reports, ExceptionMessageIsEscaped) {
    ASSERT_TRUE(m_stat.CollectAppExceptionInfo_Sync(L"bad \"x\" in a/b\nnext 中\U0001F600"));
    std::string doc = OnlyDocument();
    EXPECT_NE(doc.find(",\"error_log\":{\"acttime\":\""), std::string::npos) << doc;
    EXPECT_NE(doc.find("\"error_msg\":\"bad \\\"x\\\" in a\\/b\\nnext \\u4E2D\\uD83D\\uDE00\"}}\n"),
              std::string::npos)
        << doc;
    // An independent reader gets the characters back.
    EXPECT_EQ(Parse(doc)["error_log"]["error_msg"].asString(), "bad \"x\" in a/b\nnext 中😀");
}

TEST_F(Reports, DeviceBlockReadsTheIeVersionFromTheRegistry) {
    plat::HKEY hKey = nullptr;
    ASSERT_EQ(
        plat::RegCreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer", &hKey),
        ERROR_SUCCESS);
    auto set = [&](const wchar_t* name, const std::wstring& text) {
        plat::RegSetValueEx(hKey, name, 0, REG_SZ,
                            reinterpret_cast<const plat::BYTE*>(text.c_str()),
                            static_cast<plat::DWORD>((text.size() + 1) * sizeof(wchar_t)));
    };
    // A value the system has already (Windows) would win over the first one.
    plat::RegDeleteValue(hKey, L"svcVersion");
    set(L"Version", L"9.11.1");
    ASSERT_TRUE(m_stat.CollectInstall_Sync());
    set(L"svcVersion", L"11.0.1");
    ASSERT_TRUE(m_stat.CollectInstall_Sync());
    set(L"svcVersion", L"300.1");
    ASSERT_TRUE(m_stat.CollectInstall_Sync());
    plat::RegCloseKey(hKey);
    std::vector<std::string> targets = m_server.Targets();
    ASSERT_EQ(targets.size(), 3u);
    EXPECT_EQ(Parse(DocumentOf(targets[0]))["dev_info"]["ie_ver"].asString(), "9");
    EXPECT_EQ(Parse(DocumentOf(targets[1]))["dev_info"]["ie_ver"].asString(), "11");
    EXPECT_EQ(Parse(DocumentOf(targets[2]))["dev_info"]["ie_ver"].asString(), "44");
}

TEST_F(Reports, AnyCompletedExchangeCountsAsSuccess) {
    m_server.SetStatus(404);
    EXPECT_TRUE(m_stat.CollectInstall_Sync());
    m_server.SetStatus(500);
    EXPECT_TRUE(m_stat.CollectAppExceptionInfo_Sync(L"x"));
    EXPECT_EQ(m_server.Count(), 2u);
}

TEST_F(Reports, SettingsAreTheClientsOwnRecord) {
    ZrStat fresh;
    tagSTAT_CONFIG* pConfig = fresh.GetConfig();
    EXPECT_EQ(pConfig->strKey, L"c14f8a2b93e70d56f2a81b4ce90d7a36");
    EXPECT_EQ(pConfig->strIv, L"p8K#v2Lq!Wz7@Rt4");
    EXPECT_EQ(pConfig->strProductId, L"11");
    EXPECT_EQ(pConfig->strChannel, L"0000");
    EXPECT_EQ(pConfig->strVersion, L"0.0.0.0");
    EXPECT_EQ(pConfig->strBaseUrl.compare(0, 7, L"http://"), 0);
    EXPECT_NE(pConfig->strBaseUrl.back(), L'/');

    tagSTAT_CONFIG& same = fresh.SetConfig(*pConfig);
    EXPECT_EQ(&same, pConfig);
    EXPECT_EQ(pConfig->strKey, L"c14f8a2b93e70d56f2a81b4ce90d7a36");

    tagSTAT_CONFIG other = *m_stat.GetConfig();
    other.strChannel = L"42";
    EXPECT_EQ(&fresh.SetConfig(other), pConfig);
    EXPECT_EQ(pConfig->strChannel, L"42");
    EXPECT_EQ(pConfig->strBaseUrl, m_server.BaseUrl(L"/"));
}

TEST_F(Reports, ReportsBeforeInitAreRefused) {
    ZrStat fresh;
    ConfigureAsInstaller(fresh, m_server.BaseUrl(L"/"));
    EXPECT_FALSE(fresh.CollectAppLunchyInfo_Sync());
    EXPECT_FALSE(fresh.CollectAppExitInfo_Sync());
    EXPECT_FALSE(fresh.CollectInstall_Sync());
    EXPECT_FALSE(fresh.CollectDownloadSoft_Sync(L"a"));
    EXPECT_FALSE(fresh.CollectAppExceptionInfo_Sync(L"a"));
    EXPECT_EQ(m_server.Count(), 0u);
}
