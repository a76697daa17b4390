// Keyboard and mouse on a real (offscreen) grid, driven by QTest key and
// mouse events: the movement keys and their selection rules, the tree keys,
// incremental search, the key manager and its ownership, shortcuts, header
// resizing, moving and sorting, clicks, the rubber band, the tree button and
// hit testing. Time-outs run on the fake grid clock.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QTest>
#include <QVBoxLayout>
#include <atomic>
#include <deque>
#include <future>
#include <map>
#include <thread>

#include "common/DynamicObject.h"
#include "gui/grid/Dispatcher.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"
#include "gui/input/GridInputController.h"
#include "gui/input/KeyGrid.h"
#include "gui/input/KeyManager.h"
#include "gui/paint/DrawContext.h"
#include "gui/platform/DeviceContext.h"
#include "gui/platform/KeyCodes.h"
#include "tests/support/EventPump.h"
#include "tests/support/FakeClock.h"

using namespace Kestrum::GUI;
using Kestrum::Common::CDynamicObject;
using Kestrum::Test::Pump;
using Kestrum::Test::PumpUntil;

namespace {
constexpr std::int32_t kName = 0;
constexpr std::int32_t kSize = 2;
constexpr std::int32_t kCount = 3;
constexpr int kRowHeight = 14;
constexpr int kPageRows = 10;

CColumn* MakeColumn(std::int32_t field, const char* caption, int width)
{
    return new CColumn(field, caption, width, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, "");
}

// A grid of three columns (Name 120, Size 80, Count 60; Name fixed) whose
// scrollable area shows exactly ten rows of 14 pixels.
struct InputGrid : ::testing::Test {
    InputGrid()
    {
        grid.setFrameStyle(QFrame::NoFrame);
        grid.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        header = new CHeader(true);
        header->AddColumn(MakeColumn(kName, "Name", 120));
        header->AddColumn(MakeColumn(kSize, "Size", 80));
        header->AddColumn(MakeColumn(kCount, "Count", 60));
        header->SetFixedColumnCount(1);
        grid.SetHeader(header);
        grid.resize(300, header->GetHeight() + kPageRows * kRowHeight);
        grid.show();
        Pump();
    }
    HITEM Add(const std::string& name, std::int64_t size = 0, HITEM parent = GRID_ROOT)
    {
        auto object = std::make_unique<CDynamicObject>(true);
        object->SetStlString(kName, name);
        object->SetInt64(kSize, size);
        object->SetInt64(kCount, 0);
        objects.push_back(std::move(object));
        const HITEM item = grid.Add(objects.back().get(), parent, GRID_LAST);
        grid.SetRowHeight(item, kRowHeight);
        return item;
    }
    void AddRows(int count)
    {
        for (int i = 0; i < count; ++i)
            Add("row " + std::to_string(i), i);
    }
    void AddFixed(int count)
    {
        for (int i = 0; i < count; ++i)
            Add("fixed " + std::to_string(i), 0, GRID_FIXED_ROOT);
    }
    // Runs what keys and clicks left waiting (the deferred ensure-visible).
    void Settle() { Pump(30); }

