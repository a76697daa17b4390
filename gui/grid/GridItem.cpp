#include "gui/grid/GridItem.h"

#include <algorithm>

#include "gui/grid/ObjectRegistry.h"

namespace Kestrum::GUI {

namespace {
const Common::CValue& EmptyValue()
{
    static const Common::CValue empty;
    return empty;
}

// Lazy lookup shared by child arrays and the visible list: `hintOf` reads and
// `setHint` writes an element's index hint.
template <class T, class Hint, class SetHint>
int LazyIndex(std::vector<T*>& array, int& prefix, T* element, Hint hintOf, SetHint setHint)
{
    const int size = static_cast<int>(array.size());
    const int hint = hintOf(element);
    if (hint >= 0 && hint < size && array[static_cast<std::size_t>(hint)] == element)
        return hint;
    while (prefix + 1 < size) {
        ++prefix;
        T* current = array[static_cast<std::size_t>(prefix)];
        setHint(current, prefix);
        if (current == element)
            return prefix;
    }
    return -1;
}
} // namespace

int CompareSortKeys(const CGridItem& a, const CGridItem& b, std::size_t levels, const std::vector<CSortInfo>& sortLevels)
{
    for (std::size_t level = 0; level < levels; ++level) {
        const Common::CValue& x = a.GetSortKey(static_cast<int>(level));
        const Common::CValue& y = b.GetSortKey(static_cast<int>(level));
        if (x.GetType() != y.GetType() || x.IsEmpty())
            return 0;
        if (x == y)
            continue;
        const int greater = x.IsGreaterThan(y) ? 1 : -1;
        return sortLevels[level].IsDescending() ? greater : -greater;
    }
    return 0;
}

CGridItem::CGridItem(CItemTree* tree) : m_tree(tree)
{
    m_rowHeight = tree->GetDefaultRowHeight();
    tree->Adopt(this);
}

CGridItem::~CGridItem()
{
    Bind(nullptr);
    if (IsSelected()) {
        m_flags &= static_cast<std::uint8_t>(~FlagSelected);
        if (m_tree)
            GetTree()->m_selected.erase(this);
    }
    if (m_parent) {
        auto& siblings = m_parent->m_children;
        const int index = CItemTree::IndexOfChild(this);
        if (index >= 0) {
            siblings.erase(siblings.begin() + index);
            m_parent->m_childPrefix = std::min(m_parent->m_childPrefix, index - 1);
        }
        m_parent = nullptr;
    }
    if (m_tree)
        GetTree()->Release(this);
    m_tree = nullptr;
    std::vector<CGridItem*> children;
    children.swap(m_children);
    for (CGridItem* child : children) {
        child->m_parent = nullptr;
        delete child;
    }
}

void CGridItem::Bind(Common::CDataObject* object)
{
    if (object == m_object)
        return;
    CObjectRegistry& registry = CObjectRegistry::Instance();
    if (m_object)
        registry.Unregister(m_object, this);
    m_object = object;
    if (m_object)
        registry.Register(m_object, this);
}

int CGridItem::GetLevel() const
{
    int level = -1;
    for (const CGridItem* item = m_parent; item; item = item->m_parent)
        ++level;
    return level;
}

bool CGridItem::IsDescendantOf(const CGridItem* ancestor) const
{
    for (const CGridItem* item = m_parent; item; item = item->m_parent)
        if (item == ancestor)
            return true;
    return false;
}

const Common::CValue& CGridItem::GetSortKey(int level) const
{
    if (level < 0 || level >= static_cast<int>(m_keys.size()))
        return EmptyValue();
    return m_keys[static_cast<std::size_t>(level)];
}

void CGridItem::RefreshSortKeys(const std::vector<CSortInfo>& levels)
{
    // Keys are held only for the levels in use.
    m_keys.resize(std::min<std::size_t>(levels.size(), kMaxSortLevels));
    for (std::size_t level = 0; level < m_keys.size(); ++level)
        m_keys[level] = m_object ? m_object->GetValue(levels[level].GetFieldId()) : Common::CValue();
    if (m_keys.empty())
        m_keys.shrink_to_fit();
}

ChangeStamps& CGridItem::Stamps()
{
    if (!m_stamps)
        m_stamps = std::make_unique<ChangeStamps>();
    return *m_stamps;
}

CItemTree::CItemTree(CGridRows* owner, TreeKind kind) : m_owner(owner), m_kind(kind)
{
    if (kind != TreeDetached) {
        m_root = new CGridItem(this);
        m_root->m_flags |= CGridItem::FlagExpanded;
    }
}

CItemTree::~CItemTree()
{
    m_rows.Clear();
    delete m_root;
}

CItemTree& CItemTree::Detached()
{
    static CItemTree detached(nullptr, TreeDetached);
    return detached;
}

bool CItemTree::Contains(const CGridItem* item) const
{
    if (m_kind == TreeDetached) {
        std::lock_guard lock(m_detachedLock);
        return m_all.Contains(item);
    }
    return m_all.Contains(item);
}

void CItemTree::Adopt(CGridItem* item)
{
    std::unique_lock lock(m_detachedLock, std::defer_lock);
    if (m_kind == TreeDetached)
        lock.lock();
    m_all.Insert(item);
    item->m_tree = this;
    if (item->IsSelected())
        m_selected.insert(item);
}

void CItemTree::Release(CGridItem* item)
{
    std::unique_lock lock(m_detachedLock, std::defer_lock);
    if (m_kind == TreeDetached)
        lock.lock();
    m_all.Erase(item);
    m_selected.erase(item);
    if (m_kind == TreeDetached)
        m_detachedOwners.erase(item);
}

void CItemTree::SetDetachedOwner(CGridItem* item, CGridRows* grid)
{
    std::lock_guard lock(m_detachedLock);
    if (grid)
        m_detachedOwners[item] = grid;
    else
        m_detachedOwners.erase(item);
}

std::vector<CGridItem*> CItemTree::TakeDetachedOf(CGridRows* grid)
{
    std::lock_guard lock(m_detachedLock);
    std::vector<CGridItem*> items;
    for (auto it = m_detachedOwners.begin(); it != m_detachedOwners.end();) {
        if (it->second == grid) {
            items.push_back(it->first);
            it = m_detachedOwners.erase(it);
        } else {
            ++it;
        }
    }
    return items;
}

CGridItem* CItemTree::GetItemAt(int row) const { return m_rows.At(row); }

int CItemTree::IndexOfChild(CGridItem* child)
{
    CGridItem* parent = child ? child->m_parent : nullptr;
    if (!parent)
        return -1;
    return LazyIndex(
        parent->m_children, parent->m_childPrefix, child, [](CGridItem* c) { return c->m_hint; },
        [](CGridItem* c, int i) { c->m_hint = i; });
}

} // namespace Kestrum::GUI
