// wWinMain: toolkit and context set-up, the statistics client, the window
// sequence and the end of the run.
#include "windows/InstallerMain.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <new>

#include "app/install_context.h"
#include "app/stat_globals.h"
#include "plat/sys/process.h"
#include "stat/ZrStat.h"
#include "ui/UIManager.h"
#include "windows/InstallerFinishWnd.h"
#include "windows/InstallerHooks.h"
#include "windows/InstallerInstallWnd.h"
#include "windows/InstallerStartWnd.h"

#ifndef TARVEX_STAT_URL
#error "TARVEX_STAT_URL must be defined by the build"
#endif

namespace installer {

namespace {

// The application key of the statistics payloads.
const wchar_t* const kStatKey = L"5b7d2e90a4c1f38e6d0b9a27c4e8f153";
const wchar_t* const kStatProductId = L"51";

} // namespace

// The install window is the engine's view while its worker runs, so it is
// released only once the worker has ended (the pointer stays reachable till
// then).
InstallerInstallWnd* g_pInstallWnd = nullptr;

namespace {

// Points the context at the hosts a test gave (see InstallerHooks.h).
void ApplyHostHooks() {
    const InstallerTestHooks& hooks = TestHooks();
    if (!hooks.apiBaseUrl.empty()) {
        const std::wstring buildBase = ProductApiBaseUrl();
        if (g_configUrl.compare(0, buildBase.size(), buildBase) == 0)
            g_configUrl = hooks.apiBaseUrl + g_configUrl.substr(buildBase.size());
    }
    if (!hooks.webBaseUrl.empty())
        g_clauseUrl = hooks.webBaseUrl + L"/service/clause";
}

std::wstring StatBaseUrl() {
    const std::wstring& hook = TestHooks().statBaseUrl;
    return (hook.empty() ? std::wstring(L"" TARVEX_STAT_URL) : hook) + L"/";
}

// Creates `window` without owner, centres it on the screen and runs it
// modally. A window still there afterwards (a quit message ended its loop)
// is destroyed, so that nothing stays on screen once the run goes on. False
// when the window could not be created (nothing was shown).
bool RunModal(InstallerFrameWnd* window, LPCTSTR title,
              const std::function<void(HWND)>& created = nullptr) {
    const std::wstring& refused = TestHooks().failWindowCreation;
    if (!refused.empty() && refused == title)
        return false;
    if (window->CreateFrame(nullptr, title) == nullptr)
        return false;
    if (created)
        created(window->GetHWND());
    window->CenterWindow();
    window->ShowModal();
    if (plat::IsWindow(window->GetHWND()))
        plat::DestroyWindow(window->GetHWND());
    return true;
}

// The launch report is held (see wWinMain) until the start window is on the
// screen: sending it loads libcurl and seals the payload, and on a small
// machine that work would compete with the window's first frame. A timer
// message is taken only when no paint is pending, so it fires once the
// first frame has been drawn.
constexpr UINT_PTR kReleaseReportsTimer = 0x7E01;
ns_zr_stat::ZrStat* g_heldStat = nullptr;

void ReleaseHeldReports() {
    if (g_heldStat != nullptr)
        g_heldStat->ReleaseReports();
}

void ReleaseHeldReportsOnTimer(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    plat::KillTimer(hwnd, id);
    ReleaseHeldReports();
}

void RunWindows() {
    {
        std::unique_ptr<InstallerStartWnd> start(new (std::nothrow) InstallerStartWnd());
        if (start == nullptr) {
            ReleaseHeldReports();
            return;
        }
        RunModal(start.get(), L"InstallerStartWnd", [](HWND hwnd) {
            if (plat::SetTimer(hwnd, kReleaseReportsTimer, 0, ReleaseHeldReportsOnTimer) == 0)
                ReleaseHeldReports();
        });
    }
    // Whatever became of the start window, nothing stays held.
    ReleaseHeldReports();
    if (g_installState != 1)
        return;

    g_pInstallWnd = new (std::nothrow) InstallerInstallWnd();
    if (g_pInstallWnd == nullptr) {
        g_installState = 0;
        return;
    }
    if (!RunModal(g_pInstallWnd, L"InstallerInstallWnd")) {
        // Nothing was installed: no finish window. A worker started before
        // the creation failed stops where it is.
        g_pInstallWnd->Cancel();
        g_installState = 0;
        return;
    }
    if (g_installState == 0)
        return;

    std::unique_ptr<InstallerFinishWnd> finish(new (std::nothrow) InstallerFinishWnd());
    if (finish == nullptr)
        return;
    RunModal(finish.get(), L"InstallerFinishWnd");
}

// Waits, at most kExitWaitMs, until no report is in flight and the worker
// (stopping after a quit) has ended, then releases the install window when
// its worker is gone. No window is left by now; the thread's queue is still
// emptied meanwhile, so that nothing waits on this thread in vain. True when
// everything ended; false when the wait ran out with the worker or a report
// still at work.
bool WaitForTheEnd(ns_zr_stat::ZrStat* stat) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kExitWaitMs);
    for (;;) {
        MSG msg;
        while (plat::PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message != WM_QUIT) {
                plat::TranslateMessage(&msg);
                plat::DispatchMessage(&msg);
            }
        }
        const bool reportsDone = stat == nullptr || stat->ReportsInFlight() == 0;
        const bool workerDone = g_pInstallWnd == nullptr || g_pInstallWnd->WaitForWorker(0);
        const auto now = std::chrono::steady_clock::now();
        if ((reportsDone && workerDone) || now >= deadline)
            break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        const unsigned long step =
            static_cast<unsigned long>(std::min<long long>(left.count(), 20));
        if (!reportsDone)
            stat->WaitForReports(step);
        else
            g_pInstallWnd->WaitForWorker(step);
    }
    if (g_pInstallWnd != nullptr && g_pInstallWnd->WaitForWorker(0)) {
        delete g_pInstallWnd;
        g_pInstallWnd = nullptr;
    }
    const bool reportsDone = stat == nullptr || stat->ReportsInFlight() == 0;
    return reportsDone && g_pInstallWnd == nullptr;
}

} // namespace

} // namespace installer

int wWinMain(plat::HINSTANCE hInstance, plat::HINSTANCE /*hPrevInstance*/, wchar_t* /*lpCmdLine*/,
             int /*nCmdShow*/) {
    using namespace installer;
    Veneer::CPaintManagerUI::SetInstance(hInstance);
    InitInstallContext();
    ApplyHostHooks();

    auto* stat = new (std::nothrow) ns_zr_stat::ZrStat();
    g_statClient = stat;
    if (stat != nullptr) {
        stat->Init();
        g_statSettings = stat->GetConfig();
        g_statSettings->strBaseUrl = StatBaseUrl();
        g_statSettings->strKey = kStatKey;
        g_statSettings->strProductId = kStatProductId;
        g_statSettings->strChannel = g_channel;
        g_statSettings->strVersion = g_version;
        stat->HoldReports();
        g_heldStat = stat;
        stat->CollectAppLunchyInfo();
    }

    RunWindows();

    if (stat != nullptr)
        stat->CollectAppExitInfo();
    if (!WaitForTheEnd(stat)) {
        // The worker (a package still running after a quit) or a report (a
        // silent statistics server) is still at work and may walk the
        // package list, the downloader or the client at any moment: the
        // process ends here, without destroying them under it. The registry
        // commits each value as it is written, so nothing is lost.
        plat::ExitProcess(1);
    }
    return 1;
}
