// Escaping and parsing of text at the service's boundaries.
#include "server/text_util.h"

#include <locale.h>
#include <wchar.h>

namespace distd {

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0 when it is not one.
size_t Utf8SequenceLength(const std::string& text, size_t i) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        return 1;
    }
    size_t extra = 0;
    unsigned char min = 0x80;
    unsigned char max = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        if (lead == 0xE0) {
            min = 0xA0; // no overlong forms
        } else if (lead == 0xED) {
            max = 0x9F; // no surrogates
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        if (lead == 0xF0) {
            min = 0x90;
        } else if (lead == 0xF4) {
            max = 0x8F; // nothing above U+10FFFF
        }
    } else {
        return 0;
    }
    if (i + extra >= text.size()) {
        return 0;
    }
    for (size_t j = 1; j <= extra; ++j) {
        const unsigned char ch = static_cast<unsigned char>(text[i + j]);
        const unsigned char lo = j == 1 ? min : 0x80;
        const unsigned char hi = j == 1 ? max : 0xBF;
        if (ch < lo || ch > hi) {
            return 0;
        }
    }
    return extra + 1;
}

const char kHex[] = "0123456789ABCDEF";

// The code point of the valid sequence of `n` bytes at text[i].
uint32_t CodePoint(const std::string& text, size_t i, size_t n) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    uint32_t value = n == 1 ? lead : n == 2 ? lead & 0x1F : n == 3 ? lead & 0x0F : lead & 0x07;
    for (size_t j = 1; j < n; ++j) {
        value = (value << 6) | (static_cast<unsigned char>(text[i + j]) & 0x3F);
    }
    return value;
}

// C1 controls and the characters that reorder or hide the text around them.
bool IsHiddenControl(uint32_t cp) {
    return (cp >= 0x80 && cp <= 0x9F) || cp == 0x061C || cp == 0x200E || cp == 0x200F ||
           (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069) || cp == 0x2028 ||
           cp == 0x2029;
}

// Columns of one code point when no UTF-8 locale is at hand: the wide and
// full-width blocks of East Asian scripts two, combining marks none.
int TableWidth(uint32_t cp) {
    if ((cp >= 0x0300 && cp <= 0x036F) || (cp >= 0x200B && cp <= 0x200D) ||
        (cp >= 0xFE00 && cp <= 0xFE0F)) {
        return 0;
    }
    const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) ||
                      (cp >= 0x3041 && cp <= 0x33FF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
                      (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
                      (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                      (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                      (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x1F300 && cp <= 0x1F64F) ||
                      (cp >= 0x1F900 && cp <= 0x1F9FF) || (cp >= 0x20000 && cp <= 0x3FFFD);
    return wide ? 2 : 1;
}

int HexValue(char ch) {
    if (ch >= '0' && ch <= '9') {
        return ch - '0';
    }
    if (ch >= 'a' && ch <= 'f') {
        return ch - 'a' + 10;
    }
    if (ch >= 'A' && ch <= 'F') {
        return ch - 'A' + 10;
    }
    return -1;
}

} // namespace

bool IsValidUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const size_t n = Utf8SequenceLength(text, i);
        if (n == 0) {
            return false;
        }
        i += n;
    }
    return true;
}

std::string PrintableText(const std::string& bytes, size_t maxBytes) {
    const size_t end = bytes.size() < maxBytes ? bytes.size() : maxBytes;
    std::string out;
    out.reserve(end + 8);
    size_t i = 0;
    while (i < end) {
        const unsigned char ch = static_cast<unsigned char>(bytes[i]);
        const size_t n = Utf8SequenceLength(bytes, i);
        const bool control = ch < 0x20 ? (ch != '\t' && ch != '\n') : ch == 0x7F;
        if (n == 0 || control || i + n > end) {
            out += "\\x";
            out += kHex[ch >> 4];
            out += kHex[ch & 0xF];
            ++i;
            continue;
        }
        if (n > 1) {
            const uint32_t cp = CodePoint(bytes, i, n);
            if (IsHiddenControl(cp)) {
                out += "\\u";
                for (int shift = 12; shift >= 0; shift -= 4) {
                    out += kHex[(cp >> shift) & 0xF];
                }
                i += n;
                continue;
            }
        }
        out.append(bytes, i, n);
        i += n;
    }
    if (end < bytes.size()) {
        out += "...";
    }
    return out;
}

size_t DisplayWidth(const std::string& text) {
    // A UTF-8 locale for this thread only while measuring; made once.
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    const locale_t previous = utf8 ? uselocale(utf8) : static_cast<locale_t>(0);
    size_t width = 0;
    for (size_t i = 0; i < text.size();) {
        size_t n = Utf8SequenceLength(text, i);
        if (n == 0) {
            n = 1; // not printable text: a byte as one column
        }
        const uint32_t cp = CodePoint(text, i, n);
        const int columns = utf8 ? wcwidth(static_cast<wchar_t>(cp)) : TableWidth(cp);
        width += columns < 0 ? 1 : static_cast<size_t>(columns);
        i += n;
    }
    if (utf8) {
        uselocale(previous);
    }
    return width;
}

std::string HtmlEscape(const std::string& text) {
    const std::string safe = PrintableText(text);
    std::string out;
    out.reserve(safe.size() + 16);
    for (char ch : safe) {
        switch (ch) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += ch;
        }
    }
    return out;
}

bool PercentDecode(const std::string& text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return false;
        }
        const int hi = HexValue(text[i + 1]);
        const int lo = HexValue(text[i + 2]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

std::string PercentEncode(const std::string& text) {
    std::string out;
    for (char c : text) {
        const unsigned char ch = static_cast<unsigned char>(c);
        if ((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
            ch == '-' || ch == '.' || ch == '_' || ch == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[ch >> 4];
            out += kHex[ch & 0xF];
        }
    }
    return out;
}

bool ParseDecimal(const std::string& text, int64_t& value) {
    if (text.empty() || text.size() > 18) {
        return false;
    }
    int64_t result = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') {
            return false;
        }
        result = result * 10 + (ch - '0');
    }
    value = result;
    return true;
}

} // namespace distd
