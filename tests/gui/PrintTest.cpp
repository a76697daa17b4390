// Printing a grid headless: PDF files read back with pdftotext (what is on
// each page, in which order) and rendered with pdftoppm (what it looks
// like), progress and cancel, and the print settings kept by the grid.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <deque>
#include <functional>

#include "common/DynamicObject.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"
#include "gui/paint/CellPaintFormat.h"
#include "gui/paint/CustomDraw.h"
#include "gui/platform/Archive.h"
#include "gui/platform/DeviceContext.h"
#include "gui/print/GridPrinter.h"

using namespace Kestrum::GUI;
using Kestrum::Common::CDynamicObject;

namespace {
constexpr std::int32_t kName = 0;
constexpr std::int32_t kValue = 1;
constexpr std::int32_t kFirstWide = 10; // the wide grid's columns A, B, ... are fields 10, 11, ...

// The pages of a PDF as pdftotext lays them out, ligatures undone.
std::vector<QString> PdfPages(const QString& file)
{
    QProcess process;
    process.start("pdftotext", {"-layout", file, "-"});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        ADD_FAILURE() << "pdftotext (poppler-utils) could not read " << file.toStdString();
        return {};
    }
    QString text = QString::fromUtf8(process.readAllStandardOutput());
    text.replace(QChar(0xFB01), "fi").replace(QChar(0xFB02), "fl").replace(QChar(0xFB00), "ff");
    QStringList pages = text.split('\f');
    if (!pages.isEmpty() && pages.back().trimmed().isEmpty())
        pages.pop_back();
    return {pages.begin(), pages.end()};
}

// The words of a page that match a pattern, in reading order.
QStringList Matches(const QString& page, const QString& pattern)
{
    QStringList found;
    auto it = QRegularExpression(pattern).globalMatch(page);
    while (it.hasNext())
        found << it.next().captured(0);
    return found;
}

QImage RenderPage(const QString& file, int page, const QString& prefix)
{
    QProcess process;
    const QString number = QString::number(page);
    process.start("pdftoppm", {"-r", "96", "-f", number, "-l", number, "-png", "-singlefile", file, prefix});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        ADD_FAILURE() << "pdftoppm (poppler-utils) could not render " << file.toStdString();
        return {};
    }
    return QImage(prefix + ".png");
}

struct CRecordingProgress final : IPrintProgress {
    std::vector<std::pair<std::int64_t, std::int64_t>> reports;
    std::function<bool(std::int64_t done)> answer;
    bool OnPrintProgress(std::int64_t done, std::int64_t total) override
    {
        reports.emplace_back(done, total);
        return answer ? answer(done) : true;
    }
};

QString RowName(int row) { return QString("Row %1").arg(row, 4, 10, QChar('0')); }

struct PrintFixture : ::testing::Test {
    PrintFixture()
    {
        EXPECT_TRUE(folder.isValid());
        grid.resize(600, 400);
        grid.SetPrintTitle("Kestrum print test");
    }
    ~PrintFixture() override { grid.Clear(MaskBoth); }

