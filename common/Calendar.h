// Exact calendar conversions: file times (100-ns ticks since 1601-01-01,
// proleptic Gregorian, no time zone) and 32-bit seconds since 1970 in the
// machine's local time zone.
#pragma once

#include "common/Export.h"

#include <cstdint>

namespace Kestrum::Common {

struct KESTRUM_COMMON_EXPORT CalendarTime {
    int year = 0;
    int month = 0; // 1..12
    int day = 0;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

inline constexpr std::int64_t kTicksPerMillisecond = 10'000;
inline constexpr std::int64_t kTicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 to 1970-01-01.
inline constexpr std::int64_t kFileTimeEpochOffset = 11'644'473'600;

// Days since 1970-01-01 of a proleptic Gregorian date.
KESTRUM_COMMON_EXPORT std::int64_t DaysFromCivil(std::int64_t year, int month, int day) noexcept;
KESTRUM_COMMON_EXPORT bool IsValidDate(int year, int month, int day) noexcept;

// Fails for a negative file time (as the system conversion does).
KESTRUM_COMMON_EXPORT bool FileTimeToCalendar(std::int64_t fileTime, CalendarTime& out) noexcept;
// Fails for fields out of range and years outside 1601..30827.
KESTRUM_COMMON_EXPORT bool CalendarToFileTime(const CalendarTime& time, std::int64_t& out) noexcept;

// Local-time conversions of 32-bit calendar times: fail for negative times,
// impossible fields, years outside 1970..2038 and results beyond 32 bits.
KESTRUM_COMMON_EXPORT bool LocalSecondsToCalendar(std::int32_t seconds, CalendarTime& out) noexcept;
KESTRUM_COMMON_EXPORT bool CalendarToLocalSeconds(const CalendarTime& time, std::int32_t& out) noexcept;

} // namespace Kestrum::Common
