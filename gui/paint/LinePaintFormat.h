// CLinePaintFormat: draws one row by handing each visible column's cell (and
// the filler right of the last column) to the custom draw.
#pragma once

#include "gui/platform/Export.h"

#include "gui/paint/PaintFormat.h"

namespace Kestrum::GUI {

class KESTRUM_GRIDCORE_EXPORT CLinePaintFormat : public ILinePaintFormat {
public:
    void Paint(RowDrawContext& context, PaintState& state, PaintFlags flags, ICustomDraw* customDraw) override;
    std::int32_t GetVersion() const override { return 1; }
    std::string GetClassName() const override { return "GUI::CLinePaintFormat"; }
};

} // namespace Kestrum::GUI
