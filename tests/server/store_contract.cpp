// What every report store must do, whichever database holds it: keep
// reports, events, rejects and drop tallies and read the figures back; store
// a receipt once however often it is written; keep text exactly; take large
// batches; migrate older schemas and refuse newer ones.
#include "tests/server/store_contract.h"

#include <sqlite3.h>

#include "tests/server/distd_test_util.h"

namespace distd_test {

namespace {

constexpr int64_t kDay = 86400;
constexpr int64_t kNow = 19700 * kDay + 3600; // a fixed "today"

class SqliteBackend : public StoreBackend {
public:
    std::string Spec() const override { return "sqlite:" + Path(); }
    distd::SqlDialect Dialect() const override { return distd::SqlDialect::Sqlite; }
    bool RawExec(const std::string& sql, std::string& error) override {
        sqlite3* db = nullptr;
        char* message = nullptr;
        const bool ok = sqlite3_open(Path().c_str(), &db) == SQLITE_OK &&
                        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK;
        if (!ok) {
            error = message ? message : sqlite3_errmsg(db);
        }
        sqlite3_free(message);
        sqlite3_close(db);
        return ok;
    }
    long long RawScalar(const std::string& sql) override {
        sqlite3* db = nullptr;
        sqlite3_stmt* stmt = nullptr;
        long long value = -1;
        if (sqlite3_open_v2(Path().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
            sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            value = sqlite3_column_int64(stmt, 0);
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return value;
    }
    bool SetSchemaVersion(int version, std::string& error) override {
        return RawExec("PRAGMA user_version = " + std::to_string(version), error);
    }

private:
    std::string Path() const { return m_dir / "store.db"; }
    testutil::TempDir m_dir;
};

distd::StoreItem WithReceipt(distd::StoreItem item, const std::string& receipt) {
    item.receipt = receipt;
    return item;
}

distd::StoreItem DropTally(const std::string& reason, uint64_t count) {
    distd::StoreItem item;
    item.dropTally = count;
    item.detail = reason;
    item.source = "host:8780";
    item.receivedAt = kNow;
    return item;
}

} // namespace

std::unique_ptr<StoreBackend> MakeSqliteBackend() {
    return std::make_unique<SqliteBackend>();
}

TEST_P(StoreContract, KeepsReportsEventsRejectsAndDropsAndReadsTheFigures) {
    auto store = Open();
    ASSERT_TRUE(store);
    const int64_t today = kNow - 60;
    const int64_t yesterday = kNow - kDay;
    const int64_t longAgo = kNow - 90 * kDay; // outside the daily window
    ASSERT_TRUE(WriteAll(
        *store,
        {Report(LaunchDoc("10001", "1.1"), today), Report(LaunchDoc("10001", "1.1"), yesterday),
         Report(LaunchDoc("10001", "1.2"), longAgo), Report(LaunchDoc("20002", "1.1"), today),
         Report(EventDoc("10001", "1.1", "InstallSuccess", "1.1+10001"), today),
         Report(EventDoc("10001", "1.1", "install", "other label"), today),
         Report(ExitDoc("10001", "1.1"), today), Reject(distd::RejectReason::WrongKey, today),
         Reject(distd::RejectReason::WrongKey, today),
         Reject(distd::RejectReason::NotJson, yesterday), DropTally("backlog_full", 5)}));
    ASSERT_TRUE(WriteAll(*store, {DropTally("store_refused", 2)}));
    distd::Figures figures;
    std::string error;
    ASSERT_TRUE(store->ReadFigures(kNow, 30, 2, figures, error)) << error;
    EXPECT_EQ(figures.reports, 7);
    EXPECT_EQ(figures.events, 2);
    EXPECT_EQ(figures.rejected, 3);
    EXPECT_EQ(figures.dropped, 7);
    ASSERT_EQ(figures.byChannel.size(), 3u);
    const distd::ChannelVersionFigures& main = figures.byChannel[0];
    EXPECT_EQ(main.channel, "10001");
    EXPECT_EQ(main.version, "1.1");
    EXPECT_EQ(main.launches, 2);
    EXPECT_EQ(main.installs, 1); // only "InstallSuccess" events count
    EXPECT_EQ(main.exits, 1);
    EXPECT_EQ(main.eventReports, 2);
    EXPECT_EQ(figures.byChannel[1].version, "1.2");
    EXPECT_EQ(figures.byChannel[2].channel, "20002");

    ASSERT_EQ(figures.daily.size(), 30u);
    EXPECT_EQ(figures.daily.back().day, kNow / kDay);
    EXPECT_EQ(figures.daily.back().launches, 2);
    EXPECT_EQ(figures.daily.back().installs, 1);
    EXPECT_EQ(figures.daily.back().exits, 1);
    EXPECT_EQ(figures.daily[28].launches, 1);
    int64_t inWindow = 0;
    for (const auto& day : figures.daily) {
        inWindow += day.launches;
    }
    EXPECT_EQ(inWindow, 3);

    ASSERT_EQ(figures.rejectsByReason.size(), 2u);
    EXPECT_EQ(figures.rejectsByReason[0].reason, "wrong_key");
    EXPECT_EQ(figures.rejectsByReason[0].count, 2);
    ASSERT_EQ(figures.recentRejects.size(), 2u); // the two newest
    EXPECT_EQ(figures.recentRejects[0].reason, "not_json");
    EXPECT_EQ(figures.recentRejects[0].raw, "/tj.html?value=raw");
    ASSERT_EQ(figures.recentReports.size(), 2u);
    EXPECT_EQ(figures.recentReports[0].kind, "exit");

    // Each report row carries the device block, receive time and sender.
    EXPECT_EQ(Backend().RawScalar("SELECT COUNT(*) FROM reports WHERE os_name = 'win7' AND "
                                  "dev_name = '0123456789ABCDEF0123456789ABCDEF' AND "
                                  "source = '127.0.0.1' AND received_at > 0"),
              7);
    // Events hang on their own report.
    EXPECT_EQ(Backend().RawScalar("SELECT COUNT(*) FROM events e JOIN reports r ON r.id = "
                                  "e.report_id WHERE r.kind = 'events' AND e.act_time = "
                                  "1700000050 AND e.num = 1"),
              2);
}

TEST_P(StoreContract, AReceiptIsStoredOnceHoweverOftenItIsWritten) {
    auto store = Open();
    ASSERT_TRUE(store);
    const distd::StoreItem event =
        WithReceipt(Report(EventDoc("10001", "1.1", "InstallSuccess", "n"), kNow), "a-1");
    const distd::StoreItem launch = WithReceipt(Report(LaunchDoc("10001", "1.1"), kNow), "a-2");
    const distd::StoreItem reject =
        WithReceipt(Reject(distd::RejectReason::NotBase64, kNow), "a-3");
    ASSERT_TRUE(WriteAll(*store, {event, launch, reject}));
    // The same batch again (a commit whose answer was lost), then with a new
    // report among the old ones, and a duplicate inside one batch.
    ASSERT_TRUE(WriteAll(*store, {event, launch, reject}));
    const distd::StoreItem later = WithReceipt(Report(ExitDoc("10001", "1.1"), kNow), "b-1");
    ASSERT_TRUE(WriteAll(*store, {later, event, later}));
    // Items without a receipt are never taken for each other.
    ASSERT_TRUE(WriteAll(*store, {Report(LaunchDoc("10001", "1.1"), kNow),
                                  Report(LaunchDoc("10001", "1.1"), kNow)}));
    const distd::Figures figures = ReadFigures(*store, kNow);
    EXPECT_EQ(figures.reports, 5);
    EXPECT_EQ(figures.events, 1);
    EXPECT_EQ(figures.rejected, 1);
    ASSERT_EQ(figures.byChannel.size(), 1u);
    EXPECT_EQ(figures.byChannel[0].installs, 1);
    EXPECT_EQ(figures.byChannel[0].launches, 3);
}

TEST_P(StoreContract, KeepsTextExactlyAndTakesLargeBatches) {
    auto store = Open();
    ASSERT_TRUE(store);
    // Quotes, backslashes, braces and commas (the array syntax of a batched
    // insert), SQL quoting, and text beyond ASCII.
    const std::string channel = "q\"u\\o{t}e,s' 渠道";
    const std::string channelJson = "q\\\"u\\\\o{t}e,s' 渠道";
    distd::StoreItem odd = Reject(distd::RejectReason::BadShape, kNow);
    odd.raw = "/tj.html?value=51_{\"a\",\\b}'; DROP TABLE rejects; --";
    odd.detail = "NULL";
    std::vector<distd::StoreItem> items = {Report(LaunchDoc(channelJson, "1.1", "设备"), kNow),
                                           odd};
    // Many reports with events in one transaction.
    for (int i = 0; i < 3000; ++i) {
        items.push_back(Report(EventDoc("bulk", "2.0", "InstallSuccess", "n"), kNow - 10));
    }
    ASSERT_TRUE(WriteAll(*store, items));
    const distd::Figures figures = ReadFigures(*store, kNow);
    EXPECT_EQ(figures.reports, 3001);
    EXPECT_EQ(figures.events, 3000);
    ASSERT_EQ(figures.byChannel.size(), 2u);
    EXPECT_EQ(figures.byChannel[0].channel, "bulk");
    EXPECT_EQ(figures.byChannel[0].installs, 3000);
    EXPECT_EQ(figures.byChannel[1].channel, channel);
    ASSERT_EQ(figures.recentRejects.size(), 1u);
    EXPECT_EQ(figures.recentRejects[0].raw, odd.raw);
    EXPECT_EQ(figures.recentRejects[0].detail, "NULL");
    EXPECT_EQ(Backend().RawScalar("SELECT COUNT(*) FROM reports WHERE dev_name = '设备'"), 1);
}

TEST_P(StoreContract, MigratesAStoreOfAnOlderSchema) {
    // A store as schema version 2 left it, with one report.
    std::string error;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(Backend().RawExec(distd::MigrationSql(Backend().Dialect(), i), error)) << error;
    }
    if (Backend().Dialect() == distd::SqlDialect::Postgresql) {
        ASSERT_TRUE(Backend().RawExec("CREATE TABLE distd_schema (version INTEGER NOT NULL);"
                                      "INSERT INTO distd_schema VALUES (0)",
                                      error))
            << error;
    }
    ASSERT_TRUE(Backend().SetSchemaVersion(2, error)) << error;
    ASSERT_TRUE(Backend().RawExec("INSERT INTO reports (received_at, source, product, kind, "
                                  "channel, os_name, os_type, dev_name, ie_ver, ver, sim_id, "
                                  "open_time, close_time, act_time, error_msg, document) VALUES "
                                  "(100, 's', '51', 'launch', 'c', '', '', '', '', 'v', '', 0, 0, "
                                  "0, '', '{}')",
                                  error))
        << error;

