// The headless backend: a virtual 1920 x 1080 screen (work area 1920 x 1040)
// that keeps a copy of every surface and composes the visible ones into an
// image on request. Deterministic: no clock, no outside events (the time of
// each surface's first frame is recorded for benchmarks, never acted on).
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>

#include <cairo.h>

#include "plat/backend/backend.h"
#include "plat/backend/headless/headless.h"
#include "plat/sys/pixel_memory.h"
#include "plat/sys/rect.h"

namespace plat {
namespace headless {

namespace {

constexpr int kScreenW = 1920;
constexpr int kScreenH = 1080;
constexpr int kWorkH = 1040;

struct Surface {
    SurfaceHints hints;
    int x = 0, y = 0, w = 0, h = 0;
    bool visible = false;
    PixelVector<uint32_t> px; // w x h, premultiplied ARGB
    bool shaped = false;
    std::vector<RECT> shape;
    bool perPixel = false;
    uint8_t alpha = 255;
    std::wstring title;
    bool presented = false;
    // CLOCK_MONOTONIC nanoseconds at which the surface was first both shown
    // and drawn; 0 until then.
    int64_t firstFrameNs = 0;

    void NoteFrameIfFirst() {
        if (firstFrameNs == 0 && visible && presented)
            firstFrameNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::steady_clock::now().time_since_epoch())
                               .count();
    }
};

struct State {
    std::mutex m;
    std::condition_variable cv;
    bool woken = false;
    std::map<SurfaceId, Surface> surfaces;
    std::vector<SurfaceId> stack; // bottom to top
    SurfaceId next = 1;
    BackendCursor cursor = BackendCursor::Arrow;
    RECT work{0, 0, kScreenW, kWorkH};
};

State& H() {
    static State* s = new State;
    return *s;
}

void ScreenRect(RECT* screen, RECT* work) {
    if (screen)
        *screen = RECT{0, 0, kScreenW, kScreenH};
    if (work) {
        auto& s = H();
        std::lock_guard<std::mutex> g(s.m);
        *work = s.work;
    }
}

SurfaceId CreateSurface(const SurfaceHints& hints, int x, int y, int w, int h) {
    auto& s = H();
    std::lock_guard<std::mutex> g(s.m);
    SurfaceId id = s.next++;
    Surface& sf = s.surfaces[id];
    sf.hints = hints;
    sf.x = x;
    sf.y = y;
    sf.w = std::max(w, 0);
    sf.h = std::max(h, 0);
    sf.px.assign(static_cast<size_t>(sf.w) * sf.h, 0xFFFFFFFFu);
    s.stack.push_back(id);
    return id;
}

void DestroySurface(SurfaceId id) {
    auto& s = H();
    std::lock_guard<std::mutex> g(s.m);
    s.surfaces.erase(id);
    s.stack.erase(std::remove(s.stack.begin(), s.stack.end(), id), s.stack.end());
}

void ShowSurface(SurfaceId id, bool visible) {
    auto& s = H();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.surfaces.find(id);
    if (it == s.surfaces.end())
        return;
    it->second.visible = visible;
    it->second.NoteFrameIfFirst();
}

void MoveResizeSurface(SurfaceId id, int x, int y, int w, int h) {
    auto& s = H();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.surfaces.find(id);
    if (it == s.surfaces.end())
        return;
    Surface& sf = it->second;
    sf.x = x;
    sf.y = y;
    w = std::max(w, 0);
    h = std::max(h, 0);
    if (w == sf.w && h == sf.h)
        return;
    PixelVector<uint32_t> px(static_cast<size_t>(w) * h, 0xFFFFFFFFu);
    for (int row = 0; row < std::min(h, sf.h); ++row)
        std::copy_n(sf.px.begin() + static_cast<long>(row) * sf.w, std::min(w, sf.w),
                    px.begin() + static_cast<long>(row) * w);
    sf.px.swap(px);
    sf.w = w;
    sf.h = h;
}

void Restack(const std::vector<SurfaceId>& order) {
    auto& s = H();
    std::lock_guard<std::mutex> g(s.m);
    std::vector<SurfaceId> stack;
    for (SurfaceId id : order)
        if (s.surfaces.count(id))
            stack.push_back(id);
    // Surfaces the window manager did not mention keep their place below.
    for (SurfaceId id : s.stack)
        if (std::find(stack.begin(), stack.end(), id) == stack.end())
            stack.insert(stack.begin(), id);
    s.stack = stack;
}

void SetShape(SurfaceId id, bool shaped, const std::vector<RECT>& rects) {
    auto& s = H();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.surfaces.find(id);
    if (it == s.surfaces.end())
        return;
    it->second.shaped = shaped;
    it->second.shape = rects;
}

void Present(SurfaceId id, const void* pixels, int w, int h, int stride, const RECT& dirty) {
    auto& s = H();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.surfaces.find(id);
    if (it == s.surfaces.end() || !pixels)
        return;
    Surface& sf = it->second;
    int x0 = std::max<int>(dirty.left, 0), y0 = std::max<int>(dirty.top, 0);
    int x1 = std::min<int>({dirty.right, w, sf.w}), y1 = std::min<int>({dirty.bottom, h, sf.h});
    if (x1 <= x0)
        return;
    const auto* src = static_cast<const uint8_t*>(pixels);
    for (int y = y0; y < y1; ++y)
        std::memcpy(sf.px.data() + static_cast<size_t>(y) * sf.w + x0,
                    src + static_cast<size_t>(y) * stride + x0 * 4,
                    static_cast<size_t>(x1 - x0) * 4);
    sf.presented = true;
    sf.NoteFrameIfFirst();
}

void SetAlphaMode(SurfaceId id, bool perPixel, uint8_t alpha) {
    auto& s = H();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.surfaces.find(id);
    if (it == s.surfaces.end())
        return;
    it->second.perPixel = perPixel;
    it->second.alpha = alpha;
}

void SetTitle(SurfaceId id, const std::wstring& title) {
    auto& s = H();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.surfaces.find(id);
    if (it != s.surfaces.end())
        it->second.title = title;
}

void SetHints(SurfaceId id, const SurfaceHints& hints) {
    auto& s = H();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.surfaces.find(id);
    if (it != s.surfaces.end())
        it->second.hints = hints;
}

// The virtual screen composes alpha itself, and nothing on it moves windows.
bool PerPixelAlpha() {
    return true;
}
bool BeginMove(SurfaceId, int, int, int) {
    return false;
}
void ActivateSurface(SurfaceId) {}

void SetCursorShape(BackendCursor c) {
    auto& s = H();
    std::lock_guard<std::mutex> g(s.m);
    s.cursor = c;
}

void WaitEvents(int timeoutMs) {
    auto& s = H();
    std::unique_lock<std::mutex> g(s.m);
    if (timeoutMs < 0)
        s.cv.wait(g, [&] { return s.woken; });
    else
        s.cv.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return s.woken; });
    s.woken = false;
}

