#include "demo/product/start_record.h"

#include <ctime>
#include <cwchar>

#include "plat/sys/registry.h"

// Win32 constants are plat's names on Linux and the system's macros on
// Windows: used unqualified.
using namespace plat;

namespace demo {

namespace {

constexpr wchar_t kKey[] = L"Software\\TarvexPDFConver";

// The stored count, or 0 when it is missing or not a DWORD.
plat::DWORD StoredCount(plat::HKEY key) {
    plat::DWORD type = 0;
    plat::DWORD value = 0;
    plat::DWORD size = sizeof(value);
    if (plat::RegQueryValueEx(key, L"startCount", nullptr, &type,
                              reinterpret_cast<plat::BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value))
        return 0;
    return value;
}

std::wstring UtcNow() {
    const std::time_t now = std::time(nullptr);
    // The program has one thread when it records its start.
    const std::tm* parts = std::gmtime(&now);
    if (parts == nullptr)
        return std::wstring();
    wchar_t text[32] = {};
    std::wcsftime(text, sizeof(text) / sizeof(text[0]), L"%Y-%m-%d %H:%M:%S UTC", parts);
    return text;
}

} // namespace

StartRecord RecordStart() {
    StartRecord record;
    plat::HKEY key = nullptr;
    if (plat::RegCreateKey(HKEY_CURRENT_USER, kKey, &key) != ERROR_SUCCESS)
        return record;
    const plat::DWORD previous = StoredCount(key);
    // At the top of the range the count stays put rather than wrap to 0.
    const plat::DWORD count = previous == 0xFFFFFFFFu ? previous : previous + 1;
    const std::wstring when = UtcNow();
    record.count = count;
    record.saved =
        plat::RegSetValueEx(key, L"startCount", 0, REG_DWORD,
                            reinterpret_cast<const plat::BYTE*>(&count),
                            sizeof(count)) == ERROR_SUCCESS &&
        plat::RegSetValueEx(key, L"lastStart", 0, REG_SZ,
                            reinterpret_cast<const plat::BYTE*>(when.c_str()),
                            plat::DWORD((when.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    plat::RegCloseKey(key);
    return record;
}

} // namespace demo
