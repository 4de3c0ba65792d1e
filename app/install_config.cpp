// Parsing and validating the install configuration, and the values derived
// from it.
#include "app/install_config.h"

#include <exception>

#include <json/json.h>

#include "app/install_context.h"
#include "net/http_transfer.h"
#include "net/text_convert.h"
#include "plat/sys/files.h"

std::vector<InstallPackage> g_packages;

const wchar_t* const kProductFolderName = L"TarvexPDFConver";
const wchar_t* const kProductExeName = L"TarvexPDFConver.exe";

namespace {

using plat::kPathSeparator;

// The member `name` of `object` if it is a string, else the empty string.
// Missing members and members of any other type count as empty.
std::string StringMember(const Json::Value& object, const char* name) {
    if (!object.isObject()) {
        return std::string();
    }
    const Json::Value* member = object.find(name, name + std::char_traits<char>::length(name));
    if (member == nullptr || !member->isString()) {
        return std::string();
    }
    return member->asString();
}

bool HasSeparator(const std::wstring& text) {
    // Both separators are refused: a backslash names a folder on Windows and
    // must not be able to smuggle one through a configuration written for it.
    return text.find(L'/') != std::wstring::npos || text.find(L'\\') != std::wstring::npos;
}

// A file name that stays inside the folder it is appended to and names the
// same file on every system the configuration is written for: no separator,
// not "." or "..", no ':' (a drive or an alternate data stream on Windows)
// and no trailing dot or space (which Windows drops, so "p.exe." and
// "p.exe " would name p.exe there). The empty name is accepted (it makes the
// download target the folder itself, which fails).
bool IsPlainFileName(const std::wstring& name) {
    if (name.empty()) {
        return true;
    }
    const wchar_t last = name.back();
    return !HasSeparator(name) && name.find(L':') == std::wstring::npos && last != L'.' &&
           last != L' ';
}

// A product version that names exactly one folder below the product folder.
bool IsPlainVersion(const std::wstring& version) {
    return !HasSeparator(version) && version.find(L"..") == std::wstring::npos && version != L".";
}

// Parses `narrow` into `root`; false on any parser error, including the
// parser's own exceptions (nesting too deep).
bool ParseJson(const std::string& narrow, Json::Value& root) {
    try {
        Json::Reader reader;
        return reader.parse(narrow, root, false);
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

bool ParseInstallConfig(const std::wstring& text, InstallConfig& config) {
    const std::string narrow = WideToAnsi(text);
    if (narrow.size() > kMaxTextResponseBytes) {
        return true;
    }
    Json::Value root;
    if (!narrow.empty() && narrow[0] == '{') {
        if (!ParseJson(narrow, root)) {
            return true;
        }
    }
    if (StringMember(root, "code") != "200") {
        return true;
    }
    Json::Value data;
    static const char kData[] = "data";
    if (const Json::Value* member = root.find(kData, kData + sizeof(kData) - 1)) {
        if (!member->isObject() && !member->isNull()) {
            return true;
        }
        data = *member;
    }
    config.sp = AnsiToWide(StringMember(data, "sp"));
    if (config.sp != L"1.0") {
        return true;
    }
    config.pdfver = AnsiToWide(StringMember(data, "pdfver"));
    config.pdfname = AnsiToWide(StringMember(data, "pdfname"));
    config.pdfdlurl = AnsiToWide(StringMember(data, "pdfdlurl"));
    config.pdfmd5 = AnsiToWide(StringMember(data, "pdfmd5"));
    config.dotnetmajorver = AnsiToWide(StringMember(data, "dotnetmajorver"));
    config.dotnetname = AnsiToWide(StringMember(data, "dotnetname"));
    config.dotnetparam = AnsiToWide(StringMember(data, "dotnetparam"));
    config.dotnetdlurl = AnsiToWide(StringMember(data, "dotnetdlurl"));
    config.dotnetmd5 = AnsiToWide(StringMember(data, "dotnetmd5"));

    // Names from the server become paths that are written and run: anything
    // that would leave the temporary or product folder makes the whole
    // configuration invalid.
    if (!IsPlainFileName(config.pdfname) || !IsPlainFileName(config.dotnetname) ||
        !IsPlainVersion(config.pdfver)) {
        return true;
    }
    return false;
}

void BuildPackageList(const InstallConfig& config, IInstallView* owner) {
    if (g_dotNetInstalled == 0) {
        InstallPackage dotNet;
        dotNet.type = L"2";
        dotNet.downloadUrl = config.dotnetdlurl;
        dotNet.localPath = g_tempFolder + config.dotnetname;
        dotNet.parameters = config.dotnetparam;
        dotNet.md5 = config.dotnetmd5;
        dotNet.owner = owner;
        g_packages.push_back(dotNet);
    }
    InstallPackage product;
    product.type = L"1";
    product.downloadUrl = config.pdfdlurl;
    product.localPath = g_tempFolder + config.pdfname;
    product.parameters = L"/S";
    product.md5 = config.pdfmd5;
    product.owner = owner;
    g_packages.push_back(product);
}

std::wstring MakeInstallDirectory(const std::wstring& installFolder, const std::wstring& pdfver) {
    return installFolder + kPathSeparator + kProductFolderName + kPathSeparator + pdfver;
}

std::wstring MakeProductExePath(const std::wstring& installDirectory) {
    return installDirectory + kPathSeparator + kProductExeName;
}
