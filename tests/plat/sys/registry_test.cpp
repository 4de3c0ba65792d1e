#include "plat/sys/registry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "sys_test_util.h"

using namespace plat;
using systest::ScopedEnv;
using systest::TempDir;

namespace {

LONG SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         DWORD((value.size() + 1) * sizeof(wchar_t)));
}

LONG SetDword(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
}

// Reads a REG_SZ value; the result code goes to `rc`.
std::wstring GetString(HKEY key, const wchar_t* name, LONG* rc = nullptr) {
    DWORD type = 0, size = 0;
    LONG r = RegQueryValueEx(key, name, nullptr, &type, nullptr, &size);
    std::wstring out;
    if (r == ERROR_SUCCESS) {
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1);
        size = DWORD(buffer.size() * sizeof(wchar_t));
        r = RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                            &size);
        if (r == ERROR_SUCCESS && type != REG_SZ)
            r = ERROR_INVALID_DATA;
        if (r == ERROR_SUCCESS)
            out = buffer.data();
    }
    if (rc)
        *rc = r;
    return out;
}

class Registry : public ::testing::Test {
protected:
    TempDir m_dir;
    std::string m_store = m_dir / "registry.db";
    ScopedEnv m_env{"PLAT_REGISTRY", m_store};
};

} // namespace

TEST_F(Registry, StringAndNumberValuesRoundTrip) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\TarvexPDFConver", &key), ERROR_SUCCESS);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(SetString(key, L"installPath", L"/opt/安装 目录"), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(key, L"Install", 1), ERROR_SUCCESS);

    EXPECT_EQ(GetString(key, L"installPath"), L"/opt/安装 目录");
    DWORD value = 0, type = 0, size = sizeof(value);
    EXPECT_EQ(
        RegQueryValueEx(key, L"Install", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, DWORD(4));
    EXPECT_EQ(value, DWORD(1));

    // Size query, then a too small buffer.
    size = 0;
    EXPECT_EQ(RegQueryValueEx(key, L"installPath", nullptr, nullptr, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, DWORD((std::wstring(L"/opt/安装 目录").size() + 1) * sizeof(wchar_t)));
    BYTE small[4];
    DWORD smallSize = sizeof(small);
    EXPECT_EQ(RegQueryValueEx(key, L"installPath", nullptr, nullptr, small, &smallSize),
              ERROR_MORE_DATA);
    EXPECT_EQ(smallSize, size);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetString(key, L"installPath").size(), 0u);
}

