// plat's own path helpers on Win32: whole paths as strings, however long,
// and the path of an open file.
#include "plat/sys/files.h"

#include <vector>

namespace plat {
namespace {

// Calls `get(buffer, size)` (a Win32 function that returns the length it
// wrote, or the size it needs when the buffer is too small) with a growing
// buffer; empty on failure.
template <class Get> std::wstring GrowingCall(Get get) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const DWORD length = get(buffer.data(), DWORD(buffer.size()));
        if (length == 0)
            return std::wstring();
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(size_t(length) * 2 + 1);
    }
    return std::wstring();
}

} // namespace

std::wstring GetModuleFileNameString() {
    return GrowingCall([](wchar_t* buffer, DWORD size) -> DWORD {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer, size);
        // A cut path fills the buffer exactly: ask for a larger one.
        return length >= size ? size : length;
    });
}

std::wstring GetTempPathString() {
    return GrowingCall([](wchar_t* buffer, DWORD size) { return ::GetTempPathW(size, buffer); });
}

std::wstring SHGetSpecialFolderPathString(int csidl, bool create) {
    wchar_t path[MAX_PATH] = {};
    const int folder = csidl | (create ? CSIDL_FLAG_CREATE : 0);
    if (FAILED(::SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::wstring();
    return path;
}

std::wstring GetFileHandlePath(HANDLE file) {
    if (file == nullptr || file == INVALID_HANDLE_VALUE || ::GetFileType(file) != FILE_TYPE_DISK)
        return std::wstring();
    std::wstring path = GrowingCall([file](wchar_t* buffer, DWORD size) {
        return ::GetFinalPathNameByHandleW(file, buffer, size,
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    });
    const std::wstring longPrefix = L"\\\\?\\";
    const std::wstring uncPrefix = L"\\\\?\\UNC\\";
    if (path.compare(0, uncPrefix.size(), uncPrefix) == 0) {
        if (path.size() - uncPrefix.size() + 2 < MAX_PATH)
            path = L"\\\\" + path.substr(uncPrefix.size());
    } else if (path.compare(0, longPrefix.size(), longPrefix) == 0) {
        if (path.size() - longPrefix.size() < MAX_PATH)
            path.erase(0, longPrefix.size());
    }
    return path;
}

} // namespace plat
