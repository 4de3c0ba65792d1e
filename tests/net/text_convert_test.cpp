#include "net/text_convert.h"

#include "plat/sys/text.h"

#include <gtest/gtest.h>

TEST(TextConvert, RoundTripsChineseAndAscii) {
    const std::wstring text = L"获取信息失败！ abc 123";
    const std::string narrow = WideToAnsi(text);
    EXPECT_EQ(narrow, "\xE8\x8E\xB7\xE5\x8F\x96\xE4\xBF\xA1\xE6\x81\xAF\xE5\xA4\xB1\xE8\xB4\xA5"
                      "\xEF\xBC\x81 abc 123");
    EXPECT_EQ(AnsiToWide(narrow), text);
}

TEST(TextConvert, EmptyAndNullInputGiveEmptyText) {
    EXPECT_EQ(WideToAnsi(L""), "");
    EXPECT_EQ(AnsiToWide(nullptr, 5), L"");
    EXPECT_EQ(AnsiToWide("abc", 0), L"");
    EXPECT_EQ(AnsiToWide(std::string()), L"");
}

TEST(TextConvert, LeadingByteOrderMarkIsDroppedOnlyAtTheStart) {
    EXPECT_EQ(AnsiToWide(std::string("\xEF\xBB\xBF{\"a\":1}")), L"{\"a\":1}");
    EXPECT_EQ(AnsiToWide(std::string("{\xEF\xBB\xBF}")), L"{\xFEFF}");
    // Only one mark is dropped.
    EXPECT_EQ(AnsiToWide(std::string("\xEF\xBB\xBF\xEF\xBB\xBFx")), L"\xFEFFx");
    // A body that is nothing but the mark becomes empty text.
    EXPECT_EQ(AnsiToWide(std::string("\xEF\xBB\xBF")), L"");
}

TEST(TextConvert, ConversionsStopAtTheFirstNul) {
    const std::string bytes("ab\0cd", 5);
    EXPECT_EQ(AnsiToWide(bytes), L"ab");
    EXPECT_EQ(WideToAnsi(std::wstring(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(WideToChsMultiByte(std::wstring(L"/tmp/a\0b", 8)), "/tmp/a");
}

TEST(TextConvert, InvalidBytesBecomeReplacementCharacters) {
    const std::wstring text = AnsiToWide(std::string("a\xFF"
                                                     "b"));
    EXPECT_EQ(text, L"a\xFFFD"
                    L"b");
}

TEST(TextConvert, ChsConversionGivesThePlatformsPathBytes) {
    // The "chs" locale's encoding: UTF-8 on Linux, code page 936 on
    // Windows; either way Chinese paths come back whole.
    const std::wstring path = L"/tmp/安装/p.exe";
    const std::string narrow = WideToChsMultiByte(path);
    EXPECT_EQ(narrow, plat::WideToChsMultiByte(path));
    EXPECT_EQ(plat::ChsMultiByteToWide(narrow), path);
    EXPECT_EQ(narrow.substr(0, 5), "/tmp/");
    EXPECT_NE(narrow.find("/p.exe"), std::string::npos);
}

TEST(PercentEncode, LeavesUnreservedCharactersAlone) {
    EXPECT_EQ(PercentEncode(L"1.1.8.305"), L"1.1.8.305");
    EXPECT_EQ(PercentEncode(L"AZaz09-._~"), L"AZaz09-._~");
    EXPECT_EQ(PercentEncode(L""), L"");
}

TEST(PercentEncode, EncodesEverythingElseAsUpperCaseUtf8Bytes) {
    EXPECT_EQ(PercentEncode(L"TarvexPDFConverInst_10086 (1)"),
              L"TarvexPDFConverInst_10086%20%281%29");
    EXPECT_EQ(PercentEncode(L"a/b?c#d%e&f+g"), L"a%2Fb%3Fc%23d%25e%26f%2Bg");
    EXPECT_EQ(PercentEncode(L"渠道"), L"%E6%B8%A0%E9%81%93");
    EXPECT_EQ(PercentEncode(L"\U0001F600"), L"%F0%9F%98%80");
}

TEST(PercentEncode, DotSegmentsAreEncodedWhole) {
    EXPECT_EQ(PercentEncode(L"."), L"%2E");
    EXPECT_EQ(PercentEncode(L".."), L"%2E%2E");
    // Dots inside a longer segment name nothing special and stay.
    EXPECT_EQ(PercentEncode(L"..."), L"...");
    EXPECT_EQ(PercentEncode(L"..a"), L"..a");
    EXPECT_EQ(PercentEncode(L".x."), L".x.");
}

// Characters outside the Basic Multilingual Plane: one wide element where
// wchar_t is 32 bits, a surrogate pair where it is 16 bits (the programs
// run with UTF-8 as their ANSI code page on both systems).
TEST(TextConvert, EmojiAndExtensionBCharactersRoundTripThroughTheAnsiCodePage) {
    const std::wstring path = L"D:\\安装 \U0001F600\\\U00020000\U0002A6D6\\setup.exe";
    const std::string narrow = WideToAnsi(path);
    EXPECT_EQ(narrow, "D:\\\xE5\xAE\x89\xE8\xA3\x85 \xF0\x9F\x98\x80\\\xF0\xA0\x80\x80"
                      "\xF0\xAA\x9B\x96\\setup.exe");
    EXPECT_EQ(AnsiToWide(narrow), path);
    // A byte-order mark before an astral character goes, the character
    // stays whole.
    EXPECT_EQ(AnsiToWide(std::string("\xEF\xBB\xBF\xF0\xA0\x80\x80")), L"\U00020000");
}

TEST(PercentEncode, AstralCharactersAreEncodedFromTheirWholeCodePoint) {
    // Four UTF-8 bytes each, never the two halves of a pair on their own.
    EXPECT_EQ(PercentEncode(L"\U00020000"), L"%F0%A0%80%80");
    EXPECT_EQ(PercentEncode(L"渠道\U0001F600_\U0002A6D6"),
              L"%E6%B8%A0%E9%81%93%F0%9F%98%80_%F0%AA%9B%96");
    // A lone half of a pair is no character: it is encoded as U+FFFD.
    EXPECT_EQ(PercentEncode(std::wstring(1, wchar_t(0xD800)) + L"a"), L"%EF%BF%BDa");
}
