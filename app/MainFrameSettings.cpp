// The main window's settings: what the user arranged, written at close and
// read at start, with damage to the stored bytes named in the status bar,
// and the excluded folders dialog that edits one of them.
#include "app/MainFrame.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSettings>
#include <QStringDecoder>
#include <QToolBar>
#include <QVBoxLayout>
#include <cstdio>

#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "app/treemap/TreemapLink.h"
#include "gui/header/Header.h"
#include "gui/platform/Archive.h"
#include "gui/print/PrintSettings.h"

namespace Velmora {
namespace {
// Why the header's archive bytes do not read back, by the archive's cause.
QString ArchiveFault(const Kestrum::GUI::CArchiveException& error)
{
    using Kestrum::GUI::CArchiveException;
    switch (error.cause) {
    case CArchiveException::EndOfFile: return "its bytes end early (cut short)";
    case CArchiveException::BadSchema: return QString("it was written by a newer version (%1)").arg(error.what());
    case CArchiveException::BadClass: return QString("it holds what is no column (%1)").arg(error.what());
    default: return QString::fromLocal8Bit(error.what());
    }
}
} // namespace

namespace {
// The settings file holds text: UTF-8 without control characters other
// than tabs and line ends (a missing or empty file is no damage).
bool IsSettingsText(const QString& fileName)
{
    QFile file(fileName);
    if (fileName.isEmpty() || !file.open(QIODevice::ReadOnly))
        return true;
    const QByteArray bytes = file.readAll();
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    (void)utf8.decode(bytes);
    return !utf8.hasError();
}
} // namespace

void CMainFrame::ReportDamaged(const QString& what, const QString& why)
{
    ReportSettingsProblem(QString("the stored %1 is damaged%2%3; the default is used").arg(what, why.isEmpty() ? "" : ": ", why),
                          what);
}

void CMainFrame::ReportSettingsProblem(const QString& line, const QString& what)
{
    // One line on stderr per damaged stored value, and the status bar
    // keeps them in view.
    std::fprintf(stderr, "velmora: %s\n", line.toLocal8Bit().constData());
    m_damaged << line;
    m_settingsPane->setText(QString("Damaged settings: %1").arg(what) +
                            (m_damaged.size() > 1 ? QString(" and %1 more").arg(m_damaged.size() - 1) : QString()));
    m_settingsPane->setToolTip(m_damaged.join('\n'));
    m_settingsPane->setVisible(true);
}

void CMainFrame::SaveSettings(QSettings& settings)
{
    settings.setValue("geometry", saveGeometry());
    settings.setValue("state", saveState());
    settings.setValue("toolbar", m_toolbar->isVisibleTo(this));
    settings.setValue("font", m_view->Grid().GetGridFont().toString());
    settings.setValue("lines", m_view->AreLinesShown());
    settings.setValue("units", m_view->AreSizeUnits());
    if (Kestrum::GUI::CHeader* header = m_view->Grid().GetHeader()) {
        Kestrum::GUI::CArchive archive;
        header->Serialize(archive);
        const auto& bytes = archive.GetBytes();
        settings.setValue("header", QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    }
    {
        // The print choices are a record of their own, beside the header.
        Kestrum::GUI::PrintSettings print = m_view->Grid().GetPrintSettings();
        Kestrum::GUI::CArchive archive;
        print.Serialize(archive);
        const auto& bytes = archive.GetBytes();
        settings.setValue("print", QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    }
    settings.setValue("excluded", QString::fromStdString(m_document->ExcludedFolders()));
    settings.setValue("enterOtherFileSystems", m_document->EntersOtherFileSystems());
    m_treemapLink->SaveSettings(settings);
    settings.sync();
}

void CMainFrame::LoadSettings(QSettings& settings)
{
    // A settings file that does not parse gives no values at all; a file
    // of bytes that are no text parses to stray keys or none, silently.
    if (settings.status() == QSettings::FormatError || !IsSettingsText(settings.fileName()))
        ReportSettingsProblem(QString("the settings file %1 is damaged (it is no settings text); the defaults are used")
                                  .arg(settings.fileName()),
                              "the whole file");
    else if (settings.status() == QSettings::AccessError)
        ReportSettingsProblem(QString("the settings file %1 cannot be read; the defaults are used").arg(settings.fileName()),
                              "the whole file");
    if (settings.contains("font")) {
        // A description with its size; the size within the commands' range.
        QFont font;
        const QString text = settings.value("font").toString();
        if (text.contains(',') && font.fromString(text) && font.pointSize() >= 6 && font.pointSize() <= 24)
            m_view->Grid().SetGridFont(font);
        else
            ReportDamaged("font");
    }
    // A stored record: its bytes read whole, or its damage named.
    auto readRecord = [&](const char* key, const QString& what, auto&& read) {
        const QVariant stored = settings.value(key);
        if (!stored.isValid())
            return;
        if (stored.typeId() != QMetaType::QByteArray) {
            // A settings file writes bytes as "@ByteArray(...)"; cut short
            // inside them, the value reads back as text.
            ReportDamaged(what, stored.toString().startsWith("@ByteArray(") ? "its bytes end early (cut short)"
                                                                           : "it holds text where bytes belong");
            return;
        }
        const QByteArray bytes = stored.toByteArray();
        try {
            Kestrum::GUI::CArchive archive(bytes.constData(), static_cast<std::size_t>(bytes.size()));
            read(archive);
        } catch (const Kestrum::GUI::CArchiveException& error) {
            ReportDamaged(what, ArchiveFault(error));
        } catch (const std::exception& error) {
            ReportDamaged(what, QString::fromLocal8Bit(error.what()));
        }
    };
    readRecord("header", "header", [&](Kestrum::GUI::CArchive& archive) {
        auto header = std::make_unique<Kestrum::GUI::CHeader>(true);
        header->Serialize(archive);
        if (archive.GetRemaining() != 0)
            throw Kestrum::GUI::CArchiveException(Kestrum::GUI::CArchiveException::Generic, "bytes follow the header");
        if (!header->GetColumn(FIELD_NAME))
            throw Kestrum::GUI::CArchiveException(Kestrum::GUI::CArchiveException::Generic, "no Name column");
        m_view->UseHeader(header.release());
    });
    readRecord("print", "print settings record", [&](Kestrum::GUI::CArchive& archive) {
        Kestrum::GUI::PrintSettings print;
        print.Serialize(archive);
        if (archive.GetRemaining() != 0)
            throw Kestrum::GUI::CArchiveException(Kestrum::GUI::CArchiveException::Generic, "bytes follow the print settings");
        m_view->Grid().SetPrintSettings(print);
    });
    m_document->SetExcludedFolders(settings.value("excluded").toString().toStdString());
    m_document->SetEnterOtherFileSystems(settings.value("enterOtherFileSystems", false).toBool());
    if (settings.value("lines", false).toBool() != m_view->AreLinesShown())
        m_view->ToggleLines();
    m_view->SetSizeUnits(settings.value("units", false).toBool());
    if (settings.contains("geometry") && !restoreGeometry(settings.value("geometry").toByteArray()))
        ReportDamaged("window geometry");
    if (settings.contains("state") && !restoreState(settings.value("state").toByteArray()))
        ReportDamaged("window state");
    if (settings.contains("toolbar"))
        m_toolbar->setVisible(settings.value("toolbar").toBool());
    m_treemapLink->LoadSettings(settings);
    UpdateCommands();
}

void CMainFrame::EditExcludedFolders()
{
    QDialog dialog(this);
    dialog.setWindowTitle("Excluded folders");
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel("Folders the walk does not enter, one pattern per line of their full path\n"
                                 "('*' within a name, '**' across folders: /mnt/backup, **/node_modules).\n"
                                 "They apply from the next walk or refresh."));
    auto* text = new QPlainTextEdit(QString::fromStdString(m_document->ExcludedFolders()));
    text->setObjectName("excludedFolders");
    text->setAccessibleName("Excluded folder patterns");
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_document->SetExcludedFolders(text->toPlainText().toStdString());
    if (m_profile)
        m_profile->setValue("excluded", text->toPlainText());
}
} // namespace Velmora
