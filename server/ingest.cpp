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

IngestQueue::IngestQueue(ReportStore& store, const IngestOptions& options)
    : m_store(store), m_options(AtLeastOne(options)), m_receiptPrefix(RandomPrefix()) {
    m_writer = std::thread([this] { WriterLoop(); });
}

IngestQueue::IngestQueue(ReportStore& store, size_t capacity, size_t maxBatch)
    : IngestQueue(store, [&] {
          IngestOptions options;
          options.capacity = capacity;
          options.maxBatch = maxBatch;
          return options;
      }()) {}

IngestQueue::~IngestQueue() {
    Stop();
}

IngestQueue::Result IngestQueue::Submit(StoreItem item, std::chrono::milliseconds wait) {
    auto pending = std::make_shared<Pending>();
    pending->item = std::move(item);
    std::unique_lock<std::mutex> lock(m_mutex);
    if (pending->item.receipt.empty()) {
        pending->item.receipt = m_receiptPrefix + std::to_string(++m_nextReceipt);
    }
    // While the store is out of reach a full backlog turns senders away at
    // once: waiting would only tie up the request threads.
    if (!m_room.wait_for(lock, m_counters.unreachable ? std::chrono::milliseconds(0) : wait,
                         [this] {
                             return m_stopping || m_queue.size() < m_options.capacity ||
                                    m_counters.unreachable;
                         }) ||
        (!m_stopping && m_queue.size() >= m_options.capacity)) {
        ++m_counters.busy;
        ++m_unrecorded["backlog_full"];
        m_queued.notify_one();
        return Result::Busy;
    }
    if (m_stopping) {
        return Result::Stopped;
    }
    m_queue.push_back(pending);
    m_queued.notify_one();
    m_finished.wait(lock, [&] { return pending->done || m_counters.unreachable; });
    if (!pending->done) {
        ++m_counters.deferred;
        return Result::Deferred;
    }
    return pending->ok ? Result::Stored : Result::StoreFailed;
}

void IngestQueue::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_queued.notify_all();
    m_room.notify_all();
    m_pause.notify_all();
    if (m_writer.joinable()) {
        m_writer.join();
    }
    const Counters counters = GetCounters();
    if (counters.lost > 0 || counters.unrecordedDrops > 0) {
        std::fprintf(stderr,
                     "distd: stopped with %llu report(s) lost to an unreachable store; drops not "
                     "recorded in the store: %llu\n",
                     static_cast<unsigned long long>(counters.lost),
                     static_cast<unsigned long long>(counters.unrecordedDrops));
    }
}

IngestQueue::Counters IngestQueue::GetCounters() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    Counters counters = m_counters;
    counters.backlog = m_queue.size() + m_inWriter;
    counters.unrecordedDrops = 0;
    for (const auto& reason : m_unrecorded) {
        counters.unrecordedDrops += reason.second;
    }
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
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_queued.wait(lock, [this] {
                return m_stopping || !m_queue.empty() ||
                       (!m_unrecorded.empty() && !m_counters.unreachable);
            });
            if (m_queue.empty() && (m_stopping || m_unrecorded.empty())) {
                if (m_stopping) {
                    // Everything queued is written; the tallies of the last
                    // drops go in too when the store takes them.
                    if (m_unrecorded.empty() || m_gaveUp) {
                        return;
                    }
                } else {
                    continue;
                }
            }
            while (!m_queue.empty() && batch.size() < m_options.maxBatch) {
                batch.push_back(m_queue.front());
                m_queue.pop_front();
            }
            for (auto& tally : TakeTallies()) {
                batch.push_back(tally);
            }
            m_inWriter = batch.size();
        }
        m_room.notify_all();
        WriteBatch(batch);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_inWriter = 0;
            if (m_stopping && m_queue.empty() && (m_unrecorded.empty() || m_gaveUp)) {
                return;
            }
        }
    }
}

void IngestQueue::Finish(const Batch& batch, bool ok, bool keepTallies) {
    for (const auto& pending : batch) {
        if (pending->item.dropTally) {
            if (keepTallies) {
                m_unrecorded[pending->item.detail] += pending->item.dropTally;
            }
        } else if (ok) {
            ++m_counters.stored;
        }
        pending->ok = ok;
        pending->done = true;
    }
    m_finished.notify_all();
}

void IngestQueue::WriteBatch(const Batch& batch) {
    std::vector<const StoreItem*> items;
    for (const auto& pending : batch) {
        items.push_back(&pending->item);
    }
    auto pause = kFirstPause;
    std::chrono::steady_clock::time_point giveUpAt{};
    for (;;) {
        std::string error;
        const bool ok = m_store.Write(items, error);
        const bool outOfReach = !ok && m_store.Unreachable();
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_counters.transactions;
        if (ok) {
            if (m_counters.unreachable) {
                m_counters.unreachable = false;
                m_lastError.clear();
                std::fprintf(stderr, "distd: %s: reachable again, writing the backlog of %zu\n",
                             m_store.Describe().c_str(), m_queue.size() + batch.size());
            }
            Finish(batch, true, false);
            return;
        }
        if (error != m_lastError) {
            std::fprintf(stderr, "distd: %s: write failed%s: %s\n", m_store.Describe().c_str(),
                         outOfReach ? " (out of reach, holding reports)" : "", error.c_str());
            m_lastError = error;
        }
        if (!outOfReach) {
            if (batch.size() > 1) {
                // The store refused the whole; find the items it refuses.
                lock.unlock();
                for (const auto& pending : batch) {
                    WriteBatch({pending});
                }
                return;
            }
            // A refused tally is not tried again forever: the drops it
            // counted stay in this instance's counters and its log only.
            const bool tally = !batch.empty() && batch.front()->item.dropTally;
            if (!tally) {
                ++m_counters.failed;
                ++m_unrecorded["store_refused"];
            }
            Finish(batch, false, false);
            return;
        }
        // Out of reach: keep the batch, release the senders waiting for it.
        if (!m_counters.unreachable) {
            m_counters.unreachable = true;
            m_finished.notify_all();
            m_room.notify_all();
        }
        if (m_stopping) {
            const auto now = std::chrono::steady_clock::now();
            if (giveUpAt == std::chrono::steady_clock::time_point{}) {
                giveUpAt = now + m_options.stopGrace;
            }
            if (m_gaveUp || now >= giveUpAt) {
                m_gaveUp = true;
                for (const auto& pending : batch) {
                    m_counters.lost += pending->item.dropTally ? 0 : 1;
                }
                Finish(batch, false, true);
                return;
            }
        }
        ++m_counters.retries;
        m_pause.wait_for(lock, pause);
        pause = std::min(pause * 2, kLongestPause);
    }
}

} // namespace distd
