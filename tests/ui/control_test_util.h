// Helpers for the control tests: a paint manager without a native window
// holding a tree built from markup, a recorder of notifications, and event
// delivery as the paint manager's dispatch makes it.
#pragma once

#include "plat/gfx/gdi.h"
#include "ui/test_access.h"
#include "ui/Veneer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ctl_test {

using namespace Veneer;

// Every notification a manager delivers, in order.
class Recorder : public INotifyUI {
public:
    struct Entry {
        std::wstring type;
        CControlUI* sender;
        WPARAM wParam;
        LPARAM lParam;
    };
    void Notify(TNotifyUI& msg) override {
        entries.push_back(Entry{msg.sType, msg.pSender, msg.wParam, msg.lParam});
    }
    // Names of the notifications of one type, or of all when type is empty.
    std::vector<std::wstring> Types(const std::wstring& only = L"") const {
        std::vector<std::wstring> out;
        for (const Entry& e : entries)
            if (only.empty() || e.type == only)
                out.push_back(e.type);
        return out;
    }
    int Count(const std::wstring& type) const {
        int n = 0;
        for (const Entry& e : entries)
            n += e.type == type ? 1 : 0;
        return n;
    }
    std::vector<Entry> entries;
};

// A window's worth of toolkit without a native window.
class Window {
public:
    Window() { pm.AddNotifier(&recorder); }
    ~Window() { pm.RemoveNotifier(&recorder); }

    // Builds markup text (wrapped in a Window element unless it is one),
    // attaches the tree and sizes the client area (the Window element's size
    // when w and h are 0). Without a native window the Window element's
    // attributes are applied explicitly, as an off-screen renderer does.
    CControlUI* Build(const std::wstring& xml, int w = 0, int h = 0) {
        std::wstring doc =
            xml.compare(0, 7, L"<Window") == 0 ? xml : L"<Window>" + xml + L"</Window>";
        CDialogBuilder builder;
        CControlUI* root = builder.Create(STRINGorID(doc.c_str()), nullptr, nullptr, &pm);
        if (root == nullptr)
            return nullptr;
        if (pm.GetPaintWindow() == nullptr)
            builder.ApplyWindowAttributes(&pm);
        pm.AttachDialog(root);
        if (w > 0 && h > 0)
            pm.SetClientSize(w, h);
        return root;
    }
    // Attaches a tree built in code.
    void Attach(CControlUI* root, int w, int h) {
        pm.AttachDialog(root);
        pm.SetClientSize(w, h);
    }
    bool Paint() {
        RECT all = {0, 0, pm.GetClientSize().cx, pm.GetClientSize().cy};
        return Inspect(pm).PaintOffscreen(&all);
    }
    // Premultiplied 0xAARRGGBB of the back buffer.
    uint32_t Pixel(int x, int y) {
        plat::DWORD v = 0;
        plat::GetPixelArgb(Inspect(pm).GetOffscreenDC(), x, y, &v);
        return v;
    }
    CControlUI* Find(const wchar_t* name) { return pm.FindControl(name); }
    template <class T> T* FindAs(const wchar_t* name) { return dynamic_cast<T*>(Find(name)); }

    // Delivers one event to a control as the manager's dispatch does.
    static void Send(CControlUI* control, int type, POINT pt = {0, 0}, WPARAM wParam = 0,
                     wchar_t key = 0) {
        TEventUI event;
        event.Type = type;
        event.pSender = control;
        event.ptMouse = pt;
        event.wParam = wParam;
        event.chKey = key;
        control->Event(event);
    }
    // Centre of a control's rectangle.
    static POINT Centre(CControlUI* control) {
        const RECT& rc = control->GetPos();
        return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    // Press and release at the given points, with the mouse entering first.
    static void Click(CControlUI* control, POINT down, POINT up) {
        Send(control, UIEVENT_MOUSEENTER, down);
        Send(control, UIEVENT_BUTTONDOWN, down);
        Send(control, UIEVENT_MOUSEMOVE, up);
        Send(control, UIEVENT_BUTTONUP, up);
    }
    static void Click(CControlUI* control) { Click(control, Centre(control), Centre(control)); }

    CPaintManagerUI pm;
    Recorder recorder;
};

inline bool RectIs(const RECT& rc, int l, int t, int r, int b) {
    return rc.left == l && rc.top == t && rc.right == r && rc.bottom == b;
}

inline std::string RectText(const RECT& rc) {
    return "(" + std::to_string(rc.left) + "," + std::to_string(rc.top) + "," +
           std::to_string(rc.right) + "," + std::to_string(rc.bottom) + ")";
}

} // namespace ctl_test
