// The volume holding a path, on Win32.
#include "plat/sys/disk.h"

#include <vector>

namespace plat {

std::wstring GetVolumePathString(std::wstring_view path) {
    const std::wstring text(path);
    // A volume path is never longer than the path it is taken from, plus
    // its trailing separator.
    std::vector<wchar_t> buffer(text.size() + MAX_PATH + 2);
    if (!::GetVolumePathNameW(text.c_str(), buffer.data(), DWORD(buffer.size())))
        return std::wstring();
    std::wstring volume(buffer.data());
    if (volume.empty() || volume.back() != L'\\')
        volume += L'\\';
    return volume;
}

} // namespace plat
