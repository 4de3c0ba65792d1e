// The spool file: group-committed appends, recovery at open, replay reads.
#include "server/spool.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace distd {

namespace {

const char kFileHeader[8] = {'D', 'I', 'S', 'T', 'D', 'S', 'P', '1'};
const char kRecordMagic[4] = {'D', 'S', 'R', '1'};
constexpr uint64_t kHeaderBytes = sizeof(kFileHeader);
constexpr size_t kRecordHead = 12;
// No record is near this; a larger length is damage, not a record.
constexpr uint32_t kLargestPayload = 64u << 20;

enum : uint8_t { kReportRecord = 1, kRejectRecord = 2 };

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

class Writer {
public:
    explicit Writer(std::string& out) : m_out(out) {}
    void U8(uint8_t value) { m_out += static_cast<char>(value); }
    void U32(uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            m_out += static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    }
    void I64(int64_t value) {
        const uint64_t bits = static_cast<uint64_t>(value);
        for (int i = 0; i < 8; ++i) {
            m_out += static_cast<char>((bits >> (8 * i)) & 0xFF);
        }
    }
    void Str(const std::string& value) {
        U32(static_cast<uint32_t>(value.size()));
        m_out += value;
    }

private:
    std::string& m_out;
};

class Reader {
public:
    explicit Reader(const std::string& in) : m_in(in) {}
    bool U8(uint8_t& value) {
        if (m_at + 1 > m_in.size()) {
            return false;
        }
        value = static_cast<uint8_t>(m_in[m_at++]);
        return true;
    }
    bool U32(uint32_t& value) {
        if (m_at + 4 > m_in.size()) {
            return false;
        }
        value = 0;
        for (int i = 0; i < 4; ++i) {
            value |= static_cast<uint32_t>(static_cast<uint8_t>(m_in[m_at++])) << (8 * i);
        }
        return true;
    }
    bool I64(int64_t& value) {
        if (m_at + 8 > m_in.size()) {
            return false;
        }
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) {
            bits |= static_cast<uint64_t>(static_cast<uint8_t>(m_in[m_at++])) << (8 * i);
        }
        value = static_cast<int64_t>(bits);
        return true;
    }
    bool Str(std::string& value) {
        uint32_t size = 0;
        if (!U32(size) || size > m_in.size() - m_at) {
            return false;
        }
        value.assign(m_in, m_at, size);
        m_at += size;
        return true;
    }
    bool AtEnd() const { return m_at == m_in.size(); }

private:
    const std::string& m_in;
    size_t m_at = 0;
};

uint32_t Crc(const std::string& bytes) {
    return static_cast<uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

uint32_t LittleU32(const char* bytes) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << (8 * i);
    }
    return value;
}

void AppendRecord(std::string& out, const StoreItem& item) {
    const std::string payload = EncodeSpoolItem(item);
    out.append(kRecordMagic, sizeof(kRecordMagic));
    Writer head(out);
    head.U32(static_cast<uint32_t>(payload.size()));
    head.U32(Crc(payload));
    out += payload;
}

