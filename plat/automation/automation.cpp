// The automation socket: a Unix stream socket on which tests and demos drive
// a headless process with a line protocol (see PROTOCOL.md beside this file).
// One client is served at a time; each command gets one reply line
// beginning "ok" or "error", followed by the listed lines for list commands.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

#include "plat/automation/automation.h"
#include "plat/backend/input.h"
#include "plat/sys/process.h"
#include "plat/sys/text.h"
#include "plat/win/dialog_answers.h"
#include "plat/win/observe.h"
#include "plat/win/winuser.h"

namespace plat {

namespace {

constexpr int kIdleWaitMs = 5000;

struct Server {
    std::mutex m;
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> running{false};
    int listenFd = -1;
    std::string path;
    // The socket file this process made: a program it started with the same
    // PLAT_AUTOMATION (an installer starting the installed product) takes
    // the path over, and this process must not remove that one's socket
    // when it ends.
    dev_t fileDevice = 0;
    ino_t fileInode = 0;

    void RemoveOwnFile() {
        struct stat st {};
        if (!path.empty() && lstat(path.c_str(), &st) == 0 && st.st_dev == fileDevice &&
            st.st_ino == fileInode)
            unlink(path.c_str());
    }

    ~Server() {
        stop = true;
        if (thread.joinable())
            thread.join();
        if (listenFd >= 0)
            close(listenFd);
        RemoveOwnFile();
    }
};

Server& Srv() {
    static Server s;
    return s;
}

std::string Hex(const void* p) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    return buf;
}

std::string Quote(const std::wstring& w) {
    std::string s = WideToUtf8(w), out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out.push_back('\\');
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out.push_back(c);
    }
    return out + "\"";
}

std::wstring ClassOf(HWND h) {
    wchar_t buf[256];
    GetClassName(h, buf, 256);
    return buf;
}

std::wstring TitleOf(HWND h) {
    int n = GetWindowTextLength(h);
    std::wstring t(static_cast<size_t>(n) + 1, L'\0');
    GetWindowText(h, t.data(), n + 1);
    t.resize(static_cast<size_t>(n));
    return t;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> list;
    EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&list));
    return list;
}

int ButtonFromName(const std::string& s) {
    if (s == "right")
        return InputButtonRight;
    if (s == "middle")
        return InputButtonMiddle;
    return InputButtonLeft;
}

// Key names: a letter or digit, F1..F12, names such as enter, esc, tab,
// space, backspace, left, right, up, down, home, end, delete, or 0xNN.
UINT VkFromName(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (s.size() == 1 && std::isalnum(static_cast<unsigned char>(s[0])))
        return static_cast<UINT>(std::toupper(static_cast<unsigned char>(s[0])));
    if (s.size() >= 2 && s[0] == 'f' && std::isdigit(static_cast<unsigned char>(s[1]))) {
        int n = std::atoi(s.c_str() + 1);
        if (n >= 1 && n <= 12)
            return static_cast<UINT>(VK_F1 + n - 1);
    }
    if (s.rfind("0x", 0) == 0)
        return static_cast<UINT>(std::strtoul(s.c_str(), nullptr, 16));
    struct Named {
        const char* name;
        int vk;
    };
    static const Named names[] = {
        {"enter", VK_RETURN},   {"return", VK_RETURN}, {"esc", VK_ESCAPE},
        {"escape", VK_ESCAPE},  {"tab", VK_TAB},       {"space", VK_SPACE},
        {"backspace", VK_BACK}, {"left", VK_LEFT},     {"right", VK_RIGHT},
        {"up", VK_UP},          {"down", VK_DOWN},     {"home", VK_HOME},
        {"end", VK_END},        {"delete", VK_DELETE}, {"insert", VK_INSERT},
        {"shift", VK_SHIFT},    {"ctrl", VK_CONTROL},  {"control", VK_CONTROL},
        {"alt", VK_MENU},       {"pageup", VK_PRIOR},  {"pagedown", VK_NEXT},
    };
    for (auto& n : names)
        if (s == n.name)
            return static_cast<UINT>(n.vk);
    return 0;
}

// "alt+f4" -> {VK_MENU, VK_F4}; empty on an unknown name.
std::vector<UINT> KeyChord(const std::string& spec) {
    std::vector<UINT> keys;
    size_t start = 0;
    while (start <= spec.size()) {
        size_t plus = spec.find('+', start);
        std::string part =
            spec.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
        if (part.empty() && plus != std::string::npos)
            part = "+";
        UINT vk = VkFromName(part);
        if (!vk)
            return {};
        keys.push_back(vk);
        if (plus == std::string::npos)
            break;
        start = plus + 1;
    }
    return keys;
}

std::string RestOf(std::istringstream& in) {
    std::string rest;
    std::getline(in, rest);
    size_t i = rest.find_first_not_of(' ');
    return i == std::string::npos ? "" : rest.substr(i);
}

