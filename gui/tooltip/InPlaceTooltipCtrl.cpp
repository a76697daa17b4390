#include "gui/tooltip/InPlaceTooltipCtrl.h"
#include "gui/grid/GridDefaults.h"

#include <QImage>
#include <QPainter>
#include <QWidget>

#include "gui/grid/Grid.h"
#include "gui/paint/CustomDraw.h"
#include "gui/platform/DeviceContext.h"

namespace Kestrum::GUI {

namespace {
// The text does not fit when its rectangle is narrower than the text.
bool Clipped(const CRect& textRect, int textWidth) { return !textRect.IsEmpty() && textRect.Width() < textWidth; }

} // namespace

QFont CInPlaceTooltipCtrl::TextFont() const
{
    if (CGrid* grid = GetGrid())
        return grid->GetGridFont();
    return CTooltipCtrl::TextFont();
}

bool CInPlaceTooltipCtrl::Show(const TooltipCell& cell)
{
    if (!GetWindow() || !cell.source || !cell.context || !cell.settings || !cell.format || !cell.state || !cell.grid)
        return false;
    SetText(cell.source->GetTooltipText(cell.grid, *cell.context));
    if (GetText().isEmpty())
        return false;
    const TooltipSettings& settings = *cell.settings;
    QSize size = Measure(GetText(), settings);
    size.setHeight(std::max(size.height(), cell.context->fullRect.Height()));
    const CRect textRect = cell.format->GetTextRect(*cell.context, *cell.state, cell.flags);
    if (!Clipped(textRect, size.width() - 2 * settings.marginX))
        return false;
    const QPoint corner = cell.grid->viewport()->mapToGlobal(QPoint(textRect.left, textRect.top));
    ShowAt({corner.x(), corner.y()}, {size.width(), std::max(size.height(), textRect.Height())}, settings);
    return true;
}

bool CInPlaceTooltipCtrl::IsCellTextClipped(CGrid* grid, CellDrawContext& cell)
{
    if (!grid || !cell.column || !cell.row || !cell.row->object)
        return false;
    const QString text = CellText(cell);
    if (text.isEmpty())
        return false;
    ICustomDraw* draw = grid->GetCustomDraw() ? grid->GetCustomDraw() : GridDefaults::Instance().GetCustomDraw();
    ICellPaintFormat* format =
        draw->GetCellPaintFormat(cell.column, cell.row->object, cell.row->item, cell.row->rowKey, cell.row->rowIndex);
    if (!format)
        return false;
    // Measured as drawn (the safe form), on a scratch device context the
    // format may use too.
    QImage scratch(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&scratch);
    CDeviceContext dc(painter);
    dc.SelectFont(grid->GetGridFont());
    PaintState state;
    state.grid = grid;
    state.dc = &dc;
    state.header = grid->GetHeader();
    state.scroll = grid;
    state.images = grid->GetCellImageList();
    state.stretchImages = grid->GetStretchImages();
    return Clipped(format->GetTextRect(cell, state, grid->GetPaintFlags()), dc.TextWidth(text));
}

} // namespace Kestrum::GUI
