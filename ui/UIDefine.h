// Event and notification records, the event type numbers, the notification
// names, and the flag values that controls and the paint manager share.
//
// An event (tagTEventUI) goes from a window's paint manager to one control
// through CControlUI::Event; a notification (tagTNotifyUI) goes from a
// control, through the manager's SendNotify, to the window's listeners.
#pragma once

#include "plat/sys/wintypes.h"

#include <functional>
#include <string>
#include <vector>

namespace Veneer {

using plat::DWORD;
using plat::LPARAM;
using plat::LPCWSTR;
using plat::LRESULT;
using plat::POINT;
using plat::RECT;
using plat::SIZE;
using plat::UINT;
using plat::WORD;
using plat::WPARAM;

class CControlUI;
class CPaintManagerUI;

// Event types. The numbers are fixed: controls test ranges, so the marker
// values stay in the enumeration. Strictly between UIEVENT__MOUSEBEGIN and
// UIEVENT__MOUSEEND (9..18) are mouse events, strictly between
// UIEVENT__KEYBEGIN and UIEVENT__KEYEND (3..6) keyboard events. Markers are
// never delivered.
enum EventType {
    UIEVENT__FIRST = 1,
    UIEVENT__KEYBEGIN = 2,
    UIEVENT_KEYDOWN = 3,
    UIEVENT_KEYUP = 4,
    UIEVENT_CHAR = 5,
    UIEVENT_SYSKEY = 6,
    UIEVENT__KEYEND = 7,
    UIEVENT__MOUSEBEGIN = 8,
    UIEVENT_MOUSEMOVE = 9,
    UIEVENT_MOUSELEAVE = 10,
    UIEVENT_MOUSEENTER = 11,
    UIEVENT_MOUSEHOVER = 12,
    UIEVENT_BUTTONDOWN = 13,
    UIEVENT_BUTTONUP = 14,
    UIEVENT_RBUTTONDOWN = 15,
    UIEVENT_DBLCLICK = 16,
    UIEVENT_CONTEXTMENU = 17,
    UIEVENT_SCROLLWHEEL = 18,
    UIEVENT__MOUSEEND = 19,
    UIEVENT_KILLFOCUS = 20,
    UIEVENT_SETFOCUS = 21,
    UIEVENT_WINDOWSIZE = 22,
    UIEVENT_SETCURSOR = 23,
    UIEVENT_TIMER = 24,
    UIEVENT_NOTIFY = 25,
    UIEVENT_COMMAND = 26,
    UIEVENT__LAST = 27,
};

// True for the event types 9..18 and 3..6 respectively.
inline bool IsMouseEvent(int type) {
    return type > UIEVENT__MOUSEBEGIN && type < UIEVENT__MOUSEEND;
}
inline bool IsKeyboardEvent(int type) {
    return type > UIEVENT__KEYBEGIN && type < UIEVENT__KEYEND;
}

// Modifier and mouse-button flags of tagTEventUI::keyState.
constexpr WORD UIKEY_LBUTTON = 0x0001; // MK_LBUTTON
constexpr WORD UIKEY_RBUTTON = 0x0002; // MK_RBUTTON
constexpr WORD UIKEY_SHIFT = 0x0004;   // MK_SHIFT
constexpr WORD UIKEY_CONTROL = 0x0008; // MK_CONTROL
constexpr WORD UIKEY_ALT = 0x0020;     // MK_ALT

// FindControl flags: visible, enabled, hit test (point in data), search the
// children last-to-first, try a container before its children.
constexpr UINT UIFIND_ALL = 0x00000000;
constexpr UINT UIFIND_VISIBLE = 0x00000001;
constexpr UINT UIFIND_ENABLED = 0x00000002;
constexpr UINT UIFIND_HITTEST = 0x00000004;
constexpr UINT UIFIND_TOP_FIRST = 0x00000008;
constexpr UINT UIFIND_ME_FIRST = 0x80000000;

// GetControlFlags bits: takes the focus by Tab; sets its own cursor.
constexpr UINT UIFLAG_TABSTOP = 0x00000001;
constexpr UINT UIFLAG_SETCURSOR = 0x00000002;
constexpr UINT UIFLAG_WANTRETURN = 0x00000004;

// Button state bits.
constexpr UINT UISTATE_FOCUSED = 0x00000001;
constexpr UINT UISTATE_SELECTED = 0x00000002;
constexpr UINT UISTATE_DISABLED = 0x00000004;
constexpr UINT UISTATE_HOT = 0x00000008;
constexpr UINT UISTATE_PUSHED = 0x00000010;
constexpr UINT UISTATE_READONLY = 0x00000020;
constexpr UINT UISTATE_CAPTURED = 0x00000040;

// Cursor shapes a control asks for (CPaintManagerUI::ShowCursor).
constexpr int UICURSOR_ARROW = 0;
constexpr int UICURSOR_HAND = 1;

// Event record: passed by reference to CControlUI::Event; the receiver must
// not keep it after returning. Unset fields are zero.
struct tagTEventUI {
    int Type = 0;                  // an EventType number
    CControlUI* pSender = nullptr; // receiving control; null for keyboard and SetCursor
    DWORD dwTimestamp = 0;         // tick count in ms
    POINT ptMouse = {0, 0};        // client coordinates
    wchar_t chKey = 0;             // character or virtual-key code
    WORD wKeyState = 0;            // UIKEY_* flags
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
using TEventUI = tagTEventUI;

// Notification record, passed by reference to listeners. sType names the
// notification and is compared exactly (case-sensitive).
struct tagTNotifyUI {
    std::wstring sType;
    std::wstring sVirtualWnd; // filled only when virtual windows are used
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse = {0, 0};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
using TNotifyUI = tagTNotifyUI;

// Notification names.
constexpr LPCWSTR DUI_MSGTYPE_WINDOWINIT = L"windowinit";
constexpr LPCWSTR DUI_MSGTYPE_SETFOCUS = L"setfocus";
constexpr LPCWSTR DUI_MSGTYPE_KILLFOCUS = L"killfocus";
constexpr LPCWSTR DUI_MSGTYPE_CLICK = L"click";
constexpr LPCWSTR DUI_MSGTYPE_SELECTCHANGED = L"selectchanged";
constexpr LPCWSTR DUI_MSGTYPE_TIMER = L"timer";
constexpr LPCWSTR DUI_MSGTYPE_MENU = L"menu";
constexpr LPCWSTR DUI_MSGTYPE_RETURN = L"return";
constexpr LPCWSTR DUI_MSGTYPE_TEXTCHANGED = L"textchanged";
constexpr LPCWSTR DUI_MSGTYPE_LINK = L"link";
constexpr LPCWSTR DUI_MSGTYPE_ITEMSELECT = L"itemselect";
constexpr LPCWSTR DUI_MSGTYPE_ITEMCLICK = L"itemclick";
constexpr LPCWSTR DUI_MSGTYPE_ITEMACTIVATE = L"itemactivate";
constexpr LPCWSTR DUI_MSGTYPE_ITEMDBCLICK = L"itemdbclick";
constexpr LPCWSTR DUI_MSGTYPE_HEADERCLICK = L"headerclick";
constexpr LPCWSTR DUI_MSGTYPE_DROPDOWN = L"dropdown";
constexpr LPCWSTR DUI_MSGTYPE_SCROLL = L"scroll";
constexpr LPCWSTR DUI_MSGTYPE_VALUECHANGED = L"valuechanged";
constexpr LPCWSTR DUI_MSGTYPE_MOVEVALUECHANGED = L"movevaluechanged";
constexpr LPCWSTR DUI_MSGTYPE_TABSELECT = L"tabselect";
constexpr LPCWSTR DUI_MSGTYPE_SHOWACTIVEX = L"showactivex";

// A window's listener for notifications.
class INotifyUI {
public:
    virtual ~INotifyUI() = default;
    virtual void Notify(TNotifyUI& msg) = 0;
};

// Subscribers a control calls on init, destruction, size change, before an
// event and for notifications. Calling the source returns true only when
// every subscriber returns true (an empty source returns true).
class CEventSource {
public:
    using Delegate = std::function<bool(void*)>;

    void operator+=(Delegate d) { m_aDelegates.push_back(std::move(d)); }
    bool IsEmpty() const { return m_aDelegates.empty(); }
    void Clear() { m_aDelegates.clear(); }
    bool operator()(void* param) {
        bool all = true;
        for (auto& d : m_aDelegates)
            if (d && !d(param))
                all = false;
        return all;
    }

private:
    std::vector<Delegate> m_aDelegates;
};

} // namespace Veneer
