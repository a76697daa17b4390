// The control reflectors: which one a format gets (the list's order), the
// numeric edit mode each integer reflector picks, the initial text each one
// keeps, and the date reflectors' logic over a stand-in date editor.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <functional>
#include <typeinfo>

#include "common/DateFormats.h"
#include "common/EnumFormat.h"
#include "common/FloatFormats.h"
#include "common/Format.h"
#include "common/IntegerFormats.h"
#include "common/StringFormats.h"
#include "gui/edit/CheckBoxReflector.h"
#include "gui/edit/DateReflectors.h"
#include "gui/edit/EmbeddedDateTimeCtrl.h"
#include "gui/edit/EnumReflector.h"
#include "gui/edit/TextReflectors.h"
#include "tests/gui/edit/EditFixture.h"

using namespace Kestrum::GUI;
using namespace Kestrum::Common;
using Kestrum::Test::Pump;

namespace {

struct ListCase {
    const char* name;
    std::function<CFormat*()> make;
    const std::type_info& reflector;
};

class ReflectorList : public ::testing::TestWithParam<ListCase> {};

TEST_P(ReflectorList, TheFirstApplicableReflectorEditsTheFormat)
{
    const std::unique_ptr<CFormat> format(GetParam().make());
    IControlReflector* reflector = FindReflector(format.get());
    ASSERT_NE(reflector, nullptr);
    EXPECT_EQ(typeid(*reflector), GetParam().reflector) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Order, ReflectorList,
    ::testing::Values(
        ListCase{"bool", [] { return new CBoolFormat; }, typeid(CCheckBoxReflector)},
        ListCase{"empty bool", [] { return new CEmptyFormat(FT_BOOL); }, typeid(CCheckBoxReflector)},
        ListCase{"enum", [] { return new CLongEnumFormat; }, typeid(CLongEnumReflector)},
        ListCase{"file time", [] { return new CInt64DateFormat(125); }, typeid(CInt64DateReflector)},
        ListCase{"duration", [] { return new CLongMsecTimeFormat; }, typeid(CLongMsecTimeReflector)},
        ListCase{"seconds date", [] { return new CLongDateFormat; }, typeid(CLongDateTimeReflector)},
        ListCase{"char", [] { return new CCharFormat; }, typeid(CCharReflector)},
        ListCase{"unsigned char", [] { return new CUCharFormat; }, typeid(CUCharReflector)},
        ListCase{"short", [] { return new CShortFormat; }, typeid(CShortReflector)},
        ListCase{"unsigned short", [] { return new CUShortFormat; }, typeid(CUShortReflector)},
        ListCase{"long", [] { return new CLongFormat; }, typeid(CLongReflector)},
        ListCase{"unsigned long", [] { return new CULongFormat; }, typeid(CULongReflector)},
        ListCase{"64-bit", [] { return new CInt64Format; }, typeid(CInt64Reflector)},
        ListCase{"float", [] { return new CFloatFormat; }, typeid(CFloatReflector)},
        ListCase{"double", [] { return new CDoubleFormat; }, typeid(CDoubleReflector)},
        ListCase{"string", [] { return new CDefaultStlStringFormat; }, typeid(CDefaultReflector)},
        ListCase{"handle", [] { return new CEmptyFormat(FT_HANDLE); }, typeid(CDefaultReflector)}),
    [](const auto& test) {
        std::string name = test.param.name;
        for (char& c : name)
            if (c == ' ' || c == '-')
                c = '_';
        return name;
    });

TEST(ReflectorList, AFormatlessCellGetsThePlainEditBox)
{
    EXPECT_EQ(typeid(*FindReflector(nullptr)), typeid(CDefaultReflector));
}

TEST(ReflectorModes, WordReflectorsAreHexadecimalOnlyForTheirOwnClassInHexMode)
{
    CLongReflector reflector;
    EXPECT_EQ(reflector.EditMode(std::make_unique<CLongFormat>(1).get()), 2);
    EXPECT_EQ(reflector.EditMode(std::make_unique<CLongFormat>(0).get()), 1);
    // A long of another format class (a date) is decimal.
    EXPECT_EQ(reflector.EditMode(std::make_unique<CLongDateFormat>().get()), 1);
    CInt64Reflector wide;
    EXPECT_EQ(wide.EditMode(std::make_unique<CInt64Format>(1).get()), 2);
    EXPECT_EQ(wide.EditMode(std::make_unique<CInt64DateFormat>().get()), 1);
    CUShortReflector shortReflector;
    EXPECT_EQ(shortReflector.EditMode(std::make_unique<CUShortFormat>(1).get()), 2);
}

TEST(ReflectorModes, ByteReflectorsFollowTheirOwnClassesMode)
{
    CCharReflector reflector;
    EXPECT_EQ(reflector.EditMode(std::make_unique<CCharFormat>(1).get()), 2);
    EXPECT_EQ(reflector.EditMode(std::make_unique<CCharFormat>(0).get()), 1);
    EXPECT_EQ(reflector.EditMode(std::make_unique<CCharFormat>(2).get()), 3);
    EXPECT_EQ(reflector.EditMode(std::make_unique<CCharFormat>(7).get()), 3);
    EXPECT_EQ(reflector.EditMode(std::make_unique<CEmptyFormat>(FT_CHAR).get()), 3);
    CUCharReflector unsignedReflector;
    EXPECT_EQ(unsignedReflector.EditMode(std::make_unique<CUCharFormat>(1).get()), 2);
    // Another class's byte format is a character for this one.
    EXPECT_EQ(unsignedReflector.EditMode(std::make_unique<CCharFormat>(1).get()), 3);
}

struct InitialCase {
    const char* name;
    std::function<std::string(const std::string&)> initial;
    const char* display;
    const char* kept;
};

class ReflectorInitialText : public ::testing::TestWithParam<InitialCase> {};

TEST_P(ReflectorInitialText, KeepsOnlyTheCharactersTheReflectorAccepts)
{
    EXPECT_EQ(GetParam().initial(GetParam().display), GetParam().kept);
}

std::string LongInitial(const std::string& text) { return CLongReflector().InitialText(text); }
std::string ULongInitial(const std::string& text) { return CULongReflector().InitialText(text); }
std::string DoubleInitial(const std::string& text) { return CDoubleReflector().InitialText(text); }
std::string DefaultInitial(const std::string& text) { return CDefaultReflector().InitialText(text); }
std::string DurationInitial(const std::string& text) { return CLongMsecTimeReflector().InitialText(text); }

INSTANTIATE_TEST_SUITE_P(Display, ReflectorInitialText,
                         ::testing::Values(InitialCase{"grouped", LongInitial, "1 234", "1234"},
                                           InitialCase{"negative", LongInitial, "-1 234 567", "-1234567"},
                                           InitialCase{"hex", LongInitial, "0x000000FF", "0x000000FF"},
                                           InitialCase{"unsigned sign", ULongInitial, "-5 +6", "5+6"},
                                           InitialCase{"double", DoubleInitial, "$1 234,5%", "1234,5"},
                                           InitialCase{"exponent", DoubleInitial, "1e+013", "1e+013"},
                                           InitialCase{"text", DefaultInitial, " a b ", " a b "},
                                           InitialCase{"duration", DurationInitial, "1 02:03.004", "1 02:03.004"}));

// --- the date reflectors over a stand-in editor ---------------------------------------

// A date editor stand-in: an edit box that keeps a number.
class CFakeDateEditor final : public QLineEdit, public IDateTimeEditor {
public:
    CFakeDateEditor(QWidget* parent, std::int32_t flags) : QLineEdit(parent), flags(flags) { last = this; }
    ~CFakeDateEditor() override
    {
        if (last == this)
            last = nullptr;
    }
    QWidget* Window() override { return this; }
    bool SetValue(int kind, std::int64_t newValue) override
    {
        valueKind = kind;
        value = newValue;
        return true;
    }
    bool GetValue(int kind, std::int64_t& out) override
    {
        if (kind != valueKind)
            return false;
        out = value;
        return true;
    }
    void PassMousePress(QPoint point) override { press = point; }

