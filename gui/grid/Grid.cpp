// CGrid: construction, the call marshalling and one-line forwards. Every
// behaviour lives in CGridImpl (GridImpl.h names the file of each concern)
// or in the row trees (CGridRows).
#include "gui/grid/Grid.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include "gui/accessibility/GridAccessNotify.h"
#include "gui/edit/EditInPlace.h"
#include "gui/clipboard/CopyPaste.h"
#include "gui/clipboard/DragDrop.h"
#include "gui/clipboard/GridTransfer.h"
#include "gui/grid/Dispatcher.h"
#include "gui/grid/GridImpl.h"
#include "gui/grid/ObjectRegistry.h"
#include "gui/grid/HeaderConfigurationDlg.h"
#include "gui/paint/CustomDraw.h"
#include "gui/platform/Archive.h"
#include "gui/platform/KeyCodes.h"

namespace Kestrum::GUI {

CGrid::CGrid(QWidget* parent) : QAbstractScrollArea(parent), m_impl(std::make_unique<CGridImpl>(this))
{
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true); // moves without a button: the resize cursor, the hot caption
    viewport()->setAcceptDrops(true);   // the drag-and-drop switch decides what is taken
    setFocusPolicy(Qt::StrongFocus);
    InstallGridAccessibility();
    m_impl->UpdateRowHeights();
    // The in-place tooltip's control asks the grid (for its font) as it is attached.
    m_impl->tooltips = std::make_unique<CGridTooltips>(m_impl->tooltipHost);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!m_impl->scroll.settingScroll)
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
    ForgetAccessibleGrid(this);
    // Without writing, and without telling the listener (whose window may be
    // half destroyed when its children go).
    m_impl->edit->EndEdit(EditNoNavigation, false);
    CDispatcher::Instance().DrainUpdates();
    for (QBasicTimer& timer : m_impl->timers)
        timer.stop();
    m_impl->rows.SetEventsEnabled(false);
    m_impl->rows.Clear(MaskBoth);
}

void CGrid::SetClosing()
{
    m_impl->closing = true;
    CDispatcher::Instance().CancelCalls(&m_impl->dispatch);
}

bool CGrid::IsClosing() const { return m_impl->closing; }

template <class R, class Fn> R CGrid::Call(R nothing, Fn&& fn)
{
    if (CDispatcher::Instance().IsGuiThread())
        return fn();
    if (m_impl->closing)
        return nothing;
    R result = nothing;
    if (!CDispatcher::Instance().Send(&m_impl->dispatch, [&] { result = fn(); }))
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
        CDispatcher::Instance().Send(&m_impl->dispatch, [&] { fn(); });
}

void CGrid::SetListener(IGridListener* listener)
{
    CallVoid([&] { m_impl->listener = listener; });
}

// --- hierarchy -----------------------------------------------------------------

