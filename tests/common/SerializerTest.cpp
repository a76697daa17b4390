#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "common/Serializer.h"
#include "common/Value.h"

using namespace Kestrum::Common;
using Bytes = std::vector<std::uint8_t>;

namespace {
template <class Fn> Bytes StoreWith(Fn&& fn)
{
    CSerializer s(CSerializer::StoreMode);
    fn(s);
    Bytes out(static_cast<std::size_t>(s.GetSize()));
    s.GetData(out.data());
    return out;
}

std::unique_ptr<CSerializer> Reader(const Bytes& bytes)
{
    auto s = std::make_unique<CSerializer>(CSerializer::RestoreMode);
    s->SetData(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    return s;
}

template <class Fn> std::string ThrownMessage(Fn&& fn)
{
    try {
        fn();
    } catch (const CommonException& e) {
        return e.what();
    }
    return "<nothing thrown>";
}
} // namespace

TEST(CSerializer, StringsHaveLengthBytesAndTerminator)
{
    EXPECT_EQ(StoreWith([](CSerializer& s) { s.Store(std::string("abc")); }),
              (Bytes{0x03, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63, 0x00}));
    EXPECT_EQ(StoreWith([](CSerializer& s) { s.Store(std::string()); }), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(StoreWith([](CSerializer& s) { s.Store(CString("abc")); }),
              (Bytes{0x03, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63, 0x00}));
}

TEST(CSerializer, NumbersAreLittleEndianWithTheirWidths)
{
    const Bytes bytes = StoreWith([](CSerializer& s) {
        s.Store(std::int8_t{-2});
        s.Store(std::uint16_t{0x1234});
        s.Store(std::int32_t{-1});
        s.Store(std::int64_t{0x0102030405060708});
        s.Store(true);
        s.Store(1.0f);
    });
    EXPECT_EQ(bytes, (Bytes{0xFE, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,
                            0x01, 0x00, 0x00, 0x80, 0x3F}));
}

TEST(CSerializer, EveryValueTypeRoundTrips)
{
    const std::vector<CValue> values = {
        CValue(), CValue(CString("mfc")), CValue(std::string("stl")), CValue(std::int8_t{-128}),
        CValue(std::uint8_t{255}), CValue(std::int16_t{-32768}), CValue(std::uint16_t{65535}),
        CValue(std::numeric_limits<std::int32_t>::min()), CValue(std::uint32_t{0xFFFFFFFF}),
        CValue(std::numeric_limits<std::int64_t>::min()), CValue(true), CValue(3.5f), CValue(-1e300),
        CValue(std::string()),
    };
    const Bytes bytes = StoreWith([&](CSerializer& s) {
        for (const CValue& v : values)
            s.Store(v);
    });
    auto reader = Reader(bytes);
    for (const CValue& expected : values) {
        CValue restored(std::int32_t{99});
        reader->Restore(restored);
        EXPECT_EQ(restored.GetType(), expected.GetType());
        EXPECT_TRUE(restored == expected);
    }
    EXPECT_EQ(reader->GetRemaining(), 0);
}

TEST(CSerializer, ValueLayoutIsMarkerCodePayload)
{
    EXPECT_EQ(StoreWith([](CSerializer& s) { s.Store(CValue(std::int32_t{7})); }),
              (Bytes{1, 7, 7, 0, 0, 0}));
    EXPECT_EQ(StoreWith([](CSerializer& s) { s.Store(CValue()); }), (Bytes{1, 0}));
    EXPECT_EQ(StoreWith([](CSerializer& s) { s.Store(CValue(OpaqueHandle{0x1234})); }), (Bytes{1, 13}));
}

TEST(CSerializer, RestoredValuesFromOddBytes)
{
    CValue value(std::int32_t{5});
    auto absent = Reader(Bytes{0});
    absent->Restore(value);
    EXPECT_TRUE(value.IsEmpty());
    EXPECT_EQ(absent->GetPosition(), 1);

    value = CValue(std::int32_t{5});
    auto handle = Reader(Bytes{1, 13, 0xAA});
    handle->Restore(value);
    EXPECT_TRUE(value.IsEmpty());
    EXPECT_EQ(handle->GetPosition(), 2);

    auto unknown = Reader(Bytes{1, 99});
    unknown->Restore(value);
    EXPECT_TRUE(value.IsEmpty());
}

TEST(CSerializer, StringStopsAtFirstZeroAmongItsBytes)
{
    auto reader = Reader(Bytes{4, 0, 0, 0, 'a', 'b', 0, 'c', 0, 0xEE});
    std::string text;
    reader->Restore(text);
    EXPECT_EQ(text, "ab");
    EXPECT_EQ(reader->GetPosition(), 9);
}

struct BadLength {
    const char* name;
    Bytes bytes;
};
void PrintTo(const BadLength& badLength, std::ostream* out) { *out << badLength.name; }

class CSerializerBadLength : public ::testing::TestWithParam<BadLength> {};

TEST_P(CSerializerBadLength, ThrowsBeforeReadingAndKeepsPosition)
{
    Bytes bytes = {0xAB};
    bytes.insert(bytes.end(), GetParam().bytes.begin(), GetParam().bytes.end());
    auto reader = Reader(bytes);
    std::uint8_t first = 0;
    reader->Restore(first);
    std::string text = "unchanged";
    EXPECT_EQ(ThrownMessage([&] { reader->Restore(text); }), "Not enough space to restore the value");
    EXPECT_EQ(reader->GetPosition(), 1);
    EXPECT_EQ(text, "unchanged");
    CString ctext("unchanged");
    EXPECT_EQ(ThrownMessage([&] { reader->Restore(ctext); }), "Not enough space to restore the value");
    EXPECT_EQ(reader->GetPosition(), 1);
    CValue value;
    Bytes valueBytes = {1, 2};
    valueBytes.insert(valueBytes.end(), GetParam().bytes.begin(), GetParam().bytes.end());
    auto valueReader = Reader(valueBytes);
    EXPECT_EQ(ThrownMessage([&] { valueReader->Restore(value); }), "Not enough space to restore the value");
    EXPECT_EQ(valueReader->GetPosition(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, CSerializerBadLength,
    ::testing::Values(BadLength{"Negative", {0xFF, 0xFF, 0xFF, 0xFF, 'a', 0}},
                      BadLength{"MaxIntWouldWrap", {0xFF, 0xFF, 0xFF, 0x7F, 'a', 0}},
                      BadLength{"MissingTerminator", {3, 0, 0, 0, 'a', 'b', 'c'}},
                      BadLength{"HalfALength", {3, 0}}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(CSerializer, ModeMisuseRaisesTheDocumentedMessages)
{
    CSerializer store(CSerializer::StoreMode);
    CSerializer restore(CSerializer::RestoreMode);
    std::int32_t value = 0;
    EXPECT_EQ(ThrownMessage([&] { restore.Store(value); }), "Serializer was opened for restore operations");
    EXPECT_EQ(ThrownMessage([&] { store.Restore(value); }), "Serializer was opened for store operations");
    EXPECT_EQ(ThrownMessage([&] { restore.GetData(&value); }), "Serializer was opened for the restore operation");
    EXPECT_EQ(ThrownMessage([&] { store.SetData(&value, 4); }), "Serializer was opened for the store operation");
    // Reading an unfilled restore serializer fails at the first read.
    EXPECT_EQ(ThrownMessage([&] { restore.Restore(value); }), "Not enough space to restore the value");
}

TEST(CSerializer, RawBytesAndTheirLimits)
{
    CSerializer store(CSerializer::StoreMode);
    const char data[] = "xyz";
    EXPECT_FALSE(store.StoreBytes(nullptr, 3));
    EXPECT_FALSE(store.StoreBytes(data, 0));
    EXPECT_TRUE(store.StoreBytes(data, 3));
    EXPECT_EQ(store.GetSize(), 3);
    EXPECT_EQ(store.GetData(nullptr), 0);

    auto reader = Reader(Bytes{1, 2, 3});
    std::uint8_t out[4] = {};
    EXPECT_EQ(ThrownMessage([&] { reader->RestoreBytes(out, 4); }), "Not enough space to restore the value");
    EXPECT_EQ(ThrownMessage([&] { reader->RestoreBytes(out, 0); }), "Not enough space to restore the value");
    EXPECT_EQ(ThrownMessage([&] { reader->RestoreBytes(nullptr, 1); }), "Not enough space to restore the value");
    reader->RestoreBytes(out, 3);
    EXPECT_EQ(out[2], 3);
}

TEST(CSerializer, SetDataReplacesAndRewinds)
{
    auto reader = Reader(Bytes{1, 0, 0, 0});
    std::int32_t value = 0;
    reader->Restore(value);
    const Bytes next = {2, 0, 0, 0};
    reader->SetData(next.data(), 4);
    reader->Restore(value);
    EXPECT_EQ(value, 2);
    reader->SetData(nullptr, 4); // ignored
    EXPECT_EQ(reader->GetSize(), 4);
}

TEST(CSerializer, ExceptionHierarchy)
{
    CSerializer::BadVersionException bad("x");
    const CSerializer::SerializationException& asSerialization = bad;
    const CommonException& asCommon = bad;
    EXPECT_STREQ(asSerialization.what(), "x");
    EXPECT_STREQ(asCommon.what(), "x");
}
