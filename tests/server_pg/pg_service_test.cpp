// distd instances on one PostgreSQL database: two instances taking 10,000
// reports each at the same time, and the database gone for five seconds in
// the middle of a load.
#include <atomic>
#include <chrono>
#include <thread>

#include "tests/server/distd_test_util.h"
#include "tests/server_pg/pg_server.h"

using namespace distd_test;

namespace {

std::string NewDatabase() {
    std::string error;
    const std::string uri = pgtest::TestServer().NewDatabase(error);
    EXPECT_FALSE(uri.empty()) << error;
    return uri;
}

std::string DatabaseName(const std::string& uri) {
    return uri.substr(uri.rfind('/') + 1);
}

// The dashboard's totals (its cards), or "" when it cannot be had.
std::string DashboardTotals(RunningService& service) {
    auto page = service.Client().Get("/");
    if (!page || page->status != 200) {
        return std::string();
    }
    const size_t start = page->body.find("<div class=\"cards\">");
    const size_t end = page->body.find("<section>", start);
    return start == std::string::npos ? std::string() : page->body.substr(start, end - start);
}

} // namespace

TEST(PgInstances, TwoInstancesTakeTenThousandReportsEachIntoOneDatabase) {
    const std::string uri = NewDatabase();
    CatalogueFolder folder;
    // One folder, a spool each (one spool serves one instance).
    RunningService first(folder, [&](distd::ServiceOptions& options) {
        options.store = uri;
        options.spool = folder / "first.spool";
    });
    RunningService second(folder, [&](distd::ServiceOptions& options) {
        options.store = uri;
        options.spool = folder / "second.spool";
    });
    ASSERT_TRUE(first.Started() && second.Started());
    ASSERT_NE(first->Port(), second->Port());

    constexpr int kPerInstance = 10000;
    constexpr int kClientsPerInstance = 4;
    std::vector<std::string> targets(2 * kPerInstance);
    for (int i = 0; i < 2 * kPerInstance; ++i) {
        targets[i] = i % 5 == 0 ? ReportTarget(LaunchDoc("10001", "1.1", Device(i)))
                                : ReportTarget(LaunchDoc("20002", "1.0", Device(i)));
    }
    std::atomic<int> stored{0};
    std::atomic<int> failures{0};
    std::vector<std::thread> clients;
    for (int instance = 0; instance < 2; ++instance) {
        for (int c = 0; c < kClientsPerInstance; ++c) {
            clients.emplace_back([&, instance, c] {
                httplib::Client client = (instance ? second : first).Client();
                client.set_keep_alive(true);
                const int base = instance * kPerInstance;
                for (int i = c; i < kPerInstance; i += kClientsPerInstance) {
                    auto res = client.Get(targets[base + i].c_str());
                    (res && res->status == 200 && res->body == "ok\n" ? stored : failures)++;
                }
            });
        }
    }
    for (std::thread& client : clients) {
        client.join();
    }
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(stored.load(), 2 * kPerInstance);

    // Every report once: one row per device, none missing, none twice.
    pgtest::PgServer& server = pgtest::TestServer();
    const std::string db = DatabaseName(uri);
    EXPECT_EQ(server.Scalar(db, "SELECT COUNT(*) FROM reports"), 2 * kPerInstance);
    EXPECT_EQ(server.Scalar(db, "SELECT COUNT(DISTINCT dev_name) FROM reports"), 2 * kPerInstance);
    EXPECT_EQ(server.Scalar(db, "SELECT COUNT(DISTINCT receipt) FROM reports"), 2 * kPerInstance);
    EXPECT_EQ(server.Scalar(db, "SELECT COUNT(*) FROM reports WHERE channel = '10001'"),
              2 * kPerInstance / 5);
    // Several reports went in per transaction on each instance.
    for (RunningService* service : {&first, &second}) {
        const auto counters = (*service)->Ingest().GetCounters();
        EXPECT_EQ(counters.stored, static_cast<uint64_t>(kPerInstance));
        EXPECT_LT(counters.transactions, counters.stored);
    }

    // Both dashboards show the same totals, and so does `distd stats`.
    const std::string totals = DashboardTotals(first);
    EXPECT_NE(totals.find(">20000</b><span>reports stored"), std::string::npos) << totals;
    EXPECT_NE(totals.find(">20000</b><span>launches"), std::string::npos) << totals;
    EXPECT_EQ(DashboardTotals(second), totals);
    int rc = -1;
    const std::string stats =
        testutil::Run(std::string(DISTD_PATH) + " stats --store '" + uri + "' 2>&1", rc);
    EXPECT_EQ(rc, 0) << stats;
    EXPECT_NE(stats.find("reports stored 20000,"), std::string::npos) << stats;
}

