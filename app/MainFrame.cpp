#include "app/MainFrame.h"
#include "app/filetypes/FileTypesWindow.h"
#include "app/filter/FilterBar.h"
#include "app/filter/TypeAheadPane.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QDir>
#include <QFileDialog>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStandardPaths>
#include <QSet>
#include <QSettings>
#include <QUrl>
#include <cstdio>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/ScanCommands.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "app/treemap/TreemapLink.h"
#include "app/treemap/TreemapView.h"
#include "app/unreadable/UnreadableFolders.h"
#include "gui/header/Column.h"
#include "gui/header/Header.h"
#include "gui/platform/QtText.h"

namespace Velmora {

namespace {
// The caption with its mnemonic on the first letter that starts a word,
// else on any letter, that no earlier item took.
QString WithMnemonic(const QString& caption, QSet<QChar>& taken)
{
    QString text = caption;
    text.replace('&', "&&");
    for (const bool wordStarts : {true, false}) {
        for (qsizetype i = 0; i < caption.size(); ++i) {
            const QChar c = caption[i];
            if (!c.isLetterOrNumber() || (wordStarts && i > 0 && caption[i - 1].isLetterOrNumber()))
                continue;
            if (taken.contains(c.toLower()))
                continue;
            taken.insert(c.toLower());
            return text.insert(i + caption.left(i).count('&'), '&');
        }
    }
    return text;
}

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

CMainFrame::CMainFrame(std::unique_ptr<CVelmoraDoc> document, std::unique_ptr<QSettings> profile)
    : m_document(std::move(document)), m_profile(std::move(profile))
{
    setWindowTitle("Kestrum - Velmora");
    setWindowIcon(ApplicationIcon());
    m_view = new CVelmoraView(*m_document, this);
    // The treemap below the tree, hidden until asked for.
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->setObjectName("treemapSplitter");
    splitter->addWidget(m_view);
    m_treemap = new CTreemapView;
    m_treemap->setVisible(false);
    splitter->addWidget(m_treemap);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    setCentralWidget(splitter);
    m_treemapLink = std::make_unique<CTreemapLink>(*m_treemap, *m_view, *m_document);
    m_treemap->onStatus = [this](const QString& text) { statusBar()->showMessage(text); };

    QMenu* file = menuBar()->addMenu("&File");
    QAction* print = AddCommand(file, ID_PRINT, "&Print...", "Print the rows of the grid", "");
    print->setShortcut(QKeySequence::Print);
    QAction* preview = AddCommand(file, ID_PRINT_PREVIEW, "Print Pre&view", "Show the pages as they will be printed", "");
    // "E&xit" keeps its x (Alt+F, X), so Export takes the E.
    QAction* exportPdf = AddCommand(file, ID_EXPORT_PDF, "&Export to PDF...", "Save the rows of the grid as a PDF file", "");
    file->addSeparator();
    QAction* exit = file->addAction("E&xit", this, &QWidget::close);
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q)); // the usual key, on every desktop
    m_scan = new CScanCommands(*this, *file);
    setWindowTitle(m_scan->Title());
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
        ExportPdfAndTell(name);
    });
    QMenu* settings = m_settings = menuBar()->addMenu("&Settings");
    QToolBar* toolbar = m_toolbar = addToolBar("Toolbar");
    toolbar->setObjectName("toolbar");
    toolbar->setIconSize(QSize(24, 24));
    QAction* increase = AddCommand(settings, ID_INCREASE_FONT, "&Increase font", "Increase font size", "A+");
    QAction* decrease = AddCommand(settings, ID_DECREASE_FONT, "&Decrease font", "Decrease font size", "A-");
    QAction* expand = AddCommand(settings, ID_EXPAND_ALL, "&Expand all", "Expands all rows", "+");
    QAction* collapse = AddCommand(settings, ID_COLLAPSE_ALL, "&Collapse all", "Collapses all rows", "-");
    QAction* lines = AddCommand(settings, ID_SHOW_LINES, "&Show lines", "Show horizontal and vertical lines", "#");
    QAction* columns = AddCommand(settings, ID_HEADER_COLUMNS, "&Header columns", "Select columns", "||");
    settings->addAction("E&xcluded folders...", this, [this] { EditExcludedFolders(); });
    m_enterOthers = settings->addAction("Enter &other file systems");
    m_enterOthers->setCheckable(true);
    m_enterOthers->setStatusTip("From the next walk, go on into folders on other file systems (mount points)");
    connect(m_enterOthers, &QAction::triggered, this, [this](bool enter) {
        m_document->SetEnterOtherFileSystems(enter);
        if (m_profile)
            m_profile->setValue("enterOtherFileSystems", enter);
    });
    // None of these keys is one the grid takes (Ctrl+C, V, X, A, Del, the
    // arrows): the grid keeps them while it has the focus.
    increase->setShortcuts({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    decrease->setShortcut(QKeySequence::ZoomOut);
    expand->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    collapse->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
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
    view->addSeparator();
    // The sizes as the design shows them, or in binary units.
    m_bytes = AddCommand(view, ID_SIZE_BYTES, "Sizes in &bytes", "Show sizes as grouped bytes", "");
    m_units = AddCommand(view, ID_SIZE_UNITS, "Sizes in &units", "Show sizes in KiB, MiB, GiB", "");
    auto* sizeChoice = new QActionGroup(this);
    for (QAction* action : {m_bytes, m_units}) {
        action->setCheckable(true);
        sizeChoice->addAction(action);
    }
    m_bytes->setChecked(true);
    connect(m_bytes, &QAction::triggered, this, [this] { m_view->SetSizeUnits(false); });
    connect(m_units, &QAction::triggered, this, [this] { m_view->SetSizeUnits(true); });
    // Sorting without the mouse: each visible column, chosen as its caption
    // is clicked. Filled when it opens, as the columns are then.
    m_sortBy = view->addMenu("&Sort by");
    m_sortBy->setObjectName("sortBy");
    m_sortBy->setAccessibleName("Sort by");
    m_sortBy->menuAction()->setStatusTip("Sort the rows by a column, as a click on its caption does");
    connect(m_sortBy, &QMenu::aboutToShow, this, [this] { FillSortMenu(); });
    view->addSeparator();
    m_filterBar = new CFilterBar(
        m_view->Grid(), [this] { return m_view->Progress().folders.load() + m_view->Progress().files.load(); }, this);
    addToolBarBreak();
    addToolBar(m_filterBar);
    view->addAction(m_filterBar->ShowAction());
    m_fileTypes = new CFileTypesWindow(*m_document, *m_view, *m_filterBar, this);
    m_fileTypes->AddCommand(view);
    // One table ranks the extensions for both windows: the treemap's colours
    // are the file types window's.
    m_treemap->colourSource = [this]() -> const Treemap::CPalette& { return m_fileTypes->Colours(); };
    // Queued: the count may have been asked for by the treemap's own layout.
    m_fileTypes->onColoursChanged = [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_shutDown && m_treemap->isVisible())
                    m_treemap->Rebuild();
            },
            Qt::QueuedConnection);
    };
    QAction* refresh = AddCommand(view, ID_REFRESH, "&Refresh", "Rescan the folder of the focused row", "");
    refresh->setShortcut(QKeySequence(Qt::Key_F5));
    QAction* stop = AddCommand(view, ID_STOP, "Sto&p", "Stop the walk; what was found stays (Esc)", "\u25A0");
    toolbar->addAction(stop);
    connect(stop, &QAction::triggered, this, [this] { StopWalk(); });
    QAction* refreshAll = AddCommand(view, ID_REFRESH_ALL, "Refresh &all", "Rescan everything from scratch", "");
    refreshAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F5));
    // After a stopped walk F5 takes the walk up again, from scratch.
    connect(refresh, &QAction::triggered, this, [this] { m_stopped ? RefreshAll() : RefreshObject(nullptr); });
    connect(refreshAll, &QAction::triggered, this, [this] { RefreshAll(); });
    // The row commands also reach the focused row without the menu.
    QAction* open = AddCommand(view, ID_OPEN, "&Open", "Open the focused row", "");
    QAction* containing = AddCommand(view, ID_OPEN_CONTAINING_FOLDER, "Open containing &folder",
                                     "Open the folder that holds the focused row", "");
    QAction* copyName = AddCommand(view, ID_COPY_FULL_NAME, "&Copy full name", "Copy the full name of the focused row", "");
    for (QAction* action : {open, containing, copyName})
        action->setVisible(false);
    connect(open, &QAction::triggered, this, [this] { OpenObject(nullptr); });
    connect(containing, &QAction::triggered, this, [this] { OpenContainingFolder(nullptr); });
    connect(copyName, &QAction::triggered, this, [this] { CopyFullName(nullptr); });
    m_view->Grid().installEventFilter(this);
    m_view->Grid().viewport()->installEventFilter(this);
    m_treemapLink->AddCommands(view, settings);
    m_unreadableFolders = new CUnreadableFolders(*m_view, *m_document, this);
    view->addSeparator();
    view->addAction("U&nreadable folders", this, [this] { m_unreadableFolders->Open(); })
        ->setStatusTip("List the folders that could not be read, and why");
    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction("&About...", this, [this] {
        CAboutBox about(this);
        about.exec();
    });

    m_message = new QLabel;
    statusBar()->addWidget(m_message, 1);
    m_unreadable = new QLabel;
    m_unreadable->setObjectName("unreadable");
    m_unreadable->setTextFormat(Qt::RichText);
    connect(m_unreadable, &QLabel::linkActivated, this, [this] { m_unreadableFolders->Open(); });
    statusBar()->addPermanentWidget(new CTypeAheadPane(m_view->Grid()));
    statusBar()->addPermanentWidget(m_filterBar->CountPane());
    statusBar()->addPermanentWidget(m_unreadable);
    m_settingsPane = new QLabel;
    m_settingsPane->setObjectName("damagedSettings");
    m_settingsPane->setVisible(false);
    statusBar()->addPermanentWidget(m_settingsPane);
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
    if (m_profile)
        LoadSettings(*m_profile);
    m_elapsed.start();
    m_document->Start();
    // "Scanning" from the first moment, not only after the first tick.
    UpdateStatus();
    UpdateCommands();
}

