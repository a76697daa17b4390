// CInProcessDrag: a drag that runs inside this process, for platforms that
// offer none (offscreen, minimal: QDrag::exec answers at once there). Like
// the platform's drag it takes the mouse until the button goes up: moves go
// to the window under the pointer as drag enter, move and leave events, the
// release drops on the last window that accepted, Esc cancels. Only windows
// of this process can be reached.
//
// GUI thread; Exec runs a nested event loop.
#pragma once

#include "gui/platform/Export.h"

#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QWidget>

class QMimeData;

namespace Kestrum::GUI {

class KESTRUM_GUI_EXPORT CInProcessDrag final : public QObject {
public:
    // The action the drop target took, Qt::IgnoreAction when none did.
    static Qt::DropAction Exec(QWidget* source, QMimeData* data, Qt::DropActions actions);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CInProcessDrag(QMimeData* data, Qt::DropActions actions) : m_data(data), m_actions(actions) {}
    void MoveTo(QPoint global, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void Leave();
    void Drop(QPoint global, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void Finish();

    QMimeData* m_data;
    Qt::DropActions m_actions;
    QEventLoop m_loop;
    QPointer<QWidget> m_target;
    bool m_accepted = false;
    Qt::DropAction m_action = Qt::IgnoreAction;
    Qt::DropAction m_result = Qt::IgnoreAction;
    QPoint m_last;
    Qt::MouseButtons m_buttons = Qt::LeftButton;
    bool m_finished = false;
};

} // namespace Kestrum::GUI
