// Pixel memory: large blocks come back for the same size, small ones are
// not kept, and what is kept stays within its ceiling.
#include <gtest/gtest.h>

#include "plat/sys/pixel_memory.h"

#include <cstring>
#include <thread>

using namespace plat;

namespace {

class PixelMemory : public ::testing::Test {
protected:
    void SetUp() override { TrimPixelMemory(); }
    void TearDown() override { TrimPixelMemory(); }
};

TEST_F(PixelMemory, ReleasedBlockIsHandedOutAgainForTheSameSize) {
    const size_t big = 560 * 408 * 4;
    void* a = AcquirePixelMemory(big);
    ASSERT_NE(a, nullptr);
    static_cast<char*>(a)[big - 1] = 7; // the whole block is usable
    ReleasePixelMemory(a, big);
    EXPECT_EQ(PixelMemoryKept(), big);
    void* other = AcquirePixelMemory(big + 4);
    EXPECT_NE(other, a) << "only the same size is matched";
    void* again = AcquirePixelMemory(big);
    EXPECT_EQ(again, a);
    EXPECT_EQ(PixelMemoryKept(), 0u);
    ReleasePixelMemory(again, big);
    ReleasePixelMemory(other, big + 4);
    EXPECT_EQ(PixelMemoryKept(), 2 * big + 4);
    ReleasePixelMemory(nullptr, big); // nothing to give back
    EXPECT_EQ(PixelMemoryKept(), 2 * big + 4);
}

TEST_F(PixelMemory, SmallBlocksAreNotKeptAndTheCeilingHolds) {
    void* small = AcquirePixelMemory(kPixelBlockMin - 1);
    ASSERT_NE(small, nullptr);
    ReleasePixelMemory(small, kPixelBlockMin - 1);
    EXPECT_EQ(PixelMemoryKept(), 0u);
    const size_t mb = 1024 * 1024;
    std::vector<void*> blocks;
    for (int i = 0; i < 40; ++i)
        blocks.push_back(AcquirePixelMemory(mb));
    for (void* p : blocks)
        ReleasePixelMemory(p, mb);
    EXPECT_EQ(PixelMemoryKept(), kPixelCacheMax) << "the oldest are let go";
    // The newest are the ones kept.
    EXPECT_EQ(AcquirePixelMemory(mb), blocks.back());
    ReleasePixelMemory(blocks.back(), mb);
    TrimPixelMemory();
    EXPECT_EQ(PixelMemoryKept(), 0u);
}

TEST_F(PixelMemory, PixelVectorsUseIt) {
    const size_t n = 100000;
    const void* first;
    {
        PixelVector<uint32_t> v(n, 0xFFFFFFFFu);
        first = v.data();
        EXPECT_EQ(v[n - 1], 0xFFFFFFFFu);
    }
    PixelVector<uint32_t> w(n, 1u);
    EXPECT_EQ(w.data(), first);
    EXPECT_EQ(w[0], 1u);
    EXPECT_EQ(w[n - 1], 1u);
}

TEST_F(PixelMemory, ThreadsShareTheKeptBlocksWithinTheCeiling) {
    const size_t sizes[] = {kPixelBlockMin, 560 * 408 * 4, 578 * 426 * 4};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&sizes, t] {
            for (int i = 0; i < 200; ++i) {
                const size_t bytes = sizes[(i + t) % 3];
                auto* p = static_cast<unsigned char*>(AcquirePixelMemory(bytes));
                ASSERT_NE(p, nullptr);
                // Every byte of the block belongs to this thread now.
                std::memset(p, t, bytes);
                EXPECT_EQ(p[bytes - 1], t);
                ReleasePixelMemory(p, bytes);
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_LE(PixelMemoryKept(), kPixelCacheMax);
    EXPECT_GT(PixelMemoryKept(), 0u);
}

} // namespace
