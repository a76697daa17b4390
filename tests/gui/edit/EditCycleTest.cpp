// The editing cycle on a real grid, driven by QTest clicks and keys: which
// clicks start an edit under each start mode, the editors each kind of cell
// gets, which keys write the value and move on, the neighbouring-cell
// search, the drop-down list and the check box, the notifications, and the
// edit ending without a write when its row or column goes.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QPushButton>
#include <QScrollBar>

#include "common/FormatRegistry.h"
#include "gui/edit/EditPainting.h"
#include "gui/edit/EmbeddedControlAdapter.h"
#include "gui/edit/NumericEdit.h"
#include "gui/platform/DeviceContext.h"
#include "tests/gui/edit/EditFixture.h"

using namespace Kestrum::GUI;
namespace Common = Kestrum::Common;
using Kestrum::Test::EditGrid;
using Kestrum::Test::Pump;
using namespace Kestrum::Test;

namespace {

// --- starting -------------------------------------------------------------------------------

TEST_F(EditGrid, WithTheDefaultsASingleClickDoesNotStartAnEditAndADoubleClickDoes)
{
    Add();
    Click(CellPoint(0, kText));
    Pump();
    EXPECT_EQ(grid.GetEditItem(), 0u);
    EXPECT_EQ(grid.GetEditControl(), nullptr);
    DoubleClick(CellPoint(0, kText));
    Pump();
    EXPECT_TRUE(Editing(0, kText));
    ASSERT_NE(qobject_cast<QLineEdit*>(grid.GetEditControl()), nullptr);
    EXPECT_TRUE(grid.GetEditControl()->hasFocus());
}

struct StartCase {
    std::int32_t mode;
    int reason;
    bool starts;
};

class EditStartModes : public EditGrid, public ::testing::WithParamInterface<StartCase> {};

TEST_P(EditStartModes, DecideWhichClicksStartAnEdit)
{
    const HITEM item = Add();
    EditSettings settings = Settings();
    settings.startMode = GetParam().mode;
    grid.SetEditSettings(settings);
    EXPECT_EQ(grid.CanEditCell(item, kText, GetParam().reason), GetParam().starts)
        << "mode " << GetParam().mode << ", reason " << GetParam().reason;
}

INSTANTIATE_TEST_SUITE_P(Modes, EditStartModes,
                         ::testing::Values(StartCase{0, EditStartClick, true}, StartCase{0, EditStartDoubleClick, false},
                                           StartCase{1, EditStartClick, false}, StartCase{1, EditStartDoubleClick, true},
                                           StartCase{2, EditStartClick, true}, StartCase{2, EditStartDoubleClick, true},
                                           StartCase{7, EditStartClick, true},
                                           // Navigation follows the navigate-on-exit switch alone.
                                           StartCase{0, EditStartNavigation, true}, StartCase{1, EditStartNavigation, true}));

TEST_F(EditGrid, StartModeZeroStartsOnASingleClick)
{
    Add();
    EditSettings settings = Settings();
    settings.startMode = 0;
    grid.SetEditSettings(settings);
    Click(CellPoint(0, kLong));
    Pump();
    EXPECT_TRUE(Editing(0, kLong));
}

TEST_F(EditGrid, ASingleClickOnTheDropDownButtonOfAnEnumerationStartsItsEdit)
{
    Add();
    Click(CellPoint(0, kEnum, -20)); // away from the button
    Pump();
    EXPECT_EQ(grid.GetEditItem(), 0u);
    Click(ButtonPoint(0, kEnum));
    Pump();
    EXPECT_TRUE(Editing(0, kEnum));
    EXPECT_NE(qobject_cast<CEmbeddedCombo*>(grid.GetEditControl()), nullptr);
}

TEST_F(EditGrid, WithoutTheClickOnButtonSwitchTheButtonDoesNotStartIt)
{
    Add();
    EditSettings settings = Settings();
    settings.clickOnButton = 0;
    grid.SetEditSettings(settings);
    Click(ButtonPoint(0, kEnum));
    Pump();
    EXPECT_EQ(grid.GetEditItem(), 0u);
}

TEST_F(EditGrid, CellsThatMayNotBeEditedAreNot)
{
    const HITEM item = Add();
    EXPECT_FALSE(grid.CanEditCell(item, kFixed, EditStartDoubleClick)) << "a column that is not editable";
    EXPECT_FALSE(grid.CanEditCell(item, 42, EditStartDoubleClick)) << "no column";
    EditSettings settings = Settings();
    settings.enabled = 0;
    grid.SetEditSettings(settings);
    EXPECT_FALSE(grid.CanEditCell(item, kText, EditStartDoubleClick)) << "editing disabled";
    EXPECT_FALSE(grid.BeginEditCell(item, kText, EditStartDoubleClick));
}

TEST_F(EditGrid, AFieldTheObjectDoesNotHaveIsNotEditable)
{
    auto object = std::make_unique<CDynamicObject>(true);
    object->SetLong(kLong, 5); // no text field
    objects.push_back(std::move(object));
    const HITEM item = grid.Add(objects.back().get());
    EXPECT_FALSE(grid.CanEditCell(item, kText, EditStartDoubleClick));
    EXPECT_TRUE(grid.CanEditCell(item, kLong, EditStartDoubleClick));
}

TEST_F(EditGrid, ACellWithAnEmbeddedControlIsNeverEditedInPlace)
{
    const HITEM item = Add();
    QPushButton button("x");
    ASSERT_NE(grid.EmbedControl(&button, item, kText), nullptr);
    EXPECT_TRUE(grid.HasEmbeddedControl(item, kText));
    EXPECT_FALSE(grid.CanEditCell(item, kText, EditStartDoubleClick));
    EXPECT_FALSE(grid.BeginEditCell(item, kText, EditStartDoubleClick));
    EXPECT_TRUE(grid.RemoveEmbeddedControl(item, kText));
    EXPECT_TRUE(grid.BeginEditCell(item, kText, EditStartDoubleClick));
}

TEST_F(EditGrid, OneEditAtATime)
{
    const HITEM item = Add();
    ASSERT_TRUE(grid.BeginEditCell(item, kText, EditStartDoubleClick));
    EXPECT_FALSE(grid.BeginEditCell(item, kLong, EditStartDoubleClick));
    EXPECT_TRUE(Editing(0, kText));
}

// --- the editors each cell gets -------------------------------------------------------------

TEST_F(EditGrid, TheEditorStartsWithTheFilteredDisplayTextWhollySelectedAndAligned)
{
    Add();
    QLineEdit* edit = OpenText(0, kLong);
    ASSERT_NE(edit, nullptr);
    auto* numeric = dynamic_cast<CNumericEdit*>(edit);
    ASSERT_NE(numeric, nullptr);
    EXPECT_EQ(numeric->GetMode(), NumericDecimal);
    EXPECT_EQ(edit->text(), "1234") << "the group separator of \"1 234\" stays out";
    EXPECT_EQ(edit->selectedText(), "1234");
    EXPECT_TRUE(edit->alignment() & Qt::AlignRight) << "a number in an automatic column";
    EXPECT_EQ(edit->font(), grid.GetGridFont());
    grid.EndEdit(EditEscape);
    edit = OpenText(0, kText);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(dynamic_cast<CNumericEdit*>(edit), nullptr) << "text gets a plain edit box";
    EXPECT_TRUE(edit->alignment() & Qt::AlignLeft);
}

TEST_F(EditGrid, AnEditorInTheTreeColumnLeavesTheIndentationInView)
{
    const HITEM parent = Add("parent");
    grid.Expand(parent);
    Add("child", parent);
    QWidget* control = Open(1, kText);
    ASSERT_NE(control, nullptr);
    const CRect cell = grid.GetCellRect(Row(1), kText);
    EXPECT_EQ(control->geometry(), QRect(cell.left + 2 * kEditRowHeight, cell.top, cell.Width() - 2 * kEditRowHeight, cell.Height()));
}

TEST_F(EditGrid, TheEditorCoversItsCell)
{
    Add();
    QWidget* control = Open(0, kDouble);
    ASSERT_NE(control, nullptr);
    const CRect cell = grid.GetCellRect(Row(0), kDouble);
    EXPECT_EQ(control->geometry(), ToQRect(cell));
    EXPECT_EQ(control->parentWidget(), grid.viewport());
}

TEST_F(EditGrid, AHexadecimalLongEditorTakesHexDigitsAndRefusesTheRest)
{
    Add();
    QLineEdit* edit = OpenText(0, kHex);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(dynamic_cast<CNumericEdit*>(edit)->GetMode(), NumericHexadecimal);
    EXPECT_EQ(edit->text(), "0xFF");
    Type("0x1F");
    EXPECT_EQ(edit->text(), "0x1F");
    Type("g");
    EXPECT_EQ(edit->text(), "0x1F");
    Key(Qt::Key_Return);
    EXPECT_EQ(Object(0).GetLong(kHex), 0x1F);
    OpenText(0, kHex);
    Type("ff");
    Type("1.2.3");
    EXPECT_EQ(grid.GetEditControl()->property("text").toString(), "ff123");
}

TEST_F(EditGrid, ADoubleEditorTakesOneDecimalMark)
{
    Add();
    QLineEdit* edit = OpenText(0, kDouble);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), "2,5");
    Type("1,5,.");
    EXPECT_EQ(edit->text(), "1,5");
    Key(Qt::Key_Return);
    EXPECT_DOUBLE_EQ(Object(0).GetDouble(kDouble), 1.5);
}

