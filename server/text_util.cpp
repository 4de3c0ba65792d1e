// Escaping and parsing of text at the service's boundaries.
#include "server/text_util.h"

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
        out.append(bytes, i, n);
        i += n;
    }
    if (end < bytes.size()) {
        out += "...";
    }
    return out;
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
