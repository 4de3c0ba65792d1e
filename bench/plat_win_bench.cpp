// Window system benchmarks: a posted message round trip through the queue,
// a cross-thread SendMessage round trip, and the headless composition of a
// 570 x 418 per-pixel-alpha window over a 560 x 408 window (the installer's
// window with its drop shadow).
#include <atomic>
#include <thread>

#include <benchmark/benchmark.h>

#include "plat/backend/backend.h"
#include "plat/backend/headless/headless.h"
#include "plat/gfx/gdi.h"
#include "plat/win/winuser.h"

using namespace plat;

namespace {

constexpr UINT kPing = WM_USER + 1;

LRESULT Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kPing)
        return static_cast<LRESULT>(wp + 1);
    return DefWindowProc(h, msg, wp, lp);
}

void Register() {
    static bool done = false;
    if (done)
        return;
    WNDCLASS wc{};
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = L"BenchWnd";
    RegisterClass(&wc);
    done = true;
}

// Post one message and retrieve and dispatch it on the same thread.
void BM_PostAndDispatch(benchmark::State& state) {
    Register();
    HWND h = CreateWindowEx(0, L"BenchWnd", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                            nullptr);
    MSG m;
    for (auto _ : state) {
        PostMessage(h, kPing, 1, 0);
        PeekMessage(&m, nullptr, 0, 0, PM_REMOVE);
        benchmark::DoNotOptimize(DispatchMessage(&m));
    }
    DestroyWindow(h);
}
BENCHMARK(BM_PostAndDispatch);

// A worker sends to a window of this thread, which runs the procedure
// inside GetMessage: one full cross-thread round trip per iteration.
void BM_CrossThreadSend(benchmark::State& state) {
    Register();
    std::atomic<HWND> target{nullptr};
    std::atomic<bool> stop{false};
    std::thread owner([&] {
        HWND h = CreateWindowEx(0, L"BenchWnd", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
        target = h;
        MSG m;
        while (!stop) {
            if (GetMessage(&m, nullptr, 0, 0) <= 0)
                break;
            DispatchMessage(&m);
        }
        DestroyWindow(h);
    });
    while (!target)
        std::this_thread::yield();
    HWND h = target;
    for (auto _ : state)
        benchmark::DoNotOptimize(SendMessage(h, kPing, 1, 0));
    stop = true;
    PostMessage(h, WM_NULL, 0, 0);
    owner.join();
}
BENCHMARK(BM_CrossThreadSend)->UseRealTime();

void BM_ComposeShadowOverWindow(benchmark::State& state) {
    Register();
    HWND win = CreateWindowEx(0, L"BenchWnd", L"", WS_POPUP | WS_VISIBLE, 680, 316, 560, 408,
                              nullptr, nullptr, nullptr, nullptr);
    HDC dc = GetDC(win);
    RECT rc{0, 0, 560, 408};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(dc, &rc, white);
    DeleteObject(white);
    ReleaseDC(win, dc);
    HWND shadow = CreateWindowEx(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW, L"BenchWnd",
                                 L"", WS_POPUP, 0, 0, 0, 0, win, nullptr, nullptr, nullptr);
    void* bits = nullptr;
    HBITMAP bm = CreateDIB32(570, 418, &bits);
    auto* px = static_cast<uint32_t*>(bits);
    for (int y = 0; y < 418; ++y)
        for (int x = 0; x < 570; ++x) {
            bool inside = x >= 5 && y >= 5 && x < 565 && y < 413;
            int d = std::min(std::min(x, 569 - x), std::min(y, 417 - y));
            uint32_t a = inside ? 0 : static_cast<uint32_t>(11 * (d + 1));
            uint32_t c = 0x33 * a / 255;
            px[y * 570 + x] = (a << 24) | (c << 16) | (c << 8) | c;
        }
    HDC src = CreateCompatibleDC(nullptr);
    SelectObject(src, bm);
    POINT dst{675, 311}, zero{0, 0};
    SIZE size{570, 418};
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(shadow, nullptr, &dst, &size, src, &zero, 0, &bf, ULW_ALPHA);
    ShowWindow(shadow, SW_SHOWNOACTIVATE);
    HeadlessImage img;
    for (auto _ : state) {
        HeadlessCompose(&img);
        benchmark::DoNotOptimize(img.pixels.data());
    }
    DeleteDC(src);
    DeleteObject(bm);
    DestroyWindow(win);
}
BENCHMARK(BM_ComposeShadowOverWindow)->Unit(benchmark::kMillisecond);

} // namespace

// The composition measured here is the headless screen's, whatever display
// the machine has.
int main(int argc, char** argv) {
    if (!plat::SelectBackend("headless"))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
