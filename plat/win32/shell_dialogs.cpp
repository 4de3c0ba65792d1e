// The folder path of a shell item list, whole: SHGetPathFromIDListEx with a
// buffer that grows until the path fits (SHGetPathFromIDList stops at
// MAX_PATH).
#include "plat/win/shell_dialogs.h"

#include <vector>

namespace plat {

std::wstring SHGetPathFromIDListString(PCIDLIST_ABSOLUTE pidl) {
    if (!pidl)
        return std::wstring();
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        std::vector<wchar_t> buf(size, L'\0');
        if (SHGetPathFromIDListEx(pidl, buf.data(), size, GPFIDL_DEFAULT))
            return std::wstring(buf.data());
    }
    return std::wstring();
}

} // namespace plat
