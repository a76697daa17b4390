#include "common/DynamicObject.h"

#include <map>
#include <mutex>

#include "common/Format.h"
#include "common/FormatRegistry.h"

namespace Kestrum::Common {

struct CDynamicObject::Impl {
    std::unique_ptr<CFieldMap> map = std::make_unique<CFieldMap>();
    std::map<FieldId, CValue> values;
    bool notifyOnChange = false;
    std::recursive_mutex mutex;
};

namespace {
bool IsReservedId(FieldId id) { return id == FIELD_ALL || id == FIELD_NONE; }
} // namespace

CDynamicObject::CDynamicObject(bool notifyOnChange) : m_impl(std::make_unique<Impl>())
{
    m_impl->notifyOnChange = notifyOnChange;
}

CDynamicObject::~CDynamicObject()
{
    // Subscribers hear of the disposal while the object is still whole.
    NotifyDispose();
    std::lock_guard lock(m_impl->mutex);
    m_impl->map.reset();
    m_impl->values.clear();
}

bool CDynamicObject::AddField(CField* field)
{
    if (!field || IsReservedId(field->GetId()))
        return false;
    std::lock_guard lock(m_impl->mutex);
    return m_impl->map->Add(field->GetId(), field);
}

CFieldMap* CDynamicObject::GetFieldMap()
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->map.get();
}

FieldBinding CDynamicObject::GetField(FieldId id)
{
    std::lock_guard lock(m_impl->mutex);
    return {m_impl->map->Find(id), this};
}

void CDynamicObject::GetFields(std::set<FieldBinding>& bindings)
{
    std::lock_guard lock(m_impl->mutex);
    for (const auto& [id, field] : *m_impl->map)
        bindings.insert({field, this});
}

void CDynamicObject::GetFieldIds(std::set<FieldId>& ids)
{
    std::lock_guard lock(m_impl->mutex);
    for (const auto& entry : *m_impl->map)
        ids.insert(entry.first);
    for (const auto& entry : m_impl->values)
        ids.insert(entry.first);
}

bool CDynamicObject::IsReadable(FieldId id)
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->values.count(id) != 0;
}

bool CDynamicObject::IsWritable(FieldId id) { return IsReadable(id); }

FieldType CDynamicObject::GetFieldType(FieldId id)
{
    std::lock_guard lock(m_impl->mutex);
    const auto it = m_impl->values.find(id);
    return it == m_impl->values.end() ? FT_EMPTY : it->second.GetType();
}

std::string CDynamicObject::GetFieldCaption(FieldId id)
{
    std::lock_guard lock(m_impl->mutex);
    const CField* field = m_impl->map->Find(id);
    return field ? field->GetCaption() : std::string();
}

CFormat* CDynamicObject::GetFieldFormat(FieldId id)
{
    std::lock_guard lock(m_impl->mutex);
    const CField* field = m_impl->map->Find(id);
    return field ? field->GetFormat() : nullptr;
}

CValue CDynamicObject::GetValue(FieldId id)
{
    std::lock_guard lock(m_impl->mutex);
    const auto it = m_impl->values.find(id);
    return it == m_impl->values.end() ? CValue() : it->second;
}

template <class T> T CDynamicObject::GetTyped(FieldId id)
{
    std::lock_guard lock(m_impl->mutex);
    const auto it = m_impl->values.find(id);
    if (it == m_impl->values.end() || it->second.GetType() != FieldTypeOf<T>::value)
        return T{};
    return it->second.Get<T>();
}

CString CDynamicObject::GetMfcString(FieldId id) { return GetTyped<CString>(id); }
std::string CDynamicObject::GetStlString(FieldId id) { return GetTyped<std::string>(id); }
std::int8_t CDynamicObject::GetChar(FieldId id) { return GetTyped<std::int8_t>(id); }
std::uint8_t CDynamicObject::GetUChar(FieldId id) { return GetTyped<std::uint8_t>(id); }
std::int16_t CDynamicObject::GetShort(FieldId id) { return GetTyped<std::int16_t>(id); }
std::uint16_t CDynamicObject::GetUShort(FieldId id) { return GetTyped<std::uint16_t>(id); }
std::int32_t CDynamicObject::GetLong(FieldId id) { return GetTyped<std::int32_t>(id); }
std::uint32_t CDynamicObject::GetULong(FieldId id) { return GetTyped<std::uint32_t>(id); }
std::int64_t CDynamicObject::GetInt64(FieldId id) { return GetTyped<std::int64_t>(id); }
bool CDynamicObject::GetBool(FieldId id) { return GetTyped<bool>(id); }
float CDynamicObject::GetFloat(FieldId id) { return GetTyped<float>(id); }
double CDynamicObject::GetDouble(FieldId id) { return GetTyped<double>(id); }
OpaqueHandle CDynamicObject::GetHandle(FieldId id) { return GetTyped<OpaqueHandle>(id); }

