// Character conversions at the boundary between the installer's wide strings
// and the narrow strings that libcurl, jsoncpp and file paths use, plus the
// percent-encoding of URL path segments.
#pragma once

#include <cstddef>
#include <string>

// Wide text to the ANSI code page (UTF-8 on this platform). Stops at the first
// NUL character; empty input or a failed conversion gives the empty string.
std::string WideToAnsi(const std::wstring& text);

// `count` bytes of ANSI code-page text to wide text. A leading U+FEFF (byte
// order mark) is dropped; the result stops at the first NUL character. Null
// data, a zero count or a failed conversion give the empty string. Invalid
// byte sequences become U+FFFD.
std::wstring AnsiToWide(const char* data, size_t count);
inline std::wstring AnsiToWide(const std::string& bytes) {
    return AnsiToWide(bytes.data(), bytes.size());
}

// Wide text to the narrow form used for file paths (the "chs" locale
// conversion; UTF-8 on this platform). Stops at the first NUL character.
std::string WideToChsMultiByte(const std::wstring& text);

// Percent-encodes every byte of the UTF-8 form of `text` that is not one of
// RFC 3986's unreserved characters (A-Z a-z 0-9 - . _ ~), as %XX with upper-
// case hex digits, so that the result can stand as one URL path segment.
// The segments "." and ".." are encoded whole ("%2E", "%2E%2E"): left as
// they are, they would be removed from the path (with the segment before
// them) and the request would name another resource.
std::wstring PercentEncode(const std::wstring& text);