HITEM CGrid::Add(Common::CDataObject* object, HITEM parent, HITEM position)
{
    const bool foreign = !CDispatcher::Instance().IsGuiThread();
    return Call<HITEM>(0, [&] { return m_impl->rows.Add(object, parent, position, foreign); });
}
bool CGrid::Remove(HITEM item) { return Call(false, [&] { return m_impl->rows.Remove(item); }); }
bool CGrid::RemoveAt(int row, int mask) { return Call(false, [&] { return m_impl->rows.RemoveAt(row, mask); }); }
bool CGrid::Clear(int mask) { return Call(false, [&] { return m_impl->rows.Clear(mask); }); }
bool CGrid::Attach(HITEM item, HITEM parent, HITEM position)
{
    return Call(false, [&] { return m_impl->rows.Attach(item, parent, position); });
}
bool CGrid::Detach(HITEM item) { return Call(false, [&] { return m_impl->rows.Detach(item); }); }
void CGrid::Move(HITEM item, HITEM parent, HITEM sibling, bool before)
{
    CallVoid([&] { m_impl->rows.Move(item, parent, sibling, before); });
}
void CGrid::Expand(HITEM item, bool recursive) { CallVoid([&] { m_impl->rows.Expand(item, recursive); }); }
void CGrid::Collapse(HITEM item, bool recursive) { CallVoid([&] { m_impl->rows.Collapse(item, recursive); }); }
bool CGrid::IsExpanded(HITEM item) { return Call(false, [&] { return m_impl->rows.IsExpanded(item); }); }
bool CGrid::IsVisible(HITEM item) { return Call(false, [&] { return m_impl->rows.IsVisible(item); }); }
int CGrid::GetArea(HITEM item) { return Call(0, [&] { return m_impl->rows.GetArea(item); }); }
HITEM CGrid::GetParent(HITEM item) { return Call<HITEM>(0, [&] { return m_impl->rows.GetParent(item); }); }
int CGrid::GetLevel(HITEM item) { return Call(-1, [&] { return m_impl->rows.GetLevel(item); }); }
void CGrid::GetChildren(HITEM parent, std::vector<HITEM>& children, bool visibleOnly)
{
    children.clear();
    CallVoid([&] { m_impl->rows.GetChildren(parent, children, visibleOnly); });
}
bool CGrid::HasChildren(HITEM parent) { return Call(false, [&] { return m_impl->rows.HasChildren(parent); }); }
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
    return Call<HITEM>(0, [&] { return m_impl->rows.GetItem(object); });
}
void CGrid::GetItems(Common::CDataObject* object, std::vector<HITEM>& items, int mask, bool visibleOnly)
{
    CallVoid([&] { m_impl->rows.GetItems(object, items, mask, visibleOnly); });
}
void CGrid::GetAllItems(int mask, std::vector<HITEM>& items) { CallVoid([&] { m_impl->rows.GetAllItems(mask, items); }); }
int CGrid::GetVisibleIndex(HITEM item) { return Call(-1, [&] { return m_impl->rows.GetVisibleIndex(item); }); }
HITEM CGrid::GetItemAt(int row, int area) { return Call<HITEM>(0, [&] { return m_impl->rows.GetItemAt(row, area); }); }
int CGrid::GetRowCount(int area) { return Call(0, [&] { return m_impl->rows.GetRowCount(area); }); }
HITEM CGrid::GetPrevRow(HITEM item, bool cross) { return Call<HITEM>(0, [&] { return m_impl->rows.GetPrevRow(item, cross); }); }
HITEM CGrid::GetNextRow(HITEM item, bool cross) { return Call<HITEM>(0, [&] { return m_impl->rows.GetNextRow(item, cross); }); }
Common::CDataObject* CGrid::GetObject(HITEM item, int row, int area)
{
    return Call<Common::CDataObject*>(nullptr, [&] { return m_impl->rows.GetObject(item, row, area); });
}
std::uint32_t CGrid::GetItemState(HITEM item) { return Call(0u, [&] { return m_impl->rows.GetItemState(item); }); }

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
        CVisitorAdapter adapter(this, visitor);
        if (visitor)
            m_impl->rows.ForEach(&adapter, start);
    });
}
void CGrid::ForEachRow(IGridVisitor* visitor, HITEM start)
{
    CallVoid([&] {
        CVisitorAdapter adapter(this, visitor);
        if (visitor)
            m_impl->rows.ForEachRow(&adapter, start);
    });
}

// --- geometry and scrolling --------------------------------------------------------

