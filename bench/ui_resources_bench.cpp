// Toolkit resource benchmarks: parsing the installer's four layouts,
// decoding the skin's images, and drawing a start-window frame (a 560 x 408
// opaque background plus a nine-part 240 x 38 button) into a back buffer.
//
//   build/<dir>/bench/bench_ui_resources [--benchmark_filter=...]
#include "plat/gfx/gdi.h"
#include "tools/skinpack/skinpack.h"
#include "ui/UIMarkup.h"
#include "ui/UIRender.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace Veneer;

namespace {

const char* kSkinDir = TARVEX_SOURCE_DIR "/skin";
const char* kLayouts[] = {"commondlg.xml", "installerstart.xml", "installerinstall.xml",
                          "installerfinish.xml"};

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t>& SkinZip() {
    static std::vector<uint8_t> zip = [] {
        std::vector<skinpack::Entry> entries;
        std::string error;
        skinpack::CollectFolder(kSkinDir, {"xml", "png", "gif"}, &entries, &error);
        std::vector<uint8_t> out;
        skinpack::BuildZip(entries, &out, &error);
        return out;
    }();
    return zip;
}

void UseSkinZip() {
    CPaintManagerUI::SetResourceZip(SkinZip().data(), static_cast<unsigned>(SkinZip().size()));
}

// Parse the four layouts from memory (UTF-8 bytes to element table).
void BM_ParseLayoutsFromMemory(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> files;
    for (const char* name : kLayouts)
        files.push_back(ReadFile(std::string(kSkinDir) + "/" + name));
    size_t bytes = 0;
    for (auto& f : files)
        bytes += f.size();
    for (auto _ : state) {
        for (auto& f : files) {
            CMarkup xml;
            bool ok = xml.LoadFromMem(f.data(), static_cast<DWORD>(f.size()));
            benchmark::DoNotOptimize(ok);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_ParseLayoutsFromMemory);

// The same through the skin lookup over the packed archive in memory, as
// the installer loads them (lookup, inflate, convert, parse).
void BM_ParseLayoutsFromArchive(benchmark::State& state) {
    UseSkinZip();
    for (auto _ : state) {
        for (const char* name : kLayouts) {
            CMarkup xml;
            std::wstring wname(name, name + strlen(name));
            bool ok = xml.LoadFromFile(wname.c_str());
            if (!ok)
                state.SkipWithError("layout did not load");
            benchmark::DoNotOptimize(ok);
        }
    }
}
BENCHMARK(BM_ParseLayoutsFromArchive);

// Decode every PNG of the skin (stb_image, premultiply, DIB section).
void BM_DecodeSkinImages(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> images;
    for (auto& e : std::filesystem::directory_iterator(kSkinDir))
        if (e.path().extension() == ".png")
            images.push_back(ReadFile(e.path().string()));
    for (auto _ : state) {
        for (auto& img : images) {
            TImageInfo* info =
                CRenderEngine::LoadImageFromMemory(img.data(), static_cast<DWORD>(img.size()));
            benchmark::DoNotOptimize(info);
            CRenderEngine::FreeImage(info);
        }
    }
    state.counters["images"] = static_cast<double>(images.size());
}
BENCHMARK(BM_DecodeSkinImages)->Unit(benchmark::kMillisecond);

// One frame: the 560 x 408 background and a nine-part 240 x 38 button drawn
// through image descriptions into a 560 x 408 back buffer (images cached).
void BM_DrawBackgroundAndButton(benchmark::State& state) {
    UseSkinZip();
    CPaintManagerUI pm;
    void* bits = nullptr;
    HBITMAP hbm = plat::CreateDIB32(560, 408, &bits);
    HDC dc = plat::CreateCompatibleDC(nullptr);
    HGDIOBJ old = plat::SelectObject(dc, hbm);
    RECT all{0, 0, 560, 408};
    RECT button{160, 299, 400, 337};
    const wchar_t* bg = L"installerinstallbg.png";
    const wchar_t* btn = L"file='installBtn.png' source='0,0,240,38' corner='6,6,6,6'";
    if (!pm.GetImageEx(bg) || !pm.GetImageEx(L"installBtn.png"))
        state.SkipWithError("skin images missing");
    for (auto _ : state) {
        CRenderEngine::DrawImageString(dc, &pm, all, all, bg);
        CRenderEngine::DrawImageString(dc, &pm, button, all, btn);
    }
    state.counters["bg_alpha"] = pm.GetImage(bg) && pm.GetImage(bg)->alphaChannel ? 1 : 0;
    plat::SelectObject(dc, old);
    plat::DeleteDC(dc);
    plat::DeleteObject(hbm);
}
BENCHMARK(BM_DrawBackgroundAndButton)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
