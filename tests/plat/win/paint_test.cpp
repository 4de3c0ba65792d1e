// Painting, regions, layered windows and screenshots, tooltips, the message
// box and the folder chooser.
#include <atomic>
#include <cstdio>
#include <filesystem>

#include <stb_image.h>

#include "helpers.h"
#include "plat/win/commctrl.h"
#include "plat/win/dialog_answers.h"
#include "plat/win/shell_dialogs.h"

using namespace wintest;

namespace {

class PaintTest : public WinTest {};

std::string TempPng(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string("plat_win_") + name + ".png"))
        .string();
}

// Reads a PNG back as straight RGBA.
struct Png {
    int w = 0, h = 0;
    std::vector<unsigned char> rgba;
    bool Load(const std::string& path) {
        int n;
        unsigned char* p = stbi_load(path.c_str(), &w, &h, &n, 4);
        if (!p)
            return false;
        rgba.assign(p, p + static_cast<size_t>(w) * h * 4);
        stbi_image_free(p);
        return true;
    }
    const unsigned char* At(int x, int y) const {
        return &rgba[(static_cast<size_t>(y) * w + x) * 4];
    }
};

TEST_F(PaintTest, InvalidationGivesOneWmPaintWithTheUnitedRectangle) {
    HWND h = Make(0, 0, 300, 200);
    PumpNow(); // the first paint after showing
    std::vector<RECT> painted;
    SetHandler(h, [&](HWND hw, UINT msg, WPARAM, LPARAM, LRESULT* r) {
        if (msg != WM_PAINT)
            return false;
        PAINTSTRUCT ps;
        BeginPaint(hw, &ps);
        painted.push_back(ps.rcPaint);
        EndPaint(hw, &ps);
        *r = 0;
        return true;
    });
    RECT a{10, 10, 50, 40}, b{100, 60, 120, 90};
    InvalidateRect(h, &a, FALSE);
    InvalidateRect(h, &b, FALSE);
    RECT u;
    ASSERT_TRUE(GetUpdateRect(h, &u, FALSE));
    PumpNow();
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0].left, 10);
    EXPECT_EQ(painted[0].top, 10);
    EXPECT_EQ(painted[0].right, 120);
    EXPECT_EQ(painted[0].bottom, 90);
    EXPECT_FALSE(GetUpdateRect(h, &u, FALSE));
    // Invalidating outside the client area changes nothing.
    RECT outside{400, 400, 500, 500};
    InvalidateRect(h, &outside, FALSE);
    PumpNow();
    EXPECT_EQ(painted.size(), 1u);
}

TEST_F(PaintTest, HiddenWindowPaintsOnlyOnceShownAndValidateRectCancels) {
    HWND h = Make(0, 0, 100, 100, nullptr, WS_POPUP);
    InvalidateRect(h, nullptr, FALSE);
    PumpNow();
    EXPECT_EQ(CountOf(h, WM_PAINT), 0);
    ShowWindow(h, SW_SHOW);
    PumpNow();
    EXPECT_EQ(CountOf(h, WM_PAINT), 1);
    InvalidateRect(h, nullptr, FALSE);
    ValidateRect(h, nullptr);
    PumpNow();
    EXPECT_EQ(CountOf(h, WM_PAINT), 1);
}

TEST_F(PaintTest, BeginPaintClipsToTheUpdateRectangleAndShowsOnScreen) {
    HWND h = Make(100, 100, 200, 100);
    SetHandler(h, SolidPainter(RGB(10, 200, 10)));
    PumpNow();
    // Now paint blue, but only a part is invalid: only that part changes.
    SetHandler(h, SolidPainter(RGB(10, 10, 200)));
    RECT part{0, 0, 50, 50};
    InvalidateRect(h, &part, FALSE);
    PumpNow();
    HeadlessImage img = HeadlessCaptureScreen();
    EXPECT_EQ(img.At(120, 120), Argb(RGB(10, 10, 200)));
    EXPECT_EQ(img.At(180, 180), Argb(RGB(10, 200, 10)));
    EXPECT_EQ(img.At(99, 120), kHeadlessDesktopColor);
}

