// CQtDrainScheduler: wakes a CCoalescingQueue's consumer through the Qt
// event loop of the thread the scheduler lives on: a posted event for "serve
// soon" (from any thread) and a precise timer for "look again" (that thread
// only). Posted events of a destroyed scheduler are discarded by Qt.
#pragma once

#include "gui/platform/Export.h"

#include <QBasicTimer>
#include <QObject>
#include <functional>

#include "common/CoalescingQueue.h"

namespace Kestrum::GUI {

class KESTRUM_GUI_EXPORT CQtDrainScheduler : public QObject, public Common::IDrainScheduler {
public:
    CQtDrainScheduler(std::function<void()> serve, Qt::EventPriority priority = Qt::NormalEventPriority,
                      QObject* parent = nullptr);

    void PostServe() override;
    void ServeAfter(int milliseconds) override;
    void CancelServeAfter() override;

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    std::function<void()> m_serve;
    Qt::EventPriority m_priority;
    QBasicTimer m_lookAgain;
};

} // namespace Kestrum::GUI
