// Sorting: each tree keeps its child arrays in the order of its sort levels,
// a re-sort rebuilds the visible list from the new preorder reusing the
// rows, and an updated item moves to its sorted place with one rotation of
// its block of rows.
#include <algorithm>

#include "gui/grid/GridRows.h"
#include "gui/grid/SiblingSort.h"
#include "gui/header/Header.h"

namespace Kestrum::GUI {

namespace {

// True when `a` goes before `b` among siblings.
bool GoesBefore(const CGridItem& a, const CGridItem& b, const std::vector<CSortInfo>& levels)
{
    return CompareSortKeys(a, b, levels.size(), levels) > 0;
}

// The first-level key of an item as an integer, when it is one of `type`:
// the sort's fast paths, which compare only such keys.
bool IntegerKeyOf(const CGridItem& item, Common::FieldType type, std::int64_t& key)
{
    const Common::CValue& value = item.GetSortKey(0);
    return value.GetType() == type && value.GetOrderedInteger(key);
}

bool IntegerGoesBefore(std::int64_t a, std::int64_t b, bool descending) { return descending ? a > b : a < b; }

// First position in [low, high) whose sibling does not go before `item`.
int LowerBound(const CChildArray& siblings, int low, int high, const CGridItem& item, const std::vector<CSortInfo>& levels)
{
    return SiblingSort::FirstWhere(siblings, low, high,
                                   [&](const CGridItem* sibling) { return !GoesBefore(*sibling, item, levels); });
}

// Reads the keys of a child array. The children and their objects lie
// scattered over the heap, so each is fetched a few steps ahead: a re-sort of
// millions of rows is bound by these reads.
void RefreshChildKeys(CChildArray& children, const std::vector<CSortInfo>& levels)
{
    constexpr std::size_t kItemsAhead = 8;
    constexpr std::size_t kObjectsAhead = 4;
    const std::size_t size = children.size();
    for (std::size_t i = 0; i < std::min(size, kItemsAhead); ++i)
        __builtin_prefetch(children[i]);
    for (std::size_t i = 0; i < size; ++i) {
        if (i + kItemsAhead < size)
            __builtin_prefetch(children[i + kItemsAhead]);
        if (i + kObjectsAhead < size)
            __builtin_prefetch(children[i + kObjectsAhead]->GetObject());
        children[i]->RefreshSortKeys(levels);
    }
}

// A stable sort: siblings that compare equal (above all those whose key is
// empty) keep their order.
void SortChildren(CGridItem** items, std::size_t size, const std::vector<CSortInfo>& levels)
{
    if (size < 2)
        return;
    if (levels.size() == 1) {
        // Rows without the key go last in their order (a folder's files by
        // files count): moved aside first, they leave the fast path below
        // to the rest.
        CGridItem** keyedEnd = items + size;
        if (std::any_of(items, items + size, [](const CGridItem* item) { return item->GetSortKey(0).IsEmpty(); }))
            keyedEnd = std::stable_partition(items, items + size,
                                             [](const CGridItem* item) { return !item->GetSortKey(0).IsEmpty(); });
        size = static_cast<std::size_t>(keyedEnd - items);
        if (size < 2)
            return;
        // Keys that are all integers of one type (sizes, times, counts): the
        // same stable order without reading the items.
        const Common::FieldType type = items[0]->GetSortKey(0).GetType();
        auto keyOf = [type](const CGridItem* item, std::int64_t& key) { return IntegerKeyOf(*item, type, key); };
        if (SiblingSort::SortByIntegerKey(items, size, keyOf, levels[0].IsDescending()))
            return;
    }
    SiblingSort::MergeSort(items, size,
                           [&](const CGridItem* a, const CGridItem* b) { return GoesBefore(*a, *b, levels); });
}

} // namespace

void MergeChildTail(CChildArray& children, const std::vector<CSortInfo>& levels)
{
    const std::size_t size = children.size();
    const std::size_t tail = children.Tail();
    children.SetTail(0);
    if (tail == 0 || levels.empty())
        return;
    CGridItem** items = children.begin();
    const std::size_t sorted = size - tail;
    SortChildren(items + sorted, tail, levels);
    // From the back: the later of the two heads goes last, and on a tie the
    // one that arrived later, the tail's, as an insertion after its equals
    // would have put it. The sorted part is read backwards, a few items
    // ahead, since its items lie scattered over the heap.
    const std::vector<CGridItem*> arrived(items + sorted, items + size);
    constexpr std::size_t kItemsAhead = 8;
    std::size_t old = sorted, fresh = tail, out = size;
    while (fresh > 0 && old > 0) {
        if (old > kItemsAhead)
            __builtin_prefetch(items[old - 1 - kItemsAhead]);
        if (GoesBefore(*arrived[fresh - 1], *items[old - 1], levels))
            items[--out] = items[--old];
        else
            items[--out] = arrived[--fresh];
    }
    while (fresh > 0)
        items[--out] = arrived[--fresh];
    // Children before `out` kept their places and their index hints.
    children.SetPrefix(std::min(children.Prefix(), static_cast<int>(out) - 1));
}

void CGridRows::SettleTails(CItemTree& tree)
{
    if (!tree.m_mayHaveTails)
        return;
    tree.m_mayHaveTails = false;
    std::vector<CGridItem*> stack = {tree.GetRoot()};
    while (!stack.empty()) {
        CGridItem* current = stack.back();
        stack.pop_back();
        const CChildArray& children = current->GetChildren();
        for (CGridItem* child : children)
            if (child->GetChildCount() != 0)
                stack.push_back(child);
    }
}

int CGridRows::SortedPosition(const CChildArray& siblings, int low, int high, const CGridItem& item,
                              const std::vector<CSortInfo>& levels)
{
    // After every sibling that compares equal: equal items keep their order
    // of arrival.
    const Common::FieldType type = item.GetSortKey(0).GetType();
    std::int64_t key = 0;
    if (levels.size() == 1 && IntegerKeyOf(item, type, key)) {
        // One level and an integer key: each step reads only the sibling's
        // key; a sibling without one of that type takes the full comparison.
        const bool descending = levels[0].IsDescending();
        return SiblingSort::FirstWhere(siblings, low, high, [&](const CGridItem* sibling) {
            std::int64_t other = 0;
            if (IntegerKeyOf(*sibling, type, other))
                return IntegerGoesBefore(key, other, descending);
            return GoesBefore(item, *sibling, levels);
        });
    }
    return SiblingSort::FirstWhere(siblings, low, high,
                                   [&](const CGridItem* sibling) { return GoesBefore(item, *sibling, levels); });
}
// ---------------------------------------------------------------------------
// Sorting

void CGridRows::SortSubtree(CGridItem* item, const std::vector<CSortInfo>& levels)
{
    std::vector<CGridItem*> stack = {item};
    while (!stack.empty()) {
        CGridItem* current = stack.back();
        stack.pop_back();
        if (!current->HasChildItems())
            continue; // a leaf: no branch is made for it
        CChildArray& children = current->Children();
        SortChildren(children.begin(), children.size(), levels);
        for (std::size_t i = 0; i < children.size(); ++i)
            children[i]->m_hint = static_cast<int>(i);
        children.SetPrefix(static_cast<int>(children.size()) - 1);
        stack.insert(stack.end(), children.begin(), children.end());
    }
}

void CGridRows::SortTree(CItemTree& tree, const std::vector<CSortInfo>& levels)
{
    // One pass over the tree: a child array gets its keys and its order
    // before its children are visited, so the visit is the new preorder and
    // the rows are collected in their new order on the way. Every item with
    // a row is collected (a row's parent has one too), so the list keeps its
    // rows and only their order changes.
    std::vector<CGridItem*> shown;
    shown.reserve(static_cast<std::size_t>(tree.GetRowCount()));
    std::vector<CGridItem*> stack = {tree.GetRoot()};
    while (!stack.empty()) {
        CGridItem* current = stack.back();
        stack.pop_back();
        if (current->HasRow())
            shown.push_back(current);
        if (!current->HasChildItems())
            continue; // a leaf: no branch is made for it
        CChildArray& children = current->Children();
        RefreshChildKeys(children, levels);
        SortChildren(children.begin(), children.size(), levels);
        for (std::size_t i = 0; i < children.size(); ++i)
            children[i]->m_hint = static_cast<int>(i);
        children.SetPrefix(static_cast<int>(children.size()) - 1);
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    tree.m_rows.Reorder(shown);
}

void CGridRows::Resort()
{
    ++m_resortCount;
    CGridItem* focused = m_surface ? m_surface->GetFocusedItem() : nullptr;
    std::vector<CSortInfo> levels = m_header ? m_header->GetSortLevels() : std::vector<CSortInfo>();
    if (levels.size() > static_cast<std::size_t>(kMaxSortLevels))
        levels.resize(kMaxSortLevels);
    for (CItemTree* tree : {m_scrollable.get(), m_fixed.get()}) {
        const int bit = MaskOfArea(tree->GetKind());
        // Waiting tails take their places by the levels they arrived under.
        SettleTails(*tree);
        tree->m_sortLevels.clear();
        if (!(m_sortAreas & bit) || levels.empty())
            continue;
        tree->m_sortLevels = levels;
        SortTree(*tree, levels);
    }
    if (m_surface) {
        m_surface->RepaintAll();
        if (focused) {
            const int row = RowIndexOf(focused);
            m_surface->SetFocusRow(row, row >= 0 ? focused->GetTree()->GetKind() : 0, false);
        }
    }
}

void CGridRows::ClearTreeSortLevels()
{
    SettleTails(*m_scrollable);
    SettleTails(*m_fixed);
    m_scrollable->m_sortLevels.clear();
    m_fixed->m_sortLevels.clear();
}

void CGridRows::Reposition(CGridItem* item)
{
    if (!item || !item->m_parent || !item->GetTree() || !item->GetTree()->IsSorted())
        return;
    CItemTree& tree = *item->GetTree();
    const auto& levels = tree.GetSortLevels();
    CGridItem* parent = item->m_parent;
    CChildArray& siblings = parent->Children();
    const int oldPosition = CItemTree::IndexOfChild(item);
    if (oldPosition < 0)
        return;
    const int oldRow = item->HasRow() ? RowIndexOf(item) : -1;
    item->RefreshSortKeys(levels);

    const int count = static_cast<int>(siblings.size());
    int newPosition = oldPosition;
    const int upper = SortedPosition(siblings, 0, oldPosition, *item, levels);
    if (upper < oldPosition) {
        newPosition = upper;
    } else {
        const int lower = LowerBound(siblings, oldPosition + 1, count, *item, levels);
        if (lower > oldPosition + 1)
            newPosition = lower - 1;
    }
    if (newPosition == oldPosition)
        return;
    if (newPosition < oldPosition)
        std::rotate(siblings.begin() + newPosition, siblings.begin() + oldPosition, siblings.begin() + oldPosition + 1);
    else
        std::rotate(siblings.begin() + oldPosition, siblings.begin() + oldPosition + 1, siblings.begin() + newPosition + 1);
    // The siblings passed over moved by one: they get their new index now, so
    // the validated prefix stays and the next lookups need no scan.
    for (int i = std::min(oldPosition, newPosition); i <= std::max(oldPosition, newPosition); ++i)
        siblings[static_cast<std::size_t>(i)]->m_hint = i;

    if (oldRow < 0)
        return;
    // Move the item's block of rows (its row and its shown descendants).
    // The focus stays on its item: focus is a row index, and every row
    // between the old and the new place shifts (the user's next arrow key
    // counts from the row they see focused, while a walk keeps re-sorting).
    CGridItem* focused = m_surface ? m_surface->GetFocusedItem() : nullptr;
    const int blockSize = 1 + item->GetVisibleDescendantCount();
    const std::vector<CGridItem*> block = tree.m_rows.Erase(oldRow, blockSize);
    const int newRow = RowInsertionPoint(item);
    tree.m_rows.Insert(newRow, block);
    if (m_surface)
        m_surface->RepaintRows(tree.GetKind(), std::min(oldRow, newRow), std::max(oldRow, newRow) + blockSize - 1);
    RestoreFocus(focused);
    RaiseEvent(EventItemMoved, item);
}

void CGridRows::ApplyHeaderClick(CHeader* header, std::int32_t fieldId, bool shift, bool ctrl)
{
    if (!header || !header->IsSortingEnabled())
        return;
    if (shift) {
        header->ClearSort();
        return;
    }
    const int count = header->GetSortLevelCount();
    if (ctrl) {
        for (int level = 0; level < count; ++level) {
            const CSortInfo info = header->GetSortInfo(level);
            if (info.GetFieldId() == fieldId) {
                header->SetSortInfo(level, CSortInfo(fieldId, !info.IsDescending()));
                return;
            }
        }
        if (count >= kMaxSortLevels)
            return;
        const bool descending = count > 0 && header->GetSortInfo(count - 1).IsDescending();
        header->SetSortInfo(count, CSortInfo(fieldId, descending));
        return;
    }
    if (count == 0) {
        header->SetSortInfo(0, CSortInfo(fieldId, false));
        return;
    }
    const CSortInfo first = header->GetSortInfo(0);
    if (count == 1 && first.GetFieldId() == fieldId) {
        header->SetSortInfo(0, CSortInfo(fieldId, !first.IsDescending()));
        return;
    }
    header->ClearSort();
    header->SetSortInfo(0, CSortInfo(fieldId, first.IsDescending()));
}

} // namespace Kestrum::GUI
