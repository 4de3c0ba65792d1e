// System queries of the device block.
#include "stat/DevInfo.h"

#include "plat/sys/device.h"
#include "plat/sys/registry.h"
#include "stat_test_env.h"
#include "stat_test_util.h"
#include "tests/common/kernel_lists.h"
#include "tests/stat/stat_test_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cwctype>

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

using namespace ns_zr_stat;

TEST(DevInfo, OsNameFollowsTheVersionTable) {
    EXPECT_EQ(OsNameFromVersion(5, 1), L"xp");
    EXPECT_EQ(OsNameFromVersion(5, 2), L"");
    EXPECT_EQ(OsNameFromVersion(5, 0), L"");
    EXPECT_EQ(OsNameFromVersion(6, 0), L"vista");
    EXPECT_EQ(OsNameFromVersion(6, 1), L"win7");
    EXPECT_EQ(OsNameFromVersion(6, 2), L"win8");
    EXPECT_EQ(OsNameFromVersion(6, 3), L"");
    EXPECT_EQ(OsNameFromVersion(10, 0), L"win8");
    EXPECT_EQ(OsNameFromVersion(10, 1), L"");
    EXPECT_EQ(OsNameFromVersion(4, 0), L"");
    EXPECT_EQ(OsNameFromVersion(0, 0), L"");
    // The system's own version through the table (none on Linux).
    const std::string expected = stat_test::ExpectedOsName();
    EXPECT_EQ(GetOsName(), std::wstring(expected.begin(), expected.end()));
}

TEST(DevInfo, OsTypeIsTheSystemWordSize) {
    std::wstring type = GetOsType();
    EXPECT_TRUE(type == L"32" || type == L"64");
    const std::string kernel = stat_test::KernelWordSize();
    EXPECT_EQ(type, std::wstring(kernel.begin(), kernel.end()));
}

TEST(DevInfo, ParseVersionSplitsDottedTexts) {
    using V = std::vector<unsigned char>;
    EXPECT_EQ(ParseVersion(L"11.0.1", -1), (V{11, 0, 1}));
    EXPECT_EQ(ParseVersion(L"9.11.1", -1), (V{9, 11, 1}));
    EXPECT_EQ(ParseVersion(L"300.1", -1), (V{44, 1}));
    EXPECT_EQ(ParseVersion(L"", -1), (V{0}));
    EXPECT_EQ(ParseVersion(L"8", -1), (V{8}));
    EXPECT_EQ(ParseVersion(L"8.", -1), (V{8}));
    EXPECT_EQ(ParseVersion(L"8..2", -1), (V{8, 0, 2}));
    EXPECT_EQ(ParseVersion(L".5", -1), (V{0, 5}));
    EXPECT_EQ(ParseVersion(L"7b.x", -1), (V{7, 0}));
    EXPECT_EQ(ParseVersion(L" 12.-1", -1), (V{12, 255}));
    EXPECT_EQ(ParseVersion(L"99999999999.1", -1), (V{255, 1})); // clamped to INT_MAX
    EXPECT_EQ(ParseVersion(L"1.2", 4), (V{1, 2, 0, 0}));
    EXPECT_EQ(ParseVersion(L"1.2.3", 2), (V{1, 2, 3}));
}

