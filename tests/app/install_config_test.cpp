// ParseInstallConfig's validation rows, the unsafe-name checks, and the
// package list and install directory derived from a configuration.
#include "app/install_config.h"

#include "plat/sys/files.h"

#include <string>

#include <gtest/gtest.h>

#include "app/install_context.h"
#include "net/http_transfer.h"

namespace {

// A valid response whose `data` members are given as raw JSON text.
std::wstring Response(const std::wstring& dataMembers) {
    return L"{\"code\":\"200\",\"msg\":\"ok\",\"data\":{\"sp\":\"1.0\"" +
           (dataMembers.empty() ? std::wstring() : L"," + dataMembers) + L"}}";
}

bool Invalid(const std::wstring& text) {
    InstallConfig config;
    return ParseInstallConfig(text, config);
}

const std::wstring kFull =
    L"\"pdfver\":\"2.0.1\",\"pdfname\":\"p.exe\",\"pdfdlurl\":\"http://h/p.exe\","
    L"\"pdfmd5\":\"0123456789ABCDEF0123456789abcdef\",\"dotnetmajorver\":\"4\","
    L"\"dotnetname\":\"dotnet.exe\",\"dotnetparam\":\"/q /norestart\","
    L"\"dotnetdlurl\":\"http://h/dotnet.exe\",\"dotnetmd5\":\"fedcba\"";

TEST(ParseInstallConfig, ValidResponseFillsEveryField) {
    InstallConfig config;
    ASSERT_FALSE(ParseInstallConfig(Response(kFull), config));
    EXPECT_EQ(config.sp, L"1.0");
    EXPECT_EQ(config.pdfver, L"2.0.1");
    EXPECT_EQ(config.pdfname, L"p.exe");
    EXPECT_EQ(config.pdfdlurl, L"http://h/p.exe");
    EXPECT_EQ(config.pdfmd5, L"0123456789ABCDEF0123456789abcdef");
    EXPECT_EQ(config.dotnetmajorver, L"4");
    EXPECT_EQ(config.dotnetname, L"dotnet.exe");
    EXPECT_EQ(config.dotnetparam, L"/q /norestart");
    EXPECT_EQ(config.dotnetdlurl, L"http://h/dotnet.exe");
    EXPECT_EQ(config.dotnetmd5, L"fedcba");
}

TEST(ParseInstallConfig, NonJsonStartIsInvalid) {
    EXPECT_TRUE(Invalid(L""));
    EXPECT_TRUE(Invalid(L" " + Response(kFull)));
    EXPECT_TRUE(Invalid(L"\n" + Response(kFull)));
    EXPECT_TRUE(Invalid(L"\xFEFF" + Response(kFull)));
    EXPECT_TRUE(Invalid(L"[" + Response(kFull) + L"]"));
    EXPECT_TRUE(Invalid(L"<html>502 Bad Gateway</html>"));
}

TEST(ParseInstallConfig, MalformedJsonIsInvalid) {
    EXPECT_TRUE(Invalid(L"{"));
    EXPECT_TRUE(Invalid(L"{\"code\":\"200\",}"));
    EXPECT_TRUE(Invalid(L"{\"code\":\"200\" \"data\":{}}"));
    const std::wstring full = Response(kFull);
    EXPECT_TRUE(Invalid(full.substr(0, full.size() - 1)));
}

TEST(ParseInstallConfig, CodeMustBeTheString200) {
    EXPECT_TRUE(Invalid(L"{\"data\":{\"sp\":\"1.0\"}}"));
    EXPECT_TRUE(Invalid(L"{\"code\":200,\"data\":{\"sp\":\"1.0\"}}"));
    EXPECT_TRUE(Invalid(L"{\"code\":\"201\",\"data\":{\"sp\":\"1.0\"}}"));
    EXPECT_TRUE(Invalid(L"{\"code\":\"200 \",\"data\":{\"sp\":\"1.0\"}}"));
    EXPECT_TRUE(Invalid(L"{\"code\":null,\"data\":{\"sp\":\"1.0\"}}"));
    EXPECT_TRUE(Invalid(L"{\"code\":[\"200\"],\"data\":{\"sp\":\"1.0\"}}"));
    EXPECT_FALSE(Invalid(L"{\"code\":\"200\",\"data\":{\"sp\":\"1.0\"}}"));
}

TEST(ParseInstallConfig, DataMustBeAnObjectWhenPresent) {
    EXPECT_TRUE(Invalid(L"{\"code\":\"200\",\"data\":\"x\"}"));
    EXPECT_TRUE(Invalid(L"{\"code\":\"200\",\"data\":1}"));
    EXPECT_TRUE(Invalid(L"{\"code\":\"200\",\"data\":true}"));
    EXPECT_TRUE(Invalid(L"{\"code\":\"200\",\"data\":[{\"sp\":\"1.0\"}]}"));
    // Missing or null data leaves sp empty, which fails its own rule.
    EXPECT_TRUE(Invalid(L"{\"code\":\"200\"}"));
    EXPECT_TRUE(Invalid(L"{\"code\":\"200\",\"data\":null}"));
}

TEST(ParseInstallConfig, ProtocolVersionMustBe10) {
    EXPECT_TRUE(Invalid(L"{\"code\":\"200\",\"data\":{}}"));
    EXPECT_TRUE(Invalid(L"{\"code\":\"200\",\"data\":{\"sp\":\"1.1\"}}"));
    EXPECT_TRUE(Invalid(L"{\"code\":\"200\",\"data\":{\"sp\":1.0}}"));
    EXPECT_TRUE(Invalid(L"{\"code\":\"200\",\"data\":{\"sp\":\"1.0 \"}}"));
}

TEST(ParseInstallConfig, OtherMembersMissingOrNotStringsAreEmpty) {
    InstallConfig config;
    ASSERT_FALSE(ParseInstallConfig(
        Response(L"\"pdfver\":2,\"pdfname\":null,\"pdfdlurl\":[\"u\"],\"pdfmd5\":{},"
                 L"\"dotnetparam\":true,\"dotnetname\":\"d.exe\""),
        config));
    EXPECT_EQ(config.pdfver, L"");
    EXPECT_EQ(config.pdfname, L"");
    EXPECT_EQ(config.pdfdlurl, L"");
    EXPECT_EQ(config.pdfmd5, L"");
    EXPECT_EQ(config.dotnetparam, L"");
    EXPECT_EQ(config.dotnetname, L"d.exe");
    EXPECT_EQ(config.dotnetdlurl, L"");
}

TEST(ParseInstallConfig, ExtraMembersAndCommentsAreIgnored) {
    InstallConfig config;
    ASSERT_FALSE(ParseInstallConfig(
        L"{\"code\":\"200\",\"message\":\"成功\",/* note */\"data\":{\"sp\":\"1.0\","
        L"\"pdfname\":\"安装包.exe\",\"extra\":{\"deep\":[1,2]}}}",
        config));
    EXPECT_EQ(config.pdfname, L"安装包.exe");
}

TEST(ParseInstallConfig, UnsafeFileNamesAreInvalid) {
    for (const std::wstring name :
         {L"../p.exe", L"..", L".", L"/tmp/p.exe", L"a/b.exe", L"a\\b.exe", L"..\\p.exe",
          L"C:p.exe", L"p.exe:stream", L":", L"p.exe.", L"p.exe ", L"p.exe. . ", L" "}) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        const std::wstring escaped = [&name] {
            std::wstring out;
            for (wchar_t c : name) {
                if (c == L'\\') {
                    out += L'\\';
                }
                out += c;
            }
            return out;
        }();
        EXPECT_TRUE(Invalid(Response(L"\"pdfname\":\"" + escaped + L"\"")));
        EXPECT_TRUE(Invalid(Response(L"\"dotnetname\":\"" + escaped + L"\"")));
    }
    // Dots and spaces inside a plain name are fine.
    EXPECT_FALSE(Invalid(Response(L"\"pdfname\":\"p..v2.exe\",\"dotnetname\":\".hidden\"")));
    EXPECT_FALSE(Invalid(Response(L"\"pdfname\":\" p v2.exe\",\"dotnetname\":\"dotnet 4\"")));
}

