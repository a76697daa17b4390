#include "gui/grid/detail/ChildArray.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace Kestrum::GUI {

CChildArray::iterator CChildArray::insert(const_iterator position, CGridItem* child)
{
    const std::size_t at = static_cast<std::size_t>(position - begin());
    const std::size_t count = size();
    if (!m_block || count == m_block->capacity) {
        // Small arrays grow by half; large ones by an eighth, so a folder of
        // many files carries little slack (realloc often extends in place).
        const std::size_t capacity = count < 4 ? 4 : count < 512 ? count + count / 2 : count + count / 8;
        if (capacity > std::numeric_limits<std::uint32_t>::max())
            throw std::bad_alloc();
        void* memory = std::realloc(m_block, sizeof(Block) + capacity * sizeof(CGridItem*));
        if (!memory)
            throw std::bad_alloc();
        const bool fresh = !m_block;
        m_block = static_cast<Block*>(memory);
        if (fresh) {
            m_block->size = 0;
            m_block->prefix = -1;
            m_block->tail = 0;
        }
        m_block->capacity = static_cast<std::uint32_t>(capacity);
    }
    CGridItem** items = Items();
    std::memmove(items + at + 1, items + at, (count - at) * sizeof(CGridItem*));
    items[at] = child;
    ++m_block->size;
    return items + at;
}

CChildArray::iterator CChildArray::erase(const_iterator position) noexcept
{
    const std::size_t at = static_cast<std::size_t>(position - begin());
    CGridItem** items = Items();
    std::memmove(items + at, items + at + 1, (size() - at - 1) * sizeof(CGridItem*));
    --m_block->size;
    return items + at;
}

std::vector<CGridItem*> CChildArray::TakeAll()
{
    std::vector<CGridItem*> children(begin(), end());
    Release();
    return children;
}

void CChildArray::Release() noexcept
{
    std::free(m_block);
    m_block = nullptr;
}

} // namespace Kestrum::GUI
