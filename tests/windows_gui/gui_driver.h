// A Win32 test driver: starts a Windows program, finds its windows, moves
// the mouse and presses keys as a person would, and captures what the
// screen shows, for GoogleTest tests that run as Windows programs (under
// Wine in this project's test runs, where the test program and the program
// it drives share one Wine prefix and one X display).
//
//   Polling     PollUntil: every wait here is a condition polled until a
//               deadline, never a fixed sleep.
//   Processes   ChildProcess: CreateProcessW with the child's standard
//               output and error read into a buffer by a thread, waits for
//               lines of it and for the exit code.
//   Windows     top-level windows of a process by class and title
//               (EnumWindows, GetWindowThreadProcessId), waits until one is
//               there, visible and painted, or gone.
//   Input       SendInput: a click at a point of a window's client area, a
//               mouse move, a drag, keys and key chords (Alt+F4), each after
//               the window was brought to the foreground.
//   Pictures    Image: top-down 0xAARRGGBB pixels (BGRA bytes in memory) of
//               the screen (GetDC(nullptr) + BitBlt) or of one window
//               (PrintWindow), saved as PNG.
//
// Every function that waits takes a timeout and returns an AssertionResult
// whose failure message says what it saw: the windows that exist (class,
// title, process, rectangle, visible, enabled, owner) and whether the
// process still runs or how it ended. Use them as
//   ASSERT_TRUE(gui_driver::WaitForWindow(match, 20s, &hwnd));
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace gui_driver {

using Millis = std::chrono::milliseconds;

// ============================================================== polling

// Calls condition() every interval until it returns true or the timeout has
// passed; it is called at least once, and once more at the deadline.
// Returns its last result.
bool PollUntil(const std::function<bool()>& condition, Millis timeout,
               Millis interval = Millis(20));

// ============================================================ processes

// One child program. Its standard output and error go into one pipe that a
// thread of this object reads while it runs. The destructor ends a program
// still running (TerminateProcess) so that a failed test leaves none behind.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the program (a Windows path) with the arguments, each quoted as
    // CommandLineToArgvW reads them back. Fails with GetLastError's code.
    ::testing::AssertionResult Start(const std::wstring& program,
                                     const std::vector<std::wstring>& arguments = {});

    DWORD Id() const { return m_info.dwProcessId; }
    HANDLE Handle() const { return m_info.hProcess; }
    bool IsRunning() const;
    // "process 42 is running" or "process 42 exited with code 1".
    std::string Describe() const;

    // Waits for the program's end; its exit code goes to *exitCode.
    ::testing::AssertionResult WaitForExit(Millis timeout, DWORD* exitCode);
    // Ends the program if it still runs and waits for it (bounded).
    void Kill();

    // What it printed so far, carriage returns removed.
    std::string Output() const;
    std::vector<std::string> OutputLines() const;
    // Waits until one whole line of its output equals line.
    ::testing::AssertionResult WaitForLine(const std::string& line, Millis timeout) const;

private:
    void ReadOutput();

    PROCESS_INFORMATION m_info{};
    HANDLE m_outputRead = nullptr;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    std::string m_output;
};

// The Windows path of a path of the build machine: under Wine, drive Z: is
// the Linux root. Windows paths come back unchanged.
std::wstring WindowsPathOf(const std::string& path);

// ============================================================== windows

struct WindowInfo {
    HWND hwnd = nullptr;
    DWORD processId = 0;
    std::wstring className;
    std::wstring title;
    RECT rect{};
    bool visible = false;
    bool enabled = false;
    HWND owner = nullptr;
};

// Top-level windows, front to back; of one process when processId is not 0.
std::vector<WindowInfo> TopLevelWindows(DWORD processId = 0);
// One line per top-level window, for failure messages.
std::string DescribeWindows(DWORD processId = 0);
std::string DescribeWindow(HWND hwnd);

// Which window to find. Empty strings match any class or title.
struct WindowMatch {
    DWORD processId = 0;
    std::wstring className;
    std::wstring title;
    bool visible = true; // only visible windows
};

