// Device identity queries on Linux: version record, word size, network
// adapter address and processor identification.
#include "plat/sys/device.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <ifaddrs.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <sys/utsname.h>
#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace plat {

namespace {

template <class Record> BOOL FillVersionRecord(Record* record, DWORD requiredSize) {
    if (record == nullptr || record->dwOSVersionInfoSize != requiredSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::memset(reinterpret_cast<BYTE*>(record) + sizeof(DWORD), 0, requiredSize - sizeof(DWORD));
    return TRUE;
}

struct Adapter {
    std::string name;
    BYTE address[6];
};

// Non-loopback interfaces with a 6-byte hardware address, by name.
std::vector<Adapter> ListAdapters() {
    std::vector<Adapter> adapters;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return adapters;
    }
    for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_PACKET) {
            continue;
        }
        if ((entry->ifa_flags & IFF_LOOPBACK) != 0 || entry->ifa_name == nullptr) {
            continue;
        }
        const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        if (link->sll_halen != 6) {
            continue;
        }
        Adapter adapter;
        adapter.name = entry->ifa_name;
        std::memcpy(adapter.address, link->sll_addr, 6);
        adapters.push_back(adapter);
    }
    freeifaddrs(list);
    std::sort(adapters.begin(), adapters.end(),
              [](const Adapter& a, const Adapter& b) { return a.name < b.name; });
    if (adapters.size() > static_cast<size_t>(MAX_LANA)) {
        adapters.resize(MAX_LANA);
    }
    return adapters;
}

UCHAR Finish(PNCB ncb, UCHAR code) {
    ncb->ncb_retcode = code;
    ncb->ncb_cmd_cplt = code;
    return code;
}

UCHAR Enumerate(PNCB ncb) {
    if (ncb->ncb_length == 0) {
        return Finish(ncb, NRC_BUFLEN);
    }
    std::vector<Adapter> adapters = ListAdapters();
    size_t room = static_cast<size_t>(ncb->ncb_length) - 1;
    size_t count = std::min(adapters.size(), room);
    ncb->ncb_buffer[0] = static_cast<UCHAR>(count);
    for (size_t i = 0; i < count; ++i) {
        ncb->ncb_buffer[1 + i] = static_cast<UCHAR>(i);
    }
    return Finish(ncb, count < adapters.size() ? NRC_BUFLEN : NRC_GOODRET);
}

UCHAR AdapterStatus(PNCB ncb) {
    if (ncb->ncb_callname[0] != '*') {
        return Finish(ncb, NRC_NOWILD);
    }
    std::vector<Adapter> adapters = ListAdapters();
    if (ncb->ncb_lana_num >= adapters.size()) {
        return Finish(ncb, NRC_BRIDGE);
    }
    ADAPTER_STATUS status;
    std::memset(&status, 0, sizeof(status));
    std::memcpy(status.adapter_address, adapters[ncb->ncb_lana_num].address, 6);
    size_t written = std::min<size_t>(ncb->ncb_length, sizeof(status));
    std::memcpy(ncb->ncb_buffer, &status, written);
    ncb->ncb_length = static_cast<WORD>(written);
    return Finish(ncb, written < sizeof(status) ? NRC_INCOMP : NRC_GOODRET);
}

} // namespace

BOOL GetVersionEx(OSVERSIONINFOEXW* lpVersionInformation) {
    return FillVersionRecord(lpVersionInformation, sizeof(OSVERSIONINFOEXW));
}

BOOL GetVersionEx(OSVERSIONINFOW* lpVersionInformation) {
    return FillVersionRecord(lpVersionInformation, sizeof(OSVERSIONINFOW));
}

BOOL IsWow64Process(HANDLE hProcess, BOOL* Wow64Process) {
    if (hProcess != CURRENT_PROCESS_HANDLE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (Wow64Process == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The kernel's machine name tells the system's word size, whatever the
    // word size of this process.
    utsname info;
    BOOL is64 = sizeof(void*) == 8 ? TRUE : FALSE;
    if (uname(&info) == 0) {
        std::string machine = info.machine;
        is64 = (machine.find("64") != std::string::npos || machine == "s390x") ? TRUE : FALSE;
    }
    *Wow64Process = is64;
    return TRUE;
}

UCHAR Netbios(PNCB pcnb) {
    if (pcnb == nullptr) {
        return NRC_ILLCMD;
    }
    if (pcnb->ncb_buffer == nullptr && pcnb->ncb_length != 0) {
        return Finish(pcnb, NRC_BUFLEN);
    }
    switch (pcnb->ncb_command) {
    case NCBENUM:
        if (pcnb->ncb_buffer == nullptr) {
            return Finish(pcnb, NRC_BUFLEN);
        }
        return Enumerate(pcnb);
    case NCBRESET:
        return Finish(pcnb, pcnb->ncb_lana_num < ListAdapters().size() ? NRC_GOODRET : NRC_BRIDGE);
    case NCBASTAT:
        if (pcnb->ncb_buffer == nullptr) {
            return Finish(pcnb, NRC_BUFLEN);
        }
        return AdapterStatus(pcnb);
    default:
        return Finish(pcnb, NRC_ILLCMD);
    }
}

void Cpuid(int cpuInfo[4], int functionId) {
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
#if defined(__i386__) || defined(__x86_64__)
    if (__get_cpuid(static_cast<unsigned int>(functionId), &eax, &ebx, &ecx, &edx) == 0) {
        eax = ebx = ecx = edx = 0;
    }
#else
    (void)functionId;
#endif
    cpuInfo[0] = static_cast<int>(eax);
    cpuInfo[1] = static_cast<int>(ebx);
    cpuInfo[2] = static_cast<int>(ecx);
    cpuInfo[3] = static_cast<int>(edx);
}

} // namespace plat
