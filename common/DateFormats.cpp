#include "common/DateFormats.h"

#include <cstdarg>
#include <cstdio>
#include <limits>
#include <vector>

#include "common/Calendar.h"
#include "common/TextScan.h"

namespace Kestrum::Common {

using namespace TextScan;

const DateTimeSettings& GetDateTimeSettings()
{
    static const DateTimeSettings settings;
    return settings;
}

namespace {

// printf of integers only, which does not depend on the locale.
[[gnu::format(printf, 1, 2)]] std::string Print(const char* pattern, ...)
{
    char buffer[128];
    va_list arguments;
    va_start(arguments, pattern);
    const int length = std::vsnprintf(buffer, sizeof buffer, pattern, arguments);
    va_end(arguments);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(std::min<int>(length, sizeof buffer - 1)))
                      : std::string();
}

std::string DatePart(const CalendarTime& t, std::int32_t flags, const DateTimeSettings& settings)
{
    const char* sep = settings.dateSeparator.c_str();
    const int order = settings.dateOrder;
    const int yy = t.year % 100;
    switch (flags & 15) {
    case 1: return Print("%.4d", t.year);
    case 2: return Print("%.2d", yy);
    case 4: return Print("%.2d", t.month);
    case 8: return Print("%.2d", t.day);
    case 5: return order == 2 ? Print("%.4d%s%.2d", t.year, sep, t.month) : Print("%.2d%s%.4d", t.month, sep, t.year);
    case 6: return order == 2 ? Print("%.2d%s%.2d", yy, sep, t.month) : Print("%.2d%s%.2d", t.month, sep, yy);
    case 12: return order == 0 ? Print("%.2d%s%.2d", t.day, sep, t.month) : Print("%.2d%s%.2d", t.month, sep, t.day);
    case 13:
        if (order == 0) return Print("%.2d%s%.2d%s%.4d", t.day, sep, t.month, sep, t.year);
        if (order == 1) return Print("%.2d%s%.2d%s%.4d", t.month, sep, t.day, sep, t.year);
        return Print("%.4d%s%.2d%s%.2d", t.year, sep, t.month, sep, t.day);
    case 14:
        if (order == 0) return Print("%.2d%s%.2d%s%.2d", t.day, sep, t.month, sep, yy);
        if (order == 1) return Print("%.2d%s%.2d%s%.2d", t.month, sep, t.day, sep, yy);
        return Print("%.2d%s%.2d%s%.2d", yy, sep, t.month, sep, t.day);
    default: return {};
    }
}

std::string FileTimeClock(const CalendarTime& t, std::int32_t bits)
{
    switch (bits) {
    case 16: return Print("%.2d", t.hour);
    case 32: return Print("%.2d", t.minute);
    case 48: return Print("%.2d:%.2d", t.hour, t.minute);
    case 64: return Print("%.2d", t.second);
    case 96: return Print("%.2d:%.2d", t.minute, t.second);
    case 112: return Print("%.2d:%.2d:%.2d", t.hour, t.minute, t.second);
    case 128: return Print("%.3d", t.millisecond);
    case 192: return Print("%.2d.%.3d", t.second, t.millisecond);
    case 224: return Print("%.2d:%.2d.%.3d", t.minute, t.second, t.millisecond);
    case 240: return Print("%.2d:%.2d:%.2d.%.3d", t.hour, t.minute, t.second, t.millisecond);
    default: return {};
    }
}

std::string LocalClock(const CalendarTime& t, std::int32_t bits, const std::string& sep)
{
    switch (bits) {
    case 16: return Print("%.2d", t.hour);
    case 32: return Print("%.2d", t.minute);
    case 64: return Print("%.2d", t.second);
    case 48: return Print("%.2d", t.hour) + sep + Print("%.2d", t.minute);
    case 96: return Print("%.2d", t.minute) + sep + Print("%.2d", t.second);
    case 112: return Print("%.2d", t.hour) + sep + Print("%.2d", t.minute) + sep + Print("%.2d", t.second);
    default: return {};
    }
}

// Trims to the stretch from the first digit to the last digit.
std::string TrimToDigits(const std::string& source)
{
    const auto first = source.find_first_of("0123456789");
    if (first == std::string::npos)
        return {};
    const auto last = source.find_last_of("0123456789");
    return source.substr(first, last - first + 1);
}

// Tokens between separator characters, collected from the end of the text.
std::vector<std::string> TokensFromEnd(const std::string& text, const std::string& separators)
{
    std::vector<std::string> tokens;
    std::size_t end = text.size();
    while (end > 0) {
        const auto separator = text.find_last_of(separators, end - 1);
        const std::size_t start = separator == std::string::npos ? 0 : separator + 1;
        if (start < end)
            tokens.push_back(text.substr(start, end - start));
        if (separator == std::string::npos)
            break;
        end = separator;
    }
    return tokens;
}

bool ContainsAnyOf(const std::string& text, const std::string& set)
{
    return text.find_first_of(set) != std::string::npos;
}

std::optional<int> TokenNumber(const std::string& token)
{
    const auto number = CheckedAtoi(token, std::numeric_limits<std::int32_t>::max(), 1ull << 31);
    if (!number)
        return std::nullopt;
    return static_cast<int>(*number);
}

enum class YearRule { FileTime, Local };

// The date parse shared by both date formats: fills `time` from the text
// with the flags; false when a number is out of every range.
bool ParseDateText(const std::string& source, std::int32_t flags, YearRule rule, CalendarTime& time)
{
    const DateTimeSettings& settings = GetDateTimeSettings();
    std::string text = source;
    if (!DropBeforeFirstOf(text, "0123456789"))
        text.clear();
    const auto lastDigit = text.find_last_of("0123456789");
    if (lastDigit != std::string::npos && lastDigit != 0)
        text.erase(lastDigit + 1);

    int milliseconds = 0;
    if (rule == YearRule::FileTime) {
        ReplaceFirst(text, ',', '.');
        if (const auto dot = text.find('.'); dot != std::string::npos) {
            static constexpr int weights[] = {100, 10, 1};
            for (std::size_t i = 0; i < 3 && dot + 1 + i < text.size() && IsDigit(text[dot + 1 + i]); ++i)
                milliseconds += (text[dot + 1 + i] - '0') * weights[i];
            text.erase(dot);
        } else if (flags == DF_MILLISECOND) {
            const auto number = TokenNumber(text);
            if (!number)
                return false;
            milliseconds = *number;
            text.clear();
        }
    }

    std::string partA, partB;
    const auto blank = text.find_first_of(" \t");
    if (blank != std::string::npos && blank > 0) {
        partA = text.substr(0, blank);
        partB = text.substr(blank + 1);
    } else {
        partB = text;
    }
    partA = TrimToDigits(partA);
    partB = TrimToDigits(partB);

    const std::string dateSeparators = settings.dateSeparator + "/";
    const std::string timeSeparators = settings.timeSeparator + settings.decimalSeparator + ":.,";
    enum Source { None, A, B };
    Source dateFrom = ContainsAnyOf(partA, dateSeparators) ? A : (ContainsAnyOf(partB, dateSeparators) ? B : None);
    Source timeFrom = ContainsAnyOf(partA, timeSeparators) ? A : (ContainsAnyOf(partB, timeSeparators) ? B : None);
    std::string dateText, timeText;
    const bool wantsDate = (flags & 15) != 0;
    if (dateFrom == None && timeFrom != None) {
        dateFrom = timeFrom == A ? B : A;
    } else if (timeFrom == None && dateFrom != None) {
        timeFrom = dateFrom != A ? A : B;
    } else if (dateFrom == None && timeFrom == None) {
        if (partA.empty())
            (wantsDate ? dateFrom : timeFrom) = B;
        else if (!partB.empty()) {
            dateFrom = A;
            timeFrom = B;
        } else
            (wantsDate ? dateFrom : timeFrom) = A;
    }
    if (dateFrom != None)
        dateText = dateFrom == A ? partA : partB;
    if (timeFrom != None)
        timeText = timeFrom == A ? partA : partB;

    time = CalendarTime{2000, 1, 1, 1, 0, 0, milliseconds};

    const std::vector<std::string> dateTokens = TokensFromEnd(dateText, dateSeparators);
    std::vector<std::pair<std::int32_t, int*>> dateFields;
    switch (settings.dateOrder) {
    case 0: dateFields = {{DF_YEAR4, &time.year}, {DF_YEAR2, &time.year}, {DF_MONTH, &time.month}, {DF_DAY, &time.day}}; break;
    case 1: dateFields = {{DF_YEAR4, &time.year}, {DF_YEAR2, &time.year}, {DF_DAY, &time.day}, {DF_MONTH, &time.month}}; break;
    case 2: dateFields = {{DF_DAY, &time.day}, {DF_MONTH, &time.month}, {DF_YEAR4, &time.year}, {DF_YEAR2, &time.year}}; break;
    default: break;
    }
    std::size_t next = 0;
    for (const auto& [flag, field] : dateFields) {
        if ((flags & flag) == 0 || next >= dateTokens.size())
            continue;
        const auto number = TokenNumber(dateTokens[next++]);
        if (!number)
            return false;
        *field = *number;
    }
    if (time.year >= 0 && time.year < 100) {
        if (time.year >= 70)
            time.year += 1900;
        else if (rule == YearRule::FileTime || time.year <= 38)
            time.year += 2000;
    }

    if (const auto decimal = timeText.find_last_of(settings.decimalSeparator + ".,"); decimal != std::string::npos)
        timeText.erase(decimal);
    const std::vector<std::string> timeTokens = TokensFromEnd(timeText, settings.timeSeparator + ":");
    const std::pair<std::int32_t, int*> timeFields[] = {
        {DF_SECOND, &time.second}, {DF_MINUTE, &time.minute}, {DF_HOUR, &time.hour}};
    next = 0;
    for (const auto& [flag, field] : timeFields) {
        if ((flags & flag) == 0 || next >= timeTokens.size())
            continue;
        const auto number = TokenNumber(timeTokens[next++]);
        if (!number)
            return false;
        *field = *number;
    }
    return true;
}

} // namespace

