// Painting: update regions, WM_PAINT, BeginPaint/EndPaint, window DCs,
// window regions and layered windows.
#include <algorithm>
#include <cstring>

#include "plat/gfx/gdi.h"
#include "plat/win/observe.h"
#include "plat/win/wm_internal.h"

namespace plat {
namespace wm {

namespace {

// DCs handed out for windows: which window, and the pixels they draw into.
struct WindowDC {
    HWND hwnd;
    std::shared_ptr<PixelVector<uint32_t>> buffer;
    bool paint;
};
std::map<HDC, WindowDC>& DCs() {
    static auto* m = new std::map<HDC, WindowDC>;
    return *m;
}

RECT ClientSizeRect(const Wnd& w) {
    return RECT{0, 0, std::max<LONG>(0, w.client.right - w.client.left),
                std::max<LONG>(0, w.client.bottom - w.client.top)};
}

HDC MakeDCLocked(Wnd& w, bool paint) {
    if (!w.buffer)
        ResizeSurfaceLocked(w);
    HDC dc = CreateSurfaceDC(w.buffer->data(), w.capW, w.capH, w.capW * 4);
    if (!dc)
        return nullptr;
    DCs()[dc] = WindowDC{w.hwnd, w.buffer, paint};
    return dc;
}

} // namespace

void WakeOwnerIfOther(HWND hwnd) {
    auto w = Find(hwnd);
    if (!w || w->queue->tid == CurrentTid())
        return;
    std::lock_guard<std::mutex> g(w->queue->m);
    w->queue->Wake();
}

void InvalidateLocked(Wnd& w, const RECT* rc, bool erase) {
    RECT all = ClientSizeRect(w), r;
    if (rc) {
        if (!IntersectRect(&r, rc, &all))
            return;
    } else {
        r = all;
        if (IsRectEmpty(&r))
            return;
    }
    if (w.hasUpdate)
        UnionRect(&w.update, &w.update, &r);
    else
        w.update = r;
    w.hasUpdate = true;
    w.updateErase = w.updateErase || erase;
}

void SystemInvalidateLocked(Wnd& w, const RECT* rc, bool erase) {
    if ((w.exStyle & WS_EX_LAYERED) && w.layeredPushed)
        return;
    InvalidateLocked(w, rc, erase);
}

bool FindPaintWindow(const std::shared_ptr<ThreadQueue>& q, HWND filter, MSG* msg) {
    auto& st = S();
    Lock lk(st.mu);
    Wnd* best = nullptr;
    for (auto& [h, w] : st.windows) {
        if (w->queue != q || !w->hasUpdate || !ReallyVisibleLocked(*w))
            continue;
        if (filter && filter != h && !IsChild(filter, h))
            continue;
        // The oldest window first, so parents paint before their children.
        if (!best || reinterpret_cast<uintptr_t>(h) < reinterpret_cast<uintptr_t>(best->hwnd))
            best = w.get();
    }
    if (!best)
        return false;
    *msg = MSG{};
    msg->hwnd = best->hwnd;
    msg->message = WM_PAINT;
    return true;
}

} // namespace wm

using namespace wm;

void FlushWindowSurfaces() {
    auto& st = S();
    Lock lk(st.mu);
    for (HWND h : st.zorder)
        if (Wnd* w = FindLocked(h))
            PresentLocked(*w, RECT{0, 0, w->surfW, w->surfH});
}

BOOL InvalidateRect(HWND hwnd, LPCRECT rect, BOOL erase) {
    {
        LockedWnd w(hwnd);
        if (!w)
            return FALSE;
        InvalidateLocked(*w, rect, erase != FALSE);
    }
    WakeOwnerIfOther(hwnd);
    return TRUE;
}

BOOL InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase) {
    if (!rgn)
        return InvalidateRect(hwnd, nullptr, erase);
    RECT box;
    if (GetRgnBox(rgn, &box) == ERROR)
        return FALSE;
    return InvalidateRect(hwnd, &box, erase);
}

