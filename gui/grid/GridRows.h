// CGridRows: the two row trees of a grid (fixed and scrollable) and every
// hierarchy and sort operation on them. It runs without a window: what the
// screen must learn (rows changed, repaint, focus, top row, events, the row
// filter) goes through IGridSurface, which the grid widget implements.
//
// Threads: the grid's thread only; the widget carries foreign calls over.
// Every operation validates its handles first: a stale or foreign handle
// makes it return its nothing value and change nothing.
//
// Sorting: each tree keeps its child arrays in the order of its sort levels
// (a copy of the header's). The comparison (CompareSortKeys) is a strict
// weak order: on each level a row whose key is empty goes after every row
// with a key, in either direction, and keys of different types order by
// type code. Sorts are stable and insertions go after equal siblings, so
// rows that compare equal (those without the key among them) keep their
// order. An item's own row is always found through its record, never by
// searching.
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "gui/grid/GridItem.h"
#include "gui/grid/GridTypes.h"
#include "gui/grid/RowMatch.h"

namespace Kestrum::GUI {

class CHeader;
class IDispatchTarget;

// What the hierarchy tells the screen.
class KESTRUM_GRIDCORE_EXPORT IGridSurface {
public:
    // Rows of an area changed from `firstRow` on.
    virtual void OnRowsChanged(int area, int firstRow, bool keepTop) = 0;
    virtual void RepaintRow(int area, int row) = 0;
    // Repaints the rows first..last of an area that lie in view.
    virtual void RepaintRows(int area, int firstRow, int lastRow) = 0;
    virtual void RepaintAll() = 0;
    // Row -1 clears the focus.
    virtual void SetFocusRow(int row, int area, bool repaint) = 0;
    virtual CGridItem* GetFocusedItem() const = 0;
    virtual int GetTopRow() const = 0;
    virtual void SetTopRow(int row) = 0;
    virtual void RaiseEvent(int code, CGridItem* item) = 0;
    // The row filter: true hides the item's row.
    virtual bool IsFilteredOut(CGridItem* item) = 0;
    // An insertion arrived from a foreign thread (restarts the refresh timer).
    virtual void OnForeignInsert() = 0;
    // The item's row left the visible list (hidden, removed, filtered out),
    // or every row of an area went (Clear): told even while events are off,
    // before any item goes, so whoever holds on to a row can let go of it.
    virtual void OnRowHidden(CGridItem* /*item*/) {}
    // Whether item events (RaiseEvent) reach anyone: when not, operations on
    // whole subtrees skip raising them one by one.
    virtual bool HearsItemEvents() const { return true; }
    virtual void OnAreaCleared(int /*area*/) {}

protected:
    ~IGridSurface() = default;
};

class KESTRUM_GRIDCORE_EXPORT CGridRows {
public:
    explicit CGridRows(IGridSurface* surface);
    CGridRows(const CGridRows&) = delete;
    CGridRows& operator=(const CGridRows&) = delete;
    ~CGridRows();

    IGridSurface* GetSurface() const noexcept { return m_surface; }
    // The grid the dispatcher applies its rows' object changes to (set once,
    // before the rows are shared; read by other threads under the registry lock).
    void SetDispatchTarget(IDispatchTarget* target) noexcept { m_dispatchTarget = target; }
    IDispatchTarget* GetDispatchTarget() const noexcept { return m_dispatchTarget; }
    CItemTree& Scrollable() noexcept { return *m_scrollable; }
    CItemTree& Fixed() noexcept { return *m_fixed; }
    CItemTree* TreeOfArea(int area) noexcept;
    // The header whose sort levels the trees follow (not owned; may be null).
    void SetHeader(CHeader* header) noexcept { m_header = header; }
    CHeader* GetHeader() const noexcept { return m_header; }
    void SetEventsEnabled(bool enabled) noexcept { m_eventsEnabled = enabled; }
    bool AreEventsEnabled() const noexcept { return m_eventsEnabled; }
    // A live item (not a root) of either tree, or null.
    CGridItem* Validate(HITEM handle) const;

