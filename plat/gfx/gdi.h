// The drawing layer: bitmaps, device contexts, regions, blits, shapes, fonts
// and text, shaped after Win32's GDI and msimg32.
//
// Model
// - A bitmap holds 32-bit premultiplied pixels 0xAARRGGBB (bytes B, G, R, A
//   in memory), rows top-down unless it is a bottom-up DIB.
// - A DC is a target bitmap plus state: clip region, selected bitmap, font,
//   pen and brush, text colour, background colour and mode, stretch mode and
//   the current pen position. SaveDC / RestoreDC keep a stack of that state.
//   Every drawing call is limited to the clip region and the target bitmap.
// - Colours in GDI calls are COLORREF (0x00BBGGRR). GDI shapes, fills, blits
//   and text write opaque pixels (alpha 255); GDI shapes are never
//   anti-aliased: Rectangle and FillRect cover exactly the integer rectangle
//   (right and bottom exclusive), 1-pixel pens hit whole pixels.
// - Handles are never reused while the process lives. Every function accepts
//   null, stale or wrong-kind handles and then fails (FALSE, 0, ERROR, null
//   or CLR_INVALID as documented for it) without touching anything.
// - Deleting an object that is still selected into a DC invalidates its
//   handle at once; the DC keeps using the object until something else is
//   selected or the DC is deleted.
// - Objects may be used from any thread, but one DC must not be drawn on by
//   two threads at once (as in Win32).
#pragma once

#include "plat/gfx/gditypes.h"

#include <vector>

namespace plat {

// ---- Objects ----------------------------------------------------------------

// Selects a bitmap, font, pen or brush into a DC and returns the object it
// replaces; null on failure. A region is copied into the clip region instead
// and the result is the region kind cast to HGDIOBJ (HGDI_ERROR on failure),
// as in Win32. A bitmap cannot be selected into a DC made by
// CreateSurfaceDC (null).
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h);

// Releases a bitmap, font, pen, brush or region. Stock objects are left
// alone (TRUE). FALSE for an invalid handle.
BOOL DeleteObject(HGDIOBJ h);

// Fills a BITMAP (bitmap), LOGFONT (font), LOGPEN (pen) or LOGBRUSH (brush).
// With out == null returns the size needed. Returns the bytes written, 0 on
// failure (invalid handle, or cb smaller than the structure).
int GetObject(HGDIOBJ h, int cb, LPVOID out);

// OBJ_* kind of a handle, 0 for an invalid one.
DWORD GetObjectType(HGDIOBJ h);

// The bitmap, font, pen or brush selected into a DC (type OBJ_BITMAP,
// OBJ_FONT, OBJ_PEN or OBJ_BRUSH); null otherwise.
HGDIOBJ GetCurrentObject(HDC hdc, UINT type);

// WHITE_BRUSH ... NULL_PEN, SYSTEM_FONT, DEFAULT_GUI_FONT. The default GUI
// font is fontconfig's sans-serif for zh-cn at 12 pixels (lfHeight -12).
HGDIOBJ GetStockObject(int which);

// ---- Bitmaps and DCs ------------------------------------------------------------

// A 32-bit BI_RGB DIB of biWidth x |biHeight| pixels, zero-filled. *ppvBits
// receives its pixels: top-down rows for a negative biHeight, bottom-up rows
// (picture row 0 last in memory) for a positive one. Rows are biWidth * 4
// bytes. hdc, usage, section and offset are ignored apart from validation.
// Null (and *ppvBits null) for anything but 32 bits per pixel, a zero or
// negative width, a zero height or a size over 32767 x 32767.
//
// A bottom-up DIB keeps its own top-down copy for drawing; the caller's
// buffer and the copy are synchronised around every GDI call, so the caller
// may write through *ppvBits between calls and sees every GDI result there.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage, void** ppvBits,
                         HANDLE section, DWORD offset);

// The usual DIB: 32 bits per pixel, width x height, top-down rows of
// width * 4 bytes, zero-filled. *ppvBits (when not null) receives the pixels.
// Null (and *ppvBits null) for the sizes CreateDIBSection refuses.
HBITMAP CreateDIB32(int width, int height, void** ppvBits);

// A top-down 32-bit bitmap of cx x cy, zero-filled (hdc may be null). Null
// for non-positive sizes.
HBITMAP CreateCompatibleBitmap(HDC hdc, int cx, int cy);

