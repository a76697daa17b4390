// Small text-cleaning steps shared by the lenient parsers of the formats.
// All work on bytes in the C locale.
#pragma once

#include "common/Export.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Kestrum::Common::TextScan {

inline bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }
inline bool IsHexDigit(char c) noexcept
{
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
inline bool IsPrintable(char c) noexcept
{
    const auto code = static_cast<unsigned char>(c);
    return code >= 32 && code <= 127;
}

// Drops everything before the first character of `set`; false (text
// untouched) when there is none.
KESTRUM_COMMON_EXPORT bool DropBeforeFirstOf(std::string& text, std::string_view set);
// Cuts everything after the last character of `set`; a text without one
// becomes empty.
KESTRUM_COMMON_EXPORT void CutAfterLastOf(std::string& text, std::string_view set);
// Keeps only the characters of `set`.
KESTRUM_COMMON_EXPORT void KeepOnly(std::string& text, std::string_view set);
// Removes every character of `set`.
KESTRUM_COMMON_EXPORT void RemoveAll(std::string& text, std::string_view set);
// Replaces the first `from` by `to`.
KESTRUM_COMMON_EXPORT void ReplaceFirst(std::string& text, char from, char to);

// Digits to a number with the weight of each digit checked: nullopt when the
// value would exceed `limit`.
KESTRUM_COMMON_EXPORT std::optional<std::uint64_t> ParseDecimal(std::string_view digits, std::uint64_t limit);

// The C library's atoi shape: leading white space, one optional sign, then
// digits up to the first non-digit; no digits give 0. The magnitude must not
// exceed the limit for its sign, else nullopt (never a wrapped value).
KESTRUM_COMMON_EXPORT std::optional<std::int64_t> CheckedAtoi(std::string_view text, std::uint64_t positiveLimit,
                                        std::uint64_t negativeLimit);

// Groups decimal digits by three from the right with `separator`.
KESTRUM_COMMON_EXPORT std::string GroupDigits(std::string_view digits, char separator);

} // namespace Kestrum::Common::TextScan
