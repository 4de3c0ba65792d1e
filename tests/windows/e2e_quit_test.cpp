// Quitting: at the start window and during the download, confirmed,
// declined and dismissed, by the buttons and by Alt+F4.
#include "tests/windows/e2e_steps.h"

using namespace e2e;

namespace {

// A start window with the quit question open over it, as on the screen.
Scene StartWithQuestion(const WindowInfo& start) {
    Scene scene;
    scene.AddWindow(StartPicture(StartState{}), start.rect.left, start.rect.top);
    scene.AddWindow(DialogPicture(true, kQuitText), start.rect.left + 72, start.rect.top + 105, 2,
                    2);
    return scene;
}

// A peer whose product download holds at about a third.
void HoldProduct(Peer& peer, const std::string& product) {
    peer.AddPackage(kProductName, {product, product.size() / 3});
    peer.SetConfig(ConfigJson(peer, kProductName, product));
}

int ThirdPercent(const std::string& product) {
    return static_cast<int>(static_cast<double>(product.size() / 3) /
                            static_cast<double>(product.size()) * 100.0);
}

} // namespace

TEST(QuitAtStart, ConfirmingEndsTheRunWithoutInstallingAndStillReportsTheExit) {
    Peer peer;
    ASSERT_TRUE(peer.Running());
    Session s;
    ASSERT_TRUE(s.StartInstaller(peer, kRoomyDisk));
    const WindowInfo start = s.Wait(kStartClass);
    ASSERT_FALSE(start.cls.empty()) << s.Errors();
    ASSERT_TRUE(ClickClose(s, start, kStart));
    const WindowInfo dlg = s.Wait(kDialogClass);
    ASSERT_FALSE(dlg.cls.empty());
    EXPECT_EQ(dlg.title, "CommonDlg");
    ConfirmQuit(s);
    EXPECT_EQ(s.Exit(), 1) << s.Errors();
    EXPECT_TRUE(peer.ConfigPaths().empty());
    // The launch and the exit report, both sent before the process ended.
    const std::vector<std::string> docs = peer.Reports();
    ASSERT_EQ(docs.size(), 2u);
    EXPECT_NE(docs[0].find("\"close_time\":\"0\""), std::string::npos) << docs[0];
    EXPECT_EQ(docs[1].find("\"close_time\":\"0\""), std::string::npos) << docs[1];
}

TEST(QuitAtStart, DecliningDismissingAndAltF4OnTheQuestionKeepTheStartWindow) {
    Peer peer;
    ASSERT_TRUE(peer.Running());
    Session s;
    ASSERT_TRUE(s.StartInstaller(peer, kRoomyDisk));
    const WindowInfo start = s.Wait(kStartClass);
    ASSERT_FALSE(start.cls.empty()) << s.Errors();

    // The question opens centred over the start window and disables it.
    ASSERT_TRUE(ClickClose(s, start, kStart));
    const WindowInfo dlg = s.Wait(kDialogClass);
    ASSERT_FALSE(dlg.cls.empty());
    EXPECT_EQ(dlg.rect.left - start.rect.left, 72);
    EXPECT_EQ(dlg.rect.top - start.rect.top, 105);
    EXPECT_EQ(dlg.Width(), kDlgW);
    EXPECT_EQ(dlg.Height(), kDlgH);
    ExpectScene(s, StartWithQuestion(start), WithShadow(start.rect), "quit question");
    // A click on the disabled start window does nothing.
    ASSERT_TRUE(s.ClickCentre(start, StartControl("installbtn")));
    EXPECT_TRUE(s.Has(kDialogClass));
    EXPECT_TRUE(s.Has(kStartClass));

    // Alt+F4 on the first question of the run is no answer: the installer
    // stays (no earlier answer is taken for a confirmation).
    ASSERT_TRUE(s.Key("alt+f4"));
    ASSERT_TRUE(s.WaitGone(kDialogClass));
    EXPECT_TRUE(s.Running());
    ASSERT_TRUE(s.Has(kStartClass));

    ASSERT_TRUE(ClickClose(s, start, kStart));
    ASSERT_TRUE(ClickDialog(s, "msgyncancelbtn"));
    ASSERT_TRUE(s.WaitGone(kDialogClass));
    ASSERT_TRUE(s.Has(kStartClass));

    ASSERT_TRUE(ClickClose(s, start, kStart));
    ASSERT_TRUE(ClickDialog(s, "closebtn"));
    ASSERT_TRUE(s.WaitGone(kDialogClass));
    ASSERT_TRUE(s.Has(kStartClass));

    // A close of the question from outside the program is no answer either.
    ASSERT_TRUE(ClickClose(s, start, kStart));
    ASSERT_FALSE(s.Wait(kDialogClass).cls.empty());
    ASSERT_TRUE(CloseWindow(s, kDialogClass));
    ASSERT_TRUE(s.WaitGone(kDialogClass));
    ASSERT_TRUE(s.Has(kStartClass));
    ExpectWindow(s, start, StartPicture(StartState{}), "start window after the questions");

    // Alt+F4 on the start window itself ends the run without installing.
    s.Key("alt+f4"); // the last key of the run: no answer awaited
    EXPECT_EQ(s.Exit(), 1);
    EXPECT_TRUE(peer.ConfigPaths().empty());
}