TEST_F(Registry, KeysAndValueNamesIgnoreCase) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\Tarvex\\Ünïcode", &key), ERROR_SUCCESS);
    EXPECT_EQ(SetString(key, L"InstallPath", L"first"), ERROR_SUCCESS);
    RegCloseKey(key);

    HKEY other = nullptr;
    ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, L"SOFTWARE/tarvex\\üNÏCODE", &other), ERROR_SUCCESS);
    EXPECT_EQ(GetString(other, L"installpath"), L"first");
    EXPECT_EQ(SetString(other, L"INSTALLPATH", L"second"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(other, L"InstallPath"), L"second");
    // One value, listed under the name it was first given.
    wchar_t name[64];
    DWORD nameChars = 64;
    EXPECT_EQ(RegEnumValue(other, 0, name, &nameChars, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, L"InstallPath");
    EXPECT_EQ(nameChars, DWORD(11));
    nameChars = 64;
    EXPECT_EQ(RegEnumValue(other, 1, name, &nameChars, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    RegCloseKey(other);

    // Hives are separate.
    EXPECT_EQ(RegOpenKey(HKEY_CURRENT_USER, L"Software\\Tarvex", &other), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(other, nullptr);
}

TEST_F(Registry, MissingKeysAndValues) {
    HKEY key = nullptr;
    // No store yet: reading finds nothing and does not create the store.
    EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, L"Software\\Nothing", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, L"x").size(), 0u);
    LONG rc = 0;
    GetString(HKEY_LOCAL_MACHINE, L"x", &rc);
    EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValue(HKEY_LOCAL_MACHINE, L"x"), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(m_store));

    ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\A", &key), ERROR_SUCCESS);
    GetString(key, L"missing", &rc);
    EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValue(key, L"missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SetString(key, L"v", L"1"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(key, L"V"), ERROR_SUCCESS);
    GetString(key, L"v", &rc);
    EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, L"Software\\A\\B", &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, DefaultValueAndHiveValues) {
    EXPECT_EQ(SetString(HKEY_CURRENT_USER, nullptr, L"default"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(HKEY_CURRENT_USER, L""), L"default");
    EXPECT_EQ(RegDeleteValue(HKEY_CURRENT_USER, nullptr), ERROR_SUCCESS);
}

TEST_F(Registry, EnumeratesSubkeysAndValuesInNameOrder) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\List", &key), ERROR_SUCCESS);
    HKEY child = nullptr;
    for (const wchar_t* name : {L"beta", L"Alpha"}) {
        ASSERT_EQ(RegCreateKey(key, name, &child), ERROR_SUCCESS);
        RegCloseKey(child);
    }
    SetDword(key, L"zeta", 26);
    SetString(key, L"Eta", L"seven");
    wchar_t name[16];
    EXPECT_EQ(RegEnumKey(key, 0, name, 16), ERROR_SUCCESS);
    EXPECT_STREQ(name, L"Alpha");
    EXPECT_EQ(RegEnumKey(key, 1, name, 16), ERROR_SUCCESS);
    EXPECT_STREQ(name, L"beta");
    EXPECT_EQ(RegEnumKey(key, 2, name, 16), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegEnumKey(key, 0, name, 3), ERROR_MORE_DATA);

    DWORD nameChars = 16, type = 0, size = 0;
    EXPECT_EQ(RegEnumValue(key, 0, name, &nameChars, nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, L"Eta");
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, DWORD(6 * sizeof(wchar_t)));
    DWORD value = 0;
    nameChars = 16;
    size = 4;
    EXPECT_EQ(RegEnumValue(key, 1, name, &nameChars, nullptr, &type,
                           reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, L"zeta");
    EXPECT_EQ(value, DWORD(26));

    // A key with subkeys cannot be deleted; a leaf can.
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, L"Software\\List"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKey(key, L"alpha"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKey(key, L"alpha"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegEnumKey(key, 0, name, 16), ERROR_SUCCESS);
    EXPECT_STREQ(name, L"beta");
    RegCloseKey(key);
}

TEST_F(Registry, HandlesKeepTheirRightsAndNoticeDeletion) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\Rights", &key), ERROR_SUCCESS);
    HKEY readOnly = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, L"Software\\Rights", 0, KEY_READ, &readOnly),
              ERROR_SUCCESS);
    EXPECT_EQ(SetString(readOnly, L"v", L"x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetString(key, L"v", L"x"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(readOnly, L"v"), L"x");

    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, L"Software\\Rights"), ERROR_SUCCESS);
    LONG rc = 0;
    GetString(key, L"v", &rc);
    EXPECT_EQ(rc, ERROR_KEY_DELETED);
    EXPECT_EQ(SetString(key, L"v", L"y"), ERROR_KEY_DELETED);
    RegCloseKey(key);
    RegCloseKey(readOnly);
}

TEST_F(Registry, RefusesBadArguments) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\Args", nullptr),
              ERROR_INVALID_PARAMETER);
    ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\Args", &key), ERROR_SUCCESS);
    DWORD value = 1;
    EXPECT_EQ(RegSetValueEx(key, L"d", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 3),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueEx(key, L"b", 0, REG_BINARY, reinterpret_cast<BYTE*>(&value), 4),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueEx(key, L"n", 0, REG_SZ, nullptr, 8), ERROR_INVALID_PARAMETER);
    std::wstring longName = L"Software\\" + std::wstring(300, L'k');
    HKEY other = nullptr;
    EXPECT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, longName.c_str(), &other), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKey(reinterpret_cast<HKEY>(uintptr_t(0x12345678)), L"x", &other),
              ERROR_INVALID_HANDLE);
    // A REG_SZ without terminator is stored whole; an embedded null ends it.
    const wchar_t raw[] = {L'a', L'b', L'\0', L'c'};
    EXPECT_EQ(RegSetValueEx(key, L"s", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), 2 * 4),
              ERROR_SUCCESS);
    EXPECT_EQ(GetString(key, L"s"), L"ab");
    EXPECT_EQ(RegSetValueEx(key, L"s", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), 4 * 4),
              ERROR_SUCCESS);
    EXPECT_EQ(GetString(key, L"s"), L"ab");
    RegCloseKey(key);
}

