#include "app/VelmoraView.h"

#include <QFontMetrics>
#include <QVBoxLayout>
#include <chrono>
#include <cmath>

#include <QPainter>
#include <QPixmap>
#include <limits>
#include <sys/statvfs.h>

#include "app/PathTooltip.h"
#include "app/RowPainter.h"
#include "app/UriListFormat.h"
#include "app/VelmoraDoc.h"
#include "common/Format.h"
#include "common/FormatRegistry.h"
#include "common/Value.h"
#include "gui/clipboard/CopyPaste.h"
#include "gui/clipboard/TextClipboardFormat.h"
#include "gui/header/Header.h"
#include "gui/paint/ColumnPaintFormat.h"
#include "gui/platform/DeviceContext.h"
#include "gui/platform/QtText.h"
#include "gui/platform/QtDrainScheduler.h"
#include "gui/tooltip/TooltipCtrl.h"

namespace Velmora {

using namespace Kestrum::GUI;

namespace {
// Entries fed but not yet taken before the scanner waits (16 bytes each).
constexpr std::size_t kFeedLimit = 1 << 14;
// A drain adds rows for this long, then lets the window paint.
constexpr auto kDrainSlice = std::chrono::milliseconds(4);
// A drain that emptied the feed looks again after this long before it counts
// the feed as idle: while the walk streams entries, the scanner then never
// has to wake this thread (a wake-up costs it more than a few entries).
constexpr int kFeedLingerMs = 2;
} // namespace

CVelmoraView::CVelmoraView(CVelmoraDoc& document, QWidget* parent)
    : QWidget(parent), m_document(document), m_grid(new CGrid(this)),
      m_feed([this](FeedEntry& entry) { AddRow(entry); },
             {kFeedLimit, std::chrono::duration_cast<std::chrono::microseconds>(kDrainSlice), kFeedLingerMs, 64}),
      m_feedScheduler(new CQtDrainScheduler([this] { m_feed.Serve(); }, Qt::NormalEventPriority, this))
{
    m_feed.SetScheduler(m_feedScheduler);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid);
    // What a screen reader calls the grid (its rows and cells it reads itself).
    m_grid->setAccessibleName("Folders and files");
    m_grid->setAccessibleDescription("The walked folders and files with their sizes; Right opens a folder, Left closes it");

