#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "common/Thread.h"

using namespace Kestrum::Common;
using namespace std::chrono_literals;

namespace {
// Counts its runs; either polls the stop flag or ignores it for a while.
class CWorker : public CThread {
public:
    explicit CWorker(bool ignoreStop = false, std::string name = "worker") : CThread(std::move(name)), m_ignoreStop(ignoreStop) {}
    ~CWorker() override { StopAndJoin(); }
    std::atomic<int> runs{0};
    std::atomic<bool> release{false};

protected:
    std::uint32_t Run() override
    {
        ++runs;
        while (m_ignoreStop ? !release.load() : !IsStopRequested())
            std::this_thread::sleep_for(1ms);
        return 0;
    }

private:
    bool m_ignoreStop;
};
} // namespace

TEST(CThread, StartTwiceRunsOneThread)
{
    CWorker worker;
    worker.Start();
    worker.Start();
    EXPECT_TRUE(worker.IsRunning());
    worker.RequestStop();
    worker.Wait(5000);
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(worker.runs, 1);
    EXPECT_EQ(worker.GetName(), "worker");
}

TEST(CThread, StartClearsAnEarlierStopRequest)
{
    CWorker worker(false, "");
    worker.RequestStop();
    worker.Start();
    EXPECT_FALSE(worker.IsStopRequested());
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(worker.IsRunning());
    worker.RequestStop();
    worker.Wait(5000);
    // Restartable after Wait.
    worker.Start();
    worker.RequestStop();
    worker.Wait(5000);
    EXPECT_EQ(worker.runs, 2);
}

TEST(CThread, TimedOutWaitLeavesTheThreadAndBlocksASecondOne)
{
    CWorker worker(true);
    worker.Start();
    worker.RequestStop();
    const auto begin = std::chrono::steady_clock::now();
    worker.Wait(300);
    const auto waited = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(waited, 290ms);
    EXPECT_LT(waited, 3s);
    EXPECT_FALSE(worker.IsRunning());
    worker.Start(); // the first thread still runs: nothing starts
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(worker.runs, 1);
    worker.release = true;
    std::this_thread::sleep_for(50ms);
    worker.Start(); // ended by now: a new run starts
    worker.RequestStop();
    worker.Wait(5000);
    EXPECT_EQ(worker.runs, 2);
}

TEST(CThread, DestroyingARunningThreadStopsAndJoins)
{
    auto worker = std::make_unique<CWorker>();
    worker->Start();
    std::this_thread::sleep_for(10ms);
    worker.reset(); // must not crash or hang
    SUCCEED();
}

TEST(CThread, WaitWithoutStartReturnsAtOnce)
{
    CWorker worker;
    const auto begin = std::chrono::steady_clock::now();
    worker.Wait(2000);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 100ms);
}
