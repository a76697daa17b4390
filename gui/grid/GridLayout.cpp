// The body's geometry (header strip, fixed rows, separator, scrollable
// rows), hit testing, and scrolling by rows (vertical) and by columns
// (horizontal). Row geometry is summed from the top row only, so its cost
// follows the rows in view, not the rows in the grid.
#include <QScrollBar>
#include <algorithm>

#include "gui/clipboard/GridTransfer.h"
#include "gui/grid/GridImpl.h"
#include "gui/platform/DeviceContext.h"

namespace Kestrum::GUI {

int CGridImpl::HeaderHeight() const { return header && settings.headerShown ? header->GetHeight() : 0; }

int CGridImpl::FixedRowsHeight()
{
    int height = 0;
    for (int row = 0; row < rows.Fixed().GetRowCount(); ++row)
        height += rows.Fixed().GetItemAt(row)->GetRowHeight();
    return height;
}

bool CGridImpl::SeparatorApplies()
{
    return settings.separatorShown && settings.separatorHeight > 0 && rows.Fixed().GetRowCount() > 0;
}

CRect CGridImpl::Client() const { return FromQRect(Viewport()->rect()); }

CRect CGridImpl::FixedArea()
{
    CRect client = Client();
    client.top = std::min(client.bottom, HeaderHeight());
    return client;
}

CRect CGridImpl::ScrollableArea()
{
    CRect client = Client();
    const int separator = SeparatorApplies() ? settings.separatorHeight : 0;
    client.top = std::min(client.bottom, HeaderHeight() + FixedRowsHeight() + separator);
    return client;
}

CRect CGridImpl::AreaRect(int area)
{
    return area == AreaFixed ? FixedArea() : area == AreaScrollable ? ScrollableArea() : CRect{};
}

int CGridImpl::RowHeightAt(int area, int row)
{
    CItemTree* tree = rows.TreeOfArea(area);
    CGridItem* item = tree ? tree->GetItemAt(row) : nullptr;
    return item ? item->GetRowHeight() : 0;
}

int CGridImpl::RowsThatFit(int start, bool forward)
{
    const int page = ScrollableArea().Height();
    const int count = rows.Scrollable().GetRowCount();
    int sum = 0, fitted = 0;
    for (int row = start; forward ? row < count : row >= 0; row += forward ? 1 : -1) {
        sum += RowHeightAt(AreaScrollable, row);
        if (sum > page)
            break;
        ++fitted;
    }
    return fitted;
}

int CGridImpl::MaxTopRow()
{
    const int count = rows.Scrollable().GetRowCount();
    return std::max(0, count - RowsThatFit(count - 1, false));
}

int CGridImpl::LastVisibleRow(int area)
{
    if (area == AreaFixed)
        return rows.Fixed().GetRowCount() - 1;
    const int top = std::max(scroll.topRow, 0);
    const int fit = RowsThatFit(top, true);
    return fit > 0 ? top + fit - 1 : -1;
}

CRect CGridImpl::RowRect(int area, int row)
{
    CItemTree* tree = rows.TreeOfArea(area);
    if (!tree || row < 0 || row >= tree->GetRowCount())
        return {};
    const CRect areaRect = AreaRect(area);
    int y = areaRect.top;
    const int first = area == AreaFixed ? 0 : std::max(scroll.topRow, 0);
    if (row < first)
        return {};
    for (int index = first; index < row && y < areaRect.bottom; ++index)
        y += RowHeightAt(area, index);
    if (y >= areaRect.bottom)
        return {};
    return {areaRect.left, y, areaRect.right, std::min(areaRect.bottom, y + RowHeightAt(area, row))};
}

CRect CGridImpl::ItemRowRect(CGridItem* item)
{
    return item ? RowRect(item->GetTree()->GetKind(), rows.RowIndexOf(item)) : CRect{};
}

CRect CGridImpl::CellRect(CGridItem* item, std::int32_t fieldId)
{
    const CRect row = ItemRowRect(item);
    if (row.IsEmpty() || !header)
        return {};
    const CRect column = header->GetColumnRect(owner, fieldId);
    return {column.left, row.top, column.right, row.bottom};
}

bool CGridImpl::HitRow(CPoint point, int& area, int& row)
{
    // The fixed area's rectangle runs to the bottom too, so a point below the
    // fixed rows that is not in the scrollable area (the separator) is the
    // fixed area's, with no row.
    for (int candidate : {AreaScrollable, AreaFixed}) {
        const CRect areaRect = AreaRect(candidate);
        if (!areaRect.Contains(point))
            continue;
        area = candidate;
        row = -1;
        int y = areaRect.top;
        const int count = rows.TreeOfArea(candidate)->GetRowCount();
        for (int index = candidate == AreaFixed ? 0 : std::max(scroll.topRow, 0); index < count && y < areaRect.bottom;
             ++index) {
            const int height = RowHeightAt(candidate, index);
            if (point.y >= y && point.y < y + height) {
                row = index;
                break;
            }
            y += height;
        }
        return true;
    }
    return false;
}

HITEM CGridImpl::HitTest(CPoint point, int* area)
{
    int hitArea = 0;
    int row = -1;
    const bool hit = HitRow(point, hitArea, row);
    if (area)
        *area = hit ? hitArea : 0;
    return hit && row >= 0 ? rows.GetItemAt(row, hitArea) : 0;
}

void CGridImpl::RefreshScrollBars()
{
    const int count = rows.Scrollable().GetRowCount();
    QScrollBar* vertical = owner->verticalScrollBar();
    // The scroll area listens to the range signals (to show its bars), so
    // only our own reaction to the value is suppressed.
    const bool wasSetting = scroll.settingScroll;
    scroll.settingScroll = true;
    vertical->setRange(0, std::max(0, MaxTopRow()));
    vertical->setPageStep(std::max(1, RowsThatFit(std::max(scroll.topRow, 0), true)));
    vertical->setSingleStep(1);
    vertical->setValue(std::max(scroll.topRow, 0));
    if (count > 0 && scroll.topRow < 0)
        scroll.topRow = 0;
    QScrollBar* horizontal = owner->horizontalScrollBar();
    const int width = header ? header->GetFixedWidth() + header->GetScrollableWidth() : 0;
    horizontal->setRange(0, std::max(0, width - Client().Width()));
    horizontal->setPageStep(std::max(1, Client().Width()));
    horizontal->setSingleStep(20);
    scroll.settingScroll = wasSetting;
}

void CGridImpl::SetTop(int row, bool repaintRows)
{
    const int count = rows.Scrollable().GetRowCount();
    if (row == scroll.topRow || (row < 0 && count > 0) || row >= std::max(count, 1) || closing)
        return;
    const int oldTop = scroll.topRow;
    scroll.topRow = row;
    if (!repaintRows)
        return;
    const bool wasSetting = scroll.settingScroll;
    scroll.settingScroll = true;
    owner->verticalScrollBar()->setValue(std::max(row, 0));
    scroll.settingScroll = wasSetting;
    const CRect area = ScrollableArea();
    // Shift the pixels that stay in view; Qt repaints the uncovered strip.
    // A picture behind the rows, a rubber band or a drop marker over them,
    // stays where it is: then the area is repainted instead.
    int shift = 0;
    if (oldTop >= 0 && background.picture.isNull() && !(input && input->IsSelecting()) &&
        !(transfer && transfer->IsDraggingOver())) {
        const int from = std::min(oldTop, row), to = std::max(oldTop, row);
        for (int index = from; index < to && shift < area.Height(); ++index)
            shift += RowHeightAt(AreaScrollable, index);
    }
    if (shift == 0 || shift >= area.Height()) {
        Viewport()->update(ToQRect(area));
        return;
    }
    Frame(); // pending repaints are placed before the pixels move
    Viewport()->scroll(0, row > oldTop ? -shift : shift, ToQRect(area));
}

void CGridImpl::ClampTopRow()
{
    if (scroll.topRow <= 0)
        return;
    const int last = MaxTopRow();
    if (scroll.topRow <= last)
        return;
    // The rows below the old top went (a collapse, a removal, a filter): the
    // pixels are stale anyway, so the area is repainted from the new top and
    // the frame's refresh moves the scroll bar.
    scroll.topRow = last;
    repaint.firstDirtyRow = 0;
    repaint.refreshPending = true;
    StartFrame();
}

void CGridImpl::ScrollToItem(CGridItem* item)
{
    if (item && item->GetTree()->GetKind() == AreaScrollable && item->HasRow())
        SetTop(std::min(rows.RowIndexOf(item), MaxTopRow()), true);
}

void CGridImpl::VerticalAction(int action)
{
    QScrollBar* bar = owner->verticalScrollBar();
    const int count = rows.Scrollable().GetRowCount();
    const int top = std::max(scroll.topRow, 0);
    const int last = MaxTopRow();
    int target = top;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: target = top > 0 ? top - 1 : top; break;
    case QAbstractSlider::SliderSingleStepAdd: target = top < last ? top + 1 : top; break;
    case QAbstractSlider::SliderPageStepSub: target = std::max(0, top - RowsThatFit(top, false) + 1); break;
    case QAbstractSlider::SliderPageStepAdd: target = std::min(last, top + RowsThatFit(top, true) - 1); break;
    case QAbstractSlider::SliderToMinimum: target = 0; break;
    // One row beyond what line and page scrolling reach.
    case QAbstractSlider::SliderToMaximum: target = count >= 2 ? std::min(count - 1, last + 1) : top; break;
    case QAbstractSlider::SliderMove: target = bar->sliderPosition(); break;
    default: return;
    }
    bar->setSliderPosition(std::min(target, bar->maximum()));
    SetTop(target, true);
}

