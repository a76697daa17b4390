#include "gui/input/GridInputController.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <algorithm>

#include "gui/grid/Grid.h"
#include "gui/grid/GridRows.h"
#include "gui/input/InputHost.h"
#include "gui/input/KeyGrid.h"
#include "gui/input/KeyManager.h"
#include "gui/paint/DrawContext.h"
#include "gui/platform/KeyCodes.h"

namespace Kestrum::GUI {

namespace {
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

CGridInputController::CGridInputController(IInputHost& host) : m_host(host), m_header(host), m_band(host), m_drag(host)
{
    QObject::connect(&m_searchTimer, &QTimer::timeout, [this] {
        if (!m_search.Continue(m_host.Grid()))
            m_searchTimer.stop();
    });
}

CGridInputController::~CGridInputController() = default;

// --- keys ------------------------------------------------------------------------

bool CGridInputController::PreTranslate(const QKeyEvent& event)
{
    const int key = VirtualKeyOf(event);
    if (key == KeyEscape)
        m_header.OnEscape(m_lastPoint, m_leftDown);
    if (key == 0)
        return false;
    // A key sees the view the previous key left, even if its scroll is
    // still waiting for the ensure-visible timer.
    m_host.FlushEnsureVisible();
    CInputStateScope state(event.modifiers(), QGuiApplication::mouseButtons());
    CKeyGridScope direct(m_host.Grid(), m_host.KeyGrid());
    const bool handled = m_host.KeyManager().OnKeyDown(&m_host.Grid(), key, RepeatCountOf(event), KeyFlagsOf(event));
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
    CKeyGridScope direct(m_host.Grid(), m_host.KeyGrid());
    bool handled = key != 0 && m_host.KeyManager().OnKeyUp(&m_host.Grid(), key, RepeatCountOf(event), KeyFlagsOf(event));
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
    if (m_host.Rows().GetRowCount(AreaScrollable) == 0 || m_leftDown)
        return;
    m_host.FlushEnsureVisible();
    if (kind != KeyActionSearch)
        CancelSearch();
    IKeyManager& manager = m_host.KeyManager();
    CGrid* grid = &m_host.Grid();
    CKeyGridScope direct(*grid, m_host.KeyGrid());
    switch (kind) {
    case KeyActionUp: manager.OnUp(grid, shift, ctrl); break;
    case KeyActionDown: manager.OnDown(grid, shift, ctrl); break;
    case KeyActionPageUp: manager.OnPageUp(grid, shift, ctrl); break;
    case KeyActionPageDown: manager.OnPageDown(grid, shift, ctrl); break;
    case KeyActionHome: manager.OnHome(grid, shift, ctrl); break;
    case KeyActionEnd: manager.OnEnd(grid, shift, ctrl); break;
    case KeyActionSearch:
        m_search.Type(*grid, character, m_host.SearchTimeout());
        if (m_search.IsSearching())
            m_searchTimer.start(0);
        else
            m_searchTimer.stop();
        break;
    default: break;
    }
}

// --- the body ---------------------------------------------------------------------------

CGridItem* CGridInputController::ItemAt(int area, int row)
{
    CItemTree* tree = m_host.Rows().TreeOfArea(area);
    return tree && row >= 0 ? tree->GetItemAt(row) : nullptr;
}

void CGridInputController::ToggleItem(CGridItem* item)
{
    if (item->IsExpanded())
        m_host.Rows().Collapse(ToHandle(item), false);
    else
        m_host.Rows().Expand(ToHandle(item), false);
}

bool CGridInputController::ToggleTreeButton(CGridItem* item, CPoint point)
{
    CHeader* header = m_host.Header();
    CColumn* treeColumn = header ? header->GetTreeColumn() : nullptr;
    if (!treeColumn || !m_host.ShowsTreeButtons() || !item->HasChildItems())
        return false;
    const CRect visible = header->GetClippedColumnRect(m_host.ScrollPosition(), treeColumn->GetFieldId());
    const CRect full = header->GetColumnRect(m_host.ScrollPosition(), treeColumn->GetFieldId());
    const int side = item->GetRowHeight();
    const int left = full.left + item->GetLevel() * side;
    if (point.x < visible.left || point.x >= visible.right || point.x < left || point.x >= left + side)
        return false;
    CGridItem* focused = m_host.FocusedItem();
    ToggleItem(item);
    // The focus stays where it was, unless its row went.
    CGridRows& rows = m_host.Rows();
    if (focused && rows.Validate(ToHandle(focused)) && focused->HasRow() && m_host.IsFocusable(focused->GetTree()->GetKind()))
        m_host.SetFocus({rows.RowIndexOf(focused), focused->GetTree()->GetKind()});
    else
        m_host.ClearFocus();
    return true;
}

bool CGridInputController::IsSelecting() { return m_leftDown && m_band.Applies(); }

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
    m_host.TooltipsMove(flags, point);
    m_host.TrackEditHover(point, (flags & (MouseLeftButton | MouseRightButton | MouseMiddleButton)) != 0, true);
    if (m_drag.IsArmed()) {
        if (leftDown && m_drag.Reached(point))
            return StartDrag();
        if (!leftDown)
            m_drag.Cancel();
        return true;
    }
    if (m_header.OnMove(point, leftDown))
        return true;
    if (leftDown)
        m_band.Move(point);
    return true;
}

bool CGridInputController::OnLeftButtonDown(std::uint32_t flags, int x, int y)
{
    const CPoint point{x, y};
    m_leftDown = true;
    m_lastPoint = point;
    CancelSearch();
    // A press anywhere ends the edit; one on a cell may start the next.
    m_host.EndEdit();
    const bool inStrip = m_header.InStrip(point);
    if (!inStrip && m_host.StartEdit(point, false))
        return true;
    if (inStrip) {
        m_header.OnPress(point);
        return true;
    }
    int area = 0, row = -1;
    m_host.HitRow(point, area, row);
    CGridItem* item = ItemAt(area, row);
    if (item && ToggleTreeButton(item, point))
        return true;
    // A press that may start a drag waits: moving starts the drag, a release
    // without moving is an ordinary click.
    if (item && m_drag.Arm({point, flags, item, area})) {
        m_band.StopScrolling();
        return true;
    }
    return ApplyPress(flags, point, area, row, item);
}

bool CGridInputController::ApplyPress(std::uint32_t flags, CPoint point, int area, int row, CGridItem* item)
{
    if (!m_band.IsActive() && area != 0)
        m_band.Start(area, point, item, row);
    m_band.StopScrolling();
    const bool shift = (flags & MouseShift) != 0;
    const bool ctrl = (flags & MouseControl) != 0;
    CSelectionModel& selection = m_host.Selection();
    const RowPosition focus = m_host.Focus();
    if (shift && focus.row >= 0 && m_host.MultiSelectionEnabled() && area != 0) {
        // From the focused row to the clicked one (the area's last row below the rows).
        const int target = item ? row : m_host.Rows().GetRowCount(area) - 1;
        selection.SelectOnlyRange(focus, {target, area});
        m_band.Forget();
        return true;
    }
    if (ctrl && !shift) {
        if (item) {
            if (m_host.IsFocusable(area))
                m_host.SetFocus({row, area});
            if (m_host.IsSelectable(area))
                selection.Toggle({row, area});
        }
        m_band.Forget();
        return true;
    }
    if (selection.SelectOnly(item ? RowPosition{row, area} : RowPosition{}))
        m_band.NoteSelected(row);
    if (item && m_host.IsFocusable(area)) {
        m_host.SetFocus({row, area});
        return true;
    }
    m_host.ClearFocus();
    return true;
}

bool CGridInputController::OnLeftButtonUp(std::uint32_t flags, int x, int y)
{
    if (m_drag.IsArmed()) {
        // No drag came of the press: it was a click, with the press's keys.
        const CDragStart::Press press = m_drag.Take();
        int area = 0, row = -1;
        m_host.HitRow(press.point, area, row);
        ApplyPress(press.flags, press.point, area, row, ItemAt(area, row));
    }
    m_leftDown = false;
    m_lastPoint = {x, y};
    m_host.TrackEditHover(m_lastPoint, (flags & (MouseRightButton | MouseMiddleButton)) != 0, true);
    m_header.OnRelease((flags & MouseShift) != 0, (flags & MouseControl) != 0);
    m_band.End();
    m_band.StopScrolling();
    m_header.EndMode(m_lastPoint, false);
    m_header.UpdateCursor(m_lastPoint, false);
    return true;
}

bool CGridInputController::StartDrag()
{
    const CDragStart::Press press = m_drag.Take();
    // The drag takes the mouse until its button goes up: the release never
    // reaches the grid.
    m_leftDown = false;
    m_band.Forget();
    m_band.StopScrolling();
    if (!m_drag.Run(press))
        return true; // something the drop did closed the grid
    m_leftDown = false;
    m_header.UpdateCursor(m_lastPoint, false);
    return true;
}

bool CGridInputController::OnLeftButtonDoubleClick(std::uint32_t, int x, int y)
{
    const CPoint point{x, y};
    m_leftDown = true;
    m_lastPoint = point;
    m_host.EndEdit();
    const bool inStrip = m_header.InStrip(point);
    if (!inStrip && m_host.StartEdit(point, true))
        return true;
    if (inStrip) {
        m_header.OnDoubleClick(point);
        return true;
    }
    int area = 0, row = -1;
    m_host.HitRow(point, area, row);
    if (CGridItem* item = ItemAt(area, row))
        ToggleItem(item);
    return true;
}

bool CGridInputController::OnRightButtonUp(std::uint32_t, int x, int y)
{
    m_lastPoint = {x, y};
    m_band.End();
    m_band.StopScrolling();
    m_header.EndMode(m_lastPoint, m_leftDown);
    return true;
}

bool CGridInputController::OnCaptureLost(void*)
{
    // The button's release may never come: the band, the auto-scroll, a
    // press waiting to drag and a column move or resize end here (a resized
    // column keeps its width).
    m_leftDown = false;
    m_drag.Cancel();
    m_band.End();
    m_band.StopScrolling();
    m_header.EndMode(m_lastPoint, false);
    return true;
}

bool CGridInputController::OnMouseLeave()
{
    m_host.TooltipsLeave();
    m_host.TrackEditHover({}, false, false);
    m_header.OnLeave(m_leftDown);
    return true;
}

bool CGridInputController::OnMouseHover(std::uint32_t, int x, int y)
{
    m_host.TooltipsHover({x, y});
    m_header.OnHover({x, y}, m_leftDown);
    return true;
}

void CGridInputController::Reset()
{
    CancelSearch();
    m_header.Reset();
    m_band.Forget();
    m_drag.Cancel();
    m_leftDown = false;
    m_band.StopScrolling();
}

void CGridInputController::DescribeForPaint(PaintState& state, HeaderDrawContext& header)
{
    if (IsSelecting()) {
        const CRect band = m_band.Rect();
        state.selectionFrom = {band.left, band.top};
        state.selectionTo = {band.right, band.bottom};
    }
    const HeaderMouseMarks marks = m_header.Marks();
    if (marks.tracked) {
        header.trackedColumn = marks.tracked;
        header.trackedPressed = marks.pressed;
    }
    if (marks.dropTarget) {
        header.dropTarget = marks.dropTarget;
        header.dropSide = marks.dropSide;
    }
}

} // namespace Kestrum::GUI