TEST_F(PaintTest, WindowDcDrawsIntoTheSurface) {
    HWND h = Make(0, 0, 100, 100);
    PumpNow();
    HDC dc = GetDC(h);
    ASSERT_TRUE(dc);
    RECT r{0, 0, 10, 10};
    HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
    FillRect(dc, &r, b);
    DeleteObject(b);
    // The window grows while the DC is kept; the DC stays usable.
    SetWindowPos(h, nullptr, 0, 0, 300, 300, SWP_NOMOVE | SWP_NOZORDER);
    RECT r2{250, 250, 260, 260};
    b = CreateSolidBrush(RGB(4, 5, 6));
    FillRect(dc, &r2, b);
    DeleteObject(b);
    ReleaseDC(h, dc);
    HeadlessImage win = HeadlessCaptureWindow(h);
    ASSERT_EQ(win.width, 300);
    EXPECT_EQ(win.At(5, 5), Argb(RGB(1, 2, 3)));
    EXPECT_EQ(win.At(255, 255), Argb(RGB(4, 5, 6)));
}

TEST_F(PaintTest, WindowRegionClipsWhatIsShownAndWhatIsHit) {
    HWND under = Make(100, 100, 200, 200);
    SetHandler(under, SolidPainter(RGB(0, 0, 255)));
    HWND h = Make(100, 100, 200, 200);
    SetHandler(h, SolidPainter(RGB(255, 0, 0)));
    // Only the left half belongs to the window.
    ASSERT_TRUE(SetWindowRgn(h, CreateRectRgn(0, 0, 100, 200), TRUE));
    PumpNow();
    HeadlessImage img = HeadlessCaptureScreen();
    EXPECT_EQ(img.At(150, 150), Argb(RGB(255, 0, 0)));
    EXPECT_EQ(img.At(250, 150), Argb(RGB(0, 0, 255)));
    // A click in the cut-away half goes to the window below.
    Click(150, 150);
    Click(250, 150);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(under, WM_LBUTTONUP) == 1; }));
    EXPECT_EQ(CountOf(under, WM_LBUTTONDOWN), 1);
    EXPECT_EQ(CountOf(h, WM_LBUTTONDOWN), 1);
    EXPECT_EQ(WindowFromPoint(POINT{260, 160}), under);
    // The region can be read back and removed.
    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(GetWindowRgn(h, copy), ERROR);
    RECT box;
    GetRgnBox(copy, &box);
    EXPECT_EQ(box.right, 100);
    DeleteObject(copy);
    // Without the region the whole window shows again (once it is on top).
    SetWindowRgn(h, nullptr, TRUE);
    SetActiveWindow(h);
    PumpNow();
    EXPECT_EQ(HeadlessCaptureScreen().At(250, 150), Argb(RGB(255, 0, 0)));
}

TEST_F(PaintTest, RoundedRegionCutsTheCorners) {
    HWND h = Make(300, 300, 100, 80);
    SetHandler(h, SolidPainter(RGB(255, 255, 255)));
    SetWindowRgn(h, CreateRoundRectRgn(0, 0, 101, 81, 20, 20), TRUE);
    PumpNow();
    HeadlessImage img = HeadlessCaptureScreen();
    EXPECT_EQ(img.At(300, 300), kHeadlessDesktopColor);
    EXPECT_EQ(img.At(350, 340), 0xFFFFFFFFu);
    HeadlessImage win = HeadlessCaptureWindow(h);
    EXPECT_EQ(win.At(0, 0), 0u); // transparent outside the region
    EXPECT_EQ(win.At(50, 40), 0xFFFFFFFFu);
}

