// IEmbeddedControl: what a grid item knows of a control attached to one of
// its cells (the widget side is CEmbeddedControlAdapter, gui/edit/). The item
// keeps them in a map by field id; it tells them when its row is shown or
// hidden, lets go of them when it is destroyed, and deletes those whose
// IsAutoDelete answers true.
//
// Grid thread only, like the items.
#pragma once

#include "gui/platform/Export.h"

#include "gui/grid/AutoDelete.h"
#include "gui/paint/DrawContext.h"

namespace Kestrum::GUI {

class KESTRUM_GRIDCORE_EXPORT IEmbeddedControl : public virtual IAutoDelete {
public:
    // The row of the item that holds the control was shown or hidden.
    virtual void OnRowShown(bool shown) = 0;
    // The item let go of the control (taken out of the map, or the item is
    // being destroyed). An auto-delete control is deleted right after.
    virtual void OnDetached() = 0;
    // The paint pass hands over the cell the control sits in.
    virtual void Bind(const CellDrawContext& context, const PaintState& state, std::uint32_t flags) = 0;
};

} // namespace Kestrum::GUI
