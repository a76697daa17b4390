#include "common/IntegerFormats.h"

#include <limits>
#include <type_traits>

#include "common/TextScan.h"

namespace Kestrum::Common {

using namespace TextScan;

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string HexText(std::uint64_t bits, int width, bool padded, bool prefix)
{
    std::string digits(static_cast<std::size_t>(width), '0');
    for (int i = width - 1; i >= 0; --i, bits >>= 4)
        digits[static_cast<std::size_t>(i)] = kHexDigits[bits & 0xF];
    if (!padded) {
        const auto first = digits.find_first_not_of('0');
        digits = first == std::string::npos ? "0" : digits.substr(first);
    }
    return prefix ? "0x" + digits : digits;
}

std::string DecimalDigits(std::uint64_t magnitude)
{
    return std::to_string(magnitude);
}

} // namespace

std::optional<std::uint64_t> ParseHexText(const std::string& source, std::uint64_t maximum)
{
    std::string text = source;
    if (!DropBeforeFirstOf(text, "123456789abcdefABCDEF"))
        text.assign(1, '0');
    CutAfterLastOf(text, "0123456789abcdefABCDEF");
    if (text.size() > 16)
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (!IsHexDigit(c))
            return std::nullopt;
        const int digit = IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
        value = (value << 4) | static_cast<std::uint64_t>(digit);
    }
    if (value > maximum)
        return std::nullopt;
    return value;
}

template <class T>
CWordFormat<T>::CWordFormat(std::int32_t mode, bool showZero, char groupSeparator, bool hexPrefix, bool zeroPadding)
    : CTypedFormat<T>(FieldTypeOf<T>::value), m_mode(mode), m_showZero(showZero), m_groupSeparator(groupSeparator),
      m_hexPrefix(hexPrefix), m_zeroPadding(zeroPadding)
{
}

template <class T> std::string CWordFormat<T>::FormatValue(T value, CDataObject*) const
{
    using Unsigned = std::make_unsigned_t<T>;
    if (value == 0 && !m_showZero)
        return {};
    if (m_mode != 0)
        return HexText(static_cast<Unsigned>(value), static_cast<int>(sizeof(T) * 2), m_zeroPadding, m_hexPrefix);
    const bool negative = value < 0;
    // The magnitude in unsigned arithmetic, so the most negative value prints.
    const auto magnitude = negative ? static_cast<std::uint64_t>(static_cast<Unsigned>(0 - static_cast<Unsigned>(value)))
                                    : static_cast<std::uint64_t>(value);
    std::string digits = DecimalDigits(magnitude);
    if (IsPrintable(m_groupSeparator))
        digits = GroupDigits(digits, m_groupSeparator);
    return negative ? "-" + digits : digits;
}

template <class T> bool CWordFormat<T>::ParseValue(const std::string& source, T& out, CDataObject*) const
{
    using Unsigned = std::make_unsigned_t<T>;
    if (m_mode == 1 || source.find("0x") != std::string::npos) {
        const auto bits = ParseHexText(source, std::numeric_limits<Unsigned>::max());
        if (!bits)
            return false;
        out = static_cast<T>(static_cast<Unsigned>(*bits));
        return true;
    }
    std::string text = source;
    if (!DropBeforeFirstOf(text, "0123456789-"))
        text.clear();
    CutAfterLastOf(text, "0123456789");
    KeepOnly(text, "0123456789-");

    constexpr std::uint64_t k32 = 1ull << 31;
    std::optional<std::int64_t> number;
    if constexpr (sizeof(T) == 8) {
        number = CheckedAtoi(text, std::numeric_limits<std::int64_t>::max(), 1ull << 63);
    } else if constexpr (std::is_same_v<T, std::uint32_t>) {
        // Negative text is taken as its 32-bit pattern ("-1" is 0xFFFFFFFF).
        number = CheckedAtoi(text, std::numeric_limits<std::uint32_t>::max(), k32);
    } else if constexpr (sizeof(T) == 4) {
        number = CheckedAtoi(text, k32 - 1, k32);
    } else {
        // 16-bit: a 32-bit number above 65535 fails, any other keeps its low 16 bits.
        number = CheckedAtoi(text, k32 - 1, k32);
        if (number && *number > 65535)
            return false;
    }
    if (!number)
        return false;
    out = static_cast<T>(static_cast<Unsigned>(static_cast<std::uint64_t>(*number)));
    return true;
}

