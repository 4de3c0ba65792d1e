// Feeds arbitrary response bodies through the same path the install engine
// uses: bytes -> wide text (AnsiToWide) -> ParseInstallConfig. Any input must
// give a verdict, never a crash, a hang or an over-read; a valid verdict must
// never carry a file name or version that leaves its folder, nor a package
// name with a colon or a trailing dot or space.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/install_config.h"
#include "app/install_context.h"
#include "net/text_convert.h"

// The two install-context values the configuration's source file refers to
// (the package list); the parser itself reads none of them.
std::wstring g_tempFolder;
int g_dotNetInstalled = 0;

namespace {

bool LeavesFolder(const std::wstring& name) {
    return name.find(L'/') != std::wstring::npos || name.find(L'\\') != std::wstring::npos ||
           name == L"..";
}

// A package file name that another system would read differently: a drive
// or stream colon, a trailing dot or space.
bool UnsafeFileName(const std::wstring& name) {
    return LeavesFolder(name) || name.find(L':') != std::wstring::npos ||
           (!name.empty() && (name.back() == L'.' || name.back() == L' '));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = AnsiToWide(reinterpret_cast<const char*>(data), size);
    InstallConfig config;
    const bool invalid = ParseInstallConfig(text, config);
    if (!invalid) {
        if (config.sp != L"1.0" || UnsafeFileName(config.pdfname) ||
            UnsafeFileName(config.dotnetname) || LeavesFolder(config.pdfver)) {
            std::abort();
        }
    }
    return 0;
}
