// distd: the installer's configuration API, download server and statistics
// collector with its dashboard.
//
//   distd serve [--listen HOST:PORT] --catalogue FILE [--store STORE] [--workers N]
//               [--backlog N] [--download-rate RATE]
//   distd check FILE
//   distd stats [--store STORE]
#include "server/dashboard.h"
#include "server/service.h"

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
    "                   [--backlog N] [--download-rate RATE]\n"
    "       distd check FILE\n"
    "       distd stats [--store STORE]\n"
    "\n"
    "serve  answers the install configuration, serves the packages, receives the\n"
    "       statistics reports and shows the dashboard at /. Listens on\n"
    "       127.0.0.1:8780 unless told otherwise (port 0: any free port). SIGTERM\n"
    "       or SIGINT stops it cleanly; SIGHUP reloads the catalogue (a catalogue\n"
    "       that fails to load is refused and the one in force stays).\n"
    "check  validates a catalogue and prints what each channel would get.\n"
    "stats  prints the dashboard's figures as tables.\n"
    "\n"
    "STORE  sqlite:PATH or a bare PATH: a SQLite file (the default, ./distd.db);\n"
    "       postgresql://USER@HOST:PORT/DATABASE: a PostgreSQL database that\n"
    "       several instances may share.\n"
    "--backlog N  reports held while the store is slow or out of reach\n"
    "       (default 4096); past it reports are dropped and counted.\n"
    "--download-rate RATE  paces each download to RATE bytes per second (a\n"
    "       number, or with K or M for KiB or MiB); unlimited by default.\n";

int Usage(const char* problem) {
    if (problem != nullptr) {
        std::fprintf(stderr, "distd: %s\n", problem);
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

// "300", "512K", "2M": bytes per second, at least 1.
bool ParseRate(const std::string& text, uint64_t& bytesPerSecond) {
    size_t digits = 0;
    while (digits < text.size() && digits < 12 && text[digits] >= '0' && text[digits] <= '9') {
        ++digits;
    }
    const std::string unit = text.substr(digits);
    if (digits == 0 || (unit != "" && unit != "K" && unit != "M")) {
        return false;
    }
    bytesPerSecond =
        std::strtoull(text.substr(0, digits).c_str(), nullptr, 10) * (unit == "K"   ? 1024
                                                                      : unit == "M" ? 1024 * 1024
                                                                                    : 1);
    return bytesPerSecond > 0;
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
            if (!ParseRate(argv[++i], options.downloadRate)) {
                return Usage("--download-rate wants bytes per second: N, NK or NM");
            }
        } else if (arg == "--workers" && hasValue) {
            const int workers = std::atoi(argv[++i]);
            if (workers < 1 || workers > 256) {
                return Usage("--workers wants 1 to 256");
            }
            options.limits.workers = static_cast<size_t>(workers);
        } else if (arg == "--backlog" && hasValue) {
            const long backlog = std::atol(argv[++i]);
            if (backlog < 1 || backlog > 10000000) {
                return Usage("--backlog wants 1 to 10000000");
            }
            options.ingestCapacity = static_cast<size_t>(backlog);
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
        std::fprintf(stderr, "distd: %s\n", error.c_str());
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
            std::fprintf(ok ? stdout : stderr, "distd: %s\n", message.c_str());
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
        std::fprintf(stderr, "distd: %s\n", error.c_str());
        return 1;
    }
    std::fputs(distd::DescribeCatalogue(*catalogue, digests).c_str(), stdout);
    return 0;
}

int Stats(int argc, char** argv) {
    std::string path = "distd.db";
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--store") == 0 && i + 1 < argc) {
            path = argv[++i];
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
        std::fprintf(stderr, "distd: %s\n", error.c_str());
        return 1;
    }
    std::fputs(distd::RenderStatsTable(figures, now).c_str(), stdout);
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
