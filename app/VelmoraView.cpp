#include "app/VelmoraView.h"

#include <QFontMetrics>
#include <QVBoxLayout>
#include <chrono>
#include <cmath>

#include "app/RowPainter.h"
#include "app/VelmoraDoc.h"
#include "gui/header/Header.h"
#include "gui/platform/QtDrainScheduler.h"

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

    auto* header = new CHeader(true);
    const struct {
        std::int32_t field;
        const char* caption;
        int width;
    } columns[] = {{FIELD_NAME, "Name", 270},
                   {FIELD_SIZE, "Size", 120},
                   {FIELD_FILES_COUNT, "Files count", 80},
                   {FIELD_CREATION_TIME, "Creation time", 130},
                   {FIELD_LAST_ACCESS_TIME, "Last access time", 130},
                   {FIELD_LAST_WRITE_TIME, "Last write time", 130}};
    // The time columns are widened when this platform's font needs more room
    // for a full time stamp than the designed 130 pixels.
    const QFontMetrics metrics(m_grid->GetGridFont());
    const int timeWidth = metrics.horizontalAdvance("31/12/2009 23:59:58") + 8;
    for (const auto& column : columns) {
        const bool time = column.field >= FIELD_CREATION_TIME && column.field <= FIELD_LAST_WRITE_TIME;
        header->AddColumn(new CColumn(column.field, column.caption, time ? std::max(column.width, timeWidth) : column.width,
                                      AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
    }
    header->SetFixedColumnCount(1);
    // Typing the start of a name finds it: Name (visible index 0) is the
    // search column.
    header->SetExtraValue(0);
    // Largest first from the start, so the biggest folders stay on top while
    // the walk runs (the rows are placed by the sort as they arrive).
    header->SetSortInfo(0, CSortInfo(FIELD_SIZE, true));
    m_grid->SetHeader(header);
    m_grid->SetCustomDraw(new CRowPainter);
    m_grid->EnableNotifications(false);
    // Changed cells are highlighted while the walk goes on.
    m_grid->EnableUpdateHighlight(true);
    m_document.Scanner().AddListener(this);
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

void CVelmoraView::OnRootFolder(CFolderData* drive)
{
    m_progress.folders.fetch_add(1, std::memory_order_relaxed);
    Feed(drive, nullptr);
}

void CVelmoraView::OnFolder(CFolderData* folder)
{
    m_progress.folders.fetch_add(1, std::memory_order_relaxed);
    Feed(folder, folder->GetParent());
}

void CVelmoraView::OnFile(CFileData* file)
{
    m_progress.files.fetch_add(1, std::memory_order_relaxed);
    m_progress.bytes.fetch_add(file->GetSize(), std::memory_order_relaxed);
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
    font.setPointSize(points + step);
    m_grid->SetGridFont(font);
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
