// Velmora's application-wide pieces: its name, icon and icon theme, the
// About box, the lock-key state for the status bar, and the screenshot run.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QIcon>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

class QLabel;

namespace Velmora {

class CMainFrame;

// Names the application, gives it its icon and sets up the icon theme the
// way a desktop session does, also where the platform (offscreen) offers no
// theme of its own: the Adwaita theme with hicolor behind it, searched in
// the user's and the system's icon folders. Call once after QApplication.
void SetUpApplication();
// The theme search path of a desktop session: the user's ~/.icons, then the
// "icons" folder of every XDG data folder.
QStringList DesktopIconThemePaths();
// The application's icon (16 to 256 pixels).
QIcon ApplicationIcon();

// About box (dialog 100): the caption "About Velmora...", the application
// icon, the text "Velmora version 1.0" and an OK button, wide enough for
// its caption and text.
class CAboutBox : public QDialog {
public:
    explicit CAboutBox(QWidget* parent = nullptr);
    QLabel* IconLabel() const { return m_icon; }
    QLabel* TextLabel() const { return m_text; }
    // The width the caption needs in a title bar, with its buttons.
    int CaptionWidth() const;

private:
    QLabel* m_icon;
    QLabel* m_text;
};

// The lock keys as the platform reports them; none where it does not
// (offscreen, Wayland): the status bar then shows no state rather than a
// false one.
struct LockKeyState {
    bool capsLock = false;
    bool numLock = false;
    bool scrollLock = false;
};
std::optional<LockKeyState> ReadLockKeys();

// The unattended runs of --screenshot, --export-pdf and --expand: waits
// until the walk has ended and every announced row is in (or the time given
// is up), then opens the first `expandLevels` levels (-1: the drives and
// their first two folders). With a picture or a PDF to save it also sorts by
// size, waits until the change highlights of the rows in view have faded,
// saves the main window as a picture and the rows as a PDF, and quits with 0
// (1 when a file cannot be written); with neither it only opens the levels.
class CScreenshot : public QObject {
public:
    CScreenshot(CMainFrame& frame, QString file, double afterSeconds, QString pdf = {}, int expandLevels = -1);

    // The walk is over and every row is in.
    bool IsWalkShown() const;
    // No row in view is still highlighted by a change.
    bool IsHighlightSettled() const;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void Arrange();
    void Save();

    CMainFrame& m_frame;
    QString m_file;
    QString m_pdf;
    int m_expandLevels;
    qint64 m_deadline; // milliseconds, -1: none
    QElapsedTimer m_elapsed;
    bool m_arranged = false;
    int m_timer = 0;
};

// Once the walk has ended and every row is in, prints one line: the grid
// body's screen rectangle, the header and row heights, and the left and
// right edges of each visible column in body coordinates.
void ReportLayoutWhenShown(CMainFrame& frame);

} // namespace Velmora
