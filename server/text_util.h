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

// A form of untrusted bytes that is safe to print to a terminal or a page or
// to store as text; every such output passes through it. Valid UTF-8 stays
// as it is, except:
//  - C0 controls other than tab and line feed, DEL, and every byte of an
//    invalid sequence become "\xNN";
//  - C1 controls (U+0080 to U+009F, among them the terminal's CSI U+009B
//    and OSC U+009D) and the characters that reorder or hide text
//    (bidirectional embeddings, overrides and isolates U+202A to U+202E and
//    U+2066 to U+2069, the marks U+200E, U+200F and U+061C, the line and
//    paragraph separators U+2028 and U+2029) become "\uXXXX".
// At most `maxBytes` of the input are looked at; a cut input ends in "...".
std::string PrintableText(const std::string& bytes, size_t maxBytes = std::string::npos);

// The columns printable UTF-8 text takes on a terminal: wide East Asian
// characters two, combining marks none, others one (as wcwidth says in a
// UTF-8 locale; this thread's locale is left as it is).
size_t DisplayWidth(const std::string& text);

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
