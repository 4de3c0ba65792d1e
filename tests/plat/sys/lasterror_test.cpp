#include "plat/sys/wintypes.h"

#include <gtest/gtest.h>
#include <thread>

using namespace plat;

TEST(LastError, IsKeptPerThread) {
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD other = 1;
    std::thread([&] {
        other = GetLastError();
        SetLastError(ERROR_FILE_NOT_FOUND);
    }).join();
    EXPECT_EQ(other, 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}

TEST(WinMacros, MatchWin32Values) {
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), 0x563412u);
    EXPECT_EQ(MAKELONG(0x1234, 0xFFFF), LONG(0xFFFF1234));
    EXPECT_EQ(GET_X_LPARAM(MAKELPARAM(-5, 7)), -5);
    EXPECT_EQ(GET_Y_LPARAM(MAKELPARAM(-5, 7)), 7);
    EXPECT_TRUE(IS_INTRESOURCE(MAKEINTRESOURCE(129)));
}
