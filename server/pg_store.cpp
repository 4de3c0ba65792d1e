// The shared report store: PostgreSQL through libpq, so that several distd
// instances behind a load balancer write into and read from one database.
// One connection writes (only the ingest writer thread uses it), another
// reads under its own lock. A batch of reports with their events, rejected
// reports and drop tallies goes to the server as one statement over column
// arrays: one round trip and one transaction however many reports it
// holds. A lost connection is opened again on the next call, so the store
// comes back by itself when the server does.
#include "server/store.h"

#include "server/store_sql.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace distd {

namespace {

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

Result Wrap(PGresult* result) {
    return Result(result, &PQclear);
}

std::string Trimmed(const char* message) {
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text.empty() ? "unknown failure" : text;
}

// The connection URI without its password, for messages and the dashboard.
std::string Redacted(const std::string& uri) {
    const size_t scheme = uri.find("://");
    const size_t at = uri.find('@');
    if (scheme == std::string::npos || at == std::string::npos) {
        return uri;
    }
    const size_t colon = uri.find(':', scheme + 3);
    if (colon == std::string::npos || colon > at) {
        return uri;
    }
    return uri.substr(0, colon) + ":***" + uri.substr(at);
}

// True when a failure says the server is out of reach rather than refusing
// the statement: no answer at all, a broken connection, or the SQLSTATE
// classes of connection failures (08), insufficient resources (53),
// operator intervention such as a shutdown (57), system errors (58) and
// the transaction conflicts that succeed when tried again (40001, 40P01).
bool IsOutOfReach(PGconn* conn, const PGresult* result) {
    if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
        return true;
    }
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    if (state == nullptr) {
        return true;
    }
    const std::string code = state;
    const std::string cls = code.substr(0, 2);
    return cls == "08" || cls == "53" || cls == "57" || cls == "58" || code == "40001" ||
           code == "40P01";
}

// PostgreSQL's text form of an array, built one element at a time.
class ArrayText {
public:
    void Add(const std::string& value) {
        Separator();
        m_text += '"';
        for (char ch : value) {
            if (ch == '"' || ch == '\\') {
                m_text += '\\';
            }
            m_text += ch;
        }
        m_text += '"';
    }
    void Add(int64_t value) {
        Separator();
        m_text += std::to_string(value);
    }
    std::string Text() const { return "{" + m_text + "}"; }

private:
    void Separator() {
        if (m_count++ > 0) {
            m_text += ',';
        }
    }
    std::string m_text;
    size_t m_count = 0;
};

// One statement writes a whole batch. `r` numbers the reports and takes
// their ids from the sequence up front, so events can name their report;
// a report whose receipt is stored already is skipped with its events.
const char* const kWriteBatch =
    "WITH r AS (SELECT nextval('reports_id_seq') AS id, t.* FROM unnest("
    " $1::text[], $2::bigint[], $3::text[], $4::text[], $5::text[], $6::text[], $7::text[],"
    " $8::text[], $9::text[], $10::text[], $11::text[], $12::text[], $13::bigint[],"
    " $14::bigint[], $15::bigint[], $16::text[], $17::text[]) WITH ORDINALITY AS t(receipt,"
    " received_at, source, product, kind, channel, os_name, os_type, dev_name, ie_ver, ver,"
    " sim_id, open_time, close_time, act_time, error_msg, document, n)),"
    " ins AS (INSERT INTO reports (id, receipt, received_at, source, product, kind, channel,"
    " os_name, os_type, dev_name, ie_ver, ver, sim_id, open_time, close_time, act_time,"
    " error_msg, document) SELECT id, NULLIF(receipt, ''), received_at, source, product, kind,"
    " channel, os_name, os_type, dev_name, ie_ver, ver, sim_id, open_time, close_time, act_time,"
    " error_msg, document FROM r ON CONFLICT (receipt) DO NOTHING RETURNING id),"
    " ev AS (INSERT INTO events (report_id, name, label, act_time, num)"
    " SELECT r.id, e.name, e.label, e.act_time, e.num FROM unnest($18::bigint[], $19::text[],"
    " $20::text[], $21::bigint[], $22::bigint[]) AS e(n, name, label, act_time, num)"
    " JOIN r ON r.n = e.n JOIN ins ON ins.id = r.id RETURNING 1),"
    " rj AS (INSERT INTO rejects (receipt, received_at, source, reason, detail, raw)"
    " SELECT NULLIF(receipt, ''), received_at, source, reason, detail, raw FROM unnest("
    " $23::text[], $24::bigint[], $25::text[], $26::text[], $27::text[], $28::text[])"
    " AS j(receipt, received_at, source, reason, detail, raw)"
    " ON CONFLICT (receipt) DO NOTHING RETURNING 1),"
    " dr AS (INSERT INTO drops (recorded_at, source, reason, count) SELECT * FROM unnest("
    " $29::bigint[], $30::text[], $31::text[], $32::bigint[]) RETURNING 1)"
    " SELECT (SELECT COUNT(*) FROM ins), (SELECT COUNT(*) FROM ev), (SELECT COUNT(*) FROM rj),"
    " (SELECT COUNT(*) FROM dr)";
