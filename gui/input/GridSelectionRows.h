// A grid's rows through its public operations, as the selection rules see
// them: what a key manager and the incremental search hand CSelectionModel.
#pragma once

#include "gui/grid/Grid.h"
#include "gui/grid/SelectionModel.h"

namespace Kestrum::GUI {

class CPublicSelectionRows final : public ISelectionRows {
public:
    explicit CPublicSelectionRows(CGrid& grid) noexcept : m_grid(grid) {}
    int GetRowCount(int area) const override { return m_grid.GetRowCount(area); }
    bool IsRowSelected(RowPosition position) const override { return m_grid.IsRowSelected(position.row, position.area); }
    bool SelectRow(RowPosition position, bool select) override { return m_grid.SelectRow(position.row, position.area, select); }
    void ClearSelection() override { m_grid.ClearSelection(); }

private:
    CGrid& m_grid;
};

} // namespace Kestrum::GUI
