// The dispatcher's own contract, seen from a stand-in grid (an
// IDispatchTarget over real rows): updates arrive in posting order, nothing
// reaches a closing target, and calls to a closing target are refused
// wherever they come from.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <atomic>
#include <chrono>
#include <deque>
#include <future>
#include <memory>
#include <thread>

#include "FakeSurface.h"
#include "common/DynamicObject.h"
#include "gui/grid/Dispatcher.h"
#include "tests/support/EventPump.h"

using namespace Kestrum::GUI;
using Kestrum::Common::CDynamicObject;
using Kestrum::Common::FieldId;
using Kestrum::Test::CFakeSurface;
using Kestrum::Test::PumpUntil;

namespace {
// The rows' surface is the dispatch target, as the grid widget is for its own
// rows. Records what the dispatcher hands it (GUI thread only).
struct CRecordingTarget : CFakeSurface, IDispatchTarget {
    std::atomic<bool> closing{false};
    std::vector<std::pair<CGridItem*, FieldId>> applied;
    std::vector<CGridItem*> disposed;
    bool IsClosing() const override { return closing.load(); }
    void ApplyUpdate(CGridItem* item, FieldId field) override { applied.emplace_back(item, field); }
    void RemoveDisposedItem(CGridItem* item) override
    {
        disposed.push_back(item);
        rows->Remove(ToHandle(item));
    }
};

// Leaves no wake-up of an earlier test queued.
void Settle()
{
    CDispatcher::Instance().DrainUpdates();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct DispatcherFixture : ::testing::Test {
    DispatcherFixture()
    {
        CDispatcher::Instance();
        Settle();
        target.rows = &rows;
        rows.SetDispatchTarget(&target);
    }
    ~DispatcherFixture() override
    {
        Settle();
        rows.Clear(MaskBoth);
    }
    CGridItem* AddRow()
    {
        objects.push_back(std::make_unique<CDynamicObject>(true));
        return FromHandle(rows.Add(objects.back().get(), GRID_ROOT, GRID_LAST));
    }
    std::deque<std::unique_ptr<CDynamicObject>> objects; // outlive the rows
    CRecordingTarget target;
    CGridRows rows{&target};
};
} // namespace

TEST_F(DispatcherFixture, UpdatesFromAWorkerArriveInPostingOrder)
{
    CGridItem* first = AddRow();
    CGridItem* second = AddRow();
    std::vector<std::pair<CGridItem*, FieldId>> posted;
    // The whole stream is queued before the GUI thread looks, so any other
    // order than the posting order shows.
    std::thread worker([&] {
        for (FieldId field = 0; field < 300; ++field) {
            const bool toFirst = field % 3 != 1;
            (toFirst ? objects[0] : objects[1])->NotifyFieldChanged(field);
            posted.emplace_back(toFirst ? first : second, field);
        }
        objects[1]->NotifyFieldChanged(-1);
        posted.emplace_back(second, -1);
    });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return target.applied.size() >= posted.size(); }));
    EXPECT_EQ(target.applied, posted);
}

TEST_F(DispatcherFixture, UpdatesForAClosingTargetAreDropped)
{
    CGridItem* item = AddRow();
    objects[0]->NotifyFieldChanged(5);
    ASSERT_TRUE(PumpUntil([&] { return !target.applied.empty(); }));
    EXPECT_EQ(target.applied.front(), std::make_pair(item, FieldId{5}));

    target.applied.clear();
    target.closing = true;
    std::thread worker([&] {
        for (FieldId field = 0; field < 50; ++field)
            objects[0]->NotifyFieldChanged(field);
    });
    worker.join();
    Settle();
    EXPECT_TRUE(target.applied.empty()) << target.applied.size() << " updates reached a closing target";
}

