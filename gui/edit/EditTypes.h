// The names in-place editing shares: why an edit starts, the edit codes (the
// input that reaches an open editor and the reason an edit ends with), the
// layout flags of an embedded control, and the cell record every editor and
// reflector operation receives.
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>

#include "common/Types.h"
#include "gui/grid/GridSettings.h"
#include "gui/platform/Geometry.h"

namespace Kestrum::Common {
class CDataObject;
class CFormat;
}

namespace Kestrum::GUI {

class CColumn;
class CGrid;
class CGridItem;

enum EditStartReason : int {
    EditStartClick = 0,
    EditStartDoubleClick = 1,
    EditStartNavigation = 2, // from the cell that was just edited
};

enum EditCode : int {
    EditIgnored = 0,
    EditEnter = 1,
    EditEscape = 2,
    EditUp = 3,
    EditDown = 4,
    EditLeft = 5,
    EditRight = 6,
    EditPageUp = 7,
    EditPageDown = 8,
    EditHome = 9,
    EditEnd = 10,
    EditNoNavigation = 11, // never from input: ends without writing or moving on
    EditTab = 12,
    EditShiftTab = 13,
    EditCtrlTab = 14,
    EditWheelForward = 15,
    EditWheelBackward = 16,
    EditRightDown = 17, // always kept by a text control
    EditLeftDown = 18,
    EditLeftDoubleClick = 19,
    EditRightDoubleClick = 20,
    EditSelectionConfirmed = 21, // the drop-down list or the date editor
    EditSelectionCancelled = 22,
    EditFocusLost = 23, // also: the grid was clicked
    EditCommit = 24,    // never from input: ends and writes
};

// Codes of the edit notifications to the grid's listener.
enum EditNotificationCode : int { NotifyEditStarted = 15, NotifyEditEnded = 16 };

// Layout flags of an embedded control: which of its edges follow the cell's.
enum EmbeddedLayoutFlag : std::uint32_t {
    AnchorLeft = 1,
    AnchorTop = 2,
    AnchorRight = 4,
    AnchorBottom = 8,
    AnchorAll = 15,
};

// A cell as the grid sees it when it asks an editor or a reflector about
// it. Everything an answer depends on is in the record, so the same
// questions can be asked from a paint pass (which never calls the grid).
struct KESTRUM_GUI_EXPORT EditCell {
    CGrid* grid = nullptr;
    CGridItem* item = nullptr;
    Common::CDataObject* object = nullptr;
    CColumn* column = nullptr; // null: no column (the filler right of the last one)
    CRect rect;                // the cell in viewport coordinates; empty out of view
    CPoint pointer{-32768, -32768}; // where the grid last saw the mouse pointer
    bool buttonsDown = false;       // a mouse button was down then
    bool editing = false;           // an edit is active on the grid
    int reason = -1;                // the start reason of the edit being started
    EditSettings settings;

    Common::FieldId Field() const;
};

// The format an edit of the cell reads and writes with: the column's, else
// the field's own, else the default format of the field's type (null when
// the cell names no field).
KESTRUM_GUI_EXPORT Common::CFormat* EditFormatOf(const EditCell& cell);
// The tests every start shares: an item with an object and an editable
// column, no control embedded in the cell, editing enabled, and a field the
// object reports readable and writable.
KESTRUM_GUI_EXPORT bool CellAllowsEditing(const EditCell& cell);

} // namespace Kestrum::GUI
