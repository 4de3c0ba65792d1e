// The read-ahead reader: the blocks it hands out are the file, whatever the
// file's size against the block size; a refused read ends it with false; it
// stops cleanly when dropped part-way.
#include "app/read_ahead.h"

#include <gtest/gtest.h>

#include <string>

#include "plat/sys/files.h"
#include "plat/sys/text.h"
#include "tests/app/app_test_util.h"

// Win32 constants are plat's names on Linux and the system's macros on
// Windows: used unqualified.
using namespace plat;

namespace {

plat::HANDLE OpenForReading(const std::string& path) {
    return plat::CreateFile(plat::Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string Pattern(size_t bytes) {
    std::string text(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i)
        text[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
    return text;
}

// Everything the reader hands out, and the number of blocks (the end not
// counted); false when a block came back larger than asked for or the
// reader failed.
bool ReadAll(CReadAhead& reader, size_t blockBytes, std::string& out, int& blocks) {
    out.clear();
    blocks = 0;
    for (;;) {
        const uint8_t* data = nullptr;
        size_t size = 0;
        if (!reader.Next(&data, &size))
            return false;
        if (size == 0)
            return true;
        if (size > blockBytes || data == nullptr)
            return false;
        out.append(reinterpret_cast<const char*>(data), size);
        ++blocks;
    }
}

} // namespace

TEST(ReadAhead, HandsOutTheWholeFileForEverySizeAroundTheBlock) {
    apptest::TempDir dir;
    constexpr size_t kBlock = 4096;
    const size_t sizes[] = {0, 1, kBlock - 1, kBlock, kBlock + 1, 7 * kBlock + 3, 300000};
    for (size_t ring : {2, 5}) {
        for (size_t bytes : sizes) {
            SCOPED_TRACE(std::to_string(bytes) + " bytes, a ring of " + std::to_string(ring));
            const std::string path =
                dir / ("f" + std::to_string(bytes) + "_" + std::to_string(ring));
            const std::string content = Pattern(bytes);
            testutil::WriteAll(path, content);
            plat::HANDLE file = OpenForReading(path);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            std::string read;
            int blocks = 0;
            {
                CReadAhead reader(file, kBlock, ring);
                ASSERT_TRUE(ReadAll(reader, kBlock, read, blocks));
                // The end stays the end.
                const uint8_t* data = nullptr;
                size_t size = 1;
                EXPECT_TRUE(reader.Next(&data, &size));
                EXPECT_EQ(size, 0u);
            }
            plat::CloseHandle(file);
            EXPECT_TRUE(read == content);
            EXPECT_GE(blocks, static_cast<int>((bytes + kBlock - 1) / kBlock));
        }
    }
}

TEST(ReadAhead, StartsWhereTheHandleStands) {
    apptest::TempDir dir;
    const std::string content = Pattern(10000);
    testutil::WriteAll(dir / "f", content);
    plat::HANDLE file = OpenForReading(dir / "f");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char head[100];
    plat::DWORD got = 0;
    ASSERT_TRUE(plat::ReadFile(file, head, sizeof head, &got, nullptr));
    ASSERT_EQ(got, sizeof head);
    std::string read;
    int blocks = 0;
    {
        CReadAhead reader(file, 1024);
        ASSERT_TRUE(ReadAll(reader, 1024, read, blocks));
    }
    plat::CloseHandle(file);
    EXPECT_TRUE(read == content.substr(sizeof head));
}

TEST(ReadAhead, AHandleThatCannotReadFailsAndKeepsFailing) {
    apptest::TempDir dir;
    testutil::WriteAll(dir / "f", Pattern(10000));
    // Open for writing only: every read is refused.
    plat::HANDLE file = plat::CreateFile(plat::Utf8ToWide(dir / "f").c_str(), GENERIC_WRITE, 0,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    {
        CReadAhead reader(file, 4096);
        const uint8_t* data = nullptr;
        size_t size = 0;
        EXPECT_FALSE(reader.Next(&data, &size));
        EXPECT_FALSE(reader.Next(&data, &size));
        EXPECT_EQ(data, nullptr);
    }
    plat::CloseHandle(file);
}

TEST(ReadAhead, DroppedPartWayItStops) {
    apptest::TempDir dir;
    testutil::WriteAll(dir / "f", Pattern(1 << 20));
    for (int taken = 0; taken < 3; ++taken) {
        plat::HANDLE file = OpenForReading(dir / "f");
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        {
            CReadAhead reader(file, 4096);
            for (int i = 0; i < taken; ++i) {
                const uint8_t* data = nullptr;
                size_t size = 0;
                ASSERT_TRUE(reader.Next(&data, &size));
                ASSERT_EQ(size, 4096u);
            }
            // The destructor stops the reader with blocks still unread.
        }
        plat::CloseHandle(file);
    }
}
