#include "gui/input/GridInputController.h"

#include <QApplication>
#include <QBitmap>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cstdlib>

#include "gui/clipboard/GridTransfer.h"
#include "gui/grid/GridImpl.h"
#include "gui/input/KeyManager.h"
#include "gui/paint/CustomDraw.h"
#include "gui/platform/DeviceContext.h"
#include "gui/platform/KeyCodes.h"

namespace Kestrum::GUI {

namespace {
// A press on a caption becomes a column move once the pointer has gone
// further than this from the press point.
constexpr int kClickSlack = 4;
// The pixels on either side of a column's right edge that grab the edge.
constexpr int kEdgeGrab = 4;
// A resized column keeps at least this width.
constexpr int kNarrowestColumn = 2;
// The drop marker is repainted at least this often while a column is moved.
constexpr std::int64_t kDropRepaintMs = 200;
constexpr int kAutoScrollMs = 100;
constexpr double kDragImageOpacity = 0.6;

// The resize cursor: a two-line bar with arrows pointing away from it, drawn
// from two 32 x 32 bit masks (the black pixels, and the drawn pixels: the
// black ones with a white outline), hot spot in the middle.
QCursor MakeResizeCursor()
{
    constexpr int kSide = 32;
    std::array<std::uint8_t, kSide * kSide / 8> black{};
    auto set = [](auto& plane, int x, int y) {
        if (x >= 0 && x < kSide && y >= 0 && y < kSide)
            plane[static_cast<std::size_t>(y * (kSide / 8) + x / 8)] |= static_cast<std::uint8_t>(1u << (x % 8));
    };
    auto isSet = [](const auto& plane, int x, int y) {
        return x >= 0 && x < kSide && y >= 0 && y < kSide &&
               (plane[static_cast<std::size_t>(y * (kSide / 8) + x / 8)] & (1u << (x % 8))) != 0;
    };
    for (int y = 8; y < 24; ++y) {
        set(black, 14, y);
        set(black, 17, y);
    }
    for (int x = 8; x < 13; ++x) {
        set(black, x, 15);
        set(black, x, 16);
        set(black, kSide - 1 - x, 15);
        set(black, kSide - 1 - x, 16);
    }
    for (int k = 0; k < 5; ++k) { // the arrow heads, tips at x 3 and 28
        for (int y = 15 - k; y <= 16 + k; ++y) {
            set(black, 3 + k, y);
            set(black, kSide - 1 - (3 + k), y);
        }
    }
    std::array<std::uint8_t, kSide * kSide / 8> drawn{};
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (isSet(black, x + dx, y + dy))
                        set(drawn, x, y);
    const QBitmap bitmap = QBitmap::fromData(QSize(kSide, kSide), black.data(), QImage::Format_MonoLSB);
    const QBitmap mask = QBitmap::fromData(QSize(kSide, kSide), drawn.data(), QImage::Format_MonoLSB);
    return QCursor(bitmap, mask, kSide / 2, kSide / 2);
}

std::int16_t Clamp16(double value)
{
    return static_cast<std::int16_t>(std::clamp(value, -32768.0, 32767.0));
}

// A plain letter or digit (keypad digits as digits) runs the search.
bool SearchCharacter(const QKeyEvent& event, char& character)
{
    if (event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    int key = VirtualKeyOf(event);
    if (key >= KeyNumpad0 && key <= KeyNumpad9)
        key = '0' + (key - KeyNumpad0);
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) {
        character = static_cast<char>(key);
        return true;
    }
    return false;
}
} // namespace

CGridInputController::CGridInputController(CGridImpl& grid) : m_grid(grid), m_resizeCursor(MakeResizeCursor())
{
    QObject::connect(&m_searchTimer, &QTimer::timeout, [this] {
        if (!m_search.Continue(*m_grid.owner))
            m_searchTimer.stop();
    });
}

CGridInputController::~CGridInputController() { delete m_dragImage.data(); }

IKeyManager& CGridInputController::KeyManager() const { return *m_grid.KeyManager(); }
CHeader* CGridInputController::Header() const { return m_grid.header; }

// --- keys ------------------------------------------------------------------------

bool CGridInputController::PreTranslate(const QKeyEvent& event)
{
    const int key = VirtualKeyOf(event);
    if (key == KeyEscape && (m_header.mode == HeaderModeResizing || m_header.mode == HeaderModeMoving))
        EndHeaderMode(true);
    if (key == 0)
        return false;
    // A key sees the view the previous key left, even if its scroll is
    // still waiting for the ensure-visible timer.
    m_grid.FlushEnsureVisible();
    CInputStateScope state(event.modifiers(), QGuiApplication::mouseButtons());
    const bool handled = KeyManager().OnKeyDown(m_grid.owner, key, RepeatCountOf(event), KeyFlagsOf(event));
    if (handled)
        CancelSearch(); // the search must not take the focus from where the key put it
    return handled;
}

void CGridInputController::CancelSearch()
{
    m_search.Cancel();
    m_searchTimer.stop();
}

bool CGridInputController::OnShortcutOverride(const QKeyEvent& event)
{
    const bool handled = PreTranslate(event);
    m_pretranslated = {true, event.key(), static_cast<int>(event.modifiers()), event.timestamp(), event.isAutoRepeat(), handled};
    char character = 0;
    return handled || SearchCharacter(event, character);
}

void CGridInputController::OnKeyPress(QKeyEvent& event)
{
    const bool asked = m_pretranslated.valid && m_pretranslated.key == event.key() &&
                       m_pretranslated.modifiers == static_cast<int>(event.modifiers()) &&
                       m_pretranslated.timestamp == event.timestamp() && m_pretranslated.autoRepeat == event.isAutoRepeat();
    const bool handled = asked ? m_pretranslated.handled : PreTranslate(event);
    m_pretranslated.valid = false;
    if (handled) {
        event.accept();
        return;
    }
    // The window's own key-down handling: plain letters and digits search.
    char character = 0;
    const bool searching = SearchCharacter(event, character);
    if (searching)
        KeyAction(KeyActionSearch, false, false, character);
    InputMessage message;
    message.kind = InputKeyDown;
    message.key = VirtualKeyOf(event);
    message.repeat = RepeatCountOf(event);
    message.flags = KeyFlagsOf(event);
    const bool hooked = Dispatch(message, nullptr);
    if (searching || hooked)
        event.accept();
    else
        event.ignore();
}

void CGridInputController::OnKeyRelease(QKeyEvent& event)
{
    const int key = VirtualKeyOf(event);
    CInputStateScope state(event.modifiers(), QGuiApplication::mouseButtons());
    bool handled = key != 0 && KeyManager().OnKeyUp(m_grid.owner, key, RepeatCountOf(event), KeyFlagsOf(event));
    InputMessage message;
    message.kind = InputKeyUp;
    message.key = key;
    message.repeat = RepeatCountOf(event);
    message.flags = KeyFlagsOf(event);
    handled = Dispatch(message, nullptr) || handled;
    if (handled)
        event.accept();
    else
        event.ignore();
}

void CGridInputController::KeyAction(int kind, bool shift, bool ctrl, char character)
{
    if (m_grid.rows.GetRowCount(AreaScrollable) == 0 || m_leftDown)
        return;
    m_grid.FlushEnsureVisible();
    if (kind != KeyActionSearch)
        CancelSearch();
    IKeyManager& manager = KeyManager();
    CGrid* grid = m_grid.owner;
    switch (kind) {
    case KeyActionUp: manager.OnUp(grid, shift, ctrl); break;
    case KeyActionDown: manager.OnDown(grid, shift, ctrl); break;
    case KeyActionPageUp: manager.OnPageUp(grid, shift, ctrl); break;
    case KeyActionPageDown: manager.OnPageDown(grid, shift, ctrl); break;
    case KeyActionHome: manager.OnHome(grid, shift, ctrl); break;
    case KeyActionEnd: manager.OnEnd(grid, shift, ctrl); break;
    case KeyActionSearch:
        m_search.Type(*grid, character, m_grid.settings.searchTimeout);
        if (m_search.IsSearching())
            m_searchTimer.start(0);
        else
            m_searchTimer.stop();
        break;
    default: break;
    }
}

// --- the header strip ---------------------------------------------------------------

bool CGridInputController::InHeaderStrip(CPoint point) const { return Header() && point.y < m_grid.HeaderHeight(); }

CColumn* CGridInputController::EdgeColumn(int x) const
{
    CHeader* header = Header();
    if (!header)
        return nullptr;
    CColumn* nearest = nullptr;
    int nearestDistance = kEdgeGrab + 1;
    for (CColumn* column : header->GetVisibleColumns()) {
        const CRect cell = header->GetClippedColumnRect(m_grid.owner, column->GetFieldId());
        if (cell.right <= cell.left && column->GetWidth() > 0)
            continue; // scrolled under the fixed columns
        const int distance = x < cell.right ? cell.right - 1 - x : x - cell.right;
        if (x >= cell.right - kEdgeGrab && x < cell.right + kEdgeGrab && distance < nearestDistance) {
            nearest = column;
            nearestDistance = distance;
        }
    }
    return nearest;
}

CColumn* CGridInputController::ColumnAt(int x) const
{
    return Header() ? Header()->HitTestColumn(m_grid.owner, x, 0) : nullptr;
}

bool CGridInputController::MayMove(CColumn* column) const
{
    CHeader* header = Header();
    if (!header || !column)
        return false;
    return header->IsFixedColumn(column->GetFieldId()) ? header->CanMoveFixedColumns() : header->CanMoveScrollableColumns();
}

void CGridInputController::RepaintHeader()
{
    if (const int height = m_grid.HeaderHeight(); height > 0) {
        const CRect client = m_grid.Client();
        m_grid.Invalidate({client.left, client.top, client.right, client.top + height});
    }
}

void CGridInputController::SetHot(Common::FieldId field)
{
    if (field == m_header.hot)
        return;
    m_header.hot = field;
    RepaintHeader();
}

void CGridInputController::UpdateCursor(CPoint point, bool buttonDown)
{
    const bool resize = m_header.mode == HeaderModeResizing ||
                        (m_header.mode == HeaderModeNone && !buttonDown && InHeaderStrip(point) && EdgeColumn(point.x));
    if (resize == m_resizeCursorShown)
        return;
    m_resizeCursorShown = resize;
    if (resize)
        m_grid.Viewport()->setCursor(m_resizeCursor);
    else
        m_grid.Viewport()->unsetCursor();
}

void CGridInputController::EndHeaderMode(bool restoreWidth)
{
    if (m_header.mode == HeaderModeNone)
        return;
    if (restoreWidth && m_header.mode == HeaderModeResizing && Header())
        if (CColumn* column = Header()->GetColumn(m_header.field))
            column->SetWidth(m_header.widthAtPress);
    HideDragImage();
    m_header.mode = HeaderModeNone;
    m_header.field = Common::FIELD_NONE;
    m_header.dropIndex = -1;
    RepaintHeader();
    UpdateCursor(m_lastPoint, m_leftDown);
}

void CGridInputController::ShowDragImage(CColumn* column, CPoint point)
{
    HideDragImage();
    CRect cell = Header()->GetClippedColumnRect(m_grid.owner, column->GetFieldId());
    cell.top = 0;
    cell.bottom = m_grid.HeaderHeight();
    if (cell.IsEmpty())
        return;
    const QPixmap shot = m_grid.Viewport()->grab(ToQRect(cell));
    QPixmap image(shot.size());
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setOpacity(kDragImageOpacity);
        painter.drawPixmap(0, 0, shot);
    }
    auto* label = new QLabel(m_grid.Viewport());
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setPixmap(image);
    label->resize(image.size() / image.devicePixelRatio());
    m_dragImage = label;
    m_dragHotSpot = {point.x - cell.left, point.y - cell.top};
    MoveDragImage(point);
    label->show();
    label->raise();
}

