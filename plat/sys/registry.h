// The registry: hives of keys holding named values, kept in a SQLite store.
//
// Store: $PLAT_REGISTRY when set, else /var/lib/plat/registry.db for root and
// $XDG_STATE_HOME/plat/registry.db (default ~/.local/state/...) for other
// users. The path is looked up on every operation, so a change of
// $PLAT_REGISTRY takes effect at once (open key handles remember only the
// key's hive and path).
//
// Key paths use '\' between components (a '/' is accepted as well) and,
// like value names, compare without regard to case; the case given when a
// key or value is first created is kept for listing. Each operation is one
// SQLite transaction with a busy timeout, so two processes may write at
// once and a crash never leaves a half-written key or value.
//
// Results are Win32 error codes (ERROR_SUCCESS on success):
//   ERROR_FILE_NOT_FOUND      key or value missing (also: no store yet);
//   ERROR_ACCESS_DENIED       store cannot be read, or written when
//                             read-only (file without write permission, or
//                             a key opened without the needed KEY_* right);
//   ERROR_REGISTRY_CORRUPT    the store is not a valid database;
//   ERROR_REGISTRY_IO_FAILED  any other store failure (disk full, busy for
//                             longer than the timeout);
//   ERROR_INVALID_HANDLE      unknown or closed key handle;
//   ERROR_KEY_DELETED         the key of an open handle has been removed;
//   ERROR_INVALID_PARAMETER   null output pointer, bad type or size;
//   ERROR_MORE_DATA           output buffer too small (size set to need).
#pragma once

#include <string>

#include "plat/sys/wintypes.h"

namespace plat {

using REGSAM = DWORD;
using LPDWORD = DWORD*;
using LPBYTE = BYTE*;
using PHKEY = HKEY*;
using LSTATUS = LONG;

// A key removed (by another handle or process) after this handle was opened.
constexpr LONG ERROR_KEY_DELETED = 1018;

// Predefined hives.
inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(uintptr_t(0x80000000));
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t(0x80000001));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(uintptr_t(0x80000002));
inline HKEY const HKEY_USERS = reinterpret_cast<HKEY>(uintptr_t(0x80000003));

// Value types. REG_SZ, REG_EXPAND_SZ (text kept as it is, not expanded) and
// REG_DWORD are stored; others are refused with ERROR_INVALID_PARAMETER.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access rights.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_EXECUTE = 0x20019;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Opens `subKey` under `key`, creating it and any missing parents. A null or
// empty subKey opens `key` itself again. The new handle has KEY_ALL_ACCESS.
LSTATUS RegCreateKey(HKEY key, LPCWSTR subKey, PHKEY result);
// Opens an existing key with KEY_ALL_ACCESS; ERROR_FILE_NOT_FOUND when
// missing. A null or empty subKey opens `key` itself again.
LSTATUS RegOpenKey(HKEY key, LPCWSTR subKey, PHKEY result);
// As RegOpenKey, with the rights in `desired` (KEY_WOW64_* are ignored:
// there is one view). `options` is ignored. The rights are checked by the
// operations on the handle: a value cannot be set through a handle opened
// with KEY_READ (ERROR_ACCESS_DENIED).
LSTATUS RegOpenKeyEx(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);

// Sets a value (null or empty name = the key's default value).
//   REG_SZ, REG_EXPAND_SZ: `data` holds wide characters (wchar_t), `size`
//              bytes; the text ends at the first null character or at the
//              end of the data.
//   REG_DWORD: `size` must be 4.
LSTATUS RegSetValueEx(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                      DWORD size);

// Reads a value. `type` (may be null) gets its type. When `data` is null,
// *size gets the bytes needed. Otherwise *size must hold the buffer size; a
// too small buffer gives ERROR_MORE_DATA with *size set to the need. A
// REG_SZ or REG_EXPAND_SZ comes back as wide characters with a terminating null (counted in
// *size). `size` may be null only when `data` is null too.
LSTATUS RegQueryValueEx(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                        LPDWORD size);

// Removes a value; ERROR_FILE_NOT_FOUND when it does not exist.
LSTATUS RegDeleteValue(HKEY key, LPCWSTR valueName);

// Removes `subKey` of `key` with its values; ERROR_ACCESS_DENIED when it
// still has subkeys (as Win32), ERROR_FILE_NOT_FOUND when missing.
LSTATUS RegDeleteKey(HKEY key, LPCWSTR subKey);

// Lists values by index in name order (case-insensitive), 0 first.
// `name`/`nameChars`: buffer and its size in characters; on return
// *nameChars holds the name length without terminator. `type`, `data` and
// `dataSize` behave as in RegQueryValueEx (all may be null). Returns
// ERROR_NO_MORE_ITEMS past the last value, ERROR_MORE_DATA when a buffer is
// too small.
LSTATUS RegEnumValue(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved,
                     LPDWORD type, LPBYTE data, LPDWORD dataSize);

// Lists direct subkeys by index in name order; same buffer rules as the
// value name of RegEnumValue.
LSTATUS RegEnumKey(HKEY key, DWORD index, LPWSTR name, DWORD nameChars);

// Closes a key opened by the functions above. Closing a predefined hive is
// a no-op success. ERROR_INVALID_HANDLE for unknown or closed handles.
LSTATUS RegCloseKey(HKEY key);

// The store path that the next operation will use (UTF-8), for messages.
std::string RegistryStorePath();

} // namespace plat