// A memory DC with a 1 x 1 stock bitmap, the default GUI font, a black pen
// and a white brush selected. hdc may be null.
HDC CreateCompatibleDC(HDC hdc);

// A DC drawing straight into caller-owned pixels: width x height, 32-bit
// premultiplied BGRA, top-down rows strideBytes apart (at least width * 4,
// a multiple of 4). The pixels must outlive the DC; DeleteDC does not free
// them. Null for bad arguments.
HDC CreateSurfaceDC(void* pixels, int width, int height, int strideBytes);

// Releases a DC made by CreateCompatibleDC or CreateSurfaceDC; objects
// selected into it are not deleted. FALSE for an invalid handle.
BOOL DeleteDC(HDC hdc);

// Pushes the DC's state and returns its level (1 for the first save), 0 on
// failure. RestoreDC(hdc, -1) returns to the newest saved state, a positive
// level to that saved state (levels above it are dropped); FALSE when no
// such state exists.
int SaveDC(HDC hdc);
BOOL RestoreDC(HDC hdc, int savedDC);

// The DC's target pixels as a top-down view: for surface DCs the caller's
// pixels, otherwise the selected bitmap's drawing pixels (for a bottom-up DIB
// the synchronised top-down copy). Valid until the next GDI call on the DC.
// The window system uses it to present DCs (UpdateLayeredWindow).
struct DCPIXELS {
    BYTE* bits;
    int width;
    int height;
    int stride;
};
BOOL GetDCPixels(HDC hdc, DCPIXELS* out);

// Writes a bitmap to a PNG file (straight alpha, as PNG stores it). FALSE
// on an invalid handle or a write error.
BOOL SaveBitmapPng(HBITMAP hbm, const char* path);
// The same for the DC's target pixels.
BOOL SaveDCPng(HDC hdc, const char* path);

// GetPixel returns the pixel's colour as COLORREF (alpha dropped), or
// CLR_INVALID outside the target or the clip region. SetPixel writes an
// opaque pixel and returns the colour set, or CLR_INVALID.
COLORREF GetPixel(HDC hdc, int x, int y);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);
// The stored premultiplied 0xAARRGGBB value (ignores the clip region).
BOOL GetPixelArgb(HDC hdc, int x, int y, DWORD* argb);

// ---- Regions --------------------------------------------------------------------

// The rectangle (left, top) to (right, bottom), right and bottom exclusive;
// swapped coordinates are put in order.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rc);

// A rounded rectangle as GDI scans it: it covers columns left .. right - 2
// and rows top .. bottom - 2 (one pixel less than CreateRectRgn to the right
// and bottom), with each corner cut along the quarter of a width x height
// ellipse: a pixel is inside when its centre is inside the ellipse drawn a
// third of a pixel within the corner box. A 2 x 2 ellipse removes exactly
// the four corner pixels; a 6 x 6 one cuts rows of 2, 1 and 0 pixels.
// Ellipses narrower or lower than 2 give a plain rectangle; larger than the
// shape, they are limited to it.
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int width, int height);

// Makes hrgn the rectangle given.
BOOL SetRectRgn(HRGN hrgn, int left, int top, int right, int bottom);

// dest = src1 op src2 (RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF) or a copy of src1
// (RGN_COPY, src2 ignored). dest may be src1 or src2. Returns the kind of
// the result or ERROR.
int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode);

BOOL EqualRgn(HRGN a, HRGN b);
int OffsetRgn(HRGN hrgn, int dx, int dy);
// Bounding box (all zero for an empty region); returns the kind or ERROR.
int GetRgnBox(HRGN hrgn, LPRECT rc);
BOOL PtInRegion(HRGN hrgn, int x, int y);
BOOL RectInRegion(HRGN hrgn, const RECT* rc);

// For rows top .. top + count - 1, the first and one-past-the-last column
// inside the region (a row without region pixels gives 0, 0). Holes in a
// row are ignored. FALSE for an invalid region or arguments.
BOOL GetRgnRowSpans(HRGN hrgn, int top, int count, RGNROWSPAN* spans);

// The region as sorted, non-overlapping rectangles (rows top to bottom,
// left to right). FALSE for an invalid region.
BOOL GetRgnRects(HRGN hrgn, std::vector<RECT>* rects);

// ---- Clipping -------------------------------------------------------------------

