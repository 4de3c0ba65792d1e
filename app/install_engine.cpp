// The install engine: configuration, downloads, verification, launch and
// the end-of-install steps, all on the install worker thread.
#include "app/install_engine.h"

#include <cwctype>
#include <exception>

#include <cryptopp/filters.h>
#include <cryptopp/hex.h>
#include <curl/curl.h>
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/md5.h>

#include "app/install_context.h"
#include "app/read_ahead.h"
#include "app/stat_globals.h"
#include "app/system_queries.h"
#include "net/text_convert.h"
#include "plat/sys/files.h"
#include "plat/sys/handle.h"
#include "plat/sys/process.h"
#include "plat/sys/text.h"
#include "plat/win/winuser.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

const wchar_t* const kConfigFailureText = L"获取信息失败！";
const wchar_t* const kInstallFailureText = L"安装失败！";

int g_packageCount = 0;
int g_progressBase = 0;
int g_finishedDownloads = 0;

namespace {

// Bytes read from a package file per step while hashing it.
constexpr size_t kMd5ReadBytes = 1024 * 1024;

std::wstring ToLower(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return text;
}

// Reports the product's installation through the statistics client: label
// "InstallSuccess", name "<version>+<channel>" from the client's settings
// (or "InstallSuccess" when both are empty). Synchronous; result not used.
void ReportInstallSuccess() {
    if (g_statClient == nullptr) {
        return;
    }
    std::wstring name = L"InstallSuccess";
    if (g_statSettings != nullptr &&
        !(g_statSettings->strVersion.empty() && g_statSettings->strChannel.empty())) {
        name = g_statSettings->strVersion + L"+" + g_statSettings->strChannel;
    }
    g_statClient->SendEvent_Sync(L"InstallSuccess", name.c_str());
}

// Tells the desktop and the shell that programs and file associations may
// have changed.
void RefreshShell() {
    plat::PostMessage(plat::GetDesktopWindow(), WM_KEYDOWN, VK_F5, 0);
    plat::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, nullptr, nullptr);
}

} // namespace

int CLibcurlCallbackEx::OnProgress(void* userData, double total, double received) {
    auto* package = static_cast<InstallPackage*>(userData);
    if (package == nullptr || package->owner == nullptr) {
        return 0;
    }
    // libcurl calls this about once a second even while nothing arrives, so
    // a quit also ends a stalled transfer.
    if (package->owner->IsCancelled()) {
        return 1;
    }
    if (total == 0 || g_packageCount <= 0) {
        return 0;
    }
    const int percent = static_cast<int>(received / total * 100.0);
    int value = percent;
    if (g_packageCount != 1) {
        value = percent / g_packageCount;
        if (package->type != L"2") {
            value += g_progressBase;
        }
    }
    package->owner->SetProgress(value);
    return 0;
}

namespace {

// MD5 of everything `file` reads from its current position to its end.
std::wstring Md5FromHandle(plat::HANDLE file) {
    // Large blocks straight into the hash (a byte-stream pipeline would feed
    // it a few dozen bytes at a time), read one block ahead on a thread of
    // their own, so that reading costs no time of the hash's.
    std::string digits;
    try {
        CReadAhead reader(file, kMd5ReadBytes);
        CryptoPP::Weak::MD5 md5;
        for (;;) {
            const uint8_t* data = nullptr;
            size_t size = 0;
            if (!reader.Next(&data, &size)) {
                // A folder, or a read error part-way: no digest.
                return std::wstring();
            }
            if (size == 0) {
                break;
            }
            md5.Update(data, size);
        }
        CryptoPP::byte digest[CryptoPP::Weak::MD5::DIGESTSIZE];
        md5.Final(digest);
        CryptoPP::StringSource(digest, sizeof(digest), true,
                               new CryptoPP::HexEncoder(new CryptoPP::StringSink(digits), true));
    } catch (const std::exception&) {
        return std::wstring();
    }
    if (digits.size() != 32) {
        return std::wstring();
    }
    return AnsiToWide(digits);
}

void ClosePackageFile(InstallPackage& package) {
    if (package.file != INVALID_HANDLE_VALUE) {
        plat::CloseHandle(package.file);
        package.file = INVALID_HANDLE_VALUE;
    }
}

} // namespace

std::wstring FileMd5Hex(const std::wstring& path) {
    if (!plat::PathFileExists(path.c_str())) {
        return std::wstring();
    }
    plat::HANDLE file = plat::CreateFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::wstring();
    }
    std::wstring digest = Md5FromHandle(file);
    plat::CloseHandle(file);
    return digest;
}