void CGridInputController::MoveDragImage(CPoint point)
{
    if (m_dragImage)
        m_dragImage->move(point.x - m_dragHotSpot.x, point.y - m_dragHotSpot.y);
}

void CGridInputController::HideDragImage() { delete m_dragImage.data(); }

void CGridInputController::UpdateDrop(CPoint point)
{
    CHeader* header = Header();
    const int count = header->GetVisibleColumnCount();
    int index = -1;
    bool after = false;
    if (CColumn* under = ColumnAt(point.x)) {
        const CRect cell = header->GetColumnRect(m_grid.owner, under->GetFieldId());
        index = header->GetVisibleIndex(under->GetFieldId());
        after = point.x >= (cell.left + cell.right) / 2;
    } else if (count > 0) { // right of the last column
        index = count - 1;
        after = true;
    }
    const bool changed = index != m_header.dropIndex || after != m_header.dropAfter;
    m_header.dropIndex = index;
    m_header.dropAfter = after;
    const std::int64_t now = GridClockNow();
    if (changed || now - m_header.lastDropRepaint >= kDropRepaintMs) {
        m_header.lastDropRepaint = now;
        RepaintHeader();
    }
}

// --- the body ---------------------------------------------------------------------------

bool CGridInputController::ToggleTreeButton(CGridItem* item, CPoint point)
{
    CHeader* header = Header();
    CColumn* treeColumn = header ? header->GetTreeColumn() : nullptr;
    if (!treeColumn || !(m_grid.settings.paintFlags & PaintHierarchy) || item->GetChildren().empty())
        return false;
    const CRect visible = header->GetClippedColumnRect(m_grid.owner, treeColumn->GetFieldId());
    const CRect full = header->GetColumnRect(m_grid.owner, treeColumn->GetFieldId());
    const int side = item->GetRowHeight();
    const int left = full.left + item->GetLevel() * side;
    if (point.x < visible.left || point.x >= visible.right || point.x < left || point.x >= left + side)
        return false;
    CGridItem* focused = m_grid.FocusedItem();
    if (item->IsExpanded())
        m_grid.rows.Collapse(ToHandle(item), false);
    else
        m_grid.rows.Expand(ToHandle(item), false);
    // The focus stays where it was, unless its row went.
    if (focused && m_grid.rows.Validate(ToHandle(focused)) && focused->HasRow() &&
        AreaInMask(focused->GetTree()->GetKind(), m_grid.focus.focusableAreas))
        m_grid.SetFocus(m_grid.rows.RowIndexOf(focused), focused->GetTree()->GetKind(), true, true);
    else
        m_grid.SetFocus(-1, 0, true, false);
    return true;
}

