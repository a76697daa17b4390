#include "common/Calendar.h"

#include <ctime>
#include <limits>

namespace Kestrum::Common {

namespace {
constexpr std::int64_t kSecondsPerDay = 86'400;
constexpr int kMaxFileTimeYear = 30827;

bool IsLeap(std::int64_t year) noexcept { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(std::int64_t year, int month) noexcept
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : days[month - 1];
}

bool IsValidClock(const CalendarTime& time) noexcept
{
    return time.hour >= 0 && time.hour < 24 && time.minute >= 0 && time.minute < 60 && time.second >= 0 &&
           time.second < 60 && time.millisecond >= 0 && time.millisecond < 1000;
}

// Inverse of DaysFromCivil.
void CivilFromDays(std::int64_t days, std::int64_t& year, int& month, int& day) noexcept
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}
} // namespace

std::int64_t DaysFromCivil(std::int64_t year, int month, int day) noexcept
{
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

bool IsValidDate(int year, int month, int day) noexcept
{
    return month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

bool FileTimeToCalendar(std::int64_t fileTime, CalendarTime& out) noexcept
{
    if (fileTime < 0)
        return false;
    const std::int64_t totalSeconds = fileTime / kTicksPerSecond;
    const std::int64_t days = totalSeconds / kSecondsPerDay;
    const std::int64_t secondOfDay = totalSeconds % kSecondsPerDay;
    std::int64_t year = 0;
    CalendarTime time;
    CivilFromDays(days - kFileTimeEpochOffset / kSecondsPerDay, year, time.month, time.day);
    if (year > kMaxFileTimeYear)
        return false;
    time.year = static_cast<int>(year);
    time.hour = static_cast<int>(secondOfDay / 3600);
    time.minute = static_cast<int>(secondOfDay / 60 % 60);
    time.second = static_cast<int>(secondOfDay % 60);
    time.millisecond = static_cast<int>(fileTime % kTicksPerSecond / kTicksPerMillisecond);
    out = time;
    return true;
}

bool CalendarToFileTime(const CalendarTime& time, std::int64_t& out) noexcept
{
    if (time.year < 1601 || time.year > kMaxFileTimeYear || !IsValidDate(time.year, time.month, time.day) ||
        !IsValidClock(time))
        return false;
    const std::int64_t days = DaysFromCivil(time.year, time.month, time.day) + kFileTimeEpochOffset / kSecondsPerDay;
    const std::int64_t seconds = days * kSecondsPerDay + time.hour * 3600 + time.minute * 60 + time.second;
    out = seconds * kTicksPerSecond + time.millisecond * kTicksPerMillisecond;
    return true;
}

bool LocalSecondsToCalendar(std::int32_t seconds, CalendarTime& out) noexcept
{
    if (seconds < 0)
        return false;
    const std::time_t when = seconds;
    std::tm local{};
    if (!localtime_r(&when, &local))
        return false;
    out.year = local.tm_year + 1900;
    out.month = local.tm_mon + 1;
    out.day = local.tm_mday;
    out.hour = local.tm_hour;
    out.minute = local.tm_min;
    out.second = local.tm_sec;
    out.millisecond = 0;
    return true;
}

bool CalendarToLocalSeconds(const CalendarTime& time, std::int32_t& out) noexcept
{
    if (time.year < 1970 || time.year > 2038 || !IsValidDate(time.year, time.month, time.day) || !IsValidClock(time))
        return false;
    std::tm local{};
    local.tm_year = time.year - 1900;
    local.tm_mon = time.month - 1;
    local.tm_mday = time.day;
    local.tm_hour = time.hour;
    local.tm_min = time.minute;
    local.tm_sec = time.second;
    local.tm_isdst = -1; // the conversion decides whether daylight saving applies
    const std::time_t seconds = std::mktime(&local);
    if (seconds < 0 || seconds > std::numeric_limits<std::int32_t>::max())
        return false;
    out = static_cast<std::int32_t>(seconds);
    return true;
}

} // namespace Kestrum::Common
