// Sealing: AES-256-CFB128 and Base64 against published vectors, payload
// length, determinism, and decoding reports back with clear errors.
#include "stat/ReportDecode.h"
#include "stat/Seal.h"

#include <gtest/gtest.h>

#include <string>

using namespace ns_zr_stat;

namespace {

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// A second, independent Base64 encoder (RFC 4648 section 4) for the checks.
std::string ReferenceBase64(const std::string& bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 |
                     (unsigned char)bytes[i + 2];
        out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], kAlphabet[(v >> 6) & 63],
                kAlphabet[v & 63]};
    }
    if (bytes.size() - i == 1) {
        unsigned v = (unsigned char)bytes[i] << 16;
        out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], '=', '='};
    } else if (bytes.size() - i == 2) {
        unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8;
        out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], kAlphabet[(v >> 6) & 63], '='};
    }
    return out;
}

// NIST SP 800-38A, F.3.13 CFB128-AES256.Encrypt.
const std::string kNistKey =
    FromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
const std::string kNistIv = FromHex("000102030405060708090a0b0c0d0e0f");
const std::string kNistPlain = FromHex("6bc1bee22e409f96e93d7e117393172a"
                                       "ae2d8a571e03ac9c9eb76fac45af8e51"
                                       "30c81c46a35ce411e5fbc1191a0a52ef"
                                       "f69f2445df4f9b17ad2b417be66c3710");
const std::string kNistCipher = FromHex("dc7e84bfda79164b7ecd8486985d3860"
                                        "39ffed143b28b1c832113c6331e5407b"
                                        "df10132415e54b92a13ed0a8267ae2f9"
                                        "75a385741ab9cef82031623d55b1e471");

const std::wstring kInstallerKey = L"5b7d2e90a4c1f38e6d0b9a27c4e8f153";
const std::wstring kDefaultIv = L"p8K#v2Lq!Wz7@Rt4";

} // namespace

TEST(Seal, MatchesNistCfb128Aes256Vectors) {
    std::string sealed;
    ASSERT_TRUE(SealBytes(kNistPlain, kNistKey, kNistIv, sealed));
    EXPECT_EQ(sealed, ReferenceBase64(kNistCipher));
    std::string cipher;
    ASSERT_TRUE(Base64Decode(sealed, cipher));
    EXPECT_EQ(cipher, kNistCipher);

    std::string plain;
    ASSERT_TRUE(OpenBytes(kNistCipher, kNistKey, kNistIv, plain));
    EXPECT_EQ(plain, kNistPlain);
}

TEST(Seal, PartialBlocksAreNotPadded) {
    // A stream mode: 21 bytes of plaintext give the first 21 ciphertext bytes.
    std::string sealed, cipher;
    ASSERT_TRUE(SealBytes(kNistPlain.substr(0, 21), kNistKey, kNistIv, sealed));
    ASSERT_TRUE(Base64Decode(sealed, cipher));
    EXPECT_EQ(cipher, kNistCipher.substr(0, 21));
}

