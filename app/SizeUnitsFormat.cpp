#include "app/SizeUnitsFormat.h"

#include <charconv>
#include <cstdio>

namespace Velmora {

std::string CSizeUnitsFormat::FormatValue(std::int64_t value, Kestrum::Common::CDataObject*) const
{
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    const bool negative = value < 0;
    // The magnitude as unsigned: the most negative value has no positive twin.
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    char text[32];
    if (magnitude < 1024) {
        std::snprintf(text, sizeof text, "%s%llu B", negative ? "-" : "", static_cast<unsigned long long>(magnitude));
        return text;
    }
    double scaled = static_cast<double>(magnitude);
    int unit = 0;
    // 1023.96 KiB would print as "1024.0 KiB": such a value moves up a unit.
    while (unit < 6 && scaled >= 1023.95) {
        scaled /= 1024;
        ++unit;
    }
    // Written without the locale: a point, whatever the user's numbers use.
    std::string result = negative ? "-" : "";
    const auto written = std::to_chars(text, text + sizeof text, scaled, std::chars_format::fixed, 1);
    result.append(text, written.ptr);
    return result + " " + units[unit];
}

bool CSizeUnitsFormat::ParseValue(const std::string&, std::int64_t&, Kestrum::Common::CDataObject*) const { return false; }

std::string CPercentFormat::FormatValue(double value, Kestrum::Common::CDataObject*) const
{
    char text[400]; // the largest double written out in full
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    return std::string(text, written.ptr) + "%";
}

bool CPercentFormat::ParseValue(const std::string&, double&, Kestrum::Common::CDataObject*) const { return false; }

} // namespace Velmora
