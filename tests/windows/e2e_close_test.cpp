// Ends of the run that no button chose: a WM_CLOSE sent to each installer
// window from outside (the automation's close), the installation finishing
// while the quit question is open, an install window that cannot be
// created, and the end of the process when a package or a report is still
// at work after the exit wait.
#include "tests/windows/e2e_steps.h"

#include "windows/InstallerMain.h"

using namespace e2e;

namespace {

using Clock = std::chrono::steady_clock;
const std::chrono::milliseconds kExitWait(installer::kExitWaitMs);

// Sanitizer reports in what the installer wrote to its standard error.
bool HasSanitizerReport(const std::string& errors) {
    return errors.find("Sanitizer") != std::string::npos ||
           errors.find("runtime error") != std::string::npos;
}

} // namespace

TEST(DirectClose, TheStartWindowEndsTheRunWithoutInstalling) {
    Peer peer;
    ASSERT_TRUE(peer.Running());
    Session s;
    ASSERT_TRUE(s.StartInstaller(peer, kRoomyDisk));
    ASSERT_FALSE(s.Wait(kStartClass).cls.empty()) << s.Errors();
    ASSERT_TRUE(CloseWindow(s, kStartClass));
    EXPECT_EQ(s.Exit(), 1) << s.Errors();
    EXPECT_TRUE(peer.ConfigPaths().empty());
}

// While the configuration is still awaited, a close asks; declined, the
// installation goes on; confirmed, the window goes, no finish window follows
// and the configuration that arrives afterwards is not acted on.
TEST(DirectClose, TheInstallWindowAsksAndAConfirmedQuitEndsWithoutTheFinishWindow) {
    Peer peer;
    ASSERT_TRUE(peer.Running());
    const std::string product = ProbePackage("product", 200000);
    ServeProduct(peer, product);
    peer.HoldConfig();
    Session s;
    const WindowInfo install = StartInstalling(s, peer);
    ASSERT_FALSE(install.cls.empty());
    ASSERT_TRUE(peer.WaitHeld("config"));

    ASSERT_TRUE(CloseWindow(s, kInstallClass));
    const WindowInfo dlg = s.Wait(kDialogClass);
    ASSERT_FALSE(dlg.cls.empty()) << "a close of the install window must ask";
    EXPECT_FALSE(s.Has(kFinishClass));
    Scene scene;
    scene.AddWindow(DownloadingPicture(0), install.rect.left, install.rect.top);
    scene.AddWindow(DialogPicture(true, kQuitText), install.rect.left + 72, install.rect.top + 105,
                    2, 2);
    ExpectScene(s, scene, WithShadow(install.rect), "quit question after a close");
    // A second close while the question is open asks nothing more.
    ASSERT_TRUE(CloseWindow(s, kInstallClass));
    int dialogs = 0;
    for (const WindowInfo& w : s.Windows())
        dialogs += w.cls == kDialogClass && w.visible;
    EXPECT_EQ(dialogs, 1);
    ASSERT_TRUE(ClickDialog(s, "msgyncancelbtn"));
    ASSERT_TRUE(s.WaitGone(kDialogClass));
    ASSERT_TRUE(s.Has(kInstallClass));

    ASSERT_TRUE(CloseWindow(s, kInstallClass));
    ConfirmQuit(s);
    EXPECT_TRUE(s.WaitGone(kInstallClass));
    EXPECT_FALSE(s.Has(kFinishClass));
    peer.Release("config");
    EXPECT_EQ(s.Exit(), 1) << s.Errors();
    EXPECT_EQ(peer.Requests(kProductName), 0);
    EXPECT_EQ(s.ProbeLog(), "");
    EXPECT_FALSE(HasSanitizerReport(s.Errors())) << s.Errors();
}

TEST(DirectClose, TheInstallWindowAfterAFailureEndsWithoutAQuestion) {
    Peer peer;
    peer.SetConfig("");
    Session s;
    const WindowInfo install = StartInstalling(s, peer);
    ASSERT_FALSE(install.cls.empty());
    ExpectWindow(s, install, FailurePicture("获取信息失败！", 0), "configuration failure");
    ASSERT_TRUE(CloseWindow(s, kInstallClass));
    EXPECT_EQ(s.Exit(), 1) << s.Errors();
    EXPECT_EQ(peer.ConfigPaths().size(), 1u);
}

TEST(DirectClose, TheFinishWindowStartsNothing) {
    Peer peer;
    ASSERT_TRUE(peer.Running());
    Session s;
    ProbeOptions options;
    options.productDir = s.InstallRoot() + "/TarvexPDFConver/2.0.1";
    const std::string product = ProbePackage("product", 200000, options);
    ServeProduct(peer, product);
    ASSERT_FALSE(StartInstalling(s, peer).cls.empty());
    ASSERT_FALSE(s.Wait(kFinishClass, 60000).cls.empty()) << s.Errors();
    ASSERT_TRUE(std::filesystem::exists(options.productDir + "/TarvexPDFConver.exe"));
    ASSERT_TRUE(CloseWindow(s, kFinishClass));
    EXPECT_EQ(s.Exit(), 1) << s.Errors();
    // A product started by the window would have logged its start by now.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(s.ProbeLog().find("started"), std::string::npos) << s.ProbeLog();
}

