// The install engine: fetch and validate the install configuration, record
// the install directory, download every package with progress, verify each
// by its MD5, run it silently and wait for it, report the product's
// installation, refresh the shell and tell the install window it is done.
//
// The engine runs once per process on the install worker thread. It reaches
// the install window only through IInstallView, so it runs without a window.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "app/install_config.h"
#include "net/http_transfer.h"
#include "plat/sys/wintypes.h"

// Sent by the engine to the install window when it has finished (wParam and
// lParam 0): WM_USER + 101.
constexpr plat::UINT WM_INSTALL_DONE = 0x0400 + 101;

// What the engine needs of the install window. SetProgress, ShowFailure and
// InstallDone are called on the install worker thread; the window carries
// the change over to its own thread and drops calls that arrive after it has
// closed.
class IInstallView {
public:
    // Shows a download percentage; 100 or more switches to the installing
    // display.
    virtual void SetProgress(int value) = 0;
    // Replaces the download texts by a failure text and enables closing.
    virtual void ShowFailure(const std::wstring& text) = 0;
    // Sends WM_INSTALL_DONE to the window synchronously: the window closes
    // and the finish window follows. Returns when the window has handled it.
    virtual void InstallDone() = 0;

    // The window's m_bConfigOk: 1 from construction; 0 makes the close
    // button end the installer at once, without asking. The worker writes it
    // and the window's own thread reads it, so it is held here, atomically,
    // for every view alike.
    int GetConfigOk() const { return m_bConfigOk.load(std::memory_order_acquire); }
    void SetConfigOk(int value) { m_bConfigOk.store(value, std::memory_order_release); }

    // The user quit: the download in progress is aborted and no package is
    // started any more. Called on the window's thread; once it has returned,
    // no package start can follow (a start already under way has returned
    // before it).
    void Cancel() {
        std::lock_guard<std::mutex> guard(m_launchMutex);
        m_bCancelled.store(true, std::memory_order_release);
    }
    bool IsCancelled() const { return m_bCancelled.load(std::memory_order_acquire); }
    // Runs `start` (the launch of a package) unless the engine was
    // cancelled, and tells whether it ran. A Cancel cannot come between the
    // check and the launch.
    bool StartUnlessCancelled(const std::function<void()>& start) {
        std::lock_guard<std::mutex> guard(m_launchMutex);
        if (IsCancelled()) {
            return false;
        }
        start();
        return true;
    }

protected:
    IInstallView() = default;
    ~IInstallView() = default;
    IInstallView(const IInstallView&) = delete;
    IInstallView& operator=(const IInstallView&) = delete;

private:
    std::atomic<int> m_bConfigOk{1};
    std::atomic<bool> m_bCancelled{false};
    std::mutex m_launchMutex;
};

// Failure texts the engine shows.
extern const wchar_t* const kConfigFailureText;  // "获取信息失败！"
extern const wchar_t* const kInstallFailureText; // "安装失败！"

// Progress counters, used only by the engine and its progress sink on the
// worker thread: package count = g_packages' length; progress base = (100 /
// package count) x finished downloads (100 / count before the first).
extern int g_packageCount;
extern int g_progressBase;
extern int g_finishedDownloads;

// The engine's progress sink: turns libcurl's byte counts into the value the
// window shows (0..100 for one package; 0..50 then 50..100 for two).
class CLibcurlCallbackEx : public CLibcurlCallback {
public:
    // `userData` is the InstallPackage being downloaded. Does nothing while
    // `total` is 0 (size not yet known). Returns 0, or 1 (abort the
    // transfer) once the package's owner has been cancelled.
    int OnProgress(void* userData, double total, double received) override;
};

// The worker's thread procedure: PreparePackages, then for each package in
// list order: MD5 check, run and wait, and for the product package the
// "InstallSuccess" report. The check and the run both go through the file
// handle kept since the download (InstallPackage::file), so what runs is
// exactly what was verified, even if something else is put at the package's
// path in between. The product counts as installed only when its MD5
// matched a non-empty expected digest, it was launched and it exited with
// status 0; otherwise the window shows "安装失败！", its config flag is set to
// 0 and no WM_INSTALL_DONE follows. After a successful installation the shell
// is refreshed and the window gets WM_INSTALL_DONE. When no configuration was
// obtained the worker just ends (the failure is already shown).
// Once the view is cancelled the worker stops where it is: the download
// under way is aborted, nothing more is downloaded, no package is started,
// nothing is shown and no WM_INSTALL_DONE is sent.
void InstallThread(IInstallView* view);

// First phase: fetch g_configUrl, parse it, show "获取信息失败！" and clear the
// view's config flag when it is empty or invalid (nothing written, downloaded
// or run); otherwise set g_productExePath, write the installPath registry
// value, build g_packages and download each package, then SetProgress(100).
// Returns true when a valid configuration was obtained and the view was not
// cancelled meanwhile (a cancel before the configuration arrived leaves the
// registry alone).
bool PreparePackages(IInstallView* view);

// One download of `package` from `url` into `path` with a progress sink.
// Afterwards the download's own handle is closed and `package->file` holds
// the file open for reading (invalid when it could not be created).
// Failures are not reported: the MD5 check catches them later.
void DownloadPackage(InstallPackage* package, const std::string& url, const std::string& path);

// MD5 of the file at `path` as 32 upper-case hex digits, or the empty string
// when nothing exists there or it cannot be read (a folder, no permission).
std::wstring FileMd5Hex(const std::wstring& path);
// The same for the whole file behind an open handle, read from its start
// through a handle of its own (the caller's position is left alone); empty
// for an invalid handle or a read error.
std::wstring FileMd5Hex(plat::HANDLE file);
