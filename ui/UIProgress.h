// Status controls: CProgressUI (a label whose state image is a fore image
// clipped to the value), CGifAnimUI (plays the frames of a GIF on a timer)
// and CRichEditUI (a single-line, read-only text field over a small text
// service of our own).
#pragma once

#include "ui/UIContainer.h"
#include "ui/UILabel.h"

#include <memory>
#include <vector>

namespace Veneer {

class CProgressUI : public CLabelUI {
public:
    CProgressUI();

    LPCWSTR GetClass() const override;
    void* GetInterface(LPCWSTR pstrName) override;

    bool IsHorizontal() const;
    void SetHorizontal(bool bHorizontal = true);
    bool IsStretchForeImage() const;
    void SetStretchForeImage(bool bStretchForeImage = true);
    int GetMinValue() const;
    void SetMinValue(int nMin);
    int GetMaxValue() const;
    void SetMaxValue(int nMax);
    int GetValue() const;
    // Ignores the current value and values outside minimum .. maximum.
    void SetValue(int nValue);

    void SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) override;
    void PaintStatusImage(plat::HDC hDC) override;

protected:
    bool m_bHorizontal;
    bool m_bStretchForeImage;
    int m_nMax;
    int m_nMin;
    int m_nValue;
    CStdString m_sForeImageModify;
};

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

// The small text service behind CRichEditUI: holds the text and the style
// bits and draws one line of it. Read-only fields never change the text from
// input; the owner replaces it with SetText.
class CTextService;

class CRichEditUI : public CContainerUI {
public:
    // Window style bits of the text service (the edit styles' values).
    static constexpr DWORD ES_MULTILINE = 0x0004;
    static constexpr DWORD ES_READONLY = 0x0800;
    static constexpr DWORD ES_PASSWORD = 0x0020;

    CRichEditUI();
    ~CRichEditUI() override;

    LPCWSTR GetClass() const override;
    void* GetInterface(LPCWSTR pstrName) override;
    UINT GetControlFlags() const override;

    bool IsReadOnly() const;
    void SetReadOnly(bool bReadOnly = true);
    bool IsWantTab() const;
    void SetWantTab(bool bWantTab = true);
    bool IsWantReturn() const;
    void SetWantReturn(bool bWantReturn = true);
    bool IsWordWrap() const;
    void SetWordWrap(bool bWordWrap = true);
    int GetFont() const;
    void SetFont(int index);
    DWORD GetTextColor() const;
    void SetTextColor(DWORD dwTextColor);
    int GetLimitText() const;
    void SetLimitText(int iChars);
    RECT GetTextPadding() const;
    void SetTextPadding(RECT rc);
    DWORD GetWinStyle() const;
    CStdString GetTipValue() const;
    void SetTipValue(LPCWSTR pStrTipValue);
    DWORD GetTipValueColor() const;
    void SetTipValueColor(DWORD dwColor);

    // Stores the text; once the service exists it replaces its whole content.
    void SetText(LPCWSTR pstrText) override;
    // The service's current text (the stored text before DoInit).
    CStdString GetText() const override;
    // True once DoInit created the text service.
    bool HasTextService() const;

    void DoInit() override;
    void SetEnabled(bool bEnabled = true) override;
    void SetPos(RECT rc) override;
    void DoEvent(TEventUI& event) override;
    void DoPaint(plat::HDC hDC, const RECT& rcPaint) override;
    void SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) override;
    void PaintStatusImage(plat::HDC hDC) override;
    // The area the text is drawn in (position less inset and text padding).
    RECT GetTextRect() const;

protected:
    std::unique_ptr<CTextService> m_pTwh;
    bool m_bWantTab;
    bool m_bWantReturn;
    bool m_bWantCtrlReturn;
    bool m_bRich;
    bool m_bReadOnly;
    bool m_bWordWrap;
    DWORD m_dwTextColor;
    int m_iFont;
    int m_iLimitText;
    DWORD m_lTwhStyle;
    RECT m_rcTextPadding;
    CStdString m_sText;
    CStdString m_sTipValue;
    DWORD m_dwTipValueColor;
    CStdString m_sNormalImage;
    CStdString m_sHotImage;
    CStdString m_sFocusedImage;
    CStdString m_sDisabledImage;
    UINT m_uButtonState;
};

} // namespace Veneer