TEST_F(Registry, ExpandableTextIsStoredAsItIsWithItsType) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\Expand", &key), ERROR_SUCCESS);
    const std::wstring text = L"%ProgramFiles%\\Internet Explorer";
    ASSERT_EQ(RegSetValueEx(key, L"Path", 0, REG_EXPAND_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()),
                            DWORD((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueEx(key, L"path", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_EXPAND_SZ);
    EXPECT_EQ(size, (text.size() + 1) * sizeof(wchar_t));
    std::vector<wchar_t> buffer(size / sizeof(wchar_t));
    ASSERT_EQ(RegQueryValueEx(key, L"Path", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                              &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(buffer.data()), text); // not expanded
    RegCloseKey(key);
}

TEST_F(Registry, CorruptStoreGivesFailureResults) {
    systest::WriteAll(m_store, std::string(4096, 'x'));
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, L"Software", &key), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software", &key), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(SetString(HKEY_LOCAL_MACHINE, L"v", L"x"), ERROR_REGISTRY_CORRUPT);
    LONG rc = 0;
    GetString(HKEY_LOCAL_MACHINE, L"v", &rc);
    EXPECT_EQ(rc, ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(key, nullptr);
    // The damaged file is left as it was for inspection.
    EXPECT_EQ(systest::ReadAll(m_store), std::string(4096, 'x'));
}

TEST_F(Registry, TruncatedStoreNeverCrashes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\T", &key), ERROR_SUCCESS);
    for (int i = 0; i < 200; ++i)
        SetString(key, std::to_wstring(i).c_str(), std::wstring(100, L'v'));
    RegCloseKey(key);
    std::string whole = systest::ReadAll(m_store);
    ASSERT_GT(whole.size(), 8192u);
    systest::WriteAll(m_store, whole.substr(0, whole.size() / 2));
    LONG rc = RegOpenKey(HKEY_LOCAL_MACHINE, L"Software\\T", &key);
    if (rc == ERROR_SUCCESS) {
        for (int i = 0; i < 200; ++i)
            GetString(key, std::to_wstring(i).c_str(), &rc);
        RegCloseKey(key);
    }
    SUCCEED(); // any result code is acceptable; reaching here without a crash is the point
}

TEST_F(Registry, ReadOnlyStoreCanBeReadButNotChanged) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\RO", &key), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, L"v", L"kept"), ERROR_SUCCESS);
    RegCloseKey(key);
    std::string before = systest::ReadAll(m_store);
    ::chmod(m_store.c_str(), 0444);

    ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, L"Software\\RO", &key), ERROR_SUCCESS);
    EXPECT_EQ(GetString(key, L"v"), L"kept");
    EXPECT_EQ(SetString(key, L"v", L"changed"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValue(key, L"v"), ERROR_ACCESS_DENIED);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKey(key, L"child", &child), ERROR_ACCESS_DENIED);
    RegCloseKey(key);
    EXPECT_EQ(systest::ReadAll(m_store), before);
}

TEST_F(Registry, UnreadableStoresGiveAccessDenied) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\U", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    ::chmod(m_store.c_str(), 0);
    EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, L"Software\\U", &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetString(HKEY_LOCAL_MACHINE, L"v", L"x"), ERROR_ACCESS_DENIED);
    ::chmod(m_store.c_str(), 0644);

    // A folder where the store should be; a store path below a file.
    {
        ScopedEnv env("PLAT_REGISTRY", m_dir.Path());
        EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, L"Software\\U", &key), ERROR_ACCESS_DENIED);
        EXPECT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\U", &key), ERROR_ACCESS_DENIED);
    }
    {
        ScopedEnv env("PLAT_REGISTRY", m_store + "/below/registry.db");
        EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, L"Software\\U", &key), ERROR_ACCESS_DENIED);
        EXPECT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\U", &key), ERROR_ACCESS_DENIED);
    }
}

