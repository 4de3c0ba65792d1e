// The image-description reader: any description and modifier text draws or
// draws nothing, never crashes, with a few real images available.
#include "plat/gfx/gdi.h"
#include "ui/UIRender.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace Veneer;

namespace {

struct Scene {
    CPaintManagerUI pm;
    HDC dc = nullptr;
    HBITMAP target = nullptr;

    Scene() {
        target = plat::CreateDIB32(64, 64, nullptr);
        dc = plat::CreateCompatibleDC(nullptr);
        plat::SelectObject(dc, target);
        // Images under short names, so that mutations often hit one.
        const wchar_t* names[] = {L"a", L"b.png", L"c"};
        int sizes[][2] = {{8, 8}, {13, 39}, {1, 1}};
        for (int i = 0; i < 3; ++i) {
            void* px = nullptr;
            HBITMAP h = plat::CreateDIB32(sizes[i][0], sizes[i][1], &px);
            uint32_t* p = static_cast<uint32_t*>(px);
            for (int k = 0; k < sizes[i][0] * sizes[i][1]; ++k)
                p[k] = (k & 1) ? 0x80402010u : 0xFF00FF00u;
            pm.AddImage(names[i], h, sizes[i][0], sizes[i][1], i == 1);
        }
    }
};

std::wstring Widen(const uint8_t* p, size_t n) {
    std::wstring s;
    s.reserve(n);
    for (size_t i = 0; i < n; ++i)
        s += static_cast<wchar_t>(p[i]);
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Scene scene;
    if (size < 2)
        return 0;
    // First byte: item rectangle and paint rectangle variants; the rest is
    // "description \0 modifier".
    uint8_t shape = data[0];
    RECT item{shape & 7, (shape >> 3) & 7, 40 + (shape & 15), 30 + (shape >> 4)};
    RECT paint{(shape & 1) * 10, 0, 64, (shape & 2) ? 20 : 64};
    const uint8_t* rest = data + 1;
    size_t n = size - 1;
    size_t split = 0;
    while (split < n && rest[split] != 0)
        ++split;
    std::wstring desc = Widen(rest, split);
    std::wstring mod = split < n ? Widen(rest + split + 1, n - split - 1) : std::wstring();
    CRenderEngine::DrawImageString(scene.dc, &scene.pm, item, paint, desc.c_str(),
                                   split < n ? mod.c_str() : nullptr);
    return 0;
}
