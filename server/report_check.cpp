// Decoding and checking one statistics report.
#include "server/report_check.h"

#include "server/text_util.h"
#include "stat/ReportDecode.h"
#include "stat/Seal.h"

#include <json/json.h>

#include <memory>

namespace distd {

namespace {

ReportVerdict Reject(RejectReason reason, std::string detail) {
    ReportVerdict verdict;
    verdict.reason = reason;
    verdict.detail = std::move(detail);
    return verdict;
}

// The "value" parameter of the raw query, as sent (not decoded).
bool FindValue(const std::string& target, std::string& value) {
    const size_t query = target.find('?');
    if (query == std::string::npos) {
        return false;
    }
    size_t at = query + 1;
    while (at <= target.size()) {
        size_t end = target.find('&', at);
        if (end == std::string::npos) {
            end = target.size();
        }
        if (target.compare(at, 6, "value=") == 0) {
            value = target.substr(at + 6, end - at - 6);
            return true;
        }
        at = end + 1;
    }
    return false;
}

// A member of an object, or null (jsoncpp's operator[] would add one).
const Json::Value* Member(const Json::Value& object, const std::string& name) {
    return object.find(name.data(), name.data() + name.size());
}

bool IsBase64Text(const std::string& text) {
    for (char ch : text) {
        const bool ok = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') ||
                        (ch >= '0' && ch <= '9') || ch == '+' || ch == '/' || ch == '=' ||
                        ch == ' ';
        if (!ok) {
            return false;
        }
    }
    return true;
}

// Text members: valid UTF-8 and no control character other than tab, line
// feed and carriage return.
bool GoodText(const std::string& text, RejectReason& reason) {
    if (!IsValidUtf8(text)) {
        reason = RejectReason::InvalidUtf8;
        return false;
    }
    for (char c : text) {
        const unsigned char ch = static_cast<unsigned char>(c);
        if (ch < 0x20 && ch != '\t' && ch != '\n' && ch != '\r') {
            reason = RejectReason::BadShape;
            return false;
        }
    }
    return true;
}

class ShapeReader {
public:
    ShapeReader(RejectReason& reason, std::string& detail) : m_reason(reason), m_detail(detail) {}

    bool Fail(RejectReason reason, const std::string& detail) {
        m_reason = reason;
        m_detail = detail;
        return false;
    }

    bool Text(const Json::Value& object, const char* name, const std::string& where,
              std::string& out) {
        const Json::Value* value = Member(object, name);
        if (value == nullptr || !value->isString()) {
            return Fail(RejectReason::BadShape, where + "." + name + " is missing or not a string");
        }
        out = value->asString();
        RejectReason reason = RejectReason::BadShape;
        if (!GoodText(out, reason)) {
            return Fail(reason,
                        where + "." + name +
                            (reason == RejectReason::InvalidUtf8 ? " is not valid UTF-8"
                                                                 : " holds a control character"));
        }
        return true;
    }

