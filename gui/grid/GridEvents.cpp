#include "gui/grid/Grid.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include "gui/accessibility/GridAccessNotify.h"
#include "gui/edit/EditInPlace.h"
#include "gui/clipboard/CopyPaste.h"
#include "gui/clipboard/DragDrop.h"
#include "gui/clipboard/GridTransfer.h"
#include "gui/grid/Dispatcher.h"
#include "gui/grid/GridImpl.h"
#include "gui/grid/ObjectRegistry.h"
#include "gui/grid/HeaderConfigurationDlg.h"
#include "gui/paint/CustomDraw.h"
#include "gui/platform/Archive.h"
#include "gui/platform/KeyCodes.h"

// The widget's events: each goes to the room that handles it.
namespace Kestrum::GUI {

// --- the widget's events -----------------------------------------------------------------------

bool CGrid::GetHorizontalScrollPosition(int& position) const
{
    position = horizontalScrollBar()->value();
    return true;
}

bool CGrid::event(QEvent* event)
{
    // A key goes to the grid from its ShortcutOverride first; a hidden or
    // deactivated grid leaves no pop-up on the screen.
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::Hide ||
        event->type() == QEvent::WindowDeactivate)
        m_impl->tooltips->HideAll();
    // The keys of a control inside the body (an editor) are its own: no
    // window shortcut takes them, and neither does the grid.
    if (event->type() == QEvent::ShortcutOverride && m_impl->edit->FocusInsideBody()) {
        event->accept();
        return true;
    }
    // Keys the grid takes are not window shortcuts while it has the focus.
    if (event->type() == QEvent::ShortcutOverride && m_impl->input->OnShortcutOverride(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::Paint) {
        // The style draws the frame; the focus frame goes over it.
        const bool done = QAbstractScrollArea::event(event);
        m_impl->PaintFocusFrame();
        return done;
    }
    return QAbstractScrollArea::event(event);
}

bool CGrid::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Leave) {
        InputMessage leave;
        leave.kind = InputMouseLeave;
        m_impl->input->Dispatch(leave, nullptr);
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void CGrid::paintEvent(QPaintEvent* event) { m_impl->Paint(event); }

void CGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    m_impl->RefreshScrollBars();
}

void CGrid::scrollContentsBy(int, int) {}

void CGrid::timerEvent(QTimerEvent* event)
{
    for (int id = 0; id < TimerCount; ++id) {
        if (event->timerId() != m_impl->timers[id].timerId())
            continue;
        switch (id) {
        case TimerRepaint: m_impl->RunDelayedRepaints(); break;
        case TimerScrollBars:
            if (m_impl->ScrollBarTimerDue()) {
                m_impl->timers[id].stop();
                m_impl->RefreshScrollBars();
            }
            break;
        case TimerEnsureVisible: m_impl->RunEnsureVisible(); break;
        case TimerTooltip: m_impl->tooltips->OnAutoHideTimer(); break;
        case TimerFrame: m_impl->Frame(); break;
        case TimerColumnWidth:
            m_impl->timers[id].stop();
            m_impl->RefreshScrollBars();
            m_impl->UpdateViewport();
            break;
        default: m_impl->timers[id].stop(); break;
        }
        return;
    }
    QAbstractScrollArea::timerEvent(event);
}

// Keys, presses, double clicks and the wheel hide the tooltips first; a key
// a control inside the body did not take ends here.
void CGrid::keyPressEvent(QKeyEvent* event)
{
    m_impl->tooltips->HideAll();
    if (m_impl->edit->FocusInsideBody())
        event->accept();
    else
        m_impl->input->OnKeyPress(*event);
}
void CGrid::keyReleaseEvent(QKeyEvent* event)
{
    m_impl->tooltips->HideAll();
    if (m_impl->edit->FocusInsideBody())
        event->accept();
    else
        m_impl->input->OnKeyRelease(*event);
}

namespace {
int PressKind(Qt::MouseButton button, bool doubleClick)
{
    switch (button) {
    case Qt::LeftButton: return doubleClick ? InputLeftDoubleClick : InputLeftDown;
    case Qt::RightButton: return doubleClick ? InputRightDoubleClick : InputRightDown;
    case Qt::MiddleButton: return doubleClick ? InputMiddleDoubleClick : InputMiddleDown;
    default: return 0;
    }
}
int ReleaseKind(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return InputLeftUp;
    case Qt::RightButton: return InputRightUp;
    case Qt::MiddleButton: return InputMiddleUp;
    default: return 0;
    }
}
} // namespace

// The mouse events arrive from the viewport, in its coordinates; the grab
// that Qt takes on a press is the capture of the design.
void CGrid::mousePressEvent(QMouseEvent* event)
{
    CInputStateScope state(event->modifiers(), event->buttons());
    if (PressKind(event->button(), false))
        m_impl->tooltips->HideAll();
    if (const int kind = PressKind(event->button(), false))
        m_impl->input->Dispatch(CGridInputController::MouseMessage(kind, *event), nullptr);
    event->accept();
}
void CGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    CInputStateScope state(event->modifiers(), event->buttons());
    if (event->button() == Qt::LeftButton)
        m_impl->tooltips->HideAll();
    if (const int kind = PressKind(event->button(), true))
        m_impl->input->Dispatch(CGridInputController::MouseMessage(kind, *event), nullptr);
    event->accept();
}
void CGrid::mouseReleaseEvent(QMouseEvent* event)
{
    CInputStateScope state(event->modifiers(), event->buttons());
    if (const int kind = ReleaseKind(event->button()))
        m_impl->input->Dispatch(CGridInputController::MouseMessage(kind, *event), nullptr);
    event->accept();
}
void CGrid::mouseMoveEvent(QMouseEvent* event)
{
    CInputStateScope state(event->modifiers(), event->buttons());
    m_impl->input->Dispatch(CGridInputController::MouseMessage(InputMouseMove, *event), nullptr);
    event->accept();
}

void CGrid::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    update(m_impl->FocusFrameRegion());
}
void CGrid::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    // Losing the focus ends what a held button was doing (its release may go elsewhere).
    InputMessage lost;
    lost.kind = InputCaptureLost;
    m_impl->input->Dispatch(lost, nullptr);
    update(m_impl->FocusFrameRegion());
}

// Drags over the viewport (QAbstractScrollArea hands them here).
void CGrid::dragEnterEvent(QDragEnterEvent* event) { m_impl->transfer->OnDragEnter(*event); }
void CGrid::dragMoveEvent(QDragMoveEvent* event) { m_impl->transfer->OnDragMove(*event); }
void CGrid::dragLeaveEvent(QDragLeaveEvent*) { m_impl->transfer->OnDragLeave(); }
void CGrid::dropEvent(QDropEvent* event) { m_impl->transfer->OnDrop(*event); }

void CGrid::wheelEvent(QWheelEvent* event)
{
    m_impl->tooltips->HideAll();
    if (m_impl->Wheel(event->angleDelta().y()))
        event->accept();
}

} // namespace Kestrum::GUI
