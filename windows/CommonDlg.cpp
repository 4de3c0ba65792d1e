// The message dialog and the two questions the installer asks with it.
#include "windows/CommonDlg.h"

#include <utility>
#include <vector>

#include "app/install_context.h"
#include "ui/UIContainer.h"
#include "ui/UIControl.h"

namespace installer {

namespace {

const wchar_t* const kDialogTitle = L"提示";
const wchar_t* const kQuitText = L"您确定要退出TarvexPDF安装过程？";
const wchar_t* const kLowDiskText = L"安装磁盘空间不足！";

enum class DialogForm { Message, YesNo };

// The dialogs open now, the innermost last, each with its owner.
std::vector<std::pair<HWND, HWND>>& OpenDialogs() {
    static std::vector<std::pair<HWND, HWND>> open;
    return open;
}

// Creates a dialog over `owner`, shows one form and deletes it again.
int RunDialog(HWND owner, DialogForm form, LPCTSTR text) {
    auto* dlg = new CommonDlg();
    if (dlg->CreateFrame(owner, L"CommonDlg") == nullptr) {
        delete dlg;
        g_dialogResult = kDialogDismissed;
        return g_dialogResult;
    }
    dlg->m_hOwner = owner;
    OpenDialogs().emplace_back(owner, dlg->GetHWND());
    if (form == DialogForm::YesNo)
        dlg->ShowYesNoBox(kDialogTitle, text);
    else
        dlg->ShowMessageBox(kDialogTitle, text);
    OpenDialogs().pop_back();
    const int result = g_dialogResult;
    delete dlg;
    return result;
}

} // namespace

UI_BEGIN_MESSAGE_MAP(CommonDlg, WindowImplBase)
UI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, CommonDlg::OnClick)
UI_END_MESSAGE_MAP()

void CommonDlg::InitWindow() {
    // No task-bar button for the dialog.
    const LONG_PTR exStyle = plat::GetWindowLongPtr(m_hWnd, GWL_EXSTYLE);
    plat::SetWindowLongPtr(m_hWnd, GWL_EXSTYLE, exStyle ^ WS_EX_TOOLWINDOW);
    m_pTabModule = FindAs<CTabLayoutUI>(L"commondlgTabModule", L"TabLayout");
    m_pCloseBtn = Find(L"closebtn");
    m_pMsgTitle = Find(L"msgtitle");
    m_pMsgText = Find(L"msgtext");
    m_pMsgConfirmBtn = Find(L"msgconfirmbtn");
    m_pMsgYnText = Find(L"msgyntext");
    m_pMsgYnConfirmBtn = Find(L"msgynconfirmbtn");
    m_pMsgYnCancelBtn = Find(L"msgyncancelbtn");
}

void CommonDlg::ShowMessageBox(LPCTSTR title, LPCTSTR text) {
    if (m_pMsgTitle != nullptr)
        m_pMsgTitle->SetText(title);
    if (m_pMsgText != nullptr)
        m_pMsgText->SetText(text);
    if (m_pTabModule != nullptr)
        m_pTabModule->SelectItem(0);
    CentreAndRun();
}

void CommonDlg::ShowYesNoBox(LPCTSTR title, LPCTSTR text) {
    if (m_pMsgTitle != nullptr)
        m_pMsgTitle->SetText(title);
    if (m_pMsgYnText != nullptr)
        m_pMsgYnText->SetText(text);
    if (m_pTabModule != nullptr)
        m_pTabModule->SelectItem(1);
    // Selecting the page hands the focus to it, and the tab order would go
    // on to the confirm button: Enter on a fresh question would quit. The
    // first paint focuses the first tab stop, the close button, instead.
    if (m_pCloseBtn != nullptr)
        m_PaintManager.SetFocusNeeded(m_pCloseBtn);
    CentreAndRun();
}

void CommonDlg::CentreAndRun() {
    RECT rcDlg = {0, 0, 0, 0};
    plat::GetWindowRect(m_hWnd, &rcDlg);
    RECT rcOwner = {0, 0, 0, 0};
    plat::GetClientRect(m_hOwner, &rcOwner);
    POINT corner = {0, 0};
    plat::ClientToScreen(m_hOwner, &corner);
    const int ownerWidth = rcOwner.right - rcOwner.left;
    const int ownerHeight = rcOwner.bottom - rcOwner.top;
    const int x = corner.x + (ownerWidth - (rcDlg.right - rcDlg.left)) / 2;
    const int y = corner.y + (ownerHeight - (rcDlg.bottom - rcDlg.top)) / 2;
    plat::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    // Closed in any other way than by one of its buttons (Alt+F4, its owner
    // going away), the dialog counts as dismissed, never as confirmed by a
    // stale result.
    g_dialogResult = kDialogDismissed;
    ShowModal();
}

void CommonDlg::OnClick(TNotifyUI& msg) {
    if (IsFrom(msg, m_pCloseBtn))
        g_dialogResult = kDialogDismissed;
    else if (IsFrom(msg, m_pMsgConfirmBtn))
        g_dialogResult = kDialogConfirmed;
    else if (IsFrom(msg, m_pMsgYnConfirmBtn))
        g_dialogResult = kDialogConfirmed;
    else if (IsFrom(msg, m_pMsgYnCancelBtn))
        g_dialogResult = kDialogDeclined;
    else
        return;
    Close(1);
}

bool DismissDialogOver(HWND owner) {
    for (const auto& open : OpenDialogs()) {
        if (open.first == owner) {
            plat::PostMessage(open.second, WM_CLOSE, 0, 0);
            return true;
        }
    }
    return false;
}

void AskQuit(HWND owner, int& result) {
    result = RunDialog(owner, DialogForm::YesNo, kQuitText);
}

void WarnLowDiskSpace(HWND owner, int& result) {
    result = RunDialog(owner, DialogForm::Message, kLowDiskText);
}

} // namespace installer
