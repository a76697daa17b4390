// The steps of a paint pass that the screen and the printer share: one row
// handed to the custom draw with its row draw context, and the header
// strip. The grid's paint pass (GridPaint.cpp) and the grid printer
// (gui/print/GridPrinter.cpp) both paint through these, so a printed row is
// decorated exactly as the screen decorates it.
#pragma once

#include "gui/platform/Export.h"

#include "gui/paint/CustomDraw.h"

namespace Kestrum::GUI {

// What every row of one pass shares.
struct KESTRUM_GUI_EXPORT PassSettings {
    ICustomDraw* draw = nullptr;
    const GridAppearance* appearance = nullptr;
    UpdateHighlight highlight;
    const QFont* font = nullptr;
    PaintFlags flags = PaintAll;
};

// One row: its area and index (the index chooses the odd or even colours),
// its item (null for a filler row) and its full rectangle.
struct KESTRUM_GUI_EXPORT PassRow {
    int area = 0;
    int index = -1;
    CGridItem* item = nullptr;
    CRect rect;
    // Neighbours that are selected too: a block of selected rows gets one frame.
    bool noTopFrameLine = false;
    bool noBottomFrameLine = false;
};

// The row's draw context: colours by the index's parity, the pass's font
// and highlight settings, margins 2 and 2.
KESTRUM_GUI_EXPORT RowDrawContext MakeRowContext(const PassSettings& pass, const PaintState& state, const PassRow& row);
// The context of the row's cell in `column` (null: the filler, whose
// rectangles the caller sets): the one builder of cell contexts, used by the
// line paint format for every cell it hands to the custom draw and by those
// who ask about one cell outside a paint, like the tooltips and the
// accessible text. The format is the column's, else the field's
// (CellFormatOf), as the pass's custom draw `draw` resolves it
// (GetCellFormat). `row` must outlive it.
KESTRUM_GUI_EXPORT CellDrawContext MakeCellContext(const PaintState& state, RowDrawContext& row, CColumn* column,
                                                   ICustomDraw* draw);
// Paints the row when it meets the paint state's clip rectangle.
KESTRUM_GUI_EXPORT void PaintPassRow(const PassSettings& pass, PaintState& state, const PassRow& row);
// Paints the header strip of the paint state's header at the top (y 0).
// `context` brings what the pass tracks (the pressed or hot caption, a
// column's drop place); its font, images and text colour are filled here.
KESTRUM_GUI_EXPORT void PaintPassHeader(const PassSettings& pass, PaintState& state, const QFont* headerFont,
                     HeaderDrawContext context = {});

} // namespace Kestrum::GUI