void CGridImpl::HorizontalAction(int action)
{
    QScrollBar* bar = owner->horizontalScrollBar();
    if (!header)
        return;
    const int fixed = header->GetFixedWidth();
    const int position = bar->value();
    int target = position;
    CColumn* boundary = header->HitTestColumn(owner, fixed, 0);
    auto leftInHeader = [&](CColumn* column) { return header->GetColumnRect(nullptr, column->GetFieldId()).left; };
    auto rightInHeader = [&](CColumn* column) { return header->GetColumnRect(nullptr, column->GetFieldId()).right; };
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        if (boundary) {
            CColumn* chosen = boundary;
            if (leftInHeader(boundary) - position == fixed) {
                const int index = header->GetVisibleIndex(boundary->GetFieldId());
                chosen = index > 0 ? header->GetVisibleColumnAt(index - 1) : nullptr;
            }
            if (chosen)
                target = leftInHeader(chosen) - fixed;
        } else {
            target = position - 20;
        }
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        if (boundary && boundary->GetWidth() > 0)
            target = rightInHeader(boundary) - fixed;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        if (CColumn* atRight = header->HitTestColumn(owner, Client().right - 1, 0))
            target = leftInHeader(atRight) - fixed;
        break;
    case QAbstractSlider::SliderPageStepSub: target = position - std::max(1, Client().Width() - fixed); break;
    case QAbstractSlider::SliderToMinimum: target = 0; break;
    case QAbstractSlider::SliderToMaximum: target = fixed + header->GetScrollableWidth(); break;
    default: return;
    }
    target = std::clamp(target, bar->minimum(), bar->maximum());
    bar->setSliderPosition(target);
    if (target != position)
        UpdateViewport();
}

