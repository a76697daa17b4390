// ITooltipSource: where a tooltip's text comes from, and CTooltip, the
// default source every tooltip control falls back to.
//
// A source is asked on the grid's thread, for the cell under the mouse, with
// the cell draw context the grid builds to paint that cell (row, column,
// data object, rectangles, colours, font).
#pragma once

#include "gui/platform/Export.h"

#include <QString>

#include "gui/grid/AutoDelete.h"

namespace Kestrum::GUI {

class CGrid;
struct CellDrawContext;

class KESTRUM_GUI_EXPORT ITooltipSource : public virtual IAutoDelete {
public:
    // True when the cell has a tooltip of this source.
    virtual bool HasTooltip(CGrid* grid, CellDrawContext& cell) = 0;
    virtual QString GetTooltipText(CGrid* grid, CellDrawContext& cell) = 0;
};

// The cell's own display text: a cell without column or data object has
// none, and an empty text is no tooltip. One shared instance serves the whole
// program; it is never deleted by a grid.
class KESTRUM_GUI_EXPORT CTooltip : public ITooltipSource {
public:
    static CTooltip& Shared();
    bool IsAutoDelete() const override { return false; }
    bool HasTooltip(CGrid* grid, CellDrawContext& cell) override;
    QString GetTooltipText(CGrid* grid, CellDrawContext& cell) override;

private:
    CTooltip() = default;
};

} // namespace Kestrum::GUI
