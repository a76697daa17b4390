// Field ids, value type codes and the C++ type behind each code.
//
// The codes are stored in serialized data and never change. "long" of the
// original design is exactly 32 bits here; the opaque handle (code 13) is
// pointer-sized and never serialized.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "common/String.h"

namespace Kestrum::Common {

class CDataObject;

using FieldId = std::int32_t;
inline constexpr FieldId FIELD_ALL = -1;  // all fields, in change notifications
inline constexpr FieldId FIELD_NONE = -2; // a descriptor without an id yet

using OpaqueHandle = std::uintptr_t;

enum FieldType : std::int32_t {
    FT_EMPTY = 0,
    FT_MFCSTRING = 1, // CString
    FT_STLSTRING = 2, // std::string
    FT_CHAR = 3,      // signed 8-bit
    FT_UCHAR = 4,
    FT_SHORT = 5,
    FT_USHORT = 6,
    FT_LONG = 7,      // signed 32-bit
    FT_ULONG = 8,     // unsigned 32-bit
    FT_INT64 = 9,
    FT_BOOL = 10,
    FT_FLOAT = 11,
    FT_DOUBLE = 12,
    FT_HANDLE = 13,   // opaque pointer-sized value
};
inline constexpr std::int32_t FT_FIRST = FT_MFCSTRING;
inline constexpr std::int32_t FT_LAST = FT_HANDLE;

constexpr bool IsValueType(std::int32_t code) noexcept { return code >= FT_FIRST && code <= FT_LAST; }
constexpr bool IsStringType(std::int32_t code) noexcept { return code == FT_MFCSTRING || code == FT_STLSTRING; }

// Maps a C++ type to its code; only the thirteen value types have one.
template <class T> struct FieldTypeOf;
template <> struct FieldTypeOf<CString> : std::integral_constant<FieldType, FT_MFCSTRING> {};
template <> struct FieldTypeOf<std::string> : std::integral_constant<FieldType, FT_STLSTRING> {};
template <> struct FieldTypeOf<std::int8_t> : std::integral_constant<FieldType, FT_CHAR> {};
template <> struct FieldTypeOf<std::uint8_t> : std::integral_constant<FieldType, FT_UCHAR> {};
template <> struct FieldTypeOf<std::int16_t> : std::integral_constant<FieldType, FT_SHORT> {};
template <> struct FieldTypeOf<std::uint16_t> : std::integral_constant<FieldType, FT_USHORT> {};
template <> struct FieldTypeOf<std::int32_t> : std::integral_constant<FieldType, FT_LONG> {};
template <> struct FieldTypeOf<std::uint32_t> : std::integral_constant<FieldType, FT_ULONG> {};
template <> struct FieldTypeOf<std::int64_t> : std::integral_constant<FieldType, FT_INT64> {};
template <> struct FieldTypeOf<bool> : std::integral_constant<FieldType, FT_BOOL> {};
template <> struct FieldTypeOf<float> : std::integral_constant<FieldType, FT_FLOAT> {};
template <> struct FieldTypeOf<double> : std::integral_constant<FieldType, FT_DOUBLE> {};
template <> struct FieldTypeOf<OpaqueHandle> : std::integral_constant<FieldType, FT_HANDLE> {};

static_assert(!std::is_same_v<OpaqueHandle, std::uint32_t>, "the handle type must stay distinct from code 8");
static_assert(!std::is_same_v<std::int64_t, std::int32_t>);

template <class T>
concept ValueType = requires { FieldTypeOf<std::remove_cvref_t<T>>::value; };

} // namespace Kestrum::Common
