// Kept pixel blocks, newest last, matched by exact size.
#include "plat/sys/pixel_memory.h"

#include <cstdlib>
#include <deque>
#include <mutex>

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

} // namespace

void* AcquirePixelMemory(size_t bytes) {
    if (bytes == 0)
        bytes = 1;
    if (bytes >= kPixelBlockMin) {
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
    return std::malloc(bytes);
}

void ReleasePixelMemory(void* p, size_t bytes) {
    if (!p)
        return;
    if (bytes == 0)
        bytes = 1;
    if (bytes < kPixelBlockMin || bytes > kPixelCacheMax) {
        std::free(p);
        return;
    }
    std::vector<void*> drop;
    {
        Cache& c = C();
        std::lock_guard<std::mutex> g(c.m);
        c.kept.push_back(Block{p, bytes});
        c.total += bytes;
        while (c.total > kPixelCacheMax) {
            drop.push_back(c.kept.front().p);
            c.total -= c.kept.front().bytes;
            c.kept.pop_front();
        }
    }
    for (void* d : drop)
        std::free(d);
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
        std::free(b.p);
}

size_t PixelMemoryKept() {
    Cache& c = C();
    std::lock_guard<std::mutex> g(c.m);
    return c.total;
}

} // namespace plat
