// CPaintManagerUI: one per window. It holds the window's skin resources
// (image cache, fonts, default attribute lists, option groups, default
// colours) and the process-wide skin configuration (where skin files come
// from), and it hosts the window's control tree, events, timers, focus and
// painting.
//
// Where things live (the class is declared in three marked sections):
//   * RESOURCE SIDE - configuration, skin lookup, images, fonts, default
//     attribute lists, option groups, default colours; construction and
//     destruction.                              ui/UIManagerResources.cpp
//   * CONTROL SIDE  - control tree and names, delayed clean-up, invalidation,
//     layout and off-screen painting, notifications, focus and tab order,
//     timers, frame settings, the cursor.       ui/UIManagerControls.cpp
//     Its contact points with a bound native window (binding, WM_PAINT,
//     invalidating, native timers, the posted clean-up, resizing) and the
//     caret.                                    ui/UIManagerWindow.cpp
//   * MESSAGE SIDE  - native messages into control events, capture, the
//     pre-translation of queued messages, filters, tooltips, the drop
//     shadow, dispatch scopes.                  ui/UIManagerMessages.cpp
// Tests, benchmarks and the skin previewer look inside through
// TestAccess (ui/test_access.h): off-screen painting, the
// back buffer, pending invalidations, timers fired by hand.
//
// Construction and destruction: the constructor sets up the resource side;
// control-side members initialise themselves (default member initialisers).
// The destructor first calls TermControlSide() (destroys the tree, timers
// and the rest), then releases the resource tables, so controls may still
// use fonts and images while they are torn down.
#pragma once

#include "plat/gfx/gditypes.h"
#include "plat/win/winuser.h"
#include "ui/UIBase.h"
#include "ui/UIDefine.h"

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

namespace Veneer {

class CControlUI;
class CPaintManagerUI;
class CRichEditUI;
class CSkinArchive;

// An open skin archive (see UIResourceZip.h).
using HZIP = CSkinArchive*;

// One decoded image of a manager's image cache.
typedef struct tagTImageInfo {
    HBITMAP hBitmap = nullptr; // 32 bpp, top-down, BGRA premultiplied
    int nX = 0;                // width in pixels
    int nY = 0;                // height in pixels
    bool alphaChannel = false; // some pixel is not opaque, or matched the mask
    CStdString sResType;       // resource type it came from; empty for the skin lookup
    DWORD dwMask = 0;          // colour made transparent; 0 for none
} TImageInfo;

// One font of a manager.
typedef struct tagTFontInfo {
    HFONT hFont = nullptr;
    CStdString sFontName;
    int iSize = 0; // character height in pixels
    bool bBold = false;
    bool bUnderline = false;
    bool bItalic = false;
    TEXTMETRIC tm{}; // filled when the manager has a paint DC (tm.tmHeight 0 until then)
} TFontInfo;

// A window's filter of native messages (the window base's keyboard filter,
// a rich edit's): MessageHandler sets bHandled to take the message; its
// return value is then the message's result.
class CShadowUI;

class IMessageFilterUI {
public:
    virtual ~IMessageFilterUI() = default;
    virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;
};

// A keyboard accelerator table: 0 means the message was consumed.
class ITranslateAccelerator {
public:
    virtual ~ITranslateAccelerator() = default;
    virtual LRESULT TranslateAccelerator(MSG* pMsg) = 0;
};

// Results of the skin lookup (CPaintManagerUI::LoadSkinFile).
enum class SkinFileStatus {
    Ok,
    OpenFileFailed, // no archive in use and the file cannot be opened
    Empty,          // the file or entry has size 0
    TooLarge,       // larger than the caller's limit
    ReadFailed,     // fewer bytes read than the file size
    ZipOpenFailed,  // the zip archive cannot be opened
    NotInZip,       // the name is not in the archive
    UnzipFailed,    // extraction failed (corrupt data, CRC mismatch)
};

class CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    //=======================================================================
    // RESOURCE SIDE (ui/UIManagerResources.cpp)
    //=======================================================================