TEST_F(EditGrid, ACharEditorReplacesItsContentWithEachKeystroke)
{
    Add();
    QLineEdit* edit = OpenText(0, kChar);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(dynamic_cast<CNumericEdit*>(edit)->GetMode(), NumericCharacter);
    Type("xyz");
    EXPECT_EQ(edit->text(), "z");
    Key(Qt::Key_Return);
    EXPECT_EQ(Object(0).GetChar(kChar), 'z');
}

// --- ending -----------------------------------------------------------------------------------

TEST_F(EditGrid, EnterWritesTheValue)
{
    Add();
    ASSERT_NE(OpenText(0, kText), nullptr);
    Type("beta");
    Key(Qt::Key_Return);
    EXPECT_EQ(Object(0).GetStlString(kText), "beta");
    EXPECT_EQ(grid.GetEditItem(), 0u);
    EXPECT_EQ(grid.GetEditControl(), nullptr);
    EXPECT_TRUE(grid.hasFocus()) << "the keyboard goes back to the grid";
}

TEST_F(EditGrid, EscClosesTheEditorAndKeepsTheOldValue)
{
    Add();
    ASSERT_NE(OpenText(0, kText), nullptr);
    Type("beta");
    Key(Qt::Key_Escape);
    EXPECT_EQ(Object(0).GetStlString(kText), "alpha");
    EXPECT_EQ(grid.GetEditItem(), 0u);
}

