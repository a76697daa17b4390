// The grid's archive record: everything a grid stores of itself (its
// settings, its header, its font and the row areas' settings, not the rows),
// in the stored order. Reading and writing need no window and no Qt, so the
// record is tested and fuzzed on its own; the grid fills a record from its
// state before storing, and commits a loaded one only after it was read
// whole, so damaged data changes nothing.
//
// The record ends with the tooltip records. The print settings are a record
// of their own (PrintSettings): an application stores them beside the grid's
// record, or right after it through StoreWithPrintSettings, which is the
// layout the grid's archive had while it carried them.
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>
#include <memory>
#include <optional>

#include "gui/grid/GridSettings.h"
#include "gui/grid/GridTypes.h"
#include "gui/paint/DrawContext.h"
#include "gui/platform/FontRecord.h"
#include "gui/print/PrintSettings.h"

namespace Kestrum::GUI {

class CArchive;
class CHeader;

// The settings a grid keeps only for itself (the rest of the record lives in
// the trees, the focus and the selection state).
struct KESTRUM_GRIDCORE_EXPORT GridStoredSettings {
    bool headerShown = true;
    GridAppearance appearance;
    std::uint32_t paintFlags = PaintAll;
    bool doubleBuffering = true;
    bool stretchImages = false;
    bool option = true; // stored and reported only
    bool highlightEnabled = false;
    UpdateHighlight highlight;
    bool separatorShown = true;
    std::int32_t separatorHeight = 2;
    TransferPolicy transfer;
    bool pasteEnabled = true;
    DragDropSettings dragDrop;
    bool dragDropEnabled = false;
    std::int32_t keyboardAreas = MaskBoth;
    std::int32_t searchTimeout = 1000;
    EditSettings edit;
    TooltipSettings tooltipRegular;
    TooltipSettings tooltipInPlace;
    PrintSettings print; // not in the record; StoreWithPrintSettings appends it
};

struct KESTRUM_GRIDCORE_EXPORT GridArchiveRecord {
    GridStoredSettings settings;
    // Storing writes `header`; loading creates the stored one into `loadedHeader`.
    CHeader* header = nullptr;
    std::unique_ptr<CHeader> loadedHeader;
    bool hasHeader = false;
    // Default row height of the fixed and the scrollable area; -1 where the
    // stored area record was empty.
    std::int32_t rowHeights[2] = {14, 14};
    std::int32_t focusableAreas = MaskBoth;
    std::optional<FontRecord> font;
    bool selectionEnabled = true;
    bool multiSelectionEnabled = true;
    std::int32_t selectableAreas = MaskBoth;
    std::int32_t sortAreas = MaskBoth;

    void Store(CArchive& archive) const;
    // Reads the record over the values it holds (a versioned part stored
    // empty keeps them) and stops at its end: what follows is the caller's.
    // False when the stored version is 0 or less and nothing was read.
    // Damaged data raises CArchiveException and changes nothing.
    bool Load(CArchive& archive);

    // The record followed by the print settings record.
    void StoreWithPrintSettings(CArchive& archive) const;
    // Reads both before anything changes; when the archive ends right after
    // the grid's record (one stored by Store, or before printing existed),
    // settings.print stays as it is. An empty grid record (version 0 or
    // less) reads nothing more and answers false.
    bool LoadWithPrintSettings(CArchive& archive);

private:
    bool Read(CArchive& archive, bool withPrintSettings);
};

} // namespace Kestrum::GUI
