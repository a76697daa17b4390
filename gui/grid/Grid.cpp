#include "gui/grid/Grid.h"

#include <QApplication>
#include <QBasicTimer>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <atomic>
#include <chrono>

#include "common/DataObject.h"
#include "gui/grid/Dispatcher.h"
#include "gui/grid/GridRows.h"
#include "gui/grid/ObjectRegistry.h"
#include "gui/paint/CustomDraw.h"
#include "gui/platform/Archive.h"
#include "gui/platform/DeviceContext.h"
#include "gui/platform/FontRecord.h"

namespace Kestrum::GUI {

namespace {
enum TimerId { TimerRepaint = 0, TimerAutoScroll = 1, TimerTooltip = 2, TimerScrollBars = 3, TimerEnsureVisible = 4,
               TimerColumnWidth = 5, TimerFrame = 6, TimerCount = 7 };
// Changes that arrive in bursts (rows added, cells updated) are painted at
// most once per frame instead of once per change.
constexpr int kFrameMilliseconds = 16;
}

// The grid's state and everything that runs on the grid's thread.
class CGridImpl : public IGridSurface, public IDispatchTarget, public CHeader::INotify {
public:
    explicit CGridImpl(CGrid* grid) : owner(grid), rows(this)
    {
        CDispatcher::Instance();
        wheelLines = QApplication::wheelScrollLines();
    }
    ~CGridImpl()
    {
        if (header) {
            header->RemoveNotify(this);
            if (header->IsAutoDelete())
                delete header;
        }
        if (customDraw) {
            if (auto* autoDelete = dynamic_cast<IAutoDelete*>(customDraw); autoDelete && autoDelete->IsAutoDelete())
                delete customDraw;
        }
    }

    CGrid* owner;
    CGridRows rows;
    std::atomic<bool> closing{false};
    IGridListener* listener = nullptr;
    int focusRow = -1;
    int focusArea = 0;
    int focusableAreas = MaskBoth;
    GridAppearance appearance = GridDefaults::Instance().GetAppearance();
    std::uint32_t paintFlags = PaintAll;
    std::unique_ptr<QFont> font;
    CHeader* header = nullptr;
    ICustomDraw* customDraw = nullptr;
    IRowFilter* filter = nullptr;
    bool selectionEnabled = true;
    bool multiSelectionEnabled = true;
    int selectableAreas = MaskBoth;
    bool headerShown = true;
    bool separatorShown = true;
    int separatorHeight = 2;
    int topRow = -1;
    int wheelLines = 3;
    int wheelRemainder = 0;
    bool notificationsEnabled = true;
    bool refreshPending = false;
    int firstDirtyRow = 0;
    UpdateHighlight highlight;
    bool highlightEnabled = false;
    std::int64_t repaintTimerDue = -1;
    int ensureRow = -1;
    CGridItem* ensureItem = nullptr;
    QBasicTimer timers[TimerCount];
    QRegion dirty;
    bool doubleBuffering = true;
    CImageList* cellImages = nullptr;
    QPixmap background;
    int backgroundMode = 0;
    int backgroundTransparency = -1;
    // The picture's area for the current client size.
    CRect BackgroundArea()
    {
        const CRect client = Client();
        if (background.isNull())
            return {};
        if (backgroundMode == 0) {
            const int left = client.left + (client.Width() - background.width()) / 2;
            const int top = client.top + (client.Height() - background.height()) / 2;
            return CRect{left, top, left + background.width(), top + background.height()}.Intersected(client);
        }
        return client;
    }
    void PaintBackgroundPicture(QPainter& painter)
    {
        const CRect client = Client();
        if (backgroundMode == 1)
            painter.drawPixmap(ToQRect(client), background);
        else if (backgroundMode == 2)
            painter.drawTiledPixmap(ToQRect(client), background);
        else {
            const CRect area = BackgroundArea();
            painter.drawPixmap(client.left + (client.Width() - background.width()) / 2,
                               client.top + (client.Height() - background.height()) / 2, background);
            (void)area;
        }
    }
    bool option89 = true;
    bool stretchImages = false;
    TransferPolicy transfer;
    bool pasteEnabled = true;
    DragDropSettings dragDrop;
    bool dragDropEnabled = false;
    int keyboardAreas = MaskBoth;
    std::int32_t searchTimeout = 1000;
    EditSettings edit;
    TooltipSettings tooltipRegular;
    TooltipSettings tooltipInPlace;
    bool settingScroll = false;

    ICustomDraw* Draw() const { return customDraw ? customDraw : GridDefaults::Instance().GetCustomDraw(); }
    const QFont& Font() const { return font ? *font : *GridDefaults::Instance().GetFont(); }
    QWidget* Viewport() const { return owner->viewport(); }

    // --- geometry ------------------------------------------------------------
    int HeaderHeight() const { return header && headerShown ? header->GetHeight() : 0; }
    int FixedRowsHeight()
    {
        int height = 0;
        for (int row = 0; row < rows.Fixed().GetRowCount(); ++row)
            height += rows.Fixed().GetItemAt(row)->GetRowHeight();
        return height;
    }
    bool SeparatorApplies() { return separatorShown && separatorHeight > 0 && rows.Fixed().GetRowCount() > 0; }
    CRect Client() const { return FromQRect(Viewport()->rect()); }
    CRect FixedArea()
    {
        CRect client = Client();
        client.top = std::min(client.bottom, HeaderHeight());
        return client;
    }
    CRect ScrollableArea()
    {
        CRect client = Client();
        client.top = std::min(client.bottom, HeaderHeight() + FixedRowsHeight() + (SeparatorApplies() ? separatorHeight : 0));
        return client;
    }
    int RowHeightAt(int area, int row)
    {
        CItemTree* tree = rows.TreeOfArea(area);
        CGridItem* item = tree ? tree->GetItemAt(row) : nullptr;
        return item ? item->GetRowHeight() : 0;
    }
    // Rows that fit in the scrollable area counting from `start`.
    int RowsThatFit(int start, bool forward)
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
    int MaxTopRow()
    {
        const int count = rows.Scrollable().GetRowCount();
        return std::max(0, count - RowsThatFit(count - 1, false));
    }
    // The rectangle of a shown row (empty when out of view).
    CRect RowRect(int area, int row)
    {
        CItemTree* tree = rows.TreeOfArea(area);
        if (!tree || row < 0 || row >= tree->GetRowCount())
            return {};
        const CRect areaRect = area == AreaFixed ? FixedArea() : ScrollableArea();
        int y = areaRect.top;
        const int first = area == AreaFixed ? 0 : std::max(topRow, 0);
        if (row < first)
            return {};
        for (int index = first; index < row && y < areaRect.bottom; ++index)
            y += RowHeightAt(area, index);
        if (y >= areaRect.bottom)
            return {};
        return {areaRect.left, y, areaRect.right, std::min(areaRect.bottom, y + RowHeightAt(area, row))};
    }
    bool HitRow(CPoint point, int& area, int& row)
    {
        for (int candidate : {AreaScrollable, AreaFixed}) {
            const CRect areaRect = candidate == AreaFixed ? FixedArea() : ScrollableArea();
            if (!areaRect.Contains(point))
                continue;
            int y = areaRect.top;
            const int count = rows.TreeOfArea(candidate)->GetRowCount();
            for (int index = candidate == AreaFixed ? 0 : std::max(topRow, 0); index < count && y < areaRect.bottom; ++index) {
                const int height = RowHeightAt(candidate, index);
                if (point.y >= y && point.y < y + height) {
                    area = candidate;
                    row = index;
                    return true;
                }
                y += height;
            }
            if (candidate == AreaFixed || FixedRowsHeight() == 0)
                return false;
            return false;
        }
        return false;
    }

