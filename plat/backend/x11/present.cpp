// Pixels to the window: each surface keeps an image of the window's size in
// a shared-memory segment (MIT-SHM) when the server is on this machine, else
// in ordinary memory sent with XPutImage. Without a compositor, a window
// with per-pixel alpha shows its colours as meant and takes a one-bit shape
// from its alpha.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>

#include "plat/backend/x11/x11_internal.h"

namespace plat {
namespace x11 {

void ConvertPixels(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride, const RECT& r,
                   PixelMode mode) {
    size_t bytes = static_cast<size_t>(r.right - r.left) * 4;
    for (int y = r.top; y < r.bottom; ++y) {
        const uint8_t* s = src + static_cast<size_t>(y) * srcStride + r.left * 4;
        uint8_t* d = dst + static_cast<size_t>(y) * dstStride + r.left * 4;
        if (mode == PixelMode::Copy) {
            std::memcpy(d, s, bytes);
            continue;
        }
        const uint32_t* sp = reinterpret_cast<const uint32_t*>(s);
        uint32_t* dp = reinterpret_cast<uint32_t*>(d);
        int n = r.right - r.left;
        if (mode == PixelMode::Opaque) {
            for (int i = 0; i < n; ++i)
                dp[i] = sp[i] | 0xFF000000u;
            continue;
        }
        for (int i = 0; i < n; ++i) {
            uint32_t v = sp[i];
            uint32_t a = v >> 24;
            if (a == 255 || a == 0) {
                dp[i] = v;
                continue;
            }
            auto un = [a](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + a / 2) / a); };
            dp[i] = (a << 24) | (un((v >> 16) & 0xFF) << 16) | (un((v >> 8) & 0xFF) << 8) |
                    un(v & 0xFF);
        }
    }
}

std::vector<RECT> AlphaShape(const uint8_t* px, int stride, int w, int h,
                             const std::vector<RECT>* clip) {
    std::vector<RECT> out;
    std::vector<uint8_t> inside;
    std::vector<std::pair<int, int>> spans, prevSpans;
    size_t bandStart = 0; // first rectangle of the band that may still grow
    for (int y = 0; y < h; ++y) {
        const uint32_t* row =
            reinterpret_cast<const uint32_t*>(px + static_cast<size_t>(y) * stride);
        if (clip) {
            inside.assign(static_cast<size_t>(w), 0);
            for (const RECT& r : *clip)
                if (r.top <= y && y < r.bottom)
                    for (int x = std::max<int>(r.left, 0); x < std::min<int>(r.right, w); ++x)
                        inside[static_cast<size_t>(x)] = 1;
        }
        spans.clear();
        for (int x = 0; x < w;) {
            auto in = [&](int i) { return (row[i] >> 24) >= 128 && (!clip || inside[i]); };
            if (!in(x)) {
                ++x;
                continue;
            }
            int start = x;
            while (x < w && in(x))
                ++x;
            spans.emplace_back(start, x);
        }
        if (!spans.empty() && spans == prevSpans) {
            // The same spans as the row above: the band grows by one row.
            for (size_t i = bandStart; i < out.size(); ++i)
                out[i].bottom = y + 1;
            continue;
        }
        bandStart = out.size();
        for (auto [a, b] : spans)
            out.push_back(RECT{a, y, b, y + 1});
        prevSpans = spans;
    }
    return out;
}

void FreeImage(XSurface& s) {
    auto& x = X();
    if (!s.image)
        return;
    if (s.shmImage) {
        if (s.shmBusy)
            XSync(x.dpy, False);
        XShmDetach(x.dpy, &s.shm);
        // The server must have let go of the segment before it is unmapped.
        XSync(x.dpy, False);
        shmdt(s.shm.shmaddr);
        s.image->data = nullptr;
    }
    XDestroyImage(s.image); // frees ordinary data too
    s.image = nullptr;
    s.shmImage = false;
    s.shmBusy = false;
    s.shm = XShmSegmentInfo{};
}

