// Children that wait unsorted under a folder without rows below it: whatever
// is asked of the rows, and whenever, the answer is the one of inserting
// every child in its place at once. Two grids take the same random steps, one
// deferring from 4 children on and one never; orders, rows, events and the
// calls to the surface must agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <deque>
#include <limits>
#include <map>
#include <random>

#include "FakeSurface.h"
#include "common/DynamicObject.h"
#include "gui/header/Header.h"

using namespace Kestrum::GUI;
using namespace Kestrum::Test;
using Kestrum::Common::CDataObject;
using Kestrum::Common::CDynamicObject;

namespace {
constexpr std::int32_t kKey = 2;
constexpr std::int32_t kSecondKey = 3;

// Records events by object, so two grids' records compare.
struct CObjectSurface : CFakeSurface {
    std::vector<std::pair<int, CDataObject*>> heard;
    void RaiseEvent(int code, CGridItem* item) override
    {
        CFakeSurface::RaiseEvent(code, item);
        heard.emplace_back(code, item->GetObject());
    }
};

struct CSide {
    explicit CSide(std::size_t deferFrom)
    {
        surface.rows = &rows;
        rows.SetHeader(&header);
        rows.SetDeferFrom(deferFrom);
    }
    CHeader header{false};
    CObjectSurface surface;
    CGridRows rows{&surface};
};

class CTwinGrids {
public:
    explicit CTwinGrids(unsigned seed) : m_random(seed)
    {
        SortBy(0);
        for (int i = 0; i < 3; ++i)
            AddTo(nullptr);
    }

    void Step()
    {
        const unsigned choice = m_random() % 100;
        if (choice < 55)
            AddTo(m_random() % 4 == 0 ? RandomObject() : m_folders[m_random() % m_folders.size()]);
        else if (choice < 67)
            ChangeKey();
        else if (choice < 75)
            CompareChildren(RandomObject());
        else if (choice < 80)
            Toggle();
        else if (choice < 84)
            SortBy(m_random() % 5);
        else if (choice < 89)
            Remove();
        else if (choice < 92)
            CompareAllItemsInOrder();
        CompareRowsAndEvents();
    }

    void CompareEverything()
    {
        for (CDataObject* object : m_folders)
            CompareChildren(object);
        for (int i = 0; i < 20 && !m_items.empty(); ++i)
            CompareChildren(RandomObject());
        CompareAllItemsInOrder();
        CompareRowsAndEvents();
    }

private:
    CDataObject* RandomObject()
    {
        auto it = m_items.begin();
        std::advance(it, static_cast<std::ptrdiff_t>(m_random() % m_items.size()));
        return it->first;
    }
    HITEM ItemOf(int side, CDataObject* object) { return object ? m_items.at(object)[side] : GRID_ROOT; }

    void SetKeys(CDynamicObject& object)
    {
        // Few distinct keys, so ties are common; some objects lack the key
        // (a change leaves theirs alone) or hold another type.
        const unsigned kind = m_random() % 10;
        if (kind < 7)
            object.SetInt64(kKey, static_cast<std::int64_t>(m_random() % 8));
        else if (kind < 8)
            object.SetStlString(kKey, std::to_string(m_random() % 8));
        object.SetInt64(kSecondKey, static_cast<std::int64_t>(m_random() % 3));
    }

    void AddTo(CDataObject* parent)
    {
        m_objects.push_back(std::make_unique<CDynamicObject>(false));
        CDynamicObject* object = m_objects.back().get();
        SetKeys(*object);
        const HITEM position = m_random() % 2 ? GRID_LAST : GRID_FIRST;
        std::array<HITEM, 2> items{};
        for (int side = 0; side < 2; ++side) {
            items[side] = m_sides[side].rows.Add(object, ItemOf(side, parent), position);
            ASSERT_NE(items[side], 0u);
        }
        m_items[object] = items;
        if (!parent)
            m_folders.push_back(object);
    }

    // As the dispatcher applies a change: the item moves to its new place.
    void ChangeKey()
    {
        auto* object = static_cast<CDynamicObject*>(RandomObject());
        SetKeys(*object);
        for (int side = 0; side < 2; ++side)
            m_sides[side].rows.Reposition(FromHandle(ItemOf(side, object)));
    }

    void Toggle()
    {
        CDataObject* object = m_random() % 2 ? m_folders[m_random() % m_folders.size()] : RandomObject();
        const bool expand = !m_sides[0].rows.IsExpanded(ItemOf(0, object));
        for (int side = 0; side < 2; ++side) {
            if (expand)
                m_sides[side].rows.Expand(ItemOf(side, object), false);
            else
                m_sides[side].rows.Collapse(ItemOf(side, object), false);
        }
    }

