// CCheckBoxReflector: the cells of bool values. It opens no control: an edit
// started by a click or a double click is ended at once (posted, with the
// committing code 24), and ending it writes the negation of the cell's
// current bool. The cell shows a check box instead of its text.
#pragma once

#include "gui/platform/Export.h"

#include "gui/edit/ControlReflector.h"

namespace Kestrum::GUI {

class KESTRUM_GUI_EXPORT CCheckBoxReflector final : public IControlReflector {
public:
    bool IsApplicable(const Common::CFormat* format) const override;
    bool CreateControl(const EditCell& cell, Common::CFormat* format) override;
    bool ApplyValue(const EditCell& cell, std::uint32_t flags) override;
    bool CloseControl(CGrid* grid, std::uint32_t flags, CColumn* column) override;
    // The cell holds a bool.
    bool IsClickActivated(const EditCell& cell, CGrid* grid) override;
    // Without the text: the check box says it.
    std::uint32_t AdjustPaintFlags(std::uint32_t flags) override;
    void PaintCell(CellDrawContext& context, PaintState& state) override;
    bool HasControl() const override { return false; }
};

} // namespace Kestrum::GUI
