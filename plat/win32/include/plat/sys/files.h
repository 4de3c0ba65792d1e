// plat's Windows face: paths and files are the system's. plat's own forms
// that return whole strings (never cut at MAX_PATH) and the path of an open
// file have Win32 implementations (plat/win32/files.cpp).
#pragma once

#include <string>
#include <string_view>

#include "plat/sys/handle.h"
#include "plat/sys/wintypes.h"

// After <windows.h>, whose types they use.
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace plat {

// The separator of path components Windows writes, and both characters it
// reads as one.
constexpr wchar_t kPathSeparator = L'\\';
constexpr const wchar_t* kPathSeparators = L"\\/";

using ::LPSECURITY_ATTRIBUTES;
using ::SECURITY_ATTRIBUTES;

using ::CreateDirectoryW;
using ::CreateFileW;
using ::DeleteFileW;
using ::FlushFileBuffers;
using ::GetFileAttributesW;
using ::GetModuleFileNameW;
using ::GetModuleHandleW;
using ::GetTempPathW;
using ::MoveFileExW;
using ::PathFileExistsW;
using ::ReadFile;
using ::RemoveDirectoryW;
using ::ReOpenFile;
using ::SHGetSpecialFolderPathW;
using ::WriteFile;

// The running executable's whole path, or empty on failure.
std::wstring GetModuleFileNameString();
// The user's temporary folder (GetTempPath), ending in '\'; empty on
// failure.
std::wstring GetTempPathString();
// A special folder (CSIDL_*), created when missing with `create`; empty on
// failure.
std::wstring SHGetSpecialFolderPathString(int csidl, bool create);

// The path of the file behind the open handle `file` (its final path, as
// GetFinalPathNameByHandle gives it, without the "\\?\" prefix when the path
// fits without it). A file opened without FILE_SHARE_DELETE cannot be renamed
// or removed while the handle is open, so the path keeps naming that file.
// Empty for anything but an open file handle.
std::wstring GetFileHandlePath(HANDLE file);

// The length of the root that makes `path` absolute, 0 for a relative path:
// a drive and its separator ("C:\\", 3), or a share ("\\\\server\\share\\",
// up to and with the separator after the share's name; the whole path when
// none follows). A drive without separator ("C:x") is relative.
inline size_t PathRootLength(std::wstring_view path) {
    auto separator = [](wchar_t ch) { return ch == L'\\' || ch == L'/'; };
    if (path.size() >= 3 && path[1] == L':' && separator(path[2]) &&
        ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')))
        return 3;
    if (path.size() >= 2 && separator(path[0]) && separator(path[1])) {
        size_t at = 2, parts = 0;
        while (at < path.size() && parts < 2) {
            while (at < path.size() && !separator(path[at]))
                ++at;
            ++parts;
            if (at < path.size())
                ++at;
        }
        return parts == 2 && at > 2 ? at : 0;
    }
    return 0;
}

// Marks an open file as a program its owner may run. Windows decides that
// by the file's name (.exe), so there is nothing to change: TRUE for an open
// handle.
inline BOOL SetFileExecutable(HANDLE file) {
    return file && file != INVALID_HANDLE_VALUE ? TRUE : FALSE;
}

} // namespace plat
