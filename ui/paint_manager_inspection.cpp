// CManagerInspectorUI: reads and drives a paint manager's off-screen state.
#include "ui/paint_manager_inspection.h"

#include "plat/gfx/gdi.h"

namespace Veneer {

bool CManagerInspectorUI::PaintOffscreen(const RECT* rcPaint) {
    return m_pm.PaintOffscreen(rcPaint);
}

HDC CManagerInspectorUI::GetOffscreenDC() const {
    return m_pm.m_hDcOffscreen;
}

HBITMAP CManagerInspectorUI::GetOffscreenBitmap() const {
    return m_pm.m_hbmpOffscreen;
}

bool CManagerInspectorUI::SaveOffscreenPng(const char* path) const {
    return m_pm.m_hbmpOffscreen != nullptr && path != nullptr &&
           plat::SaveBitmapPng(m_pm.m_hbmpOffscreen, path) != FALSE;
}

RECT CManagerInspectorUI::GetInvalidRect() const {
    return m_pm.m_rcInvalid;
}

int CManagerInspectorUI::GetInvalidateCount() const {
    return m_pm.m_nInvalidateCount;
}

const std::vector<CManagerInspectorUI::TimerEntry>& CManagerInspectorUI::GetTimers() const {
    return m_pm.m_aTimers;
}

bool CManagerInspectorUI::FireTimer(UINT uWinTimer) {
    return m_pm.FireTimer(uWinTimer);
}

} // namespace Veneer
