#include "gui/tooltip/GridTooltips.h"

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <vector>

#include "gui/grid/GridImpl.h"
#include "gui/paint/PaintPass.h"
#include "gui/platform/DeviceContext.h"
#include "gui/platform/KeyCodes.h"
#include "gui/tooltip/InPlaceTooltipCtrl.h"

namespace Kestrum::GUI {

namespace {
// A move counts when it goes further than this across, or this far down.
constexpr int kMoveAcross = 4;
constexpr int kMoveDown = 5;

bool ValidKind(int kind) { return kind == TooltipRegular || kind == TooltipInPlace; }
int OtherKind(int kind) { return kind == TooltipRegular ? TooltipInPlace : TooltipRegular; }
} // namespace

// The cell under a point with what its paint format reads; `context.row`
// points into it, so it stays where it was made.
struct CGridTooltips::Cell {
    Cell() = default;
    Cell(const Cell&) = delete;
    Cell& operator=(const Cell&) = delete;
    RowDrawContext row;
    CellDrawContext context;
    PaintState state;
    ICellPaintFormat* format = nullptr;
};

CGridTooltips::CGridTooltips(CGridImpl& grid) : m_grid(grid)
{
    m_hoverTimer = new QTimer(grid.owner);
    m_hoverTimer->setObjectName(QStringLiteral("Kestrum.TooltipHover"));
    m_hoverTimer->setSingleShot(true);
    QObject::connect(m_hoverTimer.data(), &QTimer::timeout, [this] { OnHoverTimer(); });
    SetControl(TooltipInPlace, new CInPlaceTooltipCtrl(true));
}

CGridTooltips::~CGridTooltips()
{
    delete m_hoverTimer.data();
    // One object may serve as both controls, or as a control and the
    // source: each is deleted once.
    std::vector<IAutoDelete*> owned;
    auto release = [&owned](IAutoDelete* object) {
        if (object && object->IsAutoDelete() && std::find(owned.begin(), owned.end(), object) == owned.end())
            owned.push_back(object);
    };
    for (int kind : {TooltipRegular, TooltipInPlace}) {
        if (ITooltipCtrl* control = m_controls[kind]) {
            control->Hide();
            control->Detach();
            release(control);
        }
    }
    release(m_source);
    for (IAutoDelete* object : owned)
        delete object;
}

void CGridTooltips::Enable(int kind, bool enable)
{
    if (!ValidKind(kind))
        return;
    m_enabled[kind] = enable;
    if (!enable && m_shown[kind])
        HideAll();
}

bool CGridTooltips::IsEnabled(int kind) const { return ValidKind(kind) && m_enabled[kind]; }

ITooltipCtrl* CGridTooltips::SetControl(int kind, ITooltipCtrl* control)
{
    if (!ValidKind(kind) || control == m_controls[kind])
        return nullptr;
    HideKind(kind);
    ITooltipCtrl* previous = m_controls[kind];
    m_controls[kind] = control;
    if (previous)
        previous->Detach();
    if (control)
        control->Attach(m_grid.owner);
    return previous;
}

ITooltipCtrl* CGridTooltips::GetControl(int kind) const { return ValidKind(kind) ? m_controls[kind] : nullptr; }

ITooltipSource* CGridTooltips::SetSource(ITooltipSource* source)
{
    if (source == m_source)
        return nullptr;
    HideKind(TooltipRegular);
    return std::exchange(m_source, source);
}

bool CGridTooltips::IsShown(int kind) const { return ValidKind(kind) && m_shown[kind]; }

ITooltipSource* CGridTooltips::SourceOf(int kind) const
{
    ITooltipCtrl* control = m_controls[kind];
    if (kind == TooltipRegular && m_source)
        return m_source;
    return control ? control->GetDefaultSource() : nullptr;
}

const TooltipSettings& CGridTooltips::SettingsOf(int kind) const
{
    return kind == TooltipInPlace ? m_grid.settings.tooltipInPlace : m_grid.settings.tooltipRegular;
}

bool CGridTooltips::CellAt(CPoint point, Cell& cell)
{
    CHeader* header = m_grid.header;
    if (!header || (m_grid.settings.headerShown && point.y < m_grid.HeaderHeight()))
        return false;
    int area = 0, row = -1;
    if (!m_grid.HitRow(point, area, row) || row < 0)
        return false;
    CGridItem* item = m_grid.rows.TreeOfArea(area)->GetItemAt(row);
    CColumn* column = header->HitTestColumn(m_grid.owner, point.x, point.y);
    if (!item || !column)
        return false;
    // What the paint pass would hand this cell's paint format.
    PaintState& state = cell.state;
    state.grid = m_grid.owner;
    state.header = header;
    state.clipRect = m_grid.Client();
    state.images = m_grid.cellImages;
    state.stretchImages = m_grid.settings.stretchImages;
    if (!m_grid.background.picture.isNull()) {
        state.hasBackground = true;
        state.backgroundArea = m_grid.BackgroundArea();
        state.backgroundTransparency = m_grid.background.transparency;
    }
    state.focusedRowKey = m_grid.focus.area;
    state.focusedRowIndex = m_grid.focus.row;
    state.scroll = m_grid.owner;
    state.appearance = &m_grid.settings.appearance;
    state.highlightEnabled = m_grid.settings.highlightEnabled;
    state.now = GridClockNow();
    cell.row = MakeRowContext(m_grid.PassOf(), state, PassRow{area, row, item, m_grid.RowRect(area, row)});
    cell.context = MakeCellContext(state, cell.row, column);
    cell.format = m_grid.Draw()->GetCellPaintFormat(column, cell.row.object, item, area, row);
    return true;
}

bool CGridTooltips::HasTooltip(int kind, Cell& cell)
{
    if (!m_enabled[kind] || !m_controls[kind])
        return false;
    ITooltipSource* source = SourceOf(kind);
    return source && source->HasTooltip(m_grid.owner, cell.context);
}

void CGridTooltips::OnMouseMove(std::uint32_t flags, CPoint point)
{
    m_point = point;
    // Nothing while a button holds the mouse (or another window grabbed it).
    if ((flags & (MouseLeftButton | MouseRightButton | MouseMiddleButton)) || QWidget::mouseGrabber())
        return;
    const bool moved = std::abs(point.x - m_counted.x) > kMoveAcross || std::abs(point.y - m_counted.y) >= kMoveDown;
    if (m_suppressed && !moved)
        return;
    m_suppressed = false;
    Cell cell;
    const bool overCell = CellAt(point, cell);
    bool goOn = true;
    if (overCell && HasTooltip(TooltipRegular, cell)) {
        goOn = Track(TooltipRegular, moved, point);
    } else if (overCell && HasTooltip(TooltipInPlace, cell)) {
        goOn = Track(TooltipInPlace, moved, point);
    } else {
        HideAll();
        m_kind = TooltipNone;
        CancelHover();
    }
    if (goOn && moved)
        m_counted = point;
}

bool CGridTooltips::Track(int kind, bool moved, CPoint point)
{
    m_kind = kind;
    if (SettingsOf(kind).hoverMode == 0) {
        Show(kind, point);
        return true;
    }
    if (m_shown[OtherKind(kind)] && moved)
        HideAll();
    if (m_shown[kind]) {
        if (!moved)
            return false;
        HideAll();
    } else {
        RequestHover(moved);
    }
    return true;
}

void CGridTooltips::RequestHover(bool moved)
{
    // Small moves keep a pending hover where it was (the hover rectangle).
    if (!m_hoverTimer || (m_hoverTimer->isActive() && !moved))
        return;
    const int delay = std::max(0, m_grid.settings.tooltipRegular.hoverDelay);
    m_hoverDue = GridClockNow() + delay;
    m_hoverTimer->start(delay);
}

void CGridTooltips::CancelHover()
{
    if (m_hoverTimer)
        m_hoverTimer->stop();
}

void CGridTooltips::OnHoverTimer()
{
    const std::int64_t left = m_hoverDue - GridClockNow();
    if (left > 0) {
        m_hoverTimer->start(static_cast<int>(std::min<std::int64_t>(left, 1 << 30)));
        return;
    }
    // The hover reaches the grid through its input hooks, as the mouse does.
    InputMessage hover;
    hover.kind = InputMouseHover;
    hover.x = static_cast<std::int16_t>(m_point.x);
    hover.y = static_cast<std::int16_t>(m_point.y);
    m_grid.input->Dispatch(hover, nullptr);
}

void CGridTooltips::OnHover(CPoint point)
{
    if (ValidKind(m_kind) && m_enabled[m_kind])
        Show(m_kind, point);
}

bool CGridTooltips::Show(int kind, CPoint point)
{
    if (!ValidKind(kind) || m_suppressed)
        return false;
    // Nothing over an open pop-up menu (a hover asked for before it opened
    // may come while it is open).
    if (QApplication::activePopupWidget())
        return false;
    ITooltipCtrl* control = m_controls[kind];
    if (!control)
        return false;
    ITooltipSource* source = SourceOf(kind);
    const TooltipSettings& settings = SettingsOf(kind);
    Cell cell;
    if (!CellAt(point, cell))
        return false;
    if (!source || !source->HasTooltip(m_grid.owner, cell.context)) {
        HideAll();
        return false;
    }
    if (kind == TooltipInPlace && m_editQuery && m_editQuery->CouldEditCell(m_grid.owner, cell.context, cell.state))
        return false;
    QBasicTimer& autoHide = m_grid.timers[TimerTooltip];
    if (settings.hoverMode != 0 && settings.displayTime > 0) {
        m_hideDue = GridClockNow() + settings.displayTime;
        autoHide.start(settings.displayTime, m_grid.owner);
    } else {
        autoHide.stop();
    }
    CancelHover();
    // One kind at a time.
    if (m_shown[OtherKind(kind)])
        HideKind(OtherKind(kind));
    // The paint format may measure on a device context.
    QImage scratch(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&scratch);
    CDeviceContext dc(painter);
    dc.SelectFont(m_grid.Font());
    cell.state.dc = &dc;
    const QPoint cursor = m_grid.Viewport()->mapToGlobal(QPoint(point.x, point.y));
    TooltipCell request;
    request.grid = m_grid.owner;
    request.source = source;
    request.context = &cell.context;
    request.state = &cell.state;
    request.format = cell.format;
    request.flags = m_grid.settings.paintFlags;
    request.settings = &settings;
    request.cursor = {cursor.x(), cursor.y()};
    if (control->Show(request)) {
        m_shown[kind] = true;
        return true;
    }
    // A pop-up left from an earlier cell must not stay over this one.
    HideKind(kind);
    return false;
}

void CGridTooltips::HideKind(int kind)
{
    if (!m_shown[kind])
        return;
    m_shown[kind] = false;
    if (m_controls[kind])
        m_controls[kind]->Hide();
}

void CGridTooltips::HideAll()
{
    for (int kind : {TooltipRegular, TooltipInPlace}) {
        if (!m_shown[kind])
            continue;
        HideKind(kind);
        m_suppressed = true;
    }
    m_grid.timers[TimerTooltip].stop();
}

void CGridTooltips::HideAndForget()
{
    CancelHover();
    HideAll();
    m_kind = TooltipNone;
}

void CGridTooltips::OnMouseLeave()
{
    CancelHover();
    // Over our own pop-up the mouse is still in the client area.
    const QPoint inside = m_grid.Viewport()->mapFromGlobal(QCursor::pos());
    if (!m_grid.Viewport()->rect().contains(inside))
        HideAll();
}

void CGridTooltips::OnAutoHideTimer()
{
    const std::int64_t left = m_hideDue - GridClockNow();
    if (left > 0) {
        m_grid.timers[TimerTooltip].start(static_cast<int>(std::min<std::int64_t>(left, 1 << 30)), m_grid.owner);
        return;
    }
    HideAll();
    m_grid.timers[TimerTooltip].stop();
}

} // namespace Kestrum::GUI
