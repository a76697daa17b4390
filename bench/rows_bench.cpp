// Adds 1,000,000 rows (1,000 folders of 1,000 children, random size keys,
// sorted by size, all expanded), re-sorts them by another field, then moves
// 100,000 rows after key changes. Prints each phase's time and the memory
// per row (grid item and row record; the data objects are counted apart).
// Then the cost of a row match per added row; the registry's lookup
// (GetItem of an object, as the feed asks for a parent) at 1 and 5 million
// objects, in random order; and sorted inserts into one closed folder of
// 250,000 and 1,000,000 children, then opening it.
#include <malloc.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <algorithm>
#include <deque>
#include <random>

#include "common/DataObject.h"
#include "common/FieldMap.h"
#include "gui/grid/GridRows.h"
#include "gui/grid/ObjectRegistry.h"
#include "gui/header/Header.h"

using namespace Kestrum::GUI;
using namespace Kestrum::Common;
using Clock = std::chrono::steady_clock;

namespace {
class CEntry : public CDataObject {
    KESTRUM_DECLARE_FIELD_MAP();

public:
    std::int64_t GetSize() const { return size; }
    std::int32_t GetRank() const { return rank; }
    std::int64_t size = 0;
    std::int32_t rank = 0;
};

KESTRUM_REGISTER_FIELDS(CEntry)
{
    map.Add(2, KESTRUM_FIELD(2, "Size", &CEntry::GetSize, 0, nullptr));
    map.Add(3, KESTRUM_FIELD(3, "Rank", &CEntry::GetRank, 0, nullptr));
}

struct CNullSurface : IGridSurface {
    void OnRowsChanged(int, int, bool) override {}
    void RepaintRow(int, int) override {}
    void RepaintRows(int, int, int) override {}
    void RepaintAll() override {}
    void SetFocusRow(int, int, bool) override {}
    CGridItem* GetFocusedItem() const override { return nullptr; }
    int GetTopRow() const override { return 0; }
    void SetTopRow(int) override {}
    void RaiseEvent(int, CGridItem*) override {}
    bool IsFilteredOut(CGridItem*) override { return false; }
    void OnForeignInsert() override {}
};

// Heap in use, with the blocks the heap maps on its own (pool chunks among them).
std::size_t HeapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}
double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }
// This thread's CPU time: on a shared machine, wall time counts the waits for a core.
double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}
} // namespace