TEST(PgOutage, TheDatabaseGoneForFiveSecondsInTheMiddleOfALoad) {
    const std::string uri = NewDatabase();
    CatalogueFolder folder;
    RunningService service(folder, [&](distd::ServiceOptions& options) {
        options.store = uri;
        options.ingestCapacity = 1500; // small, so that the outage would overflow it
    });
    ASSERT_TRUE(service.Started());
    std::vector<std::string> targets;
    for (int i = 0; i < 64; ++i) {
        targets.push_back(ReportTarget(LaunchDoc("10001", "1.1", Device(i))));
    }

    std::atomic<bool> sending{true};
    std::atomic<int> sent{0}, stored{0}, held{0}, turnedAway{0}, unanswered{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < 4; ++c) {
        clients.emplace_back([&, c] {
            httplib::Client client = service.Client();
            client.set_keep_alive(true);
            for (size_t i = c; sending; i += 4) {
                auto res = client.Get(targets[i % targets.size()].c_str());
                ++sent;
                if (!res) {
                    ++unanswered;
                } else if (res->status == 200) {
                    ++stored;
                } else if (res->status == 202) {
                    ++held;
                } else if (res->status == 503) {
                    ++turnedAway;
                } else {
                    ++unanswered;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    // Meanwhile the configuration API and the dashboard answer, without
    // waiting for the database.
    std::atomic<int> probes{0}, probeFailures{0}, slowProbes{0}, dashboardsDuringOutage{0};
    std::atomic<bool> outage{false};
    std::thread probe([&] {
        httplib::Client client = service.Client();
        while (sending) {
            const auto start = std::chrono::steady_clock::now();
            auto config = client.Get("/api/soft/pdf/type/install/sp/1.0/ver/1.1/channel/10001");
            auto page = client.Get("/");
            const auto took = std::chrono::steady_clock::now() - start;
            ++probes;
            if (!config || config->status != 200 || !page ||
                (page->status != 200 && page->status != 503)) {
                ++probeFailures;
            }
            if (page && page->status == 503 && outage &&
                page->body.find("backlog") != std::string::npos) {
                ++dashboardsDuringOutage;
            }
            // A service that waited on the database would hold a probe for
            // most of the five-second outage; a loaded machine alone never
            // comes near that.
            slowProbes += took > std::chrono::seconds(4) ? 1 : 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });

    pgtest::PgServer& server = pgtest::TestServer();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    outage = true;
    ASSERT_TRUE(server.Stop());
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const auto during = service->Ingest().GetCounters();
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    outage = false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    sending = false;
    for (std::thread& client : clients) {
        client.join();
    }
    probe.join();

    EXPECT_TRUE(during.unreachable);
    EXPECT_GT(during.spooled, 0u);
    // The spool drains into the database and so do the drop tallies.
    distd::IngestQueue::Counters after;
    for (int i = 0; i < 600; ++i) {
        after = service->Ingest().GetCounters();
        if (after.backlog == 0 && after.spooled == 0 && !after.unreachable &&
            after.unrecordedDrops == 0) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(after.backlog, 0u);
    EXPECT_EQ(after.spooled, 0u);
    EXPECT_EQ(after.unrecordedDrops, 0u);

    const std::string db = DatabaseName(uri);
    const long long inDatabase = server.Scalar(db, "SELECT COUNT(*) FROM reports");
    EXPECT_EQ(unanswered.load(), 0);
    EXPECT_GT(held.load(), 0);
    // The spool takes what the queue in memory could not: nothing turned
    // away, nothing dropped, every report answered as taken in the database
    // once.
    EXPECT_EQ(turnedAway.load(), 0);
    EXPECT_GT(after.retries, 0u);
    EXPECT_EQ(after.Dropped(), 0u);
    EXPECT_EQ(inDatabase, sent.load());
    EXPECT_EQ(inDatabase, stored.load() + held.load());
    EXPECT_EQ(after.deferred, static_cast<uint64_t>(held.load()));
    EXPECT_EQ(server.Scalar(db, "SELECT COALESCE(SUM(count), 0) FROM drops"), 0);
    EXPECT_EQ(ReadFigures(service->Store()).dropped, 0);

    EXPECT_GT(probes.load(), 20);
    EXPECT_EQ(probeFailures.load(), 0);
    EXPECT_EQ(slowProbes.load(), 0);
    EXPECT_GT(dashboardsDuringOutage.load(), 0);
    auto page = service.Client().Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
}
