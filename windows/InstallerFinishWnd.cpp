// The finish window: start the product and close.
#include "windows/InstallerFinishWnd.h"

#include "app/install_context.h"
#include "plat/sys/files.h"
#include "plat/sys/process.h"

namespace installer {

UI_BEGIN_MESSAGE_MAP(InstallerFinishWnd, WindowImplBase)
UI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, InstallerFinishWnd::OnClick)
UI_END_MESSAGE_MAP()

void InstallerFinishWnd::InitWindow() {
    m_pStartBtn = Find(L"startbtn");
}

void InstallerFinishWnd::OnClick(TNotifyUI& msg) {
    if (!IsFrom(msg, m_pStartBtn))
        return;
    const std::wstring product = ProductExePath();
    if (plat::PathFileExists(product.c_str()))
        plat::ShellExecute(m_hWnd, L"open", product.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
    Close(1);
}

} // namespace installer
