// CFormat: turns values into text and back, names its class, copies itself
// and stores its settings.
//
// Formats hold no mutable state after construction or restore, so one
// instance (in particular a shared default format) may be used by several
// threads at once. The virtual operations are declared in their fixed slot
// order. Concrete formats do the real work on std::string; their CString
// forms only convert (CTypedFormat supplies those).
#pragma once

#include "common/Export.h"

#include <cstdint>
#include <string>
#include <type_traits>

#include "common/Serializer.h"
#include "common/String.h"
#include "common/Types.h"
#include "common/Value.h"

namespace Kestrum::Common {

class KESTRUM_COMMON_EXPORT CFormat {
public:
    explicit CFormat(FieldType valueType) noexcept : m_valueType(valueType) {}
    CFormat(const CFormat&) = default;
    CFormat& operator=(const CFormat&) = delete;

    FieldType GetValueType() const noexcept { return m_valueType; }

    // 0
    virtual ~CFormat() = default;
    // 1-14
    virtual CString FormatValueAsCString(const CValue& value, CDataObject* owner) const;
    virtual CString FormatValueAsCString(OpaqueHandle value, CDataObject* owner) const;
    virtual CString FormatValueAsCString(double value, CDataObject* owner) const;
    virtual CString FormatValueAsCString(float value, CDataObject* owner) const;
    virtual CString FormatValueAsCString(bool value, CDataObject* owner) const;
    virtual CString FormatValueAsCString(std::int64_t value, CDataObject* owner) const;
    virtual CString FormatValueAsCString(std::uint32_t value, CDataObject* owner) const;
    virtual CString FormatValueAsCString(std::int32_t value, CDataObject* owner) const;
    virtual CString FormatValueAsCString(std::uint16_t value, CDataObject* owner) const;
    virtual CString FormatValueAsCString(std::int16_t value, CDataObject* owner) const;
    virtual CString FormatValueAsCString(std::uint8_t value, CDataObject* owner) const;
    virtual CString FormatValueAsCString(std::int8_t value, CDataObject* owner) const;
    virtual CString FormatValueAsCString(const std::string& value, CDataObject* owner) const;
    virtual CString FormatValueAsCString(const CString& value, CDataObject* owner) const;
    // 15-28
    virtual bool ParseValue(const CString& text, CValue& out, CDataObject* owner) const;
    virtual bool ParseValue(const CString& text, double& out, CDataObject* owner) const;
    virtual bool ParseValue(const CString& text, OpaqueHandle& out, CDataObject* owner) const;
    virtual bool ParseValue(const CString& text, float& out, CDataObject* owner) const;
    virtual bool ParseValue(const CString& text, bool& out, CDataObject* owner) const;
    virtual bool ParseValue(const CString& text, std::int64_t& out, CDataObject* owner) const;
    virtual bool ParseValue(const CString& text, std::uint32_t& out, CDataObject* owner) const;
    virtual bool ParseValue(const CString& text, std::int32_t& out, CDataObject* owner) const;
    virtual bool ParseValue(const CString& text, std::uint16_t& out, CDataObject* owner) const;
    virtual bool ParseValue(const CString& text, std::int16_t& out, CDataObject* owner) const;
    virtual bool ParseValue(const CString& text, std::uint8_t& out, CDataObject* owner) const;
    virtual bool ParseValue(const CString& text, std::int8_t& out, CDataObject* owner) const;
    virtual bool ParseValue(const CString& text, std::string& out, CDataObject* owner) const;
    virtual bool ParseValue(const CString& text, CString& out, CDataObject* owner) const;
    // 29-42
    virtual std::string FormatValue(const CValue& value, CDataObject* owner) const;
    virtual std::string FormatValue(OpaqueHandle value, CDataObject* owner) const;
    virtual std::string FormatValue(double value, CDataObject* owner) const;
    virtual std::string FormatValue(float value, CDataObject* owner) const;
    virtual std::string FormatValue(bool value, CDataObject* owner) const;
    virtual std::string FormatValue(std::int64_t value, CDataObject* owner) const;
    virtual std::string FormatValue(std::uint32_t value, CDataObject* owner) const;
    virtual std::string FormatValue(std::int32_t value, CDataObject* owner) const;
    virtual std::string FormatValue(std::uint16_t value, CDataObject* owner) const;
    virtual std::string FormatValue(std::int16_t value, CDataObject* owner) const;
    virtual std::string FormatValue(std::uint8_t value, CDataObject* owner) const;
    virtual std::string FormatValue(std::int8_t value, CDataObject* owner) const;
    virtual std::string FormatValue(const std::string& value, CDataObject* owner) const;
    virtual std::string FormatValue(const CString& value, CDataObject* owner) const;
    // 43-56
    virtual bool ParseValue(const std::string& text, CValue& out, CDataObject* owner) const;
    virtual bool ParseValue(const std::string& text, double& out, CDataObject* owner) const;
    virtual bool ParseValue(const std::string& text, OpaqueHandle& out, CDataObject* owner) const;
    virtual bool ParseValue(const std::string& text, float& out, CDataObject* owner) const;
    virtual bool ParseValue(const std::string& text, bool& out, CDataObject* owner) const;
    virtual bool ParseValue(const std::string& text, std::int64_t& out, CDataObject* owner) const;
    virtual bool ParseValue(const std::string& text, std::uint32_t& out, CDataObject* owner) const;
    virtual bool ParseValue(const std::string& text, std::int32_t& out, CDataObject* owner) const;
    virtual bool ParseValue(const std::string& text, std::uint16_t& out, CDataObject* owner) const;
    virtual bool ParseValue(const std::string& text, std::int16_t& out, CDataObject* owner) const;
    virtual bool ParseValue(const std::string& text, std::uint8_t& out, CDataObject* owner) const;
    virtual bool ParseValue(const std::string& text, std::int8_t& out, CDataObject* owner) const;
    virtual bool ParseValue(const std::string& text, std::string& out, CDataObject* owner) const;
    virtual bool ParseValue(const std::string& text, CString& out, CDataObject* owner) const;
    // 57-62
    virtual bool IsDateTimeFormat() const;
    virtual bool IsEnumFormat() const;
    virtual CFormat* Clone() const = 0;
    virtual std::string GetClassName() const;
    virtual bool IsSerializable() const;
    virtual void Serialize(CSerializer& serializer);

protected:
    // Stores the library version, or restores and checks it: throws
    // BadVersionException naming `shortClassName` for a newer version.
    // Returns true when the settings that follow are to be stored or read.
    static bool SerializeVersion(CSerializer& serializer, const char* shortClassName);
    // The same, naming the class by GetClassName without its namespace.
    bool SerializeVersion(CSerializer& serializer) const;

private:
    FieldType m_valueType;
};

// Parameter type of a typed operation: strings by const reference.
template <class T>
using FormatArg = std::conditional_t<std::is_same_v<T, std::string> || std::is_same_v<T, CString>, const T&, T>;

// Base of the formats whose real conversions for T are written on
// std::string: supplies the CString forms and keeps the other overloads
// visible.
template <class T>
class KESTRUM_COMMON_EXPORT CTypedFormat : public CFormat {
public:
    using CFormat::CFormat;
    using CFormat::FormatValue;
    using CFormat::FormatValueAsCString;
    using CFormat::ParseValue;

    CString FormatValueAsCString(FormatArg<T> value, CDataObject* owner) const override
    {
        return CString(FormatValue(value, owner));
    }
    bool ParseValue(const CString& text, T& out, CDataObject* owner) const override
    {
        return ParseValue(text.ToStdString(), out, owner);
    }
    bool IsSerializable() const override { return true; }
};

} // namespace Kestrum::Common
