// The ingest path: request threads hand finished items (valid or rejected
// reports) to one writer thread and wait until the item is committed, so a
// report is answered only once it is durable. The writer commits whatever
// has queued up in one transaction (group commit), which keeps the rate
// high under many concurrent senders. The queue in memory holds a fixed
// number of items.
//
// When the store is slow or out of reach (a database server restarting or
// gone, a SQLite file locked by another process), reports go to the spool
// instead (see spool.h) and are answered once they are synced there
// (Deferred): a sender whose commit has not come within its wait, a sender
// that finds the queue full, every sender while the store is out of reach,
// and the batch the writer could not write. The writer replays the spool
// into the store, tried again with growing pauses while the store is away.
// Only when the spool cannot take a report either (full, or its disk
// failing) is it turned away (Busy). Every report not stored is counted by
// its reason, and the counts go into the store as drop tallies once it can
// take them again.
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

#include "server/spool.h"
#include "server/store.h"

namespace distd {

struct IngestOptions {
    size_t capacity = 4096; // items waiting in memory to be written
    size_t maxBatch = 1024; // items in one transaction
    // How long Stop goes on replaying the spool into a reachable store;
    // what is left stays in the spool for the next start.
    std::chrono::milliseconds stopGrace{10000};
    // Names this instance in the drop tallies it writes.
    std::string instance = "distd";
};

class IngestQueue {
public:
    enum class Result {
        Stored,      // committed
        Deferred,    // synced in the spool; stored when the store takes it
        StoreFailed, // the store refused it
        Busy,        // neither the store nor the spool could take it
        Stopped,     // the queue is stopping
    };

    // Starts the writer thread, which first replays what the spool holds.
    IngestQueue(ReportStore& store, Spool& spool, const IngestOptions& options);
    IngestQueue(ReportStore& store, Spool& spool, size_t capacity, size_t maxBatch = 1024);
    ~IngestQueue(); // Stop()

    // Queues the item and waits up to `wait` until it is committed or
    // failed; past that, with the queue full or the store out of reach the
    // item goes to the spool (Deferred). Busy when the spool refuses it too.
    Result Submit(StoreItem item, std::chrono::milliseconds wait);

    // Commits (or spools) everything queued, replays the spool for at most
    // the stop grace while the store takes it, then ends the writer. Later
    // submissions get Stopped. Idempotent.
    void Stop();

    struct Counters {
        uint64_t stored = 0;   // items committed as they came
        uint64_t failed = 0;   // items the store refused
        uint64_t busy = 0;     // submissions turned away: the spool could not take them
        uint64_t deferred = 0; // answered once in the spool, before their commit
        uint64_t replayed = 0; // spool records written into the store
        uint64_t retries = 0;  // writes that found the store out of reach
        uint64_t transactions = 0;
        uint64_t unrecordedDrops = 0; // drops not yet in the store's tallies
        size_t backlog = 0;           // items waiting in memory or being written
        uint64_t spooled = 0;         // records in the spool, not yet replayed
        uint64_t spoolBytes = 0;      // the spool file's size
        uint64_t spoolMaxBytes = 0;   // its bound
        bool unreachable = false;     // the last write found the store out of reach
        // Reports received but never stored.
        uint64_t Dropped() const { return failed + busy; }
    };
    Counters GetCounters() const;
    // Items waiting for the writer (not those it is writing).
    size_t Queued() const;

private:
    struct Pending {
        StoreItem item;
        bool done = false;
        Result result = Result::Stored;
        // The sender stopped waiting: it spooled the item itself, or was
        // turned away. The writer skips it if it is still queued.
        bool gone = false;
        bool inWriter = false; // taken by the writer
        // Its sender waits on this (with the queue's mutex): only the
        // senders of a finished batch wake, not every waiting one.
        std::condition_variable answered;
    };
    using Batch = std::vector<std::shared_ptr<Pending>>;

    void WriterLoop();
    // The batch's items, as the store and the spool take them.
    static std::vector<const StoreItem*> Items(const Batch& batch);
    // Writes the batch; when the store is out of reach the batch goes to
    // the spool, and one item at a time when the store refuses the whole.
    void WriteBatch(const Batch& batch);
    // Puts the batch's items in the spool and finishes them (Deferred, or
    // Busy when the spool refuses); its drop tallies stay in memory.
    void SpoolBatch(const Batch& batch);
    // Replays one batch of spool records into the store; false when there
    // was nothing to replay or the store did not take them.
    bool ReplaySpool();
    // The store took or refused a write: updates the reachability state.
    // Under the lock.
    void Reached(bool ok, bool outOfReach, const std::string& error);
    // Counts a sender's answer; under the lock.
    Result Answer(Result result);
    // Finishes the batch's items with `result`, under the lock; with
    // `keepTallies` its drop tallies count as not yet recorded again.
    void Finish(const Batch& batch, Result result, bool keepTallies);
    // Wakes the senders of finished items; after the lock is released, so
    // that they do not wake only to wait for it.
    static void Wake(const Batch& batch);
    // A drop tally per reason not yet recorded; empties the count.
    Batch TakeTallies();

    ReportStore& m_store;
    Spool& m_spool;
    const IngestOptions m_options;
    const std::string m_receiptPrefix;
    uint64_t m_nextReceipt = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_queued; // the writer waits for work
    std::deque<std::shared_ptr<Pending>> m_queue;
    size_t m_inWriter = 0;
    std::map<std::string, uint64_t> m_unrecorded; // reason -> drops
    bool m_stopping = false;
    // While the store is out of reach: the next write that tries it, and
    // the pause after that one.
    std::chrono::steady_clock::time_point m_nextTry{};
    std::chrono::milliseconds m_pause{0};
    std::chrono::steady_clock::time_point m_stopReplayUntil{};
    bool m_spoolUnreadable = false; // replay stopped: the spool could not be read
    Counters m_counters;
    std::string m_lastError;
    std::string m_lastSpoolError;
    std::thread m_writer;
};

} // namespace distd