    // ---- Process-wide configuration ----
    // The executable's module (null until set). SetInstance also registers
    // the drop-shadow window class when a window host provides one.
    static HINSTANCE GetInstance();
    static void SetInstance(HINSTANCE hInst);
    // Folder of the module file, ending in a path separator; "" when no
    // instance is set.
    static CStdString GetInstancePath();
    static CStdString GetCurrentPath();
    static void SetCurrentPath(LPCTSTR pStrPath);
    // The module holding resources; GetResourceDll returns the instance when
    // none is set.
    static HINSTANCE GetResourceDll();
    static void SetResourceDll(HINSTANCE hInst);
    // Folder prefix of skin files. A non-empty path that does not end in a
    // path separator ('\\' or '/') gets one ('/') appended.
    static const CStdString& GetResourcePath();
    static void SetResourcePath(LPCTSTR pStrPath);
    // Use an archive held in memory (read in place: the buffer must outlive
    // it). The first in-memory archive is kept: a later call while the zip
    // name is "membuffer" changes nothing.
    static void SetResourceZip(LPVOID pVoid, unsigned int len);
    // Use a zip file (relative to the resource path). With bCachedResourceZip
    // the file is opened now and kept open; otherwise each lookup opens it.
    // An empty name means no archive (plain files under the resource path).
    static void SetResourceZip(LPCTSTR pstrZip, bool bCachedResourceZip = false);
    static const CStdString& GetResourceZip();
    static HZIP GetResourceZipHandle();
    static bool IsCachedResourceZip();
    // Closes a cached archive.
    static void Term();

    // The skin lookup shared by markup files, images and animated GIFs:
    // reads pstrName from the folder, zip file or in-memory archive that the
    // configuration names. dwMaxSize > 0 refuses larger data with TooLarge
    // (checked before anything is read). `data` is cleared on failure.
    static SkinFileStatus LoadSkinFile(LPCTSTR pstrName, std::vector<BYTE>& data,
                                       DWORD dwMaxSize = 0);
    // Reads a whole file from the file system (a relative path is relative to
    // the current directory). Empty on failure or for an empty file.
    static bool ReadWholeFile(LPCTSTR pstrPath, std::vector<BYTE>& data);

    // ---- Images ----
    // The cached image under exactly this name, searching this manager and
    // then its parent resource chain; null when absent. Does not load.
    const TImageInfo* GetImage(LPCTSTR bitmap);
    // The cached image of this manager, loading and caching it on a miss
    // (AddImage); null when it cannot be loaded. Drawing uses this.
    const TImageInfo* GetImageEx(LPCTSTR bitmap, LPCTSTR type = nullptr, DWORD mask = 0);
    // Loads and caches. With a type, the name must begin with a decimal digit
    // and its leading number is the resource id. An existing entry is kept
    // (and returned); null when loading fails.
    const TImageInfo* AddImage(LPCTSTR bitmap, LPCTSTR type = nullptr, DWORD mask = 0);
    // Caches a caller-made bitmap (ownership passes to the cache on success);
    // null for a null bitmap or a non-positive size. An existing name keeps
    // its image (and the given bitmap stays the caller's).
    const TImageInfo* AddImage(LPCTSTR bitmap, HBITMAP hBitmap, int iWidth, int iHeight,
                               bool bAlpha);
    bool RemoveImage(LPCTSTR bitmap);
    void RemoveAllImages();
    // Reloads every cached image from its source and swaps the new pixels in;
    // invalidates the root control when any changed.
    void ReloadAllImages();

    // ---- Fonts ----
    // Creates a font and appends it to the custom list; null when the
    // platform cannot create it. AddFontAt inserts at index (clamped).
    HFONT AddFont(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic);
    HFONT AddFontAt(int index, LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline,
                    bool bItalic);
    // Replaces the default font.
    void SetDefaultFont(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic);
    // Custom font at index; an invalid index (e.g. -1) gives the default font.
    HFONT GetFont(int index);
    // Search the custom list and then the parent chain for equal properties.
    HFONT GetFont(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic);
    bool FindFont(HFONT hFont);
    bool FindFont(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic);
    // Index in this manager's list, or -1.
    int GetFontIndex(HFONT hFont);
    int GetFontIndex(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic);
    bool RemoveFont(HFONT hFont);
    bool RemoveFontAt(int index);
    void RemoveAllFonts();
    int GetCustomFontCount() const;
    // Record of the font at index (default font for an invalid index), with
    // its text metrics fetched first when missing.
    TFontInfo* GetFontInfo(int index);
    TFontInfo* GetFontInfo(HFONT hFont);
    // Default font of the topmost manager in the parent chain.
    TFontInfo* GetDefaultFontInfo();

