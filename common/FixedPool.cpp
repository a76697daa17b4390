#include "common/FixedPool.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define KESTRUM_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define KESTRUM_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define KESTRUM_POISON(address, size) ((void)(address), (void)(size))
#define KESTRUM_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace Kestrum::Common {

// A chunk's memory is 32 blocks aligned to the block size; its bookkeeping
// lives apart so that an empty chunk is one free() away from the heap.
struct CFixedPool::Chunk {
    void* memory;
    std::size_t emptyBlocks;
};

// A block starts with this header; its slots follow. A slot finds its block
// by masking its address.
struct CFixedPool::Block {
    Block* previous; // in the open or the empty list
    Block* next;
    Chunk* chunk;
    void* freeSlots; // freed slots, each holding the next one's address
    std::size_t used;
    std::size_t fresh; // slots never handed out yet start at this index
};

namespace {
constexpr std::size_t kHeaderBytes = (sizeof(void*) * 6 + 15) / 16 * 16;

char* SlotsOf(void* block) { return static_cast<char*>(block) + kHeaderBytes; }

std::size_t SlotBytes(std::size_t size, std::size_t alignment)
{
    const std::size_t step = alignment == 4 ? 4 : 8;
    return size < sizeof(void*) ? sizeof(void*) : (size + step - 1) / step * step;
}

// A free slot holds the next free one's address; a 4-byte aligned slot may
// not hold it aligned. The address checker marks memory in 8-byte groups, so
// with 4-byte slots the half of a group next to a live slot stays readable
// after a free: it misses some reads there, it never reports a false one.
void* NextFree(const void* slot) noexcept
{
    void* next;
    std::memcpy(&next, slot, sizeof next);
    return next;
}
void SetNextFree(void* slot, void* next) noexcept { std::memcpy(slot, &next, sizeof next); }
} // namespace

void CFixedPool::List::Push(Block* block) noexcept
{
    block->previous = nullptr;
    block->next = head;
    if (head)
        head->previous = block;
    head = block;
}

void CFixedPool::List::Remove(Block* block) noexcept
{
    if (block->previous)
        block->previous->next = block->next;
    else
        head = block->next;
    if (block->next)
        block->next->previous = block->previous;
    block->previous = block->next = nullptr;
}

CFixedPool::CFixedPool(std::size_t size, std::size_t alignment)
    : m_slotSize(SlotBytes(size, alignment)), m_slotsPerBlock((kBlockBytes - kHeaderBytes) / m_slotSize)
{
    if (alignment != 4 && alignment != 8)
        throw std::invalid_argument("CFixedPool: slots are 4- or 8-byte aligned");
    if (m_slotsPerBlock == 0)
        throw std::bad_alloc();
}

CFixedPool::~CFixedPool()
{
    // A chunk without objects has all its blocks in the empty list; it is
    // marked (no empty blocks) when first met, so it is freed once.
    std::vector<Chunk*> free;
    for (Block* block = m_empty.head; block; block = block->next) {
        if (block->chunk->emptyBlocks == kBlocksPerChunk) {
            block->chunk->emptyBlocks = 0;
            free.push_back(block->chunk);
        }
    }
    for (Chunk* chunk : free) {
        KESTRUM_UNPOISON(chunk->memory, kBlockBytes * kBlocksPerChunk);
        std::free(chunk->memory);
        delete chunk;
    }
}

CFixedPool::Block* CFixedPool::TakeEmptyBlock()
{
    if (!m_empty.head) {
        auto* chunk = new Chunk{nullptr, kBlocksPerChunk};
        chunk->memory = std::aligned_alloc(kBlockBytes, kBlockBytes * kBlocksPerChunk);
        if (!chunk->memory) {
            delete chunk;
            throw std::bad_alloc();
        }
        ++m_chunks;
        for (std::size_t i = kBlocksPerChunk; i-- > 0;) {
            auto* block = reinterpret_cast<Block*>(static_cast<char*>(chunk->memory) + i * kBlockBytes);
            *block = Block{nullptr, nullptr, chunk, nullptr, 0, 0};
            KESTRUM_POISON(SlotsOf(block), m_slotsPerBlock * m_slotSize);
            m_empty.Push(block);
        }
    }
    Block* block = m_empty.head;
    m_empty.Remove(block);
    if (block->chunk == m_spareChunk)
        m_spareChunk = nullptr;
    --block->chunk->emptyBlocks;
    ++m_blocks;
    return block;
}

void CFixedPool::BlockEmptied(Block* block) noexcept
{
    block->freeSlots = nullptr;
    block->fresh = 0;
    --m_blocks;
    m_empty.Push(block);
    Chunk* chunk = block->chunk;
    if (++chunk->emptyBlocks < kBlocksPerChunk)
        return;
    // The whole chunk is free: keep it as the spare, or give back the older
    // spare and keep this one.
    Chunk* release = m_spareChunk;
    m_spareChunk = chunk;
    if (!release)
        return;
    for (std::size_t i = 0; i < kBlocksPerChunk; ++i) {
        auto* member = reinterpret_cast<Block*>(static_cast<char*>(release->memory) + i * kBlockBytes);
        m_empty.Remove(member);
    }
    KESTRUM_UNPOISON(release->memory, kBlockBytes * kBlocksPerChunk);
    std::free(release->memory);
    delete release;
    --m_chunks;
}

void* CFixedPool::Allocate()
{
    std::lock_guard lock(m_lock);
    if (!m_open.head)
        m_open.Push(TakeEmptyBlock());
    Block* block = m_open.head;
    void* slot;
    if (block->freeSlots) {
        slot = block->freeSlots;
        KESTRUM_UNPOISON(slot, m_slotSize);
        block->freeSlots = NextFree(slot);
    } else {
        slot = SlotsOf(block) + block->fresh * m_slotSize;
        KESTRUM_UNPOISON(slot, m_slotSize);
        ++block->fresh;
    }
    ++block->used;
    ++m_live;
    if (block->used == m_slotsPerBlock)
        m_open.Remove(block);
    return slot;
}

void CFixedPool::Deallocate(void* slot) noexcept
{
    if (!slot)
        return;
    std::lock_guard lock(m_lock);
    Release(slot);
}

void CFixedPool::DeallocateMany(void* const* slots, std::size_t count) noexcept
{
    std::lock_guard lock(m_lock);
    for (std::size_t i = 0; i < count; ++i)
        if (slots[i])
            Release(slots[i]);
}

void CFixedPool::Release(void* slot) noexcept
{
    Block* block = reinterpret_cast<Block*>(reinterpret_cast<std::uintptr_t>(slot) & ~(kBlockBytes - 1));
    SetNextFree(slot, block->freeSlots);
    block->freeSlots = slot;
    KESTRUM_POISON(slot, m_slotSize);
    --m_live;
    const bool wasFull = block->used-- == m_slotsPerBlock;
    if (block->used != 0) {
        if (wasFull)
            m_open.Push(block);
        return;
    }
    if (!wasFull)
        m_open.Remove(block);
    BlockEmptied(block);
}

std::size_t CFixedPool::BlockCount() const
{
    std::lock_guard lock(m_lock);
    return m_blocks;
}

std::size_t CFixedPool::ChunkCount() const
{
    std::lock_guard lock(m_lock);
    return m_chunks;
}

std::size_t CFixedPool::LiveCount() const
{
    std::lock_guard lock(m_lock);
    return m_live;
}

} // namespace Kestrum::Common
