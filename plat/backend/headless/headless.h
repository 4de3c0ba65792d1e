// The headless backend's own interface beyond the backend table: the
// composed screen and the surfaces' pixels. It knows surfaces only, never
// windows; screenshots of windows are the automation's
// (plat/automation/automation.h).
//
// Screen images are premultiplied ARGB (0xAARRGGBB as uint32_t), top-down,
// 1920 x 1080 pixels. PNG files hold straight alpha, as PNG does.
#pragma once

#include <cstdint>
#include <vector>

#include "plat/backend/backend.h"

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

// Composes the visible surfaces, in stacking order, with their shapes and
// alpha, into `out` (1920 x 1080), over the desktop colour.
void HeadlessCompose(HeadlessImage* out);
// One surface's own pixels, transparent outside its shape; false for an
// unknown surface.
bool HeadlessCaptureSurface(SurfaceId id, HeadlessImage* out);
// Writes an image as a PNG file; false when it cannot be written.
bool HeadlessSavePng(const HeadlessImage& image, const char* path);
// When the surface was first both shown and drawn, in CLOCK_MONOTONIC
// nanoseconds (std::chrono::steady_clock in any process of this machine);
// false for an unknown surface or one not yet on screen. For benchmarks.
bool HeadlessFirstFrameTime(SurfaceId id, int64_t* monotonicNs);
// For tests of desktops with panels: the work area within the screen. An
// empty (or off-screen) rectangle brings back the usual 1920 x 1040 at the
// top-left.
void HeadlessSetWorkArea(const RECT& work);

} // namespace plat
