// Scoped holder of the client's critical section.
#include "stat/StatLock.h"

namespace ns_zr_stat {

namespace {
void LeaveSection(CLock* pLock) {
    reinterpret_cast<CCriticalSection*>(pLock)->Leave();
}
} // namespace

boost::shared_ptr<CLock> MakeScopedLock(CCriticalSection* pSection) {
    if (pSection == nullptr) {
        return boost::shared_ptr<CLock>();
    }
    // Entered first: should making the holder fail, its deleter runs at once
    // and leaves the section again.
    pSection->Enter();
    return boost::shared_ptr<CLock>(reinterpret_cast<CLock*>(pSection), &LeaveSection);
}

} // namespace ns_zr_stat