void CMainFrame::FillSortMenu()
{
    using namespace Kestrum::GUI;
    m_sortBy->clear();
    CHeader* header = m_view->Grid().GetHeader();
    if (!header)
        return;
    const bool sorted = header->GetSortLevelCount() > 0;
    const CSortInfo first = sorted ? header->GetSortInfo(0) : CSortInfo();
    QSet<QChar> taken;
    for (CColumn* column : header->GetVisibleColumns()) {
        const QString caption = ToQString(column->GetCaption());
        if (caption.isEmpty())
            continue;
        const std::int32_t field = column->GetFieldId();
        const bool current = sorted && first.GetFieldId() == field;
        QString text = WithMnemonic(caption, taken);
        // The order is in the text: a screen reader reads it with the check.
        if (current)
            text += first.IsDescending() ? " (descending)" : " (ascending)";
        QAction* action = m_sortBy->addAction(text);
        action->setCheckable(true);
        action->setChecked(current);
        action->setEnabled(header->IsSortingEnabled());
        action->setStatusTip(current ? "Reverse the order" : "Sort the rows by " + caption);
        connect(action, &QAction::triggered, this, [this, field] { m_view->Grid().SortByColumnClick(field, false, false); });
    }
}

CMainFrame::~CMainFrame()
{
    Shutdown();
    // The view goes before the document whose tree its rows showed.
    m_treemapLink.reset();
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
        m_message->setText(m_stopped ? "Incomplete: the walk was stopped (F5 walks again)" : "Ready");
        if (m_walking) {
            // The totals of what was walked, for a while, then "Ready".
            m_walking = false;
            std::int64_t size = 0, onDisk = 0;
            QString done = "Done";
            if (CFolderData* folder = m_view->RefreshedFolder()) {
                done = QString("Refreshed %1").arg(CVelmoraView::FullNameOf(folder));
                size = folder->GetSize();
                onDisk = folder->GetSizeOnDisk();
            } else {
                for (CFolderData* drive : m_document->Scanner().GetDrives()) {
                    if (m_document->Scanner().IsNestedRoot(drive))
                        continue; // inside another root: counted there
                    size += drive->GetSize();
                    onDisk += drive->GetSizeOnDisk();
                }
            }
            if (m_stopped)
                done = "Stopped, incomplete";
            statusBar()->showMessage(QString("%1: %2 folders, %3 files, %4 (%5 on disk) in %6 s")
                                         .arg(done)
                                         .arg(progress.folders.load())
                                         .arg(progress.files.load())
                                         .arg(HumanBytes(size))
                                         .arg(HumanBytes(onDisk))
                                         .arg(QString::number(m_elapsed.elapsed() / 1000.0, 'f', 1)),
                                     5000);
            setWindowTitle(m_stopped ? m_scan->Title() + " - incomplete" : m_scan->Title());
            m_view->RepaintDerivedColumns();
            m_unreadableFolders->Refresh();
        }
    } else {
        m_walking = true;
        // The title names what is walked (a screen reader reads it first):
        // the refreshed folder, else the roots, the first three by name.
        QStringList walked;
        if (CFolderData* folder = m_view->RefreshedFolder()) {
            walked << CVelmoraView::FullNameOf(folder);
        } else {
            for (CFolderData* drive : m_document->Scanner().GetDrives())
                walked << CVelmoraView::FullNameOf(drive);
            if (walked.size() > 3)
                walked = walked.mid(0, 3) << QString("and %1 more").arg(walked.size() - 3);
        }
        // One pass of arg: a folder named "%2" must not take the next value.
        setWindowTitle(QString("%5 - scanning %1: %2 folders, %3 files, %4")
                           .arg(walked.join(", "), QString::number(progress.folders.load()),
                                QString::number(progress.files.load()), HumanBytes(progress.bytes.load()),
                                m_scan->Title()));
        m_view->RepaintDerivedColumns();
        m_message->setText(QString("Scanning: %1 folders, %2 files, %3 - %4 s")
                               .arg(progress.folders.load())
                               .arg(progress.files.load())
                               .arg(HumanBytes(progress.bytes.load()))
                               .arg(m_elapsed.elapsed() / 1000) +
                           (m_scan->ReadingProgress().isEmpty() ? QString() : " - " + m_scan->ReadingProgress()));
    }
    const std::int64_t unreadable = m_document->Scanner().GetUnreadableCount();
    const QString text = unreadable == 0 ? QString()
                                         : QString(unreadable == 1 ? "%1 folder could not be read"
                                                                   : "%1 folders could not be read")
                                               .arg(unreadable);
    if (text != m_unreadableText) {
        m_unreadableText = text;
        m_unreadable->setText(QString("<a href=\"unreadable\">%1</a>").arg(text));
    }
    m_unreadable->setVisible(unreadable != 0);
    const std::optional<LockKeyState> keys = ReadLockKeys();
    m_lockPanes[0]->setText(keys && keys->capsLock ? "CAP" : "");
    m_lockPanes[1]->setText(keys && keys->numLock ? "NUM" : "");
    m_lockPanes[2]->setText(keys && keys->scrollLock ? "SCRL" : "");
    m_view->FitSizeColumn();
    m_treemapLink->Tick();
    m_fileTypes->Tick();
    UpdateCommands();
}