CRect CGrid::GetAreaRect(int area) { return Call(CRect{}, [&] { return m_impl->AreaRect(area); }); }
CRect CGrid::GetRowRect(HITEM item) { return Call(CRect{}, [&] { return m_impl->ItemRowRect(m_impl->rows.Validate(item)); }); }
CRect CGrid::GetCellRect(HITEM item, std::int32_t fieldId)
{
    return Call(CRect{}, [&] { return m_impl->CellRect(m_impl->rows.Validate(item), fieldId); });
}
int CGrid::GetPageRowCount(bool forward)
{
    return Call(0, [&] { return m_impl->RowsThatFit(std::max(m_impl->scroll.topRow, 0), forward); });
}
int CGrid::GetRowHeight(HITEM handle)
{
    return Call(0, [&] {
        CGridItem* item = m_impl->rows.Validate(handle);
        return item ? item->GetRowHeight() : 0;
    });
}
bool CGrid::SetRowHeight(HITEM handle, int height)
{
    return Call(false, [&] {
        CGridItem* item = m_impl->rows.Validate(handle);
        if (!item || height <= 0)
            return false;
        m_impl->SetRowHeight(item, height);
        return true;
    });
}
void CGrid::RefreshScrollBars() { CallVoid([&] { m_impl->RefreshScrollBars(); }); }
int CGrid::GetTopRow() { return Call(-1, [&] { return m_impl->scroll.topRow; }); }
int CGrid::GetLastVisibleRow(int area) { return Call(-1, [&] { return m_impl->LastVisibleRow(area); }); }
void CGrid::EnsureVisible(int row) { CallVoid([&] { m_impl->EnsureVisible(row, nullptr); }); }
void CGrid::EnsureItemVisible(HITEM item) { CallVoid([&] { m_impl->EnsureVisible(-1, m_impl->rows.Validate(item)); }); }
void CGrid::SetTopRow(int row) { CallVoid([&] { m_impl->SetTop(row, true); }); }
void CGrid::ScrollToItem(HITEM item) { CallVoid([&] { m_impl->ScrollToItem(m_impl->rows.Validate(item)); }); }
HITEM CGrid::HitTest(CPoint point, int* area) { return Call<HITEM>(0, [&] { return m_impl->HitTest(point, area); }); }

// --- selection and focus -------------------------------------------------------------

int CGrid::GetSelectedCount() { return Call(0, [&] { return m_impl->rows.GetSelectedCount(); }); }
void CGrid::GetSelectedItems(std::vector<HITEM>& items, int mask)
{
    CallVoid([&] { m_impl->rows.GetSelectedItems(items, mask); });
}
bool CGrid::SelectItem(HITEM item, bool select)
{
    return Call(false, [&] { return m_impl->SelectItem(m_impl->rows.Validate(item), select); });
}
bool CGrid::SelectRow(int row, int area, bool select) { return Call(false, [&] { return m_impl->SelectRow(row, area, select); }); }
bool CGrid::IsRowSelected(int row, int area) { return Call(false, [&] { return m_impl->IsRowSelected(row, area); }); }
bool CGrid::IsItemSelected(HITEM handle)
{
    return Call(false, [&] {
        CGridItem* item = m_impl->rows.Validate(handle);
        return item && item->IsSelected();
    });
}
void CGrid::SelectAll() { CallVoid([&] { m_impl->SelectAll(); }); }
void CGrid::ClearSelection() { CallVoid([&] { m_impl->ClearSelection(); }); }
bool CGrid::SetFocusedRow(int row, int area) { return Call(false, [&] { return m_impl->SetFocus(row, area, true, true); }); }
int CGrid::GetFocusedRow() { return Call(-1, [&] { return m_impl->focus.row; }); }
int CGrid::GetFocusedArea() { return Call(0, [&] { return m_impl->focus.area; }); }
void CGrid::SetFocusableAreas(int mask) { CallVoid([&] { m_impl->focus.focusableAreas = mask; }); }
bool CGrid::IsAreaFocusable(int area) { return Call(false, [&] { return AreaInMask(area, m_impl->focus.focusableAreas); }); }
void CGrid::EnableSelection(bool enable) { CallVoid([&] { m_impl->EnableSelection(enable); }); }
bool CGrid::IsSelectionEnabled() { return Call(false, [&] { return m_impl->selection.enabled; }); }
void CGrid::EnableMultiSelection(bool enable) { CallVoid([&] { m_impl->EnableMultiSelection(enable); }); }
bool CGrid::IsMultiSelectionEnabled() { return Call(false, [&] { return m_impl->selection.multiEnabled; }); }
void CGrid::SetSelectableAreas(int mask) { CallVoid([&] { m_impl->SetSelectableAreas(mask); }); }
bool CGrid::IsAreaSelectable(int area)
{
    return Call(false, [&] { return AreaInMask(area, m_impl->selection.selectableAreas); });
}

// --- appearance and painting -------------------------------------------------------------

