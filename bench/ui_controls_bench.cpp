// Toolkit controls: building, laying out and painting the start window, and
// the repaint that a button's state change causes (its rectangle only).
#include "ui/UIButton.h"
#include "ui/UIDlgBuilder.h"
#include "ui/UIManager.h"
#include "ui/test_access.h"

#include <benchmark/benchmark.h>

using namespace Veneer;

namespace {

void UseSkinFolder() {
    CPaintManagerUI::SetResourceZip(L"", false);
    CPaintManagerUI::SetResourcePath(TARVEX_SOURCE_DIR L"/skin");
}

CControlUI* BuildStart(CPaintManagerUI& pm) {
    CDialogBuilder builder;
    CControlUI* root = builder.Create(STRINGorID(L"installerstart.xml"), nullptr, nullptr, &pm);
    if (root != nullptr) {
        builder.ApplyWindowAttributes(&pm); // no native window: the size comes from here
        pm.AttachDialog(root);
    }
    return root;
}

// Markup parsing, control creation and attributes only.
void BM_BuildStartWindow(benchmark::State& state) {
    UseSkinFolder();
    for (auto _ : state) {
        CPaintManagerUI pm;
        CControlUI* root = BuildStart(pm);
        benchmark::DoNotOptimize(root);
    }
}
BENCHMARK(BM_BuildStartWindow)->Unit(benchmark::kMicrosecond);

// Build, lay out and paint the whole 560 x 408 window into the back buffer
// (images decoded on the first paint, as a new window does).
void BM_BuildLayoutPaintStartWindow(benchmark::State& state) {
    UseSkinFolder();
    for (auto _ : state) {
        CPaintManagerUI pm;
        BuildStart(pm);
        Inspect(pm).PaintOffscreen();
        benchmark::DoNotOptimize(Inspect(pm).GetOffscreenBitmap());
    }
}
BENCHMARK(BM_BuildLayoutPaintStartWindow)->Unit(benchmark::kMillisecond);

// Lay out and paint again a window that is already built (images cached).
void BM_RelayoutRepaintStartWindow(benchmark::State& state) {
    UseSkinFolder();
    CPaintManagerUI pm;
    CControlUI* root = BuildStart(pm);
    Inspect(pm).PaintOffscreen();
    for (auto _ : state) {
        root->NeedUpdate();
        pm.Invalidate();
        Inspect(pm).PaintOffscreen();
    }
}
BENCHMARK(BM_RelayoutRepaintStartWindow)->Unit(benchmark::kMicrosecond);

// The install button turns hot: the manager repaints only its rectangle.
void BM_ButtonHotRepaint(benchmark::State& state) {
    UseSkinFolder();
    CPaintManagerUI pm;
    BuildStart(pm);
    Inspect(pm).PaintOffscreen();
    CControlUI* button = pm.FindControl(L"installbtn");
    TEventUI enter;
    enter.Type = UIEVENT_MOUSEENTER;
    enter.pSender = button;
    TEventUI leave = enter;
    leave.Type = UIEVENT_MOUSELEAVE;
    bool hot = false;
    for (auto _ : state) {
        button->Event(hot ? leave : enter);
        hot = !hot;
        Inspect(pm).PaintOffscreen();
    }
    RECT rc = button->GetPos();
    state.counters["pixels"] = double((rc.right - rc.left) * (rc.bottom - rc.top));
}
BENCHMARK(BM_ButtonHotRepaint)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
