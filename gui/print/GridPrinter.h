// CGridPrinter: prints a grid's rows onto pages, through the same custom
// draw and paint formats as the screen (gui/paint/PaintPass.h), so a row
// painter decorates printed cells as it decorates the screen. It runs the
// print dialog, the print preview and the PDF export around that.
//
// A print, in order: the grid hands over a GridPrintJob (the rows chosen, in
// display order, and everything the paint pass reads); the page layout
// (CPrintLayout) is computed once from the printer's page, in one pass over
// the rows; then the pages are painted one after another and streamed to
// the printer, which keeps no page images. Every page repeats the header
// strip at its top and carries the document title and "Page N of M" in its
// footer; the margins are the page layout's. An application's extra pages
// (IExtraPrintPages) follow the rows, with the same footer.
//
// What is not printed: the selection and focus tints and frames, the update
// highlight, the mouse selection rectangle, drop markers and the background
// picture. Fonts are printed at the size they have on the grid's screen
// whatever the printer's resolution.
//
// Threads: the grid's thread only (CGrid carries calls over). Progress and
// cancel: the printer reports every few rows to an IPrintProgress (the
// dialogs use a modal QProgressDialog, which lets the event loop run);
// after each report it asks the job whether its rows are intact, and stops
// when rows were removed, the header or custom draw replaced, or the grid
// is closing. A cancelled or stopped PDF export removes its partial file.
//
// Ownership: the printer owns nothing of the grid; it lives for one request.
#pragma once

#include "gui/platform/Export.h"

#include <QFont>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "gui/paint/DrawContext.h"
#include "gui/paint/PaintFormat.h"
#include "gui/print/PrintLayout.h"
#include "gui/print/PrintSettings.h"

class QPainter;
class QPrinter;
class QRect;
class QWidget;

namespace Kestrum::GUI {

class ICustomDraw;

// Told how far a print has come; answering false cancels it.
class KESTRUM_GUI_EXPORT IPrintProgress {
public:
    virtual bool OnPrintProgress(std::int64_t done, std::int64_t total) = 0;

protected:
    ~IPrintProgress() = default;
};

// Pages an application prints after the rows (a chart of them, say), set on
// the grid (CGrid::SetExtraPrintPages). A print asks for the count when it
// starts, then paints each page in turn: the painter is scaled to the grid's
// pixels and clipped to `rect`, the page above the footer, which stays the
// printer's (the title, and "Page N of M" counting these pages too). On the
// grid's thread.
class KESTRUM_GUI_EXPORT IExtraPrintPages {
public:
    virtual int GetExtraPageCount() = 0;
    virtual void PaintExtraPage(int index, QPainter& painter, const QRect& rect) = 0;

protected:
    ~IExtraPrintPages() = default;
};

struct KESTRUM_GUI_EXPORT PrintRow {
    CGridItem* item = nullptr;
    int area = 0;
};

// Everything one print reads from the grid, taken when it starts.
struct KESTRUM_GUI_EXPORT GridPrintJob {
    CGrid* grid = nullptr; // for applications' own paint formats
    CHeader* header = nullptr;
    bool headerShown = true;
    ICustomDraw* draw = nullptr;
    QFont font;
    GridAppearance appearance;
    UpdateHighlight highlight;
    PaintFlags paintFlags = PaintAll;
    CImageList* images = nullptr;
    bool stretchImages = false;
    bool allExpanded = false; // a print of all rows draws every row expanded
    int screenDpiX = 96;      // the grid's screen: one grid pixel is 1/dpi inch on paper
    int screenDpiY = 96;
    QString title;
    std::vector<PrintRow> rows; // display order, fixed rows first
    // After the rows' pages (null or 0: none).
    IExtraPrintPages* extraPages = nullptr;
    int extraPageCount = 0;
    // False once the rows above may be gone.
    std::function<bool()> isIntact;
};

// What a grid offers its printer.
class KESTRUM_GUI_EXPORT IPrintableGrid {
public:
    virtual GridPrintJob MakePrintJob(std::int32_t rows) = 0;
    virtual PrintSettings GetPrintSettings() = 0;
    virtual void SetPrintSettings(const PrintSettings& settings) = 0;
    virtual bool HasSelection() = 0;
    // The parent of the dialogs.
    virtual QWidget* GetWindow() = 0;

protected:
    ~IPrintableGrid() = default;
};

enum class PrintResult { Printed, Cancelled, Interrupted, Failed };

class KESTRUM_GUI_EXPORT CGridPrinter {
public:
    explicit CGridPrinter(IPrintableGrid& grid) : m_grid(grid) {}

    // The print dialog (with a tab for the rows and the fit), then the print
    // with a progress dialog; the choices are kept in the grid's settings.
    bool PrintWithDialog();
    // The print preview window over this printer (modal); its orientation,
    // rows and fit choices are kept in the grid's settings.
    void Preview();
    // A PDF file with the grid's print settings; `progress` null shows a
    // progress dialog. The file is removed unless the print completed.
    PrintResult ExportPdf(const QString& file, IPrintProgress* progress);
    // Onto a printer the caller set up, whose page layout is kept; the rows
    // and the fit are the grid's print settings.
    PrintResult PrintTo(QPrinter& printer, IPrintProgress* progress);

    // The page layout of a job on a printer's page (what PrintTo uses).
    static CPrintLayout LayoutOf(const GridPrintJob& job, QPrinter& printer, bool fitToWidth);
    // Applies the orientation and margins of the settings to a printer's
    // page layout, and reads them back.
    static void ApplyPageSetup(const PrintSettings& settings, QPrinter& printer);
    static void ReadPageSetup(const QPrinter& printer, PrintSettings& settings);

private:
    IPrintableGrid& m_grid;
};

} // namespace Kestrum::GUI
