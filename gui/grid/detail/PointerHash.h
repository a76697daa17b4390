// The hash of the object registry's pointer table: a 64-bit finalizer, so
// nearby heap addresses spread over the whole table. The low bits choose a
// slot; the top six bits choose a shard.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Kestrum::GUI {

inline std::uint64_t PointerHash(const void* pointer) noexcept
{
    auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(pointer));
    bits ^= bits >> 33;
    bits *= 0xff51afd7ed558ccdull;
    bits ^= bits >> 33;
    return bits;
}

inline constexpr std::size_t kPointerTableShards = 64;

inline std::size_t PointerShard(const void* pointer) noexcept
{
    return static_cast<std::size_t>(PointerHash(pointer) >> 58);
}

} // namespace Kestrum::GUI
