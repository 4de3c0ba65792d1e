// CommonDlg: the installer's message dialog, a small skinned window with a
// message form (one confirm button) and a yes/no form, shown modally over
// the window that asks. AskQuit and WarnLowDiskSpace create, show and
// delete one.
//
// The result goes to g_dialogResult and to the caller: 0 confirmed, 1
// declined, 2 dismissed (its close button, or closed without any of its
// buttons, Alt+F4 for one).
#pragma once

#include "ui/UIContainer.h"
#include "windows/InstallerFrame.h"

namespace installer {

// Results of a message dialog.
constexpr int kDialogConfirmed = 0;
constexpr int kDialogDeclined = 1;
constexpr int kDialogDismissed = 2;

class CommonDlg : public InstallerFrameWnd {
public:
    CommonDlg() : InstallerFrameWnd(L"commondlg.xml") {}

    LPCTSTR GetWindowClassName() const override { return L"CommonDlg"; }
    void InitWindow() override;
    void OnClick(TNotifyUI& msg) override;

    // Shows the message form with `title` and `text`, centred over the
    // owner, and returns when the dialog has closed.
    void ShowMessageBox(LPCTSTR title, LPCTSTR text);
    // The same with the yes/no form.
    void ShowYesNoBox(LPCTSTR title, LPCTSTR text);

    HWND m_hOwner = nullptr;

protected:
    UI_DECLARE_MESSAGE_MAP()

private:
    // Centres over the owner's client area (not clamped to the screen) and
    // runs the modal loop.
    void CentreAndRun();

    CTabLayoutUI* m_pTabModule = nullptr;
    CControlUI* m_pCloseBtn = nullptr;
    CControlUI* m_pMsgTitle = nullptr;
    CControlUI* m_pMsgText = nullptr;
    CControlUI* m_pMsgConfirmBtn = nullptr;
    CControlUI* m_pMsgYnText = nullptr;
    CControlUI* m_pMsgYnConfirmBtn = nullptr;
    CControlUI* m_pMsgYnCancelBtn = nullptr;
};

// Asks "您确定要退出TarvexPDF安装过程？" with the yes/no form over `owner`;
// `result` gets the dialog's result.
void AskQuit(HWND owner, int& result);
// Warns "安装磁盘空间不足！" with the message form over `owner`; `result` gets
// the dialog's result.
void WarnLowDiskSpace(HWND owner, int& result);

// Closes the message dialog now open over `owner`, if any, as dismissed
// (unless one of its buttons has answered already); it goes once its loop
// takes the close. True when there was one.
bool DismissDialogOver(HWND owner);

} // namespace installer
