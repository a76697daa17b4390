// CPointerSet: a compact hash set of non-null pointers (open addressing with
// linear probing and backward-shift deletion), used to validate item
// handles: about 16 bytes per element instead of a node per element. The
// set is split into 64 tables by hash, so growing one re-inserts at most a
// 64th of the elements: a million-row grid never stops for a full rehash.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gui/grid/PointerHash.h"

namespace Kestrum::GUI {

template <class T>
class CPointerSetShard {
public:
    bool Contains(const T* pointer) const
    {
        if (!pointer || m_slots.empty())
            return false;
        for (std::size_t i = Home(pointer);; i = Next(i)) {
            if (m_slots[i] == pointer)
                return true;
            if (!m_slots[i])
                return false;
        }
    }

    bool Insert(T* pointer)
    {
        if (!pointer)
            return false;
        if ((m_count + 1) * 4 > m_slots.size() * 3) // at most three quarters full
            Grow();
        std::size_t i = Home(pointer);
        for (; m_slots[i]; i = Next(i))
            if (m_slots[i] == pointer)
                return false;
        m_slots[i] = pointer;
        ++m_count;
        return true;
    }

    bool Erase(const T* pointer)
    {
        if (!pointer || m_slots.empty())
            return false;
        std::size_t i = Home(pointer);
        for (; m_slots[i] != pointer; i = Next(i))
            if (!m_slots[i])
                return false;
        // Shift later members of the probe run back into the gap.
        std::size_t gap = i;
        for (std::size_t j = Next(i); m_slots[j]; j = Next(j)) {
            const std::size_t home = Home(m_slots[j]);
            const bool movable = gap <= j ? (home <= gap || home > j) : (home <= gap && home > j);
            if (movable) {
                m_slots[gap] = m_slots[j];
                gap = j;
            }
        }
        m_slots[gap] = nullptr;
        --m_count;
        return true;
    }

    std::size_t Size() const noexcept { return m_count; }
    void Clear()
    {
        m_slots.clear();
        m_count = 0;
    }

private:
    std::size_t Home(const T* pointer) const { return static_cast<std::size_t>(PointerHash(pointer)) & (m_slots.size() - 1); }
    std::size_t Next(std::size_t i) const { return (i + 1) & (m_slots.size() - 1); }
    void Grow()
    {
        std::vector<T*> old;
        old.swap(m_slots);
        m_slots.assign(old.empty() ? 16 : old.size() * 2, nullptr);
        m_count = 0;
        for (T* pointer : old)
            if (pointer)
                Insert(pointer);
    }

    std::vector<T*> m_slots;
    std::size_t m_count = 0;
};

template <class T>
class CPointerSet {
public:
    bool Contains(const T* pointer) const { return pointer && ShardOf(pointer).Contains(pointer); }
    bool Insert(T* pointer) { return pointer && ShardOf(pointer).Insert(pointer); }
    bool Erase(const T* pointer) { return pointer && ShardOf(pointer).Erase(pointer); }
    std::size_t Size() const noexcept
    {
        std::size_t size = 0;
        for (const auto& shard : m_shards)
            size += shard.Size();
        return size;
    }
    void Clear()
    {
        for (auto& shard : m_shards)
            shard.Clear();
    }

private:
    static std::size_t ShardIndex(const T* pointer) { return PointerShard(pointer); }
    CPointerSetShard<T>& ShardOf(const T* pointer) { return m_shards[ShardIndex(pointer)]; }
    const CPointerSetShard<T>& ShardOf(const T* pointer) const { return m_shards[ShardIndex(pointer)]; }

    std::array<CPointerSetShard<T>, kPointerTableShards> m_shards;
};

} // namespace Kestrum::GUI
