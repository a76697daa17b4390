// CInPlaceTooltipCtrl: the tooltip laid exactly over a cell whose text is
// wider than the room the cell gives it, showing the whole text in the
// grid's font where the cell shows the start of it.
#pragma once

#include "gui/platform/Export.h"

#include "gui/tooltip/TooltipCtrl.h"

namespace Kestrum::GUI {

class KESTRUM_GUI_EXPORT CInPlaceTooltipCtrl : public CTooltipCtrl {
public:
    explicit CInPlaceTooltipCtrl(bool autoDelete = true) : CTooltipCtrl(autoDelete) {}

    // Shows nothing (false) when the text is empty or fits the rectangle in
    // which the cell's paint format draws it; otherwise the pop-up covers
    // that rectangle from its top-left corner, as wide as the text with its
    // margins and at least as high as the cell.
    bool Show(const TooltipCell& cell) override;

    // Whether the in-place tooltip would show the cell's text (the default
    // source's): the cell's paint format draws it in a rectangle narrower
    // than the text. For sources that leave clipped cells to the in-place
    // tooltip. Grid thread.
    static bool IsCellTextClipped(CGrid* grid, CellDrawContext& cell);

protected:
    // The grid's font, else the library's default.
    QFont TextFont() const override;
    // One line, as in the cell: a line break shows as its symbol.
    QStringList LinesOf(const QString& text) const override { return {text}; }
};

} // namespace Kestrum::GUI