// Replaces the DC's clip region with a copy of hrgn; null removes it
// (drawing is then limited by the target only). Returns the kind of the new
// clip (the target's whole area when removed) or ERROR.
int SelectClipRgn(HDC hdc, HRGN hrgn);

// Combines the clip region with hrgn by mode. A DC without clip region
// counts as clipped to its whole target. RGN_COPY with null removes the
// clip. Returns the new kind or ERROR.
int ExtSelectClipRgn(HDC hdc, HRGN hrgn, int mode);

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom);

// The bounding box of what can be drawn (clip region within the target, or
// the whole target); returns the kind or ERROR.
int GetClipBox(HDC hdc, LPRECT rc);

// Copies the clip region into hrgn: 1 when the DC has one, 0 when it has
// none (hrgn unchanged), -1 on error.
int GetClipRgn(HDC hdc, HRGN hrgn);

// ---- Blits ----------------------------------------------------------------------

// Copies a cx x cy block from src (x1, y1) to dst (x, y) exactly, pixel for
// pixel (alpha included). SRCCOPY; BLACKNESS and WHITENESS ignore src (it may
// be null) and PATCOPY fills with dst's brush. Parts outside the source are
// not drawn. dst and src may be the same DC (overlap is handled).
BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1, DWORD rop);

// Scales the source block onto the destination block (SRCCOPY). In HALFTONE
// mode every destination pixel is the area-weighted average of the source
// pixels under it (so shrinking averages); in the other modes the nearest
// source pixel. Negative sizes are rejected (FALSE).
BOOL StretchBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int xs, int ys, int cxs, int cys,
                DWORD rop);
BOOL PatBlt(HDC hdc, int x, int y, int cx, int cy, DWORD rop);

// Returns the previous mode, 0 for a bad DC or mode.
int SetStretchBltMode(HDC hdc, int mode);
int GetStretchBltMode(HDC hdc);

// Premultiplied source-over: dst = src * k + dst * (1 - srcA * k), where k is
// SourceConstantAlpha / 255 and srcA the source alpha (255 without
// AC_SRC_ALPHA). Scales like StretchBlt in HALFTONE mode when the sizes
// differ. FALSE when the source block is outside the source bitmap or a size
// is negative, as in Win32.
BOOL AlphaBlend(HDC dst, int x, int y, int cx, int cy, HDC src, int xs, int ys, int cxs, int cys,
                BLENDFUNCTION blend);

// Linear gradients between vertex colours over GRADIENT_RECT meshes
// (GRADIENT_FILL_RECT_H left to right, _V top to bottom); the vertex alpha is
// written too. Triangles are not supported (FALSE).
BOOL GradientFill(HDC hdc, TRIVERTEX* vertices, ULONG nVertices, PVOID mesh, ULONG nMesh,
                  ULONG mode);

// ---- Brushes, pens, shapes ------------------------------------------------------

HBRUSH CreateSolidBrush(COLORREF color);

// Fills exactly the rectangle (right and bottom exclusive). Returns 1, or 0
// on failure. A null brush draws nothing and succeeds.
int FillRect(HDC hdc, const RECT* rc, HBRUSH brush);

// Blends a 0xAARRGGBB colour (straight, not premultiplied) over the
// rectangle: alpha 0 changes nothing, 255 writes the opaque colour, values
// between mix with premultiplied source-over (destination alpha included).
BOOL FillRectAlpha(HDC hdc, const RECT* rc, DWORD argb);

// style PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL,
// PS_INSIDEFRAME; width 0 counts as 1 (widths above 65536 count as 65536). Styled pens wider than
// one pixel draw solid, as in Win32.
HPEN CreatePen(int style, int width, COLORREF color);

// Outline with the current pen, inside filled with the current brush; the
// shape covers left .. right - 1 and top .. bottom - 1. A pen of width w is
// centred on the outline (PS_INSIDEFRAME keeps it inside). With a null pen
// the brush fills the whole shape.
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
// The same with corners rounded along a width x height ellipse.
BOOL RoundRect(HDC hdc, int left, int top, int right, int bottom, int width, int height);

// Moves the current position (the old one goes to *old when not null).
BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT old);
// Draws from the current position to (x, y), the end point excluded, and
// makes (x, y) the current position.
BOOL LineTo(HDC hdc, int x, int y);

