// Walks a folder with a listener that only counts, and times `find` on the
// same tree in the same run (warm cache: the tree is walked once first).
//   bench_scan DIR
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

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

double ScanSeconds(const std::string& root, long& entries)
{
    CFolderScanner scanner({root});
    CCountingListener listener;
    scanner.AddListener(&listener);
    const auto begin = Clock::now();
    scanner.Start();
    scanner.Wait(24 * 3600 * 1000u);
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    entries = listener.entries;
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
    long entries = 0, lines = 0;
    ScanSeconds(root, entries); // warm the cache
    const double scan = ScanSeconds(root, entries);
    const double find = FindSeconds(root, lines);
    std::printf("scanner: %ld entries in %.3f s (%.0f entries/s)\n", entries, scan, entries / scan);
    std::printf("find:    %ld lines in %.3f s (%.0f lines/s)\n", lines, find, lines / find);
    std::printf("scanner / find time: %.2f\n", scan / find);
    return 0;
}