void CMainFrame::UpdateCommands()
{
    if (m_shutDown)
        return;
    m_lines->setChecked(m_view->AreLinesShown());
    m_enterOthers->setChecked(m_document->EntersOtherFileSystems());
    const bool idle = m_view->IsIdle();
    for (const int id : {ID_REFRESH, ID_REFRESH_ALL})
        if (QAction* action = Command(id))
            action->setEnabled(idle);
    if (QAction* stop = Command(ID_STOP))
        stop->setEnabled(!m_document->Scanner().IsFinished());
    m_units->setChecked(m_view->AreSizeUnits());
    m_bytes->setChecked(!m_view->AreSizeUnits());
}

QString CMainFrame::StatusMessage() const { return m_message->text(); }
QString CMainFrame::DamagedSettingsPane() const { return m_settingsPane->isVisibleTo(this) ? m_settingsPane->text() : QString(); }
QString CMainFrame::UnreadablePane() const { return m_unreadableText; }
QString CMainFrame::LockPane(int index) const { return index >= 0 && index < 3 ? m_lockPanes[index]->text() : QString(); }

bool CMainFrame::ExportPdf(const QString& file, QString* why)
{
    // The place is looked at first: the printer would only say that it
    // could not begin.
    QString reason = QString::fromLocal8Bit(WhyNotWritable(file.toLocal8Bit().toStdString()).c_str());
    const bool written = reason.isEmpty() && m_view->Grid().ExportPdf(file);
    if (!written && reason.isEmpty())
        reason = "the PDF could not be written";
    if (why)
        *why = reason;
    statusBar()->showMessage(written ? QString("Exported to %1").arg(file)
                                     : QString("Not exported: %1: %2").arg(file, reason),
                             5000);
    return written;
}

