// One GET per call over libcurl's easy interface.
#include "stat/HttpClient.h"

#include <cstdio>
#include <mutex>

namespace ns_zr_stat {

namespace {
// libcurl's global set-up is not safe to run on two threads at once; it is
// done once for the process before the first request of any client.
void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}
} // namespace

size_t CollectResponse(void* pData, size_t nSize, size_t nCount, void* pTarget) {
    if (pTarget == nullptr || pData == nullptr) {
        return static_cast<size_t>(-1);
    }
    static_cast<std::string*>(pTarget)->append(static_cast<const char*>(pData), nSize * nCount);
    return nSize * nCount;
}

size_t DiscardResponse(void* /*pData*/, size_t nSize, size_t nCount, void* /*pTarget*/) {
    return nSize * nCount;
}

int PrintCurlTraffic(CURL* /*pHandle*/, curl_infotype eType, char* pData, size_t nSize,
                     void* /*pUser*/) {
    const char* prefix = nullptr;
    switch (eType) {
    case CURLINFO_TEXT:
        prefix = "[TEXT]";
        break;
    case CURLINFO_HEADER_IN:
        prefix = "[HEADER_IN]";
        break;
    case CURLINFO_HEADER_OUT:
        prefix = "[HEADER_OUT]";
        break;
    case CURLINFO_DATA_IN:
        prefix = "[DATA_IN]";
        break;
    case CURLINFO_DATA_OUT:
        prefix = "[DATA_OUT]";
        break;
    default:
        return 0;
    }
    std::fputs(prefix, stdout);
    if (pData != nullptr && nSize > 0) {
        std::fwrite(pData, 1, nSize, stdout);
    }
    std::fputc('\n', stdout);
    return 0;
}

CURLcode CHttpClient::Get(const std::string& strUrl, const std::string& strQuery,
                          std::string& strResponse) {
    return Perform(strUrl, strQuery, &strResponse);
}

CURLcode CHttpClient::Get(const std::string& strUrl, const std::string& strQuery) {
    return Perform(strUrl, strQuery, nullptr);
}

CURLcode CHttpClient::Perform(const std::string& strUrl, const std::string& strQuery,
                              std::string* pResponse) {
    InitCurlOnce();
    CURL* pCurl = curl_easy_init();
    if (pCurl == nullptr) {
        return CURLE_FAILED_INIT;
    }
    if (bVerbose) {
        curl_easy_setopt(pCurl, CURLOPT_VERBOSE, 1L);
        curl_easy_setopt(pCurl, CURLOPT_DEBUGFUNCTION, &PrintCurlTraffic);
    }
    std::string strRequest = strUrl;
    if (!strQuery.empty()) {
        strRequest += "?";
        strRequest += strQuery;
    }
    curl_easy_setopt(pCurl, CURLOPT_URL, strRequest.c_str());
    curl_easy_setopt(pCurl, CURLOPT_READFUNCTION, nullptr);
    if (pResponse != nullptr) {
        curl_easy_setopt(pCurl, CURLOPT_WRITEFUNCTION, &CollectResponse);
        curl_easy_setopt(pCurl, CURLOPT_WRITEDATA, pResponse);
    } else {
        curl_easy_setopt(pCurl, CURLOPT_WRITEFUNCTION, &DiscardResponse);
        curl_easy_setopt(pCurl, CURLOPT_WRITEDATA, nullptr);
    }
    curl_easy_setopt(pCurl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(pCurl, CURLOPT_TIMEOUT, nTimeout);
    CURLcode result = curl_easy_perform(pCurl);
    curl_easy_cleanup(pCurl);
    return result;
}

} // namespace ns_zr_stat
