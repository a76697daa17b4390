#include "gui/input/IncrementalSearch.h"

#include <algorithm>

#include "common/DataObject.h"
#include "gui/grid/Grid.h"
#include "gui/grid/GridClock.h"
#include "gui/input/GridSelectionRows.h"

namespace Kestrum::GUI {

namespace {
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Numbers may be shown with spaces between digit groups; typing skips them.
bool IsNumeric(Common::FieldType type)
{
    switch (type) {
    case Common::FT_CHAR:
    case Common::FT_UCHAR:
    case Common::FT_SHORT:
    case Common::FT_USHORT:
    case Common::FT_LONG:
    case Common::FT_ULONG:
    case Common::FT_INT64:
    case Common::FT_FLOAT:
    case Common::FT_DOUBLE: return true;
    default: return false;
    }
}

CColumn* SearchColumn(CGrid& grid)
{
    CHeader* header = grid.GetHeader();
    return header ? header->GetVisibleColumnAt(header->GetExtraValue()) : nullptr;
}
} // namespace

bool CIncrementalSearch::StartsWith(const std::string& text, const std::string& prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != Lower(prefix[i]))
            return false;
    return true;
}

void CIncrementalSearch::Type(CGrid& grid, char character, std::int64_t timeoutMs)
{
    m_searching = false;
    if (!SearchColumn(grid))
        return;
    const std::int64_t now = GridClockNow();
    if (!m_typed || now - m_lastTyped > timeoutMs)
        m_text.assign(1, character);
    else
        m_text += character;
    m_typed = true;
    m_lastTyped = now;

    // From the focused row on (unless it is the last row), then from the top.
    CPublicSelectionRows rows(grid);
    const CSelectionModel order(rows);
    const int total = grid.GetRowCount(AreaFixed) + grid.GetRowCount(AreaScrollable);
    m_start = 0;
    const int focusArea = grid.GetFocusedArea();
    const int focusRow = grid.GetFocusedRow();
    if (focusRow >= 0 && (focusArea == AreaFixed || focusArea == AreaScrollable) && focusRow < grid.GetRowCount(focusArea)) {
        const int ordinal = order.OrdinalOf({focusRow, focusArea});
        if (ordinal + 1 < total)
            m_start = ordinal;
    }
    m_next = m_start;
    m_wrapped = false;
    m_searching = true;
    Continue(grid);
}

bool CIncrementalSearch::Matches(CGrid& grid, RowPosition position)
{
    CColumn* column = SearchColumn(grid);
    if (!column)
        return false;
    Common::CDataObject* object = grid.GetObject(0, position.row, position.area);
    if (!object)
        return false;
    const Common::FieldId field = column->GetFieldId();
    std::string text = object->GetValueText(field, column->GetFormat());
    if (text.find_first_of(" \t") != std::string::npos && IsNumeric(object->GetFieldType(field)))
        text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; }), text.end());
    return StartsWith(text, m_text);
}

bool CIncrementalSearch::Continue(CGrid& grid)
{
    if (!m_searching)
        return false;
    // The rows are counted again each slice: the walk may have added some.
    CPublicSelectionRows rows(grid);
    CSelectionModel model(rows);
    const int total = grid.GetRowCount(AreaFixed) + grid.GetRowCount(AreaScrollable);
    int found = -1;
    for (int budget = kRowsPerSlice; budget > 0 && found < 0; --budget) {
        const int end = m_wrapped ? std::min(m_start, total) : total;
        if (m_next >= end) {
            if (m_wrapped) {
                m_searching = false; // nothing matched
                return false;
            }
            m_wrapped = true;
            m_next = 0;
            continue;
        }
        if (Matches(grid, model.AtOrdinal(m_next)))
            found = m_next;
        ++m_next;
    }
    if (found < 0)
        return true;
    m_searching = false;
    const RowPosition target = model.AtOrdinal(found);
    if (target.area == AreaScrollable)
        grid.EnsureVisible(target.row);
    model.SelectOnly(target); // an area that may not be selected refuses the row
    if (grid.IsAreaFocusable(target.area))
        grid.SetFocusedRow(target.row, target.area);
    return false;
}

} // namespace Kestrum::GUI
