// PrintSettings: what a print of the grid shows and how its pages are set
// up. One record per grid, kept out of the grid's archive so that its layout
// stays what every reader of it expects: an application stores the record
// beside it (Velmora in a settings key of its own), or right after it
// through CGrid::SerializeWithPrintSettings, the layout the grid's archive
// had while it carried the record.
//
// Stored form: int32 version 1, int32 rows, byte fit to width, int32
// orientation, four int32 margins in millimetres (left, top, right, bottom).
// A newer version is refused with the archive's bad-schema error, a version
// of 0 or less reads nothing more; values out of range raise the archive
// error and leave the record as it was.
#pragma once

#include "gui/platform/Export.h"

#include <array>
#include <cstdint>

namespace Kestrum::GUI {

class CArchive;

// Which rows a print shows, in display order.
enum PrintRows : std::int32_t {
    PrintAllRows = 0,      // every row, the ones under collapsed rows too, drawn expanded
    PrintSelectedRows = 1, // the selected rows only
    PrintShownRows = 2,    // the rows shown now (under expanded rows)
};

enum PrintOrientation : std::int32_t { PrintPortrait = 0, PrintLandscape = 1 };

struct KESTRUM_GRIDCORE_EXPORT PrintSettings {
    static constexpr std::int32_t kMaxMargin = 500; // millimetres; more is damage, not a choice

    std::int32_t rows = PrintShownRows;
    // Shrinks the columns to the page width instead of continuing them on
    // further pages across.
    bool fitToWidth = false;
    std::int32_t orientation = PrintPortrait;
    std::array<std::int32_t, 4> margins{10, 10, 10, 10}; // left, top, right, bottom, millimetres

    void Serialize(CArchive& archive);
    friend bool operator==(const PrintSettings&, const PrintSettings&) = default;
};

} // namespace Kestrum::GUI
