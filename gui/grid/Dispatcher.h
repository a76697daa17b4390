// CDispatcher: carries data-object changes and foreign grid calls to the GUI
// thread.
//
// Contract:
// - Field changes (OnFieldChanged, any thread) are queued and applied on the
//   GUI thread in posting order; the notifying thread never waits.
// - A data object's disposal and a grid call from a foreign thread run on
//   the GUI thread while the caller waits ("sent"). Sent calls go before
//   queued updates and are also run between updates of a long batch, so a
//   flood of changes cannot starve them.
// - A grid that is closing answers its pending and new foreign calls at
//   once with "not done"; a disposal whose rows all belong to closing grids
//   is finished on the caller's thread without waiting for the GUI thread,
//   so a worker that destroys objects while the GUI thread joins it cannot
//   deadlock.
// - A call made on the GUI thread runs directly.
//
// Hand-offs: a round trip through the event loop costs two thread wake-ups
// (tens of microseconds). On a machine with more than one core, a caller
// first spins briefly for its answer, and the GUI thread, after serving a
// call, keeps polling for the next one for a short while (bounded, so
// painting and timers still get their turn); a call that arrives while it
// polls needs no wake-up event at all.
#pragma once

#include "gui/platform/Export.h"

#include <QObject>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "common/CoalescingQueue.h"
#include "common/DataObject.h"
#include "gui/grid/DispatchTarget.h"
#include "gui/grid/GridClock.h"

namespace Kestrum::GUI {

class CGridItem;
class CQtDrainScheduler;

class KESTRUM_GUI_EXPORT CDispatcher : public QObject, public Common::CDataObject::ISink {
public:
    // Created on first use, on the thread that will run the grids.
    static CDispatcher& Instance();

    bool IsGuiThread() const;

    void OnFieldsChanged(const std::set<Common::FieldId>& ids, Common::CDataObject* object) override;
    void OnFieldChanged(Common::FieldId id, Common::CDataObject* object) override;
    void OnDispose(Common::CDataObject* object) override;

    // Runs `call` on the GUI thread for `target` and waits. False when it did
    // not run: the target is closing or closed.
    bool Send(IDispatchTarget* target, const std::function<void()>& call);
    // The target is closing: its pending calls are answered "not done".
    void CancelCalls(IDispatchTarget* target);
    // Applies every queued update now (GUI thread; used by tests and shutdown).
    void DrainUpdates();

protected:
    bool event(QEvent* event) override;

private:
    CDispatcher();
    ~CDispatcher() override;
    struct CSentCall;
    struct Update {
        Common::CDataObject* object;
        Common::FieldId field;
    };

    // Runs the queued sent calls; true when at least one ran.
    bool RunSentCalls();
    // Runs sent calls, then polls for more for a bounded time.
    void ServeSentCalls();
    // GUI thread: one queued update; every so many the sent calls run too.
    void ApplyUpdate(Update& update);
    void ProcessDisposal(Common::CDataObject* object);
    // Disposal without the GUI thread: every row's grid is closing.
    bool DisposeForClosingGrids(Common::CDataObject* object);
    void WakeForSentCalls();

    // Field changes: applied in posting order, a slice per wake-up.
    Common::CCoalescingQueue<Update> m_updates;
    CQtDrainScheduler* m_updateScheduler; // a child of this object
    int m_updatesSinceSent = 0; // GUI thread
    std::mutex m_mutex; // guards the sent calls
    std::deque<std::shared_ptr<CSentCall>> m_sent;
    bool m_sentWakePending = false;
    bool m_polling = false; // the GUI thread is polling for sent calls
    std::atomic<std::size_t> m_sentQueued{0};
    const bool m_spin;
};

} // namespace Kestrum::GUI
