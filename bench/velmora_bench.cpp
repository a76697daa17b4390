// End to end: Velmora's document, view and grid, offscreen, over one folder.
// Times the walk until every entry has its row, the longest stall of the GUI
// thread (largest gap between ticks of a 10 ms timer) and the peak memory per
// entry; then times `du -s` and `find` on the same (warm) tree.
//   bench_velmora [--unsorted] [--input] [--cold] [--ops] [--treemap] [--accessible] [--filter=PATTERN] DIR [RUNS]
// --filter=PATTERN: the filter bar holds the pattern from the start, so
// every row the walk adds is asked about (the cost of a filter per row).
// Velmora starts sorted by size, so every growing folder moves to its place
// as the walk goes on; --unsorted clears the sort first (rows stay in walk
// order; --by-size, the old name of the default, is still accepted).
// --input: while the walk runs, a user is played: every 20 ms a key (arrows,
// Right to open the focused folder, page keys, a search letter), a click on
// a row or a wheel notch is posted to the grid, and the time from posting to
// the start (wait) and to the end (handled) of its delivery is measured, and
// to the end of the grid's next paint for an input that changed the top row,
// the focused row, the selection or the number of rows.
// With several runs (each in a fresh process, as the browser starts, and
// alternating with the disk tools) it reports the best time of each side,
// because timings on a shared machine vary between identical runs, and the
// worst stall, input wait and memory.
// --cold: the page cache is dropped (sync, then 3 written to
// /proc/sys/vm/drop_caches) before each tool's walk, as a first walk of a
// disk finds it; `du -s`, and gdu and ncdu when installed, are timed cold
// beside Velmora in the same run. The kernel's time per entry of Velmora,
// du and gdu is printed (warm or cold). Needs root and a writable drop_caches; the
// run stops with a message where it is not.
// --treemap: the treemap is shown below the tree from the start, laid out
// and painted at most twice a second during the walk and at its end; the
// number of layouts and the longest is reported.
// At the end (after the disk tools) the window is closed as a user closes
// it, from the event loop: the close is timed until the window is hidden,
// until the frame is destroyed and, with several runs, until the process
// has ended (measured by the parent, on the same monotonic clock).
// --ops: once every row is in the grid, times "&Expand all", a re-sort by
// size in both directions (two clicks on the Size caption) with every row
// shown, "&Collapse all" and the same re-sort with only the top rows shown,
// each on the GUI thread up to the end of the last repaint it causes (the
// events are pumped until the grid has been quiet for a while).
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "app/MainFrame.h"
#include "app/filter/FilterBar.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "app/FileSystemData.h"
#include "app/treemap/TreemapLink.h"
#include "app/treemap/TreemapView.h"
#include "gui/accessibility/GridAccessible.h"
#include "gui/grid/Grid.h"
#include "gui/grid/GridRows.h"
#include "gui/header/Header.h"

using namespace Velmora;
using Clock = std::chrono::steady_clock;

namespace {
bool g_unsorted = false;
bool g_treemap = false;
bool g_accessible = false; // --accessible: a screen reader listens from the start
long g_accessibleEvents = 0;
std::string g_filter; // --filter=PATTERN: the filter bar holds it from the start
bool g_input = false;
bool g_cold = false;
bool g_ops = false;
} // namespace