void CGridInputController::StartBand(int area, CPoint point, CGridItem* item, int row)
{
    m_band = {};
    m_band.mode = 1;
    m_band.area = area;
    m_band.anchor = m_band.current = point;
    m_band.anchorItem = item;
    if (item)
        m_band.anchorOffset = point.y - m_grid.RowRect(area, row).top;
}

bool CGridInputController::BandApplies() const
{
    return m_band.mode == 1 && m_grid.selection.enabled && m_grid.selection.multiEnabled &&
           AreaInMask(m_band.area, m_grid.selection.selectableAreas);
}

bool CGridInputController::IsSelecting() const noexcept { return m_leftDown && BandApplies(); }

// The anchor's row now (rows may have moved since the press): the row count
// for a press below the last row, -1 when the anchor row is gone.
int CGridInputController::AnchorRow() const
{
    CItemTree* tree = m_grid.rows.TreeOfArea(m_band.area);
    if (!m_band.anchorItem)
        return tree->GetRowCount();
    CGridItem* item = m_grid.rows.Validate(ToHandle(m_band.anchorItem));
    if (!item || !item->HasRow() || item->GetTree() != tree)
        return -1;
    return m_grid.rows.RowIndexOf(item);
}

// The row of an area at height y (y is brought into the area first); the
// row count below the last row.
int CGridInputController::RowAtY(int area, int y) const
{
    const CRect rect = m_grid.AreaRect(area);
    const int first = area == AreaFixed ? 0 : std::max(m_grid.scroll.topRow, 0);
    if (y < rect.top)
        return first;
    y = std::min(y, rect.bottom - 1);
    const int count = m_grid.rows.GetRowCount(area);
    int top = rect.top;
    for (int row = first; row < count && top < rect.bottom; ++row) {
        const int height = m_grid.RowHeightAt(area, row);
        if (y < top + height)
            return row;
        top += height;
    }
    return count;
}

