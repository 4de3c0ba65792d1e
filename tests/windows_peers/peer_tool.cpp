// A Windows program for the tests whose judge is on the Linux side
// (peers_test.sh): it uses the real client code, and the script checks what
// it did with Linux's own tools.
//
//   peer_tool download URL PATH   downloads URL into PATH (a wide path, in
//                                 UTF-8 on the command line) through net's
//                                 downloader, then prints the MD5 the
//                                 install engine computes of the file
//   peer_tool report BASE_URL     sends one install report with the
//                                 installer's settings to BASE_URL and waits
//                                 for its answer
// Exit code 0 on success, 1 on failure, 2 on bad usage.
#include <cstdio>
#include <string>

#include "app/install_engine.h"
#include "net/http_transfer.h"
#include "plat/sys/handle.h"
#include "plat/sys/text.h"
#include "stat/IZrStat.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

namespace {

int Download(const std::string& url, const std::wstring& path) {
    const bool ok = DownloadToFile(url, plat::WideToChsMultiByte(path));
    if (g_downloader.file != INVALID_HANDLE_VALUE) {
        plat::CloseHandle(g_downloader.file);
        g_downloader.file = INVALID_HANDLE_VALUE;
    }
    if (!ok) {
        std::fprintf(stderr, "download failed\n");
        return 1;
    }
    const std::wstring md5 = FileMd5Hex(path);
    std::printf("%s\n", plat::WideToUtf8(md5).c_str());
    return md5.empty() ? 1 : 0;
}

int Report(const std::wstring& baseUrl) {
    ns_zr_stat::IZrStat* stat = ns_zr_stat::CStatFactory::MakeZrStat();
    if (stat == nullptr || !stat->Init())
        return 1;
    ns_zr_stat::tagSTAT_CONFIG* config = stat->GetConfig();
    config->strBaseUrl = baseUrl;
    config->strKey = L"5b7d2e90a4c1f38e6d0b9a27c4e8f153";
    config->strIv = L"p8K#v2Lq!Wz7@Rt4";
    config->strProductId = L"51";
    config->strChannel = L"10086";
    config->strVersion = L"1.1.8.305";
    const bool sent = stat->CollectInstall_Sync();
    ns_zr_stat::CStatFactory::Clear(stat);
    return sent ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "download" && argc == 4)
        return Download(argv[2], plat::Utf8ToWide(argv[3]));
    if (command == "report" && argc == 3)
        return Report(plat::Utf8ToWide(argv[2]));
    std::fprintf(stderr, "usage: peer_tool download URL PATH | report BASE_URL\n");
    return 2;
}
