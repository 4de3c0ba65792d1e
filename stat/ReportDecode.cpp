// Decoding of report URLs and payloads.
#include "stat/ReportDecode.h"

#include "stat/Seal.h"

#include <json/json.h>

#include <memory>

namespace ns_zr_stat {

namespace {

// The "value=" parameter of a URL's query, or the whole input when it is a
// bare payload (no "?" and no "value=").
bool FindValue(const std::string& input, std::string& value, bool& isUrl) {
    size_t query = input.find('?');
    isUrl = query != std::string::npos || input.find("://") != std::string::npos;
    if (!isUrl) {
        value = input;
        return true;
    }
    if (query == std::string::npos) {
        return false;
    }
    size_t at = query + 1;
    while (at <= input.size()) {
        size_t end = input.find('&', at);
        if (end == std::string::npos) {
            end = input.size();
        }
        std::string field = input.substr(at, end - at);
        if (field.compare(0, 6, "value=") == 0) {
            value = field.substr(6);
            size_t hash = value.find('#');
            if (hash != std::string::npos) {
                value.erase(hash);
            }
            return true;
        }
        at = end + 1;
    }
    return false;
}

// Plain text: valid UTF-8 without C0 control characters other than tab,
// line feed and carriage return (a document may hold DEL and C1 characters
// unescaped). A wrong key or IV gives random bytes, which practically never
// pass.
bool LooksLikeText(const std::string& bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        unsigned char ch = static_cast<unsigned char>(bytes[i]);
        if (ch < 0x80) {
            if (ch < 0x20 && ch != '\t' && ch != '\n' && ch != '\r') {
                return false;
            }
            ++i;
            continue;
        }
        size_t extra = 0;
        if (ch >= 0xC2 && ch <= 0xDF) {
            extra = 1;
        } else if (ch >= 0xE0 && ch <= 0xEF) {
            extra = 2;
        } else if (ch >= 0xF0 && ch <= 0xF4) {
            extra = 3;
        } else {
            return false;
        }
        for (size_t j = 1; j <= extra; ++j) {
            if (i + j >= bytes.size() ||
                (static_cast<unsigned char>(bytes[i + j]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += extra + 1;
    }
    return true;
}

ENUM_DECODE_RESULT Fail(tagSTAT_DECODED& out, ENUM_DECODE_RESULT result, const std::string& why) {
    out.strJson.clear();
    out.strError = why;
    return result;
}

} // namespace

const char* DecodeResultName(ENUM_DECODE_RESULT eResult) {
    switch (eResult) {
    case DECODE_OK:
        return "ok";
    case DECODE_NO_PAYLOAD:
        return "no payload";
    case DECODE_NOT_BASE64:
        return "not base64";
    case DECODE_BAD_KEY:
        return "unusable key or iv";
    case DECODE_WRONG_KEY:
        return "wrong key";
    case DECODE_NOT_JSON:
        return "not json";
    }
    return "unknown";
}

ENUM_DECODE_RESULT OpenReport(const std::string& strPayload, const std::string& strKey,
                              const std::string& strIv, std::string& strText,
                              std::string& strError) {
    std::string cipher;
    if (!Base64Decode(strPayload, cipher)) {
        strError = "the payload is not Base64";
        return DECODE_NOT_BASE64;
    }
    if (!OpenBytes(cipher, strKey, strIv, strText)) {
        strError = "the key must have 16, 24 or 32 bytes and the IV at least 16";
        return DECODE_BAD_KEY;
    }
    if (!LooksLikeText(strText)) {
        strError = "the payload does not decrypt to text: wrong key or IV";
        return DECODE_WRONG_KEY;
    }
    return DECODE_OK;
}

ENUM_DECODE_RESULT DecodeReport(const std::string& strInput, const std::string& strKey,
                                const std::string& strIv, tagSTAT_DECODED& out) {
    out = tagSTAT_DECODED();
    std::string value;
    bool isUrl = false;
    if (!FindValue(strInput, value, isUrl)) {
        return Fail(out, DECODE_NO_PAYLOAD, "the URL has no value= parameter");
    }
    if (isUrl) {
        size_t underscore = value.find('_');
        if (underscore == std::string::npos) {
            return Fail(out, DECODE_NO_PAYLOAD, "the value has no product id before '_'");
        }
        out.strProductId = value.substr(0, underscore);
        value.erase(0, underscore + 1);
    }
    for (char& ch : value) {
        if (ch == ' ') {
            ch = '+';
        }
    }
    out.strPayload = value;
    if (value.empty()) {
        return Fail(out, DECODE_NO_PAYLOAD, "the payload is empty");
    }
    std::string plain;
    const ENUM_DECODE_RESULT opened = OpenReport(value, strKey, strIv, plain, out.strError);
    if (opened != DECODE_OK) {
        return opened;
    }
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["allowComments"] = false;
    builder["strictRoot"] = true;
    builder["failIfExtra"] = true;
    // jsoncpp throws when a document nests deeper than its stack limit; a
    // report is a few levels deep, so a small limit costs nothing.
    builder["stackLimit"] = 64;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    bool parsed = false;
    try {
        parsed = reader->parse(plain.data(), plain.data() + plain.size(), &root, &errors);
    } catch (const std::exception&) {
        return Fail(out, DECODE_NOT_JSON, "the document is nested too deeply");
    }
    if (!parsed || !root.isObject()) {
        return Fail(out, DECODE_NOT_JSON, "the document is not a JSON object");
    }
    out.strJson = plain;
    return DECODE_OK;
}

} // namespace ns_zr_stat
