// Painting: colours, image lists, default formats, and what a user sees in
// rendered pixels.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <chrono>
#include <deque>

#include "common/DynamicObject.h"
#include "gui/grid/GridDefaults.h"
#include "gui/grid/Dispatcher.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"
#include "gui/paint/CellPaintFormat.h"
#include "gui/paint/CustomDraw.h"
#include "gui/platform/DeviceContext.h"
#include "gui/platform/ImageList.h"
#include "tests/support/FakeClock.h"

using namespace Kestrum::GUI;
using Kestrum::Common::CDynamicObject;

TEST(BlendColor, EndsAndMiddle)
{
    const Color a = MakeColor(10, 20, 30), b = MakeColor(200, 100, 0);
    EXPECT_EQ(BlendColor(a, b, 0), a);
    EXPECT_EQ(BlendColor(a, b, 255), b);
    EXPECT_EQ(BlendColor(MakeColor(255, 255, 255), MakeColor(0, 0, 0), 128), MakeColor(127, 127, 127));
}

TEST(CustomDraw, HeightsWithoutAFontAndDefaultCellFormat)
{
    CCustomDraw draw(false);
    HeaderDrawContext header;
    PaintState state;
    EXPECT_EQ(draw.GetHeaderHeight(header, state, PaintAll), 20);
    EXPECT_EQ(draw.GetRowHeight(nullptr, nullptr), 0);
    EXPECT_EQ(draw.GetCellPaintFormat(nullptr, nullptr, nullptr, 2, 0), GridDefaults::Instance().GetCellPaintFormat());
    CColumn plain(1, "c", 10, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, "");
    EXPECT_EQ(draw.GetCellPaintFormat(&plain, nullptr, nullptr, 2, 0), GridDefaults::Instance().GetCellPaintFormat());
    std::unique_ptr<ICellPaintFormat> made(CreateCellPaintFormat("GUI::CCellPaintFormat"));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetVersion(), 1);
    std::unique_ptr<IColumnPaintFormat> column(CreateColumnPaintFormat("GUI::CColumnPaintFormat"));
    EXPECT_NE(column, nullptr);
}

