// One GET per call over libcurl's easy interface.
#include "stat/HttpClient.h"

#include <cstdio>

#include "net/curl_library.h"

namespace ns_zr_stat {

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
    // libcurl is loaded (and set up once for the process) by the first
    // transfer of any client.
    const CurlApi* pApi = Curl();
    CURL* pCurl = pApi != nullptr ? pApi->easy_init() : nullptr;
    if (pCurl == nullptr) {
        return CURLE_FAILED_INIT;
    }
    if (bVerbose) {
        pApi->easy_setopt(pCurl, CURLOPT_VERBOSE, 1L);
        pApi->easy_setopt(pCurl, CURLOPT_DEBUGFUNCTION, &PrintCurlTraffic);
    }
    std::string strRequest = strUrl;
    if (!strQuery.empty()) {
        strRequest += "?";
        strRequest += strQuery;
    }
    pApi->easy_setopt(pCurl, CURLOPT_URL, strRequest.c_str());
    pApi->easy_setopt(pCurl, CURLOPT_READFUNCTION, nullptr);
    if (pResponse != nullptr) {
        pApi->easy_setopt(pCurl, CURLOPT_WRITEFUNCTION, &CollectResponse);
        pApi->easy_setopt(pCurl, CURLOPT_WRITEDATA, pResponse);
    } else {
        pApi->easy_setopt(pCurl, CURLOPT_WRITEFUNCTION, &DiscardResponse);
        pApi->easy_setopt(pCurl, CURLOPT_WRITEDATA, nullptr);
    }
    pApi->easy_setopt(pCurl, CURLOPT_NOSIGNAL, 1L);
    pApi->easy_setopt(pCurl, CURLOPT_TIMEOUT, nTimeout);
    CURLcode result = pApi->easy_perform(pCurl);
    pApi->easy_cleanup(pCurl);
    return result;
}

} // namespace ns_zr_stat
