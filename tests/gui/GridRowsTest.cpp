#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <random>

#include "FakeSurface.h"
#include "common/DynamicObject.h"
#include "gui/grid/ObjectRegistry.h"
#include "gui/header/Header.h"

using namespace Kestrum::GUI;
using namespace Kestrum::Test;
using Kestrum::Common::CDynamicObject;

namespace {
constexpr std::int32_t kSizeField = 2;
constexpr std::int32_t kNameField = 0;

class GridRowsFixture : public ::testing::Test {
protected:
    GridRowsFixture()
    {
        surface.rows = &rows;
        rows.SetHeader(&header);
        header.AddColumn(new CColumn(kNameField, "Name", 100, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        header.AddColumn(new CColumn(kSizeField, "Size", 100, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
    }

    CDynamicObject* Object(const std::string& name, std::int64_t size)
    {
        objects.push_back(std::make_unique<CDynamicObject>(false));
        objects.back()->SetStlString(kNameField, name);
        objects.back()->SetInt64(kSizeField, size);
        return objects.back().get();
    }
    HITEM Add(const std::string& name, HITEM parent = GRID_ROOT, HITEM position = GRID_LAST, std::int64_t size = 0)
    {
        return rows.Add(Object(name, size), parent, position);
    }
    std::string NameOf(HITEM item) { return rows.GetObject(item, 0, 0)->GetStlString(kNameField); }
    std::vector<std::string> VisibleNames(int area = AreaScrollable)
    {
        std::vector<std::string> names;
        for (int row = 0; row < rows.GetRowCount(area); ++row)
            names.push_back(NameOf(rows.GetItemAt(row, area)));
        return names;
    }
    void SortBySize(bool descending)
    {
        header.ClearSort();
        header.SetSortInfo(0, CSortInfo(kSizeField, descending));
        rows.Resort();
    }

    std::deque<std::unique_ptr<CDynamicObject>> objects; // outlive the rows
    CHeader header{false};
    CFakeSurface surface;
    CGridRows rows{&surface};
};
} // namespace

TEST_F(GridRowsFixture, AddAtTheEndAndAtTheFront)
{
    Add("a");
    Add("b");
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"a", "b"}));
    Add("first", GRID_ROOT, GRID_FIRST);
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"first", "a", "b"}));
    EXPECT_EQ(rows.GetRowCount(AreaScrollable), 3);
    EXPECT_EQ(surface.topRow, 0);
    EXPECT_EQ(surface.Codes(), (std::vector<int>{EventRowShownOrHidden, EventItemAdded, EventRowShownOrHidden,
                                                 EventItemAdded, EventRowShownOrHidden, EventItemAdded}));
    EXPECT_EQ(rows.Add(nullptr, GRID_ROOT, GRID_LAST), 0u);
    EXPECT_EQ(rows.Add(Object("x", 0), 12345, GRID_LAST), 0u);
}

TEST_F(GridRowsFixture, CollapsedParentShowsChildrenOnlyWhenExpanded)
{
    const HITEM parent = Add("parent");
    const HITEM child = Add("child", parent);
    const HITEM grandchild = Add("grandchild", child);
    Add("after");
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"parent", "after"}));
    EXPECT_FALSE(rows.IsVisible(child));
    rows.Expand(child, false);
    EXPECT_FALSE(rows.IsVisible(grandchild)); // its parent is still hidden
    rows.Expand(parent, false);
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"parent", "child", "grandchild", "after"}));
    EXPECT_EQ(rows.GetLevel(grandchild), 2);
    EXPECT_EQ(rows.GetLevel(parent), 0);
    EXPECT_EQ(rows.GetParent(parent), GRID_ROOT);
    EXPECT_EQ(rows.GetParent(grandchild), child);
    rows.Collapse(parent, false);
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"parent", "after"}));
    EXPECT_TRUE(rows.IsExpanded(child)); // kept while hidden
    rows.Expand(parent, false);
    EXPECT_EQ(rows.GetRowCount(AreaScrollable), 4);
    rows.Collapse(GRID_ROOT, true);
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"parent", "after"}));
    rows.Expand(GRID_ROOT, true);
    EXPECT_EQ(rows.GetRowCount(AreaScrollable), 4);
}

TEST_F(GridRowsFixture, FocusFollowsItsItemAndClearsWhenHidden)
{
    const HITEM parent = Add("parent");
    const HITEM child = Add("child", parent);
    rows.Expand(parent, false);
    const HITEM last = Add("last");
    surface.SetFocusRow(rows.GetVisibleIndex(last), AreaScrollable, false);
    Add("top", GRID_ROOT, GRID_FIRST);
    EXPECT_EQ(surface.GetFocusedItem(), FromHandle(last));
    EXPECT_EQ(surface.focusRow, 3);
    surface.SetFocusRow(rows.GetVisibleIndex(child), AreaScrollable, false);
    rows.Collapse(parent, false);
    EXPECT_EQ(surface.focusRow, -1);
    EXPECT_EQ(surface.GetFocusedItem(), nullptr);
}

