// The install configuration: what the product web API answers for this
// installer's version and channel, its validation, and the package list and
// install directory derived from it. Runs on the install worker thread.
#pragma once

#include <string>
#include <vector>

#include "plat/sys/wintypes.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

class IInstallView;

// The configuration proper, each field named after its JSON member. All start
// empty.
struct InstallConfig {
    std::wstring sp;
    std::wstring pdfver;
    std::wstring pdfname;
    std::wstring pdfdlurl;
    std::wstring pdfmd5;
    std::wstring dotnetmajorver;
    std::wstring dotnetname;
    std::wstring dotnetparam;
    std::wstring dotnetdlurl;
    std::wstring dotnetmd5;
};

// One entry of the package list.
struct InstallPackage {
    std::wstring type;             // "1" the product package, "2" the .NET Framework package
    std::wstring downloadUrl;      // where it is downloaded from
    std::wstring localPath;        // full path of the downloaded file
    std::wstring parameters;       // command-line parameters it is run with
    std::wstring md5;              // expected MD5 from the configuration (either case)
    IInstallView* owner = nullptr; // the install window showing its progress
    // The downloaded file, open for reading from the end of its download
    // until it has been verified and run: what is hashed and what is started
    // are this one file, whatever is put at `localPath` in between.
    plat::HANDLE file = INVALID_HANDLE_VALUE;
};

// The package list: empty at start, filled once by BuildPackageList, then
// either [product] or [.NET Framework, product]. Entries are referred to by
// address during downloads, so it is not modified after it is built.
extern std::vector<InstallPackage> g_packages;

// Product folder name and executable name under the install folder.
extern const wchar_t* const kProductFolderName; // "TarvexPDFConver"
extern const wchar_t* const kProductExeName;    // "TarvexPDFConver.exe"

// Parses the configuration response `text` into `config`.
// Returns true when the configuration is INVALID, false when it is valid;
// `config` is filled as far as parsing got. Invalid: empty text, text not
// starting with '{', text over kMaxTextResponseBytes bytes, malformed JSON,
// `code` not the string "200", `data` present but not an object, `data.sp` not
// the string "1.0", and unsafe names: `pdfname` or `dotnetname` holding a
// path separator or ':' or ending in a dot or a space (so also "." and ".."),
// or `pdfver` holding a path separator or "..". Other members that are missing or
// not strings give empty fields. Never throws.
bool ParseInstallConfig(const std::wstring& text, InstallConfig& config);

// Appends the packages to g_packages: the .NET Framework package first when
// g_dotNetInstalled is 0 (type "2", run with `dotnetparam`), then always the
// product package (type "1", run with "/S"). Local paths are g_tempFolder
// followed directly by the configured file name. `owner` is stored in each.
void BuildPackageList(const InstallConfig& config, IInstallView* owner);

// The install directory: `installFolder`, the path separator,
// "TarvexPDFConver", the path separator, `pdfver`.
std::wstring MakeInstallDirectory(const std::wstring& installFolder, const std::wstring& pdfver);

// The product executable inside `installDirectory` ("TarvexPDFConver.exe").
std::wstring MakeProductExePath(const std::wstring& installDirectory);
