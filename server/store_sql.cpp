// The shared schema and figure queries of the SQL stores.
#include "server/store_sql.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace distd {

namespace {

// Schema migrations: entry i brings a store from version i to i + 1.
// "{id}" is the row id column, "{int}" a 64-bit integer column.
const char* const kMigrations[] = {
    // 1: reports with their device block, their events, rejected reports.
    "CREATE TABLE reports ("
    " id {id},"
    " received_at {int} NOT NULL,"
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
    " open_time {int} NOT NULL,"
    " close_time {int} NOT NULL,"
    " act_time {int} NOT NULL,"
    " error_msg TEXT NOT NULL,"
    " document TEXT NOT NULL);"
    "CREATE TABLE events ("
    " id {id},"
    " report_id {int} NOT NULL REFERENCES reports(id),"
    " name TEXT NOT NULL,"
    " label TEXT NOT NULL,"
    " act_time {int} NOT NULL,"
    " num {int} NOT NULL);"
    "CREATE TABLE rejects ("
    " id {id},"
    " received_at {int} NOT NULL,"
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
    // 3: receipts, so that a batch written again stores nothing twice, and
    // the reports each instance had to drop.
    "ALTER TABLE reports ADD COLUMN receipt TEXT;"
    "ALTER TABLE rejects ADD COLUMN receipt TEXT;"
    "CREATE UNIQUE INDEX reports_by_receipt ON reports(receipt);"
    "CREATE UNIQUE INDEX rejects_by_receipt ON rejects(receipt);"
    "CREATE TABLE drops ("
    " id {id},"
    " recorded_at {int} NOT NULL,"
    " source TEXT NOT NULL,"
    " reason TEXT NOT NULL,"
    " count {int} NOT NULL);",
};
constexpr int kSchemaVersion = static_cast<int>(sizeof(kMigrations) / sizeof(kMigrations[0]));

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

// The rows by channel and version, each found through an index: the two
// grouped queries meet in one pass, however many pairs there are.
class ChannelRows {
public:
    explicit ChannelRows(std::vector<ChannelVersionFigures>& rows) : m_rows(rows) {}
    ChannelVersionFigures& Row(std::string channel, std::string version) {
        auto key = std::make_pair(std::move(channel), std::move(version));
        const auto found = m_index.find(key);
        if (found != m_index.end()) {
            return m_rows[found->second];
        }
        m_rows.push_back(ChannelVersionFigures());
        m_rows.back().channel = key.first;
        m_rows.back().version = key.second;
        m_index.emplace(std::move(key), m_rows.size() - 1);
        return m_rows.back();
    }

private:
    std::vector<ChannelVersionFigures>& m_rows;
    std::map<std::pair<std::string, std::string>, size_t> m_index;
};

} // namespace

int MigrationCount() {
    return kSchemaVersion;
}

int StoreSchemaVersion() {
    return kSchemaVersion;
}

int SqliteSchemaVersion() {
    return kSchemaVersion;
}

std::string MigrationSql(SqlDialect dialect, int index) {
    if (index < 0 || index >= kSchemaVersion) {
        return std::string();
    }
    std::string sql = kMigrations[index];
    const bool pg = dialect == SqlDialect::Postgresql;
    // In SQLite only "INTEGER PRIMARY KEY" makes the column the row id.
    ReplaceAll(sql, "{id}", pg ? "BIGSERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY");
    ReplaceAll(sql, "{int}", pg ? "BIGINT" : "INTEGER");
    return sql;
}

std::string DialectSql(SqlDialect dialect, const std::string& sql) {
    if (dialect == SqlDialect::Sqlite) {
        return sql;
    }
    std::string out = sql;
    for (size_t i = 0; i + 1 < out.size(); ++i) {
        if (out[i] == '?' && out[i + 1] >= '1' && out[i + 1] <= '9') {
            out[i] = '$';
        }
    }
    return out;
}

std::string SchemaVersionProblem(int version) {
    if (version < 1) {
        return "it is not a distd store (schema version " + std::to_string(version) + ")";
    }
    return "it has schema version " + std::to_string(version) + ", newer than this distd knows (" +
           std::to_string(kSchemaVersion) + ")";
}

