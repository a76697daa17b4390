#include "gui/grid/Dispatcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <chrono>
#if defined(__linux__)
#include <sched.h>
#endif
#include <thread>

#include "gui/grid/GridItem.h"
#include "gui/grid/GridRows.h"
#include "gui/grid/ObjectRegistry.h"
#include "gui/platform/QtDrainScheduler.h"

namespace Kestrum::GUI {

namespace {
const QEvent::Type kSentEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
constexpr int kUpdatesBetweenSentCalls = 64;
// A caller spins this long for its answer before it sleeps.
constexpr auto kCallerSpin = std::chrono::microseconds(100);
// The GUI thread polls this long after the last call it served...
constexpr auto kServeIdle = std::chrono::microseconds(200);
// ...and returns to its event loop after serving this long.
constexpr auto kServeMax = std::chrono::milliseconds(4);
// A wake-up applies queued updates for at most this long, then lets the
// event loop paint and run timers.
constexpr auto kDrainMax = std::chrono::milliseconds(4);
// After applying updates the GUI thread looks again after this long before it
// counts the queue as idle: while objects change in a stream, the threads
// changing them then never have to wake it.
constexpr int kUpdateLingerMs = 2;

using SpinClock = std::chrono::steady_clock;

inline void CpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

IDispatchTarget* TargetOf(CGridItem* item)
{
    CItemTree* tree = item ? item->GetTree() : nullptr;
    if (!tree || tree->GetKind() == TreeDetached || !tree->GetOwner())
        return nullptr;
    return tree->GetOwner()->GetDispatchTarget();
}
} // namespace

struct CDispatcher::CSentCall {
    enum State { Pending, Running, Done, Cancelled };
    IDispatchTarget* target = nullptr;
    // The caller's function: it outlives the call, since the caller waits
    // until the call is done or, while it is still pending, cancelled.
    const std::function<void()>* call = nullptr;
    // Pending -> Running -> Done, or Pending -> Cancelled; each step is one
    // atomic exchange, so the hand-off takes no lock. A caller that stops
    // spinning sets `sleeping` and waits on the condition; only then does
    // finishing take the mutex to wake it.
    std::atomic<State> state{Pending};
    std::atomic<bool> sleeping{false};
    std::mutex mutex;
    std::condition_variable changed;

    bool Finished() const
    {
        const State now = state.load();
        return now == Done || now == Cancelled;
    }
    bool Claim(State to)
    {
        State expected = Pending;
        return state.compare_exchange_strong(expected, to);
    }
    void Finish(State to)
    {
        state.store(to);
        if (sleeping.load()) {
            { std::lock_guard lock(mutex); }
            changed.notify_all();
        }
    }
    void SpinUntilFinished() const
    {
        const auto until = SpinClock::now() + kCallerSpin;
        // The flag is checked after every pause (a pause may take over a
        // hundred cycles); the clock only every 32.
        for (unsigned spins = 1; !Finished(); ++spins) {
            CpuRelax();
            if (spins % 32 == 0 && SpinClock::now() >= until)
                return;
        }
    }
    // Waits up to `period` for the call to finish (after the spin).
    void Sleep(std::chrono::milliseconds period)
    {
        sleeping.store(true);
        std::unique_lock lock(mutex);
        if (!Finished())
            changed.wait_for(lock, period);
    }
};

CDispatcher& CDispatcher::Instance()
{
    static CDispatcher* dispatcher = [] {
        auto* created = new CDispatcher; // lives until exit, like the registry
        CObjectRegistry::Instance().SetSink(created);
        return created;
    }();
    return *dispatcher;
}

namespace {
// Spinning only pays when the two threads can run at the same time: the
// CPUs this process may use, not the machine's.
bool SeveralCpusUsable()
{
#if defined(__linux__)
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) == 0)
        return CPU_COUNT(&set) > 1;
#endif
    return std::thread::hardware_concurrency() > 1;
}
} // namespace

