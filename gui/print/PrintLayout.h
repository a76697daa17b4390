// CPrintLayout: where a grid's printed rows and columns fall on pages. It
// works on numbers alone (no Qt, no grid): the page's content size, the
// header and footer heights, the widths of the visible columns with the
// number of fixed ones, and the heights of the printed rows in print order.
//
// Units: page sizes and the footer height are in page units (grid pixels at
// scale 1); the header, columns and rows are in grid pixels, which a print
// fitted to the page width draws at GetScale() page units each.
//
// Columns: when the columns are wider than the page, they continue on
// further pages across (bands). Each band shows the fixed columns again at
// its left, followed by the scrolled columns of its range; the fixed columns
// are repeated only while they take at most half the page width, else every
// column flows across the bands once. A column wider than a band's room is
// cut over as many bands as it needs. Fitted to the width, there is one band
// and the scale shrinks the grid to the page (never enlarges it).
//
// Pages run across, then down: page p shows the rows of vertical page
// p / bands and the columns of band p % bands. A row taller than a page's
// room gets a page of its own (and is cut at its bottom).
//
// Cost: AddRow is constant time; the layout keeps one number per vertical
// page and nothing per row.
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>
#include <vector>

namespace Kestrum::GUI {

class KESTRUM_GRIDCORE_EXPORT CPrintLayout {
public:
    struct PageMetrics {
        int width = 0;  // content width, page units
        int height = 0; // content height, page units, footer included
        int headerHeight = 0;
        int footerHeight = 0;
    };
    // Header x range [start, end) of the columns a band shows past the
    // repeated fixed columns (all of its columns when none are repeated).
    struct Band {
        int start = 0;
        int end = 0;
        friend bool operator==(const Band&, const Band&) = default;
    };
    // Rows [first, last) of the print order.
    struct RowRange {
        int first = 0;
        int last = 0;
        friend bool operator==(const RowRange&, const RowRange&) = default;
    };

    // `columnWidths` in visible order; the first `fixedCount` are fixed.
    CPrintLayout(const PageMetrics& page, const std::vector<int>& columnWidths, int fixedCount, bool fitToWidth);

    // The next printed row.
    void AddRow(int height);

    const PageMetrics& GetPage() const noexcept { return m_page; }
    double GetScale() const noexcept { return m_scale; }
    bool RepeatsFixedColumns() const noexcept { return m_fixedWidth > 0; }
    // Width of the fixed columns each band repeats (0: none repeated).
    int GetFixedWidth() const noexcept { return m_fixedWidth; }
    int GetBandCount() const noexcept { return static_cast<int>(m_bands.size()); }
    Band GetBand(int band) const;
    // Grid pixels the band's columns take: repeated fixed ones included.
    int GetBandWidth(int band) const;
    // Grid pixels of a page below the header that rows may fill.
    int GetRowsHeight() const noexcept { return m_rowsHeight; }
    // Grid pixels of a page above the footer (header and rows).
    int GetContentHeight() const noexcept { return m_rowsHeight + m_page.headerHeight; }

    int GetRowCount() const noexcept { return m_rowCount; }
    int GetVerticalPageCount() const noexcept { return static_cast<int>(m_pageStarts.size()); }
    int GetPageCount() const noexcept { return GetVerticalPageCount() * GetBandCount(); }
    RowRange GetRows(int verticalPage) const;
    int VerticalPageOf(int page) const noexcept { return page / GetBandCount(); }
    int BandOf(int page) const noexcept { return page % GetBandCount(); }

private:
    void MakeBands(const std::vector<int>& widths, int fixedCount, int room);

    PageMetrics m_page;
    double m_scale = 1.0;
    int m_fixedWidth = 0;
    std::vector<Band> m_bands;
    int m_rowsHeight = 1;
    std::vector<int> m_pageStarts{0}; // first row of each vertical page
    int m_rowCount = 0;
    int m_usedHeight = 0; // of the last vertical page
};

} // namespace Kestrum::GUI
