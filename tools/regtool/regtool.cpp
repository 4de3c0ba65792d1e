// regtool: reads and writes the registry store from the command line.
//
//   regtool [--store PATH] get    KEY NAME
//   regtool [--store PATH] set    KEY NAME sz|expand_sz|dword VALUE
//   regtool [--store PATH] delete KEY NAME
//   regtool [--store PATH] list   KEY
//
// KEY starts with a hive (HKLM, HKCU, HKCR, HKU or their long names) and
// uses '\' or '/' between components. An empty NAME ("") is the key's
// default value. Exit codes: 0 done, 1 bad usage (unknown command, hive,
// type or number), 2 key or value not found, 3 the store cannot be read or
// written (unreadable, read-only, corrupt).
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "plat/sys/registry.h"
#include "plat/sys/text.h"

// Win32 constants are plat's names on Linux and the system's macros on
// Windows: used unqualified.
using namespace plat;

namespace {

constexpr int kExitUsage = 1;
constexpr int kExitNotFound = 2;
constexpr int kExitStore = 3;

int Usage() {
    std::cerr << "usage: regtool [--store PATH] get KEY NAME\n"
                 "       regtool [--store PATH] set KEY NAME sz|expand_sz|dword VALUE\n"
                 "       regtool [--store PATH] delete KEY NAME\n"
                 "       regtool [--store PATH] list KEY\n"
                 "KEY: HKLM\\Software\\Name (hives HKLM, HKCU, HKCR, HKU)\n";
    return kExitUsage;
}

std::string Upper(std::string text) {
    for (auto& c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return text;
}

// Splits "HIVE\rest" into the hive handle and the subkey text.
bool ParseKey(const std::string& text, plat::HKEY& hive, std::wstring& subKey) {
    size_t sep = text.find_first_of("\\/");
    std::string head = Upper(text.substr(0, sep));
    if (head == "HKLM" || head == "HKEY_LOCAL_MACHINE")
        hive = HKEY_LOCAL_MACHINE;
    else if (head == "HKCU" || head == "HKEY_CURRENT_USER")
        hive = HKEY_CURRENT_USER;
    else if (head == "HKCR" || head == "HKEY_CLASSES_ROOT")
        hive = HKEY_CLASSES_ROOT;
    else if (head == "HKU" || head == "HKEY_USERS")
        hive = HKEY_USERS;
    else
        return false;
    subKey = sep == std::string::npos ? L"" : plat::Utf8ToWide(text.substr(sep + 1));
    return true;
}

// Reports a failed registry result; returns the exit code for it.
int Report(plat::LONG rc, const std::string& what) {
    std::string store = plat::RegistryStorePath();
    switch (rc) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_KEY_DELETED:
        std::cerr << "regtool: " << what << " not found\n";
        return kExitNotFound;
    case ERROR_ACCESS_DENIED:
        std::cerr << "regtool: the registry store " << store
                  << " cannot be accessed (unreadable, or read-only for a change)\n";
        return kExitStore;
    case ERROR_REGISTRY_CORRUPT:
        std::cerr << "regtool: the registry store " << store << " is corrupt (not a database)\n";
        return kExitStore;
    case ERROR_INVALID_PARAMETER:
        std::cerr << "regtool: invalid key or value name\n";
        return kExitUsage;
    default:
        std::cerr << "regtool: the registry store " << store << " failed (error " << rc << ")\n";
        return kExitStore;
    }
}

std::string ValueText(plat::DWORD type, const std::vector<plat::BYTE>& data) {
    if (type == REG_DWORD && data.size() >= 4) {
        plat::DWORD v = plat::DWORD(data[0]) | plat::DWORD(data[1]) << 8 |
                        plat::DWORD(data[2]) << 16 | plat::DWORD(data[3]) << 24;
        return std::to_string(v);
    }
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty())
        std::copy(data.begin(), data.begin() + long(text.size() * sizeof(wchar_t)),
                  reinterpret_cast<plat::BYTE*>(&text[0]));
    size_t end = text.find(L'\0');
    if (end != std::wstring::npos)
        text.resize(end);
    return plat::WideToUtf8(text);
}

const char* TypeName(plat::DWORD type) {
    switch (type) {
    case REG_DWORD:
        return "REG_DWORD";
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    default:
        return "REG_NONE";
    }
}

// Parses a DWORD: decimal or 0x-prefixed hexadecimal, 0..4294967295.
bool ParseNumber(const std::string& text, plat::DWORD& out) {
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ')
        return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || end == text.c_str() || *end != '\0' || v > 0xFFFFFFFFull)
        return false;
    out = plat::DWORD(v);
    return true;
}

class OpenKey {
public:
    ~OpenKey() {
        if (m_key)
            plat::RegCloseKey(m_key);
    }
    plat::LONG Open(plat::HKEY hive, const std::wstring& subKey, bool create) {
        return create ? plat::RegCreateKey(hive, subKey.c_str(), &m_key)
                      : plat::RegOpenKeyEx(hive, subKey.c_str(), 0, KEY_ALL_ACCESS, &m_key);
    }
    plat::HKEY Get() const { return m_key; }

private:
    plat::HKEY m_key = nullptr;
};

