// End to end: Velmora's document, view and grid, offscreen, over one folder.
// Times the walk until every entry has its row, the longest stall of the GUI
// thread (largest gap between ticks of a 10 ms timer) and the peak memory per
// entry; then times `du -s` and `find` on the same (warm) tree.
//   bench_velmora DIR
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <ctime>
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
// Times every event delivery on the GUI thread during the walk, so a stall
// can be traced to what caused it.
class CTimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        const auto start = Clock::now();
        const int type = event->type();
        // Read before delivery: the receiver may be deleted by it.
        const char* className = receiver->metaObject()->className();
        const bool result = QApplication::notify(receiver, event);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (measuring && ms > longestMs && QThread::currentThread() == thread()) {
            longestMs = ms;
            longestType = type;
            longestReceiver = className;
        }
        return result;
    }
    bool measuring = true; // while the walk goes on
    double longestMs = 0;
    int longestType = 0;
    std::string longestReceiver;
};

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
double CpuSeconds(clockid_t clock)
{
    timespec time{};
    clock_gettime(clock, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
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
    CTimedApplication app(argc, argv);
    const long baseKib = StatusKib("VmRSS:");

    const auto start = Clock::now();
    const double guiCpuStart = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double processCpuStart = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    double guiCpu = 0, processCpu = 0;
    CMainFrame frame(std::make_unique<CVelmoraDoc>(std::vector<std::string>{root}));
    frame.resize(1000, 700);
    frame.show();
    QElapsedTimer tick;
    tick.start();
    qint64 longestStall = 0, last = 0, stallAt = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = tick.elapsed();
        if (app.measuring && now - last > longestStall) {
            longestStall = now - last;
            stallAt = now;
        }
        last = now;
    });
    ticker.start(10);
    double walkSeconds = 0;
    long peakKib = 0;
    double scanSeconds = 0;
    long entries = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!frame.Document().Scanner().IsFinished())
            return;
        if (scanSeconds == 0)
            scanSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (frame.View().HasWaitingRows())
            return;
        walkSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        guiCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - guiCpuStart;
        processCpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processCpuStart;
        // Read before the count below, whose item list is the benchmark's own memory.
        peakKib = StatusKib("VmHWM:");
        app.measuring = false;
        const ScanProgress& progress = frame.View().Progress();
        entries = progress.folders + progress.files;
        std::vector<Kestrum::GUI::HITEM> items;
        frame.View().Grid().GetAllItems(Kestrum::GUI::MaskBoth, items);
        if (static_cast<long>(items.size()) != entries)
            std::fprintf(stderr, "error: %zu rows for %ld entries\n", items.size(), entries);
        QApplication::quit();
    });
    poll.start(5);
    app.exec();
    frame.Shutdown();

    const double du = TimeCommand("du -s '" + root + "'");
    const double find = TimeCommand("find '" + root + "' -printf '%s\\n'");
    std::printf("entries:               %ld\n", entries);
    std::printf("velmora (all rows):    %.3f s\n", walkSeconds);
    std::printf("walk ended after:      %.3f s\n", scanSeconds);
    std::printf("CPU: GUI thread %.3f s, other threads %.3f s\n", guiCpu, processCpu - guiCpu);
    std::printf("du -s:                 %.3f s   ratio %.2f\n", du, walkSeconds / du);
    std::printf("find -printf:          %.3f s   ratio %.2f\n", find, walkSeconds / find);
    std::printf("longest GUI stall:     %lld ms (ending %lld ms after the start)\n", static_cast<long long>(longestStall),
                static_cast<long long>(stallAt));
    std::printf("peak memory per entry: %.0f bytes\n", (peakKib - baseKib) * 1024.0 / std::max(entries, 1L));
    std::printf("longest GUI event:     %.1f ms (event type %d to a %s)\n", app.longestMs, app.longestType,
                app.longestReceiver.c_str());
    return 0;
}