namespace {
// Times every event delivery on the GUI thread during the walk, so a stall
// can be traced to what caused it.
class CTimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        const auto start = Clock::now();
        const bool onGui = QThread::currentThread() == thread();
        timespec cpuStart{};
        if (onGui)
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuStart);
        const int type = event->type();
        // Read before delivery: the receiver may be deleted by it.
        const char* className = receiver->metaObject()->className();
        // A probe's input event: how long it waited in the queue.
        const auto probe = probes.find(event);
        const bool probed = probe != probes.end();
        Clock::time_point posted;
        bool awaitsRepaint = false;
        if (probed) {
            posted = probe->second.posted;
            awaitsRepaint = probe->second.awaitsRepaint;
            probes.erase(probe);
            inputWaitMs.push_back(std::chrono::duration<double, std::milli>(start - posted).count());
        }
        const std::array<int, 4> before = probed && awaitsRepaint && gridState ? gridState() : std::array<int, 4>{};
        const bool ofWatched = watched && (type == QEvent::Paint || type == QEvent::UpdateRequest || type == QEvent::Timer) &&
                               (receiver == watched || receiver->parent() == watched);
        if (type == QEvent::Hide && receiver == closing && hiddenAt == Clock::time_point())
            hiddenAt = start;
        const bool result = QApplication::notify(receiver, event);
        if (probed) {
            inputHandledMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - posted).count());
            // Only an input that changed what the grid shows waits for a repaint.
            if (awaitsRepaint && (!gridState || gridState() != before))
                awaitingRepaint.push_back(posted);
        }
        const auto end = Clock::now();
        // The first repaint of the grid after an input was handled shows its effect.
        if (type == QEvent::Paint && repainted && (receiver == repainted || receiver->parent() == repainted)) {
            for (const Clock::time_point inputPosted : awaitingRepaint)
                inputRepaintMs.push_back(std::chrono::duration<double, std::milli>(end - inputPosted).count());
            awaitingRepaint.clear();
        }
        if (ofWatched) {
            lastWatchedEnd = end;
            if (type == QEvent::Paint && firstPaintEnd == Clock::time_point())
                firstPaintEnd = end;
        }
        const double ms = std::chrono::duration<double, std::milli>(end - start).count();
        if (measuring && ms > kLongEventMs && onGui) {
            timespec cpuEnd{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuEnd);
            const double cpuMs = static_cast<double>(cpuEnd.tv_sec - cpuStart.tv_sec) * 1e3 +
                                 static_cast<double>(cpuEnd.tv_nsec - cpuStart.tv_nsec) * 1e-6;
            longEvents.push_back({std::chrono::duration<double, std::milli>(start - created).count(), ms, cpuMs, type,
                                  className});
        }
        if (measuring && ms > longestMs && QThread::currentThread() == thread()) {
            longestMs = ms;
            longestType = type;
            longestReceiver = className;
        }
        return result;
    }
    // Posts an input event for the probe and remembers when.
    // A release (of a key or of a click's button) shows nothing new: only
    // the other inputs wait for the repaint.
    void PostInput(QObject* receiver, QEvent* event)
    {
        probes[event] = {Clock::now(), event->type() != QEvent::KeyRelease && event->type() != QEvent::MouseButtonRelease};
        QCoreApplication::postEvent(receiver, event);
    }
    bool measuring = true; // while the walk goes on
    // The grid whose timer, update and paint events the --ops timings wait for.
    QObject* watched = nullptr;
    Clock::time_point lastWatchedEnd;
    Clock::time_point firstPaintEnd;
    double longestMs = 0;
    int longestType = 0;
    std::string longestReceiver;
    // The GUI events of the walk that took longer than a frame's
    // budget: when, what and to whom, and how much of it the thread ran
    // (the rest it waited: for a lock, a page, or a core).
    static constexpr double kLongEventMs = 15;
    struct LongEvent {
        double atMs;
        double ms;
        double cpuMs;
        int type;
        std::string receiver;
    };
    std::vector<LongEvent> longEvents;
    const Clock::time_point created = Clock::now();
    struct Probe {
        Clock::time_point posted;
        bool awaitsRepaint;
    };
    std::unordered_map<const QEvent*, Probe> probes;
    std::vector<double> inputWaitMs;
    std::vector<double> inputHandledMs;
    // --input: the grid whose paints end an input's wait, the inputs handled
    // and not yet shown, and from posting to the end of that paint.
    QObject* repainted = nullptr;
    std::function<std::array<int, 4>()> gridState; // top row, focused row, selection, rows
    // The window being closed, and when it was hidden.
    QObject* closing = nullptr;
    Clock::time_point hiddenAt;
    std::vector<Clock::time_point> awaitingRepaint;
    std::vector<double> inputRepaintMs;
};

// The user the --input probe plays: one step every 20 ms.
class CInputProbe {
public:
    CInputProbe(CTimedApplication& app, Kestrum::GUI::CGrid& grid) : m_app(app), m_grid(grid)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Step(); });
        m_timer.start(20);
    }
    void Stop() { m_timer.stop(); }

