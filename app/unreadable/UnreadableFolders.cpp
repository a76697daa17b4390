#include "app/unreadable/UnreadableFolders.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "app/FileSystemData.h"
#include "app/PathTooltip.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "common/DynamicObject.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"

namespace Velmora {

using Kestrum::Common::CDynamicObject;
using namespace Kestrum::GUI;

namespace {
constexpr std::int32_t kFolderField = 0;
constexpr std::int32_t kReasonField = 1;
} // namespace

CUnreadableFolders::CUnreadableFolders(CVelmoraView& view, CVelmoraDoc& document, QWidget* parent)
    : QWidget(parent, Qt::Window), m_view(view), m_document(document), m_grid(new CGrid(this))
{
    setObjectName("unreadableFolders");
    setWindowTitle("Unreadable folders - Velmora");
    auto* header = new CHeader(true);
    header->AddColumn(new CColumn(kFolderField, "Folder", 420, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
    header->AddColumn(new CColumn(kReasonField, "Reason", 260, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
    header->SetSortInfo(0, CSortInfo(kFolderField, false));
    m_grid->SetHeader(header);
    m_grid->SetGridFont(m_view.Grid().GetGridFont());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid);
    m_grid->installEventFilter(this);
    m_grid->viewport()->installEventFilter(this);
    resize(720, 280);
}

// The grid goes first: its rows point at the objects.
CUnreadableFolders::~CUnreadableFolders()
{
    Forget();
    // A grid being destroyed still sends events; they must not reach a
    // filter that asks the half-destroyed grid for its viewport.
    m_grid->viewport()->removeEventFilter(this);
    m_grid->removeEventFilter(this);
    delete m_grid;
}

void CUnreadableFolders::Open()
{
    show();
    raise();
    activateWindow();
    Refresh();
}

void CUnreadableFolders::Forget()
{
    std::vector<HITEM> items;
    m_grid->GetAllItems(MaskBoth, items);
    for (const HITEM item : items)
        m_grid->Remove(item);
    m_rows.clear();
}

void CUnreadableFolders::Refresh()
{
    if (!isVisible())
        return;
    Forget();
    std::vector<CFolderData*> stack = m_document.Scanner().GetDrives();
    while (!stack.empty()) {
        CFolderData* folder = stack.back();
        stack.pop_back();
        if (folder->IsUnreadable()) {
            Row& row = m_rows.emplace_back(Row{std::make_unique<CDynamicObject>(false), folder});
            row.object->SetStlString(kFolderField, CVelmoraView::FullNameOf(folder).toStdString());
            row.object->SetStlString(kReasonField, CPathTooltip::ReadErrorText(folder->GetReadError()).toStdString());
            m_grid->Add(row.object.get());
        }
        for (CFolderData* child : folder->GetFolders())
            stack.push_back(child);
    }
}

bool CUnreadableFolders::Reveal(HITEM item)
{
    Kestrum::Common::CDataObject* object = item ? m_grid->GetObject(item) : nullptr;
    const auto row = std::find_if(m_rows.begin(), m_rows.end(), [object](const Row& r) { return r.object.get() == object; });
    if (!object || row == m_rows.end() || !m_view.RevealRow(row->folder))
        return false;
    m_view.window()->activateWindow();
    m_view.Grid().setFocus();
    return true;
}

bool CUnreadableFolders::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_grid->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        return Reveal(m_grid->HitTest({at.x(), at.y()}));
    }
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return Reveal(m_grid->GetItemAt(m_grid->GetFocusedRow(), AreaScrollable));
    }
    return false;
}

} // namespace Velmora
