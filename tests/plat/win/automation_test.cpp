// The automation socket served by this very process: a client thread talks
// the line protocol while the test thread runs its windows.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>

#include "helpers.h"
#include "plat/win/dialog_answers.h"
#include "plat/win/shell_dialogs.h"

using namespace wintest;

namespace {

class AutomationTest : public WinTest {
protected:
    void SetUp() override {
        WinTest::SetUp();
        sock = (std::filesystem::temp_directory_path() /
                ("plat_win_auto_" + std::to_string(getpid()) + ".sock"))
                   .string();
        ASSERT_TRUE(AutomationStart(sock.c_str()));
    }
    void TearDown() override {
        AutomationStop();
        WinTest::TearDown();
    }
    std::string sock;
};

// A minimal client: one command, the reply's lines (first line plus the
// count it announces), bounded by a time-out.
struct LineClient {
    int fd = -1;
    std::string buf;
    explicit LineClient(const std::string& path) {
        fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(fd);
            fd = -1;
        }
    }
    ~LineClient() {
        if (fd >= 0)
            close(fd);
    }
    std::string Line(int ms = 8000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            auto nl = buf.find('\n');
            if (nl != std::string::npos) {
                std::string l = buf.substr(0, nl);
                buf.erase(0, nl + 1);
                return l;
            }
            pollfd p{fd, POLLIN, 0};
            if (std::chrono::steady_clock::now() >= deadline || poll(&p, 1, 50) < 0)
                return "";
            if (!(p.revents & POLLIN))
                continue;
            char c[1024];
            ssize_t n = read(fd, c, sizeof c);
            if (n <= 0)
                return "";
            buf.append(c, static_cast<size_t>(n));
        }
    }
    std::string Ask(const std::string& cmd) {
        std::string l = cmd + "\n";
        if (fd < 0 || send(fd, l.data(), l.size(), MSG_NOSIGNAL) < 0)
            return "";
        return Line();
    }
};

TEST_F(AutomationTest, FolderChooserWaitsForTheSocketsAnswer) {
    HWND owner = Make(100, 100, 300, 200, nullptr, WS_POPUP | WS_VISIBLE, 0, kRecClass, L"Owner");
    std::string listed, answered, waited;
    std::atomic<bool> clientDone{false};
    std::thread client([&] {
        LineClient c(sock);
        waited = c.Ask("wait title Owner");
        std::string head = c.Ask("list");
        if (head.rfind("ok ", 0) == 0)
            for (int i = std::stoi(head.substr(3)); i > 0; --i)
                listed += c.Line() + "\n";
        // Give the chooser time to open, then answer through the socket.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        answered = c.Ask("answer folder /srv/被选中");
        if (answered != "ok")
            QueueFolderAnswer(nullptr); // never leave it waiting
        clientDone = true;
    });
    wchar_t name[MAX_PATH];
    BROWSEINFO bi{};
    bi.hwndOwner = owner;
    bi.pszDisplayName = name;
    PIDLIST_ABSOLUTE item = SHBrowseForFolder(&bi); // pumps messages while it waits
    bool ownerEnabledAfter = IsWindowEnabled(owner);
    // Keep the loop running until the client has its reply (bounded).
    PumpUntil([&] { return clientDone.load(); }, 10000);
    client.join();
    EXPECT_EQ(waited.rfind("ok 0x", 0), 0u) << waited;
    EXPECT_NE(listed.find("title=\"Owner\" rect=100,100,400,300 visible=1"), std::string::npos)
        << listed;
    EXPECT_EQ(answered, "ok");
    ASSERT_TRUE(item);
    wchar_t path[MAX_PATH];
    ASSERT_TRUE(SHGetPathFromIDList(item, path));
    EXPECT_STREQ(path, L"/srv/被选中");
    EXPECT_STREQ(name, L"被选中");
    CoTaskMemFree(item);
    EXPECT_TRUE(ownerEnabledAfter);
}

TEST_F(AutomationTest, InputCommandsReplyOnceHandled) {
    HWND h = Make(200, 200, 100, 100);
    std::string r1, r2, r3, pixel;
    std::atomic<bool> clientDone{false};
    std::thread client([&] {
        LineClient c(sock);
        r1 = c.Ask("click 250 250");
        r2 = c.Ask("key shift+a");
        r3 = c.Ask("text hi");
        pixel = c.Ask("pixel 5 5");
        clientDone = true;
    });
    // Run the loop until the client is done (bounded).
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!clientDone && std::chrono::steady_clock::now() < deadline) {
        PumpNow();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    client.join();
    EXPECT_EQ(r1, "ok");
    EXPECT_EQ(r2, "ok");
    EXPECT_EQ(r3, "ok");
    EXPECT_EQ(pixel, "ok FF2B5797");
    EXPECT_EQ(CountOf(h, WM_LBUTTONUP), 1);
    std::wstring chars;
    for (auto& r : LogCopy())
        if (r.hwnd == h && r.msg == WM_CHAR)
            chars.push_back(static_cast<wchar_t>(r.wParam));
    EXPECT_EQ(chars, L"Ahi");
}

TEST_F(AutomationTest, FrameTimeIsWhenTheWindowWasFirstShownAndDrawn) {
    HWND h = Make(200, 200, 100, 100, nullptr, WS_POPUP);
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
    auto ask = [&](const std::string& cmd) {
        std::string reply;
        std::atomic<bool> done{false};
        std::thread client([&] {
            LineClient c(sock);
            reply = c.Ask(cmd);
            done = true;
        });
        PumpUntil([&] { return done.load(); }, 10000);
        client.join();
        return reply;
    };
    PumpNow();
    EXPECT_EQ(ask(std::string("frametime ") + hex), "error no frame") << "never shown yet";
    const auto before = std::chrono::steady_clock::now().time_since_epoch();
    ShowWindow(h, SW_SHOWNOACTIVATE);
    PumpNow();
    const auto after = std::chrono::steady_clock::now().time_since_epoch();
    const std::string first = ask(std::string("frametime ") + hex);
    ASSERT_EQ(first.rfind("ok ", 0), 0u) << first;
    const long long ns = std::atoll(first.c_str() + 3);
    EXPECT_GE(ns, std::chrono::duration_cast<std::chrono::nanoseconds>(before).count());
    EXPECT_LE(ns, std::chrono::duration_cast<std::chrono::nanoseconds>(after).count());
    // Later frames do not move it.
    InvalidateRect(h, nullptr, TRUE);
    PumpNow();
    EXPECT_EQ(ask(std::string("frametime ") + hex), first);
    EXPECT_EQ(ask("frametime 0x1234"), "error no frame");
}

// A program started with the same PLAT_AUTOMATION (the installer starting the
// installed product) binds the path anew. When the first program stops, the
// second one's socket must stay reachable.
TEST_F(AutomationTest, StoppingLeavesASocketThatTookThePathOver) {
    ASSERT_EQ(unlink(sock.c_str()), 0);
    int other = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(other, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, sock.c_str(), sizeof a.sun_path - 1);
    ASSERT_EQ(bind(other, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(other, 1), 0);

    AutomationStop();
    EXPECT_TRUE(std::filesystem::exists(sock));
    LineClient client(sock);
    EXPECT_GE(client.fd, 0) << "the newer socket is no longer reachable";
    close(other);
    unlink(sock.c_str());
}

// Its own socket file goes when it stops.
TEST_F(AutomationTest, StoppingRemovesItsOwnSocket) {
    ASSERT_TRUE(std::filesystem::exists(sock));
    AutomationStop();
    EXPECT_FALSE(std::filesystem::exists(sock));
}

} // namespace
