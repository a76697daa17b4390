// The grid against QTreeView + QStandardItemModel (sorting on), same data,
// same run: adding 1,000 parents x 1,000 children, sorting by another column,
// painting 100 frames while scrolling, and memory per row. Each side runs
// three times, alternating, and the best time of each is reported (a
// virtual machine's timings vary by half from one run to the next); memory
// is that of the first run.
//   bench_grid_vs_treeview [PARENTS] [CHILDREN] [RUNS]
#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <deque>
#include <fstream>
#include <random>

#include "common/DataObject.h"
#include "common/FieldMap.h"
#include "gui/grid/Grid.h"
#include "gui/header/Header.h"

using namespace Kestrum::GUI;
using namespace Kestrum::Common;
using Clock = std::chrono::steady_clock;

namespace {
class CRowObject : public CDataObject {
    KESTRUM_DECLARE_FIELD_MAP();

public:
    std::string GetName() const { return name; }
    std::int64_t GetSize() const { return size; }
    std::int32_t GetRank() const { return rank; }
    std::string name;
    std::int64_t size = 0;
    std::int32_t rank = 0;
};

KESTRUM_REGISTER_FIELDS(CRowObject)
{
    map.Add(0, KESTRUM_FIELD(0, "Name", &CRowObject::GetName, 0, nullptr));
    map.Add(2, KESTRUM_FIELD(2, "Size", &CRowObject::GetSize, 0, nullptr));
    map.Add(3, KESTRUM_FIELD(3, "Rank", &CRowObject::GetRank, 0, nullptr));
}

long RssKib()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }
struct Figures {
    double add = 0, sort = 0, paint = 0, bytes = 0;
};

Figures RunGrid(std::deque<CRowObject>& objects, int parents, int children, long rows)
{
    Figures figures;
    long before = RssKib();
    auto start = Clock::now();
    {
        CGrid grid;
        grid.resize(800, 600);
        auto* header = new CHeader(true);
        header->AddColumn(new CColumn(0, "Name", 300, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        header->AddColumn(new CColumn(2, "Size", 150, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        header->AddColumn(new CColumn(3, "Rank", 150, AlignAuto, false, -1, -1, nullptr, nullptr, nullptr, ""));
        header->SetSortInfo(0, CSortInfo(2, true));
        grid.SetHeader(header);
        grid.show();
        std::size_t next = 0;
        for (int p = 0; p < parents; ++p) {
            const HITEM parent = grid.Add(&objects[next++], GRID_ROOT, GRID_LAST);
            grid.Expand(parent, false);
            for (int c = 0; c < children; ++c)
                grid.Add(&objects[next++], parent, GRID_LAST);
        }
        QCoreApplication::processEvents();
        figures.add = Since(start);
        figures.bytes = (RssKib() - before) * 1024.0 / static_cast<double>(rows);
        start = Clock::now();
        grid.SetSortInfo(0, CSortInfo(3, false), true);
        QCoreApplication::processEvents();
        figures.sort = Since(start);
        start = Clock::now();
        for (int frame = 0; frame < 100; ++frame) {
            grid.SetTopRow(frame * 997 % std::max(1L, rows - 50));
            grid.viewport()->repaint();
        }
        figures.paint = Since(start) / 100;
        grid.Clear(MaskBoth);
    }
    QCoreApplication::processEvents();
    return figures;
}

Figures RunTree(const std::deque<CRowObject>& objects, int parents, int children, long rows)
{
    Figures figures;
    long before = RssKib();
    auto start = Clock::now();
    {
        QStandardItemModel model;
        model.setHorizontalHeaderLabels({"Name", "Size", "Rank"});
        QTreeView view;
        view.resize(800, 600);
        view.setModel(&model);
        view.setSortingEnabled(true);
        view.sortByColumn(1, Qt::DescendingOrder);
        view.show();
        std::size_t next = 0;
        auto makeRow = [&](const CRowObject& object) {
            QList<QStandardItem*> row;
            row << new QStandardItem(QString::fromStdString(object.name));
            auto* size = new QStandardItem;
            size->setData(static_cast<qlonglong>(object.size), Qt::DisplayRole);
            auto* rank = new QStandardItem;
            rank->setData(object.rank, Qt::DisplayRole);
            row << size << rank;
            return row;
        };
        for (int p = 0; p < parents; ++p) {
            QList<QStandardItem*> parentRow = makeRow(objects[next++]);
            QStandardItem* parentItem = parentRow.front();
            model.appendRow(parentRow);
            for (int c = 0; c < children; ++c)
                parentItem->appendRow(makeRow(objects[next++]));
            view.expand(parentItem->index());
        }
        QCoreApplication::processEvents();
        figures.add = Since(start);
        figures.bytes = (RssKib() - before) * 1024.0 / static_cast<double>(rows);
        start = Clock::now();
        view.sortByColumn(2, Qt::AscendingOrder);
        QCoreApplication::processEvents();
        figures.sort = Since(start);
        start = Clock::now();
        for (int frame = 0; frame < 100; ++frame) {
            view.verticalScrollBar()->setValue(frame * 997 % std::max(1, view.verticalScrollBar()->maximum()));
            view.viewport()->repaint();
        }
        figures.paint = Since(start) / 100;
    }
    QCoreApplication::processEvents();
    return figures;
}

void KeepBest(Figures& best, const Figures& run, bool first)
{
    if (first) {
        best = run;
        return;
    }
    best.add = std::min(best.add, run.add);
    best.sort = std::min(best.sort, run.sort);
    best.paint = std::min(best.paint, run.paint);
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int parents = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int children = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const long rows = static_cast<long>(parents) * (children + 1);
    std::mt19937 random(5);
    std::deque<CRowObject> objects(static_cast<std::size_t>(rows));
    for (std::size_t i = 0; i < objects.size(); ++i) {
        objects[i].name = "row " + std::to_string(i);
        objects[i].size = static_cast<std::int64_t>(random() % 10000000);
        objects[i].rank = static_cast<std::int32_t>(random() % 1000000);
    }
    Figures grid, tree;
    for (int run = 0; run < runs; ++run) {
        KeepBest(grid, RunGrid(objects, parents, children, rows), run == 0);
        KeepBest(tree, RunTree(objects, parents, children, rows), run == 0);
    }

    std::printf("rows: %ld (%d parents x %d children), best of %d runs\n", rows, parents, children, runs);
    std::printf("%-22s %12s %14s %8s\n", "", "grid", "QTreeView", "ratio");
    std::printf("%-22s %10.3f s %12.3f s %8.2f\n", "add (sorted)", grid.add, tree.add, tree.add / grid.add);
    std::printf("%-22s %10.3f s %12.3f s %8.2f\n", "sort by another column", grid.sort, tree.sort, tree.sort / grid.sort);
    std::printf("%-22s %10.3f s %12.3f s %8.2f\n", "add + sort", grid.add + grid.sort, tree.add + tree.sort,
                (tree.add + tree.sort) / (grid.add + grid.sort));
    std::printf("%-22s %8.2f ms %10.2f ms %8.2f\n", "paint one frame", grid.paint * 1000, tree.paint * 1000,
                tree.paint / grid.paint);
    std::printf("%-22s %8.0f B  %10.0f B  %8.2f\n", "memory per row", grid.bytes, tree.bytes, tree.bytes / grid.bytes);
    return 0;
}
