#include "ui/UIAttrParse.h"

#include <climits>
#include <cwchar>

namespace Veneer {

namespace {

bool IsSpace(wchar_t c) {
    // The C library's notion of white space for the number readers.
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

} // namespace

int ParseAttrInt(const wchar_t* text, const wchar_t** end) {
    if (end)
        *end = text;
    if (!text)
        return 0;
    const wchar_t* p = text;
    while (IsSpace(*p))
        ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') {
        negative = (*p == L'-');
        ++p;
    }
    if (!(*p >= L'0' && *p <= L'9'))
        return 0; // no digits: *end stays at the start
    long long value = 0;
    while (*p >= L'0' && *p <= L'9') {
        if (value <= (long long)INT_MAX + 1)
            value = value * 10 + (*p - L'0');
        ++p;
    }
    if (end)
        *end = p;
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return (int)value;
}

void ParseAttrIntList(const wchar_t* text, int* out, int count) {
    const wchar_t* p = text;
    for (int i = 0; i < count; ++i) {
        if (!p || *p == 0) {
            out[i] = 0;
            p = nullptr; // the text has ended: the rest read as 0
            continue;
        }
        const wchar_t* stop = p;
        out[i] = ParseAttrInt(p, &stop);
        // The next number starts one character after the stop, unless the
        // text ended there.
        p = (*stop != 0) ? stop + 1 : nullptr;
    }
}

plat::RECT ParseAttrRect(const wchar_t* text) {
    int v[4];
    ParseAttrIntList(text, v, 4);
    return plat::RECT{v[0], v[1], v[2], v[3]};
}

plat::SIZE ParseAttrSize(const wchar_t* text) {
    int v[2];
    ParseAttrIntList(text, v, 2);
    return plat::SIZE{v[0], v[1]};
}

plat::DWORD ParseAttrColor(const wchar_t* text, bool skipLeadingSpace) {
    if (!text)
        return 0;
    const wchar_t* p = text;
    if (skipLeadingSpace)
        while (*p != 0 && *p <= 32)
            ++p;
    if (*p == L'#')
        ++p;
    while (IsSpace(*p))
        ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') {
        negative = (*p == L'-');
        ++p;
    }
    if (p[0] == L'0' && (p[1] == L'x' || p[1] == L'X') && HexDigit(p[2]) >= 0)
        p += 2;
    unsigned long long value = 0;
    bool overflow = false;
    while (HexDigit(*p) >= 0) {
        value = value * 16 + HexDigit(*p);
        if (value > 0xFFFFFFFFull) {
            overflow = true;
            value = 0xFFFFFFFFull;
        }
        ++p;
    }
    if (overflow)
        return 0xFFFFFFFFu;
    plat::DWORD v = (plat::DWORD)value;
    return negative ? (plat::DWORD)(0u - v) : v;
}

bool ParseAttrBool(const wchar_t* text) {
    return text && std::wcscmp(text, L"true") == 0;
}

bool AttrNameIs(const wchar_t* name, const wchar_t* expected) {
    return name && expected && std::wcscmp(name, expected) == 0;
}

} // namespace Veneer