std::string CInt64DateFormat::FormatValue(std::int64_t value, CDataObject*) const
{
    CalendarTime time;
    if (!FileTimeToCalendar(value, time))
        return {};
    std::string text = DatePart(time, m_flags, GetDateTimeSettings());
    const std::int32_t clockBits = m_flags & 240;
    if (clockBits != 0 && !text.empty())
        text.push_back(' ');
    return text + FileTimeClock(time, clockBits);
}

bool CInt64DateFormat::ParseValue(const std::string& text, std::int64_t& out, CDataObject*) const
{
    CalendarTime time;
    std::int64_t fileTime = 0;
    if (!ParseDateText(text, m_flags, YearRule::FileTime, time) || !CalendarToFileTime(time, fileTime))
        return false;
    out = fileTime;
    return true;
}

// The date formats store their flag word after the version.
static void SerializeFlags(CSerializer& serializer, std::int32_t& flags)
{
    if (serializer.IsRestoring())
        serializer.Restore(flags);
    else
        serializer.Store(flags);
}

void CInt64DateFormat::Serialize(CSerializer& serializer)
{
    if (SerializeVersion(serializer))
        SerializeFlags(serializer, m_flags);
}

std::string CLongDateFormat::FormatValue(std::int32_t value, CDataObject*) const
{
    CalendarTime time;
    if (!LocalSecondsToCalendar(value, time))
        return {};
    const DateTimeSettings& settings = GetDateTimeSettings();
    std::string text = DatePart(time, m_flags, settings);
    const std::int32_t clockBits = m_flags & 112;
    if (clockBits != 0 && !text.empty())
        text.push_back(' ');
    return text + LocalClock(time, clockBits, settings.timeSeparator);
}

