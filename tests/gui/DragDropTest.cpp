// Drag and drop of rows on real (offscreen) grids, driven by mouse events:
// a press on a selected row, moves, the release. The offscreen platform has
// no drag of its own, so the grid runs its in-process drag, which takes the
// same mouse events a platform drag would. Covered: moving rows onto another
// parent with notifications 11 to 14, where a drop goes (the row halves,
// the level by the pointer's x, the top level), Ctrl copying, copies from
// another grid, refusals (switches, under a moved row, text from other
// programs), the drop marker as painted, scrolling near the edges, and a
// press without a move being a click.
#include <QHBoxLayout>
#include <QImage>
#include <QMimeData>
#include <QTimer>
#include <functional>

#include "gui/clipboard/ClipboardFormat.h"
#include "gui/clipboard/InProcessDrag.h"
#include "gui/grid/AutoScroll.h"
#include "gui/grid/GridSettings.h"
#include "tests/gui/TransferGrid.h"

using namespace Kestrum::Test;

namespace {
constexpr QRgb kMarker = qRgb(32, 128, 223);

// Runs `steps` from the event loop once the drag has started (the drag's
// own loop runs them), in order.
void DuringDrag(std::vector<std::function<void()>> steps)
{
    QTimer::singleShot(0, [steps = std::move(steps)] {
        for (const auto& step : steps)
            step();
    });
}

// A move with the left button held and the given keys (QTest's moves carry none).
void MoveWith(QWidget* widget, QPoint point, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent move(QEvent::MouseMove, point, widget->mapToGlobal(point), Qt::NoButton, Qt::LeftButton, modifiers);
    QApplication::sendEvent(widget, &move);
}

struct DragGrids : ::testing::Test {
    CObjects objects;
    QWidget window;
    CTransferGrid* grid = new CTransferGrid(objects, &window);
    CTransferGrid* other = new CTransferGrid(objects, &window);
    CDragLog log;
    CDragLog otherLog;

    DragGrids()
    {
        auto* layout = new QHBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(grid);
        layout->addWidget(other);
        window.resize(600, grid->header->GetHeight() + 10 * kRowHeight);
        window.move(40, 30);
        for (CTransferGrid* g : {grid, other}) {
            g->EnableDragDrop(true);
        }
        grid->SetListener(&log);
        other->SetListener(&otherLog);
        window.show();
        Pump();
    }
    ~DragGrids() override
    {
        grid->SetListener(nullptr);
        other->SetListener(nullptr);
    }
    QWidget* View(CTransferGrid* g = nullptr) { return (g ? g : grid)->viewport(); }
    void SetSwitch(CTransferGrid* g, int index, bool on)
    {
        DragDropSettings settings = g->GetDragDropSettings();
        settings.switches[static_cast<std::size_t>(index)] = on ? 1 : 0;
        g->SetDragDropSettings(settings);
    }
    // Presses on `from` and moves far enough to start the drag, which runs
    // `steps` and ends when one of them releases the button.
    void Drag(const std::string& from, std::vector<std::function<void()>> steps,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QPoint start = grid->RowPoint(from);
        QTest::mousePress(View(), Qt::LeftButton, modifiers, start);
        DuringDrag(std::move(steps));
        MoveWith(View(), start + QPoint(0, QApplication::startDragDistance() + 2), modifiers);
    }
    std::function<void()> MoveTo(CTransferGrid* g, QPoint point, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        return [=] { MoveWith(g->viewport(), point, modifiers); };
    }
    std::function<void()> ReleaseAt(CTransferGrid* g, QPoint point, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        return [=] { QTest::mouseRelease(g->viewport(), Qt::LeftButton, modifiers, point); };
    }
    // Lower half of a row (after it), or upper half (after the row above).
    QPoint Lower(CTransferGrid* g, const std::string& name, int x = 100) { return g->RowPoint(name, x, kRowHeight / 4); }
    QPoint Upper(CTransferGrid* g, const std::string& name, int x = 100) { return g->RowPoint(name, x, -kRowHeight / 4); }
};
} // namespace

