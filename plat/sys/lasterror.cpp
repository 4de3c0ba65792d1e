// The calling thread's last error code, kept per thread as Win32 keeps it.
#include "plat/sys/wintypes.h"

namespace plat {

namespace {
thread_local DWORD t_lastError = 0;
}

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }

} // namespace plat
