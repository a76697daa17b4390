// CScanCommands: the File menu's "&Open folder...", "&Save scan..." and
// "Open sc&an..." and what goes with them: the window's title, the reading
// of a scan file (its progress, Esc to stop it, its outcome), and the
// question a refresh of a folder read from a scan file asks first.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QMenu;
class QShortcut;
class QTimer;

namespace Kestrum::Common {
class CDataObject;
}

namespace Velmora {

class CMainFrame;

class CScanCommands : public QObject {
public:
    // Adds the commands at the top of `fileMenu` (its own menu, after File).
    CScanCommands(CMainFrame& frame, QMenu& fileMenu);

    // "usr - Velmora" for a chosen folder or scan file, else the
    // application's own title.
    QString Title() const;
    // Replace what is shown (false while the window is closing). A walk or
    // a reading still running is stopped first.
    bool OpenFolder(const QString& folder);
    bool OpenScan(const QString& file);
    // Writes what is shown; false (with `why`) when it cannot.
    bool SaveScan(const QString& file, QString* why = nullptr);
    // How far the reading of a scan file is ("42% of scan.json"), empty
    // when none is being read.
    QString ReadingProgress() const;
    // Whether a refresh of `object`'s folder may walk it: always for a walked
    // tree; for one read from a scan file only when the folder exists here
    // and the user agrees (asked through `confirm`), else a box says why not.
    bool MayRefresh(Kestrum::Common::CDataObject* object);
    std::function<bool(const QString& question)> confirm;
    // The message of the last scan file that could not be read.
    const QString& LastError() const noexcept { return m_lastError; }

private:
    bool Replace(const std::function<void()>& retarget);
    void WatchReading();

    CMainFrame& m_frame;
    QAction* m_save = nullptr;
    QShortcut* m_escape = nullptr;
    QTimer* m_watch = nullptr;
    QString m_lastError;
};

} // namespace Velmora