    bool Number(const Json::Value& object, const char* name, const std::string& where,
                int64_t& out) {
        std::string text;
        if (!Text(object, name, where, text)) {
            return false;
        }
        if (!ParseDecimal(text, out)) {
            return Fail(RejectReason::BadShape, where + "." + name + " is not a whole number");
        }
        return true;
    }

private:
    RejectReason& m_reason;
    std::string& m_detail;
};

} // namespace

const char* RejectReasonName(RejectReason reason) {
    switch (reason) {
    case RejectReason::NoValue:
        return "no_value";
    case RejectReason::UnknownProduct:
        return "unknown_product";
    case RejectReason::NotBase64:
        return "not_base64";
    case RejectReason::WrongKey:
        return "wrong_key";
    case RejectReason::InvalidUtf8:
        return "invalid_utf8";
    case RejectReason::NotJson:
        return "not_json";
    case RejectReason::BadShape:
        return "bad_shape";
    case RejectReason::TooLong:
        return "too_long";
    }
    return "unknown";
}

const char* ReportKindName(ReportKind kind) {
    switch (kind) {
    case ReportKind::Launch:
        return "launch";
    case ReportKind::Exit:
        return "exit";
    case ReportKind::Exception:
        return "exception";
    case ReportKind::Events:
        return "events";
    }
    return "unknown";
}

bool ReadReportDocument(const std::string& document, ReportRecord& out, RejectReason& reason,
                        std::string& detail) {
    ShapeReader read(reason, detail);
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["allowComments"] = false;
    builder["strictRoot"] = true;
    builder["failIfExtra"] = true;
    builder["rejectDupKeys"] = true;
    // A report is four levels deep; anything far deeper is not one.
    builder["stackLimit"] = 16;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    bool parsed = false;
    try {
        parsed = reader->parse(document.data(), document.data() + document.size(), &root, &errors);
    } catch (const std::exception&) {
        return read.Fail(RejectReason::NotJson, "the document is nested too deeply");
    }
    if (!parsed || !root.isObject()) {
        return read.Fail(RejectReason::NotJson, "the document is not a JSON object");
    }

    const Json::Value* dev = Member(root, "dev_info");
    if (dev == nullptr || !dev->isObject()) {
        return read.Fail(RejectReason::BadShape, "no dev_info object");
    }
    DeviceInfo& device = out.device;
    if (!read.Text(*dev, "channel", "dev_info", device.channel) ||
        !read.Text(*dev, "os_name", "dev_info", device.osName) ||
        !read.Text(*dev, "os_type", "dev_info", device.osType) ||
        !read.Text(*dev, "dev_name", "dev_info", device.devName) ||
        !read.Text(*dev, "ie_ver", "dev_info", device.ieVersion) ||
        !read.Text(*dev, "ver", "dev_info", device.version) ||
        !read.Text(*dev, "sim_id", "dev_info", device.simId)) {
        return false;
    }
    if (root.size() != 2) {
        return read.Fail(RejectReason::BadShape,
                         "the document must hold dev_info and exactly one report block");
    }

    if (const Json::Value* act = Member(root, "act_log")) {
        if (!act->isObject()) {
            return read.Fail(RejectReason::BadShape, "act_log is not an object");
        }
        if (!read.Number(*act, "open_time", "act_log", out.openTime) ||
            !read.Number(*act, "close_time", "act_log", out.closeTime)) {
            return false;
        }
        out.kind = out.closeTime == 0 ? ReportKind::Launch : ReportKind::Exit;
    } else if (const Json::Value* error = Member(root, "error_log")) {
        if (!error->isObject()) {
            return read.Fail(RejectReason::BadShape, "error_log is not an object");
        }
        if (!read.Number(*error, "acttime", "error_log", out.actTime) ||
            !read.Text(*error, "error_msg", "error_log", out.errorMsg)) {
            return false;
        }
        out.kind = ReportKind::Exception;
    } else if (const Json::Value* events = Member(root, "event_log")) {
        out.kind = ReportKind::Events;
        // An event list without events is written as the empty string.
        if (events->isString() && events->asString().empty()) {
            return true;
        }
        if (!events->isArray()) {
            return read.Fail(RejectReason::BadShape, "event_log is not an array");
        }
        for (Json::ArrayIndex i = 0; i < events->size(); ++i) {
            const Json::Value& item = (*events)[i];
            const std::string where = "event_log[" + std::to_string(i) + "]";
            if (!item.isObject()) {
                return read.Fail(RejectReason::BadShape, where + " is not an object");
            }
            EventRecord event;
            if (!read.Text(item, "name", where, event.name) ||
                !read.Text(item, "lable", where, event.label) ||
                !read.Number(item, "acttime", where, event.actTime) ||
                !read.Number(item, "num", where, event.num)) {
                return false;
            }
            out.events.push_back(event);
        }
    } else {
        return read.Fail(RejectReason::BadShape,
                         "no act_log, error_log or event_log block next to dev_info");
    }
    return true;
}

ReportVerdict CheckReport(const std::string& rawTarget, const ProductLookup& products) {
    std::string raw;
    if (!FindValue(rawTarget, raw)) {
        return Reject(RejectReason::NoValue, "the query has no value= parameter");
    }
    std::string value;
    if (!PercentDecode(raw, value)) {
        return Reject(RejectReason::NotBase64, "the value has a broken %-escape");
    }
    const size_t underscore = value.find('_');
    if (underscore == std::string::npos || underscore == 0) {
        return Reject(RejectReason::NoValue, "the value has no product id before '_'");
    }
    const std::string product = value.substr(0, underscore);
    const std::string payload = value.substr(underscore + 1);
    const ProductKey* key = products(product);
    if (key == nullptr) {
        return Reject(RejectReason::UnknownProduct,
                      "product \"" + PrintableText(product, 64) + "\" is not in the catalogue");
    }
    if (payload.empty()) {
        return Reject(RejectReason::NoValue, "the payload is empty");
    }
    if (!IsBase64Text(payload)) {
        return Reject(RejectReason::NotBase64, "the payload holds characters outside Base64");
    }
    // Spaces are "+" a query decoder turned into spaces.
    std::string normalised = payload;
    for (char& ch : normalised) {
        ch = ch == ' ' ? '+' : ch;
    }
    // Decrypted here and parsed once, by ReadReportDocument.
    std::string document;
    std::string why;
    switch (ns_zr_stat::OpenReport(normalised, key->key, key->iv, document, why)) {
    case ns_zr_stat::DECODE_OK:
        break;
    case ns_zr_stat::DECODE_NO_PAYLOAD:
        return Reject(RejectReason::NoValue, why);
    case ns_zr_stat::DECODE_NOT_BASE64:
        return Reject(RejectReason::NotBase64, why);
    case ns_zr_stat::DECODE_WRONG_KEY:
        // Random bytes from a wrong key practically never begin with "{";
        // a document that does was sealed with the right key but is not
        // clean UTF-8 text.
        if (!document.empty() && document[0] == '{') {
            if (!IsValidUtf8(document)) {
                return Reject(RejectReason::InvalidUtf8, "the document is not valid UTF-8");
            }
            return Reject(RejectReason::NotJson, "the document holds raw control characters");
        }
        return Reject(RejectReason::WrongKey, why);
    case ns_zr_stat::DECODE_BAD_KEY:
        return Reject(RejectReason::WrongKey, why);
    case ns_zr_stat::DECODE_NOT_JSON:
        return Reject(RejectReason::NotJson, why);
    }
    ReportVerdict verdict;
    verdict.report.product = product;
    if (!ReadReportDocument(document, verdict.report, verdict.reason, verdict.detail)) {
        verdict.report = ReportRecord();
        return verdict;
    }
    verdict.report.document = std::move(document);
    verdict.ok = true;
    return verdict;
}

} // namespace distd
