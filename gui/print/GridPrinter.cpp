#include "gui/print/GridPrinter.h"

#include <QFile>
#include <QFontMetrics>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <cmath>

#include "gui/grid/GridClock.h"
#include "gui/grid/GridItem.h"
#include "gui/header/Header.h"
#include "gui/paint/PaintPass.h"
#include "gui/platform/DeviceContext.h"
#include "gui/print/PrintDialogs.h"

namespace Kestrum::GUI {

namespace {
// Rows painted between two progress reports: often enough for a responsive
// cancel button, rarely enough that reporting costs nothing.
constexpr int kRowsPerReport = 256;
// Space between the footer's rule and its text, and below the text.
constexpr int kFooterPadding = 6;
// What shows the state of the screen, not the grid's content.
constexpr PaintFlags kScreenOnlyFlags = PaintSelectionTint | PaintSelectionFrame | PaintSelectionRect | PaintFocusTint |
                                        PaintFocusFrame | PaintUpdateHighlight | PaintDropMarker | PaintDropArrows;
constexpr Color kFooterRule = MakeColor(128, 128, 128);
constexpr Color kFooterText = MakeColor(0, 0, 0);

// The horizontal scroll position a band's header geometry answers.
class CBandScrollPosition final : public IScrollPositionSource {
public:
    explicit CBandScrollPosition(int position) : m_position(position) {}
    bool GetHorizontalScrollPosition(int& position) const override
    {
        position = m_position;
        return true;
    }

private:
    int m_position;
};

struct DeviceScale {
    double x = 1;
    double y = 1;
};

DeviceScale ScaleOf(const GridPrintJob& job, QPrinter& printer)
{
    return {static_cast<double>(printer.logicalDpiX()) / std::max(job.screenDpiX, 1),
            static_cast<double>(printer.logicalDpiY()) / std::max(job.screenDpiY, 1)};
}

// The font at the pixel size it has on the grid's screen, so that a printer
// of any resolution draws it, under the device scale, at the same size
// relative to the rows as the screen does.
QFont AtScreenSize(const QFont& font, int screenDpiY)
{
    QFont sized = font;
    if (font.pixelSize() <= 0)
        sized.setPixelSize(std::max(1, static_cast<int>(std::lround(font.pointSizeF() * screenDpiY / 72.0))));
    return sized;
}

int FooterHeight(const QFont& font) { return QFontMetrics(font).height() + kFooterPadding; }

// One print run: paints the chosen pages of a layout, reporting progress.
class CPageRun {
public:
    CPageRun(GridPrintJob& job, const CPrintLayout& layout, QPainter& painter, DeviceScale scale,
             IPrintProgress* progress, std::int64_t total)
        : m_job(job), m_layout(layout), m_painter(painter), m_scale(scale), m_progress(progress), m_total(total),
          m_pageCount(layout.GetPageCount() + (job.extraPages ? job.extraPageCount : 0)),
          m_font(AtScreenSize(job.font, job.screenDpiY)),
          m_headerFont(AtScreenSize(job.header && job.header->GetFont() ? *job.header->GetFont() : job.font, job.screenDpiY))
    {
        m_pass.draw = job.draw;
        m_pass.appearance = &job.appearance;
        m_pass.highlight = job.highlight;
        m_pass.font = &m_font;
        m_pass.flags = job.paintFlags & ~kScreenOnlyFlags;
        for (const PrintRow& row : job.rows)
            if (row.area == AreaFixed)
                ++m_fixedRows;
    }

    // Cancelled when the progress says so, Interrupted when the rows may be gone.
    PrintResult Report()
    {
        if (m_progress && !m_progress->OnPrintProgress(m_done, m_total))
            return PrintResult::Cancelled;
        if (m_job.isIntact && !m_job.isIntact())
            return PrintResult::Interrupted;
        return PrintResult::Printed;
    }

    int PageCount() const { return m_pageCount; }

