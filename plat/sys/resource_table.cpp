// Reading and writing resource tables.
#include "plat/sys/resource_table.h"

#include <cstring>

#include "plat/sys/version.h"

namespace plat::restable {

namespace {

uint32_t ReadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
    out[at + 2] = uint8_t(v >> 16);
    out[at + 3] = uint8_t(v >> 24);
}

void PutU16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
}

bool InBounds(uint32_t offset, uint32_t length, size_t size) {
    return uint64_t(offset) + uint64_t(length) <= uint64_t(size);
}

} // namespace

std::string NormaliseKey(const std::string& key) {
    std::string digits = key;
    if (!digits.empty() && digits[0] == '#')
        digits.erase(0, 1);
    bool numeric = !digits.empty() && digits.size() <= 5 &&
                   digits.find_first_not_of("0123456789") == std::string::npos;
    if (numeric) {
        unsigned long n = std::stoul(digits);
        if (n < 65536)
            return "#" + std::to_string(n);
    }
    std::string out = key;
    for (auto& c : out)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return out;
}

bool View::Parse(const uint8_t* table, size_t size) {
    m_entries.clear();
    if (table == nullptr || size < kHeaderSize || std::memcmp(table, kMagic, 8) != 0)
        return false;
    uint32_t count = ReadU32(table + 8);
    if (uint64_t(count) * kEntrySize > size - kHeaderSize)
        return false;
    std::vector<Entry> entries;
    entries.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = table + kHeaderSize + size_t(i) * kEntrySize;
        uint32_t typeOff = ReadU32(e), typeLen = ReadU32(e + 4);
        uint32_t nameOff = ReadU32(e + 8), nameLen = ReadU32(e + 12);
        uint32_t dataOff = ReadU32(e + 16), dataSize = ReadU32(e + 20);
        if (!InBounds(typeOff, typeLen, size) || !InBounds(nameOff, nameLen, size) ||
            !InBounds(dataOff, dataSize, size))
            return false;
        Entry entry;
        entry.type.assign(reinterpret_cast<const char*>(table + typeOff), typeLen);
        entry.name.assign(reinterpret_cast<const char*>(table + nameOff), nameLen);
        entry.data = table + dataOff;
        entry.size = dataSize;
        entries.push_back(std::move(entry));
    }
    m_entries = std::move(entries);
    return true;
}

const Entry* View::Find(const std::string& type, const std::string& name) const {
    for (const auto& entry : m_entries) {
        if (NormaliseKey(entry.type) == type && NormaliseKey(entry.name) == name)
            return &entry;
    }
    return nullptr;
}

std::vector<uint8_t> Build(const std::vector<Input>& inputs) {
    std::vector<uint8_t> out(kHeaderSize + inputs.size() * kEntrySize, 0);
    std::memcpy(out.data(), kMagic, 8);
    PutU32(out, 8, uint32_t(inputs.size()));
    for (size_t i = 0; i < inputs.size(); ++i) {
        const Input& in = inputs[i];
        std::string type = NormaliseKey(in.type);
        std::string name = NormaliseKey(in.name);
        size_t entry = kHeaderSize + i * kEntrySize;
        PutU32(out, entry, uint32_t(out.size()));
        PutU32(out, entry + 4, uint32_t(type.size()));
        out.insert(out.end(), type.begin(), type.end());
        PutU32(out, entry + 8, uint32_t(out.size()));
        PutU32(out, entry + 12, uint32_t(name.size()));
        out.insert(out.end(), name.begin(), name.end());
        out.resize((out.size() + 7) & ~size_t(7), 0);
        PutU32(out, entry + 16, uint32_t(out.size()));
        PutU32(out, entry + 20, uint32_t(in.data.size()));
        out.insert(out.end(), in.data.begin(), in.data.end());
    }
    out.resize((out.size() + 7) & ~size_t(7), 0);
    return out;
}

std::vector<uint8_t> BuildVersionBlock(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
    std::vector<uint8_t> out(kVersionBlockSize, 0);
    PutU16(out, 0, uint16_t(kVersionBlockSize)); // wLength
    PutU16(out, 2, 52);                          // wValueLength
    PutU16(out, 4, 0);                           // wType: binary
    const char* key = "VS_VERSION_INFO";         // szKey, UTF-16LE with terminator
    for (size_t i = 0; key[i]; ++i)
        PutU16(out, 6 + 2 * i, uint16_t(key[i]));
    // Terminator and padding up to kFixedInfoOffset are already zero.
    VS_FIXEDFILEINFO info{};
    info.dwSignature = VS_FFI_SIGNATURE;
    info.dwStrucVersion = VS_FFI_STRUCVERSION;
    info.dwFileVersionMS = DWORD(a) << 16 | b;
    info.dwFileVersionLS = DWORD(c) << 16 | d;
    info.dwProductVersionMS = info.dwFileVersionMS;
    info.dwProductVersionLS = info.dwFileVersionLS;
    info.dwFileFlagsMask = VS_FFI_FILEFLAGSMASK;
    info.dwFileOS = VOS_NT_WINDOWS32;
    info.dwFileType = VFT_APP;
    DWORD fields[13];
    std::memcpy(fields, &info, sizeof(fields));
    for (size_t i = 0; i < 13; ++i)
        PutU32(out, kFixedInfoOffset + 4 * i, fields[i]);
    return out;
}

} // namespace plat::restable
