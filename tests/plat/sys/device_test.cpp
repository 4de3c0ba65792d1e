// Device identity queries: version record, word size, adapter address
// through the NetBIOS command block, processor identification.
#include "plat/sys/device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/utsname.h>

#include "tests/common/kernel_lists.h"

using namespace plat;

namespace {

using testutil::SysfsAdapters;

UCHAR Enumerate(LANA_ENUM& lanas, WORD length = sizeof(LANA_ENUM)) {
    NCB ncb = {};
    ncb.ncb_command = NCBENUM;
    ncb.ncb_buffer = reinterpret_cast<PUCHAR>(&lanas);
    ncb.ncb_length = length;
    return Netbios(&ncb);
}

UCHAR AdapterStatus(UCHAR lana, ADAPTER_STATUS& status, WORD length = sizeof(ADAPTER_STATUS),
                    const char* callName = "*") {
    NCB ncb = {};
    ncb.ncb_command = NCBASTAT;
    ncb.ncb_lana_num = lana;
    std::memcpy(ncb.ncb_callname, callName, std::min<size_t>(std::strlen(callName), NCBNAMSZ));
    ncb.ncb_buffer = reinterpret_cast<PUCHAR>(&status);
    ncb.ncb_length = length;
    UCHAR code = Netbios(&ncb);
    EXPECT_EQ(ncb.ncb_retcode, code);
    EXPECT_EQ(ncb.ncb_cmd_cplt, code);
    return code;
}

} // namespace

TEST(Netbios, AdaptersMatchTheKernelsListInNameOrder) {
    auto expected = SysfsAdapters();
    LANA_ENUM lanas = {};
    ASSERT_EQ(Enumerate(lanas), NRC_GOODRET);
    ASSERT_EQ(lanas.length, std::min<size_t>(expected.size(), MAX_LANA));
    for (int i = 0; i < lanas.length; ++i) {
        EXPECT_EQ(lanas.lana[i], i);
        ADAPTER_STATUS status = {};
        ASSERT_EQ(AdapterStatus(lanas.lana[i], status), NRC_GOODRET);
        char text[18];
        std::snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x",
                      status.adapter_address[0], status.adapter_address[1],
                      status.adapter_address[2], status.adapter_address[3],
                      status.adapter_address[4], status.adapter_address[5]);
        EXPECT_EQ(text, expected[i].second) << expected[i].first;
        EXPECT_EQ(status.name_count, 0);
    }
}

TEST(Netbios, RefusesUnknownAdaptersCommandsAndNames) {
    LANA_ENUM lanas = {};
    ASSERT_EQ(Enumerate(lanas), NRC_GOODRET);
    ADAPTER_STATUS status = {};
    EXPECT_EQ(AdapterStatus(static_cast<UCHAR>(lanas.length), status), NRC_BRIDGE);
    EXPECT_EQ(status.adapter_address[0], 0);

    NCB reset = {};
    reset.ncb_command = NCBRESET;
    reset.ncb_lana_num = static_cast<UCHAR>(lanas.length);
    EXPECT_EQ(Netbios(&reset), NRC_BRIDGE);
    if (lanas.length > 0) {
        reset.ncb_lana_num = 0;
        EXPECT_EQ(Netbios(&reset), NRC_GOODRET);
        EXPECT_EQ(AdapterStatus(0, status, sizeof(status), "SOMEHOST"), NRC_NOWILD);
    }

    NCB unknown = {};
    unknown.ncb_command = 0x7E;
    EXPECT_EQ(Netbios(&unknown), NRC_ILLCMD);
    EXPECT_EQ(Netbios(nullptr), NRC_ILLCMD);

    NCB noBuffer = {};
    noBuffer.ncb_command = NCBASTAT;
    noBuffer.ncb_length = 60;
    EXPECT_EQ(Netbios(&noBuffer), NRC_BUFLEN);
}

