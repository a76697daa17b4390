// grid_demo's parts: the tooltip over a row's name is valid text for every
// byte the rows may hold, and the command line (--help, values, mistakes).
#include <gtest/gtest.h>

#include <memory>

#include "demo/DemoParts.h"
#include "gui/header/Header.h"
#include "gui/paint/DrawContext.h"

using namespace GridDemo;
using namespace Kestrum::GUI;

namespace {

TEST(DemoTooltip, NamesTheRowItsValueAndItsUpdatesInValidText)
{
    std::unique_ptr<CHeader> header(MakeHeader());
    std::mt19937 random(7);
    Kestrum::Common::CDynamicObject row(true);
    FillRow(row, 892, random);
    row.SetDouble(kDouble, 12.5);
    row.SetLong(kUpdates, 892);
    RowDrawContext rowContext;
    rowContext.object = &row;
    CellDrawContext cell;
    cell.row = &rowContext;
    cell.column = header->GetColumn(kName);
    CRowTooltip tooltip;
    ASSERT_TRUE(tooltip.HasTooltip(nullptr, cell));
    const QString expected = QString::fromStdString(row.GetStlString(kName) + "\nValue " + row.GetValueText(kDouble, nullptr) +
                                                    ", 892 updates");
    // Every byte value of the byte fields, none of which is text of its own.
    for (int byte = 0; byte < 256; ++byte) {
        row.SetUChar(kByteHex, static_cast<std::uint8_t>(byte));
        row.SetChar(kChar, static_cast<std::int8_t>(byte));
        const QString text = tooltip.GetTooltipText(nullptr, cell);
        ASSERT_FALSE(text.contains(QChar::ReplacementCharacter)) << "byte " << byte;
        ASSERT_EQ(text, expected) << "byte " << byte;
    }
}

struct OptionCase {
    const char* name;
    std::vector<std::string> arguments;
    Options::Action action;
    std::string errorNames; // a part of the error message
};

class DemoOptions : public ::testing::TestWithParam<OptionCase> {};

TEST_P(DemoOptions, AreReadOrRefusedWithAMessage)
{
    const Options options = ParseOptions(GetParam().arguments);
    EXPECT_EQ(options.action, GetParam().action) << options.error;
    if (GetParam().action == Options::Fail) {
        EXPECT_NE(options.error.find(GetParam().errorNames), std::string::npos) << options.error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DemoOptions,
    ::testing::Values(OptionCase{"Nothing", {}, Options::Run, ""}, OptionCase{"Help", {"--help"}, Options::ShowHelp, ""},
                      OptionCase{"ShortHelp", {"--row", "2", "-h"}, Options::ShowHelp, ""},
                      OptionCase{"All", {"--screenshot", "a.png", "--after", "1.5", "--edit", "Created", "--row", "3", "--type", "x", "--open-list"},
                                 Options::Run, ""},
                      OptionCase{"Unknown", {"--bogus"}, Options::Fail, "--bogus"},
                      OptionCase{"NoValue", {"--edit"}, Options::Fail, "--edit"},
                      OptionCase{"BadSeconds", {"--after", "soon"}, Options::Fail, "soon"},
                      OptionCase{"BadRow", {"--row", "-1"}, Options::Fail, "-1"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(DemoOptions, KeepTheValuesGiven)
{
    const Options options = ParseOptions({"--screenshot", "a.png", "--after", "1.5", "--edit", "Created", "--row", "3", "--type",
                                          "x y", "--open-list"});
    EXPECT_EQ(options.screenshot, "a.png");
    EXPECT_DOUBLE_EQ(options.after, 1.5);
    EXPECT_EQ(options.edit, "Created");
    EXPECT_EQ(options.row, 3);
    EXPECT_EQ(options.type, "x y");
    EXPECT_TRUE(options.openList);
    EXPECT_NE(UsageText().find("--open-list"), std::string::npos);
}

} // namespace