TEST_F(DragGrids, TwoSelectedRowsDraggedOntoAnotherParentMoveThereAndSendElevenAndTwelve)
{
    grid->AddRows(4, "");
    const HITEM p = grid->AddRow("P");
    grid->AddRow("p1", p);
    grid->Expand(p, false);
    SetSwitch(grid, 12, true); // the pointer's x picks the level
    const HITEM one = grid->Row("1"), two = grid->Row("2");
    grid->Select({"1", "2"});
    const QPoint target = Lower(grid, "P", 3 * kRowHeight); // right of P's button: its children's level
    Drag("1", {MoveTo(grid, Upper(grid, "3")), MoveTo(grid, target), ReleaseAt(grid, target)});
    EXPECT_EQ(grid->Shown(), (Names{"0", "3", "P", "  1", "  2", "  p1"}));
    EXPECT_EQ(grid->Row("1"), one) << "moved, not copied";
    EXPECT_EQ(grid->GetParent(two), p);
    EXPECT_EQ(log.Codes(), (std::vector<int>{NotifyDragBegin, NotifyDropBegin, NotifyDropEnd, NotifyDragEnd}));
    ASSERT_EQ(log.notes.size(), 4u);
    EXPECT_EQ(log.notes[0].rows, (std::vector<HITEM>{one, two}));
    EXPECT_EQ(log.notes[0].area, AreaScrollable);
    EXPECT_EQ(log.notes[1].parent, p);
    EXPECT_EQ(log.notes[1].source, grid);
    EXPECT_EQ(log.notes[2].rows, (std::vector<HITEM>{one, two}));
    EXPECT_EQ(log.notes[3].action, TransferCut);
    EXPECT_EQ(grid->SelectedNames(), (Names{"1", "2"}));
    EXPECT_EQ(grid->FocusedName(), "1");
}

TEST_F(DragGrids, WhereADropGoesFollowsTheRowHalvesAndTheLevel)
{
    grid->AddRow("A");
    const HITEM b = grid->AddRow("B");
    grid->AddRow("b1", b);
    grid->AddRow("C");
    grid->Expand(b, false);
    // Level off: the top level, after the top-level row of the target.
    grid->Select({"A"});
    Drag("A", {ReleaseAt(grid, Upper(grid, "C"))}); // the row above C is b1, under B
    EXPECT_EQ(grid->Shown(), (Names{"B", "  b1", "A", "C"}));
    grid->Select({"C"});
    Drag("C", {ReleaseAt(grid, Upper(grid, "B"))}); // above the middle of row 0: first
    EXPECT_EQ(grid->Shown(), (Names{"C", "B", "  b1", "A"}));
    // Level on: left of b1's level the rows leave B; at it they join B.
    SetSwitch(grid, 12, true);
    grid->Select({"C"});
    Drag("C", {ReleaseAt(grid, Lower(grid, "b1", 2 * kRowHeight - 4))});
    EXPECT_EQ(grid->Shown(), (Names{"B", "  b1", "  C", "A"}));
    grid->Select({"C"});
    Drag("C", {ReleaseAt(grid, Lower(grid, "C", 4))});
    EXPECT_EQ(grid->Shown(), (Names{"B", "  b1", "C", "A"}));
    // Below the last row: after it.
    grid->Select({"B"});
    Drag("B", {ReleaseAt(grid, grid->RowPoint("A", 4, 3 * kRowHeight))});
    EXPECT_EQ(grid->Shown(), (Names{"C", "A", "B", "  b1"}));
}

