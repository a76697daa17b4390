#include "app/filetypes/FileTypesWindow.h"

#include <QAction>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMenu>
#include <QVBoxLayout>

#include "app/FileSystemData.h"
#include "app/SizeUnitsFormat.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "app/filter/FilterBar.h"
#include "common/DataObject.h"
#include "common/FieldMap.h"
#include "gui/grid/GridClock.h"
#include "gui/header/Header.h"
#include "gui/paint/CustomDraw.h"
#include "gui/paint/DrawContext.h"
#include "gui/platform/DeviceContext.h"

#include <QCheckBox>

namespace Velmora {

using Kestrum::Common::CString;
using namespace Kestrum::GUI;

namespace {
enum FileTypeField : Kestrum::Common::FieldId {
    FIELD_EXTENSION = 0,
    FIELD_TYPE_FILES = 1,
    FIELD_TYPE_SIZE = 2,
    FIELD_TYPE_SIZE_ON_DISK = 3,
    FIELD_TYPE_SHARE = 4,
};
} // namespace

// One row of the window: an extension and its sums.
class CFileTypeObject : public Kestrum::Common::CDataObject {
    KESTRUM_DECLARE_FIELD_MAP();

public:
    explicit CFileTypeObject(std::string extension) : m_extension(std::move(extension)) {}

    const std::string& Extension() const { return m_extension; }
    CString GetExtension() const { return CString(m_extension.empty() ? CFileTypeTable::kNoExtension : m_extension); }
    std::int64_t GetFiles() const { return m_row.files; }
    std::int64_t GetSize() const { return m_row.size; }
    std::int64_t GetSizeOnDisk() const { return m_row.sizeOnDisk; }
    double GetShare() const { return m_row.share; }

    void Update(const FileTypeRow& row)
    {
        std::set<Kestrum::Common::FieldId> changed;
        if (row.files != m_row.files)
            changed.insert(FIELD_TYPE_FILES);
        if (row.size != m_row.size)
            changed.insert(FIELD_TYPE_SIZE);
        if (row.sizeOnDisk != m_row.sizeOnDisk)
            changed.insert(FIELD_TYPE_SIZE_ON_DISK);
        if (row.share != m_row.share)
            changed.insert(FIELD_TYPE_SHARE);
        m_row = row;
        if (!changed.empty())
            NotifyFieldsChanged(changed);
    }

private:
    std::string m_extension;
    FileTypeRow m_row;
};

KESTRUM_REGISTER_FIELDS(CFileTypeObject)
{
    map.Add(FIELD_EXTENSION, KESTRUM_FIELD(FIELD_EXTENSION, "Extension", &CFileTypeObject::GetExtension, 0, nullptr));
    map.Add(FIELD_TYPE_FILES, KESTRUM_FIELD(FIELD_TYPE_FILES, "Files", &CFileTypeObject::GetFiles, 0, nullptr));
    map.Add(FIELD_TYPE_SIZE, KESTRUM_FIELD(FIELD_TYPE_SIZE, "Size", &CFileTypeObject::GetSize, 0, nullptr));
    map.Add(FIELD_TYPE_SIZE_ON_DISK,
            KESTRUM_FIELD(FIELD_TYPE_SIZE_ON_DISK, "Size on disk", &CFileTypeObject::GetSizeOnDisk, 0, nullptr));
    map.Add(FIELD_TYPE_SHARE, KESTRUM_FIELD(FIELD_TYPE_SHARE, "Share", &CFileTypeObject::GetShare, 0, new CPercentFormat));
}

namespace {
// The Extension column starts with a square of the extension's treemap colour.
class CSwatchPainter final : public CCustomDraw {
public:
    explicit CSwatchPainter(const Treemap::CPalette& palette) : CCustomDraw(true), m_palette(palette) {}

