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
    m_server = std::make_unique<HttpServer>(m_options.limits);
    if (!m_server->Bind(m_options.host, m_options.port, error)) {
        return false;
    }
    m_port = m_server->Port();
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
    m_server->Start();
    return true;
}

void Service::Stop() {
    if (m_stopped) {
        return;
    }
    m_stopped = true;
    if (m_server) {
        m_server->Stop(); // the handlers have finished their requests
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
    HttpServer& server = *m_server;
    AddConfigRoutes(server, m_catalogues);
    AddDownloadRoutes(server, m_catalogues, m_options.downloadRate);
    m_intake->AddRoutes(server);
    server.SetOversizedHandler(
        [this](const OversizedRequest& request) { m_intake->ReceiveOversized(request); });

    // The health check's page: answered on the I/O thread, so that it comes
    // even while every handler thread waits for the store.
    server.Get(
        "/service/clause",
        [](const HttpRequest&, HttpResponse& res) {
            res.SetContent(LicencePage(), "text/html; charset=utf-8");
        },
        HttpServer::Run::Inline);
    server.Get("/", [this](const HttpRequest&, HttpResponse& res) {
        const int64_t now = m_options.clock();
        Figures figures;
        std::string error;
        ServiceStatus status;
        status.catalogue = m_catalogues.Path();
        status.store = m_store->Describe();
        status.ingest = m_ingest->GetCounters();
        status.http = m_server->GetCounters();
        status.live = true;
        if (!m_store->ReadFigures(now, kDashboardDays, kDashboardRecent, figures, error)) {
            // Still say what this instance knows: the backlog and its counters.
            res.status = 503;
            res.SetContent("the store cannot be read: " + error + "\n" + RenderIngestStatus(status),
                           "text/plain; charset=utf-8");
            return;
        }
        // Nothing on the page may load or run anything, whatever a report held.
        res.SetHeader("Content-Security-Policy",
                      "default-src 'none'; style-src 'unsafe-inline'; img-src 'none'");
        res.SetHeader("Cache-Control", "no-store");
        res.SetContent(RenderDashboard(figures, now, status), "text/html; charset=utf-8");
    });
}

} // namespace distd
