// UTF-8 <-> UTF-32 conversions behind the Win32 code-page functions.
#include "plat/sys/text.h"

#include <cstring>
#include <cwchar>

namespace plat {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsKnownCodePage(UINT codePage) {
    return codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_THREAD_ACP ||
           codePage == CP_UTF8;
}

bool IsScalarValue(uint32_t c) {
    return c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF);
}

// Decodes one UTF-8 sequence starting at s[i] (i < n). Returns the code point
// and advances i; an invalid or truncated sequence yields U+FFFD and consumes
// the maximal invalid prefix (at least one byte), as the Unicode standard
// recommends. `valid` is cleared on invalid input.
char32_t DecodeOne(const unsigned char* s, size_t n, size_t& i, bool& valid) {
    unsigned char b0 = s[i];
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len;
    char32_t cp;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
        if (b0 == 0xE0)
            lo = 0xA0;
        if (b0 == 0xED)
            hi = 0x9F; // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
        if (b0 == 0xF0)
            lo = 0x90;
        if (b0 == 0xF4)
            hi = 0x8F; // nothing above U+10FFFF
    } else {
        ++i;
        valid = false;
        return kReplacement;
    }
    size_t j = i + 1;
    for (int k = 1; k < len; ++k, ++j) {
        if (j >= n || s[j] < lo || s[j] > hi) {
            i = j;
            valid = false;
            return kReplacement;
        }
        cp = (cp << 6) | (s[j] & 0x3F);
        lo = 0x80;
        hi = 0xBF;
    }
    i = j;
    return cp;
}

// Appends the UTF-8 form of c (a scalar value) to out; returns its length.
int EncodeOne(char32_t c, char* out) {
    if (c < 0x80) {
        out[0] = char(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = char(0xC0 | (c >> 6));
        out[1] = char(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = char(0xE0 | (c >> 12));
        out[1] = char(0x80 | ((c >> 6) & 0x3F));
        out[2] = char(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | (c >> 18));
    out[1] = char(0x80 | ((c >> 12) & 0x3F));
    out[2] = char(0x80 | ((c >> 6) & 0x3F));
    out[3] = char(0x80 | (c & 0x3F));
    return 4;
}

std::wstring DecodeAll(const char* src, size_t n, bool& valid) {
    std::wstring out;
    out.reserve(n);
    const auto* s = reinterpret_cast<const unsigned char*>(src);
    size_t i = 0;
    while (i < n)
        out.push_back(wchar_t(DecodeOne(s, n, i, valid)));
    return out;
}

std::string EncodeAll(const wchar_t* src, size_t n, bool& valid) {
    std::string out;
    out.reserve(n);
    char buf[4];
    for (size_t i = 0; i < n; ++i) {
        auto c = uint32_t(src[i]);
        if (!IsScalarValue(c)) {
            valid = false;
            c = kReplacement;
        }
        out.append(buf, size_t(EncodeOne(char32_t(c), buf)));
    }
    return out;
}

} // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int cbSrc, LPWSTR dst, int cchDst) {
    if (!IsKnownCodePage(codePage) || src == nullptr || cbSrc < -1 || cbSrc == 0 || cchDst < 0 ||
        (cchDst > 0 && dst == nullptr)) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return 0;
    }
    size_t n = cbSrc == -1 ? std::strlen(src) + 1 : size_t(cbSrc);
    bool valid = true;
    std::wstring wide = DecodeAll(src, n, valid);
    if (!valid && (flags & MB_ERR_INVALID_CHARS)) {
        SetLastError(DWORD(ERROR_NO_UNICODE_TRANSLATION));
        return 0;
    }
    if (wide.size() > size_t(INT32_MAX)) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return 0;
    }
    if (cchDst == 0)
        return int(wide.size());
    if (wide.size() > size_t(cchDst)) {
        SetLastError(DWORD(ERROR_INSUFFICIENT_BUFFER));
        return 0;
    }
    std::memcpy(dst, wide.data(), wide.size() * sizeof(wchar_t));
    return int(wide.size());
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int cchSrc, LPSTR dst, int cbDst,
                        LPCSTR defaultChar, BOOL* usedDefaultChar) {
    if (!IsKnownCodePage(codePage) || src == nullptr || cchSrc < -1 || cchSrc == 0 || cbDst < 0 ||
        (cbDst > 0 && dst == nullptr) ||
        (codePage == CP_UTF8 && (defaultChar != nullptr || usedDefaultChar != nullptr))) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return 0;
    }
    size_t n = cchSrc == -1 ? std::wcslen(src) + 1 : size_t(cchSrc);
    bool valid = true;
    std::string narrow = EncodeAll(src, n, valid);
    if (usedDefaultChar)
        *usedDefaultChar = valid ? FALSE : TRUE;
    if (!valid && (flags & WC_ERR_INVALID_CHARS)) {
        SetLastError(DWORD(ERROR_NO_UNICODE_TRANSLATION));
        return 0;
    }
    if (narrow.size() > size_t(INT32_MAX)) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return 0;
    }
    if (cbDst == 0)
        return int(narrow.size());
    if (narrow.size() > size_t(cbDst)) {
        SetLastError(DWORD(ERROR_INSUFFICIENT_BUFFER));
        return 0;
    }
    std::memcpy(dst, narrow.data(), narrow.size());
    return int(narrow.size());
}

std::wstring Utf8ToWide(std::string_view text) {
    bool valid = true;
    return DecodeAll(text.data(), text.size(), valid);
}

std::string WideToUtf8(std::wstring_view text) {
    bool valid = true;
    return EncodeAll(text.data(), text.size(), valid);
}

std::string WideToChsMultiByte(std::wstring_view text) {
    return WideToUtf8(text);
}

std::wstring ChsMultiByteToWide(std::string_view text) {
    return Utf8ToWide(text);
}

} // namespace plat