private:
    // A key goes down now and up at the next step, as a typist's would.
    void Key(int key, const QString& text = {})
    {
        m_app.PostInput(&m_grid, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
        m_releaseKey = key;
        m_releaseText = text;
    }
    void ReleaseKey()
    {
        if (m_releaseKey != 0)
            m_app.PostInput(&m_grid, new QKeyEvent(QEvent::KeyRelease, m_releaseKey, Qt::NoModifier, m_releaseText));
        m_releaseKey = 0;
    }
    void Click(int row)
    {
        Kestrum::GUI::CHeader* header = m_grid.GetHeader();
        const QPointF point(150, (header ? header->GetHeight() : 0) + (row + 0.5) * m_grid.GetFontRowHeight(2));
        QWidget* view = m_grid.viewport();
        const QPointF global = view->mapToGlobal(point);
        m_app.PostInput(view, new QMouseEvent(QEvent::MouseButtonPress, point, global, Qt::LeftButton, Qt::LeftButton,
                                              Qt::NoModifier));
        m_app.PostInput(view, new QMouseEvent(QEvent::MouseButtonRelease, point, global, Qt::LeftButton, Qt::NoButton,
                                              Qt::NoModifier));
    }
    void Wheel(int delta)
    {
        QWidget* view = m_grid.viewport();
        const QPointF point(150, 100);
        m_app.PostInput(view, new QWheelEvent(point, view->mapToGlobal(point), QPoint(), QPoint(0, delta), Qt::NoButton,
                                              Qt::NoModifier, Qt::NoScrollPhase, false));
    }
    void Step()
    {
        ReleaseKey();
        switch (m_step++ % 16) {
        case 0: Key(Qt::Key_Home); break;
        case 1: Key(Qt::Key_Right); break; // opens the focused folder
        case 2: Key(Qt::Key_Down); break;
        case 3: Key(Qt::Key_Right); break;
        case 4: Key(Qt::Key_Down); break;
        case 5: Key(Qt::Key_Right); break;
        case 6: Key(Qt::Key_PageDown); break;
        case 7: Wheel(-120); break;
        case 8: Key(Qt::Key_B, "b"); break; // incremental search
        case 9: Key(Qt::Key_I, "i"); break;
        case 10: Click(3); break;
        case 11: Key(Qt::Key_Down); break;
        case 12: Wheel(120); break;
        case 13: Key(Qt::Key_Up); break;
        case 14: Key(Qt::Key_End); break;
        default: Key(Qt::Key_PageUp); break;
        }
    }

    CTimedApplication& m_app;
    Kestrum::GUI::CGrid& m_grid;
    QTimer m_timer;
    unsigned m_step = 0;
    int m_releaseKey = 0;
    QString m_releaseText;
};

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

long StatusKib(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::strlen(key));
    return 0;
}

bool CanDropCaches() { return geteuid() == 0 && access("/proc/sys/vm/drop_caches", W_OK) == 0; }

// Empties the page, dentry and inode caches, so the next walk reads the disk.
void DropCaches()
{
    sync();
    std::FILE* file = std::fopen("/proc/sys/vm/drop_caches", "w");
    if (!file || std::fputs("3\n", file) < 0 || std::fclose(file) != 0)
        std::fprintf(stderr, "warning: the caches could not be dropped\n");
}

bool HasCommand(const char* name)
{
    return std::system((std::string("command -v ") + name + " > /dev/null 2>&1").c_str()) == 0;
}

double SystemSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_stime.tv_sec) + static_cast<double>(usage.ru_stime.tv_usec) * 1e-6;
}

// The kernel time of the last command timed (its whole process tree).
double g_commandSystemSeconds = 0;

double TimeCommand(const std::string& command)
{
    if (g_cold)
        DropCaches();
    const double systemBefore = SystemSeconds(RUSAGE_CHILDREN);
    const auto start = Clock::now();
    if (std::system((command + " > /dev/null 2>&1").c_str()) != 0)
        std::fprintf(stderr, "warning: '%s' failed\n", command.c_str());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    g_commandSystemSeconds = SystemSeconds(RUSAGE_CHILDREN) - systemBefore;
    return seconds;
}

double CpuSeconds(clockid_t clock)
{
    timespec time{};
    clock_gettime(clock, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
}

// Runs the event loop for `ms` milliseconds.
void Pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}


struct OpFigure {
    const char* name;
    double seconds; // to the end of the first repaint after the call
    double callSeconds; // the call alone
    double settledSeconds; // to the end of the last event of the grid
    double cpuSeconds; // the GUI thread's time until then
    int rows; // rows shown afterwards
};