TEST_F(DragGrids, CtrlCopiesWithinTheGridOnlyWhenSwitchSixIsOn)
{
    grid->AddRows(3);
    grid->Select({"row 0"});
    const QPoint target = Lower(grid, "row 2");
    Drag("row 0", {MoveTo(grid, target, Qt::ControlModifier), ReleaseAt(grid, target, Qt::ControlModifier)}, Qt::ControlModifier);
    EXPECT_EQ(grid->Shown(), (Names{"row 0", "row 1", "row 2"})) << "switch 6 is off at first";
    EXPECT_EQ(log.notes.back().code, NotifyDragEnd);
    EXPECT_EQ(log.notes.back().action, 0);
    SetSwitch(grid, 6, true);
    grid->Select({"row 0"});
    Drag("row 0", {MoveTo(grid, target, Qt::ControlModifier), ReleaseAt(grid, target, Qt::ControlModifier)}, Qt::ControlModifier);
    EXPECT_EQ(grid->Shown(), (Names{"row 0", "row 1", "row 2", "row 0"}));
    EXPECT_NE(grid->GetItemAt(3, AreaScrollable), grid->Row("row 0"));
    EXPECT_EQ(grid->GetObject(grid->GetItemAt(3, AreaScrollable)), grid->GetObject(grid->Row("row 0")));
    EXPECT_EQ(log.notes.back().action, TransferCopy);
}

TEST_F(DragGrids, RowsFromAnotherGridAreCopiedWhereSwitchEightAllowsIt)
{
    grid->AddRows(2);
    other->AddRow("there");
    grid->Select({"row 0", "row 1"});
    const QPoint target = Lower(other, "there");
    Drag("row 0", {MoveTo(other, target), ReleaseAt(other, target)});
    EXPECT_EQ(other->Shown(), Names{"there"}) << "switch 8 is off at first";
    SetSwitch(other, 8, true);
    grid->Select({"row 0", "row 1"});
    Drag("row 0", {MoveTo(other, target), ReleaseAt(other, target)});
    EXPECT_EQ(other->Shown(), (Names{"there", "row 0", "row 1"}));
    EXPECT_EQ(grid->Shown(), (Names{"row 0", "row 1"})) << "copied: the source keeps its rows";
    EXPECT_EQ(other->GetObject(other->Row("row 0")), grid->GetObject(grid->Row("row 0")));
    EXPECT_EQ(otherLog.Codes(), (std::vector<int>{NotifyDropBegin, NotifyDropEnd}));
    EXPECT_EQ(otherLog.notes[0].source, grid);
    EXPECT_EQ(log.notes.back().action, TransferCopy);
    // Shift moves them with switch 9.
    SetSwitch(other, 9, true);
    const HITEM one = grid->Row("row 1");
    grid->Select({"row 1"});
    Drag("row 1", {MoveTo(other, target, Qt::ShiftModifier), ReleaseAt(other, target, Qt::ShiftModifier)});
    EXPECT_EQ(grid->Shown(), Names{"row 0"});
    EXPECT_EQ(other->Row("row 1", AreaScrollable), other->GetItemAt(1, AreaScrollable));
    EXPECT_EQ(other->GetItemAt(1, AreaScrollable), one);
}

TEST_F(DragGrids, AMoveNeverGoesUnderAMovedRow)
{
    const HITEM p = grid->AddRow("P");
    grid->AddRow("c", p);
    grid->AddRow("Q");
    grid->Expand(p, false);
    SetSwitch(grid, 12, true);
    grid->Select({"P"});
    const QPoint underChild = Lower(grid, "c", 5 * kRowHeight);
    QImage over;
    Drag("P", {MoveTo(grid, underChild), [&] { over = View()->grab().toImage(); }, ReleaseAt(grid, underChild)});
    EXPECT_EQ(grid->Shown(), (Names{"P", "  c", "Q"}));
    EXPECT_EQ(log.Codes(), (std::vector<int>{NotifyDragBegin, NotifyDragEnd})) << "refused before any drop";
    EXPECT_EQ(log.notes.back().action, 0);
    ASSERT_FALSE(over.isNull());
    for (int y = 0; y < over.height(); ++y)
        ASSERT_NE(over.pixel(200, y), kMarker) << "no marker where the rows may not go, row " << y;
    grid->Select({"P"});
    Drag("P", {ReleaseAt(grid, Lower(grid, "Q", 5 * kRowHeight))});
    EXPECT_EQ(grid->Shown(), (Names{"Q", "  P", "    c"}));
}

