// Showing and hiding rows: the visible list of each tree is the preorder of
// its shown items, kept up to date by moving whole blocks of rows; expanding,
// collapsing and the row filter decide which items are shown.
#include <algorithm>

#include "gui/grid/GridRows.h"

namespace Kestrum::GUI {
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
            return RowIndexOf(sibling) + sibling->GetVisibleDescendantCount() + 1;
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
        while (last->GetVisibleDescendantCount() > 0) {
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
    item->NotifyEmbeddedControls(true);
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
            for (CGridItem* shown : block) {
                shown->NotifyEmbeddedControls(true);
                RaiseEvent(EventRowShownOrHidden, shown);
            }
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
        count = 1 + item->GetVisibleDescendantCount();
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
        hidden->NotifyEmbeddedControls(false);
        if (m_surface)
            m_surface->OnRowHidden(hidden);
        RaiseEvent(EventRowShownOrHidden, hidden);
    }
    if (m_surface) {
        const int parentRow = item->m_parent && item->m_parent->m_parent ? RowIndexOf(item->m_parent) : 0;
        m_surface->OnRowsChanged(tree.GetKind(), std::max(parentRow, 0), true);
    }
    RestoreFocus(focused);
}

bool CGridRows::HearsItemEvents() const { return m_eventsEnabled && m_surface && m_surface->HearsItemEvents(); }

void CGridRows::ExpandSubtree(CGridItem* item)
{
    // Every item of the subtree is flagged, and where the item shows its
    // children the rows the open subtree shows are collected in preorder
    // (rows it had keep their place in that order) and replace its old block
    // at once: opening millions of rows costs a pass, not a list insertion
    // per row.
    CItemTree& tree = *item->GetTree();
    const bool shows = !item->m_parent || item->HasRow();
    CGridItem* focused = m_surface ? m_surface->GetFocusedItem() : nullptr;
    std::vector<CGridItem*> block;
    std::vector<CGridItem*> withControls; // newly shown items that hold controls
    // Each entry knows whether its parent shows its children; the filter is
    // asked in preorder, and the subtree of a hidden item is only flagged.
    struct Entry {
        CGridItem* item;
        bool parentShows;
    };
    std::vector<Entry> stack = {{item, shows}};
    while (!stack.empty()) {
        const Entry entry = stack.back();
        stack.pop_back();
        CGridItem* current = entry.item;
        bool shown = entry.parentShows;
        if (current != item && shown) {
            shown = current->HasRow() || !IsFilteredOut(current);
            if (shown) {
                block.push_back(current);
                if (!current->HasRow() && current->HasEmbeddedControls())
                    withControls.push_back(current);
            }
        }
        current->m_flags |= CGridItem::FlagExpanded;
        const CChildArray& children = current->GetChildren();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back({*it, shown});
    }
    if (!shows)
        return;
    const int itemRow = item->m_parent ? RowIndexOf(item) : -1;
    const int oldCount = item->GetVisibleDescendantCount();
    tree.m_rows.Erase(itemRow + 1, oldCount);
    tree.m_rows.Insert(itemRow + 1, block);
    // The shown counts again, children before their parents.
    for (CGridItem* shown : block)
        shown->ClearVisibleDescendants();
    item->ClearVisibleDescendants();
    for (auto it = block.rbegin(); it != block.rend(); ++it)
        (*it)->m_parent->AddVisibleDescendants(1 + (*it)->GetVisibleDescendantCount());
    AddVisibleCount(item->m_parent, item->GetVisibleDescendantCount() - oldCount);
    for (CGridItem* shown : withControls)
        shown->NotifyEmbeddedControls(true);
    if (m_surface)
        m_surface->OnRowsChanged(tree.GetKind(), std::max(itemRow, 0), false);
    RestoreFocus(focused);
    if (tree.GetKind() == AreaScrollable && m_surface && m_surface->GetTopRow() < 0 && tree.GetRowCount() > 0)
        m_surface->SetTopRow(0);
}