    QPoint RowPoint(int row, int area = AreaScrollable, int x = 60)
    {
        const CRect rect = grid.GetRowRect(grid.GetItemAt(row, area));
        return {x, (rect.top + rect.bottom) / 2};
    }
    QPoint CaptionPoint(std::int32_t field, int dx = 0)
    {
        const CRect rect = header->GetColumnRect(&grid, field);
        return {(rect.left + rect.right) / 2 + dx, header->GetHeight() / 2};
    }
    int RightEdge(std::int32_t field) { return header->GetColumnRect(&grid, field).right; }

    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { QTest::keyClick(&grid, Qt::Key(key), modifiers); }
    void Type(char character) { QTest::keyClick(&grid, character); }
    QWidget* View() { return grid.viewport(); }
    void Press(QPoint point, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mousePress(View(), Qt::LeftButton, modifiers, point);
    }
    void Release(QPoint point, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseRelease(View(), Qt::LeftButton, modifiers, point);
    }
    void Click(QPoint point, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(View(), Qt::LeftButton, modifiers, point);
    }
    // A move with the left button held (QTest knows it is down).
    void Drag(QPoint point) { QTest::mouseMove(View(), point); }
    // A move with no button down.
    void Hover(QPoint point)
    {
        QMouseEvent move(QEvent::MouseMove, point, View()->mapToGlobal(point), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(View(), &move);
    }

    std::vector<int> Selected(int area = AreaScrollable)
    {
        std::vector<int> rows;
        for (int row = 0; row < grid.GetRowCount(area); ++row)
            if (grid.IsRowSelected(row, area))
                rows.push_back(row);
        return rows;
    }
    std::string Name(HITEM item) { return item ? grid.GetObject(item)->GetStlString(kName) : "(none)"; }
    std::string FocusedName() { return Name(grid.GetItemAt(grid.GetFocusedRow(), grid.GetFocusedArea())); }
    std::vector<std::int32_t> VisibleOrder()
    {
        std::vector<std::int32_t> order;
        for (CColumn* column : header->GetVisibleColumns())
            order.push_back(column->GetFieldId());
        return order;
    }

    std::deque<std::unique_ptr<CDynamicObject>> objects; // outlive the rows
    CGrid grid;
    CHeader* header = nullptr;
};

using Rows = std::vector<int>;
} // namespace

// --- the movement keys --------------------------------------------------------------

TEST_F(InputGrid, DownWithNoFocusGoesToTheLastFullyShownRowOfThePage)
{
    AddRows(30);
    ASSERT_EQ(grid.GetPageRowCount(true), kPageRows);
    Key(Qt::Key_Down);
    EXPECT_EQ(grid.GetFocusedArea(), AreaScrollable);
    EXPECT_EQ(grid.GetFocusedRow(), kPageRows - 1);
    EXPECT_EQ(Selected(), Rows{kPageRows - 1});
    Key(Qt::Key_Down); // then one row at a time, scrolling the row into view
    Settle();
    EXPECT_EQ(grid.GetFocusedRow(), kPageRows);
    EXPECT_EQ(grid.GetTopRow(), 1);
    EXPECT_EQ(Selected(), Rows{kPageRows});
}

// A walk re-sorts the rows under the user: sizes grow on the walk's thread,
// rows pass the focused one both ways, it moves itself and new rows come in
// above it. The focus stays on the row that was clicked, and Down goes to the
// row right below it, wherever it now is.
TEST_F(InputGrid, DownAfterAWalkReSortedTheRowsGoesToTheRowBelowTheFocusedOne)
{
    grid.SetSortInfo(0, CSortInfo(kSize, true), true);
    const HITEM usr = Add("usr", 0);
    std::map<std::string, HITEM> items;
    for (const auto& [name, size] : std::vector<std::pair<std::string, std::int64_t>>{
             {"games", 1}, {"include", 50}, {"lib", 90}, {"share", 70}, {"bin", 30}, {"src", 40}, {"local", 20}, {"sbin", 10}})
        items[name] = Add(name, size, usr);
    grid.Expand(usr, false);
    auto nameAt = [&](int row) { return grid.GetObject(grid.GetItemAt(row, AreaScrollable))->GetStlString(kName); };
    ASSERT_EQ(nameAt(4), "src");
    Click(RowPoint(4));
    ASSERT_EQ(grid.GetFocusedRow(), 4);

    std::map<std::string, CDynamicObject*> objectOf;
    for (const auto& [name, item] : items)
        objectOf[name] = static_cast<CDynamicObject*>(grid.GetObject(item));
    std::vector<std::unique_ptr<CDynamicObject>> found;
    for (const auto& [name, size] : std::vector<std::pair<std::string, std::int64_t>>{{"new big", 100}, {"new small", 5}}) {
        found.push_back(std::make_unique<CDynamicObject>(true));
        found.back()->SetStlString(kName, name);
        found.back()->SetInt64(kSize, size);
    }
    std::atomic<bool> done{false};
    std::thread walk([&] {
        objectOf["bin"]->SetInt64(kSize, 45);  // passes src upwards
        objectOf["lib"]->SetInt64(kSize, 35);  // passes src downwards
        objectOf["src"]->SetInt64(kSize, 60);  // src itself moves up
        for (auto& object : found)             // a row above src, one below
            grid.SetRowHeight(grid.Add(object.get(), usr, GRID_LAST), kRowHeight);
        objectOf["share"]->SetInt64(kSize, 38); // from above src to below it
        done = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
    walk.join();
    Kestrum::GUI::CDispatcher::Instance().DrainUpdates();
    Settle();

    const std::vector<std::string> expected{"usr",   "new big", "src",  "include",   "bin",  "share",
                                            "lib",   "local",   "sbin", "new small", "games"};
    for (int row = 0; row < grid.GetRowCount(AreaScrollable); ++row)
        ASSERT_EQ(nameAt(row), expected[static_cast<std::size_t>(row)]) << "row " << row;
    EXPECT_EQ(grid.GetFocusedRow(), 2) << "the focus stays on src";
    Key(Qt::Key_Down);
    EXPECT_EQ(grid.GetFocusedRow(), 3);
    EXPECT_EQ(nameAt(grid.GetFocusedRow()), "include");
    EXPECT_EQ(Selected(), Rows{3});
    // The found rows go above and below the focus; it stays on its row.
    objects.push_back(std::make_unique<CDynamicObject>(true));
    objects.back()->SetStlString(kName, "newer");
    objects.back()->SetInt64(kSize, 99);
    grid.Add(objects.back().get(), usr, GRID_LAST);
    EXPECT_EQ(nameAt(grid.GetFocusedRow()), "include");
}

TEST_F(InputGrid, CtrlMovesTheFocusWithoutTouchingTheSelection)
{
    AddRows(8);
    Click(RowPoint(2));
    Key(Qt::Key_Down, Qt::ControlModifier);
    Key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(grid.GetFocusedRow(), 4);
    EXPECT_EQ(Selected(), Rows{2});
    Key(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(grid.GetFocusedRow(), 3);
    EXPECT_EQ(Selected(), Rows{2});
    Key(Qt::Key_Down); // without Ctrl the selection follows again
    EXPECT_EQ(Selected(), Rows{4});
}

TEST_F(InputGrid, ShiftDownThreeTimesThenShiftUpOnceLeavesThreeRowsSelected)
{
    AddRows(8);
    Click(RowPoint(1));
    for (int i = 0; i < 3; ++i)
        Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), (Rows{1, 2, 3, 4}));
    Key(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), (Rows{1, 2, 3}));
    EXPECT_EQ(grid.GetFocusedRow(), 3);
    // Up past the anchor: the block now grows the other way.
    for (int i = 0; i < 3; ++i)
        Key(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), (Rows{0, 1}));
}

