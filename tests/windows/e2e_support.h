// Support of the installer's end-to-end tests:
//
//   Peer      the installer's three outside peers in the test: the product
//             web API (install configuration), the download host (packages,
//             which a test can hold at a byte offset, release or cut off) and
//             the statistics host (reports recorded and decoded), on a free
//             loopback port.
//   Session   one installer process on the headless backend with its own
//             automation socket, registry store, home (install root),
//             temporary folder and a recording stand-in for the browser, and
//             the moves a person makes: clicks, keys, folder answers.
//   Screen    reference pictures of whole window states: skinview renders
//             the layout in the state, the drop shadow is computed as the
//             shadow window computes it, both placed where the windows are,
//             and compared with the screen.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <cryptopp/hex.h>
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/md5.h>
#include <stb_image.h>

#include "plat/gfx/gdi.h"
#include "plat/sys/text.h"
#include "stat/ReportDecode.h"
#include "stat/ZrStat.h"
#include "tests/common/automation_client.h"
#include "tests/common/child_process.h"
#include "tests/common/reference_picture.h"
#include "tests/common/skin_tree.h"
#include "tests/common/test_util.h"
#include "ui/UIShadow.h"

namespace e2e {

using plat::HeadlessImage;
using plat::HRGN;
using plat::RECT;

// ------------------------------------------------------------------ Peer

inline std::string Md5Hex(const std::string& bytes) {
    CryptoPP::Weak::MD5 md5;
    std::string digest(CryptoPP::Weak::MD5::DIGESTSIZE, '\0');
    md5.CalculateDigest(reinterpret_cast<CryptoPP::byte*>(digest.data()),
                        reinterpret_cast<const CryptoPP::byte*>(bytes.data()), bytes.size());
    std::string hex;
    CryptoPP::StringSource(digest, true, new CryptoPP::HexEncoder(new CryptoPP::StringSink(hex)));
    return hex;
}

// A package the download host serves at /pkg/<name>.
struct PackageSpec {
    std::string bytes;
    // The host stops after this many bytes until Release (npos: never).
    size_t holdAt = std::string::npos;
    // The host cuts the connection after holdAt bytes instead of waiting.
    bool cutAtHold = false;
};

class Peer {
public:
    Peer() {
        m_server.set_keep_alive_max_count(1);
        m_server.Get(R"(/api/soft/pdf/type/install/sp/1\.0/ver/([^/]*)/channel/([^/]*))",
                     [this](const httplib::Request& req, httplib::Response& res) {
                         {
                             std::lock_guard<std::mutex> guard(m_mutex);
                             m_configPaths.push_back(req.path);
                             m_held["config"] = m_holdConfig;
                             m_changed.notify_all();
                         }
                         if (m_holdConfig)
                             WaitReleased("config", std::chrono::seconds(120));
                         std::lock_guard<std::mutex> guard(m_mutex);
                         res.set_content(m_config, "application/json");
                     });
        m_server.Get(R"(/pkg/([^/]+))", [this](const httplib::Request& req,
                                               httplib::Response& res) { ServePackage(req, res); });
        m_server.Get(R"(/+tj\.html)", [this](const httplib::Request& req, httplib::Response& res) {
            std::string target = req.target;
            {
                std::lock_guard<std::mutex> guard(m_mutex);
                m_reports.push_back(target);
                m_changed.notify_all();
            }
            if (m_reportDelayMs > 0)
                WaitReleased("reports", std::chrono::milliseconds(m_reportDelayMs));
            res.set_content("ok", "text/plain");
        });
        m_server.Get("/service/clause", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html><body>licence</body></html>", "text/html");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        for (int i = 0; i < 500 && !m_server.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~Peer() { Stop(); }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    bool Running() const { return m_port > 0 && m_server.is_running(); }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(m_port); }

    // Ends every held transfer (cut off) and stops listening.
    void Stop() {
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_stopping = true;
            m_changed.notify_all();
        }
        if (m_thread.joinable()) {
            m_server.stop();
            m_thread.join();
        }
    }

    void SetConfig(const std::string& body) {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_config = body;
    }
    void AddPackage(const std::string& name, PackageSpec spec) {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_packages[name] = std::make_shared<PackageSpec>(std::move(spec));
    }
    // Lets a held package (or the delayed reports, name "reports") go on.
    void Release(const std::string& name) {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_released[name] = true;
        m_changed.notify_all();
    }
    // Each report's answer waits this long unless "reports" is released.
    void DelayReports(int ms) { m_reportDelayMs = ms; }
    // The configuration's answer waits until "config" is released (WaitHeld
    // "config" tells when it was asked for).
    void HoldConfig() {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_holdConfig = true;
    }

    // Waits until the host has sent a package up to its hold point.
    bool WaitHeld(const std::string& name, int timeoutMs = 20000) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_held[name]; });
    }
    // Waits until a package's transfer has ended (completed, cut off or
    // abandoned by the client); true when it did within the time.
    bool WaitTransferEnded(const std::string& name, int timeoutMs = 20000) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_ended[name] > 0; });
    }
    // Bytes of a package the host has written to the connection.
    size_t SentBytes(const std::string& name) {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_sent[name];
    }
    int Requests(const std::string& name) {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_requests[name];
    }
    std::vector<std::string> ConfigPaths() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_configPaths;
    }
    // Waits until at least `count` reports have arrived.
    bool WaitReports(size_t count, int timeoutMs = 15000) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_reports.size() >= count; });
    }
    // The documents of the reports received so far, decoded with the
    // statistics client's key and IV (a report that does not decode is
    // returned as "undecodable: <reason>").
    std::vector<std::string> Reports() {
        std::vector<std::string> targets;
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            targets = m_reports;
        }
        ns_zr_stat::ZrStat defaults;
        const std::string iv = plat::WideToUtf8(defaults.GetConfig()->strIv);
        std::vector<std::string> docs;
        for (const std::string& target : targets) {
            ns_zr_stat::tagSTAT_DECODED out;
            const auto result =
                ns_zr_stat::DecodeReport(target, "5b7d2e90a4c1f38e6d0b9a27c4e8f153", iv, out);
            docs.push_back(result == ns_zr_stat::DECODE_OK ? out.strJson
                                                           : "undecodable: " + out.strError);
        }
        return docs;
    }

