// winexample: one window on the bare window system.
//
// The window (class "WinExample", 400 x 300, centred on the work area)
// paints a light grey background, a progress bar along its top edge that a
// 50 ms timer fills, and a red 20 x 20 square centred where it was last
// clicked. Keys: B turns the background blue, N opens a small green owned
// window (class "WinExampleChild"), M asks a yes/no question in a message
// box and shows the answer's number in the title ("answer=6"), Escape
// closes the window and ends the program. Run it with
// PLAT_AUTOMATION=<socket path> to drive it from outside.
#include <algorithm>
#include <string>

#include "plat/automation/automation.h"
#include "plat/gfx/gdi.h"
#include "plat/win/winuser.h"

using namespace plat;

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr int kWidth = 400, kHeight = 300, kBarHeight = 6, kSquare = 20;

struct State {
    bool clicked = false;
    POINT click{};
    bool blue = false;
    int ticks = 0;
    int keys = 0;
} g;

void Fill(HDC dc, RECT r, COLORREF c) {
    HBRUSH b = CreateSolidBrush(c);
    FillRect(dc, &r, b);
    DeleteObject(b);
}

void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    Fill(dc, rc, g.blue ? RGB(40, 90, 200) : RGB(230, 230, 230));
    int bar = std::min<int>(g.ticks * 8, rc.right);
    Fill(dc, RECT{0, 0, bar, kBarHeight}, RGB(20, 120, 40));
    if (g.clicked)
        Fill(dc,
             RECT{g.click.x - kSquare / 2, g.click.y - kSquare / 2, g.click.x + kSquare / 2,
                  g.click.y + kSquare / 2},
             RGB(220, 30, 30));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, g.blue ? RGB(255, 255, 255) : RGB(0, 0, 0));
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    std::wstring text = L"keys: " + std::to_wstring(g.keys);
    RECT tr{10, kHeight - 30, kWidth - 10, kHeight - 10};
    DrawText(dc, text.c_str(), -1, &tr, DT_SINGLELINE | DT_LEFT | DT_VCENTER);
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
}

LRESULT ChildProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        Fill(dc, rc, RGB(30, 170, 60));
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProc(hwnd, msg, wp, lp);
}

void OpenChild(HWND owner) {
    if (FindWindow(L"WinExampleChild", nullptr))
        return;
    RECT r;
    GetWindowRect(owner, &r);
    // Shown without activation, so the keys keep going to the main window.
    HWND child =
        CreateWindowEx(WS_EX_TOOLWINDOW, L"WinExampleChild", L"Child", WS_POPUP, r.right - 100,
                       r.bottom - 50, 200, 100, owner, nullptr, nullptr, nullptr);
    ShowWindow(child, SW_SHOWNOACTIVATE);
}

LRESULT MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        SetTimer(hwnd, kTickTimer, 50, nullptr);
        return 0;
    case WM_TIMER:
        if (wp == kTickTimer && g.ticks * 8 < kWidth) {
            ++g.ticks;
            RECT bar{0, 0, kWidth, kBarHeight};
            InvalidateRect(hwnd, &bar, FALSE);
        }
        return 0;
    case WM_LBUTTONDOWN:
        g.clicked = true;
        g.click = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_KEYDOWN:
        ++g.keys;
        if (wp == 'B')
            g.blue = !g.blue;
        if (wp == 'N')
            OpenChild(hwnd);
        if (wp == 'M') {
            int answer =
                MessageBox(hwnd, L"Keep going?", L"winexample", MB_YESNO | MB_ICONQUESTION);
            SetWindowText(hwnd, (L"answer=" + std::to_wstring(answer)).c_str());
        }
        if (wp == VK_ESCAPE)
            PostMessage(hwnd, WM_CLOSE, 0, 0);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd, kTickTimer);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProc(hwnd, msg, wp, lp);
    }
}

} // namespace

int main() {
    AutomationStartFromEnvironment();
    WNDCLASSEX wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = MainProc;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = L"WinExample";
    if (!RegisterClassEx(&wc))
        return 1;
    wc.lpfnWndProc = ChildProc;
    wc.lpszClassName = L"WinExampleChild";
    if (!RegisterClassEx(&wc))
        return 1;

    RECT work;
    SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
    int x = work.left + (work.right - work.left - kWidth) / 2;
    int y = work.top + (work.bottom - work.top - kHeight) / 2;
    HWND hwnd = CreateWindowEx(0, L"WinExample", L"Win Example", WS_POPUP | WS_VISIBLE, x, y,
                               kWidth, kHeight, nullptr, nullptr, nullptr, nullptr);
    if (!hwnd)
        return 1;
    MSG m;
    while (GetMessage(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
    return static_cast<int>(m.wParam);
}