TEST(CCellPaintFormat, DropMarkerBarsAndArrowsWhileRowsAreDragged)
{
    QImage image(200, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    CDeviceContext dc(painter);
    PaintState state;
    state.dc = &dc;
    state.clipRect = {0, 0, 200, 40};
    state.drag.active = true;
    state.drag.targetArea = AreaScrollable;
    state.drag.targetRow = 0;
    state.drag.after = false;
    state.drag.rowCount = 2;
    RowDrawContext row;
    row.rowKey = AreaScrollable;
    row.rowIndex = 0;
    row.fullRect = row.visibleRect = row.repaintRect = {0, 0, 200, 20};
    row.backColor = MakeColor(255, 255, 255);
    CellDrawContext cell;
    static_cast<DrawContext&>(cell) = row;
    cell.row = &row;
    CCellPaintFormat format;
    format.Paint(cell, state, PaintAll);
    painter.end();
    EXPECT_EQ(image.pixelColor(100, 0), ToQColor(state.drag.markerColor)); // the bar above row 0
    EXPECT_EQ(image.pixelColor(100, 1), ToQColor(state.drag.markerColor));
    EXPECT_EQ(image.pixelColor(6, 10), ToQColor(state.drag.markerColor)); // the right-pointing arrow
    EXPECT_EQ(image.pixelColor(100, 10), QColor(Qt::white));
}

TEST(CImageList, StripOfSixtyFourBySixteenGivesFourImages)
{
    QPixmap strip(64, 16);
    strip.fill(ToQColor(MakeColor(255, 0, 255)));
    {
        QPainter painter(&strip);
        painter.fillRect(QRect(20, 4, 8, 8), Qt::black);
    }
    CImageList images;
    ASSERT_TRUE(images.LoadStrip(strip, true, MakeColor(255, 0, 255)));
    EXPECT_EQ(images.GetCount(), 4);
    EXPECT_EQ(images.GetImageSize(), QSize(16, 16));
    const QImage second = images.GetImage(1).toImage();
    EXPECT_EQ(second.pixelColor(0, 0).alpha(), 0); // magenta is transparent
    EXPECT_EQ(second.pixelColor(6, 6), QColor(Qt::black));
    EXPECT_FALSE(images.LoadStrip(QPixmap(8, 16), true, 0));
    EXPECT_EQ(images.GetCount(), 0);
    EXPECT_TRUE(images.GetImage(9).isNull());
}

namespace {
struct PaintedGrid : ::testing::Test {
    PaintedGrid()
    {
        grid.setFrameStyle(QFrame::NoFrame);
        grid.resize(300, 200);
        auto* header = new CHeader(true);
        header->AddColumn(new CColumn(0, "Name", 150, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        header->AddColumn(new CColumn(2, "Size", 100, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        grid.SetHeader(header);
        for (int i = 0; i < 5; ++i) {
            objects.emplace_back(false);
            objects.back().SetStlString(0, "row " + std::to_string(i));
            objects.back().SetInt64(2, i);
            items.push_back(grid.Add(&objects.back(), GRID_ROOT, GRID_LAST));
        }
        grid.show();
        QCoreApplication::processEvents();
    }
    ~PaintedGrid() override { grid.Clear(MaskBoth); }
    QColor PixelInRow(int row, int x = 140)
    {
        const CRect rect = grid.GetRowRect(items[static_cast<std::size_t>(row)]);
        const QImage image = grid.viewport()->grab().toImage();
        return image.pixelColor(x, rect.top + rect.Height() / 2 + 1);
    }
    std::deque<CDynamicObject> objects;
    std::vector<HITEM> items;
    CGrid grid;
};
} // namespace

TEST_F(PaintedGrid, SelectedAndFocusedRowsCarryTheirTints)
{
    const QColor plain = PixelInRow(1);
    EXPECT_EQ(plain, QColor(255, 255, 255));
    grid.SelectRow(1, AreaScrollable, true);
    const GridAppearance appearance = grid.GetAppearance();
    EXPECT_EQ(PixelInRow(1), ToQColor(BlendColor(MakeColor(255, 255, 255), appearance.selection.color, appearance.selection.alpha)));
    grid.SetFocusedRow(3, AreaScrollable);
    EXPECT_EQ(PixelInRow(3), ToQColor(BlendColor(MakeColor(255, 255, 255), appearance.focus.color, appearance.focus.alpha)));
}

namespace {
QColor PixelOfItem(CGrid& grid, HITEM item, int x)
{
    const CRect rect = grid.GetRowRect(item);
    const QImage image = grid.viewport()->grab().toImage();
    return image.pixelColor(x, rect.top + rect.Height() / 2 + 1);
}
} // namespace

TEST_F(PaintedGrid, FocusTintMarksOneRowAcrossBothAreas)
{
    // Rows with the same index in the fixed and the scrollable area: only
    // the focused one of the two is tinted.
    std::vector<HITEM> fixed;
    for (int i = 0; i < 3; ++i) {
        objects.emplace_back(false);
        objects.back().SetStlString(0, "fixed " + std::to_string(i));
        fixed.push_back(grid.Add(&objects.back(), GRID_FIXED_ROOT, GRID_LAST));
    }
    QCoreApplication::processEvents();
    const GridAppearance appearance = grid.GetAppearance();
    const QColor plain(255, 255, 255);
    const QColor tinted = ToQColor(BlendColor(MakeColor(255, 255, 255), appearance.focus.color, appearance.focus.alpha));
    auto tintedRows = [&] {
        std::vector<std::string> rows;
        for (int i = 0; i < 3; ++i) {
            const QColor pixel = PixelOfItem(grid, fixed[static_cast<std::size_t>(i)], 140);
            EXPECT_TRUE(pixel == plain || pixel == tinted) << "fixed " << i;
            if (pixel == tinted)
                rows.push_back("fixed " + std::to_string(i));
        }
        for (int i = 0; i < 5; ++i) {
            const QColor pixel = PixelOfItem(grid, items[static_cast<std::size_t>(i)], 140);
            EXPECT_TRUE(pixel == plain || pixel == tinted) << "scrollable " << i;
            if (pixel == tinted)
                rows.push_back("scrollable " + std::to_string(i));
        }
        return rows;
    };
    ASSERT_TRUE(grid.SetFocusedRow(1, AreaScrollable));
    EXPECT_EQ(tintedRows(), std::vector<std::string>{"scrollable 1"});
    ASSERT_TRUE(grid.SetFocusedRow(0, AreaFixed));
    EXPECT_EQ(tintedRows(), std::vector<std::string>{"fixed 0"});
    ASSERT_TRUE(grid.SetFocusedRow(-1, 0));
    EXPECT_TRUE(tintedRows().empty());
}

TEST_F(PaintedGrid, SelectionSortAndFocusTintsBlendInThatOrder)
{
    // Distinct colours and alphas, so each order of blending gives its own
    // pixel.
    GridAppearance appearance = grid.GetAppearance();
    appearance.selection = {MakeColor(200, 40, 40), 90};
    appearance.sortColumn = {MakeColor(40, 200, 40), 70};
    appearance.focus = {MakeColor(40, 40, 200), 110};
    grid.SetAppearance(appearance);
    grid.SetSortInfo(0, CSortInfo(2, false), true); // the Size column, from x 150 to 250
    ASSERT_TRUE(grid.SelectRow(2, AreaScrollable, true));
    ASSERT_TRUE(grid.SetFocusedRow(2, AreaScrollable));
    QCoreApplication::processEvents();
    const Color white = MakeColor(255, 255, 255);
    const HITEM both = grid.GetItemAt(2, AreaScrollable);
    const HITEM other = grid.GetItemAt(3, AreaScrollable);
    const Color selected = BlendColor(white, appearance.selection.color, appearance.selection.alpha);
    const Color selectedInSortColumn = BlendColor(selected, appearance.sortColumn.color, appearance.sortColumn.alpha);
    EXPECT_EQ(PixelOfItem(grid, both, 160),
              ToQColor(BlendColor(selectedInSortColumn, appearance.focus.color, appearance.focus.alpha)))
        << "selection, then sort column, then focus";
    EXPECT_EQ(PixelOfItem(grid, both, 140), ToQColor(BlendColor(selected, appearance.focus.color, appearance.focus.alpha)))
        << "selection, then focus";
    EXPECT_EQ(PixelOfItem(grid, other, 160), ToQColor(BlendColor(white, appearance.sortColumn.color, appearance.sortColumn.alpha)));
    EXPECT_EQ(PixelOfItem(grid, other, 140), ToQColor(white));
}

namespace {
// The x of the leftmost dark pixel of a row's band in [0, right).
int FirstInkIn(CGrid& grid, HITEM item, int right)
{
    const CRect rect = grid.GetRowRect(item);
    const QImage image = grid.viewport()->grab().toImage();
    for (int x = 0; x < right; ++x)
        for (int y = rect.top + 1; y < rect.bottom - 1; ++y)
            if (image.pixelColor(x, y).lightness() < 128)
                return x;
    return -1;
}
} // namespace

TEST_F(PaintedGrid, TreeColumnIndentsEachLevelByARowHeight)
{
    // A top-level row already leaves room for its button; each level below
    // one row height more.
    objects.emplace_back(false);
    objects.back().SetStlString(0, "child");
    const HITEM child = grid.Add(&objects.back(), items[0], GRID_LAST);
    objects.emplace_back(false);
    objects.back().SetStlString(0, "grandchild");
    const HITEM grandchild = grid.Add(&objects.back(), child, GRID_LAST);
    grid.Expand(items[0], true);
    QCoreApplication::processEvents();
    const int h = grid.GetRowRect(items[1]).Height();
    ASSERT_GT(h, 0);
    // Row 1 has no children: nothing is drawn before its text.
    const int top = FirstInkIn(grid, items[1], 150);
    EXPECT_GE(top, h);
    EXPECT_LT(top, h + 8);
    const int nested = FirstInkIn(grid, grandchild, 150);
    EXPECT_GE(nested, 3 * h) << "two levels down";
    EXPECT_LT(nested, 3 * h + 8);
}

TEST_F(PaintedGrid, AChangedCellIsHighlightedAndFades)
{
    grid.EnableUpdateHighlight(true);
    const CRect cell = grid.GetCellRect(items[2], 2);
    auto pixel = [&] {
        grid.viewport()->repaint();
        const QImage image = grid.viewport()->grab().toImage();
        return image.pixelColor(cell.left + 4, cell.top + 2);
    };
    EXPECT_EQ(pixel(), QColor(255, 255, 255));
    objects[2].SetValue(2, Kestrum::Common::CValue(std::int64_t{99}));
    // Not notified (the objects were made without notification): stamp through the update path.
    Kestrum::Common::CDynamicObject notifying(true);
    notifying.SetInt64(2, 1);
    const HITEM changing = grid.Add(&notifying, GRID_ROOT, GRID_FIRST);
    const CRect changingCell = grid.GetCellRect(changing, 2);
    Kestrum::Test::CFakeGridClock clock;
    notifying.SetInt64(2, 2);
    CDispatcher::Instance().DrainUpdates();
    clock.Advance(50);
    grid.viewport()->repaint();
    QImage image = grid.viewport()->grab().toImage();
    const QColor early = image.pixelColor(changingCell.left + 4, changingCell.top + 2);
    EXPECT_GT(early.red(), early.green() + 60) << "highlighted in red";
    clock.Advance(2250);
    grid.viewport()->repaint();
    image = grid.viewport()->grab().toImage();
    EXPECT_EQ(image.pixelColor(changingCell.left + 4, changingCell.top + 2), QColor(255, 255, 255)) << "faded";
    grid.Remove(changing);
}

TEST_F(PaintedGrid, ShowingLinesDrawsThem)
{
    const CRect row = grid.GetRowRect(items[1]);
    auto darkPixelsOnBottomEdge = [&] {
        const QImage image = grid.viewport()->grab().toImage();
        int dark = 0;
        for (int x = 0; x < 250; ++x)
            if (image.pixelColor(x, row.bottom - 1).lightness() < 200)
                ++dark;
        return dark;
    };
    const int before = darkPixelsOnBottomEdge();
    GridAppearance appearance = grid.GetAppearance();
    appearance.horizontalLines = appearance.verticalLines = true;
    grid.SetAppearance(appearance);
    QCoreApplication::processEvents();
    EXPECT_GT(darkPixelsOnBottomEdge(), before + 50); // a dotted line: every other pixel
}

TEST_F(PaintedGrid, ScrollBarBottomRequestGoesOneRowBeyondLineScrolling)
{
    for (int i = 0; i < 40; ++i) {
        objects.emplace_back(false);
        objects.back().SetInt64(2, i);
        grid.Add(&objects.back(), GRID_ROOT, GRID_LAST);
    }
    QCoreApplication::processEvents();
    grid.RefreshScrollBars();
    const int fit = grid.GetPageRowCount(true);
    grid.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(grid.GetTopRow(), grid.GetRowCount(AreaScrollable) - fit + 1);
    grid.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(grid.GetTopRow(), 0);
}

TEST_F(PaintedGrid, HorizontalLineStepsMoveByColumns)
{
    grid.resize(120, 200);
    QCoreApplication::processEvents();
    grid.RefreshScrollBars();
    grid.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    // The first column's right edge reaches the left edge, as far as the range allows.
    EXPECT_EQ(grid.horizontalScrollBar()->value(), std::min(150, grid.horizontalScrollBar()->maximum()));
    grid.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(grid.horizontalScrollBar()->value(), 0);
}

// A number that does not fit its cell shows none of its digits: cut on
// either side it would read as another number. Two different numbers of the
// same length then paint alike; where they fit, they differ.
TEST_F(PaintedGrid, ANumberThatDoesNotFitShowsNoneOfItsDigits)
{
    const struct {
        std::int64_t a, b;
    } pairs[] = {{9'538'506'752LL, 1'111'111'111LL}, {4096, 7777}, {-12'345, -67'890}};
    const auto cell = [&](std::size_t row) {
        const CRect rect = grid.GetCellRect(items[row], 2);
        return grid.viewport()->grab().toImage().copy(rect.left, rect.top, rect.Width(), rect.Height());
    };
    for (const auto& pair : pairs) {
        objects[1].SetInt64(2, pair.a); // rows of one parity: one background
        objects[3].SetInt64(2, pair.b);
        grid.GetHeader()->GetColumn(2)->SetWidth(140);
        QCoreApplication::processEvents();
        ASSERT_NE(cell(1), cell(3)) << pair.a << ": the digits show where they fit";
        for (const int width : {12, 20, 30}) {
            grid.GetHeader()->GetColumn(2)->SetWidth(width);
            QCoreApplication::processEvents();
            const std::string text = objects[1].GetValueText(2, nullptr);
            if (QFontMetrics(grid.GetGridFont()).horizontalAdvance(QString::fromStdString(text)) < width - 4)
                continue;
            EXPECT_EQ(cell(1), cell(3)) << pair.a << " at " << width << " pixels";
        }
    }
}

namespace {
// An application's cell format that replaces the background step alone.
class CGreenBackground final : public CCellPaintFormat {
public:
    void PaintBackground(CellDrawContext& context, PaintState& state, PaintFlags flags) override
    {
        if (flags & PaintFlag::PaintBackground)
            state.dc->FillSolid(context.repaintRect, MakeColor(0, 160, 0));
    }
    ICellPaintFormat* Clone() const override { return new CGreenBackground(*this); }
};
} // namespace

TEST_F(PaintedGrid, AFormatReplacingOneStepKeepsTheOthers)
{
    auto* header = new CHeader(true);
    header->AddColumn(new CColumn(0, "Name", 150, AlignAuto, false, -1, -1, nullptr, new CGreenBackground, nullptr, ""));
    header->AddColumn(new CColumn(2, "Size", 100, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
    delete grid.SetHeader(header);
    grid.SelectRow(1, AreaScrollable, true);
    QCoreApplication::processEvents();

    const CRect rect = grid.GetRowRect(items[1]);
    const QImage image = grid.viewport()->grab().toImage();
    const int middle = rect.top + rect.Height() / 2 + 1;
    // The replaced step: green, without the selection tint the default
    // background would blend in.
    EXPECT_EQ(image.pixelColor(140, middle), QColor(0, 160, 0));
    // The kept steps: the selection frame along the row's top, and the text.
    EXPECT_EQ(image.pixelColor(140, rect.top), ToQColor(grid.GetAppearance().selection.color));
    int ink = 0;
    for (int x = 2; x < 60; ++x)
        for (int y = rect.top + 1; y < rect.bottom - 1; ++y)
            ink += image.pixelColor(x, y).green() < 100 ? 1 : 0;
    EXPECT_GT(ink, 0) << "the text is still drawn over the replaced background";
    // The next column keeps the default background, tinted by the selection.
    EXPECT_NE(image.pixelColor(180, middle), QColor(0, 160, 0));
    EXPECT_NE(image.pixelColor(180, middle), QColor(255, 255, 255));
}
