// Text conversions at the client's byte boundaries (sealing, URL, digests),
// with the system code page (UTF-8 here).
#pragma once

#include <string>

namespace ns_zr_stat {

// The code-page bytes of a wide text up to its first zero character. Values
// that are not characters (surrogates, beyond U+10FFFF) become U+FFFD.
std::string StatWideToAnsi(const std::wstring& strText);

// The wide text of code-page bytes (all of them, zeros included); malformed
// sequences become U+FFFD.
std::wstring StatAnsiToWide(const std::string& strBytes);

} // namespace ns_zr_stat
