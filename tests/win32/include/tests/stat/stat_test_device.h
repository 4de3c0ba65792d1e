// What the device block of a report must hold on this Windows machine (the
// Windows build puts this file in place of tests/stat/stat_test_device.h),
// computed through other calls than the client makes: GetNativeSystemInfo,
// RtlGetVersion, GetAdaptersInfo, RegGetValue and CryptoAPI's MD5.
#pragma once

#include <iphlpapi.h>
#include <wincrypt.h>
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "stat/DevInfo.h"

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

// The address of the first network adapter GetAdaptersInfo lists with an
// IPv4 address (NetBIOS runs over TCP/IP: an adapter without an address has
// no LANA), upper case and '-' separated, zeros without one; "+", the
// processor text; hashed.
inline std::string ExpectedFingerprint(const std::wstring& cpuText) {
    std::string mac = "00-00-00-00-00-00";
    ULONG size = 0;
    if (::GetAdaptersInfo(nullptr, &size) == ERROR_BUFFER_OVERFLOW && size > 0) {
        std::vector<char> buffer(size);
        auto* adapters = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
        if (::GetAdaptersInfo(adapters, &size) == NO_ERROR) {
            for (IP_ADAPTER_INFO* a = adapters; a != nullptr; a = a->Next) {
                if (a->Type == MIB_IF_TYPE_LOOPBACK || a->AddressLength != 6 ||
                    std::string(a->IpAddressList.IpAddress.String).empty() ||
                    std::string(a->IpAddressList.IpAddress.String) == "0.0.0.0")
                    continue;
                char text[18];
                std::snprintf(text, sizeof(text), "%02X-%02X-%02X-%02X-%02X-%02X", a->Address[0],
                              a->Address[1], a->Address[2], a->Address[3], a->Address[4],
                              a->Address[5]);
                mac = text;
                break;
            }
        }
    }
    return CryptoApiMd5(mac + "+" + std::string(cpuText.begin(), cpuText.end()));
}

} // namespace stat_test
