// The start window: install, licence, more options, folder choice, quit.
#include "windows/InstallerStartWnd.h"

#include "app/install_context.h"
#include "app/system_queries.h"
#include "plat/sys/process.h"
#include "windows/CommonDlg.h"
#include "windows/InstallerHooks.h"

namespace installer {

bool InstallerStartWnd::s_bLicenseUnchecked = false;
bool InstallerStartWnd::s_bOptionsCollapsed = true;

UI_BEGIN_MESSAGE_MAP(InstallerStartWnd, WindowImplBase)
UI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, InstallerStartWnd::OnClick)
UI_END_MESSAGE_MAP()

void InstallerStartWnd::InitWindow() {
    m_pCloseBtn = Find(L"closebtn");
    m_pInstallBtn = Find(L"installbtn");
    m_pLicenseChk = FindAs<COptionUI>(L"licensechk", L"Option");
    m_pLicenseBtn = Find(L"licensebtn");
    m_pShowMoreChk = Find(L"showmorechk");
    m_pMoreOpt = Find(L"moreopt");
    m_pInstallPathEdit = Find(L"installpathedit");
    m_pSelectDirBtn = Find(L"selectdirbtn");
    m_pNeedSize = Find(L"needsize");
    m_pUsableSize = Find(L"usablesize");

    if (m_pLicenseChk != nullptr)
        m_pLicenseChk->Selected(true);
    if (m_pInstallPathEdit != nullptr)
        m_pInstallPathEdit->SetText(g_installFolder.c_str());
    if (m_pNeedSize != nullptr)
        m_pNeedSize->SetText(L"100M");
    UpdateFreeSpace();
}

void InstallerStartWnd::UpdateFreeSpace() {
    g_installDrive = GetInstallDrive(g_installFolder);
    double freeBytes = 0.0;
    const bool known = QueryDiskFreeBytes(g_installDrive, freeBytes);
    g_freeBytes = known ? freeBytes : 0.0;
    if (known)
        g_freeSpaceText = FormatSize(g_freeBytes);
    if (m_pUsableSize != nullptr)
        m_pUsableSize->SetText(known ? g_freeSpaceText.c_str() : L"0.0M");
}

void InstallerStartWnd::OnClick(TNotifyUI& msg) {
    if (IsFrom(msg, m_pCloseBtn))
        OnQuit();
    else if (IsFrom(msg, m_pInstallBtn))
        OnInstall();
    else if (IsFrom(msg, m_pLicenseChk))
        OnLicenseToggle();
    else if (IsFrom(msg, m_pLicenseBtn))
        plat::ShellExecute(m_hWnd, L"open", g_clauseUrl.c_str(), nullptr, nullptr,
                           SW_SHOWMAXIMIZED);
    else if (IsFrom(msg, m_pShowMoreChk))
        OnShowMore();
    else if (IsFrom(msg, m_pSelectDirBtn))
        OnSelectFolder();
}

void InstallerStartWnd::OnQuit() {
    int result = kDialogDismissed;
    AskQuit(m_hWnd, result);
    if (result != kDialogConfirmed)
        return;
    g_installState = 0;
    Close(1);
}

void InstallerStartWnd::OnInstall() {
    // The space found at start or at the last folder choice decides; it is
    // not queried again.
    if (g_freeBytes < kNeededFreeBytes) {
        int ignored = 0;
        WarnLowDiskSpace(m_hWnd, ignored);
        return;
    }
    g_installState = 1;
    Close(1);
}

void InstallerStartWnd::OnLicenseToggle() {
    // The click comes before the option flips its own state, so the flag
    // (which flips with it) is what counts.
    if (m_pInstallBtn != nullptr)
        m_pInstallBtn->SetEnabled(s_bLicenseUnchecked);
    s_bLicenseUnchecked = !s_bLicenseUnchecked;
}

void InstallerStartWnd::OnShowMore() {
    const bool expand = s_bOptionsCollapsed;
    if (m_pMoreOpt != nullptr)
        m_pMoreOpt->SetVisible(expand);
    plat::SetWindowPos(m_hWnd, nullptr, 0, 0, kStartWndWidth,
                       expand ? kStartWndExpandedHeight : kStartWndHeight,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    s_bOptionsCollapsed = !expand;
}

void InstallerStartWnd::OnSelectFolder() {
    if (!ChooseFolder(m_hWnd) || g_installFolder.empty())
        return;
    if (m_pInstallPathEdit != nullptr)
        m_pInstallPathEdit->SetText(g_installFolder.c_str());
    UpdateFreeSpace();
}

} // namespace installer