TEST(ParseInstallConfig, UnsafeProductVersionIsInvalid) {
    EXPECT_TRUE(Invalid(Response(L"\"pdfver\":\"..\"")));
    EXPECT_TRUE(Invalid(Response(L"\"pdfver\":\"../../etc\"")));
    EXPECT_TRUE(Invalid(Response(L"\"pdfver\":\"2.0/x\"")));
    EXPECT_TRUE(Invalid(Response(L"\"pdfver\":\"2..0\"")));
    EXPECT_TRUE(Invalid(Response(L"\"pdfver\":\"2\\\\0\"")));
    EXPECT_FALSE(Invalid(Response(L"\"pdfver\":\"2.0.1\"")));
}

TEST(ParseInstallConfig, HostileInputIsInvalidNotACrash) {
    // Nesting deep enough to exhaust a naive recursive parser.
    std::wstring deep = L"{\"code\":\"200\",\"data\":";
    deep += std::wstring(100000, L'[');
    EXPECT_TRUE(Invalid(deep));
    std::wstring deepObjects = L"{\"code\":\"200\",\"data\":{\"sp\":\"1.0\",\"x\":";
    for (int i = 0; i < 50000; ++i) {
        deepObjects += L"{\"a\":";
    }
    EXPECT_TRUE(Invalid(deepObjects));
    // Random bytes, control characters and NULs.
    std::wstring noise = L"{";
    for (int i = 0; i < 4096; ++i) {
        noise += static_cast<wchar_t>((i * 7919) % 0x2FF + 1);
    }
    EXPECT_TRUE(Invalid(noise));
    EXPECT_TRUE(Invalid(std::wstring(L"{\0\"code\":\"200\"}", 15)));
}

