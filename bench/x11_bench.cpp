// The X11 backend on a real X server: presenting a 560 x 408 frame (the
// installer's window) with MIT-SHM and with XPutImage, and a full repaint of
// the start window (the installer's layout on WindowImplBase) from the
// server's Expose event to the presented frame.
//
// Needs an X display; on a machine without one:
//   xvfb-run -s "-screen 0 1920x1080x24" build/bench/bench/bench_x11
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <benchmark/benchmark.h>

#include "plat/backend/backend.h"
#include "plat/backend/x11/x11_internal.h"
#include "plat/sys/files.h"
#include "plat/win/observe.h"
#include "plat/win/winuser.h"
#include "ui/UIWindowImpl.h"

using namespace plat;

namespace {

constexpr int kW = 560, kH = 408;

int g_paints = 0;

LRESULT Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(h, &ps);
        EndPaint(h, &ps);
        ++g_paints;
        return 0;
    }
    if (msg == WM_ERASEBKGND)
        return 1;
    return DefWindowProc(h, msg, wp, lp);
}

HWND MakeWindow() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSEX wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = L"BenchX11";
        RegisterClassEx(&wc);
        registered = true;
    }
    HWND h = CreateWindowEx(0, L"BenchX11", L"bench", WS_POPUP | WS_VISIBLE, 100, 100, kW, kH,
                            nullptr, nullptr, nullptr, nullptr);
    return h;
}

// Handles messages until `paints` paints have happened.
void PumpUntilPainted(int paints) {
    MSG m;
    while (g_paints < paints && GetMessage(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
}

// Handles messages until the window shows on the server and has painted
// for its Expose: before that the server drops what is put on it.
void PumpUntilShown(HWND h) {
    SurfaceId id = WindowSurface(h);
    for (;;) {
        {
            x11::Locked l;
            x11::XSurface* s = x11::FindSurface(id);
            if (!s || s->mapped)
                break;
        }
        PumpUntilPainted(g_paints + 1);
    }
    InvalidateRect(h, nullptr, FALSE);
    PumpUntilPainted(g_paints + 1);
}

// Copying the pixels into the shared segment and putting them on the
// window; each frame waits for the server to be done with the last.
void Present(benchmark::State& state, bool shm) {
    HWND h = MakeWindow();
    PumpUntilShown(h);
    SurfaceId id = WindowSurface(h);
    {
        x11::Locked l;
        x11::X().shm = shm && x11::X().shm;
        if (x11::XSurface* s = x11::FindSurface(id))
            x11::FreeImage(*s);
    }
    std::vector<uint32_t> px(static_cast<size_t>(kW) * kH);
    uint32_t c = 0;
    RECT all{0, 0, kW, kH};
    for (auto _ : state) {
        std::fill(px.begin(), px.end(), 0xFF000000u | (c++ * 2654435761u >> 8));
        GetBackend().present(id, px.data(), kW, kH, kW * 4, all);
    }
    {
        x11::Locked l;
        XSync(x11::X().dpy, False);
        x11::XSurface* s = x11::FindSurface(id);
        state.counters["shm"] = s && s->shmImage ? 1 : 0;
        state.counters["shown"] = s && s->mapped ? 1 : 0;
    }
    DestroyWindow(h);
}

void BM_PresentFrame560x408_Shm(benchmark::State& state) {
    Present(state, true);
}
BENCHMARK(BM_PresentFrame560x408_Shm)->Unit(benchmark::kMicrosecond);

void BM_PresentFrame560x408_PutImage(benchmark::State& state) {
    Present(state, false);
}
BENCHMARK(BM_PresentFrame560x408_PutImage)->Unit(benchmark::kMicrosecond);

// The installer's start window on the toolkit's window base.
class StartWindow : public Veneer::WindowImplBase {
public:
    Veneer::LPCTSTR GetWindowClassName() const override { return L"BenchX11Start"; }
    Veneer::CStdString GetSkinDirectory() override { return L""; }
    Veneer::CStdString GetLayoutFileName() override { return L"installerstart.xml"; }
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        LRESULT r = WindowImplBase::HandleMessage(msg, wp, lp);
        if (msg == WM_PAINT)
            ++g_paints;
        return r;
    }
};

// Another client uncovers the whole window (XClearArea with exposures):
// the server's Expose goes through the window manager's invalidation to
// WM_PAINT, the toolkit paints the start window, and the frame is presented.
void BM_ExposeToPresentStartWindow(benchmark::State& state) {
    Veneer::CPaintManagerUI::SetInstance(GetModuleHandle(nullptr));
    Veneer::CPaintManagerUI::SetResourcePath(TARVEX_SOURCE_DIR L"/skin");
    StartWindow w;
    if (!w.Create(nullptr, L"start", 0x96C80000, 0x100, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT)) {
        state.SkipWithError("the start window cannot be made");
        return;
    }
    w.CenterWindow();
    ShowWindow(w, SW_SHOWNORMAL);
    PumpUntilShown(w);
    Window win;
    {
        x11::Locked l;
        win = x11::FindSurface(WindowSurface(w))->win;
    }
    Display* other = XOpenDisplay(nullptr);
    for (auto _ : state) {
        int before = g_paints;
        XClearArea(other, win, 0, 0, 0, 0, True);
        XFlush(other);
        PumpUntilPainted(before + 1);
        x11::Locked l;
        XSync(x11::X().dpy, False); // the frame is on the screen
    }
    XCloseDisplay(other);
    DestroyWindow(w);
}
BENCHMARK(BM_ExposeToPresentStartWindow)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY") || !SelectBackend("x11")) {
        std::fprintf(stderr, "bench_x11: needs an X display (xvfb-run -s \"-screen 0 "
                             "1920x1080x24\" bench_x11)\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
