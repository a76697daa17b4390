// CFieldMap: the table of field descriptors of one class, ordered by id.
//
// A class's map is a function-local static inside its GetFieldMap override,
// filled once during static initialisation (KESTRUM_REGISTER_FIELDS) and only
// read afterwards, so any thread may read it without a lock.
#pragma once

#include "common/Export.h"

#include <map>

#include "common/Field.h"

namespace Kestrum::Common {

class KESTRUM_COMMON_EXPORT CFieldMap {
public:
    using Map = std::map<FieldId, CField*>;

    CFieldMap() = default;
    CFieldMap(const CFieldMap&) = delete;
    CFieldMap& operator=(const CFieldMap&) = delete;
    virtual ~CFieldMap();

    // Stores the field under id and takes ownership; false (caller keeps the
    // field) for a null field or an id already present.
    bool Add(FieldId id, CField* field);
    CField* Find(FieldId id) const;
    std::size_t GetCount() const noexcept { return m_fields.size(); }

    Map::const_iterator begin() const noexcept { return m_fields.begin(); }
    Map::const_iterator end() const noexcept { return m_fields.end(); }

private:
    Map m_fields;
};

} // namespace Kestrum::Common

// Gives a data-object class its one field map: declare in the class body...
#define KESTRUM_DECLARE_FIELD_MAP()                                     \
public:                                                                 \
    ::Kestrum::Common::CFieldMap* GetFieldMap() override;               \
    static ::Kestrum::Common::CFieldMap& ClassFieldMap();               \
                                                                        \
private:                                                                \
    struct CFieldRegistrar;                                             \
    static const CFieldRegistrar s_fieldRegistrar

// ...and define in one source file; the block after the macro fills the map
// `map` once at start-up, for example
//   KESTRUM_REGISTER_FIELDS(CFileData) { map.Add(0, KESTRUM_FIELD(...)); }
#define KESTRUM_REGISTER_FIELDS(Class)                                                           \
    ::Kestrum::Common::CFieldMap& Class::ClassFieldMap()                                         \
    {                                                                                            \
        static ::Kestrum::Common::CFieldMap map;                                                 \
        return map;                                                                              \
    }                                                                                            \
    ::Kestrum::Common::CFieldMap* Class::GetFieldMap() { return &ClassFieldMap(); }              \
    struct Class::CFieldRegistrar {                                                              \
        CFieldRegistrar() { Fill(Class::ClassFieldMap()); }                                      \
        static void Fill(::Kestrum::Common::CFieldMap& map);                                     \
    };                                                                                           \
    const Class::CFieldRegistrar Class::s_fieldRegistrar;                                        \
    void Class::CFieldRegistrar::Fill([[maybe_unused]] ::Kestrum::Common::CFieldMap& map)
