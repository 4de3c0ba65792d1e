// Paths and files: the running module's path, the temporary folder, the
// Program Files folder, existence tests, directories and files for writing.
//
// Paths are wide strings with '/' as separator. Functions with a Win32
// buffer signature follow Win32's buffer rules; every one has a companion
// returning std::wstring, which gives the whole path however long it is
// (paths are never cut at MAX_PATH).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "plat/sys/handle.h"
#include "plat/sys/wintypes.h"

namespace plat {

// The separator of path components this system writes, and every character
// it reads as one ('\\' is an ordinary character in a name here).
constexpr wchar_t kPathSeparator = L'/';
constexpr const wchar_t* kPathSeparators = L"/";

// The running executable (resolved /proc/self/exe). `module` must be null or
// the handle GetModuleHandle(nullptr) returns.
// Buffer form: copies the path and its terminator into `buffer` and returns
// its length without terminator. When the buffer is too small the path is
// truncated to size-1 characters plus terminator, the result is `size` and
// GetLastError() is ERROR_INSUFFICIENT_BUFFER (Win32's rule). Returns 0 on
// failure.
DWORD GetModuleFileName(HMODULE module, LPWSTR buffer, DWORD size);
// Whole path of the running executable, or empty on failure.
std::wstring GetModuleFileNameString();

// The handle of the running executable for `moduleName` == null; null with
// ERROR_MOD_NOT_FOUND for any other name.
constexpr LONG ERROR_MOD_NOT_FOUND = 126;
HMODULE GetModuleHandle(LPCWSTR moduleName);

// The user's temporary folder: $TMPDIR when set (and absolute), else
// $XDG_CACHE_HOME/plat-tmp (default ~/.cache/plat-tmp), created with mode
// 0700 when missing. Always ends in '/'.
// Buffer form: returns the length without terminator; when `size` is too
// small, returns the required size including the terminator and writes
// nothing. Returns 0 on failure.
DWORD GetTempPath(DWORD size, LPWSTR buffer);
// The temporary folder as above, or empty on failure.
std::wstring GetTempPathString();

// Special folders.
constexpr int CSIDL_DESKTOP = 0x0000;
constexpr int CSIDL_PROGRAM_FILES = 0x0026;
constexpr int CSIDL_PROFILE = 0x0028;
constexpr int CSIDL_PROGRAM_FILESX86 = 0x002a;
constexpr int CSIDL_FLAG_CREATE = 0x8000;
// CSIDL_PROGRAM_FILES and CSIDL_PROGRAM_FILESX86: /opt for root,
// ~/.local/opt for other users. CSIDL_DESKTOP: $XDG_DESKTOP_DIR or
// ~/Desktop. CSIDL_PROFILE: the user's home folder. With `create` the folder is created (and its
// parents) when missing. `path` must hold MAX_PATH characters; a longer path fails with
// ERROR_INSUFFICIENT_BUFFER (use the string form). Returns FALSE for other
// folder ids, a missing home or a failed creation.
BOOL SHGetSpecialFolderPath(HWND owner, LPWSTR path, int csidl, BOOL create);
// The folder as above, or empty on failure.
std::wstring SHGetSpecialFolderPathString(int csidl, bool create);

// TRUE when a file, folder or other entry exists at `path` (a symbolic link
// counts when its target exists).
BOOL PathFileExists(LPCWSTR path);

// The length of the root that makes `path` absolute ("/" here), 0 for a
// relative path. What follows the root is relative to it.
inline size_t PathRootLength(std::wstring_view path) {
    return !path.empty() && path[0] == L'/' ? 1 : 0;
}

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// Creates one folder (not its parents), mode 0777 less the umask.
// FALSE with ERROR_ALREADY_EXISTS, ERROR_PATH_NOT_FOUND (parent missing) or
// ERROR_ACCESS_DENIED.
BOOL CreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES security);
// Removes a file (not a folder). FALSE with ERROR_FILE_NOT_FOUND,
// ERROR_ACCESS_DENIED (a folder, or no permission).
BOOL DeleteFile(LPCWSTR path);

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD FILE_SHARE_DELETE = 0x00000004;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;

// Opens or creates a file. `access` is GENERIC_READ and/or GENERIC_WRITE;
// `disposition` one of CREATE_NEW .. TRUNCATE_EXISTING with Win32's meaning.
// The last path component is never followed when it is a symbolic link: such
// a path fails with ERROR_ACCESS_DENIED, so a link planted in a shared folder
// cannot redirect a write. New files get mode 0666 less the umask.
// Returns INVALID_HANDLE_VALUE on failure with ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND, ERROR_FILE_EXISTS (CREATE_NEW on an existing file),
// ERROR_ACCESS_DENIED or ERROR_INVALID_PARAMETER. CREATE_ALWAYS and
// OPEN_ALWAYS on an existing file succeed with ERROR_ALREADY_EXISTS.
// Share mode, security and flags are accepted and ignored.
HANDLE CreateFile(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                  DWORD disposition, DWORD flagsAndAttributes, HANDLE templateFile);
// Narrow form: `path` is UTF-8.
HANDLE CreateFile(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                  DWORD disposition, DWORD flagsAndAttributes, HANDLE templateFile);

