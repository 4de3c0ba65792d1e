// The installer's small platform operations: where things are, its own
// version, free disk space and its display text, the folder chooser, the
// install path registry value, the .NET Framework 4 check, and running a
// downloaded package to its end.
//
// Each is a free function without state; failures are results (empty
// string, false, 0.0), never messages or exceptions. Paths use the
// platform's separator '/'.
#pragma once

#include <string>

#include "plat/sys/wintypes.h"

// Full path of the installer's own executable, whatever its length; empty
// when the platform does not give it.
std::wstring GetModulePath();
// The file name of that path (after the last separator), extension included.
std::wstring GetModuleFileNameOnly();
// The text after the last '/' of `path`, or the whole text without one.
std::wstring FileNameOnly(const std::wstring& path);
// The user's temporary folder, ending in '/'; empty on failure.
std::wstring GetTempFolder();
// The Program Files folder (not created); empty on failure.
std::wstring GetProgramFilesFolder();

// The product version of the installer's own executable (g_modulePath) as
// "a.b.c.d", or empty when it has no version record.
std::wstring GetOwnProductVersion();
// The same for any file.
std::wstring GetFileProductVersion(const std::wstring& filePath);

// Bytes available to the user on the volume holding `path` (or its nearest
// existing ancestor). On failure returns false and sets freeBytes to 0.0.
bool GetDiskFreeBytes(const std::wstring& path, double& freeBytes);

// The "drive" of a folder: the mount point of the volume holding it (or its
// nearest existing ancestor), ending in '/'; empty when none is found.
std::wstring GetInstallDrive(const std::wstring& folder);

// A byte count as display text: "%0.2fTB", "%0.2fGB", "%0.2fMB", "%0.2fKB"
// above 2^40, 2^30, 2^20 and 2^10 bytes (strictly greater), else "%dByte".
std::wstring FormatSize(double bytes);

// Shows the folder chooser owned by `owner`. When the user picks a folder,
// g_installFolder becomes it and the result is true; otherwise
// g_installFolder is unchanged and the result is false.
bool ChooseFolder(plat::HWND owner);

// Writes `installDir` as REG_SZ value "installPath" of
// HKEY_LOCAL_MACHINE\Software\TarvexPDFConver. False (nothing written) for
// an empty text or when the key cannot be created/opened or set.
bool WriteInstallPath(const std::wstring& installDir);

// True when the Full or the Client profile of .NET Framework 4 has the
// DWORD value Install = 1 in the registry.
bool IsDotNet4Installed();

// The exit code RunAndWait reports when it saw no exit: nothing was started,
// or the started process could not be waited for.
constexpr plat::DWORD kExitUnobserved = 0xFFFFFFFF;

// Opens `filePath` with `parameters` hidden and waits for the started
// process without a time limit. False, starting nothing, when nothing
// exists at the path; otherwise whether the start succeeded. `exitCode` (may
// be null) gets the exit status of the process once it has ended (128 + N
// after signal N), or kExitUnobserved when its end was not seen, so that an
// exit nobody observed never reads as success.
bool RunAndWait(const std::wstring& filePath, const std::wstring& parameters,
                plat::DWORD* exitCode = nullptr);

// RunAndWait in two steps, so that a caller can decide on the start under a
// lock of its own. StartHidden starts as RunAndWait does, without waiting:
// false, starting nothing, when nothing exists at the path; otherwise
// whether the start succeeded. `process` gets the handle to wait on (null
// when there is none).
bool StartHidden(const std::wstring& filePath, const std::wstring& parameters,
                 plat::HANDLE* process);
// Waits without a time limit for a process StartHidden started, closes its
// handle and returns its exit status, or kExitUnobserved when its end was
// not seen (also for a null handle).
plat::DWORD WaitAndClose(plat::HANDLE process);
