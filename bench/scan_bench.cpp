// Walks a folder with a listener that only counts, and times `find` on the
// same tree in the same run (warm cache: the tree is walked once first).
// Also says where the tree's heap goes per entry: the file objects (their
// pool), the folder objects and their child lists, and the names; and how
// long a walk stopped half-way takes to end (the Stop command's wait).
//   bench_scan DIR [HELPERS]   (read-ahead helper threads, default the browser's)
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/FolderScanner.h"

using namespace Velmora;
using Clock = std::chrono::steady_clock;

namespace {
class CCountingListener : public IScanListener {
public:
    long entries = 0;
    void OnRootFolder(CFolderData*) override {}
    void OnFolder(CFolderData*) override { ++entries; }
    void OnFile(CFileData*) override { ++entries; }
};

unsigned g_helpers = CLocalFileSystem::kDefaultReadAheadThreads;

// Asks the walk to stop at the given entry and notes when.
class CStoppingListener : public IScanListener {
public:
    CFolderScanner* scanner = nullptr;
    long stopAt = 0, entries = 0;
    Clock::time_point asked;
    void OnRootFolder(CFolderData*) override {}
    void OnFolder(CFolderData*) override { Count(); }
    void OnFile(CFileData*) override { Count(); }

private:
    void Count()
    {
        if (++entries == stopAt) {
            asked = Clock::now();
            scanner->RequestStop();
        }
    }
};

// Milliseconds from the stop request to the walk's thread having ended, in a
// walk stopped after `stopAt` entries (the best of three).
double StopMilliseconds(const std::string& root, long stopAt)
{
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        CFolderScanner scanner({root}, std::make_shared<CLocalFileSystem>(CLocalFileSystem::kDefaultDescriptorBudget, g_helpers));
        CStoppingListener listener;
        listener.scanner = &scanner;
        listener.stopAt = stopAt;
        scanner.AddListener(&listener);
        scanner.Start();
        while (!scanner.IsFinished())
            std::this_thread::yield();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - listener.asked).count());
        scanner.Wait(24 * 3600 * 1000u);
    }
    return best;
}

std::size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

struct TreeFigures {
    long folders = 0, files = 0;
    std::size_t heap = 0; // bytes the walk left on the heap
    std::size_t filePool = 0; // of which the file objects
    std::size_t nameBytes = 0; // name characters, without any overhead
};

double ScanSeconds(const std::string& root, long& entries, TreeFigures* tree = nullptr)
{
    const std::size_t heapBefore = HeapInUse();
    CFolderScanner scanner({root}, std::make_shared<CLocalFileSystem>(CLocalFileSystem::kDefaultDescriptorBudget, g_helpers));
    CCountingListener listener;
    scanner.AddListener(&listener);
    const auto begin = Clock::now();
    scanner.Start();
    scanner.Wait(24 * 3600 * 1000u);
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    entries = listener.entries;
    if (tree) {
        tree->heap = HeapInUse() - heapBefore;
        std::vector<CFolderData*> pending = scanner.GetDrives();
        while (!pending.empty()) {
            CFolderData* folder = pending.back();
            pending.pop_back();
            ++tree->folders;
            tree->nameBytes += folder->GetName().GetLength();
            for (CFileData* file : folder->GetFiles()) {
                ++tree->files;
                tree->filePool += sizeof(CFileData); // pooled: no header, no rounding
                tree->nameBytes += file->GetName().GetLength();
            }
            for (CFolderData* child : folder->GetFolders())
                pending.push_back(child);
        }
    }
    return seconds;
}

double FindSeconds(const std::string& root, long& lines)
{
    const std::string command = "find '" + root + "' -printf '%s\\n' | wc -l";
    const auto begin = Clock::now();
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe || std::fscanf(pipe, "%ld", &lines) != 1)
        lines = -1;
    if (pipe)
        pclose(pipe);
    return std::chrono::duration<double>(Clock::now() - begin).count();
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    if (argc > 2)
        g_helpers = static_cast<unsigned>(std::atoi(argv[2]));
    long entries = 0, lines = 0;
    ScanSeconds(root, entries); // warm the cache
    TreeFigures tree;
    const double scan = ScanSeconds(root, entries, &tree);
    const double find = FindSeconds(root, lines);
    std::printf("scanner: %ld entries in %.3f s (%.0f entries/s)\n", entries, scan, entries / scan);
    std::printf("find:    %ld lines in %.3f s (%.0f lines/s)\n", lines, find, lines / find);
    std::printf("scanner / find time: %.2f\n", scan / find);
    if (entries > 1)
        std::printf("stopped half-way:    ended %.1f ms after the request\n", StopMilliseconds(root, entries / 2));
    const double count = static_cast<double>(tree.folders + tree.files);
    if (count > 0) {
        std::printf("heap per entry:      %.1f bytes (%ld folders, %ld files)\n", tree.heap / count, tree.folders,
                    tree.files);
        std::printf("  file objects:      %.1f bytes per entry (%zu a file, pooled)\n", tree.filePool / count,
                    sizeof(CFileData));
        std::printf("  names:             %.1f characters per entry\n", tree.nameBytes / count);
        std::printf("  the rest:          %.1f bytes per entry (folders, child lists, name buffers)\n",
                    (tree.heap - tree.filePool) / count);
    }
    return 0;
}