bool CMainFrame::ExportPdfAndTell(const QString& file)
{
    QString why;
    if (ExportPdf(file, &why))
        return true;
    Tell("Export to PDF", QString("Velmora cannot write %1:\n%2.").arg(file, why));
    return false;
}

QMessageBox* CMainFrame::Tell(const QString& title, const QString& text)
{
    // Not modal to the application: the walk and the window go on meanwhile.
    auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
    box->setObjectName("velmoraMessage");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return box;
}

void CMainFrame::Shutdown()
{
    if (m_shutDown)
        return;
    // What the user arranged is written while the window still shows it.
    if (m_profile)
        SaveSettings(*m_profile);
    m_shutDown = true;
    // Off the screen before the teardown, which takes a while with a million
    // rows: the user sees the close at once.
    m_unreadableFolders->hide();
    m_fileTypes->hide();
    hide();
    m_document->Scanner().RequestStop();
    m_view->Grid().SetClosing(); // a scanner call waiting for this thread returns now
    m_treemapLink->Close();
    m_unreadableFolders->Forget();
    m_unreadableFolders->close();
    m_fileTypes->Close();
    m_document->Scanner().Wait(0xFFFFFFFFu);
    m_view->Detach();
}

Kestrum::Common::CDataObject* CMainFrame::CommandTarget(Kestrum::Common::CDataObject* object) const
{
    // A menu left open while a refresh replaced its row names an object
    // that is gone: nothing is done for it.
    if (!object)
        return m_view->FocusedObject();
    return m_view->HasRow(object) ? object : nullptr;
}

