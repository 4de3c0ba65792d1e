// Where reports end up: one small interface, so that the embedded SQLite
// store and a shared database server can stand in for each other. A store
// writes batches of items all or nothing and reads back the figures the
// dashboard and `distd stats` show.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "server/report_check.h"

namespace distd {

// One received report: a valid one with its record, or a rejected one with
// its reason and (truncated, printable) raw text. An item with a non-zero
// `dropTally` is no report but the count of reports this instance had to
// drop (reason in `detail`), so that every instance's losses end up in the
// shared store.
struct StoreItem {
    // Unique per received report across every instance; a report whose
    // receipt is already stored is skipped, so writing a batch again after
    // an unclear failure (a connection lost during commit) stores nothing
    // twice. Empty: no such check.
    std::string receipt;
    bool rejected = false;
    uint64_t dropTally = 0;
    int64_t receivedAt = 0;                      // seconds since 1970, UTC
    std::string source;                          // the sender's address
    ReportRecord report;                         // when not rejected
    RejectReason reason = RejectReason::NoValue; // when rejected
    std::string detail;                          // when rejected
    std::string raw;                             // when rejected: at most kRawTextBytes, printable
};
constexpr size_t kRawTextBytes = 512;

struct ChannelVersionFigures {
    std::string channel;
    std::string version;
    int64_t launches = 0;
    int64_t installs = 0; // "InstallSuccess" events
    int64_t exits = 0;
    int64_t exceptions = 0;
    int64_t eventReports = 0;
};

struct DailyFigures {
    int64_t day = 0; // days since 1970-01-01 (UTC)
    int64_t launches = 0;
    int64_t installs = 0;
    int64_t exits = 0;
};

struct ReasonCount {
    std::string reason;
    int64_t count = 0;
};

struct RecentReject {
    int64_t receivedAt = 0;
    std::string source;
    std::string reason;
    std::string detail;
    std::string raw;
};

struct RecentReport {
    int64_t receivedAt = 0;
    std::string source;
    std::string kind;
    std::string channel;
    std::string version;
    std::string devName;
    std::string osName;
};

struct Figures {
    int64_t reports = 0;
    int64_t events = 0;
    int64_t rejected = 0;
    int64_t dropped = 0;                          // reports the instances counted as dropped
    std::vector<ChannelVersionFigures> byChannel; // ordered by channel, then version
    std::vector<DailyFigures> daily;              // every day of the window, oldest first
    std::vector<ReasonCount> rejectsByReason;     // most frequent first
    std::vector<RecentReject> recentRejects;      // newest first
    std::vector<RecentReport> recentReports;      // newest first
};

class ReportStore {
public:
    virtual ~ReportStore() = default;

    // Writes every item in one transaction: all are durable when this
    // returns true, none when it returns false (with a reason).
    virtual bool Write(const std::vector<const StoreItem*>& items, std::string& error) = 0;

    // The figures, with a daily series of `days` days ending on the day of
    // `now` (seconds since 1970) and the last `recent` reports and rejected
    // reports.
    virtual bool ReadFigures(int64_t now, int days, int recent, Figures& out,
                             std::string& error) = 0;

    // Where the data lives, for messages.
    virtual std::string Describe() const = 0;

    // After a failed Write: true when the store itself was out of reach (the
    // server gone or restarting, the connection lost) rather than refusing
    // these items. The items may then be written again later.
    virtual bool Unreachable() const { return false; }
};

enum class StoreMode { ReadWrite, ReadOnly };

// The embedded store: a SQLite database in WAL mode at `path`, created and
// migrated to the current schema in ReadWrite mode. ReadOnly needs an
// existing store and never changes it. Null with a reason on failure.
std::unique_ptr<ReportStore> OpenSqliteStore(const std::string& path, StoreMode mode,
                                             std::string& error);

// The shared store: a PostgreSQL database named by a libpq connection URI
// ("postgresql://user@host:port/db?..."), created and migrated to the
// current schema in ReadWrite mode. Several instances may share it.
std::unique_ptr<ReportStore> OpenPostgresStore(const std::string& uri, StoreMode mode,
                                               std::string& error);

// The store a `--store` value names: "sqlite:PATH", a bare PATH (SQLite), or
// a "postgresql://" or "postgres://" URI.
std::unique_ptr<ReportStore> OpenStore(const std::string& spec, StoreMode mode, std::string& error);

// The schema version this build creates and understands (both stores).
int SqliteSchemaVersion();
int StoreSchemaVersion();

} // namespace distd