CRect CGridInputController::BandRect() const
{
    const CRect area = m_grid.AreaRect(m_band.area);
    const CRect client = m_grid.Client();
    const int count = m_grid.rows.GetRowCount(m_band.area);
    int anchorY = std::clamp(m_band.anchor.y, area.top, area.bottom);
    const int anchorRow = AnchorRow();
    if (anchorRow >= 0 && anchorRow < count) {
        const CRect row = m_grid.RowRect(m_band.area, anchorRow);
        if (!row.IsEmpty())
            anchorY = row.top + m_band.anchorOffset;
        else
            anchorY = m_band.area == AreaScrollable && anchorRow < m_grid.scroll.topRow ? area.top : area.bottom;
    } else if (anchorRow == count && count > 0) {
        const CRect last = m_grid.RowRect(m_band.area, count - 1);
        anchorY = last.IsEmpty() ? area.bottom : std::max(last.bottom, anchorY);
    }
    const int currentY = std::clamp(m_band.current.y, area.top, area.bottom);
    const int anchorX = std::clamp(m_band.anchor.x, client.left, client.right);
    const int currentX = std::clamp(m_band.current.x, client.left, client.right);
    return {std::min(anchorX, currentX), std::min(anchorY, currentY), std::max(anchorX, currentX), std::max(anchorY, currentY)};
}

