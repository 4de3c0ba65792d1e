#include "plat/sys/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

#include "plat/sys/clock.h"
#include "plat/sys/disk.h"
#include "plat/sys/text.h"
#include "sys_test_util.h"

using namespace plat;
using systest::ScopedEnv;
using systest::TempDir;

namespace {

std::wstring W(const std::string& s) {
    return Utf8ToWide(s);
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// A path of more than MAX_PATH characters under `base`.
std::string LongPath(const std::string& base) {
    std::string path = base;
    for (int i = 0; i < 4; ++i)
        path += "/" + std::string(80, char('a' + i));
    return path;
}

} // namespace

TEST(ModulePath, IsThisExecutableWhateverTheBuffer) {
    std::wstring path = GetModuleFileNameString();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path[0], L'/');
    EXPECT_EQ(path.substr(path.rfind(L'/') + 1), L"test_plat_sys");

    wchar_t buffer[MAX_PATH];
    EXPECT_EQ(GetModuleFileName(nullptr, buffer, MAX_PATH), DWORD(path.size()));
    EXPECT_EQ(std::wstring(buffer), path);
    EXPECT_EQ(GetModuleFileName(GetModuleHandle(nullptr), buffer, MAX_PATH), DWORD(path.size()));

    // Win32's truncation rule for a small buffer.
    wchar_t small[5];
    EXPECT_EQ(GetModuleFileName(nullptr, small, 5), DWORD(5));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::wstring(small), path.substr(0, 4));

    EXPECT_EQ(GetModuleHandle(L"other.dll"), nullptr);
    EXPECT_EQ(GetModuleFileName(reinterpret_cast<HMODULE>(uintptr_t(0x1234)), buffer, MAX_PATH),
              DWORD(0));
}

TEST(TempPath, TmpdirIsCreatedPrivateAndEndsInSlash) {
    TempDir dir;
    std::string wanted = dir / "nested/tmp";
    ScopedEnv tmp("TMPDIR", wanted);
    std::wstring path = GetTempPathString();
    EXPECT_EQ(path, W(wanted + "/"));
    EXPECT_EQ(ModeOf(wanted), mode_t(0700));
}

TEST(TempPath, DefaultsToPrivateFolderInCacheHome) {
    TempDir dir;
    ScopedEnv tmp("TMPDIR", std::nullopt);
    ScopedEnv cache("XDG_CACHE_HOME", dir / "cache");
    EXPECT_EQ(GetTempPathString(), W(dir / "cache/plat-tmp/"));
    EXPECT_EQ(ModeOf(dir / "cache/plat-tmp"), mode_t(0700));

    // A loosened folder is made private again.
    ::chmod((dir / "cache/plat-tmp").c_str(), 0755);
    EXPECT_FALSE(GetTempPathString().empty());
    EXPECT_EQ(ModeOf(dir / "cache/plat-tmp"), mode_t(0700));

    // A link planted in its place is refused rather than followed.
    std::filesystem::remove(dir / "cache/plat-tmp");
    std::filesystem::create_directory(dir / "elsewhere");
    std::filesystem::create_directory_symlink(dir / "elsewhere", dir / "cache/plat-tmp");
    EXPECT_EQ(GetTempPathString(), L"");
    wchar_t buffer[MAX_PATH];
    EXPECT_EQ(GetTempPath(MAX_PATH, buffer), DWORD(0));
}

TEST(TempPath, LongPathIsReturnedWhole) {
    TempDir dir;
    std::string wanted = LongPath(dir.Path());
    ASSERT_GT(wanted.size(), size_t(MAX_PATH));
    ScopedEnv tmp("TMPDIR", wanted);
    EXPECT_EQ(GetTempPathString(), W(wanted + "/"));
    // The buffer form asks for a larger buffer instead of cutting the path.
    wchar_t buffer[MAX_PATH];
    EXPECT_EQ(GetTempPath(MAX_PATH, buffer), DWORD(wanted.size() + 2));
    std::vector<wchar_t> big(wanted.size() + 2);
    EXPECT_EQ(GetTempPath(DWORD(big.size()), big.data()), DWORD(wanted.size() + 1));
    EXPECT_EQ(std::wstring(big.data()), W(wanted + "/"));
}

