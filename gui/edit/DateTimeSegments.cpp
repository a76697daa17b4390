#include "gui/edit/DateTimeSegments.h"

#include <algorithm>
#include <cstdio>

namespace Kestrum::GUI {

using Common::CalendarTime;

namespace {

// A value read back starts from here where the editor has nothing better.
constexpr CalendarTime kFileTimeBase{2000, 1, 1, 1, 1, 1, 0};

struct Limits {
    std::int32_t field;
    int digits;
    int minimum;
    int maximum;
};
constexpr Limits kLimits[] = {
    {Common::DF_YEAR4, 4, 1970, 2038}, {Common::DF_YEAR2, 2, 1970, 2038}, {Common::DF_MONTH, 2, 1, 12},
    {Common::DF_DAY, 2, 1, 31},        {Common::DF_HOUR, 2, 0, 23},       {Common::DF_MINUTE, 2, 0, 59},
    {Common::DF_SECOND, 2, 0, 59},     {Common::DF_MILLISECOND, 3, 0, 999},
};

const Limits& LimitsOf(std::int32_t field)
{
    for (const Limits& limits : kLimits)
        if (limits.field == field)
            return limits;
    return kLimits[0];
}

int PowerOfTen(int digits)
{
    int power = 1;
    for (int i = 0; i < digits; ++i)
        power *= 10;
    return power;
}

// A year as typed into a two-digit segment is completed as the date formats
// complete it; a full year (a value set, or stepped within the limits) stays.
int FullYear(int year) { return year >= 100 ? year : year < 70 ? 2000 + year : 1900 + year; }

int DaysInMonth(int year, int month)
{
    for (int day = 31; day > 28; --day)
        if (Common::IsValidDate(year, month, day))
            return day;
    return 28;
}

} // namespace

CDateTimeSegments::CDateTimeSegments(std::int32_t flags, const Common::DateTimeSettings& settings) : m_flags(flags)
{
    std::vector<std::int32_t> date;
    const auto years = [&] {
        if (flags & Common::DF_YEAR4)
            date.push_back(Common::DF_YEAR4);
        if (flags & Common::DF_YEAR2)
            date.push_back(Common::DF_YEAR2);
    };
    const auto field = [&](std::int32_t bit) {
        if (flags & bit)
            date.push_back(bit);
    };
    if (settings.dateOrder == 0) {
        field(Common::DF_DAY);
        field(Common::DF_MONTH);
        years();
    } else if (settings.dateOrder == 1) {
        field(Common::DF_MONTH);
        field(Common::DF_DAY);
        years();
    } else {
        years();
        field(Common::DF_MONTH);
        field(Common::DF_DAY);
    }
    // The last date segment is followed by a space, the others by the date
    // separator.
    for (std::size_t i = 0; i < date.size(); ++i)
        Add(date[i], i + 1 < date.size() ? settings.dateSeparator : std::string(" "));
    const std::int32_t time[] = {Common::DF_HOUR, Common::DF_MINUTE, Common::DF_SECOND, Common::DF_MILLISECOND};
    for (int i = 0; i < 4; ++i) {
        if (!(flags & time[i]))
            continue;
        std::string separator;
        const bool next = i + 1 < 4 && (flags & time[i + 1]);
        if (next && i < 2)
            separator = settings.timeSeparator;
        else if (next && i == 2)
            separator = settings.decimalSeparator;
        Add(time[i], separator);
    }
}

void CDateTimeSegments::Add(std::int32_t field, const std::string& separator)
{
    const Limits& limits = LimitsOf(field);
    Segment segment;
    segment.field = field;
    segment.digits = limits.digits;
    segment.minimum = limits.minimum;
    segment.maximum = limits.maximum;
    segment.value = limits.minimum;
    segment.length = limits.digits;
    segment.separator = separator;
    m_segments.push_back(segment);
    UpdateText(m_segments.back());
}

void CDateTimeSegments::UpdateText(Segment& segment)
{
    const int shown = segment.value % PowerOfTen(segment.digits);
    const int width = std::clamp(segment.length, 1, segment.digits);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, shown);
    segment.text = buffer;
}

