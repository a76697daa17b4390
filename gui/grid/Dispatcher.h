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

#include <QBasicTimer>
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "common/DataObject.h"

namespace Kestrum::GUI {

class CGridItem;

// Milliseconds since the clock was first read in the process.
std::int64_t GridClockNow();

// What the dispatcher needs from a grid.
class IDispatchTarget {
public:
    virtual bool IsClosing() const = 0;
    // Applies a field change to one of the grid's items (GUI thread).
    virtual void ApplyUpdate(CGridItem* item, Common::FieldId field) = 0;
    // Removes an item whose object is being destroyed (GUI thread).
    virtual void RemoveDisposedItem(CGridItem* item) = 0;

protected:
    ~IDispatchTarget() = default;
};

class CDispatcher : public QObject, public Common::CDataObject::ISink {
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
    void timerEvent(QTimerEvent* event) override;

private:
    CDispatcher();
    struct CSentCall;
    struct Update {
        Common::CDataObject* object;
        Common::FieldId field;
    };

    // Runs the queued sent calls; true when at least one ran.
    bool RunSentCalls();
    // Runs sent calls, then polls for more for a bounded time.
    void ServeSentCalls();
    void ApplyUpdate(const Update& update);
    // Applies queued updates in order; `bounded`: for one wake-up's time.
    // Returns how many updates it applied.
    std::size_t ApplyQueuedUpdates(bool bounded);
    // GUI thread: applies queued updates, then posts again, looks again
    // shortly, or counts the queue as idle.
    void ServeUpdates();
    void ProcessDisposal(Common::CDataObject* object);
    // Disposal without the GUI thread: every row's grid is closing.
    bool DisposeForClosingGrids(Common::CDataObject* object);
    void Wake(bool sent);

    std::mutex m_mutex;
    std::deque<Update> m_updates;
    std::deque<std::shared_ptr<CSentCall>> m_sent;
    // An update wake-up is posted, or the GUI thread looks again shortly.
    bool m_updateWakePending = false;
    QBasicTimer m_updateLinger; // GUI thread
    bool m_sentWakePending = false;
    bool m_polling = false; // the GUI thread is polling for sent calls
    std::atomic<std::size_t> m_sentQueued{0};
    const bool m_spin;
    std::atomic<bool> m_draining{false};
};

} // namespace Kestrum::GUI
