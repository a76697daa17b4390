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
