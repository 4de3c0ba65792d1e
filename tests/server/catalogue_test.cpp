// The catalogue: what a valid one gives each channel and installer
// version, and how a faulty one is refused with a message that says where.
#include "server/catalogue.h"

#include <unistd.h>

#include "tests/server/distd_test_util.h"

using distd_test::CatalogueFolder;
using distd_test::CatalogueJson;

namespace {

std::shared_ptr<const distd::Catalogue> Load(const CatalogueFolder& folder, std::string& error) {
    distd::DigestCache digests;
    std::shared_ptr<const distd::Catalogue> catalogue;
    distd::LoadCatalogue(folder.Catalogue(), digests, catalogue, error);
    return catalogue;
}

// The error for a catalogue text (empty when it loads).
std::string ErrorFor(CatalogueFolder& folder, const std::string& json) {
    folder.WriteCatalogue(json);
    std::string error;
    Load(folder, error);
    return error;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

} // namespace

TEST(Versions, CompareByNumericPartsWithMissingPartsAsZero) {
    distd::Version a, b;
    ASSERT_TRUE(distd::ParseVersion("1.10", a));
    ASSERT_TRUE(distd::ParseVersion("1.9.9.9", b));
    EXPECT_GT(distd::CompareVersions(a, b), 0);
    ASSERT_TRUE(distd::ParseVersion("1.2", a));
    ASSERT_TRUE(distd::ParseVersion("1.2.0.0", b));
    EXPECT_EQ(distd::CompareVersions(a, b), 0);
    for (const char* bad : {"", "1.", ".1", "1..2", "1.2.3.4.5", "a.b", "1.-2", "65536", "1 .2"}) {
        EXPECT_FALSE(distd::ParseVersion(bad, a)) << bad;
    }
}

TEST(Catalogue, FindsTheChannelsReleaseByVersionElseTheDefault) {
    CatalogueFolder folder;
    std::string error;
    auto catalogue = Load(folder, error);
    ASSERT_TRUE(catalogue) << error;
    EXPECT_EQ(catalogue->Find("10001", "1.0.5")->package, "old.exe");
    EXPECT_EQ(catalogue->Find("10001", "1.0.9.0")->package, "old.exe");
    EXPECT_EQ(catalogue->Find("10001", "1.1.8.305")->productVersion, "2.1.0");
    // 1.0.10 lies between the two ranges of 10001: the default channel
    // answers for it.
    const distd::Release* between = catalogue->Find("10001", "1.0.10");
    ASSERT_NE(between, nullptr);
    EXPECT_EQ(between->productVersion, "2.0.1");
    EXPECT_EQ(catalogue->Find("99999", "3.0")->productVersion, "2.0.1");
    EXPECT_TRUE(catalogue->Find("99999", "3.0")->hasDotNet);
    EXPECT_EQ(catalogue->Find("10001", "not a version"), nullptr);
    EXPECT_TRUE(catalogue->IsPackage("dotnet.exe"));
    EXPECT_FALSE(catalogue->IsPackage("unlisted.exe"));
    ASSERT_NE(catalogue->Product("51"), nullptr);
    EXPECT_EQ(catalogue->Product("51")->key, distd_test::kKey);
    EXPECT_EQ(catalogue->Product("11"), nullptr);
}

TEST(Catalogue, WithoutADefaultAnUnknownChannelGetsNothing) {
    CatalogueFolder folder;
    folder.WriteCatalogue(R"({"package_dir": "packages",
      "products": [{"id": "51", "key": "0123456789abcdef", "iv": "0123456789abcdef"}],
      "channels": [{"channel": "7", "releases": [{"min_installer": "2", "product_version": "1",
                                                  "package": "old.exe"}]}]})");
    std::string error;
    auto catalogue = Load(folder, error);
    ASSERT_TRUE(catalogue) << error;
    EXPECT_EQ(catalogue->Find("8", "2.0"), nullptr);
    EXPECT_EQ(catalogue->Find("7", "1.9"), nullptr);
    EXPECT_NE(catalogue->Find("7", "2"), nullptr);
    EXPECT_FALSE(catalogue->Find("7", "2")->hasDotNet);
}

