// The product version read from a program's version record, on both
// systems: this test program carries the project's record (built into it as
// the installer's is), other files carry none.
#include <gtest/gtest.h>

#include "app/install_context.h"
#include "app/system_queries.h"
#include "plat/sys/files.h"
#include "plat/sys/handle.h"
#include "plat/sys/text.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

TEST(ProductVersion, ThisProgramsRecordGivesTheProjectVersion) {
    const std::wstring self = GetModulePath();
    ASSERT_FALSE(self.empty());
    EXPECT_EQ(GetFileProductVersion(self), L"1.1.8.305");
    const std::wstring saved = g_modulePath;
    g_modulePath = self;
    EXPECT_EQ(GetOwnProductVersion(), L"1.1.8.305");
    g_modulePath = L"";
    EXPECT_EQ(GetOwnProductVersion(), L"");
    g_modulePath = saved;
}

TEST(ProductVersion, FilesWithoutARecordGiveNothing) {
    const std::wstring text = plat::GetTempPathString() + L"version \U0001F600.txt";
    plat::HANDLE file = plat::CreateFile(text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    plat::DWORD written = 0;
    ASSERT_TRUE(plat::WriteFile(file, "not a program", 13, &written, nullptr));
    plat::CloseHandle(file);
    EXPECT_EQ(GetFileProductVersion(text), L"");
    plat::DeleteFile(text.c_str());
    EXPECT_EQ(GetFileProductVersion(text), L"");
    EXPECT_EQ(GetFileProductVersion(L""), L"");
}
