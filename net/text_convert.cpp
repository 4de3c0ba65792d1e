// Conversions between wide text and the narrow encodings used at the
// network and file boundaries, and URL percent-encoding.
#include "net/text_convert.h"

#include <climits>
#include <vector>

#include "plat/sys/text.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

std::string WideToAnsi(const std::wstring& text) {
    // Size including the terminator (the input is taken up to its first NUL).
    const int size =
        plat::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return std::string();
    }
    std::vector<char> buffer(static_cast<size_t>(size), '\0');
    plat::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, buffer.data(), size, nullptr, nullptr);
    buffer[static_cast<size_t>(size) - 1] = '\0';
    return std::string(buffer.data());
}

std::wstring AnsiToWide(const char* data, size_t count) {
    if (data == nullptr || count == 0 || count > static_cast<size_t>(INT_MAX)) {
        return std::wstring();
    }
    const int bytes = static_cast<int>(count);
    const int chars = plat::MultiByteToWideChar(CP_ACP, 0, data, bytes, nullptr, 0);
    if (chars <= 0) {
        return std::wstring();
    }
    std::vector<wchar_t> buffer(static_cast<size_t>(chars) + 1, L'\0');
    const int written = plat::MultiByteToWideChar(CP_ACP, 0, data, bytes, buffer.data(), chars);
    buffer[static_cast<size_t>(written > 0 ? written : 0)] = L'\0';
    const wchar_t* start = buffer.data();
    if (*start == 0xFEFF) {
        ++start;
    }
    return std::wstring(start);
}

std::string WideToChsMultiByte(const std::wstring& text) {
    // The conversion stops at the first NUL, as the C runtime's does.
    return plat::WideToChsMultiByte(std::wstring_view(text.c_str()));
}

std::wstring PercentEncode(const std::wstring& text) {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    const std::string utf8 = plat::WideToUtf8(text);
    const bool dotSegment = utf8 == "." || utf8 == "..";
    std::wstring encoded;
    encoded.reserve(utf8.size());
    for (const char c : utf8) {
        const unsigned char byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || byte == '-' ||
                                (byte == '.' && !dotSegment) || byte == '_' || byte == '~';
        if (unreserved) {
            encoded += static_cast<wchar_t>(byte);
        } else {
            encoded += L'%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}
