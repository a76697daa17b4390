// The row match: an item has a row only when it matches or something below
// it does. Each item carries its verdict (FlagMatched) and how many items
// below it matched (Branch::matchesBelow), kept up as items join, leave and
// change, so a row joining a tree costs one question and, when it matched, a
// walk up its ancestors; nothing is recounted.
#include <algorithm>

#include "gui/grid/GridRows.h"

namespace Kestrum::GUI {

int CGridRows::GetMatchedCount() const
{
    if (!m_match)
        return 0;
    return m_scrollable->GetRoot()->GetMatchesBelow() + m_fixed->GetRoot()->GetMatchesBelow();
}

void CGridRows::AddMatchesFrom(CGridItem* first, int delta)
{
    // An ancestor whose first match below arrives is opened: the path to a
    // match shows. One that had matches keeps what was done to it.
    for (CGridItem* ancestor = first; ancestor; ancestor = ancestor->m_parent) {
        int& below = ancestor->GetBranch().matchesBelow;
        const bool firstMatch = below == 0 && delta > 0;
        below += delta;
        if (firstMatch && ancestor->m_parent && !ancestor->IsExpanded()) {
            ancestor->m_flags |= CGridItem::FlagExpanded;
            RaiseEvent(EventExpandedChanged, ancestor);
        }
    }
}

void CGridRows::MatchLinked(CGridItem* item)
{
    if (item->GetChildren().empty() && item->m_parent) {
        // A row added: one question, and for a match a walk up.
        if (m_match->Matches(item, item->GetObject())) {
            item->m_flags |= CGridItem::FlagMatched;
            AddMatchesFrom(item->m_parent, 1);
        } else {
            item->m_flags &= static_cast<std::uint8_t>(~CGridItem::FlagMatched);
        }
        return;
    }
    // The verdicts of the subtree that joined, children before parents.
    std::vector<CGridItem*> subtree;
    Preorder(item, subtree);
    for (CGridItem* member : subtree)
        if (CGridItem::Branch* branch = member->BranchOf())
            branch->matchesBelow = 0;
    for (auto it = subtree.rbegin(); it != subtree.rend(); ++it) {
        CGridItem* member = *it;
        if (member->m_parent && m_match->Matches(member, member->GetObject()))
            member->m_flags |= CGridItem::FlagMatched;
        else
            member->m_flags &= static_cast<std::uint8_t>(~CGridItem::FlagMatched);
        if (member == item)
            break;
        const int count = (member->IsMatched() ? 1 : 0) + member->GetMatchesBelow();
        if (count > 0) {
            member->m_parent->GetBranch().matchesBelow += count;
            member->m_parent->m_flags |= CGridItem::FlagExpanded;
        }
    }
    const int count = (item->IsMatched() ? 1 : 0) + item->GetMatchesBelow();
    if (count > 0)
        AddMatchesFrom(item->m_parent, count);
}

bool CGridRows::Rematch(CGridItem* item)
{
    const bool matched = m_match->Matches(item, item->GetObject());
    if (matched == item->IsMatched())
        return false;
    if (matched)
        item->m_flags |= CGridItem::FlagMatched;
    else
        item->m_flags &= static_cast<std::uint8_t>(~CGridItem::FlagMatched);
    AddMatchesFrom(item->m_parent, matched ? 1 : -1);
    if (matched)
        ShowWithAncestors(item);
    else
        HideUnmatchedFrom(item);
    return true;
}

void CGridRows::ShowWithAncestors(CGridItem* item)
{
    // The topmost item of the path without a row: showing its subtree shows
    // the path down (each step of it is open) and the item.
    CGridItem* top = item;
    while (top->m_parent && top->m_parent->m_parent && !top->m_parent->HasRow())
        top = top->m_parent;
    if (top->HasRow())
        return;
    ShowSubtree(top);
    if (top->HasRow())
        RaiseEvent(EventFilterChanged, top);
}

void CGridRows::HideUnmatchedFrom(CGridItem* first)
{
    // The items left without a match form an unbroken run from `first` up:
    // the row of the topmost goes with everything under it.
    CGridItem* top = nullptr;
    for (CGridItem* current = first; current && current->m_parent; current = current->m_parent) {
        if (current->IsMatched() || current->GetMatchesBelow() > 0)
            break;
        top = current;
    }
    if (!top || !top->HasRow())
        return;
    HideSubtree(top);
    RaiseEvent(EventFilterChanged, top);
}

void CGridRows::SaveExpanded(CGridItem* item, bool subtree)
{
    if (!m_match)
        return;
    std::vector<CGridItem*> members = {item};
    if (subtree) {
        members.clear();
        Preorder(item, members);
    }
    for (CGridItem* member : members)
        member->m_flags = static_cast<std::uint8_t>(member->IsExpanded() ? member->m_flags | CGridItem::FlagSavedExpanded
                                                                         : member->m_flags & ~CGridItem::FlagSavedExpanded);
}

void CGridRows::RebuildRows(CItemTree& tree)
{
    // The rows the tree should show, in preorder, replace its list at once;
    // whoever holds a row that went is told, as when a subtree is hidden.
    std::vector<CGridItem*> block;
    std::vector<CGridItem*> stack(tree.GetRoot()->GetChildren().rbegin(), tree.GetRoot()->GetChildren().rend());
    while (!stack.empty()) {
        CGridItem* current = stack.back();
        stack.pop_back();
        if (IsFilteredOut(current))
            continue;
        block.push_back(current);
        if (current->IsExpanded())
            stack.insert(stack.end(), current->GetChildren().rbegin(), current->GetChildren().rend());
    }
    const std::vector<CGridItem*> old = tree.m_rows.Items();
    std::vector<bool> hadRow(block.size());
    for (std::size_t i = 0; i < block.size(); ++i)
        hadRow[i] = block[i]->HasRow();
    for (CGridItem* item : old)
        item->ClearVisibleDescendants();
    tree.GetRoot()->ClearVisibleDescendants();
    tree.m_rows.Assign(block);
    for (CGridItem* item : block)
        item->ClearVisibleDescendants();
    for (auto it = block.rbegin(); it != block.rend(); ++it)
        (*it)->m_parent->AddVisibleDescendants(1 + (*it)->GetVisibleDescendantCount());
    for (CGridItem* item : old) {
        if (item->HasRow())
            continue;
        item->NotifyEmbeddedControls(false);
        if (m_surface)
            m_surface->OnRowHidden(item);
        RaiseEvent(EventRowShownOrHidden, item);
        RaiseEvent(EventFilterChanged, item);
    }
    for (std::size_t i = 0; i < block.size(); ++i) {
        if (hadRow[i])
            continue;
        block[i]->NotifyEmbeddedControls(true);
        RaiseEvent(EventRowShownOrHidden, block[i]);
        RaiseEvent(EventFilterChanged, block[i]);
    }
    if (!m_surface)
        return;
    m_surface->OnRowsChanged(tree.GetKind(), 0, false);
    if (tree.GetKind() == AreaScrollable) {
        if (m_surface->GetTopRow() >= tree.GetRowCount())
            m_surface->SetTopRow(tree.GetRowCount() - 1);
        else if (m_surface->GetTopRow() < 0 && tree.GetRowCount() > 0)
            m_surface->SetTopRow(0);
    }
}

IRowMatch* CGridRows::SetRowMatch(IRowMatch* match)
{
    IRowMatch* previous = m_match;
    if (!match && !previous)
        return nullptr;
    CGridItem* focused = m_surface ? m_surface->GetFocusedItem() : nullptr;
    std::vector<CGridItem*> all;
    for (CItemTree* tree : {m_scrollable.get(), m_fixed.get()}) {
        all.clear();
        Preorder(tree->GetRoot(), all);
        if (!previous) // the flags to put back
            for (CGridItem* item : all)
                item->m_flags = static_cast<std::uint8_t>(item->IsExpanded() ? item->m_flags | CGridItem::FlagSavedExpanded
                                                                             : item->m_flags & ~CGridItem::FlagSavedExpanded);
        if (match) {
            m_match = match;
            MatchLinked(tree->GetRoot());
            tree->GetRoot()->m_flags |= CGridItem::FlagExpanded; // the roots stay open
            tree->GetRoot()->m_flags &= static_cast<std::uint8_t>(~CGridItem::FlagMatched);
        } else {
            for (CGridItem* item : all) {
                if (item == tree->GetRoot())
                    continue;
                const bool expanded = (item->m_flags & CGridItem::FlagSavedExpanded) != 0;
                if (expanded != item->IsExpanded()) {
                    item->m_flags = static_cast<std::uint8_t>(expanded ? item->m_flags | CGridItem::FlagExpanded
                                                                       : item->m_flags & ~CGridItem::FlagExpanded);
                    RaiseEvent(EventExpandedChanged, item);
                }
            }
        }
    }
    if (!previous)
        m_focusBeforeMatch = focused ? ToHandle(focused) : 0;
    if (!match) {
        m_match = nullptr;
        // The focused row stays in view; without one, the row focused
        // before the match takes the focus again.
        if (!focused)
            focused = Validate(m_focusBeforeMatch);
        for (CGridItem* ancestor = focused ? focused->m_parent : nullptr; ancestor && ancestor->m_parent;
             ancestor = ancestor->m_parent)
            ancestor->m_flags |= CGridItem::FlagExpanded | CGridItem::FlagSavedExpanded;
        m_focusBeforeMatch = 0;
    }
    RebuildRows(*m_fixed);
    RebuildRows(*m_scrollable);
    if (m_surface && focused) {
        const int row = RowIndexOf(focused);
        m_surface->SetFocusRow(row, row >= 0 ? focused->GetTree()->GetKind() : 0, true);
    }
    return previous;
}

} // namespace Kestrum::GUI
