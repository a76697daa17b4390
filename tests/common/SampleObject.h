// A data-object class with one field of every value type, for the object
// model tests.
#pragma once

#include <atomic>
#include <vector>

#include "common/DataObject.h"
#include "common/Format.h"

namespace Kestrum::Test {

using namespace Kestrum::Common;

enum SampleField : FieldId {
    F_NAME = 0, F_PATH = 1, F_CHAR = 2, F_UCHAR = 3, F_SHORT = 4, F_USHORT = 5, F_LONG = 6, F_ULONG = 7,
    F_INT64 = 8, F_BOOL = 9, F_FLOAT = 10, F_DOUBLE = 11, F_HANDLE = 12, F_READONLY = 20,
};

class CSampleObject : public CDataObject {
    KESTRUM_DECLARE_FIELD_MAP();

public:
    CString GetName() const { return name; }
    void SetName(const CString& v) { name = v; }
    std::string GetPath() const { return path; }
    void SetPath(const std::string& v) { path = v; }
    std::int8_t GetCharValue() const { return c; }
    void SetCharValue(std::int8_t v) { c = v; }
    std::uint8_t GetUCharValue() const { return uc; }
    void SetUCharValue(std::uint8_t v) { uc = v; }
    std::int16_t GetShortValue() const { return s; }
    void SetShortValue(std::int16_t v) { s = v; }
    std::uint16_t GetUShortValue() const { return us; }
    void SetUShortValue(std::uint16_t v) { us = v; }
    std::int32_t GetLongValue() const { return l; }
    void SetLongValue(std::int32_t v) { l = v; }
    std::uint32_t GetULongValue() const { return ul; }
    void SetULongValue(std::uint32_t v) { ul = v; }
    std::int64_t GetInt64Value() const { return i64; }
    void SetInt64Value(std::int64_t v) { i64 = v; }
    bool GetBoolValue() const { return b; }
    void SetBoolValue(bool v) { b = v; }
    float GetFloatValue() const { return f; }
    void SetFloatValue(float v) { f = v; }
    double GetDoubleValue() const { return d; }
    void SetDoubleValue(double v) { d = v; }
    OpaqueHandle GetHandleValue() const { return h; }
    void SetHandleValue(OpaqueHandle v) { h = v; }
    std::int32_t GetReadOnly() const { return 42; }

    CString name;
    std::string path;
    std::int8_t c = 0;
    std::uint8_t uc = 0;
    std::int16_t s = 0;
    std::uint16_t us = 0;
    std::int32_t l = 0;
    std::uint32_t ul = 0;
    std::int64_t i64 = 0;
    bool b = false;
    float f = 0;
    double d = 0;
    OpaqueHandle h = 0;
};

// A format that counts its instances, to check ownership.
class CCountingFormat : public CFormat {
public:
    static inline std::atomic<int> alive{0};
    CCountingFormat() : CFormat(FT_LONG) { ++alive; }
    CCountingFormat(const CCountingFormat& other) : CFormat(other) { ++alive; }
    ~CCountingFormat() override { --alive; }
    CFormat* Clone() const override { return new CCountingFormat(*this); }
};

// A sink that records what it hears.
struct CRecordingSink : CDataObject::ISink {
    std::vector<FieldId> changes;
    std::vector<CDataObject*> disposals;
    void OnFieldChanged(FieldId id, CDataObject*) override { changes.push_back(id); }
    void OnDispose(CDataObject* object) override { disposals.push_back(object); }
};

} // namespace Kestrum::Test