private:
    void WaitReleased(const std::string& name, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait_for(lock, limit, [&] { return m_released[name] || m_stopping; });
    }

    void ServePackage(const httplib::Request& req, httplib::Response& res) {
        const std::string name = req.matches[1];
        std::shared_ptr<PackageSpec> spec;
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            ++m_requests[name];
            auto it = m_packages.find(name);
            if (it != m_packages.end())
                spec = it->second;
        }
        if (spec == nullptr) {
            res.status = 404;
            return;
        }
        res.set_content_provider(
            spec->bytes.size(), "application/octet-stream",
            [this, spec, name](size_t offset, size_t length, httplib::DataSink& sink) {
                if (offset >= spec->holdAt) {
                    {
                        std::lock_guard<std::mutex> guard(m_mutex);
                        m_held[name] = true;
                        m_changed.notify_all();
                    }
                    if (spec->cutAtHold)
                        return false;
                    WaitReleased(name, std::chrono::seconds(120));
                    std::lock_guard<std::mutex> guard(m_mutex);
                    if (m_stopping)
                        return false;
                }
                size_t chunk = std::min<size_t>(length, 64 * 1024);
                if (offset < spec->holdAt)
                    chunk = std::min(chunk, spec->holdAt - offset);
                if (!sink.write(spec->bytes.data() + offset, chunk))
                    return false;
                std::lock_guard<std::mutex> guard(m_mutex);
                m_sent[name] = offset + chunk;
                return true;
            },
            [this, name](bool) {
                std::lock_guard<std::mutex> guard(m_mutex);
                ++m_ended[name];
                m_changed.notify_all();
            });
    }

    httplib::Server m_server;
    std::thread m_thread;
    int m_port = -1;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stopping = false;
    bool m_holdConfig = false;
    std::string m_config;
    std::vector<std::string> m_configPaths;
    std::map<std::string, std::shared_ptr<PackageSpec>> m_packages;
    std::map<std::string, bool> m_released;
    std::map<std::string, bool> m_held;
    std::map<std::string, int> m_ended;
    std::map<std::string, size_t> m_sent;
    std::map<std::string, int> m_requests;
    std::vector<std::string> m_reports;
    std::atomic<int> m_reportDelayMs{0};
};