TEST_F(InputGrid, PageKeysMoveToThePageEdgeThenByAPage)
{
    AddRows(30);
    struct Step {
        Qt::Key key;
        int focus;
        int top;
    };
    const Step steps[] = {
        {Qt::Key_PageDown, 9, 0},  // no focus: the last fully shown row
        {Qt::Key_PageDown, 18, 9}, // on it: one page down, the old row stays in view
        {Qt::Key_PageDown, 27, 18},
        {Qt::Key_PageDown, 29, 20}, // at most the last row
        {Qt::Key_PageUp, 20, 20},   // below the top row: the top row
        {Qt::Key_PageUp, 11, 11},   // on the top row: one page up, the new top focused
        {Qt::Key_Space, 20, 11},    // Space pages down
        {Qt::Key_Home, 0, 0},
        {Qt::Key_End, 29, 20},
    };
    for (const Step& step : steps) {
        Key(step.key);
        Settle();
        EXPECT_EQ(grid.GetFocusedRow(), step.focus) << "key " << step.key;
        EXPECT_EQ(grid.GetTopRow(), step.top) << "key " << step.key;
        EXPECT_EQ(Selected(), Rows{step.focus});
    }
    Key(Qt::Key_Space, Qt::ShiftModifier); // Shift+Space pages up
    Settle();
    EXPECT_EQ(grid.GetFocusedRow(), 20);
}

TEST_F(InputGrid, ShiftWithHomeAndEndSelectsFromTheAnchoredEnd)
{
    AddRows(12);
    Click(RowPoint(3));
    Key(Qt::Key_End, Qt::ShiftModifier);
    Settle();
    EXPECT_EQ(grid.GetFocusedRow(), 11);
    EXPECT_EQ(Selected(), (Rows{3, 4, 5, 6, 7, 8, 9, 10, 11}));
    Key(Qt::Key_Home, Qt::ShiftModifier);
    Settle();
    EXPECT_EQ(grid.GetFocusedRow(), 0);
    EXPECT_EQ(Selected(), (Rows{0, 1, 2, 3}));
}

TEST_F(InputGrid, UpAndDownCrossBetweenTheFixedAndTheScrollableRows)
{
    AddFixed(2);
    AddRows(5);
    grid.SetFocusedRow(1, AreaFixed);
    Key(Qt::Key_Down, Qt::ShiftModifier); // from the last fixed row to the scrollable top row
    EXPECT_EQ(grid.GetFocusedArea(), AreaScrollable);
    EXPECT_EQ(grid.GetFocusedRow(), 0);
    EXPECT_EQ(Selected(AreaFixed), Rows{1});
    EXPECT_EQ(Selected(AreaScrollable), Rows{0});
    Key(Qt::Key_Up);
    EXPECT_EQ(grid.GetFocusedArea(), AreaFixed);
    EXPECT_EQ(grid.GetFocusedRow(), 1);
    Key(Qt::Key_Home);
    EXPECT_EQ(grid.GetFocusedArea(), AreaFixed);
    EXPECT_EQ(grid.GetFocusedRow(), 0);
    // Keys keep out of the areas outside the keyboard-area mask.
    grid.SetKeyboardAreas(MaskScrollable);
    Key(Qt::Key_Home);
    EXPECT_EQ(grid.GetFocusedArea(), AreaScrollable);
    EXPECT_EQ(grid.GetFocusedRow(), 0);
    Key(Qt::Key_Up);
    EXPECT_EQ(grid.GetFocusedArea(), AreaScrollable);
    EXPECT_EQ(grid.GetFocusedRow(), 0);
}

TEST_F(InputGrid, EnterEscapeAndSelectAll)
{
    const HITEM parent = Add("parent");
    Add("child", 0, parent);
    Add("other");
    grid.SetFocusedRow(0, AreaScrollable);
    Key(Qt::Key_Return);
    EXPECT_TRUE(grid.IsExpanded(parent));
    Key(Qt::Key_Enter);
    EXPECT_FALSE(grid.IsExpanded(parent));
    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Selected(), (Rows{0, 1}));
    Key(Qt::Key_Escape);
    EXPECT_EQ(grid.GetSelectedCount(), 0);
    EXPECT_EQ(grid.GetFocusedRow(), -1);
    EXPECT_EQ(grid.GetFocusedArea(), 0);
    Key(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier); // not select-all
    EXPECT_EQ(grid.GetSelectedCount(), 0);
}

// --- the tree keys --------------------------------------------------------------------

TEST_F(InputGrid, LeftCollapsesAnOpenRowThenMovesToItsParent)
{
    const HITEM top = Add("top");
    const HITEM middle = Add("middle", 0, top);
    Add("leaf", 0, middle);
    Add("second");
    grid.Expand(top, true);
    ASSERT_EQ(grid.GetRowCount(AreaScrollable), 4);
    grid.SetFocusedRow(1, AreaScrollable); // middle, open with a shown child
    Key(Qt::Key_Left);
    EXPECT_FALSE(grid.IsExpanded(middle));
    EXPECT_EQ(grid.GetRowCount(AreaScrollable), 3);
    EXPECT_EQ(FocusedName(), "middle");
    Key(Qt::Key_Left);
    EXPECT_EQ(FocusedName(), "top");
    EXPECT_EQ(Selected(), Rows{0});
    Key(Qt::Key_End);
    Key(Qt::Key_Left); // a top-level row: up to the top-level row above
    EXPECT_EQ(FocusedName(), "top");
}

TEST_F(InputGrid, RightOpensARowThenMovesIntoIt)
{
    const HITEM top = Add("top");
    Add("child", 0, top);
    const HITEM empty = Add("empty");
    grid.SetFocusedRow(0, AreaScrollable);
    Key(Qt::Key_Right);
    EXPECT_TRUE(grid.IsExpanded(top));
    EXPECT_EQ(FocusedName(), "top");
    Key(Qt::Key_Right);
    EXPECT_EQ(FocusedName(), "child");
    Key(Qt::Key_Right); // a row without children is marked open; the next press moves on
    Key(Qt::Key_Right);
    EXPECT_EQ(FocusedName(), "empty");
    Key(Qt::Key_Right);
    EXPECT_TRUE(grid.IsExpanded(empty));
    EXPECT_EQ(FocusedName(), "empty");
}

