#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <random>

#include "common/FloatFormats.h"

using namespace Kestrum::Common;

namespace {
std::string Text(const CDoubleFormat& format, double value) { return format.FormatValue(value, nullptr); }
double Parse(const CDoubleFormat& format, const std::string& text)
{
    double out = -1;
    EXPECT_TRUE(format.ParseValue(text, out, nullptr));
    return out;
}
} // namespace

TEST(CDoubleFormat, FixedFormWithDefaults)
{
    const CDoubleFormat format;
    EXPECT_EQ(Text(format, 1234.5), "1 234,5");
    EXPECT_EQ(Text(format, 3.14159), "3,142");
    EXPECT_EQ(Text(format, 0.25), "0,25");
    EXPECT_EQ(Text(format, 2), "2");
    EXPECT_EQ(Text(format, -1234567), "-1 234 567");
    EXPECT_EQ(Text(format, 1e-5), "0");
    EXPECT_EQ(Text(format, 0), "0");
    EXPECT_EQ(Text(format, 9.9996), "10");
    EXPECT_EQ(Text(format, 9.9994), "9,999");
    EXPECT_EQ(Text(format, 1234567.0), "1 234 567");
    EXPECT_EQ(Text(format, -0.0001), "-0");
    EXPECT_EQ(Text(format, 9999999999999.0), "9 999 999 999 999");
}

TEST(CDoubleFormat, Settings)
{
    EXPECT_EQ(Text(CDoubleFormat(3, true), 2), "2,000");
    EXPECT_EQ(Text(CDoubleFormat(3, true), 2.5), "2,500");
    EXPECT_EQ(Text(CDoubleFormat(3, false, false), 0), "");
    EXPECT_EQ(Text(CDoubleFormat(3, false, false), 1e-11), "");
    EXPECT_EQ(Text(CDoubleFormat(3, false, false), 1e-5), "0");
    EXPECT_EQ(Text(CDoubleFormat(3, false, true, '$', '%'), 5), "$5%");
    EXPECT_EQ(Text(CDoubleFormat(3, false, true, '$', '%'), -5), "$-5%");
    EXPECT_EQ(Text(CDoubleFormat(3, false, true, '$', '%'), 0), "$0%");
    EXPECT_EQ(Text(CDoubleFormat(0), 2.5), "3");
    EXPECT_EQ(Text(CDoubleFormat(0), 2.4), "2");
    EXPECT_EQ(Text(CDoubleFormat(0, true), 1234.9), "1 235");
    EXPECT_EQ(CDoubleFormat(-3).GetPrecision(), 0);
    EXPECT_EQ(CDoubleFormat(42).GetPrecision(), 9);
    EXPECT_EQ(CFloatFormat(42).GetPrecision(), 6);
}

TEST(CDoubleFormat, ExponentFormHasThreeDigits)
{
    const CDoubleFormat format;
    EXPECT_EQ(Text(format, 1e13), "1e+013");
    EXPECT_EQ(Text(format, 1.5e13), "1.5e+013");
    EXPECT_EQ(Text(format, 5e-10), "5e-010");
    EXPECT_EQ(Text(format, 1.2345e200), "1.235e+200");
    EXPECT_EQ(Text(CDoubleFormat(0), 2e20), "2e+020");
    EXPECT_EQ(CFloatFormat().FormatValue(1e10f, nullptr), "1e+010");
    // Large negative values stay in fixed form, even beyond 64-bit integers.
    EXPECT_EQ(Text(format, -1e13), "-10 000 000 000 000");
    EXPECT_EQ(Text(CDoubleFormat(3, false, true, 0, 0, 0), -1e20), "-100000000000000000000");
}

TEST(CDoubleFormat, NonFiniteValuesHaveDefinedText)
{
    const CDoubleFormat format;
    EXPECT_EQ(Text(format, std::numeric_limits<double>::quiet_NaN()), "NaN");
    EXPECT_EQ(Text(format, std::numeric_limits<double>::infinity()), "Infinity");
    EXPECT_EQ(Text(format, -std::numeric_limits<double>::infinity()), "-Infinity");
    EXPECT_EQ(CFloatFormat().FormatValue(-std::numeric_limits<float>::infinity(), nullptr), "-Infinity");
}

TEST(CDoubleFormat, LenientParse)
{
    const CDoubleFormat format;
    EXPECT_EQ(Parse(format, ",5"), 0.5);
    EXPECT_EQ(Parse(format, "1.234,5"), 1.234);
    EXPECT_EQ(Parse(format, "abc"), 0);
    EXPECT_EQ(Parse(format, "1,5E3"), 1500);
    EXPECT_EQ(Parse(format, "1 234,5"), 1234.5);
    EXPECT_EQ(Parse(format, "1e+013"), 1e13);
    EXPECT_EQ(Parse(format, "2d3"), 2000);
    EXPECT_EQ(Parse(format, "-7,25 kg"), -7.25);
    EXPECT_EQ(Parse(format, "1e999999999999"), HUGE_VAL);
    EXPECT_EQ(Parse(format, "1e-999999999999"), 0);
}

TEST(CRealFormats, RandomValuesRoundTripWithinPrecision)
{
    std::mt19937_64 random(77);
    std::uniform_real_distribution<double> magnitude(-12, 12.9);
    const CDoubleFormat exact(9, false, true, 0, 0, ' ');
    for (int i = 0; i < 5000; ++i) {
        const double value = std::pow(10.0, magnitude(random)) * (random() % 2 ? 1 : -1);
        const std::string text = Text(exact, value);
        const double parsed = Parse(exact, text);
        // Fixed form keeps nine decimals, exponent form the precision's digits.
        const double tolerance = std::max(std::fabs(value) * 1e-8, 1e-9);
        ASSERT_NEAR(parsed, value, tolerance) << text;
    }
    // Values with at most the precision's decimals come back exactly.
    for (int i = 0; i < 2000; ++i) {
        const double value = static_cast<double>(static_cast<std::int64_t>(random() % 2000000000) - 1000000000) / 1000.0;
        ASSERT_EQ(Parse(CDoubleFormat(), Text(CDoubleFormat(), value)), value) << value;
    }
    const CFloatFormat floats;
    for (int i = 0; i < 2000; ++i) {
        const float value = static_cast<float>(static_cast<int>(random() % 2000000) - 1000000) / 100.0f;
        float parsed = 0;
        ASSERT_TRUE(floats.ParseValue(floats.FormatValue(value, nullptr), parsed, nullptr));
        ASSERT_EQ(parsed, value);
    }
}

TEST(CRealFormats, TextIgnoresTheProcessLocale)
{
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a comma decimal mark on this machine";
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
    const CDoubleFormat format;
    EXPECT_EQ(Text(format, 1.5e13), "1.5e+013");
    EXPECT_EQ(Text(format, 1234.5), "1 234,5");
    EXPECT_EQ(Parse(format, "1.5e+013"), 1.5e13);
    EXPECT_EQ(Parse(format, "2,25"), 2.25);
    std::setlocale(LC_ALL, saved.c_str());
}
