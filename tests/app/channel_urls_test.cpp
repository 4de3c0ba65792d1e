// The channel taken from the installer's file name and the URLs built from
// it: what the install context makes without touching the system.
#include "app/install_context.h"

#include <gtest/gtest.h>

#include "app/system_queries.h"
#include "plat/sys/files.h"
#include "plat/sys/text.h"

TEST(ChannelAndUrls, ChannelComesFromTheFileName) {
    struct Case {
        const wchar_t* name;
        const wchar_t* channel;
    } cases[] = {
        {L"TarvexPDFConverInst_10086.exe", L"10086"},
        {L"Setup_10086_x.exe", L"10086"},
        {L"Setup.exe", L"10001"},
        {L"Setup_.exe", L"10001"},
        {L"Setup_abc", L"abc"},
        {L"a.b_c.d.exe", L"c"},
        {L"Setup__x.exe", L"10001"},      // empty text before the second '_'
        {L"_99.exe", L"99"},              // '_' first
        {L"Setup_渠道 1.exe", L"渠道 1"}, // any characters are accepted
        {L"", L"10001"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChannelFromFileName(c.name), c.channel) << plat::WideToUtf8(c.name);
}

TEST(ChannelAndUrls, ConfigurationUrlCarriesVersionAndChannelPercentEncoded) {
    EXPECT_EQ(MakeConfigUrl(L"1.1.8.305", L"10086"),
              ProductApiBaseUrl() +
                  L"/api/soft/pdf/type/install/sp/1.0/ver/1.1.8.305/channel/10086");
    // Percent-encoded, and a '%' in a value is not a format directive.
    EXPECT_EQ(MakeConfigUrl(L"1.0.0.1", L"a b%s"),
              ProductApiBaseUrl() +
                  L"/api/soft/pdf/type/install/sp/1.0/ver/1.0.0.1/channel/a%20b%25s");
    EXPECT_EQ(MakeConfigUrl(L"1.0.0.1", ChannelFromFileName(L"TarvexPDFConverInst_10086 (1).exe")),
              ProductApiBaseUrl() +
                  L"/api/soft/pdf/type/install/sp/1.0/ver/1.0.0.1/channel/10086%20%281%29");
    EXPECT_EQ(ProductApiBaseUrl().rfind(L"http", 0), 0u);
}

TEST(ChannelAndUrls, ClauseUrlIsTheLicencePageOfTheWebSite) {
    EXPECT_EQ(g_clauseUrl, ProductWebBaseUrl() + L"/service/clause");
    EXPECT_EQ(g_clauseUrl.rfind(L"http://", 0), 0u);
}

TEST(ChannelAndUrls, DotSegmentChannelsCannotChangeTheRequestedPath) {
    // An installer named Setup_.._x.exe carries the channel "..".
    ASSERT_EQ(ChannelFromFileName(L"Setup_.._x.exe"), L"..");
    EXPECT_EQ(MakeConfigUrl(L"1.0.0.1", ChannelFromFileName(L"Setup_.._x.exe")),
              ProductApiBaseUrl() +
                  L"/api/soft/pdf/type/install/sp/1.0/ver/1.0.0.1/channel/%2E%2E");
    EXPECT_EQ(MakeConfigUrl(L"..", L".."),
              ProductApiBaseUrl() + L"/api/soft/pdf/type/install/sp/1.0/ver/%2E%2E/channel/%2E%2E");
    EXPECT_EQ(MakeConfigUrl(L".", L"."),
              ProductApiBaseUrl() + L"/api/soft/pdf/type/install/sp/1.0/ver/%2E/channel/%2E");
}

TEST(ChannelAndUrls, AnAstralChannelIsTakenAndEncodedWhole) {
    // An emoji and a CJK Extension B character in the file name: the channel
    // keeps them, and the URL carries each as its four UTF-8 bytes.
    const std::wstring channel = ChannelFromFileName(L"Setup_渠道\U0001F600\U00020000_x.exe");
    EXPECT_EQ(channel, L"渠道\U0001F600\U00020000");
    EXPECT_EQ(MakeConfigUrl(L"1.1.8.305", channel),
              ProductApiBaseUrl() + L"/api/soft/pdf/type/install/sp/1.0/ver/1.1.8.305/channel/"
                                    L"%E6%B8%A0%E9%81%93%F0%9F%98%80%F0%A0%80%80");
}

TEST(ChannelAndUrls, TheChannelComesFromThisProgramsOwnName) {
    // The module path ends in this program's name whatever separator the
    // system writes; the folders before it never give the channel.
    const std::wstring name = GetModuleFileNameOnly();
    EXPECT_EQ(name.find_first_of(plat::kPathSeparators), std::wstring::npos)
        << plat::WideToUtf8(name);
    EXPECT_EQ(name.rfind(L"test_app", 0), 0u) << plat::WideToUtf8(name);
    const std::wstring sep(1, plat::kPathSeparator);
    EXPECT_EQ(FileNameOnly(L"C:" + sep + L"a_1" + sep + L"Setup_10086.exe"), L"Setup_10086.exe");
    EXPECT_EQ(ChannelFromFileName(FileNameOnly(L"x_9" + sep + L"Setup.exe")), L"10001");
}
