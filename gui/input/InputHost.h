// IInputHost: what the grid's input room (the controller, the rubber band,
// the drag start, the header's mouse modes) needs of the grid: geometry and
// hit testing, the focus and the selection model, repaint requests, the
// auto-scroll timer, and the other rooms a press or a move goes on to (the
// edit, the tooltips, the transfer). The grid implements it
// (gui/grid/GridInputHost.cpp); the room holds nothing else of the grid.
// GUI thread only.
#pragma once

#include <cstdint>

#include "gui/grid/SelectionModel.h"
#include "gui/header/HeaderMouseHost.h"
#include "gui/platform/Geometry.h"

namespace Kestrum::GUI {

class CAutoScroll;
class CGrid;
class CGridItem;
class CGridRows;
class IKeyGrid;
class IKeyManager;

class IInputHost : public IHeaderMouseHost {
public:
    // --- keys ----------------------------------------------------------------------
    // The public grid the key manager and the search are handed.
    virtual CGrid& Grid() = 0;
    virtual IKeyManager& KeyManager() = 0;
    // What the default key manager runs on, directly, while the grid's own
    // input calls it (CKeyGridScope).
    virtual IKeyGrid& KeyGrid() = 0;
    // Runs a waiting ensure-visible now, so a key sees the view the last one left.
    virtual void FlushEnsureVisible() = 0;
    virtual int SearchTimeout() = 0;

    // --- rows, geometry, hit testing -----------------------------------------------------
    virtual CGridRows& Rows() = 0;
    // The area and row under a viewport point: false outside both areas;
    // `row` -1 below the last row of the area (and on the separator).
    virtual bool HitRow(CPoint point, int& area, int& row) = 0;
    virtual CRect AreaRect(int area) = 0;
    virtual CRect RowRect(int area, int row) = 0;
    virtual int RowHeightAt(int area, int row) = 0;
    // The first shown scrollable row (-1 with none).
    virtual int TopRow() = 0;
    virtual int MaxTopRow() = 0;
    virtual void SetTopRow(int row) = 0;
    // The tree column draws its buttons (the hierarchy paint flag).
    virtual bool ShowsTreeButtons() = 0;

    // --- focus and selection ---------------------------------------------------------------
    virtual RowPosition Focus() = 0;
    virtual CGridItem* FocusedItem() = 0;
    // False where the grid refuses (no such row, an area not focusable).
    virtual bool SetFocus(RowPosition position) = 0;
    virtual void ClearFocus() = 0;
    virtual bool IsFocusable(int area) = 0;
    virtual bool IsSelectable(int area) = 0;
    // Selection and multi-selection are both on.
    virtual bool MultiSelectionEnabled() = 0;
    virtual CSelectionModel& Selection() = 0;

    // --- timer ------------------------------------------------------------------------------
    virtual CAutoScroll& AutoScroll() = 0;

    // --- the rooms a press or a move goes on to ------------------------------------------------
    // Ends the open edit (the grid was clicked).
    virtual void EndEdit() = 0;
    // Starts an edit of the cell under the point; true when one started.
    virtual bool StartEdit(CPoint point, bool doubleClick) = 0;
    // The editor's hot cell follows the pointer (`inside` false: it left).
    virtual void TrackEditHover(CPoint point, bool buttonsDown, bool inside) = 0;
    virtual void TooltipsMove(std::uint32_t flags, CPoint point) = 0;
    virtual void TooltipsHover(CPoint point) = 0;
    virtual void TooltipsLeave() = 0;
    virtual bool MayStartDrag(CGridItem* item, int area, CPoint point) = 0;
    // Runs the drag of the rows; the grid may be gone when it returns.
    virtual void RunDrag(CGridItem* item, int area) = 0;

protected:
    ~IInputHost() = default;
};

} // namespace Kestrum::GUI
