// Monotonic milliseconds and sleeping.
#include "plat/sys/clock.h"

#include <chrono>
#include <thread>

namespace plat {

ULONGLONG GetTickCount64() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return ULONGLONG(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

DWORD GetTickCount() {
    return DWORD(GetTickCount64());
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace plat
