#include "common/Value.h"

#include <algorithm>
#include <cstring>

namespace Kestrum::Common {

CValue::CValue(const CString& value) : CValue()
{
    m_payload.pointer = new CString(value);
    m_tag = FT_MFCSTRING;
}

CValue::CValue(const std::string& value) : CValue()
{
    m_payload.pointer = new std::string(value);
    m_tag = FT_STLSTRING;
}

CValue::CValue(const CValue& other) : CValue() { CopyFrom(other); }

CValue::CValue(CValue&& other) noexcept : m_payload(other.m_payload), m_tag(other.m_tag)
{
    other.m_payload.int64Value = 0;
    other.m_tag = FT_EMPTY;
}

CValue& CValue::operator=(const CValue& other)
{
    if (this != &other) {
        CValue copy(other); // a throwing copy leaves *this intact
        *this = std::move(copy);
    }
    return *this;
}

CValue& CValue::operator=(CValue&& other) noexcept
{
    if (this != &other) {
        FreeString();
        m_payload = other.m_payload;
        m_tag = other.m_tag;
        other.m_payload.int64Value = 0;
        other.m_tag = FT_EMPTY;
    }
    return *this;
}

CValue::~CValue() { FreeString(); }

void CValue::Clear() noexcept
{
    FreeString();
    m_payload.int64Value = 0;
    m_tag = FT_EMPTY;
}

void CValue::FreeString() noexcept
{
    if (m_tag == FT_MFCSTRING)
        delete static_cast<CString*>(m_payload.pointer);
    else if (m_tag == FT_STLSTRING)
        delete static_cast<std::string*>(m_payload.pointer);
    else
        return;
    m_payload.pointer = nullptr;
}

void CValue::CopyFrom(const CValue& other)
{
    // An absent source string is copied as an empty string.
    if (other.m_tag == FT_MFCSTRING)
        m_payload.pointer = new CString(other.Get<CString>());
    else if (other.m_tag == FT_STLSTRING)
        m_payload.pointer = new std::string(other.Get<std::string>());
    else
        m_payload = other.m_payload;
    m_tag = other.m_tag;
}

bool operator==(const CValue& a, const CValue& b) noexcept
{
    if (a.m_tag != b.m_tag)
        return false;
    const auto& x = a.m_payload;
    const auto& y = b.m_payload;
    switch (a.GetType()) {
    case FT_EMPTY: return true;
    case FT_MFCSTRING:
        return x.pointer && y.pointer && *static_cast<const CString*>(x.pointer) == *static_cast<const CString*>(y.pointer);
    case FT_STLSTRING:
        return x.pointer && y.pointer && *static_cast<const std::string*>(x.pointer) == *static_cast<const std::string*>(y.pointer);
    case FT_CHAR: case FT_UCHAR: return x.ucharValue == y.ucharValue;
    case FT_BOOL: return x.boolValue == y.boolValue;
    case FT_SHORT: case FT_USHORT: return x.ushortValue == y.ushortValue;
    case FT_LONG: case FT_ULONG: return x.ulongValue == y.ulongValue;
    case FT_INT64: return x.int64Value == y.int64Value;
    case FT_HANDLE: return x.handleValue == y.handleValue;
    // Equal unless one is less than the other, so NaN equals everything.
    case FT_FLOAT: return !(x.floatValue < y.floatValue) && !(y.floatValue < x.floatValue);
    case FT_DOUBLE: return !(x.doubleValue < y.doubleValue) && !(y.doubleValue < x.doubleValue);
    }
    return false;
}

namespace {
int CompareBytes(std::string_view a, std::string_view b) noexcept
{
    const std::size_t common = std::min(a.size(), b.size());
    if (common != 0) {
        if (const int c = std::memcmp(a.data(), b.data(), common); c != 0)
            return c;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}
} // namespace

namespace {
template <class Float> int CompareFloats(Float a, Float b) noexcept
{
    const bool aNaN = a != a, bNaN = b != b;
    if (aNaN || bNaN)
        return aNaN == bNaN ? 0 : (aNaN ? 1 : -1);
    return a < b ? -1 : (b < a ? 1 : 0);
}
template <class T> int CompareOrdered(T a, T b) noexcept { return a < b ? -1 : (b < a ? 1 : 0); }
} // namespace

int CValue::CompareSameType(const CValue& other) const noexcept
{
    const auto& x = m_payload;
    const auto& y = other.m_payload;
    switch (GetType()) {
    case FT_EMPTY: return 0;
    case FT_MFCSTRING:
    case FT_STLSTRING: {
        auto text = [tag = m_tag](const void* pointer) -> std::string_view {
            if (!pointer)
                return {};
            return tag == FT_MFCSTRING ? static_cast<const CString*>(pointer)->View()
                                       : std::string_view(*static_cast<const std::string*>(pointer));
        };
        const int c = CompareBytes(text(x.pointer), text(y.pointer));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case FT_CHAR: return CompareOrdered(x.charValue, y.charValue);
    case FT_UCHAR: return CompareOrdered(x.ucharValue, y.ucharValue);
    case FT_SHORT: return CompareOrdered(x.shortValue, y.shortValue);
    case FT_USHORT: return CompareOrdered(x.ushortValue, y.ushortValue);
    case FT_LONG: return CompareOrdered(x.longValue, y.longValue);
    case FT_ULONG: return CompareOrdered(x.ulongValue, y.ulongValue);
    case FT_INT64: return CompareOrdered(x.int64Value, y.int64Value);
    case FT_BOOL: return CompareOrdered(x.boolValue, y.boolValue);
    case FT_FLOAT: return CompareFloats(x.floatValue, y.floatValue);
    case FT_DOUBLE: return CompareFloats(x.doubleValue, y.doubleValue);
    case FT_HANDLE: return CompareOrdered(x.handleValue, y.handleValue);
    }
    return 0;
}

bool CValue::IsGreaterThan(const CValue& other) const noexcept
{
    if (m_tag != other.m_tag)
        return false;
    const auto& x = m_payload;
    const auto& y = other.m_payload;
    switch (GetType()) {
    case FT_EMPTY: return false;
    case FT_MFCSTRING:
        return x.pointer && y.pointer &&
               CompareBytes(static_cast<const CString*>(x.pointer)->View(), static_cast<const CString*>(y.pointer)->View()) > 0;
    case FT_STLSTRING:
        return x.pointer && y.pointer &&
               CompareBytes(*static_cast<const std::string*>(x.pointer), *static_cast<const std::string*>(y.pointer)) > 0;
    case FT_CHAR: return x.charValue > y.charValue;
    case FT_UCHAR: return x.ucharValue > y.ucharValue;
    case FT_SHORT: return x.shortValue > y.shortValue;
    case FT_USHORT: return x.ushortValue > y.ushortValue;
    case FT_LONG: return x.longValue > y.longValue;
    case FT_ULONG: return x.ulongValue > y.ulongValue;
    case FT_INT64: return x.int64Value > y.int64Value;
    case FT_BOOL: return x.boolValue > y.boolValue;
    case FT_FLOAT: return x.floatValue > y.floatValue;
    case FT_DOUBLE: return x.doubleValue > y.doubleValue;
    case FT_HANDLE: return x.handleValue > y.handleValue;
    }
    return false;
}

} // namespace Kestrum::Common
