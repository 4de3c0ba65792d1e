// The control side's contact points with a bound native window. While no
// window is bound (the off-screen mode that tests and skinview use) each of
// them keeps its state in the manager only: invalidations accumulate,
// timers are recorded for a host to fire, and nothing else happens.
#include "ui/UIManager.h"

namespace Veneer {

void CPaintManagerUI::PostCleanupMessage() {
    // With a window the host posts WM_APP + 1 and calls
    // ProcessDelayedCleanup when it arrives; off-screen the queue waits for
    // ProcessDelayedCleanup or the manager's destruction.
}

void CPaintManagerUI::InvalidateWindowRect(const RECT* /*rc*/) {}

void CPaintManagerUI::FocusPaintWindow(CControlUI* /*pControl*/) {}

bool CPaintManagerUI::StartWindowTimer(UINT /*uWinTimer*/, UINT /*uElapse*/) {
    return true;
}

void CPaintManagerUI::StopWindowTimer(UINT /*uWinTimer*/) {}

void CPaintManagerUI::ResizeWindow(int cx, int cy) {
    SetClientSize(cx, cy);
}

void CPaintManagerUI::SetWindowCursor(int /*nCursor*/) {}

} // namespace Veneer
