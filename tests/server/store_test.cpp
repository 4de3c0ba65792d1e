// The SQLite report store (the shared store tests, WAL mode, its first
// schema and what it refuses), and the text table `distd stats` prints.
#include "server/dashboard.h"
#include "server/store.h"

#include <sqlite3.h>

#include "tests/server/distd_test_util.h"
#include "tests/server/store_contract.h"

using namespace distd_test;

namespace {

constexpr int64_t kDay = 86400;
constexpr int64_t kNow = 19700 * kDay + 3600; // a fixed "today"

int64_t Scalar(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    int64_t value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        value = sqlite3_column_int64(stmt, 0);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Sqlite, StoreContract,
                         ::testing::Values(StoreParam{"sqlite", MakeSqliteBackend}),
                         StoreParamName);

TEST(SqliteStore, WritesInWalMode) {
    testutil::TempDir dir;
    std::string error;
    auto store = distd::OpenStore(dir / "s.db", distd::StoreMode::ReadWrite, error);
    ASSERT_TRUE(store) << error;
    ASSERT_TRUE(WriteAll(*store, {Report(LaunchDoc("10001", "1.1"), kNow)}));
    sqlite3* db = nullptr;
    sqlite3_open(std::string(dir / "s.db").c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &stmt, nullptr);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "wal");
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

TEST(SqliteStore, MigratesAStoreOfTheFirstSchema) {
    testutil::TempDir dir;
    const std::string path = dir / "old.db";
    // A store as the first schema left it, with one report.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE reports (id INTEGER PRIMARY KEY, received_at INTEGER NOT "
                           "NULL, source TEXT NOT NULL, product TEXT NOT NULL, kind TEXT NOT NULL, "
                           "channel TEXT NOT NULL, os_name TEXT NOT NULL, os_type TEXT NOT NULL, "
                           "dev_name TEXT NOT NULL, ie_ver TEXT NOT NULL, ver TEXT NOT NULL, "
                           "sim_id TEXT NOT NULL, open_time INTEGER NOT NULL, close_time INTEGER "
                           "NOT NULL, act_time INTEGER NOT NULL, error_msg TEXT NOT NULL, document "
                           "TEXT NOT NULL);"
                           "CREATE TABLE events (id INTEGER PRIMARY KEY, report_id INTEGER NOT "
                           "NULL REFERENCES reports(id), name TEXT NOT NULL, label TEXT NOT NULL, "
                           "act_time INTEGER NOT NULL, num INTEGER NOT NULL);"
                           "CREATE TABLE rejects (id INTEGER PRIMARY KEY, received_at INTEGER NOT "
                           "NULL, source TEXT NOT NULL, reason TEXT NOT NULL, detail TEXT NOT "
                           "NULL, raw TEXT NOT NULL);"
                           "INSERT INTO reports VALUES (1, 100, 's', '51', 'launch', 'c', '', '', "
                           "'', '', 'v', '', 0, 0, 0, '', '{}');"
                           "PRAGMA user_version = 1;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    std::string error;
    auto store = distd::OpenSqliteStore(path, distd::StoreMode::ReadWrite, error);
    ASSERT_TRUE(store) << error;
    EXPECT_EQ(Scalar(path, "PRAGMA user_version"), distd::SqliteSchemaVersion());
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name = "
                           "'events_by_label'"),
              1);
    EXPECT_EQ(ReadFigures(*store).reports, 1);
}

TEST(SqliteStore, RefusesWhatItCannotUse) {
    testutil::TempDir dir;
    std::string error;
    // Reading needs an existing store.
    EXPECT_FALSE(distd::OpenSqliteStore(dir / "none.db", distd::StoreMode::ReadOnly, error));
    EXPECT_NE(error.find("none.db"), std::string::npos) << error;

    // A newer schema than this build knows.
    const std::string newer = dir / "newer.db";
    ASSERT_TRUE(distd::OpenSqliteStore(newer, distd::StoreMode::ReadWrite, error)) << error;
    sqlite3* db = nullptr;
    sqlite3_open(newer.c_str(), &db);
    sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_FALSE(distd::OpenSqliteStore(newer, distd::StoreMode::ReadWrite, error));
    EXPECT_NE(error.find("schema version 99"), std::string::npos) << error;

    // Something that is not a database.
    testutil::WriteAll(dir / "text.db", "this is not a database, just text that is long enough");
    EXPECT_FALSE(distd::OpenSqliteStore(dir / "text.db", distd::StoreMode::ReadWrite, error));

    EXPECT_FALSE(distd::OpenSqliteStore(newer, distd::StoreMode::ReadOnly, error));
}

TEST(StatsTable, PrintsTheFiguresWithoutControlCharacters) {
    distd::Figures figures;
    figures.reports = 5;
    figures.byChannel.push_back({"渠道\x1b[31m", "1.1", 4, 1, 2, 0, 1});
    figures.daily.push_back({kNow / kDay, 4, 1, 2});
    figures.rejectsByReason.push_back({"wrong_key", 3});
    const std::string text = distd::RenderStatsTable(figures, kNow);
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    EXPECT_NE(text.find("渠道\\x1B[31m"), std::string::npos) << text;
    EXPECT_NE(text.find("installs 1 (25.0% of launches), exits 2 (50.0% of launches)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(distd::DayText(kNow / kDay) + "         4         1      2"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("wrong_key               3"), std::string::npos) << text;
}
