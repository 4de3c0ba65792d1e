// The embedded report store: SQLite in WAL mode. One connection writes
// (only the ingest writer thread uses it), another reads under its own lock,
// so the dashboard never waits for a write to finish.
#include "server/store.h"

#include <sqlite3.h>

#include <algorithm>
#include <mutex>

namespace distd {

namespace {

// Schema migrations: entry i brings a store from version i to i + 1. A
// store's version is its user_version.
const char* const kMigrations[] = {
    // 1: reports with their device block, their events, rejected reports.
    "CREATE TABLE reports ("
    " id INTEGER PRIMARY KEY,"
    " received_at INTEGER NOT NULL,"
    " source TEXT NOT NULL,"
    " product TEXT NOT NULL,"
    " kind TEXT NOT NULL,"
    " channel TEXT NOT NULL,"
    " os_name TEXT NOT NULL,"
    " os_type TEXT NOT NULL,"
    " dev_name TEXT NOT NULL,"
    " ie_ver TEXT NOT NULL,"
    " ver TEXT NOT NULL,"
    " sim_id TEXT NOT NULL,"
    " open_time INTEGER NOT NULL,"
    " close_time INTEGER NOT NULL,"
    " act_time INTEGER NOT NULL,"
    " error_msg TEXT NOT NULL,"
    " document TEXT NOT NULL);"
    "CREATE TABLE events ("
    " id INTEGER PRIMARY KEY,"
    " report_id INTEGER NOT NULL REFERENCES reports(id),"
    " name TEXT NOT NULL,"
    " label TEXT NOT NULL,"
    " act_time INTEGER NOT NULL,"
    " num INTEGER NOT NULL);"
    "CREATE TABLE rejects ("
    " id INTEGER PRIMARY KEY,"
    " received_at INTEGER NOT NULL,"
    " source TEXT NOT NULL,"
    " reason TEXT NOT NULL,"
    " detail TEXT NOT NULL,"
    " raw TEXT NOT NULL);",
    // 2: the indexes the figures are read through.
    "CREATE INDEX reports_by_channel ON reports(channel, ver, kind);"
    "CREATE INDEX reports_by_time ON reports(received_at);"
    "CREATE INDEX events_by_report ON events(report_id);"
    "CREATE INDEX events_by_label ON events(label, report_id);"
    "CREATE INDEX rejects_by_reason ON rejects(reason);",
};
constexpr int kSchemaVersion = static_cast<int>(sizeof(kMigrations) / sizeof(kMigrations[0]));

std::string LastError(sqlite3* db) {
    return db ? sqlite3_errmsg(db) : "out of memory";
}

bool Exec(sqlite3* db, const char* sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        error = message ? message : LastError(db);
        sqlite3_free(message);
        return false;
    }
    return true;
}

// A prepared statement, finalised with its owner.
class Statement {
public:
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(m_stmt); }

    bool Prepare(sqlite3* db, const char* sql, std::string& error) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK) {
            error = LastError(db);
            return false;
        }
        return true;
    }
    sqlite3_stmt* get() const { return m_stmt; }
    void Text(int index, const std::string& value) {
        sqlite3_bind_text(m_stmt, index, value.data(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT);
    }
    void Int(int index, int64_t value) { sqlite3_bind_int64(m_stmt, index, value); }
    std::string ColumnText(int index) const {
        const unsigned char* text = sqlite3_column_text(m_stmt, index);
        return text ? std::string(reinterpret_cast<const char*>(text),
                                  static_cast<size_t>(sqlite3_column_bytes(m_stmt, index)))
                    : std::string();
    }
    int64_t ColumnInt(int index) const { return sqlite3_column_int64(m_stmt, index); }
    // Runs a statement that returns no rows, then makes it ready again.
    bool Run(sqlite3* db, std::string& error) {
        const int rc = sqlite3_step(m_stmt);
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        if (rc != SQLITE_DONE) {
            error = LastError(db);
            return false;
        }
        return true;
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

int UserVersion(sqlite3* db) {
    Statement stmt;
    std::string ignored;
    if (!stmt.Prepare(db, "PRAGMA user_version", ignored) ||
        sqlite3_step(stmt.get()) != SQLITE_ROW) {
        return -1;
    }
    return static_cast<int>(stmt.ColumnInt(0));
}

bool Migrate(sqlite3* db, std::string& error) {
    if (!Exec(db, "BEGIN IMMEDIATE", error)) {
        return false;
    }
    int version = UserVersion(db);
    if (version < 0 || version > kSchemaVersion) {
        Exec(db, "ROLLBACK", error);
        error = version < 0
                    ? "its schema version cannot be read"
                    : "it has schema version " + std::to_string(version) +
                          ", newer than this distd knows (" + std::to_string(kSchemaVersion) + ")";
        return false;
    }
    for (; version < kSchemaVersion; ++version) {
        const std::string bump = "PRAGMA user_version = " + std::to_string(version + 1);
        if (!Exec(db, kMigrations[version], error) || !Exec(db, bump.c_str(), error)) {
            std::string ignored;
            Exec(db, "ROLLBACK", ignored);
            error =
                "migration to schema version " + std::to_string(version + 1) + " failed: " + error;
            return false;
        }
    }
    return Exec(db, "COMMIT", error);
}

bool SetWal(sqlite3* db, std::string& error) {
    Statement wal;
    if (!wal.Prepare(db, "PRAGMA journal_mode = WAL", error) ||
        sqlite3_step(wal.get()) != SQLITE_ROW || wal.ColumnText(0) != "wal") {
        error = "WAL mode is not available: " + (error.empty() ? LastError(db) : error);
        return false;
    }
    return true;
}

sqlite3* OpenConnection(const std::string& path, int flags, std::string& error) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        error = LastError(db);
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 10000);
    sqlite3_extended_result_codes(db, 1);
    return db;
}

