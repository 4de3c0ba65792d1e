// Reading a report back: from its request URL (or its payload alone), a
// key and an IV to the JSON document that was sealed into it.
#pragma once

#include <string>

namespace ns_zr_stat {

enum ENUM_DECODE_RESULT {
    DECODE_OK = 0,
    DECODE_NO_PAYLOAD = 1, // no "value=<product>_<payload>" in the URL
    DECODE_NOT_BASE64 = 2, // the payload is not standard Base64
    DECODE_BAD_KEY = 3,    // key not 16, 24 or 32 bytes, or IV under 16 bytes
    DECODE_WRONG_KEY = 4,  // decrypts to bytes that are not text: wrong key or IV
    DECODE_NOT_JSON = 5,   // decrypts to text that is not a JSON object
};

struct tagSTAT_DECODED {
    std::string strProductId; // the value before "_" (empty for a bare payload)
    std::string strPayload;   // the Base64 text as found
    std::string strJson;      // the document (UTF-8), set when DECODE_OK
    std::string strError;     // a one-line explanation when not DECODE_OK
};

// Decodes a report. strInput is either a request URL containing
// "value=<product id>_<payload>" (the product id is the text before the
// first "_") or the Base64 payload alone. Key and IV are the bytes of the
// client's settings (UTF-8); only the first 16 IV bytes are used. A space in
// the payload is read as "+", as a query decoder that turned "+" into a
// space would leave it. The result tells what went wrong, and
// out.strError says it in words.
ENUM_DECODE_RESULT DecodeReport(const std::string& strInput, const std::string& strKey,
                                const std::string& strIv, tagSTAT_DECODED& out);

// The first steps of DecodeReport for a payload alone (spaces already read
// as "+"): Base64, decryption and the check that the result is text, without
// parsing it (for a caller that parses the document itself). DECODE_OK with
// the text, or the result with a one-line explanation.
ENUM_DECODE_RESULT OpenReport(const std::string& strPayload, const std::string& strKey,
                              const std::string& strIv, std::string& strText,
                              std::string& strError);

// A short English name of a result ("ok", "no payload", ...).
const char* DecodeResultName(ENUM_DECODE_RESULT eResult);

} // namespace ns_zr_stat
