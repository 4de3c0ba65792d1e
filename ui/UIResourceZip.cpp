// Zip archive reading over minizip (see UIResourceZip.h).
#include "ui/UIResourceZip.h"

#include "plat/sys/text.h"

#include <unzip.h>

#include <cstring>
#include <new>

namespace Veneer {

namespace {

// Deflate cannot expand data by more than about 1032:1; a directory that
// claims more than this is damaged, and believing it would make us allocate
// gigabytes for a few bytes of input.
constexpr uint64_t kMaxDeflateRatio = 1100;
// Longest requested name that can match (in characters).
constexpr size_t kMaxNameLength = 255;

bool AsciiEqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'a' && ca <= 'z')
            ca = static_cast<unsigned char>(ca - 'a' + 'A');
        if (cb >= 'a' && cb <= 'z')
            cb = static_cast<unsigned char>(cb - 'a' + 'A');
        if (ca != cb)
            return false;
    }
    return true;
}

} // namespace

// A read-only stream over a caller's buffer for minizip's I/O table.
struct CSkinArchive::MemorySource {
    const BYTE* data = nullptr;
    uint64_t size = 0;
    uint64_t pos = 0;

    static voidpf ZCALLBACK Open(voidpf opaque, const void*, int mode) {
        if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
            return nullptr;
        auto* self = static_cast<MemorySource*>(opaque);
        self->pos = 0;
        return self;
    }
    static uLong ZCALLBACK Read(voidpf, voidpf stream, void* buf, uLong size) {
        auto* self = static_cast<MemorySource*>(stream);
        uint64_t avail = self->pos < self->size ? self->size - self->pos : 0;
        uint64_t n = size < avail ? size : avail;
        if (n)
            memcpy(buf, self->data + self->pos, static_cast<size_t>(n));
        self->pos += n;
        return static_cast<uLong>(n);
    }
    static uLong ZCALLBACK Write(voidpf, voidpf, const void*, uLong) { return 0; }
    static ZPOS64_T ZCALLBACK Tell(voidpf, voidpf stream) {
        return static_cast<MemorySource*>(stream)->pos;
    }
    static long ZCALLBACK Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
        auto* self = static_cast<MemorySource*>(stream);
        uint64_t base;
        switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET:
            base = 0;
            break;
        case ZLIB_FILEFUNC_SEEK_CUR:
            base = self->pos;
            break;
        case ZLIB_FILEFUNC_SEEK_END:
            base = self->size;
            break;
        default:
            return -1;
        }
        // Offsets are unsigned; a seek outside the buffer is an error.
        if (offset > self->size || base + offset > self->size)
            return -1;
        self->pos = base + offset;
        return 0;
    }
    static int ZCALLBACK Close(voidpf, voidpf) { return 0; }
    static int ZCALLBACK Error(voidpf, voidpf) { return 0; }
};

CSkinArchive::~CSkinArchive() {
    if (m_unz)
        unzClose(static_cast<unzFile>(m_unz));
}

std::unique_ptr<CSkinArchive> CSkinArchive::OpenMemory(const void* pData, size_t nSize) {
    if (!pData || nSize == 0)
        return nullptr;
    std::unique_ptr<CSkinArchive> archive(new (std::nothrow) CSkinArchive());
    if (!archive)
        return nullptr;
    archive->m_mem.reset(new MemorySource());
    archive->m_mem->data = static_cast<const BYTE*>(pData);
    archive->m_mem->size = nSize;
    zlib_filefunc64_def funcs{};
    funcs.zopen64_file = &MemorySource::Open;
    funcs.zread_file = &MemorySource::Read;
    funcs.zwrite_file = &MemorySource::Write;
    funcs.ztell64_file = &MemorySource::Tell;
    funcs.zseek64_file = &MemorySource::Seek;
    funcs.zclose_file = &MemorySource::Close;
    funcs.zerror_file = &MemorySource::Error;
    funcs.opaque = archive->m_mem.get();
    archive->m_unz = unzOpen2_64("membuffer", &funcs);
    if (!archive->m_unz || !archive->ReadDirectory())
        return nullptr;
    return archive;
}

