// The client's recursive lock and its scoped holder.
#pragma once

#include <boost/shared_ptr.hpp>

#include <mutex>

namespace ns_zr_stat {

// A critical section: a lock that the owning thread may enter again; it is
// free once every Enter has been matched by a Leave.
class CCriticalSection {
public:
    CCriticalSection() = default;
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    // Blocks until the calling thread owns the section.
    void Enter() { m_mutex.lock(); }
    // Leaves one level of ownership; the caller must own the section.
    void Leave() { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};

// Opaque: only ever the pointee of a shared pointer that leaves a critical
// section when released.
class CLock;

// Enters the section and returns a holder that leaves it when the last copy
// of the holder is released (also while an exception passes). A null
// section gives a null holder and enters nothing.
boost::shared_ptr<CLock> MakeScopedLock(CCriticalSection* pSection);

// Enters a section for the lifetime of a block, leaving it on every path.
class CSectionGuard {
public:
    explicit CSectionGuard(CCriticalSection* pSection) : m_pSection(pSection) {
        m_pSection->Enter();
    }
    ~CSectionGuard() { m_pSection->Leave(); }
    CSectionGuard(const CSectionGuard&) = delete;
    CSectionGuard& operator=(const CSectionGuard&) = delete;

private:
    CCriticalSection* m_pSection;
};

} // namespace ns_zr_stat
