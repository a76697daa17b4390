// End to end: Velmora's document, view and grid, offscreen, over one folder.
// Times the walk until every entry has its row, the longest stall of the GUI
// thread (largest gap between ticks of a 10 ms timer) and the peak memory per
// entry; then times `du -s` and `find` on the same (warm) tree.
//   bench_velmora DIR
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/MainFrame.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "gui/grid/Grid.h"

using namespace Velmora;
using Clock = std::chrono::steady_clock;

namespace {
long StatusKib(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::strlen(key));
    return 0;
}

double TimeCommand(const std::string& command)
{
    const auto start = Clock::now();
    if (std::system((command + " > /dev/null 2>&1").c_str()) != 0)
        std::fprintf(stderr, "warning: '%s' failed\n", command.c_str());
    return std::chrono::duration<double>(Clock::now() - start).count();
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::string root = argv[1];
    TimeCommand("find '" + root + "' -printf '%s\\n'"); // warm the cache
    QApplication app(argc, argv);
    const long baseKib = StatusKib("VmRSS:");

    const auto start = Clock::now();
    CMainFrame frame(std::make_unique<CVelmoraDoc>(std::vector<std::string>{root}));
    frame.resize(1000, 700);
    frame.show();
    QElapsedTimer tick;
    tick.start();
    qint64 longestStall = 0, last = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = tick.elapsed();
        longestStall = std::max(longestStall, now - last);
        last = now;
    });
    ticker.start(10);
    double walkSeconds = 0;
    long entries = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!frame.Document().Scanner().IsFinished())
            return;
        const ScanProgress& progress = frame.View().Progress();
        entries = progress.folders + progress.files;
        std::vector<Kestrum::GUI::HITEM> items;
        frame.View().Grid().GetAllItems(Kestrum::GUI::MaskBoth, items);
        if (static_cast<long>(items.size()) < entries)
            return;
        walkSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        QApplication::quit();
    });
    poll.start(5);
    app.exec();
    const long peakKib = StatusKib("VmHWM:");
    frame.Shutdown();

    const double du = TimeCommand("du -s '" + root + "'");
    const double find = TimeCommand("find '" + root + "' -printf '%s\\n'");
    std::printf("entries:               %ld\n", entries);
    std::printf("velmora (all rows):    %.3f s\n", walkSeconds);
    std::printf("du -s:                 %.3f s   ratio %.2f\n", du, walkSeconds / du);
    std::printf("find -printf:          %.3f s   ratio %.2f\n", find, walkSeconds / find);
    std::printf("longest GUI stall:     %lld ms\n", static_cast<long long>(longestStall));
    std::printf("peak memory per entry: %.0f bytes\n", (peakKib - baseKib) * 1024.0 / std::max(entries, 1L));
    return 0;
}
