// System queries of the device block, on top of plat.
#include "stat/DevInfo.h"

#include "plat/sys/device.h"
#include "plat/sys/registry.h"
#include "stat/StatText.h"

#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/md5.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

namespace ns_zr_stat {

namespace {

// The runtime's decimal text-to-integer conversion: leading white space, an
// optional sign and the leading digits; 0 when there are none; clamped to
// the int range on overflow.
int TextToInt(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        value = INT_MAX;
    }
    return static_cast<int>(value);
}

// Reads a text value (plain or expandable, taken as it is stored) into the
// zeroed buffer; false when it cannot be read.
bool QueryText(plat::HKEY hKey, const wchar_t* pszName, wchar_t (&buffer)[100]) {
    std::memset(buffer, 0, sizeof(buffer));
    // One character less than the buffer, so the text always ends in zero.
    plat::DWORD nSize = static_cast<plat::DWORD>(sizeof(buffer) - sizeof(wchar_t));
    plat::DWORD nType = 0;
    plat::LSTATUS status = plat::RegQueryValueEx(hKey, pszName, nullptr, &nType,
                                                 reinterpret_cast<plat::BYTE*>(buffer), &nSize);
    if (status != ERROR_SUCCESS || (nType != REG_SZ && nType != REG_EXPAND_SZ)) {
        std::memset(buffer, 0, sizeof(buffer));
        return false;
    }
    return true;
}

} // namespace

std::wstring OsNameFromVersion(unsigned long nMajor, unsigned long nMinor) {
    if (nMajor == 5) {
        return nMinor == 1 ? L"xp" : L"";
    }
    if (nMajor == 6) {
        switch (nMinor) {
        case 0:
            return L"vista";
        case 1:
            return L"win7";
        case 2:
            return L"win8";
        default:
            return L"";
        }
    }
    if (nMajor > 6) {
        return nMinor == 0 ? L"win8" : L"";
    }
    return L"";
}

std::wstring GetOsName() {
    plat::OSVERSIONINFOEXW info;
    std::memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    plat::GetVersionEx(&info);
    return OsNameFromVersion(info.dwMajorVersion, info.dwMinorVersion);
}

std::wstring GetOsType() {
    // A 64-bit program runs only on a 64-bit system (where it is no WOW64
    // process); a 32-bit one is on a 64-bit system exactly when it runs
    // under WOW64.
    if (sizeof(void*) == 8) {
        return L"64";
    }
    plat::BOOL bWow64 = FALSE;
    if (plat::IsWow64Process(plat::CURRENT_PROCESS_HANDLE, &bWow64) && bWow64 == 1) {
        return L"64";
    }
    return L"32";
}

std::wstring GetMacAddress() {
    plat::LANA_ENUM lanaEnum;
    std::memset(&lanaEnum, 0, sizeof(lanaEnum));
    plat::NCB ncb;
    std::memset(&ncb, 0, sizeof(ncb));
    ncb.ncb_command = NCBENUM;
    ncb.ncb_buffer = reinterpret_cast<plat::PUCHAR>(&lanaEnum);
    ncb.ncb_length = sizeof(lanaEnum);
    plat::Netbios(&ncb);

    std::memset(&ncb, 0, sizeof(ncb));
    ncb.ncb_command = NCBRESET;
    ncb.ncb_lana_num = lanaEnum.lana[0];
    plat::Netbios(&ncb);

    plat::ADAPTER_STATUS status;
    std::memset(&status, 0, sizeof(status));
    std::memset(&ncb, 0, sizeof(ncb));
    ncb.ncb_command = NCBASTAT;
    ncb.ncb_lana_num = lanaEnum.lana[0];
    ncb.ncb_callname[0] = '*';
    ncb.ncb_buffer = reinterpret_cast<plat::PUCHAR>(&status);
    ncb.ncb_length = sizeof(status);
    plat::Netbios(&ncb);

    wchar_t text[100] = {};
    std::swprintf(text, 100, L"%02X-%02X-%02X-%02X-%02X-%02X", status.adapter_address[0],
                  status.adapter_address[1], status.adapter_address[2], status.adapter_address[3],
                  status.adapter_address[4], status.adapter_address[5]);
    return text;
}

std::wstring FormatCpuId(unsigned int nEdx, unsigned int nEax) {
    wchar_t text[30] = {};
    std::swprintf(text, 30, L"%08X%08X", nEdx, nEax);
    return text;
}

std::wstring GetCpuId() {
    int info[4] = {0, 0, 0, 0};
    plat::Cpuid(info, 1);
    return FormatCpuId(static_cast<unsigned int>(info[3]), static_cast<unsigned int>(info[0]));
}

std::wstring GetIeVersion() {
    plat::HKEY hKey = nullptr;
    if (plat::RegOpenKeyEx(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer", 0,
                           KEY_READ, &hKey) != ERROR_SUCCESS) {
        return std::wstring();
    }
    wchar_t buffer[100];
    if (!QueryText(hKey, L"svcVersion", buffer)) {
        QueryText(hKey, L"Version", buffer);
    }
    plat::RegCloseKey(hKey);
    return std::wstring(buffer);
}

std::vector<unsigned char> ParseVersion(const std::wstring& strVersion, int nMinCount) {
    std::vector<unsigned char> values;
    std::wstring rest = strVersion;
    bool sawDot = false;
    for (size_t dot = rest.find(L'.'); dot != std::wstring::npos; dot = rest.find(L'.')) {
        sawDot = true;
        values.push_back(static_cast<unsigned char>(TextToInt(rest.substr(0, dot))));
        rest.erase(0, dot + 1);
    }
    if (!sawDot || !rest.empty()) {
        values.push_back(static_cast<unsigned char>(TextToInt(rest)));
    }
    while (nMinCount > 0 && values.size() < static_cast<size_t>(nMinCount)) {
        values.push_back(0);
    }
    return values;
}

std::wstring Md5Hex(const std::wstring& strText) {
    std::string bytes = StatWideToAnsi(strText);
    unsigned char digest[CryptoPP::Weak::MD5::DIGESTSIZE];
    CryptoPP::Weak::MD5 md5;
    md5.CalculateDigest(digest, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring hex;
    hex.reserve(32);
    for (unsigned char byte : digest) {
        hex.push_back(kHex[byte >> 4]);
        hex.push_back(kHex[byte & 0x0F]);
    }
    return hex;
}

std::wstring DeviceFingerprint() {
    return Md5Hex(GetMacAddress() + L"+" + GetCpuId());
}

} // namespace ns_zr_stat
