#include "app/ScanCommands.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <ctime>
#include <filesystem>

#include "app/MainFrame.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "app/scanfile/ScanJsonWriter.h"
#include "app/scanfile/ScanTree.h"

namespace Velmora {

namespace {
std::string LocalPath(const QString& path) { return path.toLocal8Bit().toStdString(); }
} // namespace

CScanCommands::CScanCommands(CMainFrame& frame, QMenu& fileMenu) : QObject(&frame), m_frame(frame)
{
    QAction* first = fileMenu.actions().value(0);
    auto* openFolder = new QAction("&Open folder...", &fileMenu);
    openFolder->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    openFolder->setStatusTip("Show a walk of a folder you choose");
    auto* save = m_save = new QAction("&Save scan...", &fileMenu);
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    save->setStatusTip("Save what is shown as a scan file (JSON export format)");
    auto* openScan = new QAction("Open sc&an...", &fileMenu);
    openScan->setStatusTip("Show a scan saved in the JSON export format");
    fileMenu.insertActions(first, {openFolder, openScan, save});
    if (first)
        fileMenu.insertSeparator(first);
    // Shortcuts of the window work wherever the focus is in it.
    for (QAction* action : {openFolder, save, openScan})
        frame.addAction(action);

    connect(openFolder, &QAction::triggered, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(&m_frame, "Open folder", QDir::homePath());
        if (!folder.isEmpty())
            OpenFolder(folder);
    });
    connect(openScan, &QAction::triggered, this, [this] {
        const QString file = QFileDialog::getOpenFileName(&m_frame, "Open scan", QDir::homePath(),
                                                          "Scan files (*.json *.json.gz);;All files (*)");
        if (!file.isEmpty())
            OpenScan(file);
    });
    connect(save, &QAction::triggered, this, [this] {
        if (!m_frame.View().IsIdle()) {
            m_frame.statusBar()->showMessage("The walk has not ended yet: save the scan once it has", 5000);
            return;
        }
        QString file = QFileDialog::getSaveFileName(&m_frame, "Save scan", QDir::home().filePath("scan.json"),
                                                    "Scan files (*.json *.json.gz)");
        if (file.isEmpty())
            return;
        if (QFileInfo(file).suffix().isEmpty())
            file += ".json";
        QString why;
        if (!SaveScan(file, &why))
            m_frame.Tell("Save scan", QString("Velmora cannot write %1:\n%2.").arg(file, why));
    });
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), &m_frame);
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, this, [this] { m_frame.Document().Scanner().RequestStop(); });
    m_watch = new QTimer(this);
    m_watch->setInterval(100);
    connect(m_watch, &QTimer::timeout, this, [this] { WatchReading(); });
    confirm = [this](const QString& question) {
        return QMessageBox::question(&m_frame, "Refresh", question) == QMessageBox::Yes;
    };
    if (m_frame.Document().ScanFileImport())
        WatchReading();
}

QString CScanCommands::Title() const
{
    const std::string& name = m_frame.Document().ShownName();
    return QString("%1 - Velmora").arg(name.empty() ? QString("Kestrum") : QString::fromLocal8Bit(name.c_str()));
}

bool CScanCommands::Replace(const std::function<void()>& retarget)
{
    CVelmoraView& view = m_frame.View();
    if (!view.IsIdle()) {
        // The walk running stops first: its thread may be waiting for the
        // window's feed, so the window only asks and looks again.
        m_frame.Document().Scanner().RequestStop();
        QTimer::singleShot(50, this, [this, retarget] { Replace(retarget); });
        return true;
    }
    retarget();
    m_lastError.clear();
    if (!m_frame.RefreshAll())
        return false;
    m_frame.setWindowTitle(Title());
    WatchReading();
    return true;
}

bool CScanCommands::OpenFolder(const QString& folder)
{
    const std::string path = LocalPath(QFileInfo(folder).absoluteFilePath());
    return Replace([this, path] { m_frame.Document().ShowFolder(path); });
}

bool CScanCommands::OpenScan(const QString& file)
{
    const std::string path = LocalPath(file);
    return Replace([this, path] { m_frame.Document().ShowScanFile(path); });
}

void CScanCommands::WatchReading()
{
    const ScanFile::CScanImport* import = m_frame.Document().ScanFileImport();
    // Until the last row read is in: the rows of a bad file go after it.
    const bool reading = import && !m_frame.View().IsIdle();
    m_escape->setEnabled(reading);
    if (reading) {
        m_watch->start();
        return;
    }
    m_watch->stop();
    if (!import)
        return;
    const ScanFile::ReadOutcome outcome = import->Outcome();
    if (outcome.ok)
        return;
    const QString name = QString::fromLocal8Bit(import->Path().c_str());
    if (outcome.stopped) {
        m_frame.statusBar()->showMessage(QString("Reading %1 stopped: the rows show what was read").arg(name), 10000);
        return;
    }
    // A file that is not a scan shows nothing of itself, only the reason.
    m_frame.View().Grid().Clear();
    m_lastError = QString("Velmora cannot open %1:\n%2.").arg(name, QString::fromLocal8Bit(outcome.error.c_str()));
    m_frame.Tell("Open scan", m_lastError);
}

QString CScanCommands::ReadingProgress() const
{
    const ScanFile::CScanImport* import = m_frame.Document().ScanFileImport();
    if (!import || m_frame.Document().Scanner().IsFinished())
        return {};
    const QString name = QFileInfo(QString::fromLocal8Bit(import->Path().c_str())).fileName();
    if (import->BytesTotal() == 0)
        return QString("reading %1 (Esc stops)").arg(name);
    return QString("%1% of %2 read (Esc stops)")
        .arg(static_cast<int>(100.0 * static_cast<double>(import->BytesRead()) / static_cast<double>(import->BytesTotal())))
        .arg(name);
}

bool CScanCommands::SaveScan(const QString& file, QString* why)
{
    std::string error;
    std::unique_ptr<ScanFile::COutput> output = ScanFile::COutput::Open(LocalPath(file), error);
    if (output) {
        CVelmoraDoc& document = m_frame.Document();
        const ScanFile::CScanImport* import = document.ScanFileImport();
        ScanFile::CScanJsonWriter writer(*output, static_cast<std::int64_t>(std::time(nullptr)));
        ScanFile::WriteTree(document.Scanner().GetDrives(), import ? &import->Extras() : nullptr, writer);
        if (writer.Finish() && output->Close(error)) {
            m_frame.statusBar()->showMessage(QString("Saved the scan as %1").arg(file), 5000);
            return true;
        }
        output->Close(error);
        if (error.empty())
            error = "the writing failed";
    }
    if (why)
        *why = QString::fromLocal8Bit(error.c_str());
    return false;
}

bool CScanCommands::MayRefresh(Kestrum::Common::CDataObject* object)
{
    const ScanFile::CScanImport* import = m_frame.Document().ScanFileImport();
    CFolderData* folder = CVelmoraView::FolderOf(object);
    if (!import || !folder)
        return true;
    const std::string path = folder->GetFullName().ToStdString();
    const QString shown = QString::fromLocal8Bit(path.c_str());
    const QString file = QString::fromLocal8Bit(import->Path().c_str());
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) {
        m_frame.Tell("Refresh", QString("%1 was read from the scan file %2 and cannot be walked: no such folder "
                                        "exists on this machine (the scan may come from another one).")
                                    .arg(shown, file));
        return false;
    }
    return confirm(QString("%1 was read from the scan file %2. Walk the folder of that name on this machine and "
                           "show what it holds now?")
                       .arg(shown, file));
}

} // namespace Velmora