TEST(Netbios, ShortBuffersAreFilledAsFarAsTheyGo) {
    LANA_ENUM lanas = {};
    ASSERT_EQ(Enumerate(lanas), NRC_GOODRET);
    if (lanas.length == 0) {
        GTEST_SKIP() << "no network adapter on this machine";
    }
    LANA_ENUM small = {};
    small.lana[0] = 0xAA;
    EXPECT_EQ(Enumerate(small, 1), NRC_BUFLEN);
    EXPECT_EQ(small.length, 0);
    EXPECT_EQ(small.lana[0], 0xAA);

    unsigned char bytes[64];
    std::memset(bytes, 0xEE, sizeof(bytes));
    NCB ncb = {};
    ncb.ncb_command = NCBASTAT;
    ncb.ncb_callname[0] = '*';
    ncb.ncb_buffer = bytes;
    ncb.ncb_length = 4;
    EXPECT_EQ(Netbios(&ncb), NRC_INCOMP);
    EXPECT_EQ(ncb.ncb_length, 4);
    EXPECT_EQ(bytes[4], 0xEE); // nothing beyond the announced length
}

TEST(Netbios, RecordsHaveTheirWin32Sizes) {
    EXPECT_EQ(sizeof(ADAPTER_STATUS), 60u);
    EXPECT_EQ(sizeof(LANA_ENUM), 256u);
}

TEST(VersionInfo, ReportsNoWindowsVersionAndChecksTheRecordSize) {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = 9;
    info.szCSDVersion[0] = L'x';
    EXPECT_TRUE(GetVersionEx(&info));
    EXPECT_EQ(info.dwOSVersionInfoSize, sizeof(info));
    EXPECT_EQ(info.dwMajorVersion, 0u);
    EXPECT_EQ(info.szCSDVersion[0], L'\0');

    OSVERSIONINFOW plain = {};
    plain.dwOSVersionInfoSize = sizeof(plain);
    plain.dwMinorVersion = 3;
    EXPECT_TRUE(GetVersionEx(&plain));
    EXPECT_EQ(plain.dwMinorVersion, 0u);

    info.dwOSVersionInfoSize = 12;
    info.dwMajorVersion = 9;
    SetLastError(0);
    EXPECT_FALSE(GetVersionEx(&info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(info.dwMajorVersion, 9u);
    EXPECT_FALSE(GetVersionEx(static_cast<OSVERSIONINFOEXW*>(nullptr)));
}

TEST(Wow64, AnswersTheSystemWordSizeForTheCurrentProcessOnly) {
    utsname name;
    ASSERT_EQ(uname(&name), 0);
    std::string machine = name.machine;
    BOOL flag = 7;
    ASSERT_TRUE(IsWow64Process(CURRENT_PROCESS_HANDLE, &flag));
    EXPECT_EQ(flag, machine.find("64") != std::string::npos ? TRUE : FALSE) << machine;

    flag = 7;
    SetLastError(0);
    EXPECT_FALSE(IsWow64Process(nullptr, &flag));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(flag, 7);
    EXPECT_FALSE(IsWow64Process(CURRENT_PROCESS_HANDLE, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Cpuid, GivesTheProcessorsRegisters) {
    int info[4] = {-1, -1, -1, -1};
    Cpuid(info, 0);
#if defined(__i386__) || defined(__x86_64__)
    // Function 0: the highest function in EAX and the vendor in EBX, EDX, ECX.
    EXPECT_GE(info[0], 1);
    char vendor[13] = {};
    std::memcpy(vendor, &info[1], 4);
    std::memcpy(vendor + 4, &info[3], 4);
    std::memcpy(vendor + 8, &info[2], 4);
    for (int i = 0; i < 12; ++i) {
        EXPECT_TRUE(std::isprint(static_cast<unsigned char>(vendor[i]))) << vendor;
    }
    Cpuid(info, 1);
    EXPECT_NE(info[0], 0);   // the processor signature
    Cpuid(info, 0x7FFFFFFF); // above the highest basic function
    EXPECT_EQ(info[0] | info[1] | info[2] | info[3], 0);
#else
    EXPECT_EQ(info[0] | info[1] | info[2] | info[3], 0);
#endif
}
