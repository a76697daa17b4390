// The treemap of a million-entry tree at 1920 x 1080: layout and paint at
// the walk's end and after a zoom into the largest folder, in both styles,
// best of RUNS; the tiles drawn and the layout's bytes per tile and per
// entry of the tree.
//   bench_treemap [ENTRIES] [RUNS]
// The tree is made in memory (no disk): folders of 2 to 40 entries, four
// levels deep under 40 top folders, one folder of 50,000 files, log-uniform
// file sizes with twenty extensions, the same for the same ENTRIES.
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <time.h>

#include "app/FileSystemData.h"
#include "app/treemap/TreemapView.h"

using namespace Velmora;
using Kestrum::Common::CString;
using Clock = std::chrono::steady_clock;

namespace {
long g_entries = 0;

void Fill(CFolderData& folder, int depth, long budget, std::mt19937_64& random)
{
    static const char* extensions[] = {"so", "h", "py", "txt", "png", "gz", "html", "json", "a", "o",
                                       "mo", "svg", "js", "xml", "pdf", "jpg", "cpp", "c", "md", ""};
    std::uniform_real_distribution<double> magnitude(1, 7.5);
    std::uniform_int_distribution<int> fanOut(2, 40);
    const int count = depth == 0 ? 40 : fanOut(random);
    for (int i = 0; i < count && g_entries < budget; ++i) {
        const std::string name = "e" + std::to_string(i);
        if (depth < 4 && random() % 4 == 0) {
            auto* child = new CFolderData(CString(name), &folder);
            ++g_entries;
            Fill(*child, depth + 1, budget, random);
            folder.AddFolder(child);
        } else {
            const std::int64_t size = static_cast<std::int64_t>(std::pow(10.0, magnitude(random)));
            const char* extension = extensions[random() % 20];
            folder.AddFile(new CFileData(CString(name + (*extension ? "." : "") + extension), &folder, size, 0, 0, 0, size));
            ++g_entries;
        }
    }
}

double CpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// The best wall time and the best CPU time of the GUI thread: on a shared
// machine the wall time also counts the waits for a core.
struct Figure {
    double wall = 1e18, cpu = 1e18;
};
template <class F>
Figure Best(int runs, F&& run)
{
    Figure best;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        const double cpu = CpuMs();
        run();
        best.cpu = std::min(best.cpu, CpuMs() - cpu);
        best.wall = std::min(best.wall, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return best;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long entries = argc > 1 ? std::atol(argv[1]) : 1'000'000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    std::mt19937_64 random(34);
    CFolderData root(CString("/bench"), nullptr);
    // One big flat folder, as a cache or a mail spool makes.
    auto* big = new CFolderData(CString("spool"), &root);
    for (int i = 0; i < 50'000; ++i)
        big->AddFile(new CFileData(CString("m" + std::to_string(i) + ".eml"), big, 2000 + (i % 97) * 300, 0, 0, 0, 4096));
    g_entries = 50'001;
    root.AddFolder(big);
    while (g_entries < entries)
        Fill(root, 0, entries, random);
    std::printf("tree: %ld entries, %.1f GB\n", g_entries, root.GetSize() / 1e9);

    CTreemapView view;
    view.resize(1920, 1080);
    view.SetRoots({&root});
    view.show();
    QApplication::processEvents();
    for (const auto style : {CTreemapView::Style::Cushion, CTreemapView::Style::Flat}) {
        view.SetStyle(style);
        const char* name = style == CTreemapView::Style::Cushion ? "cushion" : "flat";
        view.ZoomHome();
        const Figure whole = Best(runs, [&] { view.Relayout(); });
        const std::size_t tiles = view.Tiles().size();
        std::printf("%-7s walk's end: %6.1f ms (CPU %6.1f ms), %zu tiles, %zu layout bytes (%.1f per tile, %.2f per entry)\n",
                    name, whole.wall, whole.cpu, tiles, view.LayoutBytes(), double(view.LayoutBytes()) / double(tiles),
                    double(view.LayoutBytes()) / double(g_entries));
        // Zoom into the largest top folder.
        CFolderData* largest = nullptr;
        for (CFolderData* folder : root.GetFolders())
            if (!largest || folder->GetSize() > largest->GetSize())
                largest = folder;
        view.ZoomTo(largest);
        const Figure zoom = Best(runs, [&] { view.Relayout(); });
        std::printf("%-7s zoom:       %6.1f ms (CPU %6.1f ms), %zu tiles (%s, %d files)\n", name, zoom.wall, zoom.cpu,
                    view.Tiles().size(),
                    largest->GetName().GetString(), largest->GetFilesCount());
    }
    return 0;
}
