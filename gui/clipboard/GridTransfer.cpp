#include "gui/clipboard/GridTransfer.h"
#include "gui/grid/GridDefaults.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <algorithm>

#include "gui/clipboard/CopyPaste.h"
#include "gui/clipboard/DragDrop.h"
#include "gui/clipboard/GridDirectory.h"
#include "gui/clipboard/TransferHost.h"
#include "gui/clipboard/TransferMime.h"
#include "gui/grid/Grid.h"
#include "gui/grid/GridArchive.h"
#include "gui/grid/GridRows.h"
#include "gui/header/Header.h"
#include "gui/paint/DrawContext.h"
#include "gui/platform/DeviceContext.h"

namespace Kestrum::GUI {

namespace {
constexpr double kDragImageOpacity = 0.7;
constexpr int kDragImageOffset = 16;

enum DragSwitch : int {
    DragFromFixed = 0,
    DragFromScrollable = 1,
    DragSelectedOnly = 2,
    DragFirstColumn = 3,
    DropIntoFixed = 4,
    DropIntoScrollable = 5,
    CopyWithin = 6,
    MoveWithin = 7,
    CopyFromOther = 8,
    MoveFromOther = 9,
    ChooseLevel = 12,
    ScrollNearEdges = 13,
};

Qt::DropAction QtAction(int action) { return action == TransferCopy ? Qt::CopyAction : Qt::MoveAction; }

HITEM RootOf(int area) { return area == AreaFixed ? GRID_FIXED_ROOT : GRID_ROOT; }

template <class Handler> void DeleteIfAutoDelete(Handler* handler)
{
    if (handler && handler->IsAutoDelete())
        delete handler;
}
} // namespace

CGridTransfer::CGridTransfer(ITransferHost& host) : m_host(host)
{
    // Registered when a grid is made, though no format writes or reads it.
    RegisterClipboardFormat(kRemoteDataFormatName);
    CGridDirectory::Instance().Register(&host.Grid(), &host.Rows());
}

CGridTransfer::~CGridTransfer()
{
    m_host.AutoScroll().Stop(*this);
    CGridDirectory::Instance().Unregister(&m_host.Grid());
    DeleteIfAutoDelete(m_copyPaste);
    DeleteIfAutoDelete(m_dragDrop);
}

ICopyPaste* CGridTransfer::SetCopyPaste(ICopyPaste* handler) { return std::exchange(m_copyPaste, handler); }
ICopyPaste* CGridTransfer::CopyPaste() const { return m_copyPaste ? m_copyPaste : GridDefaults::Instance().GetCopyPaste(); }
IDragDrop* CGridTransfer::SetDragDrop(IDragDrop* handler) { return std::exchange(m_dragDrop, handler); }
IDragDrop* CGridTransfer::DragDrop() const { return m_dragDrop ? m_dragDrop : GridDefaults::Instance().GetDragDrop(); }

bool CGridTransfer::Switch(int index) const { return m_host.Settings().dragDrop.switches[static_cast<std::size_t>(index)] != 0; }

void CGridTransfer::Notify(int code, const std::vector<HITEM>& rows, int area, int action, CGrid* source, HITEM parent,
                           HITEM position)
{
    GridDragNotification notification;
    notification.code = code;
    notification.grid = &m_host.Grid();
    notification.rows = rows;
    notification.area = area;
    notification.action = action;
    notification.source = source;
    notification.parent = parent;
    notification.position = position;
    m_host.Notify(notification);
}

RowPosition CGridTransfer::PositionOf(CGridItem* item)
{
    if (!item || !item->HasRow())
        return {};
    return {m_host.Rows().RowIndexOf(item), item->GetTree()->GetKind()};
}

// --- copy, cut, paste -------------------------------------------------------------------

bool CGridTransfer::Copy()
{
    ICopyPaste* handler = CopyPaste();
    return handler && handler->Copy(&m_host.Grid());
}

bool CGridTransfer::Cut()
{
    ICopyPaste* handler = CopyPaste();
    return handler && handler->Cut(&m_host.Grid());
}

bool CGridTransfer::MakePasteRequest(PasteRequest& request)
{
    const TransferPolicy& policy = m_host.Settings().transfer;
    if (!m_host.Settings().pasteEnabled || (!policy.flags[6] && !policy.flags[7]))
        return false;
    request.grid = &m_host.Grid();
    CGridItem* focused = m_host.FocusedItem();
    if (!focused) {
        if (!policy.flags[8])
            return false;
        request.parent = policy.flags[7] ? GRID_ROOT : GRID_FIXED_ROOT;
        request.position = policy.flags[9] ? GRID_LAST : GRID_FIRST;
        return true;
    }
    const int area = m_host.Focus().area;
    if (!policy.flags[area == AreaFixed ? 6 : 7])
        return false;
    const HITEM item = ToHandle(focused);
    CGridItem* parent = focused->GetParent();
    switch (policy.pastePosition) {
    case 0: request.parent = item, request.position = GRID_FIRST; return true;
    case 1: request.parent = item, request.position = GRID_LAST; return true;
    case 2:
    case 3:
        // After the focused row, as its sibling. Mode 3 names the area's root
        // as the parent, which for a row inside a group would put the rows
        // after the whole group, far from the focus: there it goes as mode 2.
        request.parent = parent && parent->GetParent() ? ToHandle(parent) : RootOf(area);
        request.position = item;
        return true;
    default: return false;
    }
}

bool CGridTransfer::Paste()
{
    PasteRequest request;
    ICopyPaste* handler = CopyPaste();
    return handler && MakePasteRequest(request) && handler->Paste(request);
}

// --- dragging from this grid ------------------------------------------------------------------

bool CGridTransfer::MayStartDrag(CGridItem* item, int area, CPoint point)
{
    if (!item || !m_host.Settings().dragDropEnabled || !DragDrop() || !m_host.Header())
        return false;
    if (!Switch(area == AreaFixed ? DragFromFixed : DragFromScrollable))
        return false;
    if (item->IsSelected() || !Switch(DragSelectedOnly))
        return true;
    if (!Switch(DragFirstColumn) || !m_host.Rows().TreeOfArea(area)->GetSelected().empty())
        return false;
    CColumn* first = m_host.Header()->GetFirstVisibleColumn();
    return first && m_host.Header()->HitTestColumn(&m_host.Grid(), point.x, 0) == first;
}

bool CGridTransfer::RunDrag(CGridItem* item, int area)
{
    const int row = m_host.Rows().RowIndexOf(item);
    if (!item || row < 0)
        return false;
    if (!item->IsSelected())
        m_host.Selection().Select({row, area});
    const int mask = (Switch(DragFromFixed) ? MaskFixed : 0) | (Switch(DragFromScrollable) ? MaskScrollable : 0);
    const TransferPolicy& policy = m_host.Settings().transfer;
    std::vector<CGridItem*> rows;
    CollectCopyRows(*&m_host.Grid(), mask, policy.flags[2] != 0, policy.flags[3] != 0, rows);
    if (rows.empty())
        rows.push_back(item); // a row of an area without selection
    std::vector<HITEM> handles;
    for (CGridItem* dragged : rows)
        handles.push_back(ToHandle(dragged));
    CGrid* grid = &m_host.Grid();
    Notify(NotifyDragBegin, handles, area, 0, grid, 0, 0);
    std::unique_ptr<QMimeData> data = MakeTransferData(DragDrop()->GetFormats(), rows, m_host.Header(), grid, mask, TransferCut);
    if (!data) {
        Notify(NotifyDragEnd, handles, area, 0, grid, 0, 0);
        return false;
    }
    // The image: the pressed row's first cell as it is drawn, a little
    // faded, below and right of the pointer, clear of the drop marker.
    CRect rect = m_host.RowRect(area, row);
    if (CColumn* first = m_host.Header()->GetFirstVisibleColumn()) {
        const CRect cell = m_host.Header()->GetClippedColumnRect(&m_host.Grid(), first->GetFieldId());
        if (cell.right > cell.left) {
            rect.left = std::max(rect.left, cell.left);
            rect.right = std::min(rect.right, cell.right);
        }
    }
    QPixmap image;
    if (!rect.IsEmpty()) {
        const QPixmap shot = m_host.Viewport()->grab(ToQRect(rect));
        image = QPixmap(shot.size());
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setOpacity(kDragImageOpacity);
        painter.drawPixmap(0, 0, shot);
    }
    const QPoint hotSpot(-kDragImageOffset, -rect.Height());
    QPointer<CGrid> alive(grid);
    m_dragging = true;
    const Qt::DropAction action = DragDrop()->Execute(m_host.Viewport(), data.release(), image, hotSpot);
    if (!alive)
        return action != Qt::IgnoreAction;
    m_dragging = false;
    const int result = action == Qt::CopyAction ? TransferCopy : action == Qt::MoveAction ? TransferCut : 0;
    Notify(NotifyDragEnd, handles, area, result, grid, 0, 0);
    return result != 0;
}

// --- dropping onto this grid -----------------------------------------------------------------

int CGridTransfer::ChooseAction(Qt::KeyboardModifiers modifiers, bool sameGrid) const
{
    const bool ctrl = (modifiers & Qt::ControlModifier) != 0;
    const bool shift = (modifiers & Qt::ShiftModifier) != 0;
    if (sameGrid) {
        if (ctrl)
            return Switch(CopyWithin) ? TransferCopy : 0;
        return Switch(MoveWithin) ? TransferCut : 0;
    }
    if (shift)
        return Switch(MoveFromOther) ? TransferCut : 0;
    if (Switch(CopyFromOther))
        return TransferCopy;
    return !ctrl && Switch(MoveFromOther) ? TransferCut : 0;
}

bool CGridTransfer::PlaceAt(CPoint point, DropPlace& place)
{
    place = {};
    int area = 0, row = -1;
    if (!m_host.HitRow(point, area, row) || !Switch(area == AreaFixed ? DropIntoFixed : DropIntoScrollable))
        return false;
    CItemTree* tree = m_host.Rows().TreeOfArea(area);
    const int count = tree->GetRowCount();
    place.area = area;
    place.parent = RootOf(area);
    if (count == 0) {
        place.position = GRID_LAST;
        return true;
    }
    // The row under the pointer when in its lower half, else the row above
    // it; before row 0 above the middle of the first row.
    int target = count - 1;
    bool after = true;
    if (row >= 0) {
        const CRect rect = m_host.RowRect(area, row);
        const bool lower = point.y >= rect.top + m_host.RowHeightAt(area, row) / 2;
        if (lower)
            target = row;
        else if (row == 0)
            target = 0, after = false;
        else
            target = row - 1;
    }
    place.targetRow = target;
    place.after = after;
    if (!after) {
        place.position = GRID_FIRST;
        return true;
    }
    CGridItem* item = tree->GetItemAt(target);
    if (!Switch(ChooseLevel)) {
        CGridItem* top = item;
        while (top->GetParent() && top->GetParent()->GetParent())
            top = top->GetParent();
        place.position = ToHandle(top);
        place.targetRow = m_host.Rows().RowIndexOf(top) + top->GetVisibleDescendantCount();
        return true;
    }
    // Below the target the rows may go as its first child, as its sibling,
    // or as a sibling of an ancestor whose shown rows end with it.
    const int level = item->GetLevel();
    CGridItem* next = target + 1 < count ? tree->GetItemAt(target + 1) : nullptr;
    const int lowest = next ? next->GetLevel() : 0;
    int wanted = level;
    CColumn* treeColumn = m_host.Header() ? m_host.Header()->GetTreeColumn() : nullptr;
    if (treeColumn && (m_host.Settings().paintFlags & PaintHierarchy)) {
        const CRect column = m_host.Header()->GetColumnRect(&m_host.Grid(), treeColumn->GetFieldId());
        const int indent = std::max(1, item->GetRowHeight());
        wanted = point.x < column.left ? 0 : (point.x - column.left) / indent;
    }
    const int chosen = std::clamp(wanted, std::min(lowest, level + 1), level + 1);
    place.level = chosen;
    if (chosen == level + 1) {
        place.parentItem = item;
        place.parent = ToHandle(item);
        place.position = GRID_FIRST;
        place.parentRow = target;
        return true;
    }
    CGridItem* anchor = item;
    while (anchor->GetLevel() > chosen && anchor->GetParent() && anchor->GetParent()->GetParent())
        anchor = anchor->GetParent();
    CGridItem* parent = anchor->GetParent();
    if (parent && parent->GetParent()) {
        place.parentItem = parent;
        place.parent = ToHandle(parent);
        place.parentRow = m_host.Rows().RowIndexOf(parent);
    }
    place.position = ToHandle(anchor);
    return true;
}

void CGridTransfer::Update(CPoint point, Qt::KeyboardModifiers modifiers)
{
    m_over.point = point;
    m_over.modifiers = modifiers;
    DropPlace place;
    const bool placed = PlaceAt(point, place);
    int action = placed ? ChooseAction(modifiers, m_over.sameGrid) : 0;
    // A move never goes under one of the moved rows.
    if (action == TransferCut)
        for (const CGridItem* step = place.parentItem; step; step = step->GetParent())
            if (m_over.dragged.count(step))
                action = 0;
    const bool changed = placed != m_over.placed || action != m_over.action || place.area != m_over.place.area ||
                         place.targetRow != m_over.place.targetRow || place.after != m_over.place.after ||
                         place.level != m_over.place.level || place.parentRow != m_over.place.parentRow;
    m_over.moved = true;
    m_over.placed = placed && action != 0;
    m_over.place = place;
    m_over.action = action;
    if (changed)
        m_host.UpdateViewport();
}

void CGridTransfer::UpdateAutoScroll(CPoint point)
{
    const CRect area = m_host.ScrollableArea();
    const int zone = std::max(1, m_host.Rows().Scrollable().GetDefaultRowHeight());
    const bool near = Switch(ScrollNearEdges) && area.left <= point.x && point.x < area.right &&
                      ((point.y >= area.top && point.y < area.top + zone) || (point.y < area.bottom && point.y >= area.bottom - zone));
    if (near)
        m_host.AutoScroll().Start(*this);
    else
        m_host.AutoScroll().Stop(*this);
}

void CGridTransfer::OnAutoScroll()
{
    if (!m_over.active) {
        m_host.AutoScroll().Stop(*this);
        return;
    }
    const CRect area = m_host.ScrollableArea();
    const int zone = std::max(1, m_host.Rows().Scrollable().GetDefaultRowHeight());
    const int top = std::max(m_host.TopRow(), 0);
    const CPoint point = m_over.point;
    if (!Switch(ScrollNearEdges) || point.x < area.left || point.x >= area.right) {
        m_host.AutoScroll().Stop(*this);
        return;
    }
    if (point.y >= area.top && point.y < area.top + zone && top > 0)
        m_host.SetTopRow(top - 1);
    else if (point.y < area.bottom && point.y >= area.bottom - zone && top < m_host.MaxTopRow())
        m_host.SetTopRow(top + 1);
    else if (!(point.y >= area.top && point.y < area.top + zone) && !(point.y < area.bottom && point.y >= area.bottom - zone))
        m_host.AutoScroll().Stop(*this);
    Update(point, m_over.modifiers); // other rows are under the pointer now
}

void CGridTransfer::OnDragEnter(QDragEnterEvent& event)
{
    EndOver();
    TransferRecord record;
    if (!m_host.Settings().dragDropEnabled || m_host.IsClosing() || !event.mimeData() || !DragDrop() ||
        !DragDrop()->Read(*event.mimeData(), record) || record.rows.empty()) {
        event.ignore(); // text from other programs is not rows
        return;
    }
    m_over.active = true;
    m_over.sameGrid = record.sourceGrid == &m_host.Grid();
    for (const TransferRow& row : record.rows)
        m_over.dragged.insert(row.item);
    const bool someAction = m_over.sameGrid ? Switch(CopyWithin) || Switch(MoveWithin)
                                            : Switch(CopyFromOther) || Switch(MoveFromOther);
    if (!someAction || !(Switch(DropIntoFixed) || Switch(DropIntoScrollable))) {
        EndOver();
        event.ignore();
        return;
    }
    const CPoint point{event.position().toPoint().x(), event.position().toPoint().y()};
    Update(point, event.modifiers());
    UpdateAutoScroll(point);
    // Accepted whatever the place: the moves that follow say where a drop goes.
    event.setDropAction(m_over.action ? QtAction(m_over.action) : event.proposedAction());
    event.accept();
}

void CGridTransfer::OnDragMove(QDragMoveEvent& event)
{
    if (!m_over.active) {
        event.ignore();
        return;
    }
    const CPoint point{event.position().toPoint().x(), event.position().toPoint().y()};
    Update(point, event.modifiers());
    UpdateAutoScroll(point);
    if (m_over.action) {
        event.setDropAction(QtAction(m_over.action));
        event.accept();
    } else {
        event.ignore();
    }
}

void CGridTransfer::OnDragLeave() { EndOver(); }

void CGridTransfer::EndOver()
{
    const bool was = m_over.active;
    m_over = {};
    m_host.AutoScroll().Stop(*this);
    if (was)
        m_host.UpdateViewport();
}

void CGridTransfer::Reset() { EndOver(); }

void CGridTransfer::OnDrop(QDropEvent& event)
{
    if (!m_over.active || !event.mimeData()) {
        EndOver();
        event.ignore();
        return;
    }
    // The rows go where the marker showed them: the place of the last move,
    // which the paint pass drew. Only a drop that no move came before is
    // placed at its own point.
    if (!m_over.moved) {
        const CPoint point{event.position().toPoint().x(), event.position().toPoint().y()};
        Update(point, event.modifiers());
    }
    const int action = m_over.placed ? m_over.action : 0;
    const DropPlace place = m_over.place;
    EndOver();
    // Read again: rows may have gone while the pointer moved.
    TransferRecord record;
    if (!action || !DragDrop()->Read(*event.mimeData(), record) || record.rows.empty()) {
        event.ignore();
        return;
    }
    std::vector<HITEM> incoming;
    for (const TransferRow& row : record.rows)
        incoming.push_back(ToHandle(row.item));
    CGrid* grid = &m_host.Grid();
    QPointer<CGrid> alive(grid);
    Notify(NotifyDropBegin, incoming, place.area, action, record.sourceGrid, place.parent, place.position);
    if (!alive)
        return;
    const PasteRequest request{grid, place.parent, place.position};
    const std::vector<HITEM> attached = InsertTransferRows(request, record, action);
    if (!attached.empty()) {
        if (m_host.Rows().Validate(place.parent))
            m_host.Rows().Expand(place.parent, false);
        m_host.RefreshScrollBars();
        // The dropped rows become the selection, the first of them the focus:
        // the rows dropped, not those that came along under them.
        const std::set<HITEM> dropped(attached.begin(), attached.end());
        std::vector<RowPosition> selected;
        for (HITEM handle : attached) {
            CGridItem* item = m_host.Rows().Validate(handle);
            if (item && !dropped.count(ToHandle(item->GetParent())))
                selected.push_back(PositionOf(item));
        }
        m_host.Selection().SelectOnlyRows(selected);
        if (const RowPosition first = PositionOf(m_host.Rows().Validate(attached.front())); !first.IsNone())
            m_host.SetFocus(first);
        m_host.UpdateViewport();
    }
    Notify(NotifyDropEnd, attached, place.area, attached.empty() ? 0 : action, record.sourceGrid, place.parent,
           place.position);
    if (attached.empty()) {
        event.ignore();
        return;
    }
    event.setDropAction(QtAction(action));
    event.accept();
}

void CGridTransfer::DescribeForPaint(PaintState& state) const
{
    if (!m_over.active || !m_over.placed)
        return;
    state.drag.active = true;
    state.drag.targetArea = m_over.place.area;
    state.drag.targetRow = m_over.place.targetRow;
    state.drag.after = m_over.place.after;
    state.drag.parentRow = m_over.place.parentRow;
    state.drag.level = m_over.place.level;
    state.drag.markerColor = m_host.Settings().dragDrop.dropMarker;
    state.drag.rowCount = m_host.Rows().GetRowCount(m_over.place.area);
}

} // namespace Kestrum::GUI
