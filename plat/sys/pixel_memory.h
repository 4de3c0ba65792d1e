// Pixel memory that is used again. Windows, their surfaces and bitmaps hold
// blocks of hundreds of kilobytes; a program that closes one window and
// opens the next of the same size (an installer's pages) would otherwise
// hand those pages back to the system and fault them in afresh. Released
// blocks of at least kPixelBlockMin bytes are kept (up to kPixelCacheMax
// bytes in all, a few window buffers, the oldest let go first) and handed
// out again for the same size; blocks let go return to the system at once.
// Thread-safe.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace plat {

constexpr size_t kPixelBlockMin = 64 * 1024;
constexpr size_t kPixelCacheMax = 4 * 1024 * 1024;

// Uninitialised memory of `bytes` bytes (aligned for any pixel type); null
// when it cannot be had.
void* AcquirePixelMemory(size_t bytes);
// Gives back a block from AcquirePixelMemory with the size it was asked for.
void ReleasePixelMemory(void* p, size_t bytes);
// Lets go of every kept block (for tests and low-memory moments).
void TrimPixelMemory();
// The number of bytes kept for reuse now.
size_t PixelMemoryKept();

// An allocator over that memory, for pixel vectors.
template <class T> struct PixelAllocator {
    using value_type = T;
    PixelAllocator() = default;
    template <class U> PixelAllocator(const PixelAllocator<U>&) {}
    T* allocate(size_t n) {
        void* p = AcquirePixelMemory(n * sizeof(T));
        if (!p)
            throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t n) { ReleasePixelMemory(p, n * sizeof(T)); }
    template <class U> bool operator==(const PixelAllocator<U>&) const { return true; }
    template <class U> bool operator!=(const PixelAllocator<U>&) const { return false; }
};

template <class T> using PixelVector = std::vector<T, PixelAllocator<T>>;

} // namespace plat
