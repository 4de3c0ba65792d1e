// The bridge between windows and the backend's surfaces: stacking order,
// surface size and buffer, geometry, visibility, alpha mode and shape, and
// presenting what a window (and its children) drew.
#include <algorithm>

#include "plat/gfx/gdi.h"
#include "plat/win/wm_internal.h"

namespace plat {
namespace wm {

// Z-order: owned windows above their owner, topmost windows above the rest.
// Keeps the relative order otherwise and tells the backend.
void RestackLocked() {
    auto& st = S();
    std::vector<HWND> normal, topmost;
    for (HWND h : st.zorder) {
        Wnd* w = FindLocked(h);
        if (!w)
            continue;
        (w->exStyle & WS_EX_TOPMOST ? topmost : normal).push_back(h);
    }
    auto ownerFirst = [&](std::vector<HWND>& band) {
        // Repeatedly move any window below its owner to just above it.
        for (size_t pass = 0; pass < band.size() * band.size() + 1; ++pass) {
            bool moved = false;
            for (size_t i = 0; i < band.size(); ++i) {
                Wnd* w = FindLocked(band[i]);
                if (!w || !w->owner)
                    continue;
                auto o = std::find(band.begin(), band.end(), w->owner);
                if (o == band.end())
                    continue;
                size_t oi = static_cast<size_t>(o - band.begin());
                if (oi > i) {
                    HWND h = band[i];
                    band.erase(band.begin() + static_cast<long>(i));
                    band.insert(band.begin() + static_cast<long>(oi), h);
                    moved = true;
                    break;
                }
            }
            if (!moved)
                break;
        }
    };
    ownerFirst(normal);
    ownerFirst(topmost);
    st.zorder = normal;
    st.zorder.insert(st.zorder.end(), topmost.begin(), topmost.end());
    std::vector<SurfaceId> ids;
    for (HWND h : st.zorder)
        if (Wnd* w = FindLocked(h); w && w->surface)
            ids.push_back(w->surface);
    GetBackend().restack(ids);
}

void RaiseLocked(HWND hwnd) {
    auto& st = S();
    std::vector<HWND> group{hwnd};
    for (size_t i = 0; i < group.size(); ++i)
        for (HWND h : st.zorder)
            if (Wnd* w = FindLocked(h); w && w->owner == group[i] &&
                                        std::find(group.begin(), group.end(), h) == group.end())
                group.push_back(h);
    std::vector<HWND> rest, moving;
    for (HWND h : st.zorder)
        (std::find(group.begin(), group.end(), h) != group.end() ? moving : rest).push_back(h);
    rest.insert(rest.end(), moving.begin(), moving.end());
    st.zorder = rest;
    RestackLocked();
}

void ResizeSurfaceLocked(Wnd& w) {
    int width = std::max<LONG>(0, w.rect.right - w.rect.left);
    int height = std::max<LONG>(0, w.rect.bottom - w.rect.top);
    int needW = std::max(width, 1), needH = std::max(height, 1);
    if (w.longLivedDC) {
        // A DC from GetDC may be kept for the window's life: reserve the
        // whole screen so that later growth does not move the pixels.
        RECT screen, work;
        GetBackend().screen_rect(&screen, &work);
        needW = std::max<int>(needW, screen.right - screen.left);
        needH = std::max<int>(needH, screen.bottom - screen.top);
    }
    if (!w.buffer || needW > w.capW || needH > w.capH) {
        auto buf = std::make_shared<PixelVector<uint32_t>>(static_cast<size_t>(needW) * needH,
                                                           0xFFFFFFFFu);
        // Keep what was drawn where it still fits.
        if (w.buffer)
            for (int y = 0; y < std::min(needH, w.capH); ++y)
                std::copy_n(w.buffer->begin() + static_cast<long>(y) * w.capW,
                            std::min(needW, w.capW), buf->begin() + static_cast<long>(y) * needW);
        w.buffer = buf;
        w.capW = needW;
        w.capH = needH;
    }
    w.surfW = width;
    w.surfH = height;
}

SurfaceHints SurfaceHintsLocked(const Wnd& w) {
    SurfaceHints h;
    bool tool = (w.exStyle & WS_EX_TOOLWINDOW) != 0;
    bool noActivate = (w.exStyle & WS_EX_NOACTIVATE) != 0;
    h.layered = (w.exStyle & WS_EX_LAYERED) != 0;
    // Layered and transparent: input goes through to what lies below.
    h.clickThrough = h.layered && (w.exStyle & WS_EX_TRANSPARENT);
    // Tooltips and menus: topmost or never active tool popups.
    h.popup = (w.style & WS_POPUP) && tool && ((w.exStyle & WS_EX_TOPMOST) || noActivate);
    h.topmost = (w.exStyle & WS_EX_TOPMOST) != 0;
    // The task bar shows unowned windows that are not tool windows, and
    // every WS_EX_APPWINDOW window.
    h.skipTaskbar = !(w.exStyle & WS_EX_APPWINDOW) && (tool || w.owner);
    h.noFocus = noActivate || h.clickThrough;
    if (const Wnd* o = FindLocked(w.owner))
        h.owner = o->surface;
    if (w.cls)
        h.className = w.cls->name;
    return h;
}

HWND WindowOfSurfaceLocked(SurfaceId id) {
    if (!id)
        return nullptr;
    for (HWND h : S().zorder)
        if (const Wnd* w = FindLocked(h); w && w->surface == id)
            return h;
    return nullptr;
}

void SyncSurfaceLocked(Wnd& w) {
    if (!w.surface)
        return;
    const Backend& be = GetBackend();
    RECT r = w.rect;
    if (w.show == ShowState::Minimized)
        r = RECT{-32000, -32000, -31840, -31972};
    be.set_hints(w.surface, SurfaceHintsLocked(w));
    be.move_resize_surface(w.surface, r.left, r.top, r.right - r.left, r.bottom - r.top);
    bool layered = (w.exStyle & WS_EX_LAYERED) != 0;
    be.set_alpha_mode(w.surface, layered && w.perPixelAlpha, layered ? w.constantAlpha : 255);
    be.set_shape(w.surface, w.region != nullptr, w.regionRects);
    bool shown = ReallyVisibleLocked(w) && (!layered || w.layeredReady);
    // A click-through window with per-pixel alpha is pure decoration (a
    // drop shadow). A display that cannot show alpha would show it as a
    // solid blot around its owner, so there it stays hidden.
    if (layered && w.perPixelAlpha && (w.exStyle & WS_EX_TRANSPARENT) && !be.per_pixel_alpha())
        shown = false;
    be.show_surface(w.surface, shown);
}

namespace {

// Draws the visible children of `w` (and theirs) over dst, a copy of the
// top-level window's pixels; (ox, oy) is w's origin in dst.
void BlitChildrenLocked(const Wnd& w, uint32_t* dst, int dstW, int dstH, int ox, int oy) {
    for (HWND c : w.children) {
        Wnd* cw = FindLocked(c);
        if (!cw || !(cw->style & WS_VISIBLE) || !cw->buffer)
            continue;
        int cx = ox + w.client.left + cw->rect.left, cy = oy + w.client.top + cw->rect.top;
        for (int y = 0; y < cw->surfH; ++y) {
            int dy = cy + y;
            if (dy < 0 || dy >= dstH)
                continue;
            const uint32_t* src = cw->buffer->data() + static_cast<size_t>(y) * cw->capW;
            for (int x = 0; x < cw->surfW; ++x) {
                int dx = cx + x;
                if (dx < 0 || dx >= dstW)
                    continue;
                if (cw->region && !PtInRegion(cw->region, x, y))
                    continue;
                dst[static_cast<size_t>(dy) * dstW + dx] = src[x];
            }
        }
        BlitChildrenLocked(*cw, dst, dstW, dstH, cx, cy);
    }
}

} // namespace

void PresentLocked(Wnd& w, const RECT& dirty) {
    if (!IsTopLevel(w)) {
        // A child's pixels are shown through its top-level window.
        Wnd* top = &w;
        RECT r = dirty;
        while (top && !IsTopLevel(*top)) {
            Wnd* p = FindLocked(top->parent);
            if (!p)
                return;
            OffsetRect(&r, top->rect.left + p->client.left, top->rect.top + p->client.top);
            top = p;
        }
        PresentLocked(*top, r);
        return;
    }
    if (!w.surface || w.surfW <= 0 || w.surfH <= 0 || !w.buffer)
        return;
    RECT all{0, 0, w.surfW, w.surfH}, d;
    if (!IntersectRect(&d, &dirty, &all))
        return;
    if (w.children.empty()) {
        GetBackend().present(w.surface, w.buffer->data(), w.surfW, w.surfH, w.capW * 4, d);
        return;
    }
    std::vector<uint32_t> composed(static_cast<size_t>(w.surfW) * w.surfH);
    for (int y = 0; y < w.surfH; ++y)
        std::copy_n(w.buffer->begin() + static_cast<long>(y) * w.capW, w.surfW,
                    composed.begin() + static_cast<long>(y) * w.surfW);
    BlitChildrenLocked(w, composed.data(), w.surfW, w.surfH, 0, 0);
    GetBackend().present(w.surface, composed.data(), w.surfW, w.surfH, w.surfW * 4, d);
}

void SyncOwnedLocked(HWND owner) {
    auto& st = S();
    for (HWND h : st.zorder)
        if (Wnd* w = FindLocked(h); w && w->owner == owner) {
            SyncSurfaceLocked(*w);
            SyncOwnedLocked(h);
        }
}

} // namespace wm
} // namespace plat
