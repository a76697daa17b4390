// Sibling searches and sorts on plain arrays: bounded whatever the
// comparison answers, stable, and equal to the standard algorithms when the
// comparison is a proper order.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "gui/grid/SiblingSort.h"

using namespace Kestrum::GUI;

TEST(SiblingSort, FirstWhereIsThePartitionPointOfAMonotonePredicate)
{
    const std::vector<int> values = {1, 2, 2, 2, 5, 7};
    for (int probe : {0, 1, 2, 3, 5, 6, 7, 8}) {
        const int upper = SiblingSort::FirstWhere(values, 0, 6, [&](int v) { return probe < v; });
        EXPECT_EQ(upper, std::upper_bound(values.begin(), values.end(), probe) - values.begin()) << probe;
        const int lower = SiblingSort::FirstWhere(values, 0, 6, [&](int v) { return !(v < probe); });
        EXPECT_EQ(lower, std::lower_bound(values.begin(), values.end(), probe) - values.begin()) << probe;
    }
    // A sub-range is searched on its own.
    EXPECT_EQ(SiblingSort::FirstWhere(values, 1, 4, [](int v) { return 2 < v; }), 4);
    EXPECT_EQ(SiblingSort::FirstWhere(values, 3, 3, [](int) { return true; }), 3);
}

TEST(SiblingSort, SearchesAndSortsStayInsideTheirRangeUnderAnInconsistentComparison)
{
    std::mt19937 random(7);
    std::vector<int> values(200);
    for (int& value : values)
        value = static_cast<int>(random() % 50);
    for (int round = 0; round < 200; ++round) {
        const int low = static_cast<int>(random() % 100), high = low + static_cast<int>(random() % 100);
        const int at = SiblingSort::FirstWhere(values, low, high, [&](int) { return random() % 2 == 0; });
        EXPECT_GE(at, low);
        EXPECT_LE(at, high);
    }
    std::vector<int> sorted = values;
    SiblingSort::MergeSort(sorted.data(), sorted.size(), [&](int, int) { return random() % 3 == 0; });
    std::sort(sorted.begin(), sorted.end());
    std::vector<int> original = values;
    std::sort(original.begin(), original.end());
    EXPECT_EQ(sorted, original) << "a permutation of the input";
}

TEST(SiblingSort, MergeSortIsStableAndMatchesTheStandardStableSort)
{
    std::mt19937 random(11);
    for (std::size_t size : {0u, 1u, 2u, 3u, 17u, 64u, 1000u}) {
        std::vector<std::pair<int, int>> items(size);
        for (std::size_t i = 0; i < size; ++i)
            items[i] = {static_cast<int>(random() % 10), static_cast<int>(i)};
        auto byKey = [](const std::pair<int, int>& a, const std::pair<int, int>& b) { return a.first < b.first; };
        std::vector<std::pair<int, int>> expected = items;
        std::stable_sort(expected.begin(), expected.end(), byKey);
        SiblingSort::MergeSort(items.data(), items.size(), byKey);
        EXPECT_EQ(items, expected) << size;
    }
}

TEST(SiblingSort, IntegerKeySortIsStableBothWaysAndRefusesAMissingKey)
{
    std::vector<std::pair<int, int>> items = {{3, 0}, {1, 1}, {3, 2}, {2, 3}, {1, 4}};
    auto keyOf = [](const std::pair<int, int>& item, std::int64_t& key) {
        key = item.first;
        return item.first >= 0;
    };
    std::vector<std::pair<int, int>> ascending = items;
    ASSERT_TRUE(SiblingSort::SortByIntegerKey(ascending.data(), ascending.size(), keyOf, false));
    EXPECT_EQ(ascending, (std::vector<std::pair<int, int>>{{1, 1}, {1, 4}, {2, 3}, {3, 0}, {3, 2}}));
    std::vector<std::pair<int, int>> descending = items;
    ASSERT_TRUE(SiblingSort::SortByIntegerKey(descending.data(), descending.size(), keyOf, true));
    EXPECT_EQ(descending, (std::vector<std::pair<int, int>>{{3, 0}, {3, 2}, {2, 3}, {1, 1}, {1, 4}}));
    std::vector<std::pair<int, int>> missing = {{2, 0}, {-1, 1}, {1, 2}};
    EXPECT_FALSE(SiblingSort::SortByIntegerKey(missing.data(), missing.size(), keyOf, false));
    EXPECT_EQ(missing, (std::vector<std::pair<int, int>>{{2, 0}, {-1, 1}, {1, 2}})) << "unchanged";
}
