// AES-CFB and Base64 sealing of report documents (Crypto++).
#include "stat/Seal.h"

#include "stat/StatText.h"

#include <cryptopp/aes.h>
#include <cryptopp/base64.h>
#include <cryptopp/filters.h>
#include <cryptopp/modes.h>

#include <exception>

namespace ns_zr_stat {

namespace {

constexpr size_t kIvBytes = 16;

bool UsableKeyAndIv(const std::string& strKey, const std::string& strIv) {
    size_t n = strKey.size();
    return (n == 16 || n == 24 || n == 32) && strIv.size() >= kIvBytes;
}

const CryptoPP::byte* Bytes(const std::string& text) {
    return reinterpret_cast<const CryptoPP::byte*>(text.data());
}

int Base64Value(char ch) {
    if (ch >= 'A' && ch <= 'Z') {
        return ch - 'A';
    }
    if (ch >= 'a' && ch <= 'z') {
        return ch - 'a' + 26;
    }
    if (ch >= '0' && ch <= '9') {
        return ch - '0' + 52;
    }
    if (ch == '+') {
        return 62;
    }
    if (ch == '/') {
        return 63;
    }
    return -1;
}

} // namespace

bool SealBytes(const std::string& strPlain, const std::string& strKey, const std::string& strIv,
               std::string& strOut) {
    strOut.clear();
    if (!UsableKeyAndIv(strKey, strIv)) {
        return false;
    }
    try {
        CryptoPP::CFB_Mode<CryptoPP::AES>::Encryption encryptor(Bytes(strKey), strKey.size(),
                                                                Bytes(strIv));
        CryptoPP::StringSource source(
            strPlain, true,
            new CryptoPP::StreamTransformationFilter(
                encryptor,
                new CryptoPP::Base64Encoder(new CryptoPP::StringSink(strOut), false, 72)));
        return true;
    } catch (const std::exception&) {
        strOut.clear();
        return false;
    }
}

bool OpenBytes(const std::string& strCipher, const std::string& strKey, const std::string& strIv,
               std::string& strOut) {
    strOut.clear();
    if (!UsableKeyAndIv(strKey, strIv)) {
        return false;
    }
    try {
        CryptoPP::CFB_Mode<CryptoPP::AES>::Decryption decryptor(Bytes(strKey), strKey.size(),
                                                                Bytes(strIv));
        CryptoPP::StringSource source(
            strCipher, true,
            new CryptoPP::StreamTransformationFilter(decryptor, new CryptoPP::StringSink(strOut)));
        return true;
    } catch (const std::exception&) {
        strOut.clear();
        return false;
    }
}

std::wstring SealPayload(const std::wstring& strJson, const std::wstring& strKey,
                         const std::wstring& strIv) {
    std::string plain = StatWideToAnsi(strJson);
    std::string key = StatWideToAnsi(strKey);
    std::string iv = StatWideToAnsi(strIv);
    if (key.empty() || iv.empty()) {
        return std::wstring();
    }
    std::string sealed;
    if (!SealBytes(plain, key, iv, sealed)) {
        return std::wstring();
    }
    return StatAnsiToWide(sealed);
}

std::string Base64Encode(const std::string& strBytes) {
    std::string out;
    CryptoPP::StringSource source(
        strBytes, true, new CryptoPP::Base64Encoder(new CryptoPP::StringSink(out), false, 72));
    return out;
}

bool Base64Decode(const std::string& strText, std::string& strBytes) {
    strBytes.clear();
    const size_t n = strText.size();
    if (n % 4 != 0) {
        return false;
    }
    size_t padding = 0;
    if (n >= 1 && strText[n - 1] == '=') {
        padding = (n >= 2 && strText[n - 2] == '=') ? 2 : 1;
    }
    std::string out;
    out.reserve(n / 4 * 3);
    for (size_t i = 0; i < n; i += 4) {
        int v[4];
        for (size_t j = 0; j < 4; ++j) {
            size_t at = i + j;
            if (at >= n - padding) {
                v[j] = 0; // a padding position
                continue;
            }
            v[j] = Base64Value(strText[at]);
            if (v[j] < 0) {
                return false;
            }
        }
        unsigned long group =
            (static_cast<unsigned long>(v[0]) << 18) | (static_cast<unsigned long>(v[1]) << 12) |
            (static_cast<unsigned long>(v[2]) << 6) | static_cast<unsigned long>(v[3]);
        size_t keep = 3;
        if (i + 4 == n) {
            keep = 3 - padding;
        }
        out.push_back(static_cast<char>((group >> 16) & 0xFF));
        if (keep > 1) {
            out.push_back(static_cast<char>((group >> 8) & 0xFF));
        }
        if (keep > 2) {
            out.push_back(static_cast<char>(group & 0xFF));
        }
    }
    strBytes.swap(out);
    return true;
}

} // namespace ns_zr_stat
