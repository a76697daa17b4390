#include "common/String.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "common/FixedPool.h"

namespace Kestrum::Common {

namespace {
// Short texts (names, mostly) come from pools of 4-byte size steps: the heap
// would round each up to 16 bytes and add its own header.
constexpr std::size_t kPoolStep = 4;
constexpr std::size_t kPooledBytes = 128;
constexpr std::size_t kPoolCount = kPooledBytes / kPoolStep;
constexpr std::size_t kHeader = 4;
// The longest text with a short header: its buffer fills the largest pool.
constexpr std::size_t kShortMax = kPooledBytes - kHeader - 1;

std::size_t ShortBytes(std::size_t length) noexcept
{
    const std::size_t bytes = std::max<std::size_t>(8, kHeader + length + 1);
    return (bytes + kPoolStep - 1) / kPoolStep * kPoolStep;
}

CFixedPool& PoolFor(std::size_t bytes)
{
    // Never destroyed: strings may be freed during static destruction.
    static CFixedPool* const* pools = [] {
        static CFixedPool* made[kPoolCount + 1] = {};
        for (std::size_t i = 2; i <= kPoolCount; ++i)
            made[i] = new CFixedPool(i * kPoolStep, kPoolStep);
        return made;
    }();
    return *pools[bytes / kPoolStep];
}

void Copy(char* text, std::string_view first, std::string_view second) noexcept
{
    if (!first.empty())
        std::memcpy(text, first.data(), first.size());
    if (!second.empty())
        std::memcpy(text + first.size(), second.data(), second.size());
    text[first.size() + second.size()] = '\0';
}
} // namespace

void CString::Free(std::uintptr_t handle) noexcept
{
    if (handle & kShort) {
        void* memory = reinterpret_cast<void*>(handle & kAddressMask);
        static_cast<std::atomic<std::uint32_t>*>(memory)->~atomic();
        PoolFor(ShortBytes(handle >> kAddressBits)).Deallocate(memory);
        return;
    }
    auto* buffer = reinterpret_cast<Buffer*>(handle);
    buffer->~Buffer();
    ::operator delete(buffer);
}

std::uintptr_t CString::Allocate(std::string_view first, std::string_view second)
{
    static_assert(kShortHeader == kHeader && kShortMax < (std::size_t{1} << (64 - kAddressBits)));
    static_assert(offsetof(Buffer, text) == 8 && alignof(Buffer) <= 8, "an 8-byte header before a long text");
    const std::size_t length = first.size() + second.size();
    if (length <= kShortMax) {
        CFixedPool& pool = PoolFor(ShortBytes(length));
        void* memory = pool.Allocate();
        const auto address = reinterpret_cast<std::uintptr_t>(memory);
        if ((address & ~kAddressMask) == 0) {
            new (memory) std::atomic<std::uint32_t>(1);
            Copy(static_cast<char*>(memory) + kHeader, first, second);
            return address | kShort | (static_cast<std::uintptr_t>(length) << kAddressBits);
        }
        // An address above 48 bits leaves no room for the length: the text
        // takes the long form.
        pool.Deallocate(memory);
    }
    if (length > std::numeric_limits<std::uint32_t>::max() - 16)
        throw std::length_error("CString: text too long");
    void* memory = ::operator new(offsetof(Buffer, text) + length + 1);
    auto* buffer = new (memory) Buffer{{1}, static_cast<std::uint32_t>(length), {}};
    Copy(buffer->text, first, second);
    return reinterpret_cast<std::uintptr_t>(buffer);
}

void CString::Assign(std::string_view text)
{
    // The new text may be a view of this string's own buffer.
    const std::uintptr_t replacement = text.empty() ? 0 : Allocate(text, {});
    Release();
    m_handle = replacement;
}

CString& CString::operator+=(std::string_view text)
{
    if (text.empty())
        return *this;
    const std::uintptr_t joined = Allocate(View(), text);
    Release();
    m_handle = joined;
    return *this;
}

} // namespace Kestrum::Common
