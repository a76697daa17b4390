// The grid widget in a real (offscreen) window: geometry, scrolling, focus,
// selection, updates and calls from worker threads, closing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QScrollBar>
#include <QThread>
#include <QWheelEvent>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <future>
#include <random>
#include <thread>

#include "common/DynamicObject.h"
#include "gui/grid/Dispatcher.h"
#include "gui/grid/Grid.h"
#include "gui/grid/GridItem.h"
#include "gui/header/Header.h"
#include "gui/platform/Archive.h"
#include "gui/platform/QtDrainScheduler.h"
#include <QFontInfo>

#include "tests/support/EventPump.h"

using namespace Kestrum::GUI;
using Kestrum::Common::CDynamicObject;

namespace {
constexpr std::int32_t kName = 0;
constexpr std::int32_t kSize = 2;

std::unique_ptr<CDynamicObject> MakeObject(const std::string& name, std::int64_t size)
{
    auto object = std::make_unique<CDynamicObject>(true);
    object->SetStlString(kName, name);
    object->SetInt64(kSize, size);
    return object;
}

using Kestrum::Test::Pump;
using Kestrum::Test::PumpUntil;

// A grid without frame and scroll bars, so the viewport is the widget.
struct GridFixture : ::testing::Test {
    GridFixture()
    {
        grid.setFrameStyle(QFrame::NoFrame);
        grid.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        grid.resize(300, 50);
        grid.show();
        Pump();
    }
    HITEM AddRow(const std::string& name, std::int64_t size = 0, HITEM parent = GRID_ROOT)
    {
        objects.push_back(MakeObject(name, size));
        const HITEM item = grid.Add(objects.back().get(), parent, GRID_LAST);
        grid.SetRowHeight(item, 14);
        return item;
    }
    std::deque<std::unique_ptr<CDynamicObject>> objects; // outlive the grid's rows
    CGrid grid;
};
} // namespace

TEST_F(GridFixture, TenRowsOfFourteenPixelsInFiftyPixels)
{
    for (int i = 0; i < 10; ++i)
        AddRow("row " + std::to_string(i));
    Pump();
    EXPECT_EQ(grid.GetAreaRect(AreaScrollable).Height(), 50);
    EXPECT_EQ(grid.GetPageRowCount(true), 3);
    EXPECT_EQ(grid.GetTopRow(), 0);
    for (int i = 0; i < 20; ++i)
        grid.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(grid.GetTopRow(), 7); // line down stops where the last rows fill the page
    EXPECT_EQ(grid.GetLastVisibleRow(AreaScrollable), 9);
    grid.SetTopRow(2);
    EXPECT_EQ(grid.GetTopRow(), 2);
    EXPECT_EQ(grid.GetRowRect(grid.GetItemAt(2, AreaScrollable)), (CRect{0, 0, 300, 14}));
    EXPECT_TRUE(grid.GetRowRect(grid.GetItemAt(0, AreaScrollable)).IsEmpty());
    int area = 0;
    EXPECT_EQ(grid.HitTest({5, 20}, &area), grid.GetItemAt(3, AreaScrollable));
    EXPECT_EQ(area, AreaScrollable);
    EXPECT_EQ(grid.HitTest({5, 49}, &area), grid.GetItemAt(5, AreaScrollable)); // the partly shown row
}

TEST_F(GridFixture, RowsThatExactlyFillThePageAllCountAsShown)
{
    for (int i = 0; i < 10; ++i)
        grid.SetRowHeight(AddRow("row " + std::to_string(i)), 10);
    Pump();
    ASSERT_EQ(grid.GetAreaRect(AreaScrollable).Height(), 50);
    EXPECT_EQ(grid.GetPageRowCount(true), 5);
    EXPECT_EQ(grid.GetLastVisibleRow(AreaScrollable), 4);
    for (int i = 0; i < 20; ++i)
        grid.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(grid.GetTopRow(), 5) << "line down stops when the last five rows fill the page";
    EXPECT_EQ(grid.GetLastVisibleRow(AreaScrollable), 9);
}

TEST_F(GridFixture, WheelNotchScrollsThreeRows)
{
    for (int i = 0; i < 30; ++i)
        AddRow("row " + std::to_string(i));
    Pump();
    grid.SetTopRow(10);
    QWheelEvent wheel(QPointF(5, 5), grid.mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid.viewport(), &wheel);
    EXPECT_EQ(grid.GetTopRow(), 10 - QApplication::wheelScrollLines());
}

TEST_F(GridFixture, FocusFollowsItsItemAndObeysTheFocusableAreas)
{
    for (int i = 0; i < 8; ++i)
        AddRow("row " + std::to_string(i));
    ASSERT_TRUE(grid.SetFocusedRow(5, AreaScrollable));
    const HITEM focused = grid.GetItemAt(5, AreaScrollable);
    objects.push_back(MakeObject("inserted", 0));
    grid.Add(objects.back().get(), GRID_ROOT, grid.GetItemAt(1, AreaScrollable));
    EXPECT_EQ(grid.GetFocusedRow(), 6);
    EXPECT_EQ(grid.GetItemAt(6, AreaScrollable), focused);
    EXPECT_FALSE(grid.SetFocusedRow(99, AreaScrollable));
    EXPECT_FALSE(grid.SetFocusedRow(2, 0));
    grid.SetFocusableAreas(MaskFixed);
    EXPECT_FALSE(grid.SetFocusedRow(3, AreaScrollable));
    EXPECT_TRUE(grid.SetFocusedRow(-1, 0));
    EXPECT_EQ(grid.GetFocusedArea(), 0);
}

