// The coalescing queue: one wake-up per burst, order kept, slices, the
// look-again before idle, back-pressure, closing and re-entry; then a real
// consumer thread racing producers that pause around the idle decision.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "common/CoalescingQueue.h"

using Kestrum::Common::CCoalescingQueue;
using Kestrum::Common::IDrainScheduler;

namespace {
// Records what the queue asks for; time moves only when the test says so.
struct CFakeScheduler : IDrainScheduler {
    int posts = 0;
    int lookAgains = 0; // ServeAfter calls
    int lastLinger = -1;
    bool lookAgainArmed = false;
    Clock::time_point now{};
    void PostServe() override { ++posts; }
    void ServeAfter(int milliseconds) override
    {
        ++lookAgains;
        lastLinger = milliseconds;
        lookAgainArmed = true;
    }
    void CancelServeAfter() override { lookAgainArmed = false; }
    Clock::time_point Now() const override { return now; }
};

using Options = CCoalescingQueue<int>::Options;

Options Unbounded() { return {0, std::chrono::microseconds(4000), 2, 1}; }

struct CoalescingQueue : ::testing::Test {
    std::vector<int> consumed;
    CFakeScheduler scheduler;
    std::unique_ptr<CCoalescingQueue<int>> queue;
    void Make(Options options, std::function<void(int&)> extra = {})
    {
        queue = std::make_unique<CCoalescingQueue<int>>(
            [this, extra](int& item) {
                consumed.push_back(item);
                if (extra)
                    extra(item);
            },
            options);
        queue->SetScheduler(&scheduler);
    }
};
} // namespace

