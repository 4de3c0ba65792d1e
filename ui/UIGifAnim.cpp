// CGifAnimUI: decodes a GIF from the skin with stb_image's GIF reader and
// plays its frames on the control's timer 100.
#include "ui/UIGifAnim.h"

#include "plat/gfx/gdi.h"
#include "ui/UIAttrParse.h"
#include "ui/UIManager.h"

#include <stb_image.h>

#include <algorithm>
#include <cstring>

namespace Veneer {

struct TGifFrames {
    std::vector<HBITMAP> frames;
    std::vector<int> delays; // hundredths of a second
    int width = 0;
    int height = 0;

    ~TGifFrames() {
        for (HBITMAP h : frames)
            plat::DeleteObject(h);
    }
};

namespace {

// One frame of straight RGBA into a premultiplied BGRA DIB section.
HBITMAP MakeFrameBitmap(const unsigned char* rgba, int width, int height) {
    void* bits = nullptr;
    HBITMAP hBitmap = plat::CreateDIB32(width, height, &bits);
    if (hBitmap == nullptr || bits == nullptr)
        return nullptr;
    unsigned char* dst = static_cast<unsigned char*>(bits);
    const size_t count = (size_t)width * height;
    for (size_t i = 0; i < count; ++i) {
        const unsigned a = rgba[i * 4 + 3];
        dst[i * 4 + 0] = (unsigned char)(rgba[i * 4 + 2] * a / 255);
        dst[i * 4 + 1] = (unsigned char)(rgba[i * 4 + 1] * a / 255);
        dst[i * 4 + 2] = (unsigned char)(rgba[i * 4 + 0] * a / 255);
        dst[i * 4 + 3] = (unsigned char)a;
    }
    return hBitmap;
}

// What a GIF holds, read from its block structure without decoding.
struct GifLayout {
    int width = 0; // logical screen: every decoded frame has this size
    int height = 0;
    long long frames = 0; // image descriptors
};

// Walks the blocks of a GIF (header, screen descriptor, colour tables,
// extensions and images with their data sub-blocks) and counts the images.
// Stops at the trailer, at the end of the data or at anything unknown; the
// decoder reads no more than that either.
GifLayout ScanGif(const std::vector<BYTE>& data) {
    GifLayout layout;
    const size_t size = data.size();
    if (size < 13 || std::memcmp(data.data(), "GIF", 3) != 0)
        return layout;
    layout.width = data[6] | data[7] << 8;
    layout.height = data[8] | data[9] << 8;
    size_t pos = 13;
    if ((data[10] & 0x80) != 0)
        pos += 3u << ((data[10] & 7) + 1);
    auto skipSubBlocks = [&] {
        while (pos < size && data[pos] != 0)
            pos += 1u + data[pos];
        ++pos; // the terminator
    };
    while (pos < size) {
        const BYTE code = data[pos++];
        if (code == 0x21) { // extension: label, then sub-blocks
            ++pos;
            skipSubBlocks();
        } else if (code == 0x2C) { // image: descriptor, colour table, data
            ++layout.frames;
            if (pos + 9 > size)
                break;
            const BYTE packed = data[pos + 8];
            pos += 9;
            if ((packed & 0x80) != 0)
                pos += 3u << ((packed & 7) + 1);
            ++pos; // LZW minimum code size
            skipSubBlocks();
        } else {
            break; // trailer or unknown
        }
    }
    return layout;
}

enum class GifResult { Ok, Unreadable, TooLarge };

GifResult DecodeGif(const std::vector<BYTE>& data, std::unique_ptr<TGifFrames>& out) {
    out.reset();
    if (data.empty() || data.size() > 0x7FFFFFFF)
        return GifResult::Unreadable;
    // The decoder keeps every frame at the full screen size (and allocates
    // the screen before it reads any frame), and the frames are then copied
    // into bitmaps: refuse what would take too much before decoding.
    const GifLayout layout = ScanGif(data);
    const unsigned long long frameBytes = 4ull * layout.width * layout.height;
    if (layout.frames > CGifAnimUI::kMaxGifFrames ||
        frameBytes * std::max(layout.frames, 1LL) > CGifAnimUI::kMaxGifDecodedBytes)
        return GifResult::TooLarge;

    int* delays = nullptr;
    int width = 0, height = 0, frames = 0, comp = 0;
    stbi_uc* pixels = stbi_load_gif_from_memory(data.data(), (int)data.size(), &delays, &width,
                                                &height, &frames, &comp, 4);
    // The decoder's own view must agree with the scan's ceiling.
    const bool tooLarge = frames > CGifAnimUI::kMaxGifFrames ||
                          4ull * (unsigned)std::max(width, 0) * (unsigned)std::max(height, 0) *
                                  (unsigned)std::max(frames, 0) >
                              CGifAnimUI::kMaxGifDecodedBytes;
    if (pixels == nullptr || width <= 0 || height <= 0 || frames <= 0 || tooLarge) {
        if (pixels)
            stbi_image_free(pixels);
        if (delays)
            stbi_image_free(delays);
        return tooLarge ? GifResult::TooLarge : GifResult::Unreadable;
    }
    auto gif = std::make_unique<TGifFrames>();
    gif->width = width;
    gif->height = height;
    const size_t bytesPerFrame = (size_t)width * height * 4;
    for (int i = 0; i < frames; ++i) {
        HBITMAP h = MakeFrameBitmap(pixels + bytesPerFrame * i, width, height);
        if (h == nullptr)
            break;
        gif->frames.push_back(h);
        // The decoder reports milliseconds; the animation keeps the GIF's
        // own hundredths of a second.
        gif->delays.push_back(delays ? delays[i] / 10 : 0);
    }
    stbi_image_free(pixels);
    if (delays)
        stbi_image_free(delays);
    if (gif->frames.empty())
        return GifResult::Unreadable;
    out = std::move(gif);
    return GifResult::Ok;
}

} // namespace

CGifAnimUI::CGifAnimUI()
    : m_nFrameCount(0), m_nFramePosition(0), m_nActiveFrame(0), m_bIsAutoPlay(true),
      m_bIsAutoSize(false), m_bIsPlaying(false), m_bGifRefused(false) {}

CGifAnimUI::~CGifAnimUI() {
    DeleteGif();
    if (m_pManager != nullptr)
        m_pManager->KillTimer(this, EVENT_TIEM_ID);
}

LPCWSTR CGifAnimUI::GetClass() const {
    return L"GifAnimUI";
}

void* CGifAnimUI::GetInterface(LPCWSTR pstrName) {
    if (AttrNameIs(pstrName, L"GifAnim"))
        return static_cast<CGifAnimUI*>(this);
    return CControlUI::GetInterface(pstrName);
}

void CGifAnimUI::DoInit() {
    InitGifImage();
}

void CGifAnimUI::DoPaint(plat::HDC hDC, const RECT& rcPaint) {
    if (!plat::IntersectRect(&m_rcPaint, &rcPaint, &m_rcItem))
        return;
    if (!m_pGif)
        InitGifImage();
    DrawFrame(hDC);
}

void CGifAnimUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_TIMER)
        OnTimer(event.wParam);
}

