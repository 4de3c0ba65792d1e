// CSkinArchive: read access to a zip archive held in memory or in a file.
//
// The central directory is read once when the archive is opened. Entries are
// found by name ignoring the case of ASCII letters only, with backslashes in
// the requested name read as forward slashes, in directory order (the first
// match wins), and extracted whole into memory. Damaged archives never crash:
// every failure is a result.
#pragma once

#include "ui/UIBase.h"

#include <memory>
#include <string>
#include <vector>

namespace Veneer {

class CSkinArchive {
public:
    enum class Result {
        Ok,
        NotFound,     // no entry of that name
        Empty,        // the entry's uncompressed size is 0
        TooLarge,     // larger than the caller's limit
        ExtractFailed // corrupt data, CRC mismatch, unsupported method
    };

    ~CSkinArchive();
    CSkinArchive(const CSkinArchive&) = delete;
    CSkinArchive& operator=(const CSkinArchive&) = delete;

    // Opens an archive read in place from pData (which must outlive the
    // archive); null when it is not a readable zip.
    static std::unique_ptr<CSkinArchive> OpenMemory(const void* pData, size_t nSize);
    // Opens a zip file; null when it cannot be opened or is not a zip.
    static std::unique_ptr<CSkinArchive> OpenFile(LPCTSTR pstrPath);

    // Number of entries and their names (narrow, as stored) in directory order.
    int GetEntryCount() const { return static_cast<int>(m_entries.size()); }
    const std::string& GetEntryName(int index) const {
        return m_entries[static_cast<size_t>(index)].name;
    }

    // Index of the first entry matching pstrName, or -1. A name of 256
    // characters or more never matches.
    int FindEntry(LPCTSTR pstrName) const;
    // Uncompressed size of an entry as the directory records it.
    uint64_t GetEntrySize(int index) const { return m_entries[static_cast<size_t>(index)].size; }

    // Finds and extracts pstrName into data. dwMaxSize > 0 refuses larger
    // entries before inflating. data is cleared unless the result is Ok.
    Result Extract(LPCTSTR pstrName, std::vector<BYTE>& data, uint64_t dwMaxSize = 0);

private:
    struct Entry {
        std::string name;
        uint64_t size;
        uint64_t compressedSize;
        uint64_t posInCentralDir;
        uint64_t numFile;
    };
    struct MemorySource;

    CSkinArchive() = default;
    bool ReadDirectory();
    Result ExtractEntry(int index, std::vector<BYTE>& data, uint64_t dwMaxSize);

    void* m_unz = nullptr; // minizip unzFile
    std::unique_ptr<MemorySource> m_mem;
    std::vector<Entry> m_entries;
};

} // namespace Veneer