TEST_F(GridRowsFixture, RemovedHandlesAreRejectedEverywhere)
{
    const HITEM parent = Add("parent");
    const HITEM child = Add("child", parent);
    surface.events.clear();
    EXPECT_TRUE(rows.Remove(parent));
    EXPECT_EQ(surface.Codes(), (std::vector<int>{EventItemRemoving, EventItemRemoving, EventRowShownOrHidden}));
    EXPECT_EQ(surface.events[0].second, FromHandle(child)); // deepest first
    for (const HITEM stale : {parent, child}) {
        EXPECT_FALSE(rows.Remove(stale));
        EXPECT_FALSE(rows.Detach(stale));
        EXPECT_FALSE(rows.IsVisible(stale));
        EXPECT_EQ(rows.GetArea(stale), 0);
        EXPECT_EQ(rows.GetLevel(stale), -1);
        EXPECT_EQ(rows.GetParent(stale), 0u);
        EXPECT_EQ(rows.GetVisibleIndex(stale), -1);
        EXPECT_EQ(rows.Add(Object("x", 0), stale, GRID_LAST), 0u);
        EXPECT_EQ(rows.GetItemState(stale), 0u);
        rows.Move(stale, GRID_ROOT, GRID_LAST, false);
        rows.Expand(stale, true);
    }
    EXPECT_EQ(rows.GetRowCount(AreaScrollable), 0);
}

TEST_F(GridRowsFixture, GetItemPrefersTheFixedAreaThenTheLowerRow)
{
    CDynamicObject* shared = Object("shared", 1);
    const HITEM scrollable = rows.Add(shared, GRID_ROOT, GRID_LAST);
    const HITEM fixed = rows.Add(shared, GRID_FIXED_ROOT, GRID_LAST);
    EXPECT_EQ(rows.GetItem(shared), fixed);
    EXPECT_EQ(rows.GetArea(fixed), AreaFixed);
    EXPECT_EQ(rows.GetParent(fixed), GRID_FIXED_ROOT);
    rows.Remove(fixed);
    const HITEM second = rows.Add(shared, GRID_ROOT, GRID_FIRST);
    EXPECT_EQ(rows.GetItem(shared), second);
    std::vector<HITEM> items;
    rows.GetItems(shared, items, MaskBoth, false);
    EXPECT_EQ(items.size(), 2u);
    (void)scrollable;
}

TEST_F(GridRowsFixture, MoveRules)
{
    const HITEM a = Add("a");
    const HITEM b = Add("b");
    const HITEM c = Add("c");
    const HITEM child = Add("child", a);
    rows.Move(a, child, GRID_LAST, false); // under its own descendant: nothing
    rows.Move(a, a, GRID_LAST, false);
    rows.Move(b, GRID_ROOT, b, true); // next to itself: nothing, and b stays
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(rows.IsVisible(b));
    rows.Move(c, GRID_ROOT, a, true);
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"c", "a", "b"}));
    rows.Move(c, 0, b, false);
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"a", "b", "c"}));
    surface.events.clear();
    rows.Move(b, a, GRID_FIRST, false);
    EXPECT_EQ(rows.GetParent(b), a);
    EXPECT_EQ(surface.events.front().first, EventItemDetaching);
    EXPECT_EQ(surface.events.back().first, EventItemAttached);
    rows.Expand(a, false);
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"a", "b", "child", "c"}));
    rows.Move(a, GRID_FIXED_ROOT, GRID_LAST, false);
    EXPECT_EQ(VisibleNames(AreaFixed), (std::vector<std::string>{"a", "b", "child"}));
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"c"}));
}

TEST_F(GridRowsFixture, DetachAndAttachKeepTheSubtree)
{
    const HITEM a = Add("a");
    Add("child", a);
    rows.Expand(a, false);
    EXPECT_TRUE(rows.Detach(a));
    EXPECT_EQ(rows.GetRowCount(AreaScrollable), 0);
    EXPECT_EQ(rows.GetArea(a), 0);
    EXPECT_FALSE(rows.Attach(a, 12345, GRID_LAST));
    EXPECT_TRUE(rows.Attach(a, GRID_ROOT, GRID_LAST));
    EXPECT_FALSE(rows.Attach(a, GRID_ROOT, GRID_LAST)); // no longer detached
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"a", "child"}));
}

