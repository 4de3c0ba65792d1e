// The report endpoint.
#include "server/reports.h"

#include "server/text_util.h"

namespace distd {

bool IsReportTarget(const std::string& target) {
    size_t at = 0;
    while (at < target.size() && target[at] == '/') {
        ++at;
    }
    return at > 0 && target.compare(at, 7, "tj.html") == 0 &&
           (target.size() == at + 7 || target[at + 7] == '?');
}

ReportIntake::ReportIntake(CatalogueHolder& catalogues, IngestQueue& ingest,
                           std::function<int64_t()> now)
    : m_catalogues(catalogues), m_ingest(ingest), m_now(std::move(now)) {}

int ReportIntake::Receive(const std::string& rawTarget, const std::string& source) {
    const std::shared_ptr<const Catalogue> catalogue = m_catalogues.Get();
    ReportVerdict verdict = CheckReport(
        rawTarget, [&catalogue](const std::string& id) { return catalogue->Product(id); });
    StoreItem item;
    item.receivedAt = m_now();
    item.source = source;
    if (verdict.ok) {
        item.report = std::move(verdict.report);
    } else {
        item.rejected = true;
        item.reason = verdict.reason;
        item.detail = PrintableText(verdict.detail, 256);
        item.raw = PrintableText(rawTarget, kRawTextBytes);
    }
    return Store(std::move(item));
}

void ReportIntake::ReceiveOversized(const OversizedRequest& request) {
    // The request line: method, a space, the target.
    const size_t space = request.head.find(' ');
    if (space == std::string::npos || request.head.compare(0, space, "GET") != 0 ||
        !IsReportTarget(request.head.substr(space + 1, request.head.find_first_of(" ?", space + 1) -
                                                           space - 1))) {
        return;
    }
    StoreItem item;
    item.rejected = true;
    item.receivedAt = m_now();
    item.source = request.source;
    item.reason = RejectReason::TooLong;
    item.detail =
        "the request was refused with " + std::to_string(request.status) + " for its size";
    item.raw = PrintableText(request.head.substr(space + 1), kRawTextBytes);
    Store(std::move(item));
}

int ReportIntake::Store(StoreItem item) {
    switch (m_ingest.Submit(std::move(item), submitWait)) {
    case IngestQueue::Result::Stored:
        return 200;
    case IngestQueue::Result::Deferred:
        return 202; // in the spool until the store takes it
    case IngestQueue::Result::StoreFailed:
    case IngestQueue::Result::Busy:
    case IngestQueue::Result::Stopped:
        break;
    }
    return 503;
}

void ReportIntake::AddRoutes(HttpServer& server) {
    server.Get(IsReportTarget, [this](const HttpRequest& req, HttpResponse& res) {
        // HEAD asks how a GET would be answered; taking the report is the
        // GET's side effect alone.
        res.status = req.IsHead() ? 200 : Receive(req.target, req.remoteAddr);
        res.SetHeader("Cache-Control", "no-store");
        res.SetContent(res.status == 200   ? "ok\n"
                       : res.status == 202 ? "accepted\n"
                                           : "busy\n",
                       "text/plain");
    });
}

} // namespace distd
