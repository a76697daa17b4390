// CGridItem and CItemTree: the rows of a grid as trees bound to data
// objects, with a flat list of the shown rows in paint order.
//
// Threads: items and trees are touched only on their grid's thread. The
// process-wide detached tree (items outside any grid) is guarded by its own
// lock because grids on different threads share it.
//
// Child positions use lazy index maintenance: each child carries an index
// hint and each child array a validated prefix V (children 0..V carry their
// true index), so inserting near the end never renumbers the array. Shown
// rows live in a CRowList, whose lookups are logarithmic.
#pragma once

#include "gui/platform/Export.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "common/FixedPool.h"
#include "common/Value.h"
#include "gui/grid/EmbeddedControl.h"
#include "gui/grid/detail/ChildArray.h"
#include "gui/grid/GridTypes.h"
#include "gui/grid/detail/PointerSet.h"
#include "gui/grid/RowList.h"
#include "gui/header/Header.h"

namespace Kestrum::GUI {

class CItemTree;

// When a field of the row's object last changed, on the grid clock, and when
// a delayed repaint is due (-1: none).
struct KESTRUM_GRIDCORE_EXPORT ChangeStamp {
    Common::FieldId field = Common::FIELD_NONE;
    std::int64_t changeTime = -1;
    std::int64_t repaintAt = -1;
};
struct KESTRUM_GRIDCORE_EXPORT ChangeStamps {
    std::vector<ChangeStamp> fields; // sorted by field id
    std::int64_t allChangeTime = -1;
    std::int64_t allRepaintAt = -1;

    // The field's stamp, inserted in id order when it has none.
    ChangeStamp& Of(Common::FieldId field);
    // Milliseconds from the field's change (else the all-fields change, and
    // that alone for the ids -1 and -2) to `now`; -1 when it never changed.
    std::int64_t TimeSinceChange(Common::FieldId field, std::int64_t now) const;
};

class KESTRUM_GRIDCORE_EXPORT CGridItem {
    KESTRUM_POOLED_ALLOCATION(CGridItem)

public:
    explicit CGridItem(CItemTree* tree);
    CGridItem(const CGridItem&) = delete;
    CGridItem& operator=(const CGridItem&) = delete;
    // Unbinds, leaves its parent and deletes its subtree.
    ~CGridItem();

    Common::CDataObject* GetObject() const noexcept { return m_object; }
    // Binding registers the pair (object, item) in the object registry.
    void Bind(Common::CDataObject* object);
    // Drops the object without touching it or the registry: it is being
    // destroyed and its pairs are erased by the disposal.
    void ForgetObject() noexcept { m_object = nullptr; }
    CGridItem* GetParent() const noexcept { return m_parent; }
    // Read by the dispatcher on other threads: the tree's id is read
    // atomically with the word it shares.
    inline CItemTree* GetTree() const noexcept;
    bool HasRow() const noexcept { return RowLeaf() != nullptr; }
    // The children in order: an unsorted tail waiting under a collapsed
    // folder is merged in first.
    const CChildArray& GetChildren() const
    {
        const Branch* branch = BranchOf();
        if (!branch)
            return s_noChildren;
        if (branch->children.Tail() != 0)
            SettleChildren();
        return branch->children;
    }
    // Counts that need no order: they leave a tail waiting.
    std::size_t GetChildCount() const noexcept {
        const Branch* branch = BranchOf();
        return branch ? branch->children.size() : 0;
    }
    bool HasChildItems() const noexcept { return GetChildCount() != 0; }
    bool IsExpanded() const noexcept { return (m_flags & FlagExpanded) != 0; }
    bool IsSelected() const noexcept { return (m_flags & FlagSelected) != 0; }
    int GetRowHeight() const noexcept { return m_rowHeight; }
    // Heights are kept in 16 bits (at most 32767 pixels).
    void SetRowHeight(int height) noexcept { m_rowHeight = ClampHeight(height); }
    int GetVisibleDescendantCount() const noexcept {
        const Branch* branch = BranchOf();
        return branch ? branch->visibleDescendants : 0;
    }
    // Under a row match (CGridRows::SetRowMatch): whether the item matched,
    // and how many items below it did.
    bool IsMatched() const noexcept { return (m_flags & FlagMatched) != 0; }
    int GetMatchesBelow() const noexcept {
        const Branch* branch = BranchOf();
        return branch ? branch->matchesBelow : 0;
    }
    // Depth: -1 for a root, 0 for its children.
    int GetLevel() const;
    bool IsDescendantOf(const CGridItem* ancestor) const;

