#include <gtest/gtest.h>

#include "SampleObject.h"
#include "common/DynamicObject.h"
#include "common/StringFormats.h"

using namespace Kestrum::Common;
using Kestrum::Test::CRecordingSink;

namespace {
struct DynamicFixture : ::testing::Test {
    CDynamicObject object{true};
    CRecordingSink sink;
    void SetUp() override { object.Subscribe(&sink); }
    void TearDown() override { object.Unsubscribe(&sink); }
};
} // namespace

TEST_F(DynamicFixture, SetValueNotifiesOnlyOnChange)
{
    EXPECT_TRUE(object.SetValue(5, CValue(std::int32_t{7})));
    EXPECT_EQ(sink.changes, (std::vector<FieldId>{5}));
    EXPECT_TRUE(object.SetValue(5, CValue(std::int32_t{7})));
    EXPECT_EQ(sink.changes.size(), 1u);
    EXPECT_TRUE(object.SetLong(5, 8));
    EXPECT_EQ(sink.changes.size(), 2u);
    // A first value that equals the empty value still counts as a change.
    EXPECT_TRUE(object.SetValue(6, CValue()));
    EXPECT_EQ(sink.changes.size(), 3u);
}

TEST_F(DynamicFixture, AnotherTagReplacesValueAndType)
{
    object.SetLong(5, 7);
    object.SetValue(5, CValue(2.5));
    EXPECT_EQ(object.GetLong(5), 0);
    EXPECT_EQ(object.GetDouble(5), 2.5);
    EXPECT_EQ(object.GetFieldType(5), FT_DOUBLE);
}

TEST_F(DynamicFixture, ReservedIdsAreRefused)
{
    EXPECT_FALSE(object.SetValue(FIELD_ALL, CValue(std::int32_t{1})));
    EXPECT_FALSE(object.SetValue(FIELD_NONE, CValue(std::int32_t{1})));
    EXPECT_FALSE(object.SetValueText(FIELD_ALL, std::string("x"), nullptr));
    auto* reserved = new CField(FIELD_ALL, "all", FT_LONG);
    EXPECT_FALSE(object.AddField(reserved));
    delete reserved;
    std::set<FieldId> ids;
    object.GetFieldIds(ids);
    EXPECT_TRUE(ids.empty());
    EXPECT_TRUE(sink.changes.empty());
}

TEST(CDynamicObject, WithoutNotifyNoSetterNotifies)
{
    CDynamicObject object(false);
    object.AddField(new CField(1, "Text", FT_STLSTRING));
    CRecordingSink sink;
    object.Subscribe(&sink);
    object.SetLong(1, 1);
    object.SetValue(2, CValue(2.0));
    object.SetValueText(1, std::string("x"), nullptr);
    EXPECT_TRUE(sink.changes.empty());
    object.Unsubscribe(&sink);
}

TEST(CDynamicObject, FieldIdsJoinDescriptorsAndValues)
{
    CDynamicObject object(true);
    EXPECT_TRUE(object.AddField(new CField(1, "Described", FT_LONG)));
    object.SetLong(3, 9);
    std::set<FieldId> ids;
    object.GetFieldIds(ids);
    EXPECT_EQ(ids, (std::set<FieldId>{1, 3}));
    EXPECT_FALSE(object.IsReadable(1));
    EXPECT_TRUE(object.IsReadable(3));
    EXPECT_TRUE(object.IsWritable(3));
    EXPECT_EQ(object.GetFieldCaption(1), "Described");
    EXPECT_EQ(object.GetFieldCaption(3), "");
    std::set<FieldBinding> bindings;
    object.GetFields(bindings);
    EXPECT_EQ(bindings.size(), 1u);
}

TEST(CDynamicObject, TextNeedsADescriptor)
{
    CDynamicObject object(true);
    EXPECT_FALSE(object.SetValueText(3, std::string("abc"), nullptr));
    EXPECT_TRUE(object.SetValue(3, CValue(std::string("abc"))));
    EXPECT_EQ(object.GetValueText(3, nullptr), "abc"); // default format of the value's tag

    object.AddField(new CField(4, "Name", FT_MFCSTRING));
    EXPECT_TRUE(object.SetValueText(4, std::string("first"), nullptr));
    EXPECT_EQ(object.GetFieldType(4), FT_MFCSTRING);
    EXPECT_EQ(object.GetValueTextAsCString(4, nullptr), CString("first"));
    EXPECT_TRUE(object.SetValueText(4, CString("second"), nullptr));
    EXPECT_EQ(object.GetMfcString(4), CString("second"));

    // The stored value keeps its tag when the format's parse cannot store into it.
    object.SetValue(4, CValue(std::int32_t{5}));
    EXPECT_TRUE(object.SetValueText(4, std::string("third"), nullptr));
    EXPECT_EQ(object.GetLong(4), 5);
}

TEST(CDynamicObject, FailedParseStoresNothing)
{
    CDynamicObject object(true);
    object.AddField(new CField(1, "Count", FT_LONG, new CEmptyFormat(FT_LONG)));
    EXPECT_FALSE(object.SetValueText(1, std::string("12"), nullptr));
    EXPECT_TRUE(object.GetValue(1).IsEmpty());
}

TEST(CDynamicObject, DuplicateAddFieldLeavesTheFieldWithTheCaller)
{
    CDynamicObject object(true);
    EXPECT_TRUE(object.AddField(new CField(1, "First", FT_LONG)));
    auto* second = new CField(1, "Second", FT_LONG);
    EXPECT_FALSE(object.AddField(second));
    EXPECT_FALSE(object.AddField(nullptr));
    delete second;
    EXPECT_EQ(object.GetFieldCaption(1), "First");
}

TEST(CDynamicObject, DisposalIsHeardWhileStillWhole)
{
    struct CReadingSink : CDataObject::ISink {
        std::int32_t seen = 0;
        void OnFieldChanged(FieldId, CDataObject*) override {}
        void OnDispose(CDataObject* object) override { seen = static_cast<CDynamicObject*>(object)->GetLong(1); }
    } sink;
    {
        CDynamicObject object(true);
        object.SetLong(1, 31);
        object.Subscribe(&sink);
    }
    EXPECT_EQ(sink.seen, 31);
}

TEST(CDynamicObject, SerializesItsDescribedFields)
{
    CDynamicObject source(false);
    source.AddField(new CField(1, "A", FT_STLSTRING));
    source.AddField(new CField(2, "B", FT_LONG));
    source.SetStlString(1, "one");
    source.SetLong(2, 2);
    source.SetLong(9, 9); // no descriptor: not stored
    CSerializer store(CSerializer::StoreMode);
    source.Serialize(store);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(store.GetSize()));
    store.GetData(bytes.data());

    CDynamicObject target(false);
    CSerializer reader(CSerializer::RestoreMode);
    reader.SetData(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    target.Serialize(reader);
    EXPECT_EQ(target.GetStlString(1), "one");
    EXPECT_EQ(target.GetLong(2), 2);
    EXPECT_TRUE(target.GetValue(9).IsEmpty());
}
