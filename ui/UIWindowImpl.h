// WindowImplBase: the base of every skinned window. It turns a CWindowWnd
// into a borderless window drawn entirely from a skin: at creation it drops
// the system caption, binds its paint manager, loads its layout (from a
// folder, a zip file, an "xml" resource or the zip archive held in the
// program's resources), attaches the tree and calls InitWindow. It answers
// the non-client messages (no frame; the skin's caption band drags the
// window, its size box resizes it; a rounded-rectangle region rebuilt on
// every size change) and routes notifications through static message maps
// (CNotifyPump) to handlers such as OnClick.
//
// Message maps: a class with handlers declares UI_DECLARE_MESSAGE_MAP() and
// defines its map between UI_BEGIN_MESSAGE_MAP(Class, Base) and
// UI_END_MESSAGE_MAP(), with UI_ON_MSGTYPE (a notification name, any
// control), UI_ON_MSGTYPE_CTRNAME (that name from one named control) and
// UI_ON_MSGTYPE_PARAMS (a handler taking wParam and lParam). For one
// notification, an entry for the sender's name wins over a generic entry,
// and a derived map is searched before its base.
#pragma once

#include "ui/UIDlgBuilder.h"
#include "ui/UIManager.h"
#include "ui/UIWindow.h"

namespace Veneer {

class CNotifyPump;
// A handler as the pump calls it: a thunk that turns the pump into the
// handler's class and calls the member function.
using UI_PMSG = void (*)(CNotifyPump* pump, TNotifyUI& msg);
using UI_PMSG_PARAMS = LRESULT (*)(CNotifyPump* pump, WPARAM wParam, LPARAM lParam);

template <class> struct UiMemberClass;
template <class C, class R, class... A> struct UiMemberClass<R (C::*)(A...)> { using type = C; };
template <auto F> void UiCallNotify(CNotifyPump* pump, TNotifyUI& msg) {
    using C = typename UiMemberClass<decltype(F)>::type;
    (static_cast<C*>(pump)->*F)(msg);
}
template <auto F> LRESULT UiCallParams(CNotifyPump* pump, WPARAM wParam, LPARAM lParam) {
    using C = typename UiMemberClass<decltype(F)>::type;
    return (static_cast<C*>(pump)->*F)(wParam, lParam);
}

// Handler signatures of map entries.
enum UiSig {
    UiSig_end = 0, // ends a map
    UiSig_lwl = 1, // LRESULT (WPARAM, LPARAM) of the notification
    UiSig_vn = 2,  // void (TNotifyUI&)
};

struct UI_MSGMAP_ENTRY {
    CStdString sMsgType;  // notification name, compared exactly
    CStdString sCtrlName; // sender name; empty: any control
    UINT nSig;
    UI_PMSG pfn;              // UiSig_vn
    UI_PMSG_PARAMS pfnParams; // UiSig_lwl
};

struct UI_MSGMAP {
    const UI_MSGMAP* (*pfnGetBaseMap)();
    const UI_MSGMAP_ENTRY* lpEntries;
};

#define UI_DECLARE_MESSAGE_MAP()                                                                   \
private:                                                                                           \
    static const ::Veneer::UI_MSGMAP_ENTRY _messageEntries[];                                      \
                                                                                                   \
protected:                                                                                         \
    static const ::Veneer::UI_MSGMAP messageMap;                                                   \
    static const ::Veneer::UI_MSGMAP* _GetBaseMessageMap();                                        \
    const ::Veneer::UI_MSGMAP* GetMessageMap() const override;

#define UI_BEGIN_MESSAGE_MAP(theClass, baseClass)                                                  \
    const ::Veneer::UI_MSGMAP* theClass::_GetBaseMessageMap() {                                    \
        return &baseClass::messageMap;                                                             \
    }                                                                                              \
    const ::Veneer::UI_MSGMAP* theClass::GetMessageMap() const {                                   \
        return &theClass::messageMap;                                                              \
    }                                                                                              \
    const ::Veneer::UI_MSGMAP theClass::messageMap = {&theClass::_GetBaseMessageMap,               \
                                                      &theClass::_messageEntries[0]};              \
    const ::Veneer::UI_MSGMAP_ENTRY theClass::_messageEntries[] = {
#define UI_ON_MSGTYPE(msgtype, memberFxn)                                                          \
    {msgtype, L"", ::Veneer::UiSig_vn, &::Veneer::UiCallNotify<&memberFxn>, nullptr},
#define UI_ON_MSGTYPE_CTRNAME(msgtype, ctrname, memberFxn)                                         \
    {msgtype, ctrname, ::Veneer::UiSig_vn, &::Veneer::UiCallNotify<&memberFxn>, nullptr},
#define UI_ON_CLICK_CTRNAME(ctrname, memberFxn)                                                    \
    UI_ON_MSGTYPE_CTRNAME(::Veneer::DUI_MSGTYPE_CLICK, ctrname, memberFxn)
#define UI_ON_MSGTYPE_PARAMS(msgtype, memberFxn)                                                   \
    {msgtype, L"", ::Veneer::UiSig_lwl, nullptr, &::Veneer::UiCallParams<&memberFxn>},
#define UI_END_MESSAGE_MAP()                                                                       \
    { L"", L"", ::Veneer::UiSig_end, nullptr, nullptr }                                            \
    }                                                                                              \
    ;

// Routes notifications through the message maps of its class chain, and to
// named virtual windows (other pumps).
class CNotifyPump {
public:
    CNotifyPump() : m_VirtualWndMap(83) {}
    virtual ~CNotifyPump() = default;
    // False when the name is taken (or absent, for Remove).
    bool AddVirtualWnd(CStdString strName, CNotifyPump* pObject);
    bool RemoveVirtualWnd(CStdString strName);
    // The virtual window named in the notification first, then this pump.
    void NotifyPump(TNotifyUI& msg);
    // True when a map entry of this class chain handled the notification.
    bool LoopDispatch(TNotifyUI& msg);

protected:
    static const UI_MSGMAP messageMap;
    static const UI_MSGMAP* _GetBaseMessageMap();
    virtual const UI_MSGMAP* GetMessageMap() const;

private:
    static const UI_MSGMAP_ENTRY _messageEntries[];
    CStdStringPtrMap m_VirtualWndMap;
};

// Where a window's layout comes from.
enum UILIB_RESOURCETYPE {
    UILIB_FILE = 1,        // a file under the resource path
    UILIB_ZIP = 2,         // a zip file under the resource path (GetZIPFileName)
    UILIB_RESOURCE = 3,    // an "xml" resource numbered by the layout file name
    UILIB_ZIPRESOURCE = 4, // a zip archive in the program's "ZIPRES" resource GetResourceID
};

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback {
public:
    WindowImplBase() = default;
    // Destroys the window when it is still there (a modal loop that a quit
    // request ended leaves it), so that nothing is routed to a deleted
    // object.
    virtual ~WindowImplBase();

    virtual void InitWindow() {}
    virtual void OnFinalMessage(HWND hWnd) override;
    void Notify(TNotifyUI& msg) override;
    virtual void OnClick(TNotifyUI& msg);

    CPaintManagerUI& GetPaintManager() { return m_PaintManager; }

protected:
    UI_DECLARE_MESSAGE_MAP()

    virtual CStdString GetSkinDirectory() = 0;
    virtual CStdString GetLayoutFileName() = 0;
    // True for Escape, false for Enter and anything else; no other effect.
    virtual LRESULT ResponseDefaultKeyEvent(WPARAM wParam);
    virtual UILIB_RESOURCETYPE GetResourceType() const;
    virtual CStdString GetZIPFileName() const;
    virtual LPCTSTR GetResourceID() const;

    CControlUI* CreateControl(LPCTSTR pstrClass) override;
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

    UINT GetClassStyle() const override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    // Message handlers: each sets bHandled false and returns 0 unless it
    // handles the message.
    virtual LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnNcCalcSize(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnNcPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnMouseWheel(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnMouseHover(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnChar(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnKillFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnSetFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnLButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnLButtonUp(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnMouseMove(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    // The handlers above, then HandleCustomMessage; bHandled false when
    // none took the message.
    LRESULT HandleOwnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    // The window's style without the caption bits.
    virtual LONG GetStyle();

    CPaintManagerUI m_PaintManager;
};

} // namespace Veneer
