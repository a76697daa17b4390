#include "common/TextScan.h"

#include <algorithm>
#include <limits>

namespace Kestrum::Common::TextScan {

bool DropBeforeFirstOf(std::string& text, std::string_view set)
{
    const auto position = text.find_first_of(set);
    if (position == std::string::npos)
        return false;
    text.erase(0, position);
    return true;
}

void CutAfterLastOf(std::string& text, std::string_view set)
{
    const auto position = text.find_last_of(set);
    if (position == std::string::npos)
        text.clear();
    else
        text.erase(position + 1);
}

void KeepOnly(std::string& text, std::string_view set)
{
    std::erase_if(text, [&](char c) { return set.find(c) == std::string_view::npos; });
}

void RemoveAll(std::string& text, std::string_view set)
{
    std::erase_if(text, [&](char c) { return set.find(c) != std::string_view::npos; });
}

void ReplaceFirst(std::string& text, char from, char to)
{
    if (const auto position = text.find(from); position != std::string::npos)
        text[position] = to;
}

std::optional<std::uint64_t> ParseDecimal(std::string_view digits, std::uint64_t limit)
{
    std::uint64_t value = 0;
    for (const char c : digits) {
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (digit > limit || value > (limit - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<std::int64_t> CheckedAtoi(std::string_view text, std::uint64_t positiveLimit,
                                        std::uint64_t negativeLimit)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::size_t end = i;
    while (end < text.size() && IsDigit(text[end]))
        ++end;
    const auto magnitude = ParseDecimal(text.substr(i, end - i), negative ? negativeLimit : positiveLimit);
    if (!magnitude)
        return std::nullopt;
    if (!negative)
        return static_cast<std::int64_t>(*magnitude);
    // Negating in unsigned arithmetic keeps -2^63 defined.
    return static_cast<std::int64_t>(0 - *magnitude);
}

std::string GroupDigits(std::string_view digits, char separator)
{
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0)
            out.push_back(separator);
        out.push_back(digits[i]);
    }
    return out;
}

} // namespace Kestrum::Common::TextScan
