// Starting programs and documents, and waiting for processes.
//
// The "open" verb (or a null verb) on:
//   - a URL ("scheme:..." that is not an existing path) or a document: the
//     desktop's opener `xdg-open`, detached;
//   - a folder: `xdg-open` on the folder;
//   - an ELF executable or a "#!" script: run directly, its owner execute
//     bit set first when missing. The parameter text is split into arguments
//     by the Windows command-line rules (SplitCommandLine). With SW_HIDE the
//     program's standard input, output and error are /dev/null; otherwise
//     they are inherited.
// A path from GetFileHandlePath runs exactly the open file it names, and the
// child keeps that descriptor open, so that a script can read itself.
// The child starts in `lpDirectory` when given, else in the caller's current
// folder. A missing `xdg-open` is a failure result (SE_ERR_NOASSOC), never a
// crash.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "plat/sys/handle.h"
#include "plat/sys/showcmd.h"
#include "plat/sys/wintypes.h"

namespace plat {

using LPDWORD = DWORD*;

constexpr ULONG SEE_MASK_DEFAULT = 0x00000000;
constexpr ULONG SEE_MASK_NOCLOSEPROCESS = 0x00000040;
constexpr ULONG SEE_MASK_NOASYNC = 0x00000100;
constexpr ULONG SEE_MASK_FLAG_NO_UI = 0x00000400;

// ShellExecute's small error results (returned as HINSTANCE values <= 32,
// and in SHELLEXECUTEINFO::hInstApp).
constexpr int SE_ERR_FNF = 2;
constexpr int SE_ERR_PNF = 3;
constexpr int SE_ERR_ACCESSDENIED = 5;
constexpr int SE_ERR_OOM = 8;
constexpr int SE_ERR_NOASSOC = 31;

constexpr LONG ERROR_NO_ASSOCIATION = 1155;

struct SHELLEXECUTEINFO {
    DWORD cbSize; // sizeof(SHELLEXECUTEINFO)
    ULONG fMask;  // SEE_MASK_*
    HWND hwnd;
    LPCWSTR lpVerb; // null or "open"
    LPCWSTR lpFile;
    LPCWSTR lpParameters; // may be null
    LPCWSTR lpDirectory;  // may be null
    int nShow;            // SW_*
    HINSTANCE hInstApp;   // out: > 32 on success, else an SE_ERR_* value
    LPVOID lpIDList;
    LPCWSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    HANDLE hIcon;
    HANDLE hProcess; // out with SEE_MASK_NOCLOSEPROCESS: the started process
};
using LPSHELLEXECUTEINFO = SHELLEXECUTEINFO*;

// Starts `file` as described above. Returns a value > 32 on success, else
// SE_ERR_FNF (missing file), SE_ERR_ACCESSDENIED, SE_ERR_NOASSOC (unknown
// verb, no opener) or SE_ERR_OOM (the start failed).
HINSTANCE ShellExecute(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                       LPCWSTR directory, INT showCommand);

// As ShellExecute, from a SHELLEXECUTEINFO. TRUE on success. With
// SEE_MASK_NOCLOSEPROCESS, hProcess gets a handle of the started process
// (the program itself, or the opener for URLs, documents and folders),
// which the caller waits on and closes with CloseHandle; without it the
// process is reaped in the background. FALSE with GetLastError() =
// ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_NO_ASSOCIATION or
// ERROR_INVALID_PARAMETER (null info, wrong cbSize, null lpFile).
BOOL ShellExecuteEx(LPSHELLEXECUTEINFO info);

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD STILL_ACTIVE = 259;

// Waits until the process ends (WAIT_OBJECT_0) or `milliseconds` pass
// (WAIT_TIMEOUT); INFINITE never times out, 0 only tests. Several threads
// may wait on the same handle. WAIT_FAILED with ERROR_INVALID_HANDLE for
// anything but an open process handle.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// The exit code of an ended process (a process ended by signal N gives
// 128 + N), or STILL_ACTIVE while it runs. FALSE with ERROR_INVALID_HANDLE.
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);

// Ends the process at once (SIGKILL); its exit code then reads 128 + 9, as
// for any process ended by a signal. TRUE also when it had already ended.
// FALSE with ERROR_INVALID_HANDLE for anything but an open process handle.
BOOL TerminateProcess(HANDLE process, UINT exitCode);

// Ends the calling process at once with `exitCode`, as Win32's ExitProcess
// does for a program's own code: static destructors and atexit handlers do
// not run, so threads still at work never meet objects destroyed under them.
// First the standard streams are flushed and the actions registered with
// OnProcessExit run, the last registered first.
[[noreturn]] void ExitProcess(UINT exitCode);
// Registers `action` to run when ExitProcess ends the process (removing a
// file that names this process, say). Thread-safe; actions cannot be
// unregistered and must themselves be safe to run at any time.
void OnProcessExit(void (*action)());

// Linux only: starts `program` (a path, or a name searched on PATH) with the
// arguments `args` directly, never through a shell, and hands back what it
// writes. Its standard input is /dev/null, its standard error is ours, its
// standard output goes into a pipe: `*output` gets the reading end as a file
// handle (ReadFile until it reads 0 bytes, then CloseHandle), `*process` the
// process handle (WaitForSingleObject, GetExitCodeProcess, TerminateProcess,
// CloseHandle). FALSE with ERROR_FILE_NOT_FOUND (no such program),
// ERROR_ACCESS_DENIED (not runnable) or ERROR_NOT_ENOUGH_MEMORY, and both
// handles null.
BOOL StartProcessWithOutput(const std::wstring& program, const std::vector<std::wstring>& args,
                            HANDLE* process, HANDLE* output);

// Splits a parameter text into arguments by the Windows command-line rules:
// arguments are separated by spaces or tabs outside double quotes; a double
// quote toggles quoting (a "" inside quotes gives a literal quote); 2n
// backslashes before a quote give n backslashes and the quote acts, 2n+1
// give n backslashes and a literal quote; other backslashes are literal.
std::vector<std::wstring> SplitCommandLine(std::wstring_view parameters);

// Shell change notifications. Any event asks the desktop to refresh its
// menus and icons (`xdg-desktop-menu forceupdate` when installed, run in the
// background); nothing happens when the tool is missing.
constexpr LONG SHCNE_ASSOCCHANGED = 0x08000000;
constexpr LONG SHCNE_ALLEVENTS = 0x7FFFFFFF;
constexpr UINT SHCNF_IDLIST = 0x0000;
constexpr UINT SHCNF_PATH = 0x0005;
constexpr UINT SHCNF_FLUSH = 0x1000;
void SHChangeNotify(LONG eventId, UINT flags, LPCVOID item1, LPCVOID item2);

} // namespace plat
