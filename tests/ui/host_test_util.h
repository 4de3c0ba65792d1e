// Helpers for the window host tests: a real window (CWindowWnd) whose paint
// manager holds a tree built from markup, controls that record the events
// they get, bounded message pumping and input injection.
#pragma once

#include "control_test_util.h"
#include "plat/automation/automation.h"
#include "plat/backend/input.h"
#include "plat/sys/clock.h"
#include "plat/sys/files.h"
#include "plat/sys/resource.h"
#include "plat/win/winuser.h"
#include "ui/UIWindow.h"
#include "ui/UIWindowImpl.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace host_test {

using namespace Veneer;

// One event as a recording control saw it.
struct EventRec {
    std::wstring control;
    int type;
    bool senderIsControl; // pSender named the receiving control
    bool senderNull;
    POINT pt;
    DWORD time;
    WPARAM wParam;
    WORD keyState;
    wchar_t key;
};

inline std::vector<EventRec>& Events() {
    static std::vector<EventRec> v;
    return v;
}

// Events of the given types only (all when empty), as "name:type" pairs.
inline std::vector<std::pair<std::wstring, int>> EventsOf(std::vector<int> types) {
    std::vector<std::pair<std::wstring, int>> out;
    for (const EventRec& e : Events())
        if (types.empty() || std::find(types.begin(), types.end(), e.type) != types.end())
            out.emplace_back(e.control, e.type);
    return out;
}

// A control that records every event it gets; markup element "Rec".
class CRecControlUI : public CControlUI {
public:
    LPCWSTR GetClass() const override { return L"RecUI"; }
    UINT GetControlFlags() const override { return m_uFlags; }
    void DoEvent(TEventUI& event) override {
        Events().push_back(EventRec{GetName().str(), event.Type, event.pSender == this,
                                    event.pSender == nullptr, event.ptMouse, event.dwTimestamp,
                                    event.wParam, event.wKeyState, event.chKey});
        CControlUI::DoEvent(event);
    }
    void SetAttribute(LPCWSTR pstrName, LPCWSTR pstrValue) override {
        if (std::wcscmp(pstrName, L"tabstop") == 0)
            m_uFlags |= std::wcscmp(pstrValue, L"true") == 0 ? UIFLAG_TABSTOP : 0;
        else if (std::wcscmp(pstrName, L"setcursor") == 0)
            m_uFlags |= std::wcscmp(pstrValue, L"true") == 0 ? UIFLAG_SETCURSOR : 0;
        else
            CControlUI::SetAttribute(pstrName, pstrValue);
    }
    UINT m_uFlags = 0;
};

// A top-level window hosting a paint manager: created from markup (the
// tree is attached at WM_CREATE), notifications recorded.
class HostWindow : public CWindowWnd, public INotifyUI, public IDialogBuilderCallback {
public:
    explicit HostWindow(std::wstring xml, LPCTSTR cls = L"HostTestWindow")
        : m_xml(std::move(xml)), m_cls(cls) {}
    ~HostWindow() {
        if (plat::IsWindow(m_hWnd))
            plat::DestroyWindow(m_hWnd);
    }

    LPCTSTR GetWindowClassName() const override { return m_cls; }
    UINT GetClassStyle() const override { return CS_DBLCLKS; }
    CControlUI* CreateControl(LPCWSTR pstrClass) override {
        return std::wcscmp(pstrClass, L"Rec") == 0 ? new CRecControlUI : nullptr;
    }
    void Notify(TNotifyUI& msg) override {
        notes.push_back(msg.sType + L":" + (msg.pSender ? msg.pSender->GetName().str() : L""));
        if (onNotify)
            onNotify(msg);
    }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        if (uMsg == WM_CREATE) {
            pm.Init(m_hWnd);
            CDialogBuilder builder;
            CControlUI* root = builder.Create(STRINGorID(m_xml.c_str()), nullptr, this, &pm);
            if (root != nullptr)
                pm.AttachDialog(root);
            pm.AddNotifier(this);
            return 0;
        }
        if (uMsg == WM_DESTROY)
            pm.RemoveNotifier(this);
        LRESULT lRes = 0;
        if (pm.MessageHandler(uMsg, wParam, lParam, lRes))
            return lRes;
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }
    // Creates the window at (x, y), sized w x h, and shows it.
    HWND Open(int x, int y, int w, int h, HWND owner = nullptr) {
        Create(owner, L"host", WS_POPUP, 0, x, y, w, h);
        if (m_hWnd != nullptr)
            plat::ShowWindow(m_hWnd, SW_SHOWNORMAL);
        return m_hWnd;
    }

    CPaintManagerUI pm;
    std::vector<std::wstring> notes;
    std::function<void(TNotifyUI&)> onNotify;

