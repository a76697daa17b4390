// CHeaderPaintFormat: draws the header strip by handing each visible
// column's header cell (and the filler) to the custom draw.
#pragma once

#include "gui/platform/Export.h"

#include "gui/paint/PaintFormat.h"

namespace Kestrum::GUI {

class KESTRUM_GRIDCORE_EXPORT CHeaderPaintFormat : public IHeaderPaintFormat {
public:
    void Paint(HeaderDrawContext& context, PaintState& state, PaintFlags flags, ICustomDraw* customDraw) override;
    std::int32_t GetVersion() const override { return 1; }
    std::string GetClassName() const override { return "GUI::CHeaderPaintFormat"; }
};

} // namespace Kestrum::GUI