    // ---- Default attribute lists ----
    // Stores a copy unless the element already has one (the first wins).
    void AddDefaultAttributeList(LPCTSTR pStrControlName, LPCTSTR pStrControlAttrList);
    // This manager's list, else the parent chain's; null if none.
    LPCTSTR GetDefaultAttributeList(LPCTSTR pStrControlName) const;
    bool RemoveDefaultAttributeList(LPCTSTR pStrControlName);
    // The whole map: element name -> CStdString* (owned by the manager).
    const CStdStringPtrMap& GetDefaultAttribultes() const;
    void RemoveAllDefaultAttributeList();

    // ---- Option groups ----
    // Appends the control to the group (created on first use); false when
    // it is already a member.
    bool AddOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl);
    // The group's member list (CControlUI*), or null.
    CStdPtrArray* GetOptionGroup(LPCTSTR pStrGroupName);
    // Removes the control; an emptied group is deleted.
    void RemoveOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl);
    void RemoveAllOptionGroups();

    // ---- Default colours (0xAARRGGBB) ----
    DWORD GetDefaultDisabledColor() const;
    void SetDefaultDisabledColor(DWORD dwColor);
    DWORD GetDefaultFontColor() const;
    void SetDefaultFontColor(DWORD dwColor);
    DWORD GetDefaultLinkFontColor() const;
    void SetDefaultLinkFontColor(DWORD dwColor);
    DWORD GetDefaultLinkHoverFontColor() const;
    void SetDefaultLinkHoverFontColor(DWORD dwColor);
    DWORD GetDefaultSelectedBkColor() const;
    void SetDefaultSelectedBkColor(DWORD dwColor);

    // ---- Parent resource manager ----
    // Images, fonts and default lists are searched in pm after this
    // manager's own. Null detaches; a manager that would form a cycle is
    // refused (false).
    bool UseParentResource(CPaintManagerUI* pm);
    CPaintManagerUI* GetParentResource() const;

    // ---- Drawing state read by the render engine ----
    // The window's paint DC (set by the control side's Init); font metrics
    // are read through it. Null without a window.
    HDC GetPaintDC() const;
    void SetPaintDC(HDC hDC);
    // "bktrans": the layered paint path; images are then always blended and
    // text uses the anti-aliased back end.
    bool IsBackgroundTransparent() const;
    void SetBackgroundTransparent(bool bTrans);
    // "gdiplustext": text through the anti-aliased back end.
    bool IsUseGdiplusText() const;
    void SetUseGdiplusText(bool bUse);

private:
    // Resource-side state (declared first: destroyed last).
    struct ResourceState;
    std::unique_ptr<ResourceState> m_pRes;
    // Takes the control out of every option group (ReapObjects).
    void RemoveFromAllOptionGroups(CControlUI* pControl);
    // Fetches text metrics for a font record when a paint DC exists.
    void UpdateFontMetrics(TFontInfo* pFontInfo);
    TFontInfo* FindFontInfo(HFONT hFont);
    // Reloads every cached image; true when any changed.
    bool ReloadImageBitmaps();