constexpr int kWriteParams = 32;

// Serialises migrations of every instance that starts at the same time.
constexpr const char* kMigrationLock = "SELECT pg_advisory_xact_lock(7305126519604117105)";

class PgRow : public SqlRow {
public:
    PgRow(const PGresult* result, int row) : m_result(result), m_row(row) {}
    std::string Text(int column) const override {
        return std::string(PQgetvalue(m_result, m_row, column),
                           static_cast<size_t>(PQgetlength(m_result, m_row, column)));
    }
    int64_t Int(int column) const override {
        return PQgetisnull(m_result, m_row, column)
                   ? 0
                   : std::strtoll(PQgetvalue(m_result, m_row, column), nullptr, 10);
    }

private:
    const PGresult* m_result;
    int m_row;
};

// A libpq connection that opens (again) on demand.
class Connection {
public:
    explicit Connection(std::string uri) : m_uri(std::move(uri)) {}
    ~Connection() { Close(); }

    // The open connection, or null with a reason.
    PGconn* Get(std::string& error) {
        if (m_conn != nullptr && PQstatus(m_conn) == CONNECTION_OK) {
            return m_conn;
        }
        Close();
        // The URI's own settings win over the defaults before it.
        const char* keys[] = {"connect_timeout", "application_name", "dbname", nullptr};
        const char* values[] = {"5", "distd", m_uri.c_str(), nullptr};
        m_conn = PQconnectdbParams(keys, values, 1);
        if (m_conn == nullptr || PQstatus(m_conn) != CONNECTION_OK) {
            error = "cannot connect: " + Trimmed(m_conn ? PQerrorMessage(m_conn) : nullptr);
            Close();
            return nullptr;
        }
        PQsetNoticeProcessor(
            m_conn, [](void*, const char*) {}, nullptr);
        ++m_opened;
        return m_conn;
    }
    void Close() {
        if (m_conn != nullptr) {
            PQfinish(m_conn);
            m_conn = nullptr;
        }
    }
    // True when the connection was open and is now lost.
    bool Broken() const { return m_conn != nullptr && PQstatus(m_conn) != CONNECTION_OK; }
    // Counts the connections opened, so a caller sees when one is new.
    uint64_t Opened() const { return m_opened; }

    // Runs a statement without parameters; false with a reason.
    bool Exec(const char* sql, std::string& error, Result* out = nullptr) {
        PGconn* conn = Get(error);
        if (conn == nullptr) {
            return false;
        }
        Result result = Wrap(PQexec(conn, sql));
        const ExecStatusType status = PQresultStatus(result.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            error = Trimmed(PQerrorMessage(conn));
            if (out != nullptr) {
                *out = std::move(result);
            }
            return false;
        }
        if (out != nullptr) {
            *out = std::move(result);
        }
        return true;
    }

private:
    std::string m_uri;
    PGconn* m_conn = nullptr;
    uint64_t m_opened = 0;
};

class PgStore : public ReportStore {
public:
    explicit PgStore(const std::string& uri) : m_uri(uri), m_write(uri), m_read(uri) {}

