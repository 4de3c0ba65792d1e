// The font warm-up thread: the text calls a first window makes, made early.
#include "plat/gfx/font_warmup.h"

#include <cwchar>
#include <system_error>

#include "plat/gfx/gdi.h"

namespace plat {

namespace {

// Chinese and Latin characters, so that both the CJK face and the Latin one
// it falls back to (or contains) are loaded and shaped.
const wchar_t* const kSampleText = L"安装软件 Install 0123456789";

// Selects `font` into `dc`, then measures and draws the sample line.
void Prepare(HDC dc, HGDIOBJ font) {
    if (font == nullptr)
        return;
    const HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    const int length = static_cast<int>(std::wcslen(kSampleText));
    SIZE size;
    GetTextExtentPoint32(dc, kSampleText, length, &size);
    RECT rc = {0, 0, 64, 32};
    DrawText(dc, kSampleText, length, &rc, DT_SINGLELINE | DT_NOPREFIX);
    if (old != nullptr)
        SelectObject(dc, old);
}

void Run(const std::vector<LOGFONT>& fonts) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr)
        return;
    void* bits = nullptr;
    HBITMAP target = CreateDIB32(64, 32, &bits);
    const HGDIOBJ oldTarget = target != nullptr ? SelectObject(dc, target) : nullptr;
    Prepare(dc, GetStockObject(DEFAULT_GUI_FONT));
    for (const LOGFONT& lf : fonts) {
        HFONT font = CreateFontIndirect(&lf);
        Prepare(dc, font);
        DeleteObject(font);
    }
    if (oldTarget != nullptr)
        SelectObject(dc, oldTarget);
    DeleteDC(dc);
    DeleteObject(target);
}

} // namespace

FontWarmUp::FontWarmUp(std::vector<LOGFONT> fonts) {
    try {
        m_thread = std::thread([fonts = std::move(fonts)] { Run(fonts); });
    } catch (const std::system_error&) {
        // No thread: the first window prepares its fonts itself.
    }
}

FontWarmUp::~FontWarmUp() {
    Wait();
}

void FontWarmUp::Wait() {
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace plat