TEST_F(GridRowsFixture, ClearRaisesRemovalEventsAndEmptiesTheArea)
{
    const HITEM a = Add("a");
    Add("b", a);
    Add("fixed", GRID_FIXED_ROOT);
    surface.events.clear();
    EXPECT_TRUE(rows.Clear(MaskScrollable));
    EXPECT_EQ(surface.Codes(), (std::vector<int>{EventItemRemoving, EventItemRemoving}));
    EXPECT_EQ(rows.GetRowCount(AreaScrollable), 0);
    EXPECT_EQ(rows.GetRowCount(AreaFixed), 1);
    EXPECT_FALSE(rows.Remove(a));
    EXPECT_FALSE(rows.Clear(0));
    EXPECT_TRUE(rows.RemoveAt(0, MaskFixed));
    EXPECT_FALSE(rows.RemoveAt(0, MaskFixed));
}

TEST_F(GridRowsFixture, EqualKeysKeepArrivalOrderAndEmptyKeysCompareEqual)
{
    SortBySize(false);
    Add("ten", GRID_ROOT, GRID_LAST, 10);
    Add("five", GRID_ROOT, GRID_FIRST, 5);
    Add("ten again", GRID_ROOT, GRID_FIRST, 10);
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"five", "ten", "ten again"}));
    SortBySize(true);
    EXPECT_EQ(VisibleNames().front(), "ten");
    // An item without the sort field compares equal to every sibling.
    objects.push_back(std::make_unique<CDynamicObject>(false));
    objects.back()->SetStlString(kNameField, "no size");
    rows.Add(objects.back().get(), GRID_ROOT, GRID_FIRST);
    EXPECT_EQ(VisibleNames().back(), "no size");
}

TEST_F(GridRowsFixture, ChangedKeyMovesTheRowAndItsShownBlock)
{
    SortBySize(false);
    const HITEM small = Add("small", GRID_ROOT, GRID_LAST, 1);
    const HITEM middle = Add("middle", GRID_ROOT, GRID_LAST, 5);
    Add("big", GRID_ROOT, GRID_LAST, 9);
    Add("inner", small, GRID_LAST, 0);
    rows.Expand(small, false);
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"small", "inner", "middle", "big"}));
    surface.events.clear();
    rows.GetObject(small, 0, 0)->SetInt64(kSizeField, 7);
    rows.Reposition(FromHandle(small));
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"middle", "small", "inner", "big"}));
    EXPECT_EQ(surface.Codes(), (std::vector<int>{EventItemMoved}));
    EXPECT_EQ(rows.GetVisibleIndex(small), 1);
    EXPECT_EQ(rows.GetVisibleIndex(middle), 0);

    // A collapsed parent moves without showing its children.
    rows.Collapse(small, false);
    rows.GetObject(small, 0, 0)->SetInt64(kSizeField, 0);
    rows.Reposition(FromHandle(small));
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"small", "middle", "big"}));
}

TEST_F(GridRowsFixture, ARowThatLandsBelowAnExpandedSiblingFollowsItsShownChildren)
{
    SortBySize(false);
    const HITEM a = Add("a", GRID_ROOT, GRID_LAST, 1);
    const HITEM b = Add("b", GRID_ROOT, GRID_LAST, 5);
    const HITEM c = Add("c", GRID_ROOT, GRID_LAST, 9);
    Add("b1", b, GRID_LAST, 0);
    const HITEM b2 = Add("b2", b, GRID_LAST, 1);
    Add("b2x", b2, GRID_LAST, 0);
    rows.Expand(b, false);
    rows.Expand(b2, false);
    const HITEM hidden = Add("c1", c, GRID_LAST, 0); // c stays collapsed
    ASSERT_EQ(VisibleNames(), (std::vector<std::string>{"a", "b", "b1", "b2", "b2x", "c"}));
    auto resize = [&](HITEM item, std::int64_t size) {
        rows.GetObject(item, 0, 0)->SetInt64(kSizeField, size);
        rows.Reposition(FromHandle(item));
    };

    resize(a, 7); // down, just past b's block
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"b", "b1", "b2", "b2x", "a", "c"}));
    resize(c, 6); // up, to just below b's block
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"b", "b1", "b2", "b2x", "c", "a"}));
    resize(b, 8); // the expanded one moves down with its block
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"c", "a", "b", "b1", "b2", "b2x"}));
    // One level down: b1 passes its expanded sibling b2.
    const HITEM b1 = rows.GetItemAt(3, AreaScrollable);
    ASSERT_EQ(NameOf(b1), "b1");
    resize(b1, 2);
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"c", "a", "b", "b2", "b2x", "b1"}));
    for (int row = 0; row < rows.GetRowCount(AreaScrollable); ++row)
        EXPECT_EQ(rows.GetVisibleIndex(rows.GetItemAt(row, AreaScrollable)), row);
    EXPECT_EQ(rows.GetVisibleIndex(hidden), -1);
}

