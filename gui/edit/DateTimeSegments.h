// CDateTimeSegments: the segment model of the date and time editor
// (CEmbeddedDateTimeCtrl), without a window: the segments a date format's
// flag word asks for, in the order of the date and time settings, their
// limits and texts, the selected segment, stepping, typing digits, and the
// value composed from the segments and read back into them.
//
// A segment's text is its value modulo 10^digits, padded with zeros to the
// number of digits it shows (all of them, except while digits are being
// typed into it). Typed values are not held to the limits; stepping is, and
// reading the value refuses an impossible date.
//
// Plain data: one thread at a time.
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>
#include <string>
#include <vector>

#include "common/Calendar.h"
#include "common/DateFormats.h"

namespace Kestrum::GUI {

class KESTRUM_GRIDCORE_EXPORT CDateTimeSegments {
public:
    // The flag bits of the date and of the time segments.
    static constexpr std::int32_t kDateBits =
        Common::DF_YEAR4 | Common::DF_YEAR2 | Common::DF_MONTH | Common::DF_DAY;
    static constexpr std::int32_t kTimeBits =
        Common::DF_HOUR | Common::DF_MINUTE | Common::DF_SECOND | Common::DF_MILLISECOND;
    // What the value counts (as the date reflectors name it).
    enum ValueKind : int { SecondsSince1970 = 1, FileTime = 2 };

    struct Segment {
        std::int32_t field = 0; // its flag bit
        int digits = 2;
        int minimum = 0;
        int maximum = 0;
        int value = 0;
        int length = 2; // digits shown at least (grows while digits are typed)
        std::string text;
        std::string separator; // drawn after the segment
    };

    // Every segment holds its minimum and nothing is selected.
    explicit CDateTimeSegments(std::int32_t flags,
                               const Common::DateTimeSettings& settings = Common::GetDateTimeSettings());

    std::int32_t Flags() const { return m_flags; }
    bool HasDateSegments() const { return (m_flags & kDateBits) != 0; }
    bool HasTimeSegments() const { return (m_flags & kTimeBits) != 0; }

    // The segments in display order.
    int Count() const { return static_cast<int>(m_segments.size()); }
    const std::vector<Segment>& Segments() const { return m_segments; }
    // The index of the segment of a field (flag bit), or -1.
    int Find(std::int32_t field) const;
    // Every segment's text and separator.
    std::string Text() const;

    // -1: none. Selecting shows the segment's digits whole, so the next
    // digit typed replaces its value. Out of range: refused (false).
    int Selected() const { return m_selected; }
    bool Select(int index);
    // Left and Right: the previous or next segment, wrapping around.
    void SelectPrevious();
    void SelectNext();

    // Up (+1) and Down (-1) on the selected segment, wrapping at its limits;
    // with nothing selected the first segment is selected instead.
    void Step(int direction);
    // Home and End: the selected segment takes its minimum or maximum.
    void StepToLimit(bool maximum);
    // A digit 0-9 typed into the selected segment: it appends until the
    // segment is full, then starts the segment afresh.
    void Type(int digit);

    // The segments take the fields of `time`.
    void Fill(const Common::CalendarTime& time);
    // The segments' fields over `time` (fields without a segment stay); a
    // two-digit year is completed as the date formats complete it.
    void Read(Common::CalendarTime& time) const;
    // The date picked in a calendar goes to the year, month and day segments.
    void PutDate(int year, int month, int day);
    // The date the calendar opens at: the segments' year, month and day over
    // `today`'s, the month held to 1..12 and the day to the month's length.
    Common::CalendarTime CalendarDate(const Common::CalendarTime& today) const;

    // Sets the value (seconds since 1970, in local time, or a file time);
    // false for another kind or a value that is no date.
    bool SetValue(int kind, std::int64_t value);
    // The value of the segments, fields without a segment taken from the
    // value last set of that kind. Seconds: an impossible date reads as the
    // value last set (false when there is none). File time: false when the
    // fields make no date.
    bool GetValue(int kind, std::int64_t& value) const;

private:
    void Add(std::int32_t field, const std::string& separator);
    void Put(Segment& segment, int value);
    static void UpdateText(Segment& segment);
    Segment* FindSegment(std::int32_t field);
    const Segment* FindSegment(std::int32_t field) const;

    std::vector<Segment> m_segments;
    int m_selected = -1;
    std::int32_t m_flags = 0;
    int m_kind = 0;
    std::int64_t m_lastValue = 0;
    bool m_hasValue = false;
};

} // namespace Kestrum::GUI