std::unique_ptr<CSkinArchive> CSkinArchive::OpenFile(LPCTSTR pstrPath) {
    if (!pstrPath || !*pstrPath)
        return nullptr;
    std::string path = plat::WideToUtf8(pstrPath);
    std::unique_ptr<CSkinArchive> archive(new (std::nothrow) CSkinArchive());
    if (!archive)
        return nullptr;
    archive->m_unz = unzOpen64(path.c_str());
    if (!archive->m_unz || !archive->ReadDirectory())
        return nullptr;
    return archive;
}

bool CSkinArchive::ReadDirectory() {
    unzFile uf = static_cast<unzFile>(m_unz);
    unz_global_info64 gi;
    if (unzGetGlobalInfo64(uf, &gi) != UNZ_OK)
        return false;
    int err = unzGoToFirstFile(uf);
    if (err == UNZ_END_OF_LIST_OF_FILE)
        return true; // an empty archive is still an archive
    std::vector<char> name(65536);
    while (err == UNZ_OK) {
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(uf, &info, name.data(), static_cast<uLong>(name.size()),
                                    nullptr, 0, nullptr, 0) != UNZ_OK)
            return false;
        unz64_file_pos pos;
        if (unzGetFilePos64(uf, &pos) != UNZ_OK)
            return false;
        size_t len = strnlen(name.data(), name.size());
        m_entries.push_back(Entry{std::string(name.data(), len), info.uncompressed_size,
                                  info.compressed_size, pos.pos_in_zip_directory, pos.num_of_file});
        err = unzGoToNextFile(uf);
    }
    // Anything but a clean end means the directory is damaged; keep what was
    // read only when the listing ended normally.
    return err == UNZ_END_OF_LIST_OF_FILE;
}

int CSkinArchive::FindEntry(LPCTSTR pstrName) const {
    if (!pstrName || wcslen(pstrName) > kMaxNameLength)
        return -1;
    std::string name = plat::WideToUtf8(pstrName);
    for (char& ch : name)
        if (ch == '\\')
            ch = '/';
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (AsciiEqualNoCase(m_entries[i].name, name))
            return static_cast<int>(i);
    return -1;
}

CSkinArchive::Result CSkinArchive::Extract(LPCTSTR pstrName, std::vector<BYTE>& data,
                                           uint64_t dwMaxSize) {
    data.clear();
    int index = FindEntry(pstrName);
    if (index < 0)
        return Result::NotFound;
    return ExtractEntry(index, data, dwMaxSize);
}

CSkinArchive::Result CSkinArchive::ExtractEntry(int index, std::vector<BYTE>& data,
                                                uint64_t dwMaxSize) {
    const Entry& e = m_entries[static_cast<size_t>(index)];
    if (e.size == 0)
        return Result::Empty;
    if (dwMaxSize > 0 && e.size > dwMaxSize)
        return Result::TooLarge;
    if (e.size > e.compressedSize * kMaxDeflateRatio + 64 || e.size > 0x7FFFFFFF)
        return Result::ExtractFailed;
    unzFile uf = static_cast<unzFile>(m_unz);
    unz64_file_pos pos{e.posInCentralDir, e.numFile};
    if (unzGoToFilePos64(uf, &pos) != UNZ_OK)
        return Result::ExtractFailed;
    if (unzOpenCurrentFile(uf) != UNZ_OK)
        return Result::ExtractFailed;
    try {
        data.resize(static_cast<size_t>(e.size));
    } catch (const std::bad_alloc&) {
        unzCloseCurrentFile(uf);
        data.clear();
        return Result::ExtractFailed;
    }
    size_t done = 0;
    while (done < data.size()) {
        size_t chunk = data.size() - done;
        if (chunk > (1u << 30))
            chunk = 1u << 30;
        int n = unzReadCurrentFile(uf, data.data() + done, static_cast<unsigned>(chunk));
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    // Closing checks the CRC once the whole entry was read.
    int closeErr = unzCloseCurrentFile(uf);
    if (done != data.size() || closeErr != UNZ_OK) {
        data.clear();
        return Result::ExtractFailed;
    }
    return Result::Ok;
}

} // namespace Veneer
