// Starts the example program as its own process with PLAT_AUTOMATION and
// drives it through the automation socket.
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <stb_image.h>

#include "tests/common/automation_client.h"

#include <gtest/gtest.h>

namespace {

#ifdef WINEXAMPLE_PATH

using autotest::ChildProcess;
using autotest::Client;

struct Rgb {
    int r, g, b;
};

Rgb PixelOf(const std::string& png, int x, int y) {
    int w, h, n;
    unsigned char* p = stbi_load(png.c_str(), &w, &h, &n, 4);
    if (!p || x >= w || y >= h) {
        if (p)
            stbi_image_free(p);
        return Rgb{-1, -1, -1};
    }
    unsigned char* px = p + (static_cast<size_t>(y) * w + x) * 4;
    Rgb out{px[0], px[1], px[2]};
    stbi_image_free(p);
    return out;
}

bool Same(Rgb a, Rgb b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

TEST(ExampleEndToEnd, DrivenThroughTheAutomationSocket) {
    auto dir =
        std::filesystem::temp_directory_path() / ("plat_win_e2e_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::string sock = (dir / "auto.sock").string();
    ChildProcess proc;
    ASSERT_TRUE(proc.Start(WINEXAMPLE_PATH, {}, {"PLAT_AUTOMATION=" + sock}));

    Client c;
    ASSERT_TRUE(c.Connect(sock, 10000));
    std::string reply = c.Ask("wait class WinExample 10000");
    ASSERT_EQ(reply.rfind("ok 0x", 0), 0u) << reply;

    // The window is centred on the 1920 x 1040 work area.
    reply = c.Ask("list");
    ASSERT_EQ(reply.rfind("ok ", 0), 0u) << reply;
    int n = std::stoi(reply.substr(3));
    bool found = false;
    for (int i = 0; i < n; ++i) {
        std::string line = c.ReadLine();
        if (line.find("class=\"WinExample\"") != std::string::npos) {
            found = true;
            EXPECT_NE(line.find("rect=760,370,1160,670"), std::string::npos) << line;
            EXPECT_NE(line.find("title=\"Win Example\""), std::string::npos) << line;
        }
    }
    EXPECT_TRUE(found);

    EXPECT_EQ(c.Ask("move 900 500"), "ok");
    EXPECT_EQ(c.Ask("click 800 420"), "ok");
    EXPECT_EQ(c.Ask("key b"), "ok");
    EXPECT_EQ(c.Ask("key n"), "ok");
    reply = c.Ask("wait class WinExampleChild 5000");
    EXPECT_EQ(reply.rfind("ok 0x", 0), 0u) << reply;
    // Let the timer fill the bar (50 ticks of 50 ms at most), bounded.
    for (int i = 0; i < 60; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        reply = c.Ask("pixel 1155 372");
        if (reply == "ok FF147828")
            break;
    }
    EXPECT_EQ(reply, "ok FF147828"); // the bar's dark green at its right end

    std::string shot = (dir / "screen.png").string();
    ASSERT_EQ(c.Ask("screenshot " + shot), "ok");
    EXPECT_TRUE(Same(PixelOf(shot, 800, 420), Rgb{220, 30, 30}));      // the clicked square
    EXPECT_TRUE(Same(PixelOf(shot, 790, 411), Rgb{220, 30, 30}));      // its corner
    EXPECT_TRUE(Same(PixelOf(shot, 780, 420), Rgb{40, 90, 200}));      // blue background
    EXPECT_TRUE(Same(PixelOf(shot, 1100, 650), Rgb{30, 170, 60}));     // the owned window
    EXPECT_TRUE(Same(PixelOf(shot, 700, 300), Rgb{0x2B, 0x57, 0x97})); // the desktop

    // A message box answered through the socket.
    EXPECT_EQ(c.Ask("answer msgbox yes"), "ok");
    EXPECT_EQ(c.Ask("key m"), "ok");
    reply = c.Ask("wait title answer=6");
    EXPECT_EQ(reply.rfind("ok 0x", 0), 0u) << reply;
    reply = c.Ask("msgboxes");
    EXPECT_EQ(reply, "ok 1");
    EXPECT_NE(c.ReadLine().find("result=6"), std::string::npos);

    EXPECT_EQ(c.Ask("bogus"), "error unknown command: bogus");
    EXPECT_EQ(c.Ask("key nosuchkey"), "error unknown key: nosuchkey");

    // Escape closes the window and the program ends by itself.
    c.Ask("key esc");
    EXPECT_EQ(proc.Wait(10000), 0);
    std::filesystem::remove_all(dir);
}

#else
TEST(ExampleEndToEnd, DISABLED_ExampleProgramNotBuilt) {}
#endif

} // namespace