void CDateTimeSegments::Put(Segment& segment, int value)
{
    segment.value = value;
    segment.length = segment.digits;
    UpdateText(segment);
}

CDateTimeSegments::Segment* CDateTimeSegments::FindSegment(std::int32_t field)
{
    const int index = Find(field);
    return index < 0 ? nullptr : &m_segments[static_cast<std::size_t>(index)];
}

const CDateTimeSegments::Segment* CDateTimeSegments::FindSegment(std::int32_t field) const
{
    const int index = Find(field);
    return index < 0 ? nullptr : &m_segments[static_cast<std::size_t>(index)];
}

int CDateTimeSegments::Find(std::int32_t field) const
{
    for (int i = 0; i < Count(); ++i)
        if (m_segments[static_cast<std::size_t>(i)].field == field)
            return i;
    return -1;
}

std::string CDateTimeSegments::Text() const
{
    std::string text;
    for (const Segment& segment : m_segments)
        text += segment.text + segment.separator;
    return text;
}

// --- selection, stepping and typing ------------------------------------------------------

bool CDateTimeSegments::Select(int index)
{
    if (index < -1 || index >= Count())
        return false;
    m_selected = index;
    if (index >= 0) {
        Segment& segment = m_segments[static_cast<std::size_t>(index)];
        segment.length = segment.digits;
        UpdateText(segment);
    }
    return true;
}

void CDateTimeSegments::SelectPrevious()
{
    if (Count() > 0)
        Select(m_selected <= 0 ? Count() - 1 : m_selected - 1);
}

void CDateTimeSegments::SelectNext()
{
    if (Count() > 0)
        Select(m_selected < 0 || m_selected >= Count() - 1 ? 0 : m_selected + 1);
}

void CDateTimeSegments::Step(int direction)
{
    if (m_selected < 0 || m_selected >= Count()) {
        if (Count() > 0)
            m_selected = 0;
        return;
    }
    Segment& segment = m_segments[static_cast<std::size_t>(m_selected)];
    int value = segment.value + direction;
    if (direction > 0 && (value > segment.maximum || value < segment.minimum))
        value = segment.minimum;
    else if (direction < 0 && (value < segment.minimum || value > segment.maximum))
        value = segment.maximum;
    Put(segment, value);
}

void CDateTimeSegments::StepToLimit(bool maximum)
{
    if (m_selected < 0 || m_selected >= Count())
        return;
    Segment& segment = m_segments[static_cast<std::size_t>(m_selected)];
    Put(segment, maximum ? segment.maximum : segment.minimum);
}

void CDateTimeSegments::Type(int digit)
{
    if (m_selected < 0 || m_selected >= Count() || digit < 0 || digit > 9)
        return;
    Segment& segment = m_segments[static_cast<std::size_t>(m_selected)];
    const int limit = PowerOfTen(segment.digits);
    const int length = static_cast<int>(segment.text.size());
    if (segment.value >= limit || length + 1 > segment.digits) {
        // A value wider than the segment (a full year in two digits), or a
        // full segment: the digit starts the segment afresh.
        segment.value = digit;
        segment.length = 1;
    } else {
        segment.value = segment.value * 10 + digit;
        segment.length = length + 1;
    }
    UpdateText(segment);
}

// --- fields and value --------------------------------------------------------------------

void CDateTimeSegments::Fill(const CalendarTime& time)
{
    for (Segment& segment : m_segments) {
        switch (segment.field) {
        case Common::DF_YEAR4:
        case Common::DF_YEAR2: Put(segment, time.year); break;
        case Common::DF_MONTH: Put(segment, time.month); break;
        case Common::DF_DAY: Put(segment, time.day); break;
        case Common::DF_HOUR: Put(segment, time.hour); break;
        case Common::DF_MINUTE: Put(segment, time.minute); break;
        case Common::DF_SECOND: Put(segment, time.second); break;
        case Common::DF_MILLISECOND: Put(segment, time.millisecond); break;
        default: break;
        }
    }
}

