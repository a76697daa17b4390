// Every registered format: class names, settings round trips, version checks.
#include <gtest/gtest.h>

#include <memory>

#include "common/DateFormats.h"
#include "common/EnumFormat.h"
#include "common/FloatFormats.h"
#include "common/FormatRegistry.h"
#include "common/IntegerFormats.h"

using namespace Kestrum::Common;

namespace {
const char* const kFormatNames[] = {
    "Common::CEmptyFormat",     "Common::CDoubleFormat",       "Common::CFloatFormat",
    "Common::CBoolFormat",      "Common::CInt64Format",        "Common::CULongFormat",
    "Common::CLongFormat",      "Common::CUShortFormat",       "Common::CShortFormat",
    "Common::CUCharFormat",     "Common::CCharFormat",         "Common::CDefaultStlStringFormat",
    "Common::CDefaultMfcStringFormat", "Common::CInt64DateFormat", "Common::CLongDateFormat",
    "Common::CLongMsecTimeFormat", "Common::CLongEnumFormat",
};

std::vector<std::uint8_t> Stored(CFormat& format)
{
    CSerializer store(CSerializer::StoreMode);
    format.Serialize(store);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(store.GetSize()));
    store.GetData(bytes.data());
    return bytes;
}

void Restore(CFormat& format, const std::vector<std::uint8_t>& bytes)
{
    CSerializer reader(CSerializer::RestoreMode);
    reader.SetData(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    format.Serialize(reader);
    EXPECT_EQ(reader.GetRemaining(), 0) << format.GetClassName();
}
} // namespace

class EveryFormat : public ::testing::TestWithParam<const char*> {};

TEST_P(EveryFormat, CreatedByNameAndNamedBack)
{
    std::unique_ptr<CFormat> format(CreateFormat(GetParam()));
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->GetClassName(), GetParam());
    EXPECT_TRUE(format->IsSerializable());
    std::unique_ptr<CFormat> clone(format->Clone());
    EXPECT_EQ(clone->GetClassName(), GetParam());
    EXPECT_EQ(clone->GetValueType(), format->GetValueType());
}

TEST_P(EveryFormat, VersionTwoIsRefusedWithTheExactMessage)
{
    std::unique_ptr<CFormat> format(CreateFormat(GetParam()));
    const std::vector<std::uint8_t> version2 = {2, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1};
    CSerializer reader(CSerializer::RestoreMode);
    reader.SetData(version2.data(), static_cast<std::int32_t>(version2.size()));
    try {
        format->Serialize(reader);
        FAIL() << "no exception";
    } catch (const CSerializer::BadVersionException& e) {
        EXPECT_EQ(std::string(e.what()),
                  std::string(GetParam() + 8) + " doesn't support current version and can't be deserialized.");
    }
}

TEST_P(EveryFormat, VersionZeroReadsNothingMore)
{
    std::unique_ptr<CFormat> format(CreateFormat(GetParam()));
    const std::vector<std::uint8_t> before = Stored(*format);
    const std::vector<std::uint8_t> version0 = {0, 0, 0, 0, 9, 9};
    CSerializer reader(CSerializer::RestoreMode);
    reader.SetData(version0.data(), 6);
    format->Serialize(reader);
    EXPECT_EQ(reader.GetRemaining(), 2);
    EXPECT_EQ(Stored(*format), before);
}

INSTANTIATE_TEST_SUITE_P(Registry, EveryFormat, ::testing::ValuesIn(kFormatNames),
                         [](const auto& paramInfo) { return std::string(paramInfo.param + 8); });

