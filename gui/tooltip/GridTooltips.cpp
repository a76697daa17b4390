#include "gui/tooltip/GridTooltips.h"

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <vector>

#include "gui/grid/Grid.h"
#include "gui/grid/GridClock.h"
#include "gui/grid/GridSettings.h"
#include "gui/platform/DeviceContext.h"
#include "gui/platform/KeyCodes.h"
#include "gui/tooltip/InPlaceTooltipCtrl.h"
#include "gui/tooltip/TooltipHost.h"

namespace Kestrum::GUI {

namespace {
// A move counts when it goes further than this across, or this far down.
constexpr int kMoveAcross = 4;
constexpr int kMoveDown = 5;

bool ValidKind(int kind) { return kind == TooltipRegular || kind == TooltipInPlace; }
int OtherKind(int kind) { return kind == TooltipRegular ? TooltipInPlace : TooltipRegular; }
} // namespace

CGridTooltips::CGridTooltips(ITooltipHost& host) : m_host(host)
{
    m_hoverTimer = new QTimer(host.Owner());
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
        control->Attach(m_host.Owner());
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

const TooltipSettings& CGridTooltips::SettingsOf(int kind) const { return m_host.SettingsOf(kind); }

bool CGridTooltips::HasTooltip(int kind, TooltipHostCell& cell)
{
    if (!m_enabled[kind] || !m_controls[kind])
        return false;
    ITooltipSource* source = SourceOf(kind);
    return source && source->HasTooltip(m_host.Owner(), cell.context);
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
    TooltipHostCell cell;
    const bool overCell = m_host.CellAt(point, cell);
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
    const int delay = std::max(0, m_host.SettingsOf(TooltipRegular).hoverDelay);
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
    m_host.DispatchHover(m_point);
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
    TooltipHostCell cell;
    if (!m_host.CellAt(point, cell))
        return false;
    if (!source || !source->HasTooltip(m_host.Owner(), cell.context)) {
        HideAll();
        return false;
    }
    if (kind == TooltipInPlace && m_host.CouldEditCell(cell.context, cell.state))
        return false;
    if (settings.hoverMode != 0 && settings.displayTime > 0) {
        m_hideDue = GridClockNow() + settings.displayTime;
        m_host.StartAutoHide(settings.displayTime);
    } else {
        m_host.StopAutoHide();
    }
    CancelHover();
    // One kind at a time.
    if (m_shown[OtherKind(kind)])
        HideKind(OtherKind(kind));
    // The paint format may measure on a device context.
    QImage scratch(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&scratch);
    CDeviceContext dc(painter);
    dc.SelectFont(m_host.Font());
    cell.state.dc = &dc;
    const QPoint cursor = m_host.Viewport()->mapToGlobal(QPoint(point.x, point.y));
    TooltipCell request;
    request.grid = m_host.Owner();
    request.source = source;
    request.context = &cell.context;
    request.state = &cell.state;
    request.format = cell.format;
    request.flags = m_host.PaintFlags();
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
    m_host.StopAutoHide();
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
    const QPoint inside = m_host.Viewport()->mapFromGlobal(QCursor::pos());
    if (!m_host.Viewport()->rect().contains(inside))
        HideAll();
}

void CGridTooltips::OnAutoHideTimer()
{
    const std::int64_t left = m_hideDue - GridClockNow();
    if (left > 0) {
        m_host.StartAutoHide(static_cast<int>(std::min<std::int64_t>(left, 1 << 30)));
        return;
    }
    HideAll();
    m_host.StopAutoHide();
}

} // namespace Kestrum::GUI
