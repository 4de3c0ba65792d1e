// The installer under Wine as its end-to-end tests see it: one run of
// TarvexPDFConverInst_10086.exe (the installer with its test seams, see
// tests/windows/testhost) pointed at the distd that with_distd.sh started,
// its windows found by class, its controls by the skin's layout (laid out by
// skinview in this process, through the same GDI), and the pictures of a
// window state rendered the same way.
#pragma once

#include "gui_driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wine_e2e {

using gui_driver::Millis;

// The window classes of the installer's four windows.
extern const wchar_t* const kStartClass;
extern const wchar_t* const kInstallClass;
extern const wchar_t* const kFinishClass;
extern const wchar_t* const kDialogClass;

// Layouts of the skin.
extern const char* const kStartLayout;
extern const char* const kInstallLayout;
extern const char* const kFinishLayout;
extern const char* const kDialogLayout;

// distd's base URL (TARVEX_DISTD_URL) and the folder of this run on the
// build machine (TARVEX_E2E_WORK), both from with_distd.sh.
std::wstring DistdUrl();
std::string WorkFolder();
// A URL of 127.0.0.1 on which nothing listens.
std::wstring ClosedUrl();

// Writes the reports with_distd.sh must find in distd's store once this
// program has ended ("launch", "exit", "event LABEL").
void ExpectStoredReports(const std::vector<std::string>& lines);

// The folder the installer shows at its start under Wine: Program Files.
std::string ProgramFilesFolder();

// skinview's state options for the start window as the installer shows it
// at its start (licence ticked), with its options shown when `expanded`.
// The free space it shows depends on the machine and is left as it is.
std::vector<std::string> StartStates(bool expanded);
// The same for the install window showing the failure `text` with its bar
// at `percent`.
std::vector<std::string> FailureStates(const std::string& text, int percent);

// A control's rectangle in a layout at a window size, with skinview's state
// options (e.g. {"--show", "moreopt"}); empty when it is not there.
RECT ControlRect(const std::string& layout, const std::string& name, int width, int height,
                 const std::vector<std::string>& states = {});
// The centre of a rectangle.
POINT Centre(const RECT& rc);

// The layout rendered in a state, opaque.
gui_driver::Image Render(const std::string& layout, int width, int height,
                         const std::vector<std::string>& states = {});

// Pixels of a window's capture that differ from a reference of its size
// (alpha ignored; pixels inside `skip`, in window coordinates, left out).
struct Difference {
    int differing = 0;
    std::string first;
};
Difference Compare(const gui_driver::Image& window, const gui_driver::Image& reference,
                   const RECT& skip = RECT{0, 0, 0, 0});

// One installer run.
class Session {
public:
    ~Session();
    // Starts the installer against `api` (distd's URL unless given) and
    // waits until its start window has painted itself.
    ::testing::AssertionResult Start(HWND* startWindow, const std::wstring& api = DistdUrl());
    // Waits for a visible window of the installer of that class, and, when
    // `painted`, until it has painted itself (a window that may go at once,
    // like the install window of a fast install, is only seen).
    ::testing::AssertionResult Wait(const wchar_t* windowClass, HWND* found,
                                    Millis timeout = Millis(60000), bool painted = true);
    // Clicks the centre of a control of `layout` in `window`.
    ::testing::AssertionResult ClickControl(HWND window, const std::string& layout,
                                            const std::string& name,
                                            const std::vector<std::string>& states = {});
    // Waits until the window shows `reference` (the mouse moved off it
    // first); the last difference goes to *last. Pictures of both are kept
    // on failure.
    ::testing::AssertionResult WaitForPicture(HWND window, const gui_driver::Image& reference,
                                              const char* what,
                                              const RECT& skip = RECT{0, 0, 0, 0});
    // Waits until the install window shows a failure: the download texts
    // gone, the bar at `percent` and `text` shown. The window draws that
    // text a pixel or two from where the off-screen rendering puts it, so
    // inside its box only the amount of ink is judged (half to twice the
    // reference's).
    ::testing::AssertionResult WaitForFailure(HWND install, const std::string& text, int percent);
    ::testing::AssertionResult WaitForExit(DWORD* exitCode, Millis timeout = Millis(60000));
    // Keeps the window's picture as the state `name` (the mouse moved off
    // it and the window painted first). Once the test has passed,
    // with_distd.sh compares it with the Linux skinview's picture of
    // `layout` in the state `states` by compare_pictures.py's measure,
    // leaving out the controls in `ignore` (texts that depend on the
    // machine) and judging the text boxes in `inkOnly` (names or texts) by
    // their amount of ink alone.
    ::testing::AssertionResult KeepForLinuxComparison(const std::string& name, HWND window,
                                                      const std::string& layout,
                                                      const std::vector<std::string>& states,
                                                      const std::vector<std::string>& ignore = {},
                                                      const std::vector<std::string>& inkOnly = {});
    gui_driver::ChildProcess& Process() { return m_process; }

private:
    gui_driver::ChildProcess m_process;
};

} // namespace wine_e2e
