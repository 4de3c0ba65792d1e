// The configuration API as the installer reads it.
#include "server/config_api.h"

#include <json/json.h>

#include "tests/server/distd_test_util.h"

using namespace distd_test;

namespace {

Json::Value ParseJson(const std::string& text) {
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &root, &errors)) << text;
    return root;
}

std::string ConfigPath(const std::string& version, const std::string& channel) {
    return "/api/soft/pdf/type/install/sp/1.0/ver/" + version + "/channel/" + channel;
}

} // namespace

class ConfigApi : public ::testing::Test {
protected:
    CatalogueFolder m_folder;
    RunningService m_service{m_folder};
};

TEST_F(ConfigApi, AnswersTheChannelsReleaseWithDigestsAndUrlsBackHere) {
    httplib::Client client = m_service.Client();
    auto res = client.Get(ConfigPath("1.1.8.305", "10001"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    const Json::Value root = ParseJson(res->body);
    EXPECT_EQ(root["code"], "200");
    const Json::Value& data = root["data"];
    EXPECT_EQ(data["sp"], "1.0");
    EXPECT_EQ(data["pdfver"], "2.1.0");
    EXPECT_EQ(data["pdfname"], "setup.exe");
    EXPECT_EQ(data["pdfdlurl"], m_service.Url("/download/setup.exe"));
    // The digest of the served bytes.
    auto download = client.Get("/download/setup.exe");
    ASSERT_TRUE(download);
    testutil::WriteAll(m_folder / "copy", download->body);
    int rc = 0;
    const std::string md5sum = testutil::Run("md5sum '" + (m_folder / "copy") + "'", rc);
    EXPECT_EQ(data["pdfmd5"].asString(), md5sum.substr(0, 32));
    // This release has no .NET package: the members are there, empty.
    for (const char* name :
         {"dotnetmajorver", "dotnetname", "dotnetparam", "dotnetdlurl", "dotnetmd5"}) {
        EXPECT_TRUE(data[name].isString()) << name;
        EXPECT_EQ(data[name].asString(), "") << name;
    }
}

TEST_F(ConfigApi, DefaultChannelCarriesTheDotNetPackage) {
    auto res = m_service.Client().Get(ConfigPath("1.0.0.1", "%E6%B8%A0%E9%81%93"));
    ASSERT_TRUE(res);
    const Json::Value data = ParseJson(res->body)["data"];
    EXPECT_EQ(data["pdfver"], "2.0.1");
    EXPECT_EQ(data["dotnetmajorver"], "4");
    EXPECT_EQ(data["dotnetname"], "dotnet.exe");
    EXPECT_EQ(data["dotnetparam"], "/q /norestart");
    EXPECT_EQ(data["dotnetdlurl"], m_service.Url("/download/dotnet.exe"));
    int rc = 0;
    EXPECT_EQ(
        data["dotnetmd5"].asString(),
        testutil::Run("md5sum < '" + (m_folder / "packages/dotnet.exe") + "'", rc).substr(0, 32));
}

TEST_F(ConfigApi, NoReleaseGetsTheFailureForm) {
    // A catalogue without a default channel.
    m_folder.WriteCatalogue(R"({"package_dir": "packages",
      "products": [{"id": "51", "key": "0123456789abcdef", "iv": "0123456789abcdef"}],
      "channels": [{"channel": "7", "releases": [{"min_installer": "2", "product_version": "1",
                                                  "package": "old.exe"}]}]})");
    std::string message;
    ASSERT_TRUE(m_service->ReloadCatalogue(message)) << message;
    httplib::Client client = m_service.Client();
    for (const std::string& path : {ConfigPath("2.0", "8"), ConfigPath("1.9", "7"),
                                    ConfigPath("x.y", "7"), ConfigPath("2.0.0.0.0", "7")}) {
        auto res = client.Get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_GE(res->status, 400) << path;
        const Json::Value root = ParseJson(res->body);
        EXPECT_NE(root["code"], "200") << path;
        EXPECT_TRUE(root["code"].isString()) << path;
        EXPECT_TRUE(root["data"].isNull()) << path;
        EXPECT_FALSE(root["msg"].asString().empty()) << path;
    }
    auto res = client.Get(ConfigPath("2.5", "7"));
    ASSERT_TRUE(res);
    EXPECT_EQ(ParseJson(res->body)["data"]["pdfver"], "1");
}

TEST_F(ConfigApi, ADigestFollowsAReplacedPackage) {
    httplib::Client client = m_service.Client();
    auto before = client.Get(ConfigPath("1.0", "10001"));
    ASSERT_TRUE(before);
    EXPECT_EQ(ParseJson(before->body)["data"]["pdfmd5"], "be51e889233b4a42f739a92cf07ae7c8");
    testutil::WriteAll(m_folder / "packages/old.exe", "abc");
    auto after = client.Get(ConfigPath("1.0", "10001"));
    ASSERT_TRUE(after);
    EXPECT_EQ(ParseJson(after->body)["data"]["pdfmd5"], "900150983cd24fb0d6963f7d28e17f72");
}

TEST_F(ConfigApi, PublicUrlOfTheCatalogueNamesTheDownloadHost) {
    std::string json = CatalogueJson();
    json.insert(1, "\"public_url\": \"https://cdn.example.test/pkgs/\",");
    m_folder.WriteCatalogue(json);
    std::string message;
    ASSERT_TRUE(m_service->ReloadCatalogue(message)) << message;
    auto res = m_service.Client().Get(ConfigPath("1.0", "10001"));
    ASSERT_TRUE(res);
    EXPECT_EQ(ParseJson(res->body)["data"]["pdfdlurl"],
              "https://cdn.example.test/pkgs/download/old.exe");
    // A Host header that is not a plain host name is not echoed.
    distd::HttpRequest req;
    req.headers.emplace_back("Host", "evil\"host");
    req.localAddr = "127.0.0.1";
    req.localPort = 8780;
    distd::Catalogue plain;
    EXPECT_EQ(distd::PublicBaseUrl(plain, req), "http://127.0.0.1:8780");
}
