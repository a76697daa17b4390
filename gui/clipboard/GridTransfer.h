// CGridTransfer: one grid's part in copy, cut and paste and in drag and drop
// of rows. CGridImpl owns one (`transfer`); CGrid forwards the public
// operations to it and hands it the drag events; the input controller asks
// it (through its host) whether a press may start a drag and runs the drag
// through it. It reaches the grid through ITransferHost only.
//
// Paste: the grid's paste request (the paste switch, policy flags 6 to 9 and
// the paste position mode) picks the parent and position; the copy-and-paste
// handler (the grid's own, else the shared default) does the rest. Modes 2
// and 3 (the default) both put the rows right after the focused row, under
// its parent.
//
// Drag and drop (the drag-and-drop switch and settings of the grid):
//   switch 0, 1   rows of the fixed, the scrollable area may be dragged
//          2      only selected rows start a drag (a press on one)
//          3      with nothing selected in the area, a press in the first
//                 column starts a drag of that row
//          4, 5   drops into the fixed, the scrollable area
//          6, 7   copying (Ctrl held), moving rows within this grid
//          8, 9   copying, moving rows from another grid of the process
//                 (Shift moves, else copy when allowed)
//          10     data of "Kestrum.RemoteDataFormat" (no format reads it)
//          12     the pointer's x over the tree column picks the level the
//                 rows land at; off: the top level, after the top-level row
//                 that holds the target row
//          13     scroll while the pointer is near the scrollable area's
//                 top or bottom edge (the grid's auto-scroll timer)
//          11, 14 stored, unused
// A drag carries the handler's formats (the local data format first, so
// text drops from other programs are refused as rows). A drag starts once
// the pointer has moved the platform's drag distance from the press: a
// press and release without moving is a click. The grid sends its
// listener notification 11 before a drag and 12 after it (with the drop's
// action), 13 before it inserts dropped rows and 14 after (with the rows).
//
// GUI thread only.
#pragma once

#include "gui/platform/Export.h"

#include <QPointer>
#include <Qt>
#include <set>

#include "gui/clipboard/ClipboardFormat.h"
#include "gui/grid/AutoScroll.h"
#include "gui/grid/SelectionModel.h"
#include "gui/platform/Geometry.h"

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;

namespace Kestrum::GUI {

class CGrid;
class ICopyPaste;
class ITransferHost;
class IDragDrop;
struct PasteRequest;
struct PaintState;

class KESTRUM_GUI_EXPORT CGridTransfer final : public IAutoScrollClient {
public:
    explicit CGridTransfer(ITransferHost& host);
    ~CGridTransfer();
    CGridTransfer(const CGridTransfer&) = delete;
    CGridTransfer& operator=(const CGridTransfer&) = delete;

    // The handlers: the grid's own (deleted with the grid when auto-delete)
    // else the shared default. Setting returns the previous own one.
    ICopyPaste* SetCopyPaste(ICopyPaste* handler);
    ICopyPaste* GetOwnCopyPaste() const noexcept { return m_copyPaste; }
    ICopyPaste* CopyPaste() const;
    IDragDrop* SetDragDrop(IDragDrop* handler);
    IDragDrop* GetOwnDragDrop() const noexcept { return m_dragDrop; }
    IDragDrop* DragDrop() const;

    bool Copy();
    bool Cut();
    // The paste request, then the handler's Paste.
    bool Paste();
    // Where a paste would go now; false when the request is refused.
    bool MakePasteRequest(PasteRequest& request);

    // --- dragging from this grid -----------------------------------------------------
    // Whether a press on `item` (a row of `area`) at `point` may start a drag.
    bool MayStartDrag(CGridItem* item, int area, CPoint point);
    // Runs the drag of the selected rows (selecting the pressed one first);
    // true when they were dropped. The grid may be gone when it returns:
    // callers hold a QPointer.
    bool RunDrag(CGridItem* item, int area);
    bool IsDragging() const noexcept { return m_dragging; }

    // --- dropping onto this grid ------------------------------------------------------
    void OnDragEnter(QDragEnterEvent& event);
    void OnDragMove(QDragMoveEvent& event);
    void OnDragLeave();
    void OnDrop(QDropEvent& event);
    // Something this grid would take is being dragged over it.
    bool IsDraggingOver() const noexcept { return m_over.active; }
    // The auto-scroll's tick while dragging over near an edge.
    void OnAutoScroll() override;
    // The drop marker for the paint pass.
    void DescribeForPaint(PaintState& state) const;
    // Ends a drag over the grid without dropping (the grid was loaded).
    void Reset();

private:
    // Where dropped rows would go.
    struct DropPlace {
        int area = 0;
        int targetRow = -1; // the row the marker is drawn at (-1: an empty area)
        bool after = false;
        int parentRow = -1;
        int level = 0;
        HITEM parent = 0;
        HITEM position = 0;
        CGridItem* parentItem = nullptr; // null for an area root
    };
    struct Over {
        bool active = false;
        bool sameGrid = false;
        std::set<const CGridItem*> dragged; // compared by address only
        bool moved = false;  // a place was computed (and drawn)
        bool placed = false; // ... and rows may go there
        DropPlace place;
        int action = 0; // TransferOperation, 0: refused here
        CPoint point;
        Qt::KeyboardModifiers modifiers;
    };

    bool Switch(int index) const;
    int ChooseAction(Qt::KeyboardModifiers modifiers, bool sameGrid) const;
    bool PlaceAt(CPoint point, DropPlace& place);
    // Recomputes the place and action at a point; repaints when they change.
    void Update(CPoint point, Qt::KeyboardModifiers modifiers);
    void UpdateAutoScroll(CPoint point);
    void EndOver();
    void Notify(int code, const std::vector<HITEM>& rows, int area, int action, CGrid* source, HITEM parent, HITEM position);
    RowPosition PositionOf(CGridItem* item);

    ITransferHost& m_host;
    ICopyPaste* m_copyPaste = nullptr;
    IDragDrop* m_dragDrop = nullptr;
    bool m_dragging = false;
    Over m_over;
};

} // namespace Kestrum::GUI
