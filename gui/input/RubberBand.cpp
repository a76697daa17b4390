#include "gui/input/RubberBand.h"

#include <algorithm>

#include "gui/grid/GridRows.h"
#include "gui/input/InputHost.h"

namespace Kestrum::GUI {

CRubberBand::~CRubberBand() { StopScrolling(); }

bool CRubberBand::Applies() { return m_mode == 1 && m_host.MultiSelectionEnabled() && m_host.IsSelectable(m_area); }

void CRubberBand::Start(int area, CPoint point, CGridItem* item, int row)
{
    Forget();
    m_mode = 1;
    m_area = area;
    m_anchor = m_current = m_pointer = point;
    m_anchorItem = item;
    if (item)
        m_anchorOffset = point.y - m_host.RowRect(area, row).top;
}

void CRubberBand::NoteSelected(int row)
{
    if (m_mode == 1)
        m_first = m_last = row;
}

void CRubberBand::Forget()
{
    m_mode = 0;
    m_area = 0;
    m_anchor = m_current = {};
    m_anchorItem = nullptr;
    m_anchorOffset = 0;
    m_first = m_last = -1;
}

void CRubberBand::StopScrolling() { m_host.AutoScroll().Stop(*this); }

// The anchor's row now (rows may have moved since the press): the row count
// for a press below the last row, -1 when the anchor row is gone.
int CRubberBand::AnchorRow()
{
    CGridRows& rows = m_host.Rows();
    CItemTree* tree = rows.TreeOfArea(m_area);
    if (!m_anchorItem)
        return tree->GetRowCount();
    CGridItem* item = rows.Validate(ToHandle(m_anchorItem));
    if (!item || !item->HasRow() || item->GetTree() != tree)
        return -1;
    return rows.RowIndexOf(item);
}

// The row of an area at height y (y is brought into the area first); the
// row count below the last row.
int CRubberBand::RowAtY(int area, int y)
{
    const CRect rect = m_host.AreaRect(area);
    const int first = area == AreaFixed ? 0 : std::max(m_host.TopRow(), 0);
    if (y < rect.top)
        return first;
    y = std::min(y, rect.bottom - 1);
    const int count = m_host.Rows().GetRowCount(area);
    int top = rect.top;
    for (int row = first; row < count && top < rect.bottom; ++row) {
        const int height = m_host.RowHeightAt(area, row);
        if (y < top + height)
            return row;
        top += height;
    }
    return count;
}

CRect CRubberBand::Rect()
{
    const CRect area = m_host.AreaRect(m_area);
    const CRect client = m_host.Client();
    const int count = m_host.Rows().GetRowCount(m_area);
    int anchorY = std::clamp(m_anchor.y, area.top, area.bottom);
    const int anchorRow = AnchorRow();
    if (anchorRow >= 0 && anchorRow < count) {
        const CRect row = m_host.RowRect(m_area, anchorRow);
        if (!row.IsEmpty())
            anchorY = row.top + m_anchorOffset;
        else
            anchorY = m_area == AreaScrollable && anchorRow < m_host.TopRow() ? area.top : area.bottom;
    } else if (anchorRow == count && count > 0) {
        const CRect last = m_host.RowRect(m_area, count - 1);
        anchorY = last.IsEmpty() ? area.bottom : std::max(last.bottom, anchorY);
    }
    const int currentY = std::clamp(m_current.y, area.top, area.bottom);
    const int anchorX = std::clamp(m_anchor.x, client.left, client.right);
    const int currentX = std::clamp(m_current.x, client.left, client.right);
    return {std::min(anchorX, currentX), std::min(anchorY, currentY), std::max(anchorX, currentX), std::max(anchorY, currentY)};
}

void CRubberBand::Move(CPoint point)
{
    if (m_mode != 1)
        return;
    m_pointer = point;
    int area = 0, row = -1;
    if (!m_host.HitRow(point, area, row))
        m_host.AutoScroll().Start(*this);
    Update(point);
}

void CRubberBand::Update(CPoint point)
{
    if (!Applies())
        return;
    const CRect before = Rect();
    m_current = point;
    const int count = m_host.Rows().GetRowCount(m_area);
    const int anchor = AnchorRow();
    if (anchor < 0) { // its row went: the band ends
        End();
        return;
    }
    const int current = RowAtY(m_area, point.y);
    int first = std::min(anchor, current);
    int last = std::min(std::max(anchor, current), count - 1);
    if (first > last)
        first = last = -1;
    m_host.Selection().MoveBand(m_area, m_first, m_last, first, last);
    m_first = first;
    m_last = last;
    const CRect after = Rect();
    m_host.Invalidate({std::min(before.left, after.left), std::min(before.top, after.top), std::max(before.right, after.right) + 1,
                       std::max(before.bottom, after.bottom) + 1});
}

void CRubberBand::End()
{
    if (m_mode != 0 && Applies()) {
        const CRect rect = Rect();
        m_host.Invalidate({rect.left, rect.top, rect.right + 1, rect.bottom + 1});
    }
    Forget();
}

void CRubberBand::OnAutoScroll()
{
    if (m_mode != 1) {
        StopScrolling();
        return;
    }
    const CRect area = m_host.AreaRect(AreaScrollable);
    const int rowHeight = std::max(1, m_host.Rows().Scrollable().GetDefaultRowHeight());
    const int top = std::max(m_host.TopRow(), 0);
    const CPoint point = m_pointer;
    // One row, and one more for each row height further out.
    if (point.y < area.top)
        m_host.SetTopRow(std::max(0, top - ((area.top - point.y) / rowHeight + 1)));
    else if (point.y >= area.bottom)
        m_host.SetTopRow(std::min(m_host.MaxTopRow(), top + ((point.y - area.bottom) / rowHeight + 1)));
    Update(point);
}

} // namespace Kestrum::GUI
