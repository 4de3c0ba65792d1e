// The headless backend's own interface: screenshots, the automation answers
// for dialogs, and waiting until injected input has been handled. Tests and
// the automation socket use it; programs never need it.
//
// Screen images are premultiplied ARGB (0xAARRGGBB as uint32_t), top-down,
// 1920 x 1080 pixels. PNG files hold straight alpha, as PNG does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plat/sys/wintypes.h"

namespace plat {

struct HeadlessImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // premultiplied ARGB, top-down
    uint32_t At(int x, int y) const {
        return (x >= 0 && y >= 0 && x < width && y < height)
                   ? pixels[static_cast<size_t>(y) * width + x]
                   : 0;
    }
};

// The colour of the empty screen.
constexpr uint32_t kHeadlessDesktopColor = 0xFF2B5797;

// True when the headless backend is the one in use.
bool HeadlessActive();

// The whole screen, composed from the visible top-level windows in z-order
// with their regions and alpha. What any window DC has drawn is included.
HeadlessImage HeadlessCaptureScreen();
// One window's own pixels (its surface), transparent outside its region;
// empty for an unknown window.
HeadlessImage HeadlessCaptureWindow(HWND hwnd);
// The same as PNG files; false when the file cannot be written or the
// window is unknown.
bool HeadlessSaveScreenPng(const char* path);
bool HeadlessSaveWindowPng(HWND hwnd, const char* path);
bool HeadlessSavePng(const HeadlessImage& image, const char* path);

// Composes the current surfaces into `out` (1920 x 1080). Exposed for the
// composition benchmark.
void HeadlessCompose(HeadlessImage* out);

// Answers for the next folder chooser (nullptr: cancel) and the next message
// box (an ID* value). Answers queue up and are used in order; an answer
// given while a chooser or box is open goes to that one.
void HeadlessAnswerNextFolder(const wchar_t* path);
void HeadlessAnswerNextMessageBox(int id);

// Message boxes shown so far, oldest first.
struct HeadlessMessageBoxRecord {
    std::wstring caption;
    std::wstring text;
    unsigned type = 0;
    int result = 0; // 0 while the box is open
};
std::vector<HeadlessMessageBoxRecord> HeadlessMessageBoxes();
// Folder chooser titles asked so far, oldest first.
std::vector<std::wstring> HeadlessFolderRequests();
// Messages posted to the desktop window (GetDesktopWindow), which takes and
// ignores them: the last 64, oldest first.
struct HeadlessPostRecord {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
std::vector<HeadlessPostRecord> HeadlessDesktopPosts();

// Waits up to timeoutMs until every injected input event has been routed and
// the input thread is blocked waiting with nothing to do. Only meaningful
// when another thread runs the message loop.
bool HeadlessWaitIdle(int timeoutMs);

// The automation socket (PLAT_AUTOMATION=<path>): started by the first use
// of the backend when the variable is set; StartAutomation starts it
// explicitly. False when the socket cannot be created.
bool HeadlessStartAutomation(const char* socketPath);
bool HeadlessAutomationRunning();
// Stops serving and removes the socket.
void HeadlessStopAutomation();

} // namespace plat
