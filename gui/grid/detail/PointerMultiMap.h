// CPointerMultiMap: values grouped by a key pointer, several values per key,
// for the object registry (object → its grid items).
//
// Keys are grouped by the 16 KiB block of the address space they lie in. A
// block's pairs sit in one array sorted by the key's offset in the block; a
// pair is 8 bytes, the key's 14-bit offset above the value's address, so
// nothing is read through a pointer to compare keys. Objects made one after
// another lie side by side (a pool's block, the heap's next bytes), so a walk
// that asks for them in the order they were made reads one array front to
// back instead of a random slot of a table that outgrows the caches; the
// cost of a lookup is one small directory probe and a search in one block's
// array, whatever the map's size. Objects of one size in a pool are evenly
// spaced, so the search starts where the key's offset says and mostly ends
// there.
//
// Contract: a value is in the map at most once under a given key, and its
// address is 8-byte aligned and below 2^48 (user space on 64-bit Linux);
// others are refused with std::invalid_argument. Values are never read:
// one may be gone while it is still in the map.
//
// The values of one key are visited in the order they were inserted: an
// insertion goes after the key's last value, erasure closes the gap.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include <utility>

#include "gui/grid/detail/PointerHash.h"

namespace Kestrum::GUI {

template <class K, class V>
class CPointerMultiMap {
public:
    CPointerMultiMap() = default;
    ~CPointerMultiMap() { Reset(); }
    CPointerMultiMap(const CPointerMultiMap&) = delete;
    CPointerMultiMap& operator=(const CPointerMultiMap&) = delete;

    // True when the value is its key's first.
    bool Insert(const K* key, V* value)
    {
        const std::uint64_t pair = Pack(key, value);
        const std::uint32_t offset = OffsetOf(pair);
        const std::uint64_t block = BlockOf(key);
        std::size_t entry = Find(block);
        if (entry == kNone)
            entry = AddEntry(block);
        Bucket*& bucket = m_directory[entry].bucket;
        const std::uint32_t n = bucket->count;
        // Objects made in order mostly land after the block's last key.
        std::uint32_t at = n;
        bool first = true;
        if (n != 0 && OffsetOf(bucket->Pairs()[n - 1]) == offset) {
            first = false; // the key's values end the array: the new one goes last
        } else if (n != 0 && OffsetOf(bucket->Pairs()[n - 1]) > offset) {
            const Range range = KeyRange(*bucket, offset);
            at = range.end;
            first = range.begin == range.end;
        }
        InsertAt(bucket, at, pair);
        ++m_count;
        return first;
    }

    bool Erase(const K* key, const V* value)
    {
        bool last = false;
        return Erase(key, value, last);
    }

    // Erases the value; false when it is not there. `last`: no other value
    // of the key remains.
    bool Erase(const K* key, const V* value, bool& last)
    {
        last = true;
        if (!Holds(value))
            return false;
        const std::uint64_t pair = Pack(key, value);
        const std::size_t entry = Find(BlockOf(key));
        if (entry == kNone)
            return false;
        const Bucket& bucket = *m_directory[entry].bucket;
        const Range range = KeyRange(bucket, OffsetOf(pair));
        const std::uint64_t* found = std::find(bucket.Pairs() + range.begin, bucket.Pairs() + range.end, pair);
        if (found == bucket.Pairs() + range.end)
            return false;
        last = range.end - range.begin == 1;
        const auto at = static_cast<std::uint32_t>(found - bucket.Pairs());
        EraseRange(entry, at, at + 1);
        return true;
    }

    // Erases every value of the key.
    void EraseKey(const K* key)
    {
        const std::size_t entry = Find(BlockOf(key));
        if (entry == kNone)
            return;
        const Range range = KeyRange(*m_directory[entry].bucket, KeyOffset(key));
        if (range.end != range.begin)
            EraseRange(entry, range.begin, range.end);
    }

