// The spool file on its own: what goes in comes back across a reopen, a
// write cut by a crash is set aside, the bound and the lock hold, and
// concurrent appends all land; and records replayed twice are stored once.
#include "server/spool.h"

#include "server/ingest.h"

#include <filesystem>
#include <set>
#include <thread>

#include "tests/server/distd_test_util.h"

using namespace distd_test;

namespace {

distd::StoreItem Receipted(distd::StoreItem item, const std::string& receipt) {
    item.receipt = receipt;
    return item;
}

distd::StoreItem EventReport(const std::string& receipt) {
    return Receipted(Report(EventDoc("渠道 10001", "1.1", "InstallSuccess", "setup 'x'"), 1700),
                     receipt);
}

bool Append(distd::Spool& spool, const distd::StoreItem& item, std::string* error = nullptr) {
    std::string ignored;
    return spool.Append({&item}, error ? *error : ignored);
}

std::vector<distd::StoreItem> ReadAllRecords(distd::Spool& spool, uint64_t& next) {
    std::vector<distd::StoreItem> items;
    std::string error;
    EXPECT_TRUE(spool.ReadNext(1000000, items, next, error)) << error;
    return items;
}

} // namespace

TEST(Spool, GivesBackWhatItHoldsAcrossAReopenAndEmptiesOnceReplayed) {
    TestSpool spool;
    const distd::StoreItem report = EventReport("r-1");
    distd::StoreItem reject = Receipted(Reject(distd::RejectReason::WrongKey, 1800), "r-2");
    reject.raw = std::string("\0\xFF raw", 6);
    distd::StoreItem tally;
    tally.dropTally = 3; // tallies stay in memory
    std::string error;
    ASSERT_TRUE(spool->Append({&report, &reject, &tally}, error)) << error;
    EXPECT_EQ(spool->GetState().records, 2u);

    spool.Reopen();
    EXPECT_EQ(spool->GetState().records, 2u);
    uint64_t next = 0;
    const std::vector<distd::StoreItem> back = ReadAllRecords(*spool, next);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(distd::EncodeSpoolItem(back[0]), distd::EncodeSpoolItem(report));
    EXPECT_EQ(distd::EncodeSpoolItem(back[1]), distd::EncodeSpoolItem(reject));
    ASSERT_EQ(back[0].report.events.size(), 1u);
    EXPECT_EQ(back[0].report.events[0].label, "InstallSuccess");
    EXPECT_EQ(back[0].report.device.channel, "渠道 10001");
    EXPECT_EQ(back[1].reason, distd::RejectReason::WrongKey);
    EXPECT_EQ(back[1].raw, reject.raw);

    // Replayed in two steps: the file is cut back only when all of it is.
    ASSERT_TRUE(Append(*spool, EventReport("r-3")));
    std::vector<distd::StoreItem> first;
    ASSERT_TRUE(spool->ReadNext(2, first, next, error)) << error;
    ASSERT_EQ(first.size(), 2u);
    spool->Replayed(next, first.size());
    EXPECT_EQ(spool->GetState().records, 1u);
    const uint64_t before = spool->GetState().bytes;
    std::vector<distd::StoreItem> rest;
    ASSERT_TRUE(spool->ReadNext(10, rest, next, error)) << error;
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].receipt, "r-3");
    spool->Replayed(next, rest.size());
    EXPECT_EQ(spool->GetState().records, 0u);
    EXPECT_LT(spool->GetState().bytes, before);
    EXPECT_EQ(std::filesystem::file_size(spool.Path()), spool->GetState().bytes);
    EXPECT_EQ(spool.Reopen().GetState().records, 0u);
}

TEST(Spool, AWriteCutShortIsSetAsideAndTheRecordsBeforeItKept) {
    TestSpool spool;
    ASSERT_TRUE(Append(*spool, EventReport("a")));
    ASSERT_TRUE(Append(*spool, EventReport("b")));
    const uint64_t whole = spool->GetState().bytes;
    ASSERT_TRUE(Append(*spool, EventReport("c")));
    const uint64_t full = spool->GetState().bytes;
    spool.Close();
    // The last record's end never reached the disk.
    std::filesystem::resize_file(spool.Path(), full - 7);

    distd::Spool& again = spool.Reopen();
    EXPECT_EQ(again.GetState().records, 2u);
    EXPECT_EQ(again.GetState().bytes, whole);
    std::string aside;
    for (const auto& entry : std::filesystem::directory_iterator(spool / "")) {
        if (entry.path().filename().string().find("reports.spool.damaged-") == 0) {
            aside = entry.path();
        }
    }
    ASSERT_FALSE(aside.empty()) << "the cut record was not kept aside";
    EXPECT_GT(std::filesystem::file_size(aside), 0u);
    // Appends go on after the last whole record.
    ASSERT_TRUE(Append(again, EventReport("d")));
    uint64_t next = 0;
    const auto items = ReadAllRecords(again, next);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[2].receipt, "d");
}

