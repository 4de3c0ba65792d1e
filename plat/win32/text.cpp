// Whole-string text conversions on Win32, through the system's converters.
// Wide text is UTF-16 here: a character outside the Basic Multilingual Plane
// is a surrogate pair, which the system converts as one character.
#include "plat/sys/text.h"

#include <climits>

namespace plat {
namespace {

std::wstring ToWide(UINT codePage, std::string_view text) {
    if (text.empty() || text.size() > size_t(INT_MAX))
        return std::wstring();
    const int bytes = int(text.size());
    const int chars = ::MultiByteToWideChar(codePage, 0, text.data(), bytes, nullptr, 0);
    if (chars <= 0)
        return std::wstring();
    std::wstring wide(size_t(chars), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), bytes, wide.data(), chars);
    return wide;
}

std::string ToNarrow(UINT codePage, std::wstring_view text) {
    if (text.empty() || text.size() > size_t(INT_MAX))
        return std::string();
    const int chars = int(text.size());
    const int bytes =
        ::WideCharToMultiByte(codePage, 0, text.data(), chars, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return std::string();
    std::string narrow(size_t(bytes), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), chars, narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}

} // namespace

std::wstring Utf8ToWide(std::string_view text) {
    return ToWide(CP_UTF8, text);
}

std::string WideToUtf8(std::wstring_view text) {
    return ToNarrow(CP_UTF8, text);
}

// The narrow form of paths is UTF-8, as on Linux: it goes back to wide text
// (ChsMultiByteToWide) before any file function sees it, and code page 936
// would lose every character it lacks (an emoji, a CJK Extension B
// character) and with it the path.
std::string WideToChsMultiByte(std::wstring_view text) {
    // As the C runtime's wcstombs: the bytes before the first NUL.
    std::string narrow = ToNarrow(CP_UTF8, text);
    const size_t nul = narrow.find('\0');
    if (nul != std::string::npos)
        narrow.resize(nul);
    return narrow;
}

std::wstring ChsMultiByteToWide(std::string_view text) {
    return ToWide(CP_UTF8, text);
}

} // namespace plat
