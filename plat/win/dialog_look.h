// The look shared by the dialogs plat draws itself (the message box and the
// folder chooser): a grey one-pixel border around a white face, a light
// caption band holding the caption text, and push buttons at the bottom
// right, the first of them the default.
#pragma once

#include <string>
#include <vector>

#include "plat/gfx/gdi.h"
#include "plat/win/winuser.h"

namespace plat {
namespace wm {

constexpr int kDialogCaptionH = 30; // the caption band, which drags the dialog
constexpr int kDialogButtonW = 88;
constexpr int kDialogButtonH = 28;
constexpr int kDialogPad = 16; // margin around the content
constexpr int kDialogButtonGap = 8;

// Fills `r` with a solid colour.
void FillSolid(HDC dc, const RECT& r, COLORREF color);

// Selects the dialog font (the default GUI font) with black, transparent
// text; returns the font to select back when painting ends.
HGDIOBJ BeginDialogText(HDC dc);

// Border, face and caption band with `caption` over the whole client area.
void PaintDialogFrame(HDC dc, const RECT& client, const std::wstring& caption);

// A push button; the default one has a light blue face.
void PaintDialogButton(HDC dc, const RECT& r, const wchar_t* text, bool isDefault);

// The rectangles of `count` buttons in a row at the bottom right of a
// dialog of the given client size, left to right.
std::vector<RECT> DialogButtonRects(int width, int height, int count);

// The index of the button rectangle holding `pt`, or -1.
int DialogButtonAt(const std::vector<RECT>& rects, POINT pt);

// WM_NCHITTEST of a drawn dialog: the caption band drags it.
LRESULT DialogHitTest(HWND hwnd, LPARAM lParam);

// Where a dialog of the given size goes: centred over `owner`, or over the
// work area when there is no owner.
POINT DialogPosition(HWND owner, int width, int height);

} // namespace wm
} // namespace plat
