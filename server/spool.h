// The spool: a local append-only file that holds accepted reports while the
// store is slow or out of reach, so that a report is answered only once it
// is on disk somewhere that survives a crash.
//
// Appends from many threads are group-committed: one thread writes every
// record that has gathered and syncs the file once for all of them
// (fdatasync), and each Append returns only when its own records are synced.
// The ingest writer reads the records back in order and replays them into
// the store; once everything in the file is stored the file is cut back to
// its header. Records carry their report's receipt, so a record replayed
// twice (after a crash between the store's commit and the cut) is stored
// once.
//
// On disk: an 8-byte header "DISTDSP1", then records, each a 12-byte head
// (the magic "DSR1", the payload's length and its CRC-32, little-endian)
// and the payload. A record cut short by a crash in the middle of a write is
// found at the next open (it was never answered) and removed; the bytes from
// the first unreadable record on are kept aside in a file beside the spool.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/store.h"

namespace distd {

class Spool {
public:
    // Opens the spool at `path`, creating it, and locks it for this process
    // (a second distd on the same spool is refused). `maxBytes` bounds the
    // file; past it appends are refused. Null with a reason on failure.
    static std::unique_ptr<Spool> Open(const std::string& path, uint64_t maxBytes,
                                       std::string& error);
    ~Spool();
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    // Appends the items (reports and rejected reports; drop tallies are not
    // spooled) and returns once they are written and synced. False with a
    // reason when the spool is full or the write failed; nothing of the
    // items is then in the file. Any thread.
    bool Append(const std::vector<const StoreItem*>& items, std::string& error);

    // Up to `max` records not yet replayed, oldest first, and the position
    // after the last of them. Only the ingest writer calls this and
    // Replayed. False with a reason when the file cannot be read.
    bool ReadNext(size_t max, std::vector<StoreItem>& out, uint64_t& next, std::string& error);
    // The `records` read up to `next` are in the store. When that is the
    // whole file and no write is under way the file is cut back to its
    // header.
    void Replayed(uint64_t next, size_t records);

    struct State {
        uint64_t records = 0; // records not yet replayed
        uint64_t bytes = 0;   // the file's size
        uint64_t maxBytes = 0;
    };
    State GetState() const;
    const std::string& Path() const { return m_path; }

private:
    struct Group;
    Spool(std::string path, int fd, uint64_t maxBytes);
    // Reads the file from the start at open: counts its records and cuts
    // off what cannot be read (kept aside). False with a reason.
    bool Recover(std::string& error);

    const std::string m_path;
    const int m_fd;
    const uint64_t m_maxBytes;
    mutable std::mutex m_mutex;
    std::condition_variable m_written;
    std::shared_ptr<Group> m_open; // records gathering for the next write
    bool m_writing = false;        // a thread is writing a group
    uint64_t m_end = 0;            // synced end of the file
    uint64_t m_reserved = 0;       // m_end plus the gathering and writing groups
    uint64_t m_replayed = 0;       // position of the first record not replayed
    uint64_t m_records = 0;        // records after m_replayed
};

// The spool's bound unless told otherwise: 1 GiB, some three million
// reports.
constexpr uint64_t kDefaultSpoolMaxBytes = 1ull << 30;

// Where the spool of a `--store` value lives unless told otherwise: beside
// a SQLite file ("PATH.spool"); for a database server, "distd.spool" in the
// working folder.
std::string DefaultSpoolPath(const std::string& storeSpec);

// Encodes an item as a spool record's payload, and back; false when the
// payload is not one.
std::string EncodeSpoolItem(const StoreItem& item);
bool DecodeSpoolItem(const std::string& payload, StoreItem& out);

} // namespace distd
