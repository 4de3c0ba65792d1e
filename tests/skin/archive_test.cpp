// The packed skin archive: exactly the twenty entries the windows load, each
// deflated under its ASCII name with the UTF-8 name flag, readable through
// the toolkit's archive reader and markup parser, and the same bytes on every
// packing.
#include "skin_files.h"

#include "ui/UIMarkup.h"
#include "ui/UIResourceZip.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

using namespace skintest;

namespace {

struct CentralEntry {
    std::string name;
    int method = -1;
    int flags = 0;
};

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8);
}

// Reads the central directory straight from the bytes, independently of any
// zip library, so the flags are checked as stored.
bool ReadCentralDirectory(const std::vector<uint8_t>& zip, std::vector<CentralEntry>& out) {
    if (zip.size() < 22)
        return false;
    size_t eocd = zip.size() - 22;
    while (eocd > 0 && Le32(zip, eocd) != 0x06054b50)
        --eocd;
    if (Le32(zip, eocd) != 0x06054b50)
        return false;
    size_t count = Le16(zip, eocd + 10);
    size_t pos = Le32(zip, eocd + 16);
    for (size_t i = 0; i < count; ++i) {
        if (pos + 46 > zip.size() || Le32(zip, pos) != 0x02014b50)
            return false;
        CentralEntry e;
        e.flags = Le16(zip, pos + 8);
        e.method = Le16(zip, pos + 10);
        size_t nameLen = Le16(zip, pos + 28), extra = Le16(zip, pos + 30),
               comment = Le16(zip, pos + 32);
        if (pos + 46 + nameLen > zip.size())
            return false;
        e.name.assign(zip.begin() + pos + 46, zip.begin() + pos + 46 + nameLen);
        out.push_back(e);
        pos += 46 + nameLen + extra + comment;
    }
    return true;
}

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// Runs tools/skinpack on the skin folder into path; true on exit status 0.
bool Pack(const std::string& path) {
    std::string command = std::string("'") + SKINPACK_EXE + "' --ext xml,png,gif '" + SkinDir() +
                          "' '" + path + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

} // namespace

TEST(SkinArchive, HoldsExactlyTheTwentyEntriesDeflatedWithUtf8Names) {
    std::vector<uint8_t> zip = ReadFileBytes(TARVEX_SKIN_ZIP);
    ASSERT_FALSE(zip.empty()) << TARVEX_SKIN_ZIP;
    std::vector<CentralEntry> entries;
    ASSERT_TRUE(ReadCentralDirectory(zip, entries));
    EXPECT_EQ(entries.size(), 20u);
    std::set<std::string> names;
    for (const CentralEntry& e : entries) {
        SCOPED_TRACE(e.name);
        names.insert(e.name);
        EXPECT_EQ(e.method, 8);                         // deflate
        EXPECT_TRUE(e.flags & 0x0800);                  // UTF-8 name flag
        EXPECT_EQ(e.name.find('/'), std::string::npos); // no folders
        for (char c : e.name)
            EXPECT_TRUE(c > 32 && c < 127);
    }
    std::vector<std::string> expected = AllSkinNames();
    EXPECT_EQ(names, std::set<std::string>(expected.begin(), expected.end()));
}

TEST(SkinArchive, EveryEntryReadsBackAsItsSourceFile) {
    auto archive = Veneer::CSkinArchive::OpenFile(Wide(TARVEX_SKIN_ZIP).c_str());
    ASSERT_NE(archive, nullptr);
    for (const std::string& name : AllSkinNames()) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> data;
        ASSERT_EQ(archive->Extract(Wide(name).c_str(), data), Veneer::CSkinArchive::Result::Ok);
        std::vector<uint8_t> source = ReadFileBytes(SkinDir() + "/" + name);
        EXPECT_TRUE(data == source);
    }
    // The message dialog's include names a file the archive does not hold.
    std::vector<uint8_t> data;
    EXPECT_EQ(archive->Extract(L"font.xml", data), Veneer::CSkinArchive::Result::NotFound);
}

TEST(SkinArchive, LayoutsParseWithTheToolkitsMarkupReader) {
    auto archive = Veneer::CSkinArchive::OpenFile(Wide(TARVEX_SKIN_ZIP).c_str());
    ASSERT_NE(archive, nullptr);
    for (const std::string& name : LayoutNames()) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> data;
        ASSERT_EQ(archive->Extract(Wide(name).c_str(), data), Veneer::CSkinArchive::Result::Ok);
        Veneer::CMarkup markup;
        ASSERT_TRUE(markup.LoadFromMem(data.data(), static_cast<plat::DWORD>(data.size())))
            << markup.GetLastErrorMessage();
        Veneer::CMarkupNode root = markup.GetRoot();
        ASSERT_TRUE(root.IsValid());
        EXPECT_STREQ(root.GetName(), L"Window");
        EXPECT_TRUE(root.HasChildren());
    }
}

TEST(SkinArchive, PackingTheSameFolderGivesTheSameBytes) {
    std::string dir = OutputDir();
    std::string first = dir + "/pack1.zip", second = dir + "/pack2.zip";
    ASSERT_TRUE(Pack(first));
    ASSERT_TRUE(Pack(second));
    std::vector<uint8_t> a = ReadFileBytes(first), b = ReadFileBytes(second);
    ASSERT_FALSE(a.empty());
    EXPECT_TRUE(a == b);
    // And the build's archive is that same packing.
    EXPECT_TRUE(a == ReadFileBytes(TARVEX_SKIN_ZIP));
    std::filesystem::remove(first);
    std::filesystem::remove(second);
}
