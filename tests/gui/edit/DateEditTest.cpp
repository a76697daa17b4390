// The date and time editor in a grid cell, driven by QTest clicks and keys:
// the keys that end the edit (Enter writes, Esc keeps, Tab writes and moves
// on) still reach it once its month calendar was opened and closed, a date
// picked in the calendar is written, and Alt+Down opens the calendar.
#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QPointer>

#include "common/Calendar.h"
#include "common/DateFormats.h"
#include "gui/edit/EmbeddedDateTimeCtrl.h"
#include "tests/gui/edit/EditFixture.h"

using namespace Kestrum::GUI;
using namespace Kestrum::Test;
namespace Common = Kestrum::Common;

namespace {

constexpr std::int32_t kDate = 8;

std::int64_t FileTimeOf(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    std::int64_t value = 0;
    EXPECT_TRUE(Common::CalendarToFileTime({year, month, day, hour, minute, second, 0}, value));
    return value;
}

// Two rows with a file time shown with date and time (flags 125).
struct DateEditGrid : EditGrid {
    DateEditGrid()
    {
        header->AddColumn(new CColumn(kDate, "When", 170, AlignAuto, true, -1, -1, new Common::CInt64DateFormat(125), nullptr,
                                      nullptr, ""));
        grid.resize(720, grid.height());
        for (int i = 0; i < 2; ++i) {
            Add("row " + std::to_string(i));
            Object(i).SetInt64(kDate, FileTimeOf(2009, 12, 30, 10, 20, 30));
        }
        Pump();
    }
    std::int64_t When(int row) { return Object(row).GetInt64(kDate); }
    // Opens the editor with a double click on the cell's text (the first
    // segment, the day, is selected).
    CEmbeddedDateTimeCtrl* OpenDate()
    {
        const CRect cell = grid.GetCellRect(Row(0), kDate);
        DoubleClick(QPoint(cell.left + 6, (cell.top + cell.bottom) / 2));
        Pump();
        return qobject_cast<CEmbeddedDateTimeCtrl*>(grid.GetEditControl());
    }
    static QAbstractItemView* Table(CEmbeddedDateTimeCtrl* control)
    {
        return control->Calendar() ? control->Calendar()->findChild<QAbstractItemView*>() : nullptr;
    }
};

struct EndKeyCase {
    const char* name;
    int key;
    bool written;
    bool editingNext; // the edit moved on to the next row's first cell
};

class DateEditEndKeys : public DateEditGrid, public ::testing::WithParamInterface<EndKeyCase> {};

TEST_P(DateEditEndKeys, EndTheEditAlsoAfterTheCalendarWasOpenedAndClosed)
{
    QPointer<CEmbeddedDateTimeCtrl> control = OpenDate();
    ASSERT_NE(control, nullptr);
    ASSERT_EQ(control->SelectedSegment(), 0);
    Key(Qt::Key_Up); // the day: 30 -> 31
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->CalendarButtonRect().center());
    ASSERT_NE(Table(control), nullptr);
    QTest::keyClick(Table(control), Qt::Key_Escape); // closed without a pick
    Pump();
    ASSERT_TRUE(Editing(0, kDate)) << "closing the calendar is no loss of the focus";
    ASSERT_EQ(control->Calendar(), nullptr);
    Key(GetParam().key);
    EXPECT_FALSE(Editing(0, kDate)) << "the key ended the edit";
    EXPECT_EQ(When(0), GetParam().written ? FileTimeOf(2009, 12, 31, 10, 20, 30) : FileTimeOf(2009, 12, 30, 10, 20, 30));
    EXPECT_EQ(Editing(1, kText), GetParam().editingNext);
}

INSTANTIATE_TEST_SUITE_P(Keys, DateEditEndKeys,
                         ::testing::Values(EndKeyCase{"Enter", Qt::Key_Return, true, false},
                                           EndKeyCase{"Escape", Qt::Key_Escape, false, false},
                                           EndKeyCase{"Tab", Qt::Key_Tab, true, true}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(DateEditGrid, ADatePickedInTheCalendarIsWrittenAndEndsTheEdit)
{
    CEmbeddedDateTimeCtrl* control = OpenDate();
    ASSERT_NE(control, nullptr);
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->CalendarButtonRect().center());
    ASSERT_NE(Table(control), nullptr);
    QTest::keyClick(Table(control), Qt::Key_Right); // the next day
    QTest::keyClick(Table(control), Qt::Key_Return);
    Pump();
    EXPECT_EQ(When(0), FileTimeOf(2009, 12, 31, 10, 20, 30));
    EXPECT_FALSE(Editing(0, kDate));
    ASSERT_FALSE(listener.edits.empty());
    EXPECT_EQ(listener.edits.back().endCode, EditSelectionConfirmed);
    EXPECT_TRUE(grid.hasFocus()) << "the keyboard is the grid's again";
}

TEST_F(DateEditGrid, AltDownOpensTheCalendarWithoutChangingTheValue)
{
    CEmbeddedDateTimeCtrl* control = OpenDate();
    ASSERT_NE(control, nullptr);
    const QString before = control->Text();
    Key(Qt::Key_Down, Qt::AltModifier);
    ASSERT_NE(control->Calendar(), nullptr);
    EXPECT_EQ(control->Text(), before);
    EXPECT_EQ(control->Calendar()->selectedDate(), QDate(2009, 12, 30));
    EXPECT_TRUE(Editing(0, kDate));
    QTest::keyClick(Table(control), Qt::Key_Escape);
    Pump();
    Key(Qt::Key_Escape);
    EXPECT_FALSE(Editing(0, kDate));
    EXPECT_EQ(When(0), FileTimeOf(2009, 12, 30, 10, 20, 30));
}

} // namespace
