// plat's Windows face: the Win32 types, handles, structures and error codes
// are the operating system's own (<windows.h> with UNICODE,
// WIN32_LEAN_AND_MEAN and NOMINMAX, which the build defines). The names are
// brought into namespace plat so that code written against plat's Linux
// face compiles unchanged. Constants stay the macros Windows defines: code
// never qualifies them with plat::.
#pragma once

#include <windows.h>
// After <windows.h>: GET_X_LPARAM and GET_Y_LPARAM, which plat's Linux face
// gives with its types.
#include <windowsx.h>

#include <cstddef>
#include <cstdint>

namespace plat {

using ::ATOM;
using ::BOOL;
using ::BYTE;
using ::COLORREF;
using ::DWORD;
using ::DWORD_PTR;
using ::FILETIME;
using ::HANDLE;
using ::HBITMAP;
using ::HBRUSH;
using ::HCURSOR;
using ::HDC;
using ::HFONT;
using ::HGDIOBJ;
using ::HGLOBAL;
using ::HICON;
using ::HINSTANCE;
using ::HKEY;
using ::HLOCAL;
using ::HMENU;
using ::HMODULE;
using ::HMONITOR;
using ::HPEN;
using ::HRGN;
using ::HRSRC;
using ::HWND;
using ::INT;
using ::INT_PTR;
using ::LONG;
using ::LONG_PTR;
using ::LONGLONG;
using ::LPARAM;
using ::LPCRECT;
using ::LPCSTR;
using ::LPCVOID;
using ::LPCWSTR;
using ::LPPOINT;
using ::LPRECT;
using ::LPSTR;
using ::LPVOID;
using ::LPWSTR;
using ::LRESULT;
using ::POINT;
using ::PVOID;
using ::RECT;
using ::SHORT;
using ::SIZE;
using ::UINT;
using ::UINT_PTR;
using ::ULARGE_INTEGER;
using ::ULONG;
using ::ULONG_PTR;
using ::ULONGLONG;
using ::USHORT;
using ::WCHAR;
using ::WORD;
using ::WPARAM;

using ::GetLastError;
using ::SetLastError;

} // namespace plat
