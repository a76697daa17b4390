#include "gui/clipboard/InProcessDrag.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <memory>

namespace Kestrum::GUI {

Qt::DropAction CInProcessDrag::Exec(QWidget*, QMimeData* data, Qt::DropActions actions)
{
    const std::unique_ptr<QMimeData> owned(data);
    CInProcessDrag drag(data, actions);
    qApp->installEventFilter(&drag);
    drag.m_loop.exec();
    qApp->removeEventFilter(&drag);
    return drag.m_result;
}

bool CInProcessDrag::eventFilter(QObject*, QEvent* event)
{
    // The mouse and the keys belong to the drag until it ends; an event that
    // reaches both the window and the widget is handled once.
    switch (event->type()) {
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!m_finished)
            MoveTo(mouse->globalPosition().toPoint(), mouse->buttons(), mouse->modifiers());
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!m_finished) {
            if (mouse->button() == Qt::LeftButton)
                Drop(mouse->globalPosition().toPoint(), mouse->buttons(), mouse->modifiers());
            else
                Leave();
            Finish();
        }
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (!m_finished && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
            Leave(); // the right button cancels, as Esc does
            Finish();
        }
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (m_finished)
            return true;
        if (event->type() == QEvent::KeyPress && key->key() == Qt::Key_Escape) {
            Leave();
            Finish();
        } else if (m_target) {
            MoveTo(m_last, m_buttons, key->modifiers()); // Ctrl or Shift may change the action
        }
        return true;
    }
    case QEvent::ShortcutOverride: return true;
    default: return false;
    }
}

void CInProcessDrag::MoveTo(QPoint global, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    m_last = global;
    m_buttons = buttons;
    QWidget* widget = QApplication::widgetAt(global);
    while (widget && !widget->acceptDrops())
        widget = widget->parentWidget();
    if (widget != m_target.data()) {
        Leave();
        m_target = widget;
        if (widget) {
            QDragEnterEvent enter(widget->mapFromGlobal(global), m_actions, m_data, buttons, modifiers);
            enter.ignore();
            QApplication::sendEvent(widget, &enter);
            m_accepted = enter.isAccepted();
            m_action = m_accepted ? enter.dropAction() : Qt::IgnoreAction;
        }
    }
    // A window that refused the enter gets no moves, as with a platform drag.
    if (!m_target || !m_accepted)
        return;
    QDragMoveEvent move(m_target->mapFromGlobal(global), m_actions, m_data, buttons, modifiers);
    move.ignore();
    QApplication::sendEvent(m_target, &move);
    m_action = move.isAccepted() ? move.dropAction() : Qt::IgnoreAction;
}

void CInProcessDrag::Leave()
{
    if (m_target && m_accepted) {
        QDragLeaveEvent leave;
        QApplication::sendEvent(m_target, &leave);
    }
    m_target = nullptr;
    m_accepted = false;
    m_action = Qt::IgnoreAction;
}

void CInProcessDrag::Drop(QPoint global, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    MoveTo(global, buttons, modifiers);
    if (!m_target || !m_accepted || m_action == Qt::IgnoreAction) {
        Leave();
        return;
    }
    QDropEvent drop(QPointF(m_target->mapFromGlobal(global)), m_actions, m_data, buttons, modifiers);
    drop.setDropAction(m_action);
    drop.ignore();
    QApplication::sendEvent(m_target, &drop);
    m_result = drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    m_target = nullptr;
    m_accepted = false;
}

void CInProcessDrag::Finish()
{
    m_finished = true;
    m_loop.quit();
}

} // namespace Kestrum::GUI