TEST_F(EditGrid, TheEndIsPostedSoTheControlOutlivesItsOwnKey)
{
    Add();
    QPointer<QWidget> control = Open(0, kText);
    ASSERT_TRUE(control);
    QTest::keyClick(control.data(), Qt::Key_Return);
    EXPECT_TRUE(Editing(0, kText)) << "ended while the control was still handling its key";
    EXPECT_TRUE(control);
    Pump();
    EXPECT_EQ(grid.GetEditItem(), 0u);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(control) << "the closed control is deleted";
}

TEST_F(EditGrid, APostedEndOfAnEarlierEditLeavesALaterEditOfTheSameCellOpen)
{
    Add();
    QWidget* control = Open(0, kText);
    ASSERT_NE(control, nullptr);
    QTest::keyClick(control, Qt::Key_Return); // posts the end of this edit
    grid.EndEdit(EditEscape);
    ASSERT_TRUE(grid.BeginEditCell(Row(0), kText, EditStartDoubleClick));
    Pump();
    EXPECT_TRUE(Editing(0, kText)) << "the posted end belonged to the edit before";
}

TEST_F(EditGrid, LosingTheFocusWritesTheValue)
{
    Add();
    ASSERT_NE(OpenText(0, kText), nullptr);
    Type("gamma");
    grid.setFocus();
    Pump();
    EXPECT_EQ(grid.GetEditItem(), 0u);
    EXPECT_EQ(Object(0).GetStlString(kText), "gamma");
}

TEST_F(EditGrid, AClickOnTheGridEndsTheEditAndWritesIt)
{
    AddRows(3);
    ASSERT_NE(OpenText(0, kText), nullptr);
    Type("delta");
    Click(CellPoint(2, kFixed));
    Pump();
    EXPECT_EQ(grid.GetEditItem(), 0u);
    EXPECT_EQ(Object(0).GetStlString(kText), "delta");
    EXPECT_EQ(grid.GetFocusedRow(), 2) << "the click goes on to do what a click does";
}

TEST_F(EditGrid, TabWritesTheValueAndOpensTheNextEditableCell)
{
    Add();
    ASSERT_NE(OpenText(0, kText), nullptr);
    Type("beta");
    Key(Qt::Key_Tab);
    EXPECT_EQ(Object(0).GetStlString(kText), "beta");
    EXPECT_TRUE(Editing(0, kLong));
    ASSERT_NE(grid.GetEditControl(), nullptr);
    EXPECT_TRUE(grid.GetEditControl()->hasFocus());
    ASSERT_FALSE(listener.edits.empty());
    EXPECT_EQ(listener.edits.back().startReason, EditStartNavigation);
}

TEST_F(EditGrid, TabInTheLastEditableColumnOpensTheFirstEditableCellOfTheNextRow)
{
    AddRows(2);
    ASSERT_TRUE(grid.BeginEditCell(Row(0), kEnum, EditStartDoubleClick));
    Key(Qt::Key_Tab);
    EXPECT_TRUE(Editing(1, kText));
}

TEST_F(EditGrid, ShiftTabInTheFirstEditableColumnOpensTheLastEditableCellOfTheRowBefore)
{
    AddRows(2);
    ASSERT_NE(OpenText(1, kText), nullptr);
    Key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(Editing(0, kEnum)) << "the last visible column is not editable: the search goes on to the left";
}

TEST_F(EditGrid, TabInTheLastCellOfAllKeepsTheEditOpen)
{
    Add();
    ASSERT_TRUE(grid.BeginEditCell(Row(0), kEnum, EditStartDoubleClick));
    Key(Qt::Key_Tab);
    EXPECT_TRUE(Editing(0, kEnum));
}

TEST_F(EditGrid, WithoutNavigateOnExitTabNeitherWritesNorMovesOn)
{
    Add();
    EditSettings settings = Settings();
    settings.navigateOnExit = 0;
    grid.SetEditSettings(settings);
    ASSERT_NE(OpenText(0, kText), nullptr);
    Type("beta");
    Key(Qt::Key_Tab);
    EXPECT_TRUE(Editing(0, kText)) << "no neighbour: the control keeps the key";
    EXPECT_EQ(Object(0).GetStlString(kText), "alpha");
    Key(Qt::Key_Return);
    EXPECT_EQ(Object(0).GetStlString(kText), "beta");
    EXPECT_EQ(grid.GetEditItem(), 0u);
}

TEST_F(EditGrid, DownWritesAndMovesToTheRowBelowButInTheLastRowTheEditStaysOpen)
{
    AddRows(2);
    ASSERT_NE(OpenText(0, kText), nullptr);
    Type("one");
    Key(Qt::Key_Down);
    EXPECT_EQ(Object(0).GetStlString(kText), "one");
    ASSERT_TRUE(Editing(1, kText));
    Type("two");
    Key(Qt::Key_Down);
    EXPECT_TRUE(Editing(1, kText)) << "no row below";
    EXPECT_EQ(Object(1).GetStlString(kText), "row 1");
    Key(Qt::Key_Up);
    EXPECT_EQ(Object(1).GetStlString(kText), "two");
    EXPECT_TRUE(Editing(0, kText));
}

TEST_F(EditGrid, ThePageKeysStayWithTheEditor)
{
    AddRows(30);
    ASSERT_NE(OpenText(0, kText), nullptr);
    Key(Qt::Key_PageDown);
    EXPECT_TRUE(Editing(0, kText));
    Key(Qt::Key_PageUp);
    EXPECT_TRUE(Editing(0, kText));
}

