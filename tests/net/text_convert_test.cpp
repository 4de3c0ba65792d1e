#include "net/text_convert.h"

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

TEST(TextConvert, ChsConversionGivesUtf8Paths) {
    EXPECT_EQ(WideToChsMultiByte(L"/tmp/安装/p.exe"), "/tmp/\xE5\xAE\x89\xE8\xA3\x85/p.exe");
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
    EXPECT_EQ(PercentEncode(L"\x1F600"), L"%F0%9F%98%80");
}

TEST(PercentEncode, DotSegmentsAreEncodedWhole) {
    EXPECT_EQ(PercentEncode(L"."), L"%2E");
    EXPECT_EQ(PercentEncode(L".."), L"%2E%2E");
    // Dots inside a longer segment name nothing special and stay.
    EXPECT_EQ(PercentEncode(L"..."), L"...");
    EXPECT_EQ(PercentEncode(L"..a"), L"..a");
    EXPECT_EQ(PercentEncode(L".x."), L".x.");
}
