// The selection rules alone, over a stand-in for a grid's two areas.
#include "gui/grid/SelectionModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace Kestrum::GUI;

namespace {

// Two areas of flags; an area outside the selectable mask refuses to select.
class FakeRows final : public ISelectionRows {
public:
    FakeRows(int fixed, int scrollable, int selectableAreas = MaskBoth)
        : m_fixed(fixed, false), m_scrollable(scrollable, false), m_selectable(selectableAreas)
    {}
    int GetRowCount(int area) const override { return static_cast<int>(Area(area).size()); }
    bool IsRowSelected(RowPosition p) const override { return Valid(p) && Area(p.area)[p.row]; }
    bool SelectRow(RowPosition p, bool select) override
    {
        ++calls;
        if (!Valid(p) || (select && !AreaInMask(p.area, m_selectable)))
            return false;
        Area(p.area)[p.row] = select;
        return true;
    }
    void ClearSelection() override
    {
        std::fill(m_fixed.begin(), m_fixed.end(), false);
        std::fill(m_scrollable.begin(), m_scrollable.end(), false);
    }
    // The selected rows by display ordinal.
    std::vector<int> Selected() const
    {
        std::vector<int> out;
        for (int i = 0; i < static_cast<int>(m_fixed.size()); ++i)
            if (m_fixed[i])
                out.push_back(i);
        for (int i = 0; i < static_cast<int>(m_scrollable.size()); ++i)
            if (m_scrollable[i])
                out.push_back(static_cast<int>(m_fixed.size()) + i);
        return out;
    }
    int calls = 0;

private:
    bool Valid(RowPosition p) const { return (p.area == AreaFixed || p.area == AreaScrollable) && p.row >= 0 && p.row < GetRowCount(p.area); }
    std::vector<bool>& Area(int area) { return area == AreaFixed ? m_fixed : m_scrollable; }
    const std::vector<bool>& Area(int area) const { return area == AreaFixed ? m_fixed : m_scrollable; }
    std::vector<bool> m_fixed, m_scrollable;
    int m_selectable;
};

std::vector<int> Range(int a, int b)
{
    std::vector<int> out;
    for (int i = std::min(a, b); i <= std::max(a, b); ++i)
        out.push_back(i);
    return out;
}

} // namespace

TEST(CSelectionModel, NumbersTheFixedRowsFirstAndRangesCrossIntoTheScrollableOnes)
{
    FakeRows rows(3, 5);
    CSelectionModel model(rows);
    for (int ordinal = 0; ordinal < 8; ++ordinal)
        EXPECT_EQ(model.OrdinalOf(model.AtOrdinal(ordinal)), ordinal);
    EXPECT_EQ(model.AtOrdinal(2), (RowPosition{2, AreaFixed}));
    EXPECT_EQ(model.AtOrdinal(3), (RowPosition{0, AreaScrollable}));

    // Both directions give the same block; rows outside it are left alone.
    rows.SelectRow({4, AreaScrollable}, true);
    model.SelectRange({1, AreaFixed}, {1, AreaScrollable});
    EXPECT_EQ(rows.Selected(), (std::vector<int>{1, 2, 3, 4, 7}));
    model.SelectOnlyRange({1, AreaScrollable}, {1, AreaFixed});
    EXPECT_EQ(rows.Selected(), Range(1, 4));

    // An area that may not be selected keeps its rows out of a range.
    FakeRows scrollOnly(3, 5, MaskScrollable);
    CSelectionModel(scrollOnly).SelectOnlyRange({0, AreaFixed}, {2, AreaScrollable});
    EXPECT_EQ(scrollOnly.Selected(), Range(3, 5));
}

TEST(CSelectionModel, PlainCtrlAndStepRulesAcrossTheBoundary)
{
    FakeRows rows(2, 4);
    CSelectionModel model(rows);
    model.SelectOnly({1, AreaFixed});
    model.ExtendByStep({1, AreaFixed}, {0, AreaScrollable}); // Shift+Down over the boundary grows
    model.ExtendByStep({0, AreaScrollable}, {1, AreaScrollable});
    EXPECT_EQ(rows.Selected(), Range(1, 3));
    model.ExtendByStep({1, AreaScrollable}, {0, AreaScrollable}); // stepping back shrinks
    model.ExtendByStep({0, AreaScrollable}, {1, AreaFixed});
    EXPECT_EQ(rows.Selected(), Range(1, 1));
    model.ExtendByStep({1, AreaFixed}, {0, AreaFixed}); // past the anchor it grows again
    EXPECT_EQ(rows.Selected(), Range(0, 1));

    model.Toggle({3, AreaScrollable});
    model.Toggle({0, AreaFixed});
    EXPECT_EQ(rows.Selected(), (std::vector<int>{1, 5}));
    model.SelectOnly({});
    EXPECT_TRUE(rows.Selected().empty());
}