    // Hierarchy. `foreign`: the request came from another thread.
    HITEM Add(Common::CDataObject* object, HITEM parent, HITEM position, bool foreign = false);
    bool Remove(HITEM item);
    bool RemoveAt(int row, int areaMask);
    bool Clear(int areaMask);
    bool Attach(HITEM item, HITEM parent, HITEM position);
    bool Detach(HITEM item);
    void Move(HITEM item, HITEM parent, HITEM sibling, bool before);
    void Expand(HITEM handle, bool recursive);
    void Collapse(HITEM handle, bool recursive);
    bool IsExpanded(HITEM item) const;
    bool IsVisible(HITEM item) const;
    int GetArea(HITEM item) const;
    HITEM GetParent(HITEM item) const;
    int GetLevel(HITEM item) const;
    void GetChildren(HITEM parent, std::vector<HITEM>& children, bool visibleOnly) const;
    bool HasChildren(HITEM parent) const;
    HITEM GetItem(Common::CDataObject* object);
    void GetItems(Common::CDataObject* object, std::vector<HITEM>& items, int areaMask, bool visibleOnly);
    void GetAllItems(int areaMask, std::vector<HITEM>& items) const;
    int GetVisibleIndex(HITEM item);
    HITEM GetItemAt(int row, int area);
    int GetRowCount(int area);
    HITEM GetPrevRow(HITEM item, bool crossAreas);
    HITEM GetNextRow(HITEM item, bool crossAreas);
    Common::CDataObject* GetObject(HITEM item, int row, int area);
    void ForEach(IItemVisitor* visitor, HITEM start);
    void ForEachRow(IItemVisitor* visitor, HITEM start);
    std::uint32_t GetItemState(HITEM item);

    // Selection flags (the surface adds its enabling rules).
    bool SetItemSelected(CGridItem* item, bool selected);
    int GetSelectedCount() const;
    // The selected items that have a row, in row order.
    void GetSelectedItems(std::vector<HITEM>& items, int areaMask);
    // Both ways of collecting, for callers that need one in particular.
    void GetSelectedItemsByIndex(std::vector<HITEM>& items, int areaMask);
    void GetSelectedItemsByScan(std::vector<HITEM>& items, int areaMask);

    // Sorting.
    void SetSortAreas(int mask) noexcept { m_sortAreas = mask; }
    int GetSortAreas() const noexcept { return m_sortAreas; }
    // Re-applies the header's levels to both trees.
    // How many times Resort has run (lets a caller skip a repeated pass).
    std::uint64_t GetResortCount() const noexcept { return m_resortCount; }
    void Resort();
    // Empties both trees' levels; the order stays.
    void ClearTreeSortLevels();
    // How many children a folder that shows no rows below it has before new
    // ones wait unsorted (see InsertChild); SIZE_MAX inserts every child in
    // its place at once.
    void SetDeferFrom(std::size_t count) noexcept { m_deferFrom = count; }
    // Moves an item to its sorted place after its keys may have changed.
    void Reposition(CGridItem* item);
    // Applies a click on a header caption to the header's sort levels.
    static void ApplyHeaderClick(CHeader* header, std::int32_t fieldId, bool shift, bool ctrl);

    // The row filter changed: shows and hides rows to match it.
    void Refilter();
    // Re-asks the filter about one item (its value changed); true when that
    // changed whether it has a row.
    bool RefilterItem(CGridItem* item);

    // The row match (not owned; null clears it), both trees at once. Setting
    // one opens every ancestor of a match, and an ancestor whose first match
    // below arrives later; clearing it puts back the expanded flags of before
    // (with what was expanded or collapsed by call meanwhile) and opens the
    // path to the focused row, which keeps the focus (else the row focused
    // before the match gets it back). Returns the previous match.
    IRowMatch* SetRowMatch(IRowMatch* match);
    IRowMatch* GetRowMatch() const noexcept { return m_match; }
    // The items of both trees the match took (0 without one).
    int GetMatchedCount() const;

    // The row index of an item in its area, or -1.
    int RowIndexOf(CGridItem* item);

