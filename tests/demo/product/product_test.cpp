// The product TarvexPDFConver as its own process on the headless screen,
// driven through the automation socket, and the start record it keeps in
// the registry.
#include "demo/product/start_record.h"
#include "plat/sys/registry.h"
#include "tests/common/automation_client.h"
#include "tests/common/test_util.h"

#include <regex>
#include <string>

#include <gtest/gtest.h>

// Win32 constants are plat's names on Linux and the system's macros on
// Windows: used unqualified.
using namespace plat;

namespace {

constexpr wchar_t kKey[] = L"Software\\TarvexPDFConver";

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The product window's rectangle and title from a "list" reply.
bool ProductWindow(autotest::Client& c, Rect* r, std::string* title) {
    const std::string reply = c.Ask("list");
    if (reply.rfind("ok ", 0) != 0)
        return false;
    const int n = std::stoi(reply.substr(3));
    bool found = false;
    for (int i = 0; i < n; ++i) {
        const std::string line = c.ReadLine();
        if (line.find("class=\"TarvexPDFConver\"") == std::string::npos)
            continue;
        const size_t at = line.find("rect=");
        found = std::sscanf(line.c_str() + at, "rect=%d,%d,%d,%d", &r->left, &r->top, &r->right,
                            &r->bottom) == 4;
        const size_t t = line.find("title=\"");
        *title = line.substr(t + 7, line.find('"', t + 7) - t - 7);
    }
    return found;
}

bool ReadDword(const wchar_t* name, plat::DWORD* value) {
    plat::HKEY key = nullptr;
    if (plat::RegOpenKeyEx(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    plat::DWORD type = 0, size = sizeof(*value);
    const bool ok =
        plat::RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<plat::BYTE*>(value),
                              &size) == ERROR_SUCCESS &&
        type == REG_DWORD;
    plat::RegCloseKey(key);
    return ok;
}

std::string ReadText(const wchar_t* name) {
    plat::HKEY key = nullptr;
    if (plat::RegOpenKeyEx(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    wchar_t text[128] = {};
    plat::DWORD type = 0, size = sizeof(text) - sizeof(wchar_t);
    const bool ok =
        plat::RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<plat::BYTE*>(text),
                              &size) == ERROR_SUCCESS &&
        type == REG_SZ;
    plat::RegCloseKey(key);
    return ok ? std::string(text, text + std::wcslen(text)) : "";
}

void SetValue(const wchar_t* name, plat::DWORD type, const void* data, plat::DWORD size) {
    plat::HKEY key = nullptr;
    ASSERT_EQ(plat::RegCreateKey(HKEY_CURRENT_USER, kKey, &key), ERROR_SUCCESS);
    ASSERT_EQ(plat::RegSetValueEx(key, name, 0, type, static_cast<const plat::BYTE*>(data), size),
              ERROR_SUCCESS);
    plat::RegCloseKey(key);
}

class ProductTest : public ::testing::Test {
protected:
    testutil::TempDir m_dir{"demo_product"};
    testutil::ScopedEnv m_registry{"PLAT_REGISTRY", m_dir / "registry.db"};
    std::string m_socket = m_dir / "auto.sock";

    // Starts the product and waits for its window.
    void Start(autotest::ChildProcess* product, autotest::Client* client, Rect* window) {
        ASSERT_TRUE(product->Start(PRODUCT_PATH, {}, {"PLAT_AUTOMATION=" + m_socket}));
        ASSERT_TRUE(client->Connect(m_socket, 20000));
        const std::string reply = client->Ask("wait class TarvexPDFConver 20000", 30000);
        ASSERT_EQ(reply.rfind("ok 0x", 0), 0u) << reply;
        std::string title;
        ASSERT_TRUE(ProductWindow(*client, window, &title));
        EXPECT_EQ(title, "TarvexPDFConver");
    }
};

// One window of its own skin, centred on the work area; each start is
// counted; "关闭" and Alt+F4 both end the program with 0.
TEST_F(ProductTest, ShowsItsWindowCountsItsStartsAndClosesWithZero) {
    {
        autotest::ChildProcess product;
        autotest::Client client;
        Rect w;
        ASSERT_NO_FATAL_FAILURE(Start(&product, &client, &w));
        EXPECT_EQ(w.left, 640);
        EXPECT_EQ(w.top, 320);
        EXPECT_EQ(w.right - w.left, 640);
        EXPECT_EQ(w.bottom - w.top, 400);
        // The red title band, the white body, and the close button's red.
        const auto pixel = [&](int x, int y) {
            return client.Ask("pixel " + std::to_string(w.left + x) + " " +
                              std::to_string(w.top + y));
        };
        EXPECT_EQ(pixel(300, 6), "ok FFC62F2F");
        EXPECT_EQ(pixel(8, 80), "ok FFFFFFFF");
        EXPECT_EQ(pixel(254, 334), "ok FFC62F2F");

        plat::DWORD count = 0;
        EXPECT_TRUE(ReadDword(L"startCount", &count));
        EXPECT_EQ(count, 1u);
        EXPECT_TRUE(std::regex_match(ReadText(L"lastStart"),
                                     std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d UTC)")))
            << ReadText(L"lastStart");

        ASSERT_EQ(
            client.Ask("click " + std::to_string(w.left + 320) + " " + std::to_string(w.top + 348)),
            "ok");
        EXPECT_EQ(product.Wait(20000), 0);
    }
    {
        autotest::ChildProcess product;
        autotest::Client client;
        Rect w;
        ASSERT_NO_FATAL_FAILURE(Start(&product, &client, &w));
        plat::DWORD count = 0;
        EXPECT_TRUE(ReadDword(L"startCount", &count));
        EXPECT_EQ(count, 2u);
        client.Ask("key alt+f4");
        EXPECT_EQ(product.Wait(20000), 0);
    }
}

// A registry store that cannot be written does not keep the product from
// running.
TEST_F(ProductTest, RunsWhenItsStartCannotBeRecorded) {
    testutil::WriteAll(m_dir / "plain", "not a folder");
    testutil::ScopedEnv unusable("PLAT_REGISTRY", m_dir / "plain/registry.db");
    autotest::ChildProcess product;
    autotest::Client client;
    Rect w;
    ASSERT_NO_FATAL_FAILURE(Start(&product, &client, &w));
    ASSERT_EQ(
        client.Ask("click " + std::to_string(w.left + 320) + " " + std::to_string(w.top + 348)),
        "ok");
    EXPECT_EQ(product.Wait(20000), 0);
}

// The count goes on from what is stored; a value of another type counts as
// no start yet; at the top of its range it stays there.
TEST(ProductStartRecord, CountsOnFromTheStoredValue) {
    testutil::TempDir dir("demo_start_record");
    testutil::ScopedEnv registry("PLAT_REGISTRY", dir / "registry.db");

    const plat::DWORD fortyOne = 41;
    SetValue(L"startCount", REG_DWORD, &fortyOne, sizeof(fortyOne));
    demo::StartRecord record = demo::RecordStart();
    EXPECT_TRUE(record.saved);
    EXPECT_EQ(record.count, 42u);

    const wchar_t text[] = L"many";
    SetValue(L"startCount", REG_SZ, text, sizeof(text));
    record = demo::RecordStart();
    EXPECT_EQ(record.count, 1u);
    plat::DWORD stored = 0;
    EXPECT_TRUE(ReadDword(L"startCount", &stored));
    EXPECT_EQ(stored, 1u);

    const plat::DWORD top = 0xFFFFFFFFu;
    SetValue(L"startCount", REG_DWORD, &top, sizeof(top));
    EXPECT_EQ(demo::RecordStart().count, 0xFFFFFFFFu);
}

TEST(ProductStartRecord, AStoreThatCannotBeWrittenIsReported) {
    testutil::TempDir dir("demo_start_record");
    testutil::WriteAll(dir / "plain", "not a folder");
    testutil::ScopedEnv registry("PLAT_REGISTRY", dir / "plain/registry.db");
    EXPECT_FALSE(demo::RecordStart().saved);
}

} // namespace