std::wstring FileMd5Hex(plat::HANDLE file) {
    plat::HANDLE own = plat::ReOpenFile(file, GENERIC_READ, FILE_SHARE_READ, 0);
    if (own == INVALID_HANDLE_VALUE) {
        return std::wstring();
    }
    std::wstring digest = Md5FromHandle(own);
    plat::CloseHandle(own);
    return digest;
}

void DownloadPackage(InstallPackage* package, const std::string& url, const std::string& path) {
    CLibcurlCallbackEx sink;
    g_downloader.userData = package;
    g_downloader.callback = &sink;
    DownloadToFile(url, path);
    ClosePackageFile(*package);
    if (g_downloader.file != INVALID_HANDLE_VALUE) {
        // The file stays open for reading until it has been verified and
        // run; the writing handle goes now (a file still open for writing
        // cannot be started). A handle may only be opened with a sharing
        // mode that admits the handles already open, so the hand-over takes
        // two steps and the file is never without a handle of ours: a
        // reader that lets the writer be, the writer closed, then the
        // reader that lets nobody write, which the system now grants.
        plat::HANDLE bridge = plat::ReOpenFile(g_downloader.file, GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
        plat::CloseHandle(g_downloader.file);
        g_downloader.file = INVALID_HANDLE_VALUE;
        if (bridge != INVALID_HANDLE_VALUE) {
            package->file = plat::ReOpenFile(bridge, GENERIC_READ, FILE_SHARE_READ, 0);
            plat::CloseHandle(bridge);
        }
    }
    // The sink dies with this call: the downloader must not keep it.
    g_downloader.callback = nullptr;
    g_downloader.userData = nullptr;
}

bool PreparePackages(IInstallView* view) {
    std::wstring text;
    const int result = HttpGetToString(g_configUrl, text);
    // A write error means the response outgrew the size limit and was cut
    // off: whatever part of it arrived is not the server's configuration.
    const bool cutOff = result == CURLE_WRITE_ERROR;

    if (view->IsCancelled()) {
        return false;
    }
    InstallConfig config;
    const bool invalid = cutOff || text.empty() || ParseInstallConfig(text, config);
    if (invalid) {
        view->SetConfigOk(0);
        view->ShowFailure(kConfigFailureText);
        return false;
    }

    const std::wstring installDirectory = MakeInstallDirectory(g_installFolder, config.pdfver);
    SetProductExePath(MakeProductExePath(installDirectory));
    WriteInstallPath(installDirectory);

    BuildPackageList(config, view);
    g_packageCount = static_cast<int>(g_packages.size());
    g_progressBase = g_packageCount > 0 ? 100 / g_packageCount : 0;
    g_finishedDownloads = 0;

    for (InstallPackage& package : g_packages) {
        if (view->IsCancelled()) {
            break;
        }
        const std::string url = WideToChsMultiByte(package.downloadUrl);
        const std::string path = WideToChsMultiByte(package.localPath);
        DownloadPackage(&package, url, path);
        ++g_finishedDownloads;
        g_progressBase = (100 / g_packageCount) * g_finishedDownloads;
    }
    if (view->IsCancelled()) {
        for (InstallPackage& package : g_packages) {
            ClosePackageFile(package);
        }
        return false;
    }
    view->SetProgress(100);
    return true;
}

void InstallThread(IInstallView* view) {
    if (view == nullptr || !PreparePackages(view)) {
        return;
    }
    bool productInstalled = false;
    for (InstallPackage& package : g_packages) {
        if (view->IsCancelled()) {
            ClosePackageFile(package);
            continue;
        }
        // Hashed and started through the handle kept since the download:
        // the bytes that run are the bytes that were checked.
        const std::wstring actual = ToLower(FileMd5Hex(package.file));
        const std::wstring expected = ToLower(package.md5);
        // An empty expected digest matches only a missing file: there is
        // nothing to run then, so the package is skipped.
        if (expected.empty() || actual != expected) {
            ClosePackageFile(package);
            continue;
        }
        // Started only while the user has not quit; a quit during the
        // start waits for it, and nothing starts after the quit.
        bool launched = false;
        plat::HANDLE process = nullptr;
        const std::wstring runPath = plat::GetFileHandlePath(package.file);
        view->StartUnlessCancelled(
            [&] { launched = StartHidden(runPath, package.parameters, &process); });
        const plat::DWORD exitCode = WaitAndClose(process);
        ClosePackageFile(package);
        if (package.type == L"1" && launched && exitCode == 0) {
            productInstalled = true;
            ReportInstallSuccess();
        }
    }
    if (view->GetConfigOk() == 0 || view->IsCancelled()) {
        return;
    }
    if (!productInstalled) {
        view->SetConfigOk(0);
        view->ShowFailure(kInstallFailureText);
        return;
    }
    RefreshShell();
    view->InstallDone();
}