    auto store = Open();
    ASSERT_TRUE(store);
    EXPECT_EQ(ReadFigures(*store).reports, 1);
    // The new schema's parts work on the old data.
    ASSERT_TRUE(WriteAll(*store, {WithReceipt(Report(LaunchDoc("c", "v"), kNow), "r"),
                                  WithReceipt(Report(LaunchDoc("c", "v"), kNow), "r"),
                                  DropTally("backlog_full", 3)}));
    const distd::Figures figures = ReadFigures(*store);
    EXPECT_EQ(figures.reports, 2);
    EXPECT_EQ(figures.dropped, 3);
    // Opening again finds nothing to do.
    store.reset();
    EXPECT_TRUE(Open());
}

TEST_P(StoreContract, RefusesWhatItCannotUse) {
    std::string error;
    // Reading needs a store that exists.
    EXPECT_FALSE(distd::OpenStore(Backend().Spec(), distd::StoreMode::ReadOnly, error));
    EXPECT_FALSE(error.empty());

    auto store = Open();
    ASSERT_TRUE(store);
    store.reset();
    // A reader may read but never write.
    auto reader = Open(distd::StoreMode::ReadOnly);
    ASSERT_TRUE(reader);
    std::vector<distd::StoreItem> items = {Report(LaunchDoc("10001", "1.1"), kNow)};
    const distd::StoreItem* item = &items[0];
    EXPECT_FALSE(reader->Write({item}, error));
    EXPECT_FALSE(reader->Unreachable()); // refused, not out of reach
    EXPECT_EQ(ReadFigures(*reader).reports, 0);
    reader.reset();

    // A newer schema than this build knows.
    ASSERT_TRUE(Backend().SetSchemaVersion(99, error)) << error;
    for (distd::StoreMode mode : {distd::StoreMode::ReadWrite, distd::StoreMode::ReadOnly}) {
        error.clear();
        EXPECT_FALSE(distd::OpenStore(Backend().Spec(), mode, error));
        EXPECT_NE(error.find("schema version 99"), std::string::npos) << error;
    }
}

} // namespace distd_test