void CGridInputController::UpdateBand(CPoint point)
{
    if (!BandApplies())
        return;
    const CRect before = BandRect();
    m_band.current = point;
    const int count = m_grid.rows.GetRowCount(m_band.area);
    const int anchor = AnchorRow();
    if (anchor < 0) { // its row went: the band ends
        EndBand();
        return;
    }
    const int current = RowAtY(m_band.area, point.y);
    int first = std::min(anchor, current);
    int last = std::min(std::max(anchor, current), count - 1);
    if (first > last)
        first = last = -1;
    m_grid.selectionModel.MoveBand(m_band.area, m_band.first, m_band.last, first, last);
    m_band.first = first;
    m_band.last = last;
    const CRect after = BandRect();
    m_grid.Invalidate({std::min(before.left, after.left), std::min(before.top, after.top), std::max(before.right, after.right) + 1,
                       std::max(before.bottom, after.bottom) + 1});
}

void CGridInputController::EndBand()
{
    if (m_band.mode != 0 && BandApplies()) {
        const CRect rect = BandRect();
        m_grid.Invalidate({rect.left, rect.top, rect.right + 1, rect.bottom + 1});
    }
    m_band = {};
}

void CGridInputController::StartAutoScroll()
{
    if (!m_grid.timers[TimerAutoScroll].isActive())
        m_grid.timers[TimerAutoScroll].start(kAutoScrollMs, m_grid.owner);
}

void CGridInputController::StopAutoScroll() { m_grid.timers[TimerAutoScroll].stop(); }

void CGridInputController::OnAutoScrollTimer()
{
    if (!m_leftDown || m_band.mode != 1) {
        StopAutoScroll();
        return;
    }
    const CRect area = m_grid.ScrollableArea();
    const int rowHeight = std::max(1, m_grid.rows.Scrollable().GetDefaultRowHeight());
    const int top = std::max(m_grid.scroll.topRow, 0);
    const CPoint point = m_lastPoint;
    // One row, and one more for each row height further out.
    if (point.y < area.top)
        m_grid.SetTop(std::max(0, top - ((area.top - point.y) / rowHeight + 1)), true);
    else if (point.y >= area.bottom)
        m_grid.SetTop(std::min(m_grid.MaxTopRow(), top + ((point.y - area.bottom) / rowHeight + 1)), true);
    UpdateBand(point);
}

