// distd: the installer's configuration API, download server and statistics
// collector with its dashboard.
//
//   distd serve [--listen HOST:PORT] --catalogue FILE [--store STORE] [--workers N]
//               [--backlog N] [--spool FILE] [--spool-max SIZE] [--download-rate RATE]
//   distd check FILE
//   distd stats [--store STORE] [--all]
#include "server/dashboard.h"
#include "server/service.h"
#include "server/text_util.h"

#include <pthread.h>
#include <signal.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

const char* const kUsage =
    "usage: distd serve [--listen HOST:PORT] --catalogue FILE [--store STORE] [--workers N]\n"
    "                   [--backlog N] [--spool FILE] [--spool-max SIZE] [--download-rate RATE]\n"
    "       distd check FILE\n"
    "       distd stats [--store STORE] [--all]\n"
    "\n"
    "serve  answers the install configuration, serves the packages, receives the\n"
    "       statistics reports and shows the dashboard at /. Listens on\n"
    "       127.0.0.1:8780 unless told otherwise (port 0: any free port). SIGTERM\n"
    "       or SIGINT stops it cleanly; SIGHUP reloads the catalogue (a catalogue\n"
    "       that fails to load is refused and the one in force stays).\n"
    "check  validates a catalogue and prints what each channel would get.\n"
    "stats  prints the dashboard's figures as tables: the 50 channel/version\n"
    "       pairs with the most launches and the rest summed, or with --all\n"
    "       every pair.\n"
    "\n"
    "STORE  sqlite:PATH or a bare PATH: a SQLite file (the default, ./distd.db);\n"
    "       postgresql://USER@HOST:PORT/DATABASE: a PostgreSQL database that\n"
    "       several instances may share.\n"
    "--backlog N  reports waiting in memory for the store (default 4096); past\n"
    "       it, and whenever the store is slow or out of reach, reports go to\n"
    "       the spool.\n"
    "--spool FILE  where reports wait, synced to disk, while the store cannot\n"
    "       take them; replayed into the store when it can (default: beside a\n"
    "       SQLite store as STORE.spool, else ./distd.spool).\n"
    "--spool-max SIZE  the spool's bound in bytes (with K, M or G; default 1G);\n"
    "       past it reports are answered 503 and counted as dropped.\n"
    "--download-rate RATE  paces each download to RATE bytes per second (a\n"
    "       number, or with K or M for KiB or MiB); unlimited by default.\n";

int Usage(const char* problem) {
    if (problem != nullptr) {
        std::fprintf(stderr, "distd: %s\n", distd::PrintableText(problem).c_str());
    }
    std::fputs(kUsage, stderr);
    return 2;
}

bool SplitListen(const std::string& text, std::string& host, int& port) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    host = text.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    const std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    port = std::atoi(digits.c_str());
    return port <= 65535;
}

// "300", "512K", "2M", "1G": a number of bytes, at least 1 (G only when
// `giga`).
bool ParseBytes(const std::string& text, bool giga, uint64_t& bytes) {
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        ++digits;
    }
    const std::string unit = text.substr(digits);
    int64_t number = 0;
    if (digits > 12 || !distd::ParseDecimal(text.substr(0, digits), number) ||
        (unit != "" && unit != "K" && unit != "M" && (!giga || unit != "G"))) {
        return false;
    }
    const uint64_t scale = unit == "K"   ? 1ull << 10
                           : unit == "M" ? 1ull << 20
                           : unit == "G" ? 1ull << 30
                                         : 1;
    bytes = static_cast<uint64_t>(number) * scale; // at most 12 digits times 2^30
    return bytes > 0;
}

// A whole number from `min` to `max`, nothing else: no sign, no spaces, no
// trailing letters.
bool ParseCount(const std::string& text, int64_t min, int64_t max, int64_t& value) {
    return distd::ParseDecimal(text, value) && value >= min && value <= max;
}

