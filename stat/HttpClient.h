// The small HTTP client of the statistics reports: one GET per call.
#pragma once

#include <curl/curl.h>

#include <string>

namespace ns_zr_stat {

class CHttpClient {
public:
    // When true, libcurl's verbose mode is on and its traffic is printed to
    // standard output, one "[TEXT]", "[HEADER_IN]", "[HEADER_OUT]",
    // "[DATA_IN]" or "[DATA_OUT]" line per chunk.
    bool bVerbose = false;
    // Whole-transfer time-out in seconds.
    long nTimeout = 6;

    // Performs one GET of strUrl (followed by "?" and strQuery when the query
    // is not empty), appending the response body to strResponse. Returns
    // libcurl's result: CURLE_OK when the exchange completed, whatever its
    // HTTP status; CURLE_FAILED_INIT when libcurl cannot be loaded or no
    // handle could be made. Redirects
    // are not followed; libcurl's signals are off (safe on any thread).
    CURLcode Get(const std::string& strUrl, const std::string& strQuery, std::string& strResponse);
    // The same GET for callers that do not read the answer: the body is
    // received and thrown away chunk by chunk, so however much a server
    // sends, nothing of it is kept in memory.
    CURLcode Get(const std::string& strUrl, const std::string& strQuery);

private:
    CURLcode Perform(const std::string& strUrl, const std::string& strQuery,
                     std::string* pResponse);
};

// libcurl write callback: appends size * count bytes to the std::string at
// pTarget; returns the all-ones value (ending the transfer with a write
// error) when the target or the data is null.
size_t CollectResponse(void* pData, size_t nSize, size_t nCount, void* pTarget);

// libcurl write callback that takes every chunk and keeps none of it.
size_t DiscardResponse(void* pData, size_t nSize, size_t nCount, void* pTarget);

// libcurl debug callback: prints one prefixed line per chunk (see bVerbose).
int PrintCurlTraffic(CURL* pHandle, curl_infotype eType, char* pData, size_t nSize, void* pUser);

} // namespace ns_zr_stat
