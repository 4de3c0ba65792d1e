// Version information of executables.
//
// The version block is the RT_VERSION resource of an executable's resource
// table (see resource.h). It can be read from any file: the ELF section
// headers of the file are parsed, so the file is never run or loaded. A file
// that is not ELF, or has no resource table, or no version record in it,
// has no version information.
#pragma once

#include "plat/sys/wintypes.h"

namespace plat {

using LPDWORD = DWORD*;

constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000;
constexpr DWORD VS_FFI_FILEFLAGSMASK = 0x0000003F;
constexpr DWORD VOS_NT_WINDOWS32 = 0x00040004;
constexpr DWORD VFT_APP = 0x00000001;

// The fixed part of a version block, in Win32's layout.
struct VS_FIXEDFILEINFO {
    DWORD dwSignature;        // VS_FFI_SIGNATURE
    DWORD dwStrucVersion;     // VS_FFI_STRUCVERSION
    DWORD dwFileVersionMS;    // major << 16 | minor
    DWORD dwFileVersionLS;    // build << 16 | revision
    DWORD dwProductVersionMS; // major << 16 | minor
    DWORD dwProductVersionLS; // build << 16 | revision
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "VS_FIXEDFILEINFO is 52 bytes");

// Size in bytes of the version block of `fileName`, or 0 when the file has
// none (GetLastError(): ERROR_FILE_NOT_FOUND, ERROR_BAD_FORMAT for a file
// that is not ELF or has a damaged table, ERROR_RESOURCE_TYPE_NOT_FOUND for
// an ELF file without a version record). `handle` may be null; it is set to
// 0.
DWORD GetFileVersionInfoSize(LPCWSTR fileName, LPDWORD handle);

// Copies the version block of `fileName` into `data` (`size` bytes, at most
// the block's size are copied). FALSE when the file has none, when `data` is
// null, or ERROR_INSUFFICIENT_BUFFER when `size` is smaller than the block.
BOOL GetFileVersionInfo(LPCWSTR fileName, DWORD handle, DWORD size, LPVOID data);

// Finds a part of a version block read by GetFileVersionInfo. `subBlock`
// "\\" gives a pointer into `block` to its VS_FIXEDFILEINFO and *length =
// sizeof(VS_FIXEDFILEINFO). Any other sub-block, or a block that is not a
// version block, gives FALSE with *buffer = null and *length = 0.
BOOL VerQueryValue(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, UINT* length);

} // namespace plat
