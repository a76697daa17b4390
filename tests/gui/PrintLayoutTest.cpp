// The print layout on numbers alone: column bands across, rows down, the fit
// to the page width, and the order of pages.
#include <gtest/gtest.h>

#include "gui/print/PrintLayout.h"

using namespace Kestrum::GUI;

namespace {
using Band = CPrintLayout::Band;
using Rows = CPrintLayout::RowRange;

CPrintLayout::PageMetrics Page(int width, int height = 1000, int header = 20, int footer = 20)
{
    return {width, height, header, footer};
}

struct BandCase {
    const char* name;
    int pageWidth;
    std::vector<int> widths;
    int fixedCount;
    bool fit;
    std::vector<Band> bands;
    int fixedWidth;
    double scale;
};

std::ostream& operator<<(std::ostream& out, const BandCase& c) { return out << c.name; }

struct PrintLayoutBands : ::testing::TestWithParam<BandCase> {};
} // namespace

TEST_P(PrintLayoutBands, ColumnsFallIntoBands)
{
    const BandCase& c = GetParam();
    const CPrintLayout layout(Page(c.pageWidth), c.widths, c.fixedCount, c.fit);
    std::vector<Band> bands;
    for (int band = 0; band < layout.GetBandCount(); ++band)
        bands.push_back(layout.GetBand(band));
    EXPECT_EQ(bands, c.bands);
    EXPECT_EQ(layout.GetFixedWidth(), c.fixedWidth);
    EXPECT_EQ(layout.RepeatsFixedColumns(), c.fixedWidth > 0);
    EXPECT_DOUBLE_EQ(layout.GetScale(), c.scale);
    for (int band = 0; band < layout.GetBandCount(); ++band) // no band is wider than the page
        EXPECT_LE(layout.GetBandWidth(band) * layout.GetScale(), c.pageWidth + 1e-9) << band;
}

// Velmora's columns: Name fixed (270), then 120, 80 and three of 140.
INSTANTIATE_TEST_SUITE_P(
    Cases, PrintLayoutBands,
    ::testing::Values(
        BandCase{"WiderThanThePageGoOnAcrossWithTheFixedColumnRepeated", 641, {270, 120, 80, 140, 140, 140}, 1, false,
                 {{270, 610}, {610, 890}}, 270, 1.0},
        BandCase{"NarrowerThanThePageMakeOneBand", 1000, {270, 120, 80, 140, 140, 140}, 1, false, {{270, 890}}, 270, 1.0},
        BandCase{"WithoutFixedColumnsBandsStartAtZero", 250, {100, 100, 100}, 0, false, {{0, 200}, {200, 300}}, 0, 1.0},
        BandCase{"FixedColumnsWiderThanHalfThePageAreNotRepeated", 400, {250, 100, 100}, 1, false, {{0, 350}, {350, 450}},
                 0, 1.0},
        BandCase{"AColumnWiderThanTheRoomIsCut", 300, {100, 500}, 1, false, {{100, 300}, {300, 500}, {500, 600}}, 100, 1.0},
        BandCase{"ZeroWidthColumnsTakeNoRoom", 150, {100, 0, 100}, 0, false, {{0, 100}, {100, 200}}, 0, 1.0},
        BandCase{"NoColumnsMakeOneEmptyBand", 300, {}, 0, false, {{0, 0}}, 0, 1.0},
        BandCase{"AFixedCountBeyondTheColumnsFixesThemAll", 300, {100, 50}, 5, false, {{150, 150}}, 150, 1.0},
        BandCase{"FittedToTheWidthShrinkToOneBand", 445, {270, 120, 80, 140, 140, 140}, 1, true, {{270, 890}}, 270, 0.5},
        BandCase{"FittedButNarrowerAreNotEnlarged", 1000, {270, 120}, 1, true, {{270, 390}}, 270, 1.0}),
    [](const ::testing::TestParamInfo<BandCase>& param) { return std::string(param.param.name); });

