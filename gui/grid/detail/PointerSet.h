// CPointerSet: a set of non-null, 8-byte aligned pointers kept as bitmaps of
// the address space (one bit per 8 bytes), a bitmap per MiB that holds
// members. It validates item handles: items allocated one after another sit
// side by side, so they share a bitmap word and a cache line instead of
// landing at random slots of a hash table, and a member costs about two bits
// of memory per 16 bytes of the object it points at.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>

namespace Kestrum::GUI {

template <class T>
class CPointerSet {
public:
    bool Contains(const T* pointer) const
    {
        const std::uintptr_t address = AddressOf(pointer);
        if (address == 0)
            return false;
        const auto found = m_pages.find(address >> kPageShift);
        return found != m_pages.end() && found->second->Test(BitOf(address));
    }

    bool Insert(T* pointer)
    {
        const std::uintptr_t address = AddressOf(pointer);
        if (address == 0)
            return false;
        std::unique_ptr<Page>& page = m_pages[address >> kPageShift];
        if (!page)
            page = std::make_unique<Page>();
        if (!page->Set(BitOf(address)))
            return false;
        ++m_count;
        return true;
    }

    bool Erase(const T* pointer)
    {
        const std::uintptr_t address = AddressOf(pointer);
        if (address == 0)
            return false;
        const auto found = m_pages.find(address >> kPageShift);
        if (found == m_pages.end() || !found->second->Reset(BitOf(address)))
            return false;
        if (found->second->count == 0)
            m_pages.erase(found);
        --m_count;
        return true;
    }

    std::size_t Size() const noexcept { return m_count; }
    void Clear()
    {
        m_pages.clear();
        m_count = 0;
    }

private:
    static constexpr unsigned kGranuleShift = 3; // one bit per 8 bytes
    static constexpr unsigned kPageShift = 20;   // a bitmap per MiB of addresses
    static constexpr std::size_t kBits = std::size_t{1} << (kPageShift - kGranuleShift);

    struct Page {
        std::array<std::uint64_t, kBits / 64> words{};
        std::uint32_t count = 0;

        bool Test(std::size_t bit) const { return (words[bit >> 6] >> (bit & 63)) & 1u; }
        bool Set(std::size_t bit)
        {
            const std::uint64_t mask = std::uint64_t{1} << (bit & 63);
            if (words[bit >> 6] & mask)
                return false;
            words[bit >> 6] |= mask;
            ++count;
            return true;
        }
        bool Reset(std::size_t bit)
        {
            const std::uint64_t mask = std::uint64_t{1} << (bit & 63);
            if (!(words[bit >> 6] & mask))
                return false;
            words[bit >> 6] &= ~mask;
            --count;
            return true;
        }
    };

    // 0 for a null or misaligned pointer (never a member: a handle made up
    // by a caller is simply not found).
    static std::uintptr_t AddressOf(const T* pointer)
    {
        const auto address = reinterpret_cast<std::uintptr_t>(pointer);
        return (address & ((std::uintptr_t{1} << kGranuleShift) - 1)) != 0 ? 0 : address;
    }
    static std::size_t BitOf(std::uintptr_t address)
    {
        return static_cast<std::size_t>((address >> kGranuleShift) & (kBits - 1));
    }

    std::unordered_map<std::uintptr_t, std::unique_ptr<Page>> m_pages;
    std::size_t m_count = 0;
};

} // namespace Kestrum::GUI