// Times one operation on the grid up to the end of the first paint of the
// grid's viewport that follows (what the user waits for), and up to the end
// of the last timer, update or paint event of the grid while the loop runs
// on for 300 ms, far beyond the 16 ms frame (later deferred work, such as
// the view's quarter-second column fit, shows there).
OpFigure TimeOp(CTimedApplication& app, Kestrum::GUI::CGrid& grid, const char* name, const std::function<void()>& op)
{
    Pump(300);
    app.watched = &grid;
    app.firstPaintEnd = {};
    const double cpuStart = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const auto start = Clock::now();
    op();
    const auto returned = Clock::now();
    app.lastWatchedEnd = returned;
    Pump(300);
    app.watched = nullptr;
    const auto settled = std::max(returned, app.lastWatchedEnd);
    const auto shown = app.firstPaintEnd == Clock::time_point() ? returned : app.firstPaintEnd;
    auto seconds = [start](Clock::time_point end) { return std::chrono::duration<double>(end - start).count(); };
    // The pump's own idle time costs no CPU; what the thread did meanwhile does.
    return {name, seconds(shown), seconds(returned), seconds(settled), CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart,
            grid.GetRowCount(Kestrum::GUI::AreaScrollable)};
}

std::vector<OpFigure> RunOps(CTimedApplication& app, CMainFrame& frame, long entries)
{
    CVelmoraView& view = frame.View();
    Kestrum::GUI::CGrid& grid = view.Grid();
    // What a click on the Size caption does (it flips the direction).
    auto clickSize = [&grid] { Kestrum::GUI::CGridRows::ApplyHeaderClick(grid.GetHeader(), FIELD_SIZE, false, false); };
    std::vector<OpFigure> ops;
    Pump(1000); // the walk's last highlights and the status settle
    ops.push_back(TimeOp(app, grid, "expand", [&] { view.ExpandAll(); }));
    if (ops.back().rows != entries)
        std::fprintf(stderr, "error: %d rows shown after expand all of %ld entries\n", ops.back().rows, entries);
    ops.push_back(TimeOp(app, grid, "resort-expanded-ascending", clickSize));
    ops.push_back(TimeOp(app, grid, "resort-expanded", clickSize));
    ops.push_back(TimeOp(app, grid, "collapse", [&] { view.CollapseAll(); }));
    ops.push_back(TimeOp(app, grid, "resort-collapsed-ascending", clickSize));
    ops.push_back(TimeOp(app, grid, "resort-collapsed", clickSize));
    return ops;
}

struct WalkFigures {
    double walkSeconds = 0;
    double scanSeconds = 0;
    double guiCpu = 0;
    double otherCpu = 0;
    double systemSeconds = 0; // the kernel's time for the whole process
    long peakKib = 0;
    long entries = 0;
    qint64 longestStall = 0;
    qint64 stallAt = 0;
    std::size_t inputEvents = 0;
    std::vector<OpFigure> ops;
    double inputWaitWorst = 0, inputWaitP99 = 0, inputHandledWorst = 0, inputHandledP99 = 0;
    std::size_t inputRepaintCount = 0;
    std::vector<double> inputRepaint; // p50, p90, p99, worst
};