void CMainFrame::OpenObject(Kestrum::Common::CDataObject* object)
{
    object = CommandTarget(object);
    if (object)
        OpenWithDesktop(CVelmoraView::FullNameOf(object));
}

void CMainFrame::OpenContainingFolder(Kestrum::Common::CDataObject* object)
{
    object = CommandTarget(object);
    if (!object)
        return;
    // A drive's containing folder is the one it is mounted in.
    const QString name = CVelmoraView::FullNameOf(object);
    OpenWithDesktop(QFileInfo(name).absolutePath());
}

bool CMainFrame::OpenWithDesktop(const QString& path)
{
    QString why;
    if (!QFileInfo::exists(path))
        why = "it is no longer there";
    else if (QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return true;
    else if (QStandardPaths::findExecutable("xdg-open").isEmpty())
        why = "no program that opens files and folders is installed (xdg-open was not found)";
    else
        why = "the desktop has no program that opens it";
    Tell("Open", QString("Velmora cannot open %1:\n%2.").arg(path, why));
    return false;
}

void CMainFrame::CopyFullName(Kestrum::Common::CDataObject* object)
{
    object = CommandTarget(object);
    if (!object)
        return;
    const QString name = CVelmoraView::FullNameOf(object);
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->setText(name);
    // Where the platform has a selection (X11), a middle click pastes it too.
    if (clipboard->supportsSelection())
        clipboard->setText(name, QClipboard::Selection);
}

void CMainFrame::WalkStarted()
{
    m_walking = true;
    m_stopped = false;
    m_elapsed.restart();
    UpdateStatus();
}

bool CMainFrame::RefreshObject(Kestrum::Common::CDataObject* object)
{
    object = CommandTarget(object);
    if (!m_view->IsIdle() || !CVelmoraView::FolderOf(object) || !m_scan->MayRefresh(object))
        return false;
    m_treemapLink->TreeChanging(CVelmoraView::FolderOf(object));
    m_unreadableFolders->Forget();
    m_fileTypes->TreeChanging(CVelmoraView::FolderOf(object));
    if (!m_view->Refresh(object))
        return false;
    WalkStarted();
    return true;
}

bool CMainFrame::StopWalk()
{
    if (m_shutDown || m_document->Scanner().IsFinished())
        return false;
    m_stopped = true;
    m_document->Scanner().RequestStop();
    UpdateStatus();
    return true;
}

bool CMainFrame::RefreshAll()
{
    if (!m_view->IsIdle())
        return false;
    m_treemapLink->TreeChanging(nullptr);
    m_unreadableFolders->Forget();
    m_fileTypes->TreeChanging(nullptr);
    if (!m_view->RefreshAll())
        return false;
    WalkStarted();
    return true;
}

QMenu* CMainFrame::MakeContextMenu(Kestrum::Common::CDataObject* object)
{
    auto* menu = new QMenu(this);
    menu->setObjectName("rowMenu");
    const bool idle = m_view->IsIdle();
    QAction* open = menu->addAction("&Open", this, [this, object] { OpenObject(object); });
    QAction* containing = menu->addAction("Open containing &folder", this, [this, object] { OpenContainingFolder(object); });
    QAction* copy = menu->addAction("&Copy full name", this, [this, object] { CopyFullName(object); });
    menu->addSeparator();
    QAction* refresh = menu->addAction("&Refresh", this, [this, object] { RefreshObject(object); });
    refresh->setShortcut(QKeySequence(Qt::Key_F5));
    QAction* all = menu->addAction("Refresh &all", this, [this] { RefreshAll(); });
    all->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F5));
    for (QAction* action : {open, containing, copy, refresh})
        action->setEnabled(object != nullptr);
    refresh->setEnabled(object && idle);
    all->setEnabled(idle);
    open->setData(ID_OPEN);
    containing->setData(ID_OPEN_CONTAINING_FOLDER);
    copy->setData(ID_COPY_FULL_NAME);
    refresh->setData(ID_REFRESH);
    all->setData(ID_REFRESH_ALL);
    return menu;
}