TEST_F(GridRowsFixture, ClearSortKeepsTheOrderAndPositionsCountAgain)
{
    SortBySize(true);
    Add("1", GRID_ROOT, GRID_LAST, 1);
    Add("3", GRID_ROOT, GRID_LAST, 3);
    Add("2", GRID_ROOT, GRID_LAST, 2);
    header.ClearSort();
    rows.Resort();
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"3", "2", "1"}));
    Add("first", GRID_ROOT, GRID_FIRST, 9);
    EXPECT_EQ(VisibleNames().front(), "first");
}

TEST(HeaderClicks, PlainCtrlAndShiftClicks)
{
    CHeader header(false);
    CGridRows::ApplyHeaderClick(&header, 1, false, false);
    EXPECT_EQ(header.GetSortInfo(0), CSortInfo(1, false));
    CGridRows::ApplyHeaderClick(&header, 1, false, false);
    EXPECT_EQ(header.GetSortInfo(0), CSortInfo(1, true));
    CGridRows::ApplyHeaderClick(&header, 2, false, true);
    EXPECT_EQ(header.GetSortInfo(1), CSortInfo(2, true)); // level 0's direction
    for (int field = 3; field <= 6; ++field)
        CGridRows::ApplyHeaderClick(&header, field, false, true);
    EXPECT_EQ(header.GetSortLevelCount(), 5); // the sixth was refused
    CGridRows::ApplyHeaderClick(&header, 2, false, true);
    EXPECT_EQ(header.GetSortInfo(1), CSortInfo(2, false));
    CGridRows::ApplyHeaderClick(&header, 4, false, false);
    EXPECT_EQ(header.GetSortLevelCount(), 1);
    EXPECT_EQ(header.GetSortInfo(0), CSortInfo(4, true));
    CGridRows::ApplyHeaderClick(&header, 4, true, false);
    EXPECT_EQ(header.GetSortLevelCount(), 0);
    header.EnableSorting(false);
    CGridRows::ApplyHeaderClick(&header, 4, false, false);
    EXPECT_EQ(header.GetSortLevelCount(), 0);
}

TEST_F(GridRowsFixture, SelectedItemsAgreeInBothWaysOfCollecting)
{
    std::vector<HITEM> items;
    for (int i = 0; i < 300; ++i)
        items.push_back(Add(std::to_string(i), i % 10 == 0 || items.empty() ? GRID_ROOT : items[static_cast<std::size_t>(i / 10 * 10)]));
    rows.Expand(GRID_ROOT, true);
    rows.Collapse(items[20], false);
    for (std::size_t i = 0; i < items.size(); i += 7)
        rows.SetItemSelected(FromHandle(items[i]), true);
    std::vector<HITEM> byIndex, byScan, chosen;
    rows.GetSelectedItemsByIndex(byIndex, MaskBoth);
    rows.GetSelectedItemsByScan(byScan, MaskBoth);
    rows.GetSelectedItems(chosen, MaskBoth);
    EXPECT_EQ(byIndex, byScan);
    EXPECT_EQ(chosen, byScan);
    for (std::size_t i = 1; i < byScan.size(); ++i)
        EXPECT_LT(rows.GetVisibleIndex(byScan[i - 1]), rows.GetVisibleIndex(byScan[i]));
    EXPECT_GT(rows.GetSelectedCount(), static_cast<int>(byScan.size())); // some are hidden
}

TEST_F(GridRowsFixture, FilterHidesAndShowsRows)
{
    const HITEM a = Add("a");
    const HITEM b = Add("b");
    Add("child", b);
    rows.Expand(b, false);
    surface.filtered.insert(FromHandle(b));
    rows.Refilter();
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(rows.GetItemState(b) & StateFilteredOut);
    surface.filtered.clear();
    rows.Refilter();
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"a", "b", "child"}));
    EXPECT_EQ(rows.GetItemState(a), static_cast<std::uint32_t>(StateInGrid | StateVisible));
}

