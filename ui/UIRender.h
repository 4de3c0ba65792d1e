// CRenderEngine: the toolkit's drawing operations; CRenderClip: a scoped
// clip region.
//
// Controls never touch pixels themselves: they hand the engine an image
// description, a colour and a rectangle, or a text with a font index and
// DT_ format flags, and it draws into the window's off-screen 32-bit DC.
//
// Image descriptions are either a plain image name ("bg.png") or a list of
// key='value' pairs separated by single spaces:
//   file='a.png'  res='a.png'  restype='PNG'  dest='l,t,r,b'  source='l,t,r,b'
//   corner='l,t,r,b'  mask='#FFFF00FF'  fade='128'  hole='true'
//   xtiled='true'  ytiled='true'
// "dest" is relative to the item rectangle (and limited to its right and
// bottom), "source" is in image pixels, "corner" gives the edges that are not
// stretched. A second "file" draws the first image before switching names;
// settings carry over from one image to the next.
#pragma once

#include "plat/gfx/gditypes.h"
#include "ui/UIBase.h"
#include "ui/UIManager.h"

namespace Veneer {

class CRenderClip {
public:
    CRenderClip() = default;
    // Selects the clip that was in force before and releases both regions.
    ~CRenderClip();
    CRenderClip(const CRenderClip&) = delete;
    CRenderClip& operator=(const CRenderClip&) = delete;

    // Remembers hDC's current clip box as a region and intersects the DC's
    // clip with rc.
    static void GenerateClip(HDC hDC, RECT rc, CRenderClip& clip);
    // The same with the rectangle intersected with a rounded rectangle from
    // (rcItem.left, rcItem.top) to (rcItem.right + 1, rcItem.bottom + 1).
    static void GenerateRoundClip(HDC hDC, RECT rc, RECT rcItem, int width, int height,
                                  CRenderClip& clip);
    // Selects the remembered clip / the new clip again.
    static void UseOldClipBegin(HDC hDC, CRenderClip& clip);
    static void UseOldClipEnd(HDC hDC, CRenderClip& clip);

    RECT rcItem{0, 0, 0, 0};
    HDC hDC = nullptr;
    HRGN hRgn = nullptr;
    HRGN hOldRgn = nullptr;
};

class CRenderEngine {
public:
    // Adds 1 to a colour whose red, green and blue are all 0.
    static DWORD AdjustColor(DWORD dwColor, short H, short S, short L);
    static DWORD CheckAlphaColor(DWORD dwColor);

    // Decodes one image (PNG, JPEG, BMP, GIF's first frame ... as stb_image
    // reads them) into a new record with a 32-bit premultiplied top-down
    // bitmap; null on any failure. Without a type the bytes come from the
    // skin lookup and then from the name read as a file path; with a type
    // from the resource module (a number or a name of that type). Pixels
    // whose converted 0xAARRGGBB value equals mask become fully transparent.
    static TImageInfo* LoadImage(STRINGorID bitmap, LPCTSTR type = nullptr, DWORD mask = 0);
    // Decodes encoded image bytes the same way (no lookup). Bytes decoded
    // before with the same mask are not decoded again: the process keeps
    // recent decodings of images up to 256 KB of pixels (4 MB in all) and
    // every call still gets a bitmap of its own.
    static TImageInfo* LoadImageFromMemory(const BYTE* pData, DWORD dwSize, DWORD mask = 0);
    // The decodings kept, and letting go of them.
    static int GetDecodedImageCount();
    static void ReleaseDecodedImages();
    // Releases the bitmap and the record (null is ignored).
    static void FreeImage(const TImageInfo* bitmap);

    // Nine-part drawing of one bitmap (see the file comment). rcBmpPart is
    // the source rectangle, rcCorners the edge widths. bAlpha or uFade < 255
    // selects per-pixel blending; parts outside rcPaint are skipped.
    static void DrawImage(HDC hDC, HBITMAP hBitmap, const RECT& rc, const RECT& rcPaint,
                          const RECT& rcBmpPart, const RECT& rcCorners, bool bAlpha,
                          BYTE uFade = 255, bool hole = false, bool xtiled = false,
                          bool ytiled = false);
    // Parses the description and the optional modifier and draws the
    // image(s) they name. False only when pManager or hDC is missing.
    static bool DrawImageString(HDC hDC, CPaintManagerUI* pManager, const RECT& rcItem,
                                const RECT& rcPaint, LPCTSTR pStrImage,
                                LPCTSTR pStrModify = nullptr);

    // Fills rc with a 0xAARRGGBB colour blended by its alpha (alpha 0 draws
    // nothing).
    static void DrawColor(HDC hDC, const RECT& rc, DWORD color);
    // Linear gradient from dwFirst to dwSecond (top to bottom when bVertical)
    // at the average of their alphas.
    static void DrawGradient(HDC hDC, const RECT& rc, DWORD dwFirst, DWORD dwSecond, bool bVertical,
                             int nSteps);

    // Line from rc's left-top to its right-bottom (end point excluded).
    static void DrawLine(HDC hDC, const RECT& rc, int nSize, DWORD dwPenColor,
                         int nStyle = PS_SOLID);
    // Outlines kept inside rc.
    static void DrawRect(HDC hDC, const RECT& rc, int nSize, DWORD dwPenColor);
    static void DrawRoundRect(HDC hDC, const RECT& rc, int width, int height, int nSize,
                              DWORD dwPenColor);

    // Text in the manager's font iFont (-1: default font) with DT_ flags
    // (DT_NOPREFIX is always added on the plain path). With DT_CALCRECT it
    // measures and updates rc instead of drawing. The anti-aliased back end
    // is used when the manager is background-transparent or uses GDI+ text.
    static void DrawText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, LPCTSTR pstrText,
                         DWORD dwTextColor, int iFont, UINT uStyle);
    // Formatted text in font iFont (the control's font; -1 the default);
    // drawn as plain text (no link rectangles are produced: nLinkRects is
    // set to 0).
    static void DrawHtmlText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, LPCTSTR pstrText,
                             DWORD dwTextColor, RECT* pLinks, CStdString* sLinks, int& nLinkRects,
                             UINT uStyle, int iFont);
    // Extent of the text in font iFont through the plain back end.
    static SIZE GetTextSize(HDC hDC, CPaintManagerUI* pManager, LPCTSTR pstrText, int iFont,
                            UINT uStyle = 0);

    // Layered painting helpers over 32-bit pixels with dwWidth pixels a row.
    // ClearAlphaPixel zeroes every pixel of rc; RestoreAlphaColor sets alpha
    // 255 on pixels of rc whose alpha is 0 but whose colour is not.
    static void ClearAlphaPixel(LPBYTE pBits, int bitsWidth, PRECT rc);
    static void RestoreAlphaColor(LPBYTE pBits, int bitsWidth, PRECT rc);
};

} // namespace Veneer