GridAppearance CGrid::GetAppearance() { return Call(GridAppearance{}, [&] { return m_impl->settings.appearance; }); }
void CGrid::SetAppearance(const GridAppearance& appearance)
{
    CallVoid([&] {
        m_impl->settings.appearance = appearance;
        m_impl->UpdateViewport();
    });
}
void CGrid::SetPaintFlags(std::uint32_t flags)
{
    CallVoid([&] {
        m_impl->settings.paintFlags = flags;
        m_impl->UpdateViewport();
    });
}
std::uint32_t CGrid::GetPaintFlags() { return Call(0u, [&] { return m_impl->settings.paintFlags; }); }
void CGrid::RepaintRowLater(HITEM handle, int delay)
{
    CallVoid([&] {
        if (CGridItem* item = m_impl->rows.Validate(handle))
            m_impl->RepaintRowLater(item, delay);
    });
}
void CGrid::RepaintCellLater(HITEM handle, std::int32_t fieldId, int delay)
{
    CallVoid([&] {
        if (CGridItem* item = m_impl->rows.Validate(handle))
            m_impl->RepaintCellLater(item, fieldId, delay);
    });
}
std::int64_t CGrid::GetTimeSinceChange(HITEM item, std::int32_t fieldId)
{
    return Call<std::int64_t>(-1, [&] { return m_impl->TimeSinceChange(m_impl->rows.Validate(item), fieldId); });
}
void CGrid::EnableUpdateHighlight(bool enable) { CallVoid([&] { m_impl->settings.highlightEnabled = enable; }); }
bool CGrid::IsUpdateHighlightEnabled() { return Call(false, [&] { return m_impl->settings.highlightEnabled; }); }
UpdateHighlight CGrid::GetUpdateHighlight() { return Call(UpdateHighlight{}, [&] { return m_impl->settings.highlight; }); }
void CGrid::SetUpdateHighlight(const UpdateHighlight& highlight) { CallVoid([&] { m_impl->settings.highlight = highlight; }); }
void CGrid::ShowSeparator(bool show)
{
    CallVoid([&] {
        m_impl->settings.separatorShown = show;
        m_impl->UpdateViewport();
    });
}
bool CGrid::IsSeparatorShown() { return Call(false, [&] { return m_impl->settings.separatorShown; }); }
void CGrid::SetSeparatorHeight(int height)
{
    CallVoid([&] {
        m_impl->settings.separatorHeight = height;
        m_impl->UpdateViewport();
    });
}
int CGrid::GetSeparatorHeight() { return Call(0, [&] { return m_impl->settings.separatorHeight; }); }
ICustomDraw* CGrid::SetCustomDraw(ICustomDraw* customDraw)
{
    return Call<ICustomDraw*>(nullptr, [&] { return m_impl->SetCustomDraw(customDraw); });
}
ICustomDraw* CGrid::GetCustomDraw() { return Call<ICustomDraw*>(nullptr, [&] { return m_impl->customDraw; }); }
void CGrid::SetGridFont(const QFont& font) { CallVoid([&] { m_impl->SetGridFont(font); }); }
QFont CGrid::GetGridFont() { return Call(QFont(), [&] { return m_impl->Font(); }); }
int CGrid::GetFontRowHeight(int) { return Call(0, [&] { return m_impl->Draw()->GetRowHeight(&m_impl->Font(), nullptr); }); }

// --- header and sorting -----------------------------------------------------------------