// --- the hooks -----------------------------------------------------------------------------

InputMessage CGridInputController::MouseMessage(int kind, const QMouseEvent& event)
{
    InputMessage message;
    message.kind = kind;
    message.flags = MouseFlagsOf(event.buttons(), event.modifiers());
    message.x = Clamp16(event.position().x());
    message.y = Clamp16(event.position().y());
    return message;
}

bool CGridInputController::OnMouseMove(std::uint32_t flags, int x, int y)
{
    const CPoint point{x, y};
    m_lastPoint = point;
    const bool leftDown = (flags & MouseLeftButton) != 0;
    // The tooltips ask for the hover they need.
    m_grid.tooltips->OnMouseMove(flags, point);
    m_grid.edit->TrackMouse(point, (flags & (MouseLeftButton | MouseRightButton | MouseMiddleButton)) != 0, true);
    if (m_dragPress.active) {
        if (leftDown && std::max(std::abs(x - m_dragPress.point.x), std::abs(y - m_dragPress.point.y)) >=
                            QApplication::startDragDistance())
            return StartDrag();
        if (!leftDown)
            m_dragPress = {};
        return true;
    }
    switch (m_header.mode) {
    case HeaderModePressed:
        if (std::abs(x - m_header.press.x) > kClickSlack || std::abs(y - m_header.press.y) > kClickSlack) {
            CColumn* column = Header()->GetColumn(m_header.field);
            if (MayMove(column)) {
                m_header.mode = HeaderModeMoving;
                m_header.dropIndex = -1;
                RepaintHeader();
                ShowDragImage(column, point);
                UpdateDrop(point);
            } else {
                EndHeaderMode(false);
            }
        }
        return true;
    case HeaderModeResizing:
        if (!leftDown) {
            EndHeaderMode(false);
            return true;
        }
        if (CColumn* column = Header()->GetColumn(m_header.field)) {
            const int left = Header()->GetColumnRect(m_grid.owner, m_header.field).left;
            const int right = std::max(x, left + kNarrowestColumn);
            column->SetWidth(right - left);
            m_grid.RefreshScrollBars();
            m_grid.RepaintAll();
        }
        return true;
    case HeaderModeMoving:
        UpdateDrop(point);
        MoveDragImage(point);
        return true;
    default: break;
    }
    UpdateCursor(point, leftDown);
    if (!leftDown) {
        CColumn* hot = InHeaderStrip(point) && y >= 0 ? ColumnAt(x) : nullptr;
        SetHot(hot ? hot->GetFieldId() : Common::FIELD_NONE);
    }
    if (leftDown && m_band.mode == 1) {
        int area = 0, row = -1;
        if (!m_grid.HitRow(point, area, row))
            StartAutoScroll();
        UpdateBand(point);
    }
    return true;
}

bool CGridInputController::OnLeftButtonDown(std::uint32_t flags, int x, int y)
{
    const CPoint point{x, y};
    m_leftDown = true;
    m_lastPoint = point;
    CancelSearch();
    // A press anywhere ends the edit; one on a cell may start the next.
    m_grid.edit->EndEdit(EditFocusLost);
    if (!InHeaderStrip(point) && m_grid.edit->StartAt(point, EditStartClick))
        return true;
    if (InHeaderStrip(point)) {
        SetHot(Common::FIELD_NONE);
        if (CColumn* edge = EdgeColumn(x)) {
            m_header.mode = HeaderModeResizing;
            m_header.field = edge->GetFieldId();
            m_header.widthAtPress = edge->GetWidth();
            UpdateCursor(point, true);
        } else if (CColumn* column = ColumnAt(x)) {
            m_header.mode = HeaderModePressed;
            m_header.field = column->GetFieldId();
            m_header.press = point;
            RepaintHeader();
        }
        return true;
    }
    int area = 0, row = -1;
    m_grid.HitRow(point, area, row);
    CItemTree* tree = m_grid.rows.TreeOfArea(area);
    CGridItem* item = tree && row >= 0 ? tree->GetItemAt(row) : nullptr;
    if (item && ToggleTreeButton(item, point))
        return true;
    // A press that may start a drag waits: moving starts the drag, a release
    // without moving is an ordinary click.
    if (item && m_grid.transfer->MayStartDrag(item, area, point)) {
        m_dragPress = {true, point, flags, item, area};
        StopAutoScroll();
        return true;
    }
    return ApplyPress(flags, point, area, row, item);
}

