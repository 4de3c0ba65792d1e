// What the device block of a report must hold on this Windows machine (the
// Windows build puts this file in place of tests/stat/stat_test_device.h),
// computed through other calls than the client makes: GetNativeSystemInfo,
// RtlGetVersion, GetAdaptersInfo, RegGetValue and CryptoAPI's MD5.
#pragma once

#include <windows.h>
// After <windows.h>, whose types it uses.
#include <wincrypt.h>

#include <cctype>
#include <cstdio>
#include <string>

#include "stat/DevInfo.h"
#include "tests/common/kernel_lists.h"

namespace stat_test {

// The system's word size: "64" on a 64-bit Windows, whatever the program.
inline std::string KernelWordSize() {
    SYSTEM_INFO info{};
    ::GetNativeSystemInfo(&info);
    switch (info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64:
    case PROCESSOR_ARCHITECTURE_ARM64:
    case PROCESSOR_ARCHITECTURE_IA64:
        return "64";
    default:
        return "32";
    }
}

// The version table applied to the version the kernel itself reports.
inline std::string ExpectedOsName() {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    auto get = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (get == nullptr || get(&info) != 0)
        return "<no version>";
    const std::wstring name =
        ns_zr_stat::OsNameFromVersion(info.dwMajorVersion, info.dwMinorVersion);
    return std::string(name.begin(), name.end());
}

// The first number of Internet Explorer's svcVersion, else Version, else 0,
// clamped to a byte as the client writes it.
inline std::string ExpectedIeVersion() {
    const wchar_t* key = L"SOFTWARE\\Microsoft\\Internet Explorer";
    for (const wchar_t* name : {L"svcVersion", L"Version"}) {
        wchar_t text[100] = {};
        DWORD size = sizeof(text);
        if (::RegGetValueW(HKEY_LOCAL_MACHINE, key, name,
                           RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, text,
                           &size) == ERROR_SUCCESS &&
            text[0] != L'\0') {
            unsigned long major = 0;
            for (const wchar_t* c = text; *c >= L'0' && *c <= L'9'; ++c)
                major = major * 10 + unsigned(*c - L'0');
            return std::to_string(major & 0xFF);
        }
    }
    return "0";
}

// MD5 through CryptoAPI, upper-case hex; empty on failure.
inline std::string CryptoApiMd5(const std::string& bytes) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    std::string hex;
    if (::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        ::CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
        ::CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()), DWORD(bytes.size()),
                        0)) {
        BYTE digest[16];
        DWORD length = sizeof(digest);
        if (::CryptGetHashParam(hash, HP_HASHVAL, digest, &length, 0)) {
            char two[3];
            for (DWORD i = 0; i < length; ++i) {
                std::snprintf(two, sizeof(two), "%02X", digest[i]);
                hex += two;
            }
        }
    }
    if (hash != 0)
        ::CryptDestroyHash(hash);
    if (provider != 0)
        ::CryptReleaseContext(provider, 0);
    return hex;
}

// The first adapter NetBIOS can use (tests/common/kernel_lists.h; zeros
// without one), upper case and '-' separated, "+", the processor text,
// hashed.
inline std::string ExpectedFingerprint(const std::wstring& cpuText) {
    const auto adapters = testutil::SysfsAdapters();
    std::string text = adapters.empty() ? "00:00:00:00:00:00" : adapters.front().second;
    for (char& c : text)
        c = c == ':' ? '-' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return CryptoApiMd5(text + "+" + std::string(cpuText.begin(), cpuText.end()));
}

} // namespace stat_test