    // --- IGridSurface ----------------------------------------------------------
    void OnRowsChanged(int area, int firstRow, bool) override
    {
        if (area == AreaScrollable) {
            firstDirtyRow = std::min(firstDirtyRow, std::max(firstRow, 0));
            refreshPending = true;
            StartFrame();
        } else {
            Invalidate(Client());
        }
    }
    void StartFrame()
    {
        if (!timers[TimerFrame].isActive())
            timers[TimerFrame].start(kFrameMilliseconds, owner);
    }
    // Marks a rectangle for the next frame.
    void Invalidate(const CRect& rect)
    {
        if (rect.IsEmpty())
            return;
        dirty += ToQRect(rect);
        StartFrame();
    }
    void Frame()
    {
        timers[TimerFrame].stop();
        if (refreshPending)
            RefreshRequest();
        if (!dirty.isEmpty()) {
            Viewport()->update(dirty);
            dirty = QRegion();
        }
    }
    void RefreshRequest()
    {
        refreshPending = false;
        RefreshScrollBars();
        const CRect first = RowRect(AreaScrollable, std::max(firstDirtyRow, std::max(topRow, 0)));
        CRect below = ScrollableArea();
        if (!first.IsEmpty())
            below.top = first.top;
        else if (firstDirtyRow > std::max(topRow, 0))
            below = {};
        Invalidate(below);
        firstDirtyRow = rows.Scrollable().GetRowCount();
    }
    void RepaintRow(int area, int row) override { Invalidate(RowRect(area, row)); }
    void RepaintRows(int area, int first, int last) override
    {
        for (int row = std::max(first, 0); row <= last; ++row) {
            const CRect rect = RowRect(area, row);
            if (rect.IsEmpty() && area == AreaScrollable && row > std::max(topRow, 0))
                break;
            Invalidate(rect);
        }
    }
    void RepaintAll() override { Invalidate(Client()); }
    void SetFocusRow(int row, int area, bool repaint) override { SetFocus(row, area, repaint, false); }
    CGridItem* GetFocusedItem() const override
    {
        auto* tree = const_cast<CGridRows&>(rows).TreeOfArea(focusArea);
        return tree && focusRow >= 0 ? tree->GetItemAt(focusRow) : nullptr;
    }
    int GetTopRow() const override { return topRow; }
    void SetTopRow(int row) override { SetTop(row, true); }
    void RaiseEvent(int code, CGridItem* item) override
    {
        if (!notificationsEnabled || !listener)
            return;
        GridItemNotification notification;
        notification.code = code;
        notification.grid = owner;
        notification.item = ToHandle(item);
        notification.state = rows.GetItemState(ToHandle(item));
        notification.object = item->GetObject();
        notification.area = item->GetTree() ? item->GetTree()->GetKind() : 0;
        notification.row = rows.RowIndexOf(item);
        listener->OnGridItemNotification(notification);
    }
    bool IsFilteredOut(CGridItem* item) override
    {
        return filter && filter->IsFilteredOut(owner, item, item->GetObject());
    }
    // Restarting a timer per insertion is costly in a burst: the timer runs
    // on and, when it fires early, waits out the rest of the 10 ms counted
    // from the last insertion.
    void OnForeignInsert() override
    {
        lastForeignInsert = std::chrono::steady_clock::now();
        if (!timers[TimerScrollBars].isActive())
            timers[TimerScrollBars].start(10, owner);
    }
    bool ScrollBarTimerDue()
    {
        const auto waited = std::chrono::steady_clock::now() - lastForeignInsert;
        if (waited >= std::chrono::milliseconds(10))
            return true;
        const auto rest = std::chrono::ceil<std::chrono::milliseconds>(std::chrono::milliseconds(10) - waited);
        timers[TimerScrollBars].start(static_cast<int>(rest.count()), owner);
        return false;
    }
    std::chrono::steady_clock::time_point lastForeignInsert{};

    // --- IDispatchTarget -----------------------------------------------------------
    bool IsClosing() const override { return closing.load(); }
    void ApplyUpdate(CGridItem* item, Common::FieldId field) override
    {
        const std::int64_t now = GridClockNow();
        if (field == FIELD_ALL_ID) {
            item->Stamps().allChangeTime = now;
        } else if (field != FIELD_NONE_ID) {
            auto& stamps = item->Stamps().fields;
            auto it = std::lower_bound(stamps.begin(), stamps.end(), field,
                                       [](const ChangeStamp& stamp, Common::FieldId id) { return stamp.field < id; });
            if (it == stamps.end() || it->field != field)
                it = stamps.insert(it, ChangeStamp{field, now, -1});
            else
                it->changeTime = now;
        }
        CItemTree* tree = item->GetTree();
        if (!tree || tree->GetKind() == TreeDetached || !item->GetParent() || CItemTree::IndexOfChild(item) < 0)
            return;
        if (filter && rows.RefilterItem(item))
            SetFocus(-1, 0, true, false);
        if (tree->IsSorted())
            rows.Reposition(item);
        if (item->HasRow()) {
            const int row = rows.RowIndexOf(item);
            if (field == FIELD_ALL_ID || field == FIELD_NONE_ID || !header) {
                RepaintRow(tree->GetKind(), row);
            } else {
                const CRect rowRect = RowRect(tree->GetKind(), row);
                const CRect cell = header->GetClippedColumnRect(owner, field);
                const CRect hit{cell.left, rowRect.top, cell.right, rowRect.bottom};
                if (header->GetVisibleColumn(field))
                    Invalidate(hit.Intersected(rowRect));
            }
        }
        RaiseEvent(EventItemUpdated, item);
    }
    void RemoveDisposedItem(CGridItem* item) override { rows.Remove(ToHandle(item)); }
    static constexpr Common::FieldId FIELD_ALL_ID = -1;
    static constexpr Common::FieldId FIELD_NONE_ID = -2;

    // --- CHeader::INotify -------------------------------------------------------------
    void OnHeaderChanged(CHeader* changed, CColumn* column, std::int32_t code) override
    {
        if (!CDispatcher::Instance().IsGuiThread()) {
            CDispatcher::Instance().Send(this, [this, changed, column, code] { OnHeaderChanged(changed, column, code); });
            return;
        }
        if (changed != header)
            return;
        int notifyCode = -1;
        switch (code) {
        case HeaderColumnAdded: RefreshScrollBars(); RepaintAll(); notifyCode = NotifyColumnAdded; break;
        case HeaderColumnRemoved: RefreshScrollBars(); RepaintAll(); notifyCode = NotifyColumnRemoved; break;
        case HeaderColumnResized: timers[TimerColumnWidth].start(10, owner); notifyCode = NotifyColumnResized; break;
        case HeaderColumnChanged:
        case HeaderImageListChanged:
        case 8: RepaintAll(); notifyCode = NotifyColumnChanged; break;
        case HeaderColumnVisibilityChanged: RefreshScrollBars(); RepaintAll(); notifyCode = NotifyColumnChanged; break;
        case HeaderColumnMoved: RefreshScrollBars(); RepaintAll(); notifyCode = NotifyColumnMoved; break;
        case HeaderFixedCountChanged: RepaintAll(); break;
        case HeaderSortChanged: rows.Resort(); notifyCode = NotifySortChanged; break;
        case HeaderHeightChanged: RefreshScrollBars(); RepaintAll(); break;
        case HeaderFontChanged: UpdateHeaderHeight(); RefreshScrollBars(); RepaintAll(); notifyCode = NotifyColumnChanged; break;
        default: break;
        }
        if (notifyCode >= 0 && notificationsEnabled && listener) {
            GridHeaderNotification notification;
            notification.code = notifyCode;
            notification.grid = owner;
            notification.header = header;
            notification.column = code == HeaderSortChanged ? nullptr : column;
            listener->OnGridHeaderNotification(notification);
        }
    }

    void UpdateHeaderHeight()
    {
        if (!header)
            return;
        HeaderDrawContext context;
        context.font = header->GetFont() ? header->GetFont() : &Font();
        PaintState state;
        state.header = header;
        const int height = Draw()->GetHeaderHeight(context, state, paintFlags);
        if (height > 0)
            header->SetHeight(height);
    }

    void UpdateRowHeights()
    {
        const int height = Draw()->GetRowHeight(&Font(), nullptr);
        for (CItemTree* tree : {&rows.Fixed(), &rows.Scrollable()}) {
            if (height <= 0 || height == tree->GetDefaultRowHeight())
                continue;
            tree->SetDefaultRowHeight(height);
            std::vector<HITEM> all;
            rows.GetAllItems(tree->GetKind() == AreaFixed ? MaskFixed : MaskScrollable, all);
            for (HITEM item : all)
                FromHandle(item)->SetRowHeight(height);
        }
    }

