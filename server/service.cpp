// Wiring of the service.
#include "server/service.h"

#include "server/config_api.h"
#include "server/dashboard.h"
#include "server/downloads.h"
#include "server/licence_page.h"

#include <unistd.h>

#include <chrono>
#include <ctime>

namespace distd {

namespace {

// This instance as its drop tallies name it: the host name and the port.
std::string InstanceName(const std::string& listenHost, int port) {
    char name[256] = {0};
    if (gethostname(name, sizeof(name) - 1) != 0 || name[0] == '\0') {
        return listenHost + ":" + std::to_string(port);
    }
    return std::string(name) + ":" + std::to_string(port);
}

} // namespace

Service::Service(ServiceOptions options)
    : m_options(std::move(options)), m_catalogues(m_options.catalogue) {
    if (!m_options.clock) {
        m_options.clock = [] { return static_cast<int64_t>(std::time(nullptr)); };
    }
}

Service::~Service() {
    Stop();
}

std::string Service::BaseUrl() const {
    const bool v6 = m_options.host.find(':') != std::string::npos;
    return "http://" + (v6 ? "[" + m_options.host + "]" : m_options.host) + ":" +
           std::to_string(m_port);
}

bool Service::Start(std::string& error) {
    if (!m_catalogues.Load(error)) {
        return false;
    }
    m_store = OpenStore(m_options.store, StoreMode::ReadWrite, error);
    if (!m_store) {
        return false;
    }
    m_server = std::make_unique<LimitedServer>(m_options.limits);
    if (m_options.port == 0) {
        m_port = m_server->bind_to_any_port(m_options.host);
    } else if (m_server->bind_to_port(m_options.host, m_options.port)) {
        m_port = m_options.port;
    }
    if (m_port <= 0) {
        error = "cannot listen on " + m_options.host + ":" + std::to_string(m_options.port);
        return false;
    }
    const std::string spool =
        m_options.spool.empty() ? DefaultSpoolPath(m_options.store) : m_options.spool;
    m_spool = Spool::Open(spool, m_options.spoolMaxBytes, error);
    if (!m_spool) {
        return false;
    }
    IngestOptions ingest;
    ingest.capacity = m_options.ingestCapacity;
    ingest.stopGrace = m_options.stopGrace;
    ingest.instance = InstanceName(m_options.host, m_port);
    m_ingest = std::make_unique<IngestQueue>(*m_store, *m_spool, ingest);
    m_intake = std::make_unique<ReportIntake>(m_catalogues, *m_ingest, m_options.clock);
    AddRoutes();
    m_listener = std::thread([this] { m_server->listen_after_bind(); });
    // Stop() before the accept loop runs would be missed: wait (bounded)
    // until it runs.
    for (int i = 0; i < 1000 && !m_server->is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void Service::Stop() {
    if (m_stopped) {
        return;
    }
    m_stopped = true;
    if (m_server) {
        m_server->stop();
    }
    if (m_listener.joinable()) {
        m_listener.join(); // the workers have finished their requests
    }
    if (m_ingest) {
        m_ingest->Stop();
    }
}

bool Service::ReloadCatalogue(std::string& message) {
    if (!m_catalogues.Load(message)) {
        message = "reload refused, the catalogue in force stays: " + message;
        return false;
    }
    message = "catalogue " + m_catalogues.Path() + " reloaded";
    return true;
}

void Service::AddRoutes() {
    LimitedServer& server = *m_server;
    AddConfigRoutes(server, m_catalogues);
    AddDownloadRoutes(server, m_catalogues, m_options.downloadRate);
    m_intake->AddRoutes(server);
    server.SetOversizedHandler(
        [this](const OversizedRequest& request) { m_intake->ReceiveOversized(request); });

    server.Get("/service/clause", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(LicencePage(), "text/html; charset=utf-8");
    });
    server.Get("/", [this](const httplib::Request&, httplib::Response& res) {
        const int64_t now = m_options.clock();
        Figures figures;
        std::string error;
        ServiceStatus status;
        status.catalogue = m_catalogues.Path();
        status.store = m_store->Describe();
        status.ingest = m_ingest->GetCounters();
        status.live = true;
        if (!m_store->ReadFigures(now, kDashboardDays, kDashboardRecent, figures, error)) {
            // Still say what this instance knows: the backlog and its counters.
            res.status = 503;
            res.set_content("the store cannot be read: " + error + "\n" +
                                RenderIngestStatus(status),
                            "text/plain; charset=utf-8");
            return;
        }
        // Nothing on the page may load or run anything, whatever a report held.
        res.set_header("Content-Security-Policy",
                       "default-src 'none'; style-src 'unsafe-inline'; img-src 'none'");
        res.set_header("Cache-Control", "no-store");
        res.set_content(RenderDashboard(figures, now, status), "text/html; charset=utf-8");
    });
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) {
            res.set_content(std::to_string(res.status) + "\n", "text/plain");
        }
    });
}

} // namespace distd