TEST(Seal, Base64MatchesRfc4648Vectors) {
    const std::pair<std::string, std::string> vectors[] = {{"", ""},
                                                           {"f", "Zg=="},
                                                           {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},
                                                           {"foob", "Zm9vYg=="},
                                                           {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"}};
    for (const auto& v : vectors) {
        EXPECT_EQ(Base64Encode(v.first), v.second) << v.first;
        std::string decoded;
        EXPECT_TRUE(Base64Decode(v.second, decoded)) << v.second;
        EXPECT_EQ(decoded, v.first);
    }
}

TEST(Seal, Base64DecodeIsStrict) {
    std::string out;
    for (const char* bad :
         {"Zg=", "Zg", "Z===", "====", "Zm9v\nYmFy", "Zm9-", "Zm9_", "Zg==Zg==", "Zm=v", "Zm 9"}) {
        EXPECT_FALSE(Base64Decode(bad, out)) << bad;
        EXPECT_TRUE(out.empty());
    }
}

TEST(Seal, PayloadOfNBytesHasFourCharactersPerThreeBytesAndNoLineBreak) {
    for (size_t n : {1u, 2u, 3u, 4u, 53u, 54u, 55u, 56u, 57u, 58u, 100u, 1000u, 4097u, 20000u}) {
        std::wstring doc(n, L'a');
        std::wstring payload = SealPayload(doc, kInstallerKey, kDefaultIv);
        EXPECT_EQ(payload.size(), 4 * ((n + 2) / 3)) << n;
        EXPECT_EQ(payload.find_first_of(L"\r\n"), std::wstring::npos) << n;
    }
    // The byte count is that of the UTF-8 text: three bytes per Chinese character.
    EXPECT_EQ(SealPayload(L"连接", kInstallerKey, kDefaultIv).size(), 8u);
}

TEST(Seal, SameDocumentGivesSamePayloadAndKeysMatter) {
    std::wstring doc = L"{\"a\":\"1\"}\n";
    std::wstring first = SealPayload(doc, kInstallerKey, kDefaultIv);
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, SealPayload(doc, kInstallerKey, kDefaultIv));
    EXPECT_NE(first, SealPayload(doc, L"c14f8a2b93e70d56f2a81b4ce90d7a36", kDefaultIv));
    // Only the first 16 IV characters count.
    EXPECT_EQ(first, SealPayload(doc, kInstallerKey, kDefaultIv + L"tail"));
}

TEST(Seal, EmptyOrUnusableKeyOrIvGivesEmptyPayload) {
    std::wstring doc = L"{}\n";
    EXPECT_EQ(SealPayload(doc, L"", kDefaultIv), L"");
    EXPECT_EQ(SealPayload(doc, kInstallerKey, L""), L"");
    EXPECT_EQ(SealPayload(doc, L"short", kDefaultIv), L"");
    EXPECT_EQ(SealPayload(doc, kInstallerKey, L"tooShortIv"), L"");
    EXPECT_EQ(SealPayload(doc, kInstallerKey.substr(0, 16), kDefaultIv).size(), 4u);
    EXPECT_EQ(SealPayload(doc, kInstallerKey.substr(0, 24), kDefaultIv).size(), 4u);
    // A text after an embedded zero character is not part of the key.
    std::wstring keyWithZero = kInstallerKey.substr(0, 16) + std::wstring(1, L'\0') + L"x";
    EXPECT_EQ(SealPayload(doc, keyWithZero, kDefaultIv),
              SealPayload(doc, kInstallerKey.substr(0, 16), kDefaultIv));
}

// ---------------------------------------------------------------------------
// Decoding reports back

namespace {
const std::string kKey = "5b7d2e90a4c1f38e6d0b9a27c4e8f153";
const std::string kIv = "p8K#v2Lq!Wz7@Rt4";

std::string Sealed(const std::string& plain) {
    std::string out;
    EXPECT_TRUE(SealBytes(plain, kKey, kIv, out));
    return out;
}
} // namespace

TEST(Decode, ReadsTheDocumentOfAUrlOrOfABarePayload) {
    std::string doc = "{\"dev_info\":{\"channel\":\"\\u8FDE\"},\"x\":\"a+b/c\"}\n";
    std::string payload = Sealed(doc);
    tagSTAT_DECODED out;
    ASSERT_EQ(DecodeReport("http://h:1//tj.html?value=51_" + payload, kKey, kIv, out), DECODE_OK)
        << out.strError;
    EXPECT_EQ(out.strJson, doc);
    EXPECT_EQ(out.strProductId, "51");
    EXPECT_EQ(out.strPayload, payload);

    ASSERT_EQ(DecodeReport("/tj.html?value=11_" + payload, kKey, kIv, out), DECODE_OK);
    EXPECT_EQ(out.strProductId, "11");
    ASSERT_EQ(DecodeReport(payload, kKey, kIv, out), DECODE_OK);
    EXPECT_EQ(out.strJson, doc);
    EXPECT_EQ(out.strProductId, "");

    // Characters a document holds unescaped: DEL, C1 controls, tab.
    std::string unusual = "{\"m\":\"a\x7F\xC2\x85\tb\"}\n";
    ASSERT_EQ(DecodeReport(Sealed(unusual), kKey, kIv, out), DECODE_OK) << out.strError;
    EXPECT_EQ(out.strJson, unusual);
}

TEST(Decode, ReadsASpaceAsPlus) {
    // Find a document whose payload holds a "+", as a query decoder may
    // have turned it into a space.
    for (int i = 0; i < 500; ++i) {
        std::string doc = "{\"n\":\"" + std::to_string(i) + "\"}\n";
        std::string payload = Sealed(doc);
        size_t plus = payload.find('+');
        if (plus == std::string::npos) {
            continue;
        }
        payload[plus] = ' ';
        tagSTAT_DECODED out;
        ASSERT_EQ(DecodeReport("/tj.html?value=51_" + payload, kKey, kIv, out), DECODE_OK);
        EXPECT_EQ(out.strJson, doc);
        return;
    }
    FAIL() << "no payload with '+' found";
}

TEST(Decode, GivesClearErrors) {
    tagSTAT_DECODED out;
    EXPECT_EQ(DecodeReport("http://h/tj.html?other=1", kKey, kIv, out), DECODE_NO_PAYLOAD);
    EXPECT_FALSE(out.strError.empty());
    EXPECT_EQ(DecodeReport("http://h/tj.html", kKey, kIv, out), DECODE_NO_PAYLOAD);
    EXPECT_EQ(DecodeReport("http://h//tj.html?value=51_", kKey, kIv, out), DECODE_NO_PAYLOAD);
    EXPECT_EQ(DecodeReport("http://h//tj.html?value=51", kKey, kIv, out), DECODE_NO_PAYLOAD);

    EXPECT_EQ(DecodeReport("/tj.html?value=51_abc!", kKey, kIv, out), DECODE_NOT_BASE64);
    EXPECT_NE(out.strError.find("Base64"), std::string::npos);
    EXPECT_EQ(DecodeReport("/tj.html?value=51_%2Bab", kKey, kIv, out), DECODE_NOT_BASE64);

    std::string payload = Sealed("{\"a\":\"1\"}\n");
    EXPECT_EQ(DecodeReport(payload, "c14f8a2b93e70d56f2a81b4ce90d7a36", kIv, out),
              DECODE_WRONG_KEY);
    EXPECT_NE(out.strError.find("wrong key"), std::string::npos);
    EXPECT_TRUE(out.strJson.empty());
    EXPECT_EQ(DecodeReport(payload, kKey, "0000000000000000", out), DECODE_WRONG_KEY);
    EXPECT_EQ(DecodeReport(payload, "short", kIv, out), DECODE_BAD_KEY);

    EXPECT_EQ(DecodeReport(Sealed("hello world\n"), kKey, kIv, out), DECODE_NOT_JSON);
    EXPECT_EQ(DecodeReport(Sealed("{\"a\":\"1\"\n"), kKey, kIv, out), DECODE_NOT_JSON);
    EXPECT_EQ(DecodeReport(Sealed("[\"a\"]\n"), kKey, kIv, out), DECODE_NOT_JSON);
    EXPECT_EQ(DecodeReport(Sealed("{} {}\n"), kKey, kIv, out), DECODE_NOT_JSON);
    EXPECT_STREQ(DecodeResultName(DECODE_NOT_JSON), "not json");
}

TEST(Decode, DeeplyNestedDocumentIsRefusedNotThrown) {
    // jsoncpp throws past its nesting limit; the decoder must answer.
    tagSTAT_DECODED out;
    const std::string deep = "{\"a\":" + std::string(5000, '[') + std::string(5000, ']') + "}\n";
    EXPECT_EQ(DecodeReport(Sealed(deep), kKey, kIv, out), DECODE_NOT_JSON);
    EXPECT_FALSE(out.strError.empty());
}
