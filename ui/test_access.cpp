// TestAccess: reads and drives a paint manager's off-screen state.
#include "ui/test_access.h"

#include "plat/gfx/gdi.h"

namespace Veneer {

bool TestAccess::PaintOffscreen(const RECT* rcPaint) {
    return m_pm.PaintOffscreen(rcPaint);
}

HDC TestAccess::GetOffscreenDC() const {
    return m_pm.m_hDcOffscreen;
}

HBITMAP TestAccess::GetOffscreenBitmap() const {
    return m_pm.m_hbmpOffscreen;
}

bool TestAccess::SaveOffscreenPng(const char* path) const {
    if (m_pm.m_hbmpOffscreen == nullptr || path == nullptr)
        return false;
    if (m_pm.IsBackgroundTransparent())
        return plat::SaveBitmapPng(m_pm.m_hbmpOffscreen, path) != FALSE;
    // An opaque window is shown by BitBlt, which ignores the alpha byte;
    // GDI's own drawing (text above all) leaves that byte at 0 on Windows.
    // The picture is what the window shows: every pixel opaque.
    const int cx = m_pm.m_szOffscreen.cx, cy = m_pm.m_szOffscreen.cy;
    void* bits = nullptr;
    HBITMAP opaque = plat::CreateDIB32(cx, cy, &bits);
    if (opaque == nullptr || bits == nullptr || m_pm.m_pOffscreenBits == nullptr) {
        if (opaque != nullptr)
            plat::DeleteObject(opaque);
        return false;
    }
    plat::GdiFlush();
    const DWORD* from = reinterpret_cast<const DWORD*>(m_pm.m_pOffscreenBits);
    DWORD* to = static_cast<DWORD*>(bits);
    for (size_t i = 0, n = static_cast<size_t>(cx) * cy; i < n; ++i)
        to[i] = from[i] | 0xFF000000u;
    const bool saved = plat::SaveBitmapPng(opaque, path) != FALSE;
    plat::DeleteObject(opaque);
    return saved;
}

RECT TestAccess::GetInvalidRect() const {
    return m_pm.m_rcInvalid;
}

int TestAccess::GetInvalidateCount() const {
    return m_pm.m_nInvalidateCount;
}

const std::vector<TestAccess::TimerEntry>& TestAccess::GetTimers() const {
    return m_pm.m_aTimers;
}

bool TestAccess::FireTimer(UINT uWinTimer) {
    return m_pm.FireTimer(uWinTimer);
}

} // namespace Veneer
