// The install window: the engine's progress and failure on the UI thread,
// the quit question, and the end of the worker.
#include "windows/InstallerInstallWnd.h"

#include <chrono>
#include <exception>
#include <thread>

#include "app/install_context.h"
#include "windows/CommonDlg.h"

namespace installer {

UI_BEGIN_MESSAGE_MAP(InstallerInstallWnd, WindowImplBase)
UI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, InstallerInstallWnd::OnClick)
UI_END_MESSAGE_MAP()

void InstallerInstallWnd::InitWindow() {
    m_pCloseBtn = Find(L"closebtn");
    m_pDownLabel = Find(L"down_label");
    m_pDownText = Find(L"down_text");
    m_pInstallText = Find(L"install_text");
    m_pDownProgress = FindAs<CProgressUI>(L"down_progress", L"Progress");
    m_pInstallGif = Find(L"installgif");
    m_hWndForWorker.store(m_hWnd);
    StartWorker();
}

void InstallerInstallWnd::StartWorker() {
    {
        std::lock_guard<std::mutex> guard(m_workerMutex);
        m_bWorkerRunning = true;
    }
    try {
        std::thread worker([this] { RunWorker(); });
        worker.detach();
    } catch (const std::exception&) {
        // No worker: nothing will happen, so say so and let the user leave.
        {
            std::lock_guard<std::mutex> guard(m_workerMutex);
            m_bWorkerRunning = false;
        }
        SetConfigOk(0);
        ApplyFailure(kInstallFailureText);
    }
}

void InstallerInstallWnd::RunWorker() {
    InstallThread(this);
    std::lock_guard<std::mutex> guard(m_workerMutex);
    m_bWorkerRunning = false;
    m_workerDone.notify_all();
}

bool InstallerInstallWnd::WaitForWorker(unsigned long timeoutMs) {
    std::unique_lock<std::mutex> guard(m_workerMutex);
    return m_workerDone.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                 [this] { return !m_bWorkerRunning; });
}

void InstallerInstallWnd::SetProgress(int value) {
    m_nPendingProgress.store(value);
    // Only the first value since the window last took one posts a message;
    // the window then shows whatever value is newest.
    if (!m_bProgressPosted.exchange(true))
        plat::PostMessage(m_hWndForWorker.load(), WM_INSTALL_PROGRESS, 0, 0);
}

void InstallerInstallWnd::ShowFailure(const std::wstring& text) {
    {
        std::lock_guard<std::mutex> guard(m_failureMutex);
        m_strFailure = text;
    }
    plat::PostMessage(m_hWndForWorker.load(), WM_INSTALL_FAILURE, 0, 0);
}

void InstallerInstallWnd::InstallDone() {
    // Returns 0 at once when the window has gone.
    plat::SendMessage(m_hWndForWorker.load(), WM_INSTALL_DONE, 0, 0);
}

void InstallerInstallWnd::ApplyProgress(int value) {
    if (value >= 100) {
        if (m_pDownProgress != nullptr) {
            m_pDownProgress->SetValue(100);
            m_pDownProgress->SetVisible(false);
        }
        if (m_pDownText != nullptr) {
            m_pDownText->SetText(L"100%");
            m_pDownText->SetVisible(false);
        }
        if (m_pDownLabel != nullptr)
            m_pDownLabel->SetVisible(false);
        if (m_pInstallText != nullptr)
            m_pInstallText->SetVisible(true);
        if (m_pInstallGif != nullptr)
            m_pInstallGif->SetVisible(true);
        return;
    }
    if (m_pDownProgress != nullptr)
        m_pDownProgress->SetValue(value);
    if (m_pDownText != nullptr)
        m_pDownText->SetText((std::to_wstring(value) + L"%").c_str());
}

void InstallerInstallWnd::ApplyFailure(const std::wstring& text) {
    // The failure display: the text, and the bar at its last value. A
    // failure after the downloads (the packages did not install) also stops
    // the installing animation, which would tell otherwise.
    if (m_pInstallGif != nullptr)
        m_pInstallGif->SetVisible(false);
    if (m_pDownProgress != nullptr)
        m_pDownProgress->SetVisible(true);
    if (m_pDownLabel != nullptr)
        m_pDownLabel->SetVisible(false);
    if (m_pDownText != nullptr)
        m_pDownText->SetVisible(false);
    if (m_pInstallText != nullptr) {
        m_pInstallText->SetText(text.c_str());
        m_pInstallText->SetVisible(true);
    }
    if (m_pCloseBtn != nullptr)
        m_pCloseBtn->SetEnabled(true);
}

void InstallerInstallWnd::OnClick(TNotifyUI& msg) {
    if (IsFrom(msg, m_pCloseBtn))
        OnQuit();
}

void InstallerInstallWnd::OnQuit() {
    if (m_bCloseChosen || m_bAsking)
        return;
    if (GetConfigOk() == 0) {
        // The engine has stopped after a failure: end without a question.
        Cancel();
        g_installState = 0;
        plat::PostQuitMessage(kFailureQuitCode);
        return;
    }
    int result = kDialogDismissed;
    m_bAsking = true;
    AskQuit(m_hWnd, result);
    m_bAsking = false;
    // The engine finished while the question was open: the question went
    // with it, and the finish window follows.
    if (m_bInstallDone) {
        CloseChosen();
        return;
    }
    if (result != kDialogConfirmed)
        return;
    // The worker stops downloading and starts nothing from here on.
    Cancel();
    g_installState = 0;
    CloseChosen();
}

void InstallerInstallWnd::CloseChosen() {
    m_bCloseChosen = true;
    Close(1);
}

LRESULT InstallerInstallWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_INSTALL_PROGRESS:
        // Cleared before the value is read: a value stored after this read
        // posts a message of its own.
        m_bProgressPosted.store(false);
        ApplyProgress(m_nPendingProgress.load());
        return 0;
    case WM_INSTALL_FAILURE: {
        std::wstring text;
        {
            std::lock_guard<std::mutex> guard(m_failureMutex);
            text = m_strFailure;
        }
        ApplyFailure(text);
        return 0;
    }
    case WM_CLOSE:
        // Alt+F4 (the system close command sends WM_CLOSE), the automation's
        // close, a session manager: each is the close button. Closing
        // without a word would leave g_installState at 1 and show the finish
        // window over an installation that never ended.
        if (!m_bCloseChosen) {
            OnQuit();
            return 0;
        }
        break;
    case WM_INSTALL_DONE:
        m_bInstallDone = true;
        // With the quit question open the window waits for it to go: the
        // question's own loop runs here, under the close button's handler.
        if (m_bAsking)
            DismissDialogOver(m_hWnd);
        else
            CloseChosen();
        break;
    default:
        break;
    }
    return WindowImplBase::HandleMessage(uMsg, wParam, lParam);
}

} // namespace installer