void CMainFrame::ShowContextMenu(const QPoint& globalPosition, Kestrum::Common::CDataObject* object)
{
    // No tooltip stays over the menu, nor comes from a hover asked for
    // before it opened.
    m_view->Grid().HideTooltips();
    QMenu* menu = MakeContextMenu(object);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPosition);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (m_shutDown || !m_view)
        return false;
    Kestrum::GUI::CGrid& grid = m_view->Grid();
    // Esc on the grid stops a walk; the grid still has the key.
    if (watched == &grid && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
        StopWalk();
    if (watched == grid.viewport() && event->type() == QEvent::ContextMenu) {
        auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        if (menuEvent->reason() == QContextMenuEvent::Mouse) {
            // The row under the pointer becomes the one acted on, selected
            // and focused as a left click would leave it.
            int area = 0;
            const Kestrum::GUI::HITEM item = grid.HitTest({menuEvent->pos().x(), menuEvent->pos().y()}, &area);
            Kestrum::Common::CDataObject* object = item ? grid.GetObject(item) : nullptr;
            if (item && !grid.IsItemSelected(item)) {
                grid.ClearSelection();
                grid.SelectItem(item, true);
            }
            if (item)
                grid.SetFocusedRow(grid.GetVisibleIndex(item), area);
            ShowContextMenu(menuEvent->globalPos(), object);
            return true;
        }
    }
    const bool menuKey = event->type() == QEvent::KeyPress &&
                         (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Menu ||
                          (static_cast<QKeyEvent*>(event)->key() == Qt::Key_F10 &&
                           static_cast<QKeyEvent*>(event)->modifiers() == Qt::ShiftModifier));
    const bool keyboardMenu = event->type() == QEvent::ContextMenu &&
                              static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
    if ((watched == &grid || watched == grid.viewport()) && (menuKey || keyboardMenu)) {
        // At the focused row, or at the top of the body without one.
        Kestrum::Common::CDataObject* object = m_view->FocusedObject();
        QPoint at(8, 8);
        if (object) {
            const Kestrum::GUI::CRect rect = grid.GetRowRect(grid.GetItem(object));
            at = QPoint(rect.left + 24, rect.top + rect.Height() / 2);
        }
        ShowContextMenu(grid.viewport()->mapToGlobal(at), object);
        return true;
    }
    return false;
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    Shutdown();
    event->accept();
}

} // namespace Velmora
