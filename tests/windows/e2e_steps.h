// The installer's windows as the end-to-end tests see them: their pictures
// in each state (rendered from the skin), where their controls are, and the
// steps a person takes through them.
#pragma once

#include "tests/windows/e2e_support.h"

namespace e2e {

constexpr int kWndW = 560, kWndH = 408, kWndExpandedH = 490;
constexpr int kDlgW = 416, kDlgH = 198;
// A centred 560 x 408 window on the 1920 x 1040 work area.
constexpr int kWndLeft = 680, kWndTop = 316;

const std::string kStart = "installerstart.xml";
const std::string kInstall = "installerinstall.xml";
const std::string kFinish = "installerfinish.xml";
const std::string kDialog = "commondlg.xml";

const char* const kStartClass = "InstallerStartWnd";
const char* const kInstallClass = "InstallerDownloadlWnd";
const char* const kFinishClass = "InstallerFinishWnd";
const char* const kDialogClass = "CommonDlg";

// The product package's name on the download host.
const std::string kProductName = "TarvexPDFConverSetup_2.0.1.exe";

const std::string kQuitText = "您确定要退出TarvexPDF安装过程？";
const std::string kLowDiskText = "安装磁盘空间不足！";

// The free space every test's disk query answers, unless it says otherwise:
// 50 GiB ("50.00GB").
const std::vector<std::string> kRoomyDisk = {"--disk", "*=53687091200"};

// The start window's state.
struct StartState {
    std::string folder = "/opt"; // the install folder shown
    std::string usable = "50.00GB";
    bool expanded = false;
    bool licenceTicked = true;
};

inline std::vector<std::string> StartStates(const StartState& s) {
    std::vector<std::string> states = {"--text", "needsize=100M",
                                       "--text", "usablesize=" + s.usable,
                                       "--text", "installpathedit=" + s.folder};
    if (s.licenceTicked)
        states.insert(states.end(), {"--selected", "licensechk"});
    else
        states.insert(states.end(), {"--disabled", "installbtn"});
    if (s.expanded)
        states.insert(states.end(), {"--show", "moreopt", "--selected", "showmorechk"});
    return states;
}

inline HeadlessImage StartPicture(const StartState& s) {
    return Render(kStart, kWndW, s.expanded ? kWndExpandedH : kWndH, StartStates(s));
}

inline RECT StartControl(const std::string& name, bool expanded = false) {
    return ControlRect(kStart, name, kWndW, expanded ? kWndExpandedH : kWndH,
                       expanded ? std::vector<std::string>{"--show", "moreopt"}
                                : std::vector<std::string>{});
}

// The message dialog: the yes/no form with `text`, or the message form.
inline HeadlessImage DialogPicture(bool yesNo, const std::string& text) {
    if (yesNo)
        return Render(kDialog, kDlgW, kDlgH,
                      {"--select", "commondlgTabModule=1", "--text", "msgyntext=" + text});
    return Render(kDialog, kDlgW, kDlgH, {"--text", "msgtext=" + text});
}

inline RECT DialogControl(const std::string& name, bool yesNo) {
    return ControlRect(kDialog, name, kDlgW, kDlgH,
                       yesNo ? std::vector<std::string>{"--select", "commondlgTabModule=1"}
                             : std::vector<std::string>{});
}

// The install window downloading at `percent`.
inline HeadlessImage DownloadingPicture(int percent) {
    return Render(kInstall, kWndW, kWndH,
                  {"--text", "down_text=" + std::to_string(percent) + "%", "--value",
                   "down_progress=" + std::to_string(percent)});
}

// The install window showing a failure text, its bar at `percent`.
inline HeadlessImage FailurePicture(const std::string& text, int percent) {
    return Render(kInstall, kWndW, kWndH,
                  {"--hide", "down_label", "--hide", "down_text", "--show", "install_text",
                   "--text", "install_text=" + text, "--value",
                   "down_progress=" + std::to_string(percent)});
}

// The install window while the packages install: its animation plays, so
// the 500 x 5 strip it covers is left out of comparisons.
inline HeadlessImage InstallingPicture() {
    return Render(kInstall, kWndW, kWndH,
                  {"--hide", "down_label", "--hide", "down_text", "--hide", "down_progress",
                   "--show", "install_text", "--show", "installgif"});
}

inline HeadlessImage FinishPicture() {
    return Render(kFinish, kWndW, kWndH);
}

// Expects the screen to show `scene` over the windows' area (shadows too).
inline void ExpectScene(Session& session, const Scene& scene, const RECT& area, const char* what) {
    const Difference d = WaitForScene(session, scene, area);
    EXPECT_EQ(d.differing, 0) << what << ": first difference " << d.first;
}

// Expects one installer window (with its shadow) alone on the desktop.
inline void ExpectWindow(Session& session, const WindowInfo& w, const HeadlessImage& picture,
                         const char* what) {
    Scene scene;
    scene.AddWindow(picture, w.rect.left, w.rect.top);
    ExpectScene(session, scene, WithShadow(w.rect), what);
}

// The same for the installing display, its animation strip left out.
inline void ExpectInstalling(Session& session, const WindowInfo& w) {
    Scene scene;
    scene.AddWindow(InstallingPicture(), w.rect.left, w.rect.top);
    const RECT gif = ControlRect(kInstall, "installgif", kWndW, kWndH, {"--show", "installgif"});
    EXPECT_EQ(gif.right - gif.left, 500);
    EXPECT_EQ(gif.bottom - gif.top, 5);
    const RECT strip = {w.rect.left + gif.left, w.rect.top + gif.top, w.rect.left + gif.right,
                        w.rect.top + gif.bottom};
    const Difference d = WaitForScene(session, scene, WithShadow(w.rect), 15000, strip);
    EXPECT_EQ(d.differing, 0) << "installing display: first difference " << d.first;
}

// Grows the start window, picks `folder` in the folder chooser and shrinks
// the window again.
inline void PickFolder(Session& session, const WindowInfo& start, const std::string& folder) {
    ASSERT_TRUE(session.ClickCentre(start, StartControl("showmorechk")));
    ASSERT_EQ(session.Ask("answer folder " + folder), "ok");
    ASSERT_TRUE(session.ClickCentre(start, StartControl("selectdirbtn", true)));
    ASSERT_TRUE(session.ClickCentre(start, StartControl("showmorechk", true)));
}

// From a fresh start window: install into the session's private folder.
inline WindowInfo InstallFromStart(Session& session) {
    WindowInfo start = session.Wait(kStartClass);
    EXPECT_FALSE(start.cls.empty());
    PickFolder(session, start, session.InstallRoot());
    EXPECT_TRUE(session.ClickCentre(start, StartControl("installbtn")));
    WindowInfo install = session.Wait(kInstallClass);
    if (install.cls.empty()) {
        std::string shown;
        for (const WindowInfo& w : session.Windows())
            shown += " " + w.cls + (w.visible ? "(visible)" : "");
        ADD_FAILURE() << "no install window; running " << session.Running() << ", windows:" << shown
                      << "\n"
                      << session.Errors();
    }
    return install;
}

// Serves `product` as the product package, its digest in the
// configuration.
inline void ServeProduct(Peer& peer, const std::string& product) {
    peer.AddPackage(kProductName, {product});
    peer.SetConfig(ConfigJson(peer, kProductName, product));
}

// With .NET present, the run against `peer` (with `extra` arguments, and
// `prefix` in front of the program) up to the install window.
inline WindowInfo StartInstalling(Session& s, Peer& peer, std::vector<std::string> extra = {},
                                  std::vector<std::string> prefix = {}) {
    std::vector<std::string> args = kRoomyDisk;
    args.insert(args.end(), extra.begin(), extra.end());
    EXPECT_TRUE(s.MarkDotNetInstalled());
    EXPECT_TRUE(s.StartInstaller(peer, args, prefix));
    return InstallFromStart(s);
}

// Sends WM_CLOSE to the visible window of a class, as a close from outside
// the program does (the automation's close).
inline bool CloseWindow(Session& s, const std::string& cls) {
    const WindowInfo w = s.Find(cls);
    return !w.cls.empty() && s.Ask("close " + w.hwnd) == "ok";
}

// Clicks a window's close button ("closebtn" of its layout).
inline bool ClickClose(Session& session, const WindowInfo& w, const std::string& layout,
                       int height = kWndH) {
    return session.ClickCentre(w, ControlRect(layout, "closebtn", w.Width(), height));
}

// The last click of a run: the program may end before it answers.
inline void FinalClick(Session& session, const WindowInfo& w, const RECT& control) {
    session.Ask("click " + std::to_string(w.rect.left + (control.left + control.right) / 2) + " " +
                std::to_string(w.rect.top + (control.top + control.bottom) / 2));
}

// Confirms the open quit question with the last click of the run.
inline void ConfirmQuit(Session& session) {
    const WindowInfo dlg = session.Wait(kDialogClass);
    EXPECT_FALSE(dlg.cls.empty());
    FinalClick(session, dlg, DialogControl("msgynconfirmbtn", true));
}

// Answers an open message dialog by its button.
inline bool ClickDialog(Session& session, const std::string& button, bool yesNo = true) {
    const WindowInfo dlg = session.Wait(kDialogClass);
    if (dlg.cls.empty())
        return false;
    return session.ClickCentre(dlg, DialogControl(button, yesNo));
}

} // namespace e2e