    m_grid->SetHeader(MakeDefaultHeader(m_grid->GetGridFont()));
    MeasureColumns();
    m_painter = new CRowPainter;
    m_grid->SetCustomDraw(m_painter);
    // A clipped cell shows its whole text in place; over a name that fits,
    // its full path shows beside the cursor.
    m_grid->SetTooltipCtrl(false, new CTooltipCtrl(true));
    m_grid->SetTooltipSource(new CPathTooltip);
    m_grid->EnableTooltips(false, true);
    // A read-only browser: Ctrl+C copies the selected rows as text, and their
    // full names for file managers. Nothing is cut, pasted or dropped (drag
    // and drop stays off): a pasted row would show a folder twice and break
    // the totals the user reads. A copied folder is its own row, not the
    // million rows below it.
    auto* transfer = new CCopyPaste(true);
    transfer->AddFormat(new CTextClipboardFormat);
    transfer->AddFormat(new CUriListFormat);
    m_grid->SetCopyPaste(transfer);
    TransferPolicy policy = m_grid->GetTransferPolicy();
    policy.flags = {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    m_grid->SetTransferPolicy(policy);
    m_grid->EnablePaste(false);
    m_grid->EnableNotifications(false);
    // Changed cells are highlighted while the walk goes on.
    m_grid->EnableUpdateHighlight(true);
    m_document.Scanner().AddListener(this);
}

namespace {
struct ColumnDefault {
    std::int32_t field;
    const char* caption;
    int width;
};
// The design's six, then the two of this version.
constexpr ColumnDefault kColumns[] = {{FIELD_NAME, "Name", 270},
                                      {FIELD_SIZE, "Size", 120},
                                      {FIELD_FILES_COUNT, "Files count", 80},
                                      {FIELD_CREATION_TIME, "Creation time", 130},
                                      {FIELD_LAST_ACCESS_TIME, "Last access time", 130},
                                      {FIELD_LAST_WRITE_TIME, "Last write time", 130},
                                      {FIELD_SIZE_ON_DISK, "Size on disk", 120},
                                      {FIELD_PERCENT_OF_PARENT, "% of parent", 110}};

CColumn* MakeColumn(const ColumnDefault& column, const QFont& font)
{
    // The time columns are widened when this platform's font needs more room
    // for a full time stamp than the designed 130 pixels.
    const QFontMetrics metrics(font);
    const int timeWidth = metrics.horizontalAdvance("31/12/2009 23:59:58") + 8;
    const bool time = column.field >= FIELD_CREATION_TIME && column.field <= FIELD_LAST_WRITE_TIME;
    // Any column may be sorted: its caption keeps room for the sort arrow
    // beside it and the margins the header paints (2 and 4 pixels; the
    // header draws in the grid's font).
    const int captionWidth = metrics.horizontalAdvance(QString::fromUtf8(column.caption)) +
                             CColumnPaintFormat().GetSortIndicatorWidth() + 2 + 4 + 2;
    const int width = std::max(time ? std::max(column.width, timeWidth) : column.width, captionWidth);
    return new CColumn(column.field, column.caption, width, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, "");
}
} // namespace

CHeader* CVelmoraView::MakeDefaultHeader(const QFont& font)
{
    auto* header = new CHeader(true);
    for (const ColumnDefault& column : kColumns)
        header->AddColumn(MakeColumn(column, font));
    header->SetFixedColumnCount(1);
    // The tree (indentation, buttons, lines) stays with the names wherever
    // the user moves the Name column.
    header->SetTreeColumn(FIELD_NAME);
    // Typing the start of a name finds it: Name (visible index 0) is the
    // search column.
    header->SetExtraValue(0);
    // Largest first from the start, so the biggest folders stay on top while
    // the walk runs (the rows are placed by the sort as they arrive).
    header->SetSortInfo(0, CSortInfo(FIELD_SIZE, true));
    return header;
}

void CVelmoraView::MeasureColumns()
{
    m_widthPerHeight.clear();
    CHeader* header = m_grid->GetHeader();
    const int height = std::max(1, QFontMetrics(m_grid->GetGridFont()).height());
    for (int i = 0; header && i < header->GetColumnCount(); ++i) {
        CColumn* column = header->GetColumnAt(i);
        m_widthPerHeight[column->GetFieldId()] = static_cast<double>(column->GetWidth()) / height;
    }
    m_sizeWidthMet[0] = m_sizeWidthMet[1] = 0;
}

void CVelmoraView::UseHeader(CHeader* header)
{
    if (!header)
        return;
    for (const ColumnDefault& column : kColumns)
        if (!header->GetColumn(column.field))
            header->AddColumn(MakeColumn(column, m_grid->GetGridFont()));
    header->SetTreeColumn(FIELD_NAME); // not part of the stored bytes
    CHeader* previous = m_grid->SetHeader(header);
    if (previous && previous->IsAutoDelete())
        delete previous;
    MeasureColumns();
}

CVelmoraView::~CVelmoraView() { Detach(); }

void CVelmoraView::Detach()
{
    if (m_detached)
        return;
    m_detached = true;
    m_feed.Close();
    m_document.Scanner().RemoveListener(this);
    m_grid->Clear(MaskBoth);
}

void CVelmoraView::Feed(Kestrum::Common::CDataObject* object, CFolderData* parent)
{
    // The GUI thread may be closing the window and waiting for this thread:
    // a full feed's wait re-checks the closing flag.
    if (!m_grid->IsClosing())
        m_feed.Push({object, parent}, [this] { return !m_grid->IsClosing(); });
}

bool CVelmoraView::HasWaitingRows() { return m_feed.IsBusy(); }

void CVelmoraView::AddRow(const FeedEntry& entry)
{
    if (!entry.parent)
        m_grid->Add(entry.object, GRID_ROOT, GRID_LAST);
    else if (const HITEM parent = m_grid->GetItem(entry.parent))
        m_grid->Add(entry.object, parent, GRID_LAST);
}

// The counters leave out what a root inside another given root announces:
// the outer root's walk has counted it.
void CVelmoraView::OnRootFolder(CFolderData* drive)
{
    if (m_document.Scanner().IsCountingWalk())
        m_progress.folders.fetch_add(1, std::memory_order_relaxed);
    Feed(drive, nullptr);
}

void CVelmoraView::OnFolder(CFolderData* folder)
{
    if (m_document.Scanner().IsCountingWalk())
        m_progress.folders.fetch_add(1, std::memory_order_relaxed);
    Feed(folder, folder->GetParent());
}

void CVelmoraView::OnFolderEmptying(CFolderData* folder)
{
    // Scanner thread: each call is carried to the GUI thread, and refused
    // at once while the window closes.
    const HITEM item = m_grid->GetItem(folder);
    if (!item)
        return;
    std::vector<HITEM> children;
    m_grid->GetChildren(item, children, false);
    for (const HITEM child : children)
        m_grid->Remove(child);
}

Kestrum::Common::CDataObject* CVelmoraView::FocusedObject()
{
    const int row = m_grid->GetFocusedRow();
    if (row < 0)
        return nullptr;
    const HITEM item = m_grid->GetItemAt(row, m_grid->GetFocusedArea());
    return item ? m_grid->GetObject(item) : nullptr;
}

CFolderData* CVelmoraView::FolderOf(Kestrum::Common::CDataObject* object)
{
    if (auto* folder = dynamic_cast<CFolderData*>(object))
        return folder;
    if (auto* file = dynamic_cast<CFileData*>(object))
        return file->GetParent();
    return nullptr;
}

QString CVelmoraView::FullNameOf(Kestrum::Common::CDataObject* object)
{
    return object ? ToQString(object->GetMfcString(FIELD_FULL_NAME)) : QString();
}

bool CVelmoraView::RevealRow(Kestrum::Common::CDataObject* object)
{
    if (!object)
        return false;
    // Parents first: a row is only shown under expanded rows.
    std::vector<CFolderData*> chain;
    for (CFolderData* up = FolderOf(object); up; up = up->GetParent())
        if (up != object)
            chain.push_back(up);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        if (const HITEM item = m_grid->GetItem(*it); item && !m_grid->IsExpanded(item))
            m_grid->Expand(item);
    const HITEM item = m_grid->GetItem(object);
    if (!item)
        return false;
    m_grid->ClearSelection();
    m_grid->SelectItem(item, true);
    m_grid->SetFocusedRow(m_grid->GetVisibleIndex(item), m_grid->GetArea(item));
    m_grid->EnsureItemVisible(item);
    return true;
}

bool CVelmoraView::IsIdle() { return m_document.Scanner().IsFinished() && !m_feed.IsBusy() && !m_detached; }

bool CVelmoraView::Refresh(Kestrum::Common::CDataObject* object)
{
    CFolderData* folder = FolderOf(object);
    if (!folder || !IsIdle())
        return false;
    // The counters tell what this walk finds.
    m_progress.folders = 0;
    m_progress.files = 0;
    m_progress.bytes = 0;
    if (!m_document.Scanner().StartRefresh(folder))
        return false;
    m_refreshed = folder;
    return true;
}

bool CVelmoraView::RefreshAll()
{
    if (!IsIdle())
        return false;
    m_document.Scanner().RemoveListener(this);
    m_grid->Clear(MaskBoth);
    m_document.Renew();
    m_progress.folders = 0;
    m_progress.files = 0;
    m_progress.bytes = 0;
    m_sizeWidthMet[0] = m_sizeWidthMet[1] = 0;
    m_refreshed = nullptr;
    m_document.Scanner().AddListener(this);
    m_document.Start();
    return true;
}

void CVelmoraView::SetSizeUnits(bool units)
{
    m_units = units;
    m_painter->SetSizeUnits(units);
    m_grid->viewport()->update();
}

void CVelmoraView::RepaintDerivedColumns()
{
    CHeader* header = m_grid->GetHeader();
    for (const std::int32_t field : {FIELD_SIZE_ON_DISK, FIELD_PERCENT_OF_PARENT}) {
        if (!header || !header->GetVisibleColumn(field))
            continue;
        const CRect rect = header->GetColumnRect(m_grid, field);
        m_grid->viewport()->update(QRect(rect.left, 0, rect.Width(), m_grid->viewport()->height()));
    }
}

void CVelmoraView::OnFile(CFileData* file)
{
    if (m_document.Scanner().IsCountingWalk()) {
        m_progress.files.fetch_add(1, std::memory_order_relaxed);
        AddSaturating(m_progress.bytes, file->GetSize());
    }
    Feed(file, file->GetParent());
}

int CVelmoraView::FontPoints()
{
    const QFont font = m_grid->GetGridFont();
    if (font.pointSize() > 0)
        return font.pointSize();
    const double dpi = logicalDpiY();
    return static_cast<int>(std::lround(font.pixelSize() * 72.0 / dpi));
}

void CVelmoraView::StepFont(int step)
{
    const int points = FontPoints();
    if ((step > 0 && points >= 24) || (step < 0 && points <= 6))
        return;
    QFont font = m_grid->GetGridFont();
    const int oldHeight = QFontMetrics(font).height();
    font.setPointSize(points + step);
    m_grid->SetGridFont(font);
    ScaleColumns(oldHeight, QFontMetrics(font).height());
    m_sizeWidthMet[0] = m_sizeWidthMet[1] = 0;
    FitSizeColumn();
}

void CVelmoraView::ScaleColumns(int oldHeight, int newHeight)
{
    CHeader* header = m_grid->GetHeader();
    if (!header || oldHeight <= 0 || newHeight <= 0)
        return;
    for (int i = 0; i < header->GetColumnCount(); ++i) {
        CColumn* column = header->GetColumnAt(i);
        const std::int32_t field = column->GetFieldId();
        auto [it, added] = m_widthPerHeight.emplace(field, static_cast<double>(column->GetWidth()) / oldHeight);
        if (!added && std::lround(it->second * oldHeight) != column->GetWidth())
            it->second = static_cast<double>(column->GetWidth()) / oldHeight;
        column->SetWidth(std::max(1, static_cast<int>(std::lround(it->second * newHeight))));
    }
}

int CVelmoraView::RequiredSizeWidth(std::int32_t field)
{
    CHeader* header = m_grid->GetHeader();
    CColumn* column = header ? header->GetColumn(field) : nullptr;
    if (!column)
        return 0;
    std::int64_t largest = 0;
    for (CFolderData* drive : m_document.Scanner().GetDrives()) {
        largest = std::max(largest, field == FIELD_SIZE ? drive->GetSize() : drive->GetSizeOnDisk());
        struct statvfs disk {};
        if (statvfs(drive->GetName().GetString(), &disk) == 0) {
            std::uint64_t bytes = 0;
            if (__builtin_mul_overflow(static_cast<std::uint64_t>(disk.f_blocks), static_cast<std::uint64_t>(disk.f_frsize), &bytes))
                bytes = std::numeric_limits<std::uint64_t>::max();
            largest = std::max(largest, static_cast<std::int64_t>(std::min<std::uint64_t>(
                                            bytes, static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))));
        }
    }
    Kestrum::Common::CFormat* format = column->GetFormat() ? column->GetFormat()
                                                           : Kestrum::Common::GetDefaultFormat(Kestrum::Common::FT_INT64);
    // As the row painter draws it: the size in the heaviest weight with the
    // animation's square of one row height to its left, the size on disk
    // plain; the cell margins around.
    QFont font = m_grid->GetGridFont();
    if (field == FIELD_SIZE)
        font.setWeight(QFont::Black);
    QPixmap scratch(1, 1);
    QPainter painter(&scratch);
    painter.setFont(font);
    CDeviceContext dc(painter);
    const CellDrawContext margins;
    return dc.TextWidth(ToQString(format->FormatValue(Kestrum::Common::CValue(largest), nullptr))) +
           (field == FIELD_SIZE ? m_grid->GetFontRowHeight(AreaScrollable) : 0) + margins.leftMargin + margins.rightMargin + 2;
}

