// Reads the installPath value the install engine writes, through the real
// registry store ($PLAT_REGISTRY). Shared by the engine tests and the probe
// package they install.
#pragma once

#include <string>
#include <vector>

#include "plat/sys/registry.h"

namespace tarvex_test {

// The value, or `missing` when the key or value does not exist or is not
// text.
inline std::wstring ReadInstallPath(const std::wstring& missing = L"<missing>") {
    plat::HKEY key = nullptr;
    if (plat::RegOpenKeyEx(plat::HKEY_LOCAL_MACHINE, L"Software\\TarvexPDFConver", 0,
                           plat::KEY_READ, &key) != plat::ERROR_SUCCESS) {
        return missing;
    }
    plat::DWORD type = 0;
    plat::DWORD size = 0;
    std::wstring result = missing;
    if (plat::RegQueryValueEx(key, L"installPath", nullptr, &type, nullptr, &size) ==
            plat::ERROR_SUCCESS &&
        type == plat::REG_SZ && size >= sizeof(wchar_t)) {
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
        if (plat::RegQueryValueEx(key, L"installPath", nullptr, &type,
                                  reinterpret_cast<plat::BYTE*>(buffer.data()),
                                  &size) == plat::ERROR_SUCCESS) {
            result = buffer.data();
        }
    }
    plat::RegCloseKey(key);
    return result;
}

} // namespace tarvex_test