TEST_F(DragGrids, TextFromOtherProgramsIsRefusedAsRows)
{
    grid->AddRows(2);
    auto* text = new QMimeData;
    text->setText("row 0\t0\t");
    const QPoint target = Lower(grid, "row 1");
    DuringDrag({MoveTo(grid, target), ReleaseAt(grid, target)});
    QTest::mousePress(View(), Qt::LeftButton, {}, target); // the button of the other program's drag
    EXPECT_EQ(CInProcessDrag::Exec(nullptr, text, Qt::CopyAction | Qt::MoveAction), Qt::IgnoreAction);
    EXPECT_EQ(grid->Shown(), (Names{"row 0", "row 1"}));
    EXPECT_TRUE(log.notes.empty());
}

TEST_F(DragGrids, TheDropMarkerIsPaintedWhereTheRowsWouldGoAndGoesWithTheDrag)
{
    grid->AddRow("A");
    const HITEM b = grid->AddRow("B");
    grid->AddRow("C");
    SetSwitch(grid, 12, true);
    grid->Select({"A"});
    const QPoint target = Lower(grid, "B", 3 * kRowHeight); // B's child level
    const CRect rowB = grid->GetRowRect(b);
    QImage during;
    Drag("A", {MoveTo(grid, target), [&] { during = View()->grab().toImage(); }, ReleaseAt(grid, target)});
    ASSERT_FALSE(during.isNull());
    const int bar = rowB.bottom - 1;
    EXPECT_EQ(during.pixel(200, bar), kMarker) << "the bar below B";
    EXPECT_EQ(during.pixel(2 * kRowHeight + 4, bar), kMarker) << "from where a child of B has its text";
    EXPECT_NE(during.pixel(2 * kRowHeight - 4, bar), kMarker);
    EXPECT_NE(during.pixel(200, rowB.top + 1), kMarker);
    const QImage after = View()->grab().toImage();
    for (int y = 0; y < after.height(); ++y)
        ASSERT_NE(after.pixel(200, y), kMarker) << "no marker once the drag is over, row " << y;
}

struct MarkerCase {
    const char* name;
    int x; // the pointer's x in the lower half of b1
    int level;
};

class DropMarker : public DragGrids, public ::testing::WithParamInterface<MarkerCase> {};

// The bar between two rows starts where the dropped row's text will start:
// at its level's indentation in the tree column. C is dragged into the lower
// half of b1 (a child of B, with b2 below it) at several x: b1's level or its
// children's (b2 keeps the rows inside B).
TEST_P(DropMarker, ShowsWhereTheDroppedRowLands)
{
    grid->AddRow("A");
    const HITEM b = grid->AddRow("B");
    grid->AddRow("b1", b);
    grid->AddRow("b2", b);
    grid->AddRow("C");
    grid->Expand(b, false);
    SetSwitch(grid, 12, true);
    grid->Select({"C"});
    const QPoint target = Lower(grid, "b1", GetParam().x);
    const int bar = grid->GetRowRect(grid->Row("b1")).bottom - 1;
    QImage during;
    Drag("C", {MoveTo(grid, target), [&] { during = View()->grab().toImage(); }, ReleaseAt(grid, target)});
    ASSERT_FALSE(during.isNull());
    int markerLeft = -1;
    for (int x = 0; x < during.width() && markerLeft < 0; ++x)
        if (during.pixel(x, bar) == kMarker)
            markerLeft = x;
    ASSERT_GE(markerLeft, 0) << "a bar below b1";
    const HITEM c = grid->Row("C");
    ASSERT_NE(c, 0u);
    EXPECT_EQ(grid->GetVisibleIndex(c), grid->GetVisibleIndex(grid->Row("b1")) + 1) << "right below the bar";
    EXPECT_EQ(grid->GetLevel(c), GetParam().level);
    EXPECT_EQ(markerLeft, (grid->GetLevel(c) + 1) * kRowHeight) << "the bar starts where C's text starts";
}