// --- incremental search ------------------------------------------------------------------

TEST_F(InputGrid, TypedLettersWithinASecondSearchTogetherAndAPauseStartsOver)
{
    Kestrum::Test::CFakeGridClock clock;
    for (const char* name : {"cedar", "alpha", "Abel", "beta", "Bravo"})
        Add(name);
    Type('a');
    EXPECT_EQ(FocusedName(), "alpha");
    clock.Advance(1000); // within the time-out
    Type('b');
    EXPECT_EQ(FocusedName(), "Abel"); // "ab" in either case, at or after the focus
    EXPECT_EQ(Selected(), Rows{2});
    clock.Advance(1001); // a pause: a new search for the letter alone
    Type('b');
    EXPECT_EQ(FocusedName(), "beta");
    clock.Advance(100);
    Type('R');
    EXPECT_EQ(FocusedName(), "Bravo");
    clock.Advance(2000);
    Type('c'); // from the focus to the end, then round from the top
    EXPECT_EQ(FocusedName(), "cedar");
    clock.Advance(2000);
    Type('z'); // nothing matches: nothing moves
    EXPECT_EQ(FocusedName(), "cedar");
}

TEST_F(InputGrid, KeypadDigitsSearchAsDigitsAndShiftedLettersDoNot)
{
    Kestrum::Test::CFakeGridClock clock;
    Add("alpha");
    Add("2024 report");
    QTest::keyClick(&grid, Qt::Key_2, Qt::KeypadModifier);
    EXPECT_EQ(FocusedName(), "2024 report");
    clock.Advance(2000);
    Key(Qt::Key_A, Qt::ShiftModifier);
    EXPECT_EQ(FocusedName(), "2024 report");
    // The search column is the visible column named by the header's extra value.
    header->SetExtraValue(5);
    clock.Advance(2000);
    Type('a');
    EXPECT_EQ(FocusedName(), "2024 report");
}

TEST_F(InputGrid, ALongSearchRunsInSlicesAndAMovementKeyEndsIt)
{
    Kestrum::Test::CFakeGridClock clock;
    const int rows = 2 * CIncrementalSearch::kRowsPerSlice + 100;
    for (int i = 0; i < rows - 1; ++i)
        Add("row");
    Add("zebra");
    Type('z');
    EXPECT_EQ(grid.GetFocusedRow(), -1); // the first slice has not reached it
    EXPECT_TRUE(PumpUntil([&] { return grid.GetFocusedRow() == rows - 1; }));
    EXPECT_EQ(Selected(), Rows{rows - 1});
    grid.SetFocusedRow(0, AreaScrollable);
    clock.Advance(2000);
    Type('z');
    Key(Qt::Key_Down); // the focus stays where the key puts it
    Pump(100);
    EXPECT_EQ(grid.GetFocusedRow(), 1);
}

TEST(IncrementalSearchText, ComparesLettersInEitherCase)
{
    EXPECT_TRUE(CIncrementalSearch::StartsWith("Program Files", "PROG"));
    EXPECT_TRUE(CIncrementalSearch::StartsWith("abc", ""));
    EXPECT_FALSE(CIncrementalSearch::StartsWith("ab", "abc"));
    EXPECT_FALSE(CIncrementalSearch::StartsWith("a[", "a{")); // only letters fold
}

// --- the key manager ------------------------------------------------------------------------

namespace {
class CRecordingKeyManager : public CKeyManager {
public:
    CRecordingKeyManager(bool autoDelete, bool* destroyed) : CKeyManager(autoDelete), m_destroyed(destroyed) {}
    ~CRecordingKeyManager() override
    {
        if (m_destroyed)
            *m_destroyed = true;
    }
    bool OnKeyDown(CGrid* grid, int virtualKey, int repeat, std::uint32_t flags) override
    {
        keys.push_back(virtualKey);
        return virtualKey == 'Q' || CKeyManager::OnKeyDown(grid, virtualKey, repeat, flags);
    }
    std::vector<int> keys;

private:
    bool* m_destroyed;
};
} // namespace

TEST_F(InputGrid, AnOwnKeyManagerGetsTheVirtualKeysAndIsDeletedOnlyWhenAutoDelete)
{
    AddRows(3);
    EXPECT_EQ(grid.GetKeyManager(), nullptr); // the shared default
    bool destroyed = false;
    auto* manager = new CRecordingKeyManager(false, &destroyed);
    EXPECT_EQ(grid.SetKeyManager(manager), nullptr);
    EXPECT_EQ(grid.GetKeyManager(), manager);
    Key(Qt::Key_Down);
    Key(Qt::Key_Q);
    QTest::keyClick(&grid, Qt::Key_5, Qt::KeypadModifier);
    Key(Qt::Key_F1);
    EXPECT_EQ(manager->keys, (std::vector<int>{KeyDown, 'Q', KeyNumpad0 + 5, KeyF1}));
    EXPECT_EQ(grid.SetKeyManager(nullptr), manager);
    delete manager;
    EXPECT_TRUE(destroyed);

    bool ownedDestroyed = false;
    {
        CGrid owner;
        owner.SetKeyManager(new CRecordingKeyManager(true, &ownedDestroyed));
    }
    EXPECT_TRUE(ownedDestroyed);
    bool keptDestroyed = false;
    CRecordingKeyManager kept(false, &keptDestroyed);
    {
        CGrid owner;
        owner.SetKeyManager(&kept);
    }
    EXPECT_FALSE(keptDestroyed);
}

