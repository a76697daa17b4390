// Velmora start-up.
//
//   velmora [PATH...] [--expand LEVELS] [--screenshot FILE] [--export-pdf FILE]
//           [--after SECONDS]
//
// PATHs are shown as the roots instead of the machine's disks. Once the
// walk has ended (or the given time has passed), --expand opens the rows of
// the first LEVELS levels. --screenshot and --export-pdf then sort by size
// (and without --expand open the drives and their first two folders), save
// a picture of the main window or a PDF of the rows, and quit; without a
// display they run offscreen.
#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/MainFrame.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"

using namespace Velmora;

namespace {
struct Options {
    const char* screenshot = nullptr;
    const char* exportPdf = nullptr;
    int expandLevels = -1;
    double afterSeconds = 0;
    std::vector<std::string> roots;
    bool Quits() const { return screenshot || exportPdf; }
};

Options ParseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            options.screenshot = argv[++i];
        } else if (std::strcmp(argv[i], "--export-pdf") == 0 && i + 1 < argc) {
            options.exportPdf = argv[++i];
        } else if (std::strcmp(argv[i], "--expand") == 0 && i + 1 < argc) {
            options.expandLevels = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--after") == 0 && i + 1 < argc) {
            options.afterSeconds = std::atof(argv[++i]);
        } else if (argv[i][0] != '-') {
            std::error_code error;
            const auto path = std::filesystem::weakly_canonical(std::filesystem::absolute(argv[i]), error);
            options.roots.push_back(error ? std::string(argv[i]) : path.string());
        }
    }
    return options;
}

// Opens the rows of the first `levels` levels under `parent`.
void ExpandLevels(Kestrum::GUI::CGrid& grid, Kestrum::GUI::HITEM parent, int levels)
{
    if (levels <= 0)
        return;
    std::vector<Kestrum::GUI::HITEM> children;
    grid.GetChildren(parent, children, false);
    for (Kestrum::GUI::HITEM child : children) {
        if (!grid.HasChildren(child))
            continue;
        grid.Expand(child, false);
        ExpandLevels(grid, child, levels - 1);
    }
}

void ExpandForPicture(CMainFrame& frame, int levels)
{
    using namespace Kestrum::GUI;
    CGrid& grid = frame.View().Grid();
    if (levels >= 0) {
        ExpandLevels(grid, GRID_ROOT, levels);
        return;
    }
    std::vector<HITEM> drives;
    grid.GetChildren(GRID_ROOT, drives, false);
    for (HITEM drive : drives) {
        grid.Expand(drive, false);
        std::vector<HITEM> folders;
        grid.GetChildren(drive, folders, false);
        for (std::size_t i = 0; i < folders.size() && i < 2; ++i)
            grid.Expand(folders[i], false);
    }
}

void SavePictures(CMainFrame& frame, const Options& options)
{
    using namespace Kestrum::GUI;
    CGrid& grid = frame.View().Grid();
    grid.SetSortInfo(0, CSortInfo(2, true), true);
    ExpandForPicture(frame, options.expandLevels);
    grid.SetTopRow(0);
    // After the change highlight of the last folders has faded.
    const QString picture = options.screenshot ? QString::fromLocal8Bit(options.screenshot) : QString();
    const QString pdf = options.exportPdf ? QString::fromLocal8Bit(options.exportPdf) : QString();
    QTimer::singleShot(grid.GetUpdateHighlight().duration + 300, &frame, [&frame, picture, pdf] {
        bool saved = true;
        if (!pdf.isEmpty() && !frame.ExportPdf(pdf)) {
            std::fprintf(stderr, "velmora: cannot write %s\n", pdf.toLocal8Bit().constData());
            saved = false;
        }
        if (!picture.isEmpty() && !frame.grab().save(picture)) {
            std::fprintf(stderr, "velmora: cannot write %s\n", picture.toLocal8Bit().constData());
            saved = false;
        }
        QApplication::exit(saved ? 0 : 1);
    });
}
} // namespace

int main(int argc, char** argv)
{
    const Options options = ParseOptions(argc, argv);
    if (options.Quits() && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication app(argc, argv);
    QApplication::setApplicationName("Velmora");
    QIcon::setThemeName("Adwaita");
    CMainFrame frame(std::make_unique<CVelmoraDoc>(options.roots));
    frame.resize(1000, 640);
    frame.show();

    if (options.Quits() || options.expandLevels >= 0) {
        auto* poll = new QTimer(&frame);
        QElapsedTimer elapsed;
        elapsed.start();
        QObject::connect(poll, &QTimer::timeout, &frame, [&frame, poll, elapsed, options] {
            const bool timeUp = options.afterSeconds > 0 && elapsed.elapsed() >= static_cast<qint64>(options.afterSeconds * 1000);
            if (!frame.Document().Scanner().IsFinished() && !timeUp)
                return;
            poll->stop();
            if (options.Quits())
                SavePictures(frame, options);
            else
                ExpandLevels(frame.View().Grid(), Kestrum::GUI::GRID_ROOT, options.expandLevels);
        });
        poll->start(100);
    }
    const int result = app.exec();
    frame.Shutdown();
    return result;
}
