// The writer thread and the bounded queue in front of it.
#include "server/ingest.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

namespace distd {

namespace {

// Receipts are this prefix and a running number: the prefix is random per
// queue, so receipts of several instances (and of one instance restarted)
// never meet.
std::string RandomPrefix() {
    std::random_device device;
    const uint64_t value = (static_cast<uint64_t>(device()) << 32) ^ device();
    char text[24];
    std::snprintf(text, sizeof(text), "%016llx-", static_cast<unsigned long long>(value));
    return text;
}

IngestOptions AtLeastOne(IngestOptions options) {
    options.capacity = options.capacity ? options.capacity : 1;
    options.maxBatch = options.maxBatch ? options.maxBatch : 1;
    return options;
}

constexpr auto kFirstPause = std::chrono::milliseconds(50);
constexpr auto kLongestPause = std::chrono::milliseconds(1000);

} // namespace

IngestQueue::IngestQueue(ReportStore& store, Spool& spool, const IngestOptions& options)
    : m_store(store), m_spool(spool), m_options(AtLeastOne(options)),
      m_receiptPrefix(RandomPrefix()) {
    m_writer = std::thread([this] { WriterLoop(); });
}

IngestQueue::IngestQueue(ReportStore& store, Spool& spool, size_t capacity, size_t maxBatch)
    : IngestQueue(store, spool, [&] {
          IngestOptions options;
          options.capacity = capacity;
          options.maxBatch = maxBatch;
          return options;
      }()) {}

IngestQueue::~IngestQueue() {
    Stop();
}

IngestQueue::Result IngestQueue::Answer(Result result) {
    switch (result) {
    case Result::Stored:
        ++m_counters.stored;
        break;
    case Result::Deferred:
        ++m_counters.deferred;
        break;
    case Result::StoreFailed:
        ++m_counters.failed;
        ++m_unrecorded["store_refused"];
        break;
    case Result::Busy:
        ++m_counters.busy;
        ++m_unrecorded["spool_full"];
        break;
    case Result::Stopped:
        break;
    }
    if (result == Result::StoreFailed || result == Result::Busy) {
        m_queued.notify_one(); // the writer records the drop
    }
    return result;
}

IngestQueue::Result IngestQueue::Submit(StoreItem item, std::chrono::milliseconds wait) {
    auto pending = std::make_shared<Pending>();
    pending->item = std::move(item);
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_stopping) {
        return Result::Stopped;
    }
    if (pending->item.receipt.empty()) {
        pending->item.receipt = m_receiptPrefix + std::to_string(++m_nextReceipt);
    }
    if (!m_counters.unreachable && m_queue.size() < m_options.capacity) {
        m_queue.push_back(pending);
        m_queued.notify_one();
        // An item the writer holds while it finds the store out of reach is
        // spooled by the writer; any other goes to the spool from here.
        pending->answered.wait_for(lock, wait, [&] {
            return pending->done || (m_counters.unreachable && !pending->inWriter);
        });
        if (pending->done) {
            return Answer(pending->result);
        }
    }
    // The store is slow or out of reach, or the queue is full: the report is
    // answered once it is in the spool. If it is also still queued, the
    // writer skips it; if the writer stores it too, its receipt keeps the
    // replay from storing it twice.
    lock.unlock();
    std::string error;
    const bool spooled = m_spool.Append({&pending->item}, error);
    lock.lock();
    pending->gone = true;
    m_queued.notify_one(); // the writer replays it
    if (spooled) {
        return Answer(Result::Deferred);
    }
    if (error != m_lastSpoolError) {
        std::fprintf(stderr, "distd: %s; turning reports away\n", error.c_str());
        m_lastSpoolError = error;
    }
    return Answer(pending->done && pending->result == Result::Stored ? Result::Stored
                                                                     : Result::Busy);
}

