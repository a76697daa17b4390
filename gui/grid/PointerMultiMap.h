// CPointerMultiMap: pairs of non-null pointers (key, value), several values
// per key, kept in one open-addressing table (linear probing, backward-shift
// deletion): 16 bytes a slot instead of a tree node per pair.
//
// The table is split into 64 by hash, so growing re-inserts at most a 64th
// of the pairs at a time.
//
// The values of one key are visited in the order they were inserted: they
// sit in the probe run of their key's home slot, an insertion takes the
// first free slot after the whole run, deletion shifts later members back
// without reordering them, and growing re-inserts each run from its start.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "gui/grid/PointerHash.h"

namespace Kestrum::GUI {

template <class K, class V>
class CPointerMultiMapShard {
public:
    // True when the pair is the key's first: the walk to the free slot
    // passes every value the key already has.
    bool Insert(K* key, V* value)
    {
        if ((m_count + 1) * 4 > m_slots.size() * 3)
            Grow();
        bool first = true;
        std::size_t i = Home(key);
        for (; m_slots[i].key; i = Next(i))
            first = first && m_slots[i].key != key;
        m_slots[i] = {key, value};
        ++m_count;
        return first;
    }

    // Erases one pair; false when it is not there. `last`: no other value
    // of the key remains.
    bool Erase(const K* key, const V* value, bool& last)
    {
        last = true;
        if (m_slots.empty())
            return false;
        std::size_t found = m_slots.size();
        for (std::size_t i = Home(key); m_slots[i].key; i = Next(i)) {
            if (m_slots[i].key != key)
                continue;
            if (found == m_slots.size() && m_slots[i].value == value)
                found = i;
            else
                last = false;
        }
        if (found == m_slots.size())
            return false;
        EraseAt(found);
        return true;
    }

    // Erases one pair; false when it is not there.
    bool Erase(const K* key, const V* value)
    {
        if (m_slots.empty())
            return false;
        for (std::size_t i = Home(key); m_slots[i].key; i = Next(i)) {
            if (m_slots[i].key == key && m_slots[i].value == value) {
                EraseAt(i);
                return true;
            }
        }
        return false;
    }

    // Erases every pair of the key.
    void EraseKey(const K* key)
    {
        if (m_slots.empty())
            return;
        std::size_t i = Home(key);
        while (m_slots[i].key) {
            if (m_slots[i].key == key)
                EraseAt(i); // a later pair may have moved into slot i
            else
                i = Next(i);
        }
    }

    // Calls fn(value) for each value of the key in insertion order; fn must
    // not change the map.
    template <class Fn> void ForEach(const K* key, Fn&& fn) const
    {
        if (m_slots.empty())
            return;
        for (std::size_t i = Home(key); m_slots[i].key; i = Next(i))
            if (m_slots[i].key == key)
                fn(m_slots[i].value);
    }

    std::size_t Count(const K* key) const
    {
        std::size_t count = 0;
        ForEach(key, [&](V*) { ++count; });
        return count;
    }
    bool ContainsKey(const K* key) const
    {
        if (m_slots.empty())
            return false;
        for (std::size_t i = Home(key); m_slots[i].key; i = Next(i))
            if (m_slots[i].key == key)
                return true;
        return false;
    }
    std::size_t Size() const noexcept { return m_count; }

private:
    struct Slot {
        K* key = nullptr;
        V* value = nullptr;
    };

    std::size_t Home(const K* key) const { return static_cast<std::size_t>(PointerHash(key)) & (m_slots.size() - 1); }
    std::size_t Next(std::size_t i) const { return (i + 1) & (m_slots.size() - 1); }

    void EraseAt(std::size_t i)
    {
        std::size_t gap = i;
        for (std::size_t j = Next(i); m_slots[j].key; j = Next(j)) {
            const std::size_t home = Home(m_slots[j].key);
            const bool movable = gap <= j ? (home <= gap || home > j) : (home <= gap && home > j);
            if (movable) {
                m_slots[gap] = m_slots[j];
                gap = j;
            }
        }
        m_slots[gap] = {};
        --m_count;
    }

    void Grow()
    {
        std::vector<Slot> old;
        old.swap(m_slots);
        m_slots.assign(old.empty() ? 16 : old.size() * 2, Slot{});
        m_count = 0;
        if (old.empty())
            return;
        // Start after a free slot so that every probe run is re-inserted
        // from its first member: values of a key keep their order.
        std::size_t start = 0;
        while (old[start].key)
            ++start;
        for (std::size_t n = 0; n < old.size(); ++n) {
            const Slot& slot = old[(start + n) & (old.size() - 1)];
            if (slot.key)
                Insert(slot.key, slot.value);
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
};

template <class K, class V>
class CPointerMultiMap {
public:
    // True when the pair is the key's first.
    bool Insert(K* key, V* value) { return ShardOf(key).Insert(key, value); }
    bool Erase(const K* key, const V* value) { return ShardOf(key).Erase(key, value); }
    // Erases one pair; `last`: no other value of the key remains.
    bool Erase(const K* key, const V* value, bool& last) { return ShardOf(key).Erase(key, value, last); }
    void EraseKey(const K* key) { ShardOf(key).EraseKey(key); }
    template <class Fn> void ForEach(const K* key, Fn&& fn) const { ShardOf(key).ForEach(key, std::forward<Fn>(fn)); }
    std::size_t Count(const K* key) const { return ShardOf(key).Count(key); }
    bool ContainsKey(const K* key) const { return ShardOf(key).ContainsKey(key); }
    std::size_t Size() const noexcept
    {
        std::size_t size = 0;
        for (const auto& shard : m_shards)
            size += shard.Size();
        return size;
    }

private:
    static std::size_t ShardIndex(const K* key) { return PointerShard(key); }
    CPointerMultiMapShard<K, V>& ShardOf(const K* key) { return m_shards[ShardIndex(key)]; }
    const CPointerMultiMapShard<K, V>& ShardOf(const K* key) const { return m_shards[ShardIndex(key)]; }

    std::array<CPointerMultiMapShard<K, V>, kPointerTableShards> m_shards;
};

} // namespace Kestrum::GUI