CDispatcher::CDispatcher()
    : m_updates([this](Update& update) { ApplyUpdate(update); },
                {0, std::chrono::duration_cast<std::chrono::microseconds>(kDrainMax), kUpdateLingerMs,
                 kUpdatesBetweenSentCalls}),
      m_updateScheduler(new CQtDrainScheduler([this] { m_updates.Serve(); }, Qt::NormalEventPriority, this)),
      m_spin(SeveralCpusUsable())
{
    m_updates.SetScheduler(m_updateScheduler);
    GridClockNow();
}

CDispatcher::~CDispatcher() = default;

bool CDispatcher::IsGuiThread() const { return QThread::currentThread() == thread(); }

void CDispatcher::WakeForSentCalls()
{
    // Called with m_mutex held: one wake-up event at a time, none while the
    // GUI thread polls for calls anyway.
    if (m_sentWakePending || m_polling)
        return;
    m_sentWakePending = true;
    QCoreApplication::postEvent(this, new QEvent(kSentEvent), Qt::HighEventPriority);
}

void CDispatcher::OnFieldsChanged(const std::set<Common::FieldId>&, Common::CDataObject*) {}

void CDispatcher::OnFieldChanged(Common::FieldId id, Common::CDataObject* object) { m_updates.Push({object, id}); }

bool CDispatcher::event(QEvent* event)
{
    if (event->type() != kSentEvent)
        return QObject::event(event);
    {
        // The wake-up is made on another thread; taking the lock orders this
        // thread after it.
        std::lock_guard lock(m_mutex);
        m_sentWakePending = false;
    }
    ServeSentCalls();
    return true;
}

void CDispatcher::ServeSentCalls()
{
    if (!m_spin) {
        RunSentCalls();
        std::lock_guard lock(m_mutex);
        if (!m_sent.empty())
            WakeForSentCalls();
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_polling = true;
    }
    const auto start = SpinClock::now();
    auto lastServed = start;
    for (;;) {
        if (RunSentCalls())
            lastServed = SpinClock::now();
        for (int i = 0; i < 32 && m_sentQueued.load(std::memory_order_relaxed) == 0; ++i)
            CpuRelax();
        const auto now = SpinClock::now();
        const bool queued = m_sentQueued.load(std::memory_order_relaxed) != 0;
        if (now - start < kServeMax && (queued || now - lastServed < kServeIdle))
            continue;
        std::lock_guard lock(m_mutex);
        if (!m_sent.empty() && now - start < kServeMax)
            continue; // queued while the lock was not held
        m_polling = false;
        if (!m_sent.empty())
            WakeForSentCalls(); // served long enough: let the event loop run first
        return;
    }
}

bool CDispatcher::RunSentCalls()
{
    // Only the calls queued now: a caller that queues its next call at once
    // must not keep this loop from returning.
    std::size_t remaining = 0;
    {
        std::lock_guard lock(m_mutex);
        remaining = m_sent.size();
    }
    bool ran = false;
    for (; remaining > 0; --remaining) {
        std::shared_ptr<CSentCall> sent;
        {
            std::lock_guard lock(m_mutex);
            if (m_sent.empty())
                return ran;
            sent = m_sent.front();
            m_sent.pop_front();
            m_sentQueued.store(m_sent.size(), std::memory_order_relaxed);
        }
        ran = true;
        // A cancelled call's grid may be gone: its target is not touched.
        if (sent->state.load() != CSentCall::Pending)
            continue;
        if (sent->target && sent->target->IsClosing()) {
            if (sent->Claim(CSentCall::Cancelled))
                sent->Finish(CSentCall::Cancelled);
            continue;
        }
        if (!sent->Claim(CSentCall::Running))
            continue; // cancelled while queued
        (*sent->call)();
        sent->Finish(CSentCall::Done);
    }
    return ran;
}

void CDispatcher::DrainUpdates() { m_updates.DrainAll(); }