TEST_F(GridRowsFixture, ForEachVisitsInPreorderFromAStart)
{
    struct CCollect : IItemVisitor {
        std::vector<std::string> names;
        std::size_t stopAfter = 100;
        bool Visit(CGridRows*, CGridItem*, Kestrum::Common::CDataObject* object) override
        {
            names.push_back(object->GetStlString(kNameField));
            return names.size() < stopAfter;
        }
    };
    const HITEM a = Add("a");
    const HITEM a1 = Add("a1", a);
    Add("a2", a);
    Add("b");
    Add("f", GRID_FIXED_ROOT);
    CCollect all;
    rows.ForEach(&all, 0);
    EXPECT_EQ(all.names, (std::vector<std::string>{"f", "a", "a1", "a2", "b"}));
    CCollect fromA1;
    rows.ForEach(&fromA1, a1);
    EXPECT_EQ(fromA1.names, (std::vector<std::string>{"a1", "a2", "b"}));
    CCollect stopping;
    stopping.stopAfter = 2;
    rows.ForEach(&stopping, GRID_ROOT);
    EXPECT_EQ(stopping.names, (std::vector<std::string>{"a", "a1"}));
    CCollect rowsOnly;
    rows.ForEachRow(&rowsOnly, 0);
    EXPECT_EQ(rowsOnly.names, (std::vector<std::string>{"f", "a", "b"}));
    EXPECT_EQ(rows.GetNextRow(rows.GetItemAt(0, AreaFixed), true), rows.GetItemAt(0, AreaScrollable));
    EXPECT_EQ(rows.GetPrevRow(rows.GetItemAt(0, AreaScrollable), true), rows.GetItemAt(0, AreaFixed));
    EXPECT_EQ(rows.GetPrevRow(rows.GetItemAt(0, AreaScrollable), false), 0u);
}

namespace {
constexpr std::int32_t kSeqField = 5;

// Keys of one integer type, in arrival order; the grid must order them as a
// stable sort of the values does, when adding in order and when re-sorting.
template <class T> void CheckIntegerKeys(const std::vector<T>& values)
{
    std::vector<std::size_t> arrival(values.size());
    for (std::size_t i = 0; i < arrival.size(); ++i)
        arrival[i] = i;
    for (const bool descending : {false, true}) {
        std::vector<std::size_t> expected = arrival;
        std::stable_sort(expected.begin(), expected.end(), [&](std::size_t a, std::size_t b) {
            return descending ? values[a] > values[b] : values[a] < values[b];
        });
        // Sorted while adding, and added first and sorted once.
        for (const bool sortFirst : {true, false}) {
            std::deque<std::unique_ptr<CDynamicObject>> objects;
            CHeader header(false);
            header.AddColumn(new CColumn(kSizeField, "Key", 100, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
            CFakeSurface surface;
            CGridRows rows(&surface);
            surface.rows = &rows;
            rows.SetHeader(&header);
            if (sortFirst) {
                header.SetSortInfo(0, CSortInfo(kSizeField, descending));
                rows.Resort();
            }
            const HITEM parent =
                rows.Add(objects.emplace_back(std::make_unique<CDynamicObject>(false)).get(), GRID_ROOT, GRID_LAST);
            rows.Expand(parent, false);
            for (std::size_t i = 0; i < values.size(); ++i) {
                auto& object = objects.emplace_back(std::make_unique<CDynamicObject>(false));
                object->SetValue(kSizeField, Kestrum::Common::CValue(static_cast<T>(values[i])));
                object->SetInt64(kSeqField, static_cast<std::int64_t>(i));
                rows.Add(object.get(), parent, GRID_LAST);
            }
            if (!sortFirst) {
                header.SetSortInfo(0, CSortInfo(kSizeField, descending));
                rows.Resort();
            }
            std::vector<std::size_t> seen;
            std::vector<HITEM> children;
            rows.GetChildren(parent, children, false);
            for (HITEM child : children)
                seen.push_back(static_cast<std::size_t>(rows.GetObject(child, 0, 0)->GetInt64(kSeqField)));
            EXPECT_EQ(seen, expected) << "descending " << descending << ", sorted first " << sortFirst;
            rows.Clear(MaskBoth);
        }
    }
}
} // namespace

TEST(GridRowsIntegerKeys, EveryIntegerTypeSortsLikeItsValues)
{
    std::mt19937 random(5);
    const auto draw = [&](auto low, auto high, std::size_t count) {
        using T = decltype(low);
        std::vector<T> values;
        std::uniform_int_distribution<std::int64_t> pick(static_cast<std::int64_t>(low), static_cast<std::int64_t>(high));
        for (std::size_t i = 0; i < count; ++i)
            values.push_back(static_cast<T>(pick(random)));
        values.push_back(low);
        values.push_back(high);
        return values;
    };
    CheckIntegerKeys(draw(std::int8_t{-128}, std::int8_t{127}, 300));
    CheckIntegerKeys(draw(std::uint8_t{0}, std::uint8_t{255}, 300));
    CheckIntegerKeys(draw(std::int16_t{-32768}, std::int16_t{32767}, 300));
    CheckIntegerKeys(draw(std::uint16_t{0}, std::uint16_t{65535}, 300));
    CheckIntegerKeys(draw(std::int32_t{INT32_MIN}, std::int32_t{INT32_MAX}, 300));
    // Above 2^31 an unsigned key must not turn negative.
    CheckIntegerKeys(draw(std::uint32_t{0}, std::uint32_t{UINT32_MAX}, 300));
    CheckIntegerKeys(draw(std::int64_t{INT64_MIN}, std::int64_t{INT64_MAX}, 300));
    CheckIntegerKeys(std::vector<bool>{true, false, false, true, true, false});
    // Few distinct values: arrival order decides among equals.
    CheckIntegerKeys(draw(std::int32_t{0}, std::int32_t{3}, 200));
}

TEST_F(GridRowsFixture, ARowAddedUnderAParentReportsTheParentsCurrentRow)
{
    // Rows added one after another under one parent reuse its row index
    // until any other row change moves it.
    const HITEM first = Add("first");
    const HITEM parent = Add("parent");
    rows.Expand(parent, false);
    rows.Expand(first, false);
    Add("a", parent);
    EXPECT_EQ(surface.lastChangedFrom, 1);
    Add("b", parent);
    EXPECT_EQ(surface.lastChangedFrom, 1);
    Add("under first", first); // the parent moves down a row
    EXPECT_EQ(surface.lastChangedFrom, 0);
    Add("c", parent);
    EXPECT_EQ(surface.lastChangedFrom, 2);
    rows.Remove(rows.GetItemAt(1, AreaScrollable)); // "under first"
    Add("d", parent);
    EXPECT_EQ(surface.lastChangedFrom, 1);
    rows.Collapse(first, false);
    Add("before", GRID_ROOT, GRID_FIRST);
    Add("e", parent);
    EXPECT_EQ(surface.lastChangedFrom, 2);
    EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"before", "first", "parent", "a", "b", "c", "d", "e"}));
}

