// Frame pacing, repaint scheduling and the paint pass.
//
// Changes that arrive in bursts (rows added, cells updated) only mark
// rectangles dirty; a frame timer paints them at most once per frame. The
// paint pass builds the paint state once and hands each header cell, row
// and cell to the custom draw; paint formats read the state and never call
// the grid.
#include <QApplication>
#include <QPaintEvent>
#include <QPainter>

#include "gui/clipboard/GridTransfer.h"
#include "gui/grid/GridImpl.h"
#include "gui/paint/CustomDraw.h"
#include "gui/paint/PaintPass.h"
#include "gui/platform/DeviceContext.h"

namespace Kestrum::GUI {

namespace {
constexpr int kFrameMilliseconds = 16;
// Delayed repaints never wait less than this.
constexpr int kShortestRepaintDelay = 10;
} // namespace

void CGridImpl::StartFrame()
{
    if (!timers[TimerFrame].isActive())
        timers[TimerFrame].start(kFrameMilliseconds, owner);
}

void CGridImpl::Invalidate(const CRect& rect)
{
    if (rect.IsEmpty())
        return;
    repaint.dirty += ToQRect(rect);
    StartFrame();
}

void CGridImpl::Frame()
{
    timers[TimerFrame].stop();
    if (repaint.refreshPending)
        RefreshRequest();
    if (!repaint.dirty.isEmpty()) {
        Viewport()->update(repaint.dirty);
        repaint.dirty = QRegion();
    }
}

void CGridImpl::RefreshRequest()
{
    repaint.refreshPending = false;
    RefreshScrollBars();
    const int top = std::max(scroll.topRow, 0);
    const CRect first = RowRect(AreaScrollable, std::max(repaint.firstDirtyRow, top));
    CRect below = ScrollableArea();
    if (!first.IsEmpty())
        below.top = first.top;
    else if (repaint.firstDirtyRow > top)
        below = {};
    Invalidate(below);
    repaint.firstDirtyRow = rows.Scrollable().GetRowCount();
}

void CGridImpl::RepaintRow(int area, int row) { Invalidate(RowRect(area, row)); }

void CGridImpl::RepaintRows(int area, int first, int last)
{
    for (int row = std::max(first, 0); row <= last; ++row) {
        const CRect rect = RowRect(area, row);
        if (rect.IsEmpty() && area == AreaScrollable && row > std::max(scroll.topRow, 0))
            break;
        Invalidate(rect);
    }
}

void CGridImpl::RepaintAll() { Invalidate(Client()); }

void CGridImpl::RepaintCell(int area, int row, std::int32_t field)
{
    const CRect rowRect = RowRect(area, row);
    if (rowRect.IsEmpty())
        return;
    if (!header) {
        Invalidate(rowRect);
        return;
    }
    const CRect cell = header->GetClippedColumnRect(owner, field);
    Invalidate(CRect{cell.left, rowRect.top, cell.right, rowRect.bottom}.Intersected(rowRect));
}

void CGridImpl::RepaintRowLater(CGridItem* item, int delay)
{
    if (delay <= 0) {
        RepaintRow(item->GetTree()->GetKind(), rows.RowIndexOf(item));
        return;
    }
    item->Stamps().allRepaintAt = GridClockNow() + delay;
    ScheduleRepaint(delay);
}

void CGridImpl::RepaintCellLater(CGridItem* item, Common::FieldId field, int delay)
{
    if (delay <= 0) {
        RepaintCell(item->GetTree()->GetKind(), rows.RowIndexOf(item), field);
        return;
    }
    item->Stamps().Of(field).repaintAt = GridClockNow() + std::max(delay, kShortestRepaintDelay);
    ScheduleRepaint(delay);
}

std::int64_t CGridImpl::TimeSinceChange(CGridItem* item, std::int32_t fieldId) const
{
    const ChangeStamps* stamps = item ? item->GetStamps() : nullptr;
    return stamps ? stamps->TimeSinceChange(fieldId, GridClockNow()) : -1;
}

void CGridImpl::ScheduleRepaint(int delay)
{
    delay = std::max(delay, kShortestRepaintDelay);
    const std::int64_t due = GridClockNow() + delay;
    if (!timers[TimerRepaint].isActive() || due < repaint.repaintTimerDue) {
        repaint.repaintTimerDue = due;
        timers[TimerRepaint].start(delay, owner);
    }
}

void CGridImpl::RunDelayedRepaints()
{
    timers[TimerRepaint].stop();
    const std::int64_t now = GridClockNow();
    std::int64_t next = -1;
    auto later = [&](std::int64_t at) { next = next < 0 ? at : std::min(next, at); };
    auto visit = [&](int area, int row) {
        CGridItem* item = rows.TreeOfArea(area)->GetItemAt(row);
        ChangeStamps* stamps = item ? item->GetStamps() : nullptr;
        if (!stamps)
            return;
        if (stamps->allRepaintAt >= 0) {
            if (stamps->allRepaintAt <= now) {
                stamps->allRepaintAt = -1;
                RepaintRow(area, row);
            } else {
                later(stamps->allRepaintAt);
            }
        }
        for (ChangeStamp& stamp : stamps->fields) {
            if (stamp.repaintAt < 0)
                continue;
            if (stamp.repaintAt <= now) {
                stamp.repaintAt = -1;
                RepaintCell(area, row, stamp.field);
            } else {
                later(stamp.repaintAt);
            }
        }
    };
    for (int row = 0; row < rows.Fixed().GetRowCount(); ++row)
        visit(AreaFixed, row);
    const int first = std::max(scroll.topRow, 0);
    const int last = std::min(rows.Scrollable().GetRowCount(), first + RowsThatFit(first, true) + 1);
    for (int row = first; row < last; ++row)
        visit(AreaScrollable, row);
    if (next >= 0)
        ScheduleRepaint(static_cast<int>(next - now));
}

CRect CGridImpl::BackgroundArea()
{
    const CRect client = Client();
    const QPixmap& picture = background.picture;
    if (picture.isNull())
        return {};
    if (background.mode == 0) {
        const int left = client.left + (client.Width() - picture.width()) / 2;
        const int top = client.top + (client.Height() - picture.height()) / 2;
        return CRect{left, top, left + picture.width(), top + picture.height()}.Intersected(client);
    }
    return client;
}

void CGridImpl::PaintBackgroundPicture(QPainter& painter)
{
    const CRect client = Client();
    const QPixmap& picture = background.picture;
    if (background.mode == 1)
        painter.drawPixmap(ToQRect(client), picture);
    else if (background.mode == 2)
        painter.drawTiledPixmap(ToQRect(client), picture);
    else
        painter.drawPixmap(client.left + (client.Width() - picture.width()) / 2,
                           client.top + (client.Height() - picture.height()) / 2, picture);
}

void CGridImpl::Paint(QPaintEvent* event)
{
    QPainter painter(Viewport());
    const CRect clip = FromQRect(event->rect());
    painter.setClipRegion(event->region());
    CDeviceContext dc(painter);
    dc.SelectFont(Font());
    const QPalette palette = QApplication::palette();
    if (closing || !header) {
        dc.FillSolid(clip, FromQColor(palette.color(QPalette::Base)));
        return;
    }
    PaintState state;
    state.grid = owner;
    state.header = header;
    state.dc = &dc;
    state.clipRect = clip;
    state.images = cellImages;
    state.stretchImages = settings.stretchImages;
    if (!background.picture.isNull()) {
        PaintBackgroundPicture(painter);
        state.hasBackground = true;
        state.backgroundArea = BackgroundArea();
        state.backgroundTransparency = background.transparency;
    }
    state.focusedRowKey = focus.area;
    state.focusedRowIndex = focus.row;
    state.scroll = owner;
    state.appearance = &settings.appearance;
    state.highlightEnabled = settings.highlightEnabled;
    state.now = GridClockNow();
    state.repaint = this;
    HeaderDrawContext headerContext;
    input->DescribeForPaint(state, headerContext);
    // Embedded controls go to their cells (or out of sight) before any row
    // is painted.
    edit->DescribeForPaint(state);
    edit->PositionControls();
    transfer->DescribeForPaint(state);
    CRect client = Client();
    if (settings.headerShown) {
        PaintPassHeader(PassOf(), state, header->GetFont() ? header->GetFont() : &Font(), headerContext);
        client.top += header->GetHeight();
    }
    int y = client.top;
    for (int row = 0; row < rows.Fixed().GetRowCount() && y < client.bottom; ++row) {
        const int height = RowHeightAt(AreaFixed, row);
        PaintRow(state, AreaFixed, row, {client.left, y, client.right, y + height});
        y += height;
    }
    if (SeparatorApplies()) {
        const CRect separator{client.left, y, client.right, y + settings.separatorHeight};
        dc.FillSolid(separator, FromQColor(palette.color(QPalette::Button)));
        dc.Edge3D(separator, FromQColor(palette.color(QPalette::Light)), FromQColor(palette.color(QPalette::Mid)));
        y += settings.separatorHeight;
    }
    const int count = rows.Scrollable().GetRowCount();
    int row = std::max(scroll.topRow, 0);
    for (; row < count && y < client.bottom; ++row) {
        const int height = RowHeightAt(AreaScrollable, row);
        PaintRow(state, AreaScrollable, row, {client.left, y, client.right, y + height});
        y += height;
    }
    // Empty filler rows below the last row, their indexes continuing the count.
    const int fillerHeight = std::max(1, rows.Scrollable().GetDefaultRowHeight());
    for (; y < client.bottom; ++row) {
        PaintRow(state, AreaScrollable, row, {client.left, y, client.right, y + fillerHeight});
        y += fillerHeight;
    }
}

QRegion CGridImpl::FocusFrameRegion() const
{
    const int width = owner->frameWidth();
    const QRect outer = owner->frameRect();
    return QRegion(outer).subtracted(QRegion(outer.adjusted(width, width, -width, -width)));
}

void CGridImpl::PaintFocusFrame()
{
    // Keyboard focus colours the widget's own frame, outside the viewport:
    // every pixel of the body belongs to the rows (their selection and
    // focus frames and tree lines reach its first and last columns).
    // Without a frame there is no room for it.
    if (!owner->hasFocus() || owner->frameWidth() <= 0)
        return;
    QPainter painter(owner);
    painter.setClipRegion(FocusFrameRegion());
    painter.fillRect(owner->frameRect(), QApplication::palette().color(QPalette::Highlight));
}

PassSettings CGridImpl::PassOf()
{
    return {Draw(), &settings.appearance, settings.highlight, &Font(), settings.paintFlags};
}

void CGridImpl::PaintRow(PaintState& state, int area, int row, const CRect& rect)
{
    if (rect.Intersected(state.clipRect).IsEmpty())
        return;
    PassRow pass{area, row, rows.TreeOfArea(area)->GetItemAt(row), rect};
    if (pass.item && pass.item->IsSelected()) {
        // A block of selected rows gets one frame: no line between them.
        CItemTree* tree = rows.TreeOfArea(area);
        CGridItem* above = row > 0 ? tree->GetItemAt(row - 1)
                                   : (area == AreaScrollable ? rows.Fixed().GetItemAt(rows.Fixed().GetRowCount() - 1) : nullptr);
        CGridItem* below = tree->GetItemAt(row + 1);
        if (!below && area == AreaFixed)
            below = rows.Scrollable().GetItemAt(0);
        pass.noTopFrameLine = above && above->IsSelected();
        pass.noBottomFrameLine = below && below->IsSelected();
    }
    PaintPassRow(PassOf(), state, pass);
}

} // namespace Kestrum::GUI
