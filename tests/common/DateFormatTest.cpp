#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <random>

#include "common/Calendar.h"
#include "common/DateFormats.h"

using namespace Kestrum::Common;

namespace {
std::int64_t FileTime(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    std::int64_t out = -1;
    EXPECT_TRUE(CalendarToFileTime(CalendarTime{y, mo, d, h, mi, s, ms}, out));
    return out;
}
std::optional<std::int64_t> ParseFileTime(std::int32_t flags, const std::string& text)
{
    std::int64_t out = 0;
    if (!CInt64DateFormat(flags).ParseValue(text, out, nullptr))
        return std::nullopt;
    return out;
}
} // namespace

TEST(Calendar, FileTimeEpochsAndLimits)
{
    EXPECT_EQ(FileTime(1601, 1, 1), 0);
    EXPECT_EQ(FileTime(1970, 1, 1), 116444736000000000);
    CalendarTime time;
    ASSERT_TRUE(FileTimeToCalendar(116444736000000000 + 15 * kTicksPerMillisecond, time));
    EXPECT_EQ(time.year, 1970);
    EXPECT_EQ(time.millisecond, 15);
    EXPECT_FALSE(FileTimeToCalendar(-1, time));
    std::int64_t out = 0;
    EXPECT_FALSE(CalendarToFileTime(CalendarTime{2009, 13, 1, 0, 0, 0, 0}, out));
    EXPECT_FALSE(CalendarToFileTime(CalendarTime{2009, 2, 29, 0, 0, 0, 0}, out));
    EXPECT_TRUE(CalendarToFileTime(CalendarTime{2000, 2, 29, 0, 0, 0, 0}, out));
    EXPECT_FALSE(CalendarToFileTime(CalendarTime{1600, 12, 31, 0, 0, 0, 0}, out));
    EXPECT_FALSE(CalendarToFileTime(CalendarTime{2000, 1, 1, 24, 0, 0, 0}, out));
}

TEST(Calendar, EveryDayOfFourHundredYearsRoundTrips)
{
    std::int64_t previous = -1;
    for (int year = 1900; year < 2300; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; IsValidDate(year, month, day); ++day) {
                const std::int64_t fileTime = FileTime(year, month, day, 12, 30, 15, 250);
                ASSERT_EQ((fileTime - FileTime(1601, 1, 1, 12, 30, 15, 250)) % (86400 * kTicksPerSecond), 0);
                if (previous >= 0) {
                    ASSERT_EQ(fileTime - previous, 86400 * kTicksPerSecond);
                }
                previous = fileTime;
                CalendarTime back;
                ASSERT_TRUE(FileTimeToCalendar(fileTime, back));
                ASSERT_EQ(back.year, year);
                ASSERT_EQ(back.month, month);
                ASSERT_EQ(back.day, day);
                ASSERT_EQ(back.millisecond, 250);
            }
        }
    }
}

TEST(CInt64DateFormat, TextByFlags)
{
    const std::int64_t moment = FileTime(2009, 12, 31, 23, 59, 58);
    EXPECT_EQ(CInt64DateFormat(125).FormatValue(moment, nullptr), "31/12/2009 23:59:58");
    EXPECT_EQ(CInt64DateFormat(253).FormatValue(moment, nullptr), "31/12/2009 23:59:58.000");
    EXPECT_EQ(CInt64DateFormat().FormatValue(moment, nullptr), "31/12/09");
    EXPECT_EQ(CInt64DateFormat(13).FormatValue(moment, nullptr), "31/12/2009");
    EXPECT_EQ(CInt64DateFormat(14 + 16 + 64).FormatValue(moment, nullptr), "31/12/09 ");
    EXPECT_EQ(CInt64DateFormat(5).FormatValue(moment, nullptr), "12/2009");
    EXPECT_EQ(CInt64DateFormat(12).FormatValue(moment, nullptr), "31/12");
    EXPECT_EQ(CInt64DateFormat(48).FormatValue(moment, nullptr), "23:59");
    EXPECT_EQ(CInt64DateFormat(128).FormatValue(moment + 7 * kTicksPerMillisecond, nullptr), "007");
    EXPECT_EQ(CInt64DateFormat(3).FormatValue(moment, nullptr), "");
    EXPECT_EQ(CInt64DateFormat(125).FormatValue(-5, nullptr), "");
}

