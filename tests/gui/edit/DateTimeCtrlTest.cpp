// The date and time editor on real offscreen widgets: its segments and their
// texts, the keyboard, typed digits, the spin buttons' repeat (on a fake grid
// clock), the month-calendar pop-up, reading the value back, and the editor
// in a grid cell.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QSignalSpy>
#include <QTest>
#include <QTimerEvent>
#include <memory>
#include <string>
#include <vector>

#include "common/Calendar.h"
#include "common/DateFormats.h"
#include "common/DynamicObject.h"
#include "gui/edit/EmbeddedDateTimeCtrl.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"
#include "gui/platform/DeviceContext.h"
#include "tests/support/EventPump.h"
#include "tests/support/FakeClock.h"

namespace {

using namespace Kestrum::GUI;
using Kestrum::Common::CalendarTime;
using Kestrum::Test::CFakeGridClock;
using Kestrum::Test::Pump;
namespace Common = Kestrum::Common;

std::int64_t FileTimeOf(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int millisecond = 0)
{
    std::int64_t value = 0;
    EXPECT_TRUE(Common::CalendarToFileTime({year, month, day, hour, minute, second, millisecond}, value));
    return value;
}

std::int32_t SecondsOf(int year, int month, int day, int hour = 12, int minute = 0, int second = 0)
{
    std::int32_t value = 0;
    EXPECT_TRUE(Common::CalendarToLocalSeconds({year, month, day, hour, minute, second, 0}, value));
    return value;
}

// A control in a shown, active window, with the focus.
struct DateTimeCtrl : ::testing::Test {
    void Make(std::int32_t flags, int width = 220)
    {
        control = new CEmbeddedDateTimeCtrl(flags, &host);
        control->setGeometry(0, 0, width, 20);
        host.resize(width + 20, 60);
        host.show();
        host.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
        control->setFocus();
        Pump();
    }
    QPoint Middle(const QRect& rect) const { return rect.center(); }
    void Select(int field)
    {
        const int index = control->FindSegment(field);
        ASSERT_GE(index, 0);
        QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, Middle(control->SegmentRect(index)));
        ASSERT_EQ(control->SelectedSegment(), index);
    }
    int Value(int field) const { return control->SegmentValue(control->FindSegment(field)); }
    QString Shown(int field) const { return control->SegmentText(control->FindSegment(field)); }
    void Type(const char* digits)
    {
        for (const char* c = digits; *c; ++c)
            QTest::keyClick(control, static_cast<Qt::Key>(Qt::Key_0 + (*c - '0')));
    }

    QWidget host;
    CEmbeddedDateTimeCtrl* control = nullptr;
};

// --- segments and texts -------------------------------------------------------------------

struct LayoutCase {
    const char* name;
    std::int32_t flags;
    const char* text;
    bool calendar;
    bool spin;
};

class Layout : public DateTimeCtrl, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(Layout, SegmentsFollowTheFlagsAndTheDateOrderBeforeAnyValue)
{
    Make(GetParam().flags);
    EXPECT_EQ(control->Text(), QString(GetParam().text));
    EXPECT_EQ(control->HasCalendarButton(), GetParam().calendar);
    EXPECT_EQ(control->HasSpinButtons(), GetParam().spin);
    EXPECT_EQ(control->CalendarButtonRect().isEmpty(), !GetParam().calendar);
    EXPECT_EQ(control->SpinButtonRect().isEmpty(), !GetParam().spin);
    EXPECT_EQ(control->SelectedSegment(), -1);
}