TEST(SpecialFolders, ProgramFilesDependsOnTheUser) {
    TempDir dir;
    ScopedEnv home("HOME", dir.Path());
    std::wstring expected = ::geteuid() == 0 ? L"/opt" : W(dir / ".local/opt");
    EXPECT_EQ(SHGetSpecialFolderPathString(CSIDL_PROGRAM_FILES, false), expected);
    wchar_t buffer[MAX_PATH];
    EXPECT_EQ(SHGetSpecialFolderPath(nullptr, buffer, CSIDL_PROGRAM_FILES, FALSE), TRUE);
    EXPECT_EQ(std::wstring(buffer), expected);
    EXPECT_EQ(SHGetSpecialFolderPath(nullptr, buffer, 0x1234, FALSE), FALSE);

    ScopedEnv desktop("XDG_DESKTOP_DIR", std::nullopt);
    EXPECT_EQ(SHGetSpecialFolderPathString(CSIDL_DESKTOP | CSIDL_FLAG_CREATE, false),
              W(dir / "Desktop"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "Desktop"));
}

TEST(SpecialFolders, ProfileIsTheHomeFolder) {
    TempDir dir;
    ScopedEnv home("HOME", dir.Path());
    EXPECT_EQ(SHGetSpecialFolderPathString(CSIDL_PROFILE, false), W(dir.Path()));
}

TEST(Files, ListSubFoldersNamesFoldersAndLinksToFolders) {
    TempDir dir;
    for (const char* name : {"b", "a", ".hidden", "文件夹"})
        std::filesystem::create_directory(dir / name);
    systest::WriteAll(dir / "file.txt", "x");
    std::filesystem::create_directory_symlink(dir / "a", dir / "link-to-a");
    std::filesystem::create_symlink(dir / "file.txt", dir / "link-to-file");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
    std::vector<std::wstring> names{L"stale"};
    ASSERT_TRUE(ListSubFolders(W(dir.Path()).c_str(), &names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L".hidden", L"a", L"b", L"link-to-a", L"文件夹"}));

    // Failures leave the list empty.
    names = {L"stale"};
    EXPECT_FALSE(ListSubFolders(W(dir / "missing").c_str(), &names));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(ListSubFolders(W(dir / "file.txt").c_str(), &names));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(ListSubFolders(L"", &names));
    EXPECT_FALSE(ListSubFolders(W(dir.Path()).c_str(), nullptr));
    if (::geteuid() != 0) { // root reads any folder
        ::chmod((dir / "b").c_str(), 0);
        EXPECT_FALSE(ListSubFolders(W(dir / "b").c_str(), &names));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    }
}

