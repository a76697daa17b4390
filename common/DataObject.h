// CDataObject: the base of every object the grid shows as a row.
//
// Fields are reached by id through the class's field map and typed
// operations; no caller needs class-specific code. Subscribers (ISink) hear
// of field changes and of the object's destruction.
//
// Threads: any thread may call any operation. The subscriber list is guarded
// by the object's recursive lock, which is never held while sinks run:
// sinks are called on the thread that made the change, from a copy of the
// list, so a sink may subscribe, unsubscribe or read fields. Field values are
// guarded by each class itself.
#pragma once

#include "common/Export.h"

#include <cstddef>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/FieldMap.h"
#include "common/Serializer.h"
#include "common/Value.h"

namespace Kestrum::Common {

class CFormat;

// GetField's result: the descriptor (null when the map has no such id) and
// the object its accessors are called on.
struct KESTRUM_COMMON_EXPORT FieldBinding {
    CField* field = nullptr;
    CDataObject* target = nullptr;

    friend bool operator<(const FieldBinding& a, const FieldBinding& b) noexcept
    {
        if (a.field != b.field)
            return std::less<const CField*>()(a.field, b.field);
        return std::less<const CDataObject*>()(a.target, b.target);
    }
    friend bool operator==(const FieldBinding&, const FieldBinding&) = default;
};

class KESTRUM_COMMON_EXPORT CDataObject {
public:
    // Subscriber interface. Sinks are never deleted through it.
    class ISink {
    public:
        // Several fields changed; the default calls OnFieldChanged per id, ascending.
        virtual void OnFieldsChanged(const std::set<FieldId>& ids, CDataObject* object);
        // One field changed; FIELD_ALL (-1) means any field.
        virtual void OnFieldChanged(FieldId id, CDataObject* object) = 0;
        // The object is being destroyed: use the pointer as an identity only.
        virtual void OnDispose(CDataObject* object);

    protected:
        ~ISink() = default;
    };

    CDataObject();
    CDataObject(const CDataObject&) = delete;
    CDataObject& operator=(const CDataObject&) = delete;

    // Subscriptions; a null sink or a duplicate is ignored.
    void Subscribe(ISink* sink);
    void Unsubscribe(ISink* sink);
    void NotifyFieldChanged(FieldId id);
    void NotifyFieldsChanged(const std::set<FieldId>& ids);
    bool HasSubscribers() const;

    // 0
    virtual ~CDataObject();
    // 1-9
    virtual FieldBinding GetField(FieldId id);
    virtual void GetFields(std::set<FieldBinding>& bindings);
    virtual void GetFieldIds(std::set<FieldId>& ids);
    virtual CFieldMap* GetFieldMap() = 0;
    virtual bool IsReadable(FieldId id);
    virtual bool IsWritable(FieldId id);
    virtual FieldType GetFieldType(FieldId id);
    virtual std::string GetFieldCaption(FieldId id);
    virtual CFormat* GetFieldFormat(FieldId id);
    // 10-22
    virtual CString GetMfcString(FieldId id);
    virtual std::string GetStlString(FieldId id);
    virtual std::int8_t GetChar(FieldId id);
    virtual std::uint8_t GetUChar(FieldId id);
    virtual std::int16_t GetShort(FieldId id);
    virtual std::uint16_t GetUShort(FieldId id);
    virtual std::int32_t GetLong(FieldId id);
    virtual std::uint32_t GetULong(FieldId id);
    virtual std::int64_t GetInt64(FieldId id);
    virtual bool GetBool(FieldId id);
    virtual float GetFloat(FieldId id);
    virtual double GetDouble(FieldId id);
    virtual OpaqueHandle GetHandle(FieldId id);
    // 23
    virtual CValue GetValue(FieldId id);
    // 24-36
    virtual bool SetMfcString(FieldId id, const CString& value);
    virtual bool SetStlString(FieldId id, const std::string& value);
    virtual bool SetChar(FieldId id, std::int8_t value);
    virtual bool SetUChar(FieldId id, std::uint8_t value);
    virtual bool SetShort(FieldId id, std::int16_t value);
    virtual bool SetUShort(FieldId id, std::uint16_t value);
    virtual bool SetLong(FieldId id, std::int32_t value);
    virtual bool SetULong(FieldId id, std::uint32_t value);
    virtual bool SetInt64(FieldId id, std::int64_t value);
    virtual bool SetBool(FieldId id, bool value);
    virtual bool SetFloat(FieldId id, float value);
    virtual bool SetDouble(FieldId id, double value);
    virtual bool SetHandle(FieldId id, OpaqueHandle value);
    // 37
    virtual bool SetValue(FieldId id, const CValue& value);
    // 38-41: a null format means the field's own, else its type's default.
    virtual CString GetValueTextAsCString(FieldId id, CFormat* format);
    virtual bool SetValueText(FieldId id, const CString& text, CFormat* format);
    virtual std::string GetValueText(FieldId id, CFormat* format);
    virtual bool SetValueText(FieldId id, const std::string& text, CFormat* format);
    // 42-44
    virtual const std::string& GetDescription();
    virtual bool GetUserFlag();
    virtual void Serialize(CSerializer& serializer);

protected:
    // Tells every subscriber of the disposal and empties the list; a derived
    // destructor may call it while the object is still whole.
    void NotifyDispose();
    // Called after a subscription was added or removed, with the new list,
    // while the list's lock is held: an override may only look at the list
    // and update its own atomics (it must take no other lock and call no
    // sink). Not called while the object is being disposed.
    virtual void OnSubscribersChanged(ISink* const* sinks, std::size_t count);
    // Appends a copy of the subscriber list, in subscription order.
    void AppendSubscribers(std::vector<ISink*>& sinks) const;

private:
    template <class T> T GetTyped(FieldId id);
    template <class T> bool SetTyped(FieldId id, const T& value);
    template <class Text> bool SetTextTyped(FieldId id, const Text& text, CFormat* format);

    // The subscriber list: nothing without subscribers, the sink itself
    // (tagged) for one, an allocated list for more; most objects of a large
    // tree have one or two subscribers. The
    // lock guarding it is one of a fixed set of recursive mutexes chosen by
    // the object's address; it is only ever held for a list operation and
    // nothing else is locked under it, so sharing one cannot deadlock.
    struct Impl;
    bool HasSingleSink() const noexcept;
    ISink* SingleSink() const noexcept;
    void CopySinks(std::vector<ISink*>& sinks) const;
    void FreeSinks() noexcept;
    template <class Call> void ForEachSink(Call&& call);
    Impl* m_impl = nullptr;
};

} // namespace Kestrum::Common
