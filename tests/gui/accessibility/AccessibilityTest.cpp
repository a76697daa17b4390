// The grid through Qt's accessibility API, as a screen reader reads it: a
// real offscreen grid with fixed and scrollable rows, driven by QTest keys;
// the events it announces are caught by its event observer.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <deque>
#include <memory>
#include <vector>

#include "common/DateFormats.h"
#include "common/DynamicObject.h"
#include "common/IntegerFormats.h"
#include "gui/accessibility/GridAccessible.h"
#include "gui/edit/EmbeddedDateTimeCtrl.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"
#include "gui/grid/HeaderConfigurationDlg.h"
#include "tests/support/EventPump.h"
#include "tests/support/FakeClock.h"

using namespace Kestrum::GUI;
using Kestrum::Common::CDynamicObject;
using Kestrum::Test::Pump;

namespace {
constexpr std::int32_t kName = 0;
constexpr std::int32_t kSize = 1;
constexpr std::int32_t kDone = 2;
constexpr int kRowHeight = 16;

// What the grid announced, in order.
struct Announced {
    QAccessible::Event type;
    QAccessibleTableModelChangeEvent::ModelChangeType change = QAccessibleTableModelChangeEvent::ModelReset;
    QAccessibleInterface* target = nullptr;
    int firstRow = -1, lastRow = -1;
};
std::vector<Announced> g_events;

void Catch(QAccessibleEvent* event)
{
    Announced announced{event->type()};
    announced.target = event->accessibleInterface();
    if (event->type() == QAccessible::TableModelChanged) {
        auto* change = static_cast<QAccessibleTableModelChangeEvent*>(event);
        announced.change = change->modelChangeType();
        announced.firstRow = change->firstRow();
        announced.lastRow = change->lastRow();
    }
    g_events.push_back(announced);
}

int Count(QAccessible::Event type)
{
    return static_cast<int>(std::count_if(g_events.begin(), g_events.end(), [type](const Announced& e) { return e.type == type; }));
}
int CountModel(QAccessibleTableModelChangeEvent::ModelChangeType change)
{
    return static_cast<int>(std::count_if(g_events.begin(), g_events.end(), [change](const Announced& e) {
        return e.type == QAccessible::TableModelChanged && e.change == change;
    }));
}

// Name (the tree column, editable), Size (grouped thousands), Done (a check box).
struct AccessibleGrid : ::testing::Test {
    AccessibleGrid()
    {
        grid.setFrameStyle(QFrame::NoFrame);
        grid.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        header = new CHeader(true);
        header->AddColumn(new CColumn(kName, "Name", 120, AlignAuto, true, -1, -1, nullptr, nullptr, nullptr, ""));
        header->AddColumn(new CColumn(kSize, "Size", 90, AlignAuto, false, -1, -1,
                                      new Kestrum::Common::CInt64Format(0, true, ','), nullptr, nullptr, ""));
        header->AddColumn(new CColumn(kDone, "Done", 40, AlignAuto, true, -1, -1, nullptr, nullptr, nullptr, ""));
        header->SetTreeColumn(kName);
        grid.SetHeader(header);
        grid.resize(300, header->GetHeight() + 8 * kRowHeight);
        grid.setAccessibleName(QStringLiteral("Files"));
        grid.show();
        grid.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&grid));
        grid.setFocus();
        Pump();
        g_events.clear();
        // The offscreen platform has no bridge, so Qt's update handler never
        // runs: the grid's observer sees what it announces.
        CGridAccessible::SetEventObserver(&Catch);
        table = QAccessible::queryAccessibleInterface(&grid);
    }
    ~AccessibleGrid() override
    {
        CGridAccessible::SetEventObserver(nullptr);
        grid.Clear();
    }
    HITEM Add(const std::string& name, std::int64_t size, HITEM parent = GRID_ROOT)
    {
        auto object = std::make_unique<CDynamicObject>(true);
        object->SetStlString(kName, name);
        object->SetInt64(kSize, size);
        object->SetBool(kDone, size % 2 == 1);
        objects.push_back(std::move(object));
        const HITEM item = grid.Add(objects.back().get(), parent, GRID_LAST);
        grid.SetRowHeight(item, kRowHeight);
        return item;
    }
    // Two fixed rows, then a folder with two children (collapsed) and three files.
    void Fill()
    {
        Add("total", 1234567, GRID_FIXED_ROOT);
        Add("free", 42, GRID_FIXED_ROOT);
        folder = Add("folder", 3000);
        Add("child a", 1000, folder);
        Add("child b", 2000, folder);
        for (int i = 0; i < 3; ++i)
            Add("file " + std::to_string(i), 10 + i);
        Settle();
    }
    // Lets the coalesced announcements go out, rows changes included (their
    // spacing over).
    void Settle()
    {
        clock.Advance(CGridAccessible::kRowsChangeSpacingMs);
        Tick();
    }
    // The same without time passing on the grid clock.
    void Tick()
    {
        Pump();
        if (CGridAccessible* accessible = CGridAccessible::Of(&grid))
            accessible->Flush();
    }
    QAccessibleTableInterface* Table() { return table->tableInterface(); }
    QAccessibleInterface* CellAt(int row, int column) { return Table()->cellAt(row, column); }
    QString Name(int row, int column) { return CellAt(row, column)->text(QAccessible::Name); }
    QAccessibleActionInterface* Actions(QAccessibleInterface* iface) { return iface->actionInterface(); }

    Kestrum::Test::CFakeGridClock clock;
    std::deque<std::unique_ptr<CDynamicObject>> objects; // outlive the grid's rows
    CGrid grid;
    CHeader* header = nullptr;
    QAccessibleInterface* table = nullptr;
    HITEM folder = 0;
};