CHeader* CGrid::SetHeader(CHeader* header) { return Call<CHeader*>(nullptr, [&] { return m_impl->SetHeader(header); }); }
CHeader* CGrid::GetHeader() { return Call<CHeader*>(nullptr, [&] { return m_impl->header; }); }
void CGrid::ShowHeader(bool show)
{
    CallVoid([&] {
        m_impl->settings.headerShown = show;
        m_impl->RefreshScrollBars();
        m_impl->UpdateViewport();
    });
}
bool CGrid::IsHeaderShown() { return Call(false, [&] { return m_impl->settings.headerShown; }); }
int CGrid::ShowHeaderConfiguration() { return Call(0, [&] { return CHeaderConfigurationDlg(m_impl->header, this).DoModal(); }); }
void CGrid::AutoFitColumn(std::int32_t fieldId) { CallVoid([&] { m_impl->AutoFitColumn(fieldId); }); }
void CGrid::AutoFitColumnAt(int visibleIndex)
{
    CallVoid([&] {
        if (CColumn* column = m_impl->header ? m_impl->header->GetVisibleColumnAt(visibleIndex) : nullptr)
            m_impl->AutoFitColumn(column->GetFieldId());
    });
}
void CGrid::AutoFitColumns() { CallVoid([&] { m_impl->AutoFitColumns(); }); }
void CGrid::SetSortInfo(int level, const CSortInfo& info, bool resort)
{
    CallVoid([&] { m_impl->SetSortInfo(level, info, resort); });
}
CSortInfo CGrid::GetSortInfo(int level)
{
    return Call(CSortInfo(Common::FIELD_NONE, false),
                [&] { return m_impl->header ? m_impl->header->GetSortInfo(level) : CSortInfo(Common::FIELD_NONE, false); });
}
int CGrid::GetSortLevelCount() { return Call(0, [&] { return m_impl->header ? m_impl->header->GetSortLevelCount() : 0; }); }
void CGrid::ClearSort(bool repaint) { CallVoid([&] { m_impl->ClearSort(repaint); }); }
void CGrid::Resort() { CallVoid([&] { m_impl->rows.Resort(); }); }
void CGrid::SetSortAreas(int mask) { CallVoid([&] { m_impl->rows.SetSortAreas(mask); }); }
int CGrid::GetSortAreas() { return Call(0, [&] { return m_impl->rows.GetSortAreas(); }); }
void CGrid::SortByColumnClick(std::int32_t fieldId, bool shift, bool ctrl)
{
    CallVoid([&] { CGridRows::ApplyHeaderClick(m_impl->header, fieldId, shift, ctrl); });
}

// --- row filter and notifications ------------------------------------------------------------

IRowFilter* CGrid::SetFilter(IRowFilter* filter) { return Call<IRowFilter*>(nullptr, [&] { return m_impl->SetFilter(filter); }); }
IRowFilter* CGrid::GetFilter() { return Call<IRowFilter*>(nullptr, [&] { return m_impl->filter; }); }
void CGrid::Refilter() { CallVoid([&] { m_impl->Refilter(); }); }
IRowMatch* CGrid::SetRowMatch(IRowMatch* match)
{
    return Call<IRowMatch*>(nullptr, [&] { return m_impl->SetRowMatch(match); });
}
IRowMatch* CGrid::GetRowMatch() { return Call<IRowMatch*>(nullptr, [&] { return m_impl->rows.GetRowMatch(); }); }
int CGrid::GetMatchedCount() { return Call(0, [&] { return m_impl->rows.GetMatchedCount(); }); }
std::string CGrid::GetTypedSearch()
{
    return Call(std::string(), [&] {
        return m_impl->input->Search().GetTypedText(GridClockNow(), m_impl->settings.searchTimeout);
    });
}
void CGrid::EnableNotifications(bool enable) { CallVoid([&] { m_impl->notificationsEnabled = enable; }); }
bool CGrid::AreNotificationsEnabled() { return Call(false, [&] { return m_impl->notificationsEnabled; }); }

// --- settings records, images, background ------------------------------------------------------