    // Sort keys cached at the last refresh (empty beyond the levels).
    const Common::CValue& GetSortKey(int level) const
    {
        if (level == 0 && KeyCount() > 0)
            return m_firstKey;
        return GetLaterSortKey(level);
    }
    void RefreshSortKeys(const std::vector<CSortInfo>& levels);

    // Change stamps, created on the first change.
    ChangeStamps* GetStamps() const noexcept {
        const Branch* branch = BranchOf();
        return branch ? branch->stamps.get() : nullptr;
    }
    ChangeStamps& Stamps();

    // Controls attached to the item's cells, by field id (not for -1 and -2).
    // The item does not own them beyond the IAutoDelete rule: taking one out,
    // or destroying the item, deletes those that answer true.
    bool HasEmbeddedControls() const noexcept {
        const Branch* branch = BranchOf();
        return branch && branch->embedded && !branch->embedded->empty();
    }
    IEmbeddedControl* GetEmbeddedControl(Common::FieldId field) const;
    // False for a null control, the ids -1 and -2, or a cell that has one.
    bool SetEmbeddedControl(Common::FieldId field, IEmbeddedControl* control);
    // Takes the cell's control out of the map (deleted when auto-delete);
    // false when the cell had none.
    bool RemoveEmbeddedControl(Common::FieldId field);
    // Tells every control of the item that its row was shown or hidden.
    void NotifyEmbeddedControls(bool shown);

private:
    friend class CItemTree;
    friend class CGridRows;
    friend class CRowList;
    // The flags byte also holds how many sort keys are kept (0 to 5).
    // FlagSavedExpanded keeps the expanded flag a row match found, to be put
    // back when the match is cleared.
    enum : std::uint8_t {
        FlagExpanded = 1,
        FlagSelected = 2,
        KeyCountShift = 2,
        KeyCountMask = 7 << KeyCountShift,
        FlagMatched = 32,
        FlagSavedExpanded = 64
    };
    int KeyCount() const noexcept { return (m_flags & KeyCountMask) >> KeyCountShift; }
    void SetKeyCount(int count) noexcept
    {
        m_flags = static_cast<std::uint8_t>((m_flags & ~KeyCountMask) | (count << KeyCountShift));
    }
    // Only an item with children can have rows shown below it: a leaf has
    // no branch, and its count reads 0.
    void AddVisibleDescendants(int delta) { GetBranch().visibleDescendants += delta; }
    void ClearVisibleDescendants() noexcept
    {
        if (Branch* branch = BranchOf())
            branch->visibleDescendants = 0;
    }

    const Common::CValue& GetLaterSortKey(int level) const;
    static std::int16_t ClampHeight(int height) noexcept
    {
        return static_cast<std::int16_t>(height < 0 ? 0 : height > 32767 ? 32767 : height);
    }