// Rows differing only in a later sort level take their order from it, at
// every level up to the fifth; the sort keys kept per row never disturb the
// row's expanded and selected states.
TEST_F(GridRowsFixture, EachOfFiveSortLevelsOrdersTheRowsTheLevelsAboveLeaveTied)
{
    const Kestrum::Common::FieldId levels[] = {10, 11, 12, 13, 14};
    for (int deciding = 0; deciding < 5; ++deciding) {
        SCOPED_TRACE("deciding level " + std::to_string(deciding));
        rows.Clear(MaskBoth);
        header.ClearSort();
        for (int level = 0; level < 5; ++level)
            header.SetSortInfo(level, CSortInfo(levels[level], level == deciding));
        // Equal at every level but the deciding one, which sorts descending.
        std::vector<HITEM> added;
        for (int value : {1, 3, 2}) {
            CDynamicObject* object = Object("v" + std::to_string(value), 0);
            for (int level = 0; level < 5; ++level)
                object->SetLong(levels[level], level == deciding ? value : 7);
            added.push_back(rows.Add(object, GRID_ROOT, GRID_LAST));
        }
        rows.Add(Object("child", 0), added[2], GRID_LAST);
        rows.Expand(added[2], false);
        rows.SetItemSelected(rows.Validate(added[1]), true);
        rows.Resort();
        EXPECT_EQ(VisibleNames(), (std::vector<std::string>{"v3", "v2", "child", "v1"}));
        EXPECT_TRUE(rows.IsExpanded(added[2]));
        EXPECT_EQ(rows.GetSelectedCount(), 1);
        std::vector<HITEM> selected;
        rows.GetSelectedItems(selected, MaskBoth);
        EXPECT_EQ(selected, std::vector<HITEM>{added[1]});
    }
}

