// What the input room (gui/input/, and the header's mouse modes in
// gui/header/) reads and asks of the grid.
#include <algorithm>

#include "gui/clipboard/GridTransfer.h"
#include "gui/edit/EditTypes.h"
#include "gui/grid/GridImpl.h"

namespace Kestrum::GUI {

CHeader* CGridInputHost::Header() { return m_grid.header; }
const IScrollPositionSource* CGridInputHost::ScrollPosition() { return m_grid.owner; }
int CGridInputHost::HeaderHeight() { return m_grid.HeaderHeight(); }
CRect CGridInputHost::Client() { return m_grid.Client(); }
QWidget* CGridInputHost::Viewport() { return m_grid.Viewport(); }
void CGridInputHost::Invalidate(const CRect& rect) { m_grid.Invalidate(rect); }

void CGridInputHost::OnColumnResized()
{
    m_grid.RefreshScrollBars();
    m_grid.RepaintAll();
}

void CGridInputHost::OnCaptionClick(Common::FieldId field, bool shift, bool ctrl)
{
    // The header's notice re-sorts the rows.
    CGridRows::ApplyHeaderClick(m_grid.header, field, shift, ctrl);
}

void CGridInputHost::AutoFitColumn(Common::FieldId field) { m_grid.AutoFitColumn(field); }

CGrid& CGridInputHost::Grid() { return *m_grid.owner; }
IKeyManager& CGridInputHost::KeyManager() { return *m_grid.KeyManager(); }
void CGridInputHost::FlushEnsureVisible() { m_grid.FlushEnsureVisible(); }
int CGridInputHost::SearchTimeout() { return m_grid.settings.searchTimeout; }

CGridRows& CGridInputHost::Rows() { return m_grid.rows; }
bool CGridInputHost::HitRow(CPoint point, int& area, int& row) { return m_grid.HitRow(point, area, row); }
CRect CGridInputHost::AreaRect(int area) { return m_grid.AreaRect(area); }
CRect CGridInputHost::RowRect(int area, int row) { return m_grid.RowRect(area, row); }
int CGridInputHost::RowHeightAt(int area, int row) { return m_grid.RowHeightAt(area, row); }
int CGridInputHost::TopRow() { return m_grid.scroll.topRow; }
int CGridInputHost::MaxTopRow() { return m_grid.MaxTopRow(); }
void CGridInputHost::SetTopRow(int row) { m_grid.SetTop(row, true); }
bool CGridInputHost::ShowsTreeButtons() { return (m_grid.settings.paintFlags & PaintHierarchy) != 0; }

RowPosition CGridInputHost::Focus() { return {m_grid.focus.row, m_grid.focus.area}; }
CGridItem* CGridInputHost::FocusedItem() { return m_grid.FocusedItem(); }
bool CGridInputHost::SetFocus(RowPosition position) { return m_grid.SetFocus(position.row, position.area, true, true); }
void CGridInputHost::ClearFocus() { m_grid.SetFocus(-1, 0, true, false); }
bool CGridInputHost::IsFocusable(int area) { return AreaInMask(area, m_grid.focus.focusableAreas); }
bool CGridInputHost::IsSelectable(int area) { return AreaInMask(area, m_grid.selection.selectableAreas); }
bool CGridInputHost::MultiSelectionEnabled() { return m_grid.selection.enabled && m_grid.selection.multiEnabled; }
CSelectionModel& CGridInputHost::Selection() { return m_grid.selectionModel; }
CAutoScroll& CGridInputHost::AutoScroll() { return m_grid.autoScroll; }

void CGridInputHost::EndEdit() { m_grid.edit->EndEdit(EditFocusLost); }

bool CGridInputHost::StartEdit(CPoint point, bool doubleClick)
{
    return m_grid.edit->StartAt(point, doubleClick ? EditStartDoubleClick : EditStartClick);
}

void CGridInputHost::TrackEditHover(CPoint point, bool buttonsDown, bool inside) { m_grid.edit->TrackMouse(point, buttonsDown, inside); }
void CGridInputHost::TooltipsMove(std::uint32_t flags, CPoint point) { m_grid.tooltips->OnMouseMove(flags, point); }
void CGridInputHost::TooltipsHover(CPoint point) { m_grid.tooltips->OnHover(point); }
void CGridInputHost::TooltipsLeave() { m_grid.tooltips->OnMouseLeave(); }
bool CGridInputHost::MayStartDrag(CGridItem* item, int area, CPoint point) { return m_grid.transfer->MayStartDrag(item, area, point); }
void CGridInputHost::RunDrag(CGridItem* item, int area) { m_grid.transfer->RunDrag(item, area); }

// Each as the public operation of the same name does it on the grid's thread.
int CGridKeyGrid::GetRowCount(int area) { return m_grid.rows.GetRowCount(area); }
bool CGridKeyGrid::IsKeyboardArea(int area) { return AreaInMask(area, m_grid.settings.keyboardAreas); }
int CGridKeyGrid::GetTopRow() { return m_grid.scroll.topRow; }
void CGridKeyGrid::SetTopRow(int row) { m_grid.SetTop(row, true); }
int CGridKeyGrid::GetPageRowCount(bool forward) { return m_grid.RowsThatFit(std::max(m_grid.scroll.topRow, 0), forward); }
int CGridKeyGrid::GetFocusedRow() { return m_grid.focus.row; }
int CGridKeyGrid::GetFocusedArea() { return m_grid.focus.area; }
bool CGridKeyGrid::SetFocusedRow(int row, int area) { return m_grid.SetFocus(row, area, true, true); }
void CGridKeyGrid::EnsureVisible(int row) { m_grid.EnsureVisible(row, nullptr); }
HITEM CGridKeyGrid::GetItemAt(int row, int area) { return m_grid.rows.GetItemAt(row, area); }
HITEM CGridKeyGrid::GetParent(HITEM item) { return m_grid.rows.GetParent(item); }
int CGridKeyGrid::GetVisibleIndex(HITEM item) { return m_grid.rows.GetVisibleIndex(item); }
bool CGridKeyGrid::IsExpanded(HITEM item) { return m_grid.rows.IsExpanded(item); }
void CGridKeyGrid::Expand(HITEM item, bool recursive) { m_grid.rows.Expand(item, recursive); }
void CGridKeyGrid::Collapse(HITEM item, bool recursive) { m_grid.rows.Collapse(item, recursive); }
void CGridKeyGrid::ClearSelection() { m_grid.ClearSelection(); }
void CGridKeyGrid::SelectAll() { m_grid.SelectAll(); }
void CGridKeyGrid::Copy() { m_grid.transfer->Copy(); }
void CGridKeyGrid::Cut() { m_grid.transfer->Cut(); }
void CGridKeyGrid::Paste() { m_grid.transfer->Paste(); }
CSelectionModel& CGridKeyGrid::Selection() { return m_grid.selectionModel; }

} // namespace Kestrum::GUI