void CGifAnimUI::SetVisible(bool bVisible) {
    CControlUI::SetVisible(bVisible);
    if (bVisible)
        PlayGif();
    else
        StopGif();
}

void CGifAnimUI::SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) {
    if (pstrValue == nullptr)
        pstrValue = L"";
    if (AttrNameIs(pstrName, L"bkimage"))
        SetBkImage(pstrValue);
    else if (AttrNameIs(pstrName, L"autoplay"))
        SetAutoPlay(ParseAttrBool(pstrValue));
    else if (AttrNameIs(pstrName, L"autosize"))
        SetAutoSize(ParseAttrBool(pstrValue));
    else
        CControlUI::SetAttribute(pstrName, pstrValue);
}

void CGifAnimUI::SetBkImage(LPCWSTR pStrImage) {
    if (pStrImage == nullptr || m_sBkImage == pStrImage)
        return;
    m_sBkImage = pStrImage;
    StopGif();
    DeleteGif();
    m_bGifRefused = false;
    Invalidate();
}

LPCWSTR CGifAnimUI::GetBkImage() {
    return m_sBkImage.GetData();
}
void CGifAnimUI::SetAutoPlay(bool bIsAuto) {
    m_bIsAutoPlay = bIsAuto;
}
bool CGifAnimUI::IsAutoPlay() const {
    return m_bIsAutoPlay;
}
void CGifAnimUI::SetAutoSize(bool bIsAuto) {
    m_bIsAutoSize = bIsAuto;
}
bool CGifAnimUI::IsAutoSize() const {
    return m_bIsAutoSize;
}

