// CPointerMultiMap: values grouped by a key pointer that each value carries
// (read through KeyOf), several values per key, in one open-addressing table
// (linear probing, backward-shift deletion; it fills to three quarters and
// grows by half). A slot is 8 bytes: the value's
// address and 19 bits of its key's hash. The hash bits pick the slot a value
// belongs in and rule out almost every other key without reading the value,
// so a lookup reads a value only when its key is very likely the one sought.
//
// Contract: a value is in the map at most once, its key is KeyOf(value) and
// does not change while it is in, and it stays alive while it is in. Values are 8-byte aligned addresses below 2^48 (user space
// on 64-bit Linux); others are refused with std::invalid_argument.
//
// The table is split into 64 by hash, so growing re-inserts at most a 64th
// of the values at a time.
//
// The values of one key are visited in the order they were inserted: they
// sit in the probe run of their key's home slot, an insertion takes the
// first free slot after the whole run, deletion shifts later members back
// without reordering them, and growing re-inserts each run from its start.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

#include "gui/grid/detail/PointerHash.h"

namespace Kestrum::GUI {

template <class K, class V, class KeyOf>
class CPointerMultiMapShard {
public:
    // True when the value is its key's first.
    bool Insert(const K* key, V* value)
    {
        const std::uint64_t slot = Pack(key, value);
        if ((m_count + 1) * 4 > m_slots.size() * 3)
            Grow();
        bool first = true;
        std::size_t i = HomeOf(slot, key);
        for (; m_slots[i]; i = Next(i))
            first = first && !HasKey(m_slots[i], slot, key);
        m_slots[i] = slot;
        ++m_count;
        return first;
    }

    // Erases the value; false when it is not there. `last`: no other value
    // of the key remains.
    bool Erase(const K* key, const V* value, bool& last)
    {
        last = true;
        if (m_slots.empty())
            return false;
        const std::uint64_t slot = Pack(key, value);
        std::size_t found = m_slots.size();
        for (std::size_t i = HomeOf(slot, key); m_slots[i]; i = Next(i)) {
            if (m_slots[i] == slot)
                found = i;
            else if (HasKey(m_slots[i], slot, key))
                last = false;
        }
        if (found == m_slots.size())
            return false;
        EraseAt(found);
        return true;
    }

    // Erases every value of the key.
    void EraseKey(const K* key)
    {
        if (m_slots.empty())
            return;
        const std::uint64_t probe = ProbeOf(key);
        std::size_t i = HomeOf(probe, key);
        while (m_slots[i]) {
            if (HasKey(m_slots[i], probe, key))
                EraseAt(i); // a later value may have moved into slot i
            else
                i = Next(i);
        }
    }

    // Erases every value `dying(value)` answers true for, reading no value
    // itself, and shrinks the table to what is left: one pass over the
    // slots, for removing a large share of the map at once. The values of a
    // key keep their order.
    template <class Dying> void EraseIf(Dying&& dying)
    {
        if (m_slots.empty())
            return;
        std::size_t start = 0;
        while (m_slots[start])
            ++start;
        std::vector<std::uint64_t> kept;
        for (std::size_t n = 0; n < m_slots.size(); ++n) {
            const std::uint64_t slot = m_slots[(start + n) % m_slots.size()];
            if (slot && !dying(ValueOf(slot)))
                kept.push_back(slot);
        }
        if (kept.size() == m_count)
            return;
        std::vector<std::uint64_t>().swap(m_slots);
        m_count = 0;
        if (kept.empty())
            return;
        std::size_t size = 16;
        while ((kept.size() + 1) * 4 > size * 3)
            size += size / 2;
        m_slots.assign(size, 0);
        // In run order from a free slot, as Grow re-inserts.
        for (const std::uint64_t slot : kept) {
            std::size_t i = HomeOfSlot(slot);
            while (m_slots[i])
                i = Next(i);
            m_slots[i] = slot;
        }
        m_count = kept.size();
    }

    // Calls fn(value) for each value of the key in insertion order; fn must
    // not change the map.
    template <class Fn> void ForEach(const K* key, Fn&& fn) const
    {
        if (m_slots.empty())
            return;
        const std::uint64_t probe = ProbeOf(key);
        for (std::size_t i = HomeOf(probe, key); m_slots[i]; i = Next(i))
            if (HasKey(m_slots[i], probe, key))
                fn(ValueOf(m_slots[i]));
    }

    // Compares addresses and hash bits only: `value` may be gone.
    bool Contains(const K* key, const V* value) const
    {
        if (m_slots.empty())
            return false;
        const std::uint64_t slot = Pack(key, value);
        for (std::size_t i = HomeOf(slot, key); m_slots[i]; i = Next(i))
            if (m_slots[i] == slot)
                return true;
        return false;
    }

    std::size_t Size() const noexcept { return m_count; }

private:
    static constexpr int kTagShift = 45;
    static constexpr std::uint64_t kAddressMask = (std::uint64_t{1} << kTagShift) - 1;
    static constexpr std::size_t kTagSlots = std::size_t{1} << (64 - kTagShift);