    // What leaves, most items of a large tree, do without: children, the
    // count of rows shown below, keys beyond the first level, change stamps.
    struct Branch {
        void* rowLeaf = nullptr; // the item's row's leaf: the word it took holds the branch
        CChildArray children;
        int visibleDescendants = 0;
        int matchesBelow = 0;
        std::unique_ptr<Common::CValue[]> moreKeys;
        std::unique_ptr<ChangeStamps> stamps;
        std::unique_ptr<std::map<Common::FieldId, IEmbeddedControl*>> embedded;
    };
    void DropEmbeddedControls();
    Branch& GetBranch();
    static constexpr std::uintptr_t kBranchTag = 1;
    static constexpr unsigned kTreeShift = 48;
    static constexpr std::uintptr_t kAddressMask = ((std::uintptr_t{1} << kTreeShift) - 1) & ~kBranchTag;
    Branch* BranchOf() const noexcept
    {
        const std::uintptr_t link = m_link.load(std::memory_order_relaxed);
        return (link & kBranchTag) ? reinterpret_cast<Branch*>(link & kAddressMask) : nullptr;
    }
    void* RowLeaf() const noexcept
    {
        const std::uintptr_t link = m_link.load(std::memory_order_relaxed);
        if (link & kBranchTag)
            return reinterpret_cast<Branch*>(link & kAddressMask)->rowLeaf;
        return reinterpret_cast<void*>(link & kAddressMask);
    }
    void SetRowLeaf(void* leaf) noexcept
    {
        if (Branch* branch = BranchOf())
            branch->rowLeaf = leaf;
        else
            SetLink(~kAddressMask & ~kBranchTag, reinterpret_cast<std::uintptr_t>(leaf));
    }
    // Replaces the bits outside `keep` by `bits` in one step, so the word
    // stays whole whichever thread writes it (a detached item is adopted on
    // any thread, under the detached tree's lock) and however the leaf, the
    // branch and the tree id are changed. Leaves and branches come from the
    // heap, below the 48 bits of a user-space address.
    void SetLink(std::uintptr_t keep, std::uintptr_t bits) noexcept
    {
        std::uintptr_t link = m_link.load(std::memory_order_relaxed);
        while (!m_link.compare_exchange_weak(link, (link & keep) | bits, std::memory_order_acq_rel,
                                             std::memory_order_relaxed)) {
        }
    }
    void SetTree(CItemTree* tree) noexcept;
    // The children to change; makes the branch when the item has none.
    CChildArray& Children()
    {
        Branch& branch = GetBranch();
        if (branch.children.Tail() != 0)
            SettleChildren();
        return branch.children;
    }
    // The children as stored, tail included, for walks that need no order.
    const CChildArray& StoredChildren() const noexcept {
        const Branch* branch = BranchOf();
        return branch ? branch->children : s_noChildren;
    }
    // Merges the unsorted tail into its place by the tree's sort levels.
    void SettleChildren() const;
    static const CChildArray s_noChildren; // what a leaf shows as its children

    // A large tree holds one item per row, so the members are ordered to
    // pack into 40 bytes: the first sort key is inline and the members after
    // it sit in its tail padding.
    Common::CDataObject* m_object = nullptr;
    // One word for three things. The row-list leaf holding the item's row
    // (null without a row) and the branch share its 48 address bits: a leaf
    // item, most items of a large tree, keeps its row's leaf there; once the
    // item has a branch the word points at it, tagged with the low bit, and
    // the branch keeps the row's leaf. The top 16 bits are the id of the
    // item's tree (0 for none), read by other threads.
    std::atomic<std::uintptr_t> m_link = 0;
    CGridItem* m_parent = nullptr;
    [[no_unique_address]] Common::CValue m_firstKey;
    std::uint8_t m_flags = 0;
    std::int16_t m_rowHeight = 14;
    int m_hint = -1;
};

#if defined(__GNUC__) && defined(__x86_64__)
static_assert(sizeof(CGridItem) <= 40, "a grid item packs into 40 bytes");
#endif

// Sorts the last children.Tail() children (stable) and merges them into the
// sorted rest, each after the siblings that compare equal: the order the
// same children would have had inserted one by one (GridRowsSort.cpp).
void MergeChildTail(CChildArray& children, const std::vector<CSortInfo>& levels);

class KESTRUM_GRIDCORE_EXPORT CItemTree {
public:
    CItemTree(CGridRows* owner, TreeKind kind);
    CItemTree(const CItemTree&) = delete;
    CItemTree& operator=(const CItemTree&) = delete;
    ~CItemTree();

    // The tree of every item that is not inside a grid.
    static CItemTree& Detached();