TransferPolicy CGrid::GetTransferPolicy() { return Call(TransferPolicy{}, [&] { return m_impl->settings.transfer; }); }
void CGrid::SetTransferPolicy(const TransferPolicy& policy) { CallVoid([&] { m_impl->settings.transfer = policy; }); }
DragDropSettings CGrid::GetDragDropSettings() { return Call(DragDropSettings{}, [&] { return m_impl->settings.dragDrop; }); }
void CGrid::SetDragDropSettings(const DragDropSettings& settings) { CallVoid([&] { m_impl->settings.dragDrop = settings; }); }
TooltipSettings CGrid::GetTooltipSettings(bool inPlace)
{
    return Call(TooltipSettings{}, [&] { return inPlace ? m_impl->settings.tooltipInPlace : m_impl->settings.tooltipRegular; });
}
void CGrid::SetTooltipSettings(bool inPlace, const TooltipSettings& settings)
{
    CallVoid([&] { (inPlace ? m_impl->settings.tooltipInPlace : m_impl->settings.tooltipRegular) = settings; });
}
namespace {
int TooltipKindOf(bool inPlace) { return inPlace ? TooltipInPlace : TooltipRegular; }
} // namespace
void CGrid::EnableTooltips(bool inPlace, bool enable)
{
    CallVoid([&] { m_impl->tooltips->Enable(TooltipKindOf(inPlace), enable); });
}
bool CGrid::AreTooltipsEnabled(bool inPlace) { return Call(false, [&] { return m_impl->tooltips->IsEnabled(TooltipKindOf(inPlace)); }); }
ITooltipCtrl* CGrid::SetTooltipCtrl(bool inPlace, ITooltipCtrl* control)
{
    return Call<ITooltipCtrl*>(nullptr, [&] { return m_impl->tooltips->SetControl(TooltipKindOf(inPlace), control); });
}
ITooltipCtrl* CGrid::GetTooltipCtrl(bool inPlace)
{
    return Call<ITooltipCtrl*>(nullptr, [&] { return m_impl->tooltips->GetControl(TooltipKindOf(inPlace)); });
}
ITooltipSource* CGrid::SetTooltipSource(ITooltipSource* source)
{
    return Call<ITooltipSource*>(nullptr, [&] { return m_impl->tooltips->SetSource(source); });
}
void CGrid::HideTooltips()
{
    CallVoid([&] { m_impl->tooltips->HideAndForget(); });
}
ITooltipSource* CGrid::GetTooltipSource() { return Call<ITooltipSource*>(nullptr, [&] { return m_impl->tooltips->GetSource(); }); }
// --- transfer ------------------------------------------------------------------------------------

bool CGrid::Copy() { return Call(false, [&] { return m_impl->transfer->Copy(); }); }
bool CGrid::Cut() { return Call(false, [&] { return m_impl->transfer->Cut(); }); }
bool CGrid::Paste() { return Call(false, [&] { return m_impl->transfer->Paste(); }); }
void CGrid::EnablePaste(bool enable) { CallVoid([&] { m_impl->settings.pasteEnabled = enable; }); }
bool CGrid::IsPasteEnabled() { return Call(false, [&] { return m_impl->settings.pasteEnabled; }); }
ICopyPaste* CGrid::SetCopyPaste(ICopyPaste* handler)
{
    return Call<ICopyPaste*>(nullptr, [&] { return m_impl->transfer->SetCopyPaste(handler); });
}
ICopyPaste* CGrid::GetCopyPaste() { return Call<ICopyPaste*>(nullptr, [&] { return m_impl->transfer->GetOwnCopyPaste(); }); }
void CGrid::EnableDragDrop(bool enable) { CallVoid([&] { m_impl->settings.dragDropEnabled = enable; }); }
bool CGrid::IsDragDropEnabled() { return Call(false, [&] { return m_impl->settings.dragDropEnabled; }); }
IDragDrop* CGrid::SetDragDrop(IDragDrop* handler)
{
    return Call<IDragDrop*>(nullptr, [&] { return m_impl->transfer->SetDragDrop(handler); });
}
IDragDrop* CGrid::GetDragDrop() { return Call<IDragDrop*>(nullptr, [&] { return m_impl->transfer->GetOwnDragDrop(); }); }

CImageList* CGrid::SetCellImageList(CImageList* images)
{
    return Call<CImageList*>(nullptr, [&] {
        CImageList* previous = std::exchange(m_impl->cellImages, images);
        m_impl->UpdateViewport();
        return previous;
    });
}
CImageList* CGrid::GetCellImageList() { return Call<CImageList*>(nullptr, [&] { return m_impl->cellImages; }); }
void CGrid::SetStretchImages(bool stretch)
{
    CallVoid([&] {
        m_impl->settings.stretchImages = stretch;
        m_impl->UpdateViewport();
    });
}
bool CGrid::GetStretchImages() { return Call(false, [&] { return m_impl->settings.stretchImages; }); }
void CGrid::SetBackground(const QPixmap& picture, int mode, int transparency)
{
    CallVoid([&] {
        m_impl->background = {picture, mode, transparency};
        m_impl->UpdateViewport();
    });
}
bool CGrid::GetBackground(QPixmap& picture, int& mode, int& transparency)
{
    return Call(false, [&] {
        picture = m_impl->background.picture;
        mode = m_impl->background.mode;
        transparency = m_impl->background.transparency;
        return !picture.isNull();
    });
}
// --- printing ----------------------------------------------------------------------------------

