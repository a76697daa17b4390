#include "SampleObject.h"

namespace Kestrum::Test {

KESTRUM_REGISTER_FIELDS(CSampleObject)
{
    map.Add(F_NAME, KESTRUM_FIELD(F_NAME, "Name", &CSampleObject::GetName, &CSampleObject::SetName, nullptr));
    map.Add(F_PATH, KESTRUM_FIELD(F_PATH, "Path", &CSampleObject::GetPath, &CSampleObject::SetPath, nullptr));
    map.Add(F_CHAR, KESTRUM_FIELD(F_CHAR, "Char", &CSampleObject::GetCharValue, &CSampleObject::SetCharValue, nullptr));
    map.Add(F_UCHAR, KESTRUM_FIELD(F_UCHAR, "UChar", &CSampleObject::GetUCharValue, &CSampleObject::SetUCharValue, nullptr));
    map.Add(F_SHORT, KESTRUM_FIELD(F_SHORT, "Short", &CSampleObject::GetShortValue, &CSampleObject::SetShortValue, nullptr));
    map.Add(F_USHORT, KESTRUM_FIELD(F_USHORT, "UShort", &CSampleObject::GetUShortValue, &CSampleObject::SetUShortValue, nullptr));
    map.Add(F_LONG, KESTRUM_FIELD(F_LONG, "Long", &CSampleObject::GetLongValue, &CSampleObject::SetLongValue, nullptr));
    map.Add(F_ULONG, KESTRUM_FIELD(F_ULONG, "ULong", &CSampleObject::GetULongValue, &CSampleObject::SetULongValue, nullptr));
    map.Add(F_INT64, KESTRUM_FIELD(F_INT64, "Int64", &CSampleObject::GetInt64Value, &CSampleObject::SetInt64Value, nullptr));
    map.Add(F_BOOL, KESTRUM_FIELD(F_BOOL, "Bool", &CSampleObject::GetBoolValue, &CSampleObject::SetBoolValue, nullptr));
    map.Add(F_FLOAT, KESTRUM_FIELD(F_FLOAT, "Float", &CSampleObject::GetFloatValue, &CSampleObject::SetFloatValue, nullptr));
    map.Add(F_DOUBLE, KESTRUM_FIELD(F_DOUBLE, "Double", &CSampleObject::GetDoubleValue, &CSampleObject::SetDoubleValue, nullptr));
    map.Add(F_HANDLE, KESTRUM_FIELD(F_HANDLE, "Handle", &CSampleObject::GetHandleValue, &CSampleObject::SetHandleValue, nullptr));
    map.Add(F_READONLY, KESTRUM_FIELD(F_READONLY, "ReadOnly", &CSampleObject::GetReadOnly, 0, nullptr));
}

} // namespace Kestrum::Test
