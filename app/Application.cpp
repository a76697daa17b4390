#include "app/Application.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QTimer>
#include <QTimerEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "app/CommandLine.h"
#include "app/MainFrame.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"

// The resources live in a static library: their registration is called for,
// from the global namespace as Qt requires.
static void InitializeVelmoraResources() { Q_INIT_RESOURCE(velmora); }

namespace Velmora {

using namespace Kestrum::GUI;

QStringList DesktopIconThemePaths()
{
    QStringList paths;
    const auto add = [&](const QString& path) {
        if (!path.isEmpty() && QFileInfo(path).isDir() && !paths.contains(path))
            paths << path;
    };
    add(QDir::homePath() + "/.icons");
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        dataHome = QDir::homePath() + "/.local/share";
    add(dataHome + "/icons");
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = "/usr/local/share:/usr/share";
    for (const QString& dir : dataDirs.split(':', Qt::SkipEmptyParts))
        add(dir + "/icons");
    return paths;
}

void SetUpApplication()
{
    QApplication::setApplicationName("Velmora");
    QApplication::setApplicationVersion("1.0");
    // A desktop session's platform theme gives these paths; offscreen there
    // is none, and every file would get the generic icon.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& path : DesktopIconThemePaths())
        if (!paths.contains(path))
            paths << path;
    QIcon::setThemeSearchPaths(paths);
    QIcon::setThemeName("Adwaita");
    QIcon::setFallbackThemeName("hicolor");
    QApplication::setWindowIcon(ApplicationIcon());
}

QIcon ApplicationIcon()
{
    static const QIcon icon = [] {
        InitializeVelmoraResources();
        QIcon made;
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
            made.addFile(QString(":/velmora/icons/velmora-%1.png").arg(size), QSize(size, size));
        return made;
    }();
    return icon;
}

CAboutBox::CAboutBox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("About Velmora...");
    setWindowIcon(ApplicationIcon());
    setObjectName("about");
    m_icon = new QLabel;
    const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this) * 3 / 2;
    m_icon->setPixmap(ApplicationIcon().pixmap(side, side));
    m_icon->setAlignment(Qt::AlignTop);
    m_text = new QLabel(kVersionText);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(m_icon);
    row->addSpacing(12);
    row->addWidget(m_text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    // The caption must fit the title bar next to its buttons; the window
    // manager's title font is unknown, so the bold application font stands in.
    setMinimumSize(std::max(minimumSizeHint().width(), CaptionWidth()), minimumSizeHint().height());
    resize(minimumSize());
    setSizeGripEnabled(false);
}

int CAboutBox::CaptionWidth() const
{
    QFont title = QApplication::font();
    title.setBold(true);
    const QFontMetrics metrics(title);
    // Icon, close, maximize and minimize buttons: four squares of the title height.
    return metrics.horizontalAdvance(windowTitle()) + 4 * (metrics.height() + 12) + 24;
}

CScreenshot::CScreenshot(CMainFrame& frame, QString file, double afterSeconds, QString pdf, int expandLevels)
    : QObject(&frame), m_frame(frame), m_file(std::move(file)), m_pdf(std::move(pdf)), m_expandLevels(expandLevels),
      m_deadline(afterSeconds > 0 ? static_cast<qint64>(afterSeconds * 1000) : -1)
{
    m_elapsed.start();
    m_timer = startTimer(100);
}

bool CScreenshot::IsWalkShown() const
{
    return m_frame.Document().Scanner().IsFinished() && !m_frame.View().HasWaitingRows();
}

bool CScreenshot::IsHighlightSettled() const
{
    CGrid& grid = m_frame.View().Grid();
    if (!grid.IsUpdateHighlightEnabled())
        return true;
    const std::int64_t duration = grid.GetUpdateHighlight().duration;
    CHeader* header = grid.GetHeader();
    std::vector<std::int32_t> fields = {-1};
    for (int i = 0; header && i < header->GetVisibleColumnCount(); ++i)
        fields.push_back(header->GetVisibleColumnAt(i)->GetFieldId());
    const int last = grid.GetLastVisibleRow(AreaScrollable);
    for (int row = std::max(0, grid.GetTopRow()); row <= last; ++row) {
        const HITEM item = grid.GetItemAt(row, AreaScrollable);
        for (const std::int32_t field : fields) {
            const std::int64_t since = grid.GetTimeSinceChange(item, field);
            if (since >= 0 && since < duration)
                return false;
        }
    }
    return true;
}

