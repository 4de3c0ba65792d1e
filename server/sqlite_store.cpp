// The embedded report store: SQLite in WAL mode. One connection writes
// (only the ingest writer thread uses it), another reads under its own lock,
// so the dashboard never waits for a write to finish.
#include "server/store.h"

#include "server/store_sql.h"

#include <sqlite3.h>

#include <functional>
#include <mutex>

namespace distd {

namespace {

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

// The current row of a statement, as the shared figure queries read it.
class Row : public SqlRow {
public:
    explicit Row(const Statement& stmt) : m_stmt(stmt) {}
    std::string Text(int column) const override { return m_stmt.ColumnText(column); }
    int64_t Int(int column) const override { return m_stmt.ColumnInt(column); }

private:
    const Statement& m_stmt;
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
    if (version < 0 || version > MigrationCount()) {
        Exec(db, "ROLLBACK", error);
        error = version < 0 ? "its schema version cannot be read" : SchemaVersionProblem(version);
        return false;
    }
    for (; version < MigrationCount(); ++version) {
        const std::string bump = "PRAGMA user_version = " + std::to_string(version + 1);
        if (!Exec(db, MigrationSql(SqlDialect::Sqlite, version).c_str(), error) ||
            !Exec(db, bump.c_str(), error)) {
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

// How long a write waits for another process's lock before the store counts
// as out of reach for now (its reports then go to the spool); opening and
// migrating wait longer.
constexpr int kWriteLockWaitMs = 250;
constexpr int kOpenLockWaitMs = 10000;

// True for the failures that pass: the file locked by another connection,
// the disk full or failing for now. Anything else is a refusal.
bool IsOutOfReach(int code) {
    switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_PROTOCOL:
    case SQLITE_NOMEM:
        return true;
    default:
        return false;
    }
}

sqlite3* OpenConnection(const std::string& path, int flags, std::string& error) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        error = LastError(db);
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kOpenLockWaitMs);
    sqlite3_extended_result_codes(db, 1);
    return db;
}

class SqliteStore : public ReportStore {
public:
    ~SqliteStore() override {
        m_insertReport.reset();
        m_insertEvent.reset();
        m_insertReject.reset();
        m_insertDrop.reset();
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
            m_insertDrop = std::make_unique<Statement>();
            // A receipt already stored makes the insert a no-op (see StoreItem).
            if (!m_insertReport->Prepare(
                    m_write,
                    "INSERT INTO reports (received_at, source, product, kind, channel, os_name,"
                    " os_type, dev_name, ie_ver, ver, sim_id, open_time, close_time, act_time,"
                    " error_msg, document, receipt) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,"
                    " NULLIF(?, '')) ON CONFLICT (receipt) DO NOTHING",
                    error) ||
                !m_insertEvent->Prepare(m_write,
                                        "INSERT INTO events (report_id, name, label, act_time, num)"
                                        " VALUES (?,?,?,?,?)",
                                        error) ||
                !m_insertReject->Prepare(m_write,
                                         "INSERT INTO rejects (received_at, source, reason, detail,"
                                         " raw, receipt) VALUES (?,?,?,?,?, NULLIF(?, ''))"
                                         " ON CONFLICT (receipt) DO NOTHING",
                                         error) ||
                !m_insertDrop->Prepare(m_write,
                                       "INSERT INTO drops (recorded_at, source, reason, count)"
                                       " VALUES (?,?,?,?)",
                                       error)) {
                return false;
            }
            sqlite3_busy_timeout(m_write, kWriteLockWaitMs);
        }
        m_read = OpenConnection(path, SQLITE_OPEN_READONLY, error);
        if (m_read == nullptr) {
            return false;
        }
        const int version = UserVersion(m_read);
        if (version < 1 || version > MigrationCount()) {
            error = SchemaVersionProblem(version);
            return false;
        }
        return true;
    }

    bool Write(const std::vector<const StoreItem*>& items, std::string& error) override {
        m_unreachable = false;
        if (m_write == nullptr) {
            error = "the store is open for reading only";
            return false;
        }
        if (!Exec(m_write, "BEGIN IMMEDIATE", error)) {
            m_unreachable = IsOutOfReach(sqlite3_extended_errcode(m_write));
            return false;
        }
        for (const StoreItem* item : items) {
            const bool written = item->dropTally  ? WriteDrop(*item, error)
                                 : item->rejected ? WriteReject(*item, error)
                                                  : WriteReport(*item, error);
            if (!written) {
                m_unreachable = IsOutOfReach(sqlite3_extended_errcode(m_write));
                std::string ignored;
                Exec(m_write, "ROLLBACK", ignored);
                return false;
            }
        }
        if (!Exec(m_write, "COMMIT", error)) {
            m_unreachable = IsOutOfReach(sqlite3_extended_errcode(m_write));
            std::string ignored;
            Exec(m_write, "ROLLBACK", ignored);
            return false;
        }
        return true;
    }

    bool Unreachable() const override { return m_unreachable; }

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
        insert.Text(17, item.receipt);
        if (!insert.Run(m_write, error)) {
            return false;
        }
        if (sqlite3_changes(m_write) == 0) {
            return true; // stored before, with its events
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
        insert.Text(6, item.receipt);
        return insert.Run(m_write, error);
    }

    bool WriteDrop(const StoreItem& item, std::string& error) {
        Statement& insert = *m_insertDrop;
        insert.Int(1, item.receivedAt);
        insert.Text(2, item.source);
        insert.Text(3, item.detail);
        insert.Int(4, static_cast<int64_t>(item.dropTally));
        return insert.Run(m_write, error);
    }

    // Runs `sql` with integer parameters and calls `row` for each result.
    bool Query(const std::string& sql, std::initializer_list<int64_t> params, std::string& error,
               const std::function<void(const SqlRow&)>& row) {
        Statement stmt;
        if (!stmt.Prepare(m_read, sql.c_str(), error)) {
            return false;
        }
        int index = 1;
        for (int64_t param : params) {
            stmt.Int(index++, param);
        }
        const Row current(stmt);
        int rc;
        while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
            row(current);
        }
        if (rc != SQLITE_DONE) {
            error = LastError(m_read);
            return false;
        }
        return true;
    }

    bool ReadFiguresLocked(int64_t now, int days, int recent, Figures& out, std::string& error) {
        return ReadFiguresWith(
            [this](const std::string& sql, std::initializer_list<int64_t> params,
                   std::string& failure, const std::function<void(const SqlRow&)>& row) {
                return Query(sql, params, failure, row);
            },
            now, days, recent, out, error);
    }

    std::string m_path;
    bool m_unreachable = false; // the last Write failed for a passing cause
    sqlite3* m_write = nullptr;
    sqlite3* m_read = nullptr;
    std::mutex m_readMutex;
    std::unique_ptr<Statement> m_insertReport;
    std::unique_ptr<Statement> m_insertEvent;
    std::unique_ptr<Statement> m_insertReject;
    std::unique_ptr<Statement> m_insertDrop;
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

} // namespace distd
