#include <gtest/gtest.h>

#include "common/EnumFormat.h"

using namespace Kestrum::Common;

TEST(CLongEnumFormat, EmptyFormatConvertsNothing)
{
    CLongEnumFormat format;
    EXPECT_EQ(format.FormatValue(1, nullptr), "");
    std::int32_t out = 5;
    EXPECT_FALSE(format.ParseValue(std::string(""), out, nullptr));
    EXPECT_EQ(out, 5);
    std::vector<CLongEnumFormat::Item> items;
    EXPECT_FALSE(format.GetItems(items));
    EXPECT_TRUE(items.empty());
    EXPECT_TRUE(format.IsEnumFormat());
}

TEST(CLongEnumFormat, ItemsKeepInsertionOrderWhileStoredMapIsAscending)
{
    CLongEnumFormat format;
    EXPECT_TRUE(format.AddItem(3, "High"));
    EXPECT_TRUE(format.AddItem(1, "Low"));
    EXPECT_TRUE(format.AddItem(2, "Medium"));
    EXPECT_FALSE(format.AddItem(3, "Other"));
    std::vector<CLongEnumFormat::Item> items = {{9, "kept"}};
    EXPECT_TRUE(format.GetItems(items));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[1], (CLongEnumFormat::Item{3, "High"}));
    EXPECT_EQ(items[2].first, 1);
    EXPECT_EQ(items[3].first, 2);

    CSerializer store(CSerializer::StoreMode);
    format.Serialize(store);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(store.GetSize()));
    store.GetData(bytes.data());
    // version, 3 values in insertion order, then 3 entries ascending
    EXPECT_EQ(bytes[4], 3);
    EXPECT_EQ(bytes[8], 3);
    EXPECT_EQ(bytes[12], 1);
    EXPECT_EQ(bytes[16], 2);
    EXPECT_EQ(bytes[20], 3);
    EXPECT_EQ(bytes[24], 1); // first map entry: value 1

    CLongEnumFormat restored;
    restored.AddItem(8, "gone");
    CSerializer reader(CSerializer::RestoreMode);
    reader.SetData(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    restored.Serialize(reader);
    std::vector<CLongEnumFormat::Item> again;
    restored.GetItems(again);
    EXPECT_EQ(again, std::vector<CLongEnumFormat::Item>(items.begin() + 1, items.end()));
}

TEST(CLongEnumFormat, ParseIsExactAndFirstAddedWins)
{
    CLongEnumFormat format;
    format.AddItem(3, "High");
    format.AddItem(4, "High");
    std::int32_t out = 0;
    EXPECT_FALSE(format.ParseValue(std::string(" High"), out, nullptr));
    EXPECT_FALSE(format.ParseValue(std::string("high"), out, nullptr));
    EXPECT_TRUE(format.ParseValue(std::string("High"), out, nullptr));
    EXPECT_EQ(out, 3);
}

TEST(CLongEnumFormat, GetItemTextAddsUnknownValues)
{
    CLongEnumFormat format;
    EXPECT_EQ(format.GetItemText(7), "");
    std::vector<CLongEnumFormat::Item> items;
    EXPECT_TRUE(format.GetItems(items));
    EXPECT_EQ(items.size(), 1u);
    EXPECT_FALSE(format.RemoveItem(8));
    EXPECT_TRUE(format.RemoveItem(7));
    EXPECT_FALSE(format.GetItems(items = {}));
}

TEST(CLongEnumFormat, InconsistentStoredDataIsReconciled)
{
    CSerializer store(CSerializer::StoreMode);
    store.Store(std::int32_t{1});
    store.Store(std::int32_t{3});
    for (std::int32_t value : {5, 5, 9}) // 9 has no text, 5 repeats
        store.Store(value);
    store.Store(std::int32_t{2});
    store.Store(std::int32_t{5});
    store.Store(std::string("five"));
    store.Store(std::int32_t{1});
    store.Store(std::string("one"));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(store.GetSize()));
    store.GetData(bytes.data());
    CLongEnumFormat format;
    CSerializer reader(CSerializer::RestoreMode);
    reader.SetData(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    format.Serialize(reader);
    std::vector<CLongEnumFormat::Item> items;
    format.GetItems(items);
    EXPECT_EQ(items, (std::vector<CLongEnumFormat::Item>{{5, "five"}, {1, "one"}}));
}