TEST_F(GridFixture, SelectionRules)
{
    for (int i = 0; i < 5; ++i)
        AddRow("row " + std::to_string(i));
    EXPECT_TRUE(grid.SelectRow(1, AreaScrollable, true));
    EXPECT_TRUE(grid.SelectRow(3, AreaScrollable, true));
    EXPECT_FALSE(grid.SelectRow(9, AreaScrollable, true));
    EXPECT_EQ(grid.GetSelectedCount(), 2);
    grid.EnableMultiSelection(false);
    EXPECT_EQ(grid.GetSelectedCount(), 0);
    EXPECT_TRUE(grid.SelectRow(2, AreaScrollable, true));
    EXPECT_FALSE(grid.SelectRow(4, AreaScrollable, true)); // one is selected already
    grid.SetSelectableAreas(MaskFixed);
    EXPECT_EQ(grid.GetSelectedCount(), 0);
    EXPECT_FALSE(grid.SelectRow(2, AreaScrollable, true));
}

TEST_F(GridFixture, ChangesStampTimesAndDisposalRemovesRows)
{
    const HITEM item = AddRow("changing", 1);
    EXPECT_EQ(grid.GetTimeSinceChange(item, kSize), -1);
    objects.back()->SetInt64(kSize, 2);
    Pump(20);
    const std::int64_t since = grid.GetTimeSinceChange(item, kSize);
    EXPECT_GE(since, 0);
    EXPECT_LT(since, 5000);
    EXPECT_EQ(grid.GetTimeSinceChange(item, kName), -1);
    objects.back().reset(); // destroyed on this thread: the row goes at once
    EXPECT_EQ(grid.GetRowCount(AreaScrollable), 0);
    EXPECT_EQ(grid.GetArea(item), 0);
}

TEST_F(GridFixture, AnObjectsOtherRowsKeepTheirUpdatesUntilItsLastRowGoes)
{
    const HITEM scrollable = AddRow("twice", 1);
    CDynamicObject* object = objects.back().get();
    const HITEM fixed = grid.Add(object, GRID_FIXED_ROOT, GRID_LAST);
    CGrid other;
    const HITEM elsewhere = other.Add(object, GRID_ROOT, GRID_LAST);
    ASSERT_TRUE(grid.Remove(scrollable));
    object->SetInt64(kSize, 2);
    Pump(20);
    CDispatcher::Instance().DrainUpdates();
    EXPECT_GE(grid.GetTimeSinceChange(fixed, kSize), 0) << "the row left in this grid";
    EXPECT_GE(other.GetTimeSinceChange(elsewhere, kSize), 0) << "the row in the other grid";
    ASSERT_TRUE(other.Remove(elsewhere));
    EXPECT_TRUE(object->HasSubscribers());
    ASSERT_TRUE(grid.Remove(fixed));
    EXPECT_FALSE(object->HasSubscribers()) << "no row left: nothing listens to the object";
    grid.Add(object, GRID_ROOT, GRID_LAST);
    EXPECT_TRUE(object->HasSubscribers());
}