TEST(Spool, RefusesPastItsBoundASecondOwnerAndAForeignFile) {
    const std::string record = distd::EncodeSpoolItem(EventReport("x"));
    // Room for the header and one record, not two.
    TestSpool spool(8 + 12 + record.size() + record.size() / 2);
    ASSERT_TRUE(Append(*spool, EventReport("x")));
    std::string error;
    EXPECT_FALSE(Append(*spool, EventReport("y"), &error));
    EXPECT_NE(error.find("full"), std::string::npos) << error;
    EXPECT_EQ(spool->GetState().records, 1u);
    uint64_t next = 0;
    const auto items = ReadAllRecords(*spool, next);
    spool->Replayed(next, items.size());
    EXPECT_TRUE(Append(*spool, EventReport("y"))) << "room again once replayed";

    // One distd per spool.
    EXPECT_FALSE(distd::Spool::Open(spool.Path(), 1 << 20, error));
    EXPECT_NE(error.find("in use by another distd"), std::string::npos) << error;

    // A file that is not a spool (a store named by mistake) is left alone.
    const std::string other = spool / "distd.db";
    testutil::WriteAll(other, "SQLite format 3");
    EXPECT_FALSE(distd::Spool::Open(other, 1 << 20, error));
    EXPECT_NE(error.find("not a distd spool"), std::string::npos) << error;
    EXPECT_EQ(testutil::ReadAll(other), "SQLite format 3");

    // A folder that does not exist.
    EXPECT_FALSE(distd::Spool::Open(spool / "none/s.spool", 1 << 20, error));
    EXPECT_NE(error.find("none/s.spool"), std::string::npos) << error;
}

TEST(Spool, ConcurrentAppendsAllLand) {
    TestSpool spool;
    constexpr int kThreads = 8;
    constexpr int kEach = 150;
    const distd::StoreItem item = EventReport("");
    std::vector<std::thread> threads;
    std::atomic<int> failed{0};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                if (!Append(*spool, Receipted(item, std::to_string(t) + "-" + std::to_string(i)))) {
                    ++failed;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failed.load(), 0);
    uint64_t next = 0;
    const auto items = ReadAllRecords(spool.Reopen(), next);
    std::set<std::string> receipts;
    for (const auto& record : items) {
        receipts.insert(record.receipt);
    }
    EXPECT_EQ(items.size(), static_cast<size_t>(kThreads * kEach));
    EXPECT_EQ(receipts.size(), items.size());
}

TEST(Spool, DefaultPlaceIsBesideASqliteStore) {
    EXPECT_EQ(distd::DefaultSpoolPath("/srv/distd/distd.db"), "/srv/distd/distd.db.spool");
    EXPECT_EQ(distd::DefaultSpoolPath("sqlite:/srv/x.db"), "/srv/x.db.spool");
    EXPECT_EQ(distd::DefaultSpoolPath("postgresql://distd@db/distd"), "distd.spool");
}

TEST(Spool, RecordsReplayedAgainAfterACrashAreStoredOnce) {
    TestSpool spool;
    testutil::TempDir dir;
    std::string error;
    auto store = distd::OpenSqliteStore(dir / "s.db", distd::StoreMode::ReadWrite, error);
    ASSERT_TRUE(store) << error;
    const std::vector<distd::StoreItem> items = {
        EventReport("crash-1"), EventReport("crash-2"),
        Receipted(Reject(distd::RejectReason::NotJson, 1900), "crash-3")};
    std::vector<const distd::StoreItem*> pointers;
    for (const auto& item : items) {
        pointers.push_back(&item);
    }
    ASSERT_TRUE(spool->Append(pointers, error)) << error;
    // The replay's commit went through; the crash came before the spool was
    // cut back, so the next start replays the same records again.
    ASSERT_TRUE(store->Write(pointers, error)) << error;
    spool.Close();
    {
        distd::IngestQueue queue(*store, spool.Reopen(), 16);
        for (int i = 0; i < 1000 && queue.GetCounters().replayed < 3; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_EQ(queue.GetCounters().spooled, 0u);
        EXPECT_EQ(queue.GetCounters().replayed, 3u);
    }
    const distd::Figures figures = ReadFigures(*store);
    EXPECT_EQ(figures.reports, 2);
    EXPECT_EQ(figures.events, 2);
    EXPECT_EQ(figures.rejected, 1);
}