int Serve(int argc, char** argv) {
    distd::ServiceOptions options;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--listen" && hasValue) {
            if (!SplitListen(argv[++i], options.host, options.port)) {
                return Usage("--listen wants HOST:PORT");
            }
        } else if (arg == "--catalogue" && hasValue) {
            options.catalogue = argv[++i];
        } else if (arg == "--store" && hasValue) {
            options.store = argv[++i];
        } else if (arg == "--download-rate" && hasValue) {
            if (!ParseBytes(argv[++i], false, options.downloadRate)) {
                return Usage("--download-rate wants bytes per second: N, NK or NM");
            }
        } else if (arg == "--workers" && hasValue) {
            int64_t workers = 0;
            if (!ParseCount(argv[++i], 1, 256, workers)) {
                return Usage("--workers wants a whole number from 1 to 256");
            }
            options.limits.workers = static_cast<size_t>(workers);
        } else if (arg == "--backlog" && hasValue) {
            int64_t backlog = 0;
            if (!ParseCount(argv[++i], 1, 10000000, backlog)) {
                return Usage("--backlog wants a whole number from 1 to 10000000");
            }
            options.ingestCapacity = static_cast<size_t>(backlog);
        } else if (arg == "--spool" && hasValue) {
            options.spool = argv[++i];
            if (options.spool.empty()) {
                return Usage("--spool wants a file name");
            }
        } else if (arg == "--spool-max" && hasValue) {
            if (!ParseBytes(argv[++i], true, options.spoolMaxBytes) ||
                options.spoolMaxBytes < (1u << 20)) {
                return Usage("--spool-max wants a size of at least 1M: N, NK, NM or NG");
            }
        } else {
            return Usage(("unknown or incomplete option " + arg).c_str());
        }
    }
    if (options.catalogue.empty()) {
        return Usage("serve needs --catalogue FILE");
    }

    // Signals are taken by one thread with sigwait; every other thread
    // (created below) inherits the blocked mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    distd::Service service(options);
    std::string error;
    if (!service.Start(error)) {
        std::fprintf(stderr, "distd: %s\n", distd::PrintableText(error).c_str());
        return 1;
    }
    std::printf("distd: listening on %s\n", service.BaseUrl().c_str());
    std::fflush(stdout);

    for (;;) {
        int received = 0;
        if (sigwait(&signals, &received) != 0) {
            continue;
        }
        if (received == SIGHUP) {
            std::string message;
            const bool ok = service.ReloadCatalogue(message);
            std::fprintf(ok ? stdout : stderr, "distd: %s\n",
                         distd::PrintableText(message).c_str());
            std::fflush(ok ? stdout : stderr);
            continue;
        }
        break;
    }
    service.Stop();
    std::printf("distd: stopped\n");
    return 0;
}

int Check(int argc, char** argv) {
    if (argc != 3) {
        return Usage("check needs exactly one catalogue file");
    }
    distd::DigestCache digests;
    std::shared_ptr<const distd::Catalogue> catalogue;
    std::string error;
    if (!distd::LoadCatalogue(argv[2], digests, catalogue, error)) {
        std::fprintf(stderr, "distd: %s\n", distd::PrintableText(error).c_str());
        return 1;
    }
    // The catalogue's names and paths, as any text for a terminal, printable.
    std::fputs(distd::PrintableText(distd::DescribeCatalogue(*catalogue, digests)).c_str(), stdout);
    return 0;
}

int Stats(int argc, char** argv) {
    std::string path = "distd.db";
    size_t top = distd::kTopChannelRows;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--store") == 0 && i + 1 < argc) {
            path = argv[++i];
        } else if (std::strcmp(argv[i], "--all") == 0) {
            top = SIZE_MAX;
        } else {
            return Usage((std::string("unknown or incomplete option ") + argv[i]).c_str());
        }
    }
    std::string error;
    std::unique_ptr<distd::ReportStore> store =
        distd::OpenStore(path, distd::StoreMode::ReadOnly, error);
    distd::Figures figures;
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    if (!store || !store->ReadFigures(now, distd::kDashboardDays, 0, figures, error)) {
        std::fprintf(stderr, "distd: %s\n", distd::PrintableText(error).c_str());
        return 1;
    }
    std::fputs(distd::RenderStatsTable(figures, now, top).c_str(), stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage(nullptr);
    }
    const std::string command = argv[1];
    if (command == "serve") {
        return Serve(argc, argv);
    }
    if (command == "check") {
        return Check(argc, argv);
    }
    if (command == "stats") {
        return Stats(argc, argv);
    }
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    return Usage(("unknown command " + command).c_str());
}
