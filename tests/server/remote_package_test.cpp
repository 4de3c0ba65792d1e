// Packages served by another host (a mirror or CDN): the configuration
// points the installer there, the digest comes from the local copy or is
// given with the entry, and what cannot be right is refused with a reason.
#include <json/json.h>

#include <cctype>
#include <sstream>

#include "server/catalogue.h"
#include "tests/server/distd_test_util.h"

using namespace distd_test;

namespace {

const std::string kCdn = "https://cdn.example.com/tarvex/";

// A catalogue whose channel "cdn" has the given release members.
std::string WithCdnRelease(const std::string& members) {
    return CatalogueJson(R"(,
    {"channel": "cdn", "releases": [{"product_version": "3.0", )" +
                         members + "}]}");
}

bool Load(const CatalogueFolder& folder, std::string& error) {
    distd::DigestCache digests;
    std::shared_ptr<const distd::Catalogue> catalogue;
    return distd::LoadCatalogue(folder.Catalogue(), digests, catalogue, error);
}

std::string LocalMd5(const CatalogueFolder& folder, const std::string& name) {
    distd::DigestCache digests;
    distd::PackageFile file;
    std::string error;
    EXPECT_TRUE(digests.Describe(folder / ("packages/" + name), file, error)) << error;
    return file.md5;
}

Json::Value Config(RunningService& service, const std::string& channel) {
    auto res = service.Client().Get("/api/soft/pdf/type/install/sp/1.0/ver/1.1/channel/" + channel);
    Json::Value root;
    if (res) {
        std::istringstream(res->body) >> root;
    }
    return root["data"];
}

} // namespace

TEST(RemotePackages, TheConfigurationPointsAtTheOtherHostWithTheRightDigest) {
    CatalogueFolder folder;
    const std::string given = "0123456789abcdef0123456789ABCDEF";
    folder.WriteCatalogue(WithCdnRelease(R"("package": "only-on-cdn.exe", "url": ")" + kCdn +
                                         R"(only-on-cdn.exe", "md5": ")" + given +
                                         R"(", "dotnet": {"package": "dotnet.exe", "url": ")" +
                                         kCdn + R"(dotnet.exe", "major_version": "4"})"));
    RunningService service(folder);
    ASSERT_TRUE(service.Started());

    const Json::Value data = Config(service, "cdn");
    EXPECT_EQ(data["pdfname"].asString(), "only-on-cdn.exe");
    EXPECT_EQ(data["pdfdlurl"].asString(), kCdn + "only-on-cdn.exe");
    EXPECT_EQ(data["pdfmd5"].asString(), "0123456789abcdef0123456789abcdef");
    // No digest given: the local copy's.
    EXPECT_EQ(data["dotnetdlurl"].asString(), kCdn + "dotnet.exe");
    EXPECT_EQ(data["dotnetmd5"].asString(), LocalMd5(folder, "dotnet.exe"));
    // Other channels still download from this service.
    const Json::Value local = Config(service, "10001");
    EXPECT_EQ(local["pdfdlurl"].asString(), service.Url("/download/setup.exe"));
    // A package with no local copy is not served here.
    auto download = service.Client().Get("/download/only-on-cdn.exe");
    ASSERT_TRUE(download);
    EXPECT_EQ(download->status, 404);
}

TEST(RemotePackages, WhatCannotBeRightIsRefusedWithItsReason) {
    CatalogueFolder folder;
    const std::string local = LocalMd5(folder, "old.exe");
    const std::string wrong =
        local == std::string(32, 'a') ? std::string(32, 'b') : std::string(32, 'a');
    const struct {
        std::string members;
        std::string says;
    } cases[] = {
        // The digest given disagrees with the local copy.
        {R"("package": "old.exe", "url": ")" + kCdn + R"(old.exe", "md5": ")" + wrong + "\"",
         "differs from the local copy's " + local},
        // Served elsewhere, but nothing to take a digest from.
        {R"("package": "gone.exe", "url": ")" + kCdn + R"(gone.exe")", "has neither a local copy"},
        // Without a URL a local copy is needed, digest or not.
        {R"("package": "gone.exe", "md5": ")" + wrong + "\"", "gone.exe"},
        {R"("package": "old.exe", "md5": "abc")", "32 hexadecimal digits"},
        {R"("package": "old.exe", "md5": ")" + std::string(31, 'a') + "g\"",
         "32 hexadecimal digits"},
        {R"("package": "old.exe", "url": "ftp://mirror/old.exe")", "http:// or https://"},
        {R"("package": "old.exe", "url": "https://mirror/old file.exe")", "without spaces"},
        // The name is still the installer's file name.
        {R"("package": "../up.exe", "url": ")" + kCdn + R"(x", "md5": ")" + wrong + "\"", "up.exe"},
    };
    for (const auto& item : cases) {
        folder.WriteCatalogue(WithCdnRelease(item.members));
        std::string error;
        EXPECT_FALSE(Load(folder, error)) << item.members;
        EXPECT_NE(error.find(item.says), std::string::npos) << item.members << ": " << error;
        EXPECT_NE(error.find("channels[2].releases[0]"), std::string::npos) << error;
    }
    // The same digest in capitals is the same digest.
    std::string upper = local;
    for (char& ch : upper) {
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    }
    folder.WriteCatalogue(WithCdnRelease(R"("package": "old.exe", "url": ")" + kCdn +
                                         R"(old.exe", "md5": ")" + upper + "\""));
    std::string error;
    EXPECT_TRUE(Load(folder, error)) << error;
}

TEST(RemotePackages, CheckSaysWhereEachPackageComesFromAndWhereItsDigestCameFrom) {
    CatalogueFolder folder;
    const std::string local = LocalMd5(folder, "old.exe");
    folder.WriteCatalogue(CatalogueJson(R"(,
    {"channel": "cdn", "releases": [
      {"max_installer": "1.0", "product_version": "3.0", "package": "only-on-cdn.exe",
       "url": ")" + kCdn + R"(only-on-cdn.exe", "md5": ")" +
                                        std::string(32, 'c') + R"("},
      {"min_installer": "1.1", "product_version": "3.1", "package": "old.exe",
       "url": ")" + kCdn + R"(old.exe", "md5": ")" +
                                        local + R"("}]})"));
    int rc = -1;
    const std::string check =
        testutil::Run(std::string(DISTD_PATH) + " check '" + folder.Catalogue() + "' 2>&1", rc);
    EXPECT_EQ(rc, 0) << check;
    EXPECT_NE(check.find("only-on-cdn.exe from " + kCdn + "only-on-cdn.exe (md5 " +
                         std::string(32, 'c') + " given, no local copy)"),
              std::string::npos)
        << check;
    EXPECT_NE(
        check.find("old.exe from " + kCdn + "old.exe (12 bytes, md5 " + local + ", as given)"),
        std::string::npos)
        << check;
}
