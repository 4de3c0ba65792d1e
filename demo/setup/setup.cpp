// TarvexPDFConverSetup: the product package that the installer downloads and
// runs hidden with "/S". It carries the product executable inside itself
// (resource PRODUCT 1) and installs it as "TarvexPDFConver.exe" in the folder
// the installer recorded as the registry value installPath under
// HKEY_LOCAL_MACHINE\Software\TarvexPDFConver.
//
// The install is all or nothing: the product is written under a temporary
// name in the target folder, flushed, and renamed over the final name in one
// step. On any failure the temporary file and every folder this run created
// are removed again, a message goes to stderr and the exit code is 1; a
// product installed before stays as it was.
//
// Exit codes: 0 installed, 1 failed, 2 wrong arguments.
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "demo/common/package_cli.h"
#include "plat/sys/files.h"
#include "plat/sys/handle.h"
#include "plat/sys/registry.h"
#include "plat/sys/resource.h"
#include "plat/sys/text.h"

// Win32 constants are plat's names on Linux and the system's macros on
// Windows: used unqualified.
using namespace plat;

namespace {

constexpr wchar_t kProductKey[] = L"Software\\TarvexPDFConver";
constexpr wchar_t kInstallPathValue[] = L"installPath";
constexpr wchar_t kProductFileName[] = L"TarvexPDFConver.exe";
constexpr const char* kValueName =
    "installPath under HKEY_LOCAL_MACHINE\\Software\\TarvexPDFConver";

constexpr int kExitInstalled = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

std::string U8(const std::wstring& text) {
    return plat::WideToUtf8(text);
}

void Complain(const std::string& message) {
    std::fprintf(stderr, "TarvexPDFConverSetup: %s\n", message.c_str());
}

// The installPath value; false (with a message) when it is missing or not
// text.
bool ReadInstallPath(std::wstring& path) {
    const std::string store = " in the registry store " + plat::RegistryStorePath();
    plat::HKEY key = nullptr;
    plat::LONG rc = plat::RegOpenKeyEx(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_READ, &key);
    if (rc == ERROR_SUCCESS) {
        plat::DWORD type = 0;
        plat::DWORD size = 0;
        rc = plat::RegQueryValueEx(key, kInstallPathValue, nullptr, &type, nullptr, &size);
        std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
        if (rc == ERROR_SUCCESS && type == REG_SZ)
            rc = plat::RegQueryValueEx(key, kInstallPathValue, nullptr, &type,
                                       reinterpret_cast<plat::BYTE*>(text.data()), &size);
        plat::RegCloseKey(key);
        if (rc == ERROR_SUCCESS && type != REG_SZ) {
            Complain(std::string(kValueName) + " is not text" + store);
            return false;
        }
        if (rc == ERROR_SUCCESS) {
            path = text.data();
            return true;
        }
    }
    if (rc == ERROR_FILE_NOT_FOUND)
        Complain(std::string("no value ") + kValueName + store +
                 " (the installer records it before it runs this package)");
    else
        Complain(std::string("cannot read ") + kValueName + store + ": " + demo::ErrorText(rc));
    return false;
}

bool IsSeparator(wchar_t ch) {
    return std::wcschr(plat::kPathSeparators, ch) != nullptr;
}

// The folder to install in, from the registry value: an absolute path of
// this system ("/opt/x", "C:\\Program Files\\x") without trailing separators.
// Empty (with a message) when the value names none.
std::wstring InstallFolderFrom(std::wstring value) {
    const size_t root = plat::PathRootLength(value);
    if (root == 0) {
        Complain(std::string(kValueName) + " is \"" + U8(value) +
                 "\", which is not an absolute folder path");
        return std::wstring();
    }
    while (value.size() > root && IsSeparator(value.back()))
        value.pop_back();
    return value;
}

// One install: what it creates is remembered, so that a failure can take
// it all back.
class Installation {
public:
    ~Installation() {
        if (!m_committed)
            Undo();
    }

