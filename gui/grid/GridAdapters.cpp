// What the row trees and the dispatcher call back on the grid: rows changed,
// repaints, focus, events and the row filter for the trees; what a
// data-object change does to an item for the dispatcher.
#include "gui/accessibility/GridAccessNotify.h"
#include "gui/grid/GridImpl.h"
#include "gui/platform/DeviceContext.h"

namespace Kestrum::GUI {

// --- the row trees -------------------------------------------------------------

void CGridSurfaceAdapter::OnRowsChanged(int area, int firstRow, bool)
{
    NotifyAccessibleRowsChanged(m_grid.owner);
    if (area == AreaScrollable) {
        // Fewer rows may leave the top row past the last page; only then is
        // the page measured, so a stream of added rows costs nothing here.
        const int count = m_grid.rows.Scrollable().GetRowCount();
        if (count < m_grid.scroll.rowCount)
            m_grid.ClampTopRow();
        m_grid.scroll.rowCount = count;
        // One scroll-bar refresh and one repaint from the first changed row per frame.
        m_grid.repaint.firstDirtyRow = std::min(m_grid.repaint.firstDirtyRow, std::max(firstRow, 0));
        m_grid.repaint.refreshPending = true;
        m_grid.StartFrame();
    } else {
        m_grid.RepaintAll();
    }
}

void CGridSurfaceAdapter::RepaintRow(int area, int row) { m_grid.RepaintRow(area, row); }
void CGridSurfaceAdapter::RepaintRows(int area, int firstRow, int lastRow) { m_grid.RepaintRows(area, firstRow, lastRow); }
void CGridSurfaceAdapter::RepaintAll() { m_grid.RepaintAll(); }
void CGridSurfaceAdapter::SetFocusRow(int row, int area, bool repaint) { m_grid.SetFocus(row, area, repaint, false); }
CGridItem* CGridSurfaceAdapter::GetFocusedItem() const { return m_grid.FocusedItem(); }
int CGridSurfaceAdapter::GetTopRow() const { return m_grid.scroll.topRow; }
void CGridSurfaceAdapter::SetTopRow(int row) { m_grid.SetTop(row, true); }
void CGridSurfaceAdapter::RaiseEvent(int code, CGridItem* item) { m_grid.RaiseItemEvent(code, item); }

bool CGridSurfaceAdapter::IsFilteredOut(CGridItem* item)
{
    return m_grid.filter && m_grid.filter->IsFilteredOut(m_grid.owner, item, item->GetObject());
}

void CGridSurfaceAdapter::OnForeignInsert()
{
    // Restarting a timer per insertion is costly in a burst: the timer runs
    // on and, when it fires early, waits out the rest of the 10 ms counted
    // from the last insertion.
    m_grid.scroll.lastForeignInsert = GridClockNow();
    if (!m_grid.timers[TimerScrollBars].isActive())
        m_grid.timers[TimerScrollBars].start(10, m_grid.owner);
}

void CGridSurfaceAdapter::OnRowHidden(CGridItem* item)
{
    if (m_grid.edit)
        m_grid.edit->OnRowHidden(item);
}

bool CGridSurfaceAdapter::HearsItemEvents() const { return m_grid.notificationsEnabled && m_grid.listener; }

void CGridSurfaceAdapter::OnAreaCleared(int area)
{
    if (m_grid.edit)
        m_grid.edit->OnAreaCleared(area);
}

// --- the dispatcher --------------------------------------------------------------

bool CGridDispatchAdapter::IsClosing() const { return m_grid.closing.load(); }

void CGridDispatchAdapter::ApplyUpdate(CGridItem* item, Common::FieldId field)
{
    const std::int64_t now = GridClockNow();
    if (field == Common::FIELD_ALL)
        item->Stamps().allChangeTime = now;
    else if (field != Common::FIELD_NONE)
        item->Stamps().Of(field).changeTime = now;
    CItemTree* tree = item->GetTree();
    if (!tree || tree->GetKind() == TreeDetached || !item->GetParent() || CItemTree::IndexOfChild(item) < 0)
        return;
    CGridRows& rows = m_grid.rows;
    if (m_grid.filter && rows.RefilterItem(item))
        m_grid.SetFocus(-1, 0, true, false);
    else if (!m_grid.filter && rows.GetRowMatch())
        rows.RefilterItem(item);
    if (tree->IsSorted())
        rows.Reposition(item);
    if (item->HasRow()) {
        const int row = rows.RowIndexOf(item);
        CHeader* header = m_grid.header;
        if (field == Common::FIELD_ALL || field == Common::FIELD_NONE || !header) {
            m_grid.RepaintRow(tree->GetKind(), row);
        } else if (header->GetVisibleColumn(field)) {
            // Only the cells of the columns that show the field.
            const CRect rowRect = m_grid.RowRect(tree->GetKind(), row);
            const CRect cell = header->GetClippedColumnRect(m_grid.owner, field);
            m_grid.Invalidate(CRect{cell.left, rowRect.top, cell.right, rowRect.bottom}.Intersected(rowRect));
        }
    }
    m_grid.RaiseItemEvent(EventItemUpdated, item);
}

void CGridDispatchAdapter::RemoveDisposedItem(CGridItem* item) { m_grid.rows.Remove(ToHandle(item)); }

} // namespace Kestrum::GUI
