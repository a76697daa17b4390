// The hash of the object registry's directory of address blocks: a 64-bit
// finalizer, so neighbouring block numbers spread over the whole directory.
#pragma once

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

} // namespace Kestrum::GUI
