// Reading one statistics report from its raw request target: the product
// id and payload are taken from the "value" parameter of the raw query (its
// "+", "/" and "=" are Base64, never form encoding), the payload is
// decrypted with the product's key and IV, and the document's shape is
// checked: a device block and exactly one launch/exit, exception or event
// block. A report that fails anywhere gets one reason from a short fixed
// list, so that rejected reports can be counted by reason.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "server/catalogue.h"

namespace distd {

enum class RejectReason {
    NoValue,        // no "value=<product>_<payload>" in the query
    UnknownProduct, // the product id is not in the catalogue
    NotBase64,      // the payload is not standard Base64
    WrongKey,       // decrypts to bytes that are not text
    InvalidUtf8,    // decrypts to a document that is not valid UTF-8
    NotJson,        // decrypts to text that is not a JSON object (also cut or too deep)
    BadShape,       // a JSON object that is not a report document
    TooLong,        // the request was larger than the service accepts
};
constexpr int kRejectReasonCount = 8;

// Stable lower-case names ("no_value", "unknown_product", ...), used in the
// store and on the dashboard.
const char* RejectReasonName(RejectReason reason);

struct DeviceInfo {
    std::string channel;
    std::string osName;
    std::string osType;
    std::string devName;
    std::string ieVersion;
    std::string version;
    std::string simId;
};

struct EventRecord {
    std::string name;
    std::string label;
    int64_t actTime = 0;
    int64_t num = 0;
};

enum class ReportKind { Launch, Exit, Exception, Events };
const char* ReportKindName(ReportKind kind); // "launch", "exit", "exception", "events"

struct ReportRecord {
    std::string product;
    ReportKind kind = ReportKind::Launch;
    DeviceInfo device;
    int64_t openTime = 0;  // launch and exit
    int64_t closeTime = 0; // exit (0 for a launch)
    int64_t actTime = 0;   // exception
    std::string errorMsg;  // exception
    std::vector<EventRecord> events;
    std::string document; // the decrypted JSON text
};

struct ReportVerdict {
    bool ok = false;
    ReportRecord report;                         // when ok
    RejectReason reason = RejectReason::NoValue; // when not ok
    std::string detail;                          // one line saying what was wrong
};

// The key of a product id, or null for an unknown product.
using ProductLookup = std::function<const ProductKey*(const std::string& id)>;

// Reads a report from the raw request target ("/tj.html?value=51_...").
ReportVerdict CheckReport(const std::string& rawTarget, const ProductLookup& products);

// Checks a decrypted document's shape and fills the record (not its
// product). Used by CheckReport; false with the reason and a detail.
bool ReadReportDocument(const std::string& document, ReportRecord& out, RejectReason& reason,
                        std::string& detail);

} // namespace distd