// The configuration answer for a product package (and a .NET package) the
// peer serves; `productMd5` empty: the digest of its bytes.
inline std::string ConfigJson(const Peer& peer, const std::string& productName,
                              const std::string& productBytes, const std::string& dotnetName = "",
                              const std::string& dotnetBytes = "",
                              const std::string& productMd5 = "") {
    std::string data = "\"sp\":\"1.0\",\"pdfver\":\"2.0.1\",\"pdfname\":\"" + productName +
                       "\",\"pdfdlurl\":\"" + peer.Base() + "/pkg/" + productName +
                       "\",\"pdfmd5\":\"" +
                       (productMd5.empty() ? Md5Hex(productBytes) : productMd5) + "\"";
    if (!dotnetName.empty())
        data += ",\"dotnetmajorver\":\"4\",\"dotnetname\":\"" + dotnetName +
                "\",\"dotnetparam\":\"/q /norestart\",\"dotnetdlurl\":\"" + peer.Base() + "/pkg/" +
                dotnetName + "\",\"dotnetmd5\":\"" + Md5Hex(dotnetBytes) + "\"";
    return "{\"code\":\"200\",\"data\":{" + data + "}}";
}

// How a package made by ProbePackage behaves besides logging its start.
struct ProbeOptions {
    int exitCode = 0;
    // Waits (at most 60 s) until Session::Go before it logs and ends.
    bool waitForGo = false;
    // Logs its start, then waits (at most 60 s) until the installer that
    // started it has ended (its automation socket is gone), logs "outlived"
    // and ends at once.
    bool outliveTheInstaller = false;
    // Puts a product stand-in at <productDir>/TarvexPDFConver.exe: started,
    // it logs "started" (with its arguments) through the probe.
    std::string productDir;
};

// A package script that runs the probe under `name` (the probe appends a
// line to $PROBE_LOG) and exits with the options' code, padded to `bytes`.
inline std::string ProbePackage(const std::string& name, size_t bytes,
                                const ProbeOptions& options) {
    const std::string probe = "\"" + std::string(TARVEX_PACKAGE_PROBE) + "\"";
    std::string script = "#!/bin/sh\n";
    if (options.waitForGo)
        script += "i=0\nwhile [ ! -e \"$PROBE_LOG.go\" ] && [ $i -lt 1200 ]; do sleep 0.05; "
                  "i=$((i+1)); done\n";
    if (!options.productDir.empty())
        script += "mkdir -p '" + options.productDir + "'\nprintf '#!/bin/sh\\nexec " + probe +
                  " started \"$@\"\\n' > '" + options.productDir +
                  "/TarvexPDFConver.exe'\nchmod +x '" + options.productDir +
                  "/TarvexPDFConver.exe'\n";
    script += probe + " " + name + " \"$@\"\n";
    if (options.outliveTheInstaller)
        script += "i=0\nwhile [ -e \"$PLAT_AUTOMATION\" ] && [ $i -lt 6000 ]; do sleep 0.01; "
                  "i=$((i+1)); done\necho outlived >> \"$PROBE_LOG\"\n";
    script += "exit " + std::to_string(options.exitCode) + "\n";
    while (script.size() < bytes)
        script += "# padding padding padding padding padding padding padding padding\n";
    return script;
}

// The same with an exit code and, with `waitForGo`, the wait for Session::Go.
inline std::string ProbePackage(const std::string& name, size_t bytes, int exitCode = 0,
                                bool waitForGo = false) {
    ProbeOptions options;
    options.exitCode = exitCode;
    options.waitForGo = waitForGo;
    return ProbePackage(name, bytes, options);
}

// ---------------------------------------------------------------- Session