TEST(DevInfo, Md5HexMatchesRfc1321) {
    EXPECT_EQ(Md5Hex(L""), L"D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(Md5Hex(L"a"), L"0CC175B9C0F1B6A831C399E269772661");
    EXPECT_EQ(Md5Hex(L"abc"), L"900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(Md5Hex(L"message digest"), L"F96B697D7CB7938D525A2F31AAF161D0");
    // Up to the first zero character only.
    EXPECT_EQ(Md5Hex(std::wstring(L"abc\0def", 7)), L"900150983CD24FB0D6963F7D28E17F72");
}

TEST(DevInfo, AdapterAndProcessorTextsHaveTheirFormats) {
    std::wstring mac = GetMacAddress();
    ASSERT_EQ(mac.size(), 17u);
    for (size_t i = 0; i < mac.size(); ++i) {
        if (i % 3 == 2) {
            EXPECT_EQ(mac[i], L'-');
        } else {
            EXPECT_TRUE(std::iswxdigit(mac[i]) && !std::iswlower(mac[i])) << mac;
        }
    }
    EXPECT_EQ(FormatCpuId(0xBFEBFBFF, 0x000306C3), L"BFEBFBFF000306C3");
    EXPECT_EQ(FormatCpuId(0, 0), L"0000000000000000");
    EXPECT_EQ(FormatCpuId(0x0000000F, 0xA0000000), L"0000000FA0000000");
    ASSERT_EQ(GetCpuId().size(), 16u);
}

TEST(DevInfo, AdapterAddressIsTheKernelsFirstAdapter) {
    const auto adapters = testutil::SysfsAdapters();
    std::string expected = adapters.empty() ? "00:00:00:00:00:00" : adapters.front().second;
    for (char& c : expected) {
        c = c == ':' ? '-' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(GetMacAddress(), std::wstring(expected.begin(), expected.end()));
}

#if defined(__i386__) || defined(__x86_64__)
TEST(DevInfo, ProcessorTextMatchesWhatTheKernelShows) {
    uint32_t signature = 0;
    if (!testutil::CpuSignatureFromCpuInfo(signature)) {
        GTEST_SKIP() << "no family, model and stepping in /proc/cpuinfo";
    }
    const std::wstring cpu = GetCpuId();
    ASSERT_EQ(cpu.size(), 16u);
    const std::string text(cpu.begin(), cpu.end());
    const uint32_t edx = uint32_t(std::stoul(text.substr(0, 8), nullptr, 16));
    const uint32_t eax = uint32_t(std::stoul(text.substr(8), nullptr, 16));
    // The processor type (bits 12-13) is not shown by the kernel.
    EXPECT_EQ(eax & ~0x3000u, signature) << text;
    const auto flags = testutil::CpuFlags();
    for (const auto& [bit, name] : testutil::StableEdxFlags()) {
        const bool listed = std::find(flags.begin(), flags.end(), name) != flags.end();
        EXPECT_EQ((edx >> bit & 1u) != 0, listed) << name;
    }
}
#endif

TEST(DevInfo, FingerprintIsTheMd5OfAdapterPlusProcessor) {
    std::wstring first = DeviceFingerprint();
    EXPECT_EQ(first, DeviceFingerprint());
    const std::string expected = stat_test::ExpectedFingerprint(GetCpuId());
    ASSERT_EQ(expected.size(), 32u);
    EXPECT_EQ(first, std::wstring(expected.begin(), expected.end()));
}

// ---------------------------------------------------------------------------
// Internet Explorer version in the real registry store

class IeVersion : public ::testing::Test {
protected:
    // Each test starts without the two values, also on a system that has
    // them (Windows: the test's own Wine prefix).
    void SetUp() override {
        m_store.Use();
        plat::HKEY hKey = nullptr;
        if (plat::RegOpenKeyEx(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer", 0,
                               KEY_ALL_ACCESS, &hKey) == ERROR_SUCCESS) {
            plat::RegDeleteValue(hKey, L"svcVersion");
            plat::RegDeleteValue(hKey, L"Version");
            plat::RegCloseKey(hKey);
        }
    }

    void SetValue(const wchar_t* name, const std::wstring& text, plat::DWORD type = REG_SZ) {
        plat::HKEY hKey = nullptr;
        ASSERT_EQ(plat::RegCreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer",
                                     &hKey),
                  ERROR_SUCCESS);
        ASSERT_EQ(plat::RegSetValueEx(
                      hKey, name, 0, type, reinterpret_cast<const plat::BYTE*>(text.c_str()),
                      static_cast<plat::DWORD>((text.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
        plat::RegCloseKey(hKey);
    }

    ScratchRegistry m_store;
};

TEST_F(IeVersion, MissingKeyGivesEmptyText) {
    EXPECT_EQ(GetIeVersion(), L"");
}

TEST_F(IeVersion, SvcVersionWinsOverVersion) {
    SetValue(L"Version", L"9.11.1");
    EXPECT_EQ(GetIeVersion(), L"9.11.1");
    SetValue(L"svcVersion", L"11.0.1");
    EXPECT_EQ(GetIeVersion(), L"11.0.1");
}

TEST_F(IeVersion, ExpandableTextValuesAreReadToo) {
    SetValue(L"Version", L"9.11.2", REG_EXPAND_SZ);
    EXPECT_EQ(GetIeVersion(), L"9.11.2");
    SetValue(L"svcVersion", L"11.0.9600", REG_EXPAND_SZ);
    EXPECT_EQ(GetIeVersion(), L"11.0.9600");
    // A number is not text: the other value is used.
    plat::HKEY hKey = nullptr;
    ASSERT_EQ(
        plat::RegCreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer", &hKey),
        ERROR_SUCCESS);
    plat::DWORD number = 11;
    ASSERT_EQ(plat::RegSetValueEx(hKey, L"svcVersion", 0, REG_DWORD,
                                  reinterpret_cast<const plat::BYTE*>(&number), 4),
              ERROR_SUCCESS);
    plat::RegCloseKey(hKey);
    EXPECT_EQ(GetIeVersion(), L"9.11.2");
}

TEST_F(IeVersion, OverlongTextIsCutToTheBuffer) {
    // The buffer holds 99 characters and its terminating zero.
    SetValue(L"Version", std::wstring(99, L'7'));
    EXPECT_EQ(GetIeVersion(), L"");
    SetValue(L"Version", std::wstring(98, L'7'));
    EXPECT_EQ(GetIeVersion(), std::wstring(98, L'7'));
}
