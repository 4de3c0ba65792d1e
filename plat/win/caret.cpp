// The caret: one per thread, owned by a window of that thread. It is drawn
// by inverting the owner's pixels (or XOR-ing them with the caret's bitmap),
// so drawing it twice takes it off again; a system timer on the owner
// blinks it. ShowCaret and HideCaret keep a count: the caret shows only
// when every HideCaret (and the hide it is created with) has been matched.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>

#include "plat/gfx/gdi.h"
#include "plat/sys/process.h"
#include "plat/win/wm_internal.h"

namespace plat {
namespace wm {

namespace {

constexpr UINT_PTR kBlinkTimer = 0xFFFF; // the owner's system timer

struct Caret {
    HWND owner = nullptr;
    POINT pos{};
    SIZE size{};
    int hideCount = 1;        // created hidden
    bool on = false;          // inverted on the owner's pixels now
    bool paintHidden = false; // taken off between BeginPaint and EndPaint
    // XOR pattern of size.cx x size.cy pixels from the caret's bitmap;
    // empty: every pixel is XOR-ed with `solid`.
    std::vector<uint32_t> pattern;
    uint32_t solid = 0x00FFFFFF;

    bool Visible() const { return hideCount == 0 && !paintHidden; }
};

std::atomic<UINT> g_blinkTime{530};

// The carets by thread id, under the window manager's lock.
std::map<DWORD, Caret>& Carets() {
    static auto* m = new std::map<DWORD, Caret>;
    return *m;
}

Caret* ThreadCaretLocked() {
    auto it = Carets().find(CurrentTid());
    return it == Carets().end() ? nullptr : &it->second;
}

Caret* CaretOfLocked(HWND owner) {
    for (auto& [tid, c] : Carets())
        if (c.owner == owner)
            return &c;
    return nullptr;
}

// XORs the caret onto its owner's client pixels and shows the result.
void InvertLocked(Caret& c) {
    c.on = !c.on;
    Wnd* w = FindLocked(c.owner);
    if (!w || !w->buffer)
        return;
    const RECT caret{w->client.left + c.pos.x, w->client.top + c.pos.y,
                     w->client.left + c.pos.x + c.size.cx, w->client.top + c.pos.y + c.size.cy};
    const RECT surface{0, 0, std::min(w->surfW, w->capW), std::min(w->surfH, w->capH)};
    RECT area;
    if (!IntersectRect(&area, &caret, &w->client) || !IntersectRect(&area, &area, &surface))
        return;
    for (LONG y = area.top; y < area.bottom; ++y) {
        uint32_t* row = w->buffer->data() + static_cast<size_t>(y) * w->capW;
        for (LONG x = area.left; x < area.right; ++x) {
            uint32_t mask = c.solid;
            if (!c.pattern.empty())
                mask = c.pattern[static_cast<size_t>(y - caret.top) * c.size.cx +
                                 static_cast<size_t>(x - caret.left)];
            row[x] ^= mask & 0x00FFFFFFu;
        }
    }
    PresentLocked(*w, area);
}

// Takes the caret off the screen if it is drawn.
void EraseLocked(Caret& c) {
    if (c.on)
        InvertLocked(c);
}

void BlinkProc(HWND hwnd, UINT, UINT_PTR, DWORD) {
    Lock lk(S().mu);
    Caret* c = ThreadCaretLocked();
    if (c && c->owner == hwnd && c->Visible())
        InvertLocked(*c);
}

// What a change asks of the blink timer, done once the lock is released
// (the timer lives under the queue's lock); Refuse: the change was refused.
enum class Blink { Keep, Restart, Stop, Refuse };

void ApplyBlink(HWND owner, Blink b) {
    if (!owner || b == Blink::Keep)
        return;
    const UINT ms = g_blinkTime.load();
    if (b == Blink::Stop || ms == INFINITE)
        KillSystemTimer(owner, kBlinkTimer);
    else
        SetSystemTimer(owner, kBlinkTimer, ms, BlinkProc);
}

// The XOR pattern of a caret bitmap: its pixels' colours.
std::vector<uint32_t> PatternOf(HBITMAP bitmap, SIZE* size) {
    BITMAP bm{};
    if (!GetObject(bitmap, sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return {};
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    std::vector<uint32_t> out;
    DCPIXELS px{};
    if (old && GetDCPixels(dc, &px) && px.bits) {
        out.resize(static_cast<size_t>(px.width) * px.height);
        for (int y = 0; y < px.height; ++y)
            std::memcpy(&out[static_cast<size_t>(y) * px.width], px.bits + size_t(y) * px.stride,
                        static_cast<size_t>(px.width) * 4);
        *size = SIZE{px.width, px.height};
    }
    if (old)
        SelectObject(dc, old);
    DeleteDC(dc);
    return out;
}

// Runs `change` on the calling thread's caret under the lock, then starts or
// stops the blink as it asks. FALSE without a caret or when refused.
template <class Change> BOOL ChangeCaret(Change change) {
    HWND owner;
    Blink blink;
    {
        Lock lk(S().mu);
        Caret* c = ThreadCaretLocked();
        if (!c)
            return FALSE;
        owner = c->owner;
        blink = change(*c);
    }
    if (blink == Blink::Refuse)
        return FALSE;
    ApplyBlink(owner, blink);
    return TRUE;
}

// ShowCaret and HideCaret: one hide less (never below none) or one more.
// The caret is drawn when the last hide goes and taken off with the first.
BOOL ChangeHideCount(HWND hwnd, bool show) {
    return ChangeCaret([&](Caret& c) {
        if (hwnd && hwnd != c.owner) {
            SetLastError(ERROR_ACCESS_DENIED);
            return Blink::Refuse;
        }
        if (show && c.hideCount > 0 && --c.hideCount == 0) {
            if (c.Visible() && !c.on)
                InvertLocked(c);
            return Blink::Restart;
        }
        if (!show && c.hideCount++ == 0) {
            EraseLocked(c);
            return Blink::Stop;
        }
        return Blink::Keep;
    });
}

} // namespace

void CaretBeginPaintLocked(Wnd& w) {
    Caret* c = CaretOfLocked(w.hwnd);
    if (!c || c->paintHidden)
        return;
    EraseLocked(*c);
    c->paintHidden = true;
}

void CaretEndPaintLocked(Wnd& w) {
    Caret* c = CaretOfLocked(w.hwnd);
    if (!c || !c->paintHidden)
        return;
    c->paintHidden = false;
    if (c->Visible() && !c->on)
        InvertLocked(*c);
}

void CaretPixelsReplacedLocked(Wnd& w) {
    if (Caret* c = CaretOfLocked(w.hwnd))
        c->on = false;
}

void ForgetCaretLocked(HWND hwnd) {
    for (auto it = Carets().begin(); it != Carets().end();) {
        if (it->second.owner == hwnd)
            it = Carets().erase(it);
        else
            ++it;
    }
}

} // namespace wm

using namespace wm;

BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height) {
    HWND oldOwner = nullptr;
    {
        LockedWnd w(hwnd);
        if (!w)
            return FALSE;
        if (w->queue->tid != CurrentTid()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        // A thread has one caret: the one it had goes.
        if (Caret* old = ThreadCaretLocked()) {
            EraseLocked(*old);
            oldOwner = old->owner;
        }
        Caret c;
        c.owner = hwnd;
        const HBITMAP gray = reinterpret_cast<HBITMAP>(1);
        if (bitmap && bitmap != gray) {
            c.pattern = PatternOf(bitmap, &c.size);
            if (c.pattern.empty()) {
                SetLastError(ERROR_INVALID_PARAMETER);
                Carets().erase(CurrentTid());
                w.Release();
                ApplyBlink(oldOwner, Blink::Stop);
                return FALSE;
            }
        } else {
            c.size = SIZE{width > 0 ? width : GetSystemMetrics(SM_CXBORDER),
                          height > 0 ? height : GetSystemMetrics(SM_CYBORDER)};
            if (bitmap == gray)
                c.solid = 0x00808080;
        }
        Carets()[CurrentTid()] = c;
    }
    ApplyBlink(oldOwner, Blink::Stop);
    return TRUE;
}

BOOL DestroyCaret() {
    return ChangeCaret([](Caret& c) {
        EraseLocked(c);
        Carets().erase(CurrentTid());
        return Blink::Stop;
    });
}

BOOL SetCaretPos(int x, int y) {
    return ChangeCaret([&](Caret& c) {
        if (!FindLocked(c.owner))
            return Blink::Refuse;
        EraseLocked(c);
        c.pos = POINT{x, y};
        if (!c.Visible())
            return Blink::Keep;
        // Drawn at once in its new place; the blink starts over.
        InvertLocked(c);
        return Blink::Restart;
    });
}

BOOL GetCaretPos(LPPOINT pt) {
    Lock lk(S().mu);
    Caret* c = ThreadCaretLocked();
    if (!pt || !c)
        return FALSE;
    *pt = c->pos;
    return TRUE;
}

BOOL ShowCaret(HWND hwnd) {
    return ChangeHideCount(hwnd, true);
}

BOOL HideCaret(HWND hwnd) {
    return ChangeHideCount(hwnd, false);
}

BOOL SetCaretBlinkTime(UINT ms) {
    if (ms == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    g_blinkTime = ms;
    // The calling thread's shown caret blinks at the new pace from now on;
    // one that no longer blinks stays drawn.
    ChangeCaret([&](Caret& c) {
        if (c.hideCount != 0)
            return Blink::Keep;
        if (ms == INFINITE && c.Visible() && !c.on)
            InvertLocked(c);
        return Blink::Restart;
    });
    return TRUE;
}

UINT GetCaretBlinkTime() {
    return g_blinkTime.load();
}

} // namespace plat
