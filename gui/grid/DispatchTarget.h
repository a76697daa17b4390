// IDispatchTarget: what the dispatcher needs from a grid to apply data-object
// changes and disposals to its rows. A grid's row trees name their target
// (CGridRows::GetDispatchTarget), so an item leads to its grid.
#pragma once

#include "gui/platform/Export.h"

#include "common/Types.h"

namespace Kestrum::GUI {

class CGridItem;

class KESTRUM_GRIDCORE_EXPORT IDispatchTarget {
public:
    // Read on any thread: a closing grid takes no more updates or calls.
    virtual bool IsClosing() const = 0;
    // Applies a field change to one of the grid's items (grid thread).
    virtual void ApplyUpdate(CGridItem* item, Common::FieldId field) = 0;
    // Removes an item whose object is being destroyed (grid thread).
    virtual void RemoveDisposedItem(CGridItem* item) = 0;

protected:
    ~IDispatchTarget() = default;
};

} // namespace Kestrum::GUI
