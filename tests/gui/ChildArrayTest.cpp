// The child array against std::vector: inserts and erases at random places
// through several growths, the lazy-index prefix, and handing the children
// back.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "gui/grid/detail/ChildArray.h"

using Kestrum::GUI::CChildArray;
using Kestrum::GUI::CGridItem;

namespace {
CGridItem* Fake(std::size_t n) { return reinterpret_cast<CGridItem*>((n + 1) * 16); }
} // namespace

TEST(CChildArray, MatchesAVectorThroughGrowthAndShrinking)
{
    CChildArray array;
    std::vector<CGridItem*> reference;
    std::mt19937 random(5);
    for (std::size_t step = 0; step < 40000; ++step) {
        const bool grow = step % 10000 < 7000;
        if (reference.empty() || random() % 10 < (grow ? 7u : 3u)) {
            const std::size_t at = random() % (reference.size() + 1);
            ASSERT_EQ(*array.insert(array.begin() + at, Fake(step)), Fake(step));
            reference.insert(reference.begin() + static_cast<std::ptrdiff_t>(at), Fake(step));
        } else {
            const std::size_t at = random() % reference.size();
            array.erase(array.begin() + at);
            reference.erase(reference.begin() + static_cast<std::ptrdiff_t>(at));
        }
        ASSERT_EQ(array.size(), reference.size());
        if (step % 997 == 0) {
            ASSERT_EQ(array.ToVector(), reference);
        }
    }
    ASSERT_FALSE(array.empty());
    EXPECT_EQ(array.front(), reference.front());
    EXPECT_EQ(array.back(), reference.back());
    EXPECT_EQ(std::vector<CGridItem*>(array.rbegin(), array.rend()),
              std::vector<CGridItem*>(reference.rbegin(), reference.rend()));
    EXPECT_EQ(array.TakeAll(), reference);
    EXPECT_TRUE(array.empty());
    EXPECT_EQ(array.begin(), array.end());
}

TEST(CChildArray, KeepsThePrefixOnlyWithChildren)
{
    CChildArray array;
    EXPECT_EQ(array.Prefix(), -1);
    array.SetPrefix(3); // nothing to validate yet
    EXPECT_EQ(array.Prefix(), -1);
    for (std::size_t i = 0; i < 9; ++i)
        array.push_back(Fake(i));
    array.SetPrefix(6);
    array.push_back(Fake(9)); // growing keeps the header
    EXPECT_EQ(array.Prefix(), 6);
    array.erase(array.begin());
    EXPECT_EQ(array.Prefix(), 6) << "the owner lowers the prefix, not the array";
    array.TakeAll();
    EXPECT_EQ(array.Prefix(), -1);
    array.push_back(Fake(1));
    EXPECT_EQ(array.Prefix(), -1) << "a new block starts unvalidated";
}