// ---- Text -----------------------------------------------------------------------

HFONT CreateFontIndirect(const LOGFONT* lf);

COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
// TRANSPARENT or OPAQUE; returns the previous mode, 0 on failure.
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);

BOOL GetTextMetrics(HDC hdc, TEXTMETRIC* tm);

// Width and height (one line, tmHeight) of count characters of text in the
// DC's font; count -1 is not accepted (as in Win32), 0 gives width 0.
BOOL GetTextExtentPoint32(HDC hdc, LPCWSTR text, int count, SIZE* size);

// Draws text in the DC's font and text colour within rc. count -1 means the
// text ends at its terminating zero. Flags:
// - DT_LEFT / DT_CENTER / DT_RIGHT: horizontal alignment of each line.
// - DT_SINGLELINE: one line ("\r" and "\n" are drawn as nothing special);
//   only then DT_TOP / DT_VCENTER / DT_BOTTOM apply, otherwise the text
//   starts at the top.
// - DT_WORDBREAK: breaks lines between words to fit the width (a word
//   longer than the line is broken inside it); "\n" and "\r\n" always break
//   lines unless DT_SINGLELINE.
// - DT_END_ELLIPSIS: a line that does not fit is cut and ends in "...";
//   DT_PATH_ELLIPSIS: the middle is replaced by "..." keeping the text after
//   the last "\" or "/"; DT_WORD_ELLIPSIS like the end ellipsis at a word end.
// - DT_NOPREFIX: "&" is drawn as it is; without it "&x" underlines x and
//   "&&" draws one "&".
// - DT_NOCLIP: not limited to rc (otherwise drawing is clipped to rc).
// - DT_CALCRECT: draws nothing; sets rc's right and bottom to the text's
//   extent: the widest line (with DT_WORDBREAK, of the lines wrapped at rc's
//   width, so the width never grows) and the height of all lines.
// - DT_EDITCONTROL: a partly visible last line is not drawn.
// - DT_EXPANDTABS: tabs to the next multiple of 8 characters.
// - DT_HIDEPREFIX: prefixes are removed but nothing is underlined.
// - DT_NOFULLWIDTHCHARBREAK: no breaks between Chinese characters.
// - DT_EXTERNALLEADING: adds tmExternalLeading to the line height.
// DT_MODIFYSTRING, DT_RTLREADING, DT_TABSTOP, DT_INTERNAL and DT_PREFIXONLY
// are accepted and ignored (the text is never changed).
// With OPAQUE background mode the text's line boxes are filled with the
// background colour first. Returns the height of the text (the offset from
// rc.top to the bottom of the drawn text for DT_VCENTER / DT_BOTTOM), 0 on
// failure.
int DrawText(HDC hdc, LPCWSTR text, int count, LPRECT rc, UINT format);

// Draws count characters at (x, y) (the top-left corner of the first line).
BOOL TextOut(HDC hdc, int x, int y, LPCWSTR text, int count);

// ---- Anti-aliased text ------------------------------------------------------------

// A typographic, anti-aliased string drawing path with its own layout rules,
// for callers that lay out text in fractional units:
// - colour is 0xAARRGGBB (straight alpha), blended over the target;
// - horizontal alignment DT_CENTER / DT_RIGHT / else left, vertical alignment
//   DT_VCENTER / DT_BOTTOM / else top, both without needing DT_SINGLELINE;
// - DT_SINGLELINE: no wrapping; otherwise lines wrap at word boundaries to
//   the layout width;
// - DT_END_ELLIPSIS: text that does not fit the layout rectangle ends in an
//   ellipsis (per line when single-line, at the last fitting line otherwise);
// - DT_NOCLIP: not clipped to the layout rectangle (the DC's clip region
//   always applies).
// The font is any font handle (the DC's font when hfont is null).
BOOL DrawTextSmooth(HDC hdc, LPCWSTR text, int count, HFONT hfont, const RECT* layout, DWORD argb,
                    UINT format);

// Measures text laid out as DrawTextSmooth would in the layout rectangle
// (only its width matters for wrapping; a width of 0 or less means
// unlimited): *width and *height receive the extent in pixels, fractions
// included.
BOOL MeasureTextSmooth(HDC hdc, LPCWSTR text, int count, HFONT hfont, const RECT* layout,
                       UINT format, double* width, double* height);

} // namespace plat
