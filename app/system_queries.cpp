// The installer's platform operations, on top of plat.
#include "app/system_queries.h"

#include <boost/format.hpp>
#include <cmath>
#include <vector>

#include "app/install_context.h"
#include "plat/sys/disk.h"
#include "plat/sys/files.h"
#include "plat/sys/process.h"
#include "plat/sys/registry.h"
#include "plat/sys/text.h"
#include "plat/sys/version.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

namespace {

const wchar_t* const kProductKey = L"Software\\TarvexPDFConver";

// Formats one number with a fixed wide format; empty if boost refuses.
template <typename T> std::wstring Format(const wchar_t* format, T value) {
    try {
        return (boost::wformat(format) % value).str();
    } catch (...) {
        return std::wstring();
    }
}

// True when the key has a REG_DWORD value "Install" equal to 1.
bool InstallFlagSet(const wchar_t* subKey) {
    plat::HKEY key = nullptr;
    if (plat::RegOpenKeyEx(HKEY_LOCAL_MACHINE, subKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    plat::DWORD value = 0, type = 0, size = sizeof(value);
    plat::LONG rc = plat::RegQueryValueEx(key, L"Install", nullptr, &type,
                                          reinterpret_cast<plat::BYTE*>(&value), &size);
    plat::RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_DWORD && size == 4 && value == 1;
}

} // namespace

std::wstring GetModulePath() {
    return plat::GetModuleFileNameString();
}

std::wstring FileNameOnly(const std::wstring& path) {
    size_t slash = path.find_last_of(plat::kPathSeparators);
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring GetModuleFileNameOnly() {
    return FileNameOnly(GetModulePath());
}

std::wstring GetTempFolder() {
    return plat::GetTempPathString();
}

std::wstring GetProgramFilesFolder() {
    return plat::SHGetSpecialFolderPathString(CSIDL_PROGRAM_FILES, false);
}

std::wstring GetFileProductVersion(const std::wstring& filePath) {
    plat::DWORD handle = 0;
    plat::DWORD size = plat::GetFileVersionInfoSize(filePath.c_str(), &handle);
    if (size == 0)
        return std::wstring();
    // DWORD elements keep the fixed part inside the block suitably aligned.
    std::vector<plat::DWORD> block((size + 3) / 4);
    if (!plat::GetFileVersionInfo(filePath.c_str(), handle, size, block.data()))
        return std::wstring();
    plat::LPVOID fixed = nullptr;
    plat::UINT length = 0;
    if (!plat::VerQueryValue(block.data(), L"\\", &fixed, &length) || fixed == nullptr ||
        length < sizeof(plat::VS_FIXEDFILEINFO))
        return std::wstring();
    const auto* info = static_cast<const plat::VS_FIXEDFILEINFO*>(fixed);
    try {
        return (boost::wformat(L"%d.%d.%d.%d") % HIWORD(info->dwProductVersionMS) %
                LOWORD(info->dwProductVersionMS) % HIWORD(info->dwProductVersionLS) %
                LOWORD(info->dwProductVersionLS))
            .str();
    } catch (...) {
        return std::wstring();
    }
}

std::wstring GetOwnProductVersion() {
    if (g_modulePath.empty())
        return std::wstring();
    return GetFileProductVersion(g_modulePath);
}

bool GetDiskFreeBytes(const std::wstring& path, double& freeBytes) {
    plat::ULARGE_INTEGER available{};
    if (!plat::GetDiskFreeSpaceEx(path.c_str(), &available, nullptr, nullptr)) {
        freeBytes = 0.0;
        return false;
    }
    freeBytes = double(available.QuadPart);
    return true;
}

std::wstring GetInstallDrive(const std::wstring& folder) {
    if (folder.empty())
        return std::wstring();
    return plat::GetVolumePathString(folder);
}

std::wstring FormatSize(double bytes) {
    const double kTB = 1099511627776.0;
    const double kGB = 1073741824.0;
    if (bytes > kTB)
        return Format(L"%0.2fTB", bytes / kTB);
    if (bytes > kGB)
        return Format(L"%0.2fGB", bytes / kGB);
    if (bytes > 1048576.0)
        return Format(L"%0.2fMB", bytes * (1.0 / 1048576.0));
    if (bytes > 1024.0)
        return Format(L"%0.2fKB", bytes * (1.0 / 1024.0));
    // Only values up to 1024 get here; a NaN or a huge negative count would
    // make the conversion to int undefined, so those show as 0 or the
    // smallest int.
    int whole = 0;
    if (std::isnan(bytes))
        whole = 0;
    else if (bytes < -2147483648.0)
        whole = -2147483647 - 1;
    else
        whole = int(bytes);
    return Format(L"%dByte", whole);
}

bool WriteInstallPath(const std::wstring& installDir) {
    if (installDir.empty())
        return false;
    plat::HKEY key = nullptr;
    if (plat::RegCreateKey(HKEY_LOCAL_MACHINE, kProductKey, &key) != ERROR_SUCCESS &&
        plat::RegOpenKey(HKEY_LOCAL_MACHINE, kProductKey, &key) != ERROR_SUCCESS)
        return false;
    plat::LONG rc = plat::RegSetValueEx(key, L"installPath", 0, REG_SZ,
                                        reinterpret_cast<const plat::BYTE*>(installDir.c_str()),
                                        plat::DWORD((installDir.size() + 1) * sizeof(wchar_t)));
    plat::RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool IsDotNet4Installed() {
    return InstallFlagSet(L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full") ||
           InstallFlagSet(L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Client");
}

bool StartHidden(const std::wstring& filePath, const std::wstring& parameters,
                 plat::HANDLE* process) {
    *process = nullptr;
    // The wide path as it is: no narrow conversion can lose a character
    // the code page lacks.
    if (!plat::PathFileExists(filePath.c_str()))
        return false;

    plat::SHELLEXECUTEINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"open";
    info.lpFile = filePath.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = nullptr;
    info.nShow = SW_HIDE;
    const bool started = plat::ShellExecuteEx(&info) != FALSE;
    *process = info.hProcess;
    return started;
}

plat::DWORD WaitAndClose(plat::HANDLE process) {
    if (process == nullptr)
        return kExitUnobserved;
    plat::DWORD code = STILL_ACTIVE;
    plat::DWORD result = kExitUnobserved;
    if (plat::WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 &&
        plat::GetExitCodeProcess(process, &code) && code != STILL_ACTIVE)
        result = code;
    plat::CloseHandle(process);
    return result;
}

bool RunAndWait(const std::wstring& filePath, const std::wstring& parameters,
                plat::DWORD* exitCode) {
    plat::HANDLE process = nullptr;
    const bool started = StartHidden(filePath, parameters, &process);
    const plat::DWORD code = WaitAndClose(process);
    if (exitCode != nullptr)
        *exitCode = code;
    return started;
}