TEST(FormatSettings, NonDefaultSettingsSurviveARoundTrip)
{
    std::vector<std::unique_ptr<CFormat>> formats;
    formats.emplace_back(new CLongFormat(1, false, '.', false, true));
    formats.emplace_back(new CInt64Format(1, false, '_', false, true));
    formats.emplace_back(new CUShortFormat(1, false, '.', false, false));
    formats.emplace_back(new CCharFormat(1, false, false, false));
    formats.emplace_back(new CDoubleFormat(7, true, false, '$', '%', '\''));
    formats.emplace_back(new CFloatFormat(5, true, false, '<', '>', 0));
    formats.emplace_back(new CInt64DateFormat(253));
    formats.emplace_back(new CLongDateFormat(125));
    formats.emplace_back(new CLongMsecTimeFormat(31, true, " s", " d"));
    auto* enums = new CLongEnumFormat;
    enums->AddItem(2, "two");
    enums->AddItem(-1, "minus one");
    formats.emplace_back(enums);

    for (const auto& format : formats) {
        const std::vector<std::uint8_t> bytes = Stored(*format);
        std::unique_ptr<CFormat> fresh(CreateFormat(format->GetClassName()));
        ASSERT_NE(fresh, nullptr);
        Restore(*fresh, bytes);
        EXPECT_EQ(Stored(*fresh), bytes) << format->GetClassName();
        // The restored format writes the same text.
        for (const std::int64_t sample : {0LL, 1LL, -7LL, 1234567LL, 130000000000000000LL}) {
            CValue value;
            switch (format->GetValueType()) {
            case FT_LONG: value = CValue(static_cast<std::int32_t>(sample)); break;
            case FT_INT64: value = CValue(sample); break;
            case FT_USHORT: value = CValue(static_cast<std::uint16_t>(sample)); break;
            case FT_CHAR: value = CValue(static_cast<std::int8_t>(sample)); break;
            case FT_DOUBLE: value = CValue(static_cast<double>(sample) / 3); break;
            case FT_FLOAT: value = CValue(static_cast<float>(sample) / 3); break;
            default: break;
            }
            EXPECT_EQ(fresh->FormatValue(value, nullptr), format->FormatValue(value, nullptr))
                << format->GetClassName();
        }
    }
}

TEST(FormatSettings, RestoredPrecisionIsClamped)
{
    CSerializer store(CSerializer::StoreMode);
    store.Store(std::int32_t{1});
    store.Store(std::int8_t{100});
    for (int i = 0; i < 5; ++i)
        store.Store(std::int8_t{0});
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(store.GetSize()));
    store.GetData(bytes.data());
    CDoubleFormat doubles;
    Restore(doubles, bytes);
    EXPECT_EQ(doubles.GetPrecision(), 9);
    CFloatFormat floats;
    Restore(floats, bytes);
    EXPECT_EQ(floats.GetPrecision(), 6);
    bytes[4] = static_cast<std::uint8_t>(-5);
    Restore(doubles, bytes);
    EXPECT_EQ(doubles.GetPrecision(), 0);
    EXPECT_EQ(doubles.FormatValue(2.5, nullptr), "3");
}

TEST(FormatSettings, DefaultFormatsAreTheTypedFormats)
{
    EXPECT_EQ(GetDefaultFormat(FT_CHAR)->GetClassName(), "Common::CCharFormat");
    EXPECT_EQ(GetDefaultFormat(FT_LONG)->GetClassName(), "Common::CLongFormat");
    EXPECT_EQ(GetDefaultFormat(FT_DOUBLE)->GetClassName(), "Common::CDoubleFormat");
    EXPECT_EQ(GetDefaultFormat(FT_BOOL)->GetClassName(), "Common::CBoolFormat");
    EXPECT_EQ(GetDefaultFormat(FT_LONG)->FormatValue(CValue(std::int32_t{1234567}), nullptr), "1 234 567");
    EXPECT_EQ(GetDefaultFormat(FT_SHORT)->FormatValue(CValue(std::int16_t{-1}), nullptr), "-1");
    EXPECT_EQ(GetDefaultFormat(FT_CHAR)->FormatValue(CValue(std::int8_t{'k'}), nullptr), "k");
    EXPECT_EQ(GetDefaultFormat(FT_FLOAT)->FormatValue(CValue(0.125f), nullptr), "0,13");
    EXPECT_EQ(GetDefaultFormat(FT_DOUBLE)->FormatValue(CValue(0.125), nullptr), "0,125");
}
