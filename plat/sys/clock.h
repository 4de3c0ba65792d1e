// Time: a monotonic millisecond counter and sleeping.
#pragma once

#include "plat/sys/wintypes.h"

namespace plat {

// Milliseconds on a monotonic clock since an arbitrary start; wraps around
// after 2^32 ms as Win32's counter does.
DWORD GetTickCount();
ULONGLONG GetTickCount64();

// Suspends the calling thread for at least `milliseconds` (0 yields).
// INFINITE is not special here: it sleeps for about 49 days.
void Sleep(DWORD milliseconds);

} // namespace plat
