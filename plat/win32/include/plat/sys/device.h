// plat's Windows face: what identifies the device comes from the system:
// GetVersionEx, IsWow64Process, Netbios (netapi32) and the processor's
// identification instruction.
#pragma once

#include "plat/sys/wintypes.h"

// After <windows.h>, whose types it uses.
#include <nb30.h>

namespace plat {

using ::ADAPTER_STATUS;
using ::LANA_ENUM;
using ::NCB;
using ::OSVERSIONINFOEXW;
using ::OSVERSIONINFOW;
using ::PNCB;
using ::PUCHAR;
using ::UCHAR;

using ::GetVersionExW;
using ::IsWow64Process;
using ::Netbios;

// The extended record through the same call (Win32 takes it through a cast
// of its pointer, with dwOSVersionInfoSize telling which it is).
inline BOOL GetVersionExW(OSVERSIONINFOEXW* info) {
    return ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(info));
}

// The pseudo handle of the calling process (GetCurrentProcess()).
inline HANDLE const CURRENT_PROCESS_HANDLE = reinterpret_cast<HANDLE>(~uintptr_t(0));

// The processor identification instruction: EAX, EBX, ECX, EDX of function
// `functionId` into cpuInfo[0..3].
void Cpuid(int cpuInfo[4], int functionId);

} // namespace plat
