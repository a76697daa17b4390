// CGridDirectory: the grids alive in this process, so that addresses read
// from clipboard or drag data are checked before anything is read through
// them. A grid registers with its row trees when it is made and leaves when
// it goes; an address is a grid, or an item, only while some live grid
// answers for it (the item through its tree's handle set, which compares
// addresses and reads nothing of the item).
//
// Threads: the table has its own lock; the row trees it hands out belong to
// their grid's thread, which is where transfers run.
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace Kestrum::GUI {

class CGrid;
class CGridItem;
class CGridRows;

class KESTRUM_GRIDCORE_EXPORT CGridDirectory {
public:
    static CGridDirectory& Instance();

    void Register(CGrid* grid, CGridRows* rows);
    void Unregister(CGrid* grid);

    // The live grid whose address is `address`, or null.
    CGrid* FindGrid(std::uint64_t address) const;
    // The row trees of a live grid, or null.
    CGridRows* RowsOf(const CGrid* grid) const;
    // The live item (not a root) at `address` and the grid holding it, or
    // null. The grid at `preferred` is asked first.
    CGridItem* FindItem(std::uint64_t address, std::uint64_t preferred, CGrid** holder) const;
    // The grid whose trees hold `item` (a live item), or null.
    CGrid* GridOfItem(const CGridItem* item) const;

private:
    struct Entry {
        CGrid* grid;
        CGridRows* rows;
    };
    CGridDirectory() = default;
    mutable std::mutex m_lock;
    std::vector<Entry> m_grids;
};

// An address as the 64-bit word the local data format stores.
inline std::uint64_t AddressWord(const void* address) { return reinterpret_cast<std::uintptr_t>(address); }

} // namespace Kestrum::GUI
