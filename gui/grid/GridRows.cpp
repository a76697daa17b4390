#include "gui/grid/GridRows.h"

#include <algorithm>
#include <array>
#include <utility>

#include "gui/grid/ObjectRegistry.h"
#include "gui/header/Header.h"

namespace Kestrum::GUI {

namespace {

HITEM RootHandleOf(const CItemTree& tree) { return tree.GetKind() == AreaFixed ? GRID_FIXED_ROOT : GRID_ROOT; }

} // namespace

void CGridRows::Preorder(CGridItem* item, std::vector<CGridItem*>& out)
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
    m_surface = nullptr; // the screen may be gone already
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

bool CGridRows::IsFilteredOut(CGridItem* item)
{
    if (m_match && !item->IsMatched() && item->GetMatchesBelow() == 0)
        return true;
    return m_surface && m_surface->IsFilteredOut(item);
}

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
        item->AddVisibleDescendants(delta);
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
    if (!at || at->GetTree() != parent->GetTree())
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

void CGridRows::InsertChild(CGridItem* parent, CGridItem* item, HITEM position, bool show, bool mayDefer)
{
    CItemTree& tree = *parent->GetTree();
    const bool showsBelow = (!parent->m_parent || parent->HasRow()) && show && parent->IsExpanded();
    if (mayDefer && !showsBelow && !m_match && tree.IsSorted()) {
        // Sorted inserts into one folder move, on average, half of it: a
        // folder of many files would cost the square of its size. Its new
        // children wait unsorted until the order is read (GetChildren).
        CChildArray& stored = parent->GetBranch().children;
        if (stored.Tail() != 0 || stored.size() >= m_deferFrom) {
            item->RefreshSortKeys(tree.GetSortLevels());
            const std::size_t tail = stored.Tail();
            stored.push_back(item);
            stored.SetTail(tail + 1);
            tree.m_mayHaveTails = true;
            item->m_parent = parent;
            item->m_hint = static_cast<int>(stored.size()) - 1;
            return;
        }
    }
    CChildArray& children = parent->Children();
    int at = ResolvePosition(parent, position);
    if (tree.IsSorted()) {
        item->RefreshSortKeys(tree.GetSortLevels());
        at = SortedPosition(children, 0, static_cast<int>(children.size()), *item, tree.GetSortLevels());
    }
    children.insert(children.begin() + at, item);
    if (at - children.Prefix() <= 1)
        children.SetPrefix(at);
    else
        children.SetPrefix(std::min(children.Prefix(), at - 1));
    item->m_parent = parent;
    item->m_hint = at;
    if (m_match) {
        MatchLinked(item);
        // A match below rows not shown yet brings the path to it.
        if (show && parent->m_parent && !parent->HasRow() && !IsFilteredOut(item)) {
            ShowWithAncestors(item);
            return;
        }
    }
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
    InsertChild(parentItem, item, position, true, true);
    if (foreign && m_surface)
        m_surface->OnForeignInsert();
    RaiseEvent(EventItemAdded, item);
    return ToHandle(item);
}

void CGridRows::RaiseRemovingEvents(CGridItem* item)
{
    // Nothing would be raised: the walk would only merge waiting tails.
    if (!m_eventsEnabled || !m_surface)
        return;
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
    if (const int matches = m_match ? (item->IsMatched() ? 1 : 0) + item->GetMatchesBelow() : 0) {
        AddMatchesFrom(parent, -matches);
        HideUnmatchedFrom(parent);
    }
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
    ++m_removalCount;
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
    // Without a listener of item events the removals would reach only the
    // accessible side, which the area's rows-changed notice tells at once.
    if (HearsItemEvents())
        for (auto it = root->GetChildren().rbegin(); it != root->GetChildren().rend(); ++it)
            RaiseRemovingEvents(*it);
    tree.m_rows.Clear();
    if (m_surface)
        m_surface->OnAreaCleared(tree.GetKind());
    ++m_removalCount;
    const std::vector<CGridItem*> children = root->Children().TakeAll();
    root->ClearVisibleDescendants();
    root->GetBranch().matchesBelow = 0;
    tree.m_mayHaveTails = false;
    // Every item goes: waiting tails need no merging first. When the tree
    // holds a large share of the registry its pairs go in one sweep, and its
    // members and selection are dropped whole; then one pass frees the items.
    CObjectRegistry& registry = CObjectRegistry::Instance();
    const bool swept = registry.SweepTree(tree);
    std::vector<Common::CDataObject*> unpaired;
    if (swept)
        unpaired.reserve(tree.Size());
    tree.m_all.Clear();
    tree.m_selected.clear();
    tree.Adopt(root); // the root stays a member
    std::vector<CGridItem*> stack(children.rbegin(), children.rend());
    // Freed in batches: one taking of the pool's lock per batch.
    std::array<CGridItem*, 256> batch;
    std::size_t batched = 0;
    while (!stack.empty()) {
        CGridItem* member = stack.back();
        stack.pop_back();
        if (CGridItem::Branch* branch = member->BranchOf()) {
            CChildArray& below = branch->children;
            stack.insert(stack.end(), below.rbegin(), below.rend());
            below.clear();
        }
        if (!swept)
            member->Bind(nullptr);
        else if (member->m_object)
            unpaired.push_back(std::exchange(member->m_object, nullptr));
        member->SetTree(nullptr);
        member->m_parent = nullptr;
        batch[batched++] = member;
        if (batched == batch.size()) {
            CGridItem::DestroyMany(batch.data(), batched);
            batched = 0;
        }
    }
    CGridItem::DestroyMany(batch.data(), batched);
    if (swept)
        registry.UnsubscribeUnpaired(unpaired);
}

bool CGridRows::Clear(int areaMask)
{
    if (m_surface)
        m_surface->SetFocusRow(-1, 0, true);
    m_scrollable->m_sortLevels.clear();
    m_fixed->m_sortLevels.clear();
    bool cleared = false;
    for (CItemTree* tree : {m_scrollable.get(), m_fixed.get()}) {
        if (!AreaInMask(tree->GetKind(), areaMask))
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
    if (m_match)
        ShowWithAncestors(item);
    else
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
// Queries, visiting

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
    return parent && parent->HasChildItems();
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
        const int mask = MaskOfArea(item->GetTree()->GetKind());
        if ((areaMask & mask) && item->m_parent && (!visibleOnly || item->HasRow()))
            items.push_back(ToHandle(item));
    }
}

void CGridRows::GetAllItems(int areaMask, std::vector<HITEM>& items) const
{
    for (CItemTree* tree : {m_fixed.get(), m_scrollable.get()}) {
        if (!AreaInMask(tree->GetKind(), areaMask))
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
        tree = item->GetTree();
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
        if (!AreaInMask(tree->GetKind(), areaMask))
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
        if (!AreaInMask(tree->GetKind(), areaMask))
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

void CGridRows::CollectRows(int area, bool underCollapsed, std::vector<CGridItem*>& out)
{
    CItemTree* tree = TreeOfArea(area);
    if (!tree)
        return;
    if (!underCollapsed) {
        const std::vector<CGridItem*> shown = tree->m_rows.Items();
        out.insert(out.end(), shown.begin(), shown.end());
        return;
    }
    // Preorder without the root, iterative: trees may be thousands of levels deep.
    const auto& top = tree->GetRoot()->GetChildren();
    std::vector<CGridItem*> stack(top.rbegin(), top.rend());
    while (!stack.empty()) {
        CGridItem* current = stack.back();
        stack.pop_back();
        if (IsFilteredOut(current))
            continue;
        out.push_back(current);
        const auto& children = current->GetChildren();
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
}

} // namespace Kestrum::GUI
