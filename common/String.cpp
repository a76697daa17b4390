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
// Buffers of short texts (names, mostly) come from pools of 8-byte size
// steps: the heap would round each up to 16 bytes and add its own header.
constexpr std::size_t kPoolStep = 8;
constexpr std::size_t kPooledBytes = 128;
constexpr std::size_t kPoolCount = kPooledBytes / kPoolStep;

std::size_t BufferBytes(std::size_t length) noexcept
{
    const std::size_t bytes = std::max<std::size_t>(16, 8 + length + 1);
    return (bytes + kPoolStep - 1) / kPoolStep * kPoolStep;
}

CFixedPool* PoolFor(std::size_t bytes)
{
    // Never destroyed: strings may be freed during static destruction.
    static CFixedPool* const* pools = [] {
        static CFixedPool* made[kPoolCount + 1] = {};
        for (std::size_t i = 2; i <= kPoolCount; ++i)
            made[i] = new CFixedPool(i * kPoolStep);
        return made;
    }();
    return bytes <= kPooledBytes ? pools[bytes / kPoolStep] : nullptr;
}
} // namespace

void CString::Free(Buffer* buffer) noexcept
{
    const std::size_t bytes = BufferBytes(buffer->length);
    buffer->~Buffer();
    if (CFixedPool* pool = PoolFor(bytes))
        pool->Deallocate(buffer);
    else
        ::operator delete(buffer);
}

CString::Buffer* CString::Allocate(std::string_view first, std::string_view second)
{
    const std::size_t length = first.size() + second.size();
    if (length > std::numeric_limits<std::uint32_t>::max() - 16)
        throw std::length_error("CString: text too long");
    static_assert(offsetof(Buffer, text) == 8 && alignof(Buffer) <= 8, "an 8-byte header before the text");
    const std::size_t bytes = BufferBytes(length);
    CFixedPool* pool = PoolFor(bytes);
    void* memory = pool ? pool->Allocate() : ::operator new(bytes);
    auto* buffer = new (memory) Buffer{{1}, static_cast<std::uint32_t>(length), {}};
    if (!first.empty())
        std::memcpy(buffer->text, first.data(), first.size());
    if (!second.empty())
        std::memcpy(buffer->text + first.size(), second.data(), second.size());
    buffer->text[length] = '\0';
    return buffer;
}

void CString::Assign(std::string_view text)
{
    // The new text may be a view of this string's own buffer.
    Buffer* replacement = text.empty() ? nullptr : Allocate(text, {});
    Release();
    m_buffer = replacement;
}

CString& CString::operator+=(std::string_view text)
{
    if (text.empty())
        return *this;
    Buffer* joined = Allocate(View(), text);
    Release();
    m_buffer = joined;
    return *this;
}

} // namespace Kestrum::Common
