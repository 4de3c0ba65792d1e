// libcurl is loaded by the first transfer, not when the program starts
// (Linux, where it is a shared object loaded on demand).
#include "net/curl_library.h"

#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>

#include "net/http_transfer.h"
#include "tests/net/local_server.h"

namespace {

// Whether a libcurl shared object is mapped into this process.
bool CurlIsMapped() {
    FILE* maps = std::fopen("/proc/self/maps", "r");
    if (maps == nullptr)
        return false;
    bool found = false;
    char line[4096];
    while (!found && std::fgets(line, sizeof line, maps) != nullptr)
        found = std::strstr(line, "/libcurl") != nullptr;
    std::fclose(maps);
    return found;
}

// Taken before any test runs, whichever tests this run selects.
const bool g_curlMappedAtStart = CurlIsMapped();

} // namespace

TEST(CurlLoading, IsLoadedByTheFirstTransferNotAtStart) {
    tarvex_test::LocalServer server;
    server.server().Get("/text", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("hello", "text/plain");
    });
    ASSERT_TRUE(server.Start());
    EXPECT_FALSE(g_curlMappedAtStart) << "libcurl was loaded before main";
    std::wstring text;
    EXPECT_EQ(HttpGetToString(server.WideUrl("/text"), text), CURLE_OK);
    EXPECT_EQ(text, L"hello");
    EXPECT_TRUE(CurlIsMapped());
}
