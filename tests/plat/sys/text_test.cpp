#include "plat/sys/text.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace plat;

TEST(Text, RoundTripsAsciiChineseAndAstralText) {
    const std::string utf8 = "abc 选择一个文件夹 \xF0\x9F\x98\x80";
    std::wstring wide = Utf8ToWide(utf8);
    EXPECT_EQ(wide, std::wstring(L"abc 选择一个文件夹 ") + wchar_t(0x1F600));
    EXPECT_EQ(WideToUtf8(wide), utf8);
    EXPECT_EQ(WideToChsMultiByte(wide), utf8);
    EXPECT_EQ(ChsMultiByteToWide(utf8), wide);
}

TEST(Text, InvalidUtf8BecomesReplacementCharacters) {
    const wchar_t R = 0xFFFD;
    struct Case {
        const char* input;
        std::wstring expected;
    } cases[] = {
        {"\xFF", std::wstring(1, R)},
        {"a\xE4\xB8", std::wstring(L"a") + R},    // truncated at the end
        {"\xE4\xB8z", std::wstring(1, R) + L"z"}, // truncated before ASCII
        {"\xC0\xAF", std::wstring(2, R)},         // overlong '/'
        {"\xED\xA0\x80", std::wstring(3, R)},     // encoded surrogate
        {"\xF4\x90\x80\x80", std::wstring(4, R)}, // above U+10FFFF
        {"\x80\x80x", std::wstring(2, R) + L"x"}, // stray continuations
        {"\xE4\xB8\xAD\xFE", std::wstring(L"中") + std::wstring(1, R)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8ToWide(c.input), c.expected) << c.input;
}

TEST(Text, MultiByteToWideCharFollowsBufferRules) {
    const char* text = "中文";
    // -1 converts and counts the terminator.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0), 3);
    wchar_t buffer[8] = {};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, 8), 3);
    EXPECT_STREQ(buffer, L"中文");
    // Explicit length: no terminator.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 3, buffer, 8), 1);
    // Too small a buffer.
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, 2), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    // Bad arguments.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, -1, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(MultiByteToWideChar(936, 0, text, -1, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, 0, buffer, 8), 0);
    // Strict mode refuses invalid input; lenient mode replaces it.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xFF", 2, buffer, 8), 2);
    EXPECT_EQ(buffer[1], wchar_t(0xFFFD));
}

TEST(Text, WideCharToMultiByteReplacesNonScalarValues) {
    const wchar_t input[] = {L'a', wchar_t(0xD800), wchar_t(0x110000), L'\0'};
    char buffer[16] = {};
    BOOL usedDefault = FALSE;
    int n =
        WideCharToMultiByte(CP_ACP, 0, input, -1, buffer, sizeof(buffer), nullptr, &usedDefault);
    EXPECT_EQ(n, 8); // 'a' + two 3-byte U+FFFD + terminator
    EXPECT_STREQ(buffer, "a\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(usedDefault, TRUE);

    EXPECT_EQ(
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, input, 3, buffer, 16, nullptr, nullptr),
        0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
    // CP_UTF8 refuses the default-character arguments, as Win32 does.
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"a", -1, buffer, 16, nullptr, &usedDefault), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    // Size query and a too small buffer.
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"中", -1, nullptr, 0, nullptr, nullptr), 4);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"中", -1, buffer, 3, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
}

TEST(Text, EmptyAndEmbeddedNullStrings) {
    EXPECT_EQ(Utf8ToWide(""), L"");
    EXPECT_EQ(WideToUtf8(L""), "");
    std::string withNull("a\0b", 3);
    EXPECT_EQ(Utf8ToWide(withNull), std::wstring(L"a\0b", 3));
}