namespace {

XImage* MakeShmImage(XSurface& s, Visual* visual, int depth, int w, int h) {
    auto& x = X();
    XImage* img = XShmCreateImage(x.dpy, visual, static_cast<unsigned>(depth), ZPixmap, nullptr,
                                  &s.shm, static_cast<unsigned>(w), static_cast<unsigned>(h));
    if (!img)
        return nullptr;
    size_t bytes = static_cast<size_t>(img->bytes_per_line) * static_cast<size_t>(h);
    s.shm.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (s.shm.shmid < 0) {
        XDestroyImage(img);
        return nullptr;
    }
    s.shm.shmaddr = static_cast<char*>(shmat(s.shm.shmid, nullptr, 0));
    if (s.shm.shmaddr == reinterpret_cast<char*>(-1)) {
        shmctl(s.shm.shmid, IPC_RMID, nullptr);
        XDestroyImage(img);
        return nullptr;
    }
    img->data = s.shm.shmaddr;
    s.shm.readOnly = False;
    x.lastError = 0;
    XShmAttach(x.dpy, &s.shm);
    XSync(x.dpy, False);
    // Removed now, the segment goes away once both sides have detached,
    // whatever happens to the program.
    shmctl(s.shm.shmid, IPC_RMID, nullptr);
    if (x.lastError != 0) {
        // A server elsewhere cannot see our memory: no MIT-SHM from now on.
        x.shm = false;
        shmdt(s.shm.shmaddr);
        img->data = nullptr;
        XDestroyImage(img);
        s.shm = XShmSegmentInfo{};
        return nullptr;
    }
    s.shmImage = true;
    return img;
}

// An image of the window's size and visual; false when none can be made.
bool EnsureImage(XSurface& s, int w, int h) {
    auto& x = X();
    if (s.image && s.image->width == w && s.image->height == h)
        return true;
    FreeImage(s);
    Visual* visual = s.argb ? x.argbVisual : x.visual;
    int depth = s.argb ? 32 : x.depth;
    if (x.shm)
        s.image = MakeShmImage(s, visual, depth, w, h);
    if (!s.image) {
        s.image = XCreateImage(x.dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                               static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
        if (!s.image)
            return false;
        s.image->data =
            static_cast<char*>(std::calloc(static_cast<size_t>(s.image->bytes_per_line) * h, 1));
        if (!s.image->data) {
            XDestroyImage(s.image);
            s.image = nullptr;
            return false;
        }
    }
    return true;
}

// Our pixels are 32-bit words 0xAARRGGBB; an image in another layout (a
// 16-bit screen) takes them one by one.
bool NativeLayout(const XImage* img) {
    return img->bits_per_pixel == 32 && img->byte_order == LSBFirst && img->red_mask == 0xFF0000 &&
           img->green_mask == 0xFF00 && img->blue_mask == 0xFF;
}

void ConvertSlow(const uint8_t* src, int stride, XImage* img, const RECT& r) {
    auto scale = [](uint32_t c, unsigned long mask) {
        if (!mask)
            return 0UL;
        int shift = __builtin_ctzl(mask);
        unsigned long max = mask >> shift;
        return ((static_cast<unsigned long>(c) * max + 127) / 255) << shift;
    };
    for (int y = r.top; y < r.bottom; ++y) {
        const uint32_t* row =
            reinterpret_cast<const uint32_t*>(src + static_cast<size_t>(y) * stride);
        for (int x = r.left; x < r.right; ++x) {
            uint32_t v = row[x];
            XPutPixel(img, x, y,
                      scale((v >> 16) & 0xFF, img->red_mask) |
                          scale((v >> 8) & 0xFF, img->green_mask) |
                          scale(v & 0xFF, img->blue_mask));
        }
    }
}

} // namespace

void Present(SurfaceId id, const void* pixels, int w, int h, int stride, const RECT& dirty) {
    Locked l;
    auto& x = X();
    XSurface* s = FindSurface(id);
    if (!s || !s->win || !pixels || w <= 0 || h <= 0)
        return;
    const RECT all{0, 0, w, h};
    RECT r;
    if (!IntersectRect(&r, &dirty, &all))
        return;
    if (!EnsureImage(*s, w, h))
        return;
    if (s->shmBusy) {
        // The server may still be reading the segment from the last frame.
        XSync(x.dpy, False);
        s->shmBusy = false;
    }
    const auto* src = static_cast<const uint8_t*>(pixels);
    if (NativeLayout(s->image)) {
        PixelMode mode = !s->perPixel     ? PixelMode::Opaque
                         : AlphaShown(*s) ? PixelMode::Copy
                                          : PixelMode::Unpremultiply;
        ConvertPixels(src, stride, reinterpret_cast<uint8_t*>(s->image->data),
                      s->image->bytes_per_line, r, mode);
    } else {
        ConvertSlow(src, stride, s->image, r);
    }
    if (s->perPixel && !AlphaShown(*s))
        ApplyShape(*s);
    if (!s->mapped)
        return; // an Expose asks again once the window shows
    int dx = r.left, dy = r.top;
    unsigned dw = static_cast<unsigned>(r.right - r.left),
             dh = static_cast<unsigned>(r.bottom - r.top);
    if (s->shmImage) {
        XShmPutImage(x.dpy, s->win, s->gc, s->image, dx, dy, dx, dy, dw, dh, False);
        s->shmBusy = true;
    } else {
        XPutImage(x.dpy, s->win, s->gc, s->image, dx, dy, dx, dy, dw, dh);
    }
}

} // namespace x11
} // namespace plat
