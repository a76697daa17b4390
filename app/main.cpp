// Velmora start-up.
//
//   velmora [PATH...] [--screenshot FILE [--after SECONDS]] [--report-layout]
//
// PATHs are shown as the roots instead of the machine's disks. --screenshot
// waits until the walk has ended (or the given time), expands the first
// levels, saves a picture of the main window and quits; without a display it
// runs offscreen. --report-layout prints, once the walk has ended, where the
// grid's body, header and columns lie on the screen, for scripts that drive
// the window with synthetic input (scripts/drive-velmora.sh).
#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <algorithm>
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
    bool reportLayout = false;
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
        } else if (std::strcmp(argv[i], "--report-layout") == 0) {
            options.reportLayout = true;
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
// One line: the body's screen rectangle, the header and row heights, and the
// left and right edges of each visible column in body coordinates.
void ReportLayout(CMainFrame& frame)
{
    using namespace Kestrum::GUI;
    CGrid& grid = frame.View().Grid();
    const QPoint origin = grid.viewport()->mapToGlobal(QPoint(0, 0));
    CHeader* header = grid.GetHeader();
    std::printf("layout body %d %d %d %d header %d row %d columns", origin.x(), origin.y(), grid.viewport()->width(),
                grid.viewport()->height(), header ? header->GetHeight() : 0, grid.GetFontRowHeight(AreaScrollable));
    if (header)
        for (CColumn* column : header->GetVisibleColumns()) {
            const CRect rect = header->GetColumnRect(&grid, column->GetFieldId());
            std::string caption = column->GetCaption();
            std::replace(caption.begin(), caption.end(), ' ', '_');
            std::printf(" %s %d %d", caption.c_str(), rect.left, rect.right);
        }
    std::printf("\n");
    std::fflush(stdout);
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
    if (options.reportLayout) {
        auto* poll = new QTimer(&frame);
        QObject::connect(poll, &QTimer::timeout, &frame, [&frame, poll] {
            if (!frame.Document().Scanner().IsFinished() || frame.View().HasWaitingRows())
                return;
            poll->stop();
            ReportLayout(frame);
        });
        poll->start(100);
    }
    const int result = app.exec();
    frame.Shutdown();
    return result;
}
