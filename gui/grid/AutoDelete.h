// IAutoDelete: the ownership rule for objects handed to the grid. The grid
// destroys such an object when the grid itself is destroyed (or when it
// replaces it on load) if and only if IsAutoDelete answers true.
#pragma once

#include "gui/platform/Export.h"

namespace Kestrum::GUI {

class KESTRUM_GRIDCORE_EXPORT IAutoDelete {
public:
    virtual ~IAutoDelete() = default;
    virtual bool IsAutoDelete() const = 0;
};

} // namespace Kestrum::GUI