INSTANTIATE_TEST_SUITE_P(PointerX, DropMarker,
                         ::testing::Values(MarkerCase{"LeftOfTheTree", 4, 1}, MarkerCase{"OverTheSiblingsButtons", kRowHeight + 4, 1},
                                           MarkerCase{"OverTheSiblingsText", 2 * kRowHeight + 4, 2},
                                           MarkerCase{"FarRight", 120, 2}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(DragGrids, DraggingNearTheBottomEdgeScrollsUntilThePointerLeavesTheEdge)
{
    grid->AddRows(40);
    grid->SetTopRow(0);
    grid->Select({"row 1"});
    const CRect area = grid->GetAreaRect(AreaScrollable);
    const QPoint edge{100, area.bottom - 3};
    const QPoint middle{100, (area.top + area.bottom) / 2};
    int scrolled = 0, later = 0;
    Drag("row 1", {MoveTo(grid, edge),
                   [&] {
                       PumpUntil([&] { return grid->GetTopRow() >= 3; }, 10);
                       MoveWith(View(), middle);
                       scrolled = grid->GetTopRow();
                       Pump(300);
                       later = grid->GetTopRow();
                   },
                   [&] {
                       QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                       QApplication::sendEvent(View(), &escape);
                   }});
    QTest::mouseRelease(View(), Qt::LeftButton, {}, middle);
    EXPECT_GE(scrolled, 3);
    EXPECT_EQ(later, scrolled) << "away from the edge the scrolling stops";
    EXPECT_EQ(grid->Shown().size(), 40u);
    EXPECT_EQ(grid->Row("row 1"), grid->GetItemAt(1, AreaScrollable)) << "Esc dropped nothing";
    EXPECT_EQ(log.notes.back().action, 0);
}

// The band and a drag over the grid scroll with the grid's one auto-scroll
// timer, running while either needs it and stopped when it ends.
TEST_F(DragGrids, TheBandAndTheDragScrollWithTheGridsOneAutoScrollTimer)
{
    grid->AddRows(40);
    const auto timers = grid->findChildren<QTimer*>(QStringLiteral("Kestrum.AutoScroll"));
    ASSERT_EQ(timers.size(), 1);
    const QTimer* timer = timers.front();
    const QPoint below{200, grid->height() + 30};
    QTest::mousePress(View(), Qt::LeftButton, {}, grid->RowPoint("row 2", 200)); // right of the first column: a band
    MoveWith(View(), below);
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(PumpUntil([&] { return grid->GetTopRow() >= 3; }, 10));
    QTest::mouseRelease(View(), Qt::LeftButton, {}, below);
    EXPECT_FALSE(timer->isActive());

    grid->SetTopRow(0);
    grid->Select({"row 1"});
    const CRect area = grid->GetAreaRect(AreaScrollable);
    const QPoint edge{100, area.bottom - 3};
    bool scrolling = false;
    int top = 0;
    Drag("row 1", {MoveTo(grid, edge),
                   [&] {
                       scrolling = timer->isActive();
                       PumpUntil([&] { return grid->GetTopRow() >= 3; }, 10);
                       top = grid->GetTopRow();
                   },
                   [&] {
                       QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                       QApplication::sendEvent(View(), &escape);
                   }});
    QTest::mouseRelease(View(), Qt::LeftButton, {}, edge);
    EXPECT_TRUE(scrolling);
    EXPECT_GE(top, 3);
    EXPECT_FALSE(timer->isActive());
}

// Ticks go to the client that started the timer last; a client stops only
// its own scrolling.
TEST(CAutoScroll, TicksGoToTheLastStarterAndAClientStopsOnlyItsOwn)
{
    struct CClient final : IAutoScrollClient {
        void OnAutoScroll() override { ++ticks; }
        int ticks = 0;
    } band, drop;
    QObject owner;
    CAutoScroll scroll(&owner);
    scroll.Start(band);
    scroll.Start(drop);
    scroll.Stop(band);
    EXPECT_FALSE(scroll.IsRunningFor(band));
    EXPECT_TRUE(scroll.IsRunningFor(drop));
    EXPECT_TRUE(PumpUntil([&] { return drop.ticks > 0; }, 5));
    EXPECT_EQ(band.ticks, 0);
    scroll.Stop(drop);
    EXPECT_FALSE(scroll.IsRunningFor(drop));
}

// The dropped rows become the selection and the first of them the focus,
// whichever area they land in; rows selected in the other area are let go.
TEST_F(DragGrids, TheDroppedRowsAloneAreSelectedInTheAreaTheyLandIn)
{
    grid->AddRow("F0", GRID_FIXED_ROOT);
    grid->AddRow("F1", GRID_FIXED_ROOT);
    grid->AddRows(4);
    SetSwitch(grid, 0, false); // the fixed rows stay: F1 is selected, not dragged
    grid->ClearSelection();
    grid->SelectItem(grid->Row("F1", AreaFixed), true);
    grid->SelectItem(grid->Row("row 0"), true);
    grid->SelectItem(grid->Row("row 1"), true);
    const QPoint target = Lower(grid, "row 3");
    Drag("row 0", {MoveTo(grid, target), ReleaseAt(grid, target)});
    EXPECT_EQ(grid->Shown(AreaFixed), (Names{"F0", "F1"}));
    EXPECT_EQ(grid->Shown(), (Names{"row 2", "row 3", "row 0", "row 1"}));
    EXPECT_EQ(grid->SelectedNames(), (Names{"row 0", "row 1"}));
    EXPECT_EQ(grid->FocusedName(), "row 0");
    EXPECT_EQ(grid->GetFocusedArea(), AreaScrollable);

    // Into the fixed rows, below F0.
    grid->Select({"row 2"});
    const CRect f0 = grid->GetRowRect(grid->Row("F0", AreaFixed));
    const QPoint fixedTarget{100, f0.bottom - kRowHeight / 4};
    Drag("row 2", {MoveTo(grid, fixedTarget), ReleaseAt(grid, fixedTarget)});
    EXPECT_EQ(grid->Shown(AreaFixed), (Names{"F0", "row 2", "F1"}));
    EXPECT_EQ(grid->SelectedNames(), (Names{"row 2"}));
    EXPECT_EQ(grid->FocusedName(), "row 2");
    EXPECT_EQ(grid->GetFocusedArea(), AreaFixed);
}

TEST_F(DragGrids, APressOnASelectedRowWithoutMovingIsAClick)
{
    grid->AddRows(4);
    grid->Select({"row 1", "row 2", "row 3"});
    QTest::mouseClick(View(), Qt::LeftButton, {}, grid->RowPoint("row 2"));
    EXPECT_EQ(grid->SelectedNames(), Names{"row 2"});
    EXPECT_EQ(grid->FocusedName(), "row 2");
    grid->Select({"row 1", "row 2", "row 3"});
    QTest::mouseClick(View(), Qt::LeftButton, Qt::ControlModifier, grid->RowPoint("row 2"));
    EXPECT_EQ(grid->SelectedNames(), (Names{"row 1", "row 3"})) << "Ctrl flips the row";
    // A move shorter than the drag distance starts nothing either.
    QTest::mousePress(View(), Qt::LeftButton, {}, grid->RowPoint("row 1"));
    MoveWith(View(), grid->RowPoint("row 1") + QPoint(2, 1));
    QTest::mouseRelease(View(), Qt::LeftButton, {}, grid->RowPoint("row 1") + QPoint(2, 1));
    EXPECT_TRUE(log.notes.empty());
    EXPECT_EQ(grid->SelectedNames(), Names{"row 1"});
}

TEST_F(DragGrids, WithDragAndDropOffAPressSelectsAsBeforeAndNothingIsTaken)
{
    grid->AddRows(3);
    grid->EnableDragDrop(false);
    EXPECT_FALSE(grid->IsDragDropEnabled());
    grid->Select({"row 0", "row 1"});
    QTest::mousePress(View(), Qt::LeftButton, {}, grid->RowPoint("row 0"));
    EXPECT_EQ(grid->SelectedNames(), Names{"row 0"}) << "the press applies at once";
    MoveWith(View(), grid->RowPoint("row 2"));
    QTest::mouseRelease(View(), Qt::LeftButton, {}, grid->RowPoint("row 2"));
    EXPECT_EQ(grid->SelectedNames(), (Names{"row 0", "row 1", "row 2"})) << "a rubber band";
    EXPECT_TRUE(log.notes.empty());
}
