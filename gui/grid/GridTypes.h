// Names shared by the row trees, the grid surface and their callers: item
// handles and the reserved handles, areas, item events and state bits.
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>

namespace Kestrum::Common {
class CDataObject;
}

namespace Kestrum::GUI {

class CGridItem;

// An item handle is the address of its CGridItem, or one of the reserved
// values (the design's 32-bit values sign-extended, which no allocation can
// occupy).
using HITEM = std::uintptr_t;
inline constexpr HITEM GRID_ROOT = static_cast<HITEM>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0xFFFF0000)));
inline constexpr HITEM GRID_FIXED_ROOT = GRID_ROOT + 1;
inline constexpr HITEM GRID_FIRST = GRID_ROOT + 2;
inline constexpr HITEM GRID_LAST = GRID_ROOT + 3;
static_assert(GRID_ROOT == 0xFFFF'FFFF'FFFF'0000ull || sizeof(HITEM) == 4);

inline HITEM ToHandle(const CGridItem* item) { return reinterpret_cast<HITEM>(item); }
inline CGridItem* FromHandle(HITEM handle) { return reinterpret_cast<CGridItem*>(handle); }

// Tree kinds, also the area numbers of row indexes.
enum TreeKind : int { TreeDetached = 0, AreaFixed = 1, AreaScrollable = 2 };
// Area masks of Clear, RemoveAt, GetItems and GetAllItems.
enum AreaMask : int { MaskFixed = 1, MaskScrollable = 2, MaskBoth = 3 };

// The mask bit of an area kind (0 for no area).
constexpr int MaskOfArea(int area) noexcept
{
    return area == AreaFixed ? MaskFixed : area == AreaScrollable ? MaskScrollable : 0;
}
constexpr bool AreaInMask(int area, int mask) noexcept { return (mask & MaskOfArea(area)) != 0; }

enum ItemEvent : int {
    EventItemAdded = 0,
    EventItemRemoving = 1,
    EventItemMoved = 2,
    EventItemAttached = 3,
    EventItemDetaching = 4,
    EventFocusChanged = 5,
    EventSelectionChanged = 6,
    EventExpandedChanged = 7,
    EventFilterChanged = 8,
    EventRowShownOrHidden = 9,
    EventItemUpdated = 10,
};

// The state word reported with events and by the state query.
enum ItemStateBits : std::uint32_t {
    StateSelected = 1u << 0,
    StateFocused = 1u << 1,
    StateVisible = 1u << 2,
    StateExpanded = 1u << 3,
    StateFilteredOut = 1u << 4,
    StateInGrid = 1u << 5,
};

// Numbers of the grid's requests, by which calls from other threads are
// carried to the grid's thread; those of later parts are reserved here.
enum GridRequest : int {
    RequestInitialize = 1,
    RequestAdd = 3,
    RequestRemove = 5,
    RequestRemoveAt = 7,
    RequestClear = 8,
    RequestGetItems = 9,
    RequestGetAllItems = 10,
    RequestAttach = 17,
    RequestDetach = 18,
    RequestGetArea = 19,
    RequestIsVisible = 20,
    RequestIsExpanded = 21,
    RequestGetChildren = 22,
    RequestHasChildren = 23,
    RequestGetLevel = 24,
    RequestGetParent = 25,
    RequestExpandCollapse = 26,
    RequestGetVisibleIndex = 27,
    RequestGetItemAt = 28,
    RequestGetItem = 29,
    RequestGetPrevRow = 31,
    RequestGetNextRow = 32,
    RequestGetObject = 33,
    RequestGetRowCount = 35,
    RequestForEach = 36,
    RequestForEachRow = 37,
    RequestMove = 38,
    RequestGetAreaRect = 39,
    RequestGetRowRect = 41,
    RequestGetCellRect = 43,
    RequestGetPageRowCount = 45,
    RequestGetRowHeight = 46,
    RequestSetRowHeight = 47,
    RequestRefreshScrollBars = 48,
    RequestRefresh = 49,
    RequestGetTopRow = 51,
    RequestGetLastVisibleRow = 52,
    RequestEnsureVisible = 53,
    RequestSetTopRow = 55,
    RequestScrollToItem = 56,
    RequestGetSelectedCount = 57,
    RequestGetSelectedItems = 58,
    RequestSelectItem = 59,
    RequestSelectRow = 60,
    RequestIsRowSelected = 61,
    RequestIsItemSelected = 62,
    RequestSelectAll = 63,
    RequestClearSelection = 64,
    RequestSetFocusedRow = 65,
    RequestGetFocusedRow = 66,
    RequestGetFocusedArea = 67,
    RequestSetFocusableAreas = 68,
    RequestIsAreaFocusable = 69,
    RequestGetAppearance = 70,
    RequestSetAppearance = 71,
    RequestGetBackground = 72,
    RequestSetBackground = 73,
    RequestPrepareBackground = 74,
    RequestSetPaintFlags = 76,
    RequestGetPaintFlags = 77,
    RequestSetDoubleBuffering = 78,
    RequestGetDoubleBuffering = 79,
    RequestRepaintRowLater = 80,
    RequestRepaintCellLater = 81,
    RequestGetTimeSinceChange = 83,
    RequestCellImages = 84, // 84 to 87: cell image list and stretch flag
    RequestOption = 89,     // 89 and 90: the stored option
    RequestEnableSelection = 91,
    RequestIsSelectionEnabled = 92,
    RequestEnableMultiSelection = 93,
    RequestIsMultiSelectionEnabled = 94,
    RequestSetSelectableAreas = 95,
    RequestIsAreaSelectable = 96,
    RequestEnableUpdateHighlight = 97,
    RequestIsUpdateHighlightEnabled = 98,
    RequestGetUpdateHighlight = 99,
    RequestSetUpdateHighlight = 100,
    RequestSeparator = 101, // 101 to 104: separator shown and height
    RequestSetHeader = 105,
    RequestGetHeader = 106,
    RequestHeaderNotice = 107,
    RequestShowHeader = 108,
    RequestIsHeaderShown = 109,
    RequestShowHeaderConfiguration = 110,
    RequestAutoFitColumn = 111,
    RequestAutoFitColumnAt = 112,
    RequestAutoFitColumns = 113,
    RequestSetSortAreas = 150,
    RequestGetSortAreas = 151,
    RequestClearSort = 156,
    RequestSetSortInfo = 157,
    RequestGetSortInfo = 158,
    RequestResort = 159,
    RequestGetSortLevelCount = 160,
    RequestSetFilter = 161,
    RequestGetFilter = 162,
    RequestRefilter = 163,
    RequestSetKeyManager = 164,
    RequestGetKeyManager = 165,
    RequestSetKeyboardAreas = 166,
    RequestIsKeyboardArea = 167,
    RequestEnableNotifications = 168,
    RequestAreNotificationsEnabled = 169,
    RequestSetCustomDraw = 170,
    RequestGetCustomDraw = 171,
    RequestGetFontRowHeight = 172,
    RequestPrint = 174,
    RequestPrintPreview = 175,
    RequestKeyAction = 176,
    RequestEmbedControl = 177,
    RequestRemoveEmbeddedControl = 178, // with 179, not numbered by the design
    RequestSetCellValue = 179,
    RequestHasEmbeddedControl = 180,
    RequestSetEditInPlace = 181,
    RequestGetEditInPlace = 182,
    RequestCanEditCell = 183,
    RequestBeginEditCell = 184,
    RequestEndEdit = 185,
    RequestGetEditControl = 186,
    RequestEndEditOfCell = 187,
    RequestGetEditSettings = 188,
    RequestSetEditSettings = 189,
    RequestCopy = 200, // 200 to 210: copy, cut, paste, drag and drop
    RequestCut = 201,
    RequestPaste = 202,
    RequestEnablePaste = 203,
    RequestIsPasteEnabled = 204,
    RequestSetCopyPaste = 205,
    RequestGetCopyPaste = 206,
    RequestEnableDragDrop = 207,
    RequestIsDragDropEnabled = 208,
    RequestSetDragDrop = 209,
    RequestGetDragDrop = 210,
};

class CGridRows;

// Visits items: return false to stop.
class KESTRUM_GRIDCORE_EXPORT IItemVisitor {
public:
    virtual bool Visit(CGridRows* grid, CGridItem* item, Common::CDataObject* object) = 0;

protected:
    ~IItemVisitor() = default;
};

} // namespace Kestrum::GUI
