#include "gui/platform/QtDrainScheduler.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>

namespace Kestrum::GUI {

namespace {
const QEvent::Type kServeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
}

CQtDrainScheduler::CQtDrainScheduler(std::function<void()> serve, Qt::EventPriority priority, QObject* parent)
    : QObject(parent), m_serve(std::move(serve)), m_priority(priority)
{
}

void CQtDrainScheduler::PostServe() { QCoreApplication::postEvent(this, new QEvent(kServeEvent), m_priority); }

void CQtDrainScheduler::ServeAfter(int milliseconds) { m_lookAgain.start(milliseconds, Qt::PreciseTimer, this); }

void CQtDrainScheduler::CancelServeAfter() { m_lookAgain.stop(); }

bool CQtDrainScheduler::event(QEvent* event)
{
    if (event->type() != kServeEvent)
        return QObject::event(event);
    m_serve();
    return true;
}

void CQtDrainScheduler::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_lookAgain.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    m_lookAgain.stop(); // a look-again fires once; the serve may arm it again
    m_serve();
}

} // namespace Kestrum::GUI