TEST(GridThreads, WorkerFillsASortedParentWhileTheGuiScrollsAndPaints)
{
    CGrid grid;
    grid.resize(400, 300);
    auto* header = new CHeader(true);
    header->AddColumn(new CColumn(kName, "Name", 200, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
    header->AddColumn(new CColumn(kSize, "Size", 100, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
    header->SetSortInfo(0, CSortInfo(kSize, true));
    grid.SetHeader(header);
    grid.show();

    constexpr int kRows = 100000;
    auto parent = MakeObject("parent", 0);
    const HITEM parentItem = grid.Add(parent.get(), GRID_ROOT, GRID_LAST);
    grid.Expand(parentItem, false);

    std::atomic<bool> filled{false};
    std::atomic<bool> released{false};
    std::atomic<bool> finished{false};
    std::vector<std::unique_ptr<CDynamicObject>> objects;
    std::thread worker([&] {
        objects.reserve(kRows);
        std::mt19937 random(11);
        for (int i = 0; i < kRows; ++i) {
            objects.push_back(MakeObject("item " + std::to_string(i), static_cast<std::int64_t>(random() % 100000)));
            EXPECT_NE(grid.Add(objects.back().get(), parentItem, GRID_LAST), 0u);
        }
        // Change a field of every tenth object: rows move to their new place.
        for (int i = 0; i < kRows; i += 10)
            objects[static_cast<std::size_t>(i)]->SetInt64(kSize, 100000 + i);
        filled = true;
        while (!released)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // Destroyed on the worker while their rows are shown.
        for (std::size_t i = 0; i < objects.size() / 2; ++i)
            objects[i].reset();
        finished = true;
    });

    int frames = 0;
    const auto fillStart = std::chrono::steady_clock::now();
    while (!filled) {
        Pump(20);
        grid.SetTopRow(frames % 50);
        grid.viewport()->repaint();
        ++frames;
    }
    std::printf("filled in %.1f s, %d frames\n", // progress for whoever runs it by hand
                std::chrono::duration<double>(std::chrono::steady_clock::now() - fillStart).count(), frames);
    Pump(50);
    Kestrum::GUI::CDispatcher::Instance().DrainUpdates();
    ASSERT_EQ(grid.GetRowCount(AreaScrollable), kRows + 1);
    // Descending by size; every tenth object now leads with its new size.
    std::int64_t previous = INT64_MAX;
    for (int row = 1; row <= kRows; ++row) {
        auto* object = grid.GetObject(0, row, AreaScrollable);
        ASSERT_NE(object, nullptr);
        const std::int64_t size = object->GetInt64(kSize);
        ASSERT_LE(size, previous) << "row " << row;
        previous = size;
    }
    EXPECT_EQ(grid.GetObject(0, 1, AreaScrollable)->GetInt64(kSize), 100000 + kRows - 10);

    released = true;
    while (!finished)
        Pump(5);
    worker.join();
    Pump(20);
    EXPECT_EQ(grid.GetRowCount(AreaScrollable), kRows / 2 + 1);
    for (int row = 1; row < grid.GetRowCount(AreaScrollable); ++row)
        ASSERT_NE(grid.GetObject(0, row, AreaScrollable), nullptr);
    EXPECT_GT(frames, 0);
    grid.Clear(MaskBoth);
}

TEST(GridThreads, ClosingAnswersWaitingCallsAndNeverHangsADisposal)
{
    auto grid = std::make_unique<CGrid>();
    auto objectA = MakeObject("a", 1);
    grid->Add(objectA.get(), GRID_ROOT, GRID_LAST);
    std::deque<std::unique_ptr<CDynamicObject>> pending;
    for (int i = 0; i < 100; ++i)
        pending.push_back(MakeObject("p", i));

    // The GUI thread stops pumping (as when it joins a worker) after closing.
    std::atomic<int> done{0};
    std::thread worker([&] {
        for (auto& object : pending)
            grid->Add(object.get(), GRID_ROOT, GRID_LAST); // answered 0 once closing
        objectA.reset();                                    // must not wait for the GUI thread
        done = 1;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    grid->SetClosing();
    const auto start = std::chrono::steady_clock::now();
    worker.join(); // the GUI thread waits here without processing events
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(done, 1);
    EXPECT_EQ(grid->Add(pending.front().get(), GRID_ROOT, GRID_LAST) != 0u, true); // own thread: runs directly
    grid.reset();
}

namespace {
struct CListener : IGridListener {
    std::vector<GridItemNotification> items;
    std::vector<GridHeaderNotification> headers;
    std::vector<bool> onGuiThread;
    void OnGridItemNotification(const GridItemNotification& notification) override { items.push_back(notification); }
    void OnGridHeaderNotification(const GridHeaderNotification& notification) override
    {
        headers.push_back(notification);
        onGuiThread.push_back(QThread::currentThread() == QCoreApplication::instance()->thread());
    }
};

struct CHideOdd : IRowFilter {
    bool IsFilteredOut(CGrid*, CGridItem*, Kestrum::Common::CDataObject* object) override
    {
        return object->GetInt64(kSize) % 2 != 0;
    }
};
} // namespace

TEST(GridNotifications, HeaderNoticesFromAWorkerReachTheListenerOnTheGridThread)
{
    CGrid grid;
    auto* header = new CHeader(true);
    header->AddColumn(new CColumn(kName, "Name", 100, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
    grid.SetHeader(header);
    CListener listener;
    grid.SetListener(&listener);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        header->GetColumn(kName)->SetWidth(150); // the notice is made on this thread
        header->SetSortInfo(0, CSortInfo(kName, false));
        done = true;
    });
    while (!done)
        Pump(5);
    worker.join();
    Pump(20);
    ASSERT_EQ(listener.headers.size(), 2u);
    EXPECT_EQ(listener.headers[0].code, NotifyColumnResized);
    EXPECT_EQ(listener.headers[1].code, NotifySortChanged);
    EXPECT_EQ(listener.onGuiThread, (std::vector<bool>{true, true}));
    grid.EnableNotifications(false);
    header->SetSortInfo(0, CSortInfo(kName, true));
    EXPECT_EQ(listener.headers.size(), 2u);
}

TEST(GridThreads, AForeignCallIsNotStarvedByALongQueueOfUpdates)
{
    struct CCounting : IGridListener {
        std::atomic<int> updates{0};
        void OnGridItemNotification(const GridItemNotification& notification) override
        {
            if (notification.code == EventItemUpdated)
                ++updates;
        }
        void OnGridHeaderNotification(const GridHeaderNotification&) override {}
    } listener;
    CGrid grid;
    grid.SetListener(&listener);
    auto object = MakeObject("busy", 0);
    grid.Add(object.get(), GRID_ROOT, GRID_LAST);
    constexpr int kUpdates = 200000;
    for (int i = 1; i <= kUpdates; ++i)
        object->SetInt64(kSize, i); // queued: this thread has not returned to the event loop
    std::atomic<int> seenAtReturn{-1};
    std::thread caller([&] {
        grid.GetRowCount(AreaScrollable);
        seenAtReturn = listener.updates.load();
    });
    PumpUntil([&] { return seenAtReturn >= 0; }, 60);
    caller.join();
    EXPECT_LT(seenAtReturn.load(), kUpdates / 2) << "the call waited for most of the queue";
    Kestrum::GUI::CDispatcher::Instance().DrainUpdates();
    EXPECT_EQ(listener.updates.load(), kUpdates);
    grid.Clear(MaskBoth);
}

namespace {
struct CUpdateCounter : IGridListener {
    std::atomic<int> updates{0};
    void OnGridItemNotification(const GridItemNotification& notification) override
    {
        if (notification.code == EventItemUpdated)
            ++updates;
    }
    void OnGridHeaderNotification(const GridHeaderNotification&) override {}
};

// Counts the wake-ups posted to the dispatcher (its own timer aside).
struct CWakeCounter : QObject {
    int wakes = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::Timer)
            ++wakes;
        return false;
    }
};
} // namespace

TEST(GridThreads, UpdatesWithPausesBetweenThemAreAllApplied)
{
    // Pauses around the GUI thread's look-again interval: an update that
    // arrives just as the queue is counted idle must still wake it.
    CGrid grid;
    CUpdateCounter listener;
    grid.SetListener(&listener);
    auto object = MakeObject("paced", 0);
    grid.Add(object.get(), GRID_ROOT, GRID_LAST);
    constexpr int kUpdates = 300;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        std::mt19937 random(7);
        for (int i = 1; i <= kUpdates; ++i) {
            object->SetInt64(kSize, i);
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
        }
        done = true;
    });
    PumpUntil([&] { return done && listener.updates.load() >= kUpdates; }, 30);
    worker.join();
    EXPECT_EQ(listener.updates.load(), kUpdates);
    grid.Clear(MaskBoth);
}

TEST(GridThreads, AStreamOfUpdatesWakesTheGuiThreadRarely)
{
    // While objects change in a stream, the GUI thread looks again on its own
    // instead of being woken by every burst.
    CGrid grid;
    CUpdateCounter listener;
    grid.SetListener(&listener);
    auto object = MakeObject("streamed", 0);
    grid.Add(object.get(), GRID_ROOT, GRID_LAST);
    CWakeCounter counter;
    QObject* waker = CDispatcher::Instance().findChild<CQtDrainScheduler*>();
    ASSERT_NE(waker, nullptr);
    waker->installEventFilter(&counter);
    constexpr int kBursts = 2000, kPerBurst = 20;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        std::int64_t value = 0;
        for (int burst = 0; burst < kBursts; ++burst) {
            for (int i = 0; i < kPerBurst; ++i)
                object->SetInt64(kSize, ++value);
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        done = true;
    });
    QElapsedTimer clock;
    clock.start();
    PumpUntil([&] { return done && listener.updates.load() >= kBursts * kPerBurst; }, 60);
    worker.join();
    waker->removeEventFilter(&counter);
    EXPECT_EQ(listener.updates.load(), kBursts * kPerBurst);
    EXPECT_LT(counter.wakes, kBursts / 4) << "bursts of updates took " << clock.elapsed() << " ms";
    grid.Clear(MaskBoth);
}

TEST(GridThreads, TimersKeepRunningWhileALongUpdateBacklogIsApplied)
{
    // Queued updates are applied a few milliseconds per wake-up, so painting
    // and timers are not held up until a backlog of thousands is gone.
    CGrid grid;
    grid.resize(300, 200);
    grid.show();
    auto* header = new CHeader(true);
    header->AddColumn(new CColumn(kSize, "Size", 100, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
    header->SetSortInfo(0, CSortInfo(kSize, true));
    grid.SetHeader(header);
    std::vector<std::unique_ptr<CDynamicObject>> objects;
    for (int i = 0; i < 200; ++i) {
        objects.push_back(MakeObject("row", i));
        grid.Add(objects.back().get(), GRID_ROOT, GRID_LAST);
    }
    std::atomic<int> updates{0};
    struct CCounting : IGridListener {
        std::atomic<int>* updates = nullptr;
        void OnGridItemNotification(const GridItemNotification& notification) override
        {
            if (notification.code == EventItemUpdated)
                ++*updates;
        }
        void OnGridHeaderNotification(const GridHeaderNotification&) override {}
    } listener;
    listener.updates = &updates;
    grid.SetListener(&listener);
    constexpr int kUpdates = 400000;
    std::thread worker([&] {
        for (int i = 0; i < kUpdates; ++i)
            objects[static_cast<std::size_t>(i) % objects.size()]->SetInt64(kSize, 1000 + i); // always a change
    });
    worker.join(); // the whole backlog is queued before the GUI thread looks
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longestGap = 0;
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - last);
        last = clock.elapsed();
        ++ticks;
    });
    ticker.start(5);
    while (updates.load() < kUpdates && clock.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const qint64 drained = clock.elapsed();
    ASSERT_EQ(updates.load(), kUpdates);
    // Only meaningful when applying the backlog took long enough to matter.
    if (drained > 200) {
        EXPECT_GT(ticks, 2);
        EXPECT_LT(longestGap, std::max<qint64>(100, drained / 3)) << "applied in " << drained << " ms";
    }
    grid.Clear(MaskBoth);
}

namespace {
// The objects of the grid's item-updated events, in the order they came.
struct CUpdateRecorder : IGridListener {
    std::vector<Kestrum::Common::CDataObject*> updated;
    std::vector<int> codes;
    void OnGridItemNotification(const GridItemNotification& notification) override
    {
        codes.push_back(notification.code);
        if (notification.code == EventItemUpdated)
            updated.push_back(notification.object);
    }
    void OnGridHeaderNotification(const GridHeaderNotification&) override {}
};
} // namespace

TEST(GridThreads, UpdatesFromAWorkerArriveInPostingOrder)
{
    CGrid grid;
    CUpdateRecorder listener;
    grid.SetListener(&listener);
    std::vector<std::unique_ptr<CDynamicObject>> objects;
    for (int i = 0; i < 5; ++i) {
        objects.push_back(MakeObject("row " + std::to_string(i), 0));
        grid.Add(objects.back().get(), GRID_ROOT, GRID_LAST);
    }
    // The GUI thread applies the stream while it is still being made.
    constexpr int kChanges = 3000;
    std::vector<Kestrum::Common::CDataObject*> changed;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        std::mt19937 random(15);
        for (int i = 1; i <= kChanges; ++i) {
            CDynamicObject* object = objects[random() % objects.size()].get();
            object->SetInt64(kSize, i);
            changed.push_back(object);
            if (i % 100 == 0)
                std::this_thread::yield();
        }
        done = true;
    });
    PumpUntil([&] { return done && listener.updated.size() >= kChanges; }, 30);
    worker.join();
    EXPECT_EQ(listener.updated, changed);
    grid.Clear(MaskBoth);
}