// Pixels for a layered window: premultiplied, alpha rising left to right.
HBITMAP MakeAlphaBitmap(int w, int h, BYTE alpha, COLORREF color, HDC* dcOut) {
    void* bits = nullptr;
    HBITMAP bm = CreateDIB32(w, h, &bits);
    auto* px = static_cast<uint32_t*>(bits);
    auto pm = [&](int c) { return static_cast<uint32_t>(c * alpha / 255); };
    uint32_t v = (static_cast<uint32_t>(alpha) << 24) | (pm(GetRValue(color)) << 16) |
                 (pm(GetGValue(color)) << 8) | pm(GetBValue(color));
    for (int i = 0; i < w * h; ++i)
        px[i] = v;
    // A fully transparent frame of 5 pixels, as a shadow over its window.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (x >= 5 && y >= 5 && x < w - 5 && y < h - 5)
                px[y * w + x] = 0;
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bm);
    *dcOut = dc;
    return bm;
}

TEST_F(PaintTest, LayeredPerPixelAlphaComposesOverTheWindowBelow) {
    HWND win = Make(680, 316, 560, 408);
    SetHandler(win, SolidPainter(RGB(255, 255, 255)));
    PumpNow();
    HWND shadow =
        Make(0, 0, 0, 0, win, WS_POPUP, WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW);
    ShowWindow(shadow, SW_SHOWNOACTIVATE);
    HDC src;
    HBITMAP bm = MakeAlphaBitmap(570, 418, 128, RGB(0, 0, 0), &src);
    POINT dst{675, 311};
    SIZE size{570, 418};
    POINT zero{0, 0};
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ASSERT_TRUE(UpdateLayeredWindow(shadow, nullptr, &dst, &size, src, &zero, 0, &bf, ULW_ALPHA));
    DeleteDC(src);
    DeleteObject(bm);
    RECT r;
    GetWindowRect(shadow, &r);
    EXPECT_EQ(r.left, 675);
    EXPECT_EQ(r.right - r.left, 570);
    std::string path = TempPng("layered");
    ASSERT_TRUE(HeadlessSaveScreenPng(path.c_str()));
    Png png;
    ASSERT_TRUE(png.Load(path));
    ASSERT_EQ(png.w, 1920);
    ASSERT_EQ(png.h, 1080);
    // Over the white window: the window shows through untouched.
    EXPECT_EQ(png.At(900, 500)[0], 255);
    // In the margin over the desktop: half black over the desktop colour.
    const unsigned char* m = png.At(677, 500);
    auto half = [](int c) { return c - (c * 128 + 127) / 255; };
    EXPECT_NEAR(m[0], half((kHeadlessDesktopColor >> 16) & 0xFF), 1);
    EXPECT_NEAR(m[1], half((kHeadlessDesktopColor >> 8) & 0xFF), 1);
    EXPECT_NEAR(m[2], half(kHeadlessDesktopColor & 0xFF), 1);
    // In the margin over the white window's edge pixel row? The margin lies
    // outside the window, so the pixel just inside the window is white.
    EXPECT_EQ(png.At(680, 500)[0], 255);
    // Constant alpha scales the whole window.
    SetWindowLongPtr(win, GWL_EXSTYLE, GetWindowLongPtr(win, GWL_EXSTYLE) | WS_EX_LAYERED);
    ASSERT_TRUE(SetLayeredWindowAttributes(win, 0, 0, LWA_ALPHA));
    EXPECT_EQ(HeadlessCaptureScreen().At(900, 500), kHeadlessDesktopColor);
    std::remove(path.c_str());
}

TEST_F(PaintTest, WindowScreenshotIsTheWindowAlone) {
    HWND h = Make(10, 10, 40, 30);
    SetHandler(h, SolidPainter(RGB(12, 34, 56)));
    Make(20, 20, 10, 10); // overlaps, not in the window's own picture
    PumpNow();
    std::string path = TempPng("window");
    ASSERT_TRUE(HeadlessSaveWindowPng(h, path.c_str()));
    Png png;
    ASSERT_TRUE(png.Load(path));
    EXPECT_EQ(png.w, 40);
    EXPECT_EQ(png.h, 30);
    const unsigned char* p = png.At(15, 15);
    EXPECT_EQ(p[0], 12);
    EXPECT_EQ(p[1], 34);
    EXPECT_EQ(p[2], 56);
    EXPECT_EQ(p[3], 255);
    std::remove(path.c_str());
    EXPECT_FALSE(HeadlessSaveWindowPng(reinterpret_cast<HWND>(0x999), path.c_str()));
    EXPECT_FALSE(HeadlessSaveScreenPng("/nonexistent-dir/x.png"));
}

