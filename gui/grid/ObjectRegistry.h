// The process-wide object registry: which grid items are bound to which
// data object, in every grid. The first item of an object subscribes the
// registry's sink to the object and the last one unsubscribes it, both after
// the registry lock is released so the object's own lock is never taken
// under it.
#pragma once

#include "gui/platform/Export.h"

#include <mutex>
#include <vector>

#include "common/DataObject.h"
#include "gui/grid/detail/PointerMultiMap.h"

namespace Kestrum::GUI {

class CGridItem;
class CGridRows;
class CItemTree;

class KESTRUM_GRIDCORE_EXPORT CObjectRegistry {
public:
    static CObjectRegistry& Instance();

    // The sink subscribed to every registered object (the dispatcher).
    void SetSink(Common::CDataObject::ISink* sink);
    Common::CDataObject::ISink* GetSink() const;

    // `object` is the item's object, set before registering and kept until
    // the item is unregistered or its object erased.
    void Register(Common::CDataObject* object, CGridItem* item);
    void Unregister(Common::CDataObject* object, CGridItem* item);
    // A whole tree is going at once. When its items are a large share of the
    // registry, its pairs go in one sweep over the table (its membership
    // tells its items without reading them) and the answer is true: the
    // caller then hands the objects of the items to UnsubscribeUnpaired.
    // Otherwise nothing is done: the items unregister one by one.
    bool SweepTree(const CItemTree& tree);
    // Unsubscribes each object that has no item left (listed once or more).
    void UnsubscribeUnpaired(std::vector<Common::CDataObject*>& objects);
    // Reads nothing of the item, which may be gone.
    bool Contains(Common::CDataObject* object, CGridItem* item) const;
    bool ContainsObject(Common::CDataObject* object) const;
    // Appends the items of the object that are inside a grid tree (of
    // `grid` when given), in registry order.
    void FindItems(Common::CDataObject* object, std::vector<CGridItem*>& items, const CGridRows* grid) const;
    // True when the object has at most one item inside a tree of `grid`;
    // `item` is that item or null. False when it has several.
    bool FindSoleItem(Common::CDataObject* object, const CGridRows* grid, CGridItem*& item) const;
    // Every item paired with the object, grid tree or not.
    std::vector<CGridItem*> AllItems(Common::CDataObject* object) const;
    void EraseObject(Common::CDataObject* object);

    // Held while updates are applied and disposals processed.
    std::recursive_mutex& Lock() const { return m_lock; }
    bool IsDisposing() const { return m_disposing; }
    void SetDisposing(bool disposing) { m_disposing = disposing; }

private:
    CObjectRegistry() = default;
    mutable std::recursive_mutex m_lock;
    CPointerMultiMap<Common::CDataObject, CGridItem> m_pairs;
    Common::CDataObject::ISink* m_sink = nullptr;
    bool m_disposing = false;
};

} // namespace Kestrum::GUI
