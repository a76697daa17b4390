// CDynamicObject: a data object without a class of its own. Values live in a
// table keyed by field id; descriptors may be added at run time.
//
// Every access to the map and the values is made under the object's own
// recursive lock; notifications are sent after it is released, on the thread
// that set the value.
#pragma once

#include "common/Export.h"

#include "common/DataObject.h"

namespace Kestrum::Common {

class KESTRUM_COMMON_EXPORT CDynamicObject : public CDataObject {
public:
    explicit CDynamicObject(bool notifyOnChange);
    ~CDynamicObject() override;

    FieldBinding GetField(FieldId id) override;
    void GetFields(std::set<FieldBinding>& bindings) override;
    void GetFieldIds(std::set<FieldId>& ids) override;
    CFieldMap* GetFieldMap() override;
    bool IsReadable(FieldId id) override;
    bool IsWritable(FieldId id) override;
    FieldType GetFieldType(FieldId id) override;
    std::string GetFieldCaption(FieldId id) override;
    CFormat* GetFieldFormat(FieldId id) override;

    CString GetMfcString(FieldId id) override;
    std::string GetStlString(FieldId id) override;
    std::int8_t GetChar(FieldId id) override;
    std::uint8_t GetUChar(FieldId id) override;
    std::int16_t GetShort(FieldId id) override;
    std::uint16_t GetUShort(FieldId id) override;
    std::int32_t GetLong(FieldId id) override;
    std::uint32_t GetULong(FieldId id) override;
    std::int64_t GetInt64(FieldId id) override;
    bool GetBool(FieldId id) override;
    float GetFloat(FieldId id) override;
    double GetDouble(FieldId id) override;
    OpaqueHandle GetHandle(FieldId id) override;
    CValue GetValue(FieldId id) override;

    bool SetMfcString(FieldId id, const CString& value) override;
    bool SetStlString(FieldId id, const std::string& value) override;
    bool SetChar(FieldId id, std::int8_t value) override;
    bool SetUChar(FieldId id, std::uint8_t value) override;
    bool SetShort(FieldId id, std::int16_t value) override;
    bool SetUShort(FieldId id, std::uint16_t value) override;
    bool SetLong(FieldId id, std::int32_t value) override;
    bool SetULong(FieldId id, std::uint32_t value) override;
    bool SetInt64(FieldId id, std::int64_t value) override;
    bool SetBool(FieldId id, bool value) override;
    bool SetFloat(FieldId id, float value) override;
    bool SetDouble(FieldId id, double value) override;
    bool SetHandle(FieldId id, OpaqueHandle value) override;
    bool SetValue(FieldId id, const CValue& value) override;

    CString GetValueTextAsCString(FieldId id, CFormat* format) override;
    bool SetValueText(FieldId id, const CString& text, CFormat* format) override;
    std::string GetValueText(FieldId id, CFormat* format) override;
    bool SetValueText(FieldId id, const std::string& text, CFormat* format) override;

    // 45: adds a descriptor (the map takes ownership); false for a null
    // field, ids -1 and -2, or an id that already has one.
    virtual bool AddField(CField* field);

private:
    template <class T> T GetTyped(FieldId id);
    template <class Text> bool SetTextTyped(FieldId id, const Text& text, CFormat* format);
    CFormat* ChooseTextFormat(FieldId id, CFormat* given, std::int32_t valueType);

    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace Kestrum::Common