// A key the grid's own input hands to the default manager runs on the grid
// directly, on the grid's thread only; a worker thread, or a slot called by
// the application itself, goes through the public grid.
TEST_F(InputGrid, TheDefaultKeyManagerRunsDirectlyOnlyInsideTheGridsOwnKeyOnItsThread)
{
    struct CProbe final : CKeyManager {
        CProbe() : CKeyManager(false) {}
        void OnDown(CGrid* grid, bool shift, bool ctrl) override
        {
            direct.push_back(CKeyGridScope::DirectFor(*grid) != nullptr);
            worker = std::async(std::launch::async, [grid] { return CKeyGridScope::DirectFor(*grid) != nullptr; }).get();
            CKeyManager::OnDown(grid, shift, ctrl);
        }
        std::vector<bool> direct;
        bool worker = true;
    } probe;
    AddRows(20);
    grid.SetKeyManager(&probe);
    Key(Qt::Key_Down);
    grid.KeyAction(KeyActionDown, true, false, 0);
    EXPECT_EQ(probe.direct, (std::vector<bool>{true, true}));
    EXPECT_FALSE(probe.worker);
    EXPECT_EQ(Selected(), (Rows{kPageRows - 1, kPageRows})) << "the rules ran on the grid";
    probe.OnDown(&grid, false, false);
    EXPECT_FALSE(probe.direct.back());
    EXPECT_EQ(Selected(), (Rows{kPageRows + 1}));
    grid.SetKeyManager(nullptr);
}

TEST_F(InputGrid, KeyActionRunsMovementAndSearchUnlessTheButtonIsDownOrThereAreNoRows)
{
    grid.KeyAction(KeyActionDown);
    EXPECT_EQ(grid.GetFocusedRow(), -1); // no rows
    AddRows(20);
    Kestrum::Test::CFakeGridClock clock;
    grid.KeyAction(KeyActionEnd);
    EXPECT_EQ(grid.GetFocusedRow(), 19);
    grid.KeyAction(KeyActionUp, true, false);
    EXPECT_EQ(Selected(), (Rows{18, 19}));
    grid.KeyAction(KeyActionSearch, false, false, 'r');
    EXPECT_EQ(grid.GetFocusedRow(), 18); // "row 18" matches at the focus
    EXPECT_EQ(Selected(), Rows{18});
    Settle();
    const int pressed = grid.GetTopRow() + 2;
    Press(RowPoint(pressed));
    grid.KeyAction(KeyActionHome);
    EXPECT_EQ(grid.GetFocusedRow(), pressed); // the left button is down
    Release(RowPoint(pressed));
    // From another thread, carried to the grid's thread.
    std::atomic<bool> done{false};
    std::thread worker([&] {
        grid.KeyAction(KeyActionHome);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(grid.GetFocusedRow(), 0);
}

TEST(GridShortcuts, TheGridTakesItsKeysBeforeWindowShortcuts)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* grid = new CGrid;
    layout->addWidget(grid);
    auto* header = new CHeader(true);
    header->AddColumn(MakeColumn(kName, "Name", 120));
    grid->SetHeader(header);
    std::deque<std::unique_ptr<CDynamicObject>> objects;
    for (int i = 0; i < 3; ++i) {
        objects.push_back(std::make_unique<CDynamicObject>(true));
        objects.back()->SetStlString(kName, "row " + std::to_string(i));
        grid->Add(objects.back().get(), GRID_ROOT, GRID_LAST);
    }
    int selectAll = 0, down = 0, quit = 0;
    auto shortcut = [&](const QKeySequence& keys, int& count) {
        auto* action = new QAction(&window);
        action->setShortcut(keys);
        QObject::connect(action, &QAction::triggered, [&count] { ++count; });
        window.addAction(action);
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_A), selectAll);
    shortcut(QKeySequence(Qt::Key_Down), down);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), quit);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    grid->setFocus();
    ASSERT_TRUE(PumpUntil([&] { return grid->hasFocus(); }));
    QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(grid->GetSelectedCount(), 1); // Down after select-all selects just its row
    EXPECT_EQ(selectAll, 0);
    EXPECT_EQ(down, 0);
    QTest::keyClick(grid, Qt::Key_Q, Qt::ControlModifier); // not a grid key
    EXPECT_EQ(quit, 1);
}

// --- the header ------------------------------------------------------------------------------

TEST_F(InputGrid, DraggingAColumnEdgeStopsAtTwoPixelsAndEscPutsTheWidthBack)
{
    const int edge = RightEdge(kSize);
    const int y = header->GetHeight() / 2;
    Hover({edge - 1, y});
    EXPECT_EQ(View()->cursor().shape(), Qt::BitmapCursor); // the resize cursor over an edge
    Hover(CaptionPoint(kSize));
    EXPECT_NE(View()->cursor().shape(), Qt::BitmapCursor);
    Press({edge - 1, y});
    Drag({edge + 30, y});
    EXPECT_EQ(header->GetColumn(kSize)->GetWidth(), 110);
    Drag({0, y}); // far left of the column
    EXPECT_EQ(header->GetColumn(kSize)->GetWidth(), 2);
    Release({0, y});
    EXPECT_EQ(header->GetColumn(kSize)->GetWidth(), 2);
    EXPECT_EQ(header->GetSortLevelCount(), 0);

    Press({RightEdge(kCount) + 2, y}); // just right of an edge grabs it too
    Drag({RightEdge(kCount) + 40, y});
    EXPECT_EQ(header->GetColumn(kCount)->GetWidth(), 60 + 40); // the edge follows the pointer
    Key(Qt::Key_Escape);
    EXPECT_EQ(header->GetColumn(kCount)->GetWidth(), 60);
    Release({RightEdge(kCount) + 40, y});
}