TEST_F(EditGrid, LeftAndRightLeaveTheEditorOnlyFromTheMatchingEndOfItsText)
{
    Add();
    QLineEdit* edit = OpenText(0, kLong);
    ASSERT_NE(edit, nullptr);
    Key(Qt::Key_Right); // the whole text was selected: the caret goes to its end
    ASSERT_TRUE(Editing(0, kLong));
    EXPECT_EQ(edit->cursorPosition(), 4);
    Key(Qt::Key_Left);
    EXPECT_TRUE(Editing(0, kLong));
    Key(Qt::Key_Right);
    EXPECT_TRUE(Editing(0, kLong));
    Key(Qt::Key_Right);
    EXPECT_TRUE(Editing(0, kHex)) << "from the end of the text, Right moves on";
    QLineEdit* next = qobject_cast<QLineEdit*>(grid.GetEditControl());
    ASSERT_NE(next, nullptr);
    Key(Qt::Key_Home);
    EXPECT_TRUE(Editing(0, kHex));
    Key(Qt::Key_Left);
    EXPECT_TRUE(Editing(0, kLong)) << "from the start of the text, Left moves on";
}

TEST_F(EditGrid, TheWheelInTheEditorMovesTheEditWithoutWriting)
{
    AddRows(3);
    ASSERT_NE(OpenText(1, kText), nullptr);
    Type("wheel");
    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid.GetEditControl(), &wheel);
    Pump();
    EXPECT_TRUE(Editing(2, kText));
    EXPECT_EQ(Object(1).GetStlString(kText), "row 1");
}

TEST_F(EditGrid, ATextThatDoesNotParseLeavesTheOldValue)
{
    const HITEM item = Add();
    EXPECT_FALSE(grid.SetCellValueText(item, kEnum, Common::CString("Nope")));
    EXPECT_EQ(Object(0).GetLong(kEnum), 1);
    EXPECT_TRUE(grid.SetCellValueText(item, kEnum, Common::CString("High")));
    EXPECT_EQ(Object(0).GetLong(kEnum), 3);
    EXPECT_FALSE(grid.SetCellValueText(item, kHex, Common::CString("1G2")));
    EXPECT_FALSE(grid.SetCellValueText(item, kHex, Common::CString("0x123456789")));
    EXPECT_EQ(Object(0).GetLong(kHex), 255);
    // Through the editor: the edit closes, the value stays.
    ASSERT_NE(OpenText(0, kHex), nullptr);
    Type("123456789");
    Key(Qt::Key_Return);
    EXPECT_EQ(grid.GetEditItem(), 0u);
    EXPECT_EQ(Object(0).GetLong(kHex), 255);
}

TEST_F(EditGrid, AStringFieldTakesAnyText)
{
    const HITEM item = Add();
    EXPECT_TRUE(grid.SetCellValueText(item, kText, Common::CString("  spaced\t")));
    EXPECT_EQ(Object(0).GetStlString(kText), "  spaced\t");
}

// --- the neighbouring cell ------------------------------------------------------------------------

struct SearchCase {
    int writableRow; // the first row below row 0 whose text can be edited
    bool found;
};

class NeighbourSearch : public EditGrid, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(NeighbourSearch, GivesUpAfterAThousandCandidates)
{
    Add("start");
    for (int row = 1; row <= 1100; ++row) {
        auto object = std::make_unique<CDynamicObject>(true);
        if (row == GetParam().writableRow)
            object->SetStlString(kText, "target");
        object->SetLong(kLong, row);
        objects.push_back(std::move(object));
        grid.SetRowHeight(grid.Add(objects.back().get()), kEditRowHeight);
    }
    ASSERT_NE(OpenText(0, kText), nullptr);
    Key(Qt::Key_Down);
    if (GetParam().found)
        EXPECT_TRUE(Editing(GetParam().writableRow, kText));
    else
        EXPECT_TRUE(Editing(0, kText)) << "no neighbour within the steps: Down stays with the editor";
}

INSTANTIATE_TEST_SUITE_P(Steps, NeighbourSearch,
                         ::testing::Values(SearchCase{1, true}, SearchCase{500, true}, SearchCase{1000, true},
                                           SearchCase{1001, false}, SearchCase{-1, false}));

TEST_F(EditGrid, NavigationPassesOverCheckBoxes)
{
    AddRows(1);
    ASSERT_NE(OpenText(0, kChar), nullptr);
    Key(Qt::Key_Tab);
    EXPECT_TRUE(Editing(0, kEnum)) << "the bool column between them is skipped";
    EXPECT_FALSE(Object(0).GetBool(kBool));
}

TEST_F(EditGrid, ANavigatedEditBringsItsRowIntoView)
{
    AddRows(20);
    ASSERT_NE(OpenText(kEditPageRows - 1, kLong), nullptr);
    Key(Qt::Key_Down);
    ASSERT_TRUE(Editing(kEditPageRows, kLong));
    EXPECT_GT(grid.GetTopRow(), 0);
    Pump(20);
    const CRect cell = grid.GetCellRect(Row(kEditPageRows), kLong);
    EXPECT_FALSE(cell.IsEmpty());
    EXPECT_EQ(grid.GetEditControl()->geometry(), ToQRect(cell));
}

// --- the drop-down list -------------------------------------------------------------------------------

TEST_F(EditGrid, TheListHoldsTheItemsInInsertionOrderWithTheCurrentValueSelected)
{
    Add();
    auto* combo = qobject_cast<CEmbeddedCombo*>(Open(0, kEnum));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), "High");
    EXPECT_EQ(combo->itemData(0).toInt(), 3);
    EXPECT_EQ(combo->itemText(1), "Low");
    EXPECT_EQ(combo->itemText(2), "Medium");
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_FALSE(combo->isEditable());
}