    bool Open(StoreMode mode, std::string& error) {
        m_readOnly = mode == StoreMode::ReadOnly;
        if (mode == StoreMode::ReadWrite) {
            return Migrate(error);
        }
        std::lock_guard<std::mutex> lock(m_readMutex);
        Result result = Wrap(nullptr);
        if (!m_read.Exec("SELECT version FROM distd_schema", error, &result)) {
            if (m_read.Get(error) != nullptr) {
                error = SchemaVersionProblem(0);
            }
            return false;
        }
        const int version =
            PQntuples(result.get()) == 1 ? std::atoi(PQgetvalue(result.get(), 0, 0)) : 0;
        if (version < 1 || version > MigrationCount()) {
            error = SchemaVersionProblem(version);
            return false;
        }
        return true;
    }

    bool Write(const std::vector<const StoreItem*>& items, std::string& error) override {
        m_unreachable = false;
        if (m_readOnly) {
            error = "the store is open for reading only";
            return false;
        }
        PGconn* conn = m_write.Get(error);
        if (conn == nullptr) {
            m_unreachable = true;
            return false;
        }
        if (m_preparedOn != m_write.Opened()) {
            Result prepared =
                Wrap(PQprepare(conn, "write_batch", kWriteBatch, kWriteParams, nullptr));
            if (PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) {
                error = Trimmed(PQerrorMessage(conn));
                m_unreachable = IsOutOfReach(conn, prepared.get());
                return false;
            }
            m_preparedOn = m_write.Opened();
        }
        std::vector<ArrayText> arrays(kWriteParams);
        int64_t reportNumber = 0;
        for (const StoreItem* item : items) {
            if (item->dropTally) {
                arrays[28].Add(item->receivedAt);
                arrays[29].Add(item->source);
                arrays[30].Add(item->detail);
                arrays[31].Add(static_cast<int64_t>(item->dropTally));
            } else if (item->rejected) {
                arrays[22].Add(item->receipt);
                arrays[23].Add(item->receivedAt);
                arrays[24].Add(item->source);
                arrays[25].Add(std::string(RejectReasonName(item->reason)));
                arrays[26].Add(item->detail);
                arrays[27].Add(item->raw);
            } else {
                const ReportRecord& report = item->report;
                ++reportNumber; // WITH ORDINALITY counts from 1
                arrays[0].Add(item->receipt);
                arrays[1].Add(item->receivedAt);
                arrays[2].Add(item->source);
                arrays[3].Add(report.product);
                arrays[4].Add(std::string(ReportKindName(report.kind)));
                arrays[5].Add(report.device.channel);
                arrays[6].Add(report.device.osName);
                arrays[7].Add(report.device.osType);
                arrays[8].Add(report.device.devName);
                arrays[9].Add(report.device.ieVersion);
                arrays[10].Add(report.device.version);
                arrays[11].Add(report.device.simId);
                arrays[12].Add(report.openTime);
                arrays[13].Add(report.closeTime);
                arrays[14].Add(report.actTime);
                arrays[15].Add(report.errorMsg);
                arrays[16].Add(report.document);
                for (const EventRecord& event : report.events) {
                    arrays[17].Add(reportNumber);
                    arrays[18].Add(event.name);
                    arrays[19].Add(event.label);
                    arrays[20].Add(event.actTime);
                    arrays[21].Add(event.num);
                }
            }
        }
        std::vector<std::string> texts;
        std::vector<const char*> values;
        texts.reserve(kWriteParams);
        for (const ArrayText& array : arrays) {
            texts.push_back(array.Text());
        }
        for (const std::string& text : texts) {
            values.push_back(text.c_str());
        }
        Result result = Wrap(
            PQexecPrepared(conn, "write_batch", kWriteParams, values.data(), nullptr, nullptr, 0));
        if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
            error = Trimmed(PQerrorMessage(conn));
            m_unreachable = IsOutOfReach(conn, result.get());
            return false;
        }
        return true;
    }

    bool ReadFigures(int64_t now, int days, int recent, Figures& out, std::string& error) override {
        std::lock_guard<std::mutex> lock(m_readMutex);
        out = Figures();
        // One snapshot for every figure. A connection the server dropped
        // (say, in a restart) shows only when used: then once more anew.
        const char* const begin = "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";
        if (!m_read.Exec(begin, error) && (!m_read.Broken() || !m_read.Exec(begin, error))) {
            return false;
        }
        const bool ok = ReadFiguresWith(
            [this](const std::string& sql, std::initializer_list<int64_t> params,
                   std::string& failure, const std::function<void(const SqlRow&)>& row) {
                return Query(sql, params, failure, row);
            },
            now, days, recent, out, error);
        std::string ignored;
        m_read.Exec(ok ? "COMMIT" : "ROLLBACK", ignored);
        return ok;
    }

    std::string Describe() const override { return "PostgreSQL store " + Redacted(m_uri); }

    bool Unreachable() const override { return m_unreachable; }

