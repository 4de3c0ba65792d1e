// DotNetStandIn: the package the installer runs when .NET Framework 4 is
// missing. There is no framework to install on this system; the package
// records one as its real installer would, under
// HKEY_LOCAL_MACHINE\Software\Microsoft\NET Framework Setup\NDP\v4\Full and
// ...\Client (Install = 1, Release, Version), so that the installer's next
// run finds .NET 4 and no longer downloads it.
//
// It takes the switches the real installer is given for a quiet install
// ("/q", "/quiet", "/passive", "/norestart"); anything else is refused.
// Exit codes: 0 recorded, 1 the registry could not be written, 2 wrong
// arguments.
#include <cstdio>
#include <string>

#include "demo/common/package_cli.h"
#include "plat/sys/registry.h"
#include "plat/sys/text.h"

// Win32 constants are plat's names on Linux and the system's macros on
// Windows: used unqualified.
using namespace plat;

namespace {

constexpr const wchar_t* kKeys[] = {
    L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full",
    L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Client",
};
// The values .NET Framework 4.8 records.
constexpr wchar_t kVersion[] = L"4.8.04084";
constexpr plat::DWORD kRelease = 528040;

constexpr int kExitRecorded = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

plat::LONG SetDword(plat::HKEY key, const wchar_t* name, plat::DWORD value) {
    return plat::RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const plat::BYTE*>(&value),
                               sizeof(value));
}

// Writes one key's values; Install last, so that it is never set without
// the others.
plat::LONG Record(const wchar_t* subKey) {
    plat::HKEY key = nullptr;
    plat::LONG rc = plat::RegCreateKey(HKEY_LOCAL_MACHINE, subKey, &key);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = plat::RegSetValueEx(key, L"Version", 0, REG_SZ,
                             reinterpret_cast<const plat::BYTE*>(kVersion), sizeof(kVersion));
    if (rc == ERROR_SUCCESS)
        rc = SetDword(key, L"Release", kRelease);
    if (rc == ERROR_SUCCESS)
        rc = SetDword(key, L"Install", 1);
    plat::RegCloseKey(key);
    return rc;
}

bool KnownSwitch(const char* argument) {
    for (const char* known : {"/q", "/quiet", "/passive", "/norestart"}) {
        if (demo::SameSwitch(argument, known))
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (!KnownSwitch(argv[i])) {
            std::fprintf(stderr,
                         "DotNetStandIn: unknown argument \"%s\"\n"
                         "usage: DotNetStandIn [/q] [/quiet] [/passive] [/norestart]\n",
                         argv[i]);
            return kExitUsage;
        }
    }
    for (const wchar_t* key : kKeys) {
        plat::LONG rc = Record(key);
        if (rc != ERROR_SUCCESS) {
            std::fprintf(
                stderr,
                "DotNetStandIn: cannot write HKEY_LOCAL_MACHINE\\%s in the registry store %s: %s\n",
                plat::WideToUtf8(key).c_str(), plat::RegistryStorePath().c_str(),
                demo::ErrorText(plat::DWORD(rc)).c_str());
            return kExitFailed;
        }
    }
    std::printf("Recorded .NET Framework %s\n", plat::WideToUtf8(kVersion).c_str());
    return kExitRecorded;
}