void Wake() {
    auto& s = H();
    std::lock_guard<std::mutex> g(s.m);
    s.woken = true;
    s.cv.notify_all();
}

inline uint32_t Mul(uint32_t c, uint32_t a) { // c * a / 255, rounded
    uint32_t t = c * a + 128;
    return (t + (t >> 8)) >> 8;
}

// Source-over of a premultiplied pixel scaled by `alpha`.
inline uint32_t Over(uint32_t src, uint32_t dst, uint32_t alpha) {
    uint32_t sa = src >> 24, sr = (src >> 16) & 0xFF, sg = (src >> 8) & 0xFF, sb = src & 0xFF;
    if (alpha != 255) {
        sa = Mul(sa, alpha);
        sr = Mul(sr, alpha);
        sg = Mul(sg, alpha);
        sb = Mul(sb, alpha);
    }
    if (sa == 255)
        return (sa << 24) | (sr << 16) | (sg << 8) | sb;
    uint32_t inv = 255 - sa;
    uint32_t da = dst >> 24, dr = (dst >> 16) & 0xFF, dg = (dst >> 8) & 0xFF, db = dst & 0xFF;
    return ((sa + Mul(da, inv)) << 24) | ((sr + Mul(dr, inv)) << 16) | ((sg + Mul(dg, inv)) << 8) |
           (sb + Mul(db, inv));
}

void ComposeRect(const Surface& sf, const RECT& r, HeadlessImage* out) {
    int x0 = std::max<int>(r.left, 0), y0 = std::max<int>(r.top, 0);
    int x1 = std::min<int>(r.right, sf.w), y1 = std::min<int>(r.bottom, sf.h);
    x0 = std::max(x0, -sf.x);
    y0 = std::max(y0, -sf.y);
    x1 = std::min(x1, out->width - sf.x);
    y1 = std::min(y1, out->height - sf.y);
    for (int y = y0; y < y1; ++y) {
        const uint32_t* src = sf.px.data() + static_cast<size_t>(y) * sf.w;
        uint32_t* dst = out->pixels.data() + static_cast<size_t>(y + sf.y) * out->width + sf.x;
        if (!sf.perPixel && sf.alpha == 255) {
            for (int x = x0; x < x1; ++x)
                dst[x] = src[x] | 0xFF000000u;
        } else if (!sf.perPixel) {
            for (int x = x0; x < x1; ++x)
                dst[x] = Over(src[x] | 0xFF000000u, dst[x], sf.alpha);
        } else {
            for (int x = x0; x < x1; ++x)
                dst[x] = Over(src[x], dst[x], sf.alpha);
        }
    }
}

} // namespace