// Opens the file behind the open handle `original` once more, as a new
// handle with its own position at the start: the same file, whatever has
// since been put at or removed from its name. `access` is GENERIC_READ
// and/or GENERIC_WRITE, checked against the file's permissions like an open
// by name. Share mode and flags are accepted and ignored. Returns
// INVALID_HANDLE_VALUE with ERROR_INVALID_HANDLE for anything but an open
// file handle, ERROR_INVALID_PARAMETER for no access, or
// ERROR_ACCESS_DENIED.
HANDLE ReOpenFile(HANDLE original, DWORD access, DWORD shareMode, DWORD flags);

// A path that names the file behind the open handle `file` for as long as
// the handle stays open in this process, whatever is later put at or removed
// from the file's own name: the descriptor's entry under /proc/self/fd.
// ShellExecuteEx on this path runs exactly that file (a "#!" script started
// through it can still read itself). Empty for anything but an open file
// handle.
std::wstring GetFileHandlePath(HANDLE file);

// Writes all `size` bytes at the file position (retrying short writes).
// `written` (may be null) gets the count written. `overlapped` must be null.
// FALSE with ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED (not open for
// writing) or ERROR_WRITE_FAULT / ERROR_DISK_FULL. A write past the
// process's file size limit fails with ERROR_DISK_FULL, as a full quota
// does; it never ends the process.
constexpr LONG ERROR_HANDLE_DISK_FULL = 39;
constexpr LONG ERROR_DISK_FULL = 112;
BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, DWORD* written, LPVOID overlapped);
// Reads up to `size` bytes; *read is 0 at end of file (still TRUE).
BOOL ReadFile(HANDLE file, LPVOID data, DWORD size, DWORD* read, LPVOID overlapped);

// Flushes what was written through `file` to the disk (fsync). FALSE with
// ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED (not open for writing), or the
// disk's failure (ERROR_WRITE_FAULT, ERROR_DISK_FULL).
BOOL FlushFileBuffers(HANDLE file);

constexpr LONG ERROR_NOT_SAME_DEVICE = 17;
constexpr LONG ERROR_DIR_NOT_EMPTY = 145;
constexpr LONG ERROR_DIRECTORY = 267;

// Removes an empty folder. FALSE with ERROR_FILE_NOT_FOUND (missing),
// ERROR_PATH_NOT_FOUND (a parent missing or not a folder), ERROR_DIRECTORY
// (not a folder: a file or a link), ERROR_DIR_NOT_EMPTY or
// ERROR_ACCESS_DENIED.
BOOL RemoveDirectory(LPCWSTR path);

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x00000001;
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x00000008;

// Renames the file or folder `existing` to `newName` on the same file
// system, atomically: `newName` names the old entry or the moved one, never
// neither. Without MOVEFILE_REPLACE_EXISTING an existing `newName` fails with
// ERROR_ALREADY_EXISTS; with it a file at `newName` is replaced, a folder
// never is (ERROR_ACCESS_DENIED). With MOVEFILE_WRITE_THROUGH the call
// returns once the rename is on disk (the folders of both names are
// flushed; a failed flush gives ERROR_WRITE_FAULT after the rename). FALSE
// with ERROR_FILE_NOT_FOUND (`existing` missing), ERROR_PATH_NOT_FOUND (the
// folder of `newName` missing), ERROR_NOT_SAME_DEVICE (another file
// system: copying is not offered), ERROR_ACCESS_DENIED, or
// ERROR_INVALID_PARAMETER for a null name or any other flag.
BOOL MoveFileEx(LPCWSTR existing, LPCWSTR newName, DWORD flags);

// Linux only (Windows has no execute permission): lets the open file be
// started as a program from a shell as well, by adding the execute
// permission for everyone who may read it. FALSE with ERROR_INVALID_HANDLE
// or ERROR_ACCESS_DENIED.
BOOL SetFileExecutable(HANDLE file);

constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;

// What is at `path` (links followed): FILE_ATTRIBUTE_DIRECTORY for a folder,
// FILE_ATTRIBUTE_NORMAL for anything else. INVALID_FILE_ATTRIBUTES with
// ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND or ERROR_ACCESS_DENIED when
// nothing can be found there.
DWORD GetFileAttributes(LPCWSTR path);

// Linux only (a Windows program would walk FindFirstFile): the names of the
// folders directly inside the folder `path` (links to folders count; "."
// and ".." do not), in no particular order. FALSE with ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND (not a folder, or too long) or ERROR_ACCESS_DENIED
// when the folder cannot be read; `names` is then empty.
BOOL ListSubFolders(LPCWSTR path, std::vector<std::wstring>* names);

} // namespace plat