    // --- scrolling ---------------------------------------------------------------------
    void RefreshScrollBars()
    {
        const int count = rows.Scrollable().GetRowCount();
        QScrollBar* vertical = owner->verticalScrollBar();
        // The scroll area listens to the range signals (to show its bars), so
        // only our own reaction to the value is suppressed.
        const bool wasSetting = settingScroll;
        settingScroll = true;
        vertical->setRange(0, std::max(0, MaxTopRow()));
        vertical->setPageStep(std::max(1, RowsThatFit(std::max(topRow, 0), true)));
        vertical->setSingleStep(1);
        vertical->setValue(std::max(topRow, 0));
        if (count > 0 && topRow < 0)
            topRow = 0;
        QScrollBar* horizontal = owner->horizontalScrollBar();
        const int width = header ? header->GetFixedWidth() + header->GetScrollableWidth() : 0;
        horizontal->setRange(0, std::max(0, width - Client().Width()));
        horizontal->setPageStep(std::max(1, Client().Width()));
        horizontal->setSingleStep(20);
        settingScroll = wasSetting;
    }

    void SetTop(int row, bool repaint)
    {
        const int count = rows.Scrollable().GetRowCount();
        if (row == topRow || (row < 0 && count > 0) || row >= std::max(count, 1) || closing)
            return;
        const int oldTop = topRow;
        topRow = row;
        if (!repaint)
            return;
        const bool wasSetting = settingScroll;
        settingScroll = true;
        owner->verticalScrollBar()->setValue(std::max(row, 0));
        settingScroll = wasSetting;
        const CRect area = ScrollableArea();
        // Shift the pixels that stay in view; Qt repaints the uncovered strip.
        int shift = 0;
        if (oldTop >= 0 && background.isNull()) {
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

    // A vertical scroll-bar request: rows of the scrollable area.
    void VerticalAction(int action)
    {
        QScrollBar* bar = owner->verticalScrollBar();
        const int count = rows.Scrollable().GetRowCount();
        const int top = std::max(topRow, 0);
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

    // A horizontal scroll-bar request: pixels, stepping by columns.
    void HorizontalAction(int action)
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
        case QAbstractSlider::SliderMove: return;
        default: return;
        }
        target = std::clamp(target, bar->minimum(), bar->maximum());
        bar->setSliderPosition(target);
        if (target != position)
            Viewport()->update();
    }

    void BringIntoView(int row)
    {
        if (row < 0 || row >= rows.Scrollable().GetRowCount())
            return;
        if (row < topRow)
            SetTop(row, true);
        else if (row >= std::max(topRow, 0) + RowsThatFit(std::max(topRow, 0), true))
            SetTop(std::max(0, row - RowsThatFit(row, false) + 1), true);
    }

    // --- focus and selection ------------------------------------------------------------
    bool SetFocus(int row, int area, bool repaint, bool checkMask)
    {
        if ((area == AreaFixed || area == AreaScrollable) && row >= rows.TreeOfArea(area)->GetRowCount())
            return false;
        if (area == 0 && row != -1)
            return false;
        if (row == focusRow && area == focusArea)
            return true;
        if (checkMask && area != 0 && !(focusableAreas & (area == AreaFixed ? MaskFixed : MaskScrollable)))
            return false;
        CGridItem* old = GetFocusedItem();
        if (repaint && focusRow >= 0)
            RepaintRow(focusArea, focusRow);
        focusRow = row < 0 ? -1 : row;
        focusArea = row < 0 ? 0 : area;
        if (focusRow >= 0)
            RepaintRow(focusArea, focusRow);
        if (old)
            RaiseEvent(EventFocusChanged, old);
        if (CGridItem* now = GetFocusedItem())
            RaiseEvent(EventFocusChanged, now);
        return true;
    }

    bool SelectRowImpl(int row, int area, bool select)
    {
        CItemTree* tree = rows.TreeOfArea(area);
        CGridItem* item = tree ? tree->GetItemAt(row) : nullptr;
        if (!item)
            return false;
        if (select && (!(selectableAreas & (area == AreaFixed ? MaskFixed : MaskScrollable)) || !selectionEnabled ||
                       (!multiSelectionEnabled && rows.GetSelectedCount() > 0 && !item->IsSelected())))
            return false;
        if (item->IsSelected() == select)
            return true;
        rows.SetItemSelected(item, select);
        RepaintRows(area, row - 1, row + 1);
        return true;
    }

    void ClearSelectionImpl()
    {
        std::vector<HITEM> selected;
        for (CItemTree* tree : {&rows.Fixed(), &rows.Scrollable()})
            for (CGridItem* item : std::vector<CGridItem*>(tree->GetSelected().begin(), tree->GetSelected().end()))
                rows.SetItemSelected(item, false);
    }

    // --- delayed repaints ---------------------------------------------------------------
    void ScheduleRepaint(int delay)
    {
        delay = std::max(delay, 10);
        const std::int64_t due = GridClockNow() + delay;
        if (!timers[TimerRepaint].isActive() || due < repaintTimerDue) {
            repaintTimerDue = due;
            timers[TimerRepaint].start(delay, owner);
        }
    }

    void RunDelayedRepaints()
    {
        timers[TimerRepaint].stop();
        const std::int64_t now = GridClockNow();
        std::int64_t next = -1;
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
                    next = next < 0 ? stamps->allRepaintAt : std::min(next, stamps->allRepaintAt);
                }
            }
            for (ChangeStamp& stamp : stamps->fields) {
                if (stamp.repaintAt < 0)
                    continue;
                if (stamp.repaintAt <= now) {
                    stamp.repaintAt = -1;
                    RepaintCell(area, row, stamp.field);
                } else {
                    next = next < 0 ? stamp.repaintAt : std::min(next, stamp.repaintAt);
                }
            }
        };
        for (int row = 0; row < rows.Fixed().GetRowCount(); ++row)
            visit(AreaFixed, row);
        const int first = std::max(topRow, 0);
        const int last = std::min(rows.Scrollable().GetRowCount(), first + RowsThatFit(first, true) + 1);
        for (int row = first; row < last; ++row)
            visit(AreaScrollable, row);
        if (next >= 0)
            ScheduleRepaint(static_cast<int>(next - now));
    }

    void RepaintCell(int area, int row, std::int32_t field)
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

    // --- painting ------------------------------------------------------------------------
    void Paint(QPaintEvent* event)
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
        state.stretchImages = stretchImages;
        if (!background.isNull()) {
            PaintBackgroundPicture(painter);
            state.hasBackground = true;
            state.backgroundArea = BackgroundArea();
            state.backgroundTransparency = backgroundTransparency;
        }
        state.focusedRowKey = focusArea;
        state.focusedRowIndex = focusRow;
        state.scroll = owner;
        CRect client = Client();
        if (headerShown) {
            HeaderDrawContext headerContext;
            headerContext.font = header->GetFont() ? header->GetFont() : &Font();
            headerContext.images = header->GetImageList();
            headerContext.textColor = FromQColor(palette.color(QPalette::WindowText));
            if (clip.top < header->GetHeight())
                Draw()->PaintHeader(headerContext, state, paintFlags);
            client.top += header->GetHeight();
        }
        int y = client.top;
        for (int row = 0; row < rows.Fixed().GetRowCount() && y < client.bottom; ++row) {
            const int height = RowHeightAt(AreaFixed, row);
            PaintRow(state, AreaFixed, row, {client.left, y, client.right, y + height});
            y += height;
        }
        if (SeparatorApplies()) {
            const CRect separator{client.left, y, client.right, y + separatorHeight};
            dc.FillSolid(separator, FromQColor(palette.color(QPalette::Button)));
            dc.Edge3D(separator, FromQColor(palette.color(QPalette::Light)), FromQColor(palette.color(QPalette::Mid)));
            y += separatorHeight;
        }
        const int count = rows.Scrollable().GetRowCount();
        int row = std::max(topRow, 0);
        for (; row < count && y < client.bottom; ++row) {
            const int height = RowHeightAt(AreaScrollable, row);
            PaintRow(state, AreaScrollable, row, {client.left, y, client.right, y + height});
            y += height;
        }
        const int fillerHeight = std::max(1, rows.Scrollable().GetDefaultRowHeight());
        for (; y < client.bottom; ++row) {
            PaintRow(state, AreaScrollable, row, {client.left, y, client.right, y + fillerHeight});
            y += fillerHeight;
        }
    }

    void PaintRow(PaintState& state, int area, int row, const CRect& rect)
    {
        if (rect.Intersected(state.clipRect).IsEmpty())
            return;
        RowDrawContext context;
        const bool odd = row % 2 != 0;
        context.textColor = odd ? appearance.oddRowText : appearance.evenRowText;
        context.backColor = odd ? appearance.oddRowBack : appearance.evenRowBack;
        context.fullRect = rect;
        context.visibleRect = rect;
        context.repaintRect = rect.Intersected(state.clipRect);
        context.font = &Font();
        context.highlight = highlight;
        context.rowKey = area;
        context.rowIndex = row;
        context.item = rows.TreeOfArea(area)->GetItemAt(row);
        if (context.item && context.item->IsSelected()) {
            CGridItem* above = row > 0 ? rows.TreeOfArea(area)->GetItemAt(row - 1)
                                       : (area == AreaScrollable ? rows.Fixed().GetItemAt(rows.Fixed().GetRowCount() - 1) : nullptr);
            CGridItem* below = rows.TreeOfArea(area)->GetItemAt(row + 1);
            if (!below && area == AreaFixed)
                below = rows.Scrollable().GetItemAt(0);
            context.noTopFrameLine = above && above->IsSelected();
            context.noBottomFrameLine = below && below->IsSelected();
        }
        Draw()->PaintLine(context, state, paintFlags);
    }
};