TEST(GridThreads, NothingReachesAClosingGrid)
{
    CGrid grid;
    CUpdateRecorder listener;
    grid.SetListener(&listener);
    auto shown = MakeObject("shown", 1);
    auto other = MakeObject("other", 2);
    const HITEM item = grid.Add(shown.get(), GRID_ROOT, GRID_LAST);
    listener.codes.clear();
    grid.SetClosing();
    std::promise<std::vector<HITEM>> answers;
    std::thread worker([&] {
        shown->SetInt64(kSize, 10); // an update
        shown->NotifyFieldChanged(-1);
        grid.Expand(item, false); // calls
        answers.set_value({grid.Add(other.get(), GRID_ROOT, GRID_LAST), grid.Remove(item) ? item : 0,
                           static_cast<HITEM>(grid.GetRowCount(AreaScrollable))});
    });
    auto future = answers.get_future();
    PumpUntil([&] { return future.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; }, 60);
    worker.join();
    Pump(20);
    EXPECT_EQ(future.get(), (std::vector<HITEM>{0, 0, 0})) << "foreign calls answer the nothing value";
    EXPECT_TRUE(listener.codes.empty()) << listener.codes.size() << " events reached a closing grid";
    EXPECT_EQ(grid.GetTimeSinceChange(item, kSize), -1) << "the change was stamped";
    EXPECT_EQ(grid.GetRowCount(AreaScrollable), 1);
    EXPECT_EQ(grid.GetItem(other.get()), 0u);
    grid.Clear(MaskBoth);
}

