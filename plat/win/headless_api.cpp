// Screenshots and idle waiting for the headless backend: flushes what window
// DCs drew to the backend, then asks it for the composed image.
#include <chrono>
#include <thread>

#include "plat/backend/headless/headless.h"
#include "plat/win/wm_internal.h"

namespace plat {

namespace headless {
bool CaptureSurface(SurfaceId id, HeadlessImage* out);
}
namespace wm {
void FlushAllSurfaces();
bool InputThreadIdle();
} // namespace wm

HeadlessImage HeadlessCaptureScreen() {
    wm::FlushAllSurfaces();
    HeadlessImage img;
    HeadlessCompose(&img);
    return img;
}

HeadlessImage HeadlessCaptureWindow(HWND hwnd) {
    wm::FlushAllSurfaces();
    HeadlessImage img;
    SurfaceId id = 0;
    {
        auto& st = wm::S();
        wm::Lock lk(st.mu);
        if (wm::Wnd* w = wm::FindLocked(hwnd))
            id = w->surface;
    }
    if (id)
        headless::CaptureSurface(id, &img);
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
        if (wm::InputThreadIdle()) {
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
