#include <gtest/gtest.h>

#include "SampleObject.h"
#include "common/FieldMap.h"

using namespace Kestrum::Common;
using Kestrum::Test::CCountingFormat;
using Kestrum::Test::CSampleObject;

TEST(CFieldMap, DuplicateIdIsRefusedAndFirstFieldStays)
{
    CFieldMap map;
    auto* first = new CField(3, "First", FT_LONG);
    CField second(3, "Second", FT_LONG);
    EXPECT_TRUE(map.Add(3, first));
    EXPECT_FALSE(map.Add(3, &second));
    EXPECT_FALSE(map.Add(4, nullptr));
    EXPECT_EQ(map.Find(3), first);
    EXPECT_EQ(map.Find(4), nullptr);
    EXPECT_EQ(map.GetCount(), 1u);
}

TEST(CFieldMap, EnumeratesInAscendingIdOrder)
{
    CFieldMap map;
    for (FieldId id : {8, 0, 5, 2, 7, 1, 6, -3})
        map.Add(id, new CField(id, "f", FT_LONG));
    std::vector<FieldId> seen;
    for (const auto& [id, field] : map)
        seen.push_back(id);
    EXPECT_EQ(seen, (std::vector<FieldId>{-3, 0, 1, 2, 5, 6, 7, 8}));
}

TEST(CFieldMap, DestructionDeletesEveryFieldOnce)
{
    CCountingFormat::alive = 0;
    {
        CFieldMap map;
        for (FieldId id = 0; id < 5; ++id)
            map.Add(id, new CField(id, "f", FT_LONG, new CCountingFormat));
        EXPECT_EQ(CCountingFormat::alive, 5);
    }
    EXPECT_EQ(CCountingFormat::alive, 0);
}

TEST(CField, DescriptiveTextsFollowTheZeroRule)
{
    CField field(1, "0 caption", &CSampleObject::GetName, 0, nullptr, "&CFileData::GetName", "0");
    EXPECT_EQ(field.GetCaption(), "");
    EXPECT_EQ(field.GetGetterName(), "&CFileData::GetName");
    EXPECT_EQ(field.GetSetterName(), "");
    EXPECT_TRUE(field.HasGetter());
    EXPECT_FALSE(field.HasSetter());

    CField nullCaption(2, nullptr, FT_LONG);
    EXPECT_EQ(nullCaption.GetCaption(), "");
}

TEST(CField, TypeCodeComesFromTheGetter)
{
    EXPECT_EQ(CField(0, "a", &CSampleObject::GetName, nullptr).GetType(), FT_MFCSTRING);
    EXPECT_EQ(CField(0, "a", &CSampleObject::GetPath, nullptr).GetType(), FT_STLSTRING);
    EXPECT_EQ(CField(0, "a", &CSampleObject::GetLongValue, nullptr).GetType(), FT_LONG);
    EXPECT_EQ(CField(0, "a", &CSampleObject::GetInt64Value, nullptr).GetType(), FT_INT64);
    EXPECT_EQ(CField(0, "a", &CSampleObject::GetBoolValue, nullptr).GetType(), FT_BOOL);
    EXPECT_EQ(CField(0, "a", &CSampleObject::GetHandleValue, nullptr).GetType(), FT_HANDLE);
}

TEST(CField, MacroKeepsAccessorExpressionsAsText)
{
    std::unique_ptr<CField> field(KESTRUM_FIELD(6, "Long", &CSampleObject::GetLongValue, 0, nullptr));
    EXPECT_EQ(field->GetGetterName(), "&CSampleObject::GetLongValue");
    EXPECT_EQ(field->GetSetterName(), "");
}

TEST(CField, CopyClonesTheFormatIndependently)
{
    CCountingFormat::alive = 0;
    auto* source = new CField(1, "Size", &CSampleObject::GetLongValue, &CSampleObject::SetLongValue,
                              new CCountingFormat, "get", "set");
    std::unique_ptr<CField> copy(source->Clone());
    EXPECT_EQ(CCountingFormat::alive, 2);
    EXPECT_NE(copy->GetFormat(), source->GetFormat());
    EXPECT_EQ(copy->GetCaption(), "Size");
    EXPECT_EQ(copy->GetSetterName(), "set");
    EXPECT_TRUE(copy->HasSetter());
    copy.reset();
    EXPECT_EQ(CCountingFormat::alive, 1);
    ASSERT_NE(source->GetFormat(), nullptr);
    delete source;
    EXPECT_EQ(CCountingFormat::alive, 0);

    CField bare(2, "Bare", FT_LONG);
    CField bareCopy(bare);
    EXPECT_EQ(bareCopy.GetFormat(), nullptr);
    EXPECT_EQ(bareCopy.GetId(), 2);
}

TEST(CField, AssignmentReplacesFormatAndSelfAssignmentKeepsIt)
{
    CCountingFormat::alive = 0;
    CField target(1, "a", FT_LONG, new CCountingFormat);
    CField source(2, "b", FT_DOUBLE);
    CField& alias = target;
    target = alias;
    EXPECT_NE(target.GetFormat(), nullptr);
    target = source;
    EXPECT_EQ(target.GetFormat(), nullptr);
    EXPECT_EQ(target.GetId(), 2);
    EXPECT_EQ(target.GetType(), FT_DOUBLE);
    EXPECT_EQ(CCountingFormat::alive, 0);
}

TEST(CFieldMap, ClassMapIsFilledOnceAtStartUp)
{
    CSampleObject a, b;
    EXPECT_EQ(a.GetFieldMap(), b.GetFieldMap());
    EXPECT_EQ(a.GetFieldMap()->GetCount(), 14u);
    ASSERT_NE(a.GetFieldMap()->Find(Kestrum::Test::F_READONLY), nullptr);
}
