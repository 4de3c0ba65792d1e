// Characters outside the Basic Multilingual Plane through plat's text
// conversions, on both faces of plat: wide text holds them as one element
// where wchar_t is 32 bits and as a surrogate pair where it is 16 bits; the
// narrow forms and what they round-trip to must be the same either way.
#include <gtest/gtest.h>

#include <string>

#include "plat/sys/text.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

namespace {

// U+1F600 (an emoji) and U+20000 and U+2A6D6 (CJK Extension B: the first
// and last characters of that block) in UTF-8.
const std::string kEmojiUtf8 = "\xF0\x9F\x98\x80";
const std::string kExtBFirstUtf8 = "\xF0\xA0\x80\x80";
const std::string kExtBLastUtf8 = "\xF0\xAA\x9B\x96";

// The compiler writes each as the platform's wide form.
const std::wstring kEmoji = L"\U0001F600";
const std::wstring kExtBFirst = L"\U00020000";
const std::wstring kExtBLast = L"\U0002A6D6";

// The number of wide elements of one astral character on this platform.
const int kUnits = int(sizeof(L"\U0001F600") / sizeof(wchar_t)) - 1;

} // namespace

TEST(AstralText, UnitsPerCharacterFollowWideCharWidth) {
    EXPECT_EQ(kUnits, sizeof(wchar_t) == 2 ? 2 : 1);
    EXPECT_EQ(int(kEmoji.size()), kUnits);
    if (kUnits == 2) {
        EXPECT_EQ(unsigned(kEmoji[0]), 0xD83Du);
        EXPECT_EQ(unsigned(kEmoji[1]), 0xDE00u);
    }
}

TEST(AstralText, Utf8OfEmojiAndExtensionBCharacters) {
    EXPECT_EQ(WideToUtf8(kEmoji), kEmojiUtf8);
    EXPECT_EQ(WideToUtf8(kExtBFirst), kExtBFirstUtf8);
    EXPECT_EQ(WideToUtf8(kExtBLast), kExtBLastUtf8);
    EXPECT_EQ(Utf8ToWide(kEmojiUtf8), kEmoji);
    EXPECT_EQ(Utf8ToWide(kExtBFirstUtf8), kExtBFirst);
    EXPECT_EQ(Utf8ToWide(kExtBLastUtf8), kExtBLast);
}

TEST(AstralText, InstallPathWithEmojiAndExtensionBFolderRoundTrips) {
    const std::wstring path = L"C:/Program Files/安装 \U0001F600/\U00020000\U0002A6D6文件夹/p.exe";
    const std::string utf8 = WideToUtf8(path);
    EXPECT_EQ(utf8, "C:/Program Files/\xE5\xAE\x89\xE8\xA3\x85 " + kEmojiUtf8 + "/" +
                        kExtBFirstUtf8 + kExtBLastUtf8 +
                        "\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xB9/p.exe");
    EXPECT_EQ(Utf8ToWide(utf8), path);
}

TEST(AstralText, SystemConvertersCountAPairAsOneCharacter) {
    // Wide elements for the four bytes of the emoji plus the terminator.
    const int chars = MultiByteToWideChar(CP_UTF8, 0, kEmojiUtf8.c_str(), -1, nullptr, 0);
    EXPECT_EQ(chars, kUnits + 1);
    wchar_t wide[4] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, kEmojiUtf8.c_str(), -1, wide, 4), kUnits + 1);
    EXPECT_EQ(std::wstring(wide), kEmoji);

    // Four bytes plus the terminator the other way, from all of the wide
    // form (a pair where there is one).
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, kExtBFirst.c_str(), -1, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(bytes, 5);
    char narrow[8] = {};
    ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, kExtBFirst.c_str(), -1, narrow, 8, nullptr, nullptr),
              5);
    EXPECT_EQ(std::string(narrow), kExtBFirstUtf8);
}

TEST(AstralText, TheAnsiCodePageIsUtf8AndKeepsPairsWhole) {
    // Narrow text is UTF-8 on Linux; the Windows programs declare UTF-8 as
    // their ANSI code page in their manifest, so CP_ACP loses nothing.
    const std::wstring text = L"a" + kEmoji + kExtBLast;
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    ASSERT_EQ(bytes, 1 + 4 + 4 + 1);
    std::string narrow(size_t(bytes), '\0');
    ASSERT_EQ(
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow.data(), bytes, nullptr, nullptr),
        bytes);
    EXPECT_EQ(narrow.c_str(), "a" + kEmojiUtf8 + kExtBLastUtf8);
    wchar_t wide[8] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, wide, 8), 1 + 2 * kUnits + 1);
    EXPECT_EQ(std::wstring(wide), text);
}

TEST(AstralText, LoneOrReversedSurrogatesBecomeReplacementCharacters) {
    const std::string replacement = "\xEF\xBF\xBD";
    // A high surrogate with nothing after it, a low one alone, and a pair
    // in the wrong order: none is a character.
    EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0xD83D))), replacement);
    EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0xDE00)) + L"a"), replacement + "a");
    std::wstring reversed;
    reversed += wchar_t(0xDE00);
    reversed += wchar_t(0xD83D);
    EXPECT_EQ(WideToUtf8(reversed), replacement + replacement);
    // A high surrogate followed by an ordinary character keeps the latter.
    std::wstring cut;
    cut += wchar_t(0xD83D);
    cut += L"b";
    EXPECT_EQ(WideToUtf8(cut), replacement + "b");
}

TEST(AstralText, CesuEncodedSurrogatesAreNotCharacters) {
    // The emoji as two encoded surrogates (three bytes each) is not UTF-8:
    // nothing of it may come back as the emoji.
    const std::wstring wide = Utf8ToWide("\xED\xA0\xBD\xED\xB8\x80");
    EXPECT_FALSE(wide.empty());
    EXPECT_EQ(wide.find(kEmoji), std::wstring::npos);
    for (wchar_t c : wide)
        EXPECT_EQ(unsigned(c), 0xFFFDu);
}

TEST(AstralText, TruncatedFourByteSequenceIsReplacedNotDropped) {
    const std::wstring wide = Utf8ToWide(kEmojiUtf8.substr(0, 3) + "z");
    ASSERT_FALSE(wide.empty());
    EXPECT_EQ(unsigned(wide[0]), 0xFFFDu);
    EXPECT_EQ(wide.back(), L'z');
    EXPECT_EQ(wide.find(kEmoji), std::wstring::npos);
}
