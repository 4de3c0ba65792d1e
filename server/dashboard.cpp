// The dashboard page.
#include "server/dashboard.h"

#include "server/text_util.h"

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace distd {

namespace {

const char* const kLaunchColour = "#2b6cb0";
const char* const kInstallColour = "#2f855a";
const char* const kExitColour = "#c05621";

const char* const kStyle =
    "body{font-family:'DejaVu Sans',Arial,sans-serif;margin:0;background:#f4f6f8;color:#1a202c}"
    "header{background:#1a365d;color:#fff;padding:16px 28px}"
    "header h1{margin:0;font-size:22px}header p{margin:4px 0 0;color:#cbd5e0;font-size:13px}"
    "main{padding:8px 28px 28px;max-width:1100px}"
    "section{background:#fff;border-radius:6px;padding:14px 18px;margin:16px 0;"
    "box-shadow:0 1px 2px rgba(0,0,0,.08)}"
    "h2{font-size:16px;margin:0 0 10px}"
    "table{border-collapse:collapse;width:100%;font-size:13px}"
    "th,td{text-align:left;padding:5px 8px;border-bottom:1px solid #e2e8f0;vertical-align:top}"
    "th{background:#edf2f7}td.n{text-align:right;font-variant-numeric:tabular-nums}"
    "td.raw{font-family:'DejaVu Sans Mono',monospace;font-size:12px;word-break:break-all}"
    ".cards{display:flex;gap:12px;flex-wrap:wrap}"
    ".card{flex:1;min-width:140px;background:#fff;border-radius:6px;padding:12px 16px;"
    "box-shadow:0 1px 2px rgba(0,0,0,.08)}"
    ".card b{display:block;font-size:24px}.card span{color:#4a5568;font-size:12px}"
    ".empty{color:#718096;font-style:italic}";

std::string Num(int64_t value) {
    return std::to_string(value);
}

std::string Card(const std::string& label, int64_t value, const char* colour) {
    return "<div class=\"card\"><b style=\"color:" + std::string(colour) + "\">" + Num(value) +
           "</b><span>" + label + "</span></div>";
}

// A rounded-up axis maximum: 1, 2 or 5 times a power of ten.
int64_t AxisMax(int64_t value) {
    int64_t step = 1;
    while (true) {
        for (int64_t m : {1, 2, 5}) {
            if (value <= m * step) {
                return m * step;
            }
        }
        step *= 10;
    }
}

std::string DailyChart(const Figures& figures) {
    const int width = 980;
    const int height = 260;
    const int left = 48;
    const int right = 16;
    const int top = 16;
    const int bottom = 40;
    const int plotW = width - left - right;
    const int plotH = height - top - bottom;
    int64_t peak = 1;
    for (const DailyFigures& day : figures.daily) {
        peak = std::max({peak, day.launches, day.installs, day.exits});
    }
    const int64_t axis = AxisMax(peak);
    const size_t n = figures.daily.size();
    auto x = [&](size_t i) {
        return left + (n > 1 ? plotW * static_cast<double>(i) / (n - 1) : 0);
    };
    auto y = [&](int64_t v) { return top + plotH - plotH * static_cast<double>(v) / axis; };
    std::ostringstream svg;
    svg.setf(std::ios::fixed);
    svg.precision(1);
    svg << "<svg id=\"daily\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width
        << "\" height=\"" << height << "\" viewBox=\"0 0 " << width << " " << height
        << "\" role=\"img\" aria-label=\"Daily launches, installs and exits\">";
    for (int tick = 0; tick <= 4; ++tick) {
        const int64_t value = axis * tick / 4;
        const double ty = y(value);
        svg << "<line x1=\"" << left << "\" x2=\"" << width - right << "\" y1=\"" << ty
            << "\" y2=\"" << ty << "\" stroke=\"#e2e8f0\"/>";
        svg << "<text x=\"" << left - 6 << "\" y=\"" << ty + 4
            << "\" font-size=\"11\" text-anchor=\"end\" fill=\"#4a5568\">" << value << "</text>";
    }
    for (size_t i = 0; i < n; i += 5) {
        const std::string day = DayText(figures.daily[i].day);
        svg << "<text x=\"" << x(i) << "\" y=\"" << height - bottom + 16
            << "\" font-size=\"11\" text-anchor=\"middle\" fill=\"#4a5568\">" << day.substr(5)
            << "</text>";
    }
    struct Series {
        const char* name;
        const char* colour;
        int64_t DailyFigures::*field;
    };
    const Series series[] = {{"launches", kLaunchColour, &DailyFigures::launches},
                             {"installs", kInstallColour, &DailyFigures::installs},
                             {"exits", kExitColour, &DailyFigures::exits}};
    int legendX = left;
    for (const Series& s : series) {
        svg << "<polyline class=\"series-" << s.name << "\" fill=\"none\" stroke=\"" << s.colour
            << "\" stroke-width=\"2.5\" points=\"";
        for (size_t i = 0; i < n; ++i) {
            svg << (i ? " " : "") << x(i) << "," << y(figures.daily[i].*s.field);
        }
        svg << "\"/>";
        for (size_t i = 0; i < n; ++i) {
            const int64_t v = figures.daily[i].*s.field;
            if (v > 0) {
                svg << "<circle cx=\"" << x(i) << "\" cy=\"" << y(v) << "\" r=\"3.5\" fill=\""
                    << s.colour << "\"><title>" << DayText(figures.daily[i].day) << ": " << v << " "
                    << s.name << "</title></circle>";
            }
        }
        svg << "<rect x=\"" << legendX << "\" y=\"" << height - 14 << "\" width=\"12\" "
            << "height=\"4\" fill=\"" << s.colour << "\"/><text x=\"" << legendX + 16 << "\" y=\""
            << height - 9 << "\" font-size=\"12\" fill=\"#2d3748\">" << s.name << "</text>";
        legendX += 100;
    }
    svg << "</svg>";
    return svg.str();
}

std::string FunnelChart(int64_t launches, int64_t installs, int64_t exits) {
    const int width = 980;
    const int barH = 30;
    const int labelW = 90;
    const int64_t whole = std::max<int64_t>({launches, installs, exits, 1});
    std::ostringstream svg;
    svg.setf(std::ios::fixed);
    svg.precision(1);
    svg << "<svg id=\"funnel\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width
        << "\" height=\"" << 3 * (barH + 10) << "\" role=\"img\" aria-label=\"Funnel\">";
    const struct {
        const char* name;
        int64_t value;
        const char* colour;
    } bars[] = {{"launches", launches, kLaunchColour},
                {"installs", installs, kInstallColour},
                {"exits", exits, kExitColour}};
    int row = 0;
    for (const auto& bar : bars) {
        const double w = (width - labelW - 260) * static_cast<double>(bar.value) / whole;
        const int top = row * (barH + 10);
        svg << "<text x=\"0\" y=\"" << top + 20 << "\" font-size=\"13\" fill=\"#2d3748\">"
            << bar.name << "</text>";
        svg << "<rect class=\"bar-" << bar.name << "\" x=\"" << labelW << "\" y=\"" << top
            << "\" width=\"" << std::max(w, 1.0) << "\" height=\"" << barH << "\" rx=\"3\" fill=\""
            << bar.colour << "\"/>";
        svg << "<text x=\"" << labelW + std::max(w, 1.0) + 8 << "\" y=\"" << top + 20
            << "\" font-size=\"13\" fill=\"#2d3748\">" << bar.value << " ("
            << Percent(bar.value, launches) << " of launches)</text>";
        ++row;
    }
    svg << "</svg>";
    return svg.str();
}

} // namespace

ChannelTable TopChannels(const std::vector<ChannelVersionFigures>& rows, size_t top) {
    std::vector<const ChannelVersionFigures*> order;
    order.reserve(rows.size());
    for (const ChannelVersionFigures& row : rows) {
        order.push_back(&row);
    }
    const size_t shown = std::min(top, order.size());
    std::partial_sort(
        order.begin(), order.begin() + static_cast<std::ptrdiff_t>(shown), order.end(),
        [](const ChannelVersionFigures* a, const ChannelVersionFigures* b) {
            if (a->launches != b->launches) {
                return a->launches > b->launches;
            }
            if (a->installs != b->installs) {
                return a->installs > b->installs;
            }
            return a->channel != b->channel ? a->channel < b->channel : a->version < b->version;
        });
    ChannelTable table;
    for (size_t i = 0; i < order.size(); ++i) {
        const ChannelVersionFigures& row = *order[i];
        if (i < shown) {
            table.top.push_back(row);
            continue;
        }
        table.rest.launches += row.launches;
        table.rest.installs += row.installs;
        table.rest.exits += row.exits;
        table.rest.exceptions += row.exceptions;
        table.rest.eventReports += row.eventReports;
        ++table.restPairs;
    }
    return table;
}

std::string DayText(int64_t day) {
    return TimeText(day * 86400).substr(0, 10);
}

std::string TimeText(int64_t secondsSince1970) {
    const time_t t = static_cast<time_t>(secondsSince1970);
    struct tm parts;
    gmtime_r(&t, &parts);
    char text[80]; // room for any int the compiler can imagine in each field
    std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

std::string Percent(int64_t part, int64_t whole) {
    if (whole <= 0) {
        return "\xE2\x80\x93"; // en dash
    }
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f%%", 100.0 * static_cast<double>(part) / whole);
    return text;
}

std::string RenderDashboard(const Figures& figures, int64_t now, const ServiceStatus& status) {
    int64_t launches = 0;
    int64_t installs = 0;
    int64_t exits = 0;
    for (const ChannelVersionFigures& row : figures.byChannel) {
        launches += row.launches;
        installs += row.installs;
        exits += row.exits;
    }
    std::ostringstream html;
    html << "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
         << "<title>distd \xE2\x80\x94 installs and reports</title><style>" << kStyle
         << "</style></head><body><header><h1>distd \xE2\x80\x94 installs and reports</h1><p>"
         << "generated " << TimeText(now) << " UTC \xC2\xB7 " << HtmlEscape(status.store)
         << " \xC2\xB7 catalogue " << HtmlEscape(status.catalogue) << "</p></header><main>";

    html << "<div class=\"cards\">" << Card("launches", launches, kLaunchColour)
         << Card("installs", installs, kInstallColour) << Card("exits", exits, kExitColour)
         << Card("reports stored", figures.reports, "#2d3748")
         << Card("reports rejected", figures.rejected, "#9b2c2c")
         << Card("reports dropped", figures.dropped, "#744210") << "</div>";

    html << "<section><h2>Funnel: launches \xE2\x86\x92 installs \xE2\x86\x92 exits</h2>"
         << FunnelChart(launches, installs, exits) << "</section>";

    html << "<section><h2>Daily, last " << figures.daily.size() << " days (UTC)</h2>"
         << DailyChart(figures) << "</section>";

    const ChannelTable channels = TopChannels(figures.byChannel, kTopChannelRows);
    html << "<section><h2>By channel and installer version";
    if (channels.restPairs > 0) {
        html << ": the " << channels.top.size() << " with the most launches of "
             << figures.byChannel.size();
    }
    html << "</h2>";
    if (figures.byChannel.empty()) {
        html << "<p class=\"empty\">No reports yet.</p>";
    } else {
        html << "<table id=\"channels\"><tr><th>channel</th><th>installer version</th>"
             << "<th>launches</th><th>installs</th><th>exits</th><th>installs / launches</th>"
             << "<th>exits / launches</th><th>exceptions</th><th>event reports</th></tr>";
        auto row = [&html](const std::string& channel, const std::string& version,
                           const ChannelVersionFigures& f, const char* cls) {
            html << "<tr" << cls << "><td>" << channel << "</td><td>" << version
                 << "</td><td class=\"n\">" << f.launches << "</td><td class=\"n\">" << f.installs
                 << "</td><td class=\"n\">" << f.exits << "</td><td class=\"n\">"
                 << Percent(f.installs, f.launches) << "</td><td class=\"n\">"
                 << Percent(f.exits, f.launches) << "</td><td class=\"n\">" << f.exceptions
                 << "</td><td class=\"n\">" << f.eventReports << "</td></tr>";
        };
        for (const ChannelVersionFigures& pair : channels.top) {
            row(HtmlEscape(pair.channel), HtmlEscape(pair.version), pair, "");
        }
        if (channels.restPairs > 0) {
            row("<i>the other " + std::to_string(channels.restPairs) + " pairs</i>", "",
                channels.rest, " class=\"rest\"");
        }
        html << "</table>";
    }
    html << "</section>";

    html << "<section><h2>Latest reports</h2>";
    if (figures.recentReports.empty()) {
        html << "<p class=\"empty\">None.</p>";
    } else {
        html << "<table id=\"latest\"><tr><th>received (UTC)</th><th>from</th><th>kind</th>"
             << "<th>channel</th><th>installer version</th><th>device</th><th>system</th></tr>";
        for (const RecentReport& report : figures.recentReports) {
            html << "<tr><td>" << TimeText(report.receivedAt) << "</td><td>"
                 << HtmlEscape(report.source) << "</td><td>" << HtmlEscape(report.kind)
                 << "</td><td>" << HtmlEscape(report.channel) << "</td><td>"
                 << HtmlEscape(report.version) << "</td><td class=\"raw\">"
                 << HtmlEscape(report.devName) << "</td><td>" << HtmlEscape(report.osName)
                 << "</td></tr>";
        }
        html << "</table>";
    }
    html << "</section>";

    html << "<section><h2>Rejected reports by reason</h2>";
    if (figures.rejectsByReason.empty()) {
        html << "<p class=\"empty\">None.</p>";
    } else {
        html << "<table id=\"rejects\"><tr><th>reason</th><th>reports</th></tr>";
        for (const ReasonCount& reason : figures.rejectsByReason) {
            html << "<tr><td>" << HtmlEscape(reason.reason) << "</td><td class=\"n\">"
                 << reason.count << "</td></tr>";
        }
        html << "</table><h2 style=\"margin-top:14px\">Latest rejected reports</h2>"
             << "<table id=\"recent\"><tr><th>received (UTC)</th><th>from</th><th>reason</th>"
             << "<th>detail</th><th>request (truncated)</th></tr>";
        for (const RecentReject& reject : figures.recentRejects) {
            html << "<tr><td>" << TimeText(reject.receivedAt) << "</td><td>"
                 << HtmlEscape(reject.source) << "</td><td>" << HtmlEscape(reject.reason)
                 << "</td><td>" << HtmlEscape(reject.detail) << "</td><td class=\"raw\">"
                 << HtmlEscape(reject.raw) << "</td></tr>";
        }
        html << "</table>";
    }
    html << "</section>";

    if (status.live) {
        html << "<section><h2>This instance</h2><table id=\"service\">";
        for (const auto& lines : {IngestStatusLines(status.ingest), HttpStatusLines(status.http)}) {
            for (const auto& line : lines) {
                html << "<tr><td>" << HtmlEscape(line.first) << "</td><td class=\"n\">"
                     << HtmlEscape(line.second) << "</td></tr>";
            }
        }
        html << "</table></section>";
    }
    html << "</main></body></html>\n";
    return html.str();
}

std::vector<std::pair<std::string, std::string>>
IngestStatusLines(const IngestQueue::Counters& ingest) {
    return {
        {"store", ingest.unreachable ? "out of reach, spooling reports" : "reachable"},
        {"backlog (waiting in memory to be written)", std::to_string(ingest.backlog)},
        {"spool: reports waiting for the store", std::to_string(ingest.spooled)},
        {"spool: bytes used of its bound",
         std::to_string(ingest.spoolBytes) + " / " + std::to_string(ingest.spoolMaxBytes)},
        {"stored since start", std::to_string(ingest.stored)},
        {"answered from the spool (store slow or out of reach)", std::to_string(ingest.deferred)},
        {"replayed from the spool into the store", std::to_string(ingest.replayed)},
        {"dropped: spool full or failing", std::to_string(ingest.busy)},
        {"dropped: refused by the store", std::to_string(ingest.failed)},
        {"drops not yet recorded in the store", std::to_string(ingest.unrecordedDrops)},
        {"writes that found the store out of reach", std::to_string(ingest.retries)},
        {"transactions", std::to_string(ingest.transactions)},
    };
}

std::vector<std::pair<std::string, std::string>> HttpStatusLines(const HttpCounters& http) {
    return {
        {"connections open (waiting for a request)",
         std::to_string(http.open) + " (" + std::to_string(http.idle) + ") of at most " +
             std::to_string(http.maxConnections)},
        {"connections accepted", std::to_string(http.accepted)},
        {"requests answered", std::to_string(http.requests)},
        {"closed idle: timeout", std::to_string(http.idleClosed)},
        {"closed idle: room for a new one", std::to_string(http.evicted)},
        {"refused: too slow (408)", std::to_string(http.timedOut)},
        {"refused: malformed (400)", std::to_string(http.malformed)},
        {"refused: too large (413, 414, 431)", std::to_string(http.oversized)},
        {"answers cut: client not reading", std::to_string(http.sendStalled)},
        {"accepting paused at the cap", std::to_string(http.acceptPauses)},
        {"accept failures", std::to_string(http.acceptErrors)},
    };
}

std::string RenderIngestStatus(const ServiceStatus& status) {
    std::string text = status.store + "\n";
    for (const auto& lines : {IngestStatusLines(status.ingest), HttpStatusLines(status.http)}) {
        for (const auto& line : lines) {
            text += line.first + ": " + line.second + "\n";
        }
    }
    return text;
}

} // namespace distd
