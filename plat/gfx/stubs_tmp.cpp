// Temporary: entry points not yet implemented report failure.
#include "plat/gfx/gdi_internal.h"

namespace plat {
namespace gfx {
Font::~Font() {}
std::mutex& textMutex() {
    static std::mutex m;
    return m;
}
} // namespace gfx
BOOL BitBlt(HDC, int, int, int, int, HDC, int, int, DWORD) {
    return FALSE;
}
BOOL StretchBlt(HDC, int, int, int, int, HDC, int, int, int, int, DWORD) {
    return FALSE;
}
BOOL PatBlt(HDC, int, int, int, int, DWORD) {
    return FALSE;
}
BOOL AlphaBlend(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION) {
    return FALSE;
}
BOOL GradientFill(HDC, TRIVERTEX*, ULONG, PVOID, ULONG, ULONG) {
    return FALSE;
}
int FillRect(HDC, const RECT*, HBRUSH) {
    return 0;
}
BOOL FillRectAlpha(HDC, const RECT*, DWORD) {
    return FALSE;
}
BOOL Rectangle(HDC, int, int, int, int) {
    return FALSE;
}
BOOL RoundRect(HDC, int, int, int, int, int, int) {
    return FALSE;
}
BOOL MoveToEx(HDC, int, int, LPPOINT) {
    return FALSE;
}
BOOL LineTo(HDC, int, int) {
    return FALSE;
}
HFONT CreateFontIndirect(const LOGFONT*) {
    return nullptr;
}
BOOL GetTextMetrics(HDC, TEXTMETRIC*) {
    return FALSE;
}
BOOL GetTextExtentPoint32(HDC, LPCWSTR, int, SIZE*) {
    return FALSE;
}
int DrawText(HDC, LPCWSTR, int, LPRECT, UINT) {
    return 0;
}
BOOL TextOut(HDC, int, int, LPCWSTR, int) {
    return FALSE;
}
BOOL DrawTextSmooth(HDC, LPCWSTR, int, HFONT, const RECT*, DWORD, UINT) {
    return FALSE;
}
BOOL MeasureTextSmooth(HDC, LPCWSTR, int, HFONT, const RECT*, UINT, double*, double*) {
    return FALSE;
}
} // namespace plat
