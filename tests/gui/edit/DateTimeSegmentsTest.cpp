// The date editor's segment model without a window: the layout from the
// flags and the settings, stepping, typing, and the value the segments
// compose.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Calendar.h"
#include "gui/edit/DateTimeSegments.h"

namespace Kestrum::GUI {
namespace {

using Common::CalendarTime;
using Segments = CDateTimeSegments;

constexpr std::int32_t kDayMonthYear = Common::DF_DAY | Common::DF_MONTH | Common::DF_YEAR4; // 13
constexpr std::int32_t kTime = Common::DF_HOUR | Common::DF_MINUTE | Common::DF_SECOND;       // 112

Common::DateTimeSettings Settings(int order)
{
    Common::DateTimeSettings settings;
    settings.dateOrder = order;
    settings.dateSeparator = "-";
    settings.timeSeparator = ":";
    settings.decimalSeparator = ",";
    return settings;
}

// --- layout -----------------------------------------------------------------------------

struct LayoutCase {
    const char* name;
    std::int32_t flags;
    int order;
    std::string text;
    bool date;
    bool time;
};

class SegmentLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(SegmentLayout, FollowsTheFlagsAndTheDateOrderAtTheMinimums)
{
    const LayoutCase& c = GetParam();
    const Segments segments(c.flags, Settings(c.order));
    EXPECT_EQ(segments.Text(), c.text);
    EXPECT_EQ(segments.HasDateSegments(), c.date);
    EXPECT_EQ(segments.HasTimeSegments(), c.time);
    EXPECT_EQ(segments.Selected(), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, SegmentLayout,
    ::testing::Values(LayoutCase{"DayFirst", kDayMonthYear, 0, "01-01-1970 ", true, false},
                      LayoutCase{"MonthFirst", kDayMonthYear, 1, "01-01-1970 ", true, false},
                      LayoutCase{"YearFirst", kDayMonthYear, 2, "1970-01-01 ", true, false},
                      LayoutCase{"BothYearsFourDigitsFirst", Common::DF_YEAR4 | Common::DF_YEAR2, 2, "1970-70 ", true, false},
                      LayoutCase{"Time", kTime, 0, "00:00:00", false, true},
                      LayoutCase{"SecondsAndMilliseconds", Common::DF_SECOND | Common::DF_MILLISECOND, 0, "00,000", false, true},
                      LayoutCase{"HourAndSecondNoSeparator", Common::DF_HOUR | Common::DF_SECOND, 0, "0000", false, true},
                      LayoutCase{"DateAndTime", Common::DF_DAY | Common::DF_HOUR, 0, "01 00", true, true},
                      LayoutCase{"Nothing", 0, 0, "", false, false}),
    [](const ::testing::TestParamInfo<LayoutCase>& row) { return std::string(row.param.name); });

TEST(SegmentOrder, FieldsByOrder)
{
    const Segments monthFirst(kDayMonthYear, Settings(1));
    EXPECT_EQ(monthFirst.Find(Common::DF_MONTH), 0);
    EXPECT_EQ(monthFirst.Find(Common::DF_DAY), 1);
    EXPECT_EQ(monthFirst.Find(Common::DF_YEAR4), 2);
    EXPECT_EQ(monthFirst.Find(Common::DF_HOUR), -1);
}

// --- stepping ---------------------------------------------------------------------------

struct StepCase {
    const char* name;
    std::int32_t field;
    int from;
    int direction; // +1 Up, -1 Down, 2 End, -2 Home
    int to;
};

class SegmentStep : public ::testing::TestWithParam<StepCase> {};

TEST_P(SegmentStep, WrapsAtTheLimits)
{
    const StepCase& c = GetParam();
    Segments segments(kDayMonthYear | kTime | Common::DF_MILLISECOND, Settings(0));
    CalendarTime time{2000, 6, 15, 12, 30, 30, 500};
    switch (c.field) {
    case Common::DF_MONTH: time.month = c.from; break;
    case Common::DF_DAY: time.day = c.from; break;
    case Common::DF_YEAR4: time.year = c.from; break;
    case Common::DF_HOUR: time.hour = c.from; break;
    case Common::DF_MILLISECOND: time.millisecond = c.from; break;
    default: FAIL() << "no such case";
    }
    segments.Fill(time);
    const int index = segments.Find(c.field);
    ASSERT_TRUE(segments.Select(index));
    if (c.direction == 2 || c.direction == -2)
        segments.StepToLimit(c.direction > 0);
    else
        segments.Step(c.direction);
    EXPECT_EQ(segments.Segments()[static_cast<std::size_t>(index)].value, c.to);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, SegmentStep,
    ::testing::Values(StepCase{"MonthTwelveUpIsOne", Common::DF_MONTH, 12, 1, 1},
                      StepCase{"MonthOneDownIsTwelve", Common::DF_MONTH, 1, -1, 12},
                      StepCase{"DayOneDownIsThirtyOne", Common::DF_DAY, 1, -1, 31},
                      StepCase{"YearBelowTheLimitsUpIsTheMinimum", Common::DF_YEAR4, 1900, 1, 1970},
                      StepCase{"YearAboveTheLimitsDownIsTheMaximum", Common::DF_YEAR4, 2100, -1, 2038},
                      StepCase{"HourUp", Common::DF_HOUR, 7, 1, 8},
                      StepCase{"HomeIsTheMinimum", Common::DF_HOUR, 7, -2, 0},
                      StepCase{"EndIsTheMaximum", Common::DF_MILLISECOND, 7, 2, 999}),
    [](const ::testing::TestParamInfo<StepCase>& row) { return std::string(row.param.name); });

TEST(SegmentSelection, StepWithoutSelectionSelectsTheFirstAndMovesWrap)
{
    Segments segments(kDayMonthYear, Settings(0));
    segments.Step(1);
    EXPECT_EQ(segments.Selected(), 0);
    EXPECT_EQ(segments.Text(), "01-01-1970 ") << "the step only selected";
    segments.SelectPrevious();
    EXPECT_EQ(segments.Selected(), 2);
    segments.SelectNext();
    EXPECT_EQ(segments.Selected(), 0);
    EXPECT_FALSE(segments.Select(3));
    EXPECT_FALSE(segments.Select(-2));
    EXPECT_EQ(segments.Selected(), 0);
    EXPECT_TRUE(segments.Select(-1));
    segments.SelectNext();
    EXPECT_EQ(segments.Selected(), 0);
}

// --- typing -----------------------------------------------------------------------------

struct TypeCase {
    const char* name;
    std::int32_t field;
    int from;
    std::vector<int> digits;
    std::string text;
    int value;
};

class SegmentTyping : public ::testing::TestWithParam<TypeCase> {};

TEST_P(SegmentTyping, ReplacesAFullSegmentThenAppendsUntilFull)
{
    const TypeCase& c = GetParam();
    Segments segments(Common::DF_YEAR2 | Common::DF_YEAR4 | Common::DF_DAY, Settings(2));
    segments.Fill({c.from, 1, c.from, 0, 0, 0, 0});
    const int index = segments.Find(c.field);
    segments.Select(index);
    for (int digit : c.digits)
        segments.Type(digit);
    const Segments::Segment& segment = segments.Segments()[static_cast<std::size_t>(index)];
    EXPECT_EQ(segment.text, c.text);
    EXPECT_EQ(segment.value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Digits, SegmentTyping,
    ::testing::Values(TypeCase{"NineFiveInAYearShowingZeroZero", Common::DF_YEAR2, 2000, {9, 5}, "95", 95},
                      TypeCase{"OneDigitShowsOne", Common::DF_DAY, 12, {4}, "4", 4},
                      TypeCase{"AThirdDigitStartsAfresh", Common::DF_DAY, 12, {1, 2, 3}, "3", 3},
                      TypeCase{"FourDigitYear", Common::DF_YEAR4, 1999, {2, 0, 1, 5}, "2015", 2015},
                      TypeCase{"NotHeldToTheLimits", Common::DF_DAY, 12, {9, 9}, "99", 99}),
    [](const ::testing::TestParamInfo<TypeCase>& row) { return std::string(row.param.name); });

TEST(SegmentTyping, NothingSelectedOrNotADigitTypesNothing)
{
    Segments segments(Common::DF_DAY, Settings(0));
    segments.Type(5);
    EXPECT_EQ(segments.Text(), "01 ");
    segments.Select(0);
    segments.Type(10);
    segments.Type(-1);
    EXPECT_EQ(segments.Text(), "01 ");
}

// --- value ------------------------------------------------------------------------------

TEST(SegmentValue, AFileTimeReadsBackExactlyAndAnEditedFieldChangesOnlyItself)
{
    Segments segments(kDayMonthYear | kTime, Settings(0));
    std::int64_t set = 0;
    ASSERT_TRUE(Common::CalendarToFileTime({2021, 3, 4, 5, 6, 7, 890}, set));
    set += 1234; // ticks below a millisecond
    ASSERT_TRUE(segments.SetValue(Segments::FileTime, set));
    EXPECT_EQ(segments.Text(), "04-03-2021 05:06:07");
    std::int64_t read = 0;
    ASSERT_TRUE(segments.GetValue(Segments::FileTime, read));
    EXPECT_EQ(read, set);
    segments.Select(segments.Find(Common::DF_DAY));
    segments.Step(1);
    ASSERT_TRUE(segments.GetValue(Segments::FileTime, read));
    EXPECT_EQ(read - set, 24LL * 3600 * Common::kTicksPerSecond);
}

TEST(SegmentValue, ImpossibleDates)
{
    Segments segments(kDayMonthYear, Settings(0));
    std::int64_t read = 0;
    segments.Fill({1990, 2, 31, 0, 0, 0, 0});
    EXPECT_FALSE(segments.GetValue(Segments::SecondsSince1970, read)) << "31 February without a value set";
    EXPECT_FALSE(segments.SetValue(Segments::FileTime, -1));
    EXPECT_FALSE(segments.SetValue(3, 0));
    std::int32_t seconds = 0;
    ASSERT_TRUE(Common::CalendarToLocalSeconds({2020, 2, 10, 12, 0, 0, 0}, seconds));
    ASSERT_TRUE(segments.SetValue(Segments::SecondsSince1970, seconds));
    segments.Select(segments.Find(Common::DF_DAY));
    segments.Type(3);
    segments.Type(1);
    ASSERT_TRUE(segments.GetValue(Segments::SecondsSince1970, read));
    EXPECT_EQ(read, seconds) << "31 February reads as the value last set";
    EXPECT_FALSE(segments.GetValue(Segments::FileTime, read)) << "nor as a file time";
}

TEST(SegmentValue, ATwoDigitYearIsCompletedAsTheDateFormatsDo)
{
    Segments segments(Common::DF_YEAR2, Settings(0));
    segments.Select(0);
    CalendarTime time;
    for (auto [digits, year] : std::vector<std::pair<std::vector<int>, int>>{{{9, 5}, 1995}, {{0, 5}, 2005}}) {
        for (int digit : digits)
            segments.Type(digit);
        segments.Read(time);
        EXPECT_EQ(time.year, year);
    }
}

TEST(SegmentCalendar, OpensAtTheSegmentsDateHeldToTheMonthAndTakesAPick)
{
    Segments segments(Common::DF_DAY | Common::DF_MONTH, Settings(0));
    segments.Fill({2000, 2, 31, 0, 0, 0, 0});
    const CalendarTime today{2024, 7, 9, 12, 0, 0, 0};
    const CalendarTime opened = segments.CalendarDate(today);
    EXPECT_EQ(opened.year, 2024) << "no year segment: today's";
    EXPECT_EQ(opened.month, 2);
    EXPECT_EQ(opened.day, 29) << "held to February of a leap year";
    EXPECT_EQ(opened.hour, 12);
    segments.PutDate(2023, 11, 5);
    EXPECT_EQ(segments.Text(), "05-11 ");
}

} // namespace
} // namespace Kestrum::GUI