TEST(CInt64DateFormat, ParseFillsDefaults)
{
    EXPECT_EQ(ParseFileTime(14, "31/12/09"), FileTime(2009, 12, 31, 1));
    EXPECT_EQ(ParseFileTime(14, "12/09"), FileTime(2009, 12, 1, 1));
    EXPECT_EQ(ParseFileTime(14, "5"), FileTime(2005, 1, 1, 1));
    EXPECT_EQ(ParseFileTime(14, "1/1/75"), FileTime(1975, 1, 1, 1));
    EXPECT_EQ(ParseFileTime(125, "31/12/2009 23:59:58"), FileTime(2009, 12, 31, 23, 59, 58));
    EXPECT_EQ(ParseFileTime(125, "23:59"), FileTime(2000, 1, 1, 1, 23, 59));
    EXPECT_EQ(ParseFileTime(253, "31/12/2009 10:20:30,5"), FileTime(2009, 12, 31, 10, 20, 30, 500));
    EXPECT_EQ(ParseFileTime(253, "31/12/2009 10:20:30.05"), FileTime(2009, 12, 31, 10, 20, 30, 50));
    EXPECT_EQ(ParseFileTime(128, "42"), FileTime(2000, 1, 1, 1, 0, 0, 42));
    EXPECT_EQ(ParseFileTime(14, "31/13/09"), std::nullopt);
    EXPECT_EQ(ParseFileTime(14, "99999999999/1/1"), std::nullopt);
    EXPECT_EQ(ParseFileTime(125, "on 31/12/2009 at 23:59:58!"), FileTime(2009, 12, 31, 23, 59, 58));
}

// Two-digit years: 00 to 69 are this century, 70 to 99 the last one. The
// pivot's both sides are what a user typing "1/1/70" relies on.
struct TwoDigitYear {
    const char* text;
    int year;
};
class CInt64DateFormatTwoDigitYear : public ::testing::TestWithParam<TwoDigitYear> {};

TEST_P(CInt64DateFormatTwoDigitYear, CompletesTheCentury)
{
    EXPECT_EQ(ParseFileTime(14, GetParam().text), FileTime(GetParam().year, 1, 1, 1)) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(PivotBoundaries, CInt64DateFormatTwoDigitYear,
                         ::testing::Values(TwoDigitYear{"1/1/00", 2000}, TwoDigitYear{"1/1/38", 2038},
                                           TwoDigitYear{"1/1/39", 2039}, TwoDigitYear{"1/1/69", 2069},
                                           TwoDigitYear{"1/1/70", 1970}, TwoDigitYear{"1/1/99", 1999}));

TEST(CInt64DateFormat, RandomFileTimesRoundTripWithMilliseconds)
{
    std::mt19937_64 random(1601);
    const CInt64DateFormat format(253);
    const std::int64_t limit = FileTime(9999, 12, 31);
    for (int i = 0; i < 3000; ++i) {
        const std::int64_t value =
            static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(limit)) / kTicksPerMillisecond * kTicksPerMillisecond;
        std::int64_t parsed = 0;
        const std::string text = format.FormatValue(value, nullptr);
        ASSERT_TRUE(format.ParseValue(text, parsed, nullptr)) << text;
        ASSERT_EQ(parsed, value) << text;
    }
}

class CLongDateFormatTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tz = std::getenv("TZ");
        m_savedTz = tz ? std::optional<std::string>(tz) : std::nullopt;
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    void TearDown() override
    {
        if (m_savedTz)
            setenv("TZ", m_savedTz->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::optional<std::string> m_savedTz;
};

TEST_F(CLongDateFormatTest, ParseAndTextInLocalTime)
{
    const CLongDateFormat dates;
    std::int32_t out = 0;
    EXPECT_FALSE(dates.ParseValue(std::string("01/01/45"), out, nullptr));
    ASSERT_TRUE(dates.ParseValue(std::string("01/01/38"), out, nullptr));
    // 2038-01-01 01:00 in Berlin (winter, UTC+1) is 00:00 UTC.
    EXPECT_EQ(out, 2145916800);
    EXPECT_EQ(dates.FormatValue(out, nullptr), "01/01/38");
    const CLongDateFormat full(125);
    EXPECT_EQ(full.FormatValue(0, nullptr), "01/01/1970 01:00:00");
    ASSERT_TRUE(full.ParseValue(std::string("15/07/2020 14:30:05"), out, nullptr));
    EXPECT_EQ(out, 1594816205); // summer: UTC+2
    EXPECT_EQ(full.FormatValue(out, nullptr), "15/07/2020 14:30:05");
    EXPECT_EQ(full.FormatValue(-1, nullptr), "");
}

// Seconds since 1970 in 32 bits reach 2038: two-digit years 00 to 38 are
// this century, 70 to 99 the last one, and 39 to 69 cannot be stored.
struct LocalTwoDigitYear {
    const char* text;
    std::optional<std::int32_t> seconds; // 01:00 local in Berlin's winter is 00:00 UTC
};
class CLongDateFormatTwoDigitYear : public CLongDateFormatTest,
                                    public ::testing::WithParamInterface<LocalTwoDigitYear> {};

TEST_P(CLongDateFormatTwoDigitYear, CompletesTheCenturyOrFails)
{
    std::int32_t out = 12345;
    const bool parsed = CLongDateFormat().ParseValue(std::string(GetParam().text), out, nullptr);
    if (GetParam().seconds) {
        ASSERT_TRUE(parsed) << GetParam().text;
        EXPECT_EQ(out, *GetParam().seconds) << GetParam().text;
    } else {
        EXPECT_FALSE(parsed) << GetParam().text;
        EXPECT_EQ(out, 12345) << "a failed parse leaves the value";
    }
}

INSTANTIATE_TEST_SUITE_P(PivotBoundaries, CLongDateFormatTwoDigitYear,
                         ::testing::Values(LocalTwoDigitYear{"01/01/00", 946684800},
                                           LocalTwoDigitYear{"01/01/38", 2145916800},
                                           LocalTwoDigitYear{"01/01/39", std::nullopt},
                                           LocalTwoDigitYear{"01/01/69", std::nullopt},
                                           LocalTwoDigitYear{"01/01/70", 0},
                                           LocalTwoDigitYear{"31/12/99", 946598400}));

TEST(CLongMsecTimeFormat, TextByUnits)
{
    const CLongMsecTimeFormat format;
    EXPECT_EQ(format.FormatValue(3723004, nullptr), "1:02:03.004");
    EXPECT_EQ(format.FormatValue(63004, nullptr), "1:03.004");
    EXPECT_EQ(format.FormatValue(3004, nullptr), "3.004");
    EXPECT_EQ(format.FormatValue(4, nullptr), "4");
    EXPECT_EQ(format.FormatValue(-3004, nullptr), "-3.004");
    EXPECT_EQ(format.FormatValue(0, nullptr), "0");
    EXPECT_EQ(CLongMsecTimeFormat(31, true).FormatValue(90061001, nullptr), "1 01:01:01.001");
    EXPECT_EQ(CLongMsecTimeFormat(1).FormatValue(0, nullptr), "0");
    EXPECT_EQ(CLongMsecTimeFormat(31, false, "h", "d").FormatValue(90061001, nullptr), "1d 1:01:01.001h");
    EXPECT_EQ(CLongMsecTimeFormat(15, false, "h", "d").FormatValue(86400000, nullptr), "1d 0h");
    EXPECT_EQ(CLongMsecTimeFormat(6, true).FormatValue(3600000 * 30, nullptr), "30:00");
    EXPECT_EQ(CLongMsecTimeFormat(20).FormatValue(5, nullptr), "");
    EXPECT_EQ(format.FormatValue(std::numeric_limits<std::int32_t>::min(), nullptr), "-596:31:23.648");
}

TEST(CLongMsecTimeFormat, Parse)
{
    std::int32_t out = 0;
    ASSERT_TRUE(CLongMsecTimeFormat(12).ParseValue(std::string("-1:00"), out, nullptr));
    EXPECT_EQ(out, -60000);
    ASSERT_TRUE(CLongMsecTimeFormat(24).ParseValue(std::string("1.5"), out, nullptr));
    EXPECT_EQ(out, 1005);
    ASSERT_TRUE(CLongMsecTimeFormat(31).ParseValue(std::string("1 01:01:01.001"), out, nullptr));
    EXPECT_EQ(out, 90061001);
    out = 7;
    EXPECT_FALSE(CLongMsecTimeFormat(20).ParseValue(std::string("1:2"), out, nullptr));
    EXPECT_FALSE(CLongMsecTimeFormat(5).ParseValue(std::string("1:2"), out, nullptr));
    EXPECT_FALSE(CLongMsecTimeFormat(0).ParseValue(std::string("1"), out, nullptr));
    EXPECT_FALSE(CLongMsecTimeFormat(1).ParseValue(std::string("25"), out, nullptr)); // 25 days overflow
    EXPECT_FALSE(CLongMsecTimeFormat(16).ParseValue(std::string("99999999999"), out, nullptr));
    EXPECT_EQ(out, 7);
}

TEST(CLongMsecTimeFormat, RandomDurationsRoundTrip)
{
    std::mt19937 random(30);
    for (const std::int32_t units : {30, 31, 28, 24, 16}) {
        for (const bool fixed : {false, true}) {
            // Without fixed width a zero hour is left out, and the day count
            // would then be read as hours: that text is not lossless.
            if (units == 31 && !fixed)
                continue;
            const CLongMsecTimeFormat format(units, fixed);
            for (int i = 0; i < 1000; ++i) {
                const auto value = static_cast<std::int32_t>(random());
                std::int32_t parsed = 0;
                const std::string text = format.FormatValue(value, nullptr);
                ASSERT_TRUE(format.ParseValue(text, parsed, nullptr)) << text;
                ASSERT_EQ(parsed, value) << units << " " << text;
            }
        }
    }
}
