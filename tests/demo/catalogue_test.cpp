// The demo catalogue as distd reads it: the default channel offers the
// product alone, channel 10086 the product and the .NET stand-in, each
// package the program this build made.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "demo_test_util.h"

namespace {

std::string Site(const std::string& name) {
    return std::string(DEMO_SITE) + "/" + name;
}

std::string LowerMd5Of(const std::string& path) {
    std::string digest = testutil::Md5SumOf(path);
    for (char& c : digest)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return digest;
}

TEST(DemoCatalogue, DistdAcceptsItWithTheProductOnBothChannelsAndDotNetOn10086) {
    int exitCode = -1;
    const std::string out = testutil::Run(
        std::string("'") + DISTD_PATH + "' check '" + Site("catalogue.json") + "' 2>&1", exitCode);
    ASSERT_EQ(exitCode, 0) << out;

    const std::string product = "TarvexPDFConverSetup_" DEMO_PRODUCT_VERSION ".exe";
    const std::string productLine = "product " DEMO_PRODUCT_VERSION ", package " + product;
    const size_t defaultChannel = out.find("channel * (default)");
    const size_t channel10086 = out.find("channel 10086");
    ASSERT_NE(defaultChannel, std::string::npos) << out;
    ASSERT_NE(channel10086, std::string::npos) << out;
    const std::string first = out.substr(defaultChannel, channel10086 - defaultChannel);
    const std::string second = out.substr(channel10086);
    EXPECT_NE(first.find(productLine), std::string::npos) << out;
    EXPECT_NE(first.find("no .NET package"), std::string::npos) << out;
    EXPECT_NE(second.find(productLine), std::string::npos) << out;
    EXPECT_NE(second.find(".NET 4: DotNetStandIn.exe"), std::string::npos) << out;
    EXPECT_NE(second.find("parameters \"/q /norestart\""), std::string::npos) << out;
    // The installer's statistics settings: product 51 with its key and IV.
    EXPECT_NE(out.find("product 51: key of 32 bytes, iv of 16 bytes"), std::string::npos) << out;

    // The packages are the setup package and the stand-in of this build.
    EXPECT_NE(second.find("md5 " + LowerMd5Of(Site("packages/" + product))), std::string::npos);
    EXPECT_EQ(testutil::Md5SumOf(Site("packages/" + product)), testutil::Md5SumOf(SETUP_PACKAGE));
    EXPECT_EQ(testutil::Md5SumOf(Site("packages/DotNetStandIn.exe")),
              testutil::Md5SumOf(DOTNET_PACKAGE));
}

} // namespace
