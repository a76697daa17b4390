#include "gui/input/IncrementalSearch.h"

#include <algorithm>

#include "common/DataObject.h"
#include "gui/grid/Grid.h"
#include "gui/grid/GridClock.h"

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

bool CIncrementalSearch::Type(CGrid& grid, char character, std::int64_t timeoutMs)
{
    CHeader* header = grid.GetHeader();
    CColumn* column = header ? header->GetVisibleColumnAt(header->GetExtraValue()) : nullptr;
    if (!column)
        return false;
    const std::int64_t now = GridClockNow();
    if (!m_typed || now - m_lastTyped > timeoutMs)
        m_text.assign(1, character);
    else
        m_text += character;
    m_typed = true;
    m_lastTyped = now;

    const Common::FieldId field = column->GetFieldId();
    Common::CFormat* format = column->GetFormat();
    const int fixedRows = grid.GetRowCount(AreaFixed);
    const int total = fixedRows + grid.GetRowCount(AreaScrollable);
    auto positionOf = [&](int ordinal) {
        return ordinal < fixedRows ? std::pair{ordinal, int(AreaFixed)} : std::pair{ordinal - fixedRows, int(AreaScrollable)};
    };
    auto matches = [&](int ordinal) {
        const auto [row, area] = positionOf(ordinal);
        Common::CDataObject* object = grid.GetObject(0, row, area);
        if (!object)
            return false;
        std::string text = object->GetValueText(field, format);
        if (text.find_first_of(" \t") != std::string::npos && IsNumeric(object->GetFieldType(field)))
            text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; }), text.end());
        return StartsWith(text, m_text);
    };

    // From the focused row on (unless it is the last row), then from the top.
    int start = 0;
    const int focusArea = grid.GetFocusedArea();
    const int focusRow = grid.GetFocusedRow();
    if (focusRow >= 0 && (focusArea == AreaFixed || focusArea == AreaScrollable) && focusRow < grid.GetRowCount(focusArea)) {
        const int ordinal = focusArea == AreaFixed ? focusRow : fixedRows + focusRow;
        if (ordinal + 1 < total)
            start = ordinal;
    }
    int found = -1;
    for (int ordinal = start; ordinal < total && found < 0; ++ordinal)
        if (matches(ordinal))
            found = ordinal;
    for (int ordinal = 0; ordinal < start && found < 0; ++ordinal)
        if (matches(ordinal))
            found = ordinal;
    if (found < 0)
        return false;

    const auto [row, area] = positionOf(found);
    grid.ClearSelection();
    if (area == AreaScrollable)
        grid.EnsureVisible(row);
    if (grid.IsAreaSelectable(area))
        grid.SelectRow(row, area, true);
    if (grid.IsAreaFocusable(area))
        grid.SetFocusedRow(row, area);
    return true;
}

} // namespace Kestrum::GUI