TEST(QuitDuringDownload, ConfirmedClosesAtOnceAndNothingRunsEvenWhenTheDownloadCouldEnd) {
    Peer peer;
    ASSERT_TRUE(peer.Running());
    const std::string product = ProbePackage("product", 600000);
    HoldProduct(peer, product);
    Session s;
    ASSERT_TRUE(s.MarkDotNetInstalled());
    ASSERT_TRUE(s.StartInstaller(peer, kRoomyDisk));
    const WindowInfo install = InstallFromStart(s);
    ASSERT_FALSE(install.cls.empty());
    ASSERT_TRUE(peer.WaitHeld(kProductName));

    ASSERT_TRUE(ClickClose(s, install, kInstall));
    const WindowInfo dlg = s.Wait(kDialogClass);
    ASSERT_FALSE(dlg.cls.empty());
    Scene scene;
    scene.AddWindow(DownloadingPicture(ThirdPercent(product)), install.rect.left, install.rect.top);
    scene.AddWindow(DialogPicture(true, kQuitText), install.rect.left + 72, install.rect.top + 105,
                    2, 2);
    ExpectScene(s, scene, WithShadow(install.rect), "quit question over the download");

    // The exit report is kept waiting until released, so the process lives
    // on after the window has gone; the download is let go meanwhile.
    peer.DelayReports(60000);
    ConfirmQuit(s);
    EXPECT_TRUE(s.WaitGone(kInstallClass, 2000));
    ASSERT_TRUE(peer.WaitReports(2));
    // No window is left on the screen while the reports are waited for.
    ASSERT_TRUE(s.Running());
    const std::vector<WindowInfo> left = s.Windows();
    ASSERT_TRUE(s.Running());
    for (const WindowInfo& w : left)
        EXPECT_FALSE(w.visible) << w.cls << " \"" << w.title << "\" is still shown";
    // The rest of the package could arrive now, while the process still
    // waits for its reports: it is never started.
    peer.Release(kProductName);
    peer.Release("reports");
    EXPECT_EQ(s.Exit(), 1) << s.Errors();
    EXPECT_EQ(s.ProbeLog(), "");
    EXPECT_EQ(peer.Reports().size(), 2u);
}

TEST(QuitDuringDownload, DeclinedOrDismissedTheDownloadGoesOnToTheFinishWindow) {
    Peer peer;
    ASSERT_TRUE(peer.Running());
    const std::string product = ProbePackage("product", 600000);
    HoldProduct(peer, product);
    Session s;
    ASSERT_TRUE(s.MarkDotNetInstalled());
    ASSERT_TRUE(s.StartInstaller(peer, kRoomyDisk));
    const WindowInfo install = InstallFromStart(s);
    ASSERT_FALSE(install.cls.empty());
    ASSERT_TRUE(peer.WaitHeld(kProductName));

    // Alt+F4 on the install window asks too; Alt+F4 on the question (the
    // first of the run) is no answer.
    ASSERT_TRUE(s.Key("alt+f4"));
    ASSERT_FALSE(s.Wait(kDialogClass).cls.empty());
    ASSERT_TRUE(s.Key("alt+f4"));
    ASSERT_TRUE(s.WaitGone(kDialogClass));
    ASSERT_TRUE(s.Has(kInstallClass));
    ASSERT_TRUE(ClickClose(s, install, kInstall));
    ASSERT_TRUE(ClickDialog(s, "msgyncancelbtn"));
    ASSERT_TRUE(s.WaitGone(kDialogClass));
    ASSERT_TRUE(ClickClose(s, install, kInstall));
    ASSERT_TRUE(ClickDialog(s, "closebtn"));
    ASSERT_TRUE(s.WaitGone(kDialogClass));
    ASSERT_TRUE(s.Has(kInstallClass));
    ExpectWindow(s, install, DownloadingPicture(ThirdPercent(product)), "download goes on");

    peer.Release(kProductName);
    const WindowInfo finish = s.Wait(kFinishClass, 60000);
    ASSERT_FALSE(finish.cls.empty()) << s.Errors();
    EXPECT_EQ(s.ProbeLog(),
              "product args=/S installPath=" + s.InstallRoot() + "/TarvexPDFConver/2.0.1\n");
    s.Key("alt+f4"); // the last key of the run: no answer awaited
    EXPECT_EQ(s.Exit(), 1);
}
