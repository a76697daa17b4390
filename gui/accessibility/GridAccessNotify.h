// What a grid tells its accessible side. The grid calls these where its
// rows, focus, selection, values and header change; they cost one relaxed
// atomic load while no assistive technology (or test) has asked for the
// grid's accessible interface, and otherwise only mark what changed: the
// interface announces it once per event-loop tick (CGridAccessible).
//
// GUI thread only: the row trees and the dispatcher already run there.
#pragma once

#include "gui/platform/Export.h"

#include "gui/grid/GridTypes.h"

namespace Kestrum::GUI {

class CGrid;

// Makes the grid (and its cells and header) known to Qt's accessibility
// through a factory; once per process, from the grid's constructor.
KESTRUM_GUI_EXPORT void InstallGridAccessibility();

// An item event (ItemEvent codes) of one of the grid's row trees.
KESTRUM_GUI_EXPORT void NotifyAccessibleItemEvent(CGrid* grid, int code, HITEM item);
// The rows of an area changed (added, removed, shown, hidden, reordered).
KESTRUM_GUI_EXPORT void NotifyAccessibleRowsChanged(CGrid* grid);
// A header notice (HeaderNotifyCode) the grid has answered.
KESTRUM_GUI_EXPORT void NotifyAccessibleHeaderChanged(CGrid* grid, int code);
// The grid is being destroyed: its interface answers nothing from now on.
KESTRUM_GUI_EXPORT void ForgetAccessibleGrid(CGrid* grid);

} // namespace Kestrum::GUI
