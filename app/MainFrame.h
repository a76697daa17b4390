// CMainFrame: the main window with the Settings menu, toolbar and status bar.
// It owns the document and the view, and runs the close sequence: stop the
// scanner, put the grid into closing, join the scanner, then clear the rows
// and free the tree.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <memory>

class QAction;
class QLabel;

namespace Velmora {

class CVelmoraDoc;
class CVelmoraView;

// Command ids of the Settings menu.
enum CommandId : int {
    ID_INCREASE_FONT = 32772,
    ID_DECREASE_FONT = 32773,
    ID_EXPAND_ALL = 32774,
    ID_COLLAPSE_ALL = 32775,
    ID_SHOW_LINES = 32776,
    ID_HEADER_COLUMNS = 32777,
};
// Command ids of the File menu's printing commands.
enum PrintCommandId : int {
    ID_PRINT = 32778,
    ID_PRINT_PREVIEW = 32779,
    ID_EXPORT_PDF = 32780,
};

class CMainFrame : public QMainWindow {
public:
    explicit CMainFrame(std::unique_ptr<CVelmoraDoc> document);
    ~CMainFrame() override;

    CVelmoraView& View() noexcept { return *m_view; }
    CVelmoraDoc& Document() noexcept { return *m_document; }
    QAction* Command(int id) const;
    // The close sequence; safe to call more than once.
    void Shutdown();
    // Writes the grid's rows to a PDF file (what "E&xport to PDF..." does
    // after asking for the file); the status bar tells the outcome.
    bool ExportPdf(const QString& file);

    // The status bar: the message pane, the count of folders that could not
    // be read (empty while there are none), and the CAP, NUM and SCRL panes
    // (empty while the key is off or the platform does not say).
    QString StatusMessage() const;
    QString UnreadablePane() const;
    QString LockPane(int index) const;
    // Brings the status bar, the check mark of "&Show lines" and the Size
    // column's width up to date (every quarter second, and when the menu
    // or the toolbar is shown).
    void UpdateStatus();
    void UpdateCommands();
    QMenu* SettingsMenu() const { return m_settings; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddCommand(QMenu* menu, int id, const QString& text, const QString& prompt, const QString& icon);

    std::unique_ptr<CVelmoraDoc> m_document;
    CVelmoraView* m_view = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_unreadable = nullptr;
    QLabel* m_lockPanes[3] = {};
    QMenu* m_settings = nullptr;
    QAction* m_lines = nullptr;
    QElapsedTimer m_elapsed;
    bool m_shutDown = false;
};

} // namespace Velmora