bool ReadFiguresWith(const SqlQuery& query, int64_t now, int days, int recent, Figures& out,
                     std::string& error) {
    auto one = [&](const char* sql, int64_t& value) {
        return query(sql, {}, error, [&](const SqlRow& s) { value = s.Int(0); });
    };
    if (!one("SELECT COUNT(*) FROM reports", out.reports) ||
        !one("SELECT COUNT(*) FROM events", out.events) ||
        !one("SELECT COUNT(*) FROM rejects", out.rejected) ||
        !one("SELECT COALESCE(SUM(count), 0) FROM drops", out.dropped)) {
        return false;
    }
    std::vector<ChannelVersionFigures>& rows = out.byChannel;
    ChannelRows index(rows);
    if (!query("SELECT channel, ver, SUM(CASE WHEN kind = 'launch' THEN 1 ELSE 0 END),"
               " SUM(CASE WHEN kind = 'exit' THEN 1 ELSE 0 END),"
               " SUM(CASE WHEN kind = 'exception' THEN 1 ELSE 0 END),"
               " SUM(CASE WHEN kind = 'events' THEN 1 ELSE 0 END) FROM reports"
               " GROUP BY channel, ver",
               {}, error,
               [&](const SqlRow& s) {
                   ChannelVersionFigures& row = index.Row(s.Text(0), s.Text(1));
                   row.launches = s.Int(2);
                   row.exits = s.Int(3);
                   row.exceptions = s.Int(4);
                   row.eventReports = s.Int(5);
               }) ||
        !query("SELECT r.channel, r.ver, COUNT(*) FROM events e JOIN reports r"
               " ON r.id = e.report_id WHERE e.label = 'InstallSuccess'"
               " GROUP BY r.channel, r.ver",
               {}, error,
               [&](const SqlRow& s) { index.Row(s.Text(0), s.Text(1)).installs = s.Int(2); })) {
        return false;
    }
    // Byte order on both stores, whatever the database's collation.
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
    if (!query("SELECT received_at / 86400, SUM(CASE WHEN kind = 'launch' THEN 1 ELSE 0 END),"
               " SUM(CASE WHEN kind = 'exit' THEN 1 ELSE 0 END)"
               " FROM reports WHERE received_at >= ?1 AND received_at < ?2 GROUP BY 1",
               {first * 86400, (today + 1) * 86400}, error,
               [&](const SqlRow& s) {
                   if (DailyFigures* day = dayAt(s.Int(0))) {
                       day->launches = s.Int(1);
                       day->exits = s.Int(2);
                   }
               }) ||
        !query("SELECT r.received_at / 86400, COUNT(*) FROM events e JOIN reports r"
               " ON r.id = e.report_id WHERE e.label = 'InstallSuccess'"
               " AND r.received_at >= ?1 AND r.received_at < ?2 GROUP BY 1",
               {first * 86400, (today + 1) * 86400}, error, [&](const SqlRow& s) {
                   if (DailyFigures* day = dayAt(s.Int(0))) {
                       day->installs = s.Int(1);
                   }
               })) {
        return false;
    }
    if (!query("SELECT received_at, source, kind, channel, ver, dev_name, os_name"
               " FROM reports ORDER BY id DESC LIMIT ?1",
               {recent}, error, [&](const SqlRow& s) {
                   RecentReport report;
                   report.receivedAt = s.Int(0);
                   report.source = s.Text(1);
                   report.kind = s.Text(2);
                   report.channel = s.Text(3);
                   report.version = s.Text(4);
                   report.devName = s.Text(5);
                   report.osName = s.Text(6);
                   out.recentReports.push_back(report);
               })) {
        return false;
    }
    if (!query("SELECT reason, COUNT(*) FROM rejects GROUP BY reason", {}, error,
               [&](const SqlRow& s) {
                   out.rejectsByReason.push_back({s.Text(0), s.Int(1)});
               })) {
        return false;
    }
    std::sort(out.rejectsByReason.begin(), out.rejectsByReason.end(),
              [](const ReasonCount& a, const ReasonCount& b) {
                  return a.count != b.count ? a.count > b.count : a.reason < b.reason;
              });
    return query("SELECT received_at, source, reason, detail, raw FROM rejects"
                 " ORDER BY id DESC LIMIT ?1",
                 {recent}, error, [&](const SqlRow& s) {
                     RecentReject reject;
                     reject.receivedAt = s.Int(0);
                     reject.source = s.Text(1);
                     reject.reason = s.Text(2);
                     reject.detail = s.Text(3);
                     reject.raw = s.Text(4);
                     out.recentRejects.push_back(reject);
                 });
}

} // namespace distd
