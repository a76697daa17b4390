// CCellPaintFormat: draws one cell: background with row colours and tints,
// then the text.
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

    // The indentation of the cell's content: non-zero in the tree column only.
    static int TreeIndent(const CellDrawContext& context, const PaintState& state, PaintFlags flags);

private:
    // Background to grid lines, with the flags the editor left.
    int PaintStages(CellDrawContext& context, PaintState& state, PaintFlags flags);
};

} // namespace Kestrum::GUI
