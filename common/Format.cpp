#include "common/Format.h"

namespace Kestrum::Common {

namespace {

// Calls `fn(payload)` with the value's content typed by its own code; a null
// string object reads as an empty string. False for a code outside 1..13.
template <class Fn> bool VisitValue(const CValue& value, Fn&& fn)
{
    switch (value.GetType()) {
    case FT_MFCSTRING: fn(value.Get<CString>()); return true;
    case FT_STLSTRING: fn(value.Get<std::string>()); return true;
    case FT_CHAR: fn(value.Get<std::int8_t>()); return true;
    case FT_UCHAR: fn(value.Get<std::uint8_t>()); return true;
    case FT_SHORT: fn(value.Get<std::int16_t>()); return true;
    case FT_USHORT: fn(value.Get<std::uint16_t>()); return true;
    case FT_LONG: fn(value.Get<std::int32_t>()); return true;
    case FT_ULONG: fn(value.Get<std::uint32_t>()); return true;
    case FT_INT64: fn(value.Get<std::int64_t>()); return true;
    case FT_BOOL: fn(value.Get<bool>()); return true;
    case FT_FLOAT: fn(value.Get<float>()); return true;
    case FT_DOUBLE: fn(value.Get<double>()); return true;
    case FT_HANDLE: fn(value.Get<OpaqueHandle>()); return true;
    case FT_EMPTY: break;
    }
    return false;
}

bool TypesMatch(FieldType format, FieldType value)
{
    return format == value || (IsStringType(format) && IsStringType(value));
}

// Parses into a local of the format's own type and stores it into `out` by
// the dispatcher's rule: an empty out takes the format's code, an out of
// that code is replaced, any other out stays as it is.
template <class Text> bool DispatchParse(const CFormat& format, const Text& text, CValue& out, CDataObject* owner)
{
    auto parse = [&](auto zero) {
        using T = decltype(zero);
        T parsed = zero;
        if (!format.ParseValue(text, parsed, owner))
            return false;
        if (out.IsEmpty() || out.GetType() == format.GetValueType())
            out = CValue(parsed);
        return true;
    };
    switch (format.GetValueType()) {
    case FT_MFCSTRING: return parse(CString());
    case FT_STLSTRING: return parse(std::string());
    case FT_CHAR: return parse(std::int8_t{});
    case FT_UCHAR: return parse(std::uint8_t{});
    case FT_SHORT: return parse(std::int16_t{});
    case FT_USHORT: return parse(std::uint16_t{});
    case FT_LONG: return parse(std::int32_t{});
    case FT_ULONG: return parse(std::uint32_t{});
    case FT_INT64: return parse(std::int64_t{});
    case FT_BOOL: return parse(false);
    case FT_FLOAT: return parse(0.0f);
    case FT_DOUBLE: return parse(0.0);
    case FT_HANDLE: return parse(OpaqueHandle{});
    case FT_EMPTY: break;
    }
    return false;
}

} // namespace

CString CFormat::FormatValueAsCString(const CValue& value, CDataObject* owner) const
{
    CString text;
    if (TypesMatch(m_valueType, value.GetType()))
        VisitValue(value, [&](const auto& content) { text = FormatValueAsCString(content, owner); });
    return text;
}

std::string CFormat::FormatValue(const CValue& value, CDataObject* owner) const
{
    std::string text;
    if (TypesMatch(m_valueType, value.GetType()))
        VisitValue(value, [&](const auto& content) { text = FormatValue(content, owner); });
    return text;
}

bool CFormat::ParseValue(const CString& text, CValue& out, CDataObject* owner) const
{
    return DispatchParse(*this, text, out, owner);
}

bool CFormat::ParseValue(const std::string& text, CValue& out, CDataObject* owner) const
{
    return DispatchParse(*this, text, out, owner);
}

#define KESTRUM_BASE_TYPED_OPS(T)                                                                  \
    CString CFormat::FormatValueAsCString(FormatArg<T>, CDataObject*) const { return {}; }         \
    std::string CFormat::FormatValue(FormatArg<T>, CDataObject*) const { return {}; }              \
    bool CFormat::ParseValue(const CString&, T&, CDataObject*) const { return false; }             \
    bool CFormat::ParseValue(const std::string&, T&, CDataObject*) const { return false; }

KESTRUM_BASE_TYPED_OPS(OpaqueHandle)
KESTRUM_BASE_TYPED_OPS(double)
KESTRUM_BASE_TYPED_OPS(float)
KESTRUM_BASE_TYPED_OPS(bool)
KESTRUM_BASE_TYPED_OPS(std::int64_t)
KESTRUM_BASE_TYPED_OPS(std::uint32_t)
KESTRUM_BASE_TYPED_OPS(std::int32_t)
KESTRUM_BASE_TYPED_OPS(std::uint16_t)
KESTRUM_BASE_TYPED_OPS(std::int16_t)
KESTRUM_BASE_TYPED_OPS(std::uint8_t)
KESTRUM_BASE_TYPED_OPS(std::int8_t)
KESTRUM_BASE_TYPED_OPS(std::string)
KESTRUM_BASE_TYPED_OPS(CString)
#undef KESTRUM_BASE_TYPED_OPS

bool CFormat::IsDateTimeFormat() const { return false; }
bool CFormat::IsEnumFormat() const { return false; }
std::string CFormat::GetClassName() const { return {}; }
bool CFormat::IsSerializable() const { return false; }

void CFormat::Serialize(CSerializer& serializer)
{
    // The base carries the version only and does not check it.
    if (serializer.IsRestoring()) {
        std::int32_t version = 0;
        serializer.Restore(version);
    } else {
        serializer.Store(SERIALIZATION_VERSION);
    }
}

bool CFormat::SerializeVersion(CSerializer& serializer, const char* shortClassName)
{
    if (!serializer.IsRestoring()) {
        serializer.Store(SERIALIZATION_VERSION);
        return true;
    }
    std::int32_t version = 0;
    serializer.Restore(version);
    if (version > SERIALIZATION_VERSION)
        throw CSerializer::BadVersionException(std::string(shortClassName) +
                                               " doesn't support current version and can't be deserialized.");
    return version > 0;
}

bool CFormat::SerializeVersion(CSerializer& serializer) const
{
    const std::string name = GetClassName();
    const auto separator = name.rfind("::");
    const std::string shortName = separator == std::string::npos ? name : name.substr(separator + 2);
    return SerializeVersion(serializer, shortName.c_str());
}

} // namespace Kestrum::Common