bool WriteAt(int fd, const std::string& bytes, uint64_t at) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(at + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Reads exactly `size` bytes at `at`; false at the end of the file or on an
// error (errno 0 at the end).
bool ReadAt(int fd, std::string& bytes, size_t size, uint64_t at) {
    bytes.resize(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, &bytes[done], size - done, static_cast<off_t>(at + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = 0;
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// The record at `at`: its payload and its total size. False when there is
// no whole, intact record there.
bool ReadRecord(int fd, uint64_t at, uint64_t end, std::string& payload, uint64_t& size) {
    std::string head;
    if (at + kRecordHead > end || !ReadAt(fd, head, kRecordHead, at) ||
        std::memcmp(head.data(), kRecordMagic, sizeof(kRecordMagic)) != 0) {
        return false;
    }
    const uint32_t length = LittleU32(head.data() + 4);
    const uint32_t crc = LittleU32(head.data() + 8);
    if (length > kLargestPayload || at + kRecordHead + length > end ||
        !ReadAt(fd, payload, length, at + kRecordHead) || Crc(payload) != crc) {
        return false;
    }
    size = kRecordHead + length;
    return true;
}

// Makes a new file's name last across a crash.
void SyncFolder(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

struct Spool::Group {
    std::string bytes;
    uint64_t records = 0;
    bool done = false;
    bool ok = false;
    std::string error;
};

std::string EncodeSpoolItem(const StoreItem& item) {
    std::string out;
    Writer w(out);
    w.U8(item.rejected ? kRejectRecord : kReportRecord);
    w.Str(item.receipt);
    w.I64(item.receivedAt);
    w.Str(item.source);
    if (item.rejected) {
        w.U8(static_cast<uint8_t>(item.reason));
        w.Str(item.detail);
        w.Str(item.raw);
        return out;
    }
    const ReportRecord& r = item.report;
    w.Str(r.product);
    w.U8(static_cast<uint8_t>(r.kind));
    for (const std::string* field :
         {&r.device.channel, &r.device.osName, &r.device.osType, &r.device.devName,
          &r.device.ieVersion, &r.device.version, &r.device.simId}) {
        w.Str(*field);
    }
    w.I64(r.openTime);
    w.I64(r.closeTime);
    w.I64(r.actTime);
    w.Str(r.errorMsg);
    w.Str(r.document);
    w.U32(static_cast<uint32_t>(r.events.size()));
    for (const EventRecord& event : r.events) {
        w.Str(event.name);
        w.Str(event.label);
        w.I64(event.actTime);
        w.I64(event.num);
    }
    return out;
}

bool DecodeSpoolItem(const std::string& payload, StoreItem& out) {
    Reader r(payload);
    out = StoreItem();
    uint8_t type = 0;
    if (!r.U8(type) || (type != kReportRecord && type != kRejectRecord) || !r.Str(out.receipt) ||
        !r.I64(out.receivedAt) || !r.Str(out.source)) {
        return false;
    }
    if (type == kRejectRecord) {
        uint8_t reason = 0;
        out.rejected = true;
        if (!r.U8(reason) || reason >= kRejectReasonCount || !r.Str(out.detail) ||
            !r.Str(out.raw)) {
            return false;
        }
        out.reason = static_cast<RejectReason>(reason);
        return r.AtEnd();
    }
    ReportRecord& report = out.report;
    uint8_t kind = 0;
    if (!r.Str(report.product) || !r.U8(kind) || kind > static_cast<uint8_t>(ReportKind::Events)) {
        return false;
    }
    report.kind = static_cast<ReportKind>(kind);
    for (std::string* field : {&report.device.channel, &report.device.osName, &report.device.osType,
                               &report.device.devName, &report.device.ieVersion,
                               &report.device.version, &report.device.simId}) {
        if (!r.Str(*field)) {
            return false;
        }
    }
    uint32_t events = 0;
    if (!r.I64(report.openTime) || !r.I64(report.closeTime) || !r.I64(report.actTime) ||
        !r.Str(report.errorMsg) || !r.Str(report.document) || !r.U32(events) ||
        events > payload.size()) {
        return false;
    }
    report.events.resize(events);
    for (EventRecord& event : report.events) {
        if (!r.Str(event.name) || !r.Str(event.label) || !r.I64(event.actTime) ||
            !r.I64(event.num)) {
            return false;
        }
    }
    return r.AtEnd();
}

Spool::Spool(std::string path, int fd, uint64_t maxBytes)
    : m_path(std::move(path)), m_fd(fd), m_maxBytes(maxBytes) {}

Spool::~Spool() {
    ::close(m_fd);
}

std::unique_ptr<Spool> Spool::Open(const std::string& path, uint64_t maxBytes, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = SystemError("spool " + path);
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? "spool " + path +
                                           " is in use by another distd (give each its own "
                                           "--spool)"
                                     : SystemError("spool " + path + ": cannot lock");
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<Spool> spool(new Spool(path, fd, maxBytes));
    if (!spool->Recover(error)) {
        error = "spool " + path + ": " + error;
        return nullptr;
    }
    return spool;
}

bool Spool::Recover(std::string& error) {
    struct stat info;
    if (::fstat(m_fd, &info) != 0) {
        error = SystemError("cannot read its size");
        return false;
    }
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    if (size == 0) {
        // A new spool: its header, synced, and its name in the folder.
        if (!WriteAt(m_fd, std::string(kFileHeader, kHeaderBytes), 0) || ::fdatasync(m_fd) != 0) {
            error = SystemError("cannot write");
            return false;
        }
        SyncFolder(m_path);
        m_end = m_reserved = m_replayed = kHeaderBytes;
        return true;
    }
    std::string header;
    if (size < kHeaderBytes || !ReadAt(m_fd, header, kHeaderBytes, 0) ||
        std::memcmp(header.data(), kFileHeader, kHeaderBytes) != 0) {
        error = "it is not a distd spool; refusing to use it";
        return false;
    }
    uint64_t at = kHeaderBytes;
    std::string payload;
    uint64_t recordSize = 0;
    while (ReadRecord(m_fd, at, size, payload, recordSize)) {
        StoreItem item;
        if (!DecodeSpoolItem(payload, item)) {
            break;
        }
        at += recordSize;
        ++m_records;
    }
    if (at < size) {
        // A write cut by a crash (never answered), or damage: the bytes go
        // aside, so that nothing is thrown away unseen.
        const std::string aside = m_path + ".damaged-" + std::to_string(std::time(nullptr));
        std::string tail;
        const int out = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const bool kept = out >= 0 && ReadAt(m_fd, tail, size - at, at) && WriteAt(out, tail, 0) &&
                          ::fsync(out) == 0;
        if (out >= 0) {
            ::close(out);
        }
        if (!kept) {
            error = SystemError("cannot keep its unreadable end aside in " + aside);
            return false;
        }
        std::fprintf(stderr,
                     "distd: spool %s: %llu unreadable byte(s) at its end (a write cut short) "
                     "moved to %s\n",
                     m_path.c_str(), static_cast<unsigned long long>(size - at), aside.c_str());
        if (::ftruncate(m_fd, static_cast<off_t>(at)) != 0 || ::fdatasync(m_fd) != 0) {
            error = SystemError("cannot cut off its unreadable end");
            return false;
        }
    }
    m_end = m_reserved = at;
    m_replayed = kHeaderBytes;
    if (m_records > 0) {
        std::fprintf(stderr, "distd: spool %s holds %llu report(s) to replay into the store\n",
                     m_path.c_str(), static_cast<unsigned long long>(m_records));
    }
    return true;
}

bool Spool::Append(const std::vector<const StoreItem*>& items, std::string& error) {
    std::string bytes;
    uint64_t records = 0;
    for (const StoreItem* item : items) {
        if (item->dropTally == 0) {
            AppendRecord(bytes, *item);
            ++records;
        }
    }
    if (records == 0) {
        return true;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_reserved + bytes.size() > m_maxBytes) {
        error = "the spool " + m_path + " is full (" + std::to_string(m_maxBytes) + " bytes)";
        return false;
    }
    m_reserved += bytes.size();
    if (!m_open) {
        m_open = std::make_shared<Group>();
    }
    const std::shared_ptr<Group> mine = m_open;
    mine->bytes += bytes;
    mine->records += records;
    while (!mine->done) {
        if (m_writing) {
            m_written.wait(lock);
            continue;
        }
        // This thread writes every record gathered so far, its own among
        // them, with one sync.
        const std::shared_ptr<Group> group = std::move(m_open);
        m_open.reset();
        m_writing = true;
        const uint64_t at = m_end;
        lock.unlock();
        bool ok = WriteAt(m_fd, group->bytes, at) && ::fdatasync(m_fd) == 0;
        std::string failure;
        if (!ok) {
            failure = SystemError("spool " + m_path + ": cannot write");
            // Nothing of a failed group may stay behind to be replayed.
            if (::ftruncate(m_fd, static_cast<off_t>(at)) != 0) {
                std::fprintf(stderr, "distd: %s; cutting it back failed too\n", failure.c_str());
            }
        }
        lock.lock();
        m_writing = false;
        if (ok) {
            m_end = at + group->bytes.size();
            m_records += group->records;
        } else {
            m_reserved -= group->bytes.size();
        }
        group->done = true;
        group->ok = ok;
        group->error = failure;
        group->bytes.clear();
        m_written.notify_all();
    }
    if (!mine->ok) {
        error = mine->error;
    }
    return mine->ok;
}

bool Spool::ReadNext(size_t max, std::vector<StoreItem>& out, uint64_t& next, std::string& error) {
    out.clear();
    uint64_t end;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        next = m_replayed;
        end = m_end;
    }
    std::string payload;
    uint64_t size = 0;
    while (out.size() < max && next < end) {
        StoreItem item;
        errno = 0;
        if (!ReadRecord(m_fd, next, end, payload, size) || !DecodeSpoolItem(payload, item)) {
            error = errno
                        ? SystemError("spool " + m_path + ": cannot read")
                        : "spool " + m_path + ": unreadable record at byte " + std::to_string(next);
            return false;
        }
        out.push_back(std::move(item));
        next += size;
    }
    return true;
}

void Spool::Replayed(uint64_t next, size_t records) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_replayed = next;
    m_records -= std::min<uint64_t>(records, m_records);
    if (m_replayed == m_end && !m_writing) {
        // Everything written is stored: start over. Records gathering for
        // the next write go after the header (their writer takes m_end when
        // it starts). A crash before this leaves records that are replayed
        // again, and stored once by receipt.
        if (::ftruncate(m_fd, static_cast<off_t>(kHeaderBytes)) == 0) {
            ::fdatasync(m_fd);
            m_end = m_replayed = kHeaderBytes;
            m_reserved = kHeaderBytes + (m_open ? m_open->bytes.size() : 0);
            m_records = 0;
        }
    }
}

Spool::State Spool::GetState() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    State state;
    state.records = m_records;
    state.bytes = m_end;
    state.maxBytes = m_maxBytes;
    return state;
}

} // namespace distd
