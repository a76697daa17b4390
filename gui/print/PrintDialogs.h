// The dialogs around a print: the progress dialog with its cancel button,
// the print dialog's tab for the rows and the fit, and the same choices on
// the print preview's toolbar.
#pragma once

#include "gui/platform/Export.h"

#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "gui/print/GridPrinter.h"

class QCheckBox;
class QPrintPreviewDialog;
class QProgressDialog;
class QRadioButton;

namespace Kestrum::GUI {

// A modal QProgressDialog that appears when a print takes a while; while it
// shows, each report lets the event loop run, so its cancel button works.
class KESTRUM_GUI_EXPORT CPrintProgressDialog final : public IPrintProgress {
public:
    explicit CPrintProgressDialog(QWidget* parent);
    ~CPrintProgressDialog();
    bool OnPrintProgress(std::int64_t done, std::int64_t total) override;

private:
    QWidget* m_parent;
    std::unique_ptr<QProgressDialog> m_dialog;
    QElapsedTimer m_sinceUpdate;
};

// The print dialog's "Grid" tab: which rows, and the fit to the page width.
class KESTRUM_GUI_EXPORT CPrintOptionsTab final : public QWidget {
public:
    CPrintOptionsTab(const PrintSettings& settings, bool hasSelection);
    void Read(PrintSettings& settings) const;

private:
    QRadioButton* m_all;
    QRadioButton* m_selected;
    QRadioButton* m_shown;
    QCheckBox* m_fit;
};

// Adds the rows and fit choices to a preview's toolbar; `changed` gets the
// new choices and the preview is drawn again.
KESTRUM_GUI_EXPORT void AddPreviewOptions(QPrintPreviewDialog& dialog, const PrintSettings& settings, bool hasSelection,
                       std::function<void(const PrintSettings&)> changed);

} // namespace Kestrum::GUI
