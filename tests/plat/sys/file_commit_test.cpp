// The file operations an installer needs to put a file in place safely:
// flushing, atomic renames, removing folders, the execute permission, and
// writes past the process's file size limit.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "plat/sys/files.h"
#include "plat/sys/text.h"
#include "sys_test_util.h"

using namespace plat;
using systest::TempDir;

namespace {

std::wstring W(const std::string& s) {
    return Utf8ToWide(s);
}

HANDLE Create(const std::string& path, DWORD access = GENERIC_WRITE) {
    return CreateFile(W(path).c_str(), access, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
}

} // namespace

TEST(FileCommit, FlushNeedsAnOpenWritableHandle) {
    TempDir dir;
    HANDLE file = Create(dir / "a");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(WriteFile(file, "data", 4, nullptr, nullptr));
    EXPECT_TRUE(FlushFileBuffers(file));
    CloseHandle(file);
    EXPECT_FALSE(FlushFileBuffers(file));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

    HANDLE reader =
        CreateFile(W(dir / "a").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FlushFileBuffers(reader));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    CloseHandle(reader);
}

TEST(FileCommit, MoveReplacesOnlyWhenAskedAndNeverAFolder) {
    TempDir dir;
    systest::WriteAll(dir / "new", "new");
    systest::WriteAll(dir / "old", "old");

    EXPECT_FALSE(MoveFileEx(W(dir / "new").c_str(), W(dir / "old").c_str(), 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(systest::ReadAll(dir / "old"), "old");
    EXPECT_EQ(systest::ReadAll(dir / "new"), "new");

    EXPECT_TRUE(MoveFileEx(W(dir / "new").c_str(), W(dir / "old").c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(systest::ReadAll(dir / "old"), "new");
    EXPECT_FALSE(std::filesystem::exists(dir / "new"));

    // A folder is never replaced, even an empty one.
    std::filesystem::create_directory(dir / "folder");
    EXPECT_FALSE(
        MoveFileEx(W(dir / "old").c_str(), W(dir / "folder").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder"));

    // Folders move too, into another folder of the same file system.
    EXPECT_TRUE(
        MoveFileEx(W(dir / "folder").c_str(), W(dir / "moved").c_str(), MOVEFILE_WRITE_THROUGH));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "moved"));
    EXPECT_TRUE(
        MoveFileEx(W(dir / "old").c_str(), W(dir / "moved/file").c_str(), MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(systest::ReadAll(dir / "moved/file"), "new");
}

TEST(FileCommit, MoveFailuresSayWhatIsWrong) {
    TempDir dir;
    systest::WriteAll(dir / "file", "x");
    EXPECT_FALSE(MoveFileEx(W(dir / "missing").c_str(), W(dir / "to").c_str(), 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(MoveFileEx(W(dir / "file").c_str(), W(dir / "no/to").c_str(), 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(MoveFileEx(W(dir / "file").c_str(), nullptr, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(MoveFileEx(W(dir / "file").c_str(), W(dir / "to").c_str(), 0x2));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(systest::ReadAll(dir / "file"), "x");
}

TEST(FileCommit, RemoveDirectoryOnlyRemovesEmptyFolders) {
    TempDir dir;
    std::filesystem::create_directories(dir / "full/child");
    std::filesystem::create_directory(dir / "empty");
    systest::WriteAll(dir / "file", "x");

    EXPECT_FALSE(RemoveDirectory(W(dir / "full").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DIR_NOT_EMPTY));
    EXPECT_TRUE(std::filesystem::exists(dir / "full/child"));
    EXPECT_FALSE(RemoveDirectory(W(dir / "file").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DIRECTORY));
    EXPECT_FALSE(RemoveDirectory(W(dir / "missing").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(RemoveDirectory(W(dir / "file/below").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));

    EXPECT_TRUE(RemoveDirectory(W(dir / "empty").c_str()));
    EXPECT_FALSE(std::filesystem::exists(dir / "empty"));
}

TEST(FileCommit, ExecutePermissionFollowsReadPermission) {
    TempDir dir;
    HANDLE file = Create(dir / "program");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::chmod((dir / "program").c_str(), 0640);
    EXPECT_TRUE(SetFileExecutable(file));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "program").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode_t(0750));
    CloseHandle(file);
    EXPECT_FALSE(SetFileExecutable(file));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

// In a child process limited to 4 KiB files: a larger write fails with a
// disk-full error after the first 4 KiB, and the process lives on. The child
// reports each check by its exit code (a signal death fails the test).
TEST(FileCommit, WritePastTheFileSizeLimitIsADiskFullError) {
    TempDir dir;
    const std::string path = dir / "limited";
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct rlimit limit = {4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(10);
        HANDLE file = Create(path);
        if (file == INVALID_HANDLE_VALUE)
            ::_exit(11);
        std::string block(8192, 'x');
        DWORD written = 0;
        if (WriteFile(file, block.data(), DWORD(block.size()), &written, nullptr))
            ::_exit(12);
        if (GetLastError() != DWORD(ERROR_DISK_FULL))
            ::_exit(13);
        if (written != 4096)
            ::_exit(14);
        if (WriteFile(file, "y", 1, nullptr, nullptr) || GetLastError() != DWORD(ERROR_DISK_FULL))
            ::_exit(15);
        CloseHandle(file);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(std::filesystem::file_size(path), 4096u);
}

TEST(FileCommit, AttributesTellFoldersFromFiles) {
    TempDir dir;
    systest::WriteAll(dir / "file", "x");
    EXPECT_EQ(GetFileAttributes(W(dir.Path()).c_str()), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributes(W(dir / "file").c_str()), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributes(W(dir / "missing").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributes(W(dir / "file/below").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
}