class SqliteStore : public ReportStore {
public:
    ~SqliteStore() override {
        m_insertReport.reset();
        m_insertEvent.reset();
        m_insertReject.reset();
        sqlite3_close(m_read);
        sqlite3_close(m_write);
    }

    bool Open(const std::string& path, StoreMode mode, std::string& error) {
        m_path = path;
        const bool readOnly = mode == StoreMode::ReadOnly;
        if (!readOnly) {
            m_write = OpenConnection(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
            if (m_write == nullptr) {
                return false;
            }
            // WAL: readers never block the writer; NORMAL: a commit is in
            // the log once it returns, so a killed process loses nothing it
            // committed (only a power cut could lose the newest commits).
            if (!SetWal(m_write, error)) {
                return false;
            }
            if (!Exec(m_write, "PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON", error) ||
                !Migrate(m_write, error)) {
                return false;
            }
            m_insertReport = std::make_unique<Statement>();
            m_insertEvent = std::make_unique<Statement>();
            m_insertReject = std::make_unique<Statement>();
            if (!m_insertReport->Prepare(
                    m_write,
                    "INSERT INTO reports (received_at, source, product, kind, channel, os_name,"
                    " os_type, dev_name, ie_ver, ver, sim_id, open_time, close_time, act_time,"
                    " error_msg, document) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                    error) ||
                !m_insertEvent->Prepare(m_write,
                                        "INSERT INTO events (report_id, name, label, act_time, num)"
                                        " VALUES (?,?,?,?,?)",
                                        error) ||
                !m_insertReject->Prepare(m_write,
                                         "INSERT INTO rejects (received_at, source, reason, detail,"
                                         " raw) VALUES (?,?,?,?,?)",
                                         error)) {
                return false;
            }
        }
        m_read = OpenConnection(path, SQLITE_OPEN_READONLY, error);
        if (m_read == nullptr) {
            return false;
        }
        const int version = UserVersion(m_read);
        if (version < 1 || version > kSchemaVersion) {
            error = version < 1
                        ? "it is not a distd store (schema version " + std::to_string(version) + ")"
                        : "it has schema version " + std::to_string(version) +
                              ", newer than this distd knows (" + std::to_string(kSchemaVersion) +
                              ")";
            return false;
        }
        return true;
    }

    bool Write(const std::vector<const StoreItem*>& items, std::string& error) override {
        if (m_write == nullptr) {
            error = "the store is open for reading only";
            return false;
        }
        if (!Exec(m_write, "BEGIN IMMEDIATE", error)) {
            return false;
        }
        for (const StoreItem* item : items) {
            if (!(item->rejected ? WriteReject(*item, error) : WriteReport(*item, error))) {
                std::string ignored;
                Exec(m_write, "ROLLBACK", ignored);
                return false;
            }
        }
        if (!Exec(m_write, "COMMIT", error)) {
            std::string ignored;
            Exec(m_write, "ROLLBACK", ignored);
            return false;
        }
        return true;
    }

    bool ReadFigures(int64_t now, int days, int recent, Figures& out, std::string& error) override {
        std::lock_guard<std::mutex> lock(m_readMutex);
        out = Figures();
        if (!Exec(m_read, "BEGIN", error)) {
            return false;
        }
        const bool ok = ReadFiguresLocked(now, days, recent, out, error);
        std::string ignored;
        Exec(m_read, "COMMIT", ignored);
        return ok;
    }

    std::string Describe() const override { return "SQLite store " + m_path; }

private:
    bool WriteReport(const StoreItem& item, std::string& error) {
        const ReportRecord& report = item.report;
        Statement& insert = *m_insertReport;
        insert.Int(1, item.receivedAt);
        insert.Text(2, item.source);
        insert.Text(3, report.product);
        insert.Text(4, ReportKindName(report.kind));
        insert.Text(5, report.device.channel);
        insert.Text(6, report.device.osName);
        insert.Text(7, report.device.osType);
        insert.Text(8, report.device.devName);
        insert.Text(9, report.device.ieVersion);
        insert.Text(10, report.device.version);
        insert.Text(11, report.device.simId);
        insert.Int(12, report.openTime);
        insert.Int(13, report.closeTime);
        insert.Int(14, report.actTime);
        insert.Text(15, report.errorMsg);
        insert.Text(16, report.document);
        if (!insert.Run(m_write, error)) {
            return false;
        }
        const int64_t id = sqlite3_last_insert_rowid(m_write);
        for (const EventRecord& event : report.events) {
            Statement& row = *m_insertEvent;
            row.Int(1, id);
            row.Text(2, event.name);
            row.Text(3, event.label);
            row.Int(4, event.actTime);
            row.Int(5, event.num);
            if (!row.Run(m_write, error)) {
                return false;
            }
        }
        return true;
    }

    bool WriteReject(const StoreItem& item, std::string& error) {
        Statement& insert = *m_insertReject;
        insert.Int(1, item.receivedAt);
        insert.Text(2, item.source);
        insert.Text(3, RejectReasonName(item.reason));
        insert.Text(4, item.detail);
        insert.Text(5, item.raw);
        return insert.Run(m_write, error);
    }

    // Runs `sql` with integer parameters and calls `row` for each result.
    template <typename RowFn>
    bool Query(const char* sql, std::initializer_list<int64_t> params, std::string& error,
               RowFn row) {
        Statement stmt;
        if (!stmt.Prepare(m_read, sql, error)) {
            return false;
        }
        int index = 1;
        for (int64_t param : params) {
            stmt.Int(index++, param);
        }
        int rc;
        while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
            row(stmt);
        }
        if (rc != SQLITE_DONE) {
            error = LastError(m_read);
            return false;
        }
        return true;
    }

    ChannelVersionFigures& Row(std::vector<ChannelVersionFigures>& rows, const std::string& channel,
                               const std::string& version) {
        for (ChannelVersionFigures& row : rows) {
            if (row.channel == channel && row.version == version) {
                return row;
            }
        }
        rows.push_back(ChannelVersionFigures());
        rows.back().channel = channel;
        rows.back().version = version;
        return rows.back();
    }

    bool ReadFiguresLocked(int64_t now, int days, int recent, Figures& out, std::string& error) {
        auto one = [&](const char* sql, int64_t& value) {
            return Query(sql, {}, error, [&](const Statement& s) { value = s.ColumnInt(0); });
        };
        if (!one("SELECT COUNT(*) FROM reports", out.reports) ||
            !one("SELECT COUNT(*) FROM events", out.events) ||
            !one("SELECT COUNT(*) FROM rejects", out.rejected)) {
            return false;
        }
        std::vector<ChannelVersionFigures>& rows = out.byChannel;
        if (!Query("SELECT channel, ver, SUM(kind = 'launch'), SUM(kind = 'exit'),"
                   " SUM(kind = 'exception'), SUM(kind = 'events') FROM reports"
                   " GROUP BY channel, ver",
                   {}, error,
                   [&](const Statement& s) {
                       ChannelVersionFigures& row = Row(rows, s.ColumnText(0), s.ColumnText(1));
                       row.launches = s.ColumnInt(2);
                       row.exits = s.ColumnInt(3);
                       row.exceptions = s.ColumnInt(4);
                       row.eventReports = s.ColumnInt(5);
                   }) ||
            !Query("SELECT r.channel, r.ver, COUNT(*) FROM events e JOIN reports r"
                   " ON r.id = e.report_id WHERE e.label = 'InstallSuccess'"
                   " GROUP BY r.channel, r.ver",
                   {}, error, [&](const Statement& s) {
                       Row(rows, s.ColumnText(0), s.ColumnText(1)).installs = s.ColumnInt(2);
                   })) {
            return false;
        }
        std::sort(rows.begin(), rows.end(),
                  [](const ChannelVersionFigures& a, const ChannelVersionFigures& b) {
                      return a.channel != b.channel ? a.channel < b.channel : a.version < b.version;
                  });

        const int64_t today = now / 86400;
        const int64_t first = today - days + 1;
        for (int64_t day = first; day <= today && days > 0; ++day) {
            DailyFigures figures;
            figures.day = day;
            out.daily.push_back(figures);
        }
        auto dayAt = [&](int64_t day) -> DailyFigures* {
            return day >= first && day <= today ? &out.daily[static_cast<size_t>(day - first)]
                                                : nullptr;
        };
        if (!Query("SELECT received_at / 86400, SUM(kind = 'launch'), SUM(kind = 'exit')"
                   " FROM reports WHERE received_at >= ?1 AND received_at < ?2 GROUP BY 1",
                   {first * 86400, (today + 1) * 86400}, error,
                   [&](const Statement& s) {
                       if (DailyFigures* day = dayAt(s.ColumnInt(0))) {
                           day->launches = s.ColumnInt(1);
                           day->exits = s.ColumnInt(2);
                       }
                   }) ||
            !Query("SELECT r.received_at / 86400, COUNT(*) FROM events e JOIN reports r"
                   " ON r.id = e.report_id WHERE e.label = 'InstallSuccess'"
                   " AND r.received_at >= ?1 AND r.received_at < ?2 GROUP BY 1",
                   {first * 86400, (today + 1) * 86400}, error, [&](const Statement& s) {
                       if (DailyFigures* day = dayAt(s.ColumnInt(0))) {
                           day->installs = s.ColumnInt(1);
                       }
                   })) {
            return false;
        }
        if (!Query("SELECT received_at, source, kind, channel, ver, dev_name, os_name"
                   " FROM reports ORDER BY id DESC LIMIT ?1",
                   {recent}, error, [&](const Statement& s) {
                       RecentReport report;
                       report.receivedAt = s.ColumnInt(0);
                       report.source = s.ColumnText(1);
                       report.kind = s.ColumnText(2);
                       report.channel = s.ColumnText(3);
                       report.version = s.ColumnText(4);
                       report.devName = s.ColumnText(5);
                       report.osName = s.ColumnText(6);
                       out.recentReports.push_back(report);
                   })) {
            return false;
        }
        return Query("SELECT reason, COUNT(*) FROM rejects GROUP BY reason"
                     " ORDER BY 2 DESC, reason",
                     {}, error,
                     [&](const Statement& s) {
                         out.rejectsByReason.push_back({s.ColumnText(0), s.ColumnInt(1)});
                     }) &&
               Query("SELECT received_at, source, reason, detail, raw FROM rejects"
                     " ORDER BY id DESC LIMIT ?1",
                     {recent}, error, [&](const Statement& s) {
                         RecentReject reject;
                         reject.receivedAt = s.ColumnInt(0);
                         reject.source = s.ColumnText(1);
                         reject.reason = s.ColumnText(2);
                         reject.detail = s.ColumnText(3);
                         reject.raw = s.ColumnText(4);
                         out.recentRejects.push_back(reject);
                     });
    }

    std::string m_path;
    sqlite3* m_write = nullptr;
    sqlite3* m_read = nullptr;
    std::mutex m_readMutex;
    std::unique_ptr<Statement> m_insertReport;
    std::unique_ptr<Statement> m_insertEvent;
    std::unique_ptr<Statement> m_insertReject;
};

} // namespace

std::unique_ptr<ReportStore> OpenSqliteStore(const std::string& path, StoreMode mode,
                                             std::string& error) {
    auto store = std::make_unique<SqliteStore>();
    std::string reason;
    if (!store->Open(path, mode, reason)) {
        error = "store " + path + ": " + reason;
        return nullptr;
    }
    return store;
}

int SqliteSchemaVersion() {
    return kSchemaVersion;
}

} // namespace distd