namespace {
// A grid of rows built the same way from a seed: a deep chain, wide
// folders, some of it expanded beforehand, a filter and a focused row.
struct CShapedGrid {
    enum Shape { Deep, Wide, Mixed };
    CShapedGrid(Shape shape, unsigned seed, bool hears)
    {
        surface.rows = &rows;
        surface.hearsEvents = hears;
        rows.SetHeader(&header);
        std::mt19937 random(seed);
        std::vector<HITEM> folders = {GRID_ROOT};
        const int count = shape == Deep ? 3000 : 2000;
        for (int i = 0; i < count; ++i) {
            HITEM parent = folders.back(); // Deep: a chain
            if (shape == Wide)
                parent = folders[random() % std::min<std::size_t>(folders.size(), 4)];
            else if (shape == Mixed)
                parent = folders[random() % folders.size()];
            objects.push_back(std::make_unique<CDynamicObject>(false));
            objects.back()->SetStlString(kNameField, std::to_string(i));
            objects.back()->SetInt64(kSizeField, static_cast<std::int64_t>(random() % 50));
            const HITEM item = rows.Add(objects.back().get(), parent, GRID_LAST);
            items.push_back(item);
            if (shape == Deep || random() % 3 == 0)
                folders.push_back(item);
        }
        header.SetSortInfo(0, CSortInfo(kSizeField, true));
        rows.Resort();
        // Some items open and some filtered out already (with their rows
        // kept until the filter is asked again), then a few more filtered.
        for (std::size_t i = 0; i < items.size(); i += 7)
            rows.Expand(items[i], false);
        for (std::size_t i = 3; i < items.size(); i += 41)
            surface.filtered.insert(FromHandle(items[i]));
        rows.Refilter();
        for (std::size_t i = 5; i < items.size(); i += 53)
            surface.filtered.insert(FromHandle(items[i]));
        if (rows.GetRowCount(AreaScrollable) > 1)
            surface.SetFocusRow(1, AreaScrollable, false);
        surface.events.clear();
    }
    std::string NameOf(CGridItem* item) const { return item ? item->GetObject()->GetStlString(kNameField) : "-"; }
    // Everything an expand may change: the rows in order, each item's flag
    // and shown count, the focus and the top row.
    std::vector<std::string> State()
    {
        std::vector<std::string> state;
        for (int row = 0; row < rows.GetRowCount(AreaScrollable); ++row)
            state.push_back("row " + NameOf(FromHandle(rows.GetItemAt(row, AreaScrollable))));
        for (HITEM item : items)
            state.push_back(NameOf(FromHandle(item)) + (rows.IsExpanded(item) ? " open " : " closed ") +
                            std::to_string(FromHandle(item)->GetVisibleDescendantCount()) + " " +
                            std::to_string(rows.GetVisibleIndex(item)));
        state.push_back("all " + std::to_string(rows.Scrollable().GetRoot()->GetVisibleDescendantCount()));
        state.push_back("focus " + NameOf(surface.GetFocusedItem()) + " top " + std::to_string(surface.topRow));
        return state;
    }

    std::deque<std::unique_ptr<CDynamicObject>> objects;
    CHeader header{false};
    CFakeSurface surface;
    CGridRows rows{&surface};
    std::vector<HITEM> items;
};

class ExpandAllShapes : public ::testing::TestWithParam<std::tuple<CShapedGrid::Shape, unsigned>> {};
} // namespace

TEST_P(ExpandAllShapes, InOnePassShowsWhatExpandingOneByOneShows)
{
    const auto [shape, seed] = GetParam();
    // Heard: the expand goes item by item, raising each event.
    CShapedGrid heard(shape, seed, true);
    heard.rows.Expand(GRID_ROOT, true);
    // Unheard: the whole tree opens in one pass.
    CShapedGrid quiet(shape, seed, false);
    quiet.rows.Expand(GRID_ROOT, true);
    EXPECT_TRUE(quiet.surface.events.empty());
    EXPECT_GT(quiet.surface.rowsChanged, 0);
    // By hand: the root, then every item in preorder, one level each.
    CShapedGrid byHand(shape, seed, true);
    byHand.rows.Expand(GRID_ROOT, false);
    std::vector<CGridItem*> preorder;
    std::vector<CGridItem*> stack(byHand.rows.Scrollable().GetRoot()->GetChildren().rbegin(),
                                  byHand.rows.Scrollable().GetRoot()->GetChildren().rend());
    while (!stack.empty()) {
        CGridItem* item = stack.back();
        stack.pop_back();
        byHand.rows.Expand(ToHandle(item), false);
        stack.insert(stack.end(), item->GetChildren().rbegin(), item->GetChildren().rend());
    }
    const std::vector<std::string> expected = byHand.State();
    EXPECT_EQ(heard.State(), expected);
    EXPECT_EQ(quiet.State(), expected);
    // And back: collapsing all leaves the top rows alike, and every row that
    // went was told so either way.
    quiet.surface.events.clear();
    quiet.rows.Collapse(GRID_ROOT, true);
    heard.rows.Collapse(GRID_ROOT, true);
    EXPECT_TRUE(quiet.surface.events.empty());
    EXPECT_EQ(quiet.State(), heard.State());
    EXPECT_EQ(quiet.surface.rowsHidden, heard.surface.rowsHidden);
    EXPECT_GT(quiet.surface.rowsHidden, 0);
}

