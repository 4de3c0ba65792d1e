// The start window's cases: the licence box and link, the disk-space
// boundary, the folder chooser on another volume, show-more, where the
// message dialogs open, and the keyboard.
#include "tests/windows/e2e_steps.h"

#include <sys/stat.h>

using namespace e2e;

namespace {

// The low-disk warning over a start window in `state`.
Scene StartWithWarning(const WindowInfo& start, const StartState& state) {
    Scene scene;
    scene.AddWindow(StartPicture(state), start.rect.left, start.rect.top);
    scene.AddWindow(DialogPicture(false, kLowDiskText), start.rect.left + 72,
                    start.rect.top + (start.Height() - kDlgH) / 2, 2, 2);
    return scene;
}

// True when /dev/shm is a volume of its own here.
bool ShmIsOwnVolume() {
    struct stat shm {
    }, dev{};
    return ::stat("/dev/shm", &shm) == 0 && ::stat("/dev", &dev) == 0 && shm.st_dev != dev.st_dev;
}

} // namespace

TEST(StartWindow, UntickingTheLicenceDisablesInstallAndTickingEnablesIt) {
    Peer peer;
    Session s;
    ASSERT_TRUE(s.StartInstaller(peer, kRoomyDisk));
    const WindowInfo start = s.Wait(kStartClass);
    ASSERT_FALSE(start.cls.empty()) << s.Errors();

    ASSERT_TRUE(s.ClickCentre(start, StartControl("licensechk")));
    StartState unticked;
    unticked.licenceTicked = false;
    ExpectWindow(s, start, StartPicture(unticked), "licence unticked");
    // The disabled button does nothing.
    ASSERT_TRUE(s.ClickCentre(start, StartControl("installbtn")));
    EXPECT_TRUE(s.Has(kStartClass));
    EXPECT_FALSE(s.Has(kInstallClass));

    ASSERT_TRUE(s.ClickCentre(start, StartControl("licensechk")));
    ExpectWindow(s, start, StartPicture(StartState{}), "licence ticked again");

    // The link opens the licence page in the browser.
    ASSERT_TRUE(s.ClickCentre(start, StartControl("licensebtn")));
    EXPECT_TRUE(WaitForText([&] { return s.Opened(); }, peer.Base() + "/service/clause"))
        << s.Opened();

    // Installing works again.
    ASSERT_TRUE(s.ClickCentre(start, StartControl("installbtn")));
    EXPECT_FALSE(s.Wait(kInstallClass).cls.empty());
}

TEST(StartWindow, OneByteUnderOneHundredMebibytesWarnsAndTheWarningRepeats) {
    Peer peer;
    Session s;
    ASSERT_TRUE(s.StartInstaller(peer, {"--disk", "*=104857599"}));
    const WindowInfo start = s.Wait(kStartClass);
    ASSERT_FALSE(start.cls.empty()) << s.Errors();
    ASSERT_TRUE(s.ClickCentre(start, StartControl("installbtn")));
    const WindowInfo dlg = s.Wait(kDialogClass);
    ASSERT_FALSE(dlg.cls.empty());
    EXPECT_EQ(dlg.rect.left - start.rect.left, 72);
    EXPECT_EQ(dlg.rect.top - start.rect.top, 105);
    StartState low;
    low.usable = "100.00MB";
    ExpectScene(s, StartWithWarning(start, low), WithShadow(start.rect), "low disk warning");
    ASSERT_TRUE(ClickDialog(s, "msgconfirmbtn", false));
    ASSERT_TRUE(s.WaitGone(kDialogClass));
    EXPECT_TRUE(s.Has(kStartClass));
    // The space is not asked again: the second click warns as well.
    ASSERT_TRUE(s.ClickCentre(start, StartControl("installbtn")));
    ASSERT_FALSE(s.Wait(kDialogClass).cls.empty());
    ASSERT_TRUE(ClickDialog(s, "closebtn", false));
    ASSERT_TRUE(s.WaitGone(kDialogClass));
    EXPECT_FALSE(s.Has(kInstallClass));
    EXPECT_TRUE(peer.ConfigPaths().empty());
}

TEST(StartWindow, ExactlyOneHundredMebibytesInstallsAndTabReachesTheInstallButtonFirst) {
    Peer peer;
    Session s;
    ASSERT_TRUE(s.StartInstaller(peer, {"--disk", "*=104857600"}));
    ASSERT_FALSE(s.Wait(kStartClass).cls.empty()) << s.Errors();
    ASSERT_TRUE(s.Key("tab"));
    ASSERT_TRUE(s.Key("space"));
    EXPECT_FALSE(s.Wait(kInstallClass).cls.empty());
    EXPECT_FALSE(s.Has(kDialogClass));
}

