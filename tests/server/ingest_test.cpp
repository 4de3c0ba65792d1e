// Bad input with nothing lost: many concurrent senders mixing valid and
// malformed reports; every valid one is stored, every malformed one is
// counted by its reason, and the service keeps answering.
#include "server/ingest.h"

#include <sqlite3.h>

#include <atomic>
#include <map>
#include <set>
#include <thread>

#include "tests/server/distd_test_util.h"

using namespace distd_test;

TEST(Ingest, TenThousandMixedReportsFromEightClients) {
    CatalogueFolder folder;
    RunningService service(folder);
    ASSERT_TRUE(service.Started());

    constexpr int kReports = 10000;
    constexpr int kClients = 8;
    const std::string deep = "{\"a\":" + std::string(2000, '[') + std::string(2000, ']') + "}\n";
    std::vector<std::string> targets(kReports);
    std::map<std::string, int64_t> expected;
    std::set<std::string> validDevices;
    for (int i = 0; i < kReports; ++i) {
        const std::string doc = i % 3 == 0 ? LaunchDoc("10001", "1.1.8.305", Device(i))
                                           : LaunchDoc("20002", "1.0", Device(i));
        switch (i % 8) {
        case 3:
            targets[i] = ReportTarget(doc, "51", "c14f8a2b93e70d56f2a81b4ce90d7a36");
            ++expected["wrong_key"];
            break;
        case 4:
            targets[i] = ReportTarget(doc) + "!";
            ++expected["not_base64"];
            break;
        case 5: {
            const std::string whole = ReportTarget(doc);
            targets[i] = whole.substr(0, whole.size() - 40); // still a whole number of quanta
            ++expected["not_json"];
            break;
        }
        case 6:
            targets[i] = ReportTarget("{\"dev_info\":{\"channel\":\"\xFF\xFE\"}}\n");
            ++expected["invalid_utf8"];
            break;
        case 7:
            targets[i] = ReportTarget(deep);
            ++expected["not_json"];
            break;
        default:
            targets[i] = (i % 2 ? "/" : "") + ReportTarget(doc); // also the doubled slash
            validDevices.insert(Device(i));
        }
    }
    // One query of 1 MiB from each client, among the others.
    const std::string huge = "/tj.html?value=51_" + std::string(1024 * 1024, 'A');
    expected["too_long"] = kClients;

    std::atomic<int> answered{0};
    std::atomic<int> failures{0};
    std::atomic<bool> running{true};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            httplib::Client client = service.Client();
            for (int i = c; i < kReports; i += kClients) {
                if (i == c + kClients * 100) {
                    auto res = client.Get(huge.c_str());
                    if (!res || res->status != 414) {
                        ++failures;
                    }
                }
                auto res = client.Get(targets[i].c_str());
                if (res && res->status == 200 && res->body == "ok\n") {
                    ++answered;
                } else {
                    ++failures;
                }
            }
        });
    }
    // Meanwhile the service keeps answering other requests.
    int probes = 0;
    int probeFailures = 0;
    std::thread probe([&] {
        httplib::Client client = service.Client();
        while (running) {
            auto res = client.Get("/api/soft/pdf/type/install/sp/1.0/ver/1.1/channel/10001");
            ++probes;
            probeFailures += (!res || res->status != 200) ? 1 : 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    for (std::thread& t : clients) {
        t.join();
    }
    running = false;
    probe.join();

    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(answered.load(), kReports);
    EXPECT_GT(probes, 0);
    EXPECT_EQ(probeFailures, 0);

    const distd::Figures figures = ReadFigures(service->Store());
    EXPECT_EQ(figures.reports, static_cast<int64_t>(validDevices.size()));
    EXPECT_EQ(StoredDevices(folder.Store()), validDevices);
    int64_t rejected = 0;
    for (const auto& item : expected) {
        EXPECT_EQ(RejectCount(figures, item.first), item.second) << item.first;
        rejected += item.second;
    }
    EXPECT_EQ(figures.rejected, rejected);
    // A rejected report keeps a printable, truncated copy of what came.
    for (const distd::RecentReject& reject : figures.recentRejects) {
        EXPECT_LE(reject.raw.size(), distd::kRawTextBytes + 3);
        EXPECT_EQ(reject.source, "127.0.0.1");
    }
    auto still = service.Client().Get("/");
    ASSERT_TRUE(still);
    EXPECT_EQ(still->status, 200);
}

// A store that fails or stalls on request, to see the queue's bounds.
class GatedStore : public distd::ReportStore {
public:
    bool Write(const std::vector<const distd::StoreItem*>& items, std::string& error) override {
        // The queue's drop tallies pass unseen.
        const size_t reports =
            std::count_if(items.begin(), items.end(),
                          [](const distd::StoreItem* item) { return !item->dropTally; });
        if (reports == 0) {
            return true;
        }
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_entered;
        m_gate.wait(lock, [this] { return m_open; });
        if (m_fail) {
            error = "disk full";
            return false;
        }
        m_written += reports;
        ++m_batches;
        return true;
    }
    bool ReadFigures(int64_t, int, int, distd::Figures&, std::string&) override { return true; }
    std::string Describe() const override { return "gated store"; }

    void Open(bool open) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = open;
        m_gate.notify_all();
    }
    void Fail(bool fail) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_fail = fail;
    }
    size_t Written() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_written;
    }
    size_t Entered() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_entered;
    }
    size_t Batches() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_batches;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_gate;
    bool m_open = true;
    bool m_fail = false;
    size_t m_written = 0;
    size_t m_batches = 0;
    size_t m_entered = 0;
};

