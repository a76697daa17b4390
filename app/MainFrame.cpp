#include "app/MainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "app/Application.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"

namespace Velmora {

namespace {
QString HumanBytes(std::int64_t bytes)
{
    const char* units[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    return unit == 0 ? QString("%1 bytes").arg(bytes) : QString("%1 %2").arg(value, 0, 'f', 1).arg(units[unit]);
}

// Toolbar pictures drawn here: a glyph on a rounded square.
QIcon GlyphIcon(const QString& glyph)
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(235, 240, 248));
    painter.setPen(QColor(120, 140, 170));
    painter.drawRoundedRect(QRectF(1.5, 1.5, 21, 21), 4, 4);
    painter.setPen(QColor(30, 60, 120));
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(glyph.size() > 1 ? 10 : 15);
    painter.setFont(font);
    painter.drawText(QRect(0, 0, 24, 24), Qt::AlignCenter, glyph);
    return QIcon(pixmap);
}
} // namespace

CMainFrame::CMainFrame(std::unique_ptr<CVelmoraDoc> document) : m_document(std::move(document))
{
    setWindowTitle("Kestrum - Velmora");
    setWindowIcon(ApplicationIcon());
    m_view = new CVelmoraView(*m_document, this);
    setCentralWidget(m_view);

    QMenu* file = menuBar()->addMenu("&File");
    QAction* print = AddCommand(file, ID_PRINT, "&Print...", "Print the rows of the grid", "");
    print->setShortcut(QKeySequence::Print);
    QAction* preview = AddCommand(file, ID_PRINT_PREVIEW, "Print Pre&view", "Show the pages as they will be printed", "");
    QAction* exportPdf = AddCommand(file, ID_EXPORT_PDF, "E&xport to PDF...", "Save the rows of the grid as a PDF file", "");
    file->addSeparator();
    file->addAction("E&xit", this, &QWidget::close);
    // The footer of printed pages names the application.
    m_view->Grid().SetPrintTitle("Velmora");
    connect(print, &QAction::triggered, this, [this] { m_view->Grid().Print(); });
    connect(preview, &QAction::triggered, this, [this] { m_view->Grid().PrintPreview(); });
    connect(exportPdf, &QAction::triggered, this, [this] {
        QString name = QFileDialog::getSaveFileName(this, "Export to PDF", QDir::home().filePath("Velmora.pdf"),
                                                    "PDF files (*.pdf)");
        if (name.isEmpty())
            return;
        if (QFileInfo(name).suffix().isEmpty())
            name += ".pdf";
        ExportPdf(name);
    });
    QMenu* settings = m_settings = menuBar()->addMenu("&Settings");
    QToolBar* toolbar = addToolBar("Toolbar");
    toolbar->setObjectName("toolbar");
    toolbar->setIconSize(QSize(24, 24));
    QAction* increase = AddCommand(settings, ID_INCREASE_FONT, "&Increase font", "Increase font size", "A+");
    QAction* decrease = AddCommand(settings, ID_DECREASE_FONT, "&Decrease font", "Decrease font size", "A-");
    QAction* expand = AddCommand(settings, ID_EXPAND_ALL, "&Expand all", "Expands all rows", "+");
    QAction* collapse = AddCommand(settings, ID_COLLAPSE_ALL, "&Collapse all", "Collapses all rows", "-");
    QAction* lines = AddCommand(settings, ID_SHOW_LINES, "&Show lines", "Show horizontal and vertical lines", "#");
    QAction* columns = AddCommand(settings, ID_HEADER_COLUMNS, "&Header columns", "Select columns", "||");
    lines->setCheckable(true);
    m_lines = lines;
    // The check mark follows the grid's two line switches, whoever set them.
    connect(settings, &QMenu::aboutToShow, this, [this] { UpdateCommands(); });
    connect(toolbar, &QToolBar::visibilityChanged, this, [this](bool visible) {
        if (visible)
            UpdateCommands();
    });
    for (QAction* action : {decrease, increase, expand, collapse, lines, columns})
        toolbar->addAction(action);
    connect(increase, &QAction::triggered, this, [this] { m_view->IncreaseFont(); });
    connect(decrease, &QAction::triggered, this, [this] { m_view->DecreaseFont(); });
    connect(expand, &QAction::triggered, this, [this] { m_view->ExpandAll(); });
    connect(collapse, &QAction::triggered, this, [this] { m_view->CollapseAll(); });
    connect(columns, &QAction::triggered, this, [this] { m_view->Grid().ShowHeaderConfiguration(); });
    connect(lines, &QAction::triggered, this, [this] {
        m_view->ToggleLines();
        UpdateCommands();
    });
    QMenu* view = menuBar()->addMenu("&View");
    QAction* showToolbar = toolbar->toggleViewAction();
    showToolbar->setText("&Toolbar");
    view->addAction(showToolbar);
    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction("&About...", this, [this] {
        CAboutBox about(this);
        about.exec();
    });

    m_message = new QLabel;
    statusBar()->addWidget(m_message, 1);
    m_unreadable = new QLabel;
    m_unreadable->setObjectName("unreadable");
    statusBar()->addPermanentWidget(m_unreadable);
    const QFontMetrics metrics(statusBar()->font());
    for (QLabel*& pane : m_lockPanes) {
        pane = new QLabel;
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(metrics.horizontalAdvance("SCRL") + 8); // the panes keep their place when empty
        statusBar()->addPermanentWidget(pane);
    }
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] { UpdateStatus(); });
    timer->start(250);
    m_elapsed.start();
    m_document->Start();
    // "Scanning" from the first moment, not only after the first tick.
    UpdateStatus();
    UpdateCommands();
}

