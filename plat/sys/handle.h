// Kernel object handles: files opened with CreateFile and processes started
// by ShellExecuteEx. Both kinds are closed with CloseHandle.
//
// A handle value is never reused while the process lives, so a stale handle
// is always recognised as invalid instead of reaching a newer object.
#pragma once

#include "plat/sys/wintypes.h"

namespace plat {

// Closes a file or process handle. Closing a process handle does not end the
// process. Returns FALSE with ERROR_INVALID_HANDLE for null,
// INVALID_HANDLE_VALUE, an unknown or an already closed handle.
BOOL CloseHandle(HANDLE handle);

} // namespace plat
