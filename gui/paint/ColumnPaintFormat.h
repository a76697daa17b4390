// CColumnPaintFormat: draws one header cell: a raised face and the caption.
#pragma once

#include "gui/paint/PaintFormat.h"

namespace Kestrum::GUI {

class CColumnPaintFormat : public IColumnPaintFormat {
public:
    void Paint(ColumnHeaderDrawContext& context, PaintState& state, PaintFlags flags) override;
    IColumnPaintFormat* Clone() const override { return new CColumnPaintFormat(*this); }
    std::int32_t GetVersion() const override { return 1; }
    std::string GetClassName() const override { return "GUI::CColumnPaintFormat"; }
};

} // namespace Kestrum::GUI