INSTANTIATE_TEST_SUITE_P(Flags, Layout,
                         ::testing::Values(LayoutCase{"date4", 13, "01/01/1970 ", true, false},
                                           LayoutCase{"date2", 14, "01/01/70 ", true, false},
                                           LayoutCase{"both_years", 15, "01/01/1970/70 ", true, false},
                                           LayoutCase{"month_year", 5, "01/1970 ", true, false},
                                           LayoutCase{"time", 112, "00:00:00", false, true},
                                           LayoutCase{"hour_second", 80, "0000", false, true},
                                           LayoutCase{"milliseconds", 240, "00:00:00.000", false, true},
                                           LayoutCase{"second_millisecond", 192, "00.000", false, true},
                                           LayoutCase{"everything", 253, "01/01/1970 00:00:00.000", true, true}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(DateTimeCtrl, ButtonsAreSquaresAsTallAsTheControlWithTheSpinAtTheRightEdge)
{
    Make(253, 240);
    EXPECT_EQ(control->SpinButtonRect(), QRect(220, 0, 20, 20));
    EXPECT_EQ(control->CalendarButtonRect(), QRect(200, 0, 20, 20));
    EXPECT_EQ(control->PartAt({230, 3}), CEmbeddedDateTimeCtrl::PartSpinUp);
    EXPECT_EQ(control->PartAt({230, 16}), CEmbeddedDateTimeCtrl::PartSpinDown);
    EXPECT_EQ(control->PartAt({205, 10}), CEmbeddedDateTimeCtrl::PartCalendar);
    // Each box is its digits times the width of "0", the separator after it.
    const int zero = control->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    EXPECT_EQ(control->SegmentRect(0).width(), 2 * zero);
    EXPECT_EQ(control->SegmentRect(2).width(), 4 * zero);
    EXPECT_EQ(control->SegmentRect(1).left(),
              control->SegmentRect(0).right() + 1 + control->fontMetrics().horizontalAdvance("/"));
}

TEST_F(DateTimeCtrl, AFileTimeFillsEverySegmentWithoutTimeZone)
{
    Make(253, 240);
    ASSERT_TRUE(control->SetValue(IDateTimeEditor::FileTime, FileTimeOf(2009, 12, 31, 23, 59, 58, 7)));
    EXPECT_EQ(control->Text(), QString("31/12/2009 23:59:58.007"));
    EXPECT_FALSE(control->SetValue(IDateTimeEditor::FileTime, -1));
    EXPECT_EQ(control->Text(), QString("31/12/2009 23:59:58.007")) << "a refused value changed the segments";
}

TEST_F(DateTimeCtrl, AYearShowsModuloItsDigits)
{
    Make(15);
    ASSERT_TRUE(control->SetValue(IDateTimeEditor::FileTime, FileTimeOf(2000, 3, 4)));
    EXPECT_EQ(control->Text(), QString("04/03/2000/00 "));
}

// --- the keyboard --------------------------------------------------------------------------

TEST_F(DateTimeCtrl, UpWrapsTheMonthFromTwelveToOneAndDownTheDayFromOneToThirtyOne)
{
    Make(13);
    ASSERT_TRUE(control->SetValue(IDateTimeEditor::FileTime, FileTimeOf(2009, 12, 1)));
    Select(Common::DF_MONTH);
    QTest::keyClick(control, Qt::Key_Up);
    EXPECT_EQ(Value(Common::DF_MONTH), 1);
    QTest::keyClick(control, Qt::Key_Down);
    EXPECT_EQ(Value(Common::DF_MONTH), 12);
    Select(Common::DF_DAY);
    QTest::keyClick(control, Qt::Key_Down);
    EXPECT_EQ(Value(Common::DF_DAY), 31) << "whatever the month";
    QTest::keyClick(control, Qt::Key_Up);
    EXPECT_EQ(Value(Common::DF_DAY), 1);
}

TEST_F(DateTimeCtrl, HomeAndEndTakeTheLimitsAndUpWithoutASelectionSelectsTheFirstSegment)
{
    Make(253, 240);
    QTest::keyClick(control, Qt::Key_Up);
    EXPECT_EQ(control->SelectedSegment(), 0);
    EXPECT_EQ(Value(Common::DF_DAY), 1) << "the first Up only selects";
    Select(Common::DF_YEAR4);
    QTest::keyClick(control, Qt::Key_End);
    EXPECT_EQ(Value(Common::DF_YEAR4), 2038);
    QTest::keyClick(control, Qt::Key_Up);
    EXPECT_EQ(Value(Common::DF_YEAR4), 1970);
    Select(Common::DF_MILLISECOND);
    QTest::keyClick(control, Qt::Key_End);
    EXPECT_EQ(Shown(Common::DF_MILLISECOND), QString("999"));
    QTest::keyClick(control, Qt::Key_Home);
    EXPECT_EQ(Shown(Common::DF_MILLISECOND), QString("000"));
}

TEST_F(DateTimeCtrl, UpAndDownWithCtrlOrShiftLeaveTheSegment)
{
    Make(13);
    Select(Common::DF_MONTH);
    QTest::keyClick(control, Qt::Key_Up, Qt::ControlModifier);
    QTest::keyClick(control, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(Value(Common::DF_MONTH), 1);
}

TEST_F(DateTimeCtrl, LeftAndRightArePostedAndWrapAround)
{
    Make(13);
    Select(Common::DF_DAY);
    QTest::keyClick(control, Qt::Key_Left);
    EXPECT_EQ(control->SelectedSegment(), 0) << "carried out only when the posted event arrives";
    Pump();
    EXPECT_EQ(control->SelectedSegment(), 2);
    QTest::keyClick(control, Qt::Key_Right);
    Pump();
    EXPECT_EQ(control->SelectedSegment(), 0);
    QTest::keyClick(control, Qt::Key_Right);
    Pump();
    EXPECT_EQ(control->SelectedSegment(), 1);
    QTest::keyClick(control, Qt::Key_Right, Qt::ControlModifier);
    Pump();
    EXPECT_EQ(control->SelectedSegment(), 1);
}

// --- typing --------------------------------------------------------------------------------

TEST_F(DateTimeCtrl, NineThenFiveInATwoDigitYearShowingZeroZeroGiveNinetyFive)
{
    Make(14);
    ASSERT_TRUE(control->SetValue(IDateTimeEditor::FileTime, FileTimeOf(2000, 6, 15)));
    ASSERT_EQ(Shown(Common::DF_YEAR2), QString("00"));
    Select(Common::DF_YEAR2);
    Type("9");
    EXPECT_EQ(Shown(Common::DF_YEAR2), QString("9"));
    Type("5");
    EXPECT_EQ(Shown(Common::DF_YEAR2), QString("95"));
    EXPECT_EQ(Value(Common::DF_YEAR2), 95);
    // Read back as the date formats complete a two-digit year.
    std::int64_t value = 0;
    ASSERT_TRUE(control->GetValue(IDateTimeEditor::FileTime, value));
    CalendarTime time;
    ASSERT_TRUE(Common::FileTimeToCalendar(value, time));
    EXPECT_EQ(time.year, 1995);
}

struct TypingCase {
    const char* name;
    int field;
    const char* keys;
    const char* shown;
    int value;
};

class Typing : public DateTimeCtrl, public ::testing::WithParamInterface<TypingCase> {};

TEST_P(Typing, DigitsReplaceAFullSegmentThenAppendUntilItIsFull)
{
    Make(253, 240);
    ASSERT_TRUE(control->SetValue(IDateTimeEditor::FileTime, FileTimeOf(2009, 12, 31, 23, 59, 58, 7)));
    Select(GetParam().field);
    Type(GetParam().keys);
    EXPECT_EQ(Shown(GetParam().field), QString(GetParam().shown));
    EXPECT_EQ(Value(GetParam().field), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Digits, Typing,
                         ::testing::Values(TypingCase{"one", Common::DF_DAY, "4", "4", 4},
                                           TypingCase{"two", Common::DF_DAY, "27", "27", 27},
                                           TypingCase{"three_start_over", Common::DF_DAY, "123", "3", 3},
                                           TypingCase{"past_the_limit", Common::DF_MONTH, "45", "45", 45},
                                           TypingCase{"year", Common::DF_YEAR4, "2017", "2017", 2017},
                                           TypingCase{"year_partly", Common::DF_YEAR4, "20", "20", 20},
                                           TypingCase{"leading_zero", Common::DF_MILLISECOND, "05", "05", 5},
                                           TypingCase{"milliseconds", Common::DF_MILLISECOND, "250", "250", 250}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(DateTimeCtrl, KeypadDigitsTypeToo)
{
    Make(13);
    Select(Common::DF_DAY);
    QTest::keyClick(control, Qt::Key_1, Qt::KeypadModifier);
    QTest::keyClick(control, Qt::Key_8, Qt::KeypadModifier);
    EXPECT_EQ(Value(Common::DF_DAY), 18);
}

TEST_F(DateTimeCtrl, SteppingATypedValueShowsAllDigitsAgain)
{
    Make(13);
    Select(Common::DF_DAY);
    Type("4");
    QTest::keyClick(control, Qt::Key_Up);
    EXPECT_EQ(Shown(Common::DF_DAY), QString("05"));
    Type("1");
    EXPECT_EQ(Shown(Common::DF_DAY), QString("1")) << "the first digit after a step replaces the value";
}

// --- reading the value ------------------------------------------------------------------

TEST_F(DateTimeCtrl, SecondsReadBackInLocalTimeAndFieldsWithoutASegmentKeepTheirValue)
{
    Make(13);
    const std::int32_t set = SecondsOf(2009, 12, 31, 17, 30, 5);
    ASSERT_TRUE(control->SetValue(IDateTimeEditor::SecondsSince1970, set));
    Select(Common::DF_DAY);
    Type("15");
    std::int64_t value = 0;
    ASSERT_TRUE(control->GetValue(IDateTimeEditor::SecondsSince1970, value));
    EXPECT_EQ(value, SecondsOf(2009, 12, 15, 17, 30, 5));
}

TEST_F(DateTimeCtrl, ThirtyFirstFebruaryReadsAsTheValueLastSet)
{
    Make(13);
    const std::int32_t set = SecondsOf(2009, 2, 10);
    ASSERT_TRUE(control->SetValue(IDateTimeEditor::SecondsSince1970, set));
    Select(Common::DF_DAY);
    Type("31");
    ASSERT_EQ(control->Text(), QString("31/02/2009 "));
    std::int64_t value = 0;
    ASSERT_TRUE(control->GetValue(IDateTimeEditor::SecondsSince1970, value));
    EXPECT_EQ(value, set) << "an impossible date was read as another date";
}

TEST_F(DateTimeCtrl, AFileTimeThatCannotBeConvertedIsNotRead)
{
    Make(125);
    ASSERT_TRUE(control->SetValue(IDateTimeEditor::FileTime, FileTimeOf(2009, 2, 10)));
    Select(Common::DF_DAY);
    Type("30");
    std::int64_t value = 1;
    EXPECT_FALSE(control->GetValue(IDateTimeEditor::FileTime, value));
    EXPECT_EQ(value, 1);
    Select(Common::DF_HOUR);
    Type("25");
    Select(Common::DF_DAY);
    Type("28");
    EXPECT_FALSE(control->GetValue(IDateTimeEditor::FileTime, value)) << "hour 25 became the next day";
}

TEST_F(DateTimeCtrl, AnUntouchedFileTimeReadsBackExactly)
{
    // Seconds' fractions and ticks below a millisecond have no segment here.
    Make(125);
    const std::int64_t set = FileTimeOf(2009, 12, 31, 23, 59, 58, 123) + 4567;
    ASSERT_TRUE(control->SetValue(IDateTimeEditor::FileTime, set));
    std::int64_t value = 0;
    ASSERT_TRUE(control->GetValue(IDateTimeEditor::FileTime, value));
    EXPECT_EQ(value, set);
    Select(Common::DF_MINUTE);
    QTest::keyClick(control, Qt::Key_Down);
    ASSERT_TRUE(control->GetValue(IDateTimeEditor::FileTime, value));
    EXPECT_EQ(value, set - 60 * Common::kTicksPerSecond);
}

TEST_F(DateTimeCtrl, WithoutAValueSetAFileTimeStartsFromTheFirstOfJanuary2000)
{
    Make(112);
    Select(Common::DF_HOUR);
    Type("13");
    std::int64_t value = 0;
    ASSERT_TRUE(control->GetValue(IDateTimeEditor::FileTime, value));
    EXPECT_EQ(value, FileTimeOf(2000, 1, 1, 13, 0, 0, 0));
}

// --- the spin buttons ---------------------------------------------------------------------

TEST_F(DateTimeCtrl, HoldingASpinButtonRepeatsAfter500ThenFasterDownToEvery30Milliseconds)
{
    CFakeGridClock clock;
    Make(112);
    Select(Common::DF_MINUTE);
    const QRect spin = control->SpinButtonRect();
    const QPoint up(spin.center().x(), spin.top() + 3);
    QTest::mousePress(control, Qt::LeftButton, Qt::NoModifier, up);
    EXPECT_EQ(Value(Common::DF_MINUTE), 1) << "the press steps once";
    ASSERT_GT(control->RepeatTimerId(), 0);
    const auto fire = [&] {
        QTimerEvent event(control->RepeatTimerId());
        QApplication::sendEvent(control, &event);
    };
    int expected = 1;
    for (const int delay : {500, 170, 140, 110, 80, 50, 30, 30, 30}) {
        clock.Advance(delay - 1);
        fire();
        EXPECT_EQ(Value(Common::DF_MINUTE), expected) << "a repeat came before " << delay << " ms";
        clock.Advance(1);
        fire();
        EXPECT_EQ(Value(Common::DF_MINUTE), ++expected) << "no repeat after " << delay << " ms";
    }
    QTest::mouseRelease(control, Qt::LeftButton, Qt::NoModifier, up);
    EXPECT_LE(control->RepeatTimerId(), 0);
    EXPECT_EQ(control->RepeatInterval(), 500);
    // The next press starts from 500 ms again.
    const QPoint down(spin.center().x(), spin.bottom() - 3);
    QTest::mousePress(control, Qt::LeftButton, Qt::NoModifier, down);
    EXPECT_EQ(Value(Common::DF_MINUTE), expected - 1);
    EXPECT_EQ(control->RepeatDue(), clock.Now() + 500);
    clock.Advance(500);
    fire();
    EXPECT_EQ(Value(Common::DF_MINUTE), expected - 2);
    QTest::mouseRelease(control, Qt::LeftButton, Qt::NoModifier, down);
}

TEST_F(DateTimeCtrl, LosingTheFocusStopsTheRepeat)
{
    CFakeGridClock clock;
    Make(112);
    Select(Common::DF_SECOND);
    const QRect spin = control->SpinButtonRect();
    QTest::mousePress(control, Qt::LeftButton, Qt::NoModifier, {spin.center().x(), spin.top() + 3});
    ASSERT_GT(control->RepeatTimerId(), 0);
    auto* other = new QWidget(&host);
    other->setFocusPolicy(Qt::StrongFocus);
    other->setGeometry(0, 30, 20, 20);
    other->show();
    other->setFocus();
    Pump();
    EXPECT_LE(control->RepeatTimerId(), 0);
    EXPECT_EQ(control->RepeatInterval(), 500);
}

TEST_F(DateTimeCtrl, ASpinPressWithNothingSelectedSelectsTheFirstSegment)
{
    Make(112);
    const QRect spin = control->SpinButtonRect();
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, {spin.center().x(), spin.bottom() - 3});
    EXPECT_EQ(control->SelectedSegment(), 0);
    EXPECT_EQ(Value(Common::DF_HOUR), 0);
}

// --- the month calendar -----------------------------------------------------------------

TEST_F(DateTimeCtrl, TheCalendarOpensBelowAtTheSegmentsDateAndAPickSetsYearMonthAndDay)
{
    Make(253, 240);
    ASSERT_TRUE(control->SetValue(IDateTimeEditor::FileTime, FileTimeOf(2009, 12, 31, 10, 20, 30)));
    QSignalSpy confirmed(control, &CEmbeddedDateTimeCtrl::selectionConfirmed);
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->CalendarButtonRect().center());
    QCalendarWidget* calendar = control->Calendar();
    ASSERT_NE(calendar, nullptr);
    EXPECT_EQ(calendar->selectedDate(), QDate(2009, 12, 31));
    // Below the control (the offscreen platform adds a frame margin of its own).
    const QPoint below = control->mapToGlobal(QPoint(0, control->height()));
    const QRect popup = calendar->window()->frameGeometry();
    EXPECT_NEAR(popup.top(), below.y(), 4);
    EXPECT_NEAR(popup.left(), below.x(), 4);
    EXPECT_EQ(QApplication::activePopupWidget(), calendar->window());
    // The next day, picked with the keyboard in the calendar's table.
    auto* table = calendar->findChild<QAbstractItemView*>();
    ASSERT_NE(table, nullptr);
    QTest::keyClick(table, Qt::Key_Right);
    QTest::keyClick(table, Qt::Key_Return);
    EXPECT_EQ(control->Text(), QString("01/01/2010 10:20:30.000"));
    EXPECT_EQ(confirmed.count(), 1);
    EXPECT_EQ(control->Calendar(), nullptr);
    Pump();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(DateTimeCtrl, FieldsWithoutASegmentOpenTheCalendarAtToday)
{
    Make(12);
    ASSERT_TRUE(control->SetValue(IDateTimeEditor::FileTime, FileTimeOf(2001, 3, 5)));
    control->OpenCalendar();
    ASSERT_NE(control->Calendar(), nullptr);
    EXPECT_EQ(control->Calendar()->selectedDate(), QDate(QDate::currentDate().year(), 3, 5));
    control->CloseCalendar();
}

TEST_F(DateTimeCtrl, EscapeClosesTheCalendarWithoutAPickAndThePopupIsReleased)
{
    Make(13);
    ASSERT_TRUE(control->SetValue(IDateTimeEditor::FileTime, FileTimeOf(2009, 6, 7)));
    QSignalSpy confirmed(control, &CEmbeddedDateTimeCtrl::selectionConfirmed);
    control->OpenCalendar();
    ASSERT_NE(control->Calendar(), nullptr);
    QPointer<QWidget> popup = control->Calendar()->window();
    QTest::keyClick(control->Calendar()->findChild<QAbstractItemView*>(), Qt::Key_Escape);
    EXPECT_EQ(control->Calendar(), nullptr);
    ASSERT_TRUE(Kestrum::Test::PumpUntil([&] { return popup.isNull(); }, 5));
    EXPECT_EQ(confirmed.count(), 0);
    EXPECT_EQ(control->Text(), QString("07/06/2009 "));
}

TEST_F(DateTimeCtrl, DestroyingTheControlClosesItsCalendar)
{
    Make(13);
    control->OpenCalendar();
    ASSERT_NE(control->Calendar(), nullptr);
    QPointer<QWidget> popup = control->Calendar()->window();
    delete control;
    control = nullptr;
    EXPECT_TRUE(popup.isNull());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    Pump();
}

TEST_F(DateTimeCtrl, TheSelectedSegmentIsHighlightedOnlyWithTheFocusAndNoCalendar)
{
    Make(13);
    ASSERT_TRUE(control->SetValue(IDateTimeEditor::FileTime, FileTimeOf(2009, 6, 7)));
    Select(Common::DF_MONTH);
    const QColor highlight = control->palette().color(QPalette::Active, QPalette::Highlight);
    const QRect box = control->SegmentRect(1);
    const auto cornerColour = [&] { return control->grab().toImage().pixelColor(box.left(), 1); };
    ASSERT_TRUE(control->hasFocus());
    EXPECT_EQ(cornerColour(), highlight);
    control->OpenCalendar();
    EXPECT_NE(cornerColour(), highlight);
    control->CloseCalendar();
    Pump();
    // The offscreen platform leaves no window active after a pop-up.
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    control->setFocus();
    EXPECT_EQ(cornerColour(), highlight);
}

// --- in a grid cell --------------------------------------------------------------------------

struct CountingSink final : Common::CDataObject::ISink {
    int changes = 0;
    void OnFieldChanged(Common::FieldId, Common::CDataObject*) override { ++changes; }
};

struct DateCell : ::testing::Test {
    DateCell()
    {
        auto* header = new CHeader(true);
        header->AddColumn(new CColumn(0, "Created", 140, AlignAuto, true, -1, -1, new Common::CLongDateFormat(13), nullptr,
                                      nullptr, ""));
        header->AddColumn(new CColumn(1, "Modified", 200, AlignAuto, true, -1, -1, new Common::CInt64DateFormat(125),
                                      nullptr, nullptr, ""));
        grid.SetHeader(header);
        grid.resize(400, 200);
        grid.show();
        grid.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&grid));
        object.SetLong(0, seconds);
        object.SetInt64(1, fileTime);
        other.SetLong(0, seconds);
        other.SetInt64(1, fileTime);
        object.Subscribe(&sink);
        item = grid.Add(&object);
        grid.SetRowHeight(item, 20);
        grid.setFocus();
        Pump();
    }
    ~DateCell() override
    {
        grid.EndEdit(EditNoNavigation);
        grid.Clear();
        object.Unsubscribe(&sink);
    }
    CEmbeddedDateTimeCtrl* Control() { return qobject_cast<CEmbeddedDateTimeCtrl*>(grid.GetEditControl()); }
    QPoint ButtonOf(Common::FieldId field)
    {
        const CRect rect = grid.GetCellRect(item, field);
        return {rect.right - 4, (rect.top + rect.bottom) / 2};
    }

    const std::int32_t seconds = SecondsOf(2009, 2, 10);
    const std::int64_t fileTime = FileTimeOf(2009, 12, 31, 23, 59, 58, 0) + 12345;
    Common::CDynamicObject object{true};
    Common::CDynamicObject other{true};
    CountingSink sink;
    CGrid grid;
    HITEM item = 0;
};

TEST_F(DateCell, ThirtyFirstFebruaryKeepsTheCellsOldValue)
{
    ASSERT_TRUE(grid.BeginEditCell(item, 0, EditStartDoubleClick));
    CEmbeddedDateTimeCtrl* control = Control();
    ASSERT_NE(control, nullptr);
    ASSERT_EQ(control->Text(), QString("10/02/2009 "));
    // It covers its cell, right of the tree column's indentation.
    const QRect cell = ToQRect(grid.GetCellRect(item, 0));
    EXPECT_EQ(control->geometry().right(), cell.right());
    EXPECT_EQ(control->geometry().height(), cell.height());
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->SegmentRect(0).center());
    QTest::keyClicks(control, "31");
    QTest::keyClick(control, Qt::Key_Return);
    Pump();
    EXPECT_EQ(grid.GetEditItem(), 0u);
    EXPECT_EQ(object.GetLong(0), seconds);
    EXPECT_EQ(sink.changes, 0);
}

TEST_F(DateCell, AnEditedDayIsWrittenOnEnter)
{
    ASSERT_TRUE(grid.BeginEditCell(item, 0, EditStartDoubleClick));
    CEmbeddedDateTimeCtrl* control = Control();
    ASSERT_NE(control, nullptr);
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->SegmentRect(0).center());
    QTest::keyClicks(control, "28");
    QTest::keyClick(control, Qt::Key_Return);
    Pump();
    EXPECT_EQ(object.GetLong(0), SecondsOf(2009, 2, 28));
}

TEST_F(DateCell, ArrowsStayInTheEditorAndCtrlDownLeavesIt)
{
    const HITEM below = grid.Add(&other, GRID_ROOT, GRID_LAST); // a row to move to
    ASSERT_NE(below, 0u);
    grid.SetRowHeight(below, 20);
    ASSERT_TRUE(grid.BeginEditCell(item, 0, EditStartDoubleClick));
    CEmbeddedDateTimeCtrl* control = Control();
    ASSERT_NE(control, nullptr);
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->SegmentRect(1).center());
    QTest::keyClick(control, Qt::Key_Down);
    QTest::keyClick(control, Qt::Key_Right);
    Pump();
    EXPECT_EQ(grid.GetEditItem(), item) << "an arrow ended the edit";
    EXPECT_EQ(control->SegmentValue(1), 1);
    EXPECT_EQ(control->SelectedSegment(), 2);
    QTest::keyClick(control, Qt::Key_Down, Qt::ControlModifier);
    Pump();
    EXPECT_NE(grid.GetEditItem(), item);
    EXPECT_EQ(object.GetLong(0), SecondsOf(2009, 1, 10));
    EXPECT_EQ(grid.GetEditItem(), below);
}

