#include "gui/paint/PaintPass.h"

#include <QApplication>
#include <QPalette>

#include "gui/grid/GridItem.h"
#include "gui/platform/DeviceContext.h"

namespace Kestrum::GUI {

void PaintPassRow(const PassSettings& pass, PaintState& state, const PassRow& row)
{
    if (row.rect.Intersected(state.clipRect).IsEmpty())
        return;
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
