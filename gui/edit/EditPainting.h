// What the reflectors draw into cells: a check box, and the drop-down
// button of the list and date cells. Drawn with the device context only, so
// the printer could draw them too.
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>

#include "gui/platform/Geometry.h"

namespace Kestrum::GUI {

class CDeviceContext;

// The check box's square in a cell: at most 13 pixels, vertically centred,
// placed left, centred or right by the column's alignment.
KESTRUM_GUI_EXPORT CRect CheckBoxRect(const CRect& cell, std::int32_t alignment);
KESTRUM_GUI_EXPORT void PaintCheckBox(CDeviceContext& dc, const CRect& cell, std::int32_t alignment, bool checked);

// The drop-down button: a square as high as the cell at its right end.
KESTRUM_GUI_EXPORT CRect DropDownButtonRect(const CRect& cell);
KESTRUM_GUI_EXPORT void PaintDropDownButton(CDeviceContext& dc, const CRect& cell);

} // namespace Kestrum::GUI
