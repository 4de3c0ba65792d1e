// The asynchronous reports: each runs its synchronous form on a detached
// thread of its own, on copies of its arguments.
#include "stat/ZrStat.h"

namespace ns_zr_stat {

bool ZrStat::CollectAppLunchyInfo() {
    return StartReport([this] { return CollectAppLunchyInfo_Sync(); });
}

bool ZrStat::CollectAppExitInfo() {
    return StartReport([this] { return CollectAppExitInfo_Sync(); });
}

bool ZrStat::CollectAppExceptionInfo(std::wstring strMessage) {
    return StartReport([this, strMessage] { return CollectAppExceptionInfo_Sync(strMessage); });
}

bool ZrStat::CollectPhoneConnectState(ENUM_PHONE_CONNECT_STATE eState) {
    return StartReport([this, eState] { return CollectPhoneConnectState_Sync(eState); });
}

bool ZrStat::CollectInstall() {
    return StartReport([this] { return CollectInstall_Sync(); });
}

bool ZrStat::CollectUnInstall() {
    return StartReport([this] { return CollectUnInstall_Sync(); });
}

bool ZrStat::CollectUpdate() {
    return StartReport([this] { return CollectUpdate_Sync(); });
}

bool ZrStat::CollectUnInstallFeedback(std::wstring strFirst, std::wstring strSecond) {
    return StartReport(
        [this, strFirst, strSecond] { return CollectUnInstallFeedback_Sync(strFirst, strSecond); });
}

bool ZrStat::CollectUnInstallFeedback(int nReasons) {
    return StartReport([this, nReasons] { return CollectUnInstallFeedback_Sync(nReasons); });
}

bool ZrStat::CollectDownloadSoft(std::wstring strFile) {
    return StartReport([this, strFile] { return CollectDownloadSoft_Sync(strFile); });
}

bool ZrStat::CollectDownloadMusic(std::wstring strFile) {
    return StartReport([this, strFile] { return CollectDownloadMusic_Sync(strFile); });
}

bool ZrStat::CollectDownloadWP(std::wstring strFile) {
    return StartReport([this, strFile] { return CollectDownloadWP_Sync(strFile); });
}

bool ZrStat::SendEvent(tagSTAT_CUSTOM_EVENT event) {
    return StartReport([this, event] { return SendEvent_Sync(event); });
}

bool ZrStat::SendEvent(std::wstring strLabel, std::wstring strName) {
    // The thread owns its copies of both texts for the whole report.
    return StartReport(
        [this, strLabel, strName] { return SendEvent_Sync(strLabel.c_str(), strName.c_str()); });
}

bool ZrStat::SendEvent(LST_EVENT events) {
    return StartReport([this, events] { return SendEvent_Sync(events); });
}

} // namespace ns_zr_stat