TEST_F(AccessibleGrid, ReadsRowsColumnsCellsAndHeadersInScreenOrder)
{
    Fill();
    ASSERT_NE(table, nullptr);
    ASSERT_NE(Table(), nullptr);
    EXPECT_EQ(table->role(), QAccessible::Tree) << "the grid shows its hierarchy";
    EXPECT_EQ(table->text(QAccessible::Name), "Files");
    EXPECT_EQ(Table()->rowCount(), 6) << "2 fixed rows, the folder and 3 files (the children are collapsed)";
    EXPECT_EQ(Table()->columnCount(), 3);
    // The fixed rows first, then the scrollable ones; the text as painted
    // (the Size column's format groups the thousands).
    const std::vector<std::pair<QString, QString>> rows = {
        {"total", "1,234,567"}, {"free", "42"}, {"folder", "3,000"}, {"file 0", "10"}, {"file 1", "11"}, {"file 2", "12"}};
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ(Name(row, 0), rows[static_cast<std::size_t>(row)].first) << "row " << row;
        EXPECT_EQ(Name(row, 1), rows[static_cast<std::size_t>(row)].second) << "row " << row;
        QAccessibleTableCellInterface* cell = CellAt(row, 1)->tableCellInterface();
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->rowIndex(), row);
        EXPECT_EQ(cell->columnIndex(), 1);
        // Every cell has its column's caption as header.
        ASSERT_EQ(cell->columnHeaderCells().size(), 1);
        EXPECT_EQ(cell->columnHeaderCells()[0]->text(QAccessible::Name), "Size");
    }
    // Children: the captions, then the cells row by row; a cell is found again by its index.
    EXPECT_EQ(table->childCount(), 7 * 3);
    EXPECT_EQ(table->child(0)->role(), QAccessible::ColumnHeader);
    EXPECT_EQ(table->child(2)->text(QAccessible::Name), "Done");
    EXPECT_EQ(table->child(3 + 3 * 2)->text(QAccessible::Name), "folder");
    EXPECT_EQ(table->indexOfChild(CellAt(4, 2)), 3 + 4 * 3 + 2);
    EXPECT_EQ(table->child(3 + 4 * 3 + 2), CellAt(4, 2)) << "one interface per cell";
    EXPECT_EQ(Table()->columnDescription(1), "Size");
    // States: the folder is expandable and collapsed; the files are not; the
    // Done column holds check boxes; Name is editable, Size read-only.
    const QAccessible::State folderState = CellAt(2, 0)->state();
    EXPECT_TRUE(folderState.expandable);
    EXPECT_FALSE(folderState.expanded);
    EXPECT_TRUE(folderState.collapsed);
    EXPECT_FALSE(CellAt(3, 0)->state().expandable);
    EXPECT_EQ(CellAt(2, 0)->text(QAccessible::Description), "Level 1");
    EXPECT_TRUE(CellAt(3, 2)->state().checkable);
    EXPECT_FALSE(CellAt(3, 2)->state().checked) << "10 is even";
    EXPECT_TRUE(CellAt(4, 2)->state().checked);
    EXPECT_TRUE(CellAt(3, 0)->state().editable);
    EXPECT_TRUE(CellAt(3, 1)->state().readOnly);
    // A cell is found under its point.
    const QRect rect = CellAt(4, 1)->rect();
    ASSERT_FALSE(rect.isEmpty());
    EXPECT_EQ(table->childAt(rect.center().x(), rect.center().y()), CellAt(4, 1));
    // Without the hierarchy drawn, the grid is a table of cells.
    grid.SetPaintFlags(grid.GetPaintFlags() & ~static_cast<std::uint32_t>(PaintHierarchy));
    EXPECT_EQ(table->role(), QAccessible::Table);
    EXPECT_EQ(CellAt(0, 0)->role(), QAccessible::Cell);
}