void CDateTimeSegments::Read(CalendarTime& time) const
{
    // The four-digit year wins over the two-digit one.
    if (const Segment* year = FindSegment(Common::DF_YEAR4))
        time.year = year->value;
    else if (const Segment* shortYear = FindSegment(Common::DF_YEAR2))
        time.year = FullYear(shortYear->value);
    if (const Segment* month = FindSegment(Common::DF_MONTH))
        time.month = month->value;
    if (const Segment* day = FindSegment(Common::DF_DAY))
        time.day = day->value;
    if (const Segment* hour = FindSegment(Common::DF_HOUR))
        time.hour = hour->value;
    if (const Segment* minute = FindSegment(Common::DF_MINUTE))
        time.minute = minute->value;
    if (const Segment* second = FindSegment(Common::DF_SECOND))
        time.second = second->value;
    if (const Segment* millisecond = FindSegment(Common::DF_MILLISECOND))
        time.millisecond = millisecond->value;
}

void CDateTimeSegments::PutDate(int year, int month, int day)
{
    for (Segment& segment : m_segments) {
        if (segment.field == Common::DF_YEAR4 || segment.field == Common::DF_YEAR2)
            Put(segment, year);
        else if (segment.field == Common::DF_MONTH)
            Put(segment, month);
        else if (segment.field == Common::DF_DAY)
            Put(segment, day);
    }
}

CalendarTime CDateTimeSegments::CalendarDate(const CalendarTime& today) const
{
    CalendarTime time = today;
    if (const Segment* year = FindSegment(Common::DF_YEAR4))
        time.year = year->value;
    else if (const Segment* shortYear = FindSegment(Common::DF_YEAR2))
        time.year = FullYear(shortYear->value);
    if (const Segment* month = FindSegment(Common::DF_MONTH))
        time.month = std::clamp(month->value, 1, 12);
    if (const Segment* day = FindSegment(Common::DF_DAY))
        time.day = day->value;
    time.day = std::clamp(time.day, 1, DaysInMonth(time.year, time.month));
    return time;
}

bool CDateTimeSegments::SetValue(int kind, std::int64_t value)
{
    CalendarTime time;
    if (kind == SecondsSince1970) {
        if (value < 0 || value > INT32_MAX || !Common::LocalSecondsToCalendar(static_cast<std::int32_t>(value), time))
            return false;
    } else if (kind == FileTime) {
        if (!Common::FileTimeToCalendar(value, time))
            return false;
    } else {
        return false;
    }
    m_kind = kind;
    m_lastValue = value;
    m_hasValue = true;
    Fill(time);
    return true;
}

bool CDateTimeSegments::GetValue(int kind, std::int64_t& value) const
{
    const bool known = m_hasValue && m_kind == kind;
    if (kind == SecondsSince1970) {
        CalendarTime time;
        if (known)
            Common::LocalSecondsToCalendar(static_cast<std::int32_t>(m_lastValue), time);
        else
            time = kFileTimeBase;
        Read(time);
        std::int32_t seconds = 0;
        if (!Common::CalendarToLocalSeconds(time, seconds)) {
            // An impossible date is never read as another one: the value
            // last set stands.
            if (!known)
                return false;
            value = m_lastValue;
            return true;
        }
        value = seconds;
        return true;
    }
    if (kind == FileTime) {
        // Fields without a segment, and the ticks below a millisecond, come
        // from the value last set: opening and closing the editor changes
        // nothing.
        CalendarTime time = kFileTimeBase;
        std::int64_t belowMillisecond = 0;
        if (known && Common::FileTimeToCalendar(m_lastValue, time))
            belowMillisecond = m_lastValue % Common::kTicksPerMillisecond;
        Read(time);
        std::int64_t fileTime = 0;
        if (!Common::CalendarToFileTime(time, fileTime))
            return false;
        value = fileTime + belowMillisecond;
        return true;
    }
    return false;
}

} // namespace Kestrum::GUI