std::string Settle(const std::string& okReply = "ok") {
    return HeadlessWaitIdle(kIdleWaitMs) ? okReply : "error busy";
}

std::string Command(const std::string& line) {
    std::istringstream in(line);
    std::string cmd;
    in >> cmd;
    if (cmd == "move") {
        int x, y;
        if (!(in >> x >> y))
            return "error usage: move X Y";
        input_mouse_move(x, y);
        return Settle();
    }
    if (cmd == "press" || cmd == "release") {
        std::string b;
        in >> b;
        input_mouse_button(ButtonFromName(b), cmd == "press");
        return Settle();
    }
    if (cmd == "click" || cmd == "dblclick") {
        int x, y;
        if (!(in >> x >> y))
            return "error usage: click X Y [left|right|middle]";
        std::string b;
        in >> b;
        input_mouse_move(x, y);
        for (int i = 0; i < (cmd == "dblclick" ? 2 : 1); ++i) {
            input_mouse_button(ButtonFromName(b), true);
            input_mouse_button(ButtonFromName(b), false);
        }
        return Settle();
    }
    if (cmd == "wheel") {
        int d;
        if (!(in >> d))
            return "error usage: wheel DELTA";
        input_wheel(d);
        return Settle();
    }
    if (cmd == "key" || cmd == "keydown" || cmd == "keyup") {
        std::string spec;
        in >> spec;
        std::vector<UINT> keys = KeyChord(spec);
        if (keys.empty())
            return "error unknown key: " + spec;
        if (cmd != "keyup")
            for (UINT k : keys)
                input_key(k, true);
        if (cmd != "keydown")
            for (auto it = keys.rbegin(); it != keys.rend(); ++it)
                input_key(*it, false);
        return Settle();
    }
    if (cmd == "text") {
        std::wstring w = Utf8ToWide(RestOf(in));
        input_text(w.c_str());
        return Settle();
    }
    if (cmd == "sync") {
        int ms = kIdleWaitMs;
        in >> ms;
        return HeadlessWaitIdle(ms) ? "ok" : "error busy";
    }
    if (cmd == "list") {
        std::vector<HWND> wins = TopLevelWindows();
        std::string out = "ok " + std::to_string(wins.size());
        for (HWND h : wins) {
            RECT r{};
            GetWindowRect(h, &r);
            out += "\n" + Hex(h) + " class=" + Quote(ClassOf(h)) + " title=" + Quote(TitleOf(h)) +
                   " rect=" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                   std::to_string(r.right) + "," + std::to_string(r.bottom) +
                   " visible=" + (IsWindowVisible(h) ? "1" : "0") +
                   " owner=" + Hex(GetWindow(h, GW_OWNER));
        }
        return out;
    }
    if (cmd == "wait") {
        std::string kind;
        in >> kind;
        std::string value;
        int ms = kIdleWaitMs;
        if (kind == "class") {
            in >> value;
            in >> ms;
        } else if (kind == "title") {
            value = RestOf(in);
        } else {
            return "error usage: wait class NAME [MS] | wait title TEXT";
        }
        std::wstring want = Utf8ToWide(value);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        do {
            for (HWND h : TopLevelWindows()) {
                bool match = kind == "class" ? ClassOf(h) == want : TitleOf(h) == want;
                if (match && IsWindowVisible(h))
                    return Settle("ok " + Hex(h));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } while (std::chrono::steady_clock::now() < deadline);
        return "error timeout";
    }
    if (cmd == "frametime") {
        std::string hw;
        in >> hw;
        HWND h = reinterpret_cast<HWND>(std::strtoull(hw.c_str(), nullptr, 0));
        SurfaceId id = IsWindow(h) ? WindowSurface(h) : 0;
        int64_t ns = 0;
        if (id == 0 || !HeadlessFirstFrameTime(id, &ns))
            return "error no frame";
        return "ok " + std::to_string(ns);
    }
    if (cmd == "screenshot") {
        std::string path, hw;
        in >> path >> hw;
        if (path.empty())
            return "error usage: screenshot PATH [HWND]";
        HeadlessWaitIdle(kIdleWaitMs);
        bool ok = hw.empty() ? HeadlessSaveScreenPng(path.c_str())
                             : HeadlessSaveWindowPng(
                                   reinterpret_cast<HWND>(std::strtoull(hw.c_str(), nullptr, 0)),
                                   path.c_str());
        return ok ? "ok" : "error cannot write " + path;
    }
    if (cmd == "pixel") {
        int x, y;
        if (!(in >> x >> y))
            return "error usage: pixel X Y";
        HeadlessWaitIdle(kIdleWaitMs);
        char buf[32];
        std::snprintf(buf, sizeof buf, "ok %08X", HeadlessCaptureScreen().At(x, y));
        return buf;
    }
    if (cmd == "answer") {
        std::string what;
        in >> what;
        std::string value = RestOf(in);
        if (what == "folder") {
            if (value.empty())
                return "error usage: answer folder PATH|cancel";
            if (value == "cancel") {
                QueueFolderAnswer(nullptr);
            } else {
                std::wstring w = Utf8ToWide(value);
                QueueFolderAnswer(w.c_str());
            }
            return Settle();
        }
        if (what == "msgbox") {
            static const struct {
                const char* name;
                int id;
            } ids[] = {{"ok", IDOK},       {"cancel", IDCANCEL}, {"abort", IDABORT},
                       {"retry", IDRETRY}, {"ignore", IDIGNORE}, {"yes", IDYES},
                       {"no", IDNO}};
            int id = std::atoi(value.c_str());
            for (auto& n : ids)
                if (value == n.name)
                    id = n.id;
            if (id <= 0)
                return "error usage: answer msgbox ok|cancel|yes|no|ID";
            QueueMessageBoxAnswer(id);
            return Settle();
        }
        return "error usage: answer folder|msgbox VALUE";
    }
    if (cmd == "msgboxes") {
        auto boxes = MessageBoxesShown();
        std::string out = "ok " + std::to_string(boxes.size());
        for (auto& b : boxes)
            out += "\nresult=" + std::to_string(b.result) + " caption=" + Quote(b.caption) +
                   " text=" + Quote(b.text);
        return out;
    }
    if (cmd == "close") {
        std::string hw;
        in >> hw;
        HWND h = reinterpret_cast<HWND>(std::strtoull(hw.c_str(), nullptr, 0));
        if (!PostMessage(h, WM_CLOSE, 0, 0))
            return "error no such window";
        return Settle();
    }
    return "error unknown command: " + cmd;
}

void ServeClient(int fd) {
    Server& s = Srv();
    std::string buf;
    char chunk[4096];
    while (!s.stop) {
        pollfd p{fd, POLLIN, 0};
        int r = poll(&p, 1, 200);
        if (r < 0)
            break;
        if (r == 0)
            continue;
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0)
            break;
        buf.append(chunk, static_cast<size_t>(n));
        size_t nl;
        while ((nl = buf.find('\n')) != std::string::npos) {
            std::string line = buf.substr(0, nl);
            buf.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.empty())
                continue;
            if (line == "bye")
                return;
            std::string reply = Command(line) + "\n";
            const char* p2 = reply.data();
            size_t left = reply.size();
            while (left) {
                ssize_t w = send(fd, p2, left, MSG_NOSIGNAL);
                if (w <= 0)
                    return;
                p2 += w;
                left -= static_cast<size_t>(w);
            }
        }
    }
}