TEST_F(InputGrid, DoubleClickOnAColumnEdgeFitsTheColumnToItsCells)
{
    Add("a rather long name for a row");
    Add("short");
    header->GetColumn(kName)->SetWidth(280);
    QTest::mouseDClick(View(), Qt::LeftButton, Qt::NoModifier, {RightEdge(kName) - 1, header->GetHeight() / 2});
    const int fitted = header->GetColumn(kName)->GetWidth();
    EXPECT_GT(fitted, 20);
    EXPECT_LT(fitted, 280);
    header->GetColumn(kName)->SetWidth(280);
    grid.AutoFitColumn(kName);
    EXPECT_EQ(header->GetColumn(kName)->GetWidth(), fitted);
}

namespace {
struct CaptionDrag {
    int dx;
    bool sorts;
};
class CaptionPress : public InputGrid, public ::testing::WithParamInterface<CaptionDrag> {};
} // namespace

TEST_P(CaptionPress, SortsUnlessThePointerMovesMoreThanFourPixels)
{
    Press(CaptionPoint(kSize));
    Drag(CaptionPoint(kSize, GetParam().dx));
    Release(CaptionPoint(kSize, GetParam().dx));
    EXPECT_EQ(header->GetSortLevelCount(), GetParam().sorts ? 1 : 0);
    EXPECT_EQ(VisibleOrder(), (std::vector<std::int32_t>{kName, kSize, kCount})); // within its own column
}
INSTANTIATE_TEST_SUITE_P(Moves, CaptionPress,
                         ::testing::Values(CaptionDrag{0, true}, CaptionDrag{3, true}, CaptionDrag{-4, true},
                                           CaptionDrag{5, false}, CaptionDrag{-12, false}));

TEST_F(InputGrid, CaptionClicksFollowTheHeaderClickRule)
{
    AddRows(3);
    Click(CaptionPoint(kSize));
    EXPECT_EQ(header->GetSortInfo(0), CSortInfo(kSize, false)); // unsorted: ascending
    Click(CaptionPoint(kSize));
    EXPECT_EQ(header->GetSortInfo(0), CSortInfo(kSize, true)); // the same column again: flipped
    EXPECT_EQ(grid.GetObject(grid.GetItemAt(0, AreaScrollable))->GetInt64(kSize), 2);
    Click(CaptionPoint(kCount), Qt::ControlModifier); // Ctrl adds a level with level 0's direction
    ASSERT_EQ(header->GetSortLevelCount(), 2);
    EXPECT_EQ(header->GetSortInfo(1), CSortInfo(kCount, true));
    Click(CaptionPoint(kName)); // another column: level 0's direction, alone
    ASSERT_EQ(header->GetSortLevelCount(), 1);
    EXPECT_EQ(header->GetSortInfo(0), CSortInfo(kName, true));
    Click(CaptionPoint(kSize), Qt::ShiftModifier); // Shift clears the sort
    EXPECT_EQ(header->GetSortLevelCount(), 0);
}

TEST_F(InputGrid, DraggingACaptionMovesTheColumnAndPaintsTheDropMarker)
{
    const CRect count = header->GetColumnRect(&grid, kCount);
    Press(CaptionPoint(kSize));
    // Right half of Count, with the pointer (and the drag image) down in the body.
    Drag({count.right - 10, header->GetHeight() + 40});
    const QImage image = View()->grab().toImage();
    EXPECT_EQ(image.pixelColor(count.right - 1, 2), QColor(128, 128, 255)); // the marker after Count
    Release({count.right - 10, header->GetHeight() + 40});
    EXPECT_EQ(VisibleOrder(), (std::vector<std::int32_t>{kName, kCount, kSize}));
    EXPECT_EQ(header->GetSortLevelCount(), 0);

    // The fixed Name column may not move while fixed columns are not movable.
    header->SetMoveFixedColumns(false);
    Press(CaptionPoint(kName));
    Drag(CaptionPoint(kSize));
    Release(CaptionPoint(kSize));
    EXPECT_EQ(VisibleOrder(), (std::vector<std::int32_t>{kName, kCount, kSize}));
    EXPECT_EQ(header->GetSortLevelCount(), 0); // not a click either

    // The right button ends a move without moving.
    Press(CaptionPoint(kSize));
    Drag(CaptionPoint(kCount, -20));
    QTest::mouseClick(View(), Qt::RightButton, Qt::NoModifier, CaptionPoint(kCount, -20));
    Release(CaptionPoint(kCount, -20));
    EXPECT_EQ(VisibleOrder(), (std::vector<std::int32_t>{kName, kCount, kSize}));
}

TEST_F(InputGrid, APressedCaptionIsPaintedPressed)
{
    const QPoint caption = CaptionPoint(kCount, 20);
    const QColor before = View()->grab().toImage().pixelColor(caption);
    Press(caption);
    const QColor pressed = View()->grab().toImage().pixelColor(caption);
    Release(caption);
    EXPECT_NE(before, pressed);
}

// --- clicks and the rubber band -------------------------------------------------------------------

TEST_F(InputGrid, ClicksWithShiftAndCtrlFollowTheSelectionRules)
{
    AddRows(8);
    Click(RowPoint(2));
    EXPECT_EQ(grid.GetFocusedRow(), 2);
    EXPECT_EQ(Selected(), Rows{2});
    Click(RowPoint(5), Qt::ShiftModifier); // from the focused row; the focus stays
    EXPECT_EQ(Selected(), (Rows{2, 3, 4, 5}));
    EXPECT_EQ(grid.GetFocusedRow(), 2);
    Click(RowPoint(4), Qt::ControlModifier); // flips one row and focuses it
    EXPECT_EQ(Selected(), (Rows{2, 3, 5}));
    EXPECT_EQ(grid.GetFocusedRow(), 4);
    const QPoint belowRows{60, RowPoint(7).y() + 2 * kRowHeight};
    Click(belowRows, Qt::ShiftModifier); // below the rows: to the last row
    EXPECT_EQ(Selected(), (Rows{4, 5, 6, 7}));
    Click(belowRows); // on no row: the selection and the focus go
    EXPECT_EQ(grid.GetSelectedCount(), 0);
    EXPECT_EQ(grid.GetFocusedRow(), -1);
}

