// What a print takes from the grid: the rows chosen, in display order, and
// what the paint pass reads, handed to the grid printer (gui/print/). The
// grid keeps no printing state besides its print settings and title.
#include <QGuiApplication>
#include <QPointer>

#include "gui/grid/GridImpl.h"

namespace Kestrum::GUI {

GridPrintJob CGridPrintAdapter::MakePrintJob(std::int32_t which)
{
    CGridImpl& g = m_grid;
    GridPrintJob job;
    job.grid = g.owner;
    job.header = g.header;
    job.headerShown = g.settings.headerShown;
    job.draw = g.Draw();
    job.font = g.Font();
    job.appearance = g.settings.appearance;
    job.highlight = g.settings.highlight;
    job.paintFlags = g.settings.paintFlags;
    job.images = g.cellImages;
    job.stretchImages = g.settings.stretchImages;
    job.allExpanded = which == PrintAllRows;
    job.screenDpiX = g.Viewport()->logicalDpiX();
    job.screenDpiY = g.Viewport()->logicalDpiY();
    job.title = g.printTitle.isEmpty() ? QGuiApplication::applicationDisplayName() : g.printTitle;
    job.extraPages = g.extraPrintPages;
    job.extraPageCount = job.extraPages ? job.extraPages->GetExtraPageCount() : 0;
    std::vector<CGridItem*> items;
    for (const int area : {AreaFixed, AreaScrollable}) {
        items.clear();
        if (which == PrintSelectedRows) {
            // Selected rows in row order: the shown rows that are selected.
            CItemTree* tree = g.rows.TreeOfArea(area);
            if (tree->GetSelected().empty())
                continue;
            std::vector<HITEM> selected;
            g.rows.GetSelectedItems(selected, MaskOfArea(area));
            for (const HITEM handle : selected)
                items.push_back(FromHandle(handle));
        } else {
            g.rows.CollectRows(area, which == PrintAllRows, items);
        }
        for (CGridItem* item : items)
            job.rows.push_back({item, area});
    }
    // The items stay alive while nothing is removed from the trees and the
    // objects that paint them stay in place.
    job.isIntact = [guard = QPointer<CGrid>(g.owner), &g, removals = g.rows.GetRemovalCount(), header = g.header,
                    draw = job.draw, pages = job.extraPages] {
        return guard && !g.closing && g.rows.GetRemovalCount() == removals && g.header == header && g.Draw() == draw &&
               g.extraPrintPages == pages;
    };
    return job;
}

PrintSettings CGridPrintAdapter::GetPrintSettings() { return m_grid.settings.print; }

void CGridPrintAdapter::SetPrintSettings(const PrintSettings& settings) { m_grid.settings.print = settings; }

bool CGridPrintAdapter::HasSelection() { return m_grid.rows.GetSelectedCount() > 0; }

QWidget* CGridPrintAdapter::GetWindow() { return m_grid.owner; }

} // namespace Kestrum::GUI
