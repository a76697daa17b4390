#include "gui/clipboard/GridDirectory.h"

#include <algorithm>
#include <cstdint>

#include "gui/grid/GridRows.h"

namespace Kestrum::GUI {

CGridDirectory& CGridDirectory::Instance()
{
    static CGridDirectory directory;
    return directory;
}

void CGridDirectory::Register(CGrid* grid, CGridRows* rows)
{
    std::lock_guard lock(m_lock);
    std::erase_if(m_grids, [grid](const Entry& entry) { return entry.grid == grid; });
    m_grids.push_back({grid, rows});
}

void CGridDirectory::Unregister(CGrid* grid)
{
    std::lock_guard lock(m_lock);
    std::erase_if(m_grids, [grid](const Entry& entry) { return entry.grid == grid; });
}

CGrid* CGridDirectory::FindGrid(std::uint64_t address) const
{
    std::lock_guard lock(m_lock);
    for (const Entry& entry : m_grids)
        if (AddressWord(entry.grid) == address)
            return entry.grid;
    return nullptr;
}

CGridRows* CGridDirectory::RowsOf(const CGrid* grid) const
{
    std::lock_guard lock(m_lock);
    for (const Entry& entry : m_grids)
        if (entry.grid == grid)
            return entry.rows;
    return nullptr;
}

CGridItem* CGridDirectory::FindItem(std::uint64_t address, std::uint64_t preferred, CGrid** holder) const
{
    if (holder)
        *holder = nullptr;
    // A word that is no address on this machine, or a reserved handle, is no item.
    if (address == 0 || address > UINTPTR_MAX || static_cast<HITEM>(address) >= GRID_ROOT)
        return nullptr;
    const HITEM handle = static_cast<HITEM>(address);
    std::lock_guard lock(m_lock);
    std::vector<const Entry*> order;
    for (const Entry& entry : m_grids)
        if (AddressWord(entry.grid) == preferred)
            order.insert(order.begin(), &entry);
        else
            order.push_back(&entry);
    for (const Entry* entry : order) {
        if (CGridItem* item = entry->rows->Validate(handle)) {
            if (holder)
                *holder = entry->grid;
            return item;
        }
    }
    return nullptr;
}

CGrid* CGridDirectory::GridOfItem(const CGridItem* item) const
{
    std::lock_guard lock(m_lock);
    for (const Entry& entry : m_grids)
        if (entry.rows->Validate(ToHandle(item)))
            return entry.grid;
    return nullptr;
}

} // namespace Kestrum::GUI