    PrintResult PaintPage(int page)
    {
        const int rowPages = m_layout.GetPageCount();
        if (page < rowPages)
            PaintContent(page);
        else
            PaintExtra(page - rowPages);
        PaintFooter(page);
        return m_result;
    }

private:
    void PaintContent(int page)
    {
        const CPrintLayout::Band band = m_layout.GetBand(m_layout.BandOf(page));
        const CPrintLayout::RowRange rows = m_layout.GetRows(m_layout.VerticalPageOf(page));
        const int fixedWidth = m_layout.GetFixedWidth();
        const double fit = m_layout.GetScale();
        m_painter.save();
        m_painter.scale(m_scale.x * fit, m_scale.y * fit);
        // A band repeats the fixed columns and shows its range right of them
        // by scrolling the header there; without repeated columns the page
        // looks at the band's range of the unscrolled header.
        int scroll = 0;
        CRect clip{band.start, 0, band.end, m_layout.GetContentHeight()};
        if (m_layout.RepeatsFixedColumns()) {
            scroll = band.start - fixedWidth;
            clip = {0, 0, fixedWidth + band.end - band.start, m_layout.GetContentHeight()};
        } else {
            m_painter.translate(-band.start, 0);
        }
        m_painter.setClipRect(ToQRect(clip));
        CDeviceContext dc(m_painter);
        dc.SelectFont(m_font);
        CBandScrollPosition position(scroll);
        PaintState state;
        state.grid = m_job.grid;
        state.header = m_job.header;
        state.dc = &dc;
        state.clipRect = clip;
        state.images = m_job.images;
        state.stretchImages = m_job.stretchImages;
        state.scroll = &position;
        state.appearance = &m_job.appearance;
        state.now = GridClockNow();
        state.allExpanded = m_job.allExpanded;
        int y = 0;
        if (m_job.header && m_job.headerShown) {
            PaintPassHeader(m_pass, state, &m_headerFont);
            y = m_job.header->GetHeight();
        }
        for (int index = rows.first; index < rows.last; ++index) {
            const PrintRow& row = m_job.rows[static_cast<std::size_t>(index)];
            const int height = row.item->GetRowHeight();
            const int areaIndex = index < m_fixedRows ? index : index - m_fixedRows;
            PaintPassRow(m_pass, state, {row.area, areaIndex, row.item, {clip.left, y, clip.right, y + height}});
            y += height;
            if (++m_done % kRowsPerReport == 0 && (m_result = Report()) != PrintResult::Printed)
                break;
        }
        m_painter.restore();
    }

    void PaintExtra(int index)
    {
        const CPrintLayout::PageMetrics& metrics = m_layout.GetPage();
        const QRect rect(0, 0, metrics.width, metrics.height - metrics.footerHeight);
        m_painter.save();
        m_painter.scale(m_scale.x, m_scale.y);
        m_painter.setClipRect(rect);
        m_job.extraPages->PaintExtraPage(index, m_painter, rect);
        m_painter.restore();
        m_result = Report();
    }

    void PaintFooter(int page)
    {
        const CPrintLayout::PageMetrics& metrics = m_layout.GetPage();
        m_painter.save();
        m_painter.scale(m_scale.x, m_scale.y);
        CDeviceContext dc(m_painter);
        dc.SelectFont(m_font);
        const int top = metrics.height - metrics.footerHeight;
        dc.Line(0, top + 1, metrics.width - 1, top + 1, kFooterRule);
        const QString number = QString("Page %1 of %2").arg(page + 1).arg(m_pageCount);
        const CRect text{0, top + kFooterPadding / 2, metrics.width, metrics.height - kFooterPadding / 2};
        const int numberWidth = dc.TextWidth(number);
        dc.Text({text.left, text.top, std::max(text.left, text.right - numberWidth - 2 * kFooterPadding), text.bottom},
                m_job.title, kFooterText, TextLeft);
        dc.Text(text, number, kFooterText, TextRight);
        m_painter.restore();
    }

    GridPrintJob& m_job;
    const CPrintLayout& m_layout;
    QPainter& m_painter;
    DeviceScale m_scale;
    IPrintProgress* m_progress;
    std::int64_t m_total;
    int m_pageCount;
    std::int64_t m_done = 0;
    PrintResult m_result = PrintResult::Printed;
    QFont m_font;
    QFont m_headerFont;
    PassSettings m_pass;
    int m_fixedRows = 0;
};

// The pages a printer asks for (0-based, inclusive).
void PageRange(QPrinter& printer, int pageCount, int& first, int& last)
{
    first = 0;
    last = pageCount - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = std::clamp(printer.fromPage() - 1, 0, pageCount - 1);
        last = printer.toPage() > 0 ? std::clamp(printer.toPage() - 1, first, pageCount - 1) : last;
    }
}

PrintResult Run(GridPrintJob& job, bool fitToWidth, QPrinter& printer, IPrintProgress* progress)
{
    if (!job.draw)
        return PrintResult::Failed;
    if (job.isIntact && !job.isIntact())
        return PrintResult::Interrupted;
    if (printer.docName().isEmpty())
        printer.setDocName(job.title);
    const CPrintLayout layout = CGridPrinter::LayoutOf(job, printer, fitToWidth);
    const int pageCount = layout.GetPageCount() + (job.extraPages ? std::max(job.extraPageCount, 0) : 0);
    job.extraPageCount = pageCount - layout.GetPageCount();
    int first = 0, last = 0;
    PageRange(printer, pageCount, first, last);
    std::int64_t total = 0;
    for (int page = first; page <= last && page < layout.GetPageCount(); ++page) {
        const CPrintLayout::RowRange rows = layout.GetRows(layout.VerticalPageOf(page));
        total += rows.last - rows.first;
    }
    QPainter painter;
    if (!painter.begin(&printer))
        return PrintResult::Failed;
    CPageRun run(job, layout, painter, ScaleOf(job, printer), progress, total);
    PrintResult result = run.Report(); // the progress starts at 0
    for (int page = first; page <= last && result == PrintResult::Printed; ++page) {
        if (page > first && !printer.newPage()) {
            result = PrintResult::Failed;
            break;
        }
        result = run.PaintPage(page);
    }
    if (result == PrintResult::Printed)
        result = run.Report(); // the end: a progress dialog closes
    if (result != PrintResult::Printed)
        printer.abort();
    painter.end();
    // A file that does not hold the whole print must not pass for one.
    if (result != PrintResult::Printed && printer.outputFormat() == QPrinter::PdfFormat &&
        !printer.outputFileName().isEmpty())
        QFile::remove(printer.outputFileName());
    return result;
}
} // namespace

