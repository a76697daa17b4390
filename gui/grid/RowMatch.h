// IRowMatch: a filter that picks rows. Where one is set (CGridRows::SetRowMatch,
// CGrid::SetRowMatch) an item has a row only when it matches or something
// below it does, so every match shows with the whole path to it.
#pragma once

#include "gui/platform/Export.h"

namespace Kestrum::Common {
class CDataObject;
}

namespace Kestrum::GUI {

class CGridItem;

class KESTRUM_GRIDCORE_EXPORT IRowMatch {
public:
    // Asked once for each item as it joins a tree, again when its object
    // changes, and for every item when the match is set; answers must not
    // change the grid.
    virtual bool Matches(CGridItem* item, Common::CDataObject* object) = 0;

protected:
    ~IRowMatch() = default;
};

} // namespace Kestrum::GUI
