// Shared helpers for the window system tests: a window class that records
// every message it gets, per-window handlers, and bounded message pumping.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "plat/automation/automation.h"
#include "plat/backend/input.h"
#include "plat/gfx/gdi.h"
#include "plat/win/winuser.h"

namespace wintest {

using namespace plat;

struct Rec {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// Messages seen by recording windows, in order (any thread).
inline std::mutex& LogMutex() {
    static std::mutex m;
    return m;
}
inline std::vector<Rec>& Log() {
    static std::vector<Rec> v;
    return v;
}
inline void ClearLog() {
    std::lock_guard<std::mutex> g(LogMutex());
    Log().clear();
}
inline std::vector<Rec> LogCopy() {
    std::lock_guard<std::mutex> g(LogMutex());
    return Log();
}
// The messages of one window, in order, limited to those in `only` when given.
inline std::vector<UINT> MessagesOf(HWND h, std::vector<UINT> only = {}) {
    std::vector<UINT> out;
    for (auto& r : LogCopy())
        if (r.hwnd == h &&
            (only.empty() || std::find(only.begin(), only.end(), r.msg) != only.end()))
            out.push_back(r.msg);
    return out;
}
inline int CountOf(HWND h, UINT msg) {
    int n = 0;
    for (auto& r : LogCopy())
        if (r.hwnd == h && r.msg == msg)
            ++n;
    return n;
}
inline const Rec* LastOf(HWND h, UINT msg, std::vector<Rec>& keep) {
    keep = LogCopy();
    for (auto it = keep.rbegin(); it != keep.rend(); ++it)
        if (it->hwnd == h && it->msg == msg)
            return &*it;
    return nullptr;
}

// A handler may answer a message itself (returns true and sets result).
using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)>;
inline std::mutex& HandlerMutex() {
    static std::mutex m;
    return m;
}
inline std::map<HWND, Handler>& Handlers() {
    static std::map<HWND, Handler> m;
    return m;
}
inline void SetHandler(HWND h, Handler fn) {
    std::lock_guard<std::mutex> g(HandlerMutex());
    Handlers()[h] = std::move(fn);
}

inline LRESULT RecordingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    {
        std::lock_guard<std::mutex> g(LogMutex());
        Log().push_back(Rec{h, msg, wp, lp});
    }
    Handler fn;
    {
        std::lock_guard<std::mutex> g(HandlerMutex());
        auto it = Handlers().find(h);
        if (it != Handlers().end())
            fn = it->second;
    }
    LRESULT r = 0;
    if (fn && fn(h, msg, wp, lp, &r))
        return r;
    return DefWindowProc(h, msg, wp, lp);
}

constexpr const wchar_t* kRecClass = L"PlatTestRecorder";
constexpr const wchar_t* kDblClass = L"PlatTestRecorderDbl";

inline void RegisterTestClasses() {
    WNDCLASSEX wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = kRecClass;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassEx(&wc);
    wc.style = CS_DBLCLKS;
    wc.lpszClassName = kDblClass;
    RegisterClassEx(&wc);
}

// Retrieves and dispatches everything that is ready now.
inline void PumpNow() {
    MSG m;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            return;
        }
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
}

// Pumps until cond() holds or timeoutMs passes; returns cond().
inline bool PumpUntil(const std::function<bool()>& cond, int timeoutMs = 3000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        PumpNow();
        if (cond())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// A fixture that registers the classes, clears the log and destroys every
// window the test left behind.
class WinTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterTestClasses();
        ClearLog();
        PumpNow();
    }
    void TearDown() override {
        for (HWND h : made)
            if (IsWindow(h))
                DestroyWindow(h);
        made.clear();
        {
            std::lock_guard<std::mutex> g(HandlerMutex());
            Handlers().clear();
        }
        // Leave no input state behind for the next test.
        for (UINT vk : {VK_MENU, VK_SHIFT, VK_CONTROL, VK_F4})
            input_key(vk, false);
        input_mouse_button(InputButtonLeft, false);
        input_mouse_move(1900, 1060);
        PumpNow();
        MSG m;
        while (PeekMessage(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    HWND Make(int x, int y, int w, int h, HWND owner = nullptr, DWORD style = WS_POPUP | WS_VISIBLE,
              DWORD exStyle = 0, const wchar_t* cls = kRecClass, const wchar_t* title = L"t",
              void* param = nullptr) {
        HWND hwnd =
            CreateWindowEx(exStyle, cls, title, style, x, y, w, h, owner, nullptr, nullptr, param);
        if (hwnd)
            made.push_back(hwnd);
        return hwnd;
    }
    std::vector<HWND> made;
};

// Paints a window's client area with a solid colour when it gets WM_PAINT.
inline Handler SolidPainter(COLORREF color) {
    return [color](HWND h, UINT msg, WPARAM, LPARAM, LRESULT* r) {
        if (msg != WM_PAINT)
            return false;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        RECT rc;
        GetClientRect(h, &rc);
        HBRUSH b = CreateSolidBrush(color);
        FillRect(dc, &rc, b);
        DeleteObject(b);
        EndPaint(h, &ps);
        *r = 0;
        return true;
    };
}

inline void Click(int x, int y, int button = InputButtonLeft) {
    input_mouse_move(x, y);
    input_mouse_button(button, true);
    input_mouse_button(button, false);
}

inline uint32_t Argb(COLORREF c) {
    return 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

} // namespace wintest
