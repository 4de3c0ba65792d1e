// Transport failures, asynchronous reports, the wait for reports in flight,
// and many reports from many threads at once.
#include "net/curl_library.h"
#include "recording_server.h"
#include "stat/HttpClient.h"
#include "stat_test_env.h"
#include "stat_test_util.h"

#include <atomic>
#include <future>
#include <thread>

using namespace ns_zr_stat;
using namespace stat_test;
using Clock = std::chrono::steady_clock;

namespace {

class Transport : public ::testing::Test {
protected:
    void SetUp() override {
        m_registry.Use();
        m_stat.Init();
    }
    ScratchRegistry m_registry;
    ZrStat m_stat;
};

// A port on 127.0.0.1 on which nothing listens (a server that has gone).
int ClosedPort() {
    int port = 0;
    {
        RecordingServer gone;
        port = gone.Port();
    }
    return port;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

TEST_F(Transport, UnreachableServerGivesFalseAtOnce) {
    ConfigureAsInstaller(m_stat, L"http://127.0.0.1:" + std::to_wstring(ClosedPort()) + L"/");
    Clock::time_point start = Clock::now();
    EXPECT_FALSE(m_stat.CollectInstall_Sync());
    EXPECT_FALSE(m_stat.CollectAppLunchyInfo_Sync());
    EXPECT_LT(SecondsSince(start), 6.5);
}

TEST_F(Transport, WithoutLibcurlAReportFailsAtOnceAndSendsNothing) {
    RecordingServer server;
    ConfigureAsInstaller(m_stat, server.BaseUrl(L"/"));
    SetCurlLibraryFile("libtarvex-no-such-curl.so.4");
    CHttpClient client;
    std::string body;
    const CURLcode direct =
        client.Get("http://127.0.0.1:" + std::to_string(server.Port()) + "/p", "", body);
    const bool sent = m_stat.CollectInstall_Sync();
    SetCurlLibraryFile("");
    EXPECT_EQ(direct, CURLE_FAILED_INIT);
    EXPECT_TRUE(body.empty());
    EXPECT_FALSE(sent);
    EXPECT_EQ(server.Count(), 0u);
    // With libcurl back, the next report goes out.
    EXPECT_TRUE(m_stat.CollectInstall_Sync());
    EXPECT_EQ(server.Count(), 1u);
}

TEST_F(Transport, MalformedBaseUrlGivesFalse) {
    ConfigureAsInstaller(m_stat, L"nonsense://");
    EXPECT_FALSE(m_stat.CollectInstall_Sync());
}

TEST_F(Transport, SilentServerGivesFalseAfterAboutSixSeconds) {
    RecordingServer server;
    server.Hold();
    ConfigureAsInstaller(m_stat, server.BaseUrl(L"/"));
    Clock::time_point start = Clock::now();
    EXPECT_FALSE(m_stat.CollectInstall_Sync());
    double elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 5.5);
    EXPECT_LT(elapsed, 8.0);
    EXPECT_EQ(server.Count(), 1u);
    server.Release();
}

TEST(HttpClient, CollectsTheBodyAndRefusesANullTarget) {
    RecordingServer server;
    server.SetStatus(500);
    CHttpClient client;
    std::string body = "x";
    std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/path";
    EXPECT_EQ(client.Get(url, "a=1", body), CURLE_OK);
    EXPECT_EQ(body, "xok");
    EXPECT_EQ(server.Targets().back(), "/path?a=1");
    char data[] = "abc";
    EXPECT_EQ(CollectResponse(data, 1, 3, nullptr), static_cast<size_t>(-1));
    EXPECT_EQ(CollectResponse(nullptr, 1, 3, &body), static_cast<size_t>(-1));
    EXPECT_EQ(CollectResponse(data, 1, 3, &body), 3u);
    EXPECT_EQ(body, "xokabc");
}

TEST(HttpClient, TheBodylessFormKeepsNothingOfTheAnswer) {
    char data[] = "abc";
    EXPECT_EQ(DiscardResponse(data, 1, 3, nullptr), 3u);
    EXPECT_EQ(DiscardResponse(data, 4, 3, nullptr), 12u);
    RecordingServer server;
    CHttpClient client;
    EXPECT_EQ(client.Get("http://127.0.0.1:" + std::to_string(server.Port()) + "/p", "q=2"),
              CURLE_OK);
    EXPECT_EQ(server.Targets().back(), "/p?q=2");
}

TEST_F(Transport, AHugeAnswerIsThrownAwayAsItArrives) {
    // A statistics server that answers every report with 160 MiB.
    static constexpr size_t kChunk = 1 << 20;
    static constexpr size_t kChunks = 160;
    httplib::Server server;
    server.Get(".*", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(kChunk * kChunks, "application/octet-stream",
                                 [](size_t offset, size_t length, httplib::DataSink& sink) {
                                     static const std::string chunk(kChunk, 'z');
                                     (void)offset;
                                     return sink.write(chunk.data(),
                                                       std::min(length, chunk.size()));
                                 });
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port, 0);
    std::thread listener([&] { server.listen_after_bind(); });
    for (int i = 0; i < 500 && !server.is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ConfigureAsInstaller(m_stat, L"http://127.0.0.1:" + std::to_wstring(port) + L"/");

    ASSERT_TRUE(testutil::ResetPeakResident());
    const long before = testutil::PeakResidentKiB();
    const bool sent = m_stat.CollectInstall_Sync();
    const long grown = testutil::PeakResidentKiB() - before;
    server.stop();
    listener.join();
    EXPECT_TRUE(sent);
    // Keeping the answer would need at least its 160 MiB.
    EXPECT_LT(grown, 48 * 1024) << "peak resident memory grew by " << grown << " KiB";
}

TEST(HttpClient, VerboseModePrintsTheTraffic) {
    RecordingServer server;
    CHttpClient client;
    client.bVerbose = true;
    std::string body;
    testing::internal::CaptureStdout();
    CURLcode result =
        client.Get("http://127.0.0.1:" + std::to_string(server.Port()) + "/v", "", body);
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(result, CURLE_OK);
    EXPECT_NE(printed.find("[HEADER_OUT]GET /v HTTP/1.1"), std::string::npos) << printed;
    EXPECT_NE(printed.find("[HEADER_IN]HTTP/1.1 200"), std::string::npos);
    EXPECT_NE(printed.find("[DATA_IN]ok\n"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Asynchronous reports and the lock

TEST_F(Transport, TwoAsynchronousReportsArriveOneAfterTheOtherEachComplete) {
    RecordingServer server;
    server.SetDelay(std::chrono::milliseconds(300));
    ConfigureAsInstaller(m_stat, server.BaseUrl(L"/"));
    EXPECT_TRUE(m_stat.CollectAppLunchyInfo());
    EXPECT_TRUE(m_stat.CollectUnInstallFeedback(0x45));
    ASSERT_TRUE(m_stat.WaitForReports(10000));
    std::vector<std::string> targets = server.Targets();
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(server.MaxConcurrent(), 1);
    int launches = 0, feedbacks = 0;
    for (const std::string& target : targets) {
        Json::Value doc = Parse(DocumentOf(target));
        ASSERT_EQ(doc["dev_info"].size(), 7u);
        if (doc.isMember("act_log")) {
            ++launches;
            EXPECT_EQ(doc["act_log"]["close_time"].asString(), "0");
            EXPECT_FALSE(doc.isMember("event_log"));
        } else {
            ++feedbacks;
            EXPECT_EQ(doc["event_log"].size(), 3u);
        }
    }
    EXPECT_EQ(launches, 1);
    EXPECT_EQ(feedbacks, 1);
}

TEST_F(Transport, AsynchronousFormsWorkOnCopiesOfTheirArguments) {
    RecordingServer server;
    ConfigureAsInstaller(m_stat, server.BaseUrl(L"/"));
    {
        std::wstring label = L"lbl";
        std::wstring name = L"nm";
        LST_EVENT events{tagSTAT_CUSTOM_EVENT(L"l1", L"n1"), tagSTAT_CUSTOM_EVENT(L"l2", L"n2")};
        EXPECT_TRUE(m_stat.SendEvent(label, name));
        EXPECT_TRUE(m_stat.SendEvent(events));
        EXPECT_TRUE(m_stat.SendEvent(tagSTAT_CUSTOM_EVENT(L"one", L"1")));
        EXPECT_TRUE(m_stat.CollectAppExceptionInfo(L"boom"));
        EXPECT_TRUE(m_stat.CollectDownloadWP(L"w.jpg"));
        EXPECT_TRUE(m_stat.CollectPhoneConnectState(PHONE_WIFI_CONNECTED));
        EXPECT_TRUE(m_stat.CollectUnInstallFeedback(L"a", L"b"));
        // Refused in the thread: started, but sends nothing.
        EXPECT_TRUE(m_stat.CollectUnInstallFeedback(128));
        label.assign(100, L'x');
        name.clear();
        events.clear();
    }
    ASSERT_TRUE(m_stat.WaitForReports(10000));
    std::vector<std::string> targets = server.Targets();
    ASSERT_EQ(targets.size(), 7u);
    std::multiset<std::string> seen;
    for (const std::string& target : targets) {
        Json::Value doc = Parse(DocumentOf(target));
        if (doc.isMember("error_log")) {
            seen.insert("error:" + doc["error_log"]["error_msg"].asString());
            continue;
        }
        for (const Json::Value& event : doc["event_log"]) {
            seen.insert(event["lable"].asString() + ":" + event["name"].asString());
        }
    }
    std::multiset<std::string> expected{"lbl:nm",
                                        "l1:n1",
                                        "l2:n2",
                                        "one:1",
                                        "error:boom",
                                        "WPdownload:w.jpg",
                                        "linkMobile:WIFI连接成功",
                                        "uninstfeedback:a+b"};
    EXPECT_EQ(seen, expected);
}

TEST_F(Transport, ExitBeforeLaunchDoesNotBlockAnotherThread) {
    RecordingServer server;
    ConfigureAsInstaller(m_stat, server.BaseUrl(L"/"));
    EXPECT_TRUE(m_stat.CollectAppExitInfo());
    ASSERT_TRUE(m_stat.WaitForReports(5000));
    std::future<bool> other =
        std::async(std::launch::async, [&] { return m_stat.CollectInstall_Sync(); });
    ASSERT_EQ(other.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_TRUE(other.get());
    EXPECT_FALSE(m_stat.CollectAppExitInfo_Sync());
    EXPECT_EQ(server.Count(), 1u);
}

TEST_F(Transport, ReportWaitsForTheLockHeldByASlowRequest) {
    RecordingServer server;
    server.Hold();
    ConfigureAsInstaller(m_stat, server.BaseUrl(L"/"));
    EXPECT_TRUE(m_stat.CollectInstall());
    ASSERT_TRUE(server.WaitForRequests(1));
    std::future<bool> second =
        std::async(std::launch::async, [&] { return m_stat.CollectUpdate_Sync(); });
    EXPECT_EQ(second.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    EXPECT_EQ(server.Count(), 1u);
    server.Release();
    ASSERT_EQ(second.wait_for(std::chrono::seconds(8)), std::future_status::ready);
    EXPECT_TRUE(second.get());
    EXPECT_EQ(server.Count(), 2u);
    EXPECT_EQ(server.MaxConcurrent(), 1);
    EXPECT_TRUE(m_stat.WaitForReports(8000));
}

// ---------------------------------------------------------------------------
// Waiting for reports in flight (the exit report at process end)

TEST_F(Transport, WaitCoversAnExitReportStartedJustBefore) {
    RecordingServer server;
    server.SetDelay(std::chrono::milliseconds(200));
    ConfigureAsInstaller(m_stat, server.BaseUrl(L"/"));
    ASSERT_TRUE(m_stat.CollectAppLunchyInfo_Sync());
    EXPECT_TRUE(m_stat.CollectAppExitInfo());
    // Counted from the moment the asynchronous form returns.
    EXPECT_GE(m_stat.ReportsInFlight(), 1);
    EXPECT_TRUE(m_stat.WaitForReports(6000));
    EXPECT_EQ(m_stat.ReportsInFlight(), 0);
    ASSERT_EQ(server.Count(), 2u);
    EXPECT_NE(Parse(DocumentOf(server.Targets()[1]))["act_log"]["close_time"].asString(), "0");
}

TEST_F(Transport, WaitGivesUpAfterItsTimeOut) {
    RecordingServer server;
    server.Hold();
    ConfigureAsInstaller(m_stat, server.BaseUrl(L"/"));
    EXPECT_TRUE(m_stat.WaitForReports(0)); // nothing in flight
    EXPECT_TRUE(m_stat.CollectInstall());
    Clock::time_point start = Clock::now();
    EXPECT_FALSE(m_stat.WaitForReports(250));
    double waited = SecondsSince(start);
    EXPECT_GE(waited, 0.2);
    EXPECT_LT(waited, 3.0);
    server.Release();
    EXPECT_TRUE(m_stat.WaitForReports(8000));
}

TEST_F(Transport, WaitCoversSynchronousReportsOnOtherThreads) {
    RecordingServer server;
    server.Hold();
    ConfigureAsInstaller(m_stat, server.BaseUrl(L"/"));
    std::thread worker([&] { m_stat.CollectInstall_Sync(); });
    ASSERT_TRUE(server.WaitForRequests(1));
    EXPECT_FALSE(m_stat.WaitForReports(100));
    server.Release();
    EXPECT_TRUE(m_stat.WaitForReports(8000));
    worker.join();
}

// ---------------------------------------------------------------------------
// Holding reports while a program shows its first window

TEST_F(Transport, AHeldReportWaitsForItsRelease) {
    RecordingServer server;
    ConfigureAsInstaller(m_stat, server.BaseUrl(L"/"));
    m_stat.HoldReports();
    ASSERT_TRUE(m_stat.CollectAppLunchyInfo());
    EXPECT_EQ(m_stat.ReportsInFlight(), 1);
    // Synchronous reports are never held.
    ASSERT_TRUE(m_stat.CollectInstall_Sync());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(server.Count(), 1u) << "the held report has sent nothing";
    m_stat.ReleaseReports();
    ASSERT_TRUE(server.WaitForRequests(2));
    EXPECT_TRUE(m_stat.WaitForReports(6000));
    ASSERT_EQ(server.Count(), 2u);
    EXPECT_EQ(Parse(DocumentOf(server.Targets()[1]))["act_log"]["close_time"].asString(), "0")
        << "the second request is the launch report";
}

TEST_F(Transport, AHoldNobodyReleasesEndsByItselfAndCanBeginAgain) {
    RecordingServer server;
    ConfigureAsInstaller(m_stat, server.BaseUrl(L"/"));
    m_stat.HoldReports();
    Clock::time_point start = Clock::now();
    ASSERT_TRUE(m_stat.CollectInstall());
    ASSERT_TRUE(server.WaitForRequests(1));
    double waited = SecondsSince(start);
    EXPECT_GE(waited, ZrStat::kMaxHoldMs / 1000.0 - 0.05);
    EXPECT_LT(waited, ZrStat::kMaxHoldMs / 1000.0 + 3.0);
    // A hold that ran out does not stand in the way of a new one.
    m_stat.HoldReports();
    ASSERT_TRUE(m_stat.CollectInstall());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(server.Count(), 1u);
    m_stat.ReleaseReports();
    EXPECT_TRUE(server.WaitForRequests(2));
    EXPECT_TRUE(m_stat.WaitForReports(6000));
}

TEST_F(Transport, WaitingForReportsReleasesTheHold) {
    RecordingServer server;
    ConfigureAsInstaller(m_stat, server.BaseUrl(L"/"));
    m_stat.HoldReports();
    ASSERT_TRUE(m_stat.CollectInstall());
    Clock::time_point start = Clock::now();
    EXPECT_TRUE(m_stat.WaitForReports(6000));
    EXPECT_LT(SecondsSince(start), ZrStat::kMaxHoldMs / 1000.0 - 0.5)
        << "sent at once, not at the end of the hold";
    EXPECT_EQ(server.Count(), 1u);
}

TEST(Lifecycle, ClearWaitsForReportsStillRunning) {
    ScratchRegistry registry;
    registry.Use();
    RecordingServer server;
    server.SetDelay(std::chrono::milliseconds(300));
    IZrStat* pStat = CStatFactory::MakeZrStat();
    ASSERT_NE(pStat, nullptr);
    pStat->Init();
    ConfigureAsInstaller(*pStat, server.BaseUrl(L"/"));
    EXPECT_TRUE(pStat->CollectAppLunchyInfo());
    EXPECT_TRUE(pStat->SendEvent(L"late", L"1"));
    Clock::time_point start = Clock::now();
    CStatFactory::Clear(pStat);
    EXPECT_GE(SecondsSince(start), 0.5);
    ASSERT_EQ(server.Count(), 2u);
    for (const std::string& target : server.Targets()) {
        EXPECT_EQ(Parse(DocumentOf(target))["dev_info"].size(), 7u);
    }
}

TEST_F(Transport, ManyThreadsManyReportsNoneLostOrMixed) {
    RecordingServer server;
    ConfigureAsInstaller(m_stat, server.BaseUrl(L"/"));
    constexpr int kThreads = 4;
    constexpr int kRounds = 8;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int r = 0; r < kRounds; ++r) {
                std::wstring tag = std::to_wstring(t) + L"-" + std::to_wstring(r);
                bool ok = true;
                switch (r % 4) {
                case 0:
                    ok = m_stat.CollectAppLunchyInfo_Sync() && m_stat.CollectAppExitInfo_Sync();
                    break;
                case 1:
                    ok = m_stat.SendEvent_Sync(L"sync", tag.c_str());
                    break;
                case 2:
                    ok = m_stat.SendEvent(L"async", tag);
                    break;
                default:
                    ok = m_stat.CollectAppExceptionInfo(tag) &&
                         m_stat.CollectUnInstallFeedback_Sync(0x7F);
                    break;
                }
                if (!ok) {
                    ++failures;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    ASSERT_TRUE(m_stat.WaitForReports(30000));
    EXPECT_EQ(failures.load(), 0);
    // Per thread: 2 rounds x 2 (launch, exit), 2 sync, 2 async, 2 x 2.
    std::vector<std::string> targets = server.Targets();
    ASSERT_EQ(targets.size(), static_cast<size_t>(kThreads * 12));
    EXPECT_EQ(server.MaxConcurrent(), 1);
    int events = 0;
    for (const std::string& target : targets) {
        std::string text = DocumentOf(target);
        Json::Value doc = Parse(text);
        ASSERT_EQ(doc.size(), 2u) << text;
        ASSERT_EQ(doc["dev_info"].size(), 7u) << text;
        EXPECT_EQ(text.rfind("{\"dev_info\":", 0), 0u);
        if (doc.isMember("event_log")) {
            events += static_cast<int>(doc["event_log"].size());
        }
    }
    // Each thread: 2 sync + 2 async single events, 2 x 6 reasons.
    EXPECT_EQ(events, kThreads * (2 + 2 + 12));
}
