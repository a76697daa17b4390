#include "common/StringFormats.h"

namespace Kestrum::Common {

CString CEmptyFormat::FormatValueAsCString(const CValue&, CDataObject*) const { return {}; }
bool CEmptyFormat::ParseValue(const CString&, CValue&, CDataObject*) const { return false; }
std::string CEmptyFormat::FormatValue(const CValue&, CDataObject*) const { return {}; }
bool CEmptyFormat::ParseValue(const std::string&, CValue&, CDataObject*) const { return false; }
void CEmptyFormat::Serialize(CSerializer& serializer) { SerializeVersion(serializer, "CEmptyFormat"); }

std::string CDefaultStlStringFormat::FormatValue(const std::string& value, CDataObject*) const { return value; }

bool CDefaultStlStringFormat::ParseValue(const std::string& text, std::string& out, CDataObject*) const
{
    out = text;
    return true;
}

void CDefaultStlStringFormat::Serialize(CSerializer& serializer)
{
    SerializeVersion(serializer, "CDefaultStlStringFormat");
}

CString CDefaultMfcStringFormat::FormatValueAsCString(const CString& value, CDataObject*) const { return value; }

bool CDefaultMfcStringFormat::ParseValue(const CString& text, CString& out, CDataObject*) const
{
    out = text;
    return true;
}

std::string CDefaultMfcStringFormat::FormatValue(const CString& value, CDataObject* owner) const
{
    return FormatValueAsCString(value, owner).ToStdString();
}

bool CDefaultMfcStringFormat::ParseValue(const std::string& text, CString& out, CDataObject* owner) const
{
    return ParseValue(CString(text), out, owner);
}

void CDefaultMfcStringFormat::Serialize(CSerializer& serializer)
{
    SerializeVersion(serializer, "CDefaultMfcStringFormat");
}

} // namespace Kestrum::Common