TEST_F(CoalescingQueue, ABurstWakesTheConsumerOnceAndArrivesInOrder)
{
    Make(Unbounded());
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(queue->Push(i));
    EXPECT_EQ(scheduler.posts, 1);
    EXPECT_TRUE(queue->IsBusy());
    queue->Serve();
    ASSERT_EQ(consumed.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(consumed[static_cast<std::size_t>(i)], i);
    EXPECT_TRUE(scheduler.lookAgainArmed) << "a serve that consumed looks again before idling";
    EXPECT_EQ(scheduler.lastLinger, 2);
}

TEST_F(CoalescingQueue, WhileLingeringPushesNeedNoWakeUpAndALookAgainThatFindsNothingIdles)
{
    Make(Unbounded());
    queue->Push(1);
    queue->Serve();
    ASSERT_TRUE(scheduler.lookAgainArmed);
    queue->Push(2);
    queue->Push(3);
    EXPECT_EQ(scheduler.posts, 1) << "the look-again will take them";
    queue->Serve(); // the look-again
    EXPECT_EQ(consumed, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(scheduler.lookAgainArmed);
    queue->Serve(); // the next look-again finds nothing
    EXPECT_FALSE(scheduler.lookAgainArmed);
    EXPECT_FALSE(queue->IsBusy());
    queue->Push(4);
    EXPECT_EQ(scheduler.posts, 2) << "an idle queue is woken by the next push";
}

TEST_F(CoalescingQueue, AServeStopsAfterItsSliceAndPostsTheRest)
{
    // Each item takes a millisecond; a slice is four.
    Make(Unbounded(), [this](int&) { scheduler.now += std::chrono::milliseconds(1); });
    for (int i = 0; i < 10; ++i)
        queue->Push(i);
    queue->Serve();
    EXPECT_EQ(consumed.size(), 4u);
    EXPECT_EQ(scheduler.posts, 2) << "posted again while items remain";
    EXPECT_FALSE(scheduler.lookAgainArmed);
    queue->Serve();
    queue->Serve();
    EXPECT_EQ(consumed.size(), 10u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(consumed[static_cast<std::size_t>(i)], i);
}

TEST_F(CoalescingQueue, TheClockIsReadOnlyEverySoManyItems)
{
    Options options = Unbounded();
    options.clockEvery = 64;
    Make(options, [this](int&) { scheduler.now += std::chrono::milliseconds(1); });
    for (int i = 0; i < 100; ++i)
        queue->Push(i);
    queue->Serve();
    EXPECT_EQ(consumed.size(), 64u) << "the slice ends at the first reading past it";
}

TEST_F(CoalescingQueue, DrainAllTakesEverythingAtOnce)
{
    Make(Unbounded(), [this](int&) { scheduler.now += std::chrono::milliseconds(1); });
    for (int i = 0; i < 50; ++i)
        queue->Push(i);
    EXPECT_EQ(queue->DrainAll(), 50u);
    EXPECT_EQ(consumed.size(), 50u);
    queue->Serve(); // the posted serve finds nothing and idles
    EXPECT_FALSE(queue->IsBusy());
}

TEST_F(CoalescingQueue, AServeReEnteredFromItsConsumerOnlyLooksAgain)
{
    bool reentered = false;
    Make(Unbounded(), [&](int& item) {
        if (item == 1 && !reentered) {
            reentered = true;
            queue->Serve(); // a nested event loop inside the consumer
            EXPECT_EQ(queue->DrainAll(), 0u);
        }
    });
    for (int i = 0; i < 3; ++i)
        queue->Push(i);
    queue->Serve();
    EXPECT_EQ(consumed, (std::vector<int>{0, 1, 2})) << "the outer serve went on";
    EXPECT_GE(scheduler.lookAgains, 1);
}

TEST_F(CoalescingQueue, ClosingDropsWhatWaitsAndRefusesLaterPushes)
{
    Make(Unbounded());
    queue->Push(1);
    queue->Push(2);
    queue->Close();
    EXPECT_FALSE(queue->IsBusy());
    EXPECT_FALSE(queue->Push(3));
    queue->Serve();
    EXPECT_TRUE(consumed.empty());
}

TEST_F(CoalescingQueue, AConsumerThatClosesTheQueueEndsTheServe)
{
    Make(Unbounded(), [this](int& item) {
        if (item == 2)
            queue->Close();
    });
    for (int i = 1; i <= 5; ++i)
        queue->Push(i);
    queue->Serve();
    EXPECT_EQ(consumed, (std::vector<int>{1, 2}));
    queue->Serve();
    EXPECT_EQ(consumed.size(), 2u);
}

TEST_F(CoalescingQueue, AFullQueueMakesTheProducerWaitUntilTheConsumerTakesIt)
{
    Options options = Unbounded();
    options.capacity = 3;
    Make(options);
    std::atomic<int> pushed{0};
    std::thread producer([&] {
        for (int i = 0; i < 10; ++i) {
            ASSERT_TRUE(queue->Push(i));
            ++pushed;
        }
    });
    // The producer stops at the capacity until this thread takes the items.
    while (pushed.load() < 3)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(pushed.load(), 3) << "waits while three items wait";
    while (consumed.size() < 10) {
        queue->Serve();
        std::this_thread::yield();
    }
    producer.join();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(consumed[static_cast<std::size_t>(i)], i);
}

TEST_F(CoalescingQueue, AWaitingProducerGivesUpOrIsReleasedByClose)
{
    Options options = Unbounded();
    options.capacity = 1;
    Make(options);
    queue->Push(0);
    std::atomic<bool> keepWaiting{true};
    EXPECT_FALSE(queue->Push(1, [] { return false; })) << "gave up at once";
    bool result = true;
    std::thread producer([&] { result = queue->Push(2, [&] { return keepWaiting.load(); }); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    queue->Close();
    producer.join();
    EXPECT_FALSE(result);
}

namespace {
// A consumer thread with an event loop of its own: a posted serve or a due
// look-again runs Serve.
class CThreadScheduler : public IDrainScheduler {
public:
    void PostServe() override
    {
        std::lock_guard lock(m_mutex);
        m_posted = true;
        m_wake.notify_one();
    }
    void ServeAfter(int milliseconds) override
    {
        std::lock_guard lock(m_mutex); // called on the consumer thread
        m_due = Clock::now() + std::chrono::milliseconds(milliseconds);
        m_armed = true;
    }
    void CancelServeAfter() override
    {
        std::lock_guard lock(m_mutex);
        m_armed = false;
    }
    void Run(const std::function<void()>& serve, const std::atomic<bool>& stop)
    {
        while (!stop) {
            bool run = false;
            {
                std::unique_lock lock(m_mutex);
                if (m_armed)
                    m_wake.wait_until(lock, m_due, [&] { return m_posted || stop.load(); });
                else
                    m_wake.wait_for(lock, std::chrono::milliseconds(5), [&] { return m_posted || stop.load(); });
                if (m_posted) {
                    m_posted = false;
                    run = true;
                } else if (m_armed && Clock::now() >= m_due) {
                    m_armed = false;
                    run = true;
                }
            }
            if (run)
                serve();
        }
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_posted = false;
    bool m_armed = false;
    Clock::time_point m_due{};
};
} // namespace

TEST(CoalescingQueueThreads, ItemsPushedWithPausesAroundTheIdleDecisionAllArriveInOrder)
{
    // Pauses of up to four milliseconds straddle the two-millisecond
    // look-again: an item pushed just as the queue goes idle must still wake
    // the consumer.
    std::vector<int> consumed;
    std::atomic<int> count{0};
    CCoalescingQueue<int> queue(
        [&](int& item) {
            consumed.push_back(item);
            ++count;
        },
        {64, std::chrono::microseconds(4000), 2, 8});
    CThreadScheduler scheduler;
    queue.SetScheduler(&scheduler);
    std::atomic<bool> stop{false};
    std::thread consumer([&] { scheduler.Run([&] { queue.Serve(); }, stop); });
    constexpr int kItems = 3000;
    std::thread producer([&] {
        std::mt19937 random(5);
        for (int i = 0; i < kItems; ++i) {
            queue.Push(i);
            if (random() % 8 == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
        }
    });
    producer.join();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (count.load() < kItems && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stop = true;
    consumer.join();
    ASSERT_EQ(consumed.size(), static_cast<std::size_t>(kItems));
    for (int i = 0; i < kItems; ++i)
        ASSERT_EQ(consumed[static_cast<std::size_t>(i)], i);
}