    // A slot with only the key's hash bits: what a slot of that key starts with.
    static std::uint64_t ProbeOf(const K* key) noexcept { return PointerHash(key) << kTagShift; }
    static std::uint64_t Pack(const K* key, const V* value)
    {
        const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(value));
        if (!value || address % 8 != 0 || (address >> 3) > kAddressMask)
            throw std::invalid_argument("pointer map: value address out of range");
        return ProbeOf(key) | address >> 3;
    }
    static V* ValueOf(std::uint64_t slot) noexcept
    {
        return reinterpret_cast<V*>(static_cast<std::uintptr_t>((slot & kAddressMask) << 3));
    }
    // The slot's value belongs to `key`, whose probe bits are `probe`; the
    // value is read only when the hash bits agree.
    static bool HasKey(std::uint64_t slot, std::uint64_t probe, const K* key) noexcept
    {
        return (slot >> kTagShift) == (probe >> kTagShift) && KeyOf()(ValueOf(slot)) == key;
    }
    // The home slot scales the hash bits kept in the slot to the table's
    // size, so a table can grow by half instead of doubling; a table larger
    // than those bits can address uses the key's full hash.
    std::size_t HomeOf(std::uint64_t tagged, const K* key) const noexcept
    {
        const std::uint64_t size = m_slots.size();
        if (size <= kTagSlots)
            return static_cast<std::size_t>(((tagged >> kTagShift) * size) >> (64 - kTagShift));
        return static_cast<std::size_t>(((PointerHash(key) & 0xFFFFFFFFu) * size) >> 32);
    }
    // The home of a stored value: its key is read only in such a large table.
    std::size_t HomeOfSlot(std::uint64_t slot) const noexcept
    {
        return HomeOf(slot, m_slots.size() <= kTagSlots ? nullptr : KeyOf()(ValueOf(slot)));
    }
    std::size_t Next(std::size_t i) const noexcept { return i + 1 == m_slots.size() ? 0 : i + 1; }

    void EraseAt(std::size_t i)
    {
        std::size_t gap = i;
        for (std::size_t j = Next(i); m_slots[j]; j = Next(j)) {
            const std::size_t home = HomeOfSlot(m_slots[j]);
            const bool movable = gap <= j ? (home <= gap || home > j) : (home <= gap && home > j);
            if (movable) {
                m_slots[gap] = m_slots[j];
                gap = j;
            }
        }
        m_slots[gap] = 0;
        --m_count;
    }

    void Grow()
    {
        std::vector<std::uint64_t> old;
        old.swap(m_slots);
        m_slots.assign(old.empty() ? 16 : old.size() + old.size() / 2, 0);
        if (old.empty())
            return;
        // Start after a free slot so that every probe run is re-inserted
        // from its first member: values of a key keep their order.
        std::size_t start = 0;
        while (old[start])
            ++start;
        for (std::size_t n = 0; n < old.size(); ++n) {
            const std::uint64_t slot = old[(start + n) % old.size()];
            if (!slot)
                continue;
            std::size_t i = HomeOfSlot(slot);
            while (m_slots[i])
                i = Next(i);
            m_slots[i] = slot;
        }
    }

    std::vector<std::uint64_t> m_slots; // 0: free
    std::size_t m_count = 0;
};

template <class K, class V, class KeyOf>
class CPointerMultiMap {
public:
    // True when the value is its key's first. `key` is KeyOf(value).
    bool Insert(const K* key, V* value) { return ShardOf(key).Insert(key, value); }
    bool Erase(const K* key, const V* value)
    {
        bool last = false;
        return Erase(key, value, last);
    }
    // Erases the value; `last`: no other value of the key remains.
    bool Erase(const K* key, const V* value, bool& last) { return ShardOf(key).Erase(key, value, last); }
    void EraseKey(const K* key) { ShardOf(key).EraseKey(key); }
    // Erases every value `dying(value)` answers true for, shard by shard.
    template <class Dying> void EraseIf(Dying&& dying)
    {
        for (auto& shard : m_shards)
            shard.EraseIf(dying);
    }
    template <class Fn> void ForEach(const K* key, Fn&& fn) const { ShardOf(key).ForEach(key, std::forward<Fn>(fn)); }
    // Reads no value: `value` may have been destroyed since it was erased.
    bool Contains(const K* key, const V* value) const { return ShardOf(key).Contains(key, value); }
    std::size_t Count(const K* key) const
    {
        std::size_t count = 0;
        ForEach(key, [&](V*) { ++count; });
        return count;
    }
    bool ContainsKey(const K* key) const
    {
        bool found = false;
        ForEach(key, [&](V*) { found = true; });
        return found;
    }
    std::size_t Size() const noexcept
    {
        std::size_t size = 0;
        for (const auto& shard : m_shards)
            size += shard.Size();
        return size;
    }

private:
    static std::size_t ShardIndex(const K* key) { return PointerShard(key); }
    CPointerMultiMapShard<K, V, KeyOf>& ShardOf(const K* key) { return m_shards[ShardIndex(key)]; }
    const CPointerMultiMapShard<K, V, KeyOf>& ShardOf(const K* key) const { return m_shards[ShardIndex(key)]; }

    std::array<CPointerMultiMapShard<K, V, KeyOf>, kPointerTableShards> m_shards;
};

} // namespace Kestrum::GUI