bool CLongDateFormat::ParseValue(const std::string& text, std::int32_t& out, CDataObject*) const
{
    CalendarTime time;
    std::int32_t seconds = 0;
    if (!ParseDateText(text, m_flags, YearRule::Local, time) || !CalendarToLocalSeconds(time, seconds))
        return false;
    out = seconds;
    return true;
}

void CLongDateFormat::Serialize(CSerializer& serializer)
{
    if (SerializeVersion(serializer))
        SerializeFlags(serializer, m_flags);
}

CLongMsecTimeFormat::CLongMsecTimeFormat(std::int32_t units, bool fixedWidth, const std::string& timeSuffix,
                                         const std::string& daySuffix)
    : CTypedFormat(FT_LONG), m_units(units), m_fixedWidth(fixedWidth),
      m_daySuffix(std::make_unique<std::string>(daySuffix)), m_timeSuffix(std::make_unique<std::string>(timeSuffix))
{
}

CLongMsecTimeFormat::CLongMsecTimeFormat(const CLongMsecTimeFormat& other)
    : CTypedFormat(other), m_units(other.m_units), m_fixedWidth(other.m_fixedWidth),
      m_daySuffix(std::make_unique<std::string>(*other.m_daySuffix)),
      m_timeSuffix(std::make_unique<std::string>(*other.m_timeSuffix))
{
}