void CDispatcher::ApplyUpdate(Update& update)
{
    // A long batch lets sent calls in between, so a flood of changes cannot
    // starve a waiting caller.
    if (++m_updatesSinceSent == kUpdatesBetweenSentCalls) {
        m_updatesSinceSent = 0;
        RunSentCalls();
    }
    CObjectRegistry& registry = CObjectRegistry::Instance();
    std::lock_guard lock(registry.Lock());
    // Collect first: applying may remove rows (a filter, an event handler).
    const std::vector<CGridItem*> items = registry.AllItems(update.object);
    for (CGridItem* item : items) {
        if (!registry.Contains(update.object, item))
            continue;
        if (IDispatchTarget* target = TargetOf(item); target && !target->IsClosing())
            target->ApplyUpdate(item, update.field);
    }
}

void CDispatcher::ProcessDisposal(Common::CDataObject* object)
{
    CObjectRegistry& registry = CObjectRegistry::Instance();
    std::lock_guard lock(registry.Lock());
    registry.SetDisposing(true);
    for (CGridItem* item : registry.AllItems(object)) {
        if (!registry.Contains(object, item))
            continue;
        if (IDispatchTarget* target = TargetOf(item))
            target->RemoveDisposedItem(item);
        else
            delete item;
    }
    registry.EraseObject(object);
    registry.SetDisposing(false);
}

bool CDispatcher::DisposeForClosingGrids(Common::CDataObject* object)
{
    CObjectRegistry& registry = CObjectRegistry::Instance();
    std::lock_guard lock(registry.Lock());
    const std::vector<CGridItem*> items = registry.AllItems(object);
    for (CGridItem* item : items) {
        IDispatchTarget* target = TargetOf(item);
        if (!target || !target->IsClosing())
            return false;
    }
    // The rows stay until their closing grid clears them; they forget the
    // object now so nothing reads it after it is gone.
    registry.SetDisposing(true);
    registry.EraseObject(object);
    for (CGridItem* item : items)
        item->ForgetObject();
    registry.SetDisposing(false);
    return true;
}

void CDispatcher::OnDispose(Common::CDataObject* object)
{
    if (IsGuiThread()) {
        ProcessDisposal(object);
        return;
    }
    if (!CObjectRegistry::Instance().ContainsObject(object))
        return;
    if (DisposeForClosingGrids(object))
        return;
    const std::function<void()> dispose = [this, object] { ProcessDisposal(object); };
    auto sent = std::make_shared<CSentCall>();
    sent->call = &dispose;
    {
        std::lock_guard lock(m_mutex);
        m_sent.push_back(sent);
        m_sentQueued.store(m_sent.size(), std::memory_order_relaxed);
        WakeForSentCalls();
    }
    sent->SpinUntilFinished();
    while (!sent->Finished()) {
        sent->Sleep(std::chrono::milliseconds(20));
        // The GUI thread may be waiting for this thread: when every row's
        // grid is closing, finish here instead.
        if (sent->state.load() == CSentCall::Pending && DisposeForClosingGrids(object) &&
            sent->Claim(CSentCall::Cancelled))
            return;
    }
}

bool CDispatcher::Send(IDispatchTarget* target, const std::function<void()>& call)
{
    if (IsGuiThread()) {
        if (target && target->IsClosing())
            return false;
        call();
        return true;
    }
    if (target && target->IsClosing())
        return false;
    auto sent = std::make_shared<CSentCall>();
    sent->target = target;
    sent->call = &call;
    {
        // Checked again under the queue lock: a grid that starts closing
        // cancels its queued calls under this lock, so none is queued after.
        std::lock_guard lock(m_mutex);
        if (target && target->IsClosing())
            return false;
        m_sent.push_back(sent);
        m_sentQueued.store(m_sent.size(), std::memory_order_relaxed);
        WakeForSentCalls();
    }
    sent->SpinUntilFinished();
    while (!sent->Finished()) {
        sent->Sleep(std::chrono::milliseconds(20));
        if (target && target->IsClosing() && sent->Claim(CSentCall::Cancelled))
            return false;
    }
    return sent->state.load() == CSentCall::Done;
}

void CDispatcher::CancelCalls(IDispatchTarget* target)
{
    std::lock_guard lock(m_mutex);
    for (const auto& sent : m_sent)
        if (sent->target == target && sent->Claim(CSentCall::Cancelled))
            sent->Finish(CSentCall::Cancelled);
}

} // namespace Kestrum::GUI
