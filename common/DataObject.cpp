#include "common/DataObject.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <mutex>
#include <vector>

#include "common/Format.h"
#include "common/FormatRegistry.h"

namespace Kestrum::Common {

namespace {

// Calls fn with a value-initialised T for the type code; false for codes
// outside 1..13.
template <class Fn> bool VisitType(std::int32_t code, Fn&& fn)
{
    switch (code) {
    case FT_MFCSTRING: fn(CString()); return true;
    case FT_STLSTRING: fn(std::string()); return true;
    case FT_CHAR: fn(std::int8_t{}); return true;
    case FT_UCHAR: fn(std::uint8_t{}); return true;
    case FT_SHORT: fn(std::int16_t{}); return true;
    case FT_USHORT: fn(std::uint16_t{}); return true;
    case FT_LONG: fn(std::int32_t{}); return true;
    case FT_ULONG: fn(std::uint32_t{}); return true;
    case FT_INT64: fn(std::int64_t{}); return true;
    case FT_BOOL: fn(false); return true;
    case FT_FLOAT: fn(0.0f); return true;
    case FT_DOUBLE: fn(0.0); return true;
    case FT_HANDLE: fn(OpaqueHandle{}); return true;
    default: return false;
    }
}

CFormat* ChooseFormat(CFormat* given, const CField& field)
{
    if (given)
        return given;
    if (field.GetFormat())
        return field.GetFormat();
    return GetDefaultFormat(field.GetType());
}

template <class To, class From> To ConvertText(const From& text)
{
    if constexpr (std::is_same_v<To, From>)
        return text;
    else if constexpr (std::is_same_v<To, CString>)
        return CString(text);
    else
        return text.ToStdString();
}

} // namespace

struct CDataObject::Impl {
    std::uint32_t count = 0;
    std::uint32_t capacity = 0;
    ISink* sinks[1]; // subscription order, no duplicates, no nulls