TEST(GridThreads, ForeignGetItemAnswersLikeTheGridThread)
{
    // An object with one row is answered without a round trip; one with rows
    // in both areas still gets the grid thread's choice (the fixed row).
    CGrid grid;
    grid.show();
    auto single = MakeObject("single", 1);
    auto twice = MakeObject("twice", 2);
    auto absent = MakeObject("absent", 3);
    auto detached = MakeObject("detached", 4);
    const HITEM singleItem = grid.Add(single.get(), GRID_ROOT, GRID_LAST);
    grid.Add(twice.get(), GRID_ROOT, GRID_LAST);
    const HITEM fixedItem = grid.Add(twice.get(), GRID_FIXED_ROOT, GRID_LAST);
    const HITEM detachedItem = grid.Add(detached.get(), GRID_ROOT, GRID_LAST);
    ASSERT_TRUE(grid.Detach(detachedItem));
    ASSERT_EQ(grid.GetItem(twice.get()), fixedItem);
    std::promise<std::vector<HITEM>> answers;
    std::thread worker([&] {
        answers.set_value({grid.GetItem(single.get()), grid.GetItem(twice.get()), grid.GetItem(absent.get()),
                           grid.GetItem(detached.get()), grid.GetItem(nullptr)});
    });
    auto future = answers.get_future();
    PumpUntil([&] { return future.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; }, 60);
    worker.join();
    EXPECT_EQ(future.get(), (std::vector<HITEM>{singleItem, fixedItem, 0, 0, 0}));
    ASSERT_TRUE(grid.Attach(detachedItem, GRID_ROOT, GRID_LAST));
    grid.Clear(MaskBoth);
}

TEST(GridNotifications, ItemEventsCarryTheirRecords)
{
    CGrid grid;
    CListener listener;
    grid.SetListener(&listener);
    auto object = MakeObject("x", 3);
    const HITEM item = grid.Add(object.get(), GRID_ROOT, GRID_LAST);
    ASSERT_FALSE(listener.items.empty());
    const GridItemNotification& added = listener.items.back();
    EXPECT_EQ(added.code, EventItemAdded);
    EXPECT_EQ(added.item, item);
    EXPECT_EQ(added.object, object.get());
    EXPECT_EQ(added.area, AreaScrollable);
    EXPECT_EQ(added.row, 0);
    EXPECT_TRUE(added.state & StateVisible);
    grid.Clear(MaskBoth);
}