TEST(Catalogue, FaultsAreRefusedWithTheirPlace) {
    CatalogueFolder folder;
    const std::string good = CatalogueJson();
    struct Case {
        std::string json;
        std::string expected;
    };
    const Case cases[] = {
        {"{\"package_dir\": ", "not valid JSON"},
        {"[]", "must be an object"},
        {Replace(good, "\"setup.exe\",\n       \"dotnet\"", "\"missing.exe\",\n       \"dotnet\""),
         "channels[0].releases[0].package: no file 'missing.exe'"},
        {Replace(good, "\"old.exe\"", "\"../secret.txt\""),
         "channels[1].releases[0].package: '../secret.txt' is not a plain file name"},
        {Replace(good, "\"package_dir\": \"packages\"", "\"package_dir\": \"nowhere\""),
         "package_dir: "},
        {Replace(good, distd_test::kKey, "short"), "products[0]: \"key\" must have 16, 24 or 32"},
        {Replace(good, distd_test::kIv, "tiny"), "\"iv\" must have at least 16 bytes"},
        {Replace(good, "\"min_installer\": \"1.1\"", "\"min_installer\": \"1.0\""),
         "channels[1].releases[1]: overlaps releases[0]"},
        {Replace(good, "\"max_installer\": \"1.0.9\"", "\"max_installer\": \"1.x\""),
         "\"max_installer\" is not a dotted version"},
        {Replace(good, "\"product_version\": \"1.9\"", "\"product_vers\": \"1.9\""),
         "unknown member \"product_vers\""},
        {Replace(good, "\"channel\": \"10001\"", "\"channel\": \"*\""),
         "channels[1]: channel \"*\" appears twice"},
        {Replace(good, "\"product_version\": \"2.0.1\"", "\"product_version\": 2"),
         "\"product_version\" must be a string"},
        {Replace(good, "\"product_version\": \"2.0.1\"", "\"product_version\": \"..\""),
         "usable as a folder name"},
        {Replace(good, "\"package_dir\"", "\"products\": [], \"package_dir\""), "not valid JSON"},
        {"{\"package_dir\": \"packages\", \"channels\": []}", "products: must be a non-empty"},
        {"{" + std::string(200, '['), "not valid JSON"},
    };
    for (const Case& c : cases) {
        const std::string error = ErrorFor(folder, c.json);
        EXPECT_NE(error.find(c.expected), std::string::npos)
            << "expected \"" << c.expected << "\" in \"" << error << "\"";
        EXPECT_NE(error.find(folder.Catalogue()), std::string::npos) << error;
    }
}

TEST(Catalogue, SymbolicLinksMayNotLeadOutOfThePackageFolder) {
    CatalogueFolder folder;
    ASSERT_EQ(::symlink((folder / "secret.txt").c_str(), (folder / "packages/link.exe").c_str()),
              0);
    ASSERT_EQ(::symlink("setup.exe", (folder / "packages/latest.exe").c_str()), 0);
    std::string error = ErrorFor(folder, Replace(CatalogueJson(), "\"old.exe\"", "\"link.exe\""));
    EXPECT_NE(error.find("leads out of the package folder"), std::string::npos) << error;
    // A link that stays inside is fine.
    error = ErrorFor(folder, Replace(CatalogueJson(), "\"old.exe\"", "\"latest.exe\""));
    EXPECT_EQ(error, "");
}

TEST(Catalogue, HolderKeepsTheCatalogueInForceWhenAReloadFails) {
    CatalogueFolder folder;
    distd::CatalogueHolder holder(folder.Catalogue());
    std::string error;
    ASSERT_TRUE(holder.Load(error)) << error;
    auto before = holder.Get();
    folder.WriteCatalogue("{ broken");
    EXPECT_FALSE(holder.Load(error));
    EXPECT_NE(error.find("not valid JSON"), std::string::npos);
    EXPECT_EQ(holder.Get(), before);
    folder.WriteCatalogue(Replace(CatalogueJson(), "\"2.0.1\"", "\"2.0.2\""));
    ASSERT_TRUE(holder.Load(error)) << error;
    EXPECT_EQ(holder.Get()->Find("1", "1.0")->productVersion, "2.0.2");
    // The snapshot taken before stays usable.
    EXPECT_EQ(before->Find("1", "1.0")->productVersion, "2.0.1");
}

TEST(Catalogue, DigestsFollowTheFilesNotTheCatalogue) {
    CatalogueFolder folder;
    distd::DigestCache digests;
    distd::PackageFile file;
    std::string error;
    const std::string path = folder / "packages/old.exe";
    ASSERT_TRUE(digests.Describe(path, file, error)) << error;
    EXPECT_EQ(file.md5, "be51e889233b4a42f739a92cf07ae7c8");
    EXPECT_EQ(file.size, 12u);
    ASSERT_TRUE(digests.Describe(path, file, error));
    EXPECT_EQ(digests.Computed(), 1u); // unchanged: not read again
    testutil::WriteAll(path, "abc");
    ASSERT_TRUE(digests.Describe(path, file, error));
    EXPECT_EQ(file.md5, "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(digests.Computed(), 2u);
}

TEST(Catalogue, CheckDescribesWhatEachChannelGets) {
    CatalogueFolder folder;
    distd::DigestCache digests;
    std::string error;
    std::shared_ptr<const distd::Catalogue> catalogue;
    ASSERT_TRUE(distd::LoadCatalogue(folder.Catalogue(), digests, catalogue, error)) << error;
    const std::string text = distd::DescribeCatalogue(*catalogue, digests);
    EXPECT_NE(text.find("channel * (default)"), std::string::npos) << text;
    EXPECT_NE(text.find("installer up to 1.0.9: product 1.9, package old.exe (12 bytes, md5 "
                        "be51e889233b4a42f739a92cf07ae7c8)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("installer 1.1 and later: product 2.1.0"), std::string::npos) << text;
    EXPECT_NE(text.find(".NET 4: dotnet.exe"), std::string::npos) << text;
    EXPECT_NE(text.find("parameters \"/q /norestart\""), std::string::npos) << text;
    EXPECT_NE(text.find("no .NET package"), std::string::npos) << text;
}