    // 0: no sort, left as it was (or the levels cleared); else one or two levels.
    void SortBy(unsigned how)
    {
        const bool descending = m_random() % 2 != 0;
        for (CSide& side : m_sides) {
            side.header.ClearSort();
            if (how == 0) {
                side.rows.ClearTreeSortLevels();
                continue;
            }
            side.header.SetSortInfo(0, CSortInfo(kKey, descending));
            if (how > 2)
                side.header.SetSortInfo(1, CSortInfo(kSecondKey, !descending));
            side.rows.Resort();
        }
    }

    void Remove()
    {
        CDataObject* object = RandomObject();
        if (std::find(m_folders.begin(), m_folders.end(), object) != m_folders.end())
            return;
        std::vector<CDataObject*> gone;
        std::vector<CGridItem*> subtree = {FromHandle(ItemOf(0, object))};
        for (std::size_t i = 0; i < subtree.size(); ++i) {
            gone.push_back(subtree[i]->GetObject());
            for (CGridItem* child : subtree[i]->GetChildren())
                subtree.push_back(child);
        }
        for (int side = 0; side < 2; ++side)
            ASSERT_TRUE(m_sides[side].rows.Remove(ItemOf(side, object)));
        for (CDataObject* item : gone)
            m_items.erase(item);
    }

    std::vector<CDataObject*> ObjectsOf(const std::vector<HITEM>& items)
    {
        std::vector<CDataObject*> objects;
        for (HITEM item : items)
            objects.push_back(FromHandle(item)->GetObject());
        return objects;
    }

    void CompareChildren(CDataObject* parent)
    {
        std::array<std::vector<HITEM>, 2> children;
        for (int side = 0; side < 2; ++side)
            m_sides[side].rows.GetChildren(ItemOf(side, parent), children[side], false);
        ASSERT_EQ(ObjectsOf(children[0]), ObjectsOf(children[1]));
        // Positions after the merge count as before it.
        for (int side = 0; side < 2; ++side)
            for (std::size_t i = 0; i < children[side].size(); ++i)
                ASSERT_EQ(CItemTree::IndexOfChild(FromHandle(children[side][i])), static_cast<int>(i));
    }

    // Every item as if all were expanded: the order an export or a print reads.
    void CompareAllItemsInOrder()
    {
        std::array<std::vector<CGridItem*>, 2> all;
        for (int side = 0; side < 2; ++side)
            m_sides[side].rows.CollectRows(AreaScrollable, true, all[side]);
        ASSERT_EQ(all[0].size(), all[1].size());
        for (std::size_t i = 0; i < all[0].size(); ++i)
            ASSERT_EQ(all[0][i]->GetObject(), all[1][i]->GetObject());
    }

    void CompareRowsAndEvents()
    {
        const CObjectSurface& deferring = m_sides[0].surface;
        const CObjectSurface& reference = m_sides[1].surface;
        ASSERT_EQ(deferring.heard, reference.heard);
        ASSERT_EQ(deferring.rowsChanged, reference.rowsChanged);
        ASSERT_EQ(deferring.lastChangedFrom, reference.lastChangedFrom);
        ASSERT_EQ(deferring.repaints, reference.repaints);
        ASSERT_EQ(deferring.topRow, reference.topRow);
        const int count = m_sides[0].rows.GetRowCount(AreaScrollable);
        ASSERT_EQ(count, m_sides[1].rows.GetRowCount(AreaScrollable));
        for (int row = 0; row < count; ++row)
            ASSERT_EQ(m_sides[0].rows.GetObject(0, row, AreaScrollable),
                      m_sides[1].rows.GetObject(0, row, AreaScrollable));
    }

    std::mt19937 m_random;
    std::deque<std::unique_ptr<CDynamicObject>> m_objects; // outlive the rows
    std::array<CSide, 2> m_sides{CSide(4), CSide(std::numeric_limits<std::size_t>::max())};
    std::map<CDataObject*, std::array<HITEM, 2>> m_items;
    std::vector<CDataObject*> m_folders;
};
} // namespace

class DeferredChildren : public ::testing::TestWithParam<unsigned> {};

TEST_P(DeferredChildren, AnswerAsInsertedInPlace)
{
    CTwinGrids grids(GetParam());
    for (int step = 0; step < 3000; ++step) {
        ASSERT_NO_FATAL_FAILURE(grids.Step()) << "step " << step;
    }
    ASSERT_NO_FATAL_FAILURE(grids.CompareEverything());
}

INSTANTIATE_TEST_SUITE_P(Seeds, DeferredChildren, ::testing::Values(1u, 2u, 3u, 4u));
