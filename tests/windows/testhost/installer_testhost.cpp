// The installer as the end-to-end tests run it: the same library and
// resources as TarvexPDFConverInst, with the test seams set from the
// command line before wWinMain runs (the shipped program reads neither).
//
//   --api URL, --web URL, --stat URL   the hosts (no trailing '/')
//   --disk DRIVE=BYTES                 free space the query answers for DRIVE
//                                      (a mount point ending in '/'); BYTES
//                                      "fail" makes the query fail; DRIVE
//                                      "*" answers for every other drive
//   --stall-seconds N                  a download receiving nothing for N
//                                      seconds is abandoned
//   --fail-window NAME                 creating the installer window NAME
//                                      (e.g. InstallerInstallWnd) fails
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "app/system_queries.h"
#include "net/http_transfer.h"
#include "plat/sys/files.h"
#include "plat/sys/text.h"
#include "windows/InstallerHooks.h"
#include "windows/InstallerMain.h"

int main(int argc, char** argv) {
    installer::InstallerTestHooks& hooks = installer::TestHooks();
    std::map<std::wstring, std::string> disks;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--api") {
            hooks.apiBaseUrl = plat::Utf8ToWide(value);
        } else if (option == "--web") {
            hooks.webBaseUrl = plat::Utf8ToWide(value);
        } else if (option == "--stat") {
            hooks.statBaseUrl = plat::Utf8ToWide(value);
        } else if (option == "--disk" && value.find('=') != std::string::npos) {
            const size_t eq = value.find('=');
            disks[plat::Utf8ToWide(value.substr(0, eq))] = value.substr(eq + 1);
        } else if (option == "--fail-window") {
            hooks.failWindowCreation = plat::Utf8ToWide(value);
        } else if (option == "--stall-seconds") {
            g_downloader.stallSeconds = std::atol(value.c_str());
        } else {
            return 64;
        }
    }
    if (!disks.empty()) {
        hooks.diskFreeBytes = [disks](const std::wstring& drive, double& freeBytes) {
            auto it = disks.find(drive);
            if (it == disks.end())
                it = disks.find(L"*");
            if (it == disks.end())
                return GetDiskFreeBytes(drive, freeBytes);
            if (it->second == "fail")
                return false;
            freeBytes = std::strtod(it->second.c_str(), nullptr);
            return true;
        };
    }
    wchar_t noArguments[] = L"";
    return wWinMain(plat::GetModuleHandle(nullptr), nullptr, noArguments, 10);
}
