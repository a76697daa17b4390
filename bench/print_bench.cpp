// Printing Velmora's rows to PDF: a folder tree of ROWS rows (folders of 99
// files each, all expanded) painted by Velmora's row painter (icons,
// colours, italic names, bold sizes) onto A4 pages, with the fixed Name
// column repeated on the pages across. Prints the time, the pages, the file
// size and the peak memory of the print itself (the high-water mark is
// reset after the rows are built, so the rows' own memory is not counted).
//   bench_print [ROWS] [RUNS]
#include <QApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "app/FileSystemData.h"
#include "app/RowPainter.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"
#include "gui/print/GridPrinter.h"

using namespace Kestrum::GUI;
using Velmora::CFileData;
using Velmora::CFolderData;
using Clock = std::chrono::steady_clock;

namespace {
long StatusKib(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::atol(line.c_str() + prefix.size());
    return 0;
}

// Starts a new high-water mark of the resident memory (Linux 4.0 and later).
bool ResetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear);
}

struct CCountingProgress final : IPrintProgress {
    std::int64_t reports = 0;
    bool OnPrintProgress(std::int64_t, std::int64_t) override
    {
        ++reports;
        return true;
    }
};
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QIcon::setThemeName("Adwaita");
    const int rows = argc > 1 ? std::max(100, std::atoi(argv[1])) : 100'000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    const int folders = rows / 100;
    const char* extensions[] = {".txt", ".png", ".cpp", ".h", ".pdf", ".json", ".sh"};

    auto* root = new CFolderData(Kestrum::Common::CString("/bench"), nullptr);
    CGrid grid;
    auto* header = new CHeader(true);
    const struct {
        std::int32_t field;
        const char* caption;
        int width;
    } columns[] = {{0, "Name", 270}, {2, "Size", 120}, {3, "Files count", 80},
                   {5, "Creation time", 140}, {6, "Last access time", 140}, {7, "Last write time", 140}};
    for (const auto& column : columns)
        header->AddColumn(new CColumn(column.field, column.caption, column.width, AlignAuto, false, -1, -1, nullptr,
                                      nullptr, nullptr, ""));
    header->SetFixedColumnCount(1);
    grid.SetHeader(header);
    grid.SetCustomDraw(new Velmora::CRowPainter);
    grid.SetPrintTitle("Velmora");
    grid.resize(1000, 640);
    const HITEM top = grid.Add(root, GRID_ROOT, GRID_LAST);
    const std::int64_t time = 133'000'000'000'000'000LL;
    for (int folder = 0; folder < folders; ++folder) {
        auto* child = new CFolderData(Kestrum::Common::CString("folder-" + std::to_string(folder)), root);
        root->AddFolder(child);
        const HITEM parent = grid.Add(child, top, GRID_LAST);
        for (int file = 0; file < 99; ++file) {
            const std::string name = "file-" + std::to_string(file) + extensions[file % 7];
            auto* data = new CFileData(Kestrum::Common::CString(name), child, 1000 + file * 37 + folder, time, time + file, time + folder);
            child->AddFile(data);
            grid.Add(data, parent, GRID_LAST);
        }
    }
    grid.Expand(top, true);
    std::printf("rows: %d printed (%d folders of 99 files)\n", grid.GetRowCount(AreaScrollable), folders);
    const long before = StatusKib("VmRSS");

    QTemporaryDir folder;
    const QString file = folder.filePath("rows.pdf");
    double best = 1e9;
    long peak = 0;
    for (int run = 0; run < runs; ++run) {
        const bool reset = ResetPeak();
        CCountingProgress progress;
        const auto start = Clock::now();
        if (!grid.ExportPdf(file, &progress)) {
            std::fprintf(stderr, "bench_print: the export failed\n");
            return 1;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        best = std::min(best, seconds);
        peak = std::max(peak, StatusKib("VmHWM"));
        std::printf("run %d: %.2f s, %lld progress reports%s\n", run + 1, seconds, static_cast<long long>(progress.reports),
                    reset ? "" : " (peak not reset: it includes building the rows)");
    }
    // The page count, when poppler-utils are there to read it.
    QProcess info;
    info.start("pdfinfo", {file});
    QString pages = "?";
    if (info.waitForFinished(60000))
        for (const QString& line : QString::fromUtf8(info.readAllStandardOutput()).split('\n'))
            if (line.startsWith("Pages:"))
                pages = line.mid(6).trimmed();
    std::printf("best: %.2f s, %.0f rows/s; %s pages, PDF %.1f MB\n", best, rows / best, qPrintable(pages),
                QFileInfo(file).size() / 1048576.0);
    std::printf("memory: %.1f MB resident before the print, peak during it %.1f MB (+%.1f MB)\n", before / 1024.0,
                peak / 1024.0, (peak - before) / 1024.0);
    grid.Clear(MaskBoth);
    delete root;
    return 0;
}
