#include "common/Thread.h"

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace Kestrum::Common {

namespace {
// Deep folder walks recurse once per level: give workers room beyond the
// default 8 MiB (only the pages touched are committed).
constexpr std::size_t kStackSize = 64u << 20;
} // namespace

struct CThread::Impl {
    std::string name;
    pthread_t thread{};
    bool joinable = false;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> running{false};
    std::uint32_t threadId = 0;
    // Set by the thread as its last step, so Wait can time out.
    std::mutex finishedMutex;
    std::condition_variable finishedChanged;
    bool finished = true;

    bool HasLiveThread()
    {
        std::lock_guard lock(finishedMutex);
        return joinable && !finished;
    }
};

CThread::CThread(std::string name) : m_impl(std::make_unique<Impl>()) { m_impl->name = std::move(name); }

CThread::~CThread() { StopAndJoin(); }

void CThread::StopAndJoin()
{
    if (!m_impl->joinable)
        return;
    m_impl->stopRequested = true;
    pthread_join(m_impl->thread, nullptr);
    m_impl->joinable = false;
    m_impl->running = false;
}

void CThread::Start()
{
    if (m_impl->running || m_impl->HasLiveThread())
        return;
    if (m_impl->joinable) {
        pthread_join(m_impl->thread, nullptr); // ended on its own after a timed-out Wait
        m_impl->joinable = false;
    }
    m_impl->stopRequested = false;
    {
        std::lock_guard lock(m_impl->finishedMutex);
        m_impl->finished = false;
    }
    m_impl->running = true;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kStackSize);
    const int created = pthread_create(&m_impl->thread, &attributes, &CThread::ThreadMain, this);
    pthread_attr_destroy(&attributes);
    if (created != 0) {
        // Not reported: running stays set and Wait returns at once.
        std::lock_guard lock(m_impl->finishedMutex);
        m_impl->finished = true;
        return;
    }
    m_impl->joinable = true;
    m_impl->threadId = static_cast<std::uint32_t>(m_impl->thread);
}

void* CThread::ThreadMain(void* self)
{
    auto* thread = static_cast<CThread*>(self);
    Impl& impl = *thread->m_impl;
    if (!impl.name.empty())
        pthread_setname_np(pthread_self(), impl.name.substr(0, 15).c_str());
    thread->Run();
    std::lock_guard lock(impl.finishedMutex);
    impl.finished = true;
    impl.finishedChanged.notify_all();
    return nullptr;
}

void CThread::RequestStop() { m_impl->stopRequested = true; }

void CThread::Wait(std::uint32_t milliseconds)
{
    if (!m_impl->running)
        return;
    m_impl->running = false;
    bool ended = false;
    {
        std::unique_lock lock(m_impl->finishedMutex);
        ended = m_impl->finishedChanged.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                                 [this] { return m_impl->finished; });
    }
    if (ended && m_impl->joinable) {
        pthread_join(m_impl->thread, nullptr);
        m_impl->joinable = false;
    }
}

std::string CThread::GetName() const { return m_impl->name; }
bool CThread::IsRunning() const { return m_impl->running; }
bool CThread::IsStopRequested() const { return m_impl->stopRequested; }

} // namespace Kestrum::Common
