// Small text helpers of the service: escaping for HTML, printable forms of
// untrusted bytes, percent-encoding at the URL boundary and whole-number
// parsing.
#pragma once

#include <cstdint>
#include <string>

namespace distd {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(const std::string& text);

// A form of untrusted bytes that is safe to print or store as text: valid
// UTF-8 stays as it is, except control characters (C0 other than tab and
// line feed, DEL) and every byte of an invalid sequence, which become
// "\xNN". At most `maxBytes` of the input are looked at; a cut input ends
// in "...".
std::string PrintableText(const std::string& bytes, size_t maxBytes = std::string::npos);

// Escapes & < > " ' for HTML text and attribute values (after PrintableText,
// so the result is always valid UTF-8).
std::string HtmlEscape(const std::string& text);

// Decodes %XX sequences; false when a "%" is not followed by two hex digits.
// "+" stays "+" (a query's Base64 text is not form-encoded).
bool PercentDecode(const std::string& text, std::string& out);

// Encodes everything but A-Z a-z 0-9 - . _ ~ for one URL path segment.
std::string PercentEncode(const std::string& text);

// A decimal whole number of 1 to 18 digits, nothing else.
bool ParseDecimal(const std::string& text, int64_t& value);

} // namespace distd
