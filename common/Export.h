#pragma once

// Marks the classes and functions kestrum_common exports from its shared
// library; everything else is built with hidden visibility, so the ABI is
// what carries this mark. On ELF the same attribute serves the library and
// its users, and it is harmless in the static build.
#if defined(__GNUC__) || defined(__clang__)
#define KESTRUM_COMMON_EXPORT __attribute__((visibility("default")))
#else
#define KESTRUM_COMMON_EXPORT
#endif
