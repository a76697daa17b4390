// What the transfer room (gui/clipboard/GridTransfer) reads and asks of the grid.
#include "gui/grid/GridImpl.h"

namespace Kestrum::GUI {

CGrid& CGridTransferHost::Grid() { return *m_grid.owner; }
CGridRows& CGridTransferHost::Rows() { return m_grid.rows; }
CHeader* CGridTransferHost::Header() { return m_grid.header; }
const GridStoredSettings& CGridTransferHost::Settings() { return m_grid.settings; }
bool CGridTransferHost::IsClosing() { return m_grid.closing; }

void CGridTransferHost::Notify(const GridDragNotification& notification)
{
    if (m_grid.notificationsEnabled && m_grid.listener)
        m_grid.listener->OnGridDragNotification(notification);
}

bool CGridTransferHost::HitRow(CPoint point, int& area, int& row) { return m_grid.HitRow(point, area, row); }
CRect CGridTransferHost::RowRect(int area, int row) { return m_grid.RowRect(area, row); }
int CGridTransferHost::RowHeightAt(int area, int row) { return m_grid.RowHeightAt(area, row); }
CRect CGridTransferHost::ScrollableArea() { return m_grid.ScrollableArea(); }
int CGridTransferHost::TopRow() { return m_grid.scroll.topRow; }
int CGridTransferHost::MaxTopRow() { return m_grid.MaxTopRow(); }
void CGridTransferHost::SetTopRow(int row) { m_grid.SetTop(row, true); }
QWidget* CGridTransferHost::Viewport() { return m_grid.Viewport(); }

RowPosition CGridTransferHost::Focus() { return {m_grid.focus.row, m_grid.focus.area}; }
CGridItem* CGridTransferHost::FocusedItem() { return m_grid.FocusedItem(); }
bool CGridTransferHost::SetFocus(RowPosition position) { return m_grid.SetFocus(position.row, position.area, true, true); }
CSelectionModel& CGridTransferHost::Selection() { return m_grid.selectionModel; }
void CGridTransferHost::UpdateViewport() { m_grid.UpdateViewport(); }
void CGridTransferHost::RefreshScrollBars() { m_grid.RefreshScrollBars(); }
CAutoScroll& CGridTransferHost::AutoScroll() { return m_grid.autoScroll; }

} // namespace Kestrum::GUI
