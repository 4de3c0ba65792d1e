// The installer windows' common frame.
#include "windows/InstallerFrame.h"

#include "ui/UIControl.h"

namespace installer {

CStdString SenderName(const TNotifyUI& msg) {
    return msg.pSender != nullptr ? msg.pSender->GetName() : CStdString();
}

HWND InstallerFrameWnd::CreateFrame(HWND owner, LPCTSTR title) {
    return Create(owner, title, kInstallerWndStyle, kInstallerWndExStyle, CW_USEDEFAULT,
                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
}

bool InstallerFrameWnd::IsFrom(const TNotifyUI& msg, const CControlUI* control) {
    return control != nullptr && msg.pSender != nullptr &&
           msg.pSender->GetName() == control->GetName();
}

} // namespace installer
