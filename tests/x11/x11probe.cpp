// x11probe: a window program for the X11 tests. It shows one 400 x 300
// window (class "X11Probe", title "probe") at the place given, with a blue
// caption band along its top 40 rows that drags the window, and writes the
// messages a test looks for to standard output, one line each:
//   ready, paint, activate N, move X Y, size W H, key VK, char CODE,
//   lbuttondown X Y, leave, syscommand CMD, exitsizemove, destroy
// (numbers in decimal, CMD in hexadecimal).
//
// Options: --at X,Y (default 300,200); --region: a round-rectangle region
// (60 x 60 corner ellipse); --shadow: a click-through layered window with
// per-pixel alpha around the window, a 5-pixel falloff in #333333 such as a
// drop shadow draws; --layered: the window turns layered after creation and
// pushes per-pixel alpha: its left third opaque green, its middle third red
// at alpha 192, its right third black at alpha 64; --choose-folder: once
// shown, the window asks for a folder with the chooser plat draws (never the
// desktop's, whatever is installed) and writes "folder PATH" or "folder
// cancel". Escape closes the window; the program ends with it.
#include <cstdio>
#include <cstring>
#include <string>

#include "plat/automation/automation.h"
#include "plat/gfx/gdi.h"
#include "plat/sys/text.h"
#include "plat/win/dialog_answers.h"
#include "plat/win/shell_dialogs.h"
#include "plat/win/winuser.h"

using namespace plat;

namespace {

constexpr int kW = 400, kH = 300, kCaption = 40, kShadow = 5;
constexpr COLORREF kBody = RGB(230, 230, 230), kBand = RGB(40, 90, 200);

HWND g_shadow = nullptr;

void Log(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void Fill(HDC dc, RECT r, COLORREF c) {
    HBRUSH b = CreateSolidBrush(c);
    FillRect(dc, &r, b);
    DeleteObject(b);
}

// The falloff of a drop shadow: alpha 58, 46, 35, 23, 11 at one to five
// pixels outside the window, premultiplied #333333, transparent over it.
void PushShadow(HWND owner) {
    RECT wr;
    GetWindowRect(owner, &wr);
    int w = wr.right - wr.left + 2 * kShadow, h = wr.bottom - wr.top + 2 * kShadow;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIB32(w, h, &bits);
    auto* px = static_cast<uint32_t*>(bits);
    static const int kAlpha[kShadow + 1] = {0, 58, 46, 35, 23, 11};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int dx = x < kShadow ? kShadow - x : (x >= w - kShadow ? x - (w - kShadow - 1) : 0);
            int dy = y < kShadow ? kShadow - y : (y >= h - kShadow ? y - (h - kShadow - 1) : 0);
            int d = std::max(dx, dy);
            uint32_t a = d == 0 ? 0 : static_cast<uint32_t>(kAlpha[d]);
            uint32_t c = 0x33 * a / 255;
            px[static_cast<size_t>(y) * w + x] = (a << 24) | (c << 16) | (c << 8) | c;
        }
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, bmp);
    POINT dst{wr.left - kShadow, wr.top - kShadow}, src{0, 0};
    SIZE size{w, h};
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(g_shadow, nullptr, &dst, &size, mem, &src, 0, &bf, ULW_ALPHA);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bmp);
}

void PushLayered(HWND hwnd) {
    void* bits = nullptr;
    HBITMAP bmp = CreateDIB32(kW, kH, &bits);
    auto* px = static_cast<uint32_t*>(bits);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            px[static_cast<size_t>(y) * kW + x] = x < kW / 3       ? 0xFF008000u
                                                  : x < 2 * kW / 3 ? 0xC0C00000u
                                                                   : 0x40000000u;
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, bmp);
    POINT src{0, 0};
    SIZE size{kW, kH};
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(hwnd, nullptr, nullptr, &size, mem, &src, 0, &bf, ULW_ALPHA);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bmp);
}

LRESULT ShadowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProc(h, msg, wp, lp);
}

