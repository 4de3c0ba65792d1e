// MessageBox: a modal box drawn by plat, with the answers and records of
// plat/win/dialog_answers.h.
#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>

#include "plat/gfx/gdi.h"
#include "plat/win/dialog_answers.h"
#include "plat/win/dialog_look.h"
#include "plat/win/modal.h"
#include "plat/win/wm_internal.h"

namespace plat {
namespace wm {

namespace {

struct BoxState {
    std::vector<int> buttons; // IDs, left to right
    std::vector<RECT> buttonRects;
    int result = 0;
    std::wstring text;
    std::wstring caption;
    size_t record = 0;
};

std::mutex g_boxMutex;
std::deque<int> g_boxAnswers;
std::vector<MessageBoxRecord> g_boxRecords;
std::atomic<bool> g_answersExpected{false};
std::map<HWND, BoxState> g_boxes; // open boxes

constexpr int kWidth = 400;

std::vector<int> ButtonsFor(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    default:
        return {IDOK};
    }
}

const wchar_t* ButtonText(int id) {
    switch (id) {
    case IDOK:
        return L"确定";
    case IDCANCEL:
        return L"取消";
    case IDABORT:
        return L"中止";
    case IDRETRY:
        return L"重试";
    case IDIGNORE:
        return L"忽略";
    case IDYES:
        return L"是";
    case IDNO:
        return L"否";
    default:
        return L"";
    }
}

// What Escape or the close command means: Cancel when there is one, OK for
// a lone OK button, else nothing.
int EscapeResult(const std::vector<int>& buttons) {
    if (std::find(buttons.begin(), buttons.end(), IDCANCEL) != buttons.end())
        return IDCANCEL;
    if (buttons.size() == 1 && buttons[0] == IDOK)
        return IDOK;
    return 0;
}

void Finish(HWND hwnd, int id) {
    std::lock_guard<std::mutex> g(g_boxMutex);
    auto it = g_boxes.find(hwnd);
    if (it != g_boxes.end() && !it->second.result)
        it->second.result = id;
}

void PaintBox(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc)
        return;
    BoxState b;
    {
        std::lock_guard<std::mutex> g(g_boxMutex);
        b = g_boxes[hwnd];
    }
    RECT rc;
    GetClientRect(hwnd, &rc);
    HGDIOBJ old = BeginDialogText(dc);
    PaintDialogFrame(dc, rc, b.caption);
    RECT text{kDialogPad, kDialogCaptionH + kDialogPad, rc.right - kDialogPad,
              rc.bottom - kDialogButtonH - 2 * kDialogPad};
    DrawText(dc, b.text.c_str(), -1, &text, DT_WORDBREAK | DT_NOPREFIX);
    for (size_t i = 0; i < b.buttons.size(); ++i)
        PaintDialogButton(dc, b.buttonRects[i], ButtonText(b.buttons[i]), i == 0);
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
}

int ButtonIdAt(HWND hwnd, POINT pt) {
    std::lock_guard<std::mutex> g(g_boxMutex);
    auto& b = g_boxes[hwnd];
    const int i = DialogButtonAt(b.buttonRects, pt);
    return i >= 0 && i < static_cast<int>(b.buttons.size()) ? b.buttons[i] : 0;
}

} // namespace