BOOL ValidateRect(HWND hwnd, LPCRECT rect) {
    LockedWnd w(hwnd);
    if (!w)
        return FALSE;
    if (!w->hasUpdate)
        return TRUE;
    RECT u;
    // The update area is one rectangle: it goes when the rectangle covers it.
    if (!rect || (UnionRect(&u, rect, &w->update) && EqualRect(&u, rect))) {
        w->hasUpdate = false;
        w->updateErase = false;
        w->update = RECT{0, 0, 0, 0};
    }
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL erase) {
    bool sendErase = false;
    BOOL result;
    {
        LockedWnd w(hwnd);
        if (!w)
            return FALSE;
        if (rect)
            *rect = w->hasUpdate ? w->update : RECT{0, 0, 0, 0};
        result = w->hasUpdate ? TRUE : FALSE;
        sendErase = erase && w->hasUpdate && w->updateErase;
        if (sendErase)
            w->updateErase = false;
    }
    if (sendErase) {
        HDC dc = GetDC(hwnd);
        SendMessage(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        ReleaseDC(hwnd, dc);
    }
    return result;
}

BOOL UpdateWindow(HWND hwnd) {
    bool paint;
    {
        LockedWnd w(hwnd);
        if (!w)
            return FALSE;
        paint = w->hasUpdate && ReallyVisibleLocked(*w);
    }
    if (paint)
        SendMessage(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL RedrawWindow(HWND hwnd, LPCRECT rect, HRGN rgn, UINT flags) {
    if (!IsWindow(hwnd))
        return FALSE;
    if (flags & RDW_INVALIDATE) {
        if (rgn)
            InvalidateRgn(hwnd, rgn, (flags & RDW_ERASE) != 0);
        else
            InvalidateRect(hwnd, rect, (flags & RDW_ERASE) != 0);
    }
    if (flags & RDW_VALIDATE)
        ValidateRect(hwnd, rect);
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW))
        UpdateWindow(hwnd);
    return TRUE;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
    if (!ps)
        return nullptr;
    std::memset(ps, 0, sizeof *ps);
    HDC dc;
    bool erase;
    {
        LockedWnd w(hwnd);
        if (!w)
            return nullptr;
        ps->rcPaint = w->hasUpdate ? w->update : RECT{0, 0, 0, 0};
        erase = w->hasUpdate && w->updateErase;
        w->hasUpdate = false;
        w->updateErase = false;
        w->update = RECT{0, 0, 0, 0};
        CaretBeginPaintLocked(*w);
        dc = MakeDCLocked(*w, true);
    }
    if (!dc)
        return nullptr;
    IntersectClipRect(dc, ps->rcPaint.left, ps->rcPaint.top, ps->rcPaint.right, ps->rcPaint.bottom);
    ps->hdc = dc;
    ps->fErase = FALSE;
    if (erase)
        ps->fErase =
            SendMessage(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
    return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
    if (!ps || !ps->hdc)
        return FALSE;
    auto& st = S();
    Lock lk(st.mu);
    auto it = DCs().find(ps->hdc);
    if (it == DCs().end())
        return FALSE;
    if (Wnd* w = FindLocked(hwnd)) {
        CaretEndPaintLocked(*w);
        if (w->buffer == it->second.buffer)
            PresentLocked(*w, ps->rcPaint);
    }
    DeleteDC(ps->hdc);
    DCs().erase(it);
    return TRUE;
}

HDC GetDC(HWND hwnd) {
    if (!hwnd)
        return CreateCompatibleDC(nullptr);
    LockedWnd w(hwnd);
    if (!w)
        return nullptr;
    if (!w->longLivedDC) {
        w->longLivedDC = true;
        ResizeSurfaceLocked(*w);
    }
    return MakeDCLocked(*w, false);
}

HDC GetWindowDC(HWND hwnd) {
    return GetDC(hwnd);
}

int ReleaseDC(HWND hwnd, HDC hdc) {
    if (!hdc)
        return 0;
    auto& st = S();
    Lock lk(st.mu);
    auto it = DCs().find(hdc);
    if (it == DCs().end()) {
        // A DC from GetDC(nullptr).
        return hwnd ? 0 : DeleteDC(hdc);
    }
    if (Wnd* w = FindLocked(it->second.hwnd); w && w->buffer == it->second.buffer)
        PresentLocked(*w, RECT{0, 0, w->surfW, w->surfH});
    DeleteDC(hdc);
    DCs().erase(it);
    return 1;
}

int SetWindowRgn(HWND hwnd, HRGN rgn, BOOL redraw) {
    {
        LockedWnd w(hwnd);
        if (!w)
            return 0;
        std::vector<RECT> rects;
        if (rgn && !GetRgnRects(rgn, &rects)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        if (w->region && w->region != rgn)
            DeleteObject(w->region);
        w->region = rgn;
        w->regionRects = std::move(rects);
        SyncSurfaceLocked(*w);
        if (redraw)
            SystemInvalidateLocked(*w, nullptr, true);
    }
    if (redraw)
        WakeOwnerIfOther(hwnd);
    return 1;
}

int GetWindowRgn(HWND hwnd, HRGN rgn) {
    LockedWnd w(hwnd);
    if (!w || !w->region || !rgn)
        return ERROR;
    return CombineRgn(rgn, w->region, nullptr, RGN_COPY);
}

BOOL UpdateLayeredWindow(HWND hwnd, HDC, POINT* pptDst, SIZE* psize, HDC hdcSrc, POINT* pptSrc,
                         COLORREF, const BLENDFUNCTION* pblend, DWORD flags) {
    {
        LockedWnd w(hwnd);
        if (!w || !(w->exStyle & WS_EX_LAYERED)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        DCPIXELS px{};
        if (hdcSrc && (!GetDCPixels(hdcSrc, &px) || !px.bits)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        // From now on the window's pixels come from here: the system never
        // asks it to paint (an explicit InvalidateRect still does).
        w->layeredPushed = true;
        w->hasUpdate = false;
        w->updateErase = false;
    }
    if (pptDst || psize) {
        UINT f = SWP_NOZORDER | SWP_NOACTIVATE;
        if (!pptDst)
            f |= SWP_NOMOVE;
        if (!psize)
            f |= SWP_NOSIZE;
        SetWindowPos(hwnd, nullptr, pptDst ? pptDst->x : 0, pptDst ? pptDst->y : 0,
                     psize ? psize->cx : 0, psize ? psize->cy : 0, f);
    }
    LockedWnd w(hwnd);
    if (!w)
        return FALSE;
    if (!w->buffer)
        ResizeSurfaceLocked(*w);
    if (hdcSrc) {
        DCPIXELS px{};
        if (!GetDCPixels(hdcSrc, &px) || !px.bits) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        // The source block at (sx, sy); window pixels it does not cover
        // are transparent.
        const int sx = pptSrc ? pptSrc->x : 0, sy = pptSrc ? pptSrc->y : 0;
        const int x0 = std::clamp(-sx, 0, w->surfW), x1 = std::clamp(px.width - sx, x0, w->surfW);
        for (int y = 0; y < w->surfH; ++y) {
            uint32_t* dst = w->buffer->data() + static_cast<size_t>(y) * w->capW;
            const int srcY = sy + y;
            if (srcY < 0 || srcY >= px.height || x0 == x1) {
                std::fill(dst, dst + w->surfW, 0u);
                continue;
            }
            std::fill(dst, dst + x0, 0u);
            std::memcpy(dst + x0, px.bits + static_cast<size_t>(srcY) * px.stride + (sx + x0) * 4,
                        static_cast<size_t>(x1 - x0) * 4);
            std::fill(dst + x1, dst + w->surfW, 0u);
        }
        CaretPixelsReplacedLocked(*w);
    }
    w->layeredReady = true;
    w->layeredPushed = true;
    if (flags & ULW_OPAQUE) {
        w->perPixelAlpha = false;
        w->constantAlpha = 255;
    } else if (flags & ULW_ALPHA) {
        w->perPixelAlpha = pblend && (pblend->AlphaFormat & AC_SRC_ALPHA);
        w->constantAlpha = pblend ? pblend->SourceConstantAlpha : 255;
    }
    SyncSurfaceLocked(*w);
    PresentLocked(*w, RECT{0, 0, w->surfW, w->surfH});
    return TRUE;
}

BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF, BYTE alpha, DWORD flags) {
    LockedWnd w(hwnd);
    if (!w || !(w->exStyle & WS_EX_LAYERED)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // A colour key is accepted but not applied; nothing here uses one.
    if (flags & LWA_ALPHA) {
        w->perPixelAlpha = false;
        w->constantAlpha = alpha;
    }
    bool wasPushed = w->layeredPushed;
    w->layeredReady = true;
    w->layeredPushed = false;
    if (wasPushed)
        InvalidateLocked(*w, nullptr, true); // it paints from now on
    SyncSurfaceLocked(*w);
    return TRUE;
}

BOOL GetLayeredWindowAttributes(HWND hwnd, COLORREF* crKey, BYTE* alpha, DWORD* flags) {
    auto w = Find(hwnd);
    if (!w || !(w->exStyle & WS_EX_LAYERED))
        return FALSE;
    Lock lk(S().mu);
    if (crKey)
        *crKey = 0;
    if (alpha)
        *alpha = w->constantAlpha;
    if (flags)
        *flags = LWA_ALPHA;
    return TRUE;
}

} // namespace plat
