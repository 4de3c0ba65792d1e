// The system queries behind the device block of every report: system name
// and word size, device fingerprint, Internet Explorer version. Each query
// is self-contained, keeps no state and never fails: a failed query gives
// its default.
#pragma once

#include <string>
#include <vector>

namespace ns_zr_stat {

// "xp", "vista", "win7", "win8" or empty, from the system's version.
std::wstring GetOsName();
// The name for a major and minor system version (the table behind
// GetOsName): 5.1 "xp", 6.0 "vista", 6.1 "win7", 6.2 and above-6.0 "win8",
// anything else empty.
std::wstring OsNameFromVersion(unsigned long nMajor, unsigned long nMinor);

// "64" on a 64-bit system, else "32".
std::wstring GetOsType();

// The first network adapter's address as "%02X-%02X-%02X-%02X-%02X-%02X"
// (17 characters); six zero pairs when there is no adapter.
std::wstring GetMacAddress();

// The processor's feature flags (EDX) and signature (EAX) of
// identification function 1 as "%08X%08X" (16 upper-case hex digits).
std::wstring GetCpuId();
std::wstring FormatCpuId(unsigned int nEdx, unsigned int nEax);

// The "svcVersion" (else "Version") text of the Internet Explorer key under
// HKEY_LOCAL_MACHINE, empty when neither can be read.
std::wstring GetIeVersion();

// Splits a dotted version: each piece's leading decimal number (0 when it
// has none) modulo 256; an empty last piece is skipped; a text without "."
// gives one value. Zeros are appended up to nMinCount values (a negative
// count appends none).
std::vector<unsigned char> ParseVersion(const std::wstring& strVersion, int nMinCount);

// MD5 of the text's UTF-8 bytes (up to its first zero character) as 32
// upper-case hex digits.
std::wstring Md5Hex(const std::wstring& strText);

// The device fingerprint: Md5Hex(GetMacAddress() + L"+" + GetCpuId()).
std::wstring DeviceFingerprint();

} // namespace ns_zr_stat
