// Drawing and placing the dialogs plat draws itself.
#include "plat/win/dialog_look.h"

namespace plat {
namespace wm {

void FillSolid(HDC dc, const RECT& r, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

HGDIOBJ BeginDialogText(HDC dc) {
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    return old;
}

void PaintDialogFrame(HDC dc, const RECT& client, const std::wstring& caption) {
    FillSolid(dc, client, RGB(160, 160, 160));
    FillSolid(dc, RECT{client.left + 1, client.top + 1, client.right - 1, client.bottom - 1},
              RGB(255, 255, 255));
    FillSolid(dc, RECT{client.left + 1, client.top + 1, client.right - 1, kDialogCaptionH},
              RGB(240, 240, 240));
    RECT text{kDialogPad, 0, client.right - kDialogPad, kDialogCaptionH};
    DrawText(dc, caption.c_str(), -1, &text,
             DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void PaintDialogButton(HDC dc, const RECT& r, const wchar_t* text, bool isDefault) {
    FillSolid(dc, r, RGB(173, 173, 173));
    RECT face{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    FillSolid(dc, face, isDefault ? RGB(229, 241, 251) : RGB(225, 225, 225));
    DrawText(dc, text, -1, &face, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
}

std::vector<RECT> DialogButtonRects(int width, int height, int count) {
    std::vector<RECT> rects;
    int left = width - kDialogPad - count * kDialogButtonW - (count - 1) * kDialogButtonGap;
    for (int i = 0; i < count; ++i) {
        int x = left + i * (kDialogButtonW + kDialogButtonGap);
        rects.push_back(
            RECT{x, height - kDialogPad - kDialogButtonH, x + kDialogButtonW, height - kDialogPad});
    }
    return rects;
}

int DialogButtonAt(const std::vector<RECT>& rects, POINT pt) {
    for (size_t i = 0; i < rects.size(); ++i)
        if (PtInRect(&rects[i], pt))
            return static_cast<int>(i);
    return -1;
}

LRESULT DialogHitTest(HWND hwnd, LPARAM lParam) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(hwnd, &pt);
    return pt.y >= 0 && pt.y < kDialogCaptionH ? HTCAPTION : HTCLIENT;
}

POINT DialogPosition(HWND owner, int width, int height) {
    RECT ref;
    if (!owner || !GetWindowRect(owner, &ref))
        SystemParametersInfo(SPI_GETWORKAREA, 0, &ref, 0);
    return POINT{ref.left + ((ref.right - ref.left) - width) / 2,
                 ref.top + ((ref.bottom - ref.top) - height) / 2};
}

} // namespace wm
} // namespace plat