std::string CLongMsecTimeFormat::FormatValue(std::int32_t value, CDataObject*) const
{
    // 64-bit arithmetic: the most negative value has a positive magnitude.
    const bool negative = value < 0;
    const std::int64_t v = negative ? -static_cast<std::int64_t>(value) : value;
    const bool showDays = (m_units & DU_DAYS) != 0;
    const bool showHours = (m_units & DU_HOURS) != 0;
    const bool showMinutes = (m_units & DU_MINUTES) != 0;

    const std::int64_t days = v / 86'400'000;
    std::string dayPart;
    if (showDays && (m_fixedWidth || days != 0 || m_units == DU_DAYS))
        dayPart = std::to_string(days) + *m_daySuffix;

    const std::int64_t h = showDays ? v / 3'600'000 % 24 : v / 3'600'000;
    const std::int64_t m = showHours ? v / 60'000 % 60 : v / 60'000;
    const std::int64_t s = showMinutes ? v / 1000 % 60 : v / 1000;
    const std::int32_t timeUnits = m_units & 30;
    const std::int64_t ms = timeUnits == DU_MILLISECONDS ? v : v % 1000;
    const auto d = [](std::int64_t n) { return std::to_string(n); };
    const auto d2 = [](std::int64_t n) { return Print("%.2lld", static_cast<long long>(n)); };
    const auto d3 = [](std::int64_t n) { return Print("%.3lld", static_cast<long long>(n)); };

    std::string timePart;
    const bool fixed = m_fixedWidth;
    switch (timeUnits) {
    case 2: timePart = fixed ? d2(h) : d(h); break;
    case 4: timePart = fixed ? d2(m) : d(m); break;
    case 6: timePart = fixed ? d2(h) + ":" + d2(m) : (h ? d(h) + ":" + d2(m) : d(m)); break;
    case 8: timePart = fixed ? d2(s) : d(s); break;
    case 12: timePart = fixed ? d2(m) + ":" + d2(s) : (m ? d(m) + ":" + d2(s) : d(s)); break;
    case 14:
        timePart = fixed ? d2(h) + ":" + d2(m) + ":" + d2(s)
                         : (h ? d(h) + ":" + d2(m) + ":" + d2(s) : (m ? d(m) + ":" + d2(s) : d(s)));
        break;
    case 16: timePart = fixed ? d3(ms) : d(ms); break;
    case 24: timePart = fixed ? d2(s) + "." + d3(ms) : (s ? d(s) + "." + d3(ms) : d(ms)); break;
    case 28:
        timePart = fixed ? d2(m) + ":" + d2(s) + "." + d3(ms)
                         : (m ? d(m) + ":" + d2(s) + "." + d3(ms) : (s ? d(s) + "." + d3(ms) : d(ms)));
        break;
    case 30:
        timePart = fixed ? d2(h) + ":" + d2(m) + ":" + d2(s) + "." + d3(ms)
                         : (h ? d(h) + ":" + d2(m) + ":" + d2(s) + "." + d3(ms)
                              : (m ? d(m) + ":" + d2(s) + "." + d3(ms) : (s ? d(s) + "." + d3(ms) : d(ms))));
        break;
    default: break;
    }

    std::string text = dayPart;
    if (!dayPart.empty() && !timePart.empty())
        text.push_back(' ');
    if (!timePart.empty())
        text += timePart + *m_timeSuffix;

    bool anyNonZero = showDays && days != 0;
    anyNonZero = anyNonZero || (showHours && h != 0) || (showMinutes && m != 0) ||
                 ((m_units & DU_SECONDS) != 0 && s != 0) || ((m_units & DU_MILLISECONDS) != 0 && ms != 0);
    if (negative && anyNonZero)
        text.insert(text.begin(), '-');
    return text;
}

