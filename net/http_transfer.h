// The installer's two network operations over libcurl's easy interface:
// fetching a URL into text (the install configuration) and downloading a URL
// into a file while a progress sink is told how far the transfer has got.
//
// Both run on the install worker thread, one at a time. Failures are results
// (libcurl codes, false, empty text); nothing here throws, logs or retries.
#pragma once

#include <cstddef>
#include <string>

#include "plat/sys/wintypes.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

typedef void CURL;

// A progress sink. OnProgress is called on the transferring thread, inside the
// download, with the user data the caller put into the downloader, the number
// of bytes expected in all (0 while the size is not known) and the number
// received so far. A non-zero result aborts the transfer (the download then
// fails with CURLE_ABORTED_BY_CALLBACK); a sink answers 0 to let it go on.
class CLibcurlCallback {
public:
    virtual ~CLibcurlCallback() = default;
    virtual int OnProgress(void* userData, double total, double received) = 0;
};

// One libcurl easy handle used for every file download, reused from one
// download to the next (options set by one download persist).
struct CLibcurlDownloader {
    CURL* handle = nullptr;                   // made by the first download, never cleaned up
    plat::HANDLE file = INVALID_HANDLE_VALUE; // file being written
    void* userData = nullptr;                 // first argument of OnProgress
    CLibcurlCallback* callback = nullptr;     // null: progress is ignored
    // A download that receives nothing for this many seconds is abandoned
    // (libcurl's low-speed limit of 1 byte per second over this period).
    long stallSeconds = 60;
};

// The process-wide downloader. Its handle is made by the first download
// (libcurl is loaded then, see net/curl_library.h); when libcurl cannot be
// loaded or make a handle, every DownloadToFile fails.
extern CLibcurlDownloader g_downloader;

// Largest response body HttpGetToString keeps. A longer response is cut off
// just past this size (the text is then longer than the limit, so callers can
// tell) and the transfer ends with CURLE_WRITE_ERROR.
constexpr size_t kMaxTextResponseBytes = 1024 * 1024;

// Fetches `url` with an HTTP GET (3-second connect and 3-second total
// time-outs, redirects not followed) and stores the response body, whatever
// the HTTP status, as wide text in `text` (AnsiToWide: a leading U+FEFF is
// dropped). Returns libcurl's result code, CURLE_OK (0) on success; `text` is
// set from whatever arrived even on failure. Returns CURLE_FAILED_INIT (2)
// and leaves `text` unchanged when libcurl cannot be loaded or no easy handle
// can be created.
int HttpGetToString(const std::wstring& url, std::wstring& text);

// Redirects a download follows at most; one more ends it with
// CURLE_TOO_MANY_REDIRECTS, so a redirect loop fails at once.
constexpr long kMaxDownloadRedirects = 10;

// Downloads `url` into the file `path` through g_downloader, following up to
// kMaxDownloadRedirects redirects and reporting progress to
// g_downloader.callback with g_downloader.userData. The file is created
// exclusively: whatever entry has the name already (a file, or a link, which
// is removed and never followed) is deleted first, and if anything appears
// there in between, the creation fails. g_downloader.file is then the new
// file, open for writing. Returns true when the transfer completed with
// CURLE_OK. When the file cannot be created it returns false at once and
// sends no request. The caller sets userData and callback before the call and
// closes g_downloader.file after it; a partial file stays on disk. Without
// libcurl (see Curl()) it returns false at once, creating no file.
bool DownloadToFile(const std::string& url, const std::string& path);

// libcurl callbacks, exposed so that their refusals can be tested directly.
// Text write callback: appends to the std::string `userp` designates; returns
// size*count, or a different count (ending the transfer with a write error)
// when either pointer is null or the body would exceed the size limit.
size_t TextWriteCallback(char* data, size_t size, size_t count, void* userp);
// File write callback (`userp` = a CLibcurlDownloader): writes into its file;
// returns the bytes written, 0 when there is no file or the write fails.
size_t FileWriteCallback(char* data, size_t size, size_t count, void* userp);
// Progress callback (`userp` = a CLibcurlDownloader): forwards the download
// total and count to the sink if there is one; 1 (abort) when the sink
// answers non-zero, else 0.
int DownloadProgressCallback(void* userp, double dltotal, double dlnow, double ultotal,
                             double ulnow);
