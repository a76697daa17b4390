// Velmora start-up.
//
//   velmora [PATH...] [--screenshot FILE [--after SECONDS]]
//
// PATHs are shown as the roots instead of the machine's disks. --screenshot
// waits until the walk has ended (or the given time), expands the first
// levels, sorts by size, saves a picture of the main window and quits;
// without a display it runs offscreen.
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
    double afterSeconds = 0;
    std::vector<std::string> roots;
};

Options ParseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            options.screenshot = argv[++i];
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

void TakeScreenshot(CMainFrame& frame, const QString& file)
{
    using namespace Kestrum::GUI;
    CGrid& grid = frame.View().Grid();
    grid.SetSortInfo(0, CSortInfo(2, true), true);
    std::vector<HITEM> drives;
    grid.GetChildren(GRID_ROOT, drives, false);
    for (HITEM drive : drives) {
        grid.Expand(drive, false);
        std::vector<HITEM> folders;
        grid.GetChildren(drive, folders, false);
        for (std::size_t i = 0; i < folders.size() && i < 2; ++i)
            grid.Expand(folders[i], false);
    }
    grid.SetTopRow(0);
    // After the change highlight of the last folders has faded.
    QTimer::singleShot(grid.GetUpdateHighlight().duration + 300, &frame, [&frame, file] {
        const bool saved = frame.grab().save(file);
        if (!saved)
            std::fprintf(stderr, "velmora: cannot write %s\n", file.toLocal8Bit().constData());
        QApplication::exit(saved ? 0 : 1);
    });
}
} // namespace

int main(int argc, char** argv)
{
    const Options options = ParseOptions(argc, argv);
    if (options.screenshot && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication app(argc, argv);
    QApplication::setApplicationName("Velmora");
    QIcon::setThemeName("Adwaita");
    CMainFrame frame(std::make_unique<CVelmoraDoc>(options.roots));
    frame.resize(1000, 640);
    frame.show();

    if (options.screenshot) {
        const QString file = QString::fromLocal8Bit(options.screenshot);
        auto* poll = new QTimer(&frame);
        QElapsedTimer elapsed;
        elapsed.start();
        QObject::connect(poll, &QTimer::timeout, &frame, [&frame, poll, elapsed, file, after = options.afterSeconds] {
            const bool timeUp = after > 0 && elapsed.elapsed() >= static_cast<qint64>(after * 1000);
            if (!frame.Document().Scanner().IsFinished() && !timeUp)
                return;
            poll->stop();
            TakeScreenshot(frame, file);
        });
        poll->start(100);
    }
    const int result = app.exec();
    frame.Shutdown();
    return result;
}
