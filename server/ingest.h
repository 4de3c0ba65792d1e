// The bounded ingest path: request threads hand finished items (valid or
// rejected reports) to one writer thread and wait until the item is
// committed, so a report is answered only once it is durable. The writer
// commits whatever has queued up in one transaction (group commit), which
// keeps the rate high under many concurrent senders. The queue holds a
// fixed number of items; a sender that finds it full waits a bounded time
// and then gets Busy instead of growing memory without limit.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "server/store.h"

namespace distd {

class IngestQueue {
public:
    enum class Result { Stored, StoreFailed, Busy, Stopped };

    // Starts the writer thread. `capacity` bounds the items waiting to be
    // written; `maxBatch` bounds one transaction.
    IngestQueue(ReportStore& store, size_t capacity, size_t maxBatch = 1024);
    ~IngestQueue(); // Stop()

    // Queues the item and waits until it is committed or failed. When the
    // queue is full it waits up to `wait` for room (then Busy).
    Result Submit(StoreItem item, std::chrono::milliseconds wait);

    // Commits everything queued, then ends the writer. Later submissions get
    // Stopped. Idempotent.
    void Stop();

    struct Counters {
        uint64_t stored = 0; // items committed
        uint64_t failed = 0; // items whose transaction failed
        uint64_t busy = 0;   // submissions turned away with a full queue
        uint64_t transactions = 0;
    };
    Counters GetCounters() const;
    // Items waiting for the writer (not those it is writing).
    size_t Queued() const;

private:
    struct Pending {
        StoreItem item;
        bool done = false;
        bool ok = false;
    };

    void WriterLoop();

    ReportStore& m_store;
    const size_t m_capacity;
    const size_t m_maxBatch;
    mutable std::mutex m_mutex;
    std::condition_variable m_queued;   // the writer waits for work
    std::condition_variable m_finished; // senders wait for their commit
    std::condition_variable m_room;     // senders wait for room
    std::deque<Pending*> m_queue;
    bool m_stopping = false;
    Counters m_counters;
    std::string m_lastError;
    std::thread m_writer;
};

} // namespace distd
