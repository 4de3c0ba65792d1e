// Window classes, window creation and destruction, window longs, properties,
// text and the relations between windows (owner, parent, z-order).
//
// Sections:
//   1. State and lookup     - the window manager's state, Find, LockedWnd,
//                             ForgetWindow, screen rectangles, CallProc
//   2. Classes              - registration, class lookup and class longs
//   3. Creation, destruction - CreateWindowEx, DestroyWindow, IsWindow
//   4. Window data          - window longs, properties, text, thread
//   5. Relations            - FindWindow, EnumWindows, parent, owner, z-order
#include <algorithm>
#include <chrono>
#include <cwctype>
#include <unistd.h>

#include "plat/gfx/gdi.h"
#include "plat/win/observe.h"
#include "plat/win/wm_internal.h"

namespace plat {
namespace wm {

// ==== 1. State and lookup ================================================================

State& S() {
    // Never destroyed: windows may be touched by threads that outlive main.
    static State* s = new State;
    return *s;
}

std::wstring LowerKey(LPCWSTR s) {
    std::wstring out;
    if (!s)
        return out;
    for (; *s; ++s)
        out.push_back(static_cast<wchar_t>(std::towlower(*s)));
    return out;
}

Wnd* FindLocked(HWND hwnd) {
    auto& st = S();
    auto it = st.windows.find(hwnd);
    return it == st.windows.end() ? nullptr : it->second.get();
}

std::shared_ptr<Wnd> Find(HWND hwnd) {
    auto& st = S();
    Lock lk(st.mu);
    auto it = st.windows.find(hwnd);
    return it == st.windows.end() ? nullptr : it->second;
}

LockedWnd::LockedWnd(HWND hwnd) : lk_(S().mu), w_(FindLocked(hwnd)) {
    if (!w_)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
}

void ForgetWindow(HWND hwnd) {
    auto& st = S();
    std::shared_ptr<Wnd> keep;
    std::shared_ptr<ThreadQueue> q;
    {
        Lock lk(st.mu);
        auto it = st.windows.find(hwnd);
        if (it == st.windows.end())
            return;
        keep = it->second;
        q = keep->queue;
        st.windows.erase(it);
        st.zorder.erase(std::remove(st.zorder.begin(), st.zorder.end(), hwnd), st.zorder.end());
        if (keep->parent) {
            if (Wnd* p = FindLocked(keep->parent)) {
                p->children.erase(std::remove(p->children.begin(), p->children.end(), hwnd),
                                  p->children.end());
                // The parent shows again where the child was.
                SystemInvalidateLocked(*p, &keep->rect, false);
                PresentLocked(*p, RECT{-100000, -100000, 100000, 100000});
            }
        }
        if (keep->surface)
            GetBackend().destroy_surface(keep->surface);
        keep->surface = 0;
        if (keep->region)
            DeleteObject(keep->region);
        keep->region = nullptr;
        DropInputStateFor(hwnd);
        ForgetCaretLocked(hwnd);
        if (st.active == hwnd)
            st.active = nullptr;
        if (st.focus == hwnd)
            st.focus = nullptr;
        if (st.capture == hwnd)
            st.capture = nullptr;
        st.generation++;
    }
    // The queue's lock is never taken while the global one is held.
    if (q) {
        std::lock_guard<std::mutex> g(q->m);
        q->timers.erase(std::remove_if(q->timers.begin(), q->timers.end(),
                                       [&](const Timer& t) { return t.hwnd == hwnd; }),
                        q->timers.end());
    }
}

bool IsTopLevel(const Wnd& w) {
    return !(w.style & WS_CHILD);
}

RECT ScreenRectLocked(const Wnd& w) {
    RECT r = w.rect;
    HWND p = w.parent;
    while (p) {
        Wnd* pw = FindLocked(p);
        if (!pw)
            break;
        RECT pr = pw->rect;
        OffsetRect(&r, pr.left + pw->client.left, pr.top + pw->client.top);
        if (IsTopLevel(*pw))
            break;
        p = pw->parent;
    }
    return r;
}

RECT ClientScreenRectLocked(const Wnd& w) {
    RECT r = ScreenRectLocked(w);
    RECT c = w.client;
    OffsetRect(&c, r.left, r.top);
    return c;
}

bool ReallyVisibleLocked(const Wnd& w) {
    const Wnd* cur = &w;
    for (;;) {
        if (!(cur->style & WS_VISIBLE) || cur->show == ShowState::Minimized)
            return false;
        if (cur->parent) {
            cur = FindLocked(cur->parent);
            if (!cur)
                return false;
            continue;
        }
        // An owned window is hidden while an owner up the chain is minimised.
        for (HWND o = cur->owner; o;) {
            Wnd* ow = FindLocked(o);
            if (!ow)
                break;
            if (ow->show == ShowState::Minimized)
                return false;
            o = ow->owner;
        }
        return true;
    }
}

HWND TopLevelOf(HWND hwnd) {
    LockedWnd found(hwnd);
    Wnd* w = found;
    while (w && !IsTopLevel(*w))
        w = FindLocked(w->parent);
    return w ? w->hwnd : nullptr;
}

LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = nullptr;
    {
        LockedWnd w(hwnd);
        if (!w)
            return 0;
        proc = w->proc;
    }
    if (!proc)
        return DefWindowProc(hwnd, msg, wParam, lParam);
    return proc(hwnd, msg, wParam, lParam);
}

// ==== 2. Classes =========================================================================

namespace {

std::shared_ptr<WndClass> FindClassLocked(LPCWSTR name, HINSTANCE instance, bool anyInstance) {
    if (!name)
        return nullptr;
    auto& st = S();
    if (IS_INTRESOURCE(name)) {
        ATOM atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
        for (auto& c : st.classes)
            if (c->atom == atom)
                return c;
        return nullptr;
    }
    std::wstring key = LowerKey(name);
    std::shared_ptr<WndClass> any;
    for (auto& c : st.classes) {
        if (c->key != key)
            continue;
        if (c->system || c->instance == instance)
            return c;
        if (anyInstance && !any)
            any = c;
    }
    return any;
}

ATOM RegisterClassCommon(const WNDCLASSEX& wc, bool system) {
    if (!wc.lpszClassName || IS_INTRESOURCE(wc.lpszClassName) || !wc.lpfnWndProc ||
        !*wc.lpszClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto& st = S();
    Lock lk(st.mu);
    std::wstring key = LowerKey(wc.lpszClassName);
    for (auto& c : st.classes) {
        if (c->key == key && (c->system || c->instance == wc.hInstance || system)) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    auto c = std::make_shared<WndClass>();
    c->name = wc.lpszClassName;
    c->key = key;
    c->style = wc.style;
    c->proc = wc.lpfnWndProc;
    c->instance = wc.hInstance;
    c->icon = wc.hIcon;
    c->iconSmall = wc.hIconSm;
    c->cursor = wc.hCursor;
    c->background = wc.hbrBackground;
    c->clsExtra = wc.cbClsExtra;
    c->wndExtra = wc.cbWndExtra;
    c->system = system;
    c->atom = st.nextAtom++;
    st.classes.push_back(c);
    return c->atom;
}

void FillClassInfo(const WndClass& c, WNDCLASSEX* wc) {
    wc->style = c.style;
    wc->lpfnWndProc = c.proc;
    wc->cbClsExtra = c.clsExtra;
    wc->cbWndExtra = c.wndExtra;
    wc->hInstance = c.instance;
    wc->hIcon = c.icon;
    wc->hCursor = c.cursor;
    wc->hbrBackground = c.background;
    wc->lpszMenuName = nullptr;
    wc->lpszClassName = c.name.c_str();
    wc->hIconSm = c.iconSmall;
}

void SendDestroyTree(HWND hwnd) {
    std::vector<HWND> children;
    {
        auto& st = S();
        Lock lk(st.mu);
        if (Wnd* w = FindLocked(hwnd))
            children = w->children;
    }
    CallProc(hwnd, WM_DESTROY, 0, 0);
    {
        auto& st = S();
        Lock lk(st.mu);
        if (Wnd* w = FindLocked(hwnd))
            children = w->children;
    }
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        auto c = Find(*it);
        if (!c || c->destroying)
            continue;
        c->destroying = true;
        SendDestroyTree(*it);
    }
    CallProc(hwnd, WM_NCDESTROY, 0, 0);
    ForgetWindow(hwnd);
}

} // namespace

} // namespace wm

using namespace wm;

DWORD GetCurrentThreadId() {
    return wm::CurrentTid();
}

ATOM RegisterClass(const WNDCLASS* wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEX ex{};
    ex.cbSize = sizeof ex;
    ex.style = wc->style;
    ex.lpfnWndProc = wc->lpfnWndProc;
    ex.cbClsExtra = wc->cbClsExtra;
    ex.cbWndExtra = wc->cbWndExtra;
    ex.hInstance = wc->hInstance;
    ex.hIcon = wc->hIcon;
    ex.hCursor = wc->hCursor;
    ex.hbrBackground = wc->hbrBackground;
    ex.lpszMenuName = wc->lpszMenuName;
    ex.lpszClassName = wc->lpszClassName;
    return RegisterClassCommon(ex, false);
}

ATOM RegisterClassEx(const WNDCLASSEX* wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return RegisterClassCommon(*wc, (wc->style & CS_GLOBALCLASS) && !wc->hInstance);
}

namespace wm {
ATOM RegisterSystemClass(const WNDCLASSEX& wc) {
    return RegisterClassCommon(wc, true);
}
} // namespace wm

BOOL UnregisterClass(LPCWSTR className, HINSTANCE hInstance) {
    auto& st = S();
    Lock lk(st.mu);
    auto c = FindClassLocked(className, hInstance, false);
    if (!c || c->system) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    for (auto& [h, w] : st.windows)
        if (w->cls == c) {
            SetLastError(1412); // ERROR_CLASS_HAS_WINDOWS
            return FALSE;
        }
    st.classes.erase(std::remove(st.classes.begin(), st.classes.end(), c), st.classes.end());
    return TRUE;
}

BOOL GetClassInfoEx(HINSTANCE hInstance, LPCWSTR className, WNDCLASSEX* wc) {
    EnsureSystemClasses();
    auto& st = S();
    Lock lk(st.mu);
    auto c = FindClassLocked(className, hInstance, false);
    if (!c || !wc) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    FillClassInfo(*c, wc);
    return TRUE;
}

BOOL GetClassInfo(HINSTANCE hInstance, LPCWSTR className, WNDCLASS* wc) {
    WNDCLASSEX ex{};
    if (!wc || !GetClassInfoEx(hInstance, className, &ex))
        return FALSE;
    wc->style = ex.style;
    wc->lpfnWndProc = ex.lpfnWndProc;
    wc->cbClsExtra = ex.cbClsExtra;
    wc->cbWndExtra = ex.cbWndExtra;
    wc->hInstance = ex.hInstance;
    wc->hIcon = ex.hIcon;
    wc->hCursor = ex.hCursor;
    wc->hbrBackground = ex.hbrBackground;
    wc->lpszMenuName = nullptr;
    wc->lpszClassName = ex.lpszClassName;
    return TRUE;
}

int GetClassName(HWND hwnd, LPWSTR buffer, int maxCount) {
    auto w = Find(hwnd);
    if (!w || !buffer || maxCount <= 0) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    std::wstring name = w->cls->name;
    int n = std::min<int>(static_cast<int>(name.size()), maxCount - 1);
    std::copy(name.begin(), name.begin() + n, buffer);
    buffer[n] = 0;
    return n;
}

ULONG_PTR GetClassLongPtr(HWND hwnd, int index) {
    LockedWnd w(hwnd);
    if (!w)
        return 0;
    const WndClass& c = *w->cls;
    switch (index) {
    case GCL_STYLE:
        return c.style;
    case GCLP_WNDPROC:
        return reinterpret_cast<ULONG_PTR>(c.proc);
    case GCLP_HCURSOR:
        return reinterpret_cast<ULONG_PTR>(c.cursor);
    case GCLP_HICON:
        return reinterpret_cast<ULONG_PTR>(c.icon);
    case GCLP_HBRBACKGROUND:
        return reinterpret_cast<ULONG_PTR>(c.background);
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
}

ULONG_PTR SetClassLongPtr(HWND hwnd, int index, LONG_PTR value) {
    LockedWnd w(hwnd);
    if (!w)
        return 0;
    WndClass& c = *w->cls;
    ULONG_PTR old = 0;
    switch (index) {
    case GCL_STYLE:
        old = c.style;
        c.style = static_cast<UINT>(value);
        break;
    case GCLP_WNDPROC:
        old = reinterpret_cast<ULONG_PTR>(c.proc);
        c.proc = reinterpret_cast<WNDPROC>(value);
        break;
    case GCLP_HCURSOR:
        old = reinterpret_cast<ULONG_PTR>(c.cursor);
        c.cursor = reinterpret_cast<HCURSOR>(value);
        break;
    case GCLP_HICON:
        old = reinterpret_cast<ULONG_PTR>(c.icon);
        c.icon = reinterpret_cast<HICON>(value);
        break;
    case GCLP_HBRBACKGROUND:
        old = reinterpret_cast<ULONG_PTR>(c.background);
        c.background = reinterpret_cast<HBRUSH>(value);
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return old;
}

// ==== 3. Creation, destruction ===========================================================

HWND CreateWindowEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                    LPVOID param) {
    EnsureSystemClasses();
    auto& st = S();
    auto q = CurrentQueue();
    auto w = std::make_shared<Wnd>();
    HWND hwnd;
    bool becameInput = false;
    {
        Lock lk(st.mu);
        auto cls = FindClassLocked(className, instance, true);
        if (!cls) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        if (style & WS_CHILD) {
            if (!FindLocked(parent)) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
        } else if (parent && parent != HWND_MESSAGE) {
            Wnd* pw = FindLocked(parent);
            if (!pw) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
            // The owner of a top-level window is always a top-level window.
            while (pw && !IsTopLevel(*pw))
                pw = FindLocked(pw->parent);
            parent = pw ? pw->hwnd : nullptr;
        }
        if (!st.inputQueue) {
            st.inputQueue = q;
            becameInput = true;
        }
        hwnd = reinterpret_cast<HWND>(st.nextHandle);
        st.nextHandle += 4;
        w->hwnd = hwnd;
        w->cls = cls;
        w->proc = cls->proc;
        w->title = windowName ? windowName : L"";
        w->style = style & ~WS_VISIBLE;
        if (style & WS_CHILD)
            w->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
        w->exStyle = exStyle;
        w->instance = instance;
        w->queue = q;
        if (style & WS_CHILD) {
            w->parent = parent;
            w->id = reinterpret_cast<LONG_PTR>(menu);
        } else {
            w->owner = parent;
        }
        bool popup = (style & (WS_POPUP | WS_CHILD)) != 0;
        if (x == CW_USEDEFAULT)
            x = popup ? 0 : 26;
        if (y == CW_USEDEFAULT)
            y = popup ? 0 : 26;
        if (width == CW_USEDEFAULT)
            width = popup ? 0 : 800;
        if (height == CW_USEDEFAULT)
            height = popup ? 0 : 600;
        w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
        w->client = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
        st.windows[hwnd] = w;
        if (w->parent) {
            FindLocked(w->parent)->children.push_back(hwnd);
            ResizeSurfaceLocked(*w);
        } else {
            st.zorder.push_back(hwnd);
            w->surface = GetBackend().create_surface(SurfaceHintsLocked(*w), w->rect.left,
                                                     w->rect.top, width, height);
            GetBackend().set_title(w->surface, w->title);
            ResizeSurfaceLocked(*w);
            RestackLocked();
        }
    }

    if (becameInput) {
        std::lock_guard<std::mutex> g(q->m);
        q->isInput = true;
    }

    CREATESTRUCT cs{};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cx = width;
    cs.cy = height;
    cs.x = x;
    cs.y = y;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;

    w->created = true;
    if (!CallProc(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        CallProc(hwnd, WM_NCDESTROY, 0, 0);
        ForgetWindow(hwnd);
        return nullptr;
    }
    RECT nc = w->rect;
    CallProc(hwnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&nc));
    {
        Lock lk(st.mu);
        if (!FindLocked(hwnd))
            return nullptr;
        w->client = RECT{nc.left - w->rect.left, nc.top - w->rect.top, nc.right - w->rect.left,
                         nc.bottom - w->rect.top};
        if (IsRectEmpty(&w->client) && (nc.right < nc.left || nc.bottom < nc.top))
            w->client = RECT{0, 0, 0, 0};
    }
    if (CallProc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!IsWindow(hwnd))
        return nullptr;
    RECT cr, wr;
    GetClientRect(hwnd, &cr);
    GetWindowRect(hwnd, &wr);
    CallProc(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cr.right, cr.bottom));
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    if (w->parent) {
        Lock lk(st.mu);
        origin = POINT{w->rect.left + w->client.left, w->rect.top + w->client.top};
    }
    CallProc(hwnd, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
    if (!IsWindow(hwnd))
        return nullptr;
    if (style & WS_MAXIMIZE)
        ShowWindow(hwnd, SW_SHOWMAXIMIZED);
    else if (style & WS_MINIMIZE)
        ShowWindow(hwnd, (style & WS_VISIBLE) ? SW_SHOWMINIMIZED : SW_MINIMIZE);
    else if (style & WS_VISIBLE)
        ShowWindow(hwnd, SW_SHOW);
    return IsWindow(hwnd) ? hwnd : nullptr;
}

HWND CreateWindow(LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                  int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    return CreateWindowEx(0, className, windowName, style, x, y, width, height, parent, menu,
                          instance, param);
}

BOOL DestroyWindow(HWND hwnd) {
    auto& st = S();
    std::vector<HWND> owned;
    bool wasVisible = false, wasActive = false, topLevel = false;
    {
        LockedWnd w(hwnd);
        if (!w)
            return FALSE;
        if (w->queue->tid != CurrentTid()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (w->destroying)
            return TRUE;
        w->destroying = true;
        topLevel = IsTopLevel(*w);
        for (auto it = st.zorder.rbegin(); it != st.zorder.rend(); ++it) {
            Wnd* o = FindLocked(*it);
            if (o && o->owner == hwnd)
                owned.push_back(*it);
        }
        wasVisible = (w->style & WS_VISIBLE) != 0;
        wasActive = st.active == hwnd;
    }
    // Owned windows go first, the topmost first.
    for (HWND o : owned) {
        if (IsWindow(o)) {
            auto ow = Find(o);
            if (ow && ow->queue->tid == CurrentTid())
                DestroyWindow(o);
            else if (ow)
                PostMessage(o, WM_CLOSE, 0, 0);
        }
    }
    if (wasVisible) {
        {
            Lock lk(st.mu);
            if (Wnd* w = FindLocked(hwnd)) {
                w->style &= ~WS_VISIBLE;
                if (w->surface)
                    GetBackend().show_surface(w->surface, false);
            }
        }
        if (topLevel && (wasActive || GetActiveWindow() == hwnd))
            ActivateNextAfter(hwnd);
    }
    {
        Lock lk(st.mu);
        if (st.capture == hwnd) {
            st.capture = nullptr;
        }
        if (st.focus == hwnd || (st.focus && IsChild(hwnd, st.focus)))
            st.focus = nullptr;
        if (st.active == hwnd)
            st.active = nullptr;
    }
    SendDestroyTree(hwnd);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    auto& st = S();
    Lock lk(st.mu);
    return FindLocked(hwnd) != nullptr;
}

LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!proc)
        return 0;
    return proc(hwnd, msg, wParam, lParam);
}

// ==== 4. Window data =====================================================================

LONG_PTR GetWindowLongPtr(HWND hwnd, int index) {
    LockedWnd w(hwnd);
    if (!w)
        return 0;
    switch (index) {
    case GWL_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWL_ID:
        return w->id;
    case GWL_STYLE:
        return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG_PTR>(w->exStyle);
    case GWL_USERDATA:
        return w->userData;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
}

LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value) {
    LONG_PTR old = 0;
    bool styleChange = false;
    STYLESTRUCT ss{};
    {
        LockedWnd w(hwnd);
        if (!w)
            return 0;
        SetLastError(0);
        switch (index) {
        case GWL_WNDPROC:
            old = reinterpret_cast<LONG_PTR>(w->proc);
            w->proc = reinterpret_cast<WNDPROC>(value);
            return old;
        case GWL_HINSTANCE:
            old = reinterpret_cast<LONG_PTR>(w->instance);
            w->instance = reinterpret_cast<HINSTANCE>(value);
            return old;
        case GWL_ID:
            old = w->id;
            w->id = value;
            return old;
        case GWL_USERDATA:
            old = w->userData;
            w->userData = value;
            return old;
        case GWL_HWNDPARENT:
            old = reinterpret_cast<LONG_PTR>(w->owner);
            if (IsTopLevel(*w)) {
                w->owner = reinterpret_cast<HWND>(value);
                RestackLocked();
            }
            return old;
        case GWL_STYLE:
        case GWL_EXSTYLE:
            old = static_cast<LONG_PTR>(index == GWL_STYLE ? w->style : w->exStyle);
            ss.styleOld = static_cast<DWORD>(old);
            ss.styleNew = static_cast<DWORD>(value);
            styleChange = true;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
    }
    if (styleChange) {
        CallProc(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
        {
            LockedWnd w(hwnd);
            if (!w)
                return old;
            if (index == GWL_STYLE) {
                // Visibility changes only through ShowWindow and SetWindowPos.
                w->style = (ss.styleNew & ~WS_VISIBLE) | (w->style & WS_VISIBLE);
            } else {
                bool wasLayered = (w->exStyle & WS_EX_LAYERED) != 0;
                w->exStyle = ss.styleNew;
                if (wasLayered != ((w->exStyle & WS_EX_LAYERED) != 0)) {
                    // Becoming layered hides the window until it has content;
                    // ceasing to be layered shows it painted as usual.
                    w->perPixelAlpha = false;
                    w->constantAlpha = 255;
                    w->layeredReady = false;
                    if (w->layeredPushed)
                        InvalidateLocked(*w, nullptr, true);
                    w->layeredPushed = false;
                }
                SyncSurfaceLocked(*w);
            }
        }
        CallProc(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
    }
    return old;
}

LONG_PTR GetWindowLong(HWND hwnd, int index) {
    return GetWindowLongPtr(hwnd, index);
}
LONG_PTR SetWindowLong(HWND hwnd, int index, LONG_PTR value) {
    return SetWindowLongPtr(hwnd, index, value);
}

BOOL SetProp(HWND hwnd, LPCWSTR name, HANDLE data) {
    LockedWnd w(hwnd);
    if (!w || !name)
        return FALSE;
    w->props[LowerKey(name)] = data;
    return TRUE;
}

HANDLE GetProp(HWND hwnd, LPCWSTR name) {
    LockedWnd w(hwnd);
    if (!w || !name)
        return nullptr;
    auto it = w->props.find(LowerKey(name));
    return it == w->props.end() ? nullptr : it->second;
}

HANDLE RemoveProp(HWND hwnd, LPCWSTR name) {
    LockedWnd w(hwnd);
    if (!w || !name)
        return nullptr;
    auto it = w->props.find(LowerKey(name));
    if (it == w->props.end())
        return nullptr;
    HANDLE h = it->second;
    w->props.erase(it);
    return h;
}

BOOL SetWindowText(HWND hwnd, LPCWSTR text) {
    if (!IsWindow(hwnd))
        return FALSE;
    return static_cast<BOOL>(SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

int GetWindowText(HWND hwnd, LPWSTR buffer, int maxCount) {
    // Read directly, so that any thread can ask without a cross-thread send.
    auto w = Find(hwnd);
    if (!buffer || maxCount <= 0)
        return 0;
    buffer[0] = 0;
    if (!w)
        return 0;
    std::wstring t;
    {
        Lock lk(S().mu);
        t = w->title;
    }
    int n = std::min<int>(static_cast<int>(t.size()), maxCount - 1);
    std::copy(t.begin(), t.begin() + n, buffer);
    buffer[n] = 0;
    return n;
}

int GetWindowTextLength(HWND hwnd) {
    auto w = Find(hwnd);
    if (!w)
        return 0;
    Lock lk(S().mu);
    return static_cast<int>(w->title.size());
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
    auto w = Find(hwnd);
    if (!w)
        return 0;
    if (processId)
        *processId = static_cast<DWORD>(getpid());
    return w->queue->tid;
}

// ==== 5. Relations =======================================================================

HWND FindWindow(LPCWSTR className, LPCWSTR windowName) {
    auto& st = S();
    Lock lk(st.mu);
    std::wstring key = className ? LowerKey(className) : L"";
    for (auto it = st.zorder.rbegin(); it != st.zorder.rend(); ++it) {
        Wnd* w = FindLocked(*it);
        if (!w)
            continue;
        if (className && w->cls->key != key)
            continue;
        if (windowName && w->title != windowName)
            continue;
        return w->hwnd;
    }
    return nullptr;
}

BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam) {
    std::vector<HWND> list;
    {
        auto& st = S();
        Lock lk(st.mu);
        list.assign(st.zorder.rbegin(), st.zorder.rend());
    }
    for (HWND h : list) {
        if (!IsWindow(h))
            continue;
        if (!proc(h, lParam))
            return FALSE;
    }
    return TRUE;
}

HWND GetParent(HWND hwnd) {
    LockedWnd w(hwnd);
    if (!w)
        return nullptr;
    if (w->style & WS_CHILD)
        return w->parent;
    if (w->style & WS_POPUP)
        return w->owner;
    return nullptr;
}

HWND GetWindow(HWND hwnd, UINT cmd) {
    auto& st = S();
    LockedWnd w(hwnd);
    if (!w)
        return nullptr;
    const std::vector<HWND>* siblings = &st.zorder;
    if (w->parent)
        siblings = &FindLocked(w->parent)->children;
    // Sibling lists are kept bottom to top; GW_HWNDFIRST is the topmost.
    auto pos = std::find(siblings->begin(), siblings->end(), hwnd);
    switch (cmd) {
    case GW_OWNER:
        return w->owner;
    case GW_CHILD:
        return w->children.empty() ? nullptr : w->children.back();
    case GW_HWNDFIRST:
        return siblings->empty() ? nullptr : siblings->back();
    case GW_HWNDLAST:
        return siblings->empty() ? nullptr : siblings->front();
    case GW_HWNDNEXT:
        return (pos == siblings->end() || pos == siblings->begin()) ? nullptr : *(pos - 1);
    case GW_HWNDPREV:
        return (pos == siblings->end() || pos + 1 == siblings->end()) ? nullptr : *(pos + 1);
    case GW_ENABLEDPOPUP:
        for (auto it = st.zorder.rbegin(); it != st.zorder.rend(); ++it) {
            Wnd* o = FindLocked(*it);
            if (o && o->owner == hwnd && (o->style & WS_VISIBLE) && !(o->style & WS_DISABLED))
                return o->hwnd;
        }
        return nullptr;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

HWND GetAncestor(HWND hwnd, UINT flags) {
    LockedWnd found(hwnd);
    Wnd* w = found;
    if (!w)
        return nullptr;
    switch (flags) {
    case GA_PARENT:
        return w->parent ? w->parent : GetDesktopWindow();
    case GA_ROOT:
        while (w->parent)
            w = FindLocked(w->parent);
        return w->hwnd;
    case GA_ROOTOWNER:
        while (w->parent)
            w = FindLocked(w->parent);
        while (w->owner && FindLocked(w->owner))
            w = FindLocked(w->owner);
        return w->hwnd;
    default:
        return nullptr;
    }
}

BOOL IsChild(HWND parent, HWND hwnd) {
    LockedWnd found(hwnd);
    Wnd* w = found;
    while (w && w->parent) {
        if (w->parent == parent)
            return TRUE;
        w = FindLocked(w->parent);
    }
    return FALSE;
}

HMENU GetMenu(HWND) {
    return nullptr;
}

HWND GetDesktopWindow() {
    return S().desktop;
}

SurfaceId WindowSurface(HWND hwnd) {
    LockedWnd w(hwnd);
    return w ? w->surface : 0;
}

} // namespace plat
