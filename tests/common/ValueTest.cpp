#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/Value.h"

using namespace Kestrum::Common;

TEST(CValue, DefaultIsEmptyAndEqualToEmpty)
{
    CValue a, b;
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(a.GetType(), FT_EMPTY);
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a.IsGreaterThan(b));
}

TEST(CValue, EachConstructorSetsItsTag)
{
    EXPECT_EQ(CValue(CString("x")).GetType(), FT_MFCSTRING);
    EXPECT_EQ(CValue(std::string("x")).GetType(), FT_STLSTRING);
    EXPECT_EQ(CValue("x").GetType(), FT_STLSTRING); // never a bool
    EXPECT_EQ(CValue(std::int8_t{-1}).GetType(), FT_CHAR);
    EXPECT_EQ(CValue(std::uint8_t{1}).GetType(), FT_UCHAR);
    EXPECT_EQ(CValue(std::int16_t{1}).GetType(), FT_SHORT);
    EXPECT_EQ(CValue(std::uint16_t{1}).GetType(), FT_USHORT);
    EXPECT_EQ(CValue(std::int32_t{1}).GetType(), FT_LONG);
    EXPECT_EQ(CValue(std::uint32_t{1}).GetType(), FT_ULONG);
    EXPECT_EQ(CValue(std::int64_t{1}).GetType(), FT_INT64);
    EXPECT_EQ(CValue(true).GetType(), FT_BOOL);
    EXPECT_EQ(CValue(1.0f).GetType(), FT_FLOAT);
    EXPECT_EQ(CValue(1.0).GetType(), FT_DOUBLE);
    EXPECT_EQ(CValue(OpaqueHandle{1}).GetType(), FT_HANDLE);
}

TEST(CValue, DifferentTagsAreUnequalAndNeverGreater)
{
    const CValue asLong(std::int32_t{5}), asULong(std::uint32_t{5});
    EXPECT_FALSE(asLong == asULong);
    EXPECT_FALSE(asLong.IsGreaterThan(asULong));
    EXPECT_FALSE(asULong.IsGreaterThan(asLong));
}

TEST(CValue, StringOrderIsBytewiseWithLongerPrefixGreater)
{
    EXPECT_TRUE(CValue(std::string("abc")).IsGreaterThan(CValue(std::string("ab"))));
    EXPECT_FALSE(CValue(std::string("ab")).IsGreaterThan(CValue(std::string("abc"))));
    EXPECT_TRUE(CValue(std::string()) == CValue(std::string()));
    EXPECT_TRUE(CValue(CString("abc")).IsGreaterThan(CValue(CString("ab"))));
    // Unsigned byte order: a UTF-8 lead byte sorts after ASCII.
    EXPECT_TRUE(CValue(std::string("\xC3\xA9")).IsGreaterThan(CValue(std::string("z"))));
    EXPECT_TRUE(CValue(CString("\xC3\xA9")).IsGreaterThan(CValue(CString("z"))));
}

TEST(CValue, SignednessFollowsTheTag)
{
    EXPECT_TRUE(CValue(std::int8_t{1}).IsGreaterThan(CValue(std::int8_t{-1})));
    EXPECT_TRUE(CValue(std::uint8_t{255}).IsGreaterThan(CValue(std::uint8_t{1})));
    EXPECT_TRUE(CValue(std::int32_t{1}).IsGreaterThan(CValue(std::int32_t{-1})));
    EXPECT_TRUE(CValue(std::uint32_t{0xFFFFFFFF}).IsGreaterThan(CValue(std::uint32_t{1})));
    EXPECT_TRUE(CValue(std::int64_t{0}).IsGreaterThan(CValue(std::numeric_limits<std::int64_t>::min())));
    EXPECT_TRUE(CValue(true).IsGreaterThan(CValue(false)));
    EXPECT_TRUE(CValue(2.5).IsGreaterThan(CValue(-2.5)));
}

// Greater-than is strict for every tag: equal values are not greater than
// each other (the sort keeps equal rows in arrival order on this).
struct OrderedPair {
    const char* name;
    CValue smaller;
    CValue larger;
};
void PrintTo(const OrderedPair& pair, std::ostream* out) { *out << pair.name; }
class CValueOrder : public ::testing::TestWithParam<OrderedPair> {};

TEST_P(CValueOrder, GreaterThanIsStrict)
{
    const CValue& smaller = GetParam().smaller;
    const CValue& larger = GetParam().larger;
    EXPECT_TRUE(larger.IsGreaterThan(smaller));
    EXPECT_FALSE(smaller.IsGreaterThan(larger));
    EXPECT_FALSE(smaller.IsGreaterThan(CValue(smaller)));
    EXPECT_FALSE(larger.IsGreaterThan(CValue(larger)));
    EXPECT_TRUE(smaller == CValue(smaller));
}

INSTANTIATE_TEST_SUITE_P(
    EveryTag, CValueOrder,
    ::testing::Values(OrderedPair{"MfcString", CValue(CString("ab")), CValue(CString("b"))},
                      OrderedPair{"StlString", CValue(std::string("ab")), CValue(std::string("b"))},
                      OrderedPair{"Char", CValue(std::int8_t{-3}), CValue(std::int8_t{2})},
                      OrderedPair{"UChar", CValue(std::uint8_t{2}), CValue(std::uint8_t{200})},
                      OrderedPair{"Short", CValue(std::int16_t{-300}), CValue(std::int16_t{7})},
                      OrderedPair{"UShort", CValue(std::uint16_t{7}), CValue(std::uint16_t{60000})},
                      OrderedPair{"Long", CValue(std::int32_t{-70000}), CValue(std::int32_t{70000})},
                      OrderedPair{"ULong", CValue(std::uint32_t{7}), CValue(std::uint32_t{0x80000000u})},
                      OrderedPair{"Int64", CValue(std::int64_t{-5}), CValue(std::int64_t{1} << 40)},
                      OrderedPair{"Bool", CValue(false), CValue(true)},
                      OrderedPair{"Float", CValue(-1.5f), CValue(0.25f)},
                      OrderedPair{"Double", CValue(-1e300), CValue(1e-300)},
                      OrderedPair{"Handle", CValue(OpaqueHandle{3}), CValue(OpaqueHandle{9})}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(CValue, FloatingEqualityIsNotLessEitherWay)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(CValue(nan) == CValue(1.0)); // neither is less than the other
    EXPECT_TRUE(CValue(0.0) == CValue(-0.0));
    EXPECT_FALSE(CValue(1.0f) == CValue(2.0f));
}

TEST(CValue, CopiesStringsDeeply)
{
    CValue original(std::string("first"));
    CValue copy(original);
    original = CValue(std::string("second"));
    EXPECT_EQ(copy.Get<std::string>(), "first");
    EXPECT_EQ(original.Get<std::string>(), "second");

    CValue assigned;
    assigned = copy;
    copy.Clear();
    EXPECT_EQ(assigned.Get<std::string>(), "first");
}

TEST(CValue, SelfAssignmentChangesNothing)
{
    CValue value(CString("keep"));
    CValue& alias = value;
    value = alias;
    EXPECT_EQ(value.Get<CString>(), CString("keep"));
}

TEST(CValue, AssignmentReplacesTagAndFreesOldString)
{
    CValue value(std::string("text"));
    value = CValue(std::int32_t{3});
    EXPECT_EQ(value.GetType(), FT_LONG);
    EXPECT_EQ(value.Get<std::int32_t>(), 3);
    value.Set(CString("again"));
    EXPECT_EQ(value.GetType(), FT_MFCSTRING);
}
