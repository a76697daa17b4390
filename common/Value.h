// CValue: one field value together with its type code.
//
// Strings (codes 1 and 2) are owned by the value and copied deeply; every
// other code lives in the 8-byte payload. A value belongs to one thread at a
// time.
#pragma once

#include "common/Export.h"

#include <cstdint>
#include <string>
#include <type_traits>

#include "common/String.h"
#include "common/Types.h"

namespace Kestrum::Common {

class KESTRUM_COMMON_EXPORT CValue {
public:
    CValue() noexcept { m_payload.int64Value = 0; }
    explicit CValue(const CString& value);
    explicit CValue(const std::string& value);
    explicit CValue(const char* value) : CValue(std::string(value ? value : "")) {}
    explicit CValue(std::int8_t value) noexcept : CValue() { m_tag = FT_CHAR; m_payload.charValue = value; }
    explicit CValue(std::uint8_t value) noexcept : CValue() { m_tag = FT_UCHAR; m_payload.ucharValue = value; }
    explicit CValue(std::int16_t value) noexcept : CValue() { m_tag = FT_SHORT; m_payload.shortValue = value; }
    explicit CValue(std::uint16_t value) noexcept : CValue() { m_tag = FT_USHORT; m_payload.ushortValue = value; }
    explicit CValue(std::int32_t value) noexcept : CValue() { m_tag = FT_LONG; m_payload.longValue = value; }
    explicit CValue(std::uint32_t value) noexcept : CValue() { m_tag = FT_ULONG; m_payload.ulongValue = value; }
    explicit CValue(std::int64_t value) noexcept : CValue() { m_tag = FT_INT64; m_payload.int64Value = value; }
    explicit CValue(bool value) noexcept : CValue() { m_tag = FT_BOOL; m_payload.boolValue = value; }
    explicit CValue(float value) noexcept : CValue() { m_tag = FT_FLOAT; m_payload.floatValue = value; }
    explicit CValue(double value) noexcept : CValue() { m_tag = FT_DOUBLE; m_payload.doubleValue = value; }
    explicit CValue(OpaqueHandle value) noexcept : CValue() { m_tag = FT_HANDLE; m_payload.handleValue = value; }

    CValue(const CValue& other);
    CValue(CValue&& other) noexcept;
    CValue& operator=(const CValue& other);
    CValue& operator=(CValue&& other) noexcept;
    ~CValue();

    FieldType GetType() const noexcept { return static_cast<FieldType>(m_tag); }
    bool IsEmpty() const noexcept { return m_tag == FT_EMPTY; }
    void Clear() noexcept;

    // The content as type T. The caller checks the tag first; a string whose
    // object is absent reads as the empty string.
    template <class T> T Get() const;
    // The content of a code-12 value (0 for any other code), read inline:
    // sort comparisons of sizes and times call it millions of times.
    std::int64_t GetInt64() const noexcept { return m_tag == FT_INT64 ? m_payload.int64Value : 0; }
    // The content of an integer or flag value as a 64-bit integer that
    // orders like the value; false for other codes (sort comparisons).
    bool GetOrderedInteger(std::int64_t& out) const noexcept
    {
        switch (GetType()) {
        case FT_CHAR: out = m_payload.charValue; return true;
        case FT_UCHAR: out = m_payload.ucharValue; return true;
        case FT_SHORT: out = m_payload.shortValue; return true;
        case FT_USHORT: out = m_payload.ushortValue; return true;
        case FT_LONG: out = m_payload.longValue; return true;
        case FT_ULONG: out = m_payload.ulongValue; return true;
        case FT_INT64: out = m_payload.int64Value; return true;
        case FT_BOOL: out = m_payload.boolValue ? 1 : 0; return true;
        default: return false;
        }
    }
    // Replaces tag and content.
    template <class T> void Set(const T& value) { *this = CValue(value); }

    // A string value whose string object is absent (a state only restore or a
    // moved-from value can produce).
    bool HasNullString() const noexcept { return IsStringType(m_tag) && m_payload.pointer == nullptr; }

    friend KESTRUM_COMMON_EXPORT bool operator==(const CValue& a, const CValue& b) noexcept;
    // Is-greater-than: values of different tags are never greater.
    bool IsGreaterThan(const CValue& other) const noexcept;
    // The order that sorting uses between two values of one tag: -1, 0 or
    // +1. Unlike == and IsGreaterThan it is a total preorder, so sorts and
    // binary searches can rely on it: a NaN equals a NaN and goes above
    // every number, an absent string reads as the empty string.
    int CompareSameType(const CValue& other) const noexcept;

private:
    void CopyFrom(const CValue& other);
    void FreeString() noexcept;

    union Payload {
        std::int8_t charValue;
        std::uint8_t ucharValue;
        std::int16_t shortValue;
        std::uint16_t ushortValue;
        std::int32_t longValue;
        std::uint32_t ulongValue;
        std::int64_t int64Value;
        bool boolValue;
        float floatValue;
        double doubleValue;
        OpaqueHandle handleValue;
        void* pointer; // CString* for code 1, std::string* for code 2
    } m_payload;
    // A FieldType in one byte: a grid row keeps a value inline, and the
    // row's small members fit in the padding after it.
    std::int8_t m_tag = FT_EMPTY;
};

static_assert(sizeof(OpaqueHandle) <= 8, "the payload holds a handle");

template <class T> T CValue::Get() const
{
    if constexpr (std::is_same_v<T, CString>)
        return m_payload.pointer ? *static_cast<const CString*>(m_payload.pointer) : CString();
    else if constexpr (std::is_same_v<T, std::string>)
        return m_payload.pointer ? *static_cast<const std::string*>(m_payload.pointer) : std::string();
    else if constexpr (std::is_same_v<T, std::int8_t>) return m_payload.charValue;
    else if constexpr (std::is_same_v<T, std::uint8_t>) return m_payload.ucharValue;
    else if constexpr (std::is_same_v<T, std::int16_t>) return m_payload.shortValue;
    else if constexpr (std::is_same_v<T, std::uint16_t>) return m_payload.ushortValue;
    else if constexpr (std::is_same_v<T, std::int32_t>) return m_payload.longValue;
    else if constexpr (std::is_same_v<T, std::uint32_t>) return m_payload.ulongValue;
    else if constexpr (std::is_same_v<T, std::int64_t>) return m_payload.int64Value;
    else if constexpr (std::is_same_v<T, bool>) return m_payload.boolValue;
    else if constexpr (std::is_same_v<T, float>) return m_payload.floatValue;
    else if constexpr (std::is_same_v<T, double>) return m_payload.doubleValue;
    else {
        static_assert(std::is_same_v<T, OpaqueHandle>, "not a value type");
        return m_payload.handleValue;
    }
}

} // namespace Kestrum::Common
