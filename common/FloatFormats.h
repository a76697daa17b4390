// Floating-point formats: a fixed number of decimals with a comma as the
// decimal mark, grouped integer digits, exponent form (three exponent digits)
// for very large and very small magnitudes. Text never depends on the
// process locale.
//
// Non-finite values print "NaN", "Infinity" and "-Infinity".
#pragma once

#include "common/Export.h"

#include "common/Format.h"

namespace Kestrum::Common {

template <class T>
class KESTRUM_COMMON_EXPORT CRealFormat : public CTypedFormat<T> {
public:
    using CTypedFormat<T>::FormatValue;
    using CTypedFormat<T>::ParseValue;

    std::string FormatValue(T value, CDataObject* owner) const override;
    bool ParseValue(const std::string& text, T& out, CDataObject* owner) const override;
    void Serialize(CSerializer& serializer) override;

    std::int8_t GetPrecision() const noexcept { return m_precision; }
    bool GetShowZero() const noexcept { return m_showZero; }
    bool GetKeepTrailingZeros() const noexcept { return m_keepTrailingZeros; }
    char GetPrefix() const noexcept { return m_prefix; }
    char GetSuffix() const noexcept { return m_suffix; }
    char GetGroupSeparator() const noexcept { return m_groupSeparator; }

    static constexpr int kMaxPrecision = sizeof(T) == 8 ? 9 : 6;
    static std::int8_t ClampPrecision(int precision) noexcept
    {
        return static_cast<std::int8_t>(precision < 0 ? 0 : (precision > kMaxPrecision ? kMaxPrecision : precision));
    }

protected:
    CRealFormat(int precision, bool keepTrailingZeros, bool showZero, char prefix, char suffix, char groupSeparator);
    CRealFormat(const CRealFormat& other);

private:
    std::int8_t m_precision;
    bool m_showZero;
    bool m_keepTrailingZeros;
    char m_prefix;
    char m_suffix;
    char m_groupSeparator;
};

class KESTRUM_COMMON_EXPORT CDoubleFormat final : public CRealFormat<double> {
public:
    explicit CDoubleFormat(int precision = 3, bool keepTrailingZeros = false, bool showZero = true, char prefix = 0,
                           char suffix = 0, char groupSeparator = ' ')
        : CRealFormat(precision, keepTrailingZeros, showZero, prefix, suffix, groupSeparator)
    {
    }
    CFormat* Clone() const override { return new CDoubleFormat(*this); }
    std::string GetClassName() const override { return "Common::CDoubleFormat"; }
};

class KESTRUM_COMMON_EXPORT CFloatFormat final : public CRealFormat<float> {
public:
    explicit CFloatFormat(int precision = 2, bool keepTrailingZeros = false, bool showZero = true, char prefix = 0,
                          char suffix = 0, char groupSeparator = ' ')
        : CRealFormat(precision, keepTrailingZeros, showZero, prefix, suffix, groupSeparator)
    {
    }
    CFormat* Clone() const override { return new CFloatFormat(*this); }
    std::string GetClassName() const override { return "Common::CFloatFormat"; }
};

// The C library's atof over a cleaned text, in the C locale: optional sign,
// digits, optional '.' and decimals, optional exponent introduced by 'e' or
// 'd' (either case); stops at the first character that does not fit.
KESTRUM_COMMON_EXPORT double AtofC(const std::string& text);

} // namespace Kestrum::Common