TEST_F(EditGrid, AnEnumerationWithoutAMatchingItemOpensWithNoSelectionAndWritesNothing)
{
    Add();
    Object(0).SetLong(kEnum, 9);
    auto* combo = qobject_cast<CEmbeddedCombo*>(Open(0, kEnum));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->currentIndex(), -1);
    grid.setFocus(); // closed by losing the focus, which would write
    Pump();
    EXPECT_EQ(grid.GetEditItem(), 0u);
    EXPECT_EQ(Object(0).GetLong(kEnum), 9);
}

TEST_F(EditGrid, UpAndDownMoveInTheListAndEnterWritesTheChoice)
{
    AddRows(2);
    auto* combo = qobject_cast<CEmbeddedCombo*>(Open(0, kEnum));
    ASSERT_NE(combo, nullptr);
    Key(Qt::Key_Down);
    EXPECT_TRUE(Editing(0, kEnum)) << "the arrows are the list's";
    EXPECT_EQ(combo->currentIndex(), 2);
    Key(Qt::Key_Return);
    EXPECT_EQ(Object(0).GetLong(kEnum), 2);
}

TEST_F(EditGrid, CtrlDownEndsTheListEditAndMovesToTheNextRow)
{
    AddRows(2);
    ASSERT_NE(Open(0, kEnum), nullptr);
    Key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_TRUE(Editing(1, kEnum));
}

TEST_F(EditGrid, AChoiceConfirmedInTheOpenListIsWritten)
{
    Add();
    auto* combo = qobject_cast<CEmbeddedCombo*>(Open(0, kEnum));
    ASSERT_NE(combo, nullptr);
    combo->showPopup();
    Pump();
    QAbstractItemView* view = combo->view();
    ASSERT_TRUE(view->isVisible());
    view->setCurrentIndex(view->model()->index(0, 0));
    QTest::keyClick(view, Qt::Key_Return);
    Pump(10);
    EXPECT_EQ(grid.GetEditItem(), 0u);
    EXPECT_EQ(Object(0).GetLong(kEnum), 3);
    ASSERT_FALSE(listener.edits.empty());
    EXPECT_EQ(listener.edits.back().endCode, EditSelectionConfirmed);
}

TEST_F(EditGrid, AListClosedWithoutAChoiceIsACancel)
{
    Add();
    auto* combo = qobject_cast<CEmbeddedCombo*>(Open(0, kEnum));
    ASSERT_NE(combo, nullptr);
    combo->showPopup();
    Pump();
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Escape);
    Pump(10);
    EXPECT_EQ(grid.GetEditItem(), 0u);
    EXPECT_EQ(Object(0).GetLong(kEnum), 1);
    ASSERT_FALSE(listener.edits.empty());
    EXPECT_EQ(listener.edits.back().endCode, EditSelectionCancelled);
}

// --- the check box ------------------------------------------------------------------------------------------

struct CheckBoxCase {
    const char* name;
    std::int32_t startMode;
    bool clickToggles;
};

class CheckBoxClicks : public EditGrid, public ::testing::WithParamInterface<CheckBoxCase> {};

// A double click arrives as press, release, double click, release: it toggles
// once, whichever of its presses starts the edit.
TEST_P(CheckBoxClicks, ToggleOncePerDoubleClickAndOnAClickOnlyWhereTheStartModeSaysSo)
{
    Add();
    Add("other");
    EditSettings settings = Settings();
    settings.startMode = GetParam().startMode;
    grid.SetEditSettings(settings);
    grid.SetFocusedRow(1, AreaScrollable);
    Click(CellPoint(0, kBool));
    Pump();
    EXPECT_EQ(Object(0).GetBool(kBool), GetParam().clickToggles);
    EXPECT_EQ(grid.GetEditItem(), 0u);
    if (!GetParam().clickToggles) {
        EXPECT_TRUE(grid.IsRowSelected(0, AreaScrollable)) << "the click selects the row";
        EXPECT_EQ(grid.GetFocusedRow(), 0);
    }
    const bool before = Object(0).GetBool(kBool);
    DoubleClick(CellPoint(0, kBool));
    Pump();
    EXPECT_EQ(Object(0).GetBool(kBool), !before);
    EXPECT_EQ(grid.GetEditControl(), nullptr);
    ASSERT_FALSE(listener.edits.empty());
    EXPECT_EQ(listener.edits.back().code, NotifyEditEnded);
    EXPECT_EQ(listener.edits.back().control, nullptr);
}

