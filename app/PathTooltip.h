// CPathTooltip: the source of the view's regular tooltips. Over the Name
// column it shows the row's full path, and for a folder the walk could not
// read or left out by an exclude pattern, why on a second line. A name that
// does not fit its cell is left to the in-place tooltip, which shows it
// whole where it stands, unless there is such a second line: it matters more.
#pragma once

#include <cstdint>

#include "gui/tooltip/TooltipSource.h"

namespace Velmora {

class CPathTooltip : public Kestrum::GUI::ITooltipSource {
public:
    bool IsAutoDelete() const override { return true; }
    bool HasTooltip(Kestrum::GUI::CGrid* grid, Kestrum::GUI::CellDrawContext& cell) override;
    QString GetTooltipText(Kestrum::GUI::CGrid* grid, Kestrum::GUI::CellDrawContext& cell) override;

    // What the second line says of a folder's read error (kExcluded too).
    static QString ReadErrorText(std::int32_t error);
};

} // namespace Velmora
