// The fixed-size pool: slots are distinct, aligned and inside their block;
// freed slots are reused; emptied chunks go back to the heap (one is kept);
// threads that make and free objects concurrently never share a slot.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/FixedPool.h"

using Kestrum::Common::CFixedPool;

struct PoolShape {
    std::size_t size;
    std::size_t alignment;
    std::size_t slot;
};

class CFixedPoolShapes : public testing::TestWithParam<PoolShape> {};

INSTANTIATE_TEST_SUITE_P(CFixedPool, CFixedPoolShapes,
                         testing::Values(PoolShape{70, 8, 72}, PoolShape{10, 4, 12}, PoolShape{3, 4, 8}),
                         [](const testing::TestParamInfo<PoolShape>& shapeInfo) {
                             return "Size" + std::to_string(shapeInfo.param.size) + "Aligned" +
                                    std::to_string(shapeInfo.param.alignment);
                         });

TEST_P(CFixedPoolShapes, HandsOutDistinctAlignedSlotsAndReusesThem)
{
    const PoolShape shape = GetParam();
    CFixedPool pool(shape.size, shape.alignment);
    const std::size_t size = shape.slot;
    EXPECT_EQ(pool.SlotSize(), size);
    std::vector<char*> slots;
    std::set<char*> seen;
    // Several chunks of blocks.
    const std::size_t count = 3 * CFixedPool::kBlocksPerChunk * CFixedPool::kBlockBytes / size;
    for (std::size_t i = 0; i < count; ++i) {
        char* slot = static_cast<char*>(pool.Allocate());
        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(slot) % shape.alignment, 0u);
        ASSERT_TRUE(seen.insert(slot).second) << "slot handed out twice";
        std::memset(slot, static_cast<int>(i & 0xFF), size);
        slots.push_back(slot);
    }
    // No slot overlaps its neighbour: every fill is intact.
    for (std::size_t i = 0; i < count; ++i)
        ASSERT_EQ(static_cast<unsigned char>(slots[i][size - 1]), i & 0xFF);
    EXPECT_EQ(pool.LiveCount(), count);
    EXPECT_GE(pool.ChunkCount(), 3u);

    // Freed slots come back before any new block is taken.
    const std::size_t blocks = pool.BlockCount();
    const std::size_t chunks = pool.ChunkCount();
    for (std::size_t i = 0; i < count; i += 2)
        pool.Deallocate(slots[i]);
    for (std::size_t i = 0; i < count; i += 2)
        slots[i] = static_cast<char*>(pool.Allocate());
    EXPECT_EQ(pool.BlockCount(), blocks);
    EXPECT_EQ(pool.ChunkCount(), chunks);

    for (char* slot : slots)
        pool.Deallocate(slot);
    pool.Deallocate(nullptr);
    EXPECT_EQ(pool.LiveCount(), 0u);
    EXPECT_EQ(pool.BlockCount(), 0u);
    EXPECT_EQ(pool.ChunkCount(), 1u) << "emptied chunks go back; one spare stays";

    // Churn at the edge of the spare chunk does not go to the heap.
    for (int i = 0; i < 1000; ++i)
        pool.Deallocate(pool.Allocate());
    EXPECT_EQ(pool.ChunkCount(), 1u);
    EXPECT_THROW(CFixedPool(16, 16), std::invalid_argument);
}

TEST(CFixedPool, MatchesASetUnderRandomUse)
{
    CFixedPool pool(2000); // 32 slots a block: the waves span several chunks
    std::vector<void*> live;
    std::size_t maxChunks = 0;
    std::mt19937 random(3);
    for (int step = 0; step < 200000; ++step) {
        // Waves of growth and shrinking, so blocks fill, empty and return.
        const bool grow = (step / 20000) % 2 == 0;
        if (live.empty() || random() % 10 < (grow ? 7u : 3u)) {
            live.push_back(pool.Allocate());
            maxChunks = std::max(maxChunks, pool.ChunkCount());
        } else {
            const std::size_t at = random() % live.size();
            pool.Deallocate(live[at]);
            live[at] = live.back();
            live.pop_back();
        }
    }
    EXPECT_EQ(pool.LiveCount(), live.size());
    EXPECT_GT(maxChunks, 3u);
    std::set<void*> distinct(live.begin(), live.end());
    EXPECT_EQ(distinct.size(), live.size());
    for (void* slot : live)
        pool.Deallocate(slot);
    EXPECT_EQ(pool.BlockCount(), 0u);
    EXPECT_EQ(pool.ChunkCount(), 1u);
}

TEST(CFixedPool, ThreadsFreeWhatOthersMade)
{
    CFixedPool pool(40);
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    std::mutex exchangeLock;
    std::vector<std::uint64_t*> exchange; // slots any thread may free
    std::atomic<bool> clash{false};
    const auto intact = [](const std::uint64_t* slot) {
        return std::all_of(slot, slot + 5, [&](std::uint64_t word) { return word == slot[0]; });
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                auto* slot = static_cast<std::uint64_t*>(pool.Allocate());
                std::fill(slot, slot + 5, static_cast<std::uint64_t>(t * kRounds + round));
                std::uint64_t* other = nullptr;
                {
                    std::lock_guard lock(exchangeLock);
                    exchange.push_back(slot);
                    if (exchange.size() > 100 && round % 2 == 0) {
                        other = exchange.front();
                        exchange.erase(exchange.begin());
                    }
                }
                if (other) {
                    if (!intact(other))
                        clash = true;
                    pool.Deallocate(other);
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (std::uint64_t* slot : exchange) {
        EXPECT_TRUE(intact(slot));
        pool.Deallocate(slot);
    }
    EXPECT_FALSE(clash.load()) << "two objects shared a slot";
    EXPECT_EQ(pool.LiveCount(), 0u);
}
