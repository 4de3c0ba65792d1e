// The installer's whole run as a person goes through it: the start window,
// the downloads with their progress, the finish window and the product it
// starts, with the registry value and the three reports the servers see.
#include "tests/windows/e2e_steps.h"

using namespace e2e;

namespace {

const std::string kDotNetName = "dotNetFx40.exe";

std::string RegistryValue(Session& s, const std::string& key, const std::string& name) {
    int code = -1;
    std::string out = testutil::Run(std::string(REGTOOL_PATH) + " --store '" +
                                        s.Path("registry.db") + "' get '" + key + "' " + name,
                                    code);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return code == 0 ? out : "<exit " + std::to_string(code) + ">";
}

// The product the finish window started: it counts its start in the
// registry and, having inherited the automation socket's name, serves that
// socket now. Its window is closed again, so that nothing of the run stays.
void ExpectProductStartedThenClose(Session& s) {
    autotest::Client product;
    ASSERT_TRUE(product.Connect(s.Path("auto.sock"), 20000));
    const std::string reply = product.Ask("wait class TarvexPDFConver 20000", 30000);
    ASSERT_EQ(reply.rfind("ok 0x", 0), 0u) << reply;
    EXPECT_EQ(RegistryValue(s, "HKCU\\Software\\TarvexPDFConver", "startCount"), "1");
    product.Ask("key alt+f4");
    bool ended = false;
    for (int i = 0; i < 100 && !ended; ++i) {
        ended = product.Ask("sync 100", 2000).empty();
        if (!ended)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(ended) << "the product did not end after Alt+F4";
}

int HeldPercent(size_t holdAt, size_t size) {
    return static_cast<int>(static_cast<double>(holdAt) / static_cast<double>(size) * 100.0);
}

} // namespace

TEST(InstallerRun, InstallsDotNetFirstThenTheProductStartsItAndReportsThreeTimes) {
    Peer peer;
    ASSERT_TRUE(peer.Running());
    const std::string product = testutil::ReadAll(SETUP_PACKAGE);
    const std::string dotnet = testutil::ReadAll(DOTNET_PACKAGE);
    ASSERT_GT(product.size(), 100000u);
    const size_t productHold = product.size() * 3 / 5;
    // .NET is held one byte short of its end: the most it ever shows.
    peer.AddPackage(kDotNetName, {dotnet, dotnet.size() - 1});
    peer.AddPackage(kProductName, {product, productHold});
    peer.SetConfig(ConfigJson(peer, kProductName, product, kDotNetName, dotnet));

    Session s;
    ASSERT_TRUE(s.StartInstaller(peer, kRoomyDisk));
    const WindowInfo start = s.Wait(kStartClass);
    ASSERT_FALSE(start.cls.empty()) << s.Errors();
    EXPECT_EQ(start.title, "InstallerStartWnd");
    EXPECT_EQ(start.rect.left, kWndLeft);
    EXPECT_EQ(start.rect.top, kWndTop);
    EXPECT_EQ(start.Width(), kWndW);
    EXPECT_EQ(start.Height(), kWndH);
    ExpectWindow(s, start, StartPicture(StartState{}), "fresh start window");
    // The launch report, held while the window makes its first frame, goes
    // without any input.
    EXPECT_TRUE(peer.WaitReports(1));

    const WindowInfo install = InstallFromStart(s);
    ASSERT_FALSE(install.cls.empty());
    EXPECT_EQ(install.title, "InstallerInstallWnd");
    EXPECT_FALSE(s.Has(kStartClass));
    // The configuration was asked for with the installer's version and the
    // channel of its file name.
    ASSERT_FALSE(peer.ConfigPaths().empty());
    EXPECT_EQ(peer.ConfigPaths()[0],
              "/api/soft/pdf/type/install/sp/1.0/ver/1.1.8.305/channel/10086");

    // The .NET package comes first, and fills only the first half.
    ASSERT_TRUE(peer.WaitHeld(kDotNetName));
    EXPECT_EQ(peer.Requests(kProductName), 0);
    ExpectWindow(s, install, DownloadingPicture(HeldPercent(dotnet.size() - 1, dotnet.size()) / 2),
                 "first download");
    peer.Release(kDotNetName);
    ASSERT_TRUE(peer.WaitHeld(kProductName));
    ExpectWindow(s, install, DownloadingPicture(50 + HeldPercent(productHold, product.size()) / 2),
                 "second download");
    peer.Release(kProductName);

    const WindowInfo finish = s.Wait(kFinishClass, 60000);
    ASSERT_FALSE(finish.cls.empty()) << s.Errors();
    EXPECT_EQ(finish.title, "InstallerFinishWnd");
    EXPECT_FALSE(s.Has(kInstallClass));
    ExpectWindow(s, finish, FinishPicture(), "finish window");

    // Both packages ran: .NET recorded itself, the product is in place.
    const std::string installDir = s.InstallRoot() + "/TarvexPDFConver/2.0.1";
    EXPECT_EQ(RegistryValue(s, "HKLM\\Software\\TarvexPDFConver", "installPath"), installDir);
    EXPECT_EQ(RegistryValue(s, "HKLM\\Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full",
                            "Install"),
              "1");
    EXPECT_TRUE(std::filesystem::exists(installDir + "/TarvexPDFConver.exe"));

    FinalClick(s, finish, ControlRect(kFinish, "startbtn", kWndW, kWndH));
    EXPECT_EQ(s.Exit(), 1) << s.Errors();
    ExpectProductStartedThenClose(s);

    // Launch, the product's installation, exit: all three arrived, in order.
    ASSERT_TRUE(peer.WaitReports(3));
    const std::vector<std::string> docs = peer.Reports();
    ASSERT_EQ(docs.size(), 3u);
    EXPECT_NE(docs[0].find("\"close_time\":\"0\""), std::string::npos) << docs[0];
    EXPECT_NE(docs[0].find("\"channel\":\"10086\""), std::string::npos) << docs[0];
    EXPECT_NE(docs[0].find("\"ver\":\"1.1.8.305\""), std::string::npos) << docs[0];
    EXPECT_NE(docs[1].find("\"lable\":\"InstallSuccess\""), std::string::npos) << docs[1];
    EXPECT_NE(docs[1].find("\"name\":\"1.1.8.305+10086\""), std::string::npos) << docs[1];
    EXPECT_NE(docs[2].find("\"act_log\""), std::string::npos) << docs[2];
    EXPECT_EQ(docs[2].find("\"close_time\":\"0\""), std::string::npos) << docs[2];
}

TEST(InstallerRun, WithDotNetPresentOnlyTheProductIsFetchedAndTheBarRunsToTheEnd) {
    Peer peer;
    ASSERT_TRUE(peer.Running());
    Session s;
    ProbeOptions options;
    options.waitForGo = true;
    options.productDir = s.InstallRoot() + "/TarvexPDFConver/2.0.1";
    const std::string product = ProbePackage("product", 400000, options);
    const size_t hold = product.size() * 37 / 100 + 100;
    peer.AddPackage(kProductName, {product, hold});
    peer.SetConfig(ConfigJson(peer, kProductName, product, kDotNetName, "unused"));

    // .NET 4 (the Client profile alone) is installed already.
    int code = -1;
    testutil::Run(std::string(REGTOOL_PATH) + " --store '" + s.Path("registry.db") +
                      "' set 'HKLM\\Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Client' "
                      "Install dword 1",
                  code);
    ASSERT_EQ(code, 0);
    ASSERT_TRUE(s.StartInstaller(peer, kRoomyDisk));
    const WindowInfo install = InstallFromStart(s);
    ASSERT_FALSE(install.cls.empty());
    ASSERT_TRUE(peer.WaitHeld(kProductName));
    ExpectWindow(s, install, DownloadingPicture(HeldPercent(hold, product.size())),
                 "single download");
    peer.Release(kProductName);
    // The package runs (and waits): the installing display.
    ExpectInstalling(s, install);
    s.Go();
    ASSERT_FALSE(s.Wait(kFinishClass, 60000).cls.empty()) << s.Errors();
    EXPECT_EQ(peer.Requests(kDotNetName), 0);
    EXPECT_EQ(s.ProbeLog(),
              "product args=/S installPath=" + s.InstallRoot() + "/TarvexPDFConver/2.0.1\n");
    ASSERT_TRUE(std::filesystem::exists(options.productDir + "/TarvexPDFConver.exe"));
    // Closed with Alt+F4, the finish window starts nothing.
    s.Key("alt+f4"); // the last key of the run: no answer awaited
    EXPECT_EQ(s.Exit(), 1);
    // A product started by the window would have logged its start by now.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(s.ProbeLog().find("started"), std::string::npos) << s.ProbeLog();
}

TEST(InstallerRun, TheShippedProgramShowsItsStartWindowAndEndsWithOne) {
    Session s;
    ASSERT_TRUE(s.Start(INSTALLER_SHIPPED, {}));
    const WindowInfo start = s.Wait(kStartClass);
    ASSERT_FALSE(start.cls.empty()) << s.Errors();
    EXPECT_EQ(start.Width(), kWndW);
    EXPECT_EQ(start.Height(), kWndH);
    // The folder and the space (from the real disk) lie in the hidden
    // options: the window shows the same picture on any machine.
    ExpectWindow(s, start, StartPicture(StartState{}), "shipped start window");
    ASSERT_TRUE(ClickClose(s, start, kStart));
    ConfirmQuit(s);
    EXPECT_EQ(s.Exit(), 1) << s.Errors();
}
