// CLongEnumReflector: a long cell with an enumeration format is edited with a
// drop-down list (CEmbeddedCombo) of the format's items in insertion order,
// the cell's current value selected (none when no item has it). Closing it
// writes the selected item's value; with nothing selected nothing is written.
// While the pointer is over such a cell, a drop-down button at its right end
// shows that a click there opens the list.
#pragma once

#include "gui/platform/Export.h"

#include "gui/edit/ControlReflector.h"

namespace Kestrum::GUI {

// What the list and the date cells share: the drop-down button.
class KESTRUM_GUI_EXPORT CDropDownReflector : public CControlReflector {
public:
    // The format still applies, the pointer is in the cell, no button is
    // down and the cell may be edited.
    bool IsClickActivated(const EditCell& cell, CGrid* grid) override;
    void PaintCell(CellDrawContext& context, PaintState& state) override;
    bool HitTestButton(const EditCell& cell, QWidget* control) override;
};

class KESTRUM_GUI_EXPORT CLongEnumReflector final : public CDropDownReflector {
public:
    bool IsApplicable(const Common::CFormat* format) const override;
    bool CreateControl(const EditCell& cell, Common::CFormat* format) override;
    bool ApplyValue(const EditCell& cell, std::uint32_t flags) override;
};

} // namespace Kestrum::GUI