TEST_F(InputGrid, ARubberBandOverRowsSelectsThemAndIsPainted)
{
    AddRows(8);
    Press(RowPoint(1, AreaScrollable, 150));
    Drag(RowPoint(4, AreaScrollable, 200));
    EXPECT_EQ(Selected(), (Rows{1, 2, 3, 4}));
    // The band is drawn over the cells it covers, and not beside it.
    const QImage image = View()->grab().toImage();
    const QPoint inside = RowPoint(3, AreaScrollable, 175);
    const QPoint outside = RowPoint(3, AreaScrollable, 100);
    EXPECT_NE(image.pixelColor(inside), image.pixelColor(outside));
    Drag(RowPoint(2, AreaScrollable, 200)); // back up: the rows it left are deselected
    EXPECT_EQ(Selected(), (Rows{1, 2}));
    Release(RowPoint(2, AreaScrollable, 200));
    EXPECT_EQ(Selected(), (Rows{1, 2}));
    const QImage after = View()->grab().toImage();
    EXPECT_EQ(after.pixelColor(inside), after.pixelColor(outside)) << "the band is gone";

    // From below the last row upwards.
    const QPoint below{60, RowPoint(7).y() + 2 * kRowHeight};
    Press(below);
    Drag(RowPoint(5));
    Release(RowPoint(5));
    EXPECT_EQ(Selected(), (Rows{5, 6, 7}));
}

TEST_F(InputGrid, ARubberBandDraggedBelowTheRowsScrollsAndKeepsSelecting)
{
    AddRows(40);
    Press(RowPoint(2));
    Drag({60, grid.height() + 30}); // below the window
    EXPECT_TRUE(PumpUntil([&] { return grid.GetTopRow() >= 5; }, 10));
    Release({60, grid.height() + 30});
    const Rows selected = Selected();
    ASSERT_FALSE(selected.empty());
    EXPECT_EQ(selected.front(), 2);
    EXPECT_GE(selected.back(), grid.GetTopRow() + kPageRows - 1);
    const int top = grid.GetTopRow();
    Pump(250);
    EXPECT_EQ(grid.GetTopRow(), top) << "the button is up: no more scrolling";
}

TEST_F(InputGrid, ATreeButtonClickTogglesOnlyThatRow)
{
    const HITEM first = Add("first");
    Add("child", 0, first);
    const HITEM second = Add("second");
    Add("child", 0, second);
    grid.SetFocusedRow(1, AreaScrollable); // "second"
    grid.SelectRow(1, AreaScrollable, true);
    const QPoint button{kRowHeight / 2, RowPoint(0).y()}; // level 0: the first square of the tree column
    Click(button);
    EXPECT_TRUE(grid.IsExpanded(first));
    EXPECT_FALSE(grid.IsExpanded(second));
    EXPECT_EQ(FocusedName(), "second"); // the focus and the selection stay
    EXPECT_EQ(grid.GetFocusedRow(), 2);
    EXPECT_EQ(Selected(), Rows{2});
    Click(button);
    EXPECT_FALSE(grid.IsExpanded(first));
    EXPECT_EQ(FocusedName(), "second");
    Click({kRowHeight + 20, RowPoint(0).y()}); // beside the button: an ordinary click
    EXPECT_FALSE(grid.IsExpanded(first));
    EXPECT_EQ(FocusedName(), "first");
    QTest::mouseDClick(View(), Qt::LeftButton, Qt::NoModifier, {kRowHeight + 20, RowPoint(0).y()});
    EXPECT_TRUE(grid.IsExpanded(first)); // a double click toggles too
}

TEST_F(InputGrid, ClearingTheSelectionRepaintsTheRowsItLeaves)
{
    AddRows(5);
    Click(RowPoint(3));
    Pump(40);
    struct CPaintSpy : QObject {
        QRegion painted;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                painted += static_cast<QPaintEvent*>(event)->region();
            return false;
        }
    } spy;
    View()->installEventFilter(&spy);
    grid.ClearSelection();
    const CRect row = grid.GetRowRect(grid.GetItemAt(3, AreaScrollable));
    EXPECT_TRUE(PumpUntil([&] { return spy.painted.contains(QPoint(150, (row.top + row.bottom) / 2)); }, 5));
    View()->removeEventFilter(&spy);
}

TEST_F(InputGrid, TheFocusFrameLiesOnTheWidgetsFrameAndLeavesTheRowsTheirEdges)
{
    // The style's frame round the body, where the keyboard focus shows.
    grid.setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Pump();
    ASSERT_GT(grid.frameWidth(), 0);
    AddRows(4);
    grid.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&grid));
    const CRect row = grid.GetRowRect(grid.GetItemAt(2, AreaScrollable));
    const int y = (row.top + row.bottom) / 2;
    Click({150, y}); // selects and focuses row 2, and the grid takes the keyboard focus
    ASSERT_TRUE(PumpUntil([&] { return grid.hasFocus(); }));
    ASSERT_EQ(Selected(), std::vector<int>{2});
    ASSERT_EQ(grid.GetFocusedRow(), 2);
    const QImage focused = grid.grab().toImage();
    grid.clearFocus();
    ASSERT_FALSE(grid.hasFocus());
    const QImage unfocused = grid.grab().toImage();

    const QRect body = View()->geometry();
    const QColor highlight = QApplication::palette().color(QPalette::Highlight);
    const QColor selectionFrame = ToQColor(grid.GetAppearance().selection.color);
    // The row's first and last pixels are its selection frame's edges.
    EXPECT_EQ(focused.pixelColor(body.left(), body.top() + y), selectionFrame);
    EXPECT_EQ(focused.pixelColor(body.right(), body.top() + y), selectionFrame);
    EXPECT_TRUE(focused.copy(body) == unfocused.copy(body)) << "the body's pixels do not depend on the keyboard focus";
    // Left and right of the body (no scroll bars here) the frame shows the focus.
    for (const int x : {body.left() - 1, body.right() + 1}) {
        EXPECT_EQ(focused.pixelColor(x, body.top() + y), highlight) << x;
        EXPECT_NE(unfocused.pixelColor(x, body.top() + y), highlight) << x;
    }
}

