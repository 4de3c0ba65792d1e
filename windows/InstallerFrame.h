// The frame every installer window shares: a skinned window whose layout
// comes from the skin archive in the program's resources (ZIPRES 129), and
// the style and placement the installer creates its windows with.
#pragma once

#include "ui/UIControl.h"
#include "ui/UIWindowImpl.h"

namespace installer {

using namespace Veneer;

// The skin archive's resource number.
constexpr UINT kSkinResourceId = 129;
// Style and extended style of every installer window: a pop-up with
// caption and system menu bits (the window base drops the caption), visible,
// clipping its siblings and children; WS_EX_WINDOWEDGE.
constexpr DWORD kInstallerWndStyle = 0x96c80000;
constexpr DWORD kInstallerWndExStyle = 0x100;

// The name of the control that sent a notification (empty without one).
CStdString SenderName(const TNotifyUI& msg);

class InstallerFrameWnd : public WindowImplBase {
public:
    // `layoutFile`: the window's layout in the skin archive.
    explicit InstallerFrameWnd(LPCTSTR layoutFile) : m_strSkinFile(layoutFile) {}

    // Creates the window with the installer's style, default position and
    // size (the layout gives the size), owned by `owner` and titled `title`.
    HWND CreateFrame(HWND owner, LPCTSTR title);

protected:
    CStdString GetSkinDirectory() override { return L""; }
    CStdString GetLayoutFileName() override { return m_strSkinFile; }
    UILIB_RESOURCETYPE GetResourceType() const override { return UILIB_ZIPRESOURCE; }
    LPCTSTR GetResourceID() const override { return MAKEINTRESOURCE(kSkinResourceId); }

    // A control of the layout by name (null when the layout lacks it).
    CControlUI* Find(LPCTSTR name) { return m_PaintManager.FindControl(name); }
    // The control `name` as the interface `iface` (its skin element name,
    // e.g. L"TabLayout"); null when missing or of another kind.
    template <class T> T* FindAs(LPCTSTR name, LPCTSTR iface) {
        CControlUI* control = Find(name);
        return control != nullptr ? static_cast<T*>(control->GetInterface(iface)) : nullptr;
    }
    // True when the notification came from `control` (compared by name).
    static bool IsFrom(const TNotifyUI& msg, const CControlUI* control);

    CStdString m_strSkinFile;
};

} // namespace installer
