// The bounded ingest path: request threads hand finished items (valid or
// rejected reports) to one writer thread and wait until the item is
// committed, so a report is answered only once it is durable. The writer
// commits whatever has queued up in one transaction (group commit), which
// keeps the rate high under many concurrent senders. The queue holds a
// fixed number of items; a sender that finds it full waits a bounded time
// and then gets Busy instead of growing memory without limit.
//
// When the store is out of reach (a database server restarting or gone),
// the writer keeps the batch it holds and tries it again with growing
// pauses; the queue becomes a backlog. Senders are then answered at once
// (Deferred) instead of tying up the request threads, and a sender that
// finds the backlog full is turned away (Busy). Every report not stored is
// counted by its reason, and the counts go into the store as drop tallies
// once it can take them again.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "server/store.h"

namespace distd {

struct IngestOptions {
    size_t capacity = 4096; // items waiting to be written (the backlog's bound)
    size_t maxBatch = 1024; // items in one transaction
    // How long Stop keeps trying an unreachable store before it gives up on
    // the reports still held (counted as lost and logged).
    std::chrono::milliseconds stopGrace{10000};
    // Names this instance in the drop tallies it writes.
    std::string instance = "distd";
};

class IngestQueue {
public:
    enum class Result {
        Stored,      // committed
        Deferred,    // held in the backlog while the store is out of reach
        StoreFailed, // the store refused it
        Busy,        // no room in the queue
        Stopped,     // the queue is stopping
    };

    // Starts the writer thread.
    IngestQueue(ReportStore& store, const IngestOptions& options);
    IngestQueue(ReportStore& store, size_t capacity, size_t maxBatch = 1024);
    ~IngestQueue(); // Stop()

    // Queues the item and waits until it is committed or failed, or until
    // the store is found out of reach (Deferred). When the queue is full it
    // waits up to `wait` for room (then Busy); with the store out of reach
    // it does not wait.
    Result Submit(StoreItem item, std::chrono::milliseconds wait);

    // Commits everything queued, then ends the writer. Later submissions get
    // Stopped. With the store out of reach it keeps trying for the stop
    // grace, then counts what it still holds as lost. Idempotent.
    void Stop();

    struct Counters {
        uint64_t stored = 0;   // items committed
        uint64_t failed = 0;   // items the store refused
        uint64_t busy = 0;     // submissions turned away with a full queue
        uint64_t deferred = 0; // answered before their commit (store out of reach)
        uint64_t lost = 0;     // held when Stop gave up on the store
        uint64_t retries = 0;  // writes tried again after the store was out of reach
        uint64_t transactions = 0;
        uint64_t unrecordedDrops = 0; // drops not yet in the store's tallies
        size_t backlog = 0;           // items waiting or being written
        bool unreachable = false;     // the last write found the store out of reach
        // Reports received but never stored.
        uint64_t Dropped() const { return failed + busy + lost; }
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
    using Batch = std::vector<std::shared_ptr<Pending>>;

    void WriterLoop();
    // Writes the batch, trying again while the store is out of reach and
    // one item at a time when the store refuses the whole.
    void WriteBatch(const Batch& batch);
    // Finishes the batch's items with `ok`, under the lock; with
    // `keepTallies` its drop tallies count as not yet recorded again.
    void Finish(const Batch& batch, bool ok, bool keepTallies);
    // A drop tally per reason not yet recorded; empties the count.
    Batch TakeTallies();

    ReportStore& m_store;
    const IngestOptions m_options;
    const std::string m_receiptPrefix;
    uint64_t m_nextReceipt = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_queued;   // the writer waits for work
    std::condition_variable m_finished; // senders wait for their commit
    std::condition_variable m_room;     // senders wait for room
    std::condition_variable m_pause;    // the writer's pause between tries
    std::deque<std::shared_ptr<Pending>> m_queue;
    size_t m_inWriter = 0;
    std::map<std::string, uint64_t> m_unrecorded; // reason -> drops
    bool m_stopping = false;
    bool m_gaveUp = false; // stopping, and the stop grace is over
    Counters m_counters;
    std::string m_lastError;
    std::thread m_writer;
};

} // namespace distd
