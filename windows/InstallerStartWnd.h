// InstallerStartWnd: the first window. One large install button, a licence
// check box that must stay ticked for it, the licence link, and a show-more
// toggle that grows the window to reveal the install folder, a folder
// chooser and the disk space needed and free. It sets g_installState to 1
// when the user installs and to 0 when the user confirms quitting.
#pragma once

#include "ui/UIButton.h"
#include "ui/UIOption.h"
#include "windows/InstallerFrame.h"

namespace installer {

// Least free space on the install drive for an installation: 100 MiB.
constexpr double kNeededFreeBytes = 104857600.0;
// Window heights with the extra options hidden and shown.
constexpr int kStartWndWidth = 560;
constexpr int kStartWndHeight = 408;
constexpr int kStartWndExpandedHeight = 490;

class InstallerStartWnd : public InstallerFrameWnd {
public:
    InstallerStartWnd() : InstallerFrameWnd(L"installerstart.xml") {}

    LPCTSTR GetWindowClassName() const override { return L"InstallerStartWnd"; }
    void InitWindow() override;
    void OnClick(TNotifyUI& msg) override;

    // Process-wide: the licence box was last toggled to unticked (the
    // install button is disabled meanwhile); the extra options are hidden.
    static bool s_bLicenseUnchecked;
    static bool s_bOptionsCollapsed;

protected:
    UI_DECLARE_MESSAGE_MAP()

private:
    // g_installDrive from g_installFolder, then its free space into
    // g_freeBytes, g_freeSpaceText and "usablesize" ("0.0M" when the query
    // fails).
    void UpdateFreeSpace();
    void OnQuit();
    void OnInstall();
    void OnLicenseToggle();
    void OnShowMore();
    void OnSelectFolder();

    CControlUI* m_pCloseBtn = nullptr;
    CControlUI* m_pInstallBtn = nullptr;
    COptionUI* m_pLicenseChk = nullptr;
    CControlUI* m_pLicenseBtn = nullptr;
    CControlUI* m_pShowMoreChk = nullptr;
    CControlUI* m_pMoreOpt = nullptr;
    CControlUI* m_pInstallPathEdit = nullptr;
    CControlUI* m_pSelectDirBtn = nullptr;
    CControlUI* m_pNeedSize = nullptr;
    CControlUI* m_pUsableSize = nullptr;
};

} // namespace installer