TEST(Files, DirectoriesExistenceAndDeletion) {
    TempDir dir;
    std::wstring folder = W(dir / "新建文件夹");
    EXPECT_FALSE(PathFileExists(folder.c_str()));
    EXPECT_TRUE(CreateDirectory(folder.c_str(), nullptr));
    EXPECT_TRUE(PathFileExists(folder.c_str()));
    EXPECT_FALSE(CreateDirectory(folder.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectory(W(dir / "missing/child").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(PathFileExists(nullptr));
    EXPECT_FALSE(PathFileExists(L""));

    EXPECT_FALSE(DeleteFile(folder.c_str())); // a folder is not a file
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(DeleteFile(W(dir / "nothing").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    systest::WriteAll(dir / "f", "x");
    EXPECT_TRUE(DeleteFile(W(dir / "f").c_str()));
    EXPECT_FALSE(PathFileExists(W(dir / "f").c_str()));
}

TEST(Files, CreateWriteCloseAndDispositions) {
    TempDir dir;
    std::wstring path = W(dir / "下载.bin");
    HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "hello", 5, &written, nullptr));
    EXPECT_EQ(written, DWORD(5));
    EXPECT_TRUE(WriteFile(file, "", 0, &written, nullptr));
    char byte;
    DWORD read = 0;
    EXPECT_FALSE(ReadFile(file, &byte, 1, &read, nullptr)); // opened for writing only
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(WriteFile(file, "x", 1, &written, nullptr));
    EXPECT_EQ(systest::ReadAll(dir / "下载.bin"), "hello");

    // CREATE_NEW refuses an existing file; CREATE_ALWAYS truncates it and
    // says it existed.
    EXPECT_EQ(CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    CloseHandle(file);
    EXPECT_EQ(systest::ReadAll(dir / "下载.bin"), "");

    // OPEN_EXISTING on a missing file; a missing folder; a folder.
    EXPECT_EQ(
        CreateFile(W(dir / "none").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(CreateFile(W(dir / "no/such").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                         nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(
        CreateFile(W(dir.Path()).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}

TEST(Files, NeverWritesThroughASymbolicLink) {
    TempDir dir;
    systest::WriteAll(dir / "victim", "precious");
    std::filesystem::create_symlink(dir / "victim", dir / "link");
    for (DWORD disposition : {CREATE_ALWAYS, OPEN_ALWAYS, TRUNCATE_EXISTING, OPEN_EXISTING}) {
        HANDLE file =
            CreateFile(W(dir / "link").c_str(), GENERIC_WRITE, 0, nullptr, disposition, 0, nullptr);
        EXPECT_EQ(file, INVALID_HANDLE_VALUE) << disposition;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    }
    EXPECT_EQ(systest::ReadAll(dir / "victim"), "precious");
}

TEST(Files, ReopeningReachesTheSameFileWhateverHappensToItsName) {
    TempDir dir;
    const std::string path = dir / "pkg";
    HANDLE writer = CreateFile(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(WriteFile(writer, "verified", 8, nullptr, nullptr));
    HANDLE reader = ReOpenFile(writer, GENERIC_READ, FILE_SHARE_READ, 0);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(writer));

    // The name now holds something else, then nothing.
    systest::WriteAll(dir / "other", "swapped in");
    std::filesystem::rename(dir / "other", path);
    char buffer[32] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(reader, buffer, sizeof(buffer), &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "verified"); // read from the start
    std::filesystem::remove(path);

    // A second reopening has a position of its own, and the handle path
    // names the file too.
    HANDLE again = ReOpenFile(reader, GENERIC_READ, 0, 0);
    ASSERT_NE(again, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(ReadFile(again, buffer, 3, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "ver");
    const std::wstring named = GetFileHandlePath(again);
    ASSERT_FALSE(named.empty());
    EXPECT_EQ(systest::ReadAll(WideToUtf8(named)), "verified");
    // A read-only handle cannot write, and some access must be asked for.
    EXPECT_FALSE(WriteFile(again, "x", 1, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReOpenFile(again, 0, 0, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(CloseHandle(again));
    EXPECT_TRUE(CloseHandle(reader));

    EXPECT_EQ(ReOpenFile(reader, GENERIC_READ, 0, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(ReOpenFile(INVALID_HANDLE_VALUE, GENERIC_READ, 0, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileHandlePath(reader), L"");
    EXPECT_EQ(GetFileHandlePath(nullptr), L"");
}

TEST(Files, NarrowFormAndLongPaths) {
    TempDir dir;
    std::string folder = LongPath(dir.Path());
    std::filesystem::create_directories(folder);
    std::string path = folder + "/文件.txt";
    HANDLE file =
        CreateFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(WriteFile(file, "abc", 3, nullptr, nullptr));
    CloseHandle(file);
    EXPECT_TRUE(PathFileExists(W(path).c_str()));
    file = CreateFile(W(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char buffer[8] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof(buffer), &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "abc");
    EXPECT_TRUE(ReadFile(file, buffer, sizeof(buffer), &read, nullptr));
    EXPECT_EQ(read, DWORD(0)); // end of file
    CloseHandle(file);
}

TEST(Disk, FreeSpaceOfFolderAndOfMissingChild) {
    TempDir dir;
    ULARGE_INTEGER available{}, total{}, totalFree{};
    ASSERT_TRUE(GetDiskFreeSpaceEx(W(dir.Path()).c_str(), &available, &total, &totalFree));
    EXPECT_GT(total.QuadPart, 0u);
    EXPECT_LE(available.QuadPart, totalFree.QuadPart);
    EXPECT_LE(totalFree.QuadPart, total.QuadPart);

    // A folder that does not exist yet is measured on its nearest ancestor.
    ULARGE_INTEGER childTotal{};
    ASSERT_TRUE(
        GetDiskFreeSpaceEx(W(dir / "not/yet/there").c_str(), nullptr, &childTotal, nullptr));
    EXPECT_EQ(childTotal.QuadPart, total.QuadPart);
    EXPECT_TRUE(GetDiskFreeSpaceEx(nullptr, &available, nullptr, nullptr));
    EXPECT_TRUE(GetDiskFreeSpaceEx(L"relative/missing", &available, nullptr, nullptr));
}

TEST(Disk, RelativePathsWithoutACurrentFolderFailAtOnce) {
    systest::GoneCurrentFolder gone;
    ASSERT_TRUE(gone.Ok());
    ULARGE_INTEGER available{};
    available.QuadPart = 7;
    EXPECT_FALSE(GetDiskFreeSpaceEx(L"relative/missing", &available, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(GetDiskFreeSpaceEx(nullptr, &available, nullptr, nullptr));
    EXPECT_EQ(GetVolumePathString(L"relative"), L"");
    // Absolute paths are unaffected.
    EXPECT_TRUE(GetDiskFreeSpaceEx(L"/tmp", &available, nullptr, nullptr));
}

TEST(Disk, VolumeIsTheMountPointOfTheNearestExistingAncestor) {
    EXPECT_EQ(GetVolumePathString(L"/"), L"/");
    // /proc is its own mount on every Linux system.
    EXPECT_EQ(GetVolumePathString(L"/proc/self"), L"/proc/");
    EXPECT_EQ(GetVolumePathString(L"/proc/no/such/folder"), L"/proc/");
    EXPECT_EQ(GetVolumePathString(L"/proc/../proc/./self/.."), L"/proc/");

    TempDir dir;
    std::wstring volume = GetVolumePathString(W(dir / "a/b"));
    ASSERT_FALSE(volume.empty());
    EXPECT_EQ(volume.back(), L'/');
    EXPECT_EQ(W(dir.Path() + "/").compare(0, volume.size(), volume), 0);

    wchar_t small[3];
    EXPECT_FALSE(GetVolumePathName(L"/proc/self", small, 3));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    wchar_t buffer[MAX_PATH];
    EXPECT_TRUE(GetVolumePathName(L"/proc/self", buffer, MAX_PATH));
    EXPECT_STREQ(buffer, L"/proc/");
}

TEST(Clock, TickCountIsMonotonicAndSleepWaits) {
    ULONGLONG before = GetTickCount64();
    Sleep(20);
    ULONGLONG after = GetTickCount64();
    EXPECT_GE(after - before, 20u);
    // The 32-bit counter is the low part of the 64-bit one.
    EXPECT_LE(DWORD(GetTickCount() - DWORD(after)), 1000u);
}

// Run as a child by the test below: reports this executable's path.
TEST(ModulePath, ReportItselfWhenAsked) {
    const char* out = ::getenv("PLAT_TEST_MODULE_PATH_OUT");
    if (out == nullptr)
        GTEST_SKIP() << "only run as a child of LongPathIsReturnedWhole";
    systest::WriteAll(out, WideToUtf8(GetModuleFileNameString()));
}

TEST(ModulePath, LongPathIsReturnedWhole) {
    TempDir dir;
    std::string folder = LongPath(dir.Path());
    std::filesystem::create_directories(folder);
    std::string copy = folder + "/test_plat_sys";
    std::filesystem::copy_file(WideToUtf8(GetModuleFileNameString()), copy);
    std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
    ASSERT_GT(copy.size(), size_t(MAX_PATH));
    std::string report = dir / "path.txt";
    std::string command = "PLAT_TEST_MODULE_PATH_OUT='" + report + "' '" + copy +
                          "' --gtest_filter=ModulePath.ReportItselfWhenAsked >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(systest::ReadAll(report), copy);
}

TEST(PathRoot, AnAbsolutePathStartsWithARootOfThisSystem) {
    EXPECT_EQ(plat::PathRootLength(L""), 0u);
    EXPECT_EQ(plat::PathRootLength(L"folder/file"), 0u);
    if (plat::kPathSeparator == L'/') {
        EXPECT_EQ(plat::PathRootLength(L"/opt/TarvexPDFConver"), 1u);
        EXPECT_EQ(plat::PathRootLength(L"C:\\Program Files"), 0u);
    } else {
        EXPECT_EQ(plat::PathRootLength(L"C:\\Program Files"), 3u);
        EXPECT_EQ(plat::PathRootLength(L"d:/data"), 3u);
        EXPECT_EQ(plat::PathRootLength(L"C:relative"), 0u);
        EXPECT_EQ(plat::PathRootLength(L"\\\\server\\share\\folder"), 15u);
        EXPECT_EQ(plat::PathRootLength(L"\\\\server"), 0u);
        EXPECT_EQ(plat::PathRootLength(L"\\folder"), 0u);
    }
}
