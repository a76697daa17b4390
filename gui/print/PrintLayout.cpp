#include "gui/print/PrintLayout.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace Kestrum::GUI {

CPrintLayout::CPrintLayout(const PageMetrics& page, const std::vector<int>& columnWidths, int fixedCount, bool fitToWidth)
    : m_page(page)
{
    std::vector<int> widths;
    for (const int width : columnWidths)
        widths.push_back(std::max(width, 0));
    fixedCount = std::clamp(fixedCount, 0, static_cast<int>(widths.size()));
    const int total = std::accumulate(widths.begin(), widths.end(), 0);
    const int pageWidth = std::max(page.width, 1);
    if (fitToWidth && total > pageWidth)
        m_scale = static_cast<double>(pageWidth) / total;
    // Grid pixels a band may fill.
    const int room = std::max(1, static_cast<int>(std::floor(pageWidth / m_scale)));
    const int fixed = std::accumulate(widths.begin(), widths.begin() + fixedCount, 0);
    if (fitToWidth) {
        m_fixedWidth = fixed;
        m_bands.push_back({fixed, total});
    } else {
        MakeBands(widths, fixed > 0 && 2 * fixed <= room ? fixedCount : 0, room);
    }
    const double available = (page.height - page.footerHeight) / m_scale - page.headerHeight;
    m_rowsHeight = std::max(1, static_cast<int>(std::floor(available)));
}

void CPrintLayout::MakeBands(const std::vector<int>& widths, int fixedCount, int room)
{
    int x = 0;
    for (int column = 0; column < fixedCount; ++column)
        x += widths[static_cast<std::size_t>(column)];
    m_fixedWidth = x;
    room -= m_fixedWidth;
    int start = x;
    for (std::size_t column = static_cast<std::size_t>(fixedCount); column < widths.size(); ++column) {
        const int left = x;
        const int right = x + widths[column];
        x = right;
        if (right == left || right - start <= room)
            continue;
        if (left > start) { // close the band before this column
            m_bands.push_back({start, left});
            start = left;
        }
        while (right - start > room) { // a column wider than the room, cut
            m_bands.push_back({start, start + room});
            start += room;
        }
    }
    if (x > start || m_bands.empty())
        m_bands.push_back({start, x});
}

CPrintLayout::Band CPrintLayout::GetBand(int band) const
{
    if (band < 0 || band >= GetBandCount())
        return {};
    return m_bands[static_cast<std::size_t>(band)];
}

int CPrintLayout::GetBandWidth(int band) const
{
    const Band range = GetBand(band);
    return m_fixedWidth + range.end - range.start;
}

void CPrintLayout::AddRow(int height)
{
    height = std::max(height, 0);
    if (m_usedHeight > 0 && m_usedHeight + height > m_rowsHeight) {
        m_pageStarts.push_back(m_rowCount);
        m_usedHeight = 0;
    }
    m_usedHeight += height;
    ++m_rowCount;
}

CPrintLayout::RowRange CPrintLayout::GetRows(int verticalPage) const
{
    if (verticalPage < 0 || verticalPage >= GetVerticalPageCount())
        return {};
    const auto index = static_cast<std::size_t>(verticalPage);
    const int last = index + 1 < m_pageStarts.size() ? m_pageStarts[index + 1] : m_rowCount;
    return {m_pageStarts[index], last};
}

} // namespace Kestrum::GUI
