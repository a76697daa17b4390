// The grid's construction and the objects handed to it: custom draw, font,
// header and row filter, and the grid's answers to its header's notices.
#include "gui/grid/GridImpl.h"
#include "gui/grid/GridDefaults.h"

#include <QApplication>
#include <QPainter>

#include "gui/accessibility/GridAccessNotify.h"
#include "gui/clipboard/GridTransfer.h"
#include "gui/grid/CellFormat.h"
#include "gui/grid/Dispatcher.h"
#include "gui/input/KeyManager.h"
#include "gui/paint/CustomDraw.h"
#include "gui/platform/DeviceContext.h"
#include "gui/tooltip/TooltipCtrl.h"

namespace Kestrum::GUI {

namespace {
void DeleteIfAutoDelete(ICustomDraw* draw)
{
    if (auto* autoDelete = dynamic_cast<IAutoDelete*>(draw); autoDelete && autoDelete->IsAutoDelete())
        delete draw;
}
} // namespace

CGridImpl::CGridImpl(CGrid* grid) : owner(grid), surface(*this), dispatch(*this), print(*this), rows(&surface)
{
    rows.SetDispatchTarget(&dispatch);
    CDispatcher::Instance();
    scroll.wheelLines = QApplication::wheelScrollLines();
    settings.appearance = GridDefaults::Instance().GetAppearance();
    input = std::make_unique<CGridInputController>(inputHost);
    edit = std::make_unique<CGridEditState>(editHost);
    settings.tooltipRegular = settings.tooltipInPlace = DefaultTooltipSettings();
    transfer = std::make_unique<CGridTransfer>(transferHost);
}

CGridImpl::~CGridImpl()
{
    if (header) {
        header->RemoveNotify(this);
        if (header->IsAutoDelete())
            delete header;
    }
    DeleteIfAutoDelete(customDraw);
    if (keyManager && keyManager->IsAutoDelete())
        delete keyManager;
}

ICustomDraw* CGridImpl::Draw() const { return customDraw ? customDraw : GridDefaults::Instance().GetCustomDraw(); }
IKeyManager* CGridImpl::KeyManager() const { return keyManager ? keyManager : GridDefaults::Instance().GetKeyManager(); }
const QFont& CGridImpl::Font() const { return font ? *font : *GridDefaults::Instance().GetFont(); }
QWidget* CGridImpl::Viewport() const { return owner->viewport(); }
void CGridImpl::UpdateViewport() { Viewport()->update(); }

ICustomDraw* CGridImpl::SetCustomDraw(ICustomDraw* draw)
{
    ICustomDraw* previous = customDraw;
    customDraw = draw;
    UpdateHeaderHeight();
    UpdateRowHeights();
    RefreshScrollBars();
    UpdateViewport();
    return previous;
}

IKeyManager* CGridImpl::SetKeyManager(IKeyManager* manager) { return std::exchange(keyManager, manager); }

void CGridImpl::SetGridFont(const QFont& newFont)
{
    font = std::make_unique<QFont>(newFont);
    loadedFontRecord.reset();
    UpdateHeaderHeight();
    UpdateRowHeights();
    RefreshScrollBars();
    UpdateViewport();
}

CHeader* CGridImpl::SetHeader(CHeader* newHeader)
{
    CHeader* previous = header;
    edit->EndEdit(EditNoNavigation); // its column belongs to the old header
    if (previous)
        previous->RemoveNotify(this);
    input->Reset(); // a press or move on the old header ends
    header = newHeader;
    rows.SetHeader(newHeader);
    if (newHeader) {
        newHeader->AddNotify(this);
        UpdateHeaderHeight();
    }
    rows.Resort();
    RefreshScrollBars();
    UpdateViewport();
    return previous;
}

IRowFilter* CGridImpl::SetFilter(IRowFilter* newFilter)
{
    IRowFilter* previous = filter;
    filter = newFilter;
    Refilter();
    return previous;
}

void CGridImpl::Refilter()
{
    rows.Refilter();
    RefreshScrollBars();
    SetFocus(-1, 0, true, false);
    UpdateViewport();
}

IRowMatch* CGridImpl::SetRowMatch(IRowMatch* match)
{
    IRowMatch* previous = rows.SetRowMatch(match);
    RefreshScrollBars();
    if (CGridItem* focused = FocusedItem())
        EnsureVisible(-1, focused);
    UpdateViewport();
    return previous;
}

void CGridImpl::RaiseItemEvent(int code, CGridItem* item)
{
    NotifyAccessibleItemEvent(owner, code, ToHandle(item));
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

void CGridImpl::OnHeaderChanged(CHeader* changed, CColumn* column, std::int32_t code)
{
    // A notice from another thread is answered on the grid's thread.
    if (!CDispatcher::Instance().IsGuiThread()) {
        CDispatcher::Instance().Send(&dispatch, [this, changed, column, code] { OnHeaderChanged(changed, column, code); });
        return;
    }
    if (changed != header)
        return;
    NotifyAccessibleHeaderChanged(owner, code);
    int notifyCode = -1;
    switch (code) {
    case HeaderColumnAdded:
        RefreshScrollBars();
        RepaintAll();
        notifyCode = NotifyColumnAdded;
        break;
    case HeaderColumnRemoved:
        edit->OnColumnsChanged();
        RefreshScrollBars();
        RepaintAll();
        notifyCode = NotifyColumnRemoved;
        break;
    case HeaderColumnResized:
        timers[TimerColumnWidth].start(10, owner);
        notifyCode = NotifyColumnResized;
        break;
    case HeaderColumnChanged:
    case HeaderImageListChanged:
    case 8:
        RepaintAll();
        notifyCode = NotifyColumnChanged;
        break;
    case HeaderColumnVisibilityChanged:
        edit->OnColumnsChanged();
        RefreshScrollBars();
        RepaintAll();
        notifyCode = NotifyColumnChanged;
        break;
    case HeaderColumnMoved:
        RefreshScrollBars();
        RepaintAll();
        notifyCode = NotifyColumnMoved;
        break;
    case HeaderFixedCountChanged: RepaintAll(); break;
    case HeaderSortChanged:
        rows.Resort();
        notifyCode = NotifySortChanged;
        break;
    case HeaderHeightChanged:
        RefreshScrollBars();
        RepaintAll();
        break;
    case HeaderFontChanged:
        UpdateHeaderHeight();
        RefreshScrollBars();
        RepaintAll();
        notifyCode = NotifyColumnChanged;
        break;
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

void CGridImpl::UpdateHeaderHeight()
{
    if (!header)
        return;
    HeaderDrawContext context;
    context.font = header->GetFont() ? header->GetFont() : &Font();
    PaintState state;
    state.header = header;
    const int height = Draw()->GetHeaderHeight(context, state, settings.paintFlags);
    if (height > 0)
        header->SetHeight(height);
}

void CGridImpl::UpdateRowHeights()
{
    const int height = Draw()->GetRowHeight(&Font(), nullptr);
    for (CItemTree* tree : {&rows.Fixed(), &rows.Scrollable()}) {
        if (height <= 0 || height == tree->GetDefaultRowHeight())
            continue;
        tree->SetDefaultRowHeight(height);
        std::vector<HITEM> all;
        rows.GetAllItems(MaskOfArea(tree->GetKind()), all);
        for (HITEM item : all)
            FromHandle(item)->SetRowHeight(height);
    }
}

void CGridImpl::SetRowHeight(CGridItem* item, int height)
{
    item->SetRowHeight(height);
    RefreshScrollBars();
    UpdateViewport();
}

void CGridImpl::AutoFitColumn(std::int32_t fieldId)
{
    CColumn* column = header ? header->GetColumn(fieldId) : nullptr;
    if (!column)
        return;
    QPixmap scratch(1, 1);
    QPainter measure(&scratch);
    CDeviceContext dc(measure);
    dc.SelectFont(Font());
    PaintState state;
    state.grid = owner;
    state.header = header;
    state.dc = &dc;
    state.appearance = &settings.appearance;
    int widest = 0;
    for (int area : {AreaFixed, AreaScrollable}) {
        for (int row = 0; row < rows.GetRowCount(area); ++row) {
            RowDrawContext rowContext;
            rowContext.rowKey = area;
            rowContext.rowIndex = row;
            rowContext.item = rows.TreeOfArea(area)->GetItemAt(row);
            rowContext.object = rowContext.item ? rowContext.item->GetObject() : nullptr;
            CellDrawContext cell;
            cell.row = &rowContext;
            cell.column = column;
            cell.format = CellFormatOf(column, rowContext.object, column->GetFieldId(), FormatFallback::None);
            if (rowContext.object)
                cell.format = Draw()->GetCellFormat(cell);
            widest = std::max(widest, Draw()->GetCellWidth(cell, state, settings.paintFlags));
        }
    }
    if (widest > 0)
        column->SetWidth(widest);
    UpdateViewport();
}

void CGridImpl::AutoFitColumns()
{
    if (!header)
        return;
    for (CColumn* column : header->GetVisibleColumns())
        AutoFitColumn(column->GetFieldId());
}

void CGridImpl::SetSortInfo(int level, const CSortInfo& info, bool resort)
{
    if (!header)
        return;
    const std::uint64_t resorts = rows.GetResortCount();
    header->SetSortInfo(level, info);
    // The header's sort-changed notice has re-sorted already when the levels
    // changed; a second pass would give the same order.
    if (resort && rows.GetResortCount() == resorts)
        rows.Resort();
}

void CGridImpl::ClearSort(bool repaintAll)
{
    if (header)
        header->ClearSort();
    rows.ClearTreeSortLevels();
    if (repaintAll)
        UpdateViewport();
}

} // namespace Kestrum::GUI