TEST_F(AccessibleGrid, AKeyMovesTheFocusWithOneFocusEventAndSelectionIsAnnounced)
{
    Fill();
    ASSERT_TRUE(grid.hasFocus());
    grid.SetFocusedRow(0, AreaScrollable);
    Settle();
    g_events.clear();
    QTest::keyClick(&grid, Qt::Key_Down);
    Settle();
    ASSERT_EQ(Count(QAccessible::Focus), 1);
    QAccessibleInterface* focused = CellAt(3, 0);
    const auto focus = std::find_if(g_events.begin(), g_events.end(), [](const Announced& e) { return e.type == QAccessible::Focus; });
    EXPECT_EQ(focus->target, focused);
    EXPECT_EQ(table->focusChild(), focused);
    EXPECT_TRUE(focused->state().focused);
    EXPECT_FALSE(CellAt(2, 0)->state().focused);
    // The move selected the row: one selection event, the row and its cells selected.
    EXPECT_EQ(Count(QAccessible::SelectionWithin), 1);
    EXPECT_EQ(Table()->selectedRows(), QList<int>{3});
    EXPECT_EQ(Table()->selectedCellCount(), 3);
    EXPECT_TRUE(focused->state().selected);
    // Shift+Down three times: three rows selected, one announcement per key.
    g_events.clear();
    for (int i = 0; i < 2; ++i) {
        QTest::keyClick(&grid, Qt::Key_Down, Qt::ShiftModifier);
        Settle();
    }
    EXPECT_EQ(Count(QAccessible::SelectionWithin), 2);
    EXPECT_EQ(Count(QAccessible::Focus), 2);
    EXPECT_EQ(Table()->selectedRows(), (QList<int>{3, 4, 5}));
    // Selecting through the interface selects the grid's row.
    EXPECT_TRUE(Table()->unselectRow(4));
    EXPECT_FALSE(grid.IsRowSelected(2, AreaScrollable));
    EXPECT_TRUE(Table()->selectRow(0));
    EXPECT_TRUE(grid.IsRowSelected(0, AreaFixed));
}

TEST_F(AccessibleGrid, ExpandAndCollapseAreReflectedAndAnnounced)
{
    Fill();
    QAccessibleInterface* folderCell = CellAt(2, 0);
    ASSERT_TRUE(Actions(folderCell)->actionNames().contains("expand"));
    g_events.clear();
    Actions(folderCell)->doAction("expand");
    Settle();
    EXPECT_TRUE(grid.IsExpanded(folder));
    EXPECT_EQ(Table()->rowCount(), 8);
    EXPECT_EQ(Name(3, 0), "child a");
    EXPECT_EQ(Name(3, 1), "1,000");
    EXPECT_EQ(CellAt(3, 0)->text(QAccessible::Description), "Level 2");
    EXPECT_EQ(CellAt(2, 0), folderCell) << "the folder's cell keeps its identity";
    EXPECT_TRUE(folderCell->state().expanded);
    EXPECT_EQ(CountModel(QAccessibleTableModelChangeEvent::ModelReset), 1);
    ASSERT_EQ(Count(QAccessible::StateChanged), 1);
    EXPECT_EQ(std::find_if(g_events.begin(), g_events.end(), [](const Announced& e) { return e.type == QAccessible::StateChanged; })->target,
              folderCell);
    // The key does the same: Left collapses the focused folder.
    grid.SetFocusedRow(0, AreaScrollable);
    Settle();
    g_events.clear();
    QTest::keyClick(&grid, Qt::Key_Left);
    Settle();
    EXPECT_FALSE(folderCell->state().expanded);
    EXPECT_EQ(Table()->rowCount(), 6);
    EXPECT_EQ(Count(QAccessible::StateChanged), 1);
    // Press on a cell that cannot be edited is the double click: the row's toggle.
    Actions(CellAt(2, 1))->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(grid.IsExpanded(folder));
}

