// The resource table format shared by the build step that writes it and the
// functions that read it (the running executable's own table, or the table
// in another file's ELF section).
//
// Layout, all integers little-endian, offsets from the start of the table:
//   header:  8-byte magic "PLATRES1", u32 entry count, u32 reserved (0)
//   entries: u32 typeOffset, typeLength, nameOffset, nameLength,
//            dataOffset, dataSize
//   then the type and name texts (UTF-8, not terminated) and the data,
//   each data block aligned to 8 bytes.
// Types and names are texts; a number n is written "#n". The version record
// is the resource of type "#16" (RT_VERSION) and name "#1".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat::restable {

constexpr char kMagic[8] = {'P', 'L', 'A', 'T', 'R', 'E', 'S', '1'};
constexpr const char* kSectionName = "plat_rsrc";
constexpr size_t kHeaderSize = 16;
constexpr size_t kEntrySize = 24;

struct Entry {
    std::string type;
    std::string name;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
};

// A table in memory (not owned). Parse checks every offset against the
// table's size, so a damaged table is rejected, never read out of bounds.
class View {
public:
    bool Parse(const uint8_t* table, size_t size);
    // Entries in table order.
    const std::vector<Entry>& Entries() const { return m_entries; }
    // The entry of a type and name (normalised keys, see NormaliseKey), or
    // null.
    const Entry* Find(const std::string& type, const std::string& name) const;

private:
    std::vector<Entry> m_entries;
};

// The canonical form of a type or name text: "#n" for numbers (leading zeros
// dropped), upper-case ASCII otherwise.
std::string NormaliseKey(const std::string& key);

// A resource to be written: type and name texts (numbers as "#n" or plain
// digits) and the data.
struct Input {
    std::string type;
    std::string name;
    std::vector<uint8_t> data;
};

// Serialises a table.
std::vector<uint8_t> Build(const std::vector<Input>& inputs);

// A version block (VS_VERSIONINFO header followed by VS_FIXEDFILEINFO) with
// the same product and file version a.b.c.d.
std::vector<uint8_t> BuildVersionBlock(uint16_t a, uint16_t b, uint16_t c, uint16_t d);

// Offset of VS_FIXEDFILEINFO inside a version block.
constexpr size_t kFixedInfoOffset = 40;
// Size of a version block as BuildVersionBlock writes it.
constexpr size_t kVersionBlockSize = kFixedInfoOffset + 52;

} // namespace plat::restable
