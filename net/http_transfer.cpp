// Text fetches and file downloads over libcurl's easy interface.
#include "net/http_transfer.h"

#include <algorithm>

#include <curl/curl.h>

#include "net/text_convert.h"
#include "plat/sys/files.h"
#include "plat/sys/text.h"

CLibcurlDownloader g_downloader;

namespace {

// Bytes libcurl hands to the write callback at most at once. The default
// (16 KiB) costs one file write per 16 KiB; a larger buffer keeps large
// downloads at the speed of the loopback or the disk.
constexpr long kDownloadBufferBytes = 256 * 1024;

int XferInfoCallback(void* userp, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                     curl_off_t ulnow) {
    return DownloadProgressCallback(userp, static_cast<double>(dltotal), static_cast<double>(dlnow),
                                    static_cast<double>(ultotal), static_cast<double>(ulnow));
}

// Sets up g_downloader before main runs: one easy handle for the life of the
// process, writing into the downloader's file.
struct DownloaderSetup {
    DownloaderSetup() {
        g_downloader.handle = curl_easy_init();
        g_downloader.file = plat::INVALID_HANDLE_VALUE;
        g_downloader.userData = nullptr;
        g_downloader.callback = nullptr;
        if (g_downloader.handle != nullptr) {
            curl_easy_setopt(g_downloader.handle, CURLOPT_WRITEFUNCTION, FileWriteCallback);
            curl_easy_setopt(g_downloader.handle, CURLOPT_WRITEDATA, &g_downloader);
        }
    }
};
const DownloaderSetup g_downloaderSetup;

} // namespace

size_t TextWriteCallback(char* data, size_t size, size_t count, void* userp) {
    if (data == nullptr || userp == nullptr) {
        return static_cast<size_t>(-1);
    }
    std::string& body = *static_cast<std::string*>(userp);
    const size_t bytes = size * count;
    // Keep at most one byte beyond the limit, so that a cut-off body is
    // recognisably longer than any acceptable one, then refuse the rest.
    if (body.size() + bytes > kMaxTextResponseBytes) {
        const size_t room = kMaxTextResponseBytes + 1 - body.size();
        body.append(data, std::min(room, bytes));
        return 0;
    }
    body.append(data, bytes);
    return count;
}

size_t FileWriteCallback(char* data, size_t size, size_t count, void* userp) {
    auto* downloader = static_cast<CLibcurlDownloader*>(userp);
    if (downloader == nullptr || downloader->file == plat::INVALID_HANDLE_VALUE) {
        return 0;
    }
    const size_t bytes = size * count;
    plat::DWORD written = 0;
    if (!plat::WriteFile(downloader->file, data, static_cast<plat::DWORD>(bytes), &written,
                         nullptr)) {
        return 0;
    }
    return written;
}

int DownloadProgressCallback(void* userp, double dltotal, double dlnow, double /*ultotal*/,
                             double /*ulnow*/) {
    auto* downloader = static_cast<CLibcurlDownloader*>(userp);
    if (downloader != nullptr && downloader->callback != nullptr) {
        // A sink that answers non-zero ends the transfer
        // (CURLE_ABORTED_BY_CALLBACK): the user quit.
        return downloader->callback->OnProgress(downloader->userData, dltotal, dlnow) != 0 ? 1 : 0;
    }
    return 0;
}

int HttpGetToString(const std::wstring& url, std::wstring& text) {
    const std::string narrowUrl = WideToAnsi(url);
    std::string body;
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        return CURLE_FAILED_INIT;
    }
    curl_easy_setopt(curl, CURLOPT_URL, narrowUrl.c_str());
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, nullptr);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, TextWriteCallback);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 3L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 3L);
    const CURLcode result = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    text = AnsiToWide(body);
    return result;
}

bool DownloadToFile(const std::string& url, const std::string& path) {
    CURL* curl = g_downloader.handle;
    if (curl == nullptr) {
        return false;
    }
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());

    // Removing the name first (a link is removed, not followed) and then
    // creating it exclusively means the download lands in a file of its own
    // that nobody else had open before.
    plat::DeleteFile(plat::ChsMultiByteToWide(path).c_str());
    g_downloader.file = plat::CreateFile(path.c_str(), plat::GENERIC_WRITE, 0, nullptr,
                                         plat::CREATE_NEW, plat::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_downloader.file == plat::INVALID_HANDLE_VALUE) {
        return false;
    }

    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, XferInfoCallback);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &g_downloader);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxDownloadRedirects);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kDownloadBufferBytes);
    // A download that stalls is abandoned instead of holding the installer
    // for ever: less than 1 byte per second over stallSeconds ends it.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, g_downloader.stallSeconds);
    return curl_easy_perform(curl) == CURLE_OK;
}