TEST_F(Registry, EmptyFileIsAnEmptyStore) {
    systest::WriteAll(m_store, "");
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, L"Software", &key), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software", &key), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(key, L"n", 5), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(Registry, StorePathFollowsTheEnvironment) {
    EXPECT_EQ(RegistryStorePath(), m_store);
    ScopedEnv unset("PLAT_REGISTRY", std::nullopt);
    ScopedEnv state("XDG_STATE_HOME", m_dir / "state");
    if (::geteuid() == 0)
        EXPECT_EQ(RegistryStorePath(), "/var/lib/plat/registry.db");
    else
        EXPECT_EQ(RegistryStorePath(), m_dir / "state/plat/registry.db");
}

TEST_F(Registry, TwoProcessesWritingAtOnceLoseNothing) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\Race", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    constexpr int kWrites = 150;
    auto writer = [](const wchar_t* prefix) {
        int failures = 0;
        HKEY k = nullptr;
        if (RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\Race", &k) != ERROR_SUCCESS)
            return 1;
        for (int i = 0; i < kWrites; ++i) {
            std::wstring name = prefix + std::to_wstring(i);
            if (SetString(k, name.c_str(), name) != ERROR_SUCCESS)
                ++failures;
            // Each process also creates keys, which touches the same rows.
            HKEY child = nullptr;
            if (RegCreateKey(k, (L"shared\\" + std::to_wstring(i % 10)).c_str(), &child) !=
                ERROR_SUCCESS)
                ++failures;
            else
                RegCloseKey(child);
        }
        RegCloseKey(k);
        return failures == 0 ? 0 : 1;
    };
    std::vector<pid_t> children;
    for (const wchar_t* prefix : {L"a", L"b"}) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
            ::_exit(writer(prefix));
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, L"Software\\Race", &key), ERROR_SUCCESS);
    for (const wchar_t* prefix : {L"a", L"b"}) {
        for (int i = 0; i < kWrites; ++i) {
            std::wstring name = prefix + std::to_wstring(i);
            EXPECT_EQ(GetString(key, name.c_str()), name);
        }
    }
    RegCloseKey(key);
}

TEST_F(Registry, ThreadsShareTheStore) {
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 25; ++i) {
                std::wstring name = std::to_wstring(t) + L"_" + std::to_wstring(i);
                if (SetDword(HKEY_CURRENT_USER, name.c_str(), DWORD(i)) != ERROR_SUCCESS)
                    ++failures;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    DWORD count = 0;
    wchar_t name[32];
    for (;; ++count) {
        DWORD chars = 32;
        if (RegEnumValue(HKEY_CURRENT_USER, count, name, &chars, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS)
            break;
    }
    EXPECT_EQ(count, DWORD(100));
}

TEST_F(Registry, AKilledWriterLeavesNoHalfWrittenValue) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, L"Software\\Crash", &key), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, L"v", std::wstring(5000, L'0')), ERROR_SUCCESS);
    RegCloseKey(key);
    // The pipe tells the parent the child is writing, so the kill lands in
    // the middle of its stream of writes.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(ready[0]);
        HKEY k = nullptr;
        if (RegOpenKey(HKEY_LOCAL_MACHINE, L"Software\\Crash", &k) != ERROR_SUCCESS)
            ::_exit(1);
        for (int i = 1;; ++i) {
            SetString(k, L"v", std::wstring(5000, wchar_t(L'0' + i % 10)));
            SetString(k, (L"n" + std::to_wstring(i)).c_str(), L"x");
            if (i == 5 && ::write(ready[1], "r", 1) != 1)
                ::_exit(1);
        }
    }
    ::close(ready[1]);
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    ::usleep(20000);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);

    ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, L"Software\\Crash", &key), ERROR_SUCCESS);
    std::wstring value = GetString(key, L"v");
    ASSERT_EQ(value.size(), 5000u);
    EXPECT_EQ(value, std::wstring(5000, value[0]));
    // The store still takes writes.
    EXPECT_EQ(SetString(key, L"after", L"ok"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(key, L"after"), L"ok");
    RegCloseKey(key);
}
