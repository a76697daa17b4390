// Names shared by the row trees, the grid surface and their callers: item
// handles and the reserved handles, areas, item events and state bits.
#pragma once

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

class CGridRows;

// Visits items: return false to stop.
class IItemVisitor {
public:
    virtual bool Visit(CGridRows* grid, CGridItem* item, Common::CDataObject* object) = 0;

protected:
    ~IItemVisitor() = default;
};

} // namespace Kestrum::GUI
