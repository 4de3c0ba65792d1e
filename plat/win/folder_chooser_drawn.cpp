// The folder chooser plat draws itself: a small modal dialog with the
// caller's title, the current folder, and a list of its sub-folders (".."
// first, to go up). A click selects a row, a double click or Enter opens it,
// "确定" returns the selected sub-folder or else the current folder, "取消",
// Escape and the close command cancel. The wheel and the arrow, page, Home
// and End keys move through a long list; Backspace goes up.
#include <algorithm>
#include <cwctype>

#include "plat/sys/files.h"
#include "plat/win/dialog_answers.h"
#include "plat/win/dialog_look.h"
#include "plat/win/folder_chooser.h"
#include "plat/win/modal.h"
#include "plat/win/wm_internal.h"

namespace plat {
namespace wm {

namespace {

constexpr int kWidth = 440, kHeight = 400;
constexpr int kRowH = 22;
constexpr int kTitleTop = kDialogCaptionH + 10, kLineH = 20;
constexpr int kPathTop = kTitleTop + kLineH + 4;
constexpr int kListTop = kPathTop + kLineH + 6;
constexpr int kListBottom = kHeight - kDialogPad - kDialogButtonH - 12;
constexpr int kVisibleRows = (kListBottom - kListTop - 2) / kRowH;
constexpr int kWheelRows = 3;
constexpr const wchar_t* kUp = L"..";

struct Chooser {
    std::wstring title;
    std::wstring folder;            // current folder, no trailing '/' except the root
    std::vector<std::wstring> rows; // ".." (unless at the root), then the sub-folders
    int selected = -1;              // row index, -1 for none
    int top = 0;                    // first row shown
    int pressedButton = -1;         // button under a left press, until release
    bool done = false;
    FolderAnswer result;
};

Chooser* Of(HWND hwnd) {
    return reinterpret_cast<Chooser*>(GetWindowLongPtr(hwnd, GWLP_USERDATA));
}

std::wstring Parent(const std::wstring& folder) {
    size_t slash = folder.rfind(L'/');
    if (slash == std::wstring::npos || slash == 0)
        return L"/";
    return folder.substr(0, slash);
}

std::wstring Child(const std::wstring& folder, const std::wstring& name) {
    return folder == L"/" ? L"/" + name : folder + L"/" + name;
}

// Visible folders first, hidden (dot) folders after them, each group in
// alphabetical order regardless of case.
void SortFolderNames(std::vector<std::wstring>* names) {
    auto key = [](const std::wstring& s) {
        std::wstring k = s;
        for (auto& c : k)
            c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
        return k;
    };
    std::sort(names->begin(), names->end(), [&](const std::wstring& a, const std::wstring& b) {
        bool hiddenA = !a.empty() && a[0] == L'.', hiddenB = !b.empty() && b[0] == L'.';
        if (hiddenA != hiddenB)
            return hiddenB;
        std::wstring ka = key(a), kb = key(b);
        return ka != kb ? ka < kb : a < b;
    });
}

// Reads `folder` into the chooser. A folder that cannot be listed for want
// of rights is entered with no children; one that is gone is not entered.
bool Enter(Chooser& c, const std::wstring& folder) {
    std::vector<std::wstring> names;
    if (!ListSubFolders(folder.c_str(), &names)) {
        LONG error = static_cast<LONG>(GetLastError());
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return false;
        names.clear();
    }
    SortFolderNames(&names);
    c.folder = folder;
    c.rows.clear();
    if (folder != L"/")
        c.rows.push_back(kUp);
    c.rows.insert(c.rows.end(), names.begin(), names.end());
    c.selected = -1;
    c.top = 0;
    return true;
}

int MaxTop(const Chooser& c) {
    return std::max(0, static_cast<int>(c.rows.size()) - kVisibleRows);
}

void ScrollTo(Chooser& c, int top) {
    c.top = std::clamp(top, 0, MaxTop(c));
}

void Select(Chooser& c, int row) {
    if (c.rows.empty())
        return;
    c.selected = std::clamp(row, 0, static_cast<int>(c.rows.size()) - 1);
    if (c.selected < c.top)
        ScrollTo(c, c.selected);
    else if (c.selected >= c.top + kVisibleRows)
        ScrollTo(c, c.selected - kVisibleRows + 1);
}

RECT ListRect() {
    return RECT{kDialogPad, kListTop, kWidth - kDialogPad, kListBottom};
}

// The row under a client point, or -1.
int RowAt(const Chooser& c, POINT pt) {
    RECT list = ListRect();
    if (!PtInRect(&list, pt))
        return -1;
    int row = c.top + (pt.y - list.top - 1) / kRowH;
    return row >= 0 && row < static_cast<int>(c.rows.size()) && pt.y > list.top ? row : -1;
}

// 0 for "确定", 1 for "取消", -1 for neither.
void Refresh(HWND hwnd) {
    InvalidateRect(hwnd, nullptr, FALSE);
}

// Opens a row: ".." goes up (selecting the folder it came from), a name
// goes into that sub-folder. A sub-folder that has gone meanwhile leaves the
// chooser where it is, with its list read again.
void Open(HWND hwnd, Chooser& c, int row) {
    if (row < 0 || row >= static_cast<int>(c.rows.size()))
        return;
    if (c.rows[row] == kUp && row == 0 && c.folder != L"/") {
        std::wstring from = c.folder.substr(c.folder.rfind(L'/') + 1);
        if (Enter(c, Parent(c.folder))) {
            auto it = std::find(c.rows.begin(), c.rows.end(), from);
            if (it != c.rows.end())
                Select(c, static_cast<int>(it - c.rows.begin()));
        }
    } else if (!Enter(c, Child(c.folder, c.rows[row]))) {
        std::wstring here = c.folder;
        Enter(c, here);
    }
    Refresh(hwnd);
}

void Finish(Chooser& c, bool ok) {
    if (c.done)
        return;
    c.done = true;
    if (!ok)
        return;
    bool child = c.selected >= 0 && !(c.selected == 0 && c.rows[0] == kUp && c.folder != L"/");
    c.result = child ? Child(c.folder, c.rows[c.selected]) : c.folder;
}

// The end of a long path, led by "…", cut to fit `width` pixels.
std::wstring FitTail(HDC dc, const std::wstring& text, int width) {
    auto fits = [&](const std::wstring& s) {
        SIZE size{};
        GetTextExtentPoint32(dc, s.c_str(), static_cast<int>(s.size()), &size);
        return size.cx <= width;
    };
    if (fits(text))
        return text;
    // The fewest characters dropped from the front that make it fit.
    size_t low = 1, high = text.size();
    while (low < high) {
        size_t mid = (low + high) / 2;
        if (fits(L"…" + text.substr(mid)))
            high = mid;
        else
            low = mid + 1;
    }
    return L"…" + text.substr(low);
}

void Paint(HWND hwnd, const Chooser& c) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc)
        return;
    RECT rc;
    GetClientRect(hwnd, &rc);
    HGDIOBJ old = BeginDialogText(dc);
    PaintDialogFrame(dc, rc, L"浏览文件夹");
    const int textW = kWidth - 2 * kDialogPad;
    RECT title{kDialogPad, kTitleTop, kDialogPad + textW, kTitleTop + kLineH};
    DrawText(dc, c.title.c_str(), -1, &title,
             DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    SetTextColor(dc, RGB(90, 90, 90));
    RECT path{kDialogPad, kPathTop, kDialogPad + textW, kPathTop + kLineH};
    std::wstring shown = FitTail(dc, c.folder, textW);
    DrawText(dc, shown.c_str(), -1, &path, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SetTextColor(dc, RGB(0, 0, 0));

    RECT list = ListRect();
    FillSolid(dc, list, RGB(160, 160, 160));
    RECT inner{list.left + 1, list.top + 1, list.right - 1, list.bottom - 1};
    FillSolid(dc, inner, RGB(255, 255, 255));
    bool scrolls = static_cast<int>(c.rows.size()) > kVisibleRows;
    int rowRight = inner.right - (scrolls ? 8 : 0);
    for (int i = 0; i < kVisibleRows && c.top + i < static_cast<int>(c.rows.size()); ++i) {
        int row = c.top + i;
        RECT r{inner.left, inner.top + i * kRowH, rowRight, inner.top + (i + 1) * kRowH};
        if (row == c.selected)
            FillSolid(dc, r, RGB(204, 232, 255));
        RECT text{r.left + 8, r.top, r.right - 4, r.bottom};
        DrawText(dc, c.rows[row].c_str(), -1, &text,
                 DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    if (scrolls) {
        // A thumb showing which part of the list is in view.
        int trackH = inner.bottom - inner.top;
        int n = static_cast<int>(c.rows.size());
        int thumbH = std::max(16, trackH * kVisibleRows / n);
        int thumbTop = inner.top + (trackH - thumbH) * c.top / std::max(1, MaxTop(c));
        FillSolid(dc, RECT{inner.right - 6, thumbTop, inner.right - 2, thumbTop + thumbH},
                  RGB(190, 190, 190));
    }
    auto buttons = DialogButtonRects(kWidth, kHeight, 2);
    PaintDialogButton(dc, buttons[0], L"确定", true);
    PaintDialogButton(dc, buttons[1], L"取消", false);
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
}

bool OnKey(HWND hwnd, Chooser& c, WPARAM key) {
    switch (static_cast<int>(key)) {
    case VK_UP:
        Select(c, c.selected < 0 ? 0 : c.selected - 1);
        break;
    case VK_DOWN:
        Select(c, c.selected + 1);
        break;
    case VK_PRIOR:
        Select(c, c.selected < 0 ? 0 : c.selected - kVisibleRows);
        break;
    case VK_NEXT:
        Select(c, c.selected + kVisibleRows);
        break;
    case VK_HOME:
        Select(c, 0);
        break;
    case VK_END:
        Select(c, static_cast<int>(c.rows.size()) - 1);
        break;
    case VK_BACK:
        if (c.folder != L"/")
            Open(hwnd, c, 0);
        return true;
    case VK_RETURN:
        // Enter opens the selected row; with none selected it confirms.
        if (c.selected >= 0)
            Open(hwnd, c, c.selected);
        else
            Finish(c, true);
        return true;
    case VK_ESCAPE:
        Finish(c, false);
        return true;
    default:
        return false;
    }
    Refresh(hwnd);
    return true;
}

} // namespace

LRESULT FolderChooserProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<LPCREATESTRUCT>(lParam);
        SetWindowLongPtr(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    Chooser* c = Of(hwnd);
    if (!c)
        return DefWindowProc(hwnd, msg, wParam, lParam);
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    auto buttonAt = [&pt] { return DialogButtonAt(DialogButtonRects(kWidth, kHeight, 2), pt); };
    switch (msg) {
    case WM_PAINT:
        Paint(hwnd, *c);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_NCHITTEST:
        return DialogHitTest(hwnd, lParam);
    case WM_LBUTTONDOWN: {
        c->pressedButton = buttonAt();
        RECT list = ListRect();
        if (PtInRect(&list, pt)) {
            c->selected = RowAt(*c, pt);
            Refresh(hwnd);
        }
        return 0;
    }
    case WM_LBUTTONDBLCLK: {
        c->pressedButton = buttonAt();
        int row = RowAt(*c, pt);
        if (row >= 0)
            Open(hwnd, *c, row);
        return 0;
    }
    case WM_LBUTTONUP: {
        int button = buttonAt();
        if (button >= 0 && button == c->pressedButton)
            Finish(*c, button == 0);
        c->pressedButton = -1;
        return 0;
    }
    case WM_MOUSEWHEEL: {
        int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
        ScrollTo(*c, c->top - notches * kWheelRows);
        Refresh(hwnd);
        return 0;
    }
    case WM_KEYDOWN:
        if (!OnKey(hwnd, *c, wParam))
            return DefWindowProc(hwnd, msg, wParam, lParam);
        return 0;
    case WM_CLOSE:
        Finish(*c, false);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtr(hwnd, GWLP_USERDATA, 0);
        return DefWindowProc(hwnd, msg, wParam, lParam);
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

FolderAnswer RunDrawnFolderChooser(HWND owner, const std::wstring& title, const std::wstring& start,
                                   const TakeFolderAnswer& takeAnswer) {
    Chooser c;
    c.title = title;
    if (!Enter(c, start))
        Enter(c, L"/");
    EnsureSystemClasses();
    POINT at = DialogPosition(owner, kWidth, kHeight);
    HWND box = CreateWindowEx(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, FOLDER_CHOOSER_CLASS,
                              L"浏览文件夹", WS_POPUP | WS_CAPTION | WS_SYSMENU, at.x, at.y, kWidth,
                              kHeight, owner, nullptr, nullptr, &c);
    if (!box)
        return std::nullopt;
    ModalLoop loop(owner);
    ShowWindow(box, SW_SHOWNORMAL);
    FolderAnswer queued;
    bool answered = false;
    loop.Run([&] {
        if (c.done || !IsWindow(box))
            return false;
        answered = takeAnswer(&queued);
        return !answered;
    });
    // The loop has handed the owner back (enabled, focused) before the box
    // goes, so that activation returns to it.
    if (IsWindow(box))
        DestroyWindow(box);
    if (answered)
        return queued;
    return c.done ? c.result : std::nullopt;
}

} // namespace wm
} // namespace plat
