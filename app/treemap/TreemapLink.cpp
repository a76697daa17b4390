#include "app/treemap/TreemapLink.h"

#include <QAction>
#include <algorithm>
#include <QEvent>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QPainter>
#include <QMenu>
#include <QSettings>
#include <QSplitter>

#include "app/FileSystemData.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "app/treemap/TreemapView.h"
#include "gui/header/Header.h"

namespace Velmora {

using Kestrum::Common::CDataObject;

CTreemapLink::CTreemapLink(CTreemapView& treemap, CVelmoraView& view, CVelmoraDoc& document)
    : m_treemap(treemap), m_view(view), m_document(document)
{
    m_view.Grid().installEventFilter(this);
    m_view.Grid().viewport()->installEventFilter(this);
    m_treemap.AttachTooltip(m_view.Grid());
    m_treemap.onActivated = [this](CDataObject* object) {
        RevealRow(object);
        FollowGrid();
    };
    FollowGrid();
    m_view.Grid().SetExtraPrintPages(this);
}

CTreemapLink::~CTreemapLink()
{
    if (m_view.Grid().GetExtraPrintPages() == this)
        m_view.Grid().SetExtraPrintPages(nullptr);
}

int CTreemapLink::GetExtraPageCount() { return m_treemap.isVisibleTo(m_treemap.parentWidget()) ? 1 : 0; }

void CTreemapLink::PaintExtraPage(int, QPainter& painter, const QRect& rect)
{
    QStringList shown;
    if (m_treemap.ZoomedFolder())
        shown << CVelmoraView::FullNameOf(m_treemap.ZoomedFolder());
    else
        for (CFolderData* root : m_treemap.Roots())
            shown << CVelmoraView::FullNameOf(root);
    // In the grid's pixels, as the rows' pages are: a pixel size, not points.
    QFont font = m_view.Grid().GetGridFont();
    font.setPixelSize(std::max(1, QFontMetrics(font).height()));
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int line = QFontMetrics(font).height();
    painter.drawText(QRect(rect.left(), rect.top(), rect.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(font).elidedText("Treemap of " + shown.join(", "), Qt::ElideMiddle, rect.width()));
    // The picture as it is on the screen, as large as fits below the line.
    const QImage& picture = m_treemap.CurrentPicture();
    const QRect room = rect.adjusted(0, line + line / 2, 0, 0);
    if (picture.isNull() || room.isEmpty())
        return;
    QSize size = picture.size();
    size.scale(room.size(), Qt::KeepAspectRatio);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(room.topLeft(), size), picture);
}

bool CTreemapLink::eventFilter(QObject*, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::Wheel:
        // Looked at once the grid has handled it; one look per burst.
        if (!m_followPosted) {
            m_followPosted = true;
            QMetaObject::invokeMethod(this, [this] {
                m_followPosted = false;
                FollowGrid();
            }, Qt::QueuedConnection);
        }
        break;
    default: break;
    }
    return false;
}

void CTreemapLink::TakeRoots()
{
    std::vector<CFolderData*> roots;
    for (CFolderData* drive : m_document.Scanner().GetDrives())
        if (!m_document.Scanner().IsNestedRoot(drive)) // inside another root: drawn there
            roots.push_back(drive);
    m_treemap.SetRoots(std::move(roots));
}

void CTreemapLink::Tick()
{
    const CWalkFollower::Tick tick = m_follower.Next(!m_view.IsIdle());
    if (!tick.read || !m_treemap.isVisible())
        return;
    FollowGrid();
    TakeRoots();
    if (tick.ended)
        m_treemap.Rebuild();
    else if (tick.walking)
        m_treemap.RelayoutIfDue();
}

void CTreemapLink::TreeChanging(CFolderData* folder)
{
    // A zoom at or below the refreshed folder shows the folder itself: the
    // folders below it are deleted. A zoom elsewhere stays.
    CFolderData* zoom = folder ? m_treemap.ZoomedFolder() : nullptr;
    for (CFolderData* up = zoom; up; up = up->GetParent())
        if (up == folder) {
            zoom = folder;
            break;
        }
    m_treemap.Forget();
    if (zoom)
        m_treemap.ZoomTo(zoom);
    m_follower.TreeChanging(folder != nullptr);
}

void CTreemapLink::Close()
{
    m_treemap.Forget();
    m_follower.Close();
}

void CTreemapLink::RevealRow(CDataObject* object)
{
    if (m_follower.MayRead())
        m_view.RevealRow(object);
}

