// The skin archive reader: any bytes open as an archive or fail, and every
// entry of an archive that opens can be looked up and extracted (or fails),
// never a crash.
#include "ui/UIResourceZip.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace Veneer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto archive = CSkinArchive::OpenMemory(data, size);
    if (!archive)
        return 0;
    std::vector<BYTE> out;
    int count = archive->GetEntryCount();
    for (int i = 0; i < count && i < 64; ++i) {
        const std::string& name = archive->GetEntryName(i);
        std::wstring wide(name.begin(), name.end());
        // Look up by the stored name, by an upper-cased one and with
        // backslashes, as skins do.
        for (wchar_t& ch : wide)
            if (ch == L'/')
                ch = L'\\';
        (void)archive->Extract(wide.c_str(), out, 1 << 20);
        for (wchar_t& ch : wide)
            if (ch >= L'a' && ch <= L'z')
                ch = static_cast<wchar_t>(ch - L'a' + L'A');
        (void)archive->FindEntry(wide.c_str());
    }
    (void)archive->Extract(L"installerstart.xml", out, 4194304);
    return 0;
}
