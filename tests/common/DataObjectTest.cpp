#include <gtest/gtest.h>

#include "SampleObject.h"
#include "common/FormatRegistry.h"
#include "common/StringFormats.h"

using namespace Kestrum::Common;
using namespace Kestrum::Test;

TEST(CDataObjectFields, TypedAccessorsReachTheClass)
{
    CSampleObject object;
    EXPECT_TRUE(object.SetMfcString(F_NAME, CString("name")));
    EXPECT_TRUE(object.SetStlString(F_PATH, "/tmp"));
    EXPECT_TRUE(object.SetChar(F_CHAR, -5));
    EXPECT_TRUE(object.SetUChar(F_UCHAR, 250));
    EXPECT_TRUE(object.SetShort(F_SHORT, -300));
    EXPECT_TRUE(object.SetUShort(F_USHORT, 60000));
    EXPECT_TRUE(object.SetLong(F_LONG, -70000));
    EXPECT_TRUE(object.SetULong(F_ULONG, 4000000000u));
    EXPECT_TRUE(object.SetInt64(F_INT64, 1LL << 40));
    EXPECT_TRUE(object.SetBool(F_BOOL, true));
    EXPECT_TRUE(object.SetFloat(F_FLOAT, 1.5f));
    EXPECT_TRUE(object.SetDouble(F_DOUBLE, 2.25));
    EXPECT_TRUE(object.SetHandle(F_HANDLE, 0xDEADBEEF));

    EXPECT_EQ(object.GetMfcString(F_NAME), CString("name"));
    EXPECT_EQ(object.GetStlString(F_PATH), "/tmp");
    EXPECT_EQ(object.GetChar(F_CHAR), -5);
    EXPECT_EQ(object.GetUChar(F_UCHAR), 250);
    EXPECT_EQ(object.GetShort(F_SHORT), -300);
    EXPECT_EQ(object.GetUShort(F_USHORT), 60000);
    EXPECT_EQ(object.GetLong(F_LONG), -70000);
    EXPECT_EQ(object.GetULong(F_ULONG), 4000000000u);
    EXPECT_EQ(object.GetInt64(F_INT64), 1LL << 40);
    EXPECT_TRUE(object.GetBool(F_BOOL));
    EXPECT_EQ(object.GetFloat(F_FLOAT), 1.5f);
    EXPECT_EQ(object.GetDouble(F_DOUBLE), 2.25);
    EXPECT_EQ(object.GetHandle(F_HANDLE), 0xDEADBEEFu);
}

TEST(CDataObjectFields, NoConversionBetweenTypes)
{
    CSampleObject object;
    object.i64 = 9;
    EXPECT_EQ(object.GetLong(F_INT64), 0);
    EXPECT_FALSE(object.SetLong(F_INT64, 5));
    EXPECT_EQ(object.i64, 9);
    EXPECT_TRUE(object.SetInt64(F_INT64, 5));
    EXPECT_EQ(object.GetInt64(F_INT64), 5);
    EXPECT_EQ(object.GetMfcString(F_PATH), CString());
}

TEST(CDataObjectFields, UnknownIdsAndMissingSettersGiveNothing)
{
    CSampleObject object;
    EXPECT_EQ(object.GetField(99).field, nullptr);
    EXPECT_EQ(object.GetField(99).target, &object);
    EXPECT_EQ(object.GetFieldType(99), FT_EMPTY);
    EXPECT_EQ(object.GetFieldCaption(99), "");
    EXPECT_EQ(object.GetFieldFormat(99), nullptr);
    EXPECT_TRUE(object.GetValue(99).IsEmpty());
    EXPECT_FALSE(object.SetValue(99, CValue(std::int32_t{1})));
    EXPECT_EQ(object.GetValueText(99, nullptr), "");
    EXPECT_FALSE(object.SetValueText(99, std::string("1"), nullptr));
    EXPECT_FALSE(object.IsReadable(99));

    EXPECT_TRUE(object.IsReadable(F_READONLY));
    EXPECT_FALSE(object.IsWritable(F_READONLY));
    EXPECT_EQ(object.GetLong(F_READONLY), 42);
    EXPECT_FALSE(object.SetLong(F_READONLY, 1));
    EXPECT_FALSE(object.SetValue(F_READONLY, CValue(std::int32_t{1})));
    EXPECT_EQ(object.GetFieldCaption(F_READONLY), "ReadOnly");
}

