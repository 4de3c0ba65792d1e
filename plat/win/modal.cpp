// The modal message loop shared by every modal window.
#include "plat/win/modal.h"

namespace plat {

ModalLoop::ModalLoop(HWND owner) : m_owner(owner) {
    if (m_owner && IsWindow(m_owner) && IsWindowEnabled(m_owner)) {
        EnableWindow(m_owner, FALSE);
        m_disabled = true;
    }
}

ModalLoop::~ModalLoop() {
    if (!m_released)
        ReleaseOwner();
}

void ModalLoop::ReleaseOwner() {
    m_released = true;
    if (!m_owner || !IsWindow(m_owner))
        return;
    if (m_disabled) {
        EnableWindow(m_owner, TRUE);
        m_disabled = false;
    }
    SetFocus(m_owner);
}

bool ModalLoop::Run(const std::function<bool()>& keepRunning,
                    const std::function<bool(const MSG&)>& filter) {
    MSG msg{};
    bool quit = false;
    while (keepRunning()) {
        BOOL got = GetMessage(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) {
            quit = true;
            break;
        }
        if (filter && filter(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
    ReleaseOwner();
    if (quit) {
        m_quitCode = static_cast<int>(msg.wParam);
        PostQuitMessage(m_quitCode);
        return false;
    }
    return true;
}

} // namespace plat
