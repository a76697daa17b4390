#include "gui/paint/PaintPass.h"
#include "gui/grid/GridDefaults.h"

#include <QApplication>
#include <QPalette>

#include "common/DataObject.h"
#include "gui/grid/CellFormat.h"
#include "gui/grid/GridItem.h"
#include "gui/header/Header.h"
#include "gui/platform/DeviceContext.h"

namespace Kestrum::GUI {

RowDrawContext MakeRowContext(const PassSettings& pass, const PaintState& state, const PassRow& row)
{
    const GridAppearance& appearance = pass.appearance ? *pass.appearance : GridDefaults::Instance().GetAppearance();
    RowDrawContext context;
    const bool odd = row.index % 2 != 0;
    context.textColor = odd ? appearance.oddRowText : appearance.evenRowText;
    context.backColor = odd ? appearance.oddRowBack : appearance.evenRowBack;
    context.fullRect = row.rect;
    context.visibleRect = row.rect;
    context.repaintRect = row.rect.Intersected(state.clipRect);
    context.font = pass.font;
    context.highlight = pass.highlight;
    context.rowKey = row.area;
    context.rowIndex = row.index;
    context.item = row.item;
    context.object = row.item ? row.item->GetObject() : nullptr;
    context.noTopFrameLine = row.noTopFrameLine;
    context.noBottomFrameLine = row.noBottomFrameLine;
    return context;
}

CellDrawContext MakeCellContext(const PaintState& state, RowDrawContext& row, CColumn* column, ICustomDraw* draw)
{
    CellDrawContext cell;
    static_cast<DrawContext&>(cell) = row;
    cell.row = &row;
    cell.column = column;
    if (!column || !state.header)
        return cell;
    const CRect full = state.header->GetColumnRect(state.scroll, column->GetFieldId());
    const CRect visible = state.header->GetClippedColumnRect(state.scroll, column->GetFieldId());
    cell.fullRect = {full.left, row.fullRect.top, full.right, row.fullRect.bottom};
    cell.visibleRect = {visible.left, row.fullRect.top, visible.right, row.fullRect.bottom};
    cell.repaintRect = cell.visibleRect.Intersected(row.repaintRect);
    cell.format = CellFormatOf(column, row.object, column->GetFieldId(), FormatFallback::None);
    if (draw && row.object)
        cell.format = draw->GetCellFormat(cell);
    cell.images = state.images;
    cell.imageIndex = column->GetImageIndex();
    cell.stretchImages = state.stretchImages;
    return cell;
}

void PaintPassRow(const PassSettings& pass, PaintState& state, const PassRow& row)
{
    if (row.rect.Intersected(state.clipRect).IsEmpty())
        return;
    RowDrawContext context = MakeRowContext(pass, state, row);
    pass.draw->PaintLine(context, state, pass.flags);
}

void PaintPassHeader(const PassSettings& pass, PaintState& state, const QFont* headerFont, HeaderDrawContext context)
{
    if (!state.header)
        return;
    context.font = headerFont;
    context.images = state.header->GetImageList();
    context.textColor = FromQColor(QApplication::palette().color(QPalette::WindowText));
    if (state.clipRect.top < state.header->GetHeight())
        pass.draw->PaintHeader(context, state, pass.flags);
}

} // namespace Kestrum::GUI
