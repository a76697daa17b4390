// The grid clock: milliseconds since it was first read in the process, on
// the steady clock. Change stamps, highlight fading, delayed repaints,
// animations and every time-out of the grid read it, so a test can drive
// all of them by replacing its source.
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>

namespace Kestrum::GUI {

KESTRUM_GRIDCORE_EXPORT std::int64_t GridClockNow();

// A replacement source of the clock's readings, for tests; null restores the
// steady clock. Swap it only while no grid is reading the clock on another
// thread.
using GridClockSource = std::int64_t (*)();
KESTRUM_GRIDCORE_EXPORT void SetGridClockSource(GridClockSource source);

} // namespace Kestrum::GUI