TEST_F(AccessibleGrid, RowsAddedInABurstAreOneModelChangeSpacedOnTheGridClock)
{
    Fill();
    g_events.clear();
    for (int i = 0; i < 5000; ++i)
        Add("burst " + std::to_string(i), i);
    Settle();
    EXPECT_EQ(CountModel(QAccessibleTableModelChangeEvent::ModelReset), 1);
    EXPECT_EQ(Table()->rowCount(), 5006);
    // More rows before the spacing is over wait for it.
    Add("late", 1);
    Tick();
    EXPECT_EQ(CountModel(QAccessibleTableModelChangeEvent::ModelReset), 1);
    clock.Advance(CGridAccessible::kRowsChangeSpacingMs);
    Tick();
    EXPECT_EQ(CountModel(QAccessibleTableModelChangeEvent::ModelReset), 2);
    EXPECT_EQ(Name(5006, 0), "late");
}

TEST_F(AccessibleGrid, AValueChangeOfAVisibleCellIsAnnouncedForItsRow)
{
    Fill();
    g_events.clear();
    objects[5]->SetInt64(kSize, 4096); // "file 0", row 3
    objects[6]->SetInt64(kSize, 4097);
    ASSERT_TRUE(Kestrum::Test::PumpUntil([&] { return Name(3, 1) == "4,096"; }));
    Settle();
    ASSERT_EQ(CountModel(QAccessibleTableModelChangeEvent::DataChanged), 1);
    const auto change = std::find_if(g_events.begin(), g_events.end(), [](const Announced& e) {
        return e.type == QAccessible::TableModelChanged && e.change == QAccessibleTableModelChangeEvent::DataChanged;
    });
    EXPECT_EQ(change->firstRow, 3);
    EXPECT_EQ(change->lastRow, 4);
}

TEST_F(AccessibleGrid, EditingThroughTheActionNamesTheEditorWritesTheValueAndCheckBoxesToggle)
{
    Fill();
    QAccessibleInterface* name = CellAt(3, 0);
    ASSERT_TRUE(Actions(name)->actionNames().contains("edit"));
    EXPECT_FALSE(Actions(CellAt(3, 1))->actionNames().contains("edit")) << "Size is read-only";
    Actions(name)->doAction("edit");
    auto* editor = qobject_cast<QLineEdit*>(grid.GetEditControl());
    ASSERT_NE(editor, nullptr);
    Pump();
    ASSERT_TRUE(editor->hasFocus());
    EXPECT_EQ(editor->accessibleName(), "Name") << "the editor is named after its column";
    EXPECT_TRUE(editor->accessibleDescription().contains("file 0")) << editor->accessibleDescription().toStdString();
    editor->selectAll();
    QTest::keyClicks(editor, "renamed");
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(Kestrum::Test::PumpUntil([&] { return grid.GetEditControl() == nullptr; }));
    EXPECT_EQ(objects[5]->GetStlString(kName), "renamed");
    EXPECT_EQ(name->text(QAccessible::Name), "renamed");
    // A check box toggles through its action.
    QAccessibleInterface* done = CellAt(3, 2);
    ASSERT_TRUE(Actions(done)->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    Actions(done)->doAction(QAccessibleActionInterface::toggleAction());
    ASSERT_TRUE(Kestrum::Test::PumpUntil([&] { return done->state().checked; }));
    EXPECT_TRUE(objects[5]->GetBool(kDone));
}

TEST_F(AccessibleGrid, TheHeaderTellsItsSortStateAndAResortIsAnnounced)
{
    Fill();
    QAccessibleInterface* size = table->child(1);
    QAccessibleInterface* nameHeader = table->child(0);
    EXPECT_EQ(size->text(QAccessible::Description), "");
    g_events.clear();
    grid.SetSortInfo(0, CSortInfo(kSize, true), true);
    Settle();
    EXPECT_EQ(size->text(QAccessible::Description), "Sorted descending");
    EXPECT_EQ(CountModel(QAccessibleTableModelChangeEvent::ModelReset), 1);
    EXPECT_EQ(Name(2, 0), "folder") << "3,000 first";
    EXPECT_EQ(Name(5, 0), "file 0");
    // A press on a caption is a plain click on it: the sort is that column's.
    Actions(nameHeader)->doAction(QAccessibleActionInterface::pressAction());
    Settle();
    EXPECT_EQ(grid.GetSortInfo(0).GetFieldId(), kName);
    EXPECT_TRUE(nameHeader->text(QAccessible::Description).startsWith("Sorted "));
    EXPECT_EQ(size->text(QAccessible::Description), "");
    grid.SetSortInfo(1, CSortInfo(kSize, false), true);
    EXPECT_EQ(size->text(QAccessible::Description), "Sorted ascending, level 2");
}

// Sorting without the mouse: a caption's two actions are a click and a
// Ctrl+click on it.
TEST_F(AccessibleGrid, TheCaptionsSortAsAClickAndAddLevelsAsACtrlClick)
{
    Fill();
    QAccessibleInterface* nameHeader = table->child(0);
    QAccessibleInterface* size = table->child(1);
    EXPECT_EQ(Actions(size)->actionNames(), QStringList({QAccessibleActionInterface::pressAction(), "add sort level"}));
    Actions(size)->doAction(QAccessibleActionInterface::pressAction());
    Actions(size)->doAction(QAccessibleActionInterface::pressAction());
    Settle();
    EXPECT_EQ(size->text(QAccessible::Description), "Sorted descending") << "a second press reverses";
    EXPECT_EQ(Name(2, 0), "folder");
    Actions(nameHeader)->doAction("add sort level");
    EXPECT_EQ(grid.GetSortLevelCount(), 2);
    EXPECT_EQ(nameHeader->text(QAccessible::Description), "Sorted descending, level 2");
    Actions(nameHeader)->doAction("add sort level");
    EXPECT_EQ(nameHeader->text(QAccessible::Description), "Sorted ascending, level 2");
    grid.GetHeader()->EnableSorting(false);
    const int levels = grid.GetSortLevelCount();
    EXPECT_TRUE(Actions(size)->actionNames().isEmpty());
    Actions(size)->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(grid.GetSortLevelCount(), levels);
}

// Orca's check on a dialog: every button and every control that takes the
// keyboard has a name.
TEST_F(AccessibleGrid, TheHeaderDialogHasNoUnnamedButtonOrFocusableControl)
{
    CHeaderConfigurationDlg dialog(header, &grid);
    dialog.show();
    Pump();
    QStringList unnamed;
    std::vector<QAccessibleInterface*> stack{QAccessible::queryAccessibleInterface(&dialog)};
    int seen = 0;
    while (!stack.empty()) {
        QAccessibleInterface* node = stack.back();
        stack.pop_back();
        ++seen;
        const bool button = node->role() == QAccessible::Button;
        const bool focusable = node->state().focusable && node->role() != QAccessible::ScrollBar &&
                               node->role() != QAccessible::Dialog;
        if ((button || focusable) && node->text(QAccessible::Name).isEmpty())
            unnamed << QStringLiteral("%1 (role %2)").arg(node->object() ? node->object()->objectName() : QString())
                           .arg(int(node->role()));
        // The list's cells are its rows; its captions and check boxes are read above.
        if (node->role() != QAccessible::Table && node->role() != QAccessible::Tree)
            for (int i = 0; i < node->childCount(); ++i)
                if (QAccessibleInterface* child = node->child(i))
                    stack.push_back(child);
    }
    EXPECT_GT(seen, 10);
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(", ").toStdString();
    dialog.reject();
}

} // namespace