WalkFigures RunWalk(CTimedApplication& app, const std::string& root, std::unique_ptr<CMainFrame>& owner)
{
    WalkFigures figures;
    app.measuring = true;
    const auto start = Clock::now();
    const double guiCpuStart = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double processCpuStart = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double systemStart = SystemSeconds(RUSAGE_SELF);
    owner = std::make_unique<CMainFrame>(std::make_unique<CVelmoraDoc>(std::vector<std::string>{root}));
    CMainFrame& frame = *owner;
    frame.resize(1000, 700);
    frame.show();
    if (g_unsorted)
        frame.View().Grid().ClearSort(false);
    double longestLayoutMs = 0;
    if (g_treemap) {
        frame.TreemapLink().Show(true);
        frame.Treemap().onLaidOut = [&] { longestLayoutMs = std::max(longestLayoutMs, frame.Treemap().LastLayoutMs()); };
    }
    if (!g_filter.empty())
        frame.FilterBar().SetPattern(QString::fromStdString(g_filter));
    if (g_accessible) {
        // As a screen reader does: it asks for the grid's interface, which
        // turns the grid's notices on, and hears every announcement (counted
        // here: the offscreen platform has no bus to hand them to).
        Kestrum::GUI::CGridAccessible::SetEventObserver([](QAccessibleEvent*) { ++g_accessibleEvents; });
        QAccessible::queryAccessibleInterface(&frame.View().Grid());
    }
    std::unique_ptr<CInputProbe> probe;
    if (g_input) {
        probe = std::make_unique<CInputProbe>(app, frame.View().Grid());
        app.repainted = &frame.View().Grid();
        app.gridState = [&grid = frame.View().Grid()] {
            return std::array<int, 4>{grid.GetTopRow(), grid.GetFocusedRow(), grid.GetSelectedCount(),
                                      grid.GetRowCount(Kestrum::GUI::AreaScrollable)};
        };
    }
    QElapsedTimer tick;
    tick.start();
    qint64 last = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = tick.elapsed();
        if (app.measuring && now - last > figures.longestStall) {
            figures.longestStall = now - last;
            figures.stallAt = now;
        }
        last = now;
    });
    ticker.start(10);
    QTimer poll;
    QEventLoop walking;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!frame.Document().Scanner().IsFinished())
            return;
        if (figures.scanSeconds == 0)
            figures.scanSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (frame.View().HasWaitingRows())
            return;
        figures.walkSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        figures.guiCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - guiCpuStart;
        figures.otherCpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processCpuStart - figures.guiCpu;
        figures.systemSeconds = SystemSeconds(RUSAGE_SELF) - systemStart;
        // Read before the count below, whose item list is the benchmark's own memory.
        figures.peakKib = StatusKib("VmHWM:");
        app.measuring = false;
        if (probe)
            probe->Stop();
        figures.inputEvents = app.inputWaitMs.size();
        figures.inputWaitWorst = Percentile(app.inputWaitMs, 1.0);
        figures.inputWaitP99 = Percentile(app.inputWaitMs, 0.99);
        figures.inputHandledWorst = Percentile(app.inputHandledMs, 1.0);
        figures.inputHandledP99 = Percentile(app.inputHandledMs, 0.99);
        app.repainted = nullptr;
        app.gridState = nullptr;
        figures.inputRepaintCount = app.inputRepaintMs.size();
        for (const double fraction : {0.5, 0.9, 0.99, 1.0})
            figures.inputRepaint.push_back(Percentile(app.inputRepaintMs, fraction));
        const ScanProgress& progress = frame.View().Progress();
        figures.entries = progress.folders + progress.files;
        std::vector<Kestrum::GUI::HITEM> items;
        frame.View().Grid().GetAllItems(Kestrum::GUI::MaskBoth, items);
        if (static_cast<long>(items.size()) != figures.entries)
            std::fprintf(stderr, "error: %zu rows for %ld entries\n", items.size(), figures.entries);
        poll.stop();
        ticker.stop();
        if (g_treemap)
            std::printf("treemap: %d layouts, the longest %.1f ms, %zu tiles at the end\n", frame.Treemap().LayoutCount(),
                        longestLayoutMs, frame.Treemap().Tiles().size());
        if (g_accessible)
            std::printf("accessibility: %ld events heard\n", g_accessibleEvents);
        if (g_ops)
            figures.ops = RunOps(app, frame, figures.entries);
        walking.quit(); // not the application's quit, which would close the window
    });
    poll.start(5);
    walking.exec();
    return figures;
}

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Closes the window as a user does (its close event, from the event loop,
// which the last window's close ends) and destroys it, as Velmora's main
// does; prints when the close began for the parent, which sees the exit.
void CloseWindow(CTimedApplication& app, std::unique_ptr<CMainFrame> frame)
{
    app.measuring = false;
    Pump(300);
    const auto start = Clock::now();
    std::printf("figure closeat %.6f\n", std::chrono::duration<double>(start.time_since_epoch()).count());
    std::fflush(stdout);
    CMainFrame* window = frame.get();
    app.closing = window;
    QTimer::singleShot(0, window, &QWidget::close);
    QTimer::singleShot(10000, [] { QApplication::quit(); }); // the close did not end the loop: no hang
    app.exec();
    const double hidden = app.hiddenAt == Clock::time_point() ? -1 : std::chrono::duration<double>(app.hiddenAt - start).count();
    const double loopEnded = Since(start);
    frame.reset();
    const double destroyed = Since(start);
    std::printf("close:                 hidden after %.1f ms, loop ended %.1f ms, frame destroyed %.1f ms\n",
                hidden * 1e3, loopEnded * 1e3, destroyed * 1e3);
    std::printf("figure closehidden %.6f\nfigure closedestroyed %.6f\n", hidden, destroyed);
    std::fflush(stdout);
}

// Runs this program once more on the root and reads its figures.
bool RunChild(const char* self, const std::string& root, std::map<std::string, double>& figures, bool echo = true)
{
    const std::string command = std::string("'") + self + "' " + (g_unsorted ? "--unsorted " : "") +
                                (g_input ? "--input " : "") + (g_treemap ? "--treemap " : "") + (g_accessible ? "--accessible " : "") + (g_cold ? "--cold " : "") + (g_ops ? "--ops " : "") +
                                (g_filter.empty() ? "" : "'--filter=" + g_filter + "' ") + "'" + root +
                                "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return false;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        if (echo)
            std::fputs(line, stdout);
        char key[64];
        double value = 0;
        if (std::sscanf(line, "figure %63s %lf", key, &value) == 2)
            figures[key] = value;
    }
    const bool ended = pclose(pipe) == 0;
    if (figures.count("closeat"))
        figures["closeexit"] = std::chrono::duration<double>(Clock::now().time_since_epoch()).count() - figures["closeat"];
    figures.erase("closeat");
    if (echo && figures.count("closeexit"))
        std::printf("close to the process's end: %.1f ms\n", figures["closeexit"] * 1e3);
    return ended && figures.count("walk") != 0;
}