    static Impl* Make(std::uint32_t capacity)
    {
        void* memory = ::operator new(offsetof(Impl, sinks) + sizeof(ISink*) * capacity);
        Impl* impl = new (memory) Impl;
        impl->capacity = capacity;
        return impl;
    }
    static void Free(Impl* impl) { ::operator delete(impl); }
};

namespace {

std::recursive_mutex& SinkLockOf(const CDataObject* object)
{
    static std::recursive_mutex locks[64];
    const auto address = reinterpret_cast<std::uintptr_t>(object);
    return locks[(address >> 4 ^ address >> 10) & 63];
}

// A copy of a subscriber list, kept on the stack for the usual few sinks.
class CSinkCopy {
public:
    template <class List> explicit CSinkCopy(const List* list)
    {
        if (!list)
            return;
        m_count = list->count;
        if (m_count > kInline) {
            m_heap.assign(list->sinks, list->sinks + m_count);
        } else {
            std::copy(list->sinks, list->sinks + m_count, m_inline);
        }
    }
    CDataObject::ISink* const* begin() const { return m_count > kInline ? m_heap.data() : m_inline; }
    CDataObject::ISink* const* end() const { return begin() + m_count; }

private:
    static constexpr std::uint32_t kInline = 4;
    std::uint32_t m_count = 0;
    CDataObject::ISink* m_inline[kInline] = {};
    std::vector<CDataObject::ISink*> m_heap;
};

} // namespace

void CDataObject::ISink::OnFieldsChanged(const std::set<FieldId>& ids, CDataObject* object)
{
    for (const FieldId id : ids)
        OnFieldChanged(id, object);
}

void CDataObject::ISink::OnDispose(CDataObject*) {}

CDataObject::CDataObject() = default;

CDataObject::~CDataObject()
{
    NotifyDispose();
}

// m_impl is either null, a single sink tagged with the low bit (no
// allocation for the usual one subscriber), or a list.
namespace {
constexpr std::uintptr_t kSingleSink = 1;
}

bool CDataObject::HasSingleSink() const noexcept { return (reinterpret_cast<std::uintptr_t>(m_impl) & kSingleSink) != 0; }

CDataObject::ISink* CDataObject::SingleSink() const noexcept
{
    return reinterpret_cast<ISink*>(reinterpret_cast<std::uintptr_t>(m_impl) & ~kSingleSink);
}

void CDataObject::CopySinks(std::vector<ISink*>& sinks) const
{
    if (!m_impl)
        return;
    if (HasSingleSink())
        sinks.push_back(SingleSink());
    else
        sinks.assign(m_impl->sinks, m_impl->sinks + m_impl->count);
}

void CDataObject::FreeSinks() noexcept
{
    if (m_impl && !HasSingleSink())
        Impl::Free(m_impl);
    m_impl = nullptr;
}

void CDataObject::NotifyDispose()
{
    // Nobody to tell: no lock to take. Whoever destroys an object has
    // synchronized with its last user, so the list reads without the lock
    // (a closing window frees a million objects nobody listens to).
    if (!m_impl)
        return;
    std::vector<ISink*> sinks;
    {
        std::lock_guard lock(SinkLockOf(this));
        CopySinks(sinks);
        FreeSinks();
    }
    for (ISink* sink : sinks)
        sink->OnDispose(this);
}

void CDataObject::Subscribe(ISink* sink)
{
    if (!sink)
        return;
    std::lock_guard lock(SinkLockOf(this));
    if (!m_impl) {
        if ((reinterpret_cast<std::uintptr_t>(sink) & kSingleSink) == 0) {
            m_impl = reinterpret_cast<Impl*>(reinterpret_cast<std::uintptr_t>(sink) | kSingleSink);
            OnSubscribersChanged(&sink, 1);
            return;
        }
        m_impl = Impl::Make(2);
    } else if (HasSingleSink()) {
        ISink* first = SingleSink();
        if (first == sink)
            return;
        m_impl = Impl::Make(2);
        m_impl->sinks[m_impl->count++] = first;
    } else if (std::find(m_impl->sinks, m_impl->sinks + m_impl->count, sink) != m_impl->sinks + m_impl->count) {
        return;
    }
    if (m_impl->count == m_impl->capacity) {
        Impl* grown = Impl::Make(m_impl->capacity * 2);
        std::copy(m_impl->sinks, m_impl->sinks + m_impl->count, grown->sinks);
        grown->count = m_impl->count;
        Impl::Free(m_impl);
        m_impl = grown;
    }
    m_impl->sinks[m_impl->count++] = sink;
    OnSubscribersChanged(m_impl->sinks, m_impl->count);
}

void CDataObject::Unsubscribe(ISink* sink)
{
    std::lock_guard lock(SinkLockOf(this));
    if (!m_impl)
        return;
    if (HasSingleSink()) {
        if (SingleSink() == sink) {
            m_impl = nullptr;
            OnSubscribersChanged(nullptr, 0);
        }
        return;
    }
    ISink** end = m_impl->sinks + m_impl->count;
    ISink** it = std::find(m_impl->sinks, end, sink);
    if (it == end)
        return;
    std::copy(it + 1, end, it);
    if (--m_impl->count == 0) {
        FreeSinks();
        OnSubscribersChanged(nullptr, 0);
        return;
    }
    OnSubscribersChanged(m_impl->sinks, m_impl->count);
}

void CDataObject::OnSubscribersChanged(ISink* const*, std::size_t) {}

void CDataObject::AppendSubscribers(std::vector<ISink*>& sinks) const
{
    std::lock_guard lock(SinkLockOf(this));
    if (!m_impl)
        return;
    if (HasSingleSink())
        sinks.push_back(SingleSink());
    else
        sinks.insert(sinks.end(), m_impl->sinks, m_impl->sinks + m_impl->count);
}

bool CDataObject::HasSubscribers() const
{
    std::lock_guard lock(SinkLockOf(this));
    return m_impl != nullptr;
}

template <class Call> void CDataObject::ForEachSink(Call&& call)
{
    // Sinks run on a copy of the list, after the lock is released.
    std::unique_lock lock(SinkLockOf(this));
    if (HasSingleSink()) {
        ISink* sink = SingleSink();
        lock.unlock();
        call(sink);
        return;
    }
    const CSinkCopy sinks(m_impl);
    lock.unlock();
    for (ISink* sink : sinks)
        call(sink);
}

void CDataObject::NotifyFieldChanged(FieldId id)
{
    ForEachSink([&](ISink* sink) { sink->OnFieldChanged(id, this); });
}

void CDataObject::NotifyFieldsChanged(const std::set<FieldId>& ids)
{
    ForEachSink([&](ISink* sink) { sink->OnFieldsChanged(ids, this); });
}

FieldBinding CDataObject::GetField(FieldId id)
{
    CFieldMap* map = GetFieldMap();
    if (!map)
        return {};
    return {map->Find(id), this};
}

void CDataObject::GetFields(std::set<FieldBinding>& bindings)
{
    if (CFieldMap* map = GetFieldMap()) {
        for (const auto& [id, field] : *map)
            bindings.insert({field, this});
    }
}

void CDataObject::GetFieldIds(std::set<FieldId>& ids)
{
    if (CFieldMap* map = GetFieldMap()) {
        for (const auto& entry : *map)
            ids.insert(entry.first);
    }
}

bool CDataObject::IsReadable(FieldId id)
{
    const FieldBinding binding = GetField(id);
    return binding.field && binding.field->HasGetter();
}

bool CDataObject::IsWritable(FieldId id)
{
    const FieldBinding binding = GetField(id);
    return binding.field && binding.field->HasSetter();
}

FieldType CDataObject::GetFieldType(FieldId id)
{
    const FieldBinding binding = GetField(id);
    return binding.field ? binding.field->GetType() : FT_EMPTY;
}

std::string CDataObject::GetFieldCaption(FieldId id)
{
    const FieldBinding binding = GetField(id);
    return binding.field ? binding.field->GetCaption() : std::string();
}

CFormat* CDataObject::GetFieldFormat(FieldId id)
{
    const FieldBinding binding = GetField(id);
    return binding.field ? binding.field->GetFormat() : nullptr;
}

template <class T> T CDataObject::GetTyped(FieldId id)
{
    const FieldBinding binding = GetField(id);
    if (binding.field && binding.target) {
        if (const CFieldGetter<T>* getter = binding.field->GetGetter<T>())
            return getter->Get(*binding.target);
    }
    return T{};
}

template <class T> bool CDataObject::SetTyped(FieldId id, const T& value)
{
    const FieldBinding binding = GetField(id);
    if (binding.field && binding.target) {
        if (const CFieldSetter<T>* setter = binding.field->GetSetter<T>()) {
            setter->Set(*binding.target, value);
            return true;
        }
    }
    return false;
}

CString CDataObject::GetMfcString(FieldId id) { return GetTyped<CString>(id); }
std::string CDataObject::GetStlString(FieldId id) { return GetTyped<std::string>(id); }
std::int8_t CDataObject::GetChar(FieldId id) { return GetTyped<std::int8_t>(id); }
std::uint8_t CDataObject::GetUChar(FieldId id) { return GetTyped<std::uint8_t>(id); }
std::int16_t CDataObject::GetShort(FieldId id) { return GetTyped<std::int16_t>(id); }
std::uint16_t CDataObject::GetUShort(FieldId id) { return GetTyped<std::uint16_t>(id); }
std::int32_t CDataObject::GetLong(FieldId id) { return GetTyped<std::int32_t>(id); }
std::uint32_t CDataObject::GetULong(FieldId id) { return GetTyped<std::uint32_t>(id); }
std::int64_t CDataObject::GetInt64(FieldId id) { return GetTyped<std::int64_t>(id); }
bool CDataObject::GetBool(FieldId id) { return GetTyped<bool>(id); }
float CDataObject::GetFloat(FieldId id) { return GetTyped<float>(id); }
double CDataObject::GetDouble(FieldId id) { return GetTyped<double>(id); }
OpaqueHandle CDataObject::GetHandle(FieldId id) { return GetTyped<OpaqueHandle>(id); }

bool CDataObject::SetMfcString(FieldId id, const CString& value) { return SetTyped(id, value); }
bool CDataObject::SetStlString(FieldId id, const std::string& value) { return SetTyped(id, value); }
bool CDataObject::SetChar(FieldId id, std::int8_t value) { return SetTyped(id, value); }
bool CDataObject::SetUChar(FieldId id, std::uint8_t value) { return SetTyped(id, value); }
bool CDataObject::SetShort(FieldId id, std::int16_t value) { return SetTyped(id, value); }
bool CDataObject::SetUShort(FieldId id, std::uint16_t value) { return SetTyped(id, value); }
bool CDataObject::SetLong(FieldId id, std::int32_t value) { return SetTyped(id, value); }
bool CDataObject::SetULong(FieldId id, std::uint32_t value) { return SetTyped(id, value); }
bool CDataObject::SetInt64(FieldId id, std::int64_t value) { return SetTyped(id, value); }
bool CDataObject::SetBool(FieldId id, bool value) { return SetTyped(id, value); }
bool CDataObject::SetFloat(FieldId id, float value) { return SetTyped(id, value); }
bool CDataObject::SetDouble(FieldId id, double value) { return SetTyped(id, value); }
bool CDataObject::SetHandle(FieldId id, OpaqueHandle value) { return SetTyped(id, value); }

CValue CDataObject::GetValue(FieldId id)
{
    const FieldBinding binding = GetField(id);
    CValue result;
    if (!binding.field)
        return result;
    VisitType(binding.field->GetType(), [&](auto zero) {
        using T = decltype(zero);
        const CFieldGetter<T>* getter = binding.target ? binding.field->GetGetter<T>() : nullptr;
        result = CValue(getter ? getter->Get(*binding.target) : zero);
    });
    return result;
}

bool CDataObject::SetValue(FieldId id, const CValue& value)
{
    const FieldBinding binding = GetField(id);
    if (!binding.field || !binding.target)
        return false;
    bool done = false;
    VisitType(binding.field->GetType(), [&](auto zero) {
        using T = decltype(zero);
        if (const CFieldSetter<T>* setter = binding.field->GetSetter<T>()) {
            // A value of another type gives the field type's zero.
            setter->Set(*binding.target, value.GetType() == FieldTypeOf<T>::value ? value.Get<T>() : zero);
            done = true;
        }
    });
    return done;
}

CString CDataObject::GetValueTextAsCString(FieldId id, CFormat* format)
{
    const FieldBinding binding = GetField(id);
    CString text;
    if (!binding.field || !binding.target || !binding.field->HasGetter())
        return text;
    CFormat* chosen = ChooseFormat(format, *binding.field);
    VisitType(binding.field->GetType(), [&](auto zero) {
        using T = decltype(zero);
        if (const CFieldGetter<T>* getter = binding.field->GetGetter<T>())
            text = chosen->FormatValueAsCString(getter->Get(*binding.target), binding.target);
    });
    return text;
}

std::string CDataObject::GetValueText(FieldId id, CFormat* format)
{
    const FieldBinding binding = GetField(id);
    std::string text;
    if (!binding.field || !binding.target || !binding.field->HasGetter())
        return text;
    CFormat* chosen = ChooseFormat(format, *binding.field);
    VisitType(binding.field->GetType(), [&](auto zero) {
        using T = decltype(zero);
        if (const CFieldGetter<T>* getter = binding.field->GetGetter<T>())
            text = chosen->FormatValue(getter->Get(*binding.target), binding.target);
    });
    return text;
}

template <class Text> bool CDataObject::SetTextTyped(FieldId id, const Text& text, CFormat* format)
{
    const FieldBinding binding = GetField(id);
    if (!binding.field || !binding.target || !binding.field->HasSetter())
        return false;
    CFormat* chosen = ChooseFormat(format, *binding.field);
    bool done = false;
    VisitType(binding.field->GetType(), [&](auto zero) {
        using T = decltype(zero);
        const CFieldSetter<T>* setter = binding.field->GetSetter<T>();
        if (!setter)
            return;
        T parsed = zero;
        if (chosen->ParseValue(text, parsed, binding.target)) {
            setter->Set(*binding.target, parsed);
            done = true;
        } else if constexpr (std::is_same_v<T, CString> || std::is_same_v<T, std::string>) {
            // String fields always accept the text itself.
            setter->Set(*binding.target, ConvertText<T>(text));
            done = true;
        }
    });
    return done;
}

bool CDataObject::SetValueText(FieldId id, const CString& text, CFormat* format)
{
    return SetTextTyped(id, text, format);
}

bool CDataObject::SetValueText(FieldId id, const std::string& text, CFormat* format)
{
    return SetTextTyped(id, text, format);
}

const std::string& CDataObject::GetDescription()
{
    static const std::string empty;
    return empty;
}

bool CDataObject::GetUserFlag() { return false; }

void CDataObject::Serialize(CSerializer& serializer)
{
    if (!serializer.IsRestoring()) {
        std::set<FieldBinding> bindings;
        GetFields(bindings);
        std::set<FieldId> ids;
        for (const FieldBinding& binding : bindings)
            if (binding.field)
                ids.insert(binding.field->GetId());
        serializer.Store(SERIALIZATION_VERSION);
        serializer.Store(static_cast<std::int32_t>(ids.size()));
        for (const FieldId id : ids) {
            serializer.Store(id);
            serializer.Store(GetValue(id));
        }
        return;
    }
    std::int32_t version = 0;
    serializer.Restore(version);
    if (version <= 0)
        return;
    std::int32_t count = 0;
    serializer.Restore(count);
    // Each entry takes at least an id and a present byte; a count the data
    // cannot hold is damaged data, refused before the loop runs.
    if (count < 0 || static_cast<std::int64_t>(count) * 5 > serializer.GetRemaining())
        throw CSerializer::SerializationException("Not enough space to restore the value");
    // Everything is read before any field is set: damaged data changes nothing.
    std::vector<std::pair<FieldId, CValue>> values;
    values.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        FieldId id = 0;
        CValue value;
        serializer.Restore(id);
        serializer.Restore(value);
        values.emplace_back(id, std::move(value));
    }
    for (const auto& [id, value] : values)
        SetValue(id, value);
}

} // namespace Kestrum::Common
