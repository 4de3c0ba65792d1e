// Drawing-layer micro-benchmarks at the sizes the installer's windows use:
// a 560 x 408 back buffer, a 240 x 38 button, a 500 x 5 progress bar, short
// labels.
#include "plat/gfx/gdi.h"

#include <benchmark/benchmark.h>

#include <cstring>

using namespace plat;

namespace {

struct Target {
    Target(int w, int h, DWORD fill) {
        void* p = nullptr;
        bmp = CreateDIB32(w, h, &p);
        auto* px = static_cast<DWORD*>(p);
        for (int i = 0; i < w * h; ++i)
            px[i] = fill ? fill : DWORD(0xFF000000u | (i * 2654435761u >> 8));
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, bmp);
    }
    ~Target() {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bmp);
    }
    HBITMAP bmp;
    HDC dc;
    HGDIOBJ old;
};

void BM_BitBlt560x408(benchmark::State& state) {
    Target src(560, 408, 0), dst(560, 408, 0xFF000000u);
    for (auto _ : state)
        BitBlt(dst.dc, 0, 0, 560, 408, src.dc, 0, 0, SRCCOPY);
    state.SetItemsProcessed(state.iterations() * 560 * 408);
}
BENCHMARK(BM_BitBlt560x408);

void BM_AlphaBlend560x408(benchmark::State& state) {
    Target src(560, 408, 0), dst(560, 408, 0xFF000000u);
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 128, AC_SRC_ALPHA};
    for (auto _ : state)
        AlphaBlend(dst.dc, 0, 0, 560, 408, src.dc, 0, 0, 560, 408, bf);
    state.SetItemsProcessed(state.iterations() * 560 * 408);
}
BENCHMARK(BM_AlphaBlend560x408);

// A 6 x 5 progress image stretched over a 500 x 5 bar.
void BM_AlphaBlendStretchProgress(benchmark::State& state) {
    Target src(6, 5, 0), dst(500, 5, 0xFF000000u);
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    for (auto _ : state)
        AlphaBlend(dst.dc, 0, 0, 500, 5, src.dc, 0, 0, 6, 5, bf);
}
BENCHMARK(BM_AlphaBlendStretchProgress);

void BM_StretchBltHalftoneHalf(benchmark::State& state) {
    Target src(560, 408, 0), dst(280, 204, 0xFF000000u);
    SetStretchBltMode(dst.dc, HALFTONE);
    for (auto _ : state)
        StretchBlt(dst.dc, 0, 0, 280, 204, src.dc, 0, 0, 560, 408, SRCCOPY);
}
BENCHMARK(BM_StretchBltHalftoneHalf);

void BM_FillRectAlphaButton(benchmark::State& state) {
    Target dst(240, 38, 0xFF000000u);
    RECT rc{0, 0, 240, 38};
    for (auto _ : state)
        FillRectAlpha(dst.dc, &rc, 0x80336699u);
}
BENCHMARK(BM_FillRectAlphaButton);

void BM_FillUnderRoundClip(benchmark::State& state) {
    Target dst(560, 408, 0xFF000000u);
    HRGN rgn = CreateRoundRectRgn(0, 0, 561, 409, 2, 2);
    SelectClipRgn(dst.dc, rgn);
    HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
    RECT rc{0, 0, 560, 408};
    for (auto _ : state)
        FillRect(dst.dc, &rc, b);
    DeleteObject(b);
    DeleteObject(rgn);
}
BENCHMARK(BM_FillUnderRoundClip);

void BM_DrawTextLabel(benchmark::State& state) {
    Target dst(240, 38, 0xFFFFFFFFu);
    SetBkMode(dst.dc, TRANSPARENT);
    for (auto _ : state) {
        RECT rc{0, 0, 240, 38};
        DrawText(dst.dc, L"安装路径：/opt/TarvexPDFConver", -1, &rc,
                 DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
}
BENCHMARK(BM_DrawTextLabel);

void BM_DrawTextWordBreak(benchmark::State& state) {
    Target dst(300, 120, 0xFFFFFFFFu);
    SetBkMode(dst.dc, TRANSPARENT);
    for (auto _ : state) {
        RECT rc{0, 0, 300, 120};
        DrawText(dst.dc,
                 L"The installer downloads the product package, checks it and runs it. "
                 L"安装程序下载产品安装包，校验后运行。",
                 -1, &rc, DT_WORDBREAK | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
}
BENCHMARK(BM_DrawTextWordBreak);

void BM_GetTextExtent(benchmark::State& state) {
    Target dst(10, 10, 0xFFFFFFFFu);
    SIZE sz{};
    const wchar_t* text = L"立即安装";
    for (auto _ : state)
        GetTextExtentPoint32(dst.dc, text, int(std::wcslen(text)), &sz);
}
BENCHMARK(BM_GetTextExtent);

} // namespace

BENCHMARK_MAIN();
