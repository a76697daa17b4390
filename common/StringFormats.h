// The formats that convert nothing (CEmptyFormat) and the two that pass text
// through unchanged (CDefaultStlStringFormat, CDefaultMfcStringFormat).
#pragma once

#include "common/Export.h"

#include "common/Format.h"

namespace Kestrum::Common {

class KESTRUM_COMMON_EXPORT CEmptyFormat : public CFormat {
public:
    using CFormat::FormatValue;
    using CFormat::FormatValueAsCString;
    using CFormat::ParseValue;

    explicit CEmptyFormat(FieldType valueType = FT_EMPTY) noexcept : CFormat(valueType) {}

    CString FormatValueAsCString(const CValue& value, CDataObject* owner) const override;
    bool ParseValue(const CString& text, CValue& out, CDataObject* owner) const override;
    std::string FormatValue(const CValue& value, CDataObject* owner) const override;
    bool ParseValue(const std::string& text, CValue& out, CDataObject* owner) const override;
    CFormat* Clone() const override { return new CEmptyFormat(*this); }
    std::string GetClassName() const override { return "Common::CEmptyFormat"; }
    bool IsSerializable() const override { return true; }
    void Serialize(CSerializer& serializer) override;
};

// Works on std::string; the CString forms convert.
class KESTRUM_COMMON_EXPORT CDefaultStlStringFormat : public CTypedFormat<std::string> {
public:
    using CTypedFormat::FormatValue;
    using CTypedFormat::ParseValue;

    CDefaultStlStringFormat() noexcept : CTypedFormat(FT_STLSTRING) {}

    std::string FormatValue(const std::string& value, CDataObject* owner) const override;
    bool ParseValue(const std::string& text, std::string& out, CDataObject* owner) const override;
    CFormat* Clone() const override { return new CDefaultStlStringFormat(*this); }
    std::string GetClassName() const override { return "Common::CDefaultStlStringFormat"; }
    void Serialize(CSerializer& serializer) override;
};

// Works on CString; the std::string forms convert.
class KESTRUM_COMMON_EXPORT CDefaultMfcStringFormat : public CFormat {
public:
    using CFormat::FormatValue;
    using CFormat::FormatValueAsCString;
    using CFormat::ParseValue;

    CDefaultMfcStringFormat() noexcept : CFormat(FT_MFCSTRING) {}

    CString FormatValueAsCString(const CString& value, CDataObject* owner) const override;
    bool ParseValue(const CString& text, CString& out, CDataObject* owner) const override;
    std::string FormatValue(const CString& value, CDataObject* owner) const override;
    bool ParseValue(const std::string& text, CString& out, CDataObject* owner) const override;
    CFormat* Clone() const override { return new CDefaultMfcStringFormat(*this); }
    std::string GetClassName() const override { return "Common::CDefaultMfcStringFormat"; }
    bool IsSerializable() const override { return true; }
    void Serialize(CSerializer& serializer) override;
};

} // namespace Kestrum::Common