// --- CGrid --------------------------------------------------------------------------------

CGrid::CGrid(QWidget* parent) : QAbstractScrollArea(parent), m_impl(std::make_unique<CGridImpl>(this))
{
    viewport()->setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    m_impl->UpdateRowHeights();
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!m_impl->settingScroll)
            m_impl->SetTop(value, true);
    });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int) { viewport()->update(); });
    // Scroll-bar requests by rows (vertical) and by columns (horizontal).
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int action) { m_impl->VerticalAction(action); });
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { m_impl->HorizontalAction(action); });
}

CGrid::~CGrid()
{
    SetClosing();
    CDispatcher::Instance().DrainUpdates();
    for (QBasicTimer& timer : m_impl->timers)
        timer.stop();
    m_impl->rows.SetEventsEnabled(false);
    m_impl->rows.Clear(MaskBoth);
}

void CGrid::SetClosing()
{
    m_impl->closing = true;
    CDispatcher::Instance().CancelCalls(m_impl.get());
}

bool CGrid::IsClosing() const { return m_impl->closing; }

void CGrid::SetListener(IGridListener* listener)
{
    CallVoid([&] { m_impl->listener = listener; });
}

template <class R, class Fn> R CGrid::Call(R nothing, Fn&& fn)
{
    if (CDispatcher::Instance().IsGuiThread())
        return fn();
    if (m_impl->closing)
        return nothing;
    R result = nothing;
    if (!CDispatcher::Instance().Send(m_impl.get(), [&] { result = fn(); }))
        return nothing;
    return result;
}

template <class Fn> void CGrid::CallVoid(Fn&& fn)
{
    if (CDispatcher::Instance().IsGuiThread()) {
        fn();
        return;
    }
    if (!m_impl->closing)
        CDispatcher::Instance().Send(m_impl.get(), [&] { fn(); });
}

#define KESTRUM_FORWARD(Result, nothing, ...) return Call<Result>(nothing, [&]() -> Result { __VA_ARGS__; })

HITEM CGrid::Add(Common::CDataObject* object, HITEM parent, HITEM position)
{
    const bool foreign = !CDispatcher::Instance().IsGuiThread();
    KESTRUM_FORWARD(HITEM, 0, return m_impl->rows.Add(object, parent, position, foreign));
}
bool CGrid::Remove(HITEM item) { KESTRUM_FORWARD(bool, false, return m_impl->rows.Remove(item)); }
bool CGrid::RemoveAt(int row, int mask) { KESTRUM_FORWARD(bool, false, return m_impl->rows.RemoveAt(row, mask)); }
bool CGrid::Clear(int mask) { KESTRUM_FORWARD(bool, false, return m_impl->rows.Clear(mask)); }
bool CGrid::Attach(HITEM item, HITEM parent, HITEM position)
{
    KESTRUM_FORWARD(bool, false, return m_impl->rows.Attach(item, parent, position));
}
bool CGrid::Detach(HITEM item) { KESTRUM_FORWARD(bool, false, return m_impl->rows.Detach(item)); }
void CGrid::Move(HITEM item, HITEM parent, HITEM sibling, bool before)
{
    CallVoid([&] { m_impl->rows.Move(item, parent, sibling, before); });
}
void CGrid::Expand(HITEM item, bool recursive) { CallVoid([&] { m_impl->rows.Expand(item, recursive); }); }
void CGrid::Collapse(HITEM item, bool recursive) { CallVoid([&] { m_impl->rows.Collapse(item, recursive); }); }
bool CGrid::IsExpanded(HITEM item) { KESTRUM_FORWARD(bool, false, return m_impl->rows.IsExpanded(item)); }
bool CGrid::IsVisible(HITEM item) { KESTRUM_FORWARD(bool, false, return m_impl->rows.IsVisible(item)); }
int CGrid::GetArea(HITEM item) { KESTRUM_FORWARD(int, 0, return m_impl->rows.GetArea(item)); }
HITEM CGrid::GetParent(HITEM item) { KESTRUM_FORWARD(HITEM, 0, return m_impl->rows.GetParent(item)); }
int CGrid::GetLevel(HITEM item) { KESTRUM_FORWARD(int, -1, return m_impl->rows.GetLevel(item)); }
void CGrid::GetChildren(HITEM parent, std::vector<HITEM>& children, bool visibleOnly)
{
    children.clear();
    CallVoid([&] { m_impl->rows.GetChildren(parent, children, visibleOnly); });
}
bool CGrid::HasChildren(HITEM parent) { KESTRUM_FORWARD(bool, false, return m_impl->rows.HasChildren(parent)); }
HITEM CGrid::GetItem(Common::CDataObject* object)
{
    // An object with at most one row in this grid is answered from the
    // registry without a round trip; choosing among several rows needs
    // their places, which only the grid's thread may read.
    if (!CDispatcher::Instance().IsGuiThread() && object) {
        if (m_impl->closing)
            return 0;
        CGridItem* sole = nullptr;
        if (CObjectRegistry::Instance().FindSoleItem(object, &m_impl->rows, sole))
            return ToHandle(sole);
    }
    KESTRUM_FORWARD(HITEM, 0, return m_impl->rows.GetItem(object));
}
void CGrid::GetItems(Common::CDataObject* object, std::vector<HITEM>& items, int mask, bool visibleOnly)
{
    CallVoid([&] { m_impl->rows.GetItems(object, items, mask, visibleOnly); });
}
void CGrid::GetAllItems(int mask, std::vector<HITEM>& items)
{
    CallVoid([&] { m_impl->rows.GetAllItems(mask, items); });
}
int CGrid::GetVisibleIndex(HITEM item) { KESTRUM_FORWARD(int, -1, return m_impl->rows.GetVisibleIndex(item)); }
HITEM CGrid::GetItemAt(int row, int area) { KESTRUM_FORWARD(HITEM, 0, return m_impl->rows.GetItemAt(row, area)); }
int CGrid::GetRowCount(int area) { KESTRUM_FORWARD(int, 0, return m_impl->rows.GetRowCount(area)); }
HITEM CGrid::GetPrevRow(HITEM item, bool cross) { KESTRUM_FORWARD(HITEM, 0, return m_impl->rows.GetPrevRow(item, cross)); }
HITEM CGrid::GetNextRow(HITEM item, bool cross) { KESTRUM_FORWARD(HITEM, 0, return m_impl->rows.GetNextRow(item, cross)); }
Common::CDataObject* CGrid::GetObject(HITEM item, int row, int area)
{
    KESTRUM_FORWARD(Common::CDataObject*, nullptr, return m_impl->rows.GetObject(item, row, area));
}
std::uint32_t CGrid::GetItemState(HITEM item) { KESTRUM_FORWARD(std::uint32_t, 0, return m_impl->rows.GetItemState(item)); }