TEST_F(PaintTest, TooltipShowsTextNearTheMouseAndHides) {
    HWND h = Make(100, 100, 300, 200);
    HWND tip = CreateWindowEx(0, TOOLTIPS_CLASS, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, h,
                              nullptr, nullptr, nullptr);
    ASSERT_TRUE(tip);
    made.push_back(tip);
    EXPECT_EQ(GetWindow(tip, GW_OWNER), h);
    EXPECT_EQ(SendMessage(tip, TTM_GETDELAYTIME, TTDT_INITIAL, 0), 500);
    wchar_t text[] = L"Install folder";
    TOOLINFO ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = h;
    ti.rect = RECT{0, 0, 50, 20};
    ti.lpszText = text;
    EXPECT_TRUE(SendMessage(tip, TTM_ADDTOOL, 0, reinterpret_cast<LPARAM>(&ti)));
    EXPECT_EQ(SendMessage(tip, TTM_SETMAXTIPWIDTH, 0, 200), -1);
    input_mouse_move(150, 150);
    PumpNow();
    SendMessage(tip, TTM_SETTOOLINFO, 0, reinterpret_cast<LPARAM>(&ti));
    SendMessage(tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&ti));
    EXPECT_TRUE(IsWindowVisible(tip));
    EXPECT_EQ(GetActiveWindow(), h); // never activated
    RECT r;
    GetWindowRect(tip, &r);
    EXPECT_GE(r.top, 150);
    EXPECT_GT(r.right - r.left, 20);
    EXPECT_LE(r.right - r.left, 200 + 16);
    PumpNow();
    // Something dark (the text) is drawn inside the tip.
    HeadlessImage img = HeadlessCaptureWindow(tip);
    bool dark = false;
    for (uint32_t p : img.pixels)
        if ((p & 0xFF) < 80 && ((p >> 8) & 0xFF) < 80)
            dark = true;
    EXPECT_TRUE(dark);
    // The tip never takes the mouse.
    EXPECT_NE(WindowFromPoint(POINT{r.left + 2, r.top + 2}), tip);
    SendMessage(tip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&ti));
    EXPECT_FALSE(IsWindowVisible(tip));
}

