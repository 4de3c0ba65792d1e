// CGifAnimUI: plays the frames of a GIF from the skin on a timer.
#pragma once

#include "ui/UIControl.h"

#include <memory>

namespace Veneer {

// The decoded frames of a GIF: 32-bit premultiplied pixels, one bitmap per
// frame, with the delays in hundredths of a second.
struct TGifFrames;

class CGifAnimUI : public CControlUI {
public:
    enum { EVENT_TIEM_ID = 100 }; // the animation's timer id
    // Ceilings of one animation: a GIF with more frames, or whose frames
    // take more bytes decoded (frames x width x height x 4), is refused
    // before it is decoded and the control shows nothing.
    static constexpr int kMaxGifFrames = 512;
    static constexpr unsigned long long kMaxGifDecodedBytes = 16ull * 1024 * 1024;

    CGifAnimUI();
    ~CGifAnimUI() override;

    LPCWSTR GetClass() const override;
    void* GetInterface(LPCWSTR pstrName) override;
    void DoInit() override;
    void DoPaint(plat::HDC hDC, const RECT& rcPaint) override;
    void DoEvent(TEventUI& event) override;
    void SetVisible(bool bVisible = true) override;
    void SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) override;

    // A plain file name (not an image description).
    void SetBkImage(LPCWSTR pStrImage);
    LPCWSTR GetBkImage();
    void SetAutoPlay(bool bIsAuto = true);
    bool IsAutoPlay() const;
    void SetAutoSize(bool bIsAuto = true);
    bool IsAutoSize() const;
    void PlayGif();
    void PauseGif();
    void StopGif();

    // State, for tests and tools.
    int GetFrameCount() const;
    int GetCurrentFrame() const;
    // The frame the next paint draws (the one selected at the previous paint).
    int GetActiveFrame() const;
    // Delay of frame i in hundredths of a second (0 outside the range).
    int GetFrameDelay(int i) const;
    bool IsPlaying() const;
    // True when the image was refused for exceeding a ceiling above; it is
    // not tried again until the image name changes.
    bool IsGifRefused() const;

private:
    void InitGifImage();
    void DeleteGif();
    void OnTimer(UINT_PTR idEvent);
    void DrawFrame(plat::HDC hDC);
    // The timer interval of the current frame in ms (100 for a delay of 0).
    UINT CurrentFrameInterval() const;

    std::unique_ptr<TGifFrames> m_pGif;
    UINT m_nFrameCount;
    UINT m_nFramePosition;
    UINT m_nActiveFrame; // the decoder's active frame: drawn at the next paint
    CStdString m_sBkImage;
    bool m_bIsAutoPlay;
    bool m_bIsAutoSize;
    bool m_bIsPlaying;
    bool m_bGifRefused;
};

} // namespace Veneer
