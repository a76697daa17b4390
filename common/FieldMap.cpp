#include "common/FieldMap.h"

namespace Kestrum::Common {

CFieldMap::~CFieldMap()
{
    for (auto& [id, field] : m_fields)
        delete field;
}

bool CFieldMap::Add(FieldId id, CField* field)
{
    if (!field)
        return false;
    return m_fields.emplace(id, field).second;
}

CField* CFieldMap::Find(FieldId id) const
{
    const auto it = m_fields.find(id);
    return it == m_fields.end() ? nullptr : it->second;
}

} // namespace Kestrum::Common
