// The statistics client as its callers see it: the settings record, the
// event records, the phone connection states, the abstract interface and
// the factory.
//
// The interface and the factory are exported from the executable that links
// the client (dynamic symbols), so that other modules of the product can
// create and use the same client. The order of the virtual operations below
// is part of that contract and must not change.
#pragma once

#include <list>
#include <string>

// Marks the exported classes. Executables that link the client are linked
// with their symbols exported (see stat/CMakeLists.txt, which gives the
// Windows build its own marking).
#ifndef ZRSTAT_API
#define ZRSTAT_API __attribute__((visibility("default")))
#endif

namespace ns_zr_stat {

// The client's settings record. The client owns one; GetConfig hands out a
// pointer to it and callers write its fields directly, before they start
// reporting (the record is not locked).
struct tagSTAT_CONFIG {
    std::wstring strBaseUrl;   // scheme and host, optionally ending in "/"; used as it is
    std::wstring strKey;       // AES key text: 16, 24 or 32 characters
    std::wstring strIv;        // IV text: its first 16 characters are used
    std::wstring strProductId; // first value of the request URL
    std::wstring strChannel;   // "channel" of the device block; install events
    std::wstring strVersion;   // "ver" of the device block; install events
};

// One custom event: its kind (sent as "lable") and its detail ("name").
struct tagSTAT_CUSTOM_EVENT {
    std::wstring strLabel;
    std::wstring strName;

    tagSTAT_CUSTOM_EVENT() = default;
    tagSTAT_CUSTOM_EVENT(const std::wstring& label, const std::wstring& name)
        : strLabel(label), strName(name) {}
};

// Events sent together in one report, in list order.
typedef std::list<tagSTAT_CUSTOM_EVENT> LST_EVENT;

// Phone connection states (values 0 to 4).
enum ENUM_PHONE_CONNECT_STATE {
    PHONE_USB_CONNECTED = 0,
    PHONE_USB_CONNECTING = 1,
    PHONE_USB_CONNECTING_ANY = 2,
    PHONE_WIFI_CONNECTED = 3,
    PHONE_WIFI_CONNECTING = 4,
};

// Uninstall feedback reason bits; other bits carry no reason.
enum ENUM_UNINST_REASON {
    UNINST_REASON_NO_CONNECT = 1,
    UNINST_REASON_NOT_ANDROID = 4,
    UNINST_REASON_BAD_APPS = 8,
    UNINST_REASON_SLOW = 16,
    UNINST_REASON_NOT_FOUND = 32,
    UNINST_REASON_OTHER_MANAGER = 64,
};

// The statistics client. Init must be called before any report.
//
// Every report returns bool. A synchronous form (suffix _Sync) builds the
// report's JSON document, seals it and sends it as one HTTP GET; it returns
// true exactly when the transfer completed (any HTTP status), false when it
// did not or when the report is refused before a request. An asynchronous
// form copies its arguments, runs the synchronous form on a detached thread
// of its own and returns true at once (false only when no thread could be
// started). Reports of one client never run in parallel: a recursive lock
// serialises them from building to the end of the request (at most about
// 6 seconds each).
class ZRSTAT_API IZrStat {
public:
    IZrStat();
    IZrStat(const IZrStat& other);
    IZrStat& operator=(const IZrStat& other);
    virtual ~IZrStat();

    // Creates the payload tree, the lock and the reason table; returns true.
    virtual bool Init() = 0;

    // Launch report ("act_log" with "open_time" and "close_time" "0"); keeps
    // a copy of its document for the exit report.
    virtual bool CollectAppLunchyInfo() = 0;
    virtual bool CollectAppLunchyInfo_Sync() = 0;
    // Exit report: the launch document again with "close_time" set. False
    // without a request when no launch report has run.
    virtual bool CollectAppExitInfo() = 0;
    virtual bool CollectAppExitInfo_Sync() = 0;
    // Exception report ("error_log" with "acttime" and "error_msg").
    virtual bool CollectAppExceptionInfo(std::wstring strMessage) = 0;
    virtual bool CollectAppExceptionInfo_Sync(std::wstring strMessage) = 0;
    // Event "linkMobile" with the state's text; false without a request for
    // a value outside 0 to 4.
    virtual bool CollectPhoneConnectState(ENUM_PHONE_CONNECT_STATE eState) = 0;
    virtual bool CollectPhoneConnectState_Sync(ENUM_PHONE_CONNECT_STATE eState) = 0;
    // Events "install", "uninst", "update" named version + "+" + channel.
    virtual bool CollectInstall() = 0;
    virtual bool CollectInstall_Sync() = 0;
    virtual bool CollectUnInstall() = 0;
    virtual bool CollectUnInstall_Sync() = 0;
    virtual bool CollectUpdate() = 0;
    virtual bool CollectUpdate_Sync() = 0;
    // Uninstall feedback: one event named first + "+" + second (refused when
    // the first text is empty), or one event per known reason bit of the
    // mask (refused when the mask is 0, negative or exactly 128).
    virtual bool CollectUnInstallFeedback(std::wstring strFirst, std::wstring strSecond) = 0;
    virtual bool CollectUnInstallFeedback(int nReasons) = 0;
    virtual bool CollectUnInstallFeedback_Sync(std::wstring strFirst, std::wstring strSecond) = 0;
    virtual bool CollectUnInstallFeedback_Sync(int nReasons) = 0;
    // Download events "PCdownload", "MusicDownload", "WPdownload".
    virtual bool CollectDownloadSoft(std::wstring strFile) = 0;
    virtual bool CollectDownloadSoft_Sync(std::wstring strFile) = 0;
    virtual bool CollectDownloadMusic(std::wstring strFile) = 0;
    virtual bool CollectDownloadMusic_Sync(std::wstring strFile) = 0;
    virtual bool CollectDownloadWP(std::wstring strFile) = 0;
    virtual bool CollectDownloadWP_Sync(std::wstring strFile) = 0;
    // Custom events. The pointer form refuses null pointers; an empty list
    // returns true without a request.
    virtual bool SendEvent(tagSTAT_CUSTOM_EVENT event) = 0;
    virtual bool SendEvent(std::wstring strLabel, std::wstring strName) = 0;
    virtual bool SendEvent(LST_EVENT events) = 0;
    virtual bool SendEvent_Sync(const tagSTAT_CUSTOM_EVENT& event) = 0;
    virtual bool SendEvent_Sync(const wchar_t* pszLabel, const wchar_t* pszName) = 0;
    virtual bool SendEvent_Sync(const LST_EVENT& events) = 0;

    // Copies all six settings in and returns the client's own record.
    virtual tagSTAT_CONFIG& SetConfig(const tagSTAT_CONFIG& config) = 0;
    // The client's own settings record; callers may write through it.
    virtual tagSTAT_CONFIG* GetConfig() = 0;
};

// Creates and destroys clients.
class ZRSTAT_API CStatFactory {
public:
    // A new client with its default settings (Init not yet called), or null
    // when it cannot be allocated.
    static IZrStat* MakeZrStat();
    // Destroys a client made by MakeZrStat; null is accepted. Reports of the
    // client still running are waited for first.
    static void Clear(IZrStat* pStat);
};

} // namespace ns_zr_stat