LRESULT MessageBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        PaintBox(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_NCHITTEST:
        return DialogHitTest(hwnd, lParam);
    case WM_LBUTTONUP: {
        int id = ButtonIdAt(hwnd, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (id)
            Finish(hwnd, id);
        return 0;
    }
    case WM_KEYDOWN: {
        std::vector<int> buttons;
        {
            std::lock_guard<std::mutex> g(g_boxMutex);
            buttons = g_boxes[hwnd].buttons;
        }
        if (wParam == static_cast<WPARAM>(VK_RETURN) && !buttons.empty())
            Finish(hwnd, buttons[0]);
        if (wParam == static_cast<WPARAM>(VK_ESCAPE)) {
            int r = EscapeResult(buttons);
            if (r)
                Finish(hwnd, r);
        }
        return 0;
    }
    case WM_CLOSE: {
        std::vector<int> buttons;
        {
            std::lock_guard<std::mutex> g(g_boxMutex);
            buttons = g_boxes[hwnd].buttons;
        }
        int r = EscapeResult(buttons);
        if (r)
            Finish(hwnd, r);
        return 0;
    }
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

} // namespace wm

using namespace wm;

int MessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    std::vector<int> buttons = ButtonsFor(type);
    size_t record;
    int answer = 0;
    {
        std::lock_guard<std::mutex> g(g_boxMutex);
        MessageBoxRecord rec;
        rec.caption = caption ? caption : L"错误";
        rec.text = text ? text : L"";
        rec.type = type;
        g_boxRecords.push_back(rec);
        record = g_boxRecords.size() - 1;
        if (!g_boxAnswers.empty()) {
            answer = g_boxAnswers.front();
            g_boxAnswers.pop_front();
        } else if (!GetBackend().interactive && !g_answersExpected) {
            // Nobody can click a box nobody sees: it is recorded and answered
            // with its first button, as pressing Enter would.
            answer = buttons[0];
        }
        if (answer)
            g_boxRecords[record].result = answer;
    }
    if (answer)
        return answer;

    owner = owner ? TopLevelOf(owner) : nullptr;
    EnsureSystemClasses();
    // Size the box for its text.
    HDC mdc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFont = SelectObject(mdc, GetStockObject(DEFAULT_GUI_FONT));
    RECT tr{0, 0, kWidth - 2 * kDialogPad, 0};
    std::wstring body = text ? text : L"";
    DrawText(mdc, body.c_str(), -1, &tr, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(mdc, oldFont);
    DeleteDC(mdc);
    int height = kDialogCaptionH + kDialogPad + std::max<int>(tr.bottom - tr.top, 20) +
                 2 * kDialogPad + kDialogButtonH;
    POINT at = DialogPosition(owner, kWidth, height);

    HWND box = CreateWindowEx(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, L"#32770",
                              caption ? caption : L"错误", WS_POPUP | WS_CAPTION | WS_SYSMENU, at.x,
                              at.y, kWidth, height, owner, nullptr, nullptr, nullptr);
    if (!box)
        return 0;
    {
        std::lock_guard<std::mutex> g(g_boxMutex);
        BoxState& b = g_boxes[box];
        b.buttons = buttons;
        b.text = body;
        b.caption = caption ? caption : L"错误";
        b.record = record;
        b.buttonRects = DialogButtonRects(kWidth, height, static_cast<int>(buttons.size()));
    }
    ModalLoop loop(owner);
    ShowWindow(box, SW_SHOWNORMAL);

    int result = 0;
    loop.Run([&] {
        std::lock_guard<std::mutex> g(g_boxMutex);
        auto it = g_boxes.find(box);
        if (it == g_boxes.end())
            return false;
        if (it->second.result) {
            result = it->second.result;
            return false;
        }
        if (!g_boxAnswers.empty()) {
            result = g_boxAnswers.front();
            g_boxAnswers.pop_front();
            return false;
        }
        return IsWindow(box) != FALSE;
    });
    // The loop has handed the owner back (enabled, focused) before the box
    // goes, so that activation returns to it.
    if (IsWindow(box))
        DestroyWindow(box);
    {
        std::lock_guard<std::mutex> g(g_boxMutex);
        g_boxes.erase(box);
        g_boxRecords[record].result = result;
    }
    return result;
}

void QueueMessageBoxAnswer(int id) {
    std::vector<DWORD> wake;
    {
        std::lock_guard<std::mutex> g(g_boxMutex);
        bool taken = false;
        for (auto& [h, b] : g_boxes)
            if (!b.result) {
                b.result = id;
                wake.push_back(GetWindowThreadProcessId(h, nullptr));
                taken = true;
                break;
            }
        if (!taken)
            g_boxAnswers.push_back(id);
    }
    for (DWORD tid : wake)
        PostThreadMessage(tid, WM_NULL, 0, 0);
}

std::vector<MessageBoxRecord> MessageBoxesShown() {
    std::lock_guard<std::mutex> g(g_boxMutex);
    return g_boxRecords;
}

} // namespace plat

namespace plat {

void SetDialogAnswersExpected(bool expected) {
    wm::g_answersExpected = expected;
}

bool DialogAnswersExpected() {
    return wm::g_answersExpected;
}

} // namespace plat
