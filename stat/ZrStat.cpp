// The statistics client: exported interface and factory, construction,
// settings, the send step and the in-flight bookkeeping.
#include "stat/ZrStat.h"

#include "stat/DevInfo.h"
#include "stat/HttpClient.h"
#include "stat/Seal.h"
#include "stat/StatText.h"

#include <boost/format.hpp>

#include <chrono>
#include <ctime>
#include <exception>
#include <new>
#include <thread>

#ifndef TARVEX_STAT_URL
#define TARVEX_STAT_URL "http://127.0.0.1:8780"
#endif

namespace ns_zr_stat {

namespace {

constexpr long kRequestTimeoutSeconds = 6;

// The base URL is part of a format text; a "%" in it is kept literally.
std::wstring EscapeFormat(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t ch : text) {
        out.push_back(ch);
        if (ch == L'%') {
            out.push_back(L'%');
        }
    }
    return out;
}

} // namespace

// ---------------------------------------------------------------------------
// Exported interface and factory

IZrStat::IZrStat() = default;
IZrStat::IZrStat(const IZrStat&) = default;
IZrStat& IZrStat::operator=(const IZrStat&) = default;
IZrStat::~IZrStat() = default;

IZrStat* CStatFactory::MakeZrStat() {
    return new (std::nothrow) ZrStat();
}

void CStatFactory::Clear(IZrStat* pStat) {
    delete pStat;
}

// ---------------------------------------------------------------------------
// Lifecycle and settings

ZrStat::ZrStat() {
    m_config.strBaseUrl = StatAnsiToWide(TARVEX_STAT_URL);
    m_config.strKey = L"c14f8a2b93e70d56f2a81b4ce90d7a36";
    m_config.strIv = L"p8K#v2Lq!Wz7@Rt4";
    m_config.strProductId = L"11";
    m_config.strChannel = L"0000";
    m_config.strVersion = L"0.0.0.0";
}

ZrStat::~ZrStat() {
    // A report still running would use the client after it is gone: wait
    // for it. Each report ends within its request time-out.
    ReleaseReports();
    {
        std::unique_lock<std::mutex> guard(m_flightMutex);
        m_flightDone.wait(guard, [this] { return m_nInFlight == 0; });
    }
    delete m_pLock;
    delete m_pTree;
    delete m_pLaunchTree;
}

bool ZrStat::Init() {
    delete m_pTree;
    m_pTree = new CJsonBuilder();
    delete m_pLock;
    m_pLock = new CCriticalSection();
    m_pTree->Clear();
    m_mapReasonText.clear();
    m_mapReasonText[UNINST_REASON_NO_CONNECT] = L"手机助手连接不上";
    m_mapReasonText[UNINST_REASON_NOT_ANDROID] = L"我使用的不是安卓手机";
    m_mapReasonText[UNINST_REASON_BAD_APPS] = L"下载的应用有问题";
    m_mapReasonText[UNINST_REASON_SLOW] = L"资源下载速度慢";
    m_mapReasonText[UNINST_REASON_NOT_FOUND] = L"找不到想要的资源";
    m_mapReasonText[UNINST_REASON_OTHER_MANAGER] = L"已有其他手机管理软件";
    return true;
}

tagSTAT_CONFIG& ZrStat::SetConfig(const tagSTAT_CONFIG& config) {
    if (&config != &m_config) {
        m_config = config;
    }
    return m_config;
}

tagSTAT_CONFIG* ZrStat::GetConfig() {
    return &m_config;
}

std::wstring ZrStat::ReasonText(int nBit) const {
    auto found = m_mapReasonText.find(nBit);
    return found != m_mapReasonText.end() ? found->second : std::wstring();
}

std::wstring ZrStat::NowText() {
    long long seconds = static_cast<long long>(std::time(nullptr));
    if (seconds < 0) {
        seconds = 0;
    }
    return std::to_wstring(seconds);
}

// ---------------------------------------------------------------------------
// Sending

bool ZrStat::Send() {
    std::wstring strJson = m_pTree->ToJson();
    std::wstring strPayload = SealPayload(strJson, m_config.strKey, m_config.strIv);
    std::wstring strUrl;
    try {
        boost::wformat format(EscapeFormat(m_config.strBaseUrl) + L"/tj.html?value=%s_%s");
        strUrl = (format % m_config.strProductId % strPayload).str();
    } catch (const std::exception&) {
        return false;
    }
    CHttpClient client;
    client.bVerbose = false;
    client.nTimeout = kRequestTimeoutSeconds;
    // The server's answer is never read: it is discarded as it arrives, so a
    // server that keeps sending cannot fill memory while the report waits.
    return client.Get(StatWideToAnsi(strUrl), std::string()) == CURLE_OK;
}

// ---------------------------------------------------------------------------
// Reports in flight

CReportInFlight::CReportInFlight(ZrStat* pStat) : m_pStat(pStat) {
    std::lock_guard<std::mutex> guard(m_pStat->m_flightMutex);
    ++m_pStat->m_nInFlight;
}

CReportInFlight::~CReportInFlight() {
    // Notified under the mutex: a waiter can only return (and perhaps
    // destroy the client) once this thread has let go of it.
    std::lock_guard<std::mutex> guard(m_pStat->m_flightMutex);
    if (--m_pStat->m_nInFlight == 0) {
        m_pStat->m_flightDone.notify_all();
    }
}

bool ZrStat::StartReport(const boost::function<bool()>& job) {
    // Counted before the thread exists, so that a wait that follows at once
    // already sees it.
    auto* pFlight = new CReportInFlight(this);
    try {
        std::thread worker([this, job, pFlight]() {
            WaitWhileHeld();
            try {
                job();
            } catch (const std::exception&) {
                // The report is lost, as any failed report is.
            }
            delete pFlight;
        });
        worker.detach();
        return true;
    } catch (const std::exception&) {
        delete pFlight;
        return false;
    }
}

void ZrStat::HoldReports() {
    std::lock_guard<std::mutex> guard(m_flightMutex);
    // A hold already under way keeps its end; one that ran out starts anew.
    const auto now = std::chrono::steady_clock::now();
    if (!m_bHeld || now >= m_holdEnd)
        m_holdEnd = now + std::chrono::milliseconds(kMaxHoldMs);
    m_bHeld = true;
}

void ZrStat::ReleaseReports() {
    std::lock_guard<std::mutex> guard(m_flightMutex);
    m_bHeld = false;
    m_holdOver.notify_all();
}

void ZrStat::WaitWhileHeld() {
    std::unique_lock<std::mutex> guard(m_flightMutex);
    m_holdOver.wait_until(guard, m_holdEnd, [this] { return !m_bHeld; });
}

bool ZrStat::WaitForReports(unsigned long nTimeoutMs) {
    // Waiting for reports means they should go now.
    ReleaseReports();
    std::unique_lock<std::mutex> guard(m_flightMutex);
    return m_flightDone.wait_for(guard, std::chrono::milliseconds(nTimeoutMs),
                                 [this] { return m_nInFlight == 0; });
}

int ZrStat::ReportsInFlight() {
    std::lock_guard<std::mutex> guard(m_flightMutex);
    return m_nInFlight;
}

} // namespace ns_zr_stat
