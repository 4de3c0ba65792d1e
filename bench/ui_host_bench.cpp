// Window host: creating, laying out and first-painting the installer's
// 560 x 408 start window on the headless backend; the drop-shadow
// computation for it (570 x 418); and a hover repaint of one button through
// the real message path (raw input, routing, the paint manager, WM_PAINT).
#include <benchmark/benchmark.h>

#include "plat/backend/backend.h"
#include "plat/backend/input.h"
#include "plat/gfx/gdi.h"
#include "plat/sys/files.h"
#include "plat/sys/pixel_memory.h"
#include "plat/win/winuser.h"
#include "ui/test_access.h"
#include "ui/UIRender.h"
#include "ui/UIShadow.h"
#include "ui/UIWindowImpl.h"

namespace {

using namespace Veneer;

class StartWindow : public WindowImplBase {
public:
    LPCTSTR GetWindowClassName() const override { return L"BenchStartWindow"; }
    CStdString GetSkinDirectory() override { return L""; }
    CStdString GetLayoutFileName() override { return L"installerstart.xml"; }
    CPaintManagerUI& PM() { return m_PaintManager; }
};

void SetUpSkin() {
    static bool done = false;
    if (done)
        return;
    CPaintManagerUI::SetInstance(plat::GetModuleHandle(nullptr));
    CPaintManagerUI::SetResourcePath(TARVEX_SOURCE_DIR L"/skin");
    done = true;
}

void PumpNow() {
    MSG m;
    while (plat::PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (!CPaintManagerUI::TranslateMessage(&m)) {
            plat::TranslateMessage(&m);
            plat::DispatchMessage(&m);
        }
    }
}

// Creates, lays out and first-paints the start window, once per iteration.
// Cold: nothing is left to reuse from the window before (no pixel memory
// kept, no image decoded), as for the first window of a program.
void CreateLayoutFirstPaint(benchmark::State& state, bool cold) {
    SetUpSkin();
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            plat::TrimPixelMemory();
            CRenderEngine::ReleaseDecodedImages();
            state.ResumeTiming();
        }
        StartWindow w;
        w.Create(nullptr, L"start", 0x96C80000, 0x100, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                 CW_USEDEFAULT);
        w.CenterWindow();
        PumpNow(); // the first paint: layout, "windowinit", the back buffer
        benchmark::DoNotOptimize(Inspect(w.PM()).GetOffscreenBitmap());
        state.PauseTiming();
        plat::DestroyWindow(w);
        PumpNow();
        state.ResumeTiming();
    }
}

void BM_CreateLayoutFirstPaint(benchmark::State& state) {
    CreateLayoutFirstPaint(state, false);
}
BENCHMARK(BM_CreateLayoutFirstPaint)->Unit(benchmark::kMillisecond);

void BM_CreateLayoutFirstPaintCold(benchmark::State& state) {
    CreateLayoutFirstPaint(state, true);
}
BENCHMARK(BM_CreateLayoutFirstPaintCold)->Unit(benchmark::kMillisecond);

void BM_ShadowCompute(benchmark::State& state) {
    CShadowUI shadow;
    shadow.SetSize(5);
    shadow.SetSharpness(5);
    shadow.SetDarkness(70);
    shadow.SetColor(0x333333);
    HRGN rgn = plat::CreateRoundRectRgn(0, 0, 561, 409, 2, 2);
    for (auto _ : state) {
        std::vector<uint32_t> px = shadow.ComputeShadow(rgn, 560, 408);
        benchmark::DoNotOptimize(px.data());
    }
    plat::DeleteObject(rgn);
}
BENCHMARK(BM_ShadowCompute)->Unit(benchmark::kMillisecond);

void BM_HoverRepaint(benchmark::State& state) {
    SetUpSkin();
    StartWindow w;
    w.Create(nullptr, L"start", 0x96C80000, 0x100, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
             CW_USEDEFAULT);
    w.CenterWindow();
    PumpNow();
    CControlUI* button = w.PM().FindControl(L"closebtn");
    if (button == nullptr) {
        state.SkipWithError("no closebtn in the start window");
        return;
    }
    const RECT& rc = button->GetPos();
    POINT on = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    plat::ClientToScreen(w, &on);
    bool over = false;
    for (auto _ : state) {
        // Onto the button and off it again, alternately: each move repaints
        // the button's rectangle in its new state.
        over = !over;
        plat::input_mouse_move(over ? on.x : on.x, over ? on.y : on.y + 200);
        PumpNow();
    }
    plat::DestroyWindow(w);
    PumpNow();
}
BENCHMARK(BM_HoverRepaint)->Unit(benchmark::kMicrosecond);

} // namespace

// Measured on the headless screen, whatever display the machine has.
int main(int argc, char** argv) {
    if (!plat::SelectBackend("headless"))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
