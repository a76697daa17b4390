// CCellPaintFormat: the default cell paint format. It draws one cell in
// thirteen steps, each a virtual operation of its own that draws nothing
// when its paint flag is off, so an application's format may replace one
// step (its own background, say) and keep the others:
//
//   ScheduleHighlightRepaint, PaintBackground, PaintSelectionRectangle,
//   PaintText, PaintImage, PaintFocusFrame, PaintSelectionFrame, PaintTree,
//   PaintDropMarker, PaintDropArrows, PaintVerticalLine, PaintHorizontalLine
//   (in this order, clipped to the cell's visible part), then the embedded
//   control of the cell learns its cell, then PaintEditorDecoration.
//
// Before the steps the in-place editor may rewrite the cell's flags (a
// check box instead of the text). The format has no state: one instance
// serves every cell. A subclass that replaces a step should replace Clone
// too, so a copied column keeps its format's class. Inside a subclass the
// steps hide the paint flags of the same names (PaintText, PaintBackground
// ...): name the flags as PaintFlag::PaintText.
#pragma once

#include "gui/platform/Export.h"

#include "gui/paint/PaintFormat.h"

namespace Kestrum::GUI {

class KESTRUM_GUI_EXPORT CCellPaintFormat : public ICellPaintFormat {
public:
    int Paint(CellDrawContext& context, PaintState& state, PaintFlags flags) override;
    Color GetBackColor(CellDrawContext& context, PaintState& state, PaintFlags flags) override;
    Color GetTextColor(CellDrawContext& context, PaintState& state, PaintFlags flags) override;
    int GetRequiredWidth(CellDrawContext& context, PaintState& state, PaintFlags flags) override;
    CRect GetImageRect(CellDrawContext& context, PaintState& state, PaintFlags flags) override;
    CRect GetTextRect(CellDrawContext& context, PaintState& state, PaintFlags flags) override;
    ICellPaintFormat* Clone() const override { return new CCellPaintFormat(*this); }
    std::int32_t GetVersion() const override { return 1; }
    std::string GetClassName() const override { return "GUI::CCellPaintFormat"; }

    // The steps of Paint, in the order it runs them (flag in brackets).
    // The background with its tints: the colour of GetBackColor, in layers
    // over a background picture (PaintBackground).
    virtual void PaintBackground(CellDrawContext& context, PaintState& state, PaintFlags flags);
    // The mouse's selection rectangle (PaintSelectionRect).
    virtual void PaintSelectionRectangle(CellDrawContext& context, PaintState& state, PaintFlags flags);
    // The cell's text in GetTextRect (PaintText).
    virtual void PaintText(CellDrawContext& context, PaintState& state, PaintFlags flags);
    // The image in GetImageRect (PaintImage, through GetImageRect).
    virtual void PaintImage(CellDrawContext& context, PaintState& state, PaintFlags flags);
    // The dotted frame of the focused row (PaintFocusFrame).
    virtual void PaintFocusFrame(CellDrawContext& context, PaintState& state, PaintFlags flags);
    // The solid frame of selected rows, one per block (PaintSelectionFrame).
    virtual void PaintSelectionFrame(CellDrawContext& context, PaintState& state, PaintFlags flags);
    // The expand button, then the tree lines (PaintHierarchy with
    // PaintTreeButtons and PaintTreeLines).
    virtual void PaintTree(CellDrawContext& context, PaintState& state, PaintFlags flags);
    // The insertion bar while rows are dragged (PaintDropMarker).
    virtual void PaintDropMarker(CellDrawContext& context, PaintState& state, PaintFlags flags);
    // The arrows on the drop-target row (PaintDropArrows).
    virtual void PaintDropArrows(CellDrawContext& context, PaintState& state, PaintFlags flags);
    // The grid lines (PaintVerticalLines, PaintHorizontalLines), when the
    // appearance shows them.
    virtual void PaintVerticalLine(CellDrawContext& context, PaintState& state, PaintFlags flags);
    virtual void PaintHorizontalLine(CellDrawContext& context, PaintState& state, PaintFlags flags);
    // The in-place editor's decoration of the cell, when editing is enabled
    // and one of its three switches is on; its answer is Paint's.
    virtual int PaintEditorDecoration(CellDrawContext& context, PaintState& state, PaintFlags flags);
    // Draws nothing: asks the paint state's repaint scheduler for the next
    // repaint of a highlighted cell while it fades (PaintUpdateHighlight).
    virtual void ScheduleHighlightRepaint(CellDrawContext& context, PaintState& state, PaintFlags flags);

    // The indentation of the cell's content: non-zero in the tree column only.
    static int TreeIndent(const CellDrawContext& context, const PaintState& state, PaintFlags flags);
};

} // namespace Kestrum::GUI