TEST(ParseInstallConfig, ResponseOverTheSizeLimitIsInvalid) {
    std::wstring padded = Response(kFull);
    padded.insert(1, L"\"pad\":\"" + std::wstring(kMaxTextResponseBytes, L'x') + L"\",");
    EXPECT_TRUE(Invalid(padded));
    // The same document just under the limit is valid.
    std::wstring fits = Response(kFull);
    const size_t room = kMaxTextResponseBytes - fits.size() - 10;
    fits.insert(1, L"\"pad\":\"" + std::wstring(room, L'x') + L"\",");
    ASSERT_LE(fits.size(), kMaxTextResponseBytes);
    EXPECT_FALSE(Invalid(fits));
}

class PackageList : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedTemp = g_tempFolder;
        m_savedDotNet = g_dotNetInstalled;
        g_packages.clear();
        g_tempFolder = L"/tmp/inst/";
    }
    void TearDown() override {
        g_packages.clear();
        g_tempFolder = m_savedTemp;
        g_dotNetInstalled = m_savedDotNet;
    }
    std::wstring m_savedTemp;
    int m_savedDotNet = 0;
};

TEST_F(PackageList, DotNetPresentGivesTheProductOnly) {
    g_dotNetInstalled = 1;
    InstallConfig config;
    ASSERT_FALSE(ParseInstallConfig(
        Response(L"\"pdfver\":\"2.0.1\",\"pdfname\":\"p.exe\",\"pdfdlurl\":\"http://h/p\","
                 L"\"pdfmd5\":\"abc\""),
        config));
    auto* owner = reinterpret_cast<IInstallView*>(0x1234);
    BuildPackageList(config, owner);
    ASSERT_EQ(g_packages.size(), 1u);
    EXPECT_EQ(g_packages[0].type, L"1");
    EXPECT_EQ(g_packages[0].localPath, L"/tmp/inst/p.exe");
    EXPECT_EQ(g_packages[0].downloadUrl, L"http://h/p");
    EXPECT_EQ(g_packages[0].parameters, L"/S");
    EXPECT_EQ(g_packages[0].md5, L"abc");
    EXPECT_EQ(g_packages[0].owner, owner);
    // Joined with the system's own separator.
    const std::wstring sep(1, plat::kPathSeparator);
    EXPECT_EQ(MakeInstallDirectory(L"/opt", config.pdfver),
              L"/opt" + sep + L"TarvexPDFConver" + sep + L"2.0.1");
    EXPECT_EQ(MakeProductExePath(L"/opt/TarvexPDFConver/2.0.1"),
              L"/opt/TarvexPDFConver/2.0.1" + sep + L"TarvexPDFConver.exe");
}

TEST_F(PackageList, DotNetAbsentPutsItsPackageFirst) {
    g_dotNetInstalled = 0;
    InstallConfig config;
    ASSERT_FALSE(
        ParseInstallConfig(Response(L"\"pdfver\":\"2.0.1\",\"pdfname\":\"p.exe\""), config));
    BuildPackageList(config, nullptr);
    ASSERT_EQ(g_packages.size(), 2u);
    EXPECT_EQ(g_packages[0].type, L"2");
    // The .NET members were not given: every field is empty, the path is the
    // temporary folder itself.
    EXPECT_EQ(g_packages[0].downloadUrl, L"");
    EXPECT_EQ(g_packages[0].localPath, L"/tmp/inst/");
    EXPECT_EQ(g_packages[0].parameters, L"");
    EXPECT_EQ(g_packages[0].md5, L"");
    EXPECT_EQ(g_packages[1].type, L"1");
    EXPECT_EQ(g_packages[1].parameters, L"/S");

    g_packages.clear();
    ASSERT_FALSE(ParseInstallConfig(Response(kFull), config));
    BuildPackageList(config, nullptr);
    ASSERT_EQ(g_packages.size(), 2u);
    EXPECT_EQ(g_packages[0].localPath, L"/tmp/inst/dotnet.exe");
    EXPECT_EQ(g_packages[0].parameters, L"/q /norestart");
    EXPECT_EQ(g_packages[0].md5, L"fedcba");
    EXPECT_EQ(g_packages[0].downloadUrl, L"http://h/dotnet.exe");
}

} // namespace