bool CGridInputController::ApplyPress(std::uint32_t flags, CPoint point, int area, int row, CGridItem* item)
{
    if (m_band.mode == 0 && area != 0)
        StartBand(area, point, item, row);
    StopAutoScroll();
    const bool shift = (flags & MouseShift) != 0;
    const bool ctrl = (flags & MouseControl) != 0;
    const bool focusable = AreaInMask(area, m_grid.focus.focusableAreas);
    const bool selectable = AreaInMask(area, m_grid.selection.selectableAreas);
    if (shift && m_grid.focus.row >= 0 && m_grid.selection.enabled && m_grid.selection.multiEnabled && area != 0) {
        // From the focused row to the clicked one (the area's last row below the rows).
        const int target = item ? row : m_grid.rows.GetRowCount(area) - 1;
        if (target >= 0)
            m_grid.selectionModel.SelectOnlyRange({m_grid.focus.row, m_grid.focus.area}, {target, area});
        else
            m_grid.ClearSelection();
        m_band = {};
        return true;
    }
    if (ctrl && !shift) {
        if (item) {
            if (focusable)
                m_grid.SetFocus(row, area, true, true);
            if (selectable)
                m_grid.selectionModel.Toggle({row, area});
        }
        m_band = {};
        return true;
    }
    m_grid.ClearSelection();
    if (item) {
        if (selectable && m_grid.SelectRow(row, area, true) && m_band.mode == 1)
            m_band.first = m_band.last = row;
        if (focusable) {
            m_grid.SetFocus(row, area, true, true);
            return true;
        }
    }
    m_grid.SetFocus(-1, 0, true, false);
    return true;
}

bool CGridInputController::OnLeftButtonUp(std::uint32_t flags, int x, int y)
{
    if (m_dragPress.active) {
        // No drag came of the press: it was a click, with the press's keys.
        const DragPress press = std::exchange(m_dragPress, {});
        int area = 0, row = -1;
        m_grid.HitRow(press.point, area, row);
        CItemTree* tree = m_grid.rows.TreeOfArea(area);
        CGridItem* item = tree && row >= 0 ? tree->GetItemAt(row) : nullptr;
        ApplyPress(press.flags, press.point, area, row, item);
    }
    m_leftDown = false;
    m_lastPoint = {x, y};
    m_grid.edit->TrackMouse(m_lastPoint, (flags & (MouseRightButton | MouseMiddleButton)) != 0, true);
    CHeader* header = Header();
    if (m_header.mode == HeaderModePressed && header && header->GetColumn(m_header.field)) {
        // A click on a caption: Shift clears the sort, Ctrl adds a level.
        CGridRows::ApplyHeaderClick(header, m_header.field, (flags & MouseShift) != 0, (flags & MouseControl) != 0);
    } else if (m_header.mode == HeaderModeMoving && header && m_header.dropIndex >= 0) {
        CColumn* target = header->GetVisibleColumnAt(m_header.dropIndex);
        if (target && MayMove(target)) {
            if (m_header.dropAfter)
                header->MoveColumnAfter(m_header.field, target->GetFieldId());
            else
                header->MoveColumnBefore(m_header.field, target->GetFieldId());
        }
    }
    EndBand();
    StopAutoScroll();
    EndHeaderMode(false);
    UpdateCursor(m_lastPoint, false);
    return true;
}

bool CGridInputController::StartDrag()
{
    const DragPress press = std::exchange(m_dragPress, {});
    // The drag takes the mouse until its button goes up: the release never
    // reaches the grid.
    m_leftDown = false;
    m_band = {};
    StopAutoScroll();
    CGridItem* item = m_grid.rows.Validate(ToHandle(press.item));
    if (!item || !item->HasRow())
        return true;
    QPointer<CGrid> alive(m_grid.owner);
    m_grid.transfer->RunDrag(item, press.area);
    if (!alive)
        return true; // something the drop did closed the grid
    m_leftDown = false;
    UpdateCursor(m_lastPoint, false);
    return true;
}