LRESULT MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        Fill(dc, RECT{0, 0, kW, kH}, kBody);
        Fill(dc, RECT{0, 0, kW, kCaption}, kBand);
        Fill(dc, RECT{20, 60, 120, 160}, RGB(220, 30, 30));
        EndPaint(hwnd, &ps);
        Log("paint");
        return 0;
    }
    case WM_NCHITTEST: {
        POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        ScreenToClient(hwnd, &pt);
        return pt.y < kCaption ? HTCAPTION : HTCLIENT;
    }
    case WM_ACTIVATE:
        Log("activate " + std::to_string(LOWORD(wp)));
        break;
    case WM_MOVE:
        Log("move " + std::to_string(GET_X_LPARAM(lp)) + " " + std::to_string(GET_Y_LPARAM(lp)));
        if (g_shadow) {
            RECT wr;
            GetWindowRect(hwnd, &wr);
            SetWindowPos(g_shadow, nullptr, wr.left - kShadow, wr.top - kShadow, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return 0;
    case WM_SIZE:
        Log("size " + std::to_string(LOWORD(lp)) + " " + std::to_string(HIWORD(lp)));
        return 0;
    case WM_KEYDOWN:
        Log("key " + std::to_string(wp));
        if (wp == VK_ESCAPE)
            PostMessage(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_CHAR:
        Log("char " + std::to_string(wp));
        return 0;
    case WM_MOUSEMOVE: {
        TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&tme);
        return 0;
    }
    case WM_MOUSELEAVE:
        Log("leave");
        return 0;
    case WM_LBUTTONDOWN:
        Log("lbuttondown " + std::to_string(GET_X_LPARAM(lp)) + " " +
            std::to_string(GET_Y_LPARAM(lp)));
        return 0;
    case WM_SYSCOMMAND: {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(wp & 0xFFF0));
        Log(std::string("syscommand ") + hex);
        break;
    }
    case WM_EXITSIZEMOVE:
        Log("exitsizemove");
        return 0;
    case WM_DESTROY:
        Log("destroy");
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProc(hwnd, msg, wp, lp);
}

// Asks for a folder owned by `owner` and reports the answer.
void ChooseFolder(HWND owner) {
    SetFolderChooserModeForTests(FolderChooserMode::Drawn);
    BROWSEINFO bi{};
    bi.hwndOwner = owner;
    bi.lpszTitle = L"选择一个文件夹";
    PIDLIST_ABSOLUTE item = SHBrowseForFolder(&bi);
    if (!item) {
        Log("folder cancel");
        return;
    }
    Log("folder " + WideToUtf8(SHGetPathFromIDListString(item)));
    CoTaskMemFree(item);
}

} // namespace

int main(int argc, char** argv) {
    AutomationStartFromEnvironment();
    int x = 300, y = 200;
    bool region = false, shadow = false, layered = false, chooseFolder = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--at") && i + 1 < argc)
            std::sscanf(argv[++i], "%d,%d", &x, &y);
        else if (!std::strcmp(argv[i], "--region"))
            region = true;
        else if (!std::strcmp(argv[i], "--shadow"))
            shadow = true;
        else if (!std::strcmp(argv[i], "--layered"))
            layered = true;
        else if (!std::strcmp(argv[i], "--choose-folder"))
            chooseFolder = true;
    }
    WNDCLASSEX wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = MainProc;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = L"X11Probe";
    RegisterClassEx(&wc);
    wc.lpfnWndProc = ShadowProc;
    wc.lpszClassName = L"X11ProbeShadow";
    RegisterClassEx(&wc);
    HWND hwnd = CreateWindowEx(0, L"X11Probe", L"probe", WS_POPUP, x, y, kW, kH, nullptr, nullptr,
                               nullptr, nullptr);
    if (!hwnd)
        return 1;
    if (layered) {
        SetWindowLong(hwnd, GWL_EXSTYLE, WS_EX_LAYERED);
        PushLayered(hwnd);
    }
    if (region)
        SetWindowRgn(hwnd, CreateRoundRectRgn(0, 0, kW + 1, kH + 1, 60, 60), TRUE);
    if (shadow) {
        g_shadow = CreateWindowEx(WS_EX_LAYERED | WS_EX_TRANSPARENT, L"X11ProbeShadow", L"",
                                  WS_POPUP, 0, 0, 0, 0, hwnd, nullptr, nullptr, nullptr);
        PushShadow(hwnd);
        ShowWindow(g_shadow, SW_SHOWNOACTIVATE);
    }
    ShowWindow(hwnd, SW_SHOWNORMAL);
    Log("ready");
    if (chooseFolder)
        ChooseFolder(hwnd);
    MSG m;
    while (GetMessage(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
    return static_cast<int>(m.wParam);
}