TEST(CDataObjectFields, GetValueCarriesTheFieldTag)
{
    CSampleObject object;
    object.path = "p";
    const CValue path = object.GetValue(F_PATH);
    EXPECT_EQ(path.GetType(), FT_STLSTRING);
    EXPECT_EQ(path.Get<std::string>(), "p");
    EXPECT_EQ(object.GetValue(F_READONLY).Get<std::int32_t>(), 42);
}

TEST(CDataObjectFields, SetValueOfAnotherTagPassesTheZero)
{
    CSampleObject object;
    object.i64 = 77;
    EXPECT_TRUE(object.SetValue(F_INT64, CValue(std::int32_t{7})));
    EXPECT_EQ(object.i64, 0);
    object.name = CString("old");
    EXPECT_TRUE(object.SetValue(F_NAME, CValue(std::string("stl"))));
    EXPECT_EQ(object.name, CString());
    EXPECT_TRUE(object.SetValue(F_NAME, CValue(CString("mfc"))));
    EXPECT_EQ(object.name, CString("mfc"));
}

TEST(CDataObjectText, NullFormatUsesTheTypesDefault)
{
    CSampleObject object;
    object.path = "text";
    object.name = CString("name");
    EXPECT_EQ(object.GetValueText(F_PATH, nullptr), "text");
    EXPECT_EQ(object.GetValueTextAsCString(F_NAME, nullptr), CString("name"));
    // A format of another type uses the base operation: empty text.
    CDefaultMfcStringFormat mfc;
    EXPECT_EQ(object.GetValueText(F_PATH, &mfc), "");
}

TEST(CDataObjectText, StringFieldsAlwaysAcceptText)
{
    CSampleObject object;
    CEmptyFormat refuses(FT_STLSTRING);
    EXPECT_TRUE(object.SetValueText(F_PATH, std::string("raw"), &refuses));
    EXPECT_EQ(object.path, "raw");
    EXPECT_TRUE(object.SetValueText(F_NAME, std::string("via stl"), &refuses));
    EXPECT_EQ(object.name, CString("via stl"));
    EXPECT_TRUE(object.SetValueText(F_PATH, CString("via mfc"), nullptr));
    EXPECT_EQ(object.path, "via mfc");
    // Numeric fields reject what the format cannot parse.
    object.l = 3;
    EXPECT_FALSE(object.SetValueText(F_LONG, std::string("12"), &refuses));
    EXPECT_EQ(object.l, 3);
    EXPECT_FALSE(object.SetValueText(F_READONLY, std::string("12"), nullptr));
}

TEST(CDataObjectEnumeration, FieldsAndIds)
{
    CSampleObject object;
    std::set<FieldId> ids = {1000};
    object.GetFieldIds(ids);
    EXPECT_EQ(ids.size(), 15u);
    EXPECT_EQ(*ids.begin(), 0);
    std::set<FieldBinding> bindings;
    object.GetFields(bindings);
    EXPECT_EQ(bindings.size(), 14u);
    for (const FieldBinding& binding : bindings)
        EXPECT_EQ(binding.target, &object);
    EXPECT_EQ(object.GetDescription(), "");
    EXPECT_FALSE(object.GetUserFlag());
}

TEST(CDataObjectSerialize, WritesVersionCountAndIdValuePairs)
{
    CSampleObject source;
    source.name = CString("n");
    source.l = -2;
    source.d = 0.5;
    CSerializer store(CSerializer::StoreMode);
    source.Serialize(store);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(store.GetSize()));
    store.GetData(bytes.data());
    ASSERT_GE(bytes.size(), 16u);
    EXPECT_EQ(bytes[0], 1);  // version
    EXPECT_EQ(bytes[4], 14); // count
    EXPECT_EQ(bytes[8], 0);  // first id
    EXPECT_EQ(bytes[12], 1); // present marker
    EXPECT_EQ(bytes[13], FT_MFCSTRING);

    CSampleObject target;
    CSerializer reader(CSerializer::RestoreMode);
    reader.SetData(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    target.Serialize(reader);
    EXPECT_EQ(target.name, CString("n"));
    EXPECT_EQ(target.l, -2);
    EXPECT_EQ(target.d, 0.5);
    EXPECT_EQ(reader.GetRemaining(), 0);
}

