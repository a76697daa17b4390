#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <random>

#include "common/IntegerFormats.h"

using namespace Kestrum::Common;

namespace {
template <class F, class T> std::optional<T> Parse(const F& format, const std::string& text)
{
    T out{};
    if (!format.ParseValue(text, out, nullptr))
        return std::nullopt;
    return out;
}
} // namespace

TEST(CLongFormat, DecimalWithGroupsAndZero)
{
    CLongFormat format;
    EXPECT_EQ(format.FormatValue(0, nullptr), "0");
    EXPECT_EQ(format.FormatValue(-1234, nullptr), "-1 234");
    EXPECT_EQ(format.FormatValue(1000, nullptr), "1 000");
    EXPECT_EQ(format.FormatValue(999, nullptr), "999");
    EXPECT_EQ(format.FormatValue(1234567, nullptr), "1 234 567");
    EXPECT_EQ(CLongFormat(0, true, 0).FormatValue(std::numeric_limits<std::int32_t>::min(), nullptr),
              "-2147483648");
    EXPECT_EQ(CLongFormat(0, false).FormatValue(0, nullptr), "");
    EXPECT_EQ(CLongFormat(1, false, ' ', true, true).FormatValue(0, nullptr), "");
    EXPECT_EQ(CLongFormat(0, true, '\t').FormatValue(1234567, nullptr), "1234567");
    EXPECT_EQ(CLongFormat(0, true, static_cast<char>(200)).FormatValue(1234567, nullptr), "1234567");
    EXPECT_EQ(CLongFormat(0, true, '.').FormatValue(1234567, nullptr), "1.234.567");
}

TEST(CLongFormat, Hexadecimal)
{
    EXPECT_EQ(CLongFormat(1, true, ' ', true, true).FormatValue(255, nullptr), "0x000000FF");
    EXPECT_EQ(CLongFormat(1, true, ' ', true, false).FormatValue(255, nullptr), "0xFF");
    EXPECT_EQ(CLongFormat(1, true, ' ', false, false).FormatValue(255, nullptr), "FF");
    EXPECT_EQ(CLongFormat(1, true, ' ', true, false).FormatValue(0, nullptr), "0x0");
    EXPECT_EQ(CLongFormat(2, true, ' ', false, false).FormatValue(-1, nullptr), "FFFFFFFF");
    EXPECT_EQ(CShortFormat(1, true, ' ', false, true).FormatValue(std::int16_t{-1}, nullptr), "FFFF");
    EXPECT_EQ(CInt64Format(1, true, ' ', false, true).FormatValue(std::int64_t{-1}, nullptr), "FFFFFFFFFFFFFFFF");
}

struct ParseCase {
    const char* name;
    const char* text;
    std::optional<std::int32_t> expected;
};
void PrintTo(const ParseCase& parseCase, std::ostream* out) { *out << parseCase.name; }

class CLongFormatParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CLongFormatParse, Lenient)
{
    EXPECT_EQ((Parse<CLongFormat, std::int32_t>(CLongFormat(), GetParam().text)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CLongFormatParse,
    ::testing::Values(ParseCase{"Grouped", "1 234 567", 1234567}, ParseCase{"TrailingLetters", "12abc", 12},
                      ParseCase{"NoDigits", "abc", 0}, ParseCase{"SecondMinusStops", "-1-2", -1},
                      ParseCase{"HexByPrefix", "0x1A", 26}, ParseCase{"UpperXIsNotHex", "0X1A", 1},
                      ParseCase{"HexAlone", "0x", 0}, ParseCase{"HexTrailingJunkCut", "0x1G", 1},
                      ParseCase{"HexInnerJunk", "0x1G2", std::nullopt},
                      ParseCase{"HexSeventeenDigits", "0x11111111111111111", std::nullopt},
                      ParseCase{"HexAboveLong", "0x100000000", std::nullopt},
                      ParseCase{"HexAllOnesIsMinusOne", "0xFFFFFFFF", -1},
                      ParseCase{"Largest", "2147483647", 2147483647},
                      ParseCase{"Smallest", "-2147483648", std::numeric_limits<std::int32_t>::min()},
                      ParseCase{"OverflowFails", "2147483648", std::nullopt},
                      ParseCase{"OneAndThirtyTwoZerosFails", "100000000000000000000000000000000", std::nullopt},
                      ParseCase{"Empty", "", 0}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(CWordFormats, SixteenBitAndUnsignedRules)
{
    EXPECT_EQ((Parse<CUShortFormat, std::uint16_t>(CUShortFormat(), "-1")), 65535);
    EXPECT_EQ((Parse<CUShortFormat, std::uint16_t>(CUShortFormat(), "70000")), std::nullopt);
    EXPECT_EQ((Parse<CShortFormat, std::int16_t>(CShortFormat(), "65535")), -1);
    EXPECT_EQ((Parse<CShortFormat, std::int16_t>(CShortFormat(), "0xFFFF")), -1);
    EXPECT_EQ((Parse<CShortFormat, std::int16_t>(CShortFormat(), "0x10000")), std::nullopt);
    EXPECT_EQ((Parse<CULongFormat, std::uint32_t>(CULongFormat(), "-1")), 0xFFFFFFFFu);
    EXPECT_EQ((Parse<CULongFormat, std::uint32_t>(CULongFormat(), "4 294 967 295")), 0xFFFFFFFFu);
    EXPECT_EQ((Parse<CULongFormat, std::uint32_t>(CULongFormat(), "4294967296")), std::nullopt);
    EXPECT_EQ((Parse<CInt64Format, std::int64_t>(CInt64Format(), "-9223372036854775808")),
              std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ((Parse<CInt64Format, std::int64_t>(CInt64Format(), "9223372036854775808")), std::nullopt);
    EXPECT_EQ((Parse<CInt64Format, std::int64_t>(CInt64Format(), "0xFFFFFFFFFFFFFFFF")), -1);
    // Mode 1 parses hexadecimal even without a prefix.
    EXPECT_EQ((Parse<CLongFormat, std::int32_t>(CLongFormat(1), "ff")), 255);
}

template <class F, class T> void CheckRoundTrips(const F& format, std::mt19937_64& random)
{
    std::vector<T> values = {std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), T{0}, T{1}};
    if constexpr (std::is_signed_v<T>)
        values.push_back(T{-1});
    for (int i = 0; i < 2000; ++i)
        values.push_back(static_cast<T>(random()));
    for (const T value : values) {
        const std::string text = format.FormatValue(value, nullptr);
        T parsed{};
        ASSERT_TRUE(format.ParseValue(text, parsed, nullptr)) << format.GetClassName() << " '" << text << "'";
        ASSERT_EQ(parsed, value) << format.GetClassName() << " '" << text << "'";
        CString ctext = format.FormatValueAsCString(value, nullptr);
        ASSERT_EQ(ctext.ToStdString(), text);
    }
}

TEST(CWordFormats, RandomValuesRoundTripInEveryLosslessMode)
{
    std::mt19937_64 random(20261208);
    for (const bool padding : {false, true}) {
        for (const std::int32_t mode : {0, 1}) {
            for (const char separator : {' ', '\0', ','}) {
                CheckRoundTrips<CLongFormat, std::int32_t>(CLongFormat(mode, true, separator, true, padding), random);
                CheckRoundTrips<CULongFormat, std::uint32_t>(CULongFormat(mode, true, separator, true, padding), random);
                CheckRoundTrips<CInt64Format, std::int64_t>(CInt64Format(mode, true, separator, true, padding), random);
                CheckRoundTrips<CShortFormat, std::int16_t>(CShortFormat(mode, true, separator, true, padding), random);
                CheckRoundTrips<CUShortFormat, std::uint16_t>(CUShortFormat(mode, true, separator, true, padding), random);
            }
        }
    }
    // Hexadecimal without a prefix is lossless only in mode 1.
    CheckRoundTrips<CLongFormat, std::int32_t>(CLongFormat(1, true, ' ', false, false), random);
}

TEST(CByteFormats, TextInEachMode)
{
    EXPECT_EQ(CCharFormat(0).FormatValue(std::int8_t{-128}, nullptr), "-128");
    EXPECT_EQ(CUCharFormat(0).FormatValue(std::uint8_t{255}, nullptr), "255");
    EXPECT_EQ(CUCharFormat(1, true, true, true).FormatValue(std::uint8_t{10}, nullptr), "0x0A");
    EXPECT_EQ(CUCharFormat(1, true, false, false).FormatValue(std::uint8_t{10}, nullptr), "A");
    EXPECT_EQ(CUCharFormat(1, true, false, false).FormatValue(std::uint8_t{0}, nullptr), "0");
    EXPECT_EQ(CCharFormat().FormatValue(std::int8_t{'A'}, nullptr), "A");
    EXPECT_EQ(CCharFormat().FormatValue(std::int8_t{0}, nullptr), "");
    EXPECT_EQ(CCharFormat(7).FormatValue(std::int8_t{5}, nullptr), "");
}

TEST(CByteFormats, DecimalParse)
{
    const CUCharFormat unsignedFormat(0);
    EXPECT_EQ((Parse<CUCharFormat, std::uint8_t>(unsignedFormat, "007")), 7);
    EXPECT_EQ((Parse<CUCharFormat, std::uint8_t>(unsignedFormat, "255")), 255);
    EXPECT_EQ((Parse<CUCharFormat, std::uint8_t>(unsignedFormat, "256")), std::nullopt);
    EXPECT_EQ((Parse<CUCharFormat, std::uint8_t>(unsignedFormat, "-0")), std::nullopt);
    EXPECT_EQ((Parse<CUCharFormat, std::uint8_t>(unsignedFormat, "")), 0);
    EXPECT_EQ((Parse<CUCharFormat, std::uint8_t>(unsignedFormat, "1a")), std::nullopt);
    EXPECT_EQ((Parse<CUCharFormat, std::uint8_t>(unsignedFormat, "100000000000000000000000000000000")), std::nullopt);
    EXPECT_EQ((Parse<CUCharFormat, std::uint8_t>(unsignedFormat, "1000000000000000000000000000000000000255")),
              std::nullopt);
    const CCharFormat signedFormat(0);
    EXPECT_EQ((Parse<CCharFormat, std::int8_t>(signedFormat, "-5")), -5);
    EXPECT_EQ((Parse<CCharFormat, std::int8_t>(signedFormat, "200")), -56);
    EXPECT_EQ((Parse<CCharFormat, std::int8_t>(signedFormat, "-200")), 56);
    EXPECT_EQ((Parse<CCharFormat, std::int8_t>(CCharFormat(1), "0x7f")), 127);
    EXPECT_EQ((Parse<CCharFormat, std::int8_t>(CCharFormat(1), "0x100")), std::nullopt);
    EXPECT_EQ((Parse<CCharFormat, std::int8_t>(CCharFormat(), "xyz")), 'x');
    EXPECT_EQ((Parse<CCharFormat, std::int8_t>(CCharFormat(), "")), 0);
    EXPECT_EQ((Parse<CCharFormat, std::int8_t>(CCharFormat(9), "1")), std::nullopt);
}

TEST(CByteFormats, EveryByteRoundTrips)
{
    for (int byte = 0; byte < 256; ++byte) {
        for (const std::int32_t mode : {0, 1, 2}) {
            if (mode == 2 && byte == 0)
                continue; // the byte 0 has no character text
            const CUCharFormat unsignedFormat(mode, true, true, false);
            std::uint8_t u = 0;
            ASSERT_TRUE(unsignedFormat.ParseValue(unsignedFormat.FormatValue(static_cast<std::uint8_t>(byte), nullptr), u, nullptr));
            ASSERT_EQ(u, byte) << mode;
            const CCharFormat signedFormat(mode, true, true, true);
            std::int8_t s = 0;
            const auto value = static_cast<std::int8_t>(byte);
            ASSERT_TRUE(signedFormat.ParseValue(signedFormat.FormatValue(value, nullptr), s, nullptr));
            ASSERT_EQ(s, value) << mode;
        }
    }
}

TEST(CBoolFormat, TextAndLenientParse)
{
    const CBoolFormat format;
    EXPECT_EQ(format.FormatValue(true, nullptr), "true");
    EXPECT_EQ(format.FormatValue(false, nullptr), "false");
    EXPECT_EQ((Parse<CBoolFormat, bool>(format, " TRUE\r\n")), true);
    EXPECT_EQ((Parse<CBoolFormat, bool>(format, "t r u e")), true);
    EXPECT_EQ((Parse<CBoolFormat, bool>(format, "yes")), false);
    EXPECT_EQ((Parse<CBoolFormat, bool>(format, "1")), false);
    EXPECT_EQ((Parse<CBoolFormat, bool>(format, "")), false);
}
