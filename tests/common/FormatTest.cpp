#include <gtest/gtest.h>

#include <memory>

#include "common/FormatRegistry.h"
#include "common/StringFormats.h"

using namespace Kestrum::Common;

namespace {
// A long format that writes and parses plain decimal, for dispatcher tests.
class CPlainLongFormat : public CTypedFormat<std::int32_t> {
public:
    using CTypedFormat::FormatValue;
    using CTypedFormat::ParseValue;
    CPlainLongFormat() : CTypedFormat(FT_LONG) {}
    std::string FormatValue(std::int32_t value, CDataObject*) const override { return std::to_string(value); }
    bool ParseValue(const std::string& text, std::int32_t& out, CDataObject*) const override
    {
        if (text.empty())
            return false;
        out = std::stoi(text);
        return true;
    }
    CFormat* Clone() const override { return new CPlainLongFormat(*this); }
};
} // namespace

TEST(CFormatDispatch, ValueOfAnotherTypeGivesEmptyText)
{
    CPlainLongFormat format;
    EXPECT_EQ(format.FormatValue(CValue(std::int16_t{5}), nullptr), "");
    EXPECT_EQ(format.FormatValue(CValue(std::int32_t{5}), nullptr), "5");
    EXPECT_EQ(format.FormatValueAsCString(CValue(std::int32_t{-5}), nullptr), CString("-5"));
    CDefaultMfcStringFormat mfc;
    EXPECT_EQ(mfc.FormatValue(CValue(std::string("stl")), nullptr), "");
    EXPECT_EQ(mfc.FormatValue(CValue(CString("mfc")), nullptr), "mfc");
    CDefaultStlStringFormat stl;
    EXPECT_EQ(stl.FormatValueAsCString(CValue(CString("mfc")), nullptr), CString());
    EXPECT_EQ(stl.FormatValueAsCString(CValue(std::string("stl")), nullptr), CString("stl"));
}

TEST(CFormatDispatch, ParseStoresByTheOutRule)
{
    CPlainLongFormat format;
    CValue holdsDouble(2.5);
    EXPECT_TRUE(format.ParseValue(std::string("12"), holdsDouble, nullptr));
    EXPECT_EQ(holdsDouble.GetType(), FT_DOUBLE);
    EXPECT_EQ(holdsDouble.Get<double>(), 2.5);

    CValue empty;
    EXPECT_TRUE(format.ParseValue(CString("12"), empty, nullptr));
    EXPECT_EQ(empty.GetType(), FT_LONG);
    EXPECT_EQ(empty.Get<std::int32_t>(), 12);

    CValue same(std::int32_t{1});
    EXPECT_TRUE(format.ParseValue(std::string("-3"), same, nullptr));
    EXPECT_EQ(same.Get<std::int32_t>(), -3);

    CValue untouched(std::int32_t{1});
    EXPECT_FALSE(format.ParseValue(std::string(), untouched, nullptr));
    EXPECT_EQ(untouched.Get<std::int32_t>(), 1);
}

TEST(CFormatDispatch, MfcStringFormatParsesIntoEmptyButNotIntoStlValue)
{
    CDefaultMfcStringFormat mfc;
    CValue empty;
    EXPECT_TRUE(mfc.ParseValue(std::string("text"), empty, nullptr));
    EXPECT_EQ(empty.GetType(), FT_MFCSTRING);
    EXPECT_EQ(empty.Get<CString>(), CString("text"));
    CValue stl(std::string("keep"));
    EXPECT_TRUE(mfc.ParseValue(std::string("other"), stl, nullptr));
    EXPECT_EQ(stl.Get<std::string>(), "keep");
}

TEST(CEmptyFormat, ConvertsNothing)
{
    CEmptyFormat format(FT_LONG);
    EXPECT_EQ(format.FormatValue(CValue(std::int32_t{1}), nullptr), "");
    CValue out;
    EXPECT_FALSE(format.ParseValue(std::string("1"), out, nullptr));
    EXPECT_FALSE(CEmptyFormat().ParseValue(CString("1"), out, nullptr));
    EXPECT_TRUE(out.IsEmpty());
    EXPECT_TRUE(format.IsSerializable());
    EXPECT_EQ(format.GetValueType(), FT_LONG);
}

TEST(StringFormats, TextPassesThroughUnchanged)
{
    CDefaultStlStringFormat stl;
    CDefaultMfcStringFormat mfc;
    for (const std::string& text : {std::string(" \t padded\r\n "), std::string(), std::string("\xC3\xA9t\xC3\xA9")}) {
        std::string parsed = "x";
        EXPECT_TRUE(stl.ParseValue(text, parsed, nullptr));
        EXPECT_EQ(parsed, text);
        EXPECT_EQ(stl.FormatValue(parsed, nullptr), text);
        CString cparsed("x");
        EXPECT_TRUE(mfc.ParseValue(text, cparsed, nullptr));
        EXPECT_EQ(cparsed.ToStdString(), text);
        EXPECT_EQ(mfc.FormatValue(cparsed, nullptr), text);
        EXPECT_TRUE(stl.ParseValue(CString(text), parsed, nullptr));
        EXPECT_EQ(stl.FormatValueAsCString(text, nullptr).ToStdString(), text);
    }
    std::string untouched = "u";
    EXPECT_FALSE(mfc.ParseValue(std::string("x"), untouched, nullptr)); // base operation
    EXPECT_EQ(untouched, "u");
}