void Run() {
    Server& s = Srv();
    while (!s.stop) {
        pollfd p{s.listenFd, POLLIN, 0};
        int r = poll(&p, 1, 200);
        if (r <= 0)
            continue;
        int fd = accept(s.listenFd, nullptr, nullptr);
        if (fd < 0)
            continue;
        ServeClient(fd);
        close(fd);
    }
}

} // namespace

bool AutomationStart(const char* socketPath) {
    Server& s = Srv();
    std::lock_guard<std::mutex> g(s.m);
    if (s.running)
        return true;
    if (!socketPath || !*socketPath)
        return false;
    sockaddr_un addr{};
    if (std::strlen(socketPath) >= sizeof addr.sun_path)
        return false;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, socketPath);
    unlink(socketPath);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 4) != 0) {
        close(fd);
        return false;
    }
    struct stat st {};
    if (lstat(socketPath, &st) != 0) {
        close(fd);
        return false;
    }
    s.listenFd = fd;
    s.path = socketPath;
    s.fileDevice = st.st_dev;
    s.fileInode = st.st_ino;
    try {
        s.thread = std::thread(Run);
    } catch (const std::system_error&) {
        // No thread, no automation: the program runs on without it.
        close(fd);
        unlink(socketPath);
        s.listenFd = -1;
        s.path.clear();
        return false;
    }
    s.running = true;
    SetDialogAnswersExpected(true);
    // A program ended by ExitProcess runs no destructor: its socket file
    // goes all the same.
    static const bool removedAtExit = (OnProcessExit([] { Srv().RemoveOwnFile(); }), true);
    (void)removedAtExit;
    return true;
}

bool AutomationStartFromEnvironment() {
    const char* sock = std::getenv("PLAT_AUTOMATION");
    if (!sock || !*sock || std::strcmp(GetBackend().name, "headless") != 0)
        return AutomationRunning();
    return AutomationStart(sock);
}

bool AutomationRunning() {
    return Srv().running;
}

void AutomationStop() {
    Server& s = Srv();
    std::lock_guard<std::mutex> g(s.m);
    if (!s.running)
        return;
    s.stop = true;
    if (s.thread.joinable())
        s.thread.join();
    close(s.listenFd);
    s.listenFd = -1;
    s.RemoveOwnFile();
    s.path.clear();
    s.running = false;
    s.stop = false;
    SetDialogAnswersExpected(false);
}

} // namespace plat