void CTreemapLink::FollowGrid()
{
    if (!m_follower.MayRead())
        return;
    Kestrum::GUI::CGrid& grid = m_view.Grid();
    const std::int32_t field = grid.GetSortLevelCount() > 0 ? grid.GetSortInfo(0).GetFieldId() : FIELD_SIZE;
    m_treemap.SetAreaField(field == FIELD_SIZE_ON_DISK ? FIELD_SIZE_ON_DISK : FIELD_SIZE);
    CDataObject* focused = m_view.FocusedObject();
    if (focused != m_treemap.FocusedObject())
        m_treemap.SetFocusedObject(focused);
}

void CTreemapLink::Show(bool shown)
{
    m_treemap.setVisible(shown);
    // Shown for the first time, it takes two fifths of the height.
    auto* splitter = qobject_cast<QSplitter*>(m_treemap.parentWidget());
    if (shown && splitter && splitter->count() == 2 && splitter->sizes().value(1) < 2 * m_treemap.minimumHeight()) {
        // Before the window is laid out the sizes are 0: the splitter
        // shares what it gets by these weights then.
        const int total = std::max(1000, splitter->sizes().value(0) + splitter->sizes().value(1));
        splitter->setSizes({total - total * 2 / 5, total * 2 / 5});
    }
    if (m_show)
        m_show->setChecked(shown);
    if (shown && m_follower.MayRead())
        TakeRoots(); // laid out when it is painted
}

void CTreemapLink::AddCommands(QMenu* view, QMenu* settings)
{
    view->addSeparator();
    m_show = view->addAction("Tree&map");
    m_show->setCheckable(true);
    m_show->setShortcut(QKeySequence(Qt::Key_F9));
    m_show->setStatusTip("Show where the space goes, below the tree");
    QObject::connect(m_show, &QAction::triggered, &m_treemap, [this](bool on) { Show(on); });
    QAction* zoomIn = view->addAction("Zoom &in", &m_treemap, [this] {
        m_treemap.ZoomInto(m_treemap.FocusedObject());
    });
    zoomIn->setStatusTip("Show the treemap of the focused row's folder");
    QAction* zoomOut = view->addAction("&Zoom out", &m_treemap, [this] { m_treemap.ZoomOut(); });
    zoomOut->setStatusTip("Show the treemap one folder up");
    QAction* home = view->addAction("Treemap &home", &m_treemap, [this] { m_treemap.ZoomHome(); });
    home->setStatusTip("Show the treemap of everything walked");
    // The File menu keeps to the grid's rows; the picture is saved from here.
    QAction* save = view->addAction("Save treemap as ima&ge...");
    save->setStatusTip("Save the treemap's picture as a PNG file");
    QObject::connect(save, &QAction::triggered, &m_treemap, [this] {
        QString name = QFileDialog::getSaveFileName(&m_treemap, "Save treemap as image",
                                                    QDir::home().filePath("Velmora treemap.png"), "PNG images (*.png)");
        if (name.isEmpty())
            return;
        if (!name.endsWith(".png", Qt::CaseInsensitive))
            name += ".png";
        SaveImage(name);
    });
    m_cushions = settings->addAction("Treemap c&ushions");
    m_cushions->setCheckable(true);
    m_cushions->setChecked(m_treemap.GetStyle() == CTreemapView::Style::Cushion);
    m_cushions->setStatusTip("Shade the treemap's tiles as cushions, or flat with frames");
    QObject::connect(m_cushions, &QAction::triggered, &m_treemap, [this](bool on) {
        m_treemap.SetStyle(on ? CTreemapView::Style::Cushion : CTreemapView::Style::Flat);
    });
    for (QAction* action : {zoomIn, zoomOut, home, save})
        QObject::connect(view, &QMenu::aboutToShow, action, [this, action] { action->setEnabled(m_treemap.isVisible()); });
    m_show->setChecked(m_treemap.isVisibleTo(m_treemap.parentWidget()));
}

void CTreemapLink::SaveSettings(QSettings& settings) const
{
    settings.setValue("treemap", m_treemap.isVisibleTo(m_treemap.parentWidget()));
    settings.setValue("treemapCushions", m_treemap.GetStyle() == CTreemapView::Style::Cushion);
    if (auto* splitter = qobject_cast<QSplitter*>(m_treemap.parentWidget()))
        settings.setValue("treemapSplitter", splitter->saveState());
}

void CTreemapLink::LoadSettings(QSettings& settings)
{
    const bool cushions = settings.value("treemapCushions", true).toBool();
    m_treemap.SetStyle(cushions ? CTreemapView::Style::Cushion : CTreemapView::Style::Flat);
    if (m_cushions)
        m_cushions->setChecked(cushions);
    if (auto* splitter = qobject_cast<QSplitter*>(m_treemap.parentWidget());
        splitter && settings.contains("treemapSplitter"))
        splitter->restoreState(settings.value("treemapSplitter").toByteArray());
    Show(settings.value("treemap", false).toBool());
}

bool CTreemapLink::SaveImage(const QString& file) { return m_treemap.SaveImage(file); }

} // namespace Velmora
