// Basic Win32 types, handles and result codes shared by every part of plat.
//
// The names, sizes and numeric values are those of Win32, so that code above
// plat reads like the Windows code it mirrors. Handles are opaque pointers to
// incomplete structs: each kind is its own type, and a handle value is never
// reused while the process lives. Wide text is wchar_t (32 bits on Linux).
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

using BOOL = int;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using UINT = unsigned int;
using INT = int;
using SHORT = int16_t;
using USHORT = uint16_t;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using UINT_PTR = uintptr_t;
using INT_PTR = intptr_t;
using LONG_PTR = intptr_t;
using ULONG_PTR = uintptr_t;
using DWORD_PTR = uintptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using ATOM = WORD;
using COLORREF = DWORD;
using WCHAR = wchar_t;
using LPCWSTR = const wchar_t*;
using LPWSTR = wchar_t*;
using LPCSTR = const char*;
using LPSTR = char*;
using LPVOID = void*;
using LPCVOID = const void*;
using PVOID = void*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Opaque handle kinds. Declaring each as a pointer to its own incomplete
// struct keeps a window handle from being passed where a DC is expected.
#define PLAT_DECLARE_HANDLE(name)                                                                  \
    struct name##__;                                                                               \
    using name = name##__*
PLAT_DECLARE_HANDLE(HWND);
PLAT_DECLARE_HANDLE(HDC);
PLAT_DECLARE_HANDLE(HBITMAP);
PLAT_DECLARE_HANDLE(HFONT);
PLAT_DECLARE_HANDLE(HPEN);
PLAT_DECLARE_HANDLE(HBRUSH);
PLAT_DECLARE_HANDLE(HRGN);
PLAT_DECLARE_HANDLE(HINSTANCE);
PLAT_DECLARE_HANDLE(HKEY);
PLAT_DECLARE_HANDLE(HRSRC);
PLAT_DECLARE_HANDLE(HGLOBAL);
PLAT_DECLARE_HANDLE(HCURSOR);
PLAT_DECLARE_HANDLE(HICON);
PLAT_DECLARE_HANDLE(HMENU);
PLAT_DECLARE_HANDLE(HMONITOR);
#undef PLAT_DECLARE_HANDLE
using HMODULE = HINSTANCE;
using HGDIOBJ = void*;   // any of HBITMAP, HFONT, HPEN, HBRUSH, HRGN
using HANDLE = void*;    // kernel objects: files, processes
using HLOCAL = HGLOBAL;

// INVALID_HANDLE_VALUE as Win32 defines it: all bits set.
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~uintptr_t(0));

struct POINT {
    LONG x;
    LONG y;
};
struct SIZE {
    LONG cx;
    LONG cy;
};
// Right and bottom are exclusive.
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;
using LPCRECT = const RECT*;
using LPPOINT = POINT*;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

union ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    ULONGLONG QuadPart;
};

// Win32 error codes (GetLastError and registry results).
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_PATH_NOT_FOUND = 3;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr LONG ERROR_BAD_FORMAT = 11;
constexpr LONG ERROR_INVALID_DATA = 13;
constexpr LONG ERROR_WRITE_FAULT = 29;
constexpr LONG ERROR_READ_FAULT = 30;
constexpr LONG ERROR_GEN_FAILURE = 31;
constexpr LONG ERROR_FILE_EXISTS = 80;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_INSUFFICIENT_BUFFER = 122;
constexpr LONG ERROR_ALREADY_EXISTS = 183;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_CANTOPEN = 1011;
constexpr LONG ERROR_CANTREAD = 1012;
constexpr LONG ERROR_CANTWRITE = 1013;
constexpr LONG ERROR_REGISTRY_CORRUPT = 1015;
constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;
constexpr LONG ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr LONG ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
constexpr LONG ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr LONG ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

// The calling thread's last error, as Win32 keeps it.
DWORD GetLastError();
void SetLastError(DWORD code);

constexpr DWORD MAX_PATH = 260;

} // namespace plat

// Win32's macros over these types. They stay macros (global), as code that
// mirrors Windows code expects them.
#define PLAT_LOWORD(l) ((plat::WORD)(((plat::DWORD_PTR)(l)) & 0xffff))
#define PLAT_HIWORD(l) ((plat::WORD)((((plat::DWORD_PTR)(l)) >> 16) & 0xffff))
#ifndef LOWORD
#define LOWORD(l) PLAT_LOWORD(l)
#define HIWORD(l) PLAT_HIWORD(l)
#define LOBYTE(w) ((plat::BYTE)(((plat::DWORD_PTR)(w)) & 0xff))
#define HIBYTE(w) ((plat::BYTE)((((plat::DWORD_PTR)(w)) >> 8) & 0xff))
#define MAKEWORD(a, b) ((plat::WORD)(((plat::BYTE)(a)) | (((plat::WORD)((plat::BYTE)(b))) << 8)))
#define MAKELONG(a, b) ((plat::LONG)(((plat::WORD)(a)) | (((plat::DWORD)((plat::WORD)(b))) << 16)))
#define MAKEWPARAM(l, h) ((plat::WPARAM)(plat::DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((plat::LPARAM)(plat::DWORD)MAKELONG(l, h))
#define MAKELRESULT(l, h) ((plat::LRESULT)(plat::DWORD)MAKELONG(l, h))
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
#define RGB(r, g, b)                                                                               \
    ((plat::COLORREF)(((plat::BYTE)(r) | ((plat::WORD)((plat::BYTE)(g)) << 8)) |                   \
                      (((plat::DWORD)(plat::BYTE)(b)) << 16)))
#define GetRValue(rgb) (LOBYTE(rgb))
#define GetGValue(rgb) (LOBYTE(((plat::WORD)(rgb)) >> 8))
#define GetBValue(rgb) (LOBYTE((rgb) >> 16))
#define MAKEINTRESOURCE(i) ((const wchar_t*)((plat::ULONG_PTR)((plat::WORD)(i))))
#define IS_INTRESOURCE(r) ((((plat::ULONG_PTR)(r)) >> 16) == 0)
#endif
