// ITooltipHost: all the tooltips know of their grid. The grid implements it
// (gui/grid/GridTooltipHost.h); the tooltip room reaches nothing else of the
// grid, so it needs neither the grid's state nor the other rooms.
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>

#include "gui/paint/DrawContext.h"
#include "gui/platform/Geometry.h"

class QFont;
class QWidget;

namespace Kestrum::GUI {

class CGrid;
class ICellPaintFormat;
struct TooltipSettings;

// The cell under a point with what its paint format reads; `context.row`
// points into `row`, so the record stays where it was made.
struct TooltipHostCell {
    TooltipHostCell() = default;
    TooltipHostCell(const TooltipHostCell&) = delete;
    TooltipHostCell& operator=(const TooltipHostCell&) = delete;
    RowDrawContext row;
    CellDrawContext context;
    PaintState state;
    ICellPaintFormat* format = nullptr;
};

class KESTRUM_GUI_EXPORT ITooltipHost {
public:
    virtual CGrid* Owner() const = 0;
    virtual QWidget* Viewport() const = 0;
    virtual const QFont& Font() const = 0;
    virtual std::uint32_t PaintFlags() const = 0;
    // The stored settings of the regular or the in-place kind.
    virtual const TooltipSettings& SettingsOf(int kind) const = 0;
    // The cell under a viewport point as the paint pass would hand it to its
    // paint format; false off the cells (header, empty space, no column).
    virtual bool CellAt(CPoint point, TooltipHostCell& cell) = 0;
    // True when the application's own in-place editor could edit the cell
    // with a click or a double click: no in-place tooltip covers it.
    virtual bool CouldEditCell(CellDrawContext& cell, PaintState& state) = 0;
    // A hover that came due, sent through the grid's input hooks as the mouse is.
    virtual void DispatchHover(CPoint point) = 0;
    // The display time's timer (grid timer 2).
    virtual void StartAutoHide(int milliseconds) = 0;
    virtual void StopAutoHide() = 0;

protected:
    ~ITooltipHost() = default;
};

} // namespace Kestrum::GUI