namespace {
// Two levels of folders under three top rows; the rows of a grid in order.
void FillTree(CGrid& grid, std::deque<std::unique_ptr<CDynamicObject>>& objects)
{
    for (int top = 0; top < 3; ++top) {
        objects.push_back(MakeObject("top" + std::to_string(top), top));
        const HITEM parent = grid.Add(objects.back().get(), GRID_ROOT, GRID_LAST);
        for (int child = 0; child < 4; ++child) {
            objects.push_back(MakeObject("child" + std::to_string(child), child));
            const HITEM middle = grid.Add(objects.back().get(), parent, GRID_LAST);
            objects.push_back(MakeObject("leaf", 1));
            grid.Add(objects.back().get(), middle, GRID_LAST);
        }
    }
}
std::vector<Kestrum::Common::CDataObject*> RowObjects(CGrid& grid)
{
    std::vector<Kestrum::Common::CDataObject*> rows;
    for (int row = 0; row < grid.GetRowCount(AreaScrollable); ++row)
        rows.push_back(grid.GetObject(grid.GetItemAt(row, AreaScrollable)));
    return rows;
}
} // namespace

TEST(GridNotifications, ExpandAllTellsAListenerEachRowAndShowsTheSameRowsWithoutOne)
{
    std::deque<std::unique_ptr<CDynamicObject>> objects;
    CGrid heard;
    FillTree(heard, objects);
    CListener listener;
    heard.SetListener(&listener);
    heard.Expand(GRID_ROOT, true);
    // Each folder's expansion and each newly shown row is told.
    const auto count = [&](int code) {
        return std::count_if(listener.items.begin(), listener.items.end(),
                             [code](const GridItemNotification& n) { return n.code == code; });
    };
    EXPECT_EQ(count(EventExpandedChanged), 3 + 12 + 12);
    EXPECT_EQ(count(EventRowShownOrHidden), 24);
    // Without a listener (or with notifications off) it opens in one pass
    // and shows the same rows in the same order.
    CGrid quiet;
    std::deque<std::unique_ptr<CDynamicObject>> quietObjects;
    FillTree(quiet, quietObjects);
    quiet.Expand(GRID_ROOT, true);
    ASSERT_EQ(quiet.GetRowCount(AreaScrollable), 3 + 12 + 12);
    CGrid off;
    std::deque<std::unique_ptr<CDynamicObject>> offObjects;
    FillTree(off, offObjects);
    CListener unheard;
    off.SetListener(&unheard);
    off.EnableNotifications(false);
    off.Expand(GRID_ROOT, true);
    EXPECT_TRUE(unheard.items.empty());
    const auto names = [](const std::vector<Kestrum::Common::CDataObject*>& rows) {
        std::vector<std::string> out;
        for (auto* object : rows)
            out.push_back(object->GetStlString(kName));
        return out;
    };
    EXPECT_EQ(names(RowObjects(quiet)), names(RowObjects(heard)));
    EXPECT_EQ(names(RowObjects(off)), names(RowObjects(heard)));
    heard.SetListener(nullptr);
    for (CGrid* grid : {&heard, &quiet, &off})
        grid->Clear(MaskBoth);
}

TEST(GridFilter, FilterHidesRowsAndRefilterFollowsChanges)
{
    CGrid grid;
    std::deque<std::unique_ptr<CDynamicObject>> objects;
    for (int i = 0; i < 6; ++i) {
        objects.push_back(MakeObject("row", i));
        grid.Add(objects.back().get(), GRID_ROOT, GRID_LAST);
    }
    CHideOdd filter;
    EXPECT_EQ(grid.SetFilter(&filter), nullptr);
    EXPECT_EQ(grid.GetRowCount(AreaScrollable), 3);
    objects[1]->SetInt64(kSize, 10); // now even: its update refilters it
    Pump(20);
    Kestrum::GUI::CDispatcher::Instance().DrainUpdates();
    EXPECT_EQ(grid.GetRowCount(AreaScrollable), 4);
    EXPECT_EQ(grid.SetFilter(nullptr), &filter);
    EXPECT_EQ(grid.GetRowCount(AreaScrollable), 6);
    grid.Clear(MaskBoth);
}

namespace {
std::vector<std::uint8_t> StoreGrid(CGrid& grid)
{
    CArchive archive;
    grid.Serialize(archive);
    return archive.GetBytes();
}
} // namespace

