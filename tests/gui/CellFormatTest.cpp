// The format chain of a cell: column, then field, then the type's default.
#include <gtest/gtest.h>

#include "common/DynamicObject.h"
#include "common/Field.h"
#include "common/FormatRegistry.h"
#include "common/StringFormats.h"
#include "gui/grid/CellFormat.h"
#include "gui/header/Column.h"

namespace Kestrum::GUI {
namespace {

using Common::CDynamicObject;
using Common::CEmptyFormat;
using Common::CField;

constexpr Common::FieldId kPlain = 1;     // a long without a format of its own
constexpr Common::FieldId kFormatted = 2; // a long with one
constexpr Common::FieldId kUnknown = 9;   // not a field of the object

enum class Expect { Column, Field, TypeDefault, Null };

struct ChainCase {
    const char* name;
    bool columnFormat;
    Common::FieldId field;
    bool withObject;
    FormatFallback fallback;
    Expect expect;
};

class CellFormatChain : public ::testing::TestWithParam<ChainCase> {};

TEST_P(CellFormatChain, TakesTheFirstLinkThatAnswers)
{
    const ChainCase& c = GetParam();
    auto* fieldFormat = new CEmptyFormat(Common::FT_LONG);
    CDynamicObject object(false);
    object.AddField(new CField(kPlain, "Plain", Common::FT_LONG));
    object.AddField(new CField(kFormatted, "Formatted", Common::FT_LONG, fieldFormat));
    object.SetLong(kPlain, 1);
    object.SetLong(kFormatted, 2);
    auto* columnFormat = c.columnFormat ? new CEmptyFormat(Common::FT_LONG) : nullptr;
    CColumn column(c.field, "Column", 60, 0, true, -1, -1, columnFormat, nullptr, nullptr, "");

    Common::CFormat* expected = nullptr;
    switch (c.expect) {
    case Expect::Column: expected = columnFormat; break;
    case Expect::Field: expected = fieldFormat; break;
    case Expect::TypeDefault: expected = Common::GetDefaultFormat(object.GetFieldType(c.field)); break;
    case Expect::Null: break;
    }
    EXPECT_EQ(CellFormatOf(&column, c.withObject ? &object : nullptr, c.field, c.fallback), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Links, CellFormatChain,
    ::testing::Values(ChainCase{"ColumnFirst", true, kFormatted, true, FormatFallback::None, Expect::Column},
                      ChainCase{"ColumnWithoutObject", true, kPlain, false, FormatFallback::TypeDefault, Expect::Column},
                      ChainCase{"FieldNext", false, kFormatted, true, FormatFallback::TypeDefault, Expect::Field},
                      ChainCase{"TypeDefaultLast", false, kPlain, true, FormatFallback::TypeDefault, Expect::TypeDefault},
                      ChainCase{"StopsBeforeTypeDefault", false, kPlain, true, FormatFallback::None, Expect::Null},
                      ChainCase{"NoObject", false, kPlain, false, FormatFallback::TypeDefault, Expect::Null},
                      ChainCase{"UnknownField", false, kUnknown, true, FormatFallback::TypeDefault, Expect::TypeDefault},
                      ChainCase{"UnknownFieldStops", false, kUnknown, true, FormatFallback::None, Expect::Null}),
    [](const ::testing::TestParamInfo<ChainCase>& row) { return std::string(row.param.name); });

TEST(CellFormat, WithoutAColumnTheFieldDecides)
{
    CDynamicObject object(false);
    object.AddField(new CField(kPlain, "Plain", Common::FT_LONG));
    object.SetLong(kPlain, 1);
    EXPECT_EQ(CellFormatOf(nullptr, &object, kPlain, FormatFallback::TypeDefault), Common::GetDefaultFormat(Common::FT_LONG));
    EXPECT_EQ(CellFormatOf(nullptr, &object, kPlain, FormatFallback::None), nullptr);
}

} // namespace
} // namespace Kestrum::GUI