public:
    //=======================================================================
    // CONTROL SIDE (ui/UIManagerControls.cpp; binding, the WM_PAINT
    // pipeline and the caret in ui/UIManagerWindow.cpp)
    //
    // Works with or without a native window. Without one (Init never
    // called) the client size is set with SetClientSize, invalidations
    // accumulate and timers are only recorded; TestAccess paints
    // such a manager and fires its timers.
    //=======================================================================
    // ---- Binding (ui/UIManagerWindow.cpp) ----
    // Binds the manager to its paint window (its DC becomes the paint DC and
    // its client size the layout size). Null keeps it off-screen.
    void Init(HWND hWnd);
    // The WM_PAINT pipeline of a bound window: lays out what needs it, paints
    // the update rectangle into the back buffer and copies it to the window
    // (BeginPaint / EndPaint). Without an update region it paints nothing;
    // false when no window is bound.
    bool PaintWindow();
    HWND GetPaintWindow() const;
    // Client size used for layout and the back buffer (the window's client
    // size when a window host keeps it up to date).
    SIZE GetClientSize() const;
    // Changing the size marks the root for layout.
    void SetClientSize(int cx, int cy);

    // ---- Control tree ----
    // Removes the focus and the hover/click/key controls, hands an earlier
    // root to delayed clean-up, stores the new root, sets first layout,
    // update needed and focus needed, then InitControls(root).
    bool AttachDialog(CControlUI* pControl);
    // Gives the subtree this manager and parent (the control's own parent
    // when null), initialising it, and indexes its names (the last of two
    // equal names wins). False for a null control.
    bool InitControls(CControlUI* pControl, CControlUI* pParent = nullptr);
    // Forgets every reference the manager keeps to the control:
    // hover/click/key/focus references, its timers, its name, its post-paint
    // entry, its option-group memberships, and the sender of queued
    // notifications that name it. A control being destroyed calls it.
    void ReapObjects(CControlUI* pControl);
    // ReapObjects for the control and every control below it (the dialog
    // builder's clean-up of the controls it configured under this manager).
    void ReapControls(CControlUI* pControl);
    CControlUI* GetRoot() const;
    // By name (exact); null when absent or not yet indexed.
    CControlUI* FindControl(LPCTSTR pstrName) const;
    // The topmost visible, mouse-enabled control at the point
    // (FindSubControlByPoint from the root).
    CControlUI* FindControl(POINT pt) const;
    CControlUI* FindSubControlByName(CControlUI* pParent, LPCTSTR pstrName) const;
    CControlUI* FindSubControlByPoint(CControlUI* pParent, POINT pt) const;
    CControlUI* FindSubControlByClass(CControlUI* pParent, LPCTSTR pstrClass, int iIndex = 0);

    // Detaches the control (manager kept, no parent, not initialised) and
    // queues it for destruction; a bound window is posted WM_APP + 1.
    bool AddDelayedCleanup(CControlUI* pControl);
    // Destroys every queued control (what WM_APP + 1 does outside any
    // dispatch; see DispatchScope).
    void ProcessDelayedCleanup();
    int GetDelayedCleanupCount() const;

    bool AddPostPaint(CControlUI* pControl);
    bool RemovePostPaint(CControlUI* pControl);
    bool SetPostPaintIndex(CControlUI* pControl, int iIndex);

    // ---- Invalidation and layout ----
    // Adds the rectangle to the area to repaint (a bound window's update
    // region as well) and remembers it as the layered update rectangle.
    void Invalidate(RECT& rcItem);
    // The whole client area.
    void Invalidate();
    void NeedUpdate();
    bool IsUpdateNeeded() const;

    // ---- Painting ----
    // Drops the back buffer (it is recreated at the next paint).
    void ReleaseBackBuffer();

    // ---- Caret (ui/UIManagerWindow.cpp) ----
    // The caret of the focused text field, drawn by the manager after the
    // tree in the owner's text colour (the default font colour when that is
    // 0). It blinks on native timer 241 at the system's caret blink time.
    // CreateCaret makes the native caret for the paint window and gives the
    // caret rectangle that size (false without a window or when the native
    // caret cannot be made).
    bool CreateCaret(HBITMAP hBmp, int nWidth, int nHeight);
    // Starts (blink on, drawn at once) or stops the drawn caret; nothing
    // when the state does not change.
    void ShowCaret(bool bShow);
    // Moves the native caret and the drawn one for `pOwner`; false, and the
    // caret stays where it was, when the native caret cannot move.
    bool SetCaretPos(CRichEditUI* pOwner, int x, int y);
    // Draws the caret within rcPaint while painting. An owner that lost the
    // focus (or a paint window without the keyboard focus) stops the blink
    // and draws nothing.
    void DrawCaret(HDC hDC, const RECT& rcPaint);
    RECT GetCaretRect() const;
    // Shown (blinking) and, within the blink, drawn at present.
    bool IsCaretShowing() const;
    bool IsCaretActive() const;

    // ---- Notifications ----
    bool AddNotifier(INotifyUI* pControl);
    bool RemoveNotifier(INotifyUI* pControl);
    // Stamps the record (last mouse point, tick count, virtual window) and
    // delivers it: synchronously to the sender's own listeners and then every
    // manager listener in order, or queued when bAsync.
    void SendNotify(TNotifyUI& Msg, bool bAsync = false);
    void SendNotify(CControlUI* pControl, LPCTSTR pstrMessage, WPARAM wParam = 0, LPARAM lParam = 0,
                    bool bAsync = false);
    // Delivers and discards every queued notification in order.
    void DeliverQueuedNotifications();
    void UsedVirtualWnd(bool bUsed);
    POINT GetMousePos() const;
    void SetMousePos(POINT pt);

    // ---- Focus ----
    CControlUI* GetFocus() const;
    // Kills the old focus (KillFocus event and "killfocus"); a null,
    // foreign, invisible or disabled control then leaves no focus; else
    // SetFocus event and "setfocus".
    void SetFocus(CControlUI* pControl);
    void KillFocus();
    void SetFocusNeeded(CControlUI* pControl);
    bool IsFocusNeeded() const;
    // Moves the focus to the next (previous) tab-stop control, wrapping.
    bool SetNextTabControl(bool bForward = true);

    // ---- Timers ----
    // One timer per (control, local id). A second SetTimer for a running
    // pair fails; a killed one restarts with its native id. Native ids
    // count (0x1000 + n) % 240.
    bool SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse);
    bool KillTimer(CControlUI* pControl, UINT nTimerID);
    void KillTimer(CControlUI* pControl);
    void RemoveAllTimers();
    struct TimerEntry {
        CControlUI* pSender;
        UINT nLocalID;
        UINT uWinTimer; // native id
        UINT uElapse;   // interval in ms
        bool bKilled;
    };

    // ---- Window-frame settings (written by the dialog builder) ----
    SIZE GetInitSize() const;
    void SetInitSize(int cx, int cy);
    RECT GetSizeBox() const;
    void SetSizeBox(const RECT& rcSizeBox);
    RECT GetCaptionRect() const;
    void SetCaptionRect(const RECT& rcCaption);
    SIZE GetRoundCorner() const;
    void SetRoundCorner(int cx, int cy);
    SIZE GetMinInfo() const;
    void SetMinInfo(int cx, int cy);
    SIZE GetMaxInfo() const;
    void SetMaxInfo(int cx, int cy);
    // Opacity 0-255 (clamped). With a window, an argument in 0-255 makes it
    // layered with that constant alpha; any other argument clears that.
    int GetTransparent() const;
    void SetTransparent(int nOpacity);

    // ---- Cursor ----
    // Shows the arrow or hand cursor (when a window system is present) and
    // remembers the last shape asked for.
    static void ShowCursor(int nCursor);
    static int GetLastCursor();

    // Gives the manager a paint DC for measuring text when it has none (a
    // memory DC while no window is bound).
    void EnsurePaintDC();

    //=======================================================================
    // MESSAGE SIDE (ui/UIManagerMessages.cpp)
    //
    // Turns the bound window's native messages into control events
    // (hover, press and key tracking, capture, focus and Tab, timers,
    // tooltips, the wheel) and pre-translates every queued message of the
    // thread's message loops.
    //=======================================================================
    // The window's message handling; true when the message was handled (its
    // result in lRes), false when it goes on to the default procedure.
    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    // Pre-translation of one queued message for this manager: the
    // pre-message filters, Tab, system keys and shortcut characters. True
    // when consumed.
    bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    // Offers the message to each accelerator in order; true when one took it.
    bool TranslateAccelerator(MSG* pMsg);

    // A dispatch into the controls in progress (a message, a pre-translated
    // key, a window host's own handler). A control removed by a handler is
    // queued for delayed clean-up, and the handler may then run a nested
    // modal loop that handles WM_APP + 1: while any scope is open the
    // clean-up waits, and it is posted again when the outermost one closes.
    // MessageHandler, PreMessageHandler and TranslateAccelerator open one
    // themselves. A scope outliving its manager does nothing.
    struct DispatchState; // defined with the message side
    class DispatchScope {
    public:
        explicit DispatchScope(CPaintManagerUI& pm);
        ~DispatchScope();
        DispatchScope(const DispatchScope&) = delete;
        DispatchScope& operator=(const DispatchScope&) = delete;

    private:
        std::weak_ptr<DispatchState> m_pState;
    };
    // Process-wide: offers a queued message to the managers whose window it
    // concerns, before any loop translates and dispatches it; true when
    // consumed.
    static bool TranslateMessage(const MSG* pMsg);
    // A plain application loop for programs whose main window is not modal.
    static void MessageLoop();

    bool AddPreMessageFilter(IMessageFilterUI* pFilter);
    bool RemovePreMessageFilter(IMessageFilterUI* pFilter);
    bool AddMessageFilter(IMessageFilterUI* pFilter);
    bool RemoveMessageFilter(IMessageFilterUI* pFilter);
    bool AddTranslateAccelerator(ITranslateAccelerator* pTranslateAccelerator);
    bool RemoveTranslateAccelerator(ITranslateAccelerator* pTranslateAccelerator);

    // The manager's hold on the mouse while a control is pressed. Losing it
    // (WM_CAPTURECHANGED, WM_CANCELMODE) ends the press without a click.
    void SetCapture();
    void ReleaseCapture();
    bool IsCaptured() const;
    // The tooltip window (created at the first hover over a control with a
    // tooltip); null before.
    HWND GetTooltipWindow() const;
    // The 16-bit key state of keyboard, cursor and wheel events: mouse
    // buttons, Shift, Ctrl and Alt as they are now.
    static WORD MapKeyState();
    // The window's drop shadow, made on first use: the dialog builder gives
    // it the skin's settings; its window exists once a tree is attached to a
    // bound window whose skin shows a shadow.
    CShadowUI* GetShadow();

