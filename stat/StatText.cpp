// UTF-8 conversions for the statistics client.
#include "stat/StatText.h"

namespace ns_zr_stat {

namespace {

void AppendUtf8(std::string& out, unsigned long code) {
    if (code < 0x80ul) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800ul) {
        out.push_back(static_cast<char>(0xC0ul | (code >> 6)));
        out.push_back(static_cast<char>(0x80ul | (code & 0x3Ful)));
    } else if (code < 0x10000ul) {
        out.push_back(static_cast<char>(0xE0ul | (code >> 12)));
        out.push_back(static_cast<char>(0x80ul | ((code >> 6) & 0x3Ful)));
        out.push_back(static_cast<char>(0x80ul | (code & 0x3Ful)));
    } else {
        out.push_back(static_cast<char>(0xF0ul | (code >> 18)));
        out.push_back(static_cast<char>(0x80ul | ((code >> 12) & 0x3Ful)));
        out.push_back(static_cast<char>(0x80ul | ((code >> 6) & 0x3Ful)));
        out.push_back(static_cast<char>(0x80ul | (code & 0x3Ful)));
    }
}

} // namespace

std::string StatWideToAnsi(const std::wstring& strText) {
    std::string out;
    out.reserve(strText.size());
    for (wchar_t ch : strText) {
        unsigned long code = static_cast<unsigned long>(static_cast<unsigned int>(ch));
        if (code == 0) {
            break;
        }
        if ((code >= 0xD800ul && code <= 0xDFFFul) || code > 0x10FFFFul) {
            code = 0xFFFDul;
        }
        AppendUtf8(out, code);
    }
    return out;
}

std::wstring StatAnsiToWide(const std::string& strBytes) {
    std::wstring out;
    out.reserve(strBytes.size());
    size_t i = 0;
    const size_t n = strBytes.size();
    while (i < n) {
        unsigned char lead = static_cast<unsigned char>(strBytes[i]);
        unsigned long code = 0;
        size_t extra = 0;
        unsigned long minimum = 0;
        if (lead < 0x80) {
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            code = lead & 0x1F;
            extra = 1;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            code = lead & 0x0F;
            extra = 2;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            code = lead & 0x07;
            extra = 3;
            minimum = 0x10000;
        } else {
            out.push_back(static_cast<wchar_t>(0xFFFD));
            ++i;
            continue;
        }
        size_t j = 1;
        for (; j <= extra && i + j < n; ++j) {
            unsigned char next = static_cast<unsigned char>(strBytes[i + j]);
            if ((next & 0xC0) != 0x80) {
                break;
            }
            code = (code << 6) | (next & 0x3F);
        }
        if (j <= extra || code < minimum || code > 0x10FFFFul ||
            (code >= 0xD800ul && code <= 0xDFFFul)) {
            out.push_back(static_cast<wchar_t>(0xFFFD));
            i += j;
            continue;
        }
        out.push_back(static_cast<wchar_t>(code));
        i += extra + 1;
    }
    return out;
}

} // namespace ns_zr_stat