// The package ends while the quit question is open: the installation has
// run to its end, so the question goes and the finish window follows.
TEST(InstallDone, WhileTheQuitQuestionIsOpenTheQuestionGoesAndTheFinishWindowFollows) {
    Peer peer;
    ASSERT_TRUE(peer.Running());
    const std::string product = ProbePackage("product", 200000, 0, true);
    ServeProduct(peer, product);
    Session s;
    const WindowInfo install = StartInstalling(s, peer);
    ASSERT_FALSE(install.cls.empty());
    ExpectInstalling(s, install);

    ASSERT_TRUE(ClickClose(s, install, kInstall));
    ASSERT_FALSE(s.Wait(kDialogClass).cls.empty());
    s.Go();
    const WindowInfo finish = s.Wait(kFinishClass, 60000);
    ASSERT_FALSE(finish.cls.empty()) << s.Errors();
    EXPECT_FALSE(s.Has(kDialogClass));
    EXPECT_FALSE(s.Has(kInstallClass));
    ExpectWindow(s, finish, FinishPicture(), "finish window after the question");
    EXPECT_TRUE(s.WaitProbeLog("product args=/S"));
    s.Key("alt+f4"); // the last key of the run: no answer awaited
    EXPECT_EQ(s.Exit(), 1) << s.Errors();
    EXPECT_FALSE(HasSanitizerReport(s.Errors())) << s.Errors();
}

TEST(InstallWindowCreation, AFailureEndsTheRunWithoutTheFinishWindow) {
    Peer peer;
    ASSERT_TRUE(peer.Running());
    Session s;
    ASSERT_TRUE(s.StartInstaller(
        peer, {"--disk", "*=53687091200", "--fail-window", "InstallerInstallWnd"}));
    const WindowInfo start = s.Wait(kStartClass);
    ASSERT_FALSE(start.cls.empty()) << s.Errors();
    FinalClick(s, start, StartControl("installbtn"));
    EXPECT_EQ(s.Exit(), 1) << s.Errors();
    EXPECT_TRUE(peer.ConfigPaths().empty());
    // Launch and exit were still reported.
    EXPECT_EQ(peer.Reports().size(), 2u);
}

// A package that keeps running after a quit outlives the exit wait: the
// installer ends after the wait all the same, cleanly (no sanitizer report
// from a worker meeting destroyed objects), with its reports sent and its
// automation socket removed, and the package goes on to its own end.
TEST(ExitWait, APackageThatOutlivesTheWaitLeavesTheProcessToEndCleanly) {
    Peer peer;
    ASSERT_TRUE(peer.Running());
    ProbeOptions options;
    options.outliveTheInstaller = true;
    const std::string product = ProbePackage("product", 200000, options);
    ServeProduct(peer, product);
    Session s;
    const WindowInfo install = StartInstalling(s, peer);
    ASSERT_FALSE(install.cls.empty());
    ASSERT_TRUE(s.WaitProbeLog("product args=/S"));

    ASSERT_TRUE(ClickClose(s, install, kInstall));
    ConfirmQuit(s);
    const auto quit = Clock::now();
    EXPECT_EQ(s.Exit(40000), 1) << s.Errors();
    const auto waited = Clock::now() - quit;
    // The worker still waited for the package, so the whole wait ran.
    EXPECT_GE(waited, kExitWait - std::chrono::milliseconds(500));
    EXPECT_FALSE(HasSanitizerReport(s.Errors())) << s.Errors();
    EXPECT_FALSE(std::filesystem::exists(s.Path("auto.sock")));
    EXPECT_TRUE(s.WaitProbeLog("outlived")) << s.ProbeLog();
    const std::vector<std::string> docs = peer.Reports();
    ASSERT_EQ(docs.size(), 2u);
    EXPECT_EQ(docs[1].find("\"close_time\":\"0\""), std::string::npos) << docs[1];
}

// A statistics server that never answers: the launch report holds the
// client's lock until its own time-out and the exit report waits behind it,
// so the reports would end about twelve seconds after the launch. The exit
// wait ends the process six seconds after the last window instead.
TEST(ExitWait, IsCappedWhenTheStatisticsServerNeverAnswers) {
    Peer peer;
    ASSERT_TRUE(peer.Running());
    peer.DelayReports(120000);
    Session s;
    ASSERT_TRUE(s.StartInstaller(peer, kRoomyDisk));
    const WindowInfo start = s.Wait(kStartClass);
    ASSERT_FALSE(start.cls.empty()) << s.Errors();
    ASSERT_TRUE(peer.WaitReports(1));
    const auto launch = Clock::now();
    ASSERT_TRUE(ClickClose(s, start, kStart));
    ConfirmQuit(s);
    const auto quit = Clock::now();
    EXPECT_EQ(s.Exit(40000), 1) << s.Errors();
    const auto end = Clock::now();
    EXPECT_GE(end - quit, kExitWait - std::chrono::milliseconds(500));
    EXPECT_LT(end - launch, 2 * kExitWait - std::chrono::seconds(1))
        << "the exit waited for the reports beyond its cap";
    EXPECT_FALSE(HasSanitizerReport(s.Errors())) << s.Errors();
    peer.Release("reports");
}