// --- hit testing ------------------------------------------------------------------------------------

TEST_F(InputGrid, BelowTheLastRowAndOnTheSeparatorTheAreaAnswersWithNoItem)
{
    AddFixed(2);
    AddRows(3);
    int area = -1;
    const CRect lastFixed = grid.GetRowRect(grid.GetItemAt(1, AreaFixed));
    EXPECT_EQ(grid.HitTest({10, lastFixed.bottom}, &area), 0u); // the separator
    EXPECT_EQ(area, AreaFixed);
    const CRect last = grid.GetRowRect(grid.GetItemAt(2, AreaScrollable));
    EXPECT_EQ(grid.HitTest({10, last.bottom + 5}, &area), 0u);
    EXPECT_EQ(area, AreaScrollable);
    EXPECT_EQ(grid.HitTest({10, last.top + 1}, &area), grid.GetItemAt(2, AreaScrollable));
    EXPECT_EQ(grid.HitTest({10, 2}, &area), 0u); // the header
    EXPECT_EQ(area, 0);
}

// --- key numbers ------------------------------------------------------------------------------------

namespace {
struct KeyCase {
    int qtKey;
    Qt::KeyboardModifiers modifiers;
    int virtualKey;
};
class VirtualKeys : public ::testing::TestWithParam<KeyCase> {};
} // namespace

TEST_P(VirtualKeys, QtKeysBecomeTheDesignsNumbers)
{
    const QKeyEvent event(QEvent::KeyPress, GetParam().qtKey, GetParam().modifiers);
    EXPECT_EQ(VirtualKeyOf(event), GetParam().virtualKey);
}
INSTANTIATE_TEST_SUITE_P(
    Table, VirtualKeys,
    ::testing::Values(KeyCase{Qt::Key_Return, Qt::NoModifier, 13}, KeyCase{Qt::Key_Enter, Qt::KeypadModifier, 13},
                      KeyCase{Qt::Key_Escape, Qt::NoModifier, 27}, KeyCase{Qt::Key_Space, Qt::NoModifier, 32},
                      KeyCase{Qt::Key_PageUp, Qt::NoModifier, 33}, KeyCase{Qt::Key_PageDown, Qt::NoModifier, 34},
                      KeyCase{Qt::Key_End, Qt::NoModifier, 35}, KeyCase{Qt::Key_Home, Qt::NoModifier, 36},
                      KeyCase{Qt::Key_Left, Qt::NoModifier, 37}, KeyCase{Qt::Key_Up, Qt::ShiftModifier, 38},
                      KeyCase{Qt::Key_Right, Qt::NoModifier, 39}, KeyCase{Qt::Key_Down, Qt::KeypadModifier, 40},
                      KeyCase{Qt::Key_0, Qt::NoModifier, 48}, KeyCase{Qt::Key_9, Qt::NoModifier, 57},
                      KeyCase{Qt::Key_A, Qt::ControlModifier, 65}, KeyCase{Qt::Key_Z, Qt::NoModifier, 90},
                      KeyCase{Qt::Key_0, Qt::KeypadModifier, 96}, KeyCase{Qt::Key_9, Qt::KeypadModifier, 105},
                      KeyCase{Qt::Key_F1, Qt::NoModifier, 112}, KeyCase{Qt::Key_F12, Qt::NoModifier, 123},
                      KeyCase{Qt::Key_Exclam, Qt::ShiftModifier, 49}, KeyCase{Qt::Key_Semicolon, Qt::NoModifier, 186},
                      KeyCase{Qt::Key_Delete, Qt::NoModifier, 46}, KeyCase{Qt::Key_unknown, Qt::NoModifier, 0}));

TEST(MouseFlags, ButtonsAndModifiersBecomeTheMessageBits)
{
    EXPECT_EQ(MouseFlagsOf(Qt::LeftButton, Qt::ShiftModifier), MouseLeftButton | MouseShift);
    EXPECT_EQ(MouseFlagsOf(Qt::RightButton | Qt::MiddleButton, Qt::ControlModifier),
              MouseRightButton | MouseMiddleButton | MouseControl);
    EXPECT_EQ(MouseFlagsOf(Qt::NoButton, Qt::AltModifier), 0u);
}

TEST(UserInputHelper, EveryBaseHookAnswersFalseAndDispatchReachesTheOverride)
{
    struct CMoveOnly : CUserInputHelper {
        int x = -1, y = -1;
        bool OnMouseMove(std::uint32_t, int px, int py) override
        {
            x = px;
            y = py;
            return true;
        }
    } helper;
    for (int kind = InputMouseMove; kind <= InputVerticalScroll; ++kind) {
        InputMessage message;
        message.kind = kind;
        message.x = -5;
        message.y = 7;
        std::intptr_t result = 99;
        EXPECT_EQ(helper.Dispatch(message, &result), kind == InputMouseMove) << kind;
        EXPECT_EQ(result, 0);
    }
    EXPECT_EQ(helper.x, -5);
    EXPECT_EQ(helper.y, 7);
}
