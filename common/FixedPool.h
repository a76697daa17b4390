// CFixedPool: storage for many objects of one size, cut from 64 KiB blocks
// without a per-object header or size rounding, for classes a large tree
// holds millions of (grid items, file objects). Blocks come from the heap 32
// at a time (2 MiB); freed slots are reused, and once all 32 blocks of a
// chunk are free again the chunk goes back to the heap (one such chunk is
// kept against churn).
//
// Threads: every operation takes the pool's lock; objects may be freed on
// another thread than the one that made them.
#pragma once

#include "common/Export.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>
#include <type_traits>

namespace Kestrum::Common {

class KESTRUM_COMMON_EXPORT CFixedPool {
public:
    // `size` is rounded up to a multiple of `alignment` (4 or 8), the
    // alignment of every slot; a slot holds at least 8 bytes. Short texts
    // use 4-byte steps, where 8 would waste 4 bytes on half of them.
    explicit CFixedPool(std::size_t size, std::size_t alignment = 8);
    // Frees the chunks without objects. Chunks still in use stay allocated:
    // a pool normally lives until the process ends, and objects freed after
    // it would otherwise dangle.
    ~CFixedPool();
    CFixedPool(const CFixedPool&) = delete;
    CFixedPool& operator=(const CFixedPool&) = delete;

    std::size_t SlotSize() const noexcept { return m_slotSize; }
    // Throws std::bad_alloc when the heap is exhausted.
    void* Allocate();
    // `slot` must come from this pool's Allocate; null is ignored.
    void Deallocate(void* slot) noexcept;
    // The same for many slots under one taking of the lock.
    void DeallocateMany(void* const* slots, std::size_t count) noexcept;

    // Figures for tests and benchmarks.
    std::size_t BlockCount() const; // blocks holding objects
    std::size_t ChunkCount() const; // chunks taken from the heap
    std::size_t LiveCount() const;

    static constexpr std::size_t kBlockBytes = 64 * 1024;
    static constexpr std::size_t kBlocksPerChunk = 32;

private:
    struct Block;
    struct Chunk;
    struct List {
        Block* head = nullptr;
        void Push(Block* block) noexcept;
        void Remove(Block* block) noexcept;
    };
    Block* TakeEmptyBlock();
    void Release(void* slot) noexcept; // the lock held
    void BlockEmptied(Block* block) noexcept;

    const std::size_t m_slotSize;
    const std::size_t m_slotsPerBlock;
    mutable std::mutex m_lock;
    List m_open; // blocks in use with a free slot
    List m_empty; // blocks without objects, in chunks still held
    Chunk* m_spareChunk = nullptr; // a chunk wholly free, kept against churn
    std::size_t m_blocks = 0;
    std::size_t m_chunks = 0;
    std::size_t m_live = 0;
};

// Class-level allocation through a pool; other sizes (a derived class) use
// the ordinary heap.
#define KESTRUM_POOLED_ALLOCATION(Class)                                                                       \
public:                                                                                                        \
    static void* operator new(std::size_t size)                                                                \
    {                                                                                                          \
        static_assert(alignof(Class) <= 8, "pool slots are 8-byte aligned");                                  \
        return size == sizeof(Class) ? Class::Pool().Allocate() : ::operator new(size);                        \
    }                                                                                                          \
    static void operator delete(void* pointer, std::size_t size) noexcept                                      \
    {                                                                                                          \
        if (size == sizeof(Class))                                                                             \
            Class::Pool().Deallocate(pointer);                                                                 \
        else                                                                                                   \
            ::operator delete(pointer);                                                                        \
    }                                                                                                          \
                                                                                                               \
    /* Destroys objects of exactly this class and returns their slots under one taking of the pool's lock. */   \
    static void DestroyMany(Class* const* objects, std::size_t count) noexcept                                \
    {                                                                                                          \
        static_assert(!std::is_polymorphic_v<Class> || std::is_final_v<Class>, "no derived class may be batched"); \
        for (std::size_t i = 0; i < count; ++i)                                                                \
            objects[i]->~Class();                                                                              \
        Class::Pool().DeallocateMany(reinterpret_cast<void* const*>(objects), count);                        \
    }                                                                                                          \
                                                                                                               \
private:                                                                                                       \
    static ::Kestrum::Common::CFixedPool& Pool()                                                               \
    {                                                                                                          \
        /* Never destroyed: objects may be freed during static destruction. */                                 \
        static ::Kestrum::Common::CFixedPool* pool = new ::Kestrum::Common::CFixedPool(sizeof(Class));          \
        return *pool;                                                                                          \
    }

} // namespace Kestrum::Common