INSTANTIATE_TEST_SUITE_P(StartModes, CheckBoxClicks,
                         ::testing::Values(CheckBoxCase{"DefaultsDoubleClickOnly", 1, false},
                                           CheckBoxCase{"ModeZeroSingleClick", 0, true}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(EditGrid, WithTheClickOnButtonSwitchACheckBoxHasNoButtonToStartOn)
{
    const HITEM item = Add();
    ASSERT_EQ(Settings().startMode, 1);
    ASSERT_NE(Settings().clickOnButton, 0);
    EXPECT_FALSE(grid.CanEditCell(item, kBool, EditStartClick));
    EXPECT_TRUE(grid.CanEditCell(item, kBool, EditStartDoubleClick));
    QTest::mouseClick(View(), Qt::LeftButton, Qt::NoModifier, ToQRect(CheckBoxRect(grid.GetCellRect(item, kBool), AlignLeft)).center());
    Pump();
    EXPECT_FALSE(Object(0).GetBool(kBool)) << "a click on the box itself selects the row only";
}

TEST_F(EditGrid, ABoolWhoseRowGoesBeforeTheToggleIsNotWritten)
{
    const HITEM item = Add();
    ASSERT_TRUE(grid.BeginEditCell(item, kBool, EditStartDoubleClick));
    grid.Remove(item);
    Pump();
    EXPECT_FALSE(Object(0).GetBool(kBool));
}

// --- notifications --------------------------------------------------------------------------------------------

TEST_F(EditGrid, TheListenerHearsOfTheStartAndTheEndOfAnEdit)
{
    AddRows(3);
    QWidget* control = Open(2, kText);
    ASSERT_NE(control, nullptr);
    ASSERT_EQ(listener.edits.size(), 1u);
    const GridEditNotification started = listener.edits[0];
    EXPECT_EQ(started.code, NotifyEditStarted);
    EXPECT_EQ(started.grid, &grid);
    EXPECT_EQ(started.item, Row(2));
    EXPECT_EQ(started.object, &Object(2));
    EXPECT_EQ(started.area, AreaScrollable);
    EXPECT_EQ(started.row, 2);
    EXPECT_EQ(started.column, header->GetColumn(kText));
    EXPECT_EQ(started.control, control);
    EXPECT_EQ(started.startReason, EditStartDoubleClick);
    EXPECT_EQ(started.endCode, 0);
    Key(Qt::Key_Escape);
    ASSERT_EQ(listener.edits.size(), 2u);
    EXPECT_EQ(listener.edits[1].code, NotifyEditEnded);
    EXPECT_EQ(listener.edits[1].endCode, EditEscape);
    EXPECT_EQ(listener.edits[1].row, 2);
}

TEST_F(EditGrid, NoNotificationsWhileTheyAreOff)
{
    Add();
    grid.EnableNotifications(false);
    ASSERT_NE(Open(0, kText), nullptr);
    Key(Qt::Key_Escape);
    EXPECT_TRUE(listener.edits.empty());
}

// --- the edit ends, unwritten, when its row or column goes -------------------------------------------------------------

struct CHideAll final : IRowFilter {
    bool IsFilteredOut(CGrid*, CGridItem*, Common::CDataObject*) override { return true; }
};

struct LossCase {
    const char* name;
    std::function<void(EditGrid&)> lose;
};

class EditLoss : public EditGrid, public ::testing::WithParamInterface<LossCase> {};

TEST_P(EditLoss, EndsTheEditWithoutWriting)
{
    const HITEM parent = Add("parent");
    grid.Expand(parent);
    const HITEM child = Add("child", parent);
    ASSERT_TRUE(grid.BeginEditCell(child, kText, EditStartDoubleClick));
    QPointer<QWidget> control = grid.GetEditControl();
    ASSERT_TRUE(control);
    QTest::keyClicks(control.data(), "changed");
    GetParam().lose(*this);
    Pump();
    EXPECT_EQ(grid.GetEditItem(), 0u) << GetParam().name;
    EXPECT_TRUE(!control || !control->isVisible());
    if (objects[1]) {
        EXPECT_EQ(Object(1).GetStlString(kText), "child") << GetParam().name;
    }
    EXPECT_EQ(listener.edits.size(), 1u) << "no end notification for a row that is gone";
}

CHideAll s_hideAll;

INSTANTIATE_TEST_SUITE_P(
    Losses, EditLoss,
    ::testing::Values(LossCase{"removed", [](EditGrid& g) { g.grid.Remove(g.Row(1)); }},
                      LossCase{"parent removed", [](EditGrid& g) { g.grid.Remove(g.Row(0)); }},
                      LossCase{"collapsed away", [](EditGrid& g) { g.grid.Collapse(g.Row(0)); }},
                      LossCase{"filtered out", [](EditGrid& g) { g.grid.SetFilter(&s_hideAll); }},
                      LossCase{"cleared", [](EditGrid& g) { g.grid.Clear(MaskScrollable); }},
                      LossCase{"object destroyed", [](EditGrid& g) { g.objects[1].reset(); }}),
    [](const auto& test) {
        std::string name = test.param.name;
        for (char& c : name)
            if (c == ' ')
                c = '_';
        return name;
    });

TEST_F(EditGrid, ClearingTheOtherAreaLeavesTheEditOpen)
{
    Add();
    Add("fixed", GRID_FIXED_ROOT);
    ASSERT_TRUE(grid.BeginEditCell(Row(0), kText, EditStartDoubleClick));
    grid.Clear(MaskFixed);
    EXPECT_TRUE(Editing(0, kText));
}

TEST_F(EditGrid, RemovingTheEditedColumnEndsTheEdit)
{
    Add();
    ASSERT_TRUE(grid.BeginEditCell(Row(0), kLong, EditStartDoubleClick));
    header->RemoveColumn(kLong);
    Pump();
    EXPECT_EQ(grid.GetEditItem(), 0u);
    EXPECT_EQ(Object(0).GetLong(kLong), 1234);
}

TEST_F(EditGrid, ReplacingTheEditorEndsTheEditOfTheOldOne)
{
    Add();
    ASSERT_NE(OpenText(0, kText), nullptr);
    Type("beta");
    CEditInPlace own(false);
    EXPECT_EQ(grid.SetEditInPlace(&own), nullptr);
    EXPECT_EQ(grid.GetEditItem(), 0u);
    EXPECT_EQ(Object(0).GetStlString(kText), "alpha");
    EXPECT_EQ(grid.GetEditInPlace(), &own);
    ASSERT_TRUE(grid.BeginEditCell(Row(0), kText, EditStartDoubleClick));
    EXPECT_EQ(grid.SetEditInPlace(nullptr), &own);
}

TEST(EditGridLife, DestroyingTheGridWithAnOpenEditWritesNothing)
{
    CDynamicObject object(true);
    object.SetStlString(kText, "kept");
    {
        CGrid grid;
        auto* header = new CHeader(true);
        header->AddColumn(new CColumn(kText, "Text", 80, AlignAuto, true, -1, -1, nullptr, nullptr, nullptr, ""));
        grid.SetHeader(header);
        grid.resize(200, 100);
        grid.show();
        const HITEM item = grid.Add(&object);
        ASSERT_TRUE(grid.BeginEditCell(item, kText, EditStartDoubleClick));
        QTest::keyClicks(grid.GetEditControl(), "lost");
    }
    Pump();
    EXPECT_EQ(object.GetStlString(kText), "kept");
}

// --- embedded controls -------------------------------------------------------------------------------------------

TEST_F(EditGrid, AControlAnchoredLeftAndRightWithMarginsFollowsAColumnResizeExactly)
{
    const HITEM item = Add();
    QPushButton button("go");
    button.setGeometry(0, 0, 30, 16);
    CEmbeddedControlAdapter* adapter = grid.EmbedControl(&button, item, kDouble);
    ASSERT_NE(adapter, nullptr);
    adapter->LayoutFlags() = AnchorLeft | AnchorRight;
    adapter->SetMargins({1, 0, -1, 0});
    const int height = adapter->GetRecordedRect().Height();
    for (const int width : {70, 120, 33, 200}) {
        header->GetColumn(kDouble)->SetWidth(width);
        Pump(30);
        grid.viewport()->repaint();
        const CRect cell = grid.GetCellRect(item, kDouble);
        EXPECT_EQ(button.geometry().left(), cell.left + 1) << width;
        EXPECT_EQ(button.geometry().right() + 1, cell.right - 1) << width;
        EXPECT_EQ(button.geometry().top(), cell.top);
        EXPECT_EQ(button.geometry().height(), height) << "the height does not follow the cell";
    }
    EXPECT_TRUE(grid.RemoveEmbeddedControl(item, kDouble));
    EXPECT_EQ(button.parentWidget(), grid.viewport()) << "the control stays its creator's";
}

struct LayoutCase {
    std::uint32_t flags;
    EmbeddedMargins margins;
    CRect expected; // for a recorded 10 x 6 control in the cell (100, 50, 160, 70)
};

class EmbeddedLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(EmbeddedLayout, PlacesTheControlByItsFlagsAndMargins)
{
    CEmbeddedControlAdapter adapter(nullptr, nullptr, 0, {}, false);
    adapter.SetRecordedRect({0, 0, 10, 6});
    adapter.LayoutFlags() = GetParam().flags;
    adapter.SetMargins(GetParam().margins);
    EXPECT_EQ(adapter.LayoutIn({100, 50, 160, 70}), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Flags, EmbeddedLayout,
                         ::testing::Values(LayoutCase{0, {2, 3, 0, 0}, {102, 53, 112, 59}},
                                           LayoutCase{AnchorLeft, {2, 3, 0, 0}, {102, 53, 112, 59}},
                                           LayoutCase{AnchorRight, {0, 0, -1, 0}, {150, 50, 159, 56}},
                                           LayoutCase{AnchorLeft | AnchorRight, {1, 0, -1, 0}, {101, 50, 159, 56}},
                                           LayoutCase{AnchorTop | AnchorBottom, {0, 1, 0, -1}, {100, 51, 110, 69}},
                                           LayoutCase{AnchorBottom, {0, 0, 0, 0}, {100, 64, 110, 70}},
                                           LayoutCase{AnchorAll, {0, 0, 0, 0}, {100, 50, 160, 70}}));

TEST_F(EditGrid, AnEmbeddedControlGoesOutOfSightWhenItsRowScrollsOutAndComesBack)
{
    AddRows(30);
    QCheckBox box;
    CEmbeddedControlAdapter* adapter = grid.EmbedControl(&box, Row(1), kText);
    ASSERT_NE(adapter, nullptr);
    adapter->LayoutFlags() = AnchorAll;
    Pump(30);
    grid.viewport()->repaint();
    EXPECT_EQ(box.geometry(), ToQRect(grid.GetCellRect(Row(1), kText)));
    grid.SetTopRow(5);
    Pump(30);
    grid.viewport()->repaint();
    EXPECT_EQ(box.pos(), QPoint(-10000, -10000));
    grid.SetTopRow(0);
    Pump(30);
    grid.viewport()->repaint();
    EXPECT_EQ(box.geometry(), ToQRect(grid.GetCellRect(Row(1), kText)));
}

TEST_F(EditGrid, AControlTooLargeForItsCellIsNotPlacedAndRepaintedAgainAtEveryPaint)
{
    const HITEM item = Add();
    QPushButton button;
    button.setMinimumSize(200, 60); // more than the cell
    CEmbeddedControlAdapter* adapter = grid.EmbedControl(&button, item, kLong);
    ASSERT_NE(adapter, nullptr);
    adapter->LayoutFlags() = AnchorAll;
    Pump(30);
    int moves = 0;
    struct CMoveCounter final : QObject {
        int& count;
        explicit CMoveCounter(int& counter) : count(counter) {}
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Move || event->type() == QEvent::Resize || event->type() == QEvent::Paint)
                ++count;
            return false;
        }
    } counter(moves);
    button.installEventFilter(&counter);
    for (int i = 0; i < 5; ++i) {
        grid.viewport()->repaint();
        Pump(5);
    }
    EXPECT_LE(moves, 5) << "more than the five repaints asked for: the control keeps the grid painting";
    EXPECT_EQ(button.geometry().topLeft(), ToQRect(grid.GetCellRect(item, kLong)).topLeft());
}

TEST_F(EditGrid, AnEmbeddedControlOfAHiddenRowGoesOutOfSight)
{
    const HITEM parent = Add("parent");
    grid.Expand(parent);
    const HITEM child = Add("child", parent);
    QPushButton button;
    ASSERT_NE(grid.EmbedControl(&button, child, kText), nullptr);
    Pump(30);
    grid.viewport()->repaint();
    EXPECT_NE(button.pos(), QPoint(-10000, -10000));
    grid.Collapse(parent);
    EXPECT_EQ(button.pos(), QPoint(-10000, -10000));
    grid.Remove(child); // the item lets go of the control, which stays
    EXPECT_EQ(button.parentWidget(), grid.viewport());
}

TEST_F(EditGrid, EmbedControlRefusesWhatItCannotPlace)
{
    const HITEM item = Add();
    QPushButton one, two;
    EXPECT_EQ(grid.EmbedControl(nullptr, item, kText), nullptr);
    EXPECT_EQ(grid.EmbedControl(&one, item, Common::FIELD_ALL), nullptr);
    EXPECT_EQ(grid.EmbedControl(&one, item, Common::FIELD_NONE), nullptr);
    EXPECT_EQ(grid.EmbedControl(&one, 12345, kText), nullptr);
    EXPECT_NE(grid.EmbedControl(&one, item, kText), nullptr);
    EXPECT_EQ(grid.EmbedControl(&two, item, kText), nullptr) << "the cell has one";
    EXPECT_NE(grid.EmbedControlAt(&two, 0, AreaScrollable, kLong), nullptr);
    EXPECT_TRUE(grid.HasEmbeddedControlAt(0, AreaScrollable, kLong));
}

// --- painting ----------------------------------------------------------------------------------------------------

QImage Shot(CGrid& grid)
{
    grid.viewport()->repaint();
    return grid.viewport()->grab().toImage();
}

int CountColour(const QImage& image, const CRect& rect, QRgb colour)
{
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                ++count;
    return count;
}

TEST_F(EditGrid, TheEditableCellUnderThePointerIsFramed)
{
    Add();
    EditSettings settings = Settings();
    settings.hotFrameColor = MakeColor(255, 0, 255);
    grid.SetEditSettings(settings);
    const QRgb magenta = qRgb(255, 0, 255);
    const CRect text = grid.GetCellRect(Row(0), kLong);
    const CRect fixed = grid.GetCellRect(Row(0), kFixed);
    Hover(CellPoint(0, kLong));
    Pump(30);
    QImage image = Shot(grid);
    EXPECT_GE(CountColour(image, text, magenta), 2 * (text.Width() + text.Height()) - 8) << "a frame round the cell";
    Hover(CellPoint(0, kFixed));
    Pump(30);
    image = Shot(grid);
    EXPECT_EQ(CountColour(image, text, magenta), 0) << "the frame left with the pointer";
    EXPECT_EQ(CountColour(image, fixed, magenta), 0) << "a cell that is not editable is not framed";
    settings.hotFrame = 0;
    grid.SetEditSettings(settings);
    Hover(CellPoint(0, kLong));
    Pump(30);
    EXPECT_EQ(CountColour(Shot(grid), text, magenta), 0);
}

TEST_F(EditGrid, ABoolCellShowsACheckBoxInsteadOfItsText)
{
    Add();
    Add();
    Object(1).SetBool(kBool, true);
    Pump(30);
    const QImage image = Shot(grid);
    const QRgb ink = QApplication::palette().color(QPalette::Text).rgb();
    const CRect unchecked = CheckBoxRect(grid.GetCellRect(Row(0), kBool), AlignLeft);
    const CRect checked = CheckBoxRect(grid.GetCellRect(Row(1), kBool), AlignLeft);
    const CRect insideUnchecked{unchecked.left + 1, unchecked.top + 1, unchecked.right - 1, unchecked.bottom - 1};
    const CRect insideChecked{checked.left + 1, checked.top + 1, checked.right - 1, checked.bottom - 1};
    EXPECT_EQ(CountColour(image, insideUnchecked, ink), 0);
    EXPECT_GT(CountColour(image, insideChecked, ink), 6) << "a tick";
    // No "true" or "false" right of the box.
    const CRect cell = grid.GetCellRect(Row(1), kBool);
    EXPECT_EQ(CountColour(image, {checked.right + 2, cell.top, cell.right - 1, cell.bottom}, ink), 0);
}

TEST_F(EditGrid, TheDropDownButtonShowsWhileThePointerIsOverAnEnumerationCell)
{
    Add();
    const CRect button = DropDownButtonRect(grid.GetCellRect(Row(0), kEnum));
    const QRgb face = QApplication::palette().color(QPalette::Button).rgb();
    Hover(CellPoint(0, kText));
    Pump(30);
    const int before = CountColour(Shot(grid), button, face);
    Hover(CellPoint(0, kEnum));
    Pump(30);
    EXPECT_GT(CountColour(Shot(grid), button, face), before + button.Width());
}

} // namespace
