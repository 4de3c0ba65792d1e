// The figures as text tables for `distd stats`.
#include "server/dashboard.h"

#include "server/text_util.h"

#include <algorithm>
#include <sstream>
#include <vector>

namespace distd {

namespace {

// Left-aligned text columns, right-aligned number columns.
class Table {
public:
    explicit Table(std::vector<std::string> header) { m_rows.push_back(std::move(header)); }
    void Add(std::vector<std::string> row) {
        for (std::string& cell : row) {
            cell = PrintableText(cell, 120);
            std::replace(cell.begin(), cell.end(), '\n', ' ');
            std::replace(cell.begin(), cell.end(), '\t', ' ');
        }
        m_rows.push_back(std::move(row));
    }
    std::string Render(size_t textColumns) const {
        std::vector<size_t> widths;
        for (const auto& row : m_rows) {
            widths.resize(std::max(widths.size(), row.size()));
            for (size_t c = 0; c < row.size(); ++c) {
                widths[c] = std::max(widths[c], DisplayWidth(row[c]));
            }
        }
        std::ostringstream out;
        for (size_t r = 0; r < m_rows.size(); ++r) {
            std::string line;
            for (size_t c = 0; c < m_rows[r].size(); ++c) {
                const std::string& cell = m_rows[r][c];
                const std::string pad(widths[c] - DisplayWidth(cell), ' ');
                line += c ? "  " : "";
                line += c < textColumns ? cell + pad : pad + cell;
            }
            while (!line.empty() && line.back() == ' ') {
                line.pop_back();
            }
            out << line << "\n";
            if (r == 0) {
                size_t total = 0;
                for (size_t w : widths) {
                    total += w + 2;
                }
                out << std::string(total > 2 ? total - 2 : 0, '-') << "\n";
            }
        }
        return out.str();
    }

private:
    std::vector<std::vector<std::string>> m_rows;
};

} // namespace

std::string RenderStatsTable(const Figures& figures, int64_t now, size_t top) {
    std::ostringstream out;
    int64_t launches = 0;
    int64_t installs = 0;
    int64_t exits = 0;
    Table channels({"channel", "version", "launches", "installs", "exits", "inst/launch",
                    "exit/launch", "exceptions", "event reports"});
    for (const ChannelVersionFigures& row : figures.byChannel) {
        launches += row.launches;
        installs += row.installs;
        exits += row.exits;
    }
    auto add = [&channels](const std::string& channel, const std::string& version,
                           const ChannelVersionFigures& row) {
        channels.Add({channel, version, std::to_string(row.launches), std::to_string(row.installs),
                      std::to_string(row.exits), Percent(row.installs, row.launches),
                      Percent(row.exits, row.launches), std::to_string(row.exceptions),
                      std::to_string(row.eventReports)});
    };
    const ChannelTable table = TopChannels(figures.byChannel, top);
    for (const ChannelVersionFigures& row : table.top) {
        add(row.channel, row.version, row);
    }
    if (table.restPairs > 0) {
        add("(" + std::to_string(table.restPairs) + " other pairs)", "", table.rest);
    }
    out << "reports stored " << figures.reports << ", events " << figures.events << ", rejected "
        << figures.rejected << ", dropped " << figures.dropped << " (as of " << TimeText(now)
        << " UTC)\n";
    out << "launches " << launches << ", installs " << installs << " ("
        << Percent(installs, launches) << " of launches), exits " << exits << " ("
        << Percent(exits, launches) << " of launches)\n\n";
    out << channels.Render(2) << "\n";

    Table daily({"day", "launches", "installs", "exits"});
    for (const DailyFigures& day : figures.daily) {
        if (day.launches || day.installs || day.exits) {
            daily.Add({DayText(day.day), std::to_string(day.launches), std::to_string(day.installs),
                       std::to_string(day.exits)});
        }
    }
    out << daily.Render(1) << "\n";

    Table reasons({"rejected: reason", "reports"});
    for (const ReasonCount& reason : figures.rejectsByReason) {
        reasons.Add({reason.reason, std::to_string(reason.count)});
    }
    out << reasons.Render(1);
    return out.str();
}

} // namespace distd