// Waits (bounded) until what `read` returns contains `text`.
inline bool WaitForText(const std::function<std::string()>& read, const std::string& text,
                        int timeoutMs = 10000) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if (read().find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

struct WindowInfo {
    std::string hwnd;
    std::string cls;
    std::string title;
    RECT rect{0, 0, 0, 0};
    bool visible = false;
    int Width() const { return rect.right - rect.left; }
    int Height() const { return rect.bottom - rect.top; }
};

class Session {
public:
    Session() : m_root("inst_e2e") {
        for (const char* dir : {"home", "tmp", "bin", "install"})
            std::filesystem::create_directories(m_root / dir);
        // The browser stand-in: records what it was asked to open.
        const std::string opener = m_root / "bin/xdg-open";
        testutil::WriteAll(opener,
                           "#!/bin/sh\necho \"$@\" >> \"" + (m_root / "opened.txt") + "\"\n");
        std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    }

    const testutil::TempDir& Root() const { return m_root; }
    std::string Path(const std::string& name) const { return m_root / name; }
    std::string InstallRoot() const { return m_root / "install"; }
    std::string ProbeLog() const { return testutil::ReadAll(m_root / "probe.log"); }
    std::string Output() const { return testutil::ReadAll(m_root / "out.txt"); }
    std::string Opened() const { return testutil::ReadAll(m_root / "opened.txt"); }
    // Waits (bounded) until the probe log holds `text`.
    bool WaitProbeLog(const std::string& text, int timeoutMs = 20000) const {
        return WaitForText([this] { return ProbeLog(); }, text, timeoutMs);
    }
    // Lets a package made with ProbePackage(..., waitForGo) go on.
    void Go() const { testutil::WriteAll(m_root / "probe.log.go", "go"); }

    // The process's private world: registry store, home (with the desktop's
    // folders inside it), temporary folder, probe log and the browser
    // stand-in first on the PATH. Any backend's run of the installer uses it.
    std::vector<std::string> Environment() const {
        const char* path = std::getenv("PATH");
        const std::string home = m_root / "home";
        return {
            "PLAT_REGISTRY=" + (m_root / "registry.db"),
            "HOME=" + home,
            "XDG_CACHE_HOME=" + home + "/.cache",
            "XDG_STATE_HOME=" + home + "/.local/state",
            "XDG_DATA_HOME=" + home + "/.local/share",
            "XDG_CONFIG_HOME=" + home + "/.config",
            "TMPDIR=" + (m_root / "tmp"),
            "PROBE_LOG=" + (m_root / "probe.log"),
            "PATH=" + (m_root / "bin") + ":" + (path != nullptr ? path : "/usr/bin:/bin"),
        };
    }

    // The installer test build's arguments: its hosts are `peer`.
    static std::vector<std::string> InstallerArgs(const Peer& peer,
                                                  const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"--api",     peer.Base(), "--web",
                                         peer.Base(), "--stat",    peer.Base()};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    // Starts `exe` with `args` on the headless backend; `prefix` (e.g.
    // prlimit and its options) runs in front of it. Connects the automation
    // client.
    bool Start(const std::string& exe, std::vector<std::string> args,
               std::vector<std::string> prefix = {}) {
        std::vector<std::string> set = Environment();
        set.insert(set.end(),
                   {"PLAT_BACKEND=headless", "PLAT_AUTOMATION=" + (m_root / "auto.sock")});
        const std::vector<std::string> unset = {"DISPLAY"};
        std::string program = exe;
        if (!prefix.empty()) {
            program = prefix.front();
            std::vector<std::string> all(prefix.begin() + 1, prefix.end());
            all.push_back(exe);
            all.insert(all.end(), args.begin(), args.end());
            args = all;
        }
        if (!m_process.Start(program, args, set, unset, m_root / "out.txt", m_root / "err.txt"))
            return false;
        return m_client.Connect(m_root / "auto.sock", 20000);
    }

    // Records .NET Framework 4 as installed in the session's registry.
    bool MarkDotNetInstalled() {
        int code = -1;
        testutil::Run(std::string(REGTOOL_PATH) + " --store '" + (m_root / "registry.db") +
                          "' set 'HKLM\\Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full' "
                          "Install dword 1",
                      code);
        return code == 0;
    }

    // The installer with its test seams, against `peer`.
    bool StartInstaller(const Peer& peer, std::vector<std::string> extra = {},
                        std::vector<std::string> prefix = {}) {
        return Start(INSTALLER_TESTHOST, InstallerArgs(peer, extra), prefix);
    }

    std::string Ask(const std::string& command, int timeoutMs = 15000) {
        return m_client.Ask(command, timeoutMs);
    }

    std::vector<WindowInfo> Windows() {
        std::vector<WindowInfo> windows;
        const std::string reply = Ask("list");
        if (reply.rfind("ok ", 0) != 0)
            return windows;
        const int n = std::stoi(reply.substr(3));
        for (int i = 0; i < n; ++i) {
            const std::string line = m_client.ReadLine();
            WindowInfo w;
            w.hwnd = line.substr(0, line.find(' '));
            w.cls = Quoted(line, "class=");
            w.title = Quoted(line, "title=");
            const size_t at = line.find("rect=");
            if (at != std::string::npos)
                std::sscanf(line.c_str() + at, "rect=%d,%d,%d,%d", &w.rect.left, &w.rect.top,
                            &w.rect.right, &w.rect.bottom);
            w.visible = line.find("visible=1") != std::string::npos;
            windows.push_back(w);
        }
        return windows;
    }
    // The visible top-level window of a class; cls empty in the result when
    // there is none.
    WindowInfo Find(const std::string& cls) {
        for (const WindowInfo& w : Windows())
            if (w.cls == cls && w.visible)
                return w;
        return WindowInfo();
    }
    bool Has(const std::string& cls) { return !Find(cls).cls.empty(); }
    // Waits for a visible window of the class and returns it.
    WindowInfo Wait(const std::string& cls, int timeoutMs = 20000) {
        const std::string reply =
            Ask("wait class " + cls + " " + std::to_string(timeoutMs), timeoutMs + 5000);
        if (reply.rfind("ok ", 0) != 0)
            return WindowInfo();
        return Find(cls);
    }
    // Waits until no visible window of the class is left.
    bool WaitGone(const std::string& cls, int timeoutMs = 20000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            if (!m_process.Running())
                return true;
            if (!Has(cls))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // A click at (x, y) inside the window; the mouse then leaves every
    // window, so that no button stays hot in a picture.
    bool Click(const WindowInfo& w, int x, int y) {
        const bool ok = Ask("click " + std::to_string(w.rect.left + x) + " " +
                            std::to_string(w.rect.top + y)) == "ok";
        return MoveAway() && ok;
    }
    bool ClickCentre(const WindowInfo& w, const RECT& control) {
        return Click(w, (control.left + control.right) / 2, (control.top + control.bottom) / 2);
    }
    bool MoveAway() { return Ask("move 1919 1079") == "ok"; }
    bool Key(const std::string& spec) { return Ask("key " + spec) == "ok"; }

    // The whole screen as the program shows it.
    HeadlessImage Screen() {
        HeadlessImage image;
        const std::string png = m_root / ("screen" + std::to_string(m_shots++) + ".png");
        if (Ask("screenshot " + png) != "ok")
            return image;
        image = reftest::LoadPngPremultiplied(png);
        std::remove(png.c_str());
        return image;
    }

    // The exit code, or -1 when the program did not end in time.
    int Exit(int timeoutMs = 20000) { return m_process.Wait(timeoutMs); }
    bool Running() { return m_process.Running(); }
    std::string Errors() const { return testutil::ReadAll(m_root / "err.txt"); }

private:
    static std::string Quoted(const std::string& line, const std::string& key) {
        const size_t at = line.find(key + "\"");
        if (at == std::string::npos)
            return "";
        std::string value;
        for (size_t i = at + key.size() + 1; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size())
                ++i;
            value += line[i];
        }
        return value;
    }

    testutil::TempDir m_root;
    testutil::ChildProcess m_process;
    autotest::Client m_client;
    int m_shots = 0;
};

// ----------------------------------------------------------------- Screen

inline std::string SkinDir() {
    return std::string(TARVEX_SOURCE_DIR) + "/skin";
}

// A layout as skinview renders it in a state ("--hide", "down_label", ...).
inline HeadlessImage Render(const std::string& layout, int width, int height,
                            std::vector<std::string> states = {}) {
    std::vector<std::string> args = {"--skin", SkinDir(), "--size",
                                     std::to_string(width) + "x" + std::to_string(height)};
    args.insert(args.end(), states.begin(), states.end());
    args.push_back(layout);
    std::string error;
    HeadlessImage image = reftest::SkinviewPicture(args, &error);
    EXPECT_EQ(image.width, width) << error;
    return image;
}

// Where a control of a layout lies in its window (left, top, right, bottom).
inline RECT ControlRect(const std::string& layout, const std::string& name, int width, int height,
                        std::vector<std::string> states = {}) {
    std::vector<std::string> args = {"--skin", SkinDir(), "--size",
                                     std::to_string(width) + "x" + std::to_string(height),
                                     "--tree"};
    args.insert(args.end(), states.begin(), states.end());
    args.push_back(layout);
    std::ostringstream out, err;
    if (skinview::Run(args, out, err) != 0)
        return RECT{0, 0, 0, 0};
    const skintree::Rect rc = skintree::ControlRect(out.str(), name);
    return RECT{static_cast<plat::LONG>(rc.left), static_cast<plat::LONG>(rc.top),
                static_cast<plat::LONG>(rc.right), static_cast<plat::LONG>(rc.bottom)};
}

// The screen as it should look: windows added bottom first, each with its
// drop shadow (size 5, sharpness 5, darkness 70, #333333, as every skin of
// the installer asks) over what lies below, its pixels inside its region.
class Scene {
public:
    Scene() {
        m_image.width = 1920;
        m_image.height = 1080;
        m_image.pixels.assign(1920u * 1080u, plat::kHeadlessDesktopColor);
    }
    // `roundX`, `roundY`: the skin's roundcorner.
    void AddWindow(const HeadlessImage& picture, int left, int top, int roundX = 0,
                   int roundY = 0) {
        const int w = picture.width, h = picture.height;
        // The region the window base gives a window of this size.
        HRGN region = plat::CreateRoundRectRgn(0, 0, w + 1, h + 1, roundX, roundY);
        Veneer::CShadowUI shadow;
        shadow.SetSize(5);
        shadow.SetSharpness(5);
        shadow.SetDarkness(70);
        shadow.SetColor(0x333333);
        const std::vector<uint32_t> px = shadow.ComputeShadow(region, w, h);
        const int sw = w + 10;
        for (int y = 0; y < h + 10; ++y)
            for (int x = 0; x < sw; ++x)
                Blend(left - 5 + x, top - 5 + y, px[static_cast<size_t>(y) * sw + x]);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (plat::PtInRegion(region, x, y))
                    Put(left + x, top + y, picture.At(x, y));
        plat::DeleteObject(region);
    }
    const HeadlessImage& Image() const { return m_image; }

private:
    void Put(int x, int y, uint32_t v) {
        if (x >= 0 && y >= 0 && x < m_image.width && y < m_image.height)
            m_image.pixels[static_cast<size_t>(y) * m_image.width + x] = v;
    }
    void Blend(int x, int y, uint32_t src) {
        if (x < 0 || y < 0 || x >= m_image.width || y >= m_image.height)
            return;
        const uint32_t dst = m_image.At(x, y);
        const uint32_t a = src >> 24;
        auto channel = [&](int shift) {
            const uint32_t s = (src >> shift) & 0xFF, d = (dst >> shift) & 0xFF;
            return (s + (d * (255 - a) + 127) / 255) & 0xFF;
        };
        Put(x, y, channel(24) << 24 | channel(16) << 16 | channel(8) << 8 | channel(0));
    }
    HeadlessImage m_image;
};

struct Difference {
    int differing = 0;
    std::string first;
};

// Compares the screen with the scene inside `area` (the windows and their
// shadows), leaving out `skip` (a part that changes by itself).
inline Difference Compare(const HeadlessImage& screen, const HeadlessImage& expected,
                          const RECT& area, const RECT& skip = RECT{0, 0, 0, 0}) {
    Difference d;
    if (screen.width != expected.width || screen.height != expected.height) {
        d.differing = -1;
        d.first = "no screenshot";
        return d;
    }
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (!(x >= skip.left && x < skip.right && y >= skip.top && y < skip.bottom) &&
                screen.At(x, y) != expected.At(x, y) && d.differing++ == 0) {
                char buf[96];
                std::snprintf(buf, sizeof buf, "%d,%d screen=%08X expected=%08X", x, y,
                              screen.At(x, y), expected.At(x, y));
                d.first = buf;
            }
    return d;
}

// A window's rectangle grown by its shadow.
inline RECT WithShadow(const RECT& rc) {
    return RECT{rc.left - 5, rc.top - 5, rc.right + 5, rc.bottom + 5};
}

// Waits (bounded) until the screen shows the scene inside `area`; the last
// difference when it never does.
// On failure both pictures are written next to the test
// (e2e-<pid>-<n>-screen.png and -expected.png) and named in the result.
inline Difference WaitForScene(Session& session, const Scene& scene, const RECT& area,
                               int timeoutMs = 15000, const RECT& skip = RECT{0, 0, 0, 0}) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const HeadlessImage screen = session.Screen();
        Difference d = Compare(screen, scene.Image(), area, skip);
        if (d.differing == 0)
            return d;
        if (std::chrono::steady_clock::now() >= deadline) {
            static int failures = 0;
            const std::string stem =
                "e2e-" + std::to_string(getpid()) + "-" + std::to_string(failures++);
            plat::HeadlessSavePng(screen, (stem + "-screen.png").c_str());
            plat::HeadlessSavePng(scene.Image(), (stem + "-expected.png").c_str());
            d.first +=
                " (pictures: " + std::filesystem::current_path().string() + "/" + stem + "-*.png)";
            return d;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace e2e
