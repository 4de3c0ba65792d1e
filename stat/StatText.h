// Text conversions at the client's byte boundaries (sealing, URL, digests).
// The system code page is UTF-8.
#pragma once

#include <string>

namespace ns_zr_stat {

// The UTF-8 bytes of a wide text up to its first zero character. Values
// that are not characters (surrogates, beyond U+10FFFF) become U+FFFD.
std::string StatWideToAnsi(const std::wstring& strText);

// The wide text of UTF-8 bytes; malformed sequences become U+FFFD.
std::wstring StatAnsiToWide(const std::string& strBytes);

} // namespace ns_zr_stat
