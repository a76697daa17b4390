// CMainFrame: the main window with the Settings menu, toolbar and status bar.
// It owns the document and the view, and runs the close sequence: stop the
// scanner, put the grid into closing, join the scanner, then clear the rows
// and free the tree.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QSettings>
#include <QStringList>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QMessageBox;

class QToolBar;

namespace Kestrum::Common {
class CDataObject;
}

namespace Velmora {

class CScanCommands;
class CVelmoraDoc;
class CVelmoraView;
class CTreemapView;
class CTreemapLink;
class CFilterBar;
class CUnreadableFolders;
class CFileTypesWindow;

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
// Command ids of the row commands and the View menu's units choice.
enum RowCommandId : int {
    ID_OPEN = 32781,
    ID_OPEN_CONTAINING_FOLDER = 32782,
    ID_COPY_FULL_NAME = 32783,
    ID_REFRESH = 32784,
    ID_REFRESH_ALL = 32785,
    ID_SIZE_BYTES = 32786,
    ID_SIZE_UNITS = 32787,
    ID_STOP = 32788,
};

// Where the settings live: the profile key of the application framework.
inline constexpr const char* kSettingsOrganization = "Local AppWizard-Generated Applications";

class CMainFrame : public QMainWindow {
public:
    // The window's size without stored settings: the eight columns in their
    // default widths side by side, on a screen 1280 pixels wide.
    static constexpr QSize kDefaultSize{1240, 720};

    // With settings, they are applied before the walk starts and written
    // back when the window closes.
    explicit CMainFrame(std::unique_ptr<CVelmoraDoc> document, std::unique_ptr<QSettings> settings = nullptr);
    ~CMainFrame() override;

    CVelmoraView& View() noexcept { return *m_view; }
    // The treemap below the tree, and what ties it to the window.
    CTreemapView& Treemap() noexcept { return *m_treemap; }
    CTreemapLink& TreemapLink() noexcept { return *m_treemapLink; }
    CVelmoraDoc& Document() noexcept { return *m_document; }
    QAction* Command(int id) const;
    // The close sequence; safe to call more than once.
    void Shutdown();
    // Writes the grid's rows to a PDF file; the status bar tells the
    // outcome, and `why` the reason it was not written.
    bool ExportPdf(const QString& file, QString* why = nullptr);
    // What "&Export to PDF..." does once the file is chosen: a file that
    // cannot be written is told in a message box, with the reason.
    bool ExportPdfAndTell(const QString& file);
    // A warning box over the window, not modal to the application; it goes
    // when closed.
    QMessageBox* Tell(const QString& title, const QString& text);

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
    // View > "&Sort by": the visible columns, each a click on its caption.
    QMenu* SortMenu() const { return m_sortBy; }
    // Open folder, Save scan, Open scan.
    CScanCommands& ScanCommands() noexcept { return *m_scan; }
    CFilterBar& FilterBar() const { return *m_filterBar; }
    // View > "U&nreadable folders", also opened by the status bar's count.
    CUnreadableFolders& UnreadableFolders() const { return *m_unreadableFolders; }
    QLabel* UnreadableLink() const { return m_unreadable; }
    // View > "File t&ypes".
    CFileTypesWindow& FileTypes() const { return *m_fileTypes; }

    // Window geometry and state, toolbar, font, lines, units, the whole
    // header (through its archive bytes) and the print settings (their own
    // record's bytes). A damaged stored value, or a settings file that does
    // not parse, is told with its reason on stderr, one line each, and in a
    // pane of the status bar (its tooltip lists them); the default stays.
    void SaveSettings(QSettings& settings);
    void LoadSettings(QSettings& settings);
    // The status bar's pane of damaged settings (empty while there are none).
    QString DamagedSettingsPane() const;
    // The row commands on an object (null: the focused row's).
    void OpenObject(Kestrum::Common::CDataObject* object);
    void OpenContainingFolder(Kestrum::Common::CDataObject* object);
    // Hands a file or folder to the desktop; when nothing opens it, a
    // message box says so and why.
    bool OpenWithDesktop(const QString& path);
    void CopyFullName(Kestrum::Common::CDataObject* object);
    bool RefreshObject(Kestrum::Common::CDataObject* object);
    bool RefreshAll();
    // Stops a walk under way (Esc on the grid, the toolbar's Stop): what was
    // found stays, the status bar and the title say it is incomplete, and
    // F5 walks everything again. False when no walk runs.
    bool StopWalk();
    bool IsIncomplete() const { return m_stopped; }
    // What a row command acts on: the object named while it still has a
    // row, else nothing; null names the focused row's.
    Kestrum::Common::CDataObject* CommandTarget(Kestrum::Common::CDataObject* object) const;
    // The context menu of a row; the caller owns it.
    QMenu* MakeContextMenu(Kestrum::Common::CDataObject* object);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddCommand(QMenu* menu, int id, const QString& text, const QString& prompt, const QString& icon);
    void ReportDamaged(const QString& what, const QString& why = {});
    void ReportSettingsProblem(const QString& line, const QString& what);

    // Settings > Excluded folders: edits the stored patterns.
    void EditExcludedFolders();
    void FillSortMenu();
    std::unique_ptr<CVelmoraDoc> m_document;
    CVelmoraView* m_view = nullptr;
    CTreemapView* m_treemap = nullptr;
    std::unique_ptr<CTreemapLink> m_treemapLink;
    CScanCommands* m_scan = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_unreadable = nullptr;
    QString m_unreadableText;
    CUnreadableFolders* m_unreadableFolders = nullptr;
    QLabel* m_settingsPane = nullptr;
    QStringList m_damaged; // the lines told about damaged settings
    QLabel* m_lockPanes[3] = {};
    QMenu* m_settings = nullptr;
    QMenu* m_sortBy = nullptr;
    QAction* m_lines = nullptr;
    QAction* m_enterOthers = nullptr;
    QAction* m_units = nullptr;
    QAction* m_bytes = nullptr;
    QToolBar* m_toolbar = nullptr;
    CFilterBar* m_filterBar = nullptr;
    CFileTypesWindow* m_fileTypes = nullptr;
    std::unique_ptr<QSettings> m_profile;
    bool m_walking = true;
    bool m_stopped = false; // the last walk was stopped before its end
    QElapsedTimer m_elapsed;
    void ShowContextMenu(const QPoint& globalPosition, Kestrum::Common::CDataObject* object);
    void WalkStarted();
    bool m_shutDown = false;
};

} // namespace Velmora
