// What Windows itself reports about this machine, through other calls than
// the code under test makes (the Windows build puts this file in place of
// tests/common/kernel_lists.h, which reads Linux's /sys and /proc): the
// network adapters from GetAdaptersInfo, the processor's family, model and
// stepping from the system's processor description, its features from
// IsProcessorFeaturePresent.
#pragma once

#include <windows.h>
// After <windows.h>, whose types it uses.
#include <iphlpapi.h>

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/common/cpu_signature.h"

namespace testutil {

// The network adapters NetBIOS over TCP/IP can use (not the loopback, a
// 6-byte address, an IPv4 address), in the system's order. Each entry is
// {name, "aa:bb:cc:dd:ee:ff"}.
inline std::vector<std::pair<std::string, std::string>> SysfsAdapters() {
    std::vector<std::pair<std::string, std::string>> adapters;
    ULONG size = 0;
    if (::GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0)
        return adapters;
    std::vector<char> buffer(size);
    auto* list = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    if (::GetAdaptersInfo(list, &size) != NO_ERROR)
        return adapters;
    for (IP_ADAPTER_INFO* a = list; a != nullptr; a = a->Next) {
        const std::string ip = a->IpAddressList.IpAddress.String;
        if (a->Type == MIB_IF_TYPE_LOOPBACK || a->AddressLength != 6 || ip.empty() ||
            ip == "0.0.0.0")
            continue;
        char text[18];
        std::snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x", a->Address[0],
                      a->Address[1], a->Address[2], a->Address[3], a->Address[4], a->Address[5]);
        adapters.emplace_back(a->AdapterName, text);
    }
    return adapters;
}

// The processor signature (identification function 1, EAX) rebuilt from the
// family, model and stepping of the system's description of processor 0
// ("... Family 6 Model 85 Stepping 7"); false when they are missing.
inline bool CpuSignatureFromCpuInfo(uint32_t& signature) {
    wchar_t text[256] = {};
    DWORD size = sizeof(text);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                       L"Identifier", RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return false;
    std::wistringstream in(text);
    uint32_t family = 0, model = 0, stepping = 0;
    bool haveFamily = false, haveModel = false, haveStepping = false;
    for (std::wstring word; in >> word;) {
        if (word == L"Family")
            haveFamily = bool(in >> family);
        else if (word == L"Model")
            haveModel = bool(in >> model);
        else if (word == L"Stepping")
            haveStepping = bool(in >> stepping);
    }
    if (!haveFamily || !haveModel || !haveStepping)
        return false;
    signature = CpuSignature(family, model, stepping);
    return true;
}

// Feature flags of identification function 1 (EDX) that the system answers
// for: bit -> flag name.
inline std::vector<std::pair<int, std::string>> StableEdxFlags() {
    return {{4, "tsc"}, {8, "cx8"}, {23, "mmx"}, {25, "sse"}, {26, "sse2"}};
}

// The names of those flags the system says the processor has.
inline std::vector<std::string> CpuFlags() {
    const std::pair<DWORD, const char*> features[] = {
        {PF_RDTSC_INSTRUCTION_AVAILABLE, "tsc"},    {PF_COMPARE_EXCHANGE_DOUBLE, "cx8"},
        {PF_MMX_INSTRUCTIONS_AVAILABLE, "mmx"},     {PF_XMMI_INSTRUCTIONS_AVAILABLE, "sse"},
        {PF_XMMI64_INSTRUCTIONS_AVAILABLE, "sse2"},
    };
    std::vector<std::string> flags;
    for (const auto& [feature, name] : features) {
        if (::IsProcessorFeaturePresent(feature))
            flags.push_back(name);
    }
    return flags;
}

} // namespace testutil
