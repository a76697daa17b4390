// ITransferHost: what a grid's transfer object (CGridTransfer) needs of the
// grid: its rows and settings, geometry and hit testing for the drop place,
// the focus and the selection model, repaint requests, the auto-scroll
// timer and the listener. The grid implements it
// (gui/grid/GridTransferHost.cpp); the transfer holds nothing else of the
// grid. GUI thread only.
#pragma once

#include "gui/grid/SelectionModel.h"
#include "gui/platform/Geometry.h"

class QWidget;

namespace Kestrum::GUI {

class CAutoScroll;
class CGrid;
class CGridItem;
class CGridRows;
class CHeader;
struct GridDragNotification;
struct GridStoredSettings;

class ITransferHost {
public:
    // The public grid the handlers are handed.
    virtual CGrid& Grid() = 0;
    virtual CGridRows& Rows() = 0;
    virtual CHeader* Header() = 0;
    // The drag-and-drop switches and settings, the transfer policy, the
    // paste switch, the paint flags.
    virtual const GridStoredSettings& Settings() = 0;
    virtual bool IsClosing() = 0;
    // Tells the listener, unless the grid's notifications are off.
    virtual void Notify(const GridDragNotification& notification) = 0;

    // --- geometry and hit testing ---------------------------------------------------
    // The area and row under a viewport point: false outside both areas;
    // `row` -1 below the last row of the area.
    virtual bool HitRow(CPoint point, int& area, int& row) = 0;
    virtual CRect RowRect(int area, int row) = 0;
    virtual int RowHeightAt(int area, int row) = 0;
    virtual CRect ScrollableArea() = 0;
    virtual int TopRow() = 0;
    virtual int MaxTopRow() = 0;
    virtual void SetTopRow(int row) = 0;
    virtual QWidget* Viewport() = 0;

    // --- focus, selection, repaints ----------------------------------------------------
    virtual RowPosition Focus() = 0;
    virtual CGridItem* FocusedItem() = 0;
    virtual bool SetFocus(RowPosition position) = 0;
    virtual CSelectionModel& Selection() = 0;
    virtual void UpdateViewport() = 0;
    virtual void RefreshScrollBars() = 0;
    virtual CAutoScroll& AutoScroll() = 0;

protected:
    ~ITransferHost() = default;
};

} // namespace Kestrum::GUI