    void PaintCell(CellDrawContext& context, PaintState& state, PaintFlags flags) override
    {
        const auto* row = RowOf(context);
        if (!row) {
            CCustomDraw::PaintCell(context, state, flags);
            return;
        }
        const int side = context.fullRect.Height();
        CellDrawContext cell = context;
        cell.leftMargin += side;
        CCustomDraw::PaintCell(cell, state, flags);
        const Treemap::Rgb rgb = m_palette.ColourOfExtension(row->Extension());
        const int inset = std::max(2, side / 5);
        const CRect swatch{context.fullRect.left + inset, context.fullRect.top + inset,
                           context.fullRect.left + side - inset, context.fullRect.bottom - inset};
        state.dc->PushClip();
        state.dc->IntersectClip(context.visibleRect.Intersected(context.repaintRect));
        state.dc->FillSolid(swatch, MakeColor(int(rgb >> 16) & 255, int(rgb >> 8) & 255, int(rgb) & 255));
        state.dc->FrameRect(swatch, MakeColor(96, 96, 96));
        state.dc->PopClip();
    }
    int GetCellWidth(CellDrawContext& context, PaintState& state, PaintFlags flags) override
    {
        const int width = CCustomDraw::GetCellWidth(context, state, flags);
        return RowOf(context) ? width + (context.fullRect.Height() > 0 ? context.fullRect.Height() : 16) : width;
    }

private:
    static const CFileTypeObject* RowOf(const CellDrawContext& context)
    {
        if (!context.column || context.column->GetFieldId() != FIELD_EXTENSION || !context.row)
            return nullptr;
        return dynamic_cast<const CFileTypeObject*>(context.row->object);
    }
    const Treemap::CPalette& m_palette;
};
} // namespace

CFileTypesWindow::CFileTypesWindow(CVelmoraDoc& document, CVelmoraView& view, CFilterBar& filter, QWidget* parent)
    : QWidget(parent, Qt::Window), m_document(document), m_view(view), m_filter(filter), m_grid(new CGrid(this))
{
    setWindowTitle("File types - Velmora");
    m_countTimer.setSingleShot(true);
    connect(&m_countTimer, &QTimer::timeout, this, [this] { ContinueCount(); });
    resize(560, 420);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid);
    m_grid->setAccessibleName("File types");
    m_grid->setAccessibleDescription("Each extension with its files and sizes; Enter filters the main window by it");
    auto* header = new CHeader(true);
    const std::pair<FileTypeField, const char*> columns[] = {{FIELD_EXTENSION, "Extension"},
                                                             {FIELD_TYPE_FILES, "Files"},
                                                             {FIELD_TYPE_SIZE, "Size"},
                                                             {FIELD_TYPE_SIZE_ON_DISK, "Size on disk"},
                                                             {FIELD_TYPE_SHARE, "Share"}};
    for (const auto& [field, caption] : columns)
        header->AddColumn(new CColumn(field, caption, field == FIELD_EXTENSION ? 130 : 100, AlignAuto, false, -1, -1,
                                      nullptr, nullptr, nullptr, ""));
    header->SetSortInfo(0, CSortInfo(FIELD_TYPE_SIZE, true));
    m_grid->SetHeader(header);
    m_grid->SetCustomDraw(new CSwatchPainter(m_palette));
    m_grid->EnableNotifications(false);
    m_grid->installEventFilter(this);
    m_grid->viewport()->installEventFilter(this);
}

CFileTypesWindow::~CFileTypesWindow()
{
    // The grid holds the rows' objects: it lets go of them first.
    m_grid->Clear();
    // The grid is destroyed after this body, with the window's children:
    // its last events must not reach this filter.
    m_grid->viewport()->removeEventFilter(this);
    m_grid->removeEventFilter(this);
}

QAction* CFileTypesWindow::AddCommand(QMenu* view)
{
    QAction* open = view->addAction("File t&ypes", this, [this] { Open(); });
    open->setStatusTip("List the extensions with their files and sizes");
    return open;
}

void CFileTypesWindow::Open()
{
    show();
    raise();
    activateWindow();
    if (m_follower.MayRead())
        Recount();
}

void CFileTypesWindow::Tick()
{
    const CWalkFollower::Tick tick = m_follower.Next(!m_view.IsIdle());
    if (!tick.read)
        return;
    if (tick.thawed)
        m_counted = false;
    if (!isVisible())
        return;
    const bool due = Kestrum::GUI::GridClockNow() - m_countedAt >= kRecountInterval;
    if (tick.ended || !m_counted)
        Recount();
    else if (tick.walking && due)
        StartCount();
}

void CFileTypesWindow::TreeChanging(CFolderData* folder)
{
    StopCount(); // it holds folders that are going
    m_follower.TreeChanging(folder != nullptr);
    m_counted = m_counted && folder != nullptr; // a new walk: counted afresh
}

const Treemap::CPalette& CFileTypesWindow::Colours()
{
    if (!m_follower.MayRead())
        return m_palette;
    const bool idle = m_view.IsIdle();
    const bool due = Kestrum::GUI::GridClockNow() - m_countedAt >= kRecountInterval;
    if (!m_counted)
        Recount();
    else if (!m_countedIdle && (idle || due))
        StartCount(false); // the colours of the last count meanwhile; asked within a treemap's slice
    return m_palette;
}

