#include "gui/grid/GridRows.h"

#include <algorithm>

#include "gui/grid/ObjectRegistry.h"
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

// First position in [low, high) whose sibling `item` goes before; bounded
// by the range whatever the comparison answers.
int UpperBound(const CChildArray& siblings, int low, int high, const CGridItem& item,
               const std::vector<CSortInfo>& levels)
{
    const Common::FieldType type = item.GetSortKey(0).GetType();
    std::int64_t key = 0;
    if (levels.size() == 1 && IntegerKeyOf(item, type, key)) {
        // One level and an integer key: each step reads only the sibling's
        // key. A sibling whose key has another type compares as equal.
        const bool descending = levels[0].IsDescending();
        while (low < high) {
            const int middle = low + (high - low) / 2;
            std::int64_t otherKey = 0;
            if (IntegerKeyOf(*siblings[static_cast<std::size_t>(middle)], type, otherKey) &&
                IntegerGoesBefore(key, otherKey, descending))
                high = middle;
            else
                low = middle + 1;
        }
        return low;
    }
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (GoesBefore(item, *siblings[static_cast<std::size_t>(middle)], levels))
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

// First position in [low, high) whose sibling does not go before `item`.
int LowerBound(const CChildArray& siblings, int low, int high, const CGridItem& item,
               const std::vector<CSortInfo>& levels)
{
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (GoesBefore(*siblings[static_cast<std::size_t>(middle)], item, levels))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// One level whose keys are all integers of one type (sizes, times, counts):
// the keys are sorted beside their items, so the sort reads no item. The
// order is the merge sort's: stable, by the same comparison.
bool SortByIntegerKey(CGridItem** items, std::size_t size, const std::vector<CSortInfo>& levels)
{
    if (levels.size() != 1)
        return false;
    const Common::FieldType type = items[0]->GetSortKey(0).GetType();
    std::vector<std::pair<std::int64_t, CGridItem*>> keyed(size);
    for (std::size_t i = 0; i < size; ++i) {
        if (!IntegerKeyOf(*items[i], type, keyed[i].first))
            return false;
        keyed[i].second = items[i];
    }
    using Keyed = std::pair<std::int64_t, CGridItem*>;
    const bool descending = levels[0].IsDescending();
    std::stable_sort(keyed.begin(), keyed.end(), [descending](const Keyed& a, const Keyed& b) {
        return IntegerGoesBefore(a.first, b.first, descending);
    });
    for (std::size_t i = 0; i < size; ++i)
        items[i] = keyed[i].second;
    return true;
}

// Bottom-up merge sort: every access stays inside the array even when the
// comparison is inconsistent.
void MergeSort(CGridItem** items, std::size_t size, const std::vector<CSortInfo>& levels)
{
    if (size < 2 || SortByIntegerKey(items, size, levels))
        return;
    std::vector<CGridItem*> buffer(size);
    CGridItem** from = items;
    CGridItem** to = buffer.data();
    for (std::size_t width = 1; width < size; width *= 2) {
        for (std::size_t start = 0; start < size; start += 2 * width) {
            const std::size_t middle = std::min(start + width, size);
            const std::size_t end = std::min(start + 2 * width, size);
            std::size_t left = start, right = middle, out = start;
            while (left < middle && right < end)
                to[out++] = GoesBefore(*from[right], *from[left], levels) ? from[right++] : from[left++];
            while (left < middle)
                to[out++] = from[left++];
            while (right < end)
                to[out++] = from[right++];
        }
        std::swap(from, to);
    }
    if (from != items)
        std::copy(from, from + size, items);
}

HITEM RootHandleOf(const CItemTree& tree) { return tree.GetKind() == AreaFixed ? GRID_FIXED_ROOT : GRID_ROOT; }

void Preorder(CGridItem* item, std::vector<CGridItem*>& out)
{
    // Iterative: trees may be thousands of levels deep.
    std::vector<CGridItem*> stack = {item};
    while (!stack.empty()) {
        CGridItem* current = stack.back();
        stack.pop_back();
        out.push_back(current);
        const auto& children = current->GetChildren();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back(*it);
    }
}

} // namespace

CGridRows::CGridRows(IGridSurface* surface)
    : m_surface(surface), m_scrollable(std::make_unique<CItemTree>(this, AreaScrollable)),
      m_fixed(std::make_unique<CItemTree>(this, AreaFixed))
{
}

CGridRows::~CGridRows()
{
    for (CGridItem* item : CItemTree::Detached().TakeDetachedOf(this))
        delete item;
    m_eventsEnabled = false;
    ClearTree(*m_scrollable);
    ClearTree(*m_fixed);
}

CItemTree* CGridRows::TreeOfArea(int area) noexcept
{
    if (area == AreaFixed)
        return m_fixed.get();
    if (area == AreaScrollable)
        return m_scrollable.get();
    return nullptr;
}

CGridItem* CGridRows::Validate(HITEM handle) const
{
    if (handle == 0 || handle >= GRID_ROOT)
        return nullptr;
    CGridItem* item = FromHandle(handle);
    if (!m_scrollable->Contains(item) && !m_fixed->Contains(item))
        return nullptr;
    return item->GetParent() ? item : nullptr;
}

CGridItem* CGridRows::ResolveParent(HITEM parent) const
{
    if (parent == GRID_ROOT || parent == ToHandle(m_scrollable->GetRoot()))
        return m_scrollable->GetRoot();
    if (parent == GRID_FIXED_ROOT || parent == ToHandle(m_fixed->GetRoot()))
        return m_fixed->GetRoot();
    return Validate(parent);
}

void CGridRows::RaiseEvent(int code, CGridItem* item)
{
    if (!m_eventsEnabled || !item || !item->GetParent() || !item->GetTree() ||
        item->GetTree()->GetKind() == TreeDetached || !m_surface)
        return;
    m_surface->RaiseEvent(code, item);
}

bool CGridRows::IsFilteredOut(CGridItem* item) { return m_surface && m_surface->IsFilteredOut(item); }

int CGridRows::RowIndexOf(CGridItem* item)
{
    if (!item || !item->HasRow() || !item->GetTree())
        return -1;
    return item->GetTree()->IndexOfRow(item);
}

void CGridRows::RestoreFocus(CGridItem* focused)
{
    if (!m_surface || !focused)
        return;
    if (m_surface->GetFocusedItem() == focused)
        return;
    const int row = RowIndexOf(focused);
    m_surface->SetFocusRow(row, row >= 0 ? focused->GetTree()->GetKind() : 0, false);
}

void CGridRows::AddVisibleCount(CGridItem* parent, int delta)
{
    for (CGridItem* item = parent; item; item = item->m_parent)
        item->m_visibleDescendants += delta;
}

// ---------------------------------------------------------------------------
// Showing and hiding rows

int CGridRows::RowInsertionPoint(CGridItem* item)
{
    // The row follows the last row of the nearest earlier sibling that has
    // one, else its parent's row: the list stays the preorder of shown items.
    CGridItem* parent = item->m_parent;
    const int position = CItemTree::IndexOfChild(item);
    for (int i = position - 1; i >= 0; --i) {
        CGridItem* sibling = parent->GetChildren()[static_cast<std::size_t>(i)];
        if (sibling->HasRow())
            return RowIndexOf(sibling) + sibling->m_visibleDescendants + 1;
    }
    return parent->m_parent ? RowIndexOf(parent) + 1 : 0;
}

void CGridRows::InsertRows(CItemTree& tree, int at, const std::vector<CGridItem*>& items)
{
    tree.m_rows.Insert(at, items);
    for (CGridItem* item : items)
        AddVisibleCount(item->m_parent, 1);
}

CGridItem* CGridRows::RowAnchor(CGridItem* item)
{
    // The last row of the nearest earlier sibling's block (its row and its
    // shown descendants, which follow it), else the parent's row.
    CGridItem* parent = item->m_parent;
    const int position = CItemTree::IndexOfChild(item);
    for (int i = position - 1; i >= 0; --i) {
        CGridItem* last = parent->GetChildren()[static_cast<std::size_t>(i)];
        if (!last->HasRow())
            continue;
        while (last->m_visibleDescendants > 0) {
            const CChildArray& children = last->GetChildren();
            auto shown = std::find_if(children.rbegin(), children.rend(), [](CGridItem* c) { return c->HasRow(); });
            if (shown == children.rend())
                break;
            last = *shown;
        }
        return last;
    }
    return parent->m_parent ? parent : nullptr;
}

int CGridRows::ShowRow(CGridItem* parent, CGridItem* item, bool needIndex)
{
    if (item->HasRow() || (parent->m_parent && !parent->HasRow()) || IsFilteredOut(item))
        return -1;
    CItemTree& tree = *item->GetTree();
    CGridItem* focused = m_surface ? m_surface->GetFocusedItem() : nullptr;
    const bool needParentRow = m_surface && parent->m_parent;
    int parentRow = 0;
    if (needParentRow) {
        auto& last = m_lastShownParent;
        parentRow = last.parent == parent && last.rows == &tree.m_rows && last.version == tree.m_rows.Version()
                        ? last.row
                        : RowIndexOf(parent);
    }
    tree.m_rows.InsertAfter(RowAnchor(item), item);
    // The row went in below its parent, whose row therefore stays.
    if (needParentRow)
        m_lastShownParent = {parent, &tree.m_rows, tree.m_rows.Version(), parentRow};
    const int at = needIndex ? tree.m_rows.IndexOf(item) : 0;
    AddVisibleCount(parent, 1);
    if (m_surface)
        m_surface->OnRowsChanged(tree.GetKind(), parentRow, false);
    RaiseEvent(EventRowShownOrHidden, item);
    RestoreFocus(focused);
    return at;
}

void CGridRows::ShowSubtree(CGridItem* item)
{
    CGridItem* parent = item->m_parent;
    if (!parent || item->HasRow() || IsFilteredOut(item))
        return;
    if (parent->m_parent && !(parent->HasRow() && parent->IsExpanded()))
        return;
    const int at = ShowRow(parent, item);
    if (at < 0)
        return;
    CItemTree& tree = *item->GetTree();
    if (item->IsExpanded()) {
        std::vector<CGridItem*> block;
        std::vector<CGridItem*> stack(item->GetChildren().rbegin(), item->GetChildren().rend());
        while (!stack.empty()) {
            CGridItem* current = stack.back();
            stack.pop_back();
            if (current->HasRow() || IsFilteredOut(current))
                continue;
            block.push_back(current);
            if (current->IsExpanded())
                stack.insert(stack.end(), current->GetChildren().rbegin(), current->GetChildren().rend());
        }
        if (!block.empty()) {
            CGridItem* focused = m_surface ? m_surface->GetFocusedItem() : nullptr;
            InsertRows(tree, at + 1, block);
            for (CGridItem* shown : block)
                RaiseEvent(EventRowShownOrHidden, shown);
            if (m_surface)
                m_surface->OnRowsChanged(tree.GetKind(), at, false);
            RestoreFocus(focused);
        }
    }
    if (tree.GetKind() == AreaScrollable && m_surface && m_surface->GetTopRow() < 0 && tree.GetRowCount() > 0)
        m_surface->SetTopRow(0);
}

void CGridRows::HideSubtree(CGridItem* item)
{
    CItemTree& tree = *item->GetTree();
    int start = 0;
    int count = 0;
    if (!item->m_parent) {
        count = tree.GetRowCount();
    } else if (item->HasRow()) {
        start = RowIndexOf(item);
        count = 1 + item->m_visibleDescendants;
    }
    if (count == 0 || start < 0)
        return;
    CGridItem* focused = m_surface ? m_surface->GetFocusedItem() : nullptr;
    if (focused && focused->GetTree() == &tree && (focused == item || focused->IsDescendantOf(item))) {
        m_surface->SetFocusRow(-1, tree.GetKind(), true);
        focused = nullptr;
    }
    const std::vector<CGridItem*> cut = tree.m_rows.Erase(start, count);
    for (auto it = cut.rbegin(); it != cut.rend(); ++it) {
        CGridItem* hidden = *it;
        AddVisibleCount(hidden->m_parent, -1);
        RaiseEvent(EventRowShownOrHidden, hidden);
    }
    if (m_surface) {
        const int parentRow = item->m_parent && item->m_parent->m_parent ? RowIndexOf(item->m_parent) : 0;
        m_surface->OnRowsChanged(tree.GetKind(), std::max(parentRow, 0), true);
    }
    RestoreFocus(focused);
}

// ---------------------------------------------------------------------------
// Linking items in and out

int CGridRows::ResolvePosition(CGridItem* parent, HITEM position)
{
    const int end = static_cast<int>(parent->GetChildren().size());
    if (position == GRID_FIRST || position == ToHandle(parent))
        return 0;
    if (position == 0 || position == GRID_ROOT || position == GRID_FIXED_ROOT || position == GRID_LAST)
        return end;
    CGridItem* at = Validate(position);
    if (!at || at->GetTree() != parent->m_tree)
        return end;
    while (at && at->m_parent != parent)
        at = at->m_parent;
    if (!at)
        return end;
    return CItemTree::IndexOfChild(at) + 1;
}

void CGridRows::MoveSubtreeToTree(CGridItem* item, CItemTree& tree)
{
    std::vector<CGridItem*> subtree;
    Preorder(item, subtree);
    for (CGridItem* member : subtree) {
        if (member->GetTree())
            member->GetTree()->Release(member);
        tree.Adopt(member);
        member->SetRowHeight(tree.GetDefaultRowHeight());
    }
}

void CGridRows::InsertChild(CGridItem* parent, CGridItem* item, HITEM position, bool show)
{
    CItemTree& tree = *parent->GetTree();
    CChildArray& children = parent->Children();
    int at = ResolvePosition(parent, position);
    if (tree.IsSorted()) {
        item->RefreshSortKeys(tree.GetSortLevels());
        at = UpperBound(children, 0, static_cast<int>(children.size()), *item, tree.GetSortLevels());
    }
    children.insert(children.begin() + at, item);
    if (at - children.Prefix() <= 1)
        children.SetPrefix(at);
    else
        children.SetPrefix(std::min(children.Prefix(), at - 1));
    item->m_parent = parent;
    item->m_hint = at;
    if ((!parent->m_parent || parent->HasRow()) && show && parent->IsExpanded()) {
        ShowRow(parent, item, false);
        if (item->HasRow() && tree.GetKind() == AreaScrollable && m_surface && m_surface->GetTopRow() < 0 &&
            tree.GetRowCount() > 0)
            m_surface->SetTopRow(0);
    } else if (parent->HasRow() && children.size() == 1 && m_surface) {
        m_surface->RepaintRow(tree.GetKind(), RowIndexOf(parent));
    }
}

bool CGridRows::LinkDetached(CGridItem* item, HITEM parentHandle, HITEM position, bool show)
{
    if (!item || item->m_parent || !CItemTree::Detached().Contains(item))
        return false;
    CGridItem* parent = ResolveParent(parentHandle);
    if (!parent)
        return false;
    MoveSubtreeToTree(item, *parent->GetTree());
    CItemTree::Detached().SetDetachedOwner(item, nullptr);
    InsertChild(parent, item, position, show);
    return true;
}

HITEM CGridRows::Add(Common::CDataObject* object, HITEM parent, HITEM position, bool foreign)
{
    if (!object)
        return 0;
    CGridItem* parentItem = ResolveParent(parent);
    if (!parentItem)
        return 0;
    // Made in its tree at once: a detour through the detached tree would
    // cost two more handle-set updates per row.
    auto* item = new CGridItem(parentItem->GetTree());
    item->Bind(object);
    InsertChild(parentItem, item, position, true);
    if (foreign && m_surface)
        m_surface->OnForeignInsert();
    RaiseEvent(EventItemAdded, item);
    return ToHandle(item);
}

void CGridRows::RaiseRemovingEvents(CGridItem* item)
{
    // Deepest first, last child first, the item itself last.
    std::vector<std::pair<CGridItem*, std::size_t>> stack = {{item, item->GetChildren().size()}};
    while (!stack.empty()) {
        auto& [current, remaining] = stack.back();
        if (remaining > 0) {
            CGridItem* child = current->GetChildren()[--remaining];
            stack.push_back({child, child->GetChildren().size()});
        } else {
            CGridItem* done = current;
            stack.pop_back();
            RaiseEvent(EventItemRemoving, done);
        }
    }
}

void CGridRows::RemoveFromParent(CGridItem* item)
{
    CGridItem* parent = item->m_parent;
    CItemTree& tree = *item->GetTree();
    HideSubtree(item);
    const int index = CItemTree::IndexOfChild(item);
    if (index >= 0) {
        CChildArray& siblings = parent->Children();
        siblings.erase(siblings.begin() + index);
        siblings.SetPrefix(std::min(siblings.Prefix(), index - 1));
    }
    item->m_parent = nullptr;
    item->m_hint = -1;
    if (parent->HasRow() && parent->GetChildren().empty() && m_surface)
        m_surface->RepaintRow(tree.GetKind(), RowIndexOf(parent));
    if (tree.GetKind() == AreaScrollable && m_surface && m_surface->GetTopRow() >= tree.GetRowCount())
        m_surface->SetTopRow(tree.GetRowCount() - 1);
}

bool CGridRows::Remove(HITEM handle)
{
    CGridItem* item = Validate(handle);
    if (!item)
        return false;
    CItemTree& tree = *item->GetTree();
    if (m_surface) {
        CGridItem* focused = m_surface->GetFocusedItem();
        if (focused && focused->GetTree() == &tree)
            m_surface->SetFocusRow(-1, tree.GetKind(), true);
    }
    const int rowsBefore = tree.GetRowCount();
    RaiseRemovingEvents(item);
    if (!Validate(handle))
        return true; // an event handler removed it already
    std::vector<CGridItem*> subtree;
    Preorder(item, subtree);
    for (CGridItem* member : subtree)
        member->Bind(nullptr);
    RemoveFromParent(item);
    delete item;
    if (tree.GetRowCount() != rowsBefore && m_surface)
        m_surface->OnRowsChanged(tree.GetKind(), tree.GetRowCount(), true);
    return true;
}

bool CGridRows::RemoveAt(int row, int areaMask)
{
    bool removed = false;
    if (areaMask & MaskFixed)
        if (CGridItem* item = m_fixed->GetItemAt(row))
            removed = Remove(ToHandle(item)) || removed;
    if (areaMask & MaskScrollable)
        if (CGridItem* item = m_scrollable->GetItemAt(row))
            removed = Remove(ToHandle(item)) || removed;
    return removed;
}

void CGridRows::ClearTree(CItemTree& tree)
{
    CGridItem* root = tree.GetRoot();
    for (auto it = root->GetChildren().rbegin(); it != root->GetChildren().rend(); ++it)
        RaiseRemovingEvents(*it);
    tree.m_rows.Clear();
    const std::vector<CGridItem*> children = root->Children().TakeAll();
    root->m_visibleDescendants = 0;
    for (CGridItem* child : children) {
        std::vector<CGridItem*> subtree;
        Preorder(child, subtree);
        for (CGridItem* member : subtree) {
            member->Bind(nullptr);
            member->m_visibleDescendants = 0;
        }
        child->m_parent = nullptr;
        delete child;
    }
}

bool CGridRows::Clear(int areaMask)
{
    if (m_surface)
        m_surface->SetFocusRow(-1, 0, true);
    m_scrollable->m_sortLevels.clear();
    m_fixed->m_sortLevels.clear();
    bool cleared = false;
    for (CItemTree* tree : {m_scrollable.get(), m_fixed.get()}) {
        if (!(areaMask & (tree->GetKind() == AreaFixed ? MaskFixed : MaskScrollable)))
            continue;
        ClearTree(*tree);
        cleared = true;
        if (m_surface)
            m_surface->OnRowsChanged(tree->GetKind(), 0, false);
    }
    Resort();
    return cleared;
}

bool CGridRows::AttachLinked(CGridItem* item, HITEM parent, HITEM position)
{
    if (!LinkDetached(item, parent, position, false))
        return false;
    CItemTree& tree = *item->GetTree();
    if (tree.IsSorted()) {
        std::vector<CGridItem*> subtree;
        Preorder(item, subtree);
        for (CGridItem* member : subtree)
            member->RefreshSortKeys(tree.GetSortLevels());
        SortSubtree(item, tree.GetSortLevels());
        // The item's own place among its new siblings.
        Reposition(item);
    }
    ShowSubtree(item);
    RaiseEvent(EventItemAttached, item);
    return true;
}

bool CGridRows::Attach(HITEM handle, HITEM parent, HITEM position)
{
    if (handle == 0 || handle >= GRID_ROOT || !CItemTree::Detached().Contains(FromHandle(handle)))
        return false;
    CGridItem* item = FromHandle(handle);
    if (!item->GetObject() || item->m_parent)
        return false;
    return AttachLinked(item, parent, position);
}

void CGridRows::DetachLinked(CGridItem* item)
{
    RaiseEvent(EventItemDetaching, item);
    if (m_surface)
        m_surface->SetFocusRow(-1, 0, true);
    CItemTree& tree = *item->GetTree();
    const int rowsBefore = tree.GetRowCount();
    RemoveFromParent(item);
    MoveSubtreeToTree(item, CItemTree::Detached());
    CItemTree::Detached().SetDetachedOwner(item, this);
    if (tree.GetRowCount() != rowsBefore && m_surface)
        m_surface->OnRowsChanged(tree.GetKind(), tree.GetRowCount(), true);
}

bool CGridRows::Detach(HITEM handle)
{
    CGridItem* item = Validate(handle);
    if (!item)
        return false;
    DetachLinked(item);
    return true;
}

void CGridRows::Move(HITEM handle, HITEM parentHandle, HITEM sibling, bool before)
{
    CGridItem* item = Validate(handle);
    if (!item || sibling == handle)
        return; // an item cannot be placed next to itself
    CGridItem* parent = parentHandle == 0 ? item->m_parent : ResolveParent(parentHandle);
    if (!parent || parent == item || parent->IsDescendantOf(item))
        return;
    HITEM position = GRID_LAST;
    if (sibling == GRID_FIRST || sibling == GRID_LAST) {
        position = sibling;
    } else {
        CGridItem* next = Validate(sibling);
        if (!next || next->m_parent != parent)
            return;
        if (before) {
            const int index = CItemTree::IndexOfChild(next);
            // Skip the item itself when it stands right before the sibling.
            int previous = index - 1;
            if (previous >= 0 && parent->GetChildren()[static_cast<std::size_t>(previous)] == item)
                --previous;
            position = previous < 0 ? GRID_FIRST : ToHandle(parent->GetChildren()[static_cast<std::size_t>(previous)]);
        } else {
            position = sibling;
        }
    }
    const HITEM parentAfter = parent->m_parent ? ToHandle(parent) : RootHandleOf(*parent->GetTree());
    DetachLinked(item);
    AttachLinked(item, parentAfter, position);
}

// ---------------------------------------------------------------------------
// Expanding, queries, visiting

void CGridRows::Expand(HITEM handle, bool recursive)
{
    CGridItem* item = ResolveParent(handle);
    if (!item)
        return;
    if (!item->IsExpanded()) {
        item->m_flags |= CGridItem::FlagExpanded;
        RaiseEvent(EventExpandedChanged, item);
    }
    const std::vector<CGridItem*> children = item->GetChildren().ToVector();
    for (CGridItem* child : children) {
        if (recursive && Validate(ToHandle(child)))
            Expand(ToHandle(child), true);
        if (Validate(ToHandle(child)) && !child->HasRow())
            ShowSubtree(child);
    }
}

void CGridRows::Collapse(HITEM handle, bool recursive)
{
    CGridItem* item = ResolveParent(handle);
    if (!item)
        return;
    const bool isRoot = item->m_parent == nullptr;
    if (!isRoot) {
        if (item->IsExpanded()) {
            item->m_flags &= static_cast<std::uint8_t>(~CGridItem::FlagExpanded);
            RaiseEvent(EventExpandedChanged, item);
        }
        for (CGridItem* child : item->GetChildren().ToVector())
            if (child->HasRow())
                HideSubtree(child);
    }
    if (recursive)
        for (CGridItem* child : item->GetChildren().ToVector())
            if (Validate(ToHandle(child)))
                Collapse(ToHandle(child), true);
}

bool CGridRows::IsExpanded(HITEM handle) const
{
    CGridItem* item = Validate(handle);
    return item && item->IsExpanded();
}

bool CGridRows::IsVisible(HITEM handle) const
{
    CGridItem* item = Validate(handle);
    return item && item->HasRow();
}

int CGridRows::GetArea(HITEM handle) const
{
    CGridItem* item = Validate(handle);
    return item ? item->GetTree()->GetKind() : 0;
}

HITEM CGridRows::GetParent(HITEM handle) const
{
    CGridItem* item = Validate(handle);
    if (!item)
        return 0;
    if (!item->m_parent->m_parent)
        return RootHandleOf(*item->GetTree());
    return ToHandle(item->m_parent);
}

int CGridRows::GetLevel(HITEM handle) const
{
    CGridItem* item = Validate(handle);
    return item ? item->GetLevel() : -1;
}

void CGridRows::GetChildren(HITEM parentHandle, std::vector<HITEM>& children, bool visibleOnly) const
{
    children.clear();
    CGridItem* parent = ResolveParent(parentHandle);
    if (!parent)
        return;
    for (CGridItem* child : parent->GetChildren())
        if (!visibleOnly || child->HasRow())
            children.push_back(ToHandle(child));
}

bool CGridRows::HasChildren(HITEM parentHandle) const
{
    CGridItem* parent = ResolveParent(parentHandle);
    return parent && !parent->GetChildren().empty();
}

HITEM CGridRows::GetItem(Common::CDataObject* object)
{
    CGridItem* sole = nullptr;
    if (CObjectRegistry::Instance().FindSoleItem(object, this, sole))
        return ToHandle(sole);
    std::vector<CGridItem*> items;
    CObjectRegistry::Instance().FindItems(object, items, this);
    if (items.empty())
        return 0;
    CGridItem* best = items.front();
    for (CGridItem* candidate : items) {
        const bool fixedBetter = candidate->GetTree()->GetKind() == AreaFixed && best->GetTree()->GetKind() != AreaFixed;
        const bool sameKind = candidate->GetTree()->GetKind() == best->GetTree()->GetKind();
        if (fixedBetter || (sameKind && RowIndexOf(candidate) < RowIndexOf(best)))
            best = candidate;
    }
    return ToHandle(best);
}

void CGridRows::GetItems(Common::CDataObject* object, std::vector<HITEM>& items, int areaMask, bool visibleOnly)
{
    std::vector<CGridItem*> found;
    CObjectRegistry::Instance().FindItems(object, found, this);
    for (CGridItem* item : found) {
        const int mask = item->GetTree()->GetKind() == AreaFixed ? MaskFixed : MaskScrollable;
        if ((areaMask & mask) && item->m_parent && (!visibleOnly || item->HasRow()))
            items.push_back(ToHandle(item));
    }
}

void CGridRows::GetAllItems(int areaMask, std::vector<HITEM>& items) const
{
    for (CItemTree* tree : {m_fixed.get(), m_scrollable.get()}) {
        if (!(areaMask & (tree->GetKind() == AreaFixed ? MaskFixed : MaskScrollable)))
            continue;
        std::vector<CGridItem*> all;
        Preorder(tree->GetRoot(), all);
        for (std::size_t i = 1; i < all.size(); ++i)
            items.push_back(ToHandle(all[i]));
    }
}

int CGridRows::GetVisibleIndex(HITEM handle)
{
    CGridItem* item = Validate(handle);
    return item ? RowIndexOf(item) : -1;
}

HITEM CGridRows::GetItemAt(int row, int area)
{
    CItemTree* tree = TreeOfArea(area);
    return tree ? ToHandle(tree->GetItemAt(row)) : 0;
}

int CGridRows::GetRowCount(int area)
{
    CItemTree* tree = TreeOfArea(area);
    return tree ? tree->GetRowCount() : 0;
}

HITEM CGridRows::GetPrevRow(HITEM handle, bool crossAreas)
{
    CGridItem* item = Validate(handle);
    if (!item || !item->HasRow())
        return 0;
    const int row = RowIndexOf(item);
    if (row > 0)
        return ToHandle(item->GetTree()->GetItemAt(row - 1));
    if (crossAreas && item->GetTree()->GetKind() == AreaScrollable && m_fixed->GetRowCount() > 0)
        return ToHandle(m_fixed->GetItemAt(m_fixed->GetRowCount() - 1));
    return 0;
}

HITEM CGridRows::GetNextRow(HITEM handle, bool crossAreas)
{
    CGridItem* item = Validate(handle);
    if (!item || !item->HasRow())
        return 0;
    const int row = RowIndexOf(item);
    if (row + 1 < item->GetTree()->GetRowCount())
        return ToHandle(item->GetTree()->GetItemAt(row + 1));
    if (crossAreas && item->GetTree()->GetKind() == AreaFixed && m_scrollable->GetRowCount() > 0)
        return ToHandle(m_scrollable->GetItemAt(0));
    return 0;
}

Common::CDataObject* CGridRows::GetObject(HITEM handle, int row, int area)
{
    if (handle) {
        CGridItem* item = Validate(handle);
        return item ? item->GetObject() : nullptr;
    }
    CItemTree* tree = TreeOfArea(area);
    CGridItem* item = tree ? tree->GetItemAt(row) : nullptr;
    return item ? item->GetObject() : nullptr;
}

void CGridRows::ForEach(IItemVisitor* visitor, HITEM start)
{
    if (!visitor)
        return;
    CGridItem* first = Validate(start);
    if (!first) {
        if ((start == 0 || start == GRID_FIXED_ROOT || start == GRID_FIRST) && !m_fixed->GetRoot()->GetChildren().empty())
            first = m_fixed->GetRoot()->GetChildren().front();
        else if (!m_scrollable->GetRoot()->GetChildren().empty() &&
                 (start == 0 || start == GRID_FIXED_ROOT || start == GRID_FIRST || start == GRID_ROOT))
            first = m_scrollable->GetRoot()->GetChildren().front();
        else
            return;
    }
    // The start's subtree, then the following siblings of it and of each
    // ancestor, then (from the fixed tree) the whole scrollable tree.
    std::vector<CGridItem*> order;
    for (CGridItem* item = first; item && item->m_parent; item = item->m_parent) {
        CGridItem* parent = item->m_parent;
        const int index = CItemTree::IndexOfChild(item);
        for (std::size_t i = static_cast<std::size_t>(index); i < parent->GetChildren().size(); ++i) {
            if (i == static_cast<std::size_t>(index) && item != first)
                continue;
            Preorder(parent->GetChildren()[i], order);
        }
    }
    if (first->GetTree()->GetKind() == AreaFixed)
        for (CGridItem* child : m_scrollable->GetRoot()->GetChildren())
            Preorder(child, order);
    for (CGridItem* item : order) {
        if (!Validate(ToHandle(item)))
            continue; // removed by an earlier visit
        if (!visitor->Visit(this, item, item->GetObject()))
            return;
    }
}

void CGridRows::ForEachRow(IItemVisitor* visitor, HITEM start)
{
    if (!visitor)
        return;
    CItemTree* tree = nullptr;
    int row = 0;
    if (CGridItem* item = Validate(start); item && item->HasRow()) {
        tree = item->m_tree;
        row = RowIndexOf(item);
    } else {
        tree = m_fixed->GetRowCount() > 0 ? m_fixed.get() : m_scrollable.get();
    }
    std::vector<CGridItem*> order;
    for (int i = row; i < tree->GetRowCount(); ++i)
        order.push_back(tree->GetItemAt(i));
    if (tree == m_fixed.get())
        for (int i = 0; i < m_scrollable->GetRowCount(); ++i)
            order.push_back(m_scrollable->GetItemAt(i));
    for (CGridItem* item : order) {
        if (!Validate(ToHandle(item)))
            continue;
        if (!visitor->Visit(this, item, item->GetObject()))
            return;
    }
}

std::uint32_t CGridRows::GetItemState(HITEM handle)
{
    CGridItem* item = Validate(handle);
    if (!item)
        return 0;
    std::uint32_t state = StateInGrid;
    if (item->IsSelected())
        state |= StateSelected;
    if (m_surface && m_surface->GetFocusedItem() == item)
        state |= StateFocused;
    if (item->HasRow())
        state |= StateVisible;
    if (item->IsExpanded())
        state |= StateExpanded;
    if (IsFilteredOut(item))
        state |= StateFilteredOut;
    return state;
}

// ---------------------------------------------------------------------------
// Selection

bool CGridRows::SetItemSelected(CGridItem* item, bool selected)
{
    if (!item || !item->m_parent || item->IsSelected() == selected)
        return false;
    if (selected) {
        item->m_flags |= CGridItem::FlagSelected;
        item->GetTree()->m_selected.insert(item);
    } else {
        item->m_flags &= static_cast<std::uint8_t>(~CGridItem::FlagSelected);
        item->GetTree()->m_selected.erase(item);
    }
    RaiseEvent(EventSelectionChanged, item);
    if (item->HasRow() && m_surface)
        m_surface->RepaintRow(item->GetTree()->GetKind(), RowIndexOf(item));
    return true;
}

int CGridRows::GetSelectedCount() const
{
    return static_cast<int>(m_fixed->GetSelected().size() + m_scrollable->GetSelected().size());
}

void CGridRows::GetSelectedItemsByIndex(std::vector<HITEM>& items, int areaMask)
{
    for (CItemTree* tree : {m_fixed.get(), m_scrollable.get()}) {
        if (!(areaMask & (tree->GetKind() == AreaFixed ? MaskFixed : MaskScrollable)))
            continue;
        std::vector<std::pair<int, CGridItem*>> rows;
        for (CGridItem* item : tree->GetSelected())
            if (item->HasRow())
                rows.emplace_back(RowIndexOf(item), item);
        std::sort(rows.begin(), rows.end());
        for (const auto& entry : rows)
            items.push_back(ToHandle(entry.second));
    }
}

void CGridRows::GetSelectedItemsByScan(std::vector<HITEM>& items, int areaMask)
{
    for (CItemTree* tree : {m_fixed.get(), m_scrollable.get()}) {
        if (!(areaMask & (tree->GetKind() == AreaFixed ? MaskFixed : MaskScrollable)))
            continue;
        for (CGridItem* item : tree->m_rows.Items())
            if (item->IsSelected())
                items.push_back(ToHandle(item));
    }
}

void CGridRows::GetSelectedItems(std::vector<HITEM>& items, int areaMask)
{
    const std::size_t selected = static_cast<std::size_t>(GetSelectedCount());
    const std::size_t rows = static_cast<std::size_t>(m_fixed->GetRowCount() + m_scrollable->GetRowCount());
    if (selected > 0 && selected < 1024 && rows >= 100 * (selected - 1))
        GetSelectedItemsByIndex(items, areaMask);
    else
        GetSelectedItemsByScan(items, areaMask);
}

// ---------------------------------------------------------------------------
// Sorting

void CGridRows::SortSubtree(CGridItem* item, const std::vector<CSortInfo>& levels)
{
    std::vector<CGridItem*> stack = {item};
    while (!stack.empty()) {
        CGridItem* current = stack.back();
        stack.pop_back();
        if (current->GetChildren().empty())
            continue; // a leaf: no branch is made for it
        CChildArray& children = current->Children();
        MergeSort(children.begin(), children.size(), levels);
        for (std::size_t i = 0; i < children.size(); ++i)
            children[i]->m_hint = static_cast<int>(i);
        children.SetPrefix(static_cast<int>(children.size()) - 1);
        stack.insert(stack.end(), children.begin(), children.end());
    }
}

void CGridRows::RebuildRowOrder(CItemTree& tree)
{
    // The shown items again, in the new preorder (an item without a row
    // hides its subtree).
    std::vector<CGridItem*> shown;
    shown.reserve(static_cast<std::size_t>(tree.GetRowCount()));
    std::vector<CGridItem*> stack(tree.GetRoot()->GetChildren().rbegin(), tree.GetRoot()->GetChildren().rend());
    while (!stack.empty()) {
        CGridItem* item = stack.back();
        stack.pop_back();
        if (!item->HasRow())
            continue;
        shown.push_back(item);
        stack.insert(stack.end(), item->GetChildren().rbegin(), item->GetChildren().rend());
    }
    tree.m_rows.Assign(shown);
}

void CGridRows::Resort()
{
    ++m_resortCount;
    CGridItem* focused = m_surface ? m_surface->GetFocusedItem() : nullptr;
    std::vector<CSortInfo> levels = m_header ? m_header->GetSortLevels() : std::vector<CSortInfo>();
    if (levels.size() > static_cast<std::size_t>(kMaxSortLevels))
        levels.resize(kMaxSortLevels);
    for (CItemTree* tree : {m_scrollable.get(), m_fixed.get()}) {
        const int bit = tree->GetKind() == AreaFixed ? MaskFixed : MaskScrollable;
        tree->m_sortLevels.clear();
        if (!(m_sortAreas & bit) || levels.empty())
            continue;
        tree->m_sortLevels = levels;
        std::vector<CGridItem*> all;
        Preorder(tree->GetRoot(), all);
        for (std::size_t i = 1; i < all.size(); ++i)
            all[i]->RefreshSortKeys(levels);
        SortSubtree(tree->GetRoot(), levels);
        RebuildRowOrder(*tree);
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
    m_scrollable->m_sortLevels.clear();
    m_fixed->m_sortLevels.clear();
}

void CGridRows::Reposition(CGridItem* item)
{
    if (!item || !item->m_parent || !item->m_tree || !item->GetTree()->IsSorted())
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
    const int upper = UpperBound(siblings, 0, oldPosition, *item, levels);
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
    const int blockSize = 1 + item->m_visibleDescendants;
    const std::vector<CGridItem*> block = tree.m_rows.Erase(oldRow, blockSize);
    const int newRow = RowInsertionPoint(item);
    tree.m_rows.Insert(newRow, block);
    if (m_surface) {
        m_surface->RepaintRows(tree.GetKind(), std::min(oldRow, newRow), std::max(oldRow, newRow) + blockSize - 1);
        m_surface->SetFocusRow(-1, tree.GetKind(), false);
    }
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

// ---------------------------------------------------------------------------
// The row filter

void CGridRows::RefilterChildren(CGridItem* parent)
{
    for (CGridItem* child : parent->GetChildren().ToVector()) {
        if (!Validate(ToHandle(child)))
            continue;
        const bool hadRow = child->HasRow();
        const bool hidden = IsFilteredOut(child);
        if (hidden && hadRow) {
            HideSubtree(child);
            RaiseEvent(EventFilterChanged, child);
        } else if (!hidden && !hadRow && parent->IsExpanded() && (!parent->m_parent || parent->HasRow())) {
            ShowSubtree(child);
            if (child->HasRow())
                RaiseEvent(EventFilterChanged, child);
        }
        if (hadRow && child->HasRow())
            RefilterChildren(child);
    }
}

bool CGridRows::RefilterItem(CGridItem* item)
{
    if (!Validate(ToHandle(item)))
        return false;
    CGridItem* parent = item->m_parent;
    const bool hadRow = item->HasRow();
    const bool hidden = IsFilteredOut(item);
    if (hidden && hadRow)
        HideSubtree(item);
    else if (!hidden && !hadRow && parent->IsExpanded() && (!parent->m_parent || parent->HasRow()))
        ShowSubtree(item);
    if (hadRow == item->HasRow())
        return false;
    RaiseEvent(EventFilterChanged, item);
    return true;
}

void CGridRows::Refilter()
{
    RefilterChildren(m_fixed->GetRoot());
    RefilterChildren(m_scrollable->GetRoot());
}

} // namespace Kestrum::GUI
