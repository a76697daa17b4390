// CColumnPaintFormat: draws one header cell: a raised face, the sort
// indicator with its level marks, and the caption.
#pragma once

#include "gui/platform/Export.h"

#include "gui/paint/PaintFormat.h"

namespace Kestrum::GUI {

class KESTRUM_GUI_EXPORT CColumnPaintFormat : public IColumnPaintFormat {
public:
    void Paint(ColumnHeaderDrawContext& context, PaintState& state, PaintFlags flags) override;
    IColumnPaintFormat* Clone() const override { return new CColumnPaintFormat(*this); }
    std::int32_t GetVersion() const override { return 1; }
    std::string GetClassName() const override { return "GUI::CColumnPaintFormat"; }

    virtual int GetSortIndicatorWidth() const { return 12; }
    virtual void PaintBackground(ColumnHeaderDrawContext& context, PaintState& state, PaintFlags flags);
    // A triangle for the direction, with marks for levels after the first.
    virtual void PaintSortIndicator(ColumnHeaderDrawContext& context, PaintState& state, PaintFlags flags);
    virtual void PaintCaption(ColumnHeaderDrawContext& context, PaintState& state, PaintFlags flags);
};

} // namespace Kestrum::GUI
