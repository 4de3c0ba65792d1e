// The dashboard: per channel and installer version the launches, installs
// ("InstallSuccess" events) and exits with the funnel between them, daily
// series as server-rendered SVG charts, and the rejected reports by reason.
// Plain HTML with inline SVG and styles, no external assets, every value
// that came from a report escaped. The same figures as a text table for
// `distd stats`.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "server/http_server.h"
#include "server/ingest.h"
#include "server/store.h"

namespace distd {

// What the service itself knows (not in the store).
struct ServiceStatus {
    std::string catalogue;
    std::string store;
    IngestQueue::Counters ingest;
    HttpCounters http;
    bool live = false; // false for `distd stats` (no running service)
};

constexpr int kDashboardDays = 30;
constexpr int kDashboardRecent = 10;
// Channel/version rows shown; the others are summed in one row.
constexpr size_t kTopChannelRows = 50;

// The channel table's rows: the `top` pairs with the most launches (ties:
// more installs, then channel and version in byte order), and every other
// pair summed in `rest`.
struct ChannelTable {
    std::vector<ChannelVersionFigures> top;
    ChannelVersionFigures rest; // the figures of the pairs not in `top`
    size_t restPairs = 0;       // how many pairs `rest` sums
};
ChannelTable TopChannels(const std::vector<ChannelVersionFigures>& rows, size_t top);

std::string RenderDashboard(const Figures& figures, int64_t now, const ServiceStatus& status);

// What this instance's ingest counters say, as (label, value) lines, and
// as plain text for when the store cannot be read.
std::vector<std::pair<std::string, std::string>>
IngestStatusLines(const IngestQueue::Counters& ingest);
std::string RenderIngestStatus(const ServiceStatus& status);
// The same for the HTTP layer's connections and refusals.
std::vector<std::pair<std::string, std::string>> HttpStatusLines(const HttpCounters& http);

// The figures as plain text tables (printable, no control characters),
// with the `top` channel/version pairs and the rest summed.
std::string RenderStatsTable(const Figures& figures, int64_t now, size_t top = kTopChannelRows);

// "YYYY-MM-DD" of a day number (days since 1970-01-01) and "YYYY-MM-DD
// HH:MM:SS" of a time (UTC).
std::string DayText(int64_t day);
std::string TimeText(int64_t secondsSince1970);

// A share as "12.5%", or "–" when the whole is 0.
std::string Percent(int64_t part, int64_t whole);

} // namespace distd
