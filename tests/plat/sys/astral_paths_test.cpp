// Files, folders, the registry and plat's path helpers with characters
// outside the Basic Multilingual Plane in their names and values, on both
// faces of plat: an emoji in an install path and a CJK Extension B
// character in a folder name must reach the file system and come back
// whole, whether wide text is UTF-32 (Linux) or UTF-16 (Windows).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plat/sys/disk.h"
#include "plat/sys/files.h"
#include "plat/sys/handle.h"
#include "plat/sys/registry.h"
#include "plat/sys/text.h"
#include "sys_test_util.h"

// plat's constants are macros on Windows: they are never qualified.
using namespace plat;

namespace {

const std::wstring kEmojiFolder = L"安装 \U0001F600";
const std::wstring kExtBFolder = L"\U00020000\U0002A6D6文件夹";

// A folder of the test's own in the temporary folder, whose name carries
// both kinds of character; removed afterwards.
class AstralPaths : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring temp = GetTempPathString();
        ASSERT_FALSE(temp.empty());
        const wchar_t separator = temp.back();
        m_root = temp + L"tarvex " + kEmojiFolder + L" " +
                 std::to_wstring(::testing::UnitTest::GetInstance()->random_seed()) +
                 Utf8ToWide(::testing::UnitTest::GetInstance()->current_test_info()->name());
        m_folder = m_root + separator + kExtBFolder;
        m_separator = separator;
        ASSERT_TRUE(CreateDirectory(m_root.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectory(m_folder.c_str(), nullptr));
    }
    void TearDown() override {
        for (const std::wstring& file : m_files)
            DeleteFile(file.c_str());
        RemoveDirectory(m_folder.c_str());
        RemoveDirectory(m_root.c_str());
    }
    std::wstring File(const std::wstring& name) {
        m_files.push_back(m_folder + m_separator + name);
        return m_files.back();
    }
    static bool Write(const std::wstring& path, const std::string& bytes) {
        HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        DWORD written = 0;
        const bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
                        written == bytes.size();
        CloseHandle(file);
        return ok;
    }
    static std::string Read(HANDLE file) {
        std::string bytes;
        char buffer[256];
        DWORD read = 0;
        while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
            bytes.append(buffer, read);
        return bytes;
    }
    static std::string Read(const std::wstring& path) {
        HANDLE file = CreateFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return "<cannot open>";
        std::string bytes = Read(file);
        CloseHandle(file);
        return bytes;
    }

    std::wstring m_root;
    std::wstring m_folder;
    wchar_t m_separator = L'/';
    std::vector<std::wstring> m_files;
};

} // namespace

TEST_F(AstralPaths, FoldersAreMadeFoundAndRemovedByTheirWholeName) {
    EXPECT_TRUE(PathFileExists(m_folder.c_str()));
    EXPECT_NE(GetFileAttributes(m_folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    // A name that differs only in the last character of a pair is another
    // folder.
    std::wstring other = m_folder;
    other.back() = L'X';
    EXPECT_FALSE(PathFileExists(other.c_str()));
    EXPECT_TRUE(RemoveDirectory(m_folder.c_str()));
    EXPECT_FALSE(PathFileExists(m_folder.c_str()));
    EXPECT_TRUE(CreateDirectory(m_folder.c_str(), nullptr));
}

TEST_F(AstralPaths, FilesAreWrittenAndReadBackThroughTheirWideName) {
    const std::wstring path = File(L"setup \U0001F680.exe");
    ASSERT_TRUE(Write(path, "payload"));
    EXPECT_EQ(Read(path), "payload");
    // The narrow path form (UTF-8 on both systems) names the same file.
    EXPECT_EQ(Read(ChsMultiByteToWide(WideToChsMultiByte(path))), "payload");
    EXPECT_EQ(Read(Utf8ToWide(WideToUtf8(path))), "payload");
}

TEST_F(AstralPaths, TheOpenFilesPathNamesThatFile) {
    const std::wstring path = File(L"\U0002A6D6.bin");
    ASSERT_TRUE(Write(path, "verified bytes"));
    HANDLE file = CreateFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    // The path is for starting the file and for the C library (on Linux it
    // is the descriptor's link, which CreateFile refuses to follow).
    const std::wstring handlePath = GetFileHandlePath(file);
    EXPECT_FALSE(handlePath.empty());
    EXPECT_EQ(systest::ReadAll(WideToChsMultiByte(handlePath)), "verified bytes");
    CloseHandle(file);
    EXPECT_EQ(GetFileHandlePath(INVALID_HANDLE_VALUE), L"");
}

TEST_F(AstralPaths, ARenameKeepsBothNamesWhole) {
    const std::wstring from = File(L"a\U0001F600");
    const std::wstring to = File(L"b\U00020000");
    ASSERT_TRUE(Write(from, "moved"));
    ASSERT_TRUE(MoveFileEx(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(PathFileExists(from.c_str()));
    EXPECT_EQ(Read(to), "moved");
}

TEST_F(AstralPaths, DiskSpaceAndVolumeOfAFolderThatIsNotThereYet) {
    const std::wstring missing = m_folder + m_separator + L"\U0001F600" + m_separator + L"deeper";
    ULARGE_INTEGER free{}, total{};
    ASSERT_TRUE(GetDiskFreeSpaceEx(m_folder.c_str(), &free, &total, nullptr));
    EXPECT_GT(total.QuadPart, 0u);
    EXPECT_LE(free.QuadPart, total.QuadPart);
    const std::wstring volume = GetVolumePathString(missing);
    EXPECT_FALSE(volume.empty());
    EXPECT_EQ(volume, GetVolumePathString(m_folder));
    EXPECT_EQ(m_folder.compare(0, volume.size() - 1, volume, 0, volume.size() - 1), 0)
        << WideToUtf8(volume) << " is not the start of " << WideToUtf8(m_folder);
}

TEST_F(AstralPaths, TheRegistryKeepsAnAstralInstallPathWhole) {
    systest::TempDir store;
    systest::ScopedEnv registry("PLAT_REGISTRY", store / "registry.db");
    const std::wstring keyName = L"Software\\Tarvex test " + kEmojiFolder + L" " +
                                 std::to_wstring(::testing::UnitTest::GetInstance()->random_seed());
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, keyName.c_str(), &key), ERROR_SUCCESS);
    const std::wstring value = m_folder;
    EXPECT_EQ(RegSetValueEx(key, L"installPath \U00020000", 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()),
                            DWORD((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueEx(key, L"installPath \U00020000", nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(size, DWORD((value.size() + 1) * sizeof(wchar_t)));
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    ASSERT_EQ(RegQueryValueEx(key, L"installPath \U00020000", nullptr, &type,
                              reinterpret_cast<BYTE*>(buffer.data()), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(buffer.data()), value);
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, keyName.c_str()), ERROR_SUCCESS);
}

TEST(WholePaths, TheProgramTheTemporaryFolderAndProgramFilesAreRealPlaces) {
    const std::wstring self = GetModuleFileNameString();
    ASSERT_FALSE(self.empty());
    EXPECT_NE(self.find(L"test_plat_sys"), std::wstring::npos) << WideToUtf8(self);
    EXPECT_EQ(GetFileAttributes(self.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_NE(GetFileAttributes(self.c_str()), INVALID_FILE_ATTRIBUTES);

    const std::wstring temp = GetTempPathString();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), kPathSeparator) << WideToUtf8(temp);
    EXPECT_NE(GetFileAttributes(temp.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);

    EXPECT_FALSE(SHGetSpecialFolderPathString(CSIDL_PROGRAM_FILES, false).empty());
}