TEST_F(DispatcherFixture, ACallOnTheGuiThreadRunsDirectlyUnlessTheTargetIsClosing)
{
    int runs = 0;
    EXPECT_TRUE(CDispatcher::Instance().Send(&target, [&] { ++runs; }));
    EXPECT_EQ(runs, 1) << "run before Send returns, without the event loop";
    target.closing = true;
    EXPECT_FALSE(CDispatcher::Instance().Send(&target, [&] { ++runs; }));
    EXPECT_EQ(runs, 1);
}

TEST_F(DispatcherFixture, AForeignCallToAClosingTargetIsRefusedWithoutWaiting)
{
    target.closing = true;
    std::atomic<bool> ran{false};
    // The GUI thread does not run its event loop: a call that waited for it
    // would never return.
    auto answer = std::async(std::launch::async, [&] { return CDispatcher::Instance().Send(&target, [&] { ran = true; }); });
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_FALSE(answer.get());
    EXPECT_FALSE(ran);
}

TEST_F(DispatcherFixture, AForeignCallRunsOnTheGuiThreadWhileTheCallerWaits)
{
    std::atomic<bool> onGuiThread{false};
    auto answer = std::async(std::launch::async, [&] {
        return CDispatcher::Instance().Send(&target, [&] { onGuiThread = CDispatcher::Instance().IsGuiThread(); });
    });
    ASSERT_TRUE(PumpUntil([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_TRUE(answer.get());
    EXPECT_TRUE(onGuiThread);
}

namespace {
// The target starts closing on the GUI thread when the dispatcher is next
// woken: after the worker's call was queued and before it runs.
struct CCloseOnWake : QObject {
    CRecordingTarget* target = nullptr;
    std::atomic<bool>* armed = nullptr;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() >= QEvent::User && armed->load())
            target->closing = true;
        return false;
    }
};
} // namespace

TEST_F(DispatcherFixture, APendingForeignCallToATargetThatTurnedClosingIsRefused)
{
    std::atomic<bool> armed{false};
    std::atomic<bool> ran{false};
    CCloseOnWake closer;
    closer.target = &target;
    closer.armed = &armed;
    CDispatcher::Instance().installEventFilter(&closer);
    auto answer = std::async(std::launch::async, [&] {
        armed = true;
        return CDispatcher::Instance().Send(&target, [&] { ran = true; });
    });
    const bool answered =
        PumpUntil([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    CDispatcher::Instance().removeEventFilter(&closer);
    ASSERT_TRUE(answered);
    EXPECT_FALSE(answer.get());
    EXPECT_FALSE(ran) << "a call ran on a target that was closing";
    EXPECT_TRUE(target.closing);
}

TEST_F(DispatcherFixture, CancellingATargetsCallsAnswersItsWaitingCaller)
{
    std::atomic<bool> ran{false};
    auto answer = std::async(std::launch::async, [&] { return CDispatcher::Instance().Send(&target, [&] { ran = true; }); });
    // The GUI thread cancels instead of running its event loop, as a grid
    // does when it starts closing; the call may not be queued yet at first.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (answer.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready &&
           std::chrono::steady_clock::now() < until)
        CDispatcher::Instance().CancelCalls(&target);
    const bool cancelled = answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    if (!cancelled) // let it finish so the test can end
        PumpUntil([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    ASSERT_TRUE(cancelled) << "the caller still waited after its calls were cancelled";
    EXPECT_FALSE(answer.get());
    EXPECT_FALSE(ran);
}

TEST_F(DispatcherFixture, AnObjectDestroyedOnAWorkerLosesItsRowsBeforeItGoes)
{
    CGridItem* item = AddRow();
    AddRow();
    std::unique_ptr<CDynamicObject> doomed = std::move(objects[0]);
    auto destroyed = std::async(std::launch::async, [&] { doomed.reset(); });
    ASSERT_TRUE(PumpUntil([&] { return destroyed.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(target.disposed, std::vector<CGridItem*>{item});
    EXPECT_EQ(rows.GetRowCount(AreaScrollable), 1);
}
