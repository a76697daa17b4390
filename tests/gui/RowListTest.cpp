// The counted row list against a plain vector, over random block inserts and
// cuts large enough to split and empty many leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "gui/grid/GridItem.h"

using namespace Kestrum::GUI;

TEST(CRowList, MatchesAVectorUnderRandomBlocks)
{
    CItemTree tree(nullptr, AreaScrollable);
    std::vector<std::unique_ptr<CGridItem>> pool;
    for (int i = 0; i < 20000; ++i)
        pool.push_back(std::make_unique<CGridItem>(&tree));
    std::vector<CGridItem*> unused;
    for (auto& item : pool)
        unused.push_back(item.get());

    CRowList list;
    std::vector<CGridItem*> reference;
    std::mt19937 random(7);
    for (int step = 0; step < 4000; ++step) {
        if (step % 500 == 499) {
            list.Assign(reference); // built bottom up, then changed further
        } else if (step % 500 == 249) {
            // A re-sort: the same rows in another order, relinked.
            std::shuffle(reference.begin(), reference.end(), random);
            list.Reorder(reference);
        } else if (random() % 3 != 0 && !unused.empty()) {
            const std::size_t count = std::min<std::size_t>(1 + random() % 300, unused.size());
            std::vector<CGridItem*> block(unused.end() - static_cast<std::ptrdiff_t>(count), unused.end());
            unused.resize(unused.size() - count);
            const int at = static_cast<int>(random() % (reference.size() + 1));
            list.Insert(at, block);
            reference.insert(reference.begin() + at, block.begin(), block.end());
        } else if (!reference.empty()) {
            const int at = static_cast<int>(random() % reference.size());
            const int count = static_cast<int>(1 + random() % 400);
            const auto cut = list.Erase(at, count);
            const auto end = reference.begin() + std::min<std::ptrdiff_t>(at + count, static_cast<std::ptrdiff_t>(reference.size()));
            ASSERT_EQ(cut, std::vector<CGridItem*>(reference.begin() + at, end));
            reference.erase(reference.begin() + at, end);
            unused.insert(unused.end(), cut.begin(), cut.end());
            for (CGridItem* item : cut)
                ASSERT_FALSE(item->HasRow());
        }
        ASSERT_EQ(list.Size(), static_cast<int>(reference.size()));
        for (int probe = 0; probe < 20 && !reference.empty(); ++probe) {
            const int index = static_cast<int>(random() % reference.size());
            ASSERT_EQ(list.At(index), reference[static_cast<std::size_t>(index)]);
            ASSERT_EQ(list.IndexOf(reference[static_cast<std::size_t>(index)]), index);
        }
    }
    ASSERT_EQ(list.Items(), reference);
    EXPECT_EQ(list.At(-1), nullptr);
    EXPECT_EQ(list.At(list.Size()), nullptr);
    EXPECT_EQ(list.IndexOf(nullptr), -1);
    list.Clear();
    EXPECT_EQ(list.Size(), 0);
    for (CGridItem* item : reference)
        EXPECT_FALSE(item->HasRow());
}