namespace {
// Hands the rows' visits to a grid-level visitor.
struct CVisitorAdapter : IItemVisitor {
    CGrid* grid;
    IGridVisitor* visitor;
    CVisitorAdapter(CGrid* owner, IGridVisitor* target) : grid(owner), visitor(target) {}
    bool Visit(CGridRows*, CGridItem* item, Common::CDataObject* object) override
    {
        return visitor->Visit(grid, ToHandle(item), object);
    }
};
} // namespace

void CGrid::ForEach(IGridVisitor* visitor, HITEM start)
{
    CallVoid([&] {
        if (!visitor)
            return;
        CVisitorAdapter adapter(this, visitor);
        m_impl->rows.ForEach(&adapter, start);
    });
}

void CGrid::ForEachRow(IGridVisitor* visitor, HITEM start)
{
    CallVoid([&] {
        if (!visitor)
            return;
        CVisitorAdapter adapter(this, visitor);
        m_impl->rows.ForEachRow(&adapter, start);
    });
}

CRect CGrid::GetAreaRect(int area)
{
    KESTRUM_FORWARD(CRect, CRect{}, return area == AreaFixed ? m_impl->FixedArea()
                                           : (area == AreaScrollable ? m_impl->ScrollableArea() : CRect{}));
}
CRect CGrid::GetRowRect(HITEM handle)
{
    KESTRUM_FORWARD(CRect, CRect{}, CGridItem* item = m_impl->rows.Validate(handle);
                    return item ? m_impl->RowRect(item->GetTree()->GetKind(), m_impl->rows.RowIndexOf(item)) : CRect{});
}
CRect CGrid::GetCellRect(HITEM handle, std::int32_t fieldId)
{
    KESTRUM_FORWARD(CRect, CRect{}, const CRect row = GetRowRect(handle);
                    if (row.IsEmpty() || !m_impl->header) return CRect{};
                    const CRect column = m_impl->header->GetColumnRect(this, fieldId);
                    return CRect{column.left, row.top, column.right, row.bottom});
}
int CGrid::GetPageRowCount(bool forward)
{
    KESTRUM_FORWARD(int, 0, const int top = std::max(m_impl->topRow, 0);
                    return m_impl->RowsThatFit(forward ? top : top, forward));
}
int CGrid::GetRowHeight(HITEM handle)
{
    KESTRUM_FORWARD(int, 0, CGridItem* item = m_impl->rows.Validate(handle); return item ? item->GetRowHeight() : 0);
}
bool CGrid::SetRowHeight(HITEM handle, int height)
{
    KESTRUM_FORWARD(bool, false, CGridItem* item = m_impl->rows.Validate(handle);
                    if (!item || height <= 0) return false; item->SetRowHeight(height);
                    m_impl->RefreshScrollBars(); viewport()->update(); return true);
}
void CGrid::RefreshScrollBars() { CallVoid([&] { m_impl->RefreshScrollBars(); }); }
int CGrid::GetTopRow() { KESTRUM_FORWARD(int, -1, return m_impl->topRow); }
int CGrid::GetLastVisibleRow(int area)
{
    KESTRUM_FORWARD(int, -1, if (area == AreaFixed) return m_impl->rows.Fixed().GetRowCount() - 1;
                    const int top = std::max(m_impl->topRow, 0); const int fit = m_impl->RowsThatFit(top, true);
                    return fit > 0 ? top + fit - 1 : -1);
}
void CGrid::EnsureVisible(int row)
{
    CallVoid([&] {
        m_impl->ensureRow = row;
        m_impl->ensureItem = nullptr;
        m_impl->timers[TimerEnsureVisible].start(10, this);
    });
}
void CGrid::EnsureItemVisible(HITEM item)
{
    CallVoid([&] {
        m_impl->ensureRow = -1;
        m_impl->ensureItem = m_impl->rows.Validate(item);
        m_impl->timers[TimerEnsureVisible].start(10, this);
    });
}
void CGrid::SetTopRow(int row) { CallVoid([&] { m_impl->SetTop(row, true); }); }
void CGrid::ScrollToItem(HITEM handle)
{
    CallVoid([&] {
        CGridItem* item = m_impl->rows.Validate(handle);
        if (item && item->GetTree()->GetKind() == AreaScrollable && item->HasRow())
            m_impl->SetTop(std::min(m_impl->rows.RowIndexOf(item), m_impl->MaxTopRow()), true);
    });
}
HITEM CGrid::HitTest(CPoint point, int* area)
{
    KESTRUM_FORWARD(HITEM, 0, int hitArea = 0; int row = -1; const bool hit = m_impl->HitRow(point, hitArea, row);
                    if (area) *area = hit ? hitArea : 0; return hit ? m_impl->rows.GetItemAt(row, hitArea) : 0);
}

int CGrid::GetSelectedCount() { KESTRUM_FORWARD(int, 0, return m_impl->rows.GetSelectedCount()); }
void CGrid::GetSelectedItems(std::vector<HITEM>& items, int mask)
{
    CallVoid([&] { m_impl->rows.GetSelectedItems(items, mask); });
}
bool CGrid::SelectItem(HITEM handle, bool select)
{
    KESTRUM_FORWARD(bool, false, CGridItem* item = m_impl->rows.Validate(handle); if (!item) return false;
                    if (!item->HasRow()) { if (select) return false; m_impl->rows.SetItemSelected(item, false); return true; }
                    return m_impl->SelectRowImpl(m_impl->rows.RowIndexOf(item), item->GetTree()->GetKind(), select));
}
bool CGrid::SelectRow(int row, int area, bool select)
{
    KESTRUM_FORWARD(bool, false, return m_impl->SelectRowImpl(row, area, select));
}
bool CGrid::IsRowSelected(int row, int area)
{
    KESTRUM_FORWARD(bool, false, CItemTree* tree = m_impl->rows.TreeOfArea(area);
                    CGridItem* item = tree ? tree->GetItemAt(row) : nullptr; return item && item->IsSelected());
}
bool CGrid::IsItemSelected(HITEM handle)
{
    KESTRUM_FORWARD(bool, false, CGridItem* item = m_impl->rows.Validate(handle); return item && item->IsSelected());
}
void CGrid::SelectAll()
{
    CallVoid([&] {
        if (!m_impl->selectionEnabled || !m_impl->multiSelectionEnabled)
            return;
        for (int area : {AreaFixed, AreaScrollable})
            if (m_impl->selectableAreas & (area == AreaFixed ? MaskFixed : MaskScrollable))
                for (int row = 0; row < m_impl->rows.GetRowCount(area); ++row)
                    m_impl->rows.SetItemSelected(m_impl->rows.TreeOfArea(area)->GetItemAt(row), true);
        viewport()->update();
    });
}
void CGrid::ClearSelection() { CallVoid([&] { m_impl->ClearSelectionImpl(); }); }
bool CGrid::SetFocusedRow(int row, int area) { KESTRUM_FORWARD(bool, false, return m_impl->SetFocus(row, area, true, true)); }
int CGrid::GetFocusedRow() { KESTRUM_FORWARD(int, -1, return m_impl->focusRow); }
int CGrid::GetFocusedArea() { KESTRUM_FORWARD(int, 0, return m_impl->focusArea); }
void CGrid::SetFocusableAreas(int mask) { CallVoid([&] { m_impl->focusableAreas = mask; }); }
bool CGrid::IsAreaFocusable(int area)
{
    KESTRUM_FORWARD(bool, false, return (m_impl->focusableAreas & (area == AreaFixed ? MaskFixed : MaskScrollable)) != 0);
}
void CGrid::EnableSelection(bool enable)
{
    CallVoid([&] {
        if (!enable)
            m_impl->ClearSelectionImpl();
        m_impl->selectionEnabled = enable;
    });
}
bool CGrid::IsSelectionEnabled() { KESTRUM_FORWARD(bool, false, return m_impl->selectionEnabled); }
void CGrid::EnableMultiSelection(bool enable)
{
    CallVoid([&] {
        if (!enable)
            m_impl->ClearSelectionImpl();
        m_impl->multiSelectionEnabled = enable;
    });
}
bool CGrid::IsMultiSelectionEnabled() { KESTRUM_FORWARD(bool, false, return m_impl->multiSelectionEnabled); }
void CGrid::SetSelectableAreas(int mask)
{
    CallVoid([&] {
        m_impl->selectableAreas = mask;
        for (CItemTree* tree : {&m_impl->rows.Fixed(), &m_impl->rows.Scrollable()})
            if (!(mask & (tree->GetKind() == AreaFixed ? MaskFixed : MaskScrollable)))
                for (CGridItem* item : std::vector<CGridItem*>(tree->GetSelected().begin(), tree->GetSelected().end()))
                    m_impl->rows.SetItemSelected(item, false);
    });
}
bool CGrid::IsAreaSelectable(int area)
{
    KESTRUM_FORWARD(bool, false, return (m_impl->selectableAreas & (area == AreaFixed ? MaskFixed : MaskScrollable)) != 0);
}

