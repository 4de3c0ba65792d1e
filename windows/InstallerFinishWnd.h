// InstallerFinishWnd: the last window of a successful run. Its one button
// starts the installed product (when its executable exists) and closes.
#pragma once

#include "windows/InstallerFrame.h"

namespace installer {

class InstallerFinishWnd : public InstallerFrameWnd {
public:
    InstallerFinishWnd() : InstallerFrameWnd(L"installerfinish.xml") {}

    LPCTSTR GetWindowClassName() const override { return L"InstallerFinishWnd"; }
    void InitWindow() override;
    void OnClick(TNotifyUI& msg) override;

protected:
    UI_DECLARE_MESSAGE_MAP()

private:
    CControlUI* m_pStartBtn = nullptr;
};

} // namespace installer