namespace {
// Opens the rows of the first `levels` levels under `parent`.
void ExpandLevels(CGrid& grid, HITEM parent, int levels)
{
    if (levels <= 0)
        return;
    std::vector<HITEM> children;
    grid.GetChildren(parent, children, false);
    for (HITEM child : children) {
        if (!grid.HasChildren(child))
            continue;
        grid.Expand(child, false);
        ExpandLevels(grid, child, levels - 1);
    }
}
} // namespace

void CScreenshot::Arrange()
{
    m_arranged = true;
    CGrid& grid = m_frame.View().Grid();
    const bool saves = !m_file.isEmpty() || !m_pdf.isEmpty();
    if (saves)
        grid.SetSortInfo(0, CSortInfo(2, true), true);
    if (m_expandLevels >= 0) {
        ExpandLevels(grid, GRID_ROOT, m_expandLevels);
    } else {
        std::vector<HITEM> drives;
        grid.GetChildren(GRID_ROOT, drives, false);
        for (HITEM drive : drives) {
            grid.Expand(drive, false);
            std::vector<HITEM> folders;
            grid.GetChildren(drive, folders, false);
            for (std::size_t i = 0; i < folders.size() && i < 2; ++i)
                grid.Expand(folders[i], false);
        }
    }
    grid.SetTopRow(0);
    if (!saves) {
        killTimer(m_timer);
        deleteLater();
    }
}

void CScreenshot::Save()
{
    killTimer(m_timer);
    m_frame.UpdateStatus(); // the picture shows the status of its moment
    QCoreApplication::processEvents();
    bool saved = true;
    QString why;
    if (!m_pdf.isEmpty() && !m_frame.ExportPdf(m_pdf, &why)) {
        std::fprintf(stderr, "velmora: cannot write %s: %s\n", m_pdf.toLocal8Bit().constData(), why.toLocal8Bit().constData());
        saved = false;
    }
    if (!m_file.isEmpty() && !m_frame.grab().save(m_file, "PNG")) {
        std::fprintf(stderr, "velmora: cannot write %s\n", m_file.toLocal8Bit().constData());
        saved = false;
    }
    QApplication::exit(saved ? 0 : 1);
}

void CScreenshot::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timer)
        return;
    const bool timeUp = m_deadline >= 0 && m_elapsed.elapsed() >= m_deadline;
    if (!m_arranged) {
        if (IsWalkShown() || timeUp)
            Arrange(); // the picture follows at the next turn, once painted
        return;
    }
    if (timeUp || IsHighlightSettled())
        Save();
}

void ReportLayoutWhenShown(CMainFrame& frame)
{
    auto* poll = new QTimer(&frame);
    QObject::connect(poll, &QTimer::timeout, &frame, [&frame, poll] {
        if (!frame.Document().Scanner().IsFinished() || frame.View().HasWaitingRows())
            return;
        poll->deleteLater();
        CGrid& grid = frame.View().Grid();
        const QPoint origin = grid.viewport()->mapToGlobal(QPoint(0, 0));
        CHeader* header = grid.GetHeader();
        std::printf("layout body %d %d %d %d header %d row %d columns", origin.x(), origin.y(), grid.viewport()->width(),
                    grid.viewport()->height(), header ? header->GetHeight() : 0, grid.GetFontRowHeight(AreaScrollable));
        if (header)
            for (CColumn* column : header->GetVisibleColumns()) {
                const CRect rect = header->GetColumnRect(&grid, column->GetFieldId());
                std::string caption = column->GetCaption();
                std::replace(caption.begin(), caption.end(), ' ', '_');
                std::printf(" %s %d %d", caption.c_str(), rect.left, rect.right);
            }
        std::printf("\n");
        std::fflush(stdout);
    });
    poll->start(100);
}

} // namespace Velmora