    // Erases every value `dying(value)` answers true for, reading no value
    // itself: one pass over every block's array, for removing a large share
    // of the map at once. The values of a key keep their order.
    template <class Dying> void EraseIf(Dying&& dying)
    {
        if (m_capacity == 0)
            return;
        // The new directory is the only allocation that may fail, and it is
        // made before anything changes. Should `dying` throw, the rest is
        // kept, the map rebuilt whole and the exception passed on.
        Entry* fresh = new Entry[m_capacity];
        std::exception_ptr failure;
        std::size_t blocks = 0;
        for (std::size_t d = 0; d < m_capacity; ++d) {
            Entry entry = m_directory[d];
            if (entry.block == kNoBlock)
                continue;
            Bucket* bucket = entry.bucket;
            std::uint32_t kept = 0;
            for (std::uint32_t i = 0; i < bucket->count; ++i)
                if (!Dies(dying, ValueOf(bucket->Pairs()[i]), failure))
                    bucket->Pairs()[kept++] = bucket->Pairs()[i];
            m_count -= bucket->count - kept;
            bucket->count = kept;
            if (kept == 0) {
                FreeBucket(bucket);
                continue;
            }
            if (kept < bucket->capacity / 2)
                entry.bucket = ShrunkOrSame(bucket, kept);
            fresh[FreeSlot(fresh, entry.block)] = entry;
            ++blocks;
        }
        delete[] m_directory;
        m_directory = fresh;
        m_blocks = blocks;
        if (m_capacity > 16 && m_blocks * 4 < m_capacity) {
            try {
                Rehash(m_capacity);
            } catch (const std::bad_alloc&) {
                // The larger directory serves as well.
            }
        }
        if (failure)
            std::rethrow_exception(failure);
    }

    // Calls fn(value) for each value of the key in insertion order; fn must
    // not change the map.
    template <class Fn> void ForEach(const K* key, Fn&& fn) const
    {
        const Bucket* bucket = FindBucket(BlockOf(key));
        if (!bucket)
            return;
        const Range range = KeyRange(*bucket, KeyOffset(key));
        for (std::uint32_t i = range.begin; i < range.end; ++i)
            fn(ValueOf(bucket->Pairs()[i]));
    }

    bool Contains(const K* key, const V* value) const
    {
        if (!Holds(value))
            return false;
        const std::uint64_t pair = Pack(key, value);
        const Bucket* bucket = FindBucket(BlockOf(key));
        if (!bucket)
            return false;
        const Range range = KeyRange(*bucket, OffsetOf(pair));
        return std::find(bucket->Pairs() + range.begin, bucket->Pairs() + range.end, pair) != bucket->Pairs() + range.end;
    }

    std::size_t Count(const K* key) const
    {
        std::size_t count = 0;
        ForEach(key, [&](V*) { ++count; });
        return count;
    }
    bool ContainsKey(const K* key) const
    {
        const Bucket* bucket = FindBucket(BlockOf(key));
        if (!bucket)
            return false;
        const std::uint32_t offset = KeyOffset(key);
        const std::uint32_t at = LowerBound(*bucket, offset);
        return at < bucket->count && OffsetOf(bucket->Pairs()[at]) == offset;
    }
    std::size_t Size() const noexcept { return m_count; }
    // Blocks of the address space holding keys, for tests and benchmarks.
    std::size_t BlockCount() const noexcept { return m_blocks; }
    // The span of addresses whose keys share an array.
    static constexpr std::size_t kBlockBytes = std::size_t{1} << 14;

private:
    static constexpr int kOffsetShift = 48;
    static constexpr int kBlockShift = 14;
    static_assert(kBlockBytes == std::size_t{1} << kBlockShift);
    static constexpr std::uint64_t kAddressMask = (std::uint64_t{1} << kOffsetShift) - 1;
    static constexpr std::uint64_t kNoBlock = ~std::uint64_t{0};
    static constexpr std::size_t kNone = ~std::size_t{0};

    // One block's pairs, sorted by the key's offset, follow the header.
    struct Bucket {
        std::uint32_t count;
        std::uint32_t capacity;
        std::uint64_t* Pairs() noexcept { return reinterpret_cast<std::uint64_t*>(this + 1); }
        const std::uint64_t* Pairs() const noexcept { return reinterpret_cast<const std::uint64_t*>(this + 1); }
    };
    static_assert(sizeof(Bucket) == 8);
    struct Entry {
        std::uint64_t block = kNoBlock;
        Bucket* bucket = nullptr;
    };

    static std::uint64_t AddressOf(const void* pointer) noexcept
    {
        return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(pointer));
    }
    static std::uint64_t BlockOf(const K* key) noexcept { return AddressOf(key) >> kBlockShift; }
    static std::uint32_t KeyOffset(const K* key) noexcept
    {
        return static_cast<std::uint32_t>(AddressOf(key) & (kBlockBytes - 1));
    }
    static std::uint64_t Pack(const K* key, const V* value)
    {
        if (!Holds(value))
            throw std::invalid_argument("pointer map: value address out of range");
        return std::uint64_t{KeyOffset(key)} << kOffsetShift | AddressOf(value) >> 3;
    }
    static bool Holds(const V* value) noexcept
    {
        const std::uint64_t address = AddressOf(value);
        return value && address % 8 == 0 && (address >> kOffsetShift) == 0;
    }
    static std::uint32_t OffsetOf(std::uint64_t pair) noexcept { return static_cast<std::uint32_t>(pair >> kOffsetShift); }
    static V* ValueOf(std::uint64_t pair) noexcept
    {
        return reinterpret_cast<V*>(static_cast<std::uintptr_t>((pair & kAddressMask) << 3));
    }

