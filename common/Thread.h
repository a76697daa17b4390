// CThread: one worker thread running the virtual Run of a derived class,
// with a cooperative stop request that Run polls.
//
// Start, Wait and the destructor are called from the owner's thread; the
// flags are atomic and may be read from any thread. A thread is never
// killed: after a Wait that timed out it keeps running, and the object does
// not start another one until it has ended. A derived class whose Run uses
// its own members calls StopAndJoin in its destructor.
#pragma once

#include "common/Export.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Kestrum::Common {

class KESTRUM_COMMON_EXPORT CThread {
public:
    explicit CThread(std::string name = {});
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Ignored while running (or while a thread from before a timed-out
    // Wait is still alive); clears the stop request and starts Run.
    virtual void Start();
    virtual void RequestStop();
    // Clears running and waits for the thread to end, at most `milliseconds`.
    virtual void Wait(std::uint32_t milliseconds);
    virtual std::string GetName() const;
    virtual bool IsRunning() const;
    virtual bool IsStopRequested() const;
    // Requests the stop and joins a thread that still runs.
    virtual ~CThread();

protected:
    virtual std::uint32_t Run() = 0;
    // Requests the stop and waits for the thread without a time limit.
    void StopAndJoin();

private:
    static void* ThreadMain(void* self);

    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace Kestrum::Common
