// Text conversions between narrow (multi-byte) and wide text.
//
// Narrow text is UTF-8 on this platform: the ANSI code page (CP_ACP), the
// OEM code page and the "chs" locale all mean UTF-8. wchar_t is 32 bits, so a
// wide string holds one code point per element.
//
// Malformed input never fails a conversion and never crashes: an invalid or
// truncated UTF-8 sequence becomes U+FFFD, and so does a wide element that is
// not a Unicode scalar value (a surrogate or a value above U+10FFFF).
#pragma once

#include <string>
#include <string_view>

#include "plat/sys/wintypes.h"

namespace plat {

constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_THREAD_ACP = 3;
constexpr UINT CP_UTF8 = 65001;

constexpr DWORD MB_PRECOMPOSED = 0x00000001;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;
constexpr DWORD WC_ERR_INVALID_CHARS = 0x00000080;

// Converts narrow text in `codePage` (CP_ACP, CP_OEMCP, CP_THREAD_ACP or
// CP_UTF8, all UTF-8 here) to wide text.
//   src/cbSrc: the input; cbSrc == -1 means src is null-terminated and the
//              terminator is converted too (and counted in the result).
//   dst/cchDst: the output buffer; cchDst == 0 asks for the required size
//               in wide characters and writes nothing.
// Returns the number of wide characters written (or required), or 0 on
// failure with GetLastError() = ERROR_INVALID_PARAMETER (null src, unknown
// code page, cbSrc < -1), ERROR_INSUFFICIENT_BUFFER (dst too small) or
// ERROR_NO_UNICODE_TRANSLATION (invalid input with MB_ERR_INVALID_CHARS).
// An empty input (cbSrc == 0) returns 0 with ERROR_INVALID_PARAMETER, as
// Win32 does. Without MB_ERR_INVALID_CHARS invalid bytes become U+FFFD.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int cbSrc, LPWSTR dst, int cchDst);

// Converts wide text to narrow text in `codePage` (UTF-8 for every code page
// accepted above). Same conventions as MultiByteToWideChar, with sizes in
// bytes for the output. `defaultChar` must be null and `usedDefaultChar`
// null for CP_UTF8 (as Win32 requires); for the other code pages
// *usedDefaultChar (when given) is set to FALSE since UTF-8 represents every
// code point, except that unrepresentable elements (surrogates, values above
// U+10FFFF) are written as U+FFFD and set it to TRUE.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int cchSrc, LPSTR dst, int cbDst,
                        LPCSTR defaultChar, BOOL* usedDefaultChar);

// Result of MB_ERR_INVALID_CHARS / WC_ERR_INVALID_CHARS on invalid input.
constexpr LONG ERROR_NO_UNICODE_TRANSLATION = 1113;

// Convenience forms: whole strings, invalid input becomes U+FFFD.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// The narrow encoding of file paths (the "chs" locale of the C runtime),
// which is UTF-8 here. Use these wherever a wide path must become a path
// for a narrow file API, and back.
std::string WideToChsMultiByte(std::wstring_view text);
std::wstring ChsMultiByteToWide(std::string_view text);

} // namespace plat