GridAppearance CGrid::GetAppearance() { KESTRUM_FORWARD(GridAppearance, GridAppearance{}, return m_impl->appearance); }
void CGrid::SetAppearance(const GridAppearance& appearance)
{
    CallVoid([&] {
        m_impl->appearance = appearance;
        viewport()->update();
    });
}
void CGrid::SetPaintFlags(std::uint32_t flags)
{
    CallVoid([&] {
        m_impl->paintFlags = flags;
        viewport()->update();
    });
}
std::uint32_t CGrid::GetPaintFlags() { KESTRUM_FORWARD(std::uint32_t, 0, return m_impl->paintFlags); }
void CGrid::RepaintRowLater(HITEM handle, int delay)
{
    CallVoid([&] {
        CGridItem* item = m_impl->rows.Validate(handle);
        if (!item)
            return;
        if (delay <= 0) {
            m_impl->RepaintRow(item->GetTree()->GetKind(), m_impl->rows.RowIndexOf(item));
            return;
        }
        item->Stamps().allRepaintAt = GridClockNow() + delay;
        m_impl->ScheduleRepaint(delay);
    });
}
void CGrid::RepaintCellLater(HITEM handle, std::int32_t fieldId, int delay)
{
    CallVoid([&] {
        CGridItem* item = m_impl->rows.Validate(handle);
        if (!item)
            return;
        if (delay <= 0) {
            m_impl->RepaintCell(item->GetTree()->GetKind(), m_impl->rows.RowIndexOf(item), fieldId);
            return;
        }
        auto& stamps = item->Stamps().fields;
        auto it = std::lower_bound(stamps.begin(), stamps.end(), fieldId,
                                   [](const ChangeStamp& stamp, std::int32_t id) { return stamp.field < id; });
        if (it == stamps.end() || it->field != fieldId)
            it = stamps.insert(it, ChangeStamp{fieldId, -1, -1});
        it->repaintAt = GridClockNow() + std::max(delay, 10);
        m_impl->ScheduleRepaint(delay);
    });
}
std::int64_t CGrid::GetTimeSinceChange(HITEM handle, std::int32_t fieldId)
{
    KESTRUM_FORWARD(std::int64_t, -1, CGridItem* item = m_impl->rows.Validate(handle);
                    ChangeStamps* stamps = item ? item->GetStamps() : nullptr; if (!stamps) return -1;
                    std::int64_t changed = stamps->allChangeTime;
                    if (fieldId != -1 && fieldId != -2) {
                        for (const ChangeStamp& stamp : stamps->fields)
                            if (stamp.field == fieldId && stamp.changeTime >= 0)
                                changed = stamp.changeTime;
                    }
                    return changed < 0 ? -1 : GridClockNow() - changed);
}
void CGrid::EnableUpdateHighlight(bool enable) { CallVoid([&] { m_impl->highlightEnabled = enable; }); }
bool CGrid::IsUpdateHighlightEnabled() { KESTRUM_FORWARD(bool, false, return m_impl->highlightEnabled); }
UpdateHighlight CGrid::GetUpdateHighlight() { KESTRUM_FORWARD(UpdateHighlight, UpdateHighlight{}, return m_impl->highlight); }
void CGrid::SetUpdateHighlight(const UpdateHighlight& highlight) { CallVoid([&] { m_impl->highlight = highlight; }); }
void CGrid::ShowSeparator(bool show)
{
    CallVoid([&] {
        m_impl->separatorShown = show;
        viewport()->update();
    });
}
bool CGrid::IsSeparatorShown() { KESTRUM_FORWARD(bool, false, return m_impl->separatorShown); }
void CGrid::SetSeparatorHeight(int height)
{
    CallVoid([&] {
        m_impl->separatorHeight = height;
        viewport()->update();
    });
}
int CGrid::GetSeparatorHeight() { KESTRUM_FORWARD(int, 0, return m_impl->separatorHeight); }
ICustomDraw* CGrid::SetCustomDraw(ICustomDraw* customDraw)
{
    KESTRUM_FORWARD(ICustomDraw*, nullptr, ICustomDraw* previous = m_impl->customDraw; m_impl->customDraw = customDraw;
                    m_impl->UpdateHeaderHeight(); m_impl->UpdateRowHeights(); m_impl->RefreshScrollBars();
                    viewport()->update(); return previous);
}
ICustomDraw* CGrid::GetCustomDraw() { KESTRUM_FORWARD(ICustomDraw*, nullptr, return m_impl->customDraw); }
void CGrid::SetGridFont(const QFont& font)
{
    CallVoid([&] {
        m_impl->font = std::make_unique<QFont>(font);
        m_impl->UpdateHeaderHeight();
        m_impl->UpdateRowHeights();
        m_impl->RefreshScrollBars();
        viewport()->update();
    });
}
QFont CGrid::GetGridFont() { KESTRUM_FORWARD(QFont, QFont(), return m_impl->Font()); }
int CGrid::GetFontRowHeight(int) { KESTRUM_FORWARD(int, 0, return m_impl->Draw()->GetRowHeight(&m_impl->Font(), nullptr)); }

CHeader* CGrid::SetHeader(CHeader* header)
{
    KESTRUM_FORWARD(CHeader*, nullptr, CHeader* previous = m_impl->header;
                    if (previous) previous->RemoveNotify(m_impl.get()); m_impl->header = header;
                    m_impl->rows.SetHeader(header); if (header) { header->AddNotify(m_impl.get()); m_impl->UpdateHeaderHeight(); }
                    m_impl->rows.Resort(); m_impl->RefreshScrollBars(); viewport()->update(); return previous);
}
CHeader* CGrid::GetHeader() { KESTRUM_FORWARD(CHeader*, nullptr, return m_impl->header); }
void CGrid::ShowHeader(bool show)
{
    CallVoid([&] {
        m_impl->headerShown = show;
        m_impl->RefreshScrollBars();
        viewport()->update();
    });
}
bool CGrid::IsHeaderShown() { KESTRUM_FORWARD(bool, false, return m_impl->headerShown); }
void CGrid::AutoFitColumn(std::int32_t fieldId)
{
    CallVoid([&] {
        CHeader* header = m_impl->header;
        CColumn* column = header ? header->GetColumn(fieldId) : nullptr;
        if (!column)
            return;
        QPixmap scratch(1, 1);
        QPainter measure(&scratch);
        CDeviceContext dc(measure);
        dc.SelectFont(m_impl->Font());
        PaintState state;
        state.grid = this;
        state.header = header;
        state.dc = &dc;
        int widest = 0;
        for (int area : {AreaFixed, AreaScrollable}) {
            for (int row = 0; row < m_impl->rows.GetRowCount(area); ++row) {
                RowDrawContext rowContext;
                rowContext.rowKey = area;
                rowContext.rowIndex = row;
                rowContext.item = m_impl->rows.TreeOfArea(area)->GetItemAt(row);
                CellDrawContext cell;
                cell.row = &rowContext;
                cell.column = column;
                cell.format = column->GetFormat();
                widest = std::max(widest, m_impl->Draw()->GetCellWidth(cell, state, m_impl->paintFlags));
            }
        }
        if (widest > 0)
            column->SetWidth(widest);
        viewport()->update();
    });
}
void CGrid::AutoFitColumnAt(int visibleIndex)
{
    CallVoid([&] {
        if (CColumn* column = m_impl->header ? m_impl->header->GetVisibleColumnAt(visibleIndex) : nullptr)
            AutoFitColumn(column->GetFieldId());
    });
}

