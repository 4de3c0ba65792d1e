// Starts the skinned demo program as its own process with PLAT_AUTOMATION and
// drives it through the automation socket as a user would.
#include "tests/common/automation_client.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <stb_image.h>

#include <gtest/gtest.h>

#ifdef HOSTEXAMPLE_PATH

namespace {

// The window's rectangle from a "list" reply.
bool WindowRect(autotest::Client& c, int* l, int* t, int* r, int* b) {
    std::string reply = c.Ask("list");
    if (reply.rfind("ok ", 0) != 0)
        return false;
    int n = std::stoi(reply.substr(3));
    bool found = false;
    for (int i = 0; i < n; ++i) {
        std::string line = c.ReadLine();
        if (line.find("class=\"HostExample\"") == std::string::npos)
            continue;
        auto at = line.find("rect=");
        found = std::sscanf(line.c_str() + at, "rect=%d,%d,%d,%d", l, t, r, b) == 4;
    }
    return found;
}

// Pixels that differ between two PNG files inside a rectangle.
int Differing(const std::string& a, const std::string& b, int l, int t, int r, int bottom) {
    int w1, h1, n1, w2, h2, n2;
    unsigned char* p = stbi_load(a.c_str(), &w1, &h1, &n1, 4);
    unsigned char* q = stbi_load(b.c_str(), &w2, &h2, &n2, 4);
    int diff = -1;
    if (p && q && w1 == w2 && h1 == h2) {
        diff = 0;
        for (int y = t; y < bottom; ++y)
            for (int x = l; x < r; ++x)
                diff += std::memcmp(p + (static_cast<size_t>(y) * w1 + x) * 4,
                                    q + (static_cast<size_t>(y) * w1 + x) * 4, 4) != 0;
    }
    if (p)
        stbi_image_free(p);
    if (q)
        stbi_image_free(q);
    return diff;
}

} // namespace

TEST(HostExampleEndToEnd, CountsAsksDragsAndClosesWithOne) {
    auto dir =
        std::filesystem::temp_directory_path() / ("hostexample_e2e_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string sock = (dir / "auto.sock").string();
    autotest::ChildProcess proc;
    ASSERT_TRUE(proc.Start(HOSTEXAMPLE_PATH, {}, {"PLAT_AUTOMATION=" + sock}));
    autotest::Client c;
    ASSERT_TRUE(c.Connect(sock, 10000));
    std::string reply = c.Ask("wait class HostExample 10000");
    ASSERT_EQ(reply.rfind("ok 0x", 0), 0u) << reply;

    int l, t, r, b;
    ASSERT_TRUE(WindowRect(c, &l, &t, &r, &b));
    EXPECT_EQ(l, 680);
    EXPECT_EQ(t, 316);
    EXPECT_EQ(r - l, 560);
    EXPECT_EQ(b - t, 408);

    // "Count" changes the counter line.
    const std::string before = (dir / "before.png").string(), after = (dir / "after.png").string();
    ASSERT_EQ(c.Ask("move 100 100"), "ok");
    ASSERT_EQ(c.Ask("screenshot " + before), "ok");
    ASSERT_EQ(c.Ask("click " + std::to_string(l + 210) + " " + std::to_string(t + 350)), "ok");
    ASSERT_EQ(c.Ask("move 100 100"), "ok");
    ASSERT_EQ(c.Ask("screenshot " + after), "ok");
    EXPECT_GT(Differing(before, after, l, t + 88, r, t + 118), 0);  // the counter
    EXPECT_EQ(Differing(before, after, l, t + 118, r, t + 148), 0); // the answer line

    // "Ask" opens a message box that the socket answers.
    ASSERT_EQ(c.Ask("answer msgbox yes"), "ok");
    ASSERT_EQ(c.Ask("click " + std::to_string(l + 350) + " " + std::to_string(t + 350)), "ok");
    reply = c.Ask("msgboxes");
    ASSERT_EQ(reply, "ok 1");
    EXPECT_EQ(c.ReadLine(), "result=6 caption=\"Host Example\" text=\"Do you like this window?\"");

    // The caption band drags the window.
    ASSERT_EQ(c.Ask("move " + std::to_string(l + 200) + " " + std::to_string(t + 20)), "ok");
    ASSERT_EQ(c.Ask("press"), "ok");
    ASSERT_EQ(c.Ask("move " + std::to_string(l + 260) + " " + std::to_string(t + 50)), "ok");
    ASSERT_EQ(c.Ask("release"), "ok");
    int l2, t2, r2, b2;
    ASSERT_TRUE(WindowRect(c, &l2, &t2, &r2, &b2));
    EXPECT_EQ(l2 - l, 60);
    EXPECT_EQ(t2 - t, 30);

    // "X" closes the window; the program ends with the modal result 1.
    ASSERT_EQ(c.Ask("click " + std::to_string(l2 + 536) + " " + std::to_string(t2 + 24)), "ok");
    EXPECT_EQ(proc.Wait(10000), 1);
    std::filesystem::remove_all(dir);
}

#endif