// The date editor reads as a spin box of named segments, the selected one focused.
TEST_F(AccessibleGrid, TheDateEditorsSegmentsAreNamedValuedAndTheSelectedOneFocused)
{
    auto* editor = new CEmbeddedDateTimeCtrl(Kestrum::Common::DF_YEAR4 | Kestrum::Common::DF_MONTH | Kestrum::Common::DF_DAY |
                                             Kestrum::Common::DF_HOUR | Kestrum::Common::DF_MINUTE, grid.viewport());
    editor->setGeometry(0, 0, 200, 20);
    editor->show();
    editor->setFocus();
    editor->SelectSegment(editor->FindSegment(Kestrum::Common::DF_MONTH));
    Pump();
    QAccessibleInterface* date = QAccessible::queryAccessibleInterface(editor);
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->role(), QAccessible::SpinBox);
    EXPECT_EQ(date->text(QAccessible::Value), editor->Text());
    ASSERT_EQ(date->childCount(), editor->SegmentCount());
    QStringList names;
    for (int index = 0; index < date->childCount(); ++index) {
        QAccessibleInterface* segment = date->child(index);
        names << segment->text(QAccessible::Name);
        EXPECT_EQ(segment->text(QAccessible::Value), editor->SegmentText(index));
        EXPECT_EQ(segment->state().focused, index == editor->SelectedSegment()) << index;
        EXPECT_EQ(date->indexOfChild(segment), index);
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{"Day", "Hour", "Minute", "Month", "Year"}));
    EXPECT_EQ(date->child(editor->SelectedSegment())->text(QAccessible::Name), QString("Month"));
    delete editor;
}
