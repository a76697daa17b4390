#include "gui/print/PrintDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProgressDialog>
#include <QRadioButton>
#include <QToolBar>
#include <QVBoxLayout>

namespace Kestrum::GUI {

namespace {
// The dialog appears only for prints that take longer than this.
constexpr int kProgressShowMs = 500;
// While it shows, it is updated (and the event loop run) at most this often.
constexpr int kProgressUpdateMs = 40;
constexpr int kProgressSteps = 1000;
} // namespace

CPrintProgressDialog::CPrintProgressDialog(QWidget* parent) : m_parent(parent) {}

CPrintProgressDialog::~CPrintProgressDialog() = default;

bool CPrintProgressDialog::OnPrintProgress(std::int64_t done, std::int64_t total)
{
    if (!m_dialog) {
        m_dialog = std::make_unique<QProgressDialog>("Printing the rows...", "Cancel", 0, kProgressSteps, m_parent);
        m_dialog->setWindowTitle("Printing");
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setMinimumDuration(kProgressShowMs);
        m_dialog->setAutoReset(true);
        m_dialog->setAutoClose(true);
    }
    const bool end = done >= total;
    if (done == 0 || end || !m_sinceUpdate.isValid() || m_sinceUpdate.elapsed() >= kProgressUpdateMs) {
        if (m_dialog->wasCanceled())
            return false;
        m_sinceUpdate.start();
        const int step = total > 0 ? static_cast<int>(done * kProgressSteps / total) : kProgressSteps;
        m_dialog->setValue(std::clamp(step, 0, kProgressSteps)); // runs the event loop once shown; the end hides it
        if (end)
            return true;
    }
    return !m_dialog->wasCanceled();
}

CPrintOptionsTab::CPrintOptionsTab(const PrintSettings& settings, bool hasSelection)
{
    setWindowTitle("Grid"); // the tab's caption
    auto* layout = new QVBoxLayout(this);
    auto* rows = new QGroupBox("Rows", this);
    auto* rowsLayout = new QVBoxLayout(rows);
    m_shown = new QRadioButton("Sho&wn rows", rows);
    m_all = new QRadioButton("&All rows, expanded", rows);
    m_selected = new QRadioButton("&Selected rows", rows);
    m_selected->setEnabled(hasSelection);
    for (QRadioButton* button : {m_shown, m_all, m_selected})
        rowsLayout->addWidget(button);
    const std::int32_t chosen = settings.rows == PrintSelectedRows && !hasSelection ? PrintShownRows : settings.rows;
    (chosen == PrintAllRows ? m_all : chosen == PrintSelectedRows ? m_selected : m_shown)->setChecked(true);
    m_fit = new QCheckBox("&Fit the columns to the page width", this);
    m_fit->setChecked(settings.fitToWidth);
    layout->addWidget(rows);
    layout->addWidget(m_fit);
    layout->addStretch(1);
}

void CPrintOptionsTab::Read(PrintSettings& settings) const
{
    settings.rows = m_all->isChecked() ? PrintAllRows : m_selected->isChecked() ? PrintSelectedRows : PrintShownRows;
    settings.fitToWidth = m_fit->isChecked();
}

void AddPreviewOptions(QPrintPreviewDialog& dialog, const PrintSettings& settings, bool hasSelection,
                       std::function<void(const PrintSettings&)> changed)
{
    auto* toolbar = dialog.findChild<QToolBar*>();
    auto* preview = dialog.findChild<QPrintPreviewWidget*>();
    if (!toolbar || !preview)
        return;
    toolbar->addSeparator();
    auto* rows = new QComboBox(toolbar);
    rows->addItem("Shown rows", PrintShownRows);
    rows->addItem("All rows, expanded", PrintAllRows);
    if (hasSelection || settings.rows == PrintSelectedRows)
        rows->addItem("Selected rows", PrintSelectedRows);
    rows->setCurrentIndex(std::max(0, rows->findData(settings.rows)));
    auto* fit = new QCheckBox("Fit to width", toolbar);
    fit->setChecked(settings.fitToWidth);
    toolbar->addWidget(rows);
    toolbar->addWidget(fit);
    auto apply = [rows, fit, preview, changed, settings] {
        PrintSettings chosen = settings;
        chosen.rows = rows->currentData().toInt();
        chosen.fitToWidth = fit->isChecked();
        changed(chosen);
        preview->updatePreview();
    };
    QObject::connect(rows, &QComboBox::currentIndexChanged, &dialog, apply);
    QObject::connect(fit, &QCheckBox::toggled, &dialog, apply);
}

} // namespace Kestrum::GUI