TEST(CDataObjectSerialize, VersionZeroReadsNothingMoreAndHugeCountIsRefused)
{
    CSampleObject target;
    target.l = 5;
    const std::uint8_t zero[] = {0, 0, 0, 0, 0xFF};
    CSerializer reader(CSerializer::RestoreMode);
    reader.SetData(zero, sizeof zero);
    target.Serialize(reader);
    EXPECT_EQ(reader.GetRemaining(), 1);

    const std::uint8_t huge[] = {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 6, 0, 0, 0, 1, 7, 1, 0, 0, 0};
    CSerializer damaged(CSerializer::RestoreMode);
    damaged.SetData(huge, sizeof huge);
    EXPECT_THROW(target.Serialize(damaged), CSerializer::SerializationException);
    EXPECT_EQ(target.l, 5);
}

TEST(CDataObjectSinks, DuplicateSubscriptionCountsOnce)
{
    CSampleObject object;
    CRecordingSink sink;
    object.Subscribe(&sink);
    object.Subscribe(&sink);
    object.Subscribe(nullptr);
    object.NotifyFieldChanged(3);
    EXPECT_EQ(sink.changes, (std::vector<FieldId>{3}));
    object.Unsubscribe(&sink);
    object.NotifyFieldChanged(4);
    EXPECT_EQ(sink.changes.size(), 1u);
    EXPECT_FALSE(object.HasSubscribers());
    object.Unsubscribe(&sink); // absent: nothing happens
}

TEST(CDataObjectSinks, AllFieldsIdReachesSinksUnchanged)
{
    CSampleObject object;
    CRecordingSink sink;
    object.Subscribe(&sink);
    object.NotifyFieldChanged(FIELD_ALL);
    EXPECT_EQ(sink.changes, (std::vector<FieldId>{-1}));
    object.NotifyFieldsChanged({5, 2});
    EXPECT_EQ(sink.changes, (std::vector<FieldId>{-1, 2, 5}));
    object.Unsubscribe(&sink);
}

namespace {
struct CSelfRemovingSink : CRecordingSink {
    CDataObject* target = nullptr;
    void OnFieldChanged(FieldId id, CDataObject* object) override
    {
        CRecordingSink::OnFieldChanged(id, object);
        target->Unsubscribe(this);
    }
};
struct CAddingSink : CRecordingSink {
    CRecordingSink* late = nullptr;
    void OnFieldChanged(FieldId id, CDataObject* object) override
    {
        CRecordingSink::OnFieldChanged(id, object);
        object->Subscribe(late);
    }
};
} // namespace

TEST(CDataObjectSinks, NotificationRunsOverACopyOfTheList)
{
    CSampleObject object;
    CSelfRemovingSink leaving;
    leaving.target = &object;
    CRecordingSink staying, late;
    CAddingSink adding;
    adding.late = &late;
    object.Subscribe(&leaving);
    object.Subscribe(&adding);
    object.Subscribe(&staying);
    object.NotifyFieldChanged(1);
    EXPECT_EQ(leaving.changes.size(), 1u);
    EXPECT_EQ(staying.changes.size(), 1u);
    EXPECT_TRUE(late.changes.empty()); // added during the round
    object.NotifyFieldChanged(2);
    EXPECT_EQ(leaving.changes.size(), 1u);
    EXPECT_EQ(staying.changes.size(), 2u);
    EXPECT_EQ(late.changes.size(), 1u);
    object.Unsubscribe(&adding);
    object.Unsubscribe(&staying);
    object.Unsubscribe(&late);
}