TEST(PrintLayoutRows, RowsFillEachPageBelowTheHeaderAndAboveTheFooter)
{
    CPrintLayout layout(Page(500, 200, 20, 30), {100}, 0, false);
    EXPECT_EQ(layout.GetRowsHeight(), 150);
    EXPECT_EQ(layout.GetContentHeight(), 170);
    for (int row = 0; row < 25; ++row)
        layout.AddRow(14); // ten fit in 150
    ASSERT_EQ(layout.GetVerticalPageCount(), 3);
    EXPECT_EQ(layout.GetRows(0), (Rows{0, 10}));
    EXPECT_EQ(layout.GetRows(1), (Rows{10, 20}));
    EXPECT_EQ(layout.GetRows(2), (Rows{20, 25}));
    EXPECT_EQ(layout.GetRows(3), (Rows{0, 0}));
    EXPECT_EQ(layout.GetRows(-1), (Rows{0, 0}));
}

TEST(PrintLayoutRows, ARowTallerThanThePageGetsAPageOfItsOwn)
{
    CPrintLayout layout(Page(500, 200, 20, 30), {100}, 0, false);
    for (const int height : {50, 200, 50, 0})
        layout.AddRow(height);
    ASSERT_EQ(layout.GetVerticalPageCount(), 3);
    EXPECT_EQ(layout.GetRows(0), (Rows{0, 1}));
    EXPECT_EQ(layout.GetRows(1), (Rows{1, 2}));
    EXPECT_EQ(layout.GetRows(2), (Rows{2, 4})); // an empty row joins the page it follows
}

TEST(PrintLayoutRows, WithoutRowsThereIsOnePagePerBand)
{
    const CPrintLayout layout(Page(250), {100, 100, 100}, 0, false);
    EXPECT_EQ(layout.GetVerticalPageCount(), 1);
    EXPECT_EQ(layout.GetPageCount(), 2);
    EXPECT_EQ(layout.GetRows(0), (Rows{0, 0}));
}

TEST(PrintLayoutRows, AFittedPageHoldsMoreRowsAndAPageTooSmallStillHoldsOne)
{
    const CPrintLayout fitted(Page(50, 200, 20, 30), {100}, 0, true);
    EXPECT_DOUBLE_EQ(fitted.GetScale(), 0.5);
    EXPECT_EQ(fitted.GetRowsHeight(), 320); // (200 - 30) / 0.5 - 20
    CPrintLayout tiny(Page(100, 30, 20, 30), {100}, 0, false);
    EXPECT_EQ(tiny.GetRowsHeight(), 1);
    tiny.AddRow(14);
    tiny.AddRow(14);
    EXPECT_EQ(tiny.GetVerticalPageCount(), 2);
}

TEST(PrintLayoutPages, PagesRunAcrossThenDown)
{
    CPrintLayout layout(Page(641, 200, 20, 30), {270, 120, 80, 140, 140, 140}, 1, false);
    for (int row = 0; row < 25; ++row)
        layout.AddRow(14);
    ASSERT_EQ(layout.GetBandCount(), 2);
    ASSERT_EQ(layout.GetPageCount(), 6);
    const int expected[6][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}};
    for (int page = 0; page < 6; ++page) {
        EXPECT_EQ(layout.VerticalPageOf(page), expected[page][0]) << page;
        EXPECT_EQ(layout.BandOf(page), expected[page][1]) << page;
    }
    EXPECT_EQ(layout.GetBandWidth(0), 610);
    EXPECT_EQ(layout.GetBandWidth(1), 550);
    EXPECT_EQ(layout.GetBand(2), (Band{}));
}

TEST(PrintLayoutPages, AMillionRowsKeepOneNumberPerPage)
{
    CPrintLayout layout(Page(500, 200, 20, 30), {100}, 0, false);
    for (int row = 0; row < 1'000'000; ++row)
        layout.AddRow(15); // exactly ten per page
    EXPECT_EQ(layout.GetRowCount(), 1'000'000);
    EXPECT_EQ(layout.GetVerticalPageCount(), 100'000);
    EXPECT_EQ(layout.GetRows(99'999), (Rows{999'990, 1'000'000}));
}