private:
    // The process-wide list of live managers (Init joins, destruction
    // leaves), in creation order.
    static std::vector<CPaintManagerUI*>& Managers();
    // Leaves the manager list and destroys the tooltip and shadow
    // (destruction).
    void TermMessageSide();
    void CreateShadow();
    void OnMouseMove(POINT pt, WPARAM wParam, LPARAM lParam);
    bool OnMouseHover(POINT pt, WPARAM wParam, LPARAM lParam);
    void HideTooltip();
    // Forgets the pressed control and gives the mouse capture back.
    void ForgetPress();
    // Ends a press without a click: ForgetPress, and the control gets its
    // button-up at a point outside itself and the client area.
    void CancelPress();
    bool SendFiltered(std::vector<IMessageFilterUI*>& filters, UINT uMsg, WPARAM wParam,
                      LPARAM lParam, LRESULT& lRes);

    std::vector<IMessageFilterUI*> m_aPreMessageFilters;
    std::vector<IMessageFilterUI*> m_aMessageFilters;
    std::vector<ITranslateAccelerator*> m_aTranslateAccelerator;
    HWND m_hwndTooltip = nullptr;
    bool m_bMouseTracking = false;
    bool m_bMouseCapture = false;
    // Open DispatchScopes and a clean-up that waits for them.
    std::shared_ptr<DispatchState> m_pDispatch;
    bool m_bRestorePending = false;
    CShadowUI* m_pShadow = nullptr; // owned