int RunSeveral(const char* self, const std::string& root, int runs)
{
    std::map<std::string, double> best;
    std::vector<double> ratios;
    for (int run = 0; run < runs; ++run) {
        std::printf("--- run %d\n", run + 1);
        std::fflush(stdout);
        std::map<std::string, double> figures;
        if (!RunChild(self, root, figures)) {
            std::fprintf(stderr, "run %d failed\n", run + 1);
            return 1;
        }
        ratios.push_back(figures["walk"] / figures["du"]);
        for (const auto& [key, value] : figures) {
            const bool worstCounts = key == "stall" || key.rfind("close", 0) == 0 || key == "bytes" || key == "growth" || key.rfind("input", 0) == 0;
            if (run == 0 || (worstCounts ? value > best[key] : value < best[key]))
                best[key] = value;
        }
    }
    std::printf("--- best of %d runs (worst for stall and memory)\n", runs);
    std::printf("velmora (all rows):    %.3f s\n", best["walk"]);
    std::printf("du -s:                 %.3f s   ratio %.2f\n", best["du"], best["walk"] / best["du"]);
    if (g_cold) {
        if (best.count("gdu"))
            std::printf("gdu -n (cold):         %.3f s   ratio %.2f\n", best["gdu"], best["walk"] / best["gdu"]);
        if (best.count("ncdu"))
            std::printf("ncdu -o (cold):        %.3f s   ratio %.2f\n", best["ncdu"], best["walk"] / best["ncdu"]);
    } else {
        std::printf("find -printf:          %.3f s   ratio %.2f\n", best["find"], best["walk"] / best["find"]);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("ratio to du -s by run: median %.2f, range %.2f to %.2f\n", ratios[ratios.size() / 2], ratios.front(),
                ratios.back());
    std::printf("longest GUI stall:     %.0f ms\n", best["stall"]);
    if (g_input)
        std::printf("input wait:            worst %.1f ms, 99th percentile %.1f ms (handled: worst %.1f, p99 %.1f ms)\n",
                    best["inputworst"], best["inputp99"], best["inputhandledworst"], best["inputhandledp99"]);
    if (g_input)
        std::printf("input to its repaint:  worst of the runs' p50 %.1f ms, p90 %.1f ms, p99 %.1f ms\n",
                    best["inputrepaintp50"], best["inputrepaintp90"], best["inputrepaintp99"]);
    std::printf("peak memory per entry: %.0f bytes\n", best["bytes"]);
    std::printf("close (worst):         hidden after %.1f ms, frame destroyed %.1f ms, process ended %.1f ms\n",
                best["closehidden"] * 1e3, best["closedestroyed"] * 1e3, best["closeexit"] * 1e3);
    if (g_ops) {
        for (const char* op : {"expand", "resort-expanded-ascending", "resort-expanded", "collapse",
                               "resort-collapsed-ascending", "resort-collapsed"})
            std::printf("%-27s best %.3f s\n", (std::string(op) + ":").c_str(), best[op]);
    }
    std::printf("walk per entry:        %.3f us\n", best["walk"] / std::max(best["entries"], 1.0) * 1e6);
    // What the window costs without any entry, measured on an empty folder,
    // is not a cost per entry.
    char empty[] = "/tmp/bench_velmora_XXXXXX";
    std::map<std::string, double> fixed;
    if (mkdtemp(empty)) {
        const bool ran = RunChild(self, empty, fixed, false);
        rmdir(empty);
        if (ran && best["entries"] > 1) {
            std::printf("  of which the window:  %.1f MB (an empty folder)\n", fixed["growth"] / 1e6);
            std::printf("  per entry beyond it:  %.0f bytes\n", (best["growth"] - fixed["growth"]) / best["entries"]);
        }
    }
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    while (argc > 1 && std::string(argv[1]).rfind("--", 0) == 0) {
        const std::string flag = argv[1];
        if (flag == "--unsorted")
            g_unsorted = true;
        else if (flag == "--input")
            g_input = true;
        else if (flag == "--cold")
            g_cold = true;
        else if (flag == "--ops")
            g_ops = true;
        else if (flag == "--treemap")
            g_treemap = true;
        else if (flag == "--accessible")
            g_accessible = true;
        else if (flag.rfind("--filter=", 0) == 0)
            g_filter = flag.substr(9);
        else if (flag != "--by-size") // the default now
            break;
        argv[1] = argv[0];
        ++argv;
        --argc;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s [--unsorted] [--input] [--cold] [--ops] [--treemap] [--filter=PATTERN] DIR [RUNS]\n", argv[0]);
        return 2;
    }
    if (g_cold && !CanDropCaches()) {
        std::fprintf(stderr, "--cold needs root and a writable /proc/sys/vm/drop_caches: not measured cold\n");
        return 3;
    }
    const std::string root = argv[1];
    if (argc > 2 && std::atoi(argv[2]) > 1)
        return RunSeveral(argv[0], root, std::atoi(argv[2]));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (g_cold)
        DropCaches();
    else
        TimeCommand("find '" + root + "' -printf '%s\\n'"); // warm the cache
    CTimedApplication app(argc, argv);
    const long baseKib = StatusKib("VmRSS:");

    std::unique_ptr<CMainFrame> frame;
    const WalkFigures walk = RunWalk(app, root, frame);
    const double du = TimeCommand("du -s '" + root + "'");
    const double duSystem = g_commandSystemSeconds;
    // Cold, the peers that walk differently (gdu in parallel, ncdu keeping a
    // tree) are timed instead of find.
    double find = 0, gdu = -1, ncdu = -1;
    if (!g_cold)
        find = TimeCommand("find '" + root + "' -printf '%s\\n'");
    double gduSystem = -1;
    if (g_cold && HasCommand("gdu")) {
        gdu = TimeCommand("gdu -n -p '" + root + "'");
        gduSystem = g_commandSystemSeconds;
    }
    if (g_cold && HasCommand("ncdu"))
        ncdu = TimeCommand("ncdu -0 -x -o /dev/null '" + root + "'");
    const double bytes = (walk.peakKib - baseKib) * 1024.0 / std::max(walk.entries, 1L);
    std::printf("entries:               %ld\n", walk.entries);
    std::printf("velmora (all rows):    %.3f s\n", walk.walkSeconds);
    std::printf("walk ended after:      %.3f s\n", walk.scanSeconds);
    std::printf("CPU: GUI thread %.3f s, other threads %.3f s\n", walk.guiCpu, walk.otherCpu);
    std::printf("du -s:                 %.3f s   ratio %.2f\n", du, walk.walkSeconds / du);
    const double perEntry = 1e6 / static_cast<double>(std::max(walk.entries, 1L));
    std::printf("system time per entry: velmora %.2f us, du -s %.2f us", walk.systemSeconds * perEntry, duSystem * perEntry);
    if (gduSystem >= 0)
        std::printf(", gdu %.2f us", gduSystem * perEntry);
    std::printf("\nfigure sysvelmora %.4f\nfigure sysdu %.4f\n", walk.systemSeconds * perEntry, duSystem * perEntry);
    if (gduSystem >= 0)
        std::printf("figure sysgdu %.4f\n", gduSystem * perEntry);
    if (!g_cold)
        std::printf("find -printf:          %.3f s   ratio %.2f\n", find, walk.walkSeconds / find);
    if (gdu >= 0)
        std::printf("gdu -n (cold):         %.3f s   ratio %.2f\nfigure gdu %.6f\n", gdu, walk.walkSeconds / gdu, gdu);
    if (ncdu >= 0)
        std::printf("ncdu -o (cold):        %.3f s   ratio %.2f\nfigure ncdu %.6f\n", ncdu, walk.walkSeconds / ncdu, ncdu);
    std::printf("longest GUI stall:     %lld ms (ending %lld ms after the start)\n",
                static_cast<long long>(walk.longestStall), static_cast<long long>(walk.stallAt));
    std::printf("peak memory per entry: %.0f bytes\n", bytes);
    std::printf("walk per entry:        %.3f us\n", walk.walkSeconds / std::max(walk.entries, 1L) * 1e6);
    std::printf("longest GUI event:     %.1f ms (event type %d to a %s)\n", app.longestMs, app.longestType,
                app.longestReceiver.c_str());
    // The longest ten, in the order they came.
    std::vector<CTimedApplication::LongEvent> longest = app.longEvents;
    std::stable_sort(longest.begin(), longest.end(), [](const auto& a, const auto& b) { return a.ms > b.ms; });
    longest.resize(std::min<std::size_t>(longest.size(), 10));
    std::stable_sort(longest.begin(), longest.end(), [](const auto& a, const auto& b) { return a.atMs < b.atMs; });
    std::printf("GUI events over %.0f ms: %zu, the longest ten:\n", CTimedApplication::kLongEventMs, app.longEvents.size());
    for (const auto& event : longest)
        std::printf("  over %.0f ms: %.1f ms (CPU %.1f ms) at %.0f ms (event type %d to a %s)\n",
                    CTimedApplication::kLongEventMs, event.ms, event.cpuMs, event.atMs, event.type, event.receiver.c_str());
    if (g_input) {
        std::printf("input events:          %zu during the walk\n", walk.inputEvents);
        std::printf("input wait:            worst %.1f ms, 99th percentile %.1f ms\n", walk.inputWaitWorst, walk.inputWaitP99);
        std::printf("input handled:         worst %.1f ms, 99th percentile %.1f ms after posting\n", walk.inputHandledWorst,
                    walk.inputHandledP99);
        std::printf("input to its repaint:  p50 %.1f ms, p90 %.1f ms, p99 %.1f ms, worst %.1f ms (%zu inputs)\n",
                    walk.inputRepaint[0], walk.inputRepaint[1], walk.inputRepaint[2], walk.inputRepaint[3],
                    walk.inputRepaintCount);
        std::printf("figure inputrepaintp50 %.3f\nfigure inputrepaintp90 %.3f\nfigure inputrepaintp99 %.3f\n",
                    walk.inputRepaint[0], walk.inputRepaint[1], walk.inputRepaint[2]);
        std::printf("figure inputworst %.3f\nfigure inputp99 %.3f\nfigure inputhandledworst %.3f\nfigure inputhandledp99 %.3f\n",
                    walk.inputWaitWorst, walk.inputWaitP99, walk.inputHandledWorst, walk.inputHandledP99);
    }
    for (const OpFigure& op : walk.ops) {
        std::printf("%-27s %.3f s to the repaint (the call %.3f s, settled %.3f s, GUI CPU %.3f s), %d rows shown\n",
                    (std::string(op.name) + ":").c_str(), op.seconds, op.callSeconds, op.settledSeconds, op.cpuSeconds,
                    op.rows);
        std::printf("figure %s %.6f\n", op.name, op.seconds);
    }
    // For a parent process that runs this one several times.
    std::printf("figure walk %.6f\nfigure du %.6f\nfigure find %.6f\nfigure stall %lld\nfigure bytes %.1f\n",
                walk.walkSeconds, du, find, static_cast<long long>(walk.longestStall), bytes);
    std::printf("figure growth %.0f\nfigure entries %ld\n", (walk.peakKib - baseKib) * 1024.0, walk.entries);
    std::fflush(stdout);
    CloseWindow(app, std::move(frame));
    return 0;
}