TEST(CDataObjectSinks, DisposalReachesEverySinkInOrderOnce)
{
    std::vector<int> order;
    struct COrderSink : CDataObject::ISink {
        std::vector<int>* order = nullptr;
        int tag = 0;
        void OnFieldChanged(FieldId, CDataObject*) override {}
        void OnDispose(CDataObject*) override { order->push_back(tag); }
    } first, second;
    first.order = second.order = &order;
    first.tag = 1;
    second.tag = 2;
    {
        CSampleObject object;
        object.Subscribe(&first);
        object.Subscribe(&second);
    }
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(CDataObjectSinks, ListKeepsSubscriptionOrderGrowingAndShrinking)
{
    // One sink is kept without a list; more grow one; removals shrink it.
    struct COrderSink : CDataObject::ISink {
        std::vector<int>* order = nullptr;
        int tag = 0;
        void OnFieldChanged(FieldId, CDataObject*) override { order->push_back(tag); }
    };
    std::vector<int> order;
    std::vector<COrderSink> sinks(9);
    for (int i = 0; i < 9; ++i) {
        sinks[static_cast<std::size_t>(i)].order = &order;
        sinks[static_cast<std::size_t>(i)].tag = i;
    }
    CSampleObject object;
    const auto notified = [&] {
        order.clear();
        object.NotifyFieldChanged(1);
        return order;
    };
    object.Subscribe(&sinks[0]);
    EXPECT_EQ(notified(), (std::vector<int>{0}));
    for (std::size_t i = 1; i < 9; ++i)
        object.Subscribe(&sinks[i]);
    object.Subscribe(&sinks[4]); // duplicate
    EXPECT_EQ(notified(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    for (std::size_t i : {0u, 4u, 8u})
        object.Unsubscribe(&sinks[i]);
    EXPECT_EQ(notified(), (std::vector<int>{1, 2, 3, 5, 6, 7}));
    for (std::size_t i : {1u, 2u, 3u, 5u, 6u})
        object.Unsubscribe(&sinks[i]);
    EXPECT_EQ(notified(), (std::vector<int>{7}));
    object.Subscribe(&sinks[0]);
    EXPECT_EQ(notified(), (std::vector<int>{7, 0}));
    object.Unsubscribe(&sinks[7]);
    object.Unsubscribe(&sinks[0]);
    EXPECT_FALSE(object.HasSubscribers());
    EXPECT_TRUE(notified().empty());
}

TEST(CDataObjectSinks, EveryListSizeNotifiesEachSinkOnceInOrder)
{
    // Around the sizes where the list's copy changes its storage.
    struct COrderSink : CDataObject::ISink {
        std::vector<int>* order = nullptr;
        int tag = 0;
        void OnFieldChanged(FieldId, CDataObject*) override { order->push_back(tag); }
    };
    for (int count = 0; count <= 9; ++count) {
        std::vector<int> order, expected;
        std::vector<COrderSink> sinks(static_cast<std::size_t>(count));
        CSampleObject object;
        for (int i = 0; i < count; ++i) {
            sinks[static_cast<std::size_t>(i)].order = &order;
            sinks[static_cast<std::size_t>(i)].tag = i;
            object.Subscribe(&sinks[static_cast<std::size_t>(i)]);
            expected.push_back(i);
        }
        object.NotifyFieldChanged(1);
        EXPECT_EQ(order, expected) << count << " sinks";
        for (COrderSink& sink : sinks)
            object.Unsubscribe(&sink);
    }
}

TEST(CDataObjectSerialize, DamagedStateChangesNoField)
{
    // Two entries: the first complete, the second's value cut short.
    CSampleObject source;
    source.l = 41;
    source.name = CString("kept");
    CSerializer store(CSerializer::StoreMode);
    source.Serialize(store);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(store.GetSize()));
    store.GetData(bytes.data());
    bytes.resize(bytes.size() - 2);
    CSampleObject target;
    target.l = 5;
    target.name = CString("before");
    CSerializer reader(CSerializer::RestoreMode);
    reader.SetData(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    EXPECT_THROW(target.Serialize(reader), CSerializer::SerializationException);
    EXPECT_EQ(target.l, 5);
    EXPECT_EQ(target.name, CString("before"));
}