TEST(StartWindow, TheFolderChooserOnAnotherVolumeShowsItsPathAndSpace) {
    if (!ShmIsOwnVolume())
        GTEST_SKIP() << "/dev/shm is not a volume of its own here";
    Peer peer;
    Session s;
    ASSERT_TRUE(
        s.StartInstaller(peer, {"--disk", "*=53687091200", "--disk", "/dev/shm/=104857599"}));
    const WindowInfo start = s.Wait(kStartClass);
    ASSERT_FALSE(start.cls.empty()) << s.Errors();
    ASSERT_TRUE(s.ClickCentre(start, StartControl("showmorechk")));
    StartState expanded;
    expanded.expanded = true;
    const WindowInfo grown = s.Find(kStartClass);
    ExpectWindow(s, grown, StartPicture(expanded), "options shown");

    // Cancelled, nothing changes.
    ASSERT_EQ(s.Ask("answer folder cancel"), "ok");
    ASSERT_TRUE(s.ClickCentre(start, StartControl("selectdirbtn", true)));
    ExpectWindow(s, grown, StartPicture(expanded), "chooser cancelled");

    ASSERT_EQ(s.Ask("answer folder /dev/shm"), "ok");
    ASSERT_TRUE(s.ClickCentre(start, StartControl("selectdirbtn", true)));
    StartState other = expanded;
    other.folder = "/dev/shm";
    other.usable = "100.00MB";
    ExpectWindow(s, grown, StartPicture(other), "another volume");
    // Its space decides now, though the first volume had room.
    ASSERT_TRUE(s.ClickCentre(start, StartControl("installbtn", true)));
    ASSERT_FALSE(s.Wait(kDialogClass).cls.empty());
    ExpectScene(s, StartWithWarning(grown, other), WithShadow(grown.rect),
                "warning over the grown window");
}

TEST(StartWindow, ASpaceQueryThatFailsShowsZeroAndWarns) {
    Peer peer;
    Session s;
    ASSERT_TRUE(s.StartInstaller(peer, {"--disk", "*=fail"}));
    const WindowInfo start = s.Wait(kStartClass);
    ASSERT_FALSE(start.cls.empty()) << s.Errors();
    ASSERT_TRUE(s.ClickCentre(start, StartControl("showmorechk")));
    StartState failed;
    failed.expanded = true;
    failed.usable = "0.0M";
    ExpectWindow(s, s.Find(kStartClass), StartPicture(failed), "no space known");
    ASSERT_TRUE(s.ClickCentre(start, StartControl("installbtn", true)));
    EXPECT_FALSE(s.Wait(kDialogClass).cls.empty());
}

TEST(StartWindow, ShowMoreGrowsAtTheBottomEdgeAndTheQuestionFollowsTheCentre) {
    Peer peer;
    Session s;
    ASSERT_TRUE(s.StartInstaller(peer, kRoomyDisk));
    const WindowInfo start = s.Wait(kStartClass);
    ASSERT_FALSE(start.cls.empty()) << s.Errors();
    ASSERT_TRUE(s.ClickCentre(start, StartControl("showmorechk")));
    const WindowInfo grown = s.Find(kStartClass);
    EXPECT_EQ(grown.rect.left, start.rect.left);
    EXPECT_EQ(grown.rect.top, start.rect.top);
    EXPECT_EQ(grown.Width(), kWndW);
    EXPECT_EQ(grown.Height(), kWndExpandedH);

    ASSERT_TRUE(ClickClose(s, grown, kStart, kWndExpandedH));
    const WindowInfo dlg = s.Wait(kDialogClass);
    ASSERT_FALSE(dlg.cls.empty());
    EXPECT_EQ(dlg.rect.left - grown.rect.left, 72);
    EXPECT_EQ(dlg.rect.top - grown.rect.top, 146);
    ASSERT_TRUE(ClickDialog(s, "msgyncancelbtn"));
    ASSERT_TRUE(s.WaitGone(kDialogClass));

    ASSERT_TRUE(s.ClickCentre(grown, StartControl("showmorechk", true)));
    const WindowInfo back = s.Find(kStartClass);
    EXPECT_EQ(back.rect.left, start.rect.left);
    EXPECT_EQ(back.rect.top, start.rect.top);
    EXPECT_EQ(back.Height(), kWndH);
    ExpectWindow(s, back, StartPicture(StartState{}), "options hidden again");
}

TEST(StartWindow, EnterAsksToQuitAndTabGoesThroughTheControlsInOrder) {
    Peer peer;
    Session s;
    ASSERT_TRUE(s.StartInstaller(peer, kRoomyDisk));
    const WindowInfo start = s.Wait(kStartClass);
    ASSERT_FALSE(start.cls.empty()) << s.Errors();

    // Enter on the fresh window: the close button has the focus.
    ASSERT_TRUE(s.Key("enter"));
    ASSERT_FALSE(s.Wait(kDialogClass).cls.empty());
    // Escape does nothing to the question; Enter there is its close button.
    ASSERT_TRUE(s.Key("esc"));
    EXPECT_TRUE(s.Has(kDialogClass));
    ASSERT_TRUE(s.Key("enter"));
    ASSERT_TRUE(s.WaitGone(kDialogClass));
    ASSERT_TRUE(s.Has(kStartClass));

    // After the question the focus is back on the close button: Tab goes to
    // the install button, the licence box, the link and show-more.
    ASSERT_TRUE(s.Key("tab"));
    ASSERT_TRUE(s.Key("tab"));
    ASSERT_TRUE(s.Key("space"));
    StartState unticked;
    unticked.licenceTicked = false;
    ExpectWindow(s, start, StartPicture(unticked), "licence box by keyboard");
    ASSERT_TRUE(s.Key("tab"));
    ASSERT_TRUE(s.Key("space"));
    EXPECT_TRUE(WaitForText([&] { return s.Opened(); }, "/service/clause")) << s.Opened();
    ASSERT_TRUE(s.Key("tab"));
    ASSERT_TRUE(s.Key("space"));
    unticked.expanded = true;
    ExpectWindow(s, s.Find(kStartClass), StartPicture(unticked), "show-more by keyboard");
    s.Key("alt+f4"); // the last key of the run: no answer awaited
    EXPECT_EQ(s.Exit(), 1);
}