bool CDynamicObject::SetMfcString(FieldId id, const CString& value) { return SetValue(id, CValue(value)); }
bool CDynamicObject::SetStlString(FieldId id, const std::string& value) { return SetValue(id, CValue(value)); }
bool CDynamicObject::SetChar(FieldId id, std::int8_t value) { return SetValue(id, CValue(value)); }
bool CDynamicObject::SetUChar(FieldId id, std::uint8_t value) { return SetValue(id, CValue(value)); }
bool CDynamicObject::SetShort(FieldId id, std::int16_t value) { return SetValue(id, CValue(value)); }
bool CDynamicObject::SetUShort(FieldId id, std::uint16_t value) { return SetValue(id, CValue(value)); }
bool CDynamicObject::SetLong(FieldId id, std::int32_t value) { return SetValue(id, CValue(value)); }
bool CDynamicObject::SetULong(FieldId id, std::uint32_t value) { return SetValue(id, CValue(value)); }
bool CDynamicObject::SetInt64(FieldId id, std::int64_t value) { return SetValue(id, CValue(value)); }
bool CDynamicObject::SetBool(FieldId id, bool value) { return SetValue(id, CValue(value)); }
bool CDynamicObject::SetFloat(FieldId id, float value) { return SetValue(id, CValue(value)); }
bool CDynamicObject::SetDouble(FieldId id, double value) { return SetValue(id, CValue(value)); }
bool CDynamicObject::SetHandle(FieldId id, OpaqueHandle value) { return SetValue(id, CValue(value)); }

bool CDynamicObject::SetValue(FieldId id, const CValue& value)
{
    if (IsReservedId(id))
        return false;
    bool changed = false;
    bool notify = false;
    {
        std::lock_guard lock(m_impl->mutex);
        CValue& stored = m_impl->values[id];
        changed = stored.IsEmpty() || !(stored == value);
        stored = value;
        notify = changed && m_impl->notifyOnChange;
    }
    if (notify)
        NotifyFieldChanged(id);
    return true;
}

CFormat* CDynamicObject::ChooseTextFormat(FieldId id, CFormat* given, std::int32_t valueType)
{
    if (given)
        return given;
    if (const CField* field = m_impl->map->Find(id); field && field->GetFormat())
        return field->GetFormat();
    return GetDefaultFormat(valueType);
}

CString CDynamicObject::GetValueTextAsCString(FieldId id, CFormat* format)
{
    std::lock_guard lock(m_impl->mutex);
    const auto it = m_impl->values.find(id);
    if (it == m_impl->values.end() || it->second.IsEmpty())
        return {};
    return ChooseTextFormat(id, format, it->second.GetType())->FormatValueAsCString(it->second, this);
}

std::string CDynamicObject::GetValueText(FieldId id, CFormat* format)
{
    std::lock_guard lock(m_impl->mutex);
    const auto it = m_impl->values.find(id);
    if (it == m_impl->values.end() || it->second.IsEmpty())
        return {};
    return ChooseTextFormat(id, format, it->second.GetType())->FormatValue(it->second, this);
}

template <class Text> bool CDynamicObject::SetTextTyped(FieldId id, const Text& text, CFormat* format)
{
    if (IsReservedId(id))
        return false;
    bool parsed = false;
    bool notify = false;
    {
        std::lock_guard lock(m_impl->mutex);
        const CField* field = m_impl->map->Find(id);
        if (!field)
            return false;
        CFormat* chosen = ChooseTextFormat(id, format, field->GetType());
        const auto it = m_impl->values.find(id);
        if (it == m_impl->values.end()) {
            CValue fresh;
            parsed = chosen->ParseValue(text, fresh, this);
            if (parsed)
                m_impl->values.emplace(id, std::move(fresh));
        } else {
            parsed = chosen->ParseValue(text, it->second, this);
        }
        notify = parsed && m_impl->notifyOnChange;
    }
    if (notify)
        NotifyFieldChanged(id);
    return parsed;
}

bool CDynamicObject::SetValueText(FieldId id, const CString& text, CFormat* format)
{
    return SetTextTyped(id, text, format);
}

bool CDynamicObject::SetValueText(FieldId id, const std::string& text, CFormat* format)
{
    return SetTextTyped(id, text, format);
}

} // namespace Kestrum::Common