void IngestQueue::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_stopping) {
            m_stopping = true;
            m_stopReplayUntil = std::chrono::steady_clock::now() + m_options.stopGrace;
        }
    }
    m_queued.notify_all();
    if (m_writer.joinable()) {
        m_writer.join();
    }
    const Counters counters = GetCounters();
    if (counters.unrecordedDrops > 0) {
        std::fprintf(stderr, "distd: stopped; drops not recorded in the store: %llu\n",
                     static_cast<unsigned long long>(counters.unrecordedDrops));
    }
    if (counters.spooled > 0) {
        std::fprintf(stderr,
                     "distd: stopped; %llu report(s) stay in the spool %s and are stored at the "
                     "next start\n",
                     static_cast<unsigned long long>(counters.spooled), m_spool.Path().c_str());
    }
}

IngestQueue::Counters IngestQueue::GetCounters() const {
    const Spool::State spool = m_spool.GetState();
    std::lock_guard<std::mutex> lock(m_mutex);
    Counters counters = m_counters;
    counters.backlog = m_queue.size() + m_inWriter;
    counters.unrecordedDrops = 0;
    for (const auto& reason : m_unrecorded) {
        counters.unrecordedDrops += reason.second;
    }
    counters.spooled = spool.records;
    counters.spoolBytes = spool.bytes;
    counters.spoolMaxBytes = spool.maxBytes;
    return counters;
}

size_t IngestQueue::Queued() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size();
}

IngestQueue::Batch IngestQueue::TakeTallies() {
    Batch tallies;
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    for (const auto& reason : m_unrecorded) {
        auto tally = std::make_shared<Pending>();
        tally->item.dropTally = reason.second;
        tally->item.detail = reason.first;
        tally->item.source = m_options.instance;
        tally->item.receivedAt = now;
        tallies.push_back(tally);
    }
    m_unrecorded.clear();
    return tallies;
}

void IngestQueue::WriterLoop() {
    for (;;) {
        Batch batch;
        bool tryStore = false;
        bool replay = false;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            // Work: queued items; and, when the store may be tried (it is
            // reachable, or the pause after finding it away is over), spool
            // records to replay and drop tallies to record.
            auto spoolWaiting = [this] {
                return !m_spoolUnreadable && m_spool.GetState().records > 0;
            };
            auto storeWork = [&] { return !m_unrecorded.empty() || spoolWaiting(); };
            auto ready = [&] {
                const bool mayTry =
                    !m_counters.unreachable || std::chrono::steady_clock::now() >= m_nextTry;
                return m_stopping || !m_queue.empty() || (mayTry && storeWork());
            };
            if (m_counters.unreachable) {
                m_queued.wait_until(lock, m_nextTry, ready);
            }
            m_queued.wait(lock, ready);
            const auto now = std::chrono::steady_clock::now();
            tryStore = !m_counters.unreachable || now >= m_nextTry;
            while (!m_queue.empty() && batch.size() < m_options.maxBatch) {
                std::shared_ptr<Pending> pending = std::move(m_queue.front());
                m_queue.pop_front();
                if (!pending->gone) {
                    pending->inWriter = true;
                    batch.push_back(std::move(pending));
                }
            }
            if (m_stopping && batch.empty()) {
                // Everything queued is written or spooled. The spool is
                // replayed for the stop grace while the store takes it; the
                // rest stays for the next start.
                const bool more =
                    !m_counters.unreachable &&
                    (!m_unrecorded.empty() || (spoolWaiting() && now < m_stopReplayUntil));
                if (!more) {
                    return;
                }
            }
            if (tryStore) {
                for (auto& tally : TakeTallies()) {
                    batch.push_back(tally);
                }
            }
            replay = tryStore && spoolWaiting();
            m_inWriter = batch.size();
        }
        if (!batch.empty()) {
            if (tryStore) {
                WriteBatch(batch);
            } else {
                SpoolBatch(batch);
            }
        }
        if (replay) {
            ReplaySpool();
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_inWriter = 0;
    }
}

void IngestQueue::Finish(const Batch& batch, Result result, bool keepTallies) {
    for (const auto& pending : batch) {
        if (pending->item.dropTally && keepTallies) {
            m_unrecorded[pending->item.detail] += pending->item.dropTally;
        }
        pending->result = result;
        pending->done = true;
    }
}

void IngestQueue::Wake(const Batch& batch) {
    for (const auto& pending : batch) {
        pending->answered.notify_one();
    }
}