TEST_F(PaintTest, MessageBoxTakesTheQueuedAnswerAndIsRecorded) {
    HWND owner = Make(100, 100, 300, 200);
    size_t before = MessageBoxesShown().size();
    QueueMessageBoxAnswer(IDNO);
    EXPECT_EQ(MessageBox(owner, L"您确定要退出？", L"提示", MB_YESNO), IDNO);
    // Without an answer and without automation, the first button answers.
    EXPECT_EQ(MessageBox(owner, L"加载资源文件失败", L"Veneer", MB_OK | MB_ICONERROR), IDOK);
    auto boxes = MessageBoxesShown();
    ASSERT_EQ(boxes.size(), before + 2);
    EXPECT_EQ(boxes[before].caption, L"提示");
    EXPECT_EQ(boxes[before].result, IDNO);
    EXPECT_EQ(boxes[before + 1].text, L"加载资源文件失败");
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(PaintTest, OpenMessageBoxIsDrawnAndAnsweredByAClickOnItsButton) {
    std::string sock = TempPng("msgbox_sock");
    ASSERT_TRUE(AutomationStart(sock.c_str()));
    HWND owner = Make(100, 100, 300, 200);
    std::atomic<bool> ownerDisabled{false};
    std::atomic<bool> drawn{false};
    HWND box = nullptr;
    std::thread helper([&] {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (std::chrono::steady_clock::now() < deadline) {
            box = FindWindow(L"#32770", nullptr);
            if (box && IsWindowVisible(box))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (box) {
            ownerDisabled = !IsWindowEnabled(owner);
            HeadlessWaitIdle(2000);
            HeadlessImage img = HeadlessCaptureWindow(box);
            bool white = false, dark = false;
            for (uint32_t p : img.pixels) {
                if (p == 0xFFFFFFFFu)
                    white = true;
                if ((p & 0xFF) < 60)
                    dark = true;
            }
            drawn = white && dark;
            // The last button (Cancel) sits at the bottom right.
            RECT r;
            GetWindowRect(box, &r);
            Click(r.right - 16 - 44, r.bottom - 16 - 14);
            HeadlessWaitIdle(2000);
        }
        // Never leave the box waiting, whatever happened above.
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (box && IsWindow(box) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!box || IsWindow(box))
            QueueMessageBoxAnswer(IDOK);
    });
    int result = MessageBox(owner, L"继续吗？", L"提示", MB_OKCANCEL);
    helper.join();
    AutomationStop();
    EXPECT_FALSE(AutomationRunning());
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(drawn);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_FALSE(IsWindow(box));
    EXPECT_EQ(GetActiveWindow(), owner);
}

TEST_F(PaintTest, FolderChooserGivesTheQueuedAnswer) {
    HWND owner = Make(100, 100, 300, 200);
    wchar_t name[MAX_PATH];
    BROWSEINFO bi{};
    bi.hwndOwner = owner;
    bi.pszDisplayName = name;
    bi.lpszTitle = L"选择一个文件夹";
    QueueFolderAnswer(L"/opt/Tarvex");
    PIDLIST_ABSOLUTE item = SHBrowseForFolder(&bi);
    ASSERT_TRUE(item);
    wchar_t path[MAX_PATH];
    ASSERT_TRUE(SHGetPathFromIDList(item, path));
    EXPECT_STREQ(path, L"/opt/Tarvex");
    EXPECT_STREQ(name, L"Tarvex");
    CoTaskMemFree(item);
    EXPECT_FALSE(SHGetPathFromIDList(item, path)); // freed items are refused
    EXPECT_STREQ(path, L"");
    QueueFolderAnswer(nullptr);
    EXPECT_EQ(SHBrowseForFolder(&bi), nullptr);
    // No answer and no automation: cancelled at once.
    EXPECT_EQ(SHBrowseForFolder(&bi), nullptr);
    EXPECT_EQ(FolderRequestsMade().back(), L"选择一个文件夹");
    EXPECT_FALSE(SHGetPathFromIDList(nullptr, path));
}

} // namespace

namespace {

TEST_F(PaintTest, ChildWindowsShowInsideTheirParentAndTakeTheirClicks) {
    HWND parent = Make(100, 100, 200, 200);
    SetHandler(parent, SolidPainter(RGB(200, 0, 0)));
    HWND child = CreateWindowEx(0, kRecClass, L"c", WS_CHILD | WS_VISIBLE, 10, 10, 30, 30, parent,
                                nullptr, nullptr, nullptr);
    ASSERT_TRUE(child);
    SetHandler(child, SolidPainter(RGB(0, 0, 200)));
    PumpNow();
    HeadlessImage img = HeadlessCaptureScreen();
    EXPECT_EQ(img.At(120, 120), Argb(RGB(0, 0, 200)));
    EXPECT_EQ(img.At(200, 200), Argb(RGB(200, 0, 0)));
    Click(125, 125);
    ASSERT_TRUE(PumpUntil([&] { return CountOf(child, WM_LBUTTONUP) == 1; }));
    std::vector<Rec> keep;
    const Rec* down = LastOf(child, WM_LBUTTONDOWN, keep);
    EXPECT_EQ(GET_X_LPARAM(down->lParam), 15);
    EXPECT_EQ(CountOf(parent, WM_LBUTTONDOWN), 0);
    // Moving the child repaints the parent where it was.
    SetWindowPos(child, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PumpNow();
    img = HeadlessCaptureScreen();
    EXPECT_EQ(img.At(120, 120), Argb(RGB(200, 0, 0)));
    EXPECT_EQ(img.At(215, 215), Argb(RGB(0, 0, 200)));
    DestroyWindow(child);
    PumpNow();
    EXPECT_EQ(HeadlessCaptureScreen().At(215, 215), Argb(RGB(200, 0, 0)));
}

} // namespace

namespace {

TEST_F(PaintTest, PushedLayeredWindowIsNeverErasedAndUnreadyOneIsNotShown) {
    WNDCLASS wc{};
    wc.lpfnWndProc = DefWindowProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOW + 1));
    wc.lpszClassName = L"PlatTestShadowLike";
    RegisterClass(&wc);
    HWND l = Make(0, 0, 0, 0, nullptr, WS_POPUP, WS_EX_LAYERED | WS_EX_TRANSPARENT,
                  L"PlatTestShadowLike");
    SetWindowPos(l, nullptr, 500, 500, 100, 100, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    PumpNow();
    // Visible, but without content it is not on the screen.
    EXPECT_TRUE(IsWindowVisible(l));
    EXPECT_EQ(HeadlessCaptureScreen().At(550, 550), kHeadlessDesktopColor);
    HDC src;
    HBITMAP bm = MakeAlphaBitmap(120, 120, 255, RGB(0, 0, 0), &src); // black frame, clear middle
    POINT dst{490, 490}, zero{0, 0};
    SIZE size{120, 120};
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ASSERT_TRUE(UpdateLayeredWindow(l, nullptr, &dst, &size, src, &zero, 0, &bf, ULW_ALPHA));
    DeleteDC(src);
    DeleteObject(bm);
    // Showing again and resizing never make the system paint over the pixels.
    ShowWindow(l, SW_HIDE);
    ShowWindow(l, SW_SHOWNOACTIVATE);
    PumpNow();
    HeadlessImage img = HeadlessCaptureScreen();
    EXPECT_EQ(img.At(492, 492), 0xFF000000u);           // the opaque frame
    EXPECT_EQ(img.At(550, 550), kHeadlessDesktopColor); // the clear middle
}

} // namespace

namespace {

TEST_F(PaintTest, TooltipWrapsAtItsMaximumWidthAndFollowsNewText) {
    HWND h = Make(100, 100, 300, 200);
    HWND tip = CreateWindowEx(0, TOOLTIPS_CLASS, nullptr, WS_POPUP, 0, 0, 0, 0, h, nullptr, nullptr,
                              nullptr);
    ASSERT_TRUE(tip);
    made.push_back(tip);
    wchar_t shortText[] = L"Short";
    wchar_t longText[] = L"A much longer tip text that cannot fit on one line of eighty pixels";
    TOOLINFO ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND;
    ti.hwnd = h;
    ti.uId = reinterpret_cast<UINT_PTR>(h);
    ti.lpszText = shortText;
    SendMessage(tip, TTM_ADDTOOL, 0, reinterpret_cast<LPARAM>(&ti));
    SendMessage(tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&ti));
    RECT one;
    GetWindowRect(tip, &one);
    SendMessage(tip, TTM_SETMAXTIPWIDTH, 0, 80);
    EXPECT_EQ(SendMessage(tip, TTM_GETMAXTIPWIDTH, 0, 0), 80);
    ti.lpszText = longText;
    SendMessage(tip, TTM_SETTOOLINFO, 0, reinterpret_cast<LPARAM>(&ti)); // visible: updates at once
    RECT wrapped;
    GetWindowRect(tip, &wrapped);
    EXPECT_LE(wrapped.right - wrapped.left, 80 + 16);
    EXPECT_GT(wrapped.bottom - wrapped.top, 2 * (one.bottom - one.top) - 8); // several lines
    // A tool that was never added shows nothing.
    TOOLINFO other = ti;
    other.uId = 12345;
    SendMessage(tip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&ti));
    SendMessage(tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&other));
    EXPECT_FALSE(IsWindowVisible(tip));
    EXPECT_EQ(SendMessage(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
}

} // namespace