void CGrid::AutoFitColumns()
{
    CallVoid([&] {
        if (!m_impl->header)
            return;
        for (CColumn* column : m_impl->header->GetVisibleColumns())
            AutoFitColumn(column->GetFieldId());
    });
}
void CGrid::SetSortInfo(int level, const CSortInfo& info, bool resort)
{
    CallVoid([&] {
        if (!m_impl->header)
            return;
        const std::uint64_t resorts = m_impl->rows.GetResortCount();
        m_impl->header->SetSortInfo(level, info);
        // The header's sort-changed notice has re-sorted already when the
        // levels changed; a second pass would give the same order.
        if (resort && m_impl->rows.GetResortCount() == resorts)
            m_impl->rows.Resort();
    });
}
CSortInfo CGrid::GetSortInfo(int level)
{
    KESTRUM_FORWARD(CSortInfo, CSortInfo(-2, false),
                    return m_impl->header ? m_impl->header->GetSortInfo(level) : CSortInfo(-2, false));
}
int CGrid::GetSortLevelCount() { KESTRUM_FORWARD(int, 0, return m_impl->header ? m_impl->header->GetSortLevelCount() : 0); }
void CGrid::ClearSort(bool repaint)
{
    CallVoid([&] {
        if (m_impl->header)
            m_impl->header->ClearSort();
        m_impl->rows.ClearTreeSortLevels();
        if (repaint)
            viewport()->update();
    });
}
void CGrid::Resort() { CallVoid([&] { m_impl->rows.Resort(); }); }
void CGrid::SetSortAreas(int mask) { CallVoid([&] { m_impl->rows.SetSortAreas(mask); }); }
int CGrid::GetSortAreas() { KESTRUM_FORWARD(int, 0, return m_impl->rows.GetSortAreas()); }
void CGrid::SortByColumnClick(std::int32_t fieldId, bool shift, bool ctrl)
{
    CallVoid([&] { CGridRows::ApplyHeaderClick(m_impl->header, fieldId, shift, ctrl); });
}
IRowFilter* CGrid::SetFilter(IRowFilter* filter)
{
    KESTRUM_FORWARD(IRowFilter*, nullptr, IRowFilter* previous = m_impl->filter; m_impl->filter = filter;
                    m_impl->rows.Refilter(); m_impl->RefreshScrollBars(); m_impl->SetFocus(-1, 0, true, false);
                    viewport()->update(); return previous);
}
IRowFilter* CGrid::GetFilter() { KESTRUM_FORWARD(IRowFilter*, nullptr, return m_impl->filter); }
void CGrid::Refilter()
{
    CallVoid([&] {
        m_impl->rows.Refilter();
        m_impl->RefreshScrollBars();
        m_impl->SetFocus(-1, 0, true, false);
        viewport()->update();
    });
}
void CGrid::EnableNotifications(bool enable) { CallVoid([&] { m_impl->notificationsEnabled = enable; }); }
bool CGrid::AreNotificationsEnabled() { KESTRUM_FORWARD(bool, false, return m_impl->notificationsEnabled); }

TransferPolicy CGrid::GetTransferPolicy() { KESTRUM_FORWARD(TransferPolicy, TransferPolicy{}, return m_impl->transfer); }
void CGrid::SetTransferPolicy(const TransferPolicy& policy) { CallVoid([&] { m_impl->transfer = policy; }); }
DragDropSettings CGrid::GetDragDropSettings() { KESTRUM_FORWARD(DragDropSettings, DragDropSettings{}, return m_impl->dragDrop); }
void CGrid::SetDragDropSettings(const DragDropSettings& settings) { CallVoid([&] { m_impl->dragDrop = settings; }); }
EditSettings CGrid::GetEditSettings() { KESTRUM_FORWARD(EditSettings, EditSettings{}, return m_impl->edit); }
void CGrid::SetEditSettings(const EditSettings& settings)
{
    CallVoid([&] {
        m_impl->edit = settings;
        viewport()->update();
    });
}
TooltipSettings CGrid::GetTooltipSettings(bool inPlace)
{
    KESTRUM_FORWARD(TooltipSettings, TooltipSettings{}, return inPlace ? m_impl->tooltipInPlace : m_impl->tooltipRegular);
}
void CGrid::SetTooltipSettings(bool inPlace, const TooltipSettings& settings)
{
    CallVoid([&] { (inPlace ? m_impl->tooltipInPlace : m_impl->tooltipRegular) = settings; });
}
CImageList* CGrid::SetCellImageList(CImageList* images)
{
    KESTRUM_FORWARD(CImageList*, nullptr, CImageList* previous = m_impl->cellImages; m_impl->cellImages = images;
                    viewport()->update(); return previous);
}
CImageList* CGrid::GetCellImageList() { KESTRUM_FORWARD(CImageList*, nullptr, return m_impl->cellImages); }
void CGrid::SetStretchImages(bool stretch)
{
    CallVoid([&] {
        m_impl->stretchImages = stretch;
        viewport()->update();
    });
}
bool CGrid::GetStretchImages() { KESTRUM_FORWARD(bool, false, return m_impl->stretchImages); }
void CGrid::SetBackground(const QPixmap& picture, int mode, int transparency)
{
    CallVoid([&] {
        m_impl->background = picture;
        m_impl->backgroundMode = mode;
        m_impl->backgroundTransparency = transparency;
        viewport()->update();
    });
}
bool CGrid::GetBackground(QPixmap& picture, int& mode, int& transparency)
{
    KESTRUM_FORWARD(bool, false, picture = m_impl->background; mode = m_impl->backgroundMode;
                    transparency = m_impl->backgroundTransparency; return !picture.isNull());
}

void CGrid::SetOption(bool option) { CallVoid([&] { m_impl->option89 = option; }); }
bool CGrid::GetOption() { KESTRUM_FORWARD(bool, false, return m_impl->option89); }

void CGrid::SetKeyboardAreas(int mask) { CallVoid([&] { m_impl->keyboardAreas = mask; }); }
bool CGrid::IsKeyboardArea(int area)
{
    KESTRUM_FORWARD(bool, false, return (m_impl->keyboardAreas & (area == AreaFixed ? MaskFixed : MaskScrollable)) != 0);
}
void CGrid::SetDoubleBuffering(bool enable) { CallVoid([&] { m_impl->doubleBuffering = enable; }); }
bool CGrid::GetDoubleBuffering() { KESTRUM_FORWARD(bool, false, return m_impl->doubleBuffering); }

void CGrid::Serialize(CArchive& archive)
{
    // Errors of a load made for another thread are raised on that thread.
    std::exception_ptr error;
    CallVoid([&] {
        try {
            SerializeOnGridThread(archive);
        } catch (...) {
            error = std::current_exception();
        }
    });
    if (error)
        std::rethrow_exception(error);
}

