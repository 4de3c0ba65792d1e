// Fills a distd SQLite store with PAIRS distinct channel/version pairs,
// each with a launch, an exit and an install event, for the dashboard
// benchmark (bench/distd_dashboard.sh).
//
//   bench_distd_fill STORE [pairs]      default: 100000
#include "server/store.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_distd_fill STORE [pairs]\n");
        return 2;
    }
    const long pairs = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 100000;
    std::string error;
    auto store = distd::OpenSqliteStore(argv[1], distd::StoreMode::ReadWrite, error);
    if (!store) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    std::vector<distd::StoreItem> batch;
    for (long i = 0; i < pairs; ++i) {
        for (int kind = 0; kind < 3; ++kind) {
            distd::StoreItem item;
            item.receipt = "fill-" + std::to_string(i) + "-" + std::to_string(kind);
            item.receivedAt = now - (i % 30) * 86400;
            item.source = "127.0.0.1";
            distd::ReportRecord& report = item.report;
            report.product = "51";
            report.device.channel = "c" + std::to_string(i % 1000);
            report.device.version = "1." + std::to_string(i / 1000) + "." + std::to_string(i);
            report.device.devName = "device";
            report.document = "{}";
            report.kind = kind == 0   ? distd::ReportKind::Launch
                          : kind == 1 ? distd::ReportKind::Exit
                                      : distd::ReportKind::Events;
            if (kind == 2) {
                report.events.push_back({"install", "InstallSuccess", now, 1});
            }
            batch.push_back(std::move(item));
        }
        if (batch.size() >= 30000 || i + 1 == pairs) {
            std::vector<const distd::StoreItem*> items;
            for (const auto& item : batch) {
                items.push_back(&item);
            }
            if (!store->Write(items, error)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return 1;
            }
            batch.clear();
        }
    }
    std::printf("filled %ld pairs\n", pairs);
    return 0;
}