const Backend& Table() {
    static const Backend table = {
        "headless",
        false,
        ScreenRect,
        CreateSurface,
        DestroySurface,
        ShowSurface,
        MoveResizeSurface,
        Restack,
        SetShape,
        Present,
        SetAlphaMode,
        SetTitle,
        SetHints,
        SetCursorShape,
        PerPixelAlpha,
        BeginMove,
        ActivateSurface,
        WaitEvents,
        Wake,
    };
    return table;
}

void Compose(HeadlessImage* out) {
    auto& s = H();
    out->width = kScreenW;
    out->height = kScreenH;
    out->pixels.assign(static_cast<size_t>(kScreenW) * kScreenH, kHeadlessDesktopColor);
    std::lock_guard<std::mutex> g(s.m);
    for (SurfaceId id : s.stack) {
        auto it = s.surfaces.find(id);
        if (it == s.surfaces.end())
            continue;
        const Surface& sf = it->second;
        if (!sf.visible || sf.w <= 0 || sf.h <= 0)
            continue;
        if (!sf.shaped) {
            ComposeRect(sf, RECT{0, 0, sf.w, sf.h}, out);
        } else {
            for (const RECT& r : sf.shape)
                ComposeRect(sf, r, out);
        }
    }
}

} // namespace headless

bool HeadlessCaptureSurface(SurfaceId id, HeadlessImage* out) {
    using namespace headless;
    auto& s = H();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.surfaces.find(id);
    if (it == s.surfaces.end())
        return false;
    const Surface& sf = it->second;
    out->width = sf.w;
    out->height = sf.h;
    out->pixels.assign(sf.px.size(), 0);
    auto copy = [&](const RECT& r) {
        for (int y = std::max<int>(r.top, 0); y < std::min<int>(r.bottom, sf.h); ++y)
            for (int x = std::max<int>(r.left, 0); x < std::min<int>(r.right, sf.w); ++x) {
                uint32_t v = sf.px[static_cast<size_t>(y) * sf.w + x];
                if (!sf.perPixel)
                    v |= 0xFF000000u;
                if (sf.alpha != 255)
                    v = Over(v, 0, sf.alpha);
                out->pixels[static_cast<size_t>(y) * sf.w + x] = v;
            }
    };
    if (!sf.shaped)
        copy(RECT{0, 0, sf.w, sf.h});
    else
        for (const RECT& r : sf.shape)
            copy(r);
    return true;
}

bool HeadlessSavePng(const HeadlessImage& image, const char* path) {
    if (!path || image.width <= 0 || image.height <= 0)
        return false;
    // cairo's ARGB32 is premultiplied ARGB in native-endian words: the same
    // layout as our pixels; the PNG writer un-premultiplies.
    std::vector<uint32_t> copy = image.pixels;
    int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, image.width);
    if (stride != image.width * 4)
        return false;
    cairo_surface_t* s =
        cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(copy.data()),
                                            CAIRO_FORMAT_ARGB32, image.width, image.height, stride);
    bool ok = cairo_surface_status(s) == CAIRO_STATUS_SUCCESS &&
              cairo_surface_write_to_png(s, path) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

bool HeadlessFirstFrameTime(SurfaceId id, int64_t* monotonicNs) {
    using namespace headless;
    auto& s = H();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.surfaces.find(id);
    if (it == s.surfaces.end() || it->second.firstFrameNs == 0)
        return false;
    *monotonicNs = it->second.firstFrameNs;
    return true;
}

void HeadlessCompose(HeadlessImage* out) {
    headless::Compose(out);
}

void HeadlessSetWorkArea(const RECT& work) {
    using namespace headless;
    const RECT screen{0, 0, kScreenW, kScreenH};
    RECT r;
    if (!IntersectRect(&r, &work, &screen))
        r = RECT{0, 0, kScreenW, kWorkH};
    auto& s = H();
    std::lock_guard<std::mutex> g(s.m);
    s.work = r;
}

} // namespace plat