int main()
{
    constexpr int kFolders = 1000, kChildren = 1000;
    std::mt19937_64 random(9);
    std::deque<CEntry> objects(kFolders * (kChildren + 1));
    for (CEntry& entry : objects) {
        entry.size = static_cast<std::int64_t>(random() % 1000000);
        entry.rank = static_cast<std::int32_t>(random() % 1000000);
    }
    CHeader header(false);
    header.SetSortInfo(0, CSortInfo(2, true));
    CNullSurface surface;
    auto rows = std::make_unique<CGridRows>(&surface);
    rows->SetHeader(&header);
    rows->Resort();

    const std::size_t before = HeapBytes();
    auto start = Clock::now();
    std::size_t next = 0;
    for (int folder = 0; folder < kFolders; ++folder) {
        const HITEM parent = rows->Add(&objects[next++], GRID_ROOT, GRID_LAST);
        rows->Expand(parent, false);
        for (int child = 0; child < kChildren; ++child)
            rows->Add(&objects[next++], parent, GRID_LAST);
    }
    const double addSeconds = Seconds(start);
    const std::size_t rowCount = static_cast<std::size_t>(rows->GetRowCount(AreaScrollable));
    const double bytesPerRow = static_cast<double>(HeapBytes() - before) / static_cast<double>(rowCount);

    header.ClearSort();
    header.SetSortInfo(0, CSortInfo(3, false));
    start = Clock::now();
    rows->Resort();
    const double resortSeconds = Seconds(start);

    std::vector<HITEM> all;
    rows->GetAllItems(MaskScrollable, all);
    start = Clock::now();
    for (int i = 0; i < 100000; ++i) {
        CGridItem* item = FromHandle(all[random() % all.size()]);
        static_cast<CEntry*>(item->GetObject())->rank = static_cast<std::int32_t>(random() % 1000000);
        rows->Reposition(item);
    }
    const double repositionSeconds = Seconds(start);

    std::printf("rows:                 %zu\n", rowCount);
    std::printf("add (sorted):         %.3f s\n", addSeconds);
    std::printf("re-sort by rank:      %.3f s\n", resortSeconds);
    std::printf("reposition 100,000:   %.3f s\n", repositionSeconds);
    std::printf("memory per row:       %.0f bytes (item, row record, registry pair)\n", bytesPerRow);
    start = Clock::now();
    rows.reset();
    std::printf("destroy:              %.3f s\n", Seconds(start));

    // The cost of a row match per added row, as in a walk: folders closed,
    // sorted by size, the match taking one entry in a thousand. Best of
    // five each, alternating.
    struct CRareMatch : IRowMatch {
        bool Matches(CGridItem*, CDataObject* object) override { return static_cast<CEntry*>(object)->size % 1000 == 0; }
    } rare;
    header.ClearSort();
    header.SetSortInfo(0, CSortInfo(2, true));
    double best[2] = {1e9, 1e9};
    int matched = 0;
    for (int run = 0; run < 10; ++run) {
        const int withMatch = run % 2;
        CGridRows walk(&surface);
        walk.SetHeader(&header);
        walk.Resort();
        if (withMatch)
            walk.SetRowMatch(&rare);
        start = Clock::now();
        std::size_t at = 0;
        for (int folder = 0; folder < kFolders; ++folder) {
            const HITEM parent = walk.Add(&objects[at++], GRID_ROOT, GRID_LAST);
            for (int child = 0; child < kChildren; ++child)
                walk.Add(&objects[at++], parent, GRID_LAST);
        }
        best[withMatch] = std::min(best[withMatch], Seconds(start));
        if (withMatch)
            matched = walk.GetMatchedCount();
    }
    std::printf("add, folders closed:  %.3f s (%.1f ns per row)\n", best[0], best[0] / 1001000 * 1e9);
    std::printf("  with a row match:   %.3f s (%.1f ns per row, %+.1f %%; %d matched)\n", best[1],
                best[1] / 1001000 * 1e9, (best[1] / best[0] - 1) * 100, matched);

    // Registry lookups: a tree of N objects in folders of 1,000, then N
    // lookups of objects picked at random.
    for (const std::size_t count : {std::size_t{1000000}, std::size_t{5000000}}) {
        std::deque<CEntry> many(count);
        CGridRows tree(&surface);
        std::size_t at = 0;
        while (at < count) {
            const HITEM parent = tree.Add(&many[at++], GRID_ROOT, GRID_LAST);
            for (int child = 0; child < 999 && at < count; ++child)
                tree.Add(&many[at++], parent, GRID_LAST);
        }
        // At random (every lookup a miss in the caches) and in the order the
        // objects were made, as a walk asks: each new row's parent, a folder
        // made moments before, and growing folders along the path walked.
        std::vector<CEntry*> randomOrder, walkOrder;
        randomOrder.reserve(count);
        walkOrder.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            randomOrder.push_back(&many[random() % count]);
            walkOrder.push_back(&many[i]);
        }
        CObjectRegistry& registry = CObjectRegistry::Instance();
        for (const auto* order : {&randomOrder, &walkOrder}) {
            double bestLookup = 1e9;
            std::size_t found = 0;
            for (int run = 0; run < 3; ++run) {
                const double cpu = CpuSeconds();
                for (CEntry* object : *order) {
                    CGridItem* item = nullptr;
                    found += registry.FindSoleItem(object, &tree, item) && item ? 1 : 0;
                }
                bestLookup = std::min(bestLookup, CpuSeconds() - cpu);
            }
            std::printf("registry lookup, %zu M objects, %s: %.1f ns CPU (%zu found)\n", count / 1000000,
                        order == &randomOrder ? "at random" : "in walk order",
                        bestLookup / static_cast<double>(count) * 1e9, found / 3);
        }
        const auto clearStart = Clock::now();
        tree.Clear(MaskBoth);
        std::printf("clear, %zu M rows:      %.3f s\n", count / 1000000, Seconds(clearStart));
    }

    // One closed folder of many files with random sizes, sorted by size.
    for (const int files : {250000, 1000000}) {
        std::deque<CEntry> entries(static_cast<std::size_t>(files) + 1);
        for (CEntry& entry : entries)
            entry.size = static_cast<std::int64_t>(random() % 65536);
        CGridRows folder(&surface);
        folder.SetHeader(&header);
        folder.Resort();
        double cpu = CpuSeconds();
        const HITEM huge = folder.Add(&entries[0], GRID_ROOT, GRID_LAST);
        for (int i = 1; i <= files; ++i)
            folder.Add(&entries[static_cast<std::size_t>(i)], huge, GRID_LAST);
        const double fill = CpuSeconds() - cpu;
        cpu = CpuSeconds();
        std::vector<HITEM> children;
        folder.GetChildren(huge, children, false);
        const double order = CpuSeconds() - cpu;
        cpu = CpuSeconds();
        folder.Expand(huge, false);
        const double open = CpuSeconds() - cpu;
        std::printf("one closed folder, %d files (CPU): add %.3f s (%.0f ns per row), children in order %.3f s, "
                    "open %.3f s\n",
                    files, fill, fill / files * 1e9, order, open);
    }
    return 0;
}
