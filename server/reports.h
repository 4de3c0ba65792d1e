// Report intake: GET /tj.html?value={product}_{payload} (also with the
// doubled slash a base URL ending in "/" produces). Every report, valid or
// not, is answered the same way once it is stored: a valid one with its
// record, a rejected one with its reason and its raw text (truncated,
// printable), kept apart from the valid ones. A request refused by the HTTP
// layer for its size counts as a rejected report when it was one.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "server/catalogue.h"
#include "server/http_server.h"
#include "server/ingest.h"

namespace distd {

class ReportIntake {
public:
    // `now` gives the receive time in seconds since 1970.
    ReportIntake(CatalogueHolder& catalogues, IngestQueue& ingest, std::function<int64_t()> now);

    // Checks and stores one report; the HTTP status to answer with (200 when
    // stored, valid or rejected; 202 when synced in the spool while the
    // store is slow or out of reach; 503 when it was not taken).
    int Receive(const std::string& rawTarget, const std::string& source);

    // For requests the HTTP layer refused for their size.
    void ReceiveOversized(const OversizedRequest& request);

    // GET stores the report; HEAD answers the same way and stores nothing.
    void AddRoutes(HttpServer& server);

    // How long a report waits for its commit before it goes to the spool.
    std::chrono::milliseconds submitWait{5000};

private:
    int Store(StoreItem item);

    CatalogueHolder& m_catalogues;
    IngestQueue& m_ingest;
    std::function<int64_t()> m_now;
};

// True when a request target is the report path ("/tj.html", "//tj.html").
bool IsReportTarget(const std::string& target);

} // namespace distd
