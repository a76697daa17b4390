#include "gui/paint/CustomDraw.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>

#include "common/DataObject.h"
#include "common/Format.h"
#include "gui/grid/GridDefaults.h"
#include "gui/grid/GridItem.h"
#include "gui/header/Header.h"
#include "gui/paint/CellPaintFormat.h"
#include "gui/paint/ColumnPaintFormat.h"
#include "gui/paint/HeaderPaintFormat.h"
#include "gui/paint/LinePaintFormat.h"
#include "gui/paint/PaintPass.h"
#include "gui/platform/DeviceContext.h"
#include "gui/platform/QtText.h"

namespace Kestrum::GUI {

namespace {
// Linked whenever a grid makes its defaults, which construct CCustomDraw.
[[maybe_unused]] const bool s_registered = [] {
    RegisterCellPaintFormat("GUI::CCellPaintFormat", [] { return new CCellPaintFormat; });
    RegisterColumnPaintFormat("GUI::CColumnPaintFormat", [] { return new CColumnPaintFormat; });
    RegisterHeaderPaintFormat("GUI::CHeaderPaintFormat", [] { return new CHeaderPaintFormat; });
    RegisterLinePaintFormat("GUI::CLinePaintFormat", [] { return new CLinePaintFormat; });
    return true;
}();

} // namespace

QString CellText(const CellDrawContext& context)
{
    if (!context.column || !context.row)
        return {};
    Common::CDataObject* object = context.row->object;
    if (!object)
        return {};
    return ToQString(object->GetValueText(context.column->GetFieldId(), context.format));
}

// --- CCustomDraw ------------------------------------------------------------

void CCustomDraw::PaintHeader(HeaderDrawContext& context, PaintState& state, PaintFlags flags)
{
    GridDefaults::Instance().GetHeaderPaintFormat()->Paint(context, state, flags, this);
}

void CCustomDraw::PaintColumnHeader(ColumnHeaderDrawContext& context, PaintState& state, PaintFlags flags)
{
    GridDefaults::Instance().GetColumnPaintFormat()->Paint(context, state, flags);
}

void CCustomDraw::PaintLine(RowDrawContext& context, PaintState& state, PaintFlags flags)
{
    GetLinePaintFormat(context.object, context.item, context.rowKey, context.rowIndex)->Paint(context, state, flags, this);
}

void CCustomDraw::PaintCell(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    CGridItem* item = context.row ? context.row->item : nullptr;
    CCustomDraw::GetCellPaintFormat(context.column, context.row ? context.row->object : nullptr, item,
                                    context.row ? context.row->rowKey : 0, context.row ? context.row->rowIndex : -1)
        ->Paint(context, state, flags);
}

ILinePaintFormat* CCustomDraw::GetLinePaintFormat(Common::CDataObject*, CGridItem*, int, int)
{
    return GridDefaults::Instance().GetLinePaintFormat();
}

ICellPaintFormat* CCustomDraw::GetCellPaintFormat(CColumn* column, Common::CDataObject*, CGridItem*, int, int)
{
    if (column && column->GetCellPaintFormat())
        return column->GetCellPaintFormat();
    return GridDefaults::Instance().GetCellPaintFormat();
}

int CCustomDraw::GetHeaderHeight(HeaderDrawContext& context, PaintState& state, PaintFlags)
{
    if (!context.font || !state.header)
        return 20;
    const QFontMetrics metrics(*context.font);
    return metrics.height() + std::max(0, metrics.ascent() - metrics.capHeight()) + 4;
}

int CCustomDraw::GetRowHeight(const QFont* font, CDeviceContext*)
{
    if (!font)
        return 0;
    const QFontMetrics metrics(*font);
    return metrics.height() + std::max(0, metrics.ascent() - metrics.capHeight()) / 2;
}

int CCustomDraw::GetCellWidth(CellDrawContext& context, PaintState& state, PaintFlags flags)
{
    CGridItem* item = context.row ? context.row->item : nullptr;
    return GetCellPaintFormat(context.column, context.row ? context.row->object : nullptr, item,
                              context.row ? context.row->rowKey : 0, context.row ? context.row->rowIndex : -1)
        ->GetRequiredWidth(context, state, flags);
}

// --- Default paint formats ------------------------------------------------------

void CLinePaintFormat::Paint(RowDrawContext& context, PaintState& state, PaintFlags flags, ICustomDraw* customDraw)
{
    RowDrawContext& row = context;
    int right = context.fullRect.left;
    if (state.header) {
        for (CColumn* column : state.header->GetVisibleColumns()) {
            CellDrawContext cell = MakeCellContext(state, row, column, customDraw);
            right = std::max(right, cell.fullRect.right);
            // Cells outside the clip are not handed to the custom draw: a
            // custom draw that does not clip itself would otherwise put the
            // cells of other pages into a printed page (text drawn outside
            // the clip still lands in a PDF), and skipping them costs less.
            if (!cell.visibleRect.IsEmpty() && !cell.repaintRect.IsEmpty())
                customDraw->PaintCell(cell, state, flags);
        }
    }
    // The filler right of the last column.
    CellDrawContext filler = MakeCellContext(state, row, nullptr, customDraw);
    filler.fullRect = {std::max(right, context.fullRect.left), context.fullRect.top, context.fullRect.right,
                       context.fullRect.bottom};
    filler.visibleRect = filler.fullRect;
    filler.repaintRect = filler.fullRect.Intersected(context.repaintRect);
    if (!filler.repaintRect.IsEmpty())
        customDraw->PaintCell(filler, state, flags);
}

void CHeaderPaintFormat::Paint(HeaderDrawContext& context, PaintState& state, PaintFlags flags, ICustomDraw* customDraw)
{
    if (!state.header)
        return;
    int right = 0;
    int height = state.header->GetHeight();
    for (CColumn* column : state.header->GetVisibleColumns()) {
        ColumnHeaderDrawContext cell;
        cell.header = &context;
        cell.column = column;
        cell.fullRect = state.header->GetColumnRect(state.scroll, column->GetFieldId());
        cell.visibleRect = state.header->GetClippedColumnRect(state.scroll, column->GetFieldId());
        cell.font = context.font;
        cell.headerImageIndex = column->GetHeaderImageIndex();
        cell.textColor = context.textColor;
        // The column under the pointer is hot; pressed while pressed or moved.
        if (column == context.trackedColumn)
            cell.state = context.trackedPressed ? 2 : 1;
        right = std::max(right, cell.fullRect.right);
        if (!cell.visibleRect.Intersected(state.clipRect).IsEmpty())
            customDraw->PaintColumnHeader(cell, state, flags);
    }
    ColumnHeaderDrawContext filler;
    filler.header = &context;
    filler.fullRect = {right, 0, std::max(right, state.clipRect.right), height};
    filler.visibleRect = filler.fullRect;
    filler.font = context.font;
    filler.textColor = context.textColor;
    if (!filler.fullRect.Intersected(state.clipRect).IsEmpty())
        customDraw->PaintColumnHeader(filler, state, flags);
    // Where a dragged column would go.
    if (context.dropTarget && context.dropSide != 0) {
        const CRect target = state.header->GetClippedColumnRect(state.scroll, context.dropTarget->GetFieldId());
        const int edge = context.dropSide == 2 ? target.right : target.left;
        state.dc->FillSolid({edge - 1, 0, edge + 2, height}, MakeColor(128, 128, 255));
    }
}

} // namespace Kestrum::GUI