// The rows a drop put in place replace the selection, whichever area each
// is in; a row the grid refuses (an area it may not select) is left out.
TEST(CSelectionModel, DroppedRowsReplaceTheSelectionInBothAreas)
{
    FakeRows rows(2, 4, MaskScrollable);
    CSelectionModel model(rows);
    rows.SelectRow({3, AreaScrollable}, true);
    model.SelectOnlyRows({{2, AreaScrollable}, {1, AreaFixed}, {0, AreaScrollable}, {}});
    EXPECT_EQ(rows.Selected(), (std::vector<int>{2, 4})); // fixed row 1 is not selectable
    EXPECT_TRUE(model.SelectOnly({1, AreaScrollable}));
    EXPECT_FALSE(model.Select({0, AreaFixed}));
    EXPECT_TRUE(model.Select({3, AreaScrollable}));
    EXPECT_EQ(rows.Selected(), (std::vector<int>{3, 5}));
    EXPECT_FALSE(model.SelectOnly({}));
}

TEST(CSelectionModel, TheBandTouchesOnlyRowsWhoseStateChanges)
{
    FakeRows rows(0, 10);
    CSelectionModel model(rows);
    rows.SelectRow({9, AreaScrollable}, true); // outside the band: kept
    model.MoveBand(AreaScrollable, -1, -1, 2, 4);
    rows.calls = 0;
    model.MoveBand(AreaScrollable, 2, 4, 3, 6);
    EXPECT_EQ(rows.Selected(), (std::vector<int>{3, 4, 5, 6, 9}));
    EXPECT_EQ(rows.calls, 3); // 2 out, 5 and 6 in
    model.MoveBand(AreaScrollable, 3, 6, -1, -1);
    EXPECT_EQ(rows.Selected(), (std::vector<int>{9}));
}

// A keyboard user's moves: a plain move sets the anchor; Shift steps and
// jumps keep the selection exactly the block from the anchor to the focus,
// however they cross the boundary and the anchor; a Ctrl toggle breaks the
// block until the next plain move.
class CSelectionModelRandom : public ::testing::TestWithParam<unsigned> {};

TEST_P(CSelectionModelRandom, ShiftMovesKeepTheBlockFromTheAnchorToTheFocus)
{
    std::mt19937 random(GetParam());
    const int fixed = std::uniform_int_distribution<int>(0, 4)(random);
    const int scrollable = std::uniform_int_distribution<int>(1, 30)(random);
    const int total = fixed + scrollable;
    FakeRows rows(fixed, scrollable);
    CSelectionModel model(rows);
    int anchor = 0, focus = 0;
    bool block = true;
    model.SelectOnly(model.AtOrdinal(0));
    for (int step = 0; step < 2000; ++step) {
        const int kind = std::uniform_int_distribution<int>(0, 9)(random);
        if (kind == 0) { // a plain move
            focus = anchor = std::uniform_int_distribution<int>(0, total - 1)(random);
            model.SelectOnly(model.AtOrdinal(focus));
            block = true;
        } else if (kind == 1) { // Ctrl toggles some row
            model.Toggle(model.AtOrdinal(std::uniform_int_distribution<int>(0, total - 1)(random)));
            block = false;
        } else if (kind <= 5) { // Shift+Up or Shift+Down
            const int target = std::clamp(focus + (kind % 2 ? 1 : -1), 0, total - 1);
            model.ExtendByStep(model.AtOrdinal(focus), model.AtOrdinal(target));
            focus = target;
        } else if (kind == 6) { // Shift with a click: from the focus
            const int target = std::uniform_int_distribution<int>(0, total - 1)(random);
            model.SelectOnlyRange(model.AtOrdinal(focus), model.AtOrdinal(target));
            anchor = focus;
            focus = target;
            block = true;
        } else { // Shift with a page key, Home or End
            const int target = std::uniform_int_distribution<int>(0, total - 1)(random);
            if (!block)
                continue; // a jump's rule assumes the block it extends
            model.ExtendByRange(model.AtOrdinal(focus), model.AtOrdinal(target));
            focus = target;
        }
        if (block) {
            ASSERT_EQ(rows.Selected(), Range(anchor, focus)) << "step " << step << " kind " << kind;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, CSelectionModelRandom, ::testing::Range(1u, 21u));
