// The install context globals and their one-time initialisation.
#include "app/install_context.h"

#include <mutex>

#include <boost/format.hpp>

#include "app/system_queries.h"
#include "net/text_convert.h"
#include "plat/sys/files.h"

#ifndef TARVEX_API_URL
#error "TARVEX_API_URL must be defined by the build"
#endif
#ifndef TARVEX_WEB_URL
#error "TARVEX_WEB_URL must be defined by the build"
#endif

namespace {

const wchar_t* const kDefaultVersion = L"1.0.0.1";
const wchar_t* const kDefaultChannel = L"10001";

} // namespace

int g_installState = 0;
int g_dialogResult = 0;
std::wstring g_installFolder;
std::wstring g_modulePath;
std::wstring g_tempFolder;
std::wstring g_version = kDefaultVersion;
std::wstring g_channel = kDefaultChannel;
std::wstring g_configUrl;
int g_dotNetInstalled = 0;
std::wstring g_clauseUrl = L"" TARVEX_WEB_URL L"/service/clause";
std::wstring g_productExePath;
std::wstring g_installDrive;
double g_freeBytes = 0;
std::wstring g_freeSpaceText;

namespace {

std::mutex& ProductExePathMutex() {
    static std::mutex mutex;
    return mutex;
}

} // namespace

void SetProductExePath(const std::wstring& path) {
    std::lock_guard<std::mutex> guard(ProductExePathMutex());
    g_productExePath = path;
}

std::wstring ProductExePath() {
    std::lock_guard<std::mutex> guard(ProductExePathMutex());
    return g_productExePath;
}

std::wstring ProductApiBaseUrl() {
    return L"" TARVEX_API_URL;
}

std::wstring ProductWebBaseUrl() {
    return L"" TARVEX_WEB_URL;
}

std::wstring ChannelFromFileName(const std::wstring& fileName) {
    size_t underscore = fileName.find(L'_');
    if (underscore == std::wstring::npos)
        return kDefaultChannel;
    std::wstring rest = fileName.substr(underscore + 1);
    size_t end = rest.find(L'_');
    if (end == std::wstring::npos)
        end = rest.find(L'.');
    std::wstring candidate = rest.substr(0, end);
    return candidate.empty() ? kDefaultChannel : candidate;
}

std::wstring MakeConfigUrl(const std::wstring& version, const std::wstring& channel) {
    try {
        return (boost::wformat(L"%s/api/soft/pdf/type/install/sp/1.0/ver/%s/channel/%s") %
                ProductApiBaseUrl() % PercentEncode(version) % PercentEncode(channel))
            .str();
    } catch (...) {
        // boost::format only throws for a bad format string, which is fixed
        // here; never let it escape.
        return std::wstring();
    }
}

void EnsureTempFolder(const std::wstring& folder) {
    if (!folder.empty() && !plat::PathFileExists(folder.c_str()))
        plat::CreateDirectory(folder.c_str(), nullptr); // failure ignored
}

void InitInstallContext() {
    g_installState = 0;
    g_dialogResult = 0;
    g_installFolder = GetProgramFilesFolder();
    g_modulePath = GetModulePath();
    g_tempFolder = GetTempFolder();
    EnsureTempFolder(g_tempFolder);
    g_version = GetOwnProductVersion();
    if (g_version.empty())
        g_version = kDefaultVersion;
    g_channel = ChannelFromFileName(GetModuleFileNameOnly());
    g_configUrl = MakeConfigUrl(g_version, g_channel);
    g_dotNetInstalled = IsDotNet4Installed() ? 1 : 0;
}