bool CGridInputController::OnLeftButtonDoubleClick(std::uint32_t, int x, int y)
{
    const CPoint point{x, y};
    m_leftDown = true;
    m_lastPoint = point;
    m_grid.edit->EndEdit(EditFocusLost);
    if (!InHeaderStrip(point) && m_grid.edit->StartAt(point, EditStartDoubleClick))
        return true;
    if (InHeaderStrip(point)) {
        if (CColumn* edge = EdgeColumn(x))
            m_grid.AutoFitColumn(edge->GetFieldId());
        return true;
    }
    int area = 0, row = -1;
    m_grid.HitRow(point, area, row);
    CItemTree* tree = m_grid.rows.TreeOfArea(area);
    if (CGridItem* item = tree && row >= 0 ? tree->GetItemAt(row) : nullptr) {
        if (item->IsExpanded())
            m_grid.rows.Collapse(ToHandle(item), false);
        else
            m_grid.rows.Expand(ToHandle(item), false);
    }
    return true;
}

bool CGridInputController::OnRightButtonUp(std::uint32_t, int x, int y)
{
    m_lastPoint = {x, y};
    EndBand();
    StopAutoScroll();
    EndHeaderMode(false);
    return true;
}

bool CGridInputController::OnCaptureLost(void*)
{
    // The button's release may never come: the band, the auto-scroll, a
    // press waiting to drag and a column move or resize end here (a resized
    // column keeps its width).
    m_leftDown = false;
    m_dragPress = {};
    EndBand();
    StopAutoScroll();
    EndHeaderMode(false);
    return true;
}

bool CGridInputController::OnMouseLeave()
{
    m_grid.tooltips->OnMouseLeave();
    m_grid.edit->TrackMouse({}, false, false);
    SetHot(Common::FIELD_NONE);
    if (m_header.mode == HeaderModeNone && !m_leftDown && m_resizeCursorShown) {
        m_resizeCursorShown = false;
        m_grid.Viewport()->unsetCursor();
    }
    return true;
}

bool CGridInputController::OnMouseHover(std::uint32_t, int x, int y)
{
    m_grid.tooltips->OnHover({x, y});
    if (m_header.mode == HeaderModeNone && !m_leftDown) {
        CColumn* hot = InHeaderStrip({x, y}) && y >= 0 ? ColumnAt(x) : nullptr;
        SetHot(hot ? hot->GetFieldId() : Common::FIELD_NONE);
    }
    return true;
}

void CGridInputController::Reset()
{
    CancelSearch();
    HideDragImage();
    m_header = {};
    m_band = {};
    m_dragPress = {};
    m_leftDown = false;
    StopAutoScroll();
    if (m_resizeCursorShown) {
        m_resizeCursorShown = false;
        m_grid.Viewport()->unsetCursor();
    }
}

void CGridInputController::DescribeForPaint(PaintState& state, HeaderDrawContext& header)
{
    if (IsSelecting()) {
        const CRect band = BandRect();
        state.selectionFrom = {band.left, band.top};
        state.selectionTo = {band.right, band.bottom};
    }
    CHeader* owner = Header();
    if (!owner)
        return;
    if (m_header.mode == HeaderModePressed || m_header.mode == HeaderModeMoving) {
        header.trackedColumn = owner->GetColumn(m_header.field);
        header.trackedPressed = true;
    } else if (m_header.hot != Common::FIELD_NONE) {
        header.trackedColumn = owner->GetVisibleColumn(m_header.hot);
    }
    if (m_header.mode == HeaderModeMoving && m_header.dropIndex >= 0) {
        header.dropTarget = owner->GetVisibleColumnAt(m_header.dropIndex);
        header.dropSide = m_header.dropAfter ? 2 : 1;
    }
}

} // namespace Kestrum::GUI
