// The synchronous reports of the statistics client and their payloads.
#include "stat/ZrStat.h"

#include "stat/DevInfo.h"

#include <map>

namespace ns_zr_stat {

namespace {

const int kReasonBits[] = {UNINST_REASON_NO_CONNECT, UNINST_REASON_NOT_ANDROID,
                           UNINST_REASON_BAD_APPS,   UNINST_REASON_SLOW,
                           UNINST_REASON_NOT_FOUND,  UNINST_REASON_OTHER_MANAGER};

constexpr int kRefusedReasonMask = 128;

} // namespace

// ---------------------------------------------------------------------------
// Payload steps

bool ZrStat::BuildDevInfo() {
    m_pTree->Clear();
    m_pTree->AddObject(L"dev_info");
    m_pTree->Put(L"channel", m_config.strChannel);
    m_pTree->Put(L"os_name", GetOsName());
    m_pTree->Put(L"os_type", GetOsType());
    m_pTree->Put(L"dev_name", GetDevName());
    std::vector<unsigned char> ieVersion = ParseVersion(GetIeVersion(), -1);
    m_pTree->Put(L"ie_ver", std::to_wstring(ieVersion.empty() ? 0 : ieVersion.front()));
    m_pTree->Put(L"ver", m_config.strVersion);
    m_pTree->Put(L"sim_id", L"");
    m_pTree->Up();
    return true;
}

std::wstring ZrStat::GetDevName() {
    return DeviceFingerprint();
}

bool ZrStat::AddCustomEvent(const tagSTAT_CUSTOM_EVENT& event) {
    m_pTree->AddElement();
    m_pTree->Put(L"name", event.strName);
    m_pTree->Put(L"lable", event.strLabel);
    m_pTree->Put(L"acttime", NowText());
    m_pTree->Put(L"num", L"1");
    m_pTree->Up();
    return true;
}

// ---------------------------------------------------------------------------
// Reports with their own payload

bool ZrStat::CollectAppLunchyInfo_Sync() {
    CReportInFlight flight(this);
    if (!IsReady()) {
        return false;
    }
    CSectionGuard lock(m_pLock);
    BuildDevInfo();
    m_pTree->AddObject(L"act_log");
    m_pTree->Put(L"open_time", NowText());
    m_pTree->Put(L"close_time", L"0");
    CJsonBuilder* pCopy = m_pTree->Clone();
    delete m_pLaunchTree;
    m_pLaunchTree = pCopy;
    return Send();
}

bool ZrStat::CollectAppExitInfo_Sync() {
    CReportInFlight flight(this);
    if (!IsReady()) {
        return false;
    }
    CSectionGuard lock(m_pLock);
    if (m_pLaunchTree == nullptr) {
        return false;
    }
    auto actLog = m_pLaunchTree->Root().find(L"act_log");
    if (actLog == m_pLaunchTree->Root().not_found()) {
        return false;
    }
    auto closeTime = actLog->second.find(L"close_time");
    if (closeTime == actLog->second.not_found()) {
        return false;
    }
    closeTime->second.data() = NowText();
    CJsonBuilder* pCopy = m_pLaunchTree->Clone();
    delete m_pTree;
    m_pTree = pCopy;
    return Send();
}

bool ZrStat::CollectAppExceptionInfo_Sync(std::wstring strMessage) {
    CReportInFlight flight(this);
    if (!IsReady()) {
        return false;
    }
    boost::shared_ptr<CLock> lock = MakeScopedLock(m_pLock);
    BuildDevInfo();
    m_pTree->AddObject(L"error_log");
    m_pTree->Put(L"acttime", NowText());
    m_pTree->Put(L"error_msg", strMessage);
    return Send();
}

bool ZrStat::CollectUnInstallFeedback_Sync(int nReasons) {
    CReportInFlight flight(this);
    if (nReasons <= 0 || nReasons == kRefusedReasonMask || !IsReady()) {
        return false;
    }
    CSectionGuard lock(m_pLock);
    m_nFeedbackReasons = nReasons;
    BuildDevInfo();
    m_pTree->AddObject(L"event_log");
    for (int nBit : kReasonBits) {
        if ((m_nFeedbackReasons & nBit) != 0) {
            AddCustomEvent(tagSTAT_CUSTOM_EVENT(L"uninstfeedback", ReasonText(nBit)));
        }
    }
    return Send();
}

bool ZrStat::SendEvent_Sync(const tagSTAT_CUSTOM_EVENT& event) {
    CReportInFlight flight(this);
    if (!IsReady()) {
        return false;
    }
    CSectionGuard lock(m_pLock);
    BuildDevInfo();
    m_pTree->AddObject(L"event_log");
    AddCustomEvent(event);
    return Send();
}

bool ZrStat::SendEvent_Sync(const LST_EVENT& events) {
    if (events.empty()) {
        return true;
    }
    CReportInFlight flight(this);
    if (!IsReady()) {
        return false;
    }
    CSectionGuard lock(m_pLock);
    BuildDevInfo();
    m_pTree->AddObject(L"event_log");
    for (const tagSTAT_CUSTOM_EVENT& event : events) {
        AddCustomEvent(event);
    }
    return Send();
}

// ---------------------------------------------------------------------------
// Reports that become one custom event

bool ZrStat::SendEventLocked(const tagSTAT_CUSTOM_EVENT& event) {
    if (!IsReady()) {
        return false;
    }
    CSectionGuard lock(m_pLock);
    return SendEvent_Sync(event);
}

bool ZrStat::SendEvent_Sync(const wchar_t* pszLabel, const wchar_t* pszName) {
    if (pszLabel == nullptr || pszName == nullptr) {
        return false;
    }
    return SendEvent_Sync(tagSTAT_CUSTOM_EVENT(pszLabel, pszName));
}

bool ZrStat::CollectPhoneConnectState_Sync(ENUM_PHONE_CONNECT_STATE eState) {
    CReportInFlight flight(this);
    std::map<int, std::wstring> mapStateText;
    mapStateText[PHONE_USB_CONNECTED] = L"USB连接成功";
    mapStateText[PHONE_USB_CONNECTING] = L"USB开始连接";
    mapStateText[PHONE_USB_CONNECTING_ANY] = L"USB开始连接(不检测设备类型)";
    mapStateText[PHONE_WIFI_CONNECTED] = L"WIFI连接成功";
    mapStateText[PHONE_WIFI_CONNECTING] = L"WIFI开始连接";
    auto found = mapStateText.find(static_cast<int>(eState));
    if (found == mapStateText.end()) {
        return false;
    }
    return SendEventLocked(tagSTAT_CUSTOM_EVENT(L"linkMobile", found->second));
}

bool ZrStat::CollectInstall_Sync() {
    CReportInFlight flight(this);
    return SendEventLocked(
        tagSTAT_CUSTOM_EVENT(L"install", m_config.strVersion + L"+" + m_config.strChannel));
}

bool ZrStat::CollectUnInstall_Sync() {
    CReportInFlight flight(this);
    return SendEventLocked(
        tagSTAT_CUSTOM_EVENT(L"uninst", m_config.strVersion + L"+" + m_config.strChannel));
}

bool ZrStat::CollectUpdate_Sync() {
    CReportInFlight flight(this);
    return SendEventLocked(
        tagSTAT_CUSTOM_EVENT(L"update", m_config.strVersion + L"+" + m_config.strChannel));
}

bool ZrStat::CollectUnInstallFeedback_Sync(std::wstring strFirst, std::wstring strSecond) {
    CReportInFlight flight(this);
    if (strFirst.empty()) {
        return false;
    }
    return SendEventLocked(tagSTAT_CUSTOM_EVENT(L"uninstfeedback", strFirst + L"+" + strSecond));
}

bool ZrStat::SendNamedEvent(const std::wstring& strLabel, std::wstring strName) {
    CReportInFlight flight(this);
    if (!IsReady()) {
        return false;
    }
    boost::shared_ptr<CLock> lock = MakeScopedLock(m_pLock);
    return SendEventLocked(tagSTAT_CUSTOM_EVENT(strLabel, strName));
}

bool ZrStat::CollectDownloadSoft_Sync(std::wstring strFile) {
    return SendNamedEvent(L"PCdownload", strFile);
}

bool ZrStat::CollectDownloadMusic_Sync(std::wstring strFile) {
    return SendNamedEvent(L"MusicDownload", strFile);
}

bool ZrStat::CollectDownloadWP_Sync(std::wstring strFile) {
    return SendNamedEvent(L"WPdownload", strFile);
}

} // namespace ns_zr_stat
