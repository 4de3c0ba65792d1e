// Resources embedded in the running executable.
//
// The build (plat_embed_resources in cmake/PlatResources.cmake) writes a
// resource table into an ELF section of the executable; these functions read
// it in place. A resource is identified by type and name, each either a
// string (compared without regard to case, "#129" meaning number 129) or a
// number made with MAKEINTRESOURCE.
//
// `module` must be null or GetModuleHandle(nullptr): the running executable.
// Resource memory belongs to the executable image and stays valid for the
// life of the process; nothing needs to be freed.
#pragma once

#include "plat/sys/wintypes.h"

namespace plat {

// Standard resource types (used as MAKEINTRESOURCE(n)).
constexpr WORD RT_RCDATA_ID = 10;
constexpr WORD RT_VERSION_ID = 16;
#define RT_RCDATA MAKEINTRESOURCE(10)
#define RT_VERSION MAKEINTRESOURCE(16)

// Finds a resource; null with ERROR_RESOURCE_TYPE_NOT_FOUND or
// ERROR_RESOURCE_NAME_NOT_FOUND (also when the executable has no table),
// ERROR_MOD_NOT_FOUND for a module other than the running executable.
HRSRC FindResource(HMODULE module, LPCWSTR name, LPCWSTR type);
// Handle of the resource's data; null for a null `resource`.
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
// Size of the resource's data in bytes; 0 for a null `resource`.
DWORD SizeofResource(HMODULE module, HRSRC resource);
// Pointer to the resource's data (read-only); null for a null handle.
LPVOID LockResource(HGLOBAL resourceData);
// Nothing to release; always FALSE as on Win32.
BOOL FreeResource(HGLOBAL resourceData);

} // namespace plat
