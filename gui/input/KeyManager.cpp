// The default key manager: which key runs which movement, and the movement
// rules. Each slot runs on the grid it is handed through IKeyGrid
// (KeyGrid.h): directly when the grid's own input calls it on the grid's
// thread, else through the grid's public operations.
//
// The keys enter only the areas in the grid's keyboard-area mask; an area
// "counts" when it has rows and is in that mask, and a focus outside the
// mask counts as no focus. Rows are named by (row index, area).
#include "gui/input/KeyManager.h"

#include <algorithm>

#include "gui/grid/Grid.h"
#include "gui/input/KeyGrid.h"
#include "gui/platform/KeyCodes.h"

namespace Kestrum::GUI {

namespace {

bool Counts(IKeyGrid& grid, int area) { return grid.GetRowCount(area) > 0 && grid.IsKeyboardArea(area); }
int LastRow(IKeyGrid& grid, int area) { return grid.GetRowCount(area) - 1; }
int TopRow(IKeyGrid& grid) { return std::max(grid.GetTopRow(), 0); }

// Whole rows the page shows from the top row (at least one).
int PageRows(IKeyGrid& grid, bool forward) { return std::max(1, grid.GetPageRowCount(forward)); }
// A page key moves this many rows, so the row it leaves stays in view.
int PageStep(IKeyGrid& grid, bool forward) { return std::max(1, PageRows(grid, forward) - 1); }

// The last row of the scrollable area that the page shows whole.
int LastFullyShown(IKeyGrid& grid)
{
    return std::min(LastRow(grid, AreaScrollable), TopRow(grid) + PageRows(grid, true) - 1);
}

RowPosition CurrentFocus(IKeyGrid& grid)
{
    const int area = grid.GetFocusedArea();
    const int row = grid.GetFocusedRow();
    if (row < 0 || !grid.IsKeyboardArea(area) || row >= grid.GetRowCount(area))
        return {};
    return {row, area};
}

bool IsItem(HITEM handle) { return handle != 0 && handle != GRID_ROOT && handle != GRID_FIXED_ROOT; }

// The steps every movement key shares. True when the key's own Shift rule
// is to follow (the focus moved and Shift extends the selection).
bool MoveFocus(IKeyGrid& grid, RowPosition target, bool shift, bool ctrl)
{
    if (target.IsNone() || !grid.IsKeyboardArea(target.area))
        return false;
    if (target.area == AreaScrollable)
        grid.EnsureVisible(target.row);
    if (!grid.SetFocusedRow(target.row, target.area) || ctrl)
        return false;
    if (!shift) {
        grid.Selection().SelectOnly(target);
        return false;
    }
    return true;
}

// Shift with a one-row step, and with a jump.
void ExtendByStep(IKeyGrid& grid, RowPosition old, RowPosition target) { grid.Selection().ExtendByStep(old, target); }
void ExtendByRange(IKeyGrid& grid, RowPosition old, RowPosition target) { grid.Selection().ExtendByRange(old, target); }
} // namespace

bool CKeyManager::OnKeyDown(CGrid* grid, int virtualKey, int, std::uint32_t)
{
    if (!grid)
        return false;
    const bool shift = IsKeyDown(KeyShift);
    const bool ctrl = IsKeyDown(KeyControl);
    switch (virtualKey) {
    case KeyEnter: OnEnter(grid); return true;
    case KeyEscape: OnEscape(grid); return true;
    case KeySpace:
        if (shift)
            OnPageUp(grid, false, false);
        else
            OnPageDown(grid, false, false);
        return true;
    case KeyPageUp: OnPageUp(grid, shift, ctrl); return true;
    case KeyPageDown: OnPageDown(grid, shift, ctrl); return true;
    case KeyEnd: OnEnd(grid, shift, ctrl); return true;
    case KeyHome: OnHome(grid, shift, ctrl); return true;
    case KeyLeft: OnLeft(grid, shift, ctrl); return true;
    case KeyUp: OnUp(grid, shift, ctrl); return true;
    case KeyRight: OnRight(grid, shift, ctrl); return true;
    case KeyDown: OnDown(grid, shift, ctrl); return true;
    case KeyA:
    case KeyC:
    case KeyV:
    case KeyX:
        if (!ctrl || shift)
            return false;
        if (virtualKey == KeyA)
            OnSelectAll(grid);
        else if (virtualKey == KeyC)
            OnCopy(grid);
        else if (virtualKey == KeyV)
            OnPaste(grid);
        else
            OnCut(grid);
        return true;
    default: return false;
    }
}

bool CKeyManager::OnKeyUp(CGrid*, int, int, std::uint32_t) { return false; }

void CKeyManager::OnUp(CGrid* grid, bool shift, bool ctrl)
{
    CKeyTarget keys(*grid);
    IKeyGrid& g = *keys;
    const RowPosition old = CurrentFocus(g);
    RowPosition target;
    if (!old.IsNone()) {
        if (old.row > 0)
            target = {old.row - 1, old.area};
        else if (old.area == AreaScrollable && Counts(g, AreaFixed))
            target = {LastRow(g, AreaFixed), AreaFixed};
    } else if (Counts(g, AreaFixed)) {
        target = {0, AreaFixed};
    } else if (Counts(g, AreaScrollable)) {
        target = {TopRow(g), AreaScrollable};
    }
    if (MoveFocus(g, target, shift, ctrl))
        ExtendByStep(g, old, target);
}

void CKeyManager::OnDown(CGrid* grid, bool shift, bool ctrl)
{
    CKeyTarget keys(*grid);
    IKeyGrid& g = *keys;
    const RowPosition old = CurrentFocus(g);
    RowPosition target;
    bool crossing = false;
    if (!old.IsNone()) {
        if (old.area == AreaScrollable) {
            target = {std::min(old.row + 1, LastRow(g, AreaScrollable)), AreaScrollable};
        } else if (old.row + 1 < g.GetRowCount(AreaFixed)) {
            target = {old.row + 1, AreaFixed};
        } else if (Counts(g, AreaScrollable)) {
            target = {TopRow(g), AreaScrollable};
            crossing = true;
        } else {
            target = old;
        }
    } else if (Counts(g, AreaScrollable)) {
        target = {std::max(LastFullyShown(g), TopRow(g)), AreaScrollable};
    } else if (Counts(g, AreaFixed)) {
        target = {0, AreaFixed};
    }
    if (!MoveFocus(g, target, shift, ctrl))
        return;
    if (crossing) {
        g.Selection().SelectRange(old, target);
    } else {
        ExtendByStep(g, old, target);
    }
}

void CKeyManager::OnPageUp(CGrid* grid, bool shift, bool ctrl)
{
    CKeyTarget keys(*grid);
    IKeyGrid& g = *keys;
    const RowPosition old = CurrentFocus(g);
    RowPosition target;
    if (old.IsNone() || old.area == AreaFixed) {
        if (Counts(g, AreaFixed))
            target = {0, AreaFixed};
        else if (Counts(g, AreaScrollable))
            target = {TopRow(g), AreaScrollable};
    } else {
        const int top = TopRow(g);
        if (old.row > top) {
            target = {top, AreaScrollable};
        } else if (old.row > 0) {
            // On the top row (or above the page): one page up, the new top row focused.
            const int newTop = std::max(0, old.row - PageStep(g, false));
            g.SetTopRow(newTop);
            target = {newTop, AreaScrollable};
        } else {
            target = Counts(g, AreaFixed) ? RowPosition{0, AreaFixed} : RowPosition{0, AreaScrollable};
        }
    }
    if (MoveFocus(g, target, shift, ctrl))
        ExtendByRange(g, old, target);
}

void CKeyManager::OnPageDown(CGrid* grid, bool shift, bool ctrl)
{
    CKeyTarget keys(*grid);
    IKeyGrid& g = *keys;
    const RowPosition old = CurrentFocus(g);
    RowPosition target;
    if (old.IsNone() || old.area == AreaFixed) {
        if (Counts(g, AreaScrollable))
            target = {std::max(LastFullyShown(g), TopRow(g)), AreaScrollable};
        else if (Counts(g, AreaFixed))
            target = {LastRow(g, AreaFixed), AreaFixed};
    } else {
        const int lastShown = LastFullyShown(g);
        if (old.row < lastShown)
            target = {lastShown, AreaScrollable};
        else // on the last fully shown row (or below the page): one page down
            target = {std::min(LastRow(g, AreaScrollable), old.row + PageStep(g, true)), AreaScrollable};
    }
    if (MoveFocus(g, target, shift, ctrl))
        ExtendByRange(g, old, target);
}

void CKeyManager::OnHome(CGrid* grid, bool shift, bool ctrl)
{
    CKeyTarget keys(*grid);
    IKeyGrid& g = *keys;
    const RowPosition old = CurrentFocus(g);
    RowPosition target;
    if (Counts(g, AreaFixed))
        target = {0, AreaFixed};
    else if (Counts(g, AreaScrollable))
        target = {0, AreaScrollable};
    if (MoveFocus(g, target, shift, ctrl))
        ExtendByRange(g, old, target);
}

void CKeyManager::OnEnd(CGrid* grid, bool shift, bool ctrl)
{
    CKeyTarget keys(*grid);
    IKeyGrid& g = *keys;
    const RowPosition old = CurrentFocus(g);
    RowPosition target;
    if (Counts(g, AreaScrollable))
        target = {LastRow(g, AreaScrollable), AreaScrollable};
    else if (Counts(g, AreaFixed))
        target = {LastRow(g, AreaFixed), AreaFixed};
    if (MoveFocus(g, target, shift, ctrl))
        ExtendByRange(g, old, target);
}

void CKeyManager::OnLeft(CGrid* grid, bool, bool)
{
    CKeyTarget keys(*grid);
    IKeyGrid& g = *keys;
    const RowPosition old = CurrentFocus(g);
    const HITEM item = old.IsNone() ? 0 : g.GetItemAt(old.row, old.area);
    if (!item)
        return;
    // Open with shown children: close it.
    const HITEM next = g.GetItemAt(old.row + 1, old.area);
    if (next && g.GetParent(next) == item) {
        g.Collapse(item, false);
        return;
    }
    const HITEM parent = g.GetParent(item);
    if (IsItem(parent)) {
        MoveFocus(g, {g.GetVisibleIndex(parent), old.area}, false, false);
        return;
    }
    // A top-level row: up to the top-level row above it.
    for (int row = old.row - 1; row >= 0;) {
        const HITEM above = g.GetParent(g.GetItemAt(row, old.area));
        if (!IsItem(above)) {
            MoveFocus(g, {row, old.area}, false, false);
            return;
        }
        const int aboveRow = g.GetVisibleIndex(above);
        if (aboveRow >= row)
            return; // a parent's row is always above its children's
        row = aboveRow;
    }
    if (old.area == AreaScrollable && Counts(g, AreaFixed))
        MoveFocus(g, {LastRow(g, AreaFixed), AreaFixed}, false, false);
}

void CKeyManager::OnRight(CGrid* grid, bool, bool)
{
    CKeyTarget keys(*grid);
    IKeyGrid& g = *keys;
    const RowPosition old = CurrentFocus(g);
    const HITEM item = old.IsNone() ? 0 : g.GetItemAt(old.row, old.area);
    if (!item)
        return;
    // A row without children is marked open too; the next press moves on.
    if (!g.IsExpanded(item)) {
        g.Expand(item, false);
        return;
    }
    if (old.area == AreaFixed && old.row == LastRow(g, AreaFixed)) {
        if (Counts(g, AreaScrollable))
            MoveFocus(g, {0, AreaScrollable}, false, false);
    } else if (old.row + 1 < g.GetRowCount(old.area)) {
        MoveFocus(g, {old.row + 1, old.area}, false, false);
    }
}

void CKeyManager::OnEscape(CGrid* grid)
{
    CKeyTarget keys(*grid);
    (*keys).ClearSelection();
    (*keys).SetFocusedRow(-1, 0);
}

void CKeyManager::OnEnter(CGrid* grid)
{
    CKeyTarget keys(*grid);
    IKeyGrid& g = *keys;
    const RowPosition focus = CurrentFocus(g);
    const HITEM item = focus.IsNone() ? 0 : g.GetItemAt(focus.row, focus.area);
    if (!item)
        return;
    if (g.IsExpanded(item))
        g.Collapse(item, false);
    else
        g.Expand(item, false);
}

void CKeyManager::OnSelectAll(CGrid* grid) { (*CKeyTarget(*grid)).SelectAll(); }

void CKeyManager::OnCopy(CGrid* grid) { (*CKeyTarget(*grid)).Copy(); }
void CKeyManager::OnCut(CGrid* grid) { (*CKeyTarget(*grid)).Cut(); }
void CKeyManager::OnPaste(CGrid* grid) { (*CKeyTarget(*grid)).Paste(); }

} // namespace Kestrum::GUI
