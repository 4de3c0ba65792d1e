#include "plat/sys/wintypes.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace plat;

TEST(LastError, IsKeptPerThread) {
    // Starting and joining a thread are system calls, which may set the
    // caller's value (Windows does): both threads set and read theirs while
    // the other is running, with nothing but atomics in between.
    std::atomic<int> stage{0};
    DWORD other = 1;
    DWORD otherAfter = 1;
    std::thread thread([&] {
        while (stage.load() != 1) {
        }
        other = GetLastError();
        SetLastError(ERROR_FILE_NOT_FOUND);
        stage.store(2);
        while (stage.load() != 3) {
        }
        otherAfter = GetLastError();
    });
    SetLastError(ERROR_ACCESS_DENIED);
    stage.store(1);
    while (stage.load() != 2) {
    }
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    SetLastError(ERROR_INVALID_PARAMETER);
    stage.store(3);
    thread.join();
    EXPECT_EQ(other, 0u);
    EXPECT_EQ(otherAfter, DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(WinMacros, MatchWin32Values) {
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), 0x563412u);
    EXPECT_EQ(MAKELONG(0x1234, 0xFFFF), LONG(0xFFFF1234));
    EXPECT_EQ(GET_X_LPARAM(MAKELPARAM(-5, 7)), -5);
    EXPECT_EQ(GET_Y_LPARAM(MAKELPARAM(-5, 7)), 7);
    EXPECT_TRUE(IS_INTRESOURCE(MAKEINTRESOURCE(129)));
}
