// Version information read from the resource section of any ELF file.
//
// Only the ELF header and section headers are read to find the section;
// every offset and size is checked against the file, so a damaged or hostile
// file is reported as having no version information.
#include "plat/sys/version.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <vector>

#include "plat/sys/resource_table.h"
#include "plat/sys/text.h"

namespace plat {

namespace {

// Resource sections larger than this are refused (a damaged header could
// otherwise ask for an enormous allocation).
constexpr uint64_t kMaxSectionSize = uint64_t(512) << 20;

class FileReader {
public:
    explicit FileReader(const std::string& path) : m_file(path, std::ios::binary) {
        if (m_file) {
            m_file.seekg(0, std::ios::end);
            std::streamoff end = m_file.tellg();
            m_size = end > 0 ? uint64_t(end) : 0;
        }
    }
    bool Ok() const { return bool(m_file); }
    uint64_t Size() const { return m_size; }
    bool Read(uint64_t offset, size_t length, void* out) {
        if (offset > m_size || length > m_size - offset)
            return false;
        m_file.clear();
        m_file.seekg(std::streamoff(offset));
        m_file.read(static_cast<char*>(out), std::streamsize(length));
        return bool(m_file);
    }

private:
    std::ifstream m_file;
    uint64_t m_size = 0;
};

uint64_t Get(const uint8_t* p, size_t bytes) {
    uint64_t v = 0;
    for (size_t i = 0; i < bytes; ++i)
        v |= uint64_t(p[i]) << (8 * i);
    return v;
}

// Fields of one section header, for 32- and 64-bit ELF.
struct Section {
    uint32_t name = 0;
    uint32_t type = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
    uint32_t link = 0;
};

bool ReadSection(FileReader& file, uint64_t at, bool is64, Section& out) {
    uint8_t h[64];
    size_t length = is64 ? 64 : 40;
    if (!file.Read(at, length, h))
        return false;
    out.name = uint32_t(Get(h, 4));
    out.type = uint32_t(Get(h + 4, 4));
    out.offset = is64 ? Get(h + 24, 8) : Get(h + 16, 4);
    out.size = is64 ? Get(h + 32, 8) : Get(h + 20, 4);
    out.link = uint32_t(is64 ? Get(h + 40, 4) : Get(h + 24, 4));
    return true;
}

constexpr uint32_t SHT_NOBITS = 8;

// The contents of the resource section. Sets `error` on failure.
bool ReadResourceSection(const std::string& path, std::vector<uint8_t>& out, DWORD& error) {
    FileReader file(path);
    if (!file.Ok()) {
        error = DWORD(ERROR_FILE_NOT_FOUND);
        return false;
    }
    error = DWORD(ERROR_BAD_FORMAT);
    uint8_t ident[64];
    if (!file.Read(0, 16, ident) || std::memcmp(ident,
                                                "\x7f"
                                                "ELF",
                                                4) != 0)
        return false;
    bool is64 = ident[4] == 2;
    if ((ident[4] != 1 && ident[4] != 2) || ident[5] != 1)
        return false; // little-endian only
    if (!file.Read(0, is64 ? 64 : 52, ident))
        return false;
    uint64_t shoff = is64 ? Get(ident + 40, 8) : Get(ident + 32, 4);
    uint64_t shentsize = Get(ident + (is64 ? 58 : 46), 2);
    uint64_t shnum = Get(ident + (is64 ? 60 : 48), 2);
    uint64_t shstrndx = Get(ident + (is64 ? 62 : 50), 2);
    if (shoff == 0 || shentsize < (is64 ? 64u : 40u))
        return false;
    if (shnum == 0 || shstrndx == 0xFFFF) {
        // Extended numbering: the real values sit in section header 0.
        Section first;
        if (!ReadSection(file, shoff, is64, first))
            return false;
        if (shnum == 0)
            shnum = first.size;
        if (shstrndx == 0xFFFF)
            shstrndx = first.link;
    }
    if (shnum > 65536 * 16 || shstrndx >= shnum)
        return false;
    if (shoff > file.Size() || shnum * shentsize > file.Size() - shoff)
        return false;
    Section names;
    if (!ReadSection(file, shoff + shstrndx * shentsize, is64, names))
        return false;

    const std::string wanted = restable::kSectionName;
    for (uint64_t i = 1; i < shnum; ++i) {
        Section section;
        if (!ReadSection(file, shoff + i * shentsize, is64, section))
            return false;
        if (section.name >= names.size)
            continue;
        char name[16] = {};
        size_t avail = size_t(std::min<uint64_t>(names.size - section.name, sizeof(name) - 1));
        if (!file.Read(names.offset + section.name, avail, name))
            continue;
        if (wanted != name)
            continue;
        if (section.type == SHT_NOBITS || section.size > kMaxSectionSize)
            return false;
        out.resize(size_t(section.size));
        if (!file.Read(section.offset, out.size(), out.data()))
            return false;
        return true;
    }
    error = DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return false;
}

// The version block of a file, or false with `error` set.
bool ReadVersionBlock(LPCWSTR fileName, std::vector<uint8_t>& block, DWORD& error) {
    if (fileName == nullptr || fileName[0] == L'\0') {
        error = DWORD(ERROR_FILE_NOT_FOUND);
        return false;
    }
    std::vector<uint8_t> section;
    if (!ReadResourceSection(WideToChsMultiByte(fileName), section, error))
        return false;
    restable::View view;
    if (!view.Parse(section.data(), section.size())) {
        error = DWORD(ERROR_BAD_FORMAT);
        return false;
    }
    const restable::Entry* entry = view.Find("#16", "#1");
    if (entry == nullptr || entry->size == 0) {
        error = DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return false;
    }
    // A block shorter than its fixed part, or claiming more bytes than it
    // has, would send VerQueryValue past the caller's buffer.
    if (entry->size < restable::kVersionBlockSize || Get(entry->data, 2) > entry->size) {
        error = DWORD(ERROR_BAD_FORMAT);
        return false;
    }
    block.assign(entry->data, entry->data + entry->size);
    return true;
}

} // namespace

DWORD GetFileVersionInfoSize(LPCWSTR fileName, LPDWORD handle) {
    if (handle)
        *handle = 0;
    std::vector<uint8_t> block;
    DWORD error = 0;
    if (!ReadVersionBlock(fileName, block, error)) {
        SetLastError(error);
        return 0;
    }
    return DWORD(block.size());
}

BOOL GetFileVersionInfo(LPCWSTR fileName, DWORD, DWORD size, LPVOID data) {
    if (data == nullptr) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return FALSE;
    }
    std::vector<uint8_t> block;
    DWORD error = 0;
    if (!ReadVersionBlock(fileName, block, error)) {
        SetLastError(error);
        return FALSE;
    }
    if (size < block.size()) {
        SetLastError(DWORD(ERROR_INSUFFICIENT_BUFFER));
        return FALSE;
    }
    std::memcpy(data, block.data(), block.size());
    return TRUE;
}

BOOL VerQueryValue(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, UINT* length) {
    if (buffer)
        *buffer = nullptr;
    if (length)
        *length = 0;
    if (block == nullptr || subBlock == nullptr || buffer == nullptr || length == nullptr)
        return FALSE;
    if (std::wcscmp(subBlock, L"\\") != 0)
        return FALSE;
    const auto* bytes = static_cast<const uint8_t*>(block);
    // wLength and wValueLength of the block; the fixed part follows the key.
    size_t total = size_t(Get(bytes, 2));
    size_t valueLength = size_t(Get(bytes + 2, 2));
    if (total < restable::kVersionBlockSize || valueLength != sizeof(VS_FIXEDFILEINFO))
        return FALSE;
    const uint8_t* fixed = bytes + restable::kFixedInfoOffset;
    if (Get(fixed, 4) != VS_FFI_SIGNATURE)
        return FALSE;
    *buffer = const_cast<uint8_t*>(fixed);
    *length = UINT(sizeof(VS_FIXEDFILEINFO));
    return TRUE;
}

} // namespace plat