void CGrid::SerializeOnGridThread(CArchive& archive)
{
    {
        CGridImpl& g = *m_impl;
        if (archive.IsStoring()) {
            archive.WriteInt32(1);
            archive.WriteBool(g.header != nullptr);
            if (g.header)
                archive.WriteObject(g.header);
            archive.WriteBool(g.headerShown);
            for (CItemTree* tree : {&g.rows.Fixed(), &g.rows.Scrollable()}) {
                archive.WriteInt32(1);
                archive.WriteInt32(tree->GetDefaultRowHeight());
            }
            archive.WriteInt32(g.focusableAreas);
            g.appearance.Serialize(archive);
            archive.WriteUInt32(g.paintFlags);
            archive.WriteBool(g.doubleBuffering);
            archive.WriteInt32(g.font ? 1 : 0);
            if (g.font)
                FontRecord::FromQFont(*g.font).Write(archive);
            archive.WriteInt32(g.stretchImages ? 1 : 0);
            archive.WriteBool(g.option89);
            archive.WriteBool(g.selectionEnabled);
            archive.WriteBool(g.multiSelectionEnabled);
            archive.WriteInt32(g.selectableAreas);
            archive.WriteBool(g.highlightEnabled);
            g.highlight.Serialize(archive);
            archive.WriteBool(g.separatorShown);
            archive.WriteInt32(g.separatorHeight);
            g.transfer.Serialize(archive);
            archive.WriteBool(g.pasteEnabled);
            g.dragDrop.Serialize(archive);
            archive.WriteBool(g.dragDropEnabled);
            archive.WriteInt32(g.rows.GetSortAreas());
            archive.WriteInt32(g.keyboardAreas);
            archive.WriteInt32(g.searchTimeout);
            g.edit.Serialize(archive);
            g.tooltipRegular.Serialize(archive);
            g.tooltipInPlace.Serialize(archive);
            return;
        }

        if (!archive.ReadVersion("Grid"))
            return;
        // Everything is read into locals first.
        std::unique_ptr<CHeader> loadedHeader;
        const bool hasHeader = archive.ReadBool();
        if (hasHeader) {
            loadedHeader = archive.ReadObject<CHeader>();
            if (!loadedHeader)
                throw CArchiveException(CArchiveException::BadClass, "Grid archive names no header class");
        }
        const bool headerShown = archive.ReadBool();
        int rowHeights[2] = {-1, -1};
        for (int& height : rowHeights)
            if (archive.ReadVersion("Row area"))
                height = archive.ReadInt32();
        const int focusable = archive.ReadInt32();
        GridAppearance appearance = g.appearance;
        appearance.Serialize(archive);
        const std::uint32_t paintFlags = archive.ReadUInt32();
        const bool doubleBuffering = archive.ReadBool();
        std::unique_ptr<QFont> font;
        if (archive.ReadInt32() == 1)
            font = std::make_unique<QFont>(FontRecord::Read(archive).ToQFont());
        const bool stretch = archive.ReadInt32() != 0;
        const bool option89 = archive.ReadBool();
        const bool selection = archive.ReadBool();
        const bool multi = archive.ReadBool();
        const int selectable = archive.ReadInt32();
        const bool highlightEnabled = archive.ReadBool();
        UpdateHighlight highlight = g.highlight;
        highlight.Serialize(archive);
        const bool separatorShown = archive.ReadBool();
        const int separatorHeight = archive.ReadInt32();
        TransferPolicy transfer = g.transfer;
        transfer.Serialize(archive);
        const bool pasteEnabled = archive.ReadBool();
        DragDropSettings dragDrop = g.dragDrop;
        dragDrop.Serialize(archive);
        const bool dragDropEnabled = archive.ReadBool();
        const int sortAreas = archive.ReadInt32();
        const int keyboardAreas = archive.ReadInt32();
        const std::int32_t searchTimeout = archive.ReadInt32();
        EditSettings edit = g.edit;
        edit.Serialize(archive);
        TooltipSettings regular = g.tooltipRegular, inPlace = g.tooltipInPlace;
        regular.Serialize(archive);
        inPlace.Serialize(archive);

        // Commit; the font first, since setting a header measures with it.
        g.font = std::move(font);
        if (loadedHeader && g.header && g.header->GetRuntimeClassName() == loadedHeader->GetRuntimeClassName()) {
            CArchive copy;
            loadedHeader->Serialize(copy);
            CArchive reader(copy.GetBytes());
            g.header->Serialize(reader); // the current header loads the same record
        } else {
            CHeader* previous = SetHeader(loadedHeader.release());
            if (previous && previous->IsAutoDelete())
                delete previous;
        }
        g.headerShown = headerShown;
        CItemTree* trees[2] = {&g.rows.Fixed(), &g.rows.Scrollable()};
        for (int i = 0; i < 2; ++i)
            if (rowHeights[i] > 0)
                trees[i]->SetDefaultRowHeight(rowHeights[i]);
        g.focusableAreas = focusable;
        g.appearance = appearance;
        g.paintFlags = paintFlags;
        g.doubleBuffering = doubleBuffering;
        g.stretchImages = stretch;
        g.option89 = option89;
        g.selectionEnabled = selection;
        g.multiSelectionEnabled = multi;
        g.selectableAreas = selectable;
        g.highlightEnabled = highlightEnabled;
        g.highlight = highlight;
        g.separatorShown = separatorShown;
        g.separatorHeight = separatorHeight;
        g.transfer = transfer;
        g.pasteEnabled = pasteEnabled;
        g.dragDrop = dragDrop;
        g.dragDropEnabled = dragDropEnabled;
        g.rows.SetSortAreas(sortAreas);
        g.keyboardAreas = keyboardAreas;
        g.searchTimeout = searchTimeout;
        g.edit = edit;
        g.tooltipRegular = regular;
        g.tooltipInPlace = inPlace;
        g.SetFocus(-1, 0, false, false);
        g.rows.Resort();
        g.RefreshScrollBars();
        viewport()->update();
    }
}

bool CGrid::GetHorizontalScrollPosition(int& position) const
{
    position = horizontalScrollBar()->value();
    return true;
}

void CGrid::paintEvent(QPaintEvent* event) { m_impl->Paint(event); }

void CGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    m_impl->RefreshScrollBars();
}

void CGrid::scrollContentsBy(int, int) {}

void CGrid::timerEvent(QTimerEvent* event)
{
    for (int id = 0; id < TimerCount; ++id) {
        if (event->timerId() != m_impl->timers[id].timerId())
            continue;
        switch (id) {
        case TimerRepaint: m_impl->RunDelayedRepaints(); break;
        case TimerScrollBars:
            if (!m_impl->ScrollBarTimerDue())
                break;
            m_impl->timers[id].stop();
            m_impl->RefreshScrollBars();
            break;
        case TimerEnsureVisible: {
            m_impl->timers[id].stop();
            m_impl->RefreshScrollBars();
            if (m_impl->ensureRow >= 0 && m_impl->ensureRow < m_impl->rows.Scrollable().GetRowCount())
                m_impl->BringIntoView(m_impl->ensureRow);
            else if (m_impl->ensureItem && m_impl->rows.Validate(ToHandle(m_impl->ensureItem)) &&
                     m_impl->ensureItem->HasRow() && m_impl->ensureItem->GetTree()->GetKind() == AreaScrollable)
                m_impl->BringIntoView(m_impl->rows.RowIndexOf(m_impl->ensureItem));
            m_impl->ensureRow = -1;
            m_impl->ensureItem = nullptr;
            break;
        }
        case TimerFrame: m_impl->Frame(); break;
        case TimerColumnWidth:
            m_impl->timers[id].stop();
            m_impl->RefreshScrollBars();
            viewport()->update();
            break;
        default: m_impl->timers[id].stop(); break;
        }
        return;
    }
    QAbstractScrollArea::timerEvent(event);
}

void CGrid::wheelEvent(QWheelEvent* event)
{
    m_impl->wheelRemainder += event->angleDelta().y();
    const int notches = m_impl->wheelRemainder / 120;
    if (notches == 0)
        return;
    m_impl->wheelRemainder -= notches * 120;
    const int top = std::max(m_impl->topRow, 0);
    int target = top;
    if (m_impl->wheelLines < 0)
        target = notches > 0 ? top - m_impl->RowsThatFit(top, false) + 1 : top + m_impl->RowsThatFit(top, true) - 1;
    else
        target = top - notches * m_impl->wheelLines;
    m_impl->SetTop(std::clamp(target, 0, m_impl->MaxTopRow()), true);
    event->accept();
}

} // namespace Kestrum::GUI