private:
    bool Query(const std::string& sql, std::initializer_list<int64_t> params, std::string& error,
               const std::function<void(const SqlRow&)>& row) {
        PGconn* conn = m_read.Get(error);
        if (conn == nullptr) {
            return false;
        }
        std::vector<std::string> texts;
        for (int64_t param : params) {
            texts.push_back(std::to_string(param));
        }
        std::vector<const char*> values;
        for (const std::string& text : texts) {
            values.push_back(text.c_str());
        }
        Result result = Wrap(PQexecParams(conn, DialectSql(SqlDialect::Postgresql, sql).c_str(),
                                          static_cast<int>(values.size()), nullptr, values.data(),
                                          nullptr, nullptr, 0));
        if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
            error = Trimmed(PQerrorMessage(conn));
            return false;
        }
        const int rows = PQntuples(result.get());
        for (int i = 0; i < rows; ++i) {
            row(PgRow(result.get(), i));
        }
        return true;
    }

    // Brings the schema to the current version in one transaction, under a
    // lock that makes instances starting together take turns.
    bool Migrate(std::string& error) {
        if (!m_write.Exec("BEGIN", error)) {
            return false;
        }
        auto fail = [&](const std::string& message) {
            std::string ignored;
            m_write.Exec("ROLLBACK", ignored);
            error = message;
            return false;
        };
        Result result = Wrap(nullptr);
        if (!m_write.Exec(kMigrationLock, error) ||
            !m_write.Exec("CREATE TABLE IF NOT EXISTS distd_schema (version INTEGER NOT NULL)",
                          error) ||
            !m_write.Exec("SELECT version FROM distd_schema", error, &result)) {
            return fail(error);
        }
        int version = 0;
        if (PQntuples(result.get()) == 0) {
            if (!m_write.Exec("INSERT INTO distd_schema VALUES (0)", error)) {
                return fail(error);
            }
        } else {
            version = std::atoi(PQgetvalue(result.get(), 0, 0));
        }
        if (version < 0 || version > MigrationCount()) {
            return fail(SchemaVersionProblem(version));
        }
        for (; version < MigrationCount(); ++version) {
            const std::string bump =
                "UPDATE distd_schema SET version = " + std::to_string(version + 1);
            if (!m_write.Exec(MigrationSql(SqlDialect::Postgresql, version).c_str(), error) ||
                !m_write.Exec(bump.c_str(), error)) {
                return fail("migration to schema version " + std::to_string(version + 1) +
                            " failed: " + error);
            }
        }
        return m_write.Exec("COMMIT", error);
    }

    std::string m_uri;
    Connection m_write;
    uint64_t m_preparedOn = 0; // the connection the batch statement is prepared on
    bool m_unreachable = false;
    bool m_readOnly = false;
    std::mutex m_readMutex;
    Connection m_read;
};

} // namespace

std::unique_ptr<ReportStore> OpenPostgresStore(const std::string& uri, StoreMode mode,
                                               std::string& error) {
    auto store = std::make_unique<PgStore>(uri);
    std::string reason;
    if (!store->Open(mode, reason)) {
        error = "store " + Redacted(uri) + ": " + reason;
        return nullptr;
    }
    return store;
}

} // namespace distd
