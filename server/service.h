// distd as one object: the catalogue in force, the report store, the
// ingest writer and the HTTP server with every route, listening between
// Start and Stop.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "server/catalogue.h"
#include "server/http_server.h"
#include "server/ingest.h"
#include "server/reports.h"
#include "server/store.h"

namespace distd {

struct ServiceOptions {
    std::string catalogue; // catalogue file
    // The store: "sqlite:PATH", a bare PATH, or a "postgresql://" URI.
    std::string store = "distd.db";
    std::string host = "127.0.0.1";
    int port = 8780; // 0: any free port
    ConnectionLimits limits;
    size_t ingestCapacity = 4096; // reports waiting in memory to be written
    // The spool for reports the store cannot take at once; empty: the
    // default beside the store (see DefaultSpoolPath).
    std::string spool;
    uint64_t spoolMaxBytes = kDefaultSpoolMaxBytes;
    std::chrono::milliseconds stopGrace{10000};
    uint64_t downloadRate = 0; // bytes per second of each download; 0: no limit
    // The receive clock (seconds since 1970); tests may set their own.
    std::function<int64_t()> clock;
};

class Service {
public:
    explicit Service(ServiceOptions options);
    ~Service(); // Stop()

    // Loads the catalogue, opens the store, binds and starts listening.
    // False with a message when any of it fails.
    bool Start(std::string& error);
    // Stops accepting, gives the requests in progress the HTTP layer's stop
    // grace, commits every report already answered or waiting, and closes
    // the store. Idempotent.
    void Stop();

    // Reloads the catalogue file; on failure the catalogue in force stays
    // and the message says why.
    bool ReloadCatalogue(std::string& message);

    int Port() const { return m_port; }
    std::string BaseUrl() const;
    CatalogueHolder& Catalogues() { return m_catalogues; }
    ReportStore& Store() { return *m_store; }
    HttpCounters Connections() const { return m_server->GetCounters(); }
    IngestQueue& Ingest() { return *m_ingest; }

private:
    void AddRoutes();

    ServiceOptions m_options;
    CatalogueHolder m_catalogues;
    std::unique_ptr<ReportStore> m_store;
    std::unique_ptr<Spool> m_spool;
    std::unique_ptr<IngestQueue> m_ingest;
    std::unique_ptr<ReportIntake> m_intake;
    std::unique_ptr<HttpServer> m_server;
    int m_port = 0;
    bool m_stopped = false;
};

} // namespace distd
