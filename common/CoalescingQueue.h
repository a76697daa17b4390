// CCoalescingQueue: items pushed by any thread, consumed in order on one
// consumer thread (the GUI thread), with one wake-up per burst.
//
// Contract:
// - Push (any thread) appends an item. It wakes the consumer only when no
//   serve is posted and no look-again is armed, so while items stream in the
//   producers almost never have to wake it.
// - Serve (consumer thread, called by the scheduler) consumes items in push
//   order for at most one slice, then posts itself again while items remain,
//   so painting and timers get their turn between slices.
// - A serve that consumed something looks again after the linger time
//   before it counts the queue as idle; a look-again that finds nothing
//   counts it idle. The idle decision is made under the queue lock, so an
//   item pushed at that moment is never stranded.
// - With a capacity, Push waits while that many items wait (back-pressure),
//   until the consumer takes them or the queue is closed; the producer's own
//   give-up test is polled while it waits, so a producer can never be stuck
//   behind a consumer that waits for it.
// - Close (consumer thread) drops what waits, wakes waiting producers and
//   refuses later pushes.
// - A serve re-entered from its own consumer (a nested event loop) only
//   arms the look-again; the outer serve goes on afterwards.
#pragma once

#include "common/Export.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace Kestrum::Common {

// How the consumer thread is woken and when it looks again.
class KESTRUM_COMMON_EXPORT IDrainScheduler {
public:
    using Clock = std::chrono::steady_clock;
    virtual ~IDrainScheduler() = default;
    // Any thread: the consumer thread is to call Serve soon.
    virtual void PostServe() = 0;
    // Consumer thread: call Serve after `milliseconds` (replaces an earlier request).
    virtual void ServeAfter(int milliseconds) = 0;
    virtual void CancelServeAfter() = 0;
    // The clock the slices are measured on.
    virtual Clock::time_point Now() const { return Clock::now(); }
};

template <class T> class CCoalescingQueue {
public:
    struct Options {
        // Items that may wait before Push waits; 0: no limit.
        std::size_t capacity = 0;
        // A serve consumes for this long, then lets the event loop run.
        std::chrono::microseconds slice{4000};
        // A serve that consumed something looks again after this long
        // before it counts the queue as idle.
        int lingerMilliseconds = 2;
        // Items consumed between two readings of the clock.
        std::size_t clockEvery = 64;
    };
    using Consumer = std::function<void(T&)>;

    CCoalescingQueue(Consumer consumer, Options options) : m_consumer(std::move(consumer)), m_options(options)
    {
        if (m_options.clockEvery == 0)
            m_options.clockEvery = 1;
    }
    CCoalescingQueue(const CCoalescingQueue&) = delete;
    CCoalescingQueue& operator=(const CCoalescingQueue&) = delete;

    // Set once, before the first push.
    void SetScheduler(IDrainScheduler* scheduler) noexcept { m_scheduler = scheduler; }

    // Any thread. False when the item was not queued: the queue is closed,
    // or `keepWaiting` answered false while the queue was full.
    bool Push(T item, const std::function<bool()>& keepWaiting = {})
    {
        bool post = false;
        {
            std::unique_lock lock(m_mutex);
            while (m_options.capacity > 0 && m_pending.size() >= m_options.capacity && !m_closed) {
                if (keepWaiting && !keepWaiting())
                    return false;
                m_space.wait_for(lock, std::chrono::milliseconds(20));
            }
            if (m_closed)
                return false;
            m_pending.push_back(std::move(item));
            post = !m_scheduled;
            m_scheduled = true;
        }
        if (post)
            m_scheduler->PostServe();
        return true;
    }

    // Consumer thread: one slice of consuming (see the contract above).
    void Serve()
    {
        if (m_serving) {
            m_scheduler->ServeAfter(m_options.lingerMilliseconds);
            return;
        }
        CServing serving(m_serving);
        const auto until = m_scheduler->Now() + m_options.slice;
        std::size_t consumed = 0;
        for (;;) {
            if (!TakeMore(consumed > 0))
                return;
            while (m_takenAt < m_taken.size()) {
                m_consumer(m_taken[m_takenAt++]);
                if (m_closed) { // closed by the consumer itself
                    DropTaken();
                    return;
                }
                if (++consumed % m_options.clockEvery == 0 && m_scheduler->Now() >= until) {
                    m_scheduler->PostServe(); // still scheduled: the rest follows the next turn
                    return;
                }
            }
        }
    }

    // Consumer thread: consumes everything waiting now, without slices.
    // Returns how many items it consumed (0 when re-entered).
    std::size_t DrainAll()
    {
        if (m_serving)
            return 0;
        CServing serving(m_serving);
        std::size_t consumed = 0;
        for (;;) {
            while (m_takenAt < m_taken.size()) {
                m_consumer(m_taken[m_takenAt++]);
                ++consumed;
                if (m_closed) {
                    DropTaken();
                    return consumed;
                }
            }
            DropTaken();
            {
                std::lock_guard lock(m_mutex);
                if (m_pending.empty())
                    return consumed;
                m_taken.swap(m_pending);
            }
            m_space.notify_all();
        }
    }

    // True while items wait, a serve is posted or the look-again is armed.
    bool IsBusy() const
    {
        std::lock_guard lock(m_mutex);
        return m_scheduled || !m_pending.empty();
    }

    // Consumer thread.
    void Close()
    {
        {
            std::lock_guard lock(m_mutex);
            m_closed = true;
            m_scheduled = false;
            m_pending.clear();
        }
        m_space.notify_all();
        if (m_scheduler)
            m_scheduler->CancelServeAfter();
        if (!m_serving)
            DropTaken(); // else the serve drops them when its consumer returns
    }

    bool IsClosed() const
    {
        std::lock_guard lock(m_mutex);
        return m_closed;
    }

private:
    struct CServing {
        bool& flag;
        explicit CServing(bool& serving) : flag(serving) { flag = true; }
        ~CServing() { flag = false; }
    };

    void DropTaken()
    {
        m_taken.clear();
        m_takenAt = 0;
    }

    // Moves the waiting items to the consumer's side when it has consumed
    // its own. False when the serve ends: the queue is idle (the look-again
    // is armed when this serve consumed something) or closed.
    bool TakeMore(bool consumedSome)
    {
        if (m_takenAt < m_taken.size())
            return true;
        DropTaken();
        {
            std::lock_guard lock(m_mutex);
            if (m_closed)
                return false;
            if (m_pending.empty()) {
                if (consumedSome) {
                    m_scheduler->ServeAfter(m_options.lingerMilliseconds);
                } else {
                    m_scheduled = false;
                    m_scheduler->CancelServeAfter();
                }
                return false;
            }
            m_taken.swap(m_pending);
        }
        m_space.notify_all();
        return true;
    }

    Consumer m_consumer;
    Options m_options;
    IDrainScheduler* m_scheduler = nullptr;
    mutable std::mutex m_mutex;
    std::condition_variable m_space;
    std::vector<T> m_pending; // guarded by m_mutex
    bool m_scheduled = false; // a serve is posted or the look-again armed; guarded
    bool m_closed = false;    // guarded (read unguarded by the consumer, which alone sets it)
    // The consumer thread's side.
    std::vector<T> m_taken;
    std::size_t m_takenAt = 0;
    bool m_serving = false;
};

} // namespace Kestrum::Common