    // The items of an area in display order: its shown rows, or with
    // `underCollapsed` every item as if all were expanded (rows the filter
    // hides stay out, with what is under them).
    void CollectRows(int area, bool underCollapsed, std::vector<CGridItem*>& out);
    // Counts the removals of items (Remove, Clear): a holder of item
    // pointers sees whether they may have gone.
    std::uint64_t GetRemovalCount() const noexcept { return m_removalCount; }

private:
    // From this many children on, a folder that shows no rows below it takes
    // new ones unsorted (smaller arrays insert in place cheaply).
    std::size_t m_deferFrom = 256;
    std::uint64_t m_resortCount = 0;
    std::uint64_t m_removalCount = 0;
    // The row of the parent that last had a row added under it: while rows
    // stream in under one parent its row is not looked up again.
    struct {
        const CGridItem* parent = nullptr;
        const CRowList* rows = nullptr;
        std::uint64_t version = 0;
        int row = -1;
    } m_lastShownParent;
    CGridItem* ResolveParent(HITEM parent) const;
    void RaiseEvent(int code, CGridItem* item);
    void RaiseRemovingEvents(CGridItem* item);
    // `mayDefer`: under a sorted parent that shows no rows below it, a large
    // child array takes the item into its unsorted tail.
    void InsertChild(CGridItem* parent, CGridItem* item, HITEM position, bool show, bool mayDefer = false);
    int ResolvePosition(CGridItem* parent, HITEM position);
    bool LinkDetached(CGridItem* item, HITEM parent, HITEM position, bool show);
    bool AttachLinked(CGridItem* item, HITEM parent, HITEM position);
    void DetachLinked(CGridItem* item);
    void MoveSubtreeToTree(CGridItem* item, CItemTree& tree);
    void RemoveFromParent(CGridItem* item);
    // Shows the item's row; returns its index when `needIndex`, else 0
    // (-1 when it is not shown).
    int ShowRow(CGridItem* parent, CGridItem* item, bool needIndex = true);
    // The row the item's row goes right after; null: the first row.
    CGridItem* RowAnchor(CGridItem* item);
    void ShowSubtree(CGridItem* item);
    bool HearsItemEvents() const;
    // Expands the item and everything under it in one pass (nobody hears
    // the events).
    void ExpandSubtree(CGridItem* item);
    // Collapses the item and everything under it in one pass (nobody hears
    // the events; whoever holds a row is still told it went).
    void CollapseSubtree(CGridItem* item);
    void HideSubtree(CGridItem* item);
    int RowInsertionPoint(CGridItem* item);
    void InsertRows(CItemTree& tree, int at, const std::vector<CGridItem*>& items);
    void AddVisibleCount(CGridItem* parent, int delta);
    void ClearTree(CItemTree& tree);
    void SortSubtree(CGridItem* item, const std::vector<CSortInfo>& levels);
    // Merges every unsorted tail of the tree (before its levels change).
    static void SettleTails(CItemTree& tree);
    // Refreshes the keys of every item of the tree, sorts it and puts its
    // rows in the new order.
    void SortTree(CItemTree& tree, const std::vector<CSortInfo>& levels);
    // Where an item goes among siblings [low, high): after every sibling
    // that does not come after it.
    static int SortedPosition(const CChildArray& siblings, int low, int high, const CGridItem& item,
                              const std::vector<CSortInfo>& levels);
    static void Preorder(CGridItem* item, std::vector<CGridItem*>& out);
    void RestoreFocus(CGridItem* focused);
    bool IsFilteredOut(CGridItem* item);
    void RefilterChildren(CGridItem* parent);
    // The row match (GridRowsMatch.cpp).
    void MatchLinked(CGridItem* item);
    void AddMatchesFrom(CGridItem* first, int delta);
    bool Rematch(CGridItem* item);
    void ShowWithAncestors(CGridItem* item);
    void HideUnmatchedFrom(CGridItem* first);
    void RebuildRows(CItemTree& tree);
    void SaveExpanded(CGridItem* item, bool subtree);
    IRowMatch* m_match = nullptr;
    HITEM m_focusBeforeMatch = 0;

    IGridSurface* m_surface;
    IDispatchTarget* m_dispatchTarget = nullptr;
    std::unique_ptr<CItemTree> m_scrollable;
    std::unique_ptr<CItemTree> m_fixed;
    CHeader* m_header = nullptr;
    int m_sortAreas = MaskBoth;
    bool m_eventsEnabled = true;
};

} // namespace Kestrum::GUI