CPrintLayout CGridPrinter::LayoutOf(const GridPrintJob& job, QPrinter& printer, bool fitToWidth)
{
    const DeviceScale scale = ScaleOf(job, printer);
    CPrintLayout::PageMetrics page;
    page.width = static_cast<int>(std::floor(printer.width() / scale.x));
    page.height = static_cast<int>(std::floor(printer.height() / scale.y));
    page.headerHeight = job.header && job.headerShown ? job.header->GetHeight() : 0;
    page.footerHeight = FooterHeight(AtScreenSize(job.font, job.screenDpiY));
    std::vector<int> widths;
    int fixedCount = 0;
    if (job.header) {
        for (CColumn* column : job.header->GetVisibleColumns())
            widths.push_back(column->GetWidth());
        fixedCount = job.header->GetFixedColumnCount();
    }
    CPrintLayout layout(page, widths, fixedCount, fitToWidth);
    for (const PrintRow& row : job.rows)
        layout.AddRow(row.item->GetRowHeight());
    return layout;
}

void CGridPrinter::ApplyPageSetup(const PrintSettings& settings, QPrinter& printer)
{
    printer.setPageOrientation(settings.orientation == PrintLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    const auto& m = settings.margins;
    printer.setPageMargins(QMarginsF(m[0], m[1], m[2], m[3]), QPageLayout::Millimeter);
}

void CGridPrinter::ReadPageSetup(const QPrinter& printer, PrintSettings& settings)
{
    const QPageLayout layout = printer.pageLayout();
    settings.orientation = layout.orientation() == QPageLayout::Landscape ? PrintLandscape : PrintPortrait;
    const QMarginsF margins = layout.margins(QPageLayout::Millimeter);
    const double values[4] = {margins.left(), margins.top(), margins.right(), margins.bottom()};
    for (int i = 0; i < 4; ++i)
        settings.margins[static_cast<std::size_t>(i)] =
            std::clamp(static_cast<std::int32_t>(std::lround(values[i])), 0, PrintSettings::kMaxMargin);
}

PrintResult CGridPrinter::PrintTo(QPrinter& printer, IPrintProgress* progress)
{
    const PrintSettings settings = m_grid.GetPrintSettings();
    GridPrintJob job = m_grid.MakePrintJob(settings.rows);
    return Run(job, settings.fitToWidth, printer, progress);
}

PrintResult CGridPrinter::ExportPdf(const QString& file, IPrintProgress* progress)
{
    // At the screen's resolution the PDF's coordinates are the grid's own.
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    ApplyPageSetup(m_grid.GetPrintSettings(), printer);
    CPrintProgressDialog dialog(m_grid.GetWindow());
    return PrintTo(printer, progress ? progress : &dialog);
}

bool CGridPrinter::PrintWithDialog()
{
    PrintSettings settings = m_grid.GetPrintSettings();
    QPrinter printer(QPrinter::HighResolution);
    ApplyPageSetup(settings, printer);
    QPrintDialog dialog(&printer, m_grid.GetWindow());
    auto* options = new CPrintOptionsTab(settings, m_grid.HasSelection());
    dialog.setOptionTabs({options});
    if (dialog.exec() != QDialog::Accepted)
        return false;
    options->Read(settings);
    ReadPageSetup(printer, settings);
    m_grid.SetPrintSettings(settings);
    CPrintProgressDialog progress(m_grid.GetWindow());
    return PrintTo(printer, &progress) == PrintResult::Printed;
}

void CGridPrinter::Preview()
{
    QPrinter printer(QPrinter::HighResolution);
    ApplyPageSetup(m_grid.GetPrintSettings(), printer);
    QPrintPreviewDialog dialog(&printer, m_grid.GetWindow());
    dialog.setWindowTitle("Print Preview");
    // Room for a readable page and the whole toolbar.
    if (const QScreen* screen = dialog.screen()) {
        const QRect available = screen->availableGeometry();
        dialog.resize(available.width() * 4 / 5, available.height() * 9 / 10);
    }
    CPrintProgressDialog progress(&dialog);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [this, &progress](QPrinter* target) { PrintTo(*target, &progress); });
    AddPreviewOptions(dialog, m_grid.GetPrintSettings(), m_grid.HasSelection(), [this, &printer](const PrintSettings& chosen) {
        PrintSettings settings = chosen;
        ReadPageSetup(printer, settings);
        m_grid.SetPrintSettings(settings);
    });
    dialog.exec();
    PrintSettings settings = m_grid.GetPrintSettings();
    ReadPageSetup(printer, settings);
    m_grid.SetPrintSettings(settings);
}

} // namespace Kestrum::GUI
