// Focus and selection. Focus is a row position (area and index), not an
// item: the row trees move it along when rows are inserted above it and
// clear it when its row goes. Selection is a flag on the items, kept in each
// tree's selected set.
#include "gui/grid/GridImpl.h"

namespace Kestrum::GUI {

CGridItem* CGridImpl::FocusedItem() const
{
    auto* tree = const_cast<CGridRows&>(rows).TreeOfArea(focus.area);
    return tree && focus.row >= 0 ? tree->GetItemAt(focus.row) : nullptr;
}

bool CGridImpl::SetFocus(int row, int area, bool repaintOld, bool checkMask)
{
    if ((area == AreaFixed || area == AreaScrollable) && row >= rows.TreeOfArea(area)->GetRowCount())
        return false;
    if (area == 0 && row != -1)
        return false;
    if (row == focus.row && area == focus.area)
        return true;
    if (checkMask && area != 0 && !AreaInMask(area, focus.focusableAreas))
        return false;
    CGridItem* old = FocusedItem();
    if (repaintOld && focus.row >= 0)
        RepaintRow(focus.area, focus.row);
    focus.row = row < 0 ? -1 : row;
    focus.area = row < 0 ? 0 : area;
    if (focus.row >= 0)
        RepaintRow(focus.area, focus.row);
    if (old)
        RaiseItemEvent(EventFocusChanged, old);
    if (CGridItem* now = FocusedItem())
        RaiseItemEvent(EventFocusChanged, now);
    return true;
}

bool CGridImpl::SelectRow(int row, int area, bool select)
{
    CItemTree* tree = rows.TreeOfArea(area);
    CGridItem* item = tree ? tree->GetItemAt(row) : nullptr;
    if (!item)
        return false;
    if (select && (!AreaInMask(area, selection.selectableAreas) || !selection.enabled ||
                   (!selection.multiEnabled && rows.GetSelectedCount() > 0 && !item->IsSelected())))
        return false;
    if (item->IsSelected() == select)
        return true;
    rows.SetItemSelected(item, select);
    // The neighbours share the frame of a selected block.
    RepaintRows(area, row - 1, row + 1);
    return true;
}

bool CGridImpl::SelectItem(CGridItem* item, bool select)
{
    if (!item)
        return false;
    if (!item->HasRow()) {
        if (select)
            return false;
        rows.SetItemSelected(item, false);
        return true;
    }
    return SelectRow(rows.RowIndexOf(item), item->GetTree()->GetKind(), select);
}

bool CGridImpl::IsRowSelected(int row, int area)
{
    CItemTree* tree = rows.TreeOfArea(area);
    CGridItem* item = tree ? tree->GetItemAt(row) : nullptr;
    return item && item->IsSelected();
}

void CGridImpl::SelectAll()
{
    if (!selection.enabled || !selection.multiEnabled)
        return;
    for (int area : {AreaFixed, AreaScrollable})
        if (AreaInMask(area, selection.selectableAreas))
            for (int row = 0; row < rows.GetRowCount(area); ++row)
                rows.SetItemSelected(rows.TreeOfArea(area)->GetItemAt(row), true);
    UpdateViewport();
}

void CGridImpl::ClearSelection()
{
    for (CItemTree* tree : {&rows.Fixed(), &rows.Scrollable()})
        for (CGridItem* item : std::vector<CGridItem*>(tree->GetSelected().begin(), tree->GetSelected().end()))
            rows.SetItemSelected(item, false);
}

void CGridImpl::EnableSelection(bool enable)
{
    if (!enable)
        ClearSelection();
    selection.enabled = enable;
}

void CGridImpl::EnableMultiSelection(bool enable)
{
    if (!enable)
        ClearSelection();
    selection.multiEnabled = enable;
}

void CGridImpl::SetSelectableAreas(int mask)
{
    selection.selectableAreas = mask;
    for (CItemTree* tree : {&rows.Fixed(), &rows.Scrollable()})
        if (!AreaInMask(tree->GetKind(), mask))
            for (CGridItem* item : std::vector<CGridItem*>(tree->GetSelected().begin(), tree->GetSelected().end()))
                rows.SetItemSelected(item, false);
}

int CGridSelectionRows::GetRowCount(int area) const { return m_grid.rows.GetRowCount(area); }
bool CGridSelectionRows::IsRowSelected(RowPosition position) const { return m_grid.IsRowSelected(position.row, position.area); }
bool CGridSelectionRows::SelectRow(RowPosition position, bool select) { return m_grid.SelectRow(position.row, position.area, select); }
void CGridSelectionRows::ClearSelection() { m_grid.ClearSelection(); }

} // namespace Kestrum::GUI
