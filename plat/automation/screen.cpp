// Screenshots and idle waiting: flushes what window DCs drew to the backend,
// then reads the headless backend's surfaces.
#include <chrono>
#include <thread>

#include "plat/automation/automation.h"
#include "plat/win/observe.h"

namespace plat {

HeadlessImage HeadlessCaptureScreen() {
    FlushWindowSurfaces();
    HeadlessImage img;
    HeadlessCompose(&img);
    return img;
}

HeadlessImage HeadlessCaptureWindow(HWND hwnd) {
    FlushWindowSurfaces();
    HeadlessImage img;
    if (SurfaceId id = WindowSurface(hwnd))
        HeadlessCaptureSurface(id, &img);
    return img;
}

bool HeadlessSaveScreenPng(const char* path) {
    return HeadlessSavePng(HeadlessCaptureScreen(), path);
}

bool HeadlessSaveWindowPng(HWND hwnd, const char* path) {
    HeadlessImage img = HeadlessCaptureWindow(hwnd);
    return img.width > 0 && HeadlessSavePng(img, path);
}

bool HeadlessWaitIdle(int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // Two idle observations in a row, so that a wake-up in between counts.
    int seen = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (WindowSystemIdle()) {
            if (++seen >= 2)
                return true;
        } else {
            seen = 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

} // namespace plat