template <class T> void CWordFormat<T>::Serialize(CSerializer& serializer)
{
    if (!this->SerializeVersion(serializer))
        return;
    if (serializer.IsRestoring()) {
        std::int32_t mode = 0;
        bool showZero = false, hexPrefix = false, zeroPadding = false;
        char separator = 0;
        serializer.Restore(mode);
        serializer.Restore(showZero);
        serializer.Restore(separator);
        serializer.Restore(hexPrefix);
        serializer.Restore(zeroPadding);
        // Applied only once everything was read: damaged data changes nothing.
        m_mode = mode;
        m_showZero = showZero;
        m_groupSeparator = separator;
        m_hexPrefix = hexPrefix;
        m_zeroPadding = zeroPadding;
    } else {
        serializer.Store(m_mode);
        serializer.Store(m_showZero);
        serializer.Store(m_groupSeparator);
        serializer.Store(m_hexPrefix);
        serializer.Store(m_zeroPadding);
    }
}

template class CWordFormat<std::int32_t>;
template class CWordFormat<std::uint32_t>;
template class CWordFormat<std::int64_t>;
template class CWordFormat<std::int16_t>;
template class CWordFormat<std::uint16_t>;

template <class T>
CByteFormat<T>::CByteFormat(std::int32_t mode, bool reservedFlag, bool hexPrefix, bool zeroPadding)
    : CTypedFormat<T>(FieldTypeOf<T>::value), m_mode(mode), m_reservedFlag(reservedFlag), m_hexPrefix(hexPrefix),
      m_zeroPadding(zeroPadding)
{
}

template <class T> std::string CByteFormat<T>::FormatValue(T value, CDataObject*) const
{
    switch (m_mode) {
    case Decimal: return std::to_string(static_cast<int>(value));
    case Hexadecimal: return HexText(static_cast<std::uint8_t>(value), 2, m_zeroPadding, m_hexPrefix);
    case Character: return value == 0 ? std::string() : std::string(1, static_cast<char>(value));
    default: return {};
    }
}

template <class T> bool CByteFormat<T>::ParseValue(const std::string& source, T& out, CDataObject*) const
{
    switch (m_mode) {
    case Hexadecimal: {
        const auto bits = ParseHexText(source, 0xFF);
        if (!bits)
            return false;
        out = static_cast<T>(static_cast<std::uint8_t>(*bits));
        return true;
    }
    case Character:
        out = source.empty() ? T{0} : static_cast<T>(static_cast<std::uint8_t>(source[0]));
        return true;
    case Decimal: {
        std::size_t start = 0;
        bool negative = false;
        while (start < source.size() && (source[start] == '-' || source[start] == '0')) {
            negative = negative || source[start] == '-';
            ++start;
        }
        if (negative && std::is_unsigned_v<T>)
            return false;
        // Read from the right; a digit whose weight is beyond a byte fails
        // unless it is zero, so no weight or sum can overflow.
        unsigned sum = 0;
        unsigned weight = 1;
        for (std::size_t i = source.size(); i > start; --i) {
            const char c = source[i - 1];
            if (!IsDigit(c))
                return false;
            const unsigned digit = static_cast<unsigned>(c - '0');
            if (digit != 0 && weight > 255)
                return false;
            sum += digit * weight;
            if (sum > 255)
                return false;
            if (weight <= 255)
                weight *= 10;
        }
        const unsigned bits = negative ? (0u - sum) : sum;
        out = static_cast<T>(static_cast<std::uint8_t>(bits & 0xFF));
        return true;
    }
    default: return false;
    }
}

template <class T> void CByteFormat<T>::Serialize(CSerializer& serializer)
{
    if (!this->SerializeVersion(serializer))
        return;
    if (serializer.IsRestoring()) {
        std::int32_t mode = 0;
        bool flag = false, hexPrefix = false, zeroPadding = false;
        serializer.Restore(mode);
        serializer.Restore(flag);
        serializer.Restore(hexPrefix);
        serializer.Restore(zeroPadding);
        m_mode = mode;
        m_reservedFlag = flag;
        m_hexPrefix = hexPrefix;
        m_zeroPadding = zeroPadding;
    } else {
        serializer.Store(m_mode);
        serializer.Store(m_reservedFlag);
        serializer.Store(m_hexPrefix);
        serializer.Store(m_zeroPadding);
    }
}

template class CByteFormat<std::int8_t>;
template class CByteFormat<std::uint8_t>;

std::string CBoolFormat::FormatValue(bool value, CDataObject*) const { return value ? "true" : "false"; }

bool CBoolFormat::ParseValue(const std::string& source, bool& out, CDataObject*) const
{
    std::string text = source;
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    RemoveAll(text, " \t\r\n");
    out = text == "true";
    return true;
}

void CBoolFormat::Serialize(CSerializer& serializer) { SerializeVersion(serializer); }

} // namespace Kestrum::Common