TEST_F(DateCell, AClickOnTheButtonOpensTheCalendarAndAPickEndsTheEditWithTheDate)
{
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, ButtonOf(1));
    Pump();
    CEmbeddedDateTimeCtrl* control = Control();
    ASSERT_NE(control, nullptr);
    QCalendarWidget* calendar = control->Calendar();
    ASSERT_NE(calendar, nullptr) << "the click on the cell's button opens the calendar at once";
    EXPECT_EQ(calendar->selectedDate(), QDate(2009, 12, 31));
    QTest::keyClick(calendar->findChild<QAbstractItemView*>(), Qt::Key_Left);
    QTest::keyClick(calendar->findChild<QAbstractItemView*>(), Qt::Key_Return);
    ASSERT_TRUE(Kestrum::Test::PumpUntil([&] { return grid.GetEditItem() == 0; }, 5)) << "the pick did not end the edit";
    // The date picked, the time and the ticks below a millisecond kept.
    EXPECT_EQ(object.GetInt64(1), FileTimeOf(2009, 12, 30, 23, 59, 58, 0) + 12345);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(DateCell, OpeningAndClosingAFileTimeWritesNothing)
{
    ASSERT_TRUE(grid.BeginEditCell(item, 1, EditStartDoubleClick));
    ASSERT_NE(Control(), nullptr);
    EXPECT_EQ(Control()->Text(), QString("31/12/2009 23:59:58"));
    QTest::keyClick(Control(), Qt::Key_Return);
    Pump();
    EXPECT_EQ(grid.GetEditItem(), 0u);
    EXPECT_EQ(object.GetInt64(1), fileTime);
    EXPECT_EQ(sink.changes, 0);
}

} // namespace
