// Text fetches and file downloads over libcurl's easy interface.
#include "net/http_transfer.h"

#include <algorithm>

#include "net/curl_library.h"
#include "net/text_convert.h"
#include "plat/sys/files.h"
#include "plat/sys/text.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

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

// The downloader's easy handle, made by the first download and kept for the
// next ones (downloads run one at a time); null when libcurl is not there.
CURL* DownloaderHandle(const CurlApi& curl) {
    if (g_downloader.handle == nullptr) {
        g_downloader.handle = curl.easy_init();
        if (g_downloader.handle != nullptr) {
            curl.easy_setopt(g_downloader.handle, CURLOPT_WRITEFUNCTION, FileWriteCallback);
            curl.easy_setopt(g_downloader.handle, CURLOPT_WRITEDATA, &g_downloader);
        }
    }
    return g_downloader.handle;
}

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
    if (downloader == nullptr || downloader->file == INVALID_HANDLE_VALUE) {
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
    const CurlApi* api = Curl();
    CURL* curl = api != nullptr ? api->easy_init() : nullptr;
    if (curl == nullptr) {
        return CURLE_FAILED_INIT;
    }
    api->easy_setopt(curl, CURLOPT_URL, narrowUrl.c_str());
    api->easy_setopt(curl, CURLOPT_READFUNCTION, nullptr);
    api->easy_setopt(curl, CURLOPT_WRITEFUNCTION, TextWriteCallback);
    api->easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    api->easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    api->easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 3L);
    api->easy_setopt(curl, CURLOPT_TIMEOUT, 3L);
    const CURLcode result = api->easy_perform(curl);
    api->easy_cleanup(curl);
    text = AnsiToWide(body);
    return result;
}

bool DownloadToFile(const std::string& url, const std::string& path) {
    const CurlApi* api = Curl();
    CURL* curl = api != nullptr ? DownloaderHandle(*api) : nullptr;
    if (curl == nullptr) {
        return false;
    }
    api->easy_setopt(curl, CURLOPT_URL, url.c_str());

    // Removing the name first (a link is removed, not followed) and then
    // creating it exclusively means the download lands in a file of its own
    // that nobody else had open before. Others may read it while it is
    // written, but not write it; the caller reopens it for reading through
    // this handle once the download is done.
    const std::wstring widePath = plat::ChsMultiByteToWide(path);
    plat::DeleteFile(widePath.c_str());
    g_downloader.file = plat::CreateFile(widePath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_downloader.file == INVALID_HANDLE_VALUE) {
        return false;
    }

    api->easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    api->easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, XferInfoCallback);
    api->easy_setopt(curl, CURLOPT_XFERINFODATA, &g_downloader);
    api->easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    api->easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxDownloadRedirects);
    api->easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    api->easy_setopt(curl, CURLOPT_BUFFERSIZE, kDownloadBufferBytes);
    // A download that stalls is abandoned instead of holding the installer
    // for ever: less than 1 byte per second over stallSeconds ends it.
    api->easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    api->easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, g_downloader.stallSeconds);
    return api->easy_perform(curl) == CURLE_OK;
}