void IngestQueue::Reached(bool ok, bool outOfReach, const std::string& error) {
    ++m_counters.transactions;
    if (ok) {
        if (m_counters.unreachable) {
            m_counters.unreachable = false;
            m_lastError.clear();
            std::fprintf(stderr, "distd: %s: reachable again, replaying the spool\n",
                         m_store.Describe().c_str());
        }
        m_pause = std::chrono::milliseconds(0);
        return;
    }
    if (error != m_lastError) {
        std::fprintf(stderr, "distd: %s: write failed%s: %s\n", m_store.Describe().c_str(),
                     outOfReach ? " (out of reach, spooling reports)" : "", error.c_str());
        m_lastError = error;
    }
    if (outOfReach) {
        ++m_counters.retries;
        m_pause = std::min(std::max(m_pause * 2, kFirstPause), kLongestPause);
        m_nextTry = std::chrono::steady_clock::now() + m_pause;
        if (!m_counters.unreachable) {
            m_counters.unreachable = true;
            // Queued senders spool their reports.
            for (const auto& pending : m_queue) {
                pending->answered.notify_one();
            }
        }
    }
}

std::vector<const StoreItem*> IngestQueue::Items(const Batch& batch) {
    std::vector<const StoreItem*> items;
    for (const auto& pending : batch) {
        items.push_back(&pending->item);
    }
    return items;
}

void IngestQueue::WriteBatch(const Batch& batch) {
    std::string error;
    const bool ok = m_store.Write(Items(batch), error);
    const bool outOfReach = !ok && m_store.Unreachable();
    std::unique_lock<std::mutex> lock(m_mutex);
    Reached(ok, outOfReach, error);
    if (ok) {
        Finish(batch, Result::Stored, false);
        lock.unlock();
        Wake(batch);
        return;
    }
    lock.unlock();
    if (outOfReach) {
        SpoolBatch(batch);
        return;
    }
    if (batch.size() > 1) {
        // The store refused the whole; find the items it refuses.
        for (const auto& pending : batch) {
            WriteBatch({pending});
        }
        return;
    }
    // A refused tally is not tried again forever: the drops it counted stay
    // in this instance's counters and its log only.
    lock.lock();
    Finish(batch, Result::StoreFailed, false);
    lock.unlock();
    Wake(batch);
}

void IngestQueue::SpoolBatch(const Batch& batch) {
    std::string error;
    const bool ok = m_spool.Append(Items(batch), error);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!ok && error != m_lastSpoolError) {
            std::fprintf(stderr, "distd: %s; turning reports away\n", error.c_str());
            m_lastSpoolError = error;
        }
        Finish(batch, ok ? Result::Deferred : Result::Busy, true);
    }
    Wake(batch);
}

bool IngestQueue::ReplaySpool() {
    {
        // A write just before found the store away: wait for the next try.
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_counters.unreachable && std::chrono::steady_clock::now() < m_nextTry) {
            return false;
        }
    }
    std::vector<StoreItem> records;
    uint64_t next = 0;
    std::string error;
    if (!m_spool.ReadNext(m_options.maxBatch, records, next, error)) {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::fprintf(stderr, "distd: %s; replay stopped until the next start\n", error.c_str());
        m_spoolUnreadable = true;
        return false;
    }
    if (records.empty()) {
        return false;
    }
    std::vector<const StoreItem*> items;
    for (const StoreItem& record : records) {
        items.push_back(&record);
    }
    const bool ok = m_store.Write(items, error);
    const bool outOfReach = !ok && m_store.Unreachable();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Reached(ok, outOfReach, error);
        if (outOfReach) {
            return false;
        }
    }
    if (!ok) {
        // The store refuses the whole: store what it takes, one at a time,
        // and count what it refuses.
        for (const StoreItem* item : items) {
            const bool one = m_store.Write({item}, error);
            const bool away = !one && m_store.Unreachable();
            std::lock_guard<std::mutex> lock(m_mutex);
            Reached(one, away, error);
            if (away) {
                return false; // replayed again later; receipts skip the stored
            }
            if (!one) {
                ++m_counters.failed;
                ++m_unrecorded["store_refused"];
            }
        }
    }
    m_spool.Replayed(next, records.size());
    std::lock_guard<std::mutex> lock(m_mutex);
    m_counters.replayed += records.size();
    return true;
}

} // namespace distd