    // Creates the folder and its missing parents (below the root, "/" or
    // "C:\\", which is always there).
    bool MakeFolder(const std::wstring& folder) {
        size_t end = plat::PathRootLength(folder) - 1;
        while (end != std::wstring::npos) {
            end = folder.find_first_of(plat::kPathSeparators, end + 1);
            const std::wstring part = folder.substr(0, end);
            if (plat::CreateDirectory(part.c_str(), nullptr)) {
                m_createdFolders.push_back(part);
                continue;
            }
            const plat::DWORD error = plat::GetLastError();
            const bool exists = error == plat::DWORD(ERROR_ALREADY_EXISTS);
            const plat::DWORD attributes = plat::GetFileAttributes(part.c_str());
            if (exists && attributes != INVALID_FILE_ATTRIBUTES &&
                (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
                continue;
            if (exists)
                Complain("cannot install in " + U8(folder) + ": " + U8(part) + " is not a folder");
            else
                Complain("cannot create the folder " + U8(part) + ": " + demo::ErrorText(error));
            return false;
        }
        return true;
    }

    // Writes the product into `folder` under a temporary name, flushed to
    // disk, then renames it to its final name in one step.
    bool PlaceProduct(const std::wstring& folder, const void* data, plat::DWORD size) {
        if (!CreateTemporaryFile(folder))
            return false;
        const std::string where = " in " + U8(folder) + ": ";
        if (!plat::WriteFile(m_file, data, size, nullptr, nullptr)) {
            Complain("cannot write the product" + where + demo::ErrorText(plat::GetLastError()));
            return false;
        }
        if (!plat::SetFileExecutable(m_file) || !plat::FlushFileBuffers(m_file)) {
            Complain("cannot finish the product file" + where +
                     demo::ErrorText(plat::GetLastError()));
            return false;
        }
        plat::HANDLE file = m_file;
        m_file = INVALID_HANDLE_VALUE;
        if (!plat::CloseHandle(file)) {
            Complain("cannot close the product file" + where +
                     demo::ErrorText(plat::GetLastError()));
            return false;
        }
        const std::wstring target = folder + plat::kPathSeparator + kProductFileName;
        if (!plat::MoveFileEx(m_temporaryFile.c_str(), target.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            Complain("cannot put the product in place as " + U8(target) + ": " +
                     demo::ErrorText(plat::GetLastError()));
            return false;
        }
        m_temporaryFile.clear();
        return true;
    }

    void Commit() { m_committed = true; }

private:
    bool CreateTemporaryFile(const std::wstring& folder) {
        // A name taken by a run that was killed is skipped, not reused.
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::wstring name = folder + plat::kPathSeparator + L"." + kProductFileName +
                                L".setup-" + std::to_wstring(attempt);
            m_file = plat::CreateFile(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
            if (m_file != INVALID_HANDLE_VALUE) {
                m_temporaryFile = name;
                return true;
            }
            const plat::DWORD error = plat::GetLastError();
            if (error != plat::DWORD(ERROR_FILE_EXISTS)) {
                Complain("cannot create a file in " + U8(folder) + ": " + demo::ErrorText(error));
                return false;
            }
        }
        Complain("cannot create a file in " + U8(folder) +
                 ": too many temporary files left there by earlier runs");
        return false;
    }

    void Undo() {
        if (m_file != INVALID_HANDLE_VALUE)
            plat::CloseHandle(m_file);
        if (!m_temporaryFile.empty())
            plat::DeleteFile(m_temporaryFile.c_str());
        for (auto folder = m_createdFolders.rbegin(); folder != m_createdFolders.rend(); ++folder)
            plat::RemoveDirectory(folder->c_str());
    }

    std::vector<std::wstring> m_createdFolders;
    std::wstring m_temporaryFile;
    plat::HANDLE m_file = INVALID_HANDLE_VALUE;
    bool m_committed = false;
};

int Install() {
    plat::HRSRC resource = plat::FindResource(nullptr, MAKEINTRESOURCE(1), L"PRODUCT");
    const void* product = plat::LockResource(plat::LoadResource(nullptr, resource));
    const plat::DWORD size = plat::SizeofResource(nullptr, resource);
    if (product == nullptr || size == 0) {
        Complain("this package carries no product (resource PRODUCT 1 is missing)");
        return kExitFailed;
    }

    std::wstring value;
    if (!ReadInstallPath(value))
        return kExitFailed;
    const std::wstring folder = InstallFolderFrom(value);
    if (folder.empty())
        return kExitFailed;

    Installation installation;
    if (!installation.MakeFolder(folder) || !installation.PlaceProduct(folder, product, size))
        return kExitFailed;
    installation.Commit();
    std::printf("Installed %s/%s\n", U8(folder).c_str(), U8(kProductFileName).c_str());
    return kExitInstalled;
}

void Usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: TarvexPDFConverSetup /S\n"
                 "Installs TarvexPDFConver.exe silently in the folder named by the registry\n"
                 "value %s.\n",
                 kValueName);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && demo::SameSwitch(argv[1], "/S"))
        return Install();
    if (argc == 2 && (demo::SameSwitch(argv[1], "/?") || demo::SameSwitch(argv[1], "--help"))) {
        Usage(stdout);
        return kExitInstalled;
    }
    Usage(stderr);
    return kExitUsage;
}