private:
    std::wstring m_xml;
    LPCTSTR m_cls;
};

// Retrieves and dispatches, through the toolkit's pre-translation, what is
// ready now.
inline void PumpNow() {
    MSG m;
    while (plat::PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
            plat::PostQuitMessage(static_cast<int>(m.wParam));
            return;
        }
        if (!CPaintManagerUI::TranslateMessage(&m)) {
            plat::TranslateMessage(&m);
            plat::DispatchMessage(&m);
        }
    }
}

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

// Injects a mouse move and handles it.
inline void MoveTo(int x, int y) {
    plat::input_mouse_move(x, y);
    PumpNow();
}

inline void Button(bool down, int button = plat::InputButtonLeft) {
    plat::input_mouse_button(button, down);
    PumpNow();
}

inline void Key(UINT vk, bool down) {
    plat::input_key(vk, down);
    PumpNow();
}

// Ends any modal loop that would run for ever.
struct QuitGuard {
    UINT_PTR id = plat::SetTimer(nullptr, 0, 8000,
                                 [](HWND, UINT, UINT_PTR, DWORD) { plat::PostQuitMessage(99); });
    ~QuitGuard() { plat::KillTimer(nullptr, id); }
};

} // namespace host_test

namespace host_test {

// A skinned window on WindowImplBase whose layout comes from the test
// program's own embedded skin archive (resource ZIPRES 129).
class SkinWindow : public WindowImplBase {
public:
    explicit SkinWindow(std::wstring layout = L"hostwindow.xml", LPCTSTR cls = L"SkinTestWindow")
        : m_layout(std::move(layout)), m_cls(cls) {}
    ~SkinWindow() override {
        if (plat::IsWindow(m_hWnd))
            plat::DestroyWindow(m_hWnd);
    }
    LPCTSTR GetWindowClassName() const override { return m_cls; }
    CStdString GetSkinDirectory() override { return L""; }
    CStdString GetLayoutFileName() override { return m_layout; }
    UILIB_RESOURCETYPE GetResourceType() const override { return UILIB_ZIPRESOURCE; }
    LPCTSTR GetResourceID() const override { return MAKEINTRESOURCE(129); }
    void InitWindow() override { ++inits; }
    void OnClick(TNotifyUI& msg) override {
        clicks.push_back(msg.pSender ? msg.pSender->GetName().str() : L"");
        if (callBaseOnClick)
            WindowImplBase::OnClick(msg);
    }
    // Creates the window as the installer does (style, extended style,
    // default position), centred.
    HWND Open(HWND owner = nullptr, DWORD style = 0x96C80000) {
        CPaintManagerUI::SetInstance(plat::GetModuleHandle(nullptr));
        HWND h = Create(owner, L"skin", style, 0x100, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT);
        if (h != nullptr)
            CenterWindow();
        return h;
    }
    CPaintManagerUI& PM() { return m_PaintManager; }
    // Key-downs that reached the window's own handler (after the
    // pre-translation let them through).
    LRESULT OnKeyDown(UINT, WPARAM wParam, LPARAM, bool& bHandled) override {
        keyDowns.push_back(static_cast<UINT>(wParam));
        bHandled = false;
        return 0;
    }

    int inits = 0;
    std::vector<UINT> keyDowns;
    bool callBaseOnClick = true;
    std::vector<std::wstring> clicks;

private:
    std::wstring m_layout;
    LPCTSTR m_cls;
};

// Screen point of a control's centre.
inline POINT ScreenCentre(HWND hwnd, CControlUI* c) {
    const RECT& rc = c->GetPos();
    POINT pt = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    plat::ClientToScreen(hwnd, &pt);
    return pt;
}

} // namespace host_test