PrintSettings CGrid::GetPrintSettings() { return Call(PrintSettings{}, [&] { return m_impl->settings.print; }); }
void CGrid::SetPrintSettings(const PrintSettings& settings) { CallVoid([&] { m_impl->settings.print = settings; }); }
void CGrid::SetPrintTitle(const QString& title) { CallVoid([&] { m_impl->printTitle = title; }); }
QString CGrid::GetPrintTitle() { return Call(QString(), [&] { return m_impl->printTitle; }); }
void CGrid::SetExtraPrintPages(IExtraPrintPages* pages) { CallVoid([&] { m_impl->extraPrintPages = pages; }); }
IExtraPrintPages* CGrid::GetExtraPrintPages()
{
    return Call<IExtraPrintPages*>(nullptr, [&] { return m_impl->extraPrintPages; });
}
bool CGrid::Print() { return Call(false, [&] { return CGridPrinter(m_impl->print).PrintWithDialog(); }); }
void CGrid::PrintPreview() { CallVoid([&] { CGridPrinter(m_impl->print).Preview(); }); }
bool CGrid::ExportPdf(const QString& file, IPrintProgress* progress)
{
    return Call(false, [&] { return CGridPrinter(m_impl->print).ExportPdf(file, progress) == PrintResult::Printed; });
}
bool CGrid::PrintTo(QPrinter& printer, IPrintProgress* progress)
{
    return Call(false, [&] { return CGridPrinter(m_impl->print).PrintTo(printer, progress) == PrintResult::Printed; });
}

// --- in-place editing and embedded controls ----------------------------------------------------

IEditInPlace* CGrid::SetEditInPlace(IEditInPlace* editor)
{
    return Call<IEditInPlace*>(nullptr, [&] { return m_impl->edit->SetEditor(editor); });
}
IEditInPlace* CGrid::GetEditInPlace() { return Call<IEditInPlace*>(nullptr, [&] { return m_impl->edit->GetEditor(); }); }
bool CGrid::CanEditCell(HITEM item, std::int32_t fieldId, int reason)
{
    return Call(false, [&] { return m_impl->edit->CanEditCell(m_impl->rows.Validate(item), fieldId, reason); });
}
bool CGrid::CanEditCellAt(int row, int area, std::int32_t fieldId, int reason)
{
    return Call(false, [&] { return m_impl->edit->CanEditCell(FromHandle(m_impl->rows.GetItemAt(row, area)), fieldId, reason); });
}
bool CGrid::BeginEditCell(HITEM item, std::int32_t fieldId, int reason)
{
    return Call(false, [&] { return m_impl->edit->BeginEditCell(m_impl->rows.Validate(item), fieldId, reason); });
}
bool CGrid::BeginEditCellAt(int row, int area, std::int32_t fieldId, int reason)
{
    return Call(false, [&] { return m_impl->edit->BeginEditCell(FromHandle(m_impl->rows.GetItemAt(row, area)), fieldId, reason); });
}
bool CGrid::EndEdit(int code) { return Call(false, [&] { return m_impl->edit->EndEdit(code); }); }
bool CGrid::EndEditOfCell(HITEM item, std::int32_t fieldId, int code)
{
    return Call(false, [&] { return m_impl->edit->EndEditOfCell(FromHandle(item), fieldId, code); });
}
void CGrid::PostEndEditOfCell(HITEM item, std::int32_t fieldId, int code)
{
    CallVoid([&] { m_impl->edit->PostEndEditOfCell(FromHandle(item), fieldId, code); });
}
QWidget* CGrid::GetEditControl() { return Call<QWidget*>(nullptr, [&] { return m_impl->edit->GetEditControl(); }); }
HITEM CGrid::GetEditItem() { return Call<HITEM>(0, [&] { return ToHandle(m_impl->edit->GetEditItem()); }); }
std::int32_t CGrid::GetEditField() { return Call(Common::FIELD_NONE, [&] { return m_impl->edit->GetEditField(); }); }
EditCell CGrid::GetEditCell(HITEM item, std::int32_t fieldId)
{
    return Call(EditCell{}, [&] { return m_impl->edit->MakeCell(m_impl->rows.Validate(item), fieldId); });
}
EditSettings CGrid::GetEditSettings() { return Call(EditSettings{}, [&] { return m_impl->settings.edit; }); }
void CGrid::SetEditSettings(const EditSettings& settings)
{
    CallVoid([&] {
        m_impl->settings.edit = settings;
        m_impl->UpdateViewport();
    });
}
bool CGrid::SetCellValueText(HITEM item, std::int32_t fieldId, const Common::CString& text)
{
    return Call(false, [&] { return m_impl->edit->SetCellValueText(m_impl->rows.Validate(item), fieldId, text); });
}
bool CGrid::SetCellValue(HITEM item, std::int32_t fieldId, const Common::CValue& value)
{
    return Call(false, [&] { return m_impl->edit->SetCellValue(m_impl->rows.Validate(item), fieldId, value); });
}
CEmbeddedControlAdapter* CGrid::EmbedControl(QWidget* control, HITEM item, std::int32_t fieldId)
{
    return Call<CEmbeddedControlAdapter*>(nullptr,
                                          [&] { return m_impl->edit->EmbedControl(control, m_impl->rows.Validate(item), fieldId); });
}
CEmbeddedControlAdapter* CGrid::EmbedControlAt(QWidget* control, int row, int area, std::int32_t fieldId)
{
    return Call<CEmbeddedControlAdapter*>(
        nullptr, [&] { return m_impl->edit->EmbedControl(control, FromHandle(m_impl->rows.GetItemAt(row, area)), fieldId); });
}
bool CGrid::HasEmbeddedControl(HITEM item, std::int32_t fieldId)
{
    return Call(false, [&] { return m_impl->edit->HasEmbeddedControl(m_impl->rows.Validate(item), fieldId); });
}
bool CGrid::HasEmbeddedControlAt(int row, int area, std::int32_t fieldId)
{
    return Call(false, [&] { return m_impl->edit->HasEmbeddedControl(FromHandle(m_impl->rows.GetItemAt(row, area)), fieldId); });
}
bool CGrid::RemoveEmbeddedControl(HITEM item, std::int32_t fieldId)
{
    return Call(false, [&] { return m_impl->edit->RemoveEmbeddedControl(m_impl->rows.Validate(item), fieldId); });
}