TEST(GridArchive, RoundTripGivesTheSameBytesAndDamageLeavesTheGridWorking)
{
    CGrid source;
    auto* header = new CHeader(true);
    header->AddColumn(new CColumn(kName, "Name", 200, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
    header->AddColumn(new CColumn(kSize, "Size", 100, AlignRight, false, -1, -1, nullptr, nullptr, nullptr, ""));
    header->SetSortInfo(0, CSortInfo(kSize, true));
    source.SetHeader(header);
    QFont font("DejaVu Sans");
    font.setPixelSize(15);
    source.SetGridFont(font);
    GridAppearance appearance;
    appearance.horizontalLines = true;
    appearance.oddRowBack = MakeColor(240, 240, 250);
    source.SetAppearance(appearance);
    source.EnableUpdateHighlight(true);
    source.ShowSeparator(false);
    source.SetFocusableAreas(MaskScrollable);
    EditSettings edit;
    edit.startMode = 0;
    source.SetEditSettings(edit);
    const auto bytes = StoreGrid(source);

    CGrid loaded;
    CArchive reader(bytes);
    loaded.Serialize(reader);
    EXPECT_EQ(reader.GetRemaining(), 0u);
    const auto again = StoreGrid(loaded);
    ASSERT_EQ(again.size(), bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        ASSERT_EQ(again[i], bytes[i]) << "byte " << i;
    ASSERT_NE(loaded.GetHeader(), nullptr);
    EXPECT_EQ(loaded.GetHeader()->GetColumnCount(), 2);
    EXPECT_EQ(loaded.GetSortInfo(0), CSortInfo(kSize, true));
    EXPECT_TRUE(loaded.GetAppearance().horizontalLines);
    EXPECT_EQ(loaded.GetEditSettings().startMode, 0);
    EXPECT_EQ(QFontInfo(loaded.GetGridFont()).pixelSize(), 15);

    // Every truncation and a few flipped bytes: the archive error, and the
    // grid stays as it was and keeps working.
    const auto before = StoreGrid(loaded);
    for (std::size_t length = 0; length < bytes.size(); length += 3) {
        CArchive damaged(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_THROW(loaded.Serialize(damaged), CArchiveException) << length;
    }
    auto newer = bytes;
    newer[0] = 2;
    CArchive newerReader(newer);
    EXPECT_THROW(loaded.Serialize(newerReader), CArchiveException);
    EXPECT_EQ(StoreGrid(loaded), before);
    auto object = MakeObject("still works", 5);
    EXPECT_NE(loaded.Add(object.get(), GRID_ROOT, GRID_LAST), 0u);
    loaded.Clear(MaskBoth);
}

TEST(GridArchive, PrintSettingsFollowTheGridsRecordOnlyWhenAskedAndLoadWithItAsOne)
{
    CGrid source;
    auto* header = new CHeader(true);
    header->AddColumn(new CColumn(kName, "Name", 200, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
    source.SetHeader(header);
    source.ShowSeparator(false);
    PrintSettings print;
    print.rows = PrintAllRows;
    print.orientation = PrintLandscape;
    print.margins = {11, 12, 13, 14};
    source.SetPrintSettings(print);
    const auto record = StoreGrid(source);
    CArchive stored;
    source.SerializeWithPrintSettings(stored);
    // The layout the grid's archive had while it carried the print settings.
    const std::vector<std::uint8_t>& withPrint = stored.GetBytes();
    ASSERT_EQ(withPrint.size(), record.size() + 29);
    EXPECT_TRUE(std::equal(record.begin(), record.end(), withPrint.begin()));

    // Cut inside the print settings: the error, and nothing of the grid changed.
    CGrid target;
    auto* other = new CHeader(true);
    other->AddColumn(new CColumn(kSize, "Size", 90, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
    target.SetHeader(other);
    const auto before = StoreGrid(target);
    for (std::size_t length = record.size() + 1; length < withPrint.size(); ++length) {
        CArchive cut(std::vector<std::uint8_t>(withPrint.begin(), withPrint.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_THROW(target.SerializeWithPrintSettings(cut), CArchiveException) << length;
        EXPECT_EQ(StoreGrid(target), before) << length;
        EXPECT_EQ(target.GetPrintSettings(), PrintSettings{}) << length;
    }
    // The grid's record alone loads and leaves what follows it unread.
    CArchive alone(withPrint);
    target.Serialize(alone);
    EXPECT_EQ(alone.GetRemaining(), 29u);
    EXPECT_EQ(StoreGrid(target), record);
    EXPECT_EQ(target.GetPrintSettings(), PrintSettings{});
    CArchive whole(withPrint);
    target.SerializeWithPrintSettings(whole);
    EXPECT_EQ(whole.GetRemaining(), 0u);
    EXPECT_EQ(target.GetPrintSettings(), print);
}

TEST(GridArchive, AStoredHeaderComesBackWithItsOwnHeightIntoAGridWithoutOne)
{
    CGrid source;
    auto* header = new CHeader(true);
    header->AddColumn(new CColumn(kName, "Name", 120, AlignLeft, false, -1, -1, nullptr, nullptr, nullptr, ""));
    source.SetHeader(header);
    header->SetHeight(26); // not what the font gives
    const auto bytes = StoreGrid(source);

    CGrid loaded; // no header: the stored one is created
    CArchive reader(bytes);
    loaded.Serialize(reader);
    ASSERT_NE(loaded.GetHeader(), nullptr);
    EXPECT_EQ(loaded.GetHeader()->GetHeight(), 26);
    EXPECT_EQ(StoreGrid(loaded), bytes);
    CArchive again(bytes); // now into a header of the same class
    loaded.Serialize(again);
    EXPECT_EQ(loaded.GetHeader()->GetHeight(), 26);
    EXPECT_EQ(StoreGrid(loaded), bytes);
}

TEST(GridArchive, AStoredFontRecordIsStoredAgainUnchanged)
{
    CGrid source;
    QFont font("DejaVu Sans");
    font.setPixelSize(13);
    source.SetGridFont(font);
    auto bytes = StoreGrid(source);
    // Fields a QFont does not carry: the character set and the quality.
    const std::string face = "DejaVu Sans";
    const auto found = std::search(bytes.begin(), bytes.end(), face.begin(), face.end());
    ASSERT_NE(found, bytes.end());
    const std::size_t record = static_cast<std::size_t>(found - bytes.begin()) - 28;
    bytes[record + 23] = 1;
    bytes[record + 26] = 5;

    CGrid loaded;
    CArchive reader(bytes);
    loaded.Serialize(reader);
    EXPECT_EQ(QFontInfo(loaded.GetGridFont()).pixelSize(), 13);
    EXPECT_EQ(StoreGrid(loaded), bytes);
    font.setPixelSize(14); // a new font is stored from itself
    loaded.SetGridFont(font);
    const auto changed = StoreGrid(loaded);
    EXPECT_EQ(changed[record + 23], 0);
}

// --- the top row when the rows get fewer ------------------------------------------
// Five folders of twenty rows each, all open, scrolled down with the wheel;
// then something takes rows away. The top row comes back so the page is as
// full as the remaining rows allow, and the scroll bar follows.
namespace {
enum class Shortening { CollapseAll, CollapseLastFolder, RemoveLastFolder, Clear, FilterOutTheFiles };

void PrintTo(Shortening shortening, std::ostream* out) { *out << static_cast<int>(shortening); }

constexpr int kScrollPageRows = 10;

struct ScrolledTree {
    ScrolledTree()
    {
        grid.setFrameStyle(QFrame::NoFrame);
        grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        auto* header = new CHeader(true);
        header->AddColumn(new CColumn(kName, "Name", 200, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        grid.SetHeader(header);
        grid.resize(300, header->GetHeight() + kScrollPageRows * 14);
        grid.show();
        for (int i = 0; i < 5; ++i) {
            folders.push_back(Add("folder " + std::to_string(i), 0, GRID_ROOT));
            for (int j = 0; j < 20; ++j)
                Add("file " + std::to_string(j), 1, folders.back());
        }
        Pump();
    }
    HITEM Add(const std::string& name, std::int64_t size, HITEM parent)
    {
        objects.push_back(MakeObject(name, size));
        const HITEM item = grid.Add(objects.back().get(), parent, GRID_LAST);
        grid.SetRowHeight(item, 14);
        return item;
    }
    void Wheel(int notches)
    {
        const QPointF at(20, grid.viewport()->height() / 2);
        for (int i = 0; i < notches; ++i) {
            QWheelEvent wheel(at, grid.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(grid.viewport(), &wheel);
        }
        Pump(40);
    }
    QImage Pixels()
    {
        Pump(40); // the frame paints what the change left
        return grid.viewport()->grab().toImage();
    }

    std::deque<std::unique_ptr<CDynamicObject>> objects;
    std::vector<HITEM> folders;
    CHideOdd filter;
    CGrid grid;
};
} // namespace

class GridTopRowClamp : public ::testing::TestWithParam<Shortening> {};

TEST_P(GridTopRowClamp, FewerRowsBringTheTopRowBackToFillThePage)
{
    ScrolledTree tree;
    CGrid& grid = tree.grid;
    grid.Expand(GRID_ROOT, true);
    ASSERT_EQ(grid.GetRowCount(AreaScrollable), 105);
    ASSERT_EQ(grid.GetPageRowCount(true), kScrollPageRows);
    const Shortening shortening = GetParam();
    // Collapse all as reported: ten notches down; the rest from the bottom.
    tree.Wheel(shortening == Shortening::CollapseAll ? 10 : 40);
    ASSERT_GE(grid.GetTopRow(), 30);
    ASSERT_TRUE(grid.verticalScrollBar()->isVisible());

    switch (shortening) {
    case Shortening::CollapseAll: grid.Collapse(GRID_ROOT, true); break;
    case Shortening::CollapseLastFolder: grid.Collapse(tree.folders.back(), false); break;
    case Shortening::RemoveLastFolder: grid.Remove(tree.folders.back()); break;
    case Shortening::Clear: grid.Clear(MaskBoth); break;
    case Shortening::FilterOutTheFiles: grid.SetFilter(&tree.filter); break;
    }
    const int rows = grid.GetRowCount(AreaScrollable);
    const int lastTop = std::max(0, rows - kScrollPageRows);
    EXPECT_EQ(grid.GetTopRow(), lastTop);
    const QImage pixels = tree.Pixels();
    QScrollBar* bar = grid.verticalScrollBar();
    EXPECT_EQ(bar->maximum(), lastTop);
    EXPECT_EQ(bar->value(), lastTop);
    EXPECT_EQ(bar->isVisible(), lastTop > 0);
    if (rows > 0) {
        EXPECT_EQ(grid.GetLastVisibleRow(AreaScrollable), rows - 1);
        EXPECT_FALSE(grid.GetRowRect(grid.GetItemAt(lastTop, AreaScrollable)).IsEmpty());
    }
    if (shortening == Shortening::CollapseAll) {
        // The five folder rows look as in a grid that never scrolled (inside
        // the frame the grid draws while it has the keyboard focus).
        ScrolledTree fresh;
        const int top = grid.GetHeader()->GetHeight();
        const QRect rowsRect(2, top, pixels.width() - 4, 5 * 14);
        EXPECT_TRUE(pixels.copy(rowsRect) == fresh.Pixels().copy(rowsRect))
            << "the rows are not painted as in a grid that never scrolled";
    }
    grid.SetFilter(nullptr);
    grid.Clear(MaskBoth);
}

std::string ShorteningName(const ::testing::TestParamInfo<Shortening>& info)
{
    static const char* const names[] = {"CollapseAll", "CollapseLastFolder", "RemoveLastFolder", "Clear",
                                        "FilterOutTheFiles"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Changes, GridTopRowClamp,
                         ::testing::Values(Shortening::CollapseAll, Shortening::CollapseLastFolder,
                                           Shortening::RemoveLastFolder, Shortening::Clear,
                                           Shortening::FilterOutTheFiles),
                         ShorteningName);
