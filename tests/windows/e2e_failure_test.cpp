// Failures the user sees in the install window: no configuration, a package
// that does not match its digest or fails, a server that goes away or stops
// sending, and a disk that refuses the download. Each ends with the close
// button ending the installer at once, and no finish window.
#include "tests/windows/e2e_steps.h"

using namespace e2e;

namespace {

const std::string kConfigFailure = "获取信息失败！";
const std::string kInstallFailure = "安装失败！";

// Closes the failed install window: no question, the run ends with 1.
void CloseAfterFailure(Session& s, const WindowInfo& install) {
    FinalClick(s, install, ControlRect(kInstall, "closebtn", kWndW, kWndH));
    EXPECT_FALSE(s.Has(kDialogClass));
    EXPECT_EQ(s.Exit(), 1) << s.Errors();
}

bool HasInstallEvent(Peer& peer) {
    for (const std::string& doc : peer.Reports())
        if (doc.find("InstallSuccess") != std::string::npos)
            return true;
    return false;
}

} // namespace

TEST(InstallFailure, NoConfigurationShowsItAndTheCloseButtonEndsWithoutAQuestion) {
    Peer peer;
    peer.SetConfig("");
    Session s;
    const WindowInfo install = StartInstalling(s, peer);
    ASSERT_FALSE(install.cls.empty());
    ExpectWindow(s, install, FailurePicture(kConfigFailure, 0), "configuration failure");
    EXPECT_EQ(peer.ConfigPaths().size(), 1u);
    CloseAfterFailure(s, install);
    int code = -1;
    testutil::Run(std::string(REGTOOL_PATH) + " --store '" + s.Path("registry.db") +
                      "' get 'HKLM\\Software\\TarvexPDFConver' installPath",
                  code);
    EXPECT_EQ(code, 2) << "no installPath may be written";
    EXPECT_FALSE(HasInstallEvent(peer));
}

TEST(InstallFailure, AWrongDigestRunsNothingAndShowsTheFailure) {
    Peer peer;
    const std::string product = ProbePackage("product", 200000);
    peer.AddPackage(kProductName, {product});
    peer.SetConfig(
        ConfigJson(peer, kProductName, product, "", "", "00112233445566778899aabbccddeeff"));
    Session s;
    const WindowInfo install = StartInstalling(s, peer);
    ASSERT_FALSE(install.cls.empty());
    ExpectWindow(s, install, FailurePicture(kInstallFailure, 100), "digest mismatch");
    EXPECT_FALSE(s.Has(kFinishClass));
    EXPECT_EQ(s.ProbeLog(), "");
    CloseAfterFailure(s, install);
    EXPECT_FALSE(HasInstallEvent(peer));
}

TEST(InstallFailure, APackageThatFailsIsNotAnInstallation) {
    Peer peer;
    const std::string product = ProbePackage("product", 200000, 3);
    peer.AddPackage(kProductName, {product});
    peer.SetConfig(ConfigJson(peer, kProductName, product));
    Session s;
    const WindowInfo install = StartInstalling(s, peer);
    ASSERT_FALSE(install.cls.empty());
    ExpectWindow(s, install, FailurePicture(kInstallFailure, 100), "failing package");
    EXPECT_NE(s.ProbeLog().find("product args=/S"), std::string::npos);
    EXPECT_FALSE(s.Has(kFinishClass));
    CloseAfterFailure(s, install);
    EXPECT_FALSE(HasInstallEvent(peer));
}

TEST(InstallFailure, AServerGoneInTheMiddleOfTheDownload) {
    auto peer = std::make_unique<Peer>();
    const std::string product = ProbePackage("product", 800000);
    PackageSpec spec{product, product.size() / 2, true};
    peer->AddPackage(kProductName, spec);
    peer->SetConfig(ConfigJson(*peer, kProductName, product));
    Session s;
    const WindowInfo install = StartInstalling(s, *peer);
    ASSERT_FALSE(install.cls.empty());
    ASSERT_TRUE(peer->WaitHeld(kProductName));
    peer->Stop();
    ExpectWindow(s, install, FailurePicture(kInstallFailure, 100), "server gone");
    EXPECT_EQ(s.ProbeLog(), "");
    CloseAfterFailure(s, install);
}

TEST(InstallFailure, AServerThatStopsSendingIsGivenUp) {
    Peer peer;
    const std::string product = ProbePackage("product", 800000);
    peer.AddPackage(kProductName, {product, product.size() * 2 / 5});
    peer.SetConfig(ConfigJson(peer, kProductName, product));
    Session s;
    const WindowInfo install = StartInstalling(s, peer, {"--stall-seconds", "2"});
    ASSERT_FALSE(install.cls.empty());
    ASSERT_TRUE(peer.WaitHeld(kProductName));
    ExpectWindow(s, install, FailurePicture(kInstallFailure, 100), "stalled server");
    EXPECT_EQ(s.ProbeLog(), "");
    CloseAfterFailure(s, install);
}

TEST(InstallFailure, ADiskThatRefusesTheDownload) {
    Peer peer;
    const std::string product = ProbePackage("product", 3 * 1024 * 1024);
    peer.AddPackage(kProductName, {product});
    peer.SetConfig(ConfigJson(peer, kProductName, product));
    Session s;
    // Files of the installer may not grow past 1 MiB.
    const WindowInfo install =
        StartInstalling(s, peer, {}, {"/usr/bin/prlimit", "--fsize=1048576:1048576", "--"});
    ASSERT_FALSE(install.cls.empty()) << s.Errors();
    ExpectWindow(s, install, FailurePicture(kInstallFailure, 100), "disk refuses writes");
    EXPECT_EQ(s.ProbeLog(), "");
    CloseAfterFailure(s, install);
}
