// CReadAhead: reads an open file from its current position to its end on a
// thread of its own, up to a few blocks ahead of its caller, so that reading
// overlaps whatever the caller does with the block it holds (hashing a
// downloaded package, for one), and a reader the scheduler keeps waiting for
// a moment does not hold the caller up.
//
// Contract: the file handle stays open and is read by nobody else while the
// reader lives; the destructor stops the thread and waits for it. When no
// thread can be started the blocks are read on the caller's thread instead,
// with the same results.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "plat/sys/wintypes.h"

class CReadAhead {
public:
    // `blockBytes`: the most one block holds (and one ReadFile asks for);
    // `blocks`: how many there are (at least 2), the caller's included.
    CReadAhead(plat::HANDLE file, size_t blockBytes, size_t blocks = 4);
    ~CReadAhead();
    CReadAhead(const CReadAhead&) = delete;
    CReadAhead& operator=(const CReadAhead&) = delete;

    // The next block of the file: true with `*data` and `*size` set (size 0:
    // the end of the file), false when a read failed. The block stays valid
    // until the next call. After the end or a failure every call answers
    // the same again.
    bool Next(const uint8_t** data, size_t* size);

private:
    enum class Slot { Empty, Full, End, Failed };
    struct Block {
        std::vector<uint8_t> bytes;
        size_t size = 0;
        Slot state = Slot::Empty;
    };

    // Reads one block into `block`; the state it ends in.
    Slot ReadInto(Block& block);
    void ReaderLoop();

    plat::HANDLE m_hFile;
    // A ring: the reader fills the blocks in order, the caller takes them in
    // the same order and hands each back at its next call.
    std::vector<Block> m_aBlocks;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_bStop = false;
    // The block the caller holds (handed back at its next call), and the
    // one it takes next.
    static constexpr size_t kNone = static_cast<size_t>(-1);
    size_t m_nHeld = kNone;
    size_t m_nNext = 0;
    std::thread m_reader;
};