    void NarrowColumns()
    {
        auto* header = new CHeader(true);
        header->AddColumn(new CColumn(kName, "Name", 200, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        header->AddColumn(new CColumn(kValue, "Value", 100, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        header->SetFixedColumnCount(1);
        grid.SetHeader(header);
    }
    // A fixed Name column and eight more of 150 pixels: wider than a page.
    void WideColumns()
    {
        auto* header = new CHeader(true);
        header->AddColumn(new CColumn(kName, "Name", 150, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        for (int column = 0; column < 8; ++column)
            header->AddColumn(new CColumn(kFirstWide + column, std::string("Col ") + char('A' + column), 150, AlignAuto, false,
                                          -1, -1, nullptr, nullptr, nullptr, ""));
        header->SetFixedColumnCount(1);
        grid.SetHeader(header);
    }
    HITEM AddRow(int row, HITEM parent = GRID_ROOT)
    {
        objects.emplace_back(false);
        CDynamicObject& object = objects.back();
        object.SetStlString(kName, RowName(row).toStdString());
        object.SetInt64(kValue, std::int64_t{row} * 3); // below 1000: no digit grouping
        for (int column = 0; column < 8; ++column)
            object.SetStlString(kFirstWide + column, std::string(1, char('a' + column)) + std::to_string(row));
        return grid.Add(&object, parent, GRID_LAST);
    }
    void AddRows(int count)
    {
        for (int row = 1; row <= count; ++row)
            AddRow(row);
    }
    void Choose(std::int32_t rows, bool fit = false)
    {
        PrintSettings settings = grid.GetPrintSettings();
        settings.rows = rows;
        settings.fitToWidth = fit;
        grid.SetPrintSettings(settings);
    }
    QString File(const QString& name) const { return folder.filePath(name); }
    std::vector<QString> Export(const QString& name = "print.pdf")
    {
        EXPECT_TRUE(grid.ExportPdf(File(name), &progress));
        return PdfPages(File(name));
    }

    QTemporaryDir folder;
    CRecordingProgress progress;
    std::deque<CDynamicObject> objects; // outlive the grid's rows
    CGrid grid;
};
} // namespace

TEST_F(PrintFixture, EveryRowInOrderWithTheHeaderAndACountingFooterOnEveryPage)
{
    NarrowColumns();
    AddRows(150);
    const std::vector<QString> pages = Export();
    ASSERT_GE(pages.size(), 3u); // 150 rows do not fit on two pages
    QStringList names;
    for (std::size_t page = 0; page < pages.size(); ++page) {
        const QString& text = pages[page];
        const QString footer = QString("Page %1 of %2").arg(page + 1).arg(pages.size());
        EXPECT_TRUE(text.contains(footer)) << page;
        EXPECT_TRUE(text.contains("Kestrum print test")) << page;
        const QStringList header = Matches(text.section('\n', 0, 0), "\\w+");
        EXPECT_EQ(header, (QStringList{"Name", "Value"})) << "the first line of page " << page;
        names += Matches(text, "Row \\d{4}");
        // Each row's cells on its own line, in column order.
        for (const QString& name : Matches(text, "Row \\d{4}")) {
            const int row = name.mid(4).toInt();
            EXPECT_TRUE(text.contains(QRegularExpression(name + " +" + QString::number(row * 3) + "\\b"))) << row;
        }
    }
    QStringList expected;
    for (int row = 1; row <= 150; ++row)
        expected << RowName(row);
    EXPECT_EQ(names, expected);
}

TEST_F(PrintFixture, AWideGridRepeatsTheFixedColumnOnEachPageAcross)
{
    WideColumns();
    AddRows(30);
    const std::vector<QString> pages = Export();
    ASSERT_EQ(pages.size(), 3u); // three columns after Name fit across an A4 or Letter page
    QStringList captions;
    for (std::size_t page = 0; page < pages.size(); ++page) {
        const QString& text = pages[page];
        EXPECT_EQ(Matches(text, "Row \\d{4}").size(), 30) << "every row's fixed cell on page " << page;
        EXPECT_EQ(text.section('\n', 0, 0).split(' ', Qt::SkipEmptyParts).first(), "Name") << page;
        const QStringList onPage = Matches(text, "Col [A-H]");
        captions += onPage;
        // The cells under each caption are on that caption's page only.
        for (const QString& caption : onPage) {
            const QString letter = caption.right(1).toLower();
            EXPECT_EQ(Matches(text, "\\b" + letter + "\\d+\\b").size(), 30) << caption.toStdString();
        }
        EXPECT_TRUE(text.contains(QString("Page %1 of 3").arg(page + 1)));
    }
    EXPECT_EQ(captions, (QStringList{"Col A", "Col B", "Col C", "Col D", "Col E", "Col F", "Col G", "Col H"}));
}

namespace {
// Draws each cell's text itself, without clipping to the cell.
struct CUnclippedText final : CCustomDraw {
    CUnclippedText() : CCustomDraw(false) {}
    void PaintCell(CellDrawContext& context, PaintState& state, PaintFlags) override
    {
        state.dc->Text(context.fullRect, CellText(context), MakeColor(0, 0, 0), TextLeft);
    }
};
} // namespace

TEST_F(PrintFixture, ACustomDrawThatDoesNotClipGetsOnlyThePagesCells)
{
    WideColumns();
    AddRows(30);
    CUnclippedText draw;
    grid.SetCustomDraw(&draw);
    const std::vector<QString> pages = Export();
    grid.SetCustomDraw(nullptr);
    ASSERT_EQ(pages.size(), 3u);
    const QStringList letters[3] = {{"a", "b", "c"}, {"d", "e", "f"}, {"g", "h"}};
    for (std::size_t page = 0; page < pages.size(); ++page) {
        QStringList found = Matches(pages[page], "\\b[a-h](?=\\d+\\b)");
        found.removeDuplicates();
        EXPECT_EQ(found, letters[page]) << page;
    }
}

TEST_F(PrintFixture, FittedToTheWidthAllColumnsShareOnePage)
{
    WideColumns();
    AddRows(30);
    Choose(PrintShownRows, true);
    const std::vector<QString> pages = Export();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(Matches(pages[0], "Col [A-H]").size(), 8);
    EXPECT_EQ(Matches(pages[0], "\\bh\\d+\\b").size(), 30);
    EXPECT_TRUE(pages[0].contains("Page 1 of 1"));
}

TEST_F(PrintFixture, SelectedRowsOnlyPrintExactlyThose)
{
    NarrowColumns();
    AddRows(40);
    for (const int row : {3, 17, 30})
        ASSERT_TRUE(grid.SelectRow(row - 1, AreaScrollable, true));
    Choose(PrintSelectedRows);
    const std::vector<QString> pages = Export();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(Matches(pages[0], "Row \\d{4}"), (QStringList{RowName(3), RowName(17), RowName(30)}));
}

TEST_F(PrintFixture, AllRowsShowRowsUnderCollapsedOnesShownRowsDoNot)
{
    NarrowColumns();
    const HITEM first = AddRow(1);
    AddRow(2, first);
    AddRow(3, first);
    const HITEM fourth = AddRow(4);
    AddRow(5, AddRow(6, fourth)); // two levels under a collapsed row
    grid.Expand(fourth, false);   // its child shows, the grandchild does not
    const std::vector<QString> shown = Export("shown.pdf");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(Matches(shown[0], "Row \\d{4}"), (QStringList{RowName(1), RowName(4), RowName(6)}));
    Choose(PrintAllRows);
    const std::vector<QString> all = Export("all.pdf");
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(Matches(all[0], "Row \\d{4}"),
              (QStringList{RowName(1), RowName(2), RowName(3), RowName(4), RowName(6), RowName(5)}));
    EXPECT_FALSE(grid.IsExpanded(first)) << "printing changes nothing on the screen";
}

TEST_F(PrintFixture, FixedRowsComeFirstOnce)
{
    NarrowColumns();
    AddRows(60);
    AddRow(901, GRID_FIXED_ROOT);
    AddRow(902, GRID_FIXED_ROOT);
    const std::vector<QString> pages = Export();
    QStringList names;
    for (const QString& page : pages)
        names += Matches(page, "Row \\d{4}");
    ASSERT_EQ(names.size(), 62);
    EXPECT_EQ(names.mid(0, 3), (QStringList{RowName(901), RowName(902), RowName(1)}));
    EXPECT_EQ(names.back(), RowName(60));
}

TEST_F(PrintFixture, ProgressCountsTheRowsUpToTheTotal)
{
    NarrowColumns();
    AddRows(1000);
    Export();
    ASSERT_GE(progress.reports.size(), 4u);
    EXPECT_EQ(progress.reports.front(), std::make_pair(std::int64_t{0}, std::int64_t{1000}));
    EXPECT_EQ(progress.reports.back(), std::make_pair(std::int64_t{1000}, std::int64_t{1000}));
    for (std::size_t i = 1; i < progress.reports.size(); ++i)
        EXPECT_GT(progress.reports[i].first, progress.reports[i - 1].first);
}

TEST_F(PrintFixture, CancellingStopsThePrintAndLeavesNoFile)
{
    NarrowColumns();
    AddRows(1000);
    progress.answer = [](std::int64_t done) { return done < 256; };
    EXPECT_FALSE(grid.ExportPdf(File("cancelled.pdf"), &progress));
    EXPECT_FALSE(QFile::exists(File("cancelled.pdf")));
    ASSERT_EQ(progress.reports.size(), 2u); // the start, then the report answered with the cancel
    EXPECT_EQ(progress.reports.back().first, 256);
}

TEST_F(PrintFixture, RowsRemovedWhileThePrintWaitsStopIt)
{
    NarrowColumns();
    AddRows(1000);
    // What an event loop run from the progress dialog may do.
    progress.answer = [&](std::int64_t done) {
        if (done == 256)
            grid.RemoveAt(600, MaskScrollable);
        return true;
    };
    EXPECT_FALSE(grid.ExportPdf(File("stopped.pdf"), &progress));
    EXPECT_FALSE(QFile::exists(File("stopped.pdf")));
    EXPECT_EQ(progress.reports.back().first, 256);
    progress.answer = nullptr; // a print started afterwards is whole
    EXPECT_TRUE(grid.ExportPdf(File("again.pdf"), &progress));
}

TEST_F(PrintFixture, APageRangePrintsThosePagesNumberedInTheWhole)
{
    NarrowColumns();
    AddRows(150);
    const std::size_t count = Export().size();
    ASSERT_GE(count, 3u);
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(File("range.pdf"));
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 3);
    ASSERT_TRUE(grid.PrintTo(printer));
    const std::vector<QString> pages = PdfPages(File("range.pdf"));
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_TRUE(pages[0].contains(QString("Page 2 of %1").arg(count)));
    EXPECT_TRUE(pages[1].contains(QString("Page 3 of %1").arg(count)));
}

// An application's pages after the rows: numbered in the whole, with the
// footer, each painted in its own rectangle above the footer.
struct CExtraPages final : IExtraPrintPages {
    int count = 2;
    std::vector<QRect> rects;
    int GetExtraPageCount() override { return count; }
    void PaintExtraPage(int index, QPainter& painter, const QRect& rect) override
    {
        rects.push_back(rect);
        painter.fillRect(rect.adjusted(-50, -50, 50, 50), Qt::green); // clipped to the rectangle
        painter.setPen(Qt::black);
        painter.drawText(rect, Qt::AlignCenter, QString("Extra %1").arg(index + 1));
    }
};

TEST_F(PrintFixture, ExtraPagesFollowTheRowsNumberedInTheWholeAndClippedAboveTheFooter)
{
    NarrowColumns();
    AddRows(150);
    const std::size_t rowPages = Export("rows.pdf").size();
    CExtraPages extra;
    grid.SetExtraPrintPages(&extra);
    const std::vector<QString> pages = Export();
    ASSERT_EQ(pages.size(), rowPages + 2);
    for (std::size_t page = rowPages; page < pages.size(); ++page) {
        EXPECT_TRUE(pages[page].contains(QString("Extra %1").arg(page - rowPages + 1))) << page;
        EXPECT_TRUE(pages[page].contains(QString("Page %1 of %2").arg(page + 1).arg(pages.size()))) << page;
        EXPECT_TRUE(pages[page].contains("Kestrum print test")) << page;
        EXPECT_FALSE(pages[page].contains("Row ")) << page;
    }
    ASSERT_EQ(extra.rects.size(), 2u);
    const QImage last = RenderPage(File("print.pdf"), static_cast<int>(pages.size()), File("last"));
    ASSERT_FALSE(last.isNull());
    // Green from the top margin down to the footer, which stays white.
    const QRect green = last.rect().adjusted(5, 5, -5, -5);
    int greenTop = -1, greenBottom = -1;
    for (int y = green.top(); y < green.bottom(); ++y)
        if (last.pixelColor(green.left() + 60, y) == QColor(Qt::green)) {
            greenTop = greenTop < 0 ? y : greenTop;
            greenBottom = y;
        }
    EXPECT_GT(greenTop, 5) << "the margin above stays white";
    EXPECT_NEAR(greenBottom - greenTop + 1, extra.rects[1].height(), 2);
    EXPECT_LT(greenBottom, last.height() - 40) << "the footer and the margin below stay white";
    // A range of the extra page alone; none when the application has none.
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(File("range.pdf"));
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(static_cast<int>(pages.size()), static_cast<int>(pages.size()));
    ASSERT_TRUE(grid.PrintTo(printer));
    const std::vector<QString> range = PdfPages(File("range.pdf"));
    ASSERT_EQ(range.size(), 1u);
    EXPECT_TRUE(range[0].contains("Extra 2"));
    extra.count = 0;
    EXPECT_EQ(Export("none.pdf").size(), rowPages);
    grid.SetExtraPrintPages(nullptr);
}

TEST_F(PrintFixture, AHighResolutionPrinterPutsTheSameTextOnTheSamePages)
{
    WideColumns();
    AddRows(80);
    const std::vector<QString> screen = Export();
    QPrinter printer(QPrinter::HighResolution);
    printer.setResolution(1200);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(File("fine.pdf"));
    CGridPrinter::ApplyPageSetup(grid.GetPrintSettings(), printer);
    ASSERT_TRUE(grid.PrintTo(printer));
    const std::vector<QString> fine = PdfPages(File("fine.pdf"));
    ASSERT_EQ(fine.size(), screen.size());
    for (std::size_t page = 0; page < fine.size(); ++page)
        EXPECT_EQ(fine[page].split(QRegularExpression("\\s+"), Qt::SkipEmptyParts),
                  screen[page].split(QRegularExpression("\\s+"), Qt::SkipEmptyParts))
            << page;
}

namespace {
// Paints the Value cells green, as an application's row painter would.
struct CGreenValues final : CCustomDraw {
    CGreenValues() : CCustomDraw(false) {}
    void PaintCell(CellDrawContext& context, PaintState& state, PaintFlags flags) override
    {
        if (context.column && context.column->GetFieldId() == kValue)
            context.backColor = MakeColor(0, 200, 0);
        CCustomDraw::PaintCell(context, state, flags);
    }
};
} // namespace

TEST_F(PrintFixture, PrintedCellsGoThroughTheCustomDrawWithoutScreenTints)
{
    NarrowColumns();
    AddRows(10);
    CGreenValues draw;
    grid.SetCustomDraw(&draw);
    grid.SelectRow(2, AreaScrollable, true);
    grid.SetFocusedRow(4, AreaScrollable);
    Export();
    const QImage page = RenderPage(File("print.pdf"), 1, File("page"));
    ASSERT_FALSE(page.isNull());
    // 10 mm margins at 96 pixels per inch: the grid starts 38 pixels in.
    const int left = 38, top = 38;
    const int header = grid.GetHeader()->GetHeight();
    for (int row = 0; row < 10; ++row) {
        const int y = top + header + row * grid.GetRowHeight(grid.GetItemAt(row, AreaScrollable)) + 3;
        EXPECT_EQ(page.pixelColor(left + 200 + 50, y), QColor(0, 200, 0)) << "Value cell of row " << row;
        EXPECT_EQ(page.pixelColor(left + 190, y), QColor(255, 255, 255)) << "Name cell of row " << row;
    }
    for (int x = 0; x < left - 2; ++x) // the margin stays blank
        EXPECT_EQ(page.pixelColor(x, top + header + 5), QColor(255, 255, 255)) << x;
    grid.SetCustomDraw(nullptr);
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

// The printer paints through the same steps: a replaced one shows on paper.
TEST_F(PrintFixture, AReplacedCellPaintStepIsPrinted)
{
    auto* header = new CHeader(true);
    header->AddColumn(new CColumn(kName, "Name", 200, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
    header->AddColumn(new CColumn(kValue, "Value", 100, AlignAuto, false, -1, -1, nullptr, new CGreenBackground, nullptr, ""));
    grid.SetHeader(header);
    AddRows(3);
    Export();
    const QImage page = RenderPage(File("print.pdf"), 1, File("page"));
    ASSERT_FALSE(page.isNull());
    const int left = 38, top = 38; // 10 mm margins at 96 pixels per inch
    const int y = top + grid.GetHeader()->GetHeight() + 3;
    EXPECT_EQ(page.pixelColor(left + 200 + 90, y), QColor(0, 160, 0));
    EXPECT_EQ(page.pixelColor(left + 190, y), QColor(255, 255, 255));
}

TEST_F(PrintFixture, PrintSettingsTravelRightAfterTheGridsArchive)
{
    PrintSettings settings;
    settings.rows = PrintAllRows;
    settings.fitToWidth = true;
    settings.orientation = PrintLandscape;
    settings.margins = {12, 13, 14, 15};
    grid.SetPrintSettings(settings);
    CArchive stored;
    grid.SerializeWithPrintSettings(stored);
    CGrid loaded;
    CArchive reader(stored.GetBytes());
    loaded.SerializeWithPrintSettings(reader);
    EXPECT_EQ(loaded.GetPrintSettings(), settings);
    // A landscape export is wider than high.
    NarrowColumns();
    AddRows(5);
    Export("landscape.pdf");
    const QImage page = RenderPage(File("landscape.pdf"), 1, File("landscape"));
    EXPECT_GT(page.width(), page.height());
}