void CVelmoraView::FitSizeColumn()
{
    CHeader* header = m_grid->GetHeader();
    for (const std::int32_t field : {FIELD_SIZE, FIELD_SIZE_ON_DISK}) {
        CColumn* column = header ? header->GetColumn(field) : nullptr;
        if (!column)
            continue;
        const int required = RequiredSizeWidth(field);
        int& met = m_sizeWidthMet[field == FIELD_SIZE ? 0 : 1];
        if (required <= met)
            continue;
        met = required;
        if (column->GetWidth() < required)
            column->SetWidth(required);
    }
}

void CVelmoraView::IncreaseFont() { StepFont(1); }
void CVelmoraView::DecreaseFont() { StepFont(-1); }
void CVelmoraView::ExpandAll() { m_grid->Expand(GRID_ROOT, true); }
void CVelmoraView::CollapseAll() { m_grid->Collapse(GRID_ROOT, true); }

void CVelmoraView::ToggleLines()
{
    GridAppearance appearance = m_grid->GetAppearance();
    const bool on = !(appearance.horizontalLines || appearance.verticalLines);
    appearance.horizontalLines = on;
    appearance.verticalLines = on;
    m_grid->SetAppearance(appearance);
}

bool CVelmoraView::AreLinesShown()
{
    const GridAppearance appearance = m_grid->GetAppearance();
    return appearance.horizontalLines || appearance.verticalLines;
}

} // namespace Velmora
