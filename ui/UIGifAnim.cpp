// CGifAnimUI: decodes a GIF from the skin with stb_image's GIF reader and
// plays its frames on the control's timer 100.
#include "plat/gfx/gdi.h"
#include "ui/UIAttrParse.h"
#include "ui/UIManager.h"
#include "ui/UIProgress.h"

#include <stb_image.h>

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
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP hBitmap = plat::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
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

std::unique_ptr<TGifFrames> DecodeGif(const std::vector<BYTE>& data) {
    if (data.empty() || data.size() > 0x7FFFFFFF)
        return nullptr;
    int* delays = nullptr;
    int width = 0, height = 0, frames = 0, comp = 0;
    stbi_uc* pixels = stbi_load_gif_from_memory(data.data(), (int)data.size(), &delays, &width,
                                                &height, &frames, &comp, 4);
    if (pixels == nullptr || width <= 0 || height <= 0 || frames <= 0) {
        if (pixels)
            stbi_image_free(pixels);
        if (delays)
            stbi_image_free(delays);
        return nullptr;
    }
    auto gif = std::make_unique<TGifFrames>();
    gif->width = width;
    gif->height = height;
    const size_t frameBytes = (size_t)width * height * 4;
    for (int i = 0; i < frames; ++i) {
        HBITMAP h = MakeFrameBitmap(pixels + frameBytes * i, width, height);
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
        return nullptr;
    return gif;
}

} // namespace

CGifAnimUI::CGifAnimUI()
    : m_nFrameCount(0), m_nFramePosition(0), m_nActiveFrame(0), m_bIsAutoPlay(true),
      m_bIsAutoSize(false), m_bIsPlaying(false) {}

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
    if (!UIIntersectRect(&m_rcPaint, rcPaint, m_rcItem))
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

void CGifAnimUI::InitGifImage() {
    if (m_pGif || m_sBkImage.IsEmpty())
        return;
    std::vector<BYTE> data;
    if (CPaintManagerUI::LoadSkinFile(m_sBkImage.GetData(), data) != SkinFileStatus::Ok)
        CPaintManagerUI::ReadWholeFile(m_sBkImage.GetData(), data);
    m_pGif = DecodeGif(data);
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
