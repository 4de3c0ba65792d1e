// Text that reaches a terminal or a page: controls and reordering
// characters escaped, everything else kept, widths in terminal columns.
#include "server/text_util.h"

#include <gtest/gtest.h>

TEST(PrintableText, EscapesControlsAndTextReorderingButKeepsOtherCharacters) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\x1b[31mb", "a\\x1B[31mb"},
        {"tab\tand\nline", "tab\tand\nline"},
        {"del\x7f", "del\\x7F"},
        {"\xC2\x80\xC2\x9B"
         "2J\xC2\x9D"
         "0;t\xC2\x9F",
         "\\u0080\\u009B2J\\u009D0;t\\u009F"},
        {"x\xE2\x80\xAA\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD\xE2\x80\xAEy",
         "x\\u202A\\u202B\\u202C\\u202D\\u202Ey"},
        {"\xE2\x81\xA6\xE2\x81\xA7\xE2\x81\xA8\xE2\x81\xA9", "\\u2066\\u2067\\u2068\\u2069"},
        {"\xE2\x80\x8E\xE2\x80\x8F\xD8\x9C", "\\u200E\\u200F\\u061C"},
        {"\xE2\x80\xA8\xE2\x80\xA9", "\\u2028\\u2029"},
        // Neighbours of the escaped ones stay.
        {"\xC2\xA0\xE2\x80\x90\xE2\x81\xA5\xD8\x9B", "\xC2\xA0\xE2\x80\x90\xE2\x81\xA5\xD8\x9B"},
        {"渠道 é € 😀", "渠道 é € 😀"},
        // Invalid UTF-8, also an overlong C1 and a C1 cut in half.
        {"\xFF\xC1\x9B\xC2", "\\xFF\\xC1\\x9B\\xC2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(distd::PrintableText(c.first), c.second) << c.first;
    }
    // A cut input ends in "..." and never in half a character.
    EXPECT_EQ(distd::PrintableText("ab\xE2\x80\xAE", 4), "ab\\xE2\\x80...");
    EXPECT_EQ(distd::HtmlEscape("<\xE2\x80\xAE>"), "&lt;\\u202E&gt;");
}

TEST(DisplayWidth, CountsTerminalColumns) {
    EXPECT_EQ(distd::DisplayWidth(""), 0u);
    EXPECT_EQ(distd::DisplayWidth("abc"), 3u);
    EXPECT_EQ(distd::DisplayWidth("é"), 1u);         // two bytes, one column
    EXPECT_EQ(distd::DisplayWidth("€€"), 2u);        // three bytes each, one column
    EXPECT_EQ(distd::DisplayWidth("渠道"), 4u);      // wide
    EXPECT_EQ(distd::DisplayWidth("한글"), 4u);      // wide
    EXPECT_EQ(distd::DisplayWidth("ｱｲ"), 2u);        // half-width katakana
    EXPECT_EQ(distd::DisplayWidth("e\xCC\x81"), 1u); // e and a combining acute
    EXPECT_EQ(distd::DisplayWidth("\\u202E"), 6u);   // as PrintableText writes it
}