UINT CGifAnimUI::CurrentFrameInterval() const {
    int delay = GetFrameDelay((int)m_nFramePosition);
    if (delay <= 0)
        delay = 10;
    return (UINT)delay * 10;
}

void CGifAnimUI::PlayGif() {
    if (m_bIsPlaying || !m_pGif || m_pManager == nullptr)
        return;
    if (m_pManager->SetTimer(this, EVENT_TIEM_ID, CurrentFrameInterval()))
        m_bIsPlaying = true;
}

void CGifAnimUI::PauseGif() {
    if (!m_bIsPlaying || !m_pGif)
        return;
    if (m_pManager)
        m_pManager->KillTimer(this, EVENT_TIEM_ID);
    Invalidate();
    m_bIsPlaying = false;
}

void CGifAnimUI::StopGif() {
    if (!m_bIsPlaying)
        return;
    if (m_pManager)
        m_pManager->KillTimer(this, EVENT_TIEM_ID);
    m_nFramePosition = 0;
    // Shown again, the animation starts over from its first frame.
    m_nActiveFrame = 0;
    Invalidate();
    m_bIsPlaying = false;
}

int CGifAnimUI::GetFrameCount() const {
    return (int)m_nFrameCount;
}
int CGifAnimUI::GetCurrentFrame() const {
    return (int)m_nFramePosition;
}
int CGifAnimUI::GetActiveFrame() const {
    return (int)m_nActiveFrame;
}

int CGifAnimUI::GetFrameDelay(int i) const {
    if (!m_pGif || i < 0 || i >= (int)m_pGif->delays.size())
        return 0;
    return m_pGif->delays[i];
}

bool CGifAnimUI::IsPlaying() const {
    return m_bIsPlaying;
}
bool CGifAnimUI::IsGifRefused() const {
    return m_bGifRefused;
}

void CGifAnimUI::InitGifImage() {
    if (m_pGif || m_bGifRefused || m_sBkImage.IsEmpty())
        return;
    std::vector<BYTE> data;
    if (CPaintManagerUI::LoadSkinFile(m_sBkImage.GetData(), data) != SkinFileStatus::Ok)
        CPaintManagerUI::ReadWholeFile(m_sBkImage.GetData(), data);
    // An unreadable image is tried again at the next paint; one refused for
    // its size would be refused again.
    if (DecodeGif(data, m_pGif) == GifResult::TooLarge)
        m_bGifRefused = true;
    if (!m_pGif)
        return;
    m_nFrameCount = (UINT)m_pGif->frames.size();
    m_nFramePosition = 0;
    m_nActiveFrame = 0;
    if (m_bIsAutoSize) {
        SetFixedWidth(m_pGif->width);
        SetFixedHeight(m_pGif->height);
    }
    if (m_bIsAutoPlay)
        PlayGif();
}

void CGifAnimUI::DeleteGif() {
    m_pGif.reset();
    m_nFrameCount = 0;
    m_nFramePosition = 0;
    m_nActiveFrame = 0;
}

void CGifAnimUI::OnTimer(UINT_PTR idEvent) {
    if (idEvent != EVENT_TIEM_ID || m_pManager == nullptr)
        return;
    m_pManager->KillTimer(this, EVENT_TIEM_ID);
    Invalidate();
    if (m_nFrameCount > 0)
        m_nFramePosition = (m_nFramePosition + 1) % m_nFrameCount;
    m_pManager->SetTimer(this, EVENT_TIEM_ID, CurrentFrameInterval());
}

void CGifAnimUI::DrawFrame(plat::HDC hDC) {
    if (hDC == nullptr || !m_pGif)
        return;
    if (m_nActiveFrame < m_pGif->frames.size()) {
        HDC hMemDC = plat::CreateCompatibleDC(hDC);
        if (hMemDC != nullptr) {
            HGDIOBJ hOld = plat::SelectObject(hMemDC, m_pGif->frames[m_nActiveFrame]);
            BLENDFUNCTION bf = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
            plat::AlphaBlend(hDC, m_rcItem.left, m_rcItem.top, m_rcItem.right - m_rcItem.left,
                             m_rcItem.bottom - m_rcItem.top, hMemDC, 0, 0, m_pGif->width,
                             m_pGif->height, bf);
            plat::SelectObject(hMemDC, hOld);
            plat::DeleteDC(hMemDC);
        }
    }
    // The frame selected now is the one the next paint draws.
    m_nActiveFrame = m_nFramePosition;
}

} // namespace Veneer