// Waits for a top-level window that matches; the first found (front-most)
// goes to *found. When process is given, the wait ends early if it exits.
::testing::AssertionResult WaitForWindow(const WindowMatch& match, Millis timeout, HWND* found,
                                         const ChildProcess* process = nullptr);
// Waits until the window is destroyed or hidden.
::testing::AssertionResult WaitForWindowGone(HWND hwnd, Millis timeout);
// Waits until the window is visible, not minimised, has no part left to
// paint (GetUpdateRect) and two captures of it in a row are the same.
::testing::AssertionResult WaitUntilPainted(HWND hwnd, Millis timeout);
// Waits until IsWindowEnabled(hwnd) == enabled.
::testing::AssertionResult WaitForEnabled(HWND hwnd, bool enabled, Millis timeout);

// A point of the window's client area in screen coordinates.
POINT ClientToScreenPoint(HWND hwnd, POINT client);

// ================================================================ input

// Waits until the window's thread has taken the input queued before this
// call from its queue (two round trips of WM_NULL through its message loop).
::testing::AssertionResult WaitForInputHandled(HWND hwnd, Millis timeout);
// Waits until the thread of the window holds the mouse capture (or is in a
// move or size loop), or, with held false, until it no longer does
// (GetGUIThreadInfo).
::testing::AssertionResult WaitForCapture(HWND hwnd, bool held, Millis timeout);
// Makes the window the foreground window and waits until it is.
::testing::AssertionResult BringToForeground(HWND hwnd, Millis timeout);
// Moves the mouse to a point of the window's client area and waits until
// the cursor is there.
::testing::AssertionResult MoveMouse(HWND hwnd, POINT client, Millis timeout);
// Foreground, move, left button down and up at a point of the client area.
::testing::AssertionResult Click(HWND hwnd, POINT client, Millis timeout);
// Left button down and up where the cursor is, the foreground left as it
// is (a click on a window that cannot be activated, such as a disabled one).
::testing::AssertionResult ClickWhereTheCursorIs();
// Foreground, left button down at one point of the client area, the mouse
// moved in steps to the other (which may lie outside the window), the
// button released there. A drag is a press that the window takes: its
// thread captures the mouse (as a pressed button or the caption's move
// loop does), which is waited for before the mouse moves, and given back
// after the release, which is waited for before this returns. Fails when
// the window does not take the press.
::testing::AssertionResult Drag(HWND hwnd, POINT from, POINT to, Millis timeout);
// Foreground, then the keys pressed in order and released in reverse order:
// PressKeys(h, {VK_MENU, VK_F4}) is Alt+F4, PressKeys(h, {VK_ESCAPE}) one
// key.
::testing::AssertionResult PressKeys(HWND hwnd, std::initializer_list<WORD> keys, Millis timeout);

// ============================================================= pictures

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0xAARRGGBB, row after row from the top

    bool Empty() const { return pixels.empty(); }
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    // A copy with the alpha bytes at 0xFF (GDI leaves them undefined).
    Image Opaque() const;
    bool operator==(const Image& other) const {
        return width == other.width && height == other.height && pixels == other.pixels;
    }
};

// What the screen shows in a rectangle of screen coordinates, or all of it.
Image CaptureScreen(const RECT& area);
Image CaptureScreen();
// The window's rectangle as the screen shows it.
Image CaptureWindowOnScreen(HWND hwnd);
// The window painting itself into a bitmap (PrintWindow).
Image PrintWindowImage(HWND hwnd);
// Writes a PNG; false when it could not be written.
bool SavePng(const Image& image, const std::string& path);
// A path for a picture a test keeps (in the folder the test runs in):
// "gui_pictures/<test suite>.<test>.<name>.png", the folder made.
std::string PicturePath(const std::string& name);

// Channel c (0 blue, 1 green, 2 red) of a 0xAARRGGBB pixel.
inline int Channel(uint32_t pixel, int c) {
    return static_cast<int>((pixel >> (8 * c)) & 0xFF);
}

} // namespace gui_driver