void CGridRows::Expand(HITEM handle, bool recursive)
{
    CGridItem* item = ResolveParent(handle);
    if (!item)
        return;
    // Without anyone to hear each item's events in their order, the subtree
    // opens in one pass.
    if (recursive && !HearsItemEvents()) {
        ExpandSubtree(item);
        SaveExpanded(item, true);
        return;
    }
    if (!item->IsExpanded()) {
        item->m_flags |= CGridItem::FlagExpanded;
        RaiseEvent(EventExpandedChanged, item);
    }
    SaveExpanded(item, false);
    const std::vector<CGridItem*> children = item->GetChildren().ToVector();
    for (CGridItem* child : children) {
        if (recursive && Validate(ToHandle(child)))
            Expand(ToHandle(child), true);
        if (Validate(ToHandle(child)) && !child->HasRow())
            ShowSubtree(child);
    }
}

void CGridRows::CollapseSubtree(CGridItem* item)
{
    // The flags go in one pass, and each block of rows that goes (the item's
    // shown descendants; under a root, each top row's) is cut at once.
    CItemTree& tree = *item->GetTree();
    std::vector<CGridItem*> owners;
    if (!item->m_parent) {
        for (CGridItem* child : item->GetChildren())
            if (child->HasRow() && child->GetVisibleDescendantCount() > 0)
                owners.push_back(child);
    } else if (item->HasRow() && item->GetVisibleDescendantCount() > 0) {
        owners.push_back(item);
    }
    std::vector<CGridItem*> stack(item->GetChildren().begin(), item->GetChildren().end());
    if (item->m_parent)
        item->m_flags &= static_cast<std::uint8_t>(~CGridItem::FlagExpanded);
    while (!stack.empty()) {
        CGridItem* current = stack.back();
        stack.pop_back();
        current->m_flags &= static_cast<std::uint8_t>(~CGridItem::FlagExpanded);
        stack.insert(stack.end(), current->GetChildren().begin(), current->GetChildren().end());
    }
    if (owners.empty())
        return;
    CGridItem* focused = m_surface ? m_surface->GetFocusedItem() : nullptr;
    if (focused && focused->GetTree() == &tree &&
        std::any_of(owners.begin(), owners.end(), [focused](CGridItem* owner) { return focused->IsDescendantOf(owner); })) {
        m_surface->SetFocusRow(-1, tree.GetKind(), true);
        focused = nullptr;
    }
    int firstRow = -1;
    for (CGridItem* owner : owners) {
        const int row = RowIndexOf(owner);
        const std::vector<CGridItem*> cut = tree.m_rows.Erase(row + 1, owner->GetVisibleDescendantCount());
        firstRow = firstRow < 0 ? row : std::min(firstRow, row);
        // Every descendant of a cut row is cut with it.
        for (auto it = cut.rbegin(); it != cut.rend(); ++it) {
            CGridItem* hidden = *it;
            hidden->ClearVisibleDescendants();
            hidden->NotifyEmbeddedControls(false);
            if (m_surface)
                m_surface->OnRowHidden(hidden);
        }
        AddVisibleCount(owner, -static_cast<int>(cut.size()));
    }
    if (m_surface)
        m_surface->OnRowsChanged(tree.GetKind(), std::max(firstRow, 0), true);
    RestoreFocus(focused);
}

void CGridRows::Collapse(HITEM handle, bool recursive)
{
    CGridItem* item = ResolveParent(handle);
    if (!item)
        return;
    // Without anyone to hear each item's events, the subtree closes in one pass.
    if (recursive && !HearsItemEvents()) {
        CollapseSubtree(item);
        SaveExpanded(item, true);
        return;
    }
    const bool isRoot = item->m_parent == nullptr;
    if (!isRoot) {
        if (item->IsExpanded()) {
            item->m_flags &= static_cast<std::uint8_t>(~CGridItem::FlagExpanded);
            RaiseEvent(EventExpandedChanged, item);
        }
        SaveExpanded(item, false);
        for (CGridItem* child : item->GetChildren().ToVector())
            if (child->HasRow())
                HideSubtree(child);
    }
    if (recursive)
        for (CGridItem* child : item->GetChildren().ToVector())
            if (Validate(ToHandle(child)))
                Collapse(ToHandle(child), true);
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
    const bool hadRow = item->HasRow();
    if (m_match && Rematch(item))
        return hadRow != item->HasRow();
    CGridItem* parent = item->m_parent;
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
