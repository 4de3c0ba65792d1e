// The ingest queue when the store refuses an item or is out of reach: one
// refused item does not take its batch down, an unreachable store sends
// reports to the spool and they reach the store once it is back, and every
// item is in the end either stored or counted as dropped.
#include "server/ingest.h"

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "tests/server/distd_test_util.h"

namespace {

// A store that refuses any batch holding an item from "bad", and is out of
// reach while told so.
class PickyStore : public distd::ReportStore {
public:
    bool Write(const std::vector<const distd::StoreItem*>& items, std::string& error) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_unreachable = m_away;
        if (m_away) {
            error = "connection refused";
            return false;
        }
        for (const distd::StoreItem* item : items) {
            if (item->source == "bad") {
                error = "value refused";
                return false;
            }
        }
        for (const distd::StoreItem* item : items) {
            if (item->dropTally) {
                m_tallies[item->detail] += item->dropTally;
            } else {
                m_stored.insert(item->receipt);
            }
        }
        return true;
    }
    bool ReadFigures(int64_t, int, int, distd::Figures&, std::string&) override { return true; }
    std::string Describe() const override { return "picky store"; }
    bool Unreachable() const override { return m_unreachable; }

    void Away(bool away) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_away = away;
    }
    size_t Stored() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stored.size();
    }
    uint64_t Tally(const std::string& reason) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_tallies[reason];
    }

private:
    std::mutex m_mutex;
    bool m_away = false;
    bool m_unreachable = false; // read by the writer thread right after its Write
    std::set<std::string> m_stored;
    std::map<std::string, uint64_t> m_tallies;
};

distd::StoreItem From(const std::string& source) {
    distd::StoreItem item;
    item.source = source;
    return item;
}

template <typename Done> bool WaitFor(Done done) {
    for (int i = 0; i < 1000; ++i) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

} // namespace

TEST(IngestBacklog, ARefusedItemFailsAloneAndIsCounted) {
    PickyStore store;
    distd_test::TestSpool spool;
    distd::IngestQueue queue(store, *spool, 64);
    std::vector<std::thread> senders;
    std::atomic<int> stored{0}, failed{0};
    for (int i = 0; i < 20; ++i) {
        senders.emplace_back([&, i] {
            const auto result =
                queue.Submit(From(i == 7 ? "bad" : "good"), std::chrono::seconds(10));
            (result == distd::IngestQueue::Result::Stored ? stored : failed)++;
        });
    }
    for (std::thread& sender : senders) {
        sender.join();
    }
    EXPECT_EQ(stored.load(), 19);
    EXPECT_EQ(failed.load(), 1);
    EXPECT_EQ(store.Stored(), 19u);
    // The refusal is counted and its tally reaches the store.
    EXPECT_TRUE(WaitFor([&] { return store.Tally("store_refused") == 1; }));
    const auto counters = queue.GetCounters();
    EXPECT_EQ(counters.failed, 1u);
    EXPECT_EQ(counters.Dropped(), 1u);
}

TEST(IngestBacklog, AnUnreachableStoreSendsReportsToTheSpoolWhichDrainsIntoIt) {
    PickyStore store;
    distd_test::TestSpool spool;
    distd::IngestOptions options;
    options.capacity = 10;
    options.maxBatch = 4;
    distd::IngestQueue queue(store, *spool, options);
    ASSERT_EQ(queue.Submit(From("good"), std::chrono::seconds(5)),
              distd::IngestQueue::Result::Stored);

    store.Away(true);
    // Answered once synced in the spool, without waiting for the store, far
    // past the queue's bound in memory.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(queue.Submit(From("good"), std::chrono::seconds(30)),
                  distd::IngestQueue::Result::Deferred)
            << i;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    auto counters = queue.GetCounters();
    EXPECT_TRUE(counters.unreachable);
    EXPECT_EQ(counters.deferred, 40u);
    EXPECT_EQ(counters.spooled, 40u);
    EXPECT_EQ(counters.busy, 0u);
    EXPECT_LE(counters.backlog, 4u);

    store.Away(false);
    EXPECT_TRUE(WaitFor([&] {
        const auto now = queue.GetCounters();
        return now.replayed >= 40 && now.spooled == 0 && now.backlog == 0 && !now.unreachable;
    }));
    counters = queue.GetCounters();
    EXPECT_GT(counters.retries, 0u);
    EXPECT_GE(counters.replayed, 40u);
    EXPECT_EQ(store.Stored(), 41u); // by receipt: each once
    EXPECT_EQ(counters.Dropped(), 0u);
    EXPECT_EQ(spool->GetState().records, 0u);
    // Back to answering after the commit.
    EXPECT_EQ(queue.Submit(From("good"), std::chrono::seconds(5)),
              distd::IngestQueue::Result::Stored);
}

TEST(IngestBacklog, AFullSpoolTurnsReportsAwayAndCountsThem) {
    PickyStore store;
    // Room for a handful of records only.
    distd_test::TestSpool spool(8 + 5 * (12 + distd::EncodeSpoolItem(From("good")).size() + 40));
    distd::IngestQueue queue(store, *spool, 100);
    store.Away(true);
    int deferred = 0;
    int busy = 0;
    for (int i = 0; i < 20; ++i) {
        const auto result = queue.Submit(From("good"), std::chrono::seconds(5));
        deferred += result == distd::IngestQueue::Result::Deferred ? 1 : 0;
        busy += result == distd::IngestQueue::Result::Busy ? 1 : 0;
    }
    EXPECT_GE(deferred, 3);
    EXPECT_EQ(deferred + busy, 20);
    EXPECT_GT(busy, 0);
    store.Away(false);
    // What was answered is stored; what was turned away is counted, and the
    // count reaches the store.
    EXPECT_TRUE(WaitFor([&] {
        return store.Tally("spool_full") == static_cast<uint64_t>(busy) &&
               queue.GetCounters().spooled == 0;
    }));
    EXPECT_EQ(store.Stored(), static_cast<size_t>(deferred));
    EXPECT_EQ(queue.GetCounters().busy, static_cast<uint64_t>(busy));
}

TEST(IngestBacklog, StoppingWithTheStoreAwayKeepsTheSpoolForTheNextStart) {
    PickyStore store;
    distd_test::TestSpool spool;
    {
        distd::IngestOptions options;
        options.capacity = 100;
        distd::IngestQueue queue(store, *spool, options);
        store.Away(true);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(queue.Submit(From("good"), std::chrono::seconds(5)),
                      distd::IngestQueue::Result::Deferred);
        }
        const auto start = std::chrono::steady_clock::now();
        queue.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(queue.GetCounters().Dropped(), 0u);
        EXPECT_EQ(queue.Submit(From("good"), std::chrono::seconds(1)),
                  distd::IngestQueue::Result::Stopped);
    }
    EXPECT_EQ(store.Stored(), 0u);
    // The next start replays them.
    store.Away(false);
    distd::IngestQueue next(store, spool.Reopen(), 100);
    EXPECT_TRUE(WaitFor([&] { return store.Stored() == 5u; }));
    EXPECT_TRUE(WaitFor([&] { return next.GetCounters().spooled == 0; }));
}