void CGridImpl::BringIntoView(int row)
{
    if (row < 0 || row >= rows.Scrollable().GetRowCount())
        return;
    const int top = std::max(scroll.topRow, 0);
    if (row < scroll.topRow)
        SetTop(row, true);
    else if (row >= top + RowsThatFit(top, true))
        SetTop(std::max(0, row - RowsThatFit(row, false) + 1), true);
}

void CGridImpl::EnsureVisible(int row, CGridItem* item)
{
    scroll.ensureRow = row;
    scroll.ensureItem = item;
    timers[TimerEnsureVisible].start(10, owner);
}

void CGridImpl::RunEnsureVisible()
{
    timers[TimerEnsureVisible].stop();
    RefreshScrollBars();
    CGridItem* item = scroll.ensureItem;
    if (scroll.ensureRow >= 0 && scroll.ensureRow < rows.Scrollable().GetRowCount())
        BringIntoView(scroll.ensureRow);
    else if (item && rows.Validate(ToHandle(item)) && item->HasRow() && item->GetTree()->GetKind() == AreaScrollable)
        BringIntoView(rows.RowIndexOf(item));
    scroll.ensureRow = -1;
    scroll.ensureItem = nullptr;
}

void CGridImpl::FlushEnsureVisible()
{
    if (timers[TimerEnsureVisible].isActive())
        RunEnsureVisible();
}

bool CGridImpl::ScrollBarTimerDue()
{
    const std::int64_t waited = GridClockNow() - scroll.lastForeignInsert;
    if (waited >= 10)
        return true;
    timers[TimerScrollBars].start(static_cast<int>(10 - waited), owner);
    return false;
}

bool CGridImpl::Wheel(int angleDelta)
{
    // The edited cell's control has the wheel (its hook tells the editor).
    if (edit->HasActiveControl())
        return true;
    scroll.wheelRemainder += angleDelta;
    const int notches = scroll.wheelRemainder / 120;
    if (notches == 0)
        return false;
    scroll.wheelRemainder -= notches * 120;
    const int top = std::max(scroll.topRow, 0);
    int target = top;
    if (scroll.wheelLines < 0)
        target = notches > 0 ? top - RowsThatFit(top, false) + 1 : top + RowsThatFit(top, true) - 1;
    else
        target = top - notches * scroll.wheelLines;
    SetTop(std::clamp(target, 0, MaxTopRow()), true);
    return true;
}

} // namespace Kestrum::GUI
