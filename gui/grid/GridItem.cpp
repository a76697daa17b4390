#include "gui/grid/GridItem.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <stdexcept>
#include <vector>

#include "gui/grid/ObjectRegistry.h"

namespace Kestrum::GUI {

namespace {
const Common::CValue& EmptyValue()
{
    static const Common::CValue empty;
    return empty;
}
} // namespace

ChangeStamp& ChangeStamps::Of(Common::FieldId field)
{
    auto it = std::lower_bound(fields.begin(), fields.end(), field,
                               [](const ChangeStamp& stamp, Common::FieldId id) { return stamp.field < id; });
    if (it == fields.end() || it->field != field)
        it = fields.insert(it, ChangeStamp{field, -1, -1});
    return *it;
}

std::int64_t ChangeStamps::TimeSinceChange(Common::FieldId field, std::int64_t now) const
{
    std::int64_t changed = allChangeTime;
    if (field != Common::FIELD_ALL && field != Common::FIELD_NONE) {
        const auto it = std::lower_bound(fields.begin(), fields.end(), field,
                                         [](const ChangeStamp& stamp, Common::FieldId id) { return stamp.field < id; });
        if (it != fields.end() && it->field == field && it->changeTime >= 0)
            changed = it->changeTime;
    }
    return changed < 0 ? -1 : now - changed;
}

CGridItem::CGridItem(CItemTree* tree)
{
    SetTree(tree);
    m_rowHeight = ClampHeight(tree->GetDefaultRowHeight());
    tree->Adopt(this);
}

CGridItem::~CGridItem()
{
    Bind(nullptr);
    if (IsSelected()) {
        m_flags &= static_cast<std::uint8_t>(~FlagSelected);
        if (CItemTree* tree = GetTree())
            tree->m_selected.erase(this);
    }
    if (m_parent) {
        CChildArray& siblings = m_parent->Children();
        const int index = CItemTree::IndexOfChild(this);
        if (index >= 0) {
            siblings.erase(siblings.begin() + index);
            siblings.SetPrefix(std::min(siblings.Prefix(), index - 1));
        }
        m_parent = nullptr;
    }
    if (CItemTree* tree = GetTree())
        tree->Release(this);
    SetTree(nullptr);
    Branch* branch = BranchOf();
    const std::vector<CGridItem*> children = branch ? branch->children.TakeAll() : std::vector<CGridItem*>();
    for (CGridItem* child : children) {
        child->m_parent = nullptr;
        delete child;
    }
    DropEmbeddedControls();
    delete branch;
    SetLink(0, 0);
}

void CGridItem::SetTree(CItemTree* tree) noexcept
{
    SetLink(kAddressMask | kBranchTag, tree ? std::uintptr_t{tree->m_id} << kTreeShift : 0);
}

IEmbeddedControl* CGridItem::GetEmbeddedControl(Common::FieldId field) const
{
    const Branch* branch = BranchOf();
    if (!branch || !branch->embedded)
        return nullptr;
    const auto it = branch->embedded->find(field);
    return it == branch->embedded->end() ? nullptr : it->second;
}

bool CGridItem::SetEmbeddedControl(Common::FieldId field, IEmbeddedControl* control)
{
    if (!control || field == Common::FIELD_ALL || field == Common::FIELD_NONE || GetEmbeddedControl(field))
        return false;
    Branch& branch = GetBranch();
    if (!branch.embedded)
        branch.embedded = std::make_unique<std::map<Common::FieldId, IEmbeddedControl*>>();
    branch.embedded->emplace(field, control);
    return true;
}

bool CGridItem::RemoveEmbeddedControl(Common::FieldId field)
{
    Branch* branch = BranchOf();
    if (!branch || !branch->embedded)
        return false;
    const auto it = branch->embedded->find(field);
    if (it == branch->embedded->end())
        return false;
    IEmbeddedControl* control = it->second;
    branch->embedded->erase(it);
    control->OnDetached();
    if (control->IsAutoDelete())
        delete control;
    return true;
}

void CGridItem::NotifyEmbeddedControls(bool shown)
{
    if (!HasEmbeddedControls())
        return;
    // A control may take itself out while told: walk a copy.
    std::vector<IEmbeddedControl*> controls;
    for (const auto& entry : *BranchOf()->embedded)
        controls.push_back(entry.second);
    for (IEmbeddedControl* control : controls)
        control->OnRowShown(shown);
}

void CGridItem::DropEmbeddedControls()
{
    Branch* branch = BranchOf();
    if (!branch || !branch->embedded)
        return;
    const std::unique_ptr<std::map<Common::FieldId, IEmbeddedControl*>> map = std::move(branch->embedded);
    for (const auto& [field, control] : *map) {
        control->OnDetached();
        if (control->IsAutoDelete())
            delete control;
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

const Common::CValue& CGridItem::GetLaterSortKey(int level) const
{
    if (level < 0 || level >= KeyCount())
        return EmptyValue();
    return level == 0 ? m_firstKey : BranchOf()->moreKeys[static_cast<std::size_t>(level - 1)];
}

void CGridItem::RefreshSortKeys(const std::vector<CSortInfo>& levels)
{
    // Keys are held only for the levels in use.
    const auto count = static_cast<std::uint8_t>(std::min<std::size_t>(levels.size(), kMaxSortLevels));
    if (count <= 1) {
        if (Branch* branch = BranchOf())
            branch->moreKeys.reset();
    } else if (const Branch* branch = BranchOf(); count != KeyCount() || !branch || !branch->moreKeys) {
        GetBranch().moreKeys = std::make_unique<Common::CValue[]>(count - 1u);
    }
    SetKeyCount(count);
    const auto keyOf = [&](std::size_t level) {
        return m_object ? m_object->GetValue(levels[level].GetFieldId()) : Common::CValue();
    };
    m_firstKey = count > 0 ? keyOf(0) : Common::CValue();
    for (std::size_t level = 1; level < count; ++level)
        BranchOf()->moreKeys[level - 1] = keyOf(level);
}

constinit const CChildArray CGridItem::s_noChildren;

void CGridItem::SettleChildren() const
{
    CChildArray& children = BranchOf()->children;
    CItemTree* tree = GetTree();
    if (tree)
        MergeChildTail(children, tree->GetSortLevels());
    else
        children.SetTail(0);
}

CGridItem::Branch& CGridItem::GetBranch()
{
    if (Branch* branch = BranchOf())
        return *branch;
    auto* branch = new Branch;
    const auto address = reinterpret_cast<std::uintptr_t>(branch);
    if (address & ~kAddressMask) { // above the 48 bits a user-space address has
        delete branch;
        throw std::bad_alloc();
    }
    branch->rowLeaf = RowLeaf();
    SetLink(~kAddressMask & ~kBranchTag, address | kBranchTag);
    return *branch;
}

ChangeStamps& CGridItem::Stamps()
{
    Branch& branch = GetBranch();
    if (!branch.stamps)
        branch.stamps = std::make_unique<ChangeStamps>();
    return *branch.stamps;
}

namespace {
// Tree ids: 0 is none; a freed id is handed out again.
struct TreeIds {
    std::mutex lock;
    std::vector<std::uint16_t> freed;
    std::size_t next = 1;
};
TreeIds& Ids()
{
    // Never destroyed: the detached tree goes during static destruction.
    static TreeIds* const ids = [] {
        auto* made = new TreeIds;
        // Giving an id back, in a destructor, then never allocates.
        made->freed.reserve(CItemTree::kMaxTrees);
        return made;
    }();
    return *ids;
}

// A freed id is handed out again at once. No reader can mistake the new
// tree for the old: items are unpaired from the registry (the only way
// other threads reach them) and their id cleared before their tree goes.
std::uint16_t TakeTreeId()
{
    TreeIds& ids = Ids();
    std::lock_guard lock(ids.lock);
    if (!ids.freed.empty()) {
        const std::uint16_t id = ids.freed.back();
        ids.freed.pop_back();
        return id;
    }
    if (ids.next > CItemTree::kMaxTrees)
        throw std::length_error("Kestrum: more than 65,535 item trees at once (two to a grid)");
    return static_cast<std::uint16_t>(ids.next++);
}

void GiveTreeId(std::uint16_t id)
{
    TreeIds& ids = Ids();
    std::lock_guard lock(ids.lock);
    ids.freed.push_back(id);
}
} // namespace

std::atomic<CItemTree*> CItemTree::s_byId[CItemTree::kMaxTrees + 1] = {};

CItemTree::CItemTree(CGridRows* owner, TreeKind kind) : m_owner(owner), m_kind(kind), m_id(TakeTreeId())
{
    s_byId[m_id].store(this, std::memory_order_release);
    if (kind != TreeDetached) {
        try {
            m_root = new CGridItem(this);
        } catch (...) {
            s_byId[m_id].store(nullptr, std::memory_order_release);
            GiveTreeId(m_id);
            throw;
        }
        m_root->m_flags |= CGridItem::FlagExpanded;
    }
}

CItemTree::~CItemTree()
{
    m_rows.Clear();
    delete m_root;
    s_byId[m_id].store(nullptr, std::memory_order_release);
    GiveTreeId(m_id);
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

std::size_t CItemTree::Size() const
{
    if (m_kind == TreeDetached) {
        std::lock_guard lock(m_detachedLock);
        return m_all.Size();
    }
    return m_all.Size();
}

void CItemTree::Adopt(CGridItem* item)
{
    std::unique_lock lock(m_detachedLock, std::defer_lock);
    if (m_kind == TreeDetached)
        lock.lock();
    m_all.Insert(item);
    item->SetTree(this);
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
    // The hint when it is still true, else the validated prefix is extended
    // up to the child, giving each child it passes its true index.
    CChildArray& siblings = parent->Children();
    const int size = static_cast<int>(siblings.size());
    const int hint = child->m_hint;
    if (hint >= 0 && hint < size && siblings[static_cast<std::size_t>(hint)] == child)
        return hint;
    for (int prefix = siblings.Prefix(); prefix + 1 < size;) {
        ++prefix;
        siblings.SetPrefix(prefix);
        CGridItem* current = siblings[static_cast<std::size_t>(prefix)];
        current->m_hint = prefix;
        if (current == child)
            return prefix;
    }
    return -1;
}

} // namespace Kestrum::GUI