private:
    friend class TestAccess;
    // The control timer that blinks the caret (control timers use 0-239).
    static constexpr UINT kCaretTimer = 241;
    // Takes the first `p` out of `list`; false when it is not there.
    template <typename T> static bool RemoveFirst(std::vector<T*>& list, T* p) {
        auto it = std::find(list.begin(), list.end(), p);
        if (it == list.end())
            return false;
        list.erase(it);
        return true;
    }

    void TermControlSide();
    // One paint into the back buffer: lays out when needed (root at the
    // client rectangle, or each control that asks), sends "windowinit" once
    // per attached tree, moves the focus on when needed, then paints the
    // pending area (or rcPaint when given). False without a root or with an
    // empty client area.
    bool PaintOffscreen(const RECT* rcPaint = nullptr);
    // What WM_TIMER does: sends the owner of the running timer with this
    // native id a Timer event. False when no such timer runs.
    bool FireTimer(UINT uWinTimer);
    // The few places that reach a bound native window (ui/UIManagerWindow.cpp).
    void PostCleanupMessage();
    void InvalidateWindowRect(const RECT* rc);
    void FocusPaintWindow();
    void ReleaseWindowDC();
    // The layered path of a bktrans window: paints and pushes the whole
    // buffer with per-pixel alpha.
    void PaintLayered(RECT rcPaint, const RECT& rcClient);
    bool StartWindowTimer(UINT uWinTimer, UINT uElapse);
    void StopWindowTimer(UINT uWinTimer);
    void ResizeWindow(int cx, int cy);
    // 0-255: layered with that constant alpha; anything else: not layered.
    void ApplyWindowOpacity(int nOpacity);
    static void SetWindowCursor(int nCursor);
    void ResetBackBuffer(int cx, int cy);
    // Lays out what needs it; true when the root was laid out anew.
    void LayoutPending();
    // Sends `pTarget` a focus event (UIEVENT_SETFOCUS or UIEVENT_KILLFOCUS)
    // from `pSender` and then the matching notification.
    void SendFocusEvent(CControlUI* pTarget, int iType, CControlUI* pSender);
    // Takes the focus from the focused control, if any, telling it who takes
    // the focus next (`pNext`, may be null); afterwards no control has it.
    void DropFocus(CControlUI* pNext);

    HWND m_hWndPaint = nullptr;
    SIZE m_szClient = {0, 0};
    CControlUI* m_pRoot = nullptr;
    CControlUI* m_pFocus = nullptr;
    CControlUI* m_pEventHover = nullptr;
    CControlUI* m_pEventClick = nullptr;
    CControlUI* m_pEventKey = nullptr;
    POINT m_ptLastMousePos = {-1, -1};
    bool m_bFirstLayout = true;
    bool m_bUpdateNeeded = false;
    bool m_bFocusNeeded = false;
    bool m_bUsedVirtualWnd = false;
    RECT m_rcInvalid = {0, 0, 0, 0};
    RECT m_rcLayeredUpdate = {0, 0, 0, 0};
    int m_nInvalidateCount = 0;
    HDC m_hDcMeasure = nullptr;
    HDC m_hDcWindow = nullptr;
    HDC m_hDcOffscreen = nullptr;
    HBITMAP m_hbmpOffscreen = nullptr;
    HGDIOBJ m_hbmpOffscreenOld = nullptr;
    LPBYTE m_pOffscreenBits = nullptr; // the back buffer's pixels (top-down)
    SIZE m_szOffscreen = {0, 0};
    UINT m_uTimerID = 0x1000;
    std::vector<TimerEntry> m_aTimers;
    std::vector<INotifyUI*> m_aNotifiers;
    std::vector<TNotifyUI*> m_aAsyncNotify;
    std::vector<CControlUI*> m_aPostPaintControls;
    std::vector<CControlUI*> m_aDelayedCleanup;
    std::map<std::wstring, CControlUI*> m_mNameHash;
    SIZE m_szInitWindowSize = {0, 0};
    SIZE m_szMinWindow = {0, 0};
    SIZE m_szMaxWindow = {0, 0};
    SIZE m_szRoundCorner = {0, 0};
    RECT m_rcSizeBox = {0, 0, 0, 0};
    RECT m_rcCaption = {0, 0, 0, 0};
    int m_nOpacity = 255;
    RECT m_rtCaret = {0, 0, 0, 0};
    bool m_bCaretActive = false;
    bool m_bCaretShowing = false;
    CRichEditUI* m_pCaretOwner = nullptr;
    // Timer 241: the caret's blink (invalidate, toggle active).
    void BlinkCaret();
    void InvalidateCaret();
};

} // namespace Veneer