void CFileTypesWindow::Close()
{
    StopCount();
    m_follower.Close();
}

void CFileTypesWindow::Recount()
{
    StopCount();
    CFileTypeTable table;
    for (CFolderData* drive : m_document.Scanner().GetDrives())
        if (drive && !m_document.Scanner().IsNestedRoot(drive)) // counted inside its outer root
            table.AddTree(*drive);
    Counted(std::move(table), m_view.IsIdle());
}

void CFileTypesWindow::StartCount(bool firstSliceNow)
{
    if (m_counting || !m_follower.MayRead())
        return;
    m_counting = std::make_unique<CFileTypeTable>();
    m_countingIdle = m_view.IsIdle();
    for (CFolderData* drive : m_document.Scanner().GetDrives())
        if (drive && !m_document.Scanner().IsNestedRoot(drive))
            m_counting->BeginTree(*drive);
    m_countedAt = Kestrum::GUI::GridClockNow(); // the next count is due from now
    if (firstSliceNow)
        ContinueCount();
    else
        m_countTimer.start(0);
}

void CFileTypesWindow::ContinueCount()
{
    if (!m_counting)
        return;
    const std::int64_t start = Kestrum::GUI::GridClockNow();
    // The clock ends a slice; the count of steps ends one where it does not
    // move (a test's clock).
    bool whole = false;
    for (int step = 0; step < 100 && !whole; ++step) {
        whole = m_counting->ContinueTree(64);
        if (Kestrum::GUI::GridClockNow() - start >= kSliceMs)
            break;
    }
    if (!whole) {
        m_countTimer.start(0);
        return;
    }
    std::unique_ptr<CFileTypeTable> table = std::move(m_counting);
    Counted(std::move(*table), m_countingIdle);
}

void CFileTypesWindow::StopCount()
{
    m_counting.reset();
    m_countTimer.stop();
}

void CFileTypesWindow::Counted(CFileTypeTable&& table, bool idle)
{
    m_table = std::move(table);
    m_countedAt = Kestrum::GUI::GridClockNow();
    m_counted = true;
    m_countedIdle = idle;
    if (m_palette.Assign(m_table)) {
        m_grid->viewport()->update(); // the swatches
        if (onColoursChanged)
            onColoursChanged();
    }
    std::map<std::string, std::unique_ptr<CFileTypeObject>> rows;
    for (const FileTypeRow& row : m_table.Rows()) {
        auto found = m_rows.find(row.extension);
        std::unique_ptr<CFileTypeObject> object;
        if (found != m_rows.end()) {
            object = std::move(found->second);
            m_rows.erase(found);
        } else {
            object = std::make_unique<CFileTypeObject>(row.extension);
            m_grid->Add(object.get());
        }
        object->Update(row);
        rows.emplace(row.extension, std::move(object));
    }
    // Extensions a refresh took away.
    for (auto& [extension, object] : m_rows)
        if (const HITEM item = m_grid->GetItem(object.get()))
            m_grid->Remove(item);
    m_rows = std::move(rows);
    m_grid->Resort();
}

void CFileTypesWindow::Choose(Kestrum::Common::CDataObject* object)
{
    auto* row = dynamic_cast<CFileTypeObject*>(object);
    if (!row)
        return;
    // The table folds case, so the filter does too.
    m_filter.CaseBox()->setChecked(false);
    if (row->Extension().empty()) {
        m_filter.SetPattern(R"(^\.?[^.]*$)");
        m_filter.RegexBox()->setChecked(true);
    } else {
        // A glob's special characters in an extension stand for themselves.
        QString pattern = "*.";
        for (const QChar c : QString::fromStdString(row->Extension()))
            pattern += c == '*' || c == '?' || c == '[' ? QString("[%1]").arg(c) : QString(c);
        m_filter.SetPattern(pattern);
    }
    if (QWidget* frame = parentWidget())
        frame->activateWindow();
}

bool CFileTypesWindow::eventFilter(QObject* watched, QEvent* event)
{
    const bool enter = event->type() == QEvent::KeyPress &&
                       (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return ||
                        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter);
    if (enter) {
        if (const int row = m_grid->GetFocusedRow(); row >= 0)
            Choose(m_grid->GetObject(m_grid->GetItemAt(row, m_grid->GetFocusedArea())));
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick && watched == m_grid->viewport()) {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (const HITEM item = m_grid->HitTest({at.x(), at.y()})) {
            Choose(m_grid->GetObject(item));
            return true;
        }
    }
    return false;
}

} // namespace Velmora