    static inline CFakeDateEditor* last = nullptr;
    std::int32_t flags;
    int valueKind = 0;
    std::int64_t value = 0;
    QPoint press{-1, -1};
};

// An editor whose reflectors are the date ones for date formats.
class CDateEditInPlace final : public CEditInPlace {
public:
    CDateEditInPlace() : CEditInPlace(false) {}
    IControlReflector* GetReflector(CGrid* grid, CGridItem* item, CDataObject* object, CColumn* column, CFormat* format) override
    {
        if (fileTime.IsApplicable(format))
            return &fileTime;
        if (seconds.IsApplicable(format))
            return &seconds;
        return CEditInPlace::GetReflector(grid, item, object, column, format);
    }
    CInt64DateReflector fileTime;
    CLongDateTimeReflector seconds;
};

struct CountingSink final : CDataObject::ISink {
    int changes = 0;
    void OnFieldChanged(FieldId, CDataObject*) override { ++changes; }
};

constexpr FieldId kFileTime = 0;
constexpr FieldId kSeconds = 1;

struct DateReflectors : ::testing::Test {
    DateReflectors()
    {
        SetDateTimeEditorFactory([](QWidget* parent, std::int32_t flags) -> IDateTimeEditor* {
            return new CFakeDateEditor(parent, flags);
        });
        auto* header = new CHeader(true);
        header->AddColumn(new CColumn(kFileTime, "When", 150, AlignAuto, true, -1, -1, new CInt64DateFormat(125), nullptr,
                                      nullptr, ""));
        header->AddColumn(
            new CColumn(kSeconds, "Since", 100, AlignAuto, true, -1, -1, new CLongDateFormat(0xFF), nullptr, nullptr, ""));
        grid.SetHeader(header);
        grid.SetEditInPlace(&editor);
        grid.resize(300, 200);
        grid.show();
        object.SetInt64(kFileTime, 130000000000000000);
        object.SetLong(kSeconds, 1000000);
        object.Subscribe(&sink);
        item = grid.Add(&object);
        grid.SetRowHeight(item, 20);
        Pump();
    }
    ~DateReflectors() override
    {
        grid.EndEdit(EditNoNavigation);
        grid.Clear();
        object.Unsubscribe(&sink);
        SetDateTimeEditorFactory(nullptr);
    }
    QPoint ButtonOf(FieldId field)
    {
        const CRect rect = grid.GetCellRect(item, field);
        return {rect.right - 3, (rect.top + rect.bottom) / 2};
    }
    CDateEditInPlace editor;
    CDynamicObject object{true};
    CountingSink sink;
    CGrid grid;
    HITEM item = 0;
};

TEST_F(DateReflectors, AClickOnTheButtonOpensTheEditorWithTheCellsValueAndPassesThePressOn)
{
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, ButtonOf(kFileTime));
    Pump();
    ASSERT_NE(CFakeDateEditor::last, nullptr);
    EXPECT_EQ(grid.GetEditControl(), CFakeDateEditor::last);
    EXPECT_EQ(CFakeDateEditor::last->flags, 125);
    EXPECT_EQ(CFakeDateEditor::last->valueKind, IDateTimeEditor::FileTime);
    EXPECT_EQ(CFakeDateEditor::last->value, 130000000000000000);
    EXPECT_EQ(CFakeDateEditor::last->press, CFakeDateEditor::last->mapFromParent(ButtonOf(kFileTime)));
}

