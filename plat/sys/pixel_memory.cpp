// Kept pixel blocks, newest last, matched by exact size. Large blocks are
// mapped straight from the system with their pages populated in one call:
// on a virtual machine each first touch of a page is a costly trap (about
// 12 us a page here, 2.5 ms for one 560 x 408 window buffer), while
// populating the same block costs a tenth of that. Unmapping also returns a
// block's pages at once, so a closed window's pixels never stay in the heap.
// Under AddressSanitizer blocks come from malloc, so that every pixel access
// stays checked.
#include "plat/sys/pixel_memory.h"

#ifdef _WIN32
#include "plat/sys/wintypes.h"
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <deque>
#include <mutex>

#if defined(__SANITIZE_ADDRESS__)
#define PIXEL_MEMORY_FROM_MALLOC 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PIXEL_MEMORY_FROM_MALLOC 1
#endif
#endif

namespace plat {

namespace {

struct Block {
    void* p;
    size_t bytes;
};

struct Cache {
    std::mutex m;
    std::deque<Block> kept;
    size_t total = 0;
};

Cache& C() {
    // Never destroyed: blocks may come back from objects destroyed at exit.
    static Cache* c = new Cache;
    return *c;
}

#ifdef PIXEL_MEMORY_FROM_MALLOC
void* NewLargeBlock(size_t bytes) {
    return std::malloc(bytes);
}
void FreeLargeBlock(void* p, size_t) {
    std::free(p);
}
#elif defined(_WIN32)
// Committed pages straight from the system, returned whole on release.
void* NewLargeBlock(size_t bytes) {
    return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}
void FreeLargeBlock(void* p, size_t) {
    VirtualFree(p, 0, MEM_RELEASE);
}
#else
size_t MappedLength(size_t bytes) {
    static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}
void* NewLargeBlock(size_t bytes) {
    void* p = mmap(nullptr, MappedLength(bytes), PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}
void FreeLargeBlock(void* p, size_t bytes) {
    munmap(p, MappedLength(bytes));
}
#endif

} // namespace

void* AcquirePixelMemory(size_t bytes) {
    if (bytes == 0)
        bytes = 1;
    if (bytes < kPixelBlockMin)
        return std::malloc(bytes);
    {
        Cache& c = C();
        std::lock_guard<std::mutex> g(c.m);
        for (auto it = c.kept.rbegin(); it != c.kept.rend(); ++it) {
            if (it->bytes != bytes)
                continue;
            void* p = it->p;
            c.total -= it->bytes;
            c.kept.erase(std::next(it).base());
            return p;
        }
    }
    return NewLargeBlock(bytes);
}

void ReleasePixelMemory(void* p, size_t bytes) {
    if (!p)
        return;
    if (bytes == 0)
        bytes = 1;
    if (bytes < kPixelBlockMin) {
        std::free(p);
        return;
    }
    if (bytes > kPixelCacheMax) {
        FreeLargeBlock(p, bytes);
        return;
    }
    std::vector<Block> drop;
    {
        Cache& c = C();
        std::lock_guard<std::mutex> g(c.m);
        c.kept.push_back(Block{p, bytes});
        c.total += bytes;
        while (c.total > kPixelCacheMax) {
            drop.push_back(c.kept.front());
            c.total -= c.kept.front().bytes;
            c.kept.pop_front();
        }
    }
    for (const Block& b : drop)
        FreeLargeBlock(b.p, b.bytes);
}

void TrimPixelMemory() {
    std::deque<Block> drop;
    {
        Cache& c = C();
        std::lock_guard<std::mutex> g(c.m);
        drop.swap(c.kept);
        c.total = 0;
    }
    for (const Block& b : drop)
        FreeLargeBlock(b.p, b.bytes);
}

size_t PixelMemoryKept() {
    Cache& c = C();
    std::lock_guard<std::mutex> g(c.m);
    return c.total;
}

} // namespace plat
