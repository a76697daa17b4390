// CIncrementalSearch: finding a row by typing the start of its text in the
// search column (the visible column whose index is the header's extra value).
// Characters typed within the time-out of each other make one search text; a
// longer pause starts a new one. Times are read on the grid clock, so tests
// drive the time-out with a fake clock.
//
// One per grid, on the grid's thread; it works through public CGrid
// operations.
#pragma once

#include <cstdint>
#include <string>

namespace Kestrum::GUI {

class CGrid;

class CIncrementalSearch {
public:
    // Adds a character (or starts over after `timeoutMs`) and moves the focus
    // to the first row at or after the focused one whose text starts with
    // the search text, in either case, wrapping round to the first row. True
    // when a row matched.
    bool Type(CGrid& grid, char character, std::int64_t timeoutMs);
    const std::string& GetText() const noexcept { return m_text; }

    // Whether `text` starts with `prefix`, comparing ASCII letters in either case.
    static bool StartsWith(const std::string& text, const std::string& prefix);

private:
    std::string m_text;
    std::int64_t m_lastTyped = 0;
    bool m_typed = false;
};

} // namespace Kestrum::GUI
