#include "gui/grid/ObjectRegistry.h"

#include "gui/grid/GridItem.h"

#include <algorithm>

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
        if (m_pairs.Insert(object, item))
            subscribe = m_sink;
    }
    if (subscribe)
        object->Subscribe(subscribe);
}

void CObjectRegistry::Unregister(Common::CDataObject* object, CGridItem* item)
{
    Common::CDataObject::ISink* unsubscribe = nullptr;
    {
        std::lock_guard lock(m_lock);
        bool last = false;
        if (m_pairs.Erase(object, item, last) && last && !m_disposing)
            unsubscribe = m_sink;
    }
    if (unsubscribe)
        object->Unsubscribe(unsubscribe);
}

bool CObjectRegistry::SweepTree(const CItemTree& tree)
{
    std::lock_guard lock(m_lock);
    const std::size_t pairs = m_pairs.Size();
    if (pairs == 0 || tree.Size() * 4 < pairs)
        return false;
    m_pairs.EraseIf([&](const CGridItem* item) { return tree.Contains(item); });
    return true;
}

void CObjectRegistry::UnsubscribeUnpaired(std::vector<Common::CDataObject*>& objects)
{
    Common::CDataObject::ISink* unsubscribe = nullptr;
    {
        std::lock_guard lock(m_lock);
        if (m_disposing || !m_sink)
            return;
        unsubscribe = m_sink;
        // An object paired again since the sweep keeps its subscription.
        std::erase_if(objects, [&](Common::CDataObject* object) { return m_pairs.ContainsKey(object); });
    }
    for (Common::CDataObject* object : objects)
        object->Unsubscribe(unsubscribe); // a second call for the same object finds nothing
}

bool CObjectRegistry::Contains(Common::CDataObject* object, CGridItem* item) const
{
    std::lock_guard lock(m_lock);
    return m_pairs.Contains(object, item);
}

bool CObjectRegistry::ContainsObject(Common::CDataObject* object) const
{
    std::lock_guard lock(m_lock);
    return m_pairs.ContainsKey(object);
}

void CObjectRegistry::FindItems(Common::CDataObject* object, std::vector<CGridItem*>& items, const CGridRows* grid) const
{
    std::lock_guard lock(m_lock);
    m_pairs.ForEach(object, [&](CGridItem* item) {
        CItemTree* tree = item->GetTree();
        if (tree && tree->GetKind() != TreeDetached && (!grid || tree->GetOwner() == grid))
            items.push_back(item);
    });
}

bool CObjectRegistry::FindSoleItem(Common::CDataObject* object, const CGridRows* grid, CGridItem*& item) const
{
    item = nullptr;
    bool sole = true;
    std::lock_guard lock(m_lock);
    m_pairs.ForEach(object, [&](CGridItem* paired) {
        CItemTree* tree = paired->GetTree();
        if (!tree || tree->GetKind() == TreeDetached || tree->GetOwner() != grid)
            return;
        if (item)
            sole = false;
        else
            item = paired;
    });
    return sole;
}

std::vector<CGridItem*> CObjectRegistry::AllItems(Common::CDataObject* object) const
{
    std::lock_guard lock(m_lock);
    std::vector<CGridItem*> items;
    m_pairs.ForEach(object, [&](CGridItem* item) { items.push_back(item); });
    return items;
}

void CObjectRegistry::EraseObject(Common::CDataObject* object)
{
    std::lock_guard lock(m_lock);
    m_pairs.EraseKey(object);
}

} // namespace Kestrum::GUI
