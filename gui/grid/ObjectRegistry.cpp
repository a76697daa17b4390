#include "gui/grid/ObjectRegistry.h"

#include "gui/grid/GridItem.h"

namespace Kestrum::GUI {

CObjectRegistry& CObjectRegistry::Instance()
{
    static CObjectRegistry registry;
    return registry;
}

void CObjectRegistry::SetSink(Common::CDataObject::ISink* sink)
{
    std::lock_guard lock(m_lock);
    m_sink = sink;
}

Common::CDataObject::ISink* CObjectRegistry::GetSink() const
{
    std::lock_guard lock(m_lock);
    return m_sink;
}

void CObjectRegistry::Register(Common::CDataObject* object, CGridItem* item)
{
    Common::CDataObject::ISink* subscribe = nullptr;
    {
        std::lock_guard lock(m_lock);
        if (m_pairs.count(object) == 0)
            subscribe = m_sink;
        m_pairs.emplace(object, item);
    }
    if (subscribe)
        object->Subscribe(subscribe);
}

void CObjectRegistry::Unregister(Common::CDataObject* object, CGridItem* item)
{
    Common::CDataObject::ISink* unsubscribe = nullptr;
    {
        std::lock_guard lock(m_lock);
        auto [first, last] = m_pairs.equal_range(object);
        for (auto it = first; it != last; ++it) {
            if (it->second == item) {
                m_pairs.erase(it);
                if (m_pairs.count(object) == 0 && !m_disposing)
                    unsubscribe = m_sink;
                break;
            }
        }
    }
    if (unsubscribe)
        object->Unsubscribe(unsubscribe);
}

bool CObjectRegistry::Contains(Common::CDataObject* object, CGridItem* item) const
{
    std::lock_guard lock(m_lock);
    auto [first, last] = m_pairs.equal_range(object);
    for (auto it = first; it != last; ++it)
        if (it->second == item)
            return true;
    return false;
}

bool CObjectRegistry::ContainsObject(Common::CDataObject* object) const
{
    std::lock_guard lock(m_lock);
    return m_pairs.count(object) != 0;
}

void CObjectRegistry::FindItems(Common::CDataObject* object, std::vector<CGridItem*>& items, const CGridRows* grid) const
{
    std::lock_guard lock(m_lock);
    auto [first, last] = m_pairs.equal_range(object);
    for (auto it = first; it != last; ++it) {
        CItemTree* tree = it->second->GetTree();
        if (tree && tree->GetKind() != TreeDetached && (!grid || tree->GetOwner() == grid))
            items.push_back(it->second);
    }
}

bool CObjectRegistry::FindSoleItem(Common::CDataObject* object, const CGridRows* grid, CGridItem*& item) const
{
    item = nullptr;
    std::lock_guard lock(m_lock);
    auto [first, last] = m_pairs.equal_range(object);
    for (auto it = first; it != last; ++it) {
        CItemTree* tree = it->second->GetTree();
        if (!tree || tree->GetKind() == TreeDetached || tree->GetOwner() != grid)
            continue;
        if (item)
            return false;
        item = it->second;
    }
    return true;
}

std::vector<CGridItem*> CObjectRegistry::AllItems(Common::CDataObject* object) const
{
    std::lock_guard lock(m_lock);
    std::vector<CGridItem*> items;
    auto [first, last] = m_pairs.equal_range(object);
    for (auto it = first; it != last; ++it)
        items.push_back(it->second);
    return items;
}

void CObjectRegistry::EraseObject(Common::CDataObject* object)
{
    std::lock_guard lock(m_lock);
    m_pairs.erase(object);
}

} // namespace Kestrum::GUI