bool CLongMsecTimeFormat::ParseValue(const std::string& source, std::int32_t& out, CDataObject*) const
{
    // The units must form one unbroken run.
    const std::int32_t units = m_units & 31;
    if (units == 0)
        return false;
    const std::int32_t lowest = units & -units;
    if (((units / lowest) & ((units / lowest) + 1)) != 0)
        return false;

    std::string text = source;
    if (!DropBeforeFirstOf(text, "0123456789-"))
        text.clear();
    const bool negative = !text.empty() && text[0] == '-';
    if (!DropBeforeFirstOf(text, "0123456789"))
        text.clear();
    CutAfterLastOf(text, "0123456789");
    KeepOnly(text, "0123456789.,:;/ \t");

    std::vector<std::int64_t> runs; // from the end of the text
    constexpr std::int64_t kRunLimit = std::numeric_limits<std::int32_t>::max();
    std::size_t end = text.size();
    while (end > 0) {
        std::size_t start = end;
        while (start > 0 && IsDigit(text[start - 1]))
            --start;
        if (start < end) {
            const auto number = ParseDecimal(std::string_view(text).substr(start, end - start), kRunLimit);
            if (!number)
                return false;
            runs.push_back(static_cast<std::int64_t>(*number));
        }
        end = start;
        while (end > 0 && !IsDigit(text[end - 1]))
            --end;
    }

    std::int64_t fields[5] = {}; // ms, s, min, h, days
    static constexpr std::int32_t order[5] = {DU_MILLISECONDS, DU_SECONDS, DU_MINUTES, DU_HOURS, DU_DAYS};
    std::size_t next = 0;
    for (int i = 0; i < 5; ++i)
        if ((units & order[i]) != 0 && next < runs.size())
            fields[i] = runs[next++];

    const std::int64_t total = (((fields[4] * 24 + fields[3]) * 60 + fields[2]) * 60 + fields[1]) * 1000 + fields[0];
    const std::int64_t value = negative ? -total : total;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return false;
    out = static_cast<std::int32_t>(value);
    return true;
}

void CLongMsecTimeFormat::Serialize(CSerializer& serializer)
{
    if (!SerializeVersion(serializer))
        return;
    if (serializer.IsRestoring()) {
        std::int32_t units = 0;
        bool fixedWidth = false;
        std::string daySuffix, timeSuffix;
        serializer.Restore(units);
        serializer.Restore(fixedWidth);
        serializer.Restore(daySuffix);
        serializer.Restore(timeSuffix);
        m_units = units;
        m_fixedWidth = fixedWidth;
        *m_daySuffix = std::move(daySuffix);
        *m_timeSuffix = std::move(timeSuffix);
    } else {
        serializer.Store(m_units);
        serializer.Store(m_fixedWidth);
        serializer.Store(*m_daySuffix);
        serializer.Store(*m_timeSuffix);
    }
}

} // namespace Kestrum::Common
