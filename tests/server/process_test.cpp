// The distd program itself: started as a process, stopped by signals,
// killed in the middle of a load, and its check and stats commands.
#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <thread>

#include "server/text_util.h"
#include "tests/server/distd_test_util.h"
#include "tests/server/raw_http.h"

using namespace distd_test;

namespace {

// distd serve in a child process, its output in files.
class DistdProcess {
public:
    DistdProcess(const CatalogueFolder& folder, const std::string& name,
                 const std::string& catalogue = "")
        : m_out(folder / (name + ".out")), m_err(folder / (name + ".err")) {
        const std::string cat = catalogue.empty() ? folder.Catalogue() : catalogue;
        const std::string store = folder.Store();
        m_pid = ::fork();
        if (m_pid == 0) {
            const int out = ::open(m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(out, 1);
            ::dup2(err, 2);
            ::execl(DISTD_PATH, DISTD_PATH, "serve", "--listen", "127.0.0.1:0", "--catalogue",
                    cat.c_str(), "--store", store.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~DistdProcess() {
        if (m_pid > 0 && !m_reaped) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    // Waits (bounded) for the "listening on" line; the port, or 0 when the
    // process ended or said nothing in time.
    int WaitForPort() {
        const std::regex line("listening on http://127\\.0\\.0\\.1:([0-9]+)");
        for (int i = 0; i < 1500; ++i) {
            std::smatch match;
            const std::string out = Out();
            if (std::regex_search(out, match, line)) {
                m_port = std::stoi(match[1]);
                return m_port;
            }
            if (Exited(std::chrono::milliseconds(0))) {
                return 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 0;
    }
    void Signal(int sig) { ::kill(m_pid, sig); }
    // True when the process has ended within `limit`; its status is kept.
    bool Exited(std::chrono::milliseconds limit) {
        if (m_reaped) {
            return true;
        }
        const auto until = std::chrono::steady_clock::now() + limit;
        do {
            if (::waitpid(m_pid, &m_status, WNOHANG) == m_pid) {
                m_reaped = true;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } while (std::chrono::steady_clock::now() < until);
        return false;
    }
    int ExitCode() const { return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1; }
    std::string Out() const { return testutil::ReadAll(m_out); }
    std::string Err() const { return testutil::ReadAll(m_err); }
    httplib::Client Client() const {
        httplib::Client client("127.0.0.1", m_port);
        client.set_read_timeout(10, 0);
        client.set_url_encode(false);
        return client;
    }

private:
    std::string m_out;
    std::string m_err;
    pid_t m_pid = -1;
    int m_port = 0;
    int m_status = 0;
    bool m_reaped = false;
};

std::string ConfigVersion(httplib::Client& client) {
    auto res = client.Get("/api/soft/pdf/type/install/sp/1.0/ver/3.0/channel/abc");
    if (!res) {
        return "no answer";
    }
    std::smatch match;
    return std::regex_search(res->body, match, std::regex("\"pdfver\":\"([^\"]*)\""))
               ? std::string(match[1])
               : res->body;
}

} // namespace

TEST(DistdProcess, KilledInTheMiddleLosesNoReportItAnswered) {
    CatalogueFolder folder;
    DistdProcess distd(folder, "kill");
    ASSERT_GT(distd.WaitForPort(), 0) << distd.Err();

    std::mutex mutex;
    std::set<std::string> answered;
    std::atomic<bool> killed{false};
    std::atomic<int> count{0};
    std::vector<std::thread> senders;
    for (int c = 0; c < 6; ++c) {
        senders.emplace_back([&, c] {
            httplib::Client client = distd.Client();
            for (int i = 0; i < 100000 && !killed; ++i) {
                const std::string device = "dev-" + std::to_string(c) + "-" + std::to_string(i);
                auto res = client.Get(ReportTarget(LaunchDoc("10001", "1.1", device)).c_str());
                if (res && res->status == 200) {
                    std::lock_guard<std::mutex> lock(mutex);
                    answered.insert(device);
                    ++count;
                }
            }
        });
    }
    for (int i = 0; i < 2000 && count < 600; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    distd.Signal(SIGKILL);
    ASSERT_TRUE(distd.Exited(std::chrono::seconds(10)));
    killed = true;
    for (std::thread& t : senders) {
        t.join();
    }
    ASSERT_GE(answered.size(), 600u);
    const std::set<std::string> stored = StoredDevices(folder.Store());
    std::vector<std::string> lost;
    for (const std::string& device : answered) {
        if (stored.count(device) == 0) {
            lost.push_back(device);
        }
    }
    EXPECT_TRUE(lost.empty()) << lost.size() << " answered reports lost, first " << lost.front();

    // The next distd opens the same store and goes on.
    DistdProcess again(folder, "again");
    ASSERT_GT(again.WaitForPort(), 0) << again.Err();
    httplib::Client client = again.Client();
    auto res = client.Get(ReportTarget(LaunchDoc("10001", "1.1", "after")).c_str());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    again.Signal(SIGTERM);
    ASSERT_TRUE(again.Exited(std::chrono::seconds(15)));
    EXPECT_EQ(StoredDevices(folder.Store()).count("after"), 1u);
}

TEST(DistdProcess, TermStopsCleanlyWithEverythingStored) {
    CatalogueFolder folder;
    DistdProcess distd(folder, "term");
    ASSERT_GT(distd.WaitForPort(), 0) << distd.Err();
    httplib::Client client = distd.Client();
    for (int i = 0; i < 20; ++i) {
        auto res = client.Get(ReportTarget(LaunchDoc("1", "1", "t" + std::to_string(i))).c_str());
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
    }
    distd.Signal(SIGTERM);
    ASSERT_TRUE(distd.Exited(std::chrono::seconds(15)));
    EXPECT_EQ(distd.ExitCode(), 0);
    EXPECT_NE(distd.Out().find("distd: stopped"), std::string::npos) << distd.Out();
    EXPECT_EQ(StoredDevices(folder.Store()).size(), 20u);
}

// Clients that trickle their headers or sit idle do not hold up a stop: the
// process ends within a bounded grace, and what it answered is stored.
TEST(DistdProcess, TermStopsPromptlyWhileClientsTrickle) {
    CatalogueFolder folder;
    DistdProcess distd(folder, "trickle");
    const int port = distd.WaitForPort();
    ASSERT_GT(port, 0) << distd.Err();
    std::vector<RawConnection> slow;
    for (int i = 0; i < 6; ++i) {
        slow.emplace_back(port);
        ASSERT_TRUE(slow.back().Connected());
        slow.back().Send(i % 2 ? "GET /service/clause HTTP/1.1\r\nX-Slow: " : "");
    }
    httplib::Client client = distd.Client();
    auto res = client.Get(ReportTarget(LaunchDoc("1", "1", "before-term")).c_str());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    std::atomic<bool> stop{false};
    std::thread trickler([&] {
        for (int n = 0; n < 40 && !stop; ++n) {
            for (size_t i = 1; i < slow.size(); i += 2) {
                slow[i].Send("a");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    const auto signalled = std::chrono::steady_clock::now();
    distd.Signal(SIGTERM);
    const bool exited = distd.Exited(std::chrono::seconds(15));
    const auto took = std::chrono::steady_clock::now() - signalled;
    stop = true;
    trickler.join();
    ASSERT_TRUE(exited);
    EXPECT_LT(took, std::chrono::seconds(8));
    EXPECT_EQ(distd.ExitCode(), 0);
    EXPECT_EQ(StoredDevices(folder.Store()).count("before-term"), 1u);
}

TEST(DistdProcess, FaultyCatalogueIsRefusedAtStartAndAtReload) {
    CatalogueFolder folder;
    testutil::WriteAll(folder / "bad.json", "{\"package_dir\": \"packages\", \"channels\": 3}");
    DistdProcess refused(folder, "refused", folder / "bad.json");
    ASSERT_TRUE(refused.Exited(std::chrono::seconds(15)));
    EXPECT_EQ(refused.ExitCode(), 1);
    EXPECT_NE(refused.Err().find("catalogue " + (folder / "bad.json") + ": products: must be"),
              std::string::npos)
        << refused.Err();

    DistdProcess distd(folder, "reload");
    ASSERT_GT(distd.WaitForPort(), 0) << distd.Err();
    httplib::Client client = distd.Client();
    EXPECT_EQ(ConfigVersion(client), "2.0.1");

    // A faulty catalogue: refused with its reason, the old one stays.
    folder.WriteCatalogue("{\"package_dir\": \"packages\",");
    distd.Signal(SIGHUP);
    for (int i = 0; i < 500 && distd.Err().find("reload refused") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_NE(distd.Err().find("reload refused, the catalogue in force stays: catalogue " +
                               folder.Catalogue() + ": not valid JSON"),
              std::string::npos)
        << distd.Err();
    EXPECT_EQ(ConfigVersion(client), "2.0.1");

    // A good one replaces it.
    std::string json = CatalogueJson();
    json.replace(json.find("\"2.0.1\""), 7, "\"2.0.7\"");
    folder.WriteCatalogue(json);
    distd.Signal(SIGHUP);
    for (int i = 0; i < 500 && distd.Out().find("reloaded") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(ConfigVersion(client), "2.0.7");
    distd.Signal(SIGTERM);
    ASSERT_TRUE(distd.Exited(std::chrono::seconds(15)));
    EXPECT_EQ(distd.ExitCode(), 0);
}

TEST(DistdCommands, CheckAndStats) {
    CatalogueFolder folder;
    int rc = -1;
    const std::string check =
        testutil::Run(std::string(DISTD_PATH) + " check '" + folder.Catalogue() + "' 2>&1", rc);
    EXPECT_EQ(rc, 0) << check;
    EXPECT_NE(check.find("channel 10001"), std::string::npos) << check;
    EXPECT_NE(check.find("md5 be51e889233b4a42f739a92cf07ae7c8"), std::string::npos) << check;

    folder.WriteCatalogue("{}");
    const std::string bad =
        testutil::Run(std::string(DISTD_PATH) + " check '" + folder.Catalogue() + "' 2>&1", rc);
    EXPECT_EQ(rc, 1);
    EXPECT_NE(bad.find("package_dir"), std::string::npos) << bad;

    const std::string missing = testutil::Run(
        std::string(DISTD_PATH) + " stats --store '" + (folder / "none.db") + "' 2>&1", rc);
    EXPECT_EQ(rc, 1);
    EXPECT_NE(missing.find("none.db"), std::string::npos) << missing;

    folder.WriteCatalogue(CatalogueJson());
    {
        RunningService service(folder);
        httplib::Client client = service.Client();
        for (const std::string& doc :
             {LaunchDoc("10001", "1.1.8.305"), LaunchDoc("10001", "1.1.8.305"),
              EventDoc("10001", "1.1.8.305", "InstallSuccess", "x"),
              ExitDoc("10001", "1.1.8.305")}) {
            ASSERT_TRUE(client.Get(ReportTarget(doc).c_str()));
        }
        ASSERT_TRUE(client.Get("/tj.html?value=51_%%%"));
    }
    const std::string stats =
        testutil::Run(std::string(DISTD_PATH) + " stats --store '" + folder.Store() + "' 2>&1", rc);
    EXPECT_EQ(rc, 0) << stats;
    EXPECT_NE(stats.find("launches 2, installs 1 (50.0% of launches), exits 1 (50.0% of launches)"),
              std::string::npos)
        << stats;
    EXPECT_NE(stats.find("10001    1.1.8.305         2         1      1"), std::string::npos)
        << stats;
    EXPECT_NE(stats.find("not_base64"), std::string::npos) << stats;

    const std::string usage = testutil::Run(std::string(DISTD_PATH) + " frobnicate 2>&1", rc);
    EXPECT_EQ(rc, 2);
    EXPECT_NE(usage.find("usage: distd serve"), std::string::npos);

    for (const char* rate : {"0", "12X", "K", "-5", "1234567890123"}) {
        const std::string refused =
            testutil::Run(std::string(DISTD_PATH) + " serve --catalogue '" + folder.Catalogue() +
                              "' --download-rate " + rate + " 2>&1",
                          rc);
        EXPECT_EQ(rc, 2) << rate;
        EXPECT_NE(refused.find("--download-rate wants"), std::string::npos) << refused;
    }
}

TEST(DistdProcess, ReportsAnsweredWhileAnotherProcessLocksTheStoreSurviveAKill) {
    // 5,000 reports, as many as the bound below allows under AddressSanitizer
    // on a loaded machine; bench/compare_distd.sh runs the same at full speed.
    constexpr int kReports = 5000;
    constexpr int kSenders = 8;
    CatalogueFolder folder;
    DistdProcess distd(folder, "locked");
    ASSERT_GT(distd.WaitForPort(), 0) << distd.Err();
    std::vector<std::string> targets(kReports);
    for (int i = 0; i < kReports; ++i) {
        targets[i] = ReportTarget(LaunchDoc("10001", "1.1", Device(i)));
    }

    // Another process's connection holds the write lock for the whole load.
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(folder.Store().c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

    std::mutex mutex;
    std::set<std::string> answered;
    std::map<int, int> statuses;
    const auto giveUpAt = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    std::vector<std::thread> senders;
    for (int c = 0; c < kSenders; ++c) {
        senders.emplace_back([&, c] {
            httplib::Client client = distd.Client();
            for (int i = c; i < kReports && std::chrono::steady_clock::now() < giveUpAt;
                 i += kSenders) {
                auto res = client.Get(targets[i].c_str());
                std::lock_guard<std::mutex> lock(mutex);
                ++statuses[res ? res->status : 0];
                if (res && (res->status == 200 || res->status == 202)) {
                    answered.insert(Device(i));
                }
            }
        });
    }
    for (std::thread& t : senders) {
        t.join();
    }
    distd.Signal(SIGKILL);
    ASSERT_TRUE(distd.Exited(std::chrono::seconds(10)));
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);

    // A lock held by another process is the store out of reach for now:
    // every report was taken, none refused, none stored yet.
    EXPECT_EQ(statuses[202], kReports) << "200: " << statuses[200] << ", 503: " << statuses[503]
                                       << ", no answer: " << statuses[0] << "\n"
                                       << distd.Err();
    EXPECT_EQ(answered.size(), static_cast<size_t>(kReports));

    // The next distd replays the spool into the store: every answered report
    // once.
    DistdProcess again(folder, "replay");
    ASSERT_GT(again.WaitForPort(), 0) << again.Err();
    std::set<std::string> stored;
    for (int i = 0; i < 600; ++i) {
        stored = StoredDevices(folder.Store());
        if (stored.size() >= answered.size()) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    size_t lost = 0;
    for (const std::string& device : answered) {
        lost += stored.count(device) == 0 ? 1 : 0;
    }
    EXPECT_EQ(lost, 0u) << again.Err();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(folder.Store().c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT COUNT(*), COUNT(DISTINCT dev_name) FROM reports", -1, &stmt,
                       nullptr);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int64(stmt, 0), sqlite3_column_int64(stmt, 1)) << "stored twice";
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    again.Signal(SIGTERM);
    ASSERT_TRUE(again.Exited(std::chrono::seconds(15)));
    EXPECT_EQ(again.ExitCode(), 0);
}

TEST(DistdCommands, NumbersOnTheCommandLineAreWholeAndInRange) {
    CatalogueFolder folder;
    const std::string serve = std::string("timeout 20 ") + DISTD_PATH +
                              " serve --listen 127.0.0.1:0 --catalogue '" + folder.Catalogue() +
                              "' --store '" + folder.Store() + "' ";
    const std::pair<const char*, const char*> refused[] = {
        {"--workers", "16abc"},
        {"--workers", "-4"},
        {"--workers", "+4"},
        {"--workers", " 4"},
        {"--workers", "0"},
        {"--workers", "257"},
        {"--workers", "99999999999999999999"},
        {"--workers", "4294967300"},
        {"--workers", ""},
        {"--backlog", "12k"},
        {"--backlog", "-1"},
        {"--backlog", "18446744073709551617"},
        {"--spool-max", "10"},
        {"--spool-max", "5X"},
        {"--spool-max", "-1G"},
        {"--spool-max", "99999999999999G"},
    };
    for (const auto& option : refused) {
        int rc = -1;
        const std::string out =
            testutil::Run(serve + option.first + " '" + option.second + "' 2>&1 </dev/null", rc);
        EXPECT_EQ(rc, 2) << option.first << " " << option.second << ": " << out;
        EXPECT_NE(out.find(std::string(option.first) + " wants"), std::string::npos)
            << option.first << " " << option.second << ": " << out;
    }
    // An unknown option is named back to the terminal, escaped.
    int rc = -1;
    const std::string out = testutil::Run(
        std::string(DISTD_PATH) + " serve \"$(printf -- '--x\\033[2J\\302\\233')\" 2>&1", rc);
    EXPECT_EQ(rc, 2) << out;
    EXPECT_NE(out.find("unknown or incomplete option --x\\x1B[2J\\u009B"), std::string::npos)
        << out;
    EXPECT_EQ(out.find('\x1b'), std::string::npos) << out;
}

TEST(DistdCommands, StatsPrintsHostileTextEscapedInAlignedColumnsAndTheTopPairs) {
    CatalogueFolder folder;
    std::string error;
    auto store = distd::OpenSqliteStore(folder.Store(), distd::StoreMode::ReadWrite, error);
    ASSERT_TRUE(store) << error;
    // Channels that would move the cursor, open a terminal command or turn
    // the rest of the line around, and ones of wide and narrow characters.
    const std::string hostile[] = {
        "\xC2\x9B"
        "2J", // CSI: clear the screen
        "\xC2\x9D"
        "0;title", // OSC: set the title
        "a\xE2\x80\xAE"
        "cba", // right-to-left override
        "\xE2\x81\xA6"
        "iso", // left-to-right isolate
        "m\xE2\x80\x8F"
        "rk", // right-to-left mark
        "\xD8\x9C"
        "alm", // Arabic letter mark
    };
    std::vector<distd::StoreItem> items;
    for (const std::string& channel : hostile) {
        items.push_back(Report(LaunchDoc(channel, "1.0"), 1700000000));
        items.push_back(Report(LaunchDoc(channel, "1.0"), 1700000000));
    }
    for (int i = 0; i < 3; ++i) {
        items.push_back(Report(LaunchDoc("\xE2\x82\xAC\xE2\x82\xAC", "1.0"), 1700000000)); // €€
        items.push_back(Report(LaunchDoc("渠道", "1.0"), 1700000000));
    }
    // Many more pairs than the table shows, one launch each.
    for (int i = 0; i < 80; ++i) {
        items.push_back(Report(LaunchDoc("bulk", "9." + std::to_string(i)), 1700000000));
    }
    ASSERT_TRUE(WriteAll(*store, items));
    store.reset();

    int rc = -1;
    const std::string stats =
        testutil::Run(std::string(DISTD_PATH) + " stats --store '" + folder.Store() + "' 2>&1", rc);
    ASSERT_EQ(rc, 0) << stats;
    for (const char* raw :
         {"\xC2\x9B", "\xC2\x9D", "\xE2\x80\xAE", "\xE2\x81\xA6", "\xE2\x80\x8F", "\xD8\x9C"}) {
        EXPECT_EQ(stats.find(raw), std::string::npos) << stats;
    }
    for (const char* escaped :
         {"\\u009B2J", "\\u009D0;title", "a\\u202Ecba", "\\u2066iso", "m\\u200Frk", "\\u061Calm"}) {
        EXPECT_NE(stats.find(escaped), std::string::npos) << escaped << "\n" << stats;
    }
    // "€€" takes two columns, "渠道" four: the launches column lines up.
    auto launchesColumn = [&](const std::string& channel) {
        const size_t at = stats.find("\n" + channel + " ");
        EXPECT_NE(at, std::string::npos) << channel << "\n" << stats;
        const std::string line = stats.substr(at + 1, stats.find('\n', at + 1) - at - 1);
        const size_t digit = line.find('3');
        return distd::DisplayWidth(line.substr(0, digit));
    };
    EXPECT_EQ(launchesColumn("\xE2\x82\xAC\xE2\x82\xAC"), launchesColumn("渠道"));
    // The 50 pairs with the most launches, the others summed in one row.
    EXPECT_TRUE(std::regex_search(stats, std::regex("\n\\(38 other pairs\\) +38 "))) << stats;
    EXPECT_NE(stats.find("launches 98,"), std::string::npos) << stats;
}
