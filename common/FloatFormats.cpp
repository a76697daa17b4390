#include "common/FloatFormats.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "common/TextScan.h"

namespace Kestrum::Common {

using namespace TextScan;

namespace {

template <class T> struct RealLimits;
template <> struct RealLimits<double> {
    static constexpr double zero = 1e-10;
    static constexpr double large = 1e13;
    static constexpr double small = 1e-9;
    static constexpr double half[10] = {0.5, 0.05, 0.005, 0.0005, 5e-5, 5e-6, 5e-7, 5e-8, 5e-9, 5e-10};
    static constexpr double scale[10] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
};
template <> struct RealLimits<float> {
    static constexpr float zero = 1e-7f;
    static constexpr float large = 1e10f;
    static constexpr float small = 1e-6f;
    static constexpr float half[7] = {0.5f, 0.05f, 0.005f, 0.0005f, 5e-5f, 5e-6f, 5e-7f};
    static constexpr float scale[7] = {1, 10, 100, 1e3f, 1e4f, 1e5f, 1e6f};
};

// "%.<precision>e" with three exponent digits, then the zeros before the 'e'
// and a bare '.' removed.
std::string ExponentText(double value, int precision)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, precision);
    std::string text(buffer, result.ptr);
    const auto e = text.find('e');
    if (e == std::string::npos)
        return text;
    std::string mantissa = text.substr(0, e);
    const char sign = text[e + 1];
    std::string exponent = text.substr(e + 2);
    while (exponent.size() < 3)
        exponent.insert(exponent.begin(), '0');
    if (mantissa.find('.') != std::string::npos) {
        while (!mantissa.empty() && mantissa.back() == '0')
            mantissa.pop_back();
        if (!mantissa.empty() && mantissa.back() == '.')
            mantissa.pop_back();
    }
    return mantissa + 'e' + sign + exponent;
}

// The decimal digits of a non-negative integral value of any magnitude.
template <class T> std::string IntegerDigits(T integral)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(integral),
                                      std::chars_format::fixed, 0);
    return std::string(buffer, result.ptr);
}

} // namespace

double AtofC(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::string number;
    bool anyDigit = false;
    while (i < text.size() && IsDigit(text[i])) {
        number.push_back(text[i++]);
        anyDigit = true;
    }
    if (i < text.size() && text[i] == '.') {
        number.push_back('.');
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            number.push_back(text[i++]);
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return 0.0;
    bool negativeExponent = false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            negativeExponent = text[j] == '-';
            exponent.push_back(text[j++]);
        }
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j]))
                exponent.push_back(text[j++]);
            number += exponent;
        }
    }
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        value = negativeExponent ? 0.0 : HUGE_VAL;
    return negative ? -value : value;
}

template <class T>
CRealFormat<T>::CRealFormat(int precision, bool keepTrailingZeros, bool showZero, char prefix, char suffix,
                            char groupSeparator)
    : CTypedFormat<T>(FieldTypeOf<T>::value), m_precision(ClampPrecision(precision)), m_showZero(showZero),
      m_keepTrailingZeros(keepTrailingZeros), m_prefix(prefix), m_suffix(suffix), m_groupSeparator(groupSeparator)
{
}

template <class T>
CRealFormat<T>::CRealFormat(const CRealFormat& other)
    : CTypedFormat<T>(other), m_precision(ClampPrecision(other.m_precision)), m_showZero(other.m_showZero),
      m_keepTrailingZeros(other.m_keepTrailingZeros), m_prefix(other.m_prefix), m_suffix(other.m_suffix),
      m_groupSeparator(other.m_groupSeparator)
{
}

template <class T> std::string CRealFormat<T>::FormatValue(T value, CDataObject*) const
{
    using L = RealLimits<T>;
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Infinity" : "-Infinity";

    const bool zero = -L::zero < value && value < L::zero;
    if (value >= L::large || (!zero && std::fabs(value) < L::small))
        return ExponentText(static_cast<double>(value), m_precision);

    std::string prefix = IsPrintable(m_prefix) ? std::string(1, m_prefix) : std::string();
    const std::string suffix = IsPrintable(m_suffix) ? std::string(1, m_suffix) : std::string();
    if (zero)
        return m_showZero ? prefix + "0" + suffix : std::string();

    std::string text = prefix;
    if (value < 0) {
        text.push_back('-');
        value = -value;
    }
    value = static_cast<T>(value + L::half[m_precision]);
    const T integral = std::trunc(value);
    const auto decimals = static_cast<std::int64_t>(std::trunc(static_cast<T>((value - integral) * L::scale[m_precision])));

    std::string digits = IntegerDigits(integral);
    text += IsPrintable(m_groupSeparator) ? GroupDigits(digits, m_groupSeparator) : digits;
    if (m_precision != 0 && (m_keepTrailingZeros || decimals != 0)) {
        std::string fraction = std::to_string(decimals);
        if (fraction.size() < static_cast<std::size_t>(m_precision))
            fraction.insert(0, static_cast<std::size_t>(m_precision) - fraction.size(), '0');
        if (!m_keepTrailingZeros) {
            while (!fraction.empty() && fraction.back() == '0')
                fraction.pop_back();
        }
        text += ',' + fraction;
    }
    return text + suffix;
}

template <class T> bool CRealFormat<T>::ParseValue(const std::string& source, T& out, CDataObject*) const
{
    std::string text = source;
    if (!text.empty() && (text[0] == '.' || text[0] == ','))
        text.insert(0, "0");
    if (!DropBeforeFirstOf(text, "0123456789-"))
        text.clear();
    CutAfterLastOf(text, "0123456789");
    KeepOnly(text, "0123456789deDE.,-+");
    ReplaceFirst(text, ',', '.');
    ReplaceFirst(text, 'E', 'e');
    ReplaceFirst(text, 'D', 'd');
    RemoveAll(text, " \t\r\n");
    if (IsPrintable(m_groupSeparator))
        RemoveAll(text, std::string(1, m_groupSeparator));
    out = static_cast<T>(AtofC(text));
    return true;
}

template <class T> void CRealFormat<T>::Serialize(CSerializer& serializer)
{
    if (!this->SerializeVersion(serializer))
        return;
    if (serializer.IsRestoring()) {
        std::int8_t precision = 0;
        bool showZero = false, keepTrailingZeros = false;
        char prefix = 0, suffix = 0, separator = 0;
        serializer.Restore(precision);
        serializer.Restore(showZero);
        serializer.Restore(keepTrailingZeros);
        serializer.Restore(prefix);
        serializer.Restore(suffix);
        serializer.Restore(separator);
        m_precision = ClampPrecision(precision);
        m_showZero = showZero;
        m_keepTrailingZeros = keepTrailingZeros;
        m_prefix = prefix;
        m_suffix = suffix;
        m_groupSeparator = separator;
    } else {
        serializer.Store(m_precision);
        serializer.Store(m_showZero);
        serializer.Store(m_keepTrailingZeros);
        serializer.Store(m_prefix);
        serializer.Store(m_suffix);
        serializer.Store(m_groupSeparator);
    }
}

template class CRealFormat<double>;
template class CRealFormat<float>;

} // namespace Kestrum::Common