    // The first pair whose offset is not below `offset`. The search starts
    // where an even spread of the block's keys would put it and gallops
    // outwards, so evenly spaced objects are found in a probe or two.
    static std::uint32_t LowerBound(const Bucket& bucket, std::uint32_t offset) noexcept
    {
        const std::uint32_t n = bucket.count;
        if (n == 0)
            return 0;
        const std::uint64_t* pairs = bucket.Pairs();
        std::uint32_t guess = static_cast<std::uint32_t>((std::uint64_t{offset} * n) >> kBlockShift);
        std::uint32_t lo = 0;
        std::uint32_t hi = n;
        if (OffsetOf(pairs[guess]) < offset) {
            std::uint32_t below = guess; // pairs[below] < offset
            std::uint32_t step = 1;
            while (below + step < n && OffsetOf(pairs[below + step]) < offset) {
                below += step;
                step *= 2;
            }
            lo = below + 1;
            hi = std::min(n, below + step);
        } else {
            std::uint32_t atOrAbove = guess; // pairs[atOrAbove] >= offset
            std::uint32_t step = 1;
            while (atOrAbove >= step && OffsetOf(pairs[atOrAbove - step]) >= offset) {
                atOrAbove -= step;
                step *= 2;
            }
            hi = atOrAbove;
            lo = atOrAbove >= step ? atOrAbove - step + 1 : 0;
        }
        return static_cast<std::uint32_t>(
            std::lower_bound(pairs + lo, pairs + hi, offset,
                             [](std::uint64_t pair, std::uint32_t sought) { return OffsetOf(pair) < sought; }) -
            pairs);
    }

    // The pairs of the key at `offset`: [begin, end).
    struct Range {
        std::uint32_t begin;
        std::uint32_t end;
    };
    static Range KeyRange(const Bucket& bucket, std::uint32_t offset) noexcept
    {
        const std::uint32_t begin = LowerBound(bucket, offset);
        std::uint32_t end = begin;
        while (end < bucket.count && OffsetOf(bucket.Pairs()[end]) == offset)
            ++end;
        return {begin, end};
    }

    static Bucket* NewBucket(std::uint32_t capacity)
    {
        void* memory = ::operator new(sizeof(Bucket) + sizeof(std::uint64_t) * capacity);
        auto* bucket = static_cast<Bucket*>(memory);
        bucket->count = 0;
        bucket->capacity = capacity;
        return bucket;
    }
    static void FreeBucket(Bucket* bucket) noexcept { ::operator delete(bucket); }
    static Bucket* Resized(Bucket* bucket, std::uint32_t capacity)
    {
        Bucket* resized = NewBucket(capacity);
        resized->count = bucket->count;
        std::memcpy(resized->Pairs(), bucket->Pairs(), sizeof(std::uint64_t) * bucket->count);
        FreeBucket(bucket);
        return resized;
    }

    // Once `dying` has thrown, every later value is kept unasked.
    template <class Dying> static bool Dies(Dying& dying, V* value, std::exception_ptr& failure) noexcept
    {
        if (failure)
            return false;
        try {
            return dying(value);
        } catch (...) {
            failure = std::current_exception();
            return false;
        }
    }

    // Giving slack back is optional: without memory for the smaller copy the
    // bucket stays as it is.
    static Bucket* ShrunkOrSame(Bucket* bucket, std::uint32_t capacity) noexcept
    {
        try {
            return Resized(bucket, capacity);
        } catch (const std::bad_alloc&) {
            return bucket;
        }
    }

    // Grows by an eighth: a block of small objects holds hundreds of keys,
    // and slack is paid per key.
    static void InsertAt(Bucket*& bucket, std::uint32_t at, std::uint64_t pair)
    {
        if (bucket->count == bucket->capacity) {
            if (bucket->capacity == UINT32_MAX)
                throw std::length_error("pointer map: a block holds too many values");
            const std::uint64_t grown = std::uint64_t{bucket->capacity} + std::max<std::uint32_t>(4, bucket->capacity / 8);
            bucket = Resized(bucket, static_cast<std::uint32_t>(std::min<std::uint64_t>(grown, UINT32_MAX)));
        }
        std::memmove(bucket->Pairs() + at + 1, bucket->Pairs() + at, sizeof(std::uint64_t) * (bucket->count - at));
        bucket->Pairs()[at] = pair;
        ++bucket->count;
    }

