// The handle set against std::set: members spread over several MiB of
// address space, pages emptied and refilled, and pointers that can never be
// members (null, misaligned, never inserted).
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "gui/grid/detail/PointerSet.h"

using Kestrum::GUI::CPointerSet;

TEST(CPointerSet, MatchesASetAcrossPages)
{
    // 4 MiB of 8-byte slots: members fall in several pages.
    std::vector<std::uint64_t> storage((4u << 20) / sizeof(std::uint64_t));
    CPointerSet<std::uint64_t> set;
    std::set<std::uint64_t*> reference;
    std::mt19937 random(23);
    for (int step = 0; step < 200000; ++step) {
        // Mostly a narrow window, so pages fill up and empty out again.
        const std::size_t window = step % 50000 < 25000 ? 4096 : storage.size();
        std::uint64_t* pointer = &storage[random() % window];
        if (random() % 3 != 0)
            ASSERT_EQ(set.Insert(pointer), reference.insert(pointer).second);
        else
            ASSERT_EQ(set.Erase(pointer), reference.erase(pointer) == 1);
        if (step % 4999 == 0) {
            ASSERT_EQ(set.Size(), reference.size());
            for (int probe = 0; probe < 2000; ++probe) {
                std::uint64_t* any = &storage[random() % storage.size()];
                ASSERT_EQ(set.Contains(any), reference.count(any) == 1);
            }
        }
    }
    for (std::uint64_t* member : reference)
        EXPECT_TRUE(set.Contains(member));
    EXPECT_FALSE(set.Contains(nullptr));
    EXPECT_FALSE(set.Insert(nullptr));
    auto* misaligned = reinterpret_cast<std::uint64_t*>(reinterpret_cast<char*>(storage.data()) + 4);
    EXPECT_FALSE(set.Insert(misaligned));
    EXPECT_FALSE(set.Contains(misaligned));
    set.Clear();
    EXPECT_EQ(set.Size(), 0u);
    EXPECT_FALSE(set.Contains(*reference.begin()));
}
