// The tooltip window class "tooltips_class32" and the common-controls
// initialisation.
#include <algorithm>
#include <mutex>

#include "plat/gfx/gdi.h"
#include "plat/win/commctrl.h"
#include "plat/win/wm_internal.h"

namespace plat {
namespace wm {

namespace {

struct Tool {
    UINT flags = 0;
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    RECT rect{};
    std::wstring text;
};

struct TipData {
    std::vector<Tool> tools;
    int maxWidth = -1;
    int delays[4] = {500, 100, 5000, 500}; // automatic, reshow, autopop, initial
    bool active = true;
    bool trackPosSet = false;
    POINT trackPos{};
    std::wstring shown;
};

std::mutex g_tipsMutex;
std::map<HWND, TipData>& Tips() {
    static auto* m = new std::map<HWND, TipData>;
    return *m;
}

constexpr int kPadX = 4, kPadY = 2;

std::wstring ToolText(const TOOLINFO* ti) {
    if (!ti || !ti->lpszText || ti->lpszText == LPSTR_TEXTCALLBACK || IS_INTRESOURCE(ti->lpszText))
        return L"";
    return ti->lpszText;
}

Tool* FindTool(TipData& d, const TOOLINFO* ti) {
    if (!ti)
        return nullptr;
    for (auto& t : d.tools)
        if (t.hwnd == ti->hwnd && t.id == ti->uId)
            return &t;
    return nullptr;
}

SIZE MeasureTip(const std::wstring& text, int maxWidth) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    RECT rc{0, 0, maxWidth > 0 ? maxWidth : 10000, 0};
    UINT fmt = DT_CALCRECT | DT_NOPREFIX | (maxWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE);
    DrawText(dc, text.c_str(), static_cast<int>(text.size()), &rc, fmt);
    SelectObject(dc, old);
    DeleteDC(dc);
    return SIZE{rc.right - rc.left + 2 * kPadX + 2, rc.bottom - rc.top + 2 * kPadY + 2};
}

void ShowTip(HWND tip, const std::wstring& text, int maxWidth, bool posSet, POINT pos) {
    if (text.empty()) {
        ShowWindow(tip, SW_HIDE);
        return;
    }
    SIZE sz = MeasureTip(text, maxWidth);
    POINT at = pos;
    if (!posSet) {
        GetCursorPos(&at);
        at.y += 20; // below the cursor
    }
    RECT screen;
    SystemParametersInfo(SPI_GETWORKAREA, 0, &screen, 0);
    at.x = std::max<LONG>(screen.left, std::min<LONG>(at.x, screen.right - sz.cx));
    at.y = std::max<LONG>(screen.top, std::min<LONG>(at.y, screen.bottom - sz.cy));
    SetWindowPos(tip, HWND_TOPMOST, at.x, at.y, sz.cx, sz.cy, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(tip, nullptr, FALSE);
}

void PaintTip(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc)
        return;
    std::wstring text;
    int maxWidth;
    {
        std::lock_guard<std::mutex> g(g_tipsMutex);
        text = Tips()[hwnd].shown;
        maxWidth = Tips()[hwnd].maxWidth;
    }
    RECT rc;
    GetClientRect(hwnd, &rc);
    HBRUSH bg = CreateSolidBrush(RGB(255, 255, 225));
    HBRUSH border = CreateSolidBrush(RGB(118, 118, 118));
    FillRect(dc, &rc, border);
    RECT inner = rc;
    InflateRect(&inner, -1, -1);
    FillRect(dc, &inner, bg);
    DeleteObject(bg);
    DeleteObject(border);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    InflateRect(&inner, -kPadX, -kPadY);
    DrawText(dc, text.c_str(), static_cast<int>(text.size()), &inner,
             DT_NOPREFIX | (maxWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
}

} // namespace

LRESULT TooltipProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* ti = reinterpret_cast<TOOLINFO*>(lParam);
    switch (msg) {
    case WM_NCCREATE: {
        {
            auto& st = S();
            Lock lk(st.mu);
            if (Wnd* w = FindLocked(hwnd))
                w->exStyle |= WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
            RestackLocked();
        }
        std::lock_guard<std::mutex> g(g_tipsMutex);
        Tips()[hwnd] = TipData{};
        return TRUE;
    }
    case WM_NCDESTROY: {
        std::lock_guard<std::mutex> g(g_tipsMutex);
        Tips().erase(hwnd);
        return 0;
    }
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_PAINT:
        PaintTip(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case TTM_ADDTOOL: {
        if (!ti)
            return FALSE;
        std::lock_guard<std::mutex> g(g_tipsMutex);
        TipData& d = Tips()[hwnd];
        Tool t;
        t.flags = ti->uFlags;
        t.hwnd = ti->hwnd;
        t.id = ti->uId;
        t.rect = ti->rect;
        t.text = ToolText(ti);
        d.tools.push_back(t);
        return TRUE;
    }
    case TTM_DELTOOL: {
        std::lock_guard<std::mutex> g(g_tipsMutex);
        TipData& d = Tips()[hwnd];
        d.tools.erase(std::remove_if(d.tools.begin(), d.tools.end(),
                                     [&](const Tool& t) {
                                         return ti && t.hwnd == ti->hwnd && t.id == ti->uId;
                                     }),
                      d.tools.end());
        return 0;
    }
    case TTM_SETTOOLINFO: {
        bool refresh = false;
        std::wstring text;
        int maxWidth;
        {
            std::lock_guard<std::mutex> g(g_tipsMutex);
            TipData& d = Tips()[hwnd];
            Tool* t = FindTool(d, ti);
            if (!t)
                return 0;
            t->flags = ti->uFlags;
            t->rect = ti->rect;
            t->text = ToolText(ti);
            refresh = IsWindowVisible(hwnd) != FALSE;
            if (refresh)
                d.shown = t->text;
            text = d.shown;
            maxWidth = d.maxWidth;
        }
        if (refresh) {
            // A visible tip shows the new text at once.
            RECT r;
            GetWindowRect(hwnd, &r);
            ShowTip(hwnd, text, maxWidth, true, POINT{r.left, r.top});
        }
        return 0;
    }
    case TTM_GETTOOLCOUNT: {
        std::lock_guard<std::mutex> g(g_tipsMutex);
        return static_cast<LRESULT>(Tips()[hwnd].tools.size());
    }
    case TTM_SETMAXTIPWIDTH: {
        std::lock_guard<std::mutex> g(g_tipsMutex);
        TipData& d = Tips()[hwnd];
        int old = d.maxWidth;
        d.maxWidth = static_cast<int>(static_cast<LONG>(lParam));
        return old;
    }
    case TTM_GETMAXTIPWIDTH: {
        std::lock_guard<std::mutex> g(g_tipsMutex);
        return Tips()[hwnd].maxWidth;
    }
    case TTM_SETDELAYTIME: {
        std::lock_guard<std::mutex> g(g_tipsMutex);
        TipData& d = Tips()[hwnd];
        int v = static_cast<int>(static_cast<SHORT>(LOWORD(lParam)));
        if (wParam == TTDT_AUTOMATIC) {
            int base = v < 0 ? 500 : v;
            d.delays[TTDT_INITIAL] = base;
            d.delays[TTDT_RESHOW] = base / 5;
            d.delays[TTDT_AUTOPOP] = base * 10;
        } else if (wParam <= TTDT_INITIAL) {
            d.delays[wParam] = v < 0 ? (wParam == TTDT_AUTOPOP  ? 5000
                                        : wParam == TTDT_RESHOW ? 100
                                                                : 500)
                                     : v;
        }
        return 0;
    }
    case TTM_GETDELAYTIME: {
        std::lock_guard<std::mutex> g(g_tipsMutex);
        if (wParam > TTDT_INITIAL)
            return 0;
        return Tips()[hwnd].delays[wParam == TTDT_AUTOMATIC ? TTDT_INITIAL : wParam];
    }
    case TTM_ACTIVATE: {
        {
            std::lock_guard<std::mutex> g(g_tipsMutex);
            Tips()[hwnd].active = wParam != 0;
        }
        if (!wParam)
            ShowWindow(hwnd, SW_HIDE);
        return 0;
    }
    case TTM_TRACKPOSITION: {
        std::lock_guard<std::mutex> g(g_tipsMutex);
        TipData& d = Tips()[hwnd];
        d.trackPosSet = true;
        d.trackPos = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        return 0;
    }
    case TTM_TRACKACTIVATE: {
        if (!wParam) {
            ShowWindow(hwnd, SW_HIDE);
            return 0;
        }
        std::wstring text;
        int maxWidth;
        bool posSet;
        POINT pos;
        {
            std::lock_guard<std::mutex> g(g_tipsMutex);
            TipData& d = Tips()[hwnd];
            Tool* t = FindTool(d, ti);
            if (!t || !d.active)
                return 0;
            d.shown = t->text;
            text = d.shown;
            maxWidth = d.maxWidth;
            posSet = d.trackPosSet && (t->flags & TTF_TRACK);
            pos = d.trackPos;
        }
        ShowTip(hwnd, text, maxWidth, posSet, pos);
        return 0;
    }
    case TTM_POP:
        ShowWindow(hwnd, SW_HIDE);
        return 0;
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

} // namespace wm

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc) {
    if (!icc || icc->dwSize != sizeof(INITCOMMONCONTROLSEX))
        return FALSE;
    wm::EnsureSystemClasses();
    return TRUE;
}

void InitCommonControls() {
    wm::EnsureSystemClasses();
}

} // namespace plat