    CGridRows* GetOwner() const noexcept { return m_owner; }
    TreeKind GetKind() const noexcept { return m_kind; }
    // Trees are known to their items by a 16-bit id, so at most this many
    // may exist at once (two to a grid, and the detached tree); one more
    // throws std::length_error.
    static constexpr std::size_t kMaxTrees = 65535;
    static CItemTree* FromId(std::uint16_t id) noexcept { return s_byId[id].load(std::memory_order_acquire); }
    CGridItem* GetRoot() const noexcept { return m_root; }
    bool Contains(const CGridItem* item) const;
    // The number of members, the root among them.
    std::size_t Size() const;
    int GetRowCount() const noexcept { return m_rows.Size(); }
    CGridItem* GetItemAt(int row) const;
    // The item's row index, or -1.
    int IndexOfRow(const CGridItem* item) const { return m_rows.IndexOf(item); }
    // The child's true index in its parent's array (lazy lookup), or -1.
    static int IndexOfChild(CGridItem* child);

    int GetDefaultRowHeight() const noexcept { return m_defaultRowHeight; }
    void SetDefaultRowHeight(int height) noexcept { m_defaultRowHeight = height; }
    const std::vector<CSortInfo>& GetSortLevels() const noexcept { return m_sortLevels; }
    bool IsSorted() const noexcept { return !m_sortLevels.empty(); }
    const std::set<CGridItem*>& GetSelected() const noexcept { return m_selected; }

private:
    friend class CGridItem;
    friend class CGridRows;

    // Membership of the item alone (not its subtree).
    void Adopt(CGridItem* item);
    void Release(CGridItem* item);

    // Detached top items and the grid that detached them: a grid destroys
    // the ones still detached when it goes, so none is lost.
    void SetDetachedOwner(CGridItem* item, CGridRows* grid);
    std::vector<CGridItem*> TakeDetachedOf(CGridRows* grid);

    CGridRows* m_owner;
    std::map<CGridItem*, CGridRows*> m_detachedOwners;
    CGridItem* m_root = nullptr;
    CRowList m_rows;
    int m_defaultRowHeight = 14;
    std::vector<CSortInfo> m_sortLevels;
    std::set<CGridItem*> m_selected;
    CPointerSet<CGridItem> m_all;
    bool m_mayHaveTails = false; // a child array got an unsorted tail since the last settling walk
    TreeKind m_kind;
    mutable std::recursive_mutex m_detachedLock; // used by the detached tree only
    std::uint16_t m_id;
    static std::atomic<CItemTree*> s_byId[kMaxTrees + 1];
};

inline CItemTree* CGridItem::GetTree() const noexcept
{
    return CItemTree::FromId(static_cast<std::uint16_t>(m_link.load(std::memory_order_acquire) >> kTreeShift));
}

// -1, 0 or +1 by the sort levels: positive when `a` goes before `b`. A strict
// weak order, so sorts and binary searches over siblings are sound. On each
// level an empty key (the object lacks the field: a file has no files count,
// a folder no times) goes after every key in either direction, and two
// empty keys end the comparison as equal, so such rows keep their order
// among themselves; keys of different types order by type code, then by
// value.
// Inline: sorting a million rows makes tens of millions of comparisons.
inline int CompareSortKeys(const CGridItem& a, const CGridItem& b, std::size_t levels,
                           const std::vector<CSortInfo>& sortLevels)
{
    for (std::size_t level = 0; level < levels; ++level) {
        const Common::CValue& x = a.GetSortKey(static_cast<int>(level));
        const Common::CValue& y = b.GetSortKey(static_cast<int>(level));
        if (x.IsEmpty() || y.IsEmpty()) {
            if (x.IsEmpty() && y.IsEmpty())
                return 0;
            return x.IsEmpty() ? -1 : 1;
        }
        int greater = 0;
        std::int64_t p = 0, q = 0;
        if (x.GetType() != y.GetType()) {
            greater = x.GetType() > y.GetType() ? 1 : -1;
        } else if (x.GetOrderedInteger(p)) {
            // Sizes, times, counts and flags without the general path.
            y.GetOrderedInteger(q);
            if (p == q)
                continue;
            greater = p > q ? 1 : -1;
        } else {
            greater = x.CompareSameType(y);
            if (greater == 0)
                continue;
        }
        return sortLevels[level].IsDescending() ? greater : -greater;
    }
    return 0;
}

} // namespace Kestrum::GUI