    // Erases pairs [begin, end) of the entry's bucket; an emptied block
    // leaves the directory.
    void EraseRange(std::size_t entry, std::uint32_t begin, std::uint32_t end)
    {
        Bucket*& bucket = m_directory[entry].bucket;
        std::memmove(bucket->Pairs() + begin, bucket->Pairs() + end, sizeof(std::uint64_t) * (bucket->count - end));
        bucket->count -= end - begin;
        m_count -= end - begin;
        if (bucket->count == 0) {
            FreeBucket(bucket);
            bucket = nullptr;
            RemoveEntry(entry);
        } else if (bucket->capacity > 16 && bucket->count < bucket->capacity / 4) {
            bucket = ShrunkOrSame(bucket, bucket->count * 2);
        }
    }

    // The directory: block → bucket, open addressing with linear probing,
    // at most half full.
    std::size_t HomeOf(std::uint64_t block) const noexcept
    {
        return static_cast<std::size_t>(PointerHash(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(block))) &
                                        (m_capacity - 1));
    }
    const Bucket* FindBucket(std::uint64_t block) const noexcept
    {
        const std::size_t entry = Find(block);
        return entry == kNone ? nullptr : m_directory[entry].bucket;
    }
    std::size_t Find(std::uint64_t block) const noexcept
    {
        if (m_capacity == 0)
            return kNone;
        for (std::size_t i = HomeOf(block);; i = (i + 1) & (m_capacity - 1)) {
            if (m_directory[i].block == block)
                return i;
            if (m_directory[i].block == kNoBlock)
                return kNone;
        }
    }
    // Where the block goes in `table` (of m_capacity entries): the first
    // free entry of its probe run.
    std::size_t FreeSlot(const Entry* table, std::uint64_t block) const noexcept
    {
        std::size_t i = HomeOf(block);
        while (table[i].block != kNoBlock)
            i = (i + 1) & (m_capacity - 1);
        return i;
    }
    // A new block's entry with an empty bucket; its index.
    std::size_t AddEntry(std::uint64_t block)
    {
        if ((m_blocks + 1) * 2 > m_capacity)
            Rehash(m_capacity == 0 ? 16 : m_capacity * 2);
        Bucket* bucket = NewBucket(4);
        const std::size_t i = FreeSlot(m_directory, block);
        m_directory[i].block = block;
        m_directory[i].bucket = bucket;
        ++m_blocks;
        return i;
    }
    // Backward-shift deletion keeps every probe run unbroken.
    void RemoveEntry(std::size_t i) noexcept
    {
        std::size_t gap = i;
        for (std::size_t j = (i + 1) & (m_capacity - 1); m_directory[j].block != kNoBlock; j = (j + 1) & (m_capacity - 1)) {
            const std::size_t home = HomeOf(m_directory[j].block);
            const bool movable = gap <= j ? (home <= gap || home > j) : (home <= gap && home > j);
            if (movable) {
                m_directory[gap] = m_directory[j];
                gap = j;
            }
        }
        m_directory[gap] = Entry{};
        --m_blocks;
    }
    void Rehash(std::size_t capacity)
    {
        while (capacity > 16 && m_blocks * 4 < capacity)
            capacity /= 2;
        Entry* old = m_directory;
        const std::size_t oldCapacity = m_capacity;
        m_directory = new Entry[capacity];
        m_capacity = capacity;
        for (std::size_t i = 0; i < oldCapacity; ++i) {
            if (old[i].block == kNoBlock)
                continue;
            m_directory[FreeSlot(m_directory, old[i].block)] = old[i];
        }
        delete[] old;
    }
    void Reset() noexcept
    {
        for (std::size_t i = 0; i < m_capacity; ++i)
            if (m_directory[i].bucket)
                FreeBucket(m_directory[i].bucket);
        delete[] m_directory;
        m_directory = nullptr;
        m_capacity = 0;
        m_blocks = 0;
        m_count = 0;
    }

    Entry* m_directory = nullptr;
    std::size_t m_capacity = 0; // a power of two, or 0
    std::size_t m_blocks = 0;
    std::size_t m_count = 0;
};

} // namespace Kestrum::GUI
