// The install window's UI thread under a 1 kHz burst of progress callbacks:
// a worker thread calls SetProgress once a millisecond for a second, as
// libcurl's progress callback can, while the window's thread runs its
// message loop. Measured per burst: the window thread's CPU time, the
// progress messages it handled and the paints it made.
//
// BM_ProgressBurst: the window as built (newest value in an atomic, at most
// one message in flight). BM_ProgressBurstOnePostEach: the same burst with
// one posted message per callback, for comparison. The ...BackToBack forms
// make the thousand calls without pauses, as a fast local download can.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

#include "plat/sys/files.h"
#include "ui/UIManager.h"
#include "windows/InstallerInstallWnd.h"

namespace {

using namespace installer;

// The window without its engine: the benchmark plays the worker.
class QuietInstallWnd : public InstallerInstallWnd {
protected:
    void StartWorker() override {}
};

// Posted by the worker when its burst is over.
constexpr UINT WM_BURST_END = WM_APP + 1;

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

void Burst(benchmark::State& state, bool coalesced, bool paced) {
    static bool ready = false;
    if (!ready) {
        CPaintManagerUI::SetInstance(plat::GetModuleHandle(nullptr));
        ready = true;
    }
    QuietInstallWnd wnd;
    if (wnd.CreateFrame(nullptr, L"InstallerInstallWnd") == nullptr) {
        state.SkipWithError("no window");
        return;
    }
    const HWND hwnd = wnd.GetHWND();
    // The first paint and the caches it fills are not part of a burst.
    MSG first;
    while (plat::PeekMessage(&first, nullptr, 0, 0, PM_REMOVE))
        plat::DispatchMessage(&first);
    double cpuMs = 0;
    long messages = 0, paints = 0;
    for (auto _ : state) {
        std::thread worker([&] {
            auto next = std::chrono::steady_clock::now();
            for (int i = 0; i < 1000; ++i) {
                const int value = i / 10;
                wnd.SetProgress(value);
                if (!coalesced) // one more message for every callback
                    plat::PostMessage(hwnd, WM_INSTALL_PROGRESS, 0, 0);
                if (paced) {
                    next += std::chrono::milliseconds(1);
                    std::this_thread::sleep_until(next);
                }
            }
            plat::PostMessage(hwnd, WM_BURST_END, 0, 0);
        });
        const double before = ThreadCpuMs();
        MSG msg;
        while (plat::GetMessage(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_BURST_END)
                break;
            messages += msg.message == WM_INSTALL_PROGRESS;
            paints += msg.message == WM_PAINT;
            if (!CPaintManagerUI::TranslateMessage(&msg)) {
                plat::TranslateMessage(&msg);
                plat::DispatchMessage(&msg);
            }
        }
        cpuMs += ThreadCpuMs() - before;
        worker.join();
    }
    plat::DestroyWindow(hwnd);
    const double bursts = static_cast<double>(state.iterations());
    state.counters["ui_cpu_ms_per_burst"] = cpuMs / bursts;
    state.counters["progress_msgs_per_burst"] = static_cast<double>(messages) / bursts;
    state.counters["paints_per_burst"] = static_cast<double>(paints) / bursts;
}

void BM_ProgressBurst(benchmark::State& state) {
    Burst(state, true, true);
}
void BM_ProgressBurstOnePostEach(benchmark::State& state) {
    Burst(state, false, true);
}
void BM_ProgressBurstBackToBack(benchmark::State& state) {
    Burst(state, true, false);
}
void BM_ProgressBurstBackToBackOnePostEach(benchmark::State& state) {
    Burst(state, false, false);
}

BENCHMARK(BM_ProgressBurst)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProgressBurstOnePostEach)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProgressBurstBackToBack)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProgressBurstBackToBackOnePostEach)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
