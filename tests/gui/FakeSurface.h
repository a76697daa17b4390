// A recording stand-in for the grid widget: keeps focus and top row as the
// widget does (row index and area) and records what the hierarchy tells it.
#pragma once

#include <set>
#include <vector>

#include "gui/grid/GridRows.h"

namespace Kestrum::Test {

using namespace Kestrum::GUI;

struct CFakeSurface : IGridSurface {
    CGridRows* rows = nullptr;
    int focusRow = -1;
    int focusArea = 0;
    int topRow = -1;
    int rowsChanged = 0;
    int lastChangedFrom = -1;
    int repaints = 0;
    int foreignInserts = 0;
    int rowsHidden = 0; // items told their row went
    std::vector<std::pair<int, CGridItem*>> events;
    std::set<CGridItem*> filtered;
    bool hearsEvents = true; // false: like a grid without a listener

    void OnRowsChanged(int, int firstRow, bool) override
    {
        ++rowsChanged;
        lastChangedFrom = firstRow;
    }
    void RepaintRow(int, int) override { ++repaints; }
    void RepaintRows(int, int, int) override { ++repaints; }
    void RepaintAll() override { ++repaints; }
    void SetFocusRow(int row, int area, bool) override
    {
        focusRow = row;
        focusArea = row < 0 ? 0 : area;
    }
    CGridItem* GetFocusedItem() const override
    {
        if (focusRow < 0 || !rows)
            return nullptr;
        CItemTree* tree = rows->TreeOfArea(focusArea);
        return tree ? tree->GetItemAt(focusRow) : nullptr;
    }
    int GetTopRow() const override { return topRow; }
    void SetTopRow(int row) override { topRow = row; }
    void RaiseEvent(int code, CGridItem* item) override { events.emplace_back(code, item); }
    bool IsFilteredOut(CGridItem* item) override { return filtered.count(item) != 0; }
    void OnForeignInsert() override { ++foreignInserts; }
    bool HearsItemEvents() const override { return hearsEvents; }
    void OnRowHidden(CGridItem*) override { ++rowsHidden; }

    std::vector<int> Codes() const
    {
        std::vector<int> codes;
        for (const auto& event : events)
            codes.push_back(event.first);
        return codes;
    }
};

} // namespace Kestrum::Test
