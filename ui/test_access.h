// TestAccess: a look inside a paint manager for tests, benchmarks
// and the skin previewer, kept out of the manager's own interface.
//
// A manager without a native window (Init never called, or called with
// null) works off-screen: the layout size comes from SetClientSize,
// invalidations accumulate, timers are only recorded. TestAccess paints
// such a manager into its back buffer, reads and saves that buffer, reads
// the pending area and the number of invalidations, and fires recorded
// timers as a window host's WM_TIMER would.
#pragma once

#include "ui/UIManager.h"

#include <vector>

namespace Veneer {

class TestAccess {
public:
    using TimerEntry = CPaintManagerUI::TimerEntry;

    explicit TestAccess(CPaintManagerUI& pm) : m_pm(pm) {}

    // One paint without a native window: lays out when needed (root at the
    // client rectangle, or each control that asks), sends "windowinit" once
    // per attached tree, moves the focus on when needed, then paints the
    // pending area (or rcPaint when given) into the back buffer. False
    // without a root or with an empty client area.
    bool PaintOffscreen(const RECT* rcPaint = nullptr);
    // The back buffer (a 32-bit top-down bitmap of the client size) and its
    // DC; null before the first paint.
    HDC GetOffscreenDC() const;
    HBITMAP GetOffscreenBitmap() const;
    // Writes the back buffer to a PNG file as the window shows it: with its
    // alpha for a transparent-background (layered) manager, opaque
    // otherwise. False without a back buffer or when the file cannot be
    // written.
    bool SaveOffscreenPng(const char* path) const;

    // The accumulated area to repaint (empty when nothing is pending) and
    // the number of Invalidate calls so far.
    RECT GetInvalidRect() const;
    int GetInvalidateCount() const;

    // The manager's timers, killed ones included (a killed timer keeps its
    // native id for a restart).
    const std::vector<TimerEntry>& GetTimers() const;
    // What WM_TIMER does: sends the owner of the running timer with this
    // native id a Timer event. False when no such timer runs.
    bool FireTimer(UINT uWinTimer);

private:
    CPaintManagerUI& m_pm;
};

// The inspector of `pm`, for one call: Inspect(pm).PaintOffscreen().
inline TestAccess Inspect(CPaintManagerUI& pm) {
    return TestAccess(pm);
}

} // namespace Veneer
