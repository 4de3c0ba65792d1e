// InstallerInstallWnd: the progress window. Its InitWindow starts the install
// engine on a detached worker thread; the engine's calls (SetProgress,
// ShowFailure, InstallDone) come from that thread and are carried over to
// the window's thread by posted messages. Progress is coalesced: the newest
// value waits in an atomic and at most one progress message is in flight, so
// a burst of callbacks costs one repaint. Calls that arrive after the window
// has closed post to a dead handle and are dropped by the platform; the
// window object itself is never deleted while the process runs.
//
// Its close button asks whether to quit (confirmed: g_installState 0, the
// engine is cancelled and the window closes); after a failure it ends the
// installer at once. Every other close (Alt+F4, a WM_CLOSE from anywhere)
// takes the close button's path: the window closes by itself only when the
// engine has finished or the user has confirmed quitting, so the finish
// window never follows an installation that did not end.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

#include "app/install_engine.h"
#include "ui/UIProgress.h"
#include "windows/InstallerFrame.h"

namespace installer {

// Posted to the install window by SetProgress and ShowFailure.
constexpr UINT WM_INSTALL_PROGRESS = WM_USER + 102;
constexpr UINT WM_INSTALL_FAILURE = WM_USER + 103;
// The quit code posted when the user closes the window after a failure.
constexpr int kFailureQuitCode = 18;

class InstallerInstallWnd : public InstallerFrameWnd, public IInstallView {
public:
    InstallerInstallWnd() : InstallerFrameWnd(L"installerinstall.xml") {}

    LPCTSTR GetWindowClassName() const override { return L"InstallerDownloadlWnd"; }
    void InitWindow() override;
    void OnClick(TNotifyUI& msg) override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    // The engine's view, called on the worker thread.
    void SetProgress(int value) override;
    void ShowFailure(const std::wstring& text) override;
    void InstallDone() override;

    // Waits until the worker has ended or `timeoutMs` has passed; true when
    // it has ended (or never started).
    bool WaitForWorker(unsigned long timeoutMs);

    CControlUI* m_pCloseBtn = nullptr;
    CControlUI* m_pDownLabel = nullptr;
    CControlUI* m_pDownText = nullptr;
    CControlUI* m_pInstallText = nullptr;
    CProgressUI* m_pDownProgress = nullptr;
    CControlUI* m_pInstallGif = nullptr;

protected:
    UI_DECLARE_MESSAGE_MAP()

    // Starts the worker; a test may run the engine differently.
    virtual void StartWorker();
    // The worker's body: the engine, then the end is signalled.
    void RunWorker();

private:
    // On the window's thread: shows a progress value / the failure text.
    void ApplyProgress(int value);
    void ApplyFailure(const std::wstring& text);
    // The close button, and any close the window did not choose itself.
    void OnQuit();
    // Closes the window for one of its own reasons (WM_CLOSE then passes).
    void CloseChosen();

    // The handle as the worker sees it (m_hWnd belongs to the UI thread).
    std::atomic<HWND> m_hWndForWorker{nullptr};
    std::atomic<int> m_nPendingProgress{0};
    std::atomic<bool> m_bProgressPosted{false};
    std::mutex m_failureMutex;
    std::wstring m_strFailure;

    // Set once the window has chosen to close (the engine finished or the
    // user confirmed quitting); until then a WM_CLOSE asks.
    bool m_bCloseChosen = false;
    // The quit question is open (a second close does not ask again).
    bool m_bAsking = false;
    // WM_INSTALL_DONE has arrived: the installation ran to its end.
    bool m_bInstallDone = false;

    std::mutex m_workerMutex;
    std::condition_variable m_workerDone;
    bool m_bWorkerRunning = false;
};

} // namespace installer