int Get(const std::string& keyText, plat::HKEY hive, const std::wstring& subKey,
        const std::string& name) {
    OpenKey key;
    plat::LONG rc = key.Open(hive, subKey, false);
    if (rc != ERROR_SUCCESS)
        return Report(rc, "key " + keyText);
    std::wstring wideName = plat::Utf8ToWide(name);
    plat::DWORD type = 0, size = 0;
    rc = plat::RegQueryValueEx(key.Get(), wideName.c_str(), nullptr, &type, nullptr, &size);
    std::vector<plat::BYTE> data(size);
    if (rc == ERROR_SUCCESS)
        rc = plat::RegQueryValueEx(key.Get(), wideName.c_str(), nullptr, &type, data.data(), &size);
    if (rc != ERROR_SUCCESS)
        return Report(rc, "value '" + name + "' of " + keyText);
    data.resize(size);
    std::cout << ValueText(type, data) << "\n";
    return 0;
}

int Set(const std::string& keyText, plat::HKEY hive, const std::wstring& subKey,
        const std::string& name, const std::string& typeText, const std::string& value) {
    std::string type = Upper(typeText);
    std::wstring wideName = plat::Utf8ToWide(name);
    std::vector<plat::BYTE> data;
    plat::DWORD regType;
    const bool expandable = type == "EXPAND_SZ" || type == "REG_EXPAND_SZ";
    if (type == "SZ" || type == "REG_SZ" || type == "STRING" || expandable) {
        regType = expandable ? REG_EXPAND_SZ : REG_SZ;
        std::wstring text = plat::Utf8ToWide(value);
        data.resize((text.size() + 1) * sizeof(wchar_t));
        std::copy(reinterpret_cast<const plat::BYTE*>(text.c_str()),
                  reinterpret_cast<const plat::BYTE*>(text.c_str() + text.size() + 1),
                  data.begin());
    } else if (type == "DWORD" || type == "REG_DWORD" || type == "NUMBER") {
        regType = REG_DWORD;
        plat::DWORD v = 0;
        if (!ParseNumber(value, v)) {
            std::cerr << "regtool: bad number '" << value
                      << "' (use 0..4294967295, decimal or 0x hexadecimal)\n";
            return kExitUsage;
        }
        data = {plat::BYTE(v), plat::BYTE(v >> 8), plat::BYTE(v >> 16), plat::BYTE(v >> 24)};
    } else {
        std::cerr << "regtool: unknown type '" << typeText << "' (use sz, expand_sz or dword)\n";
        return kExitUsage;
    }
    OpenKey key;
    plat::LONG rc = key.Open(hive, subKey, true);
    if (rc != ERROR_SUCCESS)
        return Report(rc, "key " + keyText);
    rc = plat::RegSetValueEx(key.Get(), wideName.c_str(), 0, regType, data.data(),
                             plat::DWORD(data.size()));
    if (rc != ERROR_SUCCESS)
        return Report(rc, "value '" + name + "' of " + keyText);
    return 0;
}

int Delete(const std::string& keyText, plat::HKEY hive, const std::wstring& subKey,
           const std::string& name) {
    OpenKey key;
    plat::LONG rc = key.Open(hive, subKey, false);
    if (rc != ERROR_SUCCESS)
        return Report(rc, "key " + keyText);
    rc = plat::RegDeleteValue(key.Get(), plat::Utf8ToWide(name).c_str());
    if (rc != ERROR_SUCCESS)
        return Report(rc, "value '" + name + "' of " + keyText);
    return 0;
}

int List(const std::string& keyText, plat::HKEY hive, const std::wstring& subKey) {
    OpenKey key;
    plat::LONG rc = key.Open(hive, subKey, false);
    if (rc != ERROR_SUCCESS)
        return Report(rc, "key " + keyText);
    for (plat::DWORD i = 0;; ++i) {
        std::vector<wchar_t> name(256);
        rc = plat::RegEnumKey(key.Get(), i, name.data(), plat::DWORD(name.size()));
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            return Report(rc, "key " + keyText);
        std::cout << plat::WideToUtf8(name.data()) << "\\\n";
    }
    for (plat::DWORD i = 0;; ++i) {
        // Value names have at most 16383 characters.
        std::vector<wchar_t> name(16384);
        plat::DWORD nameChars = plat::DWORD(name.size()), size = 0, type = 0;
        rc = plat::RegEnumValue(key.Get(), i, name.data(), &nameChars, nullptr, &type, nullptr,
                                &size);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        std::vector<plat::BYTE> data(size + 1);
        if (rc == ERROR_SUCCESS) {
            nameChars = plat::DWORD(name.size());
            size = plat::DWORD(data.size());
            rc = plat::RegEnumValue(key.Get(), i, name.data(), &nameChars, nullptr, &type,
                                    data.data(), &size);
        }
        if (rc != ERROR_SUCCESS)
            return Report(rc, "key " + keyText);
        data.resize(size);
        std::string shown = plat::WideToUtf8(name.data());
        std::cout << (shown.empty() ? "(default)" : shown) << "\t" << TypeName(type) << "\t"
                  << ValueText(type, data) << "\n";
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "--store") {
        if (args[1].empty())
            return Usage();
        ::setenv("PLAT_REGISTRY", args[1].c_str(), 1);
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.size() < 2)
        return Usage();
    const std::string& command = args[0];
    const std::string& keyText = args[1];
    plat::HKEY hive = nullptr;
    std::wstring subKey;
    if (!ParseKey(keyText, hive, subKey)) {
        std::cerr << "regtool: bad key '" << keyText
                  << "' (it must start with HKLM, HKCU, HKCR or HKU)\n";
        return kExitUsage;
    }
    if (command == "get" && args.size() == 3)
        return Get(keyText, hive, subKey, args[2]);
    if (command == "set" && args.size() == 5)
        return Set(keyText, hive, subKey, args[2], args[3], args[4]);
    if (command == "delete" && args.size() == 3)
        return Delete(keyText, hive, subKey, args[2]);
    if (command == "list" && args.size() == 2)
        return List(keyText, hive, subKey);
    return Usage();
}
