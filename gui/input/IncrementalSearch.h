// CIncrementalSearch: finding a row by typing the start of its text in the
// search column (the visible column whose index is the header's extra value).
// Characters typed within the time-out of each other make one search text; a
// longer pause starts a new one. Times are read on the grid clock, so tests
// drive the time-out with a fake clock.
//
// A search walks at most kRowsPerSlice rows at a time: Type walks the first
// slice, and while IsSearching answers true the caller runs Continue again
// later (the input controller does, from a zero-delay timer), so a search
// through a million rows that match nothing never holds up other input.
// Rows that move while a search is under way may be seen twice or missed.
//
// One per grid, on the grid's thread; it works through public CGrid
// operations.
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>
#include <string>

#include "gui/grid/SelectionModel.h"

namespace Kestrum::GUI {

class CGrid;

class KESTRUM_GUI_EXPORT CIncrementalSearch {
public:
    static constexpr int kRowsPerSlice = 8192;

    // Adds a character (or starts over after `timeoutMs`) and looks for the
    // first row at or after the focused one whose text starts with the search
    // text, in either case, wrapping round to the first row; the row found is
    // selected and focused.
    void Type(CGrid& grid, char character, std::int64_t timeoutMs);
    // Walks the next slice of rows; true while the search goes on.
    bool Continue(CGrid& grid);
    void Cancel() noexcept { m_searching = false; }
    bool IsSearching() const noexcept { return m_searching; }
    const std::string& GetText() const noexcept { return m_text; }
    // The text a next character would add to (empty once the time-out has
    // passed since the last one): what a window shows as typed.
    std::string GetTypedText(std::int64_t now, std::int64_t timeoutMs) const
    {
        return m_typed && now - m_lastTyped <= timeoutMs ? m_text : std::string();
    }

    // Whether `text` starts with `prefix`, comparing ASCII letters in either case.
    static bool StartsWith(const std::string& text, const std::string& prefix);

private:
    bool Matches(CGrid& grid, RowPosition position);

    std::string m_text;
    std::int64_t m_lastTyped = 0;
    bool m_typed = false;
    // The search under way: rows from m_start to the end, then from the top
    // to m_start, in display order over both areas.
    bool m_searching = false;
    bool m_wrapped = false;
    int m_start = 0;
    int m_next = 0;
};

} // namespace Kestrum::GUI