// Waits (bounded) until the queue's spool is replayed.
bool WaitForSpool(distd::IngestQueue& queue) {
    for (int i = 0; i < 2000; ++i) {
        if (queue.GetCounters().spooled == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

TEST(IngestQueue, ASlowStoreOrAFullQueueSendsReportsToTheSpool) {
    GatedStore store;
    store.Open(false);
    TestSpool spool;
    std::vector<std::thread> senders;
    std::atomic<int> stored{0};
    {
        distd::IngestQueue queue(store, *spool, 4);
        auto send = [&] {
            senders.emplace_back([&] {
                if (queue.Submit(distd::StoreItem(), std::chrono::seconds(30)) ==
                    distd::IngestQueue::Result::Stored) {
                    ++stored;
                }
            });
        };
        // One item is taken by the writer (held up in the store), four fill
        // the queue.
        send();
        for (int i = 0; i < 2000 && store.Entered() < 1; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        for (int i = 0; i < 4; ++i) {
            send();
        }
        for (int i = 0; i < 2000 && queue.Queued() < 4; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_EQ(queue.Queued(), 4u);
        // A full queue: answered once in the spool, at once.
        EXPECT_EQ(queue.Submit(distd::StoreItem(), std::chrono::seconds(30)),
                  distd::IngestQueue::Result::Deferred);
        EXPECT_EQ(queue.GetCounters().spooled, 1u);
        EXPECT_EQ(queue.GetCounters().busy, 0u);
        store.Open(true);
        for (std::thread& t : senders) {
            t.join();
        }
        EXPECT_TRUE(WaitForSpool(queue));

        // A store that holds a commit longer than the sender's wait: the
        // report is answered from the spool and still stored.
        store.Open(false);
        const size_t before = store.Written();
        EXPECT_EQ(queue.Submit(distd::StoreItem(), std::chrono::milliseconds(50)),
                  distd::IngestQueue::Result::Deferred);
        store.Open(true);
        EXPECT_TRUE(WaitForSpool(queue));
        EXPECT_GE(store.Written(), before + 1);
    }
    EXPECT_EQ(stored.load(), 5);
    EXPECT_GE(store.Written(), 6u);
    EXPECT_EQ(store.Batches() >= 2u, true);
}

TEST(IngestQueue, AFailedWriteIsReportedToItsSendersAndStopDrains) {
    GatedStore store;
    TestSpool spool;
    distd::IngestQueue queue(store, *spool, 16);
    store.Fail(true);
    EXPECT_EQ(queue.Submit(distd::StoreItem(), std::chrono::seconds(5)),
              distd::IngestQueue::Result::StoreFailed);
    EXPECT_EQ(queue.GetCounters().failed, 1u);
    store.Fail(false);
    store.Open(false);
    std::thread late([&] {
        EXPECT_EQ(queue.Submit(distd::StoreItem(), std::chrono::seconds(5)),
                  distd::IngestQueue::Result::Stored);
    });
    // Stop while the writer is inside the store with the late item.
    for (int i = 0; i < 2000 && store.Entered() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::thread stopper([&] { queue.Stop(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    store.Open(true); // the writer finishes what it holds before it ends
    stopper.join();
    late.join();
    EXPECT_EQ(store.Written(), 1u);
    EXPECT_EQ(queue.Submit(distd::StoreItem(), std::chrono::seconds(1)),
              distd::IngestQueue::Result::Stopped);
}
