// The statistics client: the one implementation of IZrStat.
#pragma once

#include "stat/IZrStat.h"
#include "stat/JsonBuilder.h"
#include "stat/StatLock.h"

#include <boost/function.hpp>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>

namespace ns_zr_stat {

class ZrStat : public IZrStat {
public:
    // Default settings; no tree and no lock until Init.
    ZrStat();
    // Waits for the reports still in flight (each ends within its request
    // time-out), then frees the lock, the trees and the tables.
    ~ZrStat() override;
    ZrStat(const ZrStat&) = delete;
    ZrStat& operator=(const ZrStat&) = delete;

    bool Init() override;

    bool CollectAppLunchyInfo() override;
    bool CollectAppLunchyInfo_Sync() override;
    bool CollectAppExitInfo() override;
    bool CollectAppExitInfo_Sync() override;
    bool CollectAppExceptionInfo(std::wstring strMessage) override;
    bool CollectAppExceptionInfo_Sync(std::wstring strMessage) override;
    bool CollectPhoneConnectState(ENUM_PHONE_CONNECT_STATE eState) override;
    bool CollectPhoneConnectState_Sync(ENUM_PHONE_CONNECT_STATE eState) override;
    bool CollectInstall() override;
    bool CollectInstall_Sync() override;
    bool CollectUnInstall() override;
    bool CollectUnInstall_Sync() override;
    bool CollectUpdate() override;
    bool CollectUpdate_Sync() override;
    bool CollectUnInstallFeedback(std::wstring strFirst, std::wstring strSecond) override;
    bool CollectUnInstallFeedback(int nReasons) override;
    bool CollectUnInstallFeedback_Sync(std::wstring strFirst, std::wstring strSecond) override;
    bool CollectUnInstallFeedback_Sync(int nReasons) override;
    bool CollectDownloadSoft(std::wstring strFile) override;
    bool CollectDownloadSoft_Sync(std::wstring strFile) override;
    bool CollectDownloadMusic(std::wstring strFile) override;
    bool CollectDownloadMusic_Sync(std::wstring strFile) override;
    bool CollectDownloadWP(std::wstring strFile) override;
    bool CollectDownloadWP_Sync(std::wstring strFile) override;
    bool SendEvent(tagSTAT_CUSTOM_EVENT event) override;
    bool SendEvent(std::wstring strLabel, std::wstring strName) override;
    bool SendEvent(LST_EVENT events) override;
    bool SendEvent_Sync(const tagSTAT_CUSTOM_EVENT& event) override;
    bool SendEvent_Sync(const wchar_t* pszLabel, const wchar_t* pszName) override;
    bool SendEvent_Sync(const LST_EVENT& events) override;

    tagSTAT_CONFIG& SetConfig(const tagSTAT_CONFIG& config) override;
    tagSTAT_CONFIG* GetConfig() override;

    // Internal steps, after the interface's operations in the virtual table.
    // Appends one event element under the cursor ("event_log"); true.
    virtual bool AddCustomEvent(const tagSTAT_CUSTOM_EVENT& event);
    // Serialises, seals and sends the current tree; true when the transfer
    // completed. Called under the lock.
    virtual bool Send();
    // Clears the tree and writes the "dev_info" block; true.
    virtual bool BuildDevInfo();
    // The device fingerprint (32 upper-case hex digits).
    virtual std::wstring GetDevName();

    // Sends one event through SendEvent_Sync while holding the lock.
    bool SendNamedEvent(const std::wstring& strLabel, std::wstring strName);

    // Waits up to nTimeoutMs milliseconds until no report of this client is
    // in flight: no asynchronous report started and not yet finished, and
    // no synchronous report running on any thread. True when that point was
    // reached, false on time-out. Meant for the end of a process, so that a
    // report started just before is not cut off.
    bool WaitForReports(unsigned long nTimeoutMs);
    // The number of reports in flight now.
    int ReportsInFlight();

    // Holding: an asynchronous report started while reports are held waits
    // before it does anything (collecting, sealing, loading libcurl,
    // sending) until ReleaseReports, WaitForReports or the end of the
    // client, and at most kMaxHoldMs after the hold began, so that nothing
    // is lost when nobody releases it. A program holds reports to keep its
    // first moments for its window. Synchronous reports are never held.
    static constexpr unsigned long kMaxHoldMs = 2000;
    void HoldReports();
    void ReleaseReports();

    // The current time as whole seconds since 1970 in decimal digits.
    static std::wstring NowText();

    // The reason text of one uninstall reason bit (empty when unknown).
    std::wstring ReasonText(int nBit) const;

protected:
    tagSTAT_CONFIG m_config;
    CJsonBuilder* m_pTree = nullptr;
    CJsonBuilder* m_pLaunchTree = nullptr;
    CCriticalSection* m_pLock = nullptr;
    int m_nFeedbackReasons = 0;
    std::map<int, std::wstring> m_mapReasonText;

private:
    friend class CReportInFlight;

    // Runs a job on a detached thread of its own, counted as in flight
    // until it ends. False (nothing started) when no thread can be made.
    bool StartReport(const boost::function<bool()>& job);
    // True when Init has run. Init makes the lock and the tree together;
    // only the lock is looked at, since reports under the lock replace the
    // tree (never by null) while others check this without it.
    bool IsReady() const { return m_pLock != nullptr; }
    // Sends one event after the caller's refusal checks, holding the lock.
    bool SendEventLocked(const tagSTAT_CUSTOM_EVENT& event);

    // Waits while reports are held (see HoldReports).
    void WaitWhileHeld();

    std::mutex m_flightMutex;
    std::condition_variable m_flightDone;
    int m_nInFlight = 0;
    bool m_bHeld = false;
    std::chrono::steady_clock::time_point m_holdEnd;
    std::condition_variable m_holdOver;
};

// Counts a report as in flight for the lifetime of the object.
class CReportInFlight {
public:
    explicit CReportInFlight(ZrStat* pStat);
    ~CReportInFlight();
    CReportInFlight(const CReportInFlight&) = delete;
    CReportInFlight& operator=(const CReportInFlight&) = delete;

private:
    ZrStat* m_pStat;
};

} // namespace ns_zr_stat