CMainFrame::~CMainFrame()
{
    Shutdown();
    // The view goes before the document whose tree its rows showed.
    delete takeCentralWidget();
    m_view = nullptr;
    m_document.reset();
}

QAction* CMainFrame::AddCommand(QMenu* menu, int id, const QString& text, const QString& prompt, const QString& icon)
{
    QAction* action = icon.isEmpty() ? menu->addAction(text) : menu->addAction(GlyphIcon(icon), text);
    action->setData(id);
    action->setStatusTip(prompt);
    action->setToolTip(prompt);
    return action;
}

QAction* CMainFrame::Command(int id) const
{
    for (QAction* action : findChildren<QAction*>())
        if (action->data().toInt() == id)
            return action;
    return nullptr;
}

void CMainFrame::UpdateStatus()
{
    if (m_shutDown)
        return;
    const ScanProgress& progress = m_view->Progress();
    // Ready once the walk has ended and its last rows are in.
    if (m_document->Scanner().IsFinished() && !m_view->HasWaitingRows()) {
        m_message->setText("Ready");
    } else {
        m_message->setText(QString("Scanning: %1 folders, %2 files, %3 - %4 s")
                               .arg(progress.folders.load())
                               .arg(progress.files.load())
                               .arg(HumanBytes(progress.bytes.load()))
                               .arg(m_elapsed.elapsed() / 1000));
    }
    const std::int64_t unreadable = m_document->Scanner().GetUnreadableCount();
    m_unreadable->setText(unreadable == 0 ? QString()
                                          : QString(unreadable == 1 ? "%1 folder could not be read"
                                                                    : "%1 folders could not be read")
                                                .arg(unreadable));
    m_unreadable->setVisible(unreadable != 0);
    const std::optional<LockKeyState> keys = ReadLockKeys();
    m_lockPanes[0]->setText(keys && keys->capsLock ? "CAP" : "");
    m_lockPanes[1]->setText(keys && keys->numLock ? "NUM" : "");
    m_lockPanes[2]->setText(keys && keys->scrollLock ? "SCRL" : "");
    m_view->FitSizeColumn();
    UpdateCommands();
}

void CMainFrame::UpdateCommands()
{
    if (m_shutDown)
        return;
    m_lines->setChecked(m_view->AreLinesShown());
}

QString CMainFrame::StatusMessage() const { return m_message->text(); }
QString CMainFrame::UnreadablePane() const { return m_unreadable->text(); }
QString CMainFrame::LockPane(int index) const { return index >= 0 && index < 3 ? m_lockPanes[index]->text() : QString(); }

bool CMainFrame::ExportPdf(const QString& file)
{
    const bool written = m_view->Grid().ExportPdf(file);
    statusBar()->showMessage(written ? QString("Exported to %1").arg(file) : QString("Not exported: %1").arg(file), 5000);
    return written;
}

void CMainFrame::Shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_document->Scanner().RequestStop();
    m_view->Grid().SetClosing(); // a scanner call waiting for this thread returns now
    m_document->Scanner().Wait(0xFFFFFFFFu);
    m_view->Detach();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    Shutdown();
    event->accept();
}

} // namespace Velmora
