// The writer thread and the bounded queue in front of it.
#include "server/ingest.h"

#include <cstdio>
#include <vector>

namespace distd {

IngestQueue::IngestQueue(ReportStore& store, size_t capacity, size_t maxBatch)
    : m_store(store), m_capacity(capacity ? capacity : 1), m_maxBatch(maxBatch ? maxBatch : 1) {
    m_writer = std::thread([this] { WriterLoop(); });
}

IngestQueue::~IngestQueue() {
    Stop();
}

IngestQueue::Result IngestQueue::Submit(StoreItem item, std::chrono::milliseconds wait) {
    Pending pending;
    pending.item = std::move(item);
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_room.wait_for(lock, wait,
                         [this] { return m_stopping || m_queue.size() < m_capacity; })) {
        ++m_counters.busy;
        return Result::Busy;
    }
    if (m_stopping) {
        return Result::Stopped;
    }
    m_queue.push_back(&pending);
    m_queued.notify_one();
    // The writer always finishes what it took, also while stopping, so this
    // wait ends; `pending` lives on this stack until then.
    m_finished.wait(lock, [&pending] { return pending.done; });
    return pending.ok ? Result::Stored : Result::StoreFailed;
}

void IngestQueue::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_queued.notify_all();
    m_room.notify_all();
    if (m_writer.joinable()) {
        m_writer.join();
    }
}

IngestQueue::Counters IngestQueue::GetCounters() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_counters;
}

size_t IngestQueue::Queued() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size();
}

void IngestQueue::WriterLoop() {
    std::vector<Pending*> batch;
    std::vector<const StoreItem*> items;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_queued.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty()) {
                return; // stopping, and everything queued is written
            }
            batch.clear();
            while (!m_queue.empty() && batch.size() < m_maxBatch) {
                batch.push_back(m_queue.front());
                m_queue.pop_front();
            }
        }
        m_room.notify_all();
        items.clear();
        for (Pending* pending : batch) {
            items.push_back(&pending->item);
        }
        std::string error;
        const bool ok = m_store.Write(items, error);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_counters.transactions;
            if (ok) {
                m_counters.stored += batch.size();
            } else {
                m_counters.failed += batch.size();
                if (error != m_lastError) {
                    std::fprintf(stderr, "distd: %s: write failed: %s\n",
                                 m_store.Describe().c_str(), error.c_str());
                    m_lastError = error;
                }
            }
            for (Pending* pending : batch) {
                pending->ok = ok;
                pending->done = true;
            }
        }
        m_finished.notify_all();
    }
}

} // namespace distd