TEST_P(ExpandAllShapes, InOnePassBelowOneItemAndBelowAHiddenOne)
{
    const auto [shape, seed] = GetParam();
    CShapedGrid heard(shape, seed, true);
    CShapedGrid quiet(shape, seed, false);
    // A shown item's subtree opens and closes in place; a hidden item's is
    // only flagged.
    for (std::size_t i : {std::size_t{0}, std::size_t{10}, std::size_t{999}}) {
        heard.rows.Expand(heard.items[i], true);
        quiet.rows.Expand(quiet.items[i], true);
        ASSERT_EQ(quiet.State(), heard.State()) << "expanding item " << i;
    }
    for (std::size_t i : {std::size_t{10}, std::size_t{999}, std::size_t{0}}) {
        heard.rows.Collapse(heard.items[i], true);
        quiet.rows.Collapse(quiet.items[i], true);
        ASSERT_EQ(quiet.State(), heard.State()) << "collapsing item " << i;
        ASSERT_EQ(quiet.surface.rowsHidden, heard.surface.rowsHidden) << "collapsing item " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Trees, ExpandAllShapes,
                         ::testing::Combine(::testing::Values(CShapedGrid::Deep, CShapedGrid::Wide, CShapedGrid::Mixed),
                                            ::testing::Values(1u, 2u)));

// Clearing a whole area drops its registry pairs in bulk: a sweep when the
// area holds a large share of the registry, pair by pair when it holds a
// small one. Either way an object shown by another grid keeps its items and
// its subscription, one shown only by the cleared area is unsubscribed, and
// a listener still hears every item's removal.
class RegistryClear : public ::testing::TestWithParam<int> {};

TEST_P(RegistryClear, KeepsWhatOtherGridsShowAndUnsubscribesTheRest)
{
    struct CSink : Kestrum::Common::CDataObject::ISink {
        void OnFieldChanged(Kestrum::Common::FieldId, Kestrum::Common::CDataObject*) override {}
    } sink;
    CObjectRegistry& registry = CObjectRegistry::Instance();
    Kestrum::Common::CDataObject::ISink* previous = registry.GetSink();
    registry.SetSink(&sink);
    {
        const int cleared = GetParam(), kept = 300;
        std::vector<std::unique_ptr<CDynamicObject>> objects;
        for (int i = 0; i < cleared + kept; ++i)
            objects.push_back(std::make_unique<CDynamicObject>(false));
        CFakeSurface surfaceA, surfaceB;
        CGridRows a(&surfaceA), b(&surfaceB);
        surfaceA.rows = &a;
        surfaceB.rows = &b;
        // Grid a shows the first `cleared` objects under folders of ten, the
        // first hundred a second time in its fixed area; grid b shows every
        // third object and the `kept` objects after them.
        HITEM folder = 0;
        for (int i = 0; i < cleared; ++i) {
            const HITEM item = a.Add(objects[i].get(), i % 10 == 0 ? GRID_ROOT : folder, GRID_LAST);
            if (i % 10 == 0)
                folder = item;
            if (i < 100)
                a.Add(objects[i].get(), GRID_FIXED_ROOT, GRID_LAST);
        }
        for (int i = 0; i < cleared + kept; ++i)
            if (i >= cleared || i % 3 == 0)
                b.Add(objects[i].get(), GRID_ROOT, GRID_LAST);
        surfaceA.events.clear();
        ASSERT_TRUE(a.Clear(MaskScrollable));
        EXPECT_EQ(surfaceA.events.size(), static_cast<std::size_t>(cleared)) << "a removal heard per item";
        for (int i = 0; i < cleared + kept; ++i) {
            const bool inB = i >= cleared || i % 3 == 0, inFixed = i < std::min(100, cleared);
            std::vector<CGridItem*> itemsA, itemsB;
            registry.FindItems(objects[i].get(), itemsA, &a);
            registry.FindItems(objects[i].get(), itemsB, &b);
            ASSERT_EQ(itemsA.size(), inFixed ? 1u : 0u) << "object " << i;
            ASSERT_EQ(itemsB.size(), inB ? 1u : 0u) << "object " << i;
            ASSERT_EQ(objects[i]->HasSubscribers(), inB || inFixed) << "object " << i;
        }
        // The cleared area fills again as before.
        objects.push_back(std::make_unique<CDynamicObject>(false));
        const HITEM again = a.Add(objects.back().get(), GRID_ROOT, GRID_LAST);
        EXPECT_EQ(a.GetItem(objects.back().get()), again);
        EXPECT_TRUE(objects.back()->HasSubscribers());
        a.Clear(MaskBoth);
        b.Clear(MaskBoth);
        for (const auto& object : objects)
            EXPECT_FALSE(object->HasSubscribers());
    }
    registry.SetSink(previous);
}

INSTANTIATE_TEST_SUITE_P(Shares, RegistryClear, ::testing::Values(20, 3000));