TEST(FormatRegistry, CreatesBuiltInsByClassName)
{
    for (const char* name : {"Common::CEmptyFormat", "Common::CDefaultStlStringFormat",
                             "Common::CDefaultMfcStringFormat"}) {
        std::unique_ptr<CFormat> format(CreateFormat(name));
        ASSERT_NE(format, nullptr) << name;
        EXPECT_EQ(format->GetClassName(), name);
        EXPECT_TRUE(format->IsSerializable());
    }
    EXPECT_EQ(CreateFormat("Common::CNoSuchFormat"), nullptr);
    EXPECT_EQ(CreateFormat(""), nullptr);
}

TEST(FormatRegistry, SecondRegistrationOfANameKeepsTheFirst)
{
    auto first = []() -> CFormat* { return new CPlainLongFormat; };
    auto second = []() -> CFormat* { return new CEmptyFormat; };
    EXPECT_TRUE(RegisterFormat("Test::CPlainLongFormat", first));
    EXPECT_FALSE(RegisterFormat("Test::CPlainLongFormat", second));
    std::unique_ptr<CFormat> made(CreateFormat("Test::CPlainLongFormat"));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetValueType(), FT_LONG);
    EXPECT_FALSE(RegisterFormat("Common::CEmptyFormat", second));
    EXPECT_TRUE(RegisterFormat("Test::Null", nullptr));
    EXPECT_EQ(CreateFormat("Test::Null"), nullptr);
}

TEST(FormatRegistry, DefaultFormatsAreSharedPerCode)
{
    EXPECT_EQ(GetDefaultFormat(FT_STLSTRING), GetDefaultFormat(FT_STLSTRING));
    EXPECT_EQ(GetDefaultFormat(FT_STLSTRING)->GetClassName(), "Common::CDefaultStlStringFormat");
    EXPECT_EQ(GetDefaultFormat(FT_MFCSTRING)->GetClassName(), "Common::CDefaultMfcStringFormat");
    EXPECT_EQ(GetDefaultFormat(FT_HANDLE)->GetClassName(), "Common::CEmptyFormat");
    EXPECT_EQ(GetDefaultFormat(FT_HANDLE)->GetValueType(), FT_HANDLE);
    EXPECT_EQ(GetDefaultFormat(99)->GetValueType(), FT_EMPTY);
    EXPECT_EQ(GetDefaultFormat(-1), GetDefaultFormat(0));
    EXPECT_EQ(GetDefaultFormat(FT_HANDLE)->FormatValue(CValue(OpaqueHandle{5}), nullptr), "");
}

TEST(FormatSettings, NewerVersionIsRefusedWithTheClassName)
{
    for (const char* name : {"Common::CEmptyFormat", "Common::CDefaultStlStringFormat",
                             "Common::CDefaultMfcStringFormat"}) {
        std::unique_ptr<CFormat> format(CreateFormat(name));
        CSerializer reader(CSerializer::RestoreMode);
        const std::uint8_t version2[] = {2, 0, 0, 0};
        reader.SetData(version2, 4);
        try {
            format->Serialize(reader);
            ADD_FAILURE() << "no exception for " << name;
        } catch (const CSerializer::BadVersionException& e) {
            EXPECT_EQ(std::string(e.what()), std::string(name + 8) +
                                                 " doesn't support current version and can't be deserialized.");
        }
    }
}

TEST(HeldFormat, RoundTripsThroughTheHolderLayout)
{
    CSerializer store(CSerializer::StoreMode);
    CDefaultStlStringFormat stl;
    StoreHeldFormat(store, &stl);
    StoreHeldFormat(store, nullptr);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(store.GetSize()));
    store.GetData(bytes.data());
    // flag, name (4 + 31 + 1), count, version
    EXPECT_EQ(bytes.size(), 1u + 4 + 31 + 1 + 4 + 4 + 1);

    CSerializer reader(CSerializer::RestoreMode);
    reader.SetData(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    std::unique_ptr<CFormat> restored(RestoreHeldFormat(reader));
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->GetClassName(), "Common::CDefaultStlStringFormat");
    EXPECT_EQ(RestoreHeldFormat(reader), nullptr);
    EXPECT_EQ(reader.GetRemaining(), 0);
}

TEST(HeldFormat, UnknownClassSkipsItsBytesAndHugeCountIsRefused)
{
    CSerializer store(CSerializer::StoreMode);
    store.Store(true);
    store.Store(std::string("Common::CGone"));
    store.Store(std::int32_t{3});
    const std::uint8_t junk[3] = {9, 9, 9};
    store.StoreBytes(junk, 3);
    store.Store(std::int32_t{77});
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(store.GetSize()));
    store.GetData(bytes.data());

    CSerializer reader(CSerializer::RestoreMode);
    reader.SetData(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    EXPECT_EQ(RestoreHeldFormat(reader), nullptr);
    std::int32_t after = 0;
    reader.Restore(after);
    EXPECT_EQ(after, 77);

    bytes[1 + 4 + 13 + 1] = 0xFF; // count low byte: 0x000000FF bytes claimed, 7 remain
    CSerializer damaged(CSerializer::RestoreMode);
    damaged.SetData(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    EXPECT_THROW(RestoreHeldFormat(damaged), CSerializer::SerializationException);
}

TEST(HeldFormat, NonSerializableFormatStoresOnlyTheFlag)
{
    class CLocalFormat : public CFormat {
    public:
        CLocalFormat() : CFormat(FT_LONG) {}
        CFormat* Clone() const override { return new CLocalFormat; }
    } local;
    CSerializer store(CSerializer::StoreMode);
    StoreHeldFormat(store, &local);
    EXPECT_EQ(store.GetSize(), 1);
}