TEST_F(DateReflectors, TheLongDateEditorGetsTheLowSevenFlagBits)
{
    ASSERT_TRUE(grid.BeginEditCell(item, kSeconds, EditStartDoubleClick));
    ASSERT_NE(CFakeDateEditor::last, nullptr);
    EXPECT_EQ(CFakeDateEditor::last->flags, 0x7F);
    EXPECT_EQ(CFakeDateEditor::last->valueKind, IDateTimeEditor::SecondsSince1970);
    EXPECT_EQ(CFakeDateEditor::last->value, 1000000);
}

TEST_F(DateReflectors, AnUnchangedDateIsNotWrittenAndAChangedOneIs)
{
    ASSERT_TRUE(grid.BeginEditCell(item, kSeconds, EditStartDoubleClick));
    grid.EndEdit(EditEnter);
    EXPECT_EQ(sink.changes, 0) << "the same value was written again";
    ASSERT_TRUE(grid.BeginEditCell(item, kSeconds, EditStartDoubleClick));
    CFakeDateEditor::last->value = 2000000;
    grid.EndEdit(EditEnter);
    EXPECT_EQ(object.GetLong(kSeconds), 2000000);
    EXPECT_EQ(sink.changes, 1);
}

TEST_F(DateReflectors, WithoutAFactoryTheLibrarysOwnEditorOpens)
{
    SetDateTimeEditorFactory(nullptr);
    ASSERT_TRUE(grid.BeginEditCell(item, kFileTime, EditStartDoubleClick));
    auto* control = qobject_cast<CEmbeddedDateTimeCtrl*>(grid.GetEditControl());
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->Flags(), 125);
    EXPECT_EQ(control->objectName(), QString(CEmbeddedDateTimeCtrl::kClassName));
}

} // namespace
