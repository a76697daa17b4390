#include "gui/grid/SelectionModel.h"

#include <algorithm>

namespace Kestrum::GUI {

int CSelectionModel::OrdinalOf(RowPosition position) const
{
    return position.area == AreaFixed ? position.row : m_rows.GetRowCount(AreaFixed) + position.row;
}

RowPosition CSelectionModel::AtOrdinal(int ordinal) const
{
    const int fixed = m_rows.GetRowCount(AreaFixed);
    return ordinal < fixed ? RowPosition{ordinal, AreaFixed} : RowPosition{ordinal - fixed, AreaScrollable};
}

bool CSelectionModel::SelectOnly(RowPosition target)
{
    m_rows.ClearSelection();
    return Select(target);
}

void CSelectionModel::SelectOnlyRows(const std::vector<RowPosition>& targets)
{
    m_rows.ClearSelection();
    for (const RowPosition& target : targets)
        Select(target);
}

bool CSelectionModel::Select(RowPosition target) { return !target.IsNone() && m_rows.SelectRow(target, true); }

void CSelectionModel::Toggle(RowPosition target)
{
    if (!target.IsNone())
        m_rows.SelectRow(target, !m_rows.IsRowSelected(target));
}

void CSelectionModel::SelectRange(RowPosition from, RowPosition to)
{
    if (from.IsNone() || to.IsNone())
        return;
    const int a = OrdinalOf(from), b = OrdinalOf(to);
    for (int ordinal = std::min(a, b); ordinal <= std::max(a, b); ++ordinal)
        m_rows.SelectRow(AtOrdinal(ordinal), true);
}

void CSelectionModel::SelectOnlyRange(RowPosition anchor, RowPosition target)
{
    m_rows.ClearSelection();
    SelectRange(anchor, target);
}

void CSelectionModel::ExtendByStep(RowPosition old, RowPosition target)
{
    if (!old.IsNone() && old != target) {
        const bool keep = m_rows.IsRowSelected(old) && !m_rows.IsRowSelected(target);
        m_rows.SelectRow(old, keep);
    }
    m_rows.SelectRow(target, true);
}

void CSelectionModel::ExtendByRange(RowPosition old, RowPosition target)
{
    if (old.IsNone()) {
        m_rows.SelectRow(target, true);
        return;
    }
    const int from = OrdinalOf(target);
    const int to = OrdinalOf(old);
    const int step = from <= to ? 1 : -1;
    bool selecting = true;
    for (int ordinal = from;; ordinal += step) {
        const RowPosition row = AtOrdinal(ordinal);
        if (selecting && m_rows.IsRowSelected(row))
            selecting = false;
        else
            m_rows.SelectRow(row, selecting);
        if (ordinal == to)
            break;
    }
}

void CSelectionModel::MoveBand(int area, int oldFirst, int oldLast, int first, int last)
{
    for (int row = oldFirst; row >= 0 && row <= oldLast; ++row)
        if (row < first || row > last)
            m_rows.SelectRow({row, area}, false);
    for (int row = first; row >= 0 && row <= last; ++row)
        if (row < oldFirst || row > oldLast)
            m_rows.SelectRow({row, area}, true);
}

} // namespace Kestrum::GUI