IKeyManager* CGrid::SetKeyManager(IKeyManager* manager)
{
    return Call<IKeyManager*>(nullptr, [&] { return m_impl->SetKeyManager(manager); });
}
IKeyManager* CGrid::GetKeyManager() { return Call<IKeyManager*>(nullptr, [&] { return m_impl->keyManager; }); }
void CGrid::KeyAction(int kind, bool shift, bool ctrl, char character)
{
    CallVoid([&] { m_impl->input->KeyAction(kind, shift, ctrl, character); });
}
void CGrid::SetOption(bool option) { CallVoid([&] { m_impl->settings.option = option; }); }
bool CGrid::GetOption() { return Call(false, [&] { return m_impl->settings.option; }); }
void CGrid::SetKeyboardAreas(int mask) { CallVoid([&] { m_impl->settings.keyboardAreas = mask; }); }
bool CGrid::IsKeyboardArea(int area) { return Call(false, [&] { return AreaInMask(area, m_impl->settings.keyboardAreas); }); }
void CGrid::SetDoubleBuffering(bool enable) { CallVoid([&] { m_impl->settings.doubleBuffering = enable; }); }
bool CGrid::GetDoubleBuffering() { return Call(false, [&] { return m_impl->settings.doubleBuffering; }); }

// --- archive ---------------------------------------------------------------------------------

void CGrid::Serialize(CArchive& archive) { SerializeOnGridThread(archive, false); }

void CGrid::SerializeWithPrintSettings(CArchive& archive) { SerializeOnGridThread(archive, true); }

void CGrid::SerializeOnGridThread(CArchive& archive, bool withPrintSettings)
{
    // Errors of a load made for another thread are raised on that thread.
    std::exception_ptr error;
    CallVoid([&] {
        try {
            if (archive.IsStoring())
                m_impl->Store(archive, withPrintSettings);
            else
                m_impl->Load(archive, withPrintSettings);
        } catch (...) {
            error = std::current_exception();
        }
    });
    if (error)
        std::rethrow_exception(error);
}

} // namespace Kestrum::GUI
