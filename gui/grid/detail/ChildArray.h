// CChildArray: the children of a grid item in one counted block, a single
// pointer in the item. Most items of a large tree are leaves and allocate
// nothing; a vector would cost them 24 bytes each.
//
// The block also keeps the validated prefix of the lazy child index
// (children 0..Prefix() carry their true index); without a block it is -1,
// and the length of the unsorted tail: the last Tail() children arrived
// under a sorted parent without rows shown and wait, in their order of
// arrival, to be merged into the sorted rest (CGridItem settles it before
// anyone reads the order).
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

namespace Kestrum::GUI {

class CGridItem;

class CChildArray {
public:
    using value_type = CGridItem*;
    using iterator = CGridItem**;
    using const_iterator = CGridItem* const*;
    using reverse_iterator = std::reverse_iterator<iterator>;
    using const_reverse_iterator = std::reverse_iterator<const_iterator>;

    CChildArray() noexcept = default;
    CChildArray(const CChildArray&) = delete;
    CChildArray& operator=(const CChildArray&) = delete;
    ~CChildArray() { Release(); }

    std::size_t size() const noexcept { return m_block ? m_block->size : 0; }
    bool empty() const noexcept { return size() == 0; }

    iterator begin() noexcept { return Items(); }
    iterator end() noexcept { return Items() + size(); }
    const_iterator begin() const noexcept { return Items(); }
    const_iterator end() const noexcept { return Items() + size(); }
    reverse_iterator rbegin() noexcept { return reverse_iterator(end()); }
    reverse_iterator rend() noexcept { return reverse_iterator(begin()); }
    const_reverse_iterator rbegin() const noexcept { return const_reverse_iterator(end()); }
    const_reverse_iterator rend() const noexcept { return const_reverse_iterator(begin()); }

    CGridItem*& operator[](std::size_t index) noexcept { return Items()[index]; }
    CGridItem* operator[](std::size_t index) const noexcept { return Items()[index]; }
    CGridItem* front() const noexcept { return Items()[0]; }
    CGridItem* back() const noexcept { return Items()[size() - 1]; }

    // Inserts before `position`; throws std::bad_alloc and keeps the array
    // as it was when the block cannot grow.
    iterator insert(const_iterator position, CGridItem* child);
    void push_back(CGridItem* child) { insert(end(), child); }
    iterator erase(const_iterator position) noexcept;

    std::vector<CGridItem*> ToVector() const { return {begin(), end()}; }
    // Empties the array (and frees its block), handing back the children.
    std::vector<CGridItem*> TakeAll();
    // Empties the array and frees its block; the children are the caller's.
    void clear() noexcept { Release(); }

    int Prefix() const noexcept { return m_block ? m_block->prefix : -1; }
    void SetPrefix(int prefix) noexcept
    {
        if (m_block)
            m_block->prefix = prefix;
    }

    std::size_t Tail() const noexcept { return m_block ? m_block->tail : 0; }
    void SetTail(std::size_t tail) noexcept
    {
        if (m_block)
            m_block->tail = static_cast<std::uint32_t>(tail);
    }

private:
    struct Block {
        std::uint32_t size;
        std::uint32_t capacity;
        std::int32_t prefix;
        std::uint32_t tail;
    };
    static_assert(sizeof(Block) % alignof(CGridItem*) == 0, "children follow the header");

    CGridItem** Items() const noexcept
    {
        return m_block ? reinterpret_cast<CGridItem**>(m_block + 1) : nullptr;
    }
    void Release() noexcept;

    Block* m_block = nullptr;
};

} // namespace Kestrum::GUI
